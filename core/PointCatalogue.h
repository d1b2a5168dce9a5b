#pragma once

#include <QString>
#include <optional>

// The fixed catalogue of the 23 body points. Inside the program a point is its
// catalogue index 0..22; the PointId text is used only towards the outside.
struct MeasurementPoint
{
    const char *pointId;
    const char16_t *displayName;
    const char16_t *description;
};

namespace PointCatalogue {

inline constexpr int kPointCount = 23;

bool isValidIndex(int index);
const MeasurementPoint &point(int index);
QString pointId(int index);
QString displayName(int index);
QString description(int index);

// Exact, case-sensitive lookup of a PointId.
std::optional<int> indexOfPointId(QStringView pointId);

// The vehicle-identification-number points, always part of every plan.
bool isMandatory(int index);

// "hang\<PointId>.wav": the recording naming the point.
QString soundFile(int index);

} // namespace PointCatalogue
