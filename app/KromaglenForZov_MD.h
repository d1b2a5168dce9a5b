#pragma once

#include <QDialog>
#include <functional>

#include "Asker.h"

class QLabel;
class QPushButton;

// The yes/no question dialog. It is modal, but asking does not wait: the
// answer is handed on when the person gives it.
class TF_MessageDlg : public QDialog
{
    Q_OBJECT

public:
    using Answer = Asker::Answer;

    explicit TF_MessageDlg(QWidget *parent = nullptr);

    // Shows the question; `answered` gets Yes or No once it is answered, or
    // Cancel at once when the dialog cannot be shown.
    void AskYesNo(const QString &message, const QString &question, Asker::Answered answered);
    // Takes the question away; its answer never comes.
    void withdraw();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_message = nullptr;
    QLabel *m_question = nullptr;
    QPushButton *m_yes = nullptr;
    QPushButton *m_no = nullptr;
    Asker::Answered m_answered;
};
