#pragma once

#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>
#include <deque>
#include <memory>
#include <optional>

#include "Inspection.h"

class ArchiveJournal;

// Writes the journal's entries of the inspection in progress on a thread of
// its own, so that the window never waits for the disk at each change: its
// latest state only (a state still waiting is replaced by a newer one), and
// the removal of the entry. While readings are only added, each state costs
// a short synced append of the new ones; any other change, or appends that
// have outgrown the entry, rewrite it whole. Jobs run in the order given.
// Lives on the window thread; its thread starts with the first job.
class JournalKeeper : public QObject
{
    Q_OBJECT

public:
    explicit JournalKeeper(ArchiveJournal &journal, QObject *parent = nullptr);
    // Runs the jobs given, then ends its thread.
    ~JournalKeeper() override;

    void keepOpen(const Inspection &inspection);
    void removeOpen(const QString &uid);
    // Waits up to waitMs until every job given has run; false when time ran out.
    bool flush(int waitMs);

Q_SIGNALS:
    // Keeping the inspection in progress failed ("<kind>: <text>"), or
    // works again.
    void keepFailed(const QString &reason);
    void keepWorks();

private:
    struct Job
    {
        enum class Kind { Open, Remove };
        Kind kind = Kind::Open;
        Inspection inspection;
        QString uid;
    };
    void enqueue(Job job);
    void runJobs(); // on the keeper's thread
    void run(const Job &job);
    void keep(const Inspection &inspection);

    ArchiveJournal &m_journal;
    QThread m_thread;
    std::unique_ptr<QObject> m_worker; // lives on m_thread
    QMutex m_mutex;
    QWaitCondition m_idle;
    std::deque<Job> m_jobs;
    bool m_running = false; // a run is scheduled or under way
    bool m_keepFailing = false;
    // On the keeper's thread: what the entry holds now, as far as it is known.
    std::optional<Inspection> m_written;
    qsizetype m_writtenWhole = 0; // readings of its last whole write
    qsizetype m_appended = 0;     // readings appended since
};
