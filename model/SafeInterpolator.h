#ifndef HW_SAFEINTERPOLATOR_H
#define HW_SAFEINTERPOLATOR_H

#include <QVector>

#include <gsl/gsl_interp.h>

// One-dimensional interpolation through GSL that cannot end the process and
// never evaluates outside the data range.
//
// Use:
//     SafeInterpolator ip(xs, ys, SafeInterpolator::Steffen);
//     ip.setOutsideValue(mean);          // or keep the default: clamp
//     double v = ip.value(q);
//
// Preparing the points (setData):
//  - pairs whose abscissa or ordinate is NaN or infinite are dropped;
//  - the rest are sorted by abscissa; equal abscissae are merged into one
//    point that takes the ordinate of the LAST of them in input order (the
//    same rule as Data_Mathematical_Calc::sortByX);
//  - with 0 usable points the interpolator is empty (isValid() false);
//    with 1 point it is a constant; with fewer points than the requested
//    type needs (cspline and steffen need 3, akima 5) it falls back to
//    linear; effectiveType() tells which one is in use.
//
// Evaluating (value):
//  - inside [xMin(), xMax()] (both ends inclusive) the interpolant;
//  - outside, by default the value at the nearest end (Clamp); after
//    setOutsideValue(v) the constant v instead;
//  - an empty interpolator has no range, so every query is outside: it
//    returns the outside value when one was set and NaN otherwise;
//  - a NaN query returns the outside value when set, otherwise NaN.
//
// value() is const and keeps no lookup cache, so one prepared interpolator
// may be read from several threads at once.
class SafeInterpolator
{
public:
    enum Type { Linear, Steffen, CSpline, Akima };
    enum OutsidePolicy { Clamp, UseOutsideValue };

    SafeInterpolator();
    SafeInterpolator(const QVector<double> &x, const QVector<double> &y, Type type = Linear);
    SafeInterpolator(const double *x, const double *y, int n, Type type = Linear);
    SafeInterpolator(const SafeInterpolator &other);
    SafeInterpolator &operator=(const SafeInterpolator &other);
    SafeInterpolator(SafeInterpolator &&other) noexcept;
    SafeInterpolator &operator=(SafeInterpolator &&other) noexcept;
    ~SafeInterpolator();

    // Replaces the points; the outside policy is kept. Returns isValid().
    // With differing lengths only the common prefix is used.
    bool setData(const QVector<double> &x, const QVector<double> &y, Type type = Linear);
    bool setData(const double *x, const double *y, int n, Type type = Linear);

    void setOutsideValue(double v);   // outside the range: return v
    void setClamp();                  // outside the range: nearest end value (default)
    OutsidePolicy outsidePolicy() const { return m_policy; }

    bool isValid() const { return !m_x.isEmpty(); }
    int pointCount() const { return m_x.size(); }   // after dropping and merging
    Type requestedType() const { return m_requested; }
    Type effectiveType() const { return m_effective; }
    double xMin() const;   // NaN when empty
    double xMax() const;   // NaN when empty
    bool contains(double x) const;   // xMin() <= x <= xMax()

    double value(double x) const;
    QVector<double> values(const QVector<double> &xs) const;

    // Sorts the pairs by x and merges equal abscissae, the last one in input
    // order winning; drops non-finite pairs. Both vectors end equally long.
    static void sortAndMerge(QVector<double> &x, QVector<double> &y);

    // Switches GSL's abort-on-error handler off for the whole process. Safe
    // to call any number of times and from any thread; the interpolator and
    // the model's GSL users call it themselves, so library use without our
    // main() is covered too.
    static void disableGslAbort();

private:
    void build();
    void release();

    QVector<double> m_x;
    QVector<double> m_y;
    Type m_requested = Linear;
    Type m_effective = Linear;
    OutsidePolicy m_policy = Clamp;
    double m_outside = 0.0;
    gsl_interp *m_interp = nullptr;   // null for the empty and one-point cases
};

#endif
