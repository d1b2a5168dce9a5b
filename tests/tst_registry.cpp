#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "Cp1250.h"
#include "Failure.h"
#include "FileRegistry.h"
#include "GaugeDiscovery.h"
#include "JavaAddonCheck.h"
#include "ProcessUsage.h"
#include "RegistryFixture.h"
#include "Timing.h"

namespace {

const QByteArray kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const QByteArray kBth =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\BTHPORT\\Parameters";
const QByteArray kEnum = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\BTHENUM";

QByteArray hexText(const QByteArray &text)
{
    QByteArray out = "hex:";
    for (int i = 0; i < text.size(); ++i)
        out += (i ? "," : "") + QByteArray::number(quint8(text.at(i)), 16).rightJustified(2, '0');
    return out + ",00";
}

// A paired device with one serial service, and its enumeration instance.
QByteArray pairedGauge(const QByteArray &address, const QByteArray &name, const QByteArray &port,
                       const QByteArray &service = "Bluetooth Serial Port")
{
    const QByteArray device = "[" + kBth + "\\Devices\\" + address + "]\r\n";
    return device + "\"Name\"=" + hexText(name) + "\r\n" + "[" + kBth + "\\Devices\\" + address +
           "\\ServicesFor" + address + "\\Record\\0001]\r\n" +
           "\"PriLangServiceName\"=" + hexText(service) + "\r\n" + "[" + kEnum +
           "\\{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&0000\\7&1&0001_" + address.toUpper() +
           "_C00000000\\Device Parameters]\r\n\"PortName\"=\"" + port + "\"\r\n";
}

QByteArray localService(const QByteArray &key, const QByteArray &name, const QByteArray &addr8,
                        const QByteArray &address, const QByteArray &port)
{
    return "[" + kBth + "\\LocalServices\\{00001101}\\" + key + "]\r\n\"ServiceName\"=\"" + name +
           "\"\r\n\"AssocBdAddr\"=hex:" + addr8 + "\r\n[" + kEnum + "\\{00001101}_LOCALMFG\\8&" +
           address + "_0\\Device Parameters]\r\n\"PortName\"=\"" + port + "\"\r\n";
}

QString failureOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Failure &e) {
        return e.text();
    }
    return QStringLiteral("<no failure>");
}

const QStringList kPorts{"COM5", "COM6", "COM7"};

#ifdef Q_OS_WIN
constexpr bool kOnWindows = true;
#else
constexpr bool kOnWindows = false;
#endif

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Memory and time grow with the file, not with the depth of its keys:
    // one key 20,000 levels deep, followed by many values in it, costs about
    // what a file of the same size with one key does.
    void deepKeysCostTheirSizeOnly()
    {
        constexpr int kDepth = 20000;
        const QByteArray values = QByteArray("\"v\"=dword:00000001\r\n").repeated(kDepth);
        const QByteArray path = "HKEY_LOCAL_MACHINE" + QByteArray("\\a").repeated(kDepth);
        const QByteArray file = kHeader + "[" + path + "]\r\n" + values;
        const QByteArray flat =
            kHeader + "[HKEY_LOCAL_MACHINE\\" + QByteArray(2 * kDepth - 1, 'a') + "]\r\n" + values;
        const qint64 flatNs = Timing::fastestNs(3, [&flat] { FileRegistry::fromBytes(flat); });
        const qint64 deepNs = Timing::fastestNs(3, [&file] { FileRegistry::fromBytes(file); });
        const qint64 before = residentBytes();
        const FileRegistry registry = FileRegistry::fromBytes(file);
        const qint64 grown = residentBytes() - before;
        QVERIFY2(deepNs < 10 * flatNs + 20'000'000,
                 qPrintable(QStringLiteral("one key: %1 ms, %2 levels: %3 ms")
                                .arg(flatNs / 1e6)
                                .arg(kDepth)
                                .arg(deepNs / 1e6)));
        QVERIFY2(grown < 64 * 1024 * 1024, qPrintable(QStringLiteral("%1 MB").arg(grown >> 20)));
        const QString deepest = QString::fromLatin1(path.mid(19));
        QVERIFY(registry.keyExists(deepest));
        QCOMPARE(registry.subkeys(deepest.chopped(2)), QStringList{"a"});
        QCOMPARE(registry.value(deepest.toUpper(), "V")->dword, 1u);
        QVERIFY(registry.errors().isEmpty());
    }

    void parsesWhatRegeditExports()
    {
        const FileRegistry r = FileRegistry::fromBytes(
            kHeader +
            "; a comment\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
            "@=\"default\"\r\n\"Path\"=\"C:\\\\J\\\\bin\"\r\n\"Quote\"=\"a \\\"b\\\"\"\r\n"
            "\"Bin\"=hex:01,02,\\\r\n  03,ff\r\n\"Num\"=dword:0000002a\r\n"
            "\"Multi\"=hex(7):41,00,00,00\r\n\"Sz\"=hex(1):41,00,42,00,00,00\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Child]\r\n"
            "[HKEY_CURRENT_USER\\Other]\r\n\"X\"=\"y\"\r\n");
        QVERIFY(r.errors().isEmpty());
        QCOMPARE(r.value("\\SOFTWARE\\Test", "")->text, QStringLiteral("default"));
        QCOMPARE(r.value("software\\test", "PATH")->text, QStringLiteral("C:\\J\\bin"));
        QCOMPARE(r.value("SOFTWARE\\Test", "Quote")->text, QStringLiteral("a \"b\""));
        QCOMPARE(r.value("SOFTWARE\\Test", "Bin")->bytes, QByteArray("\x01\x02\x03\xff"));
        QCOMPARE(r.value("SOFTWARE\\Test", "Num")->dword, 42u);
        QCOMPARE(r.value("SOFTWARE\\Test", "Multi")->type, Registry::Value::Type::Other);
        QCOMPARE(r.value("SOFTWARE\\Test", "Sz")->text, QStringLiteral("AB"));
        QCOMPARE(r.subkeys("SOFTWARE"), QStringList{"Test"});
        QCOMPARE(r.subkeys("SOFTWARE\\Test"), QStringList{"Child"});
        QVERIFY(!r.keyExists("Other"));
    }

    void readsUtf16WithByteOrderMark()
    {
        const QString text = QString::fromUtf8(
            kHeader +
            "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n\"a\"=\"COM5\"\r\n");
        QByteArray bytes("\xFF\xFE");
        bytes += QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        const FileRegistry r = FileRegistry::fromBytes(bytes);
        QCOMPARE(r.value("HARDWARE\\DEVICEMAP\\SERIALCOMM", "a")->text, QStringLiteral("COM5"));
    }

    // The older export format is in the code page: an accented device name
    // and port read as written, also inside a hex(2) string. A hand-written
    // current-format file is UTF-8.
    void readsRegedit4InTheCodePage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("registry.reg");
        // As a station's regedit wrote it: code page bytes, not UTF-8.
        QByteArray bytes = QByteArray("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\") +
                           Cp1250::encode(u"Mérő") + "]\r\n\"" + Cp1250::encode(u"Név") + "\"=\"" +
                           Cp1250::encode(u"Árvíztűrő") + "\"\r\n\"Sz\"=hex(2):c1,72,f5,00\r\n";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const FileRegistry r = FileRegistry::fromFile(path);
        QVERIFY2(r.errors().isEmpty(), qPrintable(r.errors().join('\n')));
        QCOMPARE(r.source(), path); // named to the user by the port search
        QCOMPARE(r.subkeys("SOFTWARE"), QStringList{QStringLiteral("Mérő")});
        QCOMPARE(r.value(QStringLiteral("SOFTWARE\\Mérő"), QStringLiteral("Név"))->text,
                 QStringLiteral("Árvíztűrő"));
        QCOMPARE(r.value(QStringLiteral("SOFTWARE\\Mérő"), "Sz")->text, QStringLiteral("Árő"));

        const FileRegistry current = FileRegistry::fromBytes(
            kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Mérő]\r\n\"Név\"=\"Árvíztűrő\"\r\n");
        QCOMPARE(current.value(QStringLiteral("SOFTWARE\\Mérő"), QStringLiteral("Név"))->text,
                 QStringLiteral("Árvíztűrő"));
    }

    void malformedLinesAreSkippedAndNoted()
    {
        const FileRegistry r = FileRegistry::fromBytes(
            kHeader + "[HKEY_LOCAL_MACHINE\\A\r\n\"x\"=\"unterminated\r\ngarbage\r\n"
                      "[HKEY_LOCAL_MACHINE\\B]\r\n\"bad\"=hex:zz\r\n\"d\"=dword:123456789\r\n"
                      "\"ok\"=\"yes\"\r\n");
        QCOMPARE(r.errors().size(), 5);
        QCOMPARE(r.value("B", "ok")->text, QStringLiteral("yes"));
        QVERIFY(!r.value("B", "bad"));
        QVERIFY(FileRegistry::fromFile("/nonexistent/kfz.reg").errors().isEmpty());
    }

    void deviceSearchFindsPairedGauges()
    {
        const RegistryFixture r(kHeader + pairedGauge("0012a1b2c3d4", "KROMAGLEN 1", "COM7") +
                                pairedGauge("00aabbccddee", "My KROMAGLEN", "COM5") +
                                pairedGauge("001122334455", "kromaglen small", "COM6") +
                                pairedGauge("00998877aabb", "KROMAGLEN far", "COM9"));
        QStringList entries;
        QCOMPARE(failureOf([&] { GaugeDiscovery(r.registry()).DeviceKeySearch(kPorts, entries); }),
                 QStringLiteral("<no failure>"));
        QCOMPARE(entries, (QStringList{"COM5: My KROMAGLEN", "COM7: KROMAGLEN 1"}));
        // A second search adds nothing twice.
        GaugeDiscovery(r.registry()).DeviceKeySearch(kPorts, entries);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(GaugeDiscovery::portOfEntry(entries.last()), QStringLiteral("COM7"));
    }

    void deviceSearchFailures()
    {
        const auto search = [](const QByteArray &content) {
            return failureOf([&content] {
                QStringList entries;
                const RegistryFixture r(kHeader + content);
                GaugeDiscovery(r.registry()).DeviceKeySearch(kPorts, entries);
            });
        };
        QCOMPARE(search(""), QStringLiteral("Nincs bluetooth telepítve!"));
        QCOMPARE(search("[" + kBth + "\\Devices]\r\n"),
                 QStringLiteral("Nem lett még csatlakoztatva Kromaglen!"));
        QCOMPARE(search(pairedGauge("0012a1b2c3d4", "KROMAGLEN", "COM9")),
                 QStringLiteral("Nem lett még csatlakoztatva Kromaglen, vagy a bluetooth nincs "
                                "bedugva!"));
        QCOMPARE(search(pairedGauge("0012a1b2c3d4", "KROMAGLEN", "COM5", "Audio")),
                 QStringLiteral("Nem lett még csatlakoztatva Kromaglen!"));
        const QByteArray servicesFor =
            "[" + kBth + "\\Devices\\0012a1b2c3d4]\r\n\"Name\"=" + hexText("KROMAGLEN") + "\r\n[" +
            kBth + "\\Devices\\0012a1b2c3d4\\ServicesFor1\\R1]\r\n[" + kBth +
            "\\Devices\\0012a1b2c3d4\\ServicesFor1\\R2]\r\n";
        QCOMPARE(search(servicesFor), QStringLiteral("Bluetooth regisztrációs hiba!"));
        QCOMPARE(search("[" + kBth + "\\Devices\\01]\r\n\"Name\"=\"text\"\r\n"),
                 QStringLiteral("Invalid data type for 'Name'"));
    }

    void localServiceSearch()
    {
        QStringList entries{"COM9: old"};
        {
            const RegistryFixture r(
                kHeader +
                localService("0000", "kromaglen?", "00,00,00,00,00,00,00,00", "x", "COM5") +
                localService("0001", "KROMAGLEN SPP", "d4,c3,b2,a1,12,00,00,00", "0012A1B2C3D4",
                             "COM6"));
            GaugeDiscovery(r.registry()).LocalServiceSearch(kPorts, entries);
            QCOMPARE(entries, QStringList{"COM6: KROMAGLEN SPP"});
        }
        // The address is read into 8 bytes: a shorter value is no address, a
        // longer one does not fit and fails as a registry read.
        const auto search = [&entries](const QByteArray &addr8) {
            const RegistryFixture r(kHeader +
                                    localService("0001", "KROMAGLEN", addr8, "x", "COM6"));
            return failureOf(
                [&] { GaugeDiscovery(r.registry()).LocalServiceSearch(kPorts, entries); });
        };
        QCOMPARE(search("d4,c3"), QStringLiteral("Nincs bluetooth telepítve!"));
        QCOMPARE(search("d4,c3,b2,a1,12,00,00,00,00"),
                 QStringLiteral("Invalid data type for 'AssocBdAddr'"));
    }

    void javaAddon()
    {
        QTemporaryDir dir;
        const QString home = dir.filePath("jre/bin");
        QDir().mkpath(home);
        const QByteArray reg = kHeader +
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Web Start]\r\n"
                               "\"CurrentVersion\"=\"1.8\"\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Web Start\\1.8]\r\n"
                               "\"Home\"=\"" +
                               home.toUtf8() + "\"\r\n";
        JavaAddonStatus s = JavaAddon::check(RegistryFixture(reg).registry());
        QVERIFY(s.runtimeFound);
        QCOMPARE(s.runtimeFolder, dir.filePath("jre"));
        QVERIFY(!s.addonPresent);
        QDir().mkpath(dir.filePath("jre/lib/ext"));
        QFile jar(dir.filePath("jre/lib/ext/KromaglenForZov.jar"));
        QVERIFY(jar.open(QIODevice::WriteOnly));
        jar.close();
        QVERIFY(JavaAddon::check(RegistryFixture(reg).registry()).addonPresent);

        const QByteArray windows = QByteArray(reg).replace(home.toUtf8(), "C:\\\\J\\\\bin");
        s = JavaAddon::check(RegistryFixture(windows).registry());
        QCOMPARE(s.addonPath, QStringLiteral("C:\\J\\lib\\ext\\KromaglenForZov.jar"));

        s = JavaAddon::check(RegistryFixture(kHeader).registry());
        QVERIFY(!s.runtimeFound);
        QVERIFY(!s.addonPresent);
        // Only the version key: the folder holds the version text.
        s = JavaAddon::check(
            RegistryFixture(reg.left(reg.indexOf(
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Web Start\\1.8]")))
                .registry());
        QCOMPARE(s.runtimeFolder, QStringLiteral("1.8"));
        QCOMPARE(JavaAddon::applies(RegistryFixture(kHeader).registry()), kOnWindows);
        QVERIFY(JavaAddon::applies(
            RegistryFixture(kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft]\r\n").registry()));
        QCOMPARE(JavaAddon::setupProgramPath("/opt/kfz"),
                 QDir::toNativeSeparators("/opt/kfz/KromaglenForZov_JAVA_Javito_Setup.exe"));
    }
};

QTEST_MAIN(TestRegistry)
#include "tst_registry.moc"
