#ifndef HW_STORE_DATA_SAMPLE_H
#define HW_STORE_DATA_SAMPLE_H

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QVector>

#include <memory>

#include "store/HORM_BaseObject.h"
#include "store/SampleCurve.h"
#include "store/SampleRecord.h"

class Data_Calc;

// Copies of a sample's send-side fields.
struct SendRecord {
    double SendFs = 0.0;
    double SampleSendFs = 0.0;
    QByteArray DATA_SEND;
    double SampleOffFs = 0.0;
    QByteArray DATA_SOFF;
};

// Copies of a sample's receive-side fields.
struct RecvRecord {
    double RecvFs = 0.0;
    QByteArray DATA_RECV;
};

// One recorded acquisition at a station. Its five blobs are on-demand
// columns: empty until update() loads them.
class Data_Sample : public HORM_BaseObject
{
    Q_OBJECT
    Q_PROPERTY(qlonglong StartTime READ StartTime WRITE setStartTime)
    Q_PROPERTY(int DeviceType READ DeviceType WRITE setDeviceType)
    Q_PROPERTY(int TYPE READ TYPE WRITE setTYPE)
    Q_PROPERTY(int PERIOD READ PERIOD WRITE setPERIOD)
    Q_PROPERTY(double SendFs READ SendFs WRITE setSendFs)
    Q_PROPERTY(double RecvFs READ RecvFs WRITE setRecvFs)
    Q_PROPERTY(QByteArray DATA_RECV READ DATA_RECV WRITE setDATA_RECV)
    Q_PROPERTY(QByteArray DATA_RECV_POS READ DATA_RECV_POS WRITE setDATA_RECV_POS)
    Q_PROPERTY(QByteArray DATA_RECV_LEN READ DATA_RECV_LEN WRITE setDATA_RECV_LEN)
    Q_PROPERTY(double SampleSendFs READ SampleSendFs WRITE setSampleSendFs)
    Q_PROPERTY(QByteArray DATA_SEND READ DATA_SEND WRITE setDATA_SEND)
    Q_PROPERTY(double SampleOffFs READ SampleOffFs WRITE setSampleOffFs)
    Q_PROPERTY(QByteArray DATA_SOFF READ DATA_SOFF WRITE setDATA_SOFF)
    Q_PROPERTY(int USE READ USE WRITE setUSE)
    Q_PROPERTY(QString NOTE READ NOTE WRITE setNOTE)
    Q_PROPERTY(qint64 Data_PointID READ Data_PointID WRITE setData_PointID)
    Q_PROPERTY(qint64 Data_WorkSetID READ Data_WorkSetID WRITE setData_WorkSetID)
    Q_CLASSINFO("StartTime", "DB")
    Q_CLASSINFO("DeviceType", "DB")
    Q_CLASSINFO("TYPE", "DB")
    Q_CLASSINFO("PERIOD", "DB")
    Q_CLASSINFO("DATA_RECV", "DB")
    Q_CLASSINFO("DATA_RECV_POS", "DB")
    Q_CLASSINFO("DATA_RECV_LEN", "DB")
    Q_CLASSINFO("DATA_SEND", "DB")
    Q_CLASSINFO("DATA_SOFF", "DB")
    Q_CLASSINFO("SendFs", "DB")
    Q_CLASSINFO("SampleSendFs", "DB")
    Q_CLASSINFO("SampleOffFs", "DB")
    Q_CLASSINFO("RecvFs", "DB")
    Q_CLASSINFO("USE", "DB")
    Q_CLASSINFO("NOTE", "DB")
    Q_CLASSINFO("Data_PointID", "DB")
    Q_CLASSINFO("Data_PointID", "DB_INDEX")
    Q_CLASSINFO("Data_WorkSetID", "DB")
    Q_CLASSINFO("DATA_RECV", "DB_GetOnUse")
    Q_CLASSINFO("DATA_RECV_POS", "DB_GetOnUse")
    Q_CLASSINFO("DATA_RECV_LEN", "DB_GetOnUse")
    Q_CLASSINFO("DATA_SEND", "DB_GetOnUse")
    Q_CLASSINFO("DATA_SOFF", "DB_GetOnUse")

public:
    explicit Data_Sample(LibHORM* lib, QObject* parent = nullptr);
    ~Data_Sample() override;

    qlonglong StartTime() const { return m_StartTime; }
    void setStartTime(qlonglong value);
    int DeviceType() const { return m_DeviceType; }
    void setDeviceType(int value);
    int TYPE() const { return m_TYPE; }
    void setTYPE(int value);
    int PERIOD() const { return m_PERIOD; }
    void setPERIOD(int value);
    double SendFs() const { return m_SendFs; }
    void setSendFs(double value);
    double RecvFs() const { return m_RecvFs; }
    void setRecvFs(double value);
    QByteArray DATA_RECV() const { return m_DATA_RECV; }
    void setDATA_RECV(const QByteArray& value);
    QByteArray DATA_RECV_POS() const { return m_DATA_RECV_POS; }
    void setDATA_RECV_POS(const QByteArray& value);
    QByteArray DATA_RECV_LEN() const { return m_DATA_RECV_LEN; }
    void setDATA_RECV_LEN(const QByteArray& value);
    double SampleSendFs() const { return m_SampleSendFs; }
    void setSampleSendFs(double value);
    QByteArray DATA_SEND() const { return m_DATA_SEND; }
    void setDATA_SEND(const QByteArray& value);
    double SampleOffFs() const { return m_SampleOffFs; }
    void setSampleOffFs(double value);
    QByteArray DATA_SOFF() const { return m_DATA_SOFF; }
    void setDATA_SOFF(const QByteArray& value);
    int USE() const { return m_USE; }
    void setUSE(int value);
    QString NOTE() const { return m_NOTE; }
    void setNOTE(const QString& value);
    qint64 Data_PointID() const { return m_Data_PointID; }
    void setData_PointID(qint64 value);
    qint64 Data_WorkSetID() const { return m_Data_WorkSetID; }
    void setData_WorkSetID(qint64 value);

    // Turn-off time found in DATA_SOFF at SampleOffFs; -1.0 without a Data_Calc.
    double offTime();
    // Send current amplitude from DATA_SEND; 0.0 (no current) for a record
    // of fewer than 8 values.
    double sendCurrent() const;
    // DATA_RECV as values (divided by the send current when normalise is
    // set and the current is finite and non-zero) and their times: DATA_RECV_POS
    // for DeviceType 1, else 10, 20, 30, ...
    void unpackRecv(QVector<double>& values, QVector<double>& times, bool normalise) const;
    SampleCurve sampleCurve(bool normalise) const;
    // The fields the curve and the turn-off time are computed from, as they
    // are now in memory (blobs not loaded stay empty).
    SampleRecord record() const;
    void splitSendRecv(SendRecord& send, RecvRecord& recv) const;

    // Replaces the sample's own Data_Calc; null leaves it without one.
    void setDataCalc(Data_Calc* calc);
    // The Data_Calc in use (the sample's own unless replaced), or null.
    Data_Calc* dataCalc();

private:
    qlonglong m_StartTime = 0;
    int m_DeviceType = 0;
    int m_TYPE = 0;
    int m_PERIOD = 0;
    double m_SendFs = 0.0;
    double m_RecvFs = 0.0;
    QByteArray m_DATA_RECV;
    QByteArray m_DATA_RECV_POS;
    QByteArray m_DATA_RECV_LEN;
    double m_SampleSendFs = 0.0;
    QByteArray m_DATA_SEND;
    double m_SampleOffFs = 0.0;
    QByteArray m_DATA_SOFF;
    // A row whose USE is NULL is in use, as for stations and lines.
    int m_USE = 1;
    QString m_NOTE;
    qint64 m_Data_PointID = -1;
    qint64 m_Data_WorkSetID = -1;
    // The sample's own Data_Calc, made on first use; dropped once replaced.
    std::unique_ptr<Data_Calc> m_ownCalc;
    QPointer<Data_Calc> m_calc;
    bool m_calcReplaced = false;
};

#endif // HW_STORE_DATA_SAMPLE_H
