#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "Failure.h"
#include "PlanPresets.h"
#include "SafeFile.h"
#include "SettingsFile.h"
#include "SmallDisk.h"
#include "Timing.h"

#include <QElapsedTimer>

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

QString reasonOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const Failure &f) {
        return f.reason();
    }
    return QStringLiteral("<no failure>");
}

QStringList names(const PlanPresets &presets)
{
    QStringList out;
    for (const PlanPreset &p : presets.presets())
        out.append(p.name);
    return out;
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

    // Each way a settings file can fail carries the file layer's own text.
    void settingsFileFailuresCarryTheFileLayersTexts()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("Kromaglen.ini"));
        const QString folderInPlace = dir.filePath("Kromaglen.ini");
        QCOMPARE(reasonOf([&] { SettingsFile::read(folderInPlace); }),
                 QStringLiteral("EInOutError: File access denied"));
        QCOMPARE(reasonOf([&] { SettingsFile::write(folderInPlace, "x"); }),
                 QStringLiteral("EInOutError: File access denied"));
        QCOMPARE(reasonOf([&] { SettingsFile::read(dir.filePath("missing.ini")); }),
                 QStringLiteral("EInOutError: File not found"));
        // Code that knows only std::exception gets the same text.
        try {
            SettingsFile::read(dir.filePath("missing.ini"));
            QFAIL("reading a missing file did not fail");
        } catch (const std::exception &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("File not found"));
        }
        QCOMPARE(reasonOf([&] { SettingsFile::write(dir.filePath("no/such/x.ini"), "x"); }),
                 QStringLiteral("EInOutError: Invalid filename"));

#ifdef Q_OS_LINUX
        // A folder the user may not write to; its file stays as it was.
        const QString readOnly = dir.filePath("ro");
        QVERIFY(QDir(dir.path()).mkdir("ro"));
        writeAll(readOnly + "/Kromaglen.ini", "old\r\n");
        const QString writable = readOnly + "/Kromaglen_sound.ini";
        writeAll(writable, "Speaker\r\n");
        QFile::setPermissions(writable, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::WriteGroup | QFile::ReadOther |
                                            QFile::WriteOther);
        // The user below keeps root's group, so the group's bits are the ones
        // that count for it: it may pass both folders and add files to neither.
        const auto readAndPass = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                 QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(dir.path(), readAndPass | QFile::WriteOwner);
        QFile::setPermissions(readOnly, readAndPass);
        {
            const OrdinaryUserFiles asUser;
            QCOMPARE(reasonOf([&] { SettingsFile::write(readOnly + "/Kromaglen.ini", "new"); }),
                     QStringLiteral("EInOutError: File access denied"));
        }
        QCOMPARE(readAll(readOnly + "/Kromaglen.ini"), QByteArray("old\r\n"));

        // The same folder with a file the user may write: the settings file
        // is rewritten in place, while a file that must be replaced in one
        // step (the archive's) still fails and stays whole.
        {
            const OrdinaryUserFiles asUser;
            // The folder really refuses this user a new file.
            QFile probe(readOnly + "/probe");
            QVERIFY(!probe.open(QIODevice::WriteOnly));
            QCOMPARE(reasonOf([&] { SafeFile::write(writable, "Voice\r\n"); }),
                     QStringLiteral("EInOutError: File access denied"));
            QCOMPARE(readAll(writable), QByteArray("Speaker\r\n"));
            SettingsFile::write(writable, "Voice\r\n");
            QCOMPARE(readAll(writable), QByteArray("Voice\r\n"));
            // A new file still needs the folder.
            QCOMPARE(reasonOf([&] { SettingsFile::write(readOnly + "/new.ini", "x"); }),
                     QStringLiteral("EInOutError: File access denied"));
        }
        QCOMPARE(QDir(readOnly).entryList(QDir::Files),
                 QStringList({"Kromaglen.ini", "Kromaglen_sound.ini"}));
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
    }

    // A full disk fails the save with a word and leaves the old file whole.
    void fullDiskKeepsTheOldFile()
    {
        const SmallDisk disk;
        if (!disk.mounted())
            QSKIP(qPrintable(disk.reason()));
        const QString path = disk.filePath("Kromaglen.ini");
        const QByteArray old = catalogueLine("Alap") + "\r\n";
        writeAll(path, old);
        PlanPresets presets(path);
        presets.load();
        disk.fill();
        QCOMPARE(reasonOf([&] { presets.save(QStringLiteral("Bfordit"), cataloguePlan()); }),
                 QStringLiteral("EInOutError: I/O error 112"));
        QCOMPARE(readAll(path), old);
        QCOMPARE(presets.count(), 2); // the list keeps the change
        QCOMPARE(reasonOf([&] { SettingsFile::write(path, QByteArray(10000, 'x')); }),
                 QStringLiteral("EInOutError: I/O error 112"));
        QCOMPARE(readAll(path), old);
    }

    // Readers of text files end a line at CR, LF or CR LF: a stray CR before
    // the line end does not spoil the line.
    void strayCarriageReturnEndsTheLine()
    {
        const QList<PlanPreset> presets =
            PresetsFile::parse(catalogueLine("Alap") + "\r\r\n" + catalogueLine("Bfordit") + "\r" +
                               catalogueLine("C"));
        QCOMPARE(presets.size(), 3);
        QCOMPARE(presets[0].entries, cataloguePlan());
        QCOMPARE(presets[2].name, QStringLiteral("C"));
    }

    // Names sort as a Hungarian user expects, letter case ignored; the file
    // keeps the list's order.
    void presetsSortInHungarianOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Kromaglen.ini");
        QByteArray file;
        for (const char *name : {"Z\xF6ld", "\xC9va", "alap", "\xC1gy", "Bfordit", "cukor"})
            file += catalogueLine(name) + "\r\n";
        writeAll(path, file);
        PlanPresets presets(path);
        presets.load();
        const QStringList sorted = {QStringLiteral("Ágy"),     QStringLiteral("alap"),
                                    QStringLiteral("Bfordit"), QStringLiteral("cukor"),
                                    QStringLiteral("Éva"),     QStringLiteral("Zöld")};
        QCOMPARE(names(presets), sorted);
        presets.save(QStringLiteral("Ede"), cataloguePlan());
        QCOMPARE(names(presets).indexOf("Ede"), 4);
        const QList<PlanPreset> written = PresetsFile::parse(readAll(path));
        QCOMPARE(written.size(), 7);
        for (int i = 0; i < written.size(); ++i)
            QCOMPARE(written[i].name, presets.at(i).name);
    }

    // Loading is linear: ten times the presets take about ten times as long.
    void manyPresetsLoadQuickly()
    {
        QTemporaryDir dir;
        const auto fileOf = [&dir](int count) {
            const QString path = dir.filePath(QStringLiteral("%1.ini").arg(count));
            QByteArray file;
            for (int i = count; i > 0; --i)
                file += catalogueLine("Preset " + QByteArray::number(i)) + "\r\n";
            writeAll(path, file);
            return path;
        };
        const QString small = fileOf(4000);
        const QString large = fileOf(40000);
        PlanPresets presets(large);
        const qint64 smallNs = Timing::fastestNs(3, [&small] { PlanPresets(small).load(); });
        const qint64 largeNs = Timing::fastestNs(2, [&presets] { presets.load(); });
        QVERIFY2(Timing::growsLinearly(smallNs, largeNs),
                 qPrintable(QStringLiteral("4,000 presets %1 ms, 40,000 %2 ms")
                                .arg(smallNs / 1e6)
                                .arg(largeNs / 1e6)));
        QCOMPARE(presets.count(), 40000);
        QCOMPARE(presets.at(0).name, QStringLiteral("Preset 1"));
        QCOMPARE(presets.at(1).name, QStringLiteral("Preset 10"));
    }
};

QTEST_APPLESS_MAIN(TestPresets)
#include "tst_presets.moc"
