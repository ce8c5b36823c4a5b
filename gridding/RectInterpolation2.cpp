#include "gridding/RectInterpolation2.h"

#include "gridding/GridNodeRunner.h"
#include "gridding/GriddingSetup.h"
#include "gridding/KdTree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

double nearestValue(const KdTree *tree, const double *q, KdQueryResult *result)
{
    if (!tree->nearestPoint(q, result) || result->atEnd())
        return kNaN;
    return *static_cast<const double *>(result->item());
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

    std::vector<float> values(static_cast<size_t>(n));
    const QList<GridPoint> &grid = m_output;
    qint64 reported = 0;
    int percent = -1;
    GridNodeRunner::run(
        n, m_threadCount,
        [&](qint64 begin, qint64 end) {
            KdQueryResult hits;
            for (qint64 k = begin; k < end; ++k) {
                const GridPoint &p = grid.at(static_cast<int>(k));
                values[static_cast<size_t>(k)] = static_cast<float>(nodeValue(p.x, p.y, &hits));
            }
        },
        [&](qint64 done) {
            // The values that a bar set after every node would show, each once.
            percent = GridNodeRunner::percentSteps(reported, done, n, percent,
                                                   [this](int p) { emit interpProcess(p); });
            reported = done;
        });
    for (qint64 k = 0; k < n; ++k)
        m_output[static_cast<int>(k)].value = values[static_cast<size_t>(k)];
    emit interpfinished();
}

double RectInterpolation2::nodeValue(double x, double y, KdQueryResult *hits) const
{
    if (!m_tree)
        return kNaN;

    // The hits come in the samples' order, so the sums are the same on
    // every run and every thread.
    const double q[2] = {x, y};
    if (!m_tree->pointsWithin(q, m_job->params.searchRadius, hits) || hits->size() == 0)
        return nearestValue(m_tree, q, hits);

    const double power = m_job->params.power;
    double sumW = 0.0;
    double sumWV = 0.0;
    double position[2];
    for (; !hits->atEnd(); hits->next()) {
        const double v = *static_cast<const double *>(hits->item(position));
        const double d = std::sqrt((q[1] - position[1]) * (q[1] - position[1])
                                   + (q[0] - position[0]) * (q[0] - position[0]));
        if (d < 0.0001)
            return v;
        const double inverse = 1.0 / d;
        // The usual power; pow() is far slower and gives the same square.
        const double w = power == 2.0 ? inverse * inverse : std::pow(inverse, power);
        sumW += w;
        sumWV += w * v;
    }

    // Weights can underflow to zero far away with a large power.
    if (!(sumW > 0.0))
        return nearestValue(m_tree, q, hits);
    return sumWV / sumW;
}
