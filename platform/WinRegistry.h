#pragma once

#include "Registry.h"

#ifdef Q_OS_WIN
// The real HKEY_LOCAL_MACHINE, read-only: its 64-bit view, and the 32-bit view
// for keys the 64-bit one lacks.
class WinRegistry : public Registry
{
public:
    bool keyExists(const QString &path) const override;
    QStringList subkeys(const QString &path) const override;
    QStringList valueNames(const QString &path) const override;
    std::optional<Value> value(const QString &path, const QString &name) const override;
};
#endif
