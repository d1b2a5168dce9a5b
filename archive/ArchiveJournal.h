#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <memory>

#include "Failure.h"
#include "Inspection.h"

// The write-ahead journal: every finished inspection is written here, synced
// to the disk, before the archive is tried, and removed once the archive has
// committed it; the inspection in progress is kept here too, from its first
// reading, in an entry of its own ("<token>.<uid>.open.json"). One file per
// inspection in a folder beside the program's settings
// ("Kromaglen_archive.journal"); each program running in the folder names its
// files after a token of its own and holds a lock file for it, so two
// programs never write or remove each other's entries. The entries of a
// program that is gone (killed, crashed, closed before the archive answered)
// are taken over by the next one that starts: the finished ones to be
// stored, those in progress to be offered to the person. Entries the archive
// refuses for their content, and entries that cannot be read or whose fields
// have the wrong types, are set aside in the working folder as
// "Kromaglen_archive.refused-...", where nothing replays them; none is ever
// deleted or changed. The calls may come from several threads (they touch
// only files, under one lock).
class ArchiveJournal
{
public:
    static inline const QString kFolder = QStringLiteral("Kromaglen_archive.journal");
    // The single file an older version kept its unstored inspections in.
    static inline const QString kLegacyPendingFile = QStringLiteral("Kromaglen_archive.pending");
    // Set aside in the working folder: the archive or the journal could not use them.
    static inline const QString kRefusedPrefix = QStringLiteral("Kromaglen_archive.refused-");

    // What an earlier run left, taken over at start.
    struct Found
    {
        QList<Inspection> finished;   // to be stored, oldest first
        QList<Inspection> unfinished; // still in progress when their program ended
        int refused = 0;              // entries set aside unread
    };

    explicit ArchiveJournal(QString folder);
    ~ArchiveJournal();
    ArchiveJournal(const ArchiveJournal &) = delete;
    ArchiveJournal &operator=(const ArchiveJournal &) = delete;

    // Whether the folder holds entries of any program, or what one that
    // ended without tidying left (a cut-off write, its lock file), which a
    // takeOver() clears away (cheap: one listing).
    static bool hasEntries(const QString &folder);

    const QString &folder() const { return m_folder; }
    // Takes this program's place in the folder (the folder, a lock file).
    // Throws Failure; write() tries again.
    void open();
    // Writes the inspection durably (replacing an earlier copy of it). Throws Failure.
    void write(const Inspection &inspection);
    // Keeps the inspection in progress (replacing its earlier state). Throws Failure.
    void writeOpen(const Inspection &inspection);
    // Adds readings to the entry in progress, which writeOpen() made. Throws Failure.
    void appendOpen(const QString &uid, const QDateTime &ended,
                    const QList<ArchivedReading> &readings);
    // The inspection in progress is no longer kept (it was stored, or the
    // person discarded it). Another process reading the entry at that moment
    // (a virus scanner, a backup) makes Windows refuse the removal: it is
    // tried again for a while, so call it off the window thread.
    void removeOpen(const QString &uid);
    static constexpr int kRemoveTries = 25;
    static constexpr int kRemoveRetryMs = 20;
    // After the archive committed this revision of it; an entry holding a
    // later one (stored again meanwhile) stays.
    void remove(const QString &uid, int revision);
    // This program's entries and those of programs that are gone (taken
    // over); also the older version's pending file.
    Found takeOver();
    // Moves the entry where no replay finds it; returns its new path.
    QString setAside(const Inspection &inspection);

    // A lock file the system lets go when its program ends, however it ends.
    class OwnerLock;

private:
    void writeEntry(const Inspection &inspection);
    QString entryPath(const QString &token, const QString &uid) const;
    QString openPath(const QString &uid) const;
    // Moves a file where nothing reads it again, unchanged.
    void refuse(const QString &path);
    void adoptFrom(const QString &token);
    void adoptLegacy();

    mutable QMutex m_mutex; // write() on the window thread, the rest on the writer's
    QString m_folder;
    QString m_token;
    std::unique_ptr<OwnerLock> m_lock;
    QHash<QString, int> m_revisions; // by uid: the revision its entry holds, while there
};
