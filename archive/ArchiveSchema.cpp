#include "ArchiveSchema.h"

#include "ArchiveDatabase.h"
#include "VerdictBands.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

namespace {

// A file of schema/ as the statements one engine runs (the dialect's words
// are listed at the head of current.sql), and the floor its head states.
struct SchemaFile
{
    QStringList statements;
    int floor = 0;
};

SchemaFile read(const QString &name, bool sqlite)
{
    QFile file(QStringLiteral(":/archive/schema/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw ArchiveError(ArchiveError::Cause::Failed,
                           QStringLiteral("A program sémafájlja hiányzik: ") + name);
    static const QHash<QString, std::pair<QString, QString>> kWords{
        {QStringLiteral("{id}"),
         {QStringLiteral("INTEGER PRIMARY KEY"), QStringLiteral("BIGSERIAL PRIMARY KEY")}},
        {QStringLiteral("{clustered}"), {QStringLiteral(" WITHOUT ROWID"), QString()}},
        {QStringLiteral("{bytewise}"), {QString(), QStringLiteral(" COLLATE \"C\"")}},
        {QStringLiteral("{greatest}"), {QStringLiteral("MAX"), QStringLiteral("GREATEST")}},
        {QStringLiteral("{least}"), {QStringLiteral("MIN"), QStringLiteral("LEAST")}},
    };
    static const QRegularExpression floorLine(QStringLiteral("^-- floor: (\\d+)$"));
    SchemaFile out;
    QString statement;
    for (const QString &raw : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QString line = raw.trimmed();
        if (const QRegularExpressionMatch m = floorLine.match(line); m.hasMatch())
            out.floor = m.captured(1).toInt();
        if (line.isEmpty() || line.startsWith(QStringLiteral("--")))
            continue;
        statement += (statement.isEmpty() ? QString() : QStringLiteral("\n")) + raw;
        if (!line.endsWith(u';')) {
            // A statement ends with ';' at the end of a line, never in a comment.
            if (line.contains(QStringLiteral("--")) &&
                line.section(QStringLiteral("--"), 0, 0).trimmed().endsWith(u';'))
                throw ArchiveError(ArchiveError::Cause::Failed,
                                   QStringLiteral("A program sémafájlja hibás: ") + name);
            continue;
        }
        statement.chop(1);
        for (auto word = kWords.begin(); word != kWords.end(); ++word)
            statement.replace(word.key(), sqlite ? word->first : word->second);
        const QString own = sqlite ? QStringLiteral("{sqlite}") : QStringLiteral("{postgresql}");
        const QString other = sqlite ? QStringLiteral("{postgresql}") : QStringLiteral("{sqlite}");
        if (statement.startsWith(own))
            out.statements.append(statement.mid(own.size()).trimmed());
        else if (!statement.startsWith(other))
            out.statements.append(statement.trimmed());
        statement.clear();
    }
    return out;
}

QString stepFile(int version)
{
    return QStringLiteral("step-%1.sql").arg(version, 2, 10, QLatin1Char('0'));
}

bool hasRecordTable(ArchiveDatabase &db)
{
    QSqlQuery exists = db.exec(
        db.isSqlite() ? QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'archive_schema'")
                      // The catalog read as a table: after waiting for another station's
                      // upgrade, its tables are seen (to_regclass may still miss them).
                      : QStringLiteral("SELECT 1 FROM pg_tables WHERE schemaname = current_schema()"
                                       " AND tablename = 'archive_schema'"));
    return exists.next();
}

ArchiveError tooNew(int version, int floor)
{
    return ArchiveError(ArchiveError::Cause::TooNew,
                        QStringLiteral("Az archívumot a program egy újabb változata írta (%1. "
                                       "változat; ez a program a %2. változatig ismeri, ebbe az "
                                       "archívumba pedig legalább a %3. változatot ismerő program "
                                       "írhat). Frissítse ezen a gépen is a programot.")
                            .arg(version)
                            .arg(ArchiveSchema::kVersion)
                            .arg(floor));
}

// Whether this program may use the archive as it is: at its version, or
// newer with a floor this program meets. Reads without taking any lock, so
// the stations sharing a database do not queue behind each other at every
// opening. Throws TooNew for a newer archive this program must not use.
bool usable(ArchiveDatabase &db)
{
    if (!db.isSqlite() && !hasRecordTable(db))
        return false;
    const int version = ArchiveSchema::version(db);
    if (version > ArchiveSchema::kVersion) {
        const int floor = ArchiveSchema::floor(db);
        if (floor > ArchiveSchema::kVersion)
            throw tooNew(version, floor);
    }
    return version >= ArchiveSchema::kVersion;
}

} // namespace

QStringList ArchiveSchema::currentTables(bool sqlite)
{
    return read(QStringLiteral("current.sql"), sqlite).statements;
}

QStringList ArchiveSchema::step(int version, bool sqlite)
{
    return read(stepFile(version), sqlite).statements;
}

int ArchiveSchema::floorOf(int version)
{
    return read(stepFile(version), true).floor;
}

QStringList ArchiveSchema::record(int version, bool sqlite)
{
    QStringList sql;
    if (sqlite)
        sql.append(QStringLiteral("PRAGMA user_version = %1").arg(version));
    if (sqlite && version < 7)
        return sql;
    sql.append(QStringLiteral("DELETE FROM archive_schema"));
    sql.append(version < 7
                   ? QStringLiteral("INSERT INTO archive_schema (version) VALUES (%1)").arg(version)
                   : QStringLiteral("INSERT INTO archive_schema (version, floor)"
                                    " VALUES (%1, %2)")
                         .arg(version)
                         .arg(floorOf(version)));
    return sql;
}

QStringList ArchiveSchema::history(int version, bool sqlite)
{
    QStringList sql;
    for (int v = 1; v <= version; ++v)
        sql += step(v, sqlite);
    return sql + record(version, sqlite);
}

int ArchiveSchema::version(ArchiveDatabase &db)
{
    QSqlQuery query = db.exec(db.isSqlite() ? QStringLiteral("PRAGMA user_version")
                                            : QStringLiteral("SELECT version FROM archive_schema"));
    return query.next() ? query.value(0).toInt() : 0;
}

int ArchiveSchema::floor(ArchiveDatabase &db)
{
    const int at = version(db);
    if (at < 7)
        return at;
    QSqlQuery query = db.exec(QStringLiteral("SELECT floor FROM archive_schema"));
    return query.next() ? query.value(0).toInt() : at;
}

void ArchiveSchema::checkReadable(ArchiveDatabase &db)
{
    if (usable(db))
        return;
    throw ArchiveError(ArchiveError::Cause::Unavailable,
                       QStringLiteral("Az archívum egy korábbi változat formájában van, és "
                                      "itt nem írható, így nem frissíthető"));
}

std::optional<int> ArchiveSchema::upgrade(ArchiveDatabase &db)
{
    if (usable(db))
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
        }
        // Again under the lock: another station may have done it meanwhile.
        const int current = found = db.isSqlite() || hasRecordTable(db) ? version(db) : 0;
        if (current > kVersion && floor(db) > kVersion)
            throw tooNew(current, floor(db));
        changed = current < kVersion;
        if (current == 0) {
            for (const QString &sql : currentTables(db.isSqlite()))
                db.exec(sql);
        } else {
            for (int v = current + 1; v <= kVersion; ++v) {
                for (const QString &sql : step(v, db.isSqlite()))
                    db.exec(sql);
            }
        }
        if (changed) {
            for (const QString &sql : record(kVersion, db.isSqlite()))
                db.exec(sql);
        }
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
    // The highest verdict of the two substrates, each judged at its lowest
    // and highest reading (see SubstrateBands::worstWithin).
    QStringList substrates;
    for (Substrate s : {Substrate::FE, Substrate::AL}) {
        const SubstrateBands &b = bands.of(s);
        const QString name = substrateName(s).toLower();
        substrates.append(QStringLiteral("CASE WHEN %1_min IS NULL OR %1_max IS NULL THEN %2"
                                         " WHEN %1_max > %3 THEN %4 WHEN %1_max > %5 THEN %6"
                                         " WHEN %1_min < %7 THEN %8 ELSE %9 END")
                              .arg(name)
                              .arg(int(Verdict::None))
                              .arg(b.repaintedUpTo)
                              .arg(int(Verdict::Filler))
                              .arg(b.factoryUpTo)
                              .arg(int(Verdict::Repainted))
                              .arg(b.thinBelow)
                              .arg(int(Verdict::Thin))
                              .arg(int(Verdict::Factory)));
    }
    return (sqlite ? QStringLiteral("MAX(") : QStringLiteral("GREATEST(")) +
           substrates.join(QStringLiteral(", ")) + u')';
}
