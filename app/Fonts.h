#pragma once

#include <QFont>

// The windows' fonts: the Windows families they were laid out with, at pixel
// sizes. Where a family is missing (Linux), a free family of the same widths
// stands in for it, so the captions keep the room they were laid out for.
namespace Fonts {

inline const QString kTimes = QStringLiteral("Times New Roman");
inline const QString kArial = QStringLiteral("Arial");
inline const QString kArialUnicode = QStringLiteral("Arial Unicode MS");
inline const QString kSansSerif = QStringLiteral("MS Sans Serif");

// The first call registers the stand-ins.
QFont font(const QString &family, int pixelSize, bool bold = false);

} // namespace Fonts
