#include "Widgets.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTabBar>

namespace {

// Tabs of the laid-out size whatever the style: as high as the layout says
// and as wide as their caption and a small margin, so that the three captions
// fit the window in one row also where a style pads tabs more (the Windows
// styles do).
class FixedHeightTabBar : public QTabBar
{
public:
    explicit FixedHeightTabBar(QWidget *parent) : QTabBar(parent)
    {
        setUsesScrollButtons(false);
        setElideMode(Qt::ElideNone);
        setExpanding(false);
    }

protected:
    QSize tabSizeHint(int index) const override
    {
        return {fontMetrics().horizontalAdvance(tabText(index)) + 2 * kTextMargin,
                TPageControl::kTabHeight};
    }

private:
    static constexpr int kTextMargin = 6;
};

class FixedHeightRows : public QStyledItemDelegate
{
public:
    FixedHeightRows(int height, QObject *parent) : QStyledItemDelegate(parent), m_height(height) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
    }

private:
    int m_height;
};

class EnterPresses : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        static_cast<QPushButton *>(watched)->click();
        return true;
    }
};

} // namespace

void pressWithEnter(QPushButton *button)
{
    button->setAutoDefault(false);
    button->installEventFilter(new EnterPresses(button));
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void centreOnScreen(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->geometry().center());
    window->move(frame.topLeft());
}

std::optional<QPoint> besideOf(const QRect &screen, const QRect &other, QSize frame)
{
    constexpr int kGap = 8;
    const QPoint centred = other.center() - QPoint(frame.width() / 2, frame.height() / 2);
    const int clampedX = qBound(screen.left(), centred.x(), screen.right() + 1 - frame.width());
    const int clampedY = qBound(screen.top(), centred.y(), screen.bottom() + 1 - frame.height());
    const QPoint candidates[] = {
        {clampedX, other.bottom() + 1 + kGap},
        {clampedX, other.top() - kGap - frame.height()},
        {other.right() + 1 + kGap, clampedY},
        {other.left() - kGap - frame.width(), clampedY},
    };
    for (const QPoint &at : candidates) {
        const QRect placed(at, frame);
        if (screen.contains(placed) && !placed.intersects(other))
            return at;
    }
    return std::nullopt;
}

TPageControl::TPageControl(QWidget *parent) : QTabWidget(parent)
{
    setTabBar(new FixedHeightTabBar(this));
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

TCheckListBox::TCheckListBox(QWidget *parent) : QListView(parent)
{
    setUniformItemSizes(true);
}

void TCheckListBox::setRowHeight(int height)
{
    setItemDelegate(new FixedHeightRows(height, this));
}

void TCheckListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The press before this event and the release after it are handled as
    // those of a single click: on the check box the release toggles the tick.
    const QPersistentModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || event->button() != Qt::LeftButton) {
        QListView::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    Q_EMIT doubleClicked(index);
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

void TComboBox::completeToEntries()
{
    setCompleter(nullptr);
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, &TComboBox::completeTyped);
}

void TComboBox::noteKey(const QKeyEvent *event)
{
    const QString typed = event->text();
    m_typing = !typed.isEmpty() && typed.front().isPrint();
}

bool TComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lineEdit() && event->type() == QEvent::KeyPress)
        noteKey(static_cast<QKeyEvent *>(event));
    return QComboBox::eventFilter(watched, event);
}

void TComboBox::keyPressEvent(QKeyEvent *event)
{
    noteKey(event);
    QComboBox::keyPressEvent(event);
}

void TComboBox::completeTyped(const QString &text)
{
    // Deleting, pasting, or typing anywhere but at the end completes nothing.
    QLineEdit *edit = lineEdit();
    if (!std::exchange(m_typing, false) || text.isEmpty() || edit->cursorPosition() != text.size())
        return;
    for (int i = 0; i < count(); ++i) {
        const QString entry = itemText(i);
        if (!entry.startsWith(text, Qt::CaseInsensitive))
            continue;
        setCurrentIndex(i);
        edit->setText(entry);
        edit->setSelection(int(text.size()), int(entry.size() - text.size()));
        return;
    }
}

void TFittingLabel::setDesignedFont(const QFont &font)
{
    m_designed = font;
    setFont(font);
}

void TFittingLabel::setFittedText(const QString &text)
{
    setText(text);
    QFont f = m_designed;
    setFont(f);
    while (f.pixelSize() > 6 && heightForWidth(width()) > height()) {
        f.setPixelSize(f.pixelSize() - 1);
        setFont(f);
    }
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

void TPanel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event); // the frame; the text is drawn here
    QPainter p(this);
    const QRect room = contentsRect();
    QFont f = font();
    for (int width = QFontMetrics(f).horizontalAdvance(text());
         width > room.width() && f.pixelSize() > 1;
         width = QFontMetrics(f).horizontalAdvance(text()))
        f.setPixelSize(
            std::max(1, std::min(f.pixelSize() - 1, f.pixelSize() * room.width() / width)));
    p.setFont(f);
    p.drawText(room, int(alignment()), text());
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

int TSpinEdit::clampedValue(const QString &text) const
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < minimum())
        return minimum();
    return int(qMin(value, qlonglong(maximum())));
}

QValidator::State TSpinEdit::validate(QString &input, int &) const
{
    // Digits and signs may be typed; what they make is settled on reading.
    for (QChar c : input) {
        if (!c.isDigit() && c != u'+' && c != u'-')
            return QValidator::Invalid;
    }
    bool ok = false;
    const int value = input.toInt(&ok);
    return ok && value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                          : QValidator::Intermediate;
}

int TSpinEdit::valueFromText(const QString &text) const
{
    return clampedValue(text);
}

void TSpinEdit::fixup(QString &input) const
{
    input = QString::number(clampedValue(input));
}
