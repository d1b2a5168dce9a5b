#include "KromaglenForZov_MD.h"

#include "Fonts.h"
#include "Widgets.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace {

QFont timesBold19()
{
    return Fonts::font(Fonts::kTimes, 19, true);
}

} // namespace

TF_MessageDlg::TF_MessageDlg(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("TF_MessageDlg"));
    setWindowTitle(QStringLiteral("Kromaglen"));
    setFixedSize(693, 230);
    setFont(Fonts::font(Fonts::kSansSerif, 11));

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("L_Message"));
    m_message->setGeometry(0, 0, 693, 105);
    m_message->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_message->setWordWrap(true);
    m_message->setFont(timesBold19());

    auto *separator = new QLabel(QString(164, u'-'), this);
    separator->setObjectName(QStringLiteral("Label2"));
    separator->setGeometry(0, 105, 693, 24);
    separator->setAlignment(Qt::AlignCenter);

    m_question = new QLabel(this);
    m_question->setObjectName(QStringLiteral("L_Question"));
    m_question->setGeometry(0, 129, 693, 52);
    m_question->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_question->setWordWrap(true);
    m_question->setFont(timesBold19());
    setTextColour(m_question, QColor(QStringLiteral("navy")));

    m_yes = new QPushButton(QStringLiteral("&Igen"), this);
    m_yes->setObjectName(QStringLiteral("BB_Yes"));
    m_yes->setGeometry(139, 189, 174, 25);
    pressWithEnter(m_yes);
    connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);

    m_no = new QPushButton(QStringLiteral("&Nem"), this);
    m_no->setObjectName(QStringLiteral("BB_No"));
    m_no->setGeometry(379, 189, 174, 25);
    // Enter presses the button that has the focus; Igen has it at first.
    pressWithEnter(m_no);
    connect(m_no, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, [this](int result) {
        if (const Asker::Answered answered = std::exchange(m_answered, nullptr))
            answered(result == QDialog::Accepted ? Answer::Yes : Answer::No);
    });
}

void TF_MessageDlg::AskYesNo(const QString &message, const QString &question,
                             Asker::Answered answered)
{
    try {
        QString m = message;
        QString q = question;
        m_message->setText(m.replace(u'\r', u'\n'));
        m_question->setText(q.replace(u'\r', u'\n'));
        m_answered = std::move(answered);
        // Modal to the whole program, as a question that waited was; Esc
        // rejects the dialog: that is the No answer.
        setWindowModality(Qt::ApplicationModal);
        show();
    } catch (...) {
        if (const Asker::Answered failed = std::exchange(m_answered, nullptr))
            failed(Answer::Cancel);
        else if (answered)
            answered(Answer::Cancel);
    }
}

void TF_MessageDlg::withdraw()
{
    m_answered = nullptr;
    if (isVisible())
        reject();
}

void TF_MessageDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        centreOnScreen(this);
    m_yes->setFocus();
    // The keys go to the question, also when it follows another one at once.
    activateWindow();
}

void TF_MessageDlg::closeEvent(QCloseEvent *event)
{
    // No close box: only Igen and Nem answer. Esc still answers No via reject().
    event->ignore();
}
