// Moving between the wizard's pages: the buttons pass on to the flow, and the
// pages show the stage it is in.
#include "KromaglenForZov_M.h"

#include "Widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kLime(0, 255, 0);
const QColor kWhite(255, 255, 255);

// A status field's state is its text and its background colour.
void showStatus(QLineEdit *field, const QString &text, const QColor &color)
{
    field->setStyleSheet(
        QStringLiteral("QLineEdit { background-color: %1; color: black; border: 1px solid gray; "
                       "padding: 0px; }")
            .arg(color.name()));
    field->setText(text);
    field->setCursorPosition(0);
}

} // namespace

void TF_Main::connectFlow()
{
    connect(&m_flow, &WizardFlow::stageChanged, this, &TF_Main::showStage);
    connect(&m_flow, &WizardFlow::repairChanged, this, &TF_Main::showRepair);
    connect(&m_flow, &WizardFlow::presetsChanged, this, &TF_Main::reloadPresetNames);
    connect(&m_flow, &WizardFlow::presetNameChanged, this, [this] {
        CB_Save->setEditText(m_flow.presetName());
        CB_SaveChange();
    });
    connect(&m_flow, &WizardFlow::planApplied, this, &TF_Main::CLB_WhatToMeasClick);
    connect(&m_flow, &WizardFlow::portsChanged, this, &TF_Main::showPorts);
    connect(&m_flow, &WizardFlow::portSelected, this, [this] {
        const QSignalBlocker blocker(ComComboBox1);
        ComComboBox1->setCurrentIndex(m_flow.portIndex());
    });
    connect(&m_flow, &WizardFlow::summaryChanged, this, &TF_Main::showMeasurementStatuses);
    connect(&m_flow, &WizardFlow::manualEntryHidden, this, [this] {
        if (SE_KeziBevitel)
            SE_KeziBevitel->hide();
    });
    connect(&m_flow, &WizardFlow::closeWindow, this, &QWidget::close, Qt::QueuedConnection);
    connect(&m_flow, &WizardFlow::info, this, &TF_Main::ShowInfo);
    connect(&m_flow, &WizardFlow::errorBox, this, &TF_Main::showErrorBox);

    connect(&m_measuring, &MeasuringController::listFilled, this, &TF_Main::showMeasuringList);
    connect(&m_measuring, &MeasuringController::pointShown, this, &TF_Main::showPoint);
    connect(&m_measuring, &MeasuringController::readingShown, this, &TF_Main::showReading);
    connect(&m_measuring, &MeasuringController::readingAdded, this, &TF_Main::readingAdded);
    connect(&m_measuring, &MeasuringController::readingRemoved, this, &TF_Main::readingRemoved);
    connect(&m_measuring, &MeasuringController::substrateShown, this, &TF_Main::showSubstrate);
    connect(&m_measuring, &MeasuringController::soundChoiceShown, this, &TF_Main::showSoundChoice);
    connect(&m_measuring, &MeasuringController::info, this, &TF_Main::ShowInfo);
    connect(&m_measuring, &MeasuringController::errorBox, this,
            [this](const QString &text) { showErrorBox(text); });
    connect(&m_measuring, &MeasuringController::inaudible, this, &TF_Main::showInaudible);

    connect(&m_handover, &HandoverController::trafficLine, &m_display,
            &HandoverDisplay::appendLater);
    connect(&m_handover, &HandoverController::logLine, &m_display, &HandoverDisplay::append);
    connect(&m_handover, &HandoverController::statusChanged, this, [this](int point, bool later) {
        if (later)
            m_display.showStatusLater(point);
        else
            showHandoverStatus(point);
    });
    connect(&m_handover, &HandoverController::info, this, &TF_Main::ShowInfo);
    connect(&m_handover, &HandoverController::errorBox, this,
            [this](const QString &text) { showErrorBox(text); });

    connect(&m_gauge, &GaugeSession::linkLost, this, &TF_Main::onLinkLost);
}

void TF_Main::showStage()
{
    using Stage = WizardFlow::Stage;
    const Stage stage = m_flow.stage();
    setPageOneInputsEnabled(stage == Stage::SettingUp);
    setSoundControlsVisible(stage != Stage::Opening && stage != Stage::Connecting);
    BB_AbortConnect->setVisible(stage == Stage::Connecting);
    if (BB_MeasBack) {
        BB_MeasBack->setEnabled(stage != Stage::SettingUp && stage != Stage::Opening);
        BB_MeasNext->setEnabled(stage != Stage::HandingOver && !m_flow.summarising());
    }
    if (BB_SendBack)
        BB_SendBack->setEnabled(stage == Stage::HandingOver);
    PC_Steps->setActivePage(int(m_flow.page()));
    // The port may take a while to open: the page shows that it connects first.
    if (stage == Stage::Opening)
        repaint();
}

void TF_Main::showRepair()
{
    PC_Steps->setEnabled(!m_flow.repairing());
    if (BB_Reconnect)
        BB_Reconnect->setEnabled(!m_flow.repairing());
}

void TF_Main::setPageOneInputsEnabled(bool enabled)
{
    if (enabled == std::exchange(m_pageOneEnabled, enabled))
        return;
    BB_ConfigNext->setEnabled(enabled);
    ComComboBox1->setEnabled(enabled);
    CLB_WhatToMeas->setEnabled(enabled);
    CB_Save->setEnabled(enabled);
    if (enabled) {
        CLB_WhatToMeasClick();
    } else {
        BB_Up->setEnabled(false);
        BB_Down->setEnabled(false);
        // Not left to Qt, which passes it on to the next control in turn.
        BB_SetAll->setFocus();
    }
}

void TF_Main::setSoundControlsVisible(bool visible)
{
    L_KellMenu->setVisible(!visible);
    L_Sound->setVisible(visible);
    CB_Sound->setVisible(visible);
    L_SpeakNum->setVisible(visible);
    CB_SpeakNum->setVisible(visible);
}

void TF_Main::BB_ConfigNextClick()
{
    ensureMeasPage();
    m_flow.BB_ConfigNextClick();
}

void TF_Main::BB_MeasBackClick()
{
    m_flow.BB_MeasBackClick();
}

void TF_Main::setMeasurementStatus(int point, const QString &text, const QColor &color)
{
    showStatus(m_measurementStatus.at(size_t(point)), text, color);
}

void TF_Main::showHandoverStatus(int point)
{
    if (!m_handoverStatus.at(size_t(point)))
        return; // the page is not built yet; its first summary fills every field
    const bool sent = m_handover.sent(point);
    showStatus(m_handoverStatus.at(size_t(point)),
               sent ? QStringLiteral("Elküldve") : QStringLiteral("Nincs elküldve"),
               sent ? kLime : kWhite);
}

void TF_Main::showMeasurementStatuses()
{
    for (int point = 0; point < PointCatalogue::kPointCount; ++point) {
        const WizardFlow::Status status = m_flow.measurementStatus(point);
        switch (status.kind) {
        case WizardFlow::Status::NotChosen:
            setMeasurementStatus(point, QStringLiteral("Nem lett kiválasztva"), kYellow);
            break;
        case WizardFlow::Status::NotMeasured:
            setMeasurementStatus(point, QStringLiteral("Nem lett mérve"), kRed);
            break;
        case WizardFlow::Status::Measured:
            setMeasurementStatus(point, QString::number(status.count) + QStringLiteral(" mérés"),
                                 kLime);
            break;
        }
    }
}

void TF_Main::BB_MeasNextClick()
{
    ensureSendPage();
    m_flow.BB_MeasNextClick();
}

void TF_Main::BB_SendBackClick()
{
    m_flow.BB_SendBackClick();
}

void TF_Main::BB_ConfigCancelClick()
{
    m_flow.BB_ConfigCancelClick();
}

void TF_Main::BB_SendCancelClick()
{
    m_flow.BB_SendCancelClick();
}
