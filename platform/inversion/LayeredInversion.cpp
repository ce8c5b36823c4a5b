#include "platform/inversion/LayeredInversion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/inversion/LayeredEarthResponse.h"

namespace {

// The smallest regularisation per unit of the constraint coefficient, and
// the largest tried; mu runs between them in steps of a third of a decade.
constexpr double kFloorPerConstraint = 0.25;
constexpr double kCeiling = 1e5;
constexpr double kMuStep = 2.154434690031884;  // 10^(1/3)
// Largest change of a layer's ln rho in one step.
constexpr double kMaxStep = 2.5;
// Weight of the pull towards the reference resistivity per squared
// natural-log depth below the reach.
constexpr double kReferenceWeight = 4.0;
// Roughness between two layers below the reach, against that above it:
// there the reference, not the layers above, decides.
constexpr double kRoughnessBelowReach = 0.1;
// How far above the target a smoothing step may leave the misfit.
constexpr double kTargetSlack = 1.02;
constexpr int kShrinks = 3;

struct Evaluation {
    bool ok = false;
    QVector<double> logResponse;  // ln|dBz/dt|
    QVector<double> jacobian;     // gates x layers, d ln|dBz/dt| / d ln rho
    double chi = std::numeric_limits<double>::infinity();
};

double chiOf(const QVector<double>& logData, const QVector<double>& error, const QVector<double>& logResponse)
{
    double sum = 0.0;
    for (int j = 0; j < logData.size(); ++j) {
        const double r = (logData[j] - logResponse[j]) / error[j];
        sum += r * r;
    }
    return logData.isEmpty() ? 0.0 : std::sqrt(sum / logData.size());
}

Evaluation evaluate(const LayeredEarthResponse& forward, const QVector<double>& thickness,
                    const LayeredInversion::Sounding& s, const QVector<double>& model, int& forwards)
{
    Evaluation e;
    const int n = model.size();
    const int gates = s.logData.size();
    QVector<double> rho(n);
    for (int i = 0; i < n; ++i)
        rho[i] = std::exp(model[i]);
    QVector<double> values(gates);
    e.jacobian.resize(gates * n);
    ++forwards;
    if (!forward.evaluate(rho.constData(), thickness.constData(), n, values.data(), e.jacobian.data()))
        return e;
    e.logResponse.resize(gates);
    for (int j = 0; j < gates; ++j) {
        if (!(values[j] < 0.0) || !std::isfinite(values[j]))
            return e;
        e.logResponse[j] = std::log(-values[j]);
    }
    for (double d : e.jacobian) {
        if (!std::isfinite(d))
            return e;
    }
    e.ok = true;
    e.chi = chiOf(s.logData, s.error, e.logResponse);
    return e;
}

// Cholesky factorisation in place (lower triangle, row-major n x n); false
// when the matrix is not positive definite.
bool factorise(std::vector<double>& a, int n)
{
    for (int j = 0; j < n; ++j) {
        double d = a[j * n + j];
        for (int k = 0; k < j; ++k)
            d -= a[j * n + k] * a[j * n + k];
        if (!(d > 0.0) || !std::isfinite(d))
            return false;
        d = std::sqrt(d);
        a[j * n + j] = d;
        for (int i = j + 1; i < n; ++i) {
            double v = a[i * n + j];
            for (int k = 0; k < j; ++k)
                v -= a[i * n + k] * a[j * n + k];
            a[i * n + j] = v / d;
        }
    }
    return true;
}

void solve(const std::vector<double>& l, int n, std::vector<double>& x)
{
    for (int i = 0; i < n; ++i) {
        double v = x[i];
        for (int k = 0; k < i; ++k)
            v -= l[i * n + k] * x[k];
        x[i] = v / l[i * n + i];
    }
    for (int i = n - 1; i >= 0; --i) {
        double v = x[i];
        for (int k = i + 1; k < n; ++k)
            v -= l[k * n + i] * x[k];
        x[i] = v / l[i * n + i];
    }
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + mid, v.end());
    double m = v[mid];
    if (v.size() % 2 == 0)
        m = 0.5 * (m + *std::max_element(v.begin(), v.begin() + mid));
    return m;
}

} // namespace

LayeredInversion::LayeredInversion(const QVector<double>& boundaries, double reference, double constraint)
    : m_boundaries(boundaries)
    , m_reference(std::log(reference))
{
    m_thickness.resize(std::max(0, boundaries.size() - 1));
    for (int i = 0; i < m_thickness.size(); ++i)
        m_thickness[i] = boundaries[i] - (i > 0 ? boundaries[i - 1] : 0.0);
    const double c = std::isfinite(constraint) && constraint > 0.0 ? constraint : 0.0;
    // A constraint of zero still keeps the system solvable.
    m_floor = std::max(1e-4, kFloorPerConstraint * c);
}

LayeredInversion::Result LayeredInversion::invert(const LayeredEarthResponse& forward, const Sounding& s,
                                                  const QVector<double>& start,
                                                  const std::vector<Neighbour>& neighbours,
                                                  int maxIterations) const
{
    const int n = m_boundaries.size();
    const int gates = s.logData.size();
    Result result;
    result.model = start;
    for (double& m : result.model)
        m = std::min(kHighest, std::max(kLowest, std::isfinite(m) ? m : m_reference));

    // The pull towards the reference below the reach of the data.
    QVector<double> pull(n, 0.0);
    if (s.reach > 0.0) {
        for (int i = 0; i < n; ++i) {
            const double top = i > 0 ? m_boundaries[i - 1] : 0.5 * m_boundaries[0];
            const double centre = i + 1 < n ? std::sqrt(top * m_boundaries[i]) : m_boundaries[i];
            const double below = std::log(centre / s.reach);
            pull[i] = below > 0.0 ? kReferenceWeight * below * below : 0.0;
        }
    }
    // Weight of the difference between layers i and i + 1.
    QVector<double> rough(std::max(0, n - 1), 1.0);
    for (int i = 0; i + 1 < n; ++i) {
        if (pull[i + 1] > 0.0)
            rough[i] = kRoughnessBelowReach;
    }
    double neighbourWeight = 0.0;
    QVector<double> neighbourSum(n, 0.0);
    for (const Neighbour& nb : neighbours) {
        if (nb.model.size() != n || !(nb.weight > 0.0))
            continue;
        neighbourWeight += nb.weight;
        for (int i = 0; i < n; ++i)
            neighbourSum[i] += nb.weight * nb.model[i];
    }

    Evaluation current = evaluate(forward, m_thickness, s, result.model, result.forwards);
    if (!current.ok) {
        // A start the forward cannot take: the reference half-space.
        QVector<double> flat(n, m_reference);
        current = evaluate(forward, m_thickness, s, flat, result.forwards);
        if (current.ok)
            result.model = flat;
    }
    if (!current.ok)
        return result;

    QVector<double> model = result.model;
    int stalls = 0;
    std::vector<double> h(n * n);
    std::vector<double> g(n);
    std::vector<double> a(n * n);
    std::vector<double> x(n);
    std::vector<double> predicted(gates);
    for (int iteration = 0; iteration < maxIterations; ++iteration) {
        // H = J'W'WJ, g = J'W'W (r + J m)
        std::fill(h.begin(), h.end(), 0.0);
        std::fill(g.begin(), g.end(), 0.0);
        for (int j = 0; j < gates; ++j) {
            const double w = 1.0 / (s.error[j] * s.error[j]);
            const double* row = &current.jacobian[j * n];
            double jm = 0.0;
            for (int k = 0; k < n; ++k)
                jm += row[k] * model[k];
            const double rhs = w * (s.logData[j] - current.logResponse[j] + jm);
            for (int k = 0; k < n; ++k) {
                g[k] += row[k] * rhs;
                const double wk = w * row[k];
                for (int l = 0; l <= k; ++l)
                    h[k * n + l] += wk * row[l];
            }
        }
        const double goal = std::max(kTargetChi, current.chi / 3.0);
        QVector<double> chosen;
        QVector<double> smallest;
        double smallestChi = std::numeric_limits<double>::infinity();
        for (double mu = kCeiling; mu >= m_floor * 0.999; mu /= kMuStep) {
            for (int k = 0; k < n; ++k) {
                for (int l = 0; l <= k; ++l)
                    a[k * n + l] = h[k * n + l];
                // mu (R'R + neighbours) + S
                const double diagonal = (k > 0 ? rough[k - 1] : 0.0) + (k + 1 < n ? rough[k] : 0.0) + neighbourWeight;
                // The pull grows with mu, so that it outweighs the roughness
                // below the reach at every mu.
                a[k * n + k] += mu * diagonal + (1.0 + mu) * pull[k];
                if (k > 0)
                    a[k * n + k - 1] -= mu * rough[k - 1];
                x[k] = g[k] + mu * neighbourSum[k] + (1.0 + mu) * pull[k] * m_reference;
            }
            if (!factorise(a, n))
                continue;
            solve(a, n, x);
            // predicted misfit of the linearised problem
            double sum = 0.0;
            for (int j = 0; j < gates; ++j) {
                const double* row = &current.jacobian[j * n];
                double change = 0.0;
                for (int k = 0; k < n; ++k)
                    change += row[k] * (x[k] - model[k]);
                const double r = (s.logData[j] - current.logResponse[j] - change) / s.error[j];
                sum += r * r;
            }
            const double chi = std::sqrt(sum / std::max(1, gates));
            if (chi < smallestChi) {
                smallestChi = chi;
                smallest = QVector<double>(x.begin(), x.end());
            }
            if (chosen.isEmpty() && chi <= goal) {
                chosen = QVector<double>(x.begin(), x.end());
            }
        }
        if (chosen.isEmpty())
            chosen = smallest;
        if (chosen.isEmpty())
            break;

        QVector<double> step(n);
        double largest = 0.0;
        for (int k = 0; k < n; ++k) {
            step[k] = chosen[k] - model[k];
            largest = std::max(largest, std::fabs(step[k]));
        }
        if (largest > kMaxStep) {
            for (double& v : step)
                v *= kMaxStep / largest;
            largest = kMaxStep;
        }
        bool accepted = false;
        const bool fitted = current.chi <= kTargetChi * kTargetSlack;
        for (int shrink = 0; shrink <= kShrinks && !accepted; ++shrink) {
            QVector<double> trial(n);
            for (int k = 0; k < n; ++k)
                trial[k] = std::min(kHighest, std::max(kLowest, model[k] + step[k]));
            Evaluation e = evaluate(forward, m_thickness, s, trial, result.forwards);
            if (e.ok && (e.chi < current.chi || (fitted && e.chi <= kTargetChi * kTargetSlack))) {
                const double before = current.chi;
                model = trial;
                current = std::move(e);
                accepted = true;
                stalls = current.chi > kTargetChi && current.chi > 0.99 * before ? stalls + 1 : 0;
            } else {
                for (double& v : step)
                    v *= 0.5;
                largest *= 0.5;
            }
        }
        if (!accepted || stalls >= 2)
            break;
        if (current.chi <= kTargetChi * kTargetSlack && largest < 0.03)
            break;
    }

    result.model = model;
    result.chi = current.chi;
    result.finite = true;
    double sum = 0.0;
    for (int j = 0; j < gates; ++j) {
        const double rel = std::exp(current.logResponse[j] - s.logData[j]) - 1.0;
        sum += rel * rel;
    }
    result.rmsRelative = gates > 0 ? std::sqrt(sum / gates) : 0.0;
    return result;
}

QVector<double> LayeredInversion::gateErrors(const QVector<double>& logTimes, const QVector<double>& logData,
                                             double floor)
{
    const int n = logData.size();
    QVector<double> error(n, floor);
    if (n < 6)
        return error;
    // Residual of each gate from a quadratic through it and its four
    // nearest neighbours (a window shifted inwards at the ends).
    std::vector<double> residual(n, 0.0);
    for (int j = 0; j < n; ++j) {
        const int first = std::min(std::max(0, j - 2), n - 5);
        double s[5] = {0, 0, 0, 0, 0};
        double t[3] = {0, 0, 0};
        const double x0 = logTimes[j];
        for (int k = first; k < first + 5; ++k) {
            const double x = logTimes[k] - x0;
            double p = 1.0;
            for (int e = 0; e < 5; ++e) {
                s[e] += p;
                if (e < 3)
                    t[e] += p * logData[k];
                p *= x;
            }
        }
        // normal equations of a + b x + c x^2; the fit at x = 0 is a
        const double m[3][3] = {{s[0], s[1], s[2]}, {s[1], s[2], s[3]}, {s[2], s[3], s[4]}};
        const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
            - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        if (!(std::fabs(det) > 0.0) || !std::isfinite(det))
            continue;
        const double a = (t[0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (t[1] * m[2][2] - m[1][2] * t[2])
                          + m[0][2] * (t[1] * m[2][1] - m[1][1] * t[2]))
            / det;
        residual[j] = logData[j] - a;
    }
    // A quadratic through five points absorbs about half of each point's
    // noise: the scatter is the residuals' robust spread over 0.72.
    for (int j = 0; j < n; ++j) {
        std::vector<double> window;
        for (int k = std::max(0, j - 3); k <= std::min(n - 1, j + 3); ++k)
            window.push_back(std::fabs(residual[k]));
        const double scatter = 1.4826 * median(window) / 0.72;
        error[j] = std::min(1.0, std::max(floor, scatter));
    }
    return error;
}
