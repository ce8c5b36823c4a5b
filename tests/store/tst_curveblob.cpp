#include <QDataStream>
#include <QtTest>

#include <cmath>
#include <limits>

#include "store/CurveBlob.h"

class tst_CurveBlob : public QObject
{
    Q_OBJECT

private slots:
    void bigEndianDoubles();
    void roundTripIsExact_data();
    void roundTripIsExact();
    void decodesAsTheDefaultStream();
    void brokenTailIsDropped_data();
    void brokenTailIsDropped();
};

void tst_CurveBlob::bigEndianDoubles()
{
    QCOMPARE(CurveBlob::toBlob({1.0, -2.0}).toHex(), QByteArray("3ff0000000000000c000000000000000"));
    QCOMPARE(CurveBlob::toBlob({}), QByteArray());
    QCOMPARE(CurveBlob::fromBlob(QByteArray()), QVector<double>());
    QCOMPARE(CurveBlob::fromBlob(QByteArray::fromHex("4059000000000000")), QVector<double>{100.0});
}

void tst_CurveBlob::roundTripIsExact_data()
{
    QTest::addColumn<QVector<double>>("values");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("gates") << QVector<double>{10.0, 20.0, 4e6, 1e-18, 0.1};
    QTest::newRow("special") << QVector<double>{std::nan(""), inf, -inf, -0.0, std::numeric_limits<double>::denorm_min(),
                                                std::numeric_limits<double>::max()};
}

void tst_CurveBlob::roundTripIsExact()
{
    QFETCH(QVector<double>, values);
    const QByteArray blob = CurveBlob::toBlob(values);
    QCOMPARE(blob.size(), values.size() * 8);
    const QVector<double> back = CurveBlob::fromBlob(blob);
    QCOMPARE(back.size(), values.size());
    // Bit for bit, NaN and the sign of zero included.
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(back.constData()), back.size() * 8),
             QByteArray(reinterpret_cast<const char*>(values.constData()), values.size() * 8));
}

// Any eight bytes come back as the double a default QDataStream reads from
// them, NaN payloads included.
void tst_CurveBlob::decodesAsTheDefaultStream()
{
    QByteArray blob;
    quint64 state = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 4096; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        blob.append(reinterpret_cast<const char*>(&state), 8);
    }
    blob.append(QByteArray::fromHex("7FF0000000000001FFF8000000000002800000000000000000000000000000010000000000000000"));
    QVector<double> streamed;
    QDataStream in(blob);
    for (int i = 0; i < blob.size() / 8; ++i) {
        double v = 0.0;
        in >> v;
        streamed.append(v);
    }
    const QVector<double> decoded = CurveBlob::fromBlob(blob);
    QCOMPARE(decoded.size(), streamed.size());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(decoded.constData()), decoded.size() * 8),
             QByteArray(reinterpret_cast<const char*>(streamed.constData()), streamed.size() * 8));
}

void tst_CurveBlob::brokenTailIsDropped_data()
{
    QTest::addColumn<int>("extraBytes");
    QTest::newRow("1") << 1;
    QTest::newRow("4") << 4;
    QTest::newRow("7") << 7;
}

void tst_CurveBlob::brokenTailIsDropped()
{
    QFETCH(int, extraBytes);
    QByteArray blob = CurveBlob::toBlob({3.0, 5.0});
    blob.append(QByteArray(extraBytes, '\x40'));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^CurveBlob::fromBlob"));
    QCOMPARE(CurveBlob::fromBlob(blob), (QVector<double>{3.0, 5.0}));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^CurveBlob::fromBlob"));
    QVERIFY(CurveBlob::fromBlob(blob.left(extraBytes)).isEmpty());
}

QTEST_GUILESS_MAIN(tst_CurveBlob)
#include "tst_curveblob.moc"
