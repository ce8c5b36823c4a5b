#ifndef HW_INTERPOLATION_H
#define HW_INTERPOLATION_H

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QVector>

// One input point of the volume gridding.
struct VolumePoint {
    double line = 0.0;
    double station = 0.0;
    double z = 0.0;
    double x = 0.0;
    double y = 0.0;
    double value = 0.0;
};

// One node of the gridded volume.
struct ScatterPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double value = 0.0;
};

Q_DECLARE_METATYPE(VolumePoint)
Q_DECLARE_METATYPE(ScatterPoint)

// Grids scattered points into an nx x ny x nz volume (50 each by default)
// by inverse-distance-squared weighting over all points, accumulated in
// single precision. The owner sets data and size from its own thread, moves
// the worker into a QThread whose started() runs threadStarted(), and reads
// the results after interpfinished(). The nodes are computed on all
// processor threads; each node's value is the same whichever thread
// computes it.
class Interpolation : public QObject
{
    Q_OBJECT

public:
    explicit Interpolation(QObject *parent = nullptr);

    // Keeps the points whose x, y, z and value are all finite and computes
    // their extent and value statistics. With no such point the extents
    // stay empty (every maximum -1e20, every minimum 1e20) and mean and
    // standard deviation are 0.
    void setData(const QVector<VolumePoint> &points);
    void setGridSize(int nx, int ny, int nz);
    // Threads that compute the nodes; 0 (default) one per processor thread.
    void setThreadCount(int threads) { m_threadCount = threads; }

    float getMean() const { return m_mean; }
    float getMaxValue() const { return m_valueMax; }
    float getMinValue() const { return m_valueMin; }
    float getMaxX() const { return m_xmax; }
    float getMinX() const { return m_xmin; }
    float getMaxY() const { return m_ymax; }
    float getMinY() const { return m_ymin; }
    float getMaxZ() const { return m_zmax; }
    float getMinZ() const { return m_zmin; }
    float standardDeviation() const { return m_stdDev; }

    // One value and one node per grid node, z outermost, then y, x innermost.
    QList<double> resultValues() const { return m_resultValues; }
    QVector<ScatterPoint> resultNodes() const { return m_resultNodes; }

signals:
    // 100 * m / nodes (truncated) for the latest node m done, from 1 on,
    // sent from the thread that runs threadStarted() whenever it changes;
    // then 100 at the end.
    void MakeProgress(int percent);
    void InterpolationResult(QList<double> values);
    void interpfinished();

public slots:
    // The whole run. A node count below 1 on any axis, or no points, gives
    // empty results; an axis of one node has spacing 0 (the node sits at
    // the minimum).
    void threadStarted();

private:
    double nodeValue(double x, double y, double z) const;

    float m_xmax = -1e20f;
    float m_xmin = 1e20f;
    float m_ymax = -1e20f;
    float m_ymin = 1e20f;
    float m_zmax = -1e20f;
    float m_zmin = 1e20f;
    int m_nx = 50;
    int m_ny = 50;
    int m_nz = 50;
    int m_threadCount = 0;
    float m_valueMin = 1e20f;
    float m_valueMax = -1e20f;
    float m_mean = 0.0f;
    float m_stdDev = 0.0f;
    QVector<VolumePoint> m_points;
    QList<double> m_resultValues;
    QVector<ScatterPoint> m_resultNodes;
};

#endif
