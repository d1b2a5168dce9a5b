#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class ArchiveDatabase;
class VerdictBands;

// The archive's tables and their history, kept as SQL in schema/ (built in
// as resources): current.sql makes a new archive, step-NN.sql takes an
// archive of version NN-1 to NN. A SQLite file carries its version in PRAGMA
// user_version, a PostgreSQL database in the table archive_schema; from
// version 7 on that table also holds the archive's floor: the oldest version
// whose programs may still store into and read it. A step that older
// programs can live with (a new table, a nullable column, an index) keeps
// the floor; one they cannot raises it. So the stations of a chain sharing
// one database may be upgraded one at a time while the floor stays.
namespace ArchiveSchema {

inline constexpr int kVersion = 9;
// PostgreSQL: how long a station waits for another's upgrade (or for the
// locks its own needs) before it gives up and tries again later.
inline constexpr int kUpgradeWaitMs = 600000;

// The statements of a new archive, of one step, and the floor a version states.
QStringList currentTables(bool sqlite);
QStringList step(int version, bool sqlite);
int floorOf(int version);
// The statements that record an archive's version (and, from 7 on, its
// floor), and those that make an archive of `version` from nothing as that
// version's program left it: its steps and its record.
QStringList record(int version, bool sqlite);
QStringList history(int version, bool sqlite);

// The archive's version (0: none yet) and floor (its version before 7).
int version(ArchiveDatabase &db);
int floor(ArchiveDatabase &db);
// For a connection that only reads: throws ArchiveError TooNew when the
// archive is newer than this program and its floor above this program's
// version, Unavailable when it is older (it cannot be upgraded here).
void checkReadable(ArchiveDatabase &db);
// Creates the tables of a new archive, or upgrades an older one in one
// transaction; an archive newer than this program is left as it is, and
// used when its floor allows (else TooNew). Returns the version an existing
// archive had when this call upgraded it.
std::optional<int> upgrade(ArchiveDatabase &db);

// The worst verdict (a Verdict value) of an inspection's row as SQL, judged
// with the given limits.
QString worstVerdict(bool sqlite, const VerdictBands &bands);

} // namespace ArchiveSchema
