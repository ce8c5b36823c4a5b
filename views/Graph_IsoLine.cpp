#include "views/Graph_IsoLine.h"

#include "model/Data_Calc.h"
#include "model/UserPrompt.h"
#include "views/Graph_IsoLineData.h"
#include "views/QLinearColorMap.h"
#include "views/QScaleDraw.h"

#include <QPen>

#include <qwt_color_map.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>

#include <algorithm>
#include <cmath>

namespace {

// The section's colours, by the rule the section map colours by: the
// ramp's blank stop left out and its real colours spread over the values'
// range, stops beyond the range (a range typed in the colour dialog) kept,
// values past the end stops in the end colours. The no-value marker (1e-18:
// above the ground, below the depth) stays blank. The Qwt stops only
// describe the ramp.
class SectionColorMap : public QwtLinearColorMap
{
public:
    SectionColorMap(const QColor &from, const QColor &to, const QMap<float, QColor> &ramp)
        : QwtLinearColorMap(from, to, QwtColorMap::RGB)
    {
        m_colours.setColorStops(ramp);
    }

    QRgb rgb(const QwtInterval &interval, double value) const override
    {
        if (value < 1e-5)
            return qRgb(255, 255, 255);
        // A section of one value: the first colour.
        if (!(interval.width() > 0.0))
            return m_colours.rgb(1.0, 0.0, 0.0);
        return m_colours.rgb(interval.maxValue(), interval.minValue(), value);
    }

private:
    QLinearColorMap m_colours;
};

} // namespace

Graph_IsoLine::Graph_IsoLine(QWidget *parent)
    : QwtPlot(parent)
{
    setAutoReplot(false);
    setLineWidth(1);
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis) {
        axisWidget(axis)->setMargin(0);
        axisScaleDraw(axis)->enableComponent(QwtAbstractScaleDraw::Backbone, false);
    }
    plotLayout()->setCanvasMargin(-1);
}

Graph_IsoLine::~Graph_IsoLine() = default;   // attached items die with the plot

void Graph_IsoLine::deleteCurves()
{
    for (QwtPlotCurve *c : qAsConst(m_curves)) {
        c->detach();
        delete c;
    }
    m_curves.clear();
}

void Graph_IsoLine::deleteSpectrogram()
{
    if (m_spectrogram) {
        m_spectrogram->detach();
        delete m_spectrogram;   // takes its colour map and raster with it
        m_spectrogram = nullptr;
        m_colorMap = nullptr;
    }
}

bool Graph_IsoLine::drawChannelCurves(QVector<QVector<double> > channels, QVector<double> x)
{
    deleteCurves();

    int xmin = 0, xmax = 0;
    if (!x.isEmpty()) {
        const auto mm = std::minmax_element(x.constBegin(), x.constEnd());
        xmin = static_cast<int>(*mm.first);
        xmax = static_cast<int>(*mm.second);
    }

    const int n = channels.size();
    QwtLinearColorMap colours(Qt::darkBlue, Qt::darkRed, QwtColorMap::RGB);
    colours.addColorStop(0.25, Qt::blue);
    colours.addColorStop(0.5, Qt::green);
    colours.addColorStop(0.75, Qt::red);
    const QwtInterval range(0.0, n);

    m_abnormal.clear();
    QVector<double> shown;
    for (int i = 0; i < n; ++i) {
        const QVector<double> &values = channels[i];
        Data_Calc::abnormalValueIndices(values, m_abnormal);

        // Points that cannot be placed on a log axis are left out of the line.
        QVector<double> xs, ys;
        const int m = std::min(x.size(), values.size());
        xs.reserve(m);
        ys.reserve(m);
        for (int k = 0; k < m; ++k) {
            if (std::isfinite(x[k]) && std::isfinite(values[k])) {
                xs.append(x[k]);
                ys.append(values[k]);
                if (std::isnormal(values[k]))
                    shown.append(values[k]);
            }
        }

        QwtPlotCurve *curve = new QwtPlotCurve();
        curve->setPen(QPen(QColor::fromRgba(colours.rgb(range, i)), 0, Qt::SolidLine));
        curve->setSamples(xs, ys);
        curve->setRenderHint(QwtPlotItem::RenderAntialiased, true);
        curve->attach(this);
        m_curves.append(curve);
    }

    // Whole decades around what the curves hold: the late channels of a
    // resistive line lie decades below those of a conductive one.
    const QPair<double, double> decades = Data_Calc::decadeRange(shown, 1e-9, 0.1);
    m_channelLowest = static_cast<int>(std::lround(std::log10(decades.first)));
    m_channelHighest = static_cast<int>(std::lround(std::log10(decades.second)));

    std::sort(m_abnormal.begin(), m_abnormal.end());
    const bool ok = m_abnormal.isEmpty();
    for (int k : qAsConst(m_abnormal)) {
        const QString station = k < x.size() ? QString("%1").arg(x[k]) : QString::number(k);
        UserPrompt::informationOk(QStringLiteral("提示"),
                                  QStringLiteral("%1号数据点存在异常数据值，需要调整该点数据").arg(station));
    }

    setAxisScale(QwtPlot::xBottom, xmin, xmax);
    setAxisScaleEngine(QwtPlot::xBottom, new QwtLinearScaleEngine(10));
    setAxisScaleEngine(QwtPlot::yLeft, new QwtLogScaleEngine(10));
    setAxisMaxMinor(QwtPlot::xBottom, 9);
    setAxisMaxMinor(QwtPlot::yLeft, 9);
    setAxisScaleDraw(QwtPlot::yLeft, new QScaleDraw(true));
    setTitle(QStringLiteral("多测道曲线图"));
    plotLayout()->setAlignCanvasToScales(true);
    m_channelAxis = true;
    updateLayout();
    // Set on every drawing: the new scale engine marks the division stale,
    // and Qwt would redo it from bounds that a division never sets.
    setAxisScaleDiv(QwtPlot::yLeft, channelScaleDiv());
    replot();
    return ok;
}

// Whether the major labels of div keep apart along the axis at the canvas
// size the plot has now: stacked labels a line apart, labels side by side
// with a space between them (and a pixel for rounding, since positions and
// label sizes are whole pixels on the screen).
bool Graph_IsoLine::labelsFit(int axis, const QwtScaleDiv &div) const
{
    const QwtScaleWidget *widget = axisWidget(axis);
    const QwtScaleDraw *draw = widget->scaleDraw();
    const QFontMetrics metrics = widget->fontMetrics();
    const bool horizontal = axis == QwtPlot::xBottom || axis == QwtPlot::xTop;
    const QRect room = canvas()->contentsRect();
    QwtScaleMap map;
    map.setTransformation(axisScaleEngine(axis)->transformation());
    map.setPaintInterval(0.0, horizontal ? room.width() : room.height());
    map.setScaleInterval(div.lowerBound(), div.upperBound());

    const QList<double> ticks = div.ticks(QwtScaleDiv::MajorTick);
    double previousAt = 0.0, previousWidth = 0.0;
    for (int i = 0; i < ticks.size(); ++i) {
        const double at = map.transform(ticks[i]);
        const double width = std::ceil(draw->labelSize(widget->font(), ticks[i]).width());
        const double needed = horizontal
            ? (previousWidth + width) / 2.0 + metrics.horizontalAdvance(QLatin1Char(' ')) + 1.0
            : metrics.height();
        if (i > 0 && std::fabs(at - previousAt) < needed)
            return false;
        previousAt = at;
        previousWidth = width;
    }
    return true;
}

// The channel axis spans the decades of the curves drawn. Labelled every
// decade it needs about a label's height per decade, which a low plot (the
// upper row at the default window size) does not have: then only every
// second, third... decade is labelled, by a step that divides the span, so
// that both ends stay labelled and no two labels run together.
QwtScaleDiv Graph_IsoLine::channelScaleDiv() const
{
    const int lowest = m_channelLowest;
    const int highest = std::max(m_channelHighest, lowest + 1);
    const int span = highest - lowest;
    QwtScaleDiv div;
    for (int step = 1; step <= span; ++step) {
        if (span % step != 0)
            continue;
        QList<double> major, medium, minor;
        for (int e = lowest; e <= highest; ++e) {
            const double decade = std::pow(10.0, e);
            if ((e - lowest) % step == 0)
                major.append(decade);
            else
                medium.append(decade);
            if (step == 1 && e < highest)
                for (int k = 2; k <= 9; ++k)
                    minor.append(k * decade);
        }
        div = QwtScaleDiv(std::pow(10.0, lowest), std::pow(10.0, highest), minor, medium, major);
        if (labelsFit(QwtPlot::yLeft, div))
            break;
    }
    return div;
}

// Stations along the bottom axis, depths along the left one: Qwt's usual
// eight steps where the labels fit beside (above) each other, fewer and
// rounder steps (100 rather than 50) in a narrow (low) plot, so that the
// numbers do not run together.
int Graph_IsoLine::majorSteps(int axis) const
{
    constexpr int kMostSteps = 8;
    const QwtScaleDiv &scale = axisScaleDiv(axis);
    const QwtScaleEngine *engine = axisScaleEngine(axis);
    int steps = kMostSteps;
    for (; steps > 1; --steps) {
        const QwtScaleDiv div = engine->divideScale(scale.lowerBound(), scale.upperBound(), steps,
                                                    axisMaxMinor(axis));
        if (labelsFit(axis, div))
            break;
    }
    return steps;
}

// Chooses the labelled ticks of the drawn axes for the plot's present size
// and the scales it has now; true when any changed.
bool Graph_IsoLine::fitTicks()
{
    updateAxes();   // scales set since the last replot
    updateLayout();
    bool changed = false;
    if (m_channelAxis) {
        const QwtScaleDiv div = channelScaleDiv();
        if (axisScaleDiv(QwtPlot::yLeft) != div) {
            setAxisScaleDiv(QwtPlot::yLeft, div);
            changed = true;
        }
    }
    for (int axis : {int(QwtPlot::xBottom), int(QwtPlot::yLeft)}) {
        if (axis == QwtPlot::yLeft && m_channelAxis)
            continue;
        const int steps = majorSteps(axis);
        if (axisMaxMajor(axis) != steps) {
            setAxisMaxMajor(axis, steps);
            changed = true;
        }
    }
    return changed;
}

// Whoever changed a scale, the labels are fitted before it is drawn.
void Graph_IsoLine::replot()
{
    fitTicks();
    QwtPlot::replot();
}

void Graph_IsoLine::resizeEvent(QResizeEvent *event)
{
    QwtPlot::resizeEvent(event);
    if (fitTicks())
        QwtPlot::replot();
}

void Graph_IsoLine::setSectionData(QList<DataType_ResultData> &columns, QVector<TopoData> topography,
                                   double depth, QMap<float, QColor> ramp, int mode)
{
    deleteSpectrogram();
    m_channelAxis = false;

    m_spectrogram = new QwtPlotSpectrogram();
    Graph_IsoLineData *data = new Graph_IsoLineData();
    data->prepareColumns(columns, topography, depth);
    m_spectrogram->setData(data);
    m_spectrogram->attach(this);

    setColorMap(ramp);

    const QwtInterval xi = data->interval(Qt::XAxis);
    setAxisScale(QwtPlot::xBottom, xi.minValue(), xi.maxValue());
    if (mode == 1) {
        double lower = data->lowestLevel();
        if (contourMethod == 1)
            lower += static_cast<int>(depth / 10.0);
        setAxisScale(QwtPlot::yLeft, lower, data->highestLevel());
        axisScaleEngine(QwtPlot::yLeft)->setAttribute(QwtScaleEngine::Inverted, true);
    }

    setTitle(QStringLiteral("电阻率反演剖面图"));
    axisScaleDraw(QwtPlot::xBottom)->enableComponent(QwtAbstractScaleDraw::Backbone, true);
    axisScaleDraw(QwtPlot::yLeft)->enableComponent(QwtAbstractScaleDraw::Backbone, true);
    plotLayout()->setAlignCanvasToScales(true);
    replot();
}

void Graph_IsoLine::setColorMap(QMap<float, QColor> ramp)
{
    // Nothing shown: the next section brings its own ramp.
    if (!m_spectrogram)
        return;

    // The Qwt map's own end stops (white, and magenta unless the ramp
    // reaches the top) stay beside the ramp's.
    QColor top(Qt::magenta);
    if (ramp.isEmpty())
        top = QColor(255, 0, 0);
    else if (std::fabs(static_cast<double>(ramp.lastKey()) - 1.0) < 0.001)
        top = ramp.last();
    if (ramp.isEmpty()) {
        ramp = {{1e-18f, Qt::white},           {0.05f, QColor(0, 0, 255)},
                {0.1f, QColor(0, 255, 255)},   {0.2f, QColor(0, 255, 0)},
                {0.4f, QColor(255, 255, 0)},   {0.6f, QColor(255, 160, 122)},
                {1.0f, QColor(255, 0, 0)}};
    }
    QwtLinearColorMap *map = new SectionColorMap(Qt::white, top, ramp);
    for (auto it = ramp.constBegin(); it != ramp.constEnd(); ++it)
        map->addColorStop(static_cast<double>(it.key()), it.value());
    m_colorMap = map;
    m_spectrogram->setColorMap(map);   // deletes the previous one
    replot();
}

void Graph_IsoLine::detachCurves()
{
    deleteCurves();
    deleteSpectrogram();
}

void Graph_IsoLine::attachMarkers()
{
    if (m_marker) {
        m_marker->detach();
        delete m_marker;
    }
    m_marker = new QwtPlotMarker();
    m_marker->setLineStyle(QwtPlotMarker::VLine);
    m_marker->setLinePen(QPen(QBrush(Qt::red, Qt::SolidPattern), 2.0, Qt::DotLine,
                              Qt::SquareCap, Qt::BevelJoin));
    m_marker->attach(this);
}

void Graph_IsoLine::setMarkerX(double x)
{
    if (m_marker)
        m_marker->setXValue(x);
}
