#ifndef HW_DIGITALFILTER_H
#define HW_DIGITALFILTER_H

// Published digital linear filters for the two infinite integrals of a
// layered-earth response:
//   int_0^inf f(x) J1(x r) dx  ~= (1/r) sum_i f(b_i / r) w_i
//   int_0^inf f(w) cos(w t) dw ~= (1/t) sum_i f(b_i / t) w_i
// with abscissae b_i = exp(firstLn + i * stepLn).
// J1: Key (2009, Geophysics 74(2), F9-F20), 101 points.
// Cosine: Key (2012, Geophysics 77(3), F21-F30), 101 points.

#include "platform/inversion/InversionMethodExport.h"

class INVERSIONMETHOD_EXPORT DigitalFilter
{
public:
    static const DigitalFilter& besselJ1();
    static const DigitalFilter& fourierCosine();

    double abscissa(int i) const;

    int count;
    double firstLn;
    double stepLn;
    const double* weights;
};

#endif
