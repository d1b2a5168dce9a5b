#pragma once

#include <QList>
#include <QString>
#include <map>

class ArchiveDatabase;

// The statistics' sums kept ready (the table point_sums, see
// schema/current.sql), so that statistics over years read thousands of rows
// instead of tens of millions: per point, the readings of the inspections of
// one station, category and stored verdict started in one UTC day or one
// block of kBlockDays UTC days, summed; point -1 counts the inspections.
// Fixed UTC buckets do not depend on a reader's time zone. Counts, sums and
// sums of squares add up exactly, the lowest and highest reading do too; an
// inspection taken out is not subtracted: the buckets it leaves are summed
// again from the readings. Every failure is an ArchiveError.
class ArchiveRollup
{
public:
    static constexpr qint64 kDayMs = 86400000;
    static constexpr int kBlockDays = 32;

    // Where an inspection's readings are summed: its station, category,
    // stored worst verdict (-1: none) and UTC day (-1: before 1970, nowhere).
    struct Bucket
    {
        QString station;
        QString category;
        int worst = -1;
        qint64 day = -1;

        bool operator==(const Bucket &) const = default;
        bool operator<(const Bucket &o) const;
    };
    // The readings of one point, summed.
    struct Sum
    {
        qint64 n = 0;
        qint64 total = 0;
        qint64 squares = 0;
        int minimum = 0;
        int maximum = 0;

        void add(int value);
        void add(const Sum &other);
    };
    // A new inspection: its bucket and its sums by point.
    struct Added
    {
        Bucket bucket;
        std::map<int, Sum> points;
    };

    explicit ArchiveRollup(ArchiveDatabase &db) : m_db(db) {}

    // Within the caller's write transaction, after the inspections' rows are
    // written: adds the new inspections to their day and block, then sums
    // again the buckets that inspections stored again left or entered.
    // PostgreSQL: first waits for the other writers of the same stations'
    // blocks (taken in one order, so that two never wait for each other).
    void update(const QList<Added> &added, const QList<Bucket> &changed);
    // Sums every bucket again (after rows were copied or deleted in SQL).
    void rebuild();
    // How many rows differ from the same sums made afresh (0: in step).
    qint64 differences();

    static qint64 dayOf(qint64 startedMs) { return startedMs < 0 ? -1 : startedMs / kDayMs; }

private:
    struct Key;
    // The numbers of the station and category names, made where missing.
    std::map<std::pair<int, QString>, qint64> labels(const QList<Bucket> &buckets);
    void lock(const std::map<std::pair<int, QString>, qint64> &ids, const QList<Bucket> &buckets);
    void add(const std::map<Key, Sum> &rows);
    void sumAgain(const Bucket &bucket, qint64 station, qint64 category, int span);

    ArchiveDatabase &m_db;
};
