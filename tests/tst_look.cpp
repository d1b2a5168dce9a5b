// The look of the windows with the fonts installed here: every control's
// resolved font against the layout, texts that must fit their fields, where
// the windows sit on the screen, and how dates are written.
#include "DateFormat.h"
#include "WizardFixture.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryFile>
#include <span>

namespace {

const char *const kTimes = "Times New Roman";
const char *const kArial = "Arial";
const char *const kArialUnicode = "Arial Unicode MS";
const char *const kSansSerif = "MS Sans Serif";

// The free family that draws a Windows family here.
QString resolvedFamily(const QString &windowsFamily)
{
    static const QHash<QString, QString> standIns = {
        {kTimes, QStringLiteral("Liberation Serif")},
        {kArial, QStringLiteral("Liberation Sans")},
        {kArialUnicode, QStringLiteral("Liberation Sans")},
        {kSansSerif, QStringLiteral("Liberation Sans Narrow")}};
    return standIns.value(windowsFamily);
}

struct FontRow
{
    const char *control;
    const char *family;
    int pixelSize;
    bool bold = false;
};

const FontRow kWizardFonts[] = {
    {"TS_Config", kTimes, 16},
    {"TS_Meas", kTimes, 16},
    {"TS_Send", kSansSerif, 16},
    // First page: the page font unless the layout names another.
    {"L_WhatToMeas", kTimes, 16},
    {"BB_SetAll", kTimes, 16},
    {"BB_SetNone", kTimes, 16},
    {"CLB_WhatToMeas", kTimes, 16},
    {"L_WhatToMeasHint", kTimes, 19},
    {"L_Save_K2", kTimes, 16},
    {"CB_Save", kTimes, 16},
    {"BB_AlapSorrend", kTimes, 16},
    {"BB_Save", kTimes, 16},
    {"BB_Delete", kTimes, 16},
    {"BB_Up", kTimes, 16},
    {"BB_Down", kTimes, 16},
    {"L_Port_K3", kTimes, 16},
    {"ComComboBox1", kTimes, 16},
    {"L_Sound", kTimes, 16},
    {"CB_Sound", kTimes, 16},
    {"L_SpeakNum", kTimes, 16},
    {"CB_SpeakNum", kTimes, 16},
    {"L_KellMenu", kTimes, 21, true},
    {"BB_AbortConnect", kTimes, 16},
    {"BB_FindPort", kTimes, 16},
    {"L_TalaltKromaglen_K1", kTimes, 16},
    {"LB_KGLista", kTimes, 16},
    {"BB_ConfigCancel", kArialUnicode, 17, true},
    {"BB_ConfigNext", kTimes, 16},
    {"Label3", kArial, 11, true},
    // Measuring page.
    {"BB_MeasStepBack", kTimes, 16},
    {"CB_ActMeasName", kTimes, 53},
    {"BB_MeasStepForward", kTimes, 16},
    {"P_ActMeasHint", kTimes, 21},
    {"BB_MeasDelete", kTimes, 16},
    {"BB_Reconnect", kTimes, 16},
    {"LB_ActMeasValue", kTimes, 27},
    {"P_ActMetal", kTimes, 93},
    {"P_ActMeasValue", kTimes, 240},
    {"BB_MeasBack", kTimes, 16},
    {"BB_MeasCancel", kArialUnicode, 17, true},
    {"BB_MeasNext", kTimes, 16},
    {"Label4", kArial, 11, true},
    // Handover page; the status rows are checked below.
    {"GB_LeftSide", kTimes, 16},
    {"GB_Middle", kTimes, 16},
    {"GB_VIN", kTimes, 16},
    {"GB_RightSide", kTimes, 16},
    {"BB_SendBack", kSansSerif, 16},
    {"M_ServerLog", kSansSerif, 11},
    {"BB_SendCancel", kArialUnicode, 19, true},
    {"Label5", kArial, 11, true},
};

const FontRow kInfoDialogFonts[] = {{"TF_MyShowMessage", kSansSerif, 11},
                                    {"L_Message", kTimes, 19, true},
                                    {"Label2", kSansSerif, 11},
                                    {"L_Desc", kSansSerif, 13},
                                    {"BB_OK", kSansSerif, 11}};

const FontRow kQuestionDialogFonts[] = {
    {"TF_MessageDlg", kSansSerif, 11}, {"L_Message", kTimes, 19, true}, {"Label2", kSansSerif, 11},
    {"L_Question", kTimes, 19, true},  {"BB_Yes", kSansSerif, 11},      {"BB_No", kSansSerif, 11}};

// "name: family px [bold]" of the font a control is drawn with.
QString drawnFont(const QString &name, const QFontInfo &info)
{
    return QStringLiteral("%1: %2 %3%4")
        .arg(name, info.family())
        .arg(info.pixelSize())
        .arg(info.bold() ? QStringLiteral(" bold") : QString());
}

QString wantedFont(const QString &name, const QString &family, int pixelSize, bool bold)
{
    return QStringLiteral("%1: %2 %3%4")
        .arg(name, resolvedFamily(family))
        .arg(pixelSize)
        .arg(bold ? QStringLiteral(" bold") : QString());
}

// The mismatches between the controls under root and their rows.
QStringList fontMismatches(QWidget *root, std::span<const FontRow> rows)
{
    QStringList wrong;
    for (const FontRow &row : rows) {
        const QString name = QLatin1String(row.control);
        QWidget *w = root->objectName() == name ? root : root->findChild<QWidget *>(name);
        const QString drawn = w ? drawnFont(name, w->fontInfo()) : name + u": missing";
        const QString wanted = wantedFont(name, QLatin1String(row.family), row.pixelSize, row.bold);
        if (drawn != wanted)
            wrong.append(drawn + QStringLiteral(" instead of ") + wanted);
    }
    return wrong;
}

bool isInk(QRgb pixel)
{
    return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) < 100;
}

// The first and last column within area that hold dark text pixels.
std::pair<int, int> inkColumns(const QImage &image, const QRect &area)
{
    int first = -1;
    int last = -1;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (isInk(image.pixel(x, y))) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

// Whether the field shows text whole: drawn in a wider copy of the field,
// the text ends inside the field's one-pixel border.
bool showsWhole(QLineEdit *field, const QString &text)
{
    field->setText(text);
    field->setCursorPosition(0);
    const QSize size = field->size();
    field->resize(size.width() + 200, size.height());
    const QImage wide = field->grab().toImage();
    field->resize(size);
    const auto [first, last] = inkColumns(wide, QRect(0, 0, size.width() + 200, size.height()));
    return first > 0 && last < size.width() - 1;
}

QPoint centreOfScreen(const QWidget *window)
{
    return window->screen()->geometry().center();
}

} // namespace

class TestLook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyControlHasItsFont()
    {
        WizardFixture f;
        f.toHandoverPage(); // every page built
        QStringList wrong = fontMismatches(f.window.get(), kWizardFonts);
        wrong += fontMismatches(f.info, kInfoDialogFonts);
        wrong += fontMismatches(f.question, kQuestionDialogFonts);
        const QString window = drawnFont(QStringLiteral("TF_Main"), f.window->fontInfo());
        if (window != wantedFont(QStringLiteral("TF_Main"), kTimes, 11, false))
            wrong.append(window);
        const QTabBar *tabs = f.w<QTabWidget>("PC_Steps")->tabBar();
        if (drawnFont("tabs", tabs->fontInfo()) != wantedFont("tabs", kTimes, 23, false))
            wrong.append(drawnFont("tabs", tabs->fontInfo()));
        QCOMPARE(tabs->tabRect(0).height(), 40);
        // Each status row: caption in its group's font, fields in the small sans.
        for (int point = 0; point < PointCatalogue::kPointCount; ++point) {
            const QString id = PointCatalogue::pointId(point);
            for (const auto &[prefix, family, size] :
                 {std::tuple{"L_", kTimes, 16}, {"EM_", kSansSerif, 12}, {"ES_", kSansSerif, 12}}) {
                const QString name = QLatin1String(prefix) + id;
                const QWidget *w = f.window->findChild<QWidget *>(name);
                const QString drawn = w ? drawnFont(name, w->fontInfo()) : name + u": missing";
                if (drawn != wantedFont(name, QLatin1String(family), size, false))
                    wrong.append(drawn);
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }

    void statusTextsAndCaptionsFitTheirRooms()
    {
        WizardFixture f;
        // Style the grid as the wizard does on the way to the handover page.
        f.connectWithKey();
        f.answerNext(true);
        f.click("BB_MeasNext");
        QCOMPARE(f.window->activePage(), WizardPage::Send);

        QStringList cut;
        for (int point = 0; point < PointCatalogue::kPointCount; ++point) {
            const QString id = PointCatalogue::pointId(point);
            auto *em = f.window->findChild<QLineEdit *>(QStringLiteral("EM_") + id);
            for (const QString &text :
                 {QStringLiteral("Nem lett kiválasztva"), QStringLiteral("Nem lett mérve"),
                  QStringLiteral("999 mérés")}) {
                if (!showsWhole(em, text))
                    cut.append(em->objectName() + u": " + text);
            }
            auto *es = f.window->findChild<QLineEdit *>(QStringLiteral("ES_") + id);
            for (const QString &text :
                 {QStringLiteral("Nincs elküldve"), QStringLiteral("Elküldve")}) {
                if (!showsWhole(es, text))
                    cut.append(es->objectName() + u": " + text);
            }

            // The caption ends before the field, inside its group box, with
            // every word whole, and keeps clear of the rows around it.
            auto *caption = f.window->findChild<QLabel *>(QStringLiteral("L_") + id);
            const QRect room = caption->geometry();
            const QFontMetrics metrics(caption->font());
            const bool wordsFit =
                std::ranges::all_of(caption->text().split(u' '), [&](const QString &word) {
                    return metrics.horizontalAdvance(word) <= room.width();
                });
            const auto *box = static_cast<QWidget *>(caption->parent());
            const bool clear =
                std::ranges::none_of(box->findChildren<QLabel *>(), [&](const QLabel *other) {
                    return other != caption && other->geometry().intersects(room);
                });
            if (room.right() >= em->x() || !box->rect().contains(room) || !wordsFit || !clear ||
                caption->heightForWidth(room.width()) > room.height())
                cut.append(caption->objectName() + u": " + caption->text());
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
    }

    void everyDescriptionFitsUnderThePlan()
    {
        WizardFixture f;
        auto *hint = f.w<QLabel>("L_WhatToMeasHint");
        QStringList cut;
        for (int row = 0; row < PointCatalogue::kPointCount; ++row) {
            f.window->plan().setHighlighted(row);
            QCOMPARE(hint->text(), PointCatalogue::description(row));
            // Set smaller than 19 px only where 19 px would not fit.
            const QFontInfo drawn = hint->fontInfo();
            if (hint->heightForWidth(hint->width()) > hint->height() ||
                drawn.family() != resolvedFamily(kTimes) || drawn.pixelSize() < 15)
                cut.append(drawnFont(hint->text(), drawn));
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
        f.window->plan().setHighlighted(0);
        QCOMPARE(hint->fontInfo().pixelSize(), 19);
    }

    void longValuesShowEveryDigit()
    {
        WizardFixture f;
        f.connectWithKey();
        auto *panel = f.w<QLabel>("P_ActMeasValue");
        for (const QString &value : {QStringLiteral("8888"), QStringLiteral("1000"),
                                     QStringLiteral("65535"), QStringLiteral("7")}) {
            panel->setText(value);
            const QRect room = panel->contentsRect();
            const auto [first, last] = inkColumns(panel->grab().toImage(), room);
            QVERIFY2(first > room.left() && last < room.right(), qPrintable(value));
        }
    }

    // Coloured texts are drawn in their colour: somewhere a glyph covers a
    // whole pixel in it.
    void textsAreDrawnInTheirColours()
    {
        WizardFixture f;
        f.window->ShowInfo(QStringLiteral("Üzenet"), QString());
        QCOMPARE(f.shownMessage(), QStringLiteral("Üzenet"));
        f.question->findChild<QLabel *>(QStringLiteral("L_Question"))->setText(u"Kérdés?"_qs);
        const std::tuple<QWidget *, const char *, QColor> rows[] = {
            {f.window.get(), "Label3", QColor(0, 128, 0)},
            {f.window.get(), "L_KellMenu", QColor(255, 0, 0)},
            {f.info, "L_Message", QColor(128, 0, 0)},
            {f.question, "L_Question", QColor(0, 0, 128)}};
        QStringList wrong;
        for (const auto &[window, name, colour] : rows) {
            const QImage drawn =
                window->findChild<QWidget *>(QLatin1String(name))->grab().toImage();
            bool found = false;
            for (int y = 0; y < drawn.height() && !found; ++y)
                for (int x = 0; x < drawn.width() && !found; ++x)
                    found = drawn.pixelColor(x, y).rgb() == colour.rgb();
            if (!found)
                wrong.append(QLatin1String(name));
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u", ")));
    }

    void windowsSitInTheMiddleOfTheScreen()
    {
        WizardFixture f;
        QCOMPARE(f.window->frameGeometry().center(), centreOfScreen(f.window.get()));

        // The dialogs take the middle of the screen, not of the main window.
        f.window->move(0, 0);
        f.shownMessage();
        f.info->hide();
        f.window->ShowInfo(QStringLiteral("Üzenet"), QStringLiteral("Leírás"));
        QCOMPARE(f.shownMessage(), QStringLiteral("Üzenet"));
        QCOMPARE(f.info->frameGeometry().center(), centreOfScreen(f.info));
        bool answered = false;
        f.window->AskYesNo(QStringLiteral("Kérdés"), QStringLiteral("Igen?"),
                           [&answered](Asker::Answer) { answered = true; });
        QVERIFY(f.question->isVisible());
        QCOMPARE(f.question->frameGeometry().center(), centreOfScreen(f.question));
        f.question->reject();
        QVERIFY(answered);
    }

    void datesAreWrittenWithPointsAndNoBlanks()
    {
        QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
        QCOMPARE(DateFormat::shortDate(QDate(2024, 3, 5)), QStringLiteral("2024.03.05."));
    }
};

int main(int argc, char *argv[])
{
    // Without a display, a screen of a station's size: Qt keeps a window
    // wider than its screen inside it, and the default offscreen screen is
    // narrower than the wizard.
    QTemporaryFile screens;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && screens.open()) {
        screens.write(R"({"screens": [{"name": "station", "x": 0, "y": 0, "width": 1280,
                          "height": 1024, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        screens.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    }
    QApplication app(argc, argv);
    TestLook test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_look.moc"
