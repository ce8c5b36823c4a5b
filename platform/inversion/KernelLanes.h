#ifndef HW_KERNELLANES_H
#define HW_KERNELLANES_H

// The inner loops of the layered-earth kernel, one lane per Hankel
// wavenumber on plain doubles so that they vectorise. Kept apart from
// LayeredEarthResponse: a sanitizer build leaves these loops, which only
// index fixed arrays within a lane count, uninstrumented, as instrumented
// they would keep its tests from finishing; the code around them is
// checked.

#include <cmath>

namespace kernellanes {

// sqrt(x + iy) for x > 0, y >= 0.
inline void rootLanes(double x, double y, double& re, double& im)
{
    const double r = std::sqrt(x * x + y * y);
    re = std::sqrt(0.5 * (r + x));
    im = 0.5 * y / re;
}

// (ar + i ai) / (br + i bi)
inline void divide(double ar, double ai, double br, double bi, double& cr, double& ci)
{
    const double d = 1.0 / (br * br + bi * bi);
    cr = (ar * br + ai * bi) * d;
    ci = (ai * br - ar * bi) * d;
}

// One layer of the admittance recursion for lanes [0, lanes), from U'
// (the admittance of what lies below, replaced by the layer's own) up:
// U = u (1 - g)/(1 + g), g = r e, r = (u - U')/(u + U'), e = exp(-2 u h).
// The keeping form also stores u, U', e, g and r for the reverse pass;
// the other leaves those arrays alone.
void layerStep(int lanes, const double* lambda2, double b, double twoH, double* admRe, double* admIm,
               double* ur, double* ui, double* br, double* bi, double* er, double* ei, double* gr, double* gi,
               double* rr, double* ri);
void layerStepKeeping(int lanes, const double* lambda2, double b, double twoH, double* admRe, double* admIm,
                      double* ur, double* ui, double* br, double* bi, double* er, double* ei, double* gr,
                      double* gi, double* rr, double* ri);
// One layer of the reverse pass for lanes [0, below): each lane's share of
// d(kernel)/d(ln rho_i) into contribution, and the adjoint carried up to
// the layer above (d U_i / d U').
void reverseStep(int below, double b, double h, const double* ur, const double* ui, const double* br,
                 const double* bi, const double* er, const double* ei, const double* gr, const double* gi,
                 const double* rr, const double* ri, const double* weight, double* adjRe, double* adjIm,
                 double* contribution);

} // namespace kernellanes

#endif
