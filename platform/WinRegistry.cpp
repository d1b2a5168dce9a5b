#include "WinRegistry.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>

namespace {

class KeyHandle
{
public:
    // The 64-bit view first, then the 32-bit one: a 32-bit Java registers
    // itself there (SOFTWARE\Wow6432Node); the SYSTEM and HARDWARE keys are
    // the same in both.
    explicit KeyHandle(const QString &path)
    {
        QString p = path;
        while (p.startsWith(u'\\'))
            p.remove(0, 1);
        const auto name = reinterpret_cast<LPCWSTR>(p.utf16());
        for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, name, 0, KEY_READ | view, &m_key) ==
                ERROR_SUCCESS)
                return;
        }
        m_key = nullptr;
    }
    ~KeyHandle()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace

bool WinRegistry::keyExists(const QString &path) const
{
    return KeyHandle(path).get() != nullptr;
}

QStringList WinRegistry::subkeys(const QString &path) const
{
    QStringList names;
    KeyHandle key(path);
    if (!key.get())
        return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = 256;
        if (RegEnumKeyExW(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.append(QString::fromWCharArray(name, int(size)));
    }
    return names;
}

QStringList WinRegistry::valueNames(const QString &path) const
{
    QStringList names;
    KeyHandle key(path);
    if (!key.get())
        return names;
    wchar_t name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD size = 16384;
        const LSTATUS status =
            RegEnumValueW(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return names;
        if (status != ERROR_SUCCESS)
            throw EnumerationError{int(status)};
        names.append(QString::fromWCharArray(name, int(size)));
    }
}

std::optional<Registry::Value> WinRegistry::value(const QString &path, const QString &name) const
{
    KeyHandle key(path);
    if (!key.get())
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    const auto wname = reinterpret_cast<LPCWSTR>(name.utf16());
    if (RegQueryValueExW(key.get(), wname, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    QByteArray data(int(size), '\0');
    if (RegQueryValueExW(key.get(), wname, nullptr, &type, reinterpret_cast<LPBYTE>(data.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(int(size));
    Value v;
    v.bytes = data;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        v.type = Value::Type::String;
        v.text = QString::fromWCharArray(reinterpret_cast<const wchar_t *>(data.constData()),
                                         int(size / sizeof(wchar_t)));
        while (v.text.endsWith(QChar(0)))
            v.text.chop(1);
    } else if (type == REG_DWORD && size == 4) {
        v.type = Value::Type::DWord;
        v.dword = *reinterpret_cast<const DWORD *>(data.constData());
    } else if (type == REG_BINARY) {
        v.type = Value::Type::Binary;
    } else {
        v.type = Value::Type::Other;
    }
    return v;
}
#endif
