#include "ArchiveQuery.h"

#include "ArchiveDatabase.h"
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

// A sum the database gives exactly (PostgreSQL as a numeric text).
long double exact(const QVariant &value)
{
    bool whole = false;
    const qlonglong n = value.toString().toLongLong(&whole);
    return whole ? (long double)n : (long double)value.toString().toDouble();
}

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
    if (!m_allJudged) {
        QSqlQuery unjudged =
            m_db.exec(QStringLiteral("SELECT 1 FROM inspection WHERE worst IS NULL LIMIT 1"));
        m_allJudged = !unjudged.next();
    }
    return *m_allJudged ? prefix + QStringLiteral("worst")
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
        w.sql += QStringLiteral(" AND ") + verdictOf(filter, prefix) + QStringLiteral(" = ?");
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
                  ArchiveStore::kLimitColumns + QStringLiteral(", ") + key +
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
        out.lastKey = query.value(16);
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
    const Where w = where(filter);
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT COUNT(*) FROM inspection WHERE ") + w.sql, w.values);
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

bool ArchiveQuery::coversAll(const ArchiveFilter &filter)
{
    if (filter.category || filter.station || filter.verdict)
        return false;
    // Each in a statement of its own: together SQLite would read every row.
    QSqlQuery span = m_db.exec(QStringLiteral("SELECT (SELECT MIN(started_ms) FROM inspection),"
                                              " (SELECT MAX(started_ms) FROM inspection)"));
    if (!span.next() || span.value(0).isNull())
        return true;
    const qint64 to = filter.to.isValid() ? filter.to.toMSecsSinceEpoch() : kNoEnd;
    return ms(filter.from).toLongLong() <= span.value(0).toLongLong() &&
           span.value(1).toLongLong() < to;
}

QList<PointStatistics> ArchiveQuery::statistics(const ArchiveFilter &filter)
{
    const QString sums = QStringLiteral("SELECT s.point, SUM(s.n), MIN(s.minimum),"
                                        " MAX(s.maximum), SUM(s.total), SUM(s.squares)"
                                        " FROM point_summary s");
    QSqlQuery query;
    if (coversAll(filter)) {
        // The whole archive: the inspections need not be looked at.
        query = m_db.exec(sums + QStringLiteral(" GROUP BY s.point ORDER BY s.point"));
    } else {
        const Where w = where(filter, QStringLiteral("i."));
        query = m_db.exec(sums +
                              QStringLiteral(" JOIN inspection i ON i.id = s.inspection_id"
                                             " WHERE ") +
                              w.sql + QStringLiteral(" GROUP BY s.point ORDER BY s.point"),
                          w.values);
    }
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
        // Exact integers from the database; long double keeps the
        // difference of the two large sums from losing the deviation.
        const long double total = exact(query.value(4));
        const long double squares = exact(query.value(5));
        s.mean = double(total / n);
        if (n > 1) {
            const long double spread = (squares - total * total / n) / (n - 1);
            s.deviation = double(std::sqrt(std::max<long double>(0, spread)));
        }
        out.append(s);
    }
    return out;
}
