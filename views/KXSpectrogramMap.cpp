#include "views/KXSpectrogramMap.h"

#include "model/ExportFiles.h"
#include "views/QLinearColorMap.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFuture>
#include <QPainter>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Tick step and first tick for an axis of the given range.
void tickSteps(double range, double min, double *step, double *first)
{
    struct Band { double limit; bool inclusive; double step; double round; };
    static const Band bands[] = {
        {20.0, false, 2.0, 2.0},       {50.0, false, 5.0, 5.0},
        {100.0, false, 10.0, 10.0},    {200.0, false, 20.0, 20.0},
        {500.0, false, 50.0, 50.0},    {1000.0, true, 100.0, 100.0},
        {2000.0, true, 200.0, 200.0},  {5000.0, true, 500.0, 500.0},
        {10000.0, true, 1000.0, 1000.0}, {50000.0, true, 2000.0, 2000.0},
    };
    if (range < 10.0) {
        *step = 1.0;
        *first = std::trunc(min);
        return;
    }
    for (const Band &b : bands) {
        if (range < b.limit || (b.inclusive && range == b.limit)) {
            *step = b.step;
            *first = std::ceil(min / b.round) * b.round;
            return;
        }
    }
    *step = 50000.0;
    *first = std::ceil(min / 5000.0) * 5000.0;
}

} // namespace

KXSpectrogramMap::KXSpectrogramMap(QWidget *parent)
    : QFrame(parent)
{
}

KXSpectrogramMap::~KXSpectrogramMap() = default;

QRect KXSpectrogramMap::mapRect() const
{
    return QRect(m_left + 50, m_top + 5, m_mapWidth, m_mapHeight);
}

double KXSpectrogramMap::valueAt(double x, double depth) const
{
    return m_interp.valueAt(x, depth);
}

void KXSpectrogramMap::setData(const QList<DataType_ResultData> &results,
                               const QVector<TopoData> &topography, QLinearColorMap *colours,
                               double value)
{
    m_colours = colours;
    m_value = value;
    prepareData(results, topography);
    m_dataReady = true;
    render();
    update();
}

void KXSpectrogramMap::setColorMap(QMap<float, QColor> ramp)
{
    if (m_colours)
        m_colours->setColorStops(ramp);
    if (m_dataReady) {
        render();
        update();
    }
}

void KXSpectrogramMap::clear()
{
    m_dataReady = false;
    m_colours = nullptr;
    prepareData({}, {});
    m_image = QImage();
    update();
}

void KXSpectrogramMap::prepareData(const QList<DataType_ResultData> &results,
                                   const QVector<TopoData> &topography)
{
    m_interp.setColumns(results);   // drops malformed columns and their twins
    const QList<DataType_ResultData> &cols = m_interp.columns();

    QVector<double> xs, depths, values;
    for (const DataType_ResultData &c : cols) {
        xs.append(c.x);
        depths += c.depth;
        values += c.value;
    }
    std::sort(xs.begin(), xs.end());
    std::sort(depths.begin(), depths.end());
    std::sort(values.begin(), values.end());

    if (xs.isEmpty()) {
        // Nothing survived: an empty (white) map.
        m_xMin = m_xMax = m_depthMin = m_depthMax = m_valueMin = m_valueMax = 0.0;
    } else {
        m_xMin = xs.first();
        m_xMax = xs.last();
        m_depthMax = depths.last();
        m_depthMin = depths.first();
        m_valueMax = values.last();
        m_valueMin = values.first();
        // The sections end at each station's ground less the inversion
        // depth: the deepest cell is the map's bottom.
    }
    // The floor (no-value level + 1) is then the smallest value itself.
    m_interp.setNoValueLevel(m_valueMin - 1.0);
    m_interp.setTopography(topography);
}

void KXSpectrogramMap::computeLayout()
{
    const int W = width();
    const int H = height();
    float xRange = static_cast<float>(m_xMax - m_xMin);
    float yRange = static_cast<float>(m_depthMax - m_depthMin);
    // A section without extent still gets a square frame instead of a
    // division by zero.
    if (!(xRange > 0.0f) || !std::isfinite(xRange))
        xRange = 1.0f;
    if (!(yRange > 0.0f) || !std::isfinite(yRange))
        yRange = 1.0f;

    m_scale = std::min(static_cast<float>(W / 180), H / (150.0f * yRange / xRange + 18.0f));

    m_top = m_bottom = static_cast<int>(6.0 * m_scale);
    m_mapHeight = H - 35 - m_top - m_bottom;
    m_mapWidth = static_cast<int>(xRange / yRange * m_mapHeight);

    m_left = m_right = (W - 165 - m_mapWidth) / 2;
    if (m_left + m_right + m_mapWidth + 165 != W)
        m_mapWidth = W - 165 - m_left - m_right;

    if (m_left < 0) {
        m_left = m_right = static_cast<int>(12.0 * m_scale);
        if (m_left >= 50) {
            m_left = 15;
            m_right = 0;
        }
        m_mapWidth = W - 165 - m_left - m_right;
        m_mapHeight = static_cast<int>(yRange / xRange * m_mapWidth);
        m_top = m_bottom = (H - 35 - m_mapHeight) / 2;
        if (m_top + m_bottom + m_mapHeight + 35 != H)
            m_mapHeight = H - 35 - m_top - m_bottom;
    }
}

void KXSpectrogramMap::render()
{
    ++m_renders;
    computeLayout();
    m_image = QImage(size(), QImage::Format_RGB32);
    if (m_image.isNull())
        return;

    const QRect r = m_image.rect();
    if (r.top() + m_top > r.bottom() - m_bottom) {
        m_top = 5;
        m_bottom = height() - m_mapHeight - 5;
    }
    if (r.left() + m_left > r.right() - m_right) {
        m_left = 15;
        m_right = width() - m_mapWidth - 15;
    }

    {
        QPainter painter(&m_image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(m_image.rect(), Qt::white);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        drawAxes(painter);
        drawColorBar(painter);
    }

    if (m_mapWidth <= 0 || m_mapHeight <= 0)
        return;

    int n = m_stripCount;
    if (n <= 0) {
        n = QThread::idealThreadCount();
        if (n <= 0)
            n = QThread::idealThreadCount();
        if (n <= 0)
            n = 1;
    }
    const int stripHeight = m_mapHeight / n;
    const int x0 = m_left + 50;
    const int y0 = m_top + 5;
    const int mapBottom = y0 + m_mapHeight;   // one past the last row

    // Detach once here: the strips then write disjoint scan lines of one
    // buffer without touching the image's shared state.
    m_image.bits();
    QImage *image = &m_image;
    const double xMax = m_xMax, xMin = m_xMin, dMax = m_depthMax, dMin = m_depthMin;
    const double vMax = m_valueMax, vMin = m_valueMin;

    QVector<QFuture<void> > futures;
    for (int i = 0; i < n - 1; ++i) {
        const QRect strip(x0, y0 + i * stripHeight, m_mapWidth, stripHeight);
        futures.append(QtConcurrent::run([=]() {
            renderStrip(xMax, xMin, dMax, dMin, vMax, vMin, strip, image);
        }));
    }
    const int lastTop = y0 + (n - 1) * stripHeight;
    renderStrip(xMax, xMin, dMax, dMin, vMax, vMin,
                QRect(x0, lastTop, m_mapWidth, mapBottom - lastTop), image);
    for (QFuture<void> &f : futures)
        f.waitForFinished();
}

void KXSpectrogramMap::renderStrip(double xMax, double xMin, double depthMax, double depthMin,
                                   double valueMax, double valueMin, const QRect &strip,
                                   QImage *image) const
{
    const bool uniform = uniformValues();
    if ((!uniform && valueMax - valueMin <= 0.0) || !m_colours || strip.height() <= 0 || strip.width() <= 0)
        return;
    const QRgb uniformColour = uniform ? m_colours->rgb(1.0, 0.0, 0.5) : 0;

    const QRect ir = image->rect();
    const double top0 = ir.top() + m_top + 5;
    const double bottom0 = ir.bottom() - 30 - m_bottom;
    const double left0 = ir.left() + m_left + 50;
    const double rowSpan = bottom0 - top0;

    const int bpl = image->bytesPerLine();
    uchar *bits = const_cast<uchar *>(image->constBits());
    const int rowFrom = std::max(strip.top(), ir.top());
    const int rowTo = std::min(strip.bottom(), ir.bottom());
    const int colFrom = std::max(strip.left(), ir.left());
    const int colTo = std::min(strip.right(), ir.right());
    for (int r = rowFrom; r <= rowTo; ++r) {
        const double depth = rowSpan != 0.0
            ? depthMax - (depthMax - depthMin) * (r - top0) / rowSpan
            : depthMax;
        QRgb *line = reinterpret_cast<QRgb *>(bits + static_cast<qsizetype>(r) * bpl);
        for (int c = colFrom; c <= colTo; ++c) {
            const double x = xMin + (xMax - xMin) * (c - left0) / m_mapWidth;
            const double raw = m_interp.valueAt(x, depth);
            if (std::isnan(raw)) {
                line[c] = 0;
                continue;
            }
            // Above the ground, or where no column reaches: nothing known.
            if (raw == SectionInterpolator::kAboveGround || !m_interp.hasValue(raw)) {
                line[c] = qRgba(255, 255, 255, 255);
                continue;
            }
            if (uniform) {
                line[c] = uniformColour;
                continue;
            }
            // The cubic columns overshoot a little past the data in flat
            // stretches; such values take the colour of the nearer end.
            const double v = std::min(std::max(raw, valueMin), valueMax);
            line[c] = m_colours->rgb(valueMax, valueMin, v);
        }
    }
}

void KXSpectrogramMap::drawAxes(QPainter &painter)
{
    if (m_mapWidth <= 0 || m_mapHeight <= 0)
        return;
    painter.save();
    painter.setFont(QFont("Arial", 12));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    const QRect map = mapRect();
    painter.drawRect(map.adjusted(-1, -1, 0, 0));

    const QFontMetrics fm(painter.font());

    // Depth axis, ticks pointing left.
    const double dRange = m_depthMax - m_depthMin;
    if (dRange > 0.0 && std::isfinite(dRange)) {
        double step, first;
        tickSteps(dRange, m_depthMin, &step, &first);
        const double top0 = m_top + 5;
        const double bottom0 = height() - 1 - 30 - m_bottom;
        auto rowOf = [&](double d) {
            return static_cast<int>(std::lround(top0 + (m_depthMax - d) / dRange * (bottom0 - top0)));
        };
        const int tickRight = map.left() - 1;
        QRect previous;
        for (double d = first; d <= m_depthMax + 1e-9 * dRange; d += step) {
            if (d >= m_depthMin - 1e-9 * dRange) {
                const int y = rowOf(d);
                painter.drawLine(tickRight - m_majorTick, y, tickRight, y);
                const QRect box(tickRight - m_majorTick - m_tickGap - 50, y - 8, 50, 16);
                if (previous.isNull() || !box.intersects(previous)) {
                    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter,
                                     QString::number(d, 'g', 6));
                    previous = box;
                }
            }
            const double minor = d + step / 2.0;
            if (minor >= m_depthMin && minor <= m_depthMax) {
                const int y = rowOf(minor);
                painter.drawLine(tickRight - m_minorTick, y, tickRight, y);
            }
        }
    }

    // Position axis, ticks pointing down.
    const double xRange = m_xMax - m_xMin;
    if (xRange > 0.0 && std::isfinite(xRange)) {
        double step, first;
        tickSteps(xRange, m_xMin, &step, &first);
        auto colOf = [&](double x) {
            return static_cast<int>(std::lround(map.left() + (x - m_xMin) / xRange * m_mapWidth));
        };
        const int tickTop = map.bottom() + 1;
        QRect previous;
        for (double x = first; x <= m_xMax + 1e-9 * xRange; x += step) {
            if (x >= m_xMin - 1e-9 * xRange) {
                const int c = colOf(x);
                painter.drawLine(c, tickTop, c, tickTop + m_majorTick);
                const QString text = QString::number(x, 'g', 6);
                const int w = fm.horizontalAdvance(text) + 2;
                const QRect box(c - w / 2, tickTop + m_majorTick + m_tickGap, w, fm.height());
                if (previous.isNull() || !box.intersects(previous)) {
                    painter.drawText(box, Qt::AlignCenter, text);
                    previous = box;
                }
            }
            const double minor = x + step / 2.0;
            if (minor >= m_xMin && minor <= m_xMax) {
                const int c = colOf(minor);
                painter.drawLine(c, tickTop, c, tickTop + m_minorTick);
            }
        }
    }
    painter.restore();
}

bool KXSpectrogramMap::uniformValues() const
{
    // A part in ten thousand: far below what a section can resolve, far
    // above the rounding of the values exported and read back.
    constexpr double kUniformTolerance = 1e-4;
    if (m_interp.columns().isEmpty() || !std::isfinite(m_valueMin) || !std::isfinite(m_valueMax))
        return false;
    const double span = m_valueMax - m_valueMin;
    return span >= 0.0 && span <= kUniformTolerance * std::max(std::fabs(m_valueMin), std::fabs(m_valueMax));
}

QVector<KXSpectrogramMap::LegendBand> KXSpectrogramMap::colorBarBands() const
{
    QVector<LegendBand> bands;
    if (!m_colours || m_mapHeight <= 0)
        return bands;
    const QVector<double> stops = m_colours->colorStops();
    const QVector<QRgb> colours = m_colours->stopColors();
    if (stops.isEmpty() || colours.size() != stops.size())
        return bands;

    const QFontMetrics fm(QFont("Arial", 12));
    const int left = m_left + 50 + m_mapWidth + static_cast<int>(0.05 * m_mapHeight);
    const int barWidth = std::max(static_cast<int>(0.06 * m_mapHeight), fm.height() / 2);
    auto labelBoxOf = [&fm](const QRect &rect, const QString &text) {
        return QRect(rect.right() + 10, rect.center().y() - fm.height() / 2,
                     fm.horizontalAdvance(text) + 2, fm.height());
    };

    if (uniformValues()) {
        LegendBand b;
        const int band = std::max(static_cast<int>(0.05 * m_mapHeight), fm.height());
        const int base = std::min(std::max(static_cast<int>(m_top + 5 + 0.8 * m_mapHeight), band + 2), height() - 2);
        b.rect = QRect(left, base - band, barWidth, band);
        b.colour = m_colours->rgb(1.0, 0.0, 0.5);
        b.text = QString::number(0.5 * (m_valueMin + m_valueMax), 'g', 6);
        b.labelled = true;
        b.labelBox = labelBoxOf(b.rect, b.text);
        bands.append(b);
        return bands;
    }

    const int every = std::max(1, stops.size() / 10);

    // Every s-th stop, and always the last one: the colour of the largest
    // values must have its band and label too. A range typed below the
    // largest value ends the ramp early, the rest in its last colour: the
    // stop at the typed bound is shown too.
    int typedTop = stops.size() - 1;
    while (typedTop > 0 && colours[typedTop - 1] == colours.last())
        --typedTop;
    QVector<int> shown;
    for (int i = 0; i < stops.size(); i += every)
        shown.append(i);
    if (!shown.contains(typedTop))
        shown.append(typedTop);
    if (!shown.contains(stops.size() - 1))
        shown.append(stops.size() - 1);
    std::sort(shown.begin(), shown.end());

    // Bands a twentieth of the map high, but the bar at least five labels
    // high (one per band when there are fewer) while the widget has room: a
    // low map (a long flat section) with a ramp of a few stops would
    // otherwise give a bar of slivers with one label.
    const int n = shown.size();
    const int room = std::max(n, height() - 4);
    const int lowestBar = fm.height() * std::min(n, 5);
    int band = std::max(static_cast<int>(0.05 * m_mapHeight), (lowestBar + n - 1) / n);
    band = std::max(1, std::min(band, room / n));
    const int total = band * n;
    int base = static_cast<int>(m_top + 5 + 0.2 * m_mapHeight) + static_cast<int>(0.6 * m_mapHeight);
    base = std::max(base, total + 2);
    base = std::min(base, height() - 2);

    const double range = m_valueMax - m_valueMin;
    QVector<double> values;
    for (int i : shown)
        values.append(m_valueMin + range * stops[i]);
    // As many decimals as tell the bands apart: whole numbers over a wide
    // range, decimals where the stops lie closer than one.
    int decimals = 0;
    for (; decimals < 10; ++decimals) {
        bool apart = true;
        for (int j = 1; j < values.size() && apart; ++j)
            apart = QString::number(values[j], 'f', decimals) != QString::number(values[j - 1], 'f', decimals);
        if (apart)
            break;
    }

    for (int j = 0; j < shown.size(); ++j) {
        const int i = shown[j];
        LegendBand b;
        b.rect = QRect(left, base - (j + 1) * band, barWidth, band);
        b.colour = colours[i];
        const double value = values[j];
        // The ends name the values they stand for: a truncated smallest
        // value would read 0 for a conductor of 0.8.
        if (j == 0 || j == shown.size() - 1) {
            const double magnitude = value != 0.0 ? std::floor(std::log10(std::fabs(value))) + 1.0 : 1.0;
            const int digits = std::max(3, std::min(15, static_cast<int>(magnitude) + decimals));
            b.text = QString::number(value, 'g', digits);
        } else {
            b.text = QString::number(value, 'f', decimals);
        }
        b.labelBox = labelBoxOf(b.rect, b.text);
        bands.append(b);
    }

    // The ends and the typed bound first, then the others where they fit.
    QVector<QRect> taken;
    auto fits = [&taken](const QRect &box) {
        for (const QRect &t : qAsConst(taken))
            if (box.intersects(t))
                return false;
        return true;
    };
    const int last = bands.size() - 1;
    bands[last].labelled = true;
    taken.append(bands[last].labelBox);
    const int typedBand = shown.indexOf(typedTop);
    if (typedBand > 0 && typedBand < last) {
        LegendBand &b = bands[typedBand];
        // Just under the top label when its own place is taken.
        if (!fits(b.labelBox))
            b.labelBox.moveTop(bands[last].labelBox.bottom() + 1);
        b.labelled = true;
        taken.append(b.labelBox);
    }
    if (last > 0 && fits(bands[0].labelBox)) {
        bands[0].labelled = true;
        taken.append(bands[0].labelBox);
    }
    for (int j = last - 1; j > 0; --j) {
        if (bands[j].labelled || !fits(bands[j].labelBox))
            continue;
        bands[j].labelled = true;
        taken.append(bands[j].labelBox);
    }
    return bands;
}

void KXSpectrogramMap::drawColorBar(QPainter &painter)
{
    const QVector<LegendBand> bands = colorBarBands();
    if (bands.isEmpty())
        return;
    painter.save();
    painter.setFont(QFont("Arial", 12));
    for (const LegendBand &b : bands) {
        const QColor c = QColor::fromRgb(b.colour);
        painter.setPen(QPen(c, 1));
        painter.setBrush(c);
        painter.drawRect(b.rect);
        if (b.labelled) {
            painter.setPen(Qt::black);
            painter.drawText(b.labelBox, Qt::AlignLeft | Qt::AlignVCenter, b.text);
        }
    }
    painter.restore();
}

void KXSpectrogramMap::paintEvent(QPaintEvent *event)
{
    if (!m_dataReady) {
        QFrame::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
    painter.end();
    saveContour();
}

void KXSpectrogramMap::saveContour()
{
    // Encoding the picture costs far more than a paint; the file is written
    // again only when it would change. The picture command writes it too,
    // and anyone may remove it, so it must still be the one written here.
    const QRect crop(m_left, m_top, width() - m_right - m_left, height() - m_bottom - m_top);
    const QString path = QDir::currentPath() + "/contour.png";
    const QFileInfo file(path);
    const bool fileUnchanged = m_saved.size >= 0 && path == m_saved.path && file.exists()
                               && file.size() == m_saved.size
                               && file.lastModified() == m_saved.modified;
    if (fileUnchanged && m_saved.render == m_renders && m_saved.crop == crop)
        return;
    const QImage visible = m_image.copy(crop);
    if (fileUnchanged && visible == m_saved.image) {
        m_saved.render = m_renders;
        m_saved.crop = crop;
        return;
    }
    m_saved = SavedContour();
    // Replaced whole, as a report may read it; a failure is tried again at
    // the next paint.
    if (!ExportFiles::writePicture(visible, path, "PNG"))
        return;
    ++m_contourWrites;
    const QFileInfo written(path);
    m_saved.path = path;
    m_saved.image = visible;
    m_saved.render = m_renders;
    m_saved.crop = crop;
    m_saved.size = written.size();
    m_saved.modified = written.lastModified();
}

void KXSpectrogramMap::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    if (m_dataReady)
        render();
}
