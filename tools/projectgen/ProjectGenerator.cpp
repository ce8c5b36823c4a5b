#include "tools/projectgen/ProjectGenerator.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "model/Data_Calc.h"
#include "platform/inversion/InversionMethod.h"
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

ProjectGenerator::ProjectGenerator()
{
    prepareTurnOff();
}

ProjectGenerator::ProjectGenerator(const Options& options)
    : m_options(options)
{
    prepareTurnOff();
}

void ProjectGenerator::setOptions(const Options& options)
{
    m_options = options;
    prepareTurnOff();
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
    if (!std::isfinite(o.originX) || !std::isfinite(o.originY) || !std::isfinite(o.elevation)) {
        setError(error, QStringLiteral("coordinates must be finite"));
        return false;
    }
    // Every station's model must be usable; a bad custom model is caught here.
    for (double line : lineNumbers()) {
        for (double station : stationNumbers()) {
            if (!positiveFinite(resistivity(line, station))) {
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

double ProjectGenerator::resistivity(double lineNo, double stationNo) const
{
    if (m_options.resistivity)
        return m_options.resistivity(lineNo, stationNo);
    const double w = zoneWeight(lineNo, stationNo);
    const double logRho = (1.0 - w) * std::log(m_options.backgroundResistivity)
        + w * std::log(m_options.zoneResistivity);
    return std::exp(logRho);
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

double ProjectGenerator::modelResponse(double timeUs, double rho) const
{
    return InversionMethod::receivedVoltage(timeUs * 1e-6, rho, m_options.current);
}

QVector<double> ProjectGenerator::receiveRecord(double rho) const
{
    const double zero = timeZero();
    const double clipped = kReceiverGain * modelResponse(kSampleInterval, rho);
    QVector<double> values(std::max(0, m_options.sampleLength));
    for (int i = 0; i < values.size(); ++i) {
        const double decayTime = kSampleInterval * (i + 1) - zero;
        values[i] = decayTime >= kSampleInterval ? kReceiverGain * modelResponse(decayTime, rho) : clipped;
    }
    return values;
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
    const double loopSide = std::sqrt(kPi) * InversionMethod::kLoopRadius;
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
        p->setRecvCoil_Size(InversionMethod::kReceiverArea);
        p->setRecvCoil_Gain(kReceiverGain);
        p->setOffTime(m_turnOff);
        p->setPointLen_D(o.stationSpacing);
        p->setPointLen_R(o.lineSpacing);
        p->setNOTE(QStringLiteral("synthetic project: half-space %1 ohm-m, conductive zone %2 ohm-m")
                       .arg(o.backgroundResistivity).arg(o.zoneResistivity));
        p->commit();
    }
    int workSetId = -1;
    HORM_Collection<Data_WorkSet> workSets(&lib);
    if (Data_WorkSet* w = workSets.addNew().value()) {
        w->setWorkConfig(1);
        w->setSendCoil_Len(loopSide);
        w->setSendCoil_Width(loopSide);
        w->setSendCoil_Turns(1.0);
        w->setRecvCoil_Size(InversionMethod::kReceiverArea);
        w->setRecvCoil_Gain(kReceiverGain);
        w->setNOTE(QStringLiteral("central loop"));
        w->commit();
        workSetId = w->ID();
    }
    lib.commit();

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

            const QByteArray recvBlob = CurveBlob::toBlob(receiveRecord(resistivity(lines[l], x)));
            HORM_Collection<Data_Sample>* samples = point->REF_Data_Sample();
            for (int k = 0; samples && k < o.samplesPerStation; ++k) {
                Data_Sample* sample = samples->addNew().value();
                if (!sample)
                    continue;
                sample->setStartTime(o.startTime + l * 3600000LL + s * 120000LL + k * 20000LL);
                sample->setDeviceType(2);
                sample->setTYPE(0);
                sample->setPERIOD(qRound(1000.0 / frequency));
                sample->setSendFs(frequency);
                sample->setRecvFs(kReceiverRate);
                sample->setDATA_RECV(recvBlob);
                sample->setDATA_RECV_POS(QByteArray());
                sample->setDATA_RECV_LEN(lengthBlob);
                sample->setSampleSendFs(kSendRecordLength * frequency);
                sample->setDATA_SEND(sendBlob);
                sample->setSampleOffFs(kTurnOffRate);
                sample->setDATA_SOFF(offBlob);
                sample->setUSE(1);
                sample->setData_WorkSetID(workSetId);
                sample->commit();
                // The written arrays need not stay in memory.
                sample->releaseLazyColumns();
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
