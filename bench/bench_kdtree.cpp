// The k-d tree against nanoflann, measured in the same run on the same
// 100 000 points: building, radius queries and nearest queries, on scattered
// points and on a section inserted column by column (the gridding code's
// usual input). Each figure is printed as a ratio tree / nanoflann.

#include "bench/BenchTiming.h"
#include "gridding/KdTree.h"

#include <nanoflann.hpp>

#include <QRandomGenerator>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace {

struct Points {
    const char *name;
    std::vector<double> xy;   // x, y pairs in insertion order
    size_t count() const { return xy.size() / 2; }

    // nanoflann's dataset interface.
    size_t kdtree_get_point_count() const { return count(); }
    double kdtree_get_pt(size_t i, size_t dim) const { return xy[2 * i + dim]; }
    template <class Box>
    bool kdtree_get_bbox(Box &) const { return false; }
};

using FlannTree = nanoflann::KDTreeSingleIndexAdaptor<
    nanoflann::L2_Simple_Adaptor<double, Points>, Points, 2, uint32_t>;

Points scattered(int n)
{
    QRandomGenerator rng(20260);
    Points p{"scattered", {}};
    p.xy.reserve(2 * n);
    for (int i = 0; i < n; ++i) {
        p.xy.push_back(rng.generateDouble() * 1000.0);
        p.xy.push_back(rng.generateDouble() * 500.0);
    }
    return p;
}

Points section(int columns, int levels)
{
    // Columns 4 apart, levels growing with depth, inserted column by column.
    Points p{"section order", {}};
    p.xy.reserve(2 * columns * levels);
    for (int c = 0; c < columns; ++c) {
        double z = 0.0;
        for (int l = 0; l < levels; ++l) {
            p.xy.push_back(4.0 * c);
            p.xy.push_back(z);
            z += 1.0 + 0.01 * l;
        }
    }
    return p;
}

void line(const char *what, double tree, double flann)
{
    std::printf("  %-26s tree %9.2f ms  nanoflann %9.2f ms  ratio %5.2f\n", what, tree, flann,
                tree / flann);
}

void run(const Points &pts, double radius, int queries)
{
    const size_t n = pts.count();
    std::printf("\n%s: %zu points, %d queries, radius %.1f\n", pts.name, n, queries, radius);

    std::vector<int> ids(n);
    for (size_t i = 0; i < n; ++i)
        ids[i] = int(i);

    double minX = std::numeric_limits<double>::max(), maxX = -minX;
    double minY = minX, maxY = -minX;
    for (size_t i = 0; i < n; ++i) {
        minX = std::min(minX, pts.xy[2 * i]);
        maxX = std::max(maxX, pts.xy[2 * i]);
        minY = std::min(minY, pts.xy[2 * i + 1]);
        maxY = std::max(maxY, pts.xy[2 * i + 1]);
    }
    QRandomGenerator rng(7);
    std::vector<double> q;
    for (int i = 0; i < queries; ++i) {
        q.push_back(minX + rng.generateDouble() * (maxX - minX));
        q.push_back(minY + rng.generateDouble() * (maxY - minY));
    }

    // Building: every point in, then one query, which is where a tree that
    // indexes lazily does its work.
    std::unique_ptr<KdTree> tree;
    const double treeBuild = bestOf(3, [&] {
        tree.reset(KdTree::create(2));
        for (size_t i = 0; i < n; ++i)
            tree->insert(pts.xy.data() + 2 * i, &ids[i]);
        KdQueryResult::free(tree->nearestPoint(q.data()));
    });
    std::unique_ptr<FlannTree> flann;
    const double flannBuild = bestOf(3, [&] {
        flann.reset(new FlannTree(2, pts, nanoflann::KDTreeSingleIndexAdaptorParams(10)));
        uint32_t index;
        double d2;
        nanoflann::KNNResultSet<double, uint32_t> result(1);
        result.init(&index, &d2);
        flann->findNeighbors(result, q.data(), nanoflann::SearchParams());
    });
    line("build", treeBuild, flannBuild);

    // The tree's queries fill a result that the caller reuses, as the
    // gridding workers do; nanoflann's fill a vector reused the same way.
    const double r2 = radius * radius;
    KdQueryResult hits;
    long long treeHits = 0, flannHits = 0;
    const double treeWithin = bestOf(3, [&] {
        treeHits = 0;
        for (int i = 0; i < queries; ++i) {
            tree->pointsWithin(q.data() + 2 * i, radius, &hits);
            for (; !hits.atEnd(); hits.next())
                treeHits += *static_cast<int *>(hits.item()) >= 0;
        }
    });
    // nanoflann's radius is exclusive; the tree's is inclusive. Its hits
    // come sorted by distance (its default), the tree's by insertion.
    const double flannRadius = std::nextafter(r2, std::numeric_limits<double>::infinity());
    std::vector<std::pair<uint32_t, double>> matches;
    const double flannWithin = bestOf(3, [&] {
        flannHits = 0;
        for (int i = 0; i < queries; ++i) {
            flann->radiusSearch(q.data() + 2 * i, flannRadius, matches, nanoflann::SearchParams());
            for (const auto &m : matches)
                flannHits += ids[m.first] >= 0;
        }
    });
    line("radius", treeWithin, flannWithin);
    std::printf("  %-26s %lld hits, %.1f per query\n", "", treeHits, double(treeHits) / queries);
    const double treeWithinNew = bestOf(3, [&] {
        for (int i = 0; i < queries; ++i)
            KdQueryResult::free(tree->pointsWithin(q.data() + 2 * i, radius));
    });
    line("radius, a new result each", treeWithinNew, flannWithin);

    double treeNearestSum = 0.0, flannNearestSum = 0.0;
    const double treeNearest = bestOf(3, [&] {
        treeNearestSum = 0.0;
        for (int i = 0; i < queries; ++i) {
            tree->nearestPoint(q.data() + 2 * i, &hits);
            double p[2];
            hits.item(p);
            treeNearestSum += (p[0] - q[2 * i]) * (p[0] - q[2 * i])
                              + (p[1] - q[2 * i + 1]) * (p[1] - q[2 * i + 1]);
        }
    });
    const double flannNearest = bestOf(3, [&] {
        flannNearestSum = 0.0;
        for (int i = 0; i < queries; ++i) {
            uint32_t index;
            double d2;
            nanoflann::KNNResultSet<double, uint32_t> result(1);
            result.init(&index, &d2);
            flann->findNeighbors(result, q.data() + 2 * i, nanoflann::SearchParams());
            flannNearestSum += d2;
        }
    });
    line("nearest", treeNearest, flannNearest);
    const double treeNearestNew = bestOf(3, [&] {
        for (int i = 0; i < queries; ++i)
            KdQueryResult::free(tree->nearestPoint(q.data() + 2 * i));
    });
    line("nearest, a new result each", treeNearestNew, flannNearest);

    if (treeHits != flannHits)
        std::printf("  MISMATCH: radius hits %lld vs %lld\n", treeHits, flannHits);
    if (treeNearestSum != flannNearestSum)
        std::printf("  MISMATCH: nearest distances differ\n");
}

} // namespace

int main()
{
    const int queries = 20000;
    run(scattered(100000), 10.0, queries);
    run(section(500, 200), 10.0, queries);
    return 0;
}
