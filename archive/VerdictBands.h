#pragma once

#include <QString>
#include <optional>

#include "Reading.h" // Substrate

struct ArchivedReading;
struct InspectionSummary;
inline constexpr int kSubstrateCount = 2;

// How a paint-thickness reading is judged. Verdicts are ordered from the best
// to the worst, so the worst of several is their maximum.
enum class Verdict { None, Factory, Thin, Repainted, Filler };

QString verdictName(Verdict verdict);

// The limits of one substrate, in micrometres: below `thinBelow` the paint is
// suspiciously thin (polished through); up to `factoryUpTo` factory paint; up
// to `repaintedUpTo` repainted; above it filler.
struct SubstrateBands
{
    int thinBelow = 60;
    int factoryUpTo = 160;
    int repaintedUpTo = 300;

    bool operator==(const SubstrateBands &) const = default;
    bool valid() const;
    Verdict judge(int value) const;
    // The worst verdict of any value within [minimum, maximum].
    Verdict worstWithin(int minimum, int maximum) const;
};

class VerdictBands
{
public:
    static constexpr int kLargest = 65535;

    const SubstrateBands &of(Substrate substrate) const { return m_bands[int(substrate)]; }
    void set(Substrate substrate, const SubstrateBands &bands) { m_bands[int(substrate)] = bands; }

    Verdict judge(const ArchivedReading &reading) const;
    Verdict worst(const InspectionSummary &summary) const;

    bool operator==(const VerdictBands &) const = default;

private:
    SubstrateBands m_bands[kSubstrateCount];
};
