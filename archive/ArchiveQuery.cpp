#include "ArchiveQuery.h"

#include "ArchiveDatabase.h"
#include "ArchiveRollup.h"
#include "ArchiveSchema.h"
#include "PointCatalogue.h"

#include <QHash>
#include <QSqlQuery>
#include <cmath>
#include <limits>

namespace {

QVariant ms(const QDateTime &time)
{
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant(qint64(0));
}

std::optional<int> optionalInt(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional(value.toInt());
}

constexpr qint64 kNoEnd = qint64(1) << 62;

} // namespace

QString ArchiveQuery::text(const QString &column) const
{
    // The same order on both: by code point, as SQLite compares.
    return m_db.isSqlite() ? column : column + QStringLiteral(" COLLATE \"C\"");
}

QString ArchiveQuery::verdictOf(const ArchiveFilter &filter, const QString &prefix)
{
    QString today = ArchiveSchema::worstVerdict(m_db.isSqlite(), filter.bands);
    if (!prefix.isEmpty()) {
        for (const char *column : {"fe_min", "fe_max", "al_min", "al_max"})
            today.replace(QLatin1StringView(column), prefix + QLatin1StringView(column));
    }
    if (filter.rejudging)
        return today;
    // Inspections stored without limits are judged with today's; the stored
    // verdict alone goes through its index.
    return allJudged() ? prefix + QStringLiteral("worst")
                       : QStringLiteral("COALESCE(%1worst, %2)").arg(prefix, today);
}

ArchiveQuery::Where ArchiveQuery::where(const ArchiveFilter &filter, const QString &prefix)
{
    Where w{prefix + QStringLiteral("started_ms >= ? AND ") + prefix +
                QStringLiteral("started_ms < ?"),
            {ms(filter.from), filter.to.isValid() ? ms(filter.to) : QVariant(kNoEnd)}};
    if (filter.category) {
        w.sql += QStringLiteral(" AND ") + text(prefix + QStringLiteral("category")) +
                 QStringLiteral(" = ?");
        w.values.append(filter.category->isNull() ? QStringLiteral("") : *filter.category);
    }
    if (filter.station) {
        w.sql += QStringLiteral(" AND ") + text(prefix + QStringLiteral("station")) +
                 QStringLiteral(" = ?");
        w.values.append(filter.station->isNull() ? QStringLiteral("") : *filter.station);
    }
    if (filter.verdict) {
        w.sql += QStringLiteral(" AND ") + verdictOf(filter, prefix) +
                 (filter.orWorse ? QStringLiteral(" >= ?") : QStringLiteral(" = ?"));
        w.values.append(int(*filter.verdict));
    }
    return w;
}

QString ArchiveQuery::keyOf(ArchiveSortKey key, const ArchiveFilter &filter)
{
    switch (key) {
    case ArchiveSortKey::Started:
        break;
    case ArchiveSortKey::Category:
        return text(QStringLiteral("category"));
    case ArchiveSortKey::Points:
        return QStringLiteral("points_measured");
    case ArchiveSortKey::Readings:
        return QStringLiteral("reading_count");
    case ArchiveSortKey::Worst:
        return verdictOf(filter);
    case ArchiveSortKey::Station:
        return text(QStringLiteral("station"));
    }
    return QStringLiteral("started_ms");
}

ArchiveQuery::Chunk ArchiveQuery::fetch(const Where &w, const QString &key,
                                        const ArchiveOrder &order, int limit)
{
    const bool byMoment = order.key == ArchiveSortKey::Started;
    const QString way = order.descending ? QStringLiteral(" DESC") : QString();
    QString sql = QStringLiteral("SELECT id, started_ms, category, station, points_measured,"
                                 " reading_count, fe_min, fe_max, al_min, al_max, ") +
                  ArchiveStore::kLimitColumns + QStringLiteral(", interrupted, ") + key +
                  QStringLiteral(" FROM inspection WHERE ") + w.sql + QStringLiteral(" ORDER BY ");
    // The key, then the moment and the id, all one way: one index serves it.
    if (!byMoment)
        sql += key + way + QStringLiteral(", ");
    sql += QStringLiteral("started_ms") + way + QStringLiteral(", id") + way;
    if (limit >= 0)
        sql +=
            QStringLiteral(" LIMIT %1").arg(qint64(limit) + 1); // one more: is there a next page?
    QSqlQuery query = m_db.exec(sql, w.values);
    Chunk out;
    QHash<QString, QString> shared; // one copy of each category and station text
    const auto intern = [&shared](const QString &text) {
        auto at = shared.constFind(text);
        return at != shared.constEnd() ? *at : *shared.insert(text, text);
    };
    while (query.next()) {
        if (limit >= 0 && out.rows.size() == limit) {
            out.more = true;
            break;
        }
        InspectionSummary s;
        s.id = query.value(0).toLongLong();
        s.started = QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong(), Qt::UTC);
        s.category = intern(query.value(2).toString());
        s.station = intern(query.value(3).toString());
        s.pointsMeasured = query.value(4).toInt();
        s.readingCount = query.value(5).toInt();
        for (int i = 0; i < kSubstrateCount; ++i) {
            s.minimum[i] = optionalInt(query.value(6 + 2 * i));
            s.maximum[i] = optionalInt(query.value(7 + 2 * i));
        }
        s.judgedWith = ArchiveStore::limitsAt(query, 10);
        s.interrupted = query.value(16).toInt() == 1;
        out.lastKey = query.value(17);
        out.rows.append(s);
    }
    return out;
}

ArchivePage ArchiveQuery::page(const ArchiveFilter &filter, const ArchiveOrder &order, int limit,
                               const std::optional<ArchiveCursor> &after)
{
    const Where base = where(filter);
    const bool byMoment = order.key == ArchiveSortKey::Started;
    const QString key = keyOf(order.key, filter);
    Chunk got;
    if (!after) {
        got = fetch(base, key, order, limit);
    } else {
        // After the last row: written so that the index is entered at that
        // row (a row-value comparison would be read from the start). First
        // the rest of the last row's key, then the keys beyond it.
        const QString beyond = order.descending ? QStringLiteral(" < ") : QStringLiteral(" > ");
        const QString upTo = order.descending ? QStringLiteral(" <= ") : QStringLiteral(" >= ");
        Where rest = base;
        if (!byMoment) {
            rest.sql += QStringLiteral(" AND ") + key + QStringLiteral(" = ?");
            rest.values.append(after->key);
        }
        rest.sql += QStringLiteral(" AND started_ms") + upTo + QStringLiteral("? AND (started_ms") +
                    beyond + QStringLiteral("? OR id") + beyond + QStringLiteral("?)");
        rest.values << after->started << after->started << after->id;
        got = fetch(rest, key, order, limit);
        if (!byMoment && !got.more) {
            Where next = base;
            next.sql += QStringLiteral(" AND ") + key + beyond + QStringLiteral("?");
            next.values.append(after->key);
            const int left = limit < 0 ? -1 : limit - int(got.rows.size());
            Chunk more = fetch(next, key, order, left);
            got.more = more.more;
            if (!more.rows.isEmpty()) {
                got.rows += more.rows;
                got.lastKey = more.lastKey;
            }
        }
    }
    ArchivePage out;
    out.rows = std::move(got.rows);
    if (got.more && !out.rows.isEmpty())
        out.next = ArchiveCursor{got.lastKey, out.rows.constLast().started.toMSecsSinceEpoch(),
                                 out.rows.constLast().id};
    return out;
}

qint64 ArchiveQuery::count(const ArchiveFilter &filter)
{
    // Over years, from the counts kept per day and block as the statistics.
    const Where all = sums(filter, true);
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT CAST(SUM(n) AS BIGINT) FROM (") + all.sql +
                                    QStringLiteral(") parts"),
                                all.values);
    return query.next() ? query.value(0).toLongLong() : 0;
}

QStringList ArchiveQuery::distinct(const QString &column)
{
    // One step through the column's index per value, not a pass over every row.
    const QString c = text(column);
    QSqlQuery query =
        m_db.exec(QStringLiteral("WITH RECURSIVE v(x) AS (SELECT MIN(%1) FROM inspection UNION ALL"
                                 " SELECT (SELECT MIN(%1) FROM inspection WHERE %1 > v.x) FROM v"
                                 " WHERE v.x IS NOT NULL) SELECT x FROM v WHERE x IS NOT NULL")
                      .arg(c));
    QStringList out;
    while (query.next())
        out.append(query.value(0).toString());
    return out;
}

bool ArchiveQuery::allJudged()
{
    if (!m_allJudged) {
        QSqlQuery unjudged =
            m_db.exec(QStringLiteral("SELECT 1 FROM inspection WHERE worst IS NULL LIMIT 1"));
        m_allJudged = !unjudged.next();
    }
    return *m_allJudged;
}

ArchiveQuery::Where ArchiveQuery::summed(ArchiveFilter filter, qint64 from, qint64 to,
                                         bool counting, const QString &also)
{
    filter.from = QDateTime::fromMSecsSinceEpoch(from, Qt::UTC);
    filter.to = QDateTime::fromMSecsSinceEpoch(to, Qt::UTC);
    Where w = where(filter, QStringLiteral("i."));
    w.sql = (counting ? QStringLiteral("SELECT -1 point, COUNT(*) n, 0 total, 0 squares,"
                                       " 0 minimum, 0 maximum FROM inspection i WHERE ")
                      : QStringLiteral("SELECT s.point, SUM(s.n) n, SUM(s.total) total,"
                                       " SUM(s.squares) squares, MIN(s.minimum) minimum,"
                                       " MAX(s.maximum) maximum FROM point_summary s"
                                       " JOIN inspection i ON i.id = s.inspection_id WHERE ")) +
            w.sql + also + (counting ? QString() : QStringLiteral(" GROUP BY s.point"));
    return w;
}

ArchiveQuery::Where ArchiveQuery::sums(const ArchiveFilter &filter, bool counting)
{
    const qint64 from = ms(filter.from).toLongLong();
    const qint64 to = filter.to.isValid() ? filter.to.toMSecsSinceEpoch() : kNoEnd;
    if (!m_rollups)
        m_rollups = ArchiveSchema::version(m_db) >= 6;
    // Whole UTC days inside the range come from the sums kept per day and
    // per block of days; the ends, and what the stored verdict cannot
    // answer, from the sums of each inspection.
    constexpr qint64 day = ArchiveRollup::kDayMs;
    constexpr qint64 block = ArchiveRollup::kBlockDays;
    const qint64 firstDay = from <= 0 ? 0 : (from + day - 1) / day;
    const qint64 endDay = to <= 0 ? 0 : to / day;
    QList<Where> parts;
    if (!*m_rollups || (filter.verdict && filter.rejudging) || firstDay >= endDay) {
        parts.append(summed(filter, from, to, counting));
    } else {
        if (from < firstDay * day)
            parts.append(summed(filter, from, firstDay * day, counting));
        if (endDay * day < to)
            parts.append(summed(filter, endDay * day, to, counting));
        Where kept{
            QStringLiteral("SELECT point, SUM(n) n, SUM(total) total, SUM(squares) squares,"
                           " MIN(minimum) minimum, MAX(maximum) maximum FROM point_rollup"
                           " WHERE grain = ? AND category = ? AND worst ") +
                (filter.verdict && filter.orWorse ? QStringLiteral(">= ? AND ")
                                                  : QStringLiteral("= ? AND ")) +
                (counting ? QStringLiteral("point = -1") : QStringLiteral("point >= 0")),
            {(filter.category ? ArchiveRollup::Category : 0) |
                 (filter.verdict ? ArchiveRollup::Verdict : 0),
             filter.category && !filter.category->isNull() ? *filter.category : QStringLiteral(""),
             filter.verdict ? int(*filter.verdict) : -1}};
        if (filter.station) {
            kept.sql += QStringLiteral(" AND station = ?");
            kept.values.append(filter.station->isNull() ? QStringLiteral("") : *filter.station);
        }
        const auto buckets = [&](qint64 span, qint64 first, qint64 end) {
            if (first >= end)
                return;
            Where w = kept;
            w.sql += QStringLiteral(" AND span = ? AND bucket >= ? AND bucket < ? GROUP BY point");
            w.values << span << first << end;
            parts.append(w);
        };
        const qint64 firstBlock = (firstDay + block - 1) / block;
        const qint64 endBlock = endDay / block;
        if (firstBlock < endBlock) {
            buckets(1, firstDay, firstBlock * block);
            buckets(block, firstBlock, endBlock);
            buckets(1, endBlock * block, endDay);
        } else {
            buckets(1, firstDay, endDay);
        }
        // Inspections stored without limits are judged one by one.
        if (filter.verdict && !allJudged())
            parts.append(summed(filter, firstDay * day, endDay * day, counting,
                                QStringLiteral(" AND i.worst IS NULL")));
    }
    Where all;
    for (const Where &part : parts) {
        all.sql += (all.sql.isEmpty() ? QString() : QStringLiteral(" UNION ALL ")) + part.sql;
        all.values += part.values;
    }
    return all;
}

QList<PointStatistics> ArchiveQuery::statistics(const ArchiveFilter &filter)
{
    const Where all = sums(filter, false);
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT point, CAST(SUM(n) AS BIGINT), MIN(minimum),"
                                 " MAX(maximum), CAST(SUM(total) AS BIGINT),"
                                 " CAST(SUM(squares) AS BIGINT) FROM (") +
                      all.sql + QStringLiteral(") parts GROUP BY point ORDER BY point"),
                  all.values);
    QList<PointStatistics> out;
    while (query.next()) {
        PointStatistics s;
        s.point = query.value(0).toInt();
        const qint64 n = query.value(1).toLongLong();
        if (!PointCatalogue::isValidIndex(s.point) || n <= 0)
            continue;
        s.n = int(std::min<qint64>(n, std::numeric_limits<int>::max()));
        s.minimum = query.value(2).toInt();
        s.maximum = query.value(3).toInt();
        // Exact integers from the database (cast: PostgreSQL's numeric sums
        // reach Qt as doubles); long double keeps the difference of the two
        // large sums from losing the deviation.
        const long double total = query.value(4).toLongLong();
        const long double squares = query.value(5).toLongLong();
        s.mean = double(total / n);
        if (n > 1) {
            const long double spread = (squares - total * total / n) / (n - 1);
            s.deviation = double(std::sqrt(std::max<long double>(0, spread)));
        }
        out.append(s);
    }
    return out;
}

QList<VerdictCounts> ArchiveQuery::verdictCounts(const ArchiveFilter &filter, ArchiveSplit split)
{
    const QString group = split == ArchiveSplit::Station    ? text(QStringLiteral("station"))
                          : split == ArchiveSplit::Category ? text(QStringLiteral("category"))
                                                            : QStringLiteral("''");
    const Where w = where(filter);
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT g, v, COUNT(*) FROM (SELECT %1 g, %2 v"
                                 " FROM inspection WHERE %3) grouped"
                                 " GROUP BY g, v ORDER BY %4")
                      .arg(group, verdictOf(filter), w.sql, text(QStringLiteral("g"))),
                  w.values);
    QList<VerdictCounts> out;
    while (query.next()) {
        const QString g = query.value(0).toString();
        if (out.isEmpty() || out.constLast().group != g)
            out.append(VerdictCounts{g, {}});
        const int v = query.value(1).toInt();
        if (v >= 0 && v < int(out.last().counts.size()))
            out.last().counts[size_t(v)] += query.value(2).toString().toLongLong();
    }
    return out;
}
