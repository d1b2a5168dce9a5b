#include "ArchiveQuery.h"

#include "ArchiveDatabase.h"
#include "ArchiveRollup.h"
#include "ArchiveSchema.h"
#include "InspectionDetails.h"
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
    const QString key = InspectionDetails::searchKey(filter.search);
    // Both engines walk the moment's index for the newest rows and test each
    // against a search that matches few (1.5-2 s at 2,000,000 inspections);
    // the moment written as an expression leaves them the plate's and the
    // VIN's indexes. A short search matches so many that the walk is
    // quicker: one character on SQLite, two on PostgreSQL.
    QString started = prefix + QStringLiteral("started_ms");
    if (m_db.isSqlite() && key.size() > 1)
        started = u'+' + started;
    else if (!m_db.isSqlite() && key.size() > 2)
        started = u'(' + started + QStringLiteral(" + 0)");
    Where w{started + QStringLiteral(" >= ? AND ") + started + QStringLiteral(" < ?"),
            {ms(filter.from), filter.to.isValid() ? ms(filter.to) : QVariant(kNoEnd)},
            started};
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
    if (!key.isEmpty()) {
        // The beginning of the plate's search key or of the VIN, each through
        // its index: from the key up to the key with its last character
        // raised by one (texts compare by code point on both engines).
        QList<uint> last = key.toUcs4();
        ++last.last();
        const QString beyond = QString::fromUcs4(last.constData(), last.size());
        const QString plate =
            text(QStringLiteral("replace(replace(%1plate, ' ', ''), '-', '')").arg(prefix));
        const QString vin = text(prefix + QStringLiteral("vin"));
        w.sql += QStringLiteral(" AND ((%1plate <> '' AND %2 >= ? AND %2 < ?)"
                                " OR (%1vin <> '' AND %3 >= ? AND %3 < ?))")
                     .arg(prefix, plate, vin);
        w.values << key << beyond << key << beyond;
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
                  ArchiveStore::kLimitColumns + QStringLiteral(", plate, vin, interrupted, ") +
                  key + QStringLiteral(" FROM inspection WHERE ") + w.sql +
                  QStringLiteral(" ORDER BY ");
    // The key, then the moment and the id, all one way: one index serves it.
    if (!byMoment)
        sql += key + way + QStringLiteral(", ");
    sql += w.moment + way + QStringLiteral(", id") + way;
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
        s.plate = query.value(16).toString();
        s.vin = query.value(17).toString();
        s.interrupted = query.value(18).toInt() == 1;
        out.lastKey = query.value(19);
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
        rest.sql += QStringLiteral(" AND ") + base.moment + upTo + QStringLiteral("? AND (") +
                    base.moment + beyond + QStringLiteral("? OR id") + beyond +
                    QStringLiteral("?)");
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
    const Where all = parts(filter, {Measure::Count});
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

ArchiveQuery::Where ArchiveQuery::fromRows(ArchiveFilter filter, qint64 from, qint64 to,
                                           const Sums &sums, const QString &also)
{
    filter.from = QDateTime::fromMSecsSinceEpoch(from, Qt::UTC);
    filter.to = QDateTime::fromMSecsSinceEpoch(to, Qt::UTC);
    Where w = where(filter, QStringLiteral("i."));
    w.sql += also;
    switch (sums.measure) {
    case Measure::Points:
        w.sql = QStringLiteral("SELECT r.point, COUNT(*) n, SUM(r.value) total,"
                               " SUM(CAST(r.value AS BIGINT) * r.value) squares,"
                               " MIN(r.value) minimum, MAX(r.value) maximum FROM reading r"
                               " JOIN inspection i ON i.id = r.inspection_id WHERE r.point >= 0"
                               " AND r.point < %1 AND r.value >= 0 AND r.value <= %2 AND ")
                    .arg(PointCatalogue::kPointCount)
                    .arg(VerdictBands::kLargest) +
                w.sql + QStringLiteral(" GROUP BY r.point");
        break;
    case Measure::Count:
        w.sql = QStringLiteral("SELECT -1 point, COUNT(*) n, 0 total, 0 squares, 0 minimum,"
                               " 0 maximum FROM inspection i WHERE ") +
                w.sql;
        break;
    case Measure::Verdicts: {
        const QString group = sums.split == ArchiveSplit::Station    ? QStringLiteral("i.station")
                              : sums.split == ArchiveSplit::Category ? QStringLiteral("i.category")
                                                                     : QStringLiteral("''");
        w.sql = QStringLiteral("SELECT %1 g, %2 v, COUNT(*) n FROM inspection i WHERE ")
                    .arg(group, verdictOf(filter, QStringLiteral("i."))) +
                w.sql + QStringLiteral(" GROUP BY 1, 2");
        break;
    }
    }
    return w;
}

ArchiveQuery::Where ArchiveQuery::fromKept(const ArchiveFilter &filter, int span, qint64 first,
                                           qint64 end, const Sums &sums)
{
    const bool verdicts = sums.measure == Measure::Verdicts;
    Where w{QStringLiteral(" FROM point_sums s"), {}};
    if (verdicts && sums.split != ArchiveSplit::None)
        w.sql += sums.split == ArchiveSplit::Station
                     ? QStringLiteral(" JOIN label l ON l.id = s.station")
                     : QStringLiteral(" JOIN label l ON l.id = s.category");
    w.sql += QStringLiteral(" WHERE s.span = %1 AND s.bucket >= %2 AND s.bucket < %3")
                 .arg(span)
                 .arg(first)
                 .arg(end);
    w.sql += sums.measure == Measure::Points ? QStringLiteral(" AND s.point >= 0")
                                             : QStringLiteral(" AND s.point = -1");
    const auto named = [&w](const char *column, int kind, const std::optional<QString> &name) {
        if (!name)
            return;
        w.sql += QStringLiteral(" AND s.%1 = (SELECT id FROM label WHERE kind = %2 AND name = ?)")
                     .arg(QLatin1StringView(column))
                     .arg(kind);
        w.values.append(name->isNull() ? QStringLiteral("") : *name);
    };
    named("station", 0, filter.station);
    named("category", 1, filter.category);
    if (filter.verdict) {
        w.sql += QStringLiteral(" AND s.worst %1 %2")
                     .arg(filter.orWorse ? QStringLiteral(">=") : QStringLiteral("="))
                     .arg(int(*filter.verdict));
    } else if (verdicts) {
        // Those stored without limits are judged with today's, from their rows.
        w.sql += QStringLiteral(" AND s.worst >= 0");
    }
    if (verdicts) {
        const QString group =
            sums.split == ArchiveSplit::None ? QStringLiteral("''") : QStringLiteral("l.name");
        w.sql = QStringLiteral("SELECT %1 g, s.worst v, SUM(s.n) n").arg(group) + w.sql +
                QStringLiteral(" GROUP BY 1, 2");
    } else {
        w.sql = QStringLiteral("SELECT s.point, SUM(s.n) n, SUM(s.total) total,"
                               " SUM(s.squares) squares, MIN(s.minimum) minimum,"
                               " MAX(s.maximum) maximum") +
                w.sql + QStringLiteral(" GROUP BY s.point");
    }
    return w;
}

ArchiveQuery::Where ArchiveQuery::parts(const ArchiveFilter &filter, const Sums &sums)
{
    const qint64 from = ms(filter.from).toLongLong();
    const qint64 to = filter.to.isValid() ? filter.to.toMSecsSinceEpoch() : kNoEnd;
    // Whole UTC days inside the range come from the sums kept per day and
    // per block of days; the ends, and what the stored verdict cannot
    // answer, from the inspections' rows.
    constexpr qint64 day = ArchiveRollup::kDayMs;
    constexpr qint64 block = ArchiveRollup::kBlockDays;
    const qint64 firstDay = from <= 0 ? 0 : (from + day - 1) / day;
    const qint64 endDay = to <= 0 ? 0 : to / day;
    const bool byToday = filter.rejudging && (filter.verdict || sums.measure == Measure::Verdicts);
    QList<Where> parts;
    if (byToday || !filter.search.isEmpty() || firstDay >= endDay) {
        parts.append(fromRows(filter, from, to, sums));
    } else {
        if (from < firstDay * day)
            parts.append(fromRows(filter, from, firstDay * day, sums));
        if (endDay * day < to)
            parts.append(fromRows(filter, endDay * day, to, sums));
        const auto kept = [&](int span, qint64 first, qint64 end) {
            if (first < end)
                parts.append(fromKept(filter, span, first, end, sums));
        };
        const qint64 firstBlock = (firstDay + block - 1) / block;
        const qint64 endBlock = endDay / block;
        if (firstBlock < endBlock) {
            kept(1, firstDay, firstBlock * block);
            kept(block, firstBlock, endBlock);
            kept(1, endBlock * block, endDay);
        } else {
            kept(1, firstDay, endDay);
        }
        // Inspections stored without limits are judged one by one.
        if ((filter.verdict || sums.measure == Measure::Verdicts) && !allJudged())
            parts.append(fromRows(filter, firstDay * day, endDay * day, sums,
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
    const Where all = parts(filter, {Measure::Points});
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
    const Where all = parts(filter, {Measure::Verdicts, split});
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT g, v, CAST(SUM(n) AS BIGINT) FROM (") + all.sql +
                      QStringLiteral(") parts GROUP BY g, v ORDER BY ") + text(QStringLiteral("g")),
                  all.values);
    QList<VerdictCounts> out;
    while (query.next()) {
        const QString g = query.value(0).toString();
        if (out.isEmpty() || out.constLast().group != g)
            out.append(VerdictCounts{g, {}});
        const int v = query.value(1).toInt();
        if (v >= 0 && v < int(out.last().counts.size()))
            out.last().counts[size_t(v)] += query.value(2).toLongLong();
    }
    return out;
}
