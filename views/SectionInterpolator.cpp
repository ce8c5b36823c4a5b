#include "views/SectionInterpolator.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

bool isUsable(const DataType_ResultData &c)
{
    if (!std::isfinite(c.x) || c.depth.isEmpty() || c.depth.size() != c.value.size())
        return false;
    for (int i = 0; i < c.depth.size(); ++i) {
        if (!std::isfinite(c.depth[i]) || !std::isfinite(c.value[i]))
            return false;
        if (i > 0 && !(c.depth[i] < c.depth[i - 1]))
            return false;
    }
    return true;
}

} // namespace

SectionInterpolator::SectionInterpolator() = default;

QList<DataType_ResultData> SectionInterpolator::usableColumns(const QList<DataType_ResultData> &columns)
{
    QVector<double> badX;
    for (const DataType_ResultData &c : columns) {
        if (!isUsable(c) && std::isfinite(c.x))
            badX.append(c.x);
    }
    QList<DataType_ResultData> out;
    for (const DataType_ResultData &c : columns) {
        if (isUsable(c) && !badX.contains(c.x))
            out.append(c);
    }
    return out;
}

void SectionInterpolator::setColumns(const QList<DataType_ResultData> &columns)
{
    // Blank cells (air) hold no resistivity: a spline through them would
    // paint values between the marker and the ground. A column then starts
    // at its first real cell; one without any is left out.
    m_columns.clear();
    for (DataType_ResultData c : usableColumns(columns)) {
        QVector<double> depth, value;
        for (int i = 0; i < c.value.size(); ++i) {
            if (c.value[i] > kAboveGroundLimit) {
                depth.append(c.depth[i]);
                value.append(c.value[i]);
            }
        }
        if (depth.isEmpty())
            continue;
        c.depth = depth;
        c.value = value;
        m_columns.append(c);
    }
    // Bracketing walks the columns in ascending x.
    std::stable_sort(m_columns.begin(), m_columns.end(),
                     [](const DataType_ResultData &a, const DataType_ResultData &b) { return a.x < b.x; });
    m_splines.clear();
    m_splines.reserve(m_columns.size());
    for (const DataType_ResultData &c : m_columns)
        m_splines.append(SafeInterpolator(c.depth, c.value, SafeInterpolator::CSpline));
}

void SectionInterpolator::setTopography(const QVector<TopoData> &topography)
{
    QVector<double> xs, ys;
    xs.reserve(topography.size());
    ys.reserve(topography.size());
    for (const TopoData &t : topography) {
        xs.append(t.position);
        ys.append(t.elevation);
    }
    m_topo.setData(xs, ys, SafeInterpolator::CSpline);
    m_topoMin = m_topo.isValid() ? m_topo.xMin() : 0.0;
    m_topoMax = m_topo.isValid() ? m_topo.xMax() : 0.0;
}

double SectionInterpolator::topographyAt(double x) const
{
    return m_topo.value(x);
}

double SectionInterpolator::interpolate(double x, double depth) const
{
    const double V = m_noValue;
    const int n = m_columns.size();
    if (n < 2 || !std::isfinite(x) || !std::isfinite(depth))
        return V;

    int left = -1, right = -1;
    for (int k = 1; k < n; ++k) {
        const double xa = m_columns[k - 1].x;
        const double xb = m_columns[k].x;
        if ((xa - x) * (xb - x) < 0) {
            left = k - 1;
            right = k;
            break;
        }
        if (xa == x) {
            left = right = k - 1;
            break;
        }
        if (xb == x) {
            left = right = k;
            break;
        }
    }
    if (left < 0)
        return V;

    const bool hasL = m_splines[left].contains(depth);
    const bool hasR = m_splines[right].contains(depth);
    const double valL = hasL ? m_splines[left].value(depth) : 0.0;
    const double valR = hasR ? m_splines[right].value(depth) : 0.0;
    const double x0 = m_columns[left].x;
    const double x1 = m_columns[right].x;

    if (hasL && hasR) {
        const double val = left != right
            ? (std::fabs(x - x0) * valR + std::fabs(x1 - x) * valL) / std::fabs(x1 - x0)
            : valL;
        return std::max(V + 1.0, val);
    }
    if (!hasL && !hasR)
        return V;

    // One side lacks a value: the level lies beyond that column's end; the
    // section's edge runs straight between the matching ends of both columns.
    const DataType_ResultData &L = m_columns[left];
    const DataType_ResultData &R = m_columns[right];
    const DataType_ResultData &missing = hasL ? R : L;
    bool upper;
    if (depth > missing.depth.first())
        upper = true;
    else if (depth < missing.depth.last())
        upper = false;
    else
        return V;

    const double d0 = upper ? L.depth.first() : L.depth.last();
    const double e0 = upper ? L.value.first() : L.value.last();
    const double d1 = upper ? R.depth.first() : R.depth.last();
    const double e1 = upper ? R.value.first() : R.value.last();
    const double yb = d0 + (d1 - d0) * std::fabs(x - x0) / std::fabs(x1 - x0);
    if (depth > missing.depth.first() && depth > yb)
        return V;
    if (depth < missing.depth.last() && depth < yb)
        return V;

    const double xe = x0 + std::fabs(depth - d0) * (x1 - x0) / std::fabs(d1 - d0);
    const double s = std::sqrt((xe - x0) * (xe - x0) + (depth - d0) * (depth - d0));
    const double len = std::sqrt((x1 - x0) * (x1 - x0) + (d1 - d0) * (d1 - d0));
    // The value on the edge runs linearly between the two ends, whichever
    // side holds the value: based on the column's value at the depth, the
    // section would jump at the level where the other column ends.
    const double ve = e0 + (e1 - e0) * s / len;
    double val;
    if (hasL) {
        val = (ve * std::fabs(x - x0) + valL * std::fabs(xe - x)) / std::fabs(xe - x0);
        if (!std::isfinite(val))
            val = valL;   // degenerate edge: the column's own value
    } else {
        val = (ve * std::fabs(x1 - x) + valR * std::fabs(x - xe)) / std::fabs(x1 - xe);
        if (!std::isfinite(val))
            val = valR;
    }
    return std::max(V + 1.0, val);
}

double SectionInterpolator::valueAt(double x, double depth) const
{
    const double v = interpolate(x, depth);
    if (m_topo.isValid() && (x > m_topoMax || x < m_topoMin || depth > m_topo.value(x)))
        return kAboveGround;
    return v;
}
