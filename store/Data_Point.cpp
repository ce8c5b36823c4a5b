#include "store/Data_Point.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>

#include "model/Data_Calc.h"
#include "store/CurveBlob.h"
#include "store/Data_Sample.h"

namespace {

// Keeps the entries whose key time lies in [tmin, tmax] (a NaN time stays),
// in order, in one pass. The response is cut in step only when it is as
// long as the times on entry; a shorter one (a stored edit of one window)
// comes back whole. Raw loses entry i whenever it has one; raw entries
// beyond the last time have no key and stay.
void windowFilter(QVector<double>& times, QVector<double>* response, QVector<double>* raw, double tmin, double tmax)
{
    const int n = times.size();
    const bool cutResponse = response && response->size() == n;
    const int rawSize = raw ? raw->size() : 0;
    const int paired = std::min(rawSize, n);
    int kept = 0;
    int keptRaw = 0;
    for (int i = 0; i < n; ++i) {
        const double t = times.at(i);
        if (t < tmin || t > tmax)
            continue;
        times[kept] = t;
        if (cutResponse)
            (*response)[kept] = response->at(i);
        if (i < paired)
            (*raw)[keptRaw++] = raw->at(i);
        ++kept;
    }
    times.resize(kept);
    if (cutResponse)
        response->resize(kept);
    if (raw) {
        for (int i = n; i < rawSize; ++i)
            (*raw)[keptRaw++] = raw->at(i);
        raw->resize(keptRaw);
    }
}

} // namespace

Data_Point::Data_Point(LibHORM* lib, QObject* parent)
    : HORM_BaseObject(lib, parent)
{
}

Data_Point::~Data_Point()
{
    delete m_samples;
}

void Data_Point::setNAME(double value)
{
    m_NAME = value;
    markChanged("NAME");
}

void Data_Point::setUSE(int value)
{
    m_USE = value;
    markChanged("USE");
}

void Data_Point::setNOTE(const QString& value)
{
    m_NOTE = value;
    markChanged("NOTE");
}

void Data_Point::setTYPE(int value)
{
    m_TYPE = value;
    markChanged("TYPE");
}

void Data_Point::setIsSampled(int value)
{
    m_IsSampled = value;
    markChanged("IsSampled");
}

void Data_Point::setData_LineID(qint64 value)
{
    m_Data_LineID = value;
    markChanged("Data_LineID");
}

void Data_Point::setDATA_RECV_QV18(const QByteArray& value)
{
    m_DATA_RECV_QV18 = value;
    markChanged("DATA_RECV_QV18");
}

void Data_Point::setDATA_RECV_QV18RAW(const QByteArray& value)
{
    m_DATA_RECV_QV18RAW = value;
    markChanged("DATA_RECV_QV18RAW");
}

void Data_Point::setDATA_TIMERECV_QV18(const QByteArray& value)
{
    m_DATA_TIMERECV_QV18 = value;
    markChanged("DATA_TIMERECV_QV18");
}

void Data_Point::setDATA_RECV_LOG10(const QByteArray& value)
{
    m_DATA_RECV_LOG10 = value;
    markChanged("DATA_RECV_LOG10");
}

void Data_Point::setDATA_RECV_LOG10RAW(const QByteArray& value)
{
    m_DATA_RECV_LOG10RAW = value;
    markChanged("DATA_RECV_LOG10RAW");
}

void Data_Point::setDATA_TIMERECV_LOG10(const QByteArray& value)
{
    m_DATA_TIMERECV_LOG10 = value;
    markChanged("DATA_TIMERECV_LOG10");
}

void Data_Point::setDATA_RECV_LOG20(const QByteArray& value)
{
    m_DATA_RECV_LOG20 = value;
    markChanged("DATA_RECV_LOG20");
}

void Data_Point::setDATA_RECV_LOG20RAW(const QByteArray& value)
{
    m_DATA_RECV_LOG20RAW = value;
    markChanged("DATA_RECV_LOG20RAW");
}

void Data_Point::setDATA_TIMERECV_LOG20(const QByteArray& value)
{
    m_DATA_TIMERECV_LOG20 = value;
    markChanged("DATA_TIMERECV_LOG20");
}

void Data_Point::setXCoord(double value)
{
    m_XCoord = value;
    markChanged("XCoord");
}

void Data_Point::setYCoord(double value)
{
    m_YCoord = value;
    markChanged("YCoord");
}

void Data_Point::setZCoord(double value)
{
    m_ZCoord = value;
    markChanged("ZCoord");
}

void Data_Point::setHasZCoord(int value)
{
    m_HasZCoord = value;
    markChanged("HasZCoord");
}

HORM_Collection<Data_Sample>* Data_Point::REF_Data_Sample()
{
    loadReferences();
    return m_samples;
}

void Data_Point::resetREF_Data_Sample()
{
    delete m_samples;
    m_samples = new HORM_Collection<Data_Sample>(lib(), QString("%1ID").arg(metaObject()->className()),
                                                 hasStoredKey() ? QString::number(ID()) : QString(), this);
    if (m_calcGiven)
        handDataCalcToSamples();
}

void Data_Point::unpackScheme(const QByteArray& responseBlob, const QByteArray& timeBlob, const QByteArray& rawBlob,
                              QVector<double>& response, QVector<double>& times, QVector<double>& raw,
                              double tmin, double tmax)
{
    response = CurveBlob::fromBlob(responseBlob);
    raw = CurveBlob::fromBlob(rawBlob);
    times = CurveBlob::fromBlob(timeBlob);
    windowFilter(times, &response, &raw, tmin, tmax);
}

void Data_Point::unpackSchemeResponse(const QByteArray& responseBlob, const QByteArray& timeBlob,
                                      QVector<double>& response, double tmin, double tmax)
{
    response = CurveBlob::fromBlob(responseBlob);
    QVector<double> times = CurveBlob::fromBlob(timeBlob);
    windowFilter(times, &response, nullptr, tmin, tmax);
}

void Data_Point::unpackQV18(QVector<double>& response, QVector<double>& times, QVector<double>& raw, double tmin, double tmax)
{
    unpackScheme(m_DATA_RECV_QV18, m_DATA_TIMERECV_QV18, m_DATA_RECV_QV18RAW, response, times, raw, tmin, tmax);
}

void Data_Point::unpackLOG10(QVector<double>& response, QVector<double>& times, QVector<double>& raw, double tmin, double tmax)
{
    unpackScheme(m_DATA_RECV_LOG10, m_DATA_TIMERECV_LOG10, m_DATA_RECV_LOG10RAW, response, times, raw, tmin, tmax);
}

void Data_Point::unpackLOG20(QVector<double>& response, QVector<double>& times, QVector<double>& raw, double tmin, double tmax)
{
    unpackScheme(m_DATA_RECV_LOG20, m_DATA_TIMERECV_LOG20, m_DATA_RECV_LOG20RAW, response, times, raw, tmin, tmax);
}

void Data_Point::unpackQV18Response(QVector<double>& response, double tmin, double tmax)
{
    unpackSchemeResponse(m_DATA_RECV_QV18, m_DATA_TIMERECV_QV18, response, tmin, tmax);
}

void Data_Point::unpackLOG10Response(QVector<double>& response, double tmin, double tmax)
{
    unpackSchemeResponse(m_DATA_RECV_LOG10, m_DATA_TIMERECV_LOG10, response, tmin, tmax);
}

void Data_Point::unpackLOG20Response(QVector<double>& response, double tmin, double tmax)
{
    unpackSchemeResponse(m_DATA_RECV_LOG20, m_DATA_TIMERECV_LOG20, response, tmin, tmax);
}

bool Data_Point::unpackStored(int scheme, QVector<double>& response, QVector<double>& times, QVector<double>& raw)
{
    response.clear();
    times.clear();
    raw.clear();
    const double inf = std::numeric_limits<double>::infinity();
    switch (scheme) {
    case 0:
        unpackQV18(response, times, raw, -inf, inf);
        return true;
    case 1:
        unpackLOG10(response, times, raw, -inf, inf);
        return true;
    case 2:
        unpackLOG20(response, times, raw, -inf, inf);
        return true;
    default:
        return false;
    }
}

bool Data_Point::alignToGates(QVector<double>& response, QVector<double>& times, QVector<double>& raw, bool whole)
{
    if (response.size() == times.size())
        return true;
    // A response longer than its times is damaged: its values cannot be
    // placed. Read as far as the times go; never written back.
    if (response.size() > times.size()) {
        if (whole)
            return false;
        response.resize(times.size());
        return true;
    }
    const int missing = times.size() - response.size();
    if (raw.size() == times.size()) {
        response = raw.mid(0, missing) + response;
        return true;
    }
    if (whole)
        return false;
    times.remove(0, missing);
    if (raw.size() >= missing)
        raw.remove(0, missing);
    else
        raw.clear();
    return true;
}

bool Data_Point::unpackWhole(int scheme, QVector<double>& response, QVector<double>& times, QVector<double>& raw)
{
    if (!unpackStored(scheme, response, times, raw))
        return false;
    // Without readable gate times no value can be placed; a column written
    // from here would replace the stored curve with nothing.
    if (times.isEmpty())
        return false;
    return alignToGates(response, times, raw, true);
}

bool Data_Point::unpackWindow(int scheme, QVector<double>& response, QVector<double>& times, QVector<double>& raw,
                              double tmin, double tmax)
{
    if (!unpackStored(scheme, response, times, raw))
        return false;
    alignToGates(response, times, raw, false);
    // First-computed values beyond the last gate have no time to be kept by.
    if (raw.size() > times.size())
        raw.resize(times.size());
    windowFilter(times, &response, &raw, tmin, tmax);
    return true;
}

double Data_Point::meanOffTime()
{
    double offTime = 0.0;
    double current = 0.0;
    sampleMeans(offTime, current);
    return offTime;
}

double Data_Point::meanSendCurrent()
{
    double offTime = 0.0;
    double current = 0.0;
    sampleMeans(offTime, current);
    return current;
}

HORM_Collection<Data_Sample>* Data_Point::readSampleList()
{
    // A list that an earlier read left short (a lock, say) is read again;
    // one read just now is not: under a lock that would wait twice.
    const bool listedBefore = referencesLoaded() && m_samples;
    HORM_Collection<Data_Sample>* samples = REF_Data_Sample();
    if (listedBefore && samples && !samples->isComplete())
        samples->loadTable(samples->filter(), samples->orderBy());
    return samples;
}

bool Data_Point::sampleMeans(double& offTime, double& sendCurrent)
{
    offTime = 0.0;
    sendCurrent = 0.0;
    HORM_Collection<Data_Sample>* samples = readSampleList();
    if (!samples)
        return false;
    bool read = samples->isComplete();
    double offSum = 0.0;
    int offCount = 0;
    double currentSum = 0.0;
    int currentCount = 0;
    for (int i = 0; i < samples->size(); ++i) {
        Data_Sample* sample = samples->at(i).value();
        if (!sample) {
            read = false;
            continue;
        }
        if (sample->USE() == 0)
            continue;
        // A sample whose blobs were refused or are gone has no current:
        // the station's would be taken from the others, or as none.
        if (!sample->update())
            read = false;
        offSum += sample->offTime();
        ++offCount;
        // A record too short to measure has no current; it must not turn
        // the mean into infinity or NaN.
        const double current = sample->sendCurrent();
        if (!std::isfinite(current) || current == 0.0)
            continue;
        currentSum += current;
        ++currentCount;
    }
    if (offCount > 0)
        offTime = offSum / offCount;
    if (currentCount > 0)
        sendCurrent = currentSum / currentCount;
    return read;
}

QList<SampleCurve> Data_Point::collectSampleCurves(bool normalise, bool* whole)
{
    QList<SampleCurve> curves;
    HORM_Collection<Data_Sample>* samples = readSampleList();
    bool read = samples && samples->isComplete();
    for (int i = 0; samples && i < samples->size(); ++i) {
        Data_Sample* sample = samples->at(i).value();
        if (!sample) {
            read = false;
            continue;
        }
        if (sample->USE() == 0)
            continue;
        if (!sample->update())
            read = false;
        curves.append(sample->sampleCurve(normalise));
    }
    if (whole)
        *whole = read;
    return curves;
}

QVector<QList<SampleRecord>> Data_Point::readSampleRecords(const QList<Data_Point*>& stations)
{
    QVector<QList<SampleRecord>> records(stations.size());
    LibHORM* lib = nullptr;
    QHash<qint64, QVector<int>> unread;
    for (int i = 0; i < stations.size(); ++i) {
        Data_Point* station = stations.at(i);
        if (!station || !station->hasStoredKey())
            continue;
        LibHORM* own = station->lib();
        // Samples in memory may hold values not yet written: those win.
        if (station->referencesLoaded() || !own || !own->database() || (lib && own != lib)) {
            records[i] = station->readLoadedSampleRecords();
            continue;
        }
        lib = own;
        unread[station->ID()].append(i);
    }
    if (unread.isEmpty() || readUnloadedSampleRecords(lib, unread, records))
        return records;
    // The statement failed (a damaged page, say): the entities read what
    // they can, as they would have without it.
    for (const QVector<int>& positions : unread) {
        for (int i : positions)
            records[i] = stations.at(i)->readLoadedSampleRecords();
    }
    return records;
}

QList<SampleRecord> Data_Point::readLoadedSampleRecords()
{
    QList<SampleRecord> records;
    HORM_Collection<Data_Sample>* samples = REF_Data_Sample();
    if (!samples)
        return records;
    for (int i = 0; i < samples->size(); ++i) {
        Data_Sample* sample = samples->at(i).value();
        if (!sample || sample->USE() == 0)
            continue;
        const bool held = sample->lazyColumnsLive();
        sample->update();
        records.append(sample->record());
        if (!held)
            sample->releaseLazyColumns();
    }
    return records;
}

bool Data_Point::readUnloadedSampleRecords(LibHORM* lib, const QHash<qint64, QVector<int>>& unread,
                                           QVector<QList<SampleRecord>>& records)
{
    // The scalars sit behind the blobs in a row: reading any of them reads
    // the whole row, so one statement takes everything.
    static const QStringList kColumns = {"ID", "Data_PointID", "USE", "TYPE", "DeviceType", "SendFs", "RecvFs",
                                         "SampleOffFs", "StartTime", "DATA_RECV", "DATA_RECV_POS", "DATA_SEND",
                                         "DATA_SOFF"};
    const int kFirstBlob = 9;
    QStringList keys;
    keys.reserve(unread.size());
    for (auto it = unread.cbegin(); it != unread.cend(); ++it)
        keys << QString::number(it.key());
    // Without ORDER BY the rows of a station come in the order of its own
    // collection's statement; that order decides the stacking. A USE of
    // exactly 0 is not read; other values are judged below as a loaded
    // sample judges them.
    const QString sql = "SELECT " + lib->selectList("Data_Sample", kColumns).join(", ")
                        + " FROM Data_Sample WHERE Data_PointID IN ("
                        + keys.join(", ") + ") AND (USE IS NULL OR USE <> 0)";
    QSqlQuery query(*lib->database());
    query.setForwardOnly(true);
    bool ok = lib->execute(query, sql);
    QHash<qint64, QList<SampleRecord>> read;
    while (ok && query.next()) {
        // A scratch entity converts the values exactly as a loaded sample
        // would (NULL keeps the default, and so on). Without a database it
        // records no change and needs no lookup of the key.
        Data_Sample sample(nullptr);
        for (int c = 0; c < kFirstBlob; ++c)
            sample.loadColumn(kColumns.at(c), query.value(c));
        if (sample.USE() == 0)
            continue;
        // A row without a usable key is not found by an entity's update:
        // its blobs stay empty.
        for (int c = kFirstBlob; sample.hasStoredKey() && c < kColumns.size(); ++c)
            sample.loadColumn(kColumns.at(c), query.value(c));
        read[sample.Data_PointID()].append(sample.record());
    }
    if (!ok || query.lastError().isValid()) {
        qDebug() << "Data_Point::readSampleRecords" << sql.left(200) << false << query.lastError().text();
        return false;
    }
    for (auto it = unread.cbegin(); it != unread.cend(); ++it) {
        const QList<SampleRecord> station = read.value(it.key());
        for (int i : it.value())
            records[i] = station;
    }
    return true;
}

void Data_Point::setDataCalc(Data_Calc* calc)
{
    m_calc = calc;
    m_calcGiven = true;
    // Samples not listed yet get it once they are: listing them here would
    // read the file for every station of a line that is shown, and under
    // another program's lock wait for each.
    if (referencesLoaded() && m_samples)
        handDataCalcToSamples();
}

void Data_Point::handDataCalcToSamples()
{
    for (int i = 0; i < m_samples->size(); ++i) {
        if (Data_Sample* sample = m_samples->at(i).value())
            sample->setDataCalc(m_calc.data());
    }
}

void Data_Point::releaseSampleBlobs()
{
    if (!referencesLoaded() || !m_samples)
        return;
    for (int i = 0; i < m_samples->size(); ++i) {
        if (Data_Sample* sample = m_samples->at(i).value())
            sample->releaseLazyColumns();
    }
}

Data_Calc* Data_Point::dataCalc() const
{
    return m_calc.data();
}
