#pragma once

#include <QWidget>
#include <array>
#include <future>

#include "Asker.h"
#include "Failure.h"
#include "GaugeSession.h"
#include "HandoverController.h"
#include "HandoverDisplay.h"
#include "MeasuringController.h"
#include "WizardFlow.h"

class ArchiveRecorder;
class Beeper;
class GaugePort;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class Registry;
class Shell;
class SoundPlayer;
class TComboBox;
class TF_MessageDlg;
class TF_MyShowMessage;
class TFittingLabel;
class TGlyphButton;
class TPageControl;
class TPanel;
class TSpinEdit;

// What the main window works with; main() passes the real ones, tests fakes.
struct TF_MainServices
{
    GaugePort *port = nullptr;
    Registry *registry = nullptr;
    SoundPlayer *player = nullptr;
    Beeper *beeper = nullptr;
    Shell *shell = nullptr;
    quint16 serverPort = HandoverServer::kDefaultPort;
    QString executableFolder;
    // Keeps each inspection in the archive; none: nothing is kept.
    ArchiveRecorder *archive = nullptr;
    // The gauge link's repair pause.
    int reconnectPauseMs = GaugeSession::kReconnectPauseMs;
    // How much of the handover traffic the last page's log keeps.
    int serverLogMaxLines = HandoverDisplay::kMaxLines;
    qsizetype serverLogMaxChars = HandoverDisplay::kMaxChars;
    // The maker's web address, as the build sets it: the footers name it and
    // link to it. None: they name the program only, and link nowhere.
    QString webAddress;
};

// The wizard's window: choose the points, connect to the gauge and measure,
// hand the readings over to the inspection program. The pages show what the
// flow and its two controllers hold and pass on what the person did; the
// handlers keep the names the behaviour is described by, as thin slots.
class TF_Main : public QWidget, private Asker
{
    Q_OBJECT

public:
    explicit TF_Main(const TF_MainServices &services, QWidget *parent = nullptr);
    ~TF_Main() override;

    // The two dialogs are created after the main window.
    void setDialogs(TF_MyShowMessage *info, TF_MessageDlg *question);

    // Callable from any thread; shows the message later on the window thread.
    void ShowInfo(const QString &message, const QString &description);
    // Asks without waiting; `answered` gets the answer once it is given.
    void AskYesNo(const QString &message, const QString &question, Answered answered);

    WizardPage activePage() const { return m_flow.page(); }
    const ReadingLog &readingLog() const { return m_measuring.log(); }
    MeasurementPlan &plan() { return m_flow.plan(); }
    const PlanPresets &presets() const { return m_flow.presets(); }
    HandoverServer &server() { return m_handover.server(); }
    bool handoverSent(int point) const { return m_handover.sent(point); }
    WizardFlow &flow() { return m_flow; }

public Q_SLOTS:
    // Plan (first page)
    void CLB_WhatToMeasClick();
    void CLB_WhatToMeasDblClick();
    void BB_UpClick();
    void BB_DownClick();
    void BB_SetAllClick();
    void BB_SetNoneClick();
    void BB_AlapSorrendClick();
    // Presets
    void CB_SaveChange();
    void CB_SaveCloseUp();
    void BB_SaveClick();
    void BB_DeleteClick();
    void SelectPlanForCategory(const QString &name);
    // Measuring page
    void CB_ActMeasNameChange();
    void BB_MeasStepForwardClick();
    void BB_MeasStepBackClick();
    void BB_MeasDeleteClick();
    void P_ActMeasValueDblClick();
    void P_ActMetalDblClick();
    void SE_KeziBevitelDblClick();
    // Gauge link
    void ComComboBox1Change(int index);
    void BB_ReconnectClick();
    void BB_AbortConnectClick();
    void BB_FindPortClick();
    void LB_KGListaClick();
    // Sound
    void CB_SoundChange(int index);
    void CB_SpeakNumChange(int index);
    // Wizard
    void BB_ConfigNextClick();
    void BB_MeasBackClick();
    void BB_MeasNextClick();
    void BB_SendBackClick();
    void BB_ConfigCancelClick();
    void BB_SendCancelClick();
    void PC_StepsChanging(bool &allowChange);
    void Label3Click();
    // The system's end: coming (the session may still be cancelled), or now.
    void sessionEnding();
    void endNow();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // A handler as the event loop runs it: a Failure that the handler does not
    // report itself ends it and is shown in the plain error box. Anything
    // else is a fault of the program and is not caught.
    template <typename R, typename... Args> auto handled(R (TF_Main::*handler)(Args...))
    {
        return [this, handler](Args... args) -> R {
            try {
                return (this->*handler)(args...);
            } catch (const Failure &f) {
                showErrorBox(f.text());
                return R();
            }
        };
    }
    // Asker
    void ask(const QString &message, const QString &question, Answered answered) override;
    void withdraw() override;
    // Start-up and shutdown
    void FormCreate();
    bool FormCloseQuery();
    void FormClose();
    // Hint time and Enter for the controls inside root, once they are built.
    void prepareControls(QWidget *root);
    void connectConfigHandlers();
    void connectFlow();
    void JavaAddonCheck();
    // Building the pages. The measuring and the handover page are built when
    // the wizard first moves towards them: until then nothing on them can be
    // seen, and the window starts with less to create and keep.
    void buildWindow();
    void buildConfigPage(QWidget *page);
    void buildMeasPage(QWidget *page);
    void buildSendPage(QWidget *page);
    void ensureMeasPage();
    void ensureSendPage();
    QLabel *makeWebLabel(QWidget *page, const QString &name, int top);
    // The banners over the point's description: no sound at all, the link lost.
    QLabel *makeNotice(const char *name, const QString &text, const QString &colours);
    void buildNotices();
    void showInaudible();
    // Showing the flow's state
    void showStage();
    void showRepair();
    void setPageOneInputsEnabled(bool enabled);
    void setSoundControlsVisible(bool visible);
    void reloadPresetNames();
    void showPorts();
    void showSoundChoice();
    // Plan and presets
    void planRowClicked(const QModelIndex &index);
    void planRowCurrent(const QModelIndex &index);
    void presetNameTyped();
    // Measuring
    void measuringPointPicked(int index);
    void showMeasuringList();
    void showPoint();
    void showReading();
    void readingAdded(const QString &line);
    void readingRemoved(int line, int selectAfter);
    void showSubstrate();
    void onLinkLost();
    void refillPorts();
    // Handover
    void setMeasurementStatus(int point, const QString &text, const QColor &color);
    void showMeasurementStatuses();
    void showHandoverStatus(int point);
    void connectArchive();
    // Dialogs
    void WMShowMessage(const QString &message, const QString &description);
    // The plain error box for failures no handler of their own reports; the
    // detail, if any, below the text.
    void showErrorBox(const QString &text, const QString &detail = {});

    TF_MainServices m_services;
    TF_MyShowMessage *m_info = nullptr;
    TF_MessageDlg *m_question = nullptr;

    GaugeSession m_gauge;
    MeasuringController m_measuring;
    HandoverController m_handover;
    WizardFlow m_flow;
    HandoverDisplay m_display;
    bool m_pageOneEnabled = true;
    bool m_toldInaudible = false;

    // The system's serial ports, listed on a thread of their own while the
    // window is built; the first refill takes them.
    std::future<QStringList> m_systemPorts;

    // Controls, named as the user-interface texts refer to them.
    TPageControl *PC_Steps = nullptr;
    QWidget *TS_Config = nullptr;
    QWidget *TS_Meas = nullptr;
    QWidget *TS_Send = nullptr;
    QPushButton *BB_SetAll = nullptr;
    QPushButton *BB_SetNone = nullptr;
    QListView *CLB_WhatToMeas = nullptr;
    TFittingLabel *L_WhatToMeasHint = nullptr;
    TComboBox *CB_Save = nullptr;
    QPushButton *BB_AlapSorrend = nullptr;
    QPushButton *BB_Save = nullptr;
    QPushButton *BB_Delete = nullptr;
    TGlyphButton *BB_Up = nullptr;
    TGlyphButton *BB_Down = nullptr;
    QComboBox *ComComboBox1 = nullptr;
    QLabel *L_Sound = nullptr;
    QComboBox *CB_Sound = nullptr;
    QLabel *L_SpeakNum = nullptr;
    QComboBox *CB_SpeakNum = nullptr;
    QLabel *L_KellMenu = nullptr;
    TGlyphButton *BB_AbortConnect = nullptr;
    QPushButton *BB_FindPort = nullptr;
    QListWidget *LB_KGLista = nullptr;
    TGlyphButton *BB_ConfigCancel = nullptr;
    TGlyphButton *BB_ConfigNext = nullptr;
    QLabel *Label3 = nullptr;

    QPushButton *BB_MeasStepBack = nullptr;
    QComboBox *CB_ActMeasName = nullptr;
    QPushButton *BB_MeasStepForward = nullptr;
    QLabel *P_ActMeasHint = nullptr;
    QPushButton *BB_MeasDelete = nullptr;
    QPushButton *BB_Reconnect = nullptr;
    QLabel *L_NoSound = nullptr;  // over the point's description: no sound can be heard
    QLabel *L_LinkLost = nullptr; // over it too, while the link is down
    QListWidget *LB_ActMeasValue = nullptr;
    TPanel *P_ActMetal = nullptr;
    TSpinEdit *SE_KeziBevitel = nullptr;
    TPanel *P_ActMeasValue = nullptr;
    TGlyphButton *BB_MeasBack = nullptr;
    TGlyphButton *BB_MeasCancel = nullptr;
    TGlyphButton *BB_MeasNext = nullptr;

    TGlyphButton *BB_SendBack = nullptr;
    QPlainTextEdit *M_ServerLog = nullptr;
    TGlyphButton *BB_SendCancel = nullptr;
    std::array<QLineEdit *, PointCatalogue::kPointCount> m_measurementStatus{};
    std::array<QLineEdit *, PointCatalogue::kPointCount> m_handoverStatus{};
};
