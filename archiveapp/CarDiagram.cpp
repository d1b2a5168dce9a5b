#include "CarDiagram.h"

#include "VerdictColours.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr double kAspect = 2.2; // length / width

// Marker places as fractions of the body's width (x) and length (y, front = 0).
constexpr std::array<QPointF, PointCatalogue::kPointCount> kPlaces{{
    {0.08, 0.19},  // 0 left front wing
    {0.05, 0.42},  // 1 left front door
    {0.19, 0.33},  // 2 left A pillar
    {0.10, 0.52},  // 3 left B pillar
    {0.05, 0.62},  // 4 left rear door
    {0.19, 0.72},  // 5 left C pillar
    {0.36, 0.52},  // 6 roof, left half
    {0.08, 0.83},  // 7 left rear wing
    {0.50, 0.86},  // 8 boot lid
    {0.50, 0.975}, // 9 rear panel
    {0.50, 0.15},  // 10 bonnet
    {0.50, 0.03},  // 11 front panel
    {0.34, 0.275}, // 12 VIN
    {0.50, 0.275}, // 13 VIN carrier
    {0.66, 0.275}, // 14 VIN joint
    {0.92, 0.19},  // 15 right front wing
    {0.95, 0.42},  // 16 right front door
    {0.81, 0.33},  // 17 right A pillar
    {0.90, 0.52},  // 18 right B pillar
    {0.95, 0.62},  // 19 right rear door
    {0.81, 0.72},  // 20 right C pillar
    {0.64, 0.52},  // 21 roof, right half
    {0.92, 0.83},  // 22 right rear wing
}};

QPointF at(const QRectF &body, double x, double y)
{
    return {body.left() + x * body.width(), body.top() + y * body.height()};
}

QRectF part(const QRectF &body, double x0, double y0, double x1, double y1)
{
    return QRectF(at(body, x0, y0), at(body, x1, y1));
}

void paintBody(QPainter &painter, const QRectF &body)
{
    const double w = body.width();
    const QColor line(0x50, 0x50, 0x50);
    painter.setPen(QPen(line, std::max(1.0, w / 140)));
    // Wheels first, so the body covers their inner halves.
    painter.setBrush(QColor(0x30, 0x30, 0x30));
    for (double y : {0.13, 0.74})
        for (double x : {-0.04, 0.92})
            painter.drawRoundedRect(part(body, x, y, x + 0.12, y + 0.13), w / 40, w / 40);

    QPainterPath outline;
    outline.addRoundedRect(body, w * 0.22, w * 0.16);
    painter.setBrush(QColor(0xf4, 0xf4, 0xf4));
    painter.drawPath(outline);

    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(part(body, 0.16, 0.05, 0.84, 0.25), w / 30, w / 30); // bonnet
    painter.drawRoundedRect(part(body, 0.16, 0.78, 0.84, 0.94), w / 30, w / 30); // boot lid
    // Glass: windscreen, roof, rear window.
    painter.setBrush(QColor(0xcf, 0xe3, 0xf2));
    QPolygonF screen{at(body, 0.16, 0.30), at(body, 0.84, 0.30), at(body, 0.76, 0.38),
                     at(body, 0.24, 0.38)};
    painter.drawPolygon(screen);
    QPolygonF rear{at(body, 0.24, 0.67), at(body, 0.76, 0.67), at(body, 0.84, 0.74),
                   at(body, 0.16, 0.74)};
    painter.drawPolygon(rear);
    painter.setBrush(QColor(0xe6, 0xe6, 0xe6));
    painter.drawRect(part(body, 0.24, 0.38, 0.76, 0.67)); // roof
    painter.drawLine(at(body, 0.5, 0.38), at(body, 0.5, 0.67));
    // Door seams on both sides.
    for (double y : {0.31, 0.52, 0.71}) {
        painter.drawLine(at(body, 0.0, y), at(body, 0.14, y));
        painter.drawLine(at(body, 0.86, y), at(body, 1.0, y));
    }
}

} // namespace

QRectF CarDiagram::bodyRect(const QRectF &area)
{
    // Room for the wheels and the markers that stand out at the sides.
    const QRectF inner = area.adjusted(area.width() * 0.06, area.height() * 0.02,
                                       -area.width() * 0.06, -area.height() * 0.02);
    double width = inner.width();
    double height = width * kAspect;
    if (height > inner.height()) {
        height = inner.height();
        width = height / kAspect;
    }
    QRectF body(0, 0, width, height);
    body.moveCenter(inner.center());
    return body;
}

QPointF CarDiagram::pointCentre(int point, const QRectF &area)
{
    const QPointF place = kPlaces.at(size_t(point));
    return at(bodyRect(area), place.x(), place.y());
}

double CarDiagram::markerRadius(const QRectF &area)
{
    return bodyRect(area).width() * 0.065;
}

int CarDiagram::pointAt(const QPointF &position, const QRectF &area)
{
    const double r = markerRadius(area);
    for (int point = 0; point < int(kPlaces.size()); ++point) {
        const QPointF d = position - pointCentre(point, area);
        if (d.x() * d.x() + d.y() * d.y() <= r * r)
            return point;
    }
    return -1;
}

void CarDiagram::paint(QPainter &painter, const QRectF &area, const Verdicts &verdicts,
                       int highlighted)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintBody(painter, bodyRect(area));
    const double r = markerRadius(area);
    QFont font = painter.font();
    font.setPixelSize(std::max(1, int(r * 0.95)));
    font.setBold(true);
    painter.setFont(font);
    for (int point = 0; point < int(kPlaces.size()); ++point) {
        const Verdict verdict = verdicts.at(size_t(point));
        const QPointF centre = pointCentre(point, area);
        painter.setPen(QPen(point == highlighted ? Qt::black : QColor(0x40, 0x40, 0x40),
                            point == highlighted ? r / 3 : std::max(1.0, r / 10)));
        painter.setBrush(verdictColour(verdict));
        painter.drawEllipse(centre, r, r);
        painter.setPen(verdictTextColour(verdict));
        painter.drawText(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), Qt::AlignCenter,
                         QString::number(point + 1));
    }
    painter.restore();
}

void CarDiagram::paintLegend(QPainter &painter, const QRectF &area)
{
    painter.save();
    const QFontMetricsF metrics(painter.font());
    const double row = metrics.height() * 1.4;
    const double box = metrics.height();
    double y = area.top();
    for (Verdict v : kLegendOrder) {
        painter.setPen(QColor(0x40, 0x40, 0x40));
        painter.setBrush(verdictColour(v));
        painter.drawRect(QRectF(area.left(), y, box, box));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left() + box * 1.5, y - box * 0.2, area.width(), box * 1.4),
                         Qt::AlignLeft | Qt::AlignVCenter, verdictName(v));
        y += row;
    }
    painter.restore();
}
