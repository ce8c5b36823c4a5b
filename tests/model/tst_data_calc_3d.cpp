// Level finding, level resampling and lateral smoothing of 3D columns.

#include <QtTest>

#include <cmath>
#include <limits>

#include "common/TestHelpers.h"
#include "model/Data_Calc_3D.h"

using Coordinates = QVector<QVector<GPSCoordinate>>;
using Columns = QList<DataType_ThreeResultData>;

Q_DECLARE_METATYPE(Coordinates)

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const float kNoZ = 100000.0f;

// One line of stations with the given elevations.
QVector<GPSCoordinate> line(const QVector<float>& elevations)
{
    QVector<GPSCoordinate> out;
    for (int i = 0; i < elevations.size(); ++i)
        out.append(GPSCoordinate{1.0f, float(i), float(i), 0.0f, elevations[i]});
    return out;
}

DataType_ThreeResultData column(double x, double y, const QVector<double>& z,
                                const QVector<double>& value)
{
    DataType_ThreeResultData c;
    c.x = x;
    c.y = y;
    c.z = z;
    c.value = value;
    c.reserved = 7.5;
    c.station = 120.0;
    return c;
}

void compareValues(const QVector<double>& actual, const QVector<double>& expected)
{
    HW_COMPARE_VECTORS(actual, expected, 1e-12, 1e-12);
}

} // namespace

class TestDataCalc3D : public QObject
{
    Q_OBJECT

private slots:
    void extremeElevations_data();
    void extremeElevations();

    void levelGrid_data();
    void levelGrid();
    void levelValues_data();
    void levelValues();
    void levelsKeepColumnFields();
    void levelsWithoutUsableInput_data();
    void levelsWithoutUsableInput();

    void cosinePair_data();
    void cosinePair();
    void cosineKeepsTopLevelAndIsolatedColumn();
    void cosineDegenerateInput_data();
    void cosineDegenerateInput();
    void cosineSkipsMissingValues();
};

// ---------------------------------------------------------------- maxZ/minZ

void TestDataCalc3D::extremeElevations_data()
{
    QTest::addColumn<Coordinates>("coordinates");
    QTest::addColumn<double>("expectedMax");
    QTest::addColumn<double>("expectedMin");

    QTest::newRow("empty") << Coordinates{} << -100000.0 << 100000.0;
    QTest::newRow("empty lines") << Coordinates{{}, {}} << -100000.0 << 100000.0;
    QTest::newRow("all without elevation")
        << Coordinates{line({kNoZ, kNoZ}), line({kNoZ})} << 100000.0 << 100000.0;
    QTest::newRow("real elevations across lines")
        << Coordinates{line({120.5f, 95.0f}), line({80.25f, 101.0f})} << 120.5 << 80.25;
    QTest::newRow("markers skipped beside real elevations")
        << Coordinates{line({kNoZ, 90.0f, kNoZ}), line({kNoZ, 110.0f})} << 110.0 << 90.0;
    QTest::newRow("marker-only line beside a real line")
        << Coordinates{line({kNoZ, kNoZ}), line({-12.0f})} << -12.0 << -12.0;
    QTest::newRow("single precision widened")
        << Coordinates{line({102.7f, 80.3f})} << double(102.7f) << double(80.3f);
    QTest::newRow("nan elevation skipped")
        << Coordinates{line({std::nanf(""), 50.0f, 40.0f})} << 50.0 << 40.0;
    QTest::newRow("infinite elevation skipped")
        << Coordinates{line({-std::numeric_limits<float>::infinity(), 50.0f,
                             std::numeric_limits<float>::infinity()})}
        << 50.0 << 50.0;
}

void TestDataCalc3D::extremeElevations()
{
    QFETCH(Coordinates, coordinates);
    QFETCH(double, expectedMax);
    QFETCH(double, expectedMin);

    Data_Calc_3D calc(nullptr);
    QCOMPARE(calc.maxZ(coordinates), expectedMax);
    QCOMPARE(calc.minZ(coordinates), expectedMin);
}

// ---------------------------------------------------------- depthLevelMeans

void TestDataCalc3D::levelGrid_data()
{
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("step");
    QTest::addColumn<QVector<double>>("levels");

    // Count from the untruncated top (22.7 / 5 + 1 = 5.54), levels from 102.
    QTest::newRow("fractional top") << 102.7 << 80.0 << 5.0
                                    << QVector<double>{102, 97, 92, 87, 82};
    QTest::newRow("bottom on a level") << 100.0 << 80.0 << 5.0
                                       << QVector<double>{100, 95, 90, 85, 80};
    QTest::newRow("top equals bottom") << 42.0 << 42.0 << 5.0 << QVector<double>{42};
    // Truncation is toward zero, not down.
    QTest::newRow("negative top") << -2.7 << -20.0 << 5.0
                                  << QVector<double>{-2, -7, -12, -17};
    QTest::newRow("no elevations at all") << 100000.0 << 99990.0 << 5.0
                                          << QVector<double>{100000, 99995, 99990};
}

void TestDataCalc3D::levelGrid()
{
    QFETCH(double, top);
    QFETCH(double, bottom);
    QFETCH(double, step);
    QFETCH(QVector<double>, levels);

    Data_Calc_3D calc(nullptr);
    const DataType_ThreeResultData r =
        calc.depthLevelMeans(column(0, 0, {95.0, 85.0}, {10.0, 20.0}), top, bottom, step);
    compareValues(r.z, levels);
    QCOMPARE(r.value.size(), levels.size());
}

void TestDataCalc3D::levelValues_data()
{
    QTest::addColumn<QVector<double>>("z");
    QTest::addColumn<QVector<double>>("value");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<QVector<double>>("expected");

    // Levels 100, 95, 90 meet cells (the middle one within 0.0001).
    QTest::newRow("exact cells") << QVector<double>{100.0, 95.00005, 90.0}
                                 << QVector<double>{10.0, 20.0, 30.0} << 100.0 << 90.0
                                 << QVector<double>{10.0, 20.0, 30.0};
    // Level 97 between cells 3 and 7 away: (10/9 + 40/49) / (1/9 + 1/49).
    QTest::newRow("inverse-square mean") << QVector<double>{100.0, 90.0}
                                         << QVector<double>{10.0, 40.0} << 97.0 << 97.0
                                         << QVector<double>{(10.0 / 9 + 40.0 / 49)
                                                            / (1.0 / 9 + 1.0 / 49)};
    // The weight of the first cell, gathered before the match, is dropped.
    QTest::newRow("match after a weighted cell") << QVector<double>{110.0, 100.0}
                                                 << QVector<double>{1000.0, 10.0}
                                                 << 100.0 << 100.0 << QVector<double>{10.0};
    // Cell 90 has no value: level 90 is the mean of 100 and 95 only.
    QTest::newRow("values shorter than z") << QVector<double>{100.0, 95.0, 90.0}
                                           << QVector<double>{10.0, 20.0} << 90.0 << 90.0
                                           << QVector<double>{(10.0 / 100 + 20.0 / 25)
                                                              / (1.0 / 100 + 1.0 / 25)};
    QTest::newRow("z shorter than values") << QVector<double>{100.0}
                                           << QVector<double>{10.0, 99.0} << 100.0 << 95.0
                                           << QVector<double>{10.0, 10.0};
    // The matching cell has no value; the level falls back to the others.
    QTest::newRow("nan value skipped") << QVector<double>{100.0, 95.0, 90.0}
                                       << QVector<double>{10.0, kNaN, 30.0} << 95.0 << 95.0
                                       << QVector<double>{20.0};
    QTest::newRow("nan elevation skipped") << QVector<double>{100.0, kNaN, 90.0}
                                           << QVector<double>{10.0, 500.0, 30.0} << 95.0
                                           << 95.0 << QVector<double>{20.0};
    QTest::newRow("infinite value skipped") << QVector<double>{100.0, 95.0, 90.0}
                                            << QVector<double>{10.0, kInf, 30.0} << 95.0
                                            << 95.0 << QVector<double>{20.0};
}

void TestDataCalc3D::levelValues()
{
    QFETCH(QVector<double>, z);
    QFETCH(QVector<double>, value);
    QFETCH(double, top);
    QFETCH(double, bottom);
    QFETCH(QVector<double>, expected);

    Data_Calc_3D calc(nullptr);
    const DataType_ThreeResultData r = calc.depthLevelMeans(column(3, 4, z, value), top, bottom, 5.0);
    compareValues(r.value, expected);
    QCOMPARE(r.z.size(), expected.size());
}

void TestDataCalc3D::levelsKeepColumnFields()
{
    Data_Calc_3D calc(nullptr);
    const DataType_ThreeResultData r =
        calc.depthLevelMeans(column(-3.5, 812.25, {100.0}, {1.0}), 100.0, 90.0, 5.0);
    QCOMPARE(r.x, -3.5);
    QCOMPARE(r.y, 812.25);
    QCOMPARE(r.reserved, 7.5);
    QCOMPARE(r.station, 120.0);
}

void TestDataCalc3D::levelsWithoutUsableInput_data()
{
    QTest::addColumn<QVector<double>>("z");
    QTest::addColumn<QVector<double>>("value");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("step");

    const QVector<double> z{100.0, 90.0};
    const QVector<double> v{1.0, 2.0};
    QTest::newRow("zero step") << z << v << 100.0 << 80.0 << 0.0;
    QTest::newRow("negative step") << z << v << 100.0 << 80.0 << -5.0;
    QTest::newRow("top below bottom") << z << v << 80.0 << 100.0 << 5.0;
    QTest::newRow("nan top") << z << v << kNaN << 80.0 << 5.0;
    QTest::newRow("infinite bottom") << z << v << 100.0 << -kInf << 5.0;
    QTest::newRow("nan step") << z << v << 100.0 << 80.0 << kNaN;
    QTest::newRow("level count beyond limit") << z << v << 1e30 << -1e30 << 5.0;
    QTest::newRow("column without cells") << QVector<double>{} << QVector<double>{}
                                          << 100.0 << 80.0 << 5.0;
    QTest::newRow("column without values") << z << QVector<double>{} << 100.0 << 80.0 << 5.0;
    QTest::newRow("all values nan") << z << QVector<double>{kNaN, kNaN} << 100.0 << 80.0 << 5.0;
}

void TestDataCalc3D::levelsWithoutUsableInput()
{
    QFETCH(QVector<double>, z);
    QFETCH(QVector<double>, value);
    QFETCH(double, top);
    QFETCH(double, bottom);
    QFETCH(double, step);

    Data_Calc_3D calc(nullptr);
    const DataType_ThreeResultData r = calc.depthLevelMeans(column(1, 2, z, value), top, bottom, step);
    QVERIFY(r.z.isEmpty());
    QVERIFY(r.value.isEmpty());
    QCOMPARE(r.x, 1.0);
    QCOMPARE(r.y, 2.0);
    QCOMPARE(r.station, 120.0);
}

// ------------------------------------------------------------ cosineWeights

void TestDataCalc3D::cosinePair_data()
{
    // Two columns a (at 0,0) and b (at dx,dy), levels 100, 95, 90 (5 apart),
    // a = 10 and b = 20 at every level. R = 10 * k * factor at level k.
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("level");
    QTest::addColumn<double>("newA");
    QTest::addColumn<double>("newB");

    // w = 0.5 cos(pi/3) + 0.5 = 0.75; b already sees a's smoothed value.
    const double a1 = (10.0 + 0.75 * 20.0) / 1.75;
    QTest::newRow("inside radius, in-place pass")
        << 1.0 << 0.0 << 0.3 << 1 << a1 << (0.75 * a1 + 20.0) / 1.75;
    QTest::newRow("beyond radius") << 4.0 << 0.0 << 0.3 << 1 << 10.0 << 20.0;
    // Level 2: R = 6 reaches the column 4 away, w = 0.25.
    QTest::newRow("radius grows with depth")
        << 4.0 << 0.0 << 0.3 << 2 << 12.0 << (0.25 * 12.0 + 20.0) / 1.25;
    // d = 5 from x and y, R = 10, w = 0.5.
    const double a2 = 20.0 / 1.5;
    QTest::newRow("distance in the plane")
        << 3.0 << 4.0 << 0.5 << 2 << a2 << (0.5 * a2 + 20.0) / 1.5;
}

void TestDataCalc3D::cosinePair()
{
    QFETCH(double, dx);
    QFETCH(double, dy);
    QFETCH(double, factor);
    QFETCH(int, level);
    QFETCH(double, newA);
    QFETCH(double, newB);

    const QVector<double> z{100.0, 95.0, 90.0};
    const Columns in{column(0, 0, z, {10.0, 10.0, 10.0}), column(dx, dy, z, {20.0, 20.0, 20.0})};

    Data_Calc_3D calc(nullptr);
    const Columns out = calc.cosineWeights(in, factor);
    QCOMPARE(out.size(), 2);
    HW_COMPARE_NEAR(out[0].value[level], newA, 1e-12);
    HW_COMPARE_NEAR(out[1].value[level], newB, 1e-12);
    compareValues(out[0].z, z);
    QCOMPARE(out[1].x, dx);
    QCOMPARE(out[1].y, dy);
}

void TestDataCalc3D::cosineKeepsTopLevelAndIsolatedColumn()
{
    // Levels 5 apart, factor 0.3: R = 3 at level 1. The column at 100 is far
    // from the others; the two near ones smooth each other.
    const QVector<double> z{100.0, 95.0};
    const Columns in{column(0, 0, z, {1.0, 10.0}), column(1, 0, z, {2.0, 20.0}),
                     column(100, 0, z, {3.0, 30.0})};

    Data_Calc_3D calc(nullptr);
    const Columns out = calc.cosineWeights(in, 0.3);
    QCOMPARE(out.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(out[i].value[0], in[i].value[0]);
    QCOMPARE(out[2].value[1], 30.0);
    QVERIFY(out[0].value[1] > 10.0 && out[0].value[1] < 20.0);
    QVERIFY(out[1].value[1] > 10.0 && out[1].value[1] < 20.0);
}

void TestDataCalc3D::cosineDegenerateInput_data()
{
    QTest::addColumn<Columns>("columns");
    QTest::addColumn<double>("factor");

    const QVector<double> z{100.0, 95.0};
    const Columns pair{column(0, 0, z, {1.0, 10.0}), column(1, 0, z, {2.0, 20.0})};
    QTest::newRow("empty list") << Columns{} << 0.3;
    QTest::newRow("zero factor") << pair << 0.0;
    QTest::newRow("negative factor") << pair << -0.3;
    QTest::newRow("nan factor") << pair << kNaN;
    QTest::newRow("columns without levels")
        << Columns{column(0, 0, {}, {}), column(1, 0, {}, {})} << 0.3;
    // Levels rising instead of falling give no positive radius.
    QTest::newRow("rising levels")
        << Columns{column(0, 0, {90.0, 95.0}, {1.0, 10.0}), column(1, 0, {90.0, 95.0}, {2.0, 20.0})}
        << 0.3;
}

void TestDataCalc3D::cosineDegenerateInput()
{
    QFETCH(Columns, columns);
    QFETCH(double, factor);

    Data_Calc_3D calc(nullptr);
    const Columns out = calc.cosineWeights(columns, factor);
    QCOMPARE(out.size(), columns.size());
    for (int i = 0; i < columns.size(); ++i) {
        QCOMPARE(out[i].z, columns[i].z);
        QCOMPARE(out[i].value, columns[i].value);
    }
}

void TestDataCalc3D::cosineSkipsMissingValues()
{
    // The first column has no levels (taken from the next one); column 1 has
    // a NaN at level 1 and column 3 lacks level 1 altogether. Neither is
    // mixed into columns 2 and 4, and both stay as they were.
    const QVector<double> z{100.0, 95.0};
    const Columns in{column(0, 0, {}, {}),
                     column(0.5, 0, z, {1.0, kNaN}),
                     column(0, 0, z, {2.0, 10.0}),
                     column(0.5, 0.5, z, {3.0}),
                     column(1, 0, z, {4.0, 20.0})};

    Data_Calc_3D calc(nullptr);
    const Columns out = calc.cosineWeights(in, 0.3);
    QCOMPARE(out.size(), 5);
    QVERIFY(out[0].value.isEmpty());
    QVERIFY(std::isnan(out[1].value[1]));
    QCOMPARE(out[3].value, QVector<double>{3.0});

    const double a = (10.0 + 0.75 * 20.0) / 1.75;
    HW_COMPARE_NEAR(out[2].value[1], a, 1e-12);
    HW_COMPARE_NEAR(out[4].value[1], (0.75 * a + 20.0) / 1.75, 1e-12);
}

QTEST_GUILESS_MAIN(TestDataCalc3D)
#include "tst_data_calc_3d.moc"
