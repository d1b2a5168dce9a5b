#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FloodingClient.h"
#endif

#include "Cp1250.h"
#include "Failure.h"
#include "HandoverProtocol.h"
#include "HandoverRequest.h"
#include "HandoverServer.h"
#include "ProcessUsage.h"
#include "Timing.h"

namespace {

// A tenth of the server's limits: a flood reaches them ten times sooner.
const HandoverServer::Limits kSmallLimits{.maxConnections = 4096,
                                          .maxUnsentBytes = 100 * 1024,
                                          .readBufferBytes = 32 * 1024,
                                          .linesPerTurn = 64};

// A server whose handlers keep a log of what the server handed them; the
// replies are checked where they arrive, on the client's socket.
struct LoggingServer
{
    LoggingServer()
    {
        server.setHandlers([this](const QString &peer) { log << "Connect to " + peer; },
                           [this](const QString &line) -> std::optional<HandoverReply> {
                               log << "In: " + line;
                               ++served;
                               const HandoverAnswer a =
                                   HandoverProtocol::answer(line, page, readings);
                               if (a.reply.isEmpty())
                                   return std::nullopt;
                               return HandoverReply(a.reply, [this] { ++written; });
                           },
                           [this](const QString &peer) { log << "Disconnect from " + peer; });
        server.setConnectionErrorHandler([this] { log << QStringLiteral("KAPCSOLAT HIBA!"); });
        server.start();
    }

    std::unique_ptr<QTcpSocket> connect()
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server.serverPort());
        socket->waitForConnected(2000);
        return socket;
    }

    HandoverServer server{0};
    WizardPage page = WizardPage::Send;
    ReadingLog readings;
    QStringList log;
    int served = 0;  // request lines handed to the handler
    int written = 0; // replies the server reported written
};

#ifdef Q_OS_UNIX
// Reads what the server sends until it closes the connection (or the time
// is up), letting the server, which runs on this thread, work meanwhile.
QByteArray readToTheEnd(int fd, int timeoutMs = 5000)
{
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    char buffer[65536];
    while (clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents();
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0)
            return received;
        if (n > 0)
            received.append(buffer, n);
        else
            QThread::msleep(1);
    }
    return received + "<still open>";
}

#endif

} // namespace

class TestHandover : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reply");
        using K = HandoverAnswer::Kind;
        QTest::newRow("values") << "HOOD" << 2 << int(K::Point) << "HOOD:123:98";
        QTest::newRow("no readings") << "VIN" << 2 << int(K::Point) << "VIN";
        QTest::newRow("last point") << "RIGHT_REAR_WING" << 2 << int(K::Point) << "RIGHT_REAR_WING";
        QTest::newRow("wrong case") << "hood" << 2 << int(K::UnknownPoint) << "hood?";
        QTest::newRow("trailing blank") << "HOOD " << 2 << int(K::UnknownPoint) << "HOOD ?";
        QTest::newRow("empty line") << "" << 2 << int(K::UnknownPoint) << "?";
        QTest::newRow("LF inside") << "HOOD\n" << 2 << int(K::UnknownPoint) << "HOOD\n?";
        QTest::newRow("first page") << "HOOD" << 0 << int(K::WrongPage) << "-";
        QTest::newRow("measuring page") << "" << 1 << int(K::WrongPage) << "-";
        QTest::newRow("category late") << "category=M1" << 1 << int(K::CategoryWrongPage) << "";
        QTest::newRow("not a category") << "xcategory=M1" << 0 << int(K::WrongPage) << "-";
        QTest::newRow("blank before")
            << " category=M1" << 2 << int(K::UnknownPoint) << " category=M1?";
    }

    void answers()
    {
        QFETCH(QString, line);
        QFETCH(int, page);
        QFETCH(int, kind);
        QFETCH(QString, reply);
        ReadingLog readings;
        readings.append(10, {Substrate::FE, 123});
        readings.append(10, {Substrate::AL, 98});
        const HandoverAnswer a = HandoverProtocol::answer(line, WizardPage(page), readings);
        QCOMPARE(int(a.kind), kind);
        QCOMPARE(a.reply, reply);
    }

    void categories()
    {
        const ReadingLog none;
        const auto category = [&none](const QString &line) {
            const HandoverAnswer a = HandoverProtocol::answer(line, WizardPage::Config, none);
            return a.kind == HandoverAnswer::Kind::Category ? a.category : QStringLiteral("<none>");
        };
        QCOMPARE(category("category=M1"), QStringLiteral("M1 - személygépkocsi"));
        QCOMPARE(category("category=M1G"), QStringLiteral("M1G - személygépkocsi, terepjáró"));
        QCOMPARE(category("category=XY"), QStringLiteral("XY"));
        QVERIFY(category("category=").startsWith("C1 - traktor"));
        // Control characters from the peer never reach the plan or the archive.
        QCOMPARE(category(QString("category=M1") + QChar(0) + "\x1b"),
                 QStringLiteral("M1 - személygépkocsi"));
        QCOMPARE(category(QString("category=X") + QChar(0) + "Y"), QStringLiteral("XY"));
    }

    void aWholeConnectionInOrder()
    {
        LoggingServer s;
        s.readings.append(10, {Substrate::FE, 123});
        auto client = s.connect();
        client->write("HOOD\r\n"); // right after connecting, no greeting first
        QCOMPARE(readLine(*client), QByteArray("HOOD:123\r\n"));
        client->write("\r\n");
        QCOMPARE(readLine(*client), QByteArray("?\r\n"));
        client->write("A\nB\r\n");
        QCOMPARE(readLine(*client), QByteArray("A\nB?\r\n"));
        client->disconnectFromHost();
        QTRY_COMPARE(s.log.size(), 5);
        QCOMPARE(s.log, (QStringList{"Connect to 127.0.0.1", "In: HOOD", "In: ", "In: A\nB",
                                     "Disconnect from 127.0.0.1"}));
    }

    void codePageBothWays()
    {
        LoggingServer s;
        auto client = s.connect();
        client->write("F\xD5\r\n"); // "FŐ" in code page 1250
        QCOMPARE(readLine(*client), QByteArray("F\xD5?\r\n"));
        QCOMPARE(s.log.at(1), QStringLiteral("In: FŐ"));
    }

    void halfALineThenClose()
    {
        LoggingServer s;
        auto client = s.connect();
        client->write("HOO");
        client->flush();
        QTest::qWait(50);
        client->disconnectFromHost();
        QTRY_VERIFY(s.log.size() >= 3);
        QCOMPARE(s.log.mid(1), (QStringList{"In: ", "Disconnect from 127.0.0.1"}));
    }

    void idleClientsAndOverlongLines()
    {
        LoggingServer s;
        auto idle = s.connect();
        auto other = s.connect();
        QTRY_COMPARE(s.server.connectionCount(), 2);
        other->write(QByteArray(LineFramer::kMaxLineLength + 1, 'x'));
        QTRY_COMPARE(s.server.connectionCount(), 1);
        QCOMPARE(s.log.last(), QStringLiteral("Disconnect from 127.0.0.1"));
        QVERIFY(!s.log.join(u'|').contains("In: "));
        // The idle one is still served.
        idle->write("VIN\r\n");
        QCOMPARE(readLine(*idle), QByteArray("VIN\r\n"));
        // A line of exactly the limit is still a line.
        idle->write(QByteArray(LineFramer::kMaxLineLength, 'y') + "\r\n");
        QCOMPARE(readLine(*idle).size(), LineFramer::kMaxLineLength + 3);
    }

    void stopDropsEveryConnection()
    {
        LoggingServer s;
        auto a = s.connect();
        auto b = s.connect();
        QTRY_COMPARE(s.server.connectionCount(), 2);
        s.server.stop();
        QVERIFY(!s.server.active());
        QCOMPARE(s.server.connectionCount(), 0);
        QCOMPARE(s.log.count("KAPCSOLAT HIBA!"), 2);
        QTRY_COMPARE(a->state(), QAbstractSocket::UnconnectedState);
    }

    void secondServerOnTheSamePortFails()
    {
        LoggingServer s;
        HandoverServer second(s.server.serverPort());
        try {
            second.start();
            QFAIL("two servers on one port");
        } catch (const Failure &f) {
            QCOMPARE(f.kind(), QStringLiteral("ESocketError"));
        }
        QVERIFY(!second.active());
    }

    // A line of exactly the limit whose CR and LF arrive apart is a line.
    void theLimitHoldsWhenCrAndLfArriveApart()
    {
        LoggingServer s;
        auto client = s.connect();
        client->write(QByteArray(LineFramer::kMaxLineLength, 'y') + "\r");
        QVERIFY(client->waitForBytesWritten(1000));
        QTest::qWait(100);
        client->write("\n");
        QCOMPARE(readLine(*client).size(), LineFramer::kMaxLineLength + 3);
        QCOMPARE(s.server.connectionCount(), 1);
    }

#ifdef Q_OS_UNIX
    // Past the descriptor limit the server neither spins nor stops: it
    // accepts again once descriptors are free.
    void runningOutOfDescriptorsDoesNotSpin()
    {
        LoggingServer s;
        {
            auto first = s.connect(); // a served connection, as in a day's work
            first->write("VIN\r\n");
            QCOMPARE(readLine(*first), QByteArray("VIN\r\n"));
        }
        rlimit old{};
        getrlimit(RLIMIT_NOFILE, &old);
        rlimit low = old;
        low.rlim_cur = rlim_t(QDir(QStringLiteral("/proc/self/fd")).count()) + 4;
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &low), 0);
        // Peers in a process of their own, so that only the server runs out.
        const quint16 port = s.server.serverPort();
        const pid_t peers = fork();
        if (peers == 0) {
            rlimit enough = old;
            setrlimit(RLIMIT_NOFILE, &enough);
            for (int i = 0; i < 40; ++i)
                rawConnection(port);
            ::pause(); // holding the connections until killed
            ::_exit(0);
        }
        QTest::qWait(300);
        const qint64 before = processorMs();
        QTest::qWait(1000);
        const qint64 used = processorMs() - before;
        setrlimit(RLIMIT_NOFILE, &old);
        ::kill(peers, SIGKILL); // not caught by the test library's handlers
        int status = 0;
        waitpid(peers, &status, 0);
        QVERIFY2(used < 200, qPrintable(QStringLiteral("%1 ms of processor in 1 s").arg(used)));

        QTcpSocket late;
        late.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(late.waitForConnected(2000));
        late.write("VIN\r\n");
        QCOMPARE(readLine(late), QByteArray("VIN\r\n"));
    }

    // A peer that sends its requests and then ends its side of the stream, as
    // nc -N and socat do, gets every reply before the connection closes; a
    // reply counts as written only once it is.
    void aHalfClosedPeerGetsEveryReply()
    {
        LoggingServer s;
        s.readings.append(10, {Substrate::FE, 123});
        for (int count : {1, 64, 65, 200}) {
            const int fd = rawConnection(s.server.serverPort());
            QVERIFY(fd >= 0);
            const int servedBefore = s.served;
            const int writtenBefore = s.written;
            const QByteArray requests = QByteArray("HOOD\r\n").repeated(count);
            QCOMPARE(::send(fd, requests.constData(), size_t(requests.size()), 0),
                     ssize_t(requests.size()));
            ::shutdown(fd, SHUT_WR);
            const QByteArray replies = readToTheEnd(fd);
            ::close(fd);
            QCOMPARE(replies, QByteArray("HOOD:123\r\n").repeated(count));
            QCOMPARE(s.served - servedBefore, count);
            QCOMPARE(s.written - writtenBefore, count);
        }
        // A line cut short by the end is served, but its reply goes nowhere.
        const int fd = rawConnection(s.server.serverPort());
        ::send(fd, "HOOD\r\nHOO", 9, 0);
        ::shutdown(fd, SHUT_WR);
        QCOMPARE(readToTheEnd(fd), QByteArray("HOOD:123\r\n"));
        ::close(fd);
        QTRY_COMPARE(s.log.last(), QStringLiteral("Disconnect from 127.0.0.1"));
        QCOMPARE(s.log.mid(s.log.size() - 4), (QStringList{"Connect to 127.0.0.1", "In: HOOD",
                                                           "In: ", "Disconnect from 127.0.0.1"}));
        QTRY_COMPARE(s.server.connectionCount(), 0);
    }

    // Replies that pile up unread and are lost with the connection are not
    // reported written.
    void repliesLostWithTheConnectionAreNotWritten()
    {
        LoggingServer s;
        s.server.setLimits(kSmallLimits);
        const int fd = rawConnection(s.server.serverPort(), 16 * 1024);
        QVERIFY(fd >= 0);
        // Unknown names of 16,000 characters come back whole, with a "?".
        const QByteArray request = QByteArray(16000, 'x') + "\r\n";
        int sent = 0;
        QElapsedTimer clock;
        clock.start();
        int lastServed = -1;
        int stillTurns = 0;
        // Send until the server stops taking more: the replies fill both
        // sides' buffers and the server holds the connection back.
        while (clock.elapsed() < 10000) {
            for (int i = 0; i < 8 && ::send(fd, request.constData(), size_t(request.size()),
                                            MSG_DONTWAIT) == ssize_t(request.size());
                 ++i)
                ++sent;
            // Nothing served for a while: the server holds the connection back.
            stillTurns = s.served == lastServed ? stillTurns + 1 : 0;
            if (stillTurns >= 10 && s.served > 0)
                break;
            lastServed = s.served;
            QTest::qWait(20);
        }
        QVERIFY(s.served > 0);
        QVERIFY2(s.written < s.served,
                 qPrintable(QStringLiteral("%1 of %2 written").arg(s.written).arg(s.served)));
        // The peer goes away without reading.
        linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
        QTRY_COMPARE(s.server.connectionCount(), 0);
        const int written = s.written;
        QTest::qWait(100);
        QCOMPARE(s.written, written);
        QVERIFY(written < s.served);
    }

    // A client that sends without reading neither grows the program without
    // bound nor keeps another client waiting.
    void aClientThatNeverReadsIsHeldBack()
    {
        HandoverServer server(0);
        server.setLimits(kSmallLimits);
        int served = 0;
        server.setHandlers([](const QString &) {},
                           [&served](const QString &line) {
                               ++served;
                               return std::optional<QString>(line + QString(200, u'x'));
                           },
                           [](const QString &) {});
        server.start();
        FloodingClient flood(server.serverPort(), "VIN", FloodingClient::Replies::Unread);
        QVERIFY(flood.connected());
        QTest::qWait(300);
        // What a wait of the fairness bound overruns now, with the flood on.
        const qint64 slack = Timing::slackMs(250);
        const qint64 start = residentBytes();
        QElapsedTimer clock;
        clock.start();
        qint64 slowest = 0;
        while (clock.elapsed() < 1500) {
            QTcpSocket other;
            other.connectToHost(QHostAddress::LocalHost, server.serverPort());
            QVERIFY(other.waitForConnected(2000));
            QElapsedTimer asked;
            asked.start();
            other.write("HOOD\r\n");
            QVERIFY(readLine(other).startsWith("HOOD"));
            slowest = qMax(slowest, asked.elapsed());
        }
        const qint64 grown = residentBytes() - start;
        flood.stop();
        QVERIFY(served > 1000);
        QVERIFY2(slowest < 250 + slack,
                 qPrintable(QStringLiteral("another client waited %1 ms, slack %2 ms")
                                .arg(slowest)
                                .arg(slack)));
        QVERIFY2(grown < 32 * 1024 * 1024,
                 qPrintable(QStringLiteral("grew by %1 MB").arg(grown >> 20)));
    }
#endif
};

QTEST_GUILESS_MAIN(TestHandover)
#include "tst_handover.moc"
