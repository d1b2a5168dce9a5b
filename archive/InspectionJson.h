#pragma once

#include <QByteArray>
#include <QList>

#include "Inspection.h"

// Inspections as JSON: the journal's entries (one inspection each, in
// "Kromaglen_archive.journal/", finished or still in progress), an
// inspection the database refused, set aside as
// "Kromaglen_archive.refused-<id>.json", and an older version's
// "Kromaglen_archive.pending", taken over at start.
namespace InspectionJson {

// `open`: the inspections are still in progress (the journal keeps them so
// from their first reading).
QByteArray encode(const QList<Inspection> &inspections, bool open = false);
// Every inspection of the file, or none: `ok` false, and `problem` saying
// what, when the file is not a JSON list of entries whose every field has
// its type and its range (nothing is guessed or left out). `open`: an entry
// is still in progress.
QList<Inspection> decode(const QByteArray &json, bool *ok = nullptr, bool *open = nullptr,
                         QString *problem = nullptr);

} // namespace InspectionJson
