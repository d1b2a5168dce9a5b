#include "YearTyping.h"

#include <QDateEdit>
#include <QKeyEvent>
#include <QTimer>

YearTyping::YearTyping(QDateEdit *edit) : QObject(edit), m_edit(edit)
{
    edit->installEventFilter(this);
}

bool YearTyping::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edit)
        return false;
    if (event->type() == QEvent::FocusIn) {
        QTimer::singleShot(
            0, m_edit, [edit = m_edit] { edit->setSelectedSection(QDateTimeEdit::YearSection); });
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const QString text = key->text();
    if (text.size() != 1 || !text.front().isDigit() ||
        m_edit->currentSection() == QDateTimeEdit::YearSection) {
        m_digits.clear();
        return false;
    }
    if (m_digits.isEmpty() || m_last.elapsed() > kPauseMs)
        m_digits.clear(), m_before = m_edit->date();
    m_digits += text;
    m_last.restart();
    if (m_digits.size() < 4)
        return false; // perhaps a day or a month: the field takes it as usual
    const int year = m_digits.toInt();
    m_digits.clear();
    const QDate first(year, m_before.month(), 1);
    const QDate date(year, m_before.month(), std::min(m_before.day(), first.daysInMonth()));
    if (!date.isValid() || date < m_edit->minimumDate() || date > m_edit->maximumDate())
        return false;
    m_edit->setDate(date);
    m_edit->setSelectedSection(QDateTimeEdit::YearSection);
    return true;
}
