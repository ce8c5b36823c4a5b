#ifndef HW_BENCH_BENCHTIMING_H
#define HW_BENCH_BENCHTIMING_H

#include <QElapsedTimer>

#include <algorithm>
#include <limits>

// Milliseconds of the fastest of a few runs of f: the machine is shared.
template <class F>
double bestOf(int runs, F f)
{
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

#endif // HW_BENCH_BENCHTIMING_H
