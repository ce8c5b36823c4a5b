#include <QtTest>

#include <cmath>
#include <limits>

#include "common/TestHelpers.h"
#include "model/ModelFiles.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

DataType_ResultData record(double x, const QVector<double> &levels, const QVector<double> &values)
{
    DataType_ResultData r;
    r.x = x;
    r.depth = levels;
    r.value = values;
    return r;
}

DataType_ThreeResultData profileColumn(double station, const QVector<double> &z,
                                       const QVector<double> &values)
{
    DataType_ThreeResultData c;
    c.x = 1000.0 + station;
    c.y = 2000.0;
    c.z = z;
    c.value = values;
    c.reserved = 7.0;
    c.station = station;
    return c;
}

QVector<TopoData> topo(const QVector<QPair<double, double>> &points)
{
    QVector<TopoData> t;
    for (const auto &p : points) {
        TopoData d;
        d.position = p.first;
        d.elevation = p.second;
        t.append(d);
    }
    return t;
}

QVector<double> range(double from, double to, double step)
{
    QVector<double> v;
    for (double l = from; l >= to; l -= step)
        v.append(l);
    return v;
}

// The whole-metre ladder from 0 down to -100 without topography.
QVector<double> ladder36()
{
    return range(0, -10, 1) + range(-12, -20, 2) + range(-23, -50, 3) + range(-55, -100, 5);
}

QVector<QVector<double>> gridOf(const QList<DataType_ResultData> &records)
{
    QVector<QVector<double>> grid(records.first().value.size());
    for (int r = 0; r < grid.size(); ++r) {
        for (const DataType_ResultData &rec : records)
            grid[r].append(rec.value[r]);
    }
    return grid;
}

QVector<double> positionsOf(const QList<DataType_ResultData> &records)
{
    QVector<double> p;
    for (const DataType_ResultData &rec : records)
        p.append(rec.x);
    return p;
}

bool allFinite(const QVector<double> &v)
{
    for (double d : v) {
        if (!std::isfinite(d))
            return false;
    }
    return true;
}

// Two stations whose tops (99.5 and 92) straddle the fixed 5 m levels;
// with depth 10 the cut lies at floor(92 - 10) - 1 = 81.
QList<DataType_ResultData> twoStations()
{
    return {record(10.0, {99.5, 90, 80, 60}, {10, 20, 30, 40}),
            record(30.0, {92, 85, 75}, {50, 60, 70})};
}

} // namespace

class TestModelFiles : public QObject
{
    Q_OBJECT

private slots:
    // Layered model files
    void readGoodFile();
    void readZeroRegionsStopsEarly();
    void rejectBadFile_data();
    void rejectBadFile();

    // Value range
    void valueRange_data();
    void valueRange();

    // Station columns
    void stationColumnsFixedGrid();
    void stationColumnsStepOnCut();
    void stationColumnsProgressive_data();
    void stationColumnsProgressive();
    void stationColumnsTopAbscissaMoved();
    void stationColumnsCutTakesColumnValue_data();
    void stationColumnsCutTakesColumnValue();
    void stationColumnsRefused_data();
    void stationColumnsRefused();
    void stationColumnsDegenerateRecords();

    // Row smoothing
    void smoothingWindow_data();
    void smoothingWindow();
    void smoothingKeepsFirstRowAndFlatRows();
    void smoothingZeroWindowLeavesRow_data();
    void smoothingZeroWindowLeavesRow();
    void smoothingSkipsBlankCells();

    // Sections
    void sectionGridMasksAboveSurface();
    void sectionGridSurfaceOnALevel_data();
    void sectionGridSurfaceOnALevel();
    void sectionGridIsSmoothedStationColumns();
    void profileLadder_data();
    void profileLadder();
    void profileColumnExtendedAndInterpolated();
    void profileColumnLevelBelowData();
    void profileColumnUnusable_data();
    void profileColumnUnusable();
    void sectionGrid2();
    void sectionGrid2BlanksAir();
    void sectionsEndAtEachStationsDepth_data();
    void sectionsEndAtEachStationsDepth();
    void smoothingLeavesAirOut_data();
    void smoothingLeavesAirOut();

    // Lifting profile columns onto the ground
    void applyTopography_data();
    void applyTopography();
};

// ---------------------------------------------------------------------------

void TestModelFiles::readGoodFile()
{
    LayerModeler m;
    QVERIFY(ModelFiles::readModelFile(HW_TEST_DATA_DIR "/model_good.txt", m));

    QCOMPARE(m.name, QString::fromUtf8("二层模型 A, test: 1"));
    QCOMPARE(m.x0, 0.0);
    QCOMPARE(m.x1, 200.0);
    QCOMPARE(m.z0, -100.0);
    QCOMPARE(m.z1, 0.0);
    QCOMPARE(m.regionCount, 3);
    QCOMPARE(m.regions.size(), 3);

    const ModelRegion &a = m.regions[0];
    QCOMPARE(a.number, 1);
    QCOMPARE(a.colour, QColor(255, 0, 0, 255));
    QCOMPARE(a.pointCount, 3);
    QCOMPARE(a.x, QVector<double>({0.5, 100, 200}));
    QCOMPARE(a.z, QVector<double>({-10, -10, -50}));

    // Separators of every kind, and a point count of 0.
    const ModelRegion &b = m.regions[1];
    QCOMPARE(b.number, 2);
    QCOMPARE(b.colour, QColor(0, 128, 255, 255));
    QCOMPARE(b.pointCount, 0);
    QVERIFY(b.x.isEmpty());
    QVERIFY(b.z.isEmpty());

    // Leading separators give no empty token; non-numbers read as 0.
    const ModelRegion &c = m.regions[2];
    QCOMPARE(c.number, 7);
    QCOMPARE(c.colour, QColor(0, 0, 0, 255));
    QCOMPARE(c.x, QVector<double>({12}));
    QCOMPARE(c.z, QVector<double>({-3.5}));
}

void TestModelFiles::readZeroRegionsStopsEarly()
{
    LayerModeler m;
    m.regions.append(ModelRegion());
    // The malformed lines after the count are never read.
    QVERIFY(ModelFiles::readModelFile(HW_TEST_DATA_DIR "/model_zero_regions.txt", m));
    QCOMPARE(m.name, QString("Empty model"));
    QCOMPARE(m.x1, 10.0);
    QCOMPARE(m.z0, -5.0);
    QCOMPARE(m.regionCount, 0);
    QVERIFY(m.regions.isEmpty());
}

void TestModelFiles::rejectBadFile_data()
{
    QTest::addColumn<QString>("path");
    const QString dir = HW_TEST_DATA_DIR;
    QTest::newRow("missing file") << dir + "/no_such_model.txt";
    QTest::newRow("directory, cannot be read") << dir;
    QTest::newRow("empty file") << dir + "/model_empty.txt";
    QTest::newRow("title only") << dir + "/model_header_only.txt";
    QTest::newRow("extent short of z1") << dir + "/model_short_extent.txt";
    QTest::newRow("count line short") << dir + "/model_short_count.txt";
    QTest::newRow("fewer regions than announced") << dir + "/model_missing_region.txt";
    QTest::newRow("fewer points than announced") << dir + "/model_missing_points.txt";
    QTest::newRow("colour without blue") << dir + "/model_short_colour.txt";
    QTest::newRow("point without z") << dir + "/model_short_point.txt";
    QTest::newRow("blank line as region number") << dir + "/model_blank_line.txt";
}

void TestModelFiles::rejectBadFile()
{
    QFETCH(QString, path);
    LayerModeler m;
    m.name = "kept";
    m.x0 = 1;
    m.x1 = 2;
    m.z0 = 3;
    m.z1 = 4;
    m.regionCount = 1;
    ModelRegion r;
    r.number = 9;
    r.x = {1.0};
    r.z = {2.0};
    r.pointCount = 1;
    m.regions.append(r);

    QVERIFY(!ModelFiles::readModelFile(path, m));
    QCOMPARE(m.name, QString("kept"));
    QCOMPARE(m.x0, 1.0);
    QCOMPARE(m.x1, 2.0);
    QCOMPARE(m.z0, 3.0);
    QCOMPARE(m.z1, 4.0);
    QCOMPARE(m.regionCount, 1);
    QCOMPARE(m.regions.size(), 1);
    QCOMPARE(m.regions[0].number, 9);
    QCOMPARE(m.regions[0].x, QVector<double>({1.0}));
}

// ---------------------------------------------------------------------------

void TestModelFiles::valueRange_data()
{
    QTest::addColumn<QList<DataType_ResultData>>("results");
    QTest::addColumn<float>("largest");
    QTest::addColumn<float>("smallest");

    QTest::newRow("empty list") << QList<DataType_ResultData>() << -10000.0f << 10000.0f;
    QTest::newRow("all below -10000")
        << QList<DataType_ResultData>{record(0, {1, 2}, {-20000, -15000})} << -10000.0f
        << -20000.0f;
    QTest::newRow("all above 10000")
        << QList<DataType_ResultData>{record(0, {1}, {25000})} << 25000.0f << 10000.0f;
    QTest::newRow("several records")
        << QList<DataType_ResultData>{record(0, {1, 2}, {5.5, 300}), record(1, {}, {}),
                                      record(2, {1, 2, 3}, {0.25, 12, 7})}
        << 300.0f << 0.25f;
    QTest::newRow("NaN ignored")
        << QList<DataType_ResultData>{record(0, {1, 2, 3}, {kNaN, 4, 2})} << 4.0f << 2.0f;
}

void TestModelFiles::valueRange()
{
    QFETCH(QList<DataType_ResultData>, results);
    QFETCH(float, largest);
    QFETCH(float, smallest);
    ModelFiles files;
    QCOMPARE(files.maxValue(results), largest);
    QCOMPARE(files.minValue(results), smallest);
}

// ---------------------------------------------------------------------------

void TestModelFiles::stationColumnsFixedGrid()
{
    // Tops 99.5 and 98, depth 10: Top = 100, Cut = floor(88) - 1 = 87.
    const QList<DataType_ResultData> in{record(5.0, {99.5, 90, 80}, {10, 20, 30}),
                                        record(15.0, {98, 88, 78}, {40, 50, 60})};
    const QList<DataType_ResultData> out =
        ModelFiles::buildStationColumns(in, 10.0, 100.0, GRID_FIXED, 5.0);
    QCOMPARE(out.size(), 2);
    const QVector<double> levels{100, 95, 90, 87};
    QCOMPARE(out[0].depth, levels);
    QCOMPARE(out[1].depth, levels);
    QCOMPARE(out[0].x, 5.0);
    QCOMPARE(out[1].x, 15.0);

    // At the cut: the column's own value there, between its points above
    // and below it.
    HW_COMPARE_VECTORS(out[0].value, QVector<double>({10, 10 + 10 * 4.5 / 9.5, 20, 23}),
                       1e-12, 1e-12);
    HW_COMPARE_VECTORS(out[1].value, QVector<double>({40, 43, 48, 51}), 1e-12, 1e-12);
}

void TestModelFiles::stationColumnsStepOnCut()
{
    const QList<DataType_ResultData> in{record(5.0, {99.5, 90, 80}, {10, 20, 30}),
                                        record(15.0, {98, 88, 78}, {40, 50, 60})};
    const QList<DataType_ResultData> out =
        ModelFiles::buildStationColumns(in, 10.0, 100.0, GRID_FIXED, 6.5);
    QCOMPARE(out.size(), 2);
    QCOMPARE(out[0].depth, QVector<double>({100, 93.5, 87}));
    QCOMPARE(out[0].value.size(), 3);
}

void TestModelFiles::stationColumnsProgressive_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<QVector<double>>("firstSteps");

    QTest::newRow("factor 1.0") << 1.0 << QVector<double>({1, 1, 1, 1, 1, 1, 1});
    QTest::newRow("factor 1.5") << 1.5 << QVector<double>({1, 1.5, 2.25, 3.375, 5, 5, 5});
}

void TestModelFiles::stationColumnsProgressive()
{
    QFETCH(double, factor);
    QFETCH(QVector<double>, firstSteps);

    // Top 0, depth 100: Cut = -100 - 10 = -110.
    const QList<DataType_ResultData> in{record(0, {0, -50, -200}, {100, 50, 10}),
                                        record(10, {0, -40, -300}, {80, 40, 20})};
    const QList<DataType_ResultData> out =
        ModelFiles::buildStationColumns(in, 100.0, 100.0, GRID_PROGRESSIVE, factor);
    QCOMPARE(out.size(), 2);
    const QVector<double> &levels = out[0].depth;
    QCOMPARE(out[1].depth, levels);
    QCOMPARE(levels.first(), 0.0);
    QCOMPARE(levels.last(), -110.0);
    QVERIFY(levels.size() > firstSteps.size() + 1);

    for (int i = 0; i + 2 < levels.size(); ++i) {
        const double step = levels[i] - levels[i + 1];
        const double expected = i < firstSteps.size() ? firstSteps[i] : firstSteps.last();
        HW_COMPARE_NEAR(step, expected, 1e-12);
    }
    // The cut is appended once, closer than a full step.
    const double lastStep = levels[levels.size() - 2] - levels.last();
    QVERIFY(lastStep > 0 && lastStep <= firstSteps.last());
    QVERIFY(allFinite(out[0].value));
    QVERIFY(allFinite(out[1].value));
}

void TestModelFiles::stationColumnsTopAbscissaMoved()
{
    // Record 0's first value (7) lies below the cut, its first kept level
    // equals Top. Top keeps the record's first value: the kept level moves
    // to 99.99 instead of merging with Top and taking its value 1.
    const QList<DataType_ResultData> in{record(0, {50, 100, 95}, {7, 1, 2}),
                                        record(10, {99, 94}, {3, 4})};
    const QList<DataType_ResultData> out =
        ModelFiles::buildStationColumns(in, 2.0, 100.0, GRID_FIXED, 1.0);
    QCOMPARE(out.size(), 2);
    QCOMPARE(out[0].depth, QVector<double>({100, 99, 98, 97, 96}));
    QCOMPARE(out[0].value[0], 7.0);
    // Between (99.99, 1) and the cut (96, 1.8): the record's own value at
    // 96, between (100, 1) and (95, 2).
    HW_COMPARE_NEAR(out[0].value[1], 1 + (1.8 - 1) * (0.99 / 3.99), 1e-9);
}

void TestModelFiles::stationColumnsCutTakesColumnValue_data()
{
    QTest::addColumn<QList<DataType_ResultData>>("results");
    QTest::addColumn<QVector<double>>("atCut");

    // Depth 100, tops 0: the cut lies at -110. The models relax towards a
    // large value far below the cut, which must not reach the section.
    QTest::newRow("half-space relaxing at depth")
        << QList<DataType_ResultData>{record(0, {0, -50, -100, -150, -300}, {1, 1, 1, 1, 100}),
                                      record(10, {0, -60, -120, -400}, {1, 1, 1, 1000})}
        << QVector<double>({1, 1});
    QTest::newRow("gradient across the cut")
        << QList<DataType_ResultData>{record(0, {0, -100, -120, -500}, {10, 20, 40, 900}),
                                      record(10, {0, -110, -200}, {5, 7, 3000})}
        << QVector<double>({30, 7});
    QTest::newRow("record ending above the cut keeps its deepest value")
        << QList<DataType_ResultData>{record(0, {0, -50, -80}, {3, 4, 6}),
                                      record(10, {0, -200}, {2, 500})}
        << QVector<double>({6, 2 + 498 * 0.55});
}

void TestModelFiles::stationColumnsCutTakesColumnValue()
{
    QFETCH(QList<DataType_ResultData>, results);
    QFETCH(QVector<double>, atCut);

    const QList<DataType_ResultData> columns =
        ModelFiles::buildStationColumns(results, 100.0, 100.0, GRID_FIXED, 5.0);
    QCOMPARE(columns.size(), atCut.size());
    for (int c = 0; c < columns.size(); ++c) {
        QCOMPARE(columns[c].depth.last(), -110.0);
        HW_COMPARE_NEAR(columns[c].value.last(), atCut[c], 1e-9);
    }

    // Smoothing mixes neighbouring stations only: a section of a uniform
    // earth stays uniform down to each station's depth.
    if (QByteArray(QTest::currentDataTag()) == "half-space relaxing at depth") {
        const QList<DataType_ResultData> out =
            ModelFiles::buildSectionGrid(results, 100.0, 100.0, 0.3, GRID_FIXED, 5.0);
        for (const DataType_ResultData &r : out) {
            int cells = 0;
            for (double v : r.value) {
                if (v > ModelFiles::kNoValueLimit) {
                    HW_COMPARE_NEAR(v, 1.0, 1e-12);
                    ++cells;
                }
            }
            QVERIFY(cells > 10);
        }
    }
}

void TestModelFiles::stationColumnsRefused_data()
{
    QTest::addColumn<QList<DataType_ResultData>>("results");
    QTest::addColumn<double>("depth");
    QTest::addColumn<int>("pattern");
    QTest::addColumn<double>("value");

    const QList<DataType_ResultData> good = twoStations();
    QTest::newRow("fixed spacing 0") << good << 100.0 << int(GRID_FIXED) << 0.0;
    QTest::newRow("fixed spacing negative") << good << 100.0 << int(GRID_FIXED) << -5.0;
    QTest::newRow("fixed spacing NaN") << good << 100.0 << int(GRID_FIXED) << kNaN;
    QTest::newRow("fixed spacing too fine") << good << 100.0 << int(GRID_FIXED) << 1e-9;
    QTest::newRow("progressive factor below 1") << good << 100.0 << int(GRID_PROGRESSIVE) << 0.9;
    QTest::newRow("progressive factor 0") << good << 100.0 << int(GRID_PROGRESSIVE) << 0.0;
    QTest::newRow("unknown pattern") << good << 100.0 << 2 << 5.0;
    QTest::newRow("negative depth") << good << -10.0 << int(GRID_FIXED) << 5.0;
    QTest::newRow("infinite depth")
        << good << std::numeric_limits<double>::infinity() << int(GRID_FIXED) << 5.0;
    QTest::newRow("empty list") << QList<DataType_ResultData>() << 100.0 << int(GRID_FIXED) << 5.0;
    QTest::newRow("no usable point")
        << QList<DataType_ResultData>{record(0, {}, {}), record(1, {kNaN}, {3})} << 100.0
        << int(GRID_FIXED) << 5.0;
}

void TestModelFiles::stationColumnsRefused()
{
    QFETCH(QList<DataType_ResultData>, results);
    QFETCH(double, depth);
    QFETCH(int, pattern);
    QFETCH(double, value);
    QVERIFY(ModelFiles::buildStationColumns(results, depth, 100.0, pattern, value).isEmpty());
    QVERIFY(ModelFiles::buildSectionGrid(results, depth, 100.0, 0.3, pattern, value).isEmpty());
}

void TestModelFiles::stationColumnsDegenerateRecords()
{
    // Repeated levels, a NaN pair, a one-point record and a record without
    // points: no crash, finite values, the empty record left out.
    const QList<DataType_ResultData> in{
        record(0, {20, 10, 10, 0, -90}, {5, 6, 7, 8, 9}),
        record(5, {19, kNaN, 0, -100}, {1, 2, 3, 4}),
        record(10, {15}, {42}),
        record(15, {}, {}),
        record(20, {18, 18, -120}, {kNaN, 2, 3}),
    };
    const QList<DataType_ResultData> out =
        ModelFiles::buildSectionGrid(in, 100.0, 100.0, 0.3, GRID_FIXED, 5.0);
    QCOMPARE(out.size(), 4);
    QCOMPARE(out[0].x, 0.0);
    QCOMPARE(out[3].x, 20.0);
    for (const DataType_ResultData &r : out) {
        QCOMPARE(r.depth.size(), out[0].depth.size());
        QCOMPARE(r.value.size(), r.depth.size());
        QVERIFY(allFinite(r.value));
        QVERIFY(allFinite(r.depth));
    }
}

// ---------------------------------------------------------------------------

void TestModelFiles::smoothingWindow_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("below");
    QTest::addColumn<double>("window");

    QTest::newRow("f 0.3, 100 below: 60") << 0.3 << 100.0 << 60.0;
    QTest::newRow("f 0.3, 600 below: capped at 300") << 0.3 << 600.0 << 300.0;
    QTest::newRow("f 0.5, 200 below: 200") << 0.5 << 200.0 << 200.0;
    QTest::newRow("f 0.5, 400 below: 350") << 0.5 << 400.0 << 350.0;
    QTest::newRow("f 2.0, 100 below: 500") << 2.0 << 100.0 << 500.0;
}

void TestModelFiles::smoothingWindow()
{
    QFETCH(double, factor);
    QFETCH(double, below);
    QFETCH(double, window);

    QVector<QVector<double>> grid{{3, 4}, {1, 10}};
    ModelFiles::smoothSectionRows(grid, factor, {50, 50 - below}, {0, 50});

    // Cosine weight of the neighbour 50 away; the right cell sees the left
    // one already smoothed.
    const double w = 0.5 * std::cos(M_PI * 50 / window) + 0.5;
    const double left = (1 + w * 10) / (1 + w);
    const double right = (w * left + 10) / (1 + w);
    HW_COMPARE_VECTORS(grid[1], QVector<double>({left, right}), 1e-12, 1e-12);
    QCOMPARE(grid[0], QVector<double>({3, 4}));
}

void TestModelFiles::smoothingKeepsFirstRowAndFlatRows()
{
    QVector<QVector<double>> grid{{1, 9, 2, 8}, {5, 5, 5, 5}, {1, 100, 1, 100}};
    ModelFiles::smoothSectionRows(grid, 0.3, {0, -100, -500}, {0, 10, 25, 60});
    QCOMPARE(grid[0], QVector<double>({1, 9, 2, 8}));
    HW_COMPARE_VECTORS(grid[1], QVector<double>({5, 5, 5, 5}), 1e-12, 1e-12);
    // The deep row is evened out but stays within its range.
    for (double v : grid[2])
        QVERIFY(v > 1 && v < 100);
    QVERIFY(std::fabs(grid[2][1] - grid[2][0]) < 99);
}

void TestModelFiles::smoothingZeroWindowLeavesRow_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<QVector<double>>("levels");

    QTest::newRow("factor 0") << 0.0 << QVector<double>({0, -50, -100});
    QTest::newRow("negative factor") << -0.5 << QVector<double>({0, -50, -100});
    QTest::newRow("rows level with the top") << 0.3 << QVector<double>({0, 0, 0});
}

void TestModelFiles::smoothingZeroWindowLeavesRow()
{
    QFETCH(double, factor);
    QFETCH(QVector<double>, levels);
    const QVector<QVector<double>> before{{1, 2, 3}, {4, 50, 6}, {7, 8, 90}};
    QVector<QVector<double>> grid = before;
    ModelFiles::smoothSectionRows(grid, factor, levels, {0, 10, 20});
    QCOMPARE(grid, before);
}

// A blank cell stays blank and is no neighbour of the others: the row is
// smoothed as if the column were not there.
void TestModelFiles::smoothingSkipsBlankCells()
{
    const double blank = ModelFiles::kNoValue;
    QVector<QVector<double>> grid{{1, 1, 1}, {blank, 10, 40}};
    QVector<QVector<double>> without{{1, 1}, {10, 40}};
    ModelFiles::smoothSectionRows(grid, 0.3, {0, -200}, {0, 50, 100});
    ModelFiles::smoothSectionRows(without, 0.3, {0, -200}, {50, 100});
    QCOMPARE(grid[1][0], blank);
    HW_COMPARE_VECTORS(grid[1].mid(1), without[1], 1e-12, 1e-12);
    QVERIFY(grid[1][1] > 10.0);
}

// ---------------------------------------------------------------------------

void TestModelFiles::sectionGridMasksAboveSurface()
{
    // Levels 100, 95, 90, 85 and the cut 81. Station 0 (top 99.5) has 100
    // moved onto its surface and 85 onto its floor 89.5; station 1 (top 92)
    // has 100 blanked, 95 moved onto 92 and the cut onto its floor 82.
    const QList<DataType_ResultData> out =
        ModelFiles::buildSectionGrid(twoStations(), 10.0, 100.0, 0.0, GRID_FIXED, 5.0);
    const QList<DataType_ResultData> columns =
        ModelFiles::buildStationColumns(twoStations(), 10.0, 100.0, GRID_FIXED, 5.0);
    QCOMPARE(out.size(), 2);
    QCOMPARE(columns[0].depth, QVector<double>({100, 95, 90, 85, 81}));

    QCOMPARE(out[0].depth, QVector<double>({99.5, 95, 90, 89.5, 81}));
    QCOMPARE(out[0].value[0], 10.0);
    QCOMPARE(out[0].value.mid(1, 2), columns[0].value.mid(1, 2));
    HW_COMPARE_NEAR(out[0].value[3], columns[0].value[2] + (columns[0].value[3] - columns[0].value[2]) * 0.1, 1e-12);
    QCOMPARE(out[0].value[4], ModelFiles::kNoValue);

    QCOMPARE(out[1].depth, QVector<double>({100, 92, 90, 85, 82}));
    QCOMPARE(out[1].value[0], ModelFiles::kNoValue);
    QCOMPARE(out[1].value[1], 50.0);
    QCOMPARE(out[1].value.mid(2, 2), columns[1].value.mid(2, 2));
    HW_COMPARE_NEAR(out[1].value[4], columns[1].value[3] + (columns[1].value[4] - columns[1].value[3]) * 0.75, 1e-12);
}

void TestModelFiles::sectionGridSurfaceOnALevel_data()
{
    QTest::addColumn<double>("factor");

    QTest::newRow("unsmoothed") << 0.0;
    // Stations 20 apart, 5 below the top: a window of 40 weighs the
    // neighbour by 0.5, so the smoothed cell on the surface differs from
    // the station's own top value.
    QTest::newRow("smoothed") << 4.0;
}

// The grid of the station columns with the air and what lies below each
// column's floor blanked, as the section smooths it.
static QVector<QVector<double>> groundGrid(const QList<DataType_ResultData> &columns, const QVector<double> &surfaces,
                                           double depth)
{
    QVector<QVector<double>> grid = gridOf(columns);
    for (int c = 0; c < columns.size(); ++c) {
        bool below = false;
        for (int r = 0; r < grid.size(); ++r) {
            if (columns[c].depth[r] > surfaces[c] || below)
                grid[r][c] = ModelFiles::kNoValue;
            below = below || columns[c].depth[r] <= surfaces[c] - depth;
        }
    }
    return grid;
}

void TestModelFiles::sectionGridSurfaceOnALevel()
{
    QFETCH(double, factor);
    // Station 1's surface (95) lies exactly on a level: the level above it is
    // blanked rather than moved onto 95, which would repeat that level and
    // make the column unusable for the section views; the level on the
    // surface keeps its smoothed cell. Its floor (85) lies on a level too
    // and stays there; the cut (84) below it is blank.
    const QList<DataType_ResultData> in{record(10.0, {100, 90, 80, 60}, {10, 20, 30, 40}),
                                        record(30.0, {95, 85, 75}, {50, 60, 70})};
    const QList<DataType_ResultData> out =
        ModelFiles::buildSectionGrid(in, 10.0, 100.0, factor, GRID_FIXED, 5.0);
    const QList<DataType_ResultData> columns =
        ModelFiles::buildStationColumns(in, 10.0, 100.0, GRID_FIXED, 5.0);
    QCOMPARE(columns[1].depth, QVector<double>({100, 95, 90, 85, 84}));
    QVector<QVector<double>> grid = groundGrid(columns, {100, 95}, 10.0);
    ModelFiles::smoothSectionRows(grid, factor, columns[0].depth, positionsOf(columns));
    QCOMPARE(out.size(), 2);
    QCOMPARE(out[1].depth, columns[1].depth);
    QCOMPARE(out[1].value[0], ModelFiles::kNoValue);
    QCOMPARE(out[1].value[4], ModelFiles::kNoValue);
    for (int r = 1; r < 4; ++r)
        QCOMPARE(out[1].value[r], grid[r][1]);
    if (factor > 0.0)
        QVERIFY(std::fabs(out[1].value[1] - 50.0) > 1.0);
}

void TestModelFiles::sectionGridIsSmoothedStationColumns()
{
    // Surfaces 10, 12 and 4; levels 12, 7, 2, ... down to the cut -106;
    // floors -90, -88 and -96.
    const QList<DataType_ResultData> in{record(0, {10, -20, -60, -150}, {100, 20, 300, 40}),
                                        record(40, {12, -30, -80, -140}, {90, 10, 250, 60}),
                                        record(80, {4, -10, -90, -160}, {70, 30, 200, 80})};
    const QList<DataType_ResultData> columns =
        ModelFiles::buildStationColumns(in, 100.0, 100.0, GRID_FIXED, 5.0);
    QCOMPARE(columns.size(), 3);
    QCOMPARE(columns[0].depth.first(), 12.0);
    QCOMPARE(columns[0].depth.last(), -106.0);
    const QVector<double> surfaces{10, 12, 4};
    QVector<QVector<double>> grid = groundGrid(columns, surfaces, 100.0);
    ModelFiles::smoothSectionRows(grid, 0.3, columns[0].depth, positionsOf(columns));

    const QList<DataType_ResultData> out =
        ModelFiles::buildSectionGrid(in, 100.0, 55.0, 0.3, GRID_FIXED, 5.0);
    QCOMPARE(out.size(), 3);
    // Between each surface and floor the cells are the smoothed ground
    // cells; the level below the floor moves onto it, linear between the
    // rows about it; the rest is blank.
    const int firstSmoothed[] = {1, 0, 2};
    for (int c = 0; c < out.size(); ++c) {
        QCOMPARE(out[c].x, columns[c].x);
        const double floor = surfaces[c] - 100.0;
        int last = 0;
        while (columns[c].depth[last] > floor)
            ++last;
        for (int r = firstSmoothed[c]; r < last; ++r) {
            QCOMPARE(out[c].depth[r], columns[c].depth[r]);
            QCOMPARE(out[c].value[r], grid[r][c]);
        }
        QCOMPARE(out[c].depth[last], floor);
        const double t = (columns[c].depth[last - 1] - floor) / 5.0;
        HW_COMPARE_NEAR(out[c].value[last], grid[last - 1][c] + t * (grid[last][c] - grid[last - 1][c]), 1e-12);
        for (int r = last + 1; r < out[c].value.size(); ++r)
            QCOMPARE(out[c].value[r], ModelFiles::kNoValue);
    }
    QVERIFY(grid[20] != gridOf(columns)[20]);   // level -88: window 60

    QCOMPARE(out[0].depth[0], 10.0);
    QCOMPARE(out[0].value[0], 100.0);
    QCOMPARE(out[2].depth[0], 12.0);
    QCOMPARE(out[2].value[0], ModelFiles::kNoValue);
    QCOMPARE(out[2].depth[1], 4.0);
    QCOMPARE(out[2].value[1], 70.0);
}

// ---------------------------------------------------------------------------

void TestModelFiles::profileLadder_data()
{
    QTest::addColumn<QVector<TopoData>>("topography");
    QTest::addColumn<double>("depth");
    QTest::addColumn<QVector<double>>("levels");

    QTest::newRow("no topography, depth 100: 36 levels")
        << QVector<TopoData>() << 100.0 << ladder36();
    QTest::newRow("depth 150 continues by 10")
        << QVector<TopoData>() << 150.0 << ladder36() + range(-110, -150, 10);
    QTest::newRow("top 5.5, bottom -3: the short road")
        << topo({{0, 5.5}}) << 8.5 << range(5, -3, 1);
    QTest::newRow("bottom above T - 20: step 2 from T - 11")
        << QVector<TopoData>() << 15.0 << range(0, -10, 1) + QVector<double>({-11, -13, -15});
    QTest::newRow("bottom above T - 50: step 3")
        << QVector<TopoData>() << 30.0
        << range(0, -10, 1) + range(-12, -20, 2) + QVector<double>({-23, -26, -29});
    QTest::newRow("bottom above T - 100: step 5")
        << QVector<TopoData>() << 70.0
        << range(0, -10, 1) + range(-12, -20, 2) + range(-23, -50, 3)
               + QVector<double>({-55, -60, -65, -70});
    QTest::newRow("topography 40 to 20, depth 100")
        << topo({{0, 20}, {50, 40.7}, {100, 30}}) << 100.0
        << range(40, 30, 1) + range(28, 20, 2) + range(17, -10, 3) + range(-15, -60, 5)
               + range(-70, -80, 10);
    QTest::newRow("negative top: no repeated level")
        << topo({{0, -5.5}}) << 15.0 << range(-6, -16, 1) + QVector<double>({-18, -20});
}

void TestModelFiles::profileLadder()
{
    QFETCH(QVector<TopoData>, topography);
    QFETCH(double, depth);
    QFETCH(QVector<double>, levels);

    const DataType_ThreeResultData in = profileColumn(3, {0, -30, -80}, {10, 100, 1000});
    const DataType_ThreeResultData out = ModelFiles::resampleProfileColumn(in, topography, depth);
    QCOMPARE(out.z, levels);
    QCOMPARE(out.value.size(), levels.size());
    QVERIFY(allFinite(out.value));
}

void TestModelFiles::profileColumnExtendedAndInterpolated()
{
    // Top 0 lies above the column: prepended with its shallowest value
    // (100), not its smallest (30), which would pull the cells just below
    // the ground toward it. Bottom -100 lies below it: appended with the
    // mean of the extended values (100 + 100 + 50 + 30) / 4.
    const DataType_ThreeResultData in = profileColumn(12.5, {-10, -20, -30}, {100, 50, 30});
    const DataType_ThreeResultData out = ModelFiles::resampleProfileColumn(in, {}, 100.0);
    QCOMPARE(out.z, ladder36());
    QCOMPARE(out.x, in.x);
    QCOMPARE(out.y, in.y);
    QCOMPARE(out.reserved, in.reserved);
    QCOMPARE(out.station, in.station);

    const QVector<double> &z = out.z;
    for (double level : {0.0, -1.0, -5.0, -10.0})
        HW_COMPARE_NEAR(out.value[z.indexOf(level)], 100.0, 1e-12);
    HW_COMPARE_NEAR(out.value[z.indexOf(-20)], 50.0, 1e-12);
    HW_COMPARE_NEAR(out.value[z.indexOf(-100)], 70.0, 1e-12);
    // Steffen keeps the values between their neighbours.
    const double v = out.value[z.indexOf(-50)];
    QVERIFY(v >= 30.0 && v <= 70.0);

    // A column that already spans the ladder is not extended.
    const DataType_ThreeResultData wide =
        profileColumn(0, {5, -10, -60, -120}, {100, 200, 300, 400});
    const DataType_ThreeResultData w = ModelFiles::resampleProfileColumn(wide, {}, 100.0);
    HW_COMPARE_NEAR(w.value[w.z.indexOf(-10)], 200.0, 1e-12);
    QVERIFY(w.value[0] > 100.0 && w.value[0] < 200.0);
}

void TestModelFiles::profileColumnLevelBelowData()
{
    // top 5.5, bottom -4.5: the first block runs to -5, below the bottom
    // and every z; that level takes the value at the bottom.
    const DataType_ThreeResultData in = profileColumn(0, {0, -2}, {10, 20});
    const DataType_ThreeResultData out =
        ModelFiles::resampleProfileColumn(in, topo({{0, 5.5}}), 10.0);
    QCOMPARE(out.z, range(5, -5, 1));
    QVERIFY(allFinite(out.value));
    HW_COMPARE_NEAR(out.value.last(), 40.0 / 3.0, 1e-12);
    HW_COMPARE_NEAR(out.value.first(), 10.0, 1e-12);
}

void TestModelFiles::profileColumnUnusable_data()
{
    QTest::addColumn<DataType_ThreeResultData>("column");
    QTest::addColumn<double>("depth");

    QTest::newRow("no z") << profileColumn(1, {}, {}) << 100.0;
    QTest::newRow("only NaN") << profileColumn(1, {kNaN, -5}, {3, kNaN}) << 100.0;
    QTest::newRow("negative depth") << profileColumn(1, {0, -5}, {1, 2}) << -1.0;
    QTest::newRow("infinite depth")
        << profileColumn(1, {0, -5}, {1, 2}) << std::numeric_limits<double>::infinity();
    QTest::newRow("depth too large for the ladder") << profileColumn(1, {0, -5}, {1, 2}) << 1e12;
}

void TestModelFiles::profileColumnUnusable()
{
    QFETCH(DataType_ThreeResultData, column);
    QFETCH(double, depth);
    const DataType_ThreeResultData out = ModelFiles::resampleProfileColumn(column, {}, depth);
    QVERIFY(out.z.isEmpty());
    QVERIFY(out.value.isEmpty());
    QCOMPARE(out.station, column.station);
}

void TestModelFiles::sectionGrid2()
{
    const QVector<TopoData> ground = topo({{0, 12}, {100, 8}});
    const QList<DataType_ThreeResultData> in{
        profileColumn(0, {12, -10, -60}, {100, 50, 500}),
        profileColumn(50, {}, {}),   // nothing to resample: left out
        profileColumn(100, {8, -20, -90}, {80, 40, 300}),
        profileColumn(150, {10, -5, -95}, {60, 45, 200}),
    };

    const QList<DataType_ResultData> raw = ModelFiles::buildSectionGrid2(in, 0.0, ground, 100.0);
    QCOMPARE(raw.size(), 3);
    QCOMPARE(positionsOf(raw), QVector<double>({0, 100, 150}));
    // Ground 12, 8 and (past the topography) its mean 10.
    const double surface[] = {12, 8, 10};
    QVector<QVector<double>> unsmoothed(raw[0].depth.size());
    for (int c = 0; c < raw.size(); ++c) {
        const DataType_ThreeResultData single =
            ModelFiles::resampleProfileColumn(in[c == 0 ? 0 : c + 1], ground, 100.0);
        QCOMPARE(raw[c].depth, single.z);
        for (int r = 0; r < single.z.size(); ++r) {
            unsmoothed[r].append(single.value[r]);
            QCOMPARE(raw[c].value[r], single.z[r] > surface[c] ? ModelFiles::kNoValue : single.value[r]);
        }
    }
    QCOMPARE(raw[0].depth.first(), 12.0);

    ModelFiles::smoothSectionRows(unsmoothed, 0.3, raw[0].depth, positionsOf(raw));
    const QList<DataType_ResultData> smooth = ModelFiles::buildSectionGrid2(in, 0.3, ground, 100.0);
    QCOMPARE(smooth.size(), 3);
    for (int c = 0; c < smooth.size(); ++c) {
        for (int r = 0; r < smooth[c].depth.size(); ++r) {
            const double air = smooth[c].depth[r] > surface[c];
            QCOMPARE(smooth[c].value[r], air ? ModelFiles::kNoValue : unsmoothed[r][c]);
        }
    }
    QVERIFY(gridOf(smooth) != gridOf(raw));

    QVERIFY(ModelFiles::buildSectionGrid2({}, 0.3, ground, 100.0).isEmpty());
}

void TestModelFiles::sectionGrid2BlanksAir()
{
    // Grounds 10.5, 5.5 and 8 under a ladder from 10.5 down: every level
    // above a station's ground is air (blank), every level at or below it
    // holds a resistivity, smoothed or not.
    const QVector<TopoData> ground = topo({{0, 10.5}, {10, 5.5}, {20, 8}});
    const QVector<double> below{0, 5, 20, 60, 120};
    QList<DataType_ThreeResultData> in;
    for (const auto &g : ground) {
        QVector<double> z;
        for (double d : below)
            z.append(g.elevation - d);
        in.append(profileColumn(g.position, z, {1000, 1000, 1000, 1000, 1000}));
    }
    for (double factor : {0.0, 0.3}) {
        const QList<DataType_ResultData> out = ModelFiles::buildSectionGrid2(in, factor, ground, 100.0);
        QCOMPARE(out.size(), 3);
        QCOMPARE(out[0].depth.first(), 10.0);
        int blanks = 0;
        for (int c = 0; c < out.size(); ++c) {
            for (int r = 0; r < out[c].depth.size(); ++r) {
                if (out[c].depth[r] > ground[c].elevation) {
                    QCOMPARE(out[c].value[r], ModelFiles::kNoValue);
                    ++blanks;
                } else {
                    HW_COMPARE_NEAR(out[c].value[r], 1000.0, 1e-9);
                }
            }
        }
        QCOMPARE(blanks, 5 + 2);   // 10..6 above 5.5; 10 and 9 above 8
    }
}

// Three stations on relief (grounds 100, 20 and 60, 20 m apart), resistivity
// growing with the depth below each station's ground: a section of either
// method, inverted to 50 m.
static QList<DataType_ResultData> reliefSection(int method, double factor)
{
    const QVector<TopoData> ground = topo({{0, 100}, {20, 20}, {40, 60}});
    QList<DataType_ResultData> results;
    QList<DataType_ThreeResultData> columns;
    for (const TopoData &g : ground) {
        QVector<double> levels, values;
        for (double d = 0; d <= 200; d += 10) {
            levels.append(g.elevation - d);
            values.append(100 + 5 * d);
        }
        results.append(record(g.position, levels, values));
        columns.append(profileColumn(g.position, levels, values));
    }
    return method == 1 ? ModelFiles::buildSectionGrid(results, 50.0, 100.0, factor, GRID_FIXED, 5.0)
                       : ModelFiles::buildSectionGrid2(columns, factor, ground, 50.0);
}

void TestModelFiles::sectionsEndAtEachStationsDepth_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<double>("factor");
    QTest::newRow("station by station") << 1 << 0.0;
    QTest::newRow("station by station, smoothed") << 1 << 0.3;
    QTest::newRow("profile") << 2 << 0.0;
    QTest::newRow("profile, smoothed") << 2 << 0.3;
}

// Every column ends at its own ground less the inversion depth, as the
// section plot clips it; nothing of the line's deepest cut shows under the
// higher stations.
void TestModelFiles::sectionsEndAtEachStationsDepth()
{
    QFETCH(int, method);
    QFETCH(double, factor);
    const QList<DataType_ResultData> out = reliefSection(method, factor);
    QCOMPARE(out.size(), 3);
    const double grounds[] = {100, 20, 60};
    for (int c = 0; c < out.size(); ++c) {
        const DataType_ResultData &col = out[c];
        const double floor = grounds[c] - 50.0;
        int last = -1;
        for (int r = 0; r < col.value.size(); ++r) {
            if (r > 0)
                QVERIFY(col.depth[r] < col.depth[r - 1]);
            if (col.value[r] > ModelFiles::kNoValueLimit) {
                QVERIFY2(col.depth[r] >= floor - 1e-9 && col.depth[r] <= grounds[c] + 1e-9,
                         qPrintable(QString("station %1, level %2").arg(col.x).arg(col.depth[r])));
                last = r;
            }
        }
        QVERIFY(last > 0);
        HW_COMPARE_NEAR(col.depth[last], floor, 1e-9);
        for (int r = last + 1; r < col.value.size(); ++r)
            QCOMPARE(col.value[r], ModelFiles::kNoValue);
        // Unsmoothed, the cell on the floor holds the earth's value there.
        if (factor == 0.0)
            HW_COMPARE_NEAR(col.value[last], 100 + 5 * 50.0, 1e-9);
    }
}

void TestModelFiles::smoothingLeavesAirOut_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("station by station") << 1;
    QTest::newRow("profile") << 2;
}

// Station 0 (ground 100) is a uniform 1000 ohm-m down to its depth; station
// 20 stands 50 m lower, its levels above 50 are air. What the section fills
// that air with (its top value 10, or the profile's smallest value 10)
// must not reach the cells of station 0.
void TestModelFiles::smoothingLeavesAirOut()
{
    QFETCH(int, method);
    const QVector<TopoData> ground = topo({{0, 100}, {20, 50}});
    QList<DataType_ResultData> out;
    if (method == 1) {
        const QList<DataType_ResultData> in{
            record(0, range(100, -100, 10), QVector<double>(21, 1000.0)),
            record(20, range(50, -150, 10), QVector<double>{10} + QVector<double>(20, 1000.0))};
        out = ModelFiles::buildSectionGrid(in, 50.0, 100.0, 0.3, GRID_FIXED, 5.0);
    } else {
        const QList<DataType_ThreeResultData> in{profileColumn(0, {100, 50, 0}, {1000, 1000, 1000}),
                                                 profileColumn(20, {50, 30, 10, 0}, {1000, 1000, 1000, 10})};
        out = ModelFiles::buildSectionGrid2(in, 0.3, ground, 50.0);
    }
    QCOMPARE(out.size(), 2);
    int widened = 0;
    for (int r = 0; r < out[0].depth.size(); ++r) {
        const double level = out[0].depth[r];
        if (level <= 50.0 || out[0].value[r] <= ModelFiles::kNoValueLimit)
            continue;
        QCOMPARE(out[1].value[r], ModelFiles::kNoValue);
        HW_COMPARE_NEAR(out[0].value[r], 1000.0, 1e-9);
        // The window reaches the other station from 67 down.
        if (2 * 0.3 * (100 - level) > 20)
            ++widened;
    }
    QVERIFY(widened >= 3);
}

// ---------------------------------------------------------------------------

void TestModelFiles::applyTopography_data()
{
    QTest::addColumn<QVector<TopoData>>("topography");
    QTest::addColumn<QVector<double>>("stations");
    QTest::addColumn<QVector<double>>("lift");

    QTest::newRow("empty: unchanged") << QVector<TopoData>() << QVector<double>({0, 5, 1e6})
                                      << QVector<double>({0, 0, 0});
    QTest::newRow("inside, ends, outside by the mean")
        << topo({{0, 10}, {10, 20}}) << QVector<double>({5, 10, 0, 12, -1})
        << QVector<double>({15, 20, 10, 15, 15});
    QTest::newRow("unsorted, equal positions: the last wins")
        << topo({{10, 20}, {0, 10}, {10, 30}}) << QVector<double>({10, 5, 20})
        << QVector<double>({30, 20, 20});
    QTest::newRow("one point") << topo({{5, 7}}) << QVector<double>({5, 0, 9})
                               << QVector<double>({7, 7, 7});
    QTest::newRow("non-finite point ignored")
        << topo({{0, 10}, {5, kNaN}, {10, 20}}) << QVector<double>({5, 11})
        << QVector<double>({15, 15});
}

void TestModelFiles::applyTopography()
{
    QFETCH(QVector<TopoData>, topography);
    QFETCH(QVector<double>, stations);
    QFETCH(QVector<double>, lift);

    QList<DataType_ThreeResultData> columns;
    for (double s : stations)
        columns.append(profileColumn(s, {0, -10, -35.5}, {1, 2, 3}));
    ModelFiles::applyTopography(columns, topography);

    QCOMPARE(columns.size(), stations.size());
    for (int i = 0; i < columns.size(); ++i) {
        HW_COMPARE_VECTORS(columns[i].z,
                           QVector<double>({lift[i], lift[i] - 10, lift[i] - 35.5}), 1e-12, 1e-12);
        QCOMPARE(columns[i].value, QVector<double>({1, 2, 3}));
        QCOMPARE(columns[i].station, stations[i]);
    }
}

QTEST_GUILESS_MAIN(TestModelFiles)
#include "tst_model_files.moc"
