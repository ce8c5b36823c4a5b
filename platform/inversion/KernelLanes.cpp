#include "platform/inversion/KernelLanes.h"

#if defined(__x86_64__) && !defined(HW_NO_TARGET_CLONES)
#define HW_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define HW_VECTOR_CLONES
#endif

namespace kernellanes {

namespace {

// e^z for Re z <= 0 on plain doubles, so that the lanes vectorise: the
// series of e^(z/256), squared eight times; zero once Re z < -40, where
// |Im z| <= |Re z| (the kernel's exponents) keeps |z / 256| below 0.23.
inline void expLanes(double zr, double zi, double& er, double& ei)
{
    const double keep = zr >= -40.0 ? 1.0 : 0.0;
    const double wr = (zr > -40.0 ? zr : -40.0) * (1.0 / 256.0);
    const double wi = (zi > 40.0 ? 40.0 : (zi < -40.0 ? -40.0 : zi)) * (1.0 / 256.0);
    // Horner, 1 + w (1 + w/2 (1 + w/3 (... (1 + w/9)))): the series' tail
    // is below 0.23^10 / 10! = 1.1e-13, and squaring makes that 3e-11.
    double pr = 1.0 + wr * (1.0 / 9.0);
    double pi = wi * (1.0 / 9.0);
#define HW_HORNER_STEP(k)                                   \
    {                                                       \
        const double tr = (wr * pr - wi * pi) * (1.0 / k);  \
        const double ti = (wr * pi + wi * pr) * (1.0 / k);  \
        pr = 1.0 + tr;                                      \
        pi = ti;                                            \
    }
    HW_HORNER_STEP(8.0)
    HW_HORNER_STEP(7.0)
    HW_HORNER_STEP(6.0)
    HW_HORNER_STEP(5.0)
    HW_HORNER_STEP(4.0)
    HW_HORNER_STEP(3.0)
    HW_HORNER_STEP(2.0)
    HW_HORNER_STEP(1.0)
#undef HW_HORNER_STEP
#define HW_SQUARE                                           \
    {                                                       \
        const double sr = pr * pr - pi * pi;                \
        pi = 2.0 * pr * pi;                                 \
        pr = sr;                                            \
    }
    HW_SQUARE HW_SQUARE HW_SQUARE HW_SQUARE HW_SQUARE HW_SQUARE HW_SQUARE HW_SQUARE
#undef HW_SQUARE
    er = keep * pr;
    ei = keep * pi;
}



template <bool keep>
__attribute__((always_inline)) inline void layerBody(int lanes, const double* __restrict lambda2, double b, double twoH, double* __restrict admRe,
               double* __restrict admIm, double* __restrict ur, double* __restrict ui, double* __restrict br,
               double* __restrict bi, double* __restrict er, double* __restrict ei, double* __restrict gr,
               double* __restrict gi, double* __restrict rr, double* __restrict ri)
{
    for (int l = 0; l < lanes; ++l) {
        double vr;
        double vi;
        rootLanes(lambda2[l], b, vr, vi);
        const double Ur = admRe[l];
        const double Ui = admIm[l];
        double qr;
        double qi;
        divide(vr - Ur, vi - Ui, vr + Ur, vi + Ui, qr, qi);
        double xr;
        double xi;
        expLanes(-twoH * vr, -twoH * vi, xr, xi);
        const double yr = qr * xr - qi * xi;
        const double yi = qr * xi + qi * xr;
        double fr;
        double fi;
        divide(1.0 - yr, -yi, 1.0 + yr, yi, fr, fi);
        admRe[l] = vr * fr - vi * fi;
        admIm[l] = vr * fi + vi * fr;
        if (!keep)
            continue;
        ur[l] = vr;
        ui[l] = vi;
        br[l] = Ur;
        bi[l] = Ui;
        er[l] = xr;
        ei[l] = xi;
        gr[l] = yr;
        gi[l] = yi;
        rr[l] = qr;
        ri[l] = qi;
    }
}

} // namespace

#define HW_LAYER_ARGS                                                                                          \
    int lanes, const double* __restrict lambda2, double b, double twoH, double* __restrict admRe, double* __restrict admIm, \
        double* __restrict ur, double* __restrict ui, double* __restrict br, double* __restrict bi,            \
        double* __restrict er, double* __restrict ei, double* __restrict gr, double* __restrict gi,            \
        double* __restrict rr, double* __restrict ri
#define HW_LAYER_PASS lanes, lambda2, b, twoH, admRe, admIm, ur, ui, br, bi, er, ei, gr, gi, rr, ri

HW_VECTOR_CLONES void layerStepKeeping(HW_LAYER_ARGS)
{
    layerBody<true>(HW_LAYER_PASS);
}

HW_VECTOR_CLONES void layerStep(HW_LAYER_ARGS)
{
    layerBody<false>(HW_LAYER_PASS);
}

HW_VECTOR_CLONES void reverseStep(int below, double b, double h, const double* __restrict ur,
                                  const double* __restrict ui, const double* __restrict br,
                                  const double* __restrict bi, const double* __restrict er,
                                  const double* __restrict ei, const double* __restrict gr,
                                  const double* __restrict gi, const double* __restrict rr,
                                  const double* __restrict ri, const double* __restrict weight,
                                  double* __restrict adjRe, double* __restrict adjIm,
                                  double* __restrict contribution)
{
for (int l = 0; l < below; ++l) {
        // s = u + U', p = 1 + g; their reciprocals and that of u
        double isr;
        double isi;
        divide(1.0, 0.0, ur[l] + br[l], ui[l] + bi[l], isr, isi);
        double ipr;
        double ipi;
        divide(1.0, 0.0, 1.0 + gr[l], gi[l], ipr, ipi);
        double iur;
        double iui;
        divide(1.0, 0.0, ur[l], ui[l], iur, iui);
        const double is2r = isr * isr - isi * isi;
        const double is2i = 2.0 * isr * isi;
        const double ip2r = ipr * ipr - ipi * ipi;
        const double ip2i = 2.0 * ipr * ipi;
        // dg/du = 2 e (U'/s^2 - h r)
        const double tr = br[l] * is2r - bi[l] * is2i - h * rr[l];
        const double ti = br[l] * is2i + bi[l] * is2r - h * ri[l];
        const double dgr = 2.0 * (er[l] * tr - ei[l] * ti);
        const double dgi = 2.0 * (er[l] * ti + ei[l] * tr);
        // dU/du = (1 - g)/p - 2u/p^2 dg/du
        const double ar = (1.0 - gr[l]) * ipr + gi[l] * ipi;
        const double ai = (1.0 - gr[l]) * ipi - gi[l] * ipr;
        const double vr = 2.0 * (ur[l] * dgr - ui[l] * dgi);
        const double vi = 2.0 * (ur[l] * dgi + ui[l] * dgr);
        const double dUr = ar - (vr * ip2r - vi * ip2i);
        const double dUi = ai - (vr * ip2i + vi * ip2r);
        // du/dm = -i b / (2u)
        const double mr = 0.5 * b * iui;
        const double mi = -0.5 * b * iur;
        const double xr = adjRe[l] * dUr - adjIm[l] * dUi;
        const double xi = adjRe[l] * dUi + adjIm[l] * dUr;
        contribution[l] = weight[l] * (xr * mr - xi * mi);
        // adj *= 4 u^2 e / (p^2 s^2)
        const double u2r = ur[l] * ur[l] - ui[l] * ui[l];
        const double u2i = 2.0 * ur[l] * ui[l];
        const double nr = 4.0 * (u2r * er[l] - u2i * ei[l]);
        const double ni = 4.0 * (u2r * ei[l] + u2i * er[l]);
        const double qr = ip2r * is2r - ip2i * is2i;
        const double qi = ip2r * is2i + ip2i * is2r;
        const double fr = nr * qr - ni * qi;
        const double fi = nr * qi + ni * qr;
        const double yr = adjRe[l] * fr - adjIm[l] * fi;
        const double yi = adjRe[l] * fi + adjIm[l] * fr;
        adjRe[l] = yr;
        adjIm[l] = yi;
    }
}


} // namespace kernellanes
