// The generator's layered-earth forward model against the closed-form
// half-space response (Ward and Hohmann 1988), in frequency and in time,
// against a sine transform of its own frequency response by other means, and
// against an independent Laplace-domain (Gaver-Stehfest) evaluation of a
// two-layer earth.

#include <QTest>

#include <gsl/gsl_integration.h>

#include <cmath>
#include <complex>
#include <memory>

#include "common/TestHelpers.h"
#include "platform/inversion/InversionMethod.h"
#include "platform/inversion/LayeredEarth.h"
#include "tools/projectgen/CentralLoopResponse.h"

namespace {

// Im Hz per ampere at the centre of a loop of radius a on a half-space
// (e^{iwt}): Hz = -(3 - (3 + 3x + x^2) e^-x) / (k^2 a^3), x = i k a,
// k^2 = -i w mu0 / rho. Where |x| is small the bracket cancels, and its
// series Hz = -(1/a) sum_{n>=2} (-1)^n (n-1)(n-3) x^(n-2) / n! is summed.
double halfSpaceQuadratureField(double omega, double rho, double a)
{
    using Complex = std::complex<double>;
    const Complex k = Complex(1.0, -1.0) * std::sqrt(omega * CentralLoopResponse::kMu0 / (2.0 * rho));
    const Complex x = Complex(0.0, 1.0) * k * a;
    if (std::abs(x) >= 1.0)
        return (-(3.0 - (3.0 + 3.0 * x + x * x) * std::exp(-x)) / (k * k * a * a * a)).imag();
    Complex sum = 0.0;
    Complex power = 1.0;
    double factorial = 2.0;
    for (int n = 2; n < 30; ++n) {
        if (n > 2) {
            power *= x;
            factorial *= n;
        }
        sum += double((n % 2 ? -1 : 1) * (n - 1) * (n - 3)) / factorial * power;
    }
    return (-sum / a).imag();
}

struct Integrand {
    const CentralLoopResponse* model;
    double t;
};

double fieldTimesSine(double omega, void* p)
{
    const auto* f = static_cast<const Integrand*>(p);
    return f->model->quadratureField(omega) * std::sin(omega * f->t);
}

double field(double omega, void* p)
{
    return omega > 0.0 ? static_cast<const Integrand*>(p)->model->quadratureField(omega) : 0.0;
}

// dBz/dt per ampere from the model's Im Hz, by another route than the
// model's own: adaptive quadrature over the first 20 half-periods of
// sin(w t), the first period split at decades (Im Hz changes there on scales
// far below pi/t), and GSL's Fourier integral (QAWF) for the rest. Good to
// about 1e-8 up to some 30 ms; later the cancellation defeats it.
double sineTransformReference(const CentralLoopResponse& model, double t)
{
    const size_t size = 1000;
    const std::unique_ptr<gsl_integration_workspace, void (*)(gsl_integration_workspace*)> work(
        gsl_integration_workspace_alloc(size), gsl_integration_workspace_free);
    const std::unique_ptr<gsl_integration_workspace, void (*)(gsl_integration_workspace*)> cycles(
        gsl_integration_workspace_alloc(size), gsl_integration_workspace_free);
    const std::unique_ptr<gsl_integration_qawo_table, void (*)(gsl_integration_qawo_table*)> table(
        gsl_integration_qawo_table_alloc(t, 1.0, GSL_INTEG_SINE, 50), gsl_integration_qawo_table_free);
    Integrand integrand{&model, t};
    gsl_function product{&fieldTimesSine, &integrand};
    gsl_function fieldOnly{&field, &integrand};

    const double halfPeriod = M_PI / t;
    double sum = 0.0;
    double result = 0.0;
    double error = 0.0;
    double lo = 0.0;
    for (double hi = 1e-4 / t; lo < 2.0 * halfPeriod; hi *= 10.0) {
        const double to = std::min(hi, 2.0 * halfPeriod);
        gsl_integration_qag(&product, lo, to, 0.0, 1e-13, size, GSL_INTEG_GAUSS21, work.get(), &result, &error);
        sum += result;
        lo = to;
    }
    for (int n = 2; n < 20; ++n) {
        gsl_integration_qag(&product, n * halfPeriod, (n + 1) * halfPeriod, 0.0, 1e-13, size,
                            GSL_INTEG_GAUSS21, work.get(), &result, &error);
        sum += result;
    }
    gsl_integration_qawf(&fieldOnly, 20 * halfPeriod, 1e-10, size, work.get(), cycles.get(), table.get(),
                         &result, &error);
    sum += result;
    return 2.0 * CentralLoopResponse::kMu0 / M_PI * sum;
}

} // namespace

class TestCentralLoopResponse : public QObject
{
    Q_OBJECT

private slots:
    void wardHohmannValues_data();
    void wardHohmannValues();
    void quadratureFieldClosedForm_data();
    void quadratureFieldClosedForm();
    void halfSpaceClosedForm_data();
    void halfSpaceClosedForm();
    void layersAgainstOtherSineTransform_data();
    void layersAgainstOtherSineTransform();
    void equalLayersAreTheHalfSpace_data();
    void equalLayersAreTheHalfSpace();
    void twoLayersAgainstLaplaceInversion_data();
    void twoLayersAgainstLaplaceInversion();
    void unusableModels_data();
    void unusableModels();
};

void TestCentralLoopResponse::wardHohmannValues_data()
{
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.1 ms") << 1e-4 << -1.979626e-7;
    QTest::newRow("1 ms") << 1e-3 << -6.310880e-10;
    QTest::newRow("10 ms") << 1e-2 << -1.997288e-12;
}

void TestCentralLoopResponse::wardHohmannValues()
{
    QFETCH(double, t);
    QFETCH(double, expected);
    // a = 20 m, I = 1 A, 100 ohm-m: the published values, to their digits.
    const CentralLoopResponse model({100.0}, {}, 20.0, 1e-6, 0.1);
    QVERIFY(model.isValid());
    HW_COMPARE_NEAR(model.dBzDt(t), expected, 3e-7);
}

void TestCentralLoopResponse::quadratureFieldClosedForm_data()
{
    QTest::addColumn<double>("rho");
    QTest::addColumn<double>("radius");
    QTest::newRow("1 ohm-m") << 1.0 << 20.0;
    QTest::newRow("10 ohm-m") << 10.0 << 20.0;
    QTest::newRow("100 ohm-m") << 100.0 << 20.0;
    QTest::newRow("1000 ohm-m") << 1000.0 << 20.0;
    QTest::newRow("100 ohm-m, 50 m loop") << 100.0 << 50.0;
}

void TestCentralLoopResponse::quadratureFieldClosedForm()
{
    // The Hankel transform alone, 10 frequencies per decade over the
    // generator's whole frequency grid: at high frequencies over a good
    // conductor the series of partial integrals starts slowly, at low ones
    // over a resistive earth the kernel turns over far inside the first
    // interval.
    QFETCH(double, rho);
    QFETCH(double, radius);
    const CentralLoopResponse model({rho}, {}, radius, 1e-6, 0.1);
    QVERIFY(model.isValid());
    for (int i = 0; i <= 120; ++i) {
        const double omega = std::pow(10.0, -3.0 + i / 10.0);
        const double value = model.quadratureField(omega);
        const double expected = halfSpaceQuadratureField(omega, rho, radius);
        QVERIFY2(hwtest::nearlyEqual(value, expected, 1e-7, 0.0),
                 qPrintable(QString("w = %1 rad/s: %2 vs %3").arg(omega).arg(value, 0, 'g', 10)
                                .arg(expected, 0, 'g', 10)));
    }
}

void TestCentralLoopResponse::halfSpaceClosedForm_data()
{
    // The response depends on t x rho: these rows span t x rho from 1e-6 to
    // 300, beyond what the generator's records (10 us to 40 ms over 1 to
    // 1000 ohm-m) need.
    QTest::addColumn<double>("rho");
    QTest::addColumn<double>("radius");
    QTest::addColumn<double>("earliest");
    QTest::addColumn<double>("latest");
    QTest::newRow("1 ohm-m") << 1.0 << 20.0 << 1e-6 << 0.1;
    QTest::newRow("10 ohm-m") << 10.0 << 20.0 << 1e-6 << 0.1;
    QTest::newRow("100 ohm-m") << 100.0 << 20.0 << 1e-6 << 0.1;
    QTest::newRow("1000 ohm-m") << 1000.0 << 20.0 << 1e-6 << 0.1;
    QTest::newRow("3000 ohm-m") << 3000.0 << 20.0 << 1e-6 << 0.1;
    QTest::newRow("100 ohm-m, 50 m loop") << 100.0 << 50.0 << 1e-6 << 0.1;
    QTest::newRow("100 ohm-m, the times of a 2000-sample record") << 100.0 << 20.0 << 1e-6 << 0.0201;
}

void TestCentralLoopResponse::halfSpaceClosedForm()
{
    QFETCH(double, rho);
    QFETCH(double, radius);
    QFETCH(double, earliest);
    QFETCH(double, latest);
    const CentralLoopResponse model({rho}, {}, radius, earliest, latest);
    QVERIFY(model.isValid());
    // 5 times per decade, the ends of the frequency grid's range included.
    QVector<double> times;
    for (double t = earliest; t <= latest * 1.0001; t *= std::pow(10.0, 0.2))
        times.append(t);
    const QVector<double> values = model.dBzDt(times);
    for (int i = 0; i < times.size(); ++i) {
        const double expected = InversionMethod::halfSpaceDBzDt(times[i], rho, 1.0, radius);
        QVERIFY2(hwtest::nearlyEqual(values[i], expected, 1e-6, 0.0),
                 qPrintable(QString("t = %1 s: %2 vs %3").arg(times[i]).arg(values[i], 0, 'g', 10)
                                .arg(expected, 0, 'g', 10)));
    }
}

void TestCentralLoopResponse::layersAgainstOtherSineTransform_data()
{
    QTest::addColumn<QVector<double> >("rho");
    QTest::addColumn<QVector<double> >("thickness");
    QTest::newRow("100 over 10 over 1000 ohm-m, 50 m each")
        << QVector<double>{100.0, 10.0, 1000.0} << QVector<double>{50.0, 50.0};
    QTest::newRow("10 over 1000 ohm-m at 30 m") << QVector<double>{10.0, 1000.0} << QVector<double>{30.0};
}

void TestCentralLoopResponse::layersAgainstOtherSineTransform()
{
    // The frequency spline and the extrapolated sine transform over layers,
    // where no closed form exists, against the sine transform of the same
    // Im Hz computed another way.
    QFETCH(QVector<double>, rho);
    QFETCH(QVector<double>, thickness);
    const QVector<double> times{1e-4, 1e-3, 1e-2, 2e-2};
    // The reference itself, where the answer is known.
    const CentralLoopResponse halfSpace({100.0}, {}, 20.0, 1e-6, 0.1);
    for (double t : {1e-4, 2e-2})
        HW_COMPARE_NEAR(sineTransformReference(halfSpace, t), InversionMethod::halfSpaceDBzDt(t, 100.0, 1.0, 20.0),
                        1e-7);

    const CentralLoopResponse model(rho, thickness, 20.0, 1e-6, 0.1);
    QVERIFY(model.isValid());
    for (double t : times) {
        const double expected = sineTransformReference(model, t);
        QVERIFY2(hwtest::nearlyEqual(model.dBzDt(t), expected, 1e-6, 0.0),
                 qPrintable(QString("t = %1 s: %2 vs %3").arg(t).arg(model.dBzDt(t), 0, 'g', 10)
                                .arg(expected, 0, 'g', 10)));
    }
}

void TestCentralLoopResponse::equalLayersAreTheHalfSpace_data()
{
    QTest::addColumn<int>("layers");
    QTest::addColumn<double>("thickness");
    QTest::newRow("2 x 50 m") << 2 << 50.0;
    QTest::newRow("3 x 5 m") << 3 << 5.0;
    QTest::newRow("6 x 30 m") << 6 << 30.0;
}

void TestCentralLoopResponse::equalLayersAreTheHalfSpace()
{
    QFETCH(int, layers);
    QFETCH(double, thickness);
    const double rho = 30.0;
    const CentralLoopResponse halfSpace({rho}, {}, 20.0, 1e-6, 0.1);
    const CentralLoopResponse stack(QVector<double>(layers, rho), QVector<double>(layers - 1, thickness),
                                    20.0, 1e-6, 0.1);
    QVERIFY(stack.isValid());
    for (double omega : {1.0, 1e3, 1e6, 1e8})
        HW_COMPARE_NEAR(stack.quadratureField(omega), halfSpace.quadratureField(omega), 1e-9);
    for (double t : {1e-5, 1e-4, 1e-3, 1e-2})
        HW_COMPARE_NEAR(stack.dBzDt(t), InversionMethod::halfSpaceDBzDt(t, rho, 1.0, 20.0), 2e-6);
}

void TestCentralLoopResponse::twoLayersAgainstLaplaceInversion_data()
{
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("thickness");
    QTest::newRow("100 over 10 at 50 m") << 100.0 << 10.0 << 50.0;
    QTest::newRow("300 over 30 at 80 m") << 300.0 << 30.0 << 80.0;
}

void TestCentralLoopResponse::twoLayersAgainstLaplaceInversion()
{
    QFETCH(double, top);
    QFETCH(double, bottom);
    QFETCH(double, thickness);
    const CentralLoopResponse model({top, bottom}, {thickness}, 20.0, 1e-6, 0.1);
    QVERIFY(model.isValid());
    const hwtest::LayeredEarth reference{{top, bottom}, {thickness}};
    // Gaver-Stehfest in double precision is good to a few tenths of a
    // percent on these decays (not on the steep late decay of a conductor
    // over a resistive basement, where it strays by tens of percent).
    for (double t : {1e-5, 1e-4, 1e-3, 1e-2}) {
        const double expected = hwtest::layeredDBzDt(reference, t, 1.0, 20.0);
        QVERIFY2(hwtest::nearlyEqual(model.dBzDt(t), expected, 1e-2, 0.0),
                 qPrintable(QString("t = %1 s: %2 vs %3").arg(t).arg(model.dBzDt(t)).arg(expected)));
    }
    // The conductive basement shows late: it slows the decay against the
    // top layer alone.
    QVERIFY(model.dBzDt(1e-2) / InversionMethod::halfSpaceDBzDt(1e-2, top, 1.0, 20.0) > 2.0);
}

void TestCentralLoopResponse::unusableModels_data()
{
    QTest::addColumn<QVector<double> >("rho");
    QTest::addColumn<QVector<double> >("thickness");
    QTest::addColumn<double>("radius");
    QTest::newRow("no layer") << QVector<double>() << QVector<double>() << 20.0;
    QTest::newRow("thickness missing") << QVector<double>{100.0, 10.0} << QVector<double>() << 20.0;
    QTest::newRow("zero resistivity") << QVector<double>{0.0} << QVector<double>() << 20.0;
    QTest::newRow("NaN thickness") << QVector<double>{100.0, 10.0} << QVector<double>{qQNaN()} << 20.0;
    QTest::newRow("negative radius") << QVector<double>{100.0} << QVector<double>() << -1.0;
}

void TestCentralLoopResponse::unusableModels()
{
    QFETCH(QVector<double>, rho);
    QFETCH(QVector<double>, thickness);
    QFETCH(double, radius);
    const CentralLoopResponse model(rho, thickness, radius, 1e-6, 0.1);
    QVERIFY(!model.isValid());
    QVERIFY(std::isnan(model.dBzDt(1e-3)));
    QVERIFY(std::isnan(model.quadratureField(1e3)));
    // A valid model still has no response before the switch-off.
    const CentralLoopResponse valid({100.0}, {}, 20.0, 1e-6, 0.1);
    QVERIFY(std::isnan(valid.dBzDt(0.0)));
}

QTEST_MAIN(TestCentralLoopResponse)
#include "tst_centralloopresponse.moc"
