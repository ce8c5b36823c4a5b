#ifndef HW_KDTREE_H
#define HW_KDTREE_H

#include "gridding/KdQueryResult.h"

struct KdNode;
struct KdRect;

// A small unbalanced k-d tree of points with one opaque payload each.
// Its shape follows the insertion order. Queries only read the tree, so
// one thread may query while no other thread inserts; there is no lock.
// Failures (out of memory) are reported by return value, never thrown.
class KdTree
{
public:
    // An empty tree of k dimensions; null when k < 1 or memory runs out.
    static KdTree *create(int k);
    ~KdTree();
    KdTree(const KdTree &) = delete;
    KdTree &operator=(const KdTree &) = delete;

    int dimension() const { return m_k; }

    // Stores a copy of the k coordinates with the payload, which the tree
    // never reads or frees. 0 on success; -1, leaving the tree unchanged,
    // when memory runs out or a coordinate is not finite (such a point
    // could never be found by distance).
    int insert(const double *position, void *payload);

    // Every point at a Euclidean distance of at most radius (empty for a
    // negative or NaN radius). An empty tree gives an empty result; null
    // only when memory runs out.
    KdQueryResult *pointsWithin(const double *position, double radius) const;

    // Exactly one hit, the nearest point; of several at the same distance
    // the first found wins (the root first). Null for an empty tree or
    // when memory runs out.
    KdQueryResult *nearestPoint(const double *position) const;

private:
    explicit KdTree(int k) : m_k(k) {}
    double squaredDistance(const KdNode *node, const double *position) const;

    int m_k;
    KdNode *m_root = nullptr;
    KdRect *m_rect = nullptr;   // encloses every inserted point; null while empty
};

#endif
