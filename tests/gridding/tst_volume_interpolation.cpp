#include "gridding/Interpolation.h"

#include "common/TestHelpers.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <cmath>
#include <limits>

namespace {

VolumePoint point(double x, double y, double z, double value)
{
    VolumePoint p;
    p.line = 1;
    p.station = 2;
    p.x = x;
    p.y = y;
    p.z = z;
    p.value = value;
    return p;
}

// A run with nothing to grid still reports 100 % once and finishes, with
// no results.
void runExpectingNoGrid(Interpolation &worker)
{
    QSignalSpy progress(&worker, SIGNAL(MakeProgress(int)));
    QSignalSpy finished(&worker, SIGNAL(interpfinished()));
    worker.threadStarted();
    QCOMPARE(progress.count(), 1);
    QCOMPARE(progress.at(0).at(0).toInt(), 100);
    QCOMPARE(finished.count(), 1);
    QVERIFY(worker.resultValues().isEmpty());
    QVERIFY(worker.resultNodes().isEmpty());
}

} // namespace

class TestInterpolation : public QObject
{
    Q_OBJECT

private slots:
    void statistics();
    void noUsablePoints_data();
    void noUsablePoints();
    void emptyGridSizes_data();
    void emptyGridSizes();
    void nodeOrderAndNearPoint();
    void progressOfDefaultGrid();
    void progressSequence_data();
    void progressSequence();
    void threadsGiveTheSameVolume();
    void singleNodeAxis();
    void matchesDirectSum();
    void runsInThread();
};

void TestInterpolation::statistics()
{
    Interpolation worker;
    worker.setData({point(0, 5, -10, 1), point(4, -1, -30, 2), point(2, 3, 0, 3),
                    point(std::numeric_limits<double>::quiet_NaN(), 0, 0, 100)});
    QCOMPARE(worker.getMean(), 2.0f);
    HW_COMPARE_NEAR(worker.standardDeviation(), std::sqrt(14.0 / 3.0 - 4.0), 1e-6);
    QCOMPARE(worker.getMinValue(), 1.0f);
    QCOMPARE(worker.getMaxValue(), 3.0f);
    QCOMPARE(worker.getMinX(), 0.0f);
    QCOMPARE(worker.getMaxX(), 4.0f);
    QCOMPARE(worker.getMinY(), -1.0f);
    QCOMPARE(worker.getMaxY(), 5.0f);
    QCOMPARE(worker.getMinZ(), -30.0f);
    QCOMPARE(worker.getMaxZ(), 0.0f);

    // Equal values: no negative variance from rounding.
    worker.setData({point(0, 0, 0, 0.1), point(1, 0, 0, 0.1), point(2, 0, 0, 0.1)});
    QCOMPARE(worker.standardDeviation(), 0.0f);
}

void TestInterpolation::noUsablePoints_data()
{
    QTest::addColumn<QVector<VolumePoint>>("points");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("none") << QVector<VolumePoint>{};
    QTest::newRow("only NaN") << QVector<VolumePoint>{point(0, 0, 0, nan), point(nan, 1, 1, 1)};
}

void TestInterpolation::noUsablePoints()
{
    QFETCH(QVector<VolumePoint>, points);
    Interpolation worker;
    worker.setData(points);
    QCOMPARE(worker.getMean(), 0.0f);
    QCOMPARE(worker.standardDeviation(), 0.0f);
    QVERIFY(worker.getMaxX() < worker.getMinX());
    worker.setGridSize(3, 3, 3);
    runExpectingNoGrid(worker);
}

void TestInterpolation::emptyGridSizes_data()
{
    QTest::addColumn<int>("nx");
    QTest::addColumn<int>("ny");
    QTest::addColumn<int>("nz");
    QTest::newRow("nz 0") << 4 << 4 << 0;
    QTest::newRow("nx 0") << 0 << 4 << 4;
    QTest::newRow("ny negative") << 4 << -2 << 4;
}

void TestInterpolation::emptyGridSizes()
{
    QFETCH(int, nx);
    QFETCH(int, ny);
    QFETCH(int, nz);
    Interpolation worker;
    worker.setData({point(0, 0, 0, 1), point(1, 1, 1, 2)});
    // Results of an earlier run are cleared.
    worker.setGridSize(2, 2, 2);
    worker.threadStarted();
    QCOMPARE(worker.resultValues().size(), 8);

    worker.setGridSize(nx, ny, nz);
    runExpectingNoGrid(worker);
}

void TestInterpolation::nodeOrderAndNearPoint()
{
    Interpolation worker;
    // Extent x 0..2, y 0..4, z 0..6; the last point sits 0.05 from node (2, 4, 6).
    worker.setData({point(0, 0, 0, 10), point(1.97, 4, 5.96, 77), point(2, 0, 6, 20),
                    point(0, 4, 0, 30)});
    worker.setGridSize(3, 2, 2);
    worker.threadStarted();
    const QVector<ScatterPoint> nodes = worker.resultNodes();
    const QList<double> values = worker.resultValues();
    QCOMPARE(nodes.size(), 12);
    QCOMPARE(values.size(), 12);
    // z outermost, then y, x innermost.
    QCOMPARE(nodes[1].x, 1.0);
    QCOMPARE(nodes[3].y, 4.0);
    QCOMPARE(nodes[3].z, 0.0);
    QCOMPARE(nodes[6].z, 6.0);
    for (int m = 0; m < 12; ++m)
        QCOMPARE(nodes[m].value, values[m]);
    QCOMPARE(values[0], 10.0);
    QCOMPARE(values[11], 77.0);
}

void TestInterpolation::progressOfDefaultGrid()
{
    Interpolation worker;
    worker.setData({point(0, 0, 0, 1), point(10, 10, 10, 2)});
    QSignalSpy progress(&worker, SIGNAL(MakeProgress(int)));
    worker.threadStarted();
    QCOMPARE(worker.resultValues().size(), 125000);
    QVERIFY(progress.count() >= 2);
    // Node 0 gives 0 and sends nothing; the last node gives 99, then 100.
    QVERIFY(progress.first().at(0).toInt() >= 1);
    QCOMPARE(progress.at(progress.count() - 2).at(0).toInt(), 99);
    QCOMPARE(progress.last().at(0).toInt(), 100);
    int previous = 0;
    for (const QList<QVariant> &args : qAsConst(progress)) {
        QVERIFY(args.at(0).toInt() >= previous);
        previous = args.at(0).toInt();
    }
}

void TestInterpolation::progressSequence_data()
{
    QTest::addColumn<int>("nx");
    QTest::addColumn<int>("ny");
    QTest::addColumn<int>("nz");
    QTest::addColumn<int>("threads");
    QTest::newRow("12 nodes, serial") << 3 << 2 << 2 << 1;
    QTest::newRow("12 nodes, 4 threads") << 3 << 2 << 2 << 4;
    QTest::newRow("1000 nodes, 8 threads") << 10 << 10 << 10 << 8;
    QTest::newRow("1 node") << 1 << 1 << 1 << 8;
}

void TestInterpolation::progressSequence()
{
    QFETCH(int, nx);
    QFETCH(int, ny);
    QFETCH(int, nz);
    QFETCH(int, threads);

    // Node m stands for 100 * m / nodes from 1 on; each value once, then 100.
    const int total = nx * ny * nz;
    QVector<int> expected;
    for (int m = 0; m < total; ++m) {
        const int p = 100 * m / total;
        if (p >= 1 && (expected.isEmpty() || expected.last() != p))
            expected.append(p);
    }
    expected.append(100);

    Interpolation worker;
    worker.setData({point(0, 0, 0, 1), point(10, 10, 10, 2), point(3, 7, 1, 5)});
    worker.setGridSize(nx, ny, nz);
    worker.setThreadCount(threads);
    QVector<int> sent;
    bool onCallingThread = true;
    connect(&worker, &Interpolation::MakeProgress, this, [&](int p) {
        sent.append(p);
        onCallingThread = onCallingThread && QThread::currentThread() == thread();
    }, Qt::DirectConnection);
    worker.threadStarted();
    QCOMPARE(sent, expected);
    QVERIFY(onCallingThread);
}

void TestInterpolation::threadsGiveTheSameVolume()
{
    QRandomGenerator rng(78);
    QVector<VolumePoint> points;
    for (int i = 0; i < 300; ++i)
        points.append(point(rng.generateDouble() * 100, rng.generateDouble() * 50,
                            -rng.generateDouble() * 30, 1 + rng.generateDouble() * 500));
    Interpolation serial;
    serial.setData(points);
    serial.setGridSize(17, 13, 11);
    serial.setThreadCount(1);
    serial.threadStarted();
    const QList<double> reference = serial.resultValues();
    const QVector<ScatterPoint> referenceNodes = serial.resultNodes();
    QCOMPARE(reference.size(), 17 * 13 * 11);
    for (int threads : {3, 8, 0}) {
        Interpolation parallel;
        parallel.setData(points);
        parallel.setGridSize(17, 13, 11);
        parallel.setThreadCount(threads);
        parallel.threadStarted();
        QCOMPARE(parallel.resultValues(), reference);
        const QVector<ScatterPoint> nodes = parallel.resultNodes();
        QCOMPARE(nodes.size(), referenceNodes.size());
        for (int m = 0; m < nodes.size(); ++m) {
            QVERIFY(nodes[m].x == referenceNodes[m].x && nodes[m].y == referenceNodes[m].y
                    && nodes[m].z == referenceNodes[m].z
                    && nodes[m].value == referenceNodes[m].value);
        }
    }
}

void TestInterpolation::singleNodeAxis()
{
    Interpolation worker;
    worker.setData({point(0, 0, 0, 1), point(10, 0, 0, 3)});
    worker.setGridSize(1, 1, 1);
    worker.threadStarted();
    QCOMPARE(worker.resultNodes().size(), 1);
    QCOMPARE(worker.resultNodes()[0].x, 0.0);
    QCOMPARE(worker.resultValues()[0], 1.0);
}

void TestInterpolation::matchesDirectSum()
{
    QRandomGenerator rng(77);
    QVector<VolumePoint> points;
    for (int i = 0; i < 60; ++i)
        points.append(point(rng.generateDouble() * 100, rng.generateDouble() * 50,
                            -rng.generateDouble() * 30, 1 + rng.generateDouble() * 500));
    Interpolation worker;
    worker.setData(points);
    worker.setGridSize(7, 6, 5);
    worker.threadStarted();
    const QVector<ScatterPoint> nodes = worker.resultNodes();
    QCOMPARE(nodes.size(), 7 * 6 * 5);
    for (const ScatterPoint &n : nodes) {
        double sumW = 0.0;
        double sumWV = 0.0;
        double direct = std::numeric_limits<double>::quiet_NaN();
        for (const VolumePoint &p : points) {
            const double d = std::sqrt((n.x - p.x) * (n.x - p.x) + (n.y - p.y) * (n.y - p.y)
                                       + (n.z - p.z) * (n.z - p.z));
            if (d < 0.1) {
                direct = p.value;
                break;
            }
            sumW += 1.0 / (d * d);
            sumWV += p.value / (d * d);
        }
        if (std::isnan(direct))
            direct = sumWV / sumW;
        // Accumulated in single precision.
        HW_COMPARE_NEAR(n.value, direct, 1e-4);
    }
}

void TestInterpolation::runsInThread()
{
    Interpolation worker;
    worker.setData({point(0, 0, 0, 1), point(5, 5, 5, 2), point(9, 1, 3, 4)});
    worker.setGridSize(20, 20, 20);

    QThread thread;
    worker.moveToThread(&thread);
    connect(&thread, SIGNAL(started()), &worker, SLOT(threadStarted()));
    connect(&worker, SIGNAL(interpfinished()), &thread, SLOT(quit()));

    // Received on this thread through the event loop.
    QVector<int> received;
    bool allOnGuiThread = true;
    connect(&worker, &Interpolation::MakeProgress, this, [&](int p) {
        received.append(p);
        allOnGuiThread = allOnGuiThread && QThread::currentThread() == thread.thread();
    });
    QSignalSpy finished(&worker, SIGNAL(interpfinished()));
    QSignalSpy threadFinished(&thread, SIGNAL(finished()));
    thread.start();
    QVERIFY(threadFinished.wait(20000));
    QTRY_VERIFY(!received.isEmpty() && received.last() == 100);
    QCOMPARE(finished.count(), 1);
    QVERIFY(allOnGuiThread);
    QCOMPARE(worker.resultValues().size(), 8000);
}

QTEST_GUILESS_MAIN(TestInterpolation)
#include "tst_volume_interpolation.moc"
