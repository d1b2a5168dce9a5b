#include "EventLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

EventLog::EventLog(QString path, QString program, qint64 maxBytes, QObject *parent)
    : QObject(parent), m_path(QFileInfo(path).absoluteFilePath()), m_program(std::move(program)),
      m_maxBytes(maxBytes)
{
}

void EventLog::write(const QString &text)
{
    QString line = text.trimmed();
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" | "));
    line.replace(u'\n', QStringLiteral(" | "));
    line.replace(u'\r', QStringLiteral(" | "));
    if (line.isEmpty() || line == m_last)
        return;
    m_last = line;
    const QByteArray bytes =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd. HH:mm:ss")) + u' ' +
         m_program + QStringLiteral(": ") + line + QStringLiteral("\r\n"))
            .toUtf8();
    rotate(QFileInfo(m_path).size() + bytes.size());
    QFile file(m_path);
    // Appended whole in one write, so the lines of both programs never mix.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(file.size() == 0 ? QByteArray("\xEF\xBB\xBF") + bytes : bytes);
}

void EventLog::rotate(qint64 size)
{
    if (size <= m_maxBytes)
        return;
    const QString older = m_path + QStringLiteral(".1");
    QFile::remove(older);
    QFile::rename(m_path, older);
}
