#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

#include "Cp1250.h"
#include "PointCatalogue.h"
#include "VehicleCategories.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

// The system's own conversion of one byte of code page 1250, where it has one:
// the Windows code page tables, or ICU elsewhere.
std::optional<QString> systemDecode(char byte)
{
#ifdef Q_OS_WIN
    wchar_t out[4];
    const int n = MultiByteToWideChar(1250, 0, &byte, 1, out, 4);
    if (n <= 0)
        return std::nullopt;
    return QString::fromWCharArray(out, n);
#else
    QStringDecoder decoder("windows-1250");
    if (!decoder.isValid())
        return std::nullopt;
    return decoder.decode(QByteArrayView(&byte, 1));
#endif
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pointIdsAreUniqueAndFoundExactly()
    {
        QSet<QString> ids;
        for (int i = 0; i < PointCatalogue::kPointCount; ++i) {
            ids.insert(PointCatalogue::pointId(i));
            QCOMPARE(PointCatalogue::indexOfPointId(PointCatalogue::pointId(i)), i);
        }
        QCOMPARE(ids.size(), PointCatalogue::kPointCount);
        QCOMPARE(PointCatalogue::indexOfPointId(u"left_front_wing"), std::nullopt);
        QCOMPARE(PointCatalogue::indexOfPointId(u"LEFT_FRONT_WING "), std::nullopt);
        QCOMPARE(PointCatalogue::indexOfPointId(u""), std::nullopt);
    }

    void textsSurviveTheCodePage()
    {
        QCOMPARE(PointCatalogue::displayName(0), QStringLiteral("Bal első sárvédő"));
        QCOMPARE(Cp1250::encode(PointCatalogue::displayName(0)),
                 QByteArray("Bal els\xF5 s\xE1rv\xE9"
                            "d\xF5"));
        QCOMPARE(Cp1250::encode(u" µm"), QByteArray(" \xB5m"));
        QCOMPARE(Cp1250::decode("\xB5"), QStringLiteral("µ"));
        for (int i = 0; i < PointCatalogue::kPointCount; ++i) {
            const QString d = PointCatalogue::description(i);
            QCOMPARE(Cp1250::decode(Cp1250::encode(d)), d);
        }
        QCOMPARE(PointCatalogue::description(13),
                 QStringLiteral("Festékrétegvastagság értékei az alvázszám hordozóelemen, az "
                                "alvázszám megjelenés környezetében."));
    }

    void everyByteOfTheCodePage()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = Cp1250::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(Cp1250::encode(text), all);
        for (int b = 0; b < 256; ++b) {
            const auto expected = systemDecode(char(b));
            if (!expected)
                QSKIP("no code page 1250 converter on this system to compare with");
            QVERIFY2(text.sliced(b, 1) == *expected, qPrintable(QString::number(b, 16)));
        }
        // Hungarian's own letters and the micro sign, whatever the converter says.
        QCOMPARE(Cp1250::encode(u"őŐűŰáéíóöúüµ€"),
                 QByteArray("\xF5\xD5\xFB\xDB\xE1\xE9\xED\xF3\xF6\xFA\xFC\xB5\x80"));
        // The undefined bytes stay what they were.
        QCOMPARE(Cp1250::decode("\x81\x83\x88\x90\x98"),
                 QStringLiteral("\u0081\u0083\u0088\u0090\u0098"));
    }

    void charactersOutsideTheCodePage()
    {
        // Characters without a byte become SUB, one per character, never a
        // lookalike: "ÿ" is not "y", and a character beyond 16 bits is one SUB.
        QCOMPARE(Cp1250::encode(u"a\u4E2D\u00FF\U0001F600\u00C5z"),
                 QByteArray("a\x1A\x1A\x1A\x1Az"));
        QCOMPARE(Cp1250::encode(u"\xD800x"), QByteArray("\x1Ax"));
#ifndef Q_OS_WIN
        QStringEncoder icu("windows-1250");
        if (!icu.isValid())
            QSKIP("no ICU converter to compare with");
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if (c >= 0xD800 && c < 0xE000)
                continue;
            const QString one = QChar(char16_t(c));
            const QByteArray expected = icu.encode(one);
            // ICU drops invisible format characters; they too become SUB here.
            QVERIFY2(Cp1250::encode(one) == (expected.isEmpty() ? "\x1A" : expected),
                     qPrintable(QString::number(c, 16)));
        }
#endif
    }

    // The points no plan may leave out are the vehicle identification
    // number's, known by what they are; each point's recording is named by
    // its identifier, no two points share one.
    void mandatoryPointsAndSoundFiles()
    {
        QStringList mandatory;
        QSet<QString> files;
        for (int i = 0; i < PointCatalogue::kPointCount; ++i) {
            if (PointCatalogue::isMandatory(i))
                mandatory.append(PointCatalogue::pointId(i));
            QCOMPARE(PointCatalogue::isMandatory(i),
                     PointCatalogue::displayName(i).startsWith(u"Alvázszám"));
            files.insert(PointCatalogue::soundFile(i));
        }
        QCOMPARE(mandatory, (QStringList{"VIN", "VIN_SURF", "VIN_SURF_FIT"}));
        QVERIFY(!PointCatalogue::isMandatory(-1));
        QVERIFY(!PointCatalogue::isMandatory(PointCatalogue::kPointCount));
        QCOMPARE(files.size(), PointCatalogue::kPointCount);
        QCOMPARE(PointCatalogue::soundFile(*PointCatalogue::indexOfPointId(u"RIGHT_REAR_WING")),
                 QStringLiteral("hang\\RIGHT_REAR_WING.wav"));
    }

    void findVehicleCategory_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("row"); // -1: no row
        QTest::newRow("M1 not M1G") << "M1" << 13;
        QTest::newRow("N3G") << "N3G" << 24;
        QTest::newRow("longer prefix") << QStringLiteral("M1 - sz") << 13;
        QTest::newRow("L stops at LJ") << "L" << 5;
        QTest::newRow("lower case") << "m1" << -1;
        QTest::newRow("empty is row 0") << "" << 0;
        QTest::newRow("unknown") << "X9" << -1;
        QTest::newRow("whole row") << VehicleCategoryTable::row(45) << 45;
        QTest::newRow("longer than row") << VehicleCategoryTable::row(13) + "x" << -1;
        QTest::newRow("accented prefix") << QStringLiteral("LJ - lassú") << 5;
    }

    void findVehicleCategory()
    {
        QFETCH(QString, code);
        QFETCH(int, row);
        const auto found = VehicleCategoryTable::FindVehicleCategory(code);
        if (row < 0)
            QVERIFY(!found);
        else
            QCOMPARE(found, VehicleCategoryTable::row(row));
    }

    void categoryTableIsAsStored()
    {
        QCOMPARE(VehicleCategoryTable::row(13), QStringLiteral("M1 - személygépkocsi"));
        QCOMPARE(VehicleCategoryTable::row(5), QStringLiteral("LJ - lassú jármű"));
        // No row is the beginning of another, so a whole row finds itself.
        for (int i = 0; i < VehicleCategoryTable::kRowCount; ++i)
            QCOMPARE(VehicleCategoryTable::FindVehicleCategory(VehicleCategoryTable::row(i)),
                     VehicleCategoryTable::row(i));
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
