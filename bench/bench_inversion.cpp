// The inversion library's cost, side by side with what it is measured
// against: per station (44 gates, layered earths made with the generator's
// own forward) the time and forward evaluations of pointCompute, one
// forward of the returned model by the generator's quadrature, and the
// apparent-resistivity transform the inversion starts from; then whole
// lines and a volume, in parallel and (for the 200-station line) serially,
// with the check that both give the same models. Between them, the
// roughness and misfit of each station's model at the default constraint
// and at 4 and 16 times it.

#include <QElapsedTimer>
#include <QThread>
#include <QThreadPool>
#include <QVector>

#include <cmath>
#include <cstdio>
#include <random>

#include "BenchTiming.h"
#include "platform/inversion/InversionMethod.h"
#include "tools/projectgen/CentralLoopResponse.h"

namespace {

const double kCurrent = InversionMethod::kNominalLineCurrent;
const double kArea = InversionMethod::kReceiverArea;

struct Earth {
    const char* name;
    QVector<double> rho;
    QVector<double> thickness;
};

QVector<double> gateTimes()
{
    QVector<double> t;
    for (int i = 0; i < 44; ++i)
        t << 162.0 * std::pow(18500.0 / 162.0, i / 43.0);
    return t;
}

QVector<double> curveOver(const QVector<double>& rho, const QVector<double>& thickness, const QVector<double>& timesUs)
{
    const CentralLoopResponse forward(rho, thickness, InversionMethod::kLoopRadius, 1e-4, 2e-2);
    QVector<double> v(timesUs.size());
    for (int i = 0; i < timesUs.size(); ++i)
        v[i] = -kArea * kCurrent * forward.dBzDt(timesUs[i] * 1e-6);
    return v;
}

QVector<double> noisy(QVector<double> v, double noise, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    for (double& x : v)
        x *= 1.0 + noise * normal(random);
    return v;
}

// A line over 100 ohm-m with a 10 ohm-m layer from 50 to 110 m under its
// middle third, 3 % noise.
QVector<QVector<double> > lineCurves(int stations, const QVector<double>& times, unsigned seed)
{
    const QVector<double> host = curveOver({100}, {}, times);
    const QVector<double> zone = curveOver({100, 10, 100}, {50, 60}, times);
    QVector<QVector<double> > curves;
    for (int i = 0; i < stations; ++i) {
        const bool inZone = i >= stations / 3 && i < 2 * stations / 3;
        curves << noisy(inZone ? zone : host, 0.03, seed + i);
    }
    return curves;
}

QVector<GPSCoordinate> lineCoordinates(int stations, float line, float y)
{
    QVector<GPSCoordinate> c;
    for (int i = 0; i < stations; ++i)
        c << GPSCoordinate{line, float(20 * i), float(20 * i), y, 100.0f};
    return c;
}

} // namespace

int main()
{
    const QVector<double> times = gateTimes();
    const Earth earths[] = {
        {"100 over 10, h 50", {100, 10}, {50}},
        {"10 over 100, h 50", {10, 100}, {50}},
        {"100/10/100, h 50, 40", {100, 10, 100}, {50, 40}},
        {"1000 over 1, h 100", {1000, 1}, {100}},
        {"100 half-space", {100}, {}},
        {"30 over 300, h 80", {30, 300}, {80}},
        {"500/50/5, h 60, 100", {500, 50, 5}, {60, 100}},
        {"50/5/50/500, h 30, 30, 100", {50, 5, 50, 500}, {30, 30, 100}},
    };

    std::printf("One station, 44 gates from 162 us to 18.5 ms, constraint 2.0 (ribbon 1.0, QELVA), best of 3:\n");
    std::printf("%-28s %10s %9s %9s %13s %13s %9s %9s\n", "earth", "inversion", "forwards", "misfit",
                "generator fwd", "transform", "inv/fwd", "inv/trans");
    double sumInversion = 0.0;
    double sumForwards = 0.0;
    double worstInversion = 0.0;
    double sink = 0.0;
    int count = 0;
    for (const Earth& e : earths) {
        const QVector<double> curve = curveOver(e.rho, e.thickness, times);
        InversionMethod inv;
        QVector<double> values;
        QVector<double> depths;
        const double inversion = bestOf(3, [&] {
            inv.pointCompute(curve, times, kCurrent, values, depths, 100.0, 2.0);
        });
        const int forwards = inv.lastForwardCount();
        const double misfit = inv.lastMisfit();
        QVector<double> thickness;
        for (int j = 0; j + 1 < depths.size(); ++j)
            thickness << -depths[j] + (j > 0 ? depths[j - 1] : 0.0);
        const double generator = bestOf(3, [&] { sink += curveOver(values, thickness, times).last(); });
        const double transform = bestOf(3, [&] {
            QVector<double> rho;
            QVector<double> gateDepths;
            InversionMethod::apparentResistivity(curve, times, kCurrent, rho, gateDepths);
            sink += rho.isEmpty() ? 0.0 : rho.last();
        });
        std::printf("%-28s %8.1f ms %9d %8.2f%% %10.1f ms %10.3f ms %9.2f %9.0f\n", e.name, inversion, forwards,
                    100.0 * misfit, generator, transform, inversion / generator, inversion / transform);
        sumInversion += inversion;
        sumForwards += forwards;
        worstInversion = std::max(worstInversion, inversion);
        ++count;
    }
    std::printf("mean %.1f ms per station (target 20 ms, slowest %.1f ms), %.1f forward evaluations "
                "(each with its derivatives) per station\n\n",
                sumInversion / count, worstInversion, sumForwards / count);

    // The constraint's effect: roughness (sum of squared steps of ln rho
    // down to 500 m) and misfit at the default and at 4 and 16 times it,
    // beside the time each takes (and its ratio to the default's).
    std::printf("The constraint: roughness, misfit and time per station at 2.0 (the default) and at 4 and 16 "
                "times it, exact curves and 3 %% noise:\n");
    std::printf("%-33s %-29s %-36s %s\n", "earth, noise", "2.0: roughness, misfit, time", "8.0: the same, time/default's",
                "32.0: the same");
    for (const Earth& e : earths) {
        for (double noise : {0.0, 0.03}) {
            const QVector<double> curve = noisy(curveOver(e.rho, e.thickness, times), noise, 7);
            std::printf("%-27s %3.0f %%  ", e.name, 100.0 * noise);
            double reference = 0.0;
            for (double constraint : {2.0, 8.0, 32.0}) {
                InversionMethod inv;
                QVector<double> values;
                QVector<double> depths;
                const double ms = bestOf(3, [&] {
                    inv.pointCompute(curve, times, kCurrent, values, depths, 100.0, constraint);
                });
                double roughness = 0.0;
                for (int j = 1; j < values.size() && depths[j] > -500.0; ++j)
                    roughness += std::pow(std::log(values[j] / values[j - 1]), 2);
                if (constraint == 2.0) {
                    reference = ms;
                    std::printf("%7.3f %6.2f%% %7.1f ms   ", roughness, 100.0 * inv.lastMisfit(), ms);
                } else {
                    std::printf("%7.3f %6.2f%% %7.1f ms x%4.2f   ", roughness, 100.0 * inv.lastMisfit(), ms,
                                ms / reference);
                }
            }
            std::printf("\n");
        }
    }
    std::printf("\n");

    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    std::printf("Lines (%d threads), a conductive zone under the middle third, 3 %% noise:\n", threads);
    {
        const QVector<QVector<double> > curves = lineCurves(200, times, 1);
        const QVector<GPSCoordinate> coords = lineCoordinates(200, 1.0f, 0.0f);
        InversionMethod inv;
        QList<DataType_ThreeResultData> parallel;
        QElapsedTimer timer;
        timer.start();
        parallel = inv.shapedProfile_LineCalc(curves, times, coords, 100.0, 2.0, 100.0);
        const double wall = timer.nsecsElapsed() / 1e9;
        const int forwards = inv.lastForwardCount();
        QThreadPool::globalInstance()->setMaxThreadCount(1);
        timer.restart();
        const QList<DataType_ThreeResultData> serial =
            inv.shapedProfile_LineCalc(curves, times, coords, 100.0, 2.0, 100.0);
        const double serialWall = timer.nsecsElapsed() / 1e9;
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        bool same = serial.size() == parallel.size();
        double worst = 0.0;
        for (int i = 0; same && i < serial.size(); ++i) {
            same = serial[i].value == parallel[i].value;
            worst = std::max(worst, parallel[i].reserved);
        }
        std::printf("200 stations: %.2f s (target 2 s), serially %.2f s (x%.1f), %s; %.1f forwards per station, "
                    "largest misfit %.2f %%\n",
                    wall, serialWall, serialWall / wall, same ? "same models" : "MODELS DIFFER",
                    double(forwards) / 200, 100.0 * worst);
    }
    {
        const QVector<QVector<double> > curves = lineCurves(1000, times, 2);
        InversionMethod inv;
        QElapsedTimer timer;
        timer.start();
        const auto r = inv.shapedProfile_LineCalc(curves, times, lineCoordinates(1000, 1.0f, 0.0f), 100.0, 2.0, 100.0);
        std::printf("1000 stations: %.2f s (target 15 s)\n", timer.nsecsElapsed() / 1e9);
        sink += r.last().value.last();
    }
    {
        QVector<QVector<QVector<double> > > curves;
        QVector<QVector<double> > lineTimes;
        QVector<QVector<GPSCoordinate> > coords;
        for (int l = 0; l < 5; ++l) {
            curves << lineCurves(200, times, 100 * (l + 3));
            lineTimes << times;
            coords << lineCoordinates(200, float(l), float(100 * l));
        }
        InversionMethod inv;
        QElapsedTimer timer;
        timer.start();
        const auto r = inv.Three_Dimensional_Calc(curves, lineTimes, coords, 100.0, 2.0, 100.0);
        std::printf("3D, 5 lines x 200 stations: %.2f s (target 15 s)\n", timer.nsecsElapsed() / 1e9);
        sink += r.last().value.last();
    }
    std::printf("(checksum %g)\n", sink);
    return 0;
}
