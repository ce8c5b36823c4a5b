#include "gridding/KdTree.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

// Points are indexed; the payload of point i points at ids[i] == i, so a
// query's hits can be compared as sets of indices.
struct Cloud {
    int k = 2;
    QVector<double> coords;   // k per point
    QVector<int> ids;

    int count() const { return ids.size(); }
    const double *at(int i) const { return coords.constData() + i * k; }
};

struct TreeDeleter {
    void operator()(KdTree *t) const { delete t; }
};
using TreePtr = std::unique_ptr<KdTree, TreeDeleter>;

struct ResultDeleter {
    void operator()(KdQueryResult *r) const { KdQueryResult::free(r); }
};
using ResultPtr = std::unique_ptr<KdQueryResult, ResultDeleter>;

namespace {

// Integer-valued coordinates on a coarse grid give many equal split
// coordinates and many distances of exactly the radius.
Cloud randomCloud(quint32 seed, int n, int k, double extent, bool integral)
{
    QRandomGenerator rng(seed);
    Cloud c;
    c.k = k;
    c.coords.reserve(n * k);
    for (int i = 0; i < n; ++i) {
        for (int a = 0; a < k; ++a) {
            const double v = rng.generateDouble() * extent;
            c.coords.append(integral ? std::floor(v) : v);
        }
        c.ids.append(i);
    }
    return c;
}

TreePtr buildTree(Cloud &c)
{
    TreePtr tree(KdTree::create(c.k));
    if (!tree)
        return tree;
    for (int i = 0; i < c.count(); ++i) {
        if (tree->insert(c.at(i), &c.ids[i]) != 0)
            return TreePtr();
    }
    return tree;
}

double dist2(const double *a, const double *b, int k)
{
    double s = 0.0;
    for (int i = 0; i < k; ++i)
        s += (a[i] - b[i]) * (a[i] - b[i]);
    return s;
}

// Walks a result, checking that each hit's copied position is that of its
// payload's point; returns the indices in iteration order.
QVector<int> walk(KdQueryResult *r, const Cloud &c, bool *positionsOk)
{
    QVector<int> found;
    *positionsOk = true;
    QVector<double> pos(c.k);
    while (!r->atEnd()) {
        const int id = *static_cast<int *>(r->item(pos.data()));
        found.append(id);
        for (int a = 0; a < c.k; ++a) {
            if (pos[a] != c.at(id)[a])
                *positionsOk = false;
        }
        r->next();
    }
    return found;
}

} // namespace

class TestKdTree : public QObject
{
    Q_OBJECT

private slots:
    void emptyTree();
    void radiusMatchesBruteForce_data();
    void radiusMatchesBruteForce();
    void nearestMatchesBruteForce_data();
    void nearestMatchesBruteForce();
    void radiusBoundary_data();
    void radiusBoundary();
    void hitsComeInReverseOfSearchOrder();
    void nearestSinglePointAnywhere();
    void nearestTiesKeepFirstFound();
    void deepTreeFromSortedInput();
    void rejectsBadInput();
};

void TestKdTree::emptyTree()
{
    TreePtr tree(KdTree::create(2));
    QVERIFY(tree);
    QCOMPARE(tree->dimension(), 2);
    const double q[2] = {1.0, 2.0};

    ResultPtr within(tree->pointsWithin(q, 10.0));
    QVERIFY(within);   // an empty result, not none
    QCOMPARE(within->size(), 0);
    QVERIFY(within->atEnd());
    double pos[2] = {-7.0, -7.0};
    QVERIFY(within->item(pos) == nullptr);
    QCOMPARE(pos[0], -7.0);   // nothing copied at the end
    QVERIFY(!within->next());

    QVERIFY(tree->nearestPoint(q) == nullptr);
}

void TestKdTree::radiusMatchesBruteForce_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("dim");
    QTest::addColumn<bool>("integral");
    QTest::addColumn<double>("radius");

    QTest::newRow("continuous r=5") << 11u << 2000 << 2 << false << 5.0;
    QTest::newRow("continuous r=25") << 12u << 2000 << 2 << false << 25.0;
    QTest::newRow("grid ties r=3") << 13u << 3000 << 2 << true << 3.0;
    QTest::newRow("grid ties r=5") << 14u << 3000 << 2 << true << 5.0;
    QTest::newRow("grid ties r=0") << 15u << 3000 << 2 << true << 0.0;
    QTest::newRow("3d grid ties r=4") << 16u << 3000 << 3 << true << 4.0;
    QTest::newRow("radius covers all") << 17u << 300 << 2 << false << 1000.0;
}

void TestKdTree::radiusMatchesBruteForce()
{
    QFETCH(quint32, seed);
    QFETCH(int, points);
    QFETCH(int, dim);
    QFETCH(bool, integral);
    QFETCH(double, radius);

    // Coordinates in [0, 40) so that the grid case has many duplicates.
    Cloud cloud = randomCloud(seed, points, dim, 40.0, integral);
    TreePtr tree = buildTree(cloud);
    QVERIFY(tree);

    QRandomGenerator rng(seed + 1000);
    for (int q = 0; q < 300; ++q) {
        // Half of the queries sit on stored points (ties on every axis).
        QVector<double> query(dim);
        if (q % 2 == 0) {
            const int i = int(rng.bounded(points));
            for (int a = 0; a < dim; ++a)
                query[a] = cloud.at(i)[a];
        } else {
            for (int a = 0; a < dim; ++a) {
                const double v = rng.generateDouble() * 44.0 - 2.0;
                query[a] = integral ? std::floor(v) : v;
            }
        }

        QSet<int> expected;
        for (int i = 0; i < points; ++i) {
            if (dist2(cloud.at(i), query.constData(), dim) <= radius * radius)
                expected.insert(i);
        }

        ResultPtr result(tree->pointsWithin(query.constData(), radius));
        QVERIFY(result);
        bool positionsOk = false;
        const QVector<int> found = walk(result.get(), cloud, &positionsOk);
        QVERIFY(positionsOk);
        QCOMPARE(result->size(), found.size());
        const QSet<int> foundSet(found.begin(), found.end());
        QCOMPARE(foundSet.size(), found.size());   // no hit twice
        if (foundSet != expected) {
            QFAIL(qPrintable(QString("query %1: tree found %2 points, brute force %3")
                                 .arg(q).arg(foundSet.size()).arg(expected.size())));
        }
    }
}

void TestKdTree::nearestMatchesBruteForce_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("dim");
    QTest::addColumn<bool>("integral");

    QTest::newRow("continuous 2d") << 21u << 3000 << 2 << false;
    QTest::newRow("grid ties 2d") << 22u << 3000 << 2 << true;
    QTest::newRow("continuous 3d") << 23u << 3000 << 3 << false;
    QTest::newRow("few points") << 24u << 5 << 2 << false;
}

void TestKdTree::nearestMatchesBruteForce()
{
    QFETCH(quint32, seed);
    QFETCH(int, points);
    QFETCH(int, dim);
    QFETCH(bool, integral);

    Cloud cloud = randomCloud(seed, points, dim, 40.0, integral);
    TreePtr tree = buildTree(cloud);
    QVERIFY(tree);

    QRandomGenerator rng(seed + 1000);
    for (int q = 0; q < 500; ++q) {
        // Queries also fall well outside the points' bounding box.
        QVector<double> query(dim);
        for (int a = 0; a < dim; ++a)
            query[a] = rng.generateDouble() * 80.0 - 20.0;

        double best = std::numeric_limits<double>::infinity();
        for (int i = 0; i < points; ++i)
            best = std::min(best, dist2(cloud.at(i), query.constData(), dim));

        ResultPtr result(tree->nearestPoint(query.constData()));
        QVERIFY(result);
        QCOMPARE(result->size(), 1);
        bool positionsOk = false;
        const QVector<int> found = walk(result.get(), cloud, &positionsOk);
        QVERIFY(positionsOk);
        QCOMPARE(found.size(), 1);
        // With ties any of the nearest will do here; the order is tested below.
        QCOMPARE(dist2(cloud.at(found[0]), query.constData(), dim), best);
    }
}

void TestKdTree::radiusBoundary_data()
{
    // Points in insertion order, the query and radius, and which points
    // must be found.
    QTest::addColumn<QVector<double>>("xy");
    QTest::addColumn<double>("qx");
    QTest::addColumn<double>("qy");
    QTest::addColumn<double>("radius");
    QTest::addColumn<QVector<int>>("expected");

    QTest::newRow("point exactly at the radius")
        << QVector<double>{0, 0, 3, 4} << 0.0 << 0.0 << 5.0 << QVector<int>{0, 1};
    QTest::newRow("just beyond the radius")
        << QVector<double>{0, 0, 3, 4.000001} << 0.0 << 0.0 << 5.0 << QVector<int>{0};
    // (0, 0) shares the root's x and so hangs on its right; the query lies
    // to the left at exactly the radius from it.
    QTest::newRow("equal split coordinate, right far side at the radius")
        << QVector<double>{0, 5, 0, 0} << -1.0 << 0.0 << 1.0 << QVector<int>{1};
    // The left far side holds only x < 0, farther than |dx| = radius.
    QTest::newRow("left far side at |dx| = radius")
        << QVector<double>{0, 0, -0.5, 0} << 1.0 << 0.0 << 1.0 << QVector<int>{0};
    QTest::newRow("two points with equal split coordinate")
        << QVector<double>{2, 1, 2, 3, 1, 2} << 2.0 << 2.0 << 1.0 << QVector<int>{0, 1, 2};
    QTest::newRow("duplicates with radius 0")
        << QVector<double>{1, 1, 1, 1, 1, 2} << 1.0 << 1.0 << 0.0 << QVector<int>{0, 1};
}

void TestKdTree::radiusBoundary()
{
    QFETCH(QVector<double>, xy);
    QFETCH(double, qx);
    QFETCH(double, qy);
    QFETCH(double, radius);
    QFETCH(QVector<int>, expected);

    Cloud cloud;
    cloud.coords = xy;
    for (int i = 0; i < xy.size() / 2; ++i)
        cloud.ids.append(i);
    TreePtr tree = buildTree(cloud);
    QVERIFY(tree);

    const double q[2] = {qx, qy};
    ResultPtr result(tree->pointsWithin(q, radius));
    QVERIFY(result);
    bool positionsOk = false;
    QVector<int> found = walk(result.get(), cloud, &positionsOk);
    std::sort(found.begin(), found.end());
    QCOMPARE(found, expected);
}

void TestKdTree::hitsComeInReverseOfSearchOrder()
{
    // The search visits a node, then its near side, then its far side;
    // hits are prepended, so iteration runs backwards.
    Cloud cloud;
    cloud.coords = {0, 0,     // root, split on x
                    1, 0,     // right of root
                    -1, 0,    // left of root
                    -2, 0,    // right of (-1,0), which splits on y: equal goes right
                    1, 1};    // right of (1,0)
    for (int i = 0; i < 5; ++i)
        cloud.ids.append(i);
    TreePtr tree = buildTree(cloud);
    QVERIFY(tree);

    // Query left of the root: root, left side (-1,0) then (-2,0), right side
    // (1,0) then (1,1).
    const double q[2] = {-0.5, 0.0};
    ResultPtr result(tree->pointsWithin(q, 10.0));
    bool positionsOk = false;
    QCOMPARE(walk(result.get(), cloud, &positionsOk), (QVector<int>{4, 1, 3, 2, 0}));
    QVERIFY(positionsOk);
}

void TestKdTree::nearestSinglePointAnywhere()
{
    Cloud cloud;
    cloud.coords = {3.0, -2.0};
    cloud.ids = {0};
    TreePtr tree = buildTree(cloud);
    QVERIFY(tree);

    const double queries[][2] = {{3.0, -2.0}, {1e6, 1e6}, {-1e6, 5.0}, {3.0, 100.0}};
    for (const auto &q : queries) {
        ResultPtr result(tree->nearestPoint(q));
        QVERIFY(result);
        QCOMPARE(result->size(), 1);
        double pos[2];
        QCOMPARE(*static_cast<int *>(result->item(pos)), 0);
        QCOMPARE(pos[0], 3.0);
        QCOMPARE(pos[1], -2.0);
        QVERIFY(!result->next());
        QVERIFY(result->atEnd());
    }
}

void TestKdTree::nearestTiesKeepFirstFound()
{
    // The root is the first guess and wins every tie.
    {
        Cloud cloud;
        cloud.coords = {0, 0, 2, 0, -2, 0};
        cloud.ids = {0, 1, 2};
        TreePtr tree = buildTree(cloud);
        const double q[2] = {1.0, 0.0};
        ResultPtr result(tree->nearestPoint(q));
        QCOMPARE(*static_cast<int *>(result->item()), 0);
    }
    // Below the root, the first of equally near points in search order:
    // (0,0) is met before its right child (2,0).
    {
        Cloud cloud;
        cloud.coords = {10, 10, 0, 0, 2, 0};
        cloud.ids = {0, 1, 2};
        TreePtr tree = buildTree(cloud);
        const double q[2] = {1.0, 0.0};
        ResultPtr result(tree->nearestPoint(q));
        QCOMPARE(*static_cast<int *>(result->item()), 1);
    }
}

void TestKdTree::deepTreeFromSortedInput()
{
    // Sorted input makes a chain as deep as the point count. The gridding
    // worker queries from its own thread, so walk and destroy the tree on
    // a thread with a small stack.
    const int n = 20000;
    Cloud cloud;
    for (int i = 0; i < n; ++i) {
        cloud.coords << double(i) << 0.0;
        cloud.ids << i;
    }
    TreePtr tree = buildTree(cloud);
    QVERIFY(tree);

    int nearestId = -1;
    int withinSize = -1;
    int wideSize = -1;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        const double q[2] = {double(n) - 0.6, 3.0};
        ResultPtr nearest(tree->nearestPoint(q));
        if (nearest)
            nearestId = *static_cast<int *>(nearest->item());
        const double mid[2] = {1000.0, 0.0};
        ResultPtr within(tree->pointsWithin(mid, 2.0));
        if (within)
            withinSize = within->size();
        const double start[2] = {0.0, 0.0};
        ResultPtr wide(tree->pointsWithin(start, 2.0 * n));
        if (wide)
            wideSize = wide->size();
        tree.reset();
    }));
    worker->setStackSize(256 * 1024);
    worker->start();
    QVERIFY(worker->wait(60000));
    QCOMPARE(nearestId, n - 1);
    QCOMPARE(withinSize, 5);
    QCOMPARE(wideSize, n);
    QVERIFY(!tree);
}

void TestKdTree::rejectsBadInput()
{
    QVERIFY(KdTree::create(0) == nullptr);
    QVERIFY(KdTree::create(-1) == nullptr);

    TreePtr tree(KdTree::create(2));
    int payload = 7;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double bad1[2] = {nan, 0.0};
    const double bad2[2] = {0.0, inf};
    QCOMPARE(tree->insert(bad1, &payload), -1);
    QCOMPARE(tree->insert(bad2, &payload), -1);
    // A rejected point leaves the tree empty.
    const double origin[2] = {0.0, 0.0};
    QVERIFY(tree->nearestPoint(origin) == nullptr);

    const double good[2] = {1.0, 1.0};
    QCOMPARE(tree->insert(good, &payload), 0);
    ResultPtr negative(tree->pointsWithin(good, -1.0));
    QVERIFY(negative);
    QCOMPARE(negative->size(), 0);
    ResultPtr nanRadius(tree->pointsWithin(good, nan));
    QVERIFY(nanRadius);
    QCOMPARE(nanRadius->size(), 0);
    // A query position that is not a number matches nothing by distance.
    const double nanQuery[2] = {nan, 1.0};
    ResultPtr nanWithin(tree->pointsWithin(nanQuery, 5.0));
    QVERIFY(nanWithin);
    QCOMPARE(nanWithin->size(), 0);
}

QTEST_APPLESS_MAIN(TestKdTree)
#include "tst_kdtree.moc"
