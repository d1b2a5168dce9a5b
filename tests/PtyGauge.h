#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

#ifdef Q_OS_WIN
#include <mutex>
#include <winsock2.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

// The far end of a pseudo-terminal, standing in for the gauge. With a link
// path the device is reached through that symbolic link, so that a new gauge
// can take the old one's name (the repair reopens the same name).
//
// Under Wine the suite cannot make a pseudo-terminal: scripts/test-windows
// maps one link to a COM port (KFZ_TEST_COM) and runs tests/helpers/
// pty-gauge-server, which makes a new terminal behind that link for each
// gauge (KFZ_TEST_GAUGE: its port on 127.0.0.1); a link path is not used there.
class PtyGauge
{
public:
#ifdef Q_OS_WIN
    explicit PtyGauge(const QString & = QString()) : m_name(qEnvironmentVariable("KFZ_TEST_COM"))
    {
        const quint16 port = qEnvironmentVariable("KFZ_TEST_GAUGE").toUShort();
        WSADATA wsa;
        if (m_name.isEmpty() || port == 0 || WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
            return;
        m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        const DWORD timeoutMs = 10000; // a server that stops answering fails the case
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeoutMs),
                     sizeof timeoutMs);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port);
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_socket, reinterpret_cast<const sockaddr *>(&at), sizeof at) == 0)
            m_ready = answer().startsWith("ok ");
    }
    ~PtyGauge()
    {
        if (m_socket != INVALID_SOCKET)
            ::closesocket(m_socket); // the server hangs up with it
        WSACleanup();
    }

    bool ready() const
    {
        return m_ready;
    }
    QString portName() const
    {
        return m_name;
    }
    const QString &device() const
    {
        return m_name;
    }
    // May be called from another thread than the test's.
    bool send(const QByteArray &bytes) const
    {
        return command("send " + bytes.toHex());
    }
    void hangUp()
    {
        command("hangup");
    }

private:
    bool command(const QByteArray &line) const
    {
        const std::lock_guard lock(m_mutex);
        const QByteArray out = line + '\n';
        return m_ready && ::send(m_socket, out.constData(), int(out.size()), 0) == out.size() &&
               answer() == "ok";
    }
    QByteArray answer() const
    {
        QByteArray line;
        char c = 0;
        while (::recv(m_socket, &c, 1, 0) == 1 && c != '\n')
            line += c;
        return line;
    }

    QString m_name;
    SOCKET m_socket = INVALID_SOCKET;
    bool m_ready = false;
    mutable std::mutex m_mutex;
#else
    explicit PtyGauge(const QString &link = QString()) : m_link(link)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        m_device = QString::fromLocal8Bit(ptsname(m_master));
        if (!m_link.isEmpty()) {
            QFile::remove(m_link);
            QFile::link(m_device, m_link);
        }
    }
    ~PtyGauge()
    {
        hangUp();
    }

    bool ready() const
    {
        return !m_device.isEmpty();
    }
    // The name the program opens.
    QString portName() const
    {
        return m_link.isEmpty() ? m_device : m_link;
    }
    const QString &device() const
    {
        return m_device;
    }
    bool send(const QByteArray &bytes) const
    {
        return ::write(m_master, bytes.data(), size_t(bytes.size())) == bytes.size();
    }
    void hangUp()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_device;
    QString m_link;
#endif

public:
    PtyGauge(const PtyGauge &) = delete;
    PtyGauge &operator=(const PtyGauge &) = delete;
};

// A case that needs a gauge line skips without one (in CI that fails it).
#define REQUIRE_GAUGE(gauge)                                                                       \
    if (!(gauge).ready())                                                                          \
    QSKIP("no gauge line here (the Windows suites get one from scripts/test-windows)")
