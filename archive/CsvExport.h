#pragma once

#include <QByteArray>
#include <QString>

#include "Inspection.h"
#include "VerdictBands.h"

// Readings as CSV for spreadsheet programs: UTF-8 with a byte-order mark (so
// the accents read right), ';' between fields, CR LF, one row per reading.
// Columns are only ever added at the end, so readers of older files go on working.
namespace CsvExport {

// The byte-order mark and the header row.
QByteArray header();
QByteArray rows(const Inspection &inspection, const VerdictBands &bands);
// A field quoted when it needs to be; text that a spreadsheet would run as a
// formula is kept as text.
QString field(const QString &text);

} // namespace CsvExport
