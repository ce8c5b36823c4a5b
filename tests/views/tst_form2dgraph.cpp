#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QAction>
#include <QTabBar>
#include <QTabWidget>
#include <QTextStream>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <qwt_plot_curve.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_color_map.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>
#include <qwt_text_label.h>
#include <qwt_symbol.h>

#include <cmath>
#include <limits>
#include <memory>

#include "gridding/Dialog_InvProgressBar.h"
#include "model/DataModel.h"
#include "model/ModelFiles.h"
#include <QLabel>

#include "model/SharedTypes.h"
#include "model/UserPrompt.h"
#include "store/LibHORM.h"
#include "tools/projectgen/ProjectGenerator.h"
#include "views/Form_2DGraph.h"
#include "views/Graph_IsoLine.h"
#include "views/KXSpectrogramMap.h"
#include "views/KX_VolScheme2.h"
#include "views/LineCurvesValid.h"
#include "views/ModelerWidget.h"
#include "views/PlotMatrix.h"
#include "views/QLinearColorMap.h"

namespace {

// Answers whatever modal window turns up while a slot runs: presses the
// gridding dialog's start button and closes message boxes, noting their texts.
class ModalAnswerer : public QObject
{
public:
    ModalAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, [this]() { poll(); });
        m_timer.start(20);
        UserPrompt::setMessageAnswerer([this](const QString& text) { texts << text; });
        UserPrompt::setTitledMessageAnswerer(
            [this](const QString&, const QString& text) { texts << text; });
    }
    ~ModalAnswerer() override
    {
        UserPrompt::setMessageAnswerer(UserPrompt::MessageAnswerer());
        UserPrompt::setTitledMessageAnswerer(UserPrompt::TitledMessageAnswerer());
    }

    QStringList texts;
    int starts = 0;

private:
    void poll()
    {
        const QWidgetList widgets = QApplication::topLevelWidgets();
        for (QWidget* w : widgets) {
            if (!w->isVisible())
                continue;
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            } else if (auto* dialog = qobject_cast<Dialog_InvProgressBar*>(w)) {
                auto* start = dialog->findChild<QPushButton*>("pushButton_Start");
                if (start && start->isEnabled() && !dialog->isRunning()) {
                    ++starts;
                    start->click();
                }
            }
        }
    }

    QTimer m_timer;
};

double surfaceAt(double x) { return 10.3 + 5.0 * std::sin(x / 40.0); }

// Per-station results as the point inversion gives them: elevations from
// the surface down, with a conductive body in the middle of the line.
QList<DataType_ResultData> stationResults(int stations, double spacing)
{
    QList<DataType_ResultData> out;
    for (int i = 0; i < stations; ++i) {
        DataType_ResultData r;
        r.x = i * spacing;
        const double top = surfaceAt(r.x);
        for (int k = 0; k <= 15; ++k) {
            const double z = top - 10.0 * k;
            r.depth << z;
            const double body = std::exp(-std::pow((r.x - 100.0) / 40.0, 2) - std::pow((z + 60.0) / 30.0, 2));
            r.value << 200.0 - 180.0 * body;
        }
        out << r;
    }
    return out;
}

QVector<TopoData> topographyOf(const QList<DataType_ResultData>& results)
{
    QVector<TopoData> topo;
    for (const DataType_ResultData& r : results) {
        TopoData t;
        t.position = r.x;
        t.elevation = surfaceAt(r.x);
        topo << t;
    }
    return topo;
}

QList<DataType_ResultData> section(int stations = 21, double spacing = 10.0)
{
    return ModelFiles::buildSectionGrid(stationResults(stations, spacing), 100.0, 100.0, 0.3,
                                        GRID_FIXED, 5.0);
}

QVector<QVector<double> > channels(int stations, int gates = 8)
{
    QVector<QVector<double> > c(gates);
    for (int g = 0; g < gates; ++g)
        for (int s = 0; s < stations; ++s)
            c[g] << 1e-3 * std::exp(-0.6 * g) * (1.0 + 0.1 * std::sin(s / 3.0));
    return c;
}

QVector<double> positions(int stations, double spacing = 10.0)
{
    QVector<double> x;
    for (int i = 0; i < stations; ++i)
        x << i * spacing;
    return x;
}

QMap<float, QColor> ramp()
{
    return {{0.0f, QColor(0, 0, 255)},   {0.25f, QColor(0, 255, 255)}, {0.5f, QColor(0, 255, 0)},
            {0.75f, QColor(255, 255, 0)}, {1.0f, QColor(255, 0, 0)}};
}

// Pixels of exactly this colour.
int colourCount(const QImage& image, const QColor& colour)
{
    const QRgb rgb = colour.rgb();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == rgb ? 1 : 0;
    return n;
}

// The smallest rectangle that holds every pixel that is not white.
QRect drawnArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                area |= QRect(x, y, 1, 1);
    return area;
}

// Mesh curves sorted by kind.
struct MeshParts {
    QList<QwtPlotCurve*> vertical;
    QList<QwtPlotCurve*> horizontal;
    QList<QwtPlotCurve*> marks;
};

MeshParts meshParts(const Form_2DGraph& form)
{
    MeshParts parts;
    for (QwtPlotCurve* c : form.meshCurves()) {
        if (c->style() == QwtPlotCurve::NoCurve)
            parts.marks << c;
        else if (c->dataSize() == 2 && c->sample(0).x() != c->sample(1).x())
            parts.horizontal << c;
        else if (c->dataSize() == 2 && c->sample(0).y() != c->sample(1).y())
            parts.vertical << c;
    }
    return parts;
}

InvParam flatParams(int stations, double elevation, double depth)
{
    InvParam p;
    p.inversionDepth = depth;
    for (int i = 0; i < stations; ++i) {
        TopoData t;
        t.position = i * 10.0;
        t.elevation = elevation;
        p.topography << t;
    }
    return p;
}

} // namespace

class TestForm2DGraph : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void pagesAndPlots();
    void sectionIsGriddedAndDrawn();
    void progressPanelStandsOverTheMapPage();
    void abnormalChannelsFreezeSections();
    void sectionClearedEmptiesTheViews();
    void mapFillsItsPageAfterClose_data();
    void mapFillsItsPageAfterClose();
    void sectionTitleKeepsClearOfTheChannelAxis_data();
    void sectionTitleKeepsClearOfTheChannelAxis();
    void pointDataFillsMissingTopography();
    void meshLayerLines_data();
    void meshLayerLines();
    void meshStationsAndMarks_data();
    void meshStationsAndMarks();
    void meshClearedOnlyByMethodOne();
    void colourAndMethodReachBothRenderers();
    void modelImportsAddTabs();
    void savePictureWritesImage();
    void sectionPictureForPrint();
    void sectionPictureInCurrentColours();
    void controllerDrivesForm();
    void renderScreenshot();

private:
    QTemporaryDir m_dir;
};

void TestForm2DGraph::initTestCase()
{
    registerSharedTypes();
    QVERIFY(m_dir.isValid());
    // The gridding writes out.grd and the map contour.png in the working directory.
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestForm2DGraph::init()
{
    lineCurvesValid = true;
    QFile::remove("out.grd");
}

void TestForm2DGraph::pagesAndPlots()
{
    Form_2DGraph form;
    QTabWidget* tabs = form.tabWidget();
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QString("剖面图与反演图"));
    QCOMPARE(tabs->tabText(1), QString("二维反演图"));
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(tabs->tabsClosable());
    QCOMPARE(form.plotMatrix()->plotAt(0, 0), form.channelPlot());
    QCOMPARE(form.plotMatrix()->plotAt(1, 0), form.sectionPlot());
    QVERIFY(form.sectionMap()->parentWidget() == tabs->widget(1));
    QVERIFY(!form.sectionMap()->isDataReady());
    // Fit to window has no contour-map widget to act on.
    form.fitToWindow();
}

void TestForm2DGraph::sectionIsGriddedAndDrawn()
{
    Form_2DGraph form;
    form.resize(872, 667);
    ModalAnswerer answerer;
    form.on_signal2DLineSectionGraphChanged(channels(21), {}, positions(21));
    QVERIFY(lineCurvesValid);
    QCOMPARE(form.channelPlot()->curves().size(), 8);

    QList<DataType_ResultData> grid = section();
    form.on_signalContourMethod2D(1);
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 1, true);

    // The slot returns only after the dialog ran the gridding and closed.
    QCOMPARE(answerer.starts, 1);
    QVERIFY(answerer.texts.contains("反演完成"));
    Dialog_InvProgressBar* dialog = form.progressDialog();
    QVERIFY(dialog);
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->isRunning());
    QVERIFY(!dialog->resultPoints().isEmpty());
    QFile grd("out.grd");
    QVERIFY(grd.open(QIODevice::ReadOnly));
    QCOMPARE(grd.readLine().trimmed(), QByteArray("DSAA"));

    QwtPlotSpectrogram* spectrogram = form.sectionPlot()->spectrogram();
    QVERIFY(spectrogram);
    QCOMPARE(spectrogram->plot(), static_cast<QwtPlot*>(form.sectionPlot()));
    const QwtScaleDiv bottom = form.sectionPlot()->axisScaleDiv(QwtPlot::xBottom);
    QCOMPARE(bottom.lowerBound(), 0.0);
    QCOMPARE(bottom.upperBound(), 200.0);

    // A second section runs a new dialog, and the first one is gone.
    QPointer<Dialog_InvProgressBar> first = dialog;
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 1, true);
    QCOMPARE(answerer.starts, 2);
    QVERIFY(first.isNull());
    QVERIFY(form.progressDialog());
    QVERIFY(form.sectionPlot()->spectrogram());
}

// The gridding panel comes up over the page its result is drawn on, which
// it makes current, whatever tab was current before.
void TestForm2DGraph::progressPanelStandsOverTheMapPage()
{
    Form_2DGraph form;
    form.resize(720, 480);   // inside the offscreen screen (800 x 600)
    form.move(20, 20);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTabWidget* tabs = form.tabWidget();
    tabs->addTab(new QLabel(QStringLiteral("三维")), QStringLiteral("三维展示"));
    tabs->setCurrentIndex(2);
    QWidget* mapPage = tabs->widget(1);

    int currentWhileShown = -1;
    QRect panel;
    QRect page;
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        currentWhileShown = tabs->currentIndex();
        panel = QRect(dialog->pos(), dialog->size());
        page = QRect(mapPage->mapToGlobal(QPoint(0, 0)), mapPage->size());
        return int(QDialog::Rejected);
    });
    QList<DataType_ResultData> grid = section();
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 1, true);
    UserPrompt::setDialogAnswerer({});

    QCOMPARE(currentWhileShown, 1);
    QVERIFY(!panel.isEmpty());
    QVERIFY2(page.contains(panel), qPrintable(QStringLiteral("panel %1,%2 %3x%4 outside the page %5,%6 %7x%8")
                                                 .arg(panel.x()).arg(panel.y()).arg(panel.width()).arg(panel.height())
                                                 .arg(page.x()).arg(page.y()).arg(page.width()).arg(page.height())));
    QVERIFY(std::abs(panel.center().x() - page.center().x()) <= 1);
}

void TestForm2DGraph::abnormalChannelsFreezeSections()
{
    Form_2DGraph form;
    ModalAnswerer answerer;
    QList<DataType_ResultData> grid = section();
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 1, true);
    form.setData(grid, topographyOf(grid), ramp(), 100.0);
    QVERIFY(form.sectionPlot()->spectrogram());
    QVERIFY(form.sectionMap()->isDataReady());
    Dialog_InvProgressBar* dialogBefore = form.progressDialog();
    const int startsBefore = answerer.starts;

    QVector<QVector<double> > bad = channels(21);
    bad[2][3] = std::numeric_limits<double>::quiet_NaN();
    bad[5][3] = std::numeric_limits<double>::infinity();
    bad[6][7] = std::numeric_limits<double>::denorm_min();
    answerer.texts.clear();
    form.on_signal2DLineSectionGraphChanged(bad, {}, positions(21));
    QVERIFY(!lineCurvesValid);
    // One box per abnormal station.
    QCOMPARE(answerer.texts.size(), 2);
    // The previous line's section does not stay under these curves.
    QVERIFY(!form.sectionPlot()->spectrogram());
    QVERIFY(!form.sectionMap()->isDataReady());

    form.tabWidget()->setCurrentIndex(0);
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 1, true);
    form.setData(grid, topographyOf(grid), ramp(), 100.0);
    QCOMPARE(answerer.starts, startsBefore);
    QCOMPARE(form.progressDialog(), dialogBefore);
    QVERIFY(!form.sectionPlot()->spectrogram());
    QVERIFY(!form.sectionMap()->isDataReady());
    QCOMPARE(form.tabWidget()->currentIndex(), 0);

    // A clean line lifts the freeze.
    form.on_signal2DLineSectionGraphChanged(channels(21), {}, positions(21));
    QVERIFY(lineCurvesValid);
    form.setData(grid, topographyOf(grid), ramp(), 100.0);
    QVERIFY(form.sectionMap()->isDataReady());
}

// The controller found no section for the line asked for: nothing of the
// line shown before stays, neither its curves, its section, its mesh nor
// its map.
void TestForm2DGraph::sectionClearedEmptiesTheViews()
{
    Form_2DGraph form;
    form.resize(872, 667);
    ModalAnswerer answerer;
    form.on_signal2DLineSectionGraphChanged(channels(21), {}, positions(21));
    QList<DataType_ResultData> grid = section();
    InvParam params;
    params.topography = topographyOf(grid);
    form.on_signalMesh(positions(21), params);
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 2, true);
    form.setData(grid, topographyOf(grid), ramp(), 100.0);
    QVERIFY(!form.channelPlot()->curves().isEmpty());
    QVERIFY(!form.meshCurves().isEmpty());
    QVERIFY(form.sectionPlot()->spectrogram());
    QVERIFY(form.sectionMap()->isDataReady());

    form.on_signalSectionCleared();
    QVERIFY(form.channelPlot()->curves().isEmpty());
    QVERIFY(form.meshCurves().isEmpty());
    QVERIFY(!form.sectionPlot()->spectrogram());
    QVERIFY(!form.sectionMap()->isDataReady());
    QVERIFY(form.sectionMap()->image().isNull());
    QVERIFY(!form.grab().isNull());

    // The next line is drawn as usual.
    form.on_signal2DLineSectionGraphChanged(channels(21), {}, positions(21));
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 1, true);
    form.setData(grid, topographyOf(grid), ramp(), 100.0);
    QVERIFY(form.sectionPlot()->spectrogram());
    QVERIFY(form.sectionMap()->isDataReady());
}

void TestForm2DGraph::mapFillsItsPageAfterClose_data()
{
    QTest::addColumn<bool>("formHidden");
    QTest::newRow("a station shown: the form is out of the window") << true;
    QTest::newRow("the channel and section page current") << false;
}

// A project closed while the map page is hidden: the map that takes the old
// one's place must still fill the page once it shows, and the section drawn
// on it must be of that size.
void TestForm2DGraph::mapFillsItsPageAfterClose()
{
    QFETCH(bool, formHidden);
    Form_2DGraph form;
    form.resize(900, 620);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget* page = form.tabWidget()->widget(1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE(form.sectionMap()->geometry(), page->layout()->contentsRect());

    if (formHidden)
        form.hide();
    else
        form.tabWidget()->setCurrentIndex(0);
    form.clearView();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QList<DataType_ResultData> grid = section();
    form.setData(grid, topographyOf(grid), ramp(), 100.0);
    QCOMPARE(form.tabWidget()->currentWidget(), page);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QApplication::processEvents();

    QVERIFY(page->width() > 800);
    QCOMPARE(form.sectionMap()->parentWidget(), page);
    QVERIFY(form.sectionMap()->isVisible());
    QCOMPARE(form.sectionMap()->geometry(), page->layout()->contentsRect());
    QCOMPARE(form.sectionMap()->image().size(), form.sectionMap()->size());

    // And at the next size the window gives it.
    form.resize(1000, 700);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QApplication::processEvents();
    QCOMPARE(form.sectionMap()->geometry(), page->layout()->contentsRect());
}

void TestForm2DGraph::sectionTitleKeepsClearOfTheChannelAxis_data()
{
    QTest::addColumn<QSize>("size");
    // The line view in windows at two thirds of a 1366 x 728 work area and
    // of a 1066 x 666 screen, and at a common first size.
    QTest::newRow("two thirds of 1366 x 728") << QSize(592, 268);
    QTest::newRow("two thirds of 1066 x 666") << QSize(452, 242);
    QTest::newRow("1600 x 1000") << QSize(872, 667);
}

// The channel plot's station labels and the section's title below them
// stand apart, and the section's depth labels do not run together.
void TestForm2DGraph::sectionTitleKeepsClearOfTheChannelAxis()
{
    QFETCH(QSize, size);
    Form_2DGraph form;
    form.resize(size);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.tabWidget()->setCurrentIndex(0);
    ModalAnswerer answerer;
    QList<DataType_ResultData> grid = section();
    for (DataType_ResultData& column : grid) {
        for (double& d : column.depth)
            d += 1180.0;
    }
    QVector<TopoData> topo = topographyOf(grid);
    form.on_signal2DLineSectionGraphChanged(channels(21), {}, positions(21));
    form.on_signal2DISOGraphChanged(grid, topo, 100.0, ramp(), 1, true);
    form.tabWidget()->setCurrentIndex(0);
    QTest::qWait(30);
    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(form.grab().save(QDir(dir).filePath(QStringLiteral("hw_form2d_page1_%1x%2.png")
                                                        .arg(size.width()).arg(size.height()))));

    Graph_IsoLine* channel = form.channelPlot();
    Graph_IsoLine* sectionPlot = form.sectionPlot();
    const QwtScaleWidget* axis = channel->axisWidget(QwtPlot::xBottom);
    const QwtScaleDraw* draw = axis->scaleDraw();
    int labelsBottom = std::numeric_limits<int>::min();
    for (double tick : draw->scaleDiv().ticks(QwtScaleDiv::MajorTick)) {
        const QRect label = draw->boundingLabelRect(axis->font(), tick);
        labelsBottom = std::max(labelsBottom, axis->mapTo(&form, label.bottomLeft()).y());
    }
    // Drawn where the channel plot shows it.
    labelsBottom = std::min(labelsBottom, channel->mapTo(&form, QPoint(0, channel->height() - 1)).y());
    const QWidget* title = sectionPlot->titleLabel();
    const int titleHeight = title->fontMetrics().height();
    const QRect titleRect(title->mapTo(&form, QPoint(0, 0)), title->size());
    // The text stands in the middle of its label.
    const int textTop = titleRect.center().y() - titleHeight / 2;
    QVERIFY2(textTop - labelsBottom >= 3,
             qPrintable(QStringLiteral("channel labels end at %1, the section title begins at %2 (plots %3 and %4 high)")
                            .arg(labelsBottom).arg(textTop).arg(channel->height()).arg(sectionPlot->height())
                        + QStringLiteral(" channel %1,%2 section %3,%4 title %5,%6 axis %7,%8 pm %9")
                              .arg(channel->mapTo(&form, QPoint(0, 0)).y()).arg(channel->height())
                              .arg(sectionPlot->mapTo(&form, QPoint(0, 0)).y()).arg(sectionPlot->height())
                              .arg(titleRect.top()).arg(titleRect.height())
                              .arg(axis->mapTo(&form, QPoint(0, 0)).y()).arg(axis->height())
                              .arg(form.plotMatrix()->height())));
}

void TestForm2DGraph::pointDataFillsMissingTopography()
{
    Form_2DGraph form;
    form.resize(872, 667);
    form.tabWidget()->setCurrentIndex(0);
    QList<DataType_ResultData> grid = section();

    // With the real topography the ground at x = 50 lies near 14.9.
    form.setData(grid, topographyOf(grid), ramp(), 100.0);
    QCOMPARE(form.tabWidget()->currentIndex(), 1);
    QVERIFY(form.sectionMap()->isDataReady());
    QVERIFY(form.sectionMap()->valueAt(50.0, 5.0) > 1.0);
    QLinearColorMap* first = form.sectionColorMap();
    QVERIFY(first);
    QCOMPARE(first->colorStops(), QVector<double>({0.0, 0.25, 0.5, 0.75, 1.0}));

    // Without it the ground is flat at 0: anything above is blank.
    form.setData(grid, QVector<TopoData>(), ramp(), 100.0);
    QCOMPARE(form.sectionMap()->valueAt(50.0, 5.0), 1e-18);
    QVERIFY(form.sectionMap()->valueAt(50.0, -30.0) > 1.0);
    QVERIFY(form.sectionColorMap() != first);
}

void TestForm2DGraph::meshLayerLines_data()
{
    QTest::addColumn<double>("span");
    QTest::addColumn<QVector<double> >("offsets");
    const QVector<double> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    QVector<double> hundred = ten;
    hundred << 12 << 14 << 16 << 18 << 20;
    for (int k = 23; k <= 50; k += 3)
        hundred << k;
    for (int k = 55; k <= 100; k += 5)
        hundred << k;
    QTest::newRow("span 0: none") << 0.0 << QVector<double>();
    QTest::newRow("span 10: 0..10") << 10.0 << ten;
    QTest::newRow("span 12: 0..10") << 12.0 << ten;
    QTest::newRow("span 13: and 12") << 13.0 << (QVector<double>(ten) << 12);
    QTest::newRow("span 5.5: 0..5") << 5.5 << QVector<double>{0, 1, 2, 3, 4, 5};
    QTest::newRow("span 100: every block") << 100.0 << hundred;
    QTest::newRow("span 110: no open block") << 110.0 << hundred;
    QTest::newRow("span 125: 110 and 120") << 125.0 << (QVector<double>(hundred) << 110 << 120);
}

void TestForm2DGraph::meshLayerLines()
{
    QFETCH(double, span);
    QFETCH(QVector<double>, offsets);
    Form_2DGraph form;
    // Flat ground at 40: top 40, bottom 40 - depth.
    form.on_signalMesh(positions(5), flatParams(5, 40.0, span));
    const MeshParts parts = meshParts(form);
    QVector<double> got;
    for (QwtPlotCurve* c : parts.horizontal) {
        got << 40.0 - c->sample(0).y();
        QCOMPARE(c->sample(0).x(), 0.0);
        QCOMPARE(c->sample(1).x(), 40.0);
        QCOMPARE(c->pen().color(), QColor(Qt::darkGray));
    }
    QCOMPARE(got, offsets);
    const QwtScaleDiv left = form.sectionPlot()->axisScaleDiv(QwtPlot::yLeft);
    QCOMPARE(left.lowerBound(), 40.0 - span);
    QCOMPARE(left.upperBound(), 42.0);
}

void TestForm2DGraph::meshStationsAndMarks_data()
{
    QTest::addColumn<int>("stations");
    QTest::addColumn<int>("verticals");
    QTest::newRow("29 stations: every one") << 29 << 29;
    QTest::newRow("30 stations: every one") << 30 << 30;
    QTest::newRow("60 stations: every second") << 60 << 30;
    QTest::newRow("95 stations: every third") << 95 << 32;
    QTest::newRow("1 station") << 1 << 1;
}

void TestForm2DGraph::meshStationsAndMarks()
{
    QFETCH(int, stations);
    QFETCH(int, verticals);
    Form_2DGraph form;
    form.on_signalMesh(positions(stations), flatParams(stations, 20.0, 50.0));
    const MeshParts parts = meshParts(form);
    QCOMPARE(parts.vertical.size(), verticals);
    QCOMPARE(parts.marks.size(), 1);
    QCOMPARE(static_cast<int>(parts.marks[0]->dataSize()), verticals);
    const int step = std::max(1, stations / 30);
    for (int i = 0; i < verticals; ++i) {
        QCOMPARE(parts.vertical[i]->sample(0).x(), i * step * 10.0);
        QCOMPARE(parts.vertical[i]->sample(0).y(), 20.0);
        QCOMPARE(parts.vertical[i]->sample(1).y(), -30.0);
        QCOMPARE(parts.marks[0]->sample(i).y(), 20.1);
    }
    QCOMPARE(parts.marks[0]->symbol()->style(), QwtSymbol::DTriangle);
}

void TestForm2DGraph::meshClearedOnlyByMethodOne()
{
    Form_2DGraph form;
    ModalAnswerer answerer;
    // Stations at 0, 10, 20; the middle one has no topography point of its
    // own and keeps the mark height of the one before.
    InvParam p;
    p.inversionDepth = 30.0;
    p.topography = {{0.0, 5.0}, {20.0, 7.0}, {10.0005, 99.0}};
    form.on_signalMesh({0.0, 10.0, 20.0}, p);
    MeshParts parts = meshParts(form);
    QCOMPARE(parts.marks.size(), 1);
    QCOMPARE(parts.marks[0]->sample(0).y(), 5.1);
    QCOMPARE(parts.marks[0]->sample(1).y(), 99.1);   // within 0.001
    QCOMPARE(parts.marks[0]->sample(2).y(), 7.1);
    p.topography = {{0.0, 5.0}, {20.0, 7.0}};
    form.on_signalMesh({0.0, 10.0, 20.0}, p);
    parts = meshParts(form);
    QCOMPARE(parts.marks[0]->sample(1).y(), 5.1);
    const int meshSize = form.meshCurves().size();
    QVERIFY(meshSize > 3);

    // Method 2: the mesh stays over the new section.
    QList<DataType_ResultData> grid = section();
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 2, true);
    QCOMPARE(form.meshCurves().size(), meshSize);
    for (QwtPlotCurve* c : form.meshCurves())
        QCOMPARE(c->plot(), static_cast<QwtPlot*>(form.sectionPlot()));
    QVERIFY(form.sectionPlot()->spectrogram());

    // Method 1 removes it.
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 1, true);
    QVERIFY(form.meshCurves().isEmpty());
    QCOMPARE(form.sectionPlot()->itemList(QwtPlotItem::Rtti_PlotCurve).size(), 0);

    // A new mesh takes the section away; an empty station list draws nothing.
    form.on_signalMesh({0.0, 10.0, 20.0}, p);
    QVERIFY(!form.sectionPlot()->spectrogram());
    form.on_signalMesh({}, p);
    QVERIFY(form.meshCurves().isEmpty());
    // No topography: flat ground at 0.
    form.on_signalMesh({0.0, 10.0}, InvParam());
    parts = meshParts(form);
    QCOMPARE(parts.vertical[0]->sample(0).y(), 0.0);
    QCOMPARE(parts.vertical[0]->sample(1).y(), -100.0);
}

void TestForm2DGraph::colourAndMethodReachBothRenderers()
{
    Form_2DGraph form;
    form.resize(872, 667);
    // Before any section both renderers take a ramp without complaint.
    form.on_signalColorMapChanged(ramp());

    form.on_signalContourMethod2D(2);
    QCOMPARE(form.sectionPlot()->contourMethod, 2);
    QCOMPARE(form.sectionMap()->contourMethod, 2);
    form.on_signalContourMethod2D(1);
    QCOMPARE(form.sectionPlot()->contourMethod, 1);
    QCOMPARE(form.sectionMap()->contourMethod, 1);

    ModalAnswerer answerer;
    QList<DataType_ResultData> grid = section();
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 1, true);
    form.setData(grid, topographyOf(grid), ramp(), 100.0);
    const QImage before = form.sectionMap()->image().copy();
    const QwtColorMap* plotMapBefore = form.sectionPlot()->colorMap();

    const QMap<float, QColor> grey{{0.0f, Qt::black}, {1.0f, Qt::white}};
    form.on_signalColorMapChanged(grey);
    QCOMPARE(form.sectionColorMap()->colorStops(), QVector<double>({0.0, 1.0}));
    QCOMPARE(form.sectionColorMap()->stopColors().first(), QColor(Qt::black).rgb());
    QVERIFY(form.sectionMap()->image() != before);
    QVERIFY(form.sectionPlot()->colorMap());
    QVERIFY(form.sectionPlot()->colorMap() != plotMapBefore);
    QCOMPARE(static_cast<const QwtColorMap*>(form.sectionPlot()->spectrogram()->colorMap()),
             static_cast<const QwtColorMap*>(form.sectionPlot()->colorMap()));
}

void TestForm2DGraph::modelImportsAddTabs()
{
    Form_2DGraph form;
    LayerModeler model;
    model.name = "m";
    model.x0 = 0;
    model.x1 = 100;
    model.z0 = -50;
    model.z1 = 0;
    model.regionCount = 1;
    ModelRegion r;
    r.colour = Qt::red;
    r.pointCount = 4;
    r.x = {0, 100, 100, 0};
    r.z = {0, 0, -50, -50};
    model.regions << r;

    form.on_signal2DModelerInput(model, stationResults(3, 10.0));
    form.on_signal2DModelerInput(model, {});
    QCOMPARE(form.tabWidget()->count(), 4);
    QCOMPARE(form.tabWidget()->tabText(2), QString("导入的数据模型"));
    QCOMPARE(form.tabWidget()->tabText(3), QString("导入的数据模型"));
    QCOMPARE(form.tabWidget()->currentIndex(), 3);
    QVERIFY(qobject_cast<ModelerWidget*>(form.tabWidget()->widget(3)));

    // Only the added tabs can be closed; closing one removes and frees it.
    QTabWidget* tabs = form.tabWidget();
    QTabBar* bar = tabs->tabBar();
    for (int i : {0, 1}) {
        QVERIFY(!bar->tabButton(i, QTabBar::LeftSide));
        QVERIFY(!bar->tabButton(i, QTabBar::RightSide));
    }
    QWidget* close = bar->tabButton(2, QTabBar::RightSide);
    if (!close)
        close = bar->tabButton(2, QTabBar::LeftSide);
    QVERIFY(close);
    QPointer<QWidget> first = tabs->widget(2);
    QPointer<QWidget> second = tabs->widget(3);
    form.resize(872, 667);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(close, Qt::LeftButton);
    QCOMPARE(tabs->count(), 3);
    QVERIFY(tabs->widget(2) == second.data());
    QTRY_VERIFY(!first);
    emit tabs->tabCloseRequested(0);
    emit tabs->tabCloseRequested(1);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QString("剖面图与反演图"));
    QCOMPARE(tabs->tabText(1), QString("二维反演图"));

    // A 3-D tab closes with its scheme.
    QPointer<KX_VolScheme2> scheme = new KX_VolScheme2(nullptr);
    QPointer<QWidget> view = scheme->widget();
    form.addViewTab(scheme);
    QCOMPARE(tabs->count(), 4);
    QVERIFY(tabs->widget(3) == view.data());
    emit tabs->tabCloseRequested(3);
    QCOMPARE(tabs->count(), 3);
    QTRY_VERIFY(!view && !scheme);
}

void TestForm2DGraph::savePictureWritesImage()
{
    Form_2DGraph form;
    form.resize(872, 667);
    ModalAnswerer answerer;
    QList<DataType_ResultData> grid = section();
    form.on_signal2DISOGraphChanged(grid, topographyOf(grid), 100.0, ramp(), 1, true);
    form.show();
    form.tabWidget()->setCurrentIndex(1);
    QTest::qWait(20);
    const QString path = m_dir.filePath("section.png");
    form.savePicture(path);
    QCOMPARE(form.tabWidget()->currentIndex(), 0);
    QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), form.sectionPlot()->size());
    QVERIFY(form.sectionPlot()->styleSheet().isEmpty());
    // An unwritable path is not reported.
    form.savePicture(m_dir.filePath("missing/dir/section.png"));
}

void TestForm2DGraph::sectionPictureForPrint()
{
    // The same section from a small window and a large one: one picture, of
    // the print size's proportions, with nothing cut at its edges, the
    // largest values' colour (the colour bar's top) in it, and no file.
    QList<DataType_ResultData> grid = section();
    const QVector<TopoData> topo = topographyOf(grid);
    QImage pictures[2];
    const QSize sizes[2] = {QSize(700, 450), QSize(1066, 666)};
    for (int i = 0; i < 2; ++i) {
        Form_2DGraph form;
        form.resize(sizes[i]);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setData(grid, topo, ramp(), 100.0);
        QCoreApplication::processEvents();
        pictures[i] = form.sectionPicture(grid, topo, 100.0, 1);
        QVERIFY(form.sectionPicture(QList<DataType_ResultData>(), topo, 100.0, 1).isNull());
    }
    QVERIFY(!pictures[0].isNull());
    QCOMPARE(pictures[0], pictures[1]);
    const QImage& picture = pictures[0];
    QVERIFY2(picture.width() > Form_2DGraph::printSize().width() / 2,
             qPrintable(QString("%1 x %2").arg(picture.width()).arg(picture.height())));
    QVERIFY(picture.width() <= Form_2DGraph::printSize().width() + 20);
    QVERIFY(picture.height() <= Form_2DGraph::printSize().height() + 20);
    // A white border all round: the map, its axes and its colour bar are
    // whole.
    for (int x = 0; x < picture.width(); ++x) {
        QCOMPARE(picture.pixel(x, 0), qRgb(255, 255, 255));
        QCOMPARE(picture.pixel(x, picture.height() - 1), qRgb(255, 255, 255));
    }
    for (int y = 0; y < picture.height(); ++y) {
        QCOMPARE(picture.pixel(0, y), qRgb(255, 255, 255));
        QCOMPARE(picture.pixel(picture.width() - 1, y), qRgb(255, 255, 255));
    }
    // ... and a narrow one: what is drawn comes close to every edge.
    const QRect drawn = drawnArea(picture);
    QVERIFY2(drawn.left() <= 20 && drawn.top() <= 20 && picture.width() - 1 - drawn.right() <= 20
                 && picture.height() - 1 - drawn.bottom() <= 20,
             qPrintable(QString("%1 x %2, drawn %3,%4 %5 x %6")
                            .arg(picture.width())
                            .arg(picture.height())
                            .arg(drawn.left())
                            .arg(drawn.top())
                            .arg(drawn.width())
                            .arg(drawn.height())));
    QVERIFY(colourCount(picture, ramp().last()) > 100);
}

void TestForm2DGraph::sectionPictureInCurrentColours()
{
    // A colour scale chosen after the section was drawn: the picture for
    // print is in its colours, and none of the ramp the section came with.
    QList<DataType_ResultData> grid = section();
    const QVector<TopoData> topo = topographyOf(grid);
    Form_2DGraph form;
    form.resize(872, 667);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.setData(grid, topo, ramp(), 100.0);
    const QMap<float, QColor> chosen{{0.0f, QColor(20, 40, 60)}, {1.0f, QColor(200, 100, 50)}};
    form.on_signalColorMapChanged(chosen);
    QCoreApplication::processEvents();
    const QImage picture = form.sectionPicture(grid, topo, 100.0, 1);
    QVERIFY(!picture.isNull());
    QVERIFY(colourCount(picture, chosen.last()) > 100);
    QCOMPARE(colourCount(picture, ramp().last()), 0);
    QCOMPARE(colourCount(picture, ramp().first()), 0);
}

void TestForm2DGraph::controllerDrivesForm()
{
    // A generated project's line through the controller, wired the way the
    // main window wires them.
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 12;
    o.samplesPerStation = 1;
    const QString file = m_dir.filePath("line.QELVA");
    QString error;
    QVERIFY2(ProjectGenerator(o).write(file, &error), qPrintable(error));
    LibHORM lib;
    QVERIFY(lib.open(file));
    DataModel model;
    model.setFileSuffix("QELVA");
    model.loadProject(&lib);
    QVERIFY(model.isProjectOpen());

    Form_2DGraph form;
    form.resize(872, 667);
    QVERIFY(connect(&model, SIGNAL(signal_2DLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>)),
                    &form, SLOT(on_signal2DLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>))));
    QVERIFY(connect(&model, SIGNAL(signal_2DISOGraphChanged(QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,int,bool)),
                    &form, SLOT(on_signal2DISOGraphChanged(QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,int,bool))));
    QVERIFY(connect(&model, SIGNAL(signal_2DPointData(QList<DataType_ResultData>&,QVector<TopoData>,QMap<float,QColor>,double)),
                    &form, SLOT(setData(QList<DataType_ResultData>&,QVector<TopoData>,QMap<float,QColor>,double))));
    QVERIFY(connect(&model, SIGNAL(signal_Mesh(QVector<double>,InvParam)), &form,
                    SLOT(on_signalMesh(QVector<double>,InvParam))));
    QVERIFY(connect(&model, SIGNAL(signal_Modelerinput(LayerModeler,QList<DataType_ResultData>)), &form,
                    SLOT(on_signal2DModelerInput(LayerModeler,QList<DataType_ResultData>))));
    QVERIFY(connect(&model, SIGNAL(signal_ContourMethod(int)), &form, SLOT(on_signalContourMethod2D(int))));

    ModalAnswerer answerer;
    int smoothingRuns = 0;
    UserPrompt::setDialogAnswerer([&smoothingRuns](QDialog* dialog) {
        if (qobject_cast<Dialog_InvProgressBar*>(dialog))
            return dialog->exec();
        ++smoothingRuns;
        return int(QDialog::Rejected);
    });
    model.showTreeNode(0, -1, -1);
    UserPrompt::setDialogAnswerer(UserPrompt::DialogAnswerer());

    QVERIFY(lineCurvesValid);
    QVERIFY(!form.channelPlot()->curves().isEmpty());
    QCOMPARE(answerer.starts, 1);
    QVERIFY(QFile::exists("out.grd"));
    QVERIFY(form.sectionPlot()->spectrogram());
    QVERIFY(form.sectionMap()->isDataReady());
    QCOMPARE(form.tabWidget()->currentIndex(), 1);
    QCOMPARE(form.sectionMap()->xMin(), 0.0);
    QVERIFY(form.sectionMap()->xMax() > 0.0);
    form.tabWidget()->setCurrentIndex(0);
    form.grab().save("/tmp/hw_form2d_controller.png");
    form.tabWidget()->setCurrentIndex(1);
    form.grab().save("/tmp/hw_form2d_controller_map.png");

    // A layered model over the shown section: an upper and a lower layer,
    // each shaded from the section's own samples.
    const double x0 = form.sectionMap()->xMin();
    const double x1 = form.sectionMap()->xMax();
    const double z0 = form.sectionMap()->depthMin();
    const double z1 = form.sectionMap()->depthMax();
    const double zm = (z0 + z1) / 2;
    QFile modelFile(m_dir.filePath("layers.txt"));
    QVERIFY(modelFile.open(QIODevice::WriteOnly | QIODevice::Text));
    QTextStream out(&modelFile);
    out << "two layers\n"
        << "extent " << x0 << ' ' << x1 << ' ' << z0 << ' ' << z1 << "\n"
        << "regions count = 2\n";
    const double tops[] = {z1, zm};
    const double bottoms[] = {zm, z0};
    for (int i = 0; i < 2; ++i) {
        out << "region " << i + 1 << "\n"
            << "colour " << (i ? "0 0 255" : "255 0 0") << "\n"
            << "points n = 4\n"
            << "p 0 " << x0 << ' ' << tops[i] << "\n"
            << "p 1 " << x1 << ' ' << tops[i] << "\n"
            << "p 2 " << x1 << ' ' << bottoms[i] << "\n"
            << "p 3 " << x0 << ' ' << bottoms[i] << "\n";
    }
    out.flush();
    modelFile.close();
    model.sendModelerInput(modelFile.fileName());
    QCOMPARE(form.tabWidget()->count(), 3);
    QCOMPARE(form.tabWidget()->currentIndex(), 2);
    auto* modeler = qobject_cast<ModelerWidget*>(form.tabWidget()->widget(2));
    QVERIFY(modeler);
    QCOMPARE(modeler->regionOutlines().size(), 2);
    modeler->triangleAction()->trigger();
    QCOMPARE(modeler->filledTriangles().size(), 2);
    QVERIFY(!modeler->filledTriangles()[0].isEmpty());
    QVERIFY(!modeler->filledTriangles()[1].isEmpty());
    model.closeProject();
}

void TestForm2DGraph::renderScreenshot()
{
    // Method 2 order: channels, mesh, method, section, point data.
    Form_2DGraph form;
    form.resize(872, 667);
    form.show();
    ModalAnswerer answerer;
    QList<DataType_ResultData> grid = section(31, 10.0);
    const QVector<TopoData> topo = topographyOf(grid);
    form.on_signal2DLineSectionGraphChanged(channels(31), {}, positions(31));
    InvParam p;
    p.inversionDepth = 100.0;
    p.topography = topo;
    form.on_signalMesh(positions(31), p);
    form.on_signalContourMethod2D(2);
    form.on_signal2DISOGraphChanged(grid, topo, 100.0, ramp(), 2, true);
    form.setData(grid, topo, ramp(), 100.0);

    form.tabWidget()->setCurrentIndex(0);
    QTest::qWait(50);
    const QImage page1 = form.grab().toImage();
    QVERIFY(page1.save("/tmp/hw_form2d.png"));
    form.tabWidget()->setCurrentIndex(1);
    QTest::qWait(50);
    const QImage page2 = form.grab().toImage();
    QVERIFY(page2.save("/tmp/hw_form2d_map.png"));
    // The section shows colour, not just the white background.
    const QImage map = form.sectionMap()->image();
    const QRect r = form.sectionMap()->mapRect();
    QVERIFY(map.pixelColor(r.center()) != QColor(Qt::white));
}

QTEST_MAIN(TestForm2DGraph)
#include "tst_form2dgraph.moc"
