#include "gridding/GriddingSetup.h"
#include "gridding/RectInterpolation2.h"

#include "common/TestHelpers.h"

#include <QRandomGenerator>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// One synchronous run of the worker over the samples.
struct Run {
    GriddingSetup setup;
    std::unique_ptr<SampleTree> tree;
    GriddingJob job;
    RectInterpolation2 worker;

    Run(const QList<GridPoint> &samples, const GridGeometry &g, double radius, double power = 2.0)
    {
        tree = setup.createKdTree(samples);
        job = setup.createGriddingJob(1, setup.createIdwParams(power, 50, 1, radius, radius), g);
        worker.setJob(&job);
        worker.setTree(tree ? tree->tree.get() : nullptr);
        worker.setMethod(RectInterpolation2::InverseDistanceToPower);
    }
};

// The node value straight from the definition, over every sample. A node
// with no sample in the radius may take any of several equally near ones.
QVector<double> bruteForce(const QList<GridPoint> &samples, double x, double y, double radius,
                           double power)
{
    double sumW = 0.0;
    double sumWV = 0.0;
    double nearest = std::numeric_limits<double>::max();
    QVector<double> nearestValues;
    bool any = false;
    for (const GridPoint &s : samples) {
        const double d = std::hypot(double(s.x) - x, double(s.y) - y);
        if (d < nearest) {
            nearest = d;
            nearestValues = {double(s.value)};
        } else if (d == nearest) {
            nearestValues.append(s.value);
        }
        if (d > radius)
            continue;
        any = true;
        if (d < 0.0001)
            return {double(s.value)};
        const double w = std::pow(1.0 / d, power);
        sumW += w;
        sumWV += w * s.value;
    }
    return any ? QVector<double>{sumWV / sumW} : nearestValues;
}

// The node value as the worker defines it, over the samples in their order:
// the tree's hits come in that order and the same sums must result, to the
// last bit. The nearest of several equally near samples is the first.
float inSampleOrder(const QList<GridPoint> &samples, float x, float y, double radius)
{
    const double qx = x, qy = y;
    double sumW = 0.0;
    double sumWV = 0.0;
    bool any = false;
    double nearest = std::numeric_limits<double>::infinity();
    double nearestValue = 0.0;
    for (const GridPoint &s : samples) {
        const double px = s.x, py = s.y;
        const double d2 = (px - qx) * (px - qx) + (py - qy) * (py - qy);
        if (d2 < nearest) {
            nearest = d2;
            nearestValue = s.value;
        }
        if (!(d2 <= radius * radius))
            continue;
        any = true;
        const double d = std::sqrt((qy - py) * (qy - py) + (qx - px) * (qx - px));
        if (d < 0.0001)
            return s.value;
        const double inverse = 1.0 / d;
        const double w = inverse * inverse;
        sumW += w;
        sumWV += w * double(s.value);
    }
    return float(any ? sumWV / sumW : nearestValue);
}

// Columns of a section with a few stray samples between them. With twins,
// some samples are followed by two more at the same place, of +1e30 and
// -1e30: they cancel each other but swallow whatever was summed before
// them, so a node's value tells in which order its samples were summed.
QList<GridPoint> sectionSamples(bool twins = false)
{
    QRandomGenerator rng(91);
    QList<GridPoint> samples;
    for (int c = 0; c < 30; ++c) {
        double depth = 0.0;
        for (int l = 0; l < 20; ++l) {
            const GridPoint s{float(7.5 * c), float(-depth), float(10.0 + 500.0 * rng.generateDouble())};
            samples.append(s);
            if (twins && l % 4 == 1) {
                samples.append(GridPoint{s.x, s.y, 1e30f});
                samples.append(GridPoint{s.x, s.y, -1e30f});
            }
            depth += 1.0 + 0.3 * l;
        }
    }
    for (int i = 0; i < 40; ++i)
        samples.append(GridPoint{float(rng.generateDouble() * 220.0),
                                 float(-rng.generateDouble() * 80.0),
                                 float(10.0 + 500.0 * rng.generateDouble())});
    return samples;
}

} // namespace

class TestRectInterpolation2 : public QObject
{
    Q_OBJECT

private slots:
    void geometryAndJob();
    void nodesInRowOrder();
    void workedExample();
    void coincidentSampleDecides();
    void nearestWhenRadiusEmpty();
    void progressPerNode();
    void progressSequence_data();
    void progressSequence();
    void sumsInSampleOrder_data();
    void sumsInSampleOrder();
    void threadsGiveTheSameGrid();
    void otherMethodOnlyFinishes();
    void matchesBruteForce_data();
    void matchesBruteForce();
    void degenerateInput_data();
    void degenerateInput();
    void treeSkipsNonFiniteSamples();
};

void TestRectInterpolation2::geometryAndJob()
{
    GriddingSetup setup;
    const GridGeometry g = setup.createGridGeometry(100, 0, 50, -10, 11, 7, 0, 0, 0);
    QCOMPARE(g.dx, 10.0);
    QCOMPARE(g.dy, 10.0);
    QCOMPARE(g.dz, 0.0);
    // A single node on an axis has no spacing to divide out.
    const GridGeometry single = setup.createGridGeometry(100, 0, 5, 5, 1, 1, 0, 0, 0);
    QCOMPARE(single.dx, 0.0);
    QCOMPARE(single.dy, 0.0);

    const IdwParams p = setup.createIdwParams(2.0, 50, 1, 12.5, 12.5);
    QCOMPARE(p.power, 2.0);
    QCOMPARE(p.searchRadius, 12.5);
    QCOMPARE(p.secondRadius, 12.5);
    QCOMPARE(p.maxPoints, 50);
    QCOMPARE(p.minPoints, 1);
    QCOMPARE(p.smoothing, 0.0);

    QCOMPARE(setup.createGriddingJob(1, p, g).nodeCount, 77);
    const GridGeometry volume = setup.createGridGeometry(1, 0, 1, 0, 4, 5, 1, 0, 3);
    QCOMPARE(volume.dz, 0.5);
    QCOMPARE(setup.createGriddingJob(1, p, volume).nodeCount, 60);
}

void TestRectInterpolation2::nodesInRowOrder()
{
    GriddingSetup setup;
    Run run({{0, 0, 1}}, setup.createGridGeometry(4, 0, 2, 0, 3, 2, 0, 0, 0), 100);
    run.worker.startInterp();
    const QList<GridPoint> &out = run.worker.outputPoints();
    QCOMPARE(out.size(), 6);
    const float expected[6][2] = {{0, 0}, {2, 0}, {4, 0}, {0, 2}, {2, 2}, {4, 2}};
    for (int k = 0; k < 6; ++k) {
        QCOMPARE(out[k].x, expected[k][0]);
        QCOMPARE(out[k].y, expected[k][1]);
    }
}

void TestRectInterpolation2::workedExample()
{
    // Distances 1 and 2, values 10 and 40: (10 + 40 / 4) / (1 + 1 / 4) = 16.
    GriddingSetup setup;
    Run run({{1, 0, 10}, {0, 2, 40}}, setup.createGridGeometry(0, 0, 0, 0, 1, 1, 0, 0, 0), 5);
    run.worker.startInterp();
    QCOMPARE(run.worker.outputPoints().size(), 1);
    QCOMPARE(run.worker.outputPoints()[0].value, 16.0f);
}

void TestRectInterpolation2::coincidentSampleDecides()
{
    GriddingSetup setup;
    Run run({{3, 0, 10}, {0.00005f, 0, 7.25f}, {0, 1, 1000}},
            setup.createGridGeometry(0, 0, 0, 0, 1, 1, 0, 0, 0), 10);
    run.worker.startInterp();
    QCOMPARE(run.worker.outputPoints()[0].value, 7.25f);
}

void TestRectInterpolation2::nearestWhenRadiusEmpty()
{
    GriddingSetup setup;
    Run run({{500, 0, 3}, {-900, 0, 4}, {0, 800, 5}},
            setup.createGridGeometry(0, 0, 0, 0, 1, 1, 0, 0, 0), 1);
    run.worker.startInterp();
    QCOMPARE(run.worker.outputPoints()[0].value, 3.0f);
}

void TestRectInterpolation2::progressPerNode()
{
    GriddingSetup setup;
    Run run({{0, 0, 1}}, setup.createGridGeometry(2, 0, 0, 0, 3, 1, 0, 0, 0), 1);
    QSignalSpy progress(&run.worker, SIGNAL(interpProcess(int)));
    QSignalSpy finished(&run.worker, SIGNAL(interpfinished()));
    run.worker.startInterp();
    QCOMPARE(progress.count(), 3);
    QCOMPARE(progress.at(0).at(0).toInt(), 33);
    QCOMPARE(progress.at(1).at(0).toInt(), 66);
    QCOMPARE(progress.at(2).at(0).toInt(), 100);
    QCOMPARE(finished.count(), 1);
}

void TestRectInterpolation2::progressSequence_data()
{
    QTest::addColumn<int>("nx");
    QTest::addColumn<int>("ny");
    QTest::addColumn<int>("threads");
    QTest::newRow("3 nodes, 4 threads") << 3 << 1 << 4;
    QTest::newRow("7 nodes, 1 thread") << 7 << 1 << 1;
    QTest::newRow("7 nodes, 4 threads") << 7 << 1 << 4;
    QTest::newRow("250 nodes, 1 thread") << 25 << 10 << 1;
    QTest::newRow("250 nodes, 8 threads") << 25 << 10 << 8;
    QTest::newRow("303 nodes, 8 threads") << 101 << 3 << 8;
    QTest::newRow("1 node") << 1 << 1 << 8;
}

void TestRectInterpolation2::progressSequence()
{
    QFETCH(int, nx);
    QFETCH(int, ny);
    QFETCH(int, threads);

    // The bar takes the values that 100 * (k + 1) / n runs through, each
    // once, all sent from the thread that runs the worker.
    const int n = nx * ny;
    QVector<int> expected;
    for (int k = 0; k < n; ++k) {
        const int p = 100 * (k + 1) / n;
        if (expected.isEmpty() || expected.last() != p)
            expected.append(p);
    }

    GriddingSetup setup;
    Run run({{0, 0, 1}, {5, 5, 2}}, setup.createGridGeometry(10, 0, 10, 0, nx, ny, 0, 0, 0), 3);
    run.worker.setThreadCount(threads);
    QVector<int> sent;
    bool onCallingThread = true;
    connect(&run.worker, &RectInterpolation2::interpProcess, this, [&](int p) {
        sent.append(p);
        onCallingThread = onCallingThread && QThread::currentThread() == thread();
    }, Qt::DirectConnection);
    run.worker.startInterp();
    QCOMPARE(sent, expected);
    QVERIFY(onCallingThread);
}

void TestRectInterpolation2::sumsInSampleOrder_data()
{
    QTest::addColumn<double>("radius");
    QTest::addColumn<int>("threads");
    QTest::addColumn<bool>("twins");
    QTest::newRow("radius 9, serial") << 9.0 << 1 << false;
    QTest::newRow("radius 9, 8 threads") << 9.0 << 8 << false;
    QTest::newRow("radius 40, 3 threads") << 40.0 << 3 << false;
    QTest::newRow("radius 2: many nodes on the nearest") << 2.0 << 8 << false;
    QTest::newRow("twins, radius 9, serial") << 9.0 << 1 << true;
    QTest::newRow("twins, radius 9, 8 threads") << 9.0 << 8 << true;
    QTest::newRow("twins, radius 40, 3 threads") << 40.0 << 3 << true;
    QTest::newRow("twins, radius 2") << 2.0 << 8 << true;
}

void TestRectInterpolation2::sumsInSampleOrder()
{
    QFETCH(double, radius);
    QFETCH(int, threads);
    QFETCH(bool, twins);

    const QList<GridPoint> samples = sectionSamples(twins);
    GriddingSetup setup;
    Run run(samples, setup.createGridGeometry(217.5, 0, 0, -80, 59, 33, 0, 0, 0), radius);
    run.worker.setThreadCount(threads);
    run.worker.startInterp();
    const QList<GridPoint> &out = run.worker.outputPoints();
    QCOMPARE(out.size(), 59 * 33);
    int mismatches = 0;
    QString first;
    for (const GridPoint &p : out) {
        const float expected = inSampleOrder(samples, p.x, p.y, radius);
        if (p.value != expected && mismatches++ == 0)
            first = QString("node (%1, %2): %3, expected %4").arg(p.x).arg(p.y)
                        .arg(double(p.value), 0, 'g', 9).arg(double(expected), 0, 'g', 9);
    }
    if (mismatches > 0)
        QFAIL(qPrintable(QString("%1 nodes differ; %2").arg(mismatches).arg(first)));
}

void TestRectInterpolation2::threadsGiveTheSameGrid()
{
    // The serial run is the reference; every split over threads gives the
    // same grid, bit for bit.
    QRandomGenerator rng(92);
    QList<GridPoint> samples = sectionSamples();
    for (int i = 0; i < 2000; ++i)
        samples.append(GridPoint{float(rng.generateDouble() * 220.0),
                                 float(-rng.generateDouble() * 80.0),
                                 float(rng.generateDouble() * 1000.0)});
    GriddingSetup setup;
    const GridGeometry g = setup.createGridGeometry(217.5, 0, 0, -80, 120, 61, 0, 0, 0);
    Run serial(samples, g, 15.0);
    serial.worker.setThreadCount(1);
    serial.worker.startInterp();
    const QList<GridPoint> &reference = serial.worker.outputPoints();
    QCOMPARE(reference.size(), 120 * 61);
    for (int threads : {2, 3, 8, 0}) {
        Run parallel(samples, g, 15.0);
        parallel.worker.setThreadCount(threads);
        parallel.worker.startInterp();
        const QList<GridPoint> &out = parallel.worker.outputPoints();
        QCOMPARE(out.size(), reference.size());
        for (int k = 0; k < out.size(); ++k) {
            if (out[k].value != reference[k].value || out[k].x != reference[k].x
                || out[k].y != reference[k].y)
                QFAIL(qPrintable(QString("%1 threads, node %2 differs").arg(threads).arg(k)));
        }
    }
}

void TestRectInterpolation2::otherMethodOnlyFinishes()
{
    GriddingSetup setup;
    Run run({{0, 0, 1}}, setup.createGridGeometry(2, 0, 0, 0, 3, 1, 0, 0, 0), 1);
    run.worker.setMethod(1);
    QSignalSpy progress(&run.worker, SIGNAL(interpProcess(int)));
    QSignalSpy finished(&run.worker, SIGNAL(interpfinished()));
    run.worker.startInterp();
    QVERIFY(run.worker.outputPoints().isEmpty());
    QCOMPARE(progress.count(), 0);
    QCOMPARE(finished.count(), 1);

    // A previous grid is left as it was.
    run.worker.setMethod(RectInterpolation2::InverseDistanceToPower);
    run.worker.startInterp();
    QCOMPARE(run.worker.outputPoints().size(), 3);
    run.worker.setMethod(0);
    run.worker.startInterp();
    QCOMPARE(run.worker.outputPoints().size(), 3);
}

void TestRectInterpolation2::matchesBruteForce_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("sampleCount");
    QTest::addColumn<double>("radius");
    QTest::addColumn<double>("power");
    QTest::newRow("sparse, small radius") << 11u << 40 << 6.0 << 2.0;
    QTest::newRow("dense, wide radius") << 12u << 300 << 25.0 << 2.0;
    QTest::newRow("power 3") << 13u << 150 << 15.0 << 3.0;
    QTest::newRow("integer positions") << 14u << 200 << 10.0 << 2.0;
}

void TestRectInterpolation2::matchesBruteForce()
{
    QFETCH(quint32, seed);
    QFETCH(int, sampleCount);
    QFETCH(double, radius);
    QFETCH(double, power);

    QRandomGenerator rng(seed);
    const bool integral = QByteArray(QTest::currentDataTag()).startsWith("integer");
    QList<GridPoint> samples;
    QSet<QPair<double, double>> taken;   // a node on two samples has no single answer
    for (int i = 0; i < sampleCount; ++i) {
        double x = rng.generateDouble() * 100.0;
        double y = -rng.generateDouble() * 60.0;
        if (integral) {
            x = std::floor(x / 5) * 5;   // many samples on grid nodes and equal splits
            y = std::floor(y / 5) * 5;
        }
        if (taken.contains({x, y}))
            continue;
        taken.insert({x, y});
        samples.append(GridPoint{float(x), float(y), float(1.0 + rng.generateDouble() * 999.0)});
    }

    GriddingSetup setup;
    Run run(samples, setup.createGridGeometry(100, 0, 0, -60, 21, 13, 0, 0, 0), radius, power);
    run.worker.startInterp();
    const QList<GridPoint> &out = run.worker.outputPoints();
    QCOMPARE(out.size(), 21 * 13);
    for (const GridPoint &p : out) {
        const QVector<double> expected = bruteForce(samples, p.x, p.y, radius, power);
        const bool match = std::any_of(expected.cbegin(), expected.cend(), [&p](double e) {
            return hwtest::nearlyEqual(p.value, e, 2e-6, 1e-4);
        });
        if (!match)
            QFAIL(qPrintable(QString("node (%1, %2): %3, expected %4")
                                 .arg(p.x).arg(p.y).arg(p.value, 0, 'g', 9)
                                 .arg(hwtest::describe(expected))));
    }
}

void TestRectInterpolation2::degenerateInput_data()
{
    QTest::addColumn<int>("nx");
    QTest::addColumn<int>("ny");
    QTest::addColumn<bool>("withSamples");
    QTest::addColumn<bool>("withTree");
    QTest::addColumn<int>("expectedNodes");
    QTest::addColumn<bool>("expectNaN");
    QTest::newRow("no columns") << 0 << 5 << true << true << 0 << false;
    QTest::newRow("negative rows") << 4 << -3 << true << true << 0 << false;
    QTest::newRow("empty tree") << 2 << 2 << false << true << 4 << true;
    QTest::newRow("no tree") << 2 << 2 << true << false << 4 << true;
    QTest::newRow("single node") << 1 << 1 << true << true << 1 << false;
}

void TestRectInterpolation2::degenerateInput()
{
    QFETCH(int, nx);
    QFETCH(int, ny);
    QFETCH(bool, withSamples);
    QFETCH(bool, withTree);
    QFETCH(int, expectedNodes);
    QFETCH(bool, expectNaN);

    GriddingSetup setup;
    const QList<GridPoint> samples =
        withSamples ? QList<GridPoint>{{0, 0, 5}, {10, 10, 7}} : QList<GridPoint>{};
    Run run(samples, setup.createGridGeometry(10, 0, 10, 0, nx, ny, 0, 0, 0), 3);
    if (!withTree)
        run.worker.setTree(nullptr);
    QSignalSpy finished(&run.worker, SIGNAL(interpfinished()));
    run.worker.startInterp();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(run.worker.outputPoints().size(), expectedNodes);
    for (const GridPoint &p : run.worker.outputPoints()) {
        QCOMPARE(std::isnan(p.value), expectNaN);
        QVERIFY(std::isfinite(p.x) && std::isfinite(p.y));
    }
    if (expectedNodes == 1) {
        // One node sits at the minimum and takes the sample there.
        QCOMPARE(run.worker.outputPoints()[0].x, 0.0f);
        QCOMPARE(run.worker.outputPoints()[0].value, 5.0f);
    }
}

void TestRectInterpolation2::treeSkipsNonFiniteSamples()
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    GriddingSetup setup;
    Run run({{0, 0, 10}, {1, 0, nan}, {nan, 0, 3}, {2, 0, 30}},
            setup.createGridGeometry(2, 0, 0, 0, 3, 1, 0, 0, 0), 1.5);
    run.worker.startInterp();
    const QList<GridPoint> &out = run.worker.outputPoints();
    QCOMPARE(out[0].value, 10.0f);
    QCOMPARE(out[1].value, 20.0f);
    QCOMPARE(out[2].value, 30.0f);
}

QTEST_GUILESS_MAIN(TestRectInterpolation2)
#include "tst_rectinterpolation.moc"
