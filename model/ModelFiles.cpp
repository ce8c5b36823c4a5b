#include "model/ModelFiles.h"

#include <QFile>
#include <QRegExp>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/SafeInterpolator.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// A result record reduced to its usable (finite) level/value pairs.
struct CleanRecord {
    double x = 0.0;
    QVector<double> levels;
    QVector<double> values;
};

CleanRecord cleanRecord(const DataType_ResultData &r)
{
    CleanRecord c;
    c.x = r.x;
    const int n = std::min(r.depth.size(), r.value.size());
    c.levels.reserve(n);
    c.values.reserve(n);
    for (int i = 0; i < n; ++i) {
        if (std::isfinite(r.depth[i]) && std::isfinite(r.value[i])) {
            c.levels.append(r.depth[i]);
            c.values.append(r.value[i]);
        }
    }
    return c;
}

double largest(const QVector<double> &v)
{
    return *std::max_element(v.cbegin(), v.cend());
}

// Appends levels while guarding against inputs that would never finish:
// every attempted level counts, whether kept or not.
class LevelSink
{
public:
    bool add(double level)
    {
        if (++m_attempts > ModelFiles::kMaxLevels) {
            m_overflow = true;
            return false;
        }
        // A ladder is strictly descending; a level equal to or above the
        // previous one would only repeat a row.
        if (m_levels.isEmpty() || level < m_levels.last())
            m_levels.append(level);
        return true;
    }
    bool overflow() const { return m_overflow; }
    const QVector<double> &levels() const { return m_levels; }

private:
    QVector<double> m_levels;
    int m_attempts = 0;
    bool m_overflow = false;
};

// Emits start, start - step, ... while the level satisfies keep().
template <typename Keep>
bool emitRun(LevelSink &sink, double start, double step, Keep keep)
{
    for (long long k = 0;; ++k) {
        const double level = start - double(k) * step;
        if (!keep(level))
            return true;
        if (!sink.add(level))
            return false;
    }
}

// The whole-metre ladder of a profile column, top first: steps of 1 near the
// top, widening to 2, 3, 5 and 10 metres further down. Empty when the range
// would need more than kMaxLevels levels.
QVector<double> profileLadder(double top, double bottom)
{
    const double F = std::floor(top);
    const double T = std::trunc(top);
    const double B = bottom;
    LevelSink sink;

    if (B > top - 10.0) {
        emitRun(sink, F, 1.0, [B](double l) { return l >= B; });
        return sink.overflow() ? QVector<double>() : sink.levels();
    }

    emitRun(sink, F, 1.0, [top](double l) { return l > top - 11.0; });
    if (B > T - 20.0) {
        emitRun(sink, T - 11.0, 2.0, [B](double l) { return l >= B; });
    } else {
        emitRun(sink, T - 12.0, 2.0, [T](double l) { return l >= T - 20.0; });
        if (B > T - 50.0) {
            emitRun(sink, T - 23.0, 3.0, [B](double l) { return l >= B; });
        } else {
            emitRun(sink, T - 23.0, 3.0, [T](double l) { return l >= T - 50.0; });
            if (B > T - 100.0) {
                emitRun(sink, T - 55.0, 5.0, [B](double l) { return l >= B; });
            } else {
                emitRun(sink, T - 55.0, 5.0, [T](double l) { return l >= T - 100.0; });
                emitRun(sink, T - 110.0, 10.0, [B](double l) { return l >= B; });
            }
        }
    }
    return sink.overflow() ? QVector<double>() : sink.levels();
}

bool gridSettingsUsable(int pattern, double value)
{
    if (!std::isfinite(value))
        return false;
    if (pattern == GRID_FIXED)
        return value > 0.0;
    if (pattern == GRID_PROGRESSIVE)
        return value >= 1.0;
    return false;
}

// The common level list from top down to cut, cut always last. Empty when
// the steps would need more than kMaxLevels levels.
QVector<double> stationLevels(double top, double cut, int pattern, double value)
{
    LevelSink sink;
    if (pattern == GRID_FIXED) {
        emitRun(sink, top, value, [cut](double l) { return l >= cut; });
    } else {
        double z = top;
        for (int k = 0; z >= cut; ++k) {
            if (!sink.add(z))
                break;
            z -= std::min(std::pow(value, k), 5.0);
        }
    }
    if (sink.overflow())
        return {};
    QVector<double> levels = sink.levels();
    if (levels.isEmpty() || levels.last() != cut)
        levels.append(cut);
    return levels;
}

// Station columns plus, for each output record, the cleaned input record it
// came from (records without a usable pair are left out).
QList<DataType_ResultData> stationColumns(const QList<DataType_ResultData> &results, double depth,
                                          int pattern, double value,
                                          QVector<CleanRecord> *sources)
{
    if (!std::isfinite(depth) || depth < 0.0 || !gridSettingsUsable(pattern, value))
        return {};

    QVector<CleanRecord> records;
    records.reserve(results.size());
    for (const DataType_ResultData &r : results) {
        CleanRecord c = cleanRecord(r);
        if (!c.levels.isEmpty())
            records.append(c);
    }
    if (records.isEmpty())
        return {};

    double highestTop = -std::numeric_limits<double>::infinity();
    double lowestTop = std::numeric_limits<double>::infinity();
    for (const CleanRecord &c : records) {
        const double t = largest(c.levels);
        highestTop = std::max(highestTop, t);
        lowestTop = std::min(lowestTop, t);
    }
    const double top = std::ceil(highestTop);
    const double cut = std::trunc(std::floor(lowestTop - depth) - depth / 10.0);
    const QVector<double> levels = stationLevels(top, cut, pattern, value);
    if (levels.isEmpty())
        return {};

    QList<DataType_ResultData> out;
    out.reserve(records.size());
    for (const CleanRecord &c : records) {
        const int n = c.levels.size();
        QVector<double> xs;
        QVector<double> ys;
        xs.reserve(n + 2);
        ys.reserve(n + 2);
        xs.append(top);
        ys.append(c.values.first());
        for (int j = 0; j < n; ++j) {
            if (c.levels[j] > cut) {
                xs.append(c.levels[j]);
                ys.append(c.values[j]);
            }
        }
        // The column's own value at the cut: anything taken from other
        // columns would show at the bottom of the section as if measured.
        // A record that ends above the cut keeps its deepest value.
        xs.append(cut);
        ys.append(SafeInterpolator(c.levels, c.values, SafeInterpolator::Linear).value(cut));
        if (xs[0] == xs[1])
            xs[1] = xs[0] - 0.01;

        const SafeInterpolator spline(xs, ys, SafeInterpolator::Linear);
        DataType_ResultData rec;
        rec.x = c.x;
        rec.depth = levels;
        rec.value = spline.values(levels);
        out.append(rec);
    }
    if (sources)
        *sources = records;
    return out;
}

// Rows = levels (top first), columns = records.
QVector<QVector<double>> toGrid(const QList<DataType_ResultData> &records)
{
    const int m = records.first().value.size();
    QVector<QVector<double>> grid(m, QVector<double>(records.size(), 0.0));
    for (int c = 0; c < records.size(); ++c) {
        const QVector<double> &v = records[c].value;
        for (int r = 0; r < m && r < v.size(); ++r)
            grid[r][c] = v[r];
    }
    return grid;
}

QVector<double> positions(const QList<DataType_ResultData> &records)
{
    QVector<double> p;
    p.reserve(records.size());
    for (const DataType_ResultData &r : records)
        p.append(r.x);
    return p;
}

bool isBlank(double v)
{
    return v <= ModelFiles::kNoValueLimit;
}

// The last row a column keeps: the first level at or below its floor (the
// ground less the inversion depth). The last level of a section lies below
// every floor.
int lastGroundRow(const QVector<double> &levels, double floor)
{
    for (int r = 0; r < levels.size(); ++r) {
        if (levels[r] <= floor)
            return r;
    }
    return levels.size() - 1;
}

// Ends a column at its floor: the rows below the last kept one are blank,
// and that row moves up onto the floor with the value there, linear from
// the row above (its own value when the row above is air).
void clipColumnBottom(DataType_ResultData &rec, int last, double floor)
{
    const int n = std::min(rec.depth.size(), rec.value.size());
    for (int r = last + 1; r < n; ++r)
        rec.value[r] = ModelFiles::kNoValue;
    if (last <= 0 || last >= n || !(rec.depth[last] < floor))
        return;
    if (isBlank(rec.value[last - 1])) {
        rec.depth[last] = floor;
        return;
    }
    const double d0 = rec.depth[last - 1];
    if (!(floor < d0)) {
        // A floor at the cell above (an inversion depth of 0) would repeat
        // its level.
        rec.value[last] = ModelFiles::kNoValue;
        return;
    }
    const double v0 = rec.value[last - 1];
    const double d1 = rec.depth[last];
    const double v1 = rec.value[last];
    rec.value[last] = v0 + (v1 - v0) * (d0 - floor) / (d0 - d1);
    rec.depth[last] = floor;
}

// Elevation of the ground along the line: linear between the topography
// points, their mean outside them. Invalid without a usable point.
SafeInterpolator groundLine(const QVector<TopoData> &topography)
{
    QVector<double> px;
    QVector<double> py;
    for (const TopoData &t : topography) {
        if (std::isfinite(t.position) && std::isfinite(t.elevation)) {
            px.append(t.position);
            py.append(t.elevation);
        }
    }
    SafeInterpolator line(px, py, SafeInterpolator::Linear);
    if (!py.isEmpty()) {
        double sum = 0.0;
        for (double e : py)
            sum += e;
        line.setOutsideValue(sum / py.size());
    }
    return line;
}

} // namespace

ModelFiles::ModelFiles(QObject *parent)
    : QObject(parent)
{
}

bool ModelFiles::readModelFile(const QString &path, LayerModeler &model)
{
    if (!QFile::exists(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;

    QTextStream in(&file);
    const QRegExp separators("[,*;:\\t|\\s]");

    // Each read fails when the file has ended or the line is short of the
    // token it is read for; the record is then left as it was.
    QStringList tokens;
    auto nextLine = [&](int needed) {
        if (in.atEnd())
            return false;
        tokens = in.readLine().split(separators, Qt::SkipEmptyParts);
        return tokens.size() > needed;
    };

    LayerModeler read;
    if (in.atEnd())
        return false;
    read.name = in.readLine();

    if (!nextLine(4))
        return false;
    read.x0 = tokens[1].toDouble();
    read.x1 = tokens[2].toDouble();
    read.z0 = tokens[3].toDouble();
    read.z1 = tokens[4].toDouble();

    if (!nextLine(3))
        return false;
    read.regionCount = tokens[3].toInt();

    for (int i = 0; i < read.regionCount; ++i) {
        ModelRegion region;
        if (!nextLine(1))
            return false;
        region.number = tokens[1].toInt();

        if (!nextLine(3))
            return false;
        region.colour.setRgb(tokens[1].toInt(), tokens[2].toInt(), tokens[3].toInt(), 255);

        if (!nextLine(3))
            return false;
        region.pointCount = tokens[3].toInt();
        for (int p = 0; p < region.pointCount; ++p) {
            if (!nextLine(3))
                return false;
            region.x.append(tokens[2].toDouble());
            region.z.append(tokens[3].toDouble());
        }
        read.regions.append(region);
    }
    file.close();

    model = read;
    return true;
}

float ModelFiles::maxValue(const QList<DataType_ResultData> &results)
{
    double m = -10000.0;
    for (const DataType_ResultData &r : results) {
        for (double v : r.value) {
            if (v > m)
                m = v;
        }
    }
    return float(m);
}

float ModelFiles::minValue(const QList<DataType_ResultData> &results)
{
    double m = 10000.0;
    for (const DataType_ResultData &r : results) {
        for (double v : r.value) {
            if (v < m)
                m = v;
        }
    }
    return float(m);
}

QList<DataType_ResultData> ModelFiles::buildStationColumns(const QList<DataType_ResultData> &results,
                                                           double depth,
                                                           double referenceResistivity,
                                                           int gridPattern, double gridValue)
{
    Q_UNUSED(referenceResistivity)
    return stationColumns(results, depth, gridPattern, gridValue, nullptr);
}

QList<DataType_ResultData> ModelFiles::buildSectionGrid(const QList<DataType_ResultData> &results,
                                                        double depth,
                                                        double referenceResistivity,
                                                        double smoothingFactor, int gridPattern,
                                                        double gridValue)
{
    Q_UNUSED(referenceResistivity)
    QVector<CleanRecord> sources;
    QList<DataType_ResultData> q = stationColumns(results, depth, gridPattern, gridValue, &sources);
    if (q.isEmpty())
        return q;

    // The cells above a station's ground and below its inversion depth are
    // blanked before the rows are smoothed: they hold no resistivity and
    // would carry the column's ends into the cells beside them.
    QVector<QVector<double>> grid = toGrid(q);
    const QVector<double> &levels = q.first().depth;
    QVector<int> lastRows(q.size());
    for (int c = 0; c < q.size(); ++c) {
        const double surface = largest(sources[c].levels);
        lastRows[c] = lastGroundRow(levels, surface - depth);
        for (int r = 0; r < grid.size(); ++r) {
            if (surface < levels[r] || r > lastRows[c])
                grid[r][c] = kNoValue;
        }
    }
    smoothSectionRows(grid, smoothingFactor, levels, positions(q));

    for (int c = 0; c < q.size(); ++c) {
        const double surface = largest(sources[c].levels);
        DataType_ResultData &rec = q[c];
        const int m = std::min(rec.depth.size(), grid.size());
        for (int r = 0; r < m; ++r) {
            if (surface < rec.depth[r]) {
                // A surface exactly on the next level keeps that level: moving
                // this one onto it would repeat a level.
                if (r + 1 < rec.depth.size() && surface <= rec.depth[r + 1]) {
                    rec.value[r] = kNoValue;
                } else {
                    // The last level above the ground moves onto it.
                    rec.depth[r] = surface;
                    rec.value[r] = sources[c].values.first();
                }
            } else {
                rec.value[r] = grid[r][c];
            }
        }
        clipColumnBottom(rec, lastRows[c], surface - depth);
    }
    return q;
}

DataType_ThreeResultData ModelFiles::resampleProfileColumn(const DataType_ThreeResultData &column,
                                                           const QVector<TopoData> &topography,
                                                           double depth)
{
    DataType_ThreeResultData out = column;
    out.z.clear();
    out.value.clear();
    if (!std::isfinite(depth) || depth < 0.0)
        return out;

    QVector<double> zs;
    QVector<double> vs;
    const int n = std::min(column.z.size(), column.value.size());
    for (int i = 0; i < n; ++i) {
        if (std::isfinite(column.z[i]) && std::isfinite(column.value[i])) {
            zs.append(column.z[i]);
            vs.append(column.value[i]);
        }
    }
    if (zs.isEmpty())
        return out;

    double top = 0.0;
    double bottom = -depth;
    bool anyGround = false;
    double highest = -std::numeric_limits<double>::infinity();
    double lowest = std::numeric_limits<double>::infinity();
    for (const TopoData &t : topography) {
        if (!std::isfinite(t.elevation))
            continue;
        anyGround = true;
        highest = std::max(highest, t.elevation);
        lowest = std::min(lowest, t.elevation);
    }
    if (anyGround) {
        top = highest;
        bottom = lowest - depth;
    }

    const double zmin = *std::min_element(zs.cbegin(), zs.cend());
    const double zmax = largest(zs);
    if (top > zmax) {
        // Up to the line's top the column keeps its shallowest value: its
        // smallest one would pull the cells just below its ground toward it.
        const auto shallowest = std::max_element(zs.cbegin(), zs.cend()) - zs.cbegin();
        const double v = vs[int(shallowest)];
        zs.prepend(top);
        vs.prepend(v);
    }
    if (zmin > bottom) {
        double sum = 0.0;
        for (double v : vs)
            sum += v;
        zs.append(bottom);
        vs.append(sum / vs.size());
    }

    const QVector<double> ladder = profileLadder(top, bottom);
    if (ladder.isEmpty())
        return out;
    // Levels of the first block may lie below the data; those take the
    // nearest end value.
    const SafeInterpolator spline(zs, vs, SafeInterpolator::Steffen);
    out.z = ladder;
    out.value = spline.values(ladder);
    return out;
}

QList<DataType_ResultData> ModelFiles::buildSectionGrid2(
    const QList<DataType_ThreeResultData> &columns, double smoothingFactor,
    const QVector<TopoData> &topography, double depth)
{
    QList<DataType_ResultData> out;
    for (const DataType_ThreeResultData &column : columns) {
        const DataType_ThreeResultData c = resampleProfileColumn(column, topography, depth);
        if (c.value.isEmpty())
            continue;
        DataType_ResultData rec;
        rec.x = c.station;
        rec.depth = c.z;
        rec.value = c.value;
        out.append(rec);
    }
    if (out.isEmpty())
        return out;

    // The ladder starts at the highest ground of the line: above a lower
    // station it is air, which has no resistivity; below the station's
    // ground less the depth nothing was inverted. Both are blanked before
    // the rows are smoothed, so that they take no part in it.
    QVector<QVector<double>> grid = toGrid(out);
    const SafeInterpolator ground = groundLine(topography);
    QVector<int> lastRows(out.size());
    QVector<double> floors(out.size());
    for (int c = 0; c < out.size(); ++c) {
        const double surface = ground.isValid() ? ground.value(out[c].x)
                                                : std::numeric_limits<double>::infinity();
        floors[c] = ground.isValid() ? surface - depth : -std::numeric_limits<double>::infinity();
        const QVector<double> &levels = out[c].depth;
        lastRows[c] = lastGroundRow(levels, floors[c]);
        for (int r = 0; r < grid.size() && r < levels.size(); ++r) {
            if (levels[r] > surface || r > lastRows[c])
                grid[r][c] = kNoValue;
        }
    }
    smoothSectionRows(grid, smoothingFactor, out.first().depth, positions(out));
    for (int c = 0; c < out.size(); ++c) {
        QVector<double> &v = out[c].value;
        for (int r = 0; r < grid.size() && r < v.size(); ++r)
            v[r] = grid[r][c];
        clipColumnBottom(out[c], lastRows[c], floors[c]);
    }
    return out;
}

void ModelFiles::smoothSectionRows(QVector<QVector<double>> &grid, double smoothingFactor,
                                   const QVector<double> &rowLevels,
                                   const QVector<double> &columnPositions)
{
    const int rows = std::min(grid.size(), rowLevels.size());
    if (rows == 0)
        return;
    const double topLevel = *std::max_element(rowLevels.cbegin(), rowLevels.cbegin() + rows);
    const double f = smoothingFactor;

    for (int i = 1; i < rows; ++i) {
        double radius = 2.0 * f * (topLevel - rowLevels[i]);
        if (radius >= 300.0)
            radius = f <= 0.3 ? 300.0 : (radius - 300.0) * f + 300.0;
        // A window without width has no defined weights.
        if (!(radius > 0.0))
            continue;

        QVector<double> &row = grid[i];
        const int cols = std::min(row.size(), columnPositions.size());
        for (int j = 0; j < cols; ++j) {
            // Blank cells (air, or below the inversion depth) stay blank
            // and give nothing to their neighbours.
            if (isBlank(row[j]))
                continue;
            double weighted = 0.0;
            double weights = 0.0;
            for (int k = 0; k < cols; ++k) {
                if (isBlank(row[k]))
                    continue;
                const double d = std::fabs(columnPositions[j] - columnPositions[k]);
                if (d <= radius) {
                    const double w = 0.5 * std::cos(kPi * d / radius) + 0.5;
                    weighted += w * row[k];
                    weights += w;
                }
            }
            // Cells to the left already hold their smoothed values.
            if (weights > 0.0)
                row[j] = weighted / weights;
        }
    }
}

void ModelFiles::applyTopography(QList<DataType_ThreeResultData> &columns,
                                 const QVector<TopoData> &topography)
{
    const SafeInterpolator ground = groundLine(topography);
    // Without ground every column stands at elevation 0.
    if (!ground.isValid())
        return;
    for (DataType_ThreeResultData &column : columns) {
        const double e = ground.value(column.station);
        for (double &z : column.z)
            z += e;
    }
}
