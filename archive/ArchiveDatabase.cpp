#include "ArchiveDatabase.h"

#include "ArchiveSchema.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QThread>
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

void ArchiveDatabase::open()
{
    if (isSqlite()) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        m_db.setDatabaseName(m_location.file);
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
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
        QString options = m_location.options;
        if (!options.contains(u"connect_timeout"))
            options += QLatin1StringView(options.isEmpty() ? "" : ";") + u"connect_timeout=5";
        m_db.setConnectOptions(options);
    }
    if (!m_db.open()) {
        const ArchiveError error = ArchiveError::from(m_db.lastError(), m_location.describe());
        close();
        throw ArchiveError(ArchiveError::Cause::Unavailable, error.text());
    }
    try {
        if (isSqlite()) {
            useWriteAheadLog();
            exec(QStringLiteral("PRAGMA synchronous=FULL"));
        } else {
            exec(QStringLiteral("SET client_min_messages TO WARNING"));
        }
        ArchiveSchema::upgrade(*this);
    } catch (...) {
        close();
        throw;
    }
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

void ArchiveDatabase::close()
{
    if (!m_db.isValid())
        return;
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

QSqlQuery ArchiveDatabase::exec(const QString &sql, const QVariantList &values)
{
    if (values.isEmpty()) {
        // Unprepared: PostgreSQL prepares no schema statements.
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.exec(sql))
            throw ArchiveError::from(query.lastError(), sql.section(u' ', 0, 2));
        return query;
    }
    QSqlQuery query = prepare(sql);
    run(query, values);
    return query;
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

QString ArchiveDatabase::moveAside(const QString &file)
{
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
