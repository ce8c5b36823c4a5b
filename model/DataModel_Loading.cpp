#include "model/DataModel.h"

#include <QDateTime>
#include <QDebug>

#include <algorithm>
#include <cmath>

#include "model/Data_Calc.h"
#include "model/Data_Mathematical_Calc.h"
#include "model/TreeItem.h"
#include "store/CurveBlob.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/Data_Project.h"
#include "store/Data_Sample.h"
#include "store/Data_WorkSet.h"

namespace {

QString stationLabel(double name, bool isTimeLine)
{
    // Time lines carry milliseconds since the epoch; anything that cannot be
    // such an instant is shown as a plain number.
    if (isTimeLine && std::isfinite(name) && name >= 0.0 && name < 9.0e15) {
        const qint64 msecs = static_cast<qint64>(std::trunc(name));
        return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz"));
    }
    return QString::number(name, 'f', 1);
}

// Drops the gates whose time or value is not a finite number.
void dropNonFinite(QVector<double>& times, QVector<double>& values)
{
    QVector<double> t, v;
    const int n = std::min(times.size(), values.size());
    t.reserve(n);
    v.reserve(n);
    for (int i = 0; i < n; ++i) {
        if (std::isfinite(times[i]) && std::isfinite(values[i])) {
            t.append(times[i]);
            v.append(values[i]);
        }
    }
    times = t;
    values = v;
}

} // namespace

void DataModel::loadProject(LibHORM* lib)
{
    if (!lib || !lib->database())
        return;
    if (database || lines || projects)
        closeProject();

    database = lib;
    lib->RegisterObject(Data_Project::staticMetaObject);
    lib->RegisterObject(Data_Line::staticMetaObject);
    lib->RegisterObject(Data_Point::staticMetaObject);
    lib->RegisterObject(Data_Sample::staticMetaObject);
    lib->RegisterObject(Data_WorkSet::staticMetaObject);

    projects = new HORM_Collection<Data_Project>(lib);
    if (projects->size() == 0) {
        qDebug() << "No Project is exist !!";
        projects->addNew();
    }

    lines = new HORM_Collection<Data_Line>(lib);
    lines->setOrderBy(QStringLiteral("NAME"));

    lib->transaction();
    buildTree();
    lib->commit();

    lib->transaction();
    for (int l = 0; l < lines->size(); ++l) {
        Data_Line* line = lines->at(l).value();
        if (!line)
            continue;
        HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
        for (int s = 0; stations && s < stations->size(); ++s) {
            if (Data_Point* station = stations->at(s).value())
                preprocessStation(station);
        }
        line->commit();
    }
    lib->commit();

    emit modelChange();
}

void DataModel::buildTree()
{
    // The rows appear all at once; views reset and re-read them.
    beginResetModel();
    for (int l = 0; l < lines->size(); ++l) {
        Data_Line* line = lines->at(l).value();
        if (!line)
            continue;
        line->loadReferences();
        HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
        // Reordering first spares loading every station's samples twice;
        // the calculator they get is the same either way.
        if (stations && sortStationsByName)
            stations->setOrderBy(QStringLiteral("NAME"));
        line->setDataCalc(calc);

        rootItem->insertChildren(rootItem->childCount(), 1, 1);
        TreeItem* lineItem = rootItem->child(rootItem->childCount() - 1);
        lineItem->setData(0, QVariant(line->NAME()));
        lineItem->setChecked(line->USE() != 0);

        if (!stations)
            continue;
        const bool timeLine = line->TYPE() == 1;
        for (int s = 0; s < stations->size(); ++s) {
            Data_Point* station = stations->at(s).value();
            if (!station)
                continue;
            station->loadReferences();
            lineItem->insertChildren(lineItem->childCount(), 1, 1);
            TreeItem* stationItem = lineItem->child(lineItem->childCount() - 1);
            stationItem->setData(0, QVariant(stationLabel(station->NAME(), timeLine)));
            stationItem->setChecked(station->USE() != 0);
        }
    }
    endResetModel();
}

void DataModel::preprocessStation(Data_Point* station)
{
    if (station->IsSampled() == 1 || station->TYPE() == 1)
        return;

    double offTime = station->meanOffTime();
    if (offTime > 1.1 && offTime < 30.0)
        offTime = 64.5;

    QList<SampleCurve> records = station->collectSampleCurves(normaliseByCurrent);
    if (records.isEmpty()) {
        station->releaseSampleBlobs();
        return;
    }
    station->commit();

    QVector<double> values, times;
    calc->stackCurves(records, &values, &times);
    records.clear();
    // The samples' arrays are no longer needed once stacked.
    station->releaseSampleBlobs();
    const int common = std::min(values.size(), times.size());
    values.resize(common);
    times.resize(common);
    if (values.isEmpty() || times.isEmpty())
        return;

    calc->regroupRecords(&values, &times, offTime);
    if (fileSuffix == QLatin1String("MORSA")) {
        for (double& t : times)
            t -= 220.0;
    }

    QVector<double> t18 = times, v18 = values;
    io.QELVA18TimeWindow(&t18, &v18);
    QVector<double> t10 = times, v10 = values;
    io.QVLOG10TimeWindow(&t10, &v10);
    QVector<double> t20 = times, v20 = values;
    io.QVLOG20TimeWindow(&t20, &v20);

    dropNonFinite(t18, v18);
    dropNonFinite(t10, v10);
    dropNonFinite(t20, v20);
    if (fileSuffix == QLatin1String("MORSA"))
        applyMorsaCorrection(t18, v18);

    const QByteArray r18 = CurveBlob::toBlob(v18);
    const QByteArray r10 = CurveBlob::toBlob(v10);
    const QByteArray r20 = CurveBlob::toBlob(v20);
    station->setDATA_RECV_QV18(r18);
    station->setDATA_RECV_QV18RAW(r18);
    station->setDATA_TIMERECV_QV18(CurveBlob::toBlob(t18));
    station->setDATA_RECV_LOG10(r10);
    station->setDATA_RECV_LOG10RAW(r10);
    station->setDATA_TIMERECV_LOG10(CurveBlob::toBlob(t10));
    station->setDATA_RECV_LOG20(r20);
    station->setDATA_RECV_LOG20RAW(r20);
    station->setDATA_TIMERECV_LOG20(CurveBlob::toBlob(t20));
    station->setIsSampled(1);
    station->commit();
}

bool DataModel::applyMorsaCorrection(const QVector<double>& times, QVector<double>& values)
{
    const int n = values.size();
    if (n == 0 || times.size() != n)
        return false;

    // A curve the fit cannot take comes back unchanged, and the blend of a
    // value with itself keeps it.
    QVector<double> fitTimes = times;
    QVector<double> fit = values;
    mathCalc->bsplineFit(fitTimes, fit);
    if (fit.size() != n)
        fit = values;
    for (int i = 0; i < n; ++i) {
        const double blended = 0.85 * fit[i] + 0.15 * values[i];
        fit[i] = std::isfinite(blended) ? blended : values[i];
    }

    // The tail rule reaches eleven gates back, or to the first gate of a
    // shorter curve; a step whose logarithms are not defined keeps the
    // blended value.
    QVector<double> corrected = fit;
    for (int i = std::max(0, n - 11); i <= n - 2; ++i) {
        if (!(fit[i + 1] > fit[i]) || !(fit[i] > 0.0) || !(corrected[i] > 0.0))
            continue;
        const double next = std::pow(10.0, std::log10(corrected[i]) - (std::log10(fit[i + 1]) - std::log10(fit[i])));
        if (std::isfinite(next))
            corrected[i + 1] = next;
    }
    values = corrected;
    return true;
}
