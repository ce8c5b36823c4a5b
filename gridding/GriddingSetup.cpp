#include "gridding/GriddingSetup.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

double spacing(double max, double min, int count)
{
    return count >= 2 ? (max - min) / (count - 1) : 0.0;
}

} // namespace

GridGeometry GriddingSetup::createGridGeometry(double xmax, double xmin, double ymax, double ymin,
                                               int nx, int ny, double zmax, double zmin,
                                               int nz) const
{
    GridGeometry g;
    g.xmax = xmax;
    g.xmin = xmin;
    g.ymax = ymax;
    g.ymin = ymin;
    g.zmax = zmax;
    g.zmin = zmin;
    g.nx = nx;
    g.ny = ny;
    g.nz = nz;
    g.dx = spacing(xmax, xmin, nx);
    g.dy = spacing(ymax, ymin, ny);
    g.dz = spacing(zmax, zmin, nz);
    return g;
}

IdwParams GriddingSetup::createIdwParams(double power, int maxPoints, int minPoints,
                                         double searchRadius, double secondRadius,
                                         double smoothing, double anisotropyRatio,
                                         double anisotropyAngle, double angle, double reserved,
                                         double noDataValue) const
{
    IdwParams p;
    p.power = power;
    p.smoothing = smoothing;
    p.anisotropyRatio = anisotropyRatio;
    p.anisotropyAngle = anisotropyAngle;
    p.searchRadius = searchRadius;
    p.secondRadius = secondRadius;
    p.angle = angle;
    p.reserved = reserved;
    p.maxPoints = maxPoints;
    p.minPoints = minPoints;
    p.noDataValue = noDataValue;
    return p;
}

GriddingJob GriddingSetup::createGriddingJob(int method, const IdwParams &params,
                                             const GridGeometry &geometry) const
{
    GriddingJob job;
    job.method = method;
    job.params = params;
    job.geometry = geometry;
    const int nx = std::max(geometry.nx, 0);
    const int ny = std::max(geometry.ny, 0);
    job.nodeCount = nx * ny;
    if (geometry.nz >= 2)
        job.nodeCount *= geometry.nz;
    return job;
}

std::unique_ptr<SampleTree> GriddingSetup::createKdTree(const QList<GridPoint> &samples) const
{
    std::unique_ptr<SampleTree> result(new (std::nothrow) SampleTree);
    if (!result)
        return nullptr;
    result->tree.reset(KdTree::create(2));
    if (!result->tree)
        return nullptr;
    try {
        // Sized once before any insertion: the payloads point into it.
        result->values.resize(static_cast<size_t>(samples.size()));
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    for (int i = 0; i < samples.size(); ++i) {
        const GridPoint &s = samples.at(i);
        result->values[static_cast<size_t>(i)] = s.value;
        const double position[2] = {s.x, s.y};
        if (!std::isfinite(s.value) || !std::isfinite(position[0]) || !std::isfinite(position[1]))
            continue;
        if (result->tree->insert(position, &result->values[static_cast<size_t>(i)]) != 0)
            return nullptr;
    }
    return result;
}
