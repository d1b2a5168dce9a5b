// Renders each wizard page and both dialogs to PNG files, driving the window
// with a simulated gauge: kfz-screenshots <output folder>. Runs in a scratch
// working folder; run it on a real display (Xvfb) to get the real fonts.
#include "FakeStation.h"
#include "KromaglenForZov_MD.h"
#include "KromaglenForZov_SM.h"
#include "WizardWindows.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString out =
        argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath() : QDir::currentPath();
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());

    FakeStation station("[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"a\"=\"COM6\"\n");
    const WizardWindows wizard = showWizard(station.services(scratch.path()));
    TF_Main &window = *wizard.main;
    TF_MyShowMessage &info = *wizard.info;
    TF_MessageDlg &question = *wizard.question;
    FakeGaugePort &port = station.port;
    QCoreApplication::processEvents();

    // Questions and the connect wait are answered by later events.
    const auto until = [](const auto &done) {
        while (!done())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    };
    const auto grab = [&](const QString &name) {
        QCoreApplication::processEvents();
        window.grab().save(out + u'/' + name);
    };
    // A few points left out, so the summary shows every kind of status.
    for (int row : {1, 5, 16, 20})
        window.plan().toggleTick(row);
    grab(QStringLiteral("page1.png"));
    QTimer::singleShot(50, &window, [&] {
        grab(QStringLiteral("page1-connecting.png"));
        port.feed(",ME");
    });
    window.findChild<QPushButton *>(QStringLiteral("BB_ConfigNext"))->click();
    until([&] { return window.activePage() == WizardPage::Meas; });
    port.feed(QByteArray(",FE\x7B\x00", 5));
    port.feed(QByteArray(",AL\xD2\x04", 5)); // 1234: four digits fill the value panel
    grab(QStringLiteral("page2.png"));
    QTimer::singleShot(50, &window, [&] {
        question.grab().save(out + QStringLiteral("/question.png"));
        question.accept();
    });
    window.findChild<QPushButton *>(QStringLiteral("BB_MeasNext"))->click();
    until([&] { return window.activePage() == WizardPage::Send; });
    grab(QStringLiteral("page3.png"));
    info.DisplayMessage(QStringLiteral("A kapcsolódás a Kromaglen-hez nem sikerült! Oka: EComPort: "
                                       "Unable to open com port (win error code: 2))"),
                        QStringLiteral("A hiba lehetséges okai:\r\r- Nem kapcsolta be a "
                                       "Kromaglen-et."));
    QCoreApplication::processEvents();
    info.grab().save(out + QStringLiteral("/info.png"));
    return 0;
}
