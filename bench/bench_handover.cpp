// Point-request round trips on loopback, against a minimal echo server built
// in the same program: the handover server alone, then the real window on
// its last page (run it under X: xvfb-run -a), then both again with 1,000
// idle connections held open.
#include "BenchStats.h"
#include "FakeStation.h"
#include "HandoverProtocol.h"
#include "HandoverServer.h"
#include "KromaglenForZov_MD.h"
#include "WizardWindows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

constexpr int kRequests = 10000;
constexpr int kIdle = 1000;
const QByteArray kEcho = "HOOD\r\n";
const QByteArray kHood = "HOOD:123:98\r\n";

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
std::vector<double> roundTrips(quint16 port, const QByteArray &reply, int idleConnections,
                               int *errors)
{
    std::vector<double> us;
    QThread *thread = QThread::create([&, reply] {
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
            QByteArray answer;
            while (!answer.endsWith("\r\n")) {
                if (!client.waitForReadyRead(5000)) {
                    ++*errors;
                    return;
                }
                answer += client.readAll();
            }
            us.push_back(double(clock.nsecsElapsed()) / 1000.0);
            if (answer != reply)
                ++*errors;
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

// Clicks a button of the window, answers Yes to the question it asks, and
// waits until the wizard has reached `page`.
void clickAnsweringYes(const WizardWindows &wizard, const char *button, WizardPage page)
{
    QTimer yes;
    QObject::connect(&yes, &QTimer::timeout, [&wizard] {
        if (wizard.question->isVisible())
            wizard.question->findChild<QPushButton *>(QStringLiteral("BB_Yes"))->click();
    });
    yes.start(5);
    wizard.main->findChild<QPushButton *>(QLatin1String(button))->click();
    while (wizard.main->activePage() != page)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The wizard on its last page, with two readings on HOOD.
void toTheLastPage(const WizardWindows &wizard, FakeGaugePort &gauge)
{
    QTimer::singleShot(50, [&gauge] { gauge.feed(",ME"); });
    clickAnsweringYes(wizard, "BB_ConfigNext", WizardPage::Meas);
    for (int i = 0; i < 10; ++i) // LEFT_FRONT_WING .. HOOD
        gauge.feed(",ME");
    gauge.feed(QByteArray(",FE\x7B\x00,AL\x62\x00", 10));
    clickAnsweringYes(wizard, "BB_MeasNext", WizardPage::Send);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    raiseFileLimit();
    ReadingLog readings;
    readings.append(10, {Substrate::FE, 123});
    readings.append(10, {Substrate::AL, 98});
    HandoverServer server(0);
    server.setHandlers([](const QString &) {},
                       [&readings](const QString &line) -> std::optional<QString> {
                           return HandoverProtocol::answer(line, WizardPage::Send, readings).reply;
                       },
                       [](const QString &) {});
    server.start();
    EchoServer echo;

    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    FakeStation station;
    const WizardWindows wizard = showWizard(station.services(folder.path()));
    toTheLastPage(wizard, station.port);
    const quint16 windowPort = wizard.main->server().serverPort();
    if (wizard.main->activePage() != WizardPage::Send)
        return 2;

    int errors = 0;
    printPercentiles("echo baseline round trip", roundTrips(echo.port(), kEcho, 0, &errors));
    printPercentiles("handover HOOD round trip",
                     roundTrips(server.serverPort(), kHood, 0, &errors));
    printPercentiles("the window, HOOD round trip", roundTrips(windowPort, kHood, 0, &errors));
    printPercentiles("echo, 1000 idle connections", roundTrips(echo.port(), kEcho, kIdle, &errors));
    printPercentiles("handover, 1000 idle connections",
                     roundTrips(server.serverPort(), kHood, kIdle, &errors));
    printPercentiles("the window, 1000 idle connections",
                     roundTrips(windowPort, kHood, kIdle, &errors));
    std::printf("errors: %d\n", errors);
    return errors == 0 ? 0 : 1;
}
