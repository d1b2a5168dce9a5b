// The archive window's reads: the list, its pages and count, the chosen
// inspection and the poll, each posted to the reader and moved on by its answer.
#include "ArchiveWindow.h"

#include "ArchiveDatabase.h"
#include "CarDiagramWidget.h"
#include "EventLog.h"
#include "InspectionListModel.h"
#include "PointCatalogue.h"
#include "PointTableModel.h"
#include "StatisticsText.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTableView>

struct ArchiveWindow::ListRead
{
    QString stamp;
    QStringList categories;
    QStringList stations;
    ArchivePage page;
};

void ArchiveWindow::ask(ArchiveReader::Job job, std::function<void(bool ok)> then)
{
    ++m_inFlight;
    if (!m_overdue.isActive())
        m_overdue.start();
    m_reader->post(std::move(job), this,
                   [this, then = std::move(then)](const std::optional<ArchiveError> &error) {
                       if (--m_inFlight == 0)
                           m_overdue.stop();
                       if (m_closing)
                           return;
                       if (error) {
                           showReadProblem(*error);
                       } else if (std::exchange(m_late, false) ||
                                  L_Banner->text() != m_locationNotice) {
                           showProblem(m_locationNotice);
                       }
                       then(!error);
                   });
}

void ArchiveWindow::overdue()
{
    m_late = true;
    const QString text = QStringLiteral("Az archívum (") + m_location.describe() +
                         QStringLiteral(") nem válaszol; a program tovább vár rá, és amint "
                                        "válaszol, frissíti a listát.");
    showProblem(text);
    log(text);
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
    log(text);
}

void ArchiveWindow::setLog(EventLog *log)
{
    m_log = log;
    if (log)
        connect(m_reader.get(), &ArchiveReader::upgraded, log, &EventLog::write);
    if (!m_locationNotice.isEmpty())
        this->log(m_locationNotice);
}

void ArchiveWindow::log(const QString &text)
{
    if (m_log)
        m_log->write(text);
}

void ArchiveWindow::showProblem(const QString &text)
{
    L_Banner->setText(text);
    L_Banner->setVisible(!text.isEmpty());
}

bool ArchiveWindow::archiveMissing()
{
    if (m_location.kind != ArchiveLocation::Kind::SqliteFile)
        return false;
    const QFileInfo file(m_location.file);
    if (file.exists())
        return false;
    // Nothing is made here: the wizard makes the archive with its first store.
    showProblem(QStringLiteral("Ebben a mappában nincs archívum: %1\nA(z) %2 fájlt a "
                               "mérőprogram hozza létre az első mérés mentésekor. Ha az "
                               "archívum máshol van, ebből a mappából indítsa a programot, "
                               "vagy adja meg a helyét a %3 fájl archive= sorában.")
                    .arg(QDir::toNativeSeparators(file.absolutePath()), file.fileName(),
                         ArchiveSettings::kFileName));
    return true;
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
    if (CB_Verdict->currentIndex() > 0) {
        f.verdict = Verdict(CB_Verdict->currentData().toInt());
        f.orWorse = *f.verdict != Verdict::Factory;
    }
    f.search = LE_Search->text().trimmed();
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
    static const std::optional<ArchiveSortKey> keys[] = {
        ArchiveSortKey::Started,  std::nullopt,
        ArchiveSortKey::Category, ArchiveSortKey::Points,
        ArchiveSortKey::Readings, ArchiveSortKey::Worst,
        ArchiveSortKey::Station};
    if (column < 0 || column >= InspectionListModel::ColumnCount)
        return;
    if (!keys[column]) {
        // The archive does not sort by plate (a search finds one): the
        // indicator goes back to the order the list is in.
        const int shown =
            int(std::find(std::begin(keys), std::end(keys), m_order.key) - std::begin(keys));
        const QSignalBlocker quiet(TV_Inspections->horizontalHeader());
        TV_Inspections->horizontalHeader()->setSortIndicator(
            shown, m_order.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        return;
    }
    m_order = {*keys[column], order == Qt::DescendingOrder};
    // The inspection being read stays, wherever the new order puts it.
    m_keepShown = true;
    refresh();
}

void ArchiveWindow::refresh()
{
    if (m_closing)
        return;
    if (m_listReading) {
        m_refreshAgain = true; // after the read under way
        return;
    }
    if (archiveMissing()) {
        m_stamp.clear();
        m_next.reset();
        m_list->setInspections({});
        showNothing(QStringLiteral("Nincs archívum ebben a mappában."));
        statusBar()->showMessage(
            QStringLiteral("Archívum: ") +
            QDir::toNativeSeparators(QFileInfo(m_location.file).absoluteFilePath()));
        return;
    }
    const auto got = std::make_shared<ListRead>();
    const ArchiveFilter f = filter();
    // As many rows as were scrolled through, so that the place is kept.
    const int rows = std::max(kPageSize, m_list->rowCount());
    m_live->store(++m_generation);
    m_pageAsked = false;
    m_listReading = true;
    ask(
        [got, f, order = m_order, rows](ArchiveDatabase &db) {
            got->stamp = ArchiveStore(db).changeStamp();
            ArchiveQuery query(db);
            got->categories = query.categories();
            got->stations = query.stations();
            got->page = query.page(f, order, rows);
        },
        [this, got](bool ok) {
            m_listReading = false;
            // The inspection asked for last, else the one shown.
            listRead(ok, *got, m_wantedId ? m_wantedId : m_shown ? m_shown->id : 0);
            if (std::exchange(m_refreshAgain, false))
                refresh();
        });
}

void ArchiveWindow::listRead(bool ok, const ListRead &got, qint64 keep)
{
    m_matching.reset();
    m_countProblem.clear();
    m_restoring = true;
    if (ok) {
        m_stamp = got.stamp;
        fillChoices(CB_Category, got.categories, QStringLiteral("(nincs kategória)"));
        fillChoices(CB_Station, got.stations, QStringLiteral("(nincs állomás)"));
        m_next = got.page.next;
        m_list->setInspections(got.page.rows, m_next.has_value());
    } else {
        m_next.reset();
        m_list->setInspections({});
    }
    m_restoring = false;
    updateStatus();
    restoreChoice(keep);
    // Behind the chosen inspection's read: the count of millions of rows
    // must not hold up what the window shows.
    if (ok)
        countRows();
}

void ArchiveWindow::restoreChoice(qint64 keep)
{
    QItemSelectionModel *selection = TV_Inspections->selectionModel();
    const int row = keep ? m_list->rowOf(keep) : -1;
    const bool keepShown = std::exchange(m_keepShown, false);
    m_restoring = true;
    // The rows chosen before, by id, in runs of neighbouring rows.
    QItemSelection chosen;
    const int last = m_list->columnCount() - 1;
    for (int r = 0; r < m_list->rowCount(); ++r) {
        if (!m_allChosen && !m_chosen.contains(m_list->at(r).id))
            continue;
        int end = r;
        while (end + 1 < m_list->rowCount() &&
               (m_allChosen || m_chosen.contains(m_list->at(end + 1).id)))
            ++end;
        chosen.select(m_list->index(r, 0), m_list->index(end, last));
        r = end;
    }
    if (row >= 0)
        selection->setCurrentIndex(m_list->index(row, 0), QItemSelectionModel::NoUpdate);
    if (!chosen.isEmpty())
        selection->select(chosen, QItemSelectionModel::ClearAndSelect);
    else if (row >= 0)
        selection->select(m_list->index(row, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_restoring = false;
    if (row >= 0) {
        TV_Inspections->scrollTo(m_list->index(row, 0));
        showInspection(keep); // stored again meanwhile: show what is stored now
    } else if (keep && keepShown) {
        showInspection(keep); // sorted out of the rows read so far: still shown
    } else if (!chosen.isEmpty()) {
        // The shown one left the list: the first of those still chosen.
        const QModelIndex first = chosen.first().topLeft();
        m_restoring = true;
        selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        m_restoring = false;
        showInspection(first.data(InspectionListModel::kIdRole).toLongLong());
    } else if (m_list->rowCount() > 0) {
        m_chosen.clear();
        m_allChosen = false;
        TV_Inspections->selectRow(0);
    } else {
        showNothing(QStringLiteral("Nincs vizsgálat a megadott időszakban."));
    }
}

void ArchiveWindow::showNothing(const QString &text)
{
    m_shown.reset();
    m_wantedId = 0;
    L_Inspection->setText(text);
    m_points->setInspection({}, m_settings.bands);
    CarDiagram::Verdicts none;
    none.fill(Verdict::None);
    W_Diagram->setPoints(none, {});
}

void ArchiveWindow::onChosenChanged()
{
    if (m_restoring)
        return;
    m_chosen.clear();
    const QModelIndexList rows = TV_Inspections->selectionModel()->selectedRows();
    for (const QModelIndex &row : rows)
        m_chosen.insert(row.data(InspectionListModel::kIdRole).toLongLong());
    // Every row chosen (Ctrl+A, or from the first to the last): the whole
    // filter, the rows not yet read included.
    m_allChosen = m_list->rowCount() > 1 && rows.size() == m_list->rowCount();
    updateStatus();
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
            const int first = m_list->rowCount();
            m_list->appendInspections(page->rows, m_next.has_value());
            // All chosen: the new rows are chosen too.
            if (m_allChosen && m_list->rowCount() > first) {
                m_restoring = true;
                TV_Inspections->selectionModel()->select(
                    QItemSelection(
                        m_list->index(first, 0),
                        m_list->index(m_list->rowCount() - 1, m_list->columnCount() - 1)),
                    QItemSelectionModel::Select);
                m_restoring = false;
            }
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
    if (m_allChosen)
        count += QStringLiteral(" – kijelölve: mind");
    else if (m_chosen.size() > 1)
        count += QStringLiteral(" – kijelölve: %1").arg(m_chosen.size());
    statusBar()->showMessage(count + QStringLiteral(" – archívum: %1").arg(m_location.describe()));
}

void ArchiveWindow::onCurrentChanged()
{
    const QModelIndex current = TV_Inspections->currentIndex();
    if (current.isValid() && !m_restoring)
        showInspection(current.data(InspectionListModel::kIdRole).toLongLong());
}

void ArchiveWindow::showInspection(qint64 id)
{
    if (m_closing)
        return;
    m_wantedId = id;
    if (m_loading)
        return; // taken up when the read under way answers
    // Shown already, and nothing stored since: the list was only read anew.
    if (m_shown && m_shown->id == id && !m_stamp.isEmpty() && m_shownStamp == m_stamp) {
        m_wantedId = 0;
        return;
    }
    const auto got = std::make_shared<std::optional<Inspection>>();
    const QString stamp = m_stamp;
    m_loading = true;
    ask([got, id](ArchiveDatabase &db) { *got = ArchiveStore(db).load(id); },
        [this, got, id, stamp](bool ok) {
            m_loading = false;
            const qint64 wanted = std::exchange(m_wantedId, 0);
            if (wanted && wanted != id) {
                showInspection(wanted); // chosen meanwhile
                return;
            }
            if (!ok)
                return;
            m_shownStamp = stamp;
            m_shown = *got;
            if (m_shown)
                showShown();
        });
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
    // A long category line is cut here (whole in its tool-tip and the report).
    constexpr int kCategoryChars = 90;
    const QString category = i.category.isEmpty() ? QStringLiteral("(nem érkezett)")
                             : i.category.size() > kCategoryChars
                                 ? i.category.left(kCategoryChars - 1) + u'…'
                                 : i.category;
    L_Inspection->setToolTip(i.category);
    L_Inspection->setText(
        QStringLiteral("<b>%1. sz. vizsgálat</b> &nbsp; %2 – %3<br>Kategória: %4 &nbsp; "
                       "Állomás: %5 &nbsp; Összesített minősítés: <b>%6</b>%7")
            .arg(i.id)
            .arg(timeText(i.started), timeText(i.ended), category.toHtmlEscaped(),
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
    if (m_inFlight > 0 || m_closing)
        return;
    if (m_stamp.isEmpty()) {
        refresh();
        return;
    }
    const auto stamp = std::make_shared<QString>();
    ask([stamp](ArchiveDatabase &db) { *stamp = ArchiveStore(db).changeStamp(); },
        [this, stamp](bool ok) {
            if (ok && *stamp != m_stamp)
                refresh();
        });
}
