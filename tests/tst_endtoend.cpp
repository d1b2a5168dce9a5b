// A whole inspection with every real part: the program (its test build,
// offscreen), the gauge simulator on a pseudo-terminal, the inspection-program
// client over TCP, a registry file and the settings files in a fresh folder.
#include <QTemporaryDir>

#include "Cp1250.h"
#include "ProcessDrivers.h"

class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aWholeInspection()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        GaugeSimulator gauge(folder);
        QVERIFY(gauge.started());
        // A stored plan for passenger cars: two wings, the hood and the VIN points.
        QByteArray preset = Cp1250::encode(u"M1 - személygépkocsi");
        for (int i = 0; i < 23; ++i)
            preset += ':' + QByteArray::number(i) + (i == 0 || i == 10 || i == 15 ? ":I" : ":N");
        preset += "\r\n";
        {
            QFile f(folder + "/Kromaglen.ini");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(preset);
        }
        const quint16 port = freePort();
        const QString gaugePath = folder + "/gauge";
        {
            Wizard w(folder, folder + "/registry.reg", port);
            QCOMPARE(w.cmd("page"), QStringLiteral("0"));
            QCOMPARE(w.cmd("icon"), QStringLiteral("256")); // the window has its icon
            QCOMPARE(w.cmd("choose ComComboBox1 " + gaugePath), QString());
            QVERIFY(w.waitFor("get ComComboBox1", gaugePath));

            // The inspection program sends the category: the stored plan is applied.
            client(port, {"category", "M1"});
            QVERIFY(w.waitFor("get CB_Save", QStringLiteral("M1 - személygépkocsi")));

            // Connect; the gauge's key ends the wait.
            w.cmd("click BB_ConfigNext");
            QVERIFY(w.waitFor("visible BB_AbortConnect", "1")); // the wait runs
            gauge.send("wait 100\nfe 9\nkey");
            QVERIFY(w.waitFor("page", "1"));
            QCOMPARE(w.cmd("get CB_ActMeasName"), QStringLiteral("Bal első sárvédő"));

            // Readings with noise and a split frame, then the next point.
            gauge.send("fe 123\nnoise 5\nsplit al 98\nraw 2c 46\nraw 45 40 01");
            QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 123 µm|AL 98 µm|FE 320 µm")));
            w.cmd("choose LB_ActMeasValue 2");
            w.cmd("click BB_MeasDelete");
            QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 123 µm|AL 98 µm")));
            gauge.send("key");
            QVERIFY(w.waitFor("get CB_ActMeasName", QStringLiteral("Motorház tető")));
            // A value typed in by hand on the hood.
            w.cmd("dblclick P_ActMeasValue");
            w.cmd("text SE_KeziBevitel 250");
            w.cmd("dblclick SE_KeziBevitel");
            QVERIFY(w.waitFor("readings 10", QStringLiteral("FE 250 µm")));

            // Summary: points left unmeasured, handed over all the same.
            w.cmd("answer yes");
            w.cmd("click BB_MeasNext");
            QVERIFY(w.waitFor("page", "2"));
            QCOMPARE(w.cmd("get EM_LEFT_FRONT_WING"), QStringLiteral("2 mérés"));
            QCOMPARE(w.cmd("get EM_VIN"), QStringLiteral("Nem lett mérve"));
            QCOMPARE(w.cmd("get EM_LEFT_FRONT_DOOR"), QStringLiteral("Nem lett kiválasztva"));

            // The inspection program fetches every point.
            const QStringList table = client(port, {"fetch"}).split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(table.size(), 23);
            QCOMPARE(table.at(0).simplified(), QStringLiteral("LEFT_FRONT_WING 123 98"));
            QCOMPARE(table.at(10).simplified(), QStringLiteral("HOOD 250"));
            QCOMPARE(table.at(22).simplified(), QStringLiteral("RIGHT_REAR_WING"));
            QVERIFY(w.waitFor("get ES_RIGHT_REAR_WING", QStringLiteral("Elküldve")));
            QVERIFY(w.cmd("get M_ServerLog").contains(QStringLiteral("In: HOOD|Out: HOOD:250")));

            // The sound card is chosen for next time; then "Vége" and the confirmation.
            w.cmd("choose CB_Sound 1");
            w.cmd("answer yes");
            w.cmd("click BB_SendCancel");
            QVERIFY(w.finished());
            QCOMPARE(w.exitCode(), 0);
        }
        // The files left behind, byte for byte.
        QCOMPARE(readFile(folder + "/Kromaglen.ini"), preset);
        QCOMPARE(readFile(folder + "/Kromaglen_com.ini"), gaugePath.toUtf8() + "\r\n");
        QCOMPARE(readFile(folder + "/Kromaglen_sound.ini"), QByteArray("10\r\n"));

        // Restart: the port and the sound options come back; leaving with an
        // empty name field stores the plan as the automatic preset.
        {
            Wizard w(folder, folder + "/registry.reg", port);
            QCOMPARE(w.cmd("get ComComboBox1"), gaugePath);
            QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Hangkártya"));
            QCOMPARE(w.cmd("get CB_SpeakNum"), QStringLiteral("Számokat mond"));
            w.cmd("click BB_SetNone");
            w.cmd("answer yes");
            w.cmd("click BB_ConfigCancel");
            QVERIFY(w.finished());
        }
        QVERIFY(readFile(folder + "/Kromaglen.ini").startsWith("-- automata ment\xE9s --:0:N:1:N"));
        {
            Wizard w(folder, folder + "/registry.reg", port);
            QCOMPARE(w.cmd("get CB_Save"), QStringLiteral("-- automata mentés --"));
            w.cmd("answer yes");
            w.cmd("close");
            QVERIFY(w.finished());
        }
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
