#include "FileRegistry.h"

#include "Cp1250.h"

#include <QFile>
#include <QStringDecoder>

namespace {

const QString kMachine = QStringLiteral("HKEY_LOCAL_MACHINE");

// The older export format ("REGEDIT4") is written in the system's ANSI code
// page, Central-European here, also inside hex(1)/hex(2) strings; the
// current one ("Windows Registry Editor Version 5.00") in UTF-16LE, or UTF-8
// when written by hand.
bool isRegedit4(const QByteArray &content)
{
    return content.startsWith("REGEDIT4");
}

QString decodeContent(const QByteArray &content)
{
    if (content.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(content.mid(2));
    if (content.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(content.mid(3));
    if (isRegedit4(content))
        return Cp1250::decode(content);
    return QString::fromUtf8(content);
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the quote.
std::optional<QString> readQuoted(const QString &text, qsizetype &pos)
{
    QString out;
    for (++pos; pos < text.size(); ++pos) {
        const QChar c = text.at(pos);
        if (c == u'\\' && pos + 1 < text.size()) {
            out += text.at(++pos);
        } else if (c == u'"') {
            ++pos;
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> parseHexBytes(const QString &text)
{
    QByteArray bytes;
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const QString t = part.trimmed();
        const uint b = t.toUInt(&ok, 16);
        if (!ok || t.size() > 2)
            return std::nullopt;
        bytes.append(char(b));
    }
    return bytes;
}

std::optional<Registry::Value> parseData(const QString &data, bool ansiStrings)
{
    Registry::Value v;
    if (data.startsWith(u'"')) {
        qsizetype pos = 0;
        auto s = readQuoted(data, pos);
        if (!s || !data.mid(pos).trimmed().isEmpty())
            return std::nullopt;
        v.type = Registry::Value::Type::String;
        v.text = *s;
        return v;
    }
    const QString lower = data.toLower();
    if (lower.startsWith(u"dword:")) {
        bool ok = false;
        const QString hex = data.mid(6).trimmed();
        v.dword = hex.toUInt(&ok, 16);
        if (!ok || hex.size() > 8)
            return std::nullopt;
        v.type = Registry::Value::Type::DWord;
        return v;
    }
    if (lower.startsWith(u"hex")) {
        const qsizetype colon = data.indexOf(u':');
        if (colon < 0)
            return std::nullopt;
        const QString kind = lower.left(colon);
        auto bytes = parseHexBytes(data.mid(colon + 1));
        if (!bytes)
            return std::nullopt;
        v.bytes = *bytes;
        if (kind == u"hex" || kind == u"hex(3)") {
            v.type = Registry::Value::Type::Binary;
        } else if (kind == u"hex(4)" && bytes->size() == 4) {
            v.type = Registry::Value::Type::DWord;
            v.dword = quint32(quint8(bytes->at(0))) | quint32(quint8(bytes->at(1))) << 8 |
                      quint32(quint8(bytes->at(2))) << 16 | quint32(quint8(bytes->at(3))) << 24;
        } else if (kind == u"hex(1)" || kind == u"hex(2)") {
            // REG_SZ / REG_EXPAND_SZ with a terminating NUL.
            v.type = Registry::Value::Type::String;
            QString s = ansiStrings ? Cp1250::decode(*bytes)
                                    : QStringDecoder(QStringDecoder::Utf16LE).decode(*bytes);
            while (s.endsWith(QChar(0)))
                s.chop(1);
            v.text = s;
        } else {
            v.type = Registry::Value::Type::Other;
        }
        return v;
    }
    return std::nullopt;
}

} // namespace

FileRegistry FileRegistry::fromFile(const QString &path)
{
    QFile file(path);
    FileRegistry r;
    if (file.exists() && !file.open(QIODevice::ReadOnly))
        r.m_errors.append(QStringLiteral("%1: %2").arg(path, file.errorString()));
    else if (file.isOpen())
        r = fromBytes(file.readAll());
    r.m_source = path;
    return r;
}

FileRegistry FileRegistry::fromBytes(const QByteArray &content)
{
    FileRegistry r;
    r.m_ansiStrings = isRegedit4(content);
    const QStringList raw = decodeContent(content).split(u'\n');
    int section = -1; // the key whose values follow; none outside HKEY_LOCAL_MACHINE
    QString pending;
    int startLine = 0;
    for (int i = 0; i < raw.size(); ++i) {
        QString line = raw.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (pending.isEmpty())
            startLine = i + 1;
        // A value's data may continue on the next line after a trailing backslash.
        const bool continues =
            line.endsWith(u'\\') &&
            (!pending.isEmpty() || line.contains(QStringLiteral("=hex"), Qt::CaseInsensitive));
        if (continues) {
            pending += line.left(line.size() - 1).trimmed();
            continue;
        }
        pending += pending.isEmpty() ? line : line.trimmed();
        r.parseLine(pending, startLine, section);
        pending.clear();
    }
    if (!pending.isEmpty())
        r.parseLine(pending, startLine, section);
    return r;
}

void FileRegistry::parseLine(const QString &rawLine, int lineNumber, int &section)
{
    const QString line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith(u';') ||
        line.startsWith(QStringLiteral("Windows Registry Editor")) ||
        line == QStringLiteral("REGEDIT4"))
        return;
    const auto fail = [&](const QString &why) {
        m_errors.append(QStringLiteral("line %1: %2").arg(lineNumber).arg(why));
    };
    if (line.startsWith(u'[')) {
        if (!line.endsWith(u']'))
            return fail(QStringLiteral("unterminated key name"));
        QString path = line.mid(1, line.size() - 2);
        section = -1;
        if (path.startsWith(u'-')) // a deletion: nothing to read
            return;
        const qsizetype slash = path.indexOf(u'\\');
        const QString root = slash < 0 ? path : path.left(slash);
        if (root.compare(kMachine, Qt::CaseInsensitive) == 0 ||
            root.compare(QStringLiteral("HKLM"), Qt::CaseInsensitive) == 0)
            section = ensureKey(slash < 0 ? QString() : path.mid(slash + 1));
        return;
    }
    QString name;
    qsizetype pos = 0;
    if (line.startsWith(u'@')) {
        pos = 1;
    } else if (line.startsWith(u'"')) {
        auto quoted = readQuoted(line, pos);
        if (!quoted)
            return fail(QStringLiteral("unterminated value name"));
        name = *quoted;
    } else {
        return fail(QStringLiteral("not a key or a value"));
    }
    while (pos < line.size() && line.at(pos).isSpace())
        ++pos;
    if (pos >= line.size() || line.at(pos) != u'=')
        return fail(QStringLiteral("missing '='"));
    const QString data = line.mid(pos + 1).trimmed();
    if (data == u"-")
        return;
    auto value = parseData(data, m_ansiStrings);
    if (!value)
        return fail(QStringLiteral("bad data for '%1'").arg(name));
    if (section < 0)
        return;
    Key &key = m_keys[size_t(section)];
    const QString lower = name.toLower();
    if (!key.values.contains(lower))
        key.valueNames.append(name);
    key.values.insert(lower, *value);
}

int FileRegistry::ensureKey(const QString &path)
{
    int key = 0;
    for (const QStringView part : QStringView(path).split(u'\\', Qt::SkipEmptyParts)) {
        const std::pair<int, QString> name{key, part.toString().toLower()};
        auto child = m_children.constFind(name);
        if (child == m_children.cend()) {
            child = m_children.insert(name, int(m_keys.size()));
            m_keys[size_t(key)].subkeys.append(part.toString());
            m_keys.emplace_back();
        }
        key = *child;
    }
    return key;
}

const FileRegistry::Key *FileRegistry::findKey(const QString &path) const
{
    int key = 0;
    for (const QStringView part : QStringView(path).split(u'\\', Qt::SkipEmptyParts)) {
        const auto it = m_children.constFind({key, part.toString().toLower()});
        if (it == m_children.cend())
            return nullptr;
        key = *it;
    }
    return &m_keys[size_t(key)];
}

bool FileRegistry::keyExists(const QString &path) const
{
    return findKey(path) != nullptr;
}

QStringList FileRegistry::subkeys(const QString &path) const
{
    const Key *key = findKey(path);
    return key ? key->subkeys : QStringList();
}

QStringList FileRegistry::valueNames(const QString &path) const
{
    const Key *key = findKey(path);
    return key ? key->valueNames : QStringList();
}

std::optional<Registry::Value> FileRegistry::value(const QString &path, const QString &name) const
{
    const Key *key = findKey(path);
    if (!key)
        return std::nullopt;
    auto it = key->values.constFind(name.toLower());
    if (it == key->values.cend())
        return std::nullopt;
    return it.value();
}
