#include "ArchiveJournal.h"

#include "DurableFile.h"
#include "InspectionJson.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

const QString kEntrySuffix = QStringLiteral(".json");
const QString kOpenSuffix = QStringLiteral(".open.json");
const QString kLockSuffix = QStringLiteral(".lock");

QString tokenOf(const QString &fileName)
{
    return fileName.section(u'.', 0, 0);
}

} // namespace

// Held open and locked for the program's life: the system releases it when
// the program ends, also when it is killed, so a lock that can be taken
// belongs to a program that is gone (no process ids, no ages).
class ArchiveJournal::OwnerLock
{
public:
    explicit OwnerLock(QString path) : m_path(std::move(path)) {}
    ~OwnerLock() { release(); }
    OwnerLock(const OwnerLock &) = delete;
    OwnerLock &operator=(const OwnerLock &) = delete;

    // False while another running program holds it.
    bool tryTake()
    {
#ifdef Q_OS_WIN
        m_handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(m_path.utf16()),
                                 GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_handle != INVALID_HANDLE_VALUE;
#else
        // Read-only: a lock needs no writing, and holds no writer on the disk.
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0)
            return false;
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        ::close(m_fd);
        m_fd = -1;
        return false;
#endif
    }

    // Removes the file, then lets go.
    void release()
    {
#ifdef Q_OS_WIN
        if (m_handle == INVALID_HANDLE_VALUE)
            return;
        ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        ::DeleteFileW(reinterpret_cast<const wchar_t *>(m_path.utf16()));
#else
        if (m_fd < 0)
            return;
        ::unlink(QFile::encodeName(m_path).constData());
        ::close(m_fd);
        m_fd = -1;
#endif
    }

private:
    QString m_path;
#ifdef Q_OS_WIN
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#else
    int m_fd = -1;
#endif
};

ArchiveJournal::ArchiveJournal(QString folder) : m_folder(std::move(folder)) {}

ArchiveJournal::~ArchiveJournal() = default; // the lock file goes with the lock

bool ArchiveJournal::hasEntries(const QString &folder)
{
    return !QDir(folder)
                .entryList({u'*' + kEntrySuffix, u'*' + kLockSuffix, QStringLiteral("*.new")},
                           QDir::Files)
                .isEmpty() ||
           QFile::exists(QFileInfo(folder).absolutePath() + u'/' + kLegacyPendingFile);
}

void ArchiveJournal::open()
{
    QMutexLocker locked(&m_mutex);
    if (m_lock)
        return;
    if (!QDir().mkpath(m_folder))
        throw Failure(QStringLiteral("EInOutError"),
                      m_folder + QStringLiteral(": a mappa nem hozható létre"));
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString token =
            QStringLiteral("w%1x%2")
                .arg(QCoreApplication::applicationPid())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (QFile::exists(m_folder + u'/' + token + kLockSuffix))
            continue;
        auto lock = std::make_unique<OwnerLock>(m_folder + u'/' + token + kLockSuffix);
        if (lock->tryTake()) {
            m_token = token;
            m_lock = std::move(lock);
            return;
        }
    }
    throw Failure(QStringLiteral("EInOutError"),
                  m_folder + QStringLiteral(": a napló zárolása nem sikerült"));
}

QString ArchiveJournal::entryPath(const QString &token, const QString &uid) const
{
    return m_folder + u'/' + token + u'.' + uid + kEntrySuffix;
}

QString ArchiveJournal::openPath(const QString &uid) const
{
    return m_folder + u'/' + m_token + u'.' + uid + kOpenSuffix;
}

void ArchiveJournal::write(const Inspection &inspection)
{
    open();
    QMutexLocker locked(&m_mutex);
    writeEntry(inspection);
}

void ArchiveJournal::writeOpen(const Inspection &inspection)
{
    open();
    QString path;
    {
        QMutexLocker locked(&m_mutex);
        path = openPath(inspection.uid);
    }
    // Outside the lock: a finished entry is not held up by a large one in progress.
    DurableFile::write(path, InspectionJson::encodeOpen(inspection));
}

void ArchiveJournal::appendOpen(const QString &uid, const QDateTime &ended,
                                const QList<ArchivedReading> &readings)
{
    QString path;
    {
        QMutexLocker locked(&m_mutex);
        path = openPath(uid);
    }
    DurableFile::append(path, InspectionJson::encodeAdded(ended, readings));
}

void ArchiveJournal::removeOpen(const QString &uid)
{
    for (int attempt = 1;; ++attempt) {
        {
            QMutexLocker locked(&m_mutex);
            if (!m_lock || !QFile::exists(openPath(uid)))
                return;
            if (QFile::remove(openPath(uid))) {
                // Synced: a person's discarded readings must not come back after a power cut.
                DurableFile::syncFolder(m_folder);
                return;
            }
        }
        if (attempt == kRemoveTries)
            return; // kept: it is offered back at the next start rather than lost
        QThread::msleep(kRemoveRetryMs); // the journal is free for others meanwhile
    }
}

void ArchiveJournal::refuse(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const QString aside = QFileInfo(m_folder).absolutePath() + u'/' + kRefusedPrefix + name;
    if (QFile::exists(aside) || !QFile::rename(path, aside))
        QFile::rename(path, path + QStringLiteral(".refused")); // kept where it is, never read
}

void ArchiveJournal::writeEntry(const Inspection &inspection)
{
    DurableFile::write(entryPath(m_token, inspection.uid), InspectionJson::encode({inspection}));
    m_revisions.insert(inspection.uid, inspection.revision);
}

void ArchiveJournal::remove(const QString &uid, int revision)
{
    // Not synced: should the removal be lost, a replay finds the inspection stored.
    QMutexLocker locked(&m_mutex);
    if (!m_lock || m_revisions.value(uid, revision) > revision)
        return;
    QFile::remove(entryPath(m_token, uid));
    m_revisions.remove(uid);
}

void ArchiveJournal::adoptFrom(const QString &token)
{
    QDir dir(m_folder);
    for (const QString &name : dir.entryList({token + QStringLiteral(".*")}, QDir::Files)) {
        if (name.endsWith(kLockSuffix))
            continue;
        if (!name.endsWith(kEntrySuffix)) {
            dir.remove(name); // a write cut off before its rename: the entry before it stands
            continue;
        }
        dir.rename(name, m_token + name.mid(token.size()));
    }
    DurableFile::syncFolder(m_folder);
}

void ArchiveJournal::adoptLegacy()
{
    const QString legacy = QFileInfo(m_folder).absolutePath() + u'/' + kLegacyPendingFile;
    const QString taken = m_folder + u'/' + m_token + QStringLiteral(".pending");
    if (!QFile::exists(legacy) || !QFile::rename(legacy, taken))
        return; // none, or another program took it first
    QFile file(taken);
    bool ok = false;
    const QList<Inspection> kept = file.open(QIODevice::ReadOnly)
                                       ? InspectionJson::decode(file.readAll(), &ok)
                                       : QList<Inspection>();
    file.close();
    if (!ok)
        return; // the listing below sets it aside
    for (const Inspection &inspection : kept)
        writeEntry(inspection);
    QFile::remove(taken);
}

ArchiveJournal::Found ArchiveJournal::takeOver()
{
    open();
    QMutexLocker locked(&m_mutex);
    QDir dir(m_folder);
    QSet<QString> tokens;
    for (const QString &name : dir.entryList(
             {u'*' + kEntrySuffix, u'*' + kLockSuffix, QStringLiteral("*.new")}, QDir::Files))
        tokens.insert(tokenOf(name));
    tokens.remove(m_token);
    for (const QString &token : std::as_const(tokens)) {
        OwnerLock owner(m_folder + u'/' + token + kLockSuffix);
        if (owner.tryTake()) // its program is gone
            adoptFrom(token);
    }
    adoptLegacy();

    Found found;
    for (const QString &name : dir.entryList(
             {m_token + u'*' + kEntrySuffix, m_token + QStringLiteral(".pending")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const bool readable = file.error() == QFileDevice::NoError;
        file.close();
        if (name.endsWith(kOpenSuffix)) {
            const std::optional<Inspection> open =
                readable ? InspectionJson::decodeOpen(content) : std::nullopt;
            if (!open) {
                // Not ours to throw away or to guess at: kept as it is, never replayed.
                refuse(dir.filePath(name));
                ++found.refused;
            } else if (open->readings.isEmpty()) {
                file.remove(); // nothing in it worth keeping
            } else {
                found.unfinished.append(*open);
            }
            continue;
        }
        bool ok = false;
        bool inProgress = false;
        const QList<Inspection> one =
            readable ? InspectionJson::decode(content, &ok, &inProgress) : QList<Inspection>();
        if (!ok || one.size() > 1 || inProgress) {
            refuse(dir.filePath(name));
            ++found.refused;
        } else if (one.isEmpty() || one.first().readings.isEmpty()) {
            file.remove(); // nothing in it worth storing
        } else {
            found.finished.append(one.first());
            m_revisions.insert(one.first().uid, one.first().revision);
        }
    }
    const auto byEnd = [](const Inspection &a, const Inspection &b) { return a.ended < b.ended; };
    std::stable_sort(found.finished.begin(), found.finished.end(), byEnd);
    std::stable_sort(found.unfinished.begin(), found.unfinished.end(), byEnd);
    if (found.refused > 0)
        DurableFile::syncFolder(QFileInfo(m_folder).absolutePath());
    return found;
}

QString ArchiveJournal::setAside(const Inspection &inspection)
{
    const QString path =
        QFileInfo(m_folder).absolutePath() + u'/' + kRefusedPrefix + inspection.uid + kEntrySuffix;
    DurableFile::write(path, InspectionJson::encode({inspection}));
    remove(inspection.uid, inspection.revision);
    return path;
}
