#ifndef HW_KDTREE_H
#define HW_KDTREE_H

#include "gridding/KdQueryResult.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// A k-d tree of points with one opaque payload each.
//
// Points are collected by insert() and indexed in one balanced build at the
// first query after them, so the tree's depth does not depend on the order
// of insertion. Whatever the shape, a query's hits come in the order in
// which their points were inserted, and of several equally near points the
// nearest query gives the one inserted first: callers that sum over hits get
// the same sums from any tree over the same points, and the same as a plain
// loop over the points would give.
//
// Any number of threads may query at once (the first of them builds the
// index while the others wait), but no thread may insert while another
// queries. Failures (out of memory) are reported by return value, never
// thrown.
struct KdTreeIndex;

class KdTree
{
public:
    // An empty tree of k dimensions; null when k < 1 or memory runs out.
    static KdTree *create(int k);
    ~KdTree();
    KdTree(const KdTree &) = delete;
    KdTree &operator=(const KdTree &) = delete;

    int dimension() const { return m_k; }
    int size() const { return static_cast<int>(m_payloads.size()); }

    // Stores a copy of the k coordinates with the payload, which the tree
    // never reads or frees. 0 on success; -1, leaving the tree unchanged,
    // when memory runs out or a coordinate is not finite (such a point
    // could never be found by distance). A point inserted after a query is
    // indexed, with all others anew, at the next query.
    int insert(const double *position, void *payload);

    // Every point at a Euclidean distance of at most radius (empty for a
    // negative or NaN radius), in insertion order. An empty tree gives an
    // empty result; null only when memory runs out.
    KdQueryResult *pointsWithin(const double *position, double radius) const;

    // Exactly one hit, the nearest point; of several at the same distance
    // the one inserted first. Null for an empty tree or when memory runs out.
    KdQueryResult *nearestPoint(const double *position) const;

    // The same two queries into a result the caller keeps and reuses, which
    // then allocates nothing once it has grown to its largest hit count.
    // The result is rewound on its first hit (empty for an empty tree);
    // false, with an empty result, only when memory runs out.
    bool pointsWithin(const double *position, double radius, KdQueryResult *result) const;
    bool nearestPoint(const double *position, KdQueryResult *result) const;

private:
    friend class KdQueryResult;
    using Index = KdTreeIndex;

    explicit KdTree(int k);
    const Index *index() const;

    int m_k;
    std::vector<double> m_positions;   // k per point, in insertion order
    std::vector<void *> m_payloads;
    mutable std::mutex m_indexMutex;
    mutable std::atomic<bool> m_indexed{false};
    mutable std::unique_ptr<Index> m_index;
};

#endif
