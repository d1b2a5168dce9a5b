#include "Fonts.h"

namespace {

void installStandIns()
{
    // A family that is there is drawn itself; where one is missing, a family
    // of the same advance widths stands in, so the captions keep the room
    // they were laid out for: on Linux, on a Windows 10 or 11 without Arial
    // Unicode MS (it came with older Office versions), on a Wine without the
    // Windows fonts. Liberation Serif and Sans have the widths of Times New
    // Roman and Arial. MS Sans Serif is a bitmap family; of the free sans
    // families only Liberation Sans Narrow sets "Nem lett kiválasztva" at
    // 12 px inside its 89-pixel status field (DejaVu Sans 123 px, Liberation
    // Sans 107, Narrow 87).
    QFont::insertSubstitution(Fonts::kTimes, QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(Fonts::kArial, QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(Fonts::kArialUnicode, Fonts::kArial);
    QFont::insertSubstitution(Fonts::kArialUnicode, QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(Fonts::kSansSerif, QStringLiteral("Liberation Sans Narrow"));
}

} // namespace

QFont Fonts::font(const QString &family, int pixelSize, bool bold)
{
    static const bool installed = (installStandIns(), true);
    Q_UNUSED(installed);
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}
