#include "store/CurveBlob.h"

#include <QDataStream>
#include <QDebug>

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
    QVector<double> values;
    const int whole = blob.size() / 8;
    if (blob.size() % 8 != 0) {
        qDebug() << "CurveBlob::fromBlob" << blob.size() << "bytes, dropping a trailing fragment of"
                 << blob.size() % 8;
    }
    values.reserve(whole);
    QDataStream in(blob);
    for (int i = 0; i < whole; ++i) {
        double v = 0.0;
        in >> v;
        values.append(v);
    }
    return values;
}
