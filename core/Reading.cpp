#include "Reading.h"

QString substrateName(Substrate substrate)
{
    return substrate == Substrate::AL ? QStringLiteral("AL") : QStringLiteral("FE");
}

std::optional<Substrate> substrateFromName(QStringView name)
{
    if (name == u"FE")
        return Substrate::FE;
    if (name == u"AL")
        return Substrate::AL;
    return std::nullopt;
}

QString Reading::line() const
{
    return substrateName(substrate) + u' ' + valueText() + QStringLiteral(" µm");
}
