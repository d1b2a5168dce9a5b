#pragma once

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <optional>

// The few widget behaviours the wizard needs beyond Qt's own.

// Enter (also the keypad's) presses the button while it has the focus, as
// Space does, without making it a default button: the Windows style pulses a
// default button for as long as its window is active, repainting it many
// times a second (3-4 % of a processor under Wine), though Windows 8 and later
// draw every step of the pulse alike.
void pressWithEnter(QPushButton *button);

// Places a top-level window's frame in the middle of its screen.
void centreOnScreen(QWidget *window);

// A label's text colour, through its palette: a style sheet would load Qt's
// style sheet machinery for one colour.
void setTextColour(QWidget *widget, const QColor &colour);

// Where a window frame of the given size stands on the screen without
// covering another: below it, above it, right or left of it, as near its
// middle as the screen allows; nothing where none of these fits.
std::optional<QPoint> besideOf(const QRect &screen, const QRect &other, QSize frame);

// A page control whose pages only the program changes: tab clicks, the mouse
// wheel and Ctrl+Tab are refused (each refusal is reported by changing()).
class TPageControl : public QTabWidget
{
    Q_OBJECT

public:
    // Tabs are drawn this high whatever their font.
    static constexpr int kTabHeight = 40;

    explicit TPageControl(QWidget *parent = nullptr);
    // The program's own page change.
    void setActivePage(int index);

Q_SIGNALS:
    // A change the user asked for; set allow to permit it.
    void changing(bool &allow);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool userMayChange();
};

// A check list: fixed-height rows, and a double click is reported wherever it
// lands. On a check box Qt's view swallows it, so the box would only toggle
// twice; a list box toggles it at each press and then reports the double click.
class TCheckListBox : public QListView
{
    Q_OBJECT

public:
    explicit TCheckListBox(QWidget *parent = nullptr);
    void setRowHeight(int height);

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// A combo box that tells when its drop-down list closes. Editable, it can
// complete a typed text to the first entry that begins with it, letter case
// ignored, in the entry's own spelling, the completed part selected so that
// further typing replaces it (Qt's completer keeps the typed letters' case).
class TComboBox : public QComboBox
{
    Q_OBJECT

public:
    using QComboBox::QComboBox;
    void hidePopup() override;
    // Call once the combo is editable.
    void completeToEntries();

Q_SIGNALS:
    // The drop-down list has closed, with the pick (if any) selected.
    void closeUp();

protected:
    // Keys reach the text either here, passed on by the combo, or directly.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void noteKey(const QKeyEvent *event);
    void completeTyped(const QString &text);

    bool m_typing = false; // the edit comes from a character key
};

// A push button whose picture sits beside, above or below a word-wrapped caption.
class TGlyphButton : public QPushButton
{
    Q_OBJECT

public:
    enum class Layout { PictureLeft, PictureRight, PictureAbove, PictureBelow };
    explicit TGlyphButton(QWidget *parent = nullptr);
    void setGlyph(const QIcon &icon, QSize size, Layout layout);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Layout m_layout = Layout::PictureLeft;
    QSize m_glyphSize;
};

// A word-wrapped label whose text is set in its designed font, or in a smaller
// size of it when the text would not fit the label otherwise.
class TFittingLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;
    void setDesignedFont(const QFont &font);
    void setFittedText(const QString &text);

private:
    QFont m_designed;
};

// A framed display panel that reports double clicks. A text too wide for the
// panel in its font is drawn smaller rather than cut off.
class TPanel : public QLabel
{
    Q_OBJECT

public:
    explicit TPanel(QWidget *parent = nullptr);

Q_SIGNALS:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

// A spin box that takes any number typed into it, key by key: a number beyond
// the limits, or no number at all, is brought within them when the box is
// read or left (below the minimum or not a number: the minimum; above the
// maximum: the maximum). Qt's own box refuses a key that leads out of the
// limits, so a fourth digit typed towards 1000 would be lost.
class TSpinEdit : public QSpinBox
{
    Q_OBJECT

public:
    using QSpinBox::QSpinBox;
    // The value a text stands for, within the limits.
    int clampedValue(const QString &text) const;

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    int valueFromText(const QString &text) const override;
    void fixup(QString &input) const override;
};
