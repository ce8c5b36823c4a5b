#include "gridding/RectInterpolation2.h"

#include "gridding/GriddingSetup.h"
#include "gridding/KdTree.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

double nearestValue(const KdTree *tree, const double *q)
{
    KdQueryResult *nearest = tree->nearestPoint(q);
    double value = kNaN;
    if (nearest && !nearest->atEnd())
        value = *static_cast<const double *>(nearest->item());
    KdQueryResult::free(nearest);
    return value;
}

} // namespace

RectInterpolation2::RectInterpolation2(QObject *parent)
    : QObject(parent)
{
}

RectInterpolation2::~RectInterpolation2() = default;

void RectInterpolation2::startInterp()
{
    if (m_method != InverseDistanceToPower || !m_job) {
        emit interpfinished();
        return;
    }

    const GridGeometry &g = m_job->geometry;
    const int nx = std::max(g.nx, 0);
    const int ny = std::max(g.ny, 0);
    const qint64 n = static_cast<qint64>(nx) * ny;

    m_output.clear();
    m_output.reserve(static_cast<int>(n));
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            GridPoint p;
            p.x = static_cast<float>(g.xmin + i * g.dx);
            p.y = static_cast<float>(g.ymin + j * g.dy);
            m_output.append(p);
        }
    }

    for (qint64 k = 0; k < n; ++k) {
        GridPoint &p = m_output[static_cast<int>(k)];
        p.value = static_cast<float>(nodeValue(p.x, p.y));
        emit interpProcess(static_cast<int>(100 * (k + 1) / n));
    }
    emit interpfinished();
}

double RectInterpolation2::nodeValue(double x, double y) const
{
    if (!m_tree)
        return kNaN;

    const double q[2] = {x, y};
    KdQueryResult *hits = m_tree->pointsWithin(q, m_job->params.searchRadius);
    if (!hits || hits->size() == 0) {
        KdQueryResult::free(hits);
        return nearestValue(m_tree, q);
    }

    const double power = m_job->params.power;
    double sumW = 0.0;
    double sumWV = 0.0;
    double position[2];
    for (; !hits->atEnd(); hits->next()) {
        const double v = *static_cast<const double *>(hits->item(position));
        const double d = std::sqrt((q[1] - position[1]) * (q[1] - position[1])
                                   + (q[0] - position[0]) * (q[0] - position[0]));
        if (d < 0.0001) {
            KdQueryResult::free(hits);
            return v;
        }
        const double inverse = 1.0 / d;
        // The usual power; pow() is far slower and gives the same square.
        const double w = power == 2.0 ? inverse * inverse : std::pow(inverse, power);
        sumW += w;
        sumWV += w * v;
    }
    KdQueryResult::free(hits);

    // Weights can underflow to zero far away with a large power.
    if (!(sumW > 0.0))
        return nearestValue(m_tree, q);
    return sumWV / sumW;
}
