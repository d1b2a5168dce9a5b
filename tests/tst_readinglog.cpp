#include <QTest>

#include "HandoverProtocol.h"
#include "MeasuringList.h"
#include "PointCatalogue.h"
#include "ReadingLog.h"

class TestReadingLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesAndValues_data()
    {
        QTest::addColumn<Reading>("reading");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("value");
        QTest::newRow("FE 123") << Reading{Substrate::FE, 123} << "FE 123 µm"
                                << "123";
        QTest::newRow("AL 65535") << Reading{Substrate::AL, 65535} << "AL 65535 µm"
                                  << "65535";
        QTest::newRow("AL 0") << Reading{Substrate::AL, 0} << "AL 0 µm"
                              << "0";
    }

    void linesAndValues()
    {
        QFETCH(Reading, reading);
        QFETCH(QString, line);
        QFETCH(QString, value);
        QCOMPARE(reading.line(), line);
        QCOMPARE(reading.valueText(), value);
        // The inspection program gets the value the list shows, and the
        // unit's sign survives a round trip through the log.
        const int hood = *PointCatalogue::indexOfPointId(u"HOOD");
        ReadingLog log;
        log.append(hood, reading);
        QCOMPARE(log.lines(hood), QStringList{line});
        QCOMPARE(HandoverProtocol::answer(QStringLiteral("HOOD"), WizardPage::Send, log).reply,
                 QStringLiteral("HOOD:") + value);
    }

    void manualValueIsClamped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("2000") << "2000" << 1000;
        QTest::newRow("0") << "0" << 5;
        QTest::newRow("empty") << "" << 5;
        QTest::newRow("letters") << "abc" << 5;
        QTest::newRow("negative") << "-7" << 5;
        QTest::newRow("in range") << "250" << 250;
        QTest::newRow("huge") << "99999999999999999999" << 5;
    }

    void manualValueIsClamped()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(ReadingLog::clampManualValue(text), value);
    }

    void logKeepsOrderAndUnsavedMark()
    {
        ReadingLog log;
        QVERIFY(!log.unsavedReadings());
        log.append(4, {Substrate::FE, 1});
        log.append(4, {Substrate::FE, 2});
        log.append(4, {Substrate::AL, 7});
        QVERIFY(log.unsavedReadings());
        QCOMPARE(log.lines(4).last(), QStringLiteral("AL 7 µm"));
        log.removeAt(4, 0);
        log.removeAt(4, 0);
        log.removeAt(4, 0);
        log.removeAt(4, 0); // nothing left: ignored
        QCOMPARE(log.count(4), 0);
        QVERIFY(log.unsavedReadings()); // deleting keeps the mark
        log.append(0, {Substrate::FE, 9});
        log.clearAll();
        QCOMPARE(log.count(0), 0);
        QVERIFY(!log.unsavedReadings());
    }

    void selectionAfterDelete()
    {
        QCOMPARE(ReadingLog::selectionAfterDelete(0, 2), 0);  // first of three
        QCOMPARE(ReadingLog::selectionAfterDelete(2, 2), 1);  // last of three
        QCOMPARE(ReadingLog::selectionAfterDelete(0, 0), -1); // the only one
    }

    void steppingStopsAtTheEnds()
    {
        MeasuringList list;
        QCOMPARE(list.currentPoint(), -1);
        QVERIFY(!list.stepForward());
        list.fill({3, 12, 13, 14});
        QCOMPARE(list.currentPoint(), 3);
        QVERIFY(list.atFirst());
        QVERIFY(!list.stepBack());
        QVERIFY(list.stepForward());
        QVERIFY(list.stepForward());
        QVERIFY(list.stepForward());
        QVERIFY(list.atLast());
        QVERIFY(!list.stepForward());
        QCOMPARE(list.currentPoint(), 14);
        list.select(1);
        QCOMPARE(list.currentPoint(), 12);
    }
};

QTEST_APPLESS_MAIN(TestReadingLog)
#include "tst_readinglog.moc"
