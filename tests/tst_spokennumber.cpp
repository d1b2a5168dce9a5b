#include <QTest>

#include "SpokenNumber.h"

class TestSpokenNumber : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordings_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("said");
        const QList<std::pair<const char *, const char *>> table{
            {"0", "SZ_0"},
            {"7", "SZ_7"},
            {"10", "SZ_TIZ"},
            {"15", "SZ_10 SZ_5"},
            {"20", "SZ_HUSZ"},
            {"25", "SZ_20 SZ_5"},
            {"30", "SZ_30"},
            {"99", "SZ_90 SZ_9"},
            {"100", "SZ_100"},
            {"101", "SZ_100 SZ_1"},
            {"110", "SZ_100 SZ_TIZ"},
            {"120", "SZ_100 SZ_HUSZ"},
            {"200", "SZ_2 SZ_100"},
            {"999", "SZ_9 SZ_100 SZ_90 SZ_9"},
            {"1000", "SZ_1000"},
            {"1005", "SZ_1000 SZ_5"},
            {"1010", "SZ_1000 SZ_TIZ"},
            {"1020", "SZ_1000 SZ_HUSZ"},
            {"1100", "SZ_1000 SZ_100"},
            {"1234", "SZ_1000 SZ_2 SZ_100 SZ_30 SZ_4"},
            {"2000", "SZ_2 SZ_1000"},
            {"2020", "SZ_2 SZ_1000 SZ_HUSZ"},
            {"9999", "SZ_9 SZ_1000 SZ_9 SZ_100 SZ_90 SZ_9"},
            {"10000", ""},
            {"12345", ""},
            {"", ""}};
        for (const auto &[value, said] : table)
            QTest::newRow(value) << QString::fromLatin1(value) << QString::fromLatin1(said);
    }

    void recordings()
    {
        QFETCH(QString, value);
        QFETCH(QString, said);
        QCOMPARE(SpokenNumber::recordings(value).join(u' '), said);
    }

    void path()
    {
        QCOMPARE(SpokenNumber::recordingPath("SZ_TIZ"), QStringLiteral("hang\\SZ_TIZ.wav"));
    }
};

QTEST_APPLESS_MAIN(TestSpokenNumber)
#include "tst_spokennumber.moc"
