#include "InspectionReport.h"

#include "CarDiagram.h"
#include "Failure.h"
#include "PointCatalogue.h"
#include "PointStatistics.h"
#include "StatisticsText.h"
#include "VerdictColours.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <array>

namespace {

constexpr double kHeaderMm = 49;
constexpr double kDiagramHeightMm = 104;
constexpr double kFooterMm = 8;
// The table's rows: one line of text, and the room above and below it.
constexpr double kRowMm = 4.6;
constexpr double kRowPaddingMm = 1.2;

QFont font(double points, bool bold = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The table of the points across the page: column widths in millimetres, the
// readings taking what is left. The point's name and its values wrap onto as
// many lines as they need; the other columns hold short texts.
class PointTable
{
public:
    PointTable(double left, double right, double mm) : m_left(left), m_right(right), m_mm(mm) {}

    double height(const QPainter &painter, const QStringList &texts) const
    {
        double h = kRowMm * m_mm;
        double x = m_left;
        for (int c = 0; c < StatisticsColumn::ColumnCount; ++c) {
            const double w = width(c, x);
            const QRectF needed = painter.fontMetrics().boundingRect(
                QRectF(0, 0, w - 2 * m_mm, 1e6).toRect(), Qt::TextWordWrap, texts.value(c));
            h = std::max(h, needed.height() + kRowPaddingMm * m_mm);
            x += w;
        }
        return h;
    }

    void paint(QPainter &painter, double y, double h, const QStringList &texts,
               const QColor &verdictFill) const
    {
        double x = m_left;
        for (int c = 0; c < StatisticsColumn::ColumnCount; ++c) {
            const double w = width(c, x);
            const QRectF cell(x, y, w, h);
            if (c == StatisticsColumn::Verdict && verdictFill.isValid())
                painter.fillRect(cell, verdictFill);
            painter.drawText(cell.adjusted(m_mm, kRowPaddingMm * m_mm / 2, -m_mm, 0),
                             Qt::AlignTop | Qt::TextWordWrap |
                                 (StatisticsColumn::isFigure(c) ? Qt::AlignRight : Qt::AlignLeft),
                             texts.value(c));
            x += w;
        }
        painter.drawLine(QPointF(m_left, y + h), QPointF(m_right, y + h));
    }

private:
    double width(int column, double x) const
    {
        static constexpr std::array<double, StatisticsColumn::ColumnCount> kWidths{
            6, 34, 10, 7, 10, 10, 11, 11, 27, 0};
        return kWidths.at(size_t(column)) > 0 ? kWidths.at(size_t(column)) * m_mm : m_right - x;
    }

    double m_left;
    double m_right;
    double m_mm;
};

} // namespace

QRectF InspectionReport::diagramRect(const QRectF &page, double mm)
{
    return QRectF(page.left(), page.top() + kHeaderMm * mm, page.width() * 0.5,
                  kDiagramHeightMm * mm);
}

void InspectionReport::paintHeader(QPainter &painter, const QRectF &page, double mm) const
{
    painter.setFont(font(16, true));
    painter.drawText(QRectF(page.left(), page.top(), page.width(), 10 * mm),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Festékréteg-vastagság mérési jegyzőkönyv"));
    const Inspection &i = m_inspection;
    const auto given = [](const QString &text) {
        return text.isEmpty() ? QStringLiteral("–") : text;
    };
    const Verdict worst = m_bands.worst(summarise(i));
    const QList<std::pair<QString, QString>> lines{
        {QStringLiteral("Vizsgálat:"), QStringLiteral("%1. sz.").arg(i.id)},
        {QStringLiteral("Kezdés – befejezés:"),
         timeText(i.started) + QStringLiteral(" – ") + timeText(i.ended)},
        {QStringLiteral("Jármű kategória:"),
         i.category.isEmpty() ? QStringLiteral("(nem érkezett)") : i.category},
        {QStringLiteral("Rendszám / alvázszám:"), given(i.plateOrVin())},
        {QStringLiteral("Állomás:"), given(i.station)},
        {QStringLiteral("Vizsgáló:"), given(i.inspector)},
        {QStringLiteral("Összesített minősítés:"),
         verdictName(worst) + (i.judgedWith == m_bands
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

void InspectionReport::paintFooter(QPainter &painter, const QRectF &page, double mm, int number,
                                   int count) const
{
    const QRectF line(page.left(), page.bottom() - 5 * mm, page.width(), 5 * mm);
    painter.setFont(font(7));
    painter.setPen(Qt::darkGray);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, kTypedNote);
    painter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter,
                     QStringLiteral("%1/%2. oldal").arg(number).arg(count));
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Készült: ") + timeText(QDateTime::currentDateTime()) +
                         QStringLiteral(" – Kromaglen archívum"));
    painter.setPen(Qt::black);
}

bool InspectionReport::paint(QPagedPaintDevice &device) const
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double mm = device.logicalDpiX() / 25.4;
    const QRectF printable = device.pageLayout().paintRectPixels(device.logicalDpiX());
    const QRectF page(0, 0, printable.width(), printable.height());
    painter.setPen(Qt::black);

    const QList<PointStatistics> statistics = PointStatistics::perPoint(m_inspection, m_bands);
    const PointTable table(page.left(), page.right(), mm);
    painter.setFont(font(8, true));
    const QStringList header = statisticsHeader();
    const double headerHeight = table.height(painter, header);
    painter.setFont(font(8));
    QList<QStringList> texts;
    QList<double> heights;
    for (const PointStatistics &s : statistics) {
        texts.append(statisticsRow(s, m_inspection));
        heights.append(table.height(painter, texts.last()));
    }
    // The rows each page holds: the first below the diagram, the others from the top.
    const QRectF diagram = diagramRect(page, mm);
    const double firstTop = diagram.bottom() + 6 * mm;
    const double laterTop = page.top() + 8 * mm;
    const double bottom = page.bottom() - kFooterMm * mm;
    QList<qsizetype> pageStarts{0};
    double y = firstTop + headerHeight;
    for (qsizetype r = 0; r < heights.size(); ++r) {
        // A row that fits on no page is given one of its own.
        if (y + heights.at(r) > bottom && y > laterTop + headerHeight + 0.5) {
            pageStarts.append(r);
            y = laterTop + headerHeight;
        }
        y += heights.at(r);
    }
    const int pageCount = int(pageStarts.size());

    paintHeader(painter, page, mm);
    CarDiagram::Verdicts verdicts;
    verdicts.fill(Verdict::None);
    for (const PointStatistics &s : statistics)
        verdicts[size_t(s.point)] = s.verdict;
    CarDiagram::paint(painter, diagram, verdicts);
    paintLimits(painter,
                QRectF(diagram.right() + 5 * mm, diagram.top(),
                       page.right() - diagram.right() - 5 * mm, diagram.height()),
                mm);
    for (int p = 0; p < pageCount; ++p) {
        if (p > 0) {
            if (!device.newPage())
                return false;
            painter.setFont(font(9, true));
            painter.drawText(QRectF(page.left(), page.top(), page.width(), 6 * mm),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("%1. sz. vizsgálat – %2 (folytatás)")
                                 .arg(m_inspection.id)
                                 .arg(timeText(m_inspection.started)));
        }
        y = p == 0 ? firstTop : laterTop;
        painter.setFont(font(8, true));
        table.paint(painter, y, headerHeight, header, QColor());
        y += headerHeight;
        painter.setFont(font(8));
        const qsizetype end = p + 1 < pageCount ? pageStarts.at(p + 1) : statistics.size();
        for (qsizetype r = pageStarts.at(p); r < end; ++r) {
            table.paint(painter, y, heights.at(r), texts.at(r),
                        verdictColour(statistics.at(r).verdict).lighter(150));
            y += heights.at(r);
        }
        paintFooter(painter, page, mm, p + 1, pageCount);
    }
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
