#pragma once

#include <QString>
#include <optional>

// The texts a person gives an inspection (the plate or VIN, the inspector's
// name) and the station's name from the settings file, checked and cleaned
// the one way for every place they come from: no control or format
// characters, blanks trimmed and runs of them made one, a length limit. The
// plate field is upper case and holds letters, digits, blanks and hyphens;
// seventeen characters make a VIN, which never holds I, O or Q. An empty
// text is valid: the field was left out.
namespace InspectionDetails {

inline constexpr int kPlateMaxLength = 17;
inline constexpr int kVinLength = 17;
// The inspector's and the station's name: what the report's header has room for.
inline constexpr int kNameMaxLength = 40;

// The cleaned text, or none with `problem` (in Hungarian, for the user) saying why.
std::optional<QString> plate(const QString &typed, QString *problem = nullptr);
std::optional<QString> name(const QString &typed, QString *problem = nullptr);

} // namespace InspectionDetails
