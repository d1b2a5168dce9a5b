// The window under faults: settings files on a full or refusing disk, picks
// from the presets list, the close question's keys, and a flood of handover
// traffic. (The gauge link under faults: tst_serial.)
#include "ProcessUsage.h"
#include "SmallDisk.h"
#include "WizardFixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTcpSocket>
#include <QTextBlock>

namespace {

// A preset line in catalogue order, or in reverse order.
QByteArray presetLine(const QByteArray &name, bool reversed = false)
{
    QByteArray line = name;
    for (int i = 0; i < 23; ++i)
        line += ':' + QByteArray::number(reversed ? 22 - i : i) + ":I";
    return line + "\r\n";
}

int firstPlanPoint(WizardFixture &f)
{
    return f.window->plan().entry(0).index;
}

QString errorBoxText(const WizardFixture &f)
{
    QCoreApplication::processEvents();
    const auto *box = f.window->findChild<QMessageBox *>(QStringLiteral("ErrorBox"));
    return box ? box->text() : QString();
}

// Opens the name field's list with Alt+Down, moves with the arrow keys and
// presses Enter.
void pickWithKeys(QComboBox *combo, const QList<Qt::Key> &moves)
{
    combo->lineEdit()->setFocus();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Down, Qt::AltModifier);
    QTRY_VERIFY(combo->view()->isVisible());
    for (Qt::Key key : moves)
        QTest::keyClick(combo->view(), key);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QTRY_VERIFY(!combo->view()->isVisible());
    QCoreApplication::processEvents();
}

void pickWithMouse(QComboBox *combo, int row)
{
    combo->showPopup();
    QTRY_VERIFY(combo->view()->isVisible());
    QTest::qWait(QApplication::doubleClickInterval() + 100); // a release right away is ignored
    QAbstractItemView *view = combo->view();
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTRY_VERIFY(!view->isVisible());
    QCoreApplication::processEvents();
}

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The pick is applied, not the entry selected before it.
    void pickingFromTheListAppliesThePick()
    {
        WizardFixture f({{"Kromaglen.ini", presetLine("Alap") + presetLine("Bfordit", true)}});
        auto *name = f.w<QComboBox>("CB_Save");
        QTest::keyClicks(name->lineEdit(), "Alap");
        pickWithMouse(name, 0);
        QCOMPARE(name->currentText(), QStringLiteral("Alap"));
        QCOMPARE(firstPlanPoint(f), 0);

        pickWithMouse(name, 1);
        QCOMPARE(name->currentText(), QStringLiteral("Bfordit"));
        QCOMPARE(firstPlanPoint(f), 22);
        f.click("BB_Save"); // stores Bfordit's own plan again
        QCOMPARE(f.read("Kromaglen.ini"), presetLine("Alap") + presetLine("Bfordit", true));

        pickWithKeys(name, {Qt::Key_Up});
        QCOMPARE(name->currentText(), QStringLiteral("Alap"));
        QCOMPARE(firstPlanPoint(f), 0);
        pickWithKeys(name, {Qt::Key_Down});
        QCOMPARE(name->currentText(), QStringLiteral("Bfordit"));
        QCOMPARE(firstPlanPoint(f), 22);
    }

    // Two entries of one name (a hand-edited file): the picked one applies.
    void pickingTheSecondOfTwoNamesakes()
    {
        WizardFixture f({{"Kromaglen.ini", presetLine("Dupla") + presetLine("Dupla", true)}});
        auto *name = f.w<QComboBox>("CB_Save");
        pickWithMouse(name, 1);
        QCOMPARE(firstPlanPoint(f), 22);
        pickWithKeys(name, {Qt::Key_Up});
        QCOMPARE(firstPlanPoint(f), 0);
        pickWithKeys(name, {Qt::Key_Down});
        QCOMPARE(firstPlanPoint(f), 22);
    }

    // In the question, Enter presses the button that has the focus.
    void questionKeysAnswerAsShown_data()
    {
        QTest::addColumn<QList<QKeyCombination>>("keys");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Enter") << QList<QKeyCombination>{Qt::Key_Return} << true;
        QTest::newRow("Tab Enter") << QList<QKeyCombination>{Qt::Key_Tab, Qt::Key_Return} << false;
        QTest::newRow("Tab keypad Enter")
            << QList<QKeyCombination>{Qt::Key_Tab, Qt::Key_Enter} << false;
        QTest::newRow("Tab Tab Enter")
            << QList<QKeyCombination>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return} << true;
        QTest::newRow("Esc") << QList<QKeyCombination>{Qt::Key_Escape} << false;
    }
    void questionKeysAnswerAsShown()
    {
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(bool, closes);
        WizardFixture f;
        bool answered = false;
        QTimer::singleShot(0, f.window.get(), [&] {
            QTRY_VERIFY(f.question->isVisible());
            f.question->activateWindow(); // the start-up message may hold the focus
            QTRY_COMPARE(QApplication::activeWindow(), f.question);
            for (QKeyCombination key : keys)
                QTest::keyClick(f.question->windowHandle(), key.key(), key.keyboardModifiers());
            // Keys that answered nothing leave the dialog up: say No.
            QTest::qWait(50);
            answered = !f.question->isVisible();
            if (!answered)
                f.question->findChild<QPushButton *>(QStringLiteral("BB_No"))->click();
        });
        f.close(); // asks "Biztos bezárja a varázslót?"
        QVERIFY(answered);
        QTRY_COMPARE(!f.window->isVisible(), closes);
    }

    // A full disk: every settings file keeps its old bytes, and the user is
    // told where the program has something to say.
    void settingsFilesSurviveAFullDisk()
    {
        const SmallDisk disk;
        if (!disk.mounted())
            QSKIP(qPrintable(disk.reason()));
        WizardFixture f;
        QDir::setCurrent(disk.path());
        const QByteArray presets = presetLine("Alap");
        const QList<std::pair<QString, QByteArray>> old = {{"Kromaglen.ini", presets},
                                                           {"Kromaglen_com.ini", "COM6\r\n"},
                                                           {"Kromaglen_sound.ini", "00\r\n"}};
        for (const auto &[file, bytes] : old) {
            QFile out(disk.filePath(file));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        }
        disk.fill();

        f.w<QComboBox>("CB_Save")->setEditText(QStringLiteral("Uj"));
        f.click("BB_Save");
        QCOMPARE(errorBoxText(f), QStringLiteral("I/O error 112"));

        auto *ports = f.w<QComboBox>("ComComboBox1");
        ports->setCurrentIndex(ports->findText("COM7"));
        Q_EMIT ports->activated(ports->currentIndex());
        QCOMPARE(f.shownMessage(),
                 QStringLiteral("A com port választás megjegyzése nem sikerült! Oka: "
                                "EInOutError: I/O error 112"));

        auto *sound = f.w<QComboBox>("CB_Sound");
        sound->setCurrentIndex(1);
        Q_EMIT sound->activated(1); // the sound options fail silently

        for (const auto &[file, bytes] : old) {
            QFile in(disk.filePath(file));
            QVERIFY(in.open(QIODevice::ReadOnly));
            QCOMPARE(in.readAll(), bytes);
        }
        QDir::setCurrent(f.dir.path());
    }

    // Failures of the settings files name the file layer's reasons: a folder
    // in a file's place, a folder the user may not write to.
    void settingsFileFailuresNameTheFileLayersReasons()
    {
        {
            WizardFixture f({}, WizardFixture::kRegistry, 0, {"Kromaglen_com.ini"});
            QCOMPARE(f.shownMessage(), QStringLiteral("Nem sikrült betölteni a tárolt com "
                                                      "poprtot! Oka: EInOutError: File access "
                                                      "denied"));
        }
        {
            WizardFixture f({}, WizardFixture::kRegistry, 0, {"Kromaglen.ini"});
            QCOMPARE(f.shownMessage(), QStringLiteral("Nem sikrült betölteni a mérési sorrend "
                                                      "mentéseket! Oka: EInOutError: File access "
                                                      "denied"));
            f.w<QComboBox>("CB_Save")->setEditText(QStringLiteral("Uj"));
            f.click("BB_Save");
            QCOMPARE(errorBoxText(f), QStringLiteral("File access denied"));
        }
        WizardFixture f({{"Kromaglen.ini", presetLine("Alap")}});
        QFile::setPermissions(f.dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                QFile::ExeOther);
        {
            const OrdinaryUserFiles asUser;
            auto *ports = f.w<QComboBox>("ComComboBox1");
            Q_EMIT ports->activated(ports->currentIndex());
            QCOMPARE(f.shownMessage(),
                     QStringLiteral("A com port választás megjegyzése nem sikerült! Oka: "
                                    "EInOutError: File access denied"));
            f.w<QComboBox>("CB_Save")->setEditText(QStringLiteral("Uj"));
            f.click("BB_Save");
            QCOMPARE(errorBoxText(f), QStringLiteral("File access denied"));
            qDeleteAll(f.window->findChildren<QMessageBox *>(QStringLiteral("ErrorBox")));

            // "Tovább" saves the plan twice: one box says it, naming the file.
            f.w<QComboBox>("CB_Save")->setEditText(PlanPresets::kAutoPresetName);
            QStringList details;
            f.duringConnectWait([&] {
                for (const QMessageBox *box :
                     f.window->findChildren<QMessageBox *>(QStringLiteral("ErrorBox")))
                    details.append(box->text() + u'|' + box->informativeText());
                f.w<QPushButton>("BB_AbortConnect")->click();
            });
            f.click("BB_ConfigNext");
            QCOMPARE(details.size(), 1);
            QVERIFY2(details.first().startsWith(QStringLiteral("File access denied|")) &&
                         details.first().endsWith(f.dir.filePath("Kromaglen.ini")),
                     qPrintable(details.first()));
        }
        QFile::setPermissions(f.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(f.read("Kromaglen.ini"), presetLine("Alap"));
    }

    // A flood of requests keeps the server log at its cap, oldest lines
    // dropped, the newest kept.
    void theServerLogKeepsItsNewestLines()
    {
        WizardFixture f;
        f.connectWithKey();
        f.answerNext(true); // hand over incomplete data
        f.click("BB_MeasNext");
        QCOMPARE(f.window->activePage(), WizardPage::Send);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, f.window->server().serverPort());
        QVERIFY(client.waitForConnected(2000));
        const int requests = WizardFixture::kServerLogMaxLines / 2 + 50; // two lines each
        client.write(QByteArray("HOOD\r\n").repeated(requests));
        QByteArray replies;
        QElapsedTimer clock;
        clock.start();
        while (replies.count('\n') < requests && clock.elapsed() < 60000) {
            QCoreApplication::processEvents();
            client.waitForReadyRead(1);
            replies += client.readAll();
        }
        QCOMPARE(replies.count('\n'), requests);
        const auto *log = f.w<QPlainTextEdit>("M_ServerLog");
        QTRY_COMPARE(log->blockCount(), WizardFixture::kServerLogMaxLines);
        QCOMPARE(log->document()->lastBlock().text(), QStringLiteral("Out: HOOD"));
        QCOMPARE(log->document()->firstBlock().text(), QStringLiteral("In: HOOD"));
    }

    // A peer decides how long its lines are: the log shows a long one cut,
    // with its length, and stays bounded in characters, so a flood of long
    // lines, as categories on the first page or as requests on the last,
    // cannot use up the memory.
    void longLinesKeepTheServerLogSmall()
    {
        WizardFixture f;
        const QByteArray longLine(16000, 'x');
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, f.window->server().serverPort());
        QVERIFY(client.waitForConnected(2000));
        const qint64 start = residentBytes();

        const int categories = 100;
        client.write(QByteArray("category=" + longLine + "\r\n").repeated(categories));
        // Lines are served in order: the answer to a request, refused on this
        // page, comes once every category before it has been taken.
        client.write("HOOD\r\n");
        QByteArray answered;
        QTRY_VERIFY_WITH_TIMEOUT((answered += client.readAll()).endsWith("-\r\n"), 60000);

        // The first page's traffic has waited for the log of the last page.
        f.toHandoverPage();
        QCOMPARE(f.window->activePage(), WizardPage::Send);
        const auto *log = f.w<QPlainTextEdit>("M_ServerLog");
        QVERIFY(log->toPlainText().count(u'\n') >= categories);
        const QString cut = QString(HandoverController::kMaxLineChars - 9, u'x') +
                            QStringLiteral("… (16009 karakter)");
        QVERIFY(log->toPlainText().contains("In: category=" + cut + "\nIn: HOOD\nOut: -"));
        // Two lines of about a thousand characters each: half as much again
        // as the log holds.
        const int requests = 300;
        int replies = 0;
        QByteArray received;
        QElapsedTimer clock;
        clock.start();
        client.write(longLine + "\r\n");
        while (replies < requests && clock.elapsed() < 120000) {
            QCoreApplication::processEvents();
            client.waitForReadyRead(1);
            received += client.readAll();
            for (qsizetype end; (end = received.indexOf("\r\n")) >= 0;) {
                received.remove(0, end + 2);
                if (++replies < requests)
                    client.write(longLine + "\r\n");
            }
        }
        QCOMPARE(replies, requests);
        QTRY_VERIFY(log->document()->lastBlock().text().startsWith("Out: xxx"));
        QCOMPARE(log->document()->lastBlock().text(),
                 "Out: " + QString(HandoverController::kMaxLineChars, u'x') +
                     QStringLiteral("… (16001 karakter)"));
        QVERIFY(log->document()->characterCount() <= WizardFixture::kServerLogMaxChars);
        const qint64 grown = residentBytes() - start;
        qInfo("%d long categories and %d long requests: grown by %.1f MB", categories, requests,
              double(grown) / 1e6);
        // Unbounded, the log would hold some 20 MB of these lines.
        QVERIFY2(grown < 10'000'000, qPrintable(QStringLiteral("grew by %1 MB").arg(grown >> 20)));
    }
};

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
