// On a generated two-layer project (100 ohm-m over 10 ohm-m at 50 m), the
// line view's station-by-station inversion (as the 1D export writes it) and
// the station view's inversion (the station's curve with its own measured
// current, as the 1D view inverts it) give the same model at every station,
// whatever current the survey ran at; the section shows the conductor from
// its depth; the project's own loop reaches both views' inversions, and the
// profile and 3D inversions read a small loop's curves as its earth.

#include <QDialog>
#include <QSqlQuery>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <memory>

#include "common/TestHelpers.h"
#include "model/DataModel.h"
#include "model/ModelFiles.h"
#include "model/UserPrompt.h"
#include "platform/inversion/InversionMethod.h"
#include "store/CurveBlob.h"
#include "store/LibHORM.h"
#include "tools/projectgen/CentralLoopResponse.h"
#include "tools/projectgen/ProjectGenerator.h"
#include "DataModelFixture.h"

class TestLineStationAgreement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void sameModelInBothViews_data();
    void sameModelInBothViews();
    void surferGridOfTheSection();
    void sectionShowsTheConductorAtItsDepth();
    void projectLoopReachesTheInversions();
    void lineMethodsReadTheProjectLoop_data();
    void lineMethodsReadTheProjectLoop();

private:
    // Writes the generated project under name, runs sql on it (when given)
    // and gates it once; empty on failure.
    QString generate(const ProjectGenerator::Options& o, const QString& name, const QString& sql = QString());
    // As generate, surveyed with a loop of the given radius (a rectangle
    // 20 m long of the circle's area) and turns and a receiver of the given
    // area: the coil set-up, and every receive record as that loop measures
    // the earth under the first station.
    QString generateUnderLoop(const ProjectGenerator::Options& o, const QString& name, double radius,
                              double turns, double area);
    // Opens the project in lib and loads it into model.
    static bool open(const QString& file, LibHORM& lib, DataModel& model);
    // The shown line's 1D export: station number to its resistivities.
    QMap<double, QVector<double> > exportedLineModel(DataModel& model, const QString& name);

    QTemporaryDir m_dir;
};

QString TestLineStationAgreement::generate(const ProjectGenerator::Options& o, const QString& name, const QString& sql)
{
    const QString file = m_dir.filePath(name);
    QString error;
    if (!ProjectGenerator(o).write(file, &error)) {
        qWarning("%s", qPrintable(error));
        return QString();
    }
    if (!sql.isEmpty()) {
        LibHORM raw;
        if (!raw.open(file))
            return QString();
        QSqlQuery q(*raw.database());
        if (!q.exec(sql))
            return QString();
    }
    return dmtest::loadOnce(file) ? file : QString();
}

QString TestLineStationAgreement::generateUnderLoop(const ProjectGenerator::Options& o, const QString& name,
                                                   double radius, double turns, double area)
{
    const ProjectGenerator generator(o);
    const QString file = m_dir.filePath(name);
    QString error;
    if (!generator.write(file, &error)) {
        qWarning("%s", qPrintable(error));
        return QString();
    }
    // The generator's records are those of its own loop: this loop's
    // response takes their place, on the same clock and clipped alike.
    const ProjectGenerator::EarthColumn earth = generator.column(o.firstLine, o.firstStation);
    const double step = ProjectGenerator::kSampleInterval;
    const CentralLoopResponse loop(earth.resistivities, earth.thicknesses, radius, step * 1e-6,
                                   (o.sampleLength + 1) * step * 1e-6);
    QVector<double> record(o.sampleLength);
    for (int i = 0; i < record.size(); ++i) {
        const double t = std::max(step * (i + 1) - generator.timeZero(), step);
        record[i] = -ProjectGenerator::kReceiverGain * o.current * turns * area * loop.dBzDt(t * 1e-6);
    }
    {
        LibHORM raw;
        if (!raw.open(file))
            return QString();
        QSqlQuery q(*raw.database());
        if (!q.exec(QStringLiteral("UPDATE Data_Project SET SendCoil_Len = 20, SendCoil_Width = %1, "
                                   "SendCoil_Turns = %2, RecvCoil_Size = %3")
                        .arg(M_PI * radius * radius / 20.0, 0, 'g', 17)
                        .arg(turns)
                        .arg(area)))
            return QString();
        if (!q.prepare(QStringLiteral("UPDATE Data_Sample SET DATA_RECV = ?")))
            return QString();
        q.addBindValue(CurveBlob::toBlob(record));
        if (!q.exec())
            return QString();
    }
    return dmtest::loadOnce(file) ? file : QString();
}

QMap<double, QVector<double> > TestLineStationAgreement::exportedLineModel(DataModel& model, const QString& name)
{
    const QString exported = m_dir.filePath(name);
    model.export1DResults(exported);
    QMap<double, QVector<double> > lineModel;
    QFile f(exported);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return lineModel;
    QTextStream in(&f);
    in.readLine();   // header
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(',');
        if (parts.size() >= 3)
            lineModel[parts.first().toDouble()].append(parts.last().toDouble());
    }
    return lineModel;
}

bool TestLineStationAgreement::open(const QString& file, LibHORM& lib, DataModel& model)
{
    if (!lib.open(file))
        return false;
    model.setFileSuffix("QELVA");
    model.loadProject(&lib);
    return model.isProjectOpen();
}

void TestLineStationAgreement::initTestCase()
{
    registerSharedTypes();
    QVERIFY(m_dir.isValid());
    // The ellipse-smoothing offer is declined; messages are not shown.
    UserPrompt::setDialogAnswerer([](QDialog*) { return int(QDialog::Rejected); });
    UserPrompt::setMessageAnswerer([](const QString&) {});
    UserPrompt::setTitledMessageAnswerer([](const QString&, const QString&) {});
}

void TestLineStationAgreement::cleanup() {}

void TestLineStationAgreement::sameModelInBothViews_data()
{
    QTest::addColumn<double>("current");
    QTest::newRow("10 A") << 10.0;
    QTest::newRow("20 A") << 20.0;
    QTest::newRow("4 A") << 4.0;
}

void TestLineStationAgreement::sameModelInBothViews()
{
    QFETCH(double, current);
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 8;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    o.backgroundLayers = {100.0, 10.0};
    o.backgroundThicknesses = {50.0};
    o.zoneResistivity = 100.0;   // no zone: the two layers everywhere
    o.current = current;
    const QString file = generate(o, QString("two_layer_%1.QELVA").arg(current));
    QVERIFY(!file.isEmpty());
    LibHORM lib;
    DataModel model;
    QVERIFY(open(file, lib, model));

    // The line view, exported.
    model.showTreeNode(0, -1, -1);
    const QMap<double, QVector<double> > lineModel =
        exportedLineModel(model, QString("two_layer_%1.1d.dat").arg(current));
    QCOMPARE(lineModel.size(), o.stationsPerLine);

    // Every station view, inverted as the 1D view does.
    QSignalSpy station(&model, SIGNAL(signal_StationChanged(QString, QVector<double>, QVector<double>, double, double, double)));
    const bool report = current == 20.0;
    for (int s = 0; s < o.stationsPerLine; ++s) {
        station.clear();
        model.showTreeNode(0, s, -1);
        QCOMPARE(station.size(), 1);
        const QList<QVariant> args = station.first();
        const QVector<double> response = args.at(1).value<QVector<double> >();
        const QVector<double> times = args.at(2).value<QVector<double> >();
        HW_COMPARE_NEAR(args.at(3).toDouble(), current, 1e-9);
        QVector<double> values, depths;
        InversionMethod().pointCompute(response, times, args.at(3).toDouble(), values, depths,
                                       args.at(4).toDouble(), args.at(5).toDouble());
        QVERIFY(!values.isEmpty());
        const double number = 20.0 * s;
        QVERIFY(lineModel.contains(number));
        // The export writes 6 significant digits.
        HW_COMPARE_VECTORS(lineModel.value(number), values, 1e-5, 0.0);

        if (report && s == 0) {
            QString table = QStringLiteral("recovered model at station 0 (%1 A):\n  depth m  rho ohm-m\n").arg(current);
            for (int j = 0; j < depths.size(); ++j) {
                const double d = -depths[j];
                if (d >= 5.0 && d <= 400.0 && (j % 4 == 0))
                    table += QString("  %1  %2\n").arg(d, 7, 'f', 1).arg(values[j], 8, 'f', 2);
            }
            qInfo("%s", qPrintable(table));
        }
    }
    model.closeProject();
}

void TestLineStationAgreement::surferGridOfTheSection()
{
    // Stations with elevations: the section has cells above the ground.
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 8;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    const QString file = generate(o, "grid.QELVA");
    QVERIFY(!file.isEmpty());
    LibHORM lib;
    DataModel model;
    QVERIFY(open(file, lib, model));

    QSignalSpy range(&model, SIGNAL(signal_StaticResistivity(float, float)));
    model.showTreeNode(0, -1, -1);
    QCOMPARE(range.size(), 1);
    // The colour scale's minimum is a resistivity, not the marker.
    QVERIFY2(range.first().at(0).toFloat() > 1.0f, qPrintable(QString::number(range.first().at(0).toFloat())));

    const QString folder = m_dir.filePath("grid");
    QVERIFY(QDir().mkpath(folder));
    model.export2DResults(folder + "/section.2d.dat");
    QFile grd(folder + "/section.grd");
    QVERIFY(grd.open(QIODevice::ReadOnly | QIODevice::Text));
    QTextStream in(&grd);
    QCOMPARE(in.readLine(), QString("DSAA"));
    const QStringList size = in.readLine().split(' ');
    const int nx = size.at(0).toInt();
    const int ny = size.at(1).toInt();
    in.readLine();
    in.readLine();
    const QStringList z = in.readLine().split(' ');
    const double zmin = z.at(0).toDouble();
    QVERIFY2(zmin > 1.0, qPrintable(z.join(' ')));
    int blanks = 0;
    for (int r = 0; r < ny; ++r) {
        const QStringList cells = in.readLine().split(' ', Qt::SkipEmptyParts);
        QCOMPARE(cells.size(), nx);
        for (const QString& c : cells) {
            const double v = c.toDouble();
            if (v > 1e38) {
                ++blanks;
                continue;
            }
            QVERIFY2(v >= zmin * 0.99999 && v <= z.at(1).toDouble() * 1.00001, qPrintable(c));
        }
    }
    QVERIFY(blanks > 0);
    model.closeProject();
}

// The line's section over 100 ohm-m on 10 ohm-m from 50 m: resistive
// above, the conductor from about 50 m down at every station.
void TestLineStationAgreement::sectionShowsTheConductorAtItsDepth()
{
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 6;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    o.backgroundLayers = {100.0, 10.0};
    o.backgroundThicknesses = {50.0};
    o.zoneFrom = o.zoneTo = 1e6;   // no zone under the line
    o.coordinates = false;
    const QString file = generate(o, "section.QELVA");
    QVERIFY(!file.isEmpty());
    LibHORM lib;
    DataModel model;
    QVERIFY(open(file, lib, model));

    QList<DataType_ResultData> section;
    connect(&model, &DataModel::signal_2DISOGraphChanged, this,
            [&section](QList<DataType_ResultData>& grid, QVector<TopoData>, double, QMap<float, QColor>, int, bool) {
                section = grid;
            });
    model.showTreeNode(0, -1, -1);
    QCOMPARE(section.size(), o.stationsPerLine);
    for (const DataType_ResultData& column : section) {
        // Levels are elevations from the ground (the first level) down.
        const double ground = column.depth.first();
        double top = -1.0;
        for (int k = 0; k < column.depth.size(); ++k) {
            if (column.value[k] > 1e-10 && column.value[k] < std::sqrt(100.0 * 10.0)) {
                top = ground - column.depth[k];
                break;
            }
        }
        QVERIFY2(top > 40.0 && top < 60.0, qPrintable(QString("station %1: conductor from %2 m").arg(column.x).arg(top)));
        for (int k = 0; k < column.depth.size(); ++k) {
            const double depth = ground - column.depth[k];
            if (depth > 10.0 && depth < 30.0)
                QVERIFY2(column.value[k] > 50.0, qPrintable(QString("%1 ohm-m at %2 m").arg(column.value[k]).arg(depth)));
            if (depth > 70.0 && depth < 100.0)
                QVERIFY2(column.value[k] < 20.0, qPrintable(QString("%1 ohm-m at %2 m").arg(column.value[k]).arg(depth)));
        }
    }
    model.closeProject();
}

// The project's coil set-up goes to the line's inversions and to the
// station view; a closed project leaves the library's defaults.
void TestLineStationAgreement::projectLoopReachesTheInversions()
{
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 3;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    o.zoneResistivity = 100.0;
    // A 20 m x 15.7 m loop of 2 turns (the circle of 10 m radius), a 50 m^2
    // receiver.
    const QString file = generate(o, "loop.QELVA",
                                  QStringLiteral("UPDATE Data_Project SET SendCoil_Len = 20, SendCoil_Width = %1, "
                                                 "SendCoil_Turns = 2, RecvCoil_Size = 50")
                                      .arg(M_PI * 100.0 / 20.0, 0, 'g', 17));
    QVERIFY(!file.isEmpty());
    LibHORM lib;
    DataModel model;
    QSignalSpy survey(&model, SIGNAL(signal_SurveyChanged(double, double, double)));
    QVERIFY(open(file, lib, model));
    QCOMPARE(survey.size(), 1);
    HW_COMPARE_NEAR(survey.first().at(0).toDouble(), 10.0, 1e-12);
    QCOMPARE(survey.first().at(1).toDouble(), 2.0);
    QCOMPARE(survey.first().at(2).toDouble(), 50.0);

    // The line view inverts with that loop: as the library given it does.
    model.showTreeNode(0, -1, -1);
    const QVector<double> lineModel = exportedLineModel(model, "loop.1d.dat").value(0.0);
    QSignalSpy station(&model, SIGNAL(signal_StationChanged(QString, QVector<double>, QVector<double>, double, double, double)));
    model.showTreeNode(0, 0, -1);
    QCOMPARE(station.size(), 1);
    const QList<QVariant> args = station.first();
    InversionMethod::Survey s;
    s.loopRadius = survey.first().at(0).toDouble();
    s.transmitterTurns = 2.0;
    s.receiverArea = 50.0;
    InversionMethod library;
    library.setSurvey(s);
    QVector<double> values, depths;
    library.pointCompute(args.at(1).value<QVector<double> >(), args.at(2).value<QVector<double> >(),
                         args.at(3).toDouble(), values, depths, args.at(4).toDouble(), args.at(5).toDouble());
    HW_COMPARE_VECTORS(lineModel, values, 1e-5, 0.0);
    QVector<double> plain;
    InversionMethod().pointCompute(args.at(1).value<QVector<double> >(), args.at(2).value<QVector<double> >(),
                                   args.at(3).toDouble(), plain, depths, args.at(4).toDouble(), args.at(5).toDouble());
    QVERIFY(plain != values);

    model.closeProject();
    QCOMPARE(survey.size(), 2);
    QCOMPARE(survey.last().at(0).toDouble(), InversionMethod::kLoopRadius);
    QCOMPARE(survey.last().at(1).toDouble(), 1.0);
    QCOMPARE(survey.last().at(2).toDouble(), InversionMethod::kReceiverArea);
}

void TestLineStationAgreement::lineMethodsReadTheProjectLoop_data()
{
    QTest::addColumn<bool>("threeD");
    QTest::newRow("profile") << false;
    QTest::newRow("3D") << true;
}

// Curves of a 10 m loop of 2 turns with a 50 m^2 receiver over 100 ohm-m:
// the line's profile inversion and the survey's 3D inversion read 100 ohm-m
// from them; taken for the default 20 m loop, they would read some 250.
void TestLineStationAgreement::lineMethodsReadTheProjectLoop()
{
    QFETCH(bool, threeD);
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 6;
    o.samplesPerStation = 1;
    o.sampleLength = 2000;
    o.zoneResistivity = o.backgroundResistivity;   // no zone: one half-space
    const QString file = generateUnderLoop(o, threeD ? "small_loop_3d.QELVA" : "small_loop_profile.QELVA",
                                           10.0, 2.0, 50.0);
    QVERIFY(!file.isEmpty());
    LibHORM lib;
    DataModel model;
    QVERIFY(open(file, lib, model));

    // Every cell the method gives down to the inversion depth.
    QVector<double> cells;
    if (threeD) {
        QList<double> numbers;
        const QList<DataType_ThreeResultData> columns = model.calcTransRelax3D(numbers);
        QCOMPARE(columns.size(), o.lines * o.stationsPerLine);
        for (const DataType_ThreeResultData& column : columns)
            cells += column.value;
    } else {
        QList<DataType_ResultData> section;
        connect(&model, &DataModel::signal_2DISOGraphChanged, this,
                [&section](QList<DataType_ResultData>& grid, QVector<TopoData>, double, QMap<float, QColor>, int,
                           bool) { section = grid; });
        model.on_signal_TransRelaxInversionMethodChanged(2);
        model.showTreeNode(0, -1, -1);
        QCOMPARE(section.size(), o.stationsPerLine);
        for (const DataType_ResultData& column : section) {
            for (double v : column.value) {
                if (v > ModelFiles::kNoValueLimit)
                    cells.append(v);
            }
        }
    }
    QVERIFY(!cells.isEmpty());
    const auto range = std::minmax_element(cells.cbegin(), cells.cend());
    QVERIFY2(*range.first > 0.9 * o.backgroundResistivity && *range.second < 1.1 * o.backgroundResistivity,
             qPrintable(QString("%1 .. %2 ohm-m").arg(*range.first).arg(*range.second)));
    model.closeProject();
}

QTEST_MAIN(TestLineStationAgreement)
#include "tst_line_station_agreement.moc"
