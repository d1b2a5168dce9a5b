#include "VerdictBands.h"

#include "Inspection.h"

#include <algorithm>

QString verdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::None:
        return QStringLiteral("Nem mért");
    case Verdict::Factory:
        return QStringLiteral("Gyári fényezés");
    case Verdict::Thin:
        return QStringLiteral("Gyanúsan vékony");
    case Verdict::Repainted:
        return QStringLiteral("Újrafényezett");
    case Verdict::Filler:
        return QStringLiteral("Gittelt");
    }
    return {};
}

bool SubstrateBands::valid() const
{
    return 0 <= thinBelow && thinBelow <= factoryUpTo && factoryUpTo < repaintedUpTo &&
           repaintedUpTo < VerdictBands::kLargest;
}

Verdict SubstrateBands::judge(int value) const
{
    if (value < thinBelow)
        return Verdict::Thin;
    if (value <= factoryUpTo)
        return Verdict::Factory;
    if (value <= repaintedUpTo)
        return Verdict::Repainted;
    return Verdict::Filler;
}

Verdict SubstrateBands::worstWithin(int minimum, int maximum) const
{
    // Thicker is worse above the factory band, and the only band below it is
    // better than those above: the two ends decide.
    return std::max(judge(minimum), judge(maximum));
}

Verdict VerdictBands::judge(const ArchivedReading &reading) const
{
    return of(reading.substrate).judge(reading.value);
}

Verdict VerdictBands::worst(const InspectionSummary &summary) const
{
    Verdict worst = Verdict::None;
    for (int i = 0; i < kSubstrateCount; ++i) {
        if (summary.minimum[i] && summary.maximum[i])
            worst =
                std::max(worst, m_bands[i].worstWithin(*summary.minimum[i], *summary.maximum[i]));
    }
    return worst;
}
