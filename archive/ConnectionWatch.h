#pragma once

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QTimer>

class ArchiveDatabase;

// Cuts a PostgreSQL connection that has waited too long for an answer. The
// server's own time-outs cannot help when the path to it stops forwarding
// while still accepting (or the server stops): the answer saying the time
// is up never arrives, and libpq would wait for ever. The thread doing the
// work marks its connection busy while it waits on the server; the watch
// checks every second on the thread it was made on (the window's, which
// never waits on the archive) and shuts the socket down once the answer is
// overdue: the statement time-out and kCutAfterMs more. The waiting call then
// fails and the work is tried again. Only where the socket can be reached
// (libpq's); elsewhere it does nothing.
class ConnectionWatch : public QObject
{
public:
    static constexpr int kCutAfterMs = 5000;

    explicit ConnectionWatch(QObject *parent = nullptr);

    // From the working thread: `db` now waits on its server (the time starts
    // anew at each call), or no longer does.
    void busy(const ArchiveDatabase &db);
    void idle();
    // On the watch's thread: checks from now on, or no longer.
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }

private:
    void check();

    QMutex m_mutex;
    int m_socket = -1;
    qint64 m_limitMs = 0;
    QElapsedTimer m_since;
    QTimer m_timer;
};
