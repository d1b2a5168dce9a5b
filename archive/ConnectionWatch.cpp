#include "ConnectionWatch.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#elif defined(Q_OS_UNIX)
#include <sys/socket.h>
#endif

void ConnectionWatch::busy(int socket)
{
    QMutexLocker locked(&m_mutex);
    m_socket = socket;
    m_since.start();
}

void ConnectionWatch::idle()
{
    QMutexLocker locked(&m_mutex);
    m_socket = -1;
}

bool ConnectionWatch::cutIfBusyFor(qint64 limitMs)
{
    // Held while cutting: the worker cannot close the socket (and the number
    // go to another file) in between, as it calls idle() before closing.
    QMutexLocker locked(&m_mutex);
    if (m_socket < 0 || m_since.elapsed() < limitMs)
        return false;
#ifdef Q_OS_WIN
    ::shutdown(SOCKET(m_socket), SD_BOTH);
#elif defined(Q_OS_UNIX)
    ::shutdown(m_socket, SHUT_RDWR);
#endif
    m_socket = -1;
    return true;
}
