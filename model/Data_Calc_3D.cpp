#include "model/Data_Calc_3D.h"

#include <algorithm>
#include <cmath>

namespace {

// Elevations above this mark a station without elevation (100000.0).
constexpr float kNoElevationAbove = 50000.0f;

bool isRealElevation(float z)
{
    return std::isfinite(z) && z <= kNoElevationAbove;
}

// Extreme elevation by better(a, b) ("a beyond b"), starting from start.
// Real elevations win; only when there are none does the no-elevation
// marker count, so a project without any elevations keeps its levels there.
template<typename Better>
double extremeZ(const QVector<QVector<GPSCoordinate>>& coordinates, float start,
                Better better)
{
    float real = start;
    float any = start;
    bool haveReal = false;
    for (const QVector<GPSCoordinate>& line : coordinates) {
        for (const GPSCoordinate& c : line) {
            if (!std::isfinite(c.z))
                continue;
            if (better(c.z, any))
                any = c.z;
            if (isRealElevation(c.z)) {
                if (better(c.z, real))
                    real = c.z;
                haveReal = true;
            }
        }
    }
    return static_cast<double>(haveReal ? real : any);
}

} // namespace

Data_Calc_3D::Data_Calc_3D(QObject* parent)
    : QObject(parent)
{
}

double Data_Calc_3D::maxZ(QVector<QVector<GPSCoordinate>> coordinates) const
{
    return extremeZ(coordinates, -100000.0f, [](float a, float b) { return a > b; });
}

double Data_Calc_3D::minZ(QVector<QVector<GPSCoordinate>> coordinates) const
{
    return extremeZ(coordinates, 100000.0f, [](float a, float b) { return a < b; });
}

DataType_ThreeResultData Data_Calc_3D::depthLevelMeans(DataType_ThreeResultData column,
                                                       double top, double bottom,
                                                       double step) const
{
    DataType_ThreeResultData result;
    result.x = column.x;
    result.y = column.y;
    result.reserved = column.reserved;
    result.station = column.station;

    if (!std::isfinite(top) || !std::isfinite(bottom) || !std::isfinite(step)
        || step <= 0.0 || top < bottom)
        return result;
    const double count = (top - bottom) / step + 1.0;
    if (!(count < static_cast<double>(maxLevels) + 1.0))
        return result;
    const int n = static_cast<int>(count);

    // Cells that can take part: within both vectors, finite elevation and value.
    const int cells = std::min(column.z.size(), column.value.size());
    QVector<double> cellZ;
    QVector<double> cellValue;
    cellZ.reserve(cells);
    cellValue.reserve(cells);
    for (int i = 0; i < cells; ++i) {
        if (std::isfinite(column.z[i]) && std::isfinite(column.value[i])) {
            cellZ.append(column.z[i]);
            cellValue.append(column.value[i]);
        }
    }
    if (cellZ.isEmpty())
        return result;

    // The count uses the untruncated top, the levels start at its integer part.
    const double firstLevel = std::trunc(top);
    result.z.resize(n);
    result.value.resize(n);
    for (int k = 0; k < n; ++k) {
        const double level = firstLevel - k * step;
        result.z[k] = level;

        double weightSum = 0.0;
        double weightedSum = 0.0;
        bool matched = false;
        for (int i = 0; i < cellZ.size(); ++i) {
            const double d = std::fabs(cellZ[i] - level);
            if (d < 0.0001) {
                result.value[k] = cellValue[i];
                matched = true;
                break;
            }
            const double w = (1.0 / d) * (1.0 / d);
            weightSum += w;
            weightedSum += w * cellValue[i];
        }
        if (!matched)
            result.value[k] = weightedSum / weightSum;
    }
    return result;
}

QList<DataType_ThreeResultData> Data_Calc_3D::cosineWeights(QList<DataType_ThreeResultData> columns,
                                                            double factor) const
{
    if (!std::isfinite(factor) || factor <= 0.0)
        return columns;

    QVector<double> levels;
    for (const DataType_ThreeResultData& c : columns) {
        if (!c.z.isEmpty()) {
            levels = c.z;
            break;
        }
    }

    const double pi = std::acos(-1.0);
    for (int k = 1; k < levels.size(); ++k) {
        const double radius = 2.0 * (levels[0] - levels[k]) * factor;
        if (!std::isfinite(radius) || radius <= 0.0)
            continue;

        for (int i = 0; i < columns.size(); ++i) {
            const DataType_ThreeResultData& ci = columns.at(i);
            if (ci.value.size() <= k || !std::isfinite(ci.value.at(k)))
                continue;

            double weightSum = 0.0;
            double weightedSum = 0.0;
            for (int j = 0; j < columns.size(); ++j) {
                const DataType_ThreeResultData& cj = columns.at(j);
                if (cj.value.size() <= k || !std::isfinite(cj.value.at(k)))
                    continue;
                const double dx = ci.x - cj.x;
                const double dy = ci.y - cj.y;
                const double d = std::sqrt(dx * dx + dy * dy);
                if (!(d <= radius))
                    continue;
                const double w = 0.5 * std::cos(pi * d / radius) + 0.5;
                weightSum += w;
                weightedSum += w * cj.value.at(k);
            }
            // Written at once: later columns read the smoothed value.
            if (weightSum > 0.0)
                columns[i].value[k] = weightedSum / weightSum;
        }
    }
    return columns;
}
