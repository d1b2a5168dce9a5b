// The wizard's rules without a window: the flow and its measuring and
// handover controllers over a hand-fed gauge, a player and a beeper that take
// notes, questions answered by the test, and a real handover socket.
#include "ArchiveDatabase.h"
#include "ArchiveRecorder.h"
#include "ArchiveStore.h"
#include "EndNotice.h"
#include "Fakes.h"
#include "GaugeSession.h"
#include "HandoverController.h"
#include "HandoverRequest.h"
#include "InspectionJson.h"
#include "MeasuringController.h"
#include "WizardFlow.h"

#include <QDir>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

using Answer = Asker::Answer;
using Stage = WizardFlow::Stage;

QByteArray reading(const char *substrate, int value)
{
    return QByteArray(",") + substrate + char(value & 0xFF) + char(value >> 8);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A line that gets no reply (a category), over a connection of its own.
void send(quint16 port, const QByteArray &line)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(socket.waitForConnected(2000));
    socket.write(line + "\r\n");
    QVERIFY(socket.waitForBytesWritten(2000));
}

// The flow with its controllers on hand-fed devices, in a fresh working
// folder; the ports COM6 and COM7, COM6 chosen.
struct Station
{
    explicit Station(ArchiveRecorder *archive = nullptr, quint16 serverPort = 0)
        : handover(serverPort, measuring.log(), [this] { return flow.page(); }),
          flow(gauge, measuring, handover, asker, archive, QStringLiteral("Kromaglen.ini"))
    {
        QDir::setCurrent(dir.path());
        gauge.setReconnectPauseMs(20);
        gauge.setHandlers([this](const GaugeFrame &f) { measuring.ComPort1RxChar_GetMenu(f); },
                          [this](const GaugeFrame &f) { measuring.ComPort1RxChar(f); });
        flow.setPorts({QStringLiteral("COM6"), QStringLiteral("COM7")});
        flow.selectPort(0);
        QObject::connect(&flow, &WizardFlow::info, [this](const QString &m) { infos.append(m); });
        QObject::connect(&measuring, &MeasuringController::info,
                         [this](const QString &m) { infos.append(m); });
        QObject::connect(&handover, &HandoverController::info,
                         [this](const QString &m) { infos.append(m); });
        QObject::connect(&handover, &HandoverController::logLine,
                         [this](const QString &l) { log.append(l); });
        QObject::connect(&flow, &WizardFlow::closeWindow, [this] {
            ++closeAsked;
            if (!flow.closing())
                flow.FormCloseQuery();
        });
        handover.StartServerAtStartup();
    }
    ~Station()
    {
        flow.FormClose();
        QDir::setCurrent(QDir::tempPath());
    }

    // "Tovább", and the gauge's key once the wait runs.
    void connect()
    {
        flow.BB_ConfigNextClick();
        QCOMPARE(flow.stage(), Stage::Connecting);
        port.feed(",ME");
        QTRY_COMPARE(flow.stage(), Stage::Measuring);
    }
    // The recordings the sound card plays (the fake player needs them to exist).
    void makeRecordings(const QStringList &names)
    {
        QDir().mkdir(QStringLiteral("hang"));
        for (const QString &name : names) {
            QFile f(QStringLiteral("hang/") + name + QStringLiteral(".wav"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }
    std::vector<int> tones(size_t count) const
    {
        // The beeps play on a thread of their own.
        QElapsedTimer clock;
        clock.start();
        while (beeper.tones().size() < count && clock.elapsed() < 5000)
            QTest::qWait(5);
        return beeper.tones();
    }

    QTemporaryDir dir;
    FakeGaugePort port;
    FakeSoundPlayer player;
    FakeBeeper beeper;
    FakeAsker asker;
    GaugeSession gauge{port};
    MeasuringController measuring{gauge, player, beeper};
    HandoverController handover;
    WizardFlow flow;
    QStringList infos;
    QStringList log;
    int closeAsked = 0;
};

} // namespace

class TestFlow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A whole inspection: a reading during the connect wait is refused, the
    // key ends the wait; readings, deletions, steps and typed values; the
    // summary asks about unmeasured points, counts what the gauge sends while
    // it asks, and the inspection program fetches the points; going back
    // drops what the gauge sent meanwhile.
    void aWholeInspection()
    {
        Station s;
        s.flow.plan().tickNone();
        for (int row : {0, 1, 10})
            s.flow.plan().toggleTick(row);
        s.flow.BB_ConfigNextClick();
        QCOMPARE(s.flow.stage(), Stage::Connecting);
        QCOMPARE(s.flow.presetName(), PlanPresets::kAutoPresetName);
        QVERIFY(readFile("Kromaglen.ini").startsWith("-- automata ment\xE9s --:0:I:1:I:2:N"));
        s.port.feed(reading("FE", 5));
        s.port.feed(",M");
        QCOMPARE(s.flow.stage(), Stage::Connecting);
        s.port.feed("E");
        QCOMPARE(s.flow.page(), WizardPage::Meas);
        QCOMPARE(s.measuring.list().points(), (QList<int>{0, 1, 10, 12, 13, 14}));
        QCOMPARE(s.tones(2), (std::vector<int>{900, 300}));
        QVERIFY(s.measuring.log().lines(0).isEmpty());

        s.port.feed(QByteArray("\x01\x02", 2) + reading("FE", 123));
        s.port.feed(",A");
        s.port.feed("L");
        s.port.feed(QByteArray("\x07\x00", 2));
        QCOMPARE(s.measuring.log().lines(0), (QStringList{"FE 123 µm", "AL 7 µm"}));
        QCOMPARE(s.measuring.substrate(), Substrate::AL);
        QCOMPARE(s.measuring.valueText(), QStringLiteral("7"));
        QSignalSpy removed(&s.measuring, &MeasuringController::readingRemoved);
        s.measuring.deleteReading(0);
        QCOMPARE(removed.takeFirst(), (QVariantList{0, 0}));
        s.measuring.deleteReading(-1); // nothing selected: nothing deleted
        QCOMPARE(s.measuring.log().lines(0), QStringList{"AL 7 µm"});

        s.port.feed(",ME");
        QCOMPARE(s.measuring.currentPoint(), 1);
        QCOMPARE(s.measuring.valueText(), QStringLiteral("----"));
        QCOMPARE(s.measuring.substrate(), Substrate::FE);
        s.measuring.toggleSubstrate();
        QCOMPARE(s.measuring.typeReading(QStringLiteral("2000")), 1000);
        QCOMPARE(s.measuring.typeReading(QStringLiteral("x")), 5);
        QCOMPARE(s.measuring.log().lines(1), (QStringList{"AL 1000 µm", "AL 5 µm"}));
        QCOMPARE(s.measuring.log().readings(1).first().source, ReadingSource::Typed);

        s.measuring.selectPosition(5);
        s.port.feed(",ME");
        s.measuring.stepForward();
        QCOMPARE(s.measuring.currentPoint(), 14);
        QCOMPARE(s.tones(9), (std::vector<int>{900, 300, 600, 600, 300, 600, 600, 800, 800}));

        // The summary asks; the gauge still records meanwhile.
        s.flow.BB_MeasNextClick();
        QCOMPARE(s.asker.asked, QStringList{"Biztos át akarja adni a hiányos adatokat?"});
        QVERIFY(s.flow.summarising());
        s.port.feed(reading("FE", 77));
        s.flow.BB_MeasNextClick(); // a second click while it asks does nothing
        QCOMPARE(s.asker.asked.size(), 1);
        QVERIFY(s.asker.answer(Answer::Yes));
        QCOMPARE(s.flow.page(), WizardPage::Send);
        QCOMPARE(s.flow.measurementStatus(0).kind, WizardFlow::Status::Measured);
        QCOMPARE(s.flow.measurementStatus(14).count, 1);
        QCOMPARE(s.flow.measurementStatus(10).kind, WizardFlow::Status::NotMeasured);
        QCOMPARE(s.flow.measurementStatus(22).kind, WizardFlow::Status::NotChosen);
        QCOMPARE(s.log, (QStringList{"Server start!", "Most megnyomhatja a ZOV programban az "
                                                      "\"Adatok betöltése\" gombot."}));

        // Bytes the gauge sends now are never recorded.
        s.port.feed(reading("FE", 999));
        const quint16 port = s.handover.server().serverPort();
        QCOMPARE(request(port, "LEFT_FRONT_WING\r\n"), QStringLiteral("LEFT_FRONT_WING:7\r\n"));
        QCOMPARE(request(port, "LEFT_FRONT_DOOR\r\n"),
                 QStringLiteral("LEFT_FRONT_DOOR:1000:5\r\n"));
        QCOMPARE(request(port, "hood\r\n"), QStringLiteral("hood?\r\n"));
        QTRY_VERIFY(s.handover.sent(1));
        QVERIFY(!s.handover.sent(10));

        s.flow.BB_SendBackClick();
        QCOMPARE(s.flow.page(), WizardPage::Meas);
        QCoreApplication::processEvents();
        QVERIFY(s.port.waiting().isEmpty());
        QCOMPARE(s.measuring.log().count(14), 1);
        s.flow.BB_MeasNextClick();
        QVERIFY(s.asker.answer(Answer::Yes));
        QVERIFY(!s.handover.sent(1)); // every status starts afresh
        QCOMPARE(s.log.size(), 3);
    }

    // The connect ends without the key: the port fails to open (its message,
    // and the first page as it was), "Kapcsolat megszakítása", or closing
    // the window; a key arriving later starts nothing.
    void aConnectEndingWithoutTheKey()
    {
        Station s;
        s.port.failOpen = true;
        s.flow.BB_ConfigNextClick();
        QCOMPARE(s.flow.stage(), Stage::SettingUp);
        QCOMPARE(s.infos, QStringList{"A kapcsolódás a Kromaglen-hez nem sikerült! Oka: EComPort: "
                                      "Unable to open com port (win error code: 2))"});

        s.port.failOpen = false;
        s.flow.BB_ConfigNextClick();
        QVERIFY(s.port.connected());
        s.flow.BB_AbortConnectClick();
        QCOMPARE(s.flow.stage(), Stage::SettingUp);
        QVERIFY(!s.port.connected());

        s.flow.BB_ConfigNextClick();
        s.flow.FormCloseQuery();
        QVERIFY(s.asker.answer(Answer::No));
        QCOMPARE(s.flow.stage(), Stage::Connecting);
        s.flow.FormCloseQuery();
        QVERIFY(s.asker.answer(Answer::Yes));
        QVERIFY(s.flow.closing());
        QVERIFY(!s.port.connected());
        s.flow.FormClose();
        s.port.feed(",ME");
        QCOMPARE(s.flow.page(), WizardPage::Config);
        QCOMPARE(s.infos.size(), 1);
        QTest::qWait(50);
        QVERIFY(s.beeper.tones().empty());
    }

    // "Igen" keeps every point's readings, "Nem" empties all of them; the
    // question comes again while readings exist.
    void keepingOrDiscardingTheReadings()
    {
        Station s;
        s.connect();
        s.port.feed(reading("FE", 50));
        s.flow.BB_MeasBackClick();
        QVERIFY(!s.port.connected());
        s.flow.BB_ConfigNextClick();
        QCOMPARE(s.flow.stage(), Stage::SettingUp);
        QVERIFY(s.asker.answer(Answer::Yes));
        s.port.feed(",ME");
        QCOMPARE(s.flow.stage(), Stage::Measuring);
        QCOMPARE(s.measuring.log().count(0), 1);
        s.flow.BB_MeasBackClick();
        s.flow.BB_ConfigNextClick();
        QVERIFY(s.asker.answer(Answer::Cancel)); // the dialog failed: kept
        s.port.feed(",ME");
        QCOMPARE(s.measuring.log().count(0), 1);
        s.flow.BB_MeasBackClick();
        s.flow.BB_ConfigNextClick();
        QVERIFY(s.asker.answer(Answer::No));
        QCOMPARE(s.measuring.log().count(0), 0);
        QVERIFY(!s.measuring.log().unsavedReadings());
        QCOMPARE(s.asker.asked, QStringList(3, "Akarja megtartani a meglevő méréseket?"));
    }

    // Every way out asks once; what each page then does; a refusal changes
    // nothing. "Vége" warns first while points are unsent, and the leave
    // buttons save the automatic preset before asking.
    void leaving()
    {
        Station s;
        s.flow.typePresetName(QString());
        s.flow.BB_ConfigCancelClick();
        QCOMPARE(s.asker.asked, QStringList{"Biztos bezárja a varázslót?"});
        QVERIFY(readFile("Kromaglen.ini").startsWith("-- automata ment"));
        QVERIFY(s.asker.answer(Answer::No));
        QVERIFY(!s.flow.closing());

        s.connect();
        s.flow.FormCloseQuery();
        QVERIFY(s.asker.answer(Answer::Yes));
        QCOMPARE(s.flow.page(), WizardPage::Config);
        QVERIFY(!s.port.connected());
        QVERIFY(s.flow.closing());

        Station last;
        last.connect();
        last.port.feed(reading("FE", 1));
        last.flow.BB_MeasNextClick();
        QVERIFY(last.asker.answer(Answer::Yes));
        last.flow.BB_SendCancelClick();
        QCOMPARE(last.asker.asked.last(), QStringLiteral("Biztos bezárja a varázslót?"));
        QVERIFY(last.asker.messages.last().startsWith("Még nem sikerült átadni az adatokat"));
        QVERIFY(last.asker.answer(Answer::No));
        QCOMPARE(last.closeAsked, 0);
        last.flow.BB_SendCancelClick();
        QVERIFY(last.asker.answer(Answer::Yes));
        QCOMPARE(last.closeAsked, 1);
        QVERIFY(last.asker.messages.last().startsWith("Ha bezárja a varázslót"));
        QVERIFY(last.asker.answer(Answer::Yes));
        QCOMPARE(last.log.last(), QStringLiteral("Server stop!"));
        QVERIFY(!last.handover.server().active());
        QVERIFY(!last.port.connected());
    }

    // With the sound card, the gauge's next frames wait until the event's
    // sound has started: after the key, until NEXT has ended and the
    // point's name plays; a reading is shown before its sound.
    void framesWaitForTheSoundBeforeThem()
    {
        Station s;
        s.makeRecordings({"NEXT", "LEFT_FRONT_WING", "LEFT_FRONT_DOOR", "MERES_OK"});
        s.measuring.CB_SpeakNumChange(SoundOptions::SayOk);
        s.measuring.CB_SoundChange(SoundOptions::SoundCard);
        QCOMPARE(readFile("Kromaglen_sound.ini"), QByteArray("11\r\n"));
        QStringList order;
        QObject::connect(&s.measuring, &MeasuringController::readingShown,
                         [&] { order.append("shown " + s.measuring.valueText()); });
        QObject::connect(&s.player, &SoundPlayer::stopped, [&] {
            order.append("played " + QFileInfo(s.player.played.last()).baseName());
        });
        s.flow.BB_ConfigNextClick();
        s.port.feed(",ME");
        s.port.feed(reading("FE", 1));
        QCOMPARE(order, QStringList{"played NEXT"});
        QCOMPARE(s.flow.stage(), Stage::Connecting); // ends once the key's sound has started
        QTRY_COMPARE(s.measuring.log().count(0), 1);
        s.port.feed(",ME" + reading("FE", 2));
        QTRY_COMPARE(s.measuring.log().count(1), 1);
        QCOMPARE(order, (QStringList{"played NEXT", "played LEFT_FRONT_WING", "shown 1",
                                     "played MERES_OK", "played NEXT", "played LEFT_FRONT_DOOR",
                                     "shown 2", "played MERES_OK"}));
        QVERIFY(s.beeper.tones().empty());
    }

    // A sound card that fails switches to the speaker for good, and the event
    // is beeped: also when the point's name fails after NEXT. A computer
    // without any sound output is told once.
    void theSpeakerTakesOver()
    {
        Station s;
        s.makeRecordings({"NEXT"});
        s.measuring.CB_SoundChange(SoundOptions::SoundCard);
        QSignalSpy inaudible(&s.measuring, &MeasuringController::inaudible);
        s.beeper.hasOutput = false;
        s.connect(); // NEXT plays, LEFT_FRONT_WING is missing
        QCOMPARE(s.player.played.size(), 1);
        QCOMPARE(s.measuring.sound().device, int(SoundOptions::Speaker));
        QCOMPARE(readFile("Kromaglen_sound.ini"), QByteArray("00\r\n"));
        QCOMPARE(s.tones(1), std::vector<int>{300});
        s.measuring.CB_SoundChange(SoundOptions::SoundCard);
        QFile::remove("hang/NEXT.wav");
        s.port.feed(",ME");
        QCOMPARE(s.measuring.sound().device, int(SoundOptions::Speaker));
        s.port.feed(reading("FE", 3));
        QCOMPARE(s.tones(3), (std::vector<int>{300, 300, 600}));
        QCOMPARE(inaudible.size(), 1);
    }

    // "Kom.jav." goes on while the window runs: one message only when both
    // attempts fail, with the second failure; the page is the person's again.
    void repairingTheLink()
    {
        Station s;
        s.connect();
        QSignalSpy changed(&s.flow, &WizardFlow::repairChanged);
        s.port.failOpens = 1;
        s.flow.BB_ReconnectClick();
        QVERIFY(s.flow.repairing());
        QTRY_VERIFY(!s.flow.repairing());
        QVERIFY(s.port.connected());
        QVERIFY(s.infos.isEmpty());
        s.port.failCodes = {121, 1167};
        s.flow.BB_ReconnectClick();
        QTRY_VERIFY(!s.flow.repairing());
        QCOMPARE(s.infos, QStringList{"A kapcsolódás a Kromaglen-hez nem sikerült! Oka: EComPort: "
                                      "Unable to open com port (win error code: 1167))"});
        QCOMPARE(changed.size(), 4);
        QCOMPARE(s.flow.page(), WizardPage::Meas);

        // A close that fails is told; the page changes all the same.
        s.port.open();
        s.port.failClose = true;
        s.flow.BB_MeasBackClick();
        QCOMPARE(s.flow.page(), WizardPage::Config);
        QVERIFY(s.infos.last().startsWith("A bluetooth kapcsolat lezárása nem sikerült. Oka: "));
    }

    // The category on the first page picks the preset of its name, or only
    // names the plan; elsewhere it is refused, as a point request away from
    // the last page is.
    void categoriesAndPresets()
    {
        Station s;
        s.flow.plan().toggleTick(2);
        s.flow.typePresetName(QStringLiteral("M1 - személygépkocsi"));
        s.flow.BB_SaveClick();
        s.flow.plan().tickAll();
        const quint16 port = s.handover.server().serverPort();
        send(port, "category=M1");
        QTRY_VERIFY(!s.flow.plan().entry(2).ticked);
        send(port, "category=XY");
        QTRY_COMPARE(s.flow.presetName(), QStringLiteral("XY"));
        QVERIFY(!s.flow.canForgetPreset());
        QCOMPARE(request(port, "HOOD\r\n"), QStringLiteral("-\r\n"));
        QCOMPARE(s.infos.last(),
                 QStringLiteral("Az adatok átadádához lépjen az utolsó \"Adatok átadása\" lapra!"));
        s.connect();
        send(port, "category=M1");
        QTRY_VERIFY(s.infos.last().startsWith("Ezen a lapon már nem lehet fogadni a jármű"));
        QCOMPARE(s.flow.presetName(), QStringLiteral("XY"));

        s.flow.typePresetName(QStringLiteral("Kombi:2"));
        s.flow.BB_SaveClick();
        QCOMPARE(s.flow.presetName(), QStringLiteral("Kombi_2"));
        s.flow.typePresetName(QStringLiteral("KOMBI_2"));
        QVERIFY(s.flow.canForgetPreset());
        s.flow.BB_DeleteClick();
        QCOMPARE(s.flow.presetName(), QString());
        QCOMPARE(s.flow.presets().count(), 1);
    }

    // A server that cannot listen: told at start; the summary tries again and
    // stays on the measuring page while the port is taken.
    void aServerThatCannotListen()
    {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::AnyIPv4, 0));
        Station s(nullptr, taken.serverPort());
        QVERIFY(s.infos.value(0).startsWith("Az átvitel indítása nem sikerült! (Nem fogja"));
        s.connect();
        s.flow.BB_MeasNextClick();
        QVERIFY(s.asker.answer(Answer::Yes));
        QCOMPARE(s.flow.page(), WizardPage::Meas);
        QVERIFY(!s.flow.summarising());
        QCOMPARE(s.infos.last(),
                 QStringLiteral("Az átvitel indítása nem sikerült! Oka: ESocketError: A(z) %1 "
                                "port foglalt: egy másik program (vagy a KromaglenForZov egy "
                                "másik példánya) használja.")
                     .arg(taken.serverPort()));
        taken.close();
        s.flow.BB_MeasNextClick();
        QVERIFY(s.asker.answer(Answer::Yes));
        QCOMPARE(s.flow.page(), WizardPage::Send);
        QCOMPARE(s.log.first(), QStringLiteral("Server start!"));
    }

    // After an end by force the next start offers the unfinished inspection
    // once, on the first page: "Igen" takes its readings back and it goes on
    // as the same inspection, stored as interrupted; "Nem" stores it so.
    void anUnfinishedInspectionIsOfferedBack()
    {
        QTemporaryDir archiveDir;
        ArchiveLocation location;
        location.file = archiveDir.filePath("archive.sqlite");
        const auto leaveUnfinished = [&archiveDir](const QString &journal) {
            Inspection left;
            left.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
            left.category = QStringLiteral("M1 - személygépkocsi");
            left.started = left.ended = QDateTime::currentDateTime();
            left.readings = {{0, Substrate::FE, 111}, {0, Substrate::FE, 112}};
            QDir().mkpath(archiveDir.filePath(journal));
            QFile entry(archiveDir.filePath(journal) + "/w9x9." + left.uid + ".open.json");
            entry.open(QIODevice::WriteOnly);
            entry.write(InspectionJson::encodeOpen(left));
            return left.uid;
        };
        const QString taken = leaveUnfinished("taken");
        const QString left = leaveUnfinished("left");
        std::optional<Inspection> back;
        std::optional<Inspection> stored;
        {
            ArchiveRecorder recorder(location, archiveDir.filePath("taken"));
            QSignalSpy storedNow(&recorder, &ArchiveRecorder::stored);
            Station s(&recorder);
            QTRY_VERIFY(s.asker.open());
            QCOMPARE(s.asker.asked, QStringList{"Visszatölti a méréseket a folytatáshoz?"});
            QVERIFY(s.asker.messages.first().contains(u"2 mérés 1 ponton"));
            QVERIFY(s.asker.answer(Answer::Yes));
            QCOMPARE(s.measuring.log().lines(0), (QStringList{"FE 111 µm", "FE 112 µm"}));
            s.flow.BB_ConfigNextClick();
            QVERIFY(s.asker.answer(Answer::Yes)); // keep the readings
            s.port.feed(",ME");
            s.port.feed(reading("FE", 113));
            s.flow.BB_MeasNextClick();
            QVERIFY(s.asker.answer(Answer::Yes));
            s.flow.BB_SendBackClick();
            QTRY_COMPARE(storedNow.size(), 1);
            ArchiveDatabase db(location);
            db.open();
            back = ArchiveStore(db).load(storedNow.first().first().toLongLong());
        }
        {
            ArchiveRecorder recorder(location, archiveDir.filePath("left"));
            QSignalSpy storedNow(&recorder, &ArchiveRecorder::stored);
            Station s(&recorder);
            QTRY_VERIFY(s.asker.open());
            QVERIFY(s.asker.answer(Answer::No));
            QTRY_COMPARE(storedNow.size(), 1);
            QCOMPARE(s.measuring.log().count(0), 0);
            ArchiveDatabase db(location);
            db.open();
            stored = ArchiveStore(db).load(storedNow.first().first().toLongLong());
        }
        QVERIFY(back && back->interrupted);
        QCOMPARE(back->uid, taken);
        QCOMPARE(back->readings.size(), 3);
        QCOMPARE(back->category, QStringLiteral("M1 - személygépkocsi"));
        QVERIFY(stored && stored->interrupted);
        QCOMPARE(stored->uid, left);
        QCOMPARE(stored->readings.size(), 2);
    }

    // The end tells what became of what the archive did not take: only what
    // is true.
    void theEndSaysOnlyWhatIsTrue()
    {
        QCOMPARE(EndNotice::text({}), QString());
        const QString kept = EndNotice::text({2, 0, {}});
        QVERIFY(kept.contains(u"2 még nem mentett") && kept.contains(u"nem veszett el"));
        const QString rescued = EndNotice::text({3, 1, QStringLiteral("/tmp/x")});
        QVERIFY(rescued.contains(u"2 még nem mentett") && rescued.contains(u"/tmp/x"));
        QVERIFY(!rescued.contains(u"ELVESZETT"));
        const QString lost = EndNotice::text({1, 1, {}});
        QVERIFY(lost.contains(u"ELVESZETT") && !lost.contains(u"nem veszett el"));
    }

    // The inspection reaches the archive: the category from the inspection
    // program, the readings in the order taken with their points, the points
    // handed over; stored when the last page is left.
    void anInspectionReachesTheArchive()
    {
        QTemporaryDir archiveDir;
        ArchiveLocation location;
        location.file = archiveDir.filePath("archive.sqlite");
        std::optional<Inspection> kept;
        {
            ArchiveRecorder recorder(location, archiveDir.filePath("archive.journal"));
            QSignalSpy stored(&recorder, &ArchiveRecorder::stored);
            Station s(&recorder);
            const quint16 port = s.handover.server().serverPort();
            send(port, "category=M1");
            QTRY_COMPARE(s.flow.presetName(), QStringLiteral("M1 - személygépkocsi"));
            s.connect();
            s.port.feed(reading("FE", 120) + reading("AL", 45) + ",ME" + reading("FE", 300));
            s.flow.BB_MeasNextClick();
            QVERIFY(s.asker.answer(Answer::Yes));
            QCOMPARE(request(port, "LEFT_FRONT_WING\r\n"),
                     QStringLiteral("LEFT_FRONT_WING:120:45\r\n"));
            QTRY_VERIFY(s.handover.sent(0));
            QCOMPARE(stored.size(), 0);
            s.flow.BB_SendBackClick();
            QTRY_COMPARE(stored.size(), 1);
            ArchiveDatabase db(location);
            db.open();
            kept = ArchiveStore(db).load(stored.first().first().toLongLong());
        }
        QVERIFY(kept);
        QCOMPARE(kept->category, QStringLiteral("M1 - személygépkocsi"));
        QCOMPARE(kept->readings.size(), 3);
        QCOMPARE(kept->readingsOf(0).size(), 2);
        QCOMPARE(kept->readingsOf(1).size(), 1);
        QVERIFY(kept->sentAt(0));
        QVERIFY(!kept->sentAt(1));
    }
};

QTEST_MAIN(TestFlow)
#include "tst_flow.moc"
