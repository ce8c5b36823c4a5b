#ifndef HW_TEST_LAYEREDEARTH_H
#define HW_TEST_LAYEREDEARTH_H

// Step-off dBz/dt at the centre of a loop on a layered earth, as a reference
// for the inversion tests. The layered response is the closed-form response
// of the top layer as a half-space plus the inverse Laplace transform
// (Gaver-Stehfest) of the difference between the layered and the half-space
// kernels, whose Hankel integrand decays exponentially with the top layer's
// thickness, so plain adaptive quadrature converges.

#include <gsl/gsl_integration.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/inversion/InversionMethod.h"

namespace hwtest {

struct LayeredEarth {
    std::vector<double> rho;        // ohm-m, top first; the last is the basement
    std::vector<double> thickness;  // m, one less than rho
};

namespace detail {

inline double admittance(const LayeredEarth& m, double lambda, double s)
{
    const double mu0 = InversionMethod::kMu0;
    const int n = static_cast<int>(m.rho.size());
    double u = std::sqrt(lambda * lambda + s * mu0 / m.rho[n - 1]);
    for (int i = n - 2; i >= 0; --i) {
        const double ui = std::sqrt(lambda * lambda + s * mu0 / m.rho[i]);
        const double th = std::tanh(ui * m.thickness[i]);
        u = ui * (u + ui * th) / (ui + u * th);
    }
    return u;
}

struct KernelArgs {
    const LayeredEarth* model;
    double s;
    double radius;
};

inline double kernelDifference(double lambda, void* p)
{
    const auto* k = static_cast<const KernelArgs*>(p);
    const double u1 = std::sqrt(lambda * lambda + k->s * InversionMethod::kMu0 / k->model->rho[0]);
    const double uh = admittance(*k->model, lambda, k->s);
    return lambda * lambda * (1.0 / (lambda + uh) - 1.0 / (lambda + u1))
           * std::cyl_bessel_j(1.0, lambda * k->radius);
}

// a * integral of lambda^2 (1/(lambda+u^) - 1/(lambda+u1)) J1(lambda a)
inline double deltaKernel(const LayeredEarth& m, double s, double radius,
                          gsl_integration_workspace* w)
{
    KernelArgs args{&m, s, radius};
    gsl_function f{&kernelDifference, &args};
    const double lmax = 40.0 / m.thickness[0];
    double lo = 0.0;
    double hi = lmax * 1e-7;
    double sum = 0.0;
    while (lo < lmax) {
        double r = 0.0;
        double e = 0.0;
        gsl_integration_qag(&f, lo, std::min(hi, lmax), 0.0, 1e-10, 2000,
                            GSL_INTEG_GAUSS31, w, &r, &e);
        sum += r;
        lo = hi;
        hi *= 10.0;
    }
    return radius * sum;
}

inline std::vector<double> stehfestWeights(int n)
{
    auto fact = [](int k) {
        double f = 1.0;
        for (int i = 2; i <= k; ++i)
            f *= i;
        return f;
    };
    const int h = n / 2;
    std::vector<double> v(n + 1, 0.0);
    for (int k = 1; k <= n; ++k) {
        double s = 0.0;
        for (int j = (k + 1) / 2; j <= std::min(k, h); ++j)
            s += std::pow(j, h) * fact(2 * j)
                 / (fact(h - j) * fact(j) * fact(j - 1) * fact(k - j) * fact(2 * j - k));
        v[k] = ((k + h) % 2 ? -1.0 : 1.0) * s;
    }
    return v;
}

} // namespace detail

// dBz/dt in T/s after switching off `current` amperes; t in seconds.
inline double layeredDBzDt(const LayeredEarth& m, double t, double current,
                           double radius = InversionMethod::kLoopRadius)
{
    static const std::vector<double> weights = detail::stehfestWeights(14);
    gsl_integration_workspace* w = gsl_integration_workspace_alloc(2000);
    const double ln2 = std::log(2.0);
    double f = 0.0;
    for (int k = 1; k <= 14; ++k)
        f += weights[k] * detail::deltaKernel(m, k * ln2 / t, radius, w);
    gsl_integration_workspace_free(w);
    f *= ln2 / t;
    return InversionMethod::halfSpaceDBzDt(t, m.rho[0], current, radius)
           - InversionMethod::kMu0 * current * f;
}

} // namespace hwtest

#endif
