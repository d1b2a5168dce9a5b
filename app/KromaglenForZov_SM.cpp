#include "KromaglenForZov_SM.h"

#include "Fonts.h"
#include "Widgets.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString dialogText(const QString &text)
{
    // A carriage return is the dialogs' line break.
    QString shown = text;
    shown.replace(u'\r', u'\n');
    return shown;
}

} // namespace

TF_MyShowMessage::TF_MyShowMessage(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TF_MyShowMessage"));
    setWindowTitle(QStringLiteral("Kromaglen"));
    setModal(false);
    resize(672, 348);
    setFont(Fonts::font(Fonts::kSansSerif, 11));

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("L_Message"));
    m_message->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_message->setWordWrap(true);
    m_message->setFixedHeight(105);
    m_message->setFont(Fonts::font(Fonts::kTimes, 19, true));
    m_message->setStyleSheet(QStringLiteral("color: maroon;"));

    auto *separator = new QLabel(QString(164, u'-'), this);
    separator->setObjectName(QStringLiteral("Label2"));
    separator->setAlignment(Qt::AlignCenter);
    separator->setFixedHeight(24);

    m_description = new QLabel(this);
    m_description->setObjectName(QStringLiteral("L_Desc"));
    m_description->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_description->setWordWrap(true);
    m_description->setFont(Fonts::font(Fonts::kSansSerif, 13));

    m_ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"),
                           this);
    m_ok->setObjectName(QStringLiteral("BB_OK"));
    m_ok->setDefault(true);
    m_ok->setFixedSize(161, 25);
    connect(m_ok, &QPushButton::clicked, this, &TF_MyShowMessage::BB_OKClick);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(0);
    layout->addWidget(m_message);
    layout->addWidget(separator);
    layout->addWidget(m_description, 1);
    layout->addWidget(m_ok, 0, Qt::AlignHCenter);
}

void TF_MyShowMessage::DisplayMessage(const QString &message, const QString &description)
{
    m_message->setText(dialogText(message));
    m_description->setText(dialogText(description));
    if (isVisible()) {
        raise();
        activateWindow();
    } else {
        show();
    }
}

void TF_MyShowMessage::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        centreOnScreen(this);
}

QString TF_MyShowMessage::message() const
{
    QString text = m_message->text();
    return text.replace(u'\n', u'\r');
}

QString TF_MyShowMessage::description() const
{
    QString text = m_description->text();
    return text.replace(u'\n', u'\r');
}

void TF_MyShowMessage::BB_OKClick()
{
    hide();
}
