#pragma once

// Inspections to store in the archive tests and the benchmark.
#include <QStringList>
#include <QUuid>

#include "ArchiveSchema.h"
#include "Inspection.h"

namespace {

// A passenger car: every point in the plan, the wings, the hood and a door
// measured, one value typed by hand, two points handed over.
inline Inspection sampleInspection(const QDateTime &start = QDateTime(QDate(2024, 3, 14),
                                                                      QTime(9, 26, 53, 589)))
{
    Inspection i;
    i.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    i.station = QStringLiteral("VIZSGÁLÓ-ŐRS-1");
    i.started = start;
    i.ended = start.addSecs(431).addMSecs(17);
    i.category = QStringLiteral("M1 - személygépkocsi");
    i.plate = QStringLiteral("AB CD-123");
    i.inspector = QStringLiteral("Kovács Éva");
    for (int p = 0; p < 23; ++p)
        i.plan.append({(p + 10) % 23, p % 3 != 1 || (p + 10) % 23 == 12});
    const auto at = [&](int s) { return start.addSecs(s).addMSecs(s * 7); };
    i.readings = {
        {0, Substrate::FE, 123, ReadingSource::Gauge, at(10)},
        {0, Substrate::FE, 98, ReadingSource::Gauge, at(12)},
        {10, Substrate::AL, 418, ReadingSource::Gauge, at(30)},
        {10, Substrate::AL, 250, ReadingSource::Typed, at(45)},
        {15, Substrate::FE, 55, ReadingSource::Gauge, at(60)},
        {1, Substrate::FE, 0, ReadingSource::Gauge, at(61)},
        {1, Substrate::FE, 65535, ReadingSource::Gauge, at(62)},
        {0, Substrate::AL, 140, ReadingSource::Gauge, at(70)},
    };
    i.sent = {{0, at(400)}, {10, at(401)}};
    VerdictBands bands;
    bands.set(Substrate::AL, {40, 140, 280});
    i.judgedWith = bands;
    return i;
}

// A PostgreSQL archive of version 1 (as its steps made it) holding one
// inspection, "old" (N1), with two readings: AL 350 µm on point 10 and FE
// 45 µm typed on point 3.
inline QStringList version1PostgresArchive()
{
    return ArchiveSchema::history(1, false) +
           QStringList{"INSERT INTO inspection (uid, started_ms, ended_ms, category) VALUES"
                       " ('old', 1700000000000, 1700000300000, 'N1')",
                       "INSERT INTO reading VALUES (1, 0, 10, 'AL', 350, 0, 1700000100000)",
                       "INSERT INTO reading VALUES (1, 1, 3, 'FE', 45, 1, 1700000200000)"};
}

} // namespace
