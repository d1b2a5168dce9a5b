#pragma once

#include <QRectF>
#include <QString>

#include "Inspection.h"
#include "VerdictBands.h"

class QPainter;
class QPagedPaintDevice;

// The one-page report of an inspection: its data, the car diagram, the
// limits, a table of the points with their statistics and verdicts. Painted
// the same way into a PDF file and onto a printer's page.
class InspectionReport
{
public:
    InspectionReport(const Inspection &inspection, const VerdictBands &bands)
        : m_inspection(inspection), m_bands(bands)
    {
    }

    // Where the diagram goes on a page, in the units of `page`, with `mm` units a millimetre.
    static QRectF diagramRect(const QRectF &page, double mm);

    void paint(QPainter &painter, const QRectF &page, double mm) const;
    // Paints onto a PDF writer or a printer; false when the device cannot be painted on.
    bool paint(QPagedPaintDevice &device) const;
    // A4 PDF; throws Failure when the file cannot be written.
    void writePdf(const QString &path) const;

private:
    double paintHeader(QPainter &painter, const QRectF &page, double mm) const;
    void paintLimits(QPainter &painter, const QRectF &area, double mm) const;
    void paintTable(QPainter &painter, const QRectF &area, double mm) const;

    const Inspection &m_inspection;
    const VerdictBands &m_bands;
};
