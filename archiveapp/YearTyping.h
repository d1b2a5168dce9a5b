#pragma once

#include <QDate>
#include <QElapsedTimer>
#include <QObject>

class QDateEdit;

// Lets a person type a year into a date field wherever its cursor is: four
// digits typed in a row into the day or the month (which cannot take them)
// set the year instead, the day and month as they were before. Entering the
// field chooses its year, so a year typed at once goes there anyway.
class YearTyping : public QObject
{
public:
    // Watches `edit`; owned by it.
    explicit YearTyping(QDateEdit *edit);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int kPauseMs = 2000; // a longer pause starts another number

    QDateEdit *m_edit;
    QString m_digits;
    QDate m_before;
    QElapsedTimer m_last;
};
