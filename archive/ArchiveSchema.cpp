#include "ArchiveSchema.h"

#include "ArchiveDatabase.h"
#include "ArchiveRollup.h"

#include "PointCatalogue.h"
#include "VerdictBands.h"

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

// The worst verdict of an inspection as SQL: the highest Verdict value of
// its two substrates, each judged at its lowest and highest reading (see
// SubstrateBands::worstWithin). `limit` names a limit of a substrate.
template <typename Limit> QString worstOf(bool sqlite, Limit limit)
{
    QStringList substrates;
    for (const char *s : {"fe", "al"}) {
        const QString lo = QStringLiteral("%1_min").arg(QLatin1StringView(s));
        const QString hi = QStringLiteral("%1_max").arg(QLatin1StringView(s));
        substrates.append(QStringLiteral("CASE WHEN %1 IS NULL OR %2 IS NULL THEN %3"
                                         " WHEN %2 > %4 THEN %5 WHEN %2 > %6 THEN %7"
                                         " WHEN %1 < %8 THEN %9 ELSE %10 END")
                              .arg(lo, hi)
                              .arg(int(Verdict::None))
                              .arg(limit(s, 2))
                              .arg(int(Verdict::Filler))
                              .arg(limit(s, 1))
                              .arg(int(Verdict::Repainted))
                              .arg(limit(s, 0))
                              .arg(int(Verdict::Thin))
                              .arg(int(Verdict::Factory)));
    }
    return (sqlite ? QStringLiteral("MAX(") : QStringLiteral("GREATEST(")) +
           substrates.join(QStringLiteral(", ")) + u')';
}

// Version 5: what a large archive needs to stay quick. The worst verdict
// under the limits stored with the inspection (none without them), so that
// the list filters and sorts by it through an index; per point of each
// inspection the count, sum, sum of squares, lowest and highest reading, so
// that statistics over many inspections read one row per point instead of
// every reading; an index for each filter and sort of the list, each ending
// in the moment and the id that break ties.
QStringList step5(bool sqlite)
{
    static const char *const kLimits[] = {"thin_below", "factory_up_to", "repainted_up_to"};
    const QString stored = worstOf(sqlite, [](const char *substrate, int k) {
        return QStringLiteral("%1_%2").arg(QLatin1StringView(substrate),
                                           QLatin1StringView(kLimits[k]));
    });
    // Limits a program of ours would read back (SubstrateBands::valid).
    QStringList valid;
    for (const char *s : {"fe", "al"})
        valid.append(QStringLiteral("(%1_thin_below >= 0 AND %1_thin_below <= %1_factory_up_to"
                                    " AND %1_factory_up_to < %1_repainted_up_to"
                                    " AND %1_repainted_up_to < %2)")
                         .arg(QLatin1StringView(s))
                         .arg(VerdictBands::kLargest));
    QStringList sql{
        QStringLiteral("ALTER TABLE inspection ADD COLUMN worst INTEGER"),
        // Which write touched the row last, so that the window notices a
        // store of an older inspection or a plate typed elsewhere.
        QStringLiteral("ALTER TABLE inspection ADD COLUMN changed BIGINT NOT NULL DEFAULT 0"),
        QStringLiteral("UPDATE inspection SET changed = id"),
        QStringLiteral("CREATE INDEX inspection_changed ON inspection (changed)"),
        QStringLiteral("UPDATE inspection SET worst = ") + stored + QStringLiteral(" WHERE ") +
            valid.join(QStringLiteral(" AND ")),
        QStringLiteral("CREATE TABLE point_summary (inspection_id BIGINT NOT NULL,"
                       " point INTEGER NOT NULL, n INTEGER NOT NULL, total BIGINT NOT NULL,"
                       " squares BIGINT NOT NULL, minimum INTEGER NOT NULL,"
                       " maximum INTEGER NOT NULL, PRIMARY KEY (inspection_id, point))") +
            (sqlite ? QStringLiteral(" WITHOUT ROWID") : QString()),
        QStringLiteral("INSERT INTO point_summary (inspection_id, point, n, total, squares,"
                       " minimum, maximum) SELECT inspection_id, point, COUNT(*), SUM(value),"
                       " SUM(CAST(value AS BIGINT) * value), MIN(value), MAX(value)"
                       " FROM reading WHERE point >= 0 AND point < %1 AND value >= 0"
                       " AND value <= %2 GROUP BY inspection_id, point")
            .arg(PointCatalogue::kPointCount)
            .arg(VerdictBands::kLargest),
        QStringLiteral("DROP INDEX inspection_started"),
        QStringLiteral("DROP INDEX inspection_category"),
    };
    for (const char *column :
         {"started_ms", "category", "station", "worst", "points_measured", "reading_count"}) {
        const QString name = QLatin1StringView(column);
        // Text is compared by code point on both: PostgreSQL's own order
        // follows the server's locale, and an index serves one order only.
        const QString key = !sqlite && (name == u"category" || name == u"station")
                                ? name + QStringLiteral(" COLLATE \"C\"")
                                : name;
        sql.append(QStringLiteral("CREATE INDEX inspection_by_%1 ON inspection (%2)")
                       .arg(name.section(u'_', 0, 0),
                            name == u"started_ms" ? QStringLiteral("started_ms, id")
                                                  : key + QStringLiteral(", started_ms, id")));
    }
    return sql;
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
    case 5:
        return step5(sqlite);
    case 6:
        // Version 6: the per-point sums of each station's days and blocks of days.
        return ArchiveRollup::schema(sqlite);
    case 7:
        // Version 7: an inspection kept from the journal after its program
        // ended by force (1); none (NULL) for the others.
        return {QStringLiteral("ALTER TABLE inspection ADD COLUMN interrupted INTEGER")};
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

std::optional<int> ArchiveSchema::upgrade(ArchiveDatabase &db)
{
    if (current(db))
        return std::nullopt;
    bool changed = false;
    int found = 0;
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
        int current = found = version(db);
        if (current > kVersion)
            throw ArchiveError(ArchiveError::Cause::TooNew,
                               QStringLiteral("Az archívumot a program egy újabb változata írta "
                                              "(%1. változat; ez a program a %2. változatig "
                                              "ismeri)")
                                   .arg(current)
                                   .arg(kVersion));
        changed = current < kVersion;
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
    // The planner's statistics of the new tables and indexes.
    if (changed)
        db.keepStatistics(ArchiveDatabase::Statistics::Now);
    return changed && found > 0 ? std::optional(found) : std::nullopt;
}

QString ArchiveSchema::worstVerdict(bool sqlite, const VerdictBands &bands)
{
    return worstOf(sqlite, [&bands](const char *substrate, int k) {
        const SubstrateBands &b =
            bands.of(qstrcmp(substrate, "al") == 0 ? Substrate::AL : Substrate::FE);
        return QString::number(k == 0 ? b.thinBelow : k == 1 ? b.factoryUpTo : b.repaintedUpTo);
    });
}
