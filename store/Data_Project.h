#ifndef HW_STORE_DATA_PROJECT_H
#define HW_STORE_DATA_PROJECT_H

#include <QString>

#include "store/HORM_BaseObject.h"

// Project settings; one row per project file. Carried through the store
// unchanged; nothing else reads or sets these fields.
class Data_Project : public HORM_BaseObject
{
    Q_OBJECT
    Q_PROPERTY(int WorkConfig READ WorkConfig WRITE setWorkConfig)
    Q_PROPERTY(double LineNoStart READ LineNoStart WRITE setLineNoStart)
    Q_PROPERTY(double LineNoSetp READ LineNoSetp WRITE setLineNoSetp)
    Q_PROPERTY(double PointNoStart READ PointNoStart WRITE setPointNoStart)
    Q_PROPERTY(double PointNoStep READ PointNoStep WRITE setPointNoStep)
    Q_PROPERTY(double SendCoil_Len READ SendCoil_Len WRITE setSendCoil_Len)
    Q_PROPERTY(double SendCoil_Width READ SendCoil_Width WRITE setSendCoil_Width)
    Q_PROPERTY(double SendCoil_Turns READ SendCoil_Turns WRITE setSendCoil_Turns)
    Q_PROPERTY(double RecvCoil_Size READ RecvCoil_Size WRITE setRecvCoil_Size)
    Q_PROPERTY(double RecvCoil_Gain READ RecvCoil_Gain WRITE setRecvCoil_Gain)
    Q_PROPERTY(double OffTime READ OffTime WRITE setOffTime)
    Q_PROPERTY(double PointLen_D READ PointLen_D WRITE setPointLen_D)
    Q_PROPERTY(double PointLen_R READ PointLen_R WRITE setPointLen_R)
    Q_PROPERTY(QString NOTE READ NOTE WRITE setNOTE)
    Q_PROPERTY(QString CalibrateNo READ CalibrateNo WRITE setCalibrateNo)
    Q_CLASSINFO("WorkConfig", "DB")
    Q_CLASSINFO("LineNoStart", "DB")
    Q_CLASSINFO("LineNoSetp", "DB")
    Q_CLASSINFO("PointNoStart", "DB")
    Q_CLASSINFO("PointNoStep", "DB")
    Q_CLASSINFO("SendCoil_Len", "DB")
    Q_CLASSINFO("SendCoil_Width", "DB")
    Q_CLASSINFO("SendCoil_Turns", "DB")
    Q_CLASSINFO("RecvCoil_Size", "DB")
    Q_CLASSINFO("RecvCoil_Gain", "DB")
    Q_CLASSINFO("OffTime", "DB")
    Q_CLASSINFO("PointLen_D", "DB")
    Q_CLASSINFO("PointLen_R", "DB")
    Q_CLASSINFO("NOTE", "DB")
    Q_CLASSINFO("CalibrateNo", "DB")

public:
    explicit Data_Project(LibHORM* lib, QObject* parent = nullptr);

    int WorkConfig() const { return m_WorkConfig; }
    void setWorkConfig(int value);
    double LineNoStart() const { return m_LineNoStart; }
    void setLineNoStart(double value);
    double LineNoSetp() const { return m_LineNoSetp; }
    void setLineNoSetp(double value);
    double PointNoStart() const { return m_PointNoStart; }
    void setPointNoStart(double value);
    double PointNoStep() const { return m_PointNoStep; }
    void setPointNoStep(double value);
    double SendCoil_Len() const { return m_SendCoil_Len; }
    void setSendCoil_Len(double value);
    double SendCoil_Width() const { return m_SendCoil_Width; }
    void setSendCoil_Width(double value);
    double SendCoil_Turns() const { return m_SendCoil_Turns; }
    void setSendCoil_Turns(double value);
    double RecvCoil_Size() const { return m_RecvCoil_Size; }
    void setRecvCoil_Size(double value);
    double RecvCoil_Gain() const { return m_RecvCoil_Gain; }
    void setRecvCoil_Gain(double value);
    double OffTime() const { return m_OffTime; }
    void setOffTime(double value);
    double PointLen_D() const { return m_PointLen_D; }
    void setPointLen_D(double value);
    double PointLen_R() const { return m_PointLen_R; }
    void setPointLen_R(double value);
    QString NOTE() const { return m_NOTE; }
    void setNOTE(const QString& value);
    QString CalibrateNo() const { return m_CalibrateNo; }
    void setCalibrateNo(const QString& value);

private:
    int m_WorkConfig = 0;
    double m_LineNoStart = 0.0;
    double m_LineNoSetp = 0.0;
    double m_PointNoStart = 0.0;
    double m_PointNoStep = 0.0;
    double m_SendCoil_Len = 0.0;
    double m_SendCoil_Width = 0.0;
    double m_SendCoil_Turns = 0.0;
    double m_RecvCoil_Size = 0.0;
    double m_RecvCoil_Gain = 0.0;
    double m_OffTime = 0.0;
    double m_PointLen_D = 0.0;
    double m_PointLen_R = 0.0;
    QString m_NOTE;
    QString m_CalibrateNo;
};

#endif // HW_STORE_DATA_PROJECT_H
