// Compares the k-d tree with a brute-force search over 50 000 points:
// building, radius queries and nearest queries, on scattered points and on
// a section laid out in columns (the gridding code's usual input).

#include "gridding/KdTree.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QVector>

#include <cstdio>
#include <limits>

namespace {

struct Points {
    QString name;
    QVector<double> xy;   // x, y pairs
    int count() const { return xy.size() / 2; }
};

Points scattered(int n)
{
    QRandomGenerator rng(20260);
    Points p{QStringLiteral("scattered"), {}};
    p.xy.reserve(2 * n);
    for (int i = 0; i < n; ++i)
        p.xy << rng.generateDouble() * 1000.0 << rng.generateDouble() * 500.0;
    return p;
}

Points section(int columns, int levels)
{
    // Columns 4 apart, levels growing with depth, inserted column by column.
    Points p{QStringLiteral("section columns"), {}};
    p.xy.reserve(2 * columns * levels);
    for (int c = 0; c < columns; ++c) {
        double z = 0.0;
        for (int l = 0; l < levels; ++l) {
            p.xy << 4.0 * c << z;
            z += 1.0 + 0.01 * l;
        }
    }
    return p;
}

double msSince(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

void run(const Points &pts, double radius, int queries)
{
    const int n = pts.count();
    std::printf("\n%s: %d points, %d queries, radius %.1f\n", qPrintable(pts.name), n, queries,
                radius);

    QVector<int> ids(n);
    for (int i = 0; i < n; ++i)
        ids[i] = i;

    QElapsedTimer timer;
    timer.start();
    KdTree *tree = KdTree::create(2);
    for (int i = 0; i < n; ++i)
        tree->insert(pts.xy.constData() + 2 * i, &ids[i]);
    std::printf("  build tree            %10.2f ms\n", msSince(timer));

    // Query positions within the points' extent.
    double minX = std::numeric_limits<double>::max(), maxX = -minX;
    double minY = minX, maxY = -minX;
    for (int i = 0; i < n; ++i) {
        minX = std::min(minX, pts.xy[2 * i]);
        maxX = std::max(maxX, pts.xy[2 * i]);
        minY = std::min(minY, pts.xy[2 * i + 1]);
        maxY = std::max(maxY, pts.xy[2 * i + 1]);
    }
    QRandomGenerator rng(7);
    QVector<double> q;
    for (int i = 0; i < queries; ++i)
        q << minX + rng.generateDouble() * (maxX - minX) << minY + rng.generateDouble() * (maxY - minY);

    const double r2 = radius * radius;
    long long treeHits = 0, bruteHits = 0;

    timer.restart();
    for (int i = 0; i < queries; ++i) {
        KdQueryResult *res = tree->pointsWithin(q.constData() + 2 * i, radius);
        treeHits += res->size();
        KdQueryResult::free(res);
    }
    const double treeWithin = msSince(timer);

    timer.restart();
    for (int i = 0; i < queries; ++i) {
        const double qx = q[2 * i], qy = q[2 * i + 1];
        for (int j = 0; j < n; ++j) {
            const double dx = pts.xy[2 * j] - qx, dy = pts.xy[2 * j + 1] - qy;
            if (dx * dx + dy * dy <= r2)
                ++bruteHits;
        }
    }
    const double bruteWithin = msSince(timer);

    long long treeNearestSum = 0, bruteNearestSum = 0;
    timer.restart();
    for (int i = 0; i < queries; ++i) {
        KdQueryResult *res = tree->nearestPoint(q.constData() + 2 * i);
        treeNearestSum += *static_cast<int *>(res->item());
        KdQueryResult::free(res);
    }
    const double treeNearest = msSince(timer);

    timer.restart();
    for (int i = 0; i < queries; ++i) {
        const double qx = q[2 * i], qy = q[2 * i + 1];
        double best = std::numeric_limits<double>::max();
        int bestId = -1;
        for (int j = 0; j < n; ++j) {
            const double dx = pts.xy[2 * j] - qx, dy = pts.xy[2 * j + 1] - qy;
            const double d2 = dx * dx + dy * dy;
            if (d2 < best) {
                best = d2;
                bestId = j;
            }
        }
        bruteNearestSum += bestId;
    }
    const double bruteNearest = msSince(timer);

    std::printf("  radius  tree          %10.2f ms  (%lld hits)\n", treeWithin, treeHits);
    std::printf("  radius  brute force   %10.2f ms  (%lld hits)  speed-up %.1fx\n", bruteWithin,
                bruteHits, bruteWithin / treeWithin);
    std::printf("  nearest tree          %10.2f ms\n", treeNearest);
    std::printf("  nearest brute force   %10.2f ms  speed-up %.1fx\n", bruteNearest,
                bruteNearest / treeNearest);
    if (treeHits != bruteHits)
        std::printf("  MISMATCH: radius hit counts differ\n");
    if (treeNearestSum != bruteNearestSum)
        std::printf("  note: nearest picks differ (ties resolved differently)\n");

    timer.restart();
    delete tree;
    std::printf("  free tree             %10.2f ms\n", msSince(timer));
}

} // namespace

int main()
{
    const int queries = 10000;
    run(scattered(50000), 10.0, queries);
    run(section(250, 200), 10.0, queries);
    return 0;
}
