#include "KromaglenForZov_M.h"

#include "Failure.h"
#include "GaugePort.h"
#include "JavaAddonCheck.h"
#include "KromaglenForZov_MD.h"
#include "KromaglenForZov_SM.h"
#include "Messages.h"
#include "PortList.h"
#include "Shell.h"
#include "SoundPlayer.h"
#include "Widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>

namespace {

// ShowInfo's message to the window thread, the private window message 31109;
// the event owns the two texts.
class TShowMessage : public QEvent
{
public:
    static constexpr int kShowMessageWindowMessage = 31109;
    static inline const QEvent::Type kType =
        QEvent::Type(QEvent::registerEventType(kShowMessageWindowMessage));

    TShowMessage(QString message, QString description)
        : QEvent(kType), message(std::move(message)), description(std::move(description))
    {
    }
    QString message;
    QString description;
};

constexpr int kHintPauseMs = 99999999;
const QString kPresetsFile = QStringLiteral("Kromaglen.ini");

} // namespace

TF_Main::TF_Main(const TF_MainServices &services, QWidget *parent)
    : QWidget(parent), m_services(services), m_gauge(*services.port),
      m_measuring(m_gauge, *services.player, *services.beeper),
      m_handover(services.serverPort, m_measuring.log(), [this] { return m_flow.page(); }),
      m_flow(m_gauge, m_measuring, m_handover, *this, services.archive, kPresetsFile),
      m_display(services.serverLogMaxLines, services.serverLogMaxChars,
                [this](int point) { showHandoverStatus(point); }),
      m_systemPorts(std::async(std::launch::async, &PortList::systemPorts))
{
    m_gauge.setReconnectPauseMs(services.reconnectPauseMs);
    m_gauge.setHandlers(
        [this](const GaugeFrame &frame) { m_measuring.ComPort1RxChar_GetMenu(frame); },
        [this](const GaugeFrame &frame) { m_measuring.ComPort1RxChar(frame); });
    buildWindow();
    FormCreate();
    connectArchive();
}

TF_Main::~TF_Main()
{
    FormClose();
    // The controls outlive the members they report to: silence them first.
    for (QObject *child : findChildren<QObject *>())
        child->disconnect(this);
    CLB_WhatToMeas->setModel(nullptr);
}

void TF_Main::setDialogs(TF_MyShowMessage *info, TF_MessageDlg *question)
{
    m_info = info;
    m_question = question;
}

// ---------------------------------------------------------------- start-up

void TF_Main::FormCreate()
{
    prepareControls(this);
    PC_Steps->setActivePage(int(WizardPage::Config));
    const int tabHeight = TPageControl::kTabHeight;
    setFixedSize(914, tabHeight + Label3->y() + Label3->height() + 5);
    PC_Steps->setGeometry(rect());

    connectConfigHandlers();
    connectFlow();

    plan().setHighlighted(0);
    CLB_WhatToMeasClick();
    CB_SaveChange();
    JavaAddonCheck();
    try {
        refillPorts();
    } catch (const Failure &f) {
        showErrorBox(f.text()); // the list stays empty
    }
    m_flow.selectPort(PortList::find(m_flow.ports(), m_services.port->portName()));
    m_flow.LoadStoredPort();
    m_flow.LoadPresetsFile();
    CB_SaveChange();
    m_measuring.loadSoundOptions();
    m_handover.StartServerAtStartup();
    BB_SetAll->setFocus();
    // The focus is shown from the start: Enter presses the focused button.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void TF_Main::prepareControls(QWidget *root)
{
    // A tool-tip stays up for as long as the mouse stays on its control.
    for (QWidget *w : root->findChildren<QWidget *>())
        w->setToolTipDuration(kHintPauseMs);
    // Enter presses the button that has the focus, as Space does.
    for (QPushButton *button : root->findChildren<QPushButton *>())
        pressWithEnter(button);
}

void TF_Main::connectConfigHandlers()
{
    connect(PC_Steps, &TPageControl::changing, this, handled(&TF_Main::PC_StepsChanging));
    connect(CLB_WhatToMeas, &QListView::clicked, this, handled(&TF_Main::planRowClicked));
    connect(CLB_WhatToMeas->selectionModel(), &QItemSelectionModel::currentChanged, this,
            handled(&TF_Main::planRowCurrent));
    connect(CLB_WhatToMeas, &QListView::doubleClicked, this,
            handled(&TF_Main::CLB_WhatToMeasDblClick));
    connect(&plan(), &MeasurementPlan::highlightChanged, this,
            [this](int row) { CLB_WhatToMeas->setCurrentIndex(plan().index(row)); });
    connect(&plan(), &QAbstractItemModel::modelReset, this, &TF_Main::CLB_WhatToMeasClick);
    const auto onClick = [this](QPushButton *button, void (TF_Main::*handler)()) {
        connect(button, &QPushButton::clicked, this, handled(handler));
    };
    onClick(BB_Up, &TF_Main::BB_UpClick);
    onClick(BB_Down, &TF_Main::BB_DownClick);
    onClick(BB_SetAll, &TF_Main::BB_SetAllClick);
    onClick(BB_SetNone, &TF_Main::BB_SetNoneClick);
    onClick(BB_AlapSorrend, &TF_Main::BB_AlapSorrendClick);
    onClick(BB_Save, &TF_Main::BB_SaveClick);
    onClick(BB_Delete, &TF_Main::BB_DeleteClick);
    onClick(BB_AbortConnect, &TF_Main::BB_AbortConnectClick);
    onClick(BB_FindPort, &TF_Main::BB_FindPortClick);
    onClick(BB_ConfigCancel, &TF_Main::BB_ConfigCancelClick);
    onClick(BB_ConfigNext, &TF_Main::BB_ConfigNextClick);
    connect(CB_Save, &QComboBox::editTextChanged, this, handled(&TF_Main::presetNameTyped));
    connect(CB_Save, &TComboBox::closeUp, this, handled(&TF_Main::CB_SaveCloseUp));
    // Any change of the list's selection is the port the link opens; a pick
    // of the person's is also stored.
    connect(ComComboBox1, &QComboBox::currentIndexChanged, &m_flow, &WizardFlow::selectPort);
    connect(ComComboBox1, &QComboBox::activated, this, handled(&TF_Main::ComComboBox1Change));
    connect(CB_Sound, &QComboBox::activated, this, handled(&TF_Main::CB_SoundChange));
    connect(CB_SpeakNum, &QComboBox::activated, this, handled(&TF_Main::CB_SpeakNumChange));
    connect(LB_KGLista, &QListWidget::itemClicked, this, handled(&TF_Main::LB_KGListaClick));
}

void TF_Main::ensureMeasPage()
{
    if (BB_MeasBack)
        return;
    buildMeasPage(TS_Meas);
    buildNotices();
    prepareControls(TS_Meas);
    const auto onClick = [this](QPushButton *button, void (TF_Main::*handler)()) {
        connect(button, &QPushButton::clicked, this, handled(handler));
    };
    onClick(BB_MeasStepBack, &TF_Main::BB_MeasStepBackClick);
    onClick(BB_MeasStepForward, &TF_Main::BB_MeasStepForwardClick);
    onClick(BB_MeasDelete, &TF_Main::BB_MeasDeleteClick);
    onClick(BB_Reconnect, &TF_Main::BB_ReconnectClick);
    onClick(BB_MeasBack, &TF_Main::BB_MeasBackClick);
    onClick(BB_MeasCancel, &TF_Main::BB_ConfigCancelClick);
    onClick(BB_MeasNext, &TF_Main::BB_MeasNextClick);
    connect(CB_ActMeasName, &QComboBox::activated, this, handled(&TF_Main::measuringPointPicked));
    connect(P_ActMeasValue, &TPanel::doubleClicked, this,
            handled(&TF_Main::P_ActMeasValueDblClick));
    connect(P_ActMetal, &TPanel::doubleClicked, this, handled(&TF_Main::P_ActMetalDblClick));
    SE_KeziBevitel->findChild<QLineEdit *>()->installEventFilter(this);
    connect(&m_gauge, &GaugeSession::linkUp, L_LinkLost, &QWidget::hide);
    showStage();
}

void TF_Main::ensureSendPage()
{
    if (M_ServerLog)
        return;
    buildSendPage(TS_Send);
    prepareControls(TS_Send);
    connect(BB_SendBack, &QPushButton::clicked, this, handled(&TF_Main::BB_SendBackClick));
    connect(BB_SendCancel, &QPushButton::clicked, this, handled(&TF_Main::BB_SendCancelClick));
    // The server's lines since start-up have waited for the log.
    m_display.setLog(M_ServerLog);
    showStage();
}

void TF_Main::JavaAddonCheck()
{
    if (!JavaAddon::applies(*m_services.registry))
        return;
    const JavaAddonStatus status = JavaAddon::check(*m_services.registry);
    // A setup program that is not there is named, rather than handed to the
    // shell, which would answer with a system error box.
    const QString setup = JavaAddon::setupProgramPath(m_services.executableFolder);
    const bool setupMissing = !status.addonPresent && !QFileInfo(setup).isFile();
    const QString missingSetup =
        QStringLiteral("A kiegészítő telepítő programja nem található: %1\r\rTelepítse újra a "
                       "KromaglenForZov programot!")
            .arg(setup);
    if (!status.runtimeFound) {
        QString description = QStringLiteral("A ZOV program használatához szükséges JAVA futtatási "
                                             "környezetet még nem telepítette!");
        if (setupMissing)
            description += QStringLiteral("\r\r") + missingSetup;
        ShowInfo(QStringLiteral("JAVA futtatási környezet nem található!"), description);
    } else if (setupMissing) {
        ShowInfo(QStringLiteral("A ZOV program Kromaglen kiegészítője (KromaglenForZov.jar) nincs "
                                "telepítve!"),
                 missingSetup);
    }
    if (!status.addonPresent && !setupMissing)
        m_services.shell->runElevated(setup);
}

void TF_Main::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        centreOnScreen(this);
}

// ---------------------------------------------------------------- shutdown

void TF_Main::closeEvent(QCloseEvent *event)
{
    // The session's end closes the windows: nothing is asked then.
    if (m_flow.sessionEnding())
        m_flow.endNow();
    if (m_flow.closing()) {
        event->accept();
        FormClose();
        return;
    }
    event->ignore();
    FormCloseQuery();
}

void TF_Main::sessionEnding()
{
    m_flow.keepForEnd();
}

void TF_Main::endNow()
{
    m_flow.endNow();
    // At once: the system may end the process when this handler returns.
    close();
}

bool TF_Main::FormCloseQuery()
{
    m_flow.FormCloseQuery();
    return m_flow.closing();
}

void TF_Main::FormClose()
{
    if (m_gauge.isShutDown())
        return;
    m_flow.FormClose();
    m_services.player->close();
}

// ---------------------------------------------------------------- dialogs

void TF_Main::ShowInfo(const QString &message, const QString &description)
{
    QCoreApplication::postEvent(this, new TShowMessage(message, description));
}

bool TF_Main::event(QEvent *event)
{
    if (event->type() == TShowMessage::kType) {
        auto *m = static_cast<TShowMessage *>(event);
        WMShowMessage(m->message, m->description);
        return true;
    }
    return QWidget::event(event);
}

void TF_Main::showErrorBox(const QString &text, const QString &detail)
{
    auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Kromaglen"), text,
                                QMessageBox::Ok, this);
    box->setInformativeText(detail);
    box->setObjectName(QStringLiteral("ErrorBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void TF_Main::WMShowMessage(const QString &message, const QString &description)
{
    if (m_info)
        m_info->DisplayMessage(message, description,
                               m_question && m_question->isVisible() ? m_question : nullptr);
}

void TF_Main::AskYesNo(const QString &message, const QString &question, Answered answered)
{
    if (!m_question) {
        answered(Answer::Cancel);
        return;
    }
    m_question->AskYesNo(message, question, [this, answered](Answer answer) {
        if (m_info)
            m_info->questionClosed();
        answered(answer);
    });
}

void TF_Main::ask(const QString &message, const QString &question, Answered answered)
{
    AskYesNo(message, question, std::move(answered));
}

void TF_Main::withdraw()
{
    if (m_question)
        m_question->withdraw();
}

void TF_Main::PC_StepsChanging(bool &allowChange)
{
    allowChange = false;
}

bool TF_Main::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const QString name = watched->objectName();
        if (name == u"Label3" || name == u"Label4" || name == u"Label5")
            handled (&TF_Main::Label3Click)();
        else if (watched == L_NoSound)
            L_NoSound->hide();
    } else if (event->type() == QEvent::MouseButtonDblClick && SE_KeziBevitel &&
               watched == SE_KeziBevitel->findChild<QLineEdit *>()) {
        handled (&TF_Main::SE_KeziBevitelDblClick)();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TF_Main::Label3Click()
{
    if (!m_services.webAddress.isEmpty())
        m_services.shell->openUrl(m_services.webAddress);
}
