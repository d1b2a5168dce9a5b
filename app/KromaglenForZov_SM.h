#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The information dialog: one non-modal, always-on-top window whose two texts
// each new message replaces.
//
// It never hides an open question: while one is asked, a message stands
// beside it, leaving the keyboard with the question, or, where the screen has
// no room beside it, waits until the question is answered. A key meant for
// the message the user reads can then never answer a question out of sight.
class TF_MyShowMessage : public QDialog
{
    Q_OBJECT

public:
    explicit TF_MyShowMessage(QWidget *parent = nullptr);

    // question: the question dialog while it is open, else nothing.
    void DisplayMessage(const QString &message, const QString &description,
                        const QWidget *question = nullptr);
    // The question has been answered: shows a message that waited for it.
    void questionClosed();
    QString message() const;
    QString description() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void BB_OKClick();
    // Places the dialog beside the question; false where there is no room.
    bool placeBeside(const QWidget *question);

    QLabel *m_message = nullptr;
    QLabel *m_description = nullptr;
    QPushButton *m_ok = nullptr;
    bool m_placed = false;  // shown where placeBeside() put it, not centred
    bool m_waiting = false; // a message waits for the question to close
};
