#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QThread>
#include <functional>
#include <optional>

#include "ArchiveError.h"
#include "ArchiveLocation.h"

class ArchiveDatabase;
class ConnectionWatch;

// Reads the archive on a thread of its own, so a window never waits on the
// disk or a server that stopped answering. Jobs run one after another; each
// gets an open connection. A SQLite file is opened for each job and closed
// after it, so the wizard can move a damaged file aside meanwhile and the
// next job reads the file now in its place; where this program cannot write
// the file is opened read-only. A PostgreSQL connection is kept between jobs
// and made anew after a failure; one whose answer is overdue is cut (see
// ConnectionWatch), so a path that stopped forwarding holds the reader only
// so long.
class ArchiveReader : public QObject
{
    Q_OBJECT

public:
    using Job = std::function<void(ArchiveDatabase &)>;
    using Done = std::function<void(const std::optional<ArchiveError> &)>;
    // How long the destructor waits for a job still running.
    static constexpr int kStopWaitMs = 2000;

    explicit ArchiveReader(ArchiveLocation location, QObject *parent = nullptr);
    // How an upgrade is told, for the log.
    static QString upgradeText(const ArchiveDatabase &db);
    ~ArchiveReader() override;

    // Runs `job` on the reader's thread, then `done` on `context`'s thread
    // (not at all once `context` is gone).
    void post(Job job, QObject *context, Done done);
    // Asks the thread to end after its current job, without waiting; the
    // destructor then waits only what is left of kStopWaitMs from here, so
    // several readers of a window let go together.
    void finish();

Q_SIGNALS:
    // Its first open upgraded an older archive (the text says from and to what).
    void upgraded(const QString &text);

private:
    class Worker;

    // Left with the worker when its thread does not end in time.
    ConnectionWatch *m_watch = nullptr;
    std::optional<QDeadlineTimer> m_stopBy;
    QThread *m_thread = nullptr;
    Worker *m_worker = nullptr;
};
