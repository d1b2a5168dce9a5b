// Fills an archive with plausible inspections, to try the archive window
// with a busy station's data. It makes a new archive file; it adds to an
// existing one, or to a shared PostgreSQL archive, only when told to
// (--append), so that a start in a station's folder cannot mix made-up
// inspections into the real archive.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include "ArchiveDatabase.h"
#include "ArchiveSampler.h"
#include "ArchiveStore.h"

namespace {

const char kUsageText[] =
    "usage: kfz-archive-fill [--count N] [--days D] [--append] FILE|ADDRESS\n"
    "\n"
    "Adds made-up inspections to a KromaglenForZov archive (an SQLite file, or a\n"
    "shared PostgreSQL archive), to try the archive window with a busy station's data.\n"
    "\n"
    "  FILE         the archive file; it must not exist yet, unless --append\n"
    "  ADDRESS      postgresql://... as archive= takes it; needs --append\n"
    "  --count N    how many inspections, 1 to 1000000 (default 500)\n"
    "  --days D     spread over the last D days, 1 to 3650 (default 60)\n"
    "  --append     add to FILE when it exists already (it must be an archive)\n"
    "  -h, --help   this text\n"
    "\n"
    "Exit status: 0 done; 1 the archive cannot be made or written; 2 a wrong\n"
    "command line, or FILE exists or ADDRESS is given and --append was not given.\n";

enum Status { kOk = 0, kFailed = 1, kUsage = 2 };

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
    const QCommandLineOption append("append");
    parser.addOptions({help, countOption, daysOption, append});
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        QTextStream(stdout) << kUsageText;
        return kOk;
    }
    const std::optional<int> count = number(parser, countOption, 1000000);
    if (!count)
        return usageError(QStringLiteral("--count takes a number from 1 to 1000000, not %1")
                              .arg(parser.value(countOption)));
    const std::optional<int> days = number(parser, daysOption, 3650);
    if (!days)
        return usageError(QStringLiteral("--days takes a number from 1 to 3650, not %1")
                              .arg(parser.value(daysOption)));
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

    const QDateTime first = QDateTime::currentDateTime().addDays(-*days);
    const qint64 step = qint64(*days) * 24 * 3600 / *count;
    try {
        ArchiveDatabase db(location);
        db.open();
        ArchiveSampler sampler(quint32(QDateTime::currentMSecsSinceEpoch()));
        QList<Inspection> all;
        for (int n = 0; n < *count; ++n)
            all.append(sampler.next(first.addSecs(n * step)));
        ArchiveStore(db).storeAll(all);
    } catch (const Failure &f) {
        QTextStream(stderr) << "kfz-archive-fill: " << f.reason() << '\n';
        return kFailed;
    }
    QTextStream(stdout) << *count << " inspections added to " << location.describe() << '\n';
    return kOk;
}
