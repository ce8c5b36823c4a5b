#include <QtTest>

#include <cmath>
#include <limits>

#include "common/TestHelpers.h"
#include "platform/inversion/LayeredEarthResponse.h"
#include "tools/projectgen/CentralLoopResponse.h"

namespace {

// Below this |dBz/dt| per ampere (1 nV from a 10 A loop into a 100 m^2
// receiver, under the noise of any survey's latest gates) the responses of
// very resistive earths are a remainder of far larger spectra for either
// model; there the check is against this floor.
constexpr double kFloor = 1e-12;

QVector<double> logTimes(double first, double last, int perDecade)
{
    QVector<double> t;
    const int n = static_cast<int>(std::round(std::log10(last / first) * perDecade));
    for (int i = 0; i <= n; ++i)
        t << first * std::pow(10.0, double(i) / perDecade);
    return t;
}

// 80 layers swinging between about 13 and 740 ohm-m, thickening downwards.
void manyLayers(QVector<double>& rho, QVector<double>& thickness)
{
    for (int i = 0; i < 80; ++i) {
        rho << 100.0 * std::exp(2.0 * std::sin(0.7 * i));
        if (i < 79)
            thickness << 2.0 * std::pow(1.06, i);
    }
}

} // namespace

class TestLayeredEarthResponse : public QObject
{
    Q_OBJECT

private slots:
    void halfSpaceIsTheClosedForm_data();
    void halfSpaceIsTheClosedForm();
    void agreesWithTheGeneratorsForward_data();
    void agreesWithTheGeneratorsForward();
    void derivativesMatchDifferences();
    void unusableInputGivesNaN();
};

void TestLayeredEarthResponse::halfSpaceIsTheClosedForm_data()
{
    QTest::addColumn<double>("rho");
    QTest::addColumn<double>("radius");
    QTest::newRow("0.1 ohm-m") << 0.1 << 20.0;
    QTest::newRow("100 ohm-m") << 100.0 << 20.0;
    QTest::newRow("10000 ohm-m") << 10000.0 << 20.0;
    QTest::newRow("10 m loop") << 100.0 << 10.0;
    QTest::newRow("50 m loop") << 30.0 << 50.0;
}

void TestLayeredEarthResponse::halfSpaceIsTheClosedForm()
{
    QFETCH(double, rho);
    QFETCH(double, radius);
    const QVector<double> times = logTimes(1e-6, 5e-2, 10);
    const LayeredEarthResponse forward(times, radius);
    QVERIFY(forward.isValid());
    const QVector<double> v = forward.dBzDt({rho}, {});
    // Two layers of the same resistivity go through the filters.
    const QVector<double> split = forward.dBzDt({rho, rho}, {25.0});
    for (int i = 0; i < times.size(); ++i) {
        HW_COMPARE_NEAR(v[i], LayeredEarthResponse::halfSpace(times[i], rho, radius), 1e-12);
        HW_COMPARE_NEAR(split[i], v[i], 1e-4);
    }
}

void TestLayeredEarthResponse::agreesWithTheGeneratorsForward_data()
{
    QTest::addColumn<QVector<double> >("rho");
    QTest::addColumn<QVector<double> >("thickness");
    QTest::addColumn<double>("radius");
    QTest::newRow("conductor under resistor") << QVector<double>{100, 10} << QVector<double>{50} << 20.0;
    QTest::newRow("resistor under conductor") << QVector<double>{10, 100} << QVector<double>{50} << 20.0;
    QTest::newRow("buried conductive layer") << QVector<double>{100, 10, 100} << QVector<double>{50, 40} << 20.0;
    QTest::newRow("1000 over 1") << QVector<double>{1000, 1} << QVector<double>{100} << 20.0;
    QTest::newRow("0.1 over 10000") << QVector<double>{0.1, 10000} << QVector<double>{200} << 20.0;
    QTest::newRow("10000 over 0.1") << QVector<double>{10000, 0.1} << QVector<double>{5} << 20.0;
    QTest::newRow("thin top, resistive base") << QVector<double>{1, 10000} << QVector<double>{10} << 20.0;
    QTest::newRow("resistive over more resistive") << QVector<double>{1000, 10000} << QVector<double>{50} << 20.0;
    QTest::newRow("four layers, 50 m loop") << QVector<double>{300, 30, 3000, 10}
                                            << QVector<double>{20, 60, 200} << 50.0;
    QVector<double> rho;
    QVector<double> thickness;
    manyLayers(rho, thickness);
    QTest::newRow("80 layers") << rho << thickness << 20.0;
}

void TestLayeredEarthResponse::agreesWithTheGeneratorsForward()
{
    QFETCH(QVector<double>, rho);
    QFETCH(QVector<double>, thickness);
    QFETCH(double, radius);
    const QVector<double> times = logTimes(1e-6, 5e-2, 7);
    const LayeredEarthResponse forward(times, radius);
    const QVector<double> v = forward.dBzDt(rho, thickness);
    const CentralLoopResponse reference(rho, thickness, radius, times.first(), times.last());
    QVERIFY(reference.isValid());
    for (int i = 0; i < times.size(); ++i) {
        const double expected = reference.dBzDt(times[i]);
        const double error = std::fabs(v[i] - expected);
        QVERIFY2(error <= 0.005 * std::max(std::fabs(expected), kFloor),
                 qPrintable(QString("t = %1 s: %2 against %3 (%4 %)")
                                .arg(times[i]).arg(v[i]).arg(expected).arg(100.0 * (v[i] / expected - 1.0))));
    }
}

void TestLayeredEarthResponse::derivativesMatchDifferences()
{
    const QVector<double> times = logTimes(1.6e-4, 2e-2, 20);
    const LayeredEarthResponse forward(times, 20.0);
    const int n = 12;
    QVector<double> rho(n);
    QVector<double> h(n - 1);
    for (int i = 0; i < n; ++i) {
        rho[i] = 60.0 * std::exp(1.5 * std::sin(0.9 * i));
        if (i < n - 1)
            h[i] = 8.0 * std::pow(1.3, i);
    }
    QVector<double> v(times.size());
    QVector<double> jacobian(times.size() * n);
    QVERIFY(forward.evaluate(rho.constData(), h.constData(), n, v.data(), jacobian.data()));
    const double step = 1e-4;
    for (int k = 0; k < n; ++k) {
        QVector<double> up = rho;
        QVector<double> down = rho;
        up[k] *= std::exp(step);
        down[k] *= std::exp(-step);
        const QVector<double> vu = forward.dBzDt(up, h);
        const QVector<double> vd = forward.dBzDt(down, h);
        for (int j = 0; j < times.size(); ++j) {
            const double difference = (std::log(-vu[j]) - std::log(-vd[j])) / (2.0 * step);
            QVERIFY2(std::fabs(difference - jacobian[j * n + k]) < 1e-4,
                     qPrintable(QString("layer %1, time %2: %3 against %4").arg(k).arg(j)
                                    .arg(jacobian[j * n + k]).arg(difference)));
        }
    }
}

void TestLayeredEarthResponse::unusableInputGivesNaN()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QVERIFY(!LayeredEarthResponse({1e-3, 0.0}, 20.0).isValid());
    QVERIFY(!LayeredEarthResponse({1e-3}, nan).isValid());
    QVERIFY(!LayeredEarthResponse({}, 20.0).isValid());
    const LayeredEarthResponse forward({1e-4, 1e-3}, 20.0);
    for (const QVector<double>& rho : {QVector<double>{100, -1}, QVector<double>{nan, 10}, QVector<double>{}}) {
        const QVector<double> v = forward.dBzDt(rho, {10});
        for (double x : v)
            QVERIFY(std::isnan(x));
    }
    // A thickness that is not positive, or a count that does not fit.
    for (const QVector<double>& h : {QVector<double>{0.0}, QVector<double>{10, 10}})
        QVERIFY(std::isnan(forward.dBzDt({100, 10}, h).first()));
    QVERIFY(std::isnan(LayeredEarthResponse::halfSpace(0.0, 100.0, 20.0)));
}

QTEST_APPLESS_MAIN(TestLayeredEarthResponse)
#include "tst_layeredearthresponse.moc"
