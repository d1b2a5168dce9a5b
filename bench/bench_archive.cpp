// The archive at the size of years of inspections: building an archive of
// 100,000 inspections, opening and filtering it (library and window), and
// what a store costs the wizard's window thread.
//   bench_archive [FOLDER]   (default kfz-arch-bench in the user's cache folder, e.g.
//                             ~/.cache/kfz-arch-bench; the large archive is kept there)
#include "ArchiveDatabase.h"
#include "ArchiveRecorder.h"
#include "ArchiveSampler.h"
#include "ArchiveStore.h"
#include "ArchiveWindow.h"
#include "BenchStats.h"
#include "ReadingLog.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>
#include <ctime>

namespace {

constexpr int kInspections = 100000;

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

// Two years back from today, newest last.
QDateTime startOf(int n)
{
    const QDateTime first = QDateTime(QDate::currentDate().addYears(-2), QTime(7, 0));
    return first.addSecs(qint64(n) * 2 * 365 * 24 * 3600 / kInspections);
}

void buildLarge(const QString &file)
{
    {
        try {
            ArchiveDatabase db(fileLocation(file));
            db.open();
            if (ArchiveStore(db).count() == kInspections)
                return;
        } catch (const Failure &) {
        }
    }
    QFile::remove(file);
    QFile::remove(file + "-wal");
    QFile::remove(file + "-shm");
    QElapsedTimer clock;
    clock.start();
    ArchiveDatabase db(fileLocation(file));
    db.open();
    db.exec("PRAGMA synchronous=OFF");
    ArchiveStore store(db);
    ArchiveSampler sampler;
    for (int n = 0; n < kInspections;) {
        QList<Inspection> batch;
        for (int b = 0; b < 2000; ++b, ++n)
            batch.append(sampler.next(startOf(n)));
        store.storeAll(batch);
    }
    db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    std::printf("built %d inspections in %.1f s (%.0f MB)\n", kInspections, msSince(clock) / 1000,
                double(QFileInfo(file).size()) / 1e6);
}

void libraryTimings(const QString &file)
{
    QElapsedTimer clock;
    clock.start();
    ArchiveDatabase db(fileLocation(file));
    db.open();
    ArchiveStore store(db);
    const double open = msSince(clock);
    clock.start();
    const QList<InspectionSummary> all = store.list({});
    const double listAll = msSince(clock);
    clock.start();
    const QDate today = QDate::currentDate();
    const auto month =
        store.list({today.addDays(-30).startOfDay(), today.addDays(1).startOfDay(), {}});
    const double listMonth = msSince(clock);
    clock.start();
    const auto cars = store.list({{}, {}, VehicleCategoryTable::row(19)});
    const double listCategory = msSince(clock);
    clock.start();
    const QStringList categories = store.categories();
    const double categoryList = msSince(clock);
    clock.start();
    const auto one = store.load(all.at(all.size() / 2).id);
    const double load = msSince(clock);
    std::printf("library: open %.1f ms; list all %lld in %.1f ms; last 30 days %lld in %.1f ms;\n"
                "         one category %lld in %.1f ms; %lld categories in %.1f ms; load one "
                "(%lld readings) %.2f ms\n",
                open, qlonglong(all.size()), listAll, qlonglong(month.size()), listMonth,
                qlonglong(cars.size()), listCategory, qlonglong(categories.size()), categoryList,
                qlonglong(one->readings.size()), load);
}

void windowTimings(const QString &folder, const QString &file)
{
    ArchiveSettings settings;
    settings.location = fileLocation(file);
    QElapsedTimer clock;
    clock.start();
    ArchiveWindow window(settings, folder + "/bench.ini");
    window.show();
    QCoreApplication::processEvents();
    const double open = msSince(clock);
    auto *from = window.findChild<QDateEdit *>("DE_From");
    auto *list = window.findChild<QTableView *>("TV_Inspections");
    clock.start();
    from->setDate(QDate::currentDate().addYears(-3));
    QCoreApplication::processEvents();
    const double widen = msSince(clock);
    const int shownAll = list->model()->rowCount();
    auto *category = window.findChild<QComboBox *>("CB_Category");
    clock.start();
    category->setCurrentIndex(category->findData(VehicleCategoryTable::row(19)));
    Q_EMIT category->activated(category->currentIndex());
    QCoreApplication::processEvents();
    const double byCategory = msSince(clock);
    const int shownCategory = list->model()->rowCount();
    clock.start();
    list->sortByColumn(4, Qt::DescendingOrder);
    QCoreApplication::processEvents();
    const double sort = msSince(clock);
    std::printf("window: open with the last 30 days %.0f ms; all %d rows %.0f ms; one category "
                "(%d rows) %.0f ms; sorted by verdict %.0f ms\n",
                open, shownAll, widen, shownCategory, byCategory, sort);
}

void storeCost(const QString &folder)
{
    const QString file = folder + "/store-cost.sqlite";
    QFile::remove(file);
    ArchiveSampler sampler(1);
    // Anchor: the same store done on the calling thread.
    std::vector<double> inlineUs;
    {
        ArchiveDatabase db(fileLocation(file));
        db.open();
        ArchiveStore store(db);
        for (int n = 0; n < 100; ++n) {
            Inspection i = sampler.next(startOf(n));
            QElapsedTimer clock;
            clock.start();
            store.store(i);
            inlineUs.push_back(double(clock.nsecsElapsed()) / 1000);
        }
    }
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

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The user's own cache: a fixed folder in /tmp is another user's on a shared machine.
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                       QStringLiteral("/kfz-arch-bench");
    QDir().mkpath(folder);
    const QString file = folder + "/archive-100k.sqlite";
    buildLarge(file);
    libraryTimings(file);
    windowTimings(folder, file);
    storeCost(folder);
    return 0;
}
