#include "platform/inversion/LayeredEarthResponse.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/inversion/DigitalFilter.h"
#include "platform/inversion/KernelLanes.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSqrtPi = 1.77245385090551602730;
constexpr double kGamma52 = 1.32934038817913702047;  // Gamma(5/2)
constexpr double kGamma72 = 3.32335097044784255118;  // Gamma(7/2)
// Below e^-kAttenuation the layers underneath no longer reach the surface.
constexpr double kAttenuation = 36.0;
// Grid points added beyond the earliest and the latest time, so that the
// spline's free ends lie outside the asked range.
constexpr int kGridMargin = 2;

bool positiveFinite(double v)
{
    return std::isfinite(v) && v > 0.0;
}

// Natural cubic spline on a uniform grid of n points: the matrix that takes
// the values to the second derivatives (divided by nothing: per unit step).
std::vector<double> secondDerivativeMatrix(int n)
{
    std::vector<double> c(static_cast<size_t>(n) * n, 0.0);
    if (n < 3)
        return c;
    // m[i-1] + 4 m[i] + m[i+1] = 6 (y[i+1] - 2 y[i] + y[i-1]), m[0] = m[n-1] = 0
    std::vector<double> cp(n, 0.0);
    for (int i = 1; i < n - 1; ++i)
        cp[i] = 1.0 / (4.0 - (i > 1 ? cp[i - 1] : 0.0));
    std::vector<double> rhs(n);
    std::vector<double> dp(n);
    for (int unit = 0; unit < n; ++unit) {
        for (int i = 0; i < n; ++i)
            rhs[i] = 0.0;
        for (int i = 1; i < n - 1; ++i) {
            const double y0 = i - 1 == unit ? 1.0 : 0.0;
            const double y1 = i == unit ? 1.0 : 0.0;
            const double y2 = i + 1 == unit ? 1.0 : 0.0;
            rhs[i] = 6.0 * (y2 - 2.0 * y1 + y0);
        }
        for (int i = 1; i < n - 1; ++i)
            dp[i] = (rhs[i] - (i > 1 ? dp[i - 1] : 0.0)) * cp[i];
        double next = 0.0;
        for (int i = n - 2; i >= 1; --i) {
            const double m = dp[i] - cp[i] * next;
            c[static_cast<size_t>(i) * n + unit] = m;
            next = m;
        }
    }
    return c;
}

} // namespace

// All of one frequency's work, wavenumber by wavenumber in parallel lanes
// (the loops run over the wavenumbers, so that they vectorise): the real
// part of the kernel difference summed by the Hankel filter, and, when
// asked, its derivatives by the layers' log resistivities (reverse
// accumulation through the recursion).
struct LayeredEarthResponse::Kernel {
    static constexpr int kLanes = 101;

    int n = 0;
    const double* thickness = nullptr;
    std::vector<double> sigmaMu;  // mu0 / rho_i
    const double* lambda = nullptr;
    const double* weight = nullptr;
    double lambda2[kLanes];
    // per layer and lane, kept for the reverse pass
    std::vector<double> uRe, uIm, bRe, bIm, eRe, eIm, gRe, gIm, rRe, rIm;
    double contribution[kLanes];

    void setUp(int layers, const double* h, const double* rho, const double* lambdas, const double* weights)
    {
        n = layers;
        thickness = h;
        lambda = lambdas;
        weight = weights;
        sigmaMu.resize(layers);
        for (int i = 0; i < layers; ++i)
            sigmaMu[i] = LayeredEarthResponse::kMu0 / rho[i];
        for (int l = 0; l < kLanes; ++l)
            lambda2[l] = lambdas[l] * lambdas[l];
        const size_t size = static_cast<size_t>(layers) * kLanes;
        for (std::vector<double>* v : {&uRe, &uIm, &bRe, &bIm, &eRe, &eIm, &gRe, &gIm, &rRe, &rIm}) {
            if (v->size() < size)
                v->resize(size);
        }
    }

    // The deepest layer each lane's field reaches (lanes in order of
    // wavenumber, so these do not increase): Re u >= lambda and Re u grows
    // with lambda, so the attenuation of the first lane at this frequency,
    // and 2 lambda z, both bound every lane's from below.
    void laneBottoms(double omega, int* bottoms, int* deepest) const
    {
        int reach = n - 1;
        double attenuation = 0.0;
        for (int i = 0; i < n - 1; ++i) {
            double re;
            double im;
            kernellanes::rootLanes(lambda2[0], omega * sigmaMu[i], re, im);
            attenuation += 2.0 * re * thickness[i];
            if (attenuation > kAttenuation) {
                reach = i + 1;
                break;
            }
        }
        *deepest = reach;
        int layer = 0;
        double top = 0.0;  // depth of the top of `layer`
        for (int l = kLanes - 1; l >= 0; --l) {
            // first layer whose top lies deeper than kAttenuation / (2 lambda)
            const double cut = 0.5 * kAttenuation / lambda[l];
            while (layer < reach && top + thickness[layer] <= cut) {
                top += thickness[layer];
                ++layer;
            }
            bottoms[l] = layer;
        }
    }

    double evaluate(double omega, double* grad);
};

double LayeredEarthResponse::Kernel::evaluate(double omega, double* grad)
{
    constexpr int L = kLanes;
    int bottoms[kLanes];
    int deepest = 0;
    laneBottoms(omega, bottoms, &deepest);
    const double bBase = omega * sigmaMu[n - 1];
    double admRe[kLanes];
    double admIm[kLanes];
    double baseRe[kLanes];
    double baseIm[kLanes];
    for (int l = 0; l < L; ++l)
        kernellanes::rootLanes(lambda2[l], bBase, baseRe[l], baseIm[l]);
    // Going up from the deepest layer reached, lanes join at their own
    // bottom layer with U = u there.
    int active = 0;
    for (int i = deepest; i >= 0; --i) {
        const size_t row = static_cast<size_t>(i) * L;
        const double b = omega * sigmaMu[i];
        while (active < L && bottoms[active] == i) {
            kernellanes::rootLanes(lambda2[active], b, admRe[active], admIm[active]);
            uRe[row + active] = admRe[active];
            uIm[row + active] = admIm[active];
            ++active;
        }
        if (i == 0)
            break;
        const size_t up = static_cast<size_t>(i - 1) * L;
        const auto step = grad ? kernellanes::layerStepKeeping : kernellanes::layerStep;
        step(active, lambda2, omega * sigmaMu[i - 1], 2.0 * thickness[i - 1], admRe, admIm, &uRe[up], &uIm[up],
             &bRe[up], &bIm[up], &eRe[up], &eIm[up], &gRe[up], &gIm[up], &rRe[up], &rIm[up]);
    }
    // Re[lambda^2 (uBase - U1) / ((lambda + U1)(lambda + uBase))]
    double adjRe[kLanes];
    double adjIm[kLanes];
    for (int l = 0; l < L; ++l) {
        const double l2 = lambda2[l];
        const double pr = lambda[l] + admRe[l];
        const double pi = admIm[l];
        const double qr = lambda[l] + baseRe[l];
        const double qi = baseIm[l];
        const double dr = pr * qr - pi * qi;
        const double di = pr * qi + pi * qr;
        double kr;
        double ki;
        kernellanes::divide(l2 * (baseRe[l] - admRe[l]), l2 * (baseIm[l] - admIm[l]), dr, di, kr, ki);
        contribution[l] = weight[l] * kr;
        // dK/dU1 = -lambda^2 / (lambda + U1)^2
        kernellanes::divide(-l2, 0.0, pr * pr - pi * pi, 2.0 * pr * pi, adjRe[l], adjIm[l]);
    }
    double value = 0.0;
    for (int l = 0; l < L; ++l)
        value += contribution[l];
    if (!grad)
        return value;

    // Lanes [0, below) reach under layer i; the others have their bottom
    // at i or above.
    int reaching = L;
    for (int i = 0; i <= deepest; ++i) {
        int below = 0;
        while (below < L && bottoms[below] > i)
            ++below;
        const double b = omega * sigmaMu[i];
        const double h = i < n - 1 ? thickness[i] : 0.0;  // the basement has none
        const size_t row = static_cast<size_t>(i) * L;
        const double* ur = &uRe[row];
        const double* ui = &uIm[row];
        const double* br = &bRe[row];
        const double* bi = &bIm[row];
        const double* er = &eRe[row];
        const double* ei = &eIm[row];
        const double* gr = &gRe[row];
        const double* gi = &gIm[row];
        const double* rr = &rRe[row];
        const double* ri = &rIm[row];
        double sum = 0.0;
        // lanes whose bottom is this layer: U = u here
        for (int l = below; l < reaching; ++l) {
            double mr;
            double mi;
            kernellanes::divide(0.0, -0.5 * b, ur[l], ui[l], mr, mi);
            sum += weight[l] * (adjRe[l] * mr - adjIm[l] * mi);
        }
        reaching = below;
        kernellanes::reverseStep(below, b, h, ur, ui, br, bi, er, ei, gr, gi, rr, ri, weight, adjRe, adjIm, contribution);
        for (int l = 0; l < below; ++l)
            sum += contribution[l];
        grad[i] += sum;
        if (below == 0)
            break;
    }
    // the subtracted half-space: + lambda^2 / (lambda + uBase)^2 duBase/dm
    for (int l = 0; l < L; ++l) {
        const double qr = lambda[l] + baseRe[l];
        const double qi = baseIm[l];
        double fr;
        double fi;
        kernellanes::divide(lambda2[l], 0.0, qr * qr - qi * qi, 2.0 * qr * qi, fr, fi);
        double mr;
        double mi;
        kernellanes::divide(0.0, -0.5 * bBase, baseRe[l], baseIm[l], mr, mi);
        contribution[l] = weight[l] * (fr * mr - fi * mi);
    }
    double sum = 0.0;
    for (int l = 0; l < L; ++l)
        sum += contribution[l];
    grad[n - 1] += sum;
    return value;
}

LayeredEarthResponse::LayeredEarthResponse(const QVector<double>& timesSeconds, double loopRadius)
    : m_radius(loopRadius)
    , m_times(timesSeconds)
{
    m_valid = positiveFinite(loopRadius) && !timesSeconds.isEmpty();
    double earliest = std::numeric_limits<double>::infinity();
    double latest = 0.0;
    for (double t : timesSeconds) {
        m_valid = m_valid && positiveFinite(t);
        earliest = std::min(earliest, t);
        latest = std::max(latest, t);
    }
    if (!m_valid)
        return;

    const DigitalFilter& hankel = DigitalFilter::besselJ1();
    m_lambda.resize(hankel.count);
    for (int i = 0; i < hankel.count; ++i)
        m_lambda[i] = hankel.abscissa(i) / loopRadius;

    const DigitalFilter& cosine = DigitalFilter::fourierCosine();
    const double step = cosine.stepLn;
    m_gridFirstLn = std::log(earliest) - kGridMargin * step;
    m_gridCount = static_cast<int>(std::ceil((std::log(latest) - std::log(earliest)) / step)) + 2 * kGridMargin + 1;
    // omega for filter point k at grid time j: exp(firstLn + k step - tau_j)
    const int frequencies = cosine.count + m_gridCount - 1;
    m_omega.resize(frequencies);
    for (int m = 0; m < frequencies; ++m)
        m_omega[m] = std::exp(cosine.firstLn - m_gridFirstLn + (m - (m_gridCount - 1)) * step);

    const std::vector<double> second = secondDerivativeMatrix(m_gridCount);
    m_interp.assign(static_cast<size_t>(m_times.size()) * m_gridCount, 0.0);
    for (int t = 0; t < m_times.size(); ++t) {
        const double x = (std::log(m_times[t]) - m_gridFirstLn) / step;
        const int k = std::min(m_gridCount - 2, std::max(0, static_cast<int>(std::floor(x))));
        const double b = x - k;
        const double a = 1.0 - b;
        double* row = &m_interp[static_cast<size_t>(t) * m_gridCount];
        row[k] += a;
        row[k + 1] += b;
        const double ca = (a * a * a - a) / 6.0;
        const double cb = (b * b * b - b) / 6.0;
        for (int j = 0; j < m_gridCount; ++j)
            row[j] += ca * second[static_cast<size_t>(k) * m_gridCount + j]
                + cb * second[static_cast<size_t>(k + 1) * m_gridCount + j];
    }
}

bool LayeredEarthResponse::evaluate(const double* rho, const double* thickness, int n, double* values,
                                    double* logJacobian) const
{
    const int times = m_times.size();
    bool usable = m_valid && n >= 1 && rho;
    for (int i = 0; usable && i < n; ++i)
        usable = positiveFinite(rho[i]) && (i == n - 1 || (thickness && positiveFinite(thickness[i])));
    if (!usable) {
        for (int t = 0; t < times; ++t)
            values[t] = std::numeric_limits<double>::quiet_NaN();
        if (logJacobian) {
            std::fill(logJacobian, logJacobian + static_cast<size_t>(times) * std::max(0, n),
                      std::numeric_limits<double>::quiet_NaN());
        }
        return false;
    }

    if (n == 1) {
        // A half-space is its closed form.
        for (int t = 0; t < times; ++t) {
            values[t] = halfSpace(m_times[t], rho[0], m_radius);
            if (logJacobian)
                logJacobian[t] = halfSpaceLogDerivative(m_times[t], rho[0], m_radius);
        }
        return true;
    }

    const DigitalFilter& hankel = DigitalFilter::besselJ1();
    // Each thread keeps its scratch between calls: a station's inversion
    // calls this many times with the same sizes.
    thread_local Kernel kernel;
    kernel.setUp(n, thickness, rho, m_lambda.data(), hankel.weights);

    const DigitalFilter& cosine = DigitalFilter::fourierCosine();
    const int frequencies = static_cast<int>(m_omega.size());
    std::vector<double> field(frequencies, 0.0);
    std::vector<double> fieldGrad(logJacobian ? static_cast<size_t>(frequencies) * n : 0, 0.0);
    for (int m = 0; m < frequencies; ++m) {
        double* grad = logJacobian ? &fieldGrad[static_cast<size_t>(m) * n] : nullptr;
        field[m] = kernel.evaluate(m_omega[m], grad);
    }

    const double base = rho[n - 1];
    std::vector<double> lnGrid(m_gridCount);
    std::vector<double> gridGrad(logJacobian ? static_cast<size_t>(m_gridCount) * n : 0, 0.0);
    const double scale = -2.0 * kMu0 / kPi;
    bool finite = true;
    for (int j = 0; j < m_gridCount; ++j) {
        const double tau = std::exp(m_gridFirstLn + j * cosine.stepLn);
        double sum = 0.0;
        // filter point k meets frequency index m = k - j + gridCount - 1
        const int offset = m_gridCount - 1 - j;
        for (int k = 0; k < cosine.count; ++k)
            sum += cosine.weights[k] * field[k + offset];
        const double half = halfSpace(tau, base, m_radius);
        double v = scale * sum / tau + half;
        // A decay keeps its sign; a remainder of rounding at the latest
        // times of a resistive earth may not, and is taken as none.
        if (!(v < 0.0))
            v = half;
        finite = finite && std::isfinite(v) && v < 0.0;
        lnGrid[j] = std::log(-v);
        if (logJacobian) {
            double* row = &gridGrad[static_cast<size_t>(j) * n];
            for (int k = 0; k < cosine.count; ++k) {
                const double w = cosine.weights[k];
                const double* g = &fieldGrad[static_cast<size_t>(k + offset) * n];
                for (int l = 0; l < n; ++l)
                    row[l] += w * g[l];
            }
            for (int l = 0; l < n; ++l)
                row[l] = scale * row[l] / tau / v;
            row[n - 1] += half * halfSpaceLogDerivative(tau, base, m_radius) / v;
        }
    }
    for (int t = 0; t < times; ++t) {
        const double* w = &m_interp[static_cast<size_t>(t) * m_gridCount];
        double lnv = 0.0;
        for (int j = 0; j < m_gridCount; ++j)
            lnv += w[j] * lnGrid[j];
        values[t] = finite ? -std::exp(lnv) : std::numeric_limits<double>::quiet_NaN();
        if (logJacobian) {
            double* out = logJacobian + static_cast<size_t>(t) * n;
            for (int l = 0; l < n; ++l)
                out[l] = 0.0;
            for (int j = 0; j < m_gridCount; ++j) {
                const double* g = &gridGrad[static_cast<size_t>(j) * n];
                for (int l = 0; l < n; ++l)
                    out[l] += w[j] * g[l];
            }
        }
    }
    return finite;
}

QVector<double> LayeredEarthResponse::dBzDt(const QVector<double>& rho, const QVector<double>& thickness) const
{
    QVector<double> values(m_times.size());
    QVector<double> h = thickness;
    h.resize(std::max(0, rho.size() - 1));
    if (thickness.size() != std::max(0, rho.size() - 1)) {
        values.fill(std::numeric_limits<double>::quiet_NaN());
        return values;
    }
    evaluate(rho.constData(), h.constData(), rho.size(), values.data());
    return values;
}

double LayeredEarthResponse::halfSpace(double t, double rho, double loopRadius)
{
    if (!positiveFinite(t) || !positiveFinite(rho) || !positiveFinite(loopRadius))
        return std::numeric_limits<double>::quiet_NaN();
    const double a = loopRadius;
    const double x = kMu0 * a * a / (4.0 * rho * t);
    return -3.0 * rho / (a * a * a) * gammaP52(x);
}

// Below x = 1 the closed form cancels, so the series is used there.
double LayeredEarthResponse::gammaP52(double x)
{
    if (!(x > 0.0))
        return 0.0;
    if (x < 1.0) {
        double term = 1.0;
        double sum = 1.0;
        for (int n = 1; n < 60; ++n) {
            term *= x / (2.5 + n);
            sum += term;
            if (term < 1e-17 * sum)
                break;
        }
        return x * x * std::sqrt(x) * std::exp(-x) / kGamma72 * sum;
    }
    const double u = std::sqrt(x);
    return std::erf(u) - (2.0 / (3.0 * kSqrtPi)) * u * (3.0 + 2.0 * x) * std::exp(-x);
}

double LayeredEarthResponse::gammaP52Derivative(double x)
{
    return x > 0.0 ? x * std::sqrt(x) * std::exp(-x) / kGamma52 : 0.0;
}

double LayeredEarthResponse::halfSpaceLogDerivative(double t, double rho, double loopRadius)
{
    if (!positiveFinite(t) || !positiveFinite(rho) || !positiveFinite(loopRadius))
        return std::numeric_limits<double>::quiet_NaN();
    const double x = kMu0 * loopRadius * loopRadius / (4.0 * rho * t);
    const double p = gammaP52(x);
    // d ln(rho P(x)) / d ln rho with dx / d ln rho = -x
    const double dp = gammaP52Derivative(x);
    return p > 0.0 ? 1.0 - x * dp / p : 1.0;
}
