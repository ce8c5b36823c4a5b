#include "model/DataModel.h"

#include <cmath>

#include "model/Data_Calc_3D.h"
#include "model/Data_Mathematical_Calc.h"
#include "model/UserPrompt.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"

namespace {

// Elevations above this are the no-elevation marker (100000).
constexpr float kNoElevationAbove = 50000.0f;

bool anyRealElevation(const QVector<QVector<GPSCoordinate> >& coordinates)
{
    for (const QVector<GPSCoordinate>& line : coordinates) {
        for (const GPSCoordinate& c : line) {
            if (std::isfinite(c.z) && c.z <= kNoElevationAbove)
                return true;
        }
    }
    return false;
}

} // namespace

QList<DataType_ThreeResultData> DataModel::calcTransRelax3D(QList<double>& lineNumbers)
{
    lineNumbers.clear();
    const int lineCount = lines ? lines->size() : 0;
    if (lineCount < 2)
        UserPrompt::information(QStringLiteral("未形成面积性测量"));

    const double depth = invParam.inversionDepth;
    if (!std::isfinite(depth) || depth < 0.0)
        return {};

    QVector<QVector<QVector<double> > > allCurves;
    QVector<QVector<double> > allTimes;
    QVector<QVector<GPSCoordinate> > allCoordinates;
    for (int row = 0; row < lineCount; ++row) {
        Data_Line* line = lineAt(row);
        if (!line || line->USE() == 0)
            continue;
        line->loadReferences();
        HORM_Collection<Data_Point>* points = line->REF_Data_Point();
        const int count = points ? points->size() : 0;

        QVector<QVector<double> > curves;
        QVector<double> times;
        QVector<double> stations;
        QVector<GPSCoordinate> coordinates;
        QVector<double> currents;
        if (!readLineCurves(line, 0, count - 1, 1, curves, times, stations, coordinates, currents))
            return {};
        prepareLineInversion(currents, times, curves, stations, coordinates);
        if (stations.isEmpty())
            continue;

        allCurves.append(curves);
        allTimes.append(times);
        allCoordinates.append(coordinates);
        lineNumbers.append(line->NAME());
        emit signal_CentralWidgetChanged(false);
    }
    if (allCurves.isEmpty())
        return {};

    const QList<DataType_ThreeResultData> columns = mathCalc->threeDimensionalInversion(
        allCurves, allTimes, allCoordinates, invParam.referenceResistivity, invParam, 100.0);
    if (columns.isEmpty())
        return {};

    // Without any real elevation the library puts every column at 0, so
    // the levels start there rather than at the marker.
    Data_Calc_3D calc3D(nullptr);
    double top = 0.0;
    double bottom = 0.0;
    if (anyRealElevation(allCoordinates)) {
        top = calc3D.maxZ(allCoordinates);
        bottom = calc3D.minZ(allCoordinates);
    }
    bottom -= depth;

    // A column left without levels has nothing to show.
    QList<DataType_ThreeResultData> levelled;
    levelled.reserve(columns.size());
    for (const DataType_ThreeResultData& column : columns) {
        const DataType_ThreeResultData resampled = calc3D.depthLevelMeans(column, top, bottom, 5.0);
        if (!resampled.z.isEmpty())
            levelled.append(resampled);
    }
    if (levelled.isEmpty())
        return {};
    return calc3D.cosineWeights(levelled, invParam.inversionCoefficient);
}
