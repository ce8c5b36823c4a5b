#ifndef HW_INVERSIONMETHOD_H
#define HW_INVERSIONMETHOD_H

// Layered-earth inversion of central-loop TEM decay curves.
//
// Units of pointCompute (and of the rows of the line calls):
//   times    gate times in microseconds;
//   curve    received voltage in volts at each gate, measured with the
//            transmitter current `current` in amperes;
//   values   resistivity in ohm-metres, one per layer;
//   depths   the lower boundary of each layer in metres below the ground,
//            negative and falling; values[j] is the model down to depths[j],
//            and the last layer continues below as the basement. The first
//            boundary lies at 1 m (the top layer is given twice when the
//            ladder's first boundary lies deeper), so that a column's first
//            level marks the ground.
// The line calls receive no current: their curves are taken as measured
// with kNominalLineCurrent, the current the line view hands to the point
// inversion, so that both line methods agree.
//
// The survey (setSurvey): a transmitter loop of the given radius and turns
// at the centre of which a receiver of the given effective area (turns x
// area) records V = area x turns x current x |dBz/dt| per ampere-turn.
//
// Method (LayeredInversion, LayeredEarthResponse):
//   1. Gates with a finite time > 0 and a finite value > 0 are usable
//      (zeros, sign reversals and NaN are left out). Fewer than two usable
//      gates, or a current that is not finite and > 0, leave values and
//      depths empty: such a curve has no model.
//   2. Each gate's relative error is at least LayeredInversion::kErrorFloor,
//      more where the curve scatters about a smooth decay more than a noise
//      at that floor would.
//   3. The apparent resistivity of each gate (the half-space that gives its
//      value; the late-time branch for the latest gate, then the root
//      nearest the later gate's) places the gate at half its diffusion depth
//      sqrt(2 t rho_a / mu0). Those depths set the ladder: boundaries
//      growing by about kLadderGrowth from half the shallowest gate depth to
//      kReachBelowData times the deepest, then by kLadderGrowthBelowReach to
//      kLadderBelowData times the deepest; the apparent resistivities,
//      interpolated onto it in log depth, are the start.
//   4. Occam's inversion on that ladder, tending to the reference
//      resistivity below the latest gate's diffusion depth. At a constraint
//      of LayeredInversion::kOccamConstraint it gives the smoothest model
//      that fits the data to their errors; a larger constraint a smoother
//      model that fits less closely, a smaller one a rougher model that
//      fits at least as closely (LayeredInversion); one that is not finite
//      and > 0 gives the roughest the search allows.
// The line calls invert every usable station so, on one ladder common to
// the line (or lines), then again in kLateralSweeps sweeps in which each
// station's model is also drawn towards its neighbours' (weight
// kLateralWeight x constraint x the typical spacing / the distance, at most
// that at the typical spacing), still fitting its own data. A station
// without two usable gates keeps the reference half-space and is no
// neighbour. The stations are inverted in parallel; the result does not
// depend on the number of threads.
// A reference resistivity that is not finite and > 0 is replaced by
// kDefaultReferenceResistivity. The output vectors are always of equal
// length, and every value is finite.

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
    // The survey assumed when none is set: a loop of this radius (m; its
    // area is close to that of a 35 m x 35 m square loop), one turn, and a
    // receiver of this effective area (turns x area, m^2).
    static constexpr double kLoopRadius = 20.0;
    static constexpr double kReceiverArea = 100.0;
    // Current (A) assumed for the curves of the profile and 3-D calls.
    static constexpr double kNominalLineCurrent = 10.0;
    // Used when the given reference resistivity is unusable (ohm-m).
    static constexpr double kDefaultReferenceResistivity = 100.0;
    // Ladder: growth of the layer boundaries down to the reach of the
    // latest gates (kReachBelowData times the deepest gate depth, about
    // 1.5 diffusion depths), the growth below it, and the bottom as a
    // multiple of the deepest gate depth.
    static constexpr double kLadderGrowth = 1.25;
    static constexpr double kReachBelowData = 3.0;
    static constexpr double kLadderGrowthBelowReach = 1.6;
    static constexpr double kLadderBelowData = 12.0;
    static constexpr int kLadderMinLayers = 18;
    static constexpr int kLadderMaxLayers = 32;
    // Gauss-Newton steps of one station's inversion, and of each lateral sweep.
    static constexpr int kIterations = 12;
    static constexpr int kLateralSweeps = 3;
    static constexpr int kSweepIterations = 3;
    // Pull towards each neighbour per unit of constraint, against the
    // vertical roughness, at the typical spacing.
    static constexpr double kLateralWeight = 0.5;
    // Elevations above this mark a station without elevation.
    static constexpr double kMissingElevation = 50000.0;

    struct Survey {
        double loopRadius = kLoopRadius;
        double transmitterTurns = 1.0;
        double receiverArea = kReceiverArea;
        // From a project's coil set-up: a rectangular loop as the circle of
        // the same area; a value that is not finite and > 0 keeps the
        // default of its part.
        static Survey fromCoils(double loopLength, double loopWidth, double turns, double receiverArea);
        bool operator==(const Survey& o) const
        {
            return loopRadius == o.loopRadius && transmitterTurns == o.transmitterTurns
                && receiverArea == o.receiverArea;
        }
    };

    InversionMethod();

    void setSurvey(const Survey& survey);
    Survey survey() const { return m_survey; }

    // RMS of (model response / curve - 1) over the usable gates of the last
    // pointCompute; NaN when it gave no model.
    double lastMisfit() const { return m_lastMisfit; }
    // Forward evaluations the last call spent (all stations together).
    int lastForwardCount() const { return m_lastForwards; }

    // Half-space step-off response dBz/dt in T/s (negative) at time t (s),
    // for resistivity rho (ohm-m), transmitter current (A) and loop radius
    // (m). NaN when t, rho or the radius is not finite and > 0.
    static double halfSpaceDBzDt(double t, double rho, double current, double loopRadius = kLoopRadius);
    // Received voltage -kReceiverArea * dBz/dt in volts (positive).
    static double receivedVoltage(double t, double rho, double current, double loopRadius = kLoopRadius);
    // Received voltages in volts at the given times in microseconds over a
    // half-space for the default survey: the curve such a survey would hand
    // to pointCompute.
    static QVector<double> syntheticCurve(const QVector<double>& timesUs, double rho, double current);
    // Step 3 above for the default survey: apparent resistivity (ohm-m) and
    // depth (m, positive) of every usable gate, in order of increasing
    // time. Both stay empty when the current is unusable.
    static void apparentResistivity(const QVector<double>& curve, const QVector<double>& timesUs, double current,
                                    QVector<double>& rho, QVector<double>& depthsM);

    // One station: curve in volts for `current` amperes, times in us (see
    // above). values and depths are replaced.
    void pointCompute(QVector<double> curve, QVector<double> times, double current, QVector<double>& values,
                      QVector<double>& depths, double referenceResistivity, double constraint);

    // One line: curves has one row per station (volts for
    // kNominalLineCurrent), coordinates one record per station; neighbours
    // are the stations before and after along the line, at the distance
    // between their station numbers (evenly spaced without coordinates).
    // Records, one per station in order: x, y the station's coordinates;
    // z the layer depths relative to the ground (m, negative); value the
    // resistivities; reserved the station's misfit as lastMisfit() gives it
    // (NaN for a station without a model); station the station number
    // (pointNo). A station beyond the coordinates gets its index as station
    // number and x. third is not used. Empty curves give an empty list.
    QList<DataType_ThreeResultData> shapedProfile_LineCalc(QVector<QVector<double> > curves, QVector<double> times,
                                                           QVector<GPSCoordinate> coordinates,
                                                           double referenceResistivity, double constraint,
                                                           double third);

    // Several lines: one entry per line in each vector, each line as in the
    // profile call with its own gate times, on a ladder common to all lines.
    // Neighbours: the stations next along the line, and the nearest usable
    // station of each adjacent line, weighted as in the profile call by
    // their distance in plan against the median of such distances (along
    // the lines, and across them). Records, line by line: x, y the
    // horizontal coordinates; z absolute elevations (station elevation +
    // depth; a missing elevation, z > kMissingElevation, is replaced by the
    // mean of the line's known elevations, else of all lines', else 0);
    // reserved the misfit; station the station number. third is not used.
    QList<DataType_ThreeResultData> Three_Dimensional_Calc(QVector<QVector<QVector<double> > > curves,
                                                           QVector<QVector<double> > times,
                                                           QVector<QVector<GPSCoordinate> > coordinates,
                                                           double referenceResistivity, double constraint,
                                                           double third);

private:
    Survey m_survey;
    double m_lastMisfit;
    int m_lastForwards = 0;
};

#endif
