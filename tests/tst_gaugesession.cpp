// The gauge session without a window: what reaches the two receive handlers,
// the connect wait, a hold, closing and the repair, over the hand-fed link
// and over a real pseudo-terminal.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Fakes.h"
#include "GaugeSession.h"
#include "PtyGauge.h"
#include "SerialGaugePort.h"

namespace {

QByteArray reading(const char *substrate, int value)
{
    return QByteArray(",") + substrate + char(value & 0xFF) + char(value >> 8);
}

// What the handlers were given, as text: "M FE 123", "M key", "C key", "C AL 5".
struct Handlers
{
    explicit Handlers(GaugeSession &session)
    {
        session.setHandlers([this](const GaugeFrame &f) { take(u"C", f); },
                            [this](const GaugeFrame &f) { take(u"M", f); });
    }
    void take(QStringView route, const GaugeFrame &f)
    {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        seen.append(route.toString() + u' ' +
                    (f.kind == GaugeFrame::Kind::Key
                         ? QStringLiteral("key")
                         : substrateName(f.substrate) + u' ' + QString::number(f.value)));
        if (whileHandling)
            std::exchange(whileHandling, nullptr)();
        --depth;
    }

    QStringList seen;
    std::function<void()> whileHandling; // runs inside the next handler, once
    int depth = 0;
    int maxDepth = 0;
};

// A repair runs while the event loop goes on; its failure text, empty on success.
QString repaired(GaugeSession &session)
{
    QSignalSpy ended(&session, &GaugeSession::repairEnded);
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start(5);
    session.repair();
    if (!ended.wait(10000))
        return QStringLiteral("<no end>");
    if (ticks == 0)
        return QStringLiteral("<the window was held up>");
    return ended.first().first().toString();
}

} // namespace

class TestGaugeSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each read's frames go to the handler of the route; on no route the
    // bytes wait in the port, and the measuring handler taking over reads them.
    void framesFollowTheRoute()
    {
        FakeGaugePort port;
        GaugeSession session(port);
        Handlers h(session);
        QCOMPARE(session.route(), GaugeSession::Route::Measuring);
        session.OpenGaugePort(QStringLiteral("COM7"));
        QCOMPARE(port.openedNames, QStringList{QStringLiteral("COM7")});

        port.feed("noise" + reading("FE", 123) + ",ME" + reading("AL", 0x2C2C).left(4));
        QCOMPARE(h.seen, (QStringList{"M FE 123", "M key"}));
        port.feed(reading("AL", 0x2C2C).mid(4));
        QCOMPARE(h.seen.last(), QStringLiteral("M AL 11308"));

        session.setRoute(GaugeSession::Route::None);
        port.feed(reading("FE", 1) + ",ME");
        QCOMPARE(h.seen.size(), 3);
        QCOMPARE(port.waiting().size(), 8);
        session.setRoute(GaugeSession::Route::Measuring);
        QCOMPARE(h.seen.size(), 3); // read from the event loop, not inside the switch
        QTRY_COMPARE(h.seen.mid(3), (QStringList{"M FE 1", "M key"}));

        // A handler holds the session (its sound must start first): the
        // rest of its chunk, and bytes arriving meanwhile, wait; the rest of
        // the chunk still goes to the route that read it.
        h.whileHandling = [&session] { session.hold(); };
        port.feed(reading("FE", 2) + reading("FE", 3));
        port.feed(reading("FE", 4));
        session.setRoute(GaugeSession::Route::None);
        QCoreApplication::processEvents();
        QCOMPARE(h.seen.mid(5), QStringList{"M FE 2"});
        session.release();
        QTRY_COMPARE(h.seen.mid(5), (QStringList{"M FE 2", "M FE 3"}));
        QCOMPARE(port.waiting().size(), 5);
        session.setRoute(GaugeSession::Route::Measuring);
        QTRY_COMPARE(h.seen.mid(7), QStringList{"M FE 4"});
        QCOMPARE(h.maxDepth, 1);
    }

    // The wait ends once the gauge's key and the rest of its chunk are
    // handled (true), or on an abort or a shut-down (false), and does not
    // start on a closed port; readings during it go to the connect handler.
    void connectWait()
    {
        FakeGaugePort port;
        GaugeSession session(port);
        Handlers h(session);
        QSignalSpy ended(&session, &GaugeSession::connectWaitEnded);
        session.OpenGaugePort(QStringLiteral("COM6"));
        QVERIFY(session.ConnectWait());
        port.feed(reading("FE", 9));
        QVERIFY(ended.isEmpty());
        h.whileHandling = [&session] { session.hold(); }; // the key's sound plays
        port.feed(",ME,ME" + reading("AL", 5));
        QCOMPARE(h.seen, (QStringList{"C FE 9", "C key"}));
        QVERIFY(ended.isEmpty());
        session.release();
        QTRY_COMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().toBool(), true);
        QCOMPARE(h.seen, (QStringList{"C FE 9", "C key", "C key", "C AL 5"}));
        QCOMPARE(session.route(), GaugeSession::Route::GetMenu);

        QVERIFY(session.ConnectWait());
        session.requestAbort();
        QCOMPARE(ended.size(), 2);
        QCOMPARE(ended.last().first().toBool(), false);
        QVERIFY(!session.menuKeySeen());

        port.close();
        QVERIFY(!session.ConnectWait()); // closed: no wait at all
        QVERIFY(!session.connectWaiting());

        port.open();
        QVERIFY(session.ConnectWait());
        session.shutDown();
        QCOMPARE(ended.last().first().toBool(), false);
        port.feed(",ME"); // nothing is handed on once shut down
        QCOMPARE(h.seen.size(), 4);
        QCOMPARE(ended.size(), 3);
    }

    // A failed read is not reported: the link stops listening until it is
    // opened again.
    void aFailedReadSilencesTheLink()
    {
        FakeGaugePort port;
        GaugeSession session(port);
        session.setReconnectPauseMs(20);
        Handlers h(session);
        session.OpenGaugePort(QStringLiteral("COM6"));
        port.failRead = true;
        port.feed(reading("FE", 1));
        port.failRead = false;
        port.feed(reading("FE", 2));
        QVERIFY(h.seen.isEmpty());
        QCOMPARE(repaired(session), QString());
        port.feed(reading("FE", 3));
        QCOMPARE(h.seen, QStringList{"M FE 3"});
    }

    // Each attempt closes (a failing close is reported and the attempt goes
    // on), pauses (a second, here less) while the window goes on, reopens and
    // purges, and
    // forgets the bytes received before; only when both attempts fail is the
    // second one's failure reported, and the bytes are kept. Closing the
    // port ends a repair.
    void repair()
    {
        FakeGaugePort port;
        GaugeSession session(port);
        session.setReconnectPauseMs(100);
        QSignalSpy closeFailed(&session, &GaugeSession::closeFailed);
        QSignalSpy up(&session, &GaugeSession::linkUp);
        session.OpenGaugePort(QStringLiteral("COM6"));
        port.feed(",F");
        QCOMPARE(session.receiveBuffer(), QByteArray(",F"));

        port.failClose = true;
        port.failCodes = {5, 121};
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(repaired(session),
                 QStringLiteral("EComPort: Unable to open com port (win error code: 121)"));
        QVERIFY(clock.elapsed() >= 200); // at least the pause per attempt
        QCOMPARE(closeFailed.size(), 1); // the second close finds the port closed
        QCOMPARE(closeFailed.first().first().toString(),
                 QStringLiteral("EComPort: CloseHandle function failed (win error code: 6)"));
        QVERIFY(!port.connected());
        QCOMPARE(session.receiveBuffer(), QByteArray(",F"));
        QCOMPARE(up.size(), 1); // the connect only

        port.failClose = false;
        port.failOpens = 1;
        clock.restart();
        QCOMPARE(repaired(session), QString());
        QVERIFY(clock.elapsed() >= 200);
        QVERIFY(port.connected());
        QCOMPARE(session.receiveBuffer(), QByteArray());
        QCOMPARE(up.size(), 2);
        QCOMPARE(port.openedNames, QStringList(5, QStringLiteral("COM6")));

        QSignalSpy ended(&session, &GaugeSession::repairEnded);
        session.repair();
        QVERIFY(session.repairing());
        session.CloseGaugePort();
        QCOMPARE(ended.size(), 1);
        QVERIFY(!session.repairing());
        QTest::qWait(150);
        QVERIFY(!port.connected());
    }

    // Over a real serial device: the key ends the wait, a reading split over
    // three writes after noise arrives once, a hang-up is reported, and the
    // repair reopens the same name, where a new gauge now answers.
    void overARealSerialDevice()
    {
        QTemporaryDir links;
        auto gauge = std::make_unique<PtyGauge>(links.filePath(QStringLiteral("gauge")));
        REQUIRE_GAUGE(*gauge);
        SerialGaugePort port;
        GaugeSession session(port);
        session.setReconnectPauseMs(100); // a pseudo-terminal needs no second to settle
        Handlers h(session);
        QSignalSpy lost(&session, &GaugeSession::linkLost);
        QVERIFY(gauge->send("stale"));
        session.OpenGaugePort(gauge->portName());
        QSignalSpy ended(&session, &GaugeSession::connectWaitEnded);
        QVERIFY(session.ConnectWait());
        QVERIFY(gauge->send(",ME"));
        QVERIFY(ended.wait(5000));
        session.setRoute(GaugeSession::Route::Measuring);

        for (const QByteArray &part :
             {QByteArray("x,Q,,F"), QByteArray("E\x7B"), QByteArray("\x01")}) {
            QVERIFY(gauge->send(part));
            QTest::qWait(30);
        }
        QTRY_COMPARE(h.seen, (QStringList{"C key", "M FE 379"}));

        gauge->hangUp();
        QTRY_COMPARE(lost.size(), 1);
        gauge = std::make_unique<PtyGauge>(links.filePath(QStringLiteral("gauge")));
        QCOMPARE(repaired(session), QString());
        QVERIFY(gauge->send(reading("AL", 7)));
        QTRY_COMPARE(h.seen.last(), QStringLiteral("M AL 7"));
    }
};

QTEST_GUILESS_MAIN(TestGaugeSession)
#include "tst_gaugesession.moc"
