#include "model/Data_Calc.h"

#include <QLineF>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

const double kPositiveFloor = 1e-18;

int truncToInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    const double t = std::trunc(v);
    if (t >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (t <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(t);
}

} // namespace

QList<DataType_ResultData> Data_Calc::quantileClasses(QList<DataType_ResultData> data)
{
    QList<DataType_ResultData> result = data;

    QVector<double> s;
    for (const DataType_ResultData& r : data) {
        for (double v : r.value) {
            if (v > kPositiveFloor)
                s.append(v);
        }
    }
    std::sort(s.begin(), s.end());
    const int k = s.size() / 9;
    // Fewer than nine usable values make no classes.
    if (k == 0)
        return result;

    double mean[9];
    for (int b = 0; b < 9; ++b) {
        double sum = 0.0;
        for (int i = b * k; i < (b + 1) * k; ++i)
            sum += s[i];
        mean[b] = sum / k;
    }

    for (DataType_ResultData& r : result) {
        for (double& v : r.value) {
            if (!(v > kPositiveFloor))
                continue;
            if (v < s[k]) {
                v = mean[0];
                continue;
            }
            bool done = false;
            for (int b = 1; b <= 7 && !done; ++b) {
                if (s[b * k] <= v && v < s[(b + 1) * k]) {
                    v = mean[b];
                    done = true;
                }
            }
            if (done)
                continue;
            // The last class stops one position short; the largest values
            // keep their own.
            if (s[8 * k] <= v && v < s[9 * k - 1])
                v = mean[8];
        }
    }
    return result;
}

QList<DataType_ResultData> Data_Calc::linearClasses(QList<DataType_ResultData> data)
{
    QList<DataType_ResultData> result = data;

    double sum = 0.0;
    int count = 0;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    for (const DataType_ResultData& r : data) {
        for (double v : r.value) {
            if (v > kPositiveFloor) {
                sum += v;
                ++count;
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
    }
    if (count == 0)
        return result;

    const double c = sum / count;
    const double a = (c - lo) / 3.5;
    const double d = (hi - c) / 3.5;

    for (DataType_ResultData& r : result) {
        for (double& v : r.value) {
            if (std::isnan(v) || v < lo)
                continue; // NaN is not a value to classify
            if (v < lo + a)
                v = lo + 0.5 * a;
            else if (v < lo + 2 * a)
                v = lo + 1.5 * a;
            else if (v < lo + 3.0 * a)
                v = lo + 2.5 * a;
            else if (hi - d < v && v <= hi)
                v = hi - 0.5 * d;
            else if (hi - 2 * d < v && v <= hi - d)
                v = hi - 1.5 * d;
            else if (hi - 3.0 * d < v && v <= hi - 2 * d)
                v = hi - 2.5 * d;
            else
                v = c;
        }
    }
    return result;
}

QVector<EditInfo> Data_Calc::editStatistics(QVector<QVector<double>> current,
                                            QVector<QVector<double>> raw,
                                            QVector<double> pointNumbers)
{
    QVector<EditInfo> out;
    out.reserve(pointNumbers.size());
    for (int i = 0; i < pointNumbers.size(); ++i) {
        EditInfo info;
        info.pointNumber = pointNumbers.at(i);
        // A station without both curves counts as unedited.
        if (i < current.size() && i < raw.size()) {
            const QVector<double>& cur = current.at(i);
            const QVector<double>& ref = raw.at(i);
            const int gates = std::min(cur.size(), ref.size());
            int changed = 0;
            double ratioSum = 0.0;
            int ratioCount = 0;
            for (int j = 0; j < gates; ++j) {
                const double a = cur.at(j);
                const double b = ref.at(j);
                if (qFuzzyCompare(a, b))
                    continue;
                ++changed;
                const double ratio = std::fabs((std::log10(a) - std::log10(b)) / std::log10(b));
                // Non-positive values or a raw value of 1 have no finite ratio.
                if (std::isfinite(ratio)) {
                    ratioSum += ratio;
                    ++ratioCount;
                }
            }
            if (gates > 0)
                info.editedPercent = static_cast<double>(changed) / gates * 100.0;
            if (ratioCount > 0)
                info.meanChangePercent = ratioSum / ratioCount * 100.0;
        }
        out.append(info);
    }
    return out;
}

LineInfo Data_Calc::reportValueMap(QVector<double> stations)
{
    LineInfo info;
    QVector<double> s;
    s.reserve(stations.size());
    // A station number that is not finite has no place on the line; two
    // infinities would also make a NaN difference, which cannot be a map key.
    for (double v : stations) {
        if (std::isfinite(v))
            s.append(v);
    }
    if (s.isEmpty())
        return info;

    std::sort(s.begin(), s.end());
    info.firstStation = s.first();
    info.lastStation = s.last();
    info.stationCount = s.size();

    std::map<double, int> counts;
    for (int i = 0; i + 1 < s.size(); ++i)
        ++counts[s[i + 1] - s[i]];

    double spacing = 0.0;
    int best = 0;
    for (const auto& kv : counts) {
        if (kv.second > best) {
            best = kv.second;
            spacing = kv.first;
        }
    }
    info.stationSpacing = truncToInt(spacing);
    return info;
}

QVector<QVector<double>> Data_Calc::transpose(QVector<QVector<double>> m)
{
    QVector<QVector<double>> t;
    if (m.isEmpty())
        return t;
    int width = m.at(0).size();
    for (const QVector<double>& row : m)
        width = std::min(width, row.size());

    t.resize(width);
    for (int j = 0; j < width; ++j) {
        t[j].resize(m.size());
        for (int i = 0; i < m.size(); ++i)
            t[j][i] = m.at(i).at(j);
    }
    return t;
}

bool Data_Calc::pointInArea(QPolygonF polygon, QPointF point)
{
    const int n = polygon.size();
    if (n == 0)
        return false;
    if (polygon.containsPoint(point, Qt::OddEvenFill))
        return true;

    const double px = point.x();
    const double py = point.y();
    for (int i = 0; i < n; ++i) {
        const QPointF p1 = polygon.at(i);
        const QPointF p2 = polygon.at((i + 1) % n);
        const double x1 = p1.x(), y1 = p1.y();
        const double x2 = p2.x(), y2 = p2.y();
        // A degenerate edge gives 0/0 and never matches.
        const double dist = std::fabs(py * (x1 - x2) + px * (y2 - y1) + (y1 * x2 - x1 * y2))
            / std::sqrt((x1 - x2) * (x1 - x2) + (y2 - y1) * (y2 - y1));
        if (dist <= 1e-12) {
            const double viaPoint = QLineF(point, p1).length() + QLineF(point, p2).length();
            if (qFuzzyCompare(viaPoint, QLineF(p1, p2).length()))
                return true;
        }
    }
    return false;
}

QPair<double, double> Data_Calc::decadeRange(const QVector<double>& values, double fallbackLow, double fallbackHigh)
{
    double smallest = std::numeric_limits<double>::infinity();
    double largest = 0.0;
    for (double v : values) {
        if (std::isfinite(v) && v > 0.0) {
            smallest = std::min(smallest, v);
            largest = std::max(largest, v);
        }
    }
    if (!(largest > 0.0))
        return qMakePair(fallbackLow, fallbackHigh);
    // A value a rounding error off a power of ten stays on its decade.
    const double slack = 1e-9;
    const double low = std::floor(std::log10(smallest) + slack);
    double high = std::ceil(std::log10(largest) - slack);
    if (high <= low)
        high = low + 1.0;
    return qMakePair(std::pow(10.0, low), std::pow(10.0, high));
}
