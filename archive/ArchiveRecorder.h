#pragma once

#include <QObject>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>

#include "ArchiveLocation.h"
#include "Inspection.h"
#include "PointCatalogue.h"

class ArchiveJournal;
class ArchiveWriter;
class ConnectionWatch;
class JournalKeeper;
class ReadingLog;

// Keeps the wizard's inspection from its first reading and hands each one
// the wizard finishes to the archive. Every change to the inspection in
// progress reaches its journal entry within kKeepMs and the time of a synced
// write (see JournalKeeper). When the wizard leaves its last page the
// inspection is made from its reading log, journaled as finished, and passed
// to the writer's thread, which stores it when the archive answers. An
// inspection an earlier run left unfinished is offered back (unfinishedFound):
// the wizard takes its readings back (resume) or has it stored as
// interrupted (storeInterrupted). An inspection is what the reading log holds
// between two discards: storing it again after going back, or after the
// inspection program sent its category once more while the readings were
// kept, replaces the earlier copy rather than adding another. The writer's
// thread, and with it the SQL driver, starts with the first store, or at once
// when the journal holds inspections (or a cut-off write or lock file) an
// earlier run left. Lives on the window thread.
class ArchiveRecorder : public QObject
{
    Q_OBJECT

public:
    // How long closing waits for the archive before leaving the rest to the journal.
    static constexpr int kCloseWaitMs = 3000;
    // How long a change to the inspection in progress waits for the next
    // ones before its entry is written.
    static constexpr int kKeepMs = 200;

    // What the wizard holds of the inspection in progress.
    struct InProgress
    {
        const ReadingLog *log = nullptr;
        QList<PlanEntry> plan;
    };
    // What became of the inspections when the program ended.
    struct Finish
    {
        int left = 0;        // not yet in the archive, kept in the journal
        int unjournaled = 0; // of them, not in the journal (it could not be written)
        QString rescuedTo;   // where those were written instead (a folder), if anywhere
        bool allStored() const { return left == 0; }
    };

    // `notice`, when not empty, is told the user once, with the first store.
    ArchiveRecorder(const ArchiveLocation &location, const QString &journalFolder,
                    const QString &notice = {}, QObject *parent = nullptr);
    // finish(kCloseWaitMs).
    ~ArchiveRecorder() override;

    // The settings file whose station name and limits are stored with each inspection.
    void setSettingsPath(const QString &path) { m_settingsPath = path; }

    // The wizard emptied its reading logs: the next store is a new inspection.
    void readingsDiscarded();
    void categoryReceived(const QString &category);
    void pointSent(int point);
    // Journals the inspection the log holds and hands it over for storing;
    // false when the log holds no reading.
    bool store(const ReadingLog &log, const QList<PlanEntry> &plan);

    // Where the inspection in progress is read from when it is kept.
    void setInProgress(std::function<InProgress()> source) { m_source = std::move(source); }
    // The inspection in progress changed: kept within kKeepMs.
    void changed();
    // Keeps its present state now, waiting up to waitMs for the disk (the
    // program is ending); false when the time ran out.
    bool keepNow(int waitMs);
    // The person closed the wizard without storing it: its entry goes.
    void discardInProgress();
    // An unfinished inspection of an earlier run: its readings are back in
    // the wizard's log and it goes on as this inspection, marked interrupted.
    void resume(const Inspection &inspection);
    // An unfinished inspection of an earlier run goes to the archive as it
    // is, marked interrupted.
    void storeInterrupted(Inspection inspection);

    // Waits up to `waitMs` for the writer's last try. What is left stays in
    // the journal for the next start; what the journal could not take is
    // written to another writable folder if one will.
    Finish finish(int waitMs);
    bool writerStarted() const { return m_thread != nullptr; }
    // The inspection now being recorded (the next store's).
    const QString &uid() const { return m_uid; }
    const ArchiveLocation &location() const { return m_location; }

Q_SIGNALS:
    void stored(qint64 id);
    // Inspections an earlier run left unfinished, newest last.
    void unfinishedFound(const QList<Inspection> &inspections);
    void failed(const QString &message, const QString &description);
    // What the IT person's log keeps: every failure and notice, and upgrades.
    void logged(const QString &text);

private:
    void startWriter();
    void startKeeper();
    void beginNew();
    // The inspection as the log and the plan hold it now; no readings: none.
    std::optional<Inspection> make(const ReadingLog &log, const QList<PlanEntry> &plan);
    void keepSnapshot();
    void handOver(const Inspection &inspection);
    QString rescue(const QList<Inspection> &inspections) const;

    ArchiveLocation m_location;
    QString m_settingsPath;
    std::unique_ptr<ArchiveJournal> m_journal;
    std::unique_ptr<JournalKeeper> m_keeper;
    std::function<InProgress()> m_source;
    QTimer m_keepTimer;
    bool m_openKept = false; // the inspection in progress has an entry
    bool m_interrupted = false;
    QThread *m_thread = nullptr;
    ArchiveWriter *m_writer = nullptr;
    // Lets the writer go of a connection whose answer is overdue; left with
    // the writer when its thread does not end in time.
    ConnectionWatch *m_watch = nullptr;
    bool m_finished = false;
    Finish m_finish;

    QString m_uid;
    int m_revision = 0;
    QString m_category;
    QDateTime m_categoryAt;
    QList<SentPoint> m_sent;
    // A category that came after the store: the next vehicle's, or the same
    // one's again; which, the next discard or store tells.
    std::optional<QString> m_nextCategory;
    QDateTime m_nextCategoryAt;
    QString m_notice;
};
