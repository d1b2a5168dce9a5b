#pragma once

#include <QObject>
#include <QString>

// The log for the station's IT person: one line per event (a store or a
// connection that failed, a file set aside, ...) with the moment and the
// program that wrote it, appended to a file in the working folder that both
// programs share. When the file passes its size it is renamed to "<name>.1"
// (the one before that is dropped), so the log never takes more than twice
// that. A line the log cannot write is dropped: a log never stops the work.
// The same event told again and again (an archive that stays unreachable
// while the window polls it) is written once until another comes.
class EventLog : public QObject
{
    Q_OBJECT

public:
    static inline const QString kFileName = QStringLiteral("Kromaglen.log");
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    // `program`: the name each line carries ("KromaglenForZov", "KromaglenArchive").
    EventLog(QString path, QString program, qint64 maxBytes = kMaxBytes, QObject *parent = nullptr);

    const QString &path() const { return m_path; }

    // A line of text; newlines in it are joined with " | ".
    void write(const QString &text);

private:
    void rotate(qint64 size);

    QString m_path;
    QString m_program;
    qint64 m_maxBytes;
    QString m_last;
};
