// Fills an archive with plausible inspections, to try the archive window
// with a busy station's data:
//   kfz-archive-fill [FILE|postgresql://...] [COUNT] [DAYS]
// adds COUNT inspections (default 500) spread over the last DAYS days
// (default 60) to FILE (default Kromaglen_archive.sqlite) or to the
// PostgreSQL database the address names, as "archive=" in the settings does.
#include <QCoreApplication>

#include "ArchiveDatabase.h"
#include "ArchiveSampler.h"
#include "ArchiveStore.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString error;
    const std::optional<ArchiveLocation> parsed =
        ArchiveLocation::parse(args.value(1, ArchiveLocation::kDefaultFile), &error);
    if (!parsed) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    const ArchiveLocation location = *parsed;
    const int count = args.value(2, QStringLiteral("500")).toInt();
    const int days = args.value(3, QStringLiteral("60")).toInt();
    const QDateTime first = QDateTime::currentDateTime().addDays(-days);
    const qint64 step = count > 0 ? qint64(days) * 24 * 3600 / count : 0;
    try {
        ArchiveDatabase db(location);
        db.open();
        ArchiveSampler sampler(quint32(QDateTime::currentMSecsSinceEpoch()));
        QList<Inspection> all;
        for (int n = 0; n < count; ++n)
            all.append(sampler.next(first.addSecs(n * step)));
        ArchiveStore(db).storeAll(all);
    } catch (const Failure &f) {
        std::fprintf(stderr, "%s\n", qPrintable(f.reason()));
        return 1;
    }
    std::printf("%d inspections added to %s\n", count, qPrintable(location.describe()));
    return 0;
}
