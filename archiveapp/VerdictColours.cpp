#include "VerdictColours.h"

QColor verdictColour(Verdict verdict)
{
    switch (verdict) {
    case Verdict::None:
        return QColor(0xd0, 0xd0, 0xd0);
    case Verdict::Factory:
        return QColor(0x2e, 0x9d, 0x3a);
    case Verdict::Thin:
        return QColor(0x2f, 0x6f, 0xd6);
    case Verdict::Repainted:
        return QColor(0xf0, 0x96, 0x10);
    case Verdict::Filler:
        return QColor(0xd6, 0x21, 0x21);
    }
    return Qt::gray;
}

QColor verdictTextColour(Verdict verdict)
{
    return verdict == Verdict::None || verdict == Verdict::Repainted ? Qt::black : Qt::white;
}
