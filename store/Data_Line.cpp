#include "store/Data_Line.h"

#include "model/Data_Calc.h"
#include "store/Data_Point.h"

Data_Line::Data_Line(LibHORM* lib, QObject* parent)
    : HORM_BaseObject(lib, parent)
{
}

Data_Line::~Data_Line()
{
    delete m_points;
}

void Data_Line::setNAME(double value)
{
    m_NAME = value;
    markChanged("NAME");
}

void Data_Line::setTYPE(int value)
{
    m_TYPE = value;
    markChanged("TYPE");
}

void Data_Line::setUSE(int value)
{
    m_USE = value;
    markChanged("USE");
}

void Data_Line::setNOTE(const QString& value)
{
    m_NOTE = value;
    markChanged("NOTE");
}

void Data_Line::setSampleMode(int value)
{
    m_SampleMode = value;
    markChanged("SampleMode");
}

void Data_Line::resetSampleMode()
{
    m_SampleMode = 0;
}

HORM_Collection<Data_Point>* Data_Line::REF_Data_Point()
{
    loadReferences();
    return m_points;
}

void Data_Line::resetREF_Data_Point()
{
    delete m_points;
    m_points = new HORM_Collection<Data_Point>(lib(), QString("%1ID").arg(metaObject()->className()),
                                               QString::number(ID()));
}

void Data_Line::setDataCalc(Data_Calc* calc)
{
    m_calc = calc;
    HORM_Collection<Data_Point>* points = REF_Data_Point();
    if (!points)
        return;
    for (int i = 0; i < points->size(); ++i) {
        if (Data_Point* point = points->at(i).value())
            point->setDataCalc(calc);
    }
}

Data_Calc* Data_Line::dataCalc() const
{
    return m_calc.data();
}
