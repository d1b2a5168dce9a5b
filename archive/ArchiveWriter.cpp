#include "ArchiveWriter.h"

#include "ArchiveDatabase.h"
#include "ArchiveStore.h"
#include "InspectionJson.h"
#include "SafeFile.h"

#include <QFile>

namespace {

const QString kStoreFailure = QStringLiteral("A mérés mentése az archívumba nem sikerült! Oka: ");
const QString kStoreFailureDesc =
    QStringLiteral("A mérés megmaradt, és a program a következő mentéskor újra megpróbálja "
                   "az archívumba írni.\r\rA hiba lehetséges okai:\r\r"
                   "- Az archívum fájlja vagy mappája írásvédett, vagy betelt a lemez.\r"
                   "- A közös archívum kiszolgálója nem érhető el.\r"
                   "- Hibás az archívum helye a Kromaglen_archive.ini fájlban.");

} // namespace

ArchiveWriter::ArchiveWriter(ArchiveLocation location, QString pendingPath, QObject *parent)
    : QObject(parent), m_location(std::move(location)), m_pendingPath(std::move(pendingPath))
{
    QFile file(m_pendingPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    bool ok = false;
    m_pending = InspectionJson::decode(file.readAll(), &ok);
    file.close();
    if (!ok) {
        // Not ours to throw away: kept under another name, where no store removes it.
        try {
            ArchiveDatabase::moveAside(m_pendingPath);
        } catch (const Failure &) {
        }
    }
}

void ArchiveWriter::store(const Inspection &inspection)
{
    m_pending.removeIf([&](const Inspection &p) { return p.uid == inspection.uid; });
    m_pending.append(inspection);
    storePending();
}

void ArchiveWriter::finish()
{
    storePending();
}

void ArchiveWriter::storePending()
{
    if (m_pending.isEmpty())
        return;
    for (int attempt = 0;; ++attempt) {
        try {
            ArchiveDatabase db(m_location);
            db.open();
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
                    Q_EMIT failed(kStoreFailure + e.reason() + QStringLiteral(" (") +
                                      moveFailure.text() + u')',
                                  kStoreFailureDesc);
                    break;
                }
            }
            Q_EMIT failed(kStoreFailure + e.reason(), kStoreFailureDesc);
            break;
        }
    }
    keepPending();
}

void ArchiveWriter::storeInto(ArchiveDatabase &db)
{
    if (!m_checked) {
        db.checkIntegrity();
        m_checked = true;
    }
    ArchiveStore store(db);
    while (!m_pending.isEmpty()) {
        Inspection inspection = m_pending.first();
        store.store(inspection);
        m_pending.removeFirst();
        Q_EMIT stored(inspection.id, inspection.uid);
    }
}

void ArchiveWriter::keepPending()
{
    // Best effort: the pending file is the last resort, and a failure to write
    // it leaves the inspections in memory all the same.
    try {
        if (m_pending.isEmpty()) {
            if (QFile::exists(m_pendingPath))
                QFile::remove(m_pendingPath);
        } else {
            SafeFile::write(m_pendingPath, InspectionJson::encode(m_pending));
        }
    } catch (const Failure &) {
    }
}
