#pragma once

#include "FileRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#ifdef Q_OS_WIN
#include "WinRegistry.h"

#include <QProcess>
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
        if (QProcess::execute(QStringLiteral("reg"), import) != 0)
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
    static void clear()
    {
        for (const char *key :
             {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\BTHPORT",
              "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\BTHENUM", "HKLM\\SOFTWARE\\JavaSoft"}) {
            for (const char *view : {"/reg:64", "/reg:32"}) {
                QProcess reg;
                reg.start(QStringLiteral("reg"),
                          {QStringLiteral("delete"), QString::fromLatin1(key), QStringLiteral("/f"),
                           QString::fromLatin1(view)});
                reg.waitForFinished();
            }
        }
    }
#endif

    QTemporaryDir m_dir;
    std::unique_ptr<Registry> m_registry;
};
