#ifndef HW_INVERSIONMETHOD_H
#define HW_INVERSIONMETHOD_H

// Resistivity imaging of central-loop TEM decay curves.
//
// Forward model: the step-off response of a homogeneous half-space of
// resistivity rho to a horizontal circular loop of radius a carrying the
// current I, observed at the loop centre (Ward and Hohmann 1988):
//
//   dBz/dt(t) = -(I / (sigma a^3)) * [3 erf(u) - (2/sqrt(pi)) u (3 + 2u^2) e^(-u^2)]
//   u = theta a,  theta = sqrt(mu0 sigma / (4 t)),  sigma = 1 / rho
//
// (the bracket equals 3 P(5/2, u^2), the regularised incomplete gamma
// function, which is how it is evaluated without cancellation at late time),
// and the received voltage V(t) = -kReceiverArea * dBz/dt, positive for a
// decay.
//
// Units of pointCompute (and of the rows of the line calls):
//   times    gate times in microseconds;
//   curve    received voltage in volts at each gate, measured with the
//            transmitter current `current` in amperes. The curve is divided
//            by the current (V/A) and compared with receivedVoltage(t, rho,
//            1.0). A curve already normalised per ampere is passed with
//            current = 1. syntheticCurve() makes exactly such a curve.
//   values   resistivity in ohm-metres, one per layer;
//   depths   the lower boundary of each layer in metres below the ground,
//            negative and falling (-1, -1.1, -1.21, ...); values[j] is the
//            model at depths[j].
// The line calls receive no current: their curves are taken as measured with
// kNominalLineCurrent, the current the line view hands to the point
// inversion, so that both line methods agree.
//
// Method of pointCompute:
//   1. Gates with a finite time > 0 and a finite value > 0 are usable
//      (zeros, sign reversals and NaN are left out).
//   2. Apparent resistivity per gate: the half-space resistivity whose
//      response at that time equals the normalised value. At a fixed time
//      the response has a maximum over rho, so a value has two roots. The
//      latest gate takes the root of the late-time branch, the one the
//      late-time formula
//        rho_a = (mu0/(4 pi t)) * (2 mu0 M A_r / (5 t V))^(2/3),  M = pi a^2 I,
//      approximates; each earlier gate takes the root nearest (in log rho)
//      the value of the gate after it. A value above the maximum takes the
//      resistivity of the maximum.
//   3. Each gate lies at kDepthFraction times its diffusion depth
//      sqrt(2 t rho_a / mu0). Depths are made to increase with time; gates
//      that would lie no deeper than the one before are averaged into it.
//   4. The ladder: layer boundaries from kLadderTop growing by kLadderGrowth
//      down to kLadderBelowData times the deepest gate depth, at least
//      kLadderDefaultBottom and at most kLadderMaxBottom.
//   5. log rho_a is interpolated linearly in log depth onto the ladder and
//      smoothed by a Gaussian in log depth of width kVerticalSmoothing x the
//      constraint coefficient, within the depths the gates reach only, so a
//      uniform sounding stays uniform. Above the shallowest gate the model
//      keeps the value of the shallowest layer within that reach, which the
//      smoothing averages with the deeper layers only: it moves toward them
//      as the constraint grows (the shallowest gate's own value only where
//      no layer boundary lies within the reach). Below the deepest gate it
//      relaxes toward the reference resistivity over about kRelaxLength in
//      log depth.
// Fewer than two usable gates, or a current that is not finite and > 0,
// leave values and depths empty: such a curve has no model. A reference
// resistivity that is not finite and > 0 is replaced by
// kDefaultReferenceResistivity. The output vectors are always of equal
// length.

#include <QList>
#include <QVector>

#include "iolib/GPSCoordinate.h"
#include "model/SharedTypes.h"
#include "platform/inversion/InversionMethodExport.h"

class INVERSIONMETHOD_EXPORT InversionMethod
{
public:
    // Magnetic permeability of free space (H/m).
    static constexpr double kMu0 = 4.0e-7 * 3.14159265358979323846;
    // Transmitter loop radius (m); its area is close to that of a
    // 35 m x 35 m square loop.
    static constexpr double kLoopRadius = 20.0;
    // Receiver coil effective area, turns x area (m^2).
    static constexpr double kReceiverArea = 100.0;
    // Current (A) assumed for the curves of the profile and 3-D calls.
    static constexpr double kNominalLineCurrent = 10.0;
    // Depth of a gate as a fraction of its diffusion depth.
    static constexpr double kDepthFraction = 0.5;
    // Used when the given reference resistivity is unusable (ohm-m).
    static constexpr double kDefaultReferenceResistivity = 100.0;
    // Layer ladder (m): first boundary, growth per layer, and the bottom
    // limits.
    static constexpr double kLadderTop = 1.0;
    static constexpr double kLadderGrowth = 1.1;
    static constexpr double kLadderDefaultBottom = 500.0;
    static constexpr double kLadderBelowData = 1.5;
    static constexpr double kLadderMaxBottom = 20000.0;
    // Vertical smoothing width in natural-log depth per unit of constraint.
    static constexpr double kVerticalSmoothing = 0.1;
    // Scale (natural-log depth) of the relaxation toward the reference
    // resistivity below the deepest gate.
    static constexpr double kRelaxLength = 0.7;
    // Weight of each neighbouring station per unit of constraint in the
    // lateral smoothing of the line calls, at the line's typical spacing;
    // a neighbour d away counts typical / d times as much (capped at 1).
    static constexpr double kLateralWeight = 0.25;
    // Elevations above this mark a station without elevation.
    static constexpr double kMissingElevation = 50000.0;

    InversionMethod();

    // Half-space step-off response dBz/dt in T/s (negative) at time t (s),
    // for resistivity rho (ohm-m), transmitter current (A) and loop radius
    // (m). NaN when t, rho or the radius is not finite and > 0.
    static double halfSpaceDBzDt(double t, double rho, double current,
                                 double loopRadius = kLoopRadius);
    // Received voltage -kReceiverArea * dBz/dt in volts (positive).
    static double receivedVoltage(double t, double rho, double current,
                                  double loopRadius = kLoopRadius);
    // Received voltages in volts at the given times in microseconds over a
    // half-space: the curve such a survey would hand to pointCompute.
    static QVector<double> syntheticCurve(const QVector<double>& timesUs,
                                          double rho, double current);
    // Steps 1 to 3 above: apparent resistivity (ohm-m) and depth (m,
    // positive, before the monotonic merge) of every usable gate, in order
    // of increasing time. Both stay empty when the current is unusable.
    static void apparentResistivity(const QVector<double>& curve,
                                    const QVector<double>& timesUs,
                                    double current,
                                    QVector<double>& rho,
                                    QVector<double>& depthsM);
    // The default ladder of layer boundaries (m, negative, falling).
    static QVector<double> defaultLadder();

    // One station: curve in volts for `current` amperes, times in us (see
    // above). values and depths are replaced.
    void pointCompute(QVector<double> curve, QVector<double> times, double current,
                      QVector<double>& values, QVector<double>& depths,
                      double referenceResistivity, double constraint);

    // One line: curves has one row per station (volts for
    // kNominalLineCurrent), coordinates one record per station. Each station
    // is inverted as in pointCompute on a ladder common to the line; then
    // each layer is smoothed with the neighbouring stations along the line
    // (weight kLateralWeight x constraint x the median station spacing /
    // the distance between the two station numbers, at most 1; without
    // coordinates the stations are evenly spaced). A station without two
    // usable gates keeps the reference half-space and is no neighbour.
    // Records, one per station in order: x, y the station's coordinates;
    // z the layer depths relative to the ground (m, negative); value the
    // resistivities; reserved 0; station the station number (pointNo).
    // A station beyond the coordinates gets its index as station number
    // and x. third is not used. Empty curves give an empty list.
    QList<DataType_ThreeResultData> shapedProfile_LineCalc(
        QVector<QVector<double> > curves, QVector<double> times,
        QVector<GPSCoordinate> coordinates, double referenceResistivity,
        double constraint, double third);

    // Several lines: one entry per line in each vector, each line as in the
    // profile call with its own gate times, on a ladder common to all lines.
    // Lateral smoothing takes the stations next along the line and the
    // nearest station of each adjacent line, weighted as in the profile call
    // by their distance in plan against the median of such distances (along
    // the lines, and across them). Records, line by line: x, y the
    // horizontal coordinates; z absolute elevations (station elevation +
    // depth; a missing elevation, z > kMissingElevation, is replaced by the
    // mean of the line's known elevations, else of all lines', else 0);
    // station the station number. third is not used.
    QList<DataType_ThreeResultData> Three_Dimensional_Calc(
        QVector<QVector<QVector<double> > > curves, QVector<QVector<double> > times,
        QVector<QVector<GPSCoordinate> > coordinates, double referenceResistivity,
        double constraint, double third);
};

#endif
