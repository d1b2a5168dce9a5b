#pragma once

#include <QString>

// The shell operations the program needs: open a web address in the default
// browser, and start a setup program with elevated rights.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual void openUrl(const QString &url) = 0;
    // Starts the program and returns at once; the outcome is not examined.
    virtual void runElevated(const QString &program) = 0;
};

class SystemShell : public Shell
{
public:
    void openUrl(const QString &url) override;
    void runElevated(const QString &program) override;
};
