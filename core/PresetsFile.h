#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "MeasurementPlan.h"

// A plan stored under a name.
struct PlanPreset
{
    QString name;
    PlanSnapshot entries{};
};

// The text form of the presets file: one line per preset, code page 1250,
// "name" followed by 23 times ":" index ":" I|N, lines ended by CR LF.
namespace PresetsFile {

// Reads every preset of the file's content in file order. Throws Failure at the
// first bad line: Exception "Érvénytelen karakter! (<flag>)" for a bad flag,
// EConvertError "'<text>' is not a valid integer value" for a bad index, and
// Exception for an index outside the catalogue or repeated within a line.
QList<PlanPreset> parse(const QByteArray &content);

QByteArray serialize(const QList<PlanPreset> &presets);
QByteArray serializeLine(const PlanPreset &preset);

} // namespace PresetsFile
