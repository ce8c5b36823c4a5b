#include "gridding/InterpEllipseSmooth.h"

#include "common/TestHelpers.h"

#include <QTest>

#include <cmath>
#include <limits>

using Columns = QList<DataType_ResultData>;

namespace {

DataType_ResultData column(double x, QVector<double> depth, QVector<double> value)
{
    DataType_ResultData c;
    c.x = x;
    c.depth = std::move(depth);
    c.value = std::move(value);
    return c;
}

// Straightforward reference: every sample against every other, the ellipse
// test in the rotated frame, inverse distance squared with weight 1 closer
// than 1, values below 0.001 kept and ignored by their neighbours.
Columns referenceSmooth(const Columns &in, int a, int b, float angle)
{
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    Columns out = in;
    for (int ci = 0; ci < in.size(); ++ci) {
        for (int i = 0; i < in[ci].depth.size(); ++i) {
            const double x = in[ci].x;
            const double y = in[ci].depth[i];
            if (in[ci].value[i] < 0.001)
                continue;
            double sumW = 0.0;
            double sumWV = 0.0;
            for (const DataType_ResultData &other : in) {
                for (int j = 0; j < other.depth.size(); ++j) {
                    const double dx = other.x - x;
                    const double dy = other.depth[j] - y;
                    const double u = c * dx + s * dy;
                    const double w = s * dx - c * dy;
                    if (u * u / (a * a) + w * w / (b * b) > 1.0)
                        continue;
                    const double v = other.value[j];
                    if (v < 0.001)
                        continue;
                    const double d = std::sqrt(dx * dx + dy * dy);
                    const double weight = d < 1.0 ? 1.0 : 1.0 / (d * d);
                    sumW += weight;
                    sumWV += weight * v;
                }
            }
            out[ci].value[i] = sumWV / sumW;
        }
    }
    return out;
}

// A section of columns 10 apart with levels 1 apart, values varying.
Columns regularSection()
{
    Columns cols;
    for (int ci = 0; ci < 6; ++ci) {
        QVector<double> depth, value;
        for (int i = 0; i < 12; ++i) {
            depth << double(i);
            value << 10.0 + 5.0 * ci + std::pow(1.3, i) + (i % 3);
        }
        cols << column(10.0 * ci, depth, value);
    }
    return cols;
}

// Irregular positions, so that no neighbour lies exactly on an ellipse.
Columns irregularSection()
{
    Columns cols;
    const double xs[] = {0.0, 3.7, 9.1, 12.3, 20.05, 24.9};
    for (int ci = 0; ci < 6; ++ci) {
        QVector<double> depth, value;
        double z = 0.13 * ci;
        for (int i = 0; i < 9 + ci; ++i) {
            depth << z;
            value << 50.0 + 40.0 * std::sin(0.7 * i + ci) + 3.0 * ci;
            z += 1.1 + 0.37 * ((i + ci) % 4);
        }
        cols << column(xs[ci], depth, value);
    }
    return cols;
}

void compareColumns(const Columns &actual, const Columns &expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (int ci = 0; ci < actual.size(); ++ci) {
        QCOMPARE(actual[ci].x, expected[ci].x);
        QCOMPARE(actual[ci].depth, expected[ci].depth);
        HW_COMPARE_VECTORS(actual[ci].value, expected[ci].value, 1e-12, 1e-12);
    }
}

} // namespace

class TestEllipseSmooth : public QObject
{
    Q_OBJECT

private slots:
    void matchesReference_data();
    void matchesReference();
    void ellipseBoundsAndRotation_data();
    void ellipseBoundsAndRotation();
    void smallValuesKeptAndIgnored();
    void ragged();
    void radiiBelowOneActAsOne();
    void nonFiniteInput();
};

void TestEllipseSmooth::matchesReference_data()
{
    QTest::addColumn<Columns>("input");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<float>("angle");

    // Equal radii: a circular mean, the same for any angle.
    QTest::newRow("circle r=5") << irregularSection() << 5 << 5 << 0.0f;
    QTest::newRow("circle r=5 tilted") << irregularSection() << 5 << 5 << 0.9f;
    QTest::newRow("circle r=12 negative tilt") << irregularSection() << 12 << 12 << -2.2f;
    QTest::newRow("ellipse 10x2 tilted") << irregularSection() << 10 << 2 << 0.5f;
    QTest::newRow("ellipse 3x9 tilted") << irregularSection() << 3 << 9 << -1.1f;
    // Neighbours exactly on the ellipse, in every direction of the tree.
    QTest::newRow("regular, on the boundary 10x1") << regularSection() << 10 << 1 << 0.0f;
    QTest::newRow("regular, on the boundary 10x3") << regularSection() << 10 << 3 << 0.0f;
    QTest::newRow("regular, circle r=10") << regularSection() << 10 << 10 << 0.0f;
}

void TestEllipseSmooth::matchesReference()
{
    QFETCH(Columns, input);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(float, angle);

    InterpEllipseSmooth smooth(input, a, b, angle, nullptr);
    compareColumns(smooth.columns(), referenceSmooth(input, a, b, angle));

    // The equal-radius cases agree with the untilted circle.
    if (a == b && angle != 0.0f) {
        InterpEllipseSmooth untilted(input, a, b, 0.0f, nullptr);
        compareColumns(smooth.columns(), untilted.columns());
    }
}

void TestEllipseSmooth::ellipseBoundsAndRotation_data()
{
    // A centre sample of value 1 at (0, 0) and one neighbour of value 3;
    // whether the neighbour counts shows in the centre's mean.
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<float>("angle");
    QTest::addColumn<double>("nx");
    QTest::addColumn<double>("ny");
    QTest::addColumn<bool>("inside");

    const float quarter = float(M_PI / 2);
    QTest::newRow("10x2, (8,0) inside") << 10 << 2 << 0.0f << 8.0 << 0.0 << true;
    QTest::newRow("10x2, (0,3) outside") << 10 << 2 << 0.0f << 0.0 << 3.0 << false;
    QTest::newRow("10x2, (10,0) on the ellipse") << 10 << 2 << 0.0f << 10.0 << 0.0 << true;
    QTest::newRow("10x2, (-10,0) on the ellipse") << 10 << 2 << 0.0f << -10.0 << 0.0 << true;
    QTest::newRow("10x2, (0,2) on the ellipse") << 10 << 2 << 0.0f << 0.0 << 2.0 << true;
    QTest::newRow("10x2, (0,-2) on the ellipse") << 10 << 2 << 0.0f << 0.0 << -2.0 << true;
    QTest::newRow("10x2, (6,1.5) in a corner") << 10 << 2 << 0.0f << 6.0 << 1.5 << true;
    QTest::newRow("10x2, (7,1.6) beyond a corner") << 10 << 2 << 0.0f << 7.0 << 1.6 << false;
    QTest::newRow("10x2, (10.001,0) beyond") << 10 << 2 << 0.0f << 10.001 << 0.0 << false;
    QTest::newRow("10x2 quarter turn, (0,8) inside") << 10 << 2 << quarter << 0.0 << 8.0 << true;
    QTest::newRow("10x2 quarter turn, (3,0) outside") << 10 << 2 << quarter << 3.0 << 0.0 << false;
    QTest::newRow("10x2 at 45 degrees, (5,5) inside")
        << 10 << 2 << float(M_PI / 4) << 5.0 << 5.0 << true;
    QTest::newRow("10x2 at 45 degrees, (5,-5) outside")
        << 10 << 2 << float(M_PI / 4) << 5.0 << -5.0 << false;
}

void TestEllipseSmooth::ellipseBoundsAndRotation()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(float, angle);
    QFETCH(double, nx);
    QFETCH(double, ny);
    QFETCH(bool, inside);

    Columns cols;
    if (nx == 0.0) {
        cols << column(0.0, {0.0, ny}, {1.0, 3.0});
    } else {
        cols << column(0.0, {0.0}, {1.0});
        cols << column(nx, {ny}, {3.0});
    }
    InterpEllipseSmooth smooth(cols, a, b, angle, nullptr);

    const double d2 = nx * nx + ny * ny;
    const double w = d2 < 1.0 ? 1.0 : 1.0 / d2;
    const double expected = inside ? (1.0 + 3.0 * w) / (1.0 + w) : 1.0;
    HW_COMPARE_NEAR(smooth.columns().first().value.first(), expected, 1e-12);
}

void TestEllipseSmooth::smallValuesKeptAndIgnored()
{
    // Zero and negative values stay where they are and add nothing to the
    // means around them; 0.001 itself is an ordinary value.
    Columns cols;
    cols << column(0.0, {0.0, 2.0, 4.0}, {20.0, 0.0, 40.0});
    cols << column(2.0, {0.0, 2.0, 4.0}, {-3.0, 0.0009, 0.001});
    InterpEllipseSmooth smooth(cols, 5, 5, 0.3f, nullptr);
    const Columns &out = smooth.columns();

    QCOMPARE(out[0].value[1], 0.0);
    QCOMPARE(out[1].value[0], -3.0);
    QCOMPARE(out[1].value[1], 0.0009);

    // The sample of value 20 at (0,0) sees 40 at distance 4 and 0.001 at
    // distance sqrt(20); the small values get weight 0.
    const double expected20 = (20.0 + 40.0 / 16.0 + 0.001 / 20.0) / (1.0 + 1.0 / 16.0 + 1.0 / 20.0);
    HW_COMPARE_NEAR(out[0].value[0], expected20, 1e-12);
    compareColumns(out, referenceSmooth(cols, 5, 5, 0.3f));
}

void TestEllipseSmooth::ragged()
{
    // Columns of different lengths each keep their own samples; a value
    // vector shorter than its depths leaves the extra depths out.
    Columns cols;
    cols << column(0.0, {0.0, 1.5, 3.0, 4.5, 6.0}, {10, 20, 30, 40, 50});
    cols << column(2.0, {0.5}, {100});
    cols << column(4.0, {}, {});
    cols << column(6.0, {0.0, 2.0}, {7, 9});
    Columns shortValues;
    shortValues << column(0.0, {0.0, 1.5, 3.0}, {10, 20});

    InterpEllipseSmooth smooth(cols, 3, 4, 0.2f, nullptr);
    compareColumns(smooth.columns(), referenceSmooth(cols, 3, 4, 0.2f));

    InterpEllipseSmooth shortSmooth(shortValues, 3, 3, 0.0f, nullptr);
    const Columns &out = shortSmooth.columns();
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].depth.size(), 3);
    QCOMPARE(out[0].value.size(), 2);
    const double w = 1.0 / (1.5 * 1.5);
    HW_COMPARE_NEAR(out[0].value[0], (10.0 + 20.0 * w) / (1.0 + w), 1e-12);

    InterpEllipseSmooth empty(Columns(), 5, 5, 0.0f, nullptr);
    QVERIFY(empty.columns().isEmpty());
}

void TestEllipseSmooth::radiiBelowOneActAsOne()
{
    // The dialog never offers less than 1; zero or negative radii from any
    // other caller behave like 1 instead of dividing by zero.
    const Columns input = regularSection();
    InterpEllipseSmooth one(input, 1, 1, 0.0f, nullptr);
    InterpEllipseSmooth zero(input, 0, 0, 0.0f, nullptr);
    InterpEllipseSmooth negative(input, -4, 1, 0.0f, nullptr);
    compareColumns(zero.columns(), one.columns());
    compareColumns(negative.columns(), one.columns());
    // Levels 1 apart are inside a unit circle; the result is not the input.
    QVERIFY(one.columns()[2].value[5] != input[2].value[5]);
}

void TestEllipseSmooth::nonFiniteInput()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Columns cols;
    cols << column(0.0, {0.0, 1.0, 2.0, nan}, {10.0, nan, 30.0, 40.0});
    cols << column(1.0, {0.0, 1.0}, {inf, 20.0});

    InterpEllipseSmooth smooth(cols, 3, 3, 0.0f, nullptr);
    const Columns &out = smooth.columns();

    // Bad samples keep their value; they spoil no neighbour.
    QVERIFY(std::isnan(out[0].value[1]));
    QCOMPARE(out[0].value[3], 40.0);
    QVERIFY(std::isinf(out[1].value[0]));
    for (double v : {out[0].value[0], out[0].value[2], out[1].value[1]})
        QVERIFY(std::isfinite(v));

    // (0,0) sees 30 at distance 2 and 20 at distance sqrt(2).
    const double expected = (10.0 + 30.0 / 4.0 + 20.0 / 2.0) / (1.0 + 0.25 + 0.5);
    HW_COMPARE_NEAR(out[0].value[0], expected, 1e-12);
}

QTEST_APPLESS_MAIN(TestEllipseSmooth)
#include "tst_ellipse_smooth.moc"
