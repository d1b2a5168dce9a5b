#include "SystemError.h"

#include <cerrno>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace SystemError {

int last()
{
#ifdef Q_OS_WIN
    return int(GetLastError());
#else
    return errno;
#endif
}

void clear()
{
#ifdef Q_OS_WIN
    SetLastError(0);
#else
    errno = 0;
#endif
}

int notOpen()
{
#ifdef Q_OS_WIN
    return ERROR_INVALID_HANDLE;
#else
    return EBADF;
#endif
}

int fileError(int systemError)
{
#ifdef Q_OS_WIN
    return systemError;
#else
    switch (systemError) {
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

QString fileErrorText(int fileError)
{
    switch (fileError) {
    case kFileNotFound:
        return QStringLiteral("File not found");
    case kPathNotFound:
        return QStringLiteral("Invalid filename");
    case kAccessDenied:
        return QStringLiteral("File access denied");
    default:
        return QStringLiteral("I/O error %1").arg(fileError);
    }
}

QString portOpenAdvice(int systemError)
{
    switch (fileError(systemError)) {
    case kAccessDenied:
#ifdef Q_OS_WIN
        // Windows refuses a port that another program has open so.
        return QStringLiteral("A portot egy másik program használja: zárja be azt a programot, "
                              "majd próbálja újra!");
#else
        return QStringLiteral("Nincs joga a porthoz: a rendszergazda vegye fel a felhasználót "
                              "a dialout csoportba (sudo usermod -aG dialout FELHASZNÁLÓNÉV), "
                              "majd jelentkezzen ki és be újra!");
#endif
    case kSharingViolation:
        return QStringLiteral("A portot egy másik program használja: zárja be azt a programot, "
                              "majd próbálja újra!");
    default:
        return {};
    }
}

} // namespace SystemError
