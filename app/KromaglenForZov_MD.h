#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The modal yes/no question dialog.
class TF_MessageDlg : public QDialog
{
    Q_OBJECT

public:
    enum Answer { Yes, No, Cancel };

    explicit TF_MessageDlg(QWidget *parent = nullptr);

    Answer AskYesNo(const QString &message, const QString &question);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_message = nullptr;
    QLabel *m_question = nullptr;
    QPushButton *m_yes = nullptr;
    QPushButton *m_no = nullptr;
};
