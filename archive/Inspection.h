#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

#include "MeasurementPlan.h" // PlanEntry
#include "Reading.h"         // Substrate, ReadingSource
#include "VerdictBands.h"

// One inspection as the archive keeps it: when it ran, the category the
// inspection program sent, the plan, every reading and which points were
// handed over. Points are catalogue indexes 0..22.

// A point index of the catalogue, and a value a gauge can report.
bool isValidPoint(int point);
bool isValidValue(int value);

// The inspection program may send a category line of up to 16 KB; the archive
// keeps its first kCategoryMaxLength characters (the longest category of the
// table has under a hundred), so that every engine takes and indexes it.
inline constexpr int kCategoryMaxLength = 200;
QString boundedCategory(const QString &category);

// A reading as the wizard's reading log holds it, and the point it was taken on.
struct ArchivedReading : Reading
{
    int point = 0;

    ArchivedReading() = default;
    ArchivedReading(int point, const Reading &reading) : Reading(reading), point(point) {}
    ArchivedReading(int point, Substrate substrate, int value,
                    ReadingSource source = ReadingSource::Gauge, QDateTime takenAt = {})
        : Reading{substrate, value, source, std::move(takenAt)}, point(point)
    {
    }

    bool operator==(const ArchivedReading &) const = default;
};

struct SentPoint
{
    int point = 0;
    QDateTime sentAt;

    bool operator==(const SentPoint &) const = default;
};

struct Inspection
{
    qint64 id = 0; // the archive's row; 0 until stored
    QString uid;   // the same inspection stored again keeps its uid
    // Counts the stores of one uid: the archive keeps the highest it was given,
    // so a copy replayed from the journal never replaces a later one.
    int revision = 1;
    QString station;
    QDateTime started;
    QDateTime ended;
    QString category; // empty when none was received
    // Typed in the archive window afterwards (see InspectionDetails); empty
    // (none) when not given. Storing the inspection again keeps what is there.
    QString plate; // the registration plate
    QString vin;   // the vehicle identification number
    QString makeModel;
    std::optional<int> odometerKm;
    QString inspector;
    // The program ended by force before the inspection was finished; it was
    // kept from its journal entry.
    bool interrupted = false;
    QList<PlanEntry> plan;
    QList<ArchivedReading> readings; // in the order they were taken
    QList<SentPoint> sent;           // by point
    // The limits the verdicts were given with when the inspection ended;
    // none for inspections an older version stored.
    std::optional<VerdictBands> judgedWith;

    bool operator==(const Inspection &) const = default;

    // What the one plate field of earlier windows shows: the plate, else the VIN.
    QString plateOrVin() const { return plate.isEmpty() ? vin : plate; }
    int pointsMeasured() const;
    QList<ArchivedReading> readingsOf(int point) const;
    std::optional<QDateTime> sentAt(int point) const;
};

// What the list of inspections shows; the lowest and highest value per
// substrate are enough to find the worst verdict under any bands.
struct InspectionSummary
{
    qint64 id = 0;
    QDateTime started;
    QString category;
    QString station;
    QString plate;
    QString vin;
    bool interrupted = false;
    int pointsMeasured = 0;
    int readingCount = 0;
    std::optional<int> minimum[kSubstrateCount];
    std::optional<int> maximum[kSubstrateCount];
    std::optional<VerdictBands> judgedWith;
};

InspectionSummary summarise(const Inspection &inspection);

// What a person types in the archive window for a stored inspection (checked
// by InspectionDetails); an empty text or no odometer reading: not given.
struct TypedDetails
{
    QString plate;
    QString vin;
    QString makeModel;
    std::optional<int> odometerKm;
    QString inspector;

    static TypedDetails of(const Inspection &inspection);
    bool operator==(const TypedDetails &) const = default;
};

// A moment as the archive shows it, in local time: "2024.03.14. 09:26:53"
// (without the seconds: "2024.03.14. 09:26"); empty for none.
QString timeText(const QDateTime &time, bool seconds = true);
