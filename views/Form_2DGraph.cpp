#include "views/Form_2DGraph.h"
#include "ui_Form_2DGraph.h"

#include "gridding/Dialog_InvProgressBar.h"
#include "gridding/KXSMap.h"
#include "model/DataModel.h"
#include "model/ExportFiles.h"
#include "model/UserPrompt.h"
#include "views/Graph_IsoLine.h"
#include "views/KXSpectrogramMap.h"
#include "views/KX_VolScheme2.h"
#include "views/LineCurvesValid.h"
#include "views/ModelerWidget.h"
#include "views/PlotMatrix.h"
#include "views/QLinearColorMap.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>

#include <qwt_plot_curve.h>
#include <qwt_symbol.h>

#include <algorithm>
#include <cmath>

namespace {

// Offsets below the top at which the mesh draws its layer lines: fine near
// the surface, coarser with depth.
QVector<double> layerOffsets(double span)
{
    QVector<double> offsets;
    if (!(span > 0.0))
        return offsets;
    struct Block {
        int first, last, step;
    };
    static const Block blocks[] = {{0, 10, 1}, {12, 20, 2}, {23, 50, 3}, {55, 100, 5}};
    for (const Block &b : blocks) {
        if (b.last <= span) {
            for (int k = b.first; k <= b.last; k += b.step)
                offsets.append(k);
            continue;
        }
        for (int k = b.first; k <= b.last && k < span; k += b.step)
            offsets.append(k);
        return offsets;
    }
    // An absurd span from broken topography must not flood the plot.
    constexpr int kLastOffset = 100000;
    for (int k = 110; k < span && k <= kLastOffset; k += 10)
        offsets.append(k);
    return offsets;
}

QwtPlotCurve *meshLine(double x0, double y0, double x1, double y1)
{
    auto *curve = new QwtPlotCurve;
    curve->setPen(QPen(QBrush(Qt::darkGray), 0.0, Qt::SolidLine));
    curve->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    curve->setSamples(QVector<double>{x0, x1}, QVector<double>{y0, y1});
    return curve;
}

// Centres a window, at the size it has, over a shown widget, within that
// widget's screen.
void placeOver(QWidget *window, QWidget *area)
{
    if (!area->isVisible())
        return;
    QRect frame(QPoint(0, 0), window->size());
    frame.moveCenter(QRect(area->mapToGlobal(QPoint(0, 0)), area->size()).center());
    if (const QScreen *screen = area->screen()) {
        const QRect available = screen->availableGeometry();
        frame.moveLeft(std::max(available.left(), std::min(frame.left(), available.right() - frame.width() + 1)));
        frame.moveTop(std::max(available.top(), std::min(frame.top(), available.bottom() - frame.height() + 1)));
    }
    window->move(frame.topLeft());
}

} // namespace

Form_2DGraph::Form_2DGraph(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Form_2DGraph)
{
    ui->setupUi(this);
    createLayout();
    // The two pages stay for the form's lifetime: no close button on them.
    QTabBar *bar = ui->tabWidget->tabBar();
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        for (QTabBar::ButtonPosition side : {QTabBar::LeftSide, QTabBar::RightSide}) {
            if (QWidget *button = bar->tabButton(i, side)) {
                bar->setTabButton(i, side, nullptr);
                button->deleteLater();
            }
        }
    }
    connect(ui->tabWidget, &QTabWidget::tabCloseRequested, this, &Form_2DGraph::closeTab);
    // The pages take the room the window gives them: their plots' minimum
    // sizes must not force the main window to grow when this form becomes
    // its central widget.
    for (QWidget *page : {ui->tab, ui->tabContours})
        page->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

void Form_2DGraph::closeTab(int index)
{
    QWidget *page = ui->tabWidget->widget(index);
    if (!page || page == ui->tab || page == ui->tabContours)
        return;
    ui->tabWidget->removeTab(index);
    // The scheme goes first: it unhooks its scene while the view still lives.
    if (KX_VolScheme2 *scheme = m_volumeTabs.take(page))
        scheme->deleteLater();
    page->deleteLater();
}

Form_2DGraph::~Form_2DGraph()
{
    clearMesh();
    qDeleteAll(m_volumeTabs);
    delete m_progressDialog;
    delete m_sectionMap;
    delete m_colorMap;
    delete ui;
}

QTabWidget *Form_2DGraph::tabWidget() const
{
    return ui->tabWidget;
}

void Form_2DGraph::createLayout()
{
    m_channelPlot = new Graph_IsoLine(this);
    m_sectionPlot = new Graph_IsoLine(nullptr);
    m_plotMatrix = new PlotMatrix(2, 1);
    m_plotMatrix->setPlotAt(m_channelPlot, 0, 0);
    m_plotMatrix->setPlotAt(m_sectionPlot, 1, 0);
    m_plotMatrix->setRowHeightRatio(0, 0.35f);
    m_pageLayout = new QGridLayout;
    m_pageLayout->addWidget(m_plotMatrix);
    ui->tab->setLayout(m_pageLayout);

    m_mapLayout = new QGridLayout;
    m_sectionMap = new KXSpectrogramMap(nullptr);
    m_mapLayout->addWidget(m_sectionMap);
    ui->tabContours->setLayout(m_mapLayout);
}

void Form_2DGraph::on_signal2DLineSectionGraphChanged(QVector<QVector<double> > channels,
                                                      QVector<double> gateTimes,
                                                      QVector<double> x)
{
    Q_UNUSED(gateTimes)
    lineCurvesValid = m_channelPlot->drawChannelCurves(channels, x);
    // No section is drawn from abnormal curves (the user was told which
    // station): another line's must not stay in its place.
    if (!lineCurvesValid)
        clearSectionViews();
}

void Form_2DGraph::clearSectionViews()
{
    clearMesh();
    m_sectionPlot->detachCurves();
    m_sectionPlot->replot();
    m_sectionMap->clear();
}

void Form_2DGraph::on_signalSectionCleared()
{
    m_channelPlot->detachCurves();
    m_channelPlot->replot();
    clearSectionViews();
}

void Form_2DGraph::on_signal2DISOGraphChanged(QList<DataType_ResultData> &results,
                                              QVector<TopoData> topography, double depth,
                                              QMap<float, QColor> ramp, int method, bool flag)
{
    Q_UNUSED(flag)
    if (!lineCurvesValid)
        return;
    if (method == 1)
        clearMesh();
    m_sectionPlot->detachCurves();

    // The previous run has ended: its dialog closed before exec returned.
    delete m_progressDialog;
    m_progressDialog = new Dialog_InvProgressBar(nullptr);
    m_progressDialog->setInversionResults(results);
    // The grid is drawn on the map page: show that page with the panel over
    // it, rather than the panel wherever the window system puts a window
    // without a parent (the middle of the screen, over any tab).
    ui->tabWidget->setCurrentWidget(ui->tabContours);
    placeOver(m_progressDialog, ui->tabContours);
    UserPrompt::exec(m_progressDialog);

    m_sectionPlot->setSectionData(results, topography, depth, ramp, 1);
}

void Form_2DGraph::setData(QList<DataType_ResultData> &results, QVector<TopoData> topography,
                           QMap<float, QColor> ramp, double depth)
{
    if (!lineCurvesValid)
        return;
    if (topography.isEmpty())
        topography = flatGround(results);
    QLinearColorMap *colours = new QLinearColorMap(nullptr);
    colours->setColorStops(ramp);
    m_sectionMap->setData(results, topography, colours, depth);
    // The map now reads only the new one.
    delete m_colorMap;
    m_colorMap = colours;
    ui->tabWidget->setCurrentIndex(1);
}

QVector<TopoData> Form_2DGraph::flatGround(const QList<DataType_ResultData> &results)
{
    QVector<TopoData> topography;
    for (const DataType_ResultData &column : results) {
        TopoData t;
        t.position = column.x;
        t.elevation = 0.0;
        topography.append(t);
    }
    return topography;
}

QImage Form_2DGraph::sectionPicture(const QList<DataType_ResultData> &results, QVector<TopoData> topography,
                                    double depth, int method) const
{
    if (results.isEmpty())
        return QImage();
    if (topography.isEmpty())
        topography = flatGround(results);
    QMap<float, QColor> ramp;
    if (m_colorMap) {
        const QVector<double> stops = m_colorMap->colorStops();
        const QVector<QRgb> colours = m_colorMap->stopColors();
        for (int i = 0; i < stops.size() && i < colours.size(); ++i)
            ramp.insert(static_cast<float>(stops[i]), QColor::fromRgba(colours[i]));
    }
    if (ramp.isEmpty())
        ramp = DataModel::defaultColourRamp();
    QLinearColorMap colours(nullptr);
    colours.setColorStops(ramp);

    // Never shown: it draws into its image at the size given, and saves no
    // picture of its own.
    KXSpectrogramMap map(nullptr);
    map.resize(printSize());
    map.contourMethod = method;
    map.setData(results, topography, &colours, depth);
    const QImage image = map.image();
    if (image.isNull())
        return image;

    // Trimmed to what is drawn, with a narrow white border.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb white = qRgb(255, 255, 255);
    int left = rgb.width(), right = -1, top = rgb.height(), bottom = -1;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if ((line[x] | 0xff000000u) != white) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0)
        return QImage();
    const int border = 10;
    QImage picture(right - left + 1 + 2 * border, bottom - top + 1 + 2 * border, QImage::Format_RGB32);
    picture.fill(white);
    QPainter painter(&picture);
    painter.drawImage(QPoint(border, border), rgb, QRect(left, top, right - left + 1, bottom - top + 1));
    painter.end();
    return picture;
}

void Form_2DGraph::clearMesh()
{
    for (QwtPlotCurve *curve : qAsConst(m_meshCurves)) {
        curve->detach();
        delete curve;
    }
    m_meshCurves.clear();
}

void Form_2DGraph::on_signalMesh(QVector<double> x, InvParam params)
{
    clearMesh();
    m_sectionPlot->detachCurves();
    if (x.isEmpty()) {
        m_sectionPlot->replot();
        return;
    }
    const auto range = std::minmax_element(x.constBegin(), x.constEnd());
    const double xmin = *range.first;
    const double xmax = *range.second;

    double top = -100000.0;
    double bottom = 100000.0;
    for (const TopoData &t : qAsConst(params.topography)) {
        top = std::max(top, t.elevation);
        bottom = std::min(bottom, t.elevation);
    }
    // Without topography the ground is flat at 0, as for the section map.
    if (params.topography.isEmpty())
        top = bottom = 0.0;
    bottom -= params.inversionDepth;

    const int step = std::max(1, static_cast<int>(x.size()) / 30);
    drawMesh(x, xmax, xmin, top, bottom, step, params);
}

void Form_2DGraph::drawMesh(QVector<double> x, double xmax, double xmin, double top,
                            double bottom, int step, InvParam params)
{
    m_sectionPlot->setAxisScale(QwtPlot::xBottom, xmin, xmax);
    m_sectionPlot->setAxisScale(QwtPlot::yLeft, bottom, top + 2.0);

    auto *marks = new QwtPlotCurve;
    marks->setStyle(QwtPlotCurve::NoCurve);
    marks->setSymbol(new QwtSymbol(QwtSymbol::DTriangle, QBrush(Qt::black, Qt::SolidPattern),
                                   QPen(Qt::black), QSize(8, 8)));
    QVector<double> markX;
    QVector<double> markY;

    // A station without its own topography point keeps the previous mark height.
    double elevation = top;
    for (int i = 0; i < x.size(); i += step) {
        QwtPlotCurve *line = meshLine(x[i], top, x[i], bottom);
        line->attach(m_sectionPlot);
        m_meshCurves.append(line);
        for (const TopoData &t : qAsConst(params.topography)) {
            if (std::fabs(t.position - x[i]) < 0.001) {
                elevation = t.elevation;
                break;
            }
        }
        markX.append(x[i]);
        markY.append(elevation + 0.1);
    }
    marks->setSamples(markX, markY);
    marks->attach(m_sectionPlot);
    m_meshCurves.append(marks);

    const QVector<double> offsets = layerOffsets(top - bottom);
    for (double k : offsets) {
        QwtPlotCurve *line = meshLine(xmin, top - k, xmax, top - k);
        line->attach(m_sectionPlot);
        m_meshCurves.append(line);
    }
    m_sectionPlot->replot();
}

void Form_2DGraph::on_signalColorMapChanged(QMap<float, QColor> ramp)
{
    m_sectionPlot->setColorMap(ramp);
    m_sectionPlot->replot();
    m_sectionMap->setColorMap(ramp);
    if (m_contourMap) {
        m_contourMap->setColorMap(ramp);
        m_contourMap->renderMap();
    }
}

void Form_2DGraph::on_signalContourMethod2D(int method)
{
    m_sectionPlot->contourMethod = method;
    m_sectionMap->contourMethod = method;
}

void Form_2DGraph::on_signal2DModelerInput(LayerModeler model, QList<DataType_ResultData> results)
{
    auto *modeler = new ModelerWidget(model, results, nullptr);
    ui->tabWidget->addTab(modeler, QStringLiteral("导入的数据模型"));
    ui->tabWidget->setCurrentIndex(ui->tabWidget->count() - 1);
}

void Form_2DGraph::addViewTab(KX_VolScheme2 *scheme)
{
    if (!scheme || !scheme->widget())
        return;
    // The form owns the scheme from now on; closing its tab frees both.
    scheme->setParent(this);
    m_volumeTabs.insert(scheme->widget(), scheme);
    ui->tabWidget->addTab(scheme->widget(), QStringLiteral("三维展示"));
    ui->tabWidget->setCurrentIndex(ui->tabWidget->count() - 1);
}

void Form_2DGraph::clearView()
{
    for (int i = ui->tabWidget->count() - 1; i >= 0; --i)
        closeTab(i);
    clearMesh();
    // New plots and map, as the form began with: nothing of the line shown
    // before, not its axes either.
    const int method = m_sectionPlot->contourMethod;
    auto *channel = new Graph_IsoLine(this);
    auto *section = new Graph_IsoLine(nullptr);
    m_plotMatrix->setPlotAt(channel, 0, 0);
    m_plotMatrix->setPlotAt(section, 1, 0);
    m_channelPlot = channel;
    m_sectionPlot = section;
    m_sectionPlot->contourMethod = method;
    m_plotMatrix->setRowHeightRatio(0, 0.35f);
    auto *map = new KXSpectrogramMap(nullptr);
    map->contourMethod = m_sectionMap->contourMethod;
    // Taken out and added anew rather than swapped in place: a swap leaves
    // the layout believing its item already has its geometry, and a map
    // swapped in while its page is hidden would keep its first size.
    m_mapLayout->removeWidget(m_sectionMap);
    delete m_sectionMap;
    m_mapLayout->addWidget(map);
    m_sectionMap = map;
    delete m_colorMap;
    m_colorMap = nullptr;
    ui->tabWidget->setCurrentIndex(0);
}

void Form_2DGraph::savePicture(QString path)
{
    ui->tabWidget->setCurrentIndex(0);
    // The page was hidden: let its layout size the plot before grabbing it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    m_sectionPlot->setStyleSheet(QStringLiteral("background-color: white;"));
    const QPixmap pixmap = m_sectionPlot->grab();
    m_sectionPlot->setStyleSheet(QString());
    ExportFiles::writePicture(pixmap.toImage(), path);
}

void Form_2DGraph::fitToWindow()
{
    if (!m_contourMap)
        return;
    m_contourMap->setGeometry(0, 0, ui->tabContours->width(), ui->tabContours->height());
    m_contourMap->renderMap();
}
