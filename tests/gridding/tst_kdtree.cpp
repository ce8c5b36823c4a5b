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
// coordinates and many distances of exactly the radius. Sorted clouds come
// column by column, as a section's samples do.
Cloud randomCloud(quint32 seed, int n, int k, double extent, bool integral, bool sorted = false)
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
    if (sorted) {
        QVector<QVector<double>> points;
        for (int i = 0; i < n; ++i)
            points.append(QVector<double>(c.coords.begin() + i * k, c.coords.begin() + (i + 1) * k));
        std::sort(points.begin(), points.end());
        c.coords.clear();
        for (const QVector<double> &p : qAsConst(points))
            c.coords += p;
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
    void hitsComeInInsertionOrder_data();
    void hitsComeInInsertionOrder();
    void nearestSinglePointAnywhere();
    void nearestTiesKeepFirstInserted_data();
    void nearestTiesKeepFirstInserted();
    void deepTreeFromSortedInput();
    void insertAfterQuery();
    void reusedResult();
    void concurrentFirstQueries();
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
    QTest::addColumn<bool>("sorted");
    QTest::addColumn<double>("radius");

    QTest::newRow("continuous r=5") << 11u << 2000 << 2 << false << false << 5.0;
    QTest::newRow("continuous r=25") << 12u << 2000 << 2 << false << false << 25.0;
    QTest::newRow("grid ties r=3") << 13u << 3000 << 2 << true << false << 3.0;
    QTest::newRow("grid ties r=5") << 14u << 3000 << 2 << true << false << 5.0;
    QTest::newRow("grid ties r=0") << 15u << 3000 << 2 << true << false << 0.0;
    QTest::newRow("3d grid ties r=4") << 16u << 3000 << 3 << true << false << 4.0;
    QTest::newRow("radius covers all") << 17u << 300 << 2 << false << false << 1000.0;
    QTest::newRow("section order r=6") << 18u << 3000 << 2 << true << true << 6.0;
    QTest::newRow("sorted continuous r=4") << 19u << 3000 << 2 << false << true << 4.0;
    // Radius -1: each query's radius is the rounded distance of one point,
    // so that point lies at exactly the radius after rounding or just
    // beyond it.
    QTest::newRow("continuous, a point at the radius") << 20u << 2000 << 2 << false << false << -1.0;
    QTest::newRow("3d continuous, a point at the radius") << 21u << 2000 << 3 << false << false << -1.0;
}

void TestKdTree::radiusMatchesBruteForce()
{
    QFETCH(quint32, seed);
    QFETCH(int, points);
    QFETCH(int, dim);
    QFETCH(bool, integral);
    QFETCH(bool, sorted);
    QFETCH(double, radius);

    // Coordinates in [0, 40) so that the grid case has many duplicates.
    Cloud cloud = randomCloud(seed, points, dim, 40.0, integral, sorted);
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

        double r = radius;
        if (r < 0.0)
            r = std::sqrt(dist2(cloud.at(int(rng.bounded(points))), query.constData(), dim));

        // The hits in insertion order, as a plain loop finds them.
        QVector<int> expected;
        for (int i = 0; i < points; ++i) {
            if (dist2(cloud.at(i), query.constData(), dim) <= r * r)
                expected.append(i);
        }

        ResultPtr result(tree->pointsWithin(query.constData(), r));
        QVERIFY(result);
        bool positionsOk = false;
        const QVector<int> found = walk(result.get(), cloud, &positionsOk);
        QVERIFY(positionsOk);
        QCOMPARE(result->size(), found.size());
        if (found != expected) {
            const QSet<int> foundSet(found.begin(), found.end());
            const QSet<int> expectedSet(expected.begin(), expected.end());
            QFAIL(qPrintable(QString("query %1: tree found %2 points, brute force %3; %4")
                                 .arg(q).arg(found.size()).arg(expected.size())
                                 .arg(foundSet == expectedSet ? "same points, other order"
                                                              : "other points")));
        }
    }
}

void TestKdTree::nearestMatchesBruteForce_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("dim");
    QTest::addColumn<bool>("integral");

    QTest::addColumn<bool>("sorted");

    QTest::newRow("continuous 2d") << 21u << 3000 << 2 << false << false;
    QTest::newRow("grid ties 2d") << 22u << 3000 << 2 << true << false;
    QTest::newRow("continuous 3d") << 23u << 3000 << 3 << false << false;
    QTest::newRow("grid ties 3d") << 25u << 3000 << 3 << true << false;
    QTest::newRow("few points") << 24u << 5 << 2 << false << false;
    QTest::newRow("section order, grid ties") << 26u << 3000 << 2 << true << true;
}

void TestKdTree::nearestMatchesBruteForce()
{
    QFETCH(quint32, seed);
    QFETCH(int, points);
    QFETCH(int, dim);
    QFETCH(bool, integral);
    QFETCH(bool, sorted);

    Cloud cloud = randomCloud(seed, points, dim, 40.0, integral, sorted);
    TreePtr tree = buildTree(cloud);
    QVERIFY(tree);

    QRandomGenerator rng(seed + 1000);
    for (int q = 0; q < 500; ++q) {
        // Queries also fall well outside the points' bounding box; on the
        // grid they fall on whole and half units, where ties are common.
        QVector<double> query(dim);
        for (int a = 0; a < dim; ++a) {
            const double v = rng.generateDouble() * 80.0 - 20.0;
            query[a] = integral ? std::floor(2.0 * v) / 2.0 : v;
        }

        // Of equally near points the first inserted.
        double best = std::numeric_limits<double>::infinity();
        int bestId = -1;
        for (int i = 0; i < points; ++i) {
            const double d = dist2(cloud.at(i), query.constData(), dim);
            if (d < best) {
                best = d;
                bestId = i;
            }
        }

        ResultPtr result(tree->nearestPoint(query.constData()));
        QVERIFY(result);
        QCOMPARE(result->size(), 1);
        bool positionsOk = false;
        const QVector<int> found = walk(result.get(), cloud, &positionsOk);
        QVERIFY(positionsOk);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0], bestId);
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

void TestKdTree::hitsComeInInsertionOrder_data()
{
    QTest::addColumn<QVector<double>>("xy");
    QTest::addColumn<double>("qx");
    QTest::addColumn<double>("qy");
    QTest::addColumn<double>("radius");

    QTest::newRow("a few points") << QVector<double>{0, 0, 1, 0, -1, 0, -2, 0, 1, 1, 30, 30}
                                  << -0.5 << 0.0 << 10.0;
    // Clouds far larger than a leaf, so that the hits are collected from
    // many nodes out of insertion order: a handful of hits; hundreds of
    // neighbours inserted close together, column by column; dozens spread
    // over a long run of insertions.
    QTest::newRow("few hits from many leaves")
        << randomCloud(41, 300, 2, 40.0, false).coords << 20.0 << 20.0 << 4.0;
    QTest::newRow("many hits inserted close together")
        << randomCloud(42, 3000, 2, 40.0, false, true).coords << 20.0 << 20.0 << 6.0;
    QTest::newRow("many hits inserted far apart")
        << randomCloud(43, 20000, 2, 40.0, false).coords << 20.0 << 20.0 << 1.0;
}

void TestKdTree::hitsComeInInsertionOrder()
{
    // Callers sum weights in hit order: the order must not depend on where
    // the points sit in the tree, only on the order they came in. The same
    // points given in reverse come back in reverse.
    QFETCH(QVector<double>, xy);
    QFETCH(double, qx);
    QFETCH(double, qy);
    QFETCH(double, radius);

    const int n = xy.size() / 2;
    for (bool reverse : {false, true}) {
        Cloud cloud;
        for (int i = 0; i < n; ++i) {
            const int from = reverse ? n - 1 - i : i;
            cloud.coords << xy[2 * from] << xy[2 * from + 1];
            cloud.ids << i;
        }
        const double q[2] = {qx, qy};
        QVector<int> expected;
        for (int i = 0; i < n; ++i) {
            if (dist2(cloud.at(i), q, 2) <= radius * radius)
                expected.append(i);
        }
        QVERIFY(expected.size() >= 5);

        TreePtr tree = buildTree(cloud);
        QVERIFY(tree);
        ResultPtr result(tree->pointsWithin(q, radius));
        QVERIFY(result);
        bool positionsOk = false;
        QCOMPARE(walk(result.get(), cloud, &positionsOk), expected);
        QVERIFY(positionsOk);
    }
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

void TestKdTree::nearestTiesKeepFirstInserted_data()
{
    QTest::addColumn<QVector<double>>("xy");
    QTest::addColumn<double>("qx");
    QTest::addColumn<double>("qy");
    QTest::addColumn<int>("expected");

    QTest::newRow("first point among the tied")
        << QVector<double>{0, 0, 2, 0, -2, 0} << 1.0 << 0.0 << 0;
    QTest::newRow("later points tied, the earlier wins")
        << QVector<double>{10, 10, 2, 0, 0, 0} << 1.0 << 0.0 << 1;
    QTest::newRow("four corners, the third inserted first of the tied")
        << QVector<double>{9, 9, 5, 5, 1, 1, 1, -1, -1, 1, -1, -1} << 0.0 << 0.0 << 2;
    QTest::newRow("duplicates of the nearest")
        << QVector<double>{3, 3, 1, 0, 1, 0, 1, 0} << 0.0 << 0.0 << 1;
}

void TestKdTree::nearestTiesKeepFirstInserted()
{
    QFETCH(QVector<double>, xy);
    QFETCH(double, qx);
    QFETCH(double, qy);
    QFETCH(int, expected);

    // Many copies far away make a tree of several levels.
    Cloud cloud;
    cloud.coords = xy;
    for (int i = 0; i < 200; ++i)
        cloud.coords << 100.0 + i % 13 << 100.0 + i % 7;
    for (int i = 0; i < cloud.coords.size() / 2; ++i)
        cloud.ids.append(i);
    TreePtr tree = buildTree(cloud);
    const double q[2] = {qx, qy};
    ResultPtr result(tree->nearestPoint(q));
    QVERIFY(result);
    QCOMPARE(*static_cast<int *>(result->item()), expected);
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

void TestKdTree::insertAfterQuery()
{
    Cloud cloud = randomCloud(31, 400, 2, 40.0, false);
    TreePtr tree(KdTree::create(2));
    for (int i = 0; i < 200; ++i)
        QCOMPARE(tree->insert(cloud.at(i), &cloud.ids[i]), 0);
    const double q[2] = {20.0, 20.0};
    ResultPtr before(tree->pointsWithin(q, 100.0));
    QCOMPARE(before->size(), 200);

    // Points added after a query are found by the next one.
    for (int i = 200; i < 400; ++i)
        QCOMPARE(tree->insert(cloud.at(i), &cloud.ids[i]), 0);
    QCOMPARE(tree->size(), 400);
    ResultPtr after(tree->pointsWithin(q, 100.0));
    bool positionsOk = false;
    const QVector<int> found = walk(after.get(), cloud, &positionsOk);
    QCOMPARE(found.size(), 400);
    QVERIFY(std::is_sorted(found.begin(), found.end()));
    const double far[2] = {1000.0, 1000.0};
    int last = 399;
    QVERIFY(tree->insert(far, &last) == 0);
    ResultPtr nearest(tree->nearestPoint(far));
    QCOMPARE(nearest->item(), static_cast<void *>(&last));
}

void TestKdTree::reusedResult()
{
    // One result handed to query after query holds only the latest hits.
    Cloud cloud = randomCloud(32, 500, 2, 40.0, true);
    TreePtr tree = buildTree(cloud);
    KdQueryResult result;
    QVERIFY(result.atEnd());
    QVERIFY(result.item() == nullptr);
    QRandomGenerator rng(33);
    for (int q = 0; q < 50; ++q) {
        const double query[2] = {rng.generateDouble() * 40.0, rng.generateDouble() * 40.0};
        const double radius = q % 5 == 0 ? 30.0 : rng.generateDouble() * 6.0;
        QVERIFY(tree->pointsWithin(query, radius, &result));
        QCOMPARE(result.tree(), tree.get());
        bool positionsOk = false;
        ResultPtr fresh(tree->pointsWithin(query, radius));
        QCOMPARE(walk(&result, cloud, &positionsOk), walk(fresh.get(), cloud, &positionsOk));
        QVERIFY(tree->nearestPoint(query, &result));
        QCOMPARE(result.size(), 1);
        ResultPtr freshNearest(tree->nearestPoint(query));
        QCOMPARE(result.item(), freshNearest->item());
    }
    // An empty tree leaves the result empty.
    TreePtr empty(KdTree::create(2));
    const double origin[2] = {0.0, 0.0};
    QVERIFY(empty->nearestPoint(origin, &result));
    QCOMPARE(result.size(), 0);
    QVERIFY(result.atEnd());
}

void TestKdTree::concurrentFirstQueries()
{
    // The gridding workers query one tree from many threads, the first
    // queries racing to index it.
    Cloud cloud = randomCloud(34, 20000, 2, 40.0, false, true);
    for (int round = 0; round < 5; ++round) {
        TreePtr tree = buildTree(cloud);
        const double q[2] = {17.5, 22.25};
        QVector<int> expected;
        for (int i = 0; i < cloud.count(); ++i) {
            if (dist2(cloud.at(i), q, 2) <= 1.5 * 1.5)
                expected.append(i);
        }
        std::vector<std::unique_ptr<QThread>> threads;
        QVector<QVector<int>> found(8);
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back(QThread::create([&, t] {
                KdQueryResult result;
                tree->pointsWithin(q, 1.5, &result);
                for (; !result.atEnd(); result.next())
                    found[t].append(*static_cast<int *>(result.item()));
            }));
        }
        for (auto &thread : threads)
            thread->start();
        for (auto &thread : threads)
            QVERIFY(thread->wait(60000));
        for (const QVector<int> &f : qAsConst(found))
            QCOMPARE(f, expected);
    }
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
