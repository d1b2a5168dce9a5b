#pragma once

#include <QStringList>

#include "PointStatistics.h"

// The statistics of a point as the window's table and the report show them:
// #, point, substrate, n, minimum, maximum, mean, deviation, verdict, readings.
struct StatisticsColumn
{
    enum : int {
        Number,
        Point,
        Substrate,
        N,
        Minimum,
        Maximum,
        Mean,
        Deviation,
        Verdict,
        Readings,
        ColumnCount
    };
    // The columns that hold a figure of the readings, aligned right.
    static constexpr bool isFigure(int column) { return column >= N && column <= Deviation; }
};

// Both lists hold one text per StatisticsColumn.
QStringList statisticsHeader();
// What the mark after a value means.
inline const QString kTypedNote = QStringLiteral("*: kézzel bevitt érték");
QStringList statisticsRow(const PointStatistics &s, const Inspection &inspection);
// The values a verdict stands for: "< 60", "60–160", "161–300", "> 300".
QString limitText(Verdict verdict, const SubstrateBands &bands);
// A number with a decimal comma and one decimal.
QString decimal(double value);
