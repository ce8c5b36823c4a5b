#ifndef HW_VIEWS_GRAPH_ISOLINE_H
#define HW_VIEWS_GRAPH_ISOLINE_H

#include "model/SharedTypes.h"

#include <QColor>
#include <QList>
#include <QMap>
#include <QVector>

#include <qwt_plot.h>

class QwtLinearColorMap;
class QwtPlotSpectrogram;
class QwtPlotCurve;
class QwtPlotMarker;
class QwtScaleDiv;

// Plot of a line: either one curve per time channel on a logarithmic axis,
// or the resistivity section as a spectrogram over Graph_IsoLineData.
class Graph_IsoLine : public QwtPlot
{
    Q_OBJECT
public:
    explicit Graph_IsoLine(QWidget *parent = nullptr);
    ~Graph_IsoLine() override;

    // Replaces the channel curves (one per channel, against x). False when a
    // channel holds a NaN, infinite or subnormal value; then one message per
    // affected station names it. The curves are drawn either way.
    bool drawChannelCurves(QVector<QVector<double> > channels, QVector<double> x);
    // Replaces the section; both forms pass mode 1.
    void setSectionData(QList<DataType_ResultData> &columns, QVector<TopoData> topography,
                        double depth, QMap<float, QColor> ramp, int mode);
    void setColorMap(QMap<float, QColor> ramp);
    void detachCurves();
    void attachMarkers();
    void setMarkerX(double x);

    // Station indices with an abnormal value, from the latest channel drawing.
    QVector<int> abnormalIndices() const { return m_abnormal; }
    QwtPlotSpectrogram *spectrogram() const { return m_spectrogram; }
    QList<QwtPlotCurve *> curves() const { return m_curves; }
    QwtPlotMarker *marker() const { return m_marker; }
    QwtLinearColorMap *colorMap() const { return m_colorMap; }

    // Inversion method of the current section (1 or 2); set by the forms.
    int contourMethod = 1;

public slots:
    void replot() override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    bool labelsFit(int axis, const QwtScaleDiv &div) const;
    // The channel axis's ticks for the canvas height it has now.
    QwtScaleDiv channelScaleDiv() const;
    // Qwt's step count of the bottom or left axis for the canvas size it
    // has now.
    int majorSteps(int axis) const;
    bool fitTicks();
    void deleteCurves();
    void deleteSpectrogram();

    QwtLinearColorMap *m_colorMap = nullptr;   // owned by the spectrogram once set
    QwtPlotSpectrogram *m_spectrogram = nullptr;
    QList<QwtPlotCurve *> m_curves;
    QwtPlotMarker *m_marker = nullptr;
    QVector<int> m_abnormal;
    bool m_channelAxis = false;   // the log axis of the channel curves is shown
    // Decades (powers of ten) the channel axis runs between.
    int m_channelLowest = -9;
    int m_channelHighest = -1;
};

#endif
