#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

// A real file system of a few kilobytes (a tmpfs mounted on a fresh folder),
// for what happens when the disk is full. Mounting needs root; without it
// reason() says why and the test skips.
class SmallDisk
{
public:
    explicit SmallDisk(int kib = 16)
    {
#ifdef Q_OS_LINUX
        const QByteArray options = "size=" + QByteArray::number(kib) + 'k';
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                    options.constData()) == 0)
            m_mounted = true;
        else
            m_reason = QStringLiteral("cannot mount a small tmpfs (%1); the full-disk cases need "
                                      "root")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
#else
        Q_UNUSED(kib);
        m_reason = QStringLiteral("a small tmpfs needs Linux");
#endif
    }
    ~SmallDisk()
    {
#ifdef Q_OS_LINUX
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
#endif
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const
    {
        return m_mounted;
    }
    const QString &reason() const
    {
        return m_reason;
    }
    QString path() const
    {
        return m_dir.path();
    }
    QString filePath(const QString &name) const
    {
        return m_dir.filePath(name);
    }

    // Mounted read-only, or writable again.
    bool setReadOnly(bool readOnly) const
    {
#ifdef Q_OS_LINUX
        return ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                       MS_REMOUNT | (readOnly ? MS_RDONLY : 0), nullptr) == 0;
#else
        Q_UNUSED(readOnly);
        return false;
#endif
    }

    // Takes every free block, so that the next file to grow fails.
    void fill() const
    {
#ifdef Q_OS_LINUX
        const int fd = ::open(QFile::encodeName(filePath(QStringLiteral("filler"))).constData(),
                              O_WRONLY | O_CREAT | O_APPEND, 0600);
        const QByteArray block(4096, 'x');
        for (int size = 4096; size > 0; size /= 2) {
            while (::write(fd, block.constData(), size_t(size)) == size) {
            }
        }
        ::close(fd);
#endif
    }

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/kfz-smalldisk-XXXXXX")};
    bool m_mounted = false;
    QString m_reason;
};

// For as long as it lives, file access on this thread is checked as for an
// ordinary user, so that a folder without write permission refuses even root.
class OrdinaryUserFiles
{
public:
    OrdinaryUserFiles()
    {
#ifdef Q_OS_LINUX
        m_old = int(::setfsuid(kNobody));
#endif
    }
    ~OrdinaryUserFiles()
    {
#ifdef Q_OS_LINUX
        ::setfsuid(uid_t(m_old));
#endif
    }

private:
    static constexpr int kNobody = 65534;
    int m_old = 0;
};
