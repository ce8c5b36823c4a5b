#include "model/Data_Mathematical_Calc.h"

#include <gsl/gsl_bspline.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// The usable part of a curve in log-log space.
struct LogCurve
{
    int n = 0;               // common length of times and values
    QVector<int> index;      // input index of each usable point
    QVector<double> x, y;    // log10(time), log10(value) of the usable points
    double xLo = 0.0, xHi = 0.0;
    int distinct = 0;        // number of distinct x
};

bool timeUsable(double t, bool knotRange)
{
    if (!std::isfinite(t) || t <= 0.0)
        return false;
    if (knotRange) {
        // The B-spline knots cover log10(time) in [0, 15].
        const double lx = std::log10(t);
        return lx >= 0.0 && lx <= 15.0;
    }
    return true;
}

LogCurve prepare(const QVector<double> &times, const QVector<double> &values, bool knotRange)
{
    LogCurve c;
    c.n = std::min(times.size(), values.size());
    for (int i = 0; i < c.n; ++i) {
        const double t = times[i], v = values[i];
        if (!timeUsable(t, knotRange) || !std::isfinite(v) || v <= 0.0)
            continue;
        c.index.append(i);
        c.x.append(std::log10(t));
        c.y.append(std::log10(v));
    }
    if (c.x.isEmpty())
        return c;
    QVector<double> sorted = c.x;
    std::sort(sorted.begin(), sorted.end());
    c.distinct = int(std::unique(sorted.begin(), sorted.end()) - sorted.begin());
    c.xLo = sorted.first();
    c.xHi = sorted.at(c.distinct - 1);
    return c;
}

// Weights 1 / (scale * y)^2. A log value of 0 (a value of 1) would weigh
// infinitely, so |y| is floored at a thousandth of the largest |y|.
QVector<double> logWeights(const QVector<double> &y, double scale)
{
    double largest = 0.0;
    for (double v : y)
        largest = std::max(largest, std::fabs(v));
    QVector<double> w(y.size(), 1.0);
    if (largest <= 0.0)
        return w;
    const double floor = 1e-3 * largest;
    for (int i = 0; i < y.size(); ++i) {
        const double s = scale * std::max(std::fabs(y[i]), floor);
        w[i] = 1.0 / (s * s);
    }
    return w;
}

// Writes 10^model(log10 t) into values: at the usable points, and at the
// unusable ones whose time lies inside the usable span. A value whose fit is
// not finite and positive keeps its input.
void writeBack(const LogCurve &c, const QVector<double> &times, QVector<double> &values,
               bool knotRange, const std::function<double(double)> &model)
{
    QVector<bool> usable(c.n, false);
    for (int i : c.index)
        usable[i] = true;
    for (int i = 0; i < c.n; ++i) {
        if (!timeUsable(times[i], knotRange))
            continue;
        const double x = std::log10(times[i]);
        if (!usable[i] && (x < c.xLo || x > c.xHi))
            continue;
        const double v = std::pow(10.0, model(x));
        if (std::isfinite(v) && v > 0.0)
            values[i] = v;
    }
}

bool allFinite(const gsl_vector *v)
{
    for (size_t i = 0; i < v->size; ++i) {
        if (!std::isfinite(gsl_vector_get(v, i)))
            return false;
    }
    return true;
}

struct FitData
{
    const double *x;
    const double *y;
    size_t n;
};

// Exponential: r = A exp(-l x) + b - y.
int expF(const gsl_vector *p, void *data, gsl_vector *f)
{
    const auto *d = static_cast<const FitData *>(data);
    const double A = gsl_vector_get(p, 0), l = gsl_vector_get(p, 1), b = gsl_vector_get(p, 2);
    for (size_t i = 0; i < d->n; ++i)
        gsl_vector_set(f, i, A * std::exp(-l * d->x[i]) + b - d->y[i]);
    return GSL_SUCCESS;
}

int expDf(const gsl_vector *p, void *data, gsl_matrix *J)
{
    const auto *d = static_cast<const FitData *>(data);
    const double A = gsl_vector_get(p, 0), l = gsl_vector_get(p, 1);
    for (size_t i = 0; i < d->n; ++i) {
        const double e = std::exp(-l * d->x[i]);
        gsl_matrix_set(J, i, 0, e);
        gsl_matrix_set(J, i, 1, -A * d->x[i] * e);
        gsl_matrix_set(J, i, 2, 1.0);
    }
    return GSL_SUCCESS;
}

// Gaussian: r = y - a exp(-z^2/2), z = (x - b) / c.
int gaussF(const gsl_vector *p, void *data, gsl_vector *f)
{
    const auto *d = static_cast<const FitData *>(data);
    const double a = gsl_vector_get(p, 0), b = gsl_vector_get(p, 1), c = gsl_vector_get(p, 2);
    for (size_t i = 0; i < d->n; ++i) {
        const double z = (d->x[i] - b) / c;
        gsl_vector_set(f, i, d->y[i] - a * std::exp(-0.5 * z * z));
    }
    return GSL_SUCCESS;
}

int gaussDf(const gsl_vector *p, void *data, gsl_matrix *J)
{
    const auto *d = static_cast<const FitData *>(data);
    const double a = gsl_vector_get(p, 0), b = gsl_vector_get(p, 1), c = gsl_vector_get(p, 2);
    for (size_t i = 0; i < d->n; ++i) {
        const double z = (d->x[i] - b) / c;
        const double e = std::exp(-0.5 * z * z);
        gsl_matrix_set(J, i, 0, -e);
        gsl_matrix_set(J, i, 1, -(a / c) * e * z);
        gsl_matrix_set(J, i, 2, -(a / c) * e * z * z);
    }
    return GSL_SUCCESS;
}

// Second directional derivative of the residual, for geodesic acceleration.
int gaussFvv(const gsl_vector *p, const gsl_vector *v, void *data, gsl_vector *fvv)
{
    const auto *d = static_cast<const FitData *>(data);
    const double a = gsl_vector_get(p, 0), b = gsl_vector_get(p, 1), c = gsl_vector_get(p, 2);
    const double va = gsl_vector_get(v, 0), vb = gsl_vector_get(v, 1), vc = gsl_vector_get(v, 2);
    for (size_t i = 0; i < d->n; ++i) {
        const double z = (d->x[i] - b) / c;
        const double z2 = z * z;
        const double e = std::exp(-0.5 * z2);
        const double Dab = -z * e / c;
        const double Dac = -z2 * e / c;
        const double Dbb = a * e * (1.0 - z2) / (c * c);
        const double Dbc = a * z * e * (2.0 - z2) / (c * c);
        const double Dcc = a * z2 * e * (3.0 - z2) / (c * c);
        gsl_vector_set(fvv, i,
                       2.0 * va * vb * Dab + 2.0 * va * vc * Dac + vb * vb * Dbb
                           + 2.0 * vb * vc * Dbc + vc * vc * Dcc);
    }
    return GSL_SUCCESS;
}

// Runs the trust-region solver from start; returns false when no finite
// parameters came out. The solver's own status is not required to be
// success: the parameters reached last are used. cost receives the final
// sum of squared (weighted) residuals.
bool solveNonlinear(gsl_multifit_nlinear_fdf &fdf, gsl_multifit_nlinear_parameters params,
                    const double start[3], const QVector<double> *weights, size_t maxIter,
                    double xtol, double gtol, double ftol, double out[3], double *cost)
{
    gsl_multifit_nlinear_workspace *w =
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, fdf.n, fdf.p);
    if (!w)
        return false;
    double p0[3] = {start[0], start[1], start[2]};
    gsl_vector_view x0 = gsl_vector_view_array(p0, 3);
    int status;
    if (weights) {
        gsl_vector_const_view wv = gsl_vector_const_view_array(weights->constData(), fdf.n);
        status = gsl_multifit_nlinear_winit(&x0.vector, &wv.vector, &fdf, w);
    } else {
        status = gsl_multifit_nlinear_init(&x0.vector, &fdf, w);
    }
    bool ok = false;
    if (status == GSL_SUCCESS) {
        int info = 0;
        gsl_multifit_nlinear_driver(maxIter, xtol, gtol, ftol, nullptr, nullptr, &info, w);
        const gsl_vector *p = gsl_multifit_nlinear_position(w);
        const gsl_vector *f = gsl_multifit_nlinear_residual(w);
        double sum = 0.0;
        for (size_t i = 0; i < f->size; ++i)
            sum += gsl_vector_get(f, i) * gsl_vector_get(f, i);
        if (allFinite(p) && std::isfinite(sum)) {
            for (int k = 0; k < 3; ++k)
                out[k] = gsl_vector_get(p, size_t(k));
            if (cost)
                *cost = sum;
            ok = true;
        }
    }
    gsl_multifit_nlinear_free(w);
    return ok;
}

} // namespace

void Data_Mathematical_Calc::exponentialFit(QVector<double> &times, QVector<double> &values)
{
    initNumerics();
    const LogCurve c = prepare(times, values, false);
    if (c.distinct < 3)
        return;
    const QVector<double> weights = logWeights(c.y, 0.01);
    FitData data{c.x.constData(), c.y.constData(), size_t(c.x.size())};

    gsl_multifit_nlinear_fdf fdf;
    fdf.f = expF;
    fdf.df = expDf;
    fdf.fvv = nullptr;
    fdf.n = data.n;
    fdf.p = 3;
    fdf.params = &data;

    const gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
    const double start[3] = {1.0, 1.0, 0.0};
    double p[3];
    double cost = 0.0;
    bool ok = solveNonlinear(fdf, params, start, &weights, 100, 1e-8, 1e-8, 0.0, p, &cost);

    // From (1, 1, 0) the solver stays with log-log curves that flatten with
    // time; a decay that steepens (A and lambda negative) is reached from the
    // mirrored start. The closer fit is kept.
    const double mirrored[3] = {-1.0, -1.0, 0.0};
    double q[3];
    double costQ = 0.0;
    if (solveNonlinear(fdf, params, mirrored, &weights, 100, 1e-8, 1e-8, 0.0, q, &costQ)
        && (!ok || costQ < cost)) {
        std::copy(q, q + 3, p);
        ok = true;
    }
    if (!ok)
        return;
    const double A = p[0], l = p[1], b = p[2];
    writeBack(c, times, values, false, [=](double x) { return A * std::exp(-l * x) + b; });
}

void Data_Mathematical_Calc::gaussianFit(QVector<double> &times, QVector<double> &values)
{
    initNumerics();
    const LogCurve c = prepare(times, values, false);
    if (c.distinct < 3)
        return;
    FitData data{c.x.constData(), c.y.constData(), size_t(c.x.size())};

    gsl_multifit_nlinear_fdf fdf;
    fdf.f = gaussF;
    fdf.df = gaussDf;
    fdf.fvv = gaussFvv;
    fdf.n = data.n;
    fdf.p = 3;
    fdf.params = &data;

    gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
    params.trs = gsl_multifit_nlinear_trs_lmaccel;
    const double start[3] = {1.0, 0.0, 1.0};
    double p[3];
    double cost = 0.0;
    bool ok = solveNonlinear(fdf, params, start, nullptr, 200, 1e-8, 1e-8, 1e-8, p, &cost);

    // From (1, 0, 1) the solver does not reach a peak of negative height,
    // which is what log10 of a decay in volts usually is. A second start at
    // the data's extreme ordinate is tried and the closer fit kept.
    int peak = 0;
    for (int i = 1; i < c.y.size(); ++i) {
        if (std::fabs(c.y[i]) > std::fabs(c.y[peak]))
            peak = i;
    }
    const double dataStart[3] = {c.y[peak], c.x[peak], std::max(c.xHi - c.xLo, 0.1)};
    double q[3];
    double costQ = 0.0;
    if (solveNonlinear(fdf, params, dataStart, nullptr, 200, 1e-8, 1e-8, 1e-8, q, &costQ)
        && (!ok || costQ < cost)) {
        std::copy(q, q + 3, p);
        ok = true;
    }
    if (!ok)
        return;
    const double a = p[0], b = p[1], cw = p[2];
    writeBack(c, times, values, false, [=](double x) {
        const double z = (x - b) / cw;
        return a * std::exp(-0.5 * z * z);
    });
}

void Data_Mathematical_Calc::bsplineFit(QVector<double> &times, QVector<double> &values)
{
    initNumerics();
    const size_t kCoeffs = 12;   // order 4 on 10 breakpoints
    const LogCurve c = prepare(times, values, true);
    if (c.distinct < int(kCoeffs))
        return;
    const size_t m = size_t(c.x.size());
    const QVector<double> weights = logWeights(c.y, 0.1);

    gsl_bspline_workspace *bw = gsl_bspline_alloc(4, 10);
    gsl_vector *B = gsl_vector_alloc(kCoeffs);
    gsl_vector *coef = gsl_vector_alloc(kCoeffs);
    gsl_matrix *cov = gsl_matrix_alloc(kCoeffs, kCoeffs);
    gsl_matrix *X = gsl_matrix_alloc(m, kCoeffs);
    gsl_multifit_linear_workspace *mw = gsl_multifit_linear_alloc(m, kCoeffs);
    bool ok = bw && B && coef && cov && X && mw
              && gsl_bspline_knots_uniform(0.0, 15.0, bw) == GSL_SUCCESS;

    for (size_t i = 0; ok && i < m; ++i) {
        ok = gsl_bspline_eval(c.x[int(i)], B, bw) == GSL_SUCCESS;
        for (size_t j = 0; ok && j < kCoeffs; ++j)
            gsl_matrix_set(X, i, j, gsl_vector_get(B, j));
    }
    if (ok) {
        gsl_vector_const_view yv = gsl_vector_const_view_array(c.y.constData(), m);
        gsl_vector_const_view wv = gsl_vector_const_view_array(weights.constData(), m);
        double chisq = 0.0;
        gsl_multifit_wlinear(X, &wv.vector, &yv.vector, coef, cov, &chisq, mw);
        ok = allFinite(coef);
    }
    if (ok) {
        writeBack(c, times, values, true, [&](double x) {
            double yi = std::nan(""), yerr = 0.0;
            if (gsl_bspline_eval(x, B, bw) == GSL_SUCCESS)
                gsl_multifit_linear_est(B, coef, cov, &yi, &yerr);
            return yi;
        });
    }

    if (mw) gsl_multifit_linear_free(mw);
    if (X) gsl_matrix_free(X);
    if (cov) gsl_matrix_free(cov);
    if (coef) gsl_vector_free(coef);
    if (B) gsl_vector_free(B);
    if (bw) gsl_bspline_free(bw);
}
