#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "Failure.h"
#include "PlanPresets.h"

namespace {

QByteArray catalogueLine(const QByteArray &name)
{
    QByteArray line = name;
    for (int i = 0; i < 23; ++i)
        line += ':' + QByteArray::number(i) + ":I";
    return line;
}

PlanSnapshot cataloguePlan()
{
    PlanSnapshot s{};
    for (int i = 0; i < 23; ++i)
        s[size_t(i)] = {i, true};
    return s;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

} // namespace

class TestPresets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesGoodLines()
    {
        const QByteArray file =
            catalogueLine("Alap") + "\r\n\r\n" + catalogueLine("B\xE1la") + ":extra:stuff\r\n";
        const QList<PlanPreset> presets = PresetsFile::parse(file);
        QCOMPARE(presets.size(), 2);
        QCOMPARE(presets[0].name, QStringLiteral("Alap"));
        QCOMPARE(presets[0].entries, cataloguePlan());
        QCOMPARE(presets[1].name, QStringLiteral("Bála"));
    }

    void refusesBadLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("reason");
        QByteArray twentyTwo = "Alap";
        for (int i = 0; i < 22; ++i)
            twentyTwo += ':' + QByteArray::number(i) + ":I";
        QByteArray lower = catalogueLine("Alap");
        lower[lower.size() - 1] = 'i';
        QTest::newRow("22 pairs") << twentyTwo << "EConvertError: '' is not a valid integer value";
        QTest::newRow("lower-case flag")
            << lower << QStringLiteral("Exception: Érvénytelen karakter! (i)");
        QTest::newRow("flag IN") << catalogueLine("A").replace(":5:I", ":5:IN")
                                 << QStringLiteral("Exception: Érvénytelen karakter! (IN)");
        QTest::newRow("flag and blank")
            << catalogueLine("A") + " " << QStringLiteral("Exception: Érvénytelen karakter! (I )");
        QTest::newRow("index x") << catalogueLine("A").replace(":7:I", ":x:I")
                                 << "EConvertError: 'x' is not a valid integer value";
        QTest::newRow("no colon") << QByteArray("Alap")
                                  << "EConvertError: '' is not a valid integer value";
        QTest::newRow("index 23") << catalogueLine("A").replace(":22:I", ":23:I")
                                  << QStringLiteral(
                                         "Exception: Érvénytelen mérési pont sorszám! (23)");
        QTest::newRow("repeated") << catalogueLine("A").replace(":22:I", ":21:I")
                                  << QStringLiteral(
                                         "Exception: Ismétlődő mérési pont sorszám! (21)");
        QTest::newRow("huge index") << catalogueLine("A").replace(":0:I", ":99999999999:I")
                                    << "EConvertError: '99999999999' is not a valid integer value";
    }

    void refusesBadLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, reason);
        try {
            PresetsFile::parse(catalogueLine("Good") + "\r\n" + line + "\r\n");
            QFAIL("parsed a bad line");
        } catch (const Failure &f) {
            QCOMPARE(f.reason(), reason);
        }
    }

    void writesTheFileByteForByte()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Kromaglen.ini");
        PlanPresets presets(path);
        presets.load(); // missing file: empty, no failure
        QCOMPARE(presets.count(), 0);

        PlanSnapshot plan = cataloguePlan();
        plan[3].ticked = false;
        QCOMPARE(presets.save(QStringLiteral("Kombi:2"), plan).name, QStringLiteral("Kombi_2"));
        presets.save(QStringLiteral("alap"), cataloguePlan());
        QByteArray kombi = catalogueLine("Kombi_2").replace(":3:I", ":3:N");
        QCOMPARE(readAll(path), catalogueLine("alap") + "\r\n" + kombi + "\r\n");
        QCOMPARE(catalogueLine("alap").size(), 4 + 105);

        // Reusing a name keeps its stored spelling.
        const auto reused = presets.save(QStringLiteral("ALAP"), plan);
        QCOMPARE(reused.name, QStringLiteral("alap"));
        QCOMPARE(presets.count(), 2);
        QVERIFY(presets.canForget(QStringLiteral("KOMBI_2")));
        QVERIFY(!PlanPresets::canSave(QString()));

        QVERIFY(presets.forget(QStringLiteral("kombi_2")));
        QVERIFY(!presets.forget(QStringLiteral("nope")));
        QCOMPARE(readAll(path), catalogueLine("alap").replace(":3:I", ":3:N") + "\r\n");

        // Sorted ignoring case, names in code page 1250.
        presets.save(PlanPresets::kAutoPresetName, plan);
        presets.save(QStringLiteral("Bála"), plan);
        QCOMPARE(presets.at(0).name, PlanPresets::kAutoPresetName);
        QCOMPARE(presets.at(2).name, QStringLiteral("Bála"));
        QVERIFY(readAll(path).startsWith("-- automata ment\xE9s --:0:I"));

        PlanPresets again(path);
        again.load();
        QCOMPARE(again.presets().size(), 3);
        QCOMPARE(again.at(1).entries, plan);
    }

    void colonNameMatchingStoredNameReusesIt()
    {
        QTemporaryDir dir;
        PlanPresets presets(dir.filePath("Kromaglen.ini"));
        presets.save(QStringLiteral("A_B"), cataloguePlan());
        presets.save(QStringLiteral("a:b"), cataloguePlan());
        QCOMPARE(presets.count(), 1);
    }

    void failedLoadKeepsTheFileAsBackup()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Kromaglen.ini");
        const QByteArray broken = catalogueLine("Jo") + "\r\n" + "Rossz:0:i\r\n";
        writeAll(path, broken);
        PlanPresets presets(path);
        QVERIFY_THROWS_EXCEPTION(Failure, presets.load());
        QCOMPARE(presets.count(), 0);
        QCOMPARE(readAll(path), broken); // untouched by the load

        presets.save(QStringLiteral("Uj"), cataloguePlan());
        QCOMPARE(readAll(path + ".bak"), broken);
        QCOMPARE(readAll(path), catalogueLine("Uj") + "\r\n");
        // Only the first rewrite keeps a backup.
        presets.forget(QStringLiteral("Uj"));
        QCOMPARE(readAll(path + ".bak"), broken);
    }

    void failedWriteKeepsTheOldFileAndTheChange()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sub/Kromaglen.ini"); // folder does not exist
        PlanPresets presets(path);
        try {
            presets.save(QStringLiteral("X"), cataloguePlan());
            QFAIL("write did not fail");
        } catch (const Failure &f) {
            QCOMPARE(f.kind(), QStringLiteral("EInOutError"));
        }
        QCOMPARE(presets.count(), 1);
    }
};

QTEST_APPLESS_MAIN(TestPresets)
#include "tst_presets.moc"
