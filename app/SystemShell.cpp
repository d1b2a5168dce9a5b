#include "SystemShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#endif

void SystemShell::openUrl(const QString &url)
{
    QDesktopServices::openUrl(QUrl(url));
}

void SystemShell::runElevated(const QString &program)
{
#ifdef Q_OS_WIN
    ShellExecuteW(nullptr, L"runas", reinterpret_cast<LPCWSTR>(program.utf16()), nullptr, nullptr,
                  SW_SHOWNORMAL);
#else
    // A missing program could not start anyway; do not ask for rights for it.
    if (!QFileInfo::exists(program))
        return;
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (!pkexec.isEmpty())
        QProcess::startDetached(pkexec, {program});
    else
        QProcess::startDetached(program, {});
#endif
}
