#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

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

// The entry of an inspection in progress: its state as a first line, and a
// line for each batch of readings added since, so that keeping it costs a
// short synced append rather than the whole inspection each time.
QByteArray encodeOpen(const Inspection &inspection);
QByteArray encodeAdded(const QDateTime &ended, const QList<ArchivedReading> &readings);
// Nothing, and `problem` saying why, unless the first line is one entry in
// progress and every complete line after it holds readings with their types;
// a last line without its line break (cut off by an end by force) is left out.
std::optional<Inspection> decodeOpen(const QByteArray &content, QString *problem = nullptr);

} // namespace InspectionJson
