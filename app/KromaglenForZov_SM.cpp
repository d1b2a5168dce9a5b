#include "KromaglenForZov_SM.h"

#include "Fonts.h"
#include "Widgets.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
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
    setTextColour(m_message, QColor(QStringLiteral("maroon")));

    auto *separator = new QLabel(QString(164, u'-'), this);
    separator->setObjectName(QStringLiteral("Label2"));
    separator->setAlignment(Qt::AlignCenter);
    separator->setFixedHeight(24);

    m_description = new QLabel(this);
    m_description->setObjectName(QStringLiteral("L_Desc"));
    m_description->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_description->setWordWrap(true);
    m_description->setFont(Fonts::font(Fonts::kSansSerif, 13));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("BB_OK"));
    pressWithEnter(m_ok); // its only control: it has the focus
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

void TF_MyShowMessage::DisplayMessage(const QString &message, const QString &description,
                                      const QWidget *question)
{
    m_message->setText(dialogText(message));
    m_description->setText(dialogText(description));
    if (question) {
        if (!placeBeside(question)) {
            m_waiting = true;
            hide();
            return;
        }
        // The question keeps the keyboard.
        setAttribute(Qt::WA_ShowWithoutActivating, true);
        show();
        raise();
        setAttribute(Qt::WA_ShowWithoutActivating, false);
        return;
    }
    m_placed = false;
    if (isVisible()) {
        raise();
        activateWindow();
    } else {
        show();
    }
}

bool TF_MyShowMessage::placeBeside(const QWidget *question)
{
    const QScreen *screen = question->screen();
    if (!screen)
        return false;
    // This dialog's frame is taken to be as wide as the question's.
    const QRect questionFrame = question->frameGeometry();
    const QMargins frame(question->geometry().left() - questionFrame.left(),
                         question->geometry().top() - questionFrame.top(),
                         questionFrame.right() - question->geometry().right(),
                         questionFrame.bottom() - question->geometry().bottom());
    const std::optional<QPoint> at =
        besideOf(screen->availableGeometry(), questionFrame, size().grownBy(frame));
    if (!at)
        return false;
    m_placed = true;
    move(*at);
    return true;
}

void TF_MyShowMessage::questionClosed()
{
    if (std::exchange(m_waiting, false)) {
        m_placed = false;
        show();
    }
    // The keys go to the message in sight, not to the window behind it,
    // where Enter would press the button that has the focus.
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void TF_MyShowMessage::showEvent(QShowEvent *event)
{
    // The style's OK picture comes from a search of the icon theme, which
    // costs more memory than the rest of the dialog: fetched when first shown.
    if (m_ok->icon().isNull())
        m_ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    QDialog::showEvent(event);
    if (!event->spontaneous() && !m_placed)
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
