#include "ArchiveWriter.h"

#include "ArchiveDatabase.h"
#include "ArchiveJournal.h"
#include "ArchiveReader.h"
#include "ArchiveStore.h"
#include "ConnectionWatch.h"

#include <QScopeGuard>

namespace {

const QString kStoreFailure = QStringLiteral("A mérés mentése az archívumba nem sikerült! Oka: ");
const QString kCauses =
    QStringLiteral("A hiba lehetséges okai:\r\r"
                   "- Az archívum fájlja vagy mappája írásvédett, vagy betelt "
                   "a lemez.\r"
                   "- A közös archívum kiszolgálója nem érhető el.\r"
                   "- Hibás az archívum helye a Kromaglen_archive.ini fájlban.");
const QString kKeptDesc =
    QStringLiteral("A mérés megmaradt a munkamappa Kromaglen_archive.journal mappájában, és a "
                   "program újra megpróbálja az archívumba írni (a program következő indításakor "
                   "is).\r\r") +
    kCauses;
const QString kNotKeptDesc =
    QStringLiteral("A mérést a program NEM tudta megőrizni: a napló sem volt írható. Amíg a "
                   "program fut, újra megpróbálja az archívumba írni; ha a programot bezárják, "
                   "a mérés elvész.\r\r") +
    kCauses;

} // namespace

ArchiveWriter::ArchiveWriter(ArchiveLocation location, ArchiveJournal &journal,
                             ConnectionWatch *watch, QObject *parent)
    : QObject(parent), m_location(std::move(location)), m_journal(journal), m_watch(watch)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        m_retrying = true;
        storePending();
        m_retrying = false;
    });
}

int ArchiveWriter::unjournaledCount() const
{
    return int(std::count_if(m_pending.begin(), m_pending.end(),
                             [](const Pending &p) { return !p.journaled; }));
}

ArchiveWriter::Outstanding ArchiveWriter::outstanding() const
{
    QMutexLocker locked(&m_outstandingMutex);
    Outstanding out;
    out.count = int(m_outstanding.size());
    for (const Pending &p : m_outstanding) {
        if (!p.journaled)
            out.unjournaled.append(p.inspection);
    }
    return out;
}

void ArchiveWriter::expect(const Inspection &inspection, bool journaled)
{
    QMutexLocker locked(&m_outstandingMutex);
    m_outstanding.insert(inspection.uid, {inspection, journaled});
}

void ArchiveWriter::settled(const QString &uid)
{
    QMutexLocker locked(&m_outstandingMutex);
    m_outstanding.remove(uid);
}

void ArchiveWriter::replay()
{
    ArchiveJournal::Found found;
    try {
        found = m_journal.takeOver();
    } catch (const Failure &f) {
        Q_EMIT failed(QStringLiteral("A korábbi, még nem mentett mérések naplója nem olvasható! "
                                     "Oka: ") +
                          f.reason(),
                      QStringLiteral("A napló a munkamappa Kromaglen_archive.journal mappája."));
        return;
    }
    if (found.refused > 0) {
        Q_EMIT failed(
            QStringLiteral("A mérések naplójának %1 bejegyzése nem olvasható, ezért a program "
                           "félretette, változatlanul.")
                .arg(found.refused),
            QStringLiteral("A félretett fájlok a munkamappában vannak, a nevük így kezdődik: %1. "
                           "A program ezeket nem írja az archívumba és nem törli; a bennük levő "
                           "mérések a fájlokból kiolvashatók.")
                .arg(ArchiveJournal::kRefusedPrefix));
    }
    if (!found.unfinished.isEmpty())
        Q_EMIT unfinishedFound(found.unfinished);
    for (const Inspection &inspection : std::as_const(found.finished)) {
        expect(inspection, true);
        m_pending.removeIf([&](const Pending &p) { return p.inspection.uid == inspection.uid; });
        m_pending.append({inspection, true});
    }
    storePending();
}

void ArchiveWriter::store(const Inspection &inspection, bool journaled)
{
    expect(inspection, journaled);
    m_pending.removeIf([&](const Pending &p) { return p.inspection.uid == inspection.uid; });
    m_pending.append({inspection, journaled});
    storePending();
}

void ArchiveWriter::finish()
{
    m_retry.stop();
    storePending();
    m_retry.stop();
}

void ArchiveWriter::journalWhatIsNot()
{
    for (Pending &pending : m_pending) {
        if (pending.journaled)
            continue;
        try {
            m_journal.write(pending.inspection);
            pending.journaled = true;
            expect(pending.inspection, true);
        } catch (const Failure &) {
            // Still only here; told when the store fails, and at the end.
        }
    }
}

void ArchiveWriter::storePending()
{
    if (m_pending.isEmpty())
        return;
    m_retry.stop();
    // The journal first: a disk freed since keeps them before the archive is tried.
    journalWhatIsNot();
    for (int attempt = 0;; ++attempt) {
        try {
            ArchiveDatabase db(m_location);
            // Ends the watch before the connection closes (declared after it).
            const auto unwatch = qScopeGuard([this] {
                if (m_watch)
                    m_watch->idle();
            });
            db.open();
            if (db.upgradedFrom())
                Q_EMIT upgraded(ArchiveReader::upgradeText(db));
            storeInto(db);
            break;
        } catch (const ArchiveError &e) {
            if (e.cause() == ArchiveError::Cause::Damaged && attempt == 0 &&
                m_location.kind == ArchiveLocation::Kind::SqliteFile) {
                try {
                    const QString aside = ArchiveDatabase::moveAside(m_location.file);
                    Q_EMIT notice(
                        QStringLiteral("Az archívum sérült, ezért a program félretette (") + aside +
                            QStringLiteral(") és újat kezdett."),
                        QStringLiteral("A sérült fájlt a program nem törölte; a korábbi mérések "
                                       "abból esetleg még kimenthetők.\r\rA hiba: ") +
                            e.text());
                    continue;
                } catch (const Failure &moveFailure) {
                    reportFailure(e.reason() + QStringLiteral(" (") + moveFailure.text() + u')');
                    break;
                }
            }
            reportFailure(e.reason());
            break;
        }
    }
    if (!m_pending.isEmpty())
        m_retry.start();
}

void ArchiveWriter::reportFailure(const QString &reason)
{
    // A retry on its own says nothing new while the cause is the same.
    if (m_retrying && reason == m_lastReason)
        return;
    m_lastReason = reason;
    Q_EMIT failed(kStoreFailure + reason, unjournaledCount() > 0 ? kNotKeptDesc : kKeptDesc);
}

void ArchiveWriter::storeInto(ArchiveDatabase &db)
{
    if (!m_checked) {
        db.checkIntegrity();
        m_checked = true;
    }
    ArchiveStore store(db);
    while (!m_pending.isEmpty()) {
        Pending pending = m_pending.first();
        if (m_watch)
            m_watch->busy(db); // each inspection gets the whole time
        try {
            store.store(pending.inspection);
        } catch (const ArchiveError &e) {
            if (e.cause() != ArchiveError::Cause::Refused)
                throw;
            m_pending.removeFirst();
            setAside(pending, e);
            settled(pending.inspection.uid);
            continue;
        }
        m_pending.removeFirst();
        m_lastReason.clear();
        m_journal.remove(pending.inspection.uid, pending.inspection.revision);
        if (!std::any_of(m_pending.begin(), m_pending.end(), [&](const Pending &p) {
                return p.inspection.uid == pending.inspection.uid;
            }))
            settled(pending.inspection.uid);
        Q_EMIT stored(pending.inspection.id, pending.inspection.uid);
    }
}

void ArchiveWriter::setAside(const Pending &pending, const ArchiveError &why)
{
    QString where;
    try {
        where = m_journal.setAside(pending.inspection);
    } catch (const Failure &f) {
        where = QStringLiteral("nem sikerült: ") + f.reason();
    }
    Q_EMIT failed(QStringLiteral("Az archívum nem fogadta el az egyik mérést, ezért a program "
                                 "félretette: ") +
                      where,
                  QStringLiteral("A többi mérés mentése folytatódik. A félretett mérés adatai a "
                                 "fájlban megmaradtak.\r\rAz archívum válasza: ") +
                      why.text());
}
