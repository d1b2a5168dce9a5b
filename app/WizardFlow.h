#pragma once

#include <QObject>
#include <QStringList>
#include <array>

#include "Asker.h"
#include "Inspection.h"
#include "MeasurementPlan.h"
#include "PlanPresets.h"
#include "PointCatalogue.h"
#include "WizardPage.h"

class ArchiveRecorder;
class GaugeSession;
class HandoverController;
class MeasuringController;

// The wizard's rules without its widgets: which page and stage it is in, the
// plan, the presets and the preset name, the chosen port, and what each
// button of the pages does with them: connect and wait for the gauge's key,
// keep or discard the readings, summarise and hand over, go back, leave. The
// page is its own value here; the window shows it and passes on what the
// person did. Questions are asked without waiting: the flow goes on when the
// answer arrives. Lives on the window thread.
class WizardFlow : public QObject
{
    Q_OBJECT

public:
    // Opening: the connect has begun and the port is being opened.
    enum class Stage { SettingUp, Opening, Connecting, Measuring, HandingOver };
    // A point's measurement status on the last page.
    struct Status
    {
        enum Kind { NotChosen, NotMeasured, Measured };
        Kind kind = NotChosen;
        int count = 0;
    };

    WizardFlow(GaugeSession &gauge, MeasuringController &measuring, HandoverController &handover,
               Asker &asker, ArchiveRecorder *archive, const QString &presetsFile,
               QObject *parent = nullptr);

    WizardPage page() const { return m_page; }
    Stage stage() const { return m_stage; }
    // The summary waits for its question, or for the handover to start.
    bool summarising() const { return m_summarising; }
    bool repairing() const;
    // The close has been confirmed (or the program ends): the window may go.
    bool closing() const { return m_closing; }
    bool asking() const { return m_asking; }

    MeasurementPlan &plan() { return m_plan; }
    const PlanPresets &presets() const { return m_presets; }
    const QString &presetName() const { return m_presetName; }
    bool canSavePreset() const { return PlanPresets::canSave(m_presetName); }
    bool canForgetPreset() const { return m_presets.canForget(m_presetName); }
    Status measurementStatus(int point) const { return m_status.at(size_t(point)); }

    // The gauge's port: the list and the choice (the text the port opens by).
    const QStringList &ports() const { return m_ports; }
    int portIndex() const { return m_portIndex; }
    QString portName() const;
    // A new list: nothing chosen.
    void setPorts(const QStringList &ports);
    void selectPort(int index);
    // The person chose a port: it is stored for the next start.
    void ComComboBox1Change(int index);
    void LoadStoredPort();

    // Presets
    void LoadPresetsFile();
    void typePresetName(const QString &text);
    // A name picked from the list: its plan is applied.
    void pickPreset(int position);
    void BB_SaveClick();
    void BB_DeleteClick();
    void SelectPlanForCategory(const QString &name);

    // The buttons of the pages
    void BB_ConfigNextClick();
    void BB_AbortConnectClick();
    void BB_MeasBackClick();
    void BB_MeasNextClick();
    void BB_SendBackClick();
    void BB_ConfigCancelClick();
    void BB_SendCancelClick();
    void BB_ReconnectClick();
    // The window's close box, or a leave button: the close question, then
    // closeWindow() once it is confirmed.
    void FormCloseQuery();
    // Closed for good: the link ends and no sound is given.
    void FormClose();

    // The system is about to end the program (the session's end, which may
    // still be cancelled): what there is, is kept, asking nothing and closing
    // nothing: the inspection in progress journaled, one already handed over
    // stored as "Vége" stores it.
    void keepForEnd();
    // The system ends the program (a signal, the session's end, the console
    // closing): kept as above, an open question withdrawn, the link and the
    // server closed, and the window closes without asking.
    void endNow();
    bool endedBySystem() const { return m_endedBySystem; }
    // keepForEnd() came: a close that follows is the system's (Qt closes
    // the windows when the session ends), not the person's.
    bool sessionEnding() const { return m_sessionEnding; }
    // How long the end waits for the journal's disk at most.
    static constexpr int kEndWaitMs = 2000;

    // Inspections an earlier run left unfinished: the person is asked, once
    // the first page is free, whether to take the newest back.
    void offerUnfinished(const QList<Inspection> &inspections);

Q_SIGNALS:
    // The page or the stage (and with it the controls that follow it) changed.
    void stageChanged();
    void repairChanged();
    // The preset names and the name field; the name field alone.
    void presetsChanged();
    void presetNameChanged();
    void planApplied();
    void portsChanged();
    void portSelected();
    // The measurement statuses of the last page.
    void summaryChanged();
    // The manual entry box goes when the measuring page is left.
    void manualEntryHidden();
    // Close the window (asking, unless closing() already holds).
    void closeWindow();
    void info(const QString &message, const QString &description);
    void errorBox(const QString &text, const QString &detail);

private:
    void setState(WizardPage page, Stage stage);
    void ask(const QString &message, const QString &question, Asker::Answered answered);
    void openPortAndWait();
    void onConnectWaitEnded(bool keySeen);
    bool summarise();
    void startHandover();
    void onRepairEnded(const QString &failure);
    void closePage();
    void applyPreset(int position);
    void reloadPresetNames(const QString &text);
    void setPresetName(const QString &text);
    void saveAutoPresetIfNamed();
    QString presetsFileFailure() const;
    void onCategory(const QString &category);
    void archiveInspection();
    // The person changed something: an announced session's end did not come.
    void endCancelled();
    void askAboutUnfinished();
    QList<PlanEntry> planEntries() const;

    GaugeSession &m_gauge;
    MeasuringController &m_measuring;
    HandoverController &m_handover;
    Asker &m_asker;
    ArchiveRecorder *m_archive = nullptr;

    WizardPage m_page = WizardPage::Config;
    Stage m_stage = Stage::SettingUp;
    bool m_summarising = false;
    bool m_asking = false;
    bool m_closing = false;
    bool m_endedBySystem = false;
    bool m_sessionEnding = false;
    bool m_keptForEnd = false; // nothing changed since
    std::array<Status, PointCatalogue::kPointCount> m_status{};

    MeasurementPlan m_plan;
    PlanPresets m_presets;
    QString m_presetName;
    // "Tovább" saves the plan twice: a failure is shown once per click.
    bool m_oneSaveFailureBox = false;
    bool m_saveFailureShown = false;

    QStringList m_ports;
    int m_portIndex = -1;

    QList<Inspection> m_unfinished; // not yet asked about
};
