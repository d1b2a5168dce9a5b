#include "ArchiveStore.h"

#include "ArchiveDatabase.h"

#include <QHash>

namespace {

QVariant ms(const QDateTime &time)
{
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant(qint64(0));
}

QDateTime time(const QVariant &value)
{
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

// A text column never holds NULL: an absent text is stored empty.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QVariant optionalInt(const std::optional<int> &value)
{
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Int));
}

std::optional<int> optionalInt(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional(value.toInt());
}

// The six limit columns, FE then AL, each thin/factory/repainted.
const QString kLimitColumns =
    QStringLiteral("fe_thin_below, fe_factory_up_to, fe_repainted_up_to,"
                   " al_thin_below, al_factory_up_to, al_repainted_up_to");

QVariantList limitValues(const std::optional<VerdictBands> &bands)
{
    QVariantList out;
    for (Substrate substrate : {Substrate::FE, Substrate::AL}) {
        if (!bands) {
            for (int k = 0; k < 3; ++k)
                out.append(QVariant(QMetaType(QMetaType::Int)));
            continue;
        }
        const SubstrateBands &b = bands->of(substrate);
        out << b.thinBelow << b.factoryUpTo << b.repaintedUpTo;
    }
    return out;
}

// The limits read from six columns starting at `first`; none when any is missing.
std::optional<VerdictBands> limitsAt(const QSqlQuery &query, int first)
{
    VerdictBands bands;
    for (int i = 0; i < kSubstrateCount; ++i) {
        int v[3];
        for (int k = 0; k < 3; ++k) {
            const QVariant value = query.value(first + 3 * i + k);
            if (value.isNull())
                return std::nullopt;
            v[k] = value.toInt();
        }
        const SubstrateBands b{v[0], v[1], v[2]};
        if (!b.valid())
            return std::nullopt;
        bands.set(Substrate(i), b);
    }
    return bands;
}

} // namespace

void ArchiveStore::store(Inspection &inspection)
{
    QList<Inspection> one{inspection};
    storeAll(one);
    inspection.id = one.first().id;
}

void ArchiveStore::storeAll(QList<Inspection> &inspections)
{
    m_db.begin();
    try {
        for (Inspection &inspection : inspections)
            write(inspection);
        m_db.commit();
    } catch (...) {
        m_db.rollback();
        throw;
    }
}

void ArchiveStore::write(Inspection &inspection)
{
    const InspectionSummary s = summarise(inspection);
    QVariantList values{text(inspection.station),
                        ms(inspection.started),
                        ms(inspection.ended),
                        text(inspection.category),
                        s.pointsMeasured,
                        s.readingCount,
                        optionalInt(s.minimum[int(Substrate::FE)]),
                        optionalInt(s.maximum[int(Substrate::FE)]),
                        optionalInt(s.minimum[int(Substrate::AL)]),
                        optionalInt(s.maximum[int(Substrate::AL)]),
                        inspection.revision};
    values += limitValues(inspection.judgedWith);
    values << text(inspection.plate) << text(inspection.inspector) << inspection.uid;
    QSqlQuery existing = m_db.exec(
        QStringLiteral("SELECT id, revision FROM inspection WHERE uid = ?"), {inspection.uid});
    if (existing.next()) {
        inspection.id = existing.value(0).toLongLong();
        const int storedRevision = existing.value(1).toInt();
        existing.finish();
        // Already there (a replay after the commit), or a later store of it is.
        if (storedRevision >= inspection.revision)
            return;
        m_db.exec(QStringLiteral("UPDATE inspection SET station = ?, started_ms = ?, ended_ms = ?,"
                                 " category = ?, points_measured = ?, reading_count = ?,"
                                 " fe_min = ?, fe_max = ?, al_min = ?, al_max = ?, revision = ?,"
                                 " fe_thin_below = ?, fe_factory_up_to = ?, fe_repainted_up_to = ?,"
                                 " al_thin_below = ?, al_factory_up_to = ?, al_repainted_up_to = ?,"
                                 // Typed in the archive window: the wizard's copy has none,
                                 // and what is there stays.
                                 " plate = COALESCE(NULLIF(?, ''), plate),"
                                 " inspector = COALESCE(NULLIF(?, ''), inspector)"
                                 " WHERE uid = ?"),
                  values);
        for (const char *table : {"plan_point", "reading", "sent_point"})
            m_db.exec(QStringLiteral("DELETE FROM %1 WHERE inspection_id = ?")
                          .arg(QLatin1StringView(table)),
                      {inspection.id});
    } else {
        existing.finish();
        QSqlQuery insert = m_db.exec(
            QStringLiteral("INSERT INTO inspection (station, started_ms, ended_ms, category,"
                           " points_measured, reading_count, fe_min, fe_max, al_min, al_max,"
                           " revision, ") +
                kLimitColumns +
                QStringLiteral(", plate, inspector, uid) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?,"
                               " ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            values);
        inspection.id = insert.lastInsertId().toLongLong();
        if (inspection.id <= 0)
            throw ArchiveError(ArchiveError::Cause::Failed,
                               QStringLiteral("Az új vizsgálat azonosítója nem olvasható"));
    }
    QSqlQuery plan = m_db.prepare(QStringLiteral(
        "INSERT INTO plan_point (inspection_id, position, point, ticked) VALUES (?, ?, ?, ?)"));
    for (qsizetype i = 0; i < inspection.plan.size(); ++i) {
        const PlanEntry &e = inspection.plan.at(i);
        m_db.run(plan, {inspection.id, int(i), e.index, int(e.ticked)});
    }
    QSqlQuery reading = m_db.prepare(
        QStringLiteral("INSERT INTO reading (inspection_id, seq, point, substrate, value, typed,"
                       " taken_ms) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (qsizetype i = 0; i < inspection.readings.size(); ++i) {
        const ArchivedReading &r = inspection.readings.at(i);
        m_db.run(reading, {inspection.id, int(i), r.point, substrateName(r.substrate), r.value,
                           int(r.source == ReadingSource::Typed), ms(r.takenAt)});
    }
    QSqlQuery sent = m_db.prepare(
        QStringLiteral("INSERT INTO sent_point (inspection_id, point, sent_ms) VALUES (?, ?, ?)"));
    for (const SentPoint &p : inspection.sent)
        m_db.run(sent, {inspection.id, p.point, ms(p.sentAt)});
}

std::optional<Inspection> ArchiveStore::load(qint64 id)
{
    QSqlQuery head = m_db.exec(
        QStringLiteral("SELECT uid, station, started_ms, ended_ms, category, revision, ") +
            kLimitColumns + QStringLiteral(", plate, inspector FROM inspection WHERE id = ?"),
        {id});
    if (!head.next())
        return std::nullopt;
    Inspection inspection;
    inspection.id = id;
    inspection.uid = head.value(0).toString();
    inspection.station = head.value(1).toString();
    inspection.started = time(head.value(2));
    inspection.ended = time(head.value(3));
    inspection.category = head.value(4).toString();
    inspection.revision = head.value(5).toInt();
    inspection.judgedWith = limitsAt(head, 6);
    inspection.plate = head.value(12).toString();
    inspection.inspector = head.value(13).toString();
    head.finish();

    QSqlQuery plan = m_db.exec(QStringLiteral("SELECT point, ticked FROM plan_point"
                                              " WHERE inspection_id = ? ORDER BY position"),
                               {id});
    while (plan.next()) {
        const PlanEntry e{plan.value(0).toInt(), plan.value(1).toInt() != 0};
        if (isValidPoint(e.index))
            inspection.plan.append(e);
    }
    QSqlQuery readings = m_db.exec(QStringLiteral("SELECT point, substrate, value, typed, taken_ms"
                                                  " FROM reading WHERE inspection_id = ?"
                                                  " ORDER BY seq"),
                                   {id});
    while (readings.next()) {
        ArchivedReading r;
        r.point = readings.value(0).toInt();
        r.substrate = substrateFromName(readings.value(1).toString()).value_or(Substrate::FE);
        r.value = readings.value(2).toInt();
        r.source = readings.value(3).toInt() ? ReadingSource::Typed : ReadingSource::Gauge;
        r.takenAt = time(readings.value(4));
        // A shared database may hold rows no program of ours wrote.
        if (isValidPoint(r.point) && isValidValue(r.value))
            inspection.readings.append(r);
    }
    QSqlQuery sent = m_db.exec(QStringLiteral("SELECT point, sent_ms FROM sent_point"
                                              " WHERE inspection_id = ? ORDER BY point"),
                               {id});
    while (sent.next()) {
        const SentPoint p{sent.value(0).toInt(), time(sent.value(1))};
        if (isValidPoint(p.point))
            inspection.sent.append(p);
    }
    return inspection;
}

void ArchiveStore::setDetails(qint64 id, const QString &plate, const QString &inspector)
{
    // The revision stays: the wizard's next store of it must still be taken.
    QSqlQuery update =
        m_db.exec(QStringLiteral("UPDATE inspection SET plate = ?, inspector = ? WHERE id = ?"),
                  {text(plate), text(inspector), id});
    if (update.numRowsAffected() != 1)
        throw ArchiveError(ArchiveError::Cause::Failed,
                           QStringLiteral("A(z) %1. sz. vizsgálat nincs az archívumban").arg(id));
}

QList<InspectionSummary> ArchiveStore::list(const ArchiveFilter &filter)
{
    QString sql = QStringLiteral("SELECT id, started_ms, category, station, points_measured,"
                                 " reading_count, fe_min, fe_max, al_min, al_max, ") +
                  kLimitColumns +
                  QStringLiteral(" FROM inspection WHERE started_ms >= ? AND started_ms < ?");
    QVariantList values{ms(filter.from),
                        filter.to.isValid() ? ms(filter.to) : QVariant(qint64(1) << 62)};
    if (filter.category) {
        sql += QStringLiteral(" AND category = ?");
        values.append(text(*filter.category));
    }
    sql += QStringLiteral(" ORDER BY started_ms DESC, id DESC");
    QSqlQuery query = m_db.exec(sql, values);
    QList<InspectionSummary> out;
    QHash<QString, QString> shared; // one copy of each category and station text
    const auto intern = [&shared](const QString &text) {
        auto at = shared.constFind(text);
        return at != shared.constEnd() ? *at : *shared.insert(text, text);
    };
    while (query.next()) {
        InspectionSummary s;
        s.id = query.value(0).toLongLong();
        s.started = time(query.value(1));
        s.category = intern(query.value(2).toString());
        s.station = intern(query.value(3).toString());
        s.pointsMeasured = query.value(4).toInt();
        s.readingCount = query.value(5).toInt();
        for (int i = 0; i < kSubstrateCount; ++i) {
            s.minimum[i] = optionalInt(query.value(6 + 2 * i));
            s.maximum[i] = optionalInt(query.value(7 + 2 * i));
        }
        s.judgedWith = limitsAt(query, 10);
        out.append(s);
    }
    return out;
}

QStringList ArchiveStore::categories()
{
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT DISTINCT category FROM inspection ORDER BY category"));
    QStringList out;
    while (query.next())
        out.append(query.value(0).toString());
    return out;
}

int ArchiveStore::count()
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT COUNT(*) FROM inspection"));
    return query.next() ? query.value(0).toInt() : 0;
}

QString ArchiveStore::changeStamp()
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT COUNT(*), MAX(ended_ms) FROM inspection"));
    return query.next() ? query.value(0).toString() + u'/' + query.value(1).toString() : QString();
}
