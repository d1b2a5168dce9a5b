// A chain's archive: 50 stations over five years, two million inspections
// and some fifty million readings (or --count of them over a share of the
// five years, at the same density), on SQLite and (given an address) on
// PostgreSQL. Each thing the archive window does is timed against the bare
// SQL statement of the same result in the same run: opening to the newest
// rows, each filter, a sort by another column, statistics over a filter
// (also against the same figures summed from the readings); and what a
// store costs the wizard's window thread. See --help.
// The archive is built once: a tenth of it stored through ArchiveStore, as
// the filler does, then copied nine times over in SQL, each copy later by the
// tenth's span, which takes minutes rather than an hour; then left as the
// filler leaves an archive (its planner statistics counted once).
#include "ArchiveDatabase.h"
#include "ArchiveQuery.h"
#include "ArchiveRecorder.h"
#include "ArchiveRollup.h"
#include "ArchiveSampler.h"
#include "ArchiveStore.h"
#include "ArchiveWindow.h"
#include "BenchStats.h"
#include "InspectionDetails.h"
#include "InspectionListModel.h"
#include "ReadingLog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <ctime>

namespace {

constexpr int kCopies = 10;
constexpr int kHeadline = 2000000;
constexpr int kHeadlineDays = 1826;
// The size asked for, a tenth of it stored and the rest copied, over days at
// the headline's density.
int kInspections = kHeadline;
int kBase = kInspections / kCopies;
int kDays = kHeadlineDays;

ArchiveLocation fileLocation(const QString &path)
{
    ArchiveLocation location;
    location.file = path;
    return location;
}

// Processor time of the calling thread, in microseconds: what it did itself,
// whether or not the scheduler let it run meanwhile.
double threadCpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

double msSince(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// Five years back from today, newest last; the base covers the first tenth.
QDateTime startOf(int n)
{
    static const QDateTime first = QDateTime::currentDateTimeUtc().addDays(-kDays);
    return first.addMSecs(qint64(kDays) * 24 * 3600 * 1000 * n / kInspections);
}

qint64 scalar(ArchiveDatabase &db, const QString &sql)
{
    QSqlQuery q = db.exec(sql);
    return q.next() ? q.value(0).toLongLong() : -1;
}

// The copies of the first kBase inspections, each `shift` ms later than the one before.
void copyBase(ArchiveDatabase &db, qint64 shift)
{
    const QString limits = ArchiveStore::kLimitColumns;
    for (int k = 1; k < kCopies; ++k) {
        QElapsedTimer clock;
        clock.start();
        const QString id = QStringLiteral("%1 + %2").arg("%1").arg(qint64(k) * kBase);
        const QString later = QString::number(qint64(k) * shift);
        db.begin();
        db.exec(QStringLiteral(
                    "INSERT INTO inspection (id, uid, started_ms, ended_ms, category, station,"
                    " points_measured, reading_count, fe_min, fe_max, al_min, al_max, revision, "
                    "%1, worst, plate, vin, changed) SELECT id + %2, uid || '-%3', started_ms + %4,"
                    " ended_ms + %4, category, station, points_measured, reading_count, fe_min,"
                    " fe_max, al_min, al_max, revision, %1, worst, plate, vin, changed + %2"
                    " FROM inspection WHERE id <= %5")
                    .arg(limits)
                    .arg(qint64(k) * kBase)
                    .arg(k)
                    .arg(later)
                    .arg(kBase));
        const QString of = QStringLiteral(" WHERE inspection_id <= %1").arg(kBase);
        const QString moved = QStringLiteral("inspection_id + %1").arg(qint64(k) * kBase);
        db.exec("INSERT INTO plan_point (inspection_id, position, point, ticked) SELECT " + moved +
                ", position, point, ticked FROM plan_point" + of);
        db.exec("INSERT INTO reading (inspection_id, seq, point, substrate, value, typed,"
                " taken_ms) SELECT " +
                moved + ", seq, point, substrate, value, typed, taken_ms + " + later +
                " FROM reading" + of);
        db.exec("INSERT INTO sent_point (inspection_id, point, sent_ms) SELECT " + moved +
                ", point, sent_ms + " + later + " FROM sent_point" + of);
        db.commit();
        std::printf("  copy %d of %d in %.1f s\n", k, kCopies - 1, msSince(clock) / 1000);
        std::fflush(stdout);
    }
    if (!db.isSqlite())
        db.exec("SELECT setval(pg_get_serial_sequence('inspection', 'id'),"
                " (SELECT MAX(id) FROM inspection))");
}

// Makes the archive hold kInspections, keeping one that does.
void buildLarge(const ArchiveLocation &location)
{
    ArchiveDatabase db(location);
    QElapsedTimer opening;
    opening.start();
    db.open(); // an archive of an older program is upgraded
    if (opening.elapsed() > 1000)
        std::printf("  opened (and upgraded) in %.1f s\n", msSince(opening) / 1000);
    const qint64 count = scalar(db, "SELECT COUNT(*) FROM inspection");
    if (count == kInspections)
        return;
    QElapsedTimer clock;
    clock.start();
    if (db.isSqlite()) {
        db.exec("PRAGMA synchronous=OFF");
        db.exec("PRAGMA cache_size=-262144");
    } else {
        // A copy of millions of rows is one statement.
        db.exec("SET statement_timeout = 0");
        db.exec("SET idle_in_transaction_session_timeout = 0");
    }
    // A base stored earlier (by the filler, ids from 1) is cut to size;
    // anything else is started anew.
    if (count < kBase || scalar(db, "SELECT MAX(id) FROM inspection") != count) {
        if (count > 0)
            throw Failure("Exception",
                          location.describe() + " holds something else: give an empty archive");
        ArchiveStore store(db);
        ArchiveSampler sampler(4747, 50);
        for (int n = 0; n < kBase;) {
            QList<Inspection> batch;
            for (int b = 0; b < 2000; ++b, ++n)
                batch.append(sampler.next(startOf(n)));
            store.storeAll(batch);
        }
        std::printf("  stored %d in %.1f s\n", kBase, msSince(clock) / 1000);
    } else if (count > kBase) {
        db.begin();
        for (const char *table : {"plan_point", "reading", "sent_point"})
            db.exec(QStringLiteral("DELETE FROM %1 WHERE inspection_id > %2")
                        .arg(QLatin1StringView(table))
                        .arg(kBase));
        db.exec(QStringLiteral("DELETE FROM inspection WHERE id > %1").arg(kBase));
        db.commit();
    }
    const qint64 first = scalar(db, "SELECT MIN(started_ms) FROM inspection");
    const qint64 last = scalar(db, "SELECT MAX(started_ms) FROM inspection");
    copyBase(db, (last - first) * kBase / (kBase - 1));
    // The copies went in beside the store: their day sums are made afresh.
    QElapsedTimer sums;
    sums.start();
    ArchiveRollup(db).rebuild();
    std::printf("  day and block sums made afresh in %.1f s\n", msSince(sums) / 1000);
    // As the filler leaves an archive after a large fill.
    db.keepStatistics(ArchiveDatabase::Statistics::Now);
    if (db.isSqlite())
        db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    std::printf("built %s: %lld inspections, %lld readings in %.1f s\n",
                qPrintable(location.describe()), scalar(db, "SELECT COUNT(*) FROM inspection"),
                scalar(db, "SELECT COUNT(*) FROM reading"), msSince(clock) / 1000);
}

// The median of three runs, in ms.
double median3(const std::function<void()> &run)
{
    std::vector<double> ms;
    for (int n = 0; n < 3; ++n) {
        QElapsedTimer clock;
        clock.start();
        run();
        ms.push_back(msSince(clock));
    }
    std::sort(ms.begin(), ms.end());
    return ms[1];
}

void report(const char *what, double windowMs, double bareMs, double goalMs)
{
    std::printf("  %-36s %8.1f ms   bare SQL %8.1f ms   %5.2fx   %s\n", what, windowMs, bareMs,
                windowMs / std::max(0.01, bareMs), windowMs <= goalMs ? "ok" : "OVER GOAL");
    std::fflush(stdout);
}

// The bare statement of a page: the same rows the window shows first.
void barePage(ArchiveDatabase &db, const QString &where, const QString &order)
{
    QSqlQuery q =
        db.exec("SELECT id, started_ms, category, station, points_measured,"
                " reading_count, fe_min, fe_max, al_min, al_max, " +
                ArchiveStore::kLimitColumns + " FROM inspection WHERE " + where + " ORDER BY " +
                order + " LIMIT " + QString::number(ArchiveWindow::kPageSize));
    while (q.next()) {
    }
}

class WindowBench
{
public:
    WindowBench(const QString &folder, const ArchiveLocation &location)
        : m_folder(folder), m_location(location)
    {
    }

    void run()
    {
        ArchiveDatabase bare(m_location);
        bare.open();
        const bool sqlite = bare.isSqlite();
        const QString text = sqlite ? QString() : QStringLiteral(" COLLATE \"C\"");
        const QDate today = QDate::currentDate();
        const auto msOf = [](QDate d) {
            return QString::number(d.startOfDay().toMSecsSinceEpoch());
        };
        const QString recent = "started_ms >= " + msOf(today.addDays(-30)) + " AND started_ms < " +
                               msOf(today.addDays(1));
        const QString newest = "started_ms DESC, id DESC";

        ArchiveSettings settings;
        settings.location = m_location;
        // Opening: the window made and shown, to the newest rows in the list.
        std::unique_ptr<ArchiveWindow> window;
        const double open = median3([&] {
            window.reset();
            window = std::make_unique<ArchiveWindow>(settings, m_folder + "/bench.ini");
            window->setPollInterval(3600 * 1000);
            window->show();
            // The window reads on its reader thread: until the rows are in.
            QElapsedTimer clock;
            clock.start();
            while (list()->model()->rowCount() == 0 && clock.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (list()->model()->rowCount() == 0)
                std::printf("  (the window shows no rows)\n");
        });
        // The bare anchor opens a connection as the window's reader does for each read.
        const double bareOpen = median3([&] {
            ArchiveDatabase db(m_location);
            db.open(ArchiveDatabase::Access::ReadOnly);
            barePage(db, recent, newest);
        });
        report("open, newest rows shown", open, bareOpen, 300);
        settle();
        ArchiveWindow &w = *window;
        // The category and station choices are read after the list.
        for (const char *combo : {"CB_Category", "CB_Station"}) {
            QElapsedTimer clock;
            clock.start();
            while (w.findChild<QComboBox *>(combo)->count() < 2 && clock.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }

        auto *from = w.findChild<QDateEdit *>("DE_From");
        const QString year = "started_ms >= " + msOf(today.addYears(-1)) + " AND started_ms < " +
                             msOf(today.addDays(1));
        measure(
            "date: the last year", [&](int n) { from->setDate(today.addYears(-1).addDays(n % 2)); },
            [&] { barePage(bare, year, newest); }, 300);
        const QString all = "started_ms >= " + msOf(today.addYears(-6)) + " AND started_ms < " +
                            msOf(today.addDays(1));
        measure(
            "date: all five years", [&](int n) { from->setDate(today.addYears(-6).addDays(-n)); },
            [&] { barePage(bare, all, newest); }, 300);

        const QString category = VehicleCategoryTable::row(19);
        measure(
            "category (of all years)",
            [&](int n) { choose("CB_Category", n % 2 ? QVariant() : QVariant(category)); },
            [&] {
                QSqlQuery q = bare.prepare("SELECT id FROM inspection WHERE " + all +
                                           " AND category" + text + " = ? ORDER BY " + newest +
                                           " LIMIT " + QString::number(ArchiveWindow::kPageSize));
                bare.run(q, {category});
                while (q.next()) {
                }
            },
            300);
        choose("CB_Category", QVariant());
        const QString station = ArchiveSampler::stationName(7);
        measure(
            "station (of all years)",
            [&](int n) { choose("CB_Station", n % 2 ? QVariant() : QVariant(station)); },
            [&] {
                QSqlQuery q = bare.prepare("SELECT id FROM inspection WHERE " + all +
                                           " AND station" + text + " = ? ORDER BY " + newest +
                                           " LIMIT " + QString::number(ArchiveWindow::kPageSize));
                bare.run(q, {station});
                while (q.next()) {
                }
            },
            300);
        measure(
            "verdict: filler (with the station)",
            [&](int n) { choose("CB_Verdict", n % 2 ? QVariant() : int(Verdict::Filler)); },
            [&] {
                QSqlQuery q =
                    bare.prepare("SELECT id FROM inspection WHERE " + all + " AND station" + text +
                                 " = ? AND worst = 4 ORDER BY " + newest + " LIMIT " +
                                 QString::number(ArchiveWindow::kPageSize));
                bare.run(q, {station});
                while (q.next()) {
                }
            },
            300);
        choose("CB_Station", QVariant());
        measure(
            "verdict: filler (all stations)",
            [&](int n) { choose("CB_Verdict", n % 2 ? QVariant() : int(Verdict::Filler)); },
            [&] { barePage(bare, all + " AND worst = 4", newest); }, 300);
        choose("CB_Verdict", QVariant());
        QTableView *view = list();
        measure(
            "sort by station (all years)",
            [&](int n) {
                view->sortByColumn(InspectionListModel::Station,
                                   n % 2 ? Qt::AscendingOrder : Qt::DescendingOrder);
            },
            [&] { barePage(bare, all, "station" + text + " DESC, started_ms DESC, id DESC"); },
            300);
        measure(
            "sort by verdict (all years)",
            [&](int n) {
                view->sortByColumn(InspectionListModel::Worst,
                                   n % 2 ? Qt::AscendingOrder : Qt::DescendingOrder);
            },
            [&] { barePage(bare, all, "worst DESC, started_ms DESC, id DESC"); }, 300);
        view->sortByColumn(InspectionListModel::Date, Qt::DescendingOrder);
        settle();
        // Scrolling: the next page after the first.
        const double scroll = median3([&] {
            const int before = view->model()->rowCount();
            view->scrollToBottom();
            QElapsedTimer clock;
            clock.start();
            while (view->model()->rowCount() == before && clock.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        });
        QSqlQuery last =
            bare.exec("SELECT started_ms FROM inspection WHERE " + all + " ORDER BY " + newest +
                      " LIMIT 1 OFFSET " + QString::number(ArchiveWindow::kPageSize - 1));
        const QString after = last.next() ? last.value(0).toString() : QStringLiteral("0");
        last.finish();
        report("next page on scrolling", scroll,
               median3([&] { barePage(bare, all + " AND started_ms < " + after, newest); }), 300);

        // Statistics: one station over one month, a year of all stations,
        // the whole archive, and a year of one category and verdict.
        const QDateTime tomorrow = today.addDays(1).startOfDay();
        choose("CB_Station", station);
        from->setDate(today.addMonths(-1));
        settle();
        Sums month{today.addMonths(-1).startOfDay(), tomorrow};
        month.station = station;
        statistics("statistics: one station, one month", bare, month, true);
        choose("CB_Station", QVariant());
        from->setDate(today.addYears(-1));
        settle();
        statistics("statistics: one year, all stations", bare,
                   {today.addYears(-1).startOfDay(), tomorrow});
        from->setDate(today.addYears(-6));
        settle();
        statistics("statistics: the whole archive", bare,
                   {today.addYears(-6).startOfDay(), tomorrow});
        from->setDate(today.addYears(-1));
        choose("CB_Category", category);
        choose("CB_Verdict", int(Verdict::Repainted));
        settle();
        Sums filtered{today.addYears(-1).startOfDay(), tomorrow};
        filtered.category = category;
        filtered.verdict = int(Verdict::Repainted);
        statistics("statistics: a year, category + verdict", bare, filtered);

        // A plate or a VIN of the archive by its beginning: a short one
        // matches thousands, a longer one a few.
        const auto sample = [&bare](const char *column) {
            QSqlQuery q = bare.exec(QStringLiteral("SELECT %1 FROM inspection WHERE %1 <> ''"
                                                   " ORDER BY id LIMIT 1 OFFSET %2")
                                        .arg(QLatin1StringView(column))
                                        .arg(kInspections / 3));
            return q.next() ? q.value(0).toString() : QStringLiteral("ABC-123");
        };
        const QString plate = sample("plate").toLower();
        const QString vin = sample("vin");
        for (const QString &text : {plate.left(1), plate.left(2), plate, vin.left(3), vin})
            search(bare, text);
    }

private:
    QTableView *list() const { return m_window()->findChild<QTableView *>("TV_Inspections"); }

    ArchiveWindow *m_window() const
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *a = qobject_cast<ArchiveWindow *>(w))
                return a;
        }
        return nullptr;
    }

    // Until the count of the list is in: the next step is timed on its own.
    void settle()
    {
        QElapsedTimer clock;
        clock.start();
        while (m_window()->statusBar()->currentMessage().startsWith(u"Számolás") &&
               clock.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    void choose(const char *name, const QVariant &value)
    {
        auto *combo = m_window()->findChild<QComboBox *>(name);
        const int at = value.isValid() ? combo->findData(value) : 0;
        if (at < 0)
            std::printf("  (%s has no %s)\n", name, qPrintable(value.toString()));
        combo->setCurrentIndex(std::max(0, at));
        Q_EMIT combo->activated(combo->currentIndex());
    }

    void measure(const char *what, const std::function<void(int)> &change,
                 const std::function<void()> &bare, double goalMs)
    {
        std::vector<double> ms;
        for (int n = 0; n < 3; ++n) {
            // Until the list shows the new first page, which its reader
            // thread reads while the window goes on.
            QSignalSpy shown(list()->model(), &QAbstractItemModel::modelReset);
            QElapsedTimer clock;
            clock.start();
            change(n * 2);
            while (shown.isEmpty() && clock.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            ms.push_back(msSince(clock));
            settle();
            if (n < 2) {
                change(n * 2 + 1); // and back, untimed
                settle();
            }
        }
        std::sort(ms.begin(), ms.end());
        report(what, ms[1], median3(bare), goalMs);
    }

    // What the statistics dialog is asked for (every inspection of the
    // bench archive is stored with its limits, so the stored verdict holds).
    struct Sums
    {
        Sums(QDateTime from, QDateTime to) : from(std::move(from)), to(std::move(to)) {}

        QDateTime from;
        QDateTime to;
        QString station;
        QString category;
        int verdict = -1;
    };

    // The bare statement of the same result: whole blocks and days from the
    // kept sums, the hours at the ends from the readings.
    static QString bareStatistics(const Sums &s, bool sqlite)
    {
        const qint64 from = s.from.toMSecsSinceEpoch();
        const qint64 to = s.to.toMSecsSinceEpoch();
        const qint64 day = ArchiveRollup::kDayMs;
        const qint64 span = ArchiveRollup::kBlockDays;
        const qint64 firstDay = (from + day - 1) / day;
        const qint64 endDay = to / day;
        const qint64 firstBlock = (firstDay + span - 1) / span;
        const qint64 endBlock = endDay / span;
        const QString text = sqlite ? QString() : QStringLiteral(" COLLATE \"C\"");
        const auto quoted = [](const QString &t) { return QStringLiteral("'%1'").arg(t); };
        QString filter;
        QString kept = QStringLiteral("SELECT point, n, total, squares, minimum, maximum"
                                      " FROM point_sums WHERE point >= 0");
        if (!s.station.isEmpty()) {
            kept += " AND station = (SELECT id FROM label WHERE kind = 0 AND name = " +
                    quoted(s.station) + ")";
            filter += " AND i.station" + text + " = " + quoted(s.station);
        }
        if (!s.category.isEmpty()) {
            kept += " AND category = (SELECT id FROM label WHERE kind = 1 AND name = " +
                    quoted(s.category) + ")";
            filter += " AND i.category" + text + " = " + quoted(s.category);
        }
        if (s.verdict >= 0) {
            kept += " AND worst = " + QString::number(s.verdict);
            filter += " AND i.worst = " + QString::number(s.verdict);
        }
        const auto buckets = [&](qint64 size, qint64 first, qint64 end) -> QString {
            return QStringLiteral(" UNION ALL ") + kept +
                   QStringLiteral(" AND span = %1 AND bucket >= %2 AND bucket < %3")
                       .arg(size)
                       .arg(first)
                       .arg(end);
        };
        const auto summed = [&](qint64 first, qint64 end) -> QString {
            return QStringLiteral("SELECT r.point AS point, 1 AS n, r.value AS total,"
                                  " CAST(r.value AS BIGINT) * r.value AS squares,"
                                  " r.value AS minimum, r.value AS maximum FROM reading r"
                                  " JOIN inspection i"
                                  " ON i.id = r.inspection_id WHERE i.started_ms >= %1"
                                  " AND i.started_ms < %2")
                       .arg(first)
                       .arg(end) +
                   filter;
        };
        QString parts = summed(from, firstDay * day) + " UNION ALL " + summed(endDay * day, to);
        if (firstBlock < endBlock)
            parts += buckets(1, firstDay, firstBlock * span) + buckets(span, firstBlock, endBlock) +
                     buckets(1, endBlock * span, endDay);
        else
            parts += buckets(1, firstDay, endDay);
        return "SELECT point, SUM(n), MIN(minimum), MAX(maximum), SUM(total), SUM(squares)"
               " FROM (" +
               parts + ") x GROUP BY point";
    }

    // Once each through the window (its dialog also counts the verdicts).
    void statistics(const char *what, ArchiveDatabase &bare, const Sums &sums,
                    bool fromReadings = false)
    {
        const auto once = [](const std::function<void()> &run) {
            QElapsedTimer clock;
            clock.start();
            run();
            return msSince(clock);
        };
        const auto drain = [&bare](const QString &sql) {
            QSqlQuery q = bare.exec(sql);
            while (q.next()) {
            }
        };
        const double window = once([&] {
            m_window()->findChild<QAction *>("A_Statistics")->trigger();
            QWidget *dialog = m_window()->findChild<QWidget *>("D_Statistics");
            auto *state = dialog->findChild<QLabel *>("L_State");
            QElapsedTimer clock;
            clock.start();
            while (state->text().startsWith(u"Számolás") && clock.elapsed() < 180000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (!state->text().contains(u"vizsgálat"))
                std::printf("  (the dialog says: %s)\n", qPrintable(state->text()));
            delete dialog;
        });
        report(what, window, median3([&] { drain(bareStatistics(sums, bare.isSqlite())); }), 1000);
        if (!fromReadings)
            return;
        // The same (once) from every reading, as with no sums kept at all.
        const QString text = bare.isSqlite() ? QString() : QStringLiteral(" COLLATE \"C\"");
        QString where = QStringLiteral(" WHERE i.started_ms >= %1 AND i.started_ms < %2")
                            .arg(sums.from.toMSecsSinceEpoch())
                            .arg(sums.to.toMSecsSinceEpoch());
        if (!sums.station.isEmpty())
            where += " AND i.station" + text + " = '" + sums.station + "'";
        const double readings = once([&] {
            drain("SELECT r.point, COUNT(*), MIN(r.value), MAX(r.value), SUM(r.value),"
                  " SUM(CAST(r.value AS BIGINT) * r.value) FROM reading r JOIN inspection i"
                  " ON i.id = r.inspection_id" +
                  where + " GROUP BY r.point");
        });
        std::printf("  %-36s %8.1f ms   (the same from every reading, once)\n", "", readings);
    }

    // A plate or a VIN by its beginning, as the list asks for it, against
    // the bare statement of the same rows.
    void search(ArchiveDatabase &bare, const QString &text)
    {
        const QString key = InspectionDetails::searchKey(text);
        ArchiveFilter f;
        f.search = text;
        const double asked = median3([&] {
            ArchiveDatabase db(m_location);
            db.open(ArchiveDatabase::Access::ReadOnly);
            const ArchivePage page = ArchiveQuery(db).page(f, {}, ArchiveWindow::kPageSize);
            if (page.rows.isEmpty())
                std::printf("  (nothing found for %s)\n", qPrintable(text));
        });
        const QString c = bare.isSqlite() ? QString() : QStringLiteral(" COLLATE \"C\"");
        QList<uint> last = key.toUcs4();
        ++last.last();
        const QString beyond = QString::fromUcs4(last.constData(), last.size());
        const double direct = median3([&] {
            ArchiveDatabase db(m_location);
            db.open(ArchiveDatabase::Access::ReadOnly);
            QSqlQuery q = db.prepare(
                "SELECT id FROM inspection WHERE ((plate <> '' AND replace(replace(plate, ' ',"
                " ''), '-', '')" +
                c + " >= ? AND replace(replace(plate, ' ', ''), '-', '')" + c +
                " < ?) OR (vin <> '' AND vin" + c + " >= ? AND vin" + c +
                " < ?)) ORDER BY started_ms DESC, id DESC LIMIT " +
                QString::number(ArchiveWindow::kPageSize));
            db.run(q, {key, beyond, key, beyond});
            while (q.next()) {
            }
        });
        report(qPrintable("search \"" + text + "\" (a page, own connection)"), asked, direct, 300);
    }

    QString m_folder;
    ArchiveLocation m_location;
};

// What the archive takes on its disk, per inspection, and in which tables.
void reportSize(const ArchiveLocation &location)
{
    ArchiveDatabase db(location);
    db.open(ArchiveDatabase::Access::ReadOnly);
    const qint64 count = scalar(db, "SELECT COUNT(*) FROM inspection");
    QList<std::pair<QString, qint64>> tables;
    qint64 all = 0;
    if (db.isSqlite()) {
        all = QFileInfo(location.file).size() + QFileInfo(location.file + "-wal").size();
        QSqlQuery q(db.database());
        // dbstat, where SQLite is built with it: each table with its indexes.
        if (q.exec("SELECT COALESCE(m.tbl_name, d.name), SUM(d.pgsize) FROM dbstat d"
                   " LEFT JOIN sqlite_master m ON m.name = d.name GROUP BY 1 ORDER BY 2 DESC")) {
            while (q.next())
                tables.append({q.value(0).toString(), q.value(1).toLongLong()});
        }
    } else {
        all = scalar(db, "SELECT pg_database_size(current_database())");
        QSqlQuery q = db.exec("SELECT relname, pg_total_relation_size(relid) FROM"
                              " pg_stat_user_tables ORDER BY 2 DESC");
        while (q.next())
            tables.append({q.value(0).toString(), q.value(1).toLongLong()});
    }
    std::printf("  size: %.2f GB, %lld bytes per inspection\n", double(all) / 1e9,
                count ? all / count : 0);
    for (const auto &[name, bytes] : tables)
        std::printf("    %-24s %8lld bytes per inspection\n", qPrintable(name),
                    count ? bytes / count : 0);
    std::fflush(stdout);
}

// How long each of `count` stores took, one inspection to a transaction, on
// the calling thread: what the wizard's writer thread spends on each.
std::vector<double> timedStores(const ArchiveLocation &location, int count)
{
    ArchiveSampler sampler(1);
    std::vector<double> us;
    ArchiveDatabase db(location);
    db.open();
    ArchiveStore store(db);
    for (int n = 0; n < count; ++n) {
        Inspection i = sampler.next(startOf(n));
        QElapsedTimer clock;
        clock.start();
        store.store(i);
        us.push_back(double(clock.nsecsElapsed()) / 1000);
    }
    return us;
}

void storeInline(const QString &what, const ArchiveLocation &location)
{
    printPercentiles(qPrintable(what), timedStores(location, 200));
}

// The same into a new database beside the one given, where the user may make one.
void storeInlineOnServer(const ArchiveLocation &given)
{
    ArchiveLocation fresh = given;
    fresh.database = given.database + QStringLiteral("_store");
    try {
        ArchiveDatabase db(given);
        db.open(ArchiveDatabase::Access::ReadOnly);
        db.exec("DROP DATABASE IF EXISTS " + fresh.database);
        db.exec("CREATE DATABASE " + fresh.database);
    } catch (const Failure &f) {
        std::printf("(no store cost on the server: %s)\n", qPrintable(f.reason()));
        return;
    }
    storeInline("store, one a transaction (PostgreSQL)", fresh);
}

void storeCost(const QString &folder)
{
    const QString file = folder + "/store-cost.sqlite";
    QFile::remove(file);
    // Anchor: the same store done on the calling thread.
    const std::vector<double> inlineUs = timedStores(fileLocation(file), 100);
    ArchiveSampler sampler(1);
    std::vector<double> handOverUs;
    std::vector<double> handOverCpuUs;
    std::vector<double> lateness;
    {
        ArchiveRecorder recorder(fileLocation(file), folder + "/store-cost.journal");
        QSignalSpy stored(&recorder, &ArchiveRecorder::stored);
        // A 1 ms timer on the window thread: how late does it fire while stores run?
        QElapsedTimer tick;
        tick.start();
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            lateness.push_back(std::max(0.0, double(tick.nsecsElapsed()) / 1000 - 1000));
            tick.start();
        });
        timer.start(1);
        for (int n = 0; n < 100; ++n) {
            const Inspection i = sampler.next(startOf(n));
            recorder.readingsDiscarded();
            recorder.categoryReceived(i.category);
            ReadingLog log;
            for (const ArchivedReading &r : i.readings)
                log.append(r.point, {r.substrate, r.value, r.source, r.takenAt});
            QList<PlanEntry> plan(i.plan.begin(), i.plan.end());
            QElapsedTimer clock;
            clock.start();
            const double cpu = threadCpuUs();
            recorder.store(log, plan);
            handOverCpuUs.push_back(threadCpuUs() - cpu);
            handOverUs.push_back(double(clock.nsecsElapsed()) / 1000);
            QElapsedTimer pause;
            pause.start();
            while (pause.elapsed() < 20)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        while (stored.size() < 100 && stored.wait(5000)) {
        }
        timer.stop();
    }
    printPercentiles("store on the calling thread (anchor)", inlineUs);
    printPercentiles("store handed to the writer thread", handOverUs);
    printPercentiles("  the same, window thread's processor time", handOverCpuUs);
    printPercentiles("1 ms timer lateness while storing", lateness);
}

const char kUsageText[] =
    "usage: bench_archive [--count N] [--postgres ADDRESS [--skip-sqlite]] [FOLDER]\n"
    "\n"
    "Times the archive window against the bare SQL of the same results on a chain's\n"
    "archive, built once and kept: FOLDER/archive-N.sqlite, and the database ADDRESS\n"
    "names (filled, or cut to size, when it does not hold N inspections).\n"
    "\n"
    "  --count N       inspections, 10000 to 5000000, a multiple of 10 (default\n"
    "                  2000000: 50 stations over five years; fewer span a share\n"
    "                  of the five years at the same density)\n"
    "  --postgres ADDRESS  also a postgresql:// database the benchmark may fill\n"
    "  --skip-sqlite   only the PostgreSQL database\n"
    "  FOLDER          where the SQLite archive is kept (default: kfz-arch-bench\n"
    "                  in the user's cache folder, e.g. ~/.cache/kfz-arch-bench)\n"
    "  -h, --help      this text\n"
    "\n"
    "Two million inspections take about 7 GB in SQLite and an hour or more to build.\n";

int usageError(const QString &text)
{
    std::fprintf(stderr, "bench_archive: %s (see --help)\n", qPrintable(text));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption countOption("count", {}, "N", QString::number(kHeadline));
    const QCommandLineOption postgresOption("postgres", {}, "ADDRESS");
    const QCommandLineOption skipSqlite("skip-sqlite");
    parser.addOptions({help, countOption, postgresOption, skipSqlite});
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    bool number = false;
    kInspections = parser.value(countOption).toInt(&number);
    if (!number || kInspections < 10000 || kInspections > 5000000 || kInspections % kCopies)
        return usageError("--count takes a multiple of 10 from 10000 to 5000000, not " +
                          parser.value(countOption));
    kBase = kInspections / kCopies;
    kDays = std::max(1, int(qint64(kHeadlineDays) * kInspections / kHeadline));
    const QStringList args = parser.positionalArguments();
    if (args.size() > 1)
        return usageError("one FOLDER only");
    if (parser.isSet(skipSqlite) && !parser.isSet(postgresOption))
        return usageError("--skip-sqlite leaves nothing to measure without --postgres");
    // The user's own cache: a fixed folder in /tmp is another user's on a shared machine.
    const QString folder =
        !args.isEmpty() ? args.first()
                        : QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                              QStringLiteral("/kfz-arch-bench");
    if (!QDir().mkpath(folder))
        return usageError("cannot make the folder " + folder);
    QList<ArchiveLocation> archives;
    if (!parser.isSet(skipSqlite))
        archives.append(
            fileLocation(folder + QStringLiteral("/archive-%1.sqlite").arg(kInspections)));
    if (parser.isSet(postgresOption)) {
        QString error;
        const std::optional<ArchiveLocation> l =
            ArchiveLocation::parse(parser.value(postgresOption), &error);
        if (!l || l->kind != ArchiveLocation::Kind::PostgreSql)
            return usageError(l ? QStringLiteral("--postgres takes a postgresql:// address")
                                : error);
        archives.append(*l);
    } else {
        std::printf("(no --postgres ADDRESS: SQLite only)\n");
    }
    try {
        for (const ArchiveLocation &l : archives) {
            buildLarge(l);
            std::printf("%s, %d inspections (window vs the bare statement; goals 300 ms, "
                        "statistics 1 s, at most 1.5x):\n",
                        qPrintable(l.describe()), kInspections);
            reportSize(l);
            WindowBench(folder, l).run();
        }
        if (parser.isSet(postgresOption))
            storeInlineOnServer(archives.constLast());
    } catch (const Failure &f) {
        std::fprintf(stderr, "bench_archive: %s\n", qPrintable(f.reason()));
        return 1;
    }
    const QString inlineFile = folder + QStringLiteral("/store-inline.sqlite");
    QFile::remove(inlineFile);
    try {
        storeInline("store, one a transaction (SQLite)", fileLocation(inlineFile));
    } catch (const Failure &f) {
        std::fprintf(stderr, "bench_archive: %s\n", qPrintable(f.reason()));
        return 1;
    }
    storeCost(folder);
    return 0;
}
