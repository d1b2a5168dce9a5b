#pragma once

#include <QObject>
#include <QThread>
#include <array>

#include "ArchiveLocation.h"
#include "Inspection.h"
#include "PointCatalogue.h"

class ArchiveWriter;

// Follows one inspection as the wizard runs it (readings taken and deleted,
// the category, the points handed over) and hands it to the archive writer's
// thread when the wizard leaves its last page. An inspection is what the
// wizard's reading logs hold between two discards: storing it again after
// going back replaces the earlier copy. Lives on the window thread.
class ArchiveRecorder : public QObject
{
    Q_OBJECT

public:
    // `notice`, when not empty, is told the user once, with the first store.
    ArchiveRecorder(const ArchiveLocation &location, const QString &pendingPath,
                    const QString &notice = {}, QObject *parent = nullptr);
    // Waits for the writer's last try; what it could not store stays in the pending file.
    ~ArchiveRecorder() override;

    // A reading as the wizard's reading log keeps it.
    void readingRecorded(int point, const Reading &reading);
    // The same, taken now.
    void readingRecorded(int point, Substrate substrate, int value, ReadingSource source);
    void readingDeleted(int point, int line);
    // The wizard emptied every reading log.
    void readingsDiscarded();
    void categoryReceived(const QString &category);
    void pointSent(int point);
    // Hands the inspection over for storing; false when it holds no reading.
    bool store(const QList<PlanEntry> &plan);

    // The inspection as it would be stored now.
    Inspection current() const;
    const ArchiveLocation &location() const { return m_location; }

Q_SIGNALS:
    void stored(qint64 id);
    void failed(const QString &message, const QString &description);

private:
    struct Taken
    {
        quint64 order = 0;
        ArchivedReading reading;
    };

    // The next event belongs to a new inspection when this one has been stored.
    void beginNewIfStored();
    void startClock();

    ArchiveLocation m_location;
    QThread m_thread;
    ArchiveWriter *m_writer = nullptr;

    Inspection m_current;
    std::array<QList<Taken>, PointCatalogue::kPointCount> m_taken;
    quint64 m_order = 0;
    bool m_stored = false;
    QString m_notice;
};
