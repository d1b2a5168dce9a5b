// Mouse events go through the window system layer, so a double click
// arrives as a real one does: press, release, press, double click, release.
#define QTEST_QPA_MOUSE_HANDLING
#include "HandoverRequest.h"
#include "Widgets.h"
#include "WizardFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionViewItem>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>
#include <thread>

namespace {

QByteArray reading(const char *substrate, int value)
{
    return QByteArray(",") + substrate + char(value & 0xFF) + char(value >> 8);
}

QStringList lines(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

// Sends the inspection program's category line for M1 over socket; the
// wizard applies the plan.
void sendCategoryM1(QTcpSocket &socket, const WizardFixture &f)
{
    socket.connectToHost(QHostAddress::LocalHost, f.window->server().serverPort());
    QVERIFY(socket.waitForConnected(2000));
    socket.write("category=M1\r\n");
    socket.flush();
    QTRY_COMPARE(f.w<QComboBox>("CB_Save")->currentText(), QStringLiteral("M1 - személygépkocsi"));
}

// The descriptions under the messages, as the user reads them.
const QString kConnectFailureDesc = QStringLiteral(
    "A hiba lehetséges okai:\r\r- Nem kapcsolta be a Kromaglen-et.\r- Túl távol van a Kromaglen a "
    "Bloetooth adaptertől (max. 10m)!\r- Egy másik készülék zavarja a rádiós kapcsolatot.\r- Nem a "
    "használni kívánt Kromaglen-hez tartozó COM port van kiválasztva.\r- Nincs bedugva a Bluetooth "
    "adapter.\r- Másik USB csatlakozóba dugta a Bluetooth adaptert.\r- Ha másik számítógéppel "
    "párosította a Kromaglenet, akkor itt újra kell párosítani a \"Bluetooth-eszközök\" "
    "kontrollpanelen a \"Hozzáadás\" gombbal.");
const QString kServerFailureDesc = QStringLiteral(
    "A hiba lehetséges okai:\r\r- Már elindította a KromaglenForZov.exe programot.\r- Egy másik "
    "program foglalja a 4747-es portot.\r- Nincs hálózat telepítve a számítógépre.");

QString catalogueAutoLine()
{
    QString line = QStringLiteral("-- automata mentés --");
    for (int i = 0; i < 23; ++i)
        line += QStringLiteral(":%1:I").arg(i);
    return line;
}

} // namespace

class TestWizard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsWithDefaultsAndTheServer()
    {
        WizardFixture f;
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Kromaglen"));
        QCOMPARE(f.window->width(), 914);
        QCOMPARE(f.window->activePage(), WizardPage::Config);
        QCOMPARE(f.window->plan().tickedPoints().size(), 23);
        QCOMPARE(f.w<QComboBox>("ComComboBox1")->currentText(), QStringLiteral("COM6"));
        QCOMPARE(f.w<QComboBox>("ComComboBox1")->itemText(0), QStringLiteral("COM10"));
        QCOMPARE(f.w<QComboBox>("CB_Sound")->currentText(), QStringLiteral("Speaker"));
        QVERIFY(!f.w<QComboBox>("CB_SpeakNum")->isEnabled());
        QVERIFY(!f.w<QPushButton>("BB_Save")->isEnabled());
        QVERIFY(!f.w<QPushButton>("BB_Delete")->isEnabled());
        QVERIFY(!f.w<QPushButton>("BB_Up")->isEnabled());
        QVERIFY(f.w<QPushButton>("BB_Down")->isEnabled());
        // The other pages are made when the wizard first goes there; the
        // server's first line waits for its log.
        QVERIFY(!f.window->findChild<QWidget *>(QStringLiteral("LB_ActMeasValue")));
        QVERIFY(!f.window->findChild<QWidget *>(QStringLiteral("M_ServerLog")));
        // No Java runtime in the registry: the message, and the setup program is started.
#ifdef Q_OS_WIN
        QCOMPARE(f.shownMessage(), QStringLiteral("JAVA futtatási környezet nem található!"));
        QCOMPARE(f.shell.elevated.size(), 0); // no setup program beside the executable
#else // no JavaSoft key in the registry file: no Java check (tst_registry)
        QCOMPARE(f.shownMessage(), QString());
#endif
        QCOMPARE(f.read("Kromaglen.ini"), QByteArray("<missing>"));
        QCOMPARE(f.read("Kromaglen_sound.ini"), QByteArray("<missing>"));
        f.toHandoverPage();
        QCOMPARE(f.window->activePage(), WizardPage::Send);
        QCOMPARE(f.w<QPlainTextEdit>("M_ServerLog")->toPlainText(),
                 QStringLiteral("Server start!\nMost megnyomhatja a ZOV programban az \"Adatok "
                                "betöltése\" gombot."));
        QCOMPARE(f.w<QLineEdit>("ES_HOOD")->text(), QStringLiteral("Nincs elküldve"));
    }

    // The list shows which entry "Előbb", "Később" and the description act
    // on: at start, with presets but none automatic, and after a rebuild.
    void theHighlightedEntryIsShown()
    {
        WizardFixture f(
            {{"Kromaglen.ini",
              catalogueAutoLine().replace("-- automata mentés --", "Alap").toLatin1() + "\r\n"}});
        auto *list = f.w<QListView>("CLB_WhatToMeas");
        const auto shown = [list] {
            const QModelIndexList selected = list->selectionModel()->selectedIndexes();
            return selected.size() == 1 && selected.first() == list->currentIndex()
                       ? list->currentIndex().row()
                       : -1;
        };
        QCOMPARE(f.window->presets().count(), 1);
        QCOMPARE(shown(), 0);
        QCOMPARE(f.w<QLabel>("L_WhatToMeasHint")->text(), PointCatalogue::description(0));
        f.click("BB_Down");
        QCOMPARE(f.window->plan().entry(1).index, 0);
        QCOMPARE(shown(), 1);
        f.click("BB_AlapSorrend");
        QCOMPARE(f.window->plan().entry(0).index, 0);
        QCOMPARE(shown(), 0);
        f.click("BB_Down");
        QCOMPARE(shown(), 1);
        QCOMPARE(f.w<QLabel>("L_WhatToMeasHint")->text(), PointCatalogue::description(0));
    }

    // Enter presses the button that has the focus, as Space does; the focus
    // starts on "Mind" and sits there while the wizard waits for the gauge.
    void enterPressesTheFocusedButton()
    {
        WizardFixture f;
        // Where the Java runtime is missing (a Wine prefix), its message
        // stands in front from the start and rightly takes the keys.
        if (!f.shownMessage().isEmpty())
            QSKIP(qPrintable("a start-up message takes the keys: " + f.shownMessage()));
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QWindow *window = f.window->windowHandle();
        const auto ticked = [&f] { return f.window->plan().tickedPoints().size(); };
        QCOMPARE(QApplication::focusWidget(), f.w("BB_SetAll"));
        f.w<QPushButton>("BB_SetNone")->click();
        QCOMPARE(ticked(), 3);
        QTest::keyClick(window, Qt::Key_Return);
        QCOMPARE(ticked(), 23);
        QTest::keyClick(window, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.w("BB_SetNone"));
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(ticked(), 3);

        f.w("BB_ConfigNext")->setFocus();
        bool focusedOnMind = false;
        f.duringConnectWait([&f, &focusedOnMind] {
            focusedOnMind = QApplication::focusWidget() == f.w("BB_SetAll");
            f.port.feed(",ME");
        });
        QTest::keyClick(window, Qt::Key_Return);
        QCOMPARE(f.window->activePage(), WizardPage::Meas);
        QVERIFY(focusedOnMind);
    }

    void restoresStoredSettings()
    {
        WizardFixture f(
            {{"Kromaglen_com.ini", "com7\r\nCOM6\r\n"},
             {"Kromaglen_sound.ini", "11\r\n"},
             {"Kromaglen.ini", catalogueAutoLine().replace(":3:I", ":3:N").toLatin1()}});
        QCOMPARE(f.w<QComboBox>("ComComboBox1")->currentText(), QStringLiteral("COM7"));
        QCOMPARE(f.w<QComboBox>("CB_Sound")->currentText(), QStringLiteral("Hangkártya"));
        QCOMPARE(f.w<QComboBox>("CB_SpeakNum")->currentText(), QStringLiteral("Mérés OK"));
        QVERIFY(f.w<QComboBox>("CB_SpeakNum")->isEnabled());
        QCOMPARE(f.w<QComboBox>("CB_Save")->currentText(), QStringLiteral("-- automata mentés --"));
        QVERIFY(f.w<QPushButton>("BB_Save")->isEnabled());
        QVERIFY(f.w<QPushButton>("BB_Delete")->isEnabled());
        QVERIFY(!f.window->plan().entry(3).ticked);
    }

    void badStoredFilesAreReported()
    {
        WizardFixture f({{"Kromaglen_com.ini", "COM99\r\n"}, {"Kromaglen_sound.ini", "1x\r\n"}});
        // The presets message came last, but both were queued; check the port one.
        QCOMPARE(f.shownMessage(),
                 QStringLiteral("Nem sikrült betölteni a tárolt com poprtot! Oka: Exception: A "
                                "tárolt port már nem létezik!"));
        QCOMPARE(f.info->description(),
                 QStringLiteral(
                     "Nyomja meg a \"Port keresés\" gombot!\r\rA hiba lehetséges okai: \r- Nem "
                     "csatlakoztatta a bluetooth adaptert.\r- Nem az előzőleg használt USB "
                     "csatlakozóba dugta a bluetooth adaptert.\r- Másik bluetooth adatptert "
                     "csatlakoztatott.\r\r\rMegoldás: Csatlakoztassa a bluetooth adapter, és "
                     "szükség esetén vegye fel újra a Kromaglen-et a \"Blurtooth-eszközök\" "
                     "vezérlőpanelen a \"Hozzáadás\" gombbal!"));
        QCOMPARE(f.w<QComboBox>("ComComboBox1")->currentText(), QStringLiteral("COM6"));
        QCOMPARE(f.read("Kromaglen_sound.ini"), QByteArray("10\r\n"));

        WizardFixture g(WizardFixture::Files{{"Kromaglen.ini", "Alap:0:i\r\n"}});
        QCOMPARE(g.shownMessage(),
                 QStringLiteral("Nem sikrült betölteni a mérési sorrend mentéseket! Oka: "
                                "Exception: Érvénytelen karakter! (i)"));
        QCOMPARE(g.info->description(),
                 QStringLiteral("A hiba lehetséges okai:\r- A Kromaglen.ini fájl sérült, vagy "
                                "használatban van."));
    }

    // Windows always looks for the Java runtime at start; elsewhere only a
    // registry file that has a JavaSoft key stands in for one.
    void javaCheckAtStart_data()
    {
#ifdef Q_OS_WIN
        constexpr bool kJavaCheckedWithoutJavaSoft = true;
#else
        constexpr bool kJavaCheckedWithoutJavaSoft = false;
#endif
        const QByteArray javaSoft =
            WizardFixture::kRegistry + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft]\r\n";
        QTest::addColumn<QByteArray>("registry");
        QTest::addColumn<bool>("setupThere");
        QTest::addColumn<bool>("checked");
        QTest::newRow("no JavaSoft key")
            << WizardFixture::kRegistry << true << kJavaCheckedWithoutJavaSoft;
        QTest::newRow("JavaSoft without Java Web Start") << javaSoft << true << true;
        QTest::newRow("no setup program") << javaSoft << false << true;
    }

    // The setup program is started when it is there; a missing one is named
    // in the message instead of being handed to the shell.
    void javaCheckAtStart()
    {
        QFETCH(QByteArray, registry);
        QFETCH(bool, setupThere);
        QFETCH(bool, checked);
        WizardFixture::Files files;
        if (setupThere)
            files.append({QStringLiteral("KromaglenForZov_JAVA_Javito_Setup.exe"), "MZ"});
        WizardFixture f(files, registry);
        QCOMPARE(f.shownMessage(),
                 checked ? QStringLiteral("JAVA futtatási környezet nem található!") : QString());
        QCOMPARE(f.shell.elevated.size(), checked && setupThere ? 1 : 0);
        if (checked && setupThere)
            QVERIFY(f.shell.elevated.first().endsWith("KromaglenForZov_JAVA_Javito_Setup.exe"));
        if (!checked)
            return;
        const QString description = f.info->description();
        QVERIFY(
            description.startsWith(QStringLiteral("A ZOV program használatához szükséges JAVA "
                                                  "futtatási környezetet még nem telepítette!")));
        QCOMPARE(description.contains(QStringLiteral("telepítő programja nem található: ")),
                 !setupThere);
        if (!setupThere)
            QVERIFY(description.contains(
                QDir::toNativeSeparators(f.dir.path() + "/KromaglenForZov_JAVA_Javito_Setup.exe")));
    }

    // With the runtime found and the add-on missing, a missing setup program
    // is the message itself.
    void missingSetupProgramIsNamed()
    {
        WizardFixture f({}, WizardFixture::kRegistry +
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Web Start]\r\n"
                                "\"CurrentVersion\"=\"1.8\"\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Web Start\\1.8]\r\n"
                                "\"Home\"=\"jre\\\\bin\"\r\n");
        QCOMPARE(f.shownMessage(), QStringLiteral("A ZOV program Kromaglen kiegészítője "
                                                  "(KromaglenForZov.jar) nincs telepítve!"));
        QVERIFY(f.info->description().contains("KromaglenForZov_JAVA_Javito_Setup.exe"));
        QVERIFY(f.shell.elevated.isEmpty());
    }

    // Under every style the program may be drawn with (the Windows build's own
    // among them) the three tabs fit the window in one row, with no scroll
    // arrows and no tab cut.
    void theTabsFitTheWindowInEveryStyle_data()
    {
        QTest::addColumn<QString>("style");
        for (const QString &key : QStyleFactory::keys())
            QTest::newRow(qPrintable(key)) << key;
    }

    void theTabsFitTheWindowInEveryStyle()
    {
        QFETCH(QString, style);
        const QString before = QApplication::style()->name();
        const auto restore = qScopeGuard([&before] { QApplication::setStyle(before); });
        QApplication::setStyle(style);
        WizardFixture f;
        const QTabBar *bar = f.w<QTabWidget>("PC_Steps")->tabBar();
        QCoreApplication::processEvents();
        const int right = bar->mapTo(f.window.get(), bar->tabRect(2).topRight()).x();
        qInfo("%s: the third tab ends at %d of %d (%s %d px; tabs %d, %d, %d; blank %d)",
              qPrintable(style), right, f.window->width(), qPrintable(bar->fontInfo().family()),
              bar->fontInfo().pixelSize(), bar->tabRect(0).width(), bar->tabRect(1).width(),
              bar->tabRect(2).width(), bar->fontMetrics().horizontalAdvance(u' '));
        QVERIFY2(right < f.window->width(),
                 qPrintable(QStringLiteral("the third tab ends at %1").arg(right)));
        for (const QToolButton *arrow : bar->findChildren<QToolButton *>())
            QVERIFY(!arrow->isVisible());
        for (int tab = 0; tab < 3; ++tab) {
            const int text = bar->fontMetrics().horizontalAdvance(bar->tabText(tab));
            QVERIFY2(bar->tabRect(tab).width() >= text,
                     qPrintable(QStringLiteral("tab %1: %2 px for %3 px of text")
                                    .arg(tab)
                                    .arg(bar->tabRect(tab).width())
                                    .arg(text)));
        }
    }

    // "Arial Unicode MS" is not on every computer: the "Kilépés" button is
    // then drawn in Arial's place (a stand-in of Arial's widths on Linux).
    void arialUnicodeIsDrawnAsArial()
    {
        WizardFixture f;
        const QFontInfo drawn(f.w<QPushButton>("BB_ConfigCancel")->font());
        QFont arial(QStringLiteral("Arial"));
        arial.setPixelSize(drawn.pixelSize());
        QCOMPARE(drawn.family(), QFontInfo(arial).family());
    }

    void tabsNeverChangeThePage()
    {
        WizardFixture f;
        auto *tabs = f.w<QTabWidget>("PC_Steps");
        QTabBar *bar = tabs->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        QCOMPARE(tabs->currentIndex(), 0);
        QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), 0);
    }

    void wholeInspection()
    {
        WizardFixture f;
        f.w<QComboBox>("CB_Save")->setEditText(QString());
        // Only three ordinary points and the mandatory ones.
        f.click("BB_SetNone");
        for (int row : {0, 1, 10})
            f.window->plan().toggleTick(row);

        // Connect: a reading during the wait is refused, the key ends it.
        f.duringConnectWait([&f] {
            QVERIFY(f.w<QLabel>("L_KellMenu")->isVisible());
            QVERIFY(!f.w<QComboBox>("CB_Sound")->isVisible());
            QVERIFY(f.w<QPushButton>("BB_AbortConnect")->isVisible());
            f.port.feed(reading("FE", 5));
            f.port.feed(",M");
            f.port.feed("E");
        });
        f.click("BB_ConfigNext");
        QCOMPARE(f.window->activePage(), WizardPage::Meas);
        QVERIFY(!f.w<QLabel>("L_KellMenu")->isVisible());
        QVERIFY(!f.w<QWidget>("CLB_WhatToMeas")->isEnabled());
        QCOMPARE(f.read("Kromaglen.ini").left(21), QByteArray("-- automata ment\xE9s --"));
        auto *combo = f.w<QComboBox>("CB_ActMeasName");
        QCOMPARE(combo->count(), 6);
        QCOMPARE(combo->currentText(), QStringLiteral("Bal első sárvédő"));
        QVERIFY(!f.w<QPushButton>("BB_MeasStepBack")->isEnabled());

        // Readings, split frames and noise on the first point.
        f.port.feed(QByteArray("\x01\x02", 2) + reading("FE", 123));
        f.port.feed(",A");
        f.port.feed("L");
        f.port.feed(QByteArray("\x07\x00", 2));
        auto *list = f.w<QListWidget>("LB_ActMeasValue");
        QCOMPARE(lines(list), (QStringList{"FE 123 µm", "AL 7 µm"}));
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(f.w<QLabel>("P_ActMetal")->text(), QStringLiteral("AL"));
        QCOMPARE(f.w<QLabel>("P_ActMeasValue")->text(), QStringLiteral("7"));

        // Delete the first reading; the new first line is selected.
        list->setCurrentRow(0);
        f.click("BB_MeasDelete");
        QCOMPARE(lines(list), QStringList{"AL 7 µm"});
        QCOMPARE(list->currentRow(), 0);

        // The key steps on; manual entry on the second point.
        f.port.feed(",ME");
        QCOMPARE(combo->currentIndex(), 1);
        QCOMPARE(f.w<QLabel>("P_ActMeasValue")->text(), QStringLiteral("----"));
        auto *spin = f.w<QSpinBox>("SE_KeziBevitel");
        QTest::mouseDClick(f.w<QLabel>("P_ActMeasValue"), Qt::LeftButton);
        QVERIFY(spin->isVisible());
        QTest::mouseDClick(f.w<QLabel>("P_ActMetal"), Qt::LeftButton);
        spin->findChild<QLineEdit *>()->setText(QStringLiteral("2000"));
        QTest::mouseDClick(spin->findChild<QLineEdit *>(), Qt::LeftButton);
        QCOMPARE(lines(list), QStringList{"AL 1000 µm"});
        QCOMPARE(spin->value(), 1000);

        // Last point: the key gives no-more-measurements and stays.
        combo->setCurrentIndex(5);
        Q_EMIT combo->activated(5);
        f.port.feed(",ME");
        QCOMPARE(combo->currentIndex(), 5);
        f.click("BB_MeasStepForward");
        QCOMPARE(combo->currentIndex(), 5);

        // Summary: the hood and the VIN points are unmeasured; hand over anyway.
        f.answerNext(true);
        f.click("BB_MeasNext");
        QCOMPARE(f.asked.last(), QStringLiteral("Biztos át akarja adni a hiányos adatokat?"));
        QCOMPARE(f.window->activePage(), WizardPage::Send);
        QVERIFY(!spin->isVisible());
        QCOMPARE(f.w<QLineEdit>("EM_LEFT_FRONT_WING")->text(), QStringLiteral("1 mérés"));
        QCOMPARE(f.w<QLineEdit>("EM_HOOD")->text(), QStringLiteral("Nem lett mérve"));
        QCOMPARE(f.w<QLineEdit>("EM_RIGHT_ROOF")->text(), QStringLiteral("Nem lett kiválasztva"));
        QCOMPARE(f.w<QLineEdit>("ES_HOOD")->text(), QStringLiteral("Nincs elküldve"));
        QVERIFY(f.w<QLineEdit>("EM_HOOD")->styleSheet().contains("#ff0000"));

        // Bytes the gauge sends now are never recorded.
        f.port.feed(reading("FE", 999));

        // The inspection program fetches the points.
        const quint16 port = f.window->server().serverPort();
        QCOMPARE(request(port, "LEFT_FRONT_WING\r\n"), QStringLiteral("LEFT_FRONT_WING:7\r\n"));
        QCOMPARE(request(port, "LEFT_FRONT_DOOR\r\n"), QStringLiteral("LEFT_FRONT_DOOR:1000\r\n"));
        QCOMPARE(request(port, "HOOD\r\n"), QStringLiteral("HOOD\r\n"));
        QCOMPARE(request(port, "hood\r\n"), QStringLiteral("hood?\r\n"));
        QTRY_COMPARE(f.w<QLineEdit>("ES_HOOD")->text(), QStringLiteral("Elküldve"));
        QVERIFY(f.window->handoverSent(0));
        // The traffic shows in batches.
        QTRY_VERIFY(f.w<QPlainTextEdit>("M_ServerLog")
                        ->toPlainText()
                        .contains(QStringLiteral("In: hood\nÉRVÉNYTELEN KÉRÉS: hood\nOut: hood?")));

        // Back to measuring: the queued gauge bytes are dropped.
        f.click("BB_SendBack");
        QCOMPARE(f.window->activePage(), WizardPage::Meas);
        QVERIFY(f.port.waiting().isEmpty());
        QCOMPARE(f.window->readingLog().count(22), 0);

        // And forward again: every handover status is reset.
        f.answerNext(true);
        f.click("BB_MeasNext");
        QCOMPARE(f.w<QLineEdit>("ES_HOOD")->text(), QStringLiteral("Nincs elküldve"));
        QVERIFY(f.w<QPlainTextEdit>("M_ServerLog")
                    ->toPlainText()
                    .endsWith(QStringLiteral(
                        "Most megnyomhatja a ZOV programban az \"Adatok betöltése\" gombot.")));

        // "Vége": data not handed over, then the close confirmation.
        f.answerNext(true);
        QTimer::singleShot(200, f.window.get(), [&f] { f.answerNext(true); });
        f.click("BB_SendCancel");
        QTRY_VERIFY(!f.window->isVisible());
        const QString incomplete =
            QStringLiteral("Van még olyan mérési pont, amit kiválasztott, de még nem mért le!");
        QCOMPARE(f.askedMessages,
                 (QStringList{incomplete, incomplete,
                              QStringLiteral("Még nem sikerült átadni az adatokat a ZOV "
                                             "programnak!\nA Kromaglen program bezárásával "
                                             "elveszíti a mérési eredményeket!"),
                              QStringLiteral("Ha bezárja a varázslót, minden nem mentett adat "
                                             "véglegesen el fog veszni!\nAmennyiben a számítógép "
                                             "kikapcsolása előtt szüksége lesz még a "
                                             "Kromaglen-re, nem fontos a varázslót bezárni.")}));
        QCOMPARE(f.asked.mid(2), QStringList(2, QStringLiteral("Biztos bezárja a varázslót?")));
        QVERIFY(!f.port.connected());
        QVERIFY(f.w<QPlainTextEdit>("M_ServerLog")->toPlainText().endsWith("Server stop!"));
    }

    // What the pages show of the flow's stage: the first page's inputs and
    // the connect wait's controls, as they were after a failed or aborted
    // connect; the tabs locked while a repair runs.
    void theStageShowsOnThePages()
    {
        WizardFixture f;
        f.port.failOpen = true;
        f.click("BB_ConfigNext");
        QCOMPARE(f.shownMessage(),
                 QStringLiteral("A kapcsolódás a Kromaglen-hez nem sikerült! Oka: EComPort: Unable "
                                "to open com port (win error code: 2))"));
        QCOMPARE(f.info->description(), kConnectFailureDesc);
        QVERIFY(f.w<QPushButton>("BB_ConfigNext")->isEnabled());
        QVERIFY(f.w<QComboBox>("CB_Sound")->isVisible());
        QVERIFY(!f.w<QLabel>("L_KellMenu")->isVisible());

        f.port.failOpen = false;
        f.duringConnectWait([&f] { f.click("BB_AbortConnect"); });
        f.click("BB_ConfigNext");
        QCOMPARE(f.window->activePage(), WizardPage::Config);
        QVERIFY(!f.port.connected());
        QVERIFY(f.w<QWidget>("CLB_WhatToMeas")->isEnabled());
        QVERIFY(!f.w<QPushButton>("BB_AbortConnect")->isVisible());
        QVERIFY(!f.w<QPushButton>("BB_MeasBack")->isEnabled());

        f.connectWithKey();
        QTest::mouseClick(f.w<QPushButton>("BB_Reconnect"), Qt::LeftButton);
        QVERIFY(!f.w("PC_Steps")->isEnabled());
        f.settle();
        QVERIFY(f.w("PC_Steps")->isEnabled());
        QVERIFY(f.w("BB_Reconnect")->isEnabled());
    }

    // A message that arrives while a question is open (here a point request
    // from the inspection program) never hides the question: it stays in
    // sight and keeps the keyboard, so a key answers only what the user sees.
    void aMessageNeverHidesAnOpenQuestion_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("question");
        QTest::addColumn<int>("key");
        QTest::newRow("close") << QByteArray() << QByteArray("BB_MeasCancel")
                               << QStringLiteral("Biztos bezárja a varázslót?")
                               << int(Qt::Key_Escape);
        QTest::newRow("incomplete")
            << QByteArray() << QByteArray("BB_MeasNext")
            << QStringLiteral("Biztos át akarja adni a hiányos adatokat?") << int(Qt::Key_Escape);
        QTest::newRow("keep") << QByteArray("BB_MeasBack") << QByteArray("BB_ConfigNext")
                              << QStringLiteral("Akarja megtartani a meglevő méréseket?")
                              << int(Qt::Key_Return);
    }
    void aMessageNeverHidesAnOpenQuestion()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, button);
        QFETCH(QString, question);
        QFETCH(int, key);
        WizardFixture f;
        f.connectWithKey();
        f.port.feed(reading("FE", 123));
        if (!before.isEmpty())
            f.click(before.constData());
        const WizardPage page = f.window->activePage();

        bool asked = false;
        bool covered = true;
        bool questionHasTheKeys = false;
        QTimer::singleShot(0, f.window.get(), [&] {
            QTRY_VERIFY(f.question->isVisible());
            asked =
                f.question->findChild<QLabel *>(QStringLiteral("L_Question"))->text() == question;
            QCOMPARE(request(f.window->server().serverPort(), "HOOD\r\n"), QStringLiteral("-\r\n"));
            QCoreApplication::processEvents(); // the message is delivered
            covered = f.info->isVisible() &&
                      f.info->frameGeometry().intersects(f.question->frameGeometry());
            QWindow *keys = QGuiApplication::focusWindow();
            questionHasTheKeys = keys == f.question->windowHandle();
            // The user answers what is in front of them.
            QTest::keyClick(keys ? keys : f.question->windowHandle(), Qt::Key(key));
            if (f.question->isVisible())
                f.question->reject();
        });
        if (button == "BB_ConfigNext")
            f.duringConnectWait([&f] { f.port.feed(",ME"); });
        f.click(button.constData());
        QVERIFY(asked);
        QVERIFY2(!covered, "the message covers the question");
        QVERIFY(questionHasTheKeys);
        QCOMPARE(f.shownMessage(),
                 QStringLiteral("Az adatok átadádához lépjen az utolsó \"Adatok átadása\" lapra!"));
        // Once the question is answered, Enter goes to the message.
        QTRY_COMPARE(QGuiApplication::focusWindow(), f.info->windowHandle());
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Return);
        QVERIFY(!f.info->isVisible());
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.window->activePage(), page == WizardPage::Config ? WizardPage::Meas : page);
        QCOMPARE(f.window->readingLog().lines(0), QStringList{QStringLiteral("FE 123 µm")});
    }

    // Where a message stands while a question is open: below it where there
    // is room, else above it, then beside it; nowhere on a screen too small.
    void aMessageStandsClearOfTheQuestion_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("question");
        QTest::addColumn<QPoint>("at"); // (-1, -1): nowhere
        const QRect fullHd(0, 0, 1920, 1080);
        QTest::newRow("below") << fullHd << QRect(613, 425, 693, 230) << QPoint(623, 663);
        QTest::newRow("above") << fullHd << QRect(613, 700, 693, 230) << QPoint(623, 344);
        QTest::newRow("right") << QRect(0, 0, 1920, 700) << QRect(100, 235, 693, 230)
                               << QPoint(801, 175);
        QTest::newRow("nowhere") << QRect(0, 0, 1024, 768) << QRect(165, 269, 693, 230)
                                 << QPoint(-1, -1);
    }
    void aMessageStandsClearOfTheQuestion()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, question);
        QFETCH(QPoint, at);
        const QSize message(672, 348);
        const std::optional<QPoint> placed = besideOf(screen, question, message);
        QCOMPARE(placed.value_or(QPoint(-1, -1)), at);
        if (placed) {
            QVERIFY(screen.contains(QRect(*placed, message)));
            QVERIFY(!question.intersects(QRect(*placed, message)));
        }
    }

    // Typing in the name field completes to the name as it is stored, so a
    // completed automatic name is the automatic name and is saved as such.
    void typingCompletesToTheStoredName()
    {
        const QString alap = catalogueAutoLine().replace("-- automata mentés --", "Alap");
        WizardFixture f(
            {{"Kromaglen.ini", (alap + "\r\n" + catalogueAutoLine() + "\r\n").toLatin1()}});
        auto *name = f.w<QComboBox>("CB_Save");
        QLineEdit *edit = name->lineEdit();
        const auto clear = [edit] {
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Backspace);
        };
        clear();
        QTest::keyClicks(edit, "al");
        QCOMPARE(name->currentText(), QStringLiteral("Alap"));
        QCOMPARE(edit->selectedText(), QStringLiteral("ap"));
        QVERIFY(f.w<QPushButton>("BB_Delete")->isEnabled());
        // Further typing replaces the completed part; deleting completes nothing.
        QTest::keyClicks(edit, "x");
        QCOMPARE(name->currentText(), QStringLiteral("Alx"));
        QVERIFY(!f.w<QPushButton>("BB_Delete")->isEnabled());
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(name->currentText(), QStringLiteral("Al"));
        QTest::keyClicks(edit, "a");
        QCOMPARE(name->currentText(), QStringLiteral("Alap"));

        clear();
        QTest::keyClicks(edit, "-- AU");
        QCOMPARE(name->currentText(), PlanPresets::kAutoPresetName);
        f.click("BB_SetNone");
        f.connectWithKey();
        QCOMPARE(f.window->activePage(), WizardPage::Meas);
        QVERIFY(f.read("Kromaglen.ini").contains("-- automata ment\xE9s --:0:N:1:N:"));
    }

    void showInfoFromAnotherThread()
    {
        WizardFixture f;
        f.shownMessage();
        std::thread worker([&f] {
            f.window->ShowInfo("Első", "a");
            f.window->ShowInfo("Második", "b");
        });
        worker.join();
        QCOMPARE(f.shownMessage(), QStringLiteral("Második"));
        QCOMPARE(f.info->description(), QStringLiteral("b"));
    }

    // A computer without any sound output: told once, on the measuring page
    // over the point's description, leaving the value in sight, until the
    // point changes or the notice is clicked.
    void noSoundOutputIsToldOnce()
    {
        WizardFixture f;
        f.beeper.hasOutput = false;
        const int before = f.posted.count;
        // Windows may already show the start-up check's message: the notice
        // adds no box of its own.
        const QString shownBefore = f.shownMessage();
        f.connectWithKey();
        f.port.feed(reading("FE", 40));
        auto *notice = f.w<QLabel>("L_NoSound");
        QVERIFY(notice->isVisible());
        QVERIFY(notice->text().startsWith("A program nem tud hangot adni"));
        QVERIFY(!notice->geometry().intersects(f.w("P_ActMeasValue")->geometry()));
        QCOMPARE(f.shownMessage(), shownBefore);
        QCOMPARE(f.posted.count, before);
        f.click("BB_MeasStepForward");
        QVERIFY(!notice->isVisible());
        f.port.feed(reading("FE", 41));
        QVERIFY(!notice->isVisible());

        WizardFixture clicked;
        clicked.beeper.hasOutput = false;
        clicked.connectWithKey();
        QTest::mouseClick(clicked.w("L_NoSound"), Qt::LeftButton);
        QVERIFY(!clicked.w("L_NoSound")->isVisible());
    }

    // Values typed key by key into the box, as a person types them: every
    // text gives a value within 5 and 1000, none loses a digit.
    void typedReadingsAreKeptWithinTheLimits()
    {
        WizardFixture f;
        f.connectWithKey();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTest::mouseDClick(f.w("P_ActMeasValue"), Qt::LeftButton);
        auto *spin = f.w<QSpinBox>("SE_KeziBevitel");
        auto *edit = spin->findChild<QLineEdit *>();
        const auto type = [edit](const char *text) {
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, QString::fromLatin1(text));
        };
        const auto record = [&f, edit](const char *text) {
            const int before = f.window->readingLog().count(0);
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, QString::fromLatin1(text));
            QTest::mouseDClick(edit, Qt::LeftButton);
            return f.window->readingLog().count(0) == before + 1
                       ? f.window->readingLog().lines(0).last()
                       : QStringLiteral("<nothing recorded>");
        };
        QCOMPARE(record("1500"), QStringLiteral("FE 1000 µm"));
        QCOMPARE(spin->text(), QStringLiteral("1000"));
        QCOMPARE(record("2000"), QStringLiteral("FE 1000 µm"));
        QCOMPARE(record("0"), QStringLiteral("FE 5 µm"));
        QCOMPARE(spin->text(), QStringLiteral("5"));
        QCOMPARE(record("999"), QStringLiteral("FE 999 µm"));
        QCOMPARE(record("99999999999999999999"), QStringLiteral("FE 5 µm"));
        QCOMPARE(record("-"), QStringLiteral("FE 5 µm"));
        // Letters are not taken at all.
        QCOMPARE(record("12x"), QStringLiteral("FE 12 µm"));

        // Leaving the box with 3 in it shows the value it stands for, 5.
        type("3");
        f.w<QWidget>("BB_MeasDelete")->setFocus();
        QTRY_VERIFY(!edit->hasFocus());
        QCOMPARE(spin->text(), QStringLiteral("5"));
        QCOMPARE(spin->value(), 5);
        QTest::mouseDClick(edit, Qt::LeftButton);
        QCOMPARE(f.window->readingLog().lines(0).last(), QStringLiteral("FE 5 µm"));
        // And with 4000 in it, 1000.
        type("4000");
        f.w<QWidget>("BB_MeasDelete")->setFocus();
        QTRY_COMPARE(spin->text(), QStringLiteral("1000"));
    }

    void findPortSelectsAndStoresTheLastGauge()
    {
        const QByteArray bth =
            "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\BTHPORT\\Parameters";
        const QByteArray en = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\BTHENUM";
        QByteArray reg = WizardFixture::kRegistry;
        for (const auto &[address, port] :
             {std::pair<QByteArray, QByteArray>{"00aa", "COM6"}, {"00bb", "COM7"}}) {
            reg += "[" + bth + "\\Devices\\" + address +
                   "]\r\n\"Name\"=hex:4b,52,4f,4d,41,47,4c,45,4e,00\r\n" + "[" + bth +
                   "\\Devices\\" + address + "\\ServicesFor1\\R\\K" + address.toUpper() +
                   "]\r\n\"PriLangServiceName\"=hex:52,4e,49,2d,53,50,50,00\r\n" + "[" + en +
                   "\\C\\X_" + address.toUpper() + "_K" + address.toUpper() +
                   "\\Device Parameters]\r\n" + "\"PortName\"=\"" + port + "\"\r\n";
        }
        WizardFixture f(WizardFixture::Files{}, reg);
        f.click("BB_FindPort");
        auto *list = f.w<QListWidget>("LB_KGLista");
        QCOMPARE(lines(list), (QStringList{"COM6: KROMAGLEN", "COM7: KROMAGLEN"}));
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(f.w<QComboBox>("ComComboBox1")->currentText(), QStringLiteral("COM7"));
        QCOMPARE(f.read("Kromaglen_com.ini"), QByteArray("COM7\r\n"));
        f.click("BB_FindPort");
        QCOMPARE(list->count(), 2);

        WizardFixture none;
        none.click("BB_FindPort");
        auto *box = none.window->findChild<QMessageBox *>(QStringLiteral("FindPortBox"));
        QVERIFY(box);
        QCOMPARE(box->text(),
                 QStringLiteral("A port keresése nem sikerült! Oka: Nincs bluetooth telepítve!"));
        QCOMPARE(none.read("Kromaglen_com.ini"), QByteArray("<missing>"));
#ifndef Q_OS_WIN
        // Where a station without a Bluetooth registry should look.
        QVERIFY2(box->informativeText().contains("registry-fájlban") &&
                     box->informativeText().contains("/dev/rfcomm"),
                 qPrintable(box->informativeText()));
#endif
    }

    void checkListMouseAndKeys()
    {
        WizardFixture f;
        auto *list = f.w<QListView>("CLB_WhatToMeas");
        const auto ticked = [&f](int row) { return f.window->plan().entry(row).ticked; };
        const auto checkBox = [list](int row) {
            QStyleOptionViewItem option;
            option.initFrom(list->viewport());
            option.rect = list->visualRect(list->model()->index(row, 0));
            option.features = QStyleOptionViewItem::HasCheckIndicator;
            return list->style()
                ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list)
                .center();
        };
        const auto caption = [list](int row) {
            return list->visualRect(list->model()->index(row, 0)).center();
        };
        QWidget *area = list->viewport();
        const int vin = 12; // the mandatory "Alvázszám"

        QTest::mouseClick(area, Qt::LeftButton, {}, checkBox(0));
        QVERIFY(!ticked(0));
        QTest::mouseClick(area, Qt::LeftButton, {}, checkBox(0));
        QVERIFY(ticked(0));
        QTest::mouseClick(area, Qt::LeftButton, {}, checkBox(vin));
        QVERIFY(ticked(vin));

        // A double click inverts the tick once, on the box as on the caption.
        QTest::mouseDClick(area, Qt::LeftButton, {}, checkBox(0));
        QVERIFY(!ticked(0));
        QTest::mouseDClick(area, Qt::LeftButton, {}, checkBox(0));
        QVERIFY(ticked(0));
        QTest::mouseDClick(area, Qt::LeftButton, {}, caption(1));
        QVERIFY(!ticked(1));
        QTest::mouseDClick(area, Qt::LeftButton, {}, caption(1));
        QVERIFY(ticked(1));
        QTest::mouseDClick(area, Qt::LeftButton, {}, checkBox(vin));
        QVERIFY(ticked(vin));
        QTest::mouseDClick(area, Qt::LeftButton, {}, caption(vin));
        QVERIFY(ticked(vin));
        QCOMPARE(f.w<QLabel>("L_WhatToMeasHint")->text(), PointCatalogue::description(vin));

        // The space bar toggles the highlighted entry.
        QTest::mouseClick(area, Qt::LeftButton, {}, caption(2));
        QCOMPARE(f.w<QLabel>("L_WhatToMeasHint")->text(), PointCatalogue::description(2));
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(!ticked(2));
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(ticked(2));
        QTest::mouseClick(area, Qt::LeftButton, {}, caption(vin));
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(ticked(vin));
        QCOMPARE(f.window->plan().tickedPoints().size(), 23);
    }

    void pointChangesShowThePointAfresh()
    {
        WizardFixture f;
        f.connectWithKey();
        for (int value : {1, 2, 3})
            f.port.feed(reading("FE", value));
        auto *list = f.w<QListWidget>("LB_ActMeasValue");
        auto *metal = f.w<QLabel>("P_ActMetal");
        QTest::mouseDClick(metal, Qt::LeftButton);
        QCOMPARE(metal->text(), QStringLiteral("AL"));

        f.click("BB_MeasStepForward");
        QCOMPARE(metal->text(), QStringLiteral("FE"));
        QCOMPARE(f.w<QLabel>("P_ActMeasValue")->text(), QStringLiteral("----"));
        QCOMPARE(list->count(), 0);
        f.click("BB_MeasStepBack");
        QCOMPARE(lines(list), (QStringList{"FE 1 µm", "FE 2 µm", "FE 3 µm"}));
        QVERIFY(list->selectedItems().isEmpty());

        // "Törlés" with nothing selected deletes nothing.
        f.click("BB_MeasDelete");
        QCOMPARE(list->count(), 3);
        QCOMPARE(f.window->readingLog().count(0), 3);

        // Deleting the last of three selects the new last line.
        list->setCurrentRow(2);
        f.click("BB_MeasDelete");
        QCOMPARE(lines(list), (QStringList{"FE 1 µm", "FE 2 µm"}));
        QCOMPARE(f.window->readingLog().lines(0), lines(list));
        QCOMPARE(list->currentRow(), 1);
        QVERIFY(list->currentItem()->isSelected());
    }

    void aFailureNoHandlerReportsEndsOnlyItsEvent()
    {
        WizardFixture f;
        f.shell.failOpenUrl = true;
        QTest::mouseClick(f.w("Label3"), Qt::LeftButton);
        QCoreApplication::processEvents();
        auto *box = f.window->findChild<QMessageBox *>(QStringLiteral("ErrorBox"));
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->text(), QStringLiteral("No browser for https://www.kromaglen.example"));
        box->accept();
        f.click("BB_SetNone"); // the program goes on
        QCOMPARE(f.window->plan().tickedPoints().size(), 3);
    }

    // A build without the maker's web address names the program, links nowhere.
    void noWebAddressNoLink()
    {
        FakeStation station;
        station.webAddress.clear();
        QTemporaryDir dir;
        const WizardWindows windows = showWizard(station.services(dir.path()));
        auto *label = windows.main->findChild<QLabel *>(QStringLiteral("Label3"));
        QCOMPARE(label->text(), QStringLiteral("Kromaglen"));
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(station.shell.urls.isEmpty());
    }

    // The traffic shows in batches, without losing its place before the
    // window's own lines, and a status shown late is the status as it
    // stands then.
    void trafficShowsInBatchesInOrder()
    {
        WizardFixture f;
        f.connectWithKey();
        f.answerNext(true);
        f.click("BB_MeasNext");
        QCOMPARE(request(f.window->server().serverPort(), "HOOD\r\n"), QStringLiteral("HOOD\r\n"));
        QVERIFY(f.window->handoverSent(10));
        f.click("BB_SendBack");
        f.answerNext(true);
        f.click("BB_MeasNext");
        const auto *log = f.w<QPlainTextEdit>("M_ServerLog");
        QCOMPARE(log->toPlainText().split(u'\n').mid(2),
                 (QStringList{
                     "Connect to 127.0.0.1", "In: HOOD", "Out: HOOD", "Disconnect from 127.0.0.1",
                     "Most megnyomhatja a ZOV programban az \"Adatok betöltése\" gombot."}));
        QTest::qWait(3 * HandoverDisplay::kBatchMs);
        QCOMPARE(f.w<QLineEdit>("ES_HOOD")->text(), QStringLiteral("Nincs elküldve"));

        QCOMPARE(request(f.window->server().serverPort(), "HOOD\r\n"), QStringLiteral("HOOD\r\n"));
        QTRY_COMPARE(f.w<QLineEdit>("ES_HOOD")->text(), QStringLiteral("Elküldve"));
    }

    void serverLogOfAConnection()
    {
        WizardFixture f;
        f.shownMessage();
        QCOMPARE(request(f.window->server().serverPort(), "HOOD\r\n"), QStringLiteral("-\r\n"));
        // Traffic on the first page waits for the log, which the last page brings.
        f.toHandoverPage();
        const auto lines = [&f] {
            QStringList shown = f.w<QPlainTextEdit>("M_ServerLog")->toPlainText().split(u'\n');
            shown.removeAll(QStringLiteral("Most megnyomhatja a ZOV programban az \"Adatok "
                                           "betöltése\" gombot."));
            return shown;
        };
        QTRY_COMPARE(lines(), (QStringList{"Server start!", "Connect to 127.0.0.1", "In: HOOD",
                                           "Out: -", "Disconnect from 127.0.0.1"}));
    }
};

QTEST_MAIN(TestWizard)
#include "tst_wizard.moc"
