#include "gridding/KdQueryResult.h"

#include "gridding/KdNode.h"
#include "gridding/KdTree.h"

#include <new>

KdQueryResult::~KdQueryResult()
{
    Hit *hit = m_head;
    while (hit) {
        Hit *following = hit->next;
        delete hit;
        hit = following;
    }
}

void KdQueryResult::free(KdQueryResult *result)
{
    delete result;
}

void *KdQueryResult::item(double *positionOut) const
{
    if (!m_cursor)
        return nullptr;
    const KdNode *node = m_cursor->node;
    if (positionOut) {
        const int k = m_tree->dimension();
        for (int i = 0; i < k; ++i)
            positionOut[i] = node->position[i];
    }
    return node->payload;
}

bool KdQueryResult::next()
{
    if (m_cursor)
        m_cursor = m_cursor->next;
    return m_cursor != nullptr;
}

bool KdQueryResult::prepend(const KdNode *node)
{
    Hit *hit = new (std::nothrow) Hit;
    if (!hit)
        return false;
    hit->node = node;
    hit->next = m_head;
    m_head = hit;
    ++m_size;
    return true;
}
