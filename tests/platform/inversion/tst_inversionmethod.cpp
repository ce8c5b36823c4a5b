#include <QtTest>

#include <gsl/gsl_errno.h>

#include <cmath>
#include <limits>
#include <random>

#include "common/TestHelpers.h"
#include "platform/inversion/InversionMethod.h"
#include "platform/inversion/LayeredEarthResponse.h"
#include "platform/inversion/LayeredInversion.h"
#include "tools/projectgen/CentralLoopResponse.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
// The set-up the curves are made for: the library's default loop and
// receiver, and the line calls' current.
const double kRadius = InversionMethod::kLoopRadius;
const double kArea = InversionMethod::kReceiverArea;
const double kCurrent = InversionMethod::kNominalLineCurrent;

// 44 gates from 162 us to 18.5 ms, as a survey's time window gives them.
QVector<double> gateTimes()
{
    QVector<double> t;
    for (int i = 0; i < 44; ++i)
        t << 162.0 * std::pow(18500.0 / 162.0, i / 43.0);
    return t;
}

} // namespace

struct Earth {
    QVector<double> rho;        // ohm-m, top first
    QVector<double> thickness;  // m
};
Q_DECLARE_METATYPE(Earth)

namespace {

// The layered earths the inversion is tried on: the depth of each one's
// main interface, the resistivities on either side of it, and how closely
// the smoothest model that fits finds it. A resistor under a conductor is
// what central-loop data resolve least: that model puts its top about a
// quarter deep.
struct LayeredEarthCase {
    const char* name;
    Earth earth;
    double interface;
    double above;
    double below;
    double tolerance;
};

const QVector<LayeredEarthCase>& layeredEarths()
{
    static const QVector<LayeredEarthCase> earths{
        {"conductor under resistor", {{100, 10}, {50}}, 50, 100, 10, 0.2},
        {"resistor under conductor", {{10, 100}, {50}}, 50, 10, 100, 0.2},
        {"buried conductive layer", {{100, 10, 100}, {50, 40}}, 50, 100, 10, 0.22},
        {"conductive basement under a resistive cover", {{1000, 1}, {100}}, 100, 1000, 1, 0.2},
        {"resistive basement", {{30, 300}, {80}}, 80, 30, 300, 0.3},
        {"three layers down to a conductor", {{500, 50, 5}, {60, 100}}, 160, 50, 5, 0.2},
        {"five layers", {{50, 5, 50, 500, 50}, {30, 30, 100, 200}}, 30, 50, 5, 0.2},
    };
    return earths;
}

// Received voltages (V) over the earth, by the generator's own forward:
// independent of the library's.
QVector<double> curveOver(const Earth& e, const QVector<double>& timesUs, double current = kCurrent,
                          double radius = kRadius, double area = kArea)
{
    const CentralLoopResponse forward(e.rho, e.thickness, radius, 1e-4, 2e-2);
    QVector<double> v(timesUs.size());
    for (int i = 0; i < timesUs.size(); ++i)
        v[i] = -area * current * forward.dBzDt(timesUs[i] * 1e-6);
    return v;
}

// Multiplies each value by 1 + noise * N(0, 1), the same draw for a seed.
QVector<double> withNoise(QVector<double> v, double noise, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    for (double& x : v)
        x *= 1.0 + noise * normal(random);
    return v;
}

// RMS and largest relative difference between the model's response, by
// the generator's forward, and the curve.
void misfitOf(const QVector<double>& values, const QVector<double>& depths, const QVector<double>& curve,
              const QVector<double>& timesUs, double& rms, double& worst, double radius = kRadius)
{
    Earth model;
    model.rho = values;
    for (int j = 0; j + 1 < depths.size(); ++j)
        model.thickness << -depths[j] + (j > 0 ? depths[j - 1] : 0.0);
    const QVector<double> response = curveOver(model, timesUs, kCurrent, radius);
    double sum = 0.0;
    worst = 0.0;
    for (int i = 0; i < curve.size(); ++i) {
        const double r = response[i] / curve[i] - 1.0;
        sum += r * r;
        worst = std::max(worst, std::fabs(r));
    }
    rms = std::sqrt(sum / curve.size());
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

// The model's resistivity at a depth (m below the first level): the layer
// reaching down to it.
double valueAtDepth(const QVector<double>& values, const QVector<double>& depths, double depth)
{
    const double z = depths.first() + 1.0 - depth;
    for (int j = 0; j < depths.size(); ++j)
        if (depths[j] <= z)
            return values[j];
    return values.last();
}

// Geometric mean of the model between two depths.
double meanBetween(const QVector<double>& values, const QVector<double>& depths, double from, double to)
{
    double sum = 0.0;
    int count = 0;
    for (double d = from; d <= to; d += 1.0) {
        sum += std::log(valueAtDepth(values, depths, d));
        ++count;
    }
    return std::exp(sum / count);
}

// The depth at which the model first crosses between two resistivities
// (their geometric mean) going down; -1 when it never does.
double crossing(const QVector<double>& values, const QVector<double>& depths, double above, double below)
{
    const double level = std::sqrt(above * below);
    for (double d = 1.0; d < 3000.0; d += 1.0) {
        const double v = valueAtDepth(values, depths, d);
        if ((below < above) ? v < level : v > level)
            return d;
    }
    return -1.0;
}

// The model's curve by the library's own forward (checked against the
// generator's elsewhere): fast enough for many models.
QVector<double> libraryCurve(const QVector<double>& values, const QVector<double>& depths,
                             const QVector<double>& timesUs)
{
    QVector<double> thickness;
    for (int j = 0; j + 1 < depths.size(); ++j)
        thickness << -depths[j] + (j > 0 ? depths[j - 1] : 0.0);
    QVector<double> seconds;
    for (double t : timesUs)
        seconds << t * 1e-6;
    QVector<double> v = LayeredEarthResponse(seconds, kRadius).dBzDt(values, thickness);
    for (double& x : v)
        x *= -kArea * kCurrent;
    return v;
}

// RMS of a / b - 1.
double rmsRelative(const QVector<double>& a, const QVector<double>& b)
{
    double sum = 0.0;
    for (int i = 0; i < a.size(); ++i)
        sum += std::pow(a[i] / b[i] - 1.0, 2);
    return std::sqrt(sum / a.size());
}

// Sum of the squared steps of ln rho within the reach of the gates (the
// levels down to 500 m).
double roughness(const QVector<double>& values, const QVector<double>& depths)
{
    double sum = 0.0;
    for (int j = 1; j < values.size() && depths[j] > -500.0; ++j)
        sum += std::pow(std::log(values[j] / values[j - 1]), 2);
    return sum;
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

    void layeredEarthsAreExplained_data();
    void layeredEarthsAreExplained();
    void halfSpaceStaysUniform_data();
    void halfSpaceStaysUniform();
    void constraintKeepsItsMeaning_data();
    void constraintKeepsItsMeaning();
    void largerConstraintSmooths();
    void knownNoiseIsFittedToItsLevel_data();
    void knownNoiseIsFittedToItsLevel();
    void gateErrorsFollowTheScatter_data();
    void gateErrorsFollowTheScatter();
    void surveyLoopIsInverted_data();
    void surveyLoopIsInverted();
    void coilsGiveTheSurvey();

    void badInputGivesNoModel_data();
    void badInputGivesNoModel();
    void unfittableCurvesGiveFiniteModels_data();
    void unfittableCurvesGiveFiniteModels();
    void unusableReferenceIsReplaced();

    void profileRecords();
    void profileKeepsAUniformEarthUniform();
    void profileFollowsAConductiveZone();
    void profileNeighboursPullByTheirDistance();
    void profileConstraintSmoothsDownAndAlong();
    void profileStationWithoutData();
    void profileEdgeInput();
    void lineResultsDoNotDependOnThreads();

    void threeDimensionalRecords();
    void threeDimensionalLinesMoveTowardsEachOther();
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
    HW_COMPARE_NEAR(InversionMethod::receivedVoltage(t, 100.0, 1.0), -InversionMethod::kReceiverArea * expected,
                    1e-6);
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
            const double late =
                -a * a * std::pow(mu0, 2.5) * std::pow(1.0 / rho, 1.5) / (20.0 * std::sqrt(M_PI) * std::pow(t, 2.5));
            HW_COMPARE_NEAR(InversionMethod::halfSpaceDBzDt(t, rho, 1.0, a), late, 1e-3);
        }
    }
    QVERIFY(std::isnan(InversionMethod::halfSpaceDBzDt(0.0, 100.0, 1.0)));
    QVERIFY(std::isnan(InversionMethod::halfSpaceDBzDt(1e-3, kNaN, 1.0)));
}

void TestInversionMethod::layeredEarthsAreExplained_data()
{
    // The earth, the depth of its main interface and the resistivities on
    // either side of it, and the noise on the curve.
    QTest::addColumn<Earth>("earth");
    QTest::addColumn<double>("interface");
    QTest::addColumn<double>("above");
    QTest::addColumn<double>("below");
    QTest::addColumn<double>("noise");
    QTest::addColumn<double>("tolerance");
    for (const LayeredEarthCase& e : layeredEarths()) {
        for (double noise : {0.0, 0.03, 0.10}) {
            QTest::newRow(qPrintable(QString("%1, noise %2 %").arg(e.name).arg(100.0 * noise)))
                << e.earth << e.interface << e.above << e.below << noise << (noise > 0.05 ? 1.5 : 1.0) * e.tolerance;
        }
    }
}

// The model explains the curve it came from to the noise, and shows the
// earth's main interface at its depth (within about a fifth) with the
// right contrast.
void TestInversionMethod::layeredEarthsAreExplained()
{
    QFETCH(Earth, earth);
    QFETCH(double, interface);
    QFETCH(double, above);
    QFETCH(double, below);
    QFETCH(double, noise);
    QFETCH(double, tolerance);
    const QVector<double> times = gateTimes();
    const QVector<double> curve = withNoise(curveOver(earth, times), noise, 7);

    InversionMethod inv;
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, kCurrent, values, depths, 100.0, 2.0);
    const QString problem = shapeProblem(values, depths);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    double rms = 0.0;
    double worst = 0.0;
    misfitOf(values, depths, curve, times, rms, worst);
    // Exact data are fitted within the 3 % the inversion allows each gate;
    // noisy data down to their noise (as the curve's scatter shows it).
    const double allowed = std::max(0.033, 1.5 * noise);
    QVERIFY2(rms <= allowed, qPrintable(QString("RMS misfit %1 %").arg(100.0 * rms)));
    HW_COMPARE_NEAR(inv.lastMisfit(), rms, 0.02);

    const double depth = crossing(values, depths, above, below);
    QVERIFY2(depth > 0.0 && std::fabs(depth / interface - 1.0) <= tolerance,
             qPrintable(QString("interface at %1 m, not %2 m").arg(depth).arg(interface)));
    const double upper = meanBetween(values, depths, 0.5 * interface, 0.8 * interface);
    const double lower = meanBetween(values, depths, 1.2 * interface, 1.6 * interface);
    QVERIFY2((below < above) ? lower < 0.7 * upper : lower > 1.4 * upper,
             qPrintable(QString("%1 ohm-m above, %2 ohm-m below").arg(upper).arg(lower)));
}

void TestInversionMethod::halfSpaceStaysUniform_data()
{
    QTest::addColumn<double>("rho");
    QTest::addColumn<double>("noise");
    for (double rho : {3.0, 100.0, 1000.0}) {
        for (double noise : {0.0, 0.03, 0.10})
            QTest::newRow(qPrintable(QString("%1 ohm-m, noise %2 %").arg(rho).arg(100.0 * noise))) << rho << noise;
    }
}

// A half-space comes back uniform within the reach of the gates, with no
// layer invented from the noise.
void TestInversionMethod::halfSpaceStaysUniform()
{
    QFETCH(double, rho);
    QFETCH(double, noise);
    const QVector<double> times = gateTimes();
    const QVector<double> curve = withNoise(curveOver({{rho}, {}}, times), noise, 11);
    InversionMethod inv;
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, kCurrent, values, depths, 100.0, 2.0);
    QVERIFY(shapeProblem(values, depths).isEmpty());
    // From the earliest gate's diffusion depth to a third of the latest's
    // (deeper the smoothest model that fits leans towards the reference).
    const double mu0 = InversionMethod::kMu0;
    const double shallow = std::sqrt(2.0 * times.first() * 1e-6 * rho / mu0);
    const double deep = std::sqrt(2.0 * times.last() * 1e-6 * rho / mu0) / 3.0;
    const double tolerance = noise > 0.05 ? 0.3 : 0.1;
    for (double d = shallow; d <= deep; d *= 1.1) {
        const double v = valueAtDepth(values, depths, d);
        QVERIFY2(std::fabs(std::log(v / rho)) <= tolerance, qPrintable(QString("%1 ohm-m at %2 m").arg(v).arg(d)));
    }
}

void TestInversionMethod::constraintKeepsItsMeaning_data()
{
    QTest::addColumn<Earth>("earth");
    QTest::addColumn<double>("noise");
    const struct {
        const char* name;
        Earth earth;
    } earths[] = {
        {"100 over 10 ohm-m", {{100, 10}, {50}}},
        {"10 ohm-m between 100", {{100, 10, 100}, {50, 40}}},
    };
    for (const auto& e : earths) {
        for (double noise : {0.0, 0.03})
            QTest::newRow(qPrintable(QString("%1, noise %2 %").arg(e.name).arg(100.0 * noise))) << e.earth << noise;
    }
}

// Each four-fold step of the constraint from 0.5 to 32 gives a clearly
// smoother model, and never one that fits more closely; at its largest the
// model still explains the curve within a few of its errors.
void TestInversionMethod::constraintKeepsItsMeaning()
{
    QFETCH(Earth, earth);
    QFETCH(double, noise);
    const QVector<double> times = gateTimes();
    const QVector<double> curve = withNoise(curveOver(earth, times), noise, 7);
    QVector<double> rough;
    QVector<double> misfit;
    QStringList figures;
    for (double constraint : {0.5, 2.0, 8.0, 32.0}) {
        InversionMethod inv;
        QVector<double> values;
        QVector<double> depths;
        inv.pointCompute(curve, times, kCurrent, values, depths, 100.0, constraint);
        QVERIFY(shapeProblem(values, depths).isEmpty());
        rough << roughness(values, depths);
        misfit << inv.lastMisfit();
        figures << QString("c %1: roughness %2, misfit %3 %").arg(constraint).arg(rough.last()).arg(100.0 * misfit.last());
    }
    const QString all = figures.join("; ");
    for (int k = 1; k < rough.size(); ++k) {
        QVERIFY2(rough[k] <= 0.9 * rough[k - 1], qPrintable(all));
        QVERIFY2(misfit[k] >= misfit[k - 1] - 1e-3, qPrintable(all));
    }
    QVERIFY2(misfit.last() <= 3.0 * std::max(noise, LayeredInversion::kErrorFloor), qPrintable(all));
}

// A larger constraint gives a smoother model where the data would allow a
// rougher one, at the price of the fit.
void TestInversionMethod::largerConstraintSmooths()
{
    const QVector<double> times = gateTimes();
    const QVector<double> curve = curveOver({{100, 10, 100}, {50, 40}}, times);
    InversionMethod inv;
    QVector<double> loose;
    QVector<double> firm;
    QVector<double> depths;
    inv.pointCompute(curve, times, kCurrent, loose, depths, 100.0, 2.0);
    const double looseRoughness = roughness(loose, depths);
    const double looseMisfit = inv.lastMisfit();
    inv.pointCompute(curve, times, kCurrent, firm, depths, 100.0, 2000.0);
    const double firmRoughness = roughness(firm, depths);
    QVERIFY2(firmRoughness < 0.5 * looseRoughness,
             qPrintable(QString("%1 against %2").arg(firmRoughness).arg(looseRoughness)));
    QVERIFY(inv.lastMisfit() > looseMisfit);
}

void TestInversionMethod::knownNoiseIsFittedToItsLevel_data()
{
    QTest::addColumn<Earth>("earth");
    QTest::addColumn<double>("noise");
    QTest::addColumn<double>("constraint");
    // The ribbon's default constraint as the instrument kinds scale it, at
    // both ends.
    for (const LayeredEarthCase& e : layeredEarths()) {
        for (double noise : {0.03, 0.10}) {
            for (double constraint : {0.5, 2.0})
                QTest::newRow(qPrintable(QString("%1, noise %2 %, constraint %3").arg(e.name).arg(100.0 * noise).arg(constraint)))
                    << e.earth << noise << constraint;
        }
    }
}

// A curve with a known noise is fitted to about that noise, not to what an
// overestimate of it allows, and the model's curve lies nearer the earth's
// own than the noisy one does.
void TestInversionMethod::knownNoiseIsFittedToItsLevel()
{
    QFETCH(Earth, earth);
    QFETCH(double, noise);
    QFETCH(double, constraint);
    const QVector<double> times = gateTimes();
    const QVector<double> exact = curveOver(earth, times);
    const QVector<double> curve = withNoise(exact, noise, 1);
    InversionMethod inv;
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, kCurrent, values, depths, 100.0, constraint);
    QVERIFY(shapeProblem(values, depths).isEmpty());
    const QVector<double> model = libraryCurve(values, depths, times);
    const double toCurve = rmsRelative(model, curve);
    const double toEarth = rmsRelative(model, exact);
    const QString figures = QString("RMS %1 % from the curve, %2 % from the earth's")
                                .arg(100.0 * toCurve)
                                .arg(100.0 * toEarth);
    QVERIFY2(toCurve <= 1.2 * noise, qPrintable(figures));
    QVERIFY2(toEarth <= noise, qPrintable(figures));
}

void TestInversionMethod::gateErrorsFollowTheScatter_data()
{
    // Noise of the first 30 gates and of the rest; a factor on one gate.
    QTest::addColumn<double>("early");
    QTest::addColumn<double>("late");
    QTest::addColumn<double>("spike");
    QTest::newRow("exact") << 0.0 << 0.0 << 1.0;
    QTest::newRow("noise at the floor") << 0.03 << 0.03 << 1.0;
    QTest::newRow("10 % noise") << 0.10 << 0.10 << 1.0;
    QTest::newRow("3 % early, 15 % late") << 0.03 << 0.15 << 1.0;
    QTest::newRow("one gate 3 times too large") << 0.0 << 0.0 << 3.0;
}

// Each gate's error is the floor unless the curve scatters more than a
// noise at the floor would: then the scatter of the curve, or of the gate's
// neighbourhood where that is larger. Averaged over many curves.
void TestInversionMethod::gateErrorsFollowTheScatter()
{
    QFETCH(double, early);
    QFETCH(double, late);
    QFETCH(double, spike);
    const double floor = LayeredInversion::kErrorFloor;
    const QVector<double> times = gateTimes();
    const QVector<double> exact = curveOver({{100, 10}, {50}}, times);
    QVector<double> logTimes;
    for (double t : times)
        logTimes << std::log(t * 1e-6);
    const int curves = 100;
    double earlySum = 0.0;
    double lateSum = 0.0;
    double largest = 0.0;
    for (int c = 0; c < curves; ++c) {
        std::mt19937 random(100 + c);
        std::normal_distribution<double> normal(0.0, 1.0);
        QVector<double> logData;
        for (int i = 0; i < exact.size(); ++i)
            logData << std::log(exact[i] * (1.0 + (i < 30 ? early : late) * normal(random)) * (i == 20 ? spike : 1.0));
        const QVector<double> error = LayeredInversion::gateErrors(logTimes, logData, floor);
        QCOMPARE(error.size(), exact.size());
        // Both means a neighbourhood clear of where the noise changes.
        for (int i = 0; i < error.size(); ++i) {
            QVERIFY(error[i] >= floor);
            if (i < 24)
                earlySum += error[i];
            else if (i >= 36)
                lateSum += error[i];
            largest = std::max(largest, error[i]);
        }
    }
    const double earlyMean = earlySum / (24 * curves);
    const double lateMean = lateSum / ((exact.size() - 36) * curves);
    const QString figures = QString("%1 % early, %2 % late, %3 % at most")
                                .arg(100.0 * earlyMean)
                                .arg(100.0 * lateMean)
                                .arg(100.0 * largest);
    if (early <= floor && late <= floor) {
        // At or below the floor the floor holds, a lone wild gate included.
        QVERIFY2(earlyMean <= 1.05 * floor && lateMean <= 1.05 * floor, qPrintable(figures));
        if (early == 0.0)
            QVERIFY2(largest == floor, qPrintable(figures));
    } else if (early == late) {
        QVERIFY2(std::fabs(earlyMean / early - 1.0) < 0.1 && std::fabs(lateMean / late - 1.0) < 0.1,
                 qPrintable(figures));
    } else {
        QVERIFY2(earlyMean <= 1.6 * early && lateMean >= 0.75 * late && lateMean > 2.5 * earlyMean,
                 qPrintable(figures));
    }
}

void TestInversionMethod::surveyLoopIsInverted_data()
{
    QTest::addColumn<double>("radius");
    QTest::addColumn<double>("turns");
    QTest::addColumn<double>("area");
    QTest::newRow("10 m loop") << 10.0 << 1.0 << 100.0;
    QTest::newRow("50 m loop, 2 turns") << 50.0 << 2.0 << 100.0;
    QTest::newRow("20 m loop, 400 m^2 receiver") << 20.0 << 1.0 << 400.0;
}

// A curve measured with another loop comes back as its earth when the
// survey is set, and as another one when it is not.
void TestInversionMethod::surveyLoopIsInverted()
{
    QFETCH(double, radius);
    QFETCH(double, turns);
    QFETCH(double, area);
    const QVector<double> times = gateTimes();
    const QVector<double> curve = curveOver({{100}, {}}, times, kCurrent * turns, radius, area);
    InversionMethod inv;
    InversionMethod::Survey survey;
    survey.loopRadius = radius;
    survey.transmitterTurns = turns;
    survey.receiverArea = area;
    inv.setSurvey(survey);
    QCOMPARE(inv.survey(), survey);
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, kCurrent, values, depths, 100.0, 2.0);
    const double mean = meanBetween(values, depths, 100.0, 500.0);
    QVERIFY2(std::fabs(mean / 100.0 - 1.0) < 0.03, qPrintable(QString::number(mean)));
    QVERIFY(inv.lastMisfit() < 0.01);

    InversionMethod plain;
    plain.pointCompute(curve, times, kCurrent, values, depths, 100.0, 2.0);
    QVERIFY(std::fabs(meanBetween(values, depths, 100.0, 500.0) / 100.0 - 1.0) > 0.2);
}

void TestInversionMethod::coilsGiveTheSurvey()
{
    // A 35.45 m square loop of 3 turns is the circle of 20 m radius.
    const double side = std::sqrt(M_PI) * 20.0;
    const InversionMethod::Survey s = InversionMethod::Survey::fromCoils(side, side, 3.0, 60.0);
    HW_COMPARE_NEAR(s.loopRadius, 20.0, 1e-12);
    QCOMPARE(s.transmitterTurns, 3.0);
    QCOMPARE(s.receiverArea, 60.0);
    // What is not set keeps the library's default.
    const InversionMethod::Survey none = InversionMethod::Survey::fromCoils(0.0, 40.0, kNaN, -1.0);
    QCOMPARE(none, InversionMethod::Survey());
    InversionMethod inv;
    InversionMethod::Survey bad;
    bad.loopRadius = 0.0;
    bad.transmitterTurns = kInf;
    bad.receiverArea = 25.0;
    inv.setSurvey(bad);
    QCOMPARE(inv.survey().loopRadius, InversionMethod::kLoopRadius);
    QCOMPARE(inv.survey().transmitterTurns, 1.0);
    QCOMPARE(inv.survey().receiverArea, 25.0);
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
    QVERIFY(std::isnan(inv.lastMisfit()));
}

void TestInversionMethod::unfittableCurvesGiveFiniteModels_data()
{
    QTest::addColumn<QVector<double> >("curve");
    QTest::addColumn<QVector<double> >("times");
    const QVector<double> times = gateTimes();
    const QVector<double> good = curveOver({{100, 10}, {50}}, times);
    QVector<double> rising;
    QVector<double> flat(times.size(), 1e-6);
    QVector<double> jagged = good;
    QVector<double> extreme;
    for (int i = 0; i < times.size(); ++i) {
        rising << good.first() * std::pow(1.2, i);
        if (i % 3 == 1)
            jagged[i] *= 50.0;
        extreme << (i % 2 ? 1e-30 : 1e3);
    }
    QTest::newRow("rising") << rising << times;
    QTest::newRow("flat") << flat << times;
    QTest::newRow("every third gate 50 times too large") << jagged << times;
    QTest::newRow("alternating 1e3 and 1e-30 V") << extreme << times;
    QTest::newRow("two gates") << good.mid(0, 2) << times.mid(0, 2);
    QTest::newRow("three late gates") << good.mid(40) << times.mid(40);
    QTest::newRow("one time repeated") << QVector<double>{1e-5, 2e-5, 3e-5} << QVector<double>{500, 500, 500};
}

// A curve no earth explains still gives the best model the iteration
// reached: finite, of the documented shape, in a bounded number of steps.
void TestInversionMethod::unfittableCurvesGiveFiniteModels()
{
    QFETCH(QVector<double>, curve);
    QFETCH(QVector<double>, times);
    InversionMethod inv;
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, kCurrent, values, depths, 100.0, 2.0);
    const QString problem = shapeProblem(values, depths);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(std::isfinite(inv.lastMisfit()));
    QVERIFY2(inv.lastForwardCount() <= 4 * (InversionMethod::kIterations + 1),
             qPrintable(QString::number(inv.lastForwardCount())));
}

void TestInversionMethod::unusableReferenceIsReplaced()
{
    // Below the reach of the latest gate the model tends to the reference;
    // an unusable one is replaced by the default.
    const QVector<double> times = gateTimes();
    const QVector<double> curve = curveOver({{10}, {}}, times);
    InversionMethod inv;
    QVector<double> expected;
    QVector<double> expectedDepths;
    inv.pointCompute(curve, times, kCurrent, expected, expectedDepths, InversionMethod::kDefaultReferenceResistivity,
                     2.0);
    QVERIFY(expected.last() > 3.0 * expected.first());
    for (double reference : {kNaN, 0.0, -3.0}) {
        QVector<double> values;
        QVector<double> depths;
        inv.pointCompute(curve, times, kCurrent, values, depths, reference, 2.0);
        QCOMPARE(values, expected);
        QCOMPARE(depths, expectedDepths);
    }
}

void TestInversionMethod::profileRecords()
{
    const QVector<double> times = gateTimes();
    const QVector<double> curve = curveOver({{100}, {}}, times);
    QVector<QVector<double> > curves(4, curve);
    QVector<GPSCoordinate> coords;
    for (int i = 0; i < 4; ++i)
        coords << coord(3.0f, 100.0f + 20.0f * i, 5000.0f + i, 7000.0f - i, 250.0f + i);

    InversionMethod inv;
    const QList<DataType_ThreeResultData> r = inv.shapedProfile_LineCalc(curves, times, coords, 100.0, 2.0, 100.0);
    QCOMPARE(r.size(), 4);
    QVector<double> values;
    QVector<double> depths;
    inv.pointCompute(curve, times, kCurrent, values, depths, 100.0, 2.0);
    for (int i = 0; i < 4; ++i) {
        const QString problem = shapeProblem(r[i].value, r[i].z);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(r[i].station, 100.0 + 20.0 * i);
        QCOMPARE(r[i].x, 5000.0 + i);
        QCOMPARE(r[i].y, 7000.0 - i);
        // Relative to the ground, on the station's own ladder here.
        QCOMPARE(r[i].z, depths);
        QVERIFY(r[i].reserved < 0.01);
        HW_COMPARE_NEAR(meanBetween(r[i].value, r[i].z, 100.0, 600.0), 100.0, 0.03);
    }
    QVERIFY(inv.lastForwardCount() > 0);
}

// A laterally uniform earth stays uniform along the line.
void TestInversionMethod::profileKeepsAUniformEarthUniform()
{
    const QVector<double> times = gateTimes();
    const QVector<double> curve = curveOver({{100, 10}, {50}}, times);
    QVector<QVector<double> > curves;
    for (unsigned i = 0; i < 7; ++i)
        curves << withNoise(curve, 0.03, 100 + i);
    InversionMethod inv;
    const auto r = inv.shapedProfile_LineCalc(curves, times, {}, 100.0, 2.0, 100.0);
    QCOMPARE(r.size(), 7);
    for (double d : {30.0, 80.0, 200.0}) {
        double lo = kInf;
        double hi = 0.0;
        for (const auto& col : r) {
            const double v = valueAtDepth(col.value, col.z, d);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        QVERIFY2(hi / lo < 1.25, qPrintable(QString("%1 to %2 ohm-m at %3 m").arg(lo).arg(hi).arg(d)));
    }
    // Each curve still fitted to its noise: chi about 1 with gate errors
    // from the curve's own scatter (a little over the 3 % drawn).
    for (const auto& col : r)
        QVERIFY2(col.reserved <= 0.06, qPrintable(QString::number(col.reserved)));
}

// A conductive zone under a resistive line shows under its stations, and
// each station still explains its own curve.
void TestInversionMethod::profileFollowsAConductiveZone()
{
    const QVector<double> times = gateTimes();
    const QVector<double> host = curveOver({{100}, {}}, times);
    const QVector<double> zone = curveOver({{100, 5, 100}, {60, 60}}, times);
    QVector<QVector<double> > curves;
    for (int i = 0; i < 9; ++i)
        curves << (i >= 3 && i <= 5 ? zone : host);
    InversionMethod inv;
    const auto r = inv.shapedProfile_LineCalc(curves, times, {}, 100.0, 2.0, 100.0);
    QCOMPARE(r.size(), 9);
    for (int i = 0; i < 9; ++i) {
        const double v = meanBetween(r[i].value, r[i].z, 70.0, 110.0);
        if (i >= 3 && i <= 5)
            QVERIFY2(v < 40.0, qPrintable(QString("station %1: %2 ohm-m").arg(i).arg(v)));
        else if (i <= 1 || i >= 7)
            QVERIFY2(v > 60.0, qPrintable(QString("station %1: %2 ohm-m").arg(i).arg(v)));
        double rms = 0.0;
        double worst = 0.0;
        misfitOf(r[i].value, r[i].z, curves[i], times, rms, worst);
        QVERIFY2(rms <= 0.035, qPrintable(QString("station %1: RMS misfit %2 %").arg(i).arg(100.0 * rms)));
    }
}

// The pull between stations falls with their distance along the line: the
// last station of a line, over another earth than the rest, keeps more of
// its own model when a wide gap parts it from them than when it stands at
// the line's spacing.
void TestInversionMethod::profileNeighboursPullByTheirDistance()
{
    const QVector<double> times = gateTimes();
    const QVector<double> host = withNoise(curveOver({{100, 10}, {50}}, times), 0.03, 1);
    const QVector<double> other = withNoise(curveOver({{100, 10}, {150}}, times), 0.03, 2);
    const QVector<QVector<double> > curves{host, host, host, host, other};
    const double constraint = LayeredInversion::kOccamConstraint;
    auto lastStation = [&](float lastPosition) {
        QVector<GPSCoordinate> coords;
        for (int i = 0; i < 4; ++i)
            coords << coord(1.0f, 20.0f * i, 20.0f * i, 0.0f, 0.0f);
        coords << coord(1.0f, lastPosition, lastPosition, 0.0f, 0.0f);
        InversionMethod inv;
        const auto r = inv.shapedProfile_LineCalc(curves, times, coords, 100.0, constraint, 100.0);
        return meanBetween(r[4].value, r[4].z, 60.0, 140.0);
    };
    InversionMethod alone;
    const auto own = alone.shapedProfile_LineCalc({other}, times, {}, 100.0, constraint, 100.0);
    const double itself = meanBetween(own[0].value, own[0].z, 60.0, 140.0);
    const double spaced = lastStation(80.0f);
    const double parted = lastStation(400.0f);
    const QString figures = QString("alone %1, at the spacing %2, beyond a gap %3 ohm-m between 60 and 140 m")
                                .arg(itself)
                                .arg(spaced)
                                .arg(parted);
    // The neighbours pull at all, and far less across the gap.
    QVERIFY2(std::fabs(std::log(spaced / itself)) > 0.05, qPrintable(figures));
    QVERIFY2(std::fabs(std::log(parted / itself)) < 0.5 * std::fabs(std::log(spaced / itself)), qPrintable(figures));
}

// Along a line as at a station, a larger constraint gives smoother models,
// and models of one earth under noise nearer to each other.
void TestInversionMethod::profileConstraintSmoothsDownAndAlong()
{
    const QVector<double> times = gateTimes();
    const QVector<double> exact = curveOver({{100, 10}, {50}}, times);
    QVector<QVector<double> > curves;
    for (unsigned i = 0; i < 5; ++i)
        curves << withNoise(exact, 0.03, 20 + i);
    QVector<double> rough;
    QVector<double> spread;
    QStringList figures;
    for (double constraint : {0.5, 2.0, 8.0, 32.0}) {
        InversionMethod inv;
        const auto r = inv.shapedProfile_LineCalc(curves, times, {}, 100.0, constraint, 100.0);
        QCOMPARE(r.size(), curves.size());
        double sum = 0.0;
        double lo = kInf;
        double hi = 0.0;
        for (const auto& col : r) {
            sum += roughness(col.value, col.z);
            const double v = meanBetween(col.value, col.z, 60.0, 200.0);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        rough << sum / r.size();
        spread << std::log(hi / lo);
        figures << QString("c %1: roughness %2, spread %3").arg(constraint).arg(rough.last()).arg(spread.last());
    }
    const QString all = figures.join("; ");
    for (int k = 1; k < rough.size(); ++k) {
        QVERIFY2(rough[k] <= 0.9 * rough[k - 1], qPrintable(all));
        QVERIFY2(spread[k] <= spread[k - 1] + 1e-9, qPrintable(all));
    }
    QVERIFY2(spread.last() < 0.5 * spread.first(), qPrintable(all));
}

void TestInversionMethod::profileStationWithoutData()
{
    const QVector<double> times = gateTimes();
    const QVector<double> c100 = curveOver({{100}, {}}, times);
    const QVector<double> dead(times.size(), kNaN);
    InversionMethod inv;
    const auto r = inv.shapedProfile_LineCalc({c100, dead, c100}, times, {}, 30.0, 3.0, 100.0);
    QCOMPARE(r.size(), 3);
    for (const auto& col : r) {
        const QString problem = shapeProblem(col.value, col.z);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    // The dead station is the reference half-space, has no misfit, and
    // pulls on nobody.
    for (double v : r[1].value)
        HW_COMPARE_NEAR(v, 30.0, 1e-12);
    QVERIFY(std::isnan(r[1].reserved));
    HW_COMPARE_VECTORS(r[0].value, r[2].value, 1e-12, 0.0);
    HW_COMPARE_NEAR(meanBetween(r[0].value, r[0].z, 100.0, 600.0), 100.0, 0.03);
}

void TestInversionMethod::profileEdgeInput()
{
    InversionMethod inv;
    QVERIFY(inv.shapedProfile_LineCalc({}, gateTimes(), {}, 100.0, 1.0, 100.0).isEmpty());

    // Ragged rows, no times, fewer coordinates than stations.
    const QVector<double> times = gateTimes();
    const QVector<double> full = curveOver({{50}, {}}, times);
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

// The stations are inverted in parallel: one thread gives the same line.
void TestInversionMethod::lineResultsDoNotDependOnThreads()
{
    const QVector<double> times = gateTimes();
    QVector<QVector<double> > curves;
    for (unsigned i = 0; i < 6; ++i)
        curves << withNoise(curveOver({{100, 10 + 5.0 * i}, {50}}, times), 0.03, i);
    InversionMethod inv;
    const auto parallel = inv.shapedProfile_LineCalc(curves, times, {}, 100.0, 2.0, 100.0);
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    const auto serial = inv.shapedProfile_LineCalc(curves, times, {}, 100.0, 2.0, 100.0);
    QThreadPool::globalInstance()->setMaxThreadCount(threads);
    QCOMPARE(serial.size(), parallel.size());
    for (int i = 0; i < serial.size(); ++i) {
        QCOMPARE(serial[i].value, parallel[i].value);
        QCOMPARE(serial[i].reserved, parallel[i].reserved);
    }
}

void TestInversionMethod::threeDimensionalRecords()
{
    const QVector<double> times = gateTimes();
    const QVector<double> c = curveOver({{100}, {}}, times);
    QVector<QVector<QVector<double> > > curves{{c, c, c}, {c, c}};
    QVector<QVector<double> > lineTimes{times, times};
    QVector<QVector<GPSCoordinate> > coords{
        {coord(1, 10, 0, 0, 200), coord(1, 20, 10, 0, 210), coord(1, 30, 20, 0, 100000)},
        {coord(2, 10, 0, 50, 100000), coord(2, 20, 10, 50, 100000)}};

    InversionMethod inv;
    const auto r = inv.Three_Dimensional_Calc(curves, lineTimes, coords, 100.0, 2.0, 100.0);
    QCOMPARE(r.size(), 5);
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
        HW_COMPARE_NEAR(r[i].z[0], elevation[i] - 1.0, 1e-12);
        for (int j = 1; j < r[i].z.size(); ++j)
            QVERIFY(r[i].z[j] < r[i].z[j - 1]);
        HW_COMPARE_NEAR(meanBetween(r[i].value, r[i].z, 100.0, 600.0), 100.0, 0.03);
        QVERIFY(r[i].reserved < 0.01);
    }
}

// Across lines each station is drawn towards the nearest station of the
// line beside it, whichever side: both lines move towards each other, more
// the larger the constraint, and each station still fits its own curve to
// what the constraint allows.
void TestInversionMethod::threeDimensionalLinesMoveTowardsEachOther()
{
    const QVector<double> times = gateTimes();
    const QVector<double> a = withNoise(curveOver({{100, 20}, {60}}, times), 0.03, 1);
    const QVector<double> b = withNoise(curveOver({{100, 40}, {60}}, times), 0.03, 2);
    const QVector<QVector<double> > lineA{a, a, a};
    const QVector<QVector<double> > lineB{b, b, b};
    const QVector<GPSCoordinate> coordsA{coord(1, 1, 0, 0, 0), coord(1, 2, 10, 0, 0), coord(1, 3, 20, 0, 0)};
    const QVector<GPSCoordinate> coordsB{coord(2, 1, 0, 50, 0), coord(2, 2, 10, 50, 0), coord(2, 3, 20, 50, 0)};
    auto band = [](const DataType_ThreeResultData& column) { return std::log(meanBetween(column.value, column.z, 30.0, 400.0)); };

    QVector<double> moved[2];
    for (double constraint : {8.0, 20.0}) {
        InversionMethod inv;
        // Each line alone, at the same constraint: no line beside it.
        const auto apartA = inv.Three_Dimensional_Calc({lineA}, {times}, {coordsA}, 100.0, constraint, 100.0);
        const auto apartB = inv.Three_Dimensional_Calc({lineB}, {times}, {coordsB}, 100.0, constraint, 100.0);
        const auto joined = inv.Three_Dimensional_Calc({lineA, lineB}, {times, times}, {coordsA, coordsB}, 100.0,
                                                       constraint, 100.0);
        QCOMPARE(joined.size(), 6);
        const double allowed = std::pow(constraint / LayeredInversion::kOccamConstraint, LayeredInversion::kTargetGrowth)
            * 1.2 * LayeredInversion::kErrorFloor;
        for (int i = 0; i < 3; ++i) {
            const double gap = band(apartB[i]) - band(apartA[i]);
            QVERIFY2(std::fabs(gap) > 0.1, qPrintable(QString::number(gap)));
            // Each line towards the other by a share of the gap between them.
            const double towardsB = (band(joined[i]) - band(apartA[i])) / gap;
            const double towardsA = (band(joined[i + 3]) - band(apartB[i])) / -gap;
            const QString figures = QString("constraint %1, station %2: line 1 moves %3, line 2 %4 of the gap")
                                        .arg(constraint)
                                        .arg(i)
                                        .arg(towardsB)
                                        .arg(towardsA);
            QVERIFY2(towardsB > 0.02 && towardsA > 0.02, qPrintable(figures));
            moved[constraint > 8.0 ? 1 : 0] << towardsB + towardsA;
            for (int k : {i, i + 3}) {
                double rms = 0.0;
                double worst = 0.0;
                // The stations stand at elevation 0: the levels are depths.
                misfitOf(joined[k].value, joined[k].z, k < 3 ? a : b, times, rms, worst);
                QVERIFY2(rms <= allowed, qPrintable(QString("%1; station %2: %3 %").arg(figures).arg(k).arg(100.0 * rms)));
            }
        }
    }
    for (int i = 0; i < 3; ++i)
        QVERIFY2(moved[1][i] > moved[0][i], qPrintable(QString("%1 against %2").arg(moved[1][i]).arg(moved[0][i])));
}

void TestInversionMethod::threeDimensionalEdgeInput()
{
    InversionMethod inv;
    QVERIFY(inv.Three_Dimensional_Calc({}, {}, {}, 100.0, 1.0, 100.0).isEmpty());
    QVERIFY(inv.Three_Dimensional_Calc({{}, {}}, {{}, {}}, {{}, {}}, 100.0, 1.0, 100.0).isEmpty());

    // The second line has no times and no coordinates; the first fewer
    // coordinates than stations.
    const QVector<double> times = gateTimes();
    const QVector<double> c = curveOver({{100}, {}}, times);
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
    QVERIFY(std::isnan(r[2].reserved));
}

QTEST_GUILESS_MAIN(TestInversionMethod)
#include "tst_inversionmethod.moc"
