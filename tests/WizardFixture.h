#pragma once

#include "FakeStation.h"
#include "KromaglenForZov_MD.h"
#include "KromaglenForZov_SM.h"
#include "WizardWindows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

// A wizard window with fake link, sound and shell, started in a fresh
// working folder that holds the given files and folders.
struct WizardFixture : FakeStation
{
    using Files = QList<std::pair<QString, QByteArray>>;

    // A tenth of the program's server log: a flood fills it ten times sooner.
    static constexpr int kServerLogMaxLines = HandoverDisplay::kMaxLines / 10;
    static constexpr qsizetype kServerLogMaxChars = HandoverDisplay::kMaxChars / 10;

    // Folders may stand where files would be; a gauge link of the test's own
    // (a real serial port) may stand in for the fake one; an archive
    // recorder of the test's own may follow the inspection.
    explicit WizardFixture(const Files &files = {}, const QByteArray &registryFile = kRegistry,
                           quint16 serverPort = 0, const QStringList &folders = {},
                           GaugePort *gauge = nullptr, ArchiveRecorder *recorder = nullptr)
        : FakeStation(registryFile)
    {
        archive = recorder;
        QDir::setCurrent(dir.path());
        for (const auto &[name, content] : files)
            write(name, content);
        for (const QString &name : folders)
            QDir(dir.path()).mkdir(name);
        TF_MainServices s = services(dir.path(), serverPort, gauge);
        s.serverLogMaxLines = kServerLogMaxLines;
        s.serverLogMaxChars = kServerLogMaxChars;
        WizardWindows windows = showWizard(s);
        window = std::move(windows.main);
        info = windows.info;
        question = windows.question;
        window->installEventFilter(&posted);
        QCoreApplication::processEvents();
    }

    ~WizardFixture()
    {
        window.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    void write(const QString &name, const QByteArray &content) const
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
    }

    QByteArray read(const QString &name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    template <typename T = QWidget> T *w(const char *name) const
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    // Clicks, then lets what the click began run its course: an answered
    // question, a connect wait, a repair.
    void click(const char *name) const
    {
        QTest::mouseClick(w<QPushButton>(name), Qt::LeftButton);
        settle();
    }
    void close() const
    {
        window->close();
        settle();
    }
    void settle() const
    {
        using Stage = WizardFlow::Stage;
        const WizardFlow &flow = window->flow();
        QTRY_VERIFY(!flow.asking() && !flow.summarising() && !flow.repairing() &&
                    flow.stage() != Stage::Opening && flow.stage() != Stage::Connecting);
    }

    // Answers the next question dialog; records its question text.
    void answerNext(bool yes)
    {
        auto *timer = new QTimer(window.get());
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, window.get(), [this, timer, yes] {
            if (!question->isVisible())
                return;
            timer->stop();
            timer->deleteLater();
            askedMessages.append(
                question->findChild<QLabel *>(QStringLiteral("L_Message"))->text());
            asked.append(question->findChild<QLabel *>(QStringLiteral("L_Question"))->text());
            question
                ->findChild<QPushButton *>(yes ? QStringLiteral("BB_Yes") : QStringLiteral("BB_No"))
                ->click();
        });
        timer->start();
    }

    // Delivers posted information messages.
    QString shownMessage() const
    {
        QCoreApplication::processEvents();
        return info->isVisible() ? info->message() : QString();
    }

    // Runs action once the connect wait runs (its abort button shows).
    void duringConnectWait(std::function<void()> action)
    {
        auto *timer = new QTimer(window.get());
        timer->setInterval(1);
        QObject::connect(timer, &QTimer::timeout, window.get(), [this, timer, action] {
            if (!w<QPushButton>("BB_AbortConnect")->isVisible())
                return;
            timer->stop();
            timer->deleteLater();
            action();
            // A failed check inside leaves the wait: end it so the test ends.
            if (QTest::currentTestFailed())
                w<QPushButton>("BB_AbortConnect")->click();
        });
        timer->start();
    }

    // Presses "Tovább" on page 1 and sends the gauge's key once the wait runs.
    void connectWithKey()
    {
        duringConnectWait([this] { port.feed(",ME"); });
        click("BB_ConfigNext");
        QTRY_COMPARE(window->activePage(), WizardPage::Meas);
    }

    // From the first page to the last with nothing measured, the
    // incompleteness accepted; the measuring and the handover page are built
    // on the way.
    void toHandoverPage()
    {
        connectWithKey();
        answerNext(true);
        click("BB_MeasNext");
    }

    // Counts the information messages posted to the window (its only
    // private events).
    struct PostedMessages : QObject
    {
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() >= QEvent::User)
                ++count;
            return false;
        }
        int count = 0;
    };

    QTemporaryDir dir;
    PostedMessages posted;
    std::unique_ptr<TF_Main> window;
    TF_MyShowMessage *info = nullptr;
    TF_MessageDlg *question = nullptr;
    QStringList asked;         // each question's question text
    QStringList askedMessages; // and its message (line breaks as "\n")
};
