#include "SpokenNumber.h"

namespace {

QString digitName(QChar digit)
{
    return QStringLiteral("SZ_") + digit;
}

void dropLeadingZeros(QString &t)
{
    while (t.size() > 1 && t.startsWith(u'0'))
        t.remove(0, 1);
}

// The hundreds or thousands place: the multiplier (never "1"), then the unit.
void sayPlace(QString &t, QStringList &out, const QString &unit)
{
    if (t.front() != u'1')
        out.append(digitName(t.front()));
    out.append(unit);
    t.remove(0, 1);
}

} // namespace

namespace SpokenNumber {

QStringList recordings(const QString &valueText)
{
    QStringList out;
    QString t = valueText;
    if (t.size() > 4 || t.isEmpty())
        return out;
    if (t == u"0")
        return {QStringLiteral("SZ_0")};
    if (t.size() == 4)
        sayPlace(t, out, QStringLiteral("SZ_1000"));
    dropLeadingZeros(t);
    if (t.size() == 3)
        sayPlace(t, out, QStringLiteral("SZ_100"));
    dropLeadingZeros(t);
    if (t.size() == 2) {
        if (t == u"10") {
            out.append(QStringLiteral("SZ_TIZ"));
        } else if (t == u"20") {
            out.append(QStringLiteral("SZ_HUSZ"));
        } else {
            out.append(digitName(t.at(0)) + u'0');
            if (t.at(1) != u'0')
                out.append(digitName(t.at(1)));
        }
    } else if (t.size() == 1 && t != u"0") {
        out.append(digitName(t.at(0)));
    }
    return out;
}

QString recordingPath(const QString &name)
{
    return QStringLiteral("hang\\") + name + QStringLiteral(".wav");
}

} // namespace SpokenNumber
