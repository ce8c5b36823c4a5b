#include "store/Data_Sample.h"

#include "model/Data_Calc.h"

Data_Sample::Data_Sample(LibHORM* lib, QObject* parent)
    : HORM_BaseObject(lib, parent)
{
}

Data_Sample::~Data_Sample() = default;

void Data_Sample::setStartTime(qlonglong value)
{
    m_StartTime = value;
    markChanged("StartTime");
}

void Data_Sample::setDeviceType(int value)
{
    m_DeviceType = value;
    markChanged("DeviceType");
}

void Data_Sample::setTYPE(int value)
{
    m_TYPE = value;
    markChanged("TYPE");
}

void Data_Sample::setPERIOD(int value)
{
    m_PERIOD = value;
    markChanged("PERIOD");
}

void Data_Sample::setSendFs(double value)
{
    m_SendFs = value;
    markChanged("SendFs");
}

void Data_Sample::setRecvFs(double value)
{
    m_RecvFs = value;
    markChanged("RecvFs");
}

void Data_Sample::setDATA_RECV(const QByteArray& value)
{
    m_DATA_RECV = value;
    markChanged("DATA_RECV");
}

void Data_Sample::setDATA_RECV_POS(const QByteArray& value)
{
    m_DATA_RECV_POS = value;
    markChanged("DATA_RECV_POS");
}

void Data_Sample::setDATA_RECV_LEN(const QByteArray& value)
{
    m_DATA_RECV_LEN = value;
    markChanged("DATA_RECV_LEN");
}

void Data_Sample::setSampleSendFs(double value)
{
    m_SampleSendFs = value;
    markChanged("SampleSendFs");
}

void Data_Sample::setDATA_SEND(const QByteArray& value)
{
    m_DATA_SEND = value;
    markChanged("DATA_SEND");
}

void Data_Sample::setSampleOffFs(double value)
{
    m_SampleOffFs = value;
    markChanged("SampleOffFs");
}

void Data_Sample::setDATA_SOFF(const QByteArray& value)
{
    m_DATA_SOFF = value;
    markChanged("DATA_SOFF");
}

void Data_Sample::setUSE(int value)
{
    m_USE = value;
    markChanged("USE");
}

void Data_Sample::setNOTE(const QString& value)
{
    m_NOTE = value;
    markChanged("NOTE");
}

void Data_Sample::setData_PointID(qint64 value)
{
    m_Data_PointID = value;
    markChanged("Data_PointID");
}

void Data_Sample::setData_WorkSetID(qint64 value)
{
    m_Data_WorkSetID = value;
    markChanged("Data_WorkSetID");
}

Data_Calc* Data_Sample::dataCalc()
{
    if (m_calcReplaced)
        return m_calc.data();
    if (!m_ownCalc)
        m_ownCalc.reset(new Data_Calc(nullptr));
    return m_ownCalc.get();
}

void Data_Sample::setDataCalc(Data_Calc* calc)
{
    m_calc = calc;
    m_calcReplaced = true;
    m_ownCalc.reset();
}

double Data_Sample::offTime()
{
    return record().offTime(dataCalc());
}

double Data_Sample::sendCurrent() const
{
    return record().sendCurrent();
}

void Data_Sample::unpackRecv(QVector<double>& values, QVector<double>& times, bool normalise) const
{
    record().unpackRecv(values, times, normalise);
}

SampleCurve Data_Sample::sampleCurve(bool normalise) const
{
    return record().curve(normalise);
}

SampleRecord Data_Sample::record() const
{
    SampleRecord r;
    r.type = m_TYPE;
    r.deviceType = m_DeviceType;
    r.sendRate = m_SendFs;
    r.recvRate = m_RecvFs;
    r.offRate = m_SampleOffFs;
    r.startTime = m_StartTime;
    r.recv = m_DATA_RECV;
    r.recvPos = m_DATA_RECV_POS;
    r.send = m_DATA_SEND;
    r.soff = m_DATA_SOFF;
    return r;
}

void Data_Sample::splitSendRecv(SendRecord& send, RecvRecord& recv) const
{
    send.SendFs = m_SendFs;
    send.SampleSendFs = m_SampleSendFs;
    send.DATA_SEND = m_DATA_SEND;
    send.SampleOffFs = m_SampleOffFs;
    send.DATA_SOFF = m_DATA_SOFF;
    recv.RecvFs = m_RecvFs;
    recv.DATA_RECV = m_DATA_RECV;
}
