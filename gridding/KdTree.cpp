#include "gridding/KdTree.h"

#include "gridding/KdNode.h"
#include "gridding/KdRect.h"

#include <cmath>
#include <new>
#include <vector>

// The tree is never balanced, so sorted input makes it as deep as it is
// long; every walk therefore keeps its own stack instead of recursing.

namespace {

KdRect *newRect(int k, const double *min, const double *max)
{
    KdRect *rect = new (std::nothrow) KdRect;
    if (!rect)
        return nullptr;
    rect->k = k;
    rect->min = new (std::nothrow) double[k];
    rect->max = new (std::nothrow) double[k];
    if (!rect->min || !rect->max) {
        delete rect;
        return nullptr;
    }
    for (int i = 0; i < k; ++i) {
        rect->min[i] = min[i];
        rect->max[i] = max[i];
    }
    return rect;
}

double rectSquaredDistance(const KdRect &rect, const double *p)
{
    double sum = 0.0;
    for (int i = 0; i < rect.k; ++i) {
        if (p[i] < rect.min[i]) {
            const double d = rect.min[i] - p[i];
            sum += d * d;
        } else if (p[i] > rect.max[i]) {
            const double d = p[i] - rect.max[i];
            sum += d * d;
        }
    }
    return sum;
}

void deleteNode(KdNode *node)
{
    delete[] node->position;
    delete node;
}

} // namespace

KdTree *KdTree::create(int k)
{
    if (k < 1)
        return nullptr;
    return new (std::nothrow) KdTree(k);
}

KdTree::~KdTree()
{
    KdNode *node = m_root;
    while (node) {
        if (node->left) {
            // Unlink the left child and revisit this node later, which needs
            // no extra memory however deep the tree is.
            KdNode *left = node->left;
            node->left = left->right;
            left->right = node;
            node = left;
        } else {
            KdNode *right = node->right;
            deleteNode(node);
            node = right;
        }
    }
    delete m_rect;
}

double KdTree::squaredDistance(const KdNode *node, const double *position) const
{
    double sum = 0.0;
    for (int i = 0; i < m_k; ++i) {
        const double d = node->position[i] - position[i];
        sum += d * d;
    }
    return sum;
}

int KdTree::insert(const double *position, void *payload)
{
    for (int i = 0; i < m_k; ++i) {
        if (!std::isfinite(position[i]))
            return -1;
    }

    KdNode *node = new (std::nothrow) KdNode;
    if (!node)
        return -1;
    node->position = new (std::nothrow) double[m_k];
    if (!node->position) {
        delete node;
        return -1;
    }
    for (int i = 0; i < m_k; ++i)
        node->position[i] = position[i];
    node->payload = payload;

    if (!m_rect) {
        m_rect = newRect(m_k, position, position);
        if (!m_rect) {
            deleteNode(node);
            return -1;
        }
    } else {
        for (int i = 0; i < m_k; ++i) {
            if (position[i] < m_rect->min[i])
                m_rect->min[i] = position[i];
            if (position[i] > m_rect->max[i])
                m_rect->max[i] = position[i];
        }
    }

    if (!m_root) {
        node->axis = 0;
        m_root = node;
        return 0;
    }
    KdNode *parent = m_root;
    for (;;) {
        const int a = parent->axis;
        KdNode **slot = parent->position[a] > position[a] ? &parent->left : &parent->right;
        if (!*slot) {
            node->axis = (a + 1) % m_k;
            *slot = node;
            return 0;
        }
        parent = *slot;
    }
}

KdQueryResult *KdTree::pointsWithin(const double *position, double radius) const
{
    KdQueryResult *result = new (std::nothrow) KdQueryResult(this);
    if (!result)
        return nullptr;
    if (!m_root || !(radius >= 0.0))
        return result;

    const double radius2 = radius * radius;
    try {
        // Depth first, the node itself, then its near side, then its far
        // side: every hit goes to the head of the list.
        std::vector<const KdNode *> stack;
        stack.push_back(m_root);
        while (!stack.empty()) {
            const KdNode *node = stack.back();
            stack.pop_back();
            if (squaredDistance(node, position) <= radius2) {
                if (!result->prepend(node)) {
                    delete result;
                    return nullptr;
                }
            }
            const int a = node->axis;
            const double dx = position[a] - node->position[a];
            const KdNode *nearSide = dx <= 0.0 ? node->left : node->right;
            const KdNode *farSide = dx <= 0.0 ? node->right : node->left;
            // Equal coordinates sit on the right, so a right far side can
            // hold a point exactly at the radius; a left one cannot.
            const bool farCanHit = dx <= 0.0 ? -dx <= radius : dx < radius;
            if (farSide && farCanHit)
                stack.push_back(farSide);
            if (nearSide)
                stack.push_back(nearSide);
        }
    } catch (const std::bad_alloc &) {
        delete result;
        return nullptr;
    }
    result->rewind();
    return result;
}

KdQueryResult *KdTree::nearestPoint(const double *position) const
{
    if (!m_rect || !m_root)
        return nullptr;

    KdRect *rect = newRect(m_k, m_rect->min, m_rect->max);
    if (!rect)
        return nullptr;

    const KdNode *best = m_root;
    double bestDist2 = squaredDistance(m_root, position);

    // One frame per node on the current path. Stage 0: about to search the
    // nearer side; 1: nearer side done; 2: farther side done.
    struct Frame {
        const KdNode *node;
        int stage;
        double savedBound;
    };
    try {
        std::vector<Frame> stack;
        stack.push_back({m_root, 0, 0.0});
        while (!stack.empty()) {
            Frame &f = stack.back();
            const KdNode *node = f.node;
            const int a = node->axis;
            const double dx = position[a] - node->position[a];
            const bool nearIsLeft = dx <= 0.0;
            const KdNode *nearSide = nearIsLeft ? node->left : node->right;
            const KdNode *farSide = nearIsLeft ? node->right : node->left;
            // Going left bounds max[a] by the node, going right min[a].
            double *nearBound = nearIsLeft ? &rect->max[a] : &rect->min[a];
            double *farBound = nearIsLeft ? &rect->min[a] : &rect->max[a];

            if (f.stage == 0) {
                f.stage = 1;
                if (nearSide) {
                    f.savedBound = *nearBound;
                    *nearBound = node->position[a];
                    stack.push_back({nearSide, 0, 0.0});
                    continue;
                }
            }
            if (f.stage == 1) {
                if (nearSide)
                    *nearBound = f.savedBound;
                const double d2 = squaredDistance(node, position);
                if (d2 < bestDist2) {
                    best = node;
                    bestDist2 = d2;
                }
                f.stage = 2;
                if (farSide) {
                    f.savedBound = *farBound;
                    *farBound = node->position[a];
                    if (rectSquaredDistance(*rect, position) < bestDist2) {
                        stack.push_back({farSide, 0, 0.0});
                        continue;
                    }
                    *farBound = f.savedBound;
                }
                stack.pop_back();
                continue;
            }
            // Stage 2: back from the farther side.
            *farBound = f.savedBound;
            stack.pop_back();
        }
    } catch (const std::bad_alloc &) {
        delete rect;
        return nullptr;
    }
    delete rect;

    KdQueryResult *result = new (std::nothrow) KdQueryResult(this);
    if (!result)
        return nullptr;
    if (!result->prepend(best)) {
        delete result;
        return nullptr;
    }
    result->rewind();
    return result;
}
