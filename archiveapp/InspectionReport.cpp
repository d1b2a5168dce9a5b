#include "InspectionReport.h"

#include "CarDiagram.h"
#include "DateFormat.h"
#include "Failure.h"
#include "PointCatalogue.h"
#include "PointStatistics.h"
#include "StatisticsText.h"
#include "VerdictColours.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <array>

namespace {

// Heights on the page: the station and the inspection's data, the diagram
// below them, the signatures and the footer at the bottom.
constexpr double kHeaderMm = 52;
constexpr double kDiagramHeightMm = 70;
constexpr double kSignaturesMm = 24;
constexpr double kFooterMm = 6;
// The table's rows: one line of text, and the room above and below it.
constexpr double kRowMm = 4.2;
constexpr double kRowPaddingMm = 1.0;
constexpr double kTablePoints = 7.5;

QFont font(double points, bool bold = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The text within `room` in the largest size from `points` down that lets it
// fit, wrapped between words; at the smallest size wrapped anywhere, and what
// is left over is cut.
void fitText(QPainter &painter, const QRectF &room, const QString &text, double points, bool bold)
{
    constexpr double kSmallest = 5.5;
    int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    for (double size = points;; size -= 0.5) {
        painter.setFont(font(size, bold));
        const QRectF needed = painter.boundingRect(room, flags, text);
        if (needed.height() <= room.height() + 0.5 && needed.width() <= room.width() + 0.5)
            break;
        if (size - 0.5 < kSmallest) {
            flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;
            break;
        }
    }
    painter.save();
    painter.setClipRect(room);
    painter.drawText(room, flags, text);
    painter.restore();
}

// The table of the points across the page: column widths in millimetres, the
// readings taking what is left. The point's name and its values wrap onto as
// many lines as they need; the other columns hold short texts. The verdict
// cell is filled with the verdict's colour, as on the diagram and the legend,
// and the row lines are drawn over the fills.
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
                QRectF(0, 0, w - 2 * m_mm, 1e6).toRect(), flags(c), texts.value(c));
            h = std::max(h, needed.height() + kRowPaddingMm * m_mm);
            x += w;
        }
        return h;
    }

    void paint(QPainter &painter, double y, double h, const QStringList &texts,
               std::optional<Verdict> verdict) const
    {
        double x = m_left;
        for (int c = 0; c < StatisticsColumn::ColumnCount; ++c) {
            const double w = width(c, x);
            const QRectF cell(x, y, w, h);
            const bool coloured = c == StatisticsColumn::Verdict && verdict;
            if (coloured)
                painter.fillRect(cell, verdictColour(*verdict));
            painter.setPen(coloured ? verdictTextColour(*verdict) : QColor(Qt::black));
            painter.drawText(cell.adjusted(m_mm, kRowPaddingMm * m_mm / 2, -m_mm, 0),
                             Qt::AlignTop | flags(c) |
                                 (StatisticsColumn::isFigure(c) ? Qt::AlignRight : Qt::AlignLeft),
                             texts.value(c));
            x += w;
        }
        painter.setPen(QPen(QColor(0x60, 0x60, 0x60), m_mm * 0.15));
        painter.drawLine(QPointF(m_left, y), QPointF(m_right, y));
        painter.drawLine(QPointF(m_left, y + h), QPointF(m_right, y + h));
        painter.setPen(Qt::black);
    }

private:
    // The name and the values wrap; a figure or a verdict stays on its line.
    static int flags(int column)
    {
        return column == StatisticsColumn::Readings || column == StatisticsColumn::Point
                   ? Qt::TextWordWrap | Qt::TextWrapAnywhere
                   : Qt::TextSingleLine;
    }

    double width(int column, double x) const
    {
        static constexpr std::array<double, StatisticsColumn::ColumnCount> kWidths{
            6, 35, 10, 6, 10, 10, 12, 12, 24, 0};
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

QString InspectionReport::title(const Inspection &inspection)
{
    return QStringLiteral("Festékréteg-vastagság mérési jegyzőkönyv – %1 – %2")
        .arg(inspection.plateOrVin().isEmpty()
                 ? QStringLiteral("%1. sz. vizsgálat").arg(inspection.id)
                 : inspection.plateOrVin(),
             inspection.started.toLocalTime().toString(DateFormat::kShort));
}

void InspectionReport::paintStation(QPainter &painter, const QRectF &page, double mm) const
{
    const QRectF block(page.left(), page.top(), page.width(), 18 * mm);
    double textLeft = block.left();
    // The logo at the left, as large as fits 40 × 18 mm at its own proportions.
    const QImage logo = m_profile.logo.isEmpty() ? QImage() : QImage(m_profile.logo);
    if (!logo.isNull()) {
        const QSizeF room(40 * mm, block.height());
        const QSizeF size = QSizeF(logo.size()).scaled(room, Qt::KeepAspectRatio);
        painter.drawImage(QRectF(block.topLeft(), size), logo);
        textLeft += size.width() + 4 * mm;
    }
    const double textWidth = block.width() * 0.55 - (textLeft - block.left());
    const QString name = m_profile.name.isEmpty() ? m_inspection.station : m_profile.name;
    fitText(painter, QRectF(textLeft, block.top(), textWidth, 9.5 * mm), name, 12, true);
    painter.setFont(font(9));
    double y = block.top() + 9.5 * mm;
    for (const QString &line :
         {m_profile.address,
          m_profile.phone.isEmpty() ? QString() : QStringLiteral("Tel.: ") + m_profile.phone}) {
        if (line.isEmpty())
            continue;
        fitText(painter, QRectF(textLeft, y, textWidth, 4.2 * mm), line, 9, false);
        y += 4.2 * mm;
    }
    const QRectF right(block.left() + block.width() * 0.55, block.top(), block.width() * 0.45,
                       block.height());
    painter.setFont(font(13, true));
    painter.drawText(right, Qt::AlignRight | Qt::AlignTop | Qt::TextWordWrap,
                     QStringLiteral("Festékréteg-vastagság\nmérési jegyzőkönyv"));
    painter.setFont(font(9));
    painter.drawText(right, Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("%1. sz. vizsgálat").arg(m_inspection.id));
    painter.setPen(QPen(Qt::black, 0.3 * mm));
    painter.drawLine(QPointF(page.left(), block.bottom() + 1.5 * mm),
                     QPointF(page.right(), block.bottom() + 1.5 * mm));
}

double InspectionReport::paintData(QPainter &painter, const QRectF &area, double mm) const
{
    const Inspection &i = m_inspection;
    const auto given = [](const QString &text) {
        return text.isEmpty() ? QStringLiteral("–") : text;
    };
    const Verdict worst = m_bands.worst(summarise(i));
    using Line = std::pair<QString, QString>;
    const QList<Line> left{
        {QStringLiteral("Rendszám:"), given(i.plate)},
        {QStringLiteral("Alvázszám:"), given(i.vin)},
        {QStringLiteral("Gyártmány, típus:"), given(i.makeModel)},
        {QStringLiteral("Kezdés – befejezés:"),
         timeText(i.started) + QStringLiteral(" – ") + timeText(i.ended) +
             (i.interrupted ? QStringLiteral(" (félbeszakadt)") : QString())},
        {QStringLiteral("Összesített minősítés:"),
         verdictName(worst) + (i.judgedWith == m_bands
                                   ? QString()
                                   : QStringLiteral(" – újraminősítve a mai határokkal, nem az "
                                                    "eredeti minősítés"))},
    };
    const QList<Line> right{
        {QStringLiteral("Km-állás:"),
         i.odometerKm ? QLocale(QLocale::Hungarian).toString(*i.odometerKm) + QStringLiteral(" km")
                      : given({})},
        {QStringLiteral("Állomás:"), given(i.station)},
        {QStringLiteral("Vizsgáló:"), given(i.inspector)},
    };
    constexpr double kLine = 4.2;
    // The left column the wider: the times and the verdict are long.
    const double half = area.width() * 0.62;
    double y = area.top();
    const auto line = [&](double x, double width, const Line &l, int lines, bool bold) {
        const double labelWidth = (x > area.left() ? 20 : 37) * mm;
        painter.setFont(font(9));
        painter.drawText(QRectF(x, y, labelWidth, kLine * mm), Qt::AlignLeft, l.first);
        fitText(painter, QRectF(x + labelWidth, y, width - labelWidth, lines * kLine * mm),
                l.second, 9, bold);
    };
    for (qsizetype n = 0; n < left.size(); ++n) {
        line(area.left(), n < right.size() ? half - 2 * mm : area.width(), left.at(n), 1,
             n == 0 || n + 1 == left.size());
        if (n < right.size())
            line(area.left() + half, area.width() - half, right.at(n), 1, false);
        y += kLine * mm;
    }
    // The category line whole, over the page's width: smaller where it is long.
    line(area.left(), area.width(),
         {QStringLiteral("Jármű kategória:"),
          i.category.isEmpty() ? QStringLiteral("(nem érkezett)") : i.category},
         2, false);
    painter.setFont(font(9));
    return y + 2 * kLine * mm;
}

void InspectionReport::paintLimits(QPainter &painter, const QRectF &area, double mm) const
{
    painter.setFont(font(10, true));
    painter.drawText(QRectF(area.left(), area.top(), area.width(), 6 * mm), Qt::AlignLeft,
                     QStringLiteral("Jelmagyarázat"));
    painter.setFont(font(8));
    CarDiagram::paintLegend(painter,
                            QRectF(area.left(), area.top() + 6 * mm, area.width(), 30 * mm));
    double y = area.top() + 36 * mm;
    painter.setFont(font(10, true));
    painter.drawText(QRectF(area.left(), y, area.width(), 6 * mm), Qt::AlignLeft,
                     QStringLiteral("Minősítési határok (µm)"));
    y += 6 * mm;
    // One row per verdict in the legend's order, one column per substrate.
    const double nameWidth = area.width() * 0.5;
    const double column = (area.width() - nameWidth) / 2;
    painter.setFont(font(9, true));
    for (Substrate s : {Substrate::FE, Substrate::AL})
        painter.drawText(QRectF(area.left() + nameWidth + column * int(s), y, column, 5 * mm),
                         Qt::AlignLeft, substrateName(s));
    painter.setFont(font(9));
    for (Verdict verdict : CarDiagram::kLegendOrder) {
        if (verdict == Verdict::None)
            continue;
        y += 4.6 * mm;
        painter.drawText(QRectF(area.left(), y, nameWidth, 5 * mm), Qt::AlignLeft,
                         verdictName(verdict));
        for (Substrate s : {Substrate::FE, Substrate::AL})
            painter.drawText(QRectF(area.left() + nameWidth + column * int(s), y, column, 5 * mm),
                             Qt::AlignLeft, limitText(verdict, m_bands.of(s)));
    }
}

void InspectionReport::paintSignatures(QPainter &painter, const QRectF &area, double mm) const
{
    painter.setFont(font(9));
    const double third = area.width() / 3;
    // Place and date, written by hand (the day the inspection ended beside it).
    painter.drawText(QRectF(area.left(), area.top(), area.width(), 5 * mm), Qt::AlignLeft,
                     QStringLiteral("Kelt: ........................................, ") +
                         m_inspection.ended.toLocalTime().toString(DateFormat::kShort));
    const double lineY = area.bottom() - 6 * mm;
    const QList<std::pair<double, QString>> signatures{
        {area.left(), QStringLiteral("vizsgáló aláírása") +
                          (m_inspection.inspector.isEmpty()
                               ? QString()
                               : QStringLiteral(" (") + m_inspection.inspector + u')')},
        {area.left() + third + 5 * mm, QStringLiteral("P. H.")},
        {area.left() + 2 * third + 10 * mm, QStringLiteral("ügyfél aláírása")},
    };
    painter.setPen(QPen(Qt::black, 0.2 * mm, Qt::DotLine));
    for (const auto &[x, caption] : signatures) {
        const double w = third - 10 * mm;
        if (caption != u"P. H.")
            painter.drawLine(QPointF(x, lineY), QPointF(x + w, lineY));
        painter.drawText(QRectF(x, lineY + 1 * mm, w, 5 * mm), Qt::AlignHCenter | Qt::AlignTop,
                         caption);
    }
    painter.setPen(Qt::black);
}

void InspectionReport::paintFooter(QPainter &painter, const QRectF &page, double mm, int number,
                                   int count) const
{
    const QRectF line(page.left(), page.bottom() - 4 * mm, page.width(), 4 * mm);
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
    painter.setFont(font(kTablePoints, true));
    const QStringList header = statisticsHeader();
    const double headerHeight = table.height(painter, header);
    painter.setFont(font(kTablePoints));
    QList<QStringList> texts;
    QList<double> heights;
    for (const PointStatistics &s : statistics) {
        texts.append(statisticsRow(s, m_inspection));
        heights.append(table.height(painter, texts.last()));
    }
    // The rows each page holds: the first below the diagram, the others from
    // the top; the last page keeps room for the signatures.
    const QRectF diagram = diagramRect(page, mm);
    const double firstTop = diagram.bottom() + 3 * mm;
    const double laterTop = page.top() + 8 * mm;
    const double bottom = page.bottom() - kFooterMm * mm;
    const double signaturesTop = bottom - kSignaturesMm * mm;
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
    // No room left for the signatures: they go onto a page of their own.
    const bool signaturesAlone = y > signaturesTop;
    const int pageCount = int(pageStarts.size()) + (signaturesAlone ? 1 : 0);

    paintStation(painter, page, mm);
    paintData(painter, QRectF(page.left(), page.top() + 21.5 * mm, page.width(), 30 * mm), mm);
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
                             QStringLiteral("%1 – %2. sz. vizsgálat – %3 (folytatás)")
                                 .arg(m_inspection.plateOrVin().isEmpty()
                                          ? QStringLiteral("rendszám nélkül")
                                          : m_inspection.plateOrVin())
                                 .arg(m_inspection.id)
                                 .arg(timeText(m_inspection.started)));
        }
        if (p < pageStarts.size()) {
            y = p == 0 ? firstTop : laterTop;
            painter.setFont(font(kTablePoints, true));
            table.paint(painter, y, headerHeight, header, std::nullopt);
            y += headerHeight;
            painter.setFont(font(kTablePoints));
            const qsizetype end =
                p + 1 < pageStarts.size() ? pageStarts.at(p + 1) : statistics.size();
            for (qsizetype r = pageStarts.at(p); r < end; ++r) {
                table.paint(painter, y, heights.at(r), texts.at(r), statistics.at(r).verdict);
                y += heights.at(r);
            }
        }
        if (p + 1 == pageCount)
            paintSignatures(
                painter, QRectF(page.left(), signaturesTop, page.width(), kSignaturesMm * mm), mm);
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
        pdf.setPageMargins(kMarginsMm, QPageLayout::Millimeter);
        pdf.setTitle(title(m_inspection));
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
