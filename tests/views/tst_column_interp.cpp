#include "common/TestHelpers.h"
#include "views/Graph_IsoLineData.h"
#include "views/SectionInterpolator.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

DataType_ResultData column(double x, QVector<double> depths, QVector<double> values)
{
    DataType_ResultData c;
    c.x = x;
    c.depth = depths;
    c.value = values;
    return c;
}

QVector<TopoData> flatGround(double x0, double x1, double elevation)
{
    return {TopoData{x0, elevation}, TopoData{(x0 + x1) / 2, elevation}, TopoData{x1, elevation}};
}

} // namespace

// The column interpolation rule of the section renderers.
class TestColumnInterp : public QObject
{
    Q_OBJECT

private slots:
    void blendAndStations_data();
    void blendAndStations();
    void slopedEdge_data();
    void slopedEdge();
    void noJumpWhereAColumnEnds_data();
    void noJumpWhereAColumnEnds();
    void singleColumnAndTopographyClip();
    void malformedColumnsAreDropped();
    void shortColumnsAndTopographyDoNotAbort();
    void rasterValueClipsBelowDepth();
    void rasterWithoutColumns();
};

// Two columns with values linear in depth, so the spline is exact:
//   x = 0:  depth 0, -10, -20        -> 10, 20, 30
//   x = 10: depth 0, -10, -20, -30   -> 50, 60, 70, 80
void TestColumnInterp::blendAndStations_data()
{
    QTest::addColumn<double>("noValue");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("depth");
    QTest::addColumn<double>("expected");

    QTest::newRow("blend midway") << 10.0 << 5.0 << -10.0 << 40.0;
    QTest::newRow("blend quarter") << 10.0 << 2.5 << -20.0 << 0.75 * 30 + 0.25 * 70;
    QTest::newRow("on left station") << 10.0 << 0.0 << -5.0 << 15.0;
    QTest::newRow("on right station below left end") << 10.0 << 10.0 << -25.0 << 75.0;
    QTest::newRow("left of first station") << 10.0 << -1.0 << -5.0 << 10.0;
    QTest::newRow("right of last station") << 10.0 << 10.5 << -5.0 << 10.0;
    QTest::newRow("below both columns") << 10.0 << 5.0 << -40.0 << 10.0;
    QTest::newRow("above both columns") << 10.0 << 5.0 << 1.0 << 10.0;
    QTest::newRow("floor at no-value + 1") << 30.0 << 0.0 << 0.0 << 31.0;
    QTest::newRow("floor on a blend") << 45.0 << 5.0 << -10.0 << 46.0;
    QTest::newRow("NaN position") << 10.0 << std::nan("") << -5.0 << 10.0;
}

void TestColumnInterp::blendAndStations()
{
    QFETCH(double, noValue);
    QFETCH(double, x);
    QFETCH(double, depth);
    QFETCH(double, expected);

    SectionInterpolator ip;
    ip.setColumns({column(0, {0, -10, -20}, {10, 20, 30}),
                   column(10, {0, -10, -20, -30}, {50, 60, 70, 80})});
    ip.setNoValueLevel(noValue);
    HW_COMPARE_NEAR(ip.interpolate(x, depth), expected, 1e-9);
    // Without topography there is no clip.
    HW_COMPARE_NEAR(ip.valueAt(x, depth), expected, 1e-9);
}

void TestColumnInterp::slopedEdge_data()
{
    QTest::addColumn<QList<DataType_ResultData> >("columns");
    QTest::addColumn<double>("noValue");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("depth");
    QTest::addColumn<double>("expected");

    const QList<DataType_ResultData> shallowLeft{column(0, {0, -10, -20}, {10, 20, 30}),
                                                 column(10, {0, -10, -20, -30}, {50, 60, 70, 80})};
    const QList<DataType_ResultData> shallowRight{column(0, {0, -10, -20, -30}, {50, 60, 70, 80}),
                                                  column(10, {0, -10, -20}, {10, 20, 30})};
    // Left column higher at the top; right column of two points (linear).
    const QList<DataType_ResultData> highLeft{column(0, {10, 0, -10}, {20, 30, 40}),
                                              column(10, {0, -10}, {60, 70})};

    // Lower ends (-20,30)-(-30,80); edge point xe = 5, s/L = 0.5, ve = 55.
    QTest::newRow("right only, on the edge") << shallowLeft << 10.0 << 5.0 << -25.0 << 55.0;
    QTest::newRow("right only, inside") << shallowLeft << 10.0 << 7.0 << -25.0 << (55.0 * 3 + 75.0 * 2) / 5;
    QTest::newRow("right only, outside") << shallowLeft << 10.0 << 3.0 << -25.0 << 10.0;
    // Lower ends (-30,80)-(-20,30); xe = 5, ve = 80 + (30-80)/2 = 55: the
    // mirror image of "right only, inside".
    QTest::newRow("left only, inside") << shallowRight << 10.0 << 3.0 << -25.0 << (55.0 * 3 + 75.0 * 2) / 5;
    QTest::newRow("left only, outside") << shallowRight << 10.0 << 7.0 << -25.0 << 10.0;
    // Upper ends (10,20)-(0,60); yb = 8 at x = 2; xe = 6, s/L = 0.6, ve = 20 + 24.
    QTest::newRow("upper edge, inside") << highLeft << 20.0 << 2.0 << 4.0 << (44.0 * 2 + 26.0 * 4) / 6;
    QTest::newRow("upper edge, outside") << highLeft << 20.0 << 5.0 << 6.0 << 20.0;
    QTest::newRow("upper edge, floored") << highLeft << 60.0 << 2.0 << 4.0 << 61.0;
}

void TestColumnInterp::slopedEdge()
{
    QFETCH(QList<DataType_ResultData>, columns);
    QFETCH(double, noValue);
    QFETCH(double, x);
    QFETCH(double, depth);
    QFETCH(double, expected);

    SectionInterpolator ip;
    ip.setColumns(columns);
    ip.setNoValueLevel(noValue);
    HW_COMPARE_NEAR(ip.interpolate(x, depth), expected, 1e-9);
}

void TestColumnInterp::noJumpWhereAColumnEnds_data()
{
    QTest::addColumn<QList<DataType_ResultData> >("columns");
    QTest::addColumn<double>("x");
    // The right column ends at -20 (at a station's floor, say) while the left
    // one goes on, its values rising fast; and the mirror image.
    QTest::newRow("right column ends") << QList<DataType_ResultData>{
        column(0, {0, -10, -20, -30}, {10, 40, 70, 100}), column(10, {0, -10, -20}, {5, 6, 7})} << 9.5;
    QTest::newRow("left column ends") << QList<DataType_ResultData>{
        column(0, {0, -10, -20}, {5, 6, 7}), column(10, {0, -10, -20, -30}, {10, 40, 70, 100})} << 0.5;
}

// Just above and just below the level where one column ends the section
// holds about the same value: the edge joins the two columns' ends.
void TestColumnInterp::noJumpWhereAColumnEnds()
{
    QFETCH(QList<DataType_ResultData>, columns);
    QFETCH(double, x);
    SectionInterpolator ip;
    ip.setColumns(columns);
    ip.setNoValueLevel(0.0);
    const double above = ip.interpolate(x, -19.99);
    const double below = ip.interpolate(x, -20.01);
    QVERIFY(ip.hasValue(above) && ip.hasValue(below));
    QVERIFY2(std::fabs(above - below) < 1.0, qPrintable(QString("%1 above, %2 below").arg(above).arg(below)));
}

void TestColumnInterp::singleColumnAndTopographyClip()
{
    SectionInterpolator one;
    one.setColumns({column(5, {0, -10, -20}, {1, 2, 3})});
    one.setNoValueLevel(7.0);
    one.setTopography(flatGround(0, 10, 0));
    QCOMPARE(one.valueAt(5, -10), 7.0);                        // no bracket: V
    QCOMPARE(one.valueAt(-1, -10), SectionInterpolator::kAboveGround);
    QCOMPARE(one.valueAt(11, -10), SectionInterpolator::kAboveGround);
    QCOMPARE(one.valueAt(5, 0.5), SectionInterpolator::kAboveGround);

    SectionInterpolator two;
    two.setColumns({column(0, {0, -10, -20}, {10, 20, 30}),
                    column(10, {0, -10, -20}, {50, 60, 70})});
    two.setNoValueLevel(10.0);
    // Ground sloping from -5 at x = 0 to +5 at x = 10.
    two.setTopography({TopoData{0, -5}, TopoData{5, 0}, TopoData{10, 5}});
    QCOMPARE(two.valueAt(2, -2), SectionInterpolator::kAboveGround);   // above ground (-3)
    HW_COMPARE_NEAR(two.valueAt(8, -2), 0.2 * 12 + 0.8 * 52, 1e-9);   // below ground (3)
    // The clip also applies to V, outside the columns.
    QCOMPARE(two.valueAt(5, 3), SectionInterpolator::kAboveGround);
}

void TestColumnInterp::malformedColumnsAreDropped()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QList<DataType_ResultData> input{
        column(0, {0, -10, -20}, {10, 20, 30}),
        column(5, {0, -5, -5, -10}, {1, 2, 3, 4}),      // level repeated
        column(5, {0, -10, -20}, {1, 2, 3}),            // twin of a bad one
        column(10, {0, -10}, {1}),                      // unequal lengths
        column(15, {}, {}),                             // empty
        column(20, {0, nan, -20}, {1, 2, 3}),           // NaN level
        column(25, {0, -10, -20}, {1, std::numeric_limits<double>::infinity(), 3}),
        column(30, {0, -10, -20}, {40, 50, 60}),
    };
    const QList<DataType_ResultData> kept = SectionInterpolator::usableColumns(input);
    QCOMPARE(kept.size(), 2);
    QCOMPARE(kept[0].x, 0.0);
    QCOMPARE(kept[1].x, 30.0);

    // The dropped columns leave a bracket from 0 to 30.
    SectionInterpolator ip;
    ip.setColumns(input);
    ip.setNoValueLevel(0.0);
    HW_COMPARE_NEAR(ip.interpolate(15, -10), 35.0, 1e-9);
}

void TestColumnInterp::shortColumnsAndTopographyDoNotAbort()
{
    // One- and two-point columns, a two-point ground with a repeated
    // position: no cubic spline is possible, and GSL must not end the test.
    SectionInterpolator ip;
    ip.setColumns({column(0, {0}, {10}), column(10, {0, -10}, {20, 40})});
    ip.setNoValueLevel(0.0);
    ip.setTopography({TopoData{0, 1}, TopoData{0, 2}, TopoData{10, 1}});
    HW_COMPARE_NEAR(ip.valueAt(10, -5), 30.0, 1e-9);
    HW_COMPARE_NEAR(ip.valueAt(5, 0), 15.0, 1e-9);
    QVERIFY(std::isfinite(ip.valueAt(5, -5)));
}

void TestColumnInterp::rasterValueClipsBelowDepth()
{
    QList<DataType_ResultData> cols{column(0, {0, -10, -20, -30}, {100, 110, 120, 130}),
                                    column(20, {0, -10, -20, -30}, {200, 210, 220, 230})};
    Graph_IsoLineData data;
    data.prepareColumns(cols, flatGround(0, 20, 0), 20.0);

    QCOMPARE(data.interval(Qt::XAxis).minValue(), 0.0);
    QCOMPARE(data.interval(Qt::XAxis).maxValue(), 20.0);
    QCOMPARE(data.interval(Qt::YAxis).minValue(), 0.0);     // top first
    QCOMPARE(data.interval(Qt::YAxis).maxValue(), -30.0);
    QCOMPARE(data.interval(Qt::ZAxis).minValue(), 100.0);
    QCOMPARE(data.interval(Qt::ZAxis).maxValue(), 230.0);

    HW_COMPARE_NEAR(data.value(10, -15), 165.0, 1e-9);      // between ground and ground - D
    HW_COMPARE_NEAR(data.value(10, -20), 170.0, 1e-9);      // at ground - D
    QCOMPARE(data.value(10, -21), SectionInterpolator::kAboveGround);
    QCOMPARE(data.value(10, 0.5), SectionInterpolator::kAboveGround);
    QCOMPARE(data.value(21, -5), SectionInterpolator::kAboveGround);

    // Without topography the columns' own positions at elevation 0 are used.
    Graph_IsoLineData flat;
    flat.prepareColumns(cols, QVector<TopoData>(), 100.0);
    HW_COMPARE_NEAR(flat.value(10, -25), 175.0, 1e-9);
    QCOMPARE(flat.value(10, 1), SectionInterpolator::kAboveGround);
    // Outside the columns but inside the ground nothing is known: blank.
    Graph_IsoLineData wide;
    wide.prepareColumns(cols, flatGround(-10, 30, 0), 100.0);
    QCOMPARE(wide.value(-5, -5), SectionInterpolator::kAboveGround);
}

void TestColumnInterp::rasterWithoutColumns()
{
    QList<DataType_ResultData> cols{column(0, {0, -5, -5, -10}, {1, 2, 3, 4})};
    Graph_IsoLineData data;
    data.prepareColumns(cols, QVector<TopoData>(), 100.0);
    QVERIFY(!data.hasData());
    QVERIFY(!data.interval(Qt::ZAxis).isValid());
    QCOMPARE(data.value(0, -3), SectionInterpolator::kAboveGround);
}

QTEST_GUILESS_MAIN(TestColumnInterp)
#include "tst_column_interp.moc"
