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
    static constexpr int kBusyTimeoutMs = 10000;

    explicit ArchiveDatabase(ArchiveLocation location);
    ~ArchiveDatabase();
    ArchiveDatabase(const ArchiveDatabase &) = delete;
    ArchiveDatabase &operator=(const ArchiveDatabase &) = delete;

    // Connects, then creates or upgrades the schema.
    void open();
    void close();
    bool isOpen() const { return m_db.isOpen(); }
    // Reads the whole file's structure (SQLite only); throws Damaged.
    void checkIntegrity();

    const ArchiveLocation &location() const { return m_location; }
    bool isSqlite() const { return m_location.kind == ArchiveLocation::Kind::SqliteFile; }
    QSqlDatabase &database() { return m_db; }

    // Runs one statement with its values bound in order.
    QSqlQuery exec(const QString &sql, const QVariantList &values = {});
    QSqlQuery prepare(const QString &sql);
    void run(QSqlQuery &query, const QVariantList &values = {});

    // A write transaction; SQLite takes its write lock at once.
    void begin();
    void commit();
    void rollback();

    // Renames a damaged SQLite file and its companions to "<file>.damaged-<time>";
    // returns the new name. Throws Failure when the file cannot be moved.
    static QString moveAside(const QString &file);

private:
    void useWriteAheadLog();

    ArchiveLocation m_location;
    QString m_connectionName;
    QSqlDatabase m_db;
};
