#include <QtTest>

#include <cmath>
#include <memory>

#include "StoreFixture.h"
#include "common/TestHelpers.h"
#include "store/CurveBlob.h"

using namespace storetest;

namespace {

const QVector<double> kTimes{10, 20, 30, 40, 50};

// A recognisable gate value: which station (tag) and which gate time it
// belongs to, with alternating sign so that absolute values show.
double gateValue(double tag, double t, int index)
{
    return (index % 2 ? -1.0 : 1.0) * (tag * 1000.0 + t);
}

QVector<double> responseFor(double tag, const QVector<double>& times)
{
    QVector<double> r;
    for (int i = 0; i < times.size(); ++i)
        r << gateValue(tag, times.at(i), i);
    return r;
}

struct StationSpec {
    double name = 100.0;
    int use = 1;
    int type = 0;
    // Per scheme: gate times and response (empty response: none stored).
    QVector<double> times[3];
    QVector<double> response[3];
    // Raw columns; empty: the same as the response.
    QVector<double> raw[3];
    int hasZ = -1;
    double x = 0.0, y = 0.0, z = 0.0;
    // One sample per entry with that turn-off time (0: a sample without a
    // usable turn-off record).
    QVector<double> offs;
};

// A station with the same gates on all three schemes; tag marks its values
// (scheme s adds s * 100000 to it).
StationSpec station(double name, const QVector<double>& times = kTimes, double tag = -1.0)
{
    StationSpec s;
    s.name = name;
    if (tag < 0)
        tag = name;
    for (int k = 0; k < 3; ++k) {
        s.times[k] = times;
        s.response[k] = responseFor(tag + k * 100000.0, times);
    }
    return s;
}

// One project with one line built through the store; line() hands out the
// line as loading would, from a fresh collection.
class LineFixture
{
public:
    explicit LineFixture(const QList<StationSpec>& specs, double lineName = 3.0, int lineType = 0)
    {
        HORM_Collection<Data_Line> lines(m_project.lib.get());
        Data_Line* line = lines.addNew().value();
        line->setNAME(lineName);
        line->setTYPE(lineType);
        line->setUSE(1);
        line->commit();
        m_lineId = line->ID();
        HORM_Collection<Data_Point>* points = line->REF_Data_Point();
        for (const StationSpec& spec : specs) {
            Data_Point* p = points->addNew().value();
            p->setNAME(spec.name);
            p->setUSE(spec.use);
            p->setTYPE(spec.type);
            p->setIsSampled(1);
            p->setDATA_TIMERECV_QV18(CurveBlob::toBlob(spec.times[0]));
            p->setDATA_RECV_QV18(CurveBlob::toBlob(spec.response[0]));
            p->setDATA_RECV_QV18RAW(CurveBlob::toBlob(spec.raw[0].isEmpty() ? spec.response[0] : spec.raw[0]));
            p->setDATA_TIMERECV_LOG10(CurveBlob::toBlob(spec.times[1]));
            p->setDATA_RECV_LOG10(CurveBlob::toBlob(spec.response[1]));
            p->setDATA_RECV_LOG10RAW(CurveBlob::toBlob(spec.raw[1].isEmpty() ? spec.response[1] : spec.raw[1]));
            p->setDATA_TIMERECV_LOG20(CurveBlob::toBlob(spec.times[2]));
            p->setDATA_RECV_LOG20(CurveBlob::toBlob(spec.response[2]));
            p->setDATA_RECV_LOG20RAW(CurveBlob::toBlob(spec.raw[2].isEmpty() ? spec.response[2] : spec.raw[2]));
            p->setHasZCoord(spec.hasZ);
            p->setXCoord(spec.x);
            p->setYCoord(spec.y);
            p->setZCoord(spec.z);
            p->commit();
            for (double off : spec.offs) {
                Data_Sample* s = p->REF_Data_Sample()->addNew().value();
                s->setUSE(1);
                // A flat turn-off record settles at once: 2 samples in.
                s->setDATA_SOFF(CurveBlob::toBlob(QVector<double>(10, 0.0)));
                s->setSampleOffFs(off > 0.0 ? 2e6 / off : 0.0);
                s->commit();
            }
        }
    }

    Data_Line* line()
    {
        m_lines.reset(new HORM_Collection<Data_Line>(m_project.lib.get()));
        for (int i = 0; i < m_lines->size(); ++i) {
            Data_Line* l = m_lines->at(i).value();
            if (l && l->ID() == m_lineId)
                return l;
        }
        return nullptr;
    }
    LibHORM* lib() { return m_project.lib.get(); }

private:
    OpenProject m_project;
    int m_lineId = -1;
    std::unique_ptr<HORM_Collection<Data_Line>> m_lines;
};

InvParam wideWindow()
{
    InvParam p;
    p.timeWindowStart = 0.0;
    p.timeWindowEnd = 4e6;
    return p;
}

// The outputs, pre-filled with marks that show whether anything was written.
struct Outputs {
    QVector<QVector<double>> curves{{-7.0}};
    QVector<double> times{-7.0};
    QVector<double> stations{-7.0};
    QVector<double> offTimes{-7.0};
    QVector<GPSCoordinate> coordinates{GPSCoordinate{-7, -7, -7, -7, -7}};

    bool untouched() const
    {
        return curves == QVector<QVector<double>>{{-7.0}} && times == QVector<double>{-7.0}
            && stations == QVector<double>{-7.0} && offTimes == QVector<double>{-7.0}
            && coordinates.size() == 1 && coordinates.at(0).lineNo == -7.0f;
    }
};

Outputs run(Data_Line* line, const InvParam& param, bool transpose, int scheme, int first, int last)
{
    Outputs o;
    line->getLineData(param, &o.curves, &o.times, &o.stations, &o.offTimes, &o.coordinates, transpose, scheme,
                      first, last);
    return o;
}

// Checks a transposed matrix against the gate values of the given tags.
void verifyMatrix(const Outputs& o, const QVector<double>& tags, const QList<QVector<double>>& ownTimes, int scheme)
{
    QCOMPARE(o.curves.size(), o.times.size());
    for (int g = 0; g < o.times.size(); ++g) {
        QCOMPARE(o.curves.at(g).size(), tags.size());
        for (int s = 0; s < tags.size(); ++s) {
            const int own = ownTimes.at(s).indexOf(o.times.at(g));
            QVERIFY2(own >= 0, "gate time not among the station's own");
            const double expected = std::fabs(gateValue(tags.at(s) + scheme * 100000.0, o.times.at(g), own));
            QCOMPARE(o.curves.at(g).at(s), expected);
        }
    }
}

} // namespace

class tst_LineData : public QObject
{
    Q_OBJECT

private slots:
    void rowRange_data();
    void rowRange();
    void stationRange_data();
    void stationRange();
    void stationFilters();
    void offTimeRule_data();
    void offTimeRule();
    void coordinates_data();
    void coordinates();
    void commonGateCount_data();
    void commonGateCount();
    void gateMatching_data();
    void gateMatching();
    void shortResponseHoldsLastGates_data();
    void shortResponseHoldsLastGates();
    void schemesAndWindow_data();
    void schemesAndWindow();
    void nullOutputs();
    void timeNamedLine();
    void readsOnly();
};

void tst_LineData::rowRange_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QVector<double>>("expected");   // empty: nothing written

    QTest::newRow("whole line") << 0 << 4 << QVector<double>{100, 101, 102, 103, 104};
    QTest::newRow("first -5 starts at 0") << -5 << 2 << QVector<double>{100, 101, 102};
    QTest::newRow("last beyond the end") << 3 << 99 << QVector<double>{103, 104};
    QTest::newRow("one row") << 2 << 2 << QVector<double>{102};
    QTest::newRow("neighbourhood at the start") << -10 << 10 << QVector<double>{100, 101, 102, 103, 104};
    QTest::newRow("first equal to size") << 5 << 9 << QVector<double>{};
    QTest::newRow("first beyond size") << 7 << 9 << QVector<double>{};
    QTest::newRow("last before first") << 3 << 2 << QVector<double>{};
    QTest::newRow("both negative") << -5 << -1 << QVector<double>{};
}

void tst_LineData::rowRange()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QVector<double>, expected);

    LineFixture f({station(100), station(101), station(102), station(103), station(104)});
    Data_Line* line = f.line();
    QVERIFY(line);
    const Outputs o = run(line, wideWindow(), true, 0, first, last);
    if (expected.isEmpty()) {
        QVERIFY(o.untouched());
        return;
    }
    QCOMPARE(o.stations, expected);
    QCOMPARE(o.offTimes.size(), expected.size());
    QCOMPARE(o.coordinates.size(), expected.size());
    QCOMPARE(o.times, kTimes);
    QList<QVector<double>> own;
    for (int i = 0; i < expected.size(); ++i)
        own << kTimes;
    verifyMatrix(o, expected, own, 0);
}

void tst_LineData::stationRange_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QVector<double>>("expected");   // empty: nothing written

    const QVector<double> all{50, 100, 150, 200, 250};
    QTest::newRow("closed range 100..200") << 100.0 << 200.0 << 0 << 4 << QVector<double>{100, 150, 200};
    QTest::newRow("start -1 takes all") << -1.0 << 200.0 << 0 << 4 << all;
    QTest::newRow("end -1 takes all") << 100.0 << -1.0 << 0 << 4 << all;
    QTest::newRow("end equal to start takes all") << 150.0 << 150.0 << 0 << 4 << all;
    QTest::newRow("end below start takes all") << 200.0 << 100.0 << 0 << 4 << all;
    QTest::newRow("fractional bounds") << 99.5 << 150.5 << 0 << 4 << QVector<double>{100, 150};
    QTest::newRow("range and rows together") << 150.0 << 250.0 << 1 << 3 << QVector<double>{150, 200};
    QTest::newRow("range between stations") << 101.0 << 149.0 << 0 << 4 << QVector<double>{};
}

void tst_LineData::stationRange()
{
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QVector<double>, expected);

    LineFixture f({station(50), station(100), station(150), station(200), station(250)});
    Data_Line* line = f.line();
    QVERIFY(line);
    InvParam p = wideWindow();
    p.startStation = start;
    p.endStation = end;
    const Outputs o = run(line, p, true, 0, first, last);
    if (expected.isEmpty()) {
        QVERIFY(o.untouched());
        return;
    }
    QCOMPARE(o.stations, expected);
    // Stations outside the range add no turn-off value.
    QCOMPARE(o.offTimes.size(), expected.size());
    QCOMPARE(o.curves.first().size(), expected.size());
}

void tst_LineData::stationFilters()
{
    StationSpec unused = station(100);
    unused.use = 0;
    unused.offs = {40};
    StationSpec typeOne = station(110);
    typeOne.type = 1;
    typeOne.offs = {40};
    StationSpec emptyCurve = station(120, {}, 120);
    emptyCurve.offs = {50};
    StationSpec first120 = station(120, kTimes, 121);
    first120.offs = {40};
    StationSpec second120 = station(120, kTimes, 122);
    second120.offs = {1};
    StationSpec last = station(130);

    LineFixture f({unused, typeOne, emptyCurve, first120, second120, last});
    Data_Line* line = f.line();
    QVERIFY(line);
    const Outputs o = run(line, wideWindow(), true, 0, 0, 5);

    // The empty 120 is dropped after its turn-off value was taken; the next
    // 120 is collected and the third is a repeat.
    QCOMPARE(o.stations, (QVector<double>{120, 130}));
    QCOMPARE(o.offTimes, (QVector<double>{50, 40, 0}));
    QCOMPARE(o.coordinates.size(), 2);
    QCOMPARE(o.coordinates.at(0).pointNo, 120.0f);
    QCOMPARE(o.coordinates.at(1).pointNo, 130.0f);
    verifyMatrix(o, {121, 130}, {kTimes, kTimes}, 0);

    // An unused or TYPE 1 station alone gives nothing.
    LineFixture g({unused, typeOne});
    Data_Line* other = g.line();
    QVERIFY(other);
    QVERIFY(run(other, wideWindow(), true, 0, 0, 1).untouched());

    // A line without stations gives nothing.
    LineFixture h(QList<StationSpec>{});
    Data_Line* bare = h.line();
    QVERIFY(bare);
    QVERIFY(run(bare, wideWindow(), true, 0, -10, 10).untouched());
}

void tst_LineData::offTimeRule_data()
{
    QTest::addColumn<QVector<double>>("sampleOffs");
    QTest::addColumn<double>("expected");

    QTest::newRow("no samples") << QVector<double>{} << 0.0;
    QTest::newRow("mean 5 becomes 64.5") << QVector<double>{40, 0, 0, 0, 0, 0, 0, 0} << 64.5;
    QTest::newRow("mean 20 becomes 64.5") << QVector<double>{40, 0} << 64.5;
    QTest::newRow("mean 30 stays") << QVector<double>{40, 50, 0} << 30.0;
    QTest::newRow("mean 1 stays") << QVector<double>{1} << 1.0;
    QTest::newRow("mean 40 stays") << QVector<double>{40} << 40.0;
}

void tst_LineData::offTimeRule()
{
    QFETCH(QVector<double>, sampleOffs);
    QFETCH(double, expected);

    StationSpec s = station(100);
    s.offs = sampleOffs;
    LineFixture f({s});
    Data_Line* line = f.line();
    QVERIFY(line);
    const Outputs o = run(line, wideWindow(), true, 0, 0, 0);
    QCOMPARE(o.offTimes, QVector<double>{expected});
}

void tst_LineData::coordinates_data()
{
    QTest::addColumn<int>("hasZ");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("z");
    QTest::addColumn<QVector<float>>("expected");

    QTest::newRow("missing, entity default") << -1 << 9.0 << 9.0 << 9.0 << QVector<float>{3, 45, 3, 45, 100000};
    QTest::newRow("missing, zero") << 0 << 9.0 << 9.0 << 9.0 << QVector<float>{3, 45, 3, 45, 100000};
    QTest::newRow("present") << 1 << 512.5 << 310.25 << 35.2
                             << QVector<float>{3, 45, 512.5f, 310.25f, 35.2f};
    QTest::newRow("present, flag 2") << 2 << 522.5 << 320.25 << -4.0
                                     << QVector<float>{3, 45, 522.5f, 320.25f, -4.0f};
    QTest::newRow("projected easting rounds to float")
        << 1 << 512345.678 << 3456789.123 << 1200.5
        << QVector<float>{3, 45, static_cast<float>(512345.678), static_cast<float>(3456789.123), 1200.5f};
}

void tst_LineData::coordinates()
{
    QFETCH(int, hasZ);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, z);
    QFETCH(QVector<float>, expected);

    StationSpec s = station(45);
    s.hasZ = hasZ;
    s.x = x;
    s.y = y;
    s.z = z;
    LineFixture f({station(44), s}, 3.0);
    Data_Line* line = f.line();
    QVERIFY(line);
    const Outputs o = run(line, wideWindow(), true, 0, 0, 1);
    QCOMPARE(o.coordinates.size(), 2);
    // The neighbour has no coordinates.
    const GPSCoordinate& n = o.coordinates.at(0);
    QCOMPARE((QVector<float>{n.lineNo, n.pointNo, n.x, n.y, n.z}), (QVector<float>{3, 44, 3, 44, 100000}));
    const GPSCoordinate& c = o.coordinates.at(1);
    QCOMPARE((QVector<float>{c.lineNo, c.pointNo, c.x, c.y, c.z}), expected);
}

void tst_LineData::commonGateCount_data()
{
    QTest::addColumn<bool>("transpose");
    QTest::newRow("transposed") << true;
    QTest::newRow("one row per station") << false;
}

void tst_LineData::commonGateCount()
{
    QFETCH(bool, transpose);

    QVector<double> table;
    for (int i = 0; i < 18; ++i)
        table << 10.0 * std::pow(10.0, i / 6.0);
    LineFixture f({station(100, table.mid(0, 18)), station(101, table.mid(0, 16)), station(102, table.mid(0, 17))});
    Data_Line* line = f.line();
    QVERIFY(line);
    const Outputs o = run(line, wideWindow(), transpose, 0, 0, 2);

    QCOMPARE(o.times, table.mid(0, 16));
    QCOMPARE(o.stations, (QVector<double>{100, 101, 102}));
    if (transpose) {
        QCOMPARE(o.curves.size(), 16);
        verifyMatrix(o, {100, 101, 102}, {table, table, table}, 0);
    } else {
        QCOMPARE(o.curves.size(), 3);
        for (int s = 0; s < 3; ++s)
            QCOMPARE(o.curves.at(s), responseFor(100 + s, table.mid(0, 16)));
        // Signed values are kept without transposing.
        QVERIFY(o.curves.at(0).at(1) < 0.0);
    }
}

void tst_LineData::gateMatching_data()
{
    QTest::addColumn<QList<QVector<double>>>("stationTimes");
    // -1: as long as the times; otherwise the response (and the raw column)
    // holds only that many of the last gates.
    QTest::addColumn<QVector<int>>("responseLengths");
    QTest::addColumn<QVector<double>>("expected");        // empty: nothing written

    const QVector<double> full = kTimes;
    QTest::newRow("second station lacks a middle gate")
        << QList<QVector<double>>{full, {10, 20, 40, 50}, full} << QVector<int>{-1, -1, -1}
        << QVector<double>{10, 20, 40, 50};
    QTest::newRow("first station lacks a gate")
        << QList<QVector<double>>{{10, 20, 40, 50}, full} << QVector<int>{-1, -1} << QVector<double>{10, 20, 40, 50};
    QTest::newRow("first gate missing")
        << QList<QVector<double>>{full, {20, 30, 40, 50}} << QVector<int>{-1, -1} << QVector<double>{20, 30, 40, 50};
    QTest::newRow("different gates missing")
        << QList<QVector<double>>{{10, 30, 40, 50}, {10, 20, 30, 50}} << QVector<int>{-1, -1}
        << QVector<double>{10, 30, 50};
    QTest::newRow("edited response shorter than its gates")
        << QList<QVector<double>>{full, full} << QVector<int>{-1, 3} << QVector<double>{30, 40, 50};
    QTest::newRow("shorter response and a missing gate")
        << QList<QVector<double>>{{10, 20, 40, 50}, full} << QVector<int>{-1, 4} << QVector<double>{20, 40, 50};
    QTest::newRow("no shared gate")
        << QList<QVector<double>>{{10, 20}, {30, 40}} << QVector<int>{-1, -1} << QVector<double>{};
}

void tst_LineData::gateMatching()
{
    QFETCH(QList<QVector<double>>, stationTimes);
    QFETCH(QVector<int>, responseLengths);
    QFETCH(QVector<double>, expected);

    QList<StationSpec> specs;
    QVector<double> tags;
    QList<QVector<double>> own;
    for (int i = 0; i < stationTimes.size(); ++i) {
        StationSpec s = station(100 + i, stationTimes.at(i));
        const int len = responseLengths.at(i);
        if (len >= 0) {
            for (int k = 0; k < 3; ++k)
                s.response[k] = s.response[k].mid(s.response[k].size() - len);
        }
        specs << s;
        tags << 100 + i;
        own << stationTimes.at(i);
    }
    LineFixture f(specs);
    Data_Line* line = f.line();
    QVERIFY(line);

    for (int scheme = 0; scheme < 3; ++scheme) {
        const Outputs o = run(line, wideWindow(), true, scheme, 0, specs.size() - 1);
        if (expected.isEmpty()) {
            QVERIFY(o.untouched());
            continue;
        }
        QCOMPARE(o.times, expected);
        QCOMPARE(o.stations, tags);
        verifyMatrix(o, tags, own, scheme);

        const Outputs rows = run(line, wideWindow(), false, scheme, 0, specs.size() - 1);
        QCOMPARE(rows.times, expected);
        for (int s = 0; s < tags.size(); ++s) {
            QCOMPARE(rows.curves.at(s).size(), expected.size());
            for (int g = 0; g < expected.size(); ++g) {
                const int at = own.at(s).indexOf(expected.at(g));
                QCOMPARE(rows.curves.at(s).at(g), gateValue(tags.at(s) + scheme * 100000.0, expected.at(g), at));
            }
        }
    }
}

void tst_LineData::shortResponseHoldsLastGates_data()
{
    QTest::addColumn<double>("tmin");
    QTest::addColumn<int>("rawLength");
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<QVector<double>>("values");   // of the edited station

    // Station 101 stores the edited values 7030, 7040, 7050 of its last three
    // gates only, as an earlier version wrote them; its raw curve is 1010 ...
    QTest::newRow("whole line") << 0.0 << 5 << QVector<double>{10, 20, 30, 40, 50}
                                << QVector<double>{1010, 1020, 7030, 7040, 7050};
    QTest::newRow("window from 15") << 15.0 << 5 << QVector<double>{20, 30, 40, 50}
                                    << QVector<double>{1020, 7030, 7040, 7050};
    QTest::newRow("window from 35") << 35.0 << 5 << QVector<double>{40, 50} << QVector<double>{7040, 7050};
    QTest::newRow("raw curve damaged: no value before the edit") << 0.0 << 2 << QVector<double>{30, 40, 50}
                                                                 << QVector<double>{7030, 7040, 7050};
}

void tst_LineData::shortResponseHoldsLastGates()
{
    QFETCH(double, tmin);
    QFETCH(int, rawLength);
    QFETCH(QVector<double>, times);
    QFETCH(QVector<double>, values);

    StationSpec edited = station(101);
    for (int k = 0; k < 3; ++k) {
        edited.response[k] = {7030, 7040, 7050};
        edited.raw[k] = QVector<double>{1010, 1020, 1030, 1040, 1050}.mid(0, rawLength);
    }
    LineFixture f({station(100), edited});
    Data_Line* line = f.line();
    QVERIFY(line);
    InvParam p = wideWindow();
    p.timeWindowStart = tmin;
    for (int scheme = 0; scheme < 3; ++scheme) {
        const Outputs rows = run(line, p, false, scheme, 0, 1);
        QCOMPARE(rows.times, times);
        QCOMPARE(rows.curves.size(), 2);
        QCOMPARE(rows.curves.at(1), values);
        // The other station keeps its own values on the same gates.
        for (int g = 0; g < times.size(); ++g)
            QCOMPARE(rows.curves.at(0).at(g), gateValue(100 + scheme * 100000.0, times.at(g), kTimes.indexOf(times.at(g))));
    }
}

void tst_LineData::schemesAndWindow_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<double>("tmin");
    QTest::addColumn<double>("tmax");
    QTest::addColumn<QVector<double>>("expected");   // empty: nothing written

    const QVector<double> kept{10, 20, 4e6};
    QTest::newRow("QV18, closed window") << 0 << 10.0 << 4e6 << kept;
    QTest::newRow("LOG10, closed window") << 1 << 10.0 << 4e6 << kept;
    QTest::newRow("LOG20, closed window") << 2 << 10.0 << 4e6 << kept;
    QTest::newRow("LOG20, narrow window") << 2 << 15.0 << 25.0 << QVector<double>{20};
    QTest::newRow("window holds no gate") << 0 << 1e7 << 2e7 << QVector<double>{};
    QTest::newRow("scheme 3") << 3 << 10.0 << 4e6 << QVector<double>{};
    QTest::newRow("scheme -1") << -1 << 10.0 << 4e6 << QVector<double>{};
}

void tst_LineData::schemesAndWindow()
{
    QFETCH(int, scheme);
    QFETCH(double, tmin);
    QFETCH(double, tmax);
    QFETCH(QVector<double>, expected);

    const QVector<double> times{5, 10, 20, 4e6, 5e6};
    // Each scheme stores other values, so the right column shows.
    LineFixture f({station(100, times), station(101, times)});
    Data_Line* line = f.line();
    QVERIFY(line);
    InvParam p = wideWindow();
    p.timeWindowStart = tmin;
    p.timeWindowEnd = tmax;
    const Outputs o = run(line, p, true, scheme, 0, 1);
    if (expected.isEmpty()) {
        QVERIFY(o.untouched());
        return;
    }
    QCOMPARE(o.times, expected);
    verifyMatrix(o, {100, 101}, {times, times}, scheme);
}

void tst_LineData::nullOutputs()
{
    LineFixture f({station(100), station(101)});
    Data_Line* line = f.line();
    QVERIFY(line);

    Outputs o;
    line->getLineData(wideWindow(), nullptr, &o.times, &o.stations, &o.offTimes, &o.coordinates, true, 0, 0, 1);
    QVERIFY(o.untouched());
    line->getLineData(wideWindow(), &o.curves, nullptr, &o.stations, &o.offTimes, &o.coordinates, true, 0, 0, 1);
    QVERIFY(o.untouched());
    line->getLineData(wideWindow(), &o.curves, &o.times, nullptr, &o.offTimes, &o.coordinates, true, 0, 0, 1);
    QVERIFY(o.untouched());

    // Without turn-off and coordinate outputs the rest is still assembled.
    line->getLineData(wideWindow(), &o.curves, &o.times, &o.stations, nullptr, nullptr, true, 0, 0, 1);
    QCOMPARE(o.stations, (QVector<double>{100, 101}));
    QCOMPARE(o.times, kTimes);
    QCOMPARE(o.offTimes, QVector<double>{-7.0});
    QCOMPARE(o.coordinates.size(), 1);
}

void tst_LineData::timeNamedLine()
{
    // On a TYPE 1 line station numbers are instants in milliseconds; two
    // instants 1 ms apart are the same float but different stations.
    const double t0 = 1.6e12;
    StationSpec a = station(t0, kTimes, 1);
    StationSpec b = station(t0 + 1.0, kTimes, 2);
    StationSpec repeat = station(t0, kTimes, 3);
    LineFixture f({a, b, repeat}, 7.0, 1);
    Data_Line* line = f.line();
    QVERIFY(line);
    InvParam p = wideWindow();
    p.startStation = t0;
    p.endStation = t0 + 1.0;
    const Outputs o = run(line, p, true, 0, 0, 2);
    QCOMPARE(o.stations, (QVector<double>{t0, t0 + 1.0}));
    QCOMPARE(o.coordinates.size(), 2);
    QCOMPARE(o.coordinates.at(1).pointNo, static_cast<float>(t0 + 1.0));
    QCOMPARE(o.coordinates.at(1).z, 100000.0f);
    verifyMatrix(o, {1, 2}, {kTimes, kTimes}, 0);
}

void tst_LineData::readsOnly()
{
    StationSpec s = station(100);
    s.offs = {40, 0};
    LineFixture f({s, station(101)});
    Data_Line* line = f.line();
    QVERIFY(line);

    QStringList trace;
    f.lib()->setStatementTrace(&trace);
    const Outputs o = run(line, wideWindow(), true, 0, 0, 1);
    f.lib()->setStatementTrace(nullptr);
    QCOMPARE(o.stations.size(), 2);

    QVERIFY(trace.contains("BEGIN"));
    QCOMPARE(trace.last(), QString("COMMIT"));
    for (const QString& statement : trace) {
        QVERIFY2(!statement.startsWith("UPDATE") && !statement.startsWith("INSERT")
                     && !statement.startsWith("DELETE"),
                 qPrintable(statement));
    }

    // The raw records read for the turn-off values are not kept in memory.
    HORM_Collection<Data_Sample>* samples = line->REF_Data_Point()->at(0).value()->REF_Data_Sample();
    QCOMPARE(samples->size(), 2);
    for (int i = 0; i < samples->size(); ++i)
        QVERIFY(!samples->at(i).value()->lazyColumnsLive());
}

QTEST_GUILESS_MAIN(tst_LineData)
#include "tst_linedata.moc"
