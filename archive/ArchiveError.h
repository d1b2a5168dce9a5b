#pragma once

#include "Failure.h"

class QSqlError;

// A failure of the archive, with what the caller should do about it: wait
// and retry (Unavailable, Failed), move the file aside (Damaged), leave the
// file alone because a newer program wrote it (TooNew), or set the one
// inspection aside because the database will never take what it holds
// (Refused: a value or text it rejects, while the connection is sound).
class ArchiveError : public Failure
{
public:
    enum class Cause { Unavailable, Damaged, TooNew, Failed, Refused };

    ArchiveError(Cause cause, const QString &text)
        : Failure(QStringLiteral("EDatabaseError"), text), m_cause(cause)
    {
    }
    // The cause a database error points to.
    static ArchiveError from(const QSqlError &error, const QString &doing);

    Cause cause() const { return m_cause; }

private:
    Cause m_cause;
};
