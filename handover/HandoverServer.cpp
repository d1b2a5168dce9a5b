#include "HandoverServer.h"

#include "Cp1250.h"
#include "Failure.h"

#include <QTcpSocket>

namespace {

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
    connect(&m_server, &QTcpServer::newConnection, this, &HandoverServer::onNewConnection);
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
    if (!m_server.listen(QHostAddress::AnyIPv4, m_port))
        throw Failure(QStringLiteral("ESocketError"), m_server.errorString());
}

void HandoverServer::stop()
{
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
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_connections.insert(socket, Connection{{}, peerAddress(socket)});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { onDisconnected(socket); });
        if (m_onConnect)
            m_onConnect(m_connections.value(socket).peer);
        // Bytes may have come with the connection itself.
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void HandoverServer::onReadyRead(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->framer.append(socket->readAll());
    while (true) {
        it = m_connections.find(socket);
        if (it == m_connections.end())
            return;
        const std::optional<QByteArray> line = it->framer.next();
        if (!line)
            break;
        serve(socket, Cp1250::decode(*line));
    }
    it = m_connections.find(socket);
    if (it != m_connections.end() && it->framer.overflowed())
        drop(socket);
}

void HandoverServer::serve(QTcpSocket *socket, const QString &line)
{
    if (!m_onExecute)
        return;
    const std::optional<QString> reply = m_onExecute(line);
    if (reply && m_connections.contains(socket) &&
        socket->state() == QAbstractSocket::ConnectedState) {
        socket->write(Cp1250::encode(*reply) + "\r\n");
        socket->flush();
    }
}

void HandoverServer::onDisconnected(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    // Serve what arrived with the close; a line cut short by it is served as
    // an empty request, whose reply then goes nowhere.
    onReadyRead(socket);
    it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
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
}
