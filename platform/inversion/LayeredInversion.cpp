#include "platform/inversion/LayeredInversion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/inversion/LayeredEarthResponse.h"

namespace {

// The range of the trade-off mu, run through in steps of a third of a
// decade; the least keeps the system solvable whatever the constraint.
constexpr double kLeastMu = 0.25;
constexpr double kCeiling = 1e5;
constexpr double kMuStep = 2.154434690031884;  // 10^(1/3)
constexpr int kRefinements = 6;
// Largest change of a layer's ln rho in one step.
constexpr double kMaxStep = 2.5;
// Weight of the pull towards the reference resistivity per squared
// natural-log depth below the reach.
constexpr double kReferenceWeight = 4.0;
// Roughness between two layers below the reach, against that above it:
// there the reference, not the layers above, decides.
constexpr double kRoughnessBelowReach = 0.1;
// Halvings of a step, and the share of its predicted gain below which a
// shorter one is tried as well.
constexpr int kShrinks = 3;
constexpr double kUsefulGain = 0.25;
// How near the smallest predicted misfit a model must come while the goal
// is out of reach.
constexpr double kNearest = 0.02;
// How far above the target a smoothing step may leave the misfit, and the
// largest change of ln rho of a step that ends the iteration once fitted.
constexpr double kTargetSlack = 1.02;
constexpr double kConverged = 0.03;
// The scatter: gates of each local cubic, the fewest gates a curve needs
// for one, and the gates on either side whose residuals give a gate's
// scatter; a gate the local fit all but passes through (leverage near 1)
// tells nothing.
constexpr int kScatterWindow = 9;
constexpr int kScatterMinGates = 7;
constexpr int kScatterReach = 6;
constexpr double kMaxLeverage = 0.99;
// The share of the smallest squares that give the curve's noise, and their
// mean over the variance for a normal noise; the median of the square of a
// normal variable over its variance; the clip of a square (nine variances:
// three standard deviations).
constexpr double kQuietShare = 0.75;
constexpr double kQuietMean = 0.36852405098356217;
constexpr double kMedianSquare = 0.4549364231195724;
constexpr double kClip = 9.0;
// The part of a squared scatter that chance alone gives: over the curve in
// squared floors, over a neighbourhood in the curve's own mean squares.
constexpr double kChanceScatter = 1.0;
constexpr double kChanceCurveScatter = 0.5;

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

// Residual of each gate from a cubic in ln t through its nearest
// neighbours (a window shifted inwards at the ends, without the gates set
// aside as wild), divided by the share of the gate's noise the residual
// keeps: sqrt(1 - h) for the gate's leverage h, sqrt(1 + h) for a wild
// gate that the fit leaves out. Each then holds the gate's noise, about; a
// wide window keeps neighbouring residuals nearly independent, so that a
// few of them tell the noise's size.
void localResiduals(const QVector<double>& logTimes, const QVector<double>& logData, const std::vector<bool>& wild,
                    std::vector<double>& residual, std::vector<bool>& known)
{
    const int n = logData.size();
    const int width = std::min(kScatterWindow, n);
    constexpr int terms = 4;
    residual.assign(n, 0.0);
    known.assign(n, false);
    for (int j = 0; j < n; ++j) {
        const int first = std::min(std::max(0, j - width / 2), n - width);
        // Normal equations of the cubic in x = ln t - ln t_j, augmented by
        // the data and by the unit vector whose solution gives the
        // leverage (the fit at x = 0 is the first coefficient).
        double m[terms][terms + 2] = {};
        int used = 0;
        for (int k = first; k < first + width; ++k) {
            if (wild[k])
                continue;
            ++used;
            const double x = logTimes[k] - logTimes[j];
            const double p[terms] = {1.0, x, x * x, x * x * x};
            for (int r = 0; r < terms; ++r) {
                for (int c = 0; c < terms; ++c)
                    m[r][c] += p[r] * p[c];
                m[r][terms] += p[r] * logData[k];
            }
        }
        if (used <= terms)
            continue;
        m[0][terms + 1] = 1.0;
        bool solvable = true;
        for (int c = 0; c < terms && solvable; ++c) {
            int pivot = c;
            for (int r = c + 1; r < terms; ++r) {
                if (std::fabs(m[r][c]) > std::fabs(m[pivot][c]))
                    pivot = r;
            }
            if (!(std::fabs(m[pivot][c]) > 1e-300)) {
                solvable = false;
                break;
            }
            std::swap(m[c], m[pivot]);
            for (int r = 0; r < terms; ++r) {
                if (r == c)
                    continue;
                const double f = m[r][c] / m[c][c];
                for (int k = c; k < terms + 2; ++k)
                    m[r][k] -= f * m[c][k];
            }
        }
        if (!solvable)
            continue;
        const double fit = m[0][terms] / m[0][0];
        const double leverage = m[0][terms + 1] / m[0][0];
        if (!(leverage >= 0.0 && leverage < kMaxLeverage) || !std::isfinite(fit))
            continue;
        residual[j] = (logData[j] - fit) / std::sqrt(wild[j] ? 1.0 + leverage : 1.0 - leverage);
        known[j] = std::isfinite(residual[j]);
    }
}

// A normal noise's variance from squares of it: the mean of the smallest
// kQuietShare of them over kQuietMean, or the median over kMedianSquare;
// 0 for none.
double quietVariance(std::vector<double> squares)
{
    if (squares.empty())
        return 0.0;
    std::sort(squares.begin(), squares.end());
    const size_t quiet = std::max<size_t>(1, size_t(std::lround(kQuietShare * squares.size())));
    double sum = 0.0;
    for (size_t k = 0; k < quiet; ++k)
        sum += squares[k];
    return sum / quiet / kQuietMean;
}

double medianVariance(std::vector<double> squares)
{
    if (squares.empty())
        return 0.0;
    const size_t mid = squares.size() / 2;
    std::nth_element(squares.begin(), squares.begin() + mid, squares.end());
    return squares[mid] / kMedianSquare;
}

} // namespace

LayeredInversion::LayeredInversion(const QVector<double>& boundaries, double reference, double constraint)
    : m_boundaries(boundaries)
    , m_reference(std::log(reference))
{
    m_thickness.resize(std::max(0, boundaries.size() - 1));
    for (int i = 0; i < m_thickness.size(); ++i)
        m_thickness[i] = boundaries[i] - (i > 0 ? boundaries[i - 1] : 0.0);
    const double c = std::isfinite(constraint) && constraint > 0.0 ? constraint / kOccamConstraint : 0.0;
    m_target = kTargetChi * std::pow(std::max(1.0, c), kTargetGrowth);
    m_scale = std::pow(std::min(1.0, c), kTradeOffGrowth);
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
    // Solves the linearised problem at mu into x; false when it cannot.
    auto solveAt = [&](double mu) {
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
            return false;
        solve(a, n, x);
        return true;
    };
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
        // Occam's choice: the largest mu whose predicted misfit meets the
        // goal; while none does, the largest that comes within kNearest of
        // the smallest predicted misfit (the last bit of fit costs the most
        // roughness, and noise a little above the errors would otherwise
        // take the roughest model). A coarse sweep down from the ceiling
        // brackets it, bisection in ln mu finds it.
        auto predictedChi = [&](double mu) {
            if (!solveAt(mu))
                return std::numeric_limits<double>::infinity();
            double sum = 0.0;
            for (int j = 0; j < gates; ++j) {
                const double* row = &current.jacobian[j * n];
                double change = 0.0;
                for (int k = 0; k < n; ++k)
                    change += row[k] * (x[k] - model[k]);
                const double r = (s.logData[j] - current.logResponse[j] - change) / s.error[j];
                sum += r * r;
            }
            return std::sqrt(sum / std::max(1, gates));
        };
        const double goal = std::max(m_target, current.chi / 3.0);
        std::vector<std::pair<double, double> > tried;  // mu, predicted chi
        double smallestChi = std::numeric_limits<double>::infinity();
        for (double mu = kCeiling; mu >= kLeastMu * 0.999; mu /= kMuStep) {
            const double chi = predictedChi(mu);
            tried.emplace_back(mu, chi);
            smallestChi = std::min(smallestChi, chi);
            if (chi <= goal)
                break;
        }
        if (!std::isfinite(smallestChi))
            break;
        const double threshold = smallestChi <= goal ? goal : (1.0 + kNearest) * smallestChi;
        size_t found = 0;
        while (!(tried[found].second <= threshold))
            ++found;
        double occam = tried[found].first;
        if (found > 0) {
            double fails = tried[found - 1].first;
            for (int k = 0; k < kRefinements; ++k) {
                const double mid = std::sqrt(occam * fails);
                if (predictedChi(mid) <= threshold)
                    occam = mid;
                else
                    fails = mid;
            }
        }
        const double mu = std::max(kLeastMu, m_scale * occam);
        const double predicted = predictedChi(mu);
        if (!std::isfinite(predicted))
            break;
        QVector<double> step(n);
        double largest = 0.0;
        for (int k = 0; k < n; ++k) {
            step[k] = x[k] - model[k];
            largest = std::max(largest, std::fabs(step[k]));
        }
        double share = 1.0;
        if (largest > kMaxStep) {
            for (double& v : step)
                v *= kMaxStep / largest;
            share = kMaxStep / largest;
            largest = kMaxStep;
        }
        // The misfit the model can be held to: the target, or while that is
        // out of reach what the search found within reach. Within it a step
        // may smooth the model or draw it towards its neighbours.
        const double level = std::max(m_target, std::min(threshold, (1.0 + kNearest) * smallestChi));
        // Shorter steps are tried while the last one was refused, or while
        // it gained less than kUsefulGain of what the linearised problem
        // predicts for it (it reached past where that holds) and a shorter
        // one gains more.
        bool accepted = false;
        const bool fitted = current.chi <= level * kTargetSlack;
        const double before = current.chi;
        QVector<double> best;
        Evaluation bestEvaluation;
        double bestLargest = 0.0;
        for (int shrink = 0; shrink <= kShrinks; ++shrink) {
            QVector<double> trial(n);
            for (int k = 0; k < n; ++k)
                trial[k] = std::min(kHighest, std::max(kLowest, model[k] + step[k]));
            Evaluation e = evaluate(forward, m_thickness, s, trial, result.forwards);
            const bool acceptable = e.ok && (e.chi < before || (fitted && e.chi <= level * kTargetSlack));
            if (acceptable && (!accepted || e.chi < bestEvaluation.chi)) {
                accepted = true;
                best = trial;
                bestEvaluation = std::move(e);
                bestLargest = largest;
                if (fitted || before - bestEvaluation.chi >= kUsefulGain * share * (before - predicted))
                    break;
            } else if (accepted) {
                break;
            }
            for (double& v : step)
                v *= 0.5;
            largest *= 0.5;
            share *= 0.5;
        }
        if (accepted) {
            model = best;
            current = std::move(bestEvaluation);
            largest = bestLargest;
            stalls = current.chi > m_target && current.chi > 0.99 * before ? stalls + 1 : 0;
        }
        if (!accepted || stalls >= 2)
            break;
        if (current.chi <= level * kTargetSlack && largest < kConverged)
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
    if (n < kScatterMinGates)
        return error;
    // Gates far off the rest (a spike, a point dragged away) are set aside
    // one by one, the farthest first, so that they neither bend the local
    // fits of their neighbours nor count as the curve's scatter.
    std::vector<bool> wild(n, false);
    std::vector<double> residual;
    std::vector<bool> known;
    const int mostWild = std::max(1, n / 10);
    for (int round = 0;; ++round) {
        localResiduals(logTimes, logData, wild, residual, known);
        int farthest = -1;
        for (int j = 0; j < n; ++j) {
            if (known[j] && !wild[j] && (farthest < 0 || std::fabs(residual[j]) > std::fabs(residual[farthest])))
                farthest = j;
        }
        if (round == mostWild || farthest < 0)
            break;
        // Far against the curve's noise and against the mean square of its
        // neighbourhood (where a noisier stretch of the curve begins, that
        // holds the noisier gates).
        std::vector<double> others;
        double near = 0.0;
        int nearCount = 0;
        for (int j = 0; j < n; ++j) {
            if (!known[j] || wild[j] || j == farthest)
                continue;
            others.push_back(residual[j] * residual[j]);
            if (std::abs(j - farthest) <= kScatterReach) {
                near += residual[j] * residual[j];
                ++nearCount;
            }
        }
        const double scale = std::max({floor * floor, quietVariance(others), nearCount > 0 ? near / nearCount : 0.0});
        if (!(residual[farthest] * residual[farthest] > kClip * scale))
            break;
        wild[farthest] = true;
    }
    std::vector<double> squares;
    for (int j = 0; j < n; ++j) {
        if (known[j] && !wild[j])
            squares.push_back(residual[j] * residual[j]);
    }
    if (squares.empty())
        return error;
    // The curve's own noise holds for every gate: from the mean of the
    // smallest kQuietShare of the squares, which the noisier late gates of a
    // curve hardly move. Noise at the floor shows above the floor about half
    // the time, so only what exceeds the floor by more than the estimate's
    // spread raises it: a curve as noisy as the floor is fitted to its noise,
    // a noisier one to its scatter. Where a neighbourhood's mean square
    // exceeds the curve's by more than chance would, that holds there.
    const double curveSquare = quietVariance(squares);
    const double curveScatter = curveSquare - kChanceCurveScatter * floor * floor;
    const double base = std::max(floor * floor, curveSquare);
    std::vector<double> window;
    for (int j = 0; j < n; ++j) {
        window.clear();
        for (int k = std::max(0, j - kScatterReach); k <= std::min(n - 1, j + kScatterReach); ++k) {
            if (known[k] && !wild[k])
                window.push_back(residual[k] * residual[k]);
        }
        double local = 0.0;
        if (!window.empty()) {
            // Each square clipped at kClip times the neighbourhood's own
            // median estimate.
            const double localClip = kClip * std::max(base, medianVariance(window));
            double sum = 0.0;
            for (double q : window)
                sum += std::min(q, localClip);
            local = sum / window.size() - kChanceScatter * base;
        }
        error[j] = std::min(1.0, std::sqrt(std::max({floor * floor, curveScatter, local})));
    }
    return error;
}
