#include "model/Data_Mathematical_Calc.h"

#include "model/ModelFiles.h"
#include "model/SafeInterpolator.h"
#include "model/WaitCursor.h"
#include "platform/inversion/InversionMethod.h"

#include <QtConcurrent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

Data_Mathematical_Calc::Data_Mathematical_Calc(QObject *parent)
    : QObject(parent)
{
    initNumerics();
}

void Data_Mathematical_Calc::initNumerics()
{
    SafeInterpolator::disableGslAbort();
}

QList<double> Data_Mathematical_Calc::getResults() const
{
    return m_results;
}

double Data_Mathematical_Calc::scaledConstraint(const InvParam &param)
{
    switch (param.instrumentKind) {
    case 1: return param.constraintCoefficient * 0.5;
    case 2: return param.constraintCoefficient * 0.8;
    case 3: return param.constraintCoefficient * 2.0;
    default: return param.constraintCoefficient;
    }
}

QVector<QVector<double> > Data_Mathematical_Calc::transpose(QVector<QVector<double> > m)
{
    QVector<QVector<double> > t;
    if (m.isEmpty())
        return t;
    const int rows = m.size();
    const int cols = m.first().size();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    t.resize(cols);
    for (int j = 0; j < cols; ++j) {
        QVector<double> &row = t[j];
        row.resize(rows);
        for (int i = 0; i < rows; ++i)
            row[i] = j < m[i].size() ? m[i][j] : nan;
    }
    return t;
}

void Data_Mathematical_Calc::sortByX(double *x, const double *xBefore, double *y, int n)
{
    if (!x || !xBefore || !y || n <= 0)
        return;
    // Copies first: xBefore may be x itself.
    const QVector<double> before(xBefore, xBefore + n);
    const QVector<double> yBefore(y, y + n);

    // NaN sorts last, so the comparison stays a strict weak order.
    auto less = [](double a, double b) { return std::isnan(b) ? !std::isnan(a) : a < b; };
    QVector<int> perm(n);
    for (int i = 0; i < n; ++i)
        perm[i] = i;
    const QVector<double> xOld(x, x + n);
    std::stable_sort(perm.begin(), perm.end(),
                     [&](int a, int b) { return less(xOld[a], xOld[b]); });

    // (value, index) of the abscissae before the sort, to find the last
    // index holding a given value.
    QVector<QPair<double, int> > lookup;
    lookup.reserve(n);
    for (int j = 0; j < n; ++j) {
        if (!std::isnan(before[j]))
            lookup.append(qMakePair(before[j], j));
    }
    std::sort(lookup.begin(), lookup.end());

    for (int i = 0; i < n; ++i) {
        const double xi = xOld[perm[i]];
        x[i] = xi;
        y[i] = yBefore[perm[i]];
        if (std::isnan(xi))
            continue;
        auto it = std::upper_bound(lookup.cbegin(), lookup.cend(), xi,
                                   [](double v, const QPair<double, int> &p) { return v < p.first; });
        if (it != lookup.cbegin() && (it - 1)->first == xi)
            y[i] = yBefore[(it - 1)->second];
    }
}

double Data_Mathematical_Calc::linearInterpolate(const double *x, const double *y, int n, double xq)
{
    const SafeInterpolator ip(x, y, n, SafeInterpolator::Linear);
    return ip.value(xq);
}

QVector<double> Data_Mathematical_Calc::resampleLinear(QVector<TopoData> topography,
                                                       QVector<double> positions)
{
    QVector<double> px, py;
    px.reserve(topography.size());
    py.reserve(topography.size());
    double sum = 0.0;
    for (const TopoData &t : topography) {
        if (!std::isfinite(t.position) || !std::isfinite(t.elevation))
            continue;
        px.append(t.position);
        py.append(t.elevation);
        sum += t.elevation;
    }
    if (px.isEmpty())
        return QVector<double>(positions.size(), 0.0);

    const double mean = sum / px.size();
    SafeInterpolator ip(px, py, SafeInterpolator::Linear);
    ip.setOutsideValue(mean);
    return ip.values(positions);
}

void Data_Mathematical_Calc::pointInversion(QVector<QVector<double> > curves,
                                            QVector<double> times, QVector<double> stations,
                                            double current, QList<DataType_ResultData> &results,
                                            InvParam param)
{
    initNumerics();
    results.clear();
    m_results.clear();

    const QVector<QVector<double> > perStation = transpose(curves);
    const QVector<double> elevations = resampleLinear(param.topography, stations);
    const double constraint = scaledConstraint(param);

    // A long line takes seconds.
    const WaitCursor busy;
    InversionMethod method;
    method.setSurvey(m_survey);
    // The stations are independent: they are inverted in parallel, each on
    // its own copy of the configured library object.
    struct Model {
        QVector<double> values;
        QVector<double> depths;
    };
    QVector<int> order(stations.size());
    std::iota(order.begin(), order.end(), 0);
    QVector<Model> models(stations.size());
    QtConcurrent::blockingMap(order, [&](int i) {
        InversionMethod station = method;
        station.pointCompute(i < perStation.size() ? perStation[i] : QVector<double>(), times, current,
                             models[i].values, models[i].depths, param.referenceResistivity, constraint);
    });
    for (int i = 0; i < stations.size(); ++i) {
        QVector<double> values = models[i].values;
        QVector<double> depths = models[i].depths;
        if (depths.isEmpty() || values.isEmpty())
            continue;
        const double elevation = elevations[i];
        for (double &d : depths)
            d += elevation;
        // First of the smallest, as std::min_element gives it.
        m_results.append(*std::min_element(depths.cbegin(), depths.cend()));
        DataType_ResultData r;
        r.x = stations[i];
        r.depth = depths;
        r.value = values;
        results.append(r);
    }
}

void Data_Mathematical_Calc::scaleToLineCurrent(QVector<QVector<double> > &curves,
                                                const QVector<double> &currents)
{
    for (QVector<double> &row : curves) {
        const int n = std::min(row.size(), currents.size());
        for (int j = 0; j < n; ++j) {
            const double current = currents[j];
            if (std::isfinite(current) && current > 0.0)
                row[j] *= kLineCurrent / current;
        }
    }
}

QVector<int> Data_Mathematical_Calc::invertibleStations(const QVector<QVector<double> > &curves,
                                                         const QVector<double> &times)
{
    QVector<int> stations;
    const int columns = curves.isEmpty() ? 0 : curves.first().size();
    for (int j = 0; j < columns; ++j) {
        int usable = 0;
        for (int g = 0; g < curves.size() && g < times.size() && usable < 2; ++g) {
            const double t = times[g];
            const double v = j < curves[g].size() ? curves[g][j] : 0.0;
            if (std::isfinite(t) && t > 0.0 && std::isfinite(v) && v > 0.0)
                ++usable;
        }
        if (usable >= 2)
            stations.append(j);
    }
    return stations;
}

QList<DataType_ThreeResultData> Data_Mathematical_Calc::profileInversion(
    QVector<QVector<double> > curves, QVector<double> times, QVector<GPSCoordinate> coordinates,
    InvParam param, double /*unused*/)
{
    initNumerics();
    const QVector<QVector<double> > perStation = transpose(curves);
    const WaitCursor busy;
    InversionMethod method;
    method.setSurvey(m_survey);
    QList<DataType_ThreeResultData> result = method.shapedProfile_LineCalc(
        perStation, times, coordinates, param.referenceResistivity, scaledConstraint(param), 100.0);
    ModelFiles files(nullptr);
    files.applyTopography(result, param.topography);
    return result;
}

QList<DataType_ThreeResultData> Data_Mathematical_Calc::threeDimensionalInversion(
    QVector<QVector<QVector<double> > > curves, QVector<QVector<double> > times,
    QVector<QVector<GPSCoordinate> > coordinates, double /*unused*/, InvParam param, double last)
{
    initNumerics();
    const int lines = std::min({curves.size(), times.size(), coordinates.size()});
    QVector<QVector<QVector<double> > > perStation;
    perStation.reserve(lines);
    for (int l = 0; l < lines; ++l)
        perStation.append(transpose(curves[l]));
    times.resize(lines);
    coordinates.resize(lines);
    const WaitCursor busy;
    InversionMethod method;
    method.setSurvey(m_survey);
    return method.Three_Dimensional_Calc(perStation, times, coordinates,
                                         param.referenceResistivity, scaledConstraint(param), last);
}
