#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <functional>
#include <optional>

#include "LineFramer.h"

class QTcpSocket;

// The TCP server the inspection program asks for readings. Sockets are served
// event-driven on the window thread: an idle or slow client never blocks it,
// and every request is handled in turn with the window's state. Lines are
// code page 1250, ended by CR LF.
class HandoverServer : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 4747;

    // Serves one request line; the reply line (without CR LF) or nothing.
    using Execute = std::function<std::optional<QString>(const QString &line)>;
    // A connection was accepted or ended; the peer's IPv4 address.
    using PeerEvent = std::function<void(const QString &peer)>;

    explicit HandoverServer(quint16 port = kDefaultPort, QObject *parent = nullptr);
    ~HandoverServer() override;

    void setHandlers(PeerEvent onConnect, Execute onExecute, PeerEvent onDisconnect);
    // A connection told to end by stop() before its next read.
    void setConnectionErrorHandler(std::function<void()> onError)
    {
        m_onError = std::move(onError);
    }

    // Listens on every IPv4 address; throws Failure on error.
    void start();
    // Stops listening and drops every connection at once.
    void stop();
    bool active() const { return m_server.isListening(); }
    quint16 serverPort() const { return m_server.serverPort(); }
    int connectionCount() const { return int(m_connections.size()); }

private:
    struct Connection
    {
        LineFramer framer;
        QString peer;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void onDisconnected(QTcpSocket *socket);
    void serve(QTcpSocket *socket, const QString &line);
    void drop(QTcpSocket *socket);

    QTcpServer m_server;
    quint16 m_port;
    QHash<QTcpSocket *, Connection> m_connections;
    PeerEvent m_onConnect;
    Execute m_onExecute;
    PeerEvent m_onDisconnect;
    std::function<void()> m_onError;
};
