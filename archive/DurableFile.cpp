#include "DurableFile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

bool syncHandle(int handle)
{
#ifdef Q_OS_WIN
    return ::_commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

// Replaces `to` with `from` in one step; the reason when it cannot.
QString replace(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    if (::MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()),
                      reinterpret_cast<const wchar_t *>(to.utf16()),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return QStringLiteral("a fájl nem cserélhető (%1)").arg(::GetLastError());
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return {};
    return QString::fromLocal8Bit(std::strerror(errno));
#endif
}

[[noreturn]] void fail(const QString &path, const QString &reason)
{
    throw Failure(QStringLiteral("EInOutError"), path + QStringLiteral(": ") + reason);
}

// Writes all of `content` and syncs it to the disk: "" then, else why not.
QString writeSynced(QFile &file, const QByteArray &content)
{
    if (file.write(content) == content.size() && file.flush() && syncHandle(file.handle()))
        return {};
    return file.error() != QFileDevice::NoError ? file.errorString()
                                                : QStringLiteral("a lemezre írás nem sikerült");
}

} // namespace

bool DurableFile::syncFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    return true; // NTFS journals the rename itself
#else
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#endif
}

void DurableFile::write(const QString &path, const QByteArray &content)
{
    const QString temporary = path + QStringLiteral(".new");
    {
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail(path, file.errorString());
        if (const QString reason = writeSynced(file, content); !reason.isEmpty()) {
            file.close();
            file.remove();
            fail(path, reason);
        }
    }
    // QFile::rename refuses to replace a file; the platform's rename does it in one step.
    if (const QString reason = replace(temporary, path); !reason.isEmpty()) {
        QFile::remove(temporary);
        fail(path, reason);
    }
    if (!syncFolder(QFileInfo(path).absolutePath()))
        fail(path, QStringLiteral("a mappa lemezre írása nem sikerült"));
}

void DurableFile::append(const QString &path, const QByteArray &line)
{
    QFile file(path);
    // The file is there already: an append never makes one.
    if (!file.exists())
        fail(path, QStringLiteral("a fájl nem létezik"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        fail(path, file.errorString());
    // One write: a line cut off by a crash is told apart by its missing end.
    if (const QString reason = writeSynced(file, line); !reason.isEmpty())
        fail(path, reason);
}
