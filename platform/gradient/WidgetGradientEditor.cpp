#include "platform/gradient/WidgetGradientEditor.h"

#include <QColorDialog>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
const int kMargin = 6;        // keeps the end markers inside the widget
const int kMarkerHeight = 9;
const int kMarkerHalfWidth = 5;
}

WidgetGradientEditor::WidgetGradientEditor(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setGradient(presetGradient(Rainbow));
}

QMap<float, QColor> WidgetGradientEditor::presetGradient(Preset preset)
{
    QMap<float, QColor> g;
    switch (preset) {
    case Grayscale:
        g.insert(0.0f, Qt::black);
        g.insert(1.0f, Qt::white);
        break;
    case Rainbow:
        g.insert(0.0f, QColor(0, 0, 255));
        g.insert(0.25f, QColor(0, 255, 255));
        g.insert(0.5f, QColor(0, 255, 0));
        g.insert(0.75f, QColor(255, 255, 0));
        g.insert(1.0f, QColor(255, 0, 0));
        break;
    case Hot:
        g.insert(0.0f, Qt::black);
        g.insert(0.4f, QColor(255, 0, 0));
        g.insert(0.8f, QColor(255, 255, 0));
        g.insert(1.0f, Qt::white);
        break;
    case CoolWarm:
        g.insert(0.0f, QColor(59, 76, 192));
        g.insert(0.5f, QColor(221, 221, 221));
        g.insert(1.0f, QColor(180, 4, 38));
        break;
    }
    return g;
}

void WidgetGradientEditor::slotReset(const WidgetGradientEditor::Preset& preset)
{
    const QMap<float, QColor> g = presetGradient(preset);
    if (!g.isEmpty())
        setGradient(g);
}

void WidgetGradientEditor::setGradient(const QMap<float, QColor>& gradient)
{
    m_stops.clear();
    m_rangeMin = 0.0f;
    m_rangeMax = 1.0f;
    for (auto it = gradient.constBegin(); it != gradient.constEnd(); ++it) {
        // A stop without a finite position cannot be placed on the bar.
        if (!std::isfinite(it.key()))
            continue;
        m_stops.append(Stop{it.key(), it.value()});
        m_rangeMin = std::min(m_rangeMin, it.key());
        m_rangeMax = std::max(m_rangeMax, it.key());
    }
    m_focus = -1;
    m_dragging = false;
    update();
}

QMap<float, QColor> WidgetGradientEditor::getGradient() const
{
    QMap<float, QColor> g;
    for (const Stop& s : m_stops)
        g.insert(s.position, s.color);
    return g;
}

QSize WidgetGradientEditor::sizeHint() const
{
    return QSize(240, 35);
}

QSize WidgetGradientEditor::minimumSizeHint() const
{
    return QSize(60, 24);
}

QRect WidgetGradientEditor::barRect() const
{
    const int h = std::max(4, height() - kMarkerHeight - 3);
    return QRect(kMargin, 1, std::max(1, width() - 2 * kMargin), h);
}

int WidgetGradientEditor::xForPosition(float position) const
{
    const QRect bar = barRect();
    const double t = (double(position) - m_rangeMin) / (double(m_rangeMax) - m_rangeMin);
    return bar.left() + int(std::lround(t * (bar.width() - 1)));
}

float WidgetGradientEditor::positionForX(int x) const
{
    const QRect bar = barRect();
    const double t = double(x - bar.left()) / std::max(1, bar.width() - 1);
    return float(m_rangeMin + t * (double(m_rangeMax) - m_rangeMin));
}

int WidgetGradientEditor::markerAt(const QPoint& point) const
{
    int best = -1;
    int bestDistance = kMarkerHalfWidth + 2;
    // Later markers are drawn on top, so they win ties.
    for (int i = 0; i < m_stops.size(); ++i) {
        const int d = std::abs(point.x() - xForPosition(m_stops[i].position));
        if (d <= bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

float WidgetGradientEditor::allowedPosition(int i, float wanted) const
{
    // Keys must stay distinct and ordered, so a marker stops just short of its
    // neighbours.
    const float gap = (m_rangeMax - m_rangeMin) * 1e-4f;
    float lo = m_rangeMin;
    float hi = m_rangeMax;
    if (i > 0)
        lo = m_stops[i - 1].position + gap;
    if (i + 1 < m_stops.size())
        hi = m_stops[i + 1].position - gap;
    if (lo > hi)
        return m_stops[i].position;
    return std::clamp(wanted, lo, hi);
}

void WidgetGradientEditor::moveMarker(int i, float position)
{
    m_stops[i].position = allowedPosition(i, position);
    update();
    emit focusMarkerChanged(m_stops[i].position, m_stops[i].color);
}

void WidgetGradientEditor::onfocusMarkerPositionChanged(float position)
{
    if (m_focus < 0 || m_focus >= m_stops.size() || !std::isfinite(position))
        return;
    moveMarker(m_focus, position);
}

void WidgetGradientEditor::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int i = markerAt(event->pos());
    if (i < 0)
        return;
    m_focus = i;
    m_dragging = true;
    update();
    emit focusMarkerChanged(m_stops[i].position, m_stops[i].color);
}

void WidgetGradientEditor::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || m_focus < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    const float wanted = positionForX(event->pos().x());
    if (allowedPosition(m_focus, wanted) != m_stops[m_focus].position)
        moveMarker(m_focus, wanted);
}

void WidgetGradientEditor::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void WidgetGradientEditor::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int i = markerAt(event->pos());
    if (event->button() != Qt::LeftButton || i < 0)
        return;
    m_dragging = false;
    const QColor picked = QColorDialog::getColor(m_stops[i].color, this);
    if (!picked.isValid())
        return;
    m_stops[i].color = picked;
    m_focus = i;
    update();
    emit focusMarkerChanged(m_stops[i].position, m_stops[i].color);
}

void WidgetGradientEditor::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect bar = barRect();

    if (m_stops.isEmpty()) {
        p.fillRect(bar, palette().color(QPalette::Base));
        p.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DashLine));
        p.drawRect(bar.adjusted(0, 0, -1, -1));
    } else {
        QLinearGradient gradient(bar.left(), 0, bar.right() + 1, 0);
        const double span = double(m_rangeMax) - m_rangeMin;
        for (const Stop& s : m_stops)
            gradient.setColorAt(std::clamp((s.position - m_rangeMin) / span, 0.0, 1.0), s.color);
        p.fillRect(bar, gradient);
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(bar.adjusted(0, 0, -1, -1));
    }

    p.setRenderHint(QPainter::Antialiasing, true);
    const int top = bar.bottom() + 1;
    for (int i = 0; i < m_stops.size(); ++i) {
        const int x = xForPosition(m_stops[i].position);
        QPainterPath marker;
        marker.moveTo(x + 0.5, top);
        marker.lineTo(x + 0.5 + kMarkerHalfWidth, top + kMarkerHeight);
        marker.lineTo(x + 0.5 - kMarkerHalfWidth, top + kMarkerHeight);
        marker.closeSubpath();
        const bool focused = (i == m_focus);
        p.setPen(QPen(focused ? palette().color(QPalette::Highlight) : QColor(60, 60, 60),
                      focused ? 2.0 : 1.0));
        p.setBrush(m_stops[i].color);
        p.drawPath(marker);
        if (focused) {
            // A thin line across the bar marks where the focused stop sits.
            p.setPen(QPen(QColor(0, 0, 0, 140), 1));
            p.drawLine(QPointF(x + 0.5, bar.top() + 1), QPointF(x + 0.5, bar.bottom()));
        }
    }
}
