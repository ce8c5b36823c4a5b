#include "model/Data_Calc.h"

#include <QDataStream>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Curve blob: consecutive big-endian doubles, no header. A tail shorter than
// one value is a damaged blob; it is dropped rather than read as 0.0.
QVector<double> decodeBlob(const QByteArray& blob)
{
    QVector<double> out;
    const int whole = blob.size() / 8;
    if (blob.size() % 8 != 0)
        qWarning("Data_Calc::findSettledIndex: curve blob of %d bytes, "
                 "dropping a broken tail of %d bytes",
                 blob.size(), blob.size() % 8);
    out.reserve(whole);
    QDataStream in(blob);
    for (int i = 0; i < whole; ++i) {
        double v = 0.0;
        in >> v;
        out.append(v);
    }
    return out;
}

// Quantises onto the 1.6 us grid; trunc() instead of an int cast keeps
// NaN and huge times from being undefined behaviour.
double quantise(double dt)
{
    return std::trunc(std::ceil(dt) / 1.6) * 1.6;
}

} // namespace

Data_Calc::Data_Calc(QObject* parent)
    : QObject(parent)
{
}

void Data_Calc::stackCurves(QList<SampleCurve> records, QVector<double>* values,
                            QVector<double>* times)
{
    if (records.isEmpty() || !values || !times)
        return;

    values->clear();
    times->clear();

    // Ragged records are stacked over the length they all share.
    const int n0 = records.at(0).values.size();
    int n = n0;
    for (const SampleCurve& r : records)
        n = std::min(n, r.values.size());

    *values = records.at(0).values.mid(0, n);
    *times = records.at(0).times;
    if (n < n0 && times->size() > n)
        times->resize(n);

    const int count = records.size();
    for (int r = 1; r < count; ++r) {
        const QVector<double>& v = records.at(r).values;
        for (int k = 0; k < n; ++k)
            (*values)[k] += v.at(k);
    }
    for (int k = 0; k < n; ++k)
        (*values)[k] /= count;
}

void Data_Calc::regroupRecords(QVector<double>* values, QVector<double>* times,
                               double t0)
{
    if (!values || !times)
        return;
    QVector<double> a = *values;
    shiftTimeZero(times, &a, t0);
    QVector<double> b = smoothCurveVariable(a);
    for (double& v : b)
        v = std::fabs(v / 11.0);
    *values = b;
}

void Data_Calc::shiftTimeZero(QVector<double>* times, QVector<double>* values,
                              double t0)
{
    if (!times || !values)
        return;
    const int n = times->size();
    if (n != values->size() || n == 0 || t0 == 0.0)
        return;
    if (!(times->at(0) < t0) || !(t0 < times->at(n - 1)))
        return;

    int k = -1;
    for (int i = 1; i < n; ++i) {
        if (times->at(i - 1) <= t0 && t0 < times->at(i)) {
            k = i;
            break;
        }
    }
    if (k < 0)
        return;

    times->remove(0, k);
    values->remove(0, k);

    for (double& t : *times)
        t = quantise(t - t0);

    if ((*times)[0] <= 1.6)
        (*times)[0] = 1.6;
    for (int i = 1; i < times->size(); ++i) {
        if ((*times)[i] - (*times)[i - 1] < 0.8)
            (*times)[i] = (*times)[i - 1] + 1.6;
    }
}

QVector<double> Data_Calc::smoothCurveVariable(QVector<double> curve)
{
    const QVector<double>& in = curve;
    QVector<double> out = curve;
    const int n = in.size();
    if (n < 11)
        return out;

    // Early gates get a light three-point mean, later ones five points.
    const int m = n >= 102 ? 100 : n - 2;
    for (int i = 11; i <= m; ++i)
        out[i] = (in[i - 1] + in[i] + in[i + 1]) / 3.0;
    for (int i = 101; i < n - 2; ++i)
        out[i] = (in[i - 2] + in[i - 1] + in[i] + in[i + 1] + in[i + 2]) / 5.0;
    out[n - 2] = (out[n - 2] + in[n - 3] + in[n - 1]) / 3.0;
    return out;
}

double Data_Calc::findSettledIndex(double rate, QByteArray record)
{
    // Without a usable rate there is no time to report.
    if (!(rate > 0.0) || !std::isfinite(rate))
        return 0.0;

    const QVector<double> x = decodeBlob(record);
    const int n = x.size();
    if (n < 5)
        return 0.0;

    // Running average over previous averages, not previous raw values.
    QVector<double> a(n, 0.0);
    for (int i = 0; i < n; ++i) {
        if (i < 4) {
            // Earlier averages first, then the new value: the order of the
            // additions decides borderline windows.
            double sum = i > 0 ? a[0] : x[0];
            for (int j = 1; j < i; ++j)
                sum += a[j];
            if (i > 0)
                sum += x[i];
            a[i] = sum / (i + 1);
        } else {
            a[i] = (a[i - 4] + a[i - 3] + a[i - 2] + a[i - 1] + x[i]) / 5.0;
        }
    }
    QVector<double> d(n, 0.0);
    for (int i = 1; i < n; ++i)
        d[i] = a[i] - a[i - 1];

    // A sample is quiet when it is a number, flat and low; NaN never is.
    auto quiet = [&](int j) {
        return std::isfinite(a[j]) && std::isfinite(d[j])
            && std::fabs(d[j]) <= 0.05 && a[j] <= 0.3;
    };

    for (int s = 0; s < n - 5; ++s) {
        bool ok = true;
        for (int j = s; j < s + 5; ++j) {
            if (!quiet(j)) {
                ok = false;
                break;
            }
        }
        if (ok) {
            double result = (s + 2) * 1000.0 * 1000.0 / rate;
            if (result > 1.1 && result < 30.0)
                result = 64.5;
            return result;
        }
    }
    return 0.0;
}

QList<DataType_ResultData> Data_Calc::smoothCurves(QVector<DataType_ResultData> sections)
{
    QList<DataType_ResultData> result;
    const int m = sections.size();
    result.reserve(m);
    for (const DataType_ResultData& s : sections)
        result.append(s);
    if (m == 0)
        return result;

    // Levels beyond what every station holds are left as they are.
    int levels = sections.at(0).depth.size();
    for (const DataType_ResultData& s : sections)
        levels = std::min(levels, s.value.size());

    auto clamp = [m](int i) { return std::max(0, std::min(m - 1, i)); };
    QVector<double> row(m);
    for (int k = 0; k < levels; ++k) {
        for (int i = 0; i < m; ++i)
            row[i] = sections.at(i).value.at(k);
        for (int i = 0; i < m; ++i) {
            const double sum = row[clamp(i - 2)] + row[clamp(i - 1)] + row[clamp(i)]
                + row[clamp(i + 1)] + row[clamp(i + 2)];
            result[i].value[k] = sum / 5.0;
        }
    }
    return result;
}

void Data_Calc::abnormalValueIndices(QVector<double> values, QVector<int>& indices)
{
    for (int i = 0; i < values.size(); ++i) {
        const int cls = std::fpclassify(values.at(i));
        if (cls == FP_NAN || cls == FP_INFINITE || cls == FP_SUBNORMAL) {
            if (!indices.contains(i))
                indices.append(i);
        }
    }
}

QList<GPSCoordinate> Data_Calc::groupByKey(QList<GPSCoordinate> coordinates)
{
    QVector<float> lines;
    for (const GPSCoordinate& c : coordinates) {
        if (!containsKey(lines, c.lineNo))
            lines.append(c.lineNo);
    }

    QList<GPSCoordinate> out;
    out.reserve(coordinates.size());
    for (float line : lines) {
        QVector<float> stations;
        for (const GPSCoordinate& c : coordinates) {
            const float diff = line - c.lineNo;
            if (!(std::fabs(diff) < 0.001))
                continue;
            if (containsKey(stations, c.pointNo))
                continue;
            stations.append(c.pointNo);
            out.append(c);
        }
    }
    return out;
}

bool Data_Calc::containsKey(QVector<float> keys, float key)
{
    for (float k : keys) {
        const float diff = k - key;
        if (std::fabs(diff) < 0.001)
            return true;
    }
    return false;
}
