#include "GaugeSimCommand.h"

#include <QStringList>
#include <limits>
#include <optional>

namespace {

// A decimal number within [low, high], or nothing.
std::optional<int> decimal(const QString &text, int low, int high)
{
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok, 10);
    if (!ok || n < low || n > high)
        return std::nullopt;
    return int(n);
}

QByteArray substrateOf(const QString &word)
{
    const QString upper = word.toUpper();
    return upper == u"FE" || upper == u"AL" ? upper.toLatin1() : QByteArray();
}

} // namespace

GaugeSimCommand GaugeSimCommand::parse(const QString &line, QString *error)
{
    error->clear();
    GaugeSimCommand c;
    const QStringList w = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (w.isEmpty() || w.first().startsWith(u'#'))
        return c;
    const QString name = w.first().toLower();
    const auto fail = [&](const QString &form) {
        *error = form.isEmpty() ? QStringLiteral("unknown command: %1").arg(line.trimmed())
                                : QStringLiteral("%1: expected %2").arg(line.trimmed(), form);
        return GaugeSimCommand{};
    };
    // One number argument within limits.
    const auto withNumber = [&](Kind kind, int high, const QString &form) {
        const auto n = w.size() == 2 ? decimal(w.at(1), 0, high) : std::nullopt;
        if (!n)
            return fail(form);
        c.kind = kind;
        c.number = *n;
        return c;
    };
    constexpr int kMax = std::numeric_limits<int>::max();
    if (name == u"fe" || name == u"al") {
        c.substrate = name.toUpper().toLatin1();
        return withNumber(Kind::Reading, 0xFFFF,
                          QStringLiteral("%1 N, N from 0 to 65535").arg(name));
    }
    if (name == u"split") {
        c.substrate = w.size() == 3 ? substrateOf(w.at(1)) : QByteArray();
        const auto n = w.size() == 3 ? decimal(w.at(2), 0, 0xFFFF) : std::nullopt;
        if (c.substrate.isEmpty() || !n)
            return fail(QStringLiteral("split fe|al N, N from 0 to 65535"));
        c.kind = Kind::Split;
        c.number = *n;
        return c;
    }
    if (name == u"noise")
        return withNumber(Kind::Noise, 1 << 20, QStringLiteral("noise N, N up to 1048576"));
    if (name == u"session")
        return withNumber(Kind::Session, 1000, QStringLiteral("session N, N up to 1000"));
    if (name == u"wait")
        return withNumber(Kind::Wait, kMax, QStringLiteral("wait MS"));
    if (name == u"raw") {
        if (w.size() < 2)
            return fail(QStringLiteral("raw HH HH ..., bytes in hexadecimal"));
        for (qsizetype i = 1; i < w.size(); ++i) {
            bool ok = false;
            const uint b = w.at(i).toUInt(&ok, 16);
            if (!ok || b > 0xFF || w.at(i).size() > 2)
                return fail(
                    QStringLiteral("raw HH HH ..., bytes in hexadecimal (not %1)").arg(w.at(i)));
            c.bytes += char(b);
        }
        c.kind = Kind::Raw;
        return c;
    }
    const auto bare = [&](Kind kind) {
        if (w.size() != 1)
            return fail(name);
        c.kind = kind;
        return c;
    };
    if (name == u"key")
        return bare(Kind::Key);
    if (name == u"settings")
        return bare(Kind::Settings);
    if (name == u"quit")
        return bare(Kind::Quit);
    return fail({});
}

QByteArray GaugeSimCommand::readingFrame(const QByteArray &substrate, int value)
{
    QByteArray frame = "," + substrate;
    frame += char(value & 0xFF);
    frame += char((value >> 8) & 0xFF);
    return frame;
}
