#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "DataModelFixture.h"
#include "model/DataModel.h"
#include "model/Data_Calc.h"
#include "model/ModelFiles.h"
#include "model/SharedTypes.h"
#include "model/UserPrompt.h"
#include "shell/Dialog_EllipseSmooth.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/LibHORM.h"
#include "store/StoreFixture.h"
#include "common/TestHelpers.h"
#include "tools/projectgen/ProjectGenerator.h"

Q_DECLARE_METATYPE(GPSCoordinate)

namespace {

// Records every signal of the controller in the order they arrive, with
// the arguments the tests look at. Lists passed by reference are copied
// inside the call, as a view would.
class Receiver : public QObject
{
public:
    explicit Receiver(DataModel* model)
    {
        connect(model, &DataModel::signal_FittingMethodActionReset, this, [this]() { add("Reset"); });
        connect(model, &DataModel::signal_CentralWidgetChanged, this,
                [this](bool b) { add(QString("Central(%1)").arg(b)); });
        connect(model, &DataModel::signal_DataModelShowLineChanged, this,
                [this](QVector<double> curve, QVector<double> times) {
                    add("ShowLine");
                    shownCurve = curve;
                    shownCurveTimes = times;
                });
        connect(model, &DataModel::signal_StationChanged, this,
                [this](QString t, QVector<double> r, QVector<double> g, double current, double rho, double c) {
                    add("Station");
                    title = t;
                    response = r;
                    times = g;
                    sendCurrent = current;
                    referenceResistivity = rho;
                    constraint = c;
                });
        connect(model, &DataModel::signal_FiseSaveButtonEnalbe, this,
                [this](bool b) { add(QString("Save(%1)").arg(b)); });
        connect(model, &DataModel::signal_MenuEnable, this, [this](int m) { add(QString("Menu(%1)").arg(m)); });
        connect(model, &DataModel::signal_ContourMethod, this,
                [this](int m) { add(QString("Contour(%1)").arg(m)); });
        connect(model, &DataModel::signal_LineSectionGraphChanged, this,
                [this](QVector<QVector<double> > c, QVector<double> g, QVector<double> s, double station) {
                    add("LineSection");
                    curves = c;
                    gateTimes = g;
                    stations = s;
                    stationNumber = station;
                });
        connect(model, &DataModel::signal_ISOGraphChanged, this,
                [this](InvParam p, QList<DataType_ResultData>& grid, QVector<TopoData> topo, double depth,
                       QMap<float, QColor> r, bool b) {
                    add("ISO");
                    param = p;
                    section = grid;
                    topography = topo;
                    inversionDepth = depth;
                    ramp = r;
                    flag = b;
                });
        connect(model, &DataModel::signal_EditStateChanged, this,
                [this](bool p, bool l) { add(QString("Edit(%1,%2)").arg(p).arg(l)); });
        connect(model, &DataModel::signal_2DLineSectionGraphChanged, this,
                [this](QVector<QVector<double> > c, QVector<double> g, QVector<double> s) {
                    add("2DLineSection");
                    curves = c;
                    gateTimes = g;
                    stations = s;
                });
        connect(model, &DataModel::signal_Mesh, this, [this](QVector<double> s, InvParam p) {
            add("Mesh");
            meshStations = s;
            param = p;
        });
        connect(model, &DataModel::signal_StaticResistivity, this, [this](float lo, float hi) {
            add("Static");
            smallest = lo;
            largest = hi;
        });
        connect(model, &DataModel::signal_2DISOGraphChanged, this,
                [this](QList<DataType_ResultData>& grid, QVector<TopoData> topo, double depth,
                       QMap<float, QColor> r, int method, bool b) {
                    add(QString("2DISO(%1)").arg(method));
                    section = grid;
                    topography = topo;
                    inversionDepth = depth;
                    ramp = r;
                    flag = b;
                });
        connect(model, &DataModel::signal_2DPointData, this,
                [this](QList<DataType_ResultData>& grid, QVector<TopoData> topo, QMap<float, QColor> r,
                       double depth) {
                    add("2DPoint");
                    pointSection = grid;
                    pointTopography = topo;
                    pointRamp = r;
                    pointDepth = depth;
                });
        connect(model, &DataModel::signal_FileExportButtonEnable, this,
                [this](bool b) { add(QString("Export(%1)").arg(b)); });
        connect(model, &DataModel::signal_SectionCleared, this, [this] { add("Cleared"); });
    }

    void add(const QString& e) { events << e; }

    QStringList events;
    QString title;
    QVector<double> response, times, shownCurve, shownCurveTimes, gateTimes, stations, meshStations;
    QVector<QVector<double> > curves;
    double sendCurrent = 0.0, referenceResistivity = 0.0, constraint = 0.0, stationNumber = 0.0;
    InvParam param;
    QList<DataType_ResultData> section, pointSection;
    QVector<TopoData> topography, pointTopography;
    double inversionDepth = 0.0, pointDepth = 0.0;
    QMap<float, QColor> ramp, pointRamp;
    bool flag = false;
    float smallest = 0.0f, largest = 0.0f;
};

// What the smoothing dialog is answered with in a test.
struct DialogAnswer {
    bool accept = false;
    int radius1 = 0;   // 0: leave the spin box as it is
    int radius2 = 0;
    int angleDegrees = 0;
};

// Of the cells holding a resistivity: the air's blanks are none.
double logMean(const QVector<double>& v)
{
    double s = 0.0;
    int n = 0;
    for (double x : v) {
        if (x > ModelFiles::kNoValueLimit) {
            s += std::log(x);
            ++n;
        }
    }
    return n == 0 ? std::numeric_limits<double>::quiet_NaN() : std::exp(s / n);
}

bool sameGrid(const QList<DataType_ResultData>& a, const QList<DataType_ResultData>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].x != b[i].x || a[i].depth != b[i].depth || a[i].value != b[i].value)
            return false;
    }
    return true;
}

} // namespace

class TestDataModelDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void topography_data();
    void topography();
    void sortOrders();
    void colourRamp_data();
    void colourRamp();
    void proposedRadius_data();
    void proposedRadius();

    void lineRowOutOfRange_data();
    void lineRowOutOfRange();
    void stationView_data();
    void stationView();
    void stationViewNeighbourCurve_data();
    void stationViewNeighbourCurve();
    void neighboursClearedAtEnds();
    void stationViewStopsEarly_data();
    void stationViewStopsEarly();
    void stationViewWithoutCoordinates();
    void fewStations_data();
    void fewStations();

    void lineView_data();
    void lineView();
    void lineWithoutUsableLine_data();
    void lineWithoutUsableLine();
    void viewsOfUnreadSamples_data();
    void viewsOfUnreadSamples();
    void ellipseSmoothing_data();
    void ellipseSmoothing();
    void smoothingDialogKeepsValues();
    void sectionsFollowEarthModel_data();
    void sectionsFollowEarthModel();

private:
    void openGenerated();
    void openFixture(const QList<dmtest::LineDef>& lines);
    void open(const QString& file, const QString& suffix);
    void answerDialog(const DialogAnswer& answer);

    QTemporaryDir m_dir;
    QString m_generated;
    ProjectGenerator::Options m_options;
    std::unique_ptr<DataModel> m_model;
    std::unique_ptr<LibHORM> m_lib;
    int m_dialogRuns = 0;
    int m_fixtures = 0;
    QStringList m_messages;
};

void TestDataModelDisplay::initTestCase()
{
    registerSharedTypes();
    QVERIFY(m_dir.isValid());
    // Two lines of 16 stations 20 m apart (0 to 300); the conductive zone
    // (10 ohm-m in 100) lies under stations 100 to 200 of both lines.
    m_options.lines = 2;
    m_options.stationsPerLine = 16;
    m_options.samplesPerStation = 1;
    m_options.sampleLength = 2000;
    m_options.zoneFrom = 100.0;
    m_options.zoneTo = 200.0;
    m_options.zoneTaper = 20.0;
    const ProjectGenerator generator(m_options);
    const QString file = m_dir.filePath("display.QELVA");
    QString error;
    QVERIFY2(generator.write(file, &error), qPrintable(error));
    QVERIFY(dmtest::loadOnce(file));
    m_generated = file;
}

void TestDataModelDisplay::init()
{
    m_model.reset(new DataModel);
    m_dialogRuns = 0;
    answerDialog(DialogAnswer());
    m_messages.clear();
    UserPrompt::setTitledMessageAnswerer([this](const QString& title, const QString& text) {
        m_messages << title + "|" + text;
    });
    UserPrompt::setMessageAnswerer([this](const QString& text) { m_messages << text; });
}

void TestDataModelDisplay::cleanup()
{
    UserPrompt::setDialogAnswerer(UserPrompt::DialogAnswerer());
    UserPrompt::setTitledMessageAnswerer(UserPrompt::TitledMessageAnswerer());
    UserPrompt::setMessageAnswerer(UserPrompt::MessageAnswerer());
    if (m_model)
        m_model->closeProject();
    m_lib.reset();
    m_model.reset();
}

void TestDataModelDisplay::open(const QString& file, const QString& suffix)
{
    m_lib.reset(new LibHORM);
    QVERIFY(m_lib->open(file));
    m_model->setFileSuffix(suffix);
    m_model->loadProject(m_lib.get());
    QVERIFY(m_model->isProjectOpen());
}

void TestDataModelDisplay::openGenerated()
{
    // Each test works on its own copy: views never write, but the save
    // tests of the controller may.
    const QString copy = m_dir.filePath(QString("gen%1.QELVA").arg(++m_fixtures));
    QVERIFY(QFile::copy(m_generated, copy));
    open(copy, "QELVA");
}

void TestDataModelDisplay::openFixture(const QList<dmtest::LineDef>& lines)
{
    const QString file = m_dir.filePath(QString("fixture%1.QELVA").arg(++m_fixtures));
    QVERIFY(dmtest::writeProject(file, lines));
    open(file, "QELVA");
}

void TestDataModelDisplay::answerDialog(const DialogAnswer& answer)
{
    UserPrompt::setDialogAnswerer([this, answer](QDialog* dialog) {
        ++m_dialogRuns;
        if (!answer.accept) {
            dialog->findChild<QPushButton*>("pushButton_Cancle")->click();
            return dialog->result();
        }
        if (answer.radius1 > 0)
            dialog->findChild<QSpinBox*>("spinBox_Radius1")->setValue(answer.radius1);
        if (answer.radius2 > 0)
            dialog->findChild<QSpinBox*>("spinBox_Radius2")->setValue(answer.radius2);
        dialog->findChild<QSpinBox*>("spinBox_Angle")->setValue(answer.angleDegrees);
        dialog->findChild<QPushButton*>("pushButton_OK")->click();
        return dialog->result();
    });
}

// --- Helpers of the pipeline ---

void TestDataModelDisplay::topography_data()
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::addColumn<QVector<GPSCoordinate> >("coordinates");
    QTest::addColumn<QVector<double> >("positions");
    QTest::addColumn<QVector<double> >("elevations");

    QTest::newRow("empty") << QVector<GPSCoordinate>() << QVector<double>() << QVector<double>();
    QTest::newRow("order kept, marker dropped")
        << QVector<GPSCoordinate>{{3, 60, 1, 2, 35.5f}, {3, 45, 3, 45, 100000.0f}, {3, 20, 1, 2, -12.0f}}
        << QVector<double>{60, 20} << QVector<double>{35.5, -12.0};
    QTest::newRow("50000 is an elevation, above is not")
        << QVector<GPSCoordinate>{{1, 10, 0, 0, 50000.0f}, {1, 20, 0, 0, 50000.01f}}
        << QVector<double>{10} << QVector<double>{50000.0};
    QTest::newRow("non-finite elevations dropped")
        << QVector<GPSCoordinate>{{1, 10, 0, 0, nan}, {1, 20, 0, 0, inf}, {1, 30, 0, 0, -inf}, {1, 40, 0, 0, 7.0f}}
        << QVector<double>{40} << QVector<double>{7.0};
}

void TestDataModelDisplay::topography()
{
    QFETCH(QVector<GPSCoordinate>, coordinates);
    QFETCH(QVector<double>, positions);
    QFETCH(QVector<double>, elevations);
    const QVector<TopoData> topo = m_model->buildTopography(coordinates);
    QCOMPARE(topo.size(), positions.size());
    for (int i = 0; i < topo.size(); ++i) {
        QCOMPARE(topo[i].position, positions[i]);
        QCOMPARE(topo[i].elevation, elevations[i]);
    }
}

void TestDataModelDisplay::sortOrders()
{
    QVector<TopoData> topo{{30, 1}, {-5, 2}, {10, 3}, {10, 4}};
    std::stable_sort(topo.begin(), topo.end(),
                     [](const TopoData& a, const TopoData& b) { return DataModel::lessByPosition(a, b); });
    QCOMPARE(topo[0].position, -5.0);
    QCOMPARE(topo[1].elevation, 3.0);   // equal keys keep their order
    QCOMPARE(topo[2].elevation, 4.0);
    QCOMPARE(topo[3].position, 30.0);

    QList<DataType_ResultData> columns;
    for (double x : {40.0, 0.0, 20.0}) {
        DataType_ResultData r;
        r.x = x;
        columns << r;
    }
    std::sort(columns.begin(), columns.end(), [](const DataType_ResultData& a, const DataType_ResultData& b) {
        return DataModel::lessByPosition(a, b);
    });
    QCOMPARE(columns[0].x, 0.0);
    QCOMPARE(columns[2].x, 40.0);

    QVector<GPSCoordinate> gps{{1, 300, 9, 9, 1}, {1, 100, 8, 8, 2}, {2, 200, 7, 7, 3}};
    std::sort(gps.begin(), gps.end(), &DataModel::lessByStation);
    QCOMPARE(gps[0].pointNo, 100.0f);
    QCOMPARE(gps[1].lineNo, 2.0f);
    QCOMPARE(gps[2].x, 9.0f);
    QVERIFY(!DataModel::lessByStation(gps[0], gps[0]));
}

void TestDataModelDisplay::colourRamp_data()
{
    QTest::addColumn<float>("key");
    QTest::addColumn<QColor>("colour");
    // The whole ramp: 0.025 steps up to 0.5, then the coarse tail.
    const struct {
        float key;
        QColor colour;
    } stops[] = {
        {1e-18f, QColor(Qt::white)},     {0.025f, QColor(0, 0, 255)},     {0.05f, QColor(30, 144, 255)},
        {0.075f, QColor(70, 130, 180)},  {0.1f, QColor(100, 149, 237)},   {0.125f, QColor(65, 105, 255)},
        {0.15f, QColor(0, 255, 255)},    {0.175f, QColor(32, 178, 170)},  {0.2f, QColor(144, 238, 144)},
        {0.225f, QColor(0, 255, 0)},     {0.25f, QColor(50, 205, 50)},    {0.275f, QColor(60, 179, 113)},
        {0.3f, QColor(0, 128, 0)},       {0.325f, QColor(0, 100, 0)},     {0.35f, QColor(255, 255, 0)},
        {0.375f, QColor(255, 215, 0)},   {0.4f, QColor(218, 165, 32)},    {0.425f, QColor(255, 165, 0)},
        {0.45f, QColor(255, 140, 0)},    {0.475f, QColor(255, 160, 122)}, {0.5f, QColor(250, 128, 114)},
        {0.55f, QColor(240, 128, 128)},  {0.6f, QColor(205, 92, 92)},     {0.7f, QColor(255, 0, 0)},
        {0.85f, QColor(162, 42, 42)},    {1.0f, QColor(128, 0, 0)},
    };
    for (const auto& stop : stops)
        QTest::newRow(qPrintable(QString::number(double(stop.key)))) << stop.key << stop.colour;
}

void TestDataModelDisplay::colourRamp()
{
    QFETCH(float, key);
    QFETCH(QColor, colour);
    const QMap<float, QColor> ramp = DataModel::defaultColourRamp();
    QCOMPARE(ramp.size(), 26);
    QCOMPARE(ramp.firstKey(), 1e-18f);
    QCOMPARE(ramp.lastKey(), 1.0f);
    QVERIFY(ramp.contains(key));
    QCOMPARE(ramp.value(key), colour);
    QCOMPARE(ramp.value(key).alpha(), 255);
}

void TestDataModelDisplay::proposedRadius_data()
{
    QTest::addColumn<QVector<double> >("stations");
    QTest::addColumn<double>("depth");
    QTest::addColumn<int>("radius");
    QTest::newRow("span wins") << QVector<double>{300, 100, 200} << 150.0 << 100;
    QTest::newRow("depth wins") << QVector<double>{10, 30} << 100.0 << 50;
    QTest::newRow("depth wins over 100 to 200") << QVector<double>{100, 150, 200} << 150.0 << 75;
    QTest::newRow("truncated") << QVector<double>{0, 3} << 1.0 << 1;
    QTest::newRow("truncated down") << QVector<double>{0, 9} << 0.0 << 4;
    // The dialog's radii are 1 to 10000: a proposal outside would read as
    // a change the user made.
    QTest::newRow("zero becomes 1") << QVector<double>{5, 5} << 0.0 << 1;
    QTest::newRow("negative depth") << QVector<double>{} << -40.0 << 1;
    QTest::newRow("above the dialog's range") << QVector<double>{0, 50000} << 100.0 << 10000;
    QTest::newRow("NaN depth") << QVector<double>{0, 40} << std::numeric_limits<double>::quiet_NaN() << 20;
}

void TestDataModelDisplay::proposedRadius()
{
    QFETCH(QVector<double>, stations);
    QFETCH(double, depth);
    QFETCH(int, radius);
    QCOMPARE(DataModel::proposedSmoothRadius(stations, depth), radius);
}

// --- Station view ---

void TestDataModelDisplay::lineRowOutOfRange_data()
{
    QTest::addColumn<int>("line");
    QTest::newRow("-1") << -1;
    QTest::newRow("past the last") << 2;
}

void TestDataModelDisplay::lineRowOutOfRange()
{
    QFETCH(int, line);
    openGenerated();
    Receiver r(m_model.get());
    m_model->showTreeNode(0, 3, -1);
    QVERIFY(m_model->shown.valid);
    r.events.clear();

    m_model->showTreeNode(line, 4, 2);
    QCOMPARE(m_model->currentLineRow, line);
    QCOMPARE(m_model->currentStationRow, 4);
    QCOMPARE(m_model->currentSampleRow, 2);
    // Nothing is shown, so nothing may be saved or edited.
    QCOMPARE(r.events, (QStringList{"Save(0)", "Edit(0,0)"}));
    QVERIFY(!m_model->shown.valid);
}

void TestDataModelDisplay::stationView_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("instrumentKind");
    QTest::addColumn<double>("factor");
    QTest::newRow("QV18, kind 3") << int(SAMPLE_QV18) << 3 << 2.0;
    QTest::newRow("LOG10, kind 1") << int(SAMPLE_LOG10) << 1 << 0.5;
    QTest::newRow("LOG20, kind 2") << int(SAMPLE_LOG20) << 2 << 0.8;
    QTest::newRow("QV18, other kind") << int(SAMPLE_QV18) << 7 << 1.0;
}

void TestDataModelDisplay::stationView()
{
    QFETCH(int, scheme);
    QFETCH(int, instrumentKind);
    QFETCH(double, factor);
    openGenerated();
    InvParam p = m_model->invParam;
    p.instrumentKind = instrumentKind;
    p.constraintCoefficient = 0.4;
    p.referenceResistivity = 80.0;
    p.timeWindowStart = 200.0;
    p.timeWindowEnd = 20000.0;
    p.inversionDepth = 150.0;
    m_model->on_signal_curInvsionParamChanged(p);
    m_model->on_signal_SampleModeChanged(TEMSampleMODES(scheme));
    m_model->on_signalEditCheckBoxStateChanged(true, false);
    Receiver r(m_model.get());

    // Line 110, station row 12 (number 240): its window of rows is 2..15.
    m_model->showTreeNode(1, 12, 0);
    const QStringList expected{"Reset", "Central(1)", "ShowLine", "Station", "Save(0)", "Menu(1)",
                               "Contour(1)", "LineSection", "ISO", "Edit(1,0)"};
    QCOMPARE(r.events, expected);
    QCOMPARE(m_model->currentSampleRow, 0);

    Data_Line* line = m_model->lineAt(1);
    Data_Point* station = m_model->stationAt(line, 12);
    QVector<double> response, times, raw;
    switch (scheme) {
    case SAMPLE_QV18: station->unpackQV18(response, times, raw, 200.0, 20000.0); break;
    case SAMPLE_LOG10: station->unpackLOG10(response, times, raw, 200.0, 20000.0); break;
    default: station->unpackLOG20(response, times, raw, 200.0, 20000.0); break;
    }
    QVERIFY(!response.isEmpty());
    QCOMPARE(r.title, QString("110线 240点"));
    QCOMPARE(r.response, response);
    QCOMPARE(r.times, times);
    QVERIFY(times.first() >= 200.0 && times.last() <= 20000.0);
    QCOMPARE(m_model->stationResponse, response);
    QCOMPARE(m_model->stationRaw, raw);
    QCOMPARE(r.shownCurve, raw);           // QSHOWLINE 0: the raw curve
    QCOMPARE(r.shownCurveTimes, times);
    HW_COMPARE_NEAR(r.sendCurrent, m_options.current, 1e-6);
    QCOMPARE(r.referenceResistivity, 80.0);
    HW_COMPARE_NEAR(r.constraint, 0.4 * factor, 1e-12);

    // The neighbourhood: rows 2..15, numbers 40..300, every gate a row.
    QCOMPARE(r.stations.size(), 14);
    QCOMPARE(r.stations.first(), 40.0);
    QCOMPARE(r.stations.last(), 300.0);
    QCOMPARE(r.stationNumber, 240.0);
    QVERIFY(!r.curves.isEmpty());
    QCOMPARE(r.curves.first().size(), 14);
    QCOMPARE(r.gateTimes.size(), r.curves.size());

    // Topography of the neighbourhood, in the parameters that went out.
    QCOMPARE(r.topography.size(), 14);
    QCOMPARE(r.topography.first().position, 40.0);
    QVERIFY(std::fabs(r.topography.first().elevation - m_options.elevation) < 100.0);
    QCOMPARE(r.param.topography.size(), 14);
    QCOMPARE(m_model->invParam.topography.size(), 14);
    QCOMPARE(r.inversionDepth, 150.0);
    QVERIFY(r.flag);
    QCOMPARE(r.ramp, DataModel::defaultColourRamp());
    QVERIFY(!r.section.isEmpty());
    for (const DataType_ResultData& column : r.section) {
        QCOMPARE(column.depth.size(), column.value.size());
        for (double v : column.value)
            QVERIFY(std::isfinite(v) && v > 0.0);
    }

    // What may be saved: this station, scheme, window and gates.
    QVERIFY(m_model->shown.valid);
    QCOMPARE(m_model->shown.lineRow, 1);
    QCOMPARE(m_model->shown.stationRow, 12);
    QCOMPARE(m_model->shown.scheme, scheme);
    QCOMPARE(m_model->shown.tmin, 200.0);
    QCOMPARE(m_model->shown.tmax, 20000.0);
    QCOMPARE(m_model->shown.gateTimes, times);

    // The station view leaves the line's results alone.
    QVERIFY(m_model->sectionResults.isEmpty());
    QVERIFY(m_model->reportDistances.isEmpty());
    QVERIFY(std::isnan(m_model->currentLineNumber));
}

void TestDataModelDisplay::stationViewNeighbourCurve_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("neighbourRow");   // -1: none emitted
    QTest::newRow("preceding") << int(SHOWLINE_PREVIOUS) << 4;
    QTest::newRow("following") << int(SHOWLINE_NEXT) << 6;
    // 3 names no mode yet is a value of the enumeration (its range spans
    // two bits), so the fall-back is reached without undefined behaviour.
    QTest::newRow("other value") << 3 << -1;
}

void TestDataModelDisplay::stationViewNeighbourCurve()
{
    QFETCH(int, mode);
    QFETCH(int, neighbourRow);
    openGenerated();
    m_model->showLine = QSHOWLINE(mode);
    Receiver r(m_model.get());
    m_model->showTreeNode(0, 5, -1);

    QVector<double> before, after;
    // Stations 80 and 120 lie outside and inside the zone.
    m_model->stationAt(m_model->lineAt(0), 4)->unpackQV18Response(before, 150.0, 4e6);
    m_model->stationAt(m_model->lineAt(0), 6)->unpackQV18Response(after, 150.0, 4e6);
    QCOMPARE(m_model->previousResponse, before);
    QCOMPARE(m_model->nextResponse, after);
    QVERIFY(before != after);
    if (neighbourRow < 0) {
        QVERIFY(!r.events.contains("ShowLine"));
        QCOMPARE(r.events.mid(0, 3), (QStringList{"Reset", "Central(1)", "Station"}));
    } else {
        QCOMPARE(r.events.mid(0, 4), (QStringList{"Reset", "Central(1)", "ShowLine", "Station"}));
        QCOMPARE(r.shownCurve, neighbourRow == 4 ? before : after);
        QCOMPARE(r.shownCurveTimes, m_model->stationTimes);
    }
}

void TestDataModelDisplay::neighboursClearedAtEnds()
{
    openGenerated();
    Receiver r(m_model.get());
    m_model->showTreeNode(0, 5, -1);
    QVERIFY(!m_model->previousResponse.isEmpty());
    QVERIFY(!m_model->nextResponse.isEmpty());

    // The first station has no preceding curve, not the last one shown.
    m_model->showLine = SHOWLINE_PREVIOUS;
    m_model->showTreeNode(0, 0, -1);
    QVERIFY(m_model->previousResponse.isEmpty());
    QVERIFY(!m_model->nextResponse.isEmpty());
    QVERIFY(r.shownCurve.isEmpty());

    // Neither is a following curve kept for the last station, nor one from
    // another line.
    m_model->showTreeNode(1, 5, -1);
    m_model->showLine = SHOWLINE_NEXT;
    m_model->showTreeNode(0, 15, -1);
    QVERIFY(m_model->nextResponse.isEmpty());
    QVERIFY(!m_model->previousResponse.isEmpty());
    QVERIFY(r.shownCurve.isEmpty());
    QVERIFY(r.events.endsWith("Edit(0,0)"));
}

void TestDataModelDisplay::stationViewStopsEarly_data()
{
    QTest::addColumn<QString>("cause");
    QTest::newRow("station of TYPE 1") << "type";
    QTest::newRow("no gate in the window") << "window";
    QTest::newRow("no stored curve") << "empty";
}

void TestDataModelDisplay::stationViewStopsEarly()
{
    QFETCH(QString, cause);
    using namespace dmtest;
    const QVector<double> t{100, 200, 400, 800, 1600};
    const QVector<double> v = decay(5);
    StationDef odd = gatedStation(30, t, v, v);
    if (cause == "type")
        odd.type = 1;
    if (cause == "empty")
        odd = gatedStation(30, QVector<double>(), QVector<double>(), QVector<double>());
    openFixture({line(1, {gatedStation(10, t, v, v), gatedStation(20, t, v, v), odd, gatedStation(40, t, v, v)})});
    if (cause == "window") {
        InvParam p = m_model->invParam;
        p.timeWindowStart = 5000.0;
        m_model->on_signal_curInvsionParamChanged(p);
    }
    Receiver r(m_model.get());
    if (cause != "window") {
        m_model->showTreeNode(0, 1, -1);
        QVERIFY(m_model->shown.valid);
        r.events.clear();
    }

    m_model->showTreeNode(0, 2, -1);
    QCOMPARE(r.events, (QStringList{"Reset", "Save(0)", "Edit(0,0)"}));
    QVERIFY(!m_model->shown.valid);
    QCOMPARE(m_model->currentStationRow, 2);
    // A save after the stop writes nothing, and says so.
    const QVector<double> before = v;
    m_model->on_signal_FileSavedToDB(QVector<double>{1, 2, 3, 4, 5}, t);
    QVector<double> stored;
    m_model->stationAt(m_model->lineAt(0), 1)->unpackQV18Response(stored, 0.0, 1e9);
    QCOMPARE(stored, before);
    QCOMPARE(m_messages, QStringList{"保存警告|当前没有显示可编辑的测点，曲线未保存！"});
}

void TestDataModelDisplay::stationViewWithoutCoordinates()
{
    ProjectGenerator::Options o = m_options;
    o.lines = 1;
    o.stationsPerLine = 6;
    o.coordinates = false;
    const QString file = m_dir.filePath("nocoords.QELVA");
    QString error;
    QVERIFY2(ProjectGenerator(o).write(file, &error), qPrintable(error));
    open(file, "QELVA");
    InvParam p = m_model->invParam;
    p.topography = {{0, 1}, {100, 2}};
    m_model->on_signal_curInvsionParamChanged(p);
    Receiver r(m_model.get());

    m_model->showTreeNode(0, 2, -1);
    QCOMPARE(r.events.last(), QString("Edit(0,0)"));
    QVERIFY(r.events.contains("ISO"));
    // Stations without elevations give no ground: the old one is dropped.
    QVERIFY(r.topography.isEmpty());
    QVERIFY(m_model->invParam.topography.isEmpty());
    QVERIFY(!r.section.isEmpty());
}

void TestDataModelDisplay::fewStations_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QStringList>("lineEvents");
    const QStringList tail{"Menu(2)", "Save(0)", "Export(1)"};
    QTest::newRow("method 1") << 1 << (QStringList{"Reset", "Central(0)", "Cleared"} + tail);
    QTest::newRow("method 2")
        << 2 << (QStringList{"Reset", "Central(0)", "2DLineSection", "Mesh", "Cleared"} + tail);
}

void TestDataModelDisplay::fewStations()
{
    QFETCH(int, method);
    QFETCH(QStringList, lineEvents);
    using namespace dmtest;
    const QVector<double> t{100, 200, 400, 800, 1600, 3200};
    QList<StationDef> three;
    for (int i = 0; i < 3; ++i)
        three << gatedStation(10 * (i + 1), t, decay(6, 1e-3 * (i + 1)), decay(6, 1e-3 * (i + 1)));
    QList<StationDef> four = three;
    four << gatedStation(40, t, decay(6, 4e-3), decay(6, 4e-3));
    openFixture({line(1, three), line(2, four)});
    InvParam p = m_model->invParam;
    p.timeWindowStart = 0.0;
    m_model->on_signal_curInvsionParamChanged(p);
    m_model->on_signal_TransRelaxInversionMethodChanged(method);
    Receiver r(m_model.get());

    // A station view over three stations shows no section.
    m_model->showTreeNode(0, 1, -1);
    QCOMPARE(r.events, (QStringList{"Reset", "Central(1)", "ShowLine", "Station", "Save(0)", "Menu(1)",
                                    "Edit(0,0)"}));
    QVERIFY(m_model->shown.valid);

    // The line of three is inverted and stored, but not drawn: the views
    // drop whatever section they showed and the user is told why.
    r.events.clear();
    m_messages.clear();
    // The smoothing dialog is not offered for a section that is not drawn.
    answerDialog(DialogAnswer{true, 20, 150, 0});
    m_model->showTreeNode(0, -1, -1);
    QCOMPARE(r.events, lineEvents);
    QCOMPARE(m_messages, QStringList{"该测线可用测点不足4个，无法绘制断面图"});
    QCOMPARE(m_dialogRuns, 0);
    QCOMPARE(m_model->reportDistances, (QVector<double>{10, 20, 30}));
    QCOMPARE(m_model->currentLineNumber, 1.0);
    QVERIFY(!m_model->sectionResults.isEmpty());
    QVERIFY(!m_model->layerResults.isEmpty());
    QCOMPARE(method == 1 ? m_model->stationResults.size() : m_model->profileResults.size(), 3);

    // Four stations are drawn, and smoothed as asked.
    r.events.clear();
    m_model->showTreeNode(1, 99, -1);
    QCOMPARE(m_dialogRuns, 1);
    QVERIFY(r.events.contains("Static"));
    QVERIFY(r.events.contains(QString("2DISO(%1)").arg(method)));
    QVERIFY(r.events.contains("2DPoint"));
    QVERIFY(!r.events.contains("Cleared"));
    QCOMPARE(r.stations.size(), 4);
}

// --- Line view ---

void TestDataModelDisplay::lineView_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QStringList>("events");
    const QStringList tail{"Menu(2)", "Save(0)", "Export(1)"};
    QTest::newRow("station by station")
        << 1 << (QStringList{"Reset", "Central(0)", "Static", "Contour(1)", "2DLineSection", "2DISO(1)", "2DPoint"} + tail);
    QTest::newRow("profile")
        << 2 << (QStringList{"Reset", "Central(0)", "2DLineSection", "Mesh", "Static", "Contour(2)", "2DISO(2)", "2DPoint"} + tail);
    QTest::newRow("no inversion (0)") << 0 << (QStringList{"Reset", "Central(0)"} + tail);
    QTest::newRow("no inversion (3)") << 3 << (QStringList{"Reset", "Central(0)"} + tail);
}

void TestDataModelDisplay::lineView()
{
    QFETCH(int, method);
    QFETCH(QStringList, events);
    openGenerated();
    // Results of another line are there before.
    m_model->on_signal_TransRelaxInversionMethodChanged(1);
    m_model->showTreeNode(0, -1, -1);
    QCOMPARE(m_model->currentLineNumber, 100.0);
    QVERIFY(!m_model->stationResults.isEmpty());
    m_model->showTreeNode(0, 4, -1);
    QVERIFY(m_model->shown.valid);

    m_model->on_signal_TransRelaxInversionMethodChanged(method);
    Receiver r(m_model.get());
    m_dialogRuns = 0;
    m_model->showTreeNode(1, -1, -1);
    QCOMPARE(r.events, events);
    QCOMPARE(m_dialogRuns, method == 1 || method == 2 ? 1 : 0);
    QVERIFY(!m_model->shown.valid);

    // The tail is stored for every method.
    QCOMPARE(m_model->currentLineNumber, 110.0);
    QCOMPARE(m_model->reportDistances.size(), 16);
    QCOMPARE(m_model->reportDistances.first(), 0.0);
    QCOMPARE(m_model->reportDistances.last(), 300.0);
    QCOMPARE(m_model->reportCurves.size(), m_model->reportTimes.size());
    QCOMPARE(m_model->reportCurves.first().size(), 16);
    QCOMPARE(m_model->lineCoordinates.size(), 16);
    QCOMPARE(m_model->lineCoordinates.first().lineNo, 110.0f);
    for (double v : m_model->reportCurves.first())
        QVERIFY(v > 0.0);
    QCOMPARE(m_model->invParam.topography.size(), 16);

    if (method == 1 || method == 2) {
        QCOMPARE(r.ramp, DataModel::defaultColourRamp());
        QCOMPARE(r.pointRamp, DataModel::defaultColourRamp());
        QVERIFY(r.flag);
        QCOMPARE(r.inversionDepth, m_model->invParam.inversionDepth);
        QCOMPARE(r.pointDepth, m_model->invParam.inversionDepth);
        QCOMPARE(r.topography.size(), 16);
        QCOMPARE(r.pointTopography.size(), 16);
        QVERIFY(sameGrid(r.section, m_model->sectionResults));
        QVERIFY(sameGrid(r.pointSection, m_model->sectionResults));
        QCOMPARE(r.stations, m_model->reportDistances);
        QCOMPARE(r.curves, m_model->reportCurves);
        QCOMPARE(r.smallest, DataModel::sectionMinimum(m_model->sectionResults));
        QCOMPARE(r.largest, ModelFiles::maxValue(m_model->sectionResults));
        QVERIFY(r.smallest < r.largest);
        // The exports find the line's ground with its results.
        QCOMPARE(m_model->resultTopography.size(), 16);
        QCOMPARE(m_model->resultTopography.last().position, 300.0);
        Data_Calc calc(nullptr);
        if (method == 1) {
            QCOMPARE(m_model->stationResults.size(), 16);
            QVERIFY(m_model->profileResults.isEmpty());
            QVERIFY(sameGrid(m_model->layerResults, calc.quantileClasses(m_model->stationResults)));
        } else {
            QCOMPARE(r.meshStations, m_model->reportDistances);
            QCOMPARE(r.param.topography.size(), 16);
            QCOMPARE(m_model->profileResults.size(), 16);
            QVERIFY(m_model->stationResults.isEmpty());
            QVERIFY(sameGrid(m_model->layerResults, calc.linearClasses(m_model->sectionResults)));
        }
    } else {
        // Nothing was inverted: no results of line 100 stand for line 110.
        QVERIFY(m_model->stationResults.isEmpty());
        QVERIFY(m_model->profileResults.isEmpty());
        QVERIFY(m_model->sectionResults.isEmpty());
        QVERIFY(m_model->layerResults.isEmpty());
        QVERIFY(m_model->resultTopography.isEmpty());
    }
}

void TestDataModelDisplay::lineWithoutUsableLine_data()
{
    QTest::addColumn<int>("stations");
    QTest::addColumn<int>("unused");   // stations with USE 0 among them
    QTest::addColumn<int>("method");
    QTest::newRow("one station") << 1 << 0 << 1;
    QTest::newRow("one usable of three, method 1") << 3 << 2 << 1;
    QTest::newRow("one usable of three, method 2") << 3 << 2 << 2;
    QTest::newRow("none usable") << 2 << 2 << 2;
}

void TestDataModelDisplay::lineWithoutUsableLine()
{
    QFETCH(int, stations);
    QFETCH(int, unused);
    QFETCH(int, method);
    using namespace dmtest;
    const QVector<double> t{100, 200, 400, 800, 1600};
    QList<StationDef> defs;
    for (int i = 0; i < stations; ++i)
        defs << gatedStation(10 * i, t, decay(5, 1e-3), decay(5, 1e-3), i < unused ? 0 : 1);
    openFixture({line(5, defs)});
    InvParam p = m_model->invParam;
    p.timeWindowStart = 0.0;
    m_model->on_signal_curInvsionParamChanged(p);
    m_model->on_signal_TransRelaxInversionMethodChanged(method);
    Receiver r(m_model.get());

    m_model->showTreeNode(0, -1, -1);
    QCOMPARE(r.events, (QStringList{"Reset", "Save(0)", "Edit(0,0)"}));
    QCOMPARE(m_dialogRuns, 0);
    QVERIFY(std::isnan(m_model->currentLineNumber));
    QVERIFY(m_model->reportDistances.isEmpty());
    QVERIFY(m_model->lineCoordinates.isEmpty());

    // Its usable station still has a station view.
    r.events.clear();
    m_model->showTreeNode(0, stations - 1, -1);
    if (unused < stations) {
        QCOMPARE(r.events.mid(0, 4), (QStringList{"Reset", "Central(1)", "ShowLine", "Station"}));
        QCOMPARE(r.events.last(), QString("Edit(0,0)"));
    }
}

void TestDataModelDisplay::viewsOfUnreadSamples_data()
{
    QTest::addColumn<int>("stationRow");        // -1: the line
    QTest::addColumn<bool>("shownBefore");      // the line was shown, its samples listed, before
    QTest::addColumn<QString>("obstacle");
    for (const char* obstacle : {"locked", "deleted"}) {
        const QByteArray o(obstacle);
        QTest::newRow(o + ", line") << -1 << false << QString(obstacle);
        QTest::newRow(o + ", line shown before") << -1 << true << QString(obstacle);
        QTest::newRow(o + ", station shown before") << 5 << true << QString(obstacle);
    }
    QTest::newRow("locked, station") << 5 << false << "locked";
}

// Samples that cannot be read (another program holds the file, or deleted a
// sample listed before) end the view with a message naming the file: no
// curve, model or section is made from the samples that could be read,
// which would take the stations at a current they were not measured at.
void TestDataModelDisplay::viewsOfUnreadSamples()
{
    QFETCH(int, stationRow);
    QFETCH(bool, shownBefore);
    QFETCH(QString, obstacle);
    openGenerated();
    const QString file = m_lib->path();
    m_model->on_signal_TransRelaxInversionMethodChanged(1);
    if (shownBefore)
        m_model->showTreeNode(0, -1, -1);
    const QList<DataType_ResultData> before = m_model->sectionResults;
    m_messages.clear();

    Receiver r(m_model.get());
    {
        storetest::RawDb other(file);
        if (obstacle == "locked") {
            m_lib->setBusyTimeout(20);
            QVERIFY(other.holdWriteLock());
        } else {
            // A sample of the shown station's line, deleted once listed.
            QVERIFY(other.exec("DELETE FROM Data_Sample WHERE ID = (SELECT MIN(s.ID) FROM Data_Sample s "
                               "JOIN Data_Point p ON s.Data_PointID = p.ID JOIN Data_Line l ON p.Data_LineID = l.ID "
                               "WHERE l.NAME = 100 AND p.NAME = 100)"));
        }
        m_model->showTreeNode(0, stationRow, -1);
        if (obstacle == "locked")
            other.release();
    }
    const QString why = obstacle == "locked" ? QStringLiteral("该文件正被其他程序使用") : QStringLiteral("读取失败");
    if (obstacle == "deleted" && !shownBefore) {
        // Not listed yet, the sample is simply not there: a sound view.
        QVERIFY(m_messages.isEmpty());
        return;
    }
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().startsWith(QStringLiteral("读取采样数据|"))
                 && m_messages.first().contains(QDir::toNativeSeparators(file)) && m_messages.first().contains(why),
             qPrintable(m_messages.first()));
    for (const char* shown : {"Station", "ISO", "LineSection", "2DLineSection", "Static", "2DISO(1)", "2DPoint",
                                 "Central(0)", "Central(1)"})
        QVERIFY2(!r.events.contains(shown), qPrintable(r.events.join(' ')));
    QVERIFY(!m_model->shown.valid);
    QVERIFY(sameGrid(m_model->sectionResults, before));

    // Once every sample can be read again, the same view is shown.
    if (obstacle != "locked")
        return;
    m_lib->setBusyTimeout(LibHORM::kBusyTimeoutMs);
    m_messages.clear();
    r.events.clear();
    m_model->showTreeNode(0, stationRow, -1);
    QVERIFY(m_messages.isEmpty());
    QVERIFY(r.events.contains(stationRow < 0 ? "2DISO(1)" : "Station"));
}

void TestDataModelDisplay::ellipseSmoothing_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("radius1");
    QTest::addColumn<int>("radius2");
    QTest::addColumn<int>("angle");
    QTest::addColumn<bool>("smoothed");
    // Stations 0..300 and depth 100: the proposal is 150.
    for (int method : {1, 2}) {
        const QByteArray m = "method " + QByteArray::number(method) + ", ";
        QTest::newRow(m + "changed and tilted") << method << true << 60 << 20 << 30 << true;
        QTest::newRow(m + "rejected") << method << false << 60 << 20 << 30 << false;
        QTest::newRow(m + "proposed radii, tilted") << method << true << 150 << 150 << 45 << false;
        QTest::newRow(m + "changed, no tilt") << method << true << 20 << 150 << 0 << true;
    }
    QTest::newRow("method 1, circle of another radius, no tilt") << 1 << true << 60 << 60 << 0 << true;
    QTest::newRow("method 1, one radius changed") << 1 << true << 150 << 40 << -20 << true;
}

void TestDataModelDisplay::ellipseSmoothing()
{
    QFETCH(int, method);
    QFETCH(bool, accept);
    QFETCH(int, radius1);
    QFETCH(int, radius2);
    QFETCH(int, angle);
    QFETCH(bool, smoothed);
    openGenerated();
    QCOMPARE(m_model->invParam.inversionDepth, 100.0);
    m_model->on_signal_TransRelaxInversionMethodChanged(method);

    // The unsmoothed section first.
    m_model->showTreeNode(0, -1, -1);
    QCOMPARE(m_dialogRuns, 1);
    QVERIFY(m_model->smoothDialog);
    QCOMPARE(m_model->smoothDialog->radius1(), 150);
    QCOMPARE(m_model->smoothDialog->radius2(), 150);
    const QList<DataType_ResultData> plain = m_model->sectionResults;
    QVERIFY(!plain.isEmpty());

    answerDialog(DialogAnswer{accept, radius1, radius2, angle});
    Receiver r(m_model.get());
    m_model->showTreeNode(0, -1, -1);
    QCOMPARE(m_dialogRuns, 2);
    const QList<DataType_ResultData>& shown = m_model->sectionResults;
    QCOMPARE(shown.size(), plain.size());
    for (int i = 0; i < shown.size(); ++i) {
        QCOMPARE(shown[i].x, plain[i].x);
        QCOMPARE(shown[i].depth, plain[i].depth);
    }
    QCOMPARE(!sameGrid(shown, plain), smoothed);
    QVERIFY(sameGrid(r.section, shown));
    // Method 1 reports the range of what is drawn, method 2 that of the
    // profile before smoothing.
    const QList<DataType_ResultData>& ranged = method == 1 ? shown : plain;
    QCOMPARE(r.smallest, DataModel::sectionMinimum(ranged));
    QCOMPARE(r.largest, ModelFiles::maxValue(ranged));
    if (smoothed) {
        // A mean narrows the range of the values (the air's blanks aside).
        QVERIFY(ModelFiles::maxValue(shown) - DataModel::sectionMinimum(shown)
                < ModelFiles::maxValue(plain) - DataModel::sectionMinimum(plain));
        Data_Calc calc(nullptr);
        if (method == 2)
            QVERIFY(sameGrid(m_model->layerResults, calc.linearClasses(shown)));
    }
}

void TestDataModelDisplay::smoothingDialogKeepsValues()
{
    openGenerated();
    // A station view never asks.
    m_model->showTreeNode(0, 3, -1);
    QCOMPARE(m_dialogRuns, 0);
    QVERIFY(!m_model->smoothDialog);

    answerDialog(DialogAnswer{true, 70, 30, 20});
    m_model->showTreeNode(0, -1, -1);
    Dialog_EllipseSmooth* dialog = m_model->smoothDialog;
    QVERIFY(dialog);
    QCOMPARE(dialog->radius1(), 70);
    QCOMPARE(dialog->radius2(), 30);
    QVERIFY(std::fabs(dialog->angle() - 20.0f * 0.017453292f) < 1e-6f);
    const QList<DataType_ResultData> first = m_model->sectionResults;

    // The same dialog comes back with the user's values, not the proposal;
    // accepting them unchanged smooths the same way again.
    int seenRadius1 = 0;
    UserPrompt::setDialogAnswerer([&](QDialog* d) {
        ++m_dialogRuns;
        seenRadius1 = d->findChild<QSpinBox*>("spinBox_Radius1")->value();
        d->findChild<QPushButton*>("pushButton_OK")->click();
        return d->result();
    });
    m_model->showTreeNode(1, -1, -1);
    m_model->showTreeNode(0, -1, -1);
    QCOMPARE(m_model->smoothDialog, dialog);
    QCOMPARE(seenRadius1, 70);
    QVERIFY(sameGrid(m_model->sectionResults, first));
}

void TestDataModelDisplay::sectionsFollowEarthModel_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("station by station") << 1;
    QTest::newRow("profile") << 2;
}

void TestDataModelDisplay::sectionsFollowEarthModel()
{
    QFETCH(int, method);
    openGenerated();
    InvParam p = m_model->invParam;
    p.inversionDepth = 300.0;
    m_model->on_signal_curInvsionParamChanged(p);
    m_model->on_signal_TransRelaxInversionMethodChanged(method);
    const ProjectGenerator generator(m_options);
    Receiver r(m_model.get());
    m_model->showTreeNode(1, -1, -1);
    QVERIFY(r.events.contains(QString("2DISO(%1)").arg(method)));

    // Each column of the drawn section against the half-space under it:
    // inside the zone (10 ohm-m) well below the background (100 ohm-m).
    QVector<double> zone, background;
    for (const DataType_ResultData& column : r.section) {
        if (column.value.isEmpty())
            continue;
        const double rho = generator.resistivity(110.0, column.x);
        const double mean = logMean(column.value);
        if (rho <= 10.0 + 1e-9)
            zone << mean;
        else if (rho >= 100.0 - 1e-9)
            background << mean;
    }
    QVERIFY2(zone.size() >= 3 && background.size() >= 3,
             qPrintable(QString("%1 zone, %2 background columns").arg(zone.size()).arg(background.size())));
    const double zoneLevel = logMean(zone);
    const double backgroundLevel = logMean(background);
    const QString levels = QString("zone %1, background %2").arg(zoneLevel).arg(backgroundLevel);
    QVERIFY2(zoneLevel > 5.0 && zoneLevel < 40.0, qPrintable(levels));
    QVERIFY2(backgroundLevel > 50.0 && backgroundLevel < 200.0, qPrintable(levels));
    // Every zone column below every background column.
    QVERIFY2(*std::max_element(zone.cbegin(), zone.cend())
                 < *std::min_element(background.cbegin(), background.cend()),
             qPrintable(levels));

    if (method == 1) {
        // The per-station results follow the model station by station.
        for (const DataType_ResultData& column : m_model->stationResults) {
            const double rho = generator.resistivity(110.0, column.x);
            const double ratio = logMean(column.value) / rho;
            QVERIFY2(ratio > 0.5 && ratio < 2.0,
                     qPrintable(QString("station %1: %2 vs %3").arg(column.x).arg(logMean(column.value)).arg(rho)));
        }
    }
}

QTEST_MAIN(TestDataModelDisplay)
#include "tst_datamodel_display.moc"
