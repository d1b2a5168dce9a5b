#pragma once

#include <QString>
#include <optional>

class ArchiveDatabase;
class VerdictBands;

// The archive's tables and their history. A SQLite file carries its schema
// version in PRAGMA user_version, a PostgreSQL database in the table
// archive_schema. Opening runs every step from the archive's version on, in
// one transaction, so a new archive and an old one end up alike.
namespace ArchiveSchema {

inline constexpr int kVersion = 7;
// PostgreSQL: how long a station waits for another's upgrade (or for the
// locks its own needs) before it gives up and tries again later.
inline constexpr int kUpgradeWaitMs = 600000;

int version(ArchiveDatabase &db);
// The worst verdict (a Verdict value) of an inspection's row as SQL, judged
// with the given limits.
QString worstVerdict(bool sqlite, const VerdictBands &bands);
// Throws ArchiveError (TooNew for an archive a newer program wrote).
// Returns the version an existing archive had when this call upgraded it.
std::optional<int> upgrade(ArchiveDatabase &db);

} // namespace ArchiveSchema
