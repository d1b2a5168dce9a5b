#include "PointStatistics.h"

#include <algorithm>
#include <cmath>

PointStatistics PointStatistics::of(int point, const QList<ArchivedReading> &readings,
                                    const VerdictBands &bands)
{
    PointStatistics s;
    s.point = point;
    s.n = int(readings.size());
    if (s.n == 0)
        return s;
    s.minimum = s.maximum = readings.first().value;
    double sum = 0;
    bool seen[kSubstrateCount] = {};
    for (const ArchivedReading &r : readings) {
        s.minimum = std::min(s.minimum, r.value);
        s.maximum = std::max(s.maximum, r.value);
        sum += r.value;
        s.verdict = std::max(s.verdict, bands.judge(r));
        seen[int(r.substrate)] = true;
    }
    s.mean = sum / s.n;
    if (s.n > 1) {
        double squares = 0;
        for (const ArchivedReading &r : readings)
            squares += (r.value - s.mean) * (r.value - s.mean);
        s.deviation = std::sqrt(squares / (s.n - 1));
    }
    QStringList names;
    for (int i = 0; i < kSubstrateCount; ++i) {
        if (seen[i])
            names.append(substrateName(Substrate(i)));
    }
    s.substrates = names.join(u'/');
    return s;
}

QList<PointStatistics> PointStatistics::perPoint(const Inspection &inspection,
                                                 const VerdictBands &bands)
{
    QList<int> order;
    for (const PlanEntry &e : inspection.plan) {
        if (!order.contains(e.index) && (e.ticked || !inspection.readingsOf(e.index).isEmpty()))
            order.append(e.index);
    }
    for (const ArchivedReading &r : inspection.readings) {
        if (!order.contains(r.point))
            order.append(r.point);
    }
    QList<PointStatistics> out;
    for (int point : order)
        out.append(of(point, inspection.readingsOf(point), bands));
    return out;
}
