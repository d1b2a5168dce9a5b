#include "SettingsFile.h"

#include "Failure.h"
#include "SafeFile.h"
#include "SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SettingsFile {

// Taken right after the failing call; Qt's own checks (a folder in the file's
// place) leave no system error, so the path tells what went wrong.
void fail(const QString &path, int code)
{
    using namespace SystemError;
    const QFileInfo info(path);
    if (info.isDir())
        code = kAccessDenied;
    else if (code == kFileNotFound && !info.absoluteDir().exists())
        code = kPathNotFound;
    else if (code == 0)
        code = info.exists() ? kGeneralFailure : kFileNotFound;
    throw Failure(QStringLiteral("EInOutError"), fileErrorText(code));
}

void fail(const QString &path)
{
    fail(path, SystemError::fileError(SystemError::last()));
}

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
    // A station may keep its settings in a folder it may not add files to
    // but whose files it may change.
    SafeFile::write(path, content, SafeFile::InFolderReadOnly::RewriteInPlace);
}

} // namespace SettingsFile
