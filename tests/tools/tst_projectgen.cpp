// The synthetic project generator: what it writes, and its round trip
// through the project loading.
//
// Round-trip tolerance. Loading turns a sample taken at decay time tau into
// one at the time trunc(ceil(tau) / 1.6) x 1.6, which lies in [tau - 1.6,
// tau + 1) us; it smooths with 3-point means (samples 11 to 100) and 5-point
// means (from 101), which reach 20 us; and it averages every sample whose
// time lies in a gate's window [lo, hi) (midpoints to the neighbouring
// table entries; the last gate takes everything to the record's end). A
// gate's stored value is therefore a mean of the model over decay times in
// (lo - 1 - r, hi + 1.6 + r], r = 20 us once smoothing applies, and, the
// model falling with time, must lie between the model at the two ends of
// that span ("bracket"). With 10 us sampling the early gates hold one or two
// samples off their centres, so this bracket is all they promise (up to
// 15 % from the centre value at 30 us). Where gates hold many samples the
// mean sits close to the centre: from 1 ms on every gate must match the
// model at its centre within 1.5 % on the 20-per-decade parts and 1 % on the
// 30-per-decade parts (the window's asymmetry about a geometric centre gives
// about -0.8 %, the 1.6 us grid about -0.2 %, the discrete samples the
// rest). Two 18-window gates are exempt from the tight check and keep the
// bracket: the 10 ms gate, where the table changes from 20 to 30 per decade
// and its window is lopsided (+2 %), and the last gate, whose window runs
// to the end of the record (+4 %).

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "common/TestHelpers.h"
#include "model/DataModel.h"
#include "platform/inversion/InversionMethod.h"
#include "store/CurveBlob.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/Data_Project.h"
#include "store/Data_Sample.h"
#include "store/Data_WorkSet.h"
#include "store/HORM_Collection.h"
#include "store/LibHORM.h"
#include "tools/projectgen/ProjectGenerator.h"

namespace {

// 10^(k/n) for k in [k0, k1], rounded to the given significant digits, as
// the instrument's time tables hold them.
void appendDecade(QVector<double>& table, int n, int k0, int k1, int digits)
{
    for (int k = k0; k <= k1; ++k)
        table.append(QString::number(std::pow(10.0, double(k) / n), 'g', digits).toDouble());
}

QVector<double> table18()
{
    QVector<double> t;
    appendDecade(t, 10, 10, 18, 7);
    t << 82.54042 << 90.85176;
    appendDecade(t, 19, 38, 57, 7);
    appendDecade(t, 20, 61, 80, 7);
    appendDecade(t, 30, 121, 180, 6);
    appendDecade(t, 10, 61, 66, 7);
    return t;
}

QVector<double> table20()
{
    QVector<double> t;
    appendDecade(t, 20, 20, 120, 7);
    return t;
}

QVector<double> table30()
{
    QVector<double> t;
    appendDecade(t, 30, 30, 180, 6);
    return t;
}

int indexIn(const QVector<double>& table, double t)
{
    for (int i = 0; i < table.size(); ++i) {
        if (std::fabs(table[i] - t) <= 1e-6 * t)
            return i;
    }
    return -1;
}

struct Scheme {
    const char* name;
    QVector<double> table;
    // Gates exempt from the tight check besides the last.
    QVector<double> lopsided;
    // From this time on the table has 30 gates per decade.
    double denseFrom;
};

// Checks one stored scheme of one station against the model; returns the
// largest relative deviation at or after 1 ms through maxLate.
void checkScheme(const ProjectGenerator& gen, double rho, const Scheme& scheme,
                 const QVector<double>& times, const QVector<double>& values,
                 double recordEnd, const QString& where, double* maxLate)
{
    QVERIFY2(!times.isEmpty(), qPrintable(where + ": no gates"));
    QCOMPARE(values.size(), times.size());
    for (int i = 0; i < times.size(); ++i) {
        const double g = times[i];
        const int k = indexIn(scheme.table, g);
        QVERIFY2(k >= 0, qPrintable(QString("%1: %2 us is no gate of the %3 table").arg(where).arg(g).arg(scheme.name)));
        if (i > 0)
            QVERIFY(g > times[i - 1]);
        const bool last = i == times.size() - 1;
        const double lo = k > 0 ? 0.5 * (scheme.table[k - 1] + g) : 10.0;
        const double hi = last ? recordEnd : 0.5 * (scheme.table[k + 1] + g);
        // Smoothing starts 120 us after the turn-off (the 12th sample); a
        // MORSA decay starts 220 us after it.
        const double reach = lo + gen.timeZero() - gen.turnOffTime() > 100.0 ? 20.0 : 0.0;
        const double upper = gen.modelResponse(std::max(lo - 1.0 - reach, 1.0), rho);
        const double lower = gen.modelResponse(hi + 1.6 + reach, rho);
        const double v = values[i];
        QVERIFY2(std::isfinite(v) && v >= lower * 0.995 && v <= upper * 1.005,
                 qPrintable(QString("%1 %2 gate %3 us: %4 outside [%5, %6]")
                                .arg(where, scheme.name).arg(g).arg(v).arg(lower).arg(upper)));

        if (g < 1000.0 || last || scheme.lopsided.contains(g))
            continue;
        const double model = gen.modelResponse(g, rho);
        const double deviation = std::fabs(v / model - 1.0);
        const double tolerance = g >= scheme.denseFrom ? 0.010 : 0.015;
        if (maxLate)
            *maxLate = std::max(*maxLate, deviation);
        QVERIFY2(deviation <= tolerance,
                 qPrintable(QString("%1 %2 gate %3 us: %4 vs model %5 (%6 %, tolerance %7 %)")
                                .arg(where, scheme.name).arg(g).arg(v).arg(model)
                                .arg(100.0 * deviation).arg(100.0 * tolerance)));
    }
}

void registerAll(LibHORM& lib)
{
    lib.RegisterObject(Data_Project::staticMetaObject);
    lib.RegisterObject(Data_Line::staticMetaObject);
    lib.RegisterObject(Data_Point::staticMetaObject);
    lib.RegisterObject(Data_Sample::staticMetaObject);
    lib.RegisterObject(Data_WorkSet::staticMetaObject);
}

} // namespace

class TestProjectGenerator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void fileContent_data();
    void fileContent();
    void earthModel();
    void layeredEarthModel();
    void sendAndTurnOffRecords_data();
    void sendAndTurnOffRecords();
    void refusals_data();
    void refusals();
    void existingFileIsKept();

    void roundTrip_data();
    void roundTrip();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestProjectGenerator::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestProjectGenerator::fileContent_data()
{
    QTest::addColumn<bool>("coordinates");
    QTest::addColumn<QString>("family");
    QTest::newRow("QELVA with coordinates") << true << "QELVA";
    QTest::newRow("MORSA without coordinates") << false << "MORSA";
}

void TestProjectGenerator::fileContent()
{
    QFETCH(bool, coordinates);
    QFETCH(QString, family);

    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 4;
    o.samplesPerStation = 2;
    o.sampleLength = 300;
    o.firstLine = 7.0;
    o.lineStep = 2.0;
    o.firstStation = 100.0;
    o.stationSpacing = 25.0;
    o.coordinates = coordinates;
    o.family = family;
    const ProjectGenerator gen(o);
    const QString file = path(QString("content_%1.%2").arg(coordinates).arg(family));
    QString error;
    QVERIFY2(gen.write(file, &error), qPrintable(error));

    LibHORM lib;
    QVERIFY(lib.open(file));
    registerAll(lib);
    HORM_Collection<Data_Project> projects(&lib);
    QCOMPARE(projects.size(), 1);
    QCOMPARE(projects.at(0).value()->OffTime(), gen.turnOffTime());
    HORM_Collection<Data_WorkSet> workSets(&lib);
    QCOMPARE(workSets.size(), 1);
    const int workSetId = workSets.at(0).value()->ID();

    HORM_Collection<Data_Line> lines(&lib);
    lines.setOrderBy("NAME");
    QCOMPARE(lines.size(), 2);
    for (int l = 0; l < lines.size(); ++l) {
        Data_Line* line = lines.at(l).value();
        QCOMPARE(line->NAME(), 7.0 + 2.0 * l);
        QCOMPARE(line->USE(), 1);
        QCOMPARE(line->TYPE(), 0);
        HORM_Collection<Data_Point>* points = line->REF_Data_Point();
        points->setOrderBy("NAME");
        QCOMPARE(points->size(), 4);
        for (int s = 0; s < points->size(); ++s) {
            Data_Point* point = points->at(s).value();
            const double station = 100.0 + 25.0 * s;
            QCOMPARE(point->NAME(), station);
            QCOMPARE(point->USE(), 1);
            QCOMPARE(point->TYPE(), 0);
            QVERIFY(point->IsSampled() != 1);
            if (coordinates) {
                QCOMPARE(point->HasZCoord(), 1);
                QCOMPARE(point->XCoord(), o.originX + station);
                QCOMPARE(point->YCoord(), o.originY + l * o.lineSpacing);
                QVERIFY(std::fabs(point->ZCoord() - o.elevation) < 20.0);
            } else {
                QCOMPARE(point->HasZCoord(), -1);
                QCOMPARE(point->XCoord(), 0.0);
            }

            const double rho = gen.resistivity(line->NAME(), station);
            HORM_Collection<Data_Sample>* samples = point->REF_Data_Sample();
            QCOMPARE(samples->size(), 2);
            for (int k = 0; k < samples->size(); ++k) {
                Data_Sample* sample = samples->at(k).value();
                sample->update();
                QCOMPARE(sample->USE(), 1);
                QCOMPARE(sample->DeviceType(), 2);
                QCOMPARE(sample->Data_WorkSetID(), workSetId);
                QCOMPARE(sample->SampleOffFs(), ProjectGenerator::kTurnOffRate);
                QCOMPARE(sample->offTime(), gen.turnOffTime());
                HW_COMPARE_NEAR(sample->sendCurrent(), o.current, 1e-12);

                QVector<double> values, times;
                sample->unpackRecv(values, times, false);
                QCOMPARE(values.size(), 300);
                QCOMPARE(times.last(), 3000.0);
                // Receiver gain 11 times the model voltage at the decay time.
                for (int i = 0; i < values.size(); ++i) {
                    const double decay = times[i] - gen.timeZero();
                    if (decay < ProjectGenerator::kSampleInterval)
                        continue;
                    // The half-space's closed form for the generator's loop and coil.
                    const double expected = -ProjectGenerator::kReceiverArea
                        * InversionMethod::halfSpaceDBzDt(decay * 1e-6, rho, o.current, ProjectGenerator::kLoopRadius);
                    HW_COMPARE_NEAR(values[i] / 11.0, expected, 1e-6);
                }
            }
        }
    }
    QCOMPARE(gen.timeZero() - gen.turnOffTime(), family == "MORSA" ? 220.0 : 0.0);
}

void TestProjectGenerator::earthModel()
{
    ProjectGenerator::Options o;
    o.lines = 3;
    o.stationsPerLine = 31;          // stations 0 .. 600, zone 200 .. 400
    o.zoneFirstLine = 110.0;
    o.zoneLastLine = 110.0;
    const ProjectGenerator gen(o);

    HW_COMPARE_NEAR(gen.resistivity(110.0, 300.0), 10.0, 1e-12);
    HW_COMPARE_NEAR(gen.resistivity(110.0, 0.0), 100.0, 1e-12);
    HW_COMPARE_NEAR(gen.resistivity(110.0, 600.0), 100.0, 1e-12);
    // At the zone's edge the taper is half-way in log resistivity.
    HW_COMPARE_NEAR(gen.resistivity(110.0, 200.0), std::sqrt(10.0 * 100.0), 1e-12);
    HW_COMPARE_NEAR(gen.resistivity(100.0, 300.0), 100.0, 1e-12);
    HW_COMPARE_NEAR(gen.resistivity(120.0, 300.0), 100.0, 1e-12);

    // The conductive zone shows in the records: a conductor decays slower,
    // so its late voltage is larger.
    const QVector<double> conductive = gen.receiveRecord(10.0);
    const QVector<double> resistive = gen.receiveRecord(100.0);
    QVERIFY(conductive.last() > 10.0 * resistive.last());

    o.resistivity = [](double line, double station) { return line + station; };
    QCOMPARE(ProjectGenerator(o).resistivity(100.0, 40.0), 140.0);
}

void TestProjectGenerator::layeredEarthModel()
{
    // 100 ohm-m over 10 ohm-m at 50 m, and a zone between 20 and 80 m.
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 31;          // stations 0 .. 600, zone 200 .. 400
    o.backgroundLayers = {100.0, 10.0};
    o.backgroundThicknesses = {50.0};
    o.zoneResistivity = 1.0;
    o.zoneTop = 20.0;
    o.zoneBottom = 80.0;
    const ProjectGenerator gen(o);
    QVERIFY(gen.validate());

    const ProjectGenerator::EarthColumn outside = gen.column(100.0, 0.0);
    QCOMPARE(outside.resistivities, (QVector<double>{100.0, 10.0}));
    QCOMPARE(outside.thicknesses, QVector<double>{50.0});
    // Inside, the layers are cut at 20 and 80 m and the zone replaces them.
    const ProjectGenerator::EarthColumn inside = gen.column(100.0, 300.0);
    QCOMPARE(inside.thicknesses, (QVector<double>{20.0, 30.0, 30.0}));
    QCOMPARE(inside.resistivities, (QVector<double>{100.0, 1.0, 1.0, 10.0}));
    // At the zone's edge, half-way in log resistivity.
    const ProjectGenerator::EarthColumn edge = gen.column(100.0, 200.0);
    HW_COMPARE_NEAR(edge.resistivities[1], 10.0, 1e-12);
    HW_COMPARE_NEAR(edge.resistivities[2], std::sqrt(10.0), 1e-12);
    QCOMPARE(gen.resistivity(100.0, 300.0), 100.0);

    // The records follow the columns: the buried conductor raises the late
    // voltage.
    const QVector<double> zone = gen.receiveRecord(inside);
    const QVector<double> background = gen.receiveRecord(outside);
    QVERIFY(zone.last() > 2.0 * background.last());
    // Two layers are no half-space of either resistivity.
    QVERIFY(gen.modelResponse(1000.0, outside) > 1.5 * gen.modelResponse(1000.0, 100.0));
    QVERIFY(gen.modelResponse(1000.0, outside) < 0.8 * gen.modelResponse(1000.0, 10.0));

    // Layers that do not fit are refused.
    ProjectGenerator::Options bad = o;
    bad.backgroundThicknesses.clear();
    QString error;
    QVERIFY(!ProjectGenerator(bad).validate(&error));
    QVERIFY(!error.isEmpty());
    bad = o;
    bad.zoneBottom = 10.0;
    QVERIFY(!ProjectGenerator(bad).validate(&error));
}

void TestProjectGenerator::sendAndTurnOffRecords_data()
{
    QTest::addColumn<double>("current");
    QTest::addColumn<int>("length");
    QTest::newRow("10 A, 40 ms") << 10.0 << 4000;
    QTest::newRow("2.5 A, 2 ms") << 2.5 << 200;
    QTest::newRow("40 A, 20 ms") << 40.0 << 2000;
}

void TestProjectGenerator::sendAndTurnOffRecords()
{
    QFETCH(double, current);
    QFETCH(int, length);
    ProjectGenerator::Options o;
    o.current = current;
    o.sampleLength = length;
    const ProjectGenerator gen(o);

    // The station formula on the send record gives the current.
    const QVector<double> s = gen.sendRecord();
    const int n = s.size();
    QCOMPARE(n % 8, 0);
    double sum = 0.0;
    for (int i = n / 8; i < n / 4; ++i)
        sum += std::fabs(s[i] - s[i + n / 2]) * 0.5;
    HW_COMPARE_NEAR(sum / (n / 8), current, 1e-12);
    // Bipolar: as much negative as positive current.
    double net = 0.0;
    for (double v : s)
        net += v;
    QVERIFY(std::fabs(net) < 1e-9 * current * n);

    // The turn-off lies after the ramp, on the receiver's 10 us clock, and
    // not in the range that the loading replaces by 64.5.
    const double off = gen.turnOffTime();
    QVERIFY2(off >= 30.0 && off <= 150.0, qPrintable(QString::number(off)));
    QCOMPARE(std::fmod(off, 10.0), 0.0);
    const QVector<double> r = gen.turnOffRecord();
    QCOMPARE(r.first(), current);
    QCOMPARE(r[int(off)], 0.0);

    // The off-time of the send cycle holds the whole receive record.
    QVERIFY(0.25 / gen.sendFrequency() >= (gen.timeZero() + 10.0 * length) * 1e-6);
}

void TestProjectGenerator::refusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("lines");
    QTest::addColumn<double>("current");
    QTest::addColumn<double>("spacing");
    QTest::addColumn<double>("background");
    QTest::newRow("suffix of the other family") << "wrong.MORSA" << 1 << 10.0 << 20.0 << 100.0;
    QTest::newRow("unknown suffix") << "wrong.db" << 1 << 10.0 << 20.0 << 100.0;
    QTest::newRow("no lines") << "nolines.QELVA" << 0 << 10.0 << 20.0 << 100.0;
    QTest::newRow("no current") << "nocurrent.QELVA" << 1 << 0.0 << 20.0 << 100.0;
    QTest::newRow("NaN spacing") << "nanspacing.QELVA" << 1 << 10.0 << qQNaN() << 100.0;
    QTest::newRow("negative resistivity") << "negative.QELVA" << 1 << 10.0 << 20.0 << -5.0;
    QTest::newRow("missing folder") << "nofolder/missing.QELVA" << 1 << 10.0 << 20.0 << 100.0;
}

void TestProjectGenerator::refusals()
{
    QFETCH(QString, name);
    QFETCH(int, lines);
    QFETCH(double, current);
    QFETCH(double, spacing);
    QFETCH(double, background);
    ProjectGenerator::Options o;
    o.lines = lines;
    o.current = current;
    o.stationSpacing = spacing;
    o.backgroundResistivity = background;
    QString error;
    QVERIFY(!ProjectGenerator(o).write(path(name), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(path(name)));
}

void TestProjectGenerator::existingFileIsKept()
{
    const QString file = path("existing.QELVA");
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    QString error;
    QVERIFY(!ProjectGenerator().write(file, &error));
    QVERIFY(error.contains("exists"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious"));
}

void TestProjectGenerator::roundTrip_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("current");
    QTest::newRow("QELVA") << "QELVA" << 10.0;
    QTest::newRow("QELVA 4 A") << "QELVA" << 4.0;
    QTest::newRow("MORSA") << "MORSA" << 10.0;
}

void TestProjectGenerator::roundTrip()
{
    QFETCH(QString, family);
    QFETCH(double, current);

    // One line across a conductive zone: 300, 100, 30, 10 ohm-m and back.
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 7;
    o.samplesPerStation = 3;
    o.sampleLength = 4000;
    o.family = family;
    o.current = current;
    const double rhos[] = {300.0, 100.0, 30.0, 10.0, 30.0, 100.0, 300.0};
    o.resistivity = [&rhos](double, double station) { return rhos[int(std::lround(station / 20.0))]; };
    const ProjectGenerator gen(o);
    const QString file = path(QString("roundtrip_%1_%2.%3").arg(family).arg(current).arg(family));
    QString error;
    QVERIFY2(gen.write(file, &error), qPrintable(error));

    LibHORM lib;
    QVERIFY(lib.open(file));
    {
        DataModel model;
        model.setFileSuffix(family);
        model.loadProject(&lib);
        QCOMPARE(model.rowCount(), 1);
        model.closeProject();
    }

    // The stored decay ends where the record does, less the turn-off (and
    // the MORSA delay).
    const double recordEnd = 10.0 * o.sampleLength - gen.timeZero();
    const bool morsa = family == "MORSA";
    const Scheme qv18{"QV18", table18(), {10000.0}, 10000.0};
    const Scheme log10{"LOG10", table30(), {}, 0.0};
    const Scheme log20{"LOG20", table20(), {}, qInf()};

    HORM_Collection<Data_Line> lines(&lib);
    QCOMPARE(lines.size(), 1);
    HORM_Collection<Data_Point>* points = lines.at(0).value()->REF_Data_Point();
    points->setOrderBy("NAME");
    QCOMPARE(points->size(), 7);
    double maxLate = 0.0;
    for (int s = 0; s < points->size(); ++s) {
        Data_Point* point = points->at(s).value();
        const double rho = rhos[s];
        const QString where = QString("station %1 (%2 ohm-m)").arg(point->NAME()).arg(rho);
        QCOMPARE(point->IsSampled(), 1);
        QCOMPARE(point->DATA_RECV_QV18RAW(), point->DATA_RECV_QV18());
        QCOMPARE(point->DATA_RECV_LOG10RAW(), point->DATA_RECV_LOG10());
        QCOMPARE(point->DATA_RECV_LOG20RAW(), point->DATA_RECV_LOG20());

        // The MORSA blend of the 18-window curve is the loading's own; the
        // other two schemes show the generated decay for both families.
        if (!morsa) {
            checkScheme(gen, rho, qv18, CurveBlob::fromBlob(point->DATA_TIMERECV_QV18()),
                        CurveBlob::fromBlob(point->DATA_RECV_QV18()), recordEnd, where, &maxLate);
        } else {
            const QVector<double> t18 = CurveBlob::fromBlob(point->DATA_TIMERECV_QV18());
            QVERIFY(!t18.isEmpty());
            QVERIFY(indexIn(qv18.table, t18.first()) >= 0);
        }
        checkScheme(gen, rho, log10, CurveBlob::fromBlob(point->DATA_TIMERECV_LOG10()),
                    CurveBlob::fromBlob(point->DATA_RECV_LOG10()), recordEnd, where, &maxLate);
        checkScheme(gen, rho, log20, CurveBlob::fromBlob(point->DATA_TIMERECV_LOG20()),
                    CurveBlob::fromBlob(point->DATA_RECV_LOG20()), recordEnd, where, &maxLate);
        if (QTest::currentTestFailed())
            return;

        // The 18-window curve reaches past 10 ms and starts within the
        // first 100 us.
        const QVector<double> t18 = CurveBlob::fromBlob(point->DATA_TIMERECV_QV18());
        QVERIFY(t18.first() < 100.0);
        QVERIFY(t18.last() > 10000.0);
    }
    qInfo("largest deviation from the model at or after 1 ms: %.2f %%", 100.0 * maxLate);
}

QTEST_MAIN(TestProjectGenerator)
#include "tst_projectgen.moc"
