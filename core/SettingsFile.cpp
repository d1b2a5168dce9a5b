#include "SettingsFile.h"

#include "Failure.h"
#include "SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

using namespace SystemError;

// Taken right after the failing call; Qt's own checks (a folder in the file's
// place) leave no system error, so the path tells what went wrong.
[[noreturn]] void fail(const QString &path, int code = fileError(last()))
{
    const QFileInfo info(path);
    if (info.isDir())
        code = kAccessDenied;
    else if (code == kFileNotFound && !info.absoluteDir().exists())
        code = kPathNotFound;
    else if (code == 0)
        code = info.exists() ? kGeneralFailure : kFileNotFound;
    throw Failure(QStringLiteral("EInOutError"), fileErrorText(code));
}

} // namespace

namespace SettingsFile {

QByteArray read(const QString &path, qint64 maxBytes)
{
    QFile file(path);
    SystemError::clear();
    if (!file.open(QIODevice::ReadOnly))
        fail(path);
    const QByteArray content = maxBytes < 0 ? file.readAll() : file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        fail(path);
    return content;
}

void write(const QString &path, QByteArrayView content)
{
    QSaveFile file(path);
    SystemError::clear();
    if (!file.open(QIODevice::WriteOnly))
        fail(path);
    // Every byte must have reached the file before it replaces the old one:
    // a commit of a file whose buffer could not be written would still rename
    // it over the old file.
    if (file.write(content.data(), content.size()) != content.size() || !file.flush()) {
        const int code = fileError(last());
        file.cancelWriting();
        fail(path, code);
    }
    if (!file.commit())
        fail(path);
}

} // namespace SettingsFile
