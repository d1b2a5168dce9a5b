#include "ArchiveSchema.h"

#include "ArchiveDatabase.h"

#include <QStringList>

namespace {

// Version 1: the inspections, their plans, readings and handed-over points.
QStringList step1(bool sqlite)
{
    const QString id = sqlite ? QStringLiteral("id INTEGER PRIMARY KEY")
                              : QStringLiteral("id BIGSERIAL PRIMARY KEY");
    return {
        QStringLiteral("CREATE TABLE inspection (") + id +
            QStringLiteral(", uid TEXT NOT NULL UNIQUE, started_ms BIGINT NOT NULL,"
                           " ended_ms BIGINT NOT NULL, category TEXT NOT NULL DEFAULT '')"),
        QStringLiteral("CREATE INDEX inspection_started ON inspection (started_ms)"),
        QStringLiteral("CREATE TABLE plan_point (inspection_id BIGINT NOT NULL,"
                       " position INTEGER NOT NULL, point INTEGER NOT NULL,"
                       " ticked INTEGER NOT NULL, PRIMARY KEY (inspection_id, position))"),
        QStringLiteral("CREATE TABLE reading (inspection_id BIGINT NOT NULL,"
                       " seq INTEGER NOT NULL, point INTEGER NOT NULL, substrate TEXT NOT NULL,"
                       " value INTEGER NOT NULL, typed INTEGER NOT NULL,"
                       " taken_ms BIGINT NOT NULL, PRIMARY KEY (inspection_id, seq))"),
        QStringLiteral("CREATE TABLE sent_point (inspection_id BIGINT NOT NULL,"
                       " point INTEGER NOT NULL, sent_ms BIGINT NOT NULL,"
                       " PRIMARY KEY (inspection_id, point))"),
    };
}

// Version 2: what the list of inspections shows, kept beside each inspection
// so that the list never reads the readings; the station that measured.
QStringList step2()
{
    QStringList sql;
    for (const char *column :
         {"station TEXT NOT NULL DEFAULT ''", "points_measured INTEGER NOT NULL DEFAULT 0",
          "reading_count INTEGER NOT NULL DEFAULT 0", "fe_min INTEGER", "fe_max INTEGER",
          "al_min INTEGER", "al_max INTEGER"})
        sql.append(QStringLiteral("ALTER TABLE inspection ADD COLUMN ") +
                   QLatin1StringView(column));
    const QString of = QStringLiteral(" FROM reading r WHERE r.inspection_id = inspection.id");
    sql.append(QStringLiteral("UPDATE inspection SET") +
               QStringLiteral(" points_measured = (SELECT COUNT(DISTINCT point)") + of +
               QStringLiteral("), reading_count = (SELECT COUNT(*)") + of +
               QStringLiteral("), fe_min = (SELECT MIN(value)") + of +
               QStringLiteral(" AND substrate = 'FE'), fe_max = (SELECT MAX(value)") + of +
               QStringLiteral(" AND substrate = 'FE'), al_min = (SELECT MIN(value)") + of +
               QStringLiteral(" AND substrate = 'AL'), al_max = (SELECT MAX(value)") + of +
               QStringLiteral(" AND substrate = 'AL')"));
    sql.append(
        QStringLiteral("CREATE INDEX inspection_category ON inspection (category, started_ms)"));
    sql.append(QStringLiteral("CREATE INDEX inspection_ended ON inspection (ended_ms)"));
    return sql;
}

// Version 3: how many times the inspection was stored (a replay never
// replaces a later store), and the limits its verdicts were given with.
QStringList step3()
{
    QStringList sql{QStringLiteral("ALTER TABLE inspection ADD COLUMN revision INTEGER NOT NULL"
                                   " DEFAULT 1")};
    for (const char *substrate : {"fe", "al"}) {
        for (const char *limit : {"thin_below", "factory_up_to", "repainted_up_to"})
            sql.append(QStringLiteral("ALTER TABLE inspection ADD COLUMN %1_%2 INTEGER")
                           .arg(QLatin1StringView(substrate), QLatin1StringView(limit)));
    }
    return sql;
}

// Version 4: the plate or VIN and the inspector's name, typed in the archive window.
QStringList step4()
{
    return {QStringLiteral("ALTER TABLE inspection ADD COLUMN plate TEXT NOT NULL DEFAULT ''"),
            QStringLiteral("ALTER TABLE inspection ADD COLUMN inspector TEXT NOT NULL DEFAULT ''")};
}

QStringList step(int to, bool sqlite)
{
    switch (to) {
    case 1:
        return step1(sqlite);
    case 2:
        return step2();
    case 3:
        return step3();
    case 4:
        return step4();
    }
    return {};
}

void writeVersion(ArchiveDatabase &db, int version)
{
    if (db.isSqlite()) {
        db.exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
    } else {
        db.exec(QStringLiteral("DELETE FROM archive_schema"));
        db.exec(QStringLiteral("INSERT INTO archive_schema (version) VALUES (?)"), {version});
    }
}

} // namespace

int ArchiveSchema::version(ArchiveDatabase &db)
{
    QSqlQuery query = db.exec(db.isSqlite() ? QStringLiteral("PRAGMA user_version")
                                            : QStringLiteral("SELECT version FROM archive_schema"));
    return query.next() ? query.value(0).toInt() : 0;
}

namespace {

// Whether the archive is at this version, read without taking any lock: the
// stations sharing a database do not queue behind each other at every opening.
bool current(ArchiveDatabase &db)
{
    if (!db.isSqlite()) {
        QSqlQuery exists = db.exec(QStringLiteral("SELECT to_regclass('archive_schema') IS NULL"));
        if (!exists.next() || exists.value(0).toBool())
            return false;
    }
    return ArchiveSchema::version(db) == ArchiveSchema::kVersion;
}

} // namespace

void ArchiveSchema::upgrade(ArchiveDatabase &db)
{
    if (current(db))
        return;
    db.begin();
    try {
        if (!db.isSqlite()) {
            // Upgrading a large archive may take longer than a store is given:
            // it runs to its end, and the stations opening the archive
            // meanwhile wait for it rather than fail.
            db.exec(QStringLiteral("SET LOCAL statement_timeout = 0"));
            db.exec(QStringLiteral("SET LOCAL lock_timeout = %1").arg(kUpgradeWaitMs));
            // Stations sharing the database must not upgrade it side by side.
            db.exec(QStringLiteral("SELECT pg_advisory_xact_lock(4747)"));
            db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS archive_schema"
                                   " (version INTEGER NOT NULL)"));
        }
        int current = version(db);
        if (current > kVersion)
            throw ArchiveError(ArchiveError::Cause::TooNew,
                               QStringLiteral("Az archívumot a program egy újabb változata írta "
                                              "(%1. változat; ez a program a %2. változatig "
                                              "ismeri)")
                                   .arg(current)
                                   .arg(kVersion));
        const bool changed = current < kVersion;
        for (; current < kVersion; ++current) {
            for (const QString &sql : step(current + 1, db.isSqlite()))
                db.exec(sql);
        }
        if (changed)
            writeVersion(db, kVersion);
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}
