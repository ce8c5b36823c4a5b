#ifndef HW_LAYEREDEARTHRESPONSE_H
#define HW_LAYEREDEARTHRESPONSE_H

// Step-off dBz/dt at the centre of a horizontal circular loop on a layered
// earth (quasi-static), per ampere of loop current, fast enough to be
// evaluated many times per station, with its derivatives.
//
// Frequency domain (e^{iwt}): Hz(w) = a int_0^inf lambda^2/(lambda+U1) J1(lambda a) dlambda,
// U1 the surface admittance of the layers (the usual recursion from the
// basement up). For t > 0 the step-off response is
//   dBz/dt(t) = -(2 mu0 / pi) int_0^inf Re[Hz(w) - Hz(inf)] cos(w t) dw.
// At late times the integral is a tiny remainder of a spectrum that is
// large at every sampled frequency, and no finite filter resolves it. So
// the basement's own half-space response is taken out: its time response
// is known in closed form (Ward and Hohmann 1988), and only the difference
// between the layered and the half-space kernels goes through the two
// filters (the Hankel transform first, then the cosine transform). The
// difference has no late-time power law of its own, and its analytic
// low-frequency terms do not enter the cosine transform's real part at
// first order, which is why the real part is transformed and not the
// quadrature.
//
// The cosine filter's abscissae are laid over a logarithmic time grid with
// the filter's own spacing, so that neighbouring times share frequencies
// (lagged convolution); the responses at the asked times are interpolated
// from that grid by a cubic spline of log |dBz/dt| against log t.
//
// Layers below the depth at which the field has decayed by e^-36 (at a
// frequency and wavenumber) are left out of that kernel's recursion.

#include <QVector>

#include <vector>

#include "platform/inversion/InversionMethodExport.h"

class INVERSIONMETHOD_EXPORT LayeredEarthResponse
{
public:
    static constexpr double kMu0 = 4.0e-7 * 3.14159265358979323846;

    // times in seconds (any order); loopRadius in metres. Unusable times or
    // radius make the object invalid: every response is then NaN.
    LayeredEarthResponse(const QVector<double>& timesSeconds, double loopRadius);

    bool isValid() const { return m_valid; }
    int timeCount() const { return m_times.size(); }
    double loopRadius() const { return m_radius; }

    // rho: n resistivities (ohm-m), top first, the last the basement;
    // thickness: n - 1 thicknesses (m). values receives dBz/dt per ampere
    // (T/s/A, negative) at each time; logJacobian, when given, receives
    // timeCount() x n values, row by row: d ln|dBz/dt(t_j)| / d ln rho_k.
    // False, with NaN values, for unusable layers.
    bool evaluate(const double* rho, const double* thickness, int n, double* values,
                  double* logJacobian = nullptr) const;
    QVector<double> dBzDt(const QVector<double>& rho, const QVector<double>& thickness) const;

    // Closed-form half-space response (T/s/A) at t seconds, and its
    // derivative d ln|dBz/dt| / d ln rho. NaN for unusable arguments.
    static double halfSpace(double t, double rho, double loopRadius);
    static double halfSpaceLogDerivative(double t, double rho, double loopRadius);
    // The regularised lower incomplete gamma function P(5/2, x) in which
    // that response is written (-3 rho / a^3 P(5/2, mu0 a^2 / (4 rho t))),
    // and its derivative; 0 for x <= 0.
    static double gammaP52(double x);
    static double gammaP52Derivative(double x);

private:
    struct Kernel;

    double m_radius = 0.0;
    QVector<double> m_times;
    bool m_valid = false;

    // Lagged time grid: tau_j = exp(m_gridFirstLn + j * step).
    int m_gridCount = 0;
    double m_gridFirstLn = 0.0;
    std::vector<double> m_omega;   // shared frequencies, ascending
    std::vector<double> m_lambda;  // Hankel abscissae for this radius
    // ln|v(t)| = sum_j m_interp[t * m_gridCount + j] ln|v(tau_j)|
    std::vector<double> m_interp;
};

#endif
