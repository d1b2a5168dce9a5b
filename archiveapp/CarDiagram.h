#pragma once

#include <QPointF>
#include <QRectF>
#include <array>

#include "Inspection.h"
#include "PointCatalogue.h"
#include "VerdictBands.h"

class QPainter;

// A car seen from above, front up, drawn with its 23 measuring points at their
// places on the body, each filled with the colour of its verdict. The same
// drawing serves the window and the printed report.
namespace CarDiagram {

using Verdicts = std::array<Verdict, PointCatalogue::kPointCount>;

// The body's rectangle within `area`: as large as fits, centred, at the car's proportions.
QRectF bodyRect(const QRectF &area);
// Where a point's marker sits, and how large it is, for a diagram drawn into `area`.
QPointF pointCentre(int point, const QRectF &area);
double markerRadius(const QRectF &area);
// The point whose marker is at `position`, or -1.
int pointAt(const QPointF &position, const QRectF &area);

// The verdicts from the best to the worst, then the points not measured: the
// order of the legend, the verdict filter and the statistics.
inline constexpr std::array<Verdict, 5> kLegendOrder{
    Verdict::Factory, Verdict::Thin, Verdict::Repainted, Verdict::Filler, Verdict::None};

// `highlighted` gets a thicker ring; -1 for none.
void paint(QPainter &painter, const QRectF &area, const Verdicts &verdicts, int highlighted = -1);
// One coloured square and name per verdict, in rows from the top of `area`.
void paintLegend(QPainter &painter, const QRectF &area);

} // namespace CarDiagram
