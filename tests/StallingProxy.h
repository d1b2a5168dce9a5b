#pragma once

// A TCP proxy on 127.0.0.1 for the archive tests, on a thread of its own:
// forwards every connection to the server until told to stall; then it
// still accepts connections and keeps them open but passes nothing on, as a
// network path that stopped forwarding does. Released, it passes on what
// waited.
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <atomic>

class StallingProxy : public QObject
{
public:
    explicit StallingProxy(quint16 upstream) : m_upstream(upstream)
    {
        m_server.moveToThread(&m_thread);
        moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_server.listen(QHostAddress::LocalHost, 0);
                m_port = m_server.serverPort();
                connect(&m_server, &QTcpServer::newConnection, this, &StallingProxy::accept);
            },
            Qt::BlockingQueuedConnection);
    }

    ~StallingProxy() override
    {
        QMetaObject::invokeMethod(
            this,
            [this] {
                for (QTcpSocket *s : findChildren<QTcpSocket *>())
                    s->abort();
                m_server.close();
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    quint16 port() const { return m_port; }

    void stall(bool on)
    {
        m_stalled = on;
        if (!on)
            QMetaObject::invokeMethod(this, [this] {
                for (QTcpSocket *s : findChildren<QTcpSocket *>())
                    pass(s);
            });
    }

private:
    void accept()
    {
        while (QTcpSocket *client = m_server.nextPendingConnection()) {
            client->setParent(this);
            auto *server = new QTcpSocket(this);
            client->setProperty("peer", QVariant::fromValue(static_cast<QObject *>(server)));
            server->setProperty("peer", QVariant::fromValue(static_cast<QObject *>(client)));
            for (QTcpSocket *s : {client, server}) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { pass(s); });
                connect(s, &QTcpSocket::disconnected, this, [this, s] {
                    if (!m_stalled)
                        if (auto *peer =
                                qobject_cast<QTcpSocket *>(s->property("peer").value<QObject *>()))
                            peer->disconnectFromHost();
                });
            }
            connect(server, &QTcpSocket::connected, this, [this, server] { pass(server); });
            server->connectToHost(QHostAddress::LocalHost, m_upstream);
        }
    }

    // Passes what `from` received on to its peer, unless stalled.
    void pass(QTcpSocket *from)
    {
        auto *to = qobject_cast<QTcpSocket *>(from->property("peer").value<QObject *>());
        if (m_stalled || !to || to->state() != QAbstractSocket::ConnectedState)
            return;
        if (from->bytesAvailable() > 0)
            to->write(from->readAll());
        if (to->bytesAvailable() > 0 && from->state() == QAbstractSocket::ConnectedState)
            from->write(to->readAll());
    }

    quint16 m_upstream;
    quint16 m_port = 0;
    std::atomic<bool> m_stalled{false};
    QTcpServer m_server;
    QThread m_thread;
};
