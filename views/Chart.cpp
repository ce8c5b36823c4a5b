#include "views/Chart.h"

#include "model/UserPrompt.h"

#include <QGesture>
#include <QGestureEvent>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QXYSeries>

#include <QtMath>
#include <cmath>

using namespace QtCharts;

namespace {

const double kPinnedValue = 1e-8;
const double kLowestValue = 1e-16;
const double kHighestValue = 1.0;

QLogValueAxis *firstLogAxis(const QChart *chart, Qt::Orientation orientation)
{
    const QList<QAbstractAxis *> axes = chart->axes(orientation);
    return axes.isEmpty() ? nullptr : qobject_cast<QLogValueAxis *>(axes.first());
}

double distance(const QPointF &a, const QPointF &b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

} // namespace

Chart::Chart(QGraphicsItem *parent, Qt::WindowFlags flags)
    : QChart(parent, flags)
{
    grabGesture(Qt::PanGesture);
    grabGesture(Qt::PinchGesture);
}

void Chart::setSeries(QXYSeries *series)
{
    m_series = series;
}

void Chart::notifyMoveComplete()
{
    emit signal_MouseMoveComplete();
}

void Chart::on_signal_LineMovedStatusChanged(bool lineMove)
{
    m_lineMove = lineMove;
}

void Chart::on_signal_clickPoint(QPointF point)
{
    m_selectedX = 0.0;
    m_selectedY = 0.0;
    m_selected = false;
    if (!m_series)
        return;

    // The candidate starts at the origin: a point is taken only when it lies
    // nearer to the press than the origin does; ties keep the first.
    QPointF candidate(0.0, 0.0);
    const QVector<QPointF> points = m_series->pointsVector();
    for (const QPointF &p : points) {
        if (distance(p, point) < distance(candidate, point)) {
            candidate = p;
            m_selected = true;
        }
    }
    m_selectedX = candidate.x();
    m_selectedY = candidate.y();
}

void Chart::dragSelectedPoint(QPoint pos)
{
    if (!m_selected || !m_series)
        return;
    QLogValueAxis *axisX = firstLogAxis(this, Qt::Horizontal);
    QLogValueAxis *axisY = firstLogAxis(this, Qt::Vertical);
    if (!axisX || !axisY)
        return;

    const QRectF area = plotArea();
    const double decades = std::log10(axisY->max()) - std::log10(axisY->min());
    const double pixelsPerDecade = area.height() / decades;
    if (!std::isfinite(pixelsPerDecade) || pixelsPerDecade <= 0.0)
        return;
    const int offset = static_cast<int>(pos.y() - area.top());
    const double v = std::pow(10.0, std::log10(axisY->max()) - offset / pixelsPerDecade);

    const QPointF selected(m_selectedX, m_selectedY);
    if (!(v >= kLowestValue && v <= kHighestValue)) {
        UserPrompt::informationOk(QStringLiteral("提示"), QStringLiteral("产生异常数据值"));
        m_series->replace(selected, QPointF(m_selectedX, kPinnedValue));
        m_selectedY = kPinnedValue;
        m_selected = false;
        emit signal_MouseMoveComplete();
        return;
    }

    // The later points follow by the same factor; a selected value that is
    // not positive has no factor, so then only the point itself moves.
    if (m_lineMove && m_selectedY > 0.0 && std::isfinite(m_selectedY)) {
        const double factor = v / m_selectedY;
        const QVector<QPointF> points = m_series->pointsVector();
        for (int i = 0; i < points.size(); ++i) {
            if (points[i].x() > m_selectedX)
                m_series->replace(i, points[i].x(), points[i].y() * factor);
        }
    }
    m_series->replace(selected, QPointF(m_selectedX, v));
    m_selectedY = v;
}

bool Chart::sceneEvent(QEvent *event)
{
    if (event->type() == QEvent::Gesture)
        return gestureEvent(static_cast<QGestureEvent *>(event));
    return QChart::sceneEvent(event);
}

bool Chart::gestureEvent(QGestureEvent *event)
{
    if (QGesture *gesture = event->gesture(Qt::PanGesture)) {
        auto *pan = static_cast<QPanGesture *>(gesture);
        scroll(-pan->delta().x(), pan->delta().y());
    }
    if (QGesture *gesture = event->gesture(Qt::PinchGesture)) {
        auto *pinch = static_cast<QPinchGesture *>(gesture);
        if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged)
            zoom(pinch->scaleFactor());
    }
    return true;
}
