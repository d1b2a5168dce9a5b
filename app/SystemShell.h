#pragma once

#include "Shell.h"

// The desktop's shell: the default browser through the desktop services, a
// setup program through ShellExecute "runas" on Windows (pkexec elsewhere).
class SystemShell : public Shell
{
public:
    void openUrl(const QString &url) override;
    void runElevated(const QString &program) override;
};
