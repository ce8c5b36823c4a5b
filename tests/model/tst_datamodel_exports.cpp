#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "DataModelFixture.h"
#include "common/FileFailures.h"
#include "iolib/Drumvelt.h"
#include "model/DataModel.h"
#include "model/Data_Calc.h"
#include "model/ExportFiles.h"
#include "model/ModelFiles.h"
#include "model/SharedTypes.h"
#include "model/UserPrompt.h"
#include "store/LibHORM.h"
#include "store/StoreFixture.h"
#include "tools/projectgen/ProjectGenerator.h"

using namespace dmtest;

namespace {

struct Message {
    QString title;
    QString text;
    bool operator==(const Message& o) const { return title == o.title && text == o.text; }
};

QString describe(const QList<Message>& messages)
{
    QStringList parts;
    for (const Message& m : messages)
        parts << (m.title.isEmpty() ? m.text : m.title + "|" + m.text);
    return "[" + parts.join("; ") + "]";
}


QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

QString readText(const QString& path)
{
    return QString::fromUtf8(readAll(path));
}

// The message that the file at path could not be written.
Message failed(const QString& path)
{
    return Message{QStringLiteral("提示"),
                   QStringLiteral("导出失败：") + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())};
}

// What the 2D export's message says of its grid.
QString gridNamed(const QString& grid)
{
    return QStringLiteral(",网格文件 ") + QDir::toNativeSeparators(grid);
}
const QString kNoGrid = QStringLiteral(",当前反演方法不生成网格文件");
// The message of a sampled-data export: it names the file written.
Message sampledWritten(const QString& file)
{
    return Message{QStringLiteral("采样数据"), QStringLiteral("导出采样数据成功：") + QDir::toNativeSeparators(file)};
}
// How a results export's message names the line whose results it wrote.
QString ofLine(double line)
{
    return QStringLiteral("（测线 %1）").arg(line);
}

DataType_ResultData column(double x, const QVector<double>& depth, const QVector<double>& value)
{
    DataType_ResultData r;
    r.x = x;
    r.depth = depth;
    r.value = value;
    return r;
}

GPSCoordinate coordinate(float line, float station, float x, float y, float z)
{
    GPSCoordinate c;
    c.lineNo = line;
    c.pointNo = station;
    c.x = x;
    c.y = y;
    c.z = z;
    return c;
}

// A Surfer 6 ASCII grid read on its own terms: whitespace-separated tokens,
// rows from the lowest y up, nodes evenly spaced between the ranges.
struct SurferGrid {
    int nx = 0;
    int ny = 0;
    double xlo = 0, xhi = 0, ylo = 0, yhi = 0, zlo = 0, zhi = 0;
    QVector<double> z;   // row-major, row 0 at ylo
    double x(int col) const { return xlo + col * (xhi - xlo) / (nx - 1); }
    double y(int row) const { return ylo + row * (yhi - ylo) / (ny - 1); }
    double at(int col, int row) const { return z[row * nx + col]; }
};

bool parseSurfer(const QByteArray& bytes, SurferGrid& g, QString* why)
{
    const QStringList tokens = QString::fromLatin1(bytes).split(QRegExp("\\s+"), Qt::SkipEmptyParts);
    if (tokens.size() < 9 || tokens[0] != "DSAA") {
        *why = "no DSAA header";
        return false;
    }
    bool ok = true;
    auto num = [&](int i) {
        bool good = false;
        const double v = tokens[i].toDouble(&good);
        ok = ok && good;
        return v;
    };
    g.nx = tokens[1].toInt(&ok);
    g.ny = tokens[2].toInt(&ok);
    g.xlo = num(3);
    g.xhi = num(4);
    g.ylo = num(5);
    g.yhi = num(6);
    g.zlo = num(7);
    g.zhi = num(8);
    if (!ok || g.nx < 2 || g.ny < 2) {
        *why = "bad header numbers";
        return false;
    }
    if (tokens.size() != 9 + g.nx * g.ny) {
        *why = QString("%1 values for %2 x %3 nodes").arg(tokens.size() - 9).arg(g.nx).arg(g.ny);
        return false;
    }
    for (int i = 9; i < tokens.size(); ++i)
        g.z.append(num(i));
    if (!ok)
        *why = "a value is not a number";
    return ok;
}

} // namespace

Q_DECLARE_METATYPE(GPSCoordinate)

namespace QTest {
template <>
inline char* toString(const QList<Message>& messages)
{
    return QTest::toString(describe(messages));
}
} // namespace QTest

// The result exports (tables, per-line files, sampled data, blanking files,
// the Surfer grid) and the GPS coordinate import of the controller.
class TestDataModelExports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Shown-results exports with the controller's state set directly.
    void refusesWithoutProjectOrLine_data();
    void refusesWithoutProjectOrLine();
    void shownLineDoesNotOutliveItsProject();
    void oneDimensionalRows_data();
    void oneDimensionalRows();
    void coordinateMatching_data();
    void coordinateMatching();
    void twoDimensionalRowsAndGrid_data();
    void twoDimensionalRowsAndGrid();
    void twoExportsKeepTheirOwnGrids();
    void layerAndSectionTables();
    void tablesLeaveBlankCellsOut_data();
    void tablesLeaveBlankCellsOut();
    void blankingFiles_data();
    void blankingFiles();
    void missingTopographyLeavesResults_data();
    void missingTopographyLeavesResults();
    void surferGridReadsBack();
    void surferGridBlanksNonFiniteValues();
    void surferGridEvenlySpaced_data();
    void surferGridEvenlySpaced();
    void surferGridRefusesUnusableSection_data();
    void surferGridRefusesUnusableSection();
    void largeChainagesKeepTheirDigits();
    void filesReplacedWholeOrNotAtAll();
    void failedWritesAreReported_data();
    void failedWritesAreReported();
    void coordinatesReadBack_data();
    void coordinatesReadBack();
    void saveNameGetsFilterSuffix_data();
    void saveNameGetsFilterSuffix();

    // Per-line export.
    void resultsByLineNamesAndSkips();
    void resultsByLineOfGeneratedProject();
    void resultsByLineKeepsLinesSharingANumber();
    void resultsByLineWithNothingToWrite_data();
    void resultsByLineWithNothingToWrite();
    void resultsByLineOfUnreadSamples_data();
    void resultsByLineOfUnreadSamples();
    void numbersInNames_data();
    void numbersInNames();
    void distinctNumbersGiveDistinctFiles();

    // Sampled data.
    void sampledDataOfGeneratedStation();
    void sampledDataAlignsGateSets();
    void sampledDataEdgeCases();
    void sampledDataOfFileInUse_data();
    void sampledDataOfFileInUse();
    void sampledDataOfDeletedSample();

    // GPS import.
    void gpsImportFromFile();
    void gpsImportCoverage_data();
    void gpsImportCoverage();
    void gpsImportTellsWhenTheFileIsLocked();
    void gpsImportPassesOverUnreadableStations();

    // End to end: a shown line of a generated project.
    void exportsOfShownLine_data();
    void exportsOfShownLine();
    void surferGridOfUnevenStations();

private:
    void openFixture(const QList<LineDef>& lines);
    void openGenerated(const ProjectGenerator::Options& options);
    void open(const QString& file);
    // A small project open and a line's results marked as held.
    void openWithShownLine();
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QVariant stationValue(double line, double station, const QString& column);
    QVariant lineValue(double line, const QString& column);
    QStringList writtenFiles() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DataModel> m_model;
    std::unique_ptr<LibHORM> m_lib;
    QString m_file;
    QString m_reader;
    QList<Message> m_messages;
    QString m_startDir;
    int m_projects = 0;
};

void TestDataModelExports::initTestCase()
{
    registerSharedTypes();
    m_startDir = QDir::currentPath();
    UserPrompt::setMessageAnswerer([this](const QString& text) { m_messages << Message{QString(), text}; });
    UserPrompt::setTitledMessageAnswerer(
        [this](const QString& title, const QString& text) { m_messages << Message{title, text}; });
    // The ellipse smoothing of a line view is declined.
    UserPrompt::setDialogAnswerer([](QDialog*) { return 0; });
}

void TestDataModelExports::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_messages.clear();
    m_model.reset(new DataModel(nullptr));
}

void TestDataModelExports::cleanup()
{
    QDir::setCurrent(m_startDir);
    if (m_model)
        m_model->closeProject();
    m_lib.reset();
    m_model.reset();
    if (!m_reader.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_reader, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_reader);
        m_reader.clear();
    }
}

void TestDataModelExports::open(const QString& file)
{
    m_file = file;
    m_lib.reset(new LibHORM);
    QVERIFY(m_lib->open(file));
    m_model->setFileSuffix("QELVA");
    m_model->loadProject(m_lib.get());
    QVERIFY(m_model->isProjectOpen());
    m_reader = "exports-reader-" + file;
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_reader);
    db.setDatabaseName(file);
    QVERIFY(db.open());
}

void TestDataModelExports::openFixture(const QList<LineDef>& lines)
{
    const QString file = path(QString("fixture%1.QELVA").arg(++m_projects));
    QVERIFY(writeProject(file, lines));
    open(file);
}

void TestDataModelExports::openGenerated(const ProjectGenerator::Options& options)
{
    const ProjectGenerator generator(options);
    const QString file = path(QString("generated%1.QELVA").arg(++m_projects));
    QString error;
    QVERIFY2(generator.write(file, &error), qPrintable(error));
    open(file);
}

void TestDataModelExports::openWithShownLine()
{
    const QVector<double> times{100, 200, 300};
    openFixture({line(1, {gatedStation(100, times, {3, 2, 1}, {3, 2, 1}),
                          gatedStation(200, times, {3, 2, 1}, {3, 2, 1})})});
    m_model->currentLineNumber = 1.0;
}

QVariant TestDataModelExports::stationValue(double lineNo, double station, const QString& column)
{
    QSqlQuery q(QSqlDatabase::database(m_reader));
    q.exec(QString("SELECT Data_Point.%1 FROM Data_Point JOIN Data_Line ON Data_Point.Data_LineID = Data_Line.ID "
                   "WHERE abs(Data_Line.NAME - %2) < 1e-9 AND abs(Data_Point.NAME - %3) < 1e-9")
               .arg(column).arg(lineNo, 0, 'g', 17).arg(station, 0, 'g', 17));
    return q.next() ? q.value(0) : QVariant();
}

QVariant TestDataModelExports::lineValue(double lineNo, const QString& column)
{
    QSqlQuery q(QSqlDatabase::database(m_reader));
    q.exec(QString("SELECT %1 FROM Data_Line WHERE abs(NAME - %2) < 1e-9").arg(column).arg(lineNo, 0, 'g', 17));
    return q.next() ? q.value(0) : QVariant();
}

QStringList TestDataModelExports::writtenFiles() const
{
    QStringList files;
    for (const QString& f : QDir(m_dir->path()).entryList(QDir::Files, QDir::Name)) {
        if (!f.endsWith(".QELVA"))
            files << f;
    }
    return files;
}

// --- Shown-results exports ---

void TestDataModelExports::refusesWithoutProjectOrLine_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("projectOpen");
    QTest::addColumn<QString>("message");
    const QString noProject = QStringLiteral("没有打开的工程，无法导出！");
    const QString noLine = QStringLiteral("请先显示一条测线，再导出结果！");
    for (const char* name : {"1d", "2d", "layer", "section"}) {
        const QString op = name;
        QTest::newRow(qPrintable(op + " without project")) << op << false << noProject;
        QTest::newRow(qPrintable(op + " without shown line")) << op << true << noLine;
    }
    QTest::newRow("by line without project") << "byline" << false << noProject;
    QTest::newRow("sampled without project") << "sampled" << false << noProject;
    QTest::newRow("gps without project") << "gps" << false << QStringLiteral("没有打开的工程，未导入GPS坐标！");
}

void TestDataModelExports::refusesWithoutProjectOrLine()
{
    QFETCH(QString, operation);
    QFETCH(bool, projectOpen);
    QFETCH(QString, message);
    if (projectOpen)
        openFixture({line(1, {gatedStation(100, {100, 200}, {2, 1}, {2, 1})})});
    // Results held from earlier must not be written without a shown line.
    m_model->stationResults = {column(100, {10}, {50})};
    m_model->sectionResults = {column(100, {10}, {50})};
    m_model->layerResults = {column(100, {10}, {50})};
    m_model->resultTopography = {TopoData{100, 10}, TopoData{200, 20}};
    QDir::setCurrent(m_dir->path());

    if (operation == "1d")
        m_model->export1DResults(path("r.1d.dat"));
    else if (operation == "2d")
        m_model->export2DResults(path("r.2d.dat"));
    else if (operation == "layer")
        m_model->exportLayerResults(path("r.layer.dat"));
    else if (operation == "section")
        m_model->exportSectionData(path("r.raw.dat"));
    else if (operation == "byline")
        m_model->exportResultsByLine(m_dir->path());
    else if (operation == "sampled")
        m_model->exportSampledData(0, 0);
    else
        m_model->on_signal_GPSFileImported({coordinate(1, 100, 1, 2, 3)});

    QCOMPARE(m_messages, (QList<Message>{Message{QString(), message}}));
    QCOMPARE(writtenFiles(), QStringList());
}

void TestDataModelExports::shownLineDoesNotOutliveItsProject()
{
    openWithShownLine();
    m_model->stationResults = {column(100, {10}, {50})};
    m_model->resultTopography = {TopoData{100, 10}, TopoData{200, 20}};
    m_model->closeProject();
    m_lib.reset();

    // A second project: the first one's results must not be written under it.
    openFixture({line(7, {gatedStation(100, {100, 200}, {2, 1}, {2, 1})})});
    m_messages.clear();
    m_model->export1DResults(path("after.1d.dat"));
    QCOMPARE(m_messages,
             (QList<Message>{Message{QString(), QStringLiteral("请先显示一条测线，再导出结果！")}}));
    QVERIFY(!QFile::exists(path("after.1d.dat")));
}

void TestDataModelExports::oneDimensionalRows_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QVector<GPSCoordinate>>("coordinates");
    QTest::addColumn<QString>("rows");

    const QVector<GPSCoordinate> paired{coordinate(1, 100, 500000.125f, 3000000.5f, 1200),
                                        coordinate(1, 300.3f, 500200.25f, 3000001.0f, 1201)};
    QTest::newRow("method 1, one coordinate per station")
        << 1 << paired
        << "100,500000.125000,3000000.500000,10,50.5\n"
           "100,500000.125000,3000000.500000,20.5,1.23457e+06\n"
           "300.3,500200.250000,3000001.000000,10,1.2345e-05\n";
    QTest::newRow("method 1, one coordinate too many")
        << 1 << (QVector<GPSCoordinate>(paired) << coordinate(1, 400, 1, 2, 3))
        << "100,10,50.5\n100,20.5,1.23457e+06\n300.3,10,1.2345e-05\n";
    QTest::newRow("method 1, one coordinate too few")
        << 1 << QVector<GPSCoordinate>{paired[0]}
        << "100,10,50.5\n100,20.5,1.23457e+06\n300.3,10,1.2345e-05\n";
    QTest::newRow("method 1, two coordinates of one station")
        << 1 << QVector<GPSCoordinate>{coordinate(1, 100, 7, 8, 9), coordinate(1, 100, 17, 18, 19)}
        << "100,7.000000,8.000000,10,50.5\n100,7.000000,8.000000,20.5,1.23457e+06\n"
           "100,17.000000,18.000000,10,50.5\n100,17.000000,18.000000,20.5,1.23457e+06\n";
    // Coordinates as under method 1, not rounded to six significant digits.
    QTest::newRow("method 2, coordinates whole")
        << 2
        << QVector<GPSCoordinate>{coordinate(1, 100, 1234567.75f, 3000000.5f, 0),
                                  coordinate(1, 300.3f, 500200.25f, 3000001.0f, 0)}
        << "100,1234567.750000,3000000.500000,5,7\n100,1234567.750000,3000000.500000,15,70\n"
           "300.3,500200.250000,3000001.000000,5,8\n";
    QTest::newRow("method 2, no coordinates") << 2 << QVector<GPSCoordinate>()
                                              << "100,5,7\n100,15,70\n300.3,5,8\n";
    QTest::newRow("method 0 writes no rows") << 0 << paired << "";
}

void TestDataModelExports::oneDimensionalRows()
{
    QFETCH(int, method);
    QFETCH(QVector<GPSCoordinate>, coordinates);
    QFETCH(QString, rows);
    openWithShownLine();
    m_model->transRelaxMethod = method;
    m_model->lineCoordinates = coordinates;
    m_model->stationResults = {column(100, {10, 20.5}, {50.5, 1234567}), column(300.3, {10}, {0.000012345})};
    DataType_ThreeResultData a;
    a.station = 100;
    a.x = 999;
    a.z = {5, 15};
    a.value = {7, 70};
    DataType_ThreeResultData b;
    b.station = 300.3;
    b.z = {5};
    b.value = {8};
    m_model->profileResults = {a, b};
    m_model->resultTopography = {TopoData{100, 12}, TopoData{300.3, 37}};

    m_model->export1DResults(path("survey.1d.dat"));

    QCOMPARE(readText(path("survey.1d.dat")), QStringLiteral("里程,坐标X,坐标Y,深度,电阻率\n") + rows);
    QVERIFY(QFile::exists(path("survey_top.bln")));
    QVERIFY(QFile::exists(path("survey_bottom.bln")));
    QCOMPARE(m_messages, (QList<Message>{{QStringLiteral("一维反演结果"), QStringLiteral("保存一维反演数据成功") + ofLine(1)}}));
}

void TestDataModelExports::coordinateMatching_data()
{
    QTest::addColumn<bool>("twoD");
    QTest::addColumn<double>("station");
    QTest::addColumn<float>("coordinateStation");
    QTest::addColumn<bool>("matched");
    // Coordinates hold single-precision station numbers.
    QTest::newRow("1D exact") << false << 100.0 << 100.0f << true;
    QTest::newRow("1D 300.3") << false << 300.3 << 300.3f << true;
    QTest::newRow("1D 100000.3") << false << 100000.3 << 100000.3f << true;
    QTest::newRow("1D 0.005 apart") << false << 100.0 << 100.005f << false;
    QTest::newRow("2D 0.005 apart") << true << 100.0 << 100.005f << true;
    QTest::newRow("2D 0.02 apart") << true << 100.0 << 100.02f << false;
    QTest::newRow("2D 300.3") << true << 300.3 << 300.3f << true;
}

void TestDataModelExports::coordinateMatching()
{
    QFETCH(bool, twoD);
    QFETCH(double, station);
    QFETCH(float, coordinateStation);
    QFETCH(bool, matched);
    openWithShownLine();
    m_model->transRelaxMethod = 1;
    m_model->lineCoordinates = {coordinate(1, coordinateStation, 10, 20, 30)};
    m_model->stationResults = {column(station, {5}, {60})};
    m_model->sectionResults = m_model->stationResults;
    const QString file = path(twoD ? "m.2d.dat" : "m.1d.dat");
    if (twoD)
        m_model->export2DResults(file);
    else
        m_model->export1DResults(file);
    const QString expected = matched ? QString::number(station, 'g', 9) + ",10.000000,20.000000,5,60\n" : QString();
    QCOMPARE(readText(file), QStringLiteral("里程,坐标X,坐标Y,深度,电阻率\n") + expected);
}

void TestDataModelExports::twoDimensionalRowsAndGrid_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("grid");
    QTest::newRow("method 1 writes the grid") << 1 << true;
    QTest::newRow("method 2 writes no grid") << 2 << false;
    QTest::newRow("method 0 writes no grid") << 0 << false;
}

void TestDataModelExports::twoDimensionalRowsAndGrid()
{
    QFETCH(int, method);
    QFETCH(bool, grid);
    openWithShownLine();
    m_model->transRelaxMethod = method;
    m_model->sectionResults = {column(10, {100, 90}, {1, 2}), column(0, {100, 90}, {3, 4})};
    m_model->lineCoordinates = {coordinate(1, 0, 5, 6, 7), coordinate(1, 10, 15, 16, 17)};
    m_model->resultTopography = {TopoData{0, 100}, TopoData{10, 101}};
    m_model->export2DResults(path("s.2d.dat"));

    // Rows follow the section as held; the grid writer sorts it afterwards.
    QCOMPARE(readText(path("s.2d.dat")),
             QStringLiteral("里程,坐标X,坐标Y,深度,电阻率\n"
                            "10,15.000000,16.000000,100,1\n10,15.000000,16.000000,90,2\n"
                            "0,5.000000,6.000000,100,3\n0,5.000000,6.000000,90,4\n"));
    // The grid is named after the table and named in the message; a method
    // that writes none says so.
    QCOMPARE(QFile::exists(path("s.grd")), grid);
    QVERIFY(!QFile::exists(path("out.grd")));
    QVERIFY(QFile::exists(path("s_top.bln")) && QFile::exists(path("s_bottom.bln")));
    QCOMPARE(m_messages, (QList<Message>{{QStringLiteral("二维反演结果"),
                                          QStringLiteral("保存二维反演数据成功") + ofLine(1)
                                              + (grid ? gridNamed(path("s.grd")) : kNoGrid)}}));
}

void TestDataModelExports::twoExportsKeepTheirOwnGrids()
{
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 6;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    o.zoneFirstLine = 110;
    o.zoneLastLine = 110;
    openGenerated(o);
    m_model->on_signal_TransRelaxInversionMethodChanged(1);
    m_model->showTreeNode(0, -1, -1);
    m_model->export2DResults(path("a.2d.dat"));
    const QByteArray first = readAll(path("a.grd"));
    m_model->showTreeNode(1, -1, -1);
    m_model->export2DResults(path("b.2d.dat"));

    // Line 100's grid is still there beside line 110's.
    QVERIFY(first.startsWith("DSAA"));
    QCOMPARE(readAll(path("a.grd")), first);
    QVERIFY(readAll(path("b.grd")).startsWith("DSAA"));
    QVERIFY(readAll(path("b.grd")) != first);
    QVERIFY(!QFile::exists(path("out.grd")));
    QCOMPARE(m_messages,
             (QList<Message>{{QStringLiteral("二维反演结果"),
                              QStringLiteral("保存二维反演数据成功") + ofLine(100) + gridNamed(path("a.grd"))},
                             {QStringLiteral("二维反演结果"),
                              QStringLiteral("保存二维反演数据成功") + ofLine(110) + gridNamed(path("b.grd"))}}));
}

void TestDataModelExports::layerAndSectionTables()
{
    openWithShownLine();
    m_model->layerResults = {column(1.5, {10, 20}, {100, 2e6}), column(3, {-5}, {0.25})};
    m_model->reportDistances = {0, 12.5};
    m_model->reportTimes = {10.5, 1e6};
    // The second gate lacks a station's value: an empty field holds its place.
    m_model->reportCurves = {{1e-3, 2}, {3}};

    m_model->exportLayerResults(path("a.layer.dat"));
    m_model->exportSectionData(path("a.raw.dat"));

    QCOMPARE(readText(path("a.layer.dat")), QString("1.5,10,100\n1.5,20,2e+06\n3,-5,0.25\n"));
    QCOMPARE(readText(path("a.raw.dat")),
             QStringLiteral("时间(us)\\点号(m),0,12.5\n10.5,0.001,2\n1e+06,3,\n"));
    QCOMPARE(m_messages, (QList<Message>{{QStringLiteral("分层反演结果"), QStringLiteral("保存分层反演数据成功") + ofLine(1)},
                                         {QString(), QStringLiteral("剖面数据保存成功") + ofLine(1)}}));
}

void TestDataModelExports::tablesLeaveBlankCellsOut_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("paired");
    QTest::addColumn<QString>("rows");
    QTest::newRow("2D, with coordinates")
        << "2d" << true
        << "里程,坐标X,坐标Y,深度,电阻率\n"
           "0,5.000000,6.000000,90,3\n0,5.000000,6.000000,80,4\n10,15.000000,16.000000,100,1\n";
    QTest::newRow("2D, without coordinates")
        << "2d" << false << "里程,坐标X,坐标Y,深度,电阻率\n0,90,3\n0,80,4\n10,100,1\n";
    QTest::newRow("1D of the profile")
        << "1d" << false << "里程,坐标X,坐标Y,深度,电阻率\n0,90,3\n0,80,4\n10,100,1\n";
    QTest::newRow("layers") << "layer" << false << "0,90,3\n0,80,4\n10,100,1\n";
}

// Cells without a resistivity (air, below the inversion depth, not finite)
// have no row: read as XYZ, the blank marker would be taken for 1e-18 ohm-m.
void TestDataModelExports::tablesLeaveBlankCellsOut()
{
    QFETCH(QString, kind);
    QFETCH(bool, paired);
    QFETCH(QString, rows);
    const double blank = ModelFiles::kNoValue;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    openWithShownLine();
    const QList<DataType_ResultData> cells{column(0, {100, 90, 80, 70}, {blank, 3, 4, blank}),
                                           column(10, {100, 90, 80, 70}, {1, nan, blank, blank})};
    m_model->sectionResults = cells;
    m_model->layerResults = cells;
    m_model->transRelaxMethod = kind == "1d" ? 2 : 1;
    for (const DataType_ResultData& c : cells) {
        DataType_ThreeResultData p;
        p.station = c.x;
        p.z = c.depth;
        p.value = c.value;
        m_model->profileResults.append(p);
    }
    if (paired)
        m_model->lineCoordinates = {coordinate(1, 0, 5, 6, 7), coordinate(1, 10, 15, 16, 17)};
    m_model->resultTopography = {TopoData{0, 100}, TopoData{10, 101}};

    const QString file = path("s." + kind + ".dat");
    if (kind == "2d")
        m_model->export2DResults(file);
    else if (kind == "1d")
        m_model->export1DResults(file);
    else
        m_model->exportLayerResults(file);
    QCOMPARE(readText(file), rows);
    if (kind == "2d") {
        // The grid keeps a node for every cell, the blank ones blank.
        QString why;
        SurferGrid g;
        QVERIFY2(parseSurfer(readAll(path("s.grd")), g, &why), qPrintable(why));
        QVERIFY(g.z.contains(1.70141e38));
    }
}

void TestDataModelExports::blankingFiles_data()
{
    QTest::addColumn<QVector<TopoData>>("topography");
    QTest::addColumn<double>("depth");
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("bottom");

    QTest::newRow("elevations 12 and 37, unsorted")
        << QVector<TopoData>{{20, 37}, {10, 12}} << 100.0
        << "5,0\n10,12\n20,37\n20,40\n10,40\n10,12"
        << "5,0\n10,-88\n20,-63\n20,-90\n10,-90\n10,-88";
    QTest::newRow("highest elevation on a multiple of ten")
        << QVector<TopoData>{{0, 40}, {5, 30.5}} << 0.5
        << "5,0\n0,40\n5,30.5\n5,40\n0,40\n0,40"
        << "5,0\n0,39.5\n5,30\n5,30\n0,30\n0,39.5";
    // The closing vertices lie on the points' own extremes, however far out.
    QTest::newRow("positions below -100000")
        << QVector<TopoData>{{-150000, 15}, {-200000, 5}} << 50.0
        << "5,0\n-200000,5\n-150000,15\n-150000,20\n-200000,20\n-200000,5"
        << "5,0\n-200000,-45\n-150000,-35\n-150000,-50\n-200000,-50\n-200000,-45";
    QTest::newRow("positions above 1e10")
        << QVector<TopoData>{{3e10, 1}, {2e10, 2}} << 10.0
        << "5,0\n2e+10,2\n3e+10,1\n3e+10,10\n2e+10,10\n2e+10,2"
        << "5,0\n2e+10,-8\n3e+10,-9\n3e+10,-10\n2e+10,-10\n2e+10,-8";

    QVector<TopoData> many;
    QString top = "27,0\n";
    QString bottom = "27,0\n";
    for (int i = 0; i < 24; ++i) {
        many.append(TopoData{i * 10.0, 100.0 + i});
        top += QString("%1,%2\n").arg(i * 10).arg(100 + i);
        bottom += QString("%1,%2\n").arg(i * 10).arg(i);
    }
    top += "230,130\n0,130\n0,100";
    bottom += "230,0\n0,0\n0,0";
    QTest::newRow("24 points") << many << 100.0 << top << bottom;
}

void TestDataModelExports::blankingFiles()
{
    QFETCH(QVector<TopoData>, topography);
    QFETCH(double, depth);
    QFETCH(QString, top);
    QFETCH(QString, bottom);
    m_model->resultTopography = topography;
    m_model->invParam.inversionDepth = depth;
    // The held results' ground counts, not what a later view left in the
    // parameters.
    m_model->invParam.topography = {TopoData{-1, -1000}};

    QVERIFY(m_model->writeTopBlanking(path("x_top.bln")));
    QVERIFY(m_model->writeBottomBlanking(path("x_bottom.bln")));
    QCOMPARE(readText(path("x_top.bln")), top);
    QCOMPARE(readText(path("x_bottom.bln")), bottom);

    for (int i = 1; i < m_model->resultTopography.size(); ++i)
        QVERIFY(m_model->resultTopography[i - 1].position <= m_model->resultTopography[i].position);
}

void TestDataModelExports::missingTopographyLeavesResults_data()
{
    QTest::addColumn<bool>("twoD");
    QTest::newRow("1D") << false;
    QTest::newRow("2D") << true;
}

void TestDataModelExports::missingTopographyLeavesResults()
{
    QFETCH(bool, twoD);
    openWithShownLine();
    m_model->stationResults = {column(100, {10}, {50})};
    m_model->sectionResults = {column(100, {10, 0}, {50, 60}), column(200, {10, 0}, {70, 80})};
    m_model->invParam.topography = {TopoData{100, 10}, TopoData{200, 20}};
    m_model->resultTopography.clear();
    const QString file = path(twoD ? "n.2d.dat" : "n.1d.dat");
    if (twoD)
        m_model->export2DResults(file);
    else
        m_model->export1DResults(file);

    const QString header = QStringLiteral("里程,坐标X,坐标Y,深度,电阻率\n");
    QCOMPARE(readText(file), header + (twoD ? "100,10,50\n100,0,60\n200,10,70\n200,0,80\n" : "100,10,50\n"));
    QVERIFY(!QFile::exists(path("n_top.bln")));
    QVERIFY(!QFile::exists(path("n_bottom.bln")));
    const Message expected = twoD ? Message{QStringLiteral("二维反演结果"), QStringLiteral("保存二维反演数据成功") + ofLine(1)
                                                                          + QStringLiteral(",未保存Bln文件") + gridNamed(path("n.grd"))}
                                  : Message{QStringLiteral("一维反演结果"),
                                            QStringLiteral("保存一维反演数据成功") + ofLine(1) + QStringLiteral(",未保存Bln文件")};
    QCOMPARE(m_messages, QList<Message>{expected});
}

void TestDataModelExports::surferGridReadsBack()
{
    // Three columns given out of order, four levels from 100 down to 70;
    // the value at column x and level index k is x * 10 + k + 1.
    QList<DataType_ResultData> section;
    for (double x : {20.0, 0.0, 10.0}) {
        DataType_ResultData r = column(x, {100, 90, 80, 70}, {});
        for (int k = 0; k < 4; ++k)
            r.value.append(x * 10 + k + 1);
        section.append(r);
    }
    m_model->sectionResults = section;
    QVERIFY(m_model->writeSurferGrid(m_dir->path()));

    const QByteArray bytes = readAll(path("out.grd"));
    QCOMPARE(QString::fromLatin1(bytes), QString("DSAA\n3 4\n0 20\n70 100\n1 204\n"
                                                 " 4 104 204\n 3 103 203\n 2 102 202\n 1 101 201\n"));

    SurferGrid g;
    QString why;
    QVERIFY2(parseSurfer(bytes, g, &why), qPrintable(why));
    QCOMPARE(g.nx, 3);
    QCOMPARE(g.ny, 4);
    QCOMPARE(g.zlo, 1.0);
    QCOMPARE(g.zhi, 204.0);
    // Every node sits where the section holds its value.
    for (int row = 0; row < g.ny; ++row) {
        for (int col = 0; col < g.nx; ++col) {
            bool found = false;
            for (const DataType_ResultData& r : section) {
                if (r.x != g.x(col))
                    continue;
                const int k = r.depth.indexOf(g.y(row));
                QVERIFY2(k >= 0, qPrintable(QString("no level %1").arg(g.y(row))));
                QCOMPARE(g.at(col, row), r.value[k]);
                found = true;
            }
            QVERIFY2(found, qPrintable(QString("no column at %1").arg(g.x(col))));
            QVERIFY(g.at(col, row) >= g.zlo && g.at(col, row) <= g.zhi);
        }
    }
    // The held section is left in x order.
    QCOMPARE(m_model->sectionResults[0].x, 0.0);
    QCOMPARE(m_model->sectionResults[2].x, 20.0);
}

void TestDataModelExports::surferGridBlanksNonFiniteValues()
{
    // Nodes without a finite value go out as Surfer's blank; the value range
    // in the header is that of the nodes that hold one.
    m_model->sectionResults = {column(0, {10, 0}, {std::numeric_limits<double>::infinity(), 2}),
                               column(5, {10, 0}, {qQNaN(), 7}),
                               column(10, {10, 0}, {-std::numeric_limits<double>::infinity(), 4})};
    QVERIFY(m_model->writeSurferGrid(m_dir->path()));

    const QByteArray bytes = readAll(path("out.grd"));
    QCOMPARE(QString::fromLatin1(bytes), QString("DSAA\n3 2\n0 10\n0 10\n2 7\n"
                                                 " 2 7 4\n 1.70141e+38 1.70141e+38 1.70141e+38\n"));
    SurferGrid g;
    QString why;
    QVERIFY2(parseSurfer(bytes, g, &why), qPrintable(why));
    QCOMPARE(g.zlo, 2.0);
    QCOMPARE(g.zhi, 7.0);
}

void TestDataModelExports::surferGridEvenlySpaced_data()
{
    QTest::addColumn<QList<DataType_ResultData>>("section");
    QTest::addColumn<QString>("expected");
    // A column whose top moved onto its ground (19), the cut (2) closer than
    // the step, and a cell above the ground: rows every 5 m, 20 down to 5.
    QTest::newRow("fixed step")
        << QList<DataType_ResultData>{column(0, {19, 15, 10, 5, 2}, {1, 2, 3, 4, 5}),
                                      column(10, {20, 15, 10, 5, 2}, {6, 7, 8, 9, 10}),
                                      column(20, {20, 15, 10, 5, 2}, {ModelFiles::kNoValue, 11, 12, 13, 14})}
        << QString("DSAA\n3 4\n0 20\n5 20\n2 13\n"
                   " 4 9 13\n 3 8 12\n 2 7 11\n 1.70141e+38 6 1.70141e+38\n");
    // Widening steps, as common as each other: every metre, read off the
    // column linearly.
    QTest::newRow("widening steps")
        << QList<DataType_ResultData>{column(0, {6, 5, 4, 2, 0}, {1, 2, 3, 4, 5})}
        << QString("DSAA\n1 7\n0 0\n0 6\n1 5\n"
                   " 5\n 4.5\n 4\n 3.5\n 3\n 2\n 1\n");
    // Evenly spaced stations are the grid's columns, as they always were
    // (the steps of 0.1 differ in their last bits).
    QTest::newRow("even spacing")
        << QList<DataType_ResultData>{column(0.1 + 0.2, {10, 0}, {7, 8}), column(0.0, {10, 0}, {1, 2}),
                                      column(0.1, {10, 0}, {ModelFiles::kNoValue, 4}),
                                      column(0.2, {10, 0}, {5, 6})}
        << QString("DSAA\n4 2\n0 0.3\n0 10\n1 8\n"
                   " 2 4 6 8\n 1 1.70141e+38 5 7\n");
    // A gap of three steps: columns every 10 m, those in the gap read
    // linearly between its stations.
    QTest::newRow("gap")
        << QList<DataType_ResultData>{column(0, {10, 0}, {1, 2}), column(10, {10, 0}, {3, 4}),
                                      column(40, {10, 0}, {9, 10}), column(50, {10, 0}, {11, 12})}
        << QString("DSAA\n6 2\n0 50\n0 10\n1 12\n"
                   " 2 4 6 8 10 12\n 1 3 5 7 9 11\n");
    // Next to a cell above the ground a column in the gap is blank too.
    QTest::newRow("gap beside the ground")
        << QList<DataType_ResultData>{column(0, {10, 0}, {1, 2}), column(10, {10, 0}, {3, 4}),
                                      column(30, {10, 0}, {ModelFiles::kNoValue, 8})}
        << QString("DSAA\n4 2\n0 30\n0 10\n1 8\n"
                   " 2 4 6 8\n 1 3 1.70141e+38 1.70141e+38\n");
    // A last station off the step: the columns reach past it, blank there;
    // a column between it and its neighbour is read linearly.
    QTest::newRow("last station off the step")
        << QList<DataType_ResultData>{column(0, {10, 0}, {1, 2}), column(10, {10, 0}, {3, 4}),
                                      column(20, {10, 0}, {5, 6}), column(35, {10, 0}, {8, 9})}
        << QString("DSAA\n5 2\n0 40\n0 10\n1 8\n"
                   " 2 4 6 8 1.70141e+38\n 1 3 5 7 1.70141e+38\n");
}

void TestDataModelExports::surferGridEvenlySpaced()
{
    QFETCH(QList<DataType_ResultData>, section);
    QFETCH(QString, expected);
    m_model->sectionResults = section;
    QVERIFY(m_model->writeSurferGrid(m_dir->path()));
    QCOMPARE(QString::fromLatin1(readAll(path("out.grd"))), expected);
}

void TestDataModelExports::surferGridRefusesUnusableSection_data()
{
    QTest::addColumn<QList<DataType_ResultData>>("section");
    QTest::newRow("empty") << QList<DataType_ResultData>();
    QTest::newRow("first column without levels")
        << QList<DataType_ResultData>{column(0, {}, {}), column(10, {1, 0}, {1, 2})};
    QTest::newRow("a column with fewer values")
        << QList<DataType_ResultData>{column(0, {1, 0}, {1, 2}), column(10, {1}, {1})};
}

void TestDataModelExports::surferGridRefusesUnusableSection()
{
    QFETCH(QList<DataType_ResultData>, section);
    m_model->sectionResults = section;
    QVERIFY(!m_model->writeSurferGrid(m_dir->path()));
    QVERIFY(!QFile::exists(path("out.grd")));
}

// Stations of a line with large chainages and levels that six significant
// digits would move (100012.5 to 100013, 1203.125 to 1203.12): every file
// gives them back as they were, to the millimetre.
void TestDataModelExports::largeChainagesKeepTheirDigits()
{
    openWithShownLine();
    const QVector<double> stations{100000.5, 100012.5, 100024.5};
    const QVector<double> levels{1203.125, 1191.125, 1179.125};
    QList<DataType_ResultData> section;
    QList<DataType_ThreeResultData> profile;
    for (double x : stations) {
        section.append(column(x, levels, {10, 20, 30}));
        DataType_ThreeResultData p;
        p.station = x;
        p.z = levels;
        p.value = {10, 20, 30};
        profile.append(p);
    }
    m_model->stationResults = section;
    m_model->sectionResults = section;
    m_model->layerResults = section;
    m_model->profileResults = profile;
    m_model->reportDistances = stations;
    m_model->reportTimes = {10};
    m_model->reportCurves = {{1, 2, 3}};
    m_model->resultTopography = {TopoData{100000.5, 1203.125}, TopoData{100024.5, 1190.25}};
    m_model->invParam.inversionDepth = 100;

    m_model->transRelaxMethod = 1;
    m_model->export1DResults(path("a.1d.dat"));
    m_model->export2DResults(path("a.2d.dat"));
    m_model->exportLayerResults(path("a.layer.dat"));
    m_model->exportSectionData(path("a.raw.dat"));
    m_model->transRelaxMethod = 2;
    m_model->export1DResults(path("b.1d.dat"));

    auto rowsOf = [this](const QString& name, int skip) {
        QList<QStringList> rows;
        const QStringList lines = readText(path(name)).split('\n', Qt::SkipEmptyParts);
        for (int i = skip; i < lines.size(); ++i)
            rows.append(lines[i].split(','));
        return rows;
    };
    auto numbersOf = [](const QStringList& texts) {
        QVector<double> numbers;
        for (const QString& t : texts) {
            bool ok = false;
            numbers.append(t.toDouble(&ok));
            if (!ok)
                qWarning() << "not a number:" << t;
        }
        std::sort(numbers.begin(), numbers.end());
        numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
        return numbers;
    };

    QVector<double> ascendingLevels = levels;
    std::reverse(ascendingLevels.begin(), ascendingLevels.end());
    for (const auto& [name, skip] : {std::make_pair(QString("a.1d.dat"), 1), std::make_pair(QString("b.1d.dat"), 1),
                                     std::make_pair(QString("a.2d.dat"), 1), std::make_pair(QString("a.layer.dat"), 0)}) {
        QStringList positions;
        QStringList depths;
        for (const QStringList& row : rowsOf(name, skip)) {
            positions.append(row.first());
            depths.append(row[1]);
        }
        QVERIFY2(numbersOf(positions) == stations, qPrintable(name + ": " + positions.join(' ')));
        QVERIFY2(numbersOf(depths) == ascendingLevels, qPrintable(name + ": " + depths.join(' ')));
    }
    const QStringList header = rowsOf("a.raw.dat", 0).first();
    QCOMPARE(numbersOf(header.mid(1)), stations);

    // The blanking polygons run through the ground points themselves.
    for (const auto& [name, heights] :
         {std::make_pair(QString("a_top.bln"), QVector<double>{1190.25, 1203.125, 1210}),
          std::make_pair(QString("a_bottom.bln"), QVector<double>{1090, 1090.25, 1103.125})}) {
        QStringList positions;
        QStringList elevations;
        for (const QStringList& row : rowsOf(name, 1)) {
            positions.append(row.first());
            elevations.append(row[1]);
        }
        QVERIFY2(numbersOf(positions) == (QVector<double>{100000.5, 100024.5}),
                 qPrintable(name + ": " + positions.join(' ')));
        QVERIFY2(numbersOf(elevations) == heights, qPrintable(name + ": " + elevations.join(' ')));
    }

    // The grid's nodes lie on the stations and the levels.
    SurferGrid g;
    QString why;
    QVERIFY2(parseSurfer(readAll(path("a.grd")), g, &why), qPrintable(why));
    QCOMPARE(g.nx, 3);
    QCOMPARE(g.ny, 3);
    for (int col = 0; col < g.nx; ++col)
        QCOMPARE(g.x(col), stations[col]);
    for (int row = 0; row < g.ny; ++row) {
        QCOMPARE(g.y(row), ascendingLevels[row]);
        for (int col = 0; col < g.nx; ++col)
            QCOMPARE(g.at(col, row), 30.0 - 10.0 * row);
    }
}

void TestDataModelExports::filesReplacedWholeOrNotAtAll()
{
    openWithShownLine();
    m_model->layerResults = {column(1, {2}, {3})};
    m_model->resultTopography = {TopoData{0, 1}};

    // A longer file in place is replaced whole, with nothing of it left over.
    const QString layer = path("old.layer.dat");
    {
        QFile f(layer);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1000, 'x'));
    }
    m_model->exportLayerResults(layer);
    QCOMPARE(readText(layer), QString("1,2,3\n"));

    // A file that cannot be written ends the export with a message naming
    // it and writes nothing else: no blanking files beside it.
    m_messages.clear();
    QVERIFY(QDir(m_dir->path()).mkdir("taken.1d.dat"));
    m_model->export1DResults(path("taken.1d.dat"));
    m_model->export1DResults(path("missing/r.1d.dat"));
    QVERIFY(QFileInfo(path("taken.1d.dat")).isDir());
    QVERIFY(!QFile::exists(path("taken_top.bln")));
    QVERIFY(!QFile::exists(path("missing")));
    QCOMPARE(m_messages, (QList<Message>{failed(path("taken.1d.dat")), failed(path("missing/r.1d.dat"))}));
}

void TestDataModelExports::failedWritesAreReported_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("obstacle");
    // Obstacles that hold for root too, and a read-only folder where the
    // user's permissions count.
    QTest::newRow("1d, folder is a file") << "1d" << "folder is a file";
    QTest::newRow("1d, read-only folder") << "1d" << "read-only folder";
    QTest::newRow("1d, disk full") << "1d" << "disk full";
    QTest::newRow("2d, disk full") << "2d" << "disk full";
    QTest::newRow("layer, folder is a file") << "layer" << "folder is a file";
    QTest::newRow("layer, disk full") << "layer" << "disk full";
    QTest::newRow("section, disk full") << "section" << "disk full";
    QTest::newRow("by line, folder is a file") << "byline" << "folder is a file";
    QTest::newRow("by line, read-only folder") << "byline" << "read-only folder";
    QTest::newRow("sampled, name taken by a folder") << "sampled" << "name taken by a folder";
    QTest::newRow("sampled, read-only folder") << "sampled" << "read-only folder";
}

void TestDataModelExports::failedWritesAreReported()
{
    QFETCH(QString, operation);
    QFETCH(QString, obstacle);
    openWithShownLine();
    m_model->transRelaxMethod = 1;
    m_model->stationResults = {column(100, {10}, {50}), column(200, {10}, {60})};
    m_model->sectionResults = m_model->stationResults;
    m_model->layerResults = m_model->stationResults;
    m_model->reportDistances = {100, 200};
    m_model->reportTimes = {10};
    m_model->reportCurves = {{1, 2}};
    m_model->resultTopography = {TopoData{100, 10}, TopoData{200, 20}};

    const QString folder = path("out");
    QString file = folder + "/r." + operation + ".dat";
    if (operation == "byline")
        file = folder + "/Line_1_r100_c1_s0.3.dat";
    else if (operation == "sampled")
        file = folder + "/1Line 100Station.txt";
    const QByteArray old("what was there before");
    QVERIFY(hwtest::placeObstacle(obstacle, folder, file, old));
    if (obstacle == "read-only folder" && !hwtest::makeReadOnly(folder))
        QSKIP("a read-only folder stays writable for this user (root)");
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    if (operation == "sampled")
        QDir::setCurrent(folder);

    m_messages.clear();
    {
        std::unique_ptr<hwtest::FileSizeLimit> full;
        if (obstacle == "disk full")
            full.reset(new hwtest::FileSizeLimit(0));
        if (operation == "1d")
            m_model->export1DResults(file);
        else if (operation == "2d")
            m_model->export2DResults(file);
        else if (operation == "layer")
            m_model->exportLayerResults(file);
        else if (operation == "section")
            m_model->exportSectionData(file);
        else if (operation == "byline")
            m_model->exportResultsByLine(folder);
        else
            m_model->exportSampledData(0, 0);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // The file is named, nothing is reported done, nothing else is written,
    // and what was there is left whole.
    QCOMPARE(m_messages, QList<Message>{failed(file)});
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(QDir(m_dir->path()).entryList({"*.bln", "*.grd"}, QDir::Files), QStringList());
    if (obstacle == "disk full")
        QCOMPARE(readAll(file), old);
}

void TestDataModelExports::coordinatesReadBack_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    for (int method : {1, 2}) {
        const QByteArray m = "method " + QByteArray::number(method);
        QTest::newRow(m + ", projected with decimals") << method << 3012345.67f << 500000.125f;
        QTest::newRow(m + ", beyond ten million") << method << 19876543.0f << 4321987.5f;
        QTest::newRow(m + ", degrees") << method << 116.397461f << 39.909187f;
        QTest::newRow(m + ", small, f6 too coarse") << method << 0.1234567f << -1.0000001f;
    }
}

void TestDataModelExports::coordinatesReadBack()
{
    QFETCH(int, method);
    QFETCH(float, x);
    QFETCH(float, y);
    openWithShownLine();
    m_model->transRelaxMethod = method;
    m_model->lineCoordinates = {coordinate(1, 100, x, y, 0)};
    m_model->stationResults = {column(100, {10}, {50})};
    DataType_ThreeResultData r;
    r.station = 100;
    r.z = {10};
    r.value = {50};
    m_model->profileResults = {r};

    m_model->export1DResults(path("c.1d.dat"));

    const QStringList rows = readText(path("c.1d.dat")).split('\n');
    QCOMPARE(rows.size(), 3);
    const QStringList fields = rows[1].split(',');
    QCOMPARE(fields.size(), 5);
    // Exactly: QCOMPARE would forgive floats a relative 1e-5, ten metres here.
    QVERIFY2(fields[1].toFloat() == x, qPrintable(fields[1]));
    QVERIFY2(fields[2].toFloat() == y, qPrintable(fields[2]));
}

void TestDataModelExports::saveNameGetsFilterSuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("filters");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QStringList>("alsoKept");
    QTest::addColumn<QString>("result");
    const QString exports = "一维反演(*.1d.dat);;二维反演(*.2d.dat);;层状结果(*.layer.dat);;原始剖面数据(*.raw.dat)";
    const QStringList none;
    QTest::newRow("no suffix, second filter") << "/d/r" << exports << "二维反演(*.2d.dat)" << none << "/d/r.2d.dat";
    QTest::newRow("no suffix, none selected") << "/d/r" << exports << "" << none << "/d/r.1d.dat";
    QTest::newRow("dotted name") << "/d/line.7" << exports << "层状结果(*.layer.dat)" << none << "/d/line.7.layer.dat";
    QTest::newRow("suffix of the filter kept") << "/d/r.raw.dat" << exports << "原始剖面数据(*.raw.dat)" << none
                                               << "/d/r.raw.dat";
    QTest::newRow("suffix of another filter kept") << "/d/r.1d.dat" << exports << "二维反演(*.2d.dat)" << none
                                                   << "/d/r.1d.dat";
    QTest::newRow("pictures") << "/d/c" << "图片(*.png *.jpg)" << "图片(*.png *.jpg)" << none << "/d/c.png";
    QTest::newRow("second pattern kept") << "/d/c.jpg" << "图片(*.png *.jpg)" << "图片(*.png *.jpg)" << none
                                         << "/d/c.jpg";
    const QString documents = "Word 文档(*.docx);; Word 97-2003 文档(*.doc)";
    QTest::newRow("documents") << "/d/report" << documents << " Word 97-2003 文档(*.doc)" << none << "/d/report.doc";
    QTest::newRow("other suffix") << "/d/notes.txt" << "File (*.pdf)" << "File (*.pdf)" << none << "/d/notes.txt.pdf";
    QTest::newRow("any file") << "/d/all" << "所有文件(*)" << "所有文件(*)" << none << "/d/all";
    QTest::newRow("cancelled") << "" << "File (*.pdf)" << "File (*.pdf)" << none << "";
    // The report dialog offers documents but takes a PDF name too.
    const QStringList pdf{".pdf"};
    QTest::newRow("report named as a PDF") << "/d/report.pdf" << documents << "Word 文档(*.docx)" << pdf
                                           << "/d/report.pdf";
    QTest::newRow("report named as both") << "/d/report.pdf.doc" << documents << "Word 文档(*.docx)" << pdf
                                          << "/d/report.pdf.doc";
    QTest::newRow("report without a suffix") << "/d/report" << documents << "Word 文档(*.docx)" << pdf
                                             << "/d/report.docx";
    QTest::newRow("report named pdf, no dot") << "/d/reportpdf" << documents << "Word 文档(*.docx)" << pdf
                                              << "/d/reportpdf.docx";
}

void TestDataModelExports::saveNameGetsFilterSuffix()
{
    QFETCH(QString, name);
    QFETCH(QString, filters);
    QFETCH(QString, selected);
    QFETCH(QStringList, alsoKept);
    QFETCH(QString, result);
    QCOMPARE(UserPrompt::withFilterSuffix(name, filters, selected, alsoKept), result);
}

// --- Per-line export ---

void TestDataModelExports::resultsByLineNamesAndSkips()
{
    const QVector<double> times{100, 200, 400, 800, 1600, 3200};
    const QVector<double> curve = decay(6, 1e-3, 1.5);
    auto station = [&](double name, int use = 1) { return gatedStation(name, times, curve, curve, use); };
    // Line 1 has no station in use, line 4 is not in use itself; lines 2.5
    // and 3 have no coordinates, so no ground for blanking files.
    openFixture({line(1, {station(0, 0), station(10, 0)}), line(2.5, {station(0), station(10), station(20)}),
                 line(3, {station(0), station(10)}), line(4, {station(0), station(10)}, 0, 0)});
    m_model->transRelaxMethod = 1;
    const QVector<TopoData> shownGround{TopoData{1, 2}};
    m_model->resultTopography = shownGround;
    m_model->invParam.topography = shownGround;

    m_model->exportResultsByLine(m_dir->path());

    QCOMPARE(writtenFiles(), (QStringList{"Line_2.5_r100_c1_s0.3.dat", "Line_3_r100_c1_s0.3.dat"}));
    for (const QString& name : writtenFiles()) {
        const QStringList lines = readText(path(name)).split('\n');
        QCOMPARE(lines.first(), QString("station,depth,resistivity "));
        QVERIFY2(lines.size() > 2, qPrintable(name));
        QCOMPARE(lines.last(), QString());
        for (int i = 1; i < lines.size() - 1; ++i)
            QCOMPARE(lines[i].split(',').size(), 3);
    }
    // Line 1 was in use and is not written: the box says so and claims no
    // success for the whole project. Line 4 was left out by the user.
    const Message noBln{QStringLiteral("Bln文件保存结果"), QStringLiteral("未保存Bln文件")};
    QCOMPARE(m_messages, (QList<Message>{noBln, noBln,
                                         {QStringLiteral("整个工程反演数据"),
                                          QStringLiteral("已导出测线 2.5、3 的反演数据；测线 1 没有可用的测点，未导出")}}));
    // The shown line's ground stays with its results.
    QCOMPARE(m_model->resultTopography.size(), 1);
    QCOMPARE(m_model->invParam.topography.size(), 1);

    // A cancelled folder dialog: nothing anywhere, not in the root folder.
    m_messages.clear();
    QDir::setCurrent(m_dir->path());
    for (const QString& name : writtenFiles())
        QVERIFY(QFile::remove(path(name)));
    m_model->exportResultsByLine(QString());
    QCOMPARE(writtenFiles(), QStringList());
    QVERIFY(!QFile::exists("/Line_2.5_r100_c1_s0.3.dat"));
    QCOMPARE(m_messages, QList<Message>());
}

void TestDataModelExports::resultsByLineKeepsLinesSharingANumber()
{
    const QVector<double> times{100, 200, 400, 800, 1600, 3200};
    auto station = [&](double name, double scale) {
        const QVector<double> curve = decay(6, scale, 1.5);
        return gatedStation(name, times, curve, curve);
    };
    // Two lines in use numbered 3 with different data, one more 3 not in
    // use, and 2.5 alone.
    openFixture({line(3, {station(0, 1e-3), station(10, 1e-3)}), line(2.5, {station(0, 1e-3), station(10, 1e-3)}),
                 line(3, {station(0, 1e-3)}, 0, 0), line(3, {station(0, 5e-2), station(10, 5e-2)})});
    m_model->transRelaxMethod = 1;

    m_model->exportResultsByLine(m_dir->path());

    // Each line keeps a file of its own; a number used once keeps its name.
    QCOMPARE(writtenFiles(), (QStringList{"Line_2.5_r100_c1_s0.3.dat", "Line_3(1)_r100_c1_s0.3.dat",
                                          "Line_3(2)_r100_c1_s0.3.dat"}));
    const QString first = readText(path("Line_3(1)_r100_c1_s0.3.dat"));
    const QString second = readText(path("Line_3(2)_r100_c1_s0.3.dat"));
    QVERIFY(first.count('\n') > 2 && second.count('\n') > 2);
    QVERIFY(first != second);
    const Message noBln{QStringLiteral("Bln文件保存结果"), QStringLiteral("未保存Bln文件")};
    QCOMPARE(m_messages,
             (QList<Message>{noBln, noBln, noBln,
                             {QStringLiteral("整个工程反演数据"),
                              QStringLiteral("导出整个工程反演数据成功,测线号相同的测线按工程索引中的顺序加序号区分: "
                                             "Line_3(1)、Line_3(2)")}}));
}

void TestDataModelExports::resultsByLineOfGeneratedProject()
{
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 5;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    openGenerated(o);
    m_model->transRelaxMethod = 1;
    InvParam p = m_model->invParam;
    p.referenceResistivity = 50;
    p.constraintCoefficient = 2;
    p.inversionCoefficient = 0.25;
    m_model->on_signal_curInvsionParamChanged(p);

    m_model->exportResultsByLine(m_dir->path());

    QStringList expected;
    for (const QString l : {"100", "110"})
        expected << "Line_" + l + "_bottom.bln" << "Line_" + l + "_r50_c2_s0.25.dat" << "Line_" + l + "_top.bln";
    QCOMPARE(writtenFiles(), expected);
    QCOMPARE(m_messages,
             (QList<Message>{{QStringLiteral("整个工程反演数据"), QStringLiteral("导出整个工程反演数据成功")}}));

    const QStringList rows = readText(path("Line_110_r50_c2_s0.25.dat")).split('\n');
    QCOMPARE(rows.first(), QString("station,depth,resistivity "));
    QVERIFY(rows.size() > 5 * 2);
    QSet<double> stations;
    for (int i = 1; i < rows.size() - 1; ++i) {
        const QStringList f = rows[i].split(',');
        QCOMPARE(f.size(), 3);
        stations.insert(f[0].toDouble());
        QVERIFY(f[2].toDouble() > 0.0);
    }
    QVERIFY(stations.size() >= 2);

    // The blanking polygon of line 110 runs along its own stations' ground.
    const QStringList top = readText(path("Line_110_top.bln")).split('\n');
    QCOMPARE(top.first(), QString("8,0"));
    QCOMPARE(top.size(), 9);
    for (int s = 0; s < 5; ++s) {
        const QStringList v = top[1 + s].split(',');
        QCOMPARE(v[0].toDouble(), s * 20.0);
        const double z = stationValue(110, s * 20.0, "ZCoord").toDouble();
        QVERIFY2(std::fabs(v[1].toDouble() - z) < 0.01, qPrintable(top[1 + s]));
    }
}

void TestDataModelExports::resultsByLineWithNothingToWrite_data()
{
    QTest::addColumn<int>("lineUse");
    QTest::addColumn<QString>("message");
    QTest::newRow("every sample out of use") << 1 << QStringLiteral("测线 1、2 没有可用的测点，未导出任何反演数据。");
    QTest::newRow("no line in use") << 0 << QStringLiteral("没有使用中的测线，未导出任何反演数据。");
}

// A project of which no line can be exported says so, and no success.
void TestDataModelExports::resultsByLineWithNothingToWrite()
{
    QFETCH(int, lineUse);
    QFETCH(QString, message);
    auto station = [](double name) {
        return rawStation(name, {sample(decay(2000), quietRecord(), 1.0e6, 0),
                                 sample(decay(2000), quietRecord(), 1.0e6, 0)});
    };
    openFixture({line(1, {station(0), station(10), station(20)}, 0, lineUse),
                 line(2, {station(0), station(10)}, 0, lineUse)});
    m_model->transRelaxMethod = 1;

    m_model->exportResultsByLine(m_dir->path());

    QCOMPARE(writtenFiles(), QStringList());
    QCOMPARE(m_messages, (QList<Message>{{QStringLiteral("整个工程反演数据"), message}}));
}

void TestDataModelExports::resultsByLineOfUnreadSamples_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("message");
    QTest::newRow("another program holds the file")
        << "locked" << QStringLiteral("（该文件正被其他程序使用），导出已停止，未导出任何测线。");
    QTest::newRow("a listed sample of the second line deleted")
        << "deleted" << QStringLiteral("（读取失败），导出已停止，此前已导出测线 100，其余测线未导出。");
}

// Samples that cannot be read end the export with a message naming the
// file and the line: no line is inverted from part of its samples.
void TestDataModelExports::resultsByLineOfUnreadSamples()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, message);
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 4;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    openGenerated(o);
    m_model->transRelaxMethod = 1;
    QString line = QStringLiteral("100");
    {
        storetest::RawDb other(m_file);
        if (obstacle == "locked") {
            m_lib->setBusyTimeout(20);
            QVERIFY(other.holdWriteLock());
        } else {
            line = QStringLiteral("110");
            Data_Point* station = m_model->stationAt(m_model->lineAt(1), 2);
            QVERIFY(station && station->REF_Data_Sample()->size() == 1);
            QVERIFY(other.exec(QString("DELETE FROM Data_Sample WHERE Data_PointID = %1").arg(station->ID())));
        }
        m_model->exportResultsByLine(m_dir->path());
        if (obstacle == "locked")
            other.release();
    }
    QCOMPARE(m_messages,
             (QList<Message>{{QStringLiteral("读取采样数据"),
                              QStringLiteral("未能读取工程文件 %1 中测线 %2的采样数据")
                                      .arg(QDir::toNativeSeparators(m_file), line)
                                  + message}}));
    QCOMPARE(writtenFiles(), obstacle == "locked" ? QStringList()
                                                  : (QStringList{"Line_100_bottom.bln", "Line_100_r100_c1_s0.3.dat",
                                                                 "Line_100_top.bln"}));
}

void TestDataModelExports::numbersInNames_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("100") << 100.0 << "100";
    QTest::newRow("12.5") << 12.5 << "12.5";
    QTest::newRow("0.3") << 0.3 << "0.3";
    QTest::newRow("300.3") << 300.3 << "300.3";
    QTest::newRow("-5.5") << -5.5 << "-5.5";
    QTest::newRow("1e6") << 1e6 << "1e+06";
    QTest::newRow("1000001") << 1000001.0 << "1000001";
    QTest::newRow("1000002") << 1000002.0 << "1000002";
    QTest::newRow("seven digits") << 1234567.5 << "1234567.5";
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << "0.30000000000000004";
}

void TestDataModelExports::numbersInNames()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(ExportFiles::number(value), text);
    // Read back, the text is the number itself: distinct numbers, distinct names.
    QCOMPARE(text.toDouble(), value);
}

void TestDataModelExports::distinctNumbersGiveDistinctFiles()
{
    // Lines and stations numbered a million and one and two: six significant
    // digits would name both "1e+06", the second overwriting the first.
    const QVector<double> times{100, 200, 400, 800, 1600, 3200};
    const QVector<double> curve = decay(6, 1e-3, 1.5);
    auto station = [&](double name) { return gatedStation(name, times, curve, curve); };
    openFixture({line(1000001, {station(0), station(10)}), line(1000002, {station(0), station(10), station(20)})});
    m_model->transRelaxMethod = 1;
    m_model->resultTopography.clear();

    m_model->exportResultsByLine(m_dir->path());
    QCOMPARE(writtenFiles(), (QStringList{"Line_1000001_r100_c1_s0.3.dat", "Line_1000002_r100_c1_s0.3.dat"}));
    // Each file holds its own line: only the second reaches station 20.
    auto lastStation = [&](const QString& name) {
        double last = -1.0;
        const QStringList rows = readText(path(name)).split('\n');
        for (int i = 1; i < rows.size() - 1; ++i)
            last = std::max(last, rows[i].section(',', 0, 0).toDouble());
        return last;
    };
    QVERIFY(lastStation("Line_1000001_r100_c1_s0.3.dat") < 15.0);
    QVERIFY(lastStation("Line_1000002_r100_c1_s0.3.dat") > 15.0);

    for (const QString& name : writtenFiles())
        QVERIFY(QFile::remove(path(name)));
    m_model->closeProject();
    m_lib.reset();
    openFixture({line(7, {rawStation(1000001, {sample(decay(2000), quietRecord())}),
                          rawStation(1000002, {sample(decay(2000), quietRecord())})})});
    QDir::setCurrent(m_dir->path());
    m_model->exportSampledData(0, 0);
    m_model->exportSampledData(0, 1);
    QCOMPARE(writtenFiles(), (QStringList{"7Line 1000001Station.txt", "7Line 1000002Station.txt"}));
}

// --- Sampled data ---

void TestDataModelExports::sampledDataOfGeneratedStation()
{
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 2;
    o.samplesPerStation = 3;
    o.sampleLength = 2000;
    openGenerated(o);
    m_model->on_signal_SampleModeChanged(SAMPLE_LOG10);
    QDir::setCurrent(m_dir->path());

    m_model->exportSampledData(0, 1);

    QCOMPARE(lineValue(100, "SampleMode").toInt(), 1);
    QCOMPARE(m_messages, (QList<Message>{sampledWritten(path("100Line 20Station.txt"))}));
    const QString file = path("100Line 20Station.txt");
    QVERIFY(QFile::exists(file));
    QStringList lines = readText(file).split('\n');
    QCOMPARE(lines.takeFirst(), QStringLiteral("时间（us）,感应电压（V）"));
    QCOMPARE(lines.takeLast(), QString());
    // The 18-window gates, whatever scheme is chosen: the loading stored the
    // stacked curve on the same gates.
    const QVector<double> gates = CurveBlob::fromBlob(stationValue(100, 20, "DATA_TIMERECV_QV18").toByteArray());
    QCOMPARE(lines.size(), gates.size());
    for (int g = 0; g < lines.size(); ++g) {
        const QStringList f = lines[g].split(',');
        QCOMPARE(f.size(), 5);
        QCOMPARE(f[0], QString::number(gates[g], 'g', 6));
        QVERIFY(f[4].isEmpty());
        for (int s = 1; s <= 3; ++s)
            QVERIFY(f[s].toDouble() > 0.0);
    }
}

void TestDataModelExports::sampledDataAlignsGateSets()
{
    // A long record and a short one: the short one reaches fewer gates.
    openFixture({line(7, {rawStation(3, {sample(decay(2000), quietRecord()), sample(decay(300), quietRecord())})})});
    QDir::setCurrent(m_dir->path());
    m_model->exportSampledData(0, 0);

    QStringList lines = readText(path("7Line 3Station.txt")).split('\n');
    QCOMPARE(lines.takeFirst(), QStringLiteral("时间（us）,感应电压（V）"));
    QCOMPARE(lines.takeLast(), QString());
    QVERIFY(lines.size() > 2);
    double previous = -1.0;
    int shortEnded = -1;
    for (int g = 0; g < lines.size(); ++g) {
        const QStringList f = lines[g].split(',');
        QCOMPARE(f.size(), 4);
        QVERIFY(f[0].toDouble() > previous);
        previous = f[0].toDouble();
        QVERIFY(!f[1].isEmpty());
        QVERIFY(f[3].isEmpty());
        if (f[2].isEmpty() && shortEnded < 0)
            shortEnded = g;
        if (shortEnded >= 0)
            QVERIFY2(f[2].isEmpty(), qPrintable(lines[g]));
        // Where both records reach a gate, both show the same decay.
        if (!f[2].isEmpty())
            QVERIFY(std::fabs(f[1].toDouble() / f[2].toDouble() - 1.0) < 0.05);
    }
    QVERIFY2(shortEnded > 0, "the short record must end before the long one");
}

void TestDataModelExports::sampledDataEdgeCases()
{
    const QVector<double> times{100, 200};
    openFixture({line(5, {gatedStation(2, times, {2, 1}, {2, 1}), gatedStation(4, times, {2, 1}, {2, 1})})});
    QDir::setCurrent(m_dir->path());
    m_model->on_signal_SampleModeChanged(SAMPLE_LOG20);

    // A station row outside the line: the line's scheme is stored, nothing written.
    m_model->exportSampledData(0, 2);
    QCOMPARE(lineValue(5, "SampleMode").toInt(), 2);
    QCOMPARE(writtenFiles(), QStringList());
    QCOMPARE(m_messages, QList<Message>());

    // A line row outside the project changes nothing.
    m_model->on_signal_SampleModeChanged(SAMPLE_LOG10);
    m_model->exportSampledData(3, 0);
    QCOMPARE(lineValue(5, "SampleMode").toInt(), 2);
    QCOMPARE(writtenFiles(), QStringList());

    // A station without samples: the header alone, and the box.
    m_model->exportSampledData(0, 1);
    QCOMPARE(readText(path("5Line 4Station.txt")), QStringLiteral("时间（us）,感应电压（V）\n"));
    QCOMPARE(m_messages, (QList<Message>{sampledWritten(path("5Line 4Station.txt"))}));
}

void TestDataModelExports::sampledDataOfFileInUse_data()
{
    QTest::addColumn<bool>("samplesListed");
    QTest::newRow("the station's samples not listed yet") << false;
    QTest::newRow("samples listed before, their blobs refused") << true;
}

// Another program holding the project refuses the reads of the samples: the
// export writes nothing and says why, instead of a table with no sample.
void TestDataModelExports::sampledDataOfFileInUse()
{
    QFETCH(bool, samplesListed);
    openFixture({line(7, {rawStation(3, {sample(decay(2000), quietRecord()), sample(decay(300), quietRecord())})})});
    QDir::setCurrent(m_dir->path());
    Data_Point* station = m_model->stationAt(m_model->lineAt(0), 0);
    QVERIFY(station);
    if (samplesListed)
        QCOMPARE(station->REF_Data_Sample()->size(), 2);
    m_messages.clear();
    {
        storetest::RawDb other(m_file);
        QVERIFY(other.holdWriteLock());
        m_lib->setBusyTimeout(20);
        m_model->exportSampledData(0, 0);
        other.release();
    }
    QCOMPARE(writtenFiles(), QStringList());
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages.first().title, QStringLiteral("采样数据"));
    QVERIFY2(m_messages.first().text.contains(QDir::toNativeSeparators(m_file))
                 && m_messages.first().text.contains(QStringLiteral("正被其他程序使用"))
                 && m_messages.first().text.contains(QStringLiteral("未导出")),
             qPrintable(m_messages.first().text));

    // The other program done, the same export writes both samples.
    m_messages.clear();
    m_lib->setBusyTimeout(LibHORM::kBusyTimeoutMs);
    m_model->exportSampledData(0, 0);
    QCOMPARE(m_messages, (QList<Message>{sampledWritten(path("7Line 3Station.txt"))}));
    const QStringList rows = readText(path("7Line 3Station.txt")).split('\n');
    QVERIFY(rows.size() > 3);
    QCOMPARE(rows.at(1).split(',').size(), 4);
    QVERIFY(!rows.at(1).split(',').at(2).isEmpty());
}

// A sample listed and then deleted by another program: the station's table
// would lack it, so nothing is written and the user told which file.
void TestDataModelExports::sampledDataOfDeletedSample()
{
    openFixture({line(7, {rawStation(3, {sample(decay(2000), quietRecord()), sample(decay(300), quietRecord())})})});
    QDir::setCurrent(m_dir->path());
    Data_Point* station = m_model->stationAt(m_model->lineAt(0), 0);
    QVERIFY(station);
    QCOMPARE(station->REF_Data_Sample()->size(), 2);
    QSqlQuery remove(QSqlDatabase::database(m_reader));
    QVERIFY(remove.exec(QString("DELETE FROM Data_Sample WHERE ID = %1")
                            .arg(station->REF_Data_Sample()->at(1).value()->ID())));
    m_messages.clear();

    m_model->exportSampledData(0, 0);

    QCOMPARE(writtenFiles(), QStringList());
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages.first().title, QStringLiteral("采样数据"));
    QVERIFY2(m_messages.first().text.contains(QDir::toNativeSeparators(m_file))
                 && m_messages.first().text.contains(QStringLiteral("读取失败"))
                 && m_messages.first().text.contains(QStringLiteral("未导出")),
             qPrintable(m_messages.first().text));
}

// --- GPS import ---

void TestDataModelExports::gpsImportFromFile()
{
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 6;   // stations 0 .. 100
    o.samplesPerStation = 1;
    o.sampleLength = 1000;
    o.coordinates = false;
    openGenerated(o);

    // Records every 50 m, listed out of order and with a repeated station
    // that the grouping drops.
    auto x = [](double line, double s) { return 500000.0 + 2.0 * s + line; };
    auto y = [](double line, double s) { return 3000000.0 - s + 10.0 * line; };
    auto z = [](double line, double s) { return 1200.0 + s / 8.0 - line / 10.0; };
    QString text = "line,station,x,y,z\n";
    for (double line : {110.0, 100.0}) {
        for (double s : {100.0, 0.0, 50.0, 50.0})
            text += QString("%1,%2,%3,%4,%5\n").arg(line).arg(s).arg(x(line, s), 0, 'f', 3)
                        .arg(y(line, s), 0, 'f', 3).arg(z(line, s), 0, 'f', 3);
    }
    const QString gps = path("gps.dat");
    {
        QFile f(gps);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }
    Drumvelt io;
    Data_Calc calc(nullptr);
    const QList<GPSCoordinate> records = calc.groupByKey(io.ReadGPSCoordinateFile(gps));
    QCOMPARE(records.size(), 6);

    QStringList statements;
    m_lib->setStatementTrace(&statements);
    m_model->on_signal_GPSFileImported(records);
    m_lib->setStatementTrace(nullptr);

    QCOMPARE(m_messages, (QList<Message>{Message{QString(), QStringLiteral("导入GPS坐标成功!")}}));
    QCOMPARE(statements.count("BEGIN"), 1);
    QCOMPARE(statements.count("COMMIT"), 1);
    QCOMPARE(statements.first(), QString("BEGIN"));
    QCOMPARE(statements.last(), QString("COMMIT"));
    QCOMPARE(statements.filter(QRegExp("^UPDATE Data_Point")).size(), 12);

    for (double line : {100.0, 110.0}) {
        for (int i = 0; i < 6; ++i) {
            const double s = i * 20.0;
            QCOMPARE(stationValue(line, s, "HasZCoord").toInt(), 1);
            QCOMPARE(float(stationValue(line, s, "XCoord").toDouble()), float(x(line, s)));
            QCOMPARE(float(stationValue(line, s, "YCoord").toDouble()), float(y(line, s)));
            QVERIFY(std::fabs(stationValue(line, s, "ZCoord").toDouble() - z(line, s)) < 1e-3);
        }
    }
}

void TestDataModelExports::gpsImportCoverage_data()
{
    // Records as (line, station, x, y, z) flattened; stored HasZCoord per
    // station of lines 12.1 (100, 200, 300.3) and 20 (0, 50).
    QTest::addColumn<QVector<double>>("records");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QVector<int>>("stored");

    const QString ok = QStringLiteral("导入GPS坐标成功!");
    const QVector<double> line20{20, 0, 1, 2, 3, 20, 50, 11, 12, 13};
    QTest::newRow("every line covered")
        << (QVector<double>{12.1, 100, 1, 2, 3, 12.1, 300.3, 5, 6, 7} + line20) << QStringList{ok}
        << QVector<int>{1, 1, 1, 1, 1};
    QTest::newRow("a line without records")
        << QVector<double>{12.1, 100, 1, 2, 3, 12.1, 300.3, 5, 6, 7}
        << QStringList{QStringLiteral("20号线最小点号无坐标，未导入！"), QStringLiteral("已导入12.1号线的GPS坐标；20号线未导入！")}
        << QVector<int>{1, 1, 1, -1, -1};
    QTest::newRow("last station not reached")
        << (QVector<double>{12.1, 100, 1, 2, 3, 12.1, 300, 5, 6, 7} + line20)
        << QStringList{QStringLiteral("12.1号线最大点号无坐标，未导入!"), QStringLiteral("已导入20号线的GPS坐标；12.1号线未导入！")}
        << QVector<int>{-1, -1, -1, 1, 1};
    QTest::newRow("first station not reached")
        << (QVector<double>{12.1, 150, 1, 2, 3, 12.1, 300.3, 5, 6, 7} + line20)
        << QStringList{QStringLiteral("12.1号线最小点号无坐标，未导入！"), QStringLiteral("已导入20号线的GPS坐标；12.1号线未导入！")}
        << QVector<int>{-1, -1, -1, 1, 1};
    QTest::newRow("line number within a thousandth")
        << QVector<double>{20.0005, 0, 1, 2, 3, 20.0005, 50, 11, 12, 13, 12.1, 100, 1, 2, 3, 12.1, 300.3, 5, 6, 7}
        << QStringList{ok} << QVector<int>{1, 1, 1, 1, 1};
    QTest::newRow("no line covered")
        << QVector<double>{99, 0, 1, 2, 3, 99, 500, 1, 2, 3}
        << QStringList{QStringLiteral("12.1号线最小点号无坐标，未导入！"), QStringLiteral("20号线最小点号无坐标，未导入！"),
                       QStringLiteral("未导入任何GPS坐标！")}
        << QVector<int>{-1, -1, -1, -1, -1};
    QTest::newRow("empty file") << QVector<double>() << QStringList{QStringLiteral("GPS坐标文件为空或无法读取，未导入！")}
                                << QVector<int>{-1, -1, -1, -1, -1};
    QTest::newRow("only unusable records")
        << QVector<double>{20, 0, qQNaN(), 2, 3} << QStringList{QStringLiteral("GPS坐标文件为空或无法读取，未导入！")}
        << QVector<int>{-1, -1, -1, -1, -1};
}

void TestDataModelExports::gpsImportCoverage()
{
    QFETCH(QVector<double>, records);
    QFETCH(QStringList, messages);
    QFETCH(QVector<int>, stored);
    const QVector<double> times{100, 200};
    auto st = [&](double name) { return gatedStation(name, times, {2, 1}, {2, 1}); };
    openFixture({line(12.1, {st(100), st(200), st(300.3)}), line(20, {st(0), st(50)})});

    QList<GPSCoordinate> list;
    for (int i = 0; i + 4 < records.size(); i += 5)
        list << coordinate(records[i], records[i + 1], records[i + 2], records[i + 3], records[i + 4]);
    m_model->on_signal_GPSFileImported(list);

    QStringList texts;
    for (const Message& m : m_messages)
        texts << m.text;
    QCOMPARE(texts, messages);
    const QVector<QPair<double, double>> stations{{12.1, 100}, {12.1, 200}, {12.1, 300.3}, {20, 0}, {20, 50}};
    for (int i = 0; i < stations.size(); ++i)
        QCOMPARE(stationValue(stations[i].first, stations[i].second, "HasZCoord").toInt(), stored[i]);
    if (stored[2] == 1) {
        // The last station takes the last record's coordinates, in single precision.
        QCOMPARE(stationValue(12.1, 300.3, "XCoord").toDouble(), 5.0);
        const double span = double(300.3f) - 100.0;
        QCOMPARE(stationValue(12.1, 200, "YCoord").toDouble(), double(float(2.0 + 4.0 * 100.0 / span)));
    }
}

// Nothing is reported as imported unless it was stored; the stations in
// memory keep what the file holds.
void TestDataModelExports::gpsImportTellsWhenTheFileIsLocked()
{
    const QVector<double> times{100, 200};
    auto st = [&](double name) { return gatedStation(name, times, {2, 1}, {2, 1}); };
    openFixture({line(20, {st(0), st(50)})});
    const QList<GPSCoordinate> records{coordinate(20, 0, 1, 2, 3), coordinate(20, 50, 11, 12, 13)};
    const QByteArray before = readAll(m_file);
    QVERIFY(!before.isEmpty());

    m_lib->setBusyTimeout(20);
    {
        QSqlQuery lock(QSqlDatabase::database(m_reader));
        QVERIFY(lock.exec("BEGIN"));
        QVERIFY(lock.exec("SELECT COUNT(*) FROM Data_Point") && lock.next());
        lock.finish();
        m_model->on_signal_GPSFileImported(records);
        QVERIFY(lock.exec("ROLLBACK"));
    }
    QCOMPARE(m_messages, (QList<Message>{Message{
                             QString(), QStringLiteral("GPS坐标未能写入工程文件%1，未导入！").arg(QDir::toNativeSeparators(m_file))}}));
    QCOMPARE(readAll(m_file), before);
    Data_Line* line = m_model->lineAt(0);
    for (int s = 0; s < 2; ++s) {
        Data_Point* station = m_model->stationAt(line, s);
        QCOMPARE(station->HasZCoord(), -1);
        QCOMPARE(station->XCoord(), 0.0);
    }

    // Once the file is free the same import stores everything.
    m_messages.clear();
    m_lib->setBusyTimeout(LibHORM::kBusyTimeoutMs);
    m_model->on_signal_GPSFileImported(records);
    QCOMPARE(m_messages, (QList<Message>{Message{QString(), QStringLiteral("导入GPS坐标成功!")}}));
    QCOMPARE(stationValue(20, 50, "HasZCoord").toInt(), 1);
    QCOMPARE(stationValue(20, 50, "XCoord").toDouble(), 11.0);
}

// A damaged page can keep stations from loading (their places in the
// collection are empty): the import passes over them and stores the rest.
void TestDataModelExports::gpsImportPassesOverUnreadableStations()
{
    const QVector<double> times{100, 200};
    auto st = [&](double name) { return gatedStation(name, times, {2, 1}, {2, 1}); };
    const QString file = path("unreadable.QELVA");
    QVERIFY(writeProject(file, {line(10, {st(0), st(50)}), line(20, {st(0), st(50)})}));
    // Opened sound: a view in place of a table is no project.
    open(file);
    {
        // The stations of line 20 cannot be selected: a column of theirs
        // fails to evaluate, as a damaged record would.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "unreadable-setup");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("ALTER TABLE Data_Point RENAME TO Data_Point_rows"));
        QVERIFY(q.exec("CREATE VIEW Data_Point AS SELECT ID, NAME, "
                       "CASE WHEN Data_LineID = 2 THEN json(CASE WHEN NAME >= 0 THEN 'x' ELSE '1' END) ELSE USE END AS USE, "
                       "NOTE, TYPE, IsSampled, DATA_RECV_QV18, DATA_RECV_QV18RAW, DATA_TIMERECV_QV18, "
                       "DATA_RECV_LOG10, DATA_RECV_LOG10RAW, DATA_TIMERECV_LOG10, DATA_RECV_LOG20, "
                       "DATA_RECV_LOG20RAW, DATA_TIMERECV_LOG20, XCoord, YCoord, ZCoord, HasZCoord, Data_LineID "
                       "FROM Data_Point_rows"));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("unreadable-setup");
    Data_Line* unreadable = m_model->lineAt(1);
    QCOMPARE(unreadable->NAME(), 20.0);
    // Read again, as a line is when its stations are reordered.
    unreadable->REF_Data_Point()->setOrderBy(QStringLiteral("NAME"));
    QCOMPARE(unreadable->REF_Data_Point()->size(), 2);
    QVERIFY(unreadable->REF_Data_Point()->at(0).value() == nullptr);
    {
        // The rows are a table again for the import's writes: SQLite counts
        // no row that a view's trigger writes, so such a write reads as lost.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "unreadable-setup");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("DROP VIEW Data_Point"));
        QVERIFY(q.exec("ALTER TABLE Data_Point_rows RENAME TO Data_Point"));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("unreadable-setup");
    // A statement that reads makes the project's connection take up the new
    // schema before the import prepares its writes.
    QVERIFY(QSqlQuery(*m_lib->database()).exec("SELECT COUNT(*) FROM sqlite_master"));

    m_model->on_signal_GPSFileImported({coordinate(10, 0, 1, 2, 3), coordinate(10, 50, 11, 12, 13),
                                        coordinate(20, 0, 1, 2, 3), coordinate(20, 50, 11, 12, 13)});
    QCOMPARE(m_messages, (QList<Message>{Message{QString(), QStringLiteral("导入GPS坐标成功!")}}));
    QCOMPARE(stationValue(10, 0, "HasZCoord").toInt(), 1);
    QCOMPARE(stationValue(10, 50, "XCoord").toDouble(), 11.0);
    QSqlQuery q(QSqlDatabase::database(m_reader));
    QVERIFY(q.exec("SELECT COUNT(*) FROM Data_Point WHERE Data_LineID = 2 AND HasZCoord = -1") && q.next());
    QCOMPARE(q.value(0).toInt(), 2);

    // Only unreadable stations: nothing stored, and nothing said to be.
    m_messages.clear();
    m_model->on_signal_GPSFileImported({coordinate(20, 0, 1, 2, 3), coordinate(20, 50, 11, 12, 13)});
    QCOMPARE(m_messages.last(), (Message{QString(), QStringLiteral("未导入任何GPS坐标！")}));
}

// --- End to end ---

void TestDataModelExports::exportsOfShownLine_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("station by station") << 1;
    QTest::newRow("profile") << 2;
}

void TestDataModelExports::exportsOfShownLine()
{
    QFETCH(int, method);
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 6;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    openGenerated(o);
    m_model->on_signal_TransRelaxInversionMethodChanged(method);
    m_model->showTreeNode(0, -1, -1);
    QCOMPARE(m_model->currentLineNumber, 100.0);
    // A later station view of the other line replaces the parameters' ground.
    m_model->showTreeNode(1, 2, -1);

    m_model->export1DResults(path("line.1d.dat"));
    m_model->export2DResults(path("line.2d.dat"));
    m_model->exportLayerResults(path("line.layer.dat"));
    m_model->exportSectionData(path("line.raw.dat"));

    // 1D: every station's rows with its surveyed coordinates.
    const QStringList rows1 = readText(path("line.1d.dat")).split('\n');
    QCOMPARE(rows1.first(), QStringLiteral("里程,坐标X,坐标Y,深度,电阻率"));
    QSet<double> seen;
    for (int i = 1; i < rows1.size() - 1; ++i) {
        const QStringList f = rows1[i].split(',');
        QCOMPARE(f.size(), 5);
        const double s = f[0].toDouble();
        seen.insert(s);
        // Both methods write the coordinates so that they read back whole.
        QVERIFY2(f[1].toFloat() == float(stationValue(100, s, "XCoord").toDouble()), qPrintable(rows1[i]));
        QVERIFY2(f[2].toFloat() == float(stationValue(100, s, "YCoord").toDouble()), qPrintable(rows1[i]));
        QVERIFY(f[4].toDouble() > 0.0);
    }
    QCOMPARE(seen.size(), 6);

    // 2D: the section's rows, with coordinates when its columns pair with
    // the stations.
    const QStringList rows2 = readText(path("line.2d.dat")).split('\n');
    QVERIFY(rows2.size() > 3);
    const int fields = m_model->sectionResults.size() == 6 ? 5 : 3;
    for (int i = 1; i < rows2.size() - 1; ++i)
        QCOMPARE(rows2[i].split(',').size(), fields);
    QVERIFY(readText(path("line.layer.dat")).count('\n') > 6);

    // Section data: gate times down, the six stations across.
    const QStringList raw = readText(path("line.raw.dat")).split('\n');
    QCOMPARE(raw.first(), QStringLiteral("时间(us)\\点号(m),0,20,40,60,80,100"));
    QCOMPARE(raw.size() - 2, m_model->reportTimes.size());

    // Blanking files along line 100's ground, not line 110's.
    const QStringList top = readText(path("line_top.bln")).split('\n');
    QCOMPARE(top.first(), QString("9,0"));
    for (int s = 0; s < 6; ++s) {
        const QStringList v = top[1 + s].split(',');
        const double z = stationValue(100, s * 20.0, "ZCoord").toDouble();
        QVERIFY2(std::fabs(v[1].toDouble() - z) < 0.01, qPrintable(top[1 + s] + " vs " + QString::number(z)));
    }

    // The grid of a station-by-station section: its columns, and rows on
    // the section's regular step; a node on one of a column's own levels
    // holds that level's value, or the blank above the ground. The section's
    // uneven levels (a top moved onto the ground, the cut) are not rows.
    QCOMPARE(QFile::exists(path("line.grd")), method == 1);
    if (method == 1) {
        SurferGrid g;
        QString why;
        QVERIFY2(parseSurfer(readAll(path("line.grd")), g, &why), qPrintable(why));
        QCOMPARE(g.nx, m_model->sectionResults.size());
        QCOMPARE(g.xlo, m_model->sectionResults.first().x);
        QCOMPARE(g.xhi, m_model->sectionResults.last().x);
        const QVector<double>& levels = m_model->sectionResults.first().depth;
        QVERIFY(g.ny >= 2 && g.ny < levels.size());
        QCOMPARE(g.y(1) - g.y(0), levels[2] - levels[3]);
        QVERIFY(g.ylo > levels.last());
        QVERIFY(g.yhi <= levels.first() + (levels[2] - levels[3]));
        int checked = 0;
        for (int col = 0; col < g.nx; ++col) {
            const DataType_ResultData& r = m_model->sectionResults[col];
            for (int row = 0; row < g.ny; ++row) {
                const int k = r.depth.indexOf(g.y(row));
                if (k < 0)
                    continue;
                ++checked;
                if (r.value[k] <= ModelFiles::kNoValue)
                    QCOMPARE(g.at(col, row), 1.70141e38);
                else
                    QCOMPARE(float(g.at(col, row)), float(r.value[k]));
            }
        }
        QVERIFY(checked > g.nx * (g.ny - 2));
    }

    // The station of line 110 shown since does not make them its results:
    // each message names the line exported.
    QCOMPARE(m_messages, (QList<Message>{{QStringLiteral("一维反演结果"), QStringLiteral("保存一维反演数据成功") + ofLine(100)},
                                         {QStringLiteral("二维反演结果"),
                                          QStringLiteral("保存二维反演数据成功") + ofLine(100)
                                              + (method == 1 ? gridNamed(path("line.grd")) : kNoGrid)},
                                         {QStringLiteral("分层反演结果"), QStringLiteral("保存分层反演数据成功") + ofLine(100)},
                                         {QString(), QStringLiteral("剖面数据保存成功") + ofLine(100)}}));
}

void TestDataModelExports::surferGridOfUnevenStations()
{
    // Stations 0 to 220 every 20 m, those from 120 on renumbered 200 to
    // 300: a gap of 100 m between 100 and 200.
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 12;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    openGenerated(o);
    const QModelIndex line = m_model->index(0, 0);
    for (int row = 11; row >= 6; --row)
        QVERIFY(m_model->setData(m_model->index(row, 0, line), QString::number(200 + 20 * (row - 6)), Qt::EditRole));
    m_model->on_signal_TransRelaxInversionMethodChanged(1);
    m_model->showTreeNode(0, -1, -1);
    QCOMPARE(m_model->reportDistances,
             (QVector<double>{0, 20, 40, 60, 80, 100, 200, 220, 240, 260, 280, 300}));
    m_model->export2DResults(path("line.2d.dat"));

    SurferGrid g;
    QString why;
    QVERIFY2(parseSurfer(readAll(path("line.grd")), g, &why), qPrintable(why));
    QCOMPARE(g.nx, 16);
    QCOMPARE(g.xlo, 0.0);
    QCOMPARE(g.xhi, 300.0);
    const QList<DataType_ResultData>& section = m_model->sectionResults;
    auto sectionAt = [&](int station, double level) {
        const DataType_ResultData& r = section[station];
        const int k = r.depth.indexOf(level);
        return k < 0 ? qQNaN() : r.value[k];
    };
    int checked = 0;
    for (int row = 0; row < g.ny; ++row) {
        // Every station at its own place; the columns in the gap linear
        // between 100 and 200.
        for (int s = 0; s < section.size(); ++s) {
            const double v = sectionAt(s, g.y(row));
            const int col = int(section[s].x / 20.0);
            QCOMPARE(g.x(col), section[s].x);
            if (std::isnan(v))
                continue;
            ++checked;
            if (v <= ModelFiles::kNoValue)
                QCOMPARE(g.at(col, row), 1.70141e38);
            else
                QCOMPARE(float(g.at(col, row)), float(v));
        }
        const double left = sectionAt(5, g.y(row));
        const double right = sectionAt(6, g.y(row));
        if (!(left > ModelFiles::kNoValueLimit && right > ModelFiles::kNoValueLimit))
            continue;
        for (int col = 6; col < 10; ++col) {
            const double w = (g.x(col) - 100.0) / 100.0;
            QCOMPARE(float(g.at(col, row)), float(left + w * (right - left)));
        }
    }
    // A column's level moved onto its ground, and the one moved onto its
    // ground less the depth, are no rows.
    QVERIFY(checked > section.size() * (g.ny - 3));
}

QTEST_MAIN(TestDataModelExports)
#include "tst_datamodel_exports.moc"
