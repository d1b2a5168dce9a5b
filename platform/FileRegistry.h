#pragma once

#include "Registry.h"

#include <QHash>
#include <vector>

// A registry read from a file in the Windows registry-export format
// ("Windows Registry Editor Version 5.00" in UTF-16LE or UTF-8, or the older
// "REGEDIT4" in code page 1250; [HKEY_LOCAL_MACHINE\...] sections,
// "name"="text", @=..., hex:, hex(N):, dword:). Only HKEY_LOCAL_MACHINE is
// kept. A malformed line is skipped and noted in errors(); the rest is read.
class FileRegistry : public Registry
{
public:
    FileRegistry() = default;
    static FileRegistry fromFile(const QString &path);
    static FileRegistry fromBytes(const QByteArray &content);

    bool keyExists(const QString &path) const override;
    QStringList subkeys(const QString &path) const override;
    QStringList valueNames(const QString &path) const override;
    std::optional<Value> value(const QString &path, const QString &name) const override;
    QString source() const override { return m_source; }

    const QStringList &errors() const { return m_errors; }

private:
    struct Key
    {
        QStringList subkeys;
        QStringList valueNames;
        QHash<QString, Value> values; // by lower-case name
    };

    // Keys form a tree: each is found from its parent by its own lower-case
    // name, so a key costs its name, not its whole path.
    int ensureKey(const QString &path);
    const Key *findKey(const QString &path) const;
    void parseLine(const QString &line, int lineNumber, int &section);

    std::vector<Key> m_keys{Key{}}; // the first is HKEY_LOCAL_MACHINE itself
    QHash<std::pair<int, QString>, int> m_children;
    QStringList m_errors;
    QString m_source;           // the file read, if any
    bool m_ansiStrings = false; // hex(1)/hex(2) strings in the code page (REGEDIT4)
};
