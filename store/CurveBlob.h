#ifndef HW_STORE_CURVEBLOB_H
#define HW_STORE_CURVEBLOB_H

#include <QByteArray>
#include <QVector>

// Curve arrays as stored in BLOB columns: consecutive big-endian IEEE-754
// doubles, no header, no count.
class CurveBlob
{
public:
    static QByteArray toBlob(const QVector<double>& values);
    // Whole values only: a trailing fragment shorter than 8 bytes is dropped
    // (and logged). An empty blob gives an empty vector.
    static QVector<double> fromBlob(const QByteArray& blob);
};

#endif // HW_STORE_CURVEBLOB_H
