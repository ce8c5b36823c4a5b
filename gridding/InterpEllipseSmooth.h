#ifndef HW_INTERPELLIPSESMOOTH_H
#define HW_INTERPELLIPSESMOOTH_H

#include "model/SharedTypes.h"

#include <QList>
#include <QObject>
#include <QVector>

class KdQueryResult;
class KdTree;

// Smooths result columns with a rotated ellipse: every value becomes the
// inverse-distance-squared mean of the unsmoothed values inside the ellipse
// (semi-axes radiusA along x and radiusB along depth before the rotation by
// angle, in radians) centred on it. All the work happens in the
// constructor; read the result with columns().
class InterpEllipseSmooth : public QObject
{
    Q_OBJECT

public:
    InterpEllipseSmooth(QList<DataType_ResultData> columns, int radius1, int radius2,
                        float angle, QObject *parent = nullptr);
    ~InterpEllipseSmooth() override;

    // The smoothed columns: the input's records, positions and depths in the
    // same order, only the values changed.
    const QList<DataType_ResultData> &columns() const { return m_columns; }

private:
    bool buildTree();
    double smoothAt(double x, double y, double own, KdQueryResult *hits) const;

    QList<DataType_ResultData> m_columns;
    int m_radiusA;
    int m_radiusB;
    float m_angle;
    int m_searchRadius;
    KdTree *m_tree = nullptr;
    QVector<double> m_values;   // unsmoothed values, the tree's payloads
};

#endif
