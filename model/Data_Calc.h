#ifndef HW_MODEL_DATA_CALC_H
#define HW_MODEL_DATA_CALC_H

// Stateless numeric routines of the data model: curve preprocessing,
// classification, line statistics and the decay chart of report pictures.
// Data_Calc.cpp and Data_Calc_Classes.cpp need Qt Core/Gui only; the chart
// routine lives in Data_Calc_Charts.cpp (hw_modelcharts, Qt Charts).

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointF>
#include <QPolygonF>
#include <QVector>

#include "iolib/GPSCoordinate.h"
#include "model/SharedTypes.h"
#include "store/SampleCurve.h"

namespace QtCharts {
class QChart;
}

class Data_Calc : public QObject
{
    Q_OBJECT

public:
    explicit Data_Calc(QObject* parent);

    // --- Curve and coordinate preprocessing ---

    // Mean curve of a station's sample records; times are record 0's.
    // No records: the outputs keep what they held.
    void stackCurves(QList<SampleCurve> records, QVector<double>* values,
                     QVector<double>* times);
    // Shift to time zero at turn-off t0, then smooth and scale by 1/11.
    void regroupRecords(QVector<double>* values, QVector<double>* times,
                        double t0);
    // Moves time zero to t0 and puts the times on the 1.6 us grid.
    void shiftTimeZero(QVector<double>* times, QVector<double>* values,
                       double t0);
    QVector<double> smoothCurveVariable(QVector<double> curve);
    // Turn-off time in microseconds of a turn-off waveform blob sampled at
    // rate (samples per second); 0.0 when no quiet window exists.
    double findSettledIndex(double rate, QByteArray record);
    // Sideways smoothing of a section, station against station.
    QList<DataType_ResultData> smoothCurves(QVector<DataType_ResultData> sections);
    // Appends the positions of NaN, infinite and subnormal values.
    static void abnormalValueIndices(QVector<double> values, QVector<int>& indices);
    // Orders coordinates by line, first record of each station wins.
    QList<GPSCoordinate> groupByKey(QList<GPSCoordinate> coordinates);
    bool containsKey(QVector<float> keys, float key);

    // --- Classification, statistics and report charts ---

    QList<DataType_ResultData> quantileClasses(QList<DataType_ResultData> data);
    QList<DataType_ResultData> linearClasses(QList<DataType_ResultData> data);
    QVector<EditInfo> editStatistics(QVector<QVector<double>> current,
                                     QVector<QVector<double>> raw,
                                     QVector<double> pointNumbers);
    LineInfo reportValueMap(QVector<double> stations);
    QVector<QVector<double>> transpose(QVector<QVector<double>> m);
    // New chart owned by the caller (needs hw_modelcharts); its axes take
    // in every point in whole decades.
    QtCharts::QChart* makeDecayChart(QVector<double> x, QVector<double> y);
    // Range of a log axis in whole decades that takes in every value such an
    // axis can place (finite, above zero), one decade at least; the fallback
    // range when there is none.
    static QPair<double, double> decadeRange(const QVector<double>& values, double fallbackLow,
                                             double fallbackHigh);
    bool pointInArea(QPolygonF polygon, QPointF point);
};

#endif // HW_MODEL_DATA_CALC_H
