#include "WizardFlow.h"

#include "ArchiveRecorder.h"
#include "Failure.h"
#include "GaugeSession.h"
#include "HandoverController.h"
#include "MeasuringController.h"
#include "Messages.h"
#include "PortList.h"
#include "SettingsFile.h"
#include "StoredPort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

WizardFlow::WizardFlow(GaugeSession &gauge, MeasuringController &measuring,
                       HandoverController &handover, Asker &asker, ArchiveRecorder *archive,
                       const QString &presetsFile, QObject *parent)
    : QObject(parent), m_gauge(gauge), m_measuring(measuring), m_handover(handover), m_asker(asker),
      m_archive(archive), m_presets(presetsFile)
{
    connect(&m_gauge, &GaugeSession::connectWaitEnded, this, &WizardFlow::onConnectWaitEnded);
    connect(&m_gauge, &GaugeSession::repairEnded, this, &WizardFlow::onRepairEnded);
    connect(&m_gauge, &GaugeSession::closeFailed, this, [this](const QString &reason) {
        Q_EMIT info(QStringLiteral("A bluetooth kapcsolat lezárása nem sikerült. Oka: ") + reason,
                    QStringLiteral("A hiba lehetséges oka:\r\r- Az élő kapcsolat közben kihúzta a "
                                   "bluetooth adaptert."));
    });
    connect(&m_gauge, &GaugeSession::linkLost, this, [this] {
        // Readings taken on the gauge from now on would vanish unseen.
        if (m_gauge.route() != GaugeSession::Route::None)
            m_measuring.RaiseFeedback(FeedbackEvent::CannotMeasure);
    });
    connect(&m_handover, &HandoverController::categoryArrived, this, &WizardFlow::onCategory);
    // A change after a session's end was announced: that end was cancelled.
    connect(&m_measuring, &MeasuringController::inspectionChanged, this, &WizardFlow::endCancelled);
    connect(&m_handover, &HandoverController::pointSent, this, &WizardFlow::endCancelled);
    if (m_archive) {
        connect(&m_handover, &HandoverController::pointSent, m_archive,
                &ArchiveRecorder::pointSent);
        // The inspection in progress is journaled from its first reading.
        m_archive->setInProgress([this] {
            return ArchiveRecorder::InProgress{&m_measuring.log(), planEntries()};
        });
        connect(&m_measuring, &MeasuringController::inspectionChanged, m_archive,
                &ArchiveRecorder::changed);
        connect(&m_plan, &QAbstractItemModel::dataChanged, m_archive, &ArchiveRecorder::changed);
        connect(&m_plan, &QAbstractItemModel::rowsMoved, m_archive, &ArchiveRecorder::changed);
        connect(&m_plan, &QAbstractItemModel::modelReset, m_archive, &ArchiveRecorder::changed);
        connect(m_archive, &ArchiveRecorder::unfinishedFound, this, &WizardFlow::offerUnfinished);
    }
}

QList<PlanEntry> WizardFlow::planEntries() const
{
    const PlanSnapshot plan = m_plan.snapshot();
    return QList<PlanEntry>(plan.begin(), plan.end());
}

void WizardFlow::setState(WizardPage page, Stage stage)
{
    if (page == m_page && stage == m_stage)
        return;
    m_page = page;
    m_stage = stage;
    endCancelled();
    Q_EMIT stageChanged();
    askAboutUnfinished();
}

void WizardFlow::ask(const QString &message, const QString &question, Asker::Answered answered)
{
    m_asking = true;
    m_asker.ask(message, question, [this, answered = std::move(answered)](Asker::Answer answer) {
        m_asking = false;
        answered(answer);
        askAboutUnfinished();
    });
}

// ---------------------------------------------------------------- the port

QString WizardFlow::portName() const
{
    return m_portIndex >= 0 && m_portIndex < m_ports.size() ? m_ports.at(m_portIndex) : QString();
}

void WizardFlow::setPorts(const QStringList &ports)
{
    m_ports = ports;
    m_portIndex = -1;
    Q_EMIT portsChanged();
}

void WizardFlow::selectPort(int index)
{
    m_portIndex = index >= 0 && index < m_ports.size() ? index : -1;
    Q_EMIT portSelected();
}

void WizardFlow::ComComboBox1Change(int index)
{
    selectPort(index);
    try {
        SettingsFile::write(StoredPort::kFileName, StoredPort::line(portName()));
    } catch (const Failure &f) {
        Q_EMIT info(QStringLiteral("A com port választás megjegyzése nem sikerült! Oka: ") +
                        f.reason(),
                    QStringLiteral("A hiba lehetséges okai:\r\r- Nincs írási joga a Kromaglen "
                                   "könyvtárjához.\r- Megtelt a meghajtó.\r- A Kromalgen_com.ini "
                                   "fájlt egy másik program használja."));
    }
}

void WizardFlow::LoadStoredPort()
{
    if (!QFile::exists(StoredPort::kFileName))
        return;
    try {
        const QByteArray content = SettingsFile::read(StoredPort::kFileName, 64 * 1024);
        const int index = PortList::find(m_ports, StoredPort::parse(content));
        if (index < 0)
            throw Failure(QStringLiteral("Exception"),
                          QStringLiteral("A tárolt port már nem létezik!"));
        selectPort(index);
    } catch (const Failure &f) {
        Q_EMIT info(
            QStringLiteral("Nem sikrült betölteni a tárolt com poprtot! Oka: ") + f.reason(),
            QStringLiteral(
                "Nyomja meg a \"Port keresés\" gombot!\r\rA hiba lehetséges okai: \r- Nem "
                "csatlakoztatta a bluetooth adaptert.\r- Nem az előzőleg használt USB "
                "csatlakozóba dugta a bluetooth adaptert.\r- Másik bluetooth adatptert "
                "csatlakoztatott.\r\r\rMegoldás: Csatlakoztassa a bluetooth adapter, és szükség "
                "esetén vegye fel újra a Kromaglen-et a \"Blurtooth-eszközök\" vezérlőpanelen a "
                "\"Hozzáadás\" gombbal!"));
    }
}

// ---------------------------------------------------------------- presets

void WizardFlow::LoadPresetsFile()
{
    try {
        m_presets.load();
    } catch (const Failure &f) {
        Q_EMIT info(QStringLiteral("Nem sikrült betölteni a mérési sorrend mentéseket! Oka: ") +
                        f.reason(),
                    QStringLiteral("A hiba lehetséges okai:\r- A Kromaglen.ini fájl sérült, vagy "
                                   "használatban van."));
    }
    reloadPresetNames(m_presetName);
    const int autoPreset = m_presets.find(PlanPresets::kAutoPresetName);
    if (autoPreset >= 0) {
        reloadPresetNames(m_presets.at(autoPreset).name);
        applyPreset(autoPreset);
    }
}

void WizardFlow::typePresetName(const QString &text)
{
    m_presetName = text;
}

void WizardFlow::setPresetName(const QString &text)
{
    m_presetName = text;
    Q_EMIT presetNameChanged();
}

void WizardFlow::reloadPresetNames(const QString &text)
{
    m_presetName = text;
    Q_EMIT presetsChanged();
}

void WizardFlow::pickPreset(int position)
{
    if (m_stage == Stage::SettingUp && position >= 0 && position < m_presets.count())
        applyPreset(position);
}

void WizardFlow::applyPreset(int position)
{
    m_plan.apply(m_presets.at(position).entries);
    Q_EMIT planApplied();
}

void WizardFlow::BB_SaveClick()
{
    try {
        const PlanPresets::SaveResult saved = m_presets.save(m_presetName, m_plan.snapshot());
        reloadPresetNames(m_presets.find(m_presetName) >= 0 ? m_presetName : saved.name);
    } catch (const Failure &f) {
        reloadPresetNames(m_presetName);
        if (!(m_oneSaveFailureBox && m_saveFailureShown))
            Q_EMIT errorBox(f.text(), presetsFileFailure());
        m_saveFailureShown = true;
    }
}

QString WizardFlow::presetsFileFailure() const
{
    return QStringLiteral("A mérési pontok beállításai nem menthetők ebbe a fájlba: %1")
        .arg(QDir::toNativeSeparators(QFileInfo(m_presets.filePath()).absoluteFilePath()));
}

void WizardFlow::BB_DeleteClick()
{
    if (m_presets.find(m_presetName) < 0)
        return;
    try {
        m_presets.forget(m_presetName);
        reloadPresetNames(QString());
    } catch (const Failure &f) {
        reloadPresetNames(QString());
        Q_EMIT errorBox(f.text(), presetsFileFailure());
    }
}

void WizardFlow::saveAutoPresetIfNamed()
{
    if (m_presetName == PlanPresets::kAutoPresetName)
        BB_SaveClick();
}

void WizardFlow::SelectPlanForCategory(const QString &name)
{
    const int position = m_presets.find(name);
    if (position >= 0) {
        reloadPresetNames(m_presets.at(position).name);
        applyPreset(position);
    } else {
        setPresetName(name);
    }
}

void WizardFlow::onCategory(const QString &category)
{
    if (m_archive)
        m_archive->categoryReceived(category);
    SelectPlanForCategory(category);
}

// ---------------------------------------------------------------- connecting

void WizardFlow::BB_ConfigNextClick()
{
    if (m_stage != Stage::SettingUp || m_asking)
        return;
    // Both saves below fail alike (a folder that cannot be written): one box.
    m_oneSaveFailureBox = true;
    m_saveFailureShown = false;
    saveAutoPresetIfNamed();
    m_measuring.fill(m_plan.tickedPoints());
    if (m_measuring.list().count() == 0) {
        m_oneSaveFailureBox = false;
        Q_EMIT info(QStringLiteral("Nem választott ki egy elemet sem mérésre!"),
                    QStringLiteral("Válassza ki, hogy mit szeretne mérni!"));
        return;
    }
    if (m_presetName.isEmpty())
        setPresetName(PlanPresets::kAutoPresetName);
    saveAutoPresetIfNamed();
    m_oneSaveFailureBox = false;
    if (!m_measuring.log().unsavedReadings()) {
        openPortAndWait();
        return;
    }
    ask(QStringLiteral("Már van rögzített mérés a memóriában!"),
        QStringLiteral("Akarja megtartani a meglevő méréseket?"), [this](Asker::Answer answer) {
            if (answer == Asker::Answer::No) {
                m_measuring.discardAll();
                if (m_archive)
                    m_archive->readingsDiscarded();
            }
            openPortAndWait();
        });
}

void WizardFlow::openPortAndWait()
{
    m_measuring.selectPosition(0);
    m_gauge.clearReceiveBuffer();
    setState(WizardPage::Config, Stage::Opening);
    try {
        m_gauge.OpenGaugePort(portName());
    } catch (const Failure &f) {
        // What to do, where the system's number says it (a port another
        // program holds, no right to it), comes before the likely causes.
        Q_EMIT info(Messages::kConnectFailure + f.reason() + u')',
                    f.advice().isEmpty()
                        ? Messages::kConnectFailureDesc
                        : f.advice() + QStringLiteral("\r\r") + Messages::kConnectFailureDesc);
        setState(WizardPage::Config, Stage::SettingUp);
        return;
    }
    setState(WizardPage::Config, Stage::Connecting);
    if (!m_gauge.ConnectWait())
        onConnectWaitEnded(false);
}

void WizardFlow::onConnectWaitEnded(bool keySeen)
{
    if (m_stage != Stage::Connecting)
        return;
    if (keySeen) {
        m_gauge.setRoute(GaugeSession::Route::Measuring);
        setState(WizardPage::Meas, Stage::Measuring);
        return;
    }
    m_gauge.CloseGaugePort();
    setState(WizardPage::Config, Stage::SettingUp);
}

void WizardFlow::BB_AbortConnectClick()
{
    m_gauge.requestAbort();
}

// ---------------------------------------------------------------- measuring

void WizardFlow::BB_MeasBackClick()
{
    if (m_stage != Stage::Measuring)
        return;
    Q_EMIT manualEntryHidden();
    m_gauge.CloseGaugePort();
    setState(WizardPage::Config, Stage::SettingUp);
}

bool WizardFlow::repairing() const
{
    return m_gauge.repairing();
}

void WizardFlow::BB_ReconnectClick()
{
    if (m_gauge.repairing())
        return;
    m_gauge.repair();
    Q_EMIT repairChanged();
}

void WizardFlow::onRepairEnded(const QString &failure)
{
    Q_EMIT repairChanged();
    if (!failure.isEmpty())
        Q_EMIT info(Messages::kConnectFailure + failure + u')', Messages::kConnectFailureDesc);
}

bool WizardFlow::summarise()
{
    m_status.fill({});
    bool complete = true;
    for (int point : m_measuring.list().points()) {
        const int n = m_measuring.log().count(point);
        m_status[size_t(point)] = {n < 1 ? Status::NotMeasured : Status::Measured, n};
        complete = complete && n >= 1;
    }
    Q_EMIT summaryChanged();
    return complete;
}

void WizardFlow::BB_MeasNextClick()
{
    if (m_stage != Stage::Measuring || m_summarising || m_asking)
        return;
    Q_EMIT manualEntryHidden();
    m_summarising = true;
    Q_EMIT stageChanged();
    m_handover.resetSent();
    if (summarise()) {
        startHandover();
        return;
    }
    ask(QStringLiteral("Van még olyan mérési pont, amit kiválasztott, de még nem mért le!"),
        QStringLiteral("Biztos át akarja adni a hiányos adatokat?"), [this](Asker::Answer answer) {
            if (answer == Asker::Answer::No) {
                m_summarising = false;
                Q_EMIT stageChanged();
                return;
            }
            // The gauge may have sent more while the question was open.
            summarise();
            startHandover();
        });
}

void WizardFlow::startHandover()
{
    try {
        m_handover.start();
    } catch (const Failure &f) {
        Q_EMIT info(QStringLiteral("Az átvitel indítása nem sikerült! Oka: ") + f.reason(),
                    Messages::kServerFailureDesc);
        m_summarising = false;
        Q_EMIT stageChanged();
        return;
    }
    m_handover.note(
        QStringLiteral("Most megnyomhatja a ZOV programban az \"Adatok betöltése\" gombot."));
    m_gauge.setRoute(GaugeSession::Route::None);
    m_summarising = false;
    setState(WizardPage::Send, Stage::HandingOver);
}

// ---------------------------------------------------------------- handing over

void WizardFlow::BB_SendBackClick()
{
    if (m_stage != Stage::HandingOver)
        return;
    archiveInspection();
    m_gauge.dropWaitingBytes();
    m_gauge.setRoute(GaugeSession::Route::Measuring);
    setState(WizardPage::Meas, Stage::Measuring);
}

void WizardFlow::archiveInspection()
{
    if (m_archive)
        m_archive->store(m_measuring.log(), planEntries());
}

// ---------------------------------------------------------------- recovery

void WizardFlow::offerUnfinished(const QList<Inspection> &inspections)
{
    m_unfinished += inspections;
    askAboutUnfinished();
}

void WizardFlow::askAboutUnfinished()
{
    // Asked on the first page, into an empty log: a vehicle being measured
    // is never mixed with another.
    bool empty = true;
    for (int point = 0; point < PointCatalogue::kPointCount && empty; ++point)
        empty = m_measuring.log().count(point) == 0;
    if (m_unfinished.isEmpty() || !m_archive || m_asking || m_closing ||
        m_stage != Stage::SettingUp || !empty)
        return;
    const Inspection last = m_unfinished.takeLast();
    const QList<Inspection> others = std::exchange(m_unfinished, {});
    for (const Inspection &other : others)
        m_archive->storeInterrupted(other);
    QString message =
        QStringLiteral("A program legutóbb váratlanul leállt, de a befejezetlen vizsgálat "
                       "megmaradt: %1 mérés %2 ponton, utoljára %3.")
            .arg(last.readings.size())
            .arg(last.pointsMeasured())
            .arg(timeText(last.ended, false));
    if (!others.isEmpty())
        message += QStringLiteral(" További %1 befejezetlen vizsgálat félbeszakadtként az "
                                  "archívumba kerül.")
                       .arg(others.size());
    message += QStringLiteral("\rNem: a vizsgálat félbeszakadtként az archívumba kerül.");
    ask(message, QStringLiteral("Visszatölti a méréseket a folytatáshoz?"),
        [this, last](Asker::Answer answer) {
            if (answer != Asker::Answer::Yes) {
                m_archive->storeInterrupted(last);
                return;
            }
            QList<std::pair<int, Reading>> readings;
            for (const ArchivedReading &r : last.readings)
                readings.append({r.point, r});
            m_archive->resume(last);
            m_measuring.restore(readings);
        });
}

// ---------------------------------------------------------------- leaving

void WizardFlow::BB_ConfigCancelClick()
{
    if (m_presetName.isEmpty())
        setPresetName(PlanPresets::kAutoPresetName);
    saveAutoPresetIfNamed();
    Q_EMIT closeWindow();
}

void WizardFlow::BB_SendCancelClick()
{
    const auto leave = [this] {
        saveAutoPresetIfNamed();
        Q_EMIT closeWindow();
    };
    if (m_handover.allSent()) {
        leave();
        return;
    }
    ask(QStringLiteral("Még nem sikerült átadni az adatokat a ZOV programnak!\rA Kromaglen "
                       "program bezárásával elveszíti a mérési eredményeket!"),
        QStringLiteral("Biztos bezárja a varázslót?"), [leave](Asker::Answer answer) {
            if (answer != Asker::Answer::No)
                leave();
        });
}

void WizardFlow::FormCloseQuery()
{
    if (m_closing) {
        Q_EMIT closeWindow();
        return;
    }
    if (m_asking)
        return; // the question open now is answered first
    ask(QStringLiteral("Ha bezárja a varázslót, minden nem mentett adat véglegesen el fog "
                       "veszni!\rAmennyiben a számítógép kikapcsolása előtt szüksége lesz még a "
                       "Kromaglen-re, nem fontos a varázslót bezárni."),
        QStringLiteral("Biztos bezárja a varázslót?"), [this](Asker::Answer answer) {
            if (answer != Asker::Answer::Yes)
                return;
            closePage();
            m_closing = true;
            Q_EMIT closeWindow();
        });
}

void WizardFlow::closePage()
{
    switch (m_page) {
    case WizardPage::Config:
        if (m_stage == Stage::Connecting)
            BB_AbortConnectClick();
        // What was not stored is dropped, as the question said.
        if (m_archive)
            m_archive->discardInProgress();
        break;
    case WizardPage::Meas:
        BB_MeasBackClick();
        if (m_archive)
            m_archive->discardInProgress();
        break;
    case WizardPage::Send:
        archiveInspection();
        m_gauge.CloseGaugePort();
        m_handover.stop();
        break;
    }
}

void WizardFlow::FormClose()
{
    m_closing = true;
    if (m_gauge.isShutDown())
        return;
    m_gauge.shutDown();
    m_measuring.silence();
}

// ---------------------------------------------------------------- the system's end

void WizardFlow::keepForEnd()
{
    // Asked once per window at a session's end: once is enough while nothing changes.
    if (m_archive && !m_closing && !m_keptForEnd) {
        if (m_page == WizardPage::Send && m_handover.anySent()) {
            saveAutoPresetIfNamed();
            archiveInspection();
        } else {
            m_archive->keepNow(kEndWaitMs);
        }
    }
    // Set after the work, which may itself count as a change.
    m_keptForEnd = true;
    m_sessionEnding = true;
}

void WizardFlow::endCancelled()
{
    m_keptForEnd = false;
    m_sessionEnding = false;
}

void WizardFlow::endNow()
{
    if (m_closing)
        return;
    m_endedBySystem = true;
    if (std::exchange(m_asking, false))
        m_asker.withdraw();
    keepForEnd();
    if (m_stage == Stage::Connecting)
        BB_AbortConnectClick();
    m_gauge.CloseGaugePort();
    m_handover.stop();
    m_closing = true;
    Q_EMIT closeWindow();
}
