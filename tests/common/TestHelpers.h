#ifndef HW_TESTHELPERS_H
#define HW_TESTHELPERS_H

#include <QTest>
#include <QVector>
#include <QString>
#include <cmath>

// Shared comparison helpers for the Qt Test suites.
namespace hwtest {

// True when a and b agree within a relative tolerance (absolute near zero).
inline bool nearlyEqual(double a, double b, double relTol = 1e-9, double absTol = 1e-12)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    if (std::isinf(a) || std::isinf(b))
        return a == b;
    const double diff = std::fabs(a - b);
    return diff <= absTol || diff <= relTol * std::max(std::fabs(a), std::fabs(b));
}

inline QString describe(const QVector<double> &v)
{
    QStringList parts;
    for (double d : v)
        parts << QString::number(d, 'g', 17);
    return "{" + parts.join(", ") + "}";
}

// Element-wise fuzzy vector comparison with a readable failure message.
inline bool vectorsNear(const QVector<double> &actual, const QVector<double> &expected,
                        double relTol = 1e-9, double absTol = 1e-12, QString *why = nullptr)
{
    if (actual.size() != expected.size()) {
        if (why)
            *why = QString("size %1 != %2: %3 vs %4").arg(actual.size()).arg(expected.size())
                       .arg(describe(actual), describe(expected));
        return false;
    }
    for (int i = 0; i < actual.size(); ++i) {
        if (!nearlyEqual(actual[i], expected[i], relTol, absTol)) {
            if (why)
                *why = QString("index %1: %2 != %3").arg(i)
                           .arg(actual[i], 0, 'g', 17).arg(expected[i], 0, 'g', 17);
            return false;
        }
    }
    return true;
}

} // namespace hwtest

#define HW_COMPARE_NEAR(actual, expected, relTol) \
    do { \
        const double hw_a = (actual), hw_e = (expected); \
        if (!hwtest::nearlyEqual(hw_a, hw_e, (relTol), 1e-300)) \
            QFAIL(qPrintable(QString("%1 = %2, expected %3 (rel tol %4)") \
                                 .arg(#actual).arg(hw_a, 0, 'g', 17) \
                                 .arg(hw_e, 0, 'g', 17).arg(relTol))); \
    } while (0)

#define HW_COMPARE_VECTORS(actual, expected, relTol, absTol) \
    do { \
        QString hw_why; \
        if (!hwtest::vectorsNear((actual), (expected), (relTol), (absTol), &hw_why)) \
            QFAIL(qPrintable(QString("%1: %2").arg(#actual, hw_why))); \
    } while (0)

#endif
