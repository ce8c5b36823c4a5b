#include <QtTest>

#include <cmath>
#include <limits>

#include "common/TestHelpers.h"
#include "model/Data_Mathematical_Calc.h"

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

enum Method { BSpline = 0, Gaussian = 1, Exponential = 2 };

void fit(int method, QVector<double> &times, QVector<double> &values)
{
    Data_Mathematical_Calc calc(nullptr);
    switch (method) {
    case BSpline: calc.bsplineFit(times, values); break;
    case Gaussian: calc.gaussianFit(times, values); break;
    case Exponential: calc.exponentialFit(times, values); break;
    default: QFAIL("unknown method");
    }
}

// The log-log model of each method with parameters p, at x = log10(time).
double model(int method, const QVector<double> &p, double x)
{
    switch (method) {
    case Exponential: return p[0] * std::exp(-p[1] * x) + p[2];
    case Gaussian: {
        const double z = (x - p[1]) / p[2];
        return p[0] * std::exp(-0.5 * z * z);
    }
    default:   // polynomials up to cubic lie in the cubic B-spline space
        return p[0] + p[1] * x + p[2] * x * x + p[3] * x * x * x;
    }
}

// Gate times in us, evenly spaced in log10 from 10^lo to 10^hi.
QVector<double> logTimes(int n, double lo, double hi)
{
    QVector<double> t;
    for (int i = 0; i < n; ++i)
        t << std::pow(10.0, lo + (hi - lo) * i / (n - 1));
    return t;
}

QVector<double> curveOf(int method, const QVector<double> &p, const QVector<double> &times)
{
    QVector<double> v;
    for (double t : times)
        v << std::pow(10.0, model(method, p, std::log10(t)));
    return v;
}

// A plausible decay in volts: t^-1/2 early, t^-5/2 late.
QVector<double> decay(const QVector<double> &times)
{
    QVector<double> v;
    for (double t : times) {
        const double s = t * 1e-6;
        v << 1e-4 * std::pow(s / 1e-5, -0.5) / (1.0 + std::pow(s / 1e-4, 2.0));
    }
    return v;
}

bool sameValues(const QVector<double> &a, const QVector<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))))
            return false;
    }
    return true;
}

} // namespace

class TestFitting : public QObject
{
    Q_OBJECT

private slots:
    void reproducesItsOwnModel_data();
    void reproducesItsOwnModel();
    void smoothsARealisticDecay_data();
    void smoothsARealisticDecay();
    void badInputKeepsLengthTimesAndFiniteness_data();
    void badInputKeepsLengthTimesAndFiniteness();
    void tooFewUsablePointsLeaveTheCurve_data();
    void tooFewUsablePointsLeaveTheCurve();
    void unusablePointInsideTheSpanGetsTheCurve_data();
    void unusablePointInsideTheSpanGetsTheCurve();
    void bsplineLeavesTimesOutsideItsKnots();
};

void TestFitting::reproducesItsOwnModel_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QVector<double>>("params");
    QTest::addColumn<double>("tolerance");

    QTest::newRow("exponential flattening") << int(Exponential) << QVector<double>{3, 0.7, -7} << 1e-7;
    QTest::newRow("exponential steep") << int(Exponential) << QVector<double>{10, 1.2, -9} << 1e-7;
    QTest::newRow("exponential steepening") << int(Exponential) << QVector<double>{-0.5, -0.6, -3} << 1e-7;
    QTest::newRow("gaussian positive peak") << int(Gaussian) << QVector<double>{2, 2.5, 1.5} << 1e-7;
    QTest::newRow("gaussian negative, volts") << int(Gaussian) << QVector<double>{-6, 0, 5} << 1e-7;
    QTest::newRow("gaussian narrow") << int(Gaussian) << QVector<double>{-3, 2.5, 0.8} << 1e-7;
    QTest::newRow("bspline line") << int(BSpline) << QVector<double>{-2, -1.5, 0, 0} << 1e-9;
    QTest::newRow("bspline cubic") << int(BSpline) << QVector<double>{-1, -1.2, 0.05, -0.02} << 1e-9;
}

void TestFitting::reproducesItsOwnModel()
{
    QFETCH(int, method);
    QFETCH(QVector<double>, params);
    QFETCH(double, tolerance);

    // 10 us to 10 ms: log10 from 1 to 4, so for the B-spline every basis
    // function living outside [1, 4] has a zero column and must not matter.
    QVector<double> times = logTimes(30, 1.0, 4.0);
    const QVector<double> timesBefore = times;
    const QVector<double> expected = curveOf(method, params, times);
    QVector<double> values = expected;

    fit(method, times, values);
    QCOMPARE(times, timesBefore);
    HW_COMPARE_VECTORS(values, expected, tolerance, 0.0);
}

void TestFitting::smoothsARealisticDecay_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<double>("maxDecades");

    // How closely each model can follow a real decay in log-log space.
    QTest::newRow("bspline") << int(BSpline) << 0.05;
    QTest::newRow("gaussian") << int(Gaussian) << 0.5;
    QTest::newRow("exponential") << int(Exponential) << 0.5;
}

void TestFitting::smoothsARealisticDecay()
{
    QFETCH(int, method);
    QFETCH(double, maxDecades);

    QVector<double> times = logTimes(30, 1.0, 4.0);
    const QVector<double> measured = decay(times);
    QVector<double> values = measured;
    fit(method, times, values);
    QCOMPARE(values.size(), measured.size());
    for (int i = 0; i < values.size(); ++i) {
        QVERIFY(std::isfinite(values[i]) && values[i] > 0.0);
        QVERIFY2(std::fabs(std::log10(values[i] / measured[i])) < maxDecades,
                 qPrintable(QString("gate %1: %2 vs %3").arg(i).arg(values[i]).arg(measured[i])));
    }
    QVERIFY(!sameValues(values, measured));
}

void TestFitting::badInputKeepsLengthTimesAndFiniteness_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<QVector<double>>("values");

    const QVector<double> t = logTimes(20, 1.0, 4.0);
    QVector<double> withNaN = decay(t);
    withNaN[3] = NaN;
    withNaN[19] = NaN;
    QVector<double> withZerosAndNegatives = decay(t);
    withZerosAndNegatives[0] = 0.0;
    withZerosAndNegatives[7] = -1e-6;
    withZerosAndNegatives[8] = 0.0;
    QVector<double> withOnes = decay(t);
    withOnes[5] = 1.0;          // log10 = 0: an infinite weight as written
    withOnes[6] = 1.0;
    QVector<double> badTimes = t;
    badTimes[0] = 0.0;
    badTimes[1] = -5.0;
    badTimes[10] = NaN;
    QVector<double> duplicated = t;
    for (int i = 0; i < 10; ++i)
        duplicated[i] = t[0];
    QVector<double> infinite = decay(t);
    infinite[4] = INFINITY;

    for (int m : {int(BSpline), int(Gaussian), int(Exponential)}) {
        const QByteArray name = m == BSpline ? "bspline" : m == Gaussian ? "gaussian" : "exponential";
        QTest::newRow(name + ", empty") << m << QVector<double>() << QVector<double>();
        QTest::newRow(name + ", one point") << m << QVector<double>{100} << QVector<double>{1e-5};
        QTest::newRow(name + ", two points") << m << QVector<double>{100, 1000}
                                             << QVector<double>{1e-5, 1e-7};
        QTest::newRow(name + ", NaN values") << m << t << withNaN;
        QTest::newRow(name + ", zeros and negatives") << m << t << withZerosAndNegatives;
        QTest::newRow(name + ", values of exactly 1") << m << t << withOnes;
        QTest::newRow(name + ", zero, negative and NaN times") << m << badTimes << decay(t);
        QTest::newRow(name + ", half the times equal") << m << duplicated << decay(t);
        QTest::newRow(name + ", infinite value") << m << t << infinite;
        QTest::newRow(name + ", all zero") << m << t << QVector<double>(t.size(), 0.0);
        QTest::newRow(name + ", times longer than values") << m << t << decay(t).mid(0, 15);
        QTest::newRow(name + ", values longer than times") << m << t.mid(0, 15) << decay(t);
    }
}

void TestFitting::badInputKeepsLengthTimesAndFiniteness()
{
    QFETCH(int, method);
    QFETCH(QVector<double>, times);
    QFETCH(QVector<double>, values);

    const QVector<double> timesBefore = times;
    const QVector<double> valuesBefore = values;
    fit(method, times, values);

    QVERIFY(sameValues(times, timesBefore));
    QCOMPARE(values.size(), valuesBefore.size());
    for (int i = 0; i < values.size(); ++i) {
        // A value that was a usable number stays one; nothing turns into NaN.
        if (std::isfinite(valuesBefore[i]))
            QVERIFY2(std::isfinite(values[i]), qPrintable(QString("index %1").arg(i)));
        if (valuesBefore[i] > 0.0 && std::isfinite(valuesBefore[i]))
            QVERIFY2(values[i] > 0.0, qPrintable(QString("index %1").arg(i)));
    }
    // Entries beyond the shorter vector are not touched.
    const int common = std::min(times.size(), values.size());
    for (int i = common; i < values.size(); ++i)
        QCOMPARE(values[i], valuesBefore[i]);
}

void TestFitting::tooFewUsablePointsLeaveTheCurve_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<QVector<double>>("values");

    const QVector<double> t11 = logTimes(11, 1.0, 4.0);
    QTest::newRow("exponential, 2 points") << int(Exponential) << QVector<double>{10, 100}
                                           << QVector<double>{1e-3, 1e-5};
    QTest::newRow("gaussian, 2 points") << int(Gaussian) << QVector<double>{10, 100}
                                        << QVector<double>{1e-3, 1e-5};
    QTest::newRow("exponential, 5 points on 2 times")
        << int(Exponential) << QVector<double>{10, 10, 10, 100, 100}
        << QVector<double>{1e-3, 2e-3, 3e-3, 1e-5, 2e-5};
    QTest::newRow("gaussian, 3 points but one NaN")
        << int(Gaussian) << QVector<double>{10, 100, 1000} << QVector<double>{1e-3, NaN, 1e-7};
    QTest::newRow("bspline, 11 points") << int(BSpline) << t11 << decay(t11);
    QVector<double> t20 = logTimes(20, 1.0, 4.0);
    QVector<double> v20 = decay(t20);
    for (int i = 0; i < 10; ++i)
        v20[i] = -v20[i];
    QTest::newRow("bspline, 10 of 20 negative") << int(BSpline) << t20 << v20;
}

void TestFitting::tooFewUsablePointsLeaveTheCurve()
{
    QFETCH(int, method);
    QFETCH(QVector<double>, times);
    QFETCH(QVector<double>, values);

    const QVector<double> before = values;
    fit(method, times, values);
    QVERIFY(sameValues(values, before));
}

void TestFitting::unusablePointInsideTheSpanGetsTheCurve_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QVector<double>>("params");

    QTest::newRow("bspline") << int(BSpline) << QVector<double>{-2, -1.5, 0.1, 0};
    QTest::newRow("gaussian") << int(Gaussian) << QVector<double>{-6, 0, 5};
    QTest::newRow("exponential") << int(Exponential) << QVector<double>{3, 0.7, -7};
}

void TestFitting::unusablePointInsideTheSpanGetsTheCurve()
{
    QFETCH(int, method);
    QFETCH(QVector<double>, params);

    QVector<double> times = logTimes(25, 1.0, 4.0);
    const QVector<double> expected = curveOf(method, params, times);
    QVector<double> values = expected;
    values[10] = NaN;    // inside the usable span: filled from the fit
    values[12] = -1.0;   // likewise
    values[24] = 0.0;    // beyond the last usable time: kept
    fit(method, times, values);

    HW_COMPARE_NEAR(values[10], expected[10], 1e-6);
    HW_COMPARE_NEAR(values[12], expected[12], 1e-6);
    QCOMPARE(values[24], 0.0);
    HW_COMPARE_NEAR(values[0], expected[0], 1e-6);
}

void TestFitting::bsplineLeavesTimesOutsideItsKnots()
{
    // The knots cover log10(time) in [0, 15]; times below 1 us cannot be
    // evaluated and keep their values, the rest is fitted.
    const QVector<double> params{-2, -1.5, 0, 0};
    QVector<double> times{0.1, 0.5};
    times += logTimes(20, 0.5, 3.0);
    const QVector<double> expected = curveOf(BSpline, params, times);
    QVector<double> values = expected;
    values[0] = 123.0;
    values[1] = 456.0;
    fit(BSpline, times, values);
    QCOMPARE(values[0], 123.0);
    QCOMPARE(values[1], 456.0);
    HW_COMPARE_VECTORS(values.mid(2), expected.mid(2), 1e-9, 0.0);
}

QTEST_APPLESS_MAIN(TestFitting)
#include "tst_fitting.moc"
