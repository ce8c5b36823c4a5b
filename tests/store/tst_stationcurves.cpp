#include <QPointer>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

#include "StoreFixture.h"
#include "common/TestHelpers.h"
#include "model/Data_Calc.h"
#include "store/CurveBlob.h"

using namespace storetest;

namespace {

struct SampleSpec {
    int use = 1;
    int deviceType = 0;
    QVector<double> recv;
    QVector<double> pos;
    QVector<double> send;
    QVector<double> soff;
    double offFs = 0.0;
    int type = 0;
    double sendFs = 0.0;
    double recvFs = 0.0;
    qlonglong start = 0;
};

// Stores one station with the given samples on line lineId; returns its ID.
int addStation(LibHORM* lib, int lineId, const QList<SampleSpec>& specs, double name = 100.0)
{
    HORM_Collection<Data_Point> points(lib, "Data_LineID", QString::number(lineId));
    Data_Point* point = points.addNew().value();
    point->setNAME(name);
    point->commit();
    HORM_Collection<Data_Sample>* samples = point->REF_Data_Sample();
    for (const SampleSpec& spec : specs) {
        Data_Sample* s = samples->addNew().value();
        s->setUSE(spec.use);
        s->setDeviceType(spec.deviceType);
        s->setDATA_RECV(CurveBlob::toBlob(spec.recv));
        s->setDATA_RECV_POS(CurveBlob::toBlob(spec.pos));
        s->setDATA_SEND(CurveBlob::toBlob(spec.send));
        s->setDATA_SOFF(CurveBlob::toBlob(spec.soff));
        s->setSampleOffFs(spec.offFs);
        s->setTYPE(spec.type);
        s->setSendFs(spec.sendFs);
        s->setRecvFs(spec.recvFs);
        s->setStartTime(spec.start);
        s->commit();
    }
    return point->ID();
}

// A send record of n values whose current is known: half the swing between
// the pairs (i, i + n/2) of the second eighth; every other value is a decoy.
QVector<double> sendRecord(int n, const QVector<double>& halfSwings)
{
    QVector<double> s(n, 999.0);
    const int q = n / 4;
    const int h = q / 2;
    for (int k = 0; k < halfSwings.size() && h + k < q; ++k) {
        s[h + k] = halfSwings[k];
        s[h + k + n / 2] = -halfSwings[k];
    }
    return s;
}

SampleSpec withRecv(QVector<double> recv, QVector<double> send = {})
{
    SampleSpec spec;
    spec.recv = recv;
    spec.send = send;
    return spec;
}

using Unpack = void (Data_Point::*)(QVector<double>&, QVector<double>&, QVector<double>&, double, double);
using UnpackResponse = void (Data_Point::*)(QVector<double>&, double, double);

struct Scheme {
    const char* name;
    const char* response;
    const char* raw;
    const char* times;
    Unpack unpack;
    UnpackResponse unpackResponse;
};

const Scheme kSchemes[] = {
    {"QV18", "DATA_RECV_QV18", "DATA_RECV_QV18RAW", "DATA_TIMERECV_QV18", &Data_Point::unpackQV18, &Data_Point::unpackQV18Response},
    {"LOG10", "DATA_RECV_LOG10", "DATA_RECV_LOG10RAW", "DATA_TIMERECV_LOG10", &Data_Point::unpackLOG10, &Data_Point::unpackLOG10Response},
    {"LOG20", "DATA_RECV_LOG20", "DATA_RECV_LOG20RAW", "DATA_TIMERECV_LOG20", &Data_Point::unpackLOG20, &Data_Point::unpackLOG20Response},
};

// Every field of two records, doubles bit for bit.
bool sameRecord(const SampleRecord& a, const SampleRecord& b)
{
    auto bits = [](double d) {
        quint64 u = 0;
        std::memcpy(&u, &d, sizeof u);
        return u;
    };
    return a.type == b.type && a.deviceType == b.deviceType && bits(a.sendRate) == bits(b.sendRate)
           && bits(a.recvRate) == bits(b.recvRate) && bits(a.offRate) == bits(b.offRate)
           && a.startTime == b.startTime && a.recv == b.recv && a.recvPos == b.recvPos && a.send == b.send
           && a.soff == b.soff;
}

// The records of a station's samples in use as the entities give them,
// each sample loaded through update.
QList<SampleRecord> entityRecords(LibHORM* lib, qint64 stationId)
{
    QList<SampleRecord> out;
    HORM_Collection<Data_Sample> samples(lib, "Data_PointID", QString::number(stationId));
    for (int i = 0; i < samples.size(); ++i) {
        Data_Sample* s = samples.at(i).value();
        if (!s || s->USE() == 0)
            continue;
        s->update();
        out << s->record();
    }
    return out;
}

} // namespace

class tst_StationCurves : public QObject
{
    Q_OBJECT

private slots:
    void windowFilter_data();
    void windowFilter();
    void brokenStationBlob();
    void unpackRecv_data();
    void unpackRecv();
    void sendCurrent_data();
    void sendCurrent();
    void normalise_data();
    void normalise();
    void meanSendCurrent();
    void meanOffTime();
    void collectSampleCurves();
    void sampleReadsTellWhatWasNotRead_data();
    void sampleReadsTellWhatWasNotRead();
    void setDataCalcChain();
    void splitSendRecv();
    void releaseSampleBlobs();
    void readSampleRecordsAsEntitiesDo();
    void readSampleRecordsKeepsUnsavedValues();
};

void tst_StationCurves::windowFilter_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<QVector<double>>("response");
    QTest::addColumn<QVector<double>>("raw");
    QTest::addColumn<double>("tmin");
    QTest::addColumn<double>("tmax");
    QTest::addColumn<QVector<double>>("expTimes");
    QTest::addColumn<QVector<double>>("expResponse");
    QTest::addColumn<QVector<double>>("expRaw");

    const double nan = std::nan("");
    const QVector<double> t5{5, 10, 20, 4000000, 5000000};
    for (int s = 0; s < 3; ++s) {
        auto row = [&](const char* what) -> QTestData& { return QTest::newRow(qPrintable(QString("%1 %2").arg(kSchemes[s].name, what))); };
        row("closed window") << s << t5 << QVector<double>{1, 2, 3, 4, 5} << QVector<double>{11, 12, 13, 14, 15}
                             << 10.0 << 4e6 << QVector<double>{10, 20, 4e6} << QVector<double>{2, 3, 4}
                             << QVector<double>{12, 13, 14};
        row("nan time stays") << s << QVector<double>{5, nan, 20, 200} << QVector<double>{1, 2, 3, 4}
                              << QVector<double>{11, 12, 13, 14} << 10.0 << 100.0 << QVector<double>{nan, 20}
                              << QVector<double>{2, 3} << QVector<double>{12, 13};
        row("shorter response whole") << s << t5 << QVector<double>{7, 8, 9} << QVector<double>{11, 12, 13, 14, 15}
                                      << 10.0 << 4e6 << QVector<double>{10, 20, 4e6} << QVector<double>{7, 8, 9}
                                      << QVector<double>{12, 13, 14};
        row("longer response whole") << s << QVector<double>{5, 10, 20} << QVector<double>{1, 2, 3, 4}
                                     << QVector<double>{11, 12, 13} << 10.0 << 15.0 << QVector<double>{10}
                                     << QVector<double>{1, 2, 3, 4} << QVector<double>{12};
        row("shorter raw") << s << t5 << QVector<double>{1, 2, 3, 4, 5} << QVector<double>{11, 12} << 10.0 << 4e6
                           << QVector<double>{10, 20, 4e6} << QVector<double>{2, 3, 4} << QVector<double>{12};
        row("longer raw keeps its tail") << s << QVector<double>{5, 10, 20} << QVector<double>{1, 2, 3}
                                         << QVector<double>{11, 12, 13, 14, 15} << 10.0 << 15.0 << QVector<double>{10}
                                         << QVector<double>{2} << QVector<double>{12, 14, 15};
        row("outside between, short raw") << s << QVector<double>{5, 10, 2e7, nan, 20, 3} << QVector<double>{1, 2, 3, 4, 5, 6}
                                          << QVector<double>{11, 12, 13} << 10.0 << 4e6 << QVector<double>{10, nan, 20}
                                          << QVector<double>{2, 4, 5} << QVector<double>{12};
        row("all outside") << s << t5 << QVector<double>{1, 2, 3, 4, 5} << QVector<double>{11, 12, 13, 14, 15}
                           << 6e6 << 7e6 << QVector<double>{} << QVector<double>{} << QVector<double>{};
        row("empty") << s << QVector<double>{} << QVector<double>{} << QVector<double>{} << 0.0 << 4e6
                     << QVector<double>{} << QVector<double>{} << QVector<double>{};
    }
}

void tst_StationCurves::windowFilter()
{
    QFETCH(int, scheme);
    QFETCH(QVector<double>, times);
    QFETCH(QVector<double>, response);
    QFETCH(QVector<double>, raw);
    QFETCH(double, tmin);
    QFETCH(double, tmax);
    QFETCH(QVector<double>, expTimes);
    QFETCH(QVector<double>, expResponse);
    QFETCH(QVector<double>, expRaw);
    const Scheme& sc = kSchemes[scheme];

    OpenProject p;
    {
        HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "1");
        Data_Point* point = points.addNew().value();
        point->setProperty(sc.response, CurveBlob::toBlob(response));
        point->setProperty(sc.raw, CurveBlob::toBlob(raw));
        point->setProperty(sc.times, CurveBlob::toBlob(times));
        // The other schemes hold decoys.
        for (const Scheme& other : kSchemes) {
            if (&other != &sc) {
                point->setProperty(other.response, CurveBlob::toBlob({-1}));
                point->setProperty(other.times, CurveBlob::toBlob({50}));
            }
        }
        point->commit();
    }
    HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "1");
    Data_Point* point = points.at(0).value();

    QVector<double> r{99}, t{99}, w{99};
    (point->*sc.unpack)(r, t, w, tmin, tmax);
    HW_COMPARE_VECTORS(t, expTimes, 0.0, 0.0);
    HW_COMPARE_VECTORS(r, expResponse, 0.0, 0.0);
    HW_COMPARE_VECTORS(w, expRaw, 0.0, 0.0);

    QVector<double> only{99};
    (point->*sc.unpackResponse)(only, tmin, tmax);
    HW_COMPARE_VECTORS(only, expResponse, 0.0, 0.0);
}

void tst_StationCurves::brokenStationBlob()
{
    OpenProject p;
    HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "1");
    Data_Point* point = points.addNew().value();
    point->setDATA_RECV_QV18(CurveBlob::toBlob({1, 2}) + QByteArray(3, '\x01'));
    point->setDATA_RECV_QV18RAW(CurveBlob::toBlob({1, 2}));
    point->setDATA_TIMERECV_QV18(CurveBlob::toBlob({10, 20}));
    MessageCapture capture;
    QVector<double> r, t, w;
    point->unpackQV18(r, t, w, 0.0, 4e6);
    // Whole values only, cut in step with the times: no invented 0.0.
    QCOMPARE(r, (QVector<double>{1, 2}));
    QCOMPARE(t, (QVector<double>{10, 20}));
    QCOMPARE(capture.count("CurveBlob::fromBlob"), 1);
}

void tst_StationCurves::unpackRecv_data()
{
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<QVector<double>>("recv");
    QTest::addColumn<QVector<double>>("pos");
    QTest::addColumn<QVector<double>>("expTimes");
    QTest::newRow("device 2 spaced by 10") << 2 << QVector<double>{5, 4, 3, 2, 1} << QVector<double>{7, 8}
                                           << QVector<double>{10, 20, 30, 40, 50};
    QTest::newRow("device 0 spaced by 10") << 0 << QVector<double>{5, 4} << QVector<double>{} << QVector<double>{10, 20};
    QTest::newRow("device 1 stored times") << 1 << QVector<double>{5, 4, 3} << QVector<double>{1.5, 3.0, 4.5}
                                           << QVector<double>{1.5, 3.0, 4.5};
    QTest::newRow("empty record") << 2 << QVector<double>{} << QVector<double>{} << QVector<double>{};
}

void tst_StationCurves::unpackRecv()
{
    QFETCH(int, deviceType);
    QFETCH(QVector<double>, recv);
    QFETCH(QVector<double>, pos);
    QFETCH(QVector<double>, expTimes);
    OpenProject p;
    SampleSpec spec;
    spec.deviceType = deviceType;
    spec.recv = recv;
    spec.pos = pos;
    addStation(p.lib.get(), 1, {spec});
    HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "1");
    Data_Sample* s = points.at(0).value()->REF_Data_Sample()->at(0).value();
    QVector<double> values{99}, times{99};
    s->unpackRecv(values, times, false);
    QVERIFY(values.isEmpty());  // lazy blobs are not loaded yet
    QVERIFY(times.isEmpty());
    s->update();
    s->unpackRecv(values, times, false);
    QCOMPARE(values, recv);
    QCOMPARE(times, expTimes);
}

void tst_StationCurves::sendCurrent_data()
{
    QTest::addColumn<QVector<double>>("record");
    QTest::addColumn<double>("current");
    // 16 values: pairs (2, 10) and (3, 11), divided by 2.
    QTest::newRow("16 values") << sendRecord(16, {10, 20}) << 15.0;
    // 12 values: pairs (1, 7) and (2, 8), two terms divided by 1.
    QTest::newRow("12 values") << sendRecord(12, {2, 3}) << 5.0;
    QTest::newRow("8 values") << sendRecord(8, {4}) << 4.0;
    QTest::newRow("7 values") << QVector<double>(7, 3.0) << 0.0;
    QTest::newRow("3 values") << QVector<double>{1, 2, 3} << 0.0;
    QTest::newRow("empty") << QVector<double>{} << 0.0;
}

void tst_StationCurves::sendCurrent()
{
    QFETCH(QVector<double>, record);
    QFETCH(double, current);
    Data_Sample s(nullptr);
    s.setDATA_SEND(CurveBlob::toBlob(record));
    QCOMPARE(s.sendCurrent(), current);
}

void tst_StationCurves::normalise_data()
{
    QTest::addColumn<QVector<double>>("send");
    QTest::addColumn<QVector<double>>("expected");
    const double inf = std::numeric_limits<double>::infinity();
    QVector<double> infinite = sendRecord(12, {2, 3});
    infinite[1] = inf;
    QVector<double> notANumber = sendRecord(12, {2, 3});
    notANumber[2] = std::nan("");
    QTest::newRow("current 5") << sendRecord(12, {2, 3}) << QVector<double>{2, -4, 0.5};
    QTest::newRow("short record") << QVector<double>(5, 1.0) << QVector<double>{10, -20, 2.5};
    QTest::newRow("zero current") << QVector<double>(12, 1.0) << QVector<double>{10, -20, 2.5};
    QTest::newRow("infinite current") << infinite << QVector<double>{10, -20, 2.5};
    QTest::newRow("nan current") << notANumber << QVector<double>{10, -20, 2.5};
}

void tst_StationCurves::normalise()
{
    QFETCH(QVector<double>, send);
    QFETCH(QVector<double>, expected);
    Data_Sample s(nullptr);
    s.setDATA_RECV(CurveBlob::toBlob({10, -20, 2.5}));
    s.setDATA_SEND(CurveBlob::toBlob(send));
    QVector<double> values, times;
    s.unpackRecv(values, times, true);
    QCOMPARE(values, expected);
    QCOMPARE(times, (QVector<double>{10, 20, 30}));
    s.unpackRecv(values, times, false);
    QCOMPARE(values, (QVector<double>{10, -20, 2.5}));
}

void tst_StationCurves::meanSendCurrent()
{
    OpenProject p;
    QVector<double> nanRecord = sendRecord(16, {1, 1});
    nanRecord[2] = std::nan("");
    QList<SampleSpec> specs;
    specs << withRecv({1}, sendRecord(16, {10, 20}))   // 15
          << withRecv({1}, sendRecord(12, {2, 3}))     // 5
          << withRecv({1}, QVector<double>(6, 1.0))    // too short: no current
          << withRecv({1}, nanRecord)                  // not finite
          << withRecv({1}, QVector<double>(16, 4.0));  // zero
    SampleSpec unused = withRecv({1}, sendRecord(16, {500, 500}));
    unused.use = 0;
    specs << unused;
    addStation(p.lib.get(), 1, specs);
    addStation(p.lib.get(), 2, {withRecv({1}, QVector<double>(4, 1.0))});
    addStation(p.lib.get(), 3, {});

    HORM_Collection<Data_Point> line1(p.lib.get(), "Data_LineID", "1");
    QCOMPARE(line1.at(0).value()->meanSendCurrent(), 10.0);
    HORM_Collection<Data_Point> line2(p.lib.get(), "Data_LineID", "2");
    QCOMPARE(line2.at(0).value()->meanSendCurrent(), 0.0);
    HORM_Collection<Data_Point> line3(p.lib.get(), "Data_LineID", "3");
    QCOMPARE(line3.at(0).value()->meanSendCurrent(), 0.0);
}

void tst_StationCurves::meanOffTime()
{
    OpenProject p;
    SampleSpec settled;
    settled.soff = QVector<double>(10, 0.0);
    settled.offFs = 1e6;
    SampleSpec tooShort;
    tooShort.soff = QVector<double>(5, 0.0);
    tooShort.offFs = 1e6;
    SampleSpec unused = settled;
    unused.use = 0;
    unused.soff = QVector<double>(10, 9.0);
    addStation(p.lib.get(), 1, {settled, tooShort, unused});
    unused.use = 0;
    addStation(p.lib.get(), 2, {unused, unused});

    HORM_Collection<Data_Point> line1(p.lib.get(), "Data_LineID", "1");
    Data_Point* point = line1.at(0).value();
    // The quiet window at 0 gives 2 us, which the detection turns into 64.5.
    QCOMPARE(point->meanOffTime(), (64.5 + 0.0) / 2);
    QCOMPARE(point->REF_Data_Sample()->at(0).value()->offTime(), 64.5);

    // Without any Data_Calc every sample reports -1.
    point->setDataCalc(nullptr);
    QCOMPARE(point->meanOffTime(), -1.0);

    HORM_Collection<Data_Point> line2(p.lib.get(), "Data_LineID", "2");
    QCOMPARE(line2.at(0).value()->meanOffTime(), 0.0);
}

void tst_StationCurves::collectSampleCurves()
{
    OpenProject p;
    SampleSpec a = withRecv({10, 20, 30}, sendRecord(12, {2, 3}));
    a.type = 3;
    a.sendFs = 25.0;
    a.recvFs = 1e6;
    a.start = 1600000000123LL;
    SampleSpec skipped = withRecv({7});
    skipped.use = 0;
    SampleSpec b = withRecv({1, 2});
    b.deviceType = 1;
    b.pos = {0.5, 1.5};
    b.use = 2;
    addStation(p.lib.get(), 1, {a, skipped, b});

    HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "1");
    Data_Point* point = points.at(0).value();
    const QList<SampleCurve> raw = point->collectSampleCurves(false);
    QCOMPARE(raw.size(), 2);
    QCOMPARE(raw[0].type, 3);
    QCOMPARE(raw[0].sendRate, 25.0);
    QCOMPARE(raw[0].recvRate, 1e6);
    QCOMPARE(raw[0].startTime, 1600000000123LL);
    QCOMPARE(raw[0].values, (QVector<double>{10, 20, 30}));
    QCOMPARE(raw[0].times, (QVector<double>{10, 20, 30}));
    QVERIFY(raw[0].spare.isEmpty());
    QCOMPARE(raw[1].values, (QVector<double>{1, 2}));
    QCOMPARE(raw[1].times, (QVector<double>{0.5, 1.5}));

    const QList<SampleCurve> normalised = point->collectSampleCurves(true);
    QCOMPARE(normalised[0].values, (QVector<double>{2, 4, 6}));
    QCOMPARE(normalised[1].values, (QVector<double>{1, 2}));  // no current: as stored

    HORM_Collection<Data_Point> none(p.lib.get(), "Data_LineID", "5");
    QCOMPARE(none.size(), 0);
}

void tst_StationCurves::sampleReadsTellWhatWasNotRead_data()
{
    QTest::addColumn<QString>("read");       // curves, means or the line's data
    QTest::addColumn<QString>("obstacle");   // what keeps a sample from being read
    for (const char* read : {"curves", "means", "line"}) {
        QTest::newRow(QByteArray(read) + ", a listed sample deleted by another program") << read << "deleted";
        QTest::newRow(QByteArray(read) + ", the file locked by another program") << read << "locked";
        QTest::newRow(QByteArray(read) + ", nothing in the way") << read << "none";
    }
}

// A sample that was listed but whose blobs cannot be read (its row is gone,
// another program holds the file) makes the read say so; a line's data are
// then not made from the samples that could be read.
void tst_StationCurves::sampleReadsTellWhatWasNotRead()
{
    QFETCH(QString, read);
    QFETCH(QString, obstacle);
    OpenProject p;
    {
        HORM_Collection<Data_Line> lines(p.lib.get());
        Data_Line* line = lines.addNew().value();
        line->setNAME(1);
        line->commit();
    }
    const SampleSpec a = withRecv({10, 20, 30}, sendRecord(16, {2, 2}));
    const SampleSpec b = withRecv({1, 2, 3}, sendRecord(16, {4, 4}));
    const int first = addStation(p.lib.get(), 1, {a, b}, 100.0);
    addStation(p.lib.get(), 1, {a, b}, 110.0);
    for (const int id : {first, first + 1}) {
        RawDb raw(p.path());
        QVERIFY(raw.exec(QString("UPDATE Data_Point SET DATA_RECV_QV18 = x'%1', DATA_TIMERECV_QV18 = x'%2' WHERE ID = %3")
                             .arg(QString::fromLatin1(CurveBlob::toBlob({3, 2, 1}).toHex()),
                                  QString::fromLatin1(CurveBlob::toBlob({100, 200, 300}).toHex()))
                             .arg(id)));
    }

    HORM_Collection<Data_Line> lines(p.lib.get());
    Data_Line* line = lines.at(0).value();
    Data_Point* point = line->REF_Data_Point()->at(0).value();
    QVERIFY(point);
    QCOMPARE(point->REF_Data_Sample()->size(), 2);

    RawDb other(p.path());
    if (obstacle == "deleted") {
        QVERIFY(other.exec(QString("DELETE FROM Data_Sample WHERE Data_PointID = %1 AND ID = (SELECT MAX(ID) FROM "
                                   "Data_Sample WHERE Data_PointID = %1)").arg(first)));
    } else if (obstacle == "locked") {
        p.lib->setBusyTimeout(20);
        QVERIFY(other.holdWriteLock());
    }
    const bool whole = obstacle == "none";
    if (read == "curves") {
        bool complete = !whole;
        const QList<SampleCurve> curves = point->collectSampleCurves(false, &complete);
        QCOMPARE(complete, whole);
        if (whole)
            QCOMPARE(curves.size(), 2);
    } else if (read == "means") {
        double off = 0.0;
        double current = 0.0;
        QCOMPARE(point->sampleMeans(off, current), whole);
        if (whole)
            QCOMPARE(current, 3.0);
    } else {
        InvParam param;
        param.timeWindowStart = 0.0;
        QVector<QVector<double>> curves{{-1}};
        QVector<double> times{-1};
        QVector<double> stations{-1};
        QVector<double> currents{-1};
        QCOMPARE(line->getLineData(param, &curves, &times, &stations, nullptr, nullptr, true, 0, 0, 1, &currents),
                 whole);
        if (whole) {
            QCOMPARE(stations, (QVector<double>{100, 110}));
            QCOMPARE(currents, (QVector<double>{3, 3}));
        } else {
            QCOMPARE(curves, QVector<QVector<double>>{{-1}});
            QCOMPARE(times, QVector<double>{-1});
            QCOMPARE(stations, QVector<double>{-1});
            QCOMPARE(currents, QVector<double>{-1});
        }
    }
    if (obstacle == "locked")
        other.release();
}

void tst_StationCurves::setDataCalcChain()
{
    OpenProject p;
    {
        HORM_Collection<Data_Line> lines(p.lib.get());
        Data_Line* line = lines.addNew().value();
        for (int i = 0; i < 2; ++i) {
            Data_Point* point = line->REF_Data_Point()->addNew().value();
            point->REF_Data_Sample()->addNew();
            point->REF_Data_Sample()->addNew();
        }
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    Data_Line* line = lines.at(0).value();
    auto* calc = new Data_Calc(nullptr);
    line->setDataCalc(calc);
    QCOMPARE(line->dataCalc(), calc);
    HORM_Collection<Data_Point>* points = line->REF_Data_Point();
    QCOMPARE(points->size(), 2);
    for (int i = 0; i < points->size(); ++i) {
        Data_Point* point = points->at(i).value();
        QCOMPARE(point->dataCalc(), calc);
        QCOMPARE(point->REF_Data_Sample()->size(), 2);
        for (int j = 0; j < 2; ++j)
            QCOMPARE(point->REF_Data_Sample()->at(j).value()->dataCalc(), calc);
    }

    // Samples loaded after the chain ran use a Data_Calc of their own.
    points->setOrderBy("NAME");
    Data_Sample* later = points->at(0).value()->REF_Data_Sample()->at(0).value();
    QVERIFY(later->dataCalc() != nullptr);
    QVERIFY(later->dataCalc() != calc);

    // A handed-down Data_Calc that is gone leaves the sample without one.
    Data_Sample* handed = points->at(1).value()->REF_Data_Sample()->at(0).value();
    handed->setDataCalc(calc);
    delete calc;
    QVERIFY(handed->dataCalc() == nullptr);
    QCOMPARE(handed->offTime(), -1.0);
}

void tst_StationCurves::splitSendRecv()
{
    Data_Sample s(nullptr);
    s.setSendFs(25.0);
    s.setSampleSendFs(50000.0);
    s.setDATA_SEND(QByteArray("send"));
    s.setSampleOffFs(1e6);
    s.setDATA_SOFF(QByteArray("soff"));
    s.setRecvFs(2e5);
    s.setDATA_RECV(QByteArray("recv"));
    SendRecord send;
    RecvRecord recv;
    s.splitSendRecv(send, recv);
    QCOMPARE(send.SendFs, 25.0);
    QCOMPARE(send.SampleSendFs, 50000.0);
    QCOMPARE(send.DATA_SEND, QByteArray("send"));
    QCOMPARE(send.SampleOffFs, 1e6);
    QCOMPARE(send.DATA_SOFF, QByteArray("soff"));
    QCOMPARE(recv.RecvFs, 2e5);
    QCOMPARE(recv.DATA_RECV, QByteArray("recv"));
}

void tst_StationCurves::releaseSampleBlobs()
{
    OpenProject p;
    addStation(p.lib.get(), 1, {withRecv({1, 2, 3}, sendRecord(12, {2, 3})), withRecv({4, 5})});
    HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "1");
    Data_Point* point = points.at(0).value();
    const QList<SampleCurve> first = point->collectSampleCurves(true);
    Data_Sample* s = point->REF_Data_Sample()->at(0).value();
    QVERIFY(!s->DATA_RECV().isEmpty());
    point->releaseSampleBlobs();
    for (int i = 0; i < 2; ++i) {
        Data_Sample* sample = point->REF_Data_Sample()->at(i).value();
        QVERIFY(sample->DATA_RECV().isEmpty());
        QVERIFY(sample->DATA_SEND().isEmpty());
        QVERIFY(!sample->lazyColumnsLive());
        sample->commit();
    }
    {
        RawDb raw(p.path());
        QCOMPARE(CurveBlob::fromBlob(raw.scalar("SELECT DATA_RECV FROM Data_Sample ORDER BY ID").toByteArray()),
                 (QVector<double>{1, 2, 3}));
    }
    const QList<SampleCurve> again = point->collectSampleCurves(true);
    QCOMPARE(again.size(), 2);
    QCOMPARE(again[0].values, first[0].values);
    QCOMPARE(again[1].values, first[1].values);
}

// Stations whose samples are not loaded are read together, each blob once,
// and give the records their sample entities would give, odd stored values
// included.
void tst_StationCurves::readSampleRecordsAsEntitiesDo()
{
    OpenProject p;
    SampleSpec a = withRecv({10, 20, 30}, sendRecord(12, {2, 3}));
    a.type = 3;
    a.sendFs = 25.0;
    a.recvFs = 1e6;
    a.start = 1600000000123LL;
    a.soff = QVector<double>(10, 0.0);
    a.offFs = 1e6;
    SampleSpec skipped = withRecv({7});
    skipped.use = 0;
    SampleSpec b = withRecv({1, 2});
    b.deviceType = 1;
    b.pos = {0.5, 1.5};
    b.use = 2;
    const qint64 first = addStation(p.lib.get(), 1, {a, skipped, b}, 10);
    const qint64 second = addStation(p.lib.get(), 1, {withRecv({4, 5, 6}), withRecv({7, 8}), withRecv({9})}, 20);
    const qint64 unused = addStation(p.lib.get(), 1, {skipped, skipped}, 30);
    const qint64 empty = addStation(p.lib.get(), 1, {}, 40);
    {
        // Values no store writes, as older or foreign files hold them.
        RawDb raw(p.path());
        const QVariantList ids = raw.column(QString("SELECT ID FROM Data_Sample WHERE Data_PointID = %1 ORDER BY ID").arg(second));
        QCOMPARE(ids.size(), 3);
        QVERIFY(raw.exec(QString("UPDATE Data_Sample SET USE = NULL, TYPE = NULL, DATA_SOFF = NULL WHERE ID = %1").arg(ids[0].toLongLong())));
        QVERIFY(raw.exec(QString("UPDATE Data_Sample SET USE = 0.4 WHERE ID = %1").arg(ids[1].toLongLong())));
        QVERIFY(raw.exec(QString("UPDATE Data_Sample SET USE = -1, StartTime = 2.5, SendFs = 'x', DeviceType = '1', "
                                 "DATA_RECV_POS = 'text' WHERE ID = %1").arg(ids[2].toLongLong())));
    }

    HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "1");
    QCOMPARE(points.size(), 4);
    Data_Point unsaved(p.lib.get());
    QList<Data_Point*> stations;
    for (int i = points.size() - 1; i >= 0; --i)
        stations << points.at(i).value();
    stations << nullptr << &unsaved << points.at(0).value();

    QStringList trace;
    p.lib->setStatementTrace(&trace);
    const QVector<QList<SampleRecord>> records = Data_Point::readSampleRecords(stations);
    p.lib->setStatementTrace(nullptr);

    QCOMPARE(records.size(), stations.size());
    const QList<qint64> expectedIds = {empty, unused, second, first};
    for (int i = 0; i < expectedIds.size(); ++i) {
        const QList<SampleRecord> expected = entityRecords(p.lib.get(), expectedIds[i]);
        QCOMPARE(records[i].size(), expected.size());
        for (int k = 0; k < expected.size(); ++k)
            QVERIFY2(sameRecord(records[i][k], expected[k]), qPrintable(QString("station %1 sample %2").arg(i).arg(k)));
        // Nothing was loaded into the stations themselves.
        QVERIFY(!stations[i]->referencesLoaded());
    }
    QCOMPARE(records[0].size(), 0);
    QCOMPARE(records[1].size(), 0);
    // USE NULL is in use, 0.4 is not (it loads as 0), -1 is.
    QCOMPARE(records[2].size(), 2);
    QCOMPARE(records[2][1].deviceType, 1);
    QCOMPARE(records[2][1].recvPos, QByteArray("text"));
    QCOMPARE(records[3].size(), 2);
    QCOMPARE(records[3][1].recvPos, CurveBlob::toBlob({0.5, 1.5}));
    QVERIFY(records[4].isEmpty());
    QVERIFY(records[5].isEmpty());
    QCOMPARE(records[6].size(), 2);
    QVERIFY(sameRecord(records[6][0], records[3][0]));
    // One statement, and the blobs of unused samples stay in the file.
    QCOMPARE(trace.size(), 1);
    QVERIFY2(trace[0].contains("DATA_RECV") && trace[0].contains("USE <> 0"), qPrintable(trace[0]));
}

// Samples already in memory are read through their entities: a value set
// and not yet written wins over the row, and what was not loaded before is
// dropped again.
void tst_StationCurves::readSampleRecordsKeepsUnsavedValues()
{
    OpenProject p;
    addStation(p.lib.get(), 1, {withRecv({1, 2, 3}), withRecv({4, 5})});
    HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "1");
    Data_Point* point = points.at(0).value();
    Data_Sample* edited = point->REF_Data_Sample()->at(0).value();
    edited->setDATA_RECV(CurveBlob::toBlob({9, 9}));
    const QVector<QList<SampleRecord>> records = Data_Point::readSampleRecords({point});
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].size(), 2);
    QCOMPARE(records[0][0].recv, CurveBlob::toBlob({9, 9}));
    QCOMPARE(records[0][1].recv, CurveBlob::toBlob({4, 5}));
    QCOMPARE(edited->DATA_RECV(), CurveBlob::toBlob({9, 9}));
    QVERIFY(edited->isDirty());
    Data_Sample* other = point->REF_Data_Sample()->at(1).value();
    QVERIFY(other->DATA_RECV().isEmpty());
    QVERIFY(!other->lazyColumnsLive());
}

QTEST_GUILESS_MAIN(tst_StationCurves)
#include "tst_stationcurves.moc"
