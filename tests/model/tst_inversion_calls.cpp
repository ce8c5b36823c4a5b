#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/TestHelpers.h"
#include "model/Data_Mathematical_Calc.h"
#include "platform/inversion/InversionMethod.h"

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

using Matrix = QVector<QVector<double> >;

// Gate times in us, 10 us to 10 ms.
QVector<double> gateTimes(int n = 25)
{
    QVector<double> t;
    for (int i = 0; i < n; ++i)
        t << std::pow(10.0, 1.0 + 3.0 * i / (n - 1));
    return t;
}

// One row per gate, one column per station, each station a half-space.
Matrix lineCurves(const QVector<double> &times, const QVector<double> &rhos, double current)
{
    QVector<QVector<double> > perStation;
    for (double rho : rhos)
        perStation << InversionMethod::syntheticCurve(times, rho, current);
    Matrix m(times.size());
    for (int g = 0; g < times.size(); ++g) {
        for (int s = 0; s < rhos.size(); ++s)
            m[g] << perStation[s][g];
    }
    return m;
}

QVector<GPSCoordinate> coordinatesFor(const QVector<double> &stations, float line = 1.0f)
{
    QVector<GPSCoordinate> c;
    for (double s : stations)
        c << GPSCoordinate{line, float(s), float(1000.0 + 10.0 * s), float(500.0 + line), 50.0f};
    return c;
}

QVector<TopoData> topo(std::initializer_list<std::pair<double, double> > points)
{
    QVector<TopoData> t;
    for (const auto &p : points) {
        TopoData d;
        d.position = p.first;
        d.elevation = p.second;
        t << d;
    }
    return t;
}

QVector<double> shifted(QVector<double> v, double by)
{
    for (double &d : v)
        d += by;
    return v;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? NaN : v[v.size() / 2];
}

} // namespace

Q_DECLARE_METATYPE(Matrix)
Q_DECLARE_METATYPE(QVector<TopoData>)

class TestInversionCalls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Data_Mathematical_Calc::initNumerics(); }

    void transposeMatrix_data();
    void transposeMatrix();
    void scaledConstraint_data();
    void scaledConstraint();
    void resampleLinear_data();
    void resampleLinear();
    void sortByX_data();
    void sortByX();
    void sortByXAllowsAliasedInput();
    void linearInterpolate_data();
    void linearInterpolate();

    void pointInversionOneRecordPerStation();
    void pointInversionShiftsDepthsByElevation_data();
    void pointInversionShiftsDepthsByElevation();
    void pointInversionKeepsStationsApart();
    void pointInversionRaggedAndEmptyInput();
    void lineCurrentScaling_data();
    void lineCurrentScaling();
    void scaledStationsAgreeWithTheirOwnCurrent();
    void invertibleStations_data();
    void invertibleStations();
    void profileInversionLiftsColumns_data();
    void profileInversionLiftsColumns();
    void profileInversionEmptyInput();
    void threeDimensionalInversionPassesLinesOn();
    void threeDimensionalInversionRaggedLines();
};

void TestInversionCalls::transposeMatrix_data()
{
    QTest::addColumn<Matrix>("m");
    QTest::addColumn<Matrix>("expected");

    QTest::newRow("3x2") << Matrix{{1, 2}, {3, 4}, {5, 6}} << Matrix{{1, 3, 5}, {2, 4, 6}};
    QTest::newRow("1x3") << Matrix{{1, 2, 3}} << Matrix{{1}, {2}, {3}};
    QTest::newRow("empty") << Matrix() << Matrix();
    QTest::newRow("rows without entries") << Matrix{{}, {}} << Matrix();
    QTest::newRow("short second row") << Matrix{{1, 2, 3}, {4}} << Matrix{{1, 4}, {2, NaN}, {3, NaN}};
    QTest::newRow("longer second row is cut") << Matrix{{1}, {2, 9}} << Matrix{{1, 2}};
}

void TestInversionCalls::transposeMatrix()
{
    QFETCH(Matrix, m);
    QFETCH(Matrix, expected);

    const Matrix t = Data_Mathematical_Calc::transpose(m);
    QCOMPARE(t.size(), expected.size());
    for (int j = 0; j < t.size(); ++j)
        HW_COMPARE_VECTORS(t[j], expected[j], 0.0, 0.0);
}

void TestInversionCalls::scaledConstraint_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("coefficient");
    QTest::addColumn<double>("expected");

    QTest::newRow("kind 1") << 1 << 1.0 << 0.5;
    QTest::newRow("kind 2") << 2 << 1.0 << 0.8;
    QTest::newRow("kind 3") << 3 << 1.0 << 2.0;
    QTest::newRow("kind 0") << 0 << 1.0 << 1.0;
    QTest::newRow("kind 4") << 4 << 1.0 << 1.0;
    QTest::newRow("kind 3, coefficient 0.25") << 3 << 0.25 << 0.5;
}

void TestInversionCalls::scaledConstraint()
{
    QFETCH(int, kind);
    QFETCH(double, coefficient);
    QFETCH(double, expected);

    InvParam p;
    p.instrumentKind = kind;
    p.constraintCoefficient = coefficient;
    HW_COMPARE_NEAR(Data_Mathematical_Calc::scaledConstraint(p), expected, 1e-15);
}

void TestInversionCalls::resampleLinear_data()
{
    QTest::addColumn<QVector<TopoData>>("topography");
    QTest::addColumn<QVector<double>>("positions");
    QTest::addColumn<QVector<double>>("expected");

    QTest::newRow("inside, end, outside gets the mean")
        << topo({{0, 10}, {10, 20}}) << QVector<double>{5, 10, 12} << QVector<double>{15, 20, 15};
    QTest::newRow("below the first position gets the mean")
        << topo({{0, 10}, {10, 20}, {20, 60}}) << QVector<double>{-1, 0, 15}
        << QVector<double>{30, 10, 40};
    QTest::newRow("empty topography: zeros")
        << QVector<TopoData>() << QVector<double>{-5, 0, 100} << QVector<double>{0, 0, 0};
    QTest::newRow("no positions") << topo({{0, 10}, {10, 20}}) << QVector<double>()
                                  << QVector<double>();
    QTest::newRow("one point: its elevation everywhere")
        << topo({{5, 42}}) << QVector<double>{0, 5, 10} << QVector<double>{42, 42, 42};
    QTest::newRow("unsorted points")
        << topo({{10, 20}, {0, 10}}) << QVector<double>{2.5} << QVector<double>{12.5};
    // Equal positions: the later record wins; the mean counts every record.
    QTest::newRow("equal positions")
        << topo({{0, 10}, {10, 0}, {10, 20}}) << QVector<double>{5, 11}
        << QVector<double>{15, 10};
    QTest::newRow("non-finite records ignored")
        << topo({{0, 10}, {NaN, 500}, {5, NaN}, {10, 20}}) << QVector<double>{5, 20}
        << QVector<double>{15, 15};
    QTest::newRow("NaN position gets the mean")
        << topo({{0, 10}, {10, 20}}) << QVector<double>{NaN} << QVector<double>{15};
}

void TestInversionCalls::resampleLinear()
{
    QFETCH(QVector<TopoData>, topography);
    QFETCH(QVector<double>, positions);
    QFETCH(QVector<double>, expected);

    HW_COMPARE_VECTORS(Data_Mathematical_Calc::resampleLinear(topography, positions), expected,
                       1e-12, 1e-12);
}

void TestInversionCalls::sortByX_data()
{
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("y");
    QTest::addColumn<QVector<double>>("sortedX");
    QTest::addColumn<QVector<double>>("sortedY");

    // a, b, c = 100, 200, 300
    QTest::newRow("(3, 1, 3)") << QVector<double>{3, 1, 3} << QVector<double>{100, 200, 300}
                               << QVector<double>{1, 3, 3} << QVector<double>{200, 300, 300};
    QTest::newRow("sorted stays") << QVector<double>{1, 2, 3} << QVector<double>{7, 8, 9}
                                  << QVector<double>{1, 2, 3} << QVector<double>{7, 8, 9};
    QTest::newRow("reversed") << QVector<double>{3, 2, 1} << QVector<double>{7, 8, 9}
                              << QVector<double>{1, 2, 3} << QVector<double>{9, 8, 7};
    QTest::newRow("all equal") << QVector<double>{5, 5, 5} << QVector<double>{1, 2, 3}
                               << QVector<double>{5, 5, 5} << QVector<double>{3, 3, 3};
    QTest::newRow("NaN sorts last with its own y")
        << QVector<double>{2, NaN, 1} << QVector<double>{20, 99, 10}
        << QVector<double>{1, 2, NaN} << QVector<double>{10, 20, 99};
    QTest::newRow("single") << QVector<double>{4} << QVector<double>{1}
                            << QVector<double>{4} << QVector<double>{1};
    QTest::newRow("none") << QVector<double>() << QVector<double>() << QVector<double>()
                          << QVector<double>();
}

void TestInversionCalls::sortByX()
{
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, y);
    QFETCH(QVector<double>, sortedX);
    QFETCH(QVector<double>, sortedY);

    const QVector<double> before = x;
    Data_Mathematical_Calc::sortByX(x.data(), before.constData(), y.data(), x.size());
    HW_COMPARE_VECTORS(x, sortedX, 0.0, 0.0);
    HW_COMPARE_VECTORS(y, sortedY, 0.0, 0.0);
}

void TestInversionCalls::sortByXAllowsAliasedInput()
{
    QVector<double> x{3, 1, 3};
    QVector<double> y{100, 200, 300};
    Data_Mathematical_Calc::sortByX(x.data(), x.constData(), y.data(), x.size());
    QCOMPARE(x, (QVector<double>{1, 3, 3}));
    QCOMPARE(y, (QVector<double>{200, 300, 300}));

    // Null pointers and non-positive counts do nothing.
    Data_Mathematical_Calc::sortByX(nullptr, nullptr, nullptr, 3);
    Data_Mathematical_Calc::sortByX(x.data(), x.constData(), y.data(), -1);
    QCOMPARE(x, (QVector<double>{1, 3, 3}));
}

void TestInversionCalls::linearInterpolate_data()
{
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("y");
    QTest::addColumn<double>("xq");
    QTest::addColumn<double>("expected");

    QTest::newRow("inside") << QVector<double>{0, 10, 20} << QVector<double>{0, 100, 0} << 15.0 << 50.0;
    QTest::newRow("first end") << QVector<double>{0, 10} << QVector<double>{1, 2} << 0.0 << 1.0;
    QTest::newRow("last end") << QVector<double>{0, 10} << QVector<double>{1, 2} << 10.0 << 2.0;
    QTest::newRow("below: first value") << QVector<double>{0, 10} << QVector<double>{1, 2} << -4.0 << 1.0;
    QTest::newRow("above: last value") << QVector<double>{0, 10} << QVector<double>{1, 2} << 11.0 << 2.0;
    QTest::newRow("unsorted") << QVector<double>{10, 0} << QVector<double>{2, 1} << 5.0 << 1.5;
    QTest::newRow("equal x, last wins") << QVector<double>{0, 10, 10} << QVector<double>{0, 5, 10}
                                        << 5.0 << 5.0;
    QTest::newRow("one point") << QVector<double>{3} << QVector<double>{9} << 100.0 << 9.0;
    QTest::newRow("no point") << QVector<double>() << QVector<double>() << 1.0 << NaN;
    QTest::newRow("NaN query") << QVector<double>{0, 1} << QVector<double>{0, 1} << NaN << NaN;
}

void TestInversionCalls::linearInterpolate()
{
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, y);
    QFETCH(double, xq);
    QFETCH(double, expected);

    const double v = Data_Mathematical_Calc::linearInterpolate(x.constData(), y.constData(),
                                                               x.size(), xq);
    QVERIFY2(hwtest::nearlyEqual(v, expected), qPrintable(QString::number(v)));
}

void TestInversionCalls::pointInversionOneRecordPerStation()
{
    const QVector<double> times = gateTimes();
    const QVector<double> stations{100, 110, 120, 130};
    const Matrix curves = lineCurves(times, {50, 50, 80, 200}, 10.0);
    InvParam param;   // empty topography

    Data_Mathematical_Calc calc(nullptr);
    QList<DataType_ResultData> results;
    results << DataType_ResultData() << DataType_ResultData();   // must be replaced
    calc.pointInversion(curves, times, stations, 10.0, results, param);

    QCOMPARE(results.size(), stations.size());
    const QList<double> minima = calc.getResults();
    QCOMPARE(minima.size(), stations.size());
    for (int i = 0; i < stations.size(); ++i) {
        QCOMPARE(results[i].x, stations[i]);
        QVERIFY(!results[i].depth.isEmpty());
        QCOMPARE(results[i].depth.size(), results[i].value.size());
        QCOMPARE(minima[i], *std::min_element(results[i].depth.cbegin(), results[i].depth.cend()));
    }

    // A second call replaces the result list instead of adding to it.
    calc.pointInversion(curves, times, stations.mid(0, 2), 10.0, results, param);
    QCOMPARE(results.size(), 2);
    QCOMPARE(calc.getResults().size(), 2);
}

void TestInversionCalls::pointInversionShiftsDepthsByElevation_data()
{
    QTest::addColumn<QVector<TopoData>>("topography");
    QTest::addColumn<QVector<double>>("elevations");
    QTest::addColumn<int>("kind");

    QTest::newRow("empty topography: depths as the library gives them")
        << QVector<TopoData>() << QVector<double>{0, 0, 0, 0} << 3;
    QTest::newRow("topography, outside gets the mean")
        << topo({{0, 10}, {10, 20}}) << QVector<double>{10, 15, 20, 15} << 1;
    QTest::newRow("one topography point") << topo({{5, -7}}) << QVector<double>{-7, -7, -7, -7} << 2;
}

void TestInversionCalls::pointInversionShiftsDepthsByElevation()
{
    QFETCH(QVector<TopoData>, topography);
    QFETCH(QVector<double>, elevations);
    QFETCH(int, kind);

    const QVector<double> times = gateTimes();
    const QVector<double> stations{0, 5, 10, 12};
    const QVector<double> rhos{30, 60, 120, 240};
    const Matrix curves = lineCurves(times, rhos, 2.5);
    InvParam param;
    param.topography = topography;
    param.instrumentKind = kind;
    param.constraintCoefficient = 0.7;
    param.referenceResistivity = 150.0;

    Data_Mathematical_Calc calc(nullptr);
    QList<DataType_ResultData> results;
    calc.pointInversion(curves, times, stations, 2.5, results, param);
    QCOMPARE(results.size(), stations.size());

    // The library sees the station's column, the scaled constraint and the
    // reference resistivity; only the elevation is added on our side.
    for (int i = 0; i < stations.size(); ++i) {
        InversionMethod library;
        QVector<double> values, depths;
        library.pointCompute(InversionMethod::syntheticCurve(times, rhos[i], 2.5), times, 2.5,
                             values, depths, 150.0, Data_Mathematical_Calc::scaledConstraint(param));
        HW_COMPARE_VECTORS(results[i].value, values, 1e-12, 0.0);
        HW_COMPARE_VECTORS(results[i].depth, shifted(depths, elevations[i]), 1e-12, 1e-12);
        HW_COMPARE_NEAR(calc.getResults()[i],
                        *std::min_element(depths.cbegin(), depths.cend()) + elevations[i], 1e-12);
    }
}

void TestInversionCalls::pointInversionKeepsStationsApart()
{
    // Columns are stations: a conductive and a resistive station must come
    // back in that order with their own resistivities.
    const QVector<double> times = gateTimes();
    const Matrix curves = lineCurves(times, {10, 1000}, 10.0);
    Data_Mathematical_Calc calc(nullptr);
    QList<DataType_ResultData> results;
    calc.pointInversion(curves, times, {1, 2}, 10.0, results, InvParam());
    QCOMPARE(results.size(), 2);
    const double first = median(results[0].value);
    const double second = median(results[1].value);
    QVERIFY2(first > 5 && first < 20, qPrintable(QString::number(first)));
    QVERIFY2(second > 500 && second < 2000, qPrintable(QString::number(second)));
}

void TestInversionCalls::pointInversionRaggedAndEmptyInput()
{
    const QVector<double> times = gateTimes(10);
    Data_Mathematical_Calc calc(nullptr);
    QList<DataType_ResultData> results;

    // More stations than curve columns (the third has no curve, so no
    // model), and a ragged row.
    Matrix curves = lineCurves(times, {100, 100}, 1.0);
    curves[3].resize(1);
    calc.pointInversion(curves, times, {1, 2, 3}, 1.0, results, InvParam());
    QCOMPARE(results.size(), 2);
    QCOMPARE(calc.getResults().size(), 2);
    QCOMPARE(results[0].x, 1.0);
    QCOMPARE(results[1].x, 2.0);
    for (const DataType_ResultData &r : results) {
        QVERIFY(!r.depth.isEmpty());
        QCOMPARE(r.depth.size(), r.value.size());
        for (double v : r.value)
            QVERIFY(std::isfinite(v));
    }

    // Nothing at all.
    calc.pointInversion(Matrix(), QVector<double>(), QVector<double>(), 1.0, results, InvParam());
    QVERIFY(results.isEmpty());
    QVERIFY(calc.getResults().isEmpty());

    // Curves of NaN and zeros, or a current that is no current, give no
    // model: such stations are left out like stations without data.
    calc.pointInversion(Matrix{{NaN, 0}, {0, -1}}, {10, 20}, {1, 2}, 1.0, results, InvParam());
    QVERIFY(results.isEmpty());
    QVERIFY(calc.getResults().isEmpty());
    for (double current : {0.0, -10.0, NaN}) {
        calc.pointInversion(lineCurves(times, {100, 30}, 1.0), times, {1, 2}, current, results, InvParam());
        QVERIFY(results.isEmpty());
    }
    // One usable station among unusable ones keeps its place.
    Matrix mixed = lineCurves(times, {100, 100, 100}, 1.0);
    for (int g = 1; g < mixed.size(); ++g)
        mixed[g][1] = 0.0;
    calc.pointInversion(mixed, times, {5, 6, 7}, 1.0, results, InvParam());
    QCOMPARE(results.size(), 2);
    QCOMPARE(results[0].x, 5.0);
    QCOMPARE(results[1].x, 7.0);
    QCOMPARE(calc.getResults().size(), 2);
}

void TestInversionCalls::lineCurrentScaling_data()
{
    QTest::addColumn<QVector<double> >("currents");
    QTest::addColumn<QVector<double> >("factors");
    QTest::newRow("own currents") << QVector<double>{20, 10, 2.5} << QVector<double>{0.5, 1.0, 4.0};
    QTest::newRow("unusable currents kept") << QVector<double>{0, -3, NaN} << QVector<double>{1, 1, 1};
    QTest::newRow("missing currents kept") << QVector<double>{5} << QVector<double>{2, 1, 1};
}

void TestInversionCalls::lineCurrentScaling()
{
    QFETCH(QVector<double>, currents);
    QFETCH(QVector<double>, factors);
    const Matrix before{{1, 2, 3}, {4, 5, 6}};
    Matrix curves = before;
    Data_Mathematical_Calc::scaleToLineCurrent(curves, currents);
    for (int g = 0; g < 2; ++g) {
        for (int j = 0; j < 3; ++j)
            HW_COMPARE_NEAR(curves[g][j], before[g][j] * factors[j], 1e-15);
    }
}

void TestInversionCalls::scaledStationsAgreeWithTheirOwnCurrent()
{
    // A line surveyed at 20 A, 10 A and 4 A over one half-space: brought to
    // the line current, each station gives the model of its own curve
    // inverted with its own current (the station view).
    const QVector<double> times = gateTimes(10);
    const QVector<double> currents{20.0, 10.0, 4.0};
    Matrix curves(times.size(), QVector<double>(3));
    for (int j = 0; j < 3; ++j) {
        const QVector<double> c = InversionMethod::syntheticCurve(times, 100.0, currents[j]);
        for (int g = 0; g < times.size(); ++g)
            curves[g][j] = c[g];
    }
    Matrix scaled = curves;
    Data_Mathematical_Calc::scaleToLineCurrent(scaled, currents);
    Data_Mathematical_Calc calc(nullptr);
    QList<DataType_ResultData> line;
    calc.pointInversion(scaled, times, {0, 20, 40}, Data_Mathematical_Calc::kLineCurrent, line, InvParam());
    QCOMPARE(line.size(), 3);
    InversionMethod library;
    const double constraint = Data_Mathematical_Calc::scaledConstraint(InvParam());
    for (int j = 0; j < 3; ++j) {
        QVector<double> own(times.size());
        for (int g = 0; g < times.size(); ++g)
            own[g] = curves[g][j];
        QVector<double> values, depths;
        library.pointCompute(own, times, currents[j], values, depths, InvParam().referenceResistivity, constraint);
        HW_COMPARE_VECTORS(line[j].value, values, 1e-9, 0.0);
        HW_COMPARE_VECTORS(line[j].depth, depths, 1e-12, 0.0);
    }
}

void TestInversionCalls::invertibleStations_data()
{
    QTest::addColumn<Matrix>("curves");
    QTest::addColumn<QVector<double> >("times");
    QTest::addColumn<QVector<int> >("expected");
    QTest::newRow("all usable") << Matrix{{1, 2}, {3, 4}} << QVector<double>{10, 20} << QVector<int>{0, 1};
    QTest::newRow("one gate each") << Matrix{{1, 0}, {NaN, 4}} << QVector<double>{10, 20} << QVector<int>();
    QTest::newRow("bad times") << Matrix{{1, 1}, {1, 1}, {1, 1}} << QVector<double>{-1, 20, NaN} << QVector<int>();
    QTest::newRow("middle station dead") << Matrix{{1, -1, 1}, {2, 0, 2}} << QVector<double>{10, 20}
                                         << QVector<int>{0, 2};
    QTest::newRow("nothing") << Matrix() << QVector<double>() << QVector<int>();
}

void TestInversionCalls::invertibleStations()
{
    QFETCH(Matrix, curves);
    QFETCH(QVector<double>, times);
    QFETCH(QVector<int>, expected);
    QCOMPARE(Data_Mathematical_Calc::invertibleStations(curves, times), expected);
}

void TestInversionCalls::profileInversionLiftsColumns_data()
{
    QTest::addColumn<QVector<TopoData>>("topography");
    QTest::addColumn<QVector<double>>("lift");

    QTest::newRow("empty topography leaves z") << QVector<TopoData>() << QVector<double>{0, 0, 0, 0};
    QTest::newRow("inside and outside the range")
        << topo({{0, 10}, {10, 20}}) << QVector<double>{10, 15, 20, 15};
}

void TestInversionCalls::profileInversionLiftsColumns()
{
    QFETCH(QVector<TopoData>, topography);
    QFETCH(QVector<double>, lift);

    const QVector<double> times = gateTimes();
    const QVector<double> stations{0, 5, 10, 12};
    const Matrix curves = lineCurves(times, {40, 60, 90, 120}, 1.0);
    const QVector<GPSCoordinate> coords = coordinatesFor(stations);
    InvParam param;
    param.topography = topography;
    param.instrumentKind = 2;
    param.referenceResistivity = 80.0;

    Data_Mathematical_Calc calc(nullptr);
    const QList<DataType_ThreeResultData> result =
        calc.profileInversion(curves, times, coords, param, 55.0);

    InversionMethod library;
    const QList<DataType_ThreeResultData> raw = library.shapedProfile_LineCalc(
        Data_Mathematical_Calc::transpose(curves), times, coords, 80.0,
        Data_Mathematical_Calc::scaledConstraint(param), 100.0);
    QCOMPARE(result.size(), raw.size());
    QCOMPARE(result.size(), stations.size());
    for (int i = 0; i < result.size(); ++i) {
        QCOMPARE(result[i].station, stations[i]);
        HW_COMPARE_VECTORS(result[i].value, raw[i].value, 1e-12, 0.0);
        HW_COMPARE_VECTORS(result[i].z, shifted(raw[i].z, lift[i]), 1e-12, 1e-12);
    }
}

void TestInversionCalls::profileInversionEmptyInput()
{
    Data_Mathematical_Calc calc(nullptr);
    QVERIFY(calc.profileInversion(Matrix(), QVector<double>(), QVector<GPSCoordinate>(),
                                  InvParam(), 100.0)
                .isEmpty());
    // Fewer coordinates than stations and a ragged matrix: no crash, one
    // column per station with z and values of equal length.
    const QVector<double> times = gateTimes(8);
    Matrix curves = lineCurves(times, {100, 100, 100}, 1.0);
    curves[2].resize(2);
    const QList<DataType_ThreeResultData> result =
        calc.profileInversion(curves, times, coordinatesFor({1}), InvParam(), 100.0);
    QCOMPARE(result.size(), 3);
    for (const DataType_ThreeResultData &r : result)
        QCOMPARE(r.z.size(), r.value.size());
}

void TestInversionCalls::threeDimensionalInversionPassesLinesOn()
{
    const QVector<double> times = gateTimes();
    const QVector<double> stations{0, 10, 20};
    const QVector<Matrix> curves{lineCurves(times, {50, 70, 90}, 1.0),
                                 lineCurves(times, {60, 80, 100}, 1.0)};
    const QVector<QVector<double> > lineTimes{times, times};
    const QVector<QVector<GPSCoordinate> > coords{coordinatesFor(stations, 1.0f),
                                                  coordinatesFor(stations, 2.0f)};
    InvParam param;
    param.referenceResistivity = 70.0;
    param.instrumentKind = 1;

    Data_Mathematical_Calc calc(nullptr);
    // The fourth argument is not used: the reference comes from param.
    const QList<DataType_ThreeResultData> result =
        calc.threeDimensionalInversion(curves, lineTimes, coords, 9999.0, param, 100.0);

    InversionMethod library;
    const QList<DataType_ThreeResultData> raw = library.Three_Dimensional_Calc(
        {Data_Mathematical_Calc::transpose(curves[0]), Data_Mathematical_Calc::transpose(curves[1])},
        lineTimes, coords, 70.0, Data_Mathematical_Calc::scaledConstraint(param), 100.0);
    QCOMPARE(result.size(), raw.size());
    QVERIFY(!result.isEmpty());
    for (int i = 0; i < result.size(); ++i) {
        QCOMPARE(result[i].x, raw[i].x);
        QCOMPARE(result[i].y, raw[i].y);
        HW_COMPARE_VECTORS(result[i].z, raw[i].z, 0.0, 0.0);
        HW_COMPARE_VECTORS(result[i].value, raw[i].value, 0.0, 0.0);
    }
}

void TestInversionCalls::threeDimensionalInversionRaggedLines()
{
    Data_Mathematical_Calc calc(nullptr);
    QVERIFY(calc.threeDimensionalInversion({}, {}, {}, 100.0, InvParam(), 100.0).isEmpty());

    // Three curve matrices but times and coordinates for two lines only, one
    // matrix empty: the third line is left out, nothing reads out of range.
    const QVector<double> times = gateTimes(8);
    const QVector<Matrix> curves{lineCurves(times, {100, 100}, 1.0), Matrix(),
                                 lineCurves(times, {100}, 1.0)};
    const QList<DataType_ThreeResultData> result = calc.threeDimensionalInversion(
        curves, {times, times}, {coordinatesFor({1, 2}), coordinatesFor({})}, 100.0, InvParam(),
        100.0);
    // One column per station of the lines taken: the two of the first line.
    QCOMPARE(result.size(), 2);
    for (const DataType_ThreeResultData &r : result)
        QCOMPARE(r.z.size(), r.value.size());
}

QTEST_APPLESS_MAIN(TestInversionCalls)
#include "tst_inversion_calls.moc"
