#pragma once

#include <QSet>
#include <QWidget>
#include <array>
#include <future>

#include "BeepWorker.h"
#include "Failure.h"
#include "FeedbackSounds.h"
#include "GaugeSession.h"
#include "HandoverDisplay.h"
#include "HandoverServer.h"
#include "MeasurementPlan.h"
#include "MeasuringList.h"
#include "PlanPresets.h"
#include "ReadingLog.h"
#include "WizardPage.h"

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
};

// The wizard: choose the points, connect to the gauge and measure, hand the
// readings over to the inspection program.
class TF_Main : public QWidget
{
    Q_OBJECT

public:
    static inline const QString kWebAddress = QStringLiteral("https://www.kromaglen.example");

    explicit TF_Main(const TF_MainServices &services, QWidget *parent = nullptr);
    ~TF_Main() override;

    // The two dialogs are created after the main window.
    void setDialogs(TF_MyShowMessage *info, TF_MessageDlg *question);

    // Callable from any thread; shows the message later on the window thread.
    void ShowInfo(const QString &message, const QString &description);
    int AskYesNo(const QString &message, const QString &question);

    WizardPage activePage() const;
    const ReadingLog &readingLog() const { return m_log; }
    MeasurementPlan &plan() { return m_plan; }
    const PlanPresets &presets() const { return m_presets; }
    HandoverServer &server() { return m_server; }
    bool handoverSent(int point) const { return m_sent.at(size_t(point)); }

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
    void ComComboBox1Change();
    void BB_ReconnectClick();
    void BB_AbortConnectClick();
    void BB_FindPortClick();
    void LB_KGListaClick();
    // Sound
    void CB_SoundChange();
    void CB_SpeakNumChange();
    // Wizard
    void BB_ConfigNextClick();
    void BB_MeasBackClick();
    void BB_MeasNextClick();
    void BB_SendBackClick();
    void BB_ConfigCancelClick();
    void BB_SendCancelClick();
    void PC_StepsChanging(bool &allowChange);
    void Label3Click();

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
    // Start-up and shutdown
    void FormCreate();
    bool FormCloseQuery();
    void FormClose();
    // Hint time and Enter for the controls inside root, once they are built.
    void prepareControls(QWidget *root);
    void connectConfigHandlers();
    void JavaAddonCheck();
    void LoadStoredPort();
    void LoadPresetsFile();
    void LoadSoundOptions();
    void StartServerAtStartup();
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
    void buildLinkLostNotice();
    // Plan and presets
    void planRowClicked(const QModelIndex &index);
    void planRowCurrent(const QModelIndex &index);
    void ApplyPreset(int position);
    void reloadPresetNames(const QString &text);
    void saveAutoPresetIfNamed();
    // Measuring
    void measuringPointPicked(int index);
    void RecordReading(Substrate substrate, int value);
    // Records a reading on the current point, shows it in the list and
    // confirms it with its sound.
    void recordReading(Reading reading);
    // The substrate panel; typed readings take the substrate it shows.
    void showSubstrate(Substrate substrate);
    // spokenValue: the value a MeasurementOk says when values are spoken.
    void RaiseFeedback(FeedbackEvent event, const QString &spokenValue = QString());
    int currentPoint() const;
    void showMeasuringList();
    // Gauge link: the session's frames by route, and what it reports
    void ComPort1RxChar_GetMenu(const GaugeFrame &frame);
    void ComPort1RxChar(const GaugeFrame &frame);
    void connectGaugeSession();
    void onLinkLost();
    void showCloseFailure(const QString &reason);
    void refillPorts();
    void selectPort(int index);
    void setPageOneInputsEnabled(bool enabled);
    void setSoundControlsVisible(bool visible);
    // Handover
    void IdTCPServer1Connect(const QString &peer);
    std::optional<HandoverReply> IdTCPServer1Execute(const QString &line);
    // A point's reply has reached the connection: the point is sent.
    void replyWritten(int point);
    void IdTCPServer1Disconnect(const QString &peer);
    // The server's traffic, shown in batches, and the window's own lines.
    void appendTrafficLog(const QString &line);
    void appendLog(const QString &line);
    void setMeasurementStatus(int point, const QString &text, const QColor &color);
    void setHandoverStatus(int point, bool sent);
    // Fills the last page's measurement and handover status fields from the
    // reading log; false when a chosen point has no reading.
    bool showMeasurementStatuses();
    void showHandoverStatus(int point);
    // The inspection archive (KromaglenForZov_M_archive.cpp)
    void connectArchive();
    // The last reading of the point's log.
    void archiveDiscarded();
    void archiveCategory(const QString &category);
    void archiveSent(int point);
    void archiveInspection();
    // Dialogs
    void WMShowMessage(const QString &message, const QString &description);
    // The plain error box for failures no handler of their own reports; the
    // detail, if any, below the text.
    void showErrorBox(const QString &text, const QString &detail = {});
    // Names the presets file a failed save or removal could not write.
    QString presetsFileFailure() const;
    void tellUnplayable(const QString &path);
    void setActivePage(WizardPage page);

    TF_MainServices m_services;
    TF_MyShowMessage *m_info = nullptr;
    TF_MessageDlg *m_question = nullptr;

    MeasurementPlan m_plan;
    PlanPresets m_presets;
    ReadingLog m_log;
    MeasuringList m_measuring;
    GaugeSession m_gauge;
    HandoverServer m_server;
    BeepWorker m_beepWorker;
    FeedbackSounds m_sounds;
    HandoverDisplay m_display;
    std::array<bool, PointCatalogue::kPointCount> m_sent{};
    Substrate m_substrate = Substrate::FE; // what P_ActMetal shows
    // "Tovább" saves the plan twice: a failure is shown once per click.
    bool m_oneSaveFailureBox = false;
    // Said once: no sound output at all; each recording that cannot be played.
    bool m_toldInaudible = false;
    QSet<QString> m_toldUnplayable;
    bool m_saveFailureShown = false;

    // The system's serial ports, listed on a thread of their own while the
    // window is built; the first refill takes them.
    std::future<QStringList> m_systemPorts;
    QStringList m_ports;

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
    QLabel *L_LinkLost = nullptr; // over the point's description while the link is down
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
