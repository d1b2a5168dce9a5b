#include "InspectionJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue ms(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(double(time.toMSecsSinceEpoch())) : QJsonValue();
}

QDateTime time(const QJsonValue &value)
{
    return value.isDouble() ? QDateTime::fromMSecsSinceEpoch(qint64(value.toDouble()), Qt::UTC)
                            : QDateTime();
}

QJsonObject toObject(const Inspection &inspection)
{
    QJsonArray plan, readings, sent;
    for (const PlanEntry &e : inspection.plan)
        plan.append(QJsonObject{{"point", e.index}, {"ticked", e.ticked}});
    for (const ArchivedReading &r : inspection.readings)
        readings.append(QJsonObject{{"point", r.point},
                                    {"substrate", substrateName(r.substrate)},
                                    {"value", r.value},
                                    {"typed", r.source == ReadingSource::Typed},
                                    {"at", ms(r.takenAt)}});
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

std::optional<VerdictBands> limitsFrom(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    VerdictBands bands;
    for (Substrate substrate : {Substrate::FE, Substrate::AL}) {
        const QJsonArray a = value[substrateName(substrate)].toArray();
        const SubstrateBands b{a.at(0).toInt(-1), a.at(1).toInt(-1), a.at(2).toInt(-1)};
        if (a.size() != 3 || !b.valid())
            return std::nullopt;
        bands.set(substrate, b);
    }
    return bands;
}

Inspection fromObject(const QJsonObject &o)
{
    Inspection inspection;
    inspection.uid = o.value("uid").toString();
    inspection.revision = o.value("revision").toInt(1);
    inspection.judgedWith = limitsFrom(o.value("limits"));
    inspection.station = o.value("station").toString();
    inspection.started = time(o.value("started"));
    inspection.ended = time(o.value("ended"));
    inspection.category = o.value("category").toString();
    // Absent from the files of older versions.
    inspection.plate = o.value("plate").toString();
    inspection.vin = o.value("vin").toString();
    inspection.makeModel = o.value("make_model").toString();
    if (o.value("odometer_km").isDouble())
        inspection.odometerKm = o.value("odometer_km").toInt();
    inspection.inspector = o.value("inspector").toString();
    for (const QJsonValue &v : o.value("plan").toArray())
        inspection.plan.append({v["point"].toInt(), v["ticked"].toBool()});
    for (const QJsonValue &v : o.value("readings").toArray()) {
        ArchivedReading r;
        r.point = v["point"].toInt();
        r.substrate = substrateFromName(v["substrate"].toString()).value_or(Substrate::FE);
        r.value = v["value"].toInt();
        r.source = v["typed"].toBool() ? ReadingSource::Typed : ReadingSource::Gauge;
        r.takenAt = time(v["at"]);
        if (isValidPoint(r.point) && isValidValue(r.value))
            inspection.readings.append(r);
    }
    for (const QJsonValue &v : o.value("sent").toArray())
        inspection.sent.append({v["point"].toInt(), time(v["at"])});
    return inspection;
}

} // namespace

QByteArray InspectionJson::encode(const QList<Inspection> &inspections)
{
    QJsonArray array;
    for (const Inspection &inspection : inspections)
        array.append(toObject(inspection));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QList<Inspection> InspectionJson::decode(const QByteArray &json, bool *ok)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (ok)
        *ok = error.error == QJsonParseError::NoError && doc.isArray();
    QList<Inspection> out;
    for (const QJsonValue &v : doc.array()) {
        Inspection inspection = fromObject(v.toObject());
        if (!inspection.uid.isEmpty() && !inspection.readings.isEmpty())
            out.append(inspection);
    }
    return out;
}
