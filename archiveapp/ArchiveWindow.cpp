// The archive window's making: its widgets, actions, size and closing.
#include "ArchiveWindow.h"

#include "CarDiagramWidget.h"
#include "DateFormat.h"
#include "InspectionListModel.h"
#include "PointCatalogue.h"
#include "PointTableModel.h"
#include "YearTyping.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kDefaultDays = 30;
// The size the window opens at where the screen has room for it.
constexpr QSize kPreferredSize(1280, 860);
// The smallest it can be made: within a 1024×768 screen less a taskbar and a
// title bar (the style's frame may add a few pixels on each side).
constexpr QSize kMinimumSize(900, 560);

// The width a column needs for the longest of these texts.
int columnWidth(const QWidget *view, const QStringList &texts)
{
    int widest = 0;
    for (const QString &text : texts)
        widest = std::max(widest, view->fontMetrics().horizontalAdvance(text));
    return widest + 2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin) + 18;
}

} // namespace

ArchiveWindow::ArchiveWindow(ArchiveSettings settings, QString settingsPath, QWidget *parent)
    : QMainWindow(parent), m_settings(std::move(settings)), m_settingsPath(std::move(settingsPath))
{
    m_location = m_settings.usableLocation(&m_locationNotice);
    m_reader = std::make_unique<ArchiveReader>(m_location);
    const QString logo = m_settings.profile.logo;
    if (!logo.isEmpty() && QImageReader(logo).size().isEmpty()) {
        m_settings.problems.append(QStringLiteral("logo=%1: a kép nem olvasható, a jelentés logó "
                                                  "nélkül készül")
                                       .arg(logo));
        m_settings.profile.logo.clear();
    }
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
    m_overdue.setSingleShot(true);
    m_overdue.setInterval(kWaitMs);
    connect(&m_overdue, &QTimer::timeout, this, &ArchiveWindow::overdue);
    m_closeWait.setSingleShot(true);
    m_closeWait.setInterval(kWaitMs);
    connect(&m_closeWait, &QTimer::timeout, this, [this] {
        m_closeAfterSave = false;
        askCloseAnyway(
            QStringLiteral("Az archívum (%1) nem válaszolt.").arg(m_location.describe()));
    });
    connect(&m_poll, &QTimer::timeout, this, &ArchiveWindow::onPoll);
    m_poll.start(kPollMs);
    refresh();
}

ArchiveWindow::~ArchiveWindow()
{
    m_closing = true;
    // Every reader lets go at once: a stalled server holds the window's end
    // for one wait, not one per reader. An export stops at its next
    // inspection, its file not made.
    if (m_export)
        m_export->finish();
    if (m_statisticsReader)
        m_statisticsReader->finish();
    m_reader->finish();
    delete m_export;
}

void ArchiveWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closing && !m_closeAnyway && detailsChanged()) {
        event->ignore();
        if (m_closeAfterSave || m_closeQuestion)
            return; // the answer to the store, or to the question, closes
        // Stored first; its answer closes the window, or asks when it failed.
        if (saveDetails()) {
            m_closeAfterSave = true;
            m_closeWait.start();
        } else {
            askCloseAnyway(L_Details->text());
        }
        return;
    }
    m_closing = true;
    QMainWindow::closeEvent(event);
}

void ArchiveWindow::askCloseAnyway(const QString &why)
{
    if (m_closeQuestion)
        return;
    auto *box = new QMessageBox(
        QMessageBox::Question, windowTitle(),
        QStringLiteral("A jármű adatai és a vizsgáló neve nincsenek elmentve.\n%1\n\n"
                       "Bezárja mégis az ablakot?")
            .arg(why),
        QMessageBox::Yes | QMessageBox::No, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_closeQuestion = box;
    connect(box, &QMessageBox::finished, this, [this](int answer) {
        if (answer != QMessageBox::Yes)
            return;
        m_closeAnyway = true;
        close();
    });
    box->open();
}

void ArchiveWindow::buildWindow()
{
    setWindowTitle(QStringLiteral("Kromaglen archívum"));
    auto *central = new QWidget;
    auto *outer = new QVBoxLayout(central);

    L_Banner = new QLabel;
    L_Banner->setObjectName(QStringLiteral("L_Banner"));
    L_Banner->setWordWrap(true);
    L_Banner->setTextInteractionFlags(Qt::TextSelectableByMouse);
    L_Banner->setStyleSheet(QStringLiteral("background: #fff1c2; color: black;"
                                           " border: 1px solid #d9b44a; padding: 6px;"));
    L_Banner->hide();
    outer->addWidget(L_Banner);
    outer->addLayout(buildFilters());

    auto *split = new QSplitter(Qt::Horizontal);
    split->setObjectName(QStringLiteral("SP_Main"));
    m_list = new InspectionListModel(this);
    m_list->setBands(m_settings.bands);
    connect(m_list, &InspectionListModel::moreWanted, this, &ArchiveWindow::fetchNextPage);
    TV_Inspections = new QTableView;
    TV_Inspections->setObjectName(QStringLiteral("TV_Inspections"));
    TV_Inspections->setModel(m_list);
    TV_Inspections->setSelectionBehavior(QAbstractItemView::SelectRows);
    TV_Inspections->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TV_Inspections->setSortingEnabled(true);
    // One line a row: a long category ends in "…" (whole in its tool-tip).
    TV_Inspections->setWordWrap(false);
    TV_Inspections->sortByColumn(InspectionListModel::Date, Qt::DescendingOrder);
    // The archive sorts: a click on a header reads the list again in that order.
    connect(TV_Inspections->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            &ArchiveWindow::onSortChanged);
    TV_Inspections->verticalHeader()->hide();
    TV_Inspections->verticalHeader()->setDefaultSectionSize(22);
    TV_Inspections->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TV_Inspections->horizontalHeader()->setStretchLastSection(true);
    // Wide enough for the header and a typical value in any style and font.
    const QStringList dates{QStringLiteral("2024.12.28. 23:59")};
    TV_Inspections->setColumnWidth(InspectionListModel::Date,
                                   columnWidth(TV_Inspections, dates + QStringList{"Dátum"}));
    TV_Inspections->setColumnWidth(InspectionListModel::Category, 130);
    TV_Inspections->setColumnWidth(InspectionListModel::Plate,
                                   columnWidth(TV_Inspections, {QStringLiteral("ABC-123")}));
    for (int c : {int(InspectionListModel::Points), int(InspectionListModel::Readings),
                  int(InspectionListModel::Worst)})
        TV_Inspections->setColumnWidth(
            c, columnWidth(TV_Inspections,
                           {m_list->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                            c == InspectionListModel::Worst ? QStringLiteral("Újrafényezett")
                                                            : QStringLiteral("999")}));
    TV_Inspections->horizontalHeader()->setMinimumSectionSize(
        columnWidth(TV_Inspections, {QStringLiteral("Állomás")}));
    connect(TV_Inspections->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ArchiveWindow::onCurrentChanged);
    connect(TV_Inspections->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ArchiveWindow::onChosenChanged);
    split->addWidget(TV_Inspections);

    auto *detail = new QWidget;
    auto *right = new QVBoxLayout(detail);
    right->setContentsMargins(0, 0, 0, 0);
    L_Inspection = new QLabel(QStringLiteral("Válasszon ki egy vizsgálatot a listából."));
    L_Inspection->setObjectName(QStringLiteral("L_Inspection"));
    L_Inspection->setTextInteractionFlags(Qt::TextSelectableByMouse);
    L_Inspection->setWordWrap(true);
    // A long category line wraps or is cut here; it never widens the window.
    L_Inspection->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    L_Inspection->setMinimumHeight(L_Inspection->fontMetrics().lineSpacing() * 3);
    right->addWidget(L_Inspection);
    right->addWidget(buildDetails());
    // The diagram and the table share the height as the user drags it.
    auto *parts = new QSplitter(Qt::Vertical);
    parts->setObjectName(QStringLiteral("SP_Detail"));
    parts->setChildrenCollapsible(false);
    W_Diagram = new CarDiagramWidget;
    W_Diagram->setObjectName(QStringLiteral("W_Diagram"));
    W_Diagram->setMinimumSize(240, 130);
    parts->addWidget(W_Diagram);
    m_points = new PointTableModel(this);
    TV_Points = new QTableView;
    TV_Points->setObjectName(QStringLiteral("TV_Points"));
    TV_Points->setModel(m_points);
    TV_Points->setSelectionBehavior(QAbstractItemView::SelectRows);
    TV_Points->setSelectionMode(QAbstractItemView::SingleSelection);
    TV_Points->setWordWrap(false);
    TV_Points->verticalHeader()->hide();
    TV_Points->verticalHeader()->setDefaultSectionSize(21);
    TV_Points->horizontalHeader()->setStretchLastSection(true);
    // Five-digit readings and the longest verdict whole, whatever the font.
    QString longestName;
    for (int p = 0; p < PointCatalogue::kPointCount; ++p) {
        if (PointCatalogue::displayName(p).size() > longestName.size())
            longestName = PointCatalogue::displayName(p);
    }
    const QStringList widest{QStringLiteral("23"),
                             longestName,
                             QStringLiteral("FE/AL"),
                             QStringLiteral("99"),
                             QStringLiteral("65535"),
                             QStringLiteral("65535"),
                             QStringLiteral("65535,0"),
                             QStringLiteral("9999,9"),
                             QStringLiteral("Gyanúsan vékony")};
    for (int c = 0; c < widest.size(); ++c)
        TV_Points->setColumnWidth(
            c, columnWidth(TV_Points,
                           {widest.at(c),
                            m_points->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()}) -
                   8);
    TV_Points->setMinimumHeight(110);
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
    TV_Inspections->setMinimumWidth(260);
    split->setChildrenCollapsible(false);
    split->addWidget(detail);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    // The list as wide as its columns where there is room.
    int listWidth = 24;
    for (int c = 0; c + 1 < InspectionListModel::ColumnCount; ++c)
        listWidth += TV_Inspections->columnWidth(c);
    listWidth += TV_Inspections->horizontalHeader()->minimumSectionSize() + 40;
    split->setSizes({listWidth, std::max(kPreferredSize.width() - listWidth, 560)});
    outer->addWidget(split, 1);
    setCentralWidget(central);
    // No smaller than the filter rows and the details need with this font.
    setMinimumSize(kMinimumSize.expandedTo(minimumSizeHint()));
}

QLayout *ArchiveWindow::buildFilters()
{
    auto *rows = new QVBoxLayout;
    auto *dates = new QHBoxLayout;
    const QDate today = QDate::currentDate();
    DE_From = new QDateEdit(today.addDays(-kDefaultDays));
    DE_To = new QDateEdit(today);
    for (QDateEdit *edit : {DE_From, DE_To}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(DateFormat::kShort);
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("2024.12.28.")) +
                              50);
        // Read when a date is complete, not at each digit typed into it.
        edit->setKeyboardTracking(false);
        new YearTyping(edit);
        connect(edit, &QDateEdit::dateChanged, this, &ArchiveWindow::refresh);
    }
    DE_From->setObjectName(QStringLiteral("DE_From"));
    DE_To->setObjectName(QStringLiteral("DE_To"));
    dates->addWidget(new QLabel(QStringLiteral("Ettől:")));
    dates->addWidget(DE_From);
    dates->addWidget(new QLabel(QStringLiteral("Eddig:")));
    dates->addWidget(DE_To);
    dates->addSpacing(8);
    const auto quick = [&](const QString &name, const QString &text, auto range) {
        auto *button = new QToolButton;
        button->setObjectName(name);
        button->setText(text);
        connect(button, &QToolButton::clicked, this, [this, range] {
            const QDate now = QDate::currentDate();
            setRange(range(now), now);
        });
        dates->addWidget(button);
    };
    quick(QStringLiteral("BB_Today"), QStringLiteral("Ma"), [](QDate d) { return d; });
    quick(QStringLiteral("BB_ThisMonth"), QStringLiteral("E hónap"),
          [](QDate d) { return QDate(d.year(), d.month(), 1); });
    quick(QStringLiteral("BB_ThisYear"), QStringLiteral("Ez az év"),
          [](QDate d) { return QDate(d.year(), 1, 1); });
    quick(QStringLiteral("BB_Last30"), QStringLiteral("Utolsó 30 nap"),
          [](QDate d) { return d.addDays(-kDefaultDays); });
    dates->addSpacing(8);
    LE_Search = new QLineEdit;
    LE_Search->setObjectName(QStringLiteral("LE_Search"));
    LE_Search->setPlaceholderText(QStringLiteral("Keresés: rendszám vagy alvázszám eleje"));
    LE_Search->setClearButtonEnabled(true);
    LE_Search->setMinimumWidth(
        LE_Search->fontMetrics().horizontalAdvance(QStringLiteral("WVWZZZ1JZXW")) + 40);
    m_searchDelay.setSingleShot(true);
    m_searchDelay.setInterval(300);
    connect(LE_Search, &QLineEdit::textChanged, &m_searchDelay, qOverload<>(&QTimer::start));
    connect(&m_searchDelay, &QTimer::timeout, this, &ArchiveWindow::refresh);
    connect(LE_Search, &QLineEdit::returnPressed, this, [this] {
        m_searchDelay.stop();
        refresh();
    });
    dates->addWidget(LE_Search, 1);
    rows->addLayout(dates);

    auto *choices = new QHBoxLayout;
    CB_Category = new QComboBox;
    CB_Category->setObjectName(QStringLiteral("CB_Category"));
    CB_Category->setMinimumContentsLength(14);
    CB_Category->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(CB_Category, &QComboBox::activated, this, &ArchiveWindow::refresh);
    CB_Station = new QComboBox;
    CB_Station->setObjectName(QStringLiteral("CB_Station"));
    CB_Station->setMinimumContentsLength(10);
    CB_Station->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(CB_Station, &QComboBox::activated, this, &ArchiveWindow::refresh);
    // From the best to the worst, as the legend: a verdict and the worse ones.
    CB_Verdict = new QComboBox;
    CB_Verdict->setObjectName(QStringLiteral("CB_Verdict"));
    CB_Verdict->addItem(QStringLiteral("(mind)"));
    CB_Verdict->addItem(QStringLiteral("csak ") + verdictName(Verdict::Factory).toLower(),
                        int(Verdict::Factory));
    for (Verdict v : {Verdict::Thin, Verdict::Repainted})
        CB_Verdict->addItem(verdictName(v) + QStringLiteral(" vagy rosszabb"), int(v));
    CB_Verdict->addItem(verdictName(Verdict::Filler), int(Verdict::Filler));
    CB_Verdict->setToolTip(QStringLiteral("A vizsgálat legrosszabb minősítésű pontja"));
    connect(CB_Verdict, &QComboBox::activated, this, &ArchiveWindow::refresh);
    choices->addWidget(new QLabel(QStringLiteral("Kategória:")));
    choices->addWidget(CB_Category, 2);
    choices->addSpacing(8);
    choices->addWidget(new QLabel(QStringLiteral("Állomás:")));
    choices->addWidget(CB_Station, 1);
    choices->addSpacing(8);
    choices->addWidget(new QLabel(QStringLiteral("Legrosszabb:")));
    choices->addWidget(CB_Verdict);
    rows->addLayout(choices);
    return rows;
}

void ArchiveWindow::setRange(const QDate &from, const QDate &to)
{
    // One read for both dates.
    const QSignalBlocker blockFrom(DE_From);
    const QSignalBlocker blockTo(DE_To);
    DE_From->setDate(from);
    DE_To->setDate(to);
    refresh();
}

QWidget *ArchiveWindow::buildDetails()
{
    auto *box = new QWidget;
    auto *rows = new QVBoxLayout(box);
    rows->setContentsMargins(0, 0, 0, 0);
    auto *grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    const auto field = [&](QLineEdit *&edit, const char *name, const QString &label,
                           const QString &placeholder, const QString &widest, int row, int column,
                           int span = 1) {
        edit = new QLineEdit;
        edit->setObjectName(QLatin1StringView(name));
        edit->setPlaceholderText(placeholder);
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(widest) + 16);
        edit->setEnabled(false);
        connect(edit, &QLineEdit::returnPressed, this, &ArchiveWindow::saveDetails);
        auto *caption = new QLabel(label);
        caption->setBuddy(edit);
        grid->addWidget(caption, row, column);
        grid->addWidget(edit, row, column + 1, 1, span);
    };
    field(LE_Plate, "LE_Plate", QStringLiteral("&Rendszám:"), QStringLiteral("pl. ABC-123"),
          QStringLiteral("ABC-123 XX"), 0, 0);
    field(LE_Vin, "LE_Vin", QStringLiteral("&Alvázszám:"), QStringLiteral("17 karakter"),
          QStringLiteral("WVWZZZ1JZXW000001"), 0, 2);
    field(LE_MakeModel, "LE_MakeModel", QStringLiteral("&Gyártmány, típus:"),
          QStringLiteral("pl. Opel Astra"), QStringLiteral("Opel Astra"), 1, 0);
    field(LE_Odometer, "LE_Odometer", QStringLiteral("&Km-állás:"), QStringLiteral("km"),
          QStringLiteral("1 234 567"), 1, 2);
    field(LE_Inspector, "LE_Inspector", QStringLiteral("&Vizsgáló:"),
          QStringLiteral("a vizsgáló neve"), QStringLiteral("Kovács Éva"), 2, 0, 2);
    // Upper case as they are typed: they are stored so.
    for (QLineEdit *edit : {LE_Plate, LE_Vin}) {
        connect(edit, &QLineEdit::textEdited, this, [edit](const QString &text) {
            const int cursor = edit->cursorPosition();
            edit->setText(text.toUpper());
            edit->setCursorPosition(cursor);
        });
    }
    BB_SaveDetails = new QPushButton(QStringLiteral("&Mentés"));
    BB_SaveDetails->setObjectName(QStringLiteral("BB_SaveDetails"));
    BB_SaveDetails->setToolTip(
        QStringLiteral("A jármű adatainak és a vizsgáló nevének mentése az archívumba (Enter)"));
    BB_SaveDetails->setEnabled(false);
    connect(BB_SaveDetails, &QPushButton::clicked, this, &ArchiveWindow::saveDetails);
    grid->addWidget(BB_SaveDetails, 2, 3, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    rows->addLayout(grid);
    L_Details = new QLabel;
    L_Details->setObjectName(QStringLiteral("L_Details"));
    L_Details->setWordWrap(true);
    L_Details->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
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
    add(QStringLiteral("A_Bands"), QStringLiteral("Határok…"), QKeySequence(),
        &ArchiveWindow::askBands)
        ->setToolTip(QStringLiteral("Minősítési határok"));
    auto *rejudge = new QAction(QStringLiteral("Mai határokkal"), this);
    rejudge->setObjectName(QStringLiteral("A_Rejudge"));
    rejudge->setToolTip(QStringLiteral("Újraminősítés a mai határokkal"));
    rejudge->setCheckable(true);
    connect(rejudge, &QAction::toggled, this, &ArchiveWindow::setRejudging);
    bar->addAction(rejudge);
}
