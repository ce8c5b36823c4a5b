// Gridding times. The target: 2 000 scattered points onto 500 x 200 nodes,
// run as the progress dialog runs it (worker thread, progress to this
// thread), against `gdal_grid -a invdist` on all cores at the same power and
// radius, when gdal_grid is installed. Then a typical section (100 stations
// x 60 levels) onto a 500 x 300 grid and onto the progress dialog's own grid
// size, a volume of several lines onto 50 x 50 x 50 nodes, and iso-bands of
// the section grid.

#include "bench/BenchTiming.h"
#include "gridding/GridData.h"
#include "gridding/GriddingSetup.h"
#include "gridding/Interpolation.h"
#include "gridding/IsoBander.h"
#include "gridding/RectInterpolation2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

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

// One run as the progress dialog does it: tree and job, the worker in its
// own thread, progress received here through the event loop.
double dialogStyleRun(const QList<GridPoint> &samples, const GridGeometry &g, double radius,
                      int *progressSignals)
{
    QElapsedTimer timer;
    timer.start();
    GriddingSetup setup;
    auto tree = setup.createKdTree(samples);
    const GriddingJob job =
        setup.createGriddingJob(1, setup.createIdwParams(2.0, 50, 1, radius, radius), g);
    RectInterpolation2 worker;
    worker.setJob(&job);
    worker.setTree(tree->tree.get());
    QThread thread;
    worker.moveToThread(&thread);
    QObject receiver;
    int received = 0;
    int bar = 0;
    QObject::connect(&worker, &RectInterpolation2::interpProcess, &receiver, [&](int p) {
        ++received;
        bar = p;
    });
    QObject::connect(&thread, &QThread::started, &worker, &RectInterpolation2::startInterp);
    QObject::connect(&worker, &RectInterpolation2::interpfinished, &thread, &QThread::quit);
    QEventLoop loop;
    QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread.start(QThread::HighestPriority);
    loop.exec();
    thread.wait();
    QCoreApplication::processEvents();   // progress still queued
    const double ms = timer.nsecsElapsed() / 1e6;
    *progressSignals = received;
    if (bar != 100)
        std::printf("  (progress ended at %d)\n", bar);
    return ms;
}

void scatteredAgainstGdal()
{
    const int count = 2000;
    const int nx = 500, ny = 200;
    const double xmax = 1000.0, ymax = 400.0;
    QRandomGenerator rng(31);
    QList<GridPoint> samples;
    for (int i = 0; i < count; ++i) {
        const double x = rng.generateDouble() * xmax;
        const double y = rng.generateDouble() * ymax;
        samples.append(GridPoint{float(x), float(y),
                                 float(100.0 + 50.0 * std::sin(x / 90.0) * std::cos(y / 70.0)
                                       + 10.0 * rng.generateDouble())});
    }
    // The progress dialog's radius for this extent and count.
    const double radius = std::sqrt(xmax * ymax) / std::pow(count / 50.0, 1.0 / 3.0);
    GriddingSetup setup;
    const GridGeometry g = setup.createGridGeometry(xmax, 0, ymax, 0, nx, ny, 0, 0, 0);
    std::printf("scattered: %d points onto %d x %d nodes, power 2, radius %.1f, %d threads\n",
                count, nx, ny, radius, QThread::idealThreadCount());

    int signalCount = 0;
    const double ours = bestOf(3, [&] { dialogStyleRun(samples, g, radius, &signalCount); });
    std::printf("  worker (tree, grid, progress)   %8.1f ms  (%d progress signals)\n", ours,
                signalCount);

    const QString gdal = QStandardPaths::findExecutable(QStringLiteral("gdal_grid"));
    if (gdal.isEmpty()) {
        std::printf("  gdal_grid not installed: reference skipped\n");
        return;
    }
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("points.csv"));
    const QString vrt = dir.filePath(QStringLiteral("points.vrt"));
    {
        QFile f(in);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
            return;
        f.write("x,y,z\n");
        for (const GridPoint &s : qAsConst(samples))
            f.write(QByteArray::number(s.x, 'g', 9) + ',' + QByteArray::number(s.y, 'g', 9) + ','
                    + QByteArray::number(s.value, 'g', 9) + '\n');
    }
    {
        QFile f(vrt);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
            return;
        f.write("<OGRVRTDataSource><OGRVRTLayer name=\"points\"><SrcDataSource>"
                + in.toUtf8()
                + "</SrcDataSource><SrcLayer>points</SrcLayer><GeometryType>wkbPoint</GeometryType>"
                  "<GeometryField encoding=\"PointFromColumns\" x=\"x\" y=\"y\" z=\"z\"/>"
                  "</OGRVRTLayer></OGRVRTDataSource>\n");
    }
    const QStringList args{
        QStringLiteral("-q"), QStringLiteral("--config"), QStringLiteral("GDAL_NUM_THREADS"),
        QStringLiteral("ALL_CPUS"), QStringLiteral("-a"),
        QStringLiteral("invdist:power=2.0:radius1=%1:radius2=%1:nodata=0").arg(radius, 0, 'g', 17),
        QStringLiteral("-txe"), QStringLiteral("0"), QString::number(xmax), QStringLiteral("-tye"),
        QStringLiteral("0"), QString::number(ymax), QStringLiteral("-outsize"),
        QString::number(nx), QString::number(ny), QStringLiteral("-ot"),
        QStringLiteral("Float32"), QStringLiteral("-of"), QStringLiteral("GTiff"), vrt,
        dir.filePath(QStringLiteral("out.tif"))};
    bool ok = true;
    const double reference = bestOf(3, [&] {
        ok = ok && QProcess::execute(gdal, args) == 0;
    });
    if (!ok) {
        std::printf("  gdal_grid failed: reference skipped\n");
        return;
    }
    std::printf("  gdal_grid -a invdist, all cores %8.1f ms\n", reference);
    std::printf("  ratio worker / gdal_grid        %8.2f  (target <= 1)\n", ours / reference);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    scatteredAgainstGdal();

    float depthMax = 0.0f;
    const QList<GridPoint> samples = section(100, 60, &depthMax);
    const float xmax = 990.0f;
    const float ymin = 2.0f;
    std::printf("\nsection: %d samples (100 stations x 60 levels), x 0..%.0f, depth %.0f..%.0f\n",
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
    Interpolation serial;
    serial.setData(volume);
    serial.setGridSize(50, 50, 50);
    serial.setThreadCount(1);
    timer.restart();
    serial.threadStarted();
    const double serialMs = timer.nsecsElapsed() / 1e6;
    std::printf("  on one thread: %8.1f ms; ratio all threads / one thread %.2f; results %s\n",
                serialMs, volumeMs / serialMs,
                serial.resultValues() == worker.resultValues() ? "identical" : "DIFFER");
    return 0;
}
