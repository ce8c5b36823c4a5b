#ifndef HW_GRIDDINGSETUP_H
#define HW_GRIDDINGSETUP_H

#include "gridding/GridPoint.h"
#include "gridding/KdTree.h"

#include <QList>

#include <memory>
#include <vector>

// Geometry of a regular grid. A two-dimensional grid has nz = 0 and dz 0.
// An axis with a single node has spacing 0: the node sits at the minimum.
struct GridGeometry {
    double xmax = 0.0;
    double xmin = 0.0;
    double ymax = 0.0;
    double ymin = 0.0;
    double zmax = 0.0;
    double zmin = 0.0;
    int nx = 0;
    int ny = 0;
    int nz = 0;
    double dx = 0.0;
    double dy = 0.0;
    double dz = 0.0;
};

// Inverse-distance parameters. The worker reads power and searchRadius;
// the others are carried unchanged.
struct IdwParams {
    double power = 2.0;
    double smoothing = 0.0;
    double anisotropyRatio = 0.0;
    double anisotropyAngle = 0.0;
    double searchRadius = 0.0;
    double secondRadius = 0.0;
    double angle = 0.0;
    double reserved = 0.0;
    int maxPoints = 50;
    int minPoints = 1;
    double noDataValue = 0.0;
};

struct GriddingJob {
    int method = 1;
    IdwParams params;
    int nodeCount = 0;   // nx * ny, or nx * ny * nz when nz >= 2
    GridGeometry geometry;
};

// The samples' k-d tree with the values its payloads point into; the
// values are never resized while the tree lives.
struct SampleTree {
    std::unique_ptr<KdTree> tree;
    std::vector<double> values;
};

// Makes the records of a gridding run and the sample tree; the caller owns
// what it returns.
class GriddingSetup
{
public:
    GridGeometry createGridGeometry(double xmax, double xmin, double ymax, double ymin, int nx,
                                    int ny, double zmax, double zmin, int nz) const;
    IdwParams createIdwParams(double power, int maxPoints, int minPoints, double searchRadius,
                              double secondRadius, double smoothing = 0.0,
                              double anisotropyRatio = 0.0, double anisotropyAngle = 0.0,
                              double angle = 0.0, double reserved = 0.0,
                              double noDataValue = 0.0) const;
    GriddingJob createGriddingJob(int method, const IdwParams &params,
                                  const GridGeometry &geometry) const;
    // A tree of dimension 2 over (x, y) with a pointer to the sample's value
    // as payload. Samples with a coordinate or value that is not finite are
    // left out. Null when memory runs out.
    std::unique_ptr<SampleTree> createKdTree(const QList<GridPoint> &samples) const;
};

#endif
