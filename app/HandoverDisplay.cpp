#include "HandoverDisplay.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

HandoverDisplay::HandoverDisplay(int maxLines, qsizetype maxChars, ShowStatus showStatus,
                                 QObject *parent)
    : QObject(parent), m_maxLines(maxLines), m_maxChars(maxChars),
      m_showStatus(std::move(showStatus))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kBatchMs);
    connect(&m_timer, &QTimer::timeout, this, &HandoverDisplay::flush);
}

void HandoverDisplay::setLog(QPlainTextEdit *log)
{
    m_log = log;
    // Qt's own line bound; it also keeps no undo history of the lines.
    m_log->setMaximumBlockCount(m_maxLines);
    m_log->setUndoRedoEnabled(false);
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
    m_waitingChars += m_lines.last().size() + 1;
    while (m_lines.size() > m_maxLines || m_waitingChars > m_maxChars)
        m_waitingChars -= m_lines.takeFirst().size() + 1;
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
    if (m_log && !m_lines.isEmpty()) {
        m_log->appendPlainText(std::exchange(m_lines, {}).join(u'\n'));
        m_waitingChars = 0;
        trimLog();
    }
    for (int point : std::exchange(m_points, {}))
        m_showStatus(point);
}

void HandoverDisplay::trimLog()
{
    QTextDocument *document = m_log->document();
    if (document->characterCount() <= m_maxChars)
        return;
    // Down to three quarters, so that a flood trims now and then, not with
    // every batch.
    const qsizetype excess = document->characterCount() - m_maxChars * 3 / 4;
    QTextBlock keep = document->firstBlock();
    for (qsizetype dropped = 0; dropped < excess && keep != document->lastBlock();
         keep = keep.next())
        dropped += keep.length();
    QTextCursor cursor(document);
    cursor.setPosition(keep.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}
