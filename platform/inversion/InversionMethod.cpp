#include "platform/inversion/InversionMethod.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kSqrtPi = 1.77245385090551602730;
constexpr double kGamma52 = 1.32934038817913702047;  // Gamma(5/2) = 3 sqrt(pi) / 4
constexpr double kGamma72 = 3.32335097044784255118;  // Gamma(7/2) = 15 sqrt(pi) / 8

bool positiveFinite(double v)
{
    return std::isfinite(v) && v > 0.0;
}

// Regularised lower incomplete gamma function P(5/2, x). The half-space
// bracket 3 erf(u) - (2/sqrt(pi)) u (3 + 2u^2) e^(-u^2) is 3 P(5/2, u^2);
// below x = 1 its terms cancel, so the series is used there.
double gammaP52(double x)
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

double gammaP52Derivative(double x)
{
    return x > 0.0 ? x * std::sqrt(x) * std::exp(-x) / kGamma52 : 0.0;
}

// Normalised response in terms of x = mu0 a^2 / (4 rho t): the voltage per
// ampere is (3 A_r mu0 / (4 a t)) * g(x), g(x) = P(5/2, x) / x.
double lnG(double x)
{
    return std::log(gammaP52(x) / x);
}

// d ln g / d ln x
double dLnG(double x)
{
    const double p = gammaP52(x);
    return p > 0.0 ? x * gammaP52Derivative(x) / p - 1.0 : 1.5;
}

struct Peak {
    double x;
    double lnG;
};

// The maximum of g: x P'(x) = P(x), found once by bisection in ln x.
const Peak& responsePeak()
{
    static const Peak peak = [] {
        double lo = std::log(0.1);
        double hi = std::log(10.0);
        for (int i = 0; i < 200 && hi - lo > 1e-15; ++i) {
            const double mid = 0.5 * (lo + hi);
            if (dLnG(std::exp(mid)) > 0.0)
                lo = mid;
            else
                hi = mid;
        }
        const double x = std::exp(0.5 * (lo + hi));
        return Peak{x, lnG(x)};
    }();
    return peak;
}

// Root of ln g(e^s) = lnTarget in [lo, hi], where the function is monotonic;
// safeguarded Newton in s = ln x.
double solveBranch(double lnTarget, double lo, double hi, double start)
{
    const double hLo = lnG(std::exp(lo)) - lnTarget;
    const double hHi = lnG(std::exp(hi)) - lnTarget;
    if (hLo == 0.0)
        return lo;
    if (hHi == 0.0)
        return hi;
    if ((hLo > 0.0) == (hHi > 0.0))
        return std::fabs(hLo) < std::fabs(hHi) ? lo : hi;
    const bool loNegative = hLo < 0.0;
    double s = std::min(std::max(start, lo), hi);
    for (int it = 0; it < 100; ++it) {
        const double x = std::exp(s);
        const double h = lnG(x) - lnTarget;
        if (std::fabs(h) < 1e-14)
            break;
        if ((h < 0.0) == loNegative)
            lo = s;
        else
            hi = s;
        const double d = dLnG(x);
        double next = d != 0.0 ? s - h / d : 0.5 * (lo + hi);
        if (!(next > lo && next < hi))
            next = 0.5 * (lo + hi);
        if (std::fabs(next - s) < 1e-14) {
            s = next;
            break;
        }
        s = next;
    }
    return s;
}

// Both roots (ln x) for a normalised target; equal at the peak and above it.
void responseRoots(double target, double& lateLnX, double& earlyLnX)
{
    const Peak& peak = responsePeak();
    const double lnTarget = std::log(target);
    const double lnPeakX = std::log(peak.x);
    if (lnTarget >= peak.lnG) {
        lateLnX = earlyLnX = lnPeakX;
        return;
    }
    // g(x) <= x^(3/2) / Gamma(7/2) bounds the late root from below (this is
    // the late-time formula), g(x) <= 1/x the early root from above.
    const double lnLate0 = (2.0 / 3.0) * (lnTarget + std::log(kGamma72));
    const double lnEarly0 = -lnTarget;
    lateLnX = solveBranch(lnTarget, std::min(lnLate0, lnPeakX), lnPeakX, lnLate0);
    earlyLnX = solveBranch(lnTarget, lnPeakX, std::max(lnEarly0, lnPeakX), lnEarly0);
}

double saneReference(double rho)
{
    return positiveFinite(rho) ? rho : InversionMethod::kDefaultReferenceResistivity;
}

// Ladder boundaries (m, positive) reaching below the deepest gate.
std::vector<double> ladderFor(double deepest)
{
    double bottom = InversionMethod::kLadderDefaultBottom;
    if (positiveFinite(deepest))
        bottom = std::max(bottom, InversionMethod::kLadderBelowData * deepest);
    bottom = std::min(bottom, InversionMethod::kLadderMaxBottom);
    std::vector<double> ladder;
    double d = InversionMethod::kLadderTop;
    ladder.push_back(d);
    while (d < bottom) {
        d *= InversionMethod::kLadderGrowth;
        ladder.push_back(d);
    }
    return ladder;
}

// One station's usable soundings.
struct Sounding {
    QVector<double> rho;
    QVector<double> depth;
    bool usable() const { return rho.size() >= 2; }
    double deepest() const
    {
        double d = 0.0;
        for (double v : depth)
            d = std::max(d, v);
        return d;
    }
};

// Steps 3 to 5 of the method: a log-resistivity model on the ladder.
std::vector<double> buildModel(const Sounding& s, const std::vector<double>& ladder,
                               double reference, double constraint)
{
    const double lnRef = std::log(reference);
    const int nl = static_cast<int>(ladder.size());
    std::vector<double> model(nl, lnRef);
    if (!s.usable())
        return model;

    // Depths increasing with time; a gate no deeper than the one kept before
    // is averaged into it.
    std::vector<double> lz;
    std::vector<double> lr;
    std::vector<int> count;
    for (int i = 0; i < s.rho.size(); ++i) {
        const double z = std::log(s.depth[i]);
        const double r = std::log(s.rho[i]);
        if (!lz.empty() && z <= lz.back() + 1e-9) {
            lr.back() = (lr.back() * count.back() + r) / (count.back() + 1);
            ++count.back();
        } else {
            lz.push_back(z);
            lr.push_back(r);
            count.push_back(1);
        }
    }
    const int np = static_cast<int>(lz.size());

    std::vector<double> lnLadder(nl);
    for (int j = 0; j < nl; ++j)
        lnLadder[j] = std::log(ladder[j]);

    // Interpolate within the reach of the data.
    int first = -1;
    int last = -1;
    int k = 0;
    for (int j = 0; j < nl; ++j) {
        const double z = lnLadder[j];
        if (z < lz.front() || z > lz.back())
            continue;
        while (k + 1 < np && lz[k + 1] < z)
            ++k;
        double v = lr[k];
        if (k + 1 < np) {
            const double f = (z - lz[k]) / (lz[k + 1] - lz[k]);
            v = lr[k] + std::min(1.0, std::max(0.0, f)) * (lr[k + 1] - lr[k]);
        }
        model[j] = v;
        if (first < 0)
            first = j;
        last = j;
    }

    // Vertical smoothing inside the reach of the data.
    const double width = std::isfinite(constraint) && constraint > 0.0
                             ? InversionMethod::kVerticalSmoothing * constraint
                             : 0.0;
    if (first >= 0 && width > 1e-9 && last > first) {
        std::vector<double> smoothed(model.begin() + first, model.begin() + last + 1);
        const double reach = 3.0 * width;
        for (int j = first; j <= last; ++j) {
            double sw = 0.0;
            double sv = 0.0;
            for (int i = first; i <= last; ++i) {
                const double d = lnLadder[i] - lnLadder[j];
                if (std::fabs(d) > reach)
                    continue;
                const double w = std::exp(-0.5 * (d / width) * (d / width));
                sw += w;
                sv += w * model[i];
            }
            smoothed[j - first] = sv / sw;
        }
        std::copy(smoothed.begin(), smoothed.end(), model.begin() + first);
    }

    const double top = first >= 0 ? model[first] : lr.front();
    const double base = last >= 0 ? model[last] : lr.back();
    for (int j = 0; j < nl; ++j) {
        const double z = lnLadder[j];
        if (z < lz.front()) {
            model[j] = top;
        } else if (z > lz.back()) {
            const double q = (z - lz.back()) / InversionMethod::kRelaxLength;
            model[j] = base + (lnRef - base) * (1.0 - std::exp(-q * q));
        }
    }
    return model;
}

Sounding sound(const QVector<double>& curve, const QVector<double>& times, double current)
{
    Sounding s;
    InversionMethod::apparentResistivity(curve, times, current, s.rho, s.depth);
    return s;
}

// A neighbour in the lateral smoothing and its closeness: the reference
// spacing over its distance (1 on an even spacing).
struct Neighbour {
    int index;
    double closeness;
};

// Median of the positive finite distances; 0 when there is none.
double medianSpacing(std::vector<double> d)
{
    d.erase(std::remove_if(d.begin(), d.end(), [](double v) { return !positiveFinite(v); }), d.end());
    if (d.empty())
        return 0.0;
    const size_t mid = d.size() / 2;
    std::nth_element(d.begin(), d.begin() + mid, d.end());
    double m = d[mid];
    if (d.size() % 2 == 0)
        m = 0.5 * (m + *std::max_element(d.begin(), d.begin() + mid));
    return m;
}

double closeness(double distance, double reference)
{
    if (!positiveFinite(reference) || !std::isfinite(distance))
        return 1.0;
    return distance > 0.0 ? reference / distance : std::numeric_limits<double>::infinity();
}

// Lateral smoothing of log-resistivity models: each model of a usable station
// is averaged with its usable neighbours, each weighted alpha x its
// closeness (at most 1), so a station twice as far counts half.
void smoothLaterally(std::vector<std::vector<double> >& models,
                     const std::vector<bool>& usable,
                     const std::vector<std::vector<Neighbour> >& neighbours, double constraint)
{
    if (!(std::isfinite(constraint) && constraint > 0.0))
        return;
    const double alpha = std::min(1.0, InversionMethod::kLateralWeight * constraint);
    const std::vector<std::vector<double> > source = models;
    for (size_t i = 0; i < models.size(); ++i) {
        if (!usable[i])
            continue;
        for (size_t j = 0; j < models[i].size(); ++j) {
            double sum = source[i][j];
            double weight = 1.0;
            for (const Neighbour& n : neighbours[i]) {
                if (!usable[n.index])
                    continue;
                const double w = std::min(1.0, alpha * n.closeness);
                sum += w * source[n.index][j];
                weight += w;
            }
            models[i][j] = sum / weight;
        }
    }
}

QVector<double> toValues(const std::vector<double>& lnModel)
{
    QVector<double> v(static_cast<int>(lnModel.size()));
    for (int j = 0; j < v.size(); ++j)
        v[j] = std::exp(lnModel[j]);
    return v;
}

QVector<double> toDepths(const std::vector<double>& ladder, double shift)
{
    QVector<double> d(static_cast<int>(ladder.size()));
    for (int j = 0; j < d.size(); ++j)
        d[j] = shift - ladder[j];
    return d;
}

} // namespace

InversionMethod::InversionMethod() = default;

double InversionMethod::halfSpaceDBzDt(double t, double rho, double current, double loopRadius)
{
    if (!positiveFinite(t) || !positiveFinite(rho) || !positiveFinite(loopRadius))
        return std::numeric_limits<double>::quiet_NaN();
    const double a = loopRadius;
    const double x = kMu0 * a * a / (4.0 * rho * t);
    return -3.0 * current * rho / (a * a * a) * gammaP52(x);
}

double InversionMethod::receivedVoltage(double t, double rho, double current, double loopRadius)
{
    return -kReceiverArea * halfSpaceDBzDt(t, rho, current, loopRadius);
}

QVector<double> InversionMethod::syntheticCurve(const QVector<double>& timesUs, double rho,
                                                double current)
{
    QVector<double> v(timesUs.size());
    for (int i = 0; i < timesUs.size(); ++i)
        v[i] = receivedVoltage(timesUs[i] * 1e-6, rho, current);
    return v;
}

void InversionMethod::apparentResistivity(const QVector<double>& curve,
                                          const QVector<double>& timesUs, double current,
                                          QVector<double>& rho, QVector<double>& depthsM)
{
    rho.clear();
    depthsM.clear();
    if (!positiveFinite(current))
        return;
    const double a = kLoopRadius;
    struct Gate {
        double t;
        double target;
    };
    std::vector<Gate> gates;
    const int n = std::min(curve.size(), timesUs.size());
    gates.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double t = timesUs[i] * 1e-6;
        const double v = curve[i] / current;
        if (!positiveFinite(t) || !positiveFinite(v))
            continue;
        // v = (3 A_r mu0 / (4 a t)) g(x)
        const double target = v / (3.0 * kReceiverArea * kMu0 / (4.0 * a * t));
        if (positiveFinite(target))
            gates.push_back({t, target});
    }
    std::stable_sort(gates.begin(), gates.end(),
                     [](const Gate& l, const Gate& r) { return l.t < r.t; });
    const int m = static_cast<int>(gates.size());
    rho.resize(m);
    depthsM.resize(m);
    double previousLnRho = 0.0;
    for (int i = m - 1; i >= 0; --i) {
        const double t = gates[i].t;
        const double lnScale = std::log(kMu0 * a * a / (4.0 * t));  // ln rho = lnScale - ln x
        double lateLnX = 0.0;
        double earlyLnX = 0.0;
        responseRoots(gates[i].target, lateLnX, earlyLnX);
        double lnX = lateLnX;
        if (i < m - 1) {
            const double previousLnX = lnScale - previousLnRho;
            if (std::fabs(earlyLnX - previousLnX) < std::fabs(lateLnX - previousLnX))
                lnX = earlyLnX;
        }
        const double r = std::exp(lnScale - lnX);
        previousLnRho = lnScale - lnX;
        rho[i] = r;
        depthsM[i] = kDepthFraction * std::sqrt(2.0 * t * r / kMu0);
    }
}

QVector<double> InversionMethod::defaultLadder()
{
    return toDepths(ladderFor(0.0), 0.0);
}

void InversionMethod::pointCompute(QVector<double> curve, QVector<double> times, double current,
                                   QVector<double>& values, QVector<double>& depths,
                                   double referenceResistivity, double constraint)
{
    const double reference = saneReference(referenceResistivity);
    const Sounding s = sound(curve, times, current);
    if (!s.usable()) {
        values.clear();
        depths.clear();
        return;
    }
    const std::vector<double> ladder = ladderFor(s.deepest());
    values = toValues(buildModel(s, ladder, reference, constraint));
    depths = toDepths(ladder, 0.0);
}

QList<DataType_ThreeResultData> InversionMethod::shapedProfile_LineCalc(
    QVector<QVector<double> > curves, QVector<double> times,
    QVector<GPSCoordinate> coordinates, double referenceResistivity, double constraint,
    double third)
{
    Q_UNUSED(third);
    QList<DataType_ThreeResultData> result;
    const int n = curves.size();
    if (n == 0)
        return result;
    const double reference = saneReference(referenceResistivity);

    std::vector<Sounding> soundings(n);
    std::vector<bool> usable(n);
    double deepest = 0.0;
    for (int i = 0; i < n; ++i) {
        soundings[i] = sound(curves[i], times, kNominalLineCurrent);
        usable[i] = soundings[i].usable();
        if (usable[i])
            deepest = std::max(deepest, soundings[i].deepest());
    }
    const std::vector<double> ladder = ladderFor(deepest);
    // Distance along the line: the station numbers (metres along it).
    std::vector<double> position(n);
    for (int i = 0; i < n; ++i)
        position[i] = i < coordinates.size() ? double(coordinates[i].pointNo) : double(i);
    std::vector<double> steps;
    for (int i = 1; i < n; ++i)
        steps.push_back(std::fabs(position[i] - position[i - 1]));
    const double spacing = medianSpacing(steps);
    std::vector<std::vector<double> > models(n);
    std::vector<std::vector<Neighbour> > neighbours(n);
    for (int i = 0; i < n; ++i) {
        models[i] = buildModel(soundings[i], ladder, reference, constraint);
        for (int j : {i - 1, i + 1}) {
            if (j >= 0 && j < n)
                neighbours[i].push_back({j, closeness(std::fabs(position[j] - position[i]), spacing)});
        }
    }
    smoothLaterally(models, usable, neighbours, constraint);

    const QVector<double> depths = toDepths(ladder, 0.0);
    for (int i = 0; i < n; ++i) {
        DataType_ThreeResultData r;
        if (i < coordinates.size()) {
            r.x = coordinates[i].x;
            r.y = coordinates[i].y;
            r.station = coordinates[i].pointNo;
        } else {
            r.x = i;
            r.y = 0.0;
            r.station = i;
        }
        r.z = depths;
        r.value = toValues(models[i]);
        result.append(r);
    }
    return result;
}

QList<DataType_ThreeResultData> InversionMethod::Three_Dimensional_Calc(
    QVector<QVector<QVector<double> > > curves, QVector<QVector<double> > times,
    QVector<QVector<GPSCoordinate> > coordinates, double referenceResistivity,
    double constraint, double third)
{
    Q_UNUSED(third);
    QList<DataType_ThreeResultData> result;
    const double reference = saneReference(referenceResistivity);
    const int lines = curves.size();

    // Flatten the stations, line by line.
    struct Station {
        int line;
        double x;
        double y;
        double z;
        bool hasZ;
        double number;
    };
    std::vector<Station> stations;
    std::vector<Sounding> soundings;
    std::vector<int> lineStart(lines + 1, 0);
    double deepest = 0.0;
    double allZ = 0.0;
    int allZCount = 0;
    for (int l = 0; l < lines; ++l) {
        lineStart[l] = static_cast<int>(stations.size());
        const QVector<double> lineTimes = l < times.size() ? times[l] : QVector<double>();
        const QVector<GPSCoordinate> lineCoords =
            l < coordinates.size() ? coordinates[l] : QVector<GPSCoordinate>();
        for (int i = 0; i < curves[l].size(); ++i) {
            Station st{l, double(i), double(l), 0.0, false, double(i)};
            if (i < lineCoords.size()) {
                const GPSCoordinate& c = lineCoords[i];
                st.x = c.x;
                st.y = c.y;
                st.number = c.pointNo;
                if (std::isfinite(c.z) && c.z <= kMissingElevation) {
                    st.z = c.z;
                    st.hasZ = true;
                    allZ += c.z;
                    ++allZCount;
                }
            }
            stations.push_back(st);
            soundings.push_back(sound(curves[l][i], lineTimes, kNominalLineCurrent));
            if (soundings.back().usable())
                deepest = std::max(deepest, soundings.back().deepest());
        }
    }
    lineStart[lines] = static_cast<int>(stations.size());
    const int n = static_cast<int>(stations.size());
    if (n == 0)
        return result;

    // Missing elevations: the line's mean, else the survey's, else 0.
    const double surveyZ = allZCount > 0 ? allZ / allZCount : 0.0;
    for (int l = 0; l < lines; ++l) {
        double sum = 0.0;
        int count = 0;
        for (int i = lineStart[l]; i < lineStart[l + 1]; ++i) {
            if (stations[i].hasZ) {
                sum += stations[i].z;
                ++count;
            }
        }
        const double fill = count > 0 ? sum / count : surveyZ;
        for (int i = lineStart[l]; i < lineStart[l + 1]; ++i) {
            if (!stations[i].hasZ)
                stations[i].z = fill;
        }
    }

    const std::vector<double> ladder = ladderFor(deepest);
    std::vector<std::vector<double> > models(n);
    std::vector<bool> usable(n);
    for (int i = 0; i < n; ++i) {
        models[i] = buildModel(soundings[i], ladder, reference, constraint);
        usable[i] = soundings[i].usable();
    }

    // Neighbours: next along the line, and the nearest usable station of each
    // adjacent line; each weighted by its distance in plan against the
    // typical spacing of its kind.
    auto planDistance = [&stations](int a, int b) {
        return std::hypot(stations[a].x - stations[b].x, stations[a].y - stations[b].y);
    };
    std::vector<std::vector<int> > alongLine(n);
    std::vector<std::vector<int> > acrossLines(n);
    std::vector<double> alongSteps;
    std::vector<double> acrossSteps;
    for (int l = 0; l < lines; ++l) {
        for (int i = lineStart[l]; i < lineStart[l + 1]; ++i) {
            if (i > lineStart[l]) {
                alongLine[i].push_back(i - 1);
                alongSteps.push_back(planDistance(i, i - 1));
            }
            if (i + 1 < lineStart[l + 1])
                alongLine[i].push_back(i + 1);
            for (int other : {l - 1, l + 1}) {
                if (other < 0 || other >= lines)
                    continue;
                int best = -1;
                double bestD = std::numeric_limits<double>::infinity();
                for (int j = lineStart[other]; j < lineStart[other + 1]; ++j) {
                    if (!usable[j])
                        continue;
                    const double dx = stations[j].x - stations[i].x;
                    const double dy = stations[j].y - stations[i].y;
                    const double d = dx * dx + dy * dy;
                    if (d < bestD) {
                        bestD = d;
                        best = j;
                    }
                }
                if (best >= 0) {
                    acrossLines[i].push_back(best);
                    acrossSteps.push_back(std::sqrt(bestD));
                }
            }
        }
    }
    const double alongSpacing = medianSpacing(alongSteps);
    const double acrossSpacing = medianSpacing(acrossSteps);
    std::vector<std::vector<Neighbour> > neighbours(n);
    for (int i = 0; i < n; ++i) {
        for (int j : alongLine[i])
            neighbours[i].push_back({j, closeness(planDistance(i, j), alongSpacing)});
        for (int j : acrossLines[i])
            neighbours[i].push_back({j, closeness(planDistance(i, j), acrossSpacing)});
    }
    smoothLaterally(models, usable, neighbours, constraint);

    for (int i = 0; i < n; ++i) {
        DataType_ThreeResultData r;
        r.x = stations[i].x;
        r.y = stations[i].y;
        r.station = stations[i].number;
        r.z = toDepths(ladder, stations[i].z);
        r.value = toValues(models[i]);
        result.append(r);
    }
    return result;
}
