#ifndef HW_KDQUERYRESULT_H
#define HW_KDQUERYRESULT_H

class KdTree;
struct KdNode;

// The hits of one KdTree query, unordered, walked with a cursor:
//     while (!r->atEnd()) { use(r->item()); r->next(); }
//     KdQueryResult::free(r);
// Owned by whoever ran the query.
class KdQueryResult
{
public:
    ~KdQueryResult();
    KdQueryResult(const KdQueryResult &) = delete;
    KdQueryResult &operator=(const KdQueryResult &) = delete;

    // Frees the hits and the result; null is allowed.
    static void free(KdQueryResult *result);

    const KdTree *tree() const { return m_tree; }
    int size() const { return m_size; }
    bool atEnd() const { return m_cursor == nullptr; }
    // Payload of the hit under the cursor; copies its k coordinates into
    // positionOut when given. Null, and nothing copied, at the end.
    void *item(double *positionOut = nullptr) const;
    // Advances the cursor; true while a hit remains.
    bool next();

private:
    friend class KdTree;

    struct Hit {
        const KdNode *node = nullptr;
        double distance = -1.0;   // hits are kept unordered
        Hit *next = nullptr;
    };

    explicit KdQueryResult(const KdTree *tree) : m_tree(tree) {}
    // Puts a hit at the head of the list; false when it cannot be allocated.
    bool prepend(const KdNode *node);
    void rewind() { m_cursor = m_head; }

    const KdTree *m_tree;
    Hit *m_head = nullptr;
    Hit *m_cursor = nullptr;
    int m_size = 0;
};

#endif
