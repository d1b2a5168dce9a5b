#include <QTest>

#include "FrameScanner.h"

namespace {

QList<GaugeFrame> drain(FrameScanner &scanner)
{
    QList<GaugeFrame> frames;
    while (auto f = scanner.next())
        frames.append(*f);
    return frames;
}

} // namespace

using Frames = QList<GaugeFrame>;

class TestFrameScanner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chunks_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<QByteArray>("left");

        QTest::newRow("FE 123") << QList<QByteArray>{QByteArray(",FE\x7B\x00", 5)}
                                << Frames{GaugeFrame::reading(Substrate::FE, 123)} << QByteArray();
        QTest::newRow("AL 256") << QList<QByteArray>{QByteArray(",AL\x00\x01", 5)}
                                << Frames{GaugeFrame::reading(Substrate::AL, 256)} << QByteArray();
        QTest::newRow("FE 65535") << QList<QByteArray>{QByteArray(",FE\xFF\xFF")}
                                  << Frames{GaugeFrame::reading(Substrate::FE, 65535)}
                                  << QByteArray();
        QTest::newRow("three chunks")
            << QList<QByteArray>{",F", QByteArray("E\x10"), QByteArray("\x00", 1)}
            << Frames{GaugeFrame::reading(Substrate::FE, 16)} << QByteArray();
        QTest::newRow("noise and unknown code") << QList<QByteArray>{QByteArray("xx\x01,QQ,,ME")}
                                                << Frames{GaugeFrame::key()} << QByteArray();
        QTest::newRow("commas as value")
            << QList<QByteArray>{",FE,,"} << Frames{GaugeFrame::reading(Substrate::FE, 11308)}
            << QByteArray();
        QTest::newRow("two keys") << QList<QByteArray>{",ME,ME"}
                                  << Frames{GaugeFrame::key(), GaugeFrame::key()} << QByteArray();
        QTest::newRow("incomplete header waits")
            << QList<QByteArray>{"zz,A"} << Frames{} << QByteArray(",A");
        QTest::newRow("incomplete reading waits")
            << QList<QByteArray>{",FE\x01"} << Frames{} << QByteArray(",FE\x01");
        QTest::newRow("lower case is noise")
            << QList<QByteArray>{",fe\x01\x02,me"} << Frames{} << QByteArray("me");
        QTest::newRow("next frame completes a split one")
            << QList<QByteArray>{",AL", QByteArray("\x05\x00,ME", 5)}
            << Frames{GaugeFrame::reading(Substrate::AL, 5), GaugeFrame::key()} << QByteArray();
    }

    void chunks()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(Frames, frames);
        QFETCH(QByteArray, left);
        FrameScanner scanner;
        Frames got;
        for (const QByteArray &c : chunks) {
            scanner.append(c);
            got += drain(scanner);
        }
        QCOMPARE(got, frames);
        QCOMPARE(scanner.buffer(), left);
    }

    void threeChunksRecordOnlyAfterTheLast()
    {
        FrameScanner scanner;
        scanner.append(",F");
        QVERIFY(!scanner.next());
        scanner.append("E\x7B");
        QVERIFY(!scanner.next());
        scanner.append(QByteArray(1, '\0'));
        QCOMPARE(scanner.next(), GaugeFrame::reading(Substrate::FE, 123));
        scanner.append(",A");
        scanner.clear(); // a reconnect discards the incomplete header
        scanner.append("L\x01\x00");
        QVERIFY(!scanner.next());
    }

    void modeDecisions()
    {
        const GaugeFrame r = GaugeFrame::reading(Substrate::FE, 1);
        const GaugeFrame k = GaugeFrame::key();
        QCOMPARE(decideFrameAction(ReceiveMode::Measuring, r, false), FrameAction::Record);
        QCOMPARE(decideFrameAction(ReceiveMode::Measuring, r, true), FrameAction::Record);
        QCOMPARE(decideFrameAction(ReceiveMode::Measuring, k, false), FrameAction::StepForward);
        QCOMPARE(decideFrameAction(ReceiveMode::Measuring, k, true), FrameAction::NoMorePoints);
        QCOMPARE(decideFrameAction(ReceiveMode::Connect, r, false), FrameAction::RefuseReading);
        QCOMPARE(decideFrameAction(ReceiveMode::Connect, k, true), FrameAction::MenuKey);
    }
};

QTEST_APPLESS_MAIN(TestFrameScanner)
#include "tst_framescanner.moc"
