// Gridding times: a typical section (100 stations x 60 levels) onto a
// 500 x 300 grid and onto the progress dialog's own grid size, a volume of
// several lines onto 50 x 50 x 50 nodes, and iso-bands of the section grid.

#include "gridding/GridData.h"
#include "gridding/GriddingSetup.h"
#include "gridding/Interpolation.h"
#include "gridding/IsoBander.h"
#include "gridding/RectInterpolation2.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>

namespace {

// Stations 10 m apart, levels growing with depth down to about 600 m.
QList<GridPoint> section(int stations, int levels, float *depthMax)
{
    QRandomGenerator rng(7);
    QList<GridPoint> samples;
    float maxDepth = 0.0f;
    for (int s = 0; s < stations; ++s) {
        double depth = 2.0;
        for (int l = 0; l < levels; ++l) {
            const double x = 10.0 * s;
            const double value = 100.0 + 80.0 * std::sin(x / 150.0) + 0.3 * depth
                                 + 5.0 * rng.generateDouble();
            samples.append(GridPoint{float(x), float(depth), float(value)});
            maxDepth = std::max(maxDepth, float(depth));
            depth *= 1.095;
        }
    }
    *depthMax = maxDepth;
    return samples;
}

double gridSection(const QList<GridPoint> &samples, int nx, int ny, float xmax, float ymin,
                   float ymax, QList<GridPoint> *out)
{
    GriddingSetup setup;
    QElapsedTimer timer;
    timer.start();
    auto tree = setup.createKdTree(samples);
    const double area = double(xmax) * (double(ymax) - ymin);
    const double radius = std::sqrt(area) / std::pow(samples.size() / 50.0, 1.0 / 3.0);
    const GriddingJob job = setup.createGriddingJob(
        1, setup.createIdwParams(2.0, 50, 1, radius, radius),
        setup.createGridGeometry(xmax, 0, ymax, ymin, nx, ny, 0, 0, 0));
    RectInterpolation2 worker;
    worker.setJob(&job);
    worker.setTree(tree->tree.get());
    worker.startInterp();
    const double ms = timer.nsecsElapsed() / 1e6;
    *out = worker.outputPoints();
    return ms;
}

} // namespace

int main()
{
    float depthMax = 0.0f;
    const QList<GridPoint> samples = section(100, 60, &depthMax);
    const float xmax = 990.0f;
    const float ymin = 2.0f;
    std::printf("section: %d samples (100 stations x 60 levels), x 0..%.0f, depth %.0f..%.0f\n",
                samples.size(), xmax, ymin, depthMax);

    QList<GridPoint> grid;
    for (int run = 0; run < 3; ++run) {
        const double ms = gridSection(samples, 500, 300, xmax, ymin, depthMax, &grid);
        std::printf("  500 x 300 grid (150000 nodes): %8.1f ms  (%.2f us/node)\n", ms,
                    ms * 1000.0 / 150000.0);
    }
    const int dialogRows = 1 + int((depthMax - ymin) / 5.0f);
    QList<GridPoint> dialogGrid;
    const double dialogMs = gridSection(samples, 100, dialogRows, xmax, ymin, depthMax, &dialogGrid);
    std::printf("  progress-dialog size 100 x %d: %8.1f ms\n", dialogRows, dialogMs);

    GridData data;
    data.setFromPoints(grid, 500, 300);
    QVector<float> levels;
    for (int i = 1; i <= 10; ++i)
        levels.append(data.zMin() + data.zSpan() * i / 10.0f);
    QElapsedTimer timer;
    timer.start();
    int points = 0;
    for (int i = 0; i < levels.size(); ++i) {
        const double low = i == 0 ? data.zMin() - 1.0 : levels[i - 1];
        IsoBander bander(data.xCoordinates().constData(), data.yCoordinates().constData(),
                         data.values().constData(), 300, 500, low, levels[i]);
        bander.computeBands();
        QVector<double> xs, ys;
        QVector<int> ids;
        bander.traceRings(&xs, &ys, &ids);
        points += xs.size();
    }
    std::printf("  iso-bands, 10 bands of the 500 x 300 grid: %8.1f ms (%d outline points)\n",
                timer.nsecsElapsed() / 1e6, points);

    // Volume: 5 lines x 20 stations x 20 levels.
    QVector<VolumePoint> volume;
    QRandomGenerator rng(11);
    for (int line = 0; line < 5; ++line)
        for (int st = 0; st < 20; ++st)
            for (int l = 0; l < 20; ++l) {
                VolumePoint p;
                p.line = line;
                p.station = st;
                p.x = 20.0 * st;
                p.y = 50.0 * line;
                p.z = -10.0 * l;
                p.value = 50.0 + 200.0 * rng.generateDouble();
                volume.append(p);
            }
    Interpolation worker;
    worker.setData(volume);
    worker.setGridSize(50, 50, 50);
    timer.restart();
    worker.threadStarted();
    const double volumeMs = timer.nsecsElapsed() / 1e6;
    std::printf("volume: %d points onto 50 x 50 x 50 nodes: %8.1f ms (%.1f ns per node-point pair)\n",
                volume.size(), volumeMs, volumeMs * 1e6 / (125000.0 * volume.size()));
    return 0;
}
