// Many stations storing into one new PostgreSQL archive at the same moment,
// each a process of its own with its own working folder and journal, through
// the wizard's recorder: the schema made once however many open the new
// database together, every inspection stored exactly once with all its rows,
// also when stations are killed mid-way (one of them while the schema is being
// made) and started again on their folders, and an older archive upgraded
// while all wait for it; the per-point day sums they keep together equal
// those summed afresh. The release before the newest schema step, built from
// git (tests/previous-release.cmake), storing beside this one.
//   KFZ_WRITERS_STATIONS, KFZ_WRITERS_COUNT: stations and inspections each (20, 25)
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSqlError>
#include <QTemporaryDir>
#include <QTest>

#include "ArchiveRollup.h"
#include "ArchiveSamples.h"
#include "ArchiveStations.h"
#include "PostgresCluster.h"

namespace {

int setting(const char *name, int fallback)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

} // namespace

class TestArchiveWriters : public QObject
{
    Q_OBJECT

    std::unique_ptr<PostgresCluster> m_server;
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kfz-arch-writers-XXXXXX")};
    const int m_stations = setting("KFZ_WRITERS_STATIONS", 20);
    const int m_count = setting("KFZ_WRITERS_COUNT", 25);

    // Over TLS, as the server offers it.
    QString address(const QString &database, const QString &more = {}) const
    {
        return m_server->address(database, QStringLiteral("sslmode=require") + more);
    }

    // A chain's stations, each two programs under one name (two lines of one
    // station share its sums' locks): twenty under one name would wait on
    // each other's locks longer than a store may wait on a loaded machine.
    Stations makeStations(const QString &name)
    {
        Stations stations;
        for (int n = 0; n < m_stations; ++n) {
            const QString folder = m_dir.filePath(name + QString::number(n));
            stations.push_back(
                std::make_unique<Station>(QStringLiteral(KFZ_WRITER_HELPER), folder));
            QFile settings(folder + QStringLiteral("/Kromaglen_archive.ini"));
            if (!settings.open(QIODevice::WriteOnly) ||
                settings.write(QStringLiteral("station=sor-%1\r\n").arg(n / 2).toLatin1()) < 0)
                qFatal("cannot write %s", qPrintable(settings.fileName()));
        }
        return stations;
    }

    // Nothing reported by any, each ended with all stored.
    static void allSucceeded(const Stations &stations)
    {
        QStringList failures;
        for (const auto &s : stations)
            failures += s->failures();
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        for (const auto &s : stations)
            QVERIFY2(s->succeeded(), qPrintable(s->folder() + QStringLiteral(" did not end well")));
    }

    // Checks the archive against what the stations promised, and their journals emptied.
    void verify(const QString &database, const Stations &stations, int expected,
                QHash<QString, Promise> promises = {})
    {
        for (const auto &s : stations) {
            s->addPromises(promises);
            QVERIFY2(s->journalLeftovers().isEmpty(),
                     qPrintable(s->folder() + u' ' + s->journalLeftovers().join(u' ')));
        }
        QString error;
        ArchiveDatabase db(ArchiveLocation::parse(address(database), &error).value());
        try {
            db.open(ArchiveDatabase::Access::ReadOnly);
            const ArchiveCheck check = checkArchive(db, promises);
            qInfo("%d stations: %d inspections with %d readings stored", int(stations.size()),
                  check.inspections, check.readings);
            QVERIFY2(check.problems.isEmpty(), qPrintable(check.problems.mid(0, 20).join(u'\n')));
            if (expected >= 0)
                QCOMPARE(check.inspections, expected);
            // The day and block sums the writers kept side by side equal
            // those summed afresh: none lost, none counted twice.
            QCOMPARE(ArchiveRollup(db).differences(), 0);
        } catch (const Failure &f) {
            QFAIL(qPrintable(f.reason()));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!ArchiveLocation::postgreSqlAvailable())
            QSKIP("Qt's PostgreSQL driver (QPSQL) is not installed: the shared archive is not "
                  "tested");
        m_server = std::make_unique<PostgresCluster>();
        if (m_server->missing())
            QSKIP(qPrintable(m_server->problem() + ": the shared archive is not tested"));
        QVERIFY2(m_server->running(), qPrintable(m_server->problem()));
        for (const char *db :
             {"kfz_writers", "kfz_writers_killed", "kfz_writers_old", "kfz_rolling"})
            QVERIFY2(m_server->createDatabase(db), qPrintable(m_server->problem()));
    }

    void manyStationsAtOnce()
    {
        Stations stations = makeStations("station");
        for (auto &s : stations)
            s->start(address("kfz_writers"), m_count);
        QVERIFY(startTogether(stations, 60000));
        QVERIFY(waitAll(stations, 180000));
        allSucceeded(stations);
        if (QTest::currentTestFailed())
            return;
        for (const auto &s : stations)
            QCOMPARE(s->begunCount(), m_count);
        verify("kfz_writers", stations, m_stations * m_count);
    }

    void stationsKilledMidwayLoseNothing()
    {
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        qInfo("seed %u", seed);
        Stations stations = makeStations("killed");
        for (auto &s : stations)
            s->start(address("kfz_writers_killed"), m_count);
        // Every fourth is killed: the first within moments of the start, while
        // the new database's schema is being made; the rest after a number of
        // its inspections, mid-store or between stores.
        QMap<int, int> killAfter;
        for (int n = 0; n < m_stations; n += 4)
            killAfter.insert(n, n == 0 ? 0 : int(random.bounded(1, std::max(2, m_count))));
        QVERIFY(startTogether(stations, 60000));
        QTest::qWait(int(random.bounded(5, 60)));
        QElapsedTimer clock;
        clock.start();
        while (!killAfter.isEmpty() && clock.elapsed() < 180000) {
            readAll(stations);
            for (auto k = killAfter.begin(); k != killAfter.end();) {
                Station &s = *stations.at(size_t(k.key()));
                if (s.journaledCount() >= k.value() || !s.running()) {
                    s.kill();
                    k = killAfter.erase(k);
                } else {
                    ++k;
                }
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        QVERIFY(killAfter.isEmpty());
        QVERIFY(waitAll(stations, 180000));
        // Started again on their folders: they store what their journals kept,
        // then the inspections they had not begun.
        for (int n = 0; n < m_stations; n += 4) {
            Station &s = *stations.at(size_t(n));
            s.start(address("kfz_writers_killed"), m_count - s.begunCount());
        }
        for (int n = 0; n < m_stations; n += 4) {
            Station &s = *stations.at(size_t(n));
            QElapsedTimer wait;
            wait.start();
            while (!s.ready() && wait.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            s.go();
        }
        QVERIFY(waitAll(stations, 180000));
        allSucceeded(stations);
        if (QTest::currentTestFailed())
            return;
        verify("kfz_writers_killed", stations, -1);
    }

    // A chain upgrades its stations one at a time: the release before the
    // newest step of the schema (built from git) goes on storing into an
    // archive this one upgraded, while that step's floor allows it, on both
    // engines. Where an archive's floor is above it, it says so plainly and
    // keeps its inspections in its journal, and stores them once allowed.
    void theReleaseBeforeStoresIntoAnUpgradedArchive_data()
    {
        QTest::addColumn<bool>("sqlite");
        QTest::newRow("sqlite") << true;
        QTest::newRow("postgresql") << false;
    }

    void theReleaseBeforeStoresIntoAnUpgradedArchive()
    {
        QFETCH(bool, sqlite);
        QHash<QString, QString> previous;
        QFile info(QStringLiteral(KFZ_PREVIOUS_RELEASE));
        if (info.open(QIODevice::ReadOnly)) {
            for (const QString &line : QString::fromUtf8(info.readAll()).split(u'\n'))
                previous.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
        }
        if (!previous.contains("helper"))
            QSKIP(qPrintable("no build of the previous release: " +
                             previous.value("missing", info.errorString())));
        const int version = previous.value("version").toInt();
        const bool allowed = previous.value("floor").toInt() <= version;
        qInfo("the release before: %s, archive version %d", qPrintable(previous.value("commit")),
              version);
        const QString where = sqlite ? m_dir.filePath("rolling.sqlite") : address("kfz_rolling");
        QString error;
        const ArchiveLocation location = ArchiveLocation::parse(where, &error).value();
        Station old(previous.value("helper"), m_dir.filePath(sqlite ? "rolling-s" : "rolling-p"));
        const auto run = [&](int count) {
            old.start(where, count);
            QElapsedTimer clock;
            clock.start();
            while (!old.ready() && old.running() && clock.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            old.go();
            while (old.running() && clock.elapsed() < 120000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            old.read();
        };
        const auto check = [&](ArchiveDatabase &db) {
            QHash<QString, Promise> promises;
            old.addPromises(promises);
            const ArchiveCheck got = checkArchive(db, promises);
            QVERIFY2(got.problems.isEmpty(), qPrintable(got.problems.join(u'\n')));
            QCOMPARE(ArchiveRollup(db).differences(), 0);
        };
        // The older release makes the archive and stores; this one upgrades it.
        run(3);
        QVERIFY2(old.succeeded(), qPrintable(old.failures().join(u'\n')));
        ArchiveDatabase db(location);
        try {
            db.open();
            QCOMPARE(db.upgradedFrom(), std::optional<int>(version));
            // The older release again, into the upgraded archive.
            run(3);
            if (!allowed) {
                QVERIFY(!old.succeeded() && !old.journalLeftovers().isEmpty());
                return;
            }
            QVERIFY2(old.succeeded(), qPrintable(old.failures().join(u'\n')));
            check(db);
            // A later step it cannot live with raises the floor above it.
            db.exec("UPDATE archive_schema SET floor = ?", {version + 1});
            run(2);
            QVERIFY(!old.succeeded());
            QVERIFY2(old.failures().value(0).contains(u"újabb változata"),
                     qPrintable(old.failures().join(u'\n')));
            QVERIFY(!old.journalLeftovers().isEmpty());
            // Allowed again: what its journal kept is stored, once.
            db.exec("UPDATE archive_schema SET floor = ?", {version});
            run(0);
            QVERIFY2(old.succeeded(), qPrintable(old.failures().join(u'\n')));
            QVERIFY(old.journalLeftovers().isEmpty());
            check(db);
        } catch (const Failure &f) {
            QFAIL(qPrintable(f.reason()));
        }
    }

    // An archive of the first version, opened by all at once while its upgrade
    // takes longer than the limits a store runs under, as a large archive's
    // does (here a session holds a row the upgrade must change): all killed
    // while one is in the middle of the upgrade and started again, then
    // upgraded once, its inspection kept, and every station waits for the
    // upgrade rather than failing.
    void manyStationsUpgradeAnOlderArchive()
    {
        QSqlDatabase holder = m_server->rawConnection("holder", "kfz_writers_old");
        const auto drop = qScopeGuard([&holder] {
            holder = QSqlDatabase();
            QSqlDatabase::removeDatabase("holder");
        });
        QVERIFY2(holder.isOpen(), qPrintable(holder.lastError().text()));
        QSqlQuery q(holder);
        for (const QString &sql : version1PostgresArchive())
            QVERIFY2(q.exec(sql), qPrintable(sql));
        QVERIFY(holder.transaction());
        QVERIFY(q.exec("SELECT id FROM inspection FOR UPDATE"));

        constexpr int kLimitMs = 1500;
        constexpr int kCount = 5;
        const QString where =
            address("kfz_writers_old",
                    QStringLiteral("&statement_timeout=%1&lock_timeout=%1").arg(kLimitMs));
        Stations stations = makeStations("older");
        for (auto &s : stations)
            s->start(where, kCount);
        QVERIFY(startTogether(stations, 60000));
        // All are killed while one is in the middle of the upgrade, and started again.
        QSqlDatabase watcher = m_server->rawConnection("watcher", "kfz_writers_old");
        const auto dropWatcher = qScopeGuard([&watcher] {
            watcher = QSqlDatabase();
            QSqlDatabase::removeDatabase("watcher");
        });
        QSqlQuery upgrading(watcher);
        QTRY_VERIFY_WITH_TIMEOUT(
            upgrading.exec("SELECT 1 FROM pg_stat_activity WHERE wait_event_type = 'Lock'"
                           " AND query LIKE 'ALTER TABLE%'") &&
                upgrading.next(),
            30000);
        for (auto &s : stations)
            s->kill();
        for (auto &s : stations)
            s->start(where, kCount - s->begunCount());
        QVERIFY(startTogether(stations, 60000));
        QTest::qWait(2 * kLimitMs + 500);
        QVERIFY(holder.commit());
        QVERIFY(waitAll(stations, 180000));
        allSucceeded(stations);
        if (QTest::currentTestFailed())
            return;
        QHash<QString, Promise> promises;
        promises["old"].begun.insert(1, {2, 0, 0});
        promises["old"].journaled = 1;
        verify("kfz_writers_old", stations, -1, promises);
    }
};

QTEST_GUILESS_MAIN(TestArchiveWriters)
#include "tst_archive_writers.moc"
