#include "gridding/IsoBander.h"

#include <QtDebug>

#include <cmath>

namespace {

// One point on a cell's border, in clockwise walking order.
struct BorderPoint {
    GridNode node;
    int level = -1;     // 0 low, 1 high; -1 for a grid corner
    int edge = -1;      // edge the crossing lies on
    bool exit = false;  // the border leaves the band here
    int joined = -1;    // for an exit: the entry it jumps to
};

const int kRingLimit = 100000;

} // namespace

IsoBander::IsoBander(const double *x, const double *y, const double *z, int nrow, int ncol,
                     double low, double high)
    : m_x(x)
    , m_y(y)
    , m_z(z)
    , m_nrow(nrow)
    , m_ncol(ncol)
    , m_low(low)
    , m_high(high)
{
}

IsoBander::~IsoBander() = default;

qint64 IsoBander::key(const GridNode &node)
{
    return (static_cast<qint64>(node.r) << 30) ^ (static_cast<qint64>(node.c) << 3)
           ^ static_cast<qint64>(node.kind);
}

int IsoBander::classOf(double v) const
{
    if (v >= m_high)
        return 2;
    if (v >= m_low)
        return 1;
    return 0;
}

QPointF IsoBander::crossingPoint(const GridNode &node) const
{
    const int r = node.r;
    const int c = node.c;
    if (r < 0 || c < 0 || r >= m_nrow || c >= m_ncol)
        return QPointF(0.0, 0.0);
    switch (node.kind) {
    case OnGrid:
        return QPointF(m_x[c], m_y[r]);
    case RowEdgeLow:
    case RowEdgeHigh: {
        if (c + 1 >= m_ncol)
            return QPointF(0.0, 0.0);
        const double level = node.kind == RowEdgeLow ? m_low : m_high;
        const double z0 = m_z[r + c * m_nrow];
        const double z1 = m_z[r + (c + 1) * m_nrow];
        const double f = z1 != z0 ? (level - z0) / (z1 - z0) : 0.0;
        return QPointF(m_x[c] + f * (m_x[c + 1] - m_x[c]), m_y[r]);
    }
    case ColumnEdgeLow:
    case ColumnEdgeHigh: {
        if (r + 1 >= m_nrow)
            return QPointF(0.0, 0.0);
        const double level = node.kind == ColumnEdgeLow ? m_low : m_high;
        const double z0 = m_z[r + c * m_nrow];
        const double z1 = m_z[r + 1 + c * m_nrow];
        const double f = z1 != z0 ? (level - z0) / (z1 - z0) : 0.0;
        return QPointF(m_x[c], m_y[r] + f * (m_y[r + 1] - m_y[r]));
    }
    default:
        return QPointF(0.0, 0.0);
    }
}

void IsoBander::computeBands()
{
    m_map.clear();
    m_polyCount = 0;
    if (!m_x || !m_y || !m_z || m_nrow < 2 || m_ncol < 2 || !(m_low < m_high))
        return;

    QVector<int> t(m_nrow * m_ncol);
    for (int i = 0; i < t.size(); ++i)
        t[i] = classOf(m_z[i]);

    for (int r = 0; r + 1 < m_nrow; ++r) {
        for (int c = 0; c + 1 < m_ncol; ++c) {
            const int a = r + c * m_nrow;
            const int b = r + (c + 1) * m_nrow;
            if (!std::isfinite(m_z[a]) || !std::isfinite(m_z[b]) || !std::isfinite(m_z[a + 1])
                || !std::isfinite(m_z[b + 1]))
                continue;
            // Corners in walking order: (r, c), (r, c+1), (r+1, c+1), (r+1, c).
            const int corners[4] = {t[a], t[b], t[b + 1], t[a + 1]};
            const int code = 27 * corners[0] + 9 * corners[1] + 3 * corners[2] + corners[3];
            if (code == 0 || code == 80)
                continue;
            addCell(r, c, corners);
        }
    }
}

void IsoBander::addCell(int r, int c, const int t[4])
{
    const GridNode cornerNodes[4] = {{r, c, OnGrid}, {r, c + 1, OnGrid},
                                     {r + 1, c + 1, OnGrid}, {r + 1, c, OnGrid}};
    // Edge e runs from corner e to corner e+1; crossings are named by the
    // edge's first grid point and are row edges (top, bottom) or column
    // edges (right, left).
    const GridNode edgeBase[4] = {{r, c, 0}, {r, c + 1, 0}, {r + 1, c, 0}, {r, c, 0}};
    const bool rowEdge[4] = {true, false, true, false};

    BorderPoint pts[8];
    int m = 0;
    auto crossing = [&](int e, int level, bool exit) {
        BorderPoint &p = pts[m++];
        p.node = edgeBase[e];
        p.node.kind = rowEdge[e] ? (level == 0 ? RowEdgeLow : RowEdgeHigh)
                                 : (level == 0 ? ColumnEdgeLow : ColumnEdgeHigh);
        p.level = level;
        p.edge = e;
        p.exit = exit;
    };
    for (int e = 0; e < 4; ++e) {
        const int t0 = t[e];
        const int t1 = t[(e + 1) % 4];
        if (t0 == 1) {
            BorderPoint &p = pts[m++];
            p.node = cornerNodes[e];
        }
        if (t0 == t1)
            continue;
        if (t0 == 0 && t1 == 1) {
            crossing(e, 0, false);
        } else if (t0 == 1 && t1 == 0) {
            crossing(e, 0, true);
        } else if (t0 == 1 && t1 == 2) {
            crossing(e, 1, true);
        } else if (t0 == 2 && t1 == 1) {
            crossing(e, 1, false);
        } else if (t0 == 0 && t1 == 2) {
            crossing(e, 0, false);
            crossing(e, 1, true);
        } else {   // 2 to 0
            crossing(e, 1, false);
            crossing(e, 0, true);
        }
    }

    // Join each exit to the entry of the same level where the border comes
    // back into the band; a level with four crossings is a saddle, decided
    // by the cell's mean.
    const double mean = 0.25 * (m_z[r + c * m_nrow] + m_z[r + (c + 1) * m_nrow]
                                + m_z[r + 1 + (c + 1) * m_nrow] + m_z[r + 1 + c * m_nrow]);
    for (int level = 0; level < 2; ++level) {
        int idx[4];
        int count = 0;
        for (int i = 0; i < m; ++i) {
            if (pts[i].level == level && count < 4)
                idx[count++] = i;
        }
        if (count == 2) {
            const int ex = pts[idx[0]].exit ? idx[0] : idx[1];
            const int en = ex == idx[0] ? idx[1] : idx[0];
            pts[ex].joined = en;
        } else if (count == 4) {
            // Corners cut off alone: the ones on the far side of the centre.
            bool cut[4];
            for (int k = 0; k < 4; ++k) {
                if (level == 0)
                    cut[k] = mean >= m_low ? t[k] == 0 : t[k] >= 1;
                else
                    cut[k] = mean >= m_high ? t[k] <= 1 : t[k] == 2;
            }
            for (int k = 0; k < 4; ++k) {
                if (!cut[k])
                    continue;
                const int inEdge = (k + 3) % 4;
                const int outEdge = k;
                int in = -1;
                int out = -1;
                for (int j = 0; j < 4; ++j) {
                    if (pts[idx[j]].edge == inEdge)
                        in = idx[j];
                    else if (pts[idx[j]].edge == outEdge)
                        out = idx[j];
                }
                if (in < 0 || out < 0)
                    continue;
                if (pts[in].exit)
                    pts[in].joined = out;
                else
                    pts[out].joined = in;
            }
        }
    }

    // Read the polygons off: follow the border while it stays in the band,
    // jump at each exit.
    bool used[8] = {false, false, false, false, false, false, false, false};
    for (int s = 0; s < m; ++s) {
        if (used[s])
            continue;
        m_polyCount = 0;
        int cur = s;
        for (int steps = 0; steps < m; ++steps) {
            used[cur] = true;
            m_poly[m_polyCount++] = pts[cur].node;
            cur = pts[cur].exit ? pts[cur].joined : (cur + 1) % m;
            if (cur < 0 || cur == s || used[cur])
                break;
        }
        if (m_polyCount >= 3)
            merge(m_poly, m_polyCount);
    }
}

void IsoBander::merge(const GridNode *poly, int n)
{
    bool remove[8] = {false, false, false, false, false, false, false, false};
    for (int i = 0; i < n; ++i) {
        NodeLinks &l = m_polyLinks[i];
        l = NodeLinks();
        l.prev = poly[(i + n - 1) % n];
        l.next = poly[(i + 1) % n];

        const auto it = m_map.constFind(key(poly[i]));
        if (it == m_map.constEnd())
            continue;
        const NodeLinks &e = it->links;
        if (!e.hasSecond) {
            const bool a = l.next == e.prev;
            const bool b = l.prev == e.next;
            if (a && b) {
                remove[i] = true;
            } else if (a) {
                l.next = e.next;
            } else if (b) {
                l.prev = e.prev;
            } else {
                l.prev2 = e.prev;
                l.next2 = e.next;
                l.hasSecond = true;
            }
            continue;
        }

        const int score = 8 * (l.next == e.prev2) + 4 * (l.prev == e.next2)
                          + 2 * (l.next == e.prev) + (l.prev == e.next);
        switch (score) {
        case 9:
            l.next = e.next2;
            l.prev = e.prev;
            break;
        case 6:
            l.next = e.next;
            l.prev = e.prev2;
            break;
        case 8:
            l.prev2 = l.prev;
            l.next2 = e.next2;
            l.prev = e.prev;
            l.next = e.next;
            l.hasSecond = true;
            break;
        case 4:
            l.prev2 = e.prev2;
            l.next2 = l.next;
            l.prev = e.prev;
            l.next = e.next;
            l.hasSecond = true;
            break;
        case 2:
            l.next = e.next;
            l.prev2 = e.prev2;
            l.next2 = e.next2;
            l.hasSecond = true;
            break;
        case 1:
            l.prev = e.prev;
            l.prev2 = e.prev2;
            l.next2 = e.next2;
            l.hasSecond = true;
            break;
        default:
            qDebug("undefined merging configuration: %i\n", score);
            break;
        }
    }

    for (int i = 0; i < n; ++i) {
        if (remove[i])
            m_map.remove(key(poly[i]));
        else
            m_map.insert(key(poly[i]), Entry{poly[i], m_polyLinks[i]});
    }
}

void IsoBander::traceRings(QVector<double> *xOut, QVector<double> *yOut, QVector<int> *idOut)
{
    if (m_interrupted || !xOut || !yOut || !idOut)
        return;

    int id = 0;
    for (auto it = m_map.begin(); it != m_map.end(); ++it) {
        const NodeLinks &first = it->links;
        if (first.firstCollected && (!first.hasSecond || first.secondCollected))
            continue;

        ++id;
        const GridNode start = it->node;
        GridNode prev = first.hasSecond && !first.secondCollected ? first.prev2 : first.prev;
        GridNode cur = start;
        int count = 0;
        do {
            const auto here = m_map.find(key(cur));
            // A link to a point that is not in the map ends the ring.
            if (here == m_map.end())
                break;
            const QPointF p = crossingPoint(cur);
            xOut->append(p.x());
            yOut->append(p.y());
            idOut->append(id);
            ++count;

            NodeLinks &l = here->links;
            GridNode next;
            if (l.hasSecond && l.prev2 == prev) {
                l.secondCollected = true;
                next = l.next2;
            } else {
                l.firstCollected = true;
                next = l.next;
            }
            prev = cur;
            cur = next;
            if (count % kRingLimit == 0) {
                m_interrupted = true;
                return;
            }
        } while (cur != start);
    }
}
