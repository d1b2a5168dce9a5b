#include "ArchiveRollup.h"

#include "ArchiveDatabase.h"

#include <algorithm>
#include <set>

namespace {

const QString kColumns = QStringLiteral("grain, category, worst, span, bucket, station, point,"
                                        " n, total, squares, minimum, maximum");
const QString kKey = QStringLiteral("grain, category, worst, span, bucket, station, point");
const QString kSums = QStringLiteral("SUM(s.n), SUM(s.total), SUM(s.squares), MIN(s.minimum),"
                                     " MAX(s.maximum)");
const QString kAllGrains =
    QStringLiteral("(SELECT 0 AS grain UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3)");

QString day()
{
    return QStringLiteral("i.started_ms / %1").arg(ArchiveRollup::kDayMs);
}

// The rows of the inspections (i) `where` picks, each split as the grain of
// g says, in the span and bucket given: per point summed from point_summary
// (s), and how many inspections as point -1 (also those without readings).
// `where` is used twice: its values are bound twice.
QString summed(const QString &joined, const QString &span, const QString &bucket,
               const QString &where)
{
    const QString keys = QStringLiteral("g.grain, CASE WHEN g.grain IN (1, 3) THEN i.category"
                                        " ELSE '' END, CASE WHEN g.grain >= 2 THEN"
                                        " COALESCE(i.worst, -1) ELSE -1 END, ") +
                         span + QStringLiteral(", ") + bucket + QStringLiteral(", i.station");
    const QString picked = QStringLiteral(" CROSS JOIN ") + joined +
                           QStringLiteral(" WHERE i.started_ms >= 0 AND ") + where;
    return QStringLiteral("SELECT ") + keys + QStringLiteral(", s.point, ") + kSums +
           QStringLiteral(" FROM inspection i JOIN point_summary s ON s.inspection_id = i.id") +
           picked + QStringLiteral(" GROUP BY 1, 2, 3, 4, 5, 6, 7 UNION ALL SELECT ") + keys +
           QStringLiteral(", -1, COUNT(*), 0, 0, 0, 0 FROM inspection i") + picked +
           QStringLiteral(" GROUP BY 1, 2, 3, 4, 5, 6 ORDER BY 1, 2, 3, 4, 5, 6, 7");
}

// The day rows of the inspections `where` picks, for each grain of `grains`.
QString daysFromSummaries(const QString &grains, const QString &where)
{
    return summed(grains + QStringLiteral(" g"), QStringLiteral("1"), day(), where);
}

// The block rows summed from the day rows of `table` that `where` picks.
QString blocksFromDays(const QString &table, const QString &where)
{
    const QString block = QStringLiteral("bucket / %1").arg(ArchiveRollup::kBlockDays);
    const QString group =
        QStringLiteral("grain, category, worst, ") + block + QStringLiteral(", station, point");
    return QStringLiteral("SELECT grain, category, worst, %1, ").arg(ArchiveRollup::kBlockDays) +
           block +
           QStringLiteral(", station, point, SUM(n), SUM(total), SUM(squares), MIN(minimum),"
                          " MAX(maximum) FROM ") +
           table + QStringLiteral(" WHERE span = 1 AND ") + where + QStringLiteral(" GROUP BY ") +
           group + QStringLiteral(" ORDER BY ") + group;
}

// Everything summed afresh: the days of every inspection, split by both,
// then the coarser grains from those, then the blocks.
QStringList fill()
{
    return {
        QStringLiteral("INSERT INTO point_rollup (") + kColumns + QStringLiteral(") ") +
            daysFromSummaries(QStringLiteral("(SELECT 3 AS grain)"), QStringLiteral("1 = 1")),
        QStringLiteral("INSERT INTO point_rollup (") + kColumns +
            QStringLiteral(") SELECT g.grain, CASE WHEN g.grain = 1 THEN r.category ELSE '' END,"
                           " CASE WHEN g.grain = 2 THEN r.worst ELSE -1 END, 1, r.bucket,"
                           " r.station, r.point, SUM(r.n), SUM(r.total), SUM(r.squares),"
                           " MIN(r.minimum), MAX(r.maximum) FROM point_rollup r CROSS JOIN"
                           " (SELECT 0 AS grain UNION ALL SELECT 1 UNION ALL SELECT 2) g"
                           " WHERE r.grain = 3 AND r.span = 1 GROUP BY 1, 2, 3, 5, 6, 7"
                           " ORDER BY 1, 2, 3, 5, 6, 7"),
        QStringLiteral("INSERT INTO point_rollup (") + kColumns + QStringLiteral(") ") +
            blocksFromDays(QStringLiteral("point_rollup"), QStringLiteral("1 = 1")),
    };
}

// A lock key of PostgreSQL's for one station's block: the same in every
// program of ours (FNV-1a of the name, not a hash of this process's).
qint64 lockKey(const QString &station, qint64 block)
{
    quint32 h = 2166136261u;
    for (const char c : station.toUtf8()) {
        h ^= quint8(c);
        h *= 16777619u;
    }
    return qint64((quint64(h) << 32) | quint32(block));
}

} // namespace

void ArchiveRollup::update(const QList<qint64> &added, const QList<Day> &days,
                           const QList<Day> &changed)
{
    if (added.isEmpty() && changed.isEmpty())
        return;
    if (!m_db.isSqlite())
        lock(days + changed);
    // The new inspections are added to their day and block rows.
    const QString addTo =
        QStringLiteral("INSERT INTO point_rollup (") + kColumns + QStringLiteral(") ") +
        summed(kAllGrains + QStringLiteral(" g CROSS JOIN (SELECT 1 AS span UNION ALL SELECT %1) z")
                                .arg(kBlockDays),
               QStringLiteral("z.span"),
               QStringLiteral("CASE WHEN z.span = 1 THEN ") + day() + QStringLiteral(" ELSE ") +
                   day() + QStringLiteral(" / %1 END").arg(kBlockDays),
               QStringLiteral("i.id IN (ids)")) +
        // Rows are locked in the order given, the same in every writer.
        QStringLiteral(" ON CONFLICT (") + kKey +
        QStringLiteral(") DO UPDATE SET n = point_rollup.n + excluded.n,"
                       " total = point_rollup.total + excluded.total,"
                       " squares = point_rollup.squares + excluded.squares,"
                       " minimum = %1(point_rollup.minimum, excluded.minimum),"
                       " maximum = %2(point_rollup.maximum, excluded.maximum)")
            .arg(m_db.isSqlite() ? QStringLiteral("MIN") : QStringLiteral("LEAST"),
                 m_db.isSqlite() ? QStringLiteral("MAX") : QStringLiteral("GREATEST"));
    constexpr qsizetype kIdsPerStatement = 500;
    for (qsizetype first = 0; first < added.size(); first += kIdsPerStatement) {
        const qsizetype count = std::min(kIdsPerStatement, added.size() - first);
        QVariantList ids;
        for (qsizetype n = first; n < first + count; ++n)
            ids.append(added.at(n));
        m_db.exec(QString(addTo).replace(QStringLiteral("(ids)"),
                                         u'(' + QStringList(count, QStringLiteral("?")).join(u',') +
                                             u')'),
                  ids + ids);
    }
    // The days an inspection left or entered, then their blocks.
    std::set<std::pair<QString, qint64>> blocks;
    for (const Day &d : QSet<Day>(changed.begin(), changed.end())) {
        sumDay(d);
        blocks.insert({d.station, d.day / kBlockDays});
    }
    for (const auto &[station, block] : blocks)
        sumBlock(station, block);
}

void ArchiveRollup::lock(const QList<Day> &days)
{
    std::set<qint64> keys;
    for (const Day &d : days)
        keys.insert(lockKey(d.station, d.day / kBlockDays));
    // In ascending order in every writer: none waits for a lock while
    // holding one the other waits for.
    QSqlQuery take = m_db.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
    for (qint64 key : keys)
        m_db.run(take, {key});
}

void ArchiveRollup::sumDay(const Day &d)
{
    m_db.exec(QStringLiteral("DELETE FROM point_rollup WHERE station = ? AND span = 1"
                             " AND bucket = ?"),
              {d.station, d.day});
    const QString station =
        m_db.isSqlite() ? QStringLiteral("i.station") : QStringLiteral("i.station COLLATE \"C\"");
    m_db.exec(
        QStringLiteral("INSERT INTO point_rollup (") + kColumns + QStringLiteral(") ") +
            daysFromSummaries(kAllGrains, station + QStringLiteral(" = ? AND i.started_ms >= ?"
                                                                   " AND i.started_ms < ?")),
        {d.station, d.day * kDayMs, (d.day + 1) * kDayMs, d.station, d.day * kDayMs,
         (d.day + 1) * kDayMs});
}

void ArchiveRollup::sumBlock(const QString &station, qint64 block)
{
    m_db.exec(QStringLiteral("DELETE FROM point_rollup WHERE station = ? AND span = %1"
                             " AND bucket = ?")
                  .arg(kBlockDays),
              {station, block});
    m_db.exec(QStringLiteral("INSERT INTO point_rollup (") + kColumns + QStringLiteral(") ") +
                  blocksFromDays(QStringLiteral("point_rollup"),
                                 QStringLiteral("station = ? AND bucket >= ? AND bucket < ?")),
              {station, block * kBlockDays, (block + 1) * kBlockDays});
}

void ArchiveRollup::rebuild()
{
    m_db.begin();
    try {
        m_db.exec(QStringLiteral("DELETE FROM point_rollup"));
        for (const QString &sql : fill())
            m_db.exec(sql);
        m_db.commit();
    } catch (...) {
        m_db.rollback();
        throw;
    }
}

qint64 ArchiveRollup::differences()
{
    const QString fresh =
        QStringLiteral("WITH d (") + kColumns + QStringLiteral(") AS (") +
        daysFromSummaries(kAllGrains, QStringLiteral("1 = 1")) + QStringLiteral("), f (") +
        kColumns + QStringLiteral(") AS (SELECT * FROM d UNION ALL SELECT * FROM (") +
        blocksFromDays(QStringLiteral("d"), QStringLiteral("1 = 1")) +
        QStringLiteral(") b), r AS (SELECT ") + kColumns + QStringLiteral(" FROM point_rollup)");
    QSqlQuery query = m_db.exec(
        fresh + QStringLiteral(" SELECT (SELECT COUNT(*) FROM (SELECT * FROM r EXCEPT"
                               " SELECT * FROM f) x) + (SELECT COUNT(*) FROM (SELECT * FROM f"
                               " EXCEPT SELECT * FROM r) y)"));
    return query.next() ? query.value(0).toLongLong() : -1;
}
