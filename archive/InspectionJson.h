#pragma once

#include <QByteArray>
#include <QList>

#include "Inspection.h"

// Inspections as JSON: the journal's entries (one inspection each, in
// "Kromaglen_archive.journal/"), an inspection the database refused, set
// aside as "Kromaglen_archive.refused-<id>.json", and an older version's
// "Kromaglen_archive.pending", taken over at start.
namespace InspectionJson {

QByteArray encode(const QList<Inspection> &inspections);
// Entries that cannot be read are skipped; `ok` false when the file is not JSON.
QList<Inspection> decode(const QByteArray &json, bool *ok = nullptr);

} // namespace InspectionJson
