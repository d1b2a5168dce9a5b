#pragma once

#include <QEventLoop>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

#include "ArchiveQuery.h"
#include "ArchiveReader.h"
#include "ArchiveSettings.h"
#include "ArchiveStore.h"

class CarDiagramWidget;
class InspectionListModel;
class PointTableModel;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The archive window: the list of inspections, filtered by date, category,
// station and worst verdict, sorted by the clicked column, read from the
// archive a page at a time as it is scrolled; for the chosen one the car
// diagram and the table of its points; the statistics of each point over the
// filter; CSV and PDF export, printing, and the verdict limits. Reads the archive the
// wizard writes, on the reader's thread, and notices when it changes (also
// when the wizard replaced a damaged file). The calls that read return when
// the reading is done, or after kWaitMs, the window going on meanwhile; a
// read asked for while another runs follows it. Each inspection is shown with the verdicts it was
// given when it ended; "Mai határokkal" judges it again, marked as such.
// The plate or VIN and the inspector's name of the shown inspection can be
// typed in; they are stored on the reader's thread without the window
// waiting, when "Mentés" or Enter is pressed, and when another inspection is
// chosen or the window closes with them changed.
class ArchiveWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kPollMs = 3000;
    // How long a call that reads waits for the answer before the window goes
    // on without it (and takes it up when it comes).
    static constexpr int kWaitMs = 2000;
    // Rows read at a time.
    static constexpr int kPageSize = 200;

    ArchiveWindow(ArchiveSettings settings, QString settingsPath, QWidget *parent = nullptr);
    ~ArchiveWindow() override;

    // Reads the categories and the list again, keeping the chosen inspection.
    void refresh();
    // The limits the shown inspection is judged with: those in force when it
    // ended, or today's when re-judging is on (or it carries none).
    VerdictBands bandsFor(const std::optional<VerdictBands> &judgedWith) const;
    void setRejudging(bool on);
    void showInspection(qint64 id);
    // How often the window looks for what the wizard stored (kPollMs).
    void setPollInterval(int ms) { m_poll.setInterval(ms); }
    const std::optional<Inspection> &shownInspection() const { return m_shown; }
    const VerdictBands &bands() const { return m_settings.bands; }

    // The chosen rows' inspections (or the shown one) as CSV; the shown one as PDF.
    // False, with the reason, on failure.
    bool exportCsv(const QString &path, QString *error);
    bool exportPdf(const QString &path, QString *error);
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

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    QWidget *buildDetails();
    // A size that fits the screen's free area, as large as the window likes.
    void fitToScreen();
    void showDetails(const Inspection &inspection);
    void detailsDone(qint64 id, const QString &plate, const QString &inspector,
                     const std::optional<ArchiveError> &error);
    void tellDetails(const QString &text, bool problem);
    void buildActions();
    // Runs the job on the reader's thread and waits for it with the window
    // going on; false, with the banner telling why, when it failed.
    bool read(ArchiveReader::Job job);
    void showReadProblem(const ArchiveError &e);
    void showShown();
    ArchiveFilter filter() const;
    static void fillChoices(QComboBox *combo, const QStringList &values, const QString &none);
    void onSortChanged(int column, Qt::SortOrder order);
    void fetchNextPage();
    void countRows();
    void askStatistics();
    void onSelectionChanged();
    void onPoll();
    using ExportFunction = bool (ArchiveWindow::*)(const QString &path, QString *error);
    void askExport(const QString &title, const QString &suggested, const QString &filter,
                   ExportFunction write);
    void askExportCsv();
    void askExportPdf();
    void askPrint();
    void askBands();
    void showProblem(const QString &text);
    QList<qint64> chosenIds() const;
    void updateStatus();

    ArchiveSettings m_settings;
    QString m_settingsPath;
    ArchiveLocation m_location;
    QString m_locationNotice;
    std::unique_ptr<ArchiveReader> m_reader;
    // Statistics over a wide filter may take seconds: they are summed on a
    // reader of their own, made with the first, so the list's pages and the
    // chosen inspection never wait behind them.
    std::unique_ptr<ArchiveReader> m_statisticsReader;
    QPointer<QEventLoop> m_waiting;
    int m_inFlight = 0;
    bool m_refreshAgain = false;
    qint64 m_showAgain = 0;
    bool m_closing = false;
    bool m_rejudging = false;
    QString m_problem;
    QString m_stamp;
    std::optional<Inspection> m_shown;
    // The inspection the plate and inspector fields belong to, and what it has stored.
    qint64 m_detailsId = 0;
    QString m_storedPlate;
    QString m_storedInspector;
    QString m_exportFolder;
    QString m_shownStamp; // the archive's stamp when m_shown was read
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
    QLineEdit *LE_Plate = nullptr;
    QLineEdit *LE_Inspector = nullptr;
    QPushButton *BB_SaveDetails = nullptr;
    QLabel *L_Details = nullptr;
};
