#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <optional>

#include "LineFramer.h"

class QTcpSocket;

// A reply line (without CR LF), and what to do once it has been written to
// the connection (handed to the system, not merely queued in the program).
struct HandoverReply
{
    HandoverReply(QString line, std::function<void()> onWritten = {})
        : line(std::move(line)), onWritten(std::move(onWritten))
    {
    }
    QString line;
    std::function<void()> onWritten;
};

// The TCP server the inspection program asks for readings. Sockets are served
// event-driven on the window thread: an idle or slow client never blocks it,
// and every request is handled in turn with the window's state. Lines are
// code page 1250, ended by CR LF.
//
// Every line that arrived before a peer ends its stream is answered: lines
// are taken from the socket one at a time, and Qt is held back from reading
// on while lines wait or replies are unwritten, so it meets the end of the
// stream only after the replies before it (reading the end of a half-closed
// stream, Qt closes the whole connection).
//
// No peer can take the program over: connections are served in turns of a
// few lines each; a connection whose replies pile up unsent is not read until
// they drain, and what is read waits in a bounded buffer (the peer's own
// sends then block); the number of connections is bounded, and accepting
// stops short of the descriptor limit and backs off when accepting fails.
class HandoverServer : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 4747;

    // How far peers may go: connections at once; reply bytes of a connection
    // not yet written before its requests wait; bytes read ahead of the
    // lines served; lines served in one turn. Tests show a flood against
    // smaller ones.
    struct Limits
    {
        int maxConnections = 4096;
        qint64 maxUnsentBytes = 1024 * 1024;
        qint64 readBufferBytes = 64 * 1024;
        int linesPerTurn = 64;
    };

    // Serves one request line; the reply or nothing.
    using Execute = std::function<std::optional<HandoverReply>(const QString &line)>;
    // A connection was accepted or ended; the peer's IPv4 address.
    using PeerEvent = std::function<void(const QString &peer)>;

    explicit HandoverServer(quint16 port = kDefaultPort, QObject *parent = nullptr);
    ~HandoverServer() override;

    void setHandlers(PeerEvent onConnect, Execute onExecute, PeerEvent onDisconnect);
    // For connections accepted from now on. The read-ahead holds at least a
    // whole line, or a long line would never be served.
    void setLimits(const Limits &limits)
    {
        m_limits = limits;
        m_limits.readBufferBytes =
            qMax<qint64>(limits.readBufferBytes, LineFramer::kMaxLineLength + 2);
    }
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
    QString listenErrorText() const;
    struct Connection
    {
        LineFramer framer;
        QString peer;
        bool waitingForTurn = false;
        qint64 queuedBytes = 0; // every byte ever handed to the socket
        // Replies not yet written: where each ends in the stream, and its action.
        QList<std::pair<qint64, std::function<void()>>> unwritten;
    };

    void onNewConnection();
    // Queues the connection for a turn; turns are taken in arrival order.
    void wantTurn(QTcpSocket *socket);
    void takeTurns();
    // Serves up to maxLines lines; true when it stopped at that count (more
    // may wait), false when it waits for bytes, for replies to drain, or the
    // connection is gone. A peer that has closed is served to the end.
    bool serveTurn(QTcpSocket *socket, int maxLines, bool peerGone);
    // Moves the next whole line (or an over-long one) from the socket to the
    // framer; false when there is none yet, or it must wait.
    bool takeLine(QTcpSocket *socket, Connection &connection, bool peerGone);
    // Lets Qt read on, or holds it back while lines or replies wait.
    void holdReading(QTcpSocket *socket, bool linesWait);
    // The peer's stream has ended: serves what is left and ends the connection.
    void onDisconnected(QTcpSocket *socket);
    void serve(QTcpSocket *socket, const QString &line);
    // Runs the actions of the replies the socket has written by now.
    void reportWritten(QTcpSocket *socket);
    void drop(QTcpSocket *socket);
    // Stops accepting while the next connection could not be had; a
    // connection that ends lets accepting go on.
    void limitAccepting(const QTcpSocket *accepted);
    void onAcceptError();

    QTcpServer m_server;
    quint16 m_port;
    Limits m_limits;
    QHash<QTcpSocket *, Connection> m_connections;
    QQueue<QPointer<QTcpSocket>> m_turns;
    bool m_turnsScheduled = false;
    bool m_acceptingHeld = false;
    QTimer m_acceptBackoff;
    PeerEvent m_onConnect;
    Execute m_onExecute;
    PeerEvent m_onDisconnect;
    std::function<void()> m_onError;
};
