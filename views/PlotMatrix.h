#ifndef HW_VIEWS_PLOTMATRIX_H
#define HW_VIEWS_PLOTMATRIX_H

#include <QFrame>

class QwtPlot;
class QResizeEvent;

// Grid of plots whose vertical axes are kept equally wide per column so
// that the canvases line up; chosen rows (columns) take a fixed share of the
// frame's height (width).
class PlotMatrix : public QFrame
{
    Q_OBJECT
public:
    PlotMatrix(int rows, int columns, QWidget *parent = nullptr);
    ~PlotMatrix() override;

    int numRows() const;
    int numColumns() const;

    QwtPlot *plotAt(int row, int column) const;
    void setPlotAt(QwtPlot *plot, int row, int column);

    void setRowHeightRatio(int row, float ratio);
    void setColumnWidthRatio(int column, float ratio);

    void updateLayout();

signals:
    void onResize();

public slots:
    void scaleDivChanged();

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    void alignAxes(int column, int axis);
    void connectAxes(QwtPlot *plot, bool on);
    void stylePlot(QwtPlot *plot);

    class PrivateData;
    PrivateData *d_data;
};

#endif
