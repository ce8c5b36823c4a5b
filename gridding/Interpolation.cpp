#include "gridding/Interpolation.h"

#include "gridding/GridNodeRunner.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

bool isFinitePoint(const VolumePoint &p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)
           && std::isfinite(p.value);
}

float spacing(float max, float min, int count)
{
    return count >= 2 ? (max - min) / static_cast<float>(count - 1) : 0.0f;
}

} // namespace

Interpolation::Interpolation(QObject *parent)
    : QObject(parent)
{
}

void Interpolation::setData(const QVector<VolumePoint> &points)
{
    m_points.clear();
    m_points.reserve(points.size());
    for (const VolumePoint &p : points) {
        if (isFinitePoint(p))
            m_points.append(p);
    }

    m_xmax = m_ymax = m_zmax = m_valueMax = -1e20f;
    m_xmin = m_ymin = m_zmin = m_valueMin = 1e20f;
    m_mean = 0.0f;
    m_stdDev = 0.0f;
    if (m_points.isEmpty())
        return;

    float sum = 0.0f;
    float sumSquares = 0.0f;
    for (const VolumePoint &p : qAsConst(m_points)) {
        const float x = static_cast<float>(p.x);
        const float y = static_cast<float>(p.y);
        const float z = static_cast<float>(p.z);
        const float v = static_cast<float>(p.value);
        m_xmin = std::min(m_xmin, x);
        m_xmax = std::max(m_xmax, x);
        m_ymin = std::min(m_ymin, y);
        m_ymax = std::max(m_ymax, y);
        m_zmin = std::min(m_zmin, z);
        m_zmax = std::max(m_zmax, z);
        m_valueMin = std::min(m_valueMin, v);
        m_valueMax = std::max(m_valueMax, v);
        sum += static_cast<float>(p.value);
        sumSquares += static_cast<float>(p.value * p.value);
    }
    const int count = m_points.size();
    m_mean = sum / static_cast<float>(count);
    const double variance = static_cast<double>(sumSquares) / count
                            - static_cast<double>(m_mean * m_mean);
    // Rounding can make a zero variance slightly negative.
    m_stdDev = static_cast<float>(std::sqrt(std::max(variance, 0.0)));
}

void Interpolation::setGridSize(int nx, int ny, int nz)
{
    m_nx = nx;
    m_ny = ny;
    m_nz = nz;
}

void Interpolation::threadStarted()
{
    const float dx = spacing(m_xmax, m_xmin, m_nx);
    const float dy = spacing(m_ymax, m_ymin, m_ny);
    const float dz = spacing(m_zmax, m_zmin, m_nz);

    m_resultValues.clear();
    m_resultNodes.resize(0);   // keeps the reserved space

    if (m_nx < 1 || m_ny < 1 || m_nz < 1 || m_points.isEmpty()) {
        emit MakeProgress(100);
        emit interpfinished();
        return;
    }

    const qint64 total = static_cast<qint64>(m_nx) * m_ny * m_nz;
    const qint64 layer = static_cast<qint64>(m_nx) * m_ny;
    const auto nodeX = [&](qint64 m) {
        return static_cast<double>(m_xmin) + static_cast<int>(m % m_nx) * static_cast<double>(dx);
    };
    const auto nodeY = [&](qint64 m) {
        return static_cast<double>(m_ymin)
               + static_cast<int>(m / m_nx % m_ny) * static_cast<double>(dy);
    };
    const auto nodeZ = [&](qint64 m) {
        return static_cast<double>(m_zmin) + static_cast<int>(m / layer) * static_cast<double>(dz);
    };

    std::vector<double> values(static_cast<size_t>(total));
    qint64 reported = 0;
    int percent = 0;
    GridNodeRunner::run(
        total, m_threadCount,
        [&](qint64 begin, qint64 end) {
            for (qint64 m = begin; m < end; ++m)
                values[static_cast<size_t>(m)] = nodeValue(nodeX(m), nodeY(m), nodeZ(m));
        },
        [&](qint64 done) {
            // Node m counts as 100 * m / total: done nodes are 0 .. done - 1.
            // Nothing is sent for 0.
            percent = GridNodeRunner::percentSteps(reported - 1, done - 1, total, percent,
                                                   [this](int p) { emit MakeProgress(p); });
            reported = done;
        });

    // z outermost, then y, x innermost: the order of the nodes' numbers.
    m_resultValues.reserve(static_cast<int>(total));
    m_resultNodes.reserve(static_cast<int>(total));
    for (qint64 m = 0; m < total; ++m) {
        const double value = values[static_cast<size_t>(m)];
        m_resultValues.append(value);
        m_resultNodes.append(ScatterPoint{nodeX(m), nodeY(m), nodeZ(m), value});
    }
    emit MakeProgress(100);
    emit interpfinished();
}

double Interpolation::nodeValue(double x, double y, double z) const
{
    float weightedSum = 0.0f;
    float weightSum = 0.0f;
    for (const VolumePoint &p : m_points) {
        const double ddx = x - p.x;
        const double ddy = y - p.y;
        const double ddz = z - p.z;
        const float d = static_cast<float>(std::sqrt(ddx * ddx + ddy * ddy + ddz * ddz));
        if (d < 0.1f)
            return p.value;
        const float w = static_cast<float>(1.0 / static_cast<double>(d * d));
        weightedSum = static_cast<float>(static_cast<double>(w) * p.value + weightedSum);
        weightSum += w;
    }
    // Points far enough away for every weight to underflow carry no value.
    if (!(weightSum > 0.0f))
        return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(weightedSum / weightSum);
}
