#include "model/DataModel.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFuture>
#include <QSqlQuery>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <vector>

#include "model/Data_Calc.h"
#include "model/Data_Mathematical_Calc.h"
#include "model/TreeItem.h"
#include "model/UserPrompt.h"
#include "store/CurveBlob.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/Data_Project.h"
#include "store/Data_Sample.h"
#include "store/Data_WorkSet.h"
#include "store/SampleRecord.h"

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

QString DataModel::fileInUseText(const QString& path)
{
    return QStringLiteral("工程文件 %1 正被其他程序使用，未能打开工程，请关闭该程序后重新打开。")
        .arg(QDir::toNativeSeparators(path));
}

bool DataModel::loadProject(LibHORM* lib)
{
    if (!lib || !lib->database())
        return false;
    if (database || lines || projects)
        closeProject();

    database = lib;
    // Another program's lock fails every read, each after the busy timeout,
    // and what was read then is only part of the project: the first refusal
    // ends the load.
    int refusedBefore = lib->busyFailures();
    const auto inUse = [&] { return lib->busyFailures() != refusedBefore; };
    // Why the gated curves did not reach the file, when they did not.
    QString notStored;
    bool inTransaction = false;
    bool failed = false;
    bool outOfMemory = false;
    try {
        {
            // One read first, so that a locked file waits out one timeout.
            QSqlQuery probe(*lib->database());
            lib->execute(probe, QStringLiteral("SELECT COUNT(*) FROM sqlite_master"));
        }
        // A project file that lost a table or its keys is damaged: nothing
        // is made in it, and it is read-only from here on; so is one with
        // triggers on its tables.
        if (!inUse())
            lib->registerSchema({&Data_Project::staticMetaObject, &Data_Line::staticMetaObject,
                                 &Data_Point::staticMetaObject, &Data_Sample::staticMetaObject,
                                 &Data_WorkSet::staticMetaObject},
                                 {&Data_WorkSet::staticMetaObject});

        if (!inUse())
            projects = new HORM_Collection<Data_Project>(lib);
        // A count that could not be read is no missing project row.
        if (!inUse() && projects->isComplete() && projects->size() == 0 && !lib->refusesWrites()) {
            qDebug() << "No Project is exist !!";
            projects->addNew();
        }
        if (!inUse()) {
            lines = new HORM_Collection<Data_Line>(lib);
            lines->setOrderBy(QStringLiteral("NAME"));
        }

        if (!inUse()) {
            inTransaction = lib->transaction();
            buildTree();
            lib->commit();
            inTransaction = false;
        }
        if (!inUse()) {
            inTransaction = lib->transaction();
            const int readOnlyBefore = lib->readOnlyFailures();
            const int refused = gatePendingStations();
            // Curves of some stations only are no project to keep.
            if (inUse()) {
                lib->rollback();
            } else {
                // The project was read whole; a COMMIT that a reader keeps
                // from finishing leaves the curves pending in memory.
                const bool committed = lib->commit();
                // A file that may not be written is not written to at all,
                // and the user is told why.
                if (lib->refusesWrites())
                    notStored.clear();
                else if (!committed && inUse())
                    notStored = QStringLiteral("该文件正被其他程序使用");
                else if (lib->readOnlyFailures() != readOnlyBefore)
                    notStored = QStringLiteral("该文件是只读的");
                else if (!committed || refused > 0)
                    notStored = QStringLiteral("该文件拒绝了写入");
                refusedBefore = lib->busyFailures();
            }
            inTransaction = false;
        }
    } catch (const std::bad_alloc&) {
        failed = true;
        outOfMemory = true;
    } catch (...) {
        failed = true;
    }

    if (!failed && !inUse()) {
        applySurvey();
        emit modelChange();
        if (!notStored.isEmpty()) {
            UserPrompt::critical(QStringLiteral("打开工程"),
                                 QStringLiteral("本次处理得到的测点曲线未能写入工程文件 %1（%2）。工程已打开，"
                                                "曲线保留在程序中，没有丢失任何数据。")
                                     .arg(QDir::toNativeSeparators(lib->path()), notStored));
        }
        return true;
    }
    if (inTransaction)
        lib->rollback();
    closeProject();
    const QString title = QStringLiteral("打开工程");
    if (!failed) {
        UserPrompt::critical(title, fileInUseText(lib->path()));
    } else {
        const QString text = outOfMemory
            ? QStringLiteral("加载工程文件 %1 时内存不足，工程未打开，本次计算的曲线均未写入该文件。")
            : QStringLiteral("加载工程文件 %1 时出错，工程未打开，本次计算的曲线均未写入该文件。");
        UserPrompt::critical(title, text.arg(QDir::toNativeSeparators(lib->path())));
    }
    return false;
}

void DataModel::applySurvey()
{
    InversionMethod::Survey survey;
    const Data_Project* project = projects && projects->size() > 0 ? projects->at(0).value() : nullptr;
    if (project) {
        survey = InversionMethod::Survey::fromCoils(project->SendCoil_Len(), project->SendCoil_Width(),
                                                    project->SendCoil_Turns(), project->RecvCoil_Size());
    }
    mathCalc->setSurvey(survey);
    emit signal_SurveyChanged(survey.loopRadius, survey.transmitterTurns, survey.receiverArea);
}

void DataModel::buildTree()
{
    // The rows appear all at once; views reset and re-read them, also when
    // building stops half-way with an exception.
    beginResetModel();
    struct EndReset {
        DataModel* model;
        ~EndReset() { model->endResetModel(); }
    } endReset{this};
    for (int l = 0; l < lines->size(); ++l) {
        Data_Line* line = lines->at(l).value();
        if (!line)
            continue;
        if (sortStationsByName)
            line->setPointOrder(QStringLiteral("NAME"));
        HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
        // The stations' samples are not loaded here: gating reads those of
        // the stations it needs, and a line gets the controller's
        // calculator when it is shown.

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
            lineItem->insertChildren(lineItem->childCount(), 1, 1);
            TreeItem* stationItem = lineItem->child(lineItem->childCount() - 1);
            stationItem->setData(0, QVariant(stationLabel(station->NAME(), timeLine)));
            stationItem->setChecked(station->USE() != 0);
        }
    }
}

int DataModel::gatePendingStations()
{
    int refused = 0;
    QList<Data_Point*> pending;
    for (int l = 0; l < lines->size(); ++l) {
        Data_Line* line = lines->at(l).value();
        HORM_Collection<Data_Point>* stations = line ? line->REF_Data_Point() : nullptr;
        for (int s = 0; stations && s < stations->size(); ++s) {
            Data_Point* station = stations->at(s).value();
            if (station && station->IsSampled() != 1 && station->TYPE() != 1)
                pending.append(station);
        }
    }

    struct Job {
        Data_Point* station = nullptr;
        QList<SampleRecord> samples;
        Drumvelt instrument;
        GatedCurves curves;
        std::exception_ptr failure;
    };
    // A batch keeps every thread busy, but its samples stay within the byte
    // budget once the first station showed how large a station is.
    const int threads = std::max(1, QThreadPool::globalInstance()->maxThreadCount());
    qint64 bytesRead = 0;
    int stationsRead = 0;
    auto batchSize = [&]() {
        if (gatingBatchSize > 0)
            return gatingBatchSize;
        if (stationsRead == 0)
            return 1;
        const qint64 perStation = std::max<qint64>(1, bytesRead / stationsRead);
        return int(std::max<qint64>(1, std::min<qint64>(2 * threads, gatingBatchBytes / perStation)));
    };
    int next = 0;
    auto readBatch = [&]() {
        std::vector<Job> jobs;
        const QList<Data_Point*> batch = pending.mid(next, batchSize());
        next += batch.size();
        const QVector<QList<SampleRecord>> samples = Data_Point::readSampleRecords(batch);
        jobs.resize(batch.size());
        for (int i = 0; i < batch.size(); ++i) {
            jobs[i].station = batch.at(i);
            jobs[i].samples = samples.at(i);
            jobs[i].instrument = io;
            for (const SampleRecord& r : samples.at(i))
                bytesRead += r.recv.size() + r.recvPos.size() + r.send.size() + r.soff.size();
        }
        stationsRead += batch.size();
        return jobs;
    };
    auto startGating = [this](std::vector<Job>& jobs) {
        return QtConcurrent::map(jobs, [this](Job& job) {
            // Rethrown on the loading thread, once the batch is done.
            try {
                if (gatingTestHook)
                    gatingTestHook(GatingStep::Gate);
                job.curves = gateStation(job.samples, job.instrument);
            } catch (...) {
                job.failure = std::current_exception();
            }
            job.samples.clear();
        });
    };

    // While one batch is gated, the next is read and the one before written;
    // no more than two batches' samples are held at a time.
    std::vector<Job> gating = readBatch();
    QFuture<void> running = startGating(gating);
    try {
        while (!gating.empty()) {
            std::vector<Job> following = readBatch();
            running.waitForFinished();
            for (const Job& job : gating) {
                if (job.failure)
                    std::rethrow_exception(job.failure);
            }
            std::vector<Job> done;
            done.swap(gating);
            gating.swap(following);
            if (!gating.empty())
                running = startGating(gating);
            for (const Job& job : done) {
                if (gatingTestHook)
                    gatingTestHook(GatingStep::Store);
                if (!storeGatedCurves(job.station, job.curves))
                    ++refused;
            }
        }
    } catch (...) {
        // The tasks work on the batch being gated: none may outlive it.
        running.waitForFinished();
        throw;
    }

    if (database->refusesWrites())
        return refused;
    for (int l = 0; l < lines->size(); ++l) {
        if (Data_Line* line = lines->at(l).value())
            line->commit();
    }
    return refused;
}

DataModel::GatedCurves DataModel::gateStation(const QList<SampleRecord>& samples, Drumvelt& instrument)
{
    GatedCurves out;
    if (samples.isEmpty())
        return out;
    out.outcome = GatedCurves::NoCurve;

    double offSum = 0.0;
    for (const SampleRecord& sample : samples)
        offSum += sample.offTime(calc);
    double offTime = offSum / samples.size();
    if (offTime > 1.1 && offTime < 30.0)
        offTime = 64.5;

    QList<SampleCurve> records;
    for (const SampleRecord& sample : samples)
        records.append(sample.curve(normaliseByCurrent));
    QVector<double> values, times;
    calc->stackCurves(records, &values, &times);
    records.clear();
    const int common = std::min(values.size(), times.size());
    values.resize(common);
    times.resize(common);
    if (values.isEmpty() || times.isEmpty())
        return out;

    calc->regroupRecords(&values, &times, offTime);
    if (fileSuffix == QLatin1String("MORSA")) {
        for (double& t : times)
            t -= 220.0;
    }

    QVector<double> t18 = times, v18 = values;
    instrument.QELVA18TimeWindow(&t18, &v18);
    QVector<double> t10 = times, v10 = values;
    instrument.QVLOG10TimeWindow(&t10, &v10);
    QVector<double> t20 = times, v20 = values;
    instrument.QVLOG20TimeWindow(&t20, &v20);

    dropNonFinite(t18, v18);
    dropNonFinite(t10, v10);
    dropNonFinite(t20, v20);
    if (fileSuffix == QLatin1String("MORSA"))
        applyMorsaCorrection(t18, v18);

    out.outcome = GatedCurves::Gated;
    out.response18 = CurveBlob::toBlob(v18);
    out.times18 = CurveBlob::toBlob(t18);
    out.response10 = CurveBlob::toBlob(v10);
    out.times10 = CurveBlob::toBlob(t10);
    out.response20 = CurveBlob::toBlob(v20);
    out.times20 = CurveBlob::toBlob(t20);
    return out;
}

bool DataModel::storeGatedCurves(Data_Point* station, const GatedCurves& curves)
{
    // A file that may not be written never is; the curves stay in memory
    // only.
    const bool write = !database->refusesWrites();
    if (curves.outcome == GatedCurves::NoSamples)
        return true;
    if (curves.outcome == GatedCurves::Gated) {
        station->setDATA_RECV_QV18(curves.response18);
        station->setDATA_RECV_QV18RAW(curves.response18);
        station->setDATA_TIMERECV_QV18(curves.times18);
        station->setDATA_RECV_LOG10(curves.response10);
        station->setDATA_RECV_LOG10RAW(curves.response10);
        station->setDATA_TIMERECV_LOG10(curves.times10);
        station->setDATA_RECV_LOG20(curves.response20);
        station->setDATA_RECV_LOG20RAW(curves.response20);
        station->setDATA_TIMERECV_LOG20(curves.times20);
        station->setIsSampled(1);
    }
    return !write || station->commit();
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
