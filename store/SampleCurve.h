#ifndef HW_STORE_SAMPLECURVE_H
#define HW_STORE_SAMPLECURVE_H

#include <QList>
#include <QMetaType>
#include <QVector>

// One recorded sample's curve, built for every sample in use of a station.
struct SampleCurve {
    int type = 0;             // the sample's TYPE
    double sendRate = 0.0;    // the sample's SendFs
    double recvRate = 0.0;    // the sample's RecvFs
    QVector<double> times;    // receive times (microseconds)
    QVector<double> spare;    // unused, kept empty
    QVector<double> values;   // received values, normalised by the send current or not
    qlonglong startTime = 0;  // milliseconds since the epoch
};

Q_DECLARE_METATYPE(SampleCurve)

#endif
