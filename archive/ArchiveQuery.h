#pragma once

#include <QList>
#include <QStringList>
#include <QVariant>
#include <array>
#include <numeric>
#include <optional>

#include "ArchiveStore.h"
#include "PointStatistics.h"

class ArchiveDatabase;

// What the list is sorted by, and which way. Rows that tie are ordered by
// the moment they started, then by their id, the same way.
enum class ArchiveSortKey { Started, Category, Points, Readings, Worst, Station };

struct ArchiveOrder
{
    ArchiveSortKey key = ArchiveSortKey::Started;
    bool descending = true;
};

// Where a page ended: the next one starts after this row.
struct ArchiveCursor
{
    QVariant key;
    qint64 started = 0;
    qint64 id = 0;
};

// How many inspections of a group (a station, a category, or all: "") had
// each worst verdict, indexed by Verdict.
struct VerdictCounts
{
    QString group;
    std::array<qint64, 5> counts{};
    qint64 total() const { return std::accumulate(counts.begin(), counts.end(), qint64(0)); }
};

enum class ArchiveSplit { None, Station, Category };

struct ArchivePage
{
    QList<InspectionSummary> rows;
    std::optional<ArchiveCursor> next; // none after the last row
};

// The list of a large archive read a page at a time, filtered and sorted by
// the database through an index for each filter and sort; counts, verdict
// counts and the statistics of each point over a filter summed by the
// database from the sums kept for days and blocks of days (ArchiveRollup),
// the hours at the ends of a range from the inspections' own rows.
// Every failure is an ArchiveError.
class ArchiveQuery
{
public:
    explicit ArchiveQuery(ArchiveDatabase &db) : m_db(db) {}

    // Up to `limit` rows after `after` (from the first without); limit < 0: all.
    ArchivePage page(const ArchiveFilter &filter, const ArchiveOrder &order, int limit,
                     const std::optional<ArchiveCursor> &after = std::nullopt);
    qint64 count(const ArchiveFilter &filter);
    // The categories and the stations in the archive, sorted ("" for none).
    QStringList categories() { return distinct(QStringLiteral("category")); }
    QStringList stations() { return distinct(QStringLiteral("station")); }
    // One entry per point measured in the filter's inspections, by point;
    // `verdict` and `substrates` are not filled.
    QList<PointStatistics> statistics(const ArchiveFilter &filter);
    // The filter's inspections counted by worst verdict, one entry per
    // group in the group's order (one entry, group "", unsplit).
    QList<VerdictCounts> verdictCounts(const ArchiveFilter &filter, ArchiveSplit split);

private:
    struct Where
    {
        QString sql;
        QVariantList values;
        QString moment = QStringLiteral("started_ms"); // as the statement orders by it
    };
    struct Chunk
    {
        QList<InspectionSummary> rows;
        QVariant lastKey; // the sort key of the last row
        bool more = false;
    };
    Where where(const ArchiveFilter &filter, const QString &prefix = {});
    Chunk fetch(const Where &w, const QString &key, const ArchiveOrder &order, int limit);
    QString verdictOf(const ArchiveFilter &filter, const QString &prefix = {});
    QString keyOf(ArchiveSortKey key, const ArchiveFilter &filter);
    QString text(const QString &column) const;
    QStringList distinct(const QString &column);
    bool allJudged();
    // What the parts of a sum give: per point (point, n, total, squares,
    // minimum, maximum); the count of inspections as point -1 in the same
    // columns; or per group and worst verdict (g, v, n).
    enum class Measure { Points, Count, Verdicts };
    struct Sums
    {
        Measure measure = Measure::Points;
        ArchiveSplit split = ArchiveSplit::None;
    };
    // The parts that together sum the filter's inspections: whole UTC days
    // and blocks from the kept sums, the rest from the inspections' rows.
    Where parts(const ArchiveFilter &filter, const Sums &sums);
    // Those started in [from, to) (and `also`) summed from their rows.
    Where fromRows(ArchiveFilter filter, qint64 from, qint64 to, const Sums &sums,
                   const QString &also = {});
    // The kept sums of the buckets [first, end) of a span.
    Where fromKept(const ArchiveFilter &filter, int span, qint64 first, qint64 end,
                   const Sums &sums);

    ArchiveDatabase &m_db;
    std::optional<bool> m_allJudged;
};
