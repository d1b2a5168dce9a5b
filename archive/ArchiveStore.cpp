#include "ArchiveStore.h"

#include "ArchiveDatabase.h"
#include "ArchiveQuery.h"
#include "ArchiveRollup.h"
#include "InspectionDetails.h"
#include "RowBatch.h"

#include <QHash>

#include <map>

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

// The worst verdict under the limits the inspection was judged with; none
// without usable limits (then it is judged with today's whenever shown).
QVariant storedWorst(const Inspection &inspection, const InspectionSummary &summary)
{
    const std::optional<VerdictBands> &bands = inspection.judgedWith;
    if (!bands || !bands->of(Substrate::FE).valid() || !bands->of(Substrate::AL).valid())
        return QVariant(QMetaType(QMetaType::Int));
    return int(bands->worst(summary));
}

// Where the statistics' sums of an inspection go (worst: its stored verdict).
ArchiveRollup::Bucket bucketOf(const QVariant &station, const QVariant &category,
                               const QVariant &worst, const QVariant &startedMs)
{
    return {station.toString(), category.toString(), worst.isNull() ? -1 : worst.toInt(),
            ArchiveRollup::dayOf(startedMs.toLongLong())};
}

ArchiveRollup::Bucket bucketOf(const Inspection &inspection)
{
    return bucketOf(text(inspection.station), text(boundedCategory(inspection.category)),
                    storedWorst(inspection, summarise(inspection)), ms(inspection.started));
}

// Its readings summed by point; those never read back count nowhere.
std::map<int, ArchiveRollup::Sum> sumsOf(const Inspection &inspection)
{
    std::map<int, ArchiveRollup::Sum> sums;
    for (const ArchivedReading &r : inspection.readings) {
        if (isValidPoint(r.point) && isValidValue(r.value))
            sums[r.point].add(r.value);
    }
    return sums;
}

// The inspection's own row: its columns, in the order of headValues().
QString headColumns()
{
    return QStringLiteral("station, started_ms, ended_ms, category, points_measured,"
                          " reading_count, fe_min, fe_max, al_min, al_max, revision, ") +
           ArchiveStore::kLimitColumns +
           QStringLiteral(", worst, plate, vin, make_model, odometer_km, inspector, interrupted,"
                          " changed, uid");
}
constexpr int kHeadValueCount = 26;

QVariantList headValues(const Inspection &inspection, qint64 change)
{
    const InspectionSummary s = summarise(inspection);
    QVariantList values{text(inspection.station),
                        ms(inspection.started),
                        ms(inspection.ended),
                        text(boundedCategory(inspection.category)),
                        s.pointsMeasured,
                        s.readingCount,
                        optionalInt(s.minimum[int(Substrate::FE)]),
                        optionalInt(s.maximum[int(Substrate::FE)]),
                        optionalInt(s.minimum[int(Substrate::AL)]),
                        optionalInt(s.maximum[int(Substrate::AL)]),
                        inspection.revision};
    values += limitValues(inspection.judgedWith);
    values.append(storedWorst(inspection, s));
    values << text(inspection.plate) << text(inspection.vin) << text(inspection.makeModel)
           << optionalInt(inspection.odometerKm) << text(inspection.inspector)
           << (inspection.interrupted ? QVariant(1) : QVariant(QMetaType(QMetaType::Int))) << change
           << inspection.uid;
    Q_ASSERT(values.size() == kHeadValueCount);
    return values;
}

} // namespace

std::optional<VerdictBands> ArchiveStore::limitsAt(const QSqlQuery &query, int first)
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

// The rows an inspection has beside its own, gathered over a transaction.
struct ArchiveStore::Batches
{
    explicit Batches(ArchiveDatabase &db)
        : plan(db, QStringLiteral("plan_point"), {"inspection_id", "position", "point", "ticked"}),
          reading(db, QStringLiteral("reading"),
                  {"inspection_id", "seq", "point", "substrate", "value", "typed", "taken_ms"}),
          sent(db, QStringLiteral("sent_point"), {"inspection_id", "point", "sent_ms"})
    {
    }

    void flush()
    {
        for (RowBatch *batch : {&plan, &reading, &sent})
            batch->flush();
    }

    RowBatch plan;
    RowBatch reading;
    RowBatch sent;
    // For the statistics' sums: the new inspections, and the buckets an
    // inspection stored again left or entered.
    QList<ArchiveRollup::Added> added;
    QList<ArchiveRollup::Bucket> changed;
};

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
        m_change = nextChange();
        Batches batches(m_db);
        const qsizetype perStatement =
            std::max(1, RowBatch::valuesPerStatement(m_db) / kHeadValueCount);
        for (qsizetype first = 0; first < inspections.size(); first += perStatement)
            writeHeads(inspections, first, std::min(perStatement, inspections.size() - first),
                       batches);
        batches.flush();
        ArchiveRollup(m_db).update(batches.added, batches.changed);
        m_db.commit();
    } catch (...) {
        m_db.rollback();
        throw;
    }
}

void ArchiveStore::writeHeads(QList<Inspection> &inspections, qsizetype first, qsizetype count,
                              Batches &batches)
{
    // New inspections go in many to a statement; those stored before are
    // looked at one by one.
    QVariantList values;
    for (qsizetype n = first; n < first + count; ++n)
        values += headValues(inspections[n], m_change);
    QString sql =
        QStringLiteral("INSERT INTO inspection (") + headColumns() + QStringLiteral(") VALUES ");
    const QString marks =
        u'(' + QStringList(kHeadValueCount, QStringLiteral("?")).join(QStringLiteral(", ")) + u')';
    for (qsizetype n = 0; n < count; ++n)
        sql += (n ? QStringLiteral(", ") : QString()) + marks;
    QSqlQuery insert = m_db.exec(sql + QStringLiteral(" ON CONFLICT (uid) DO NOTHING"
                                                      " RETURNING id, uid"),
                                 values);
    QHash<QString, qint64> made;
    while (insert.next())
        made.insert(insert.value(1).toString(), insert.value(0).toLongLong());
    insert.finish();
    for (qsizetype n = first; n < first + count; ++n) {
        Inspection &inspection = inspections[n];
        // Taken out: the same uid again later in the list is one stored before.
        const qint64 id = made.take(inspection.uid);
        if (id > 0) {
            inspection.id = id;
            writeRows(inspection, batches);
            batches.added.append({bucketOf(inspection), sumsOf(inspection)});
        } else if (rewrite(inspection, batches)) {
            writeRows(inspection, batches);
        }
    }
}

bool ArchiveStore::rewrite(Inspection &inspection, Batches &batches)
{
    QSqlQuery existing = m_db.exec(
        QStringLiteral("SELECT id, revision, station, category, worst, started_ms FROM inspection"
                       " WHERE uid = ?"),
        {inspection.uid});
    if (!existing.next())
        throw ArchiveError(ArchiveError::Cause::Failed,
                           QStringLiteral("Az új vizsgálat azonosítója nem olvasható: ") +
                               inspection.uid);
    inspection.id = existing.value(0).toLongLong();
    const int storedRevision = existing.value(1).toInt();
    const ArchiveRollup::Bucket before =
        bucketOf(existing.value(2), existing.value(3), existing.value(4), existing.value(5));
    existing.finish();
    // Already there (a replay after the commit), or a later store of it is.
    if (storedRevision >= inspection.revision)
        return false;
    // Its sums leave the bucket it had and go to the one it has now.
    batches.changed << before << bucketOf(inspection);
    m_db.exec(QStringLiteral("UPDATE inspection SET station = ?, started_ms = ?, ended_ms = ?,"
                             " category = ?, points_measured = ?, reading_count = ?,"
                             " fe_min = ?, fe_max = ?, al_min = ?, al_max = ?, revision = ?,"
                             " fe_thin_below = ?, fe_factory_up_to = ?, fe_repainted_up_to = ?,"
                             " al_thin_below = ?, al_factory_up_to = ?, al_repainted_up_to = ?,"
                             " worst = ?,"
                             // Typed in the archive window: the wizard's copy has none,
                             // and what is there stays.
                             " plate = COALESCE(NULLIF(?, ''), plate),"
                             " vin = COALESCE(NULLIF(?, ''), vin),"
                             " make_model = COALESCE(NULLIF(?, ''), make_model),"
                             " odometer_km = COALESCE(?, odometer_km),"
                             " inspector = COALESCE(NULLIF(?, ''), inspector),"
                             " interrupted = ?, changed = ? WHERE uid = ?"),
              headValues(inspection, m_change));
    // Rows of this inspection may still wait in the batches.
    batches.flush();
    for (const char *table : {"plan_point", "reading", "sent_point"})
        m_db.exec(
            QStringLiteral("DELETE FROM %1 WHERE inspection_id = ?").arg(QLatin1StringView(table)),
            {inspection.id});
    return true;
}

void ArchiveStore::writeRows(const Inspection &inspection, Batches &batches)
{
    for (qsizetype i = 0; i < inspection.plan.size(); ++i) {
        const PlanEntry &e = inspection.plan.at(i);
        batches.plan.add({inspection.id, int(i), e.index, int(e.ticked)});
    }
    for (qsizetype i = 0; i < inspection.readings.size(); ++i) {
        const ArchivedReading &r = inspection.readings.at(i);
        batches.reading.add({inspection.id, int(i), r.point, substrateName(r.substrate), r.value,
                             int(r.source == ReadingSource::Typed), ms(r.takenAt)});
    }
    for (const SentPoint &p : inspection.sent)
        batches.sent.add({inspection.id, p.point, ms(p.sentAt)});
}

std::optional<Inspection> ArchiveStore::load(qint64 id)
{
    QSqlQuery head = m_db.exec(
        QStringLiteral("SELECT uid, station, started_ms, ended_ms, category, revision, ") +
            kLimitColumns +
            QStringLiteral(", plate, vin, make_model, odometer_km, inspector, interrupted"
                           " FROM inspection WHERE id = ?"),
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
    inspection.vin = head.value(13).toString();
    inspection.makeModel = head.value(14).toString();
    if (!head.value(15).isNull())
        inspection.odometerKm = head.value(15).toInt();
    inspection.inspector = head.value(16).toString();
    inspection.interrupted = head.value(17).toInt() == 1;
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

void ArchiveStore::setDetails(qint64 id, const TypedDetails &details)
{
    // The revision stays: the wizard's next store of it must still be taken.
    QSqlQuery update = m_db.exec(
        QStringLiteral("UPDATE inspection SET plate = ?, vin = ?, make_model = ?, odometer_km = ?,"
                       " inspector = ?, changed = ? WHERE id = ?"),
        {text(details.plate), text(details.vin), text(details.makeModel),
         optionalInt(details.odometerKm), text(details.inspector), nextChange(), id});
    if (update.numRowsAffected() != 1)
        throw ArchiveError(ArchiveError::Cause::Failed,
                           QStringLiteral("A(z) %1. sz. vizsgálat nincs az archívumban").arg(id));
}

void ArchiveStore::setDetails(qint64 id, const QString &plateOrVin, const QString &inspector)
{
    std::optional<Inspection> stored = load(id);
    if (!stored)
        throw ArchiveError(ArchiveError::Cause::Failed,
                           QStringLiteral("A(z) %1. sz. vizsgálat nincs az archívumban").arg(id));
    TypedDetails details = TypedDetails::of(*stored);
    // The one field shows the plate, else the VIN: what is typed replaces that.
    const bool wasVin = details.plate.isEmpty() && !details.vin.isEmpty();
    (wasVin ? details.vin : details.plate).clear();
    (InspectionDetails::looksLikeVin(plateOrVin) ? details.vin : details.plate) = plateOrVin;
    details.inspector = inspector;
    setDetails(id, details);
}

QList<InspectionSummary> ArchiveStore::list(const ArchiveFilter &filter)
{
    return ArchiveQuery(m_db).page(filter, {}, -1).rows;
}

QStringList ArchiveStore::categories()
{
    return ArchiveQuery(m_db).categories();
}

int ArchiveStore::count()
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT COUNT(*) FROM inspection"));
    return query.next() ? query.value(0).toInt() : 0;
}

qint64 ArchiveStore::nextChange()
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT MAX(changed) FROM inspection"));
    return (query.next() ? query.value(0).toLongLong() : 0) + 1;
}

QString ArchiveStore::changeStamp()
{
    // Index look-ups only; a count would read millions of rows at every poll.
    // Stations storing side by side may take the same mark, or commit a lower
    // one after a higher: the sum of the latest marks still moves with each.
    QSqlQuery query = m_db.exec(
        QStringLiteral("SELECT (SELECT MAX(changed) FROM inspection),"
                       " (SELECT CAST(SUM(changed) AS BIGINT) FROM (SELECT changed FROM inspection"
                       " ORDER BY changed DESC LIMIT %1) latest),"
                       " (SELECT MAX(id) FROM inspection)")
            .arg(kStampRows));
    return query.next() ? query.value(0).toString() + u'/' + query.value(1).toString() + u'/' +
                              query.value(2).toString()
                        : QString();
}
