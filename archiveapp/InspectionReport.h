#pragma once

#include <QMarginsF>
#include <QRectF>
#include <QString>

#include "ArchiveSettings.h" // StationProfile
#include "Inspection.h"
#include "VerdictBands.h"

class QPainter;
class QPagedPaintDevice;

// The report of an inspection, to hand over: the station (name, address,
// phone, logo), the inspection's data, the car diagram, the legend and the
// limits, a table of the points with their statistics, verdicts and every
// value (a typed one marked), and lines for the place and date and the
// inspector's and the customer's signatures. The 23 points fit the first A4
// page; a point with very many readings wraps over lines, and a table that no
// longer fits goes on over further pages headed with the plate. Painted the
// same way into a PDF file and onto a printer's pages.
class InspectionReport
{
public:
    static constexpr QMarginsF kMarginsMm{15, 12, 15, 10};

    InspectionReport(const Inspection &inspection, const VerdictBands &bands,
                     const StationProfile &profile = {})
        : m_inspection(inspection), m_bands(bands), m_profile(profile)
    {
    }

    // The document's title: what it is, the plate (or the number) and the day.
    static QString title(const Inspection &inspection);
    // Where the diagram goes on a page, in the units of `page`, with `mm` units a millimetre.
    static QRectF diagramRect(const QRectF &page, double mm);

    // Paints onto a PDF writer or a printer; false when the device cannot be painted on.
    bool paint(QPagedPaintDevice &device) const;
    // A4 PDF; throws Failure when the file cannot be written.
    void writePdf(const QString &path) const;

private:
    void paintStation(QPainter &painter, const QRectF &page, double mm) const;
    double paintData(QPainter &painter, const QRectF &area, double mm) const;
    void paintLimits(QPainter &painter, const QRectF &area, double mm) const;
    void paintSignatures(QPainter &painter, const QRectF &area, double mm) const;
    void paintFooter(QPainter &painter, const QRectF &page, double mm, int number, int count) const;

    const Inspection &m_inspection;
    const VerdictBands &m_bands;
    const StationProfile &m_profile;
};
