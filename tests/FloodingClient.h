#pragma once

// A client that floods the handover server (Unix): a plain blocking socket,
// outside Qt's buffering, sending one request line over and over from a
// thread of its own, its replies read and dropped on another or never read,
// until stopped. The server may run on the caller's thread meanwhile.
#include <QByteArray>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A plain blocking socket to the server on 127.0.0.1; -1 when refused.
// receiveBuffer: the system's buffer for what the peer sends (0: its own
// choice); a small one fills with less.
inline int rawConnection(quint16 port, int receiveBuffer = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class FloodingClient
{
public:
    enum class Replies { Read, Unread };

    // `line` without its CR LF.
    FloodingClient(quint16 port, const QByteArray &line, Replies replies)
        : m_fd(rawConnection(port))
    {
        if (m_fd < 0)
            return;
        // About 64 KiB a send.
        const QByteArray requests =
            QByteArray(line).append("\r\n").repeated(qMax(1, 65536 / int(line.size() + 2)));
        const long perSend = long(requests.size() / (line.size() + 2));
        m_sender = std::thread([this, requests, perSend] {
            while (!m_stop) {
                if (::send(m_fd, requests.constData(), size_t(requests.size()), MSG_NOSIGNAL) <= 0)
                    return;
                m_sent += perSend;
            }
        });
        if (replies == Replies::Read) {
            m_reader = std::thread([this] {
                char buffer[65536];
                while (::recv(m_fd, buffer, sizeof buffer, 0) > 0) {
                }
            });
        }
    }
    ~FloodingClient() { stop(); }
    FloodingClient(const FloodingClient &) = delete;
    FloodingClient &operator=(const FloodingClient &) = delete;

    bool connected() const { return m_fd >= 0; }
    // Request lines sent so far.
    long sent() const { return m_sent; }
    // Ends the flood and the connection.
    void stop()
    {
        if (m_fd < 0)
            return;
        m_stop = true;
        ::shutdown(m_fd, SHUT_RDWR);
        if (m_sender.joinable())
            m_sender.join();
        if (m_reader.joinable())
            m_reader.join();
        ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
    std::atomic<bool> m_stop = false;
    std::atomic<long> m_sent = 0;
    std::thread m_sender;
    std::thread m_reader;
};

} // namespace
