#include "JavaAddonCheck.h"

#include "Paths.h"
#include "Registry.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString readString(const Registry &registry, const QString &key, const QString &name)
{
    const auto v = registry.value(key, name);
    return v && v->type == Registry::Value::Type::String ? v->text : QString();
}

} // namespace

namespace JavaAddon {

bool applies(const Registry &registry)
{
#ifdef Q_OS_WIN
    Q_UNUSED(registry);
    return true;
#else
    return registry.keyExists(QStringLiteral("SOFTWARE\\JavaSoft"));
#endif
}

JavaAddonStatus check(const Registry &registry)
{
    JavaAddonStatus status;
    QString folder;
    if (registry.keyExists(kRuntimeKey)) {
        const QString version = readString(registry, kRuntimeKey, QStringLiteral("CurrentVersion"));
        if (!version.isEmpty()) {
            folder = version;
            const QString versionKey = kRuntimeKey + u'\\' + version;
            if (registry.keyExists(versionKey)) {
                const QString home = readString(registry, versionKey, QStringLiteral("Home"));
                if (!home.isEmpty()) {
                    folder = home.size() > 4 ? home.left(home.size() - 4) : QString();
                    status.runtimeFound = true;
                }
            }
        }
    }
    status.runtimeFolder = folder;
    status.addonPath = folder + QStringLiteral("\\lib\\ext\\KromaglenForZov.jar");
    status.addonPresent = QFileInfo(Paths::local(status.addonPath)).isFile();
    return status;
}

QString setupProgramPath(const QString &executableFolder)
{
    return QDir::toNativeSeparators(executableFolder) + QDir::separator() + kSetupProgram;
}

} // namespace JavaAddon
