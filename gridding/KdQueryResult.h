#ifndef HW_KDQUERYRESULT_H
#define HW_KDQUERYRESULT_H

#include <cstdint>
#include <vector>

class KdTree;

// The hits of one KdTree query in the order of their points' insertion,
// walked with a cursor:
//     while (!r->atEnd()) { use(r->item()); r->next(); }
//     KdQueryResult::free(r);
// Owned by whoever ran the query. A result made by the caller can be handed
// to query after query; each one replaces the hits of the one before.
class KdQueryResult
{
public:
    KdQueryResult() = default;
    KdQueryResult(const KdQueryResult &) = delete;
    KdQueryResult &operator=(const KdQueryResult &) = delete;

    // Frees the hits and the result; null is allowed.
    static void free(KdQueryResult *result);

    // The tree of the latest query; null before any.
    const KdTree *tree() const { return m_tree; }
    int size() const { return static_cast<int>(m_hits.size()); }
    bool atEnd() const { return m_cursor >= m_hits.size(); }
    // Payload of the hit under the cursor; copies its k coordinates into
    // positionOut when given. Null, and nothing copied, at the end.
    void *item(double *positionOut = nullptr) const;
    // Advances the cursor; true while a hit remains.
    bool next();

private:
    friend class KdTree;

    void reset(const KdTree *tree);
    // Puts the hits collected in any order into insertion order.
    void sortHits();

    const KdTree *m_tree = nullptr;
    std::vector<std::uint32_t> m_hits;    // insertion numbers of the points
    std::vector<std::uint64_t> m_marks;   // scratch of sortHits(), kept all zero
    std::size_t m_cursor = 0;
};

#endif
