#include <QtTest>

#include <gsl/gsl_errno.h>
#include <gsl/gsl_interp.h>

#include <cmath>
#include <limits>

#include "common/TestHelpers.h"
#include "model/SafeInterpolator.h"

namespace {
const double NaN = std::numeric_limits<double>::quiet_NaN();
}

Q_DECLARE_METATYPE(SafeInterpolator::Type)

class TestSafeInterpolator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SafeInterpolator::disableGslAbort(); }

    void evaluation_data();
    void evaluation();
    void fallsBackWhenTooFewPoints_data();
    void fallsBackWhenTooFewPoints();
    void outsideValueReplacesClamp();
    void emptyInterpolator();
    void steffenStaysMonotone();
    void cubicSplineFollowsSmoothData();
    void copyAndMoveKeepThePoints();
    void sortAndMergeLastDuplicateWins();
    void gslErrorsDoNotEndTheProcess();
};

void TestSafeInterpolator::evaluation_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("y");
    QTest::addColumn<QVector<double>>("queries");
    QTest::addColumn<QVector<double>>("expected");

    const int lin = SafeInterpolator::Linear;
    QTest::newRow("linear inside and both ends")
        << lin << QVector<double>{0, 10} << QVector<double>{10, 20}
        << QVector<double>{5, 0, 10} << QVector<double>{15, 10, 20};
    QTest::newRow("outside clamps to the nearest end")
        << lin << QVector<double>{0, 10} << QVector<double>{10, 20}
        << QVector<double>{-3, 12} << QVector<double>{10, 20};
    QTest::newRow("unsorted input is sorted in pairs")
        << lin << QVector<double>{10, 0, 5} << QVector<double>{20, 10, 0}
        << QVector<double>{2.5, 7.5} << QVector<double>{5, 10};
    QTest::newRow("equal abscissae: last ordinate wins")
        << lin << QVector<double>{0, 5, 10, 5} << QVector<double>{0, 100, 10, 50}
        << QVector<double>{5, 2.5} << QVector<double>{50, 25};
    QTest::newRow("non-finite pairs are dropped")
        << lin << QVector<double>{0, NaN, 4, 10, INFINITY} << QVector<double>{0, 7, NaN, 10, 3}
        << QVector<double>{4, 10} << QVector<double>{4, 10};
    QTest::newRow("one point is a constant")
        << int(SafeInterpolator::CSpline) << QVector<double>{3} << QVector<double>{7}
        << QVector<double>{-100, 3, 100} << QVector<double>{7, 7, 7};
    QTest::newRow("all abscissae equal give one point")
        << int(SafeInterpolator::Steffen) << QVector<double>{2, 2, 2} << QVector<double>{1, 2, 3}
        << QVector<double>{0, 2, 9} << QVector<double>{3, 3, 3};
    QTest::newRow("NaN query clamps to NaN")
        << lin << QVector<double>{0, 1} << QVector<double>{0, 1}
        << QVector<double>{NaN} << QVector<double>{NaN};
}

void TestSafeInterpolator::evaluation()
{
    QFETCH(int, type);
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, y);
    QFETCH(QVector<double>, queries);
    QFETCH(QVector<double>, expected);

    SafeInterpolator ip(x, y, SafeInterpolator::Type(type));
    QVERIFY(ip.isValid());
    HW_COMPARE_VECTORS(ip.values(queries), expected, 1e-12, 1e-12);

    // The pointer form prepares the same points.
    SafeInterpolator fromArrays(x.constData(), y.constData(), x.size(), SafeInterpolator::Type(type));
    HW_COMPARE_VECTORS(fromArrays.values(queries), expected, 1e-12, 1e-12);
}

void TestSafeInterpolator::fallsBackWhenTooFewPoints_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("effective");

    QTest::newRow("cspline with 2") << int(SafeInterpolator::CSpline) << 2 << int(SafeInterpolator::Linear);
    QTest::newRow("steffen with 2") << int(SafeInterpolator::Steffen) << 2 << int(SafeInterpolator::Linear);
    QTest::newRow("akima with 4") << int(SafeInterpolator::Akima) << 4 << int(SafeInterpolator::Linear);
    QTest::newRow("steffen with 3") << int(SafeInterpolator::Steffen) << 3 << int(SafeInterpolator::Steffen);
    QTest::newRow("cspline with 3") << int(SafeInterpolator::CSpline) << 3 << int(SafeInterpolator::CSpline);
    QTest::newRow("akima with 5") << int(SafeInterpolator::Akima) << 5 << int(SafeInterpolator::Akima);
}

void TestSafeInterpolator::fallsBackWhenTooFewPoints()
{
    QFETCH(int, type);
    QFETCH(int, points);
    QFETCH(int, effective);

    QVector<double> x, y;
    for (int i = 0; i < points; ++i) {
        x << i;
        y << 2.0 * i + 1.0;   // a line, reproduced by every scheme
    }
    SafeInterpolator ip(x, y, SafeInterpolator::Type(type));
    QCOMPARE(int(ip.requestedType()), type);
    QCOMPARE(int(ip.effectiveType()), effective);
    QCOMPARE(ip.pointCount(), points);
    HW_COMPARE_NEAR(ip.value(0.5), 2.0, 1e-12);
    HW_COMPARE_NEAR(ip.value(points - 1.0), 2.0 * (points - 1) + 1.0, 1e-12);
}

void TestSafeInterpolator::outsideValueReplacesClamp()
{
    SafeInterpolator ip(QVector<double>{0, 10}, QVector<double>{10, 20});
    ip.setOutsideValue(-1.0);
    QCOMPARE(ip.outsidePolicy(), SafeInterpolator::UseOutsideValue);
    QCOMPARE(ip.value(-0.001), -1.0);
    QCOMPARE(ip.value(10.001), -1.0);
    QCOMPARE(ip.value(NaN), -1.0);
    QCOMPARE(ip.value(0.0), 10.0);
    QCOMPARE(ip.value(10.0), 20.0);
    QVERIFY(ip.contains(10.0));
    QVERIFY(!ip.contains(10.001));

    // New data keep the chosen policy.
    ip.setData(QVector<double>{1, 2}, QVector<double>{0, 1});
    QCOMPARE(ip.value(3.0), -1.0);
    ip.setClamp();
    QCOMPARE(ip.value(3.0), 1.0);
}

void TestSafeInterpolator::emptyInterpolator()
{
    SafeInterpolator none;
    QVERIFY(!none.isValid());
    QVERIFY(std::isnan(none.value(0.0)));
    QVERIFY(std::isnan(none.xMin()));
    QVERIFY(!none.contains(0.0));

    SafeInterpolator allBad(QVector<double>{NaN, 1}, QVector<double>{1, NaN});
    QVERIFY(!allBad.isValid());
    QCOMPARE(allBad.pointCount(), 0);

    SafeInterpolator nullArrays(nullptr, nullptr, 5);
    QVERIFY(!nullArrays.isValid());

    // Every query lies outside an empty range.
    SafeInterpolator withOutside;
    withOutside.setOutsideValue(42.0);
    QCOMPARE(withOutside.value(1.0), 42.0);
    QVERIFY(withOutside.values(QVector<double>{1, 2}) == (QVector<double>{42, 42}));

    // Mismatched lengths use the common prefix.
    SafeInterpolator prefix(QVector<double>{0, 1, 2}, QVector<double>{5, 6});
    QCOMPARE(prefix.pointCount(), 2);
    QCOMPARE(prefix.xMax(), 1.0);
}

void TestSafeInterpolator::steffenStaysMonotone()
{
    // A step: a cubic spline overshoots here, Steffen's method must not.
    const QVector<double> x{0, 1, 2, 3, 4, 5};
    const QVector<double> y{0, 0, 0, 1, 1, 1};
    SafeInterpolator ip(x, y, SafeInterpolator::Steffen);
    QCOMPARE(ip.effectiveType(), SafeInterpolator::Steffen);
    double previous = -1.0;
    for (double q = 0.0; q <= 5.0; q += 0.01) {
        const double v = ip.value(q);
        QVERIFY2(v >= -1e-12 && v <= 1.0 + 1e-12, qPrintable(QString::number(q)));
        QVERIFY(v >= previous - 1e-12);
        previous = v;
    }
}

void TestSafeInterpolator::cubicSplineFollowsSmoothData()
{
    QVector<double> x, y;
    for (int i = 0; i <= 40; ++i) {
        x << i * 0.1;
        y << std::sin(i * 0.1);
    }
    SafeInterpolator ip(x, y, SafeInterpolator::CSpline);
    QCOMPARE(ip.effectiveType(), SafeInterpolator::CSpline);
    for (double q = 0.3; q < 3.7; q += 0.037)
        QVERIFY2(std::fabs(ip.value(q) - std::sin(q)) < 1e-4, qPrintable(QString::number(q)));
    HW_COMPARE_NEAR(ip.value(2.0), std::sin(2.0), 1e-12);
}

void TestSafeInterpolator::copyAndMoveKeepThePoints()
{
    SafeInterpolator original(QVector<double>{0, 1, 2, 3}, QVector<double>{0, 1, 4, 9},
                              SafeInterpolator::Steffen);
    original.setOutsideValue(-5.0);
    const double mid = original.value(1.5);

    SafeInterpolator copy(original);
    QCOMPARE(copy.value(1.5), mid);
    QCOMPARE(copy.value(7.0), -5.0);
    QCOMPARE(copy.effectiveType(), SafeInterpolator::Steffen);

    SafeInterpolator assigned;
    assigned = original;
    QCOMPARE(assigned.value(1.5), mid);

    SafeInterpolator moved(std::move(copy));
    QCOMPARE(moved.value(1.5), mid);
    QVERIFY(!copy.isValid());   // a moved-from interpolator is empty

    SafeInterpolator moveAssigned;
    moveAssigned = std::move(moved);
    QCOMPARE(moveAssigned.value(1.5), mid);

    // The original is untouched by all of this.
    QCOMPARE(original.value(1.5), mid);
}

void TestSafeInterpolator::sortAndMergeLastDuplicateWins()
{
    QVector<double> x{3, 1, 3, NaN};
    QVector<double> y{10, 20, 30, 40};
    SafeInterpolator::sortAndMerge(x, y);
    QCOMPARE(x, (QVector<double>{1, 3}));
    QCOMPARE(y, (QVector<double>{20, 30}));
}

void TestSafeInterpolator::gslErrorsDoNotEndTheProcess()
{
    // With GSL's default handler this call aborts: the abscissae are not
    // increasing.
    const double x[3] = {0, 0, 1};
    const double y[3] = {0, 1, 2};
    gsl_interp *raw = gsl_interp_alloc(gsl_interp_linear, 3);
    QVERIFY(raw);
    QCOMPARE(gsl_interp_init(raw, x, y, 3), int(GSL_EINVAL));
    gsl_interp_free(raw);

    // Calling again is harmless.
    SafeInterpolator::disableGslAbort();
    SafeInterpolator ip(x, y, 3, SafeInterpolator::CSpline);
    QCOMPARE(ip.pointCount(), 2);
    QCOMPARE(ip.effectiveType(), SafeInterpolator::Linear);
    QCOMPARE(ip.value(0.0), 1.0);
}

QTEST_APPLESS_MAIN(TestSafeInterpolator)
#include "tst_safe_interpolator.moc"
