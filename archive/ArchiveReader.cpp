#include "ArchiveReader.h"

#include "ArchiveDatabase.h"
#include "ArchiveSchema.h"
#include "ConnectionWatch.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QPointer>
#include <atomic>
#include <memory>

namespace {

// Where the program may write, it opens as the wizard does (making a missing
// archive); elsewhere read-only, changing nothing.
ArchiveDatabase::Access accessFor(const ArchiveLocation &location)
{
    if (location.kind != ArchiveLocation::Kind::SqliteFile)
        return ArchiveDatabase::Access::ReadWrite;
    const QFileInfo file(location.file);
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        return ArchiveDatabase::Access::ReadWrite; // fails, and says the folder is missing
    const bool writable = folder.isWritable() && (!file.exists() || file.isWritable());
    return writable ? ArchiveDatabase::Access::ReadWrite : ArchiveDatabase::Access::ReadOnly;
}

} // namespace

class ArchiveReader::Worker : public QObject
{
public:
    Worker(ArchiveLocation location, ArchiveReader *owner, ConnectionWatch *watch)
        : m_location(std::move(location)), m_owner(owner), m_watch(watch)
    {
    }

    void run(const Job &job, const QPointer<QObject> &context, const Done &done)
    {
        std::optional<ArchiveError> error;
        try {
            if (!m_db) {
                m_db = std::make_unique<ArchiveDatabase>(m_location);
                m_db->open(accessFor(m_location));
                if (m_db->upgradedFrom())
                    QMetaObject::invokeMethod(m_owner,
                                              [owner = m_owner, text = upgradeText(*m_db)] {
                                                  if (owner)
                                                      Q_EMIT owner->upgraded(text);
                                              });
            }
            m_watch->busy(*m_db);
            job(*m_db);
            m_watch->idle();
        } catch (const ArchiveError &e) {
            error = e;
        } catch (const Failure &f) {
            error = ArchiveError(ArchiveError::Cause::Failed, f.text());
        }
        m_watch->idle();
        if (error)
            m_db.reset();
        if (m_location.kind == ArchiveLocation::Kind::SqliteFile)
            m_db.reset();
        if (context)
            QMetaObject::invokeMethod(context, [done, error] { done(error); });
    }

    void stop() { m_db.reset(); }

private:
    ArchiveLocation m_location;
    QPointer<ArchiveReader> m_owner;
    ConnectionWatch *m_watch;
    std::unique_ptr<ArchiveDatabase> m_db;
};

QString ArchiveReader::upgradeText(const ArchiveDatabase &db)
{
    return QStringLiteral("Az archívum (%1) frissítve: a %2. változatról a %3. változatra.")
        .arg(db.location().describe())
        .arg(db.upgradedFrom().value_or(0))
        .arg(ArchiveSchema::kVersion);
}

ArchiveReader::ArchiveReader(ArchiveLocation location, QObject *parent)
    : QObject(parent), m_watch(new ConnectionWatch), m_thread(new QThread),
      m_worker(new Worker(std::move(location), this, m_watch))
{
    m_thread->setObjectName(QStringLiteral("archive reader"));
    m_worker->moveToThread(m_thread);
    m_thread->start();
    m_watch->start();
}

ArchiveReader::~ArchiveReader()
{
    finish();
    if (m_thread->wait(*m_stopBy)) {
        delete m_worker;
        delete m_thread;
        delete m_watch;
    }
    // Otherwise a server stopped answering mid-read: the thread is left to
    // the end of the program rather than holding the window open.
}

void ArchiveReader::finish()
{
    if (m_stopBy)
        return;
    m_stopBy = QDeadlineTimer(kStopWaitMs);
    m_watch->stop();
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, thread = m_thread] {
        worker->stop();
        thread->quit();
    });
}

void ArchiveReader::post(Job job, QObject *context, Done done)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, job = std::move(job), context = QPointer<QObject>(context),
                   done = std::move(done)] { worker->run(job, context, done); });
}
