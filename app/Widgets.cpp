#include "Widgets.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTabBar>

TPageControl::TPageControl(QWidget *parent) : QTabWidget(parent)
{
    tabBar()->installEventFilter(this);
    tabBar()->setFocusPolicy(Qt::NoFocus);
}

void TPageControl::setActivePage(int index)
{
    setCurrentIndex(index);
}

bool TPageControl::userMayChange()
{
    bool allow = true;
    Q_EMIT changing(allow);
    return allow;
}

bool TPageControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tabBar()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
            if (!userMayChange())
                return true;
            break;
        default:
            break;
        }
    }
    return QTabWidget::eventFilter(watched, event);
}

void TPageControl::keyPressEvent(QKeyEvent *event)
{
    const bool switching = (event->modifiers() & Qt::ControlModifier) &&
                           (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab ||
                            event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown);
    if (switching && !userMayChange()) {
        event->accept();
        return;
    }
    QTabWidget::keyPressEvent(event);
}

void TComboBox::hidePopup()
{
    const bool wasShown = view() && view()->isVisible();
    QComboBox::hidePopup();
    // Qt closes the list before it takes a pick over: tell of the close once
    // the pick is in place.
    if (wasShown)
        QMetaObject::invokeMethod(this, &TComboBox::closeUp, Qt::QueuedConnection);
}

TPanel::TPanel(QWidget *parent) : QLabel(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
}

void TPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLabel::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}

TGlyphButton::TGlyphButton(QWidget *parent) : QPushButton(parent) {}

void TGlyphButton::setGlyph(const QIcon &icon, QSize size, Layout layout)
{
    setIcon(icon);
    setIconSize(size);
    m_glyphSize = size;
    m_layout = layout;
    update();
}

void TGlyphButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    p.drawControl(QStyle::CE_PushButton, option);

    const QRect area = rect().adjusted(6, 6, -6, -6);
    const QPixmap picture =
        icon().pixmap(m_glyphSize, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    const bool hasText = !text().isEmpty();
    QRect pictureRect(QPoint(), m_glyphSize);
    QRect textRect = area;
    switch (m_layout) {
    case Layout::PictureAbove:
        pictureRect.moveCenter({area.center().x(), hasText ? area.top() + m_glyphSize.height() / 2
                                                           : area.center().y()});
        textRect.setTop(pictureRect.bottom() + 2);
        break;
    case Layout::PictureBelow:
        pictureRect.moveCenter({area.center().x(), area.bottom() - m_glyphSize.height() / 2});
        textRect.setBottom(pictureRect.top() - 2);
        break;
    case Layout::PictureLeft:
        pictureRect.moveCenter({area.left() + m_glyphSize.width() / 2, area.center().y()});
        textRect.setLeft(pictureRect.right() + 4);
        break;
    case Layout::PictureRight:
        pictureRect.moveCenter({area.right() - m_glyphSize.width() / 2, area.center().y()});
        textRect.setRight(pictureRect.left() - 4);
        break;
    }
    if (!hasText)
        pictureRect.moveCenter(area.center());
    p.drawPixmap(pictureRect, picture);
    if (hasText) {
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::ButtonText));
        p.drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, text());
    }
}
