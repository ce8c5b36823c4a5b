// On a generated two-layer project (100 ohm-m over 10 ohm-m at 50 m), the
// line view's station-by-station inversion (as the 1D export writes it) and
// the station view's inversion (the station's curve with its own measured
// current, as the 1D view inverts it) give the same model at every station,
// whatever current the survey ran at.

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <cmath>
#include <memory>

#include "common/TestHelpers.h"
#include "model/DataModel.h"
#include "model/UserPrompt.h"
#include "platform/inversion/InversionMethod.h"
#include "store/LibHORM.h"
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

private:
    QTemporaryDir m_dir;
};

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
    const QString file = m_dir.filePath(QString("two_layer_%1.QELVA").arg(current));
    QString error;
    QVERIFY2(ProjectGenerator(o).write(file, &error), qPrintable(error));
    QVERIFY(dmtest::loadOnce(file));

    LibHORM lib;
    QVERIFY(lib.open(file));
    DataModel model;
    model.setFileSuffix("QELVA");
    model.loadProject(&lib);
    QVERIFY(model.isProjectOpen());

    // The line view, exported.
    model.showTreeNode(0, -1, -1);
    const QString exported = m_dir.filePath(QString("two_layer_%1.1d.dat").arg(current));
    model.export1DResults(exported);
    QFile f(exported);
    QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
    QTextStream in(&f);
    in.readLine();   // header
    QMap<double, QVector<double> > lineModel;
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(',');
        if (parts.size() < 3)
            continue;
        lineModel[parts.first().toDouble()].append(parts.last().toDouble());
    }
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
    const QString file = m_dir.filePath("grid.QELVA");
    QString error;
    QVERIFY2(ProjectGenerator(o).write(file, &error), qPrintable(error));
    QVERIFY(dmtest::loadOnce(file));
    LibHORM lib;
    QVERIFY(lib.open(file));
    DataModel model;
    model.setFileSuffix("QELVA");
    model.loadProject(&lib);

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

QTEST_MAIN(TestLineStationAgreement)
#include "tst_line_station_agreement.moc"
