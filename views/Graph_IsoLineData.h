#ifndef HW_VIEWS_GRAPH_ISOLINEDATA_H
#define HW_VIEWS_GRAPH_ISOLINEDATA_H

#include "model/SharedTypes.h"
#include "views/SectionInterpolator.h"

#include <QList>
#include <QObject>
#include <QVector>

#include <qwt_raster_data.h>

// Raster behind the section plot: the result columns of a line, answered at
// any (x, elevation) by the column interpolation rule.
class Graph_IsoLineData : public QObject, public QwtRasterData
{
    Q_OBJECT
public:
    Graph_IsoLineData();
    ~Graph_IsoLineData() override;

    void prepareColumns(QList<DataType_ResultData> &columns, QVector<TopoData> topography,
                        double depth);
    double value(double x, double y) const override;

    const QList<DataType_ResultData> &columns() const { return m_interp.columns(); }
    // False when no column survived (no intervals, value() gives 1e-18).
    bool hasData() const { return m_hasData; }
    // Smallest and largest vertical value over the surviving columns.
    double lowestLevel() const { return m_lowest; }
    double highestLevel() const { return m_highest; }

private:
    SectionInterpolator m_interp;
    double m_depth = 0.0;
    bool m_hasData = false;
    double m_lowest = 0.0;
    double m_highest = 0.0;
};

#endif
