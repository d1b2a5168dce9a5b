#pragma once

#include <QString>
#include <optional>

// The texts a person gives an inspection (the plate, the VIN, the make and
// model, the odometer reading, the inspector's name) and the station's name
// from the settings file, checked and cleaned the one way for every place
// they come from: no control or format characters, blanks trimmed and runs
// of them made one, a length limit. A plate is upper case and holds letters,
// digits, blanks and hyphens; a VIN is seventeen letters and digits, never I,
// O or Q. An empty text is valid: the field was left out.
namespace InspectionDetails {

inline constexpr int kPlateMaxLength = 17;
inline constexpr int kVinLength = 17;
// The inspector's and the station's name, the make and model: what the
// report's header has room for.
inline constexpr int kNameMaxLength = 40;
inline constexpr int kOdometerMaxKm = 9999999;

// The cleaned text, or none with `problem` (in Hungarian, for the user) saying why.
// plate() takes a VIN too (the one field of earlier versions).
std::optional<QString> plate(const QString &typed, QString *problem = nullptr);
std::optional<QString> vin(const QString &typed, QString *problem = nullptr);
std::optional<QString> name(const QString &typed, QString *problem = nullptr);
// Kilometres, blanks and dots between the thousands allowed ("123 456"); an
// empty text: none. False with `problem` when it is not a number in range.
bool odometer(const QString &typed, std::optional<int> *km, QString *problem = nullptr);
// Whether a plate field's text is a VIN (as earlier versions' one field held).
bool looksLikeVin(const QString &text);
// What a search compares: upper case, without blanks and hyphens.
QString searchKey(const QString &text);

} // namespace InspectionDetails
