#pragma once

#include <QByteArray>
#include <QString>

#include "Failure.h"

// Replaces a file whole, or leaves it as it was: the new content is written
// beside it, flushed and checked before it takes the old one's place (a full
// disk must not leave a truncated file behind).
namespace SafeFile {

// Throws Failure("EInOutError", ...) when the file cannot be replaced.
void write(const QString &path, const QByteArray &content);

} // namespace SafeFile
