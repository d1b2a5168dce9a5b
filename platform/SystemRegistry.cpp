#include "FileRegistry.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "WinRegistry.h"
#endif

std::unique_ptr<Registry> Registry::system()
{
#ifdef Q_OS_WIN
    return std::make_unique<WinRegistry>();
#else
    QString path = qEnvironmentVariable("KROMAGLEN_REGISTRY");
    if (path.isEmpty())
        path = QStringLiteral("/etc/kromaglen/registry.reg");
    auto registry = std::make_unique<FileRegistry>(FileRegistry::fromFile(path));
    for (const QString &e : registry->errors())
        qWarning("registry file %s: %s", qPrintable(path), qPrintable(e));
    return registry;
#endif
}
