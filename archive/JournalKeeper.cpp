#include "JournalKeeper.h"

#include "ArchiveJournal.h"
#include "Failure.h"
#include "PointCatalogue.h"

#include <QDeadlineTimer>
#include <array>

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

namespace {

// The readings `now` holds beyond `before`, oldest first, when it differs from
// it by added readings only (each point's readings then begin with those it
// had); nothing else.
std::optional<QList<ArchivedReading>> added(const Inspection &before, const Inspection &now)
{
    Inspection a = before;
    Inspection b = now;
    a.readings.clear();
    b.readings.clear();
    a.ended = b.ended = QDateTime();
    if (!(a == b))
        return std::nullopt;
    std::array<QList<ArchivedReading>, PointCatalogue::kPointCount> was;
    for (const ArchivedReading &r : before.readings)
        was[size_t(r.point)].append(r);
    std::array<qsizetype, PointCatalogue::kPointCount> seen{};
    QList<ArchivedReading> out;
    for (const ArchivedReading &r : now.readings) {
        qsizetype &n = seen[size_t(r.point)];
        const QList<ArchivedReading> &old = was[size_t(r.point)];
        if (n < old.size()) {
            if (!(old.at(n) == r))
                return std::nullopt;
        } else {
            out.append(r);
        }
        ++n;
    }
    for (size_t p = 0; p < was.size(); ++p) {
        if (seen[p] < was[p].size())
            return std::nullopt; // one was deleted
    }
    return out;
}

} // namespace

void JournalKeeper::keep(const Inspection &inspection)
{
    const std::optional<QList<ArchivedReading>> more = m_written && m_written->uid == inspection.uid
                                                           ? added(*m_written, inspection)
                                                           : std::nullopt;
    // Appends that have outgrown the whole entry are folded into it again.
    if (more && m_appended + more->size() <= std::max<qsizetype>(m_writtenWhole, 256)) {
        if (!more->isEmpty())
            m_journal.appendOpen(inspection.uid, inspection.ended, *more);
        m_appended += more->size();
    } else {
        m_journal.writeOpen(inspection);
        m_writtenWhole = inspection.readings.size();
        m_appended = 0;
    }
    m_written = inspection;
}

void JournalKeeper::run(const Job &job)
{
    switch (job.kind) {
    case Job::Kind::Open:
        try {
            keep(job.inspection);
            if (std::exchange(m_keepFailing, false))
                Q_EMIT keepWorks();
        } catch (const Failure &f) {
            m_written.reset(); // written whole the next time
            if (!std::exchange(m_keepFailing, true))
                Q_EMIT keepFailed(f.reason());
        }
        return;
    case Job::Kind::Remove:
        if (m_written && m_written->uid == job.uid)
            m_written.reset();
        m_journal.removeOpen(job.uid);
        return;
    }
}
