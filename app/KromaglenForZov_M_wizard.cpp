// Moving between the wizard's pages: connect and wait for the gauge's key,
// summarise and hand over, go back, leave.
#include "KromaglenForZov_M.h"

#include "Failure.h"
#include "KromaglenForZov_MD.h"
#include "Messages.h"
#include "Widgets.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
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

void TF_Main::setPageOneInputsEnabled(bool enabled)
{
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
    // Both saves below fail alike (a folder that cannot be written): one box.
    m_oneSaveFailureBox = true;
    m_saveFailureShown = false;
    auto oneBox = qScopeGuard([this] { m_oneSaveFailureBox = false; });
    saveAutoPresetIfNamed();
    m_measuring.fill(m_plan.tickedPoints());
    showMeasuringList();
    if (m_measuring.count() == 0) {
        ShowInfo(QStringLiteral("Nem választott ki egy elemet sem mérésre!"),
                 QStringLiteral("Válassza ki, hogy mit szeretne mérni!"));
        return;
    }
    if (CB_Save->currentText().isEmpty())
        CB_Save->setEditText(PlanPresets::kAutoPresetName);
    saveAutoPresetIfNamed();
    oneBox.dismiss();
    m_oneSaveFailureBox = false;
    if (m_log.unsavedReadings() &&
        AskYesNo(QStringLiteral("Már van rögzített mérés a memóriában!"),
                 QStringLiteral("Akarja megtartani a meglevő méréseket?")) == TF_MessageDlg::No) {
        m_log.clearAll();
        archiveDiscarded();
    }
    m_measuring.select(0);
    CB_ActMeasNameChange();
    m_gauge.clearReceiveBuffer();

    setPageOneInputsEnabled(false);
    setSoundControlsVisible(false);
    QCoreApplication::processEvents();
    try {
        m_gauge.OpenGaugePort(ComComboBox1->currentText());
        BB_MeasBack->setEnabled(true);
    } catch (const Failure &f) {
        // What to do, where the system's number says it (a port another
        // program holds, no right to it), comes before the likely causes.
        ShowInfo(Messages::kConnectFailure + f.reason() + u')',
                 f.advice().isEmpty()
                     ? Messages::kConnectFailureDesc
                     : f.advice() + QStringLiteral("\r\r") + Messages::kConnectFailureDesc);
        setPageOneInputsEnabled(true);
        BB_MeasBack->setEnabled(false);
        setSoundControlsVisible(true);
        return;
    }
    BB_AbortConnect->show();
    const bool keySeen = m_gauge.ConnectWait();
    setSoundControlsVisible(true);
    BB_AbortConnect->hide();
    if (keySeen) {
        setActivePage(WizardPage::Meas);
        m_gauge.setRoute(GaugeSession::Route::Measuring);
        return;
    }
    m_gauge.CloseGaugePort();
    setPageOneInputsEnabled(true);
    BB_MeasBack->setEnabled(false);
}

void TF_Main::BB_MeasBackClick()
{
    SE_KeziBevitel->hide();
    BB_MeasBack->setEnabled(false);
    m_gauge.CloseGaugePort();
    setPageOneInputsEnabled(true);
    setActivePage(WizardPage::Config);
}

void TF_Main::setMeasurementStatus(int point, const QString &text, const QColor &color)
{
    showStatus(m_measurementStatus.at(size_t(point)), text, color);
}

void TF_Main::setHandoverStatus(int point, bool sent)
{
    m_sent[size_t(point)] = sent;
    showHandoverStatus(point);
}

void TF_Main::showHandoverStatus(int point)
{
    if (!m_handoverStatus.at(size_t(point)))
        return; // the page is not built yet; its first summary fills every field
    const bool sent = m_sent.at(size_t(point));
    showStatus(m_handoverStatus.at(size_t(point)),
               sent ? QStringLiteral("Elküldve") : QStringLiteral("Nincs elküldve"),
               sent ? kLime : kWhite);
}

bool TF_Main::showMeasurementStatuses()
{
    for (int point = 0; point < PointCatalogue::kPointCount; ++point) {
        setMeasurementStatus(point, QStringLiteral("Nem lett kiválasztva"), kYellow);
        setHandoverStatus(point, false);
    }
    bool complete = true;
    for (int point : m_measuring.points()) {
        const int n = m_log.count(point);
        if (n < 1) {
            setMeasurementStatus(point, QStringLiteral("Nem lett mérve"), kRed);
            complete = false;
        } else {
            setMeasurementStatus(point, QString::number(n) + QStringLiteral(" mérés"), kLime);
        }
    }
    return complete;
}

void TF_Main::BB_MeasNextClick()
{
    ensureSendPage();
    SE_KeziBevitel->hide();
    BB_MeasNext->setEnabled(false);
    if (!showMeasurementStatuses()) {
        if (AskYesNo(
                QStringLiteral("Van még olyan mérési pont, amit kiválasztott, de még nem mért le!"),
                QStringLiteral("Biztos át akarja adni a hiányos adatokat?")) == TF_MessageDlg::No) {
            BB_MeasNext->setEnabled(true);
            return;
        }
        // The gauge may have sent more while the question was open.
        showMeasurementStatuses();
    }
    try {
        if (!m_server.active()) {
            m_server.start();
            appendLog(QStringLiteral("Server start!"));
        }
    } catch (const Failure &f) {
        ShowInfo(QStringLiteral("Az átvitel indítása nem sikerült! Oka: ") + f.reason(),
                 Messages::kServerFailureDesc);
        BB_MeasNext->setEnabled(true);
        return;
    }
    appendLog(QStringLiteral("Most megnyomhatja a ZOV programban az \"Adatok betöltése\" gombot."));
    m_gauge.setRoute(GaugeSession::Route::None);
    BB_SendBack->setEnabled(true);
    setActivePage(WizardPage::Send);
}

void TF_Main::BB_SendBackClick()
{
    archiveInspection();
    BB_SendBack->setEnabled(false);
    m_gauge.dropWaitingBytes();
    m_gauge.setRoute(GaugeSession::Route::Measuring);
    BB_MeasNext->setEnabled(true);
    setActivePage(WizardPage::Meas);
}

void TF_Main::BB_ConfigCancelClick()
{
    if (CB_Save->currentText().isEmpty())
        CB_Save->setEditText(PlanPresets::kAutoPresetName);
    saveAutoPresetIfNamed();
    close();
}

void TF_Main::BB_SendCancelClick()
{
    const bool allSent = std::all_of(m_sent.begin(), m_sent.end(), [](bool s) { return s; });
    if (!allSent &&
        AskYesNo(QStringLiteral("Még nem sikerült átadni az adatokat a ZOV programnak!\rA "
                                "Kromaglen program bezárásával elveszíti a mérési eredményeket!"),
                 QStringLiteral("Biztos bezárja a varázslót?")) == TF_MessageDlg::No)
        return;
    saveAutoPresetIfNamed();
    close();
}
