#include "ArchiveError.h"

#include <QSqlError>

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
    if (error.type() == QSqlError::ConnectionError)
        return ArchiveError(Cause::Unavailable, text);
    return ArchiveError(Cause::Failed, text);
}
