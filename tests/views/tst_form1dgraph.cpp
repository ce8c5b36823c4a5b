#include "model/DataModel.h"
#include "model/DataModelFixture.h"
#include "model/Data_Mathematical_Calc.h"
#include "model/ModelFiles.h"
#include "model/UserPrompt.h"
#include "platform/inversion/InversionMethod.h"
#include "views/Chart.h"
#include "views/ChartView.h"
#include "views/Form_1DGraph.h"
#include "views/Graph_IsoLine.h"
#include "views/LineCurvesValid.h"
#include "views/PlotMatrix.h"

#include <QDialog>
#include <QDir>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <qwt_color_map.h>
#include <qwt_interval.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

#include "common/TestHelpers.h"

#include <cmath>
#include <limits>

using namespace QtCharts;

namespace {

const double kCurrent = 10.0;
const double kReference = 100.0;
const double kConstraint = 2.0;
const QSize kSmallForm(760, 473);   // in a main window of 1066 x 666

QVector<double> gateTimes(int n = 24)
{
    QVector<double> t;
    for (int i = 0; i < n; ++i)
        t.append(80.0 * std::pow(10.0, 2.0 * i / (n - 1)));   // 80 us to 8 ms
    return t;
}

// A curve whose apparent resistivity climbs from rhoTop at the earliest
// gate to rhoBottom at the latest: a conductive cover over resistive ground.
QVector<double> layeredCurve(const QVector<double> &times, double rhoTop, double rhoBottom)
{
    QVector<double> v;
    for (int i = 0; i < times.size(); ++i) {
        const double f = times.size() > 1 ? double(i) / (times.size() - 1) : 0.0;
        const double rho = rhoTop * std::pow(rhoBottom / rhoTop, f);
        v.append(InversionMethod::syntheticCurve({times[i]}, rho, kCurrent).first());
    }
    return v;
}

QVector<double> ys(const QXYSeries *s)
{
    QVector<double> out;
    for (const QPointF &p : s->pointsVector())
        out.append(p.y());
    return out;
}

// The model staircase built from the library's answer, as the form draws it.
QVector<QPointF> staircase(const QVector<double> &rho, const QVector<double> &depth)
{
    QVector<QPointF> pts;
    for (int j = 0; j < rho.size(); ++j) {
        pts.append(QPointF(rho[j], j == 0 ? 0.0 : depth[j - 1]));
        pts.append(QPointF(rho[j], depth[j]));
    }
    return pts;
}

// Smallest and largest resistivity of the layers that reach into the
// depths the chart shows, down to `deepest`.
QPair<double, double> shownLayers(const QVector<double> &rho, const QVector<double> &depth, double deepest)
{
    QPair<double, double> range(std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity());
    for (int j = 0; j < rho.size(); ++j) {
        const double top = j == 0 ? 0.0 : depth[j - 1];
        if (std::max(top, depth[j]) > deepest && std::min(top, depth[j]) < 0.0) {
            range.first = std::min(range.first, rho[j]);
            range.second = std::max(range.second, rho[j]);
        }
    }
    return range;
}

struct Line {
    QVector<double> times = gateTimes();
    QVector<double> positions;
    QVector<QVector<double> > matrix;   // one row per gate

    explicit Line(int stations = 5, double spacing = 10.0)
    {
        for (int s = 0; s < stations; ++s)
            positions.append(spacing * s);
        matrix.resize(times.size());
        for (int s = 0; s < positions.size(); ++s) {
            const double f = stations > 1 ? double(s) / (stations - 1) : 0.0;
            const QVector<double> c = layeredCurve(times, 20.0 + 40.0 * f, 300.0 - 120.0 * f);
            for (int g = 0; g < times.size(); ++g)
                matrix[g].append(c[g]);
        }
    }
    QVector<double> column(int s) const
    {
        QVector<double> c;
        for (const QVector<double> &row : matrix)
            c.append(row[s]);
        return c;
    }
};

} // namespace

class TestForm1DGraph : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void construction();
    void slotsMatchTheControllerSignals_data();
    void slotsMatchTheControllerSignals();
    void stationIsDrawnAndInverted();
    void stationWithoutModel();
    void stationRangesFromTheInversionAxisDialog();
    void staircaseFitsTheShownDepth_data();
    void staircaseFitsTheShownDepth();
    void stationIsInvertedWithTheSurvey();
    void resistivityLabelsTellTicksApart_data();
    void resistivityLabelsTellTicksApart();
    void valueAxisTakesInEveryGate_data();
    void valueAxisTakesInEveryGate();
    void chartAxisLimits();
    void limitsFromTheChartsOwnDialogLast();
    void referenceCurveIsReplaced();
    void dragReinvertsAndUpdatesTheLine();
    void editSwitch_data();
    void editSwitch();
    void switchingEditingOffTakesEffectAtOnce();
    void escapeWithoutEditLeavesSaveOff();
    void stationThatCannotBeShownLeavesNoEditToSave();
    void lineDataPicksTheStationColumn();
    void sectionIsGatedByAbnormalChannels();
    void saveWithoutEditWarns_data();
    void saveWithoutEditWarns();
    void saveTakesTheStationsOwnGates();
    void lineSectionTakesEachStationsCurrent();
    void saveEmitsTheEditedCurveAndRedrawsTheSection();
    void fitting_data();
    void fitting();
    void gridAndContourSettings();
    void labelsReadableAtTheDefaultSize_data();
    void labelsReadableAtTheDefaultSize();
    void linePlotsFitTheForm_data();
    void linePlotsFitTheForm();
    void clearViewForgetsTheStationsScales();
    void decayChartKeepsAUsableShare_data();
    void decayChartKeepsAUsableShare();
    void renderScreenshot();

private:
    void showStation(Form_1DGraph &form, const QVector<double> &values,
                     const QVector<double> &times);
    bool dragPoint(Form_1DGraph &form, int index, double toValue);

    QStringList m_titles;
    QStringList m_texts;
};

void TestForm1DGraph::initTestCase()
{
    registerSharedTypes();
}

void TestForm1DGraph::init()
{
    m_titles.clear();
    m_texts.clear();
    lineCurvesValid = true;
    UserPrompt::setTitledMessageAnswerer([this](const QString &title, const QString &text) {
        m_titles << title;
        m_texts << text;
    });
    UserPrompt::setDialogAnswerer([](QDialog *) { return int(QDialog::Rejected); });
}

void TestForm1DGraph::cleanup()
{
    UserPrompt::setTitledMessageAnswerer({});
    UserPrompt::setDialogAnswerer({});
    lineCurvesValid = true;
}

void TestForm1DGraph::showStation(Form_1DGraph &form, const QVector<double> &values,
                                  const QVector<double> &times)
{
    form.on_signalStationChanged(QStringLiteral("1线 20点"), values, times, kCurrent, kReference,
                                 kConstraint);
}

// Presses on a station point, drags it towards a value and releases.
bool TestForm1DGraph::dragPoint(Form_1DGraph &form, int index, double toValue)
{
    Chart *chart = form.decayChart();
    ChartView *view = form.decayView();
    QScatterSeries *series = form.stationSeries();
    const QPointF point = series->at(index);
    const QPoint start = view->mapFromScene(chart->mapToScene(chart->mapToPosition(point, series)));
    const QPoint target = view->mapFromScene(chart->mapToScene(
        chart->mapToPosition(QPointF(point.x(), toValue), series)));
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, start);
    const bool picked = chart->isPointSelected();
    QTest::mouseMove(view->viewport(), target);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, target);
    return picked;
}

void TestForm1DGraph::construction()
{
    Form_1DGraph form;
    QCOMPARE(form.objectName(), QStringLiteral("Form_1DGraph"));
    QCOMPARE(form.size(), QSize(866, 570));
    QCOMPARE(form.windowTitle(), QStringLiteral("Form"));

    QCOMPARE(form.decayChart()->title(), QStringLiteral("衰减曲线图"));
    QVERIFY(!form.decayChart()->legend()->isVisible());
    QCOMPARE(form.modelChart()->title(), QStringLiteral("视电阻率深度图"));
    QVERIFY(!form.modelChart()->legend()->isVisible());
    for (QLogValueAxis *axis : {form.timeAxis(), form.valueAxis()}) {
        QCOMPARE(axis->base(), 10.0);
        QCOMPARE(axis->minorTickCount(), 8);
        QVERIFY(!axis->isLineVisible());
        QCOMPARE(axis->gridLineColor(), QColor(Qt::black));
    }
    QCOMPARE(form.valueAxis()->labelFormat(), QStringLiteral("%.0E"));
    QCOMPARE(form.timeAxis()->alignment(), Qt::AlignBottom);
    QCOMPARE(form.valueAxis()->alignment(), Qt::AlignLeft);
    QCOMPARE(form.depthAxis()->alignment(), Qt::AlignLeft);
    QCOMPARE(form.resistivityAxis()->alignment(), Qt::AlignBottom);

    QCOMPARE(form.plotMatrix()->numRows(), 2);
    QCOMPARE(form.plotMatrix()->numColumns(), 1);
    QCOMPARE(form.plotMatrix()->plotAt(0, 0), form.channelPlot());
    QCOMPARE(form.plotMatrix()->plotAt(1, 0), form.sectionPlot());
    QVERIFY(form.channelPlot()->marker());
    QVERIFY(form.sectionPlot()->marker());

    auto *grid = qobject_cast<QGridLayout *>(form.layout());
    QVERIFY(grid);
    QCOMPARE(grid->spacing(), 0);
    QCOMPARE(grid->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(grid->columnStretch(0), 3);
    QCOMPARE(grid->columnStretch(1), 2);
    QCOMPARE(grid->columnStretch(2), 2);
    QCOMPARE(grid->itemAtPosition(0, 0)->widget(), form.decayView());
    QCOMPARE(grid->itemAtPosition(0, 2)->widget(), form.plotMatrix());
}

void TestForm1DGraph::slotsMatchTheControllerSignals_data()
{
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<bool>("formSends");

    QTest::newRow("station")
        << QByteArray("signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)")
        << QByteArray("on_signalStationChanged(QString,QVector<double>,QVector<double>,double,double,double)")
        << false;
    QTest::newRow("survey") << QByteArray("signal_SurveyChanged(double,double,double)")
                            << QByteArray("on_signalSurveyChanged(double,double,double)") << false;
    QTest::newRow("reference curve")
        << QByteArray("signal_DataModelShowLineChanged(QVector<double>,QVector<double>)")
        << QByteArray("on_signalShowLineChanged(QVector<double>,QVector<double>)") << false;
    QTest::newRow("line")
        << QByteArray("signal_LineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>,double)")
        << QByteArray("on_signalLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>,double)")
        << false;
    QTest::newRow("section")
        << QByteArray("signal_ISOGraphChanged(InvParam,QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,bool)")
        << QByteArray("on_signalISOGraphChanged(InvParam,QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,bool)")
        << false;
    QTest::newRow("grid") << QByteArray("signal_GridSettingsChanged(GridPattern,double)")
                          << QByteArray("on_signalCurrentGridSettingsChanged(GridPattern,double)")
                          << false;
    QTest::newRow("edit") << QByteArray("signal_EditStateChanged(bool,bool)")
                          << QByteArray("on_signalEditCheckBoxStateChanged(bool,bool)") << false;
    QTest::newRow("contour") << QByteArray("signal_ContourMethod(int)")
                             << QByteArray("on_signalContourMethod1D(int)") << false;
    QTest::newRow("save")
        << QByteArray("signal_FileSavedtoDB(QVector<double>,QVector<double>)")
        << QByteArray("on_signal_FileSavedToDB(QVector<double>,QVector<double>)") << true;
}

void TestForm1DGraph::slotsMatchTheControllerSignals()
{
    QFETCH(QByteArray, signal);
    QFETCH(QByteArray, slot);
    QFETCH(bool, formSends);

    const QMetaObject &model = DataModel::staticMetaObject;
    const QMetaObject &form = Form_1DGraph::staticMetaObject;
    const QMetaObject &sender = formSends ? form : model;
    const QMetaObject &receiver = formSends ? model : form;
    const int s = sender.indexOfSignal(QMetaObject::normalizedSignature(signal.constData()));
    const int r = receiver.indexOfSlot(QMetaObject::normalizedSignature(slot.constData()));
    QVERIFY2(s >= 0, signal.constData());
    QVERIFY2(r >= 0, slot.constData());
    QVERIFY(QMetaObject::checkConnectArgs(sender.method(s), receiver.method(r)));
}

void TestForm1DGraph::stationIsDrawnAndInverted()
{
    Form_1DGraph form;
    const QVector<double> times = gateTimes();
    QVector<double> values = layeredCurve(times, 30.0, 300.0);
    values[3] = -values[3];   // a sign reversal is shown by its magnitude
    values.append(1e-5);      // a value without a gate time is not shown

    showStation(form, values, times);
    showStation(form, values, times);   // a second station replaces the first

    QCOMPARE(form.decayChart()->title(), QStringLiteral("1线 20点"));
    QCOMPARE(form.decayChart()->series().size(), 1);
    QScatterSeries *points = form.stationSeries();
    QCOMPARE(points->count(), times.size());
    QCOMPARE(points->color(), QColor(Qt::red));
    QCOMPARE(points->markerSize(), 7.0);
    QCOMPARE(points->at(3), QPointF(times[3], std::fabs(values[3])));
    QCOMPARE(form.timeAxis()->min(), 50.0);
    QCOMPARE(form.timeAxis()->max(), 1e6);
    // The value axis takes in the curve in whole decades.
    double smallest = 1.0, largest = 0.0;
    for (int i = 0; i < times.size(); ++i) {
        smallest = std::min(smallest, std::fabs(values[i]));
        largest = std::max(largest, std::fabs(values[i]));
    }
    QCOMPARE(form.valueAxis()->min(), std::pow(10.0, std::floor(std::log10(smallest))));
    QCOMPARE(form.valueAxis()->max(), std::pow(10.0, std::ceil(std::log10(largest))));

    QVector<double> rho, depth;
    InversionMethod().pointCompute(values, times, kCurrent, rho, depth, kReference, kConstraint);
    QVERIFY(rho.size() > 2);
    QCOMPARE(form.modelChart()->series().size(), 1);
    QCOMPARE(form.modelSeries()->pointsVector(), staircase(rho, depth));
    QCOMPARE(form.modelSeries()->pen().widthF(), 3.0);
    QCOMPARE(form.modelSeries()->pen().color(), QColor(Qt::darkCyan));

    const QPair<double, double> shown = shownLayers(rho, depth, -100.0);
    QCOMPARE(form.resistivityAxis()->min(), shown.first);
    QCOMPARE(form.resistivityAxis()->max(), shown.second);
    QCOMPARE(form.depthAxis()->min(), -100.0);   // the default inversion depth
    QCOMPARE(form.depthAxis()->max(), 0.0);
    QCOMPARE(form.resistivityAxis()->tickCount(), 5);
    QCOMPARE(form.resistivityAxis()->minorTickCount(), 1);
    QCOMPARE(form.depthAxis()->tickCount(), 5);
}

// The station is inverted with the survey's loop and receiver once the
// controller has told them.
void TestForm1DGraph::stationIsInvertedWithTheSurvey()
{
    Form_1DGraph form;
    const QVector<double> times = gateTimes();
    const QVector<double> values = layeredCurve(times, 30.0, 300.0);
    form.on_signalSurveyChanged(10.0, 2.0, 50.0);
    showStation(form, values, times);
    InversionMethod::Survey survey;
    survey.loopRadius = 10.0;
    survey.transmitterTurns = 2.0;
    survey.receiverArea = 50.0;
    InversionMethod library;
    library.setSurvey(survey);
    QVector<double> rho, depth;
    library.pointCompute(values, times, kCurrent, rho, depth, kReference, kConstraint);
    QCOMPARE(form.modelSeries()->pointsVector(), staircase(rho, depth));
    QVector<double> plainRho, plainDepth;
    InversionMethod().pointCompute(values, times, kCurrent, plainRho, plainDepth, kReference, kConstraint);
    QVERIFY(plainRho != rho);
}

void TestForm1DGraph::resistivityLabelsTellTicksApart_data()
{
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<QString>("format");   // with five ticks

    QTest::newRow("wide range stays whole") << 5.0 << 805.0 << "%.0f";
    QTest::newRow("uneven data range") << 41.234 << 201.3 << "%.0f";
    QTest::newRow("low resistivities") << 0.5 << 2.5 << "%.1f";
    QTest::newRow("narrow range near 100") << 100.2 << 101.0 << "%.1f";
    QTest::newRow("quarter steps") << 100.0 << 101.0 << "%.2f";
    QTest::newRow("very narrow") << 100.0 << 100.02 << "%.3f";
    QTest::newRow("high resistivities") << 1000.0 << 5000.0 << "%.0f";
}

// Labels of the resistivity axis as the chart draws them.
static QStringList tickLabels(const QtCharts::QValueAxis *axis)
{
    QStringList labels;
    const int ticks = axis->tickCount();
    for (int i = 0; i < ticks; ++i) {
        const double v = axis->min() + (axis->max() - axis->min()) * i / (ticks - 1);
        labels << QString::asprintf(axis->labelFormat().toLatin1().constData(), v);
    }
    return labels;
}

void TestForm1DGraph::resistivityLabelsTellTicksApart()
{
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(QString, format);
    Form_1DGraph form;
    const QVector<double> times = gateTimes();
    showStation(form, layeredCurve(times, 50, 200), times);
    QtCharts::QValueAxis *axis = form.resistivityAxis();
    form.setAxis2Range(-100.0, hi, lo, false);
    QCOMPARE(axis->min(), lo);
    QCOMPARE(axis->max(), hi);
    QCOMPARE(axis->tickCount(), 5);
    QCOMPARE(axis->labelFormat(), format);
    QStringList labels = tickLabels(axis);
    QCOMPARE(labels.removeDuplicates(), 0);

    // Shown at its size in a main window 1560 px wide: every label fits its
    // share of the narrow panel, still distinct; the grid stays at eighths.
    form.resize(1180, 640);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(form.modelChart()->plotArea().width() > 0);
    QTest::qWait(20);
    const QFontMetrics metrics(axis->labelsFont());
    labels = tickLabels(axis);
    QCOMPARE(labels.removeDuplicates(), 0);
    // (Two labels, the range's ends, are the last resort whatever their width.)
    for (const QString &label : labels) {
        QVERIFY2(axis->tickCount() == 2
                     || metrics.horizontalAdvance(label) + 6 <= form.modelChart()->plotArea().width() / (axis->tickCount() - 1),
                 qPrintable(labels.join(' ')));
    }
    QCOMPARE((axis->tickCount() - 1) * (axis->minorTickCount() + 1), 8);

    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QVERIFY(form.grab().save(QDir(dir).filePath(
            QStringLiteral("hw_form1d_rho_%1.png").arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_')))));
    }
}

void TestForm1DGraph::stationWithoutModel()
{
    // A station with a curve but no measured current, then one with a
    // single usable gate: the curve is drawn, no model.
    Form_1DGraph form;
    const QVector<double> times = gateTimes();
    const QVector<double> values = layeredCurve(times, 30.0, 300.0);
    showStation(form, values, times);
    const double lo = form.resistivityAxis()->min();
    const double hi = form.resistivityAxis()->max();
    form.on_signalStationChanged(QStringLiteral("1线 40点"), values, times, 0.0, kReference, kConstraint);
    QCOMPARE(form.stationSeries()->count(), times.size());
    QVERIFY(form.modelSeries() == nullptr || form.modelSeries()->count() == 0);
    QCOMPARE(form.resistivityAxis()->min(), lo);
    QCOMPARE(form.resistivityAxis()->max(), hi);

    QVector<double> oneGate(times.size(), 0.0);
    oneGate[5] = values[5];
    form.on_signalStationChanged(QStringLiteral("1线 60点"), oneGate, times, kCurrent, kReference, kConstraint);
    QVERIFY(form.modelSeries() == nullptr || form.modelSeries()->count() == 0);
}

void TestForm1DGraph::stationRangesFromTheInversionAxisDialog()
{
    Form_1DGraph form;
    const QVector<double> times = gateTimes();
    showStation(form, layeredCurve(times, 50, 200), times);

    form.setAxis2Range(-300.0, 800.0, 5.0, false);   // applied at once
    QCOMPARE(form.resistivityAxis()->min(), 5.0);
    QCOMPARE(form.resistivityAxis()->max(), 800.0);
    QCOMPARE(form.depthAxis()->min(), -300.0);
    QCOMPARE(form.depthAxis()->max(), 0.0);

    showStation(form, layeredCurve(times, 10, 40), times);
    QCOMPARE(form.resistivityAxis()->min(), 5.0);
    QCOMPARE(form.resistivityAxis()->max(), 800.0);
    QCOMPARE(form.depthAxis()->min(), -300.0);

    // Back to the data's ranges: nothing changes before the next station.
    form.setAxis2Range(-1.0, 2.0, 1.0, true);
    QCOMPARE(form.resistivityAxis()->max(), 800.0);
    showStation(form, layeredCurve(times, 10, 40), times);
    QVector<double> rho, depth;
    InversionMethod().pointCompute(layeredCurve(times, 10, 40), times, kCurrent, rho, depth,
                                   kReference, kConstraint);
    QCOMPARE(form.resistivityAxis()->max(), shownLayers(rho, depth, -100.0).second);
    QCOMPARE(form.depthAxis()->min(), -100.0);
}

void TestForm1DGraph::valueAxisTakesInEveryGate_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    // 44 gates of a 300 ohm-m half-space from 10 us to 10 ms: the late ones
    // lie below 1e-8 V.
    QVector<double> times;
    for (int i = 0; i < 44; ++i)
        times.append(10.0 * std::pow(10.0, 3.0 * i / 43.0));
    const QVector<double> resistive = layeredCurve(times, 300.0, 300.0);
    QTest::newRow("300 ohm-m, late gates below 1e-8")
        << resistive << std::pow(10.0, std::floor(std::log10(resistive.last())))
        << std::pow(10.0, std::ceil(std::log10(resistive.first())));
    // Early gates above 1e-3 V, one of them reversed in sign.
    QVector<double> strong{3e-2, -4e-3, 5e-4, 6e-5};
    strong.resize(times.size());
    QTest::newRow("early gates above 1e-3") << strong << 1e-5 << 1e-1;
    QTest::newRow("no value a log axis can show: 1e-8 to 1e-3")
        << QVector<double>(times.size(), 0.0) << 1e-8 << 1e-3;
}

void TestForm1DGraph::valueAxisTakesInEveryGate()
{
    QFETCH(QVector<double>, values);
    QFETCH(double, low);
    QFETCH(double, high);
    QVector<double> times;
    for (int i = 0; i < values.size(); ++i)
        times.append(10.0 * std::pow(10.0, 3.0 * i / 43.0));
    Form_1DGraph form;
    showStation(form, values, times);
    QCOMPARE(form.valueAxis()->min(), low);
    QCOMPARE(form.valueAxis()->max(), high);
    int shown = 0;
    for (const QPointF &p : form.stationSeries()->pointsVector()) {
        if (p.y() >= form.valueAxis()->min() && p.y() <= form.valueAxis()->max())
            ++shown;
    }
    int placeable = 0;
    for (double v : values)
        placeable += v != 0.0 ? 1 : 0;
    QCOMPARE(shown, placeable);
}

void TestForm1DGraph::staircaseFitsTheShownDepth_data()
{
    QTest::addColumn<double>("rhoTop");
    QTest::addColumn<double>("rhoBottom");
    // The models relax toward the reference resistivity (100) far below
    // the 100 m shown.
    QTest::newRow("1 ohm-m half-space") << 1.0 << 1.0;
    QTest::newRow("300 ohm-m half-space") << 300.0 << 300.0;
    QTest::newRow("conductive cover") << 5.0 << 20.0;
    QTest::newRow("resistive cover") << 30.0 << 10.0;
}

void TestForm1DGraph::staircaseFitsTheShownDepth()
{
    QFETCH(double, rhoTop);
    QFETCH(double, rhoBottom);
    Form_1DGraph form;
    const QVector<double> times = gateTimes();
    const QVector<double> values = layeredCurve(times, rhoTop, rhoBottom);
    showStation(form, values, times);

    QVector<double> rho, depth;
    InversionMethod().pointCompute(values, times, kCurrent, rho, depth, kReference, kConstraint);
    QVERIFY(!depth.isEmpty() && depth.last() < -100.0);
    const QPair<double, double> shown = shownLayers(rho, depth, -100.0);
    QVERIFY(shown.first <= shown.second);
    // Every layer within the depth shown lies within the axis, and the axis
    // reaches no further than those layers need; a uniform model stands in
    // the middle of a range a tenth of its value wide.
    const double lo = form.resistivityAxis()->min();
    const double hi = form.resistivityAxis()->max();
    QVERIFY2(lo <= shown.first && shown.second <= hi,
             qPrintable(QString("axis %1..%2, layers %3..%4").arg(lo).arg(hi).arg(shown.first).arg(shown.second)));
    if (shown.second - shown.first > 0.01 * shown.second) {
        QCOMPARE(lo, shown.first);
        QCOMPARE(hi, shown.second);
    } else {
        HW_COMPARE_NEAR(hi - lo, 0.1 * (shown.first + shown.second) / 2.0, 1e-9);
        HW_COMPARE_NEAR((hi + lo) / 2.0, (shown.first + shown.second) / 2.0, 1e-9);
    }

    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        form.resize(1180, 640);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(50);
        QVERIFY(form.grab().save(QDir(dir).filePath(
            QStringLiteral("hw_form1d_staircase_%1.png").arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_')))));
    }
}

void TestForm1DGraph::chartAxisLimits()
{
    Form_1DGraph form;
    form.on_signalChartAxisScaleChanged(1e5, 20.0, 1e-2, 1e-10);
    QCOMPARE(form.timeAxis()->min(), 20.0);
    QCOMPARE(form.timeAxis()->max(), 1e5);
    QCOMPARE(form.valueAxis()->min(), 1e-10);
    QCOMPARE(form.valueAxis()->max(), 1e-2);
    const QVector<double> times = gateTimes();
    showStation(form, layeredCurve(times, 50, 200), times);
    QCOMPARE(form.timeAxis()->min(), 20.0);
    QCOMPARE(form.valueAxis()->max(), 1e-2);
}

// The limits typed into the dialog that a double-click on the decay chart
// opens hold for the next stations too, until they are changed again.
void TestForm1DGraph::limitsFromTheChartsOwnDialogLast()
{
    Form_1DGraph form;
    form.resize(1000, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QVector<double> times = gateTimes();
    showStation(form, layeredCurve(times, 50, 200), times);

    QStringList typed{"30", "2e5", "1e-9", "0.05"};   // x min, x max, y min, y max
    bool accept = true;
    UserPrompt::setDialogAnswerer([&](QDialog *dialog) {
        const char *names[] = {"lineEdit_xMin", "lineEdit_xMax", "lineEdit_yMin", "lineEdit_yMax"};
        for (int i = 0; i < 4; ++i) {
            auto *edit = dialog->findChild<QLineEdit *>(QString::fromLatin1(names[i]));
            if (!edit)
                return int(QDialog::Rejected);
            edit->setText(typed[i]);
        }
        auto *button = dialog->findChild<QPushButton *>(
            accept ? QStringLiteral("pushButton_OK") : QStringLiteral("pushButton_Cancle"));
        if (button)
            button->click();
        return int(QDialog::Rejected);
    });
    QWidget *viewport = form.decayView()->viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, viewport->rect().center());

    for (int station = 0; station < 2; ++station) {
        showStation(form, layeredCurve(times, 40 + 20 * station, 300), times);
        QCOMPARE(form.timeAxis()->min(), 30.0);
        QCOMPARE(form.timeAxis()->max(), 2e5);
        QCOMPARE(form.valueAxis()->min(), 1e-9);
        QCOMPARE(form.valueAxis()->max(), 0.05);
    }

    // Cancelled: the limits stay as they were.
    typed = QStringList{"1", "10", "1e-3", "1e-2"};
    accept = false;
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, viewport->rect().center());
    showStation(form, layeredCurve(times, 50, 200), times);
    QCOMPARE(form.timeAxis()->min(), 30.0);
    QCOMPARE(form.valueAxis()->max(), 0.05);
}

void TestForm1DGraph::referenceCurveIsReplaced()
{
    Form_1DGraph form;
    const QVector<double> times = gateTimes();
    showStation(form, layeredCurve(times, 50, 200), times);
    form.on_signalShowLineChanged(layeredCurve(times, 40, 150), times);
    const QVector<double> second = layeredCurve(times, 60, 100);
    // Values beyond the gate times are left out.
    form.on_signalShowLineChanged(second + QVector<double>{1e-9}, times);

    QCOMPARE(form.decayChart()->series().size(), 2);
    QLineSeries *ref = form.referenceSeries();
    QVERIFY(ref);
    QCOMPARE(ref->count(), times.size());
    QCOMPARE(ys(ref), second);
    QCOMPARE(ref->pen().color(), QColor(Qt::blue));
    QCOMPARE(ref->pen().widthF(), 0.8);
    QVERIFY(!ref->pointsVisible());
    QCOMPARE(ref->attachedAxes().size(), 2);
}

void TestForm1DGraph::dragReinvertsAndUpdatesTheLine()
{
    Form_1DGraph form;
    form.resize(1300, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    Line line;
    const int column = 2;
    const QVector<double> station = line.column(column);
    form.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions,
                                          line.positions[column]);
    showStation(form, station, line.times);
    form.on_signalEditCheckBoxStateChanged(true, false);
    const double rhoMin = form.resistivityAxis()->min();
    const double rhoMax = form.resistivityAxis()->max();

    QSignalSpy enable(&form, &Form_1DGraph::signal_FiseSaveButtonEnalbe);
    QVERIFY(dragPoint(form, 10, station[10] / 20.0));

    QCOMPARE(enable.count(), 1);
    QCOMPARE(enable.first().first().toBool(), true);
    const QVector<double> edited = form.editedCurve();
    QCOMPARE(edited, ys(form.stationSeries()));
    QVERIFY(edited[10] < station[10] / 5.0);
    for (int i = 0; i < edited.size(); ++i)
        if (i != 10)
            QCOMPARE(edited[i], station[i]);

    QVector<double> rho, depth;
    QVector<double> times;
    for (const QPointF &p : form.stationSeries()->pointsVector())
        times.append(p.x());
    InversionMethod().pointCompute(edited, times, kCurrent, rho, depth, kReference, kConstraint);
    QCOMPARE(form.modelSeries()->pointsVector(), staircase(rho, depth));
    // The resistivity axis refits to the re-inverted model: none of its
    // shown layers falls off the chart.
    const QPair<double, double> shown = shownLayers(rho, depth, -100.0);
    QVERIFY(shown.first < rhoMin || shown.second > rhoMax);
    QCOMPARE(form.resistivityAxis()->min(), shown.first);
    QCOMPARE(form.resistivityAxis()->max(), shown.second);
    QCOMPARE(form.depthAxis()->min(), -100.0);

    // The edit reaches the station's column of the line, and only it.
    const QVector<QVector<double> > m = form.lineMatrix();
    for (int g = 0; g < m.size(); ++g) {
        QCOMPARE(m[g][column], edited[g]);
        QCOMPARE(m[g][column + 1], line.matrix[g][column + 1]);
    }
    QVERIFY(m_texts.isEmpty());
}

void TestForm1DGraph::editSwitch_data()
{
    QTest::addColumn<bool>("pointMove");
    QTest::addColumn<bool>("lineMove");
    QTest::addColumn<bool>("editing");

    QTest::newRow("off") << false << false << false;
    QTest::newRow("point move") << true << false << true;
    QTest::newRow("line move only") << false << true << true;
    QTest::newRow("both") << true << true << true;
}

void TestForm1DGraph::editSwitch()
{
    QFETCH(bool, pointMove);
    QFETCH(bool, lineMove);
    QFETCH(bool, editing);

    Form_1DGraph form;
    form.resize(1300, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QVector<double> times = gateTimes();
    const QVector<double> values = layeredCurve(times, 50, 200);
    showStation(form, values, times);

    QSignalSpy mode(&form, &Form_1DGraph::signal_LineMoveStateChanged);
    QSignalSpy enable(&form, &Form_1DGraph::signal_FiseSaveButtonEnalbe);
    // Repeated as the controller does after every station shown.
    form.on_signalEditCheckBoxStateChanged(pointMove, lineMove);
    form.on_signalEditCheckBoxStateChanged(pointMove, lineMove);
    QCOMPARE(mode.count(), editing ? 2 : 0);
    QCOMPARE(form.decayChart()->lineMoveMode(), editing && lineMove);

    QCOMPARE(dragPoint(form, 5, values[5] * 4.0), editing);
    // One re-inversion per release however often editing was switched on.
    QCOMPARE(enable.count(), editing ? 1 : 0);
    if (editing && lineMove)
        HW_COMPARE_NEAR(form.editedCurve()[20] / values[20],
                        form.editedCurve()[5] / values[5], 1e-9);

    // Switching off clears a selection.
    form.decayChart()->on_signal_clickPoint(QPointF(times[4], values[4]));
    form.on_signalEditCheckBoxStateChanged(false, false);
    QVERIFY(!form.decayChart()->isPointSelected());
}

void TestForm1DGraph::switchingEditingOffTakesEffectAtOnce()
{
    Form_1DGraph form;
    form.resize(1300, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Limits with room above the curve: the drags stay on the chart.
    form.on_signalChartAxisScaleChanged(1e6, 50.0, 1e-3, 1e-8);
    const QVector<double> times = gateTimes();
    const QVector<double> values = layeredCurve(times, 50, 200);
    showStation(form, values, times);
    form.on_signalEditCheckBoxStateChanged(true, true);
    QSignalSpy enable(&form, &Form_1DGraph::signal_FiseSaveButtonEnalbe);
    QVERIFY(dragPoint(form, 5, values[5] * 4.0));
    QCOMPARE(enable.count(), 1);
    const QVector<double> edited = ys(form.stationSeries());
    const QVector<QPointF> model = form.modelSeries()->pointsVector();

    // Off, with the same station still on screen.
    form.on_signalEditCheckBoxStateChanged(false, false);
    QVERIFY(!dragPoint(form, 8, values[8] * 4.0));
    QTest::keyClick(form.decayView(), Qt::Key_Escape);
    QCOMPARE(ys(form.stationSeries()), edited);
    QCOMPARE(form.editedCurve(), edited);
    QCOMPARE(form.modelSeries()->pointsVector(), model);
    QCOMPARE(enable.count(), 1);

    // On again: the same station can be edited once more.
    form.on_signalEditCheckBoxStateChanged(true, false);
    QVERIFY(dragPoint(form, 8, values[8] * 4.0));
    QCOMPARE(enable.count(), 2);
}

void TestForm1DGraph::escapeWithoutEditLeavesSaveOff()
{
    Form_1DGraph form;
    form.resize(1300, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QVector<double> times = gateTimes();
    const QVector<double> values = layeredCurve(times, 50, 200);
    showStation(form, values, times);
    form.on_signalEditCheckBoxStateChanged(true, false);
    QSignalSpy enable(&form, &Form_1DGraph::signal_FiseSaveButtonEnalbe);
    QTest::keyClick(form.decayView(), Qt::Key_Escape);
    QCOMPARE(enable.count(), 0);
    QVERIFY(form.editedCurve().isEmpty());

    // After a real edit, Escape leaves it as it is.
    QVERIFY(dragPoint(form, 6, values[6] * 5.0));
    QCOMPARE(enable.count(), 1);
    const QVector<double> edited = form.editedCurve();
    QTest::keyClick(form.decayView(), Qt::Key_Escape);
    QCOMPARE(form.editedCurve(), edited);
}

void TestForm1DGraph::stationThatCannotBeShownLeavesNoEditToSave()
{
    // The controller and the view wired as the main window wires them.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("p.QELVA");
    const QVector<double> times = gateTimes(12);
    const QVector<double> values = layeredCurve(times, 50, 200);
    dmtest::StationDef timeStation = dmtest::gatedStation(30, times, values, values);
    timeStation.type = 1;
    QVERIFY(dmtest::writeProject(file, {dmtest::line(1, {dmtest::gatedStation(10, times, values, values),
                                                         dmtest::gatedStation(20, times, values, values),
                                                         timeStation})}));
    LibHORM lib;
    QVERIFY(lib.open(file));
    DataModel model;
    model.setFileSuffix("QELVA");
    model.loadProject(&lib);
    InvParam p;
    p.timeWindowStart = 0.0;
    model.on_signal_curInvsionParamChanged(p);

    Form_1DGraph form;
    form.resize(1300, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(connect(&model, SIGNAL(signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)),
                    &form, SLOT(on_signalStationChanged(QString,QVector<double>,QVector<double>,double,double,double))));
    QVERIFY(connect(&model, SIGNAL(signal_EditStateChanged(bool,bool)), &form,
                    SLOT(on_signalEditCheckBoxStateChanged(bool,bool))));
    QVERIFY(connect(&form, SIGNAL(signal_FileSavedtoDB(QVector<double>,QVector<double>)), &model,
                    SLOT(on_signal_FileSavedToDB(QVector<double>,QVector<double>))));
    QSignalSpy formEnable(&form, &Form_1DGraph::signal_FiseSaveButtonEnalbe);

    model.on_signalEditCheckBoxStateChanged(true, false);
    model.showTreeNode(0, 1, -1);
    QVERIFY(dragPoint(form, 4, values[4] * 4.0));
    QCOMPARE(formEnable.count(), 1);

    // The TYPE 1 station stops the view; the previous one stays on screen
    // but takes no drag.
    model.showTreeNode(0, 2, -1);
    QVERIFY(!dragPoint(form, 6, values[6] * 4.0));
    QCOMPARE(formEnable.count(), 1);

    // A fit of what is on screen can still be asked to be saved: it is not
    // stored, and the user is told.
    form.on_signalFittingMethodChanged(2);
    form.on_signalFileSaved();
    QCOMPARE(m_texts, QStringList{QStringLiteral("当前没有显示可编辑的测点，曲线未保存！")});
    QVector<double> stored;
    model.closeProject();
    {
        LibHORM reader;
        QVERIFY(reader.open(file));
        reader.RegisterObject(Data_Line::staticMetaObject);
        reader.RegisterObject(Data_Point::staticMetaObject);
        HORM_Collection<Data_Line> lines(&reader);
        Data_Point* station = lines.at(0).value()->REF_Data_Point()->at(1).value();
        QVERIFY(station);
        QVector<double> t, raw;
        station->unpackQV18(stored, t, raw, 0.0, 1e9);
    }
    QCOMPARE(stored, values);
}

void TestForm1DGraph::lineDataPicksTheStationColumn()
{
    Form_1DGraph form;
    Line line;
    QVector<double> positions = line.positions;
    positions[3] = 20.0;   // two stations at 20: the last one counts
    form.on_signalLineSectionGraphChanged(line.matrix, line.times, positions, 20.0);
    QCOMPARE(form.currentStationColumn(), 3);
    QVERIFY(lineCurvesValid);
    QCOMPARE(form.channelPlot()->marker()->xValue(), 20.0);
    QCOMPARE(form.channelPlot()->curves().size(), line.times.size());

    // No station at this position: the column stays.
    form.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 25.0);
    QCOMPARE(form.currentStationColumn(), 3);
    QCOMPARE(form.channelPlot()->marker()->xValue(), 25.0);

    // An abnormal value is reported and marks the line's curves invalid.
    QVector<QVector<double> > bad = line.matrix;
    bad[4][1] = std::nan("");
    form.on_signalLineSectionGraphChanged(bad, line.times, line.positions, 0.0);
    QVERIFY(!lineCurvesValid);
    QCOMPARE(form.currentStationColumn(), 0);
    QCOMPARE(m_texts.size(), 1);
    QVERIFY(m_texts.first().startsWith(QStringLiteral("10号数据点")));

    form.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 0.0);
    QVERIFY(lineCurvesValid);
}

void TestForm1DGraph::sectionIsGatedByAbnormalChannels()
{
    Form_1DGraph form;
    Line line;
    Data_Mathematical_Calc calc;
    QList<DataType_ResultData> results;
    InvParam params;
    params.inversionDepth = 150.0;
    calc.pointInversion(line.matrix, line.times, line.positions, kCurrent, results, params);
    QList<DataType_ResultData> section =
        ModelFiles::buildSectionGrid(results, 150.0, 100.0, 0.3, GRID_FIXED, 5.0);
    QVERIFY(!section.isEmpty());

    QVector<QVector<double> > bad = line.matrix;
    bad[0][2] = std::numeric_limits<double>::infinity();
    form.on_signalLineSectionGraphChanged(bad, line.times, line.positions, 20.0);
    form.on_signalISOGraphChanged(params, section, {}, 150.0, {}, true);
    QVERIFY(!form.sectionPlot()->spectrogram());
    QCOMPARE(form.currentParams().inversionDepth, 100.0);

    form.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 20.0);
    form.on_signalISOGraphChanged(params, section, {}, 150.0, {}, false);
    QVERIFY(form.sectionPlot()->spectrogram());
    QCOMPARE(form.currentParams().inversionDepth, 150.0);
    QCOMPARE(form.sectionPlot()->marker()->xValue(), 20.0);
    // The new parameters set the depth axis of the next station.
    showStation(form, line.column(2), line.times);
    QCOMPARE(form.depthAxis()->min(), -150.0);
}

void TestForm1DGraph::saveWithoutEditWarns_data()
{
    QTest::addColumn<int>("lineGates");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("newStationAfterEdit");

    QTest::newRow("no edit yet") << 24 << false << false;
    QTest::newRow("edit belongs to the previous station") << 24 << true << true;
}

void TestForm1DGraph::saveWithoutEditWarns()
{
    QFETCH(int, lineGates);
    QFETCH(bool, edit);
    QFETCH(bool, newStationAfterEdit);

    Form_1DGraph form;
    Line line;
    const QVector<double> lineTimes = line.times.mid(0, lineGates);
    QVector<QVector<double> > matrix = line.matrix.mid(0, lineGates);
    form.on_signalLineSectionGraphChanged(matrix, lineTimes, line.positions, 10.0);
    showStation(form, line.column(1), line.times);
    if (edit)
        form.on_signalFittingMethodChanged(2);   // an edit without the mouse
    if (newStationAfterEdit)
        showStation(form, line.column(2), line.times);

    QSignalSpy saved(&form, &Form_1DGraph::signal_FileSavedtoDB);
    form.on_signalFileSaved();
    QCOMPARE(saved.count(), 0);
    QCOMPARE(m_titles, QStringList{QStringLiteral("保存警告")});
    QCOMPARE(m_texts, QStringList{QStringLiteral(
                          "当前数据点少于5个,不能进行反演，不进行数据保存操作")});
    QVERIFY(!form.sectionPlot()->spectrogram());
}

void TestForm1DGraph::saveTakesTheStationsOwnGates()
{
    // A neighbour with a shorter record leaves the line fewer gates than
    // the shown station has: 20 of 24, and gate 3 missing as well.
    Form_1DGraph form;
    Line line;
    QVector<double> lineTimes = line.times.mid(0, 20);
    QVector<QVector<double> > matrix = line.matrix.mid(0, 20);
    lineTimes.remove(3);
    matrix.remove(3);
    form.on_signalLineSectionGraphChanged(matrix, lineTimes, line.positions, 10.0);
    showStation(form, line.column(1), line.times);
    form.on_signalFittingMethodChanged(2);
    const QVector<double> edited = form.editedCurve();
    QCOMPARE(edited.size(), line.times.size());

    // The line's channel curves take the edit at the gates of the same time.
    const QVector<QVector<double> > m = form.lineMatrix();
    for (int g = 0; g < lineTimes.size(); ++g) {
        QCOMPARE(m[g][1], edited[line.times.indexOf(lineTimes[g])]);
        QCOMPARE(m[g][2], matrix[g][2]);
    }

    QSignalSpy saved(&form, &Form_1DGraph::signal_FileSavedtoDB);
    form.on_signalFileSaved();
    QVERIFY(m_texts.isEmpty());
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.first().at(0).value<QVector<double> >(), edited);
    QCOMPARE(saved.first().at(1).value<QVector<double> >(), line.times);
}

// Stations measured at other currents than the shown one give the section
// their curves would give at one common current.
void TestForm1DGraph::lineSectionTakesEachStationsCurrent()
{
    Line line;
    const QVector<double> currents{kCurrent, 2.0 * kCurrent, 0.5 * kCurrent, kCurrent, 4.0 * kCurrent};
    Line measured = line;
    for (QVector<double> &row : measured.matrix) {
        for (int s = 0; s < row.size(); ++s)
            row[s] *= currents[s] / kCurrent;
    }

    Form_1DGraph common;
    common.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 0.0);
    showStation(common, line.column(0), line.times);
    const QList<DataType_ResultData> expected = common.lineSection();

    Form_1DGraph mixed;
    mixed.on_signalLineCurrentsChanged(currents);
    mixed.on_signalLineSectionGraphChanged(measured.matrix, line.times, line.positions, 0.0);
    showStation(mixed, measured.column(0), line.times);
    const QList<DataType_ResultData> section = mixed.lineSection();

    QCOMPARE(section.size(), expected.size());
    for (int c = 0; c < section.size(); ++c) {
        QCOMPARE(section[c].depth, expected[c].depth);
        for (int k = 0; k < section[c].value.size(); ++k)
            QVERIFY2(std::fabs(section[c].value[k] - expected[c].value[k]) <= 1e-9 * std::fabs(expected[c].value[k]),
                     qPrintable(QString("column %1 level %2").arg(c).arg(k)));
    }

    // Currents that do not match the section's columns are not used.
    Form_1DGraph stale;
    stale.on_signalLineCurrentsChanged({kCurrent});
    stale.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 0.0);
    showStation(stale, line.column(0), line.times);
    const QList<DataType_ResultData> unchanged = stale.lineSection();
    QCOMPARE(unchanged.size(), expected.size());
    for (int c = 0; c < unchanged.size(); ++c)
        QCOMPARE(unchanged[c].value, expected[c].value);
}

void TestForm1DGraph::saveEmitsTheEditedCurveAndRedrawsTheSection()
{
    Form_1DGraph form;
    form.resize(1300, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Line line;
    form.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 30.0);
    showStation(form, line.column(3), line.times);
    form.on_signalEditCheckBoxStateChanged(true, true);
    QVERIFY(dragPoint(form, 12, line.column(3)[12] * 3.0));
    // A ramp chosen meanwhile is the one the redrawn section takes.
    form.on_signalColorMapChanged({{0.0f, Qt::blue}, {0.5f, Qt::green}, {1.0f, Qt::red}});

    QSignalSpy saved(&form, &Form_1DGraph::signal_FileSavedtoDB);
    form.on_signalFileSaved();
    QVERIFY(m_texts.isEmpty());
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.first().at(0).value<QVector<double> >(), form.editedCurve());
    QCOMPARE(saved.first().at(1).value<QVector<double> >(), line.times);
    QVERIFY(form.sectionPlot()->spectrogram());
    QCOMPARE(form.sectionPlot()->marker()->xValue(), 30.0);
    QCOMPARE(QColor(form.sectionPlot()->colorMap()->rgb(QwtInterval(0.0, 1.0), 0.5)), QColor(Qt::green));
}

void TestForm1DGraph::fitting_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("b-spline") << 0;
    QTest::newRow("gaussian") << 1;
    QTest::newRow("exponential") << 2;
    QTest::newRow("unknown method fits nothing") << 9;
}

void TestForm1DGraph::fitting()
{
    QFETCH(int, method);

    Form_1DGraph form;
    QSignalSpy enable(&form, &Form_1DGraph::signal_FiseSaveButtonEnalbe);
    form.on_signalFittingMethodChanged(method);   // no station yet: nothing
    QCOMPARE(enable.count(), 0);

    const QVector<double> times = gateTimes();
    QVector<double> values = layeredCurve(times, 30, 300);
    for (int i = 0; i < values.size(); i += 3)
        values[i] *= 1.3;   // noise for the fit to remove
    showStation(form, values, times);
    form.on_signalFittingMethodChanged(method);

    QVector<double> t = times;
    QVector<double> expected = values;
    if (method == 0)
        Data_Mathematical_Calc::bsplineFit(t, expected);
    else if (method == 1)
        Data_Mathematical_Calc::gaussianFit(t, expected);
    else if (method == 2)
        Data_Mathematical_Calc::exponentialFit(t, expected);
    QCOMPARE(ys(form.stationSeries()), expected);
    QCOMPARE(form.editedCurve(), expected);
    if (method <= 2)
        QVERIFY(expected != values);
    QCOMPARE(enable.count(), 1);
}

void TestForm1DGraph::gridAndContourSettings()
{
    Form_1DGraph form;
    form.on_signalContourMethod1D(2);
    QCOMPARE(form.sectionPlot()->contourMethod, 2);

    // Unusable grid settings give an empty section on saving: the plot is
    // given nothing to draw, and nothing breaks.
    Line line;
    form.on_signalCurrentGridSettingsChanged(GRID_FIXED, 0.0);
    form.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 0.0);
    showStation(form, line.column(0), line.times);
    form.on_signalFittingMethodChanged(2);
    QSignalSpy saved(&form, &Form_1DGraph::signal_FileSavedtoDB);
    form.on_signalFileSaved();
    QCOMPARE(saved.count(), 1);
}

void TestForm1DGraph::labelsReadableAtTheDefaultSize_data()
{
    QTest::addColumn<double>("rhoLo");
    QTest::addColumn<double>("rhoHi");
    QTest::addColumn<double>("depthMin");

    QTest::newRow("whole ohm-metres") << 10.0 << 1000.0 << -100.0;
    QTest::newRow("wide range") << 5.0 << 12345.0 << -1500.0;
    QTest::newRow("fractions") << 0.5 << 2.5 << -37.5;
}

// Texts of one chart's axis labels as drawn in its scene.
static QStringList drawnLabels(QtCharts::QChart *chart)
{
    QStringList texts;
    for (QGraphicsItem *item : chart->scene()->items()) {
        if (auto *text = dynamic_cast<QGraphicsTextItem *>(item)) {
            if (text->isVisible() && chart->isAncestorOf(text))
                texts << text->toPlainText();
        }
    }
    return texts;
}

void TestForm1DGraph::labelsReadableAtTheDefaultSize()
{
    QFETCH(double, rhoLo);
    QFETCH(double, rhoHi);
    QFETCH(double, depthMin);
    // The form's share of the main window at its first size on a 1600 x 1000
    // desktop, beside the project dock.
    Form_1DGraph form;
    form.resize(760, 490);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QVector<double> times = gateTimes();
    showStation(form, layeredCurve(times, 50, 200), times);
    form.setAxis2Range(depthMin, rhoHi, rhoLo, false);
    QTest::qWait(50);

    QStringList report;
    bool elided = false;
    for (QtCharts::QChart *chart : {static_cast<QtCharts::QChart *>(form.decayChart()), form.modelChart()}) {
        const QStringList labels = drawnLabels(chart);
        QVERIFY(labels.size() >= 4);
        for (const QString &label : labels)
            elided = elided || label.contains(QStringLiteral("...")) || label.contains(QChar(0x2026));
        report << chart->title() + ": " + labels.join(QStringLiteral(" | "));
    }
    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(form.grab().save(QDir(dir).filePath(QStringLiteral("hw_form1d_default_%1.png")
                                                        .arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_')))));
    QVERIFY2(!elided, qPrintable(report.join(QStringLiteral(" || "))));
}

void TestForm1DGraph::linePlotsFitTheForm_data()
{
    QTest::addColumn<QVector<QSize> >("sizes");

    // The form's share of main windows of 1066 x 666, 1400 x 900 and
    // 1600 x 1000 beside the project dock.
    const QSize small = kSmallForm, medium(1094, 707), large(1294, 807);
    QTest::newRow("small") << QVector<QSize>{small};
    QTest::newRow("medium") << QVector<QSize>{medium};
    QTest::newRow("large") << QVector<QSize>{large};
    QTest::newRow("large, small, large") << QVector<QSize>{large, small, large};
    QTest::newRow("small, large, medium") << QVector<QSize>{small, large, medium};
    QTest::newRow("tiny, large") << QVector<QSize>{QSize(300, 200), large};
    QTest::newRow("growing in steps")
        << QVector<QSize>{small, QSize(820, 510), QSize(900, 560), QSize(1000, 640), medium};
    QVector<QSize> shrinking;
    for (int width = medium.width(); width >= small.width(); width -= 7)
        shrinking << QSize(width, small.height());
    QTest::newRow("shrinking a few pixels at a time") << shrinking;
}

// Both plots of the line lie inside the form and their bottom axes run from
// the first to the last station, whatever sizes the form went through; the
// bottom labels stay apart from each other and on their plot.
void TestForm1DGraph::linePlotsFitTheForm()
{
    QFETCH(QVector<QSize>, sizes);
    const Line line(21, 20.0);   // stations 0 to 400
    InvParam params;
    params.inversionDepth = 150.0;
    Data_Mathematical_Calc calc;
    QList<DataType_ResultData> results;
    calc.pointInversion(line.matrix, line.times, line.positions, kCurrent, results, params);
    QList<DataType_ResultData> section =
        ModelFiles::buildSectionGrid(results, 150.0, 100.0, 0.3, GRID_FIXED, 5.0);

    Form_1DGraph form;
    form.resize(sizes.first());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.on_signalContourMethod1D(1);
    form.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 100.0);
    showStation(form, line.column(5), line.times);
    form.on_signalISOGraphChanged(params, section, params.topography, 150.0,
                                  Form_1DGraph::defaultColorRamp(), true);
    QVERIFY(m_texts.isEmpty());

    for (const QSize &size : sizes) {
        form.resize(size);
        QTest::qWait(20);
        // Nothing in the form may ask for more room than the smallest of
        // these windows gives it.
        if (size.width() >= kSmallForm.width() && size.height() >= kSmallForm.height())
            QCOMPARE(form.size(), size);
        const QRect visible = form.rect();
        for (Graph_IsoLine *plot : {form.channelPlot(), form.sectionPlot()}) {
            const QString where = QStringLiteral("%1 at %2 x %3").arg(plot->title().text())
                                      .arg(form.width()).arg(form.height());
            QWidget *canvas = plot->canvas();
            for (QWidget *part : {canvas, static_cast<QWidget *>(plot->axisWidget(QwtPlot::xBottom))}) {
                const QRect onForm(part->mapTo(&form, QPoint(0, 0)), part->size());
                QVERIFY2(visible.contains(onForm),
                         qPrintable(QStringLiteral("%1: %2 at %3,%4 %5 x %6 outside the form")
                                        .arg(where, QString::fromLatin1(part->metaObject()->className()))
                                        .arg(onForm.x()).arg(onForm.y())
                                        .arg(onForm.width()).arg(onForm.height())));
            }
            const QwtScaleDiv &div = plot->axisScaleDiv(QwtPlot::xBottom);
            QCOMPARE(div.lowerBound(), 0.0);
            QCOMPARE(div.upperBound(), 400.0);
            // The first and last station fall on the canvas, at its ends.
            const QwtScaleMap map = plot->canvasMap(QwtPlot::xBottom);
            const double first = map.transform(0.0);
            const double last = map.transform(400.0);
            QVERIFY2(first >= 0.0 && first <= 2.0 && last <= canvas->width() && last >= canvas->width() - 3.0,
                     qPrintable(QStringLiteral("%1: stations 0 to 400 at %2 to %3 on a canvas %4 wide")
                                    .arg(where).arg(first).arg(last).arg(canvas->width())));

            const QwtScaleWidget *axis = plot->axisWidget(QwtPlot::xBottom);
            const QwtScaleDraw *draw = axis->scaleDraw();
            const QPoint origin = axis->mapTo(plot, QPoint(0, 0));
            const int space = axis->fontMetrics().horizontalAdvance(QLatin1Char(' '));
            const QList<double> ticks = draw->scaleDiv().ticks(QwtScaleDiv::MajorTick);
            if (size.width() >= kSmallForm.width())
                QVERIFY2(ticks.size() >= 3, qPrintable(QStringLiteral("%1: %2 labels").arg(where).arg(ticks.size())));
            QRect previous;
            double previousTick = 0.0;
            for (double tick : ticks) {
                const QRect label = draw->boundingLabelRect(axis->font(), tick).translated(origin);
                QVERIFY2(plot->rect().contains(label),
                         qPrintable(QStringLiteral("%1: label %2 at %3 to %4 on a plot %5 wide")
                                        .arg(where).arg(tick).arg(label.left()).arg(label.right())
                                        .arg(plot->width())));
                if (!previous.isNull()) {
                    const int gap = label.left() - (previous.left() + previous.width());
                    QVERIFY2(gap >= space,
                             qPrintable(QStringLiteral("%1: %2 px between labels %3 and %4, a space is %5")
                                            .arg(where).arg(gap).arg(previousTick).arg(tick).arg(space)));
                }
                previous = label;
                previousTick = tick;
            }
        }
    }
}

// After a close the two station charts are as a new form's: not at the
// last station's scales.
void TestForm1DGraph::clearViewForgetsTheStationsScales()
{
    Form_1DGraph fresh;
    Form_1DGraph form;
    form.resize(900, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QVector<double> times = gateTimes();
    showStation(form, layeredCurve(times, 50, 200), times);
    form.setAxis2Range(-300.0, 400.0, 20.0, false);
    QVERIFY(form.modelSeries());
    form.clearView();

    const auto range = [](QtCharts::QAbstractAxis *axis) {
        if (auto *log = qobject_cast<QtCharts::QLogValueAxis *>(axis))
            return qMakePair(log->min(), log->max());
        auto *linear = qobject_cast<QtCharts::QValueAxis *>(axis);
        return qMakePair(linear->min(), linear->max());
    };
    QCOMPARE(range(form.timeAxis()), range(fresh.timeAxis()));
    QCOMPARE(range(form.valueAxis()), range(fresh.valueAxis()));
    QCOMPARE(range(form.resistivityAxis()), range(fresh.resistivityAxis()));
    QCOMPARE(range(form.depthAxis()), range(fresh.depthAxis()));
    QVERIFY(!form.stationSeries());
    QVERIFY(!form.modelSeries());
    QCOMPARE(form.decayChart()->title(), fresh.decayChart()->title());
}

void TestForm1DGraph::decayChartKeepsAUsableShare_data()
{
    QTest::addColumn<QSize>("size");
    // The form beside the project dock in windows at two thirds of a
    // 1066 x 666 screen and of a 1366 x 768 desktop's work area, and at the
    // first size on larger desktops.
    QTest::newRow("two thirds of 1066 x 666") << QSize(452, 242);
    QTest::newRow("two thirds of 1366 x 728") << QSize(605, 262);
    QTest::newRow("1066 x 666") << kSmallForm;
    QTest::newRow("low and wide") << QSize(900, 262);
    QTest::newRow("1600 x 1000") << QSize(1294, 807);
}

// The decay chart, the one the user edits, keeps a share of the form in
// which its title and labels read whole; the model chart's labels too, and
// the line's plots stay inside the form.
void TestForm1DGraph::decayChartKeepsAUsableShare()
{
    QFETCH(QSize, size);
    Form_1DGraph form;
    form.resize(size);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const Line line(21, 20.0);
    form.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 100.0);
    form.on_signalStationChanged(QStringLiteral("100线 20点"), line.column(5), line.times, kCurrent, kReference,
                                 kConstraint);
    QTest::qWait(50);
    QCOMPARE(form.size(), size);
    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(form.grab().save(QDir(dir).filePath(QStringLiteral("hw_form1d_share_%1x%2.png")
                                                        .arg(size.width()).arg(size.height()))));

    const int decay = form.decayView()->width();
    const QString where = QStringLiteral("decay chart %1 px, model chart %2 px, plots %3 px of %4")
                              .arg(decay).arg(form.modelChart()->size().width())
                              .arg(form.plotMatrix()->width()).arg(form.width());
    QVERIFY2(decay >= form.width() / 3, qPrintable(where));
    QVERIFY2(form.decayChart()->plotArea().width() >= 80, qPrintable(where));
    for (QtCharts::QChart *chart : {static_cast<QtCharts::QChart *>(form.decayChart()), form.modelChart()}) {
        const QStringList labels = drawnLabels(chart);
        QVERIFY2(labels.size() >= 4, qPrintable(where + ": " + labels.join(QStringLiteral(" | "))));
        for (const QString &label : labels)
            QVERIFY2(!label.contains(QStringLiteral("...")) && !label.contains(QChar(0x2026)),
                     qPrintable(where + ": " + labels.join(QStringLiteral(" | "))));
    }
    for (QWidget *part : {static_cast<QWidget *>(form.decayView()), static_cast<QWidget *>(form.plotMatrix()),
                          static_cast<QWidget *>(form.channelPlot()), static_cast<QWidget *>(form.sectionPlot())}) {
        const QRect onForm(part->mapTo(&form, QPoint(0, 0)), part->size());
        QVERIFY2(form.rect().contains(onForm), qPrintable(where));
    }
}

void TestForm1DGraph::renderScreenshot()
{
    Form_1DGraph form;
    form.resize(1400, 640);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    Line line;
    InvParam params;
    params.inversionDepth = 150.0;
    form.on_signalContourMethod1D(1);
    form.on_signalLineSectionGraphChanged(line.matrix, line.times, line.positions, 20.0);
    form.on_signalChartAxisScaleChanged(1e5, 50.0, 1e-2, 1e-9);
    showStation(form, line.column(2), line.times);
    form.on_signalShowLineChanged(line.column(1), line.times);

    Data_Mathematical_Calc calc;
    QList<DataType_ResultData> results;
    calc.pointInversion(line.matrix, line.times, line.positions, kCurrent, results, params);
    QList<DataType_ResultData> section =
        ModelFiles::buildSectionGrid(results, 150.0, 100.0, 0.3, GRID_FIXED, 5.0);
    form.on_signalISOGraphChanged(params, section, params.topography, 150.0,
                                  Form_1DGraph::defaultColorRamp(), true);
    showStation(form, line.column(2), line.times);   // depth axis from the section's params

    QTest::qWait(50);
    const QImage image = form.grab().toImage();
    QVERIFY(image.save(QStringLiteral("/tmp/hw_form1d.png")));
    QVERIFY(m_texts.isEmpty());
}

QTEST_MAIN(TestForm1DGraph)
#include "tst_form1dgraph.moc"
