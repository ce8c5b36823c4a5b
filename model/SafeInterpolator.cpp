#include "model/SafeInterpolator.h"

#include <gsl/gsl_errno.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <utility>

namespace {

const gsl_interp_type *gslType(SafeInterpolator::Type t)
{
    switch (t) {
    case SafeInterpolator::Steffen: return gsl_interp_steffen;
    case SafeInterpolator::CSpline: return gsl_interp_cspline;
    case SafeInterpolator::Akima: return gsl_interp_akima;
    case SafeInterpolator::Linear: break;
    }
    return gsl_interp_linear;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

void SafeInterpolator::disableGslAbort()
{
    static std::once_flag once;
    std::call_once(once, [] { gsl_set_error_handler_off(); });
}

void SafeInterpolator::sortAndMerge(QVector<double> &x, QVector<double> &y)
{
    const int n = std::min(x.size(), y.size());
    QVector<int> idx;
    idx.reserve(n);
    for (int i = 0; i < n; ++i) {
        if (std::isfinite(x[i]) && std::isfinite(y[i]))
            idx.append(i);
    }
    // Stable, so within a run of equal abscissae the input order is kept and
    // the last of the run is the last in input order.
    std::stable_sort(idx.begin(), idx.end(), [&x](int a, int b) { return x[a] < x[b]; });

    QVector<double> ox, oy;
    ox.reserve(idx.size());
    oy.reserve(idx.size());
    for (int k = 0; k < idx.size(); ++k) {
        const double xv = x[idx[k]];
        const double yv = y[idx[k]];
        if (!ox.isEmpty() && ox.last() == xv)
            oy.last() = yv;
        else {
            ox.append(xv);
            oy.append(yv);
        }
    }
    x = std::move(ox);
    y = std::move(oy);
}

SafeInterpolator::SafeInterpolator()
{
    disableGslAbort();
}

SafeInterpolator::SafeInterpolator(const QVector<double> &x, const QVector<double> &y, Type type)
{
    disableGslAbort();
    setData(x, y, type);
}

SafeInterpolator::SafeInterpolator(const double *x, const double *y, int n, Type type)
{
    disableGslAbort();
    setData(x, y, n, type);
}

SafeInterpolator::SafeInterpolator(const SafeInterpolator &other)
    : m_x(other.m_x), m_y(other.m_y), m_requested(other.m_requested),
      m_effective(other.m_effective), m_policy(other.m_policy), m_outside(other.m_outside)
{
    build();
}

SafeInterpolator &SafeInterpolator::operator=(const SafeInterpolator &other)
{
    if (this != &other) {
        release();
        m_x = other.m_x;
        m_y = other.m_y;
        m_requested = other.m_requested;
        m_policy = other.m_policy;
        m_outside = other.m_outside;
        build();
    }
    return *this;
}

SafeInterpolator::SafeInterpolator(SafeInterpolator &&other) noexcept
    : m_x(std::move(other.m_x)), m_y(std::move(other.m_y)), m_requested(other.m_requested),
      m_effective(other.m_effective), m_policy(other.m_policy), m_outside(other.m_outside),
      m_interp(other.m_interp)
{
    // The GSL object keeps no pointer to the data, so it may move with them.
    other.m_interp = nullptr;
    other.m_x.clear();
    other.m_y.clear();
}

SafeInterpolator &SafeInterpolator::operator=(SafeInterpolator &&other) noexcept
{
    if (this != &other) {
        release();
        m_x = std::move(other.m_x);
        m_y = std::move(other.m_y);
        m_requested = other.m_requested;
        m_effective = other.m_effective;
        m_policy = other.m_policy;
        m_outside = other.m_outside;
        m_interp = other.m_interp;
        other.m_interp = nullptr;
        other.m_x.clear();
        other.m_y.clear();
    }
    return *this;
}

SafeInterpolator::~SafeInterpolator()
{
    release();
}

bool SafeInterpolator::setData(const QVector<double> &x, const QVector<double> &y, Type type)
{
    const int n = std::min(x.size(), y.size());
    return setData(x.constData(), y.constData(), n, type);
}

bool SafeInterpolator::setData(const double *x, const double *y, int n, Type type)
{
    release();
    m_requested = type;
    m_x.clear();
    m_y.clear();
    if (x && y && n > 0) {
        m_x = QVector<double>(x, x + n);
        m_y = QVector<double>(y, y + n);
    }
    sortAndMerge(m_x, m_y);
    build();
    return isValid();
}

void SafeInterpolator::build()
{
    disableGslAbort();
    m_effective = m_requested;
    const int n = m_x.size();
    if (n < 2) {
        m_effective = Linear;
        return;
    }
    if (static_cast<unsigned>(n) < gsl_interp_type_min_size(gslType(m_effective)))
        m_effective = Linear;
    m_interp = gsl_interp_alloc(gslType(m_effective), static_cast<size_t>(n));
    if (m_interp
        && gsl_interp_init(m_interp, m_x.constData(), m_y.constData(), static_cast<size_t>(n))
               != GSL_SUCCESS) {
        gsl_interp_free(m_interp);
        m_interp = nullptr;
    }
    if (!m_interp && m_effective != Linear) {
        // A higher-order scheme that refused the data still leaves linear.
        m_effective = Linear;
        m_interp = gsl_interp_alloc(gsl_interp_linear, static_cast<size_t>(n));
        if (m_interp
            && gsl_interp_init(m_interp, m_x.constData(), m_y.constData(), static_cast<size_t>(n))
                   != GSL_SUCCESS) {
            gsl_interp_free(m_interp);
            m_interp = nullptr;
        }
    }
}

void SafeInterpolator::release()
{
    if (m_interp) {
        gsl_interp_free(m_interp);
        m_interp = nullptr;
    }
}

void SafeInterpolator::setOutsideValue(double v)
{
    m_policy = UseOutsideValue;
    m_outside = v;
}

void SafeInterpolator::setClamp()
{
    m_policy = Clamp;
}

double SafeInterpolator::xMin() const
{
    return m_x.isEmpty() ? kNaN : m_x.first();
}

double SafeInterpolator::xMax() const
{
    return m_x.isEmpty() ? kNaN : m_x.last();
}

bool SafeInterpolator::contains(double x) const
{
    return !m_x.isEmpty() && x >= m_x.first() && x <= m_x.last();
}

double SafeInterpolator::value(double x) const
{
    if (!contains(x)) {
        if (m_policy == UseOutsideValue)
            return m_outside;
        if (m_x.isEmpty() || std::isnan(x))
            return kNaN;
        return x < m_x.first() ? m_y.first() : m_y.last();
    }
    if (m_x.size() == 1)
        return m_y.first();
    if (!m_interp) {
        // Only reachable if GSL could not allocate; linear by hand.
        const auto it = std::upper_bound(m_x.cbegin(), m_x.cend(), x);
        const int hi = std::min<int>(int(it - m_x.cbegin()), m_x.size() - 1);
        const int lo = hi - 1;
        const double t = (x - m_x[lo]) / (m_x[hi] - m_x[lo]);
        return m_y[lo] + t * (m_y[hi] - m_y[lo]);
    }
    double out = kNaN;
    if (gsl_interp_eval_e(m_interp, m_x.constData(), m_y.constData(), x, nullptr, &out)
        != GSL_SUCCESS)
        return kNaN;
    return out;
}

QVector<double> SafeInterpolator::values(const QVector<double> &xs) const
{
    QVector<double> out;
    out.reserve(xs.size());
    for (double x : xs)
        out.append(value(x));
    return out;
}
