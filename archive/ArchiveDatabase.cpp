#include "ArchiveDatabase.h"

#include "ArchiveSchema.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#ifdef Q_OS_UNIX
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <atomic>

namespace {

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("kfz-archive-%1").arg(++counter);
}

} // namespace

ArchiveDatabase::ArchiveDatabase(ArchiveLocation location)
    : m_location(std::move(location)), m_connectionName(nextConnectionName())
{
}

ArchiveDatabase::~ArchiveDatabase()
{
    close();
}

void ArchiveDatabase::open(Access access)
{
    m_access = access;
    openConnection();
    try {
        if (isSqlite() && !isReadOnly()) {
            refuseForeignDatabase();
            useWriteAheadLog();
            exec(QStringLiteral("PRAGMA synchronous=FULL"));
        } else if (!isSqlite()) {
            exec(QStringLiteral("SET client_min_messages TO WARNING"));
            applySessionLimits();
        }
        if (!isReadOnly()) {
            m_upgradedFrom = ArchiveSchema::upgrade(*this);
            m_ready = true;
            return;
        }
        ArchiveSchema::checkReadable(*this);
    } catch (...) {
        close();
        throw;
    }
}

void ArchiveDatabase::openConnection()
{
    if (isSqlite()) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        m_db.setDatabaseName(m_location.file);
        const QString busy = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
        m_db.setConnectOptions(isReadOnly() ? QStringLiteral("QSQLITE_OPEN_READONLY;") + busy
                                            : busy);
        if (isReadOnly() && m_db.open()) {
            QSqlQuery probe(m_db);
            if (probe.exec(QStringLiteral("PRAGMA user_version")))
                return;
            // A write-ahead log needs its index file beside the database; where
            // none can be made, the file is read as it is on the disk.
            probe = QSqlQuery();
            m_db.close();
            m_db.setDatabaseName(
                QUrl::fromLocalFile(QFileInfo(m_location.file).absoluteFilePath()).toString() +
                QStringLiteral("?immutable=1"));
            m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
        }
    } else {
        if (!ArchiveLocation::postgreSqlAvailable())
            throw ArchiveError(ArchiveError::Cause::Unavailable,
                               QStringLiteral("Ebben a változatban nincs PostgreSQL-meghajtó"));
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        m_db.setHostName(m_location.host);
        m_db.setPort(m_location.port);
        m_db.setDatabaseName(m_location.database);
        m_db.setUserName(m_location.user);
        m_db.setPassword(m_location.password);
        // The server's own limits are session settings, not libpq options.
        QStringList options;
        m_sessionSettings.clear();
        for (const QString &option : m_location.options.split(u';', Qt::SkipEmptyParts)) {
            const QString key = option.section(u'=', 0, 0).trimmed();
            if (key == u"statement_timeout" || key == u"lock_timeout" ||
                key == u"idle_in_transaction_session_timeout")
                m_sessionSettings.append(option.trimmed());
            else
                options.append(option);
        }
        for (const QString &option : kDefaultConnectOptions.split(u';')) {
            const QString key = option.section(u'=', 0, 0) + u'=';
            if (std::none_of(options.begin(), options.end(),
                             [&key](const QString &o) { return o.trimmed().startsWith(key); }))
                options.append(option);
        }
        m_db.setConnectOptions(options.join(u';'));
    }
    if (!m_db.open()) {
        const ArchiveError error = ArchiveError::from(m_db.lastError(), m_location.describe());
        close();
        throw ArchiveError(ArchiveError::Cause::Unavailable, error.text());
    }
}

void ArchiveDatabase::applySessionLimits()
{
    const std::pair<const char *, int> limits[] = {
        {"statement_timeout", kStatementTimeoutMs},
        {"lock_timeout", kLockTimeoutMs},
        {"idle_in_transaction_session_timeout", kIdleInTransactionTimeoutMs}};
    for (const auto &[name, defaultMs] : limits) {
        const QString key = QLatin1StringView(name);
        QString value = QString::number(defaultMs);
        for (const QString &setting : std::as_const(m_sessionSettings)) {
            if (setting.section(u'=', 0, 0).trimmed() == key)
                value = setting.section(u'=', 1).trimmed();
        }
        exec(QStringLiteral("SELECT set_config(?, ?, false)"), {key, value});
    }
}

void ArchiveDatabase::refuseForeignDatabase()
{
    // Tables in a file without a schema version are another program's:
    // neither switched to a write-ahead log nor given the archive's tables.
    // Both are read in one statement: a program making the archive at this
    // moment is seen before it began or with its version written, never
    // with its tables and not yet its version.
    QSqlQuery found = exec(QStringLiteral("SELECT (SELECT user_version FROM pragma_user_version),"
                                          " EXISTS (SELECT 1 FROM sqlite_master)"));
    if (found.next() && found.value(0).toInt() == 0 && found.value(1).toBool())
        throw ArchiveError(ArchiveError::Cause::Failed,
                           m_location.file +
                               QStringLiteral(": nem a program archívuma, hanem egy másik program "
                                              "adatbázisa, ezért a program nem nyúl hozzá "
                                              "(talán rossz fájlt nevez meg az archive= sor?)"));
}

void ArchiveDatabase::useWriteAheadLog()
{
    // Two connections switching a new file at the same moment: SQLite answers
    // one of them "locked" at once instead of letting it wait, so wait here.
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QSqlQuery mode = exec(QStringLiteral("PRAGMA journal_mode"));
        if (mode.next() && mode.value(0).toString().compare(u"wal", Qt::CaseInsensitive) == 0)
            return;
        mode.finish();
        QSqlQuery change(m_db);
        if (change.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            continue;
        if (change.lastError().nativeErrorCode() != u"5" || clock.elapsed() > kBusyTimeoutMs)
            throw ArchiveError::from(change.lastError(), QStringLiteral("PRAGMA journal_mode=WAL"));
        QThread::msleep(20);
    }
}

void ArchiveDatabase::keepStatistics(Statistics when)
{
    if (!isSqlite()) {
        // The server's autovacuum keeps them as the tables grow.
        if (when == Statistics::Now)
            exec(QStringLiteral("ANALYZE"));
        return;
    }
    if (when == Statistics::WhenGrown) {
        // Rows at the last count, against the newest id: two look-ups.
        qint64 counted = 0;
        QSqlQuery stat(m_db);
        if (stat.exec(QStringLiteral("SELECT stat FROM sqlite_stat1 WHERE tbl = 'inspection'"
                                     " AND idx IS NOT NULL LIMIT 1")) &&
            stat.next())
            counted = stat.value(0).toString().section(u' ', 0, 0).toLongLong();
        stat = QSqlQuery();
        QSqlQuery newest = exec(QStringLiteral("SELECT MAX(id) FROM inspection"));
        if (!newest.next() || newest.value(0).toLongLong() <= 2 * counted)
            return;
    }
    // A sample of each index: milliseconds even for millions of rows.
    exec(QStringLiteral("PRAGMA analysis_limit = 1000"));
    exec(QStringLiteral("ANALYZE"));
}

void ArchiveDatabase::close()
{
    if (!m_db.isValid())
        return;
    if (m_ready && m_db.isOpen() && isSqlite()) {
        // SQLite's planner knows only what ANALYZE counted: without it a sort
        // over years reads the whole range instead of the sort's index.
        try {
            keepStatistics(Statistics::WhenGrown);
        } catch (const ArchiveError &) {
            // Not this archive's (or a locked moment): the next close tries again.
        }
    }
    m_ready = false;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void ArchiveDatabase::checkIntegrity()
{
    if (!isSqlite())
        return;
    QSqlQuery check = exec(QStringLiteral("PRAGMA quick_check"));
    QStringList problems;
    while (check.next() && problems.size() < 3) {
        const QString line = check.value(0).toString();
        if (line != u"ok")
            problems.append(line);
    }
    if (!problems.isEmpty())
        throw ArchiveError(ArchiveError::Cause::Damaged, problems.join(QStringLiteral("; ")));
}

QString ArchiveDatabase::withValues(const QString &sql, const QVariantList &values) const
{
    // Each '?' outside a quoted text or name, in order.
    QString out;
    out.reserve(sql.size() + values.size() * 8);
    qsizetype next = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'?' && next < values.size()) {
            const QVariant &value = values.at(next++);
            QSqlField field(QString(), value.metaType());
            // A null text is NULL, as when Qt binds it.
            const bool null = value.isNull() ||
                              (value.typeId() == QMetaType::QString && value.toString().isNull());
            if (!null)
                field.setValue(value);
            out += m_db.driver()->formatValue(field);
            continue;
        }
        out += c;
    }
    Q_ASSERT(next == values.size());
    return out;
}

QSqlQuery ArchiveDatabase::exec(const QString &sql, const QVariantList &values)
{
    // The values written into the statement, as the drivers write them:
    // PostgreSQL's sends a prepared statement's values as texts it formats
    // itself, in a PREPARE, an EXECUTE and a DEALLOCATE, three round trips;
    // SQLite's binds each value by a name looked up among all of them, which
    // took more than half of a store's time in the rows of its sums.
    if (values.isEmpty() || !isSqlite() || std::all_of(values.begin(), values.end(), writtenIn)) {
        const QString text = values.isEmpty() ? sql : withValues(sql, values);
        // Unprepared: PostgreSQL prepares no schema statements.
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.exec(text))
            throw ArchiveError::from(query.lastError(), sql.section(u' ', 0, 2));
        return query;
    }
    QSqlQuery query = prepare(sql);
    run(query, values);
    return query;
}

bool ArchiveDatabase::writtenIn(const QVariant &value)
{
    // A text with a NUL ends SQLite's statement there; other kinds keep the
    // driver's binding.
    switch (value.typeId()) {
    case QMetaType::QString:
        return !value.toString().contains(QChar());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return true;
    default:
        return value.isNull();
    }
}

QSqlQuery ArchiveDatabase::prepare(const QString &sql)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw ArchiveError::from(query.lastError(), sql.section(u' ', 0, 2));
    return query;
}

void ArchiveDatabase::run(QSqlQuery &query, const QVariantList &values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values.at(i));
    if (!query.exec())
        throw ArchiveError::from(query.lastError(), query.lastQuery().section(u' ', 0, 2));
}

void ArchiveDatabase::begin()
{
    if (isSqlite()) {
        exec(QStringLiteral("BEGIN IMMEDIATE"));
    } else if (!m_db.transaction()) {
        throw ArchiveError::from(m_db.lastError(), QStringLiteral("BEGIN"));
    }
}

void ArchiveDatabase::commit()
{
    if (!m_db.commit())
        throw ArchiveError::from(m_db.lastError(), QStringLiteral("COMMIT"));
}

void ArchiveDatabase::rollback()
{
    m_db.rollback();
}

namespace {

// Whether another program has the database open: every SQLite connection in
// write-ahead-log mode holds a shared lock on byte 128 of the "-shm" file.
// (On Windows an open file cannot be renamed at all.)
bool openElsewhere(const QString &file)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(file + QStringLiteral("-shm")).constData(), O_RDWR);
    if (fd < 0)
        return false;
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 128;
    probe.l_len = 1;
    const bool held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held;
#else
    Q_UNUSED(file);
    return false;
#endif
}

} // namespace

int ArchiveDatabase::socketDescriptor() const
{
#if defined(Q_OS_UNIX) || defined(Q_OS_WIN)
    if (isSqlite() || !m_db.isOpen())
        return -1;
    const QVariant handle = m_db.driver()->handle();
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0)
        return -1;
    // libpq is loaded with the driver; only its socket call is needed here.
    using SocketOf = int (*)(const void *);
    static const SocketOf socketOf = [] {
#ifdef Q_OS_WIN
        const HMODULE libpq = ::GetModuleHandleW(L"libpq.dll");
        return libpq ? reinterpret_cast<SocketOf>(
                           reinterpret_cast<void *>(::GetProcAddress(libpq, "PQsocket")))
                     : nullptr;
#else
        void *libpq = ::dlopen("libpq.so.5", RTLD_NOLOAD | RTLD_LAZY);
        return libpq ? reinterpret_cast<SocketOf>(::dlsym(libpq, "PQsocket")) : nullptr;
#endif
    }();
    const void *connection = *static_cast<void *const *>(handle.constData());
    return socketOf && connection ? socketOf(connection) : -1;
#else
    return -1;
#endif
}

int ArchiveDatabase::statementTimeoutMs() const
{
    for (const QString &setting : m_sessionSettings) {
        bool number = false;
        const int ms = setting.section(u'=', 1).trimmed().toInt(&number);
        if (setting.section(u'=', 0, 0).trimmed() == u"statement_timeout" && number)
            return ms;
    }
    return kStatementTimeoutMs;
}

bool ArchiveDatabase::looksLikeSqlite(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArrayView("SQLite format 3\0", 16);
}

QString ArchiveDatabase::moveAside(const QString &file)
{
    if (!looksLikeSqlite(file) && QFileInfo(file).size() > 0)
        throw Failure(QStringLiteral("EInOutError"),
                      file + QStringLiteral(": nem SQLite-adatbázis, ezért a program nem nyúl "
                                            "hozzá (talán rossz fájlt nevez meg az archive= "
                                            "sor?)"));
    if (openElsewhere(file))
        throw Failure(QStringLiteral("EInOutError"),
                      file + QStringLiteral(": egy másik program (például az archívum ablaka) "
                                            "még használja; bezárása után a program újra "
                                            "megpróbálja"));
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = file + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFile::exists(target); ++n)
        target = file + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    QFile damaged(file);
    if (!damaged.rename(target))
        throw Failure(QStringLiteral("EInOutError"),
                      QStringLiteral("%1 -> %2: %3").arg(file, target, damaged.errorString()));
    // The journal files belong to the damaged file: they go with it.
    for (const char *suffix : {"-wal", "-shm", "-journal"}) {
        if (QFile::exists(file + QLatin1StringView(suffix)))
            QFile::rename(file + QLatin1StringView(suffix), target + QLatin1StringView(suffix));
    }
    return target;
}
