#include "views/QScaleDraw.h"

#include <QString>

QScaleDraw::QScaleDraw(bool scientific)
    : m_scientific(scientific)
{
}

QwtText QScaleDraw::label(double value) const
{
    if (m_scientific)
        return QwtText(QString::number(value, 'E', 1));
    return QwtAbstractScaleDraw::label(value);
}
