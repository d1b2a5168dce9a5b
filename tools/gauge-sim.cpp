// A stand-in for the Kromaglen gauge: opens a pseudo-terminal that the program
// can use as its serial port, and sends the gauge's frames on command. The
// first line it prints names the port; each command is confirmed by a line.
#include "GaugeSimCommand.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kWriteTimeoutMs = 5000;

const char kUsage[] =
    "usage: kfz-gauge-sim [--link PATH] [--registry FILE] [COMMAND ...]\n"
    "\n"
    "Opens a pseudo-terminal that KromaglenForZov can use as the gauge's serial\n"
    "port and prints its name first (\"gauge port: ...\"). Then runs the COMMANDs\n"
    "given as arguments (one argument each, e.g. \"fe 123\"), then those read line\n"
    "by line from standard input, confirming each with a line.\n"
    "\n"
    "  --link PATH       also make PATH a symbolic link to the port (an existing\n"
    "                    link there is replaced, any other file is left alone)\n"
    "  --registry FILE   write a registry file that lists the port under\n"
    "                    HARDWARE\\DEVICEMAP\\SERIALCOMM (for KROMAGLEN_REGISTRY)\n"
    "  -h, --help        this text\n"
    "\n"
    "Commands:\n"
    "  fe N | al N       a reading of N micrometres (0-65535) on steel / aluminium\n"
    "  key               the gauge's key\n"
    "  raw HH HH ...     bytes in hexadecimal\n"
    "  noise N           N bytes that are no frame\n"
    "  split fe|al N     a reading sent in three parts, 50 ms apart\n"
    "  session N         a whole vehicle: 3 readings on each of N points, a key after each\n"
    "  wait MS           pause\n"
    "  settings          print the line settings the program gave the port\n"
    "                    (\"settings: 9600 8N1 rtscts\")\n"
    "  quit              close the port and end (also at the end of the input)\n"
    "Lines starting with # are ignored.\n"
    "\n"
    "Exit status: 0 when every command was carried out, 1 when one was not (an\n"
    "unknown command, or the port took not all bytes within 5 s: nobody reading\n"
    "it), 2 for a wrong command line.\n";

int g_master = -1;
int g_slave = -1; // held open so that the line keeps its settings between opens

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void complain(const QString &line)
{
    std::fprintf(stderr, "kfz-gauge-sim: %s\n", qPrintable(line));
    std::fflush(stderr);
}

// Writes all bytes within kWriteTimeoutMs: a port that nobody reads fills up,
// and the simulator must not hang on it.
bool send(const QByteArray &bytes)
{
    QDeadlineTimer deadline(kWriteTimeoutMs);
    qsizetype done = 0;
    while (done < bytes.size()) {
        pollfd p{g_master, POLLOUT, 0};
        const int ready = ::poll(&p, 1, int(deadline.remainingTime()));
        if (ready == 0) {
            complain(
                QStringLiteral("the port took only %1 of %2 bytes in %3 s: is nobody reading it?")
                    .arg(done)
                    .arg(bytes.size())
                    .arg(kWriteTimeoutMs / 1000));
            return false;
        }
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            complain(QStringLiteral("poll: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
            return false;
        }
        const ssize_t n = ::write(g_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            complain(QStringLiteral("write: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
            return false;
        }
        done += n;
    }
    return true;
}

QString lineSettings()
{
    termios tio{};
    if (g_slave < 0 || tcgetattr(g_slave, &tio) != 0)
        return {};
    int bits = 8;
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        bits = 5;
        break;
    case CS6:
        bits = 6;
        break;
    case CS7:
        bits = 7;
        break;
    default:
        break;
    }
    const char parity = !(tio.c_cflag & PARENB) ? 'N' : (tio.c_cflag & PARODD) ? 'O' : 'E';
    return QStringLiteral("settings: %1 %2%3%4 %5%6")
        .arg(cfgetospeed(&tio) == B9600 ? QStringLiteral("9600") : QStringLiteral("other-speed"))
        .arg(bits)
        .arg(QLatin1Char(parity))
        .arg((tio.c_cflag & CSTOPB) ? 2 : 1)
        .arg((tio.c_cflag & CRTSCTS) ? QStringLiteral("rtscts") : QStringLiteral("no-rtscts"))
        .arg((tio.c_iflag & (IXON | IXOFF)) ? QStringLiteral(" xonxoff") : QString());
}

QByteArray noise(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += char('a' + QRandomGenerator::global()->bounded(26));
    return bytes;
}

bool sendFrame(const QByteArray &frame, const QString &what)
{
    if (!send(frame))
        return false;
    say(QStringLiteral("sent %1: %2").arg(what, QString::fromLatin1(frame.toHex(' '))));
    return true;
}

bool carryOut(const GaugeSimCommand &c)
{
    using Kind = GaugeSimCommand::Kind;
    switch (c.kind) {
    case Kind::Nothing:
        return true;
    case Kind::Reading:
        return sendFrame(
            GaugeSimCommand::readingFrame(c.substrate, c.number),
            QStringLiteral("%1 %2").arg(QString::fromLatin1(c.substrate).toLower()).arg(c.number));
    case Kind::Key:
        return sendFrame(GaugeSimCommand::keyFrame(), QStringLiteral("key"));
    case Kind::Raw:
        return sendFrame(c.bytes, QStringLiteral("raw"));
    case Kind::Noise:
        if (!send(noise(c.number)))
            return false;
        say(QStringLiteral("sent noise: %1 bytes").arg(c.number));
        return true;
    case Kind::Split: {
        const QByteArray frame = GaugeSimCommand::readingFrame(c.substrate, c.number);
        const QByteArrayList parts{frame.left(2), frame.mid(2, 2), frame.mid(4)};
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i > 0)
                QThread::msleep(50);
            if (!send(parts.at(i)))
                return false;
        }
        say(QStringLiteral("sent split %1 %2: %3")
                .arg(QString::fromLatin1(c.substrate).toLower())
                .arg(c.number)
                .arg(QString::fromLatin1(frame.toHex(' '))));
        return true;
    }
    case Kind::Session:
        for (int point = 1; point <= c.number; ++point) {
            for (int r = 0; r < 3; ++r) {
                if (!send(GaugeSimCommand::readingFrame(
                        "FE", 80 + QRandomGenerator::global()->bounded(120))))
                    return false;
                QThread::msleep(600);
            }
            if (!send(GaugeSimCommand::keyFrame()))
                return false;
            say(QStringLiteral("session: point %1 of %2 sent (3 readings, key)")
                    .arg(point)
                    .arg(c.number));
            QThread::msleep(1200);
        }
        return true;
    case Kind::Wait:
        QThread::msleep(ulong(c.number));
        say(QStringLiteral("waited %1 ms").arg(c.number));
        return true;
    case Kind::Settings: {
        const QString settings = lineSettings();
        if (settings.isEmpty()) {
            complain(QStringLiteral("the port's settings cannot be read"));
            return false;
        }
        say(settings);
        return true;
    }
    case Kind::Quit:
        say(QStringLiteral("quit"));
        return true;
    }
    return true;
}

// Replaces a symbolic link at path (never another file) by one to target.
bool makeLink(const QString &path, const QByteArray &target)
{
    const QFileInfo existing(path);
    if (existing.isSymLink()) {
        QFile::remove(path);
    } else if (existing.exists()) {
        complain(QStringLiteral("%1 exists and is no symbolic link: not replaced").arg(path));
        return false;
    }
    if (::symlink(target.constData(), QFile::encodeName(path).constData()) != 0) {
        complain(QStringLiteral("cannot link %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    return true;
}

bool writeRegistry(const QString &file, const QString &registryLine)
{
    QFile f(file);
    const bool ok = f.open(QIODevice::WriteOnly) &&
                    f.write("Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n") > 0 &&
                    f.write(registryLine.toUtf8() + "\r\n") > 0 && f.flush();
    if (!ok)
        complain(QStringLiteral("cannot write %1: %2").arg(file, f.errorString()));
    return ok;
}

struct Options
{
    QString link;
    QString registryFile;
    QList<GaugeSimCommand> commands;
};

// The command line, checked whole before anything is opened. Returns the exit
// status when the program should end at once.
std::optional<int> parseArguments(int argc, char *argv[], Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == u"-h" || a == u"--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == u"--link" || a == u"--registry") {
            if (i + 1 >= argc) {
                complain(QStringLiteral("%1 needs a path (see --help)").arg(a));
                return 2;
            }
            (a == u"--link" ? options.link : options.registryFile) =
                QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (a.startsWith(u"--")) {
            complain(QStringLiteral("unknown option %1 (see --help)").arg(a));
            return 2;
        }
        QString error;
        const GaugeSimCommand c = GaugeSimCommand::parse(a, &error);
        if (!error.isEmpty()) {
            complain(QStringLiteral("%1 (see --help)").arg(error));
            return 2;
        }
        options.commands.append(c);
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    Options options;
    if (const auto status = parseArguments(argc, argv, options))
        return *status;

    g_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (g_master < 0 || grantpt(g_master) != 0 || unlockpt(g_master) != 0) {
        complain(QStringLiteral("no pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return 1;
    }
    const QByteArray device = ptsname(g_master);
    // Raw mode: every byte reaches the program unchanged.
    g_slave = ::open(device.constData(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (g_slave >= 0 && tcgetattr(g_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(g_slave, TCSANOW, &tio);
    }
    QString portPath = QString::fromLocal8Bit(device);
    if (!options.link.isEmpty()) {
        if (!makeLink(options.link, device))
            return 1;
        portPath = options.link;
    }
    const QString registryLine =
        QStringLiteral("\"\\\\Device\\\\KromaglenSim\"=\"%1\"").arg(portPath);
    if (!options.registryFile.isEmpty() && !writeRegistry(options.registryFile, registryLine))
        return 1;
    say(QStringLiteral("gauge port: %1").arg(portPath));
    say(QStringLiteral(
        "registry line under [HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]:"));
    say(registryLine);

    bool allDone = true;
    bool quit = false;
    for (const GaugeSimCommand &c : options.commands) {
        allDone = carryOut(c) && allDone;
        if ((quit = c.kind == GaugeSimCommand::Kind::Quit))
            break;
    }
    if (!quit) {
        QTextStream in(stdin);
        QString line;
        while (in.readLineInto(&line)) {
            QString error;
            const GaugeSimCommand c = GaugeSimCommand::parse(line, &error);
            if (!error.isEmpty()) {
                complain(error);
                allDone = false;
                continue;
            }
            allDone = carryOut(c) && allDone;
            if (c.kind == GaugeSimCommand::Kind::Quit)
                break;
        }
    }
    // The link goes only while it still leads to this port.
    if (!options.link.isEmpty() &&
        QFileInfo(options.link).symLinkTarget() == QString::fromLocal8Bit(device))
        QFile::remove(options.link);
    if (g_slave >= 0)
        ::close(g_slave);
    ::close(g_master);
    return allDone ? 0 : 1;
}
