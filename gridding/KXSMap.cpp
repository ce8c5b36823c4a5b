#include "gridding/KXSMap.h"

#include "gridding/IsoBander.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

QPen blackPen()
{
    return QPen(QBrush(Qt::black), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

KXSMap::KXSMap(QWidget *parent)
    : QWidget(parent)
{
}

void KXSMap::setGridData(const GridData &grid)
{
    m_grid = grid;
    m_xAxis.setRange(grid.xMin(), grid.xMax());
    m_yAxis.setRange(grid.yMin(), grid.yMax());
}

KXSMap::MapLayout KXSMap::computeLayout(int w, int h, float xspan, float yspan, float *scale)
{
    MapLayout l;
    if (scale)
        *scale = 0.0f;
    if (!(xspan > 0.0f) || !(yspan > 0.0f) || !std::isfinite(xspan) || !std::isfinite(yspan)
        || w <= 0 || h <= 0)
        return l;

    const float a = yspan * 150.0f / xspan;
    const float sW = static_cast<float>(w / 180);
    const float sH = static_cast<float>(h) / (a + 18.0f);
    const bool widthLimited = sH >= sW;
    const float s = widthLimited ? sW : sH;

    l.left = static_cast<int>(12.0f * s + 10.0f);
    l.right = static_cast<int>(18.0f * s);
    l.top = static_cast<int>(5.0f * s);
    l.bottom = static_cast<int>(13.0f * s);
    l.width = static_cast<int>(180.0f * s);
    l.height = static_cast<int>(a * s);

    auto shrink = [&l](float f) {
        l.left = static_cast<int>(l.left * f);
        l.right = static_cast<int>(l.right * f);
        l.top = static_cast<int>(l.top * f);
        l.bottom = static_cast<int>(l.bottom * f);
        l.width = static_cast<int>(l.width * f);
        l.height = static_cast<int>(l.height * f);
    };
    if (widthLimited) {
        const int sum = l.left + l.width + l.right;
        if (sum > w)
            shrink(static_cast<float>(w) / sum);
        const int slack = h - (l.bottom + l.top + l.height);
        if (slack > 20)
            l.top = static_cast<int>(l.top + slack / 2.0f);
    } else {
        const int sum = l.height + l.bottom + l.top;
        if (sum > h)
            shrink(static_cast<float>(h) / sum);
        const int slack = w - (l.left + l.width + l.right);
        if (slack > 20)
            l.left = static_cast<int>(l.left + slack / 2.0f);
    }
    if (scale)
        *scale = s;
    return l;
}

void KXSMap::renderMap()
{
    const int w = std::max(width(), 1);
    const int h = std::max(height(), 1);
    m_image = QImage(w, h, QImage::Format_RGB32);
    m_image.fill(Qt::white);

    const bool haveGrid = m_grid.rowCount() >= 2.0f && m_grid.columnCount() >= 2.0f;
    m_layout = haveGrid ? computeLayout(w, h, m_grid.xSpan(), m_grid.ySpan(), &m_scale)
                        : MapLayout();
    if (!haveGrid)
        m_scale = 0.0f;

    if (m_layout.width >= 2 && m_layout.height >= 2) {
        QPainter painter(&m_image);
        painter.setFont(font());
        drawBands(painter);
        drawAxes(painter);
        drawLegend(painter);
    }
    update();
}

QPointF KXSMap::toPixel(double x, double y) const
{
    const double bottom = m_layout.top + m_layout.height - 1;
    const double col = m_layout.left + (m_layout.width - 1) * (x - m_grid.xMin()) / m_grid.xSpan();
    const double row = bottom - (m_layout.height - 1) * (y - m_grid.yMin()) / m_grid.ySpan();
    return QPointF(std::trunc(col), std::trunc(row));
}

void KXSMap::drawBands(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPen pen = blackPen();
    painter.setPen(pen);

    const QVector<float> &levels = m_grid.contourLevels();
    const int nrow = static_cast<int>(m_grid.rowCount());
    const int ncol = static_cast<int>(m_grid.columnCount());
    for (int i = 0; i < levels.size(); ++i) {
        // The first band reaches down to the smallest value even below 0.
        const double low = i == 0 ? std::min(0.0, static_cast<double>(m_grid.zMin()))
                                  : static_cast<double>(levels[i - 1]);
        const double high = levels[i];
        const QColor colour = colorAt(levels[i]);
        painter.setBrush(colour.isValid() ? QBrush(colour) : QBrush(Qt::NoBrush));

        IsoBander bander(m_grid.xCoordinates().constData(), m_grid.yCoordinates().constData(),
                         m_grid.values().constData(), nrow, ncol, low, high);
        bander.computeBands();
        QVector<double> xs;
        QVector<double> ys;
        QVector<int> ids;
        bander.traceRings(&xs, &ys, &ids);

        // Rings come out grouped by id, ids rising; holes are separate rings,
        // so one odd-even path per band keeps them open.
        QPainterPath path;
        int start = 0;
        while (start < ids.size()) {
            int end = start;
            QPolygonF polygon;
            while (end < ids.size() && ids[end] == ids[start]) {
                const QPointF p = toPixel(xs[end], ys[end]);
                if (polygon.isEmpty() || polygon.last() != p)
                    polygon.append(p);
                ++end;
            }
            if (polygon.size() >= 3) {
                polygon.append(polygon.first());
                path.addPolygon(polygon);
            }
            start = end;
        }
        if (!path.isEmpty())
            painter.drawPath(path);
    }

    if (!m_outline.isEmpty()) {
        QPolygonF blank;
        blank.append(QPointF(m_layout.left, m_layout.top));
        for (const QPointF &p : m_outline) {
            const QPointF q = toPixel(p.x(), p.y());
            if (blank.last() != q)
                blank.append(q);
        }
        blank.append(QPointF(m_layout.left + m_layout.width, m_layout.top));
        painter.setBrush(QBrush(Qt::white));
        painter.drawPolygon(blank);
    }
}

void KXSMap::drawAxes(QPainter &painter)
{
    const int left = m_layout.left;
    const int top = m_layout.top;
    const int width = m_layout.width;
    const int height = m_layout.height;
    const int bottom = top + height - 1;

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(QBrush(Qt::white));
    painter.setPen(QPen(Qt::black));
    painter.drawLine(left, top, left + width, top);
    painter.drawLine(left, top, left, top + height);
    painter.drawLine(left, top + height, left + width, top + height);
    painter.drawLine(left + width, top, left + width, top + height);

    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSize(12);
    painter.setFont(font);
    painter.setPen(blackPen());
    const int align = Qt::AlignHCenter | Qt::AlignTop;

    for (int k = 0; k < m_yAxis.tickCount(); ++k) {
        const float value = m_yAxis.firstTick() + k * m_yAxis.tickStep();
        const int row = static_cast<int>(bottom - (height - 1) * (value - m_grid.yMin())
                                                      / m_grid.ySpan());
        painter.drawLine(left, row, left - m_yAxis.tickLength(), row);
        const QRect box(left - m_yAxis.tickLength() - m_yAxis.labelGap() - 50, row - 8, 50, 16);
        painter.drawText(box, align, QString::number(value, 'g', 6));
    }
    for (int k = 0; k < m_xAxis.tickCount(); ++k) {
        const float value = m_xAxis.firstTick() + k * m_xAxis.tickStep();
        const int column = static_cast<int>(left + (width - 1) * (value - m_grid.xMin())
                                                       / m_grid.xSpan());
        painter.drawLine(column, top + height, column, top + height + m_xAxis.tickLength());
        const QRect box(column - 25, top + height + m_xAxis.tickLength() + m_xAxis.labelGap(),
                        50, 16);
        painter.drawText(box, align, QString::number(value, 'g', 6));
    }
}

void KXSMap::drawLegend(QPainter &painter)
{
    const QVector<float> &levels = m_grid.contourLevels();
    const float zspan = m_grid.zSpan();
    const int top = m_layout.top;
    const int barX = static_cast<int>(m_layout.left + m_layout.width + 5.0f * m_scale);
    const int barWidth = 5 * static_cast<int>(m_scale);
    const int barHeight = m_layout.height;
    const QRect bar(barX, top, barWidth, barHeight);

    // Fraction of the value range, top of the bar at the largest value.
    auto fraction = [&](float v) {
        return zspan > 0.0f ? (v - m_grid.zMin()) / zspan : 0.0f;
    };

    QLinearGradient gradient(QPointF(barX, top), QPointF(barX + barWidth, top + barHeight));
    for (float v : levels) {
        const float position = 1.0f - fraction(v);
        if (position >= 0.0f && position <= 1.0f && colorAt(v).isValid())
            gradient.setColorAt(position, colorAt(v));
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(blackPen());
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar);
    painter.fillRect(bar, QBrush(gradient));

    const int align = Qt::AlignHCenter | Qt::AlignTop;
    for (int i = 0; i < levels.size(); ++i) {
        const float v = levels[i];
        const float f = fraction(v);
        if (f < 0.0f || f > 1.0f)
            continue;
        const int row = static_cast<int>(top + barHeight * (1.0f - f));
        painter.drawLine(barX, row, barX + barWidth, row);
        if (i % 2 == 1) {
            const QRect box(barX + barWidth + 5, row - 8, 50, 16);
            painter.drawText(box, align, QString::number(static_cast<qint64>(std::trunc(v))));
        }
    }
}

QColor KXSMap::colorAt(float value) const
{
    if (m_colorMap.isEmpty())
        return QColor();
    const float span = m_grid.zSpan();
    const float p = span > 0.0f ? (value - m_grid.zMin()) / span : 0.0f;

    auto it = m_colorMap.constBegin();
    if (it.key() > p || std::isnan(p))
        return it.value();
    auto upper = m_colorMap.lowerBound(p);
    if (upper == m_colorMap.constEnd())
        return (m_colorMap.constEnd() - 1).value();
    if (upper == m_colorMap.constBegin() || upper.key() == p)
        return upper.value();
    auto lower = upper - 1;
    const float f = (p - lower.key()) / (upper.key() - lower.key());
    const QColor c0 = lower.value();
    const QColor c1 = upper.value();
    auto channel = [f](int a, int b) {
        return static_cast<int>(a + (b - a) * f + 0.5f);
    };
    return QColor(channel(c0.red(), c1.red()), channel(c0.green(), c1.green()),
                  channel(c0.blue(), c1.blue()), 255);
}

void KXSMap::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_image.isNull())
        painter.drawImage(0, 0, m_image);
}
