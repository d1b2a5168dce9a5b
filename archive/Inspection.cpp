#include "Inspection.h"

#include "DateFormat.h"
#include "PointCatalogue.h"

#include <algorithm>
#include <bitset>

bool isValidPoint(int point)
{
    return PointCatalogue::isValidIndex(point);
}

bool isValidValue(int value)
{
    return value >= 0 && value <= 65535;
}

QString boundedCategory(const QString &category)
{
    if (category.size() <= kCategoryMaxLength)
        return category;
    // Never half of a character written as two.
    const qsizetype cut = category.at(kCategoryMaxLength - 1).isHighSurrogate()
                              ? kCategoryMaxLength - 1
                              : kCategoryMaxLength;
    return category.left(cut);
}

int Inspection::pointsMeasured() const
{
    std::bitset<64> measured;
    for (const ArchivedReading &r : readings)
        measured.set(size_t(r.point) % measured.size());
    return int(measured.count());
}

QList<ArchivedReading> Inspection::readingsOf(int point) const
{
    QList<ArchivedReading> out;
    std::copy_if(readings.begin(), readings.end(), std::back_inserter(out),
                 [point](const ArchivedReading &r) { return r.point == point; });
    return out;
}

std::optional<QDateTime> Inspection::sentAt(int point) const
{
    for (const SentPoint &s : sent) {
        if (s.point == point)
            return s.sentAt;
    }
    return std::nullopt;
}

InspectionSummary summarise(const Inspection &inspection)
{
    InspectionSummary s;
    s.id = inspection.id;
    s.started = inspection.started;
    s.category = inspection.category;
    s.station = inspection.station;
    s.plate = inspection.plate;
    s.vin = inspection.vin;
    s.interrupted = inspection.interrupted;
    s.pointsMeasured = inspection.pointsMeasured();
    s.readingCount = int(inspection.readings.size());
    s.judgedWith = inspection.judgedWith;
    for (const ArchivedReading &r : inspection.readings) {
        const auto i = size_t(r.substrate);
        s.minimum[i] = std::min(s.minimum[i].value_or(r.value), r.value);
        s.maximum[i] = std::max(s.maximum[i].value_or(r.value), r.value);
    }
    return s;
}

TypedDetails TypedDetails::of(const Inspection &inspection)
{
    return {inspection.plate, inspection.vin, inspection.makeModel, inspection.odometerKm,
            inspection.inspector};
}

QString timeText(const QDateTime &time, bool seconds)
{
    if (!time.isValid())
        return {};
    return time.toLocalTime().toString(
        DateFormat::kShort + (seconds ? QStringLiteral(" HH:mm:ss") : QStringLiteral(" HH:mm")));
}
