#ifndef HW_RECTINTERPOLATION2_H
#define HW_RECTINTERPOLATION2_H

#include "gridding/GridPoint.h"

#include <QList>
#include <QObject>

class KdQueryResult;
class KdTree;
struct GriddingJob;

// Grids scattered samples onto a regular rectangle by inverse-distance
// weighting over the samples within the search radius; a node with none
// takes the nearest sample's value. Runs in its own thread: the owner sets
// job, tree and method, moves the worker into a QThread whose started()
// runs startInterp(), and reads outputPoints() only after the thread has
// finished. The nodes are computed on all processor threads; each node's
// value is the same whichever thread computes it.
class RectInterpolation2 : public QObject
{
    Q_OBJECT

public:
    enum Method { InverseDistanceToPower = 2 };

    explicit RectInterpolation2(QObject *parent = nullptr);
    ~RectInterpolation2() override;

    // Neither is owned; both must outlive the run.
    void setJob(const GriddingJob *job) { m_job = job; }
    void setTree(const KdTree *tree) { m_tree = tree; }
    void setMethod(int method) { m_method = method; }
    int method() const { return m_method; }
    // Threads that compute the nodes; 0 (default) one per processor thread.
    void setThreadCount(int threads) { m_threadCount = threads; }

    // The grid in row order (row 0 at ymin, x rising within a row).
    const QList<GridPoint> &outputPoints() const { return m_output; }

signals:
    void interpfinished();
    // The share of nodes done, 100 * done / nodes truncated; sent from the
    // thread that runs startInterp() whenever it changes.
    void interpProcess(int percent);

public slots:
    // The whole run. A grid of no nodes gives an empty list; without a
    // tree, or with an empty one, every node is NaN.
    void startInterp();

private:
    double nodeValue(double x, double y, KdQueryResult *hits) const;

    const GriddingJob *m_job = nullptr;
    const KdTree *m_tree = nullptr;
    QList<GridPoint> m_output;
    int m_method = InverseDistanceToPower;
    int m_threadCount = 0;
};

#endif
