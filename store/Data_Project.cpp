#include "store/Data_Project.h"

Data_Project::Data_Project(LibHORM* lib, QObject* parent)
    : HORM_BaseObject(lib, parent)
{
}

void Data_Project::setWorkConfig(int value)
{
    m_WorkConfig = value;
    markChanged("WorkConfig");
}

void Data_Project::setLineNoStart(double value)
{
    m_LineNoStart = value;
    markChanged("LineNoStart");
}

void Data_Project::setLineNoSetp(double value)
{
    m_LineNoSetp = value;
    markChanged("LineNoSetp");
}

void Data_Project::setPointNoStart(double value)
{
    m_PointNoStart = value;
    markChanged("PointNoStart");
}

void Data_Project::setPointNoStep(double value)
{
    m_PointNoStep = value;
    markChanged("PointNoStep");
}

void Data_Project::setSendCoil_Len(double value)
{
    m_SendCoil_Len = value;
    markChanged("SendCoil_Len");
}

void Data_Project::setSendCoil_Width(double value)
{
    m_SendCoil_Width = value;
    markChanged("SendCoil_Width");
}

void Data_Project::setSendCoil_Turns(double value)
{
    m_SendCoil_Turns = value;
    markChanged("SendCoil_Turns");
}

void Data_Project::setRecvCoil_Size(double value)
{
    m_RecvCoil_Size = value;
    markChanged("RecvCoil_Size");
}

void Data_Project::setRecvCoil_Gain(double value)
{
    m_RecvCoil_Gain = value;
    markChanged("RecvCoil_Gain");
}

void Data_Project::setOffTime(double value)
{
    m_OffTime = value;
    markChanged("OffTime");
}

void Data_Project::setPointLen_D(double value)
{
    m_PointLen_D = value;
    markChanged("PointLen_D");
}

void Data_Project::setPointLen_R(double value)
{
    m_PointLen_R = value;
    markChanged("PointLen_R");
}

void Data_Project::setNOTE(const QString& value)
{
    m_NOTE = value;
    markChanged("NOTE");
}

void Data_Project::setCalibrateNo(const QString& value)
{
    m_CalibrateNo = value;
    markChanged("CalibrateNo");
}
