// The gauge session without a window: what reaches the two receive handlers,
// the connect wait, closing and the repair, over the hand-fed link and over a
// real pseudo-terminal.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Fakes.h"
#include "GaugeSession.h"
#ifdef Q_OS_UNIX
#include "PtyGauge.h"
#include "SerialGaugePort.h"
#endif

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

// Runs action once the connect wait runs.
void duringWait(std::function<void()> action)
{
    QTimer::singleShot(10, std::move(action));
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

        // A handler lets window events run, and more bytes arrive meanwhile:
        // they are read after it has returned, in order, never inside it.
        h.whileHandling = [&port] {
            QTimer::singleShot(0, [&port] { port.feed(reading("FE", 3)); });
            QCoreApplication::processEvents();
        };
        port.feed(reading("FE", 2));
        QCOMPARE(h.seen.mid(5), (QStringList{"M FE 2", "M FE 3"}));
        QCOMPARE(h.maxDepth, 1);
    }

    // The wait ends on the gauge's key (true), on an abort or a shut-down
    // (false), and does not start on a closed port; readings during it go to
    // the connect handler, as do further frames of the key's chunk.
    void connectWait()
    {
        FakeGaugePort port;
        GaugeSession session(port);
        Handlers h(session);
        session.OpenGaugePort(QStringLiteral("COM6"));
        duringWait([&port] { port.feed(reading("FE", 9) + ",ME,ME" + reading("AL", 5)); });
        QVERIFY(session.ConnectWait());
        QVERIFY(session.menuKeySeen());
        QCOMPARE(h.seen, (QStringList{"C FE 9", "C key", "C key", "C AL 5"}));
        QCOMPARE(session.route(), GaugeSession::Route::GetMenu);

        duringWait([&session] { session.requestAbort(); });
        QVERIFY(!session.ConnectWait());
        QVERIFY(!session.menuKeySeen());

        port.close();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!session.ConnectWait()); // closed: no wait at all
        QVERIFY(clock.elapsed() < 500);

        port.open();
        duringWait([&session] { session.shutDown(); });
        QVERIFY(!session.ConnectWait());
        port.feed(",ME"); // nothing is handed on once shut down
        QCOMPARE(h.seen.size(), 4);
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
        QVERIFY(!session.repair());
        port.feed(reading("FE", 3));
        QCOMPARE(h.seen, QStringList{"M FE 3"});
    }

    // Each attempt closes (a failing close is reported and the attempt goes
    // on), pauses (a second, here less), reopens and purges, and forgets the
    // bytes received before; only when both attempts fail is the second
    // one's failure returned, and the bytes are kept.
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
        QCOMPARE(session.repair().value_or(QString()),
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
        QVERIFY(!session.repair());
        QVERIFY(clock.elapsed() >= 200);
        QVERIFY(port.connected());
        QCOMPARE(session.receiveBuffer(), QByteArray());
        QCOMPARE(up.size(), 2);
        QCOMPARE(port.openedNames, QStringList(5, QStringLiteral("COM6")));
    }

#ifdef Q_OS_UNIX
    // Over a real pseudo-terminal: the key ends the wait, a reading split
    // over three writes arrives once, a hang-up is reported, and the repair
    // reopens the same name, where a new gauge now answers.
    void overARealSerialDevice()
    {
        QTemporaryDir links;
        auto gauge = std::make_unique<PtyGauge>(links.filePath(QStringLiteral("gauge")));
        SerialGaugePort port;
        GaugeSession session(port);
        session.setReconnectPauseMs(100); // a pseudo-terminal needs no second to settle
        Handlers h(session);
        QSignalSpy lost(&session, &GaugeSession::linkLost);
        QVERIFY(gauge->send("stale"));
        session.OpenGaugePort(gauge->portName());
        duringWait([&gauge] { QVERIFY(gauge->send(",ME")); });
        QVERIFY(session.ConnectWait());
        session.setRoute(GaugeSession::Route::Measuring);

        for (const QByteArray &part : {QByteArray(",F"), QByteArray("E\x7B"), QByteArray("\x01")}) {
            QVERIFY(gauge->send(part));
            QTest::qWait(30);
        }
        QTRY_COMPARE(h.seen, (QStringList{"C key", "M FE 379"}));

        gauge->hangUp();
        QTRY_COMPARE(lost.size(), 1);
        gauge = std::make_unique<PtyGauge>(links.filePath(QStringLiteral("gauge")));
        QVERIFY(!session.repair());
        QVERIFY(gauge->send(reading("AL", 7)));
        QTRY_COMPARE(h.seen.last(), QStringLiteral("M AL 7"));
    }
#endif
};

QTEST_GUILESS_MAIN(TestGaugeSession)
#include "tst_gaugesession.moc"
