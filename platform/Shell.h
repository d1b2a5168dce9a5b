#pragma once

#include <QString>

// The shell operations the program needs: open a web address in the default
// browser, and start a setup program with elevated rights. The system's own
// implementation (SystemShell) lives with the windows, since opening a web
// address goes through the desktop services of the window toolkit.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual void openUrl(const QString &url) = 0;
    // Starts the program and returns at once; the outcome is not examined.
    virtual void runElevated(const QString &program) = 0;
};
