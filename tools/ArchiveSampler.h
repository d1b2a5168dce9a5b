#pragma once

// Plausible inspections for large archives: two years of a busy station,
// mostly passenger cars, 10 to 23 points measured with 1 to 3 readings each,
// now and then a repainted or filled panel.
#include <QRandomGenerator>
#include <QUuid>

#include "Inspection.h"
#include "PointCatalogue.h"
#include "VehicleCategories.h"

class ArchiveSampler
{
public:
    explicit ArchiveSampler(quint32 seed = 4747) : m_random(seed) {}

    Inspection next(const QDateTime &start)
    {
        Inspection i;
        i.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        i.station = QStringLiteral("ALLOMAS-%1").arg(m_random.bounded(1, 4));
        i.started = start;
        const int roll = m_random.bounded(100);
        i.category = roll < 60   ? VehicleCategoryTable::row(13)
                     : roll < 80 ? VehicleCategoryTable::row(19)
                     : roll < 90 ? VehicleCategoryTable::row(14)
                     : roll < 95 ? QString()
                                 : VehicleCategoryTable::row(m_random.bounded(46));
        const int measured = m_random.bounded(10, 24);
        QDateTime at = start;
        for (int p = 0; p < PointCatalogue::kPointCount; ++p) {
            i.plan.append({p, p < measured || (p >= 12 && p <= 14)});
            if (p >= measured)
                continue;
            const bool repainted = m_random.bounded(100) < 6;
            const bool filler = m_random.bounded(100) < 2;
            for (int r = m_random.bounded(1, 4); r > 0; --r) {
                at = at.addMSecs(m_random.bounded(2000, 9000));
                const int base = filler ? 420 : repainted ? 220 : 105;
                i.readings.append({p, p == 10 && roll % 7 == 0 ? Substrate::AL : Substrate::FE,
                                   base + m_random.bounded(-30, 40), ReadingSource::Gauge, at});
            }
            i.sent.append({p, at.addSecs(120)});
        }
        i.ended = at.addSecs(180);
        i.judgedWith = VerdictBands(); // judged with the default limits
        return i;
    }

private:
    QRandomGenerator m_random;
};
