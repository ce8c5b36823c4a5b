#include <QDialog>
#include <QFile>
#include <QPolygonF>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <cmath>
#include <memory>

#include "common/TestHelpers.h"
#include "model/DataModel.h"
#include "model/DataModelFixture.h"
#include "model/Data_Calc.h"
#include "model/ModelFiles.h"
#include "model/UserPrompt.h"
#include "platform/inversion/InversionMethod.h"
#include "tools/projectgen/ProjectGenerator.h"

using namespace dmtest;

namespace {

const QString kDataDir = QStringLiteral(HW_TEST_DATA_DIR);

// A half-space decay (volts at the nominal 10 A) on log-spaced gates.
QVector<double> gateTimes()
{
    QVector<double> t;
    for (int i = 0; i < 20; ++i)
        t << 200.0 * std::pow(10.0, i * 0.1);
    return t;
}

QVector<double> halfSpace(double rho)
{
    QVector<double> v;
    for (double t : gateTimes())
        v << InversionMethod::receivedVoltage(t * 1e-6, rho, 10.0);
    return v;
}

StationDef station(double name, double rho, int use = 1)
{
    const QVector<double> v = halfSpace(rho);
    return gatedStation(name, gateTimes(), v, v, use);
}

// A line of stations 0, 20, 40, ... with a conductive middle.
LineDef surveyLine(double name, int stations, int use = 1, int stationUse = 1)
{
    QList<StationDef> list;
    for (int i = 0; i < stations; ++i)
        list << station(i * 20.0, (i == stations / 2) ? 10.0 : 100.0, stationUse);
    return line(name, list, 0, use);
}

// A section of positions x and levels z with value f(i, j).
template<typename F>
QList<DataType_ResultData> section(const QVector<double>& x, const QVector<double>& z, F f)
{
    QList<DataType_ResultData> s;
    for (int i = 0; i < x.size(); ++i) {
        DataType_ResultData r;
        r.x = x[i];
        r.depth = z;
        for (int j = 0; j < z.size(); ++j)
            r.value << f(i, j);
        s << r;
    }
    return s;
}

QString sectionText(const QList<DataType_ResultData>& s)
{
    QStringList rows;
    for (const DataType_ResultData& r : s)
        rows << QString("x=%1 %2").arg(r.x).arg(hwtest::describe(r.value));
    return rows.join("; ");
}

bool sectionsNear(const QList<DataType_ResultData>& a, const QList<DataType_ResultData>& b,
                  QString* why)
{
    if (a.size() != b.size()) {
        *why = QString("%1 records, expected %2").arg(a.size()).arg(b.size());
        return false;
    }
    for (int i = 0; i < a.size(); ++i) {
        QString detail;
        if (a[i].x != b[i].x || a[i].depth != b[i].depth
            || !hwtest::vectorsNear(a[i].value, b[i].value, 1e-12, 1e-12, &detail)) {
            *why = QString("record %1: %2\nactual   %3\nexpected %4")
                       .arg(i).arg(detail, sectionText(a), sectionText(b));
            return false;
        }
    }
    return true;
}

// Signal names in the order the controller emits them, with the arguments
// the tests look at.
struct Recorder {
    QStringList order;
    QList<DataType_ResultData> isoSection;
    QList<DataType_ResultData> pointSection;
    QVector<TopoData> isoTopography;
    QVector<TopoData> pointTopography;
    double isoDepth = 0.0;
    double pointDepth = 0.0;
    int isoMethod = -1;
    bool isoFlag = false;
    int isoRampSize = 0;
    int contourMethod = -1;
    QList<bool> central;
    QVector<double> lineStations;
    LayerModeler modeler;
    QList<DataType_ResultData> modelerSection;

    void attach(DataModel* m)
    {
        QObject::connect(m, &DataModel::signal_FittingMethodActionReset, [this] { order << "reset"; });
        QObject::connect(m, &DataModel::signal_CentralWidgetChanged, [this](bool b) {
            order << "central";
            central << b;
        });
        QObject::connect(m, &DataModel::signal_Mesh, [this](QVector<double>, InvParam) { order << "mesh"; });
        QObject::connect(m, &DataModel::signal_StaticResistivity, [this](float, float) { order << "range"; });
        QObject::connect(m, &DataModel::signal_2DLineSectionGraphChanged,
                         [this](QVector<QVector<double> >, QVector<double>, QVector<double> s) {
                             order << "profile";
                             lineStations = s;
                         });
        QObject::connect(m, &DataModel::signal_MenuEnable, [this](int) { order << "menu"; });
        QObject::connect(m, &DataModel::signal_FiseSaveButtonEnalbe, [this](bool) { order << "save"; });
        QObject::connect(m, &DataModel::signal_FileExportButtonEnable, [this](bool) { order << "export"; });
        QObject::connect(m, &DataModel::signal_ContourMethod, [this](int method) {
            order << "contour";
            contourMethod = method;
        });
        QObject::connect(m, &DataModel::signal_2DISOGraphChanged,
                         [this](QList<DataType_ResultData>& s, QVector<TopoData> t, double d,
                                QMap<float, QColor> ramp, int method, bool flag) {
                             order << "iso";
                             isoSection = s;
                             isoTopography = t;
                             isoDepth = d;
                             isoRampSize = ramp.size();
                             isoMethod = method;
                             isoFlag = flag;
                         });
        QObject::connect(m, &DataModel::signal_2DPointData,
                         [this](QList<DataType_ResultData>& s, QVector<TopoData> t,
                                QMap<float, QColor>, double d) {
                             order << "points";
                             pointSection = s;
                             pointTopography = t;
                             pointDepth = d;
                         });
        QObject::connect(m, &DataModel::signal_SectionCleared, [this] { order << "cleared"; });
        QObject::connect(m, &DataModel::signal_Modelerinput,
                         [this](LayerModeler model, QList<DataType_ResultData> s) {
                             order << "modeler";
                             modeler = model;
                             modelerSection = s;
                         });
    }
};

} // namespace

// Model-calculation files, re-scaling a shown section inside their areas,
// the line section of the model calculation and the three-dimensional
// inversion of all lines in use.
class TestDataModelModelCalc : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readModelFile_data();
    void readModelFile();

    void rescaleLevels_data();
    void rescaleLevels();
    void rescaleInsideAreasOnly();
    void blanksStayBlank();
    void rescaleEmitsAndStores();
    void rescaleWithoutSection();
    void sendModelerInput();

    void lineSection_data();
    void lineSection();
    void lineSectionStops_data();
    void lineSectionStops();
    void shownLineThenModelFile();

    void threeDimensionalEdges_data();
    void threeDimensionalEdges();
    void threeDimensionalWithoutElevations();
    void threeDimensionalFollowsElevations();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString writeText(const QString& name, const QString& text) const;
    void open(const QString& file, const QString& suffix = QStringLiteral("QELVA"));
    void setCoordinates(const QString& file, double skippedLine = -1.0) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    DataModel* m_model = nullptr;
    LibHORM* m_lib = nullptr;
    QStringList m_messages;
    int m_dialogRuns = 0;
};

void TestDataModelModelCalc::init()
{
    registerSharedTypes();
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_model = new DataModel(nullptr);
    m_messages.clear();
    m_dialogRuns = 0;
    UserPrompt::setMessageAnswerer([this](const QString& text) { m_messages << text; });
    UserPrompt::setDialogAnswerer([this](QDialog*) {
        ++m_dialogRuns;
        return int(QDialog::Rejected);
    });
}

void TestDataModelModelCalc::cleanup()
{
    m_model->closeProject();
    delete m_lib;
    m_lib = nullptr;
    delete m_model;
    m_model = nullptr;
    UserPrompt::setMessageAnswerer({});
    UserPrompt::setDialogAnswerer({});
}

QString TestDataModelModelCalc::writeText(const QString& name, const QString& text) const
{
    QFile f(path(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return QString();
    QTextStream(&f) << text;
    return f.fileName();
}

void TestDataModelModelCalc::open(const QString& file, const QString& suffix)
{
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(file));
    m_model->setFileSuffix(suffix);
    m_model->loadProject(m_lib);
}

// Every station gets x = its number, y = 100 x its line number and a ground
// that rises along the line; the stations of skippedLine keep none.
void TestDataModelModelCalc::setCoordinates(const QString& file, double skippedLine) const
{
    const QString name = "coords-" + file;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("UPDATE Data_Point SET XCoord = NAME, "
                       "YCoord = 100 * (SELECT NAME FROM Data_Line WHERE Data_Line.ID = Data_LineID), "
                       "ZCoord = 300 + NAME * 0.5, HasZCoord = 1 "
                       "WHERE Data_LineID NOT IN (SELECT ID FROM Data_Line WHERE NAME = "
                       + QString::number(skippedLine) + ")"));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// --- Model-calculation files ---

void TestDataModelModelCalc::readModelFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QVector<double> >("lows");
    QTest::addColumn<QVector<double> >("highs");
    QTest::addColumn<QVector<int> >("corners");
    QTest::addColumn<QVector<QPointF> >("firstOutline");

    QTest::newRow("blocks between text lines") << "modelcalc_example.txt"
        << QVector<double>{100} << QVector<double>{500} << QVector<int>{3}
        << QVector<QPointF>{{100, -10}, {200, -10}, {150, -60}};
    // Prefixes qualify, case counts, plus and the other separators split.
    QTest::newRow("keywords and separators") << "modelcalc_keywords.txt"
        << QVector<double>{10, -5, 0.5} << QVector<double>{20, -6, 1.5} << QVector<int>{2, 1, 0}
        << QVector<QPointF>{{1, 2}, {3, 4}};
    // An exponent's sign is part of its number; a plus elsewhere still
    // splits (1e+1+2e+1 is 10 and 20).
    QTest::newRow("numbers with exponents") << "modelcalc_exponents.txt"
        << QVector<double>{0.5, 50} << QVector<double>{1.5, 250} << QVector<int>{1, 3}
        << QVector<QPointF>{{10, 20}};
    QTest::newRow("block cut off by the end") << "modelcalc_short_end.txt"
        << QVector<double>{3} << QVector<double>{4} << QVector<int>{1} << QVector<QPointF>{{1, 2}};
    QTest::newRow("block cut off by the next") << "modelcalc_interrupted.txt"
        << QVector<double>{30} << QVector<double>{40} << QVector<int>{2}
        << QVector<QPointF>{{1, 1}, {2, 2}};
    QTest::newRow("lines short of tokens") << "modelcalc_short_lines.txt"
        << QVector<double>{80} << QVector<double>{90} << QVector<int>{1} << QVector<QPointF>{{1, 1}};
    QTest::newRow("numbers not finite") << "modelcalc_not_finite.txt"
        << QVector<double>{5} << QVector<double>{6} << QVector<int>{1} << QVector<QPointF>{{3, 4}};
    QTest::newRow("header without count") << "modelcalc_header_only.txt"
        << QVector<double>{} << QVector<double>{} << QVector<int>{} << QVector<QPointF>{};
    QTest::newRow("empty file") << "modelcalc_empty.txt"
        << QVector<double>{} << QVector<double>{} << QVector<int>{} << QVector<QPointF>{};
    QTest::newRow("missing file") << "no_such_model.txt"
        << QVector<double>{} << QVector<double>{} << QVector<int>{} << QVector<QPointF>{};
}

void TestDataModelModelCalc::readModelFile()
{
    QFETCH(QString, file);
    QFETCH(QVector<double>, lows);
    QFETCH(QVector<double>, highs);
    QFETCH(QVector<int>, corners);
    QFETCH(QVector<QPointF>, firstOutline);

    const QVector<ModelArea> areas = m_model->readModelFile(kDataDir + "/" + file);
    QCOMPARE(areas.size(), lows.size());
    for (int i = 0; i < areas.size(); ++i) {
        QCOMPARE(areas[i].low, lows[i]);
        QCOMPARE(areas[i].high, highs[i]);
        QCOMPARE(areas[i].outline.size(), corners[i]);
    }
    if (!firstOutline.isEmpty())
        QCOMPARE(QVector<QPointF>(areas[0].outline), firstOutline);
}

// --- Re-scaling a stored section ---

// Five stations whose rows are constant across the line, so that the
// sideways smoothing keeps what the re-scaling did.
void TestDataModelModelCalc::rescaleLevels_data()
{
    QTest::addColumn<QVector<double> >("levelValues");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QVector<double> >("expected");

    const QString levels0to20 = "floor 4\n-5 5\n45 5\n45 -25\n-5 -25\n%1 %2\n";
    const QVector<double> ramp{20, 50, 80, 1000};
    QTest::newRow("20..80 onto 100..500") << ramp << levels0to20.arg(100).arg(500)
                                          << QVector<double>{100, 300, 500, 1000};
    QTest::newRow("reversed range") << ramp << levels0to20.arg(500).arg(100)
                                    << QVector<double>{500, 300, 100, 1000};
    QTest::newRow("equal values to the middle") << QVector<double>{40, 40, 40, 1000}
                                                << levels0to20.arg(100).arg(500)
                                                << QVector<double>{300, 300, 300, 1000};
    QTest::newRow("blank cells not counted") << QVector<double>{1e-18, 20, 80, 1000}
                                             << levels0to20.arg(100).arg(500)
                                             << QVector<double>{1e-18, 100, 500, 1000};
    QTest::newRow("area without cells") << ramp << "floor 3\n500 500\n600 500\n550 400\n1 2\n"
                                        << ramp;
    // Level -30 lies on the outline's top edge: its cells count as inside
    // (all 1000, so the middle of 7..9); level -20 lies above it.
    QTest::newRow("cells on an edge count") << ramp << "floor 4\n0 -30\n40 -30\n40 -60\n0 -60\n7 9\n"
                                            << QVector<double>{20, 50, 80, 8};
    // A cell in two areas takes the later area's mapping of its stored value.
    QTest::newRow("later area wins")
        << ramp
        << "floor 4\n-5 5\n45 5\n45 -35\n-5 -35\n0 980\nsection 4\n-5 5\n45 5\n45 -15\n-5 -15\n100 500\n"
        << QVector<double>{100, 500, 60, 980};
    QTest::newRow("unreadable file") << ramp << QString() << ramp;
}

void TestDataModelModelCalc::rescaleLevels()
{
    QFETCH(QVector<double>, levelValues);
    QFETCH(QString, model);
    QFETCH(QVector<double>, expected);

    const QVector<double> x{0, 10, 20, 30, 40};
    const QVector<double> z{0, -10, -20, -30};
    m_model->sectionResults = section(x, z, [&](int, int j) { return levelValues[j]; });
    const QString file = model.isNull() ? path("missing.txt") : writeText("areas.txt", model);

    m_model->computeModelSection(file);

    const QList<DataType_ResultData> want = section(x, z, [&](int, int j) { return expected[j]; });
    QString why;
    QVERIFY2(sectionsNear(m_model->sectionResults, want, &why), qPrintable(why));
}

// Cells outside every area keep their stored values up to the sideways
// smoothing, which then runs over the whole section.
void TestDataModelModelCalc::rescaleInsideAreasOnly()
{
    const QVector<double> x{0, 10, 20, 30, 40, 50, 60};
    const QVector<double> z{100, 95, 90, 85, 80};
    auto stored = [](int i, int j) { return 10.0 + 7.0 * i + 3.0 * j + (i * j % 4); };
    m_model->sectionResults = section(x, z, stored);
    // A triangle over stations 10..40 between 97 and 82, mapped onto the
    // falling range -100..-200 (values at or below the blank marker).
    const QPolygonF outline(QVector<QPointF>{{10, 97}, {40, 97}, {40, 82}});
    const QString file = writeText("areas.txt", "note\nfloor 3\n10 97\n40 97\n40 82\n-100 -200\n");

    m_model->computeModelSection(file);

    Data_Calc calc(nullptr);
    double vmin = 1e300;
    double vmax = -1e300;
    for (int i = 0; i < x.size(); ++i) {
        for (int j = 0; j < z.size(); ++j) {
            if (calc.pointInArea(outline, QPointF(x[i], z[j]))) {
                vmin = std::min(vmin, stored(i, j));
                vmax = std::max(vmax, stored(i, j));
            }
        }
    }
    QVERIFY(vmax > vmin);
    int insideCount = 0;
    const QList<DataType_ResultData> premap = section(x, z, [&](int i, int j) {
        if (!calc.pointInArea(outline, QPointF(x[i], z[j])))
            return stored(i, j);
        ++insideCount;
        return (stored(i, j) - vmin) * ((-200.0 - -100.0) / (vmax - vmin)) + -100.0;
    });
    QVERIFY(insideCount >= 4);
    QVERIFY(insideCount < x.size() * z.size() - 10);
    const QList<DataType_ResultData> want = calc.smoothCurves(premap.toVector());
    QString why;
    QVERIFY2(sectionsNear(m_model->sectionResults, want, &why), qPrintable(why));
}

// The sideways smoothing leaves blank cells blank and means each valued
// cell over its valued neighbours only; a row without blanks gets the
// plain five-point smoothing.
void TestDataModelModelCalc::blanksStayBlank()
{
    m_model->sectionResults = section({0, 10, 20}, {5, 0}, [](int i, int j) {
        const QVector<double> top{1e-18, 10, 40};
        const QVector<double> below{1, 2, 6};
        return j == 0 ? top[i] : below[i];
    });
    m_model->computeModelSection(path("missing.txt"));

    const QList<DataType_ResultData>& s = m_model->sectionResults;
    QCOMPARE(s.size(), 3);
    QCOMPARE(s[0].value[0], 1e-18);
    // Windows (clamped) 0,0,1,2,2 and 0,1,2,2,2 without the blank station 0.
    HW_COMPARE_NEAR(s[1].value[0], (10.0 + 40.0 + 40.0) / 3.0, 1e-12);
    HW_COMPARE_NEAR(s[2].value[0], (10.0 + 40.0 + 40.0 + 40.0) / 4.0, 1e-12);
    HW_COMPARE_NEAR(s[0].value[1], 2.2, 1e-12);
    HW_COMPARE_NEAR(s[1].value[1], 3.2, 1e-12);
    HW_COMPARE_NEAR(s[2].value[1], 4.2, 1e-12);
}

void TestDataModelModelCalc::rescaleEmitsAndStores()
{
    Recorder rec;
    rec.attach(m_model);
    m_model->transRelaxMethod = 2;
    m_model->invParam.inversionDepth = 70.0;
    m_model->invParam.topography = {{0, 999}};   // not the section's ground
    m_model->resultTopography = {{0, 12}, {40, 14}};
    m_model->sectionResults = section({0, 10, 20, 30, 40}, {0, -10}, [](int i, int j) { return 10.0 * (i + 1) + j; });
    const QString file = writeText("areas.txt", "floor 4\n-1 1\n41 1\n41 -1\n-1 -1\n100 500\n");

    m_model->computeModelSection(file);

    QCOMPARE(rec.order, (QStringList{"contour", "iso", "points"}));
    QCOMPARE(rec.contourMethod, 2);
    QCOMPARE(rec.isoMethod, 2);
    QVERIFY(rec.isoFlag);
    QCOMPARE(rec.isoRampSize, 26);
    QCOMPARE(rec.isoDepth, 70.0);
    QCOMPARE(rec.pointDepth, 70.0);
    QCOMPARE(rec.isoTopography.size(), 2);
    QCOMPARE(rec.isoTopography[1].elevation, 14.0);
    QCOMPARE(rec.pointTopography.size(), 2);
    QString why;
    QVERIFY2(sectionsNear(rec.isoSection, m_model->sectionResults, &why), qPrintable(why));
    QVERIFY2(sectionsNear(rec.pointSection, m_model->sectionResults, &why), qPrintable(why));
    // Level 0 re-scaled onto 100..500 (10..50) and smoothed; level -10 kept.
    Data_Calc calc(nullptr);
    const QList<DataType_ResultData> want = calc.smoothCurves(
        section({0, 10, 20, 30, 40}, {0, -10}, [](int i, int j) {
            return j == 0 ? 100.0 + 100.0 * i : 10.0 * (i + 1) + 1;
        }).toVector());
    QVERIFY2(sectionsNear(m_model->sectionResults, want, &why), qPrintable(why));
    QVERIFY2(sectionsNear(m_model->layerResults, calc.linearClasses(want), &why), qPrintable(why));

    // Running it again re-scales the already re-scaled section.
    double vmin = 1e300;
    double vmax = -1e300;
    for (const DataType_ResultData& r : want) {
        vmin = std::min(vmin, r.value[0]);
        vmax = std::max(vmax, r.value[0]);
    }
    QList<DataType_ResultData> again = want;
    for (DataType_ResultData& r : again)
        r.value[0] = (r.value[0] - vmin) * (400.0 / (vmax - vmin)) + 100.0;
    m_model->computeModelSection(file);
    QCOMPARE(rec.order.size(), 6);
    QVERIFY2(sectionsNear(m_model->sectionResults, calc.smoothCurves(again.toVector()), &why),
             qPrintable(why));
}

void TestDataModelModelCalc::rescaleWithoutSection()
{
    Recorder rec;
    rec.attach(m_model);
    m_model->layerResults = section({1}, {0}, [](int, int) { return 3.0; });
    m_model->computeModelSection(kDataDir + "/modelcalc_example.txt");
    // The views drop what they show, and the user learns why.
    QCOMPARE(rec.order, QStringList{"cleared"});
    QCOMPARE(m_messages, QStringList{"该测线没有反演断面，无法进行模型计算"});
    QVERIFY(m_model->sectionResults.isEmpty());
    QCOMPARE(m_model->layerResults.size(), 1);
}

void TestDataModelModelCalc::sendModelerInput()
{
    Recorder rec;
    rec.attach(m_model);
    m_model->sectionResults = section({0, 10}, {0, -5}, [](int i, int j) { return i + j + 1.0; });

    m_model->sendModelerInput(kDataDir + "/no_such_model.txt");
    QVERIFY(rec.order.isEmpty());

    m_model->sendModelerInput(kDataDir + "/model_good.txt");
    QCOMPARE(rec.order, QStringList{"modeler"});
    QCOMPARE(rec.modeler.regions.size(), 3);
    QCOMPARE(rec.modeler.name, QString("二层模型 A, test: 1"));
    QString why;
    QVERIFY2(sectionsNear(rec.modelerSection, m_model->sectionResults, &why), qPrintable(why));
}

// --- The line section of the model calculation ---

void TestDataModelModelCalc::lineSection_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("station by station") << 1
        << QStringList{"reset", "central", "range", "profile", "menu", "save", "export"};
    QTest::newRow("profile") << 2
        << QStringList{"reset", "central", "mesh", "range", "profile", "menu", "save", "export"};
    QTest::newRow("no inversion") << 0 << QStringList{"reset", "central", "menu", "save", "export"};
}

void TestDataModelModelCalc::lineSection()
{
    QFETCH(int, method);
    QFETCH(QStringList, order);

    const QString file = path("p.QELVA");
    QVERIFY(writeProject(file, {surveyLine(1, 3), surveyLine(2, 6)}));
    setCoordinates(file);
    open(file);
    // What an earlier line left must not survive a line without a section.
    m_model->sectionResults = section({1}, {0}, [](int, int) { return 3.0; });
    m_model->layerResults = m_model->sectionResults;
    m_model->transRelaxMethod = method;
    Recorder rec;
    rec.attach(m_model);

    m_model->computeLineSection(1);

    QCOMPARE(rec.order, order);
    QCOMPARE(rec.central, QList<bool>{false});
    QCOMPARE(m_model->currentLineRow, 1);
    QCOMPARE(m_model->currentLineNumber, 2.0);
    const QVector<double> stations{0, 20, 40, 60, 80, 100};
    QCOMPARE(m_model->reportDistances, stations);
    QCOMPARE(rec.lineStations, method == 0 ? QVector<double>{} : stations);
    QCOMPARE(m_model->reportTimes, gateTimes());
    QCOMPARE(m_model->reportCurves.size(), gateTimes().size());
    QCOMPARE(m_model->lineCoordinates.size(), 6);
    // The ground of the line is the topography of the parameters and of
    // the results.
    QCOMPARE(m_model->invParam.topography.size(), 6);
    QCOMPARE(m_model->invParam.topography[5].elevation, 350.0);
    QCOMPARE(m_model->resultTopography.size(), method == 0 ? 0 : 6);

    Data_Calc calc(nullptr);
    QString why;
    if (method == 0) {
        QCOMPARE(m_dialogRuns, 0);
        QVERIFY(m_model->sectionResults.isEmpty());
        QVERIFY(m_model->layerResults.isEmpty());
        return;
    }
    // The dialog was offered once and refused: the section is unsmoothed.
    QCOMPARE(m_dialogRuns, 1);
    QVERIFY(m_model->smoothDialog != nullptr);
    QList<DataType_ResultData> want;
    if (method == 1) {
        QCOMPARE(m_model->stationResults.size(), 6);
        QVERIFY(m_model->profileResults.isEmpty());
        want = ModelFiles::buildSectionGrid(m_model->stationResults, 100.0, 100.0, 0.3, GRID_FIXED, 5.0);
    } else {
        QCOMPARE(m_model->profileResults.size(), 6);
        QVERIFY(m_model->stationResults.isEmpty());
        want = ModelFiles::buildSectionGrid2(m_model->profileResults, 0.3, m_model->invParam.topography, 100.0);
    }
    QCOMPARE(m_model->sectionResults.size(), 6);
    QVERIFY2(sectionsNear(m_model->sectionResults, want, &why), qPrintable(why));
    // The section stands on the ground: its top lies at the highest station.
    double top = -1e300;
    for (double level : m_model->sectionResults[5].depth)
        top = std::max(top, level);
    QVERIFY2(std::fabs(top - 350.0) <= 1.0, qPrintable(QString::number(top)));

    // The model-calculation road: the stored section then re-scaled.
    const QString areas = writeText("areas.txt", "floor 4\n-10 1000\n110 1000\n110 -1000\n-10 -1000\n1 2\n");
    m_model->computeModelSection(areas);
    QCOMPARE(rec.order.mid(order.size()), (QStringList{"contour", "iso", "points"}));
    QCOMPARE(rec.isoTopography.size(), 6);
    for (const DataType_ResultData& r : m_model->sectionResults) {
        for (double v : r.value)
            QVERIFY2((v >= 1.0 - 1e-12 && v <= 2.0 + 1e-12) || v == ModelFiles::kNoValue, qPrintable(QString::number(v)));
    }
}

void TestDataModelModelCalc::lineSectionStops_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("reset");
    QTest::newRow("row -1") << -1 << false;
    QTest::newRow("row past the lines") << 4 << false;
    QTest::newRow("one station") << 0 << true;
    QTest::newRow("no usable station") << 1 << true;
    QTest::newRow("one usable station") << 2 << true;
}

void TestDataModelModelCalc::lineSectionStops()
{
    QFETCH(int, row);
    QFETCH(bool, reset);

    const QString file = path("p.QELVA");
    LineDef oneUsable = surveyLine(3, 3);
    oneUsable.stations[0].use = 0;
    oneUsable.stations[2].use = 0;
    QVERIFY(writeProject(file, {surveyLine(1, 1), surveyLine(2, 4, 1, 0), oneUsable, surveyLine(4, 4)}));
    open(file);
    m_model->sectionResults = section({1}, {0}, [](int, int) { return 3.0; });
    m_model->reportDistances = {7};
    m_model->currentLineNumber = 9.0;
    Recorder rec;
    rec.attach(m_model);

    m_model->computeLineSection(row);

    QCOMPARE(m_model->currentLineRow, row);
    QCOMPARE(rec.order, reset ? QStringList{"reset"} : QStringList{});
    QCOMPARE(m_model->reportDistances, QVector<double>{7});
    QCOMPARE(m_model->currentLineNumber, 9.0);
    QCOMPARE(m_dialogRuns, 0);
    if (!reset) {
        QCOMPARE(m_model->sectionResults.size(), 1);
        return;
    }
    // A line that gives no section leaves no other line's section behind:
    // the model calculation that follows clears the views and says why,
    // instead of re-scaling and showing the earlier line.
    QVERIFY(m_model->sectionResults.isEmpty());
    rec.order.clear();
    m_model->computeModelSection(kDataDir + "/modelcalc_example.txt");
    QCOMPARE(rec.order, QStringList{"cleared"});
    QCOMPARE(m_messages, QStringList{"该测线没有反演断面，无法进行模型计算"});
}

// A generated line shown by a double-click, then a model file laid over
// it: cells whose whole smoothing window lies inside the area end in its
// range, cells whose window lies wholly outside keep the smoothed stored
// section.
void TestDataModelModelCalc::shownLineThenModelFile()
{
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 11;
    o.samplesPerStation = 1;
    o.sampleLength = 1500;
    const ProjectGenerator generator(o);
    const QString file = path("gen.QELVA");
    QString error;
    QVERIFY2(generator.write(file, &error), qPrintable(error));
    open(file);

    m_model->showTreeNode(1, -1, -1);
    const QList<DataType_ResultData> stored = m_model->sectionResults;
    QCOMPARE(stored.size(), 11);
    QCOMPARE(m_model->currentLineNumber, generator.lineNumbers()[1]);
    QVERIFY(!m_model->resultTopography.isEmpty());

    // The area: stations 60..140 (positions = station numbers), from the
    // lowest station top down 40 m.
    double lowestTop = 1e300;
    for (const TopoData& t : m_model->resultTopography)
        lowestTop = std::min(lowestTop, t.elevation);
    const double upper = lowestTop - 5.0;
    const double lower = lowestTop - 45.0;
    const QPolygonF outline(QVector<QPointF>{{60, upper}, {140, upper}, {140, lower}, {60, lower}});
    const QString areas = writeText("areas.txt", QString("layer of the model\nfloor 4\n60 %1\n140 %1\n140 %2\n60 %2\n1000 2000\n")
                                                      .arg(upper, 0, 'f', 3).arg(lower, 0, 'f', 3));
    Recorder rec;
    rec.attach(m_model);
    m_model->computeModelSection(areas);
    QCOMPARE(rec.order, (QStringList{"contour", "iso", "points"}));

    Data_Calc calc(nullptr);
    const QList<DataType_ResultData> plain = calc.smoothCurves(stored.toVector());
    const QList<DataType_ResultData>& s = m_model->sectionResults;
    QCOMPARE(s.size(), stored.size());
    int inside = 0;
    int outside = 0;
    for (int i = 0; i < s.size(); ++i) {
        for (int j = 0; j < s[i].value.size(); ++j) {
            bool allIn = true;
            bool allOut = true;
            bool anyBlank = false;
            for (int k = i - 2; k <= i + 2; ++k) {
                const int c = std::max(0, std::min(s.size() - 1, k));
                const bool in = calc.pointInArea(outline, QPointF(stored[c].x, stored[c].depth[j]));
                allIn = allIn && in;
                allOut = allOut && !in;
                anyBlank = anyBlank || stored[c].value[j] <= ModelFiles::kNoValue;
            }
            if (anyBlank)
                continue;
            if (allIn) {
                ++inside;
                QVERIFY2(s[i].value[j] >= 1000.0 - 1e-9 && s[i].value[j] <= 2000.0 + 1e-9,
                         qPrintable(QString::number(s[i].value[j])));
            } else if (allOut) {
                ++outside;
                HW_COMPARE_NEAR(s[i].value[j], plain[i].value[j], 1e-12);
            }
        }
    }
    QVERIFY(inside > 0);
    QVERIFY(outside > 0);
}

// --- Three-dimensional inversion ---

void TestDataModelModelCalc::threeDimensionalEdges_data()
{
    // Per line: 1 in use, 0 out of use, 2 in use without a usable station.
    QTest::addColumn<QVector<int> >("lineUses");
    QTest::addColumn<double>("depth");
    QTest::addColumn<bool>("message");
    QTest::addColumn<QList<double> >("lineNumbers");
    QTest::addColumn<bool>("columns");
    QTest::addColumn<double>("withoutElevation");

    QTest::newRow("two in use, one out") << QVector<int>{1, 0, 1} << 100.0 << false
                                         << QList<double>{1, 3} << true << -1.0;
    QTest::newRow("one line") << QVector<int>{1} << 100.0 << true << QList<double>{1} << true << -1.0;
    QTest::newRow("no project") << QVector<int>{} << 100.0 << true << QList<double>{} << false << -1.0;
    QTest::newRow("all out of use") << QVector<int>{0, 0} << 100.0 << false << QList<double>{}
                                    << false << -1.0;
    QTest::newRow("a line without data") << QVector<int>{1, 2, 1} << 100.0 << false
                                         << QList<double>{1} << false << -1.0;
    QTest::newRow("negative depth") << QVector<int>{1, 1} << -20.0 << false << QList<double>{}
                                    << false << -1.0;
    // The marker 100000 of the first line's stations takes no part in the
    // levels while the second line has real elevations.
    QTest::newRow("a line without elevations") << QVector<int>{1, 1} << 60.0 << false
                                               << QList<double>{1, 2} << true << 1.0;
}

void TestDataModelModelCalc::threeDimensionalEdges()
{
    QFETCH(QVector<int>, lineUses);
    QFETCH(double, depth);
    QFETCH(bool, message);
    QFETCH(QList<double>, lineNumbers);
    QFETCH(bool, columns);
    QFETCH(double, withoutElevation);

    if (!lineUses.isEmpty()) {
        QList<LineDef> defs;
        for (int i = 0; i < lineUses.size(); ++i)
            defs << surveyLine(i + 1, 4, lineUses[i] == 0 ? 0 : 1, lineUses[i] == 2 ? 0 : 1);
        const QString file = path("p.QELVA");
        QVERIFY(writeProject(file, defs));
        setCoordinates(file, withoutElevation);
        open(file);
    }
    m_model->invParam.inversionDepth = depth;
    Recorder rec;
    rec.attach(m_model);

    QList<double> numbers{42};
    const QList<DataType_ThreeResultData> result = m_model->calcTransRelax3D(numbers);

    QCOMPARE(m_messages, message ? QStringList{"未形成面积性测量"} : QStringList{});
    QCOMPARE(numbers, lineNumbers);
    QCOMPARE(rec.central, QVector<bool>(lineNumbers.size(), false).toList());
    QCOMPARE(rec.order.size(), lineNumbers.size());
    QCOMPARE(!result.isEmpty(), columns);
    if (columns) {
        QCOMPARE(result.size(), 4 * lineNumbers.size());
        // Elevations 300..330 on every line.
        for (const DataType_ThreeResultData& c : result) {
            QCOMPARE(c.z.first(), 330.0);
            QCOMPARE(c.z.size(), int((330.0 - (300.0 - depth)) / 5.0) + 1);
            QCOMPARE(c.z.size(), c.value.size());
        }
        // The topography is the last line's.
        QCOMPARE(m_model->invParam.topography.size(), 4);
        QCOMPARE(m_model->invParam.topography[3].elevation, 330.0);
    }
}

// Without any elevation the library puts the columns at 0: so do the levels.
void TestDataModelModelCalc::threeDimensionalWithoutElevations()
{
    const QString file = path("p.QELVA");
    QVERIFY(writeProject(file, {surveyLine(1, 4), surveyLine(2, 4)}));
    open(file);
    m_model->invParam.inversionDepth = 50.0;

    QList<double> numbers;
    const QList<DataType_ThreeResultData> result = m_model->calcTransRelax3D(numbers);

    QCOMPARE(numbers, (QList<double>{1, 2}));
    QVERIFY(m_model->invParam.topography.isEmpty());
    QCOMPARE(result.size(), 8);
    for (const DataType_ThreeResultData& c : result) {
        QCOMPARE(c.z, (QVector<double>{0, -5, -10, -15, -20, -25, -30, -35, -40, -45, -50}));
        for (double v : c.value)
            QVERIFY(std::isfinite(v) && v > 0.0);
    }
}

// A generated survey with a gentle topography and a conductive zone: the
// levels run from the highest station down to the lowest less the depth,
// the columns stand at the stations, and the zone shows at depth.
void TestDataModelModelCalc::threeDimensionalFollowsElevations()
{
    ProjectGenerator::Options o;
    o.lines = 3;
    o.stationsPerLine = 9;
    o.samplesPerStation = 1;
    o.sampleLength = 1500;
    o.zoneResistivity = 5.0;
    const ProjectGenerator generator(o);
    const QString file = path("gen.QELVA");
    QString error;
    QVERIFY2(generator.write(file, &error), qPrintable(error));
    open(file);
    m_model->invParam.inversionDepth = 80.0;

    QList<double> numbers;
    const QList<DataType_ThreeResultData> result = m_model->calcTransRelax3D(numbers);

    const QVector<double> lines = generator.lineNumbers();
    QCOMPARE(numbers, QList<double>(lines.begin(), lines.end()));
    QCOMPARE(m_messages, QStringList{});
    QCOMPARE(result.size(), 3 * 9);

    // The stations' own elevations, as the controller reads them.
    float zMax = -1e30f;
    float zMin = 1e30f;
    QVector<QVector<GPSCoordinate> > coordinates;
    for (int row = 0; row < 3; ++row) {
        QVector<QVector<double> > curves;
        QVector<double> times;
        QVector<double> stations;
        QVector<double> offTimes;
        QVector<GPSCoordinate> coords;
        m_model->lineAt(row)->getLineData(m_model->invParam, &curves, &times, &stations, &offTimes,
                                          &coords, true, 0, 0, 8);
        QCOMPARE(coords.size(), 9);
        for (const GPSCoordinate& c : coords) {
            zMax = std::max(zMax, c.z);
            zMin = std::min(zMin, c.z);
        }
        coordinates << coords;
    }
    QVERIFY(zMax > 1100.0 && zMax < 1300.0);
    const QVector<TopoData> ground = m_model->buildTopography(coordinates.last());
    QCOMPARE(m_model->invParam.topography.size(), ground.size());
    for (int i = 0; i < ground.size(); ++i) {
        QCOMPARE(m_model->invParam.topography[i].position, ground[i].position);
        QCOMPARE(m_model->invParam.topography[i].elevation, ground[i].elevation);
    }

    const double top = std::trunc(double(zMax));
    const int levels = int((double(zMax) - (double(zMin) - 80.0)) / 5.0 + 1.0);
    for (int i = 0; i < result.size(); ++i) {
        const DataType_ThreeResultData& c = result[i];
        const GPSCoordinate& station = coordinates[i / 9][i % 9];
        QCOMPARE(c.x, double(station.x));
        QCOMPARE(c.y, double(station.y));
        QCOMPARE(c.z.size(), levels);
        QCOMPARE(c.z.first(), top);
        QCOMPARE(c.z.last(), top - 5.0 * (levels - 1));
        QVERIFY(c.z.last() >= zMin - 80.0 - 1e-9);
    }

    // 40 m below the lowest station every column lies inside the ground:
    // the zone is more conductive there than the background.
    const int k = int((top - (double(zMin) - 40.0)) / 5.0);
    double zone = 0.0;
    double background = 0.0;
    int zoneCount = 0;
    int backgroundCount = 0;
    for (int i = 0; i < result.size(); ++i) {
        const double stationNo = coordinates[i / 9][i % 9].pointNo;
        const double lineNo = coordinates[i / 9][i % 9].lineNo;
        if (generator.resistivity(lineNo, stationNo) <= 5.0 + 1e-9) {
            zone += std::log(result[i].value[k]);
            ++zoneCount;
        } else if (generator.resistivity(lineNo, stationNo) >= 100.0 - 1e-9) {
            background += std::log(result[i].value[k]);
            ++backgroundCount;
        }
    }
    QVERIFY(zoneCount > 0 && backgroundCount > 0);
    QVERIFY2(zone / zoneCount < background / backgroundCount,
             qPrintable(QString("zone %1, background %2").arg(std::exp(zone / zoneCount))
                            .arg(std::exp(background / backgroundCount))));
}

QTEST_MAIN(TestDataModelModelCalc)
#include "tst_datamodel_modelcalc.moc"
