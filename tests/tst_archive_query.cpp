// The list of a large archive as the database gives it, on SQLite and on a
// real PostgreSQL server: every filter and sort against the same worked out
// here from the stored inspections, pages that together hold each row once
// and in order (ties included), counts, per-point statistics summed by the
// database against those of the readings, and a version-3 archive upgraded.
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "ArchiveDatabase.h"
#include "ArchiveQuery.h"
#include "ArchiveRollup.h"
#include "ArchiveSamples.h"
#include "ArchiveSchema.h"
#include "ArchiveStore.h"
#include "InspectionDetails.h"
#include "PostgresCluster.h"

namespace {

const QDateTime kFirst(QDate(2025, 2, 1), QTime(8, 0), Qt::UTC);
const QStringList kCategories{"M1 - személygépkocsi", "", "N1 - tehergépkocsi 3,5t-ig"};
// Byte order puts "Á" after every ASCII letter.
const QStringList kStations{"Állomás 02", "allomas 01", "Bázis"};

// Inspections with many ties: few moments, categories, stations, counts and
// verdicts; some judged with other limits, some with none at all, one with
// readings no program of ours would store.
QList<Inspection> tiedInspections(int count)
{
    QRandomGenerator random(4747);
    QList<Inspection> out;
    for (int n = 0; n < count; ++n) {
        Inspection i;
        i.uid = QStringLiteral("tie-%1").arg(n);
        i.started = kFirst.addSecs(3600 * random.bounded(12) * 24 / 2);
        i.ended = i.started.addSecs(300);
        i.category = kCategories.at(random.bounded(int(kCategories.size())));
        i.station = kStations.at(random.bounded(int(kStations.size())));
        const int points = random.bounded(0, 5);
        for (int p = 0; p < points; ++p) {
            const int point = random.bounded(23);
            for (int r = random.bounded(1, 4); r > 0; --r) {
                const int value = QList<int>{40, 100, 150, 200, 400}.at(random.bounded(5)) +
                                  random.bounded(-5, 6);
                i.readings.append({point, random.bounded(4) == 0 ? Substrate::AL : Substrate::FE,
                                   value, ReadingSource::Gauge, i.started.addSecs(10)});
            }
        }
        if (n % 7 == 3)
            i.judgedWith.reset();
        else if (n % 5 == 1)
            i.judgedWith = VerdictBands(); // the defaults
        else {
            VerdictBands strict;
            strict.set(Substrate::FE, {80, 120, 180});
            i.judgedWith = strict;
        }
        if (n == 11) {
            i.readings.append({30, Substrate::FE, 150, ReadingSource::Gauge, i.started});
            i.readings.append({4, Substrate::FE, 70000, ReadingSource::Gauge, i.started});
        }
        out.append(i);
    }
    return out;
}

Verdict verdictOf(const InspectionSummary &s, const ArchiveFilter &f)
{
    return (f.rejudging || !s.judgedWith ? f.bands : *s.judgedWith).worst(s);
}

bool matches(const InspectionSummary &s, const ArchiveFilter &f)
{
    const qint64 at = s.started.toMSecsSinceEpoch();
    return (!f.from.isValid() || at >= f.from.toMSecsSinceEpoch()) &&
           (!f.to.isValid() || at < f.to.toMSecsSinceEpoch()) &&
           (!f.category || s.category == *f.category) && (!f.station || s.station == *f.station) &&
           (!f.verdict || verdictOf(s, f) == *f.verdict ||
            (f.orWorse && verdictOf(s, f) > *f.verdict));
}

// Compares as the database is told to: text by code point, the verdict by severity.
QVariant keyOf(const InspectionSummary &s, ArchiveSortKey key, const ArchiveFilter &f)
{
    switch (key) {
    case ArchiveSortKey::Started:
        return s.started.toMSecsSinceEpoch();
    case ArchiveSortKey::Category:
        return s.category;
    case ArchiveSortKey::Points:
        return s.pointsMeasured;
    case ArchiveSortKey::Readings:
        return s.readingCount;
    case ArchiveSortKey::Worst:
        return int(verdictOf(s, f));
    case ArchiveSortKey::Station:
        return s.station;
    }
    return {};
}

QList<qint64> expectedIds(QList<InspectionSummary> all, const ArchiveFilter &f,
                          const ArchiveOrder &order)
{
    QList<InspectionSummary> kept;
    std::copy_if(all.begin(), all.end(), std::back_inserter(kept),
                 [&f](const InspectionSummary &s) { return matches(s, f); });
    std::sort(kept.begin(), kept.end(),
              [&](const InspectionSummary &a, const InspectionSummary &b) {
                  const QVariant ka = keyOf(a, order.key, f);
                  const QVariant kb = keyOf(b, order.key, f);
                  int c = QVariant::compare(ka, kb) == QPartialOrdering::Less      ? -1
                          : QVariant::compare(ka, kb) == QPartialOrdering::Greater ? 1
                                                                                   : 0;
                  if (ka.typeId() == QMetaType::QString)
                      c = ka.toString().compare(kb.toString());
                  if (c == 0)
                      c = a.started < b.started ? -1 : a.started > b.started ? 1 : 0;
                  if (c == 0)
                      c = a.id < b.id ? -1 : a.id > b.id ? 1 : 0;
                  return order.descending ? c > 0 : c < 0;
              });
    QList<qint64> ids;
    for (const InspectionSummary &s : kept)
        ids.append(s.id);
    return ids;
}

QList<qint64> idsOf(const QList<InspectionSummary> &rows)
{
    QList<qint64> ids;
    for (const InspectionSummary &s : rows)
        ids.append(s.id);
    return ids;
}

// The filters the window offers, alone and together.
QList<std::pair<QString, ArchiveFilter>> someFilters()
{
    VerdictBands today;
    today.set(Substrate::FE, {50, 130, 250});
    QList<std::pair<QString, ArchiveFilter>> out;
    ArchiveFilter f;
    f.bands = today;
    out.append({"everything", f});
    ArchiveFilter dates = f;
    dates.from = kFirst.addDays(2);
    dates.to = kFirst.addDays(4);
    out.append({"two days", dates});
    for (const QString &c : kCategories) {
        ArchiveFilter byCategory = f;
        byCategory.category = c;
        out.append({"category " + c, byCategory});
    }
    ArchiveFilter byStation = f;
    byStation.station = kStations.at(0);
    out.append({"station", byStation});
    for (Verdict v :
         {Verdict::None, Verdict::Factory, Verdict::Thin, Verdict::Repainted, Verdict::Filler}) {
        ArchiveFilter byVerdict = f;
        byVerdict.verdict = v;
        out.append({"verdict " + verdictName(v), byVerdict});
        byVerdict.rejudging = true;
        out.append({"re-judged " + verdictName(v), byVerdict});
    }
    ArchiveFilter all = dates;
    all.category = kCategories.at(0);
    all.station = kStations.at(1);
    all.verdict = Verdict::Repainted;
    out.append({"all four", all});
    return out;
}

// A day that starts a block of days, and inspections on both sides of it:
// on the midnights of it and of the blocks around, a millisecond off them,
// and spread over the days between.
constexpr qint64 kDay = ArchiveRollup::kDayMs;
constexpr qint64 kBorder = 20128; // 2025-02-09, day 629 * 32 since 1970
static_assert(kBorder % ArchiveRollup::kBlockDays == 0);

QList<Inspection> borderInspections()
{
    QRandomGenerator random(1970);
    QList<qint64> moments;
    for (qint64 d : {kBorder - 32, kBorder, kBorder + 32, kBorder + 64}) {
        for (qint64 off : {-1, 0, 1})
            moments.append(d * kDay + off);
    }
    for (qint64 d = kBorder - 70; d < kBorder + 100; d += 3)
        moments.append(d * kDay + random.bounded(kDay));
    QList<Inspection> out;
    for (qsizetype n = 0; n < moments.size(); ++n) {
        Inspection i;
        i.uid = QStringLiteral("border-%1").arg(n);
        i.started = QDateTime::fromMSecsSinceEpoch(moments.at(n), Qt::UTC);
        i.ended = i.started.addSecs(300);
        i.category = kCategories.at(random.bounded(int(kCategories.size())));
        i.station = kStations.at(random.bounded(int(kStations.size())));
        for (int p = random.bounded(1, 5); p > 0; --p) {
            const int point = random.bounded(6);
            for (int r = random.bounded(1, 3); r > 0; --r)
                i.readings.append({point, Substrate::FE,
                                   QList<int>{40, 100, 150, 200, 400}.at(random.bounded(5)) +
                                       random.bounded(-5, 6),
                                   ReadingSource::Gauge, i.started});
        }
        if (n % 5 == 2)
            i.judgedWith.reset(); // judged with today's limits whenever shown
        else
            i.judgedWith = VerdictBands();
        out.append(i);
    }
    return out;
}

// Ranges whose ends fall inside days, on midnights, on the borders of
// blocks, over several blocks, and open at either end.
QList<std::pair<QString, ArchiveFilter>> borderRanges()
{
    const auto at = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC); };
    return {
        {"whole archive", ArchiveFilter()},
        {"one block", ArchiveFilter(at(kBorder * kDay), at((kBorder + 32) * kDay))},
        {"over the border", ArchiveFilter(at((kBorder - 1) * kDay), at((kBorder + 1) * kDay))},
        {"a millisecond in", ArchiveFilter(at(kBorder * kDay + 1), at((kBorder + 64) * kDay))},
        {"inside days, three blocks", ArchiveFilter(at((kBorder - 33) * kDay + 5 * 3600000),
                                                    at((kBorder + 64) * kDay + 3 * 3600000))},
        {"midnights, blocks and days",
         ArchiveFilter(at((kBorder - 40) * kDay), at((kBorder + 70) * kDay))},
        {"from only", ArchiveFilter(at((kBorder - 5) * kDay + 7))},
        {"to only", ArchiveFilter({}, at((kBorder + 33) * kDay - 1))},
        {"within one day", ArchiveFilter(at(kBorder * kDay + 1000), at(kBorder * kDay + 2000))},
    };
}

} // namespace

// A machine without PostgreSQL's server skips (expected-skips.txt says where
// that may be); one that has it but cannot start it fails.
#define NEED_SERVER(have)                                                                          \
    do {                                                                                           \
        if (!(have) && m_server && m_server->missing())                                            \
            QSKIP(qPrintable(m_server->problem()));                                                \
        if (!(have))                                                                               \
            QFAIL(qPrintable(m_server ? m_server->problem() : QStringLiteral("no archive")));      \
    } while (false)

class TestArchiveQuery : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<PostgresCluster> m_server;
    QHash<QString, ArchiveLocation> m_archives; // filled, by backend
    QList<InspectionSummary> m_stored;
    QList<Inspection> m_inspections;

    ArchiveLocation location(const QString &backend, const QString &name)
    {
        ArchiveLocation l;
        if (backend == u"sqlite") {
            l.file = m_dir.filePath(name + ".sqlite");
            return l;
        }
        if (!m_server) {
            m_server = std::make_unique<PostgresCluster>();
            if (!m_server->running())
                qWarning("%s", qPrintable(m_server->problem()));
        }
        if (!m_server->running() || !m_server->createDatabase(name))
            return l;
        QString error;
        return ArchiveLocation::parse(m_server->address(name), &error).value_or(l);
    }

    // Runs the statements on a connection of the test's own, past the
    // archive's code; what failed, or "".
    QString runRaw(const ArchiveLocation &l, const QStringList &sql)
    {
        QString problem;
        {
            QSqlDatabase d = l.kind == ArchiveLocation::Kind::SqliteFile
                                 ? QSqlDatabase::addDatabase("QSQLITE", "raw")
                                 : m_server->rawConnection("raw", l.database);
            if (l.kind == ArchiveLocation::Kind::SqliteFile) {
                d.setDatabaseName(l.file);
                d.open();
            }
            QSqlQuery q(d);
            for (const QString &statement : sql) {
                if (problem.isEmpty() && !q.exec(statement))
                    problem = statement + ": " + q.lastError().text();
            }
        }
        QSqlDatabase::removeDatabase("raw");
        return problem;
    }

    // The tables, columns and indexes of an archive, one sorted line each:
    // what makes two archives alike whatever order their columns came in.
    static QStringList structure(ArchiveDatabase &db)
    {
        QStringList lines;
        const auto add = [&db, &lines](const QString &sql) {
            QSqlQuery q = db.exec(sql);
            while (q.next()) {
                QStringList fields;
                for (int i = 0; i < q.record().count(); ++i)
                    fields.append(q.value(i).toString());
                lines.append(fields.join(u'|').simplified());
            }
        };
        if (db.isSqlite()) {
            add("SELECT m.name, c.name, c.type, c.\"notnull\", c.dflt_value, c.pk,"
                " m.sql LIKE '%WITHOUT ROWID' FROM sqlite_master m, pragma_table_info(m.name) c"
                " WHERE m.type = 'table'");
            add("SELECT m.name, i.\"unique\", i.origin, i.partial, x.seqno, x.name, x.desc,"
                " x.coll, x.key FROM sqlite_master m, pragma_index_list(m.name) i,"
                " pragma_index_xinfo(i.name) x WHERE m.type = 'table' AND i.name NOT LIKE"
                " 'sqlite_autoindex%'");
            add("SELECT name, replace(replace(sql, char(10), ' '), '  ', ' ') FROM sqlite_master"
                " WHERE type = 'index' AND sql IS NOT NULL");
        } else {
            add("SELECT table_name, column_name, data_type, is_nullable, column_default FROM"
                " information_schema.columns WHERE table_schema = current_schema()");
            add("SELECT tablename, indexname, indexdef FROM pg_indexes"
                " WHERE schemaname = current_schema()");
        }
        lines.sort();
        return lines;
    }

    // The filled archive of this row's backend; empty when there is none.
    std::optional<ArchiveLocation> filled()
    {
        QFETCH_GLOBAL(QString, backend);
        if (!m_archives.contains(backend)) {
            const ArchiveLocation l = location(backend, "filled");
            if (l.kind == ArchiveLocation::Kind::SqliteFile && l.file.isEmpty())
                return std::nullopt;
            ArchiveDatabase db(l);
            db.open();
            QList<Inspection> all = tiedInspections(150);
            ArchiveStore(db).storeAll(all);
            m_inspections = all;
            m_stored = ArchiveStore(db).list({});
            m_archives.insert(backend, l);
        }
        return m_archives.value(backend);
    }

    // The statistics and the count of each range with each kind of filter,
    // against those of the readings of `all` as they were last stored.
    void checkStatistics(ArchiveDatabase &db, const QList<Inspection> &all, const char *when)
    {
        ArchiveQuery query(db);
        VerdictBands today;
        today.set(Substrate::FE, {50, 130, 250});
        int nonEmpty = 0;
        for (const auto &[range, r] : borderRanges()) {
            QList<std::pair<QString, ArchiveFilter>> filters;
            ArchiveFilter f = r;
            f.bands = today;
            filters.append({"", f});
            ArchiveFilter c = f;
            c.category = kCategories.at(1);
            filters.append({"category", c});
            ArchiveFilter st = f;
            st.station = kStations.at(2);
            filters.append({"station", st});
            for (Verdict v : {Verdict::Factory, Verdict::Repainted, Verdict::Filler}) {
                ArchiveFilter byVerdict = f;
                byVerdict.verdict = v;
                filters.append({"verdict", byVerdict});
                byVerdict.category = kCategories.at(0);
                filters.append({"verdict and category", byVerdict});
                byVerdict.station = kStations.at(0);
                filters.append({"verdict, category and station", byVerdict});
                byVerdict.rejudging = true;
                filters.append({"re-judged, category and station", byVerdict});
            }
            ArchiveFilter rejudged = st;
            rejudged.rejudging = true;
            filters.append({"re-judged, station", rejudged});
            ArchiveFilter worse = c;
            worse.verdict = Verdict::Thin;
            worse.orWorse = true;
            filters.append({"thin or worse, category", worse});
            for (const auto &[kind, filter] : filters) {
                const QString what = QStringLiteral("%1: %2, %3").arg(when, range, kind);
                QMap<int, QList<ArchivedReading>> byPoint;
                qint64 inspections = 0;
                for (const Inspection &i : all) {
                    if (!matches(summarise(i), filter))
                        continue;
                    ++inspections;
                    for (const ArchivedReading &reading : i.readings)
                        byPoint[reading.point].append(reading);
                }
                QVERIFY2(query.count(filter) == inspections, qPrintable(what));
                for (ArchiveSplit split :
                     {ArchiveSplit::None, ArchiveSplit::Station, ArchiveSplit::Category}) {
                    QMap<QString, std::array<qint64, 5>> expected;
                    for (const Inspection &i : all) {
                        const InspectionSummary s = summarise(i);
                        if (matches(s, filter))
                            ++expected[split == ArchiveSplit::Station ? i.station
                                       : split == ArchiveSplit::Category
                                           ? i.category
                                           : QString()][size_t(verdictOf(s, filter))];
                    }
                    QMap<QString, std::array<qint64, 5>> got;
                    for (const VerdictCounts &v : query.verdictCounts(filter, split))
                        got[v.group] = v.counts;
                    QVERIFY2(got == expected, qPrintable(what + " verdict counts"));
                }
                const QList<PointStatistics> got = query.statistics(filter);
                QVERIFY2(got.size() == byPoint.size(), qPrintable(what));
                nonEmpty += got.isEmpty() ? 0 : 1;
                for (const PointStatistics &s : got) {
                    const PointStatistics e =
                        PointStatistics::of(s.point, byPoint.value(s.point), {});
                    QVERIFY2(s.n == e.n && s.minimum == e.minimum && s.maximum == e.maximum,
                             qPrintable(what));
                    QVERIFY2(qAbs(s.mean - e.mean) < 1e-9, qPrintable(what));
                    QVERIFY2(s.deviation.has_value() == e.deviation.has_value(), qPrintable(what));
                    if (e.deviation)
                        QVERIFY2(qAbs(*s.deviation - *e.deviation) < 1e-6, qPrintable(what));
                }
            }
        }
        QVERIFY(nonEmpty > 80); // the filters do pick something
    }

private Q_SLOTS:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("postgresql") << "postgresql";
    }

    void filtersAndSortsAsWorkedOutHere()
    {
        const auto l = filled();
        NEED_SERVER(l);
        ArchiveDatabase db(*l);
        db.open();
        ArchiveQuery query(db);
        QCOMPARE(m_stored.size(), 150);
        int nonEmpty = 0;
        for (const auto &[name, f] : someFilters()) {
            for (ArchiveSortKey key :
                 {ArchiveSortKey::Started, ArchiveSortKey::Category, ArchiveSortKey::Points,
                  ArchiveSortKey::Readings, ArchiveSortKey::Worst, ArchiveSortKey::Station}) {
                for (bool descending : {true, false}) {
                    const ArchiveOrder order{key, descending};
                    const QList<qint64> expected = expectedIds(m_stored, f, order);
                    const QString what =
                        QStringLiteral("%1, key %2, %3").arg(name).arg(int(key)).arg(descending);
                    QVERIFY2(idsOf(query.page(f, order, -1).rows) == expected, qPrintable(what));
                    QCOMPARE(query.count(f), expected.size());
                    nonEmpty += expected.isEmpty() ? 0 : 1;
                }
            }
        }
        QVERIFY(nonEmpty > 150); // the filters do pick something
        QCOMPARE(query.categories(), (QStringList{"", kCategories.at(0), kCategories.at(2)}));
        QCOMPARE(query.stations(), (QStringList{"Bázis", "allomas 01", "Állomás 02"}));
    }

    void pagesHoldEveryRowOnceInOrder()
    {
        const auto l = filled();
        NEED_SERVER(l);
        ArchiveDatabase db(*l);
        db.open();
        ArchiveQuery query(db);
        const auto filters = someFilters();
        for (const auto &[name, f] : {filters.at(0), filters.at(1), filters.at(7)}) {
            for (ArchiveSortKey key : {ArchiveSortKey::Started, ArchiveSortKey::Category,
                                       ArchiveSortKey::Worst, ArchiveSortKey::Station}) {
                for (bool descending : {true, false}) {
                    for (bool rejudging : {false, true}) {
                        ArchiveFilter rf = f;
                        rf.rejudging = rejudging;
                        const ArchiveOrder order{key, descending};
                        QList<qint64> paged;
                        std::optional<ArchiveCursor> after;
                        int pages = 0;
                        do {
                            const ArchivePage page = query.page(rf, order, 7, after);
                            QVERIFY(page.rows.size() <= 7);
                            QVERIFY(page.rows.size() == 7 || !page.next);
                            paged += idsOf(page.rows);
                            after = page.next;
                        } while (after && ++pages < 100);
                        QVERIFY2(paged == expectedIds(m_stored, rf, order),
                                 qPrintable(QStringLiteral("%1, key %2, %3")
                                                .arg(name)
                                                .arg(int(key))
                                                .arg(descending)));
                    }
                }
            }
        }
        // A page that ends exactly at the last row says there is no next one.
        const qsizetype all = m_stored.size();
        const ArchivePage whole = query.page({}, {}, int(all));
        QCOMPARE(whole.rows.size(), all);
        QVERIFY(!whole.next);
    }

    void statisticsEqualThoseOfTheReadings()
    {
        const auto l = filled();
        NEED_SERVER(l);
        ArchiveDatabase db(*l);
        db.open();
        ArchiveQuery query(db);
        ArchiveStore store(db);
        for (const auto &[name, f] : someFilters()) {
            QMap<int, QList<ArchivedReading>> byPoint;
            for (const InspectionSummary &s : m_stored) {
                if (!matches(s, f))
                    continue;
                const Inspection loaded = *store.load(s.id);
                for (const ArchivedReading &r : loaded.readings)
                    byPoint[r.point].append(r);
            }
            const QList<PointStatistics> got = query.statistics(f);
            QCOMPARE(got.size(), byPoint.size());
            for (const PointStatistics &s : got) {
                const PointStatistics e = PointStatistics::of(s.point, byPoint.value(s.point), {});
                QCOMPARE(s.n, e.n);
                QCOMPARE(s.minimum, e.minimum);
                QCOMPARE(s.maximum, e.maximum);
                QVERIFY2(qAbs(s.mean - e.mean) < 1e-9, qPrintable(name));
                QCOMPARE(s.deviation.has_value(), e.deviation.has_value());
                if (e.deviation)
                    QVERIFY2(qAbs(*s.deviation - *e.deviation) < 1e-6, qPrintable(name));
            }
        }
    }

    // The sums and counts kept per day and per block of days give what the
    // readings give, wherever the range ends and with each filter, also after
    // later stores move inspections to another station, category, day or
    // verdict or leave one without readings.
    void statisticsAtDayAndBlockBorders()
    {
        QFETCH_GLOBAL(QString, backend);
        const ArchiveLocation l = location(backend, "borders");
        NEED_SERVER(l.kind != ArchiveLocation::Kind::SqliteFile || !l.file.isEmpty());
        ArchiveDatabase db(l);
        db.open();
        ArchiveStore store(db);
        QList<Inspection> all = borderInspections();
        QList<Inspection> batch = all.mid(0, all.size() - 10);
        store.storeAll(batch);
        for (qsizetype n = batch.size(); n < all.size(); ++n)
            store.store(all[n]);
        for (qsizetype n = 0; n < batch.size(); ++n)
            all[n].id = batch.at(n).id;
        checkStatistics(db, all, "stored");
        if (QTest::currentTestFailed())
            return;

        // Later stores of some: each moves to another bucket or verdict.
        const auto again = [&all](qsizetype n) -> Inspection & {
            ++all[n].revision;
            return all[n];
        };
        again(3).station = kStations.at((kStations.indexOf(all.at(3).station) + 1) % 3);
        again(4).category = kCategories.at((kCategories.indexOf(all.at(4).category) + 1) % 3);
        again(5).started = all.at(5).started.addDays(40);
        again(6).readings = {{2, Substrate::FE, 900, ReadingSource::Gauge, all.at(6).started}};
        again(7).judgedWith.reset();
        again(8).readings.clear();
        QList<Inspection> later{all.at(3), all.at(4), all.at(5)};
        Inspection beside = all.at(5); // a new one on the day another leaves
        beside.uid = QStringLiteral("beside");
        beside.revision = 1;
        beside.started = all.at(5).started.addDays(-40);
        later.append(beside);
        store.storeAll(later);
        beside.id = later.last().id;
        all.append(beside);
        for (qsizetype n : {6, 7, 8})
            store.store(all[n]);
        checkStatistics(db, all, "stored again");
        QCOMPARE(ArchiveRollup(db).differences(), 0);
    }

    // Each filter and each sort enters its own index (PostgreSQL counts the
    // scans of every index; SQLite tells a Qt connection nothing alike).
    void eachFilterAndSortUsesItsIndex()
    {
        QFETCH_GLOBAL(QString, backend);
        if (backend == u"sqlite")
            return;
        const ArchiveLocation l = location(backend, "indexed");
        NEED_SERVER(l.kind != ArchiveLocation::Kind::SqliteFile || !l.file.isEmpty());
        ArchiveDatabase db(l);
        db.open();
        QList<Inspection> all = tiedInspections(300);
        for (qsizetype n = 0; n < all.size(); ++n) {
            if (!all[n].judgedWith)
                all[n].judgedWith = VerdictBands(); // the stored verdict is the one indexed
            all[n].plate = n % 3 ? QString() : QStringLiteral("AB %1").arg(n);
        }
        ArchiveStore(db).storeAll(all);
        db.exec("ANALYZE inspection");
        db.exec("SET enable_seqscan = off");
        const auto scans = [&db](const QString &index) {
            db.exec("SELECT pg_stat_force_next_flush()");
            QSqlQuery q = db.exec(
                "SELECT idx_scan FROM pg_stat_user_indexes WHERE indexrelname = ?", {index});
            return q.next() ? q.value(0).toLongLong() : -1;
        };
        ArchiveQuery query(db);
        const auto uses = [&](const QString &index, const ArchiveFilter &f,
                              const ArchiveOrder &order) {
            const qint64 before = scans(index);
            const ArchivePage first = query.page(f, order, 5);
            if (first.next)
                query.page(f, order, 5, first.next);
            return scans(index) > before;
        };
        ArchiveFilter byCategory;
        byCategory.category = kCategories.at(0);
        QVERIFY(uses("inspection_by_category", byCategory, {}));
        ArchiveFilter byStation;
        byStation.station = kStations.at(1);
        QVERIFY(uses("inspection_by_station", byStation, {}));
        ArchiveFilter byVerdict;
        byVerdict.verdict = Verdict::Repainted;
        QVERIFY(uses("inspection_by_worst", byVerdict, {}));
        QVERIFY(uses("inspection_by_started", {}, {}));
        ArchiveFilter bySearch;
        bySearch.search = "ab1";
        QVERIFY(uses("inspection_by_plate", bySearch, {}));
        QVERIFY(uses("inspection_by_vin", bySearch, {}));
        for (bool descending : {true, false}) {
            QVERIFY(uses("inspection_by_category", {}, {ArchiveSortKey::Category, descending}));
            QVERIFY(uses("inspection_by_station", {}, {ArchiveSortKey::Station, descending}));
            QVERIFY(uses("inspection_by_worst", {}, {ArchiveSortKey::Worst, descending}));
            QVERIFY(uses("inspection_by_points", {}, {ArchiveSortKey::Points, descending}));
            QVERIFY(uses("inspection_by_reading", {}, {ArchiveSortKey::Readings, descending}));
        }
        const qint64 before = scans("inspection_by_category");
        QCOMPARE(query.categories().size(), kCategories.size());
        QVERIFY(scans("inspection_by_category") > before);
    }

    // New inspections go in many to a statement: the same one twice in a
    // batch still ends as its latest store, with the sums of that store.
    void aBatchHoldingAnInspectionTwice()
    {
        QFETCH_GLOBAL(QString, backend);
        const ArchiveLocation l = location(backend, "twice");
        NEED_SERVER(l.kind != ArchiveLocation::Kind::SqliteFile || !l.file.isEmpty());
        ArchiveDatabase db(l);
        db.open();
        Inspection first = sampleInspection();
        Inspection other = sampleInspection();
        Inspection later = first;
        later.revision = 2;
        later.readings = {{7, Substrate::FE, 200, ReadingSource::Gauge, first.started}};
        QList<Inspection> batch{first, other, later, first};
        ArchiveStore store(db);
        store.storeAll(batch);
        QCOMPARE(batch.at(0).id, batch.at(2).id);
        QCOMPARE(batch.at(3).id, batch.at(0).id);
        QCOMPARE(store.count(), 2);
        QCOMPARE(store.load(batch.at(0).id)->readings, later.readings);
        QCOMPARE(store.load(batch.at(1).id)->readings, other.readings);
        ArchiveQuery query(db);
        ArchiveFilter f;
        f.station = first.station;
        const QList<PointStatistics> stats = query.statistics(f);
        QCOMPARE(stats.size(), 5); // points 0, 1, 10, 15 of the other, 7 of the later store
        QCOMPARE(stats.at(2).point, 7);
        QCOMPARE(stats.at(2).n, 1);
        QCOMPARE(stats.at(2).mean, 200.0);
    }

    // A plate or a VIN found by its beginning, whatever the case, blanks and
    // hyphens, together with the other filters and through its index; typed
    // later, it stays when the wizard stores the inspection again.
    void searchByPlateOrVin()
    {
        QFETCH_GLOBAL(QString, backend);
        const ArchiveLocation l = location(backend, "search");
        NEED_SERVER(l.kind != ArchiveLocation::Kind::SqliteFile || !l.file.isEmpty());
        ArchiveDatabase db(l);
        db.open();
        ArchiveStore store(db);
        QList<Inspection> all;
        for (const char *plate : {"ABC-123", "AB CD-124", "ABX 999", "M Ü 4711", ""}) {
            all.append(sampleInspection(kFirst.addSecs(60 * all.size())));
            all.last().plate = QString::fromUtf8(plate);
            all.last().vin.clear();
        }
        all.last().vin = "WVWZZZ1JZXW000001";
        all.append(sampleInspection(kFirst.addDays(1))); // the wizard's: no plate yet
        all.last().plate.clear();
        all.last().inspector.clear();
        store.storeAll(all);
        Inspection wizard = all.last();
        ArchiveQuery query(db);
        const auto found = [&](const QString &text, ArchiveFilter f = {}) {
            f.search = text;
            QList<qint64> ids;
            for (const InspectionSummary &s : query.page(f, {}, -1).rows)
                ids.prepend(s.id); // oldest first
            if (query.count(f) != ids.size())
                ids.append(-1);
            return ids;
        };
        const auto ids = [&all](std::initializer_list<int> n) {
            QList<qint64> out;
            for (int i : n)
                out.append(all.at(i).id);
            return out;
        };
        QCOMPARE(found("abc"), ids({0, 1}));
        QCOMPARE(found("ab c-1"), ids({0}));
        QCOMPARE(found("AB"), ids({0, 1, 2}));
        QCOMPARE(found("abcd12"), ids({1}));
        QCOMPARE(found("mü"), ids({3}));
        QCOMPARE(found("wvw-zzz"), ids({4}));
        QCOMPARE(found("ZZZ"), ids({}));
        QCOMPARE(found(" - "), ids({0, 1, 2, 3, 4, 5})); // nothing to search by
        ArchiveFilter other;
        other.category = "N1";
        QCOMPARE(found("AB", other), ids({}));
        QCOMPARE(query.page({}, {}, -1).rows.constLast().plate, QStringLiteral("ABC-123"));
        QCOMPARE(query.page({}, {}, -1).rows.at(1).vin, QStringLiteral("WVWZZZ1JZXW000001"));

        // Typed in the window later; the wizard then stores it again.
        store.setDetails(wizard.id, {"XY-777", "JH4KA7561PC008269", "Suzuki Swift", 123456, ""});
        ++wizard.revision;
        store.store(wizard);
        QCOMPARE(found("xy7"), ids({5}));
        QCOMPARE(found("JH4"), ids({5}));
        QCOMPARE(TypedDetails::of(*store.load(wizard.id)),
                 (TypedDetails{"XY-777", "JH4KA7561PC008269", "Suzuki Swift", 123456, ""}));
    }

    // What one engine stores the other stores too: the longest values the
    // program takes, and a category line as long as the inspection program
    // may send (which PostgreSQL's index would refuse whole).
    void theLongestValuesFitBoth()
    {
        QFETCH_GLOBAL(QString, backend);
        const ArchiveLocation l = location(backend, "longest");
        NEED_SERVER(l.kind != ArchiveLocation::Kind::SqliteFile || !l.file.isEmpty());
        ArchiveDatabase db(l);
        db.open();
        Inspection i = sampleInspection();
        i.category = QStringLiteral("'?\\") + QString(16384, u'ő');
        i.station = QString(InspectionDetails::kNameMaxLength, u'Ő');
        // Quotes, a backslash and a question mark go in as they are.
        i.inspector = QStringLiteral("O'Hara \\ \"?\" ")
                          .leftJustified(InspectionDetails::kNameMaxLength, u'Ű');
        i.plate = QStringLiteral("ŐŰÉÁ-1234-567 890");
        i.vin = QStringLiteral("WVWZZZ1JZXW000001");
        i.makeModel = QString(InspectionDetails::kNameMaxLength, u'Ö');
        i.odometerKm = InspectionDetails::kOdometerMaxKm;
        for (int p = 0; p < 23; ++p) {
            for (int r = 0; r < 10; ++r)
                i.readings.append({p, Substrate::AL, VerdictBands::kLargest, ReadingSource::Typed,
                                   i.started.addSecs(p)});
        }
        ArchiveStore store(db);
        store.store(i);
        Inspection back = *store.load(i.id);
        const QString bounded = i.category.left(kCategoryMaxLength);
        QCOMPARE(back.category, bounded);
        back.category = i.category;
        QVERIFY(back == i);
        QCOMPARE(ArchiveQuery(db).categories(), QStringList{bounded});
        ArchiveFilter f;
        f.category = bounded;
        QCOMPARE(ArchiveQuery(db).count(f), 1);
    }

    // A hundred thousand inspections written in SQL: counted and summed
    // exactly (PostgreSQL hands sums over as numeric, which Qt reads as a
    // double and writes 100000 as "1e+05").
    void exactAtAHundredThousand()
    {
        QFETCH_GLOBAL(QString, backend);
        const ArchiveLocation l = location(backend, "hundred");
        NEED_SERVER(l.kind != ArchiveLocation::Kind::SqliteFile || !l.file.isEmpty());
        ArchiveDatabase db(l);
        db.open();
        const qint64 first = kFirst.toMSecsSinceEpoch();
        db.begin();
        db.exec(QStringLiteral("WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n"
                               " WHERE k < 100000) INSERT INTO inspection (uid, started_ms,"
                               " ended_ms, station, points_measured, reading_count, fe_min, fe_max,"
                               " worst, changed) SELECT 'n' || k, %1 + k * 1000, %1 + k * 1000,"
                               " 'A', 1, 1, 100 + k % 2, 100 + k % 2, 1, k FROM n")
                    .arg(first));
        db.exec("INSERT INTO reading (inspection_id, seq, point, substrate, value, typed, taken_ms)"
                " SELECT id, 0, 3, 'FE', fe_min, 0, started_ms FROM inspection");
        db.commit();
        ArchiveRollup(db).rebuild();
        ArchiveQuery query(db);
        QCOMPARE(query.count({}), 100000);
        ArchiveFilter judged;
        judged.verdict = Verdict::Factory;
        QCOMPARE(query.count(judged), 100000);
        const QList<PointStatistics> stats = query.statistics(judged);
        QCOMPARE(stats.size(), 1);
        QCOMPARE(stats.first().n, 100000);
        QCOMPARE(stats.first().mean, 100.5);
        QVERIFY(qAbs(*stats.first().deviation - std::sqrt(100000 / 4.0 / 99999)) < 1e-9);
        // The list's change stamp sums the latest marks: it moves by one.
        ArchiveStore store(db);
        const QString before = store.changeStamp();
        db.exec("UPDATE inspection SET changed = changed + 1 WHERE id = 99999");
        QVERIFY2(store.changeStamp() != before, qPrintable(before));
    }

    // An archive of each earlier version, made by the steps that made it
    // and holding what that version's program stored, is upgraded by
    // opening it: it then has the tables of a new archive, and its
    // inspections are listed, judged and summed as those stored now are
    // (readings no program of ours writes, as a first-version archive may
    // hold, count nowhere). A VIN typed into the one field of earlier
    // versions moves to the VIN.
    void everyOlderVersionIsUpgraded()
    {
        QFETCH_GLOBAL(QString, backend);
        const bool sqlite = backend == u"sqlite";
        const ArchiveLocation fresh = location(backend, "fresh");
        NEED_SERVER(!sqlite || !fresh.file.isEmpty());
        QStringList newTables;
        {
            ArchiveDatabase db(fresh);
            db.open();
            newTables = structure(db);
        }
        // What each version's program stored, written right after its step.
        const QHash<int, QStringList> rows{
            {1,
             {"INSERT INTO inspection VALUES (7, 'old', 1700000000000, 1700000300000, 'N1')",
              "INSERT INTO plan_point VALUES (7, 0, 10, 1)",
              "INSERT INTO reading VALUES (7, 0, 10, 'FE', 350, 0, 1700000100000)",
              "INSERT INTO reading VALUES (7, 1, 10, 'AL', 40, 1, 1700000200000)",
              "INSERT INTO reading VALUES (7, 2, 3, 'FE', 120, 0, 1700000250000)",
              "INSERT INTO reading VALUES (7, 3, 30, 'FE', 150, 0, 1700000260000)",
              "INSERT INTO reading VALUES (7, 4, 4, 'FE', 70000, 0, 1700000270000)",
              "INSERT INTO sent_point VALUES (7, 10, 1700000290000)"}},
            // Judged with FE 60/160/300, AL 40/140/280: FE 170 is repainted;
            // limits out of order count as none.
            {3,
             {"INSERT INTO inspection (id, uid, started_ms, ended_ms, category, station,"
              " points_measured, reading_count, fe_min, fe_max, revision, fe_thin_below,"
              " fe_factory_up_to, fe_repainted_up_to, al_thin_below, al_factory_up_to,"
              " al_repainted_up_to) VALUES (8, 'judged', 1700000400000, 1700000500000, '', 'B',"
              " 1, 2, 150, 170, 2, 60, 160, 300, 40, 140, 280)",
              "INSERT INTO reading VALUES (8, 0, 3, 'FE', 150, 0, 1700000410000)",
              "INSERT INTO reading VALUES (8, 1, 3, 'FE', 170, 0, 1700000420000)",
              "INSERT INTO inspection (id, uid, started_ms, ended_ms, station, points_measured,"
              " reading_count, fe_min, fe_max, fe_thin_below, fe_factory_up_to,"
              " fe_repainted_up_to, al_thin_below, al_factory_up_to, al_repainted_up_to)"
              " VALUES (9, 'odd', 1700000600000, 1700000700000, 'B', 1, 1, 100, 100, 200, 100,"
              " 300, 40, 140, 280)",
              "INSERT INTO reading VALUES (9, 0, 5, 'FE', 100, 0, 1700000610000)"}},
            {4,
             {"UPDATE inspection SET plate = 'WVWZZZ1JZXW000001' WHERE id = 7",
              "UPDATE inspection SET plate = 'AB CD-123', inspector = 'Kovács Éva' WHERE id = 8",
              "UPDATE inspection SET plate = 'ABCDEFGHIJKLMNOPQ' WHERE id = 9"}},
        };
        for (int v = 1; v < ArchiveSchema::kVersion; ++v) {
            const QString what = QStringLiteral("version %1").arg(v);
            const ArchiveLocation l = location(backend, QStringLiteral("v%1").arg(v));
            QStringList sql;
            for (int k = 1; k <= v; ++k)
                sql += ArchiveSchema::step(k, sqlite) + rows.value(k);
            const QString problem = runRaw(l, sql + ArchiveSchema::record(v, sqlite));
            QVERIFY2(problem.isEmpty(), qPrintable(what + ": " + problem));

            ArchiveDatabase db(l);
            db.open();
            QCOMPARE(ArchiveSchema::version(db), ArchiveSchema::kVersion);
            QCOMPARE(db.upgradedFrom(), std::optional<int>(v)); // for the log
            QCOMPARE(structure(db), newTables);
            ArchiveStore store(db);
            ArchiveQuery query(db);
            const QList<InspectionSummary> list = store.list({});
            QCOMPARE(list.size(), v >= 3 ? 3 : 1);
            const InspectionSummary old = list.constLast();
            QCOMPARE(old.id, 7);
            QCOMPARE(old.pointsMeasured, 2);
            QCOMPARE(old.readingCount, 3);
            QCOMPARE(old.maximum[int(Substrate::FE)], 350);
            const Inspection loaded = *store.load(7);
            QCOMPARE(loaded.readings.size(), 3);
            QCOMPARE(loaded.readings.at(1).source, ReadingSource::Typed);
            QCOMPARE(loaded.sent.first().sentAt.toMSecsSinceEpoch(), 1700000290000);
            ArchiveFilter f;
            f.verdict = Verdict::Filler; // FE 350 under today's limits
            QCOMPARE(idsOf(query.page(f, {}, -1).rows), QList<qint64>{7});
            f.verdict = Verdict::Factory;
            f.bands.set(Substrate::FE, {40, 400, 500});
            QCOMPARE(idsOf(query.page(f, {}, -1).rows),
                     v >= 3 ? QList<qint64>{9} : QList<qint64>{});
            if (v >= 3) {
                f.verdict = Verdict::Repainted; // under its own limits
                QCOMPARE(idsOf(query.page(f, {}, -1).rows), QList<qint64>{8});
                QCOMPARE(store.load(8)->revision, 2);
            }
            if (v >= 4) {
                QCOMPARE(loaded.vin, QStringLiteral("WVWZZZ1JZXW000001"));
                QVERIFY(loaded.plate.isEmpty());
                QCOMPARE(store.load(8)->plate, QStringLiteral("AB CD-123"));
                QCOMPARE(store.load(9)->plate, QStringLiteral("ABCDEFGHIJKLMNOPQ")); // has O, I
                ArchiveFilter search;
                search.search = "wvw zzz";
                QCOMPARE(idsOf(query.page(search, {}, -1).rows), QList<qint64>{7});
            }
            // The sums of the readings stored before, without those off the catalogue.
            QMap<int, QList<ArchivedReading>> byPoint;
            for (const InspectionSummary &s : list) {
                const Inspection each = *store.load(s.id);
                for (const ArchivedReading &r : each.readings)
                    byPoint[r.point].append(r);
            }
            const QList<PointStatistics> stats = query.statistics({});
            QCOMPARE(stats.size(), byPoint.size());
            for (const PointStatistics &s : stats) {
                const PointStatistics e = PointStatistics::of(s.point, byPoint.value(s.point), {});
                QVERIFY2(s.n == e.n && s.minimum == e.minimum && s.maximum == e.maximum,
                         qPrintable(what));
            }
            // Stored into as any other: a later revision of an old one, a new one.
            Inspection again = loaded;
            again.revision = 2;
            again.readings = {{3, Substrate::FE, 90, ReadingSource::Gauge, again.started}};
            store.store(again);
            Inspection next = sampleInspection();
            store.store(next);
            QCOMPARE(store.count(), int(list.size()) + 1);
            QCOMPARE(ArchiveRollup(db).differences(), 0);
        }
    }
};

QTEST_MAIN(TestArchiveQuery)
#include "tst_archive_query.moc"
