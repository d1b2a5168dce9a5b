#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include "Failure.h"

// Replaces a file whole, or leaves it as it was: the new content is written
// beside it, flushed and checked before it takes the old one's place (a full
// disk must not leave a truncated file behind).
namespace SafeFile {

// Throws Failure("EInOutError", ...) when the file cannot be replaced.
// `permissions`, when given, are the new file's before it takes the old one's
// place (otherwise it keeps the old file's).
void write(const QString &path, const QByteArray &content,
           QFileDevice::Permissions permissions = {});

} // namespace SafeFile
