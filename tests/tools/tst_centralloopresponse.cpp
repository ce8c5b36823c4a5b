// The generator's layered-earth forward model against the closed-form
// half-space response (Ward and Hohmann 1988) and against an independent
// Laplace-domain (Gaver-Stehfest) evaluation of a two-layer earth.

#include <QTest>

#include <cmath>

#include "common/TestHelpers.h"
#include "platform/inversion/InversionMethod.h"
#include "platform/inversion/LayeredEarth.h"
#include "tools/projectgen/CentralLoopResponse.h"

class TestCentralLoopResponse : public QObject
{
    Q_OBJECT

private slots:
    void wardHohmannValues_data();
    void wardHohmannValues();
    void halfSpaceClosedForm_data();
    void halfSpaceClosedForm();
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

void TestCentralLoopResponse::halfSpaceClosedForm_data()
{
    // The response depends on t x rho: these rows span t x rho from 1e-5 to
    // 30, beyond what the generator's records (10 us to 40 ms over 1 to
    // 1000 ohm-m) need. Far later (a very resistive earth at 0.1 s) the
    // quadrature loses digits to cancellation at low frequencies.
    QTest::addColumn<double>("rho");
    QTest::addColumn<double>("radius");
    QTest::addColumn<double>("earliest");
    QTest::addColumn<double>("latest");
    QTest::newRow("1 ohm-m") << 1.0 << 20.0 << 1e-5 << 0.1;
    QTest::newRow("10 ohm-m") << 10.0 << 20.0 << 1e-6 << 0.1;
    QTest::newRow("100 ohm-m") << 100.0 << 20.0 << 1e-6 << 0.1;
    QTest::newRow("3000 ohm-m") << 3000.0 << 20.0 << 1e-6 << 3e-3;
    QTest::newRow("100 ohm-m, 50 m loop") << 100.0 << 50.0 << 1e-6 << 0.1;
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
        QVERIFY2(hwtest::nearlyEqual(values[i], expected, 1e-5, 0.0),
                 qPrintable(QString("t = %1 s: %2 vs %3").arg(times[i]).arg(values[i], 0, 'g', 10)
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
