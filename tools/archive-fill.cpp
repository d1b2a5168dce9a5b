// Fills an archive with plausible inspections, to try the archive window
// with a busy station's data. It makes a new archive file; it adds to an
// existing one, or to a shared PostgreSQL archive, only when told to
// (--append), so that a start in a station's folder cannot mix made-up
// inspections into the real archive.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include "ArchiveDatabase.h"
#include "ArchiveSampler.h"
#include "ArchiveStore.h"

namespace {

const char kUsageText[] =
    "usage: kfz-archive-fill [--count N] [--days D] [--stations S] [--append] FILE|ADDRESS\n"
    "\n"
    "Adds made-up inspections to a KromaglenForZov archive (an SQLite file, or a\n"
    "shared PostgreSQL archive), to try the archive window with a busy station's data.\n"
    "\n"
    "  FILE         the archive file; it must not exist yet, unless --append\n"
    "  ADDRESS      postgresql://... as archive= takes it; needs --append\n"
    "  --count N    how many inspections, 1 to 5000000 (default 500)\n"
    "  --days D     spread over the last D days, 1 to 3650 (default 60)\n"
    "  --stations S spread over S stations, \"Állomás 01\" on, 1 to 99 (default 3)\n"
    "  --append     add to FILE when it exists already (it must be an archive:\n"
    "               another program's database is refused)\n"
    "  -h, --help   this text\n"
    "\n"
    "They are written a few thousand to a transaction; the last line tells the rate.\n"
    "\n"
    "Exit status: 0 done; 1 the archive cannot be made or written; 2 a wrong\n"
    "command line, or FILE exists or ADDRESS is given and --append was not given.\n";

enum Status { kOk = 0, kFailed = 1, kUsage = 2 };

constexpr int kMaxCount = 5000000;
// Inspections to a transaction: large enough that a commit costs little,
// small enough to hold in memory.
constexpr int kBatch = 2000;

int usageError(const QString &text)
{
    QTextStream(stderr) << "kfz-archive-fill: " << text << " (see --help)\n";
    return kUsage;
}

// The option's value as a number from 1 to max, or nothing.
std::optional<int> number(const QCommandLineParser &parser, const QCommandLineOption &option,
                          int max)
{
    bool ok = false;
    const int n = parser.value(option).toInt(&ok);
    if (!ok || n < 1 || n > max)
        return std::nullopt;
    return n;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption countOption("count", {}, "N", QStringLiteral("500"));
    const QCommandLineOption daysOption("days", {}, "D", QStringLiteral("60"));
    const QCommandLineOption stationsOption("stations", {}, "S", QStringLiteral("3"));
    const QCommandLineOption append("append");
    parser.addOptions({help, countOption, daysOption, stationsOption, append});
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        QTextStream(stdout) << kUsageText;
        return kOk;
    }
    const std::optional<int> count = number(parser, countOption, kMaxCount);
    if (!count)
        return usageError(QStringLiteral("--count takes a number from 1 to %1, not %2")
                              .arg(kMaxCount)
                              .arg(parser.value(countOption)));
    const std::optional<int> days = number(parser, daysOption, 3650);
    if (!days)
        return usageError(QStringLiteral("--days takes a number from 1 to 3650, not %1")
                              .arg(parser.value(daysOption)));
    const std::optional<int> stations = number(parser, stationsOption, 99);
    if (!stations)
        return usageError(QStringLiteral("--stations takes a number from 1 to 99, not %1")
                              .arg(parser.value(stationsOption)));
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return usageError(files.isEmpty() ? QStringLiteral("no archive file given")
                                          : QStringLiteral("one archive file only"));
    QString error;
    const std::optional<ArchiveLocation> parsed = ArchiveLocation::parse(files.first(), &error);
    if (!parsed)
        return usageError(error);
    const ArchiveLocation location = *parsed;
    if (location.kind == ArchiveLocation::Kind::PostgreSql && !parser.isSet(append))
        return usageError(QStringLiteral("%1 is a shared archive: give --append to add to it")
                              .arg(location.describe()));
    if (QFileInfo::exists(location.file) && !parser.isSet(append))
        return usageError(
            QStringLiteral("%1 exists: give --append to add to it").arg(location.file));

    // In UTC: a moment in local time asks the C library for the zone each time.
    const QDateTime first = QDateTime::currentDateTimeUtc().addDays(-*days);
    const qint64 spanMs = qint64(*days) * 24 * 3600 * 1000;
    QElapsedTimer clock;
    clock.start();
    qint64 reported = 0;
    try {
        ArchiveDatabase db(location);
        db.open();
        if (db.isSqlite()) {
            // Made-up data: a lost last batch after a power cut costs nothing,
            // and the unique index of the ids wants a large cache.
            db.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
            db.exec(QStringLiteral("PRAGMA cache_size=-262144"));
        }
        ArchiveStore store(db);
        ArchiveSampler sampler(quint32(QDateTime::currentMSecsSinceEpoch()), *stations);
        for (int n = 0; n < *count;) {
            QList<Inspection> batch;
            for (const int end = std::min(*count, n + kBatch); n < end; ++n)
                batch.append(sampler.next(first.addMSecs(spanMs * n / *count)));
            store.storeAll(batch);
            if (clock.elapsed() - reported >= 10000) {
                reported = clock.elapsed();
                QTextStream(stderr) << n << " of " << *count << " stored, "
                                    << qRound(n * 1000.0 / reported) << " a second\n";
            }
        }
        // The planner's statistics, as they are after a large fill.
        db.keepStatistics(ArchiveDatabase::Statistics::Now);
    } catch (const Failure &f) {
        QTextStream(stderr) << "kfz-archive-fill: " << f.reason() << '\n';
        return kFailed;
    }
    const double seconds = std::max<qint64>(1, clock.elapsed()) / 1000.0;
    QTextStream(stdout) << *count << " inspections added to " << location.describe() << " in "
                        << QString::number(seconds, 'f', 1) << " s, " << qRound(*count / seconds)
                        << " a second\n";
    return kOk;
}
