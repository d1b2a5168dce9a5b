#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The information dialog: one non-modal, always-on-top window whose two texts
// each new message replaces.
class TF_MyShowMessage : public QDialog
{
    Q_OBJECT

public:
    explicit TF_MyShowMessage(QWidget *parent = nullptr);

    void DisplayMessage(const QString &message, const QString &description);
    QString message() const;
    QString description() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void BB_OKClick();

    QLabel *m_message = nullptr;
    QLabel *m_description = nullptr;
    QPushButton *m_ok = nullptr;
};
