#include "HandoverDisplay.h"

#include <QPlainTextEdit>

HandoverDisplay::HandoverDisplay(int maxLines, ShowStatus showStatus, QObject *parent)
    : QObject(parent), m_maxLines(maxLines), m_showStatus(std::move(showStatus))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kBatchMs);
    connect(&m_timer, &QTimer::timeout, this, &HandoverDisplay::flush);
}

void HandoverDisplay::setLog(QPlainTextEdit *log)
{
    m_log = log;
    flush();
}

void HandoverDisplay::schedule()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void HandoverDisplay::appendLater(const QString &line)
{
    m_lines.append(line);
    if (m_lines.size() > m_maxLines)
        m_lines.removeFirst();
    schedule();
}

void HandoverDisplay::showStatusLater(int point)
{
    if (!m_points.contains(point))
        m_points.append(point);
    schedule();
}

void HandoverDisplay::append(const QString &line)
{
    appendLater(line);
    flush();
}

void HandoverDisplay::flush()
{
    m_timer.stop();
    if (m_log && !m_lines.isEmpty())
        m_log->appendPlainText(std::exchange(m_lines, {}).join(u'\n'));
    for (int point : std::exchange(m_points, {}))
        m_showStatus(point);
}
