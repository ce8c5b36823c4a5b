#ifndef HW_STORE_DATA_WORKSET_H
#define HW_STORE_DATA_WORKSET_H

#include <QString>

#include "store/HORM_BaseObject.h"

// A send/receive set-up that samples refer to; only its table is kept.
class Data_WorkSet : public HORM_BaseObject
{
    Q_OBJECT
    Q_PROPERTY(int WorkConfig READ WorkConfig WRITE setWorkConfig)
    Q_PROPERTY(double SendCoil_Len READ SendCoil_Len WRITE setSendCoil_Len)
    Q_PROPERTY(double SendCoil_Width READ SendCoil_Width WRITE setSendCoil_Width)
    Q_PROPERTY(double SendCoil_Turns READ SendCoil_Turns WRITE setSendCoil_Turns)
    Q_PROPERTY(double RecvCoil_Size READ RecvCoil_Size WRITE setRecvCoil_Size)
    Q_PROPERTY(double RecvCoil_Gain READ RecvCoil_Gain WRITE setRecvCoil_Gain)
    Q_PROPERTY(QString NOTE READ NOTE WRITE setNOTE)
    Q_CLASSINFO("WorkConfig", "DB")
    Q_CLASSINFO("SendCoil_Len", "DB")
    Q_CLASSINFO("SendCoil_Width", "DB")
    Q_CLASSINFO("SendCoil_Turns", "DB")
    Q_CLASSINFO("RecvCoil_Size", "DB")
    Q_CLASSINFO("RecvCoil_Gain", "DB")
    Q_CLASSINFO("NOTE", "DB")

public:
    explicit Data_WorkSet(LibHORM* lib, QObject* parent = nullptr);

    int WorkConfig() const { return m_WorkConfig; }
    void setWorkConfig(int value);
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
    QString NOTE() const { return m_NOTE; }
    void setNOTE(const QString& value);

private:
    int m_WorkConfig = 0;
    double m_SendCoil_Len = 0.0;
    double m_SendCoil_Width = 0.0;
    double m_SendCoil_Turns = 0.0;
    double m_RecvCoil_Size = 0.0;
    double m_RecvCoil_Gain = 0.0;
    QString m_NOTE;
};

#endif // HW_STORE_DATA_WORKSET_H
