#pragma once

#include <QList>
#include <optional>

#include "Inspection.h"
#include "VerdictBands.h"

// The figures of one point's readings: count, lowest, highest, mean, the
// sample standard deviation (n - 1 in the divisor, none for a single reading)
// and the worst verdict among them.
struct PointStatistics
{
    int point = 0;
    int n = 0;
    int minimum = 0;
    int maximum = 0;
    double mean = 0;
    std::optional<double> deviation;
    Verdict verdict = Verdict::None;
    // "FE", "AL" or "FE/AL" when both were measured there.
    QString substrates;

    static PointStatistics of(int point, const QList<ArchivedReading> &readings,
                              const VerdictBands &bands);
    // One entry per plan point in plan order, then any other measured point.
    static QList<PointStatistics> perPoint(const Inspection &inspection, const VerdictBands &bands);
};
