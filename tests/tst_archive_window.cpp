// The archive window on a real archive file, offscreen: the list and its
// filters, the diagram and the point table of an inspection, the verdict
// limits, CSV and PDF export (the PDF rendered by pdftoppm), noticing what
// the wizard stores meanwhile, and archives it cannot read; the plate and
// inspector typed in the window; its size on a small screen; where the save
// dialogs open.
#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "ArchiveDatabase.h"
#include "ArchiveJournal.h"
#include "ArchiveSamples.h"
#include "ArchiveStore.h"
#include "ArchiveWindow.h"
#include "ArchiveWriter.h"
#include "BandsDialog.h"
#include "CarDiagram.h"
#include "CarDiagramWidget.h"
#include "Cp1250.h"
#include "EventLog.h"
#include "FilterStatisticsDialog.h"
#include "InspectionDetails.h"
#include "InspectionListModel.h"
#include "InspectionReport.h"
#include "SmallDisk.h"
#include "VerdictColours.h"

namespace {

// The longest time the window thread went without running its events.
class WindowWatch : public QObject
{
public:
    WindowWatch()
    {
        m_clock.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this,
                [this] { m_longest = std::max(m_longest, m_clock.restart()); });
        m_timer.start(1);
    }
    qint64 longestGapMs() const { return std::max(m_longest, m_clock.elapsed()); }

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_longest = 0;
};

bool near(const QColor &a, const QColor &b, int tolerance = 40)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) <=
           tolerance;
}

QString colourText(const QColor &c)
{
    return c.name();
}

} // namespace

// Lets the window's reads answer.
#define SETTLE(w) QTRY_VERIFY_WITH_TIMEOUT(!(w).isReading(), 10000)

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class TestArchiveWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kfz-arch-win-XXXXXX")};
    QString m_file;
    Inspection m_today, m_yesterday, m_old;

    ArchiveSettings settings(const QString &file) const
    {
        ArchiveSettings s;
        s.location.file = file;
        return s;
    }

    void store(Inspection &inspection)
    {
        ArchiveDatabase db(settings(m_file).location);
        db.open();
        ArchiveStore(db).store(inspection);
    }

    // The inspections of the last 30 days, as the window first lists them.
    int recentCount()
    {
        ArchiveDatabase db(settings(m_file).location);
        db.open();
        return int(
            ArchiveStore(db).list({QDate::currentDate().addDays(-30).startOfDay(), {}, {}}).size());
    }

    std::optional<Inspection> stored(qint64 id)
    {
        ArchiveDatabase db(settings(m_file).location);
        db.open();
        return ArchiveStore(db).load(id);
    }

    // The text pdftotext reads from the report of the shown inspection.
    QString pdfText(ArchiveWindow &w)
    {
        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (pdftotext.isEmpty())
            return {};
        const QString pdf = m_dir.filePath("text.pdf");
        QString error;
        if (!w.exportPdf(pdf, &error))
            return QStringLiteral("<export failed: ") + error + u'>';
        QProcess text;
        text.start(pdftotext, {"-enc", "UTF-8", pdf, "-"});
        text.waitForFinished(30000);
        return QString::fromUtf8(text.readAllStandardOutput());
    }

    // Answers the next dialog of that kind the window opens: `answer` gets it while it is shown.
    template <typename Dialog> static void answerDialog(const std::function<void(Dialog *)> &answer)
    {
        auto *timer = new QTimer;
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
            if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                timer->deleteLater();
                timer->stop();
                answer(dialog);
            }
        });
        timer->start();
    }

    QTableView *list(ArchiveWindow &w) { return w.findChild<QTableView *>("TV_Inspections"); }

    // Exports what the window would on request and waits for the end: the
    // message told, "!" before it when it failed.
    static QString exportCsv(ArchiveWindow &w, const QString &path)
    {
        QSignalSpy done(&w, &ArchiveWindow::exportFinished);
        if (!w.exportCsv(path, w.exportRequest()))
            return QStringLiteral("!not started");
        if (!done.wait(30000))
            return QStringLiteral("!no end");
        for (QMessageBox *box : w.findChildren<QMessageBox *>("D_Told"))
            box->close();
        return (done.first().at(0).toBool() ? QString() : QStringLiteral("!")) +
               done.first().at(1).toString();
    }

    // The inspections in the list, top to bottom.
    static QList<qint64> listedIds(QTableView *view)
    {
        QList<qint64> ids;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            ids.append(view->model()->index(row, 0).data(Qt::UserRole).toLongLong());
        return ids;
    }

    // Clicks a column's header as a user would and returns the sort order it
    // then shows.
    static Qt::SortOrder clickHeader(QTableView *view, int column)
    {
        QHeaderView *header = view->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        return header->sortIndicatorOrder();
    }

    static QList<qint64> inOrder(QList<qint64> ascending, Qt::SortOrder order)
    {
        if (order == Qt::DescendingOrder)
            std::reverse(ascending.begin(), ascending.end());
        return ascending;
    }

    void choose(ArchiveWindow &w, qint64 id)
    {
        SETTLE(w);
        QTableView *view = list(w);
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            if (view->model()->index(row, 0).data(Qt::UserRole).toLongLong() == id)
                view->selectRow(row);
        }
        SETTLE(w);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_file = m_dir.filePath("Kromaglen_archive.sqlite");
        const QDateTime now = QDateTime::currentDateTime().addSecs(-3600);
        m_today = sampleInspection(now);
        m_yesterday = sampleInspection(now.addDays(-1));
        m_yesterday.category = "N1 - tehergépkocsi 3,5t-ig";
        for (ArchivedReading &r : m_yesterday.readings)
            r.value = 100 + r.point;
        m_old = sampleInspection(now.addDays(-40));
        m_old.category.clear();
        store(m_today);
        store(m_yesterday);
        store(m_old);
    }

    void listAndFilters()
    {
        ArchiveWindow w(settings(m_file), m_dir.filePath("a.ini"));
        SETTLE(w);
        QTableView *view = list(w);
        // The last 30 days, newest first.
        QCOMPARE(view->model()->rowCount(), 2);
        QCOMPARE(view->model()->index(0, 0).data(Qt::UserRole).toLongLong(), m_today.id);
        const auto cell = [view](int row, int column) {
            return view->model()->index(row, column).data().toString();
        };
        QCOMPARE(cell(0, InspectionListModel::Plate), m_today.plate);
        QCOMPARE(cell(0, InspectionListModel::Category), m_today.category);
        QCOMPARE(cell(0, InspectionListModel::Points), QStringLiteral("4"));
        QCOMPARE(cell(0, InspectionListModel::Worst), QStringLiteral("Gittelt"));
        QCOMPARE(cell(1, InspectionListModel::Worst), QStringLiteral("Gyári fényezés"));

        auto *category = w.findChild<QComboBox *>("CB_Category");
        QCOMPARE(category->count(), 4);
        QCOMPARE(category->itemText(1), QStringLiteral("(nincs kategória)"));
        category->setCurrentIndex(category->findData(m_yesterday.category));
        Q_EMIT category->activated(category->currentIndex());
        SETTLE(w);
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(w.shownInspection()->id, m_yesterday.id);

        // The old one without a category: widen the dates, pick "(nincs kategória)".
        w.findChild<QDateEdit *>("DE_From")->setDate(QDate::currentDate().addDays(-60));
        SETTLE(w);
        category->setCurrentIndex(1);
        Q_EMIT category->activated(1);
        SETTLE(w);
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(w.shownInspection()->id, m_old.id);
        // An empty range shows nothing, and says so.
        w.findChild<QDateEdit *>("DE_To")->setDate(QDate::currentDate().addDays(-59));
        SETTLE(w);
        QCOMPARE(view->model()->rowCount(), 0);
        QVERIFY(!w.shownInspection());

        // "Ez az év", then a year typed as soon as the field is entered.
        category->setCurrentIndex(0);
        Q_EMIT category->activated(0);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::mouseClick(w.findChild<QToolButton *>("BB_ThisYear"), Qt::LeftButton);
        SETTLE(w);
        auto *from = w.findChild<QDateEdit *>("DE_From");
        QCOMPARE(from->date(), QDate(QDate::currentDate().year(), 1, 1));
        QCOMPARE(w.findChild<QDateEdit *>("DE_To")->date(), QDate::currentDate());
        // Clicked on the month, as a person does.
        auto *text = from->findChild<QLineEdit *>();
        const int month = text->fontMetrics().horizontalAdvance(QStringLiteral("2024.1")) +
                          text->textMargins().left() + 3;
        QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(month, text->height() / 2));
        QCOMPARE(from->currentSection(), QDateTimeEdit::MonthSection);
        const QDate before = from->date();
        QTest::keyClicks(from, QString::number(m_old.started.date().year() - 1));
        QTest::keyClick(from, Qt::Key_Return);
        SETTLE(w);
        QCOMPARE(from->date(),
                 QDate(m_old.started.date().year() - 1, before.month(), before.day()));
        ArchiveDatabase db(settings(m_file).location);
        db.open();
        QCOMPARE(view->model()->rowCount(), ArchiveStore(db).count());
    }

    void diagramAndPointTable()
    {
        ArchiveWindow w(settings(m_file), m_dir.filePath("a.ini"));
        SETTLE(w);
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        choose(w, m_today.id);
        QCOMPARE(w.shownInspection()->id, m_today.id);
        auto *diagram = w.findChild<CarDiagramWidget *>("W_Diagram");
        const CarDiagram::Verdicts &v = diagram->verdicts();
        QCOMPARE(v[10], Verdict::Filler); // hood: AL 418
        QCOMPARE(v[0], Verdict::Factory); // left front wing: 123, 98, AL 140
        QCOMPARE(v[15], Verdict::Thin);   // right front wing: 55
        QCOMPARE(v[1], Verdict::Filler);  // left front door: 0 and 65535
        QCOMPARE(v[22], Verdict::None);
        // What is painted: each marker in its verdict's colour.
        const QImage image = diagram->grab().toImage();
        for (int point : {0, 10, 15, 22}) {
            const QPointF c = CarDiagram::pointCentre(point, diagram->diagramArea());
            const QColor painted = image.pixelColor(
                (c + QPointF(0, CarDiagram::markerRadius(diagram->diagramArea()) * 0.7)).toPoint());
            QVERIFY2(
                near(painted, verdictColour(v[point])),
                qPrintable(QStringLiteral("point %1: %2").arg(point).arg(colourText(painted))));
        }

        auto *table = w.findChild<QTableView *>("TV_Points");
        QAbstractItemModel *m = table->model();
        int row = -1;
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->index(r, 0).data().toString() == u"1")
                row = r;
        }
        QVERIFY(row >= 0);
        // 123, 98, 140: mean 120.33, deviation sqrt(892.67 / 2) = 21.13.
        const QStringList expected{
            "1",    "Bal első sárvédő", "FE/AL",       "3", "98", "140", "120,3",
            "21,1", "Gyári fényezés",   "123, 98, 140"};
        for (int c = 0; c < expected.size(); ++c)
            QCOMPARE(m->index(row, c).data().toString(), expected.at(c));
        // The hood's typed value carries its mark.
        QCOMPARE(m->index(0, 9).data().toString(), QStringLiteral("418, 250*"));
        // Clicking a marker selects its row.
        QTest::mouseClick(diagram, Qt::LeftButton, {},
                          CarDiagram::pointCentre(15, diagram->diagramArea()).toPoint());
        QCOMPARE(table->currentIndex().data(Qt::UserRole).toInt(), 15);
    }

    void sortsByTheClickedColumn()
    {
        const QString file = m_dir.filePath("sorting.sqlite");
        const QDateTime now = QDateTime::currentDateTime().addSecs(-3600);
        // Point 0 measured `count` times (on as many points) at `value`, so
        // each inspection has its own moment, count and verdict, and they are
        // stored in an order that matches none of the columns.
        const auto store = [&](int hoursAgo, int value, int count) {
            Inspection i = sampleInspection(now.addSecs(-3600 * hoursAgo));
            i.readings.clear();
            for (int n = 0; n < count; ++n)
                i.readings.append(
                    {n, Substrate::FE, value, ReadingSource::Gauge, i.started.addSecs(10 + n)});
            ArchiveDatabase db(settings(file).location);
            db.open();
            ArchiveStore(db).store(i);
            return i.id;
        };
        const qint64 filler = store(2, 400, 1);
        const qint64 factory = store(0, 100, 3);
        const qint64 thin = store(4, 30, 2);
        const qint64 repainted = store(3, 200, 4);
        const QHash<qint64, Verdict> verdictOf{{filler, Verdict::Filler},
                                               {factory, Verdict::Factory},
                                               {thin, Verdict::Thin},
                                               {repainted, Verdict::Repainted}};
        const QHash<qint64, int> countOf{{filler, 1}, {factory, 3}, {thin, 2}, {repainted, 4}};

        ArchiveWindow w(settings(file), m_dir.filePath("a.ini"));

        SETTLE(w);
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTableView *view = list(w);
        QCOMPARE(listedIds(view), QList<qint64>({factory, filler, repainted, thin}));
        choose(w, filler);
        QCOMPARE(w.shownInspection()->id, filler);

        // A count, as a number, both ways; the chosen inspection stays chosen.
        Qt::SortOrder order = clickHeader(view, InspectionListModel::Readings);
        SETTLE(w);
        QCOMPARE(listedIds(view), inOrder({filler, thin, factory, repainted}, order));
        QCOMPARE(view->currentIndex().data(Qt::UserRole).toLongLong(), filler);
        QCOMPARE(w.shownInspection()->id, filler);
        order = clickHeader(view, InspectionListModel::Readings);
        SETTLE(w);
        QCOMPARE(listedIds(view), inOrder({filler, thin, factory, repainted}, order));

        // The verdict by severity, the date by the moment.
        for (int click = 0; click < 2; ++click) {
            order = clickHeader(view, InspectionListModel::Worst);
            SETTLE(w);
            QCOMPARE(listedIds(view), inOrder({factory, thin, repainted, filler}, order));
        }
        for (int click = 0; click < 2; ++click) {
            order = clickHeader(view, InspectionListModel::Date);
            SETTLE(w);
            QCOMPARE(listedIds(view), inOrder({thin, repainted, filler, factory}, order));
        }

        // Clicking a row of the sorted list shows that inspection.
        clickHeader(view, InspectionListModel::Worst);
        SETTLE(w);
        const QList<qint64> sorted = listedIds(view);
        auto *diagram = w.findChild<CarDiagramWidget *>("W_Diagram");
        for (int row : {0, 2}) {
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(view->model()->index(row, 0)).center());
            SETTLE(w);
            QCOMPARE(w.shownInspection()->id, sorted.at(row));
            QCOMPARE(diagram->verdicts()[0], verdictOf.value(sorted.at(row)));
        }
        // The CSV holds the readings of the rows chosen in the sorted list.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          view->visualRect(view->model()->index(1, 0)).center());
        SETTLE(w); // the clicked row's inspection is shown once it is read
        QCOMPARE(view->selectionModel()->selectedRows().size(), 2);
        const QString csv = m_dir.filePath("sorted.csv");
        const QString told = exportCsv(w, csv);
        QVERIFY2(!told.startsWith(u'!'), qPrintable(told));
        QCOMPARE(readFile(csv).count('\n'),
                 1 + countOf.value(sorted.at(1)) + countOf.value(sorted.at(2)));

        // What the wizard stores meanwhile is sorted in, ties by the moment
        // the same way as the column, and the shown inspection stays chosen.
        const qint64 shown = w.shownInspection()->id;
        w.setPollInterval(50);
        const qint64 alsoRepainted = store(1, 250, 5);
        QTRY_COMPARE(view->model()->rowCount(), 5);
        QCOMPARE(listedIds(view),
                 view->horizontalHeader()->sortIndicatorOrder() == Qt::AscendingOrder
                     ? QList<qint64>({factory, thin, repainted, alsoRepainted, filler})
                     : QList<qint64>({filler, alsoRepainted, repainted, thin, factory}));
        QCOMPARE(w.shownInspection()->id, shown);
        QCOMPARE(view->currentIndex().model(), view->model());
        QCOMPARE(view->currentIndex().data(Qt::UserRole).toLongLong(), shown);
    }

    // More rows than a page: the first page shows the newest at once, the
    // rest come as the list is scrolled, each once and in order; the station
    // and verdict filters and the statistics of the filter, through the widgets.
    void largeListInPagesWithFilters()
    {
        const QString file = m_dir.filePath("pages.sqlite");
        const QDateTime now = QDateTime::currentDateTime().addSecs(-3600);
        const int count = ArchiveWindow::kPageSize * 2 + 37;
        QList<Inspection> all;
        for (int n = 0; n < count; ++n) {
            // Pairs share a moment: the id breaks the tie.
            Inspection i = sampleInspection(now.addSecs(-60 * (n / 2)));
            i.station = n % 3 ? QStringLiteral("Állomás 01") : QStringLiteral("Állomás 02");
            if (n % 4 == 0)
                i.readings = {{3, Substrate::FE, 120, ReadingSource::Gauge, i.started}};
            all.append(i);
        }
        {
            ArchiveDatabase db(settings(file).location);
            db.open();
            ArchiveStore(db).storeAll(all);
        }
        QList<qint64> newestFirst;
        for (const Inspection &i : all)
            newestFirst.append(i.id);
        // Stored newest first by moment; within a moment the higher id first.
        for (int n = 0; n + 1 < count; n += 2)
            std::swap(newestFirst[n], newestFirst[n + 1]);

        ArchiveWindow w(settings(file), m_dir.filePath("a.ini"));

        SETTLE(w);
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTableView *view = list(w);
        QCOMPARE(view->model()->rowCount(), ArchiveWindow::kPageSize);
        QCOMPARE(listedIds(view), newestFirst.mid(0, ArchiveWindow::kPageSize));
        QTRY_VERIFY(w.statusBar()->currentMessage().startsWith(
            QStringLiteral("%1 vizsgálat felel meg").arg(count)));
        for (int scrolls = 0; scrolls < 10 && view->model()->rowCount() < count; ++scrolls) {
            const int before = view->model()->rowCount();
            view->scrollToBottom();
            QTRY_VERIFY(view->model()->rowCount() > before);
        }
        QCOMPARE(listedIds(view), newestFirst);

        // A station, then its inspections of one verdict; the window runs meanwhile.
        WindowWatch watch;
        auto *station = w.findChild<QComboBox *>("CB_Station");
        QCOMPARE(station->count(), 3);
        station->setCurrentIndex(station->findData(QStringLiteral("Állomás 02")));
        Q_EMIT station->activated(station->currentIndex());
        SETTLE(w);
        QList<qint64> expected;
        for (qint64 id : newestFirst) {
            if ((id - all.first().id) % 3 == 0)
                expected.append(id);
        }
        for (int n = 0; n < 10 && view->model()->canFetchMore({}); ++n) {
            const int before = view->model()->rowCount();
            view->model()->fetchMore({});
            QTRY_VERIFY(view->model()->rowCount() > before);
        }
        QCOMPARE(listedIds(view), expected);
        auto *verdict = w.findChild<QComboBox *>("CB_Verdict");
        verdict->setCurrentIndex(verdict->findData(int(Verdict::Factory)));
        Q_EMIT verdict->activated(verdict->currentIndex());
        SETTLE(w);
        QList<qint64> factory;
        for (qint64 id : expected) {
            if ((id - all.first().id) % 4 == 0)
                factory.append(id);
        }
        QCOMPARE(listedIds(view), factory);
        QTRY_VERIFY(w.statusBar()->currentMessage().startsWith(
            QStringLiteral("%1 vizsgálat felel meg").arg(factory.size())));
        QVERIFY2(watch.longestGapMs() < 500, qPrintable(QString::number(watch.longestGapMs())));

        // The statistics of what the filter picks: point 3 at 120 each time.
        w.findChild<QAction *>("A_Statistics")->trigger();
        auto *dialog = w.findChild<QDialog *>("D_Statistics");
        QVERIFY(dialog);
        auto *table = dialog->findChild<QTableWidget *>("TW_Points");
        QTRY_COMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("4"));
        QCOMPARE(table->item(0, 2)->text(), QString::number(factory.size()));
        QCOMPARE(table->item(0, 5)->text(), QStringLiteral("120,0"));
        QCOMPARE(table->item(0, 6)->text(), QStringLiteral("0,0"));
        dialog->close();

        // Thin or worse: the station's others (the samples' worst is filler), no factory one.
        verdict->setCurrentIndex(verdict->findData(int(Verdict::Thin)));
        Q_EMIT verdict->activated(verdict->currentIndex());
        SETTLE(w);
        for (int n = 0; n < 10 && view->model()->canFetchMore({}); ++n) {
            const int before = view->model()->rowCount();
            view->model()->fetchMore({});
            QTRY_VERIFY(view->model()->rowCount() > before);
        }
        QCOMPARE(view->model()->rowCount(), expected.size() - factory.size());

        // The verdicts counted per station over every inspection, as CSV too.
        station->setCurrentIndex(0);
        verdict->setCurrentIndex(0);
        Q_EMIT verdict->activated(0);
        SETTLE(w);
        w.findChild<QAction *>("A_Statistics")->trigger();
        dialog = w.findChild<QDialog *>("D_Statistics");
        auto *split = dialog->findChild<QComboBox *>("CB_Split");
        auto *counts = dialog->findChild<QTableWidget *>("TW_Verdicts");
        QTRY_COMPARE(counts->rowCount(), 1);
        split->setCurrentIndex(split->findData(int(ArchiveSplit::Station)));
        Q_EMIT split->activated(split->currentIndex());
        QTRY_COMPARE(counts->rowCount(), 3); // two stations and their sum
        const int factoryColumn = 1, fillerColumn = 4, totalColumn = 5;
        QList<QStringList> rows;
        for (int row = 0; row < 3; ++row) {
            rows.append(QStringList());
            for (int c = 0; c < counts->columnCount(); ++c)
                rows.last().append(counts->item(row, c)->text());
        }
        int factoryOf02 = 0, allOf02 = 0;
        for (int n = 0; n < count; ++n) {
            allOf02 += n % 3 == 0;
            factoryOf02 += n % 3 == 0 && n % 4 == 0;
        }
        QCOMPARE(rows.at(1),
                 QStringList({"Állomás 02", QString::number(factoryOf02), "0", "0",
                              QString::number(allOf02 - factoryOf02), QString::number(allOf02)}));
        QCOMPARE(rows.at(2).at(totalColumn), QString::number(count));
        QCOMPARE(rows.at(2).at(factoryColumn).toInt() + rows.at(2).at(fillerColumn).toInt(), count);
        const QString csv = QString::fromUtf8(static_cast<FilterStatisticsDialog *>(dialog)->csv());
        QVERIFY2(csv.contains(QStringLiteral("Állomás;Gyári fényezés;Gyanúsan vékony;Újrafényezett;"
                                             "Gittelt;Összesen\r\n")) &&
                     csv.contains(rows.at(1).join(u';') + QStringLiteral("\r\n")) &&
                     csv.contains(QStringLiteral("#;Pont;n;Min;Max;Átlag;Szórás\r\n")),
                 qPrintable(csv));
    }

    void verdictsAsJudgedUnlessRejudged()
    {
        const QString ini = m_dir.filePath("bands.ini");
        ArchiveWindow w(settings(m_file), ini);
        SETTLE(w);
        choose(w, m_today.id);
        VerdictBands strict;
        strict.set(Substrate::FE, {60, 100, 300});
        QString error;
        QVERIFY(w.saveBands(strict, &error));
        QCOMPARE(ArchiveSettings::read(ini).bands, strict);
        // New limits do not change what a stored inspection was judged.
        auto *diagram = w.findChild<CarDiagramWidget *>("W_Diagram");
        auto *text = w.findChild<QLabel *>("L_Inspection");
        QCOMPARE(diagram->verdicts()[0], Verdict::Factory); // 123 <= 160
        QCOMPARE(list(w)->model()->index(1, InspectionListModel::Worst).data().toString(),
                 QStringLiteral("Gyári fényezés"));
        QVERIFY(!text->text().contains(u"Újraminősítve"));
        const QString pdf = m_dir.filePath("judged.pdf");
        QVERIFY2(w.exportPdf(pdf, &error), qPrintable(error));

        // Re-judged on request, and marked so.
        w.findChild<QAction *>("A_Rejudge")->setChecked(true);
        QCOMPARE(diagram->verdicts()[0], Verdict::Repainted); // 123 > 100
        QCOMPARE(list(w)->model()->index(1, InspectionListModel::Worst).data().toString(),
                 QStringLiteral("Újrafényezett"));
        QVERIFY(text->text().contains(u"Újraminősítve a mai határokkal"));
        list(w)->selectAll();
        const QString csv = m_dir.filePath("rejudged.csv");
        QVERIFY(!exportCsv(w, csv).startsWith(u'!'));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = f.readAll().split('\n');
        QVERIFY(rows.at(1).contains("(újraminősítve)"));
        w.findChild<QAction *>("A_Rejudge")->setChecked(false);
        QCOMPARE(diagram->verdicts()[0], Verdict::Factory);

        // The dialog refuses limits out of order and restores the defaults.
        BandsDialog dialog(strict);
        auto *ok = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        QVERIFY(ok->isEnabled());
        dialog.findChild<QSpinBox *>("SE_AL_1")->setValue(400);
        QVERIFY(!ok->isEnabled());
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::RestoreDefaults)->click();
        QVERIFY(ok->isEnabled());
        QCOMPARE(dialog.bands(), VerdictBands());
    }

    // The report to hand over, rendered by pdftoppm and read by pdftotext:
    // the station's profile and logo, the inspection, the diagram's colours
    // and the table's in the same colours, the 23 points and the signatures
    // on one A4 page, its title and file name.
    void reportToHandOver()
    {
        const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (pdftoppm.isEmpty() || pdftotext.isEmpty())
            QSKIP(
                "pdftoppm and pdftotext (poppler-utils) are not installed: the PDF cannot be read");
        const QString logo = m_dir.filePath("logo.png");
        QImage magenta(200, 100, QImage::Format_RGB32);
        magenta.fill(Qt::magenta);
        QVERIFY(magenta.save(logo));
        ArchiveSettings s = ArchiveSettings::parse(Cp1250::encode(
            QStringLiteral("name=Példa Autó Kft. Vizsgálóállomás\r\naddress=9021 Győr, Fő út 1.\r\n"
                           "phone=+36 96 123 456\r\nlogo=%1\r\n")
                .arg(logo)));
        QVERIFY2(s.problems.isEmpty(), qPrintable(s.problems.join(QStringLiteral("; "))));
        s.location.file = m_dir.filePath("report.sqlite");
        Inspection all23 = sampleInspection(QDateTime::currentDateTime().addSecs(-5400));
        all23.category = QStringLiteral("M1 - személygépkocsi ") + QString(u'x').repeated(150);
        all23.readings.clear();
        // From thin to filler, five-digit readings on every other point.
        for (int point = 0; point < 23; ++point) {
            for (int value : {40 + point * 15, point % 2 ? 12345 + point : 41 + point * 15})
                all23.readings.append({point, Substrate::FE, value, ReadingSource::Gauge,
                                       all23.started.addSecs(point * 4 + value % 7)});
        }
        {
            ArchiveDatabase db(s.location);
            db.open();
            ArchiveStore(db).store(all23);
        }
        ArchiveWindow w(s, m_dir.filePath("a.ini"));
        choose(w, all23.id);
        QCOMPARE(w.shownInspection()->id, all23.id);
        QCOMPARE(
            w.reportFileName(),
            QStringLiteral("AB-CD-123_%1.pdf").arg(all23.started.date().toString(Qt::ISODate)));
        const QString pdf = m_dir.filePath(w.reportFileName());
        QString error;
        QVERIFY2(w.exportPdf(pdf, &error), qPrintable(error));

        constexpr int kDpi = 60;
        QProcess render;
        render.start(pdftoppm, {"-r", QString::number(kDpi), "-png", pdf, m_dir.filePath("page")});
        QVERIFY(render.waitForFinished(30000));
        QCOMPARE(render.exitCode(), 0);
        const QImage page(m_dir.filePath("page-1.png"));
        QVERIFY(!page.isNull());
        QCOMPARE(page.width(), qRound(210 / 25.4 * kDpi));     // A4
        QVERIFY(!QFile::exists(m_dir.filePath("page-2.png"))); // one page
        const double mm = kDpi / 25.4;
        const QMarginsF margins = InspectionReport::kMarginsMm;
        const QRectF printable(margins.left() * mm, margins.top() * mm,
                               (210 - margins.left() - margins.right()) * mm,
                               (297 - margins.top() - margins.bottom()) * mm);
        QVERIFY(near(page.pixelColor((printable.topLeft() + QPointF(5 * mm, 5 * mm)).toPoint()),
                     Qt::magenta));
        // The diagram's markers and the table's verdict cells in one set of colours.
        const QRectF area =
            InspectionReport::diagramRect(printable.translated(-printable.topLeft()), mm)
                .translated(printable.topLeft());
        const CarDiagram::Verdicts &v = w.findChild<CarDiagramWidget *>("W_Diagram")->verdicts();
        QSet<Verdict> inTable;
        for (int point : {0, 1, 10, 15, 22}) {
            // Below the marker's number, inside its ring.
            const QPointF c = CarDiagram::pointCentre(point, area) +
                              QPointF(0, CarDiagram::markerRadius(area) * 0.55);
            const QColor painted = page.pixelColor(c.toPoint());
            QVERIFY2(
                near(painted, verdictColour(v[point]), 60),
                qPrintable(QStringLiteral("point %1: %2").arg(point).arg(colourText(painted))));
        }
        const int verdictColumn = qRound(printable.left() + 112 * mm);
        for (int y = qRound(area.bottom()); y < page.height(); ++y) {
            for (Verdict verdict : CarDiagram::kLegendOrder) {
                if (near(page.pixelColor(verdictColumn, y), verdictColour(verdict), 12))
                    inTable.insert(verdict);
            }
        }
        QCOMPARE(inTable, QSet<Verdict>({Verdict::Thin, Verdict::Factory, Verdict::Repainted,
                                         Verdict::Filler}));

        QProcess text;
        text.start(pdftotext, {"-enc", "UTF-8", pdf, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString content =
            QString::fromUtf8(text.readAllStandardOutput()).replace(u'\n', u' ');
        for (const QString &t :
             {s.profile.name, s.profile.address, s.profile.phone,
              QStringLiteral("mérési jegyzőkönyv"), QStringLiteral("AB CD-123"),
              QStringLiteral("Kovács Éva"), QStringLiteral("Gittelt"),
              QStringLiteral("Motorház tető"), QStringLiteral("Jobb hátsó sárvédő"),
              QStringLiteral("xxxxxxxxxx"), QStringLiteral("Kelt:"),
              QStringLiteral("vizsgáló aláírása"), QStringLiteral("ügyfél aláírása"),
              QStringLiteral("1/1. oldal"), QStringLiteral("Gyanúsan vékony"),
              QStringLiteral("> 300"), QStringLiteral("12366")})
            QVERIFY2(content.contains(t), qPrintable(t));
        // The long category whole (the other x: "Max").
        QCOMPARE(content.count(u'x') - content.count(QStringLiteral("Max")), 150);
        const QString pdfinfo = QStandardPaths::findExecutable("pdfinfo");
        if (!pdfinfo.isEmpty()) {
            QProcess info;
            info.start(pdfinfo, {pdf});
            QVERIFY(info.waitForFinished(30000));
            QVERIFY(QString::fromUtf8(info.readAllStandardOutput())
                        .contains(InspectionReport::title(all23)));
        }
    }

    // Through the window as a person exports: Ctrl+A with more rows than a
    // page loaded takes every inspection of the filter; the choice survives
    // the list being read anew after a store; a partial choice exports
    // exactly its rows, as they were when the export was asked for.
    void exportTakesWhatIsChosen()
    {
        const QString file = m_dir.filePath("export.sqlite");
        const QDateTime now = QDateTime::currentDateTime().addSecs(-7200);
        QList<Inspection> all;
        for (int n = 0; n < ArchiveWindow::kPageSize + 30; ++n) {
            Inspection i = sampleInspection(now.addSecs(-60 * n));
            i.readings = {{n % 23, Substrate::FE, 100 + n, ReadingSource::Gauge, i.started}};
            all.append(i);
        }
        {
            ArchiveDatabase db(settings(file).location);
            db.open();
            ArchiveStore(db).storeAll(all);
        }
        const auto idsIn = [](const QString &csv) {
            QSet<QString> ids;
            const QList<QByteArray> lines = readFile(csv).split('\n');
            for (qsizetype n = 1; n < lines.size(); ++n) {
                if (!lines.at(n).isEmpty())
                    ids.insert(QString::fromUtf8(lines.at(n).split(';').first()));
            }
            return ids;
        };
        ArchiveWindow w(settings(file), m_dir.filePath("a.ini"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        SETTLE(w);
        QTableView *view = list(w);
        QCOMPARE(view->model()->rowCount(), ArchiveWindow::kPageSize);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        // The wizard stores one more meanwhile: all stay chosen, the new one too.
        w.setPollInterval(50);
        Inspection later = sampleInspection(QDateTime::currentDateTime().addSecs(-60));
        {
            ArchiveDatabase db(settings(file).location);
            db.open();
            ArchiveStore(db).store(later);
        }
        QTRY_COMPARE(view->model()->index(0, 0).data(Qt::UserRole).toLongLong(), later.id);
        SETTLE(w);
        QCOMPARE(view->selectionModel()->selectedRows().size(), view->model()->rowCount());
        QString told;
        answerDialog<QFileDialog>([&](QFileDialog *dialog) {
            dialog->selectFile(m_dir.filePath("vizsgalatok.csv"));
            static_cast<QDialog *>(dialog)->accept();
        });
        QSignalSpy exported(&w, &ArchiveWindow::exportFinished);
        QTest::keyClick(view, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(exported.wait(20000));
        told = exported.first().at(1).toString();
        QVERIFY2(told.contains(QStringLiteral("%1 vizsgálat").arg(all.size() + 1)) &&
                     told.contains(u"vizsgalatok.csv"),
                 qPrintable(told));
        QCOMPARE(idsIn(m_dir.filePath("vizsgalatok.csv")).size(), all.size() + 1);
        for (QMessageBox *box : w.findChildren<QMessageBox *>("D_Told"))
            box->close();

        // Two rows chosen; a store re-reads the list; exactly those two go.
        const auto rowAt = [&](int row) {
            return view->visualRect(view->model()->index(row, 0)).center();
        };
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowAt(2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, rowAt(5));
        SETTLE(w);
        const QSet<QString> chosen{view->model()->index(2, 0).data(Qt::UserRole).toString(),
                                   view->model()->index(5, 0).data(Qt::UserRole).toString()};
        const CsvExportRun::Request asked = w.exportRequest();
        ++later.revision;
        later.ended = QDateTime::currentDateTime().addSecs(3600); // ends last, as a store does
        later.readings.append({3, Substrate::FE, 99, ReadingSource::Gauge, later.ended});
        {
            ArchiveDatabase db(settings(file).location);
            db.open();
            ArchiveStore(db).store(later);
        }
        QTRY_COMPARE(view->model()->index(0, InspectionListModel::Readings).data().toInt(),
                     int(later.readings.size()));
        SETTLE(w);
        QCOMPARE(view->selectionModel()->selectedRows().size(), 2);
        QVERIFY(exportCsv(w, m_dir.filePath("two.csv")).contains(u"2 vizsgálat"));
        QCOMPARE(idsIn(m_dir.filePath("two.csv")), chosen);
        // The request taken when asked is what goes, whatever is chosen after.
        view->selectRow(7);
        QSignalSpy done(&w, &ArchiveWindow::exportFinished);
        QVERIFY(w.exportCsv(m_dir.filePath("asked.csv"), asked));
        QVERIFY(done.wait(10000));
        QCOMPARE(idsIn(m_dir.filePath("asked.csv")), chosen);

        // A disk that fills up: said, and no cut-off file left in its place.
        SmallDisk disk(16);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.reason()));
        view->selectAll();
        const QString full = exportCsv(w, disk.filePath("all.csv"));
        QVERIFY2(full.startsWith(u'!') && full.contains(u"nem sikerült"), qPrintable(full));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void csvOfTheChosenInspections()
    {
        ArchiveWindow w(settings(m_file), m_dir.filePath("a.ini"));
        SETTLE(w);
        list(w)->selectAll();
        const QString csv = m_dir.filePath("export.csv");
        const QString told = exportCsv(w, csv);
        QVERIFY2(told.contains(u"2 vizsgálat") && told.contains(u"export.csv") &&
                     told.contains(u"a szűrés összes"),
                 qPrintable(told));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        QVERIFY(content.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(content.count('\n'), 1 + m_today.readings.size() + m_yesterday.readings.size());
        QVERIFY(content.contains(QStringLiteral("N1 - tehergépkocsi 3,5t-ig").toUtf8()));
        QVERIFY(content.contains(QStringLiteral(";AB CD-123;Kovács Éva;\r\n").toUtf8()));
    }

    void noticesWhatTheWizardStores()
    {
        ArchiveWindow w(settings(m_file), m_dir.filePath("a.ini"));
        SETTLE(w);
        w.setPollInterval(50);
        const int before = list(w)->model()->rowCount();
        Inspection fresh = sampleInspection(QDateTime::currentDateTime().addSecs(-60));
        store(fresh);
        QTRY_COMPARE(list(w)->model()->rowCount(), before + 1);
        QCOMPARE(w.shownInspection()->id, m_today.id); // the choice stays
    }

    void readOnlyPlaceIsReadAsItIs()
    {
        SmallDisk disk(4096);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.reason()));
        const QString copy = disk.filePath("Kromaglen_archive.sqlite");
        QVERIFY(QFile::copy(m_file, copy));
        const QByteArray before = readFile(copy);
#ifdef Q_OS_LINUX
        QVERIFY(::mount(nullptr, QFile::encodeName(disk.path()).constData(), nullptr,
                        MS_REMOUNT | MS_RDONLY, nullptr) == 0);
#endif
        ArchiveWindow w(settings(copy), disk.filePath("a.ini"));
        SETTLE(w);
        QVERIFY2(w.findChild<QLabel *>("L_Banner")->isHidden(),
                 qPrintable(w.findChild<QLabel *>("L_Banner")->text()));
        QCOMPARE(list(w)->model()->rowCount(), recentCount());
        QVERIFY(!w.shownInspection()->readings.isEmpty());
        // A plate typed there cannot be stored: said, and left in the field.
        QSignalSpy saved(&w, &ArchiveWindow::detailsSaved);
        w.findChild<QLineEdit *>("LE_Plate")->setText("XYZ-999");
        QVERIFY(w.saveDetails());
        QVERIFY(saved.wait(5000));
        QCOMPARE(saved.first().at(1).toBool(), false);
        const QString said = w.findChild<QLabel *>("L_Details")->text();
        QVERIFY2(said.contains(u"NEM mentődtek el") && said.contains(u"csak olvasható"),
                 qPrintable(said));
        QCOMPARE(w.findChild<QLineEdit *>("LE_Plate")->text(), QStringLiteral("XYZ-999"));
        QVERIFY(w.detailsChanged());
        // Closing tries once more, then asks; "No" keeps the window and the text.
        w.show();
        QString asked;
        answerDialog<QMessageBox>([&](QMessageBox *box) {
            asked = box->text();
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!w.close());
        QTRY_VERIFY2(asked.contains(u"nincsenek elmentve") && asked.contains(u"csak olvasható"),
                     qPrintable(asked));
        QVERIFY(w.isVisible());
        QCOMPARE(w.findChild<QLineEdit *>("LE_Plate")->text(), QStringLiteral("XYZ-999"));
        answerDialog<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
        w.close();
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(readFile(copy), before);
        QVERIFY(!QFile::exists(copy + "-shm"));
    }

    void followsTheFileTheWizardPutInPlace()
    {
        // The window open while the wizard sets a damaged archive aside and starts anew.
        const QString file = m_dir.filePath("replaced.sqlite");
        QVERIFY(QFile::copy(m_file, file));
        ArchiveWindow w(settings(file), m_dir.filePath("a.ini"));
        SETTLE(w);
        QCOMPARE(list(w)->model()->rowCount(), recentCount());
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(100);
            f.write(QByteArray(8000, 'x'));
        }
        ArchiveJournal journal(m_dir.filePath("replaced.journal"));
        ArchiveWriter writer(settings(file).location, journal);
        QSignalSpy notice(&writer, &ArchiveWriter::notice);
        QSignalSpy failed(&writer, &ArchiveWriter::failed);
        Inspection fresh = sampleInspection(QDateTime::currentDateTime().addSecs(-30));
        writer.store(fresh);
        QVERIFY2(notice.size() == 1, qPrintable(failed.value(0).value(0).toString()));
        QTRY_COMPARE_WITH_TIMEOUT(list(w)->model()->rowCount(), 1, ArchiveWindow::kPollMs * 3);
        QTRY_COMPARE(w.shownInspection()->uid, fresh.uid);
        w.refresh();
        QCOMPARE(list(w)->model()->rowCount(), 1);
    }

    void settingsProblemsAreShown()
    {
        ArchiveSettings s = ArchiveSettings::parse("FE=40;120 ; saját\r\nszín=piros\r\n");
        s.location.file = m_file;
        ArchiveWindow w(s, m_dir.filePath("a.ini"));
        SETTLE(w);
        const QString banner = w.findChild<QLabel *>("L_Banner")->text();
        QVERIFY2(banner.contains(u"Kromaglen_archive.ini") && banner.contains(u"1. sor") &&
                     banner.contains(u"2. sor"),
                 qPrintable(banner));
        QCOMPARE(list(w)->model()->rowCount(), recentCount()); // read all the same
    }

    void archivesItCannotRead()
    {
        const QString damaged = m_dir.filePath("damaged.sqlite");
        const QByteArray garbage = QByteArray("nem adatbázis ").repeated(400);
        {
            QFile f(damaged);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage);
        }
        {
            ArchiveWindow w(settings(damaged), m_dir.filePath("a.ini"));
            SETTLE(w);
            auto *banner = w.findChild<QLabel *>("L_Banner");
            QVERIFY(!banner->isHidden());
            QVERIFY2(banner->text().contains(u"félreteszi"), qPrintable(banner->text()));
            QCOMPARE(list(w)->model()->rowCount(), 0);
            QString error;
            QVERIFY(!w.exportPdf(m_dir.filePath("none.pdf"), &error));
        }
        QFile f(damaged);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), garbage); // the window never changes it

        // A folder without an archive: said with the folder, nothing made there.
        const QString none = m_dir.filePath("empty/Kromaglen_archive.sqlite");
        QVERIFY(QDir().mkpath(m_dir.filePath("empty")));
        ArchiveWindow w(settings(none), m_dir.filePath("a.ini"));
        SETTLE(w);
        const QString banner = w.findChild<QLabel *>("L_Banner")->text();
        QVERIFY2(banner.contains(u"nincs archívum") &&
                     banner.contains(QDir::toNativeSeparators(m_dir.filePath("empty"))),
                 qPrintable(banner));
        QVERIFY(!QFile::exists(none));
    }

    // The log for the IT person: what the window cannot read, once however
    // often the poll meets it, with the time and the program; a log past its
    // size starts anew, keeping the one before.
    void logForTheItPerson()
    {
        const QString damaged = m_dir.filePath("damaged-log.sqlite");
        {
            QFile f(damaged);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("nem adatbázis ").repeated(400));
        }
        const QString path = m_dir.filePath("Kromaglen.log");
        EventLog log(path, QStringLiteral("KromaglenArchive"), 600);
        {
            ArchiveWindow w(settings(damaged), m_dir.filePath("a.ini"));
            w.setLog(&log);
            w.setPollInterval(20);
            SETTLE(w);
            QTest::qWait(200);
        }
        const QString text = QString::fromUtf8(readFile(path));
        static const QRegularExpression line(
            QStringLiteral("^\\d{4}\\.\\d\\d\\.\\d\\d\\. \\d\\d:\\d\\d:\\d\\d KromaglenArchive: "
                           "Az archívum .* nem olvasható: .*félreteszi"));
        QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(line.match(lines.first().remove(QChar(0xFEFF))).hasMatch(), qPrintable(text));
        for (int n = 0; n < 20; ++n)
            log.write(QStringLiteral("%1. sor, hogy a napló megteljen").arg(n));
        QVERIFY(QFileInfo(path).size() <= 600);
        QVERIFY(QFile::exists(path + ".1"));
        QVERIFY(QFileInfo(path + ".1").size() <= 600);
    }

    // The vehicle's details typed in the window, stored apart; found again
    // by the search box and shown in the list's "Rendszám" column.
    void plateAndInspectorTypedInTheWindow()
    {
        Inspection wizard = sampleInspection(QDateTime::currentDateTime().addSecs(-1800));
        wizard.plate.clear(); // the wizard knows none of them
        wizard.vin.clear();
        wizard.inspector.clear();
        store(wizard);
        ArchiveWindow w(settings(m_file), m_dir.filePath("a.ini"));
        SETTLE(w);
        w.setPollInterval(50);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        choose(w, wizard.id);
        auto *plate = w.findChild<QLineEdit *>("LE_Plate");
        auto *vin = w.findChild<QLineEdit *>("LE_Vin");
        auto *makeModel = w.findChild<QLineEdit *>("LE_MakeModel");
        auto *odometer = w.findChild<QLineEdit *>("LE_Odometer");
        auto *inspector = w.findChild<QLineEdit *>("LE_Inspector");
        auto *said = w.findChild<QLabel *>("L_Details");
        QVERIFY(plate->isEnabled() && vin->isEnabled());
        QVERIFY(plate->text().isEmpty() && vin->text().isEmpty() && inspector->text().isEmpty());
        QSignalSpy saved(&w, &ArchiveWindow::detailsSaved);

        // Typed as a person types: upper case as it goes; Enter stores, cleaned.
        QTest::keyClicks(plate, "xyz-987");
        QTest::keyClicks(vin, "wvwzzz1jzxw000001");
        QCOMPARE(plate->text(), QStringLiteral("XYZ-987"));
        QCOMPARE(vin->text(), QStringLiteral("WVWZZZ1JZXW000001"));
        QTest::keyClicks(makeModel, "Opel  Astra ");
        QTest::keyClicks(odometer, "123 456");
        inspector->setText("  Nagy   Péter "); // keyClicks types ASCII only
        QVERIFY(w.detailsChanged());
        QTest::keyClick(inspector, Qt::Key_Return);
        QVERIFY(saved.wait(5000));
        QCOMPARE(saved.last().at(1).toBool(), true);
        QVERIFY2(said->text().contains(u"elmentve"), qPrintable(said->text()));
        QCOMPARE(inspector->text(), QStringLiteral("Nagy Péter"));
        QVERIFY(!w.detailsChanged());
        const Inspection kept = *stored(wizard.id);
        QCOMPARE(TypedDetails::of(kept), (TypedDetails{"XYZ-987", "WVWZZZ1JZXW000001", "Opel Astra",
                                                       123456, "Nagy Péter"}));
        QCOMPARE(w.shownInspection()->inspector, QStringLiteral("Nagy Péter"));

        // Found by the beginning of its plate or VIN, whatever the case and hyphens.
        auto *search = w.findChild<QLineEdit *>("LE_Search");
        for (const char *typed : {"xyz98", "WVWZZZ1J"}) {
            search->setText(QString::fromLatin1(typed));
            QTRY_COMPARE(list(w)->model()->rowCount(), 1);
            SETTLE(w);
            QCOMPARE(list(w)->model()->index(0, InspectionListModel::Plate).data().toString(),
                     QStringLiteral("XYZ-987"));
        }
        search->clear();
        QTRY_VERIFY(list(w)->model()->rowCount() > 1);
        SETTLE(w);
        choose(w, wizard.id);

        // Refused: said beside the fields, kept in them, nothing stored.
        w.findChild<QPushButton *>("BB_SaveDetails")->setFocus();
        vin->setText("WVWZZZ1JZXW00000I");
        QTest::mouseClick(w.findChild<QPushButton *>("BB_SaveDetails"), Qt::LeftButton);
        QVERIFY2(said->text().contains(u"nincsenek elmentve") &&
                     said->text().contains(u"alvázszám"),
                 qPrintable(said->text()));
        QCOMPARE(vin->text(), QStringLiteral("WVWZZZ1JZXW00000I"));
        QCOMPARE(saved.size(), 1);
        vin->setText("WVWZZZ1JZXW000001");

        // The wizard stores the inspection again while a name is being typed:
        // what was stored stays, and so does what is being typed.
        inspector->setText("Kiss Anna");
        ++wizard.revision;
        // Ends last of all, as a store by the wizard does (the samples end in the future).
        wizard.ended = QDateTime::currentDateTime().addSecs(3600);
        wizard.readings.append(
            {3, Substrate::FE, 222, ReadingSource::Gauge, wizard.ended.addSecs(5)});
        store(wizard);
        QTRY_COMPARE(w.shownInspection()->readings.size(), wizard.readings.size());
        QCOMPARE(stored(wizard.id)->vin, QStringLiteral("WVWZZZ1JZXW000001"));
        QCOMPARE(stored(wizard.id)->odometerKm, 123456);
        QCOMPARE(stored(wizard.id)->inspector, QStringLiteral("Nagy Péter"));
        QCOMPARE(inspector->text(), QStringLiteral("Kiss Anna"));

        // Choosing another inspection stores what was typed for the one left.
        choose(w, m_today.id);
        QTRY_COMPARE(saved.size(), 2);
        QCOMPARE(saved.last().at(0).toLongLong(), wizard.id);
        QCOMPARE(saved.last().at(1).toBool(), true);
        QCOMPARE(stored(wizard.id)->inspector, QStringLiteral("Kiss Anna"));
        QCOMPARE(plate->text(), m_today.plate);
        QCOMPARE(inspector->text(), m_today.inspector);
        QVERIFY(!w.detailsChanged());

        // Closed with a change: stored before it goes, without asking.
        choose(w, wizard.id);
        inspector->setText("Szabó Ádám");
        QVERIFY(!w.close()); // not before the store has answered
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(stored(wizard.id)->inspector, QStringLiteral("Szabó Ádám"));
    }

    void reportShowsEveryValueAndWhoMeasured()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed: the PDF cannot be read");
        // Forty readings on every point: the table runs over several pages.
        Inspection many = sampleInspection(QDateTime::currentDateTime().addSecs(-7200));
        many.station = QStringLiteral("Győr 2. vizsgálósor");
        many.inspector = QStringLiteral("Dr. Kovácsné Szabó Erzsébet Katalin Anna");
        QCOMPARE(many.inspector.size(), InspectionDetails::kNameMaxLength);
        many.readings.clear();
        for (int point = 0; point < 23; ++point) {
            for (int n = 0; n < 40; ++n)
                many.readings.append({point, Substrate::FE, 10000 + point * 100 + n,
                                      n == 6 ? ReadingSource::Typed : ReadingSource::Gauge,
                                      many.started.addSecs(point * 40 + n)});
        }
        store(many);
        ArchiveWindow w(settings(m_file), m_dir.filePath("a.ini"));
        SETTLE(w);
        choose(w, many.id);
        QCOMPARE(w.shownInspection()->id, many.id);
        const QString content = pdfText(w);
        QSet<QString> found;
        static const QRegularExpression value(QStringLiteral("\\b1\\d{4}\\*?"));
        for (const QRegularExpressionMatch &m : value.globalMatch(content))
            found.insert(m.captured());
        for (int point = 0; point < 23; ++point) {
            for (int n = 0; n < 40; ++n) {
                const QString text = QString::number(10000 + point * 100 + n) + (n == 6 ? "*" : "");
                QVERIFY2(found.contains(text), qPrintable(text));
            }
        }
        QVERIFY(!content.contains(u'…'));
        QVERIFY(content.contains(u"1/") && content.contains(u"2/"));
        QVERIFY(content.contains(
            QStringLiteral("%1 – %2. sz. vizsgálat").arg(many.plate).arg(many.id)));
        QVERIFY(content.contains(u"kézzel bevitt érték"));
        for (const QString &text :
             {QStringLiteral("Állomás:"), many.station, QStringLiteral("Vizsgáló:"), many.inspector,
              QStringLiteral("Rendszám:"), many.plate, QStringLiteral("Alvázszám:")})
            QVERIFY2(content.contains(text), qPrintable(text));
    }

    // In every style: no larger at its smallest than a 1024×768 screen less a
    // taskbar and the frame and title bar the system adds, with every input
    // and action whole there; at its usual size the list's columns readable.
    void fitsA1024x768ScreenInEveryStyle()
    {
        const QString before = QApplication::style()->name();
        const auto restore = qScopeGuard([&] { QApplication::setStyle(before); });
        for (const QString &style : QStyleFactory::keys()) {
            QApplication::setStyle(style);
            ArchiveWindow w(settings(m_file), m_dir.filePath("a.ini"));
            SETTLE(w);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            const QSize least = w.minimumSize().expandedTo(w.minimumSizeHint());
            const auto where = [&](const QString &what, const QRect &at) {
                return QStringLiteral("%1: %2 at %3,%4 %5×%6 in %7×%8")
                    .arg(style, what)
                    .arg(at.x())
                    .arg(at.y())
                    .arg(at.width())
                    .arg(at.height())
                    .arg(w.width())
                    .arg(w.height());
            };
            QVERIFY2(least.width() <= 1024 - 16 && least.height() <= 768 - 40 - 48,
                     qPrintable(where(QStringLiteral("smallest"), QRect({}, least))));
            // Opened no larger than the screen has room for.
            const QSize free = w.screen()->availableGeometry().size();
            QVERIFY(w.width() <= std::max(free.width(), least.width()));
            QVERIFY(w.height() <= std::max(free.height(), least.height()));
            w.resize(1, 1);
            QTRY_COMPARE(w.size(), least);
            QList<QWidget *> inputs;
            for (const char *name :
                 {"TV_Inspections", "DE_From", "DE_To", "BB_Today", "BB_ThisYear", "CB_Category",
                  "CB_Station", "CB_Verdict", "W_Diagram", "TV_Points", "LE_Plate", "LE_Inspector",
                  "BB_SaveDetails"})
                inputs.append(w.findChild<QWidget *>(name));
            auto *bar = w.findChild<QToolBar *>("TB_Actions");
            for (QAction *action : bar->actions()) {
                if (!action->isSeparator())
                    inputs.append(bar->widgetForAction(action));
            }
            for (QWidget *widget : inputs) {
                QVERIFY(widget);
                const QRect at(widget->mapTo(&w, QPoint(0, 0)), widget->size());
                QVERIFY2(widget->isVisible() && w.rect().contains(at) &&
                             at.width() >= std::min(40, widget->sizeHint().width()) &&
                             at.height() >= 18,
                         qPrintable(where(
                             widget->objectName() + widget->property("text").toString(), at)));
            }
            QVERIFY(w.findChild<QTableView *>("TV_Points")->height() >= 100);
            // At the size it opens at on a larger screen, "Állomás" and its
            // neighbours are whole in the list.
            w.resize(1280, 860);
            QTRY_COMPARE(w.size(), QSize(1280, 860));
            QHeaderView *header = list(w)->horizontalHeader();
            for (int c = 0; c < InspectionListModel::ColumnCount; ++c) {
                const QString title =
                    list(w)->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
                const int right = header->sectionViewportPosition(c) +
                                  header->fontMetrics().horizontalAdvance(title);
                QVERIFY2(header->sectionSize(c) >= header->fontMetrics().horizontalAdvance(title) &&
                             right <= header->viewport()->width(),
                         qPrintable(style + u' ' + title));
            }
        }
    }

    void saveDialogsOpenInTheDocumentsFolder()
    {
        const QString home = m_dir.filePath("home");
        QVERIFY(QDir().mkpath(home));
        const QByteArray oldHome = qgetenv("HOME");
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", oldHome);
            qputenv("XDG_CONFIG_HOME", oldConfig);
        });
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/.config"));
        ArchiveWindow w(settings(m_file), m_dir.filePath("a.ini"));
        SETTLE(w);
        w.show();
        choose(w, m_today.id);
#ifdef Q_OS_WIN
        // Windows names the documents folder itself, whatever HOME says.
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(QDir().mkpath(documents));
        QCOMPARE(w.exportFolder(), documents);
#else
        QCOMPARE(w.exportFolder(), home); // no documents folder: the home folder
        QVERIFY(QDir(home).mkdir("Documents"));
        const QString documents = home + "/Documents";
        QCOMPARE(w.exportFolder(), documents);
#endif

        // The dialog as the user meets it; where the user saves, the next one opens.
        const QString elsewhere = m_dir.filePath("kivitel");
        QVERIFY(QDir().mkpath(elsewhere));
        QString openedIn, suggested, chosen;
        answerDialog<QFileDialog>([&](QFileDialog *dialog) {
            openedIn = dialog->directory().absolutePath();
            suggested = dialog->selectedFiles().value(0);
            dialog->selectFile(elsewhere + "/vizsgalat.csv");
            chosen = dialog->selectedFiles().value(0);
            static_cast<QDialog *>(dialog)->accept(); // as the Save button does
        });
        QSignalSpy exported(&w, &ArchiveWindow::exportFinished);
        w.findChild<QAction *>("A_ExportCsv")->trigger();
        QVERIFY(exported.wait(10000));
        QCOMPARE(openedIn, documents);
        QCOMPARE(QFileInfo(suggested).fileName(),
                 QStringLiteral("vizsgalat-%1.csv").arg(m_today.id));
        QCOMPARE(QFileInfo(chosen).absolutePath(), elsewhere);
        QVERIFY(QFile::exists(chosen));
        answerDialog<QFileDialog>([&](QFileDialog *dialog) {
            openedIn = dialog->directory().absolutePath();
            dialog->reject();
        });
        w.findChild<QAction *>("A_ExportPdf")->trigger();
        QCOMPARE(openedIn, elsewhere);
    }
};

QTEST_MAIN(TestArchiveWindow)
#include "tst_archive_window.moc"
