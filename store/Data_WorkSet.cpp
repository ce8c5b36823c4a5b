#include "store/Data_WorkSet.h"

Data_WorkSet::Data_WorkSet(LibHORM* lib, QObject* parent)
    : HORM_BaseObject(lib, parent)
{
}

void Data_WorkSet::setWorkConfig(int value)
{
    m_WorkConfig = value;
    markChanged("WorkConfig");
}

void Data_WorkSet::setSendCoil_Len(double value)
{
    m_SendCoil_Len = value;
    markChanged("SendCoil_Len");
}

void Data_WorkSet::setSendCoil_Width(double value)
{
    m_SendCoil_Width = value;
    markChanged("SendCoil_Width");
}

void Data_WorkSet::setSendCoil_Turns(double value)
{
    m_SendCoil_Turns = value;
    markChanged("SendCoil_Turns");
}

void Data_WorkSet::setRecvCoil_Size(double value)
{
    m_RecvCoil_Size = value;
    markChanged("RecvCoil_Size");
}

void Data_WorkSet::setRecvCoil_Gain(double value)
{
    m_RecvCoil_Gain = value;
    markChanged("RecvCoil_Gain");
}

void Data_WorkSet::setNOTE(const QString& value)
{
    m_NOTE = value;
    markChanged("NOTE");
}
