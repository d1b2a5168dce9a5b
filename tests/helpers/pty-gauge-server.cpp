// Gives the Windows test suites under Wine the gauge's end of a serial line,
// which a Windows program cannot make itself. Each TCP connection from the
// suite gets a new pseudo-terminal, reached through the link PATH that the
// Wine prefix maps to a COM port, so every new gauge takes the old one's
// name as a repaired Bluetooth link does. It writes what the connection
// sends and hangs the terminal up when told to or when the connection ends.
//
//   pty-gauge-server --link PATH
// prints "port N" (where it listens on 127.0.0.1) and serves until the
// process that started it ends. A connection is greeted with "ok DEVICE";
// then one command a line, each answered with "ok" or "error REASON":
//   send HEX    write these bytes to the line (within 5 s, or an error)
//   hangup      close the gauge's end
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kWriteTimeoutMs = 5000;

QByteArray systemError()
{
    return QByteArray(std::strerror(errno));
}

// One gauge: the far end of a pseudo-terminal in raw mode. The near end is
// held open too, so that the line keeps its settings while the program has
// the port closed (between the tries of a repair).
class Line
{
public:
    explicit Line(const QString &link)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
            m_error = "no pseudo-terminal: " + systemError();
            return;
        }
        m_device = ptsname(m_master);
        m_slave = ::open(m_device.constData(), O_RDWR | O_NOCTTY);
        termios tio{};
        if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0) {
            m_error = "cannot set up " + m_device + ": " + systemError();
            return;
        }
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
        // Replaced in one step: the program never finds the name missing.
        const QByteArray path = QFile::encodeName(link);
        const QByteArray fresh = path + ".new";
        ::unlink(fresh.constData());
        if (::symlink(m_device.constData(), fresh.constData()) != 0 ||
            ::rename(fresh.constData(), path.constData()) != 0)
            m_error = "cannot link " + path + ": " + systemError();
    }
    ~Line() { hangUp(); }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    const QByteArray &error() const { return m_error; }
    const QByteArray &device() const { return m_device; }

    QByteArray send(const QByteArray &bytes) const
    {
        if (m_master < 0)
            return "hung up";
        qsizetype done = 0;
        while (done < bytes.size()) {
            pollfd p{m_master, POLLOUT, 0};
            const int ready = ::poll(&p, 1, kWriteTimeoutMs);
            if (ready == 0)
                return "the line took " + QByteArray::number(done) + " of " +
                       QByteArray::number(bytes.size()) + " bytes in 5 s";
            const ssize_t n = ready < 0 ? -1
                                        : ::write(m_master, bytes.constData() + done,
                                                  size_t(bytes.size() - done));
            if (n < 0 && errno != EINTR && errno != EAGAIN)
                return systemError();
            done += std::max<ssize_t>(n, 0);
        }
        return {};
    }

    void hangUp()
    {
        for (int *fd : {&m_slave, &m_master}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QByteArray m_device;
    QByteArray m_error;
};

QByteArray run(Line &line, const QByteArray &command)
{
    if (command.startsWith("send ")) {
        const QByteArray hex = command.mid(5).trimmed();
        const QByteArray bytes = QByteArray::fromHex(hex);
        if (bytes.toHex() != hex.toLower())
            return "error not hexadecimal: " + hex;
        const QByteArray error = line.send(bytes);
        return error.isEmpty() ? QByteArray("ok") : QByteArray("error " + error);
    }
    if (command == "hangup") {
        line.hangUp();
        return "ok";
    }
    return "error unknown command: " + command;
}

void serve(QTcpSocket *socket, const QString &link)
{
    auto line = std::make_shared<Line>(link);
    if (!line->error().isEmpty()) {
        socket->write("error " + line->error() + '\n');
        socket->disconnectFromHost();
        return;
    }
    socket->write("ok " + line->device() + '\n');
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, line] {
        while (socket->canReadLine()) {
            const QByteArray command = socket->readLine().trimmed();
            socket->write(run(*line, command) + '\n');
        }
    });
    // The connection ends: so does the gauge.
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, line] {
        line->hangUp();
        socket->deleteLater();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || args.at(1) != QLatin1String("--link")) {
        std::fprintf(stderr, "usage: pty-gauge-server --link PATH\n");
        return 2;
    }
    const QString link = QFileInfo(args.at(2)).absoluteFilePath();
    // Nothing of a test run outlives it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);

    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "pty-gauge-server: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection())
            serve(socket, link);
    });
    std::printf("port %d\n", server.serverPort());
    std::fflush(stdout);
    return app.exec();
}
