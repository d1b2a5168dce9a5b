#include "ArchiveRollup.h"

#include "ArchiveDatabase.h"
#include "PointCatalogue.h"
#include "RowBatch.h"
#include "VerdictBands.h"

#include <QSqlQuery>
#include <QVariantList>
#include <algorithm>
#include <set>
#include <tuple>

namespace {

const QString kColumns = QStringLiteral("span, bucket, station, category, worst, point,"
                                        " n, total, squares, minimum, maximum");
constexpr int kColumnCount = 11;

// Readings a program of ours would read back (a shared database may hold others).
QString validReadings()
{
    return QStringLiteral("r.point >= 0 AND r.point < %1 AND r.value >= 0 AND r.value <= %2")
        .arg(PointCatalogue::kPointCount)
        .arg(VerdictBands::kLargest);
}

// The day rows of every inspection started since 1970, from the readings.
QString daysFromReadings()
{
    const QString keys = QStringLiteral("1, i.started_ms / %1, s.id, c.id, COALESCE(i.worst, -1)")
                             .arg(ArchiveRollup::kDayMs);
    const QString named = QStringLiteral(" JOIN label s ON s.kind = 0 AND s.name = i.station"
                                         " JOIN label c ON c.kind = 1 AND c.name = i.category");
    return QStringLiteral("SELECT ") + keys +
           QStringLiteral(", r.point, COUNT(*), SUM(r.value), SUM(CAST(r.value AS BIGINT) *"
                          " r.value), MIN(r.value), MAX(r.value) FROM reading r JOIN inspection i"
                          " ON i.id = r.inspection_id") +
           named + QStringLiteral(" WHERE i.started_ms >= 0 AND ") + validReadings() +
           QStringLiteral(" GROUP BY 1, 2, 3, 4, 5, 6 UNION ALL SELECT ") + keys +
           QStringLiteral(", -1, COUNT(*), 0, 0, 0, 0 FROM inspection i") + named +
           QStringLiteral(" WHERE i.started_ms >= 0 GROUP BY 1, 2, 3, 4, 5");
}

// The block rows summed from the day rows of `table`.
QString blocksFromDays(const QString &table)
{
    return QStringLiteral("SELECT %1, bucket / %1, station, category, worst, point, SUM(n),"
                          " SUM(total), SUM(squares), MIN(minimum), MAX(maximum) FROM ")
               .arg(ArchiveRollup::kBlockDays) +
           table + QStringLiteral(" WHERE span = 1 GROUP BY 2, 3, 4, 5, 6");
}

} // namespace

// A row of point_sums: span, bucket, station, category, worst, point.
struct ArchiveRollup::Key
{
    int span;
    qint64 bucket;
    qint64 station;
    qint64 category;
    int worst;
    int point;

    auto tied() const { return std::tie(span, bucket, station, category, worst, point); }
    bool operator<(const Key &o) const { return tied() < o.tied(); }
};

bool ArchiveRollup::Bucket::operator<(const Bucket &o) const
{
    return std::tie(station, category, worst, day) <
           std::tie(o.station, o.category, o.worst, o.day);
}

void ArchiveRollup::Sum::add(int value)
{
    minimum = n ? std::min(minimum, value) : value;
    maximum = n ? std::max(maximum, value) : value;
    ++n;
    total += value;
    squares += qint64(value) * value;
}

void ArchiveRollup::Sum::add(const Sum &other)
{
    if (!other.n)
        return;
    minimum = n ? std::min(minimum, other.minimum) : other.minimum;
    maximum = n ? std::max(maximum, other.maximum) : other.maximum;
    n += other.n;
    total += other.total;
    squares += other.squares;
}

void ArchiveRollup::update(const QList<Added> &added, const QList<Bucket> &changed)
{
    QList<Bucket> touched;
    for (const Added &a : added)
        touched.append(a.bucket);
    touched += changed;
    touched.removeIf([](const Bucket &b) { return b.day < 0; });
    if (touched.isEmpty())
        return;
    const auto ids = labels(touched);
    if (!m_db.isSqlite())
        lock(ids, touched);
    // The new inspections go into their day and block rows, as many as one
    // statement takes at a time.
    std::map<Key, Sum> rows;
    for (const Added &a : added) {
        if (a.bucket.day < 0)
            continue;
        const qint64 station = ids.at({0, a.bucket.station});
        const qint64 category = ids.at({1, a.bucket.category});
        for (const int span : {1, kBlockDays}) {
            const Key key{span, a.bucket.day / span, station, category, a.bucket.worst, -1};
            rows[key].n += 1;
            for (const auto &[point, sum] : a.points) {
                Key at = key;
                at.point = point;
                rows[at].add(sum);
            }
        }
    }
    add(rows);
    // Then the buckets a later store of an inspection left or entered are
    // summed again from their readings: a new one there is counted once.
    std::set<Bucket> days;
    std::set<Bucket> blocks;
    for (const Bucket &b : changed) {
        if (b.day < 0)
            continue;
        days.insert(b);
        Bucket block = b;
        block.day = b.day / kBlockDays * kBlockDays;
        blocks.insert(block);
    }
    for (const Bucket &b : days)
        sumAgain(b, ids.at({0, b.station}), ids.at({1, b.category}), 1);
    for (const Bucket &b : blocks)
        sumAgain(b, ids.at({0, b.station}), ids.at({1, b.category}), kBlockDays);
}

std::map<std::pair<int, QString>, qint64> ArchiveRollup::labels(const QList<Bucket> &buckets)
{
    std::set<std::pair<int, QString>> wanted;
    for (const Bucket &b : buckets) {
        wanted.insert({0, b.station});
        wanted.insert({1, b.category});
    }
    std::map<std::pair<int, QString>, qint64> ids;
    const auto find = [&] {
        QStringList terms;
        QVariantList values;
        for (const auto &[kind, name] : wanted) {
            if (ids.count({kind, name}))
                continue;
            terms.append(QStringLiteral("(kind = ? AND name = ?)"));
            values << kind << name;
        }
        if (terms.isEmpty())
            return;
        QSqlQuery q = m_db.exec(QStringLiteral("SELECT kind, name, id FROM label WHERE ") +
                                    terms.join(QStringLiteral(" OR ")),
                                values);
        while (q.next())
            ids[{q.value(0).toInt(), q.value(1).toString()}] = q.value(2).toLongLong();
    };
    find();
    if (ids.size() == wanted.size())
        return ids;
    // New names, in one order in every writer: two never wait for each other.
    QStringList marks;
    QVariantList values;
    for (const auto &[kind, name] : wanted) {
        if (ids.count({kind, name}))
            continue;
        marks.append(QStringLiteral("(?, ?)"));
        values << kind << name;
    }
    m_db.exec(QStringLiteral("INSERT INTO label (kind, name) VALUES ") + marks.join(u',') +
                  QStringLiteral(" ON CONFLICT (kind, name) DO NOTHING"),
              values);
    find();
    return ids;
}

void ArchiveRollup::lock(const std::map<std::pair<int, QString>, qint64> &ids,
                         const QList<Bucket> &buckets)
{
    // A lock of PostgreSQL's for one station's block, the same in every program.
    std::set<qint64> keys;
    for (const Bucket &b : buckets)
        keys.insert((ids.at({0, b.station}) << 32) | (b.day / kBlockDays));
    // In ascending order in every writer: none waits for a lock while
    // holding one the other waits for.
    for (qint64 key : keys)
        m_db.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(key));
}

void ArchiveRollup::add(const std::map<Key, Sum> &rows)
{
    const QString least = m_db.isSqlite() ? QStringLiteral("MIN") : QStringLiteral("LEAST");
    const QString greatest = m_db.isSqlite() ? QStringLiteral("MAX") : QStringLiteral("GREATEST");
    const QString upsert =
        QStringLiteral(" ON CONFLICT (span, bucket, station, category, worst, point) DO UPDATE"
                       " SET n = point_sums.n + excluded.n,"
                       " total = point_sums.total + excluded.total,"
                       " squares = point_sums.squares + excluded.squares,"
                       " minimum = %1(point_sums.minimum, excluded.minimum),"
                       " maximum = %2(point_sums.maximum, excluded.maximum)")
            .arg(least, greatest);
    const int perStatement = RowBatch::valuesPerStatement(m_db) / kColumnCount;
    const QString marks =
        u'(' + QStringList(kColumnCount, QStringLiteral("?")).join(QStringLiteral(", ")) + u')';
    // In key order: the rows are locked in one order in every writer.
    for (auto at = rows.begin(); at != rows.end();) {
        QStringList tuples;
        QVariantList values;
        for (; at != rows.end() && tuples.size() < perStatement; ++at) {
            const Key &k = at->first;
            const Sum &s = at->second;
            tuples.append(marks);
            values << k.span << k.bucket << k.station << k.category << k.worst << k.point << s.n
                   << s.total << s.squares << s.minimum << s.maximum;
        }
        m_db.exec(QStringLiteral("INSERT INTO point_sums (") + kColumns +
                      QStringLiteral(") VALUES ") + tuples.join(QStringLiteral(", ")) + upsert,
                  values);
    }
}

void ArchiveRollup::sumAgain(const Bucket &b, qint64 station, qint64 category, int span)
{
    const qint64 bucket = b.day / span;
    const QString key = QStringLiteral("%1, %2, %3, %4, %5")
                            .arg(span)
                            .arg(bucket)
                            .arg(station)
                            .arg(category)
                            .arg(b.worst);
    m_db.exec(QStringLiteral("DELETE FROM point_sums WHERE span = %1 AND bucket = %2"
                             " AND station = %3 AND category = %4 AND worst = %5")
                  .arg(span)
                  .arg(bucket)
                  .arg(station)
                  .arg(category)
                  .arg(b.worst));
    // The bucket's inspections through the station's index.
    const QString inBucket =
        (m_db.isSqlite() ? QStringLiteral("i.station")
                         : QStringLiteral("i.station COLLATE \"C\"")) +
        QStringLiteral(" = ? AND i.started_ms >= %1 AND i.started_ms < %2 AND i.category = ?"
                       " AND COALESCE(i.worst, -1) = %3")
            .arg(bucket * span * kDayMs)
            .arg((bucket + 1) * span * kDayMs)
            .arg(b.worst);
    m_db.exec(QStringLiteral("INSERT INTO point_sums (") + kColumns + QStringLiteral(") SELECT ") +
                  key +
                  QStringLiteral(", r.point, COUNT(*), SUM(r.value), SUM(CAST(r.value AS BIGINT)"
                                 " * r.value), MIN(r.value), MAX(r.value) FROM reading r JOIN"
                                 " inspection i ON i.id = r.inspection_id WHERE ") +
                  inBucket + QStringLiteral(" AND ") + validReadings() +
                  QStringLiteral(" GROUP BY r.point UNION ALL SELECT ") + key +
                  QStringLiteral(", -1, COUNT(*), 0, 0, 0, 0 FROM inspection i WHERE ") + inBucket +
                  QStringLiteral(" HAVING COUNT(*) > 0"),
              {b.station, b.category, b.station, b.category});
}

void ArchiveRollup::rebuild()
{
    m_db.begin();
    try {
        // Emptied at once (PostgreSQL: without leaving the old rows' space behind).
        m_db.exec(m_db.isSqlite() ? QStringLiteral("DELETE FROM point_sums")
                                  : QStringLiteral("TRUNCATE point_sums"));
        for (const char *kind : {"0, station", "1, category"})
            m_db.exec(QStringLiteral("INSERT INTO label (kind, name) SELECT DISTINCT %1 FROM"
                                     " inspection WHERE true ON CONFLICT (kind, name) DO NOTHING")
                          .arg(QLatin1StringView(kind)));
        m_db.exec(QStringLiteral("INSERT INTO point_sums (") + kColumns + QStringLiteral(") ") +
                  daysFromReadings());
        m_db.exec(QStringLiteral("INSERT INTO point_sums (") + kColumns + QStringLiteral(") ") +
                  blocksFromDays(QStringLiteral("point_sums")));
        m_db.commit();
    } catch (...) {
        m_db.rollback();
        throw;
    }
}

qint64 ArchiveRollup::differences()
{
    const QString fresh = QStringLiteral("WITH d (") + kColumns + QStringLiteral(") AS (") +
                          daysFromReadings() +
                          QStringLiteral("), f AS (SELECT * FROM d UNION ALL ") +
                          blocksFromDays(QStringLiteral("d")) + QStringLiteral("), r AS (SELECT ") +
                          kColumns + QStringLiteral(" FROM point_sums)");
    QSqlQuery query = m_db.exec(
        fresh + QStringLiteral(" SELECT (SELECT COUNT(*) FROM (SELECT * FROM r EXCEPT"
                               " SELECT * FROM f) x) + (SELECT COUNT(*) FROM (SELECT * FROM f"
                               " EXCEPT SELECT * FROM r) y)"));
    return query.next() ? query.value(0).toLongLong() : -1;
}
