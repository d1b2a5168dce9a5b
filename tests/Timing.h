#pragma once

// Bounds on how long something may take, fitted to what the machine does in
// the same run: a loaded machine wakes a sleeper late and runs everything
// slower, so a fixed slack either flakes or checks nothing.
#include <QElapsedTimer>
#include <QtGlobal>
#include <chrono>
#include <thread>

namespace Timing {

// How late a plain sleep of ms wakes up now.
inline qint64 latenessMs(int ms)
{
    QElapsedTimer clock;
    clock.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return qMax<qint64>(0, clock.elapsed() - ms);
}

// The slack an upper bound on a wait of about ms needs now: at least floorMs,
// and three times what a plain sleep of that length overran just before.
inline qint64 slackMs(int ms, qint64 floorMs = 250)
{
    return qMax(floorMs, 3 * latenessMs(ms));
}

// The shortest of `runs` runs of work, in nanoseconds: the run least
// disturbed by the rest of the machine.
template <typename Work> qint64 fastestNs(int runs, Work work)
{
    qint64 best = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        const qint64 ns = clock.nsecsElapsed();
        best = best < 0 ? ns : qMin(best, ns);
    }
    return best;
}

// Whether work on ten times the input took about ten times as long, not a
// hundred (quadratic): the large run's time against the small one's, measured
// now, with room for noise (a factor of 3) and a few milliseconds.
inline bool growsLinearly(qint64 smallNs, qint64 largeNs)
{
    return largeNs < 30 * smallNs + 20'000'000;
}

} // namespace Timing
