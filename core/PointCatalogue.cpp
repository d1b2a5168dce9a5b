#include "PointCatalogue.h"

#include <array>

namespace {

// clang-format off
const std::array<MeasurementPoint, PointCatalogue::kPointCount> kPoints{{
    {"LEFT_FRONT_WING", u"Bal első sárvédő", u"Festékrétegvastagság értékei a bal első sárvédőn."},
    {"LEFT_FRONT_DOOR", u"Bal első ajtó", u"Festékrétegvastagság értékei a bal első ajtón."},
    {"LEFT_COLUMN_A", u"Bal oldali A oszlop", u"Festékrétegvastagság értékei a bal oldali A oszlopon."},
    {"LEFT_COLUMN_B", u"Bal oldali B oszlop", u"Festékrétegvastagság értékei a bal oldali B oszlopon."},
    {"LEFT_REAR_DOOR", u"Bal hátsó ajtó", u"Festékrétegvastagság értékei a bal hátsó ajtón."},
    {"LEFT_COLUMN_C", u"Bal oldali C oszlop", u"Festékrétegvastagság értékei a bal oldali C oszlopon."},
    {"LEFT_ROOF", u"Tetőlemez bal oldala", u"Festékrétegvastagság értékei a tetőlemez bal oldalán."},
    {"LEFT_REAR_WING", u"Bal hátsó sárvédő", u"Festékrétegvastagság értékei a bal hátsó sárvédőn."},
    {"BOOTLID", u"Csomagtér tető", u"Festékrétegvastagság értékei a csomagtér tetőn."},
    {"SLAB_BACK", u"Hátfal", u"Festékrétegvastagság értékei a hátfalon."},
    {"HOOD", u"Motorház tető", u"Festékrétegvastagság értékei a motorház tetőn."},
    {"SLAB_FRONT", u"Homlokfal vagy zárhíd", u"Festékrétegvastagság értékei a homlokfalon vagy zárhídon."},
    {"VIN", u"Alvázszám", u"Festékrétegvastagság értékei az alvázszám megjelenésen."},
    {"VIN_SURF", u"Alvázszám hordozóelem", u"Festékrétegvastagság értékei az alvázszám hordozóelemen, az alvázszám megjelenés környezetében."},
    {"VIN_SURF_FIT", u"Alvázszám illesztés", u"Festékrétegvastagság értékei az alvázszám hordozóelem elsődleges illesztési pontjain."},
    {"RIGHT_FRONT_WING", u"Jobb első sárvédő", u"Festékrétegvastagság értékei a jobb első sárvédőn."},
    {"RIGHT_FRONT_DOOR", u"Jobb első ajtó", u"Festékrétegvastagság értékei a jobb első ajtón."},
    {"RIGHT_COLUMN_A", u"Jobb oldali A oszlop", u"Festékrétegvastagság értékei a jobb oldali A oszlopon."},
    {"RIGHT_COLUMN_B", u"Jobb oldali B oszlop", u"Festékrétegvastagság értékei a jobb oldali B oszlopon."},
    {"RIGHT_REAR_DOOR", u"Jobb hátsó ajtó", u"Festékrétegvastagság értékei a jobb hátsó ajtón."},
    {"RIGHT_COLUMN_C", u"Jobb oldali C oszlop", u"Festékrétegvastagság értékei a jobb oldali C oszlopon."},
    {"RIGHT_ROOF", u"Tetőlemez jobb oldala", u"Festékrétegvastagság értékei a tetőlemez jobb oldalán."},
    {"RIGHT_REAR_WING", u"Jobb hátsó sárvédő", u"Festékrétegvastagság értékei a jobb hátsó sárvédőn."},
}};
// clang-format on

} // namespace

namespace PointCatalogue {

bool isValidIndex(int index)
{
    return index >= 0 && index < kPointCount;
}

const MeasurementPoint &point(int index)
{
    Q_ASSERT(isValidIndex(index));
    return kPoints[size_t(index)];
}

QString pointId(int index)
{
    return QString::fromLatin1(point(index).pointId);
}

QString displayName(int index)
{
    return QString::fromUtf16(point(index).displayName);
}

QString description(int index)
{
    return QString::fromUtf16(point(index).description);
}

std::optional<int> indexOfPointId(QStringView id)
{
    for (int i = 0; i < kPointCount; ++i) {
        if (id == QLatin1String(kPoints[size_t(i)].pointId))
            return i;
    }
    return std::nullopt;
}

bool isMandatory(int index)
{
    return index == 12 || index == 13 || index == 14;
}

QString soundFile(int index)
{
    return QStringLiteral("hang\\") + pointId(index) + QStringLiteral(".wav");
}

} // namespace PointCatalogue
