#include "ReadingLog.h"

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

QStringList ReadingLog::lines(int point) const
{
    QStringList out;
    for (const Reading &r : readings(point))
        out.append(r.line());
    return out;
}

void ReadingLog::append(int point, const Reading &reading)
{
    m_lists[size_t(point)].append(reading);
    m_unsaved = true;
}

void ReadingLog::removeAt(int point, int line)
{
    QList<Reading> &list = m_lists[size_t(point)];
    if (line >= 0 && line < list.size())
        list.removeAt(line);
}

void ReadingLog::clearAll()
{
    for (QList<Reading> &list : m_lists)
        list.clear();
    m_unsaved = false;
}
