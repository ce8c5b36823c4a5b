// Prints the time the inversion library takes per station (point inversion)
// and per line of 500 stations (profile call).

#include <QElapsedTimer>
#include <QVector>

#include <cmath>
#include <cstdio>

#include "platform/inversion/InversionMethod.h"

int main()
{
    // 20 gates per decade from 10 us to 10 ms.
    QVector<double> times;
    for (int i = 0; i <= 60; ++i)
        times << 10.0 * std::pow(10.0, i / 20.0);

    const int stations = 500;
    const double current = InversionMethod::kNominalLineCurrent;
    QVector<QVector<double> > curves;
    QVector<GPSCoordinate> coords;
    for (int i = 0; i < stations; ++i) {
        const double rho = std::pow(10.0, 3.0 * i / (stations - 1));  // 1 to 1000 ohm-m
        curves << InversionMethod::syntheticCurve(times, rho, current);
        coords << GPSCoordinate{1.0f, float(10 * i), float(10 * i), 0.0f, 100.0f};
    }

    InversionMethod inv;
    QVector<double> values;
    QVector<double> depths;
    double sink = 0.0;

    const int rounds = 5;
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < stations; ++i) {
            inv.pointCompute(curves[i], times, current, values, depths, 100.0, 2.0);
            sink += values.last();
        }
    }
    const double perStation = timer.nsecsElapsed() * 1e-3 / (rounds * stations);

    timer.restart();
    for (int r = 0; r < rounds; ++r) {
        const QList<DataType_ThreeResultData> line =
            inv.shapedProfile_LineCalc(curves, times, coords, 100.0, 2.0, 100.0);
        sink += line.last().value.last();
    }
    const double perLine = timer.nsecsElapsed() * 1e-6 / rounds;

    std::printf("gates per station: %d\n", times.size());
    std::printf("pointCompute: %.1f us per station\n", perStation);
    std::printf("shapedProfile_LineCalc: %.2f ms per line of %d stations (%.1f us per station)\n",
                perLine, stations, perLine * 1e3 / stations);
    std::printf("(checksum %g)\n", sink);
    return 0;
}
