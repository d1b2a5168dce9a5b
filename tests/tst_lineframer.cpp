#include <QTest>

#include "LineFramer.h"

class TestLineFramer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyCrLfEndsALine()
    {
        LineFramer f;
        f.append("HO");
        QVERIFY(!f.next());
        f.append("OD\r");
        QVERIFY(!f.next());
        f.append("\nA\nB\rC\r\n\r\nrest");
        QCOMPARE(f.next(), QByteArray("HOOD"));
        QCOMPARE(f.next(), QByteArray("A\nB\rC"));
        QCOMPARE(f.next(), QByteArray(""));
        QVERIFY(!f.next());
        QVERIFY(!f.overflowed());
        QCOMPARE(f.takeRest(), QByteArray("rest"));
    }

    void longLinesOverflow()
    {
        LineFramer f;
        f.append(QByteArray(QByteArray(LineFramer::kMaxLineLength, 'x') + "\r\n"));
        QCOMPARE(f.next()->size(), LineFramer::kMaxLineLength);
        f.append(QByteArray(LineFramer::kMaxLineLength + 1, 'x'));
        QVERIFY(!f.next());
        QVERIFY(f.overflowed());
        f.append("\r\n");
        QVERIFY(!f.next());
        QVERIFY(f.overflowed());
    }
};

QTEST_APPLESS_MAIN(TestLineFramer)
#include "tst_lineframer.moc"
