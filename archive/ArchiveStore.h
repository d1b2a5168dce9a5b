#pragma once

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>

#include "Inspection.h"

class ArchiveDatabase;
class QSqlQuery;

// Which inspections the list shows: started within [from, to), of one
// category (an empty text: those without) or of every category, of one
// station or of all, of one worst verdict (or that one and the worse ones) or of any.
struct ArchiveFilter
{
    ArchiveFilter(QDateTime from = {}, QDateTime to = {}, std::optional<QString> category = {})
        : from(std::move(from)), to(std::move(to)), category(std::move(category))
    {
    }

    QDateTime from;
    QDateTime to;
    std::optional<QString> category;
    std::optional<QString> station;
    std::optional<Verdict> verdict;
    bool orWorse = false; // with `verdict`: a worse worst verdict matches too
    // Inspections whose plate or VIN begins with it, ignoring case, blanks and
    // hyphens; empty: all.
    QString search;
    // How the verdict is found: with today's limits when re-judging, and for
    // inspections stored without limits; otherwise with the stored ones.
    VerdictBands bands;
    bool rejudging = false;
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
    // Sets what was typed for a stored inspection, all of it (an empty text
    // or no odometer reading clears one); throws when there is no such
    // inspection. The wizard's later stores of it keep what is set.
    void setDetails(qint64 id, const TypedDetails &details);
    // The one field of the window before plate and VIN were apart: a VIN goes
    // to the VIN, anything else to the plate, replacing what the field showed
    // (the plate, else the VIN); the rest stays.
    void setDetails(qint64 id, const QString &plateOrVin, const QString &inspector);
    QList<InspectionSummary> list(const ArchiveFilter &filter);
    // The categories in the archive, sorted; "" for inspections without one.
    QStringList categories();
    int count();
    // Changes whenever an inspection is added, stored again or given a plate
    // or an inspector: each write marks the rows it touches with the next
    // number of the `changed` column.
    QString changeStamp();
    // How many of the latest marks the stamp sums.
    static constexpr int kStampRows = 1000;

    // The six limit columns, FE then AL, each thin/factory/repainted, and
    // the limits read from them starting at column `first` (none when any
    // is missing or they are out of order).
    static inline const QString kLimitColumns =
        QStringLiteral("fe_thin_below, fe_factory_up_to, fe_repainted_up_to,"
                       " al_thin_below, al_factory_up_to, al_repainted_up_to");
    static std::optional<VerdictBands> limitsAt(const QSqlQuery &query, int first);

private:
    struct Batches;
    void writeHeads(QList<Inspection> &inspections, qsizetype first, qsizetype count,
                    Batches &batches);
    // Replaces an inspection stored before when this is a later store of it.
    bool rewrite(Inspection &inspection, Batches &batches);
    void writeRows(const Inspection &inspection, Batches &batches);
    // The mark of the next write: one above the highest stored.
    qint64 nextChange();

    ArchiveDatabase &m_db;
    qint64 m_change = 0; // the mark of the rows the running transaction writes
};
