#include "gridding/IsoBander.h"

#include "common/TestHelpers.h"

#include <QMap>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

namespace {

// A regular grid in the bander's layout: x per column, y per row, values
// column-major.
struct Grid {
    int nrow = 0;
    int ncol = 0;
    QVector<double> x;
    QVector<double> y;
    QVector<double> z;

    double &at(int r, int c) { return z[r + c * nrow]; }
    double at(int r, int c) const { return z[r + c * nrow]; }

    // Bilinear value at a point on the grid.
    double valueAt(double px, double py) const
    {
        int c = 0;
        while (c + 2 < ncol && px > x[c + 1])
            ++c;
        int r = 0;
        while (r + 2 < nrow && py > y[r + 1])
            ++r;
        const double fx = (px - x[c]) / (x[c + 1] - x[c]);
        const double fy = (py - y[r]) / (y[r + 1] - y[r]);
        return (1 - fx) * (1 - fy) * at(r, c) + fx * (1 - fy) * at(r, c + 1)
               + (1 - fx) * fy * at(r + 1, c) + fx * fy * at(r + 1, c + 1);
    }
};

Grid makeGrid(const QVector<double> &x, const QVector<double> &y,
              const std::function<double(double, double)> &f)
{
    Grid g;
    g.nrow = y.size();
    g.ncol = x.size();
    g.x = x;
    g.y = y;
    g.z.resize(g.nrow * g.ncol);
    for (int r = 0; r < g.nrow; ++r)
        for (int c = 0; c < g.ncol; ++c)
            g.at(r, c) = f(x[c], y[r]);
    return g;
}

QVector<double> steps(double from, double step, int count)
{
    QVector<double> v;
    for (int i = 0; i < count; ++i)
        v.append(from + i * step);
    return v;
}

struct Ring {
    QVector<QPointF> points;
    double signedArea() const
    {
        double a = 0.0;
        for (int i = 0; i < points.size(); ++i) {
            const QPointF &p = points[i];
            const QPointF &q = points[(i + 1) % points.size()];
            a += p.x() * q.y() - q.x() * p.y();
        }
        return 0.5 * a;
    }
};

QVector<Ring> bands(const Grid &g, double low, double high, bool *interrupted = nullptr)
{
    IsoBander bander(g.x.constData(), g.y.constData(), g.z.constData(), g.nrow, g.ncol, low, high);
    bander.computeBands();
    QVector<double> xs;
    QVector<double> ys;
    QVector<int> ids;
    bander.traceRings(&xs, &ys, &ids);
    if (interrupted)
        *interrupted = bander.interrupted();
    QMap<int, Ring> byId;
    for (int i = 0; i < ids.size(); ++i)
        byId[ids[i]].points.append(QPointF(xs[i], ys[i]));
    QVector<Ring> rings;
    for (const Ring &r : byId)
        rings.append(r);
    return rings;
}

// The band's area: outer rings and holes wind opposite ways.
double bandArea(const QVector<Ring> &rings)
{
    double a = 0.0;
    for (const Ring &r : rings)
        a += r.signedArea();
    return std::fabs(a);
}

// True when ring is a cyclic rotation of expected.
bool sameCycle(const QVector<QPointF> &ring, const QVector<QPointF> &expected)
{
    if (ring.size() != expected.size())
        return false;
    const int n = ring.size();
    for (int start = 0; start < n; ++start) {
        bool all = true;
        for (int i = 0; i < n && all; ++i) {
            const QPointF d = ring[(start + i) % n] - expected[i];
            all = std::fabs(d.x()) < 1e-12 && std::fabs(d.y()) < 1e-12;
        }
        if (all)
            return true;
    }
    return false;
}

QString describe(const QVector<Ring> &rings)
{
    QStringList out;
    for (const Ring &r : rings) {
        QStringList pts;
        for (const QPointF &p : r.points)
            pts << QString("(%1,%2)").arg(p.x()).arg(p.y());
        out << pts.join(' ');
    }
    return out.join(" | ");
}

int g_mergeTraces = 0;
QtMessageHandler g_previousHandler = nullptr;

void countMergeTraces(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (msg.contains(QLatin1String("undefined merging configuration")))
        ++g_mergeTraces;
    if (g_previousHandler)
        g_previousHandler(type, context, msg);
}

} // namespace

class TestIsoBander : public QObject
{
    Q_OBJECT

private slots:
    void crossingPoints();
    void singleCell_data();
    void singleCell();
    void noRing_data();
    void noRing();
    void saddleByCentreMean_data();
    void saddleByCentreMean();
    void nonFiniteValueLeavesHole();
    void planeBands_data();
    void planeBands();
    void coneBands();
    void bandsPartitionRandomGrid_data();
    void bandsPartitionRandomGrid();
    void runawayRingIsCut();
};

void TestIsoBander::crossingPoints()
{
    // Row 0: 0 10, row 1: 20 40; x 0, 2; y 5, 9.
    Grid g = makeGrid({0, 2}, {5, 9}, [](double, double) { return 0.0; });
    g.at(0, 1) = 10;
    g.at(1, 0) = 20;
    g.at(1, 1) = 40;
    IsoBander b(g.x.constData(), g.y.constData(), g.z.constData(), 2, 2, 5, 30);
    QCOMPARE(b.crossingPoint({1, 1, IsoBander::OnGrid}), QPointF(2, 9));
    QCOMPARE(b.crossingPoint({0, 0, IsoBander::RowEdgeLow}), QPointF(1, 5));
    QCOMPARE(b.crossingPoint({1, 0, IsoBander::RowEdgeHigh}), QPointF(1, 9));
    QCOMPARE(b.crossingPoint({0, 0, IsoBander::ColumnEdgeLow}), QPointF(0, 6));
    QCOMPARE(b.crossingPoint({0, 1, IsoBander::ColumnEdgeHigh}), QPointF(2, 9 - 10.0 / 30 * 4));
    QCOMPARE(b.crossingPoint({0, 0, 7}), QPointF(0, 0));
    QCOMPARE(b.crossingPoint({-1, -1, 0}), QPointF(0, 0));
}

void TestIsoBander::singleCell_data()
{
    // Corners (r, c) as z00 z01 / z10 z11 on x 0, 1 and y 0, 1; band [1, 2).
    QTest::addColumn<QVector<double>>("corners");
    QTest::addColumn<QVector<QPointF>>("ring");
    QTest::newRow("all in band")
        << QVector<double>{1.5, 1.5, 1.5, 1.5}
        << QVector<QPointF>{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    QTest::newRow("low counts as in")
        << QVector<double>{1, 1, 1, 1} << QVector<QPointF>{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    // Only (1, 0) in the band: (r+1, c, 1), (r+1, c, 0), (r, c, 3).
    QTest::newRow("code 1")
        << QVector<double>{0, 0, 1.5, 0}
        << QVector<QPointF>{{1.0 / 3, 1}, {0, 1}, {0, 1.0 / 1.5}};
    // Bottom row in the band: (r, c+1, 3), (r+1, c+1, 0), (r+1, c, 0), (r, c, 3).
    QTest::newRow("code 4")
        << QVector<double>{0, 0, 1.5, 1.5}
        << QVector<QPointF>{{1, 1.0 / 1.5}, {1, 1}, {0, 1}, {0, 1.0 / 1.5}};
    // Below, then above along the top edge: the band is a strip across.
    QTest::newRow("strip from 0 to 2")
        << QVector<double>{0, 3, 0, 3}
        << QVector<QPointF>{{1.0 / 3, 0}, {2.0 / 3, 0}, {2.0 / 3, 1}, {1.0 / 3, 1}};
}

void TestIsoBander::singleCell()
{
    QFETCH(QVector<double>, corners);
    QFETCH(QVector<QPointF>, ring);
    Grid g = makeGrid({0, 1}, {0, 1}, [](double, double) { return 0.0; });
    g.at(0, 0) = corners[0];
    g.at(0, 1) = corners[1];
    g.at(1, 0) = corners[2];
    g.at(1, 1) = corners[3];
    const QVector<Ring> rings = bands(g, 1, 2);
    QCOMPARE(rings.size(), 1);
    if (!sameCycle(rings[0].points, ring))
        QFAIL(qPrintable("ring " + describe(rings)));
}

void TestIsoBander::noRing_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("all below") << 0.5 << 1.0 << 2.0;
    QTest::newRow("all above") << 7.0 << 1.0 << 2.0;
    QTest::newRow("all at high") << 2.0 << 1.0 << 2.0;
    QTest::newRow("empty band") << 1.0 << 1.0 << 1.0;
    QTest::newRow("reversed band") << 1.5 << 2.0 << 1.0;
    QTest::newRow("NaN limit") << 1.5 << std::numeric_limits<double>::quiet_NaN() << 2.0;
}

void TestIsoBander::noRing()
{
    QFETCH(double, value);
    QFETCH(double, low);
    QFETCH(double, high);
    const Grid g = makeGrid(steps(0, 1, 4), steps(0, 1, 3), [value](double, double) { return value; });
    QVERIFY(bands(g, low, high).isEmpty());
}

void TestIsoBander::saddleByCentreMean_data()
{
    // (0, 0) and (1, 1) below 1, the other two at v: mean v / 2.
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("ringCount");
    QTest::addColumn<int>("pointsPerRing");
    QTest::newRow("mean in band: hexagon") << 3.0 << 1 << 6;
    QTest::newRow("mean at low: hexagon") << 2.0 << 1 << 6;
    QTest::newRow("mean below: two triangles") << 1.5 << 2 << 3;
}

void TestIsoBander::saddleByCentreMean()
{
    QFETCH(double, v);
    QFETCH(int, ringCount);
    QFETCH(int, pointsPerRing);
    Grid g = makeGrid({0, 1}, {0, 1}, [](double, double) { return 0.0; });
    g.at(0, 1) = v;
    g.at(1, 0) = v;
    const QVector<Ring> rings = bands(g, 1, 10);
    QCOMPARE(rings.size(), ringCount);
    for (const Ring &r : rings)
        QCOMPARE(r.points.size(), pointsPerRing);
    if (ringCount == 1) {
        const double f = 1.0 / v;   // where the edges cross 1
        QVERIFY(sameCycle(rings[0].points,
                          {{f, 0}, {1, 0}, {1, 1 - f}, {1 - f, 1}, {0, 1}, {0, f}}));
    }
}

void TestIsoBander::nonFiniteValueLeavesHole()
{
    for (double bad : {std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        Grid g = makeGrid(steps(0, 1, 5), steps(0, 1, 5), [](double, double) { return 5.0; });
        g.at(2, 2) = bad;
        const QVector<Ring> rings = bands(g, 0, 10);
        QCOMPARE(rings.size(), 2);
        HW_COMPARE_NEAR(bandArea(rings), 16.0 - 4.0, 1e-12);
        // The two outlines wind opposite ways.
        QVERIFY(rings[0].signedArea() * rings[1].signedArea() < 0);
    }
}

void TestIsoBander::planeBands_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("area");
    // z = x + 0.5 y on x 0..10, y 0..8 (rows 2 apart, not all equal).
    QTest::newRow("inner band") << 4.0 << 7.0 << 24.0;
    QTest::newRow("left corner") << -1.0 << 2.0 << 4.0;     // triangle x + y/2 < 2
    QTest::newRow("whole grid") << -1.0 << 100.0 << 80.0;
}

void TestIsoBander::planeBands()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, area);
    const Grid g = makeGrid(steps(0, 1, 11), {0, 2, 3, 6, 8},
                            [](double x, double y) { return x + 0.5 * y; });
    const QVector<Ring> rings = bands(g, low, high);
    QCOMPARE(rings.size(), 1);
    HW_COMPARE_NEAR(bandArea(rings), area, 1e-9);
    const QVector<QPointF> &pts = rings[0].points;
    QSet<QPair<double, double>> seen;
    for (int i = 0; i < pts.size(); ++i) {
        const QPointF &p = pts[i];
        // Linear along every edge, so each outline point is exactly in the band.
        const double z = p.x() + 0.5 * p.y();
        QVERIFY2(z >= low - 1e-9 && z <= high + 1e-9, qPrintable(QString::number(z)));
        // A grid value exactly on a limit puts a crossing onto the grid
        // point beside it; apart from such neighbours no point repeats.
        if (p == pts[(i + pts.size() - 1) % pts.size()])
            continue;
        QVERIFY2(!seen.contains({p.x(), p.y()}), "a point repeats within the ring");
        seen.insert({p.x(), p.y()});
    }
}

void TestIsoBander::coneBands()
{
    // Distance from (10, 10) on a 41 x 41 grid of step 0.5.
    const Grid g = makeGrid(steps(0, 0.5, 41), steps(0, 0.5, 41), [](double x, double y) {
        return std::hypot(x - 10, y - 10);
    });

    const QVector<Ring> disc = bands(g, 0, 2);
    QCOMPARE(disc.size(), 1);
    QVERIFY(std::fabs(bandArea(disc) - M_PI * 4) < 0.02 * M_PI * 4);

    const QVector<Ring> annulus = bands(g, 2, 4);
    QCOMPARE(annulus.size(), 2);
    QVERIFY(annulus[0].signedArea() * annulus[1].signedArea() < 0);
    QVERIFY(std::fabs(bandArea(annulus) - M_PI * 12) < 0.02 * M_PI * 12);
    for (const Ring &ring : annulus) {
        for (const QPointF &p : ring.points) {
            const double z = g.valueAt(p.x(), p.y());
            QVERIFY2(z >= 2 - 1e-9 && z <= 4 + 1e-9, qPrintable(QString::number(z)));
        }
    }

    // The bands tile the whole grid.
    double total = 0.0;
    for (double low = 0; low < 16; low += 2)
        total += bandArea(bands(g, low, low + 2));
    HW_COMPARE_NEAR(total, 400.0, 1e-9);
}

void TestIsoBander::bandsPartitionRandomGrid_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("levels");
    QTest::newRow("few bands") << 1u << 3;
    QTest::newRow("many bands") << 2u << 9;
    QTest::newRow("coarse values") << 3u << 4;
}

void TestIsoBander::bandsPartitionRandomGrid()
{
    // Random values are full of saddles and rings that touch.
    QFETCH(quint32, seed);
    QFETCH(int, levels);
    QRandomGenerator rng(seed);
    const bool coarse = QByteArray(QTest::currentDataTag()).startsWith("coarse");
    Grid g = makeGrid(steps(0, 1, 30), steps(0, 1, 25), [&rng, coarse](double, double) {
        const double v = rng.generateDouble() * 10.0;
        return coarse ? std::floor(v) : v;   // many values exactly on a limit
    });

    g_mergeTraces = 0;
    g_previousHandler = qInstallMessageHandler(countMergeTraces);
    double total = 0.0;
    for (int i = 0; i <= levels; ++i) {
        const double low = i == 0 ? -1.0 : 10.0 * i / (levels + 1);
        const double high = i == levels ? 11.0 : 10.0 * (i + 1) / (levels + 1);
        const QVector<Ring> rings = bands(g, low, high);
        for (const Ring &ring : rings) {
            QVERIFY(ring.points.size() >= 3);
            for (const QPointF &p : ring.points) {
                const double z = g.valueAt(p.x(), p.y());
                // On edges the bilinear value is the linear one; a point is
                // a corner in the band or a crossing of one of its limits.
                QVERIFY2(z >= low - 1e-9 && z <= high + 1e-9,
                         qPrintable(QString("%1 outside [%2, %3)").arg(z).arg(low).arg(high)));
            }
        }
        total += bandArea(rings);
    }
    qInstallMessageHandler(g_previousHandler);
    QCOMPARE(g_mergeTraces, 0);
    HW_COMPARE_NEAR(total, 29.0 * 24.0, 1e-9);
}

void TestIsoBander::runawayRingIsCut()
{
    // Two rows of 50001 points all in the band: every point is on the
    // outline, so its one ring has 100002 points.
    const Grid g = makeGrid(steps(0, 1, 50001), {0, 1}, [](double, double) { return 1.0; });
    IsoBander bander(g.x.constData(), g.y.constData(), g.z.constData(), g.nrow, g.ncol, 0, 2);
    bander.computeBands();
    QVector<double> xs;
    QVector<double> ys;
    QVector<int> ids;
    bander.traceRings(&xs, &ys, &ids);
    QVERIFY(bander.interrupted());
    QCOMPARE(ids.size(), 100000);
    QCOMPARE(xs.size(), 100000);
    bander.traceRings(&xs, &ys, &ids);
    QCOMPARE(ids.size(), 100000);
}

QTEST_GUILESS_MAIN(TestIsoBander)
#include "tst_isobander.moc"
