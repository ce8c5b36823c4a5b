#ifndef HW_VIEWS_FORM_1DGRAPH_H
#define HW_VIEWS_FORM_1DGRAPH_H

#include "model/Data_Mathematical_Calc.h"
#include "model/ModelFiles.h"
#include "model/SharedTypes.h"
#include "platform/inversion/InversionMethod.h"

#include <QColor>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>
#include <QWidget>

namespace QtCharts {
class QChart;
class QChartView;
class QLineSeries;
class QLogValueAxis;
class QScatterSeries;
class QValueAxis;
}

class Chart;
class ChartView;
class Graph_IsoLine;
class PlotMatrix;
class QGridLayout;

namespace Ui {
class Form_1DGraph;
}

// The one-dimensional view: the decay curve of the shown station (editable),
// its resistivity-depth model, and the channel curves and section of its line.
class Form_1DGraph : public QWidget
{
    Q_OBJECT

public:
    explicit Form_1DGraph(QWidget *parent = nullptr);
    ~Form_1DGraph() override;

    // Ranges of the resistivity-depth chart; with useDefaults the next
    // station or edit takes them from its model.
    void setAxis2Range(double depthMin, double resistivityMax, double resistivityMin,
                       bool useDefaults);
    bool axis2UsesDefaults() const { return m_useDefaults; }

    Chart *decayChart() const { return m_decayChart; }
    ChartView *decayView() const { return m_decayView; }
    QtCharts::QChart *modelChart() const { return m_modelChart; }
    QtCharts::QScatterSeries *stationSeries() const { return m_stationSeries; }
    QtCharts::QLineSeries *referenceSeries() const { return m_referenceSeries; }
    QtCharts::QLineSeries *modelSeries() const { return m_modelSeries; }
    QtCharts::QLogValueAxis *timeAxis() const { return m_timeAxis; }
    QtCharts::QLogValueAxis *valueAxis() const { return m_valueAxis; }
    QtCharts::QValueAxis *resistivityAxis() const { return m_resistivityAxis; }
    QtCharts::QValueAxis *depthAxis() const { return m_depthAxis; }
    Graph_IsoLine *channelPlot() const { return m_channelPlot; }
    Graph_IsoLine *sectionPlot() const { return m_sectionPlot; }
    PlotMatrix *plotMatrix() const { return m_plotMatrix; }

    QVector<double> editedCurve() const { return m_editedCurve; }
    // The shown station was edited and the edit has not reached the file.
    bool hasUnsavedEdit() const { return m_editUnsaved; }
    // The user let the edit go; it stays on screen until replaced.
    void forgetUnsavedEdit() { m_editUnsaved = false; }
    // Back to the empty view of no project: no station, model, line
    // curves or section, no edit.
    void clearView();
    int currentStationColumn() const { return m_stationColumn; }
    QVector<QVector<double> > lineMatrix() const { return m_lineMatrix; }
    // The section of the line's stations around the shown one, as a save
    // redraws it.
    QList<DataType_ResultData> lineSection();
    InvParam currentParams() const { return m_params; }

    // The default colour ramp of a recomputed section.
    static QMap<float, QColor> defaultColorRamp();

signals:
    void signal_LineMoveStateChanged(bool);
    void signal_FileSavedtoDB(QVector<double>, QVector<double>);
    void signal_FiseSaveButtonEnalbe(bool);

public slots:
    // The survey's loop radius (m), transmitter turns and receiver area
    // (m^2), with which the shown station is inverted from then on.
    void on_signalSurveyChanged(double loopRadius, double transmitterTurns, double receiverArea);
    void on_signalStationChanged(QString title, QVector<double> values, QVector<double> times,
                                 double current, double referenceResistivity, double constraint);
    void on_signalShowLineChanged(QVector<double> values, QVector<double> times);
    void on_signalLineSectionGraphChanged(QVector<QVector<double> > matrix,
                                          QVector<double> gateTimes,
                                          QVector<double> stationPositions,
                                          double stationPosition);
    // The measured currents of the next line section's columns.
    void on_signalLineCurrentsChanged(QVector<double> currents);
    void on_signalISOGraphChanged(InvParam params, QList<DataType_ResultData> &results,
                                  QVector<TopoData> topography, double depth,
                                  QMap<float, QColor> colours, bool flag);
    void on_signalCurrentGridSettingsChanged(GridPattern pattern, double spacing);
    // The ramp chosen for the sections: the shown one is recoloured, and a
    // save redraws in it.
    void on_signalColorMapChanged(QMap<float, QColor> ramp);
    void on_signalContourMethod1D(int method);
    void on_signalEditCheckBoxStateChanged(bool pointMove, bool lineMove);
    void on_signalFileSaved();
    // The controller stored the edited curve.
    void on_signalEditedCurveStored();
    void on_signalFittingMethodChanged(int method);
    void on_signalChartAxisScaleChanged(double xMax, double xMin, double yMax, double yMin);
    void onSignalMouseMoveComplete_RefreshUI();

private:
    // The axes' ranges as the form began, with no station shown.
    struct AxisRanges {
        QPair<double, double> time, value, resistivity, depth;
    };
    AxisRanges axisRanges() const;
    void setAxisRanges(const AxisRanges &ranges);
    void buildDecayChart();
    void buildModelChart();
    void buildPlots();
    static void takeColumnWidth(Graph_IsoLine *plot);
    // Replaces the model staircase; returns the smallest and largest layer
    // resistivity, tracked from 1e6 and -10000.
    QPair<double, double> rebuildModelSeries(const QVector<double> &resistivity,
                                             const QVector<double> &depth);
    void deleteStationSeries();
    void deleteModelSeries();
    // The values of the station points as they stand.
    QVector<double> seriesValues() const;
    // Takes the station points as the edited curve, inverts it, puts it into
    // the line's channel curves and enables saving.
    void reinvertEditedCurve();

    Ui::Form_1DGraph *ui;
    QGridLayout *m_layout = nullptr;

    double m_chartXMax = 1e6;
    double m_chartXMin = 50.0;
    double m_chartYMax = 0.001;
    double m_chartYMin = 1e-8;
    // The limits were set in the axis dialog; until then the value axis
    // fits each station's curve.
    bool m_chartAxisSet = false;

    bool m_useDefaults = true;
    double m_resistivityMax = 0.0;
    double m_resistivityMin = 0.0;
    double m_depthMin = 0.0;

    double m_current = 0.0;
    double m_referenceResistivity = 0.0;
    double m_constraint = 0.0;

    double m_stationPosition = 0.0;
    int m_stationColumn = -1;

    InvParam m_params;
    QVector<double> m_editedCurve;
    bool m_editUnsaved = false;

    QVector<QVector<double> > m_lineMatrix;
    // Each column's current when the section came with them, else empty.
    QVector<double> m_lineCurrents;
    QVector<double> m_nextLineCurrents;
    QVector<double> m_stationPositions;
    QVector<double> m_lineGateTimes;

    QVector<double> m_stationTimes;
    QVector<double> m_stationValues;

    QtCharts::QScatterSeries *m_stationSeries = nullptr;
    QtCharts::QLineSeries *m_referenceSeries = nullptr;
    QtCharts::QLineSeries *m_modelSeries = nullptr;

    QtCharts::QLogValueAxis *m_timeAxis = nullptr;
    QtCharts::QLogValueAxis *m_valueAxis = nullptr;
    QtCharts::QValueAxis *m_resistivityAxis = nullptr;
    QtCharts::QValueAxis *m_depthAxis = nullptr;

    Chart *m_decayChart = nullptr;
    ChartView *m_decayView = nullptr;
    QtCharts::QChart *m_modelChart = nullptr;
    QtCharts::QChartView *m_modelView = nullptr;
    PlotMatrix *m_plotMatrix = nullptr;
    Graph_IsoLine *m_channelPlot = nullptr;
    Graph_IsoLine *m_sectionPlot = nullptr;

    InversionMethod m_inversion;
    Data_Mathematical_Calc m_calc;
    ModelFiles m_sectionBuilder;

    AxisRanges m_emptyRanges;

    // The ramp the section is drawn in.
    QMap<float, QColor> m_sectionRamp = defaultColorRamp();

    GridPattern m_gridPattern = GRID_FIXED;
    double m_gridSpacing = 5.0;
};

#endif // HW_VIEWS_FORM_1DGRAPH_H
