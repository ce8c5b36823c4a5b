#ifndef HW_DATA_MATHEMATICAL_CALC_H
#define HW_DATA_MATHEMATICAL_CALC_H

// Numerical work of the data model: decay-curve fits (GSL), the calls into
// the inversion library and the small resampling helpers they share.

#include <QList>
#include <QObject>
#include <QVector>

#include "iolib/GPSCoordinate.h"
#include "model/SharedTypes.h"
#include "platform/inversion/InversionMethod.h"

class Data_Mathematical_Calc : public QObject
{
    Q_OBJECT

public:
    explicit Data_Mathematical_Calc(QObject *parent = nullptr);

    // --- Decay-curve fits (Data_Mathematical_Calc_Fit.cpp) ---
    // Each replaces values by a smooth curve fitted in log10(time) /
    // log10(value) space; times are not changed. Only pairs with a finite
    // time > 0 and a finite value > 0 take part. A point that cannot take
    // part keeps its value unless its time lies inside the span of the
    // usable times, where it gets the fitted curve. Too few usable points
    // (fewer distinct times than the model has parameters) or a solver
    // that yields no finite curve leave values unchanged; a value whose fit
    // is not finite keeps its input value. With differing lengths only the
    // common prefix is fitted. The exponential and Gaussian fits also start
    // the solver from a second point (their fixed start misses curves of
    // the other curvature or sign) and keep the closer of the two fits.
    static void exponentialFit(QVector<double> &times, QVector<double> &values);  // A e^(-lx) + b, 3 points
    static void gaussianFit(QVector<double> &times, QVector<double> &values);     // a e^(-z^2/2), 3 points
    // Weighted cubic B-spline, 12 coefficients on uniform knots over
    // log10(time) in [0, 15]; needs 12 distinct usable times inside the
    // knots, times outside them keep their values.
    static void bsplineFit(QVector<double> &times, QVector<double> &values);

    // --- Inversion calls (Data_Mathematical_Calc.cpp) ---
    // curves: one row per gate, one column per station. results is emptied
    // and gets one record per entry of stations (x = station number, depth
    // = the library's depths shifted by the station's ground elevation,
    // value = the library's values); the result list (getResults) gets the
    // smallest shifted depth per station. A station whose curve has no model
    // (fewer than two usable gates, no usable current, no curve column) is
    // left out of both, as a station without data is.
    void pointInversion(QVector<QVector<double> > curves, QVector<double> times,
                        QVector<double> stations, double current,
                        QList<DataType_ResultData> &results, InvParam param);
    // Profile inversion of one line, columns lifted onto the topography.
    // The last argument is not used; the library always gets 100.0.
    QList<DataType_ThreeResultData> profileInversion(QVector<QVector<double> > curves,
                                                     QVector<double> times,
                                                     QVector<GPSCoordinate> coordinates,
                                                     InvParam param, double unused);
    // Several lines at once (one entry per line in each vector; lines beyond
    // the shortest of the three are left out). The fourth argument is not
    // used, the reference resistivity comes from param; last goes to the
    // library.
    QList<DataType_ThreeResultData> threeDimensionalInversion(
        QVector<QVector<QVector<double> > > curves, QVector<QVector<double> > times,
        QVector<QVector<GPSCoordinate> > coordinates, double unused, InvParam param,
        double last);

    // One value per station of the last point inversion.
    QList<double> getResults() const;

    // The survey's loop and receiver, handed to every inversion of the
    // three calls above (the library's defaults until one is set).
    void setSurvey(const InversionMethod::Survey &survey) { m_survey = survey; }
    InversionMethod::Survey survey() const { return m_survey; }

    // The current the line-level calls hand to the library (A): the one its
    // line methods take their curves as measured with.
    static constexpr double kLineCurrent = InversionMethod::kNominalLineCurrent;
    // Brings each station's curve (column j of curves, one row per gate) to
    // kLineCurrent: multiplied by kLineCurrent / currents[j]. A column whose
    // current is missing, not finite or not > 0 is left as it is.
    static void scaleToLineCurrent(QVector<QVector<double> > &curves, const QVector<double> &currents);
    // Indices of the columns (stations) that can be inverted: at least two
    // gates with a finite time > 0 and a finite value > 0.
    static QVector<int> invertibleStations(const QVector<QVector<double> > &curves,
                                           const QVector<double> &times);

    // --- Helpers ---
    // Constraint coefficient scaled for the instrument kind: x0.5 for kind 1,
    // x0.8 for kind 2, x2 for kind 3, unchanged otherwise.
    static double scaledConstraint(const InvParam &param);
    // result[j][i] = m[i][j]. The first row fixes the width; entries missing
    // in a shorter row come back as NaN. Empty input, empty result.
    static QVector<QVector<double> > transpose(QVector<QVector<double> > m);
    // Ground elevation at each position: linear between the topography
    // points (sorted, equal positions merged, last one wins), the mean
    // elevation outside their range (ends inclusive). Empty topography: 0.0
    // everywhere; one point: its elevation everywhere. Non-finite points
    // are ignored.
    static QVector<double> resampleLinear(QVector<TopoData> topography, QVector<double> positions);
    // Sorts x[0..n) ascending (NaN last); each y[i] becomes the old y of the
    // last index j whose xBefore[j] equals the sorted x[i]; an x with no
    // equal in xBefore (NaN) keeps its own y. xBefore may alias x.
    static void sortByX(double *x, const double *xBefore, double *y, int n);
    // Linear interpolation through the n points (sorted and merged first)
    // at xq; outside the range the nearest end value; one point: its value;
    // no point or a NaN xq: NaN.
    static double linearInterpolate(const double *x, const double *y, int n, double xq);

    // Switches GSL's abort-on-error handler off; idempotent. Called by the
    // constructor and every GSL user here; main() calls it at start-up.
    static void initNumerics();

private:
    QList<double> m_results;
    InversionMethod::Survey m_survey;
};

#endif
