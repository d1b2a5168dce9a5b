#include "ConnectionWatch.h"

#include "ArchiveDatabase.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#elif defined(Q_OS_UNIX)
#include <sys/socket.h>
#endif

ConnectionWatch::ConnectionWatch(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &ConnectionWatch::check);
}

void ConnectionWatch::busy(const ArchiveDatabase &db)
{
    const int socket = db.socketDescriptor();
    const qint64 limitMs = db.statementTimeoutMs() + kCutAfterMs;
    QMutexLocker locked(&m_mutex);
    m_socket = socket;
    m_limitMs = limitMs;
    m_since.start();
}

void ConnectionWatch::idle()
{
    QMutexLocker locked(&m_mutex);
    m_socket = -1;
}

void ConnectionWatch::check()
{
    // Held while cutting: the worker cannot close the socket (and the number
    // go to another file) in between, as it calls idle() before closing.
    QMutexLocker locked(&m_mutex);
    if (m_socket < 0 || m_since.elapsed() < m_limitMs)
        return;
#ifdef Q_OS_WIN
    ::shutdown(SOCKET(m_socket), SD_BOTH);
#elif defined(Q_OS_UNIX)
    ::shutdown(m_socket, SHUT_RDWR);
#endif
    m_socket = -1;
}
