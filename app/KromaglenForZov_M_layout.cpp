// The wizard's three pages: every control with its name, caption, hint,
// place and font.
#include "KromaglenForZov_M.h"

#include "Fonts.h"
#include "Pictures.h"
#include "Widgets.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QUrl>
#include <span>

namespace {

QFont times(int pixelSize, bool bold = false)
{
    return Fonts::font(Fonts::kTimes, pixelSize, bold);
}

template <typename T>
T *place(QWidget *parent, const char *name, QRect geometry, const QString &hint = {})
{
    auto *w = new T(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    if (!hint.isEmpty())
        w->setToolTip(hint);
    return w;
}

TGlyphButton *button(QWidget *parent, const char *name, QRect geometry, const QString &caption,
                     const QString &hint)
{
    auto *b = place<TGlyphButton>(parent, name, geometry, hint);
    b->setText(caption);
    return b;
}

QLabel *label(QWidget *parent, const char *name, QPoint at, const QString &caption,
              const QString &hint)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->move(at);
    l->adjustSize();
    l->setToolTip(hint);
    return l;
}

using Glyph = TGlyphButton::Layout;

void pictureButton(TGlyphButton *b, const QIcon &icon, QSize iconSize,
                   Glyph layout = Glyph::PictureLeft)
{
    b->setGlyph(icon, iconSize, layout);
}

constexpr int kRowHeight = 21;
constexpr int kCaptionWidth = 112;
constexpr int kLineEditInnerMargin = 2; // QLineEdit's fixed gap inside its contents

struct StatusRow
{
    const char *pointId;
    const char16_t *caption;
};

const QString kHintPoints = QStringLiteral(
    "Itt választhatja ki, hogy mely pontokat kell megmérni a járművön, és azokat milyen "
    "sorrendben kívánja megmérni.");
const QString kHintSave = QStringLiteral(
    "Itt adhatja meg, hogy milyen névre kívánja menteni a mérési pontok sorrendjét, ill. itt "
    "válaszhatja ki a már elmentett beállításokat.");
const QString kHintPort =
    QStringLiteral("Itt adhatja meg, hogy melyik portra csatlakozik a Kromaglen.");
const QString kHintSound =
    QStringLiteral("Itt választhatja ki, hogy mi játsza le a hangos visszajelzéseket.");
const QString kHintSpeak = QStringLiteral(
    "Itt választhatja ki, hogy kimondja-e a program a mérés erdményét, vagy csak jelezze azt.");
const QString kHintFound = QStringLiteral(
    "Válassza ki, hogy melyik Kromaglen-et kívánja használni! Ha üres a lista, nyomja meg a "
    "'Port keresés' gombot!");

} // namespace

QLabel *TF_Main::makeWebLabel(QWidget *page, const QString &name, int top)
{
    const QString address = m_services.webAddress;
    auto *l = new QLabel(address.isEmpty() ? QStringLiteral("Kromaglen")
                                           : QStringLiteral("Kromaglen — ") + QUrl(address).host(),
                         page);
    l->setObjectName(name);
    l->setFont(Fonts::font(Fonts::kArial, 11, true));
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    setTextColour(l, QColor(QStringLiteral("green")));
    if (!address.isEmpty())
        l->setCursor(Qt::PointingHandCursor);
    l->move(0, top);
    l->adjustSize();
    l->installEventFilter(this);
    return l;
}

void TF_Main::buildWindow()
{
    setObjectName(QStringLiteral("TF_Main"));
    setWindowTitle(QStringLiteral("Kromaglen"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(times(11));

    PC_Steps = new TPageControl(this);
    PC_Steps->setObjectName(QStringLiteral("PC_Steps"));
    PC_Steps->setToolTip(QStringLiteral("Itt láthatja, hogy a varázsló melyik lépésénél tart."));
    PC_Steps->tabBar()->setFont(times(23));
    PC_Steps->setDocumentMode(true);

    TS_Config = new QWidget;
    TS_Config->setObjectName(QStringLiteral("TS_Config"));
    TS_Config->setToolTip(QStringLiteral("Mérés konfigurálása."));
    TS_Config->setFont(times(16));
    TS_Meas = new QWidget;
    TS_Meas->setObjectName(QStringLiteral("TS_Meas"));
    TS_Meas->setToolTip(QStringLiteral("A mérés elvégzése."));
    TS_Meas->setFont(times(16));
    TS_Send = new QWidget;
    TS_Send->setObjectName(QStringLiteral("TS_Send"));
    TS_Send->setToolTip(QStringLiteral("Adatok átadása a ZOV programnak."));
    TS_Send->setFont(Fonts::font(Fonts::kSansSerif, 16));
    PC_Steps->addTab(TS_Config,
                     QString(7, u' ') + QStringLiteral("Paraméterek megadása") + QString(7, u' '));
    PC_Steps->addTab(TS_Meas,
                     QString(10, u' ') + QStringLiteral("Mérés elvégzése") + QString(10, u' '));
    PC_Steps->addTab(TS_Send,
                     QString(12, u' ') + QStringLiteral("Adatok átadása") + QString(12, u' '));

    buildConfigPage(TS_Config);
}

void TF_Main::buildConfigPage(QWidget *page)
{
    label(page, "L_WhatToMeas", {8, 8}, QStringLiteral("Mérési pontok:"), kHintPoints);
    BB_SetAll = button(page, "BB_SetAll", {104, 0, 88, 30}, QStringLiteral("Mind"),
                       QStringLiteral("Kijelöli az összes mérési pontot."));
    BB_SetNone = button(page, "BB_SetNone", {200, 0, 88, 30}, QStringLiteral("Töröl"),
                        QStringLiteral("Törli az összes kijelölést."));
    auto *plan = place<TCheckListBox>(page, "CLB_WhatToMeas", {8, 32, 281, 337}, kHintPoints);
    plan->setRowHeight(19);
    plan->setModel(&m_flow.plan());
    plan->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CLB_WhatToMeas = plan;
    L_WhatToMeasHint =
        place<TFittingLabel>(page, "L_WhatToMeasHint", {8, 376, 281, 65},
                             QStringLiteral("Itt bővebb magyarázatot olvashat a mérési pontról."));
    L_WhatToMeasHint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    L_WhatToMeasHint->setWordWrap(true);
    L_WhatToMeasHint->setDesignedFont(times(19));

    label(page, "L_Save_K2", {296, 8}, QStringLiteral("Mérési pontok gyors beállítása:"),
          kHintSave);
    CB_Save = place<TComboBox>(page, "CB_Save", {296, 32, 225, 27}, kHintSave);
    CB_Save->setEditable(true);
    CB_Save->setInsertPolicy(QComboBox::NoInsert);
    CB_Save->completeToEntries();
    BB_AlapSorrend =
        button(page, "BB_AlapSorrend", {296, 72, 105, 41}, QStringLiteral("ZOV sorrend"),
               QStringLiteral("Visszaállítja a mérési pontok eredeti sorrendjét a ZOV programnak "
                              "megfelelően."));
    BB_Save = button(page, "BB_Save", {416, 72, 105, 41}, QStringLiteral("Ment"),
                     QStringLiteral("Menti a jelenlegi mérési sorrendet a fent megadott névre."));
    BB_Delete =
        button(page, "BB_Delete", {536, 72, 105, 41}, QStringLiteral("Felejt"),
               QStringLiteral("Elfelejti a fent kiválasztott névre mentett mérési sorrendet."));
    BB_Up = button(page, "BB_Up", {296, 128, 75, 105}, QStringLiteral("Előbb"),
                   QStringLiteral("A kijelölt mérést eggyel előrébb teszi a listában."));
    pictureButton(BB_Up, Pictures::arrowUp(), {32, 32}, Glyph::PictureAbove);
    BB_Down = button(page, "BB_Down", {296, 248, 75, 105}, QStringLiteral("Később"),
                     QStringLiteral("A kijelölt mérést eggyel hátrébb teszi a listában."));
    pictureButton(BB_Down, Pictures::arrowDown(), {32, 32}, Glyph::PictureBelow);

    label(page, "L_Port_K3", {536, 8}, QStringLiteral("Port:"), kHintPort);
    ComComboBox1 = place<QComboBox>(page, "ComComboBox1", {536, 32, 121, 27}, kHintPort);

    L_Sound = label(page, "L_Sound", {424, 136}, QStringLiteral("Hang:"), kHintSound);
    CB_Sound = place<QComboBox>(page, "CB_Sound", {424, 160, 145, 27}, kHintSound);
    CB_Sound->addItems({QStringLiteral("Speaker"), QStringLiteral("Hangkártya")});
    L_SpeakNum =
        label(page, "L_SpeakNum", {424, 208}, QStringLiteral("Mérés visszajelzés:"), kHintSpeak);
    L_SpeakNum->setEnabled(false);
    CB_SpeakNum = place<QComboBox>(page, "CB_SpeakNum", {424, 232, 145, 27}, kHintSpeak);
    CB_SpeakNum->addItems({QStringLiteral("Számokat mond"), QStringLiteral("Mérés OK")});
    CB_SpeakNum->setEnabled(false);

    L_KellMenu = place<QLabel>(page, "L_KellMenu", {400, 128, 265, 129});
    L_KellMenu->setText(QStringLiteral(
        "Várja meg, amíg kigyullad a Kromaglen-en a kapcsolatot jelző zöld lámpa, utána  nyomja "
        "meg a Cal gombot a mérés megkezdéséhez!"));
    L_KellMenu->setFont(times(21, true));
    setTextColour(L_KellMenu, QColor(QStringLiteral("red")));
    L_KellMenu->setAlignment(Qt::AlignCenter);
    L_KellMenu->setWordWrap(true);
    L_KellMenu->hide();
    BB_AbortConnect = button(page, "BB_AbortConnect", {400, 264, 265, 89},
                             QStringLiteral("Kapcsolat megszakítása"),
                             QStringLiteral("Megszakítja Kromaglen-hez kapcsolódás folyamatát."));
    pictureButton(BB_AbortConnect, Pictures::stopSign(), {40, 40}, Glyph::PictureAbove);
    BB_AbortConnect->hide();

    BB_FindPort = button(
        page, "BB_FindPort", {680, 8, 217, 73}, QStringLiteral("Port keresés"),
        QStringLiteral("Kilistázza a gépen regisztrált Kromaglen-eket és a hozzájuk rendelt port "
                       "számokat."));
    label(page, "L_TalaltKromaglen_K1", {680, 88}, QStringLiteral("Talált Kromaglen-ek:"),
          kHintFound);
    LB_KGLista = place<QListWidget>(page, "LB_KGLista", {680, 112, 217, 241}, kHintFound);
    LB_KGLista->setSortingEnabled(false);

    BB_ConfigCancel = button(page, "BB_ConfigCancel", {304, 368, 177, 79},
                             QStringLiteral("Kilépés"), QStringLiteral("Bezárja a programot."));
    BB_ConfigCancel->setFont(Fonts::font(Fonts::kArialUnicode, 17, true));
    pictureButton(BB_ConfigCancel, Pictures::exitDoor(), {40, 40}, Glyph::PictureRight);
    BB_ConfigNext =
        button(page, "BB_ConfigNext", {496, 368, 409, 79},
               QStringLiteral("Mielött ezt megnyomná, kapcsolja be a Kromaglen-et!"),
               QStringLiteral("Kapcsolódik a Kromaglen-hez, és átlép a következő lapra."));
    BB_ConfigNext->setFont(times(16));
    pictureButton(BB_ConfigNext, Pictures::forward(), {200, 37}, Glyph::PictureAbove);
    Label3 = makeWebLabel(page, QStringLiteral("Label3"), 447);
}

void TF_Main::buildMeasPage(QWidget *page)
{
    BB_MeasStepBack = button(page, "BB_MeasStepBack", {0, 5, 137, 69}, QStringLiteral("Előző pont"),
                             QStringLiteral("Visszalépés az előző mérési pontra."));
    CB_ActMeasName = place<QComboBox>(
        page, "CB_ActMeasName", {144, 5, 609, 69},
        QStringLiteral("Itt láthatja, ill. itt választhatja ki közvetlenül, hogy melyik pontot "
                       "kell mérni."));
    CB_ActMeasName->setFont(times(53));
    BB_MeasStepForward =
        button(page, "BB_MeasStepForward", {760, 5, 137, 69}, QStringLiteral("Következő pont"),
               QStringLiteral("A következő mérési pont kiválasztása."));
    P_ActMeasHint = place<QLabel>(page, "P_ActMeasHint", {0, 88, 905, 49},
                                  QStringLiteral("Bővebb leírás a mérési pontról."));
    P_ActMeasHint->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    P_ActMeasHint->setAlignment(Qt::AlignCenter);
    P_ActMeasHint->setWordWrap(true);
    P_ActMeasHint->setFont(times(21));
    BB_MeasDelete = button(page, "BB_MeasDelete", {0, 160, 89, 81}, QStringLiteral("Törlés"),
                           QStringLiteral("A kiválasztott mérési eredmény törlése."));
    BB_Reconnect = button(page, "BB_Reconnect", {0, 256, 89, 97}, QStringLiteral("Kom.jav."),
                          QStringLiteral("Bluetooth kapcsolat helyreállítása, akkor nyomja meg, "
                                         "ha nem ég a zöld lámpa a Kromaglen-en."));
    LB_ActMeasValue = place<QListWidget>(
        page, "LB_ActMeasValue", {96, 160, 201, 193},
        QStringLiteral("A kiválsztott mérési ponton mért réteg vastagsági értékek."));
    LB_ActMeasValue->setFont(times(27));
    // Every line has the one font: a point's thousandth reading costs what
    // its first one does (else each new line lays out all the others).
    LB_ActMeasValue->setUniformItemSizes(true);
    P_ActMetal = place<TPanel>(page, "P_ActMetal", {312, 160, 129, 201},
                               QStringLiteral("FE: vas alapon mérve. AL: alimínium alapon mérve."));
    P_ActMetal->setFont(times(93));
    P_ActMetal->setText(QStringLiteral("FE"));
    P_ActMeasValue = place<TPanel>(
        page, "P_ActMeasValue", {448, 160, 457, 201},
        QStringLiteral("Az utoljára mért festékréteg vastagság érték mikrométerben."));
    P_ActMeasValue->setFont(times(240));
    P_ActMeasValue->setText(QStringLiteral("8888"));
    SE_KeziBevitel = place<TSpinEdit>(page, "SE_KeziBevitel", {312, 152, 129, 65});
    SE_KeziBevitel->setRange(ReadingLog::kManualMinimum, ReadingLog::kManualMaximum);
    SE_KeziBevitel->setValue(10);
    SE_KeziBevitel->setFont(times(27, true));
    SE_KeziBevitel->hide();

    BB_MeasBack = place<TGlyphButton>(page, "BB_MeasBack", {0, 368, 289, 79},
                                      QStringLiteral("Visszalépés az előző lapra."));
    pictureButton(BB_MeasBack, Pictures::back(), {200, 37});
    BB_MeasBack->setEnabled(false);
    BB_MeasCancel = button(page, "BB_MeasCancel", {304, 368, 177, 79}, QStringLiteral("Kilépés"),
                           QStringLiteral("A varázsló bezárása."));
    BB_MeasCancel->setFont(Fonts::font(Fonts::kArialUnicode, 17, true));
    pictureButton(BB_MeasCancel, Pictures::exitDoor(), {40, 40}, Glyph::PictureRight);
    BB_MeasNext = place<TGlyphButton>(
        page, "BB_MeasNext", {496, 368, 409, 79},
        QStringLiteral("Átlépés a következő lapra, és a mérési eredmények átadása a ZOV "
                       "programnak."));
    pictureButton(BB_MeasNext, Pictures::forward(), {200, 37});
    makeWebLabel(page, QStringLiteral("Label4"), 446);
}

void TF_Main::buildSendPage(QWidget *page)
{
    static const StatusRow left[] = {
        {"LEFT_FRONT_WING", u"Első sárvédő:"}, {"LEFT_FRONT_DOOR", u"Első ajtó:"},
        {"LEFT_COLUMN_A", u"A oszlop:"},       {"LEFT_COLUMN_B", u"B oszlop:"},
        {"LEFT_REAR_DOOR", u"Hátsó ajtó:"},    {"LEFT_COLUMN_C", u"C oszlop:"},
        {"LEFT_ROOF", u"Tetőlemez:"},          {"LEFT_REAR_WING", u"Hátsó sárvédő:"}};
    static const StatusRow middle[] = {{"BOOTLID", u"Csomagtér tető:"},
                                       {"SLAB_BACK", u"Hátfal:"},
                                       {"HOOD", u"Motorház tető:"},
                                       {"SLAB_FRONT", u"Homlokfal vagy zárhíd:"}};
    static const StatusRow vin[] = {{"VIN", u"Alvázszámon:"},
                                    {"VIN_SURF", u"Hordozó elemen:"},
                                    {"VIN_SURF_FIT", u"H.elem illesztésnél:"}};
    static const StatusRow right[] = {
        {"RIGHT_FRONT_WING", u"Első sárvédő:"}, {"RIGHT_FRONT_DOOR", u"Első ajtó:"},
        {"RIGHT_COLUMN_A", u"A oszlop:"},       {"RIGHT_COLUMN_B", u"B oszlop:"},
        {"RIGHT_REAR_DOOR", u"Hátsó ajtó:"},    {"RIGHT_COLUMN_C", u"C oszlop:"},
        {"RIGHT_ROOF", u"Tetőlemez:"},          {"RIGHT_REAR_WING", u"Hátsó sárvédő:"}};

    const auto group = [&](const char *name, QRect geometry, const QString &title,
                           std::span<const StatusRow> rows) {
        auto *box = place<QGroupBox>(page, name, geometry);
        box->setTitle(title);
        box->setFont(times(16));
        int top = 32;
        for (const StatusRow &row : rows) {
            const int point = *PointCatalogue::indexOfPointId(QString::fromLatin1(row.pointId));
            const QString id = QLatin1String(row.pointId);
            auto *l = new QLabel(QString::fromUtf16(row.caption), box);
            l->setObjectName(QStringLiteral("L_") + id);
            l->setToolTip(PointCatalogue::displayName(point));
            // A caption wider than the room before the status field is set
            // on two lines, centred on the row.
            l->setWordWrap(true);
            const int height = std::max(kRowHeight, l->heightForWidth(kCaptionWidth));
            l->setGeometry(8, top - (height - kRowHeight) / 2, kCaptionWidth, height);
            auto *em = new QLineEdit(box);
            em->setObjectName(QStringLiteral("EM_") + id);
            em->setToolTip(QStringLiteral("A mérés állapota."));
            em->setGeometry(120, top, 89, kRowHeight);
            auto *es = new QLineEdit(box);
            es->setObjectName(QStringLiteral("ES_") + id);
            es->setToolTip(QStringLiteral("Az adatátadás állapota."));
            es->setGeometry(208, top, 81, kRowHeight);
            for (QLineEdit *field : {em, es}) {
                // The field's own inner margin would leave the longest status
                // text no room: take it back.
                field->setTextMargins(-kLineEditInnerMargin, 0, -kLineEditInnerMargin, 0);
                field->setReadOnly(true);
                field->setEnabled(false);
                field->setFont(Fonts::font(Fonts::kSansSerif, 12));
            }
            m_measurementStatus[size_t(point)] = em;
            m_handoverStatus[size_t(point)] = es;
            top += 40;
        }
    };
    group("GB_LeftSide", {0, 0, 297, 353}, QStringLiteral("Bal oldal "), left);
    group("GB_Middle", {304, 0, 297, 185}, QStringLiteral("Középső elemek "), middle);
    group("GB_VIN", {304, 192, 297, 161}, QStringLiteral("Alvázszám "), vin);
    group("GB_RightSide", {608, 0, 297, 353}, QStringLiteral("Jobb oldal "), right);

    BB_SendBack =
        place<TGlyphButton>(page, "BB_SendBack", {0, 368, 289, 79},
                            QStringLiteral("Visszalépés az előző lapra a mérés folytatásához."));
    pictureButton(BB_SendBack, Pictures::back(), {200, 37});
    M_ServerLog = place<QPlainTextEdit>(page, "M_ServerLog", {296, 368, 193, 79},
                                        QStringLiteral("Az adatátadás folyamata."));
    M_ServerLog->setReadOnly(true);
    M_ServerLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    M_ServerLog->setFont(Fonts::font(Fonts::kSansSerif, 11));
    BB_SendCancel = button(page, "BB_SendCancel", {496, 368, 409, 79}, QStringLiteral("Vége"),
                           QStringLiteral("A varázsló bezárása."));
    BB_SendCancel->setFont(Fonts::font(Fonts::kArialUnicode, 19, true));
    pictureButton(BB_SendCancel, Pictures::exitDoor(), {40, 40}, Glyph::PictureRight);
    makeWebLabel(page, QStringLiteral("Label5"), 446);
}
