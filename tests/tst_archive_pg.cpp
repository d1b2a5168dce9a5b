// The shared archive on a real PostgreSQL server (a throw-away cluster with
// TLS; the Windows build is given the one the Linux side started): storing and
// reading back, filters, two stations opening a new database at once, the
// wizard's recorder and the archive window going through a postgresql:// address, encrypted
// connections checked against a CA, credentials from libpq's password and service files, and a
// server that does not answer.
#include <QAction>
#include <QDateEdit>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#ifndef Q_OS_WIN
#include <csignal>
#endif

#include "ArchiveDatabase.h"
#include "ArchiveJournal.h"
#include "ArchiveReader.h"
#include "ArchiveRecorder.h"
#include "ArchiveSamples.h"
#include "ArchiveSchema.h"
#include "ArchiveSettings.h"
#include "ArchiveStore.h"
#include "ArchiveWindow.h"
#include "ArchiveWriter.h"
#include "ConnectionWatch.h"
#include "PostgresCluster.h"
#include "ReadingLog.h"
#include "StallingProxy.h"

// The longest time the window thread went without running its events, by
// a timer that should fire every millisecond.
class WindowThreadWatch : public QObject
{
public:
    void start()
    {
        m_clock.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this,
                [this] { m_longest = std::max(m_longest, m_clock.restart()); });
        m_timer.start(1);
    }
    void pause() { m_timer.stop(); }
    qint64 longestGapMs() const { return m_longest; }

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_longest = 0;
};

ReadingLog oneReading()
{
    ReadingLog log;
    log.append(2, {Substrate::FE, 130, ReadingSource::Gauge, QDateTime::currentDateTime()});
    return log;
}

class TestArchivePostgres : public QObject
{
    Q_OBJECT

    std::unique_ptr<PostgresCluster> m_server;
    QTemporaryDir m_files;

    ArchiveLocation location(const QString &database, const QString &query = {})
    {
        QString error;
        const auto l = ArchiveLocation::parse(m_server->address(database, query), &error);
        [&] { QVERIFY2(l, qPrintable(error)); }();
        return l.value_or(ArchiveLocation());
    }

    // The archive reached through the proxy, statements timing out after a second.
    ArchiveSettings throughProxy(const StallingProxy &proxy)
    {
        ArchiveSettings settings;
        settings.location = location("kfz_archive");
        settings.location.port = proxy.port();
        settings.location.options = "statement_timeout=1000";
        return settings;
    }

    // Nothing of the window's own left to read: what a test sends next is the
    // reader's only job, however slowly a loaded machine got through the rest.
    static void settle(ArchiveWindow &window)
    {
        window.setPollInterval(60000);
        QTRY_VERIFY_WITH_TIMEOUT(window.statusBar()->currentMessage().contains(u"felel meg"),
                                 10000);
    }

    // A new database `name` holding an inspection started at each moment given.
    ArchiveLocation freshArchive(const char *name, const QList<QDateTime> &starts)
    {
        [&] { QVERIFY2(m_server->createDatabase(name), qPrintable(m_server->problem())); }();
        const ArchiveLocation where = location(name);
        ArchiveDatabase db(where);
        db.open();
        ArchiveStore store(db);
        for (const QDateTime &start : starts) {
            Inspection inspection = sampleInspection(start);
            store.store(inspection);
        }
        return where;
    }

    // Another session, `connection`, holding the tables of `database` that
    // `which` (a condition on tablename) picks, in a transaction it leaves
    // open until QSqlDatabase::database(connection) ends it. Their names.
    QStringList holdTables(const QString &connection, const QString &database, const QString &which)
    {
        QStringList tables;
        [&] {
            QSqlDatabase other = m_server->rawConnection(connection, database);
            QVERIFY2(other.isOpen(), qPrintable(other.lastError().text()));
            QSqlQuery q(other);
            QVERIFY(other.transaction());
            QVERIFY(q.exec("SELECT tablename FROM pg_tables WHERE schemaname = current_schema()"
                           " AND " +
                           which));
            while (q.next())
                tables.append(q.value(0).toString());
            QVERIFY(q.exec("LOCK TABLE " + tables.join(", ") + " IN ACCESS EXCLUSIVE MODE"));
        }();
        return tables;
    }

private Q_SLOTS:
    void initTestCase()
    {
#ifdef Q_OS_WIN
        // The Windows build ships the driver: its absence is a fault, not a reason to skip.
        QVERIFY2(ArchiveLocation::postgreSqlAvailable(),
                 "Qt's PostgreSQL driver (sqldrivers/qsqlpsql.dll with libpq.dll) did not load");
#else
        if (!ArchiveLocation::postgreSqlAvailable())
            QSKIP("Qt's PostgreSQL driver (QPSQL) is not installed: the shared archive is not "
                  "tested");
#endif
        m_server = std::make_unique<PostgresCluster>();
        if (m_server->missing())
            QSKIP(qPrintable(m_server->problem() + ": the shared archive is not tested"));
        QVERIFY2(m_server->running(), qPrintable(m_server->problem()));
        for (const char *db : {"kfz_archive", "kfz_race", "kfz_tls", "kfz_stamp"})
            QVERIFY2(m_server->createDatabase(db), qPrintable(m_server->problem()));
        QVERIFY2(m_server->createDatabase("kfz_station", m_server->passwordUser()),
                 qPrintable(m_server->problem()));
    }

    void storeReloadAndFilter()
    {
        try {
            storeReloadAndFilterBody();
        } catch (const Failure &f) {
            QFAIL(qPrintable(f.reason()));
        }
    }

private:
    void storeReloadAndFilterBody()
    {
        ArchiveDatabase db(location("kfz_archive"));
        db.open();
        ArchiveStore store(db);
        Inspection first = sampleInspection();
        store.store(first);
        Inspection back = store.load(first.id).value();
        QVERIFY(back == first);
        // Stored again after going back: replaced whole.
        first.readings.removeFirst();
        first.category.clear();
        ++first.revision;
        store.store(first);
        QVERIFY(store.load(first.id).value() == first);

        Inspection second = sampleInspection(first.started.addDays(-3));
        store.store(second);
        QVERIFY(second.id > first.id);
        QCOMPARE(store.count(), 2);
        QCOMPARE(store.list({}).first().id, first.id);
        QCOMPARE(store.list({{}, {}, QString()}).size(), 1);
        QCOMPARE(store.list({{}, {}, second.category}).first().id, second.id);
        QCOMPARE(store.list({first.started.addDays(-1), {}, {}}).size(), 1);
        QCOMPARE(store.categories(), (QStringList{"", second.category}));
        const InspectionSummary s = store.list({{}, {}, QString()}).first();
        QCOMPARE(s.readingCount, int(first.readings.size()));
        QCOMPARE(s.maximum[int(Substrate::FE)], 65535);
    }

    // Opens the archive that the settings line "archive=<address>" names, as
    // the programs do: the failure's reason, or "" and whether the connection
    // is encrypted.
    static QString tryOpen(const QString &address, bool *encrypted = nullptr)
    {
        const ArchiveSettings settings = ArchiveSettings::parse(("archive=" + address).toLatin1());
        QString notice;
        ArchiveDatabase db(settings.usableLocation(&notice));
        if (!notice.isEmpty())
            return notice;
        try {
            db.open();
            QSqlQuery ssl =
                db.exec(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()"));
            if (encrypted)
                *encrypted = ssl.next() && ssl.value(0).toBool();
        } catch (const Failure &f) {
            return f.reason();
        }
        return {};
    }

    static bool writeFile(const QString &path, const QString &text,
                          QFile::Permissions permissions = {})
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0 &&
               (!permissions || file.setPermissions(permissions));
    }

    // libpq's password file where it looks for it by itself on Windows
    // (%APPDATA%\postgresql\pgpass.conf); on Linux named by PGPASSFILE (~/.pgpass
    // is the user's own). Returns its path, empty when it cannot be written.
    static QString installPasswordFile(const QTemporaryDir &dir, const QString &entry)
    {
#ifdef Q_OS_WIN
        const QString folder = qEnvironmentVariable("APPDATA") + QStringLiteral("/postgresql");
        const QString usual = folder + QStringLiteral("/pgpass.conf");
        if (!QFile::exists(usual)) {
            QDir().mkpath(folder);
            return writeFile(usual, entry) ? usual : QString();
        }
#endif
        const QString path = dir.filePath("pgpass");
        if (!writeFile(path, entry, QFile::ReadOwner | QFile::WriteOwner))
            return {};
        qputenv("PGPASSFILE", QDir::toNativeSeparators(path).toLocal8Bit());
        return path;
    }

private Q_SLOTS:
    void twoStationsCreateTheSchemaAtOnce()
    {
        const ArchiveLocation where = location("kfz_race");
        QStringList failures;
        QMutex lock;
        QList<QThread *> threads;
        for (int n = 0; n < 4; ++n) {
            threads.append(QThread::create([&] {
                try {
                    ArchiveDatabase db(where);
                    db.open();
                    Inspection i = sampleInspection();
                    ArchiveStore(db).store(i);
                } catch (const Failure &f) {
                    QMutexLocker locked(&lock);
                    failures.append(f.reason());
                }
            }));
        }
        for (QThread *t : threads)
            t->start();
        for (QThread *t : threads) {
            QVERIFY(t->wait(60000));
            delete t;
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        ArchiveDatabase db(where);
        db.open();
        QCOMPARE(ArchiveStore(db).count(), 4);
    }

    // Two stations writing side by side take the same mark, and the one that
    // began first may commit last: the window still sees its change.
    void aLateCommitMovesTheStamp()
    {
        try {
            ArchiveDatabase first(location("kfz_stamp"));
            first.open();
            ArchiveDatabase second(location("kfz_stamp"));
            second.open();
            Inspection typedOn = sampleInspection();
            ArchiveStore(first).store(typedOn);
            first.begin();
            ArchiveStore(first).setDetails(typedOn.id, "LATE-001", "Kiss Anna");
            Inspection meanwhile = sampleInspection();
            ArchiveStore(second).store(meanwhile);
            const QString before = ArchiveStore(second).changeStamp();
            first.commit();
            QVERIFY(ArchiveStore(second).changeStamp() != before);
        } catch (const Failure &f) {
            QFAIL(qPrintable(f.reason()));
        }
    }

    void recorderAndWindowThroughTheSettingsLine()
    {
        const ArchiveSettings settings =
            ArchiveSettings::parse(("archive=" + m_server->address("kfz_archive")).toLatin1());
        QString notice;
        const ArchiveLocation where = settings.usableLocation(&notice);
        QVERIFY(notice.isEmpty());
        QCOMPARE(where.kind, ArchiveLocation::Kind::PostgreSql);
        QTemporaryDir journal;
        ArchiveRecorder recorder(where, journal.filePath("journal"));
        QSignalSpy stored(&recorder, &ArchiveRecorder::stored);
        QSignalSpy failed(&recorder, &ArchiveRecorder::failed);
        recorder.categoryReceived("M1 - személygépkocsi");
        ReadingLog log;
        log.append(10, {Substrate::AL, 418, ReadingSource::Gauge, QDateTime::currentDateTime()});
        recorder.pointSent(10);
        QVERIFY(recorder.store(log, {{10, true}}));
        QVERIFY2(stored.wait(10000),
                 failed.isEmpty() ? "" : qPrintable(failed.first().first().toString()));
        const qint64 id = stored.first().first().toLongLong();

        ArchiveWindow window(settings, QDir::temp().filePath("kfz-arch-pg-test.ini"));
        auto *list = window.findChild<QTableView *>("TV_Inspections");
        QTRY_COMPARE(list->model()->rowCount(), 1); // the last 30 days
        window.findChild<QDateEdit *>("DE_From")->setDate(QDate(2000, 1, 1));
        QTRY_COMPARE(list->model()->rowCount(), 3);
        window.showInspection(id);
        QTRY_VERIFY(window.shownInspection() && window.shownInspection()->id == id);
        QCOMPARE(window.shownInspection()->category, QStringLiteral("M1 - személygépkocsi"));
        QCOMPARE(window.shownInspection()->readings.first().value, 418);
    }

    void encryptedConnection_data()
    {
        QTest::addColumn<QString>("query");
        QTest::newRow("require") << QStringLiteral("sslmode=require");
        QTest::newRow("verify-ca") << "sslmode=verify-ca&sslrootcert=" + m_server->caFile();
        QTest::newRow("verify-full") << "sslmode=verify-full&sslrootcert=" + m_server->caFile();
        // As an IT person writes it: a folder with a space, the space as it is.
        const QString folder = m_files.filePath("CA tanúsítvány");
        QDir().mkpath(folder);
        QFile::remove(folder + "/root.crt");
        QVERIFY(QFile::copy(m_server->caFile(), folder + "/root.crt"));
        QTest::newRow("verify-full, CA in a folder with a space")
            << "sslmode=verify-full&sslrootcert=" + folder + "/root.crt";
    }

    void encryptedConnection()
    {
        QFETCH(QString, query);
        try {
            ArchiveDatabase db(location("kfz_tls", query));
            db.open();
            QSqlQuery ssl = db.exec(QStringLiteral(
                "SELECT ssl, version FROM pg_stat_ssl WHERE pid = pg_backend_pid()"));
            QVERIFY(ssl.next());
            QVERIFY2(ssl.value(0).toBool(), "the connection is not encrypted");
            QVERIFY2(ssl.value(1).toString().startsWith(u"TLS"),
                     qPrintable(ssl.value(1).toString()));
            ssl.finish();
            // Hungarian text there and back through it.
            ArchiveStore store(db);
            Inspection i = sampleInspection();
            i.category = QStringLiteral("N1 - tehergépkocsi, legfeljebb 3,5 t (ő, ű)");
            store.store(i);
            QVERIFY(store.load(i.id).value() == i);
        } catch (const Failure &f) {
            QFAIL(qPrintable(f.reason()));
        }
    }

    void unverifiedServerIsRefused_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("reason");
        QTest::newRow("certificate of another CA")
            << "sslmode=verify-ca&sslrootcert=" + m_server->otherCaFile()
            << "certificate verify failed";
        QTest::newRow("no CA file")
            << "sslmode=verify-full&sslrootcert=" + m_server->caFile() + ".missing"
            << "root certificate file";
    }

    void unverifiedServerIsRefused()
    {
        QFETCH(QString, query);
        QFETCH(QString, reason);
        ArchiveDatabase db(location("kfz_tls", query));
        try {
            db.open();
        } catch (const Failure &f) {
            QVERIFY2(f.reason().contains(reason), qPrintable(f.reason()));
            return;
        }
        QFAIL("connected to a server it could not verify");
    }

    void credentialsFromLibpqFiles()
    {
        const QString server = QStringLiteral("127.0.0.1:%1").arg(m_server->port());
        const QString user = m_server->passwordUser();
        const QString withoutPassword =
            QStringLiteral("postgresql://%1@%2/kfz_station?sslmode=require").arg(user, server);
        // Without a password anywhere the user is turned away, so below it is
        // each file that lets it in.
        QVERIFY(tryOpen(withoutPassword).contains(u"password"));
        bool encrypted = false;
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(m_server->password()));
        QCOMPARE(tryOpen(QStringLiteral("postgresql://%1:%2@%3/kfz_station?sslmode=require")
                             .arg(user, encoded, server),
                         &encrypted),
                 QString());

        QTemporaryDir dir;
        // The password file: ':' and '\\' in a field are escaped with '\\'.
        QString escaped = m_server->password();
        escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u':', QStringLiteral("\\:"));
        const QString passwordFile = installPasswordFile(
            dir, QStringLiteral("127.0.0.1:%1:*:%2:%3\n").arg(m_server->port()).arg(user, escaped));
        QVERIFY(!passwordFile.isEmpty());
        const auto removePasswordFile = qScopeGuard([&] {
            QFile::remove(passwordFile);
            qunsetenv("PGPASSFILE");
        });
        QCOMPARE(tryOpen(withoutPassword), QString());

        // The service file names everything, the settings line only the service.
        const QString serviceFile = dir.filePath("pg_service.conf");
        QVERIFY(writeFile(serviceFile, QStringLiteral("[kfz]\nhost=127.0.0.1\nport=%1\n"
                                                      "dbname=kfz_station\nuser=%2\n"
                                                      "sslmode=verify-full\nsslrootcert=%3\n")
                                           .arg(m_server->port())
                                           .arg(user, m_server->caFile())));
        qputenv("PGSERVICEFILE", QDir::toNativeSeparators(serviceFile).toLocal8Bit());
        const auto removeServiceFile = qScopeGuard([] { qunsetenv("PGSERVICEFILE"); });
        encrypted = false;
        QCOMPARE(tryOpen(QStringLiteral("postgresql:///?service=kfz"), &encrypted), QString());
        QVERIFY(encrypted);
    }

    void aServerThatDoesNotAnswer()
    {
        // A port nobody listens on: the store fails, says so, and keeps the inspection.
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 closed = probe.serverPort();
        probe.close();
        ArchiveLocation where = location("kfz_archive");
        where.port = closed;
        QTemporaryDir folder;
        const QString journal = folder.filePath("journal");
        {
            ArchiveRecorder recorder(where, journal);
            QSignalSpy failed(&recorder, &ArchiveRecorder::failed);
            ReadingLog log;
            log.append(0, {Substrate::FE, 100, ReadingSource::Gauge, QDateTime::currentDateTime()});
            QElapsedTimer clock;
            clock.start();
            QVERIFY(recorder.store(log, {}));
            QVERIFY(failed.wait(15000));
            QVERIFY(clock.elapsed() < 12000);
            QVERIFY(failed.first().first().toString().contains(u"Oka: EDatabaseError"));
        }
        QCOMPARE(QDir(journal).entryList({"*.json"}).size(), 1);
    }

    void aStalledServerNeitherBlocksNorLoses()
    {
        StallingProxy proxy(m_server->port());
        ArchiveLocation where = location("kfz_archive");
        const ArchiveLocation direct = where;
        where.port = proxy.port();
        // Shorter server-side limits than the defaults, set in the address.
        where.options = "statement_timeout=2000;idle_in_transaction_session_timeout=2000";
        QTemporaryDir folder;
        const QString journal = folder.filePath("journal");
        ReadingLog log;
        log.append(3, {Substrate::FE, 140, ReadingSource::Gauge, QDateTime::currentDateTime()});
        // The anchor: how late the timer fires on this machine with nothing to do.
        qint64 idleGapMs = 0;
        {
            WindowThreadWatch idle;
            idle.start();
            QTest::qWait(1500);
            idleGapMs = idle.longestGapMs();
        }
        WindowThreadWatch watch;
        QString uid;
        qint64 storeMs = 0;
        qint64 closeMs = 0;
        qint64 wizardGapMs = 0;
        qint64 windowGapMs = 0;
        {
            ArchiveRecorder recorder(where, journal);
            QSignalSpy stored(&recorder, &ArchiveRecorder::stored);
            QVERIFY(recorder.store(log, {{3, true}}));
            QVERIFY(stored.wait(10000));
            proxy.stall(true);
            watch.start();
            QElapsedTimer clock;
            clock.start();
            recorder.readingsDiscarded();
            QVERIFY(recorder.store(log, {{3, true}}));
            storeMs = clock.elapsed();
            const QStringList entries = QDir(journal).entryList({"*.json"});
            QCOMPARE(entries.size(), 1); // journaled before anything was tried
            uid = entries.first().section(u'.', 1, 1);
            QTest::qWait(2500);
            watch.pause(); // closing waits for the writer by design, bounded
            wizardGapMs = watch.longestGapMs();
            clock.restart();
            const bool finished = recorder.finish(ArchiveRecorder::kCloseWaitMs).allStored();
            closeMs = clock.elapsed();
            QVERIFY(!finished);
        }
        // The archive window opened meanwhile goes on, and says the archive does not answer.
        {
            ArchiveSettings settings;
            settings.location = where;
            QElapsedTimer clock;
            clock.start();
            ArchiveWindow window(settings, folder.filePath("a.ini"));
            WindowThreadWatch windowWatch;
            windowWatch.start(); // the window built: its reads, polls and a refresh asked for
            window.refresh();
            QVERIFY(clock.elapsed() < 1000); // nothing waits for the answer
            QTRY_VERIFY2_WITH_TIMEOUT(
                window.findChild<QLabel *>("L_Banner")->text().contains(u"nem válaszol"),
                qPrintable(window.findChild<QLabel *>("L_Banner")->text()),
                ArchiveWindow::kWaitMs + 2000);
            QTest::qWait(ArchiveWindow::kPollMs + 500);
            windowGapMs = windowWatch.longestGapMs();
        }
        const qint64 blockedMs = std::max(storeMs, wizardGapMs);
        qInfo("stalled server: wizard's window thread blocked at most %lld ms (the store call "
              "%lld ms), archive window's at most %lld ms, an idle one %lld ms; close %lld ms",
              blockedMs, storeMs, windowGapMs, idleGapMs, closeMs);
        QVERIFY2(blockedMs < 50 + idleGapMs, qPrintable(QString::number(blockedMs)));
        QVERIFY2(windowGapMs < 50 + idleGapMs, qPrintable(QString::number(windowGapMs)));
        QVERIFY2(closeMs <= 5000, qPrintable(QString::number(closeMs)));
        QCOMPARE(QDir(journal).entryList({"*.json"}).size(), 1);

        // The next start, with the server answering again: stored once.
        proxy.stall(false);
        {
            ArchiveRecorder next(direct, journal);
            QVERIFY(next.writerStarted());
            QSignalSpy stored(&next, &ArchiveRecorder::stored);
            QVERIFY(stored.wait(15000));
        }
        QCOMPARE(QDir(journal).entryList({"*.json"}).size(), 0);
        ArchiveDatabase db(direct);
        db.open();
        QSqlQuery count = db.exec("SELECT COUNT(*) FROM inspection WHERE uid = ?", {uid});
        QVERIFY(count.next());
        QCOMPARE(count.value(0).toInt(), 1);
    }

    void theWindowLetsGoOfAStalledConnection()
    {
        {
            ArchiveDatabase db(location("kfz_archive"));
            db.open();
            Inspection recent = sampleInspection(QDateTime::currentDateTime().addSecs(-60));
            ArchiveStore(db).store(recent);
        }
        StallingProxy proxy(m_server->port());
        const ArchiveSettings settings = throughProxy(proxy);
        ArchiveWindow window(settings, QDir::temp().filePath("kfz-arch-pg-stall.ini"));
        settle(window);
        auto *banner = window.findChild<QLabel *>("L_Banner");
        QVERIFY2(banner->isHidden(), qPrintable(banner->text()));
        const int rows = window.findChild<QTableView *>("TV_Inspections")->model()->rowCount();
        QVERIFY(rows > 0);
        // The connection it keeps stops answering in the middle of a read.
        proxy.stall(true);
        window.refresh();
        QTRY_VERIFY2_WITH_TIMEOUT(banner->text().contains(u"nem válaszol"),
                                  qPrintable(banner->text()), ArchiveWindow::kWaitMs + 2000);
        // Cut after the statement time-out and a margin, not left waiting for ever.
        QTRY_VERIFY2_WITH_TIMEOUT(banner->text().contains(u"nem olvasható"),
                                  qPrintable(banner->text()),
                                  1000 + ConnectionWatch::kCutAfterMs + 4000);
        proxy.stall(false);
        window.setPollInterval(ArchiveWindow::kPollMs);
        QTRY_VERIFY_WITH_TIMEOUT(banner->isHidden(), ArchiveWindow::kPollMs * 2 + 6000);
        QCOMPARE(window.findChild<QTableView *>("TV_Inspections")->model()->rowCount(), rows);
    }

    void statisticsDoNotHoldTheList()
    {
        const ArchiveLocation where =
            freshArchive("kfz_stats_queue", {QDateTime::currentDateTime().addDays(-10),
                                             QDateTime::currentDateTime().addSecs(-60)});
        ArchiveSettings settings;
        settings.location = where;
        ArchiveWindow window(settings, QDir::temp().filePath("kfz-arch-pg-stats.ini"));
        QAbstractItemModel *list = window.findChild<QTableView *>("TV_Inspections")->model();
        QTRY_COMPARE(list->rowCount(), 2);

        // Another session holds every table but the inspections' list: the
        // statistics wait for it, up to the lock time-out.
        const auto drop = qScopeGuard([] { QSqlDatabase::removeDatabase("stats-holder"); });
        const QStringList held =
            holdTables("stats-holder", "kfz_stats_queue", "tablename <> 'inspection'");
        QVERIFY(held.contains("point_sums"));
        window.findChild<QAction *>("A_Statistics")->trigger();
        auto *dialog = window.findChild<QDialog *>("D_Statistics");
        QVERIFY(dialog);
        auto *state = dialog->findChild<QLabel *>("L_State");
        QTest::qWait(200);
        QCOMPARE(state->text(), QStringLiteral("Számolás…"));

        // Meanwhile the list follows a narrower date at once.
        QElapsedTimer clock;
        clock.start();
        window.findChild<QDateEdit *>("DE_From")->setDate(QDate::currentDate().addDays(-2));
        QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), 1, ArchiveDatabase::kLockTimeoutMs - 1500);
        qInfo("the list followed the filter in %lld ms with statistics waiting", clock.elapsed());
        QCOMPARE(state->text(), QStringLiteral("Számolás…"));

        // Let go: the statistics arrive.
        QVERIFY(QSqlDatabase::database("stats-holder").rollback());
        QTRY_VERIFY2_WITH_TIMEOUT(state->text().startsWith(u"2 vizsgálat"),
                                  qPrintable(state->text()), 5000);
    }

    void aCountThatFailsIsSaid()
    {
        ArchiveLocation where =
            freshArchive("kfz_count_fails", {QDateTime::currentDateTime().addSecs(-60)});
        // The sums the count reads are held by another session; the list is not.
        const auto drop = qScopeGuard([] { QSqlDatabase::removeDatabase("count-holder"); });
        holdTables("count-holder", "kfz_count_fails", "tablename = 'point_sums'");
        if (QTest::currentTestFailed())
            return;
        where.options = "lock_timeout=500";
        ArchiveSettings settings;
        settings.location = where;
        ArchiveWindow window(settings, QDir::temp().filePath("kfz-arch-pg-count.ini"));
        QTRY_COMPARE(window.findChild<QTableView *>("TV_Inspections")->model()->rowCount(), 1);
        // Said, not left "counting" for ever.
        QTRY_VERIFY2_WITH_TIMEOUT(
            window.statusBar()->currentMessage().contains(u"nem számolhatók meg"),
            qPrintable(window.statusBar()->currentMessage()), 10000);
        QVERIFY(QSqlDatabase::database("count-holder").rollback());
        window.refresh();
        QTRY_VERIFY2_WITH_TIMEOUT(
            window.statusBar()->currentMessage().startsWith(u"1 vizsgálat felel meg"),
            qPrintable(window.statusBar()->currentMessage()), 10000);
    }

    void closingWithBothReadersStuck()
    {
        const ArchiveLocation where =
            freshArchive("kfz_close_stuck", {QDateTime::currentDateTime().addSecs(-60)});
        ArchiveSettings settings;
        settings.location = where;
        auto window = std::make_unique<ArchiveWindow>(
            settings, QDir::temp().filePath("kfz-arch-pg-close.ini"));
        settle(*window);

        // Every table held by another session: the statistics and the list
        // both wait on it.
        const auto drop = qScopeGuard([] { QSqlDatabase::removeDatabase("close-holder"); });
        holdTables("close-holder", "kfz_close_stuck", "true");
        if (QTest::currentTestFailed())
            return;
        window->findChild<QAction *>("A_Statistics")->trigger();
        window->refresh();

        // Closing lets go of both within one wait.
        QElapsedTimer clock;
        clock.start();
        window.reset();
        qInfo("closed in %lld ms with both readers waiting", clock.elapsed());
        QVERIFY2(clock.elapsed() < ArchiveReader::kStopWaitMs + 1000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(QSqlDatabase::database("close-holder").rollback());
    }

    void aPlateTypedWhileTheServerStallsIsNotLost()
    {
        Inspection recent = sampleInspection(QDateTime::currentDateTime().addSecs(-30));
        {
            ArchiveDatabase db(location("kfz_archive"));
            db.open();
            ArchiveStore(db).store(recent);
        }
        StallingProxy proxy(m_server->port());
        const ArchiveSettings settings = throughProxy(proxy);
        ArchiveWindow window(settings, QDir::temp().filePath("kfz-arch-pg-plate.ini"));
        window.showInspection(recent.id);
        QTRY_VERIFY(window.shownInspection() && window.shownInspection()->id == recent.id);
        settle(window);
        auto *plate = window.findChild<QLineEdit *>("LE_Plate");
        auto *said = window.findChild<QLabel *>("L_Details");
        QSignalSpy saved(&window, &ArchiveWindow::detailsSaved);

        // The path to the server stops forwarding: the window does not wait
        // for the store, and says in time that it failed, the text kept.
        proxy.stall(true);
        plate->setText("XYZ-987");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(window.saveDetails());
        QVERIFY(clock.elapsed() < 500);
        QVERIFY(saved.wait(1000 + ConnectionWatch::kCutAfterMs + 4000));
        QCOMPARE(saved.first().at(1).toBool(), false);
        QVERIFY2(said->text().contains(u"NEM mentődtek el"), qPrintable(said->text()));
        QCOMPARE(plate->text(), QStringLiteral("XYZ-987"));
        QVERIFY(window.detailsChanged());

        // Forwarding again: stored on a new connection.
        proxy.stall(false);
        QVERIFY(window.saveDetails());
        QVERIFY(saved.wait(10000));
        QCOMPARE(saved.last().at(1).toBool(), true);
        ArchiveDatabase db(location("kfz_archive"));
        db.open();
        QCOMPARE(ArchiveStore(db).load(recent.id)->plate, QStringLiteral("XYZ-987"));
        QCOMPARE(ArchiveStore(db).load(recent.id)->inspector, recent.inspector);
    }

    void theWriterLetsGoOfAServerThatStopped()
    {
#ifdef Q_OS_WIN
        QSKIP("the server is a Linux process: a Windows program cannot stop it");
#else
        // The server process serving the store stops (as a hung server does): its
        // statement time-out cannot fire, and libpq would wait for ever.
        ArchiveLocation where = location("kfz_archive");
        {
            ArchiveDatabase made(where); // the tables, when this case runs alone
            made.open();
        }
        where.options = "statement_timeout=1000;lock_timeout=60000";
        QSqlDatabase other = m_server->rawConnection("holder", "kfz_archive");
        QVERIFY2(other.isOpen(), qPrintable(other.lastError().text()));
        QSqlQuery q(other);
        QVERIFY(other.transaction());
        QVERIFY(q.exec("LOCK TABLE inspection IN ACCESS EXCLUSIVE MODE"));
        QTemporaryDir folder;
        ArchiveRecorder recorder(where, folder.filePath("journal"));
        QSignalSpy failed(&recorder, &ArchiveRecorder::failed);
        QVERIFY(recorder.store(oneReading(), {}));
        // The store waits on the lock; then its server process is stopped.
        qint64 backend = 0;
        QElapsedTimer clock;
        clock.start();
        while (!backend && clock.elapsed() < 10000) {
            QTest::qWait(50);
            QSqlQuery w(other);
            QVERIFY(w.exec("SELECT pid FROM pg_stat_activity WHERE wait_event_type = 'Lock'"));
            if (w.next())
                backend = w.value(0).toLongLong();
        }
        QVERIFY(backend > 0);
        QVERIFY(::kill(pid_t(backend), SIGSTOP) == 0);
        const auto resume = qScopeGuard([backend] { ::kill(pid_t(backend), SIGCONT); });
        QVERIFY(other.commit());
        clock.restart();
        QVERIFY(failed.wait(1000 + ConnectionWatch::kCutAfterMs + 5000));
        qInfo("a stopped server let go after %lld ms", clock.elapsed());
        QCOMPARE(QDir(folder.filePath("journal")).entryList({"*.json"}).size(), 1);
        q = QSqlQuery();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase("holder");
#endif
    }

    void aSessionHoldingTheLocks()
    {
        const ArchiveLocation where = location("kfz_archive");
        QSqlDatabase other = m_server->rawConnection("other", "kfz_archive");
        QVERIFY2(other.isOpen(), qPrintable(other.lastError().text()));
        QSqlQuery q(other);
        QTemporaryDir folder;
        ArchiveJournal journal(folder.filePath("journal"));
        ArchiveWriter writer(where, journal);
        QSignalSpy stored(&writer, &ArchiveWriter::stored);
        QSignalSpy failed(&writer, &ArchiveWriter::failed);
        // The schema lock held: opening an archive at this version does not wait for it.
        QVERIFY(q.exec("SELECT pg_advisory_lock(4747)"));
        QElapsedTimer clock;
        clock.start();
        Inspection first = sampleInspection();
        journal.write(first);
        writer.store(first);
        QCOMPARE(stored.size(), 1);
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(q.exec("SELECT pg_advisory_unlock(4747)"));

        // The table locked in an open transaction: the store gives up after the lock
        // time-out, says so, and keeps the inspection in the journal.
        QVERIFY(other.transaction());
        QVERIFY(q.exec("LOCK TABLE inspection IN ACCESS EXCLUSIVE MODE"));
        clock.restart();
        Inspection second = sampleInspection();
        journal.write(second);
        writer.store(second);
        QCOMPARE(failed.size(), 1);
        QVERIFY2(clock.elapsed() < ArchiveDatabase::kLockTimeoutMs + 3000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(failed.first().at(1).toString().startsWith(u"A mérés megmaradt"));
        QCOMPARE(QDir(journal.folder()).entryList({"*.json"}).size(), 1);
        QVERIFY(other.commit());
        writer.finish();
        QCOMPARE(stored.size(), 2);
        QCOMPARE(QDir(journal.folder()).entryList({"*.json"}).size(), 0);
        q = QSqlQuery();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase("other");
    }

    void aNulInTheCategoryIsSetAside()
    {
        QTemporaryDir folder;
        ArchiveJournal journal(folder.filePath("journal"));
        ArchiveWriter writer(location("kfz_archive"), journal);
        QSignalSpy stored(&writer, &ArchiveWriter::stored);
        QSignalSpy failed(&writer, &ArchiveWriter::failed);
        Inspection bad = sampleInspection();
        bad.category = QString("M1") + QChar(0) + "x";
        journal.write(bad);
        writer.store(bad);
        const Inspection good = sampleInspection();
        journal.write(good);
        writer.store(good);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first().at(1).toString(), good.uid);
        QCOMPARE(failed.size(), 1);
        QVERIFY2(failed.first().first().toString().contains(u"félretette"),
                 qPrintable(failed.first().first().toString()));
        QVERIFY(QFile::exists(folder.filePath("Kromaglen_archive.refused-") + bad.uid + ".json"));
        QCOMPARE(writer.pendingCount(), 0);
    }
};

QTEST_MAIN(TestArchivePostgres)
#include "tst_archive_pg.moc"
