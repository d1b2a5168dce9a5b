#pragma once

class ArchiveDatabase;

// The archive's tables and their history. A SQLite file carries its schema
// version in PRAGMA user_version, a PostgreSQL database in the table
// archive_schema. Opening runs every step from the archive's version on, in
// one transaction, so a new archive and an old one end up alike.
namespace ArchiveSchema {

inline constexpr int kVersion = 4;

int version(ArchiveDatabase &db);
// Throws ArchiveError (TooNew for an archive a newer program wrote).
void upgrade(ArchiveDatabase &db);

} // namespace ArchiveSchema
