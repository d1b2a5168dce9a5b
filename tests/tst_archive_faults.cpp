// The archive under the faults a station meets, on real processes and file
// systems: the wizard killed at any moment around a store (many times over,
// counting afterwards), two wizards in one working folder, a working folder
// that cannot be written, a full disk.
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <sys/mount.h>

#include "ArchiveDatabase.h"
#include "ArchiveRecorder.h"
#include "ArchiveStore.h"
#include "ReadingLog.h"
#include "SmallDisk.h"

namespace {

const QString kHelper = QStringLiteral(KFZ_BINARY_DIR "/tests/archive_writer_helper");

ArchiveLocation fileLocation(const QString &path)
{
    ArchiveLocation location;
    location.file = path;
    return location;
}

// The uids a helper run reported journaled.
QSet<QString> journaledBy(QProcess &helper)
{
    QSet<QString> uids;
    for (const QByteArray &line : helper.readAllStandardOutput().split('\n')) {
        if (line.startsWith("journaled "))
            uids.insert(QString::fromLatin1(line.mid(10)));
    }
    return uids;
}

QHash<QString, int> storedUids(const QString &file)
{
    ArchiveDatabase db(fileLocation(file));
    db.open();
    QSqlQuery q = db.exec("SELECT uid, COUNT(*) FROM inspection GROUP BY uid");
    QHash<QString, int> out;
    while (q.next())
        out.insert(q.value(0).toString(), q.value(1).toInt());
    return out;
}

int journalEntries(const QString &folder)
{
    return int(QDir(folder).entryList({"*.json"}, QDir::Files).size());
}

ReadingLog oneReading()
{
    ReadingLog log;
    log.append(4, {Substrate::FE, 120, ReadingSource::Gauge, QDateTime::currentDateTime()});
    return log;
}

} // namespace

class TestArchiveFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kfz-arch-faults-XXXXXX")};

private Q_SLOTS:
    void killedAtAnyMomentLosesNothingAndDoublesNothing()
    {
        const int runs = qEnvironmentVariableIsSet("KFZ_KILL_RUNS")
                             ? qEnvironmentVariableIntValue("KFZ_KILL_RUNS")
                             : 200;
        constexpr int kPerRun = 3;
        const QString file = m_dir.filePath("killed.sqlite");
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        QSet<QString> promised;
        // One whole run first: the kills fall anywhere within its length.
        QElapsedTimer clock;
        clock.start();
        {
            QProcess whole;
            whole.start(kHelper, {"--journaled", file, QString::number(kPerRun)});
            QVERIFY(whole.waitForFinished(30000));
            promised += journaledBy(whole);
        }
        const auto span = quint32(std::max<qint64>(20, clock.elapsed() * 6 / 5));
        int killed = 0;
        for (int run = 0; run < runs; ++run) {
            QProcess helper;
            helper.start(kHelper, {"--journaled", file, QString::number(kPerRun)});
            QVERIFY2(helper.waitForStarted(), qPrintable(helper.errorString()));
            // From before the first store to after the last commit.
            const int delay = int(random.bounded(1u, span));
            if (!helper.waitForFinished(delay)) {
                helper.kill();
                ++killed;
            }
            if (helper.state() != QProcess::NotRunning)
                QVERIFY(helper.waitForFinished(30000));
            promised += journaledBy(helper);
        }
        // The next start takes over what every killed run left.
        QProcess last;
        last.start(kHelper, {"--journaled", file, "0"});
        QVERIFY(last.waitForFinished(60000));
        QCOMPARE(last.readAllStandardOutput(), QByteArray("done\n"));

        const QHash<QString, int> stored = storedUids(file);
        QStringList lost;
        for (const QString &uid : std::as_const(promised)) {
            if (!stored.contains(uid))
                lost.append(uid);
        }
        int twice = 0;
        for (int n : stored)
            twice += n > 1;
        qInfo("seed %u, kills within %u ms: %d runs, %d killed, %lld journaled, %lld stored, %lld "
              "lost, %d twice",
              seed, span, runs, killed, qsizetype(promised.size()), qsizetype(stored.size()),
              qsizetype(lost.size()), twice);
        QVERIFY2(lost.isEmpty(), qPrintable(lost.join(u' ')));
        QCOMPARE(twice, 0);
        QVERIFY(stored.size() <= runs * kPerRun);
        QVERIFY(killed > runs / 3); // the kills did come around the stores
        QCOMPARE(journalEntries(file + ".journal"), 0);
    }

    void twoWizardsInOneFolder()
    {
        const QString file = m_dir.filePath("shared.sqlite");
        QProcess a, b;
        a.start(kHelper, {"--journaled", file, "40"});
        b.start(kHelper, {"--journaled", file, "40"});
        QVERIFY(a.waitForFinished(60000));
        QVERIFY(b.waitForFinished(60000));
        const QSet<QString> uids = journaledBy(a) + journaledBy(b);
        QCOMPARE(uids.size(), 80);
        const QHash<QString, int> stored = storedUids(file);
        QCOMPARE(stored.size(), 80);
        for (const QString &uid : uids)
            QCOMPARE(stored.value(uid), 1);
        QCOMPARE(journalEntries(file + ".journal"), 0);
        // Each held a lock file of its own while it ran; none is left.
        QCOMPARE(QDir(file + ".journal").entryList({"*.lock"}).size(), 0);
    }

    void aFolderItCannotWrite()
    {
        SmallDisk disk(256);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.reason()));
        QVERIFY(::mount(nullptr, QFile::encodeName(disk.path()).constData(), nullptr,
                        MS_REMOUNT | MS_RDONLY, nullptr) == 0);
        const QString journal = disk.filePath("Kromaglen_archive.journal");
        {
            // The archive elsewhere: told the journal failed, stored all the same.
            ArchiveRecorder recorder(fileLocation(m_dir.filePath("elsewhere.sqlite")), journal);
            QSignalSpy failed(&recorder, &ArchiveRecorder::failed);
            QSignalSpy stored(&recorder, &ArchiveRecorder::stored);
            QVERIFY(recorder.store(oneReading(), {}));
            QCOMPARE(failed.size(), 1);
            QVERIFY(failed.first().first().toString().contains(u"NEM tudta"));
            QVERIFY(stored.wait(10000));
        }
        // The archive in the same place: never "megmaradt".
        ArchiveRecorder recorder(fileLocation(disk.filePath("Kromaglen_archive.sqlite")), journal);
        QSignalSpy failed(&recorder, &ArchiveRecorder::failed);
        QVERIFY(recorder.store(oneReading(), {}));
        QTRY_COMPARE(failed.size(), 2);
        for (const QList<QVariant> &f : std::as_const(failed)) {
            const QString text = f.at(0).toString() + f.at(1).toString();
            QVERIFY2(!text.contains(u"megmaradt"), qPrintable(text));
            QVERIFY2(text.contains(u"NEM"), qPrintable(text));
        }
    }

    void aFullDisk()
    {
        SmallDisk disk(64);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.reason()));
        const QString journal = disk.filePath("Kromaglen_archive.journal");
        const QString file = m_dir.filePath("full.sqlite");
        ArchiveRecorder recorder(fileLocation(file), journal);
        QSignalSpy failed(&recorder, &ArchiveRecorder::failed);
        QSignalSpy stored(&recorder, &ArchiveRecorder::stored);
        QVERIFY(recorder.store(oneReading(), {})); // makes the journal folder
        QVERIFY(stored.wait(10000));
        disk.fill();
        ReadingLog big;
        for (int n = 0; n < 500; ++n)
            big.append(n % 23, {Substrate::FE, 100 + n, ReadingSource::Gauge,
                                QDateTime::currentDateTime()});
        recorder.readingsDiscarded();
        QVERIFY(recorder.store(big, {}));
        QCOMPARE(failed.size(), 1);
        QVERIFY(failed.first().first().toString().contains(u"NEM tudta"));
        // Nothing cut short is left behind to be replayed.
        QCOMPARE(QDir(journal).entryList({"*.json", "*.new"}).size(), 0);
        QVERIFY(stored.wait(10000)); // the archive itself had room
        QVERIFY(QFile::remove(disk.filePath("filler")));
        recorder.readingsDiscarded();
        QVERIFY(recorder.store(big, {}));
        QCOMPARE(failed.size(), 1);
        QVERIFY(stored.wait(10000));
        QCOMPARE(journalEntries(journal), 0);
        QCOMPARE(storedUids(file).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestArchiveFaults)
#include "tst_archive_faults.moc"
