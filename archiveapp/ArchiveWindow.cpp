#include "ArchiveWindow.h"

#include "ArchiveDatabase.h"
#include "ArchiveReader.h"
#include "BandsDialog.h"
#include "CarDiagramWidget.h"
#include "CsvExport.h"
#include "DateFormat.h"
#include "FilterStatisticsDialog.h"
#include "InspectionDetails.h"
#include "InspectionListModel.h"
#include "InspectionReport.h"
#include "PointCatalogue.h"
#include "PointTableModel.h"
#include "StatisticsText.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <atomic>

namespace {

constexpr int kDefaultDays = 30;
// The size the window opens at where the screen has room for it.
constexpr QSize kPreferredSize(1280, 860);
// The smallest it can be made: within a 1366×768 screen less a taskbar and a title bar.
constexpr QSize kMinimumSize(960, 600);

} // namespace

ArchiveWindow::ArchiveWindow(ArchiveSettings settings, QString settingsPath, QWidget *parent)
    : QMainWindow(parent), m_settings(std::move(settings)), m_settingsPath(std::move(settingsPath))
{
    m_location = m_settings.usableLocation(&m_locationNotice);
    m_reader = std::make_unique<ArchiveReader>(m_location);
    if (!m_settings.problems.isEmpty() && m_locationNotice.isEmpty())
        m_locationNotice =
            QStringLiteral("A %1 fájl hibás sorait a program figyelmen kívül "
                           "hagyta (helyettük az alapértelmezés érvényes): %2")
                .arg(ArchiveSettings::kFileName, m_settings.problems.join(QStringLiteral("; ")));
    else if (!m_settings.problems.isEmpty())
        m_locationNotice += QStringLiteral(" További hibás sorok: ") +
                            m_settings.problems.join(QStringLiteral("; "));
    buildWindow();
    buildActions();
    fitToScreen();
    connect(&m_poll, &QTimer::timeout, this, &ArchiveWindow::onPoll);
    m_poll.start(kPollMs);
    refresh();
}

ArchiveWindow::~ArchiveWindow()
{
    m_closing = true;
    if (m_waiting)
        m_waiting->quit();
    // Both readers let go at once: a stalled server holds the window's end
    // for one wait, not one per reader.
    if (m_statisticsReader)
        m_statisticsReader->finish();
    m_reader->finish();
}

void ArchiveWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closing && detailsChanged()) {
        bool saved = false;
        if (saveDetails()) {
            m_poll.stop();
            QEventLoop loop;
            connect(this, &ArchiveWindow::detailsSaved, &loop, [&saved, &loop](qint64, bool ok) {
                saved = ok;
                loop.quit();
            });
            QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
            loop.exec();
            m_poll.start();
        }
        if (!saved &&
            QMessageBox::question(this, windowTitle(),
                                  QStringLiteral("A rendszám / alvázszám és a vizsgáló neve nincs "
                                                 "elmentve.\n%1\n\nBezárja mégis az ablakot?")
                                      .arg(L_Details->text())) != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    // A read still waiting on a server that stopped answering does not hold the window.
    m_closing = true;
    if (m_waiting)
        m_waiting->quit();
    QMainWindow::closeEvent(event);
}

void ArchiveWindow::buildWindow()
{
    setWindowTitle(QStringLiteral("Kromaglen archívum"));
    setMinimumSize(kMinimumSize);
    auto *central = new QWidget;
    auto *outer = new QVBoxLayout(central);

    L_Banner = new QLabel;
    L_Banner->setObjectName(QStringLiteral("L_Banner"));
    L_Banner->setWordWrap(true);
    L_Banner->setStyleSheet(QStringLiteral("background: #fff1c2; border: 1px solid #d9b44a;"
                                           " padding: 6px;"));
    L_Banner->hide();
    outer->addWidget(L_Banner);

    auto *filters = new QHBoxLayout;
    const QDate today = QDate::currentDate();
    DE_From = new QDateEdit(today.addDays(-kDefaultDays));
    DE_To = new QDateEdit(today);
    for (QDateEdit *edit : {DE_From, DE_To}) {
        edit->setCalendarPopup(true);
        edit->setMinimumWidth(120);
        edit->setDisplayFormat(DateFormat::kShort);
        connect(edit, &QDateEdit::dateChanged, this, &ArchiveWindow::refresh);
    }
    DE_From->setObjectName(QStringLiteral("DE_From"));
    DE_To->setObjectName(QStringLiteral("DE_To"));
    CB_Category = new QComboBox;
    CB_Category->setObjectName(QStringLiteral("CB_Category"));
    CB_Category->setMinimumContentsLength(16);
    CB_Category->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(CB_Category, &QComboBox::activated, this, &ArchiveWindow::refresh);
    CB_Station = new QComboBox;
    CB_Station->setObjectName(QStringLiteral("CB_Station"));
    CB_Station->setMinimumContentsLength(10);
    CB_Station->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(CB_Station, &QComboBox::activated, this, &ArchiveWindow::refresh);
    CB_Verdict = new QComboBox;
    CB_Verdict->setObjectName(QStringLiteral("CB_Verdict"));
    CB_Verdict->addItem(QStringLiteral("(mind)"));
    for (Verdict v :
         {Verdict::Filler, Verdict::Repainted, Verdict::Thin, Verdict::Factory, Verdict::None})
        CB_Verdict->addItem(verdictName(v), int(v));
    connect(CB_Verdict, &QComboBox::activated, this, &ArchiveWindow::refresh);
    filters->addWidget(new QLabel(QStringLiteral("Ettől:")));
    filters->addWidget(DE_From);
    filters->addWidget(new QLabel(QStringLiteral("Eddig:")));
    filters->addWidget(DE_To);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Kategória:")));
    filters->addWidget(CB_Category, 1);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Állomás:")));
    filters->addWidget(CB_Station);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Legrosszabb:")));
    filters->addWidget(CB_Verdict);
    outer->addLayout(filters);

    auto *split = new QSplitter(Qt::Horizontal);
    m_list = new InspectionListModel(this);
    m_list->setBands(m_settings.bands);
    connect(m_list, &InspectionListModel::moreWanted, this, &ArchiveWindow::fetchNextPage);
    TV_Inspections = new QTableView;
    TV_Inspections->setObjectName(QStringLiteral("TV_Inspections"));
    TV_Inspections->setModel(m_list);
    TV_Inspections->setSelectionBehavior(QAbstractItemView::SelectRows);
    TV_Inspections->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TV_Inspections->setSortingEnabled(true);
    TV_Inspections->sortByColumn(InspectionListModel::Date, Qt::DescendingOrder);
    // The archive sorts: a click on a header reads the list again in that order.
    connect(TV_Inspections->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            &ArchiveWindow::onSortChanged);
    TV_Inspections->verticalHeader()->hide();
    TV_Inspections->verticalHeader()->setDefaultSectionSize(22);
    TV_Inspections->horizontalHeader()->setStretchLastSection(true);
    TV_Inspections->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TV_Inspections->setColumnWidth(InspectionListModel::Date, 125);
    TV_Inspections->setColumnWidth(InspectionListModel::Category, 175);
    TV_Inspections->setColumnWidth(InspectionListModel::Points, 55);
    TV_Inspections->setColumnWidth(InspectionListModel::Readings, 65);
    TV_Inspections->setColumnWidth(InspectionListModel::Worst, 120);
    connect(TV_Inspections->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ArchiveWindow::onSelectionChanged);
    split->addWidget(TV_Inspections);

    auto *detail = new QWidget;
    auto *right = new QVBoxLayout(detail);
    right->setContentsMargins(0, 0, 0, 0);
    L_Inspection = new QLabel(QStringLiteral("Válasszon ki egy vizsgálatot a listából."));
    L_Inspection->setObjectName(QStringLiteral("L_Inspection"));
    L_Inspection->setTextInteractionFlags(Qt::TextSelectableByMouse);
    L_Inspection->setWordWrap(true);
    right->addWidget(L_Inspection);
    right->addWidget(buildDetails());
    // The diagram and the table share the height as the user drags it.
    auto *parts = new QSplitter(Qt::Vertical);
    parts->setObjectName(QStringLiteral("SP_Detail"));
    parts->setChildrenCollapsible(false);
    W_Diagram = new CarDiagramWidget;
    W_Diagram->setObjectName(QStringLiteral("W_Diagram"));
    W_Diagram->setMinimumSize(240, 150);
    parts->addWidget(W_Diagram);
    m_points = new PointTableModel(this);
    TV_Points = new QTableView;
    TV_Points->setObjectName(QStringLiteral("TV_Points"));
    TV_Points->setModel(m_points);
    TV_Points->setSelectionBehavior(QAbstractItemView::SelectRows);
    TV_Points->setSelectionMode(QAbstractItemView::SingleSelection);
    TV_Points->verticalHeader()->hide();
    TV_Points->verticalHeader()->setDefaultSectionSize(21);
    TV_Points->horizontalHeader()->setStretchLastSection(true);
    const QList<int> widths{28, 165, 44, 28, 44, 50, 52, 52, 115};
    for (int c = 0; c < widths.size(); ++c)
        TV_Points->setColumnWidth(c, widths.at(c));
    TV_Points->setMinimumHeight(120);
    parts->addWidget(TV_Points);
    parts->setStretchFactor(0, 3);
    parts->setStretchFactor(1, 4);
    right->addWidget(parts, 1);
    connect(W_Diagram, &CarDiagramWidget::pointClicked, this, [this](int point) {
        TV_Points->selectRow(m_points->rowOfPoint(point));
        W_Diagram->setHighlighted(point);
    });
    connect(TV_Points->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &index) {
                W_Diagram->setHighlighted(
                    index.isValid() ? index.data(PointTableModel::kPointRole).toInt() : -1);
            });
    TV_Inspections->setMinimumWidth(280);
    split->setChildrenCollapsible(false);
    split->addWidget(detail);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setSizes({600, 680});
    outer->addWidget(split, 1);
    setCentralWidget(central);
    // No smaller than the filter row and the details need with this font.
    setMinimumSize(kMinimumSize.expandedTo(minimumSizeHint()));
}

QWidget *ArchiveWindow::buildDetails()
{
    auto *box = new QWidget;
    auto *rows = new QVBoxLayout(box);
    rows->setContentsMargins(0, 0, 0, 0);
    auto *row = new QHBoxLayout;
    LE_Plate = new QLineEdit;
    LE_Plate->setObjectName(QStringLiteral("LE_Plate"));
    LE_Plate->setPlaceholderText(QStringLiteral("pl. ABC-123"));
    LE_Plate->setMinimumWidth(
        LE_Plate->fontMetrics().horizontalAdvance(QStringLiteral("WVWZZZ1JZXW000001")) + 16);
    // Upper case as it is typed: it is stored so.
    connect(LE_Plate, &QLineEdit::textEdited, this, [this](const QString &text) {
        const int cursor = LE_Plate->cursorPosition();
        LE_Plate->setText(text.toUpper());
        LE_Plate->setCursorPosition(cursor);
    });
    LE_Inspector = new QLineEdit;
    LE_Inspector->setObjectName(QStringLiteral("LE_Inspector"));
    LE_Inspector->setPlaceholderText(QStringLiteral("a vizsgáló neve"));
    LE_Inspector->setMinimumWidth(LE_Inspector->fontMetrics().averageCharWidth() * 18);
    BB_SaveDetails = new QPushButton(QStringLiteral("&Mentés"));
    BB_SaveDetails->setObjectName(QStringLiteral("BB_SaveDetails"));
    BB_SaveDetails->setToolTip(QStringLiteral("A rendszám / alvázszám és a vizsgáló nevének "
                                              "mentése az archívumba (Enter)"));
    for (QLineEdit *edit : {LE_Plate, LE_Inspector}) {
        edit->setEnabled(false);
        connect(edit, &QLineEdit::returnPressed, this, &ArchiveWindow::saveDetails);
    }
    BB_SaveDetails->setEnabled(false);
    connect(BB_SaveDetails, &QPushButton::clicked, this, &ArchiveWindow::saveDetails);
    auto *plateLabel = new QLabel(QStringLiteral("&Rendszám / alvázszám:"));
    plateLabel->setBuddy(LE_Plate);
    auto *inspectorLabel = new QLabel(QStringLiteral("&Vizsgáló:"));
    inspectorLabel->setBuddy(LE_Inspector);
    row->addWidget(plateLabel);
    row->addWidget(LE_Plate);
    row->addWidget(inspectorLabel);
    row->addWidget(LE_Inspector, 1);
    row->addWidget(BB_SaveDetails);
    rows->addLayout(row);
    L_Details = new QLabel;
    L_Details->setObjectName(QStringLiteral("L_Details"));
    L_Details->setWordWrap(true);
    L_Details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    L_Details->hide();
    rows->addWidget(L_Details);
    return box;
}

void ArchiveWindow::fitToScreen()
{
    const QScreen *shownOn = screen();
    if (!shownOn) {
        resize(kPreferredSize);
        return;
    }
    const QRect free = shownOn->availableGeometry();
    // Room for the frame and the title bar the system adds.
    const QSize room = free.size() - QSize(16, 48);
    resize(kPreferredSize.boundedTo(room).expandedTo(minimumSize()));
    move(free.topLeft() + QPoint(std::max(0, (free.width() - width()) / 2),
                                 std::max(0, (room.height() - height()) / 2)));
}

void ArchiveWindow::buildActions()
{
    QToolBar *bar = addToolBar(QStringLiteral("Műveletek"));
    bar->setObjectName(QStringLiteral("TB_Actions"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto add = [&](const QString &name, const QString &text, const QKeySequence &key,
                         void (ArchiveWindow::*slot)()) {
        auto *action = new QAction(text, this);
        action->setObjectName(name);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        bar->addAction(action);
        return action;
    };
    add(QStringLiteral("A_Refresh"), QStringLiteral("Frissítés"), QKeySequence::Refresh,
        &ArchiveWindow::refresh);
    add(QStringLiteral("A_ExportCsv"), QStringLiteral("CSV exportálás…"),
        QKeySequence(Qt::CTRL | Qt::Key_E), &ArchiveWindow::askExportCsv);
    add(QStringLiteral("A_ExportPdf"), QStringLiteral("PDF jelentés…"),
        QKeySequence(Qt::CTRL | Qt::Key_R), &ArchiveWindow::askExportPdf);
    add(QStringLiteral("A_Print"), QStringLiteral("Nyomtatás…"), QKeySequence::Print,
        &ArchiveWindow::askPrint);
    add(QStringLiteral("A_Statistics"), QStringLiteral("Statisztika…"),
        QKeySequence(Qt::CTRL | Qt::Key_T), &ArchiveWindow::askStatistics);
    bar->addSeparator();
    add(QStringLiteral("A_Bands"), QStringLiteral("Minősítési határok…"), QKeySequence(),
        &ArchiveWindow::askBands);
    auto *rejudge = new QAction(QStringLiteral("Újraminősítés a mai határokkal"), this);
    rejudge->setObjectName(QStringLiteral("A_Rejudge"));
    rejudge->setCheckable(true);
    connect(rejudge, &QAction::toggled, this, &ArchiveWindow::setRejudging);
    bar->addAction(rejudge);
}

bool ArchiveWindow::read(ArchiveReader::Job job)
{
    if (m_closing)
        return false;
    struct Outcome
    {
        bool done = false;
        bool late = false;
        std::optional<ArchiveError> error;
    };
    const auto outcome = std::make_shared<Outcome>();
    QEventLoop loop;
    m_waiting = &loop;
    ++m_inFlight;
    m_reader->post(std::move(job), this,
                   [this, outcome, waiting = QPointer<QEventLoop>(&loop)](
                       const std::optional<ArchiveError> &error) {
                       --m_inFlight;
                       outcome->done = true;
                       outcome->error = error;
                       if (waiting)
                           waiting->quit();
                       else if (outcome->late && !m_closing && error)
                           showReadProblem(*error); // the poll tries again
                       else if (outcome->late && !m_closing)
                           QTimer::singleShot(0, this, &ArchiveWindow::refresh);
                   });
    QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
    if (!outcome->done)
        loop.exec();
    m_waiting = nullptr;
    if (!outcome->done) {
        outcome->late = true;
        if (!m_closing)
            showProblem(QStringLiteral("Az archívum (") + m_location.describe() +
                        QStringLiteral(") nem válaszol; a program tovább vár rá, és amint "
                                       "válaszol, frissíti a listát."));
        return false;
    }
    if (outcome->error) {
        showReadProblem(*outcome->error);
        return false;
    }
    showProblem(m_locationNotice);
    return true;
}

void ArchiveWindow::showReadProblem(const ArchiveError &e)
{
    m_stamp.clear();
    QString text = QStringLiteral("Az archívum (") + m_location.describe() +
                   QStringLiteral(") nem olvasható: ") + e.text();
    if (e.cause() == ArchiveError::Cause::Damaged)
        text += QStringLiteral("\nA sérült fájlt a mérőprogram a következő mentéskor "
                               "félreteszi, és új archívumot kezd.");
    showProblem(text);
}

void ArchiveWindow::showProblem(const QString &text)
{
    L_Banner->setText(text);
    L_Banner->setVisible(!text.isEmpty());
}

ArchiveFilter ArchiveWindow::filter() const
{
    ArchiveFilter f;
    f.from = DE_From->date().startOfDay();
    f.to = DE_To->date().addDays(1).startOfDay();
    if (CB_Category->currentIndex() > 0)
        f.category = CB_Category->currentData().toString();
    if (CB_Station->currentIndex() > 0)
        f.station = CB_Station->currentData().toString();
    if (CB_Verdict->currentIndex() > 0)
        f.verdict = Verdict(CB_Verdict->currentData().toInt());
    f.bands = m_settings.bands;
    f.rejudging = m_rejudging;
    return f;
}

void ArchiveWindow::fillChoices(QComboBox *combo, const QStringList &values, const QString &none)
{
    QStringList now;
    for (int i = 1; i < combo->count(); ++i)
        now.append(combo->itemData(i).toString());
    if (now == values && combo->count() > 0)
        return; // as it is: refilling a long list costs more than reading it
    const QVariant chosen = combo->currentIndex() > 0 ? combo->currentData() : QVariant();
    combo->clear();
    combo->addItem(QStringLiteral("(mind)"));
    for (const QString &c : values)
        combo->addItem(c.isEmpty() ? none : c, c);
    const int at = chosen.isValid() ? combo->findData(chosen) : 0;
    combo->setCurrentIndex(std::max(0, at));
}

void ArchiveWindow::onSortChanged(int column, Qt::SortOrder order)
{
    static const ArchiveSortKey keys[] = {ArchiveSortKey::Started, ArchiveSortKey::Category,
                                          ArchiveSortKey::Points,  ArchiveSortKey::Readings,
                                          ArchiveSortKey::Worst,   ArchiveSortKey::Station};
    if (column < 0 || column >= InspectionListModel::ColumnCount)
        return;
    m_order = {keys[column], order == Qt::DescendingOrder};
    refresh();
}

void ArchiveWindow::refresh()
{
    if (m_waiting || m_inFlight > 0) {
        m_refreshAgain = true; // after the read under way
        return;
    }
    const qint64 chosen = std::exchange(m_showAgain, 0);
    const qint64 shown = chosen ? chosen : m_shown ? m_shown->id : 0;
    struct Read
    {
        QString stamp;
        QStringList categories;
        QStringList stations;
        ArchivePage page;
    };
    const auto got = std::make_shared<Read>();
    const ArchiveFilter f = filter();
    // As many rows as were scrolled through, so that the place is kept.
    const int rows = std::max(kPageSize, m_list->rowCount());
    m_live->store(++m_generation);
    m_pageAsked = false;
    const bool ok = read([got, f, order = m_order, rows](ArchiveDatabase &db) {
        got->stamp = ArchiveStore(db).changeStamp();
        ArchiveQuery query(db);
        got->categories = query.categories();
        got->stations = query.stations();
        got->page = query.page(f, order, rows);
    });
    m_matching.reset();
    m_countProblem.clear();
    if (ok) {
        m_stamp = got->stamp;
        fillChoices(CB_Category, got->categories, QStringLiteral("(nincs kategória)"));
        fillChoices(CB_Station, got->stations, QStringLiteral("(nincs állomás)"));
        m_next = got->page.next;
        m_list->setInspections(got->page.rows, m_next.has_value());
    } else if (!m_closing) {
        m_next.reset();
        m_list->setInspections({});
    }
    updateStatus();
    if (m_closing)
        return;
    const int row = shown ? m_list->rowOf(shown) : -1;
    if (row >= 0) {
        TV_Inspections->selectionModel()->setCurrentIndex(
            m_list->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        showInspection(shown); // stored again meanwhile: show what is stored now
    } else if (m_list->rowCount() > 0) {
        TV_Inspections->selectRow(0);
    } else {
        m_shown.reset();
        L_Inspection->setText(QStringLiteral("Nincs vizsgálat a megadott időszakban."));
        m_points->setInspection({}, m_settings.bands);
        CarDiagram::Verdicts none;
        none.fill(Verdict::None);
        W_Diagram->setPoints(none, {});
    }
    // Behind the chosen inspection's read: the count of millions of rows
    // must not hold up what the window shows.
    if (ok)
        countRows();
    if (std::exchange(m_refreshAgain, false))
        refresh();
}

void ArchiveWindow::fetchNextPage()
{
    if (m_pageAsked || !m_next || m_closing)
        return;
    m_pageAsked = true;
    const auto page = std::make_shared<ArchivePage>();
    const quint64 generation = m_generation;
    m_reader->post(
        [page, f = filter(), order = m_order, after = *m_next, live = m_live,
         generation](ArchiveDatabase &db) {
            if (live->load() == generation)
                *page = ArchiveQuery(db).page(f, order, kPageSize, after);
        },
        this,
        [this, page, generation](const std::optional<ArchiveError> &error) {
            if (generation != m_generation || m_closing)
                return; // the list was read anew meanwhile
            m_pageAsked = false;
            if (error) {
                showReadProblem(*error);
                return;
            }
            m_next = page->next;
            m_list->appendInspections(page->rows, m_next.has_value());
        });
}

void ArchiveWindow::countRows()
{
    // Counting a large archive takes longer than its first page: the list is
    // shown first and the count follows.
    const auto counts = std::make_shared<std::pair<qint64, qint64>>();
    const quint64 generation = m_generation;
    m_reader->post(
        [counts, f = filter(), live = m_live, generation](ArchiveDatabase &db) {
            if (live->load() != generation)
                return;
            ArchiveQuery query(db);
            counts->first = query.count(f);
            counts->second = ArchiveStore(db).count();
        },
        this,
        [this, counts, generation](const std::optional<ArchiveError> &error) {
            if (generation != m_generation || m_closing)
                return;
            if (error) {
                m_countProblem = error->text();
            } else {
                m_matching = counts->first;
                m_total = counts->second;
            }
            updateStatus();
        });
}

void ArchiveWindow::updateStatus()
{
    QString count = QStringLiteral("Számolás…");
    if (m_matching)
        count = QStringLiteral("%1 vizsgálat felel meg a szűrésnek (összesen %2)")
                    .arg(*m_matching)
                    .arg(m_total);
    else if (!m_countProblem.isEmpty())
        count = QStringLiteral("A vizsgálatok nem számolhatók meg: ") + m_countProblem;
    statusBar()->showMessage(count + QStringLiteral(" – archívum: %1").arg(m_location.describe()));
}

void ArchiveWindow::onSelectionChanged()
{
    const QModelIndex current = TV_Inspections->currentIndex();
    if (current.isValid())
        showInspection(current.data(InspectionListModel::kIdRole).toLongLong());
}

void ArchiveWindow::showInspection(qint64 id)
{
    if (m_waiting || m_inFlight > 0) {
        m_showAgain = id;
        return;
    }
    // Shown already, and nothing stored since: the list was only read anew.
    if (m_shown && m_shown->id == id && !m_stamp.isEmpty() && m_shownStamp == m_stamp)
        return;
    const auto got = std::make_shared<std::optional<Inspection>>();
    const QString stamp = m_stamp;
    if (!read([got, id](ArchiveDatabase &db) { *got = ArchiveStore(db).load(id); }))
        return;
    m_shownStamp = stamp;
    if (const qint64 next = std::exchange(m_showAgain, 0); next && next != id) {
        showInspection(next); // chosen meanwhile
        return;
    }
    if (std::exchange(m_refreshAgain, false)) {
        m_shown = *got;
        refresh();
        return;
    }
    m_shown = *got;
    if (m_shown)
        showShown();
}

VerdictBands ArchiveWindow::bandsFor(const std::optional<VerdictBands> &judgedWith) const
{
    return m_rejudging || !judgedWith ? m_settings.bands : *judgedWith;
}

void ArchiveWindow::setRejudging(bool on)
{
    m_rejudging = on;
    m_list->setRejudging(on);
    if (m_shown)
        showShown();
    // The verdict filter and sort judge anew as well.
    if (CB_Verdict->currentIndex() > 0 || m_order.key == ArchiveSortKey::Worst)
        refresh();
}

void ArchiveWindow::showShown()
{
    const Inspection &i = *m_shown;
    showDetails(i);
    const VerdictBands bands = bandsFor(i.judgedWith);
    const Verdict worst = bands.worst(summarise(i));
    L_Inspection->setText(
        QStringLiteral("<b>%1. sz. vizsgálat</b> &nbsp; %2 – %3<br>Kategória: %4 &nbsp; "
                       "Állomás: %5 &nbsp; Összesített minősítés: <b>%6</b>%7")
            .arg(i.id)
            .arg(timeText(i.started), timeText(i.ended),
                 (i.category.isEmpty() ? QStringLiteral("(nem érkezett)") : i.category)
                     .toHtmlEscaped(),
                 i.station.toHtmlEscaped(), verdictName(worst),
                 bands == i.judgedWith ? QString()
                 : i.judgedWith
                     ? QStringLiteral("<br><span style='color:#b00000'><b>Újraminősítve a mai "
                                      "határokkal</b> – nem az eredeti minősítés</span>")
                     : QStringLiteral("<br><span style='color:#b00000'><b>A mai határokkal "
                                      "minősítve</b> – az eredeti határokat a program korábbi "
                                      "változata nem tárolta</span>")));
    m_points->setInspection(i, bands);
    CarDiagram::Verdicts verdicts;
    verdicts.fill(Verdict::None);
    QStringList tips;
    for (int p = 0; p < PointCatalogue::kPointCount; ++p)
        tips.append(
            QStringLiteral("%1. %2: nem mérték").arg(p + 1).arg(PointCatalogue::displayName(p)));
    for (const PointStatistics &s : m_points->statistics()) {
        verdicts[size_t(s.point)] = s.verdict;
        const QStringList row = statisticsRow(s, i);
        tips[s.point] =
            s.n == 0
                ? tips.at(s.point)
                : QStringLiteral("%1. %2: %3\nn = %4, %5–%6 µm, átlag %7 µm\n%8")
                      .arg(row.at(StatisticsColumn::Number), row.at(StatisticsColumn::Point),
                           row.at(StatisticsColumn::Verdict), row.at(StatisticsColumn::N),
                           row.at(StatisticsColumn::Minimum), row.at(StatisticsColumn::Maximum),
                           row.at(StatisticsColumn::Mean), row.at(StatisticsColumn::Readings));
    }
    W_Diagram->setPoints(verdicts, tips);
    W_Diagram->setHighlighted(-1);
}

void ArchiveWindow::onPoll()
{
    if (m_waiting || m_inFlight > 0)
        return;
    if (m_stamp.isEmpty()) {
        refresh();
        return;
    }
    const auto stamp = std::make_shared<QString>();
    if (read([stamp](ArchiveDatabase &db) { *stamp = ArchiveStore(db).changeStamp(); }) &&
        *stamp != m_stamp)
        refresh();
}

QList<qint64> ArchiveWindow::chosenIds() const
{
    QList<qint64> ids;
    for (const QModelIndex &row : TV_Inspections->selectionModel()->selectedRows())
        ids.append(row.data(InspectionListModel::kIdRole).toLongLong());
    if (ids.isEmpty() && m_shown)
        ids.append(m_shown->id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool ArchiveWindow::exportCsv(const QString &path, QString *error)
{
    const QList<qint64> ids = chosenIds();
    if (ids.isEmpty()) {
        *error = QStringLiteral("Nincs kiválasztott vizsgálat.");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QProgressDialog progress(QStringLiteral("CSV exportálás…"), QStringLiteral("Mégse"), 0,
                             int(ids.size()), this);
    progress.setMinimumDuration(500);
    progress.setWindowModality(Qt::WindowModal);
    bool ok = file.write(CsvExport::header()) > 0;
    constexpr qsizetype kChunk = 100;
    for (qsizetype n = 0; ok && n < ids.size(); n += kChunk) {
        progress.setValue(int(n));
        if (progress.wasCanceled()) {
            file.cancelWriting();
            *error = QStringLiteral("Megszakítva.");
            return false;
        }
        const auto loaded = std::make_shared<QList<Inspection>>();
        const QList<qint64> chunk = ids.mid(n, kChunk);
        if (!read([loaded, chunk](ArchiveDatabase &db) {
                ArchiveStore store(db);
                for (qint64 id : chunk) {
                    if (std::optional<Inspection> i = store.load(id))
                        loaded->append(*i);
                }
            })) {
            file.cancelWriting();
            *error = L_Banner->text();
            return false;
        }
        for (const Inspection &i : std::as_const(*loaded))
            ok = ok && file.write(CsvExport::rows(i, bandsFor(i.judgedWith))) >= 0;
    }
    // Flushed and checked first: a full disk must not leave a cut-off file.
    if (!ok || !file.flush() || !file.commit()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool ArchiveWindow::exportPdf(const QString &path, QString *error)
{
    if (!m_shown) {
        *error = QStringLiteral("Nincs kiválasztott vizsgálat.");
        return false;
    }
    try {
        InspectionReport(*m_shown, bandsFor(m_shown->judgedWith)).writePdf(path);
    } catch (const Failure &f) {
        *error = f.text();
        return false;
    }
    return true;
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
    m_storedPlate = inspection.plateOrVin();
    m_storedInspector = inspection.inspector;
    if (!keepTyped) {
        LE_Plate->setText(inspection.plateOrVin());
        LE_Inspector->setText(inspection.inspector);
    }
    for (QWidget *w : std::initializer_list<QWidget *>{LE_Plate, LE_Inspector, BB_SaveDetails})
        w->setEnabled(true);
}

bool ArchiveWindow::detailsChanged() const
{
    if (!m_detailsId)
        return false;
    const QString plate = LE_Plate->text();
    const QString inspector = LE_Inspector->text();
    return InspectionDetails::plate(plate).value_or(plate) != m_storedPlate ||
           InspectionDetails::name(inspector).value_or(inspector) != m_storedInspector;
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
    const std::optional<QString> plate = InspectionDetails::plate(LE_Plate->text(), &why);
    if (!plate) {
        tellDetails(QStringLiteral("A(z) %1. sz. vizsgálat rendszáma / alvázszáma („%2”) nincs "
                                   "elmentve: %3.")
                        .arg(id)
                        .arg(LE_Plate->text(), why),
                    true);
        return false;
    }
    const std::optional<QString> inspector = InspectionDetails::name(LE_Inspector->text(), &why);
    if (!inspector) {
        tellDetails(
            QStringLiteral("A(z) %1. sz. vizsgálat vizsgálójának neve nincs elmentve: a név "
                           "%2.")
                .arg(id)
                .arg(why),
            true);
        return false;
    }
    LE_Plate->setText(*plate);
    LE_Inspector->setText(*inspector);
    tellDetails(QStringLiteral("Mentés…"), false);
    m_reader->post(
        [id, plate = *plate, inspector = *inspector](ArchiveDatabase &db) {
            if (db.isReadOnly())
                throw ArchiveError(ArchiveError::Cause::Failed,
                                   QStringLiteral("az archívum ezen a helyen csak olvasható"));
            ArchiveStore(db).setDetails(id, plate, inspector);
        },
        this,
        [this, id, plate = *plate,
         inspector = *inspector](const std::optional<ArchiveError> &error) {
            detailsDone(id, plate, inspector, error);
        });
    return true;
}

void ArchiveWindow::detailsDone(qint64 id, const QString &plate, const QString &inspector,
                                const std::optional<ArchiveError> &error)
{
    if (error) {
        // Said with what was typed: the fields may show another inspection by now.
        tellDetails(QStringLiteral("A(z) %1. sz. vizsgálat rendszáma / alvázszáma („%2”) és "
                                   "vizsgálója („%3”) NEM mentődött el: %4.%5")
                        .arg(id)
                        .arg(plate, inspector, error->text(),
                             m_detailsId == id ? QStringLiteral(" Próbálja újra a Mentés gombbal.")
                                               : QString()),
                    true);
    } else {
        if (m_shown && m_shown->id == id) {
            m_shown->plate = plate;
            m_shown->inspector = inspector;
        }
        if (m_detailsId == id) {
            m_storedPlate = plate;
            m_storedInspector = inspector;
        }
        tellDetails(
            QStringLiteral("A(z) %1. sz. vizsgálat rendszáma / alvázszáma és vizsgálója elmentve.")
                .arg(id),
            false);
    }
    Q_EMIT detailsSaved(id, !error);
}

QString ArchiveWindow::exportFolder() const
{
    if (!m_exportFolder.isEmpty() && QDir(m_exportFolder).exists())
        return m_exportFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

void ArchiveWindow::askExport(const QString &title, const QString &suggested, const QString &filter,
                              ExportFunction write)
{
    const QString path =
        QFileDialog::getSaveFileName(this, title, QDir(exportFolder()).filePath(suggested), filter);
    if (!path.isEmpty())
        m_exportFolder = QFileInfo(path).absolutePath();
    QString error;
    if (!path.isEmpty() && !(this->*write)(path, &error))
        QMessageBox::warning(this, windowTitle(),
                             title + QStringLiteral(": nem sikerült. ") + error);
}

void ArchiveWindow::askExportCsv()
{
    askExport(QStringLiteral("CSV exportálás"),
              m_shown ? QStringLiteral("vizsgalat-%1.csv").arg(m_shown->id)
                      : QStringLiteral("vizsgalatok.csv"),
              QStringLiteral("CSV fájl (*.csv)"), &ArchiveWindow::exportCsv);
}

void ArchiveWindow::askExportPdf()
{
    if (m_shown)
        askExport(QStringLiteral("PDF jelentés"),
                  QStringLiteral("jelentes-%1.pdf").arg(m_shown->id),
                  QStringLiteral("PDF fájl (*.pdf)"), &ArchiveWindow::exportPdf);
}

void ArchiveWindow::askPrint()
{
    if (!m_shown)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!InspectionReport(*m_shown, bandsFor(m_shown->judgedWith)).paint(printer))
        QMessageBox::warning(this, windowTitle(), QStringLiteral("A nyomtatás nem sikerült."));
}

void ArchiveWindow::askStatistics()
{
    const ArchiveFilter f = filter();
    QStringList what{QStringLiteral("%1 – %2").arg(DE_From->date().toString(DateFormat::kShort),
                                                   DE_To->date().toString(DateFormat::kShort))};
    for (QComboBox *combo : {CB_Category, CB_Station, CB_Verdict}) {
        if (combo->currentIndex() > 0)
            what.append(combo->currentText());
    }
    if (m_rejudging)
        what.append(QStringLiteral("a mai határokkal"));
    auto *dialog =
        new FilterStatisticsDialog(QStringLiteral("A szűrésnek megfelelő vizsgálatok pontjai: ") +
                                       what.join(QStringLiteral(", ")),
                                   this);
    dialog->setObjectName(QStringLiteral("D_Statistics"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    // Summed by the archive on a thread; the window goes on meanwhile.
    struct Result
    {
        QList<PointStatistics> points;
        qint64 inspections = 0;
    };
    const auto result = std::make_shared<Result>();
    // A dialog closed before its turn came costs the archive nothing.
    const auto wanted = std::make_shared<std::atomic<bool>>(true);
    connect(dialog, &QObject::destroyed, dialog, [wanted] { *wanted = false; });
    if (!m_statisticsReader)
        m_statisticsReader = std::make_unique<ArchiveReader>(m_location);
    m_statisticsReader->post(
        [result, f, wanted](ArchiveDatabase &db) {
            if (!*wanted)
                return;
            ArchiveQuery query(db);
            result->points = query.statistics(f);
            result->inspections = query.count(f);
        },
        dialog,
        [dialog, result](const std::optional<ArchiveError> &error) {
            if (error)
                dialog->setProblem(QStringLiteral("Az archívum nem olvasható: ") + error->text());
            else
                dialog->setStatistics(result->points, result->inspections);
        });
}

void ArchiveWindow::askBands()
{
    BandsDialog dialog(m_settings.bands, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!saveBands(dialog.bands(), &error))
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("A határok érvényesek, de a mentésük nem sikerült: ") +
                                 error);
}
