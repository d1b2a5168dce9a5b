#pragma once

// Stations storing into one archive at the same time: each a process of
// archive_writer_helper --station with a working folder (and journal) of its
// own. What their output promised is then held against what the archive
// holds: every inspection whose store call returned is there exactly once, at
// the revision last stored or later, with exactly the rows it was stored
// with; an inspection a kill caught inside its store call is there once or
// not at all; nothing else is there.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QSqlQuery>
#include <memory>
#include <vector>

#include "ArchiveDatabase.h"
#include "ArchiveSchema.h"

namespace {

// The rows one store call of an inspection brings.
struct StoredRows
{
    int readings = 0;
    int plan = 0;
    int sent = 0;
    bool operator==(const StoredRows &) const = default;
};

// What the stations said of one inspection.
struct Promise
{
    QMap<int, StoredRows> begun; // by revision: the store calls begun
    int journaled = 0;           // the highest revision whose store call returned
};

class Station
{
public:
    Station(QString helper, QString folder) : m_helper(std::move(helper)), m_folder(folder)
    {
        QDir().mkpath(m_folder);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Station() { kill(); }

    // Starts it (again, after a kill: on the same folder); it waits for go()
    // after saying "ready".
    void start(const QString &address, int count)
    {
        m_output.truncate(m_output.lastIndexOf('\n') + 1); // a line a kill cut short
        m_runStart = m_output.size();
        m_process.start(m_helper, {"--station", address, m_folder, QString::number(count)});
    }
    bool ready()
    {
        read();
        return m_output.indexOf("ready\n", m_runStart) >= 0;
    }
    void go() { m_process.write("go\n"); }
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished();
        read();
    }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    // Collects what it printed so far (run the event loop in between).
    void read() { m_output += m_process.readAllStandardOutput(); }
    // Ended on its own, everything stored, nothing reported.
    bool succeeded() const
    {
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0 &&
               m_output.endsWith("done\n");
    }
    int journaledCount() const { return int(m_output.count("\njournaled ")); }
    // How many inspections it began (a second revision is not another one).
    int begunCount() const
    {
        QHash<QString, Promise> promises;
        addPromises(promises);
        return int(promises.size());
    }
    QStringList failures() const
    {
        QStringList out;
        for (const QByteArray &line : m_output.split('\n')) {
            if (line.startsWith("failed "))
                out.append(QString::fromUtf8(line.mid(7)));
        }
        return out;
    }
    // Adds what its output promised; a line cut short by a kill counts for nothing.
    void addPromises(QHash<QString, Promise> &promises) const
    {
        const qsizetype complete = m_output.lastIndexOf('\n') + 1;
        for (const QByteArray &line : m_output.left(complete).split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 6 && f[0] == "storing") {
                promises[QString::fromLatin1(f[1])].begun.insert(
                    f[2].toInt(), {f[3].toInt(), f[4].toInt(), f[5].toInt()});
            } else if (f.size() == 3 && f[0] == "journaled") {
                int &journaled = promises[QString::fromLatin1(f[1])].journaled;
                journaled = std::max(journaled, f[2].toInt());
            }
        }
    }
    const QString &folder() const { return m_folder; }
    // What is left in its journal folder: entries, lock files, cut-off writes.
    QStringList journalLeftovers() const
    {
        return QDir(m_folder + QStringLiteral("/Kromaglen_archive.journal")).entryList(QDir::Files);
    }

private:
    QString m_helper;
    QString m_folder;
    QProcess m_process;
    QByteArray m_output;
    qsizetype m_runStart = 0;
};

using Stations = std::vector<std::unique_ptr<Station>>;

void readAll(Stations &stations)
{
    for (auto &s : stations)
        s->read();
}

// Waits until every station is ready, then lets them go at one moment.
bool startTogether(Stations &stations, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (auto &s : stations) {
        while (!s->ready()) {
            if (clock.elapsed() > timeoutMs || !s->running())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }
    for (auto &s : stations)
        s->go();
    return true;
}

bool waitAll(Stations &stations, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        readAll(stations);
        if (std::none_of(stations.begin(), stations.end(), [](auto &s) { return s->running(); }))
            break;
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    readAll(stations);
    return true;
}

struct ArchiveCheck
{
    QStringList problems;
    int inspections = 0;
    int readings = 0;
};

// Holds the archive against the promises (see above) and its schema's record
// against one upgrade.
ArchiveCheck checkArchive(ArchiveDatabase &db, const QHash<QString, Promise> &promises)
{
    ArchiveCheck check;
    QStringList &problems = check.problems;
    QSqlQuery rows =
        db.exec(QStringLiteral("SELECT i.uid, i.revision, i.reading_count,"
                               " (SELECT COUNT(*) FROM reading r WHERE r.inspection_id = i.id),"
                               " (SELECT COUNT(*) FROM plan_point p WHERE p.inspection_id = i.id),"
                               " (SELECT COUNT(*) FROM sent_point s WHERE s.inspection_id = i.id)"
                               " FROM inspection i"));
    QHash<QString, int> seen;
    qint64 rowSum[3] = {};
    while (rows.next()) {
        const QString uid = rows.value(0).toString();
        const int revision = rows.value(1).toInt();
        const StoredRows got{rows.value(3).toInt(), rows.value(4).toInt(), rows.value(5).toInt()};
        rowSum[0] += got.readings;
        rowSum[1] += got.plan;
        rowSum[2] += got.sent;
        ++check.inspections;
        if (++seen[uid] > 1) {
            problems.append(uid + QStringLiteral(" stored more than once"));
            continue;
        }
        const auto promise = promises.constFind(uid);
        if (promise == promises.constEnd()) {
            problems.append(uid + QStringLiteral(" stored, never begun"));
            continue;
        }
        if (revision < promise->journaled || !promise->begun.contains(revision)) {
            problems.append(QStringLiteral("%1 at revision %2, journaled at %3")
                                .arg(uid)
                                .arg(revision)
                                .arg(promise->journaled));
            continue;
        }
        const StoredRows want = promise->begun.value(revision);
        if (got != want || rows.value(2).toInt() != want.readings)
            problems.append(QStringLiteral("%1 revision %2: %3 readings (listed %4), %5 plan "
                                           "points, %6 sent; stored with %7, %8, %9")
                                .arg(uid)
                                .arg(revision)
                                .arg(got.readings)
                                .arg(rows.value(2).toInt())
                                .arg(got.plan)
                                .arg(got.sent)
                                .arg(want.readings)
                                .arg(want.plan)
                                .arg(want.sent));
    }
    rows.finish();
    for (auto p = promises.constBegin(); p != promises.constEnd(); ++p) {
        if (p->journaled > 0 && !seen.contains(p.key()))
            problems.append(p.key() + QStringLiteral(" journaled, not stored"));
    }
    // Rows of no inspection (left by a store cut short) would show here.
    const char *tables[] = {"reading", "plan_point", "sent_point"};
    for (int t = 0; t < 3; ++t) {
        QSqlQuery all = db.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(tables[t]));
        const qint64 total = all.next() ? all.value(0).toLongLong() : -1;
        if (total != rowSum[t])
            problems.append(QStringLiteral("%1: %2 rows, %3 belong to inspections")
                                .arg(tables[t])
                                .arg(total)
                                .arg(rowSum[t]));
    }
    check.readings = int(rowSum[0]);
    QSqlQuery schema =
        db.exec(QStringLiteral("SELECT COUNT(*), MIN(version), MAX(version) FROM archive_schema"));
    if (!schema.next() || schema.value(0).toInt() != 1 ||
        schema.value(1).toInt() != ArchiveSchema::kVersion ||
        schema.value(2).toInt() != ArchiveSchema::kVersion)
        problems.append(QStringLiteral("the schema's record: %1 rows, versions %2 to %3")
                            .arg(schema.value(0).toInt())
                            .arg(schema.value(1).toInt())
                            .arg(schema.value(2).toInt()));
    return check;
}

} // namespace
