#pragma once

#include <QByteArray>
#include <QString>

// Reading and rewriting the small settings files. Their failures are Failure
// of kind EInOutError with the file layer's texts, the same on every system:
// "File not found", "File access denied", "Invalid filename" or
// "I/O error <n>", n numbered as Windows numbers its errors (112: disk full).
namespace SettingsFile {

// The file's content, at most maxBytes of it when maxBytes is not negative.
QByteArray read(const QString &path, qint64 maxBytes = -1);

// Replaces the file by the content in one step (SafeFile), or, in a folder
// that takes no new file, rewrites it in place. On a failure of the one step
// the old file stays as it was, byte for byte.
void write(const QString &path, QByteArrayView content);

// The failure of a file operation on path that has just failed: Failure of
// kind EInOutError with the file layer's text for code (the system's error
// when not given, see SystemError).
[[noreturn]] void fail(const QString &path);
[[noreturn]] void fail(const QString &path, int code);

} // namespace SettingsFile
