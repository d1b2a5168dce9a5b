#include "Fonts.h"

namespace {

void installStandIns()
{
#ifndef Q_OS_WIN
    // Liberation Serif and Sans have the advance widths of Times New Roman and
    // Arial. MS Sans Serif is a bitmap family; of the free sans families only
    // Liberation Sans Narrow sets "Nem lett kiválasztva" at 12 px inside its
    // 89-pixel status field (DejaVu Sans 123 px, Liberation Sans 107, Narrow 87).
    QFont::insertSubstitution(Fonts::kTimes, QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(Fonts::kArial, QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(Fonts::kArialUnicode, QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(Fonts::kSansSerif, QStringLiteral("Liberation Sans Narrow"));
#else
    // Arial Unicode MS came with older Office versions, not with Windows 10
    // or 11: Arial, of the same widths, stands in where it is missing.
    QFont::insertSubstitution(Fonts::kArialUnicode, Fonts::kArial);
#endif
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
