#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// Read-only access to HKEY_LOCAL_MACHINE. Key paths are relative to it, with
// backslashes ("HARDWARE\DEVICEMAP\SERIALCOMM"; a leading backslash is
// allowed) and compared ignoring letter case, as Windows does.
class Registry
{
public:
    struct Value
    {
        enum class Type { String, Binary, DWord, Other };
        Type type = Type::String;
        QString text;     // String
        QByteArray bytes; // Binary and Other: the raw data
        quint32 dword = 0;
    };

    // The system failed while listing a key's values (a missing key is no
    // failure): its error number.
    struct EnumerationError
    {
        int code = 0;
    };

    virtual ~Registry() = default;

    virtual bool keyExists(const QString &path) const = 0;
    // Subkey names in stored order; empty when the key does not exist.
    virtual QStringList subkeys(const QString &path) const = 0;
    // Throws EnumerationError.
    virtual QStringList valueNames(const QString &path) const = 0;
    virtual std::optional<Value> value(const QString &path, const QString &name) const = 0;
    // Where the values come from, for the user: a file's path; empty for the
    // system's own registry.
    virtual QString source() const { return {}; }

    // The registry of this machine: the real one on Windows, elsewhere the file
    // named by KROMAGLEN_REGISTRY or /etc/kromaglen/registry.reg.
    static std::unique_ptr<Registry> system();
};
