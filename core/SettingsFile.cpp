#include "SettingsFile.h"

#include "Failure.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

// Error numbers as the file layer reports them.
enum IoError {
    kFileNotFound = 2,
    kPathNotFound = 3,
    kTooManyOpenFiles = 4,
    kAccessDenied = 5,
    kSharingViolation = 32,
    kGeneralFailure = 31,
    kDiskFull = 112,
};

} // namespace

namespace SettingsFile {

void clearSystemError()
{
#ifdef Q_OS_WIN
    SetLastError(0);
#else
    errno = 0;
#endif
}

int systemError()
{
#ifdef Q_OS_WIN
    return int(GetLastError());
#else
    switch (errno) {
    case 0:
        return 0;
    case ENOENT:
        return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return kPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return kAccessDenied;
    case ENOSPC:
    case EDQUOT:
        return kDiskFull;
    case EMFILE:
    case ENFILE:
        return kTooManyOpenFiles;
    case EBUSY:
    case ETXTBSY:
        return kSharingViolation;
    default:
        return kGeneralFailure;
    }
#endif
}

// Taken right after the failing call; Qt's own checks (a folder in the file's
// place) leave no system error, so the path tells what went wrong.
void fail(const QString &path, int code)
{
    const QFileInfo info(path);
    if (info.isDir())
        code = kAccessDenied;
    else if (code == kFileNotFound && !info.absoluteDir().exists())
        code = kPathNotFound;
    else if (code == 0)
        code = info.exists() ? kGeneralFailure : kFileNotFound;
    throw Failure(QStringLiteral("EInOutError"), SettingsFile::ioErrorText(code));
}

void fail(const QString &path)
{
    fail(path, systemError());
}

QString ioErrorText(int code)
{
    switch (code) {
    case kFileNotFound:
        return QStringLiteral("File not found");
    case kPathNotFound:
        return QStringLiteral("Invalid filename");
    case kAccessDenied:
        return QStringLiteral("File access denied");
    default:
        return QStringLiteral("I/O error %1").arg(code);
    }
}

QByteArray read(const QString &path, qint64 maxBytes)
{
    QFile file(path);
    clearSystemError();
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
