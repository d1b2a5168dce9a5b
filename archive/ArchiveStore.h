#pragma once

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>

#include "Inspection.h"

class ArchiveDatabase;

// Which inspections the list shows: started within [from, to), of one
// category (an empty text: those without) or of every category.
struct ArchiveFilter
{
    QDateTime from;
    QDateTime to;
    std::optional<QString> category;
};

// Reading and writing inspections over an open connection. Every failure is
// an ArchiveError.
class ArchiveStore
{
public:
    explicit ArchiveStore(ArchiveDatabase &db) : m_db(db) {}

    // Writes the inspection in one transaction; an inspection with the same
    // uid is replaced whole. Sets its id.
    void store(Inspection &inspection);
    // Many inspections in one transaction (for building large archives).
    void storeAll(QList<Inspection> &inspections);

    std::optional<Inspection> load(qint64 id);
    // Sets the plate and the inspector of a stored inspection (an empty text
    // clears one); throws when there is no such inspection.
    void setDetails(qint64 id, const QString &plate, const QString &inspector);
    QList<InspectionSummary> list(const ArchiveFilter &filter);
    // The categories in the archive, sorted; "" for inspections without one.
    QStringList categories();
    int count();
    // Changes whenever an inspection is added or stored again.
    QString changeStamp();

private:
    void write(Inspection &inspection);

    ArchiveDatabase &m_db;
};
