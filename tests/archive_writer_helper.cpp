// A second process for the archive tests, storing through the wizard's
// recorder (its journal and writer thread, one transaction each).
//   archive_writer_helper FILE COUNT
//     As fast as it can, while the test reads the same archive: once the
//     first is stored (the archive made) it says "ready" and waits for a line
//     on its input, so the test can start reading before the rest follow.
//   archive_writer_helper --journaled FILE COUNT
//     Prints "journaled <uid>" the moment each store call returns (from then
//     on the inspection must survive a kill), then "done" once the archive
//     has all; COUNT 0 only replays what earlier runs left.
//   archive_writer_helper --station ARCHIVE FOLDER COUNT
//     One of many stations writing into one archive (a file or a
//     postgresql:// address) from a working folder of its own. Says "ready"
//     and waits for a line on its input, so that all start at one moment;
//     then stores COUNT inspections, every fifth one a second time with more
//     readings (as after going back). Prints "storing <uid> <revision>
//     <readings> <plan points> <sent points>" before each store call and
//     "journaled <uid> <revision>" after it, "failed <text>" for what the
//     archive reported, and at the end "done" (exit 0) when all are stored
//     and nothing failed. COUNT 0 only replays what a killed run left. The
//     station's name comes from the folder's archive settings file, as the
//     wizard's does; without one it is the computer's. The test of a chain
//     upgraded one station at a time runs this mode of the previous release's
//     build: keep it as it is.
#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <cstring>

#include "ArchiveJournal.h"
#include "ArchiveRecorder.h"
#include "ArchiveSettings.h"
#include "ReadingLog.h"

namespace {

ReadingLog readings(int n)
{
    // Up to 60 readings, so a reader that saw half an inspection would notice.
    ReadingLog log;
    for (int r = 0; r <= n % 60; ++r)
        log.append(r % 23, {r % 2 ? Substrate::AL : Substrate::FE, 50 + r, ReadingSource::Gauge,
                            QDateTime::currentDateTime()});
    return log;
}

const QList<PlanEntry> kPlan{{0, true}, {10, true}, {12, true}};

int journaled(const ArchiveLocation &location, int count)
{
    ArchiveRecorder recorder(location, location.file + QStringLiteral(".journal"));
    for (int n = 0; n < count; ++n) {
        recorder.readingsDiscarded();
        const QString uid = recorder.uid();
        recorder.store(readings(n), kPlan);
        std::printf("journaled %s\n", qPrintable(uid));
        std::fflush(stdout);
    }
    const bool all = recorder.finish(60000).allStored();
    std::printf(all ? "done\n" : "left\n");
    std::fflush(stdout);
    return all ? 0 : 1;
}

QList<PlanEntry> planOf(int n)
{
    QList<PlanEntry> plan;
    for (int p = 0; p < 3 + n % 20; ++p)
        plan.append({(p + n) % 23, p % 4 != 3});
    return plan;
}

int station(const ArchiveLocation &location, const QString &folder, int count)
{
    ArchiveRecorder recorder(location, folder + u'/' + ArchiveJournal::kFolder);
    recorder.setSettingsPath(folder + u'/' + ArchiveSettings::kFileName);
    int failures = 0;
    QObject::connect(&recorder, &ArchiveRecorder::failed, [&failures](const QString &message) {
        ++failures;
        std::printf("failed %s\n", qPrintable(message));
        std::fflush(stdout);
    });
    std::printf("ready\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin))
        return 2;
    for (int n = 0; n < count; ++n) {
        recorder.readingsDiscarded();
        recorder.categoryReceived(QStringLiteral("M1 - személygépkocsi"));
        ReadingLog log = readings(n);
        const QList<PlanEntry> plan = planOf(n);
        const int sent = n % 4;
        for (int p = 0; p < sent; ++p)
            recorder.pointSent(plan.at(p).index);
        const int again = n % 5 == 4 ? 2 : 1;
        for (int revision = 1; revision <= again; ++revision) {
            if (revision == 2) {
                for (int r = 0; r < 3; ++r)
                    log.append(22, {Substrate::FE, 300 + r, ReadingSource::Typed,
                                    QDateTime::currentDateTime()});
            }
            int readingCount = 0;
            for (int p = 0; p < PointCatalogue::kPointCount; ++p)
                readingCount += log.count(p);
            const QString uid = recorder.uid();
            std::printf("storing %s %d %d %lld %d\n", qPrintable(uid), revision, readingCount,
                        qint64(plan.size()), sent);
            std::fflush(stdout);
            recorder.store(log, plan);
            std::printf("journaled %s %d\n", qPrintable(uid), revision);
            std::fflush(stdout);
        }
    }
    const bool all = recorder.finish(600000).allStored();
    QCoreApplication::processEvents(); // the failures the writer told meanwhile
    if (!all || failures > 0) {
        std::printf("left\n");
        return 1;
    }
    std::printf("done\n");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--journaled") == 0) {
        ArchiveLocation location;
        location.file = QString::fromLocal8Bit(argv[2]);
        return journaled(location, QByteArray(argv[3]).toInt());
    }
    if (argc == 5 && std::strcmp(argv[1], "--station") == 0) {
        QString error;
        const auto location = ArchiveLocation::parse(QString::fromLocal8Bit(argv[2]), &error);
        if (!location) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        }
        return station(*location, QString::fromLocal8Bit(argv[3]), QByteArray(argv[4]).toInt());
    }
    if (argc != 3)
        return 2;
    ArchiveLocation location;
    location.file = QString::fromLocal8Bit(argv[1]);
    const int count = QByteArray(argv[2]).toInt();
    ArchiveRecorder recorder(location, location.file + QStringLiteral(".journal"));
    int stored = 0;
    int failed = 0;
    QEventLoop loop;
    QObject::connect(&recorder, &ArchiveRecorder::stored, &loop, [&] {
        if (++stored + failed == count)
            loop.quit();
    });
    QObject::connect(&recorder, &ArchiveRecorder::failed, &loop, [&](const QString &message) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        if (stored + ++failed == count)
            loop.quit();
    });
    for (int n = 0; n < count; ++n) {
        if (n == 1) {
            while (stored + failed < 1)
                loop.processEvents(QEventLoop::WaitForMoreEvents);
            std::printf("ready\n");
            std::fflush(stdout);
            char line[16];
            if (!std::fgets(line, sizeof line, stdin))
                return 2;
        }
        recorder.readingsDiscarded();
        recorder.categoryReceived(QStringLiteral("M1 - személygépkocsi"));
        recorder.store(readings(n), kPlan);
    }
    loop.exec();
    std::printf("stored %d failed %d\n", stored, failed);
    return failed == 0 ? 0 : 1;
}
