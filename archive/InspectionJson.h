#pragma once

#include <QByteArray>
#include <QList>

#include "Inspection.h"

// Inspections as JSON, for the file that keeps those the archive could not
// take when the program ended ("Kromaglen_archive.pending").
namespace InspectionJson {

QByteArray encode(const QList<Inspection> &inspections);
// Entries that cannot be read are skipped; `ok` false when the file is not JSON.
QList<Inspection> decode(const QByteArray &json, bool *ok = nullptr);

} // namespace InspectionJson
