#ifndef HW_MODEL_DATA_CALC_3D_H
#define HW_MODEL_DATA_CALC_3D_H

// Resampling and lateral smoothing of three-dimensional inversion columns.
// Stateless: every method reads only its arguments. Needs Qt Core only.

#include <QList>
#include <QObject>
#include <QVector>

#include "iolib/GPSCoordinate.h"
#include "model/SharedTypes.h"

class Data_Calc_3D : public QObject
{
    Q_OBJECT

public:
    explicit Data_Calc_3D(QObject* parent = nullptr);

    // Elevations above 50000 mark a station without elevation and, like
    // non-finite ones, are passed over while any real elevation exists.
    // Without real elevations: the largest marker, or -100000.0 when empty.
    double maxZ(QVector<QVector<GPSCoordinate>> coordinates) const;
    // As maxZ; without real elevations 100000.0.
    double minZ(QVector<QVector<GPSCoordinate>> coordinates) const;

    // The column resampled onto the levels trunc(top), trunc(top) - step, ...
    // down to bottom: a level within 0.0001 of a cell takes that cell's
    // value, any other the inverse-square-distance mean of the cells.
    // Cells past the shorter of z and value, or with a non-finite elevation
    // or value, are ignored. Gives a record without levels (x, y and the
    // trailing fields kept) when step <= 0, top < bottom, an argument is not
    // finite, the level count exceeds maxLevels, or no usable cell is left.
    DataType_ThreeResultData depthLevelMeans(DataType_ThreeResultData column,
                                             double top, double bottom,
                                             double step) const;

    // Smooths every level but the first across columns with a raised-cosine
    // weight of radius 2 * (z[0] - z[k]) * factor, in place and in list
    // order, so later columns see the already smoothed earlier ones. Levels
    // are those of the first column that has any. A level whose radius is
    // not positive (factor <= 0) stays as it is; non-finite values neither
    // contribute nor get replaced; a column without a value at a level takes
    // no part there.
    QList<DataType_ThreeResultData> cosineWeights(QList<DataType_ThreeResultData> columns,
                                                  double factor) const;

    // Upper bound of depthLevelMeans' level count.
    static constexpr int maxLevels = 1000000;
};

#endif // HW_MODEL_DATA_CALC_3D_H
