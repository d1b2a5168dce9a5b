#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "ArchiveQuery.h"
#include "ArchiveReader.h"
#include "ArchiveSettings.h"
#include "ArchiveStore.h"
#include "CsvExportRun.h"

class CarDiagramWidget;
class EventLog;
class InspectionListModel;
class PointTableModel;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPrinter;
class QPushButton;
class QTableView;

// The archive window: the list of inspections, filtered by date, category,
// station and worst verdict or searched by plate or VIN, sorted by the clicked column, read from
// the archive a page at a time as it is scrolled; for the chosen one the car diagram and the table
// of its points; the statistics of the filter; CSV and PDF export, printing, and the verdict
// limits. Reads the archive the wizard writes, on the reader's thread, and notices when it changes
// (also when the wizard replaced a damaged file).
//
// The window never waits for a read: each read is posted, and its answer (a
// later event) moves the window on. A read asked for while another of its
// kind runs is taken up when that one answers; an answer overdue by kWaitMs
// is said in the banner, and taken up when it comes. Each inspection is shown
// with the verdicts it was given when it ended; "Mai határokkal" judges it
// again, marked as such. The plate, VIN, make and model, odometer reading
// and the inspector's name of the shown inspection can be typed in; they are stored on the reader's
// thread when "Mentés" or Enter is pressed, and when another inspection is chosen or the window
// closes with them changed.
//
// The chosen rows are kept by inspection id when the list is read anew. All
// rows chosen (Ctrl+A) means every inspection of the filter, loaded or not.
class ArchiveWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kPollMs = 3000;
    // How long a read may take before the banner says the archive does not answer.
    static constexpr int kWaitMs = 2000;
    // Rows read at a time.
    static constexpr int kPageSize = 200;

    ArchiveWindow(ArchiveSettings settings, QString settingsPath, QWidget *parent = nullptr);
    ~ArchiveWindow() override;

    // Reads the categories and the list again, keeping the chosen inspection
    // and rows.
    void refresh();
    // Whether a read of the list, an inspection or the archive's stamp is under way.
    bool isReading() const { return m_inFlight > 0; }
    // The limits the shown inspection is judged with: those in force when it
    // ended, or today's when re-judging is on (or it carries none).
    VerdictBands bandsFor(const std::optional<VerdictBands> &judgedWith) const;
    void setRejudging(bool on);
    void showInspection(qint64 id);
    // Where failures are written for the IT person (none: nowhere).
    void setLog(EventLog *log);
    // How often the window looks for what the wizard stored (kPollMs).
    void setPollInterval(int ms) { m_poll.setInterval(ms); }
    const std::optional<Inspection> &shownInspection() const { return m_shown; }
    const VerdictBands &bands() const { return m_settings.bands; }

    // What a CSV export now takes: the chosen rows (every inspection of the
    // filter when all are chosen), else the shown inspection.
    CsvExportRun::Request exportRequest() const;
    // Writes the CSV on a reader of its own; exportFinished tells how it went.
    // False when one is already running or nothing is chosen.
    bool exportCsv(const QString &path, CsvExportRun::Request request);
    // The shown inspection as PDF. False, with the reason, on failure.
    bool exportPdf(const QString &path, QString *error);
    // The report's file name: the plate (or the inspection's number) and the day.
    QString reportFileName() const;
    // Applies the limits and stores them in the settings file.
    bool saveBands(const VerdictBands &bands, QString *error);

    // Stores the plate and inspector fields for the inspection they belong
    // to; detailsSaved tells how it went. False, said beside the fields, when
    // what they hold is refused (or no inspection is shown).
    bool saveDetails();
    // Whether the fields hold something not yet stored.
    bool detailsChanged() const;
    // Where the CSV and PDF save dialogs open: the folder last saved to in
    // this session, else the user's documents folder, else the home folder.
    QString exportFolder() const;

Q_SIGNALS:
    void detailsSaved(qint64 id, bool ok);
    // `message` is what the user is told.
    void exportFinished(bool ok, const QString &message);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    QLayout *buildFilters();
    QWidget *buildDetails();
    // A size that fits the screen's free area, as large as the window likes.
    void fitToScreen();
    void showDetails(const Inspection &inspection);
    // What the fields hold, cleaned; none, with `problem`, when one is refused.
    std::optional<TypedDetails> typedDetails(QString *problem) const;
    void detailsDone(qint64 id, const TypedDetails &details,
                     const std::optional<ArchiveError> &error);
    void tellDetails(const QString &text, bool problem);
    void buildActions();
    void setRange(const QDate &from, const QDate &to);
    // Posts the job to the reader; `then` runs with its answer (true: read).
    void ask(ArchiveReader::Job job, std::function<void(bool ok)> then);
    void overdue();
    void showReadProblem(const ArchiveError &e);
    // Whether the archive file is missing (said in the banner, nothing made).
    bool archiveMissing();
    void showShown();
    void showNothing(const QString &text);
    ArchiveFilter filter() const;
    static void fillChoices(QComboBox *combo, const QStringList &values, const QString &none);
    void onSortChanged(int column, Qt::SortOrder order);
    struct ListRead;
    void listRead(bool ok, const ListRead &got, qint64 keep);
    void restoreChoice(qint64 keep);
    void fetchNextPage();
    void countRows();
    void askStatistics();
    void onCurrentChanged();
    void onChosenChanged();
    void onPoll();
    void askExportCsv();
    void askExportPdf();
    void askPrint();
    void askBands();
    // Tells the user without a nested wait: the box is shown and the window goes on.
    void tell(const QString &text, bool problem = false);
    QString askSaveFile(const QString &title, const QString &suggested, const QString &filter);
    void askCloseAnyway(const QString &why);
    void showProblem(const QString &text);
    void log(const QString &text);
    void updateStatus();

    ArchiveSettings m_settings;
    QString m_settingsPath;
    ArchiveLocation m_location;
    QString m_locationNotice;
    EventLog *m_log = nullptr;
    std::unique_ptr<ArchiveReader> m_reader;
    // Statistics over a wide filter may take seconds: they are summed on a
    // reader of their own, made with the first, so the list's pages and the
    // chosen inspection never wait behind them.
    std::unique_ptr<ArchiveReader> m_statisticsReader;
    int m_inFlight = 0;  // reads posted to m_reader not yet answered
    QTimer m_overdue;    // runs while they are
    bool m_late = false; // the banner says the archive does not answer
    bool m_listReading = false;
    bool m_refreshAgain = false;
    bool m_loading = false;   // an inspection is being read
    qint64 m_wantedId = 0;    // the inspection to show once that read answers
    bool m_keepShown = false; // a new order: the shown inspection stays, listed or not
    bool m_closing = false;
    bool m_rejudging = false;
    QString m_stamp;
    std::optional<Inspection> m_shown;
    QString m_shownStamp; // the archive's stamp when m_shown was read
    // The chosen rows by id; all: every inspection of the filter.
    QSet<qint64> m_chosen;
    bool m_allChosen = false;
    bool m_restoring = false; // the window itself chooses rows
    // The inspection the vehicle and inspector fields belong to, and what it has stored.
    qint64 m_detailsId = 0;
    TypedDetails m_stored;
    QTimer m_searchDelay; // a search is read once typing pauses
    // Closing waits for the fields' store as a state: the answer closes.
    bool m_closeAfterSave = false;
    bool m_closeAnyway = false;
    QTimer m_closeWait;
    QPointer<QMessageBox> m_closeQuestion;
    QPointer<CsvExportRun> m_export;
    QString m_exportFolder;
    QTimer m_poll;
    ArchiveOrder m_order;
    std::optional<ArchiveCursor> m_next; // where the next page starts
    // Counts the lists read: a page or a count for an earlier one is dropped.
    quint64 m_generation = 0;
    // The same, for the reader's thread: a page or count asked for a list read
    // anew since is not run at all.
    std::shared_ptr<std::atomic<quint64>> m_live = std::make_shared<std::atomic<quint64>>(0);
    bool m_pageAsked = false;
    std::optional<qint64> m_matching; // the filter's rows, once counted
    QString m_countProblem;           // why they could not be counted
    qint64 m_total = 0;

    QDateEdit *DE_From = nullptr;
    QDateEdit *DE_To = nullptr;
    QComboBox *CB_Category = nullptr;
    QComboBox *CB_Station = nullptr;
    QComboBox *CB_Verdict = nullptr;
    QLabel *L_Banner = nullptr;
    QTableView *TV_Inspections = nullptr;
    InspectionListModel *m_list = nullptr;
    QLabel *L_Inspection = nullptr;
    CarDiagramWidget *W_Diagram = nullptr;
    QTableView *TV_Points = nullptr;
    PointTableModel *m_points = nullptr;
    QLineEdit *LE_Search = nullptr;
    QLineEdit *LE_Plate = nullptr;
    QLineEdit *LE_Vin = nullptr;
    QLineEdit *LE_MakeModel = nullptr;
    QLineEdit *LE_Odometer = nullptr;
    QLineEdit *LE_Inspector = nullptr;
    QPushButton *BB_SaveDetails = nullptr;
    QLabel *L_Details = nullptr;
};
