#include "StatisticsText.h"

#include "PointCatalogue.h"

#include <QLocale>

QString decimal(double value)
{
    // Without a group separator: a blank inside a number would break it over lines.
    QLocale hungarian(QLocale::Hungarian, QLocale::Hungary);
    hungarian.setNumberOptions(QLocale::OmitGroupSeparator);
    return hungarian.toString(value, 'f', 1);
}

QStringList statisticsHeader()
{
    return {QStringLiteral("#"),           QStringLiteral("Pont"),   QStringLiteral("Alap"),
            QStringLiteral("n"),           QStringLiteral("Min"),    QStringLiteral("Max"),
            QStringLiteral("Átlag"),       QStringLiteral("Szórás"), QStringLiteral("Minősítés"),
            QStringLiteral("Értékek (µm)")};
}

QStringList statisticsRow(const PointStatistics &s, const Inspection &inspection)
{
    QStringList values;
    for (const ArchivedReading &r : inspection.readingsOf(s.point))
        values.append(QString::number(r.value) +
                      (r.source == ReadingSource::Typed ? QStringLiteral("*") : QString()));
    const bool measured = s.n > 0;
    return {QString::number(s.point + 1),
            PointCatalogue::displayName(s.point),
            s.substrates,
            QString::number(s.n),
            measured ? QString::number(s.minimum) : QString(),
            measured ? QString::number(s.maximum) : QString(),
            measured ? decimal(s.mean) : QString(),
            s.deviation ? decimal(*s.deviation) : QString(),
            verdictName(s.verdict),
            values.join(QStringLiteral(", "))};
}

QString limitText(Verdict verdict, const SubstrateBands &b)
{
    switch (verdict) {
    case Verdict::Thin:
        return QStringLiteral("< %1").arg(b.thinBelow);
    case Verdict::Factory:
        return QStringLiteral("%1–%2").arg(b.thinBelow).arg(b.factoryUpTo);
    case Verdict::Repainted:
        return QStringLiteral("%1–%2").arg(b.factoryUpTo + 1).arg(b.repaintedUpTo);
    case Verdict::Filler:
        return QStringLiteral("> %1").arg(b.repaintedUpTo);
    case Verdict::None:
        break;
    }
    return {};
}
