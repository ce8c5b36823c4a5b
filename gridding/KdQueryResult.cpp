#include "gridding/KdQueryResult.h"

#include "gridding/KdTree.h"

#include <algorithm>

void KdQueryResult::free(KdQueryResult *result)
{
    delete result;
}

void *KdQueryResult::item(double *positionOut) const
{
    if (atEnd())
        return nullptr;
    const std::size_t i = m_hits[m_cursor];
    if (positionOut) {
        const int k = m_tree->m_k;
        const double *p = m_tree->m_positions.data() + i * static_cast<std::size_t>(k);
        for (int a = 0; a < k; ++a)
            positionOut[a] = p[a];
    }
    return m_tree->m_payloads[i];
}

bool KdQueryResult::next()
{
    if (!atEnd())
        ++m_cursor;
    return !atEnd();
}

void KdQueryResult::reset(const KdTree *tree)
{
    m_tree = tree;
    m_hits.clear();
    m_cursor = 0;
}

void KdQueryResult::sortHits()
{
    const std::size_t n = m_hits.size();
    if (n < 2)
        return;
    const auto range = std::minmax_element(m_hits.begin(), m_hits.end());
    const std::uint32_t low = *range.first;
    const std::size_t words = ((*range.second - low) >> 6) + 1;
    // Neighbours were mostly inserted close together, so their numbers span
    // a short range: marking them in a bit set and reading it back is then
    // cheaper than a comparison sort.
    if (words > 4 * n || n < 32) {
        std::sort(m_hits.begin(), m_hits.end());
        return;
    }
    if (m_marks.size() < words)
        m_marks.resize(words);   // may throw std::bad_alloc; the caller catches it
    for (const std::uint32_t h : m_hits) {
        const std::uint32_t bit = h - low;
        m_marks[bit >> 6] |= std::uint64_t(1) << (bit & 63);
    }
    std::size_t out = 0;
    for (std::size_t w = 0; w < words; ++w) {
        std::uint64_t bits = m_marks[w];
        m_marks[w] = 0;
        while (bits) {
            const int b = __builtin_ctzll(bits);
            bits &= bits - 1;
            m_hits[out++] = low + static_cast<std::uint32_t>(w * 64 + static_cast<std::size_t>(b));
        }
    }
}
