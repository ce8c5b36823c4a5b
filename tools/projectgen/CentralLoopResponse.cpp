#include "tools/projectgen/CentralLoopResponse.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_integration.h>
#include <gsl/gsl_sf_bessel.h>
#include <gsl/gsl_sum.h>

#include <cmath>
#include <complex>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Frequency grid: points per decade, and how far beyond 1/t it reaches.
constexpr int kPointsPerDecade = 60;
constexpr double kLowReach = 1e-3;
constexpr double kHighReach = 1e3;
// Quadrature with extrapolation. The series is extrapolated only from the
// kMinIntervals-th partial integral on: the first ones do not yet alternate
// regularly, and two extrapolations from them can agree by chance (at early
// times over a good conductor, or late over a resistive basement).
constexpr int kMaxIntervals = 300;
constexpr int kMinIntervals = 20;
constexpr double kIntervalTolerance = 1e-12;
constexpr double kSeriesTolerance = 1e-10;
constexpr size_t kWorkspaceSize = 1000;

bool positiveFinite(double v)
{
    return std::isfinite(v) && v > 0.0;
}

template <typename F>
double trampoline(double x, void* p)
{
    return (*static_cast<const F*>(p))(x);
}

struct Workspaces {
    Workspaces()
        : quad(gsl_integration_workspace_alloc(kWorkspaceSize))
        , levin(gsl_sum_levin_u_alloc(kMaxIntervals))
    {
    }
    ~Workspaces()
    {
        gsl_integration_workspace_free(quad);
        gsl_sum_levin_u_free(levin);
    }
    Workspaces(const Workspaces&) = delete;
    Workspaces& operator=(const Workspaces&) = delete;
    gsl_integration_workspace* quad;
    gsl_sum_levin_u_workspace* levin;
};

// Int_0^inf f(x) dx, f oscillating with zeros at breakpoint(1), (2), ...:
// partial integrals between the zeros, summed with the Levin u-transform
// until two successive sums agree. The first interval is integrated piece by
// piece, split at those of the increasing points firstSplits inside it.
template <typename F, typename B>
double integrateWithExtrapolation(const F& f, const B& breakpoint, Workspaces& ws,
                                  const std::vector<double>& firstSplits = {})
{
    gsl_function fn{&trampoline<F>, const_cast<F*>(&f)};
    const auto integrate = [&fn, &ws](double from, double to) {
        double value = 0.0;
        double error = 0.0;
        // A tolerance that round-off prevents still gives the best estimate.
        gsl_integration_qag(&fn, from, to, 0.0, kIntervalTolerance, kWorkspaceSize, GSL_INTEG_GAUSS21,
                            ws.quad, &value, &error);
        return value;
    };
    std::vector<double> terms;
    terms.reserve(kMaxIntervals);
    double lo = 0.0;
    double previous = std::numeric_limits<double>::quiet_NaN();
    double sum = 0.0;
    int agreeing = 0;
    for (int n = 1; n <= kMaxIntervals; ++n) {
        const double hi = breakpoint(n);
        double part = 0.0;
        for (size_t k = 0; n == 1 && k < firstSplits.size(); ++k) {
            if (firstSplits[k] > lo && firstSplits[k] < hi) {
                part += integrate(lo, firstSplits[k]);
                lo = firstSplits[k];
            }
        }
        part += integrate(lo, hi);
        terms.push_back(part);
        lo = hi;
        if (n < kMinIntervals)
            continue;
        double accelerated = 0.0;
        double estimate = 0.0;
        if (gsl_sum_levin_u_accel(terms.data(), terms.size(), ws.levin, &accelerated, &estimate)
                != GSL_SUCCESS
            || !std::isfinite(accelerated)) {
            continue;
        }
        sum = accelerated;
        if (std::fabs(accelerated - previous) <= kSeriesTolerance * std::fabs(accelerated)) {
            if (++agreeing >= 2)
                break;
        } else {
            agreeing = 0;
        }
        previous = accelerated;
    }
    return sum;
}

} // namespace

CentralLoopResponse::CentralLoopResponse(const QVector<double>& resistivities,
                                         const QVector<double>& thicknesses, double loopRadius,
                                         double earliest, double latest)
    : m_rho(resistivities.cbegin(), resistivities.cend())
    , m_thickness(thicknesses.cbegin(), thicknesses.cend())
    , m_radius(loopRadius)
{
    // GSL reports through return values here, never by ending the process.
    SafeInterpolator::disableGslAbort();

    m_valid = !m_rho.empty() && m_thickness.size() + 1 == m_rho.size() && positiveFinite(loopRadius)
        && positiveFinite(earliest) && positiveFinite(latest) && latest >= earliest;
    for (double r : m_rho)
        m_valid = m_valid && positiveFinite(r);
    for (double h : m_thickness)
        m_valid = m_valid && positiveFinite(h);
    if (!m_valid)
        return;

    const double step = std::log(10.0) / kPointsPerDecade;
    const double first = std::log(kLowReach / latest);
    const double last = std::log(kHighReach / earliest);
    const int count = static_cast<int>(std::ceil((last - first) / step)) + 1;
    for (int k = 0; k < count; ++k) {
        const double lnOmega = first + k * step;
        const double field = quadratureField(std::exp(lnOmega));
        // A layered earth delays the field: Im Hz < 0 at every frequency.
        if (!(field < 0.0) || !std::isfinite(field)) {
            m_valid = false;
            return;
        }
        m_lnOmega.push_back(lnOmega);
        m_lnField.push_back(std::log(-field));
    }
    const size_t n = m_lnOmega.size();
    m_lowSlope = (m_lnField[1] - m_lnField[0]) / (m_lnOmega[1] - m_lnOmega[0]);
    m_highSlope = (m_lnField[n - 1] - m_lnField[n - 2]) / (m_lnOmega[n - 1] - m_lnOmega[n - 2]);
    m_spline.setData(m_lnOmega.data(), m_lnField.data(), int(n), SafeInterpolator::CSpline);
}

CentralLoopResponse::~CentralLoopResponse() = default;

double CentralLoopResponse::kernel(double lambda, double omega) const
{
    using Complex = std::complex<double>;
    const double l2 = lambda * lambda;
    const size_t n = m_rho.size();
    Complex admittance = std::sqrt(Complex(l2, omega * kMu0 / m_rho[n - 1]));
    for (size_t i = n - 1; i-- > 0;) {
        const Complex u = std::sqrt(Complex(l2, omega * kMu0 / m_rho[i]));
        // tanh through e^(-2uh), which cannot overflow for thick layers.
        const Complex e = std::exp(-2.0 * u * m_thickness[i]);
        const Complex th = (1.0 - e) / (1.0 + e);
        admittance = u * (admittance + u * th) / (u + admittance * th);
    }
    // Im [lambda^2 / (lambda + U)]
    return -l2 * admittance.imag() / std::norm(lambda + admittance);
}

double CentralLoopResponse::quadratureField(double omega) const
{
    if (!m_valid || !positiveFinite(omega))
        return std::numeric_limits<double>::quiet_NaN();
    Workspaces ws;
    const double a = m_radius;
    const auto integrand = [this, omega, a](double lambda) {
        return kernel(lambda, omega) * gsl_sf_bessel_J1(lambda * a);
    };
    const auto zero = [a](int n) { return gsl_sf_bessel_zero_J1(n) / a; };
    // At low frequencies the kernel turns over at the layers' wavenumbers
    // sqrt(w mu0 / rho), far below the first zero of J1, where a quadrature
    // over the whole first interval does not see it and misjudges its own
    // error: that interval is split at decades from a tenth of the smallest
    // wavenumber.
    double wavenumber = std::numeric_limits<double>::infinity();
    for (double r : m_rho)
        wavenumber = std::min(wavenumber, std::sqrt(omega * kMu0 / r));
    std::vector<double> splits;
    for (double x = 0.1 * wavenumber; x < zero(1); x *= 10.0)
        splits.push_back(x);
    return a * integrateWithExtrapolation(integrand, zero, ws, splits);
}

double CentralLoopResponse::interpolatedField(double omega) const
{
    const double x = std::log(omega);
    double lnField = 0.0;
    if (x < m_lnOmega.front())
        lnField = m_lnField.front() + m_lowSlope * (x - m_lnOmega.front());
    else if (x > m_lnOmega.back())
        lnField = m_lnField.back() + m_highSlope * (x - m_lnOmega.back());
    else
        lnField = m_spline.value(x);
    return -std::exp(lnField);
}

double CentralLoopResponse::dBzDt(double t) const
{
    if (!m_valid || !positiveFinite(t))
        return std::numeric_limits<double>::quiet_NaN();
    Workspaces ws;
    const auto integrand = [this, t](double omega) {
        return omega > 0.0 ? interpolatedField(omega) * std::sin(omega * t) : 0.0;
    };
    const auto zero = [t](int n) { return n * kPi / t; };
    return 2.0 * kMu0 / kPi * integrateWithExtrapolation(integrand, zero, ws);
}

QVector<double> CentralLoopResponse::dBzDt(const QVector<double>& times) const
{
    QVector<double> values(times.size());
    for (int i = 0; i < times.size(); ++i)
        values[i] = dBzDt(times[i]);
    return values;
}
