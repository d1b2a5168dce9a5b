#include "PresetsFile.h"

#include "Cp1250.h"
#include "Failure.h"

#include <bitset>

namespace {

int parseIndex(const QString &text)
{
    bool digitsOnly = !text.isEmpty() && text.size() <= 9;
    for (QChar c : text)
        digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
    if (!digitsOnly)
        throw Failure(QStringLiteral("EConvertError"),
                      QStringLiteral("'%1' is not a valid integer value").arg(text));
    return text.toInt();
}

// Cuts the text from pos to the next ':' (or to the end) and moves pos past it.
QString takeField(const QString &line, qsizetype &pos)
{
    qsizetype end = line.indexOf(u':', pos);
    if (end < 0)
        end = line.size();
    const QString field = line.mid(pos, end - pos);
    pos = end + 1;
    return field;
}

PlanPreset parseLine(const QString &line)
{
    PlanPreset preset;
    const qsizetype colon = line.indexOf(u':');
    preset.name = colon < 0 ? QString() : line.left(colon);
    qsizetype pos = colon < 0 ? line.size() + 1 : colon + 1;
    std::bitset<PointCatalogue::kPointCount> seen;
    for (PlanEntry &entry : preset.entries) {
        const QString indexText = pos <= line.size() ? takeField(line, pos) : QString();
        const int index = parseIndex(indexText);
        if (!PointCatalogue::isValidIndex(index))
            throw Failure(QStringLiteral("Exception"),
                          QStringLiteral("Érvénytelen mérési pont sorszám! (%1)").arg(index));
        if (seen.test(size_t(index)))
            throw Failure(QStringLiteral("Exception"),
                          QStringLiteral("Ismétlődő mérési pont sorszám! (%1)").arg(index));
        seen.set(size_t(index));
        const QString flag = pos <= line.size() ? takeField(line, pos) : QString();
        if (flag != u"I" && flag != u"N")
            throw Failure(QStringLiteral("Exception"),
                          QStringLiteral("Érvénytelen karakter! (%1)").arg(flag));
        entry = {index, flag == u"I"};
    }
    return preset;
}

} // namespace

namespace PresetsFile {

QList<PlanPreset> parse(const QByteArray &content)
{
    QList<PlanPreset> presets;
    // A line ends at CR LF, LF or CR, as a text file's line reader sees it.
    const qsizetype size = content.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && content[end] != '\r' && content[end] != '\n')
            ++end;
        if (end > start)
            presets.append(parseLine(Cp1250::decode(content.sliced(start, end - start))));
        start = end + 1;
        if (end + 1 < size && content[end] == '\r' && content[end + 1] == '\n')
            ++start;
    }
    return presets;
}

QByteArray serializeLine(const PlanPreset &preset)
{
    QString line = preset.name;
    for (const PlanEntry &e : preset.entries)
        line += u':' + QString::number(e.index) + (e.ticked ? u":I" : u":N");
    return Cp1250::encode(line) + "\r\n";
}

QByteArray serialize(const QList<PlanPreset> &presets)
{
    QByteArray out;
    for (const PlanPreset &p : presets)
        out += serializeLine(p);
    return out;
}

} // namespace PresetsFile
