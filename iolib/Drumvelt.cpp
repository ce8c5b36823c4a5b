#include "iolib/Drumvelt.h"

#include <QFile>
#include <QRegExp>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <type_traits>

// The program embeds this class by value: its layout must stay exactly five
// QVector<double> and no vtable.
static_assert(sizeof(Drumvelt) == 5 * sizeof(QVector<double>),
              "Drumvelt must hold exactly five QVector<double>");
static_assert(alignof(Drumvelt) == alignof(QVector<double>), "Drumvelt alignment changed");
static_assert(!std::is_polymorphic<Drumvelt>::value, "Drumvelt must have no virtual functions");
static_assert(std::is_standard_layout<Drumvelt>::value, "Drumvelt must keep a standard layout");

namespace {

// Gate centres, 10^(k/n) rounded to 7 significant digits (6 for the
// 30-per-decade runs).
// 66 entries
const double kTimeScaleMixed[] = {
    10, 12.58925, 15.84893, 19.95262, 25.11886, 31.62278, 39.81072, 50.11872, 63.09573,
    82.54042, 90.85176, 100, 112.8838, 127.4275, 143.845, 162.3777, 183.2981, 206.9138,
    233.5721, 263.6651, 297.6351, 335.9818, 379.269, 428.1332, 483.293, 545.5595,
    615.8482, 695.1928, 784.76, 885.8668, 1000, 1165.914, 1359.356, 1584.893, 1847.85,
    2154.435, 2511.886, 2928.645, 3414.549, 3981.072, 4641.589, 5411.695, 6309.573,
    7356.423, 8576.959, 10000, 12589.25, 15848.93, 19952.62, 25118.86, 31622.78,
    39810.72, 50118.72, 63095.73, 79432.82, 100000, 125892.5, 158489.3, 199526.2,
    251188.6, 316227.8, 398107.2, 501187.2, 630957.3, 794328.2, 1000000,
};

// 117 entries
const double kTimeScaleQELVA18[] = {
    10, 12.58925, 15.84893, 19.95262, 25.11886, 31.62278, 39.81072, 50.11872, 63.09573,
    82.54042, 90.85176, 100, 112.8838, 127.4275, 143.845, 162.3777, 183.2981, 206.9138,
    233.5721, 263.6651, 297.6351, 335.9818, 379.269, 428.1332, 483.293, 545.5595,
    615.8482, 695.1928, 784.76, 885.8668, 1000, 1122.018, 1258.925, 1412.538, 1584.893,
    1778.279, 1995.262, 2238.721, 2511.886, 2818.383, 3162.278, 3548.134, 3981.072,
    4466.836, 5011.872, 5623.413, 6309.573, 7079.458, 7943.282, 8912.509, 10000,
    10797.8, 11659.1, 12589.3, 13593.6, 14678, 15848.9, 17113.3, 18478.5, 19952.6,
    21544.3, 23263.1, 25118.9, 27122.7, 29286.4, 31622.8, 34145.5, 36869.5, 39810.7,
    42986.6, 46415.9, 50118.7, 54117, 58434.1, 63095.7, 68129.2, 73564.2, 79432.8,
    85769.6, 92611.9, 100000, 107978, 116591, 125893, 135936, 146780, 158489, 171133,
    184785, 199526, 215443, 232631, 251189, 271227, 292864, 316228, 341455, 368695,
    398107, 429866, 464159, 501187, 541170, 584341, 630957, 681292, 735642, 794328,
    857696, 926119, 1000000, 1258925, 1584893, 1995262, 2511886, 3162278, 3981072,
};

// 51 entries
const double kTimeScale10[] = {
    10, 12.58925, 15.84893, 19.95262, 25.11886, 31.62278, 39.81072, 50.11872, 63.09573,
    79.43282, 100, 125.8925, 158.4893, 199.5262, 251.1886, 316.2278, 398.1072, 501.1872,
    630.9573, 794.3282, 1000, 1258.925, 1584.893, 1995.262, 2511.886, 3162.278,
    3981.072, 5011.872, 6309.573, 7943.282, 10000, 12589.25, 15848.93, 19952.62,
    25118.86, 31622.78, 39810.72, 50118.72, 63095.73, 79432.82, 100000, 125892.5,
    158489.3, 199526.2, 251188.6, 316227.8, 398107.2, 501187.2, 630957.3, 794328.2,
    1000000,
};

// 101 entries
const double kTimeScale20[] = {
    10, 11.22018, 12.58925, 14.12538, 15.84893, 17.78279, 19.95262, 22.38721, 25.11886,
    28.18383, 31.62278, 35.48134, 39.81072, 44.66836, 50.11872, 56.23413, 63.09573,
    70.79458, 79.43282, 89.12509, 100, 112.2018, 125.8925, 141.2538, 158.4893, 177.8279,
    199.5262, 223.8721, 251.1886, 281.8383, 316.2278, 354.8134, 398.1072, 446.6836,
    501.1872, 562.3413, 630.9573, 707.9458, 794.3282, 891.2509, 1000, 1122.018,
    1258.925, 1412.538, 1584.893, 1778.279, 1995.262, 2238.721, 2511.886, 2818.383,
    3162.278, 3548.134, 3981.072, 4466.836, 5011.872, 5623.413, 6309.573, 7079.458,
    7943.282, 8912.509, 10000, 11220.18, 12589.25, 14125.38, 15848.93, 17782.79,
    19952.62, 22387.21, 25118.86, 28183.83, 31622.78, 35481.34, 39810.72, 44668.36,
    50118.72, 56234.13, 63095.73, 70794.58, 79432.82, 89125.09, 100000, 112201.8,
    125892.5, 141253.8, 158489.3, 177827.9, 199526.2, 223872.1, 251188.6, 281838.3,
    316227.8, 354813.4, 398107.2, 446683.6, 501187.2, 562341.3, 630957.3, 707945.8,
    794328.2, 891250.9, 1000000,
};

// 151 entries
const double kTimeScale30[] = {
    10, 10.7978, 11.6591, 12.5893, 13.5936, 14.678, 15.8489, 17.1133, 18.4785, 19.9526,
    21.5443, 23.2631, 25.1189, 27.1227, 29.2864, 31.6228, 34.1455, 36.8695, 39.8107,
    42.9866, 46.4159, 50.1187, 54.117, 58.4341, 63.0957, 68.1292, 73.5642, 79.4328,
    85.7696, 92.6119, 100, 107.978, 116.591, 125.893, 135.936, 146.78, 158.489, 171.133,
    184.785, 199.526, 215.443, 232.631, 251.189, 271.227, 292.864, 316.228, 341.455,
    368.695, 398.107, 429.866, 464.159, 501.187, 541.17, 584.341, 630.957, 681.292,
    735.642, 794.328, 857.696, 926.119, 1000, 1079.78, 1165.91, 1258.93, 1359.36,
    1467.8, 1584.89, 1711.33, 1847.85, 1995.26, 2154.43, 2326.31, 2511.89, 2712.27,
    2928.64, 3162.28, 3414.55, 3686.95, 3981.07, 4298.66, 4641.59, 5011.87, 5411.7,
    5843.41, 6309.57, 6812.92, 7356.42, 7943.28, 8576.96, 9261.19, 10000, 10797.8,
    11659.1, 12589.3, 13593.6, 14678, 15848.9, 17113.3, 18478.5, 19952.6, 21544.3,
    23263.1, 25118.9, 27122.7, 29286.4, 31622.8, 34145.5, 36869.5, 39810.7, 42986.6,
    46415.9, 50118.7, 54117, 58434.1, 63095.7, 68129.2, 73564.2, 79432.8, 85769.6,
    92611.9, 100000, 107978, 116591, 125893, 135936, 146780, 158489, 171133, 184785,
    199526, 215443, 232631, 251189, 271227, 292864, 316228, 341455, 368695, 398107,
    429866, 464159, 501187, 541170, 584341, 630957, 681292, 735642, 794328, 857696,
    926119, 1000000,
};

template <std::size_t N>
void appendEntries(QVector<double> &table, const double (&entries)[N])
{
    table.reserve(int(N));
    for (double e : entries)
        table.append(e);
}

// The largest of the first count times, the first of equals winning. A NaN
// never becomes the maximum; NaN is returned only when no time is a number,
// and then no table entry is selected.
double largestTime(const QVector<double> &times, int count)
{
    double tmax = std::numeric_limits<double>::quiet_NaN();
    for (int k = 0; k < count; ++k) {
        const double t = times.at(k);
        if (std::isnan(tmax) || t > tmax)
            tmax = t;
    }
    return tmax;
}

enum class MiddleUpper { Inclusive, Exclusive };

// Averages the first count samples into the gates. Each sample finds its gate
// by binary search over the midpoints between neighbouring centres; every
// gate still sums its samples in index order, so the means equal those of a
// per-gate scan bit for bit.
void averageIntoGates(const QVector<double> &gates, MiddleUpper middleUpper, int count,
                      QVector<double> *times, QVector<double> *values)
{
    const int n = gates.size();
    QVector<double> sums(n, 0.0);
    QVector<int> counts(n, 0);

    QVector<double> bounds;
    bounds.reserve(n > 0 ? n - 1 : 0);
    for (int j = 0; j + 1 < n; ++j)
        bounds.append((gates.at(j + 1) + gates.at(j)) * 0.5);

    for (int k = 0; k < count && n > 0; ++k) {
        const double t = times->at(k);
        if (!(t >= 10.0))   // also drops NaN
            continue;
        const double v = values->at(k);
        // Gates below i end at or before t; a sample on a boundary lands in the later gate.
        const int i = int(std::upper_bound(bounds.cbegin(), bounds.cend(), t) - bounds.cbegin());
        // With inclusive upper bounds a sample on the upper boundary of a middle
        // gate counts there too (gate 0's upper bound is always exclusive).
        if (middleUpper == MiddleUpper::Inclusive && i >= 2 && t == bounds.at(i - 1)) {
            sums[i - 1] += v;
            ++counts[i - 1];
        }
        sums[i] += v;
        ++counts[i];
    }

    QVector<double> gateTimes;
    QVector<double> gateValues;
    for (int i = 0; i < n; ++i) {
        if (counts.at(i) == 0)
            continue;
        gateTimes.append(gates.at(i));
        gateValues.append(sums.at(i) / counts.at(i));
    }
    *values = gateValues;
    *times = gateTimes;
}

} // namespace

Drumvelt::Drumvelt()
{
    // Declaration order of the tables is part of the layout as well.
    static_assert(offsetof(Drumvelt, timeScaleMixed) == 0 * sizeof(QVector<double>), "layout");
    static_assert(offsetof(Drumvelt, timeScaleQELVA18) == 1 * sizeof(QVector<double>), "layout");
    static_assert(offsetof(Drumvelt, timeScale10) == 2 * sizeof(QVector<double>), "layout");
    static_assert(offsetof(Drumvelt, timeScale20) == 3 * sizeof(QVector<double>), "layout");
    static_assert(offsetof(Drumvelt, timeScale30) == 4 * sizeof(QVector<double>), "layout");

    appendEntries(timeScaleMixed, kTimeScaleMixed);
    appendEntries(timeScaleQELVA18, kTimeScaleQELVA18);
    appendEntries(timeScale10, kTimeScale10);
    appendEntries(timeScale20, kTimeScale20);
    appendEntries(timeScale30, kTimeScale30);
}

Drumvelt::Drumvelt(const Drumvelt &other) = default;
Drumvelt &Drumvelt::operator=(const Drumvelt &other) = default;
// QVector's move leaves the source empty, which is what callers may rely on.
Drumvelt::Drumvelt(Drumvelt &&other) noexcept = default;
Drumvelt &Drumvelt::operator=(Drumvelt &&other) noexcept = default;
Drumvelt::~Drumvelt() = default;

QVector<double> Drumvelt::getCurrentTimeScale(double min, double max, QVector<double> table)
{
    QVector<double> selected;
    for (double e : qAsConst(table)) {
        if (min <= e && e <= max)   // false for NaN
            selected.append(e);
    }
    return selected;
}

void Drumvelt::QVLOG10TimeWindow(QVector<double> *times, QVector<double> *values)
{
    if (!times || !values)
        return;
    const int count = qMin(times->size(), values->size());
    averageIntoGates(getCurrentTimeScale(10.0, largestTime(*times, count), timeScale30),
                     MiddleUpper::Inclusive, count, times, values);
}

void Drumvelt::QVLOG20TimeWindow(QVector<double> *times, QVector<double> *values)
{
    if (!times || !values)
        return;
    const int count = qMin(times->size(), values->size());
    averageIntoGates(getCurrentTimeScale(10.0, largestTime(*times, count), timeScale20),
                     MiddleUpper::Inclusive, count, times, values);
}

// The 18-channel gates partition the time axis: a sample on a boundary
// belongs to the later gate only.
void Drumvelt::QELVA18TimeWindow(QVector<double> *times, QVector<double> *values)
{
    if (!times || !values)
        return;
    const int count = qMin(times->size(), values->size());
    averageIntoGates(getCurrentTimeScale(10.0, largestTime(*times, count), timeScaleQELVA18),
                     MiddleUpper::Exclusive, count, times, values);
}

QList<GPSCoordinate> Drumvelt::ReadGPSCoordinateFile(QString path)
{
    QList<GPSCoordinate> records;
    if (!QFile::exists(path))
        return records;
    QFile file(path);
    // Not in Text mode, which drops every CR: lines may end in LF, CRLF or,
    // from old Macs, CR alone. The stream detects and drops a byte-order mark.
    if (!file.open(QIODevice::ReadOnly))
        return records;

    QTextStream in(&file);
    const QStringList lines = in.readAll().split(QRegExp(QStringLiteral("\r\n|\r|\n")));

    const QRegExp separators(QStringLiteral("[,*;\t|\\s]"));
    for (int i = 1; i < lines.size(); ++i) {   // line 0: header, whatever it holds
        const QString& line = lines.at(i);
        if (line.isEmpty())
            continue;
        const QStringList parts = line.split(separators, Qt::SkipEmptyParts);
        if (parts.size() < 5)   // incomplete line: nothing to read from it
            continue;
        GPSCoordinate c;
        c.lineNo = float(parts.at(0).toDouble());
        c.pointNo = float(parts.at(1).toDouble());
        c.x = float(parts.at(2).toDouble());
        c.y = float(parts.at(3).toDouble());
        c.z = float(parts.at(4).toDouble());
        records.append(c);
    }
    file.close();
    return records;
}
