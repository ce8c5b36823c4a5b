#ifndef HW_VIEWS_CHART_H
#define HW_VIEWS_CHART_H

#include <QPointF>
#include <QtCharts/QChart>

QT_BEGIN_NAMESPACE
class QGestureEvent;
QT_END_NAMESPACE

namespace QtCharts {
class QXYSeries;
}

// The decay-curve chart: picks the point nearest a press on its series and
// moves it vertically while the mouse drags it, optionally carrying every
// later point along by the same factor.
class Chart : public QtCharts::QChart
{
    Q_OBJECT

public:
    explicit Chart(QGraphicsItem *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    void setSeries(QtCharts::QXYSeries *series);
    QtCharts::QXYSeries *editSeries() const { return m_series; }

    bool isPointSelected() const { return m_selected; }
    void setPointSelected(bool selected) { m_selected = selected; }
    QPointF selectedPoint() const { return QPointF(m_selectedX, m_selectedY); }
    bool lineMoveMode() const { return m_lineMove; }

    void notifyMoveComplete();
    // pos: pixel position in view coordinates; only its y is used.
    void dragSelectedPoint(QPoint pos);

signals:
    void signal_MouseMoveComplete();

public slots:
    void on_signal_clickPoint(QPointF point);
    void on_signal_LineMovedStatusChanged(bool lineMove);

protected:
    bool sceneEvent(QEvent *event) override;

private:
    bool gestureEvent(QGestureEvent *event);

    QtCharts::QXYSeries *m_series = nullptr;
    double m_selectedX = 0.0;
    double m_selectedY = 0.0;
    bool m_selected = false;
    bool m_lineMove = false;
};

#endif // HW_VIEWS_CHART_H
