#include "InspectionJson.h"

#include "PointCatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <climits>
#include <cmath>

namespace {

QJsonValue ms(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(double(time.toMSecsSinceEpoch())) : QJsonValue();
}

QJsonObject readingObject(const ArchivedReading &r)
{
    return QJsonObject{{"point", r.point},
                       {"substrate", substrateName(r.substrate)},
                       {"value", r.value},
                       {"typed", r.source == ReadingSource::Typed},
                       {"at", ms(r.takenAt)}};
}

QJsonObject toObject(const Inspection &inspection)
{
    QJsonArray plan, readings, sent;
    for (const PlanEntry &e : inspection.plan)
        plan.append(QJsonObject{{"point", e.index}, {"ticked", e.ticked}});
    for (const ArchivedReading &r : inspection.readings)
        readings.append(readingObject(r));
    for (const SentPoint &s : inspection.sent)
        sent.append(QJsonObject{{"point", s.point}, {"at", ms(s.sentAt)}});
    QJsonObject object{{"uid", inspection.uid},
                       {"revision", inspection.revision},
                       {"station", inspection.station},
                       {"started", ms(inspection.started)},
                       {"ended", ms(inspection.ended)},
                       {"category", inspection.category},
                       {"plate", inspection.plate},
                       {"vin", inspection.vin},
                       {"make_model", inspection.makeModel},
                       {"inspector", inspection.inspector},
                       {"plan", plan},
                       {"readings", readings},
                       {"sent", sent}};
    if (inspection.interrupted)
        object.insert("interrupted", true);
    if (inspection.odometerKm)
        object.insert("odometer_km", *inspection.odometerKm);
    if (const auto &bands = inspection.judgedWith) {
        QJsonObject limits;
        for (Substrate substrate : {Substrate::FE, Substrate::AL}) {
            const SubstrateBands &b = bands->of(substrate);
            limits.insert(substrateName(substrate),
                          QJsonArray{b.thinBelow, b.factoryUpTo, b.repaintedUpTo});
        }
        object.insert("limits", limits);
    }
    return object;
}

// Reads an entry's fields, each with its type; the first one that is not
// what it must be makes the whole entry unusable, and is named.
class Fields
{
public:
    bool failed() const { return !m_problem.isEmpty(); }
    const QString &problem() const { return m_problem; }

    QJsonValue field(const QJsonObject &o, const char *key, bool required)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (required && v.isUndefined())
            fail(key, "hiányzik");
        return v;
    }
    QString text(const QJsonObject &o, const char *key, bool required = false)
    {
        const QJsonValue v = field(o, key, required);
        if (!v.isUndefined() && !v.isString())
            fail(key, "nem szöveg");
        return v.toString();
    }
    bool flag(const QJsonObject &o, const char *key)
    {
        const QJsonValue v = field(o, key, false);
        if (!v.isUndefined() && !v.isBool())
            fail(key, "nem logikai érték");
        return v.toBool();
    }
    // A whole number within [low, high].
    int number(const QJsonObject &o, const char *key, qint64 low, qint64 high, bool required,
               int absent = 0)
    {
        const QJsonValue v = field(o, key, required);
        if (v.isUndefined())
            return absent;
        const double d = v.toDouble(-1);
        if (!v.isDouble() || d != std::floor(d) || d < double(low) || d > double(high)) {
            fail(key, "nem megengedett egész szám");
            return absent;
        }
        return int(d);
    }
    // Milliseconds since 1970 (UTC), or null for no time.
    QDateTime time(const QJsonObject &o, const char *key)
    {
        const QJsonValue v = field(o, key, false);
        if (v.isUndefined() || v.isNull())
            return {};
        if (!v.isDouble() || v.toDouble() != std::floor(v.toDouble())) {
            fail(key, "nem időpont");
            return {};
        }
        return QDateTime::fromMSecsSinceEpoch(qint64(v.toDouble()), Qt::UTC);
    }
    QJsonArray objects(const QJsonObject &o, const char *key)
    {
        const QJsonValue v = field(o, key, false);
        if (v.isUndefined())
            return {};
        if (!v.isArray()) {
            fail(key, "nem lista");
            return {};
        }
        for (const QJsonValue &item : v.toArray()) {
            if (!item.isObject()) {
                fail(key, "eleme nem objektum");
                return {};
            }
        }
        return v.toArray();
    }
    void fail(const char *key, const char *what)
    {
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("\"%1\" %2").arg(QLatin1String(key), QLatin1String(what));
    }

private:
    QString m_problem;
};

std::optional<VerdictBands> limitsFrom(const QJsonObject &o, Fields &f)
{
    const QJsonValue value = o.value("limits");
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    VerdictBands bands;
    for (Substrate substrate : {Substrate::FE, Substrate::AL}) {
        const QJsonArray a = value[substrateName(substrate)].toArray();
        bool whole = a.size() == 3;
        for (const QJsonValue &v : a)
            whole = whole && v.isDouble() && v.toDouble() == std::floor(v.toDouble());
        const SubstrateBands b{a.at(0).toInt(-1), a.at(1).toInt(-1), a.at(2).toInt(-1)};
        if (!value.isObject() || !whole || !b.valid()) {
            f.fail("limits", "nem érvényes határok");
            return std::nullopt;
        }
        bands.set(substrate, b);
    }
    return bands;
}

constexpr int kLastPoint = PointCatalogue::kPointCount - 1;

QList<ArchivedReading> readingsFrom(const QJsonObject &o, Fields &f)
{
    QList<ArchivedReading> readings;
    for (const QJsonValue &v : f.objects(o, "readings")) {
        const QJsonObject e = v.toObject();
        ArchivedReading r;
        r.point = f.number(e, "point", 0, kLastPoint, true);
        const std::optional<Substrate> substrate = substrateFromName(f.text(e, "substrate", true));
        if (!substrate)
            f.fail("substrate", "nem FE vagy AL");
        r.substrate = substrate.value_or(Substrate::FE);
        r.value = f.number(e, "value", 0, 65535, true);
        r.source = f.flag(e, "typed") ? ReadingSource::Typed : ReadingSource::Gauge;
        r.takenAt = f.time(e, "at");
        readings.append(r);
    }
    return readings;
}

std::optional<Inspection> fromObject(const QJsonObject &o, bool *open, QString *problem)
{
    Fields f;
    Inspection inspection;
    inspection.uid = f.text(o, "uid", true);
    if (!f.failed() && inspection.uid.isEmpty())
        f.fail("uid", "üres");
    // Absent from the files of the oldest versions: their inspections were
    // stored once.
    inspection.revision = f.number(o, "revision", 1, INT_MAX, false, 1);
    inspection.judgedWith = limitsFrom(o, f);
    inspection.station = f.text(o, "station");
    inspection.started = f.time(o, "started");
    inspection.ended = f.time(o, "ended");
    inspection.category = f.text(o, "category");
    // Absent from the files of older versions.
    inspection.plate = f.text(o, "plate");
    inspection.vin = f.text(o, "vin");
    inspection.makeModel = f.text(o, "make_model");
    if (const QJsonValue km = o.value("odometer_km"); !km.isUndefined() && !km.isNull())
        inspection.odometerKm = f.number(o, "odometer_km", 0, INT_MAX, true);
    inspection.inspector = f.text(o, "inspector");
    inspection.interrupted = f.flag(o, "interrupted");
    const bool inProgress = f.flag(o, "open");
    for (const QJsonValue &v : f.objects(o, "plan")) {
        const QJsonObject e = v.toObject();
        inspection.plan.append({f.number(e, "point", 0, kLastPoint, true), f.flag(e, "ticked")});
    }
    inspection.readings = readingsFrom(o, f);
    for (const QJsonValue &v : f.objects(o, "sent")) {
        const QJsonObject e = v.toObject();
        inspection.sent.append({f.number(e, "point", 0, kLastPoint, true), f.time(e, "at")});
    }
    if (f.failed()) {
        if (problem)
            *problem = f.problem();
        return std::nullopt;
    }
    if (open)
        *open = inProgress;
    return inspection;
}

} // namespace

QByteArray InspectionJson::encode(const QList<Inspection> &inspections, bool open)
{
    QJsonArray array;
    for (const Inspection &inspection : inspections) {
        QJsonObject object = toObject(inspection);
        if (open)
            object.insert("open", true);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QList<Inspection> InspectionJson::decode(const QByteArray &json, bool *ok, bool *open,
                                         QString *problem)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    QString why;
    QList<Inspection> out;
    bool anyOpen = false;
    if (error.error != QJsonParseError::NoError) {
        why = QStringLiteral("nem JSON: ") + error.errorString();
    } else if (!doc.isArray()) {
        why = QStringLiteral("nem lista");
    } else {
        for (const QJsonValue &v : doc.array()) {
            bool entryOpen = false;
            const std::optional<Inspection> inspection =
                v.isObject() ? fromObject(v.toObject(), &entryOpen, &why) : std::nullopt;
            if (!inspection) {
                if (why.isEmpty())
                    why = QStringLiteral("eleme nem objektum");
                out.clear();
                break;
            }
            anyOpen = anyOpen || entryOpen;
            out.append(*inspection);
        }
    }
    if (ok)
        *ok = why.isEmpty();
    if (open)
        *open = anyOpen;
    if (problem)
        *problem = why;
    return out;
}

QByteArray InspectionJson::encodeOpen(const Inspection &inspection)
{
    return encode({inspection}, true) + '\n';
}

QByteArray InspectionJson::encodeAdded(const QDateTime &ended,
                                       const QList<ArchivedReading> &readings)
{
    QJsonArray added;
    for (const ArchivedReading &r : readings)
        added.append(readingObject(r));
    return QJsonDocument(QJsonObject{{"ended", ms(ended)}, {"readings", added}})
               .toJson(QJsonDocument::Compact) +
           '\n';
}

std::optional<Inspection> InspectionJson::decodeOpen(const QByteArray &content, QString *problem)
{
    const QList<QByteArray> lines = content.split('\n');
    bool ok = false;
    bool open = false;
    const QList<Inspection> base = decode(lines.first(), &ok, &open, problem);
    // The first line is written whole (the file takes its place by a rename).
    if (!ok || base.size() != 1 || !open) {
        if (problem && ok)
            *problem = QStringLiteral("nem egy folyamatban levő vizsgálat");
        return std::nullopt;
    }
    Inspection inspection = base.first();
    // Every line but the last ends with its line break: the last one, cut off
    // by an end by force before its sync returned, was never kept.
    for (qsizetype n = 1; n + 1 < lines.size(); ++n) {
        const QJsonDocument doc = QJsonDocument::fromJson(lines.at(n));
        Fields f;
        if (!doc.isObject())
            f.fail("readings", "sora nem objektum");
        const QList<ArchivedReading> added = readingsFrom(doc.object(), f);
        const QDateTime ended = f.time(doc.object(), "ended");
        if (f.failed()) {
            if (problem)
                *problem = f.problem();
            return std::nullopt;
        }
        inspection.readings += added;
        inspection.ended = ended;
    }
    std::stable_sort(
        inspection.readings.begin(), inspection.readings.end(),
        [](const ArchivedReading &a, const ArchivedReading &b) { return a.takenAt < b.takenAt; });
    return inspection;
}
