#ifndef HW_VIEWS_QSCALEDRAW_H
#define HW_VIEWS_QSCALEDRAW_H

#include <qwt_scale_draw.h>

// Scale draw whose labels can be written in scientific notation (1.0E-05).
class QScaleDraw : public QwtScaleDraw
{
public:
    explicit QScaleDraw(bool scientific);
    QwtText label(double value) const override;

private:
    bool m_scientific;
};

#endif
