#include <QTest>

#include "Cp1250.h"
#include "PointCatalogue.h"
#include "VehicleCategories.h"

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

    void mandatoryPointsAndSoundFiles()
    {
        for (int i = 0; i < PointCatalogue::kPointCount; ++i)
            QCOMPARE(PointCatalogue::isMandatory(i), i >= 12 && i <= 14);
        QCOMPARE(PointCatalogue::soundFile(22), QStringLiteral("hang\\RIGHT_REAR_WING.wav"));
        QCOMPARE(PointCatalogue::soundFile(0), QStringLiteral("hang\\LEFT_FRONT_WING.wav"));
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
