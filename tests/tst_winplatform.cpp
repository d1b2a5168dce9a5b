// The Windows services behind the platform layer, on the real system (under
// Wine in scripts/test-windows): the speaker beep, the registry's 32-bit view,
// the shell's elevated start of the setup program, and the program's subsystem.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "JavaAddonCheck.h"
#include "RegistryFixture.h"
#include "SystemShell.h"
#include "WinBeeper.h"

#include <qt_windows.h>
#include <shellapi.h>
#include <winver.h>

namespace {

// A text of the executable's version information ("ProductName", ...).
QString versionText(const QString &exe, const QString &name)
{
    const std::wstring path = QDir::toNativeSeparators(exe).toStdWString();
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    if (size == 0)
        return {};
    QByteArray info(int(size), '\0');
    if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data()))
        return {};
    const std::wstring key =
        QString(QStringLiteral("\\StringFileInfo\\040E04E2\\") + name).toStdWString();
    wchar_t *text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void **>(&text), &length))
        return {};
    return QString::fromWCharArray(text, int(length)).remove(QChar(0));
}

} // namespace

class TestWinPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Both programs show their icon in Explorer and tell their version.
    void theExecutablesCarryIconAndVersion()
    {
        for (const QString &exe :
             {QStringLiteral(KFZ_PROGRAM), QStringLiteral(KFZ_ARCHIVE_PROGRAM)}) {
            const std::wstring path = QDir::toNativeSeparators(exe).toStdWString();
            QVERIFY2(ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0) >= 1, qPrintable(exe));
            QCOMPARE(versionText(exe, QStringLiteral("ProductName")),
                     QStringLiteral("KromaglenForZov"));
            QVERIFY(!versionText(exe, QStringLiteral("FileVersion")).isEmpty());
        }
    }

    void aBeepLastsItsLength()
    {
        WinBeeper beeper;
        QElapsedTimer clock;
        clock.start();
        beeper.Beep(600, 300);
        QVERIFY2(clock.elapsed() >= 295, qPrintable(QString::number(clock.elapsed())));
    }

    // A 32-bit Java registers itself in the registry's 32-bit view.
    void aJavaInThe32BitViewIsFound()
    {
        const QByteArray reg = "Windows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Web Start]\r\n"
                               "\"CurrentVersion\"=\"1.8\"\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Web Start\\1.8]\r\n"
                               "\"Home\"=\"C:\\\\J32\\\\bin\"\r\n";
        const RegistryFixture r(reg, RegistryFixture::View::Wow32);
        const JavaAddonStatus s = JavaAddon::check(r.registry());
        QVERIFY(s.runtimeFound);
        QCOMPARE(s.addonPath, QStringLiteral("C:\\J32\\lib\\ext\\KromaglenForZov.jar"));
    }

    void theSetupProgramStartsThroughTheShell()
    {
        QTemporaryDir dir;
        const QString setup = dir.filePath(JavaAddon::kSetupProgram);
        QVERIFY(QFile::copy(QStringLiteral(KFZ_TOUCH_BESIDE), setup));
        QElapsedTimer clock;
        clock.start();
        SystemShell().runElevated(QDir::toNativeSeparators(setup));
        QVERIFY(clock.elapsed() < 5000); // does not wait for the program
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("ran")), 20000);

        // A missing program: nothing happens, nothing hangs.
        clock.restart();
        SystemShell().runElevated(QDir::toNativeSeparators(dir.filePath("missing.exe")));
        QVERIFY(clock.elapsed() < 5000);
    }

    // A window program: Windows opens no console window beside it.
    void theProgramIsAWindowProgram()
    {
        QFile exe(QStringLiteral(KFZ_PROGRAM));
        QVERIFY(exe.open(QIODevice::ReadOnly));
        const QByteArray head = exe.read(4096);
        QVERIFY(head.startsWith("MZ"));
        const quint32 pe = qFromLittleEndian<quint32>(head.constData() + 0x3C);
        QVERIFY(pe + 0x5E < quint32(head.size()));
        QCOMPARE(head.mid(pe, 4), QByteArray("PE\0\0", 4));
        // The optional header starts 24 bytes into the PE header; its
        // Subsystem field is 68 bytes into it.
        QCOMPARE(qFromLittleEndian<quint16>(head.constData() + pe + 24 + 68),
                 quint16(IMAGE_SUBSYSTEM_WINDOWS_GUI));
    }
};

QTEST_GUILESS_MAIN(TestWinPlatform)
#include "tst_winplatform.moc"
