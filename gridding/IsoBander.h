#ifndef HW_ISOBANDER_H
#define HW_ISOBANDER_H

#include <QHash>
#include <QPointF>
#include <QVector>

// A point of a band outline, named by grid position: a grid point, or the
// crossing of a band limit on the row edge (r, c)-(r, c+1) or on the column
// edge (r, c)-(r+1, c).
struct GridNode {
    int r = -1;
    int c = -1;
    int kind = 0;

    bool operator==(const GridNode &o) const { return r == o.r && c == o.c && kind == o.kind; }
    bool operator!=(const GridNode &o) const { return !(*this == o); }
};

// The neighbours of an outline point; a second pair where two rings touch.
struct NodeLinks {
    GridNode prev;
    GridNode next;
    GridNode prev2;
    GridNode next2;
    bool hasSecond = false;
    bool firstCollected = false;
    bool secondCollected = false;
};

// Filled iso-band outlines of a regular grid: for the band [low, high) the
// regions whose interpolated value lies in the band, as closed rings (a
// region with holes gives one ring per outline). Marching squares with
// three classes; each cell's polygon is merged into a map of shared points
// as soon as it is made.
//
// The grid is not owned and must outlive both passes: x per column, y per
// row, values column-major (row r, column c at z[r + c * nrow]). Cells with a
// corner that is not finite are left out. A band with low >= high (or a NaN
// limit) is empty.
class IsoBander
{
public:
    enum Kind { OnGrid = 0, RowEdgeLow = 1, RowEdgeHigh = 2, ColumnEdgeLow = 3, ColumnEdgeHigh = 4 };

    IsoBander(const double *x, const double *y, const double *z, int nrow, int ncol, double low,
              double high);
    virtual ~IsoBander();
    IsoBander(const IsoBander &) = delete;
    IsoBander &operator=(const IsoBander &) = delete;

    // Builds the merged outlines of the band.
    virtual void computeBands();
    // Appends every ring's points (not repeating the first) with the ring's
    // id, 1 for the first ring. A ring that reaches 100000 points ends the
    // tracing for good (see interrupted()).
    virtual void traceRings(QVector<double> *xOut, QVector<double> *yOut, QVector<int> *idOut);

    // Coordinates of a node; (0, 0) for an unknown kind or a node off the grid.
    QPointF crossingPoint(const GridNode &node) const;
    bool interrupted() const { return m_interrupted; }

private:
    struct Entry {
        GridNode node;
        NodeLinks links;
    };

    static qint64 key(const GridNode &node);
    int classOf(double v) const;
    void addCell(int r, int c, const int t[4]);
    void merge(const GridNode *poly, int n);

    const double *m_x;
    const double *m_y;
    const double *m_z;
    int m_nrow;
    int m_ncol;
    double m_low;
    double m_high;

    GridNode m_poly[8];
    NodeLinks m_polyLinks[8];
    int m_polyCount = 0;

    QHash<qint64, Entry> m_map;
    bool m_interrupted = false;
};

#endif
