#pragma once

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include "ArchiveDatabase.h"
#include "ArchiveLocation.h"
#include "Inspection.h"

#include <atomic>

class ArchiveError;
class ArchiveJournal;
class ConnectionWatch;

// Stores finished inspections into the archive, on a thread of its own so
// the window never waits for the disk or the network. Each inspection comes
// already written to the journal (or with the news that it could not be) and
// leaves the journal only once the archive has committed it. What cannot be
// stored now is tried again after kRetryMs and with the next inspection; an
// inspection the archive refuses for its content is set aside so the rest
// go on. A damaged archive file is moved aside and a new one started.
class ArchiveWriter : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRetryMs = 30000;

    // `watch`, when given (made on another thread), may cut the connection
    // while a store waits on an archive that does not answer.
    ArchiveWriter(ArchiveLocation location, ArchiveJournal &journal,
                  ConnectionWatch *watch = nullptr, QObject *parent = nullptr);

    int pendingCount() const { return int(m_pending.size()); }
    // How many of the pending exist only in memory (their journal entry failed).
    int unjournaledCount() const;

    // What it holds, or is about to be given, and has not stored; from any
    // thread, also while the archive keeps it waiting.
    struct Outstanding
    {
        int count = 0;
        QList<Inspection> unjournaled; // the journal could not take them
    };
    Outstanding outstanding() const;
    // From any thread: the inspection will be given to store() next.
    void expect(const Inspection &inspection, bool journaled);

    // Takes over what the journal holds (this program's and gone programs'
    // entries) and stores the finished ones; the unfinished are reported.
    void replay();
    // Queues the inspection (replacing an older copy of it) and stores all.
    // `journaled` false: its journal entry could not be written.
    void store(const Inspection &inspection, bool journaled = true);
    // The last try before the program ends.
    void finish();

Q_SIGNALS:
    void stored(qint64 id, const QString &uid);
    // Texts for the user: a failure, or the news that a damaged file was moved aside.
    void failed(const QString &message, const QString &description);
    void notice(const QString &message, const QString &description);
    // For the log only: the archive's schema was upgraded on opening.
    void upgraded(const QString &text);
    // Inspections still in progress when an earlier run ended.
    void unfinishedFound(const QList<Inspection> &inspections);

private:
    struct Pending
    {
        Inspection inspection;
        bool journaled = true;
    };

    void storePending();
    void settled(const QString &uid);
    // Writes the journal entries that could not be written before.
    void journalWhatIsNot();
    void storeInto(ArchiveDatabase &db);
    void setAside(const Pending &pending, const ArchiveError &why);
    void reportFailure(const QString &reason);

    ArchiveLocation m_location;
    ArchiveJournal &m_journal;
    QList<Pending> m_pending;
    ConnectionWatch *m_watch = nullptr;
    QTimer m_retry{this}; // a child: moves to the writer's thread with it
    bool m_checked = false;
    bool m_retrying = false;
    QString m_lastReason; // of the failure last told, until a store succeeds
    mutable QMutex m_outstandingMutex;
    QHash<QString, Pending> m_outstanding; // by uid
};
