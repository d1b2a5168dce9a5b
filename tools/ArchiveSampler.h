#pragma once

// Plausible inspections for large archives: a chain of stations, mostly
// passenger cars, 10 to 23 points measured with one or two readings each
// (about 25 an inspection), now and then a repainted or filled panel; most
// with a plate typed later, some with a VIN.
#include <QRandomGenerator>
#include <QUuid>
#include <algorithm>

#include "Inspection.h"
#include "PointCatalogue.h"
#include "VehicleCategories.h"

class ArchiveSampler
{
public:
    explicit ArchiveSampler(quint32 seed = 4747, int stations = 3)
        : m_random(seed), m_stations(std::max(1, stations))
    {
    }

    // "Állomás 01", "Állomás 02", ...
    static QString stationName(int n)
    {
        return QStringLiteral("Állomás %1").arg(n, 2, 10, QLatin1Char('0'));
    }

    Inspection next(const QDateTime &start)
    {
        Inspection i;
        i.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        i.station = stationName(m_random.bounded(1, m_stations + 1));
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
            for (int r = m_random.bounded(1, 3); r > 0; --r) {
                at = at.addMSecs(m_random.bounded(2000, 9000));
                const int base = filler ? 420 : repainted ? 220 : 105;
                i.readings.append({p, p == 10 && roll % 7 == 0 ? Substrate::AL : Substrate::FE,
                                   base + m_random.bounded(-30, 40), ReadingSource::Gauge, at});
            }
            i.sent.append({p, at.addSecs(120)});
        }
        i.ended = at.addSecs(180);
        i.judgedWith = VerdictBands(); // judged with the default limits
        // Typed in the archive window: most plates, some VINs.
        const int typed = m_random.bounded(100);
        if (typed < 80)
            i.plate = typed % 2 ? QStringLiteral("%1%2%3-%4")
                                      .arg(letter(), letter(), letter())
                                      .arg(m_random.bounded(1000), 3, 10, QLatin1Char('0'))
                                : QStringLiteral("%1%2 %3%4-%5")
                                      .arg(letter(), letter(), letter(), letter())
                                      .arg(m_random.bounded(1000), 3, 10, QLatin1Char('0'));
        if (typed >= 40) {
            static const QString kVinAlphabet = QStringLiteral("ABCDEFGHJKLMNPRSTUVWXYZ0123456789");
            for (int c = 0; c < 17; ++c)
                i.vin.append(kVinAlphabet.at(m_random.bounded(int(kVinAlphabet.size()))));
        }
        return i;
    }

private:
    QString letter() { return QString(QChar(u'A' + m_random.bounded(26))); }

    QRandomGenerator m_random;
    int m_stations = 3;
};
