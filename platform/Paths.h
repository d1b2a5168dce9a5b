#pragma once

#include <QString>

namespace Paths {

// A program path written with backslashes ("hang\NEXT.wav") as a path of this
// platform, relative to the working directory.
QString local(const QString &programPath);

} // namespace Paths
