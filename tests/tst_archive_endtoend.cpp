// The archive with real processes: the wizard's test build measuring with the
// gauge simulator and handing over to the client, then the archive read back;
// a damaged archive met on the next store; a second process storing while
// this one reads.
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>

#include "ArchiveDatabase.h"
#include "ArchiveStore.h"
#include "Cp1250.h"
#include "ProcessDrivers.h"

namespace {

const QString kArchive = QStringLiteral("Kromaglen_archive.sqlite");

// Runs read on the archive file, opened afresh as the archive window opens it.
template <typename Read> auto readArchive(const QString &file, Read read)
{
    ArchiveLocation location;
    location.file = file;
    ArchiveDatabase db(location);
    db.open();
    ArchiveStore store(db);
    return read(store);
}

QList<InspectionSummary> listArchive(const QString &file)
{
    return readArchive(file, [](ArchiveStore &store) { return store.list({}); });
}

Inspection loadArchived(const QString &file, qint64 id)
{
    return readArchive(file,
                       [id](ArchiveStore &store) { return store.load(id).value_or(Inspection()); });
}

// Waits until the archive holds `count` inspections whose readings add up to `readings`.
bool waitForArchive(const QString &file, int count, int readings)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        try {
            const QList<InspectionSummary> list = listArchive(file);
            int total = 0;
            for (const InspectionSummary &s : list)
                total += s.readingCount;
            if (list.size() == count && total == readings)
                return true;
        } catch (const Failure &) {
            // Not there yet, or the damaged file not yet moved aside.
        }
        QTest::qWait(50);
    }
    return false;
}

// A working folder of its own with the gauge simulator linked into it and a
// free handover port, for the wizard's test build to run in.
struct Station
{
    QTemporaryDir dir{QStringLiteral("/tmp/kfz-arch-e2e-XXXXXX")};
    const QString folder = dir.path();
    const QString archive = folder + u'/' + kArchive;
    GaugeSimulator gauge{folder};
    const quint16 port = freePort();

    QString registry() const { return folder + QStringLiteral("/registry.reg"); }
    QString gaugePath() const { return folder + QStringLiteral("/gauge"); }
};

// "Tovább" on the measuring page, handing over with points left unmeasured.
void toLastPage(Wizard &w)
{
    w.cmd("answer yes");
    w.cmd("click BB_MeasNext");
    QVERIFY(w.waitFor("page", "2"));
}

// From the first page to the measuring page, the gauge's key ending the wait.
void connectGauge(Wizard &w, GaugeSimulator &gauge, const QString &gaugePath)
{
    QCOMPARE(w.cmd("choose ComComboBox1 " + gaugePath), QString());
    QVERIFY(w.waitFor("get ComComboBox1", gaugePath));
    pressKeyDuringConnectWait(w, gauge);
}

} // namespace

class TestArchiveEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void measuredInspectionIsArchived()
    {
        Station s;
        QVERIFY(s.gauge.started());
        const QString &archive = s.archive;
        const quint16 port = s.port;
        GaugeSimulator &gauge = s.gauge;
        // The station named in the settings file, as the archive window reads it.
        {
            QFile ini(s.folder + "/Kromaglen_archive.ini");
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write(Cp1250::encode(u"station=Győr 2. vizsgálósor ; a hátsó\r\n"));
        }
        {
            Wizard w(s.folder, s.registry(), port);
            QCOMPARE(w.cmd("page"), QStringLiteral("0"));
            client(port, {"category", "M1"});
            QVERIFY(w.waitFor("get CB_Save", QStringLiteral("M1 - személygépkocsi")));
            connectGauge(w, gauge, s.gaugePath());

            // Apart: frames that arrive while one is being recorded wait for
            // the next byte (the receive path's business, not the archive's).
            gauge.send("fe 123\nwait 150\nal 98\nwait 150\nfe 418");
            QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 123 µm|AL 98 µm|FE 418 µm")));
            w.cmd("choose LB_ActMeasValue 1");
            w.cmd("click BB_MeasDelete");
            QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 123 µm|FE 418 µm")));
            gauge.send("key");
            QVERIFY(w.waitFor("get CB_ActMeasName", QStringLiteral("Bal első ajtó")));
            w.cmd("dblclick P_ActMeasValue");
            w.cmd("dblclick P_ActMetal");
            w.cmd("text SE_KeziBevitel 45");
            w.cmd("dblclick SE_KeziBevitel");
            QVERIFY(w.waitFor("readings 1", QStringLiteral("AL 45 µm")));

            toLastPage(w);
            client(port, {"raw", "LEFT_FRONT_WING"});
            QVERIFY(w.waitFor("get ES_LEFT_FRONT_WING", QStringLiteral("Elküldve")));
            QVERIFY(!QFile::exists(archive) || listArchive(archive).isEmpty());

            // "Vissza" from the last page stores the inspection.
            w.cmd("click BB_SendBack");
            QVERIFY(w.waitFor("page", "1"));
            QVERIFY2(waitForArchive(archive, 1, 3), qPrintable(w.cmd("info")));

            // One more reading, then "Vége": the same inspection, stored again.
            gauge.send("fe 200");
            QVERIFY(w.waitFor("readings 1", QStringLiteral("AL 45 µm|FE 200 µm")));
            toLastPage(w);
            QCOMPARE(client(port, {"fetch"}).count(u'\n'), 23);
            QVERIFY(w.waitFor("get ES_RIGHT_REAR_WING", QStringLiteral("Elküldve")));
            w.cmd("answer yes");
            w.cmd("click BB_SendCancel");
            QVERIFY(w.finished());
            QCOMPARE(w.exitCode(), 0);
        }
        const QList<InspectionSummary> list = listArchive(archive);
        QCOMPARE(list.size(), 1);
        const Inspection i = loadArchived(archive, list.first().id);
        QCOMPARE(i.category, QStringLiteral("M1 - személygépkocsi"));
        QCOMPARE(i.station, QStringLiteral("Győr 2. vizsgálósor"));
        QCOMPARE(i.plan.size(), 23);
        QCOMPARE(i.readings.size(), 4);
        const auto describe = [](const ArchivedReading &r) {
            return QStringLiteral("%1 %2 %3 %4")
                .arg(r.point)
                .arg(substrateName(r.substrate))
                .arg(r.value)
                .arg(r.source == ReadingSource::Typed ? "typed" : "gauge");
        };
        QStringList readings;
        for (const ArchivedReading &r : i.readings)
            readings.append(describe(r));
        QCOMPARE(readings, (QStringList{"0 FE 123 gauge", "0 FE 418 gauge", "1 AL 45 typed",
                                        "1 FE 200 gauge"}));
        QCOMPARE(i.sent.size(), 23);
        QVERIFY(i.started <= i.readings.first().takenAt);
        QVERIFY(i.ended >= i.sent.at(22).sentAt);
        QVERIFY(!QFile::exists(s.folder + "/Kromaglen_archive.pending"));
    }

    void theNextVehicleIsANewInspection()
    {
        Station s;
        QVERIFY(s.gauge.started());
        const QString &archive = s.archive;
        const quint16 port = s.port;
        GaugeSimulator &gauge = s.gauge;
        Wizard w(s.folder, s.registry(), port);
        QCOMPARE(w.cmd("page"), QStringLiteral("0"));
        client(port, {"category", "M1"});
        connectGauge(w, gauge, s.gaugePath());
        gauge.send("fe 120\nwait 150\nfe 130");
        QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 120 µm|FE 130 µm")));
        toLastPage(w);
        w.cmd("click BB_SendBack");
        QVERIFY(waitForArchive(archive, 1, 2));

        // Back to the first page; the inspection program announces the next
        // vehicle; the old readings are discarded at the connect.
        w.cmd("click BB_MeasBack");
        QVERIFY(w.waitFor("page", "0"));
        client(port, {"category", "N1"});
        QVERIFY(w.waitFor("get CB_Save", QStringLiteral("N1 - tehergépkocsi 3,5t-ig")));
        w.cmd("answer no");
        pressKeyDuringConnectWait(w, gauge);
        QVERIFY(w.waitFor("readings 0", QString()));
        gauge.send("al 310");
        QVERIFY(w.waitFor("readings 0", QStringLiteral("AL 310 µm")));
        toLastPage(w);
        // Closing from the last page stores it, like "Vége".
        w.cmd("answer yes");
        w.cmd("close");
        QVERIFY(w.finished());
        const QList<InspectionSummary> list = listArchive(archive);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0).category, QStringLiteral("N1 - tehergépkocsi 3,5t-ig"));
        QCOMPARE(list.at(0).readingCount, 1);
        QCOMPARE(list.at(1).category, QStringLiteral("M1 - személygépkocsi"));
        QCOMPARE(list.at(1).readingCount, 2);
        // No settings file: the computer's name.
        QCOMPARE(list.at(0).station, QSysInfo::machineHostName());
    }

    void damagedArchiveIsMovedAsideOnTheNextStore()
    {
        Station s;
        QVERIFY(s.gauge.started());
        const QString &folder = s.folder;
        const QString &archive = s.archive;
        GaugeSimulator &gauge = s.gauge;
        // A SQLite file's header, then nothing a database could be read from.
        const QByteArray garbage =
            QByteArray("SQLite format 3\0", 16) + QByteArray("nem adatbazis\n").repeated(300);
        {
            QFile f(archive);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage);
        }
        Wizard w(folder, s.registry(), s.port);
        connectGauge(w, gauge, s.gaugePath());
        gauge.send("fe 333");
        QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 333 µm")));
        toLastPage(w);
        w.cmd("click BB_SendBack");
        QVERIFY(waitForArchive(archive, 1, 1));
        QVERIFY(w.cmd("info").startsWith(u"Az archívum sérült, ezért a program félretette"));
        const QStringList aside = QDir(folder).entryList({kArchive + ".damaged-*"}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(folder + u'/' + aside.first()), garbage);
        w.cmd("answer yes");
        w.cmd("close");
        QVERIFY(w.finished());
    }

    void storingWhileAnotherProcessReads()
    {
        QTemporaryDir dir(QStringLiteral("/tmp/kfz-arch-two-XXXXXX"));
        const QString archive = dir.filePath(kArchive);
        constexpr int kCount = 1500;
        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer.start(program("tests/archive_writer_helper"), {archive, QString::number(kCount)});
        QVERIFY(writer.waitForStarted());
        // The archive is made and holds one inspection before the reads
        // start: a reader that came while the file was being made could wait
        // on the writer's lock for the whole run.
        QTRY_VERIFY_WITH_TIMEOUT(writer.canReadLine(), 30000);
        QCOMPARE(writer.readLine(), QByteArray("ready\n"));
        writer.write("go\n");
        int reads = 0;
        int readsWhileStoring = 0;
        int seen = 0;
        QElapsedTimer clock;
        clock.start();
        // waitForFinished(0) lets the process's state change show here.
        const auto running = [&writer] {
            writer.waitForFinished(0);
            return writer.state() != QProcess::NotRunning;
        };
        while ((running() || seen < kCount) && clock.elapsed() < 60000) {
            if (!QFile::exists(archive)) {
                QTest::qWait(5);
                continue;
            }
            ArchiveLocation location;
            location.file = archive;
            ArchiveDatabase db(location);
            try {
                db.open();
                ArchiveStore store(db);
                const QList<InspectionSummary> list = store.list({});
                QVERIFY(list.size() >= seen);
                seen = int(list.size());
                // Every inspection listed is there whole.
                for (qsizetype n = 0; n < std::min<qsizetype>(list.size(), 5); ++n) {
                    const Inspection i = store.load(list.at(n).id).value();
                    QCOMPARE(int(i.readings.size()), list.at(n).readingCount);
                    QCOMPARE(i.pointsMeasured(), list.at(n).pointsMeasured);
                }
                ++reads;
                if (seen < kCount)
                    ++readsWhileStoring;
            } catch (const Failure &e) {
                QFAIL(qPrintable(e.reason()));
            }
            if (writer.state() == QProcess::NotRunning && seen < kCount)
                break;
        }
        QCOMPARE(writer.state(), QProcess::NotRunning);
        QCOMPARE(writer.exitCode(), 0);
        QCOMPARE(seen, kCount);
        QVERIFY2(readsWhileStoring > 0, qPrintable(QString::number(reads)));
        qInfo("%d reads of the list, %d while the other process stored", reads, readsWhileStoring);
    }
};

QTEST_GUILESS_MAIN(TestArchiveEndToEnd)
#include "tst_archive_endtoend.moc"
