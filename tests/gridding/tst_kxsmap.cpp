#include "gridding/KXSMap.h"

#include "common/TestHelpers.h"

#include <QTest>

#include <cmath>

namespace {

// z = x on x 0..100 (21 columns), y 0..50 (11 rows).
GridData planeGrid()
{
    QList<GridPoint> points;
    for (int r = 0; r < 11; ++r)
        for (int c = 0; c < 21; ++c)
            points.append(GridPoint{5.0f * c, 5.0f * r, 5.0f * c});
    GridData grid;
    grid.setFromPoints(points, 21, 11);
    grid.setContourLevels({25, 50, 75, 100});
    return grid;
}

QMap<float, QColor> blackToWhite()
{
    return {{0.0f, QColor(0, 0, 0)}, {1.0f, QColor(255, 255, 255)}};
}

} // namespace

class TestKXSMap : public QObject
{
    Q_OBJECT

private slots:
    void axisTicks_data();
    void axisTicks();
    void layout_data();
    void layout();
    void colorAt_data();
    void colorAt();
    void rendersBandsAndBlanking();
    void degenerateGridRendersWhite_data();
    void degenerateGridRendersWhite();
};

void TestKXSMap::axisTicks_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<float>("first");
    QTest::addColumn<float>("step");
    QTest::addColumn<int>("count");
    QTest::newRow("0..100") << 0.0 << 100.0 << 0.0f << 20.0f << 6;
    QTest::newRow("-423..-2") << -423.0 << -2.0 << -400.0f << 100.0f << 4;
    QTest::newRow("0.13..0.61") << 0.13 << 0.61 << 0.2f << 0.1f << 5;
    QTest::newRow("empty range") << 5.0 << 5.0 << 0.0f << 0.0f << 0;
    QTest::newRow("NaN") << std::nan("") << 1.0 << 0.0f << 0.0f << 0;
}

void TestKXSMap::axisTicks()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(float, first);
    QFETCH(float, step);
    QFETCH(int, count);
    KXSAxisWidget axis;
    axis.setRange(min, max);
    HW_COMPARE_NEAR(axis.firstTick(), first, 1e-6);
    HW_COMPARE_NEAR(axis.tickStep(), step, 1e-6);
    QCOMPARE(axis.tickCount(), count);
    // Every tick lies inside the range.
    if (count > 0)
        QVERIFY(axis.firstTick() + (count - 1) * axis.tickStep() <= max + 1e-6);
}

void TestKXSMap::layout_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<float>("xspan");
    QTest::addColumn<float>("yspan");
    QTest::addColumn<float>("scale");
    QTest::addColumn<QVector<int>>("expected");   // left, right, top, bottom, width, height
    // a = 150, sW = 5, sH = 600 / 168: height-limited, centred horizontally.
    QTest::newRow("square, height-limited")
        << 900 << 600 << 10.0f << 10.0f << 600.0f / 168.0f
        << QVector<int>{123, 64, 17, 46, 642, 535};
    // a = 15, sW = 5, sH = 600 / 33: width-limited; 1060 pixels shrink to
    // 900 by 900 / 1060, then centred vertically.
    QTest::newRow("wide, width-limited")
        << 900 << 600 << 100.0f << 10.0f << 5.0f
        << QVector<int>{59, 76, 251, 55, 764, 63};
}

void TestKXSMap::layout()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(float, xspan);
    QFETCH(float, yspan);
    QFETCH(float, scale);
    QFETCH(QVector<int>, expected);
    float s = 0.0f;
    const KXSMap::MapLayout l = KXSMap::computeLayout(w, h, xspan, yspan, &s);
    HW_COMPARE_NEAR(s, scale, 1e-6);
    QCOMPARE((QVector<int>{l.left, l.right, l.top, l.bottom, l.width, l.height}), expected);
}

void TestKXSMap::colorAt_data()
{
    QTest::addColumn<float>("zmin");
    QTest::addColumn<float>("value");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("at first stop") << 0.0f << 0.0f << QColor(0, 0, 0);
    QTest::newRow("halfway") << 0.0f << 50.0f << QColor(128, 128, 128);
    QTest::newRow("at last stop") << 0.0f << 100.0f << QColor(255, 255, 255);
    QTest::newRow("below range") << 0.0f << -20.0f << QColor(0, 0, 0);
    QTest::newRow("past last stop") << 0.0f << 130.0f << QColor(255, 255, 255);
    // Positions count from the smallest value, not from 0.
    QTest::newRow("offset range, halfway") << 100.0f << 150.0f << QColor(128, 128, 128);
    QTest::newRow("offset range, top") << 100.0f << 200.0f << QColor(255, 255, 255);
}

void TestKXSMap::colorAt()
{
    QFETCH(float, zmin);
    QFETCH(float, value);
    QFETCH(QColor, colour);
    QList<GridPoint> points = {{0, 0, zmin}, {1, 0, zmin + 100}, {0, 1, zmin}, {1, 1, zmin}};
    GridData grid;
    QVERIFY(grid.setFromPoints(points, 2, 2));
    KXSMap map;
    map.setGridData(grid);
    QVERIFY(!map.colorAt(value).isValid());   // no stops yet
    map.setColorMap(blackToWhite());
    QCOMPARE(map.colorAt(value), colour);
}

void TestKXSMap::rendersBandsAndBlanking()
{
    KXSMap map;
    map.resize(900, 600);
    map.setGridData(planeGrid());
    map.setColorMap(blackToWhite());
    // A flat top at y = 40: everything above it is blanked white.
    map.setOutline({{0, 40}, {100, 40}});
    map.renderMap();

    const QImage &img = map.image();
    QCOMPARE(img.size(), QSize(900, 600));
    const KXSMap::MapLayout l = map.mapLayout();
    QVERIFY(l.width > 100 && l.height > 50);
    auto pixel = [&](double x, double y) {
        const int col = int(l.left + (l.width - 1) * x / 100.0);
        const int row = int(l.top + l.height - 1 - (l.height - 1) * y / 50.0);
        return QColor(img.pixel(col, row));
    };
    // Each band is filled with the colour of its upper level.
    QCOMPARE(pixel(12, 20), map.colorAt(25));
    QCOMPARE(pixel(37, 10), map.colorAt(50));
    QCOMPARE(pixel(62, 30), map.colorAt(75));
    QCOMPARE(pixel(88, 5), map.colorAt(100));
    QVERIFY(map.colorAt(25) != map.colorAt(75));
    // Blank above the outline, white margins.
    QCOMPARE(pixel(50, 46), QColor(Qt::white));
    QCOMPARE(QColor(img.pixel(2, 2)), QColor(Qt::white));
    // The frame's left edge.
    QCOMPARE(QColor(img.pixel(l.left, l.top + l.height / 2)), QColor(Qt::black));
    // The legend bar holds colours of the ramp (not white) in the right margin.
    const int barX = int(l.left + l.width + 5 * map.layoutScale()) + 2;
    QVERIFY(QColor(img.pixel(barX, l.top + l.height / 2)) != QColor(Qt::white));

    // The widget shows the rendered image.
    const QImage shown = map.grab().toImage();
    QCOMPARE(QColor(shown.pixel(int(l.left + (l.width - 1) * 0.12), l.top + l.height - 20)),
             map.colorAt(25));
}

void TestKXSMap::degenerateGridRendersWhite_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<float>("xstep");
    QTest::addColumn<int>("width");
    QTest::newRow("empty grid") << 0 << 1.0f << 400;
    QTest::newRow("single row") << 1 << 1.0f << 400;
    QTest::newRow("zero x span") << 3 << 0.0f << 400;
    QTest::newRow("too narrow") << 3 << 1.0f << 150;
}

void TestKXSMap::degenerateGridRendersWhite()
{
    QFETCH(int, rows);
    QFETCH(float, xstep);
    QFETCH(int, width);
    QList<GridPoint> points;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 3; ++c)
            points.append(GridPoint{xstep * c, float(r), float(c + r)});
    GridData grid;
    grid.setFromPoints(points, 3, rows);
    grid.setContourLevels({1, 2, 3});
    KXSMap map;
    map.resize(width, 300);
    map.setGridData(grid);
    map.setColorMap(blackToWhite());
    map.setOutline({{0, 1}, {2, 1}});
    map.renderMap();
    QCOMPARE(map.image().size(), QSize(width, 300));
    for (int y = 0; y < 300; y += 7)
        for (int x = 0; x < width; x += 7)
            QCOMPARE(QColor(map.image().pixel(x, y)), QColor(Qt::white));
}

QTEST_MAIN(TestKXSMap)
#include "tst_kxsmap.moc"
