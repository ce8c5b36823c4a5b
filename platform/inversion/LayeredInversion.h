#ifndef HW_LAYEREDINVERSION_H
#define HW_LAYEREDINVERSION_H

// Regularised inversion of one central-loop sounding for the log
// resistivities of a fixed ladder of layers (Occam's method: Constable,
// Parker and Constable 1987).
//
// The data are ln|dBz/dt| per ampere at the usable gates, each with a
// relative error; the misfit chi is the RMS of the log residuals over
// those errors. Each Gauss-Newton step solves
//   (J'W'WJ + mu (R'R + L) + (1 + mu) S) m = J'W'W (r + J m0) + mu L* + (1 + mu) S m_ref
// for the new model m directly (R: first differences down the ladder; L:
// the pull towards neighbouring stations' models, when given; S: the pull
// towards the reference resistivity of the layers below the data's reach).
// Occam's search takes the largest mu whose predicted misfit meets the
// target (while it is out of reach, the largest that comes close to the
// smallest predicted misfit): the smoothest model, and the closest to the
// neighbours, that fits the data to the target.
//
// The constraint coefficient c keeps its meaning over its whole range. At
// kOccamConstraint the target is chi = 1: the data fitted to their errors.
// Above it the target grows as (c / kOccamConstraint)^kTargetGrowth, so a
// larger coefficient gives a smoother model that fits less closely. Below
// it the target stays at 1 and the mu the search settles on is scaled by
// (c / kOccamConstraint)^kTradeOffGrowth, down to the least mu the search
// tries: a rougher model that fits at least as closely.

#include <QVector>

#include <vector>

#include "platform/inversion/InversionMethodExport.h"

class LayeredEarthResponse;

class INVERSIONMETHOD_EXPORT LayeredInversion
{
public:
    struct Sounding {
        QVector<double> logData;   // ln|dBz/dt| per ampere, one per gate of the forward
        QVector<double> error;     // relative error of each gate
        double reach = 0.0;        // depth (m) below which the data say nothing
    };
    struct Neighbour {
        QVector<double> model;     // its ln rho on the same ladder
        double weight = 0.0;       // relative to the vertical roughness
    };
    struct Result {
        QVector<double> model;     // ln rho per layer
        double chi = 0.0;          // normalised RMS misfit of the model
        double rmsRelative = 0.0;  // RMS of (model response / data - 1)
        int forwards = 0;          // forward evaluations spent
        bool finite = false;       // whether the model's response was finite
    };

    // boundaries: the lower boundary (m, positive, increasing) of each
    // layer; the last layer continues as the basement.
    LayeredInversion(const QVector<double>& boundaries, double reference, double constraint);

    int layers() const { return m_boundaries.size(); }
    const QVector<double>& boundaries() const { return m_boundaries; }

    // forward gives the response at the sounding's gates. start is ln rho
    // per layer. At most maxIterations Gauss-Newton steps.
    Result invert(const LayeredEarthResponse& forward, const Sounding& sounding, const QVector<double>& start,
                  const std::vector<Neighbour>& neighbours, int maxIterations) const;

    // The relative error of each gate: a floor, or more where the curve
    // scatters about a smooth decay (local cubic fits in log-log) more than
    // noise at the floor would by chance: the curve's own scatter at every
    // gate, a neighbourhood's where it scatters more than the curve.
    static QVector<double> gateErrors(const QVector<double>& logTimes, const QVector<double>& logData,
                                      double floor);

    static constexpr double kErrorFloor = 0.03;
    static constexpr double kTargetChi = 1.0;
    // The constraint at which the data are fitted to their errors, and how
    // the target misfit grows above it and the trade-off falls below it. The
    // ribbon's default (1.0, scaled to 0.5 to 2 by the instrument kind) lies
    // below it: a little rougher than the smoothest model that fits, and a
    // fit at or a little inside the errors, whose estimate may run high.
    static constexpr double kOccamConstraint = 4.0;
    static constexpr double kTargetGrowth = 0.3;
    static constexpr double kTradeOffGrowth = 1.5;
    // Bounds of ln rho that every model keeps (0.01 to 1e6 ohm-m).
    static constexpr double kLowest = -4.605170185988091;
    static constexpr double kHighest = 13.815510557964274;

private:
    QVector<double> m_boundaries;
    QVector<double> m_thickness;
    double m_reference;
    double m_target;  // chi that the smoothest model may leave
    double m_scale;   // of the trade-off the search settles on
};

#endif
