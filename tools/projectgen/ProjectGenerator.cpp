#include "tools/projectgen/ProjectGenerator.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "model/Data_Calc.h"
#include "model/SafeInterpolator.h"
#include "tools/projectgen/CentralLoopResponse.h"
#include "store/CurveBlob.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/Data_Project.h"
#include "store/Data_Sample.h"
#include "store/Data_WorkSet.h"
#include "store/HORM_Collection.h"
#include "store/LibHORM.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

bool positiveFinite(double v)
{
    return std::isfinite(v) && v > 0.0;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

qint64 countRows(LibHORM& lib, const char* table)
{
    QSqlQuery query(*lib.database());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

} // namespace

// Received voltage per ampere (V/A) of one earth column on a logarithmic
// time grid, interpolated by a cubic spline in log time and log voltage;
// times off the grid go to the forward model itself.
struct ProjectGenerator::ResponseTable {
    ResponseTable(const EarthColumn& column, double earliest, double latest)
        : model(column.resistivities, column.thicknesses, kLoopRadius, earliest, latest)
    {
        if (!model.isValid())
            return;
        const double step = std::log(10.0) / kResponsePointsPerDecade;
        const double first = std::log(earliest);
        const int count = std::max(4, int(std::ceil((std::log(latest) - first) / step)) + 1);
        QVector<double> lnTimes;
        QVector<double> lnValues;
        for (int k = 0; k < count; ++k) {
            const double lnT = first + k * step;
            const double v = -kReceiverArea * model.dBzDt(std::exp(lnT));
            // A decay stays positive; anything else is not interpolated.
            if (!(v > 0.0) || !std::isfinite(v))
                return;
            lnTimes.append(lnT);
            lnValues.append(std::log(v));
        }
        spline.setData(lnTimes, lnValues, SafeInterpolator::CSpline);
    }

    double perAmpere(double seconds) const
    {
        const double x = seconds > 0.0 ? std::log(seconds) : std::numeric_limits<double>::quiet_NaN();
        if (!spline.contains(x))
            return -kReceiverArea * model.dBzDt(seconds);
        return std::exp(spline.value(x));
    }

    CentralLoopResponse model;
    SafeInterpolator spline;
};

ProjectGenerator::ProjectGenerator()
{
    prepareTurnOff();
}

ProjectGenerator::ProjectGenerator(const Options& options)
    : m_options(options)
{
    prepareTurnOff();
}

ProjectGenerator::~ProjectGenerator() = default;

void ProjectGenerator::setOptions(const Options& options)
{
    m_options = options;
    prepareTurnOff();
    // The time grid follows the record length.
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    m_cache.clear();
}

void ProjectGenerator::prepareTurnOff()
{
    // The receiver's clock is synchronised with the transmitter: the ramp is
    // placed so that the detected turn-off lies on a receiver sample. Where
    // no placement does (odd currents), the last record tried is kept and
    // the decay simply starts at whatever the detection reports.
    const double current = positiveFinite(m_options.current) ? m_options.current : 1.0;
    Data_Calc calc(nullptr);
    QVector<double> record(kTurnOffRecordLength);
    for (int start = 10; start < 60; ++start) {
        for (int j = 0; j < record.size(); ++j) {
            const double t = j * 1.0e6 / kTurnOffRate;
            if (t < start)
                record[j] = current;
            else if (t < start + kRampLength)
                record[j] = current * (1.0 - (t - start) / kRampLength);
            else
                record[j] = 0.0;
        }
        const double off = calc.findSettledIndex(kTurnOffRate, CurveBlob::toBlob(record));
        m_turnOffRecord = record;
        m_turnOff = off;
        if (off > start + kRampLength && std::fmod(off, kSampleInterval) == 0.0)
            break;
    }
}

double ProjectGenerator::timeZero() const
{
    return m_turnOff + (m_options.family == QLatin1String("MORSA") ? kMorsaDelay : 0.0);
}

double ProjectGenerator::sendFrequency() const
{
    const double recordEnd = (timeZero() + m_options.sampleLength * kSampleInterval) * 1e-6;
    double f = 25.0;
    // Off-time (a quarter period) must hold the whole receive record.
    while (0.25 / f < recordEnd && f > 1e-3)
        f *= 0.5;
    return f;
}

bool ProjectGenerator::validate(QString* error) const
{
    const Options& o = m_options;
    if (o.lines < 1 || o.stationsPerLine < 1 || o.samplesPerStation < 1) {
        setError(error, QStringLiteral("lines, stations per line and samples per station must be at least 1"));
        return false;
    }
    // The loading smooths and gates; fewer than a few dozen values give no
    // usable decay.
    if (o.sampleLength < 32 || o.sampleLength > 1000000) {
        setError(error, QStringLiteral("sample length must be between 32 and 1000000 values"));
        return false;
    }
    if (!std::isfinite(o.firstLine) || !positiveFinite(o.lineStep) || !std::isfinite(o.firstStation)
        || !positiveFinite(o.stationSpacing) || !positiveFinite(o.lineSpacing)) {
        setError(error, QStringLiteral("line and station numbers need finite starts and positive steps"));
        return false;
    }
    if (!positiveFinite(o.current)) {
        setError(error, QStringLiteral("the transmitter current must be positive"));
        return false;
    }
    if (o.family != QLatin1String("QELVA") && o.family != QLatin1String("MORSA")) {
        setError(error, QStringLiteral("instrument family must be QELVA or MORSA"));
        return false;
    }
    if (!o.resistivity && (!positiveFinite(o.backgroundResistivity) || !positiveFinite(o.zoneResistivity))) {
        setError(error, QStringLiteral("resistivities must be positive"));
        return false;
    }
    if (!o.backgroundLayers.isEmpty()) {
        bool usable = o.backgroundThicknesses.size() + 1 == o.backgroundLayers.size();
        for (double r : o.backgroundLayers)
            usable = usable && positiveFinite(r);
        for (double h : o.backgroundThicknesses)
            usable = usable && positiveFinite(h);
        if (!usable) {
            setError(error, QStringLiteral("background layers need positive resistivities and one positive "
                                           "thickness for every layer but the last"));
            return false;
        }
    } else if (!o.backgroundThicknesses.isEmpty()) {
        setError(error, QStringLiteral("layer thicknesses need the resistivities of the layers"));
        return false;
    }
    if (!(o.zoneTop >= 0.0) || std::isnan(o.zoneBottom) || !(o.zoneBottom > o.zoneTop)
        || std::isinf(o.zoneTop)) {
        setError(error, QStringLiteral("the zone needs a finite top at or below the ground and a bottom "
                                       "below its top"));
        return false;
    }
    if (!std::isfinite(o.originX) || !std::isfinite(o.originY) || !std::isfinite(o.elevation)) {
        setError(error, QStringLiteral("coordinates must be finite"));
        return false;
    }
    // Every station's model must be usable; a bad custom model is caught here.
    for (double line : lineNumbers()) {
        for (double station : stationNumbers()) {
            bool usable = true;
            for (double r : column(line, station).resistivities)
                usable = usable && positiveFinite(r);
            if (!usable) {
                setError(error, QStringLiteral("resistivity under line %1 station %2 is not positive")
                                    .arg(line).arg(station));
                return false;
            }
        }
    }
    return true;
}

QVector<double> ProjectGenerator::lineNumbers() const
{
    QVector<double> numbers;
    for (int i = 0; i < m_options.lines; ++i)
        numbers.append(m_options.firstLine + i * m_options.lineStep);
    return numbers;
}

QVector<double> ProjectGenerator::stationNumbers() const
{
    QVector<double> numbers;
    for (int i = 0; i < m_options.stationsPerLine; ++i)
        numbers.append(m_options.firstStation + i * m_options.stationSpacing);
    return numbers;
}

double ProjectGenerator::zoneWeight(double lineNo, double stationNo) const
{
    const Options& o = m_options;
    const double eps = 1e-9 * std::max(1.0, std::fabs(lineNo));
    if (std::isfinite(o.zoneFirstLine) && lineNo < o.zoneFirstLine - eps)
        return 0.0;
    if (std::isfinite(o.zoneLastLine) && lineNo > o.zoneLastLine + eps)
        return 0.0;
    const double length = (o.stationsPerLine - 1) * o.stationSpacing;
    const double from = std::isfinite(o.zoneFrom) ? o.zoneFrom : o.firstStation + length / 3.0;
    const double to = std::isfinite(o.zoneTo) ? o.zoneTo : o.firstStation + 2.0 * length / 3.0;
    if (to < from)
        return 0.0;
    // Signed distance into the zone; the taper is centred on its edges.
    const double inside = std::min(stationNo - from, to - stationNo);
    if (!(o.zoneTaper > 0.0))
        return inside >= 0.0 ? 1.0 : 0.0;
    return std::clamp(0.5 + inside / o.zoneTaper, 0.0, 1.0);
}

ProjectGenerator::EarthColumn ProjectGenerator::column(double lineNo, double stationNo) const
{
    const Options& o = m_options;
    EarthColumn c;
    if (o.resistivity) {
        c.resistivities = {o.resistivity(lineNo, stationNo)};
        return c;
    }
    if (o.backgroundLayers.isEmpty()) {
        c.resistivities = {o.backgroundResistivity};
    } else {
        c.resistivities = o.backgroundLayers;
        c.thicknesses = o.backgroundThicknesses;
    }
    const double w = zoneWeight(lineNo, stationNo);
    if (!(w > 0.0))
        return c;

    // Split the layers at the zone's top and bottom, then blend the layers
    // between them toward the zone in log resistivity.
    EarthColumn split;
    double top = 0.0;
    for (int i = 0; i < c.resistivities.size(); ++i) {
        const bool basement = i == c.resistivities.size() - 1;
        const double bottom = basement ? std::numeric_limits<double>::infinity() : top + c.thicknesses[i];
        double from = top;
        for (double cut : {o.zoneTop, o.zoneBottom}) {
            if (cut > from && cut < bottom && std::isfinite(cut)) {
                split.resistivities.append(c.resistivities[i]);
                split.thicknesses.append(cut - from);
                from = cut;
            }
        }
        split.resistivities.append(c.resistivities[i]);
        if (!basement)
            split.thicknesses.append(bottom - from);
        top = bottom;
    }
    double depth = 0.0;
    for (int i = 0; i < split.resistivities.size(); ++i) {
        // The layer lies inside the zone when its top does (layers end on
        // the zone's edges).
        if (depth >= o.zoneTop && depth < o.zoneBottom) {
            split.resistivities[i] = std::exp((1.0 - w) * std::log(split.resistivities[i])
                                              + w * std::log(o.zoneResistivity));
        }
        if (i < split.thicknesses.size())
            depth += split.thicknesses[i];
    }
    return split;
}

double ProjectGenerator::resistivity(double lineNo, double stationNo) const
{
    const EarthColumn c = column(lineNo, stationNo);
    return c.resistivities.isEmpty() ? std::numeric_limits<double>::quiet_NaN() : c.resistivities.first();
}

QVector<double> ProjectGenerator::sendRecord() const
{
    const int n = kSendRecordLength;
    const double period = 1.0 / sendFrequency();
    const double quarter = period / 4.0;
    QVector<double> s(n);
    for (int k = 0; k < n; ++k) {
        const double t = k * period / n;
        double value = 0.0;
        if (t < quarter)
            value = m_options.current * (1.0 - std::exp(-t / kLoopTimeConstant));
        else if (t >= 2.0 * quarter && t < 3.0 * quarter)
            value = -m_options.current * (1.0 - std::exp(-(t - 2.0 * quarter) / kLoopTimeConstant));
        s[k] = value;
    }
    return s;
}

std::shared_ptr<const ProjectGenerator::ResponseTable> ProjectGenerator::responseTable(
    const EarthColumn& column) const
{
    std::vector<double> key(column.resistivities.cbegin(), column.resistivities.cend());
    key.insert(key.end(), column.thicknesses.cbegin(), column.thicknesses.cend());
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    std::shared_ptr<const ResponseTable>& entry = m_cache[key];
    if (!entry) {
        // From 1 us (the earliest a gate's window reaches) to past the
        // record's end.
        const double latest = (std::max(0, m_options.sampleLength) + 10) * kSampleInterval * 1e-6;
        entry = std::make_shared<const ResponseTable>(column, 1e-6, std::max(latest, 1e-4));
    }
    return entry;
}

double ProjectGenerator::modelResponse(double timeUs, const EarthColumn& column) const
{
    return m_options.current * responseTable(column)->perAmpere(timeUs * 1e-6);
}

double ProjectGenerator::modelResponse(double timeUs, double rho) const
{
    EarthColumn c;
    c.resistivities = {rho};
    return modelResponse(timeUs, c);
}

QVector<double> ProjectGenerator::receiveRecord(const EarthColumn& column) const
{
    const std::shared_ptr<const ResponseTable> table = responseTable(column);
    const double scale = kReceiverGain * m_options.current;
    const double zero = timeZero();
    const double clipped = scale * table->perAmpere(kSampleInterval * 1e-6);
    QVector<double> values(std::max(0, m_options.sampleLength));
    for (int i = 0; i < values.size(); ++i) {
        const double decayTime = kSampleInterval * (i + 1) - zero;
        values[i] = decayTime >= kSampleInterval ? scale * table->perAmpere(decayTime * 1e-6) : clipped;
    }
    return values;
}

QVector<double> ProjectGenerator::receiveRecord(double rho) const
{
    EarthColumn c;
    c.resistivities = {rho};
    return receiveRecord(c);
}

bool ProjectGenerator::write(const QString& path, QString* error) const
{
    if (!validate(error))
        return false;
    const QFileInfo info(path);
    if (info.suffix() != m_options.family) {
        setError(error, QStringLiteral("a %1 project needs the suffix .%1: %2").arg(m_options.family, path));
        return false;
    }
    if (info.exists()) {
        setError(error, QStringLiteral("%1 exists already").arg(path));
        return false;
    }

    bool written = false;
    {
        LibHORM lib;
        if (lib.open(path))
            written = writeRows(lib, path, error);
        else
            setError(error, QStringLiteral("cannot create %1").arg(path));
    }
    // A half-written project is of no use; the file was not there before.
    if (!written)
        QFile::remove(path);
    return written;
}

bool ProjectGenerator::writeRows(LibHORM& lib, const QString& path, QString* error) const
{
    lib.RegisterObject(Data_Project::staticMetaObject);
    lib.RegisterObject(Data_Line::staticMetaObject);
    lib.RegisterObject(Data_Point::staticMetaObject);
    lib.RegisterObject(Data_Sample::staticMetaObject);
    lib.RegisterObject(Data_WorkSet::staticMetaObject);

    const Options& o = m_options;
    const QVector<double> lines = lineNumbers();
    const QVector<double> stations = stationNumbers();
    const double loopSide = std::sqrt(kPi) * kLoopRadius;
    const double frequency = sendFrequency();
    const QByteArray sendBlob = CurveBlob::toBlob(sendRecord());
    const QByteArray offBlob = CurveBlob::toBlob(m_turnOffRecord);
    const QByteArray lengthBlob = CurveBlob::toBlob(QVector<double>{double(o.sampleLength)});

    lib.transaction();
    HORM_Collection<Data_Project> projects(&lib);
    if (Data_Project* p = projects.addNew().value()) {
        p->setWorkConfig(1);
        p->setLineNoStart(o.firstLine);
        p->setLineNoSetp(o.lineStep);
        p->setPointNoStart(o.firstStation);
        p->setPointNoStep(o.stationSpacing);
        p->setSendCoil_Len(loopSide);
        p->setSendCoil_Width(loopSide);
        p->setSendCoil_Turns(1.0);
        p->setRecvCoil_Size(kReceiverArea);
        p->setRecvCoil_Gain(kReceiverGain);
        p->setOffTime(m_turnOff);
        p->setPointLen_D(o.stationSpacing);
        p->setPointLen_R(o.lineSpacing);
        QString background = QStringLiteral("half-space %1 ohm-m").arg(o.backgroundResistivity);
        if (!o.backgroundLayers.isEmpty()) {
            QStringList layers;
            for (int i = 0; i < o.backgroundLayers.size(); ++i) {
                layers << (i < o.backgroundThicknesses.size()
                               ? QStringLiteral("%1 ohm-m %2 m").arg(o.backgroundLayers[i]).arg(o.backgroundThicknesses[i])
                               : QStringLiteral("%1 ohm-m").arg(o.backgroundLayers[i]));
            }
            background = QStringLiteral("layers %1").arg(layers.join(QStringLiteral(" over ")));
        }
        p->setNOTE(QStringLiteral("synthetic project: %1, conductive zone %2 ohm-m").arg(background).arg(o.zoneResistivity));
        p->commit();
    }
    int workSetId = -1;
    HORM_Collection<Data_WorkSet> workSets(&lib);
    if (Data_WorkSet* w = workSets.addNew().value()) {
        w->setWorkConfig(1);
        w->setSendCoil_Len(loopSide);
        w->setSendCoil_Width(loopSide);
        w->setSendCoil_Turns(1.0);
        w->setRecvCoil_Size(kReceiverArea);
        w->setRecvCoil_Gain(kReceiverGain);
        w->setNOTE(QStringLiteral("central loop"));
        w->commit();
        workSetId = w->ID();
    }
    lib.commit();

    // Samples go in through one prepared statement with bound blobs: the
    // bulk of the file, and every sample of a station shares its record.
    QSqlQuery insertSample(*lib.database());
    if (!insertSample.prepare(QStringLiteral(
            "INSERT INTO Data_Sample (StartTime, DeviceType, TYPE, PERIOD, SendFs, RecvFs, DATA_RECV, "
            "DATA_RECV_POS, DATA_RECV_LEN, SampleSendFs, DATA_SEND, SampleOffFs, DATA_SOFF, USE, NOTE, "
            "Data_WorkSetID, Data_PointID) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))) {
        setError(error, QStringLiteral("cannot write samples into %1").arg(path));
        return false;
    }
    insertSample.bindValue(1, 2);                     // DeviceType
    insertSample.bindValue(2, 0);                     // TYPE
    insertSample.bindValue(3, qRound(1000.0 / frequency));
    insertSample.bindValue(4, frequency);
    insertSample.bindValue(5, kReceiverRate);
    insertSample.bindValue(7, QByteArray(""));        // an empty blob, not NULL
    insertSample.bindValue(8, lengthBlob);
    insertSample.bindValue(9, kSendRecordLength * frequency);
    insertSample.bindValue(10, sendBlob);
    insertSample.bindValue(11, kTurnOffRate);
    insertSample.bindValue(12, offBlob);
    insertSample.bindValue(13, 1);                    // USE
    insertSample.bindValue(14, QStringLiteral(""));
    insertSample.bindValue(15, workSetId);

    HORM_Collection<Data_Line> lineRows(&lib);
    for (int l = 0; l < lines.size(); ++l) {
        lib.transaction();
        Data_Line* line = lineRows.addNew().value();
        if (!line || line->ID() < 0) {
            lib.rollback();
            setError(error, QStringLiteral("cannot write line %1 into %2").arg(lines[l]).arg(path));
            return false;
        }
        line->setNAME(lines[l]);
        line->setTYPE(0);
        line->setUSE(1);
        line->commit();

        HORM_Collection<Data_Point>* points = line->REF_Data_Point();
        for (int s = 0; points && s < stations.size(); ++s) {
            Data_Point* point = points->addNew().value();
            if (!point)
                continue;
            const double x = stations[s];
            point->setNAME(x);
            point->setUSE(1);
            point->setTYPE(0);
            point->setIsSampled(-1);
            if (o.coordinates) {
                point->setXCoord(o.originX + x);
                point->setYCoord(o.originY + l * o.lineSpacing);
                point->setZCoord(o.elevation + 6.0 * std::sin(x / 150.0) + 2.0 * l);
                point->setHasZCoord(1);
            }
            point->commit();

            // One record per station, shared by its samples.
            const QByteArray recvBlob = CurveBlob::toBlob(receiveRecord(column(lines[l], x)));
            for (int k = 0; k < o.samplesPerStation; ++k) {
                insertSample.bindValue(0, o.startTime + l * 3600000LL + s * 120000LL + k * 20000LL);
                insertSample.bindValue(6, recvBlob);
                insertSample.bindValue(16, point->ID());
                if (!insertSample.exec()) {
                    lib.rollback();
                    setError(error, QStringLiteral("cannot write the samples of line %1 station %2 into %3")
                                        .arg(lines[l]).arg(x).arg(path));
                    return false;
                }
            }
        }
        lib.commit();
    }

    const qint64 expectedSamples = qint64(o.lines) * o.stationsPerLine * o.samplesPerStation;
    if (countRows(lib, "Data_Line") != o.lines
        || countRows(lib, "Data_Point") != qint64(o.lines) * o.stationsPerLine
        || countRows(lib, "Data_Sample") != expectedSamples) {
        setError(error, QStringLiteral("writing %1 failed (see the debug log)").arg(path));
        return false;
    }
    return true;
}
