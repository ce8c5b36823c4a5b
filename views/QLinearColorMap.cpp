#include "views/QLinearColorMap.h"

#include <cmath>

QLinearColorMap::QLinearColorMap(QObject *parent)
    : QObject(parent)
{
    m_stops.reserve(256);
    addColorStop(0.0, QColor(Qt::white));
    addColorStop(1.0, QColor(Qt::black));
}

QLinearColorMap::~QLinearColorMap() = default;

void QLinearColorMap::setStepsTowards(ColorStop &from, const ColorStop &to)
{
    from.rStep = to.r - from.r;
    from.gStep = to.g - from.g;
    from.bStep = to.b - from.b;
    from.aStep = to.a - from.a;
    from.posStep = to.pos - from.pos;
}

void QLinearColorMap::addColorStop(double pos, const QColor &colour)
{
    if (!(pos >= 0.0 && pos <= 1.0))
        return;
    insertStop(pos, colour);
}

void QLinearColorMap::insertStop(double pos, const QColor &colour)
{
    int index = 0;
    if (m_stops.isEmpty()) {
        m_stops.append(ColorStop());
    } else {
        // First stop whose position is greater than pos.
        int lo = 0, hi = m_stops.size();
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (m_stops[mid].pos > pos)
                hi = mid;
            else
                lo = mid + 1;
        }
        index = lo;
        if (index >= m_stops.size() || std::fabs(m_stops[index].pos - pos) >= 0.001)
            m_stops.insert(index, ColorStop());
    }

    ColorStop &s = m_stops[index];
    s = ColorStop();
    s.pos = pos;
    s.rgba = colour.rgba();
    s.r = colour.red();
    s.g = colour.green();
    s.b = colour.blue();
    s.a = colour.alpha();
    s.r0 = s.r + 0.5;
    s.g0 = s.g + 0.5;
    s.b0 = s.b + 0.5;
    s.a0 = s.a + 0.5;
    if (s.a != 255)
        m_hasAlpha = true;

    if (index > 0)
        setStepsTowards(m_stops[index - 1], m_stops[index]);
    if (index + 1 < m_stops.size())
        setStepsTowards(m_stops[index], m_stops[index + 1]);
}

void QLinearColorMap::setColorStops(QMap<float, QColor> ramp)
{
    m_stops.clear();
    m_stops.reserve(256);
    QMap<double, QColor> stops;
    for (auto it = ramp.constBegin(); it != ramp.constEnd(); ++it) {
        const double pos = static_cast<double>(it.key());
        if (std::isfinite(pos))
            stops.insert(pos, it.value());
    }
    constexpr double kBlankStopLimit = 1e-17;
    if (stops.size() > 1 && stops.firstKey() > 0.0 && stops.firstKey() <= kBlankStopLimit) {
        stops.erase(stops.begin());
        const double from = stops.firstKey();
        if (from < 1.0) {
            QMap<double, QColor> stretched;
            for (auto it = stops.constBegin(); it != stops.constEnd(); ++it)
                stretched.insert((it.key() - from) / (1.0 - from), it.value());
            stops = stretched;
        }
    }
    for (auto it = stops.constBegin(); it != stops.constEnd(); ++it)
        insertStop(it.key(), it.value());
    if (!m_stops.isEmpty() && m_stops.last().pos < 1.0)
        insertStop(1.0, QColor::fromRgba(m_stops.last().rgba));
}

QRgb QLinearColorMap::rgb(double max, double min, double value) const
{
    const double width = max - min;
    if (width <= 0.0)
        return 0;
    // A map left without stops has nothing to colour with: paint blank.
    if (m_stops.isEmpty())
        return qRgb(255, 255, 255);

    const double ratio = (value - min) / width;
    if (!(ratio > m_stops.first().pos))
        return m_stops.first().rgba;
    if (ratio >= m_stops.last().pos)
        return m_stops.last().rgba;

    // Last stop whose position is not greater than ratio.
    int lo = 0, hi = m_stops.size();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (m_stops[mid].pos > ratio)
            hi = mid;
        else
            lo = mid + 1;
    }
    if (lo == 0)
        return m_stops.first().rgba;
    const ColorStop &s = m_stops[lo - 1];
    // The last stop may sit below 1.0 (moved there by an overwrite): it has
    // nothing to blend towards.
    if (s.posStep <= 0.0)
        return s.rgba;

    const double t = (ratio - s.pos) / s.posStep;
    const unsigned r = static_cast<unsigned>(static_cast<int>(t * s.rStep + s.r0)) & 0xffu;
    const unsigned g = static_cast<unsigned>(static_cast<int>(t * s.gStep + s.g0)) & 0xffu;
    const unsigned b = static_cast<unsigned>(static_cast<int>(t * s.bStep + s.b0)) & 0xffu;
    unsigned a = 255u;
    if (m_hasAlpha) {
        a = s.aStep != 0.0 ? static_cast<unsigned>(static_cast<int>(t * s.aStep + s.a0)) & 0xffu
                           : static_cast<unsigned>(s.a);
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

int QLinearColorMap::colorIndex(int numColors, double max, double min, double value) const
{
    const double width = max - min;
    if (width <= 0.0 || value <= min)
        return 0;
    if (value >= max)
        return numColors - 1;
    const double t = (value - min) * (numColors - 1) / width;
    return static_cast<int>(t + 0.5);
}

QVector<double> QLinearColorMap::colorStops() const
{
    QVector<double> out;
    out.reserve(m_stops.size());
    for (const ColorStop &s : m_stops)
        out.append(s.pos);
    return out;
}

QVector<QRgb> QLinearColorMap::stopColors() const
{
    QVector<QRgb> out;
    out.reserve(m_stops.size());
    for (const ColorStop &s : m_stops)
        out.append(s.rgba);
    return out;
}

int QLinearColorMap::mode() const
{
    return m_mode;
}
