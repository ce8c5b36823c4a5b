#include "views/ChartView.h"

#include "model/UserPrompt.h"
#include "shell/Dialog_Axis.h"
#include "views/Chart.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QtCharts/QAbstractAxis>

using namespace QtCharts;

ChartView::ChartView(Chart *chart, QWidget *parent)
    : QChartView(chart, parent)
    , m_chart(chart)
    , m_axisDialog(new Dialog_Axis(nullptr))
{
}

ChartView::~ChartView()
{
    delete m_axisDialog;
}

bool ChartView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::TouchBegin) {
        // Animations make touch scrolling stutter.
        m_touching = true;
        chart()->setAnimationOptions(QChart::NoAnimation);
    }
    return QChartView::viewportEvent(event);
}

void ChartView::mousePressEvent(QMouseEvent *event)
{
    if (m_touching || event->button() != Qt::LeftButton)
        return;
    m_lastPressPos = event->pos();
    m_movedSincePress = false;
    QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_touching)
        return;
    if (event->pos() != m_lastPressPos)
        m_movedSincePress = true;
    m_chart->dragSelectedPoint(event->pos());
    QChartView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent *event)
{
    // A click on a point that never moved is no edit: the last drag step
    // would put the point on its pixel row, a value it did not hold.
    const bool clickOnly = !m_movedSincePress && event->pos() == m_lastPressPos;
    if (!clickOnly) {
        m_chart->dragSelectedPoint(event->pos());
        if (m_chart->isPointSelected())
            m_chart->notifyMoveComplete();
    }
    m_chart->setPointSelected(false);
    m_touching = false;
    QChartView::mouseReleaseEvent(event);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        // OK stores the limits and closes; Cancel keeps the last ones, so the
        // result of the run does not matter.
        UserPrompt::exec(m_axisDialog);
        const QList<QAbstractAxis *> xAxes = m_chart->axes(Qt::Horizontal);
        const QList<QAbstractAxis *> yAxes = m_chart->axes(Qt::Vertical);
        if (!xAxes.isEmpty())
            xAxes.first()->setMax(m_axisDialog->xMax());
        if (!yAxes.isEmpty())
            yAxes.first()->setMax(m_axisDialog->yMax());
        if (!xAxes.isEmpty())
            xAxes.first()->setMin(m_axisDialog->xMin());
        if (!yAxes.isEmpty())
            yAxes.first()->setMin(m_axisDialog->yMin());
    } else if (event->button() == Qt::MiddleButton) {
        m_chart->dragSelectedPoint(event->pos());
        m_chart->setPointSelected(false);
        m_chart->notifyMoveComplete();
    }
    QChartView::mouseReleaseEvent(event);
}

void ChartView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Q:
        m_chart->zoomIn();
        break;
    case Qt::Key_Minus:
    case Qt::Key_E:
        m_chart->zoomOut();
        break;
    case Qt::Key_Left:
    case Qt::Key_A:
        m_chart->scroll(-10, 0);
        break;
    case Qt::Key_Right:
    case Qt::Key_D:
        m_chart->scroll(10, 0);
        break;
    case Qt::Key_Up:
    case Qt::Key_W:
        m_chart->scroll(0, 10);
        break;
    case Qt::Key_Down:
    case Qt::Key_S:
        m_chart->scroll(0, -10);
        break;
    case Qt::Key_Escape:
        m_chart->setPointSelected(false);
        m_chart->notifyMoveComplete();
        m_chart->zoomReset();
        break;
    default:
        QChartView::keyPressEvent(event);
        break;
    }
}
