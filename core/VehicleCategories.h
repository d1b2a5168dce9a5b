#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The vehicle categories the inspection program names by their code.
namespace VehicleCategoryTable {

inline constexpr int kRowCount = 46;

QString row(int index);

// The first row (in table order) whose first bytes equal the code, compared
// exactly on the code page 1250 bytes; nothing when no row matches.
std::optional<QString> FindVehicleCategory(QStringView code);

} // namespace VehicleCategoryTable
