#ifndef HW_VIEWS_CHARTVIEW_H
#define HW_VIEWS_CHARTVIEW_H

#include <QPoint>
#include <QtCharts/QChartView>

class Chart;
class Dialog_Axis;

// View of the decay chart: keys zoom and scroll, the mouse drags the picked
// point, a left double-click asks for the axis limits.
class ChartView : public QtCharts::QChartView
{
    Q_OBJECT

public:
    explicit ChartView(Chart *chart, QWidget *parent = nullptr);
    ~ChartView() override;

    Dialog_Axis *axisDialog() const { return m_axisDialog; }

protected:
    bool viewportEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    Chart *m_chart;
    QPoint m_lastPressPos;
    // The mouse left the pressed position before the release.
    bool m_movedSincePress = false;
    bool m_touching = false;
    Dialog_Axis *m_axisDialog;
};

#endif // HW_VIEWS_CHARTVIEW_H
