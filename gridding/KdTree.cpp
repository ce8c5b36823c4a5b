#include "gridding/KdTree.h"

#include "gridding/KdNode.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>

// The index splits every node on its widest axis: two-dimensional trees in
// the middle of the node's box, or at the median where the middle would
// leave less than a quarter of the points on one side; others always at the
// median. It is therefore shallow whatever the order of insertion, and a
// query can walk it with a small fixed stack. Subtrees are pruned by
// distances to boxes that bound their points, computed so that the rounded
// distance of every point inside is at least that of the box: no point at
// exactly the radius, or tied for nearest, is ever cut off.

namespace {

const int kLeafSize = 8;
// Every split leaves at least a quarter of a node's points on either side,
// so a tree of up to 2^31 points is less than 70 nodes deep.
const int kMaxStack = 96;

} // namespace

struct KdTreeIndex {
    std::vector<KdNode> nodes;            // the root first
    std::vector<double> boxes;            // 2k per node: k minima, then k maxima
    // The points in index order: for two dimensions, position and insertion
    // number side by side; for any other, in two arrays.
    struct PlanePoint {
        double c[2];
        std::uint32_t number;
    };
    std::vector<PlanePoint> plane;
    std::vector<double> positions;        // k per point
    std::vector<std::uint32_t> numbers;
};

namespace {

// Squared distance from p to the nearest point of the box; summed over the
// axes in the same order as a point's, which keeps it a lower bound after
// rounding.
template <int K>
inline double boxNearDistance(const double *box, const double *p, int kRuntime)
{
    const int k = K > 0 ? K : kRuntime;
    const double *min = box;
    const double *max = box + k;
    double sum = 0.0;
    for (int a = 0; a < k; ++a) {
        double d = 0.0;
        if (p[a] < min[a])
            d = min[a] - p[a];
        else if (p[a] > max[a])
            d = p[a] - max[a];
        sum += d * d;
    }
    return sum;
}

// Squared distance from p to the farthest corner of the box: an upper bound
// of every rounded point distance inside.
template <int K>
inline double boxFarDistance(const double *box, const double *p, int kRuntime)
{
    const int k = K > 0 ? K : kRuntime;
    const double *min = box;
    const double *max = box + k;
    double sum = 0.0;
    for (int a = 0; a < k; ++a) {
        const double d = std::max(p[a] - min[a], max[a] - p[a]);
        sum += d * d;
    }
    return sum;
}

template <int K>
inline double pointDistance(const double *a, const double *b, int kRuntime)
{
    const int k = K > 0 ? K : kRuntime;
    double sum = 0.0;
    for (int i = 0; i < k; ++i) {
        const double d = a[i] - b[i];
        sum += d * d;
    }
    return sum;
}

// Generic dimension: sorts keys of the split axis beside the numbers.
struct Builder {
    int k;
    const std::vector<double> &source;   // insertion order
    KdTreeIndex &index;
    std::vector<std::pair<double, std::uint32_t>> keys;

    int build(int first, int count)
    {
        const int id = static_cast<int>(index.nodes.size());
        index.nodes.push_back(KdNode{first, count, -1, -1});
        index.boxes.resize(index.boxes.size() + 2 * static_cast<std::size_t>(k));
        double *box = index.boxes.data() + 2 * static_cast<std::size_t>(k) * id;
        for (int a = 0; a < k; ++a) {
            box[a] = std::numeric_limits<double>::infinity();
            box[k + a] = -std::numeric_limits<double>::infinity();
        }
        for (int s = first; s < first + count; ++s) {
            const double *p = source.data() + static_cast<std::size_t>(index.numbers[s]) * k;
            for (int a = 0; a < k; ++a) {
                box[a] = std::min(box[a], p[a]);
                box[k + a] = std::max(box[k + a], p[a]);
            }
        }
        if (count <= kLeafSize)
            return id;

        int axis = 0;
        for (int a = 1; a < k; ++a) {
            if (box[k + a] - box[a] > box[k + axis] - box[axis])
                axis = a;
        }
        keys.resize(static_cast<std::size_t>(count));
        for (int s = 0; s < count; ++s) {
            const std::uint32_t n = index.numbers[first + s];
            keys[s] = {source[static_cast<std::size_t>(n) * k + axis], n};
        }
        const int half = count / 2;
        std::nth_element(keys.begin(), keys.begin() + half, keys.end());
        for (int s = 0; s < count; ++s)
            index.numbers[first + s] = keys[s].second;

        const int left = build(first, half);
        const int right = build(first + half, count - half);
        KdNode &node = index.nodes[id];
        node.left = left;
        node.right = right;
        node.axis = axis;
        // The children's boxes meet the split on this axis.
        node.leftMax = index.boxes[2 * static_cast<std::size_t>(k) * left + k + axis];
        node.rightMin = index.boxes[2 * static_cast<std::size_t>(k) * right + axis];
        return id;
    }

    void run(int n)
    {
        index.numbers.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            index.numbers[i] = static_cast<std::uint32_t>(i);
        build(0, n);
        index.positions.resize(source.size());
        for (int s = 0; s < n; ++s) {
            const double *p = source.data() + static_cast<std::size_t>(index.numbers[s]) * k;
            std::copy(p, p + k, index.positions.data() + static_cast<std::size_t>(s) * k);
        }
    }
};

// Two dimensions: the points themselves are selected, in place.
struct PlaneBuilder {
    static const int K = 2;
    using Item = KdTreeIndex::PlanePoint;

    const std::vector<double> &source;
    KdTreeIndex &index;

    int build(int first, int count)
    {
        const std::vector<Item> &items = index.plane;
        const int id = static_cast<int>(index.nodes.size());
        index.nodes.push_back(KdNode{first, count, -1, -1});
        double x0 = std::numeric_limits<double>::infinity(), y0 = x0;
        double x1 = -x0, y1 = -x0;
        for (int s = first; s < first + count; ++s) {
            x0 = std::min(x0, items[s].c[0]);
            x1 = std::max(x1, items[s].c[0]);
            y0 = std::min(y0, items[s].c[1]);
            y1 = std::max(y1, items[s].c[1]);
        }
        const double box[2 * K] = {x0, y0, x1, y1};
        index.boxes.insert(index.boxes.end(), box, box + 2 * K);
        if (count <= kLeafSize)
            return id;

        const int axis = box[K + 1] - box[1] > box[K] - box[0] ? 1 : 0;
        // Split at the middle of the box where that halves the points
        // roughly (one pass), else at the median, which keeps the depth
        // logarithmic whatever the points.
        const auto begin = index.plane.begin() + first;
        const auto end = begin + count;
        const double middle = box[axis] + (box[K + axis] - box[axis]) / 2.0;
        int split = static_cast<int>(
            std::partition(begin, end, [axis, middle](const Item &i) { return i.c[axis] < middle; })
            - begin);
        if (split < count / 4 || split > count - count / 4) {
            split = count / 2;
            std::nth_element(begin, begin + split, end, [axis](const Item &a, const Item &b) {
                return a.c[axis] < b.c[axis];
            });
        }

        const int left = build(first, split);
        const int right = build(first + split, count - split);
        KdNode &node = index.nodes[id];
        node.left = left;
        node.right = right;
        node.axis = axis;
        // The children's boxes meet the split on this axis.
        node.leftMax = index.boxes[2 * K * static_cast<std::size_t>(left) + K + axis];
        node.rightMin = index.boxes[2 * K * static_cast<std::size_t>(right) + axis];
        return id;
    }

    void run(int n)
    {
        index.plane.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            index.plane[i].c[0] = source[2 * static_cast<std::size_t>(i)];
            index.plane[i].c[1] = source[2 * static_cast<std::size_t>(i) + 1];
            index.plane[i].number = static_cast<std::uint32_t>(i);
        }
        build(0, n);
    }
};

template <int K>
inline const double *slotPosition(const KdTreeIndex &ix, int slot, int k)
{
    if constexpr (K == 2)
        return ix.plane[slot].c;
    else
        return ix.positions.data() + static_cast<std::size_t>(slot) * k;
}

template <int K>
inline std::uint32_t slotNumber(const KdTreeIndex &ix, int slot)
{
    if constexpr (K == 2)
        return ix.plane[slot].number;
    else
        return ix.numbers[slot];
}

template <int K>
void collectWithin(const KdTreeIndex &ix, int kRuntime, const double *q, double radius2,
                   std::vector<std::uint32_t> &hits)
{
    const int k = K > 0 ? K : kRuntime;
    const std::size_t boxSize = 2 * static_cast<std::size_t>(k);
    int stack[kMaxStack];
    int top = 0;
    if (boxNearDistance<K>(ix.boxes.data(), q, k) <= radius2)
        stack[top++] = 0;
    while (top > 0) {
        const int id = stack[--top];
        const KdNode &node = ix.nodes[id];
        if (boxFarDistance<K>(ix.boxes.data() + boxSize * id, q, k) <= radius2) {
            // The whole box lies within the radius.
            for (int s = node.first; s < node.first + node.count; ++s)
                hits.push_back(slotNumber<K>(ix, s));
            continue;
        }
        if (node.left < 0) {
            for (int s = node.first; s < node.first + node.count; ++s) {
                if (pointDistance<K>(slotPosition<K>(ix, s, k), q, k) <= radius2)
                    hits.push_back(slotNumber<K>(ix, s));
            }
            continue;
        }
        if (boxNearDistance<K>(ix.boxes.data() + boxSize * node.right, q, k) <= radius2)
            stack[top++] = node.right;
        if (boxNearDistance<K>(ix.boxes.data() + boxSize * node.left, q, k) <= radius2)
            stack[top++] = node.left;
    }
}

// Depth first, the nearer child first. A far child is searched unless the
// distance to its cell already exceeds the best; the cell's distance is
// kept per axis and summed in the same order as a point's, so it stays a
// lower bound after rounding. The best guess is replaced only by a strictly
// nearer point, or by an equally near one inserted earlier.
template <int K>
struct NearestSearch {
    const KdTreeIndex &ix;
    const int k;
    const double *q;
    double *cell;   // per axis: squared distance to the current cell
    std::uint32_t best;
    double bestDistance;

    void search(int id)
    {
        const KdNode &node = ix.nodes[id];
        if (node.left < 0) {
            for (int s = node.first; s < node.first + node.count; ++s) {
                const double d = pointDistance<K>(slotPosition<K>(ix, s, k), q, k);
                if (d <= bestDistance) {
                    const std::uint32_t number = slotNumber<K>(ix, s);
                    if (d < bestDistance || number < best) {
                        best = number;
                        bestDistance = d;
                    }
                }
            }
            return;
        }
        const int a = node.axis;
        const double toLeft = q[a] - node.leftMax;     // > 0: the query lies beyond the left child
        const double toRight = node.rightMin - q[a];   // > 0: the query lies before the right child
        const bool leftFirst = toLeft <= toRight;
        search(leftFirst ? node.left : node.right);

        const double gap = leftFirst ? toRight : toLeft;
        const double saved = cell[a];
        cell[a] = std::max(saved, gap > 0.0 ? gap * gap : 0.0);
        double distance = 0.0;
        for (int i = 0; i < k; ++i)
            distance += cell[i];
        // Equal distances are still searched: they may hold an earlier tie.
        if (distance <= bestDistance)
            search(leftFirst ? node.right : node.left);
        cell[a] = saved;
    }
};

template <int K>
std::uint32_t findNearest(const KdTreeIndex &ix, int kRuntime, const double *q,
                          std::uint32_t best, double bestDistance)
{
    const int k = K > 0 ? K : kRuntime;
    double fixedCell[K > 0 ? K : 1];
    std::vector<double> runtimeCell;
    if (K == 0)
        runtimeCell.resize(static_cast<std::size_t>(k));   // std::bad_alloc: caught by the caller
    double *cell = K > 0 ? fixedCell : runtimeCell.data();
    const double *box = ix.boxes.data();
    for (int a = 0; a < k; ++a) {
        double d = 0.0;
        if (q[a] < box[a])
            d = box[a] - q[a];
        else if (q[a] > box[k + a])
            d = q[a] - box[k + a];
        cell[a] = d * d;
    }
    NearestSearch<K> search{ix, k, q, cell, best, bestDistance};
    search.search(0);
    return search.best;
}

} // namespace

KdTree::KdTree(int k)
    : m_k(k)
{
}

KdTree *KdTree::create(int k)
{
    if (k < 1)
        return nullptr;
    return new (std::nothrow) KdTree(k);
}

KdTree::~KdTree() = default;

int KdTree::insert(const double *position, void *payload)
{
    for (int i = 0; i < m_k; ++i) {
        if (!std::isfinite(position[i]))
            return -1;
    }
    // Insertion numbers are 32 bits wide.
    if (m_payloads.size() >= std::size_t(INT32_MAX))
        return -1;
    const std::size_t before = m_positions.size();
    try {
        m_positions.insert(m_positions.end(), position, position + m_k);
        m_payloads.push_back(payload);
    } catch (const std::bad_alloc &) {
        m_positions.resize(before);
        return -1;
    }
    m_indexed.store(false, std::memory_order_relaxed);
    return 0;
}

const KdTree::Index *KdTree::index() const
{
    if (m_indexed.load(std::memory_order_acquire))
        return m_index.get();
    std::lock_guard<std::mutex> lock(m_indexMutex);
    if (m_indexed.load(std::memory_order_relaxed))
        return m_index.get();
    m_index.reset();
    try {
        std::unique_ptr<Index> index(new Index);
        const int n = size();
        // Leaves hold a quarter to all of kLeafSize points: a guess that
        // mostly holds.
        const std::size_t nodes = static_cast<std::size_t>(n / 2 + 1);
        index->nodes.reserve(nodes);
        index->boxes.reserve(nodes * 2 * static_cast<std::size_t>(m_k));
        if (m_k == 2) {
            PlaneBuilder builder{m_positions, *index};
            builder.run(n);
        } else {
            Builder builder{m_k, m_positions, *index, {}};
            builder.run(n);
        }
        m_index = std::move(index);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    m_indexed.store(true, std::memory_order_release);
    return m_index.get();
}

bool KdTree::pointsWithin(const double *position, double radius, KdQueryResult *result) const
{
    result->reset(this);
    if (m_payloads.empty() || !(radius >= 0.0))
        return true;
    const Index *ix = index();
    if (!ix)
        return false;

    const double radius2 = radius * radius;
    try {
        if (m_k == 2)
            collectWithin<2>(*ix, 2, position, radius2, result->m_hits);
        else
            collectWithin<0>(*ix, m_k, position, radius2, result->m_hits);
        result->sortHits();
    } catch (const std::bad_alloc &) {
        result->reset(this);
        return false;
    }
    return true;
}

bool KdTree::nearestPoint(const double *position, KdQueryResult *result) const
{
    result->reset(this);
    if (m_payloads.empty())
        return true;
    const Index *ix = index();
    if (!ix)
        return false;

    // The first point inserted is the first guess.
    const double first = m_k == 2 ? pointDistance<2>(m_positions.data(), position, 2)
                                  : pointDistance<0>(m_positions.data(), position, m_k);
    try {
        const std::uint32_t best = m_k == 2 ? findNearest<2>(*ix, 2, position, 0, first)
                                            : findNearest<0>(*ix, m_k, position, 0, first);
        result->m_hits.push_back(best);
    } catch (const std::bad_alloc &) {
        result->reset(this);
        return false;
    }
    return true;
}

KdQueryResult *KdTree::pointsWithin(const double *position, double radius) const
{
    KdQueryResult *result = new (std::nothrow) KdQueryResult;
    if (!result)
        return nullptr;
    if (!pointsWithin(position, radius, result)) {
        delete result;
        return nullptr;
    }
    return result;
}

KdQueryResult *KdTree::nearestPoint(const double *position) const
{
    if (m_payloads.empty())
        return nullptr;
    KdQueryResult *result = new (std::nothrow) KdQueryResult;
    if (!result)
        return nullptr;
    if (!nearestPoint(position, result)) {
        delete result;
        return nullptr;
    }
    return result;
}
