#include "views/QLinearColorMap.h"
#include "views/QScaleDraw.h"

#include <QtTest>

#include <qwt_text.h>

#include <cmath>

using Ramp = QMap<float, QColor>;

// Linear colour map and scientific scale labels.
class TestColorMap : public QObject
{
    Q_OBJECT

private slots:
    void newMapIsWhiteToBlack();
    void rgb_data();
    void rgb();
    void setColorStopsExtendsToOne();
    void setColorStopsKeepsEveryColour_data();
    void setColorStopsKeepsEveryColour();
    void addColorStopInsertOrOverwrite();
    void positionsOutsideAreIgnored();
    void alphaIsInterpolated();
    void emptyRampPaintsBlank();
    void colorIndex_data();
    void colorIndex();
    void scaleLabels_data();
    void scaleLabels();
};

void TestColorMap::newMapIsWhiteToBlack()
{
    QLinearColorMap map;
    QCOMPARE(map.colorStops(), (QVector<double>{0.0, 1.0}));
    QCOMPARE(map.stopColors(), (QVector<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0)}));
    QCOMPARE(map.mode(), 1);
    QCOMPARE(map.rgb(1, 0, 0.5), qRgba(128, 128, 128, 255));
}

void TestColorMap::rgb_data()
{
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("value");
    QTest::addColumn<uint>("expected");

    // Stops 0.2 red, 0.6 blue, 1.0 blue (extended).
    QTest::newRow("below first stop") << 10.0 << 0.0 << 1.0 << uint(qRgb(255, 0, 0));
    QTest::newRow("at first stop") << 10.0 << 0.0 << 2.0 << uint(qRgb(255, 0, 0));
    // t = 0.25: r = trunc(0.25 * -255 + 255.5) = 191, b = trunc(63.75 + 0.5) = 64.
    QTest::newRow("between red and blue") << 10.0 << 0.0 << 3.0 << uint(qRgb(191, 0, 64));
    QTest::newRow("after last colour change") << 10.0 << 0.0 << 8.0 << uint(qRgb(0, 0, 255));
    QTest::newRow("at max") << 10.0 << 0.0 << 10.0 << uint(qRgb(0, 0, 255));
    QTest::newRow("below min") << 10.0 << 0.0 << -3.0 << uint(qRgb(255, 0, 0));
    QTest::newRow("empty interval") << 5.0 << 5.0 << 5.0 << 0u;
    QTest::newRow("reversed interval") << 0.0 << 5.0 << 3.0 << 0u;
}

void TestColorMap::rgb()
{
    QFETCH(double, max);
    QFETCH(double, min);
    QFETCH(double, value);
    QFETCH(uint, expected);

    QLinearColorMap map;
    map.setColorStops({{0.2f, Qt::red}, {0.6f, Qt::blue}});
    QCOMPARE(uint(map.rgb(max, min, value)), expected);
}

void TestColorMap::setColorStopsExtendsToOne()
{
    QLinearColorMap map;
    map.setColorStops({{0.2f, Qt::red}, {0.6f, Qt::blue}});
    const QVector<double> pos = map.colorStops();
    QCOMPARE(pos.size(), 3);
    QCOMPARE(pos[0], double(0.2f));
    QCOMPARE(pos[1], double(0.6f));
    QCOMPARE(pos[2], 1.0);
    QCOMPARE(map.stopColors(), (QVector<QRgb>{qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 0, 255)}));

    // A ramp that reaches 1.0 is not extended.
    map.setColorStops({{0.0f, Qt::red}, {1.0f, Qt::blue}});
    QCOMPARE(map.colorStops(), (QVector<double>{0.0, 1.0}));
}

void TestColorMap::setColorStopsKeepsEveryColour_data()
{
    QTest::addColumn<Ramp>("ramp");
    QTest::addColumn<QVector<double>>("positions");
    QTest::addColumn<QVector<QRgb>>("colours");
    QTest::addColumn<QVector<double>>("ratios");
    QTest::addColumn<QVector<QRgb>>("expected");

    const QRgb white = qRgb(255, 255, 255), red = qRgb(255, 0, 0), green = qRgb(0, 255, 0),
               blue = qRgb(0, 0, 255);
    // A range typed in the colour dialog beyond the data's: the stops lie
    // past 0 and 1 and all of them stay; the data's ends take the colours
    // in between, values past the end stops the end colours.
    QTest::newRow("stops beyond both ends")
        << Ramp{{-0.5f, green}, {0.0f, red}, {1.0f, blue}, {1.5f, green}}
        << QVector<double>{-0.5, 0.0, 1.0, 1.5} << QVector<QRgb>{green, red, blue, green}
        << QVector<double>{-1.0, 0.0, 1.0, 1.25, 2.0} << QVector<QRgb>{green, red, blue, qRgb(0, 128, 128), green};
    QTest::newRow("ramp wholly above the data")
        << Ramp{{7.0f, red}} << QVector<double>{7.0} << QVector<QRgb>{red}
        << QVector<double>{0.0, 1.0} << QVector<QRgb>{red, red};
    // The blank marker's stop only stands for cells without a value: the
    // real colours are stretched over the whole range, so the smallest
    // value takes the first real colour, not a tint towards white.
    QTest::newRow("blank stop left out")
        << Ramp{{1e-18f, white}, {0.2f, blue}, {0.6f, green}, {1.0f, red}}
        << QVector<double>{0.0, 0.5, 1.0} << QVector<QRgb>{blue, green, red}
        << QVector<double>{0.0, 0.3, 1.0} << QVector<QRgb>{blue, qRgb(0, 153, 102), red};
    QTest::newRow("a stop at 0 is a colour")
        << Ramp{{0.0f, white}, {1.0f, red}} << QVector<double>{0.0, 1.0} << QVector<QRgb>{white, red}
        << QVector<double>{0.0} << QVector<QRgb>{white};
    QTest::newRow("blank stop alone stays")
        << Ramp{{1e-18f, white}} << QVector<double>{double(1e-18f), 1.0} << QVector<QRgb>{white, white}
        << QVector<double>{0.5} << QVector<QRgb>{white};
}

void TestColorMap::setColorStopsKeepsEveryColour()
{
    QFETCH(Ramp, ramp);
    QFETCH(QVector<double>, positions);
    QFETCH(QVector<QRgb>, colours);
    QFETCH(QVector<double>, ratios);
    QFETCH(QVector<QRgb>, expected);

    QLinearColorMap map;
    map.setColorStops(ramp);
    const QVector<double> pos = map.colorStops();
    QCOMPARE(pos.size(), positions.size());
    for (int i = 0; i < pos.size(); ++i)
        QVERIFY2(std::fabs(pos[i] - positions[i]) < 1e-7, qPrintable(QString::number(pos[i])));
    QCOMPARE(map.stopColors(), colours);
    for (int i = 0; i < ratios.size(); ++i)
        QCOMPARE(map.rgb(110.0, 10.0, 10.0 + 100.0 * ratios[i]), expected[i]);
}

void TestColorMap::addColorStopInsertOrOverwrite()
{
    QLinearColorMap map;
    map.addColorStop(0.5, Qt::red);
    QCOMPARE(map.colorStops(), (QVector<double>{0.0, 0.5, 1.0}));
    map.addColorStop(0.5, Qt::green);
    QCOMPARE(map.colorStops(), (QVector<double>{0.0, 0.5, 0.5, 1.0}));
    QCOMPARE(map.stopColors()[1], qRgb(255, 0, 0));
    QCOMPARE(map.stopColors()[2], qRgb(0, 255, 0));
    // Within 0.001 below an existing stop: that stop is overwritten.
    map.addColorStop(0.9995, Qt::blue);
    QCOMPARE(map.colorStops(), (QVector<double>{0.0, 0.5, 0.5, 0.9995}));
    QCOMPARE(map.stopColors().last(), qRgb(0, 0, 255));
    // The last stop now sits below 1.0; ratios beyond it take its colour.
    QCOMPARE(map.rgb(1.0, 0.0, 0.9998), qRgb(0, 0, 255));
    // The steps of the neighbour were recomputed: green towards blue, t = 0.4.
    QCOMPARE(map.rgb(1.0, 0.0, 0.5 + 0.4995 * 0.4), qRgb(0, 153, 102));
}

void TestColorMap::positionsOutsideAreIgnored()
{
    QLinearColorMap map;
    map.addColorStop(-0.01, Qt::red);
    map.addColorStop(1.01, Qt::red);
    map.addColorStop(std::nan(""), Qt::red);
    QCOMPARE(map.colorStops(), (QVector<double>{0.0, 1.0}));
}

void TestColorMap::alphaIsInterpolated()
{
    QLinearColorMap map;
    map.setColorStops({{0.0f, QColor(0, 0, 0, 0)}, {1.0f, QColor(0, 0, 0, 255)}});
    QCOMPARE(qAlpha(map.rgb(1, 0, 0.5)), 128);
    // Once set, the alpha flag stays for opaque maps too.
    map.setColorStops({{0.0f, QColor(255, 0, 0)}, {1.0f, QColor(0, 0, 255)}});
    QCOMPARE(qAlpha(map.rgb(1, 0, 0.5)), 255);
}

void TestColorMap::emptyRampPaintsBlank()
{
    QLinearColorMap map;
    map.setColorStops(QMap<float, QColor>());
    QVERIFY(map.colorStops().isEmpty());
    QCOMPARE(map.rgb(1, 0, 0.5), qRgb(255, 255, 255));
    map.setColorStops({{std::nanf(""), Qt::red}});
    QVERIFY(map.colorStops().isEmpty());
}

void TestColorMap::colorIndex_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("middle") << 5.0 << 128;
    QTest::newRow("at min") << 0.0 << 0;
    QTest::newRow("below min") << -1.0 << 0;
    QTest::newRow("at max") << 10.0 << 255;
    QTest::newRow("above max") << 11.0 << 255;
    QTest::newRow("near min") << 0.01 << 0;
}

void TestColorMap::colorIndex()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QLinearColorMap map;
    QCOMPARE(map.colorIndex(256, 10, 0, value), expected);
    QCOMPARE(map.colorIndex(256, 0, 0, value), 0);
}

void TestColorMap::scaleLabels_data()
{
    QTest::addColumn<bool>("scientific");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("1e-5") << true << 0.00001 << "1.0E-05";
    QTest::newRow("0.1") << true << 0.1 << "1.0E-01";
    QTest::newRow("rounded") << true << 2.56e-9 << "2.6E-09";
    QTest::newRow("plain") << false << 0.1 << "0.1";
}

void TestColorMap::scaleLabels()
{
    QFETCH(bool, scientific);
    QFETCH(double, value);
    QFETCH(QString, text);
    QScaleDraw draw(scientific);
    QCOMPARE(draw.label(value).text(), text);
}

QTEST_MAIN(TestColorMap)
#include "tst_colormap.moc"
