#pragma once

#include "FileRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#ifdef Q_OS_WIN
#include "WinRegistry.h"

#include <qt_windows.h>
#include <string>
#endif

// The registry a test reads, made from the text of a registry-export file.
// The text is written to a .reg file as regedit writes it (UTF-16 with a byte
// order mark); on Windows that file is imported into the machine's registry
// with "reg import" and read back through the real registry, elsewhere it is
// read by FileRegistry. The keys the gauge search and the Java check read are
// emptied before each import and again at the end.
class RegistryFixture
{
public:
    // Wow32: imported into the registry's 32-bit view (on Windows).
    enum class View { Native, Wow32 };

    explicit RegistryFixture(const QByteArray &regText, View view = View::Native)
    {
        const QString text = QString::fromUtf8(regText);
        QByteArray utf16("\xFF\xFE");
        utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        const QString path = m_dir.filePath(QStringLiteral("test.reg"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(utf16) != utf16.size())
            qFatal("cannot write %s", qPrintable(path));
        file.close();
#ifdef Q_OS_WIN
        clear();
        QStringList import{QStringLiteral("import"), QDir::toNativeSeparators(path)};
        if (view == View::Wow32)
            import.append(QStringLiteral("/reg:32"));
        if (runReg(import) != 0)
            qFatal("reg import %s failed", qPrintable(path));
        m_registry = std::make_unique<WinRegistry>();
#else
        Q_UNUSED(view);
        m_registry = std::make_unique<FileRegistry>(FileRegistry::fromFile(path));
#endif
    }

    ~RegistryFixture()
    {
#ifdef Q_OS_WIN
        clear();
#endif
    }

    const Registry &registry() const
    {
        return *m_registry;
    }

private:
#ifdef Q_OS_WIN
    // reg.exe started and awaited directly: QProcess's wait callbacks on the
    // system thread pool crashed now and then under Wine while the fixture
    // ran it dozens of times in a row.
    static int runReg(const QStringList &args)
    {
        QString line = QStringLiteral("reg.exe");
        for (const QString &arg : args)
            line += QStringLiteral(" \"") + arg + u'"';
        std::wstring command = line.toStdWString();
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                            nullptr, nullptr, &startup, &process))
            return -1;
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return int(code);
    }

    static void clear()
    {
        for (const char *key :
             {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\BTHPORT",
              "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\BTHENUM", "HKLM\\SOFTWARE\\JavaSoft"}) {
            for (const char *view : {"/reg:64", "/reg:32"})
                runReg({QStringLiteral("delete"), QString::fromLatin1(key), QStringLiteral("/f"),
                        QString::fromLatin1(view)});
        }
    }
#endif

    QTemporaryDir m_dir;
    std::unique_ptr<Registry> m_registry;
};
