#ifndef HW_STORE_SAMPLERECORD_H
#define HW_STORE_SAMPLERECORD_H

#include <QByteArray>
#include <QVector>

#include "store/SampleCurve.h"

class Data_Calc;

// What a station's curve is computed from, copied out of one sample: its
// scalars and its blobs (shared with the sample, not duplicated). Nothing
// here touches the entity or the database, so a record may be worked on by
// any thread.
struct SampleRecord {
    int type = 0;            // TYPE
    int deviceType = 0;      // DeviceType
    double sendRate = 0.0;   // SendFs
    double recvRate = 0.0;   // RecvFs
    double offRate = 0.0;    // SampleOffFs
    qlonglong startTime = 0; // StartTime
    QByteArray recv;         // DATA_RECV
    QByteArray recvPos;      // DATA_RECV_POS
    QByteArray send;         // DATA_SEND
    QByteArray soff;         // DATA_SOFF

    // Turn-off time found in soff at offRate; -1.0 without a Data_Calc.
    double offTime(Data_Calc* calc) const;
    // Send current amplitude from send; 0.0 (no current) for a record of
    // fewer than 8 values.
    double sendCurrent() const;
    // recv as values (divided by the send current when normalise is set and
    // the current is finite and non-zero) and their times: recvPos for
    // DeviceType 1, else 10, 20, 30, ...
    void unpackRecv(QVector<double>& values, QVector<double>& times, bool normalise) const;
    SampleCurve curve(bool normalise) const;
};

#endif // HW_STORE_SAMPLERECORD_H
