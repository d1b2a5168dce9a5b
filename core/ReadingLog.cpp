#include "ReadingLog.h"

QString ReadingLog::readingLine(const QString &substrate, const QString &valueText)
{
    return substrate + u' ' + valueText + QStringLiteral(" µm");
}

QString ReadingLog::valueOf(const QString &line)
{
    return line.mid(3, line.size() - 6);
}

int ReadingLog::clampManualValue(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < kManualMinimum)
        return kManualMinimum;
    if (value > kManualMaximum)
        return kManualMaximum;
    return int(value);
}

int ReadingLog::selectionAfterDelete(int deleted, int remaining)
{
    if (remaining <= 0)
        return -1;
    return deleted < remaining ? deleted : remaining - 1;
}

void ReadingLog::append(int point, const QString &line)
{
    m_lists[size_t(point)].append(line);
    m_unsaved = true;
}

void ReadingLog::removeAt(int point, int line)
{
    QStringList &list = m_lists[size_t(point)];
    if (line >= 0 && line < list.size())
        list.removeAt(line);
}

void ReadingLog::clearAll()
{
    for (QStringList &list : m_lists)
        list.clear();
    m_unsaved = false;
}
