#include "common/TestHelpers.h"
#include "views/KXSpectrogramMap.h"
#include "views/QLinearColorMap.h"
#include "SectionFixture.h"

#include <QtTest>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

using Ramp = QMap<float, QColor>;

DataType_ResultData column(double x, QVector<double> depths, QVector<double> values)
{
    DataType_ResultData c;
    c.x = x;
    c.depth = depths;
    c.value = values;
    return c;
}

} // namespace

// The section map: layout, strip rendering, pixel colours and contour.png.
class TestSpectrogramMap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void heightBoundLayout();
    void widthBoundLayout();
    void stripsEqualSingleThread_data();
    void stripsEqualSingleThread();
    void pixelColours();
    void overshootTakesTheEndColours();
    void noUsableColumnLeavesMapWhite();
    void uniformSectionIsOneColour_data();
    void uniformSectionIsOneColour();
    void depthMinIsTheDeepestCell();
    void degenerateSizesAndSections();
    void nothingBeforeData();
    void contourWrittenWhenPictureChanges();
    void colourChangeRerenders();
    void colourBarDescribesTheDrawnColours();
    void colourBarOfFewStopsStaysReadable_data();
    void colourBarOfFewStopsStaysReadable();
    void blankCellsTakeNoPartInColours();
    void reliefMapEndsAtEachStationsDepth_data();
    void reliefMapEndsAtEachStationsDepth();
    void typedRangeKeepsEveryStop_data();
    void typedRangeKeepsEveryStop();
    void colourBarLabelsTellBandsApart_data();
    void colourBarLabelsTellBandsApart();
    void clearForgetsTheSection();
    void renderSyntheticSection();

private:
    QTemporaryDir m_dir;
    QString m_oldCwd;
    QLinearColorMap m_colours;
};

void TestSpectrogramMap::initTestCase()
{
    // contour.png goes to the current directory.
    QVERIFY(m_dir.isValid());
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    m_colours.setColorStops(sectionfixture::ramp());
}

void TestSpectrogramMap::cleanupTestCase()
{
    QDir::setCurrent(m_oldCwd);
}

void TestSpectrogramMap::heightBoundLayout()
{
    const QList<DataType_ResultData> cols{column(0, {0, -100, -200}, {10, 20, 30}),
                                          column(200, {0, -100, -200}, {40, 50, 60})};
    const QVector<TopoData> ground{{0, 0}, {100, 0}, {200, 0}};
    // Square section in 800 x 500: scale = min(4, 500 / 168), margins
    // trunc(6 * 2.976) = 17; the map is 431 high and as wide.
    KXSpectrogramMap map;
    map.resize(800, 500);
    map.contourMethod = 2;
    map.setData(cols, ground, &m_colours, 100.0);
    QCOMPARE(map.scale(), 500.0f / 168.0f);
    QCOMPARE(map.topMargin(), 17);
    QCOMPARE(map.bottomMargin(), 17);
    QCOMPARE(map.mapHeight(), 431);
    QCOMPARE(map.mapWidth(), 431);
    QCOMPARE(map.leftMargin(), 102);
    QCOMPARE(map.rightMargin(), 102);
    QCOMPARE(map.mapRect(), QRect(152, 22, 431, 431));

    // One pixel wider: the halves do not add up, the map takes the rest.
    map.show();
    map.resize(801, 500);
    QCOMPARE(map.leftMargin(), 102);
    QCOMPARE(map.mapWidth(), 432);
}

void TestSpectrogramMap::widthBoundLayout()
{
    // x range 400, depth range 200 in 800 x 500: scale 4, the height-bound
    // map would be 834 wide; margins trunc(12 * 4) = 48 instead.
    {
        KXSpectrogramMap map;
        map.resize(800, 500);
        map.contourMethod = 2;
        map.setData({column(0, {0, -100, -200}, {10, 20, 30}),
                     column(400, {0, -100, -200}, {40, 50, 60})},
                    {{0, 0}, {200, 0}, {400, 0}}, &m_colours, 100.0);
        QCOMPARE(map.scale(), 4.0f);
        QCOMPARE(map.leftMargin(), 48);
        QCOMPARE(map.rightMargin(), 48);
        QCOMPARE(map.mapWidth(), 539);
        QCOMPARE(map.mapHeight(), 269);
        QCOMPARE(map.topMargin(), 98);
    }
    // x range 1000, depth range 100 in 1000 x 400: scale 5, trunc(12 * 5) = 60
    // >= 50 gives margins 15 / 0; map 820 wide, 82 high, rounded to fill.
    KXSpectrogramMap map;
    map.resize(1000, 400);
    map.contourMethod = 2;
    map.setData({column(0, {0, -50, -100}, {10, 20, 30}), column(1000, {0, -50, -100}, {40, 50, 60})},
                {{0, 0}, {500, 0}, {1000, 0}}, &m_colours, 100.0);
    QCOMPARE(map.scale(), 5.0f);
    QCOMPARE(map.leftMargin(), 15);
    QCOMPARE(map.rightMargin(), 0);
    QCOMPARE(map.mapWidth(), 820);
    QCOMPARE(map.topMargin(), 141);
    QCOMPARE(map.bottomMargin(), 141);
    QCOMPARE(map.mapHeight(), 83);
    QCOMPARE(map.mapRect(), QRect(65, 146, 820, 83));
}

void TestSpectrogramMap::stripsEqualSingleThread_data()
{
    QTest::addColumn<int>("strips");
    QTest::newRow("ideal") << 0;
    QTest::newRow("3") << 3;
    QTest::newRow("7") << 7;
    QTest::newRow("more strips than rows") << 2000;
}

void TestSpectrogramMap::stripsEqualSingleThread()
{
    QFETCH(int, strips);
    KXSpectrogramMap single;
    single.resize(900, 420);
    single.setStripCount(1);
    single.setData(sectionfixture::section(), sectionfixture::topography(), &m_colours, 150.0);

    KXSpectrogramMap split;
    split.resize(900, 420);
    split.setStripCount(strips);
    split.setData(sectionfixture::section(), sectionfixture::topography(), &m_colours, 150.0);

    QCOMPARE(split.image().size(), single.image().size());
    QVERIFY(split.image() == single.image());
}

void TestSpectrogramMap::pixelColours()
{
    // Two columns; the right one is shorter, leaving a no-value wedge.
    KXSpectrogramMap map;
    map.resize(900, 500);
    map.contourMethod = 2;
    QLinearColorMap colours;
    colours.setColorStops({{0.0f, Qt::white}, {0.1f, Qt::blue}, {1.0f, Qt::red}});
    map.setData({column(0, {0, -50, -100}, {100, 150, 200}), column(200, {0, -20, -40}, {300, 350, 400})},
                {{0, -5}, {100, 10}, {200, -5}}, &colours, 100.0);
    QCOMPARE(map.valueMin(), 100.0);
    QCOMPARE(map.valueMax(), 400.0);
    const QRect r = map.mapRect();
    const QImage img = map.image();
    auto pixelAt = [&](double x, double depth) {
        const int c = r.left() + qRound((x - map.xMin()) / (map.xMax() - map.xMin()) * r.width());
        const int row = r.top() + qRound((map.depthMax() - depth) / (map.depthMax() - map.depthMin()) * (r.height() - 1));
        return img.pixel(qBound(r.left(), c, r.right()), qBound(r.top(), row, r.bottom()));
    };
    // Above the ground (about -4.2 at x = 5): white.
    QCOMPARE(pixelAt(5, -1), qRgb(255, 255, 255));
    // Below the right column's end and below the edge: nothing is known
    // there, blank.
    QCOMPARE(pixelAt(190, -95), qRgb(255, 255, 255));
    // Inside both columns: the map's colour of the interpolated value.
    const double v = map.valueAt(100, -20);
    QVERIFY(v > 100 && v < 400);
    QCOMPARE(pixelAt(100, -20), colours.rgb(400, 100, v));
    // Outside the map: the frame and white margins.
    QCOMPARE(img.pixel(r.left() - 1, r.center().y()), qRgb(0, 0, 0));
    QCOMPARE(img.pixel(2, 2), qRgb(255, 255, 255));
}

void TestSpectrogramMap::overshootTakesTheEndColours()
{
    // A flat resistive top over a sharp step: the cubic columns swing past
    // the largest value near the step (below, the floor just above the
    // smallest value holds them).
    const QVector<double> depths{0, -10, -20, -30, -40, -50, -60, -70, -80, -90, -100};
    const QVector<double> values{400, 400, 400, 400, 400, 100, 100, 100, 100, 100, 100};
    KXSpectrogramMap map;
    map.resize(700, 500);
    map.contourMethod = 2;
    QLinearColorMap colours;
    colours.setColorStops({{0.0f, Qt::blue}, {0.5f, Qt::green}, {1.0f, Qt::red}});
    map.setData({column(0, depths, values), column(100, depths, values), column(200, depths, values)},
                {{0, 0}, {100, 0}, {200, 0}}, &colours, 100.0);
    QCOMPARE(map.valueMax(), 400.0);
    QCOMPARE(map.valueMin(), 100.0);

    const QRect r = map.mapRect();
    const QImage img = map.image();
    int above = 0;
    for (int row = r.top() + 1; row < r.bottom(); ++row) {
        const double depth = map.depthMax() - (map.depthMax() - map.depthMin()) * (row - r.top()) / (r.height() - 1);
        const double v = map.valueAt(100, depth);
        const QRgb pixel = img.pixel(r.center().x(), row);
        // Everything here is underground: no blank pixel anywhere.
        QVERIFY2(pixel != qRgb(255, 255, 255), qPrintable(QString::number(depth)));
        if (v > 400.0 + 1e-6) {
            ++above;
            QCOMPARE(pixel, colours.rgb(400, 100, 400));
        }
    }
    QVERIFY2(above > 0, "the fixture must overshoot");
}

void TestSpectrogramMap::noUsableColumnLeavesMapWhite()
{
    KXSpectrogramMap empty;
    empty.resize(600, 400);
    empty.setData({column(0, {0, 0}, {1, 2})}, QVector<TopoData>(), &m_colours, 100.0);
    QVERIFY(empty.isDataReady());
    QVERIFY(!empty.image().isNull());
    const QImage img = empty.image();
    const QRect r = empty.mapRect().adjusted(1, 1, -1, -1);
    for (int y = r.top(); y <= r.bottom(); y += 7)
        for (int x = r.left(); x <= r.right(); x += 7)
            QCOMPARE(img.pixel(x, y), qRgb(255, 255, 255));
}

void TestSpectrogramMap::uniformSectionIsOneColour_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounding");
    QTest::addColumn<QString>("label");
    QTest::newRow("exactly uniform") << 5.0 << 0.0 << "5";
    // A 1000 ohm-m half-space as the inversion returns it.
    QTest::newRow("half-space with its rounding") << 1005.18 << 1e-5 << "1005.18";
    QTest::newRow("conductive half-space with its rounding") << 0.8 << 1e-7 << "0.8";
}

// Values that differ only by their rounding: one colour over the whole
// section and one value on the bar, not the ramp spread over the rounding.
void TestSpectrogramMap::uniformSectionIsOneColour()
{
    QFETCH(double, value);
    QFETCH(double, rounding);
    QFETCH(QString, label);
    const QVector<double> levels{0, -25, -50, -75, -100};
    QList<DataType_ResultData> cols;
    for (int i = 0; i < 5; ++i) {
        QVector<double> values;
        for (int k = 0; k < levels.size(); ++k)
            values.append(value + rounding * (((i + k) % 3) - 1));
        cols.append(column(50.0 * i, levels, values));
    }
    KXSpectrogramMap map;
    map.resize(800, 450);
    map.setData(cols, {{0, 0}, {100, 0}, {200, 0}}, &m_colours, 100.0);

    const QRgb expected = m_colours.rgb(1.0, 0.0, 0.5);
    const QImage img = map.image();
    const QRect r = map.mapRect().adjusted(1, 1, -1, -1);
    int coloured = 0;
    for (int y = r.top(); y <= r.bottom(); y += 5) {
        for (int x = r.left(); x <= r.right(); x += 5) {
            const QRgb pixel = img.pixel(x, y);
            if (pixel == qRgb(255, 255, 255))
                continue;
            ++coloured;
            QCOMPARE(pixel, expected);
        }
    }
    QVERIFY(coloured > r.width() * r.height() / 50);

    const QVector<KXSpectrogramMap::LegendBand> bands = map.colorBarBands();
    QCOMPARE(bands.size(), 1);
    QCOMPARE(bands.first().text, label);
    QVERIFY(bands.first().labelled);
    QCOMPARE(bands.first().colour, expected);
    QCOMPARE(img.pixel(bands.first().rect.center()), expected);
    QVERIFY(map.uniformValues());
    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(img.save(QDir(dir).filePath(QStringLiteral("hw_map_uniform_%1.png").arg(QTest::currentDataTag()).replace(' ', '_'))));

    // A real contrast, however faint against the value, keeps the ramp.
    cols.last().value.last() = value * 1.01;
    map.setData(cols, {{0, 0}, {100, 0}, {200, 0}}, &m_colours, 100.0);
    QVERIFY(!map.uniformValues());
    QVERIFY(map.colorBarBands().size() > 1);
}

// The sections end at each station's own depth: the map's bottom is their
// deepest cell, whatever the method.
void TestSpectrogramMap::depthMinIsTheDeepestCell()
{
    const QList<DataType_ResultData> cols{column(0, {35, -40, -70}, {10, 20, 30}),
                                          column(100, {35, -40, -70}, {40, 50, 60})};
    KXSpectrogramMap map;
    map.resize(600, 400);
    for (int method : {1, 2}) {
        map.contourMethod = method;
        map.setData(cols, {{0, 35}, {50, 35}, {100, 35}}, &m_colours, 105.0);
        QCOMPARE(map.depthMin(), -70.0);
        QCOMPARE(map.depthMax(), 35.0);
    }
}

void TestSpectrogramMap::degenerateSizesAndSections()
{
    // Too small for labels and map, a single column, a flat section: the
    // map renders what fits and never fails.
    const QList<DataType_ResultData> one{column(50, {0, -10, -20}, {1, 2, 3})};
    const QList<DataType_ResultData> flat{column(0, {0}, {1}), column(100, {0}, {2})};
    for (const QSize &size : {QSize(60, 30), QSize(1, 1), QSize(2000, 60)}) {
        for (const QList<DataType_ResultData> &cols : {sectionfixture::section(), one, flat}) {
            KXSpectrogramMap map;
            map.resize(size);
            map.setData(cols, QVector<TopoData>(), &m_colours, 100.0);
            QCOMPARE(map.image().size(), size);
            QVERIFY(!map.grab().isNull());
        }
    }
}

void TestSpectrogramMap::nothingBeforeData()
{
    QFile::remove("contour.png");
    KXSpectrogramMap map;
    map.resize(400, 300);
    map.show();
    map.setColorMap(sectionfixture::ramp());
    map.resize(500, 300);
    map.grab();
    QVERIFY(map.image().isNull());
    QVERIFY(!QFile::exists("contour.png"));
}

void TestSpectrogramMap::contourWrittenWhenPictureChanges()
{
    QLinearColorMap colours;
    colours.setColorStops(sectionfixture::ramp());
    KXSpectrogramMap map;
    map.resize(700, 400);
    map.setData(sectionfixture::section(), sectionfixture::topography(), &colours, 150.0);
    map.show();
    const auto visible = [&map] {
        return map.image().copy(map.leftMargin(), map.topMargin(),
                                map.width() - map.rightMargin() - map.leftMargin(),
                                map.height() - map.bottomMargin() - map.topMargin());
    };
    const auto saved = [] {
        return QImage("contour.png").convertToFormat(QImage::Format_RGB32);
    };

    QFile::remove("contour.png");
    map.grab();
    QCOMPARE(map.contourWrites(), 1);
    QCOMPARE(saved().size(), QSize(700 - map.rightMargin() - map.leftMargin(),
                                   400 - map.bottomMargin() - map.topMargin()));
    QCOMPARE(saved(), visible());

    // Repaints of the same picture leave the file alone, also when the same
    // section is set again.
    map.grab();
    map.grab();
    map.setData(sectionfixture::section(), sectionfixture::topography(), &colours, 150.0);
    map.grab();
    QCOMPARE(map.contourWrites(), 1);

    // A report deleted it: written again.
    QFile::remove("contour.png");
    map.grab();
    QCOMPARE(map.contourWrites(), 2);
    QVERIFY(QFile::exists("contour.png"));

    // Someone else wrote another picture there: replaced by the map's.
    QImage other(50, 40, QImage::Format_RGB32);
    other.fill(Qt::magenta);
    QVERIFY(other.save("contour.png"));
    map.grab();
    QCOMPARE(map.contourWrites(), 3);
    QCOMPARE(saved(), visible());

    // A new picture: new colours, a new size.
    map.setColorMap({{0.0f, Qt::black}, {1.0f, Qt::green}});
    map.grab();
    QCOMPARE(map.contourWrites(), 4);
    QCOMPARE(saved(), visible());
    map.resize(640, 380);
    map.grab();
    QCOMPARE(map.contourWrites(), 5);
    QCOMPARE(saved(), visible());
    map.grab();
    QCOMPARE(map.contourWrites(), 5);

    // Another current directory gets its own copy.
    QTemporaryDir otherDir;
    QVERIFY(otherDir.isValid());
    QDir::setCurrent(otherDir.path());
    map.grab();
    QDir::setCurrent(m_dir.path());
    QCOMPARE(map.contourWrites(), 6);
    QVERIFY(QFile::exists(otherDir.filePath("contour.png")));
}

void TestSpectrogramMap::colourChangeRerenders()
{
    QLinearColorMap colours;
    colours.setColorStops(sectionfixture::ramp());
    KXSpectrogramMap map;
    map.resize(700, 400);
    map.setData(sectionfixture::section(), sectionfixture::topography(), &colours, 150.0);
    const QImage before = map.image();
    map.setColorMap({{0.0f, Qt::black}, {1.0f, Qt::green}});
    QCOMPARE(colours.colorStops(), (QVector<double>{0.0, 1.0}));
    QVERIFY(map.image() != before);
    // A resize renders at the new size.
    map.resize(800, 450);
    QCoreApplication::sendPostedEvents();
    map.show();
    QCOMPARE(map.image().size(), QSize(800, 450));
}

void TestSpectrogramMap::colourBarDescribesTheDrawnColours()
{
    // A ramp of many stops crowded at the low end, as the program's default:
    // the largest values take the last stop's colour, which the bar must show
    // and label with the largest value.
    QMap<float, QColor> ramp;
    for (int i = 0; i <= 20; ++i)
        ramp.insert(0.025f * i, QColor::fromHsv(240 - 10 * i, 255, 255));
    ramp.insert(0.7f, Qt::red);
    ramp.insert(0.85f, QColor(162, 42, 42));
    ramp.insert(1.0f, QColor(128, 0, 0));
    QLinearColorMap colours;
    colours.setColorStops(ramp);

    KXSpectrogramMap map;
    map.resize(700, 380);   // the map page at the main window's first size
    map.contourMethod = 2;
    map.setData({column(0, {0, -50, -100}, {10, 40, 100}), column(400, {0, -50, -100}, {12, 60, 95})},
                {}, &colours, 100.0);
    QCOMPARE(map.valueMin(), 10.0);
    QCOMPARE(map.valueMax(), 100.0);
    const QVector<KXSpectrogramMap::LegendBand> bands = map.colorBarBands();
    QVERIFY(bands.size() >= 2);
    QCOMPARE(bands.first().text, QString("10"));
    QCOMPARE(bands.last().text, QString("100"));
    QVERIFY(bands.first().labelled && bands.last().labelled);
    QCOMPARE(bands.last().colour, colours.rgb(100, 10, 100));
    // Each label is the value whose colour its band shows, and the drawn
    // labels do not run into each other.
    const QVector<double> stops = colours.colorStops();
    const QVector<QRgb> stopColours = colours.stopColors();
    const int fontHeight = QFontMetrics(QFont("Arial", 12)).height();
    int previousCentre = INT_MAX;
    for (const KXSpectrogramMap::LegendBand &b : bands) {
        const int stop = stopColours.indexOf(b.colour);
        QVERIFY(stop >= 0);
        QCOMPARE(b.text, QString::number(10 + 90 * stops[stop], 'f', 0));
        if (b.labelled) {
            QVERIFY(previousCentre - b.rect.center().y() >= fontHeight);
            previousCentre = b.rect.center().y();
        }
    }
    // The drawn bar: the top band in the colour of the largest values.
    const QImage img = map.image();
    QCOMPARE(img.pixel(bands.last().rect.center()), colours.rgb(100, 10, 100));
    QCOMPARE(img.pixel(bands.first().rect.center()), colours.rgb(100, 10, 10));
    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(map.grab().save(QDir(dir).filePath("hw_map_colourbar.png")));
}

void TestSpectrogramMap::colourBarOfFewStopsStaysReadable_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("stops");
    QTest::newRow("preset of five stops, map tab at the default window") << QSize(740, 370) << 5;
    QTest::newRow("two stops") << QSize(740, 370) << 2;
    QTest::newRow("eleven stops in a low tab") << QSize(900, 300) << 11;
}

// A flat section leaves a low map; a ramp of a few stops (a preset chosen in
// the colour dialog) must still give a bar with its bands labelled, from the
// smallest value at the bottom to the largest at the top, inside the widget.
void TestSpectrogramMap::colourBarOfFewStopsStaysReadable()
{
    QFETCH(QSize, size);
    QFETCH(int, stops);
    QMap<float, QColor> ramp;
    for (int i = 0; i < stops; ++i)
        ramp.insert(float(i) / (stops - 1), QColor::fromHsv(240 - 240 * i / (stops - 1), 200, 230));
    QLinearColorMap colours;
    colours.setColorStops(ramp);

    KXSpectrogramMap map;
    map.resize(size);
    map.setData({column(0, {1200, 1150, 1100}, {10, 40, 100}), column(400, {1200, 1150, 1100}, {12, 60, 95})},
                {}, &colours, 100.0);
    const QVector<KXSpectrogramMap::LegendBand> bands = map.colorBarBands();
    QCOMPARE(bands.size(), stops);
    QCOMPARE(bands.first().text, QString("10"));
    QCOMPARE(bands.last().text, QString("100"));
    QVERIFY(bands.first().labelled && bands.last().labelled);
    const int fontHeight = QFontMetrics(QFont("Arial", 12)).height();
    int labels = 0;
    int previousCentre = INT_MAX;
    for (int i = 0; i < bands.size(); ++i) {
        QVERIFY(QRect(QPoint(0, 0), size).contains(bands[i].rect));
        if (i > 0)
            QVERIFY(bands[i].rect.bottom() < bands[i - 1].rect.top());
        if (bands[i].labelled) {
            ++labels;
            QVERIFY(previousCentre - bands[i].rect.center().y() >= fontHeight);
            previousCentre = bands[i].rect.center().y();
        }
    }
    // Few stops: every one labelled; many: a handful.
    QVERIFY2(labels >= std::min(stops, 4), qPrintable(QString::number(labels)));
    // The bar stays clear of the position axis' labels below the map.
    QVERIFY(bands.first().rect.bottom() <= map.mapRect().bottom() + 1);
}

// Three stations on falling ground, blank (1e-18) above the lower ones as
// the section grid marks the air. The smallest real value is 5.01.
void TestSpectrogramMap::blankCellsTakeNoPartInColours()
{
    const double blank = ModelFiles::kNoValue;
    const QVector<double> levels{20, 15, 10, 5, 0, -20, -40, -60};
    const QList<DataType_ResultData> cols{
        column(0, levels, {5.01, 5.01, 5.01, 12, 20, 40, 60, 80}),
        column(100, {20, 12, 10, 5, 0, -20, -40, -60}, {blank, 30, 30, 33, 35, 45, 60, 75}),
        column(200, levels, {blank, blank, blank, 50, 50, 55, 65, 70}),
    };
    auto ground = [](double x) { return x <= 100 ? 20 - 0.08 * x : 12 - 0.07 * (x - 100); };
    QLinearColorMap colours;
    colours.setColorStops(sectionfixture::ramp());
    KXSpectrogramMap map;
    map.resize(900, 500);
    map.contourMethod = 2;
    map.setData(cols, {{0, 20}, {100, 12}, {200, 5}}, &colours, 100.0);

    // The range and the colour bar's ends are those of the real values.
    QCOMPARE(map.valueMin(), 5.01);
    QCOMPARE(map.valueMax(), 80.0);
    QCOMPARE(map.depthMax(), 20.0);
    const QVector<KXSpectrogramMap::LegendBand> bands = map.colorBarBands();
    QVERIFY(bands.size() >= 2);
    QCOMPARE(bands.first().text, QString("5.01"));
    QCOMPARE(bands.last().text, QString("80"));
    QVERIFY(bands.first().labelled && bands.last().labelled);

    // The smallest cell (top of the first station) in the ramp's first real
    // colour, as the bottom band shows it.
    const QRect r = map.mapRect();
    const QImage img = map.image();
    QCOMPARE(img.pixel(r.left(), r.top()), qRgb(0, 0, 255));
    QCOMPARE(bands.first().colour, qRgb(0, 0, 255));

    // Nothing above the ground; just below it, between the stations, the
    // values lie among the stations' own near-surface values (blending with
    // the blank marker would pull them down).
    int above = 0;
    for (int row = r.top(); row <= r.bottom(); ++row) {
        const double depth = map.depthMax() - (map.depthMax() - map.depthMin()) * (row - r.top()) / (r.height() - 1);
        for (int c = r.left(); c <= r.right(); c += 3) {
            const double x = map.xMin() + (map.xMax() - map.xMin()) * (c - r.left()) / r.width();
            if (depth > ground(x) + 1.0) {
                ++above;
                QCOMPARE(img.pixel(c, row), qRgb(255, 255, 255));
            }
        }
    }
    QVERIFY(above > 100);
    for (double x : {120.0, 150.0, 180.0}) {
        const double v = map.valueAt(x, ground(x) - 1.0);
        QVERIFY2(v >= 30.0 && v <= 50.0, qPrintable(QString("%1: %2").arg(x).arg(v)));
    }
}

void TestSpectrogramMap::reliefMapEndsAtEachStationsDepth_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("station by station") << 1;
    QTest::newRow("profile") << 2;
}

// Five stations on 80 m of relief (grounds 100, 60, 20, 60, 100), inverted
// to 50 m, resistivity growing with the depth below the ground. The map
// shows each station down to its ground less 50 m, linear between the
// stations, and its colours span what it shows: 100 at the ground to 350
// at the depth (the deeper cells of the low station's cut would reach 775).
void TestSpectrogramMap::reliefMapEndsAtEachStationsDepth()
{
    QFETCH(int, method);
    const double depth = 50.0;
    const QVector<double> grounds{100, 60, 20, 60, 100};
    QVector<TopoData> topography;
    QList<DataType_ResultData> results;
    QList<DataType_ThreeResultData> profile;
    for (int i = 0; i < grounds.size(); ++i) {
        topography.append(TopoData{20.0 * i, grounds[i]});
        DataType_ThreeResultData p;
        p.station = 20.0 * i;
        for (double d = 0; d <= 200; d += 10) {
            p.z.append(grounds[i] - d);
            p.value.append(100 + 5 * d);
        }
        profile.append(p);
        results.append(column(p.station, p.z, p.value));
    }
    const QList<DataType_ResultData> grid =
        method == 1 ? ModelFiles::buildSectionGrid(results, depth, 100.0, 0.0, GRID_FIXED, 5.0)
                    : ModelFiles::buildSectionGrid2(profile, 0.0, topography, depth);
    KXSpectrogramMap map;
    map.resize(900, 700);
    map.contourMethod = method;
    map.setData(grid, topography, &m_colours, depth);

    HW_COMPARE_NEAR(map.valueMin(), 100.0, 1e-6);
    HW_COMPARE_NEAR(map.valueMax(), 350.0, 1e-6);
    HW_COMPARE_NEAR(map.depthMin(), 20.0 - depth, 1e-9);

    const QRect r = map.mapRect();
    const QImage img = map.image();
    const QRgb white = qRgb(255, 255, 255);
    auto pixelAt = [&](double x, double level) {
        const int c = r.left() + qRound((x - map.xMin()) / (map.xMax() - map.xMin()) * r.width());
        const int row = r.top() + qRound((map.depthMax() - level) / (map.depthMax() - map.depthMin()) * (r.height() - 1));
        return img.pixel(qBound(r.left(), c, r.right()), qBound(r.top(), row, r.bottom()));
    };
    auto floorAt = [&](double x) {
        const int i = std::min(int(x / 20.0), grounds.size() - 2);
        const double t = (x - 20.0 * i) / 20.0;
        return grounds[i] + (grounds[i + 1] - grounds[i]) * t - depth;
    };
    int checked = 0;
    for (double x = 1.0; x < 80.0; x += 3.0) {
        const double floor = floorAt(x);
        // Coloured just above the floor, blank below it down to the bottom.
        QVERIFY2(pixelAt(x, floor + 3.0) != white, qPrintable(QString("x %1").arg(x)));
        for (double level = floor - 3.0; level > map.depthMin() + 1.0; level -= 4.0) {
            QVERIFY2(pixelAt(x, level) == white, qPrintable(QString("x %1, level %2").arg(x).arg(level)));
            ++checked;
        }
    }
    QVERIFY(checked > 100);
}

void TestSpectrogramMap::typedRangeKeepsEveryStop_data()
{
    QTest::addColumn<Ramp>("ramp");
    QTest::addColumn<QString>("bottom");
    QTest::addColumn<QString>("top");
    QTest::addColumn<QRgb>("atLargest");

    // The data run from 10 to 110. The colour dialog lays the ramp blue,
    // green, red over a typed range; positions are fractions of the data's.
    QTest::newRow("typed 10 to 210") << Ramp{{0.0f, Qt::blue}, {1.0f, Qt::green}, {2.0f, Qt::red}}
                                     << "10" << "210" << qRgb(0, 255, 0);
    QTest::newRow("typed 10 to 60") << Ramp{{0.0f, Qt::blue}, {0.25f, Qt::green}, {0.5f, Qt::red}}
                                    << "10" << "110" << qRgb(255, 0, 0);
    QTest::newRow("typed -40 to 160")
        << Ramp{{-0.5f, Qt::blue}, {0.5f, Qt::green}, {1.5f, Qt::red}} << "-40" << "160"
        << qRgb(128, 128, 0);
}

void TestSpectrogramMap::typedRangeKeepsEveryStop()
{
    QFETCH(Ramp, ramp);
    QFETCH(QString, bottom);
    QFETCH(QString, top);
    QFETCH(QRgb, atLargest);

    QLinearColorMap colours;
    KXSpectrogramMap map;
    map.resize(800, 400);
    map.contourMethod = 2;
    map.setData({column(0, {0, -50, -100}, {10, 60, 110}), column(200, {0, -50, -100}, {10, 60, 110})},
                {}, &colours, 100.0);
    map.setColorMap(ramp);
    QCOMPARE(map.valueMin(), 10.0);
    QCOMPARE(map.valueMax(), 110.0);

    // Every colour of the ramp is on the bar, from the typed minimum up.
    const QVector<KXSpectrogramMap::LegendBand> bands = map.colorBarBands();
    QVERIFY(bands.size() >= ramp.size());
    QCOMPARE(bands.first().text, bottom);
    QCOMPARE(bands.last().text, top);
    QVector<QRgb> shown;
    for (const KXSpectrogramMap::LegendBand &b : bands)
        shown.append(b.colour);
    for (const QColor &c : ramp)
        QVERIFY(shown.contains(c.rgb()));

    // The largest value (bottom row on a station) in its colour of the
    // typed range; the map is not drawn in the ramp's first colour only.
    const QRect r = map.mapRect();
    const QImage img = map.image();
    QCOMPARE(img.pixel(r.left(), r.bottom()), atLargest);
    QVERIFY(img.pixel(r.left(), r.bottom()) != img.pixel(r.left(), r.top()));
}

void TestSpectrogramMap::colourBarLabelsTellBandsApart_data()
{
    QTest::addColumn<double>("smallest");
    QTest::addColumn<double>("largest");
    QTest::addColumn<double>("typedMinimum");
    QTest::addColumn<double>("typedMaximum");
    QTest::addColumn<QString>("typedLabel");
    // A ramp of 25 stops, as the program's own, with no range typed.
    QTest::newRow("144 to 149") << 144.0 << 149.0 << 0.0 << 0.0 << QString();
    QTest::newRow("1.2 to 1.9") << 1.2 << 1.9 << 0.0 << 0.0 << QString();
    QTest::newRow("10 to 1000") << 10.0 << 1000.0 << 0.0 << 0.0 << QString();
    // The same ramp laid over a typed range inside the data's.
    QTest::newRow("typed 10 to 60 over 5 to 200") << 5.0 << 200.0 << 10.0 << 60.0 << "60";
    QTest::newRow("typed 144 to 146 over 144 to 149") << 144.0 << 149.0 << 144.0 << 146.0 << "146.0";
}

// Every label on the bar names its band's value to the digits that tell it
// from its neighbours' (not cut to whole numbers), and a typed upper bound
// has its label.
void TestSpectrogramMap::colourBarLabelsTellBandsApart()
{
    QFETCH(double, smallest);
    QFETCH(double, largest);
    QFETCH(double, typedMinimum);
    QFETCH(double, typedMaximum);
    QFETCH(QString, typedLabel);

    QMap<float, QColor> ramp;
    for (int k = 0; k < 25; ++k) {
        const float position = k / 24.0f;
        float moved = position;
        // As the colour dialog lays a ramp over a typed range.
        if (!typedLabel.isEmpty())
            moved = float((typedMinimum - smallest + position * (typedMaximum - typedMinimum)) / (largest - smallest));
        ramp.insert(moved, QColor::fromHsv(240 - 10 * k, 255, 255));
    }
    QLinearColorMap colours;
    colours.setColorStops(ramp);
    const double middle = 0.5 * (smallest + largest);
    KXSpectrogramMap map;
    map.resize(900, 500);
    map.contourMethod = 2;
    map.setData({column(0, {0, -50, -100}, {smallest, middle, largest}),
                 column(300, {0, -50, -100}, {smallest, middle, largest})},
                {}, &colours, 100.0);

    const QVector<KXSpectrogramMap::LegendBand> bands = map.colorBarBands();
    QVERIFY(bands.size() >= 10);
    QVERIFY(bands.first().labelled && bands.last().labelled);
    const QVector<double> stops = colours.colorStops();
    const QVector<QRgb> stopColours = colours.stopColors();
    QStringList labels;
    QRect previous;
    for (int i = 0; i < bands.size(); ++i) {
        const KXSpectrogramMap::LegendBand &b = bands[i];
        if (!b.labelled)
            continue;
        // The value the band's stop stands for, to the label's own decimals
        // (the top band past a typed bound shares that bound's colour).
        const int stop = i == bands.size() - 1 ? stopColours.lastIndexOf(b.colour) : stopColours.indexOf(b.colour);
        QVERIFY(stop >= 0);
        const double value = smallest + (largest - smallest) * stops[stop];
        const int point = b.text.indexOf('.');
        const int decimals = point < 0 ? 0 : b.text.size() - point - 1;
        bool ok = false;
        const double read = b.text.toDouble(&ok);
        QVERIFY2(ok, qPrintable(b.text));
        QVERIFY2(std::fabs(read - value) <= 0.5001 * std::pow(10.0, -decimals),
                 qPrintable(QString("%1 for %2").arg(b.text).arg(value, 0, 'g', 10)));
        QVERIFY2(!labels.contains(b.text), qPrintable(labels.join(' ') + " + " + b.text));
        labels << b.text;
        // Drawn apart.
        QVERIFY(previous.isNull() || !b.labelBox.intersects(previous));
        previous = b.labelBox;
    }
    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(map.image().save(QDir(dir).filePath(QStringLiteral("hw_map_labels_%1.png").arg(QTest::currentDataTag()).replace(' ', '_'))));
    QVERIFY2(labels.size() >= 4, qPrintable(labels.join(' ')));
    if (!typedLabel.isEmpty())
        QVERIFY2(labels.contains(typedLabel), qPrintable(labels.join(' ')));
}

void TestSpectrogramMap::clearForgetsTheSection()
{
    QLinearColorMap colours;
    colours.setColorStops(sectionfixture::ramp());
    KXSpectrogramMap map;
    map.resize(600, 400);
    map.setData(sectionfixture::section(), sectionfixture::topography(), &colours, 150.0);
    QVERIFY(map.isDataReady());
    map.clear();
    QVERIFY(!map.isDataReady());
    QVERIFY(map.image().isNull());
    QVERIFY(map.colorBarBands().isEmpty());
    // A colour change or a resize draws nothing until new data come.
    map.setColorMap(sectionfixture::ramp());
    map.resize(700, 400);
    QVERIFY(map.image().isNull());
    map.setData(sectionfixture::section(), sectionfixture::topography(), &colours, 150.0);
    QVERIFY(!map.image().isNull());
}

void TestSpectrogramMap::renderSyntheticSection()
{
    KXSpectrogramMap map;
    map.resize(1100, 520);
    map.contourMethod = 1;
    const QList<DataType_ResultData> cols = sectionfixture::section();
    QVERIFY(cols.size() > 10);
    map.setData(cols, sectionfixture::topography(), &m_colours, 150.0);
    map.show();
    QVERIFY(map.grab().save("/tmp/hw_map.png"));
    QVERIFY(map.mapWidth() > 300 && map.mapHeight() > 100);
    // True proportions: one unit of x as long as one unit of depth.
    const double unitX = map.mapWidth() / (map.xMax() - map.xMin());
    const double unitY = map.mapHeight() / (map.depthMax() - map.depthMin());
    HW_COMPARE_NEAR(unitX, unitY, 0.02);
}

QTEST_MAIN(TestSpectrogramMap)
#include "tst_spectrogram_map.moc"
