#pragma once

#include <QRectF>
#include <QString>

#include "Inspection.h"
#include "VerdictBands.h"

class QPainter;
class QPagedPaintDevice;

// The report of an inspection: its data, the car diagram, the limits, a
// table of the points with their statistics, verdicts and every value (a
// typed one marked), wrapped over as many lines as a point needs. The table
// goes on over further pages when it does not fit on the first. Painted the
// same way into a PDF file and onto a printer's pages.
class InspectionReport
{
public:
    InspectionReport(const Inspection &inspection, const VerdictBands &bands)
        : m_inspection(inspection), m_bands(bands)
    {
    }

    // Where the diagram goes on a page, in the units of `page`, with `mm` units a millimetre.
    static QRectF diagramRect(const QRectF &page, double mm);

    // Paints onto a PDF writer or a printer; false when the device cannot be painted on.
    bool paint(QPagedPaintDevice &device) const;
    // A4 PDF; throws Failure when the file cannot be written.
    void writePdf(const QString &path) const;

private:
    void paintHeader(QPainter &painter, const QRectF &page, double mm) const;
    void paintLimits(QPainter &painter, const QRectF &area, double mm) const;
    void paintFooter(QPainter &painter, const QRectF &page, double mm, int number, int count) const;

    const Inspection &m_inspection;
    const VerdictBands &m_bands;
};
