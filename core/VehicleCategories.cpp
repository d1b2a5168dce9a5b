#include "VehicleCategories.h"

#include "Cp1250.h"

#include <array>

namespace {

// The order matters: the lookup takes the first row with a matching prefix.
// clang-format off
const std::array<const char16_t *, VehicleCategoryTable::kRowCount> kRows{{
    u"C1 - traktor, lánctalpas, max. 40 km/ó, min. 601 kg, hasmagasság 601-1000 mm",
    u"C2 - traktor, lánctalpas, max. 40 km/ó, min. 601 kg, hasmagasság max. 600 mm",
    u"C3 - traktor, lánctalpas, max. 40 km/ó, max. 600 kg",
    u"C4 - traktor, lánctalpas, különleges felhasználásra, max. 40 km/ó",
    u"C5 - traktor, lánctalpas, vmax 40 km/ó felett",
    u"LJ - lassú jármű",
    u"L1e - motorkerékpár, kétkerekű, max. 50 ccm belsőégésű, vagy max. 4kW-os elektromotorral",
    u"L2e - motorkerékpár, háromkerekű, max. 50 ccm Otto, vagy max. 4kW-os egyéb motorral",
    u"L3e - motorkerékpár 50 ccm és 45 km/ó felett",
    u"L4e - motorkerékpár, oldalkocsis, 50 ccm és 45 km/ó felett",
    u"L5e - motorkerékpár, háromkerekű (tricikli), 50 ccm és 45 km/ó felett",
    u"L6e - motorkerékpár, négykerekű, max 350 kg, max 50 ccm Otto, vagy max 4 kW egyéb motorral.",
    u"L7e - motorkerékpár L6e-be nem tartozó, max 400 (550) kg, max 15 kW",
    u"M1 - személygépkocsi",
    u"M1G - személygépkocsi, terepjáró",
    u"M2 - autóbusz 5 t-ig",
    u"M2G - autóbusz 5 t-ig, terepjáró",
    u"M3 - autóbusz 5 t felett",
    u"M3G - autóbusz 5 t felett, terepjáró",
    u"N1 - tehergépkocsi 3,5t-ig",
    u"N1G - tehergépkocsi 3,5t-ig, terepjáró",
    u"N2 - tehergépkocsi 3,5 és 12 t között",
    u"N2G - tehergépkocsi 3,5 és 12 t között, terepjáró",
    u"N3 - tehergépkocsi 12 t felett",
    u"N3G - tehergépkocsi 12 t felett, terepjáró",
    u"O1 - pótkocsi 0,75 t-ig",
    u"O2 - pótkocsi 0,75 és 3,5 t között",
    u"O3 - pótkocsi 3,5 és 10 t között",
    u"O4 - pótkocsi 10 t felett",
    u"Ra1 - traktor pótkocsi, össz tengelyterhelés max. 1500 kg, vmax. 40 km/ó",
    u"Ra2 - traktor pótkocsi, össz tengelyterhelés 1500-3500 kg között, vmax 40 km/ó",
    u"Ra3 - traktor pótkocsi, össz tengelyterhelés 3500-21000 kg közöttt, vmax 40 km/ó",
    u"Ra4 - traktor pótkocsi, össz tengelyterhelés 21000 kg felett, vmax 40 km/ó",
    u"Rb1 - traktor pótkocsi, össz tegelyterhelés max. 1500 kg, vmax 40 km/ó felett",
    u"Rb2 - traktor pótkocsi, össz tengelyterhelés 1500-3500 kg között, vmax 40 km/ó felett",
    u"Rb3 - traktor pótkocsi, össz tengelyterhelés 3500-21000 kg között, vmax 40 km/ó felett",
    u"Rb4 - traktor pótkocsi, össz tengelyterhelés 21000 kg felett, vmax. 40 km/ó felett",
    u"Sa1 - traktor vontatmányú gép, össz tengelyterhelés max 3500 kg, vmax 40 km/ó",
    u"Sa2 - traktor vontatmányú gép, össz tengelyterhelés 3500 kg felett, vmax 40 km/ó",
    u"Sb1 - traktor vontatmányú gép, össz tengelyterhelés max 3500 kg, vmax 40 km/ó felett",
    u"Sb2 - traktor vontatmányú gép, össz tengelyterhelés 3500 kg felett, vmax 40 km/ó felet",
    u"T1 - traktor, kerekes, max. 40 km/ó, min. 601 kg, hasmagasság 601-1000 mm",
    u"T2 - traktor, kerekes, max 40 km/ó, min. 601 kg, hasmagasság max. 600 mm",
    u"T3 - traktor, kerekes, max. 40 km/ó, max. 600 kg",
    u"T4 - traktor, kerekes, különleges felhasználásra, max. 40 km/ó",
    u"T5 - traktor, kerekes, vmax. 40 km/ó felett",
}};
// clang-format on

} // namespace

namespace VehicleCategoryTable {

QString row(int index)
{
    return QString::fromUtf16(kRows[size_t(index)]);
}

std::optional<QString> FindVehicleCategory(QStringView code)
{
    const QByteArray wanted = Cp1250::encode(code);
    for (int i = 0; i < kRowCount; ++i) {
        const QString text = row(i);
        if (Cp1250::encode(text).startsWith(wanted))
            return text;
    }
    return std::nullopt;
}

} // namespace VehicleCategoryTable
