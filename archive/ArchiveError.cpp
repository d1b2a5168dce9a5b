#include "ArchiveError.h"

#include <QSqlError>

namespace {

// Whether the error is about the data sent rather than the database's state:
// PostgreSQL's SQLSTATE (five characters) or SQLite's result code.
bool refusedForContent(const QString &code)
{
    if (code.size() == 5) {
        // Data exceptions (22), constraints (23) but for two stations inserting
        // the same inspection at once (23505), limits (54), and the syntax
        // error a text cut short by a NUL makes of the statement (42601).
        if (code == u"23505")
            return false;
        return code.startsWith(u"22") || code.startsWith(u"23") || code.startsWith(u"54") ||
               code == u"42601";
    }
    bool number = false;
    const int primary = code.toInt(&number) & 0xff;
    // SQLITE_TOOBIG, SQLITE_CONSTRAINT, SQLITE_MISMATCH, SQLITE_RANGE
    return number && (primary == 18 || primary == 19 || primary == 20 || primary == 25);
}

} // namespace

ArchiveError ArchiveError::from(const QSqlError &error, const QString &doing)
{
    // SQLite's codes for a file that is not, or no longer, a sound database.
    const QString code = error.nativeErrorCode();
    const bool damaged = code == u"11" || code == u"26" ||
                         error.text().contains(u"malformed", Qt::CaseInsensitive) ||
                         error.text().contains(u"not a database", Qt::CaseInsensitive);
    const QString text = doing + QStringLiteral(": ") + error.text().trimmed();
    if (damaged)
        return ArchiveError(Cause::Damaged, text);
    // Before the type: SQLite reports a refused row as a "connection" error.
    if (refusedForContent(code))
        return ArchiveError(Cause::Refused, text);
    if (error.type() == QSqlError::ConnectionError)
        return ArchiveError(Cause::Unavailable, text);
    return ArchiveError(Cause::Failed, text);
}
