#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

#include "ArchiveError.h"
#include "ArchiveLocation.h"

// One connection to the archive, for the thread that creates it (Qt SQL
// connections are per thread). Opening creates the tables of a new archive
// and upgrades those of an older one. Every failure is an ArchiveError.
class ArchiveDatabase
{
public:
    // How long SQLite waits for another program's lock.
    static constexpr int kBusyTimeoutMs = 5000;
    // PostgreSQL: how long a statement may run, wait for a lock, or a
    // transaction stay open without a statement, on the server; each can be
    // set by the same name in the archive= address (milliseconds, or with a unit).
    static constexpr int kStatementTimeoutMs = 15000;
    static constexpr int kLockTimeoutMs = 5000;
    static constexpr int kIdleInTransactionTimeoutMs = 20000;
    // The libpq options used unless the address sets them.
    static inline const QString kDefaultConnectOptions =
        QStringLiteral("connect_timeout=5;keepalives=1;keepalives_idle=10;keepalives_interval=3;"
                       "keepalives_count=3;tcp_user_timeout=15000");

    enum class Access { ReadWrite, ReadOnly };

    explicit ArchiveDatabase(ArchiveLocation location);
    ~ArchiveDatabase();
    ArchiveDatabase(const ArchiveDatabase &) = delete;
    ArchiveDatabase &operator=(const ArchiveDatabase &) = delete;

    // Connects, then creates or upgrades the schema. Read-only: changes
    // nothing (a SQLite file in a place this program cannot write is read as it is).
    void open(Access access = Access::ReadWrite);
    bool isReadOnly() const { return m_access == Access::ReadOnly; }
    // The schema version an older archive had when open() upgraded it.
    std::optional<int> upgradedFrom() const { return m_upgradedFrom; }
    void close();
    bool isOpen() const { return m_db.isOpen(); }
    // Reads the whole file's structure (SQLite only); throws Damaged.
    void checkIntegrity();
    // Has the query planner's statistics counted afresh (ANALYZE): now (after
    // an upgrade or a large fill), or when the archive has grown to twice what
    // they last counted (SQLite; a read-write connection does so on closing).
    enum class Statistics { Now, WhenGrown };
    void keepStatistics(Statistics when);

    const ArchiveLocation &location() const { return m_location; }
    bool isSqlite() const { return m_location.kind == ArchiveLocation::Kind::SqliteFile; }
    QSqlDatabase &database() { return m_db; }

    // Runs one statement with its values bound in order (for each '?').
    QSqlQuery exec(const QString &sql, const QVariantList &values = {});
    QSqlQuery prepare(const QString &sql);
    void run(QSqlQuery &query, const QVariantList &values = {});

    // A write transaction; SQLite takes its write lock at once.
    void begin();
    void commit();
    void rollback();

    // The PostgreSQL connection's socket, -1 when it cannot be had.
    int socketDescriptor() const;
    // Server time-out the statements run under (PostgreSQL), in ms.
    int statementTimeoutMs() const;

    // Whether the file starts as every SQLite database does.
    static bool looksLikeSqlite(const QString &file);
    // Renames a damaged SQLite file and its companions to "<file>.damaged-<time>";
    // returns the new name. Throws Failure when the file cannot be moved, or is
    // not a SQLite file at all (then it is someone else's, and left alone).
    static QString moveAside(const QString &file);

private:
    // The statement with its values written in as the driver writes them.
    QString withValues(const QString &sql, const QVariantList &values) const;
    // Whether SQLite takes the value written in as it would take it bound.
    static bool writtenIn(const QVariant &value);
    void refuseForeignDatabase();
    void useWriteAheadLog();
    void openConnection();
    void applySessionLimits();

    Access m_access = Access::ReadWrite;
    std::optional<int> m_upgradedFrom;
    bool m_ready = false; // opened for writing, its schema up to date
    // The session settings taken out of the libpq options.
    QStringList m_sessionSettings;
    ArchiveLocation m_location;
    QString m_connectionName;
    QSqlDatabase m_db;
};
