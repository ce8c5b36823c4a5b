#ifndef HW_VIEWS_FORM_2DGRAPH_H
#define HW_VIEWS_FORM_2DGRAPH_H

#include "model/SharedTypes.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QMap>
#include <QVector>
#include <QWidget>

class Dialog_InvProgressBar;
class Graph_IsoLine;
class KXSMap;
class KXSpectrogramMap;
class KX_VolScheme2;
class PlotMatrix;
class QGridLayout;
class QLinearColorMap;
class QTabWidget;
class QwtPlotCurve;

namespace Ui {
class Form_2DGraph;
}

// The two-dimensional view of one line: channel curves over the resistivity
// section (page 1), the section map (page 2), and one tab per imported
// layered model or three-dimensional result.
class Form_2DGraph : public QWidget
{
    Q_OBJECT

public:
    explicit Form_2DGraph(QWidget *parent = nullptr);
    ~Form_2DGraph() override;

    void fitToWindow();
    void savePicture(QString path);
    void addViewTab(KX_VolScheme2 *scheme);
    // Back to the empty view of no project: no curves, section or map, and
    // only the two pages of its own.
    void clearView();

    QTabWidget *tabWidget() const;
    PlotMatrix *plotMatrix() const { return m_plotMatrix; }
    Graph_IsoLine *channelPlot() const { return m_channelPlot; }
    Graph_IsoLine *sectionPlot() const { return m_sectionPlot; }
    KXSpectrogramMap *sectionMap() const { return m_sectionMap; }
    const QList<QwtPlotCurve *> &meshCurves() const { return m_meshCurves; }
    Dialog_InvProgressBar *progressDialog() const { return m_progressDialog; }
    QLinearColorMap *sectionColorMap() const { return m_colorMap; }

    // Size of the section map drawn for print.
    static QSize printSize() { return QSize(1200, 800); }
    // The section of results drawn for print by the section map, at the
    // print size whatever the form's own size, in the colours the map shows
    // now, trimmed to what is drawn: the map, its axes and its colour bar.
    QImage sectionPicture(const QList<DataType_ResultData> &results, QVector<TopoData> topography,
                          double depth, int method) const;

public slots:
    void on_signal2DLineSectionGraphChanged(QVector<QVector<double> > channels,
                                            QVector<double> gateTimes, QVector<double> x);
    void on_signal2DISOGraphChanged(QList<DataType_ResultData> &results,
                                    QVector<TopoData> topography, double depth,
                                    QMap<float, QColor> ramp, int method, bool flag);
    void setData(QList<DataType_ResultData> &results, QVector<TopoData> topography,
                 QMap<float, QColor> ramp, double depth);
    void on_signalMesh(QVector<double> x, InvParam params);
    void on_signal2DModelerInput(LayerModeler model, QList<DataType_ResultData> results);
    void on_signalContourMethod2D(int method);
    void on_signalColorMapChanged(QMap<float, QColor> ramp);
    // Empties the section plot, its mesh and the section map.
    void clearSectionViews();
    // The line shown has no section: its channel curves go too.
    void on_signalSectionCleared();

private:
    // Ground at level 0 under every column, for results without topography.
    static QVector<TopoData> flatGround(const QList<DataType_ResultData> &results);
    void createLayout();
    void drawMesh(QVector<double> x, double xmax, double xmin, double top, double bottom,
                  int step, InvParam params);
    void clearMesh();
    void closeTab(int index);

    Ui::Form_2DGraph *ui;
    QGridLayout *m_pageLayout = nullptr;
    QGridLayout *m_mapLayout = nullptr;
    PlotMatrix *m_plotMatrix = nullptr;
    Graph_IsoLine *m_channelPlot = nullptr;
    Graph_IsoLine *m_sectionPlot = nullptr;
    QList<QwtPlotCurve *> m_meshCurves;
    Dialog_InvProgressBar *m_progressDialog = nullptr;
    KXSMap *m_contourMap = nullptr;   // never created; kept for the colour and fit commands
    KXSpectrogramMap *m_sectionMap = nullptr;
    QLinearColorMap *m_colorMap = nullptr;
    QMap<QWidget *, KX_VolScheme2 *> m_volumeTabs;
};

#endif
