// A stand-in for the Kromaglen gauge: opens a pseudo-terminal that the program
// can use as its serial port, and sends the gauge's frames on command.
//
//   kfz-gauge-sim [--link PATH] [--registry FILE] [COMMAND ...]
//
// Commands (given as arguments, then read line by line from standard input):
//   fe N | al N      a reading of N micrometres on steel / aluminium
//   key              the gauge's key (",ME")
//   raw HH HH ...    raw bytes in hexadecimal
//   noise N          N bytes that are no frame
//   split fe|al N    a reading sent in three parts, 50 ms apart
//   session N        a whole vehicle: 3 readings on each of N points, a key after each
//   wait MS          pause
//   settings         print the line settings the program gave the port
//                    ("settings: 9600 8N1 rtscts")
//   quit             close the link and end (also at the end of input)
#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

int g_master = -1;
int g_slave = -1; // held open so that the line keeps its settings between opens

void send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(g_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::perror("write");
            return;
        }
        done += n;
    }
}

QByteArray reading(const QString &substrate, int value)
{
    QByteArray frame = "," + substrate.toUpper().toLatin1();
    frame += char(value & 0xFF);
    frame += char((value >> 8) & 0xFF);
    return frame;
}

bool run(const QString &line)
{
    const QStringList w = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (w.isEmpty() || w.first().startsWith(u'#'))
        return true;
    const QString cmd = w.first().toLower();
    const auto number = [&w](int i, int fallback = 0) {
        return i < w.size() ? w.at(i).toInt() : fallback;
    };
    if ((cmd == u"fe" || cmd == u"al") && w.size() == 2) {
        send(reading(cmd, number(1)));
    } else if (cmd == u"key") {
        send(",ME");
    } else if (cmd == u"raw") {
        QByteArray bytes;
        for (int i = 1; i < w.size(); ++i)
            bytes += char(w.at(i).toUInt(nullptr, 16));
        send(bytes);
    } else if (cmd == u"noise") {
        QByteArray bytes;
        for (int i = 0; i < number(1, 8); ++i)
            bytes += char('a' + QRandomGenerator::global()->bounded(26));
        send(bytes);
    } else if (cmd == u"split" && w.size() == 3) {
        const QByteArray frame = reading(w.at(1), number(2));
        send(frame.left(2));
        QThread::msleep(50);
        send(frame.mid(2, 2));
        QThread::msleep(50);
        send(frame.mid(4));
    } else if (cmd == u"session") {
        for (int point = 0; point < number(1, 23); ++point) {
            for (int r = 0; r < 3; ++r) {
                send(reading(QStringLiteral("FE"), 80 + QRandomGenerator::global()->bounded(120)));
                QThread::msleep(600);
            }
            send(",ME");
            QThread::msleep(1200);
        }
    } else if (cmd == u"settings") {
        termios tio{};
        if (g_slave < 0 || tcgetattr(g_slave, &tio) != 0) {
            std::perror("tcgetattr");
            return true;
        }
        const auto bits = [&tio] {
            switch (tio.c_cflag & CSIZE) {
            case CS5:
                return 5;
            case CS6:
                return 6;
            case CS7:
                return 7;
            default:
                return 8;
            }
        };
        const speed_t speed = cfgetospeed(&tio);
        std::printf("settings: %s %d%c%d %s%s\n", speed == B9600 ? "9600" : "other-speed", bits(),
                    !(tio.c_cflag & PARENB)  ? 'N'
                    : (tio.c_cflag & PARODD) ? 'O'
                                             : 'E',
                    (tio.c_cflag & CSTOPB) ? 2 : 1,
                    (tio.c_cflag & CRTSCTS) ? "rtscts" : "no-rtscts",
                    (tio.c_iflag & (IXON | IXOFF)) ? " xonxoff" : "");
        std::fflush(stdout);
    } else if (cmd == u"wait") {
        QThread::msleep(ulong(number(1)));
    } else if (cmd == u"quit") {
        return false;
    } else {
        std::fprintf(stderr, "unknown command: %s\n", qPrintable(line));
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QString link;
    QString registryFile;
    QStringList commands;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == u"--link" && i + 1 < argc)
            link = QString::fromLocal8Bit(argv[++i]);
        else if (a == u"--registry" && i + 1 < argc)
            registryFile = QString::fromLocal8Bit(argv[++i]);
        else
            commands.append(a);
    }

    g_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (g_master < 0 || grantpt(g_master) != 0 || unlockpt(g_master) != 0) {
        std::perror("posix_openpt");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(ptsname(g_master));
    // Raw mode: every byte reaches the program unchanged.
    g_slave = ::open(ptsname(g_master), O_RDWR | O_NOCTTY);
    termios tio{};
    if (g_slave >= 0 && tcgetattr(g_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(g_slave, TCSANOW, &tio);
    }
    QString portPath = device;
    if (!link.isEmpty()) {
        QFile::remove(link);
        if (::symlink(ptsname(g_master), QFile::encodeName(link).constData()) == 0)
            portPath = link;
    }
    const QString registryLine =
        QStringLiteral("\"\\\\Device\\\\KromaglenSim\"=\"%1\"").arg(portPath);
    if (!registryFile.isEmpty()) {
        QFile f(registryFile);
        if (f.open(QIODevice::WriteOnly)) {
            f.write("Windows Registry Editor Version 5.00\r\n\r\n"
                    "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n");
            f.write(registryLine.toUtf8() + "\r\n");
        }
    }
    std::printf("gauge port: %s\n", qPrintable(portPath));
    std::printf("registry line under [HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]:\n%s\n",
                qPrintable(registryLine));
    std::fflush(stdout);

    bool go = true;
    for (const QString &c : commands) {
        if (!(go = run(c)))
            break;
    }
    if (go) {
        QTextStream in(stdin);
        QString line;
        while (in.readLineInto(&line) && run(line)) {
        }
    }
    if (!link.isEmpty())
        QFile::remove(link);
    if (g_slave >= 0)
        ::close(g_slave);
    ::close(g_master);
    return 0;
}
