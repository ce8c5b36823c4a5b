#include "gridding/GridData.h"

#include "common/TestHelpers.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <cmath>
#include <limits>

namespace {

QList<GridPoint> rowOrderGrid(int nx, int ny, const std::function<float(int, int)> &value)
{
    QList<GridPoint> points;
    for (int r = 0; r < ny; ++r) {
        for (int c = 0; c < nx; ++c)
            points.append(GridPoint{static_cast<float>(c), static_cast<float>(r), value(r, c)});
    }
    return points;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

// A Surfer ASCII grid read without any of the writer's code.
struct ParsedGrid {
    bool ok = false;
    int nx = 0;
    int ny = 0;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0, zmin = 0, zmax = 0;
    QVector<QVector<double>> rows;
};

ParsedGrid parseSurfer(const QString &path)
{
    ParsedGrid g;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return g;
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.size() < 5 || lines[0].trimmed() != "DSAA")
        return g;
    auto numbers = [](const QByteArray &line) {
        QVector<double> out;
        for (const QByteArray &t : line.simplified().split(' ')) {
            if (t.isEmpty())
                continue;
            bool ok = false;
            out.append(t.toDouble(&ok));
            if (!ok)
                out.append(std::numeric_limits<double>::quiet_NaN());
        }
        return out;
    };
    const QVector<double> size = numbers(lines[1]);
    const QVector<double> xr = numbers(lines[2]);
    const QVector<double> yr = numbers(lines[3]);
    const QVector<double> zr = numbers(lines[4]);
    if (size.size() != 2 || xr.size() != 2 || yr.size() != 2 || zr.size() != 2)
        return g;
    g.nx = int(size[0]);
    g.ny = int(size[1]);
    g.xmin = xr[0]; g.xmax = xr[1];
    g.ymin = yr[0]; g.ymax = yr[1];
    g.zmin = zr[0]; g.zmax = zr[1];
    for (int r = 0; r < g.ny; ++r) {
        if (5 + r >= lines.size())
            return g;
        g.rows.append(numbers(lines[5 + r]));
    }
    g.ok = true;
    return g;
}

} // namespace

class TestGridData : public QObject
{
    Q_OBJECT

private slots:
    void writesWorkedExample();
    void writesEmptySizes_data();
    void writesEmptySizes();
    void replacesExistingFile();
    void formatsRangesAsGiven();
    void refusesBadInput_data();
    void refusesBadInput();
    void writesNonFiniteAsBlank();
    void readsBackWithIndependentParser();
    void recordFromPoints();
    void recordRejectsBadSizes();
};

void TestGridData::writesWorkedExample()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("g.grd");
    const QList<GridPoint> pts = rowOrderGrid(3, 2, [](int r, int c) { return float(r * 3 + c + 1); });
    QVERIFY(GridData::writeSurferAsciiGrid(path, pts, 2, 3, 0, 10, 0, 5, 1, 6));
    QCOMPARE(readAll(path), QByteArray("DSAA\n3 2\n0.000 10.000\n0.000 5.000\n1.000 6.000\n"
                                       "1.000 2.000 3.000 \n4.000 5.000 6.000 \n"));
}

void TestGridData::writesEmptySizes_data()
{
    QTest::addColumn<int>("nx");
    QTest::addColumn<int>("ny");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("no rows") << 4 << 0 << QByteArray();
    QTest::newRow("no columns") << 0 << 3 << QByteArray("\n\n\n");
}

void TestGridData::writesEmptySizes()
{
    QFETCH(int, nx);
    QFETCH(int, ny);
    QFETCH(QByteArray, body);
    QTemporaryDir dir;
    const QString path = dir.filePath("g.grd");
    QVERIFY(GridData::writeSurferAsciiGrid(path, {}, ny, nx, 0, 1, 0, 1, 0, 1));
    const QByteArray header = "DSAA\n" + QByteArray::number(nx) + ' ' + QByteArray::number(ny)
                              + "\n0.000 1.000\n0.000 1.000\n0.000 1.000\n";
    QCOMPARE(readAll(path), header + body);
}

void TestGridData::replacesExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("g.grd");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'x'));
    }
    const QList<GridPoint> pts = rowOrderGrid(1, 1, [](int, int) { return 2.5f; });
    QVERIFY(GridData::writeSurferAsciiGrid(path, pts, 1, 1, 0, 0, 0, 0, 2.5f, 2.5f));
    QCOMPARE(readAll(path),
             QByteArray("DSAA\n1 1\n0.000 0.000\n0.000 0.000\n2.500 2.500\n2.500 \n"));
}

void TestGridData::formatsRangesAsGiven()
{
    // The progress dialog passes these when a grid has no values.
    QTemporaryDir dir;
    const QString path = dir.filePath("g.grd");
    QVERIFY(GridData::writeSurferAsciiGrid(path, {}, 0, 0, -1.5f, 100000000.0f, 0.0004f, -0.0006f,
                                           1e8f, -1e8f));
    QCOMPARE(readAll(path), QByteArray("DSAA\n0 0\n-1.500 100000000.000\n0.000 -0.001\n"
                                       "100000000.000 -100000000.000\n"));
}

void TestGridData::refusesBadInput_data()
{
    QTest::addColumn<bool>("unwritable");
    QTest::addColumn<int>("nx");
    QTest::addColumn<int>("ny");
    QTest::addColumn<int>("pointCount");
    QTest::newRow("folder missing") << true << 2 << 2 << 4;
    QTest::newRow("too few points") << false << 3 << 3 << 8;
    QTest::newRow("negative size") << false << -1 << 2 << 4;
}

void TestGridData::refusesBadInput()
{
    QFETCH(bool, unwritable);
    QFETCH(int, nx);
    QFETCH(int, ny);
    QFETCH(int, pointCount);
    QTemporaryDir dir;
    const QString path = unwritable ? dir.filePath("missing/sub/g.grd") : dir.filePath("g.grd");
    QList<GridPoint> pts;
    for (int i = 0; i < pointCount; ++i)
        pts.append(GridPoint{0, 0, float(i)});
    QVERIFY(!GridData::writeSurferAsciiGrid(path, pts, ny, nx, 0, 1, 0, 1, 0, 1));
    QVERIFY(!QFile::exists(path));
}

void TestGridData::writesNonFiniteAsBlank()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("g.grd");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const QList<GridPoint> pts = {{0, 0, 1.0f}, {1, 0, nan},
                                  {0, 1, std::numeric_limits<float>::infinity()}, {1, 1, 2.0f}};
    QVERIFY(GridData::writeSurferAsciiGrid(path, pts, 2, 2, 0, 1, 0, 1, 1, 2));
    const ParsedGrid g = parseSurfer(path);
    QVERIFY(g.ok);
    QCOMPARE(g.rows[0][0], 1.0);
    QVERIFY(g.rows[0][1] >= 1.70141e38);
    QVERIFY(g.rows[1][0] >= 1.70141e38);
    QCOMPARE(g.rows[1][1], 2.0);
    QVERIFY(!readAll(path).contains("nan"));
    QVERIFY(!readAll(path).contains("inf"));
}

void TestGridData::readsBackWithIndependentParser()
{
    QRandomGenerator rng(4711);
    const int nx = 37;
    const int ny = 23;
    const QList<GridPoint> pts = rowOrderGrid(nx, ny, [&rng](int, int) {
        return float(rng.generateDouble() * 20000.0 - 10000.0);
    });
    QTemporaryDir dir;
    const QString path = dir.filePath("g.grd");
    QVERIFY(GridData::writeSurferAsciiGrid(path, pts, ny, nx, -12.25f, 480.5f, -300, 0, -10000,
                                           10000));
    const ParsedGrid g = parseSurfer(path);
    QVERIFY(g.ok);
    QCOMPARE(g.nx, nx);
    QCOMPARE(g.ny, ny);
    QCOMPARE(g.xmin, -12.25);
    QCOMPARE(g.xmax, 480.5);
    QCOMPARE(g.ymin, -300.0);
    QCOMPARE(g.zmax, 10000.0);
    QCOMPARE(g.rows.size(), ny);
    for (int r = 0; r < ny; ++r) {
        QCOMPARE(g.rows[r].size(), nx);
        for (int c = 0; c < nx; ++c) {
            const double expected = pts[r * nx + c].value;
            if (std::fabs(g.rows[r][c] - expected) > 0.0005 + 1e-9)
                QFAIL(qPrintable(QString("row %1 col %2: %3 vs %4").arg(r).arg(c)
                                     .arg(g.rows[r][c]).arg(expected)));
        }
    }
}

void TestGridData::recordFromPoints()
{
    // 3 columns at x 10, 20, 30; 2 rows at y -5, 5; value = 10 * row + column.
    QList<GridPoint> pts;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            pts.append(GridPoint{10.0f * (c + 1), -5.0f + 10.0f * r, float(10 * r + c)});
    pts[1].value = std::numeric_limits<float>::quiet_NaN();

    GridData grid;
    QVERIFY(grid.isEmpty());
    QVERIFY(grid.setFromPoints(pts, 3, 2));
    QCOMPARE(grid.columnCount(), 3.0f);
    QCOMPARE(grid.rowCount(), 2.0f);
    QCOMPARE(grid.xCoordinates(), QVector<double>({10, 20, 30}));
    QCOMPARE(grid.yCoordinates(), QVector<double>({-5, 5}));
    // Column-major: row r, column c at r + c * rows.
    QCOMPARE(grid.values()[0 + 0 * 2], 0.0);
    QCOMPARE(grid.values()[1 + 0 * 2], 10.0);
    QVERIFY(std::isnan(grid.values()[0 + 1 * 2]));
    QCOMPARE(grid.values()[1 + 2 * 2], 12.0);
    QCOMPARE(grid.xMin(), 10.0f);
    QCOMPARE(grid.xSpan(), 20.0f);
    QCOMPARE(grid.ySpan(), 10.0f);
    // The value range ignores the NaN.
    QCOMPARE(grid.zMin(), 0.0f);
    QCOMPARE(grid.zMax(), 12.0f);
    QCOMPARE(grid.zSpan(), 12.0f);
}

void TestGridData::recordRejectsBadSizes()
{
    GridData grid;
    const QList<GridPoint> pts = rowOrderGrid(2, 2, [](int, int) { return 1.0f; });
    QVERIFY(grid.setFromPoints(pts, 2, 2));
    QVERIFY(!grid.setFromPoints(pts, 3, 2));
    QVERIFY(grid.isEmpty());
    QVERIFY(grid.values().isEmpty());
    QVERIFY(!grid.setFromPoints(pts, 0, 2));
    QVERIFY(!grid.setFromPoints({}, 1, 1));
}

QTEST_GUILESS_MAIN(TestGridData)
#include "tst_griddata.moc"
