#pragma once

#include <QString>

class Registry;

// Where the inspection program's Java runtime and this program's add-on for it
// are expected.
struct JavaAddonStatus
{
    bool runtimeFound = false;
    QString runtimeFolder; // "Home" without its last 4 characters
    QString addonPath;     // runtime folder + "\lib\ext\KromaglenForZov.jar"
    bool addonPresent = false;
};

namespace JavaAddon {

inline const QString kRuntimeKey = QStringLiteral("\\SOFTWARE\\JavaSoft\\Java Web Start");
inline const QString kSetupProgram = QStringLiteral("KromaglenForZov_JAVA_Javito_Setup.exe");

// Whether the check runs here. Windows always checks. Elsewhere no Java Web
// Start exists to look for, unless the registry file stands in for one: a
// registry without any SOFTWARE\JavaSoft key skips the check.
bool applies(const Registry &registry);
JavaAddonStatus check(const Registry &registry);
// The setup program beside the executable (not in the working directory).
QString setupProgramPath(const QString &executableFolder);

} // namespace JavaAddon
