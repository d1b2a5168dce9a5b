// Point-request round trips on loopback: the handover server against a
// minimal echo server built in the same program, then again with 1,000 idle
// connections held open.
#include "BenchStats.h"
#include "HandoverProtocol.h"
#include "HandoverServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

constexpr int kRequests = 10000;
constexpr int kIdle = 1000;

// Echoes every received line back: the least a line server can do.
class EchoServer : public QObject
{
public:
    EchoServer()
    {
        m_server.listen(QHostAddress::AnyIPv4, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [s] {
                    while (s->canReadLine())
                        s->write(s->readLine());
                });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
};

// Runs the client on its own thread so that the server's thread only serves.
std::vector<double> roundTrips(quint16 port, int idleConnections, int *errors)
{
    std::vector<double> us;
    QThread *thread = QThread::create([&] {
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < idleConnections; ++i) {
            auto s = std::make_unique<QTcpSocket>();
            s->connectToHost(QHostAddress::LocalHost, port);
            if (!s->waitForConnected(5000))
                ++*errors;
            idle.push_back(std::move(s));
        }
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        if (!client.waitForConnected(5000)) {
            ++*errors;
            return;
        }
        QElapsedTimer clock;
        for (int i = 0; i < kRequests; ++i) {
            clock.start();
            client.write("HOOD\r\n");
            QByteArray reply;
            while (!reply.endsWith("\r\n")) {
                if (!client.waitForReadyRead(5000)) {
                    ++*errors;
                    return;
                }
                reply += client.readAll();
            }
            us.push_back(double(clock.nsecsElapsed()) / 1000.0);
        }
        for (auto &s : idle)
            s->abort();
    });
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    delete thread;
    return us;
}

void raiseFileLimit()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    raiseFileLimit();
    ReadingLog readings;
    readings.append(10, ReadingLog::readingLine("FE", "123"));
    readings.append(10, ReadingLog::readingLine("AL", "98"));
    HandoverServer server(0);
    server.setHandlers([](const QString &) {},
                       [&readings](const QString &line) -> std::optional<QString> {
                           return HandoverProtocol::answer(line, WizardPage::Send, readings).reply;
                       },
                       [](const QString &) {});
    server.start();
    EchoServer echo;

    int errors = 0;
    printPercentiles("echo baseline round trip", roundTrips(echo.port(), 0, &errors));
    printPercentiles("handover HOOD round trip", roundTrips(server.serverPort(), 0, &errors));
    printPercentiles("echo, 1000 idle connections", roundTrips(echo.port(), kIdle, &errors));
    printPercentiles("handover, 1000 idle connections",
                     roundTrips(server.serverPort(), kIdle, &errors));
    std::printf("errors: %d\n", errors);
    return errors == 0 ? 0 : 1;
}
