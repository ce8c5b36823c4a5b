#include <QtTest>

#include <gsl/gsl_errno.h>

#include <cmath>
#include <limits>

#include "common/TestHelpers.h"
#include "platform/inversion/InversionMethod.h"
#include "LayeredEarth.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// 20 gates per decade from 10 us to 10 ms.
QVector<double> gateTimes()
{
    QVector<double> t;
    for (int i = 0; i <= 60; ++i)
        t << 10.0 * std::pow(10.0, i / 20.0);
    return t;
}

// Empty when values and depths have the documented shape.
QString shapeProblem(const QVector<double>& values, const QVector<double>& depths)
{
    if (values.isEmpty() || values.size() != depths.size())
        return QString("sizes %1 and %2").arg(values.size()).arg(depths.size());
    if (!(depths[0] < 0.0))
        return QString("first depth %1 not negative").arg(depths[0]);
    for (int j = 1; j < depths.size(); ++j)
        if (!(depths[j] < depths[j - 1]))
            return QString("depth %1 does not fall").arg(j);
    for (double v : values)
        if (!(std::isfinite(v) && v > 0.0))
            return QString("value %1").arg(v);
    return QString();
}

// Largest relative deviation from rho over the layers whose depth lies
// within [shallow, deep]; count receives the number of such layers.
double worstInReach(const QVector<double>& values, const QVector<double>& depths,
                    double shallow, double deep, double rho, int& count)
{
    double worst = 0.0;
    count = 0;
    for (int j = 0; j < depths.size(); ++j) {
        const double d = -depths[j];
        if (d < shallow || d > deep)
            continue;
        ++count;
        worst = std::max(worst, std::fabs(values[j] / rho - 1.0));
    }
    return worst;
}

double valueAtDepth(const QVector<double>& values, const QVector<double>& depths, double depth)
{
    int best = 0;
    for (int j = 1; j < depths.size(); ++j)
        if (std::fabs(-depths[j] - depth) < std::fabs(-depths[best] - depth))
            best = j;
    return values[best];
}

GPSCoordinate coord(float line, float point, float x, float y, float z)
{
    return GPSCoordinate{line, point, x, y, z};
}

} // namespace

class TestInversionMethod : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void forwardReferenceValues_data();
    void forwardReferenceValues();
    void forwardLateTimeLimit();

    void halfSpaceRoundTrip_data();
    void halfSpaceRoundTrip();
    void unusableGatesAreSkipped_data();
    void unusableGatesAreSkipped();
    void valueAboveMaximumTakesPeakResistivity();

    void layeredFixtureMatchesHalfSpace();
    void conductiveLayerShowsLow();

    void badInputGivesNoModel_data();
    void badInputGivesNoModel();
    void unusableReferenceIsReplaced();

    void profileRecords();
    void profileLateralSmoothing();
    void profileStationWithoutData();
    void profileEdgeInput();
    void lateralSmoothingOnEvenSpacingIsUnchanged();
    void profileSmoothingByDistance();
    void threeDimensionalSmoothingByDistance();

    void threeDimensionalRecords();
    void threeDimensionalCrossLineSmoothing();
    void threeDimensionalEdgeInput();
};

void TestInversionMethod::initTestCase()
{
    gsl_set_error_handler_off();
}

void TestInversionMethod::forwardReferenceValues_data()
{
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.1 ms") << 1e-4 << -1.979626e-7;
    QTest::newRow("1 ms") << 1e-3 << -6.310880e-10;
    QTest::newRow("10 ms") << 1e-2 << -1.997288e-12;
}

void TestInversionMethod::forwardReferenceValues()
{
    QFETCH(double, t);
    QFETCH(double, expected);
    HW_COMPARE_NEAR(InversionMethod::halfSpaceDBzDt(t, 100.0, 1.0, 20.0), expected, 1e-6);
    // Linear in the current; the voltage is -A_r dBz/dt; curves take us.
    HW_COMPARE_NEAR(InversionMethod::halfSpaceDBzDt(t, 100.0, 7.0, 20.0), 7.0 * expected, 1e-6);
    HW_COMPARE_NEAR(InversionMethod::receivedVoltage(t, 100.0, 1.0),
                    -InversionMethod::kReceiverArea * expected, 1e-6);
    const QVector<double> curve = InversionMethod::syntheticCurve({t * 1e6}, 100.0, 2.0);
    QCOMPARE(curve.size(), 1);
    HW_COMPARE_NEAR(curve[0], -2.0 * InversionMethod::kReceiverArea * expected, 1e-6);
}

void TestInversionMethod::forwardLateTimeLimit()
{
    // At late time the closed form cancels to many digits; the response must
    // still follow -I a^2 mu0^(5/2) sigma^(3/2) / (20 sqrt(pi) t^(5/2)).
    const double a = 20.0;
    const double mu0 = InversionMethod::kMu0;
    for (double rho : {1.0, 1000.0}) {
        for (double t : {0.1, 1.0}) {
            const double late = -a * a * std::pow(mu0, 2.5) * std::pow(1.0 / rho, 1.5)
                                / (20.0 * std::sqrt(M_PI) * std::pow(t, 2.5));
            HW_COMPARE_NEAR(InversionMethod::halfSpaceDBzDt(t, rho, 1.0, a), late, 1e-3);
        }
    }
    QVERIFY(std::isnan(InversionMethod::halfSpaceDBzDt(0.0, 100.0, 1.0)));
    QVERIFY(std::isnan(InversionMethod::halfSpaceDBzDt(1e-3, kNaN, 1.0)));
}

void TestInversionMethod::halfSpaceRoundTrip_data()
{
    QTest::addColumn<double>("rho");
    QTest::addColumn<double>("reference");
    QTest::addColumn<double>("constraint");
    for (double rho : {1.0, 10.0, 100.0, 1000.0}) {
        for (double ref : {1.0, 100.0, 10000.0}) {
            QTest::newRow(qPrintable(QString("rho %1 ref %2").arg(rho).arg(ref)))
                << rho << ref << 2.0;
        }
    }
    QTest::newRow("rho 1 no smoothing") << 1.0 << 100.0 << 0.0;
    QTest::newRow("rho 1000 strong smoothing") << 1000.0 << 100.0 << 20.0;
}

void TestInversionMethod::halfSpaceRoundTrip()
{
    QFETCH(double, rho);
    QFETCH(double, reference);
    QFETCH(double, constraint);
    const double current = 7.5;
    const QVector<double> times = gateTimes();
    const QVector<double> curve = InversionMethod::syntheticCurve(times, rho, current);

    // Every gate, the earliest included, gives back rho.
    QVector<double> apparent;
    QVector<double> gateDepths;
    InversionMethod::apparentResistivity(curve, times, current, apparent, gateDepths);
    QCOMPARE(apparent.size(), times.size());
    for (int i = 0; i < apparent.size(); ++i)
        QVERIFY2(std::fabs(apparent[i] / rho - 1.0) < 0.02,
                 qPrintable(QString("gate %1: %2").arg(i).arg(apparent[i])));

    InversionMethod inv;
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, current, values, depths, reference, constraint);
    const QString problem = shapeProblem(values, depths);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    int inReach = 0;
    const double worst = worstInReach(values, depths, gateDepths.first(), gateDepths.last(),
                                      rho, inReach);
    QVERIFY2(inReach >= 10, qPrintable(QString("only %1 layers in reach").arg(inReach)));
    QVERIFY2(worst < 0.02, qPrintable(QString("worst deviation %1").arg(worst)));

    // Below the data the model leans toward the reference.
    if (reference != rho) {
        QVERIFY(-depths.last() > gateDepths.last());
        QVERIFY(std::fabs(std::log(values.last() / reference))
                < std::fabs(std::log(rho / reference)));
    }
}

void TestInversionMethod::unusableGatesAreSkipped_data()
{
    QTest::addColumn<QVector<double> >("curve");
    QTest::addColumn<QVector<double> >("times");

    const QVector<double> times = gateTimes();
    const QVector<double> clean = InversionMethod::syntheticCurve(times, 30.0, 1.0);

    QVector<double> spoiled = clean;
    spoiled[0] = kNaN;
    spoiled[5] = 0.0;
    spoiled[20] = -spoiled[20];
    spoiled[40] = kInf;
    spoiled[60] = -1.0;
    QTest::newRow("NaN, zero, negative and infinite gates") << spoiled << times;

    QVector<double> badTimes = times;
    badTimes[3] = 0.0;
    badTimes[4] = -10.0;
    badTimes[50] = kNaN;
    QTest::newRow("unusable times") << clean << badTimes;

    QVector<double> rc;
    QVector<double> rt;
    for (int i = times.size() - 1; i >= 0; --i) {
        rc << clean[i];
        rt << times[i];
    }
    QTest::newRow("latest gate first") << rc << rt;

    QVector<double> longer = clean;
    longer << 1.0 << 2.0 << 3.0;
    QTest::newRow("more values than times") << longer << times;
}

void TestInversionMethod::unusableGatesAreSkipped()
{
    QFETCH(QVector<double>, curve);
    QFETCH(QVector<double>, times);
    InversionMethod inv;
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, 1.0, values, depths, 500.0, 2.0);
    const QString problem = shapeProblem(values, depths);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    QVector<double> apparent;
    QVector<double> gateDepths;
    InversionMethod::apparentResistivity(curve, times, 1.0, apparent, gateDepths);
    QVERIFY(apparent.size() >= 50);
    for (double r : apparent)
        QVERIFY2(std::fabs(r / 30.0 - 1.0) < 0.02, qPrintable(QString::number(r)));
    int inReach = 0;
    const double worst = worstInReach(values, depths, gateDepths.first(), gateDepths.last(),
                                      30.0, inReach);
    QVERIFY(inReach >= 10);
    QVERIFY2(worst < 0.02, qPrintable(QString("worst deviation %1").arg(worst)));
}

void TestInversionMethod::valueAboveMaximumTakesPeakResistivity()
{
    // A value above the largest response any half-space gives at its time
    // takes the resistivity of that largest response.
    const double tUs = 100.0;
    const QVector<double> times{tUs, 200.0, 400.0};
    QVector<double> curve = InversionMethod::syntheticCurve(times, 100.0, 1.0);
    curve[0] = 1.0;  // far above any half-space response at 100 us
    QVector<double> apparent;
    QVector<double> gateDepths;
    InversionMethod::apparentResistivity(curve, times, 1.0, apparent, gateDepths);
    QCOMPARE(apparent.size(), 3);
    const double peak = apparent[0];
    QVERIFY(std::isfinite(peak) && peak > 0.0);
    const double vPeak = InversionMethod::receivedVoltage(tUs * 1e-6, peak, 1.0);
    QVERIFY(InversionMethod::receivedVoltage(tUs * 1e-6, peak * 1.01, 1.0) < vPeak);
    QVERIFY(InversionMethod::receivedVoltage(tUs * 1e-6, peak / 1.01, 1.0) < vPeak);

    // A whole curve above the maximum still gives a model.
    InversionMethod inv;
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute({1.0, 1.0, 1.0}, times, 1.0, values, depths, 100.0, 1.0);
    const QString problem = shapeProblem(values, depths);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestInversionMethod::layeredFixtureMatchesHalfSpace()
{
    // A thin top layer barely changes the late response of the ground below.
    const hwtest::LayeredEarth thinCap{{100.0, 10.0}, {1.0}};
    for (double t : {1e-3, 1e-2}) {
        const double layered = hwtest::layeredDBzDt(thinCap, t, 1.0);
        const double half = InversionMethod::halfSpaceDBzDt(t, 10.0, 1.0);
        QVERIFY2(std::fabs(layered / half - 1.0) < 0.02,
                 qPrintable(QString("t %1: %2 vs %3").arg(t).arg(layered).arg(half)));
    }
    // Equal layers are the half-space.
    const hwtest::LayeredEarth uniform{{50.0, 50.0}, {20.0}};
    HW_COMPARE_NEAR(hwtest::layeredDBzDt(uniform, 1e-3, 1.0),
                    InversionMethod::halfSpaceDBzDt(1e-3, 50.0, 1.0), 1e-5);
}

void TestInversionMethod::conductiveLayerShowsLow()
{
    // 100 ohm-m with a 5 ohm-m layer from 40 m to 70 m.
    const hwtest::LayeredEarth model{{100.0, 5.0, 100.0}, {40.0, 30.0}};
    QVector<double> times;
    for (int i = 0; i <= 30; ++i)
        times << 10.0 * std::pow(10.0, i / 10.0);
    const double current = 10.0;
    QVector<double> curve;
    for (double t : times)
        curve << -InversionMethod::kReceiverArea * hwtest::layeredDBzDt(model, t * 1e-6, current);

    InversionMethod inv;
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, current, values, depths, 100.0, 2.0);
    const QString problem = shapeProblem(values, depths);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    int lowest = 0;
    for (int j = 1; j < values.size(); ++j)
        if (values[j] < values[lowest])
            lowest = j;
    const double lowDepth = -depths[lowest];
    QVERIFY2(lowDepth > 30.0 && lowDepth < 150.0, qPrintable(QString::number(lowDepth)));
    QVERIFY2(values[lowest] < 40.0, qPrintable(QString::number(values[lowest])));
    const double shallow = valueAtDepth(values, depths, 25.0);
    QVERIFY2(std::fabs(shallow / 100.0 - 1.0) < 0.3, qPrintable(QString::number(shallow)));
    QVERIFY(valueAtDepth(values, depths, 300.0) > 1.5 * values[lowest]);
}

void TestInversionMethod::badInputGivesNoModel_data()
{
    QTest::addColumn<QVector<double> >("curve");
    QTest::addColumn<QVector<double> >("times");
    QTest::addColumn<double>("current");

    const QVector<double> times = gateTimes();
    const QVector<double> good = InversionMethod::syntheticCurve(times, 10.0, 1.0);
    QVector<double> zeros(times.size(), 0.0);
    QVector<double> negative;
    QVector<double> nans(times.size(), kNaN);
    for (double v : good)
        negative << -v;
    QVector<double> oneGate = nans;
    oneGate[10] = good[10];

    QTest::newRow("empty") << QVector<double>() << QVector<double>() << 1.0;
    QTest::newRow("no times") << good << QVector<double>() << 1.0;
    QTest::newRow("zeros") << zeros << times << 1.0;
    QTest::newRow("negative") << negative << times << 1.0;
    QTest::newRow("NaN") << nans << times << 1.0;
    QTest::newRow("one usable gate") << oneGate << times << 1.0;
    QTest::newRow("NaN current") << good << times << kNaN;
    QTest::newRow("infinite current") << good << times << kInf;
    QTest::newRow("zero current") << good << times << 0.0;
    QTest::newRow("negative current") << good << times << -1.0;
}

void TestInversionMethod::badInputGivesNoModel()
{
    QFETCH(QVector<double>, curve);
    QFETCH(QVector<double>, times);
    QFETCH(double, current);

    InversionMethod inv;
    QVector<double> values{1.0, 2.0};  // replaced, not appended to
    QVector<double> depths{-5.0};
    inv.pointCompute(curve, times, current, values, depths, 80.0, 1.0);
    QVERIFY(values.isEmpty());
    QVERIFY(depths.isEmpty());
}

void TestInversionMethod::unusableReferenceIsReplaced()
{
    // Below the deepest gate the model relaxes toward the reference; an
    // unusable one is replaced by the default.
    const QVector<double> times = gateTimes();
    const QVector<double> curve = InversionMethod::syntheticCurve(times, 10.0, 1.0);
    InversionMethod inv;
    QVector<double> expected;
    QVector<double> expectedDepths;
    inv.pointCompute(curve, times, 1.0, expected, expectedDepths,
                     InversionMethod::kDefaultReferenceResistivity, 1.0);
    QVERIFY(expected.last() > 5.0 * expected.first());
    for (double reference : {kNaN, 0.0, -3.0}) {
        QVector<double> values;
        QVector<double> depths;
        inv.pointCompute(curve, times, 1.0, values, depths, reference, 1.0);
        const QString problem = shapeProblem(values, depths);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(values, expected);
        QCOMPARE(depths, expectedDepths);
    }
}

void TestInversionMethod::profileRecords()
{
    const QVector<double> times = gateTimes();
    const QVector<double> curve =
        InversionMethod::syntheticCurve(times, 100.0, InversionMethod::kNominalLineCurrent);
    QVector<QVector<double> > curves(4, curve);
    QVector<GPSCoordinate> coords;
    for (int i = 0; i < 4; ++i)
        coords << coord(3.0f, 100.0f + 20.0f * i, 5000.0f + i, 7000.0f - i, 250.0f + i);

    InversionMethod inv;
    const QList<DataType_ThreeResultData> r =
        inv.shapedProfile_LineCalc(curves, times, coords, 300.0, 2.0, 100.0);
    QCOMPARE(r.size(), 4);

    // The line's curves are read as taken with the nominal current, so the
    // point inversion with that current gives the same column.
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, InversionMethod::kNominalLineCurrent, values, depths, 300.0, 2.0);
    QVector<double> apparent;
    QVector<double> gateDepths;
    InversionMethod::apparentResistivity(curve, times, InversionMethod::kNominalLineCurrent,
                                         apparent, gateDepths);
    for (int i = 0; i < 4; ++i) {
        const QString problem = shapeProblem(r[i].value, r[i].z);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(r[i].station, 100.0 + 20.0 * i);
        QCOMPARE(r[i].x, 5000.0 + i);
        QCOMPARE(r[i].y, 7000.0 - i);
        QCOMPARE(r[i].z, depths);  // relative to the ground, not the elevation
        HW_COMPARE_VECTORS(r[i].value, values, 1e-9, 0.0);
        int inReach = 0;
        QVERIFY(worstInReach(r[i].value, r[i].z, gateDepths.first(), gateDepths.last(), 100.0,
                             inReach) < 0.02);
        QVERIFY(inReach >= 10);
    }
}

void TestInversionMethod::profileLateralSmoothing()
{
    const QVector<double> times = gateTimes();
    const double I = InversionMethod::kNominalLineCurrent;
    const QVector<double> c100 = InversionMethod::syntheticCurve(times, 100.0, I);
    const QVector<double> c20 = InversionMethod::syntheticCurve(times, 20.0, I);
    const QVector<QVector<double> > curves{c100, c100, c20, c100, c100};
    // The depth where every station has data.
    QVector<double> rho;
    QVector<double> d20;
    InversionMethod::apparentResistivity(c20, times, I, rho, d20);
    const double probe = std::sqrt(d20.first() * d20.last());

    InversionMethod inv;
    const auto none = inv.shapedProfile_LineCalc(curves, times, {}, 100.0, 0.0, 100.0);
    const auto some = inv.shapedProfile_LineCalc(curves, times, {}, 100.0, 1.0, 100.0);
    const auto more = inv.shapedProfile_LineCalc(curves, times, {}, 100.0, 3.0, 100.0);
    QCOMPARE(none.size(), 5);
    QCOMPARE(some.size(), 5);

    auto at = [probe](const DataType_ThreeResultData& r) {
        return valueAtDepth(r.value, r.z, probe);
    };
    HW_COMPARE_NEAR(at(none[2]), 20.0, 0.02);
    HW_COMPARE_NEAR(at(none[1]), 100.0, 0.02);
    // The outlier is drawn toward its neighbours and they toward it, more so
    // with a larger constraint; stations two away keep their values.
    QVERIFY(at(some[2]) > 25.0 && at(some[2]) < at(more[2]) && at(more[2]) < 100.0);
    QVERIFY(at(some[1]) < 95.0 && at(more[1]) < at(some[1]) && at(more[1]) > 20.0);
    QVERIFY(std::fabs(at(some[1]) - at(some[3])) < 1e-9);
    HW_COMPARE_NEAR(at(more[0]), 100.0, 0.02);
    HW_COMPARE_NEAR(at(more[4]), 100.0, 0.02);
}

void TestInversionMethod::profileStationWithoutData()
{
    const QVector<double> times = gateTimes();
    const QVector<double> c100 =
        InversionMethod::syntheticCurve(times, 100.0, InversionMethod::kNominalLineCurrent);
    const QVector<double> dead(times.size(), kNaN);
    InversionMethod inv;
    const auto r = inv.shapedProfile_LineCalc({c100, dead, c100}, times, {}, 30.0, 3.0, 100.0);
    QCOMPARE(r.size(), 3);
    for (const auto& col : r) {
        const QString problem = shapeProblem(col.value, col.z);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    // The dead station is the reference half-space and pulls on nobody.
    for (double v : r[1].value)
        HW_COMPARE_NEAR(v, 30.0, 1e-12);
    HW_COMPARE_VECTORS(r[0].value, r[2].value, 1e-12, 0.0);
    QVector<double> apparent;
    QVector<double> gateDepths;
    InversionMethod::apparentResistivity(c100, times, InversionMethod::kNominalLineCurrent,
                                         apparent, gateDepths);
    int inReach = 0;
    QVERIFY(worstInReach(r[0].value, r[0].z, gateDepths.first(), gateDepths.last(), 100.0,
                         inReach) < 0.02);
}

void TestInversionMethod::profileEdgeInput()
{
    InversionMethod inv;
    QVERIFY(inv.shapedProfile_LineCalc({}, gateTimes(), {}, 100.0, 1.0, 100.0).isEmpty());

    // Ragged rows, no times, fewer coordinates than stations.
    const QVector<double> times = gateTimes();
    const QVector<double> full =
        InversionMethod::syntheticCurve(times, 50.0, InversionMethod::kNominalLineCurrent);
    const QVector<double> shortRow = full.mid(0, 10);
    const QVector<QVector<double> > curves{full, shortRow, QVector<double>()};
    const QVector<GPSCoordinate> coords{coord(1.0f, 40.0f, 1.0f, 2.0f, 3.0f)};
    for (const QVector<double>& t : {times, QVector<double>()}) {
        const auto r = inv.shapedProfile_LineCalc(curves, t, coords, 100.0, 1.0, 100.0);
        QCOMPARE(r.size(), 3);
        for (const auto& col : r) {
            const QString problem = shapeProblem(col.value, col.z);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QCOMPARE(r[0].station, 40.0);
        QCOMPARE(r[1].station, 1.0);
        QCOMPARE(r[2].station, 2.0);
    }
}

void TestInversionMethod::lateralSmoothingOnEvenSpacingIsUnchanged()
{
    // Layers 20, 30, ... 70 of each station as the smoothing by list
    // position gave them (weight kLateralWeight x constraint per neighbour):
    // on an even spacing the smoothing by distance must keep them.
    const QVector<QVector<double> > profileBefore{
        {100.00000000000004, 100.00000000000004, 100.00000000000004, 99.999999999999872, 100.00000000000004, 99.999999999999957},
        {70.830566185983898, 70.830566185983827, 70.830566185983898, 70.83056618598377, 71.120177255947027, 96.111692350137929},
        {39.864706312773762, 39.864706312773762, 39.864706312773762, 39.864706312773748, 40.300850763791274, 89.964243393171202},
        {70.830566185983898, 70.830566185983827, 70.830566185983898, 70.83056618598377, 71.120177255947027, 96.111692350137929},
        {100.00000000000004, 100.00000000000004, 100.00000000000004, 99.999999999999872, 100.00000000000004, 99.999999999999957}};
    const QVector<QVector<double> > volumeBefore{
        {50.169691062270452, 50.169691062270381, 50.169691062270452, 50.169691062270338, 50.580796129173279, 92.374574064075588},
        {46.889212529330898, 46.889212529330898, 46.889212529330898, 46.889212529330862, 47.311274456579262, 91.659026005374443},
        {50.169691062270452, 50.169691062270381, 50.169691062270452, 50.169691062270338, 50.580796129173279, 92.374574064075588},
        {39.864706312773762, 39.864706312773762, 39.864706312773762, 39.864706312773748, 40.300850763791274, 89.964243393171202},
        {42.653734027819958, 42.653734027819915, 42.653734027819958, 42.65373402781988, 43.085905838076428, 90.666560911892361},
        {39.864706312773762, 39.864706312773762, 39.864706312773762, 39.864706312773748, 40.300850763791274, 89.964243393171202}};
    auto probe = [](const QVector<double>& values) {
        QVector<double> v;
        for (int j = 20; j < values.size(); j += 10)
            v << values[j];
        return v;
    };

    const QVector<double> times = gateTimes();
    const double I = InversionMethod::kNominalLineCurrent;
    const QVector<double> c100 = InversionMethod::syntheticCurve(times, 100.0, I);
    const QVector<double> c20 = InversionMethod::syntheticCurve(times, 20.0, I);
    QVector<GPSCoordinate> coords;
    for (int i = 0; i < 5; ++i)
        coords << coord(1.0f, 40.0f + 25.0f * i, 1000.0f + 25.0f * i, 0.0f, 0.0f);
    InversionMethod inv;
    const auto profile = inv.shapedProfile_LineCalc({c100, c100, c20, c100, c100}, times, coords, 100.0, 1.5, 100.0);
    QCOMPARE(profile.size(), 5);
    for (int i = 0; i < 5; ++i)
        HW_COMPARE_VECTORS(probe(profile[i].value), profileBefore[i], 1e-12, 0.0);

    QVector<QVector<GPSCoordinate> > lines(2);
    for (int l = 0; l < 2; ++l) {
        for (int i = 0; i < 3; ++i)
            lines[l] << coord(float(l), 10.0f * i, 10.0f * i, 40.0f * l, 0.0f);
    }
    const auto volume = inv.Three_Dimensional_Calc({{c100, c20, c100}, {c20, c100, c20}}, {times, times}, lines,
                                                   100.0, 1.5, 100.0);
    QCOMPARE(volume.size(), 6);
    for (int i = 0; i < 6; ++i)
        HW_COMPARE_VECTORS(probe(volume[i].value), volumeBefore[i], 1e-12, 0.0);
}

void TestInversionMethod::profileSmoothingByDistance()
{
    // An outlier at 20 m with one neighbour 10 m away and one 500 m away.
    const QVector<double> times = gateTimes();
    const double I = InversionMethod::kNominalLineCurrent;
    const QVector<double> c100 = InversionMethod::syntheticCurve(times, 100.0, I);
    const QVector<double> c20 = InversionMethod::syntheticCurve(times, 20.0, I);
    const QVector<QVector<double> > curves{c100, c100, c20, c100};
    QVector<double> rho;
    QVector<double> d20;
    InversionMethod::apparentResistivity(c20, times, I, rho, d20);
    const double probe = std::sqrt(d20.first() * d20.last());
    auto at = [probe](const DataType_ThreeResultData& r) { return valueAtDepth(r.value, r.z, probe); };

    QVector<GPSCoordinate> even;
    QVector<GPSCoordinate> uneven;
    const float unevenAt[] = {0.0f, 10.0f, 20.0f, 520.0f};
    for (int i = 0; i < 4; ++i) {
        even << coord(1.0f, 10.0f * i, 10.0f * i, 0.0f, 0.0f);
        uneven << coord(1.0f, unevenAt[i], unevenAt[i], 0.0f, 0.0f);
    }
    InversionMethod inv;
    const auto a = inv.shapedProfile_LineCalc(curves, times, even, 100.0, 2.0, 100.0);
    const auto b = inv.shapedProfile_LineCalc(curves, times, uneven, 100.0, 2.0, 100.0);
    // The far station barely feels the outlier, nor the outlier it.
    QVERIFY2(at(a[3]) < 90.0, qPrintable(QString::number(at(a[3]))));
    HW_COMPARE_NEAR(at(b[3]), 100.0, 0.02);
    QVERIFY2(at(b[2]) < at(a[2]) - 5.0, qPrintable(QString("%1 vs %2").arg(at(b[2])).arg(at(a[2]))));
    // The near neighbour keeps its full weight.
    HW_COMPARE_NEAR(at(b[1]), at(a[1]), 1e-9);
    // Doubling every distance changes nothing.
    QVector<GPSCoordinate> stretched = uneven;
    for (GPSCoordinate& c : stretched)
        c.pointNo *= 2.0f;
    const auto c = inv.shapedProfile_LineCalc(curves, times, stretched, 100.0, 2.0, 100.0);
    for (int i = 0; i < 4; ++i)
        HW_COMPARE_VECTORS(c[i].value, b[i].value, 1e-12, 0.0);
}

void TestInversionMethod::threeDimensionalSmoothingByDistance()
{
    // Three lines: 0 and 1 are 40 m apart, line 2 lies 400 m beyond line 1;
    // along line 0 the last station stands 300 m off.
    const QVector<double> times = gateTimes();
    const double I = InversionMethod::kNominalLineCurrent;
    const QVector<double> c100 = InversionMethod::syntheticCurve(times, 100.0, I);
    const QVector<double> c20 = InversionMethod::syntheticCurve(times, 20.0, I);
    auto survey = [](float farLine) {
        QVector<QVector<GPSCoordinate> > coords(3);
        const float ys[] = {0.0f, 40.0f, farLine};
        for (int l = 0; l < 3; ++l) {
            for (int i = 0; i < 3; ++i)
                coords[l] << coord(float(l), 10.0f * i, 10.0f * i, ys[l], 0.0f);
        }
        coords[0][2].x = 320.0f;
        return coords;
    };
    const QVector<QVector<QVector<double> > > curves{{c100, c20, c100}, {c100, c100, c100}, {c20, c20, c20}};
    InversionMethod inv;
    const auto r = inv.Three_Dimensional_Calc(curves, {times, times, times}, survey(440.0f), 100.0, 2.0, 100.0);
    const auto near = inv.Three_Dimensional_Calc(curves, {times, times, times}, survey(80.0f), 100.0, 2.0, 100.0);
    QCOMPARE(r.size(), 9);
    const double probe = -60.0;
    auto at = [&r, probe](int i) { return valueAtDepth(r[i].value, r[i].z, probe); };
    auto atNear = [&near, probe](int i) { return valueAtDepth(near[i].value, near[i].z, probe); };
    // The far station on line 0 hardly feels the outlier next to it in the
    // list; the near one does.
    QVERIFY2(at(0) < 90.0, qPrintable(QString::number(at(0))));
    QVERIFY2(at(2) > at(0) + 5.0, qPrintable(QString("%1 vs %2").arg(at(2)).arg(at(0))));
    // Line 1 is pulled by line 0's outlier 40 m away, so its middle station
    // is lower than its ends; the 20 ohm-m line pulls it less from 400 m
    // than from 40 m.
    QVERIFY2(at(4) < at(3) - 5.0, qPrintable(QString("%1 vs %2").arg(at(4)).arg(at(3))));
    QVERIFY2(at(3) > atNear(3) + 5.0, qPrintable(QString("%1 vs %2").arg(at(3)).arg(atNear(3))));
}

void TestInversionMethod::threeDimensionalRecords()
{
    const QVector<double> times = gateTimes();
    const double I = InversionMethod::kNominalLineCurrent;
    const QVector<double> c = InversionMethod::syntheticCurve(times, 100.0, I);
    QVector<QVector<QVector<double> > > curves{{c, c, c}, {c, c}};
    QVector<QVector<double> > lineTimes{times, times};
    QVector<QVector<GPSCoordinate> > coords{
        {coord(1, 10, 0, 0, 200), coord(1, 20, 10, 0, 210), coord(1, 30, 20, 0, 100000)},
        {coord(2, 10, 0, 50, 100000), coord(2, 20, 10, 50, 100000)}};

    InversionMethod inv;
    const auto r = inv.Three_Dimensional_Calc(curves, lineTimes, coords, 100.0, 2.0, 100.0);
    QCOMPARE(r.size(), 5);
    const QVector<double> ladder = InversionMethod::defaultLadder();
    const double elevation[] = {200.0, 210.0, 205.0, 205.0, 205.0};
    const double stations[] = {10, 20, 30, 10, 20};
    const double ys[] = {0, 0, 0, 50, 50};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(r[i].z.size(), r[i].value.size());
        QVERIFY(!r[i].z.isEmpty());
        QCOMPARE(r[i].station, stations[i]);
        QCOMPARE(r[i].y, ys[i]);
        // Absolute elevations: the station's elevation (a missing one from
        // the line, else from the survey) plus the depth.
        HW_COMPARE_NEAR(r[i].z[0], elevation[i] + ladder[0], 1e-12);
        for (int j = 1; j < r[i].z.size(); ++j)
            QVERIFY(r[i].z[j] < r[i].z[j - 1]);
        HW_COMPARE_NEAR(valueAtDepth(r[i].value, r[i].z, elevation[i] - 100.0), 100.0, 0.02);
    }
}

void TestInversionMethod::threeDimensionalCrossLineSmoothing()
{
    const QVector<double> times = gateTimes();
    const double I = InversionMethod::kNominalLineCurrent;
    const QVector<double> c100 = InversionMethod::syntheticCurve(times, 100.0, I);
    const QVector<double> c20 = InversionMethod::syntheticCurve(times, 20.0, I);
    QVector<QVector<QVector<double> > > curves{{c100, c100, c100}, {c20, c20, c20}};
    QVector<QVector<double> > lineTimes{times, times};
    QVector<QVector<GPSCoordinate> > coords{
        {coord(1, 1, 0, 0, 0), coord(1, 2, 10, 0, 0), coord(1, 3, 20, 0, 0)},
        {coord(2, 1, 0, 50, 0), coord(2, 2, 10, 50, 0), coord(2, 3, 20, 50, 0)}};

    InversionMethod inv;
    const auto apart = inv.Three_Dimensional_Calc(curves, lineTimes, coords, 100.0, 0.0, 100.0);
    const auto joined = inv.Three_Dimensional_Calc(curves, lineTimes, coords, 100.0, 2.0, 100.0);
    QCOMPARE(apart.size(), 6);
    QCOMPARE(joined.size(), 6);
    const double probe = -60.0;
    for (int i = 0; i < 3; ++i) {
        HW_COMPARE_NEAR(valueAtDepth(apart[i].value, apart[i].z, probe), 100.0, 0.02);
        HW_COMPARE_NEAR(valueAtDepth(apart[i + 3].value, apart[i + 3].z, probe), 20.0, 0.02);
        const double a = valueAtDepth(joined[i].value, joined[i].z, probe);
        const double b = valueAtDepth(joined[i + 3].value, joined[i + 3].z, probe);
        QVERIFY2(a < 90.0 && a > 20.0, qPrintable(QString::number(a)));
        QVERIFY2(b > 22.0 && b < 100.0, qPrintable(QString::number(b)));
    }
}

void TestInversionMethod::threeDimensionalEdgeInput()
{
    InversionMethod inv;
    QVERIFY(inv.Three_Dimensional_Calc({}, {}, {}, 100.0, 1.0, 100.0).isEmpty());
    QVERIFY(inv.Three_Dimensional_Calc({{}, {}}, {{}, {}}, {{}, {}}, 100.0, 1.0, 100.0).isEmpty());

    // The second line has no times and no coordinates; the first fewer
    // coordinates than stations.
    const QVector<double> times = gateTimes();
    const QVector<double> c =
        InversionMethod::syntheticCurve(times, 100.0, InversionMethod::kNominalLineCurrent);
    QVector<QVector<QVector<double> > > curves{{c, c}, {c}};
    QVector<QVector<double> > lineTimes{times};
    QVector<QVector<GPSCoordinate> > coords{{coord(1, 5, 0, 0, 10)}};
    const auto r = inv.Three_Dimensional_Calc(curves, lineTimes, coords, 40.0, 1.0, 100.0);
    QCOMPARE(r.size(), 3);
    for (const auto& col : r) {
        QCOMPARE(col.z.size(), col.value.size());
        QVERIFY(!col.z.isEmpty());
    }
    QCOMPARE(r[0].station, 5.0);
    QCOMPARE(r[1].station, 1.0);
    QCOMPARE(r[2].station, 0.0);
    for (double v : r[2].value)
        HW_COMPARE_NEAR(v, 40.0, 1e-12);
}

QTEST_GUILESS_MAIN(TestInversionMethod)
#include "tst_inversionmethod.moc"
