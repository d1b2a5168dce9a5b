#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include "Failure.h"

// Replaces a file whole, or leaves it as it was: the new content is written
// beside it, flushed and checked before it takes the old one's place (a full
// disk must not leave a truncated file behind). Its failures carry the file
// layer's texts (SystemError::fileErrorText), whoever writes.
namespace SafeFile {

// Where the folder refuses the file written beside: fail, or rewrite the file
// in place when the file itself may be written. In place is not atomic (a
// failure midway can leave part of the new content), so only files that are
// cheap to write again ask for it.
enum class InFolderReadOnly { Fail, RewriteInPlace };

// Throws Failure("EInOutError", ...) when the file cannot be replaced; the
// old file then stays as it was, byte for byte (unless rewritten in place).
// `permissions`, when given, are the new file's before it takes the old one's
// place (otherwise it keeps the old file's).
void write(const QString &path, QByteArrayView content,
           InFolderReadOnly inReadOnlyFolder = InFolderReadOnly::Fail,
           QFileDevice::Permissions permissions = {});

} // namespace SafeFile
