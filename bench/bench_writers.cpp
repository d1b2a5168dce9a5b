// Many stations storing into one PostgreSQL archive at once: STATIONS
// processes of the writer helper, each with its own working folder and
// journal, store COUNT inspections each through the wizard's recorder into a
// new database on a throw-away server (TLS), all starting at one moment. The
// rate is printed against three anchors measured in the same run on the same
// server: bare one-row INSERTs over one connection, one transaction each, the
// archive opened and closed as the writer does for each store, and one
// station storing alone. The archive is then checked: every inspection
// there exactly once with its rows.
//   bench_writers [STATIONS [COUNT]]   (default 20 stations, 500 inspections each)
#include "ArchiveSettings.h"
#include "ArchiveStations.h"
#include "PostgresCluster.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QString address(const PostgresCluster &server, const QString &database)
{
    return server.address(database, QStringLiteral("sslmode=require"));
}

// One-row INSERTs over one TLS connection, each in a transaction of its own: per second.
double bareInsertRate(const PostgresCluster &server, const QString &database, int rows)
{
    double rate = 0;
    {
        QSqlDatabase db = server.rawConnection("bench-anchor", database, "sslmode=require");
        QSqlQuery q(db);
        if (db.isOpen() &&
            q.exec("CREATE TABLE bare (id BIGSERIAL PRIMARY KEY, uid TEXT NOT NULL,"
                   " value INTEGER NOT NULL)") &&
            q.prepare("INSERT INTO bare (uid, value) VALUES (?, ?)")) {
            QElapsedTimer clock;
            clock.start();
            int done = 0;
            for (; done < rows; ++done) {
                q.bindValue(0, QStringLiteral("row-%1").arg(done));
                q.bindValue(1, done);
                if (!db.transaction() || !q.exec() || !db.commit())
                    break;
            }
            rate = done == rows ? rows * 1000.0 / double(clock.elapsed()) : 0;
        }
    }
    QSqlDatabase::removeDatabase("bench-anchor");
    return rate;
}

// The archive opened (TLS, session limits, schema checked) and closed, as
// the writer does for each store: per second.
double openRate(const PostgresCluster &server, const QString &database, int times)
{
    QString error;
    const ArchiveLocation where = ArchiveLocation::parse(address(server, database), &error).value();
    QElapsedTimer clock;
    clock.start();
    try {
        for (int n = 0; n < times; ++n) {
            ArchiveDatabase db(where);
            db.open();
        }
    } catch (const Failure &f) {
        std::fprintf(stderr, "%s\n", qPrintable(f.reason()));
        return 0;
    }
    return times * 1000.0 / double(std::max<qint64>(1, clock.elapsed()));
}

struct Run
{
    double perSecond = 0;
    ArchiveCheck check;
    QStringList failures;
};

Run runStations(const PostgresCluster &server, const QString &database, const QString &folder,
                int count, int each)
{
    Run run;
    Stations stations;
    for (int n = 0; n < count; ++n) {
        const QString home = folder + QStringLiteral("/station%1").arg(n);
        stations.push_back(std::make_unique<Station>(QStringLiteral(KFZ_WRITER_HELPER), home));
        // Each a station of its own, as a chain's computers are.
        QFile settings(home + u'/' + ArchiveSettings::kFileName);
        if (!settings.open(QIODevice::WriteOnly) ||
            settings.write(
                QStringLiteral("station=Sor %1\r\n").arg(n + 1, 2, 10, QChar(u'0')).toLatin1()) <
                0) {
            run.failures.append(QStringLiteral("no settings file in ") + home);
            return run;
        }
        settings.close();
        stations.back()->start(address(server, database), each);
    }
    if (!startTogether(stations, 120000)) {
        run.failures.append(QStringLiteral("the stations did not start"));
        return run;
    }
    QElapsedTimer clock;
    clock.start();
    if (!waitAll(stations, 3600000))
        run.failures.append(QStringLiteral("the stations did not end within an hour"));
    const qint64 ms = clock.elapsed();
    QHash<QString, Promise> promises;
    for (const auto &s : stations) {
        run.failures += s->failures();
        if (!s->succeeded())
            run.failures.append(s->folder() + QStringLiteral(" did not end well"));
        s->addPromises(promises);
    }
    QString error;
    ArchiveDatabase db(ArchiveLocation::parse(address(server, database), &error).value());
    try {
        db.open(ArchiveDatabase::Access::ReadOnly);
        run.check = checkArchive(db, promises);
    } catch (const Failure &f) {
        run.failures.append(f.reason());
    }
    run.perSecond = run.check.inspections * 1000.0 / double(std::max<qint64>(1, ms));
    return run;
}

bool report(const char *what, const Run &run)
{
    std::printf("%-44s %8.1f inspections/s (%d inspections, %d readings)\n", what, run.perSecond,
                run.check.inspections, run.check.readings);
    for (const QString &line : run.failures.mid(0, 5) + run.check.problems.mid(0, 5))
        std::printf("    %s\n", qPrintable(line));
    return run.failures.isEmpty() && run.check.problems.isEmpty();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const int stations = argc > 1 ? std::atoi(argv[1]) : 20;
    const int each = argc > 2 ? std::atoi(argv[2]) : 500;
    if (stations <= 0 || each <= 0) {
        std::fprintf(stderr, "usage: bench_writers [STATIONS [COUNT]]\n");
        return 2;
    }
    PostgresCluster server;
    if (!server.running()) {
        std::fprintf(stderr, "no PostgreSQL server: %s\n", qPrintable(server.problem()));
        return 1;
    }
    for (const char *db : {"kfz_bench_anchor", "kfz_bench_alone", "kfz_bench_writers"}) {
        if (!server.createDatabase(db)) {
            std::fprintf(stderr, "%s\n", qPrintable(server.problem()));
            return 1;
        }
    }
    QTemporaryDir folder;
    std::printf("%d stations storing %d inspections each into one new database (TLS)\n", stations,
                each);
    std::printf("%-44s %8.1f rows/s\n", "anchor: bare INSERT, one connection",
                bareInsertRate(server, "kfz_bench_anchor", 2000));
    std::printf("%-44s %8.1f per second\n", "anchor: archive opened and closed",
                openRate(server, "kfz_bench_anchor", 200));
    bool sound = report(
        "anchor: one station alone",
        runStations(server, "kfz_bench_alone", folder.filePath("alone"), 1, std::min(each, 200)));
    const Run all =
        runStations(server, "kfz_bench_writers", folder.filePath("many"), stations, each);
    sound = report(qPrintable(QStringLiteral("%1 stations at once").arg(stations)), all) && sound;
    if (all.check.inspections != stations * each) {
        std::printf("    %d inspections stored, %d expected\n", all.check.inspections,
                    stations * each);
        sound = false;
    }
    std::printf(sound ? "every inspection stored exactly once\n" : "FAULTS found (above)\n");
    return sound ? 0 : 1;
}
