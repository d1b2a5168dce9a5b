// What the archive window does on request: the exports, the report and its
// printing, the statistics, the limits, and the plate and inspector fields.
#include "ArchiveWindow.h"

#include "ArchiveDatabase.h"
#include "BandsDialog.h"
#include "DateFormat.h"
#include "EventLog.h"
#include "FilterStatisticsDialog.h"
#include "InspectionDetails.h"
#include "InspectionListModel.h"
#include "InspectionReport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>

CsvExportRun::Request ArchiveWindow::exportRequest() const
{
    CsvExportRun::Request request;
    request.order = m_order;
    request.bands = m_settings.bands;
    request.rejudging = m_rejudging;
    if (m_allChosen) {
        request.filter = filter();
        request.expected = m_matching.value_or(-1);
        return request;
    }
    // In the list's order, as they were chosen.
    for (int row = 0; row < m_list->rowCount(); ++row) {
        if (m_chosen.contains(m_list->at(row).id))
            request.ids.append(m_list->at(row).id);
    }
    if (request.ids.isEmpty() && m_shown)
        request.ids.append(m_shown->id);
    return request;
}

bool ArchiveWindow::exportCsv(const QString &path, CsvExportRun::Request request)
{
    if (m_export || (request.ids.isEmpty() && !request.filter))
        return false;
    const bool all = request.filter.has_value();
    m_export = new CsvExportRun(m_location, std::move(request), path, this);
    connect(
        m_export, &CsvExportRun::finished, this,
        [this, all, run = m_export](bool ok, qint64 count, qint64 readings, const QString &error) {
            const QString file =
                QDir::toNativeSeparators(QFileInfo(run->path()).absoluteFilePath());
            run->deleteLater();
            m_export = nullptr; // the next may start at once
            const QString message =
                ok ? QStringLiteral("%1 vizsgálat (%2 mérés)%3 exportálva ide:\n%4")
                         .arg(count)
                         .arg(readings)
                         .arg(all ? QStringLiteral(", a szűrés összes vizsgálata,") : QString(),
                              file)
                : run->cancelled()
                    ? QStringLiteral("A CSV exportálás megszakítva, a fájl nem készült el: %1")
                          .arg(file)
                    : QStringLiteral("A CSV exportálás nem sikerült (%1): %2").arg(file, error);
            tell(message, !ok && !run->cancelled());
            if (!ok && !run->cancelled())
                log(message);
            Q_EMIT exportFinished(ok, message);
        });
    m_export->start();
    return true;
}

bool ArchiveWindow::exportPdf(const QString &path, QString *error)
{
    if (!m_shown) {
        *error = QStringLiteral("Nincs kiválasztott vizsgálat.");
        return false;
    }
    try {
        InspectionReport(*m_shown, bandsFor(m_shown->judgedWith), m_settings.profile)
            .writePdf(path);
    } catch (const Failure &f) {
        *error = f.text();
        return false;
    }
    return true;
}

QString ArchiveWindow::reportFileName() const
{
    if (!m_shown)
        return {};
    // What a file name may hold on every system.
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9ÁÉÍÓÖŐÚÜŰáéíóöőúüű_-]+"));
    QString plate = m_shown->plateOrVin();
    plate.replace(unsafe, QStringLiteral("-"));
    const QString who = plate.isEmpty() ? QStringLiteral("vizsgalat-%1").arg(m_shown->id) : plate;
    return who + u'_' + m_shown->started.toLocalTime().date().toString(Qt::ISODate) +
           QStringLiteral(".pdf");
}

bool ArchiveWindow::saveBands(const VerdictBands &bands, QString *error)
{
    m_settings.bands = bands;
    m_list->setBands(bands);
    if (m_shown)
        showShown();
    if (CB_Verdict->currentIndex() > 0 || m_order.key == ArchiveSortKey::Worst)
        refresh();
    try {
        ArchiveSettings::writeBands(m_settingsPath, bands);
    } catch (const Failure &f) {
        *error = f.text();
        return false;
    }
    return true;
}

void ArchiveWindow::showDetails(const Inspection &inspection)
{
    const bool same = inspection.id == m_detailsId;
    // Leaving an inspection whose fields were changed: what was typed is stored.
    if (!same && detailsChanged())
        saveDetails();
    // The same one read again (the wizard stored it meanwhile): what is being typed stays.
    const bool keepTyped = same && detailsChanged();
    m_detailsId = inspection.id;
    m_stored = TypedDetails::of(inspection);
    if (!keepTyped) {
        LE_Plate->setText(m_stored.plate);
        LE_Vin->setText(m_stored.vin);
        LE_MakeModel->setText(m_stored.makeModel);
        LE_Odometer->setText(m_stored.odometerKm ? QString::number(*m_stored.odometerKm)
                                                 : QString());
        LE_Inspector->setText(m_stored.inspector);
    }
    for (QWidget *w : std::initializer_list<QWidget *>{LE_Plate, LE_Vin, LE_MakeModel, LE_Odometer,
                                                       LE_Inspector, BB_SaveDetails})
        w->setEnabled(true);
}

std::optional<TypedDetails> ArchiveWindow::typedDetails(QString *problem) const
{
    TypedDetails typed;
    QString why;
    const auto refused = [&](const QString &field, const QString &text) {
        if (problem)
            *problem = QStringLiteral("%1 („%2”): %3").arg(field, text, why);
        return std::nullopt;
    };
    if (auto plate = InspectionDetails::plate(LE_Plate->text(), &why))
        typed.plate = *plate;
    else
        return refused(QStringLiteral("a rendszám"), LE_Plate->text());
    if (auto vin = InspectionDetails::vin(LE_Vin->text(), &why))
        typed.vin = *vin;
    else
        return refused(QStringLiteral("az alvázszám"), LE_Vin->text());
    if (auto makeModel = InspectionDetails::name(LE_MakeModel->text(), &why))
        typed.makeModel = *makeModel;
    else
        return refused(QStringLiteral("a gyártmány, típus"), LE_MakeModel->text());
    if (!InspectionDetails::odometer(LE_Odometer->text(), &typed.odometerKm, &why))
        return refused(QStringLiteral("a km-állás"), LE_Odometer->text());
    if (auto inspector = InspectionDetails::name(LE_Inspector->text(), &why))
        typed.inspector = *inspector;
    else
        return refused(QStringLiteral("a vizsgáló neve"), LE_Inspector->text());
    return typed;
}

bool ArchiveWindow::detailsChanged() const
{
    if (!m_detailsId)
        return false;
    // A field that cannot be stored is a change not stored.
    const std::optional<TypedDetails> typed = typedDetails(nullptr);
    return !typed || *typed != m_stored;
}

void ArchiveWindow::tellDetails(const QString &text, bool problem)
{
    L_Details->setStyleSheet(problem ? QStringLiteral("color: #b00000; font-weight: bold;")
                                     : QStringLiteral("color: #106010;"));
    L_Details->setText(text);
    L_Details->setVisible(!text.isEmpty());
}

bool ArchiveWindow::saveDetails()
{
    if (!m_detailsId)
        return false;
    const qint64 id = m_detailsId;
    QString why;
    const std::optional<TypedDetails> typed = typedDetails(&why);
    if (!typed) {
        tellDetails(QStringLiteral("A(z) %1. sz. vizsgálat adatai nincsenek elmentve: %2.")
                        .arg(id)
                        .arg(why),
                    true);
        return false;
    }
    LE_Plate->setText(typed->plate);
    LE_Vin->setText(typed->vin);
    LE_MakeModel->setText(typed->makeModel);
    LE_Odometer->setText(typed->odometerKm ? QString::number(*typed->odometerKm) : QString());
    LE_Inspector->setText(typed->inspector);
    tellDetails(QStringLiteral("Mentés…"), false);
    m_reader->post(
        [id, details = *typed](ArchiveDatabase &db) {
            if (db.isReadOnly())
                throw ArchiveError(ArchiveError::Cause::Failed,
                                   QStringLiteral("az archívum ezen a helyen csak olvasható"));
            ArchiveStore(db).setDetails(id, details);
        },
        this,
        [this, id, details = *typed](const std::optional<ArchiveError> &error) {
            detailsDone(id, details, error);
        });
    return true;
}

void ArchiveWindow::detailsDone(qint64 id, const TypedDetails &details,
                                const std::optional<ArchiveError> &error)
{
    if (error) {
        log(QStringLiteral("A(z) %1. sz. vizsgálat adatai nem mentődtek el: %2")
                .arg(id)
                .arg(error->text()));
        // Said with what was typed: the fields may show another inspection by now.
        QStringList given;
        for (const QString &text :
             {details.plate, details.vin, details.makeModel,
              details.odometerKm ? QStringLiteral("%1 km").arg(*details.odometerKm) : QString(),
              details.inspector}) {
            if (!text.isEmpty())
                given.append(text);
        }
        tellDetails(QStringLiteral("A(z) %1. sz. vizsgálat adatai („%2”) NEM mentődtek el: %3.%4")
                        .arg(id)
                        .arg(given.join(QStringLiteral(", ")), error->text(),
                             m_detailsId == id ? QStringLiteral(" Próbálja újra a Mentés gombbal.")
                                               : QString()),
                    true);
    } else {
        if (m_shown && m_shown->id == id) {
            m_shown->plate = details.plate;
            m_shown->vin = details.vin;
            m_shown->makeModel = details.makeModel;
            m_shown->odometerKm = details.odometerKm;
            m_shown->inspector = details.inspector;
        }
        if (m_detailsId == id)
            m_stored = details;
        tellDetails(QStringLiteral("A(z) %1. sz. vizsgálat adatai elmentve.").arg(id), false);
    }
    Q_EMIT detailsSaved(id, !error);
    // The window was being closed: the store's answer closes it, or asks.
    const bool closing = std::exchange(m_closeAfterSave, false) || m_closeQuestion;
    if (closing && !m_closing) {
        m_closeWait.stop();
        if (!detailsChanged()) {
            if (m_closeQuestion)
                m_closeQuestion->close();
            close();
        } else {
            askCloseAnyway(L_Details->text());
        }
    }
}

QString ArchiveWindow::exportFolder() const
{
    if (!m_exportFolder.isEmpty() && QDir(m_exportFolder).exists())
        return m_exportFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

void ArchiveWindow::tell(const QString &text, bool problem)
{
    auto *box = new QMessageBox(problem ? QMessageBox::Warning : QMessageBox::Information,
                                windowTitle(), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("D_Told"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QString ArchiveWindow::askSaveFile(const QString &title, const QString &suggested,
                                   const QString &filter)
{
    // Qt's own file dialog: modal, the window's reads go on under it.
    const QString path =
        QFileDialog::getSaveFileName(this, title, QDir(exportFolder()).filePath(suggested), filter);
    if (!path.isEmpty())
        m_exportFolder = QFileInfo(path).absolutePath();
    return path;
}

void ArchiveWindow::askExportCsv()
{
    if (m_export) {
        tell(QStringLiteral("Egy CSV exportálás már folyamatban van."));
        return;
    }
    // The rows chosen now, whatever the list reads while the dialog is open.
    CsvExportRun::Request request = exportRequest();
    if (request.ids.isEmpty() && !request.filter) {
        tell(QStringLiteral("Nincs kiválasztott vizsgálat: válasszon ki egyet vagy többet a "
                            "listából (Ctrl+A: a szűrés összes vizsgálata)."));
        return;
    }
    const QString suggested = request.filter ? QStringLiteral("vizsgalatok.csv")
                              : request.ids.size() == 1
                                  ? QStringLiteral("vizsgalat-%1.csv").arg(request.ids.constFirst())
                                  : QStringLiteral("vizsgalatok.csv");
    const QString path = askSaveFile(QStringLiteral("CSV exportálás"), suggested,
                                     QStringLiteral("CSV fájl (*.csv)"));
    if (!path.isEmpty())
        exportCsv(path, std::move(request));
}

void ArchiveWindow::askExportPdf()
{
    if (!m_shown) {
        tell(QStringLiteral("Nincs kiválasztott vizsgálat: a jelentéshez válasszon ki egyet a "
                            "listából."));
        return;
    }
    const QString path = askSaveFile(QStringLiteral("PDF jelentés"), reportFileName(),
                                     QStringLiteral("PDF fájl (*.pdf)"));
    QString error;
    if (path.isEmpty())
        return;
    if (exportPdf(path, &error))
        tell(QStringLiteral("A jelentés elkészült:\n%1").arg(QDir::toNativeSeparators(path)));
    else
        tell(QStringLiteral("PDF jelentés: nem sikerült. ") + error, true);
}

void ArchiveWindow::askPrint()
{
    if (!m_shown) {
        tell(QStringLiteral("Nincs kiválasztott vizsgálat: a nyomtatáshoz válasszon ki egyet a "
                            "listából."));
        return;
    }
    auto *printer = new QPrinter(QPrinter::HighResolution);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageMargins(InspectionReport::kMarginsMm, QPageLayout::Millimeter);
    const Inspection inspection = *m_shown;
    const VerdictBands bands = bandsFor(inspection.judgedWith);
    printer->setDocName(InspectionReport::title(inspection));
    // Shown without a nested wait; what it prints is the inspection shown when asked.
    auto *preview = new QPrintPreviewDialog(printer, this);
    preview->setObjectName(QStringLiteral("D_PrintPreview"));
    preview->setWindowTitle(QStringLiteral("Nyomtatási kép – ") + printer->docName());
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->resize(std::min(900, width()), height());
    connect(preview, &QObject::destroyed, preview, [printer] { delete printer; });
    connect(preview, &QPrintPreviewDialog::paintRequested, this,
            [this, inspection, bands](QPrinter *to) {
                if (!InspectionReport(inspection, bands, m_settings.profile).paint(*to))
                    tell(QStringLiteral("A nyomtatás nem sikerült."), true);
            });
    preview->open();
}

void ArchiveWindow::askStatistics()
{
    QStringList what{QStringLiteral("%1 – %2").arg(DE_From->date().toString(DateFormat::kShort),
                                                   DE_To->date().toString(DateFormat::kShort))};
    for (QComboBox *combo : {CB_Category, CB_Station, CB_Verdict}) {
        if (combo->currentIndex() > 0)
            what.append(combo->currentText());
    }
    if (m_rejudging)
        what.append(QStringLiteral("a mai határokkal"));
    if (!m_statisticsReader)
        m_statisticsReader = std::make_unique<ArchiveReader>(m_location);
    auto *dialog = new FilterStatisticsDialog(what.join(QStringLiteral(", ")), filter(),
                                              *m_statisticsReader, this);
    dialog->setObjectName(QStringLiteral("D_Statistics"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setExportFolder([this] { return exportFolder(); });
    dialog->show();
}

void ArchiveWindow::askBands()
{
    auto *dialog = new BandsDialog(m_settings.bands, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        QString error;
        if (!saveBands(dialog->bands(), &error))
            tell(QStringLiteral("A határok érvényesek, de a mentésük nem sikerült: ") + error,
                 true);
    });
    dialog->open();
}
