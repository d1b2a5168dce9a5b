#include "ArchiveJournal.h"
#include "ArchiveRecorder.h"
#include "ArchiveSettings.h"
#include "EndNotice.h"
#include "EndRequests.h"
#include "EventLog.h"
#include "KromaglenForZov_SM.h"
#include "ProcessLimits.h"
#include "Registry.h"
#include "SerialGaugePort.h"
#include "SoundModule.h"
#include "SystemShell.h"
#include "ToneBeeper.h"
#include "WavPlayer.h"
#include "WinBeeper.h"
#include "WizardWindows.h"

#include <QApplication>
#include <QIcon>
#include <QImageReader>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#ifdef KFZ_TEST_HOOK
#include "TestHook.h"
#endif

#ifdef Q_OS_WIN
#include <cstdio>
#include <windows.h>
#endif

namespace {

int run(int argc, char *argv[])
{
    // Hungarian number and text handling; dates are written with
    // DateFormat::kShort, not with this locale's short format.
    QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
    ProcessLimits::raiseDescriptorLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KromaglenForZov"));
    // Read as the PNG it is: a reader left to detect the format loads every
    // image format plugin (JPEG, GIF, ICO and their libraries) to ask them first.
    QImageReader iconReader(QStringLiteral(":/icons/kromaglenforzov.png"), "png");
    iconReader.setAutoDetectImageFormat(false);
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(iconReader.read())));
    // The Linux launcher's way to tell a user who started the program from
    // the desktop's menu why it cannot start; nothing else is done.
    if (argc == 3 && qstrcmp(argv[1], "--launcher-error") == 0) {
        QMessageBox::critical(nullptr, QStringLiteral("KromaglenForZov"),
                              QString::fromLocal8Bit(argv[2]));
        return 1;
    }

    SerialGaugePort port;
    const std::unique_ptr<Registry> registry = Registry::system();
    // The sound card is reached through a module loaded with the first sound.
    SoundModule soundModule(QCoreApplication::applicationDirPath());
    WavPlayer player(soundModule.output());
#ifdef Q_OS_WIN
    WinBeeper beeper;
#else
    ToneBeeper beeper(soundModule);
#endif
    SystemShell shell;
    // The archive writes on a thread of its own and finishes after the window,
    // waiting a few seconds at most: the journal keeps what it could not store.
    const ArchiveSettings archiveSettings = ArchiveSettings::read(ArchiveSettings::kFileName);
    ArchiveRecorder archive(archiveSettings.usableLocation(nullptr), ArchiveJournal::kFolder,
                            archiveSettings.wizardNotice());
    archive.setSettingsPath(ArchiveSettings::kFileName);
    EventLog log(EventLog::kFileName, QStringLiteral("KromaglenForZov")); // for the IT person
    QObject::connect(&archive, &ArchiveRecorder::logged, &log, &EventLog::write);

    TF_MainServices services;
    services.port = &port;
    services.registry = registry.get();
    services.player = &player;
    services.beeper = &beeper;
    services.shell = &shell;
    services.executableFolder = QCoreApplication::applicationDirPath();
    services.archive = &archive;
    services.webAddress = QStringLiteral(KFZ_WEB_ADDRESS);
#ifdef KFZ_TEST_HOOK
    // The test build listens where the test says, so tests can run side by side.
    if (qEnvironmentVariableIsSet("KROMAGLEN_TEST_PORT"))
        services.serverPort = quint16(qEnvironmentVariableIntValue("KROMAGLEN_TEST_PORT"));
#endif

    const WizardWindows wizard = showWizard(services);
    // The system's end (signals, the session, the console) keeps what there
    // is and ends without a question.
    EndRequests endRequests;
    QObject::connect(&endRequests, &EndRequests::endComing, wizard.main.get(),
                     &TF_Main::sessionEnding);
    QObject::connect(&endRequests, &EndRequests::endRequested, wizard.main.get(),
                     [&log, main = wizard.main.get()](const QString &why) {
                         log.write(QStringLiteral("A program leáll: ") + why);
                         main->endNow();
                     });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, wizard.main.get(),
                     &TF_Main::sessionEnding);
#ifdef KFZ_TEST_HOOK
    TestHook hook(*wizard.main, *wizard.question, *wizard.info);
#endif
    const int code = app.exec();
    const ArchiveRecorder::Finish finish = archive.finish(ArchiveRecorder::kCloseWaitMs);
    if (!finish.allStored()) {
        log.write(EndNotice::text(finish));
        // Told to a person who closed the wizard; at the system's end no box
        // may hold the program up.
        const WizardFlow &flow = wizard.main->flow();
        if (flow.closing() && !flow.endedBySystem()) {
            wizard.info->hide(); // the box is not to stand behind an older message
            EndNotice::show(finish);
        }
    }
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    const int code = run(argc, argv);
#ifdef Q_OS_WIN
    // Everything is stored and closed by now. ExitProcess would first kill
    // the threads the libraries still run (Qt's serial port completion
    // thread and thread pool, COM's) wherever they are, and then run every
    // library's unloading code, which can wait for ever for a lock one of
    // them held: under Wine libstdc++'s waited for the heap's, after a
    // session's end and a start that took the inspection back. Nothing is
    // left for that code to do: the process ends here.
    std::fflush(nullptr);
    ::TerminateProcess(::GetCurrentProcess(), UINT(code));
#endif
    return code;
}
