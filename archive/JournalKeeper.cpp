#include "JournalKeeper.h"

#include "ArchiveJournal.h"
#include "Failure.h"

#include <QDeadlineTimer>

JournalKeeper::JournalKeeper(ArchiveJournal &journal, QObject *parent)
    : QObject(parent), m_journal(journal), m_worker(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("journal keeper"));
    m_worker->moveToThread(&m_thread);
}

JournalKeeper::~JournalKeeper()
{
    if (!m_thread.isRunning())
        return;
    flush(INT_MAX);
    m_thread.quit();
    m_thread.wait();
}

void JournalKeeper::keepOpen(const Inspection &inspection)
{
    {
        QMutexLocker locked(&m_mutex);
        // Only the latest state is worth writing.
        if (!m_jobs.empty() && m_jobs.back().kind == Job::Kind::Open &&
            m_jobs.back().inspection.uid == inspection.uid) {
            m_jobs.back().inspection = inspection;
            return;
        }
    }
    enqueue({Job::Kind::Open, inspection, inspection.uid});
}

void JournalKeeper::removeOpen(const QString &uid)
{
    enqueue({Job::Kind::Remove, {}, uid});
}

void JournalKeeper::enqueue(Job job)
{
    if (!m_thread.isRunning())
        m_thread.start();
    QMutexLocker locked(&m_mutex);
    m_jobs.push_back(std::move(job));
    if (std::exchange(m_running, true))
        return;
    QMetaObject::invokeMethod(
        m_worker.get(), [this] { runJobs(); }, Qt::QueuedConnection);
}

bool JournalKeeper::flush(int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    QMutexLocker locked(&m_mutex);
    while (m_running) {
        if (!m_idle.wait(&m_mutex, deadline))
            return false;
    }
    return true;
}

void JournalKeeper::runJobs()
{
    for (;;) {
        Job job;
        {
            QMutexLocker locked(&m_mutex);
            if (m_jobs.empty()) {
                m_running = false;
                m_idle.wakeAll();
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        run(job);
    }
}

void JournalKeeper::run(const Job &job)
{
    switch (job.kind) {
    case Job::Kind::Open:
        try {
            m_journal.writeOpen(job.inspection);
            if (std::exchange(m_keepFailing, false))
                Q_EMIT keepWorks();
        } catch (const Failure &f) {
            if (!std::exchange(m_keepFailing, true))
                Q_EMIT keepFailed(f.reason());
        }
        return;
    case Job::Kind::Remove:
        m_journal.removeOpen(job.uid);
        return;
    }
}
