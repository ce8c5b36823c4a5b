#ifndef HW_BENCH_BENCHPROJECT_H
#define HW_BENCH_BENCHPROJECT_H

#include <QStringList>

#include <cstdio>

#include "tools/projectgen/ProjectGenerator.h"

// The benchmark project of the loading and generator benchmarks: 20 lines x
// 100 stations x 3 samples of 4000 values, or the four numbers given on the
// command line. False, after the usage line, for other arguments.
inline bool benchProjectOptions(const QStringList& args, ProjectGenerator::Options& o)
{
    o.lines = 20;
    o.stationsPerLine = 100;
    o.samplesPerStation = 3;
    o.sampleLength = 4000;
    if (args.size() == 5) {
        o.lines = args.at(1).toInt();
        o.stationsPerLine = args.at(2).toInt();
        o.samplesPerStation = args.at(3).toInt();
        o.sampleLength = args.at(4).toInt();
        return true;
    }
    if (args.size() == 1)
        return true;
    std::fprintf(stderr, "usage: %s [lines stations samples length]\n",
                 args.isEmpty() ? "bench" : qPrintable(args.first()));
    return false;
}

#endif // HW_BENCH_BENCHPROJECT_H
