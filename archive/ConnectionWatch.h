#pragma once

#include <QElapsedTimer>
#include <QMutex>

// Cuts a PostgreSQL connection that has waited too long for an answer. The
// server's own time-outs cannot help when the path to it stops forwarding
// while still accepting (or the server stops): the answer saying the time
// is up never arrives, and libpq waits for ever. The thread doing the work
// marks the connection busy; another thread checks now and then and shuts
// the socket down, so the waiting call fails and the work can be tried
// again. Only where the socket can be reached (Unix with libpq); elsewhere
// it does nothing.
class ConnectionWatch
{
public:
    // `socket` is the connection's descriptor, -1 for none.
    void busy(int socket);
    void idle();
    // From another thread: shuts the connection down when it has been busy
    // for longer than `limitMs`; true when it did.
    bool cutIfBusyFor(qint64 limitMs);

private:
    QMutex m_mutex;
    int m_socket = -1;
    QElapsedTimer m_since;
};
