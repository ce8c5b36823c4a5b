#include "common/TestHelpers.h"
#include "model/UserPrompt.h"
#include "views/Graph_IsoLine.h"
#include "views/Form_1DGraph.h"
#include "views/Graph_IsoLineData.h"
#include "views/PlotMatrix.h"
#include "views/QScaleDraw.h"
#include "SectionFixture.h"

#include <QtTest>

#include <qwt_color_map.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_raster_data.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_div.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>

#include <cmath>
#include <limits>

namespace {

DataType_ResultData column(double x, QVector<double> depths, QVector<double> values)
{
    DataType_ResultData c;
    c.x = x;
    c.depth = depths;
    c.value = values;
    return c;
}

} // namespace

// Channel curves with the abnormal-value check, and the section plot.
class TestGraphIsoLine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void channelCurves_data();
    void channelCurves();
    void channelAxes_data();
    void channelAxes();
    void channelLabelsDoNotRunTogether_data();
    void channelLabelsDoNotRunTogether();
    void defaultRampStops();
    void rampStops();
    void sectionAxes_data();
    void sectionAxes();
    void depthLabelsDoNotRunTogether_data();
    void depthLabelsDoNotRunTogether();
    void emptyPlotLabelsDoNotRunTogether();
    void badColumnsAndTwinsRemoved();
    void detachAndMarkers();
    void lowValuesKeepTheNoValueMarkerBlank();
    void coloursSpanTheRealValues_data();
    void coloursSpanTheRealValues();
    void renderSection();

private:
    QStringList m_messages;
};

void TestGraphIsoLine::init()
{
    m_messages.clear();
    UserPrompt::setTitledMessageAnswerer([this](const QString &title, const QString &text) {
        m_messages << title + "|" + text;
    });
}

void TestGraphIsoLine::cleanup()
{
    UserPrompt::setTitledMessageAnswerer(UserPrompt::TitledMessageAnswerer());
}

void TestGraphIsoLine::channelCurves_data()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double sub = std::numeric_limits<double>::denorm_min();
    QTest::addColumn<QVector<QVector<double> > >("channels");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("stations");

    const QVector<double> clean{1e-3, 2e-3, 3e-3, 4e-3, 5e-3};
    QTest::newRow("clean") << QVector<QVector<double> >{clean, clean} << true << QStringList();
    QTest::newRow("NaN at 3 in two channels")
        << QVector<QVector<double> >{{1e-3, 1e-3, 1e-3, nan, 1e-3}, {1e-4, 1e-4, 1e-4, nan, 1e-4}, clean}
        << false << QStringList{"250.2"};
    QTest::newRow("inf, subnormal, NaN, sorted")
        << QVector<QVector<double> >{{1e-3, 1e-3, 1e-3, 1e-3, sub}, {nan, inf, 1e-3, 1e-3, 1e-3}}
        << false << QStringList{"100.7", "150", "300"};
    QTest::newRow("no channels") << QVector<QVector<double> >() << true << QStringList();
}

void TestGraphIsoLine::channelCurves()
{
    QFETCH(QVector<QVector<double> >, channels);
    QFETCH(bool, ok);
    QFETCH(QStringList, stations);

    Graph_IsoLine plot;
    const QVector<double> x{100.7, 150, 200.5, 250.2, 300};
    QCOMPARE(plot.drawChannelCurves(channels, x), ok);

    QStringList expected;
    for (const QString &s : stations)
        expected << QString("提示|%1号数据点存在异常数据值，需要调整该点数据").arg(s);
    QCOMPARE(m_messages, expected);
    // The curves are drawn either way, and a redraw replaces them.
    QCOMPARE(plot.curves().size(), channels.size());
    plot.drawChannelCurves(channels, x);
    QCOMPARE(plot.curves().size(), channels.size());
    QCOMPARE(plot.itemList(QwtPlotItem::Rtti_PlotCurve).size(), channels.size());
}

void TestGraphIsoLine::channelAxes_data()
{
    QTest::addColumn<QVector<QVector<double> > >("channels");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::newRow("conductive") << QVector<QVector<double> >{{1e-3, 2e-3}, {1e-4, 2e-4}, {1e-5, 2e-5}}
                                << 1e-5 << 1e-2;
    // The late channels of a resistive line lie far below 1e-9.
    QTest::newRow("resistive") << QVector<QVector<double> >{{3e-6, 5e-6}, {4e-9, 6e-9}, {2e-12, 7e-12}}
                               << 1e-12 << 1e-5;
    QTest::newRow("strong early channel") << QVector<QVector<double> >{{0.5, 2.0}, {1e-4, 2e-4}}
                                          << 1e-4 << 10.0;
    QTest::newRow("within one decade") << QVector<QVector<double> >{{2e-6, 3e-6}, {4e-6, 5e-6}}
                                       << 1e-6 << 1e-5;
    // Nothing a log axis can place (zeros, negative values): the usual span.
    QTest::newRow("nothing positive") << QVector<QVector<double> >{{0.0, -1e-4}} << 1e-9 << 0.1;
}

// The channel axis takes in every channel drawn, in whole decades.
void TestGraphIsoLine::channelAxes()
{
    QFETCH(QVector<QVector<double> >, channels);
    QFETCH(double, lower);
    QFETCH(double, upper);
    Graph_IsoLine plot;
    plot.drawChannelCurves(channels, {100.7, 250.2});
    QCOMPARE(plot.axisScaleDiv(QwtPlot::xBottom).lowerBound(), 100.0);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::xBottom).upperBound(), 250.0);
    HW_COMPARE_NEAR(plot.axisScaleDiv(QwtPlot::yLeft).lowerBound(), lower, 1e-12);
    HW_COMPARE_NEAR(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), upper, 1e-12);
    const QList<double> ticks = plot.axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick);
    QVERIFY(!ticks.isEmpty());
    HW_COMPARE_NEAR(ticks.first(), lower, 1e-12);
    HW_COMPARE_NEAR(ticks.last(), upper, 1e-12);
    QVERIFY(dynamic_cast<QScaleDraw *>(plot.axisScaleDraw(QwtPlot::yLeft)));
    QCOMPARE(plot.title().text(), QString("多测道曲线图"));
    // Channel colours run from dark blue (first) towards red (last).
    QCOMPARE(plot.curves().first()->pen().color(), QColor(Qt::darkBlue));
    if (channels.size() > 2)
        QVERIFY(plot.curves()[1]->pen().color() != plot.curves()[2]->pen().color());
}

void TestGraphIsoLine::channelLabelsDoNotRunTogether_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("everyDecade");
    QTest::newRow("row at the default window") << 150 << false;
    QTest::newRow("very low") << 90 << false;
    QTest::newRow("tall") << 700 << true;
}

// However low the plot, the decade labels of the channel axis keep a
// label's height apart, and the two ends are labelled.
void TestGraphIsoLine::channelLabelsDoNotRunTogether()
{
    QFETCH(int, height);
    QFETCH(bool, everyDecade);
    Graph_IsoLine plot;
    plot.resize(700, height);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    QVERIFY(plot.drawChannelCurves({{0.05, 0.1}, {1e-4, 2e-4}, {1e-9, 2e-9}}, {0, 400}));
    QCoreApplication::processEvents();
    // The next station's drawing keeps the axis.
    QVERIFY(plot.drawChannelCurves({{0.05, 0.1}, {1e-4, 2e-4}, {1e-9, 2e-9}}, {0, 400}));
    QCoreApplication::processEvents();

    const QwtScaleDiv div = plot.axisScaleDiv(QwtPlot::yLeft);
    QCOMPARE(div.lowerBound(), 1e-9);
    QCOMPARE(div.upperBound(), 0.1);
    const QList<double> ticks = div.ticks(QwtScaleDiv::MajorTick);
    QVERIFY(ticks.contains(1e-9) || std::fabs(ticks.first() - 1e-9) < 1e-21);
    QVERIFY(std::fabs(ticks.last() - 0.1) < 1e-12);
    QCOMPARE(ticks.size() == 9, everyDecade);

    const QwtScaleMap map = plot.canvasMap(QwtPlot::yLeft);
    const int labelHeight = plot.axisWidget(QwtPlot::yLeft)->fontMetrics().height();
    for (int i = 1; i < ticks.size(); ++i) {
        const double gap = std::fabs(map.transform(ticks[i]) - map.transform(ticks[i - 1]));
        QVERIFY2(gap >= labelHeight, qPrintable(QStringLiteral("%1 px between %2 and %3, labels %4 px high")
                                                     .arg(gap).arg(ticks[i - 1]).arg(ticks[i]).arg(labelHeight)));
    }

    // Growing the plot brings the decades back.
    plot.resize(700, 900);
    QCoreApplication::processEvents();
    QTRY_COMPARE(plot.axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick).size(), 9);
}

void TestGraphIsoLine::defaultRampStops()
{
    Graph_IsoLine plot;
    QList<DataType_ResultData> cols = sectionfixture::section();
    QVERIFY(cols.size() > 2);
    plot.setSectionData(cols, sectionfixture::topography(), 150.0, QMap<float, QColor>(), 1);
    QVERIFY(plot.colorMap());
    const QVector<double> stops = plot.colorMap()->colorStops();
    // The seven default stops on top of the map's own ends (0 white, 1 magenta;
    // the red stop is added after the magenta one at 1.0 and wins there).
    QCOMPARE(stops, (QVector<double>{0.0, double(1e-18f), double(0.05f), double(0.1f), double(0.2f),
                                     double(0.4f), double(0.6f), 1.0, 1.0}));
    // The real colours span the range: the blank stop is left out and
    // blue (0.05) stands at its bottom.
    const QwtInterval range(10.0, 20.0);
    QCOMPARE(QColor(plot.colorMap()->rgb(range, 10.0)), QColor(0, 0, 255));
    QCOMPARE(QColor(plot.colorMap()->rgb(range, 10.0 + 10.0 * (0.2f - 0.05f) / (1.0f - 0.05f))),
             QColor(0, 255, 0));
    QCOMPARE(QColor(plot.colorMap()->rgb(range, 20.0)), QColor(255, 0, 0));
    QCOMPARE(plot.title().text(), QString("电阻率反演剖面图"));
}

void TestGraphIsoLine::rampStops()
{
    Graph_IsoLine plot;
    // Without a section there is nothing to recolour.
    plot.setColorMap({{0.5f, Qt::green}});
    QVERIFY(!plot.colorMap());

    QList<DataType_ResultData> cols = sectionfixture::section();
    plot.setSectionData(cols, sectionfixture::topography(), 150.0, {{0.5f, Qt::green}}, 1);
    QCOMPARE(plot.colorMap()->colorStops(), (QVector<double>{0.0, 0.5, 1.0}));
    const QwtInterval unit(0.0, 1.0);
    // Past the ramp's last stop its own colour, as on the section map.
    QCOMPARE(QColor(plot.colorMap()->rgb(unit, 1.0)), QColor(Qt::green));
    QCOMPARE(QColor(plot.colorMap()->rgb(unit, 0.2)), QColor(Qt::green));
    plot.setColorMap({{0.3f, Qt::blue}, {0.7f, Qt::red}});
    QCOMPARE(plot.colorMap()->colorStops().size(), 4);
    // A ramp that ends at 1.0 blends into its own top colour, not magenta.
    plot.setColorMap({{0.0f, Qt::blue}, {0.5f, Qt::green}, {1.0f, Qt::red}});
    const QColor high(plot.colorMap()->rgb(unit, 0.9));
    QCOMPARE(high.blue(), 0);
    QVERIFY(high.red() > 150 && high.green() > 0);
    QCOMPARE(plot.spectrogram()->colorMap(), static_cast<const QwtColorMap *>(plot.colorMap()));
}

void TestGraphIsoLine::sectionAxes_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<double>("lower");
    QTest::newRow("method 1") << 1 << -110.0;
    QTest::newRow("method 2") << 2 << -120.0;
}

void TestGraphIsoLine::sectionAxes()
{
    QFETCH(int, method);
    QFETCH(double, lower);

    QVector<double> levels;
    QVector<double> values;
    for (double l = 35; l >= -120; l -= 5) {
        levels << l;
        values << 100 - l;
    }
    QList<DataType_ResultData> cols{column(0, levels, values), column(50, levels, values),
                                    column(100, levels, values)};
    Graph_IsoLine plot;
    plot.contourMethod = method;
    plot.setSectionData(cols, QVector<TopoData>{{0, 35}, {50, 35}, {100, 35}}, 100.0,
                        sectionfixture::ramp(), 1);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).lowerBound(), lower);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), 35.0);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::xBottom).lowerBound(), 0.0);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::xBottom).upperBound(), 100.0);
}

void TestGraphIsoLine::depthLabelsDoNotRunTogether_data()
{
    QTest::addColumn<int>("height");
    QTest::newRow("section row of a 1366 x 768 desktop's window") << 170;
    QTest::newRow("very low") << 100;
    QTest::newRow("tall") << 700;
}

// Ground at 1200 m: the depth labels (1,100 to 1,200) keep a label's height
// apart however low the plot, and the ends of the scale stay labelled.
void TestGraphIsoLine::depthLabelsDoNotRunTogether()
{
    QFETCH(int, height);
    QVector<double> levels;
    QVector<double> values;
    for (double l = 1200; l >= 1100; l -= 5) {
        levels << l;
        values << 1300 - l;
    }
    QList<DataType_ResultData> cols{column(0, levels, values), column(200, levels, values),
                                    column(400, levels, values)};
    Graph_IsoLine plot;
    plot.resize(600, height);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.contourMethod = 2;
    plot.setSectionData(cols, QVector<TopoData>{{0, 1200}, {200, 1200}, {400, 1200}}, 100.0,
                        sectionfixture::ramp(), 1);
    plot.replot();
    QCoreApplication::processEvents();

    auto check = [&plot]() {
        const QwtScaleDiv div = plot.axisScaleDiv(QwtPlot::yLeft);
        const QList<double> ticks = div.ticks(QwtScaleDiv::MajorTick);
        QVERIFY(ticks.size() >= 2);
        const QwtScaleMap map = plot.canvasMap(QwtPlot::yLeft);
        const int labelHeight = plot.axisWidget(QwtPlot::yLeft)->fontMetrics().height();
        for (int i = 1; i < ticks.size(); ++i) {
            const double gap = std::fabs(map.transform(ticks[i]) - map.transform(ticks[i - 1]));
            QVERIFY2(gap >= labelHeight,
                     qPrintable(QStringLiteral("%1 px between %2 and %3, labels %4 px high on a canvas %5 high")
                                    .arg(gap).arg(ticks[i - 1]).arg(ticks[i]).arg(labelHeight)
                                    .arg(plot.canvas()->height())));
        }
    };
    check();
    if (QTest::currentTestFailed())
        return;
    // The scale itself is the section's.
    QCOMPARE(std::min(plot.axisScaleDiv(QwtPlot::yLeft).lowerBound(), plot.axisScaleDiv(QwtPlot::yLeft).upperBound()),
             1100.0);

    // Growing the plot brings the finer steps back.
    plot.resize(600, 900);
    QCoreApplication::processEvents();
    check();
    QVERIFY(plot.axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick).size() >= 6);
}

// The plots of a view with nothing shown yet keep their labels apart too.
void TestGraphIsoLine::emptyPlotLabelsDoNotRunTogether()
{
    Graph_IsoLine plot;
    plot.resize(150, 230);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.replot();
    QCoreApplication::processEvents();

    const QwtScaleWidget *widget = plot.axisWidget(QwtPlot::xBottom);
    const QList<double> ticks = plot.axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick);
    QVERIFY(ticks.size() >= 2);
    const QwtScaleMap map = plot.canvasMap(QwtPlot::xBottom);
    for (int i = 1; i < ticks.size(); ++i) {
        const double gap = std::fabs(map.transform(ticks[i]) - map.transform(ticks[i - 1]));
        const double needed = (widget->scaleDraw()->labelSize(widget->font(), ticks[i]).width()
                               + widget->scaleDraw()->labelSize(widget->font(), ticks[i - 1]).width()) / 2.0;
        QVERIFY2(gap > needed, qPrintable(QStringLiteral("%1 px between %2 and %3, %4 needed")
                                              .arg(gap).arg(ticks[i - 1]).arg(ticks[i]).arg(needed)));
    }
}

void TestGraphIsoLine::badColumnsAndTwinsRemoved()
{
    QList<DataType_ResultData> cols{column(0, {0, -10, -20}, {10, 20, 30}),
                                    column(10, {0, -5, -5, -10}, {1, 2, 3, 4}),
                                    column(10, {0, -10, -20}, {5, 5, 5}),
                                    column(20, {0, -10, -20}, {50, 60, 70})};
    Graph_IsoLineData data;
    data.prepareColumns(cols, QVector<TopoData>(), 100.0);
    QCOMPARE(data.columns().size(), 2);
    QCOMPARE(data.columns()[1].x, 20.0);
    HW_COMPARE_NEAR(data.value(10, -10), 40.0, 1e-9);   // blends 0 and 20 only
    QCOMPARE(cols.size(), 4);                            // caller's list untouched
}

void TestGraphIsoLine::detachAndMarkers()
{
    Graph_IsoLine plot;
    plot.setMarkerX(5.0);   // before attachMarkers: nothing to move
    plot.drawChannelCurves({{1e-3, 2e-3}}, {0, 10});
    QList<DataType_ResultData> cols = sectionfixture::section();
    plot.setSectionData(cols, sectionfixture::topography(), 150.0, sectionfixture::ramp(), 1);
    plot.attachMarkers();
    plot.setMarkerX(120.0);
    QCOMPARE(plot.marker()->xValue(), 120.0);
    QCOMPARE(plot.marker()->lineStyle(), QwtPlotMarker::VLine);
    QCOMPARE(plot.marker()->linePen().style(), Qt::DotLine);

    plot.detachCurves();
    QVERIFY(plot.curves().isEmpty());
    QVERIFY(!plot.spectrogram());
    QVERIFY(plot.itemList(QwtPlotItem::Rtti_PlotSpectrogram).isEmpty());
    QCOMPARE(plot.itemList(QwtPlotItem::Rtti_PlotMarker).size(), 1);
}

void TestGraphIsoLine::lowValuesKeepTheNoValueMarkerBlank()
{
    // Conductive values below 1: the no-value level (smallest value - 1)
    // falls below 1e-18, which would then land inside the ramp.
    const QVector<double> depths{0, -10, -20, -30, -40, -50, -60, -70, -80, -90, -100};
    const QVector<double> values{85, 85, 85, 85, 85, 40, 10, 2, 0.5, 0.5, 0.5};
    QList<DataType_ResultData> cols;
    for (double x : {0.0, 100.0, 200.0}) {
        DataType_ResultData c;
        c.x = x;
        c.depth = depths;
        c.value = values;
        cols << c;
    }
    Graph_IsoLine plot;
    plot.resize(600, 400);
    plot.setSectionData(cols, {{0, -20}, {100, 0}, {200, -20}}, 100.0, Form_1DGraph::defaultColorRamp(), 1);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.replot();

    const QwtInterval z = plot.spectrogram()->data()->interval(Qt::ZAxis);
    QCOMPARE(z.minValue(), 0.5);
    QCOMPARE(QColor(plot.colorMap()->rgb(z, 1e-18)), QColor(Qt::white));
    // The smallest value in the ramp's first real colour.
    QCOMPARE(QColor(plot.colorMap()->rgb(z, 0.5)), QColor(0, 0, 255));
    // Past either end of the data: the ramp's end colours.
    QCOMPARE(plot.colorMap()->rgb(z, z.maxValue() * 1.05), plot.colorMap()->rgb(z, z.maxValue()));
    QCOMPARE(QColor(plot.colorMap()->rgb(z, z.maxValue())), QColor(128, 0, 0));

    // On screen: above the ground at the line's ends, blank.
    const QImage canvas = plot.canvas()->grab().toImage();
    const int cx = qRound(plot.transform(QwtPlot::xBottom, 10.0));
    const int cy = qRound(plot.transform(QwtPlot::yLeft, -5.0));
    QVERIFY(canvas.rect().contains(cx, cy));
    QCOMPARE(canvas.pixelColor(cx, cy), QColor(Qt::white));
}

using Ramp = QMap<float, QColor>;

void TestGraphIsoLine::coloursSpanTheRealValues_data()
{
    QTest::addColumn<Ramp>("ramp");
    QTest::addColumn<QColor>("smallest");
    QTest::addColumn<QColor>("largest");
    QTest::newRow("default ramp") << Form_1DGraph::defaultColorRamp() << QColor(0, 0, 255) << QColor(128, 0, 0);
    // Laid by the colour dialog over a range typed twice as wide as the
    // data's: the largest value takes the middle colour.
    QTest::newRow("typed range beyond the data")
        << Ramp{{0.0f, Qt::blue}, {1.0f, Qt::green}, {2.0f, Qt::red}} << QColor(Qt::blue)
        << QColor(Qt::green);
}

// A conductive section (1.0 to 1.45 ohm-m) under falling ground, blank above
// the lower stations: the colours run over the real values, the smallest
// drawn in the ramp's first colour, nothing drawn above the ground.
void TestGraphIsoLine::coloursSpanTheRealValues()
{
    QFETCH(Ramp, ramp);
    QFETCH(QColor, smallest);
    QFETCH(QColor, largest);
    const double blank = 1e-18;
    const QVector<double> levels{20, 10, 0, -20, -40, -60, -80, -100};
    QList<DataType_ResultData> cols;
    const QVector<QVector<double> > values{{1.0, 1.0, 1.0, 1.05, 1.1, 1.2, 1.3, 1.45},
                                          {blank, 1.0, 1.0, 1.05, 1.1, 1.2, 1.3, 1.45},
                                          {blank, blank, 1.0, 1.05, 1.1, 1.2, 1.3, 1.45}};
    for (int i = 0; i < 3; ++i) {
        DataType_ResultData c;
        c.x = 100.0 * i;
        c.depth = levels;
        c.value = values[i];
        cols << c;
    }
    Graph_IsoLine plot;
    plot.resize(600, 400);
    plot.setSectionData(cols, {{0, 20}, {100, 10}, {200, 0}}, 120.0, ramp, 1);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.replot();

    const QwtInterval z = plot.spectrogram()->data()->interval(Qt::ZAxis);
    QCOMPARE(z.minValue(), 1.0);
    QCOMPARE(z.maxValue(), 1.45);
    QCOMPARE(QColor(plot.colorMap()->rgb(z, 1.0)), smallest);
    QCOMPARE(QColor(plot.colorMap()->rgb(z, 1.45)), largest);

    // On screen: the smallest cells (top of the first station) in the first
    // colour, white above the ground between the stations.
    const QImage canvas = plot.canvas()->grab().toImage();
    auto pixel = [&](double x, double y) {
        return canvas.pixelColor(qRound(plot.transform(QwtPlot::xBottom, x)),
                                 qRound(plot.transform(QwtPlot::yLeft, y)));
    };
    const QColor top = pixel(2, 15);
    QVERIFY2(std::abs(top.red() - smallest.red()) <= 12 && std::abs(top.green() - smallest.green()) <= 12
                 && std::abs(top.blue() - smallest.blue()) <= 12,
             qPrintable(top.name()));
    for (double x : {50.0, 120.0, 150.0, 190.0})
        QCOMPARE(pixel(x, 20 - 0.1 * x + 2.0), QColor(Qt::white));
}

void TestGraphIsoLine::renderSection()
{
    PlotMatrix matrix(2, 1);
    Graph_IsoLine *channels = new Graph_IsoLine(&matrix);
    Graph_IsoLine *section = new Graph_IsoLine();
    matrix.setPlotAt(channels, 0, 0);
    matrix.setPlotAt(section, 1, 0);
    matrix.setRowHeightRatio(0, 0.35f);
    matrix.resize(900, 640);
    matrix.show();

    QVector<QVector<double> > curves;
    QVector<double> x;
    for (int i = 0; i <= 20; ++i)
        x << 20.0 * i;
    for (int g = 0; g < 25; ++g) {
        QVector<double> ch;
        for (int i = 0; i <= 20; ++i)
            ch << 0.05 * std::pow(10.0, -0.3 * g) * (1.0 + 0.3 * std::sin(i / 3.0 + g / 5.0));
        curves << ch;
    }
    QVERIFY(channels->drawChannelCurves(curves, x));
    section->attachMarkers();
    section->contourMethod = 1;
    QList<DataType_ResultData> cols = sectionfixture::section();
    section->setSectionData(cols, sectionfixture::topography(), 150.0, sectionfixture::ramp(), 1);
    section->setMarkerX(200.0);
    matrix.updateLayout();
    QCoreApplication::processEvents();

    const QImage img = matrix.grab().toImage();
    QVERIFY(img.save("/tmp/hw_section.png"));

    // The section shows colours of the ramp, and white above the ground.
    const QImage canvas = section->canvas()->grab().toImage();
    int coloured = 0;
    for (int y = 0; y < canvas.height(); y += 4)
        for (int xx = 0; xx < canvas.width(); xx += 4) {
            const QColor c = canvas.pixelColor(xx, y);
            if (c.saturation() > 100)
                ++coloured;
        }
    QVERIFY2(coloured > 100, qPrintable(QString::number(coloured)));
    // Above the ground near the end of the line: the colour of 1e-18.
    const QwtInterval z = section->spectrogram()->data()->interval(Qt::ZAxis);
    QCOMPARE(canvas.pixelColor(canvas.width() * 9 / 10, 10),
             QColor(section->colorMap()->rgb(z, 1e-18)));
}

QTEST_MAIN(TestGraphIsoLine)
#include "tst_graph_isoline.moc"
