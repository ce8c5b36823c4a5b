#include "platform/inversion/InversionMethod.h"

#include <QtConcurrent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "platform/inversion/LayeredEarthResponse.h"
#include "platform/inversion/LayeredInversion.h"

namespace {

constexpr double kGamma72 = 3.32335097044784255118;  // Gamma(7/2) = 15 sqrt(pi) / 8
constexpr double kPi = 3.14159265358979323846;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

bool positiveFinite(double v)
{
    return std::isfinite(v) && v > 0.0;
}

// Normalised half-space response in terms of x = mu0 a^2 / (4 rho t): the
// voltage per ampere-turn and unit receiver area is (3 mu0 / (4 a t)) g(x),
// g(x) = P(5/2, x) / x.
double lnG(double x)
{
    return std::log(LayeredEarthResponse::gammaP52(x) / x);
}

// d ln g / d ln x
double dLnG(double x)
{
    const double p = LayeredEarthResponse::gammaP52(x);
    return p > 0.0 ? x * LayeredEarthResponse::gammaP52Derivative(x) / p - 1.0 : 1.5;
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

// One station's usable gates, made ready for the inversion.
struct Prepared {
    bool usable = false;
    QVector<double> timesS;         // ascending
    LayeredInversion::Sounding sounding;
    QVector<double> apparentLnRho;  // per gate
    QVector<double> gateDepth;      // per gate, m
    double shallowest = 0.0;
    double deepest = 0.0;
};

// Usable gates in order of time, their log data per ampere (the survey's
// turns and receiver area divided out), their apparent resistivities and
// depths. Not usable without two usable gates or a usable current.
Prepared prepare(const QVector<double>& curve, const QVector<double>& timesUs, double current,
                 const InversionMethod::Survey& survey)
{
    Prepared p;
    if (!positiveFinite(current) || !positiveFinite(survey.loopRadius) || !positiveFinite(survey.transmitterTurns)
        || !positiveFinite(survey.receiverArea)) {
        return p;
    }
    struct Gate {
        double t;
        double perAmpere;
    };
    std::vector<Gate> gates;
    const int n = std::min(curve.size(), timesUs.size());
    const double scale = current * survey.transmitterTurns * survey.receiverArea;
    for (int i = 0; i < n; ++i) {
        const double t = timesUs[i] * 1e-6;
        const double v = curve[i] / scale;
        if (positiveFinite(t) && positiveFinite(v))
            gates.push_back({t, v});
    }
    std::stable_sort(gates.begin(), gates.end(), [](const Gate& l, const Gate& r) { return l.t < r.t; });
    const int m = static_cast<int>(gates.size());
    if (m < 2)
        return p;

    const double a = survey.loopRadius;
    p.timesS.resize(m);
    p.sounding.logData.resize(m);
    p.apparentLnRho.resize(m);
    p.gateDepth.resize(m);
    QVector<double> logTimes(m);
    double previousLnRho = 0.0;
    for (int i = m - 1; i >= 0; --i) {
        const double t = gates[i].t;
        p.timesS[i] = t;
        logTimes[i] = std::log(t);
        p.sounding.logData[i] = std::log(gates[i].perAmpere);
        const double target = gates[i].perAmpere / (3.0 * InversionMethod::kMu0 / (4.0 * a * t));
        const double lnScale = std::log(InversionMethod::kMu0 * a * a / (4.0 * t));  // ln rho = lnScale - ln x
        double lateLnX = 0.0;
        double earlyLnX = 0.0;
        responseRoots(target, lateLnX, earlyLnX);
        double lnX = lateLnX;
        if (i < m - 1) {
            const double previousLnX = lnScale - previousLnRho;
            if (std::fabs(earlyLnX - previousLnX) < std::fabs(lateLnX - previousLnX))
                lnX = earlyLnX;
        }
        previousLnRho = lnScale - lnX;
        p.apparentLnRho[i] = previousLnRho;
        p.gateDepth[i] = 0.5 * std::sqrt(2.0 * t * std::exp(previousLnRho) / InversionMethod::kMu0);
    }
    p.shallowest = *std::min_element(p.gateDepth.cbegin(), p.gateDepth.cend());
    p.deepest = *std::max_element(p.gateDepth.cbegin(), p.gateDepth.cend());
    // The latest gates see down to about their diffusion depth.
    p.sounding.reach = InversionMethod::kReachBelowData * p.deepest;
    p.sounding.error = LayeredInversion::gateErrors(logTimes, p.sounding.logData, LayeredInversion::kErrorFloor);
    p.usable = positiveFinite(p.shallowest) && positiveFinite(p.deepest);
    return p;
}

// Lower boundaries (m, positive) from half the shallowest gate depth to the
// reach of the latest gates, growing evenly in log depth, then more widely
// spaced layers below it down to kLadderBelowData times the deepest gate
// depth, where the model tends to the reference.
QVector<double> ladderFor(double shallowest, double deepest)
{
    const double top = std::max(1.0, 0.5 * shallowest);
    const double reach = std::max(8.0 * top, InversionMethod::kReachBelowData * deepest);
    const double span = std::log(reach / top);
    const int count = std::min(InversionMethod::kLadderMaxLayers - 4,
                               std::max(InversionMethod::kLadderMinLayers,
                                        static_cast<int>(std::lround(span / std::log(InversionMethod::kLadderGrowth))) + 1));
    QVector<double> ladder(count);
    for (int i = 0; i < count; ++i)
        ladder[i] = top * std::exp(span * i / (count - 1));
    const double bottom = InversionMethod::kLadderBelowData / InversionMethod::kReachBelowData * reach;
    while (ladder.last() < bottom && ladder.size() < InversionMethod::kLadderMaxLayers)
        ladder.append(ladder.last() * InversionMethod::kLadderGrowthBelowReach);
    return ladder;
}

// The apparent resistivities interpolated onto the ladder's layers in log
// depth, constant beyond the gates.
QVector<double> startModel(const Prepared& p, const QVector<double>& ladder)
{
    std::vector<std::pair<double, double> > points;
    for (int i = 0; i < p.gateDepth.size(); ++i)
        points.emplace_back(std::log(p.gateDepth[i]), p.apparentLnRho[i]);
    std::sort(points.begin(), points.end());
    QVector<double> model(ladder.size());
    for (int j = 0; j < ladder.size(); ++j) {
        const double top = j > 0 ? ladder[j - 1] : 0.5 * ladder[0];
        const double z = std::log(j + 1 < ladder.size() ? std::sqrt(top * ladder[j]) : ladder[j]);
        if (z <= points.front().first) {
            model[j] = points.front().second;
        } else if (z >= points.back().first) {
            model[j] = points.back().second;
        } else {
            size_t k = 0;
            while (k + 1 < points.size() && points[k + 1].first < z)
                ++k;
            const double span = points[k + 1].first - points[k].first;
            const double f = span > 0.0 ? (z - points[k].first) / span : 0.0;
            model[j] = points[k].second + f * (points[k + 1].second - points[k].second);
        }
    }
    return model;
}

// The records begin with a boundary at kOutputTop when the ladder's first
// lies deeper: the top layer split in two, so that a column's first level
// marks the ground, as the sections read it.
constexpr double kOutputTop = 1.0;

QVector<double> toValues(const QVector<double>& lnModel, const QVector<double>& ladder)
{
    QVector<double> v;
    if (!ladder.isEmpty() && ladder.first() > kOutputTop && !lnModel.isEmpty())
        v.append(std::exp(lnModel.first()));
    for (double m : lnModel)
        v.append(std::exp(m));
    return v;
}

QVector<double> toDepths(const QVector<double>& ladder, double shift)
{
    QVector<double> d;
    if (!ladder.isEmpty() && ladder.first() > kOutputTop)
        d.append(shift - kOutputTop);
    for (double z : ladder)
        d.append(shift - z);
    return d;
}

// A neighbour in the lateral term and its closeness: the typical spacing
// over its distance, at most 1.
struct Link {
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

double closeness(double distance, double typical)
{
    if (!positiveFinite(typical) || !std::isfinite(distance) || !(distance > typical))
        return 1.0;
    return typical / distance;
}

struct Together {
    std::vector<LayeredInversion::Result> results;
    int forwards = 0;
};

// Inverts the usable stations one by one, then in sweeps tied to their
// usable neighbours (each sweep from the models of the sweep before, so
// the order and number of threads do not matter).
Together invertTogether(const std::vector<Prepared>& stations, const std::vector<std::vector<Link> >& links,
                        const QVector<double>& ladder, double reference, double constraint, double radius)
{
    const int n = static_cast<int>(stations.size());
    Together out;
    out.results.resize(n);
    const LayeredInversion inversion(ladder, reference, constraint);
    std::vector<std::unique_ptr<LayeredEarthResponse> > forward(n);
    QVector<int> usable;
    for (int i = 0; i < n; ++i) {
        if (!stations[i].usable)
            continue;
        forward[i] = std::make_unique<LayeredEarthResponse>(stations[i].timesS, radius);
        usable.append(i);
    }
    QtConcurrent::blockingMap(usable, [&](int i) {
        out.results[i] = inversion.invert(*forward[i], stations[i].sounding, startModel(stations[i], ladder), {},
                                          InversionMethod::kIterations);
    });
    for (int i : usable)
        out.forwards += out.results[i].forwards;

    const double lateral = InversionMethod::kLateralWeight * (std::isfinite(constraint) ? constraint : 0.0);
    if (!(lateral > 0.0) || usable.size() < 2)
        return out;
    for (int sweep = 0; sweep < InversionMethod::kLateralSweeps; ++sweep) {
        std::vector<LayeredInversion::Result> next = out.results;
        std::vector<int> spent(n, 0);
        QtConcurrent::blockingMap(usable, [&](int i) {
            std::vector<LayeredInversion::Neighbour> neighbours;
            for (const Link& link : links[i]) {
                if (!stations[link.index].usable)
                    continue;
                neighbours.push_back({out.results[link.index].model, lateral * link.closeness});
            }
            if (neighbours.empty())
                return;
            next[i] = inversion.invert(*forward[i], stations[i].sounding, out.results[i].model, neighbours,
                                       InversionMethod::kSweepIterations);
            spent[i] = next[i].forwards;
        });
        for (int i : usable)
            out.forwards += spent[i];
        out.results = std::move(next);
    }
    return out;
}

QVector<double> flatModel(int layers, double reference)
{
    return QVector<double>(layers, std::log(reference));
}

} // namespace

InversionMethod::Survey InversionMethod::Survey::fromCoils(double loopLength, double loopWidth, double turns,
                                                         double receiverArea)
{
    Survey s;
    if (positiveFinite(loopLength) && positiveFinite(loopWidth))
        s.loopRadius = std::sqrt(loopLength * loopWidth / kPi);
    if (positiveFinite(turns))
        s.transmitterTurns = turns;
    if (positiveFinite(receiverArea))
        s.receiverArea = receiverArea;
    return s;
}

InversionMethod::InversionMethod()
    : m_lastMisfit(kNaN)
{
}

void InversionMethod::setSurvey(const Survey& survey)
{
    const Survey defaults;
    m_survey.loopRadius = positiveFinite(survey.loopRadius) ? survey.loopRadius : defaults.loopRadius;
    m_survey.transmitterTurns = positiveFinite(survey.transmitterTurns) ? survey.transmitterTurns : 1.0;
    m_survey.receiverArea = positiveFinite(survey.receiverArea) ? survey.receiverArea : defaults.receiverArea;
}

double InversionMethod::halfSpaceDBzDt(double t, double rho, double current, double loopRadius)
{
    return current * LayeredEarthResponse::halfSpace(t, rho, loopRadius);
}

double InversionMethod::receivedVoltage(double t, double rho, double current, double loopRadius)
{
    return -kReceiverArea * halfSpaceDBzDt(t, rho, current, loopRadius);
}

QVector<double> InversionMethod::syntheticCurve(const QVector<double>& timesUs, double rho, double current)
{
    QVector<double> v(timesUs.size());
    for (int i = 0; i < timesUs.size(); ++i)
        v[i] = receivedVoltage(timesUs[i] * 1e-6, rho, current);
    return v;
}

void InversionMethod::apparentResistivity(const QVector<double>& curve, const QVector<double>& timesUs,
                                          double current, QVector<double>& rho, QVector<double>& depthsM)
{
    rho.clear();
    depthsM.clear();
    const Prepared p = prepare(curve, timesUs, current, Survey());
    for (int i = 0; i < p.apparentLnRho.size(); ++i) {
        rho.append(std::exp(p.apparentLnRho[i]));
        depthsM.append(p.gateDepth[i]);
    }
}

void InversionMethod::pointCompute(QVector<double> curve, QVector<double> times, double current,
                                   QVector<double>& values, QVector<double>& depths, double referenceResistivity,
                                   double constraint)
{
    m_lastMisfit = kNaN;
    m_lastForwards = 0;
    values.clear();
    depths.clear();
    const Prepared p = prepare(curve, times, current, m_survey);
    if (!p.usable)
        return;
    const QVector<double> ladder = ladderFor(p.shallowest, p.deepest);
    const LayeredInversion inversion(ladder, saneReference(referenceResistivity), constraint);
    const LayeredEarthResponse forward(p.timesS, m_survey.loopRadius);
    const LayeredInversion::Result r = inversion.invert(forward, p.sounding, startModel(p, ladder), {}, kIterations);
    values = toValues(r.model, ladder);
    depths = toDepths(ladder, 0.0);
    m_lastMisfit = r.finite ? r.rmsRelative : kNaN;
    m_lastForwards = r.forwards;
}

QList<DataType_ThreeResultData> InversionMethod::shapedProfile_LineCalc(QVector<QVector<double> > curves,
                                                                        QVector<double> times,
                                                                        QVector<GPSCoordinate> coordinates,
                                                                        double referenceResistivity,
                                                                        double constraint, double third)
{
    Q_UNUSED(third);
    QList<DataType_ThreeResultData> result;
    m_lastForwards = 0;
    const int n = curves.size();
    if (n == 0)
        return result;
    const double reference = saneReference(referenceResistivity);

    std::vector<Prepared> stations(n);
    double shallowest = std::numeric_limits<double>::infinity();
    double deepest = 0.0;
    for (int i = 0; i < n; ++i) {
        stations[i] = prepare(curves[i], times, kNominalLineCurrent, m_survey);
        if (stations[i].usable) {
            shallowest = std::min(shallowest, stations[i].shallowest);
            deepest = std::max(deepest, stations[i].deepest);
        }
    }
    const QVector<double> ladder = std::isfinite(shallowest) ? ladderFor(shallowest, deepest)
                                                             : ladderFor(0.0, 0.0);
    // Distance along the line: the station numbers (metres along it).
    std::vector<double> position(n);
    for (int i = 0; i < n; ++i)
        position[i] = i < coordinates.size() ? double(coordinates[i].pointNo) : double(i);
    std::vector<double> steps;
    for (int i = 1; i < n; ++i)
        steps.push_back(std::fabs(position[i] - position[i - 1]));
    const double spacing = medianSpacing(steps);
    std::vector<std::vector<Link> > links(n);
    for (int i = 0; i < n; ++i) {
        for (int j : {i - 1, i + 1}) {
            if (j >= 0 && j < n)
                links[i].push_back({j, closeness(std::fabs(position[j] - position[i]), spacing)});
        }
    }
    const Together together = invertTogether(stations, links, ladder, reference, constraint, m_survey.loopRadius);
    m_lastForwards = together.forwards;

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
        const bool modelled = stations[i].usable && together.results[i].finite;
        r.value = toValues(stations[i].usable ? together.results[i].model : flatModel(ladder.size(), reference), ladder);
        r.reserved = modelled ? together.results[i].rmsRelative : kNaN;
        result.append(r);
    }
    return result;
}

QList<DataType_ThreeResultData> InversionMethod::Three_Dimensional_Calc(
    QVector<QVector<QVector<double> > > curves, QVector<QVector<double> > times,
    QVector<QVector<GPSCoordinate> > coordinates, double referenceResistivity, double constraint, double third)
{
    Q_UNUSED(third);
    QList<DataType_ThreeResultData> result;
    m_lastForwards = 0;
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
    std::vector<Prepared> prepared;
    std::vector<int> lineStart(lines + 1, 0);
    double shallowest = std::numeric_limits<double>::infinity();
    double deepest = 0.0;
    double allZ = 0.0;
    int allZCount = 0;
    for (int l = 0; l < lines; ++l) {
        lineStart[l] = static_cast<int>(stations.size());
        const QVector<double> lineTimes = l < times.size() ? times[l] : QVector<double>();
        const QVector<GPSCoordinate> lineCoords = l < coordinates.size() ? coordinates[l] : QVector<GPSCoordinate>();
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
            prepared.push_back(prepare(curves[l][i], lineTimes, kNominalLineCurrent, m_survey));
            if (prepared.back().usable) {
                shallowest = std::min(shallowest, prepared.back().shallowest);
                deepest = std::max(deepest, prepared.back().deepest);
            }
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

    const QVector<double> ladder = std::isfinite(shallowest) ? ladderFor(shallowest, deepest)
                                                             : ladderFor(0.0, 0.0);

    // Neighbours: next along the line, and the nearest usable station of
    // each adjacent line; each weighted by its distance in plan against the
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
                    if (!prepared[j].usable)
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
    std::vector<std::vector<Link> > links(n);
    for (int i = 0; i < n; ++i) {
        for (int j : alongLine[i])
            links[i].push_back({j, closeness(planDistance(i, j), alongSpacing)});
        for (int j : acrossLines[i])
            links[i].push_back({j, closeness(planDistance(i, j), acrossSpacing)});
    }
    const Together together = invertTogether(prepared, links, ladder, reference, constraint, m_survey.loopRadius);
    m_lastForwards = together.forwards;

    for (int i = 0; i < n; ++i) {
        DataType_ThreeResultData r;
        r.x = stations[i].x;
        r.y = stations[i].y;
        r.station = stations[i].number;
        r.z = toDepths(ladder, stations[i].z);
        const bool modelled = prepared[i].usable && together.results[i].finite;
        r.value = toValues(prepared[i].usable ? together.results[i].model : flatModel(ladder.size(), reference), ladder);
        r.reserved = modelled ? together.results[i].rmsRelative : kNaN;
        result.append(r);
    }
    return result;
}
