// The Windows services behind the platform layer, on the real system (under
// Wine in scripts/test-windows): the speaker beep, the registry's 32-bit view,
// the shell's elevated start of the setup program, and the program's subsystem.
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

class TestWinPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
