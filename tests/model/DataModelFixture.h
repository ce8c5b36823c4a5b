#ifndef HW_TESTS_MODEL_DATAMODELFIXTURE_H
#define HW_TESTS_MODEL_DATAMODELFIXTURE_H

// Small project files for the controller tests, written through the store:
// lines, stations and samples with receive, send and turn-off records, or
// stations that already hold gated curves.

#include <QList>
#include <QString>
#include <QVector>

#include <cmath>

#include "model/DataModel.h"
#include "store/CurveBlob.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/Data_Project.h"
#include "store/Data_Sample.h"
#include "store/Data_WorkSet.h"
#include "store/HORM_Collection.h"
#include "store/LibHORM.h"

namespace dmtest {

struct SampleDef {
    int use = 1;
    QVector<double> recv;     // one value every 10 us from 10 us
    QVector<double> send;
    QVector<double> soff;
    double offRate = 1.0e6;
};

struct StationDef {
    double name = 0.0;
    int use = 1;
    int type = 0;
    QList<SampleDef> samples;
    // Stations with gated curves already (IsSampled 1); one scheme each.
    bool gated = false;
    QVector<double> response;
    QVector<double> raw;
    QVector<double> times;
};

struct LineDef {
    double name = 0.0;
    int use = 1;
    int type = 0;
    QList<StationDef> stations;
};

// A decay of a conductive half-space-like shape, positive everywhere.
inline QVector<double> decay(int n, double scale = 1.0e5, double power = 1.5)
{
    QVector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = scale * std::pow((i + 1) * 10.0, -power);
    return v;
}

// A send record of a bipolar square wave of amplitude a.
inline QVector<double> squareWave(int n = 16, double a = 5.0)
{
    QVector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = i < n / 2 ? a : -a;
    return v;
}

// Turn-off record: all zeros settles at the first window (2 samples in, so
// 2e6 / rate microseconds); all ones never settles (0.0).
inline QVector<double> quietRecord(int n = 20) { return QVector<double>(n, 0.0); }
inline QVector<double> busyRecord(int n = 20) { return QVector<double>(n, 1.0); }

inline SampleDef sample(const QVector<double>& recv, const QVector<double>& soff, double offRate = 1.0e6, int use = 1)
{
    SampleDef s;
    s.use = use;
    s.recv = recv;
    s.send = squareWave();
    s.soff = soff;
    s.offRate = offRate;
    return s;
}

inline StationDef rawStation(double name, const QList<SampleDef>& samples, int use = 1, int type = 0)
{
    StationDef s;
    s.name = name;
    s.use = use;
    s.type = type;
    s.samples = samples;
    return s;
}

inline StationDef gatedStation(double name, const QVector<double>& times, const QVector<double>& response,
                                const QVector<double>& raw, int use = 1)
{
    StationDef s;
    s.name = name;
    s.use = use;
    s.gated = true;
    s.times = times;
    s.response = response;
    s.raw = raw;
    return s;
}

inline LineDef line(double name, const QList<StationDef>& stations, int type = 0, int use = 1)
{
    LineDef l;
    l.name = name;
    l.type = type;
    l.use = use;
    l.stations = stations;
    return l;
}

// Writes a project file at path in the order given (not sorted).
inline bool writeProject(const QString& path, const QList<LineDef>& lines, bool withProjectRow = true)
{
    LibHORM lib;
    if (!lib.open(path))
        return false;
    lib.RegisterObject(Data_Project::staticMetaObject);
    lib.RegisterObject(Data_Line::staticMetaObject);
    lib.RegisterObject(Data_Point::staticMetaObject);
    lib.RegisterObject(Data_Sample::staticMetaObject);
    lib.RegisterObject(Data_WorkSet::staticMetaObject);
    lib.transaction();
    if (withProjectRow) {
        HORM_Collection<Data_Project> projects(&lib);
        projects.addNew();
    }
    HORM_Collection<Data_Line> lineRows(&lib);
    for (const LineDef& ls : lines) {
        Data_Line* l = lineRows.addNew().value();
        l->setNAME(ls.name);
        l->setTYPE(ls.type);
        l->setUSE(ls.use);
        l->commit();
        for (const StationDef& ss : ls.stations) {
            Data_Point* p = l->REF_Data_Point()->addNew().value();
            p->setNAME(ss.name);
            p->setUSE(ss.use);
            p->setTYPE(ss.type);
            if (ss.gated) {
                // The same curve on all three schemes keeps the fixture small.
                const QByteArray r = CurveBlob::toBlob(ss.response);
                const QByteArray w = CurveBlob::toBlob(ss.raw);
                const QByteArray t = CurveBlob::toBlob(ss.times);
                p->setDATA_RECV_QV18(r);
                p->setDATA_RECV_QV18RAW(w);
                p->setDATA_TIMERECV_QV18(t);
                p->setDATA_RECV_LOG10(r);
                p->setDATA_RECV_LOG10RAW(w);
                p->setDATA_TIMERECV_LOG10(t);
                p->setDATA_RECV_LOG20(r);
                p->setDATA_RECV_LOG20RAW(w);
                p->setDATA_TIMERECV_LOG20(t);
                p->setIsSampled(1);
            }
            p->commit();
            for (const SampleDef& sp : ss.samples) {
                Data_Sample* s = p->REF_Data_Sample()->addNew().value();
                s->setUSE(sp.use);
                s->setDeviceType(0);
                s->setSampleOffFs(sp.offRate);
                s->setDATA_RECV(CurveBlob::toBlob(sp.recv));
                s->setDATA_RECV_POS(QByteArray());
                s->setDATA_RECV_LEN(QByteArray());
                s->setDATA_SEND(CurveBlob::toBlob(sp.send));
                s->setDATA_SOFF(CurveBlob::toBlob(sp.soff));
                s->commit();
            }
        }
    }
    lib.commit();
    return true;
}

// Opens the project through a model and closes it again; the first load
// gates every station, later loads only read. False when the file does not
// open.
inline bool loadOnce(const QString& path)
{
    LibHORM lib;
    if (!lib.open(path))
        return false;
    DataModel model;
    model.setFileSuffix("QELVA");
    model.loadProject(&lib);
    model.closeProject();
    return true;
}

} // namespace dmtest

#endif // HW_TESTS_MODEL_DATAMODELFIXTURE_H
