#pragma once

#include <QObject>
#include <QThread>
#include <QTimer>
#include <memory>

#include "ArchiveLocation.h"
#include "Inspection.h"
#include "PointCatalogue.h"

class ArchiveJournal;
class ArchiveWriter;
class ConnectionWatch;
class ReadingLog;

// Hands each inspection the wizard finishes to the archive. When the wizard
// leaves its last page the inspection is made from its reading log, written
// to the journal on the spot (synced: from then on neither a kill nor a
// power cut loses it), and passed to the writer's thread, which stores it
// when the archive answers. An inspection is what the reading log holds
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

    // Waits up to `waitMs` for the writer's last try; true when nothing is
    // left unstored. What is left stays in the journal for the next start.
    bool finish(int waitMs);
    bool writerStarted() const { return m_thread != nullptr; }
    // The inspection now being recorded (the next store's).
    const QString &uid() const { return m_uid; }
    const ArchiveLocation &location() const { return m_location; }

Q_SIGNALS:
    void stored(qint64 id);
    void failed(const QString &message, const QString &description);
    // What the IT person's log keeps: every failure and notice, and upgrades.
    void logged(const QString &text);

private:
    void startWriter();
    void beginNew();

    ArchiveLocation m_location;
    QString m_settingsPath;
    std::unique_ptr<ArchiveJournal> m_journal;
    QThread *m_thread = nullptr;
    ArchiveWriter *m_writer = nullptr;
    // Lets the writer go of a connection whose answer is overdue; left with
    // the writer when its thread does not end in time.
    ConnectionWatch *m_watch = nullptr;
    bool m_finished = false;

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
