#include "store/CurveBlob.h"

#include <QDataStream>
#include <QDebug>
#include <QtEndian>

#include <cstring>

QByteArray CurveBlob::toBlob(const QVector<double>& values)
{
    QByteArray blob;
    blob.reserve(values.size() * 8);
    QDataStream out(&blob, QIODevice::WriteOnly);
    for (double v : values)
        out << v;
    return blob;
}

QVector<double> CurveBlob::fromBlob(const QByteArray& blob)
{
    const int whole = blob.size() / 8;
    if (blob.size() % 8 != 0) {
        qDebug() << "CurveBlob::fromBlob" << blob.size() << "bytes, dropping a trailing fragment of"
                 << blob.size() % 8;
    }
    // The bytes a default QDataStream reads as a double, without its
    // per-value device reads: sample blobs hold millions of values.
    QVector<double> values(whole);
    const uchar* in = reinterpret_cast<const uchar*>(blob.constData());
    double* out = values.data();
    for (int i = 0; i < whole; ++i) {
        const quint64 bits = qFromBigEndian<quint64>(in + 8 * i);
        std::memcpy(out + i, &bits, sizeof bits);
    }
    return values;
}
