#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>

class ArchiveDatabase;

// Per-point sums of many inspections kept ready, so that statistics over
// years read thousands of rows instead of tens of millions. A row of
// point_rollup sums one point over the inspections of one station started in
// one UTC day (span 1) or in one block of kBlockDays UTC days (span
// kBlockDays), split by category, by stored worst verdict (-1: none stored)
// or by both, as its grain says; a column the grain does not split by holds
// '' or -1. Point -1 counts the inspections (n) of its bucket. Fixed UTC buckets do not depend on
// the time zone of a reader. Counts, sums and sums of squares add up exactly, the lowest and
// highest reading do too; taking an inspection out is not a subtraction, so the buckets it leaves
// are summed again from point_summary.
class ArchiveRollup
{
public:
    static constexpr qint64 kDayMs = 86400000;
    static constexpr int kBlockDays = 32;
    // Bit 0: split by category; bit 1: split by worst verdict.
    enum Grain { Station = 0, Category = 1, Verdict = 2, Both = 3 };

    // One station's UTC day.
    struct Day
    {
        QString station;
        qint64 day = 0;
        friend bool operator==(const Day &, const Day &) = default;
    };

    explicit ArchiveRollup(ArchiveDatabase &db) : m_db(db) {}

    // Within the caller's write transaction, after the rows of the
    // inspections are written. PostgreSQL: first waits for the writers of
    // the same stations and blocks (taken in one order, so that two never
    // wait for each other); then adds the new inspections `added` (ids) to
    // their buckets and sums again the days `changed` (those an inspection
    // left or entered by a later store of it).
    void update(const QList<qint64> &added, const QList<Day> &days, const QList<Day> &changed);
    // Sums every bucket again (after rows were copied or deleted in SQL).
    void rebuild();
    // How many rows differ from the same sums made afresh (0: in step).
    qint64 differences();

    static qint64 dayOf(qint64 startedMs) { return startedMs / kDayMs; }

private:
    void lock(const QList<Day> &days);
    void sumDay(const Day &day);
    void sumBlock(const QString &station, qint64 block);

    ArchiveDatabase &m_db;
};

inline size_t qHash(const ArchiveRollup::Day &d, size_t seed = 0)
{
    return qHashMulti(seed, d.station, d.day);
}
