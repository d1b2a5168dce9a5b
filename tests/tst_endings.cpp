// The program ended by force or by the system, as a process on a real
// pseudo-terminal: killed with kill -9 at random moments while readings
// arrive and started again on the same folder; SIGTERM, SIGHUP and SIGINT on
// each page; a desktop session's end; a journal folder that fills up or
// turns read-only while measuring.
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "ArchiveDatabase.h"
#include "ArchiveQuery.h"
#include "ArchiveRecorder.h"
#include "ArchiveStore.h"
#include "ProcessDrivers.h"
#include "PtyGauge.h"
#include "SmallDisk.h"

namespace {

// How long after the program recorded it a reading must be back after an end
// by force: the journal's bound for a change. A machine so loaded that the test itself wakes late
// delays the program as much: the test adds three times its own lateness;
// and a disk so busy that a synced write of the test's own waits long
// delays the program's two (one ahead of it, its own) as much: the test
// adds twice its slowest.
constexpr qint64 kBoundMs = 1000;

QByteArray reading(int value)
{
    return QByteArray(",FE") + char(value & 0xFF) + char(value >> 8);
}

// The values of "readings 0": "FE 1 µm|FE 2 µm" gives 1, 2.
QList<int> valuesOf(const QString &lines)
{
    QList<int> values;
    static const QRegularExpression number(QStringLiteral("(\\d+) µm"));
    for (auto m = number.globalMatch(lines); m.hasNext();)
        values.append(m.next().captured(1).toInt());
    return values;
}

// A working folder (by default a temporary one) with the gauge's
// pseudo-terminal and a registry file that lists it.
struct Station
{
    explicit Station(const QString &folder = QString())
        : folder(folder.isEmpty() ? temporary.path() : folder), gauge(this->folder + "/gauge")
    {
        QFile registry(this->folder + "/registry.reg");
        registry.open(QIODevice::WriteOnly);
        registry.write("Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n\"g\"=\"" +
                       QFile::encodeName(gauge.portName()) + "\"\r\n");
    }
    std::unique_ptr<Wizard> start()
    {
        return std::make_unique<Wizard>(folder, folder + "/registry.reg", port);
    }
    // "Tovább" (keeping the readings the log holds) and the gauge's key.
    bool connect(Wizard &w, bool readingsHeld)
    {
        w.cmd("choose ComComboBox1 " + gauge.portName());
        if (readingsHeld)
            w.cmd("answer yes");
        w.cmd("click BB_ConfigNext");
        if (!w.waitFor("visible BB_AbortConnect", "1", 8000))
            return false;
        gauge.send(",ME");
        return w.waitFor("page", "1", 8000);
    }
    // Answers the question about an unfinished inspection, if one comes.
    bool offeredBack(Wizard &w, bool take, int waitMs = 3000)
    {
        if (!w.waitFor("visible TF_MessageDlg", "1", waitMs))
            return false;
        w.cmd(take ? "answer yes" : "answer no");
        return w.waitFor("visible TF_MessageDlg", "0");
    }
    QList<Inspection> archived() const
    {
        ArchiveLocation location;
        location.file = folder + "/Kromaglen_archive.sqlite";
        QList<Inspection> out;
        try {
            ArchiveDatabase db(location);
            db.open();
            ArchiveStore store(db);
            QSqlQuery ids = db.exec(QStringLiteral("SELECT id FROM inspection ORDER BY id"));
            while (ids.next())
                out.append(*store.load(ids.value(0).toLongLong()));
        } catch (const Failure &) {
        }
        return out;
    }

    QTemporaryDir temporary;
    QString folder;
    PtyGauge gauge;
    quint16 port = freePort();
};

// Times a small synced write in `folder` again and again on a thread of its
// own, for as long as it lives: the slowest since the last take().
class SyncProbe
{
public:
    explicit SyncProbe(const QString &folder)
        : m_thread([this, path = QFile::encodeName(folder + "/probe")] {
              while (!m_stop) {
                  QElapsedTimer t;
                  t.start();
                  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                  if (fd >= 0) {
                      [[maybe_unused]] const ssize_t n = ::write(fd, "x", 1);
                      ::fsync(fd);
                      ::close(fd);
                  }
                  qint64 worst = m_worst;
                  while (t.elapsed() > worst &&
                         !m_worst.compare_exchange_weak(worst, t.elapsed())) {
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          })
    {
    }
    ~SyncProbe()
    {
        m_stop = true;
        m_thread.join();
    }
    qint64 take() { return m_worst.exchange(0); }

private:
    std::atomic<bool> m_stop = false;
    std::atomic<qint64> m_worst = 0;
    std::thread m_thread;
};

} // namespace

class TestEndings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // kill -9 at random moments while readings arrive, at least 100 times:
    // after each, the next start offers the unfinished inspection, and every
    // reading older than the bound is back, none twice, none made up. The
    // last start leaves it to the archive, marked interrupted.
    void killedWhileReadingsArrive()
    {
        const int runs = qEnvironmentVariableIsSet("KFZ_KILL_RUNS")
                             ? qEnvironmentVariableIntValue("KFZ_KILL_RUNS")
                             : 100;
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        Station s;
        SyncProbe probe(s.folder);
        QElapsedTimer clock;
        clock.start();
        // Each value sent, and when the program was first seen to have
        // recorded it (-1: not yet).
        QList<std::pair<int, qint64>> sent;
        int next = 1;
        QSet<int> due;          // recorded more than the bound before the kill that ended their run
        QHash<int, qint64> age; // how long before that kill each was recorded
        qint64 worstBound = 0;
        for (int run = 0; run < runs; ++run) {
            const auto w = s.start();
            QList<int> back;
            if (run > 0 && s.offeredBack(*w, true, due.isEmpty() ? 1500 : 8000)) {
                QVERIFY(w->waitFor("visible TF_MessageDlg", "0"));
                back = valuesOf(w->cmd("readings 0"));
            }
            const QSet<int> backSet(back.begin(), back.end());
            QVERIFY2(backSet.size() == back.size(), qPrintable(QStringLiteral("run %1: a "
                                                                              "reading twice")
                                                                   .arg(run)));
            if (!backSet.contains(due)) {
                QList<int> missing = QSet<int>(due).subtract(backSet).values();
                std::sort(missing.begin(), missing.end());
                QStringList said;
                for (int v : missing.mid(0, 20))
                    said << QStringLiteral("%1 (recorded %2 ms before the kill)")
                                .arg(v)
                                .arg(age.value(v));
                QFAIL(qPrintable(QStringLiteral("run %1, seed %2: %3 readings due, %4 back, "
                                                "missing: %5")
                                     .arg(run)
                                     .arg(seed)
                                     .arg(due.size())
                                     .arg(back.size())
                                     .arg(said.join(u", "))));
            }
            QVERIFY(back.isEmpty() || back.last() < next);
            QVERIFY(s.connect(*w, !back.isEmpty()));
            // Readings arrive, about a hundred a second, until the kill.
            const qsizetype firstOfRun = sent.size();
            const qint64 killAt = clock.elapsed() + qint64(random.bounded(2500u));
            qint64 late = 0; // the worst lateness of a 10 ms wait in this run
            probe.take();
            qsizetype recorded = firstOfRun; // sent[..recorded) are recorded
            while (clock.elapsed() < killAt) {
                QVERIFY(s.gauge.send(reading(next)));
                sent.append({next++, -1});
                const qint64 at = clock.elapsed();
                QTest::qWait(10);
                late = std::max(late, clock.elapsed() - at - 10);
                if (next % 10 != 0)
                    continue;
                // Which are recorded by now: the window answers between readings.
                const qsizetype count = w->cmd("count 0").toInt() - back.size();
                for (const qint64 now = clock.elapsed(); recorded < firstOfRun + count; ++recorded)
                    sent[recorded].second = now;
            }
            ::kill(pid_t(w->pid()), SIGKILL);
            QVERIFY(w->finished());
            // Those older than the bound at this kill are due from now on;
            // the younger ones may be lost with it.
            const qint64 killed = clock.elapsed();
            const qint64 bound = kBoundMs + 3 * late + 2 * probe.take();
            worstBound = std::max(worstBound, bound);
            for (const auto &[value, at] : sent.mid(firstOfRun)) {
                if (at < 0)
                    continue;
                age.insert(value, killed - at);
                if (at < killed - bound)
                    due.insert(value);
            }
        }
        // The last start leaves it: stored, interrupted, with every reading due.
        const auto w = s.start();
        QVERIFY(s.offeredBack(*w, false, 8000));
        w->cmd("answer yes");
        w->cmd("close");
        QVERIFY(w->finished(10000));
        const QList<Inspection> archived = s.archived();
        QCOMPARE(archived.size(), 1);
        QVERIFY(archived.first().interrupted);
        QSet<int> stored;
        for (const ArchivedReading &r : archived.first().readings)
            stored.insert(r.value);
        QVERIFY(stored.contains(due));
        qInfo("seed %u: %d kills, %d readings sent, %lld due, %lld stored; bound %lld ms at most",
              seed, runs, next - 1, qsizetype(due.size()), qsizetype(stored.size()), worstBound);
    }

    // A signal on any page ends the program at once, no question holding it
    // up: what was measured is journaled and offered at the next start; what
    // was handed over is stored as "Vége" stores it. A desktop session's end
    // does the same.
    void endedByTheSystemOnEachPage_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("handedOver");
        QTest::addColumn<bool>("asking"); // a question is open at the end
        QTest::newRow("SIGTERM, measuring") << "SIGTERM" << 1 << false << false;
        QTest::newRow("SIGHUP, first page, asking") << "SIGHUP" << 0 << false << true;
        QTest::newRow("SIGINT, last page") << "SIGINT" << 2 << false << false;
        QTest::newRow("SIGTERM, handed over") << "SIGTERM" << 2 << true << false;
        QTest::newRow("session end, measuring") << "session" << 1 << false << false;
        QTest::newRow("session end, handed over") << "session" << 2 << true << false;
    }
    void endedByTheSystemOnEachPage()
    {
        QFETCH(QString, how);
        QFETCH(int, page);
        QFETCH(bool, handedOver);
        QFETCH(bool, asking);
        Station s;
        {
            const auto w = s.start();
            QVERIFY(s.connect(*w, false));
            s.gauge.send(reading(123) + reading(124));
            QVERIFY(w->waitFor("readings 0", QStringLiteral("FE 123 µm|FE 124 µm")));
            if (page == 0) {
                w->cmd("click BB_MeasBack");
                QVERIFY(w->waitFor("page", "0"));
            }
            if (page == 2) {
                w->cmd("answer yes");
                w->cmd("click BB_MeasNext");
                QVERIFY(w->waitFor("page", "2"));
            }
            if (handedOver)
                QVERIFY(client(s.port, {"raw", "LEFT_FRONT_WING"}).contains("LEFT_FRONT_WING:"));
            if (asking) {
                w->cmd("click BB_ConfigNext"); // asks whether to keep the readings
                QVERIFY(w->waitFor("visible TF_MessageDlg", "1"));
            }
            if (how == u"session")
                w->cmd("sessionend");
            else
                ::kill(pid_t(w->pid()), how == u"SIGTERM"  ? SIGTERM
                                        : how == u"SIGHUP" ? SIGHUP
                                                           : SIGINT);
            QVERIFY2(w->finished(3000), "the end waited");
            QVERIFY(!w->crashed());
            QCOMPARE(w->exitCode(), 0);
        }
        const auto w = s.start();
        if (handedOver) {
            QVERIFY(!s.offeredBack(*w, true, 1500));
            const QList<Inspection> archived = s.archived();
            QCOMPARE(archived.size(), 1);
            QVERIFY(!archived.first().interrupted);
            QCOMPARE(archived.first().readings.size(), 2);
            QVERIFY(archived.first().sentAt(0));
        } else {
            QVERIFY(s.offeredBack(*w, true));
            QCOMPARE(w->cmd("readings 0"), QStringLiteral("FE 123 µm|FE 124 µm"));
            // Taken back and finished, the wizard closed on its last page
            // (as "Vége" closes it) ends the process.
            QVERIFY(s.connect(*w, true));
            w->cmd("answer yes");
            w->cmd("click BB_MeasNext");
            QVERIFY(w->waitFor("page", "2"));
            w->cmd("answer yes");
            w->cmd("close");
            QVERIFY2(w->finished(3000 + ArchiveRecorder::kCloseWaitMs), "the process did not end");
            QCOMPARE(w->exitCode(), 0);
        }
    }

    // A journal folder that fills up, or turns read-only, while measuring:
    // the person is told at once; once it can be written again the readings
    // reach it.
    void aJournalFolderThatCannotBeWritten()
    {
        SmallDisk disk(512);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.reason()));
        Station s(disk.path());
        const auto w = s.start();
        QVERIFY(s.connect(*w, false));
        const QString journal = disk.filePath("Kromaglen_archive.journal");
        const auto entries = [&journal] {
            return QDir(journal).entryList({"*.open.json"}, QDir::Files).size();
        };
        s.gauge.send(reading(1));
        QTRY_COMPARE(entries(), 1);
        const QString told = QStringLiteral("A mérések most NEM kerülnek biztonságba! Oka: ");
        for (const int round : {1, 2}) {
            const bool full = round == 1;
            if (full)
                disk.fill();
            else
                QVERIFY(disk.setReadOnly(true));
            // Readings make the entry grow beyond the last free block.
            int value = 2;
            QTRY_VERIFY2_WITH_TIMEOUT(
                (s.gauge.send(reading(value++)), w->cmd("info").startsWith(told)), "not told",
                5000);
            w->cmd("click BB_OK");
            if (full)
                QFile::remove(disk.filePath("filler"));
            else
                QVERIFY(disk.setReadOnly(false));
            s.gauge.send(reading(100 * round));
            QTRY_VERIFY_WITH_TIMEOUT(
                readFile(journal + u'/' + QDir(journal).entryList({"*.open.json"}).value(0))
                    .contains(QByteArray("\"value\":").append(QByteArray::number(100 * round))),
                3000);
            w->cmd("click BB_MeasStepForward"); // the next round on the next point
        }
    }
};

QTEST_GUILESS_MAIN(TestEndings)
#include "tst_endings.moc"
