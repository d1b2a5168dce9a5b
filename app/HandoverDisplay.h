#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

class QPlainTextEdit;

// What the handover page shows of the server's traffic, brought to the screen
// in batches: served back to back, every request would otherwise lay out and
// repaint the log and a status field before the next one is read. The order
// stays: a line the window adds itself shows the waiting batch first. Lines
// wait for the log until it is built.
//
// A peer decides how long its lines are, so the log is bounded in characters
// as well as in lines: the oldest lines go once either bound is passed.
class HandoverDisplay : public QObject
{
    Q_OBJECT

public:
    static constexpr int kBatchMs = 40;
    // The log's bounds in the program: about 8 MB of text, days of a
    // station's traffic.
    static constexpr int kMaxLines = 100000;
    static constexpr qsizetype kMaxChars = 4 * 1024 * 1024;
    // Shows a point's handover status as it stands then.
    using ShowStatus = std::function<void(int point)>;

    HandoverDisplay(int maxLines, qsizetype maxChars, ShowStatus showStatus,
                    QObject *parent = nullptr);

    // The log the lines go to; shows what waits.
    void setLog(QPlainTextEdit *log);

    // A line of the traffic, shown with the next batch.
    void appendLater(const QString &line);
    // A point's status changed; shown with the next batch.
    void showStatusLater(int point);
    // A line of the window's own: the batch first, then the line.
    void append(const QString &line);
    // Shows what waits, now.
    void flush();

private:
    void schedule();
    // Drops the oldest lines of the log beyond the character bound.
    void trimLog();

    const int m_maxLines;
    const qsizetype m_maxChars;
    QPlainTextEdit *m_log = nullptr;
    ShowStatus m_showStatus;
    QStringList m_lines;
    qsizetype m_waitingChars = 0; // in m_lines
    QList<int> m_points;
    QTimer m_timer;
};
