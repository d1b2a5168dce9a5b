#include "Widgets.h"

#include <QAbstractItemView>
#include <QKeyEvent>
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
    if (wasShown)
        Q_EMIT closeUp();
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
