#include "store/SampleRecord.h"

#include <cmath>

#include "model/Data_Calc.h"
#include "store/CurveBlob.h"

double SampleRecord::offTime(Data_Calc* calc) const
{
    if (!calc)
        return -1.0;
    return calc->findSettledIndex(offRate, soff);
}

double SampleRecord::sendCurrent() const
{
    const QVector<double> s = CurveBlob::fromBlob(send);
    const int n = s.size();
    const int q = n / 4;
    const int h = q / 2;
    if (h == 0)
        return 0.0;
    // Half the swing between samples half a record apart, over the second
    // eighth of the record. The divisor stays h although there may be
    // h + 1 terms: stored curves were normalised this way.
    double sum = 0.0;
    for (int i = h; i < q; ++i)
        sum += std::fabs(s.at(i) - s.at(i + n / 2)) * 0.5;
    return sum / static_cast<double>(h);
}

void SampleRecord::unpackRecv(QVector<double>& values, QVector<double>& times, bool normalise) const
{
    values.clear();
    times.clear();
    values = CurveBlob::fromBlob(recv);
    if (normalise) {
        const double c = sendCurrent();
        // Without a usable current the values stay as they are.
        if (std::isfinite(c) && c != 0.0) {
            for (double& v : values)
                v /= c;
        }
    }
    if (deviceType == 1) {
        times = CurveBlob::fromBlob(recvPos);
    } else {
        times.resize(values.size());
        for (int i = 0; i < times.size(); ++i)
            times[i] = 10.0 * (i + 1);
    }
}

SampleCurve SampleRecord::curve(bool normalise) const
{
    SampleCurve c;
    c.type = type;
    c.sendRate = sendRate;
    c.recvRate = recvRate;
    c.startTime = startTime;
    unpackRecv(c.values, c.times, normalise);
    return c;
}
