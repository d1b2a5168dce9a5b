#pragma once

#include <QObject>

#include "ArchiveLocation.h"
#include "Inspection.h"

class ArchiveDatabase;

// Writes finished inspections into the archive, on a thread of its own so the
// window never waits for the disk or the network. What cannot be stored stays
// pending, is tried again with the next inspection, and is kept in a file
// beside the archive so that not even a program end loses it. A damaged
// archive file is moved aside and a new one started.
class ArchiveWriter : public QObject
{
    Q_OBJECT

public:
    static inline const QString kPendingFile = QStringLiteral("Kromaglen_archive.pending");

    ArchiveWriter(ArchiveLocation location, QString pendingPath, QObject *parent = nullptr);

    int pendingCount() const { return int(m_pending.size()); }

    // Queues the inspection (replacing an older copy of it) and stores all.
    void store(const Inspection &inspection);
    // The last try before the program ends.
    void finish();

Q_SIGNALS:
    void stored(qint64 id, const QString &uid);
    // Texts for the user: a failure, or the news that a damaged file was moved aside.
    void failed(const QString &message, const QString &description);
    void notice(const QString &message, const QString &description);

private:
    void storePending();
    void storeInto(ArchiveDatabase &db);
    void keepPending();

    ArchiveLocation m_location;
    QString m_pendingPath;
    QList<Inspection> m_pending;
    bool m_checked = false;
};
