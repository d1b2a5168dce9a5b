#include "InspectionReport.h"

#include "CarDiagram.h"
#include "Failure.h"
#include "PointCatalogue.h"
#include "PointStatistics.h"
#include "StatisticsText.h"
#include "VerdictColours.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <array>

namespace {

constexpr double kHeaderMm = 38;
constexpr double kDiagramHeightMm = 112;

QFont font(double points, bool bold = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

} // namespace

QRectF InspectionReport::diagramRect(const QRectF &page, double mm)
{
    return QRectF(page.left(), page.top() + kHeaderMm * mm, page.width() * 0.5,
                  kDiagramHeightMm * mm);
}

double InspectionReport::paintHeader(QPainter &painter, const QRectF &page, double mm) const
{
    painter.setFont(font(16, true));
    painter.drawText(QRectF(page.left(), page.top(), page.width(), 10 * mm),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Festékréteg-vastagság mérési jegyzőkönyv"));
    const Verdict worst = m_bands.worst(summarise(m_inspection));
    const QList<std::pair<QString, QString>> lines{
        {QStringLiteral("Vizsgálat:"), QStringLiteral("%1. sz.").arg(m_inspection.id)},
        {QStringLiteral("Kezdés – befejezés:"),
         timeText(m_inspection.started) + QStringLiteral(" – ") + timeText(m_inspection.ended)},
        {QStringLiteral("Jármű kategória:"), m_inspection.category.isEmpty()
                                                 ? QStringLiteral("(nem érkezett)")
                                                 : m_inspection.category},
        {QStringLiteral("Állomás:"), m_inspection.station},
        {QStringLiteral("Összesített minősítés:"),
         verdictName(worst) + (m_inspection.judgedWith == m_bands
                                   ? QString()
                                   : QStringLiteral(" (újraminősítve a mai határokkal, nem "
                                                    "az eredeti minősítés)"))},
    };
    painter.setFont(font(10));
    double y = page.top() + 12 * mm;
    for (const auto &[label, value] : lines) {
        painter.drawText(QRectF(page.left(), y, 45 * mm, 5 * mm), Qt::AlignLeft, label);
        painter.drawText(QRectF(page.left() + 45 * mm, y, page.width() - 45 * mm, 5 * mm),
                         Qt::AlignLeft, value);
        y += 5 * mm;
    }
    return y;
}

void InspectionReport::paintLimits(QPainter &painter, const QRectF &area, double mm) const
{
    painter.setFont(font(10, true));
    painter.drawText(QRectF(area.left(), area.top(), area.width(), 6 * mm), Qt::AlignLeft,
                     QStringLiteral("Jelmagyarázat"));
    painter.setFont(font(9));
    CarDiagram::paintLegend(painter,
                            QRectF(area.left(), area.top() + 7 * mm, area.width(), 40 * mm));
    double y = area.top() + 45 * mm;
    painter.setFont(font(10, true));
    painter.drawText(QRectF(area.left(), y, area.width(), 6 * mm), Qt::AlignLeft,
                     QStringLiteral("Minősítési határok (µm)"));
    y += 7 * mm;
    // One row per verdict, one column per substrate.
    const double nameWidth = area.width() * 0.5;
    const double column = (area.width() - nameWidth) / 2;
    painter.setFont(font(9, true));
    for (Substrate s : {Substrate::FE, Substrate::AL})
        painter.drawText(QRectF(area.left() + nameWidth + column * int(s), y, column, 5 * mm),
                         Qt::AlignLeft, substrateName(s));
    painter.setFont(font(9));
    for (Verdict verdict : {Verdict::Thin, Verdict::Factory, Verdict::Repainted, Verdict::Filler}) {
        y += 5 * mm;
        painter.drawText(QRectF(area.left(), y, nameWidth, 5 * mm), Qt::AlignLeft,
                         verdictName(verdict));
        for (Substrate s : {Substrate::FE, Substrate::AL})
            painter.drawText(QRectF(area.left() + nameWidth + column * int(s), y, column, 5 * mm),
                             Qt::AlignLeft, limitText(verdict, m_bands.of(s)));
    }
}

void InspectionReport::paintTable(QPainter &painter, const QRectF &area, double mm) const
{
    const QList<PointStatistics> rows = PointStatistics::perPoint(m_inspection, m_bands);
    // Column widths in millimetres; the readings take what is left.
    const std::array<double, StatisticsColumn::ColumnCount> widths{7,  44, 12, 7,  12,
                                                                   12, 14, 14, 29, 0};
    const double rowHeight = std::min(4.6 * mm, area.height() / (rows.size() + 1));
    const auto cells = [&](double y, const QStringList &texts, const QColor &verdictFill) {
        double x = area.left();
        for (int c = 0; c < int(widths.size()); ++c) {
            const double w = widths.at(c) > 0 ? widths.at(c) * mm : area.right() - x;
            const QRectF cell(x, y, w, rowHeight);
            if (c == StatisticsColumn::Verdict && verdictFill.isValid())
                painter.fillRect(cell, verdictFill);
            painter.drawText(
                cell.adjusted(mm, 0, -mm, 0),
                Qt::AlignVCenter | (StatisticsColumn::isFigure(c) ? Qt::AlignRight : Qt::AlignLeft),
                painter.fontMetrics().elidedText(texts.value(c), Qt::ElideRight, int(w - 2 * mm)));
            x += w;
        }
        painter.drawLine(QPointF(area.left(), y + rowHeight), QPointF(area.right(), y + rowHeight));
    };
    painter.setFont(font(8, true));
    cells(area.top(), statisticsHeader(), QColor());
    painter.setFont(font(8));
    double y = area.top() + rowHeight;
    for (const PointStatistics &s : rows) {
        cells(y, statisticsRow(s, m_inspection), verdictColour(s.verdict).lighter(150));
        y += rowHeight;
    }
}

void InspectionReport::paint(QPainter &painter, const QRectF &page, double mm) const
{
    painter.save();
    painter.setPen(Qt::black);
    const double headerEnd = paintHeader(painter, page, mm);
    Q_UNUSED(headerEnd);
    const QRectF diagram = diagramRect(page, mm);
    CarDiagram::Verdicts verdicts;
    verdicts.fill(Verdict::None);
    for (const PointStatistics &s : PointStatistics::perPoint(m_inspection, m_bands))
        verdicts[size_t(s.point)] = s.verdict;
    CarDiagram::paint(painter, diagram, verdicts);
    paintLimits(painter,
                QRectF(diagram.right() + 5 * mm, diagram.top(),
                       page.right() - diagram.right() - 5 * mm, diagram.height()),
                mm);
    const double tableTop = diagram.bottom() + 6 * mm;
    paintTable(painter,
               QRectF(page.left(), tableTop, page.width(), page.bottom() - tableTop - 8 * mm), mm);
    painter.setFont(font(7));
    painter.setPen(Qt::darkGray);
    painter.drawText(QRectF(page.left(), page.bottom() - 5 * mm, page.width(), 5 * mm),
                     Qt::AlignLeft | Qt::AlignVCenter, kTypedNote);
    painter.drawText(QRectF(page.left(), page.bottom() - 5 * mm, page.width(), 5 * mm),
                     Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Készült: ") + timeText(QDateTime::currentDateTime()) +
                         QStringLiteral(" – Kromaglen archívum"));
    painter.restore();
}

bool InspectionReport::paint(QPagedPaintDevice &device) const
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double mm = device.logicalDpiX() / 25.4;
    const QRectF page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    paint(painter, QRectF(0, 0, page.width(), page.height()), mm);
    return painter.end();
}

void InspectionReport::writePdf(const QString &path) const
{
    // Written beside the target and put in its place only when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("EInOutError"),
                      path + QStringLiteral(": ") + file.errorString());
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(300);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
        pdf.setTitle(QStringLiteral("Festékréteg-vastagság mérési jegyzőkönyv"));
        pdf.setCreator(QStringLiteral("Kromaglen archívum"));
        if (!paint(pdf)) {
            file.cancelWriting();
            throw Failure(QStringLiteral("EInOutError"), path);
        }
    }
    // QPdfWriter reports no write error of its own.
    if (file.error() != QFileDevice::NoError || !file.flush() || !file.commit())
        throw Failure(QStringLiteral("EInOutError"),
                      path + QStringLiteral(": ") + file.errorString());
}
