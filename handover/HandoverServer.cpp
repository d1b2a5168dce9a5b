#include "HandoverServer.h"

#include "Cp1250.h"
#include "Failure.h"

#include <QTcpSocket>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

constexpr int kAcceptBackoffMs = 250;
// Descriptors kept free for the rest of the program (files, sound, the gauge).
constexpr int kSpareDescriptors = 32;

// Whether a connection just accepted took one of the last descriptors the
// program may have: they are handed out lowest first, so its number says how
// many are in use.
bool nearDescriptorLimit(qintptr descriptor)
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (descriptor < 0 || getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return false;
    return rlim_t(descriptor) + kSpareDescriptors >= limit.rlim_cur;
#else
    Q_UNUSED(descriptor);
    return false;
#endif
}

QString peerAddress(const QTcpSocket *socket)
{
    const QHostAddress address = socket->peerAddress();
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

} // namespace

HandoverServer::HandoverServer(quint16 port, QObject *parent) : QObject(parent), m_port(port)
{
    // A connection left pending makes Qt stop accepting while this holds back.
    m_server.setMaxPendingConnections(1);
    connect(&m_server, &QTcpServer::newConnection, this, &HandoverServer::onNewConnection);
    connect(&m_server, &QTcpServer::acceptError, this, &HandoverServer::onAcceptError);
    m_acceptBackoff.setSingleShot(true);
    m_acceptBackoff.setInterval(kAcceptBackoffMs);
    connect(&m_acceptBackoff, &QTimer::timeout, this, [this] {
        if (m_server.isListening() && !m_acceptingHeld)
            m_server.resumeAccepting();
    });
}

HandoverServer::~HandoverServer()
{
    // Quietly: the window that listens to these events may be gone already.
    m_onDisconnect = nullptr;
    m_onError = nullptr;
    stop();
}

void HandoverServer::setHandlers(PeerEvent onConnect, Execute onExecute, PeerEvent onDisconnect)
{
    m_onConnect = std::move(onConnect);
    m_onExecute = std::move(onExecute);
    m_onDisconnect = std::move(onDisconnect);
}

void HandoverServer::start()
{
    if (m_server.isListening())
        return;
    m_acceptingHeld = false;
    if (!m_server.listen(QHostAddress::AnyIPv4, m_port))
        throw Failure(QStringLiteral("ESocketError"), listenErrorText());
}

// The user reads this in the message: in Hungarian, naming the port, with
// the socket layer's own text only where there is nothing plainer to say.
QString HandoverServer::listenErrorText() const
{
    switch (m_server.serverError()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("A(z) %1 port foglalt: egy másik program (vagy a KromaglenForZov "
                              "egy másik példánya) használja.")
            .arg(m_port);
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("Nincs jog a(z) %1 port használatához.").arg(m_port);
    case QAbstractSocket::SocketResourceError:
        return QStringLiteral("Nincs elég rendszererőforrás a hálózati kapcsolathoz.");
    case QAbstractSocket::UnsupportedSocketOperationError:
        return QStringLiteral("A számítógépen nincs IPv4 hálózat.");
    default:
        return QStringLiteral("A(z) %1 port megnyitása nem sikerült (%2).")
            .arg(m_port)
            .arg(m_server.errorString());
    }
}

void HandoverServer::stop()
{
    m_acceptBackoff.stop();
    m_server.close();
    const auto sockets = m_connections.keys();
    for (QTcpSocket *socket : sockets) {
        if (m_onError)
            m_onError();
        drop(socket);
    }
}

void HandoverServer::onNewConnection()
{
    while (!m_acceptingHeld) {
        QTcpSocket *socket = m_server.nextPendingConnection();
        if (!socket)
            return;
        // What is read waits in the socket's bounded buffer; beyond it the
        // peer's sends wait in its own system.
        socket->setReadBufferSize(m_limits.readBufferBytes);
        Connection connection;
        connection.peer = peerAddress(socket);
        m_connections.insert(socket, std::move(connection));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { wantTurn(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            reportWritten(socket);
            if (socket->bytesToWrite() <= m_limits.maxUnsentBytes / 2)
                wantTurn(socket);
        });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { onDisconnected(socket); });
        if (m_onConnect)
            m_onConnect(m_connections.value(socket).peer);
        // Bytes may have come with the connection itself.
        if (socket->bytesAvailable() > 0)
            wantTurn(socket);
        limitAccepting(socket);
    }
}

void HandoverServer::limitAccepting(const QTcpSocket *accepted)
{
    if (m_connections.size() < m_limits.maxConnections &&
        !nearDescriptorLimit(accepted->socketDescriptor()))
        return;
    m_acceptingHeld = true;
    m_server.pauseAccepting();
}

void HandoverServer::onAcceptError()
{
    // Qt has stopped accepting; try again in a while, not at once.
    m_acceptBackoff.start();
}

void HandoverServer::wantTurn(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->waitingForTurn)
        return;
    it->waitingForTurn = true;
    m_turns.enqueue(socket);
    if (!m_turnsScheduled) {
        m_turnsScheduled = true;
        QMetaObject::invokeMethod(this, &HandoverServer::takeTurns, Qt::QueuedConnection);
    }
}

void HandoverServer::takeTurns()
{
    m_turnsScheduled = false;
    // One turn for each connection waiting now; one with more to do queues
    // again behind the others, and the window's events run in between.
    for (qsizetype waiting = m_turns.size(); waiting > 0 && !m_turns.isEmpty(); --waiting) {
        QTcpSocket *socket = m_turns.dequeue();
        auto it = m_connections.find(socket);
        if (!socket || it == m_connections.end())
            continue;
        it->waitingForTurn = false;
        if (serveTurn(socket, m_limits.linesPerTurn, false))
            wantTurn(socket);
    }
}

bool HandoverServer::serveTurn(QTcpSocket *socket, int maxLines, bool peerGone)
{
    for (int served = 0; served < maxLines;) {
        auto it = m_connections.find(socket);
        if (it == m_connections.end())
            return false;
        // Replies piling up unsent hold the connection back until they drain.
        if (!peerGone && socket->bytesToWrite() > m_limits.maxUnsentBytes) {
            holdReading(socket, true);
            return false;
        }
        if (const std::optional<QByteArray> line = it->framer.next()) {
            serve(socket, Cp1250::decode(*line));
            ++served;
            continue;
        }
        if (it->framer.overflowed()) {
            drop(socket);
            return false;
        }
        if (!takeLine(socket, *it, peerGone)) {
            holdReading(socket, false);
            return false;
        }
    }
    holdReading(socket, true);
    return true;
}

bool HandoverServer::takeLine(QTcpSocket *socket, Connection &connection, bool peerGone)
{
    const qint64 available = socket->bytesAvailable();
    // A short look first: most lines are short.
    for (qint64 look = qMin<qint64>(available, 256); look > 0;
         look = qMin<qint64>(available, LineFramer::kMaxLineLength + 2)) {
        const QByteArray head = socket->peek(look);
        const qsizetype end = head.indexOf("\r\n");
        if (end >= 0) {
            // The last line waiting is taken only once every reply before it
            // is written: the socket may then meet the end of the stream.
            if (!peerGone && end + 2 == available && socket->bytesToWrite() > 0)
                return false;
            connection.framer.append(socket->read(end + 2));
            return true;
        }
        const qsizetype length = head.size() - (head.endsWith('\r') ? 1 : 0);
        if (length > LineFramer::kMaxLineLength) { // too long: the framer refuses it
            connection.framer.append(head);
            return true;
        }
        if (look == available)
            break; // the rest of the line is still to come
    }
    return false;
}

void HandoverServer::holdReading(QTcpSocket *socket, bool linesWait)
{
    // Qt reads on only when nothing it has read waits to be served and
    // every reply is written: when it meets the end of a stream the peer has
    // half-closed, it closes the whole connection, and no reply gets out
    // after that. A read buffer as full as it is holds Qt back.
    const qint64 waiting = socket->bytesAvailable();
    const bool hold = waiting > 0 && (linesWait || socket->bytesToWrite() > 0);
    const qint64 size = hold ? waiting : m_limits.readBufferBytes;
    if (socket->readBufferSize() != size)
        socket->setReadBufferSize(size);
}

void HandoverServer::serve(QTcpSocket *socket, const QString &line)
{
    if (!m_onExecute)
        return;
    const std::optional<HandoverReply> reply = m_onExecute(line);
    auto it = m_connections.find(socket);
    if (!reply || it == m_connections.end() || socket->state() != QAbstractSocket::ConnectedState)
        return;
    const QByteArray bytes = Cp1250::encode(reply->line) + "\r\n";
    if (socket->write(bytes) != bytes.size())
        return; // the connection has failed; its next read ends it
    it->queuedBytes += bytes.size();
    if (reply->onWritten)
        it->unwritten.append({it->queuedBytes, reply->onWritten});
    socket->flush();
    reportWritten(socket);
}

void HandoverServer::reportWritten(QTcpSocket *socket)
{
    for (auto it = m_connections.find(socket);
         it != m_connections.end() && !it->unwritten.isEmpty(); it = m_connections.find(socket)) {
        if (it->unwritten.first().first > it->queuedBytes - socket->bytesToWrite())
            return;
        const std::function<void()> onWritten = it->unwritten.takeFirst().second;
        onWritten();
    }
}

void HandoverServer::onDisconnected(QTcpSocket *socket)
{
    // Serve what arrived before the close; a line cut short by it is served
    // as an empty request, whose reply then goes nowhere.
    if (!serveTurn(socket, INT_MAX, true) && !m_connections.contains(socket))
        return;
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    if (socket->isOpen()) // an aborted socket has nothing more to give
        it->framer.append(socket->readAll());
    if (!it->framer.takeRest().isEmpty())
        serve(socket, QString());
    drop(socket);
}

void HandoverServer::drop(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    const QString peer = it->peer;
    m_connections.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (m_onDisconnect)
        m_onDisconnect(peer);
    // A connection that ends frees what accepting was held back for.
    if (m_acceptingHeld && m_server.isListening()) {
        m_acceptingHeld = false;
        m_server.resumeAccepting();
        onNewConnection();
    }
}
