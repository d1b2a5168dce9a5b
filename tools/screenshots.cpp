// Renders each wizard page, both dialogs and the archive window to PNG files,
// driving the wizard with a simulated gauge and showing the archive window
// over made-up inspections: kfz-screenshots <output folder>. Runs in scratch
// working folders; run it on a real display (Xvfb) to get the real fonts.
// kfz-screenshots --screen FILE takes a picture of the whole screen instead
// (to look at a program running on a virtual X server).
#include "ArchiveDatabase.h"
#include "ArchiveSampler.h"
#include "ArchiveStore.h"
#include "ArchiveWindow.h"
#include "FakeStation.h"
#include "KromaglenForZov_MD.h"
#include "KromaglenForZov_SM.h"
#include "WizardWindows.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Runs the events until done() holds or a few seconds have passed.
template <typename Done> bool settle(Done done)
{
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

// The archive window over a new archive of the last two months, the newest
// inspection chosen.
bool grabArchiveWindow(const QString &file)
{
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    {
        ArchiveDatabase db{ArchiveLocation{}};
        db.open();
        ArchiveStore store(db);
        ArchiveSampler sampler;
        const QDateTime first = QDateTime::currentDateTimeUtc().addDays(-60);
        QList<Inspection> inspections;
        for (int n = 0; n < 120; ++n)
            inspections.append(sampler.next(first.addSecs(qint64(n) * 60 * 60 * 12)));
        store.storeAll(inspections);
    }
    ArchiveWindow window(ArchiveSettings::read(ArchiveSettings::kFileName),
                         ArchiveSettings::kFileName);
    window.show();
    auto *list = window.findChild<QTableView *>(QStringLiteral("TV_Inspections"));
    if (!list || !settle([&] { return list->model()->rowCount() > 0; }))
        return false;
    list->selectRow(0);
    if (!settle([&] { return window.shownInspection().has_value(); }))
        return false;
    QCoreApplication::processEvents();
    return window.grab().save(file);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--screen") == 0)
        return QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[2]))
                   ? 0
                   : 1;
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
    return grabArchiveWindow(out + QStringLiteral("/archive-window.png")) ? 0 : 1;
}
