#include "views/Form_1DGraph.h"
#include "ui_Form_1DGraph.h"

#include "model/Data_Calc.h"
#include "model/UserPrompt.h"
#include "shell/Dialog_Axis.h"
#include "views/Chart.h"
#include "views/ChartView.h"
#include "views/Graph_IsoLine.h"
#include "views/LineCurvesValid.h"
#include "views/PlotMatrix.h"

#include <QGridLayout>
#include <QPair>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QPen>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <qwt_scale_widget.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

using namespace QtCharts;

namespace {

// Fewest decimals that tell ticks `step` apart from `lo` on: whole numbers
// for wide ranges, more only as the step shrinks.
QString labelFormatFor(double lo, double step, int intervals)
{
    int decimals = 0;
    if (step > 0.0 && std::isfinite(step)) {
        decimals = std::min(8, std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9))));
        auto exactAt = [](double v, int digits) {
            const double scaled = v * std::pow(10.0, digits);
            return std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, std::fabs(scaled));
        };
        // Ticks like 100.25, 100.5, 100.75 read better exact: one digit more
        // when that shows every tick exactly.
        bool needsMore = false, canShow = true;
        for (int i = 0; i <= intervals; ++i) {
            const double v = lo + step * i;
            needsMore = needsMore || !exactAt(v, decimals);
            canShow = canShow && exactAt(v, decimals + 1);
        }
        if (needsMore && canShow && decimals < 8)
            ++decimals;
    }
    return QStringLiteral("%.%1f").arg(decimals);
}

// The resistivity range of the layers that reach into the depths between
// `deepest` and `shallowest`, the ones the chart shows (a model runs far
// below them, relaxing toward the reference resistivity); of all layers
// when none does. A model uniform there would leave the axis no width, and
// one within a hair of uniform would spread its rounding over the whole
// width: it stands amid a range a tenth of its value wide.
QPair<double, double> shownResistivityRange(const QVector<double> &resistivity, const QVector<double> &depth,
                                            double deepest, double shallowest, QPair<double, double> all)
{
    double smallest = std::numeric_limits<double>::infinity();
    double largest = -std::numeric_limits<double>::infinity();
    const int layers = std::min(resistivity.size(), depth.size());
    for (int j = 0; j < layers; ++j) {
        const double top = j == 0 ? 0.0 : depth[j - 1];
        if (std::isfinite(resistivity[j]) && std::max(top, depth[j]) > deepest
            && std::min(top, depth[j]) < shallowest) {
            smallest = std::min(smallest, resistivity[j]);
            largest = std::max(largest, resistivity[j]);
        }
    }
    if (!(smallest <= largest)) {
        smallest = all.first;
        largest = all.second;
    }
    const double scale = std::max(std::fabs(smallest), std::fabs(largest));
    if (largest - smallest <= 0.01 * scale) {
        const double centre = 0.5 * (smallest + largest);
        const double half = centre != 0.0 ? 0.05 * std::fabs(centre) : 1.0;
        return qMakePair(centre - half, centre + half);
    }
    return qMakePair(smallest, largest);
}

// Depth labels: whole metres where the ticks fall on them, otherwise one
// decimal more than the step's size needs so no tick reads rounded away.
QString depthFormatFor(double lo, double step, int intervals)
{
    const QString base = labelFormatFor(lo, step, intervals);
    int decimals = base.mid(2, base.size() - 3).toInt();
    for (int i = 0; i <= intervals; ++i) {
        const double scaled = (lo + step * i) * std::pow(10.0, decimals);
        if (std::fabs(scaled - std::round(scaled)) > 1e-6 * std::max(1.0, std::fabs(scaled))) {
            decimals = std::min(8, decimals + 1);
            break;
        }
    }
    return QStringLiteral("%.%1f").arg(decimals);
}

int widestLabel(const QFontMetrics &metrics, const QString &format, double lo, double step,
                int intervals)
{
    const QByteArray f = format.toLatin1();
    int widest = 0;
    for (int i = 0; i <= intervals; ++i)
        widest = std::max(widest, metrics.horizontalAdvance(QString::asprintf(f.constData(), lo + step * i)));
    return widest;
}

// Padding QtCharts keeps on each side of an axis label.
constexpr int kLabelPadding = 4;

// The panels are narrow: the plot gets the room the default frame and
// margins would take.
void compactChart(QChart *chart)
{
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(4, 10, 10, 4));
    chart->setBackgroundRoundness(0);
}

} // namespace

Form_1DGraph::Form_1DGraph(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Form_1DGraph)
{
    ui->setupUi(this);
    buildDecayChart();
    buildModelChart();
    buildPlots();

    m_layout = new QGridLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_decayView, 0, 0);
    m_layout->addWidget(m_modelView, 0, 1);
    m_layout->addWidget(m_plotMatrix, 0, 2);
    m_layout->setColumnStretch(0, 3);
    m_layout->setColumnStretch(1, 2);
    m_layout->setColumnStretch(2, 2);
    // The line's two plots would hold the form some 470 px high, taller than
    // the window that opens at two thirds of a small desktop can give: they
    // take the height the window has. Nor may the model chart and the
    // plots take the width of the decay chart, the one the user edits:
    // every column takes its share of the width, down to a minimum that
    // still shows its labels whole.
    QSizePolicy policy = m_plotMatrix->sizePolicy();
    policy.setVerticalPolicy(QSizePolicy::Ignored);
    policy.setHorizontalPolicy(QSizePolicy::Ignored);
    m_plotMatrix->setSizePolicy(policy);
    for (QWidget *chart : {static_cast<QWidget *>(m_decayView), static_cast<QWidget *>(m_modelView)}) {
        QSizePolicy p = chart->sizePolicy();
        p.setHorizontalPolicy(QSizePolicy::Ignored);
        chart->setSizePolicy(p);
    }
    const QFontMetrics labelMetrics(m_decayChart->font());
    m_decayView->setMinimumWidth(labelMetrics.horizontalAdvance(QStringLiteral("1.0E-05")) * 2 + 30);
    // The channel axis' labels beside a canvas wide enough for a few
    // station labels; the plots fewer labels as they narrow.
    const QFontMetrics plotMetrics(m_channelPlot->axisWidget(QwtPlot::yLeft)->font());
    m_plotMatrix->setMinimumWidth(plotMetrics.horizontalAdvance(QStringLiteral("1.0E-09")) + 90);
    m_emptyRanges = axisRanges();
}

Form_1DGraph::AxisRanges Form_1DGraph::axisRanges() const
{
    AxisRanges r;
    r.time = qMakePair(m_timeAxis->min(), m_timeAxis->max());
    r.value = qMakePair(m_valueAxis->min(), m_valueAxis->max());
    r.resistivity = qMakePair(m_resistivityAxis->min(), m_resistivityAxis->max());
    r.depth = qMakePair(m_depthAxis->min(), m_depthAxis->max());
    return r;
}

void Form_1DGraph::setAxisRanges(const AxisRanges &r)
{
    m_timeAxis->setRange(r.time.first, r.time.second);
    m_valueAxis->setRange(r.value.first, r.value.second);
    m_resistivityAxis->setRange(r.resistivity.first, r.resistivity.second);
    m_depthAxis->setRange(r.depth.first, r.depth.second);
}

Form_1DGraph::~Form_1DGraph()
{
    delete ui;
}

void Form_1DGraph::buildDecayChart()
{
    m_decayChart = new Chart;
    m_decayChart->legend()->hide();
    m_decayChart->setTitle(QStringLiteral("衰减曲线图"));
    m_decayView = new ChartView(m_decayChart, this);
    // Limits typed after a double-click on the chart hold for later stations
    // as the ribbon's do.
    connect(m_decayView->axisDialog(), SIGNAL(signalChartAxisScaleChanged(double,double,double,double)),
            this, SLOT(on_signalChartAxisScaleChanged(double,double,double,double)));

    m_timeAxis = new QLogValueAxis;
    m_valueAxis = new QLogValueAxis;
    for (QLogValueAxis *axis : {m_timeAxis, m_valueAxis}) {
        axis->setBase(10.0);
        axis->setLineVisible(false);
        axis->setMinorTickCount(8);
        axis->setGridLineColor(Qt::black);
    }
    // Ticks fall on whole decades: no decimal to show ("1E-05").
    m_valueAxis->setLabelFormat(QStringLiteral("%.0E"));
    // Decades as 100, 1000, 1e+05, turned upright: side by side even those
    // do not fit a decade's share of the narrow panel and would be cut to
    // "10...".
    m_timeAxis->setLabelFormat(QStringLiteral("%g"));
    m_timeAxis->setLabelsAngle(-90);
    // A small chart has no label's height for every decade, and QtCharts
    // would cut every label to "...": then every second (third, ...)
    // decade is labelled, with its grid line. The time labels stand
    // upright, so both axes need a label's height per labelled decade.
    auto relabel = [this](QLogValueAxis *axis, bool vertical) {
        const QRectF area = m_decayChart->plotArea();
        const double room = vertical ? area.height() : area.width();
        const double low = axis->min(), high = axis->max();
        if (!(room > 0.0) || !(low > 0.0) || !(high > low))
            return;
        const double decades = std::log10(high / low);
        const double needed = QFontMetrics(axis->labelsFont()).height() + 2 * kLabelPadding;
        int step = 1;
        for (int s : {1, 2, 3, 4, 6}) {
            step = s;
            if ((std::floor(decades / s) + 1.0) * needed <= room)
                break;
        }
        const double base = std::pow(10.0, step);
        if (axis->base() != base) {
            axis->setBase(base);
            axis->setMinorTickCount(step == 1 ? 8 : 0);
        }
    };
    auto relabelBoth = [this, relabel] {
        relabel(m_valueAxis, true);
        relabel(m_timeAxis, false);
    };
    connect(m_valueAxis, &QLogValueAxis::rangeChanged, this, relabelBoth);
    connect(m_timeAxis, &QLogValueAxis::rangeChanged, this, relabelBoth);
    connect(m_decayChart, &QChart::plotAreaChanged, this, relabelBoth);
    compactChart(m_decayChart);
    m_decayChart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_decayChart->addAxis(m_valueAxis, Qt::AlignLeft);
}

void Form_1DGraph::buildModelChart()
{
    m_modelChart = new QChart;
    m_modelChart->legend()->hide();
    m_modelChart->setTitle(QStringLiteral("视电阻率深度图"));
    m_modelView = new QChartView(m_modelChart, this);
    compactChart(m_modelChart);
    // Room for a depth label such as "-1000.0" beside a plot wide enough for
    // two resistivity labels: below that QtCharts cuts them short.
    const QFontMetrics labelMetrics(m_modelChart->font());
    m_modelView->setMinimumWidth(labelMetrics.horizontalAdvance(QStringLiteral("-1000.0")) * 2 + 10);

    m_depthAxis = new QValueAxis;
    m_resistivityAxis = new QValueAxis;
    m_resistivityAxis->setLabelFormat(QStringLiteral("%.0f"));
    // Labels as precise as the tick step needs. The panel is narrow: when
    // five labels would not fit side by side (and be cut short), fewer ticks
    // are labelled and the minor ticks keep the grid at eighths of the range.
    auto busy = std::make_shared<bool>(false);
    auto relabel = [this, busy] {
        if (*busy)
            return;
        *busy = true;
        QValueAxis *axis = m_resistivityAxis;
        const double lo = axis->min();
        const double span = axis->max() - lo;
        const double room = m_modelChart->plotArea().width();
        const QFontMetrics metrics(axis->labelsFont());
        int ticks = 5;
        QString format;
        for (int t : {5, 3, 2}) {
            ticks = t;
            format = labelFormatFor(lo, span / (t - 1), t - 1);
            if (room <= 0.0)   // not laid out yet
                break;
            // QtCharts cuts a label short beyond the axis width over the
            // number of ticks, less 4 px padding each side.
            if (widestLabel(metrics, format, lo, span / (t - 1), t - 1) + 2 * kLabelPadding <= room / t)
                break;
        }
        axis->setTickCount(ticks);
        axis->setMinorTickCount(8 / (ticks - 1) - 1);
        axis->setLabelFormat(format);
        *busy = false;
    };
    connect(m_resistivityAxis, &QValueAxis::rangeChanged, this, relabel);
    connect(m_resistivityAxis, &QValueAxis::tickCountChanged, this, relabel);
    connect(m_resistivityAxis, &QValueAxis::minorTickCountChanged, this, relabel);
    connect(m_modelChart, &QChart::plotAreaChanged, this, relabel);
    // Depth labels as precise as their step needs ("-25", not "-25.0").
    auto relabelDepth = [this] {
        const int ticks = std::max(2, m_depthAxis->tickCount());
        const QString format = depthFormatFor(m_depthAxis->min(),
                                              (m_depthAxis->max() - m_depthAxis->min()) / (ticks - 1),
                                              ticks - 1);
        if (format != m_depthAxis->labelFormat())
            m_depthAxis->setLabelFormat(format);
    };
    connect(m_depthAxis, &QValueAxis::rangeChanged, this, relabelDepth);
    connect(m_depthAxis, &QValueAxis::tickCountChanged, this, relabelDepth);
    m_modelChart->addAxis(m_depthAxis, Qt::AlignLeft);
    m_modelChart->addAxis(m_resistivityAxis, Qt::AlignBottom);
}

void Form_1DGraph::buildPlots()
{
    m_plotMatrix = new PlotMatrix(2, 1, this);
    m_channelPlot = new Graph_IsoLine(m_plotMatrix);
    m_sectionPlot = new Graph_IsoLine(m_plotMatrix);
    m_plotMatrix->setPlotAt(m_channelPlot, 0, 0);
    m_plotMatrix->setPlotAt(m_sectionPlot, 1, 0);
    m_channelPlot->attachMarkers();
    m_sectionPlot->attachMarkers();
    takeColumnWidth(m_channelPlot);
    takeColumnWidth(m_sectionPlot);
}

void Form_1DGraph::takeColumnWidth(Graph_IsoLine *plot)
{
    // Their size hints count every label of the widest tick step; the plots
    // label fewer ticks in the width their column gives them.
    QSizePolicy policy = plot->sizePolicy();
    policy.setHorizontalPolicy(QSizePolicy::Ignored);
    plot->setSizePolicy(policy);
}

void Form_1DGraph::deleteStationSeries()
{
    if (!m_stationSeries)
        return;
    m_decayChart->setPointSelected(false);
    m_decayChart->setSeries(nullptr);
    m_decayChart->removeSeries(m_stationSeries);
    delete m_stationSeries;
    m_stationSeries = nullptr;
}

void Form_1DGraph::deleteModelSeries()
{
    if (!m_modelSeries)
        return;
    m_modelChart->removeSeries(m_modelSeries);
    delete m_modelSeries;
    m_modelSeries = nullptr;
}

QPair<double, double> Form_1DGraph::rebuildModelSeries(const QVector<double> &resistivity,
                                                       const QVector<double> &depth)
{
    deleteModelSeries();
    m_modelSeries = new QLineSeries;
    QPen pen(QBrush(Qt::darkCyan), 3.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    m_modelSeries->setPen(pen);

    double smallest = 1e6;
    double largest = -10000.0;
    const int layers = std::min(resistivity.size(), depth.size());
    for (int j = 0; j < layers; ++j) {
        const double rho = resistivity[j];
        m_modelSeries->append(rho, j == 0 ? 0.0 : depth[j - 1]);
        m_modelSeries->append(rho, depth[j]);
        smallest = std::min(smallest, rho);
        largest = std::max(largest, rho);
    }

    m_modelChart->addSeries(m_modelSeries);
    m_modelSeries->attachAxis(m_resistivityAxis);
    m_modelSeries->attachAxis(m_depthAxis);
    m_resistivityAxis->setTickCount(5);
    m_resistivityAxis->setMinorTickCount(1);
    m_depthAxis->setTickCount(5);
    return qMakePair(smallest, largest);
}

void Form_1DGraph::on_signalSurveyChanged(double loopRadius, double transmitterTurns, double receiverArea)
{
    InversionMethod::Survey survey;
    survey.loopRadius = loopRadius;
    survey.transmitterTurns = transmitterTurns;
    survey.receiverArea = receiverArea;
    m_inversion.setSurvey(survey);
}

void Form_1DGraph::on_signalStationChanged(QString title, QVector<double> values,
                                           QVector<double> times, double current,
                                           double referenceResistivity, double constraint)
{
    deleteStationSeries();
    deleteModelSeries();
    m_modelChart->removeAllSeries();

    m_decayChart->setTitle(title);
    m_stationTimes = times;
    m_stationValues = values;
    // An edit belongs to the station it was made on; saving must not hand it
    // on as the curve of the next one.
    m_editedCurve.clear();
    m_editUnsaved = false;

    m_stationSeries = new QScatterSeries;
    m_stationSeries->setColor(Qt::red);
    m_stationSeries->setMarkerSize(7.0);
    const int n = std::min(times.size(), values.size());
    QVector<double> magnitudes;
    for (int i = 0; i < n; ++i) {
        magnitudes.append(std::fabs(values[i]));
        m_stationSeries->append(times[i], magnitudes.last());
    }
    m_decayChart->addSeries(m_stationSeries);
    m_decayChart->setSeries(m_stationSeries);
    m_stationSeries->attachAxis(m_timeAxis);
    m_stationSeries->attachAxis(m_valueAxis);
    m_timeAxis->setRange(m_chartXMin, m_chartXMax);
    // Until the user sets the limits, the late gates of a resistive station
    // must not fall below the chart.
    const QPair<double, double> valueRange =
        m_chartAxisSet ? qMakePair(m_chartYMin, m_chartYMax)
                       : Data_Calc::decadeRange(magnitudes, m_chartYMin, m_chartYMax);
    m_valueAxis->setRange(valueRange.first, valueRange.second);

    m_current = current;
    m_referenceResistivity = referenceResistivity;
    m_constraint = constraint;
    QVector<double> resistivity;
    QVector<double> depth;
    m_inversion.pointCompute(values, times, current, resistivity, depth,
                             referenceResistivity, constraint);

    // A curve that cannot be inverted has no model: nothing is drawn.
    const QPair<double, double> range = rebuildModelSeries(resistivity, depth);
    if (m_useDefaults) {
        if (!resistivity.isEmpty()) {
            const QPair<double, double> shown =
                shownResistivityRange(resistivity, depth, -m_params.inversionDepth, 0.0, range);
            m_resistivityAxis->setRange(shown.first, shown.second);
        }
        m_depthAxis->setRange(-m_params.inversionDepth, 0.0);
    } else {
        m_resistivityAxis->setRange(m_resistivityMin, m_resistivityMax);
        m_depthAxis->setRange(m_depthMin, 0.0);
    }
}

QVector<double> Form_1DGraph::seriesValues() const
{
    QVector<double> values;
    if (!m_stationSeries)
        return values;
    const QVector<QPointF> points = m_stationSeries->pointsVector();
    values.reserve(points.size());
    for (const QPointF &p : points)
        values.append(p.y());
    return values;
}

void Form_1DGraph::onSignalMouseMoveComplete_RefreshUI()
{
    if (!m_stationSeries)
        return;
    // A release or Escape that moved nothing is no edit: nothing to invert
    // again, nothing to save.
    QVector<double> before = m_editedCurve;
    if (before.isEmpty()) {
        const int n = std::min(m_stationTimes.size(), m_stationValues.size());
        for (int i = 0; i < n; ++i)
            before.append(std::fabs(m_stationValues[i]));
    }
    if (seriesValues() == before)
        return;
    reinvertEditedCurve();
}

void Form_1DGraph::reinvertEditedCurve()
{
    if (!m_stationSeries)
        return;
    QVector<double> times;
    const QVector<QPointF> points = m_stationSeries->pointsVector();
    times.reserve(points.size());
    for (const QPointF &p : points)
        times.append(p.x());
    m_editedCurve = seriesValues();
    const QVector<double> values = m_editedCurve;

    QVector<double> resistivity;
    QVector<double> depth;
    m_inversion.pointCompute(values, times, m_current, resistivity, depth,
                             m_referenceResistivity, m_constraint);
    const QPair<double, double> range = rebuildModelSeries(resistivity, depth);
    if (m_useDefaults) {
        // The edited curve's model may reach past the station's range.
        if (!resistivity.isEmpty()) {
            const QPair<double, double> shown =
                shownResistivityRange(resistivity, depth, -m_params.inversionDepth, 0.0, range);
            m_resistivityAxis->setRange(shown.first, shown.second);
        }
        m_depthAxis->setRange(-m_params.inversionDepth, 0.0);
    } else {
        m_resistivityAxis->setRange(m_resistivityMin, m_resistivityMax);
        m_depthAxis->setRange(m_depthMin, 0.0);
    }

    // The line keeps only the gates its stations share: the edit goes to
    // the line gates of the same time, not of the same position.
    if (m_stationColumn >= 0) {
        const int gates = std::min(m_lineGateTimes.size(), m_lineMatrix.size());
        for (int g = 0; g < gates; ++g) {
            const int i = times.indexOf(m_lineGateTimes[g]);
            QVector<double> &row = m_lineMatrix[g];
            if (i >= 0 && m_stationColumn < row.size())
                row[m_stationColumn] = m_editedCurve[i];
        }
    }
    m_channelPlot->drawChannelCurves(m_lineMatrix, m_stationPositions);

    m_editUnsaved = true;
    emit signal_FiseSaveButtonEnalbe(true);
}

void Form_1DGraph::on_signalShowLineChanged(QVector<double> values, QVector<double> times)
{
    if (m_referenceSeries) {
        m_decayChart->removeSeries(m_referenceSeries);
        delete m_referenceSeries;
        m_referenceSeries = nullptr;
    }
    m_referenceSeries = new QLineSeries;
    m_referenceSeries->setPen(
        QPen(QBrush(Qt::blue), 0.8, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    const int n = std::min(values.size(), times.size());
    for (int i = 0; i < n; ++i)
        m_referenceSeries->append(times[i], values[i]);
    m_decayChart->addSeries(m_referenceSeries);
    m_referenceSeries->attachAxis(m_timeAxis);
    m_referenceSeries->attachAxis(m_valueAxis);
    m_referenceSeries->setPointsVisible(false);
}

void Form_1DGraph::on_signalLineSectionGraphChanged(QVector<QVector<double> > matrix,
                                                    QVector<double> gateTimes,
                                                    QVector<double> stationPositions,
                                                    double stationPosition)
{
    lineCurvesValid = m_channelPlot->drawChannelCurves(matrix, stationPositions);
    m_channelPlot->setMarkerX(stationPosition);
    m_channelPlot->replot();

    m_stationPosition = stationPosition;
    m_lineGateTimes = gateTimes;
    m_lineMatrix = matrix;
    m_stationPositions = stationPositions;
    m_lineCurrents.clear();
    if (m_nextLineCurrents.size() == stationPositions.size())
        m_lineCurrents = m_nextLineCurrents;
    m_nextLineCurrents.clear();
    for (int i = stationPositions.size() - 1; i >= 0; --i) {
        if (stationPositions[i] == stationPosition) {
            m_stationColumn = i;
            break;
        }
    }
}

void Form_1DGraph::on_signalLineCurrentsChanged(QVector<double> currents)
{
    m_nextLineCurrents = currents;
}

void Form_1DGraph::on_signalISOGraphChanged(InvParam params, QList<DataType_ResultData> &results,
                                            QVector<TopoData> topography, double depth,
                                            QMap<float, QColor> colours, bool)
{
    if (!lineCurvesValid)
        return;
    m_params = params;
    m_sectionRamp = colours;
    QList<DataType_ResultData> columns = results;
    m_sectionPlot->setSectionData(columns, topography, depth, colours, 1);
    m_sectionPlot->setMarkerX(m_stationPosition);
    m_sectionPlot->replot();
}

void Form_1DGraph::on_signalCurrentGridSettingsChanged(GridPattern pattern, double spacing)
{
    m_gridPattern = pattern;
    m_gridSpacing = spacing;
}

void Form_1DGraph::on_signalColorMapChanged(QMap<float, QColor> ramp)
{
    m_sectionRamp = ramp;
    m_sectionPlot->setColorMap(ramp);
}

void Form_1DGraph::on_signalContourMethod1D(int method)
{
    m_sectionPlot->contourMethod = method;
}

void Form_1DGraph::on_signalEditCheckBoxStateChanged(bool pointMove, bool lineMove)
{
    if (!pointMove && !lineMove) {
        // Off at once: the shown points can no longer be picked, and a drag
        // under way ends without an edit.
        m_decayChart->setPointSelected(false);
        if (m_stationSeries)
            disconnect(m_stationSeries, SIGNAL(pressed(QPointF)), m_decayChart,
                       SLOT(on_signal_clickPoint(QPointF)));
        disconnect(m_decayChart, SIGNAL(signal_MouseMoveComplete()), this,
                   SLOT(onSignalMouseMoveComplete_RefreshUI()));
        return;
    }
    // Made unique: the data model repeats this after every station it shows.
    if (m_stationSeries)
        connect(m_stationSeries, SIGNAL(pressed(QPointF)), m_decayChart,
                SLOT(on_signal_clickPoint(QPointF)), Qt::UniqueConnection);
    connect(this, SIGNAL(signal_LineMoveStateChanged(bool)), m_decayChart,
            SLOT(on_signal_LineMovedStatusChanged(bool)), Qt::UniqueConnection);
    connect(m_decayChart, SIGNAL(signal_MouseMoveComplete()), this,
            SLOT(onSignalMouseMoveComplete_RefreshUI()), Qt::UniqueConnection);
    emit signal_LineMoveStateChanged(lineMove);
}

void Form_1DGraph::on_signalFileSaved()
{
    // The edit is the shown station's own curve: it is checked against that
    // station's gates, which a shorter neighbour does not cut.
    if (m_editedCurve.isEmpty() || m_stationTimes.size() != m_editedCurve.size()) {
        UserPrompt::critical(QStringLiteral("保存警告"),
                             QStringLiteral("当前数据点少于5个,不能进行反演，不进行数据保存操作"));
        return;
    }
    emit signal_FileSavedtoDB(m_editedCurve, m_stationTimes);

    QList<DataType_ResultData> section = lineSection();
    on_signalISOGraphChanged(m_params, section, m_params.topography, m_params.inversionDepth,
                             m_sectionRamp, true);
}

void Form_1DGraph::on_signalEditedCurveStored()
{
    m_editUnsaved = false;
}

void Form_1DGraph::clearView()
{
    deleteStationSeries();
    deleteModelSeries();
    m_modelChart->removeAllSeries();
    if (m_referenceSeries) {
        m_decayChart->removeSeries(m_referenceSeries);
        delete m_referenceSeries;
        m_referenceSeries = nullptr;
    }
    m_decayChart->setTitle(QStringLiteral("衰减曲线图"));
    // Nor the last station's scales.
    setAxisRanges(m_emptyRanges);
    m_stationTimes.clear();
    m_stationValues.clear();
    m_editedCurve.clear();
    m_editUnsaved = false;
    m_lineMatrix.clear();
    m_lineCurrents.clear();
    m_nextLineCurrents.clear();
    m_stationPositions.clear();
    m_lineGateTimes.clear();
    m_stationColumn = -1;
    // New plots, as the form began with: no curves, section, marker or
    // axes of the line shown before.
    const int method = m_sectionPlot->contourMethod;
    auto *channel = new Graph_IsoLine(m_plotMatrix);
    auto *section = new Graph_IsoLine(m_plotMatrix);
    m_plotMatrix->setPlotAt(channel, 0, 0);
    m_plotMatrix->setPlotAt(section, 1, 0);
    m_channelPlot = channel;
    m_sectionPlot = section;
    m_channelPlot->attachMarkers();
    m_sectionPlot->attachMarkers();
    takeColumnWidth(m_channelPlot);
    takeColumnWidth(m_sectionPlot);
    m_sectionPlot->contourMethod = method;
}

QList<DataType_ResultData> Form_1DGraph::lineSection()
{
    // As the controller inverts the section: every station at its own
    // current, brought to the line's; without the currents, at the shown
    // station's.
    QVector<QVector<double> > curves = m_lineMatrix;
    double current = m_current;
    if (!m_lineCurrents.isEmpty()) {
        Data_Mathematical_Calc::scaleToLineCurrent(curves, m_lineCurrents);
        current = Data_Mathematical_Calc::kLineCurrent;
    }
    QList<DataType_ResultData> results;
    m_calc.pointInversion(curves, m_lineGateTimes, m_stationPositions, current, results, m_params);
    return m_sectionBuilder.buildSectionGrid(results, m_params.inversionDepth, m_params.referenceResistivity,
                                             m_params.inversionCoefficient, m_gridPattern, m_gridSpacing);
}

void Form_1DGraph::on_signalFittingMethodChanged(int method)
{
    if (m_stationValues.isEmpty())
        return;
    QVector<double> times = m_stationTimes;
    QVector<double> values = m_stationValues;
    switch (method) {
    case 0:
        m_calc.bsplineFit(times, values);
        break;
    case 1:
        m_calc.gaussianFit(times, values);
        break;
    case 2:
        m_calc.exponentialFit(times, values);
        break;
    default:
        break;
    }
    if (m_stationSeries) {
        const int n = std::min({m_stationSeries->count(), times.size(), values.size()});
        for (int i = 0; i < n; ++i)
            m_stationSeries->replace(i, times[i], values[i]);
    }
    reinvertEditedCurve();
}

void Form_1DGraph::on_signalChartAxisScaleChanged(double xMax, double xMin, double yMax,
                                                  double yMin)
{
    m_chartXMax = xMax;
    m_chartXMin = xMin;
    m_chartYMax = yMax;
    m_chartYMin = yMin;
    m_chartAxisSet = true;
    m_timeAxis->setRange(xMin, xMax);
    m_valueAxis->setRange(yMin, yMax);
}

void Form_1DGraph::setAxis2Range(double depthMin, double resistivityMax, double resistivityMin,
                                 bool useDefaults)
{
    m_depthMin = depthMin;
    m_resistivityMax = resistivityMax;
    m_resistivityMin = resistivityMin;
    m_useDefaults = useDefaults;
    if (!useDefaults) {
        m_resistivityAxis->setRange(resistivityMin, resistivityMax);
        m_depthAxis->setRange(depthMin, 0.0);
    }
}

QMap<float, QColor> Form_1DGraph::defaultColorRamp()
{
    struct Stop {
        float position;
        int r, g, b;
    };
    static const Stop stops[] = {
        {1e-18f, 255, 255, 255}, {0.025f, 0, 0, 255},     {0.05f, 30, 144, 255},
        {0.075f, 70, 130, 180},  {0.1f, 100, 149, 237},   {0.125f, 65, 105, 255},
        {0.15f, 0, 255, 255},    {0.175f, 32, 178, 170},  {0.2f, 144, 238, 144},
        {0.225f, 0, 255, 0},     {0.25f, 50, 205, 50},    {0.275f, 60, 179, 113},
        {0.3f, 0, 128, 0},       {0.325f, 0, 100, 0},     {0.35f, 255, 255, 0},
        {0.375f, 255, 215, 0},   {0.4f, 218, 165, 32},    {0.425f, 255, 165, 0},
        {0.45f, 255, 140, 0},    {0.475f, 255, 160, 122}, {0.5f, 250, 128, 114},
        {0.55f, 240, 128, 128},  {0.6f, 205, 92, 92},     {0.7f, 255, 0, 0},
        {0.85f, 162, 42, 42},    {1.0f, 128, 0, 0},
    };
    QMap<float, QColor> ramp;
    for (const Stop &s : stops)
        ramp.insert(s.position, QColor(s.r, s.g, s.b, 255));
    return ramp;
}
