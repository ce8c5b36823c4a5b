#include "views/Dialog_3DataVisualization.h"
#include "ui_Dialog_3DataVisualization.h"
#include "model/ExportFiles.h"
#include "views/CubeAxesActor.h"
#include "views/VolumeValueFile.h"

#include <QVTKOpenGLNativeWidget.h>
#include <vtkActor.h>
#include <vtkCubeAxesActor.h>
#include <vtkDataSetMapper.h>
#include <vtkDoubleArray.h>
#include <vtkGenericOpenGLRenderWindow.h>
#include <vtkImageData.h>
#include <vtkLookupTable.h>
#include <vtkMarchingCubes.h>
#include <vtkNamedColors.h>
#include <vtkOutlineFilter.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyDataMapper.h>
#include <vtkPolyVertex.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>
#include <vtkUnsignedCharArray.h>
#include <vtkUnstructuredGrid.h>
#include <vtkVectorNorm.h>

#include <QColorDialog>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalBlocker>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

enum Representation { Points, Surface, Wireframe };

// Grids beyond this many nodes would exhaust the memory of the worker and
// the view.
constexpr qint64 kMaxNodes = 256 * 256 * 256;

int sliderInt(double v)
{
    return VolumeValueFile::truncated(v);
}

} // namespace

Dialog_3DataVisualization::Dialog_3DataVisualization(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_3DataVisualization)
    , m_interp(new Interpolation)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);

    ui->radioButton_surface->setChecked(true);
    ui->radioButton_ShowIsoSurface->setChecked(true);

    m_vtkWidget = new QVTKOpenGLNativeWidget;
    vtkSmartPointer<vtkNamedColors> colors = vtkSmartPointer<vtkNamedColors>::New();
    m_renderWindow = vtkSmartPointer<vtkGenericOpenGLRenderWindow>::New();
    m_renderer = vtkSmartPointer<vtkRenderer>::New();
    m_renderWindow->AddRenderer(m_renderer);
    m_renderer->SetBackground(colors->GetColor3d("SlateGray").GetData());
    m_vtkWidget->setRenderWindow(m_renderWindow);
    ui->groupBox->layout()->addWidget(m_vtkWidget);

    ui->radioButton_scatter->setEnabled(false);
    ui->radioButton_surface->setEnabled(false);
    ui->radioButton_triange->setEnabled(false);
    ui->horizontalSlider->setEnabled(false);
    ui->pushButton_show->setEnabled(false);

    connect(&m_thread, SIGNAL(started()), m_interp, SLOT(threadStarted()));
    connect(&m_thread, SIGNAL(finished()), this, SLOT(threadFinished()));
    connect(m_interp, SIGNAL(MakeProgress(int)), this, SLOT(on_MakeProgressChanged(int)));
    connect(m_interp, SIGNAL(interpfinished()), &m_thread, SLOT(quit()));
}

Dialog_3DataVisualization::~Dialog_3DataVisualization()
{
    m_thread.quit();
    m_thread.wait();
    delete m_interp;
    delete ui;
}

vtkRenderer *Dialog_3DataVisualization::renderer() const { return m_renderer; }
vtkActor *Dialog_3DataVisualization::dataActor() const { return m_dataActor; }
vtkActor *Dialog_3DataVisualization::outlineActor() const { return m_outlineActor; }
vtkCubeAxesActor *Dialog_3DataVisualization::cubeAxes() const { return m_cubeAxes; }
vtkMarchingCubes *Dialog_3DataVisualization::marchingCubes() const { return m_marchingCubes; }

void Dialog_3DataVisualization::scaleFactors(double dx, double dy, double dz, double *fx,
                                             double *fy, double *fz)
{
    *fx = *fy = *fz = 1.0;
    if (dy > dx && dz > dx) {
        *fy = dy / dx;
        *fz = dz / dx;
    }
    if (dx > dy && dz > dy) {
        *fy = 1.0;
        *fx = dx / dy;
        *fz = dz / dy;
    }
    if (dy > dz && dx > dz) {
        *fz = 1.0;
        *fy = dy / dz;
        *fx = dx / dz;
    }
}

QColor Dialog_3DataVisualization::colorAtValue(float t)
{
    struct Stop {
        float at;
        int r, g, b;
    };
    static const Stop stops[] = {{0.1f, 0, 0, 255},   {0.2f, 0, 255, 255}, {0.3f, 0, 255, 0},
                                 {0.4f, 255, 255, 0}, {0.6f, 255, 0, 0},   {1.0f, 139, 35, 35}};
    if (!(t > 0.1f))
        return QColor(0, 0, 255);
    t = std::min(t, 1.0f);
    int upper = 1;
    while (upper < 5 && t > stops[upper].at)
        ++upper;
    const Stop &lo = stops[upper - 1];
    const Stop &hi = stops[upper];
    const float f = (t - lo.at) / (hi.at - lo.at);
    auto channel = [f](int l, int h) {
        return static_cast<int>(static_cast<float>(h - l) * f + 0.5f + static_cast<float>(l));
    };
    return QColor(channel(lo.r, hi.r), channel(lo.g, hi.g), channel(lo.b, hi.b), 255);
}

QImage Dialog_3DataVisualization::scatterPalette()
{
    QLinearGradient gradient(0, 0, 1, 100);
    gradient.setColorAt(0.0, QColor(147, 112, 219));
    gradient.setColorAt(0.05, QColor(0, 0, 255));
    gradient.setColorAt(0.15, QColor(0, 255, 255));
    gradient.setColorAt(0.25, QColor(0, 255, 0));
    gradient.setColorAt(0.4, QColor(255, 255, 0));
    gradient.setColorAt(0.55, QColor(255, 193, 193));
    gradient.setColorAt(0.7, QColor(255, 0, 0));
    gradient.setColorAt(1.0, QColor(255, 0, 255));

    QImage image(4, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRect(0, 0, 4, 100);
    painter.end();
    return image;
}

QColor Dialog_3DataVisualization::scatterColor(double value, double min, double max)
{
    static const QImage palette = scatterPalette();
    int row = 0;
    const double width = max - min;
    if (std::isfinite(value) && width > 0.0 && std::isfinite(width)) {
        const double r = 100.0 * (value - min) / width;
        row = static_cast<int>(std::max(0.0, std::min(99.0, r)));
    }
    return palette.pixelColor(2, row);
}

bool Dialog_3DataVisualization::workerHasData() const
{
    return m_interp->getMaxValue() >= m_interp->getMinValue();
}

void Dialog_3DataVisualization::on_pushButton_interp_clicked()
{
    // The worker reads its points and grid size until it ends.
    if (m_running)
        return;

    bool okx = false;
    bool oky = false;
    bool okz = false;
    const int nx = ui->lineEdit_xdim->text().trimmed().toInt(&okx);
    const int ny = ui->lineEdit_ydim->text().trimmed().toInt(&oky);
    const int nz = ui->lineEdit_zdim->text().trimmed().toInt(&okz);
    if (!okx || !oky || !okz || nx < 2 || ny < 2 || nz < 2) {
        QMessageBox::warning(this, QStringLiteral("提示"),
                             QStringLiteral("X、Y、Z点数须为不小于2的整数"));
        return;
    }
    if (static_cast<qint64>(nx) * ny * nz > kMaxNodes) {
        QMessageBox::warning(this, QStringLiteral("提示"),
                             QStringLiteral("网格点数过多，请减少X、Y、Z点数"));
        return;
    }

    ui->pushButton_show->setEnabled(false);
    m_interp->setData(m_points);
    m_nx = nx;
    m_ny = ny;
    m_nz = nz;
    m_interp->setGridSize(nx, ny, nz);

    const double maxX = m_interp->getMaxX();
    const double minX = m_interp->getMinX();
    const double maxY = m_interp->getMaxY();
    const double minY = m_interp->getMinY();
    const double maxZ = m_interp->getMaxZ();
    const double minZ = m_interp->getMinZ();
    const double mean = m_interp->getMean();
    qDebug() << maxZ << minZ;
    qDebug() << "m_interp->getMean(): " + QString::number(mean, 'g', 6);
    qDebug() << QString::number(m_interp->getMinValue(), 'g', 6) + "minvalue";
    qDebug() << QString::number(m_interp->getMaxValue(), 'g', 6) + "maxvalue";

    const double dx = (maxX - minX) / (nx - 1);
    const double dy = (maxY - minY) / (ny - 1);
    const double dz = (maxZ - minZ) / (nz - 1);
    scaleFactors(dx, dy, dz, &m_fx, &m_fy, &m_fz);

    m_isoValue = mean;
    ui->label_IsoValue->setText(QString::number(mean, 'g', 6));

    m_running = true;
    ui->pushButton_interp->setEnabled(false);
    ui->progressBar->setValue(0);
    if (m_interp->thread() != &m_thread)
        m_interp->moveToThread(&m_thread);
    m_thread.start(QThread::HighestPriority);
}

void Dialog_3DataVisualization::on_MakeProgressChanged(int value)
{
    ui->progressBar->setValue(value);
}

void Dialog_3DataVisualization::threadFinished()
{
    qDebug() << "threadFinished is started...";
    m_running = false;
    ui->pushButton_interp->setEnabled(true);
    ui->pushButton_show->setEnabled(true);
    on_pushButton_show_clicked();
}

void Dialog_3DataVisualization::on_pushButton_show_clicked()
{
    // The results belong to the worker's thread until it has finished.
    if (m_running)
        return;
    if (ui->radioButton_ShowIsoSurface->isChecked())
        on_ISOSurfaceValueChanged(m_interp->resultValues());
    else if (ui->radioButton_showScatter->isChecked())
        renderScatter(m_interp->resultNodes());
}

void Dialog_3DataVisualization::on_ISOSurfaceValueChanged(QList<double> values)
{
    renderIsoSurface(values, m_isoValue, m_fx, m_fy, m_fz);
}

void Dialog_3DataVisualization::removeDataActors()
{
    if (m_dataActor)
        m_renderer->RemoveActor(m_dataActor);
    if (m_cubeAxes)
        m_renderer->RemoveActor(m_cubeAxes);
    if (m_outlineActor)
        m_renderer->RemoveActor(m_outlineActor);
    m_dataActor = nullptr;
    m_cubeAxes = nullptr;
    m_outlineActor = nullptr;
    m_dataIsIsoSurface = false;
}

void Dialog_3DataVisualization::addCubeAxes(const double bounds[6], const double ranges[6])
{
    m_cubeAxes = vtkSmartPointer<CubeAxesActor>::New();
    m_cubeAxes->SetBounds(bounds[0], bounds[1], bounds[2], bounds[3], bounds[4], bounds[5]);
    m_cubeAxes->SetCamera(m_renderer->GetActiveCamera());
    m_cubeAxes->SetXTitle("X /m");
    m_cubeAxes->SetYTitle("Y/m");
    m_cubeAxes->SetZTitle("Z/m");
    m_cubeAxes->SetLabelScaling(false, 0, 0, 0);
    m_cubeAxes->SetXAxisRange(ranges[0], ranges[1]);
    m_cubeAxes->SetYAxisRange(ranges[2], ranges[3]);
    m_cubeAxes->SetZAxisRange(ranges[4], ranges[5]);
}

void Dialog_3DataVisualization::refreshView()
{
    m_renderer->ResetCamera();
    m_vtkWidget->update();
    // A no-op until the widget has a GL context of its own.
    m_renderWindow->Render();
    // Once more: the axes lay their labels out on the first picture.
    m_renderWindow->Render();
}

void Dialog_3DataVisualization::setRepresentation(int representation)
{
    if (!m_dataActor)
        return;
    switch (representation) {
    case Points:
        m_dataActor->GetProperty()->SetRepresentationToPoints();
        break;
    case Wireframe:
        m_dataActor->GetProperty()->SetRepresentationToWireframe();
        break;
    default:
        m_dataActor->GetProperty()->SetRepresentationToSurface();
        break;
    }
}

bool Dialog_3DataVisualization::renderIsoSurface(const QList<double> &values, double iso,
                                                 double fx, double fy, double fz)
{
    const qint64 nodes = static_cast<qint64>(m_nx) * m_ny * m_nz;
    if (m_nx < 1 || m_ny < 1 || m_nz < 1 || values.size() != nodes) {
        qDebug() << "renderIsoSurface: " << values.size() << "values for" << nodes << "nodes";
        return false;
    }

    removeDataActors();

    vtkSmartPointer<vtkImageData> image = vtkSmartPointer<vtkImageData>::New();
    image->SetDimensions(m_nx, m_ny, m_nz);
    image->SetSpacing(fx, fy, fz);
    image->SetOrigin(0.0, 0.0, 0.0);
    vtkSmartPointer<vtkDoubleArray> scalars = vtkSmartPointer<vtkDoubleArray>::New();
    scalars->SetNumberOfComponents(1);
    scalars->Allocate(nodes);
    double vmin = 0.0;
    double vmax = 0.0;
    double sum = 0.0;
    int finite = 0;
    for (double v : values) {
        scalars->InsertNextTuple1(v);
        if (!std::isfinite(v))
            continue;
        vmin = finite ? std::min(vmin, v) : v;
        vmax = finite ? std::max(vmax, v) : v;
        sum += v;
        ++finite;
    }
    image->GetPointData()->SetScalars(scalars);

    m_marchingCubes = vtkSmartPointer<vtkMarchingCubes>::New();
    m_marchingCubes->SetInputData(image);
    m_marchingCubes->SetValue(0, iso);
    m_marchingCubes->ComputeGradientsOn();
    m_marchingCubes->ComputeNormalsOff();
    m_marchingCubes->ComputeScalarsOff();
    m_marchingCubes->ReleaseDataFlagOn();

    vtkSmartPointer<vtkVectorNorm> norm = vtkSmartPointer<vtkVectorNorm>::New();
    norm->SetInputConnection(m_marchingCubes->GetOutputPort());
    vtkSmartPointer<vtkDataSetMapper> mapper = vtkSmartPointer<vtkDataSetMapper>::New();
    mapper->SetInputConnection(norm->GetOutputPort());
    // The actor's colour shows, so that the colour button and the slider
    // change what the user sees.
    mapper->ScalarVisibilityOff();
    m_dataActor = vtkSmartPointer<vtkActor>::New();
    m_dataActor->SetMapper(mapper);
    m_dataActor->GetProperty()->SetColor(0.8, 0.41, 0.22);

    if (ui->radioButton_scatter->isChecked())
        setRepresentation(Points);
    else if (ui->radioButton_surface->isChecked())
        setRepresentation(Surface);
    else if (ui->radioButton_triange->isChecked())
        setRepresentation(Wireframe);

    // Labels in real coordinates while the geometry is in scaled grid units;
    // a grid imported before any gridding is labelled in node numbers.
    double ranges[6] = {0.0, m_nx - 1.0, 0.0, m_ny - 1.0, 0.0, m_nz - 1.0};
    if (workerHasData()) {
        ranges[0] = m_interp->getMinX();
        ranges[1] = m_interp->getMaxX();
        ranges[2] = m_interp->getMinY();
        ranges[3] = m_interp->getMaxY();
        ranges[4] = m_interp->getMinZ();
        ranges[5] = m_interp->getMaxZ();
    }
    addCubeAxes(image->GetBounds(), ranges);

    vtkSmartPointer<vtkOutlineFilter> outline = vtkSmartPointer<vtkOutlineFilter>::New();
    outline->SetInputData(image);
    vtkSmartPointer<vtkPolyDataMapper> outlineMapper = vtkSmartPointer<vtkPolyDataMapper>::New();
    outlineMapper->SetInputConnection(outline->GetOutputPort());
    m_outlineActor = vtkSmartPointer<vtkActor>::New();
    m_outlineActor->SetMapper(outlineMapper);
    m_outlineActor->GetProperty()->SetColor(1.0, 1.0, 0.0);

    m_renderer->AddActor(m_cubeAxes);
    m_renderer->AddActor(m_outlineActor);
    m_renderer->AddActor(m_dataActor);
    m_dataIsIsoSurface = true;
    refreshView();

    ui->radioButton_scatter->setEnabled(true);
    ui->radioButton_surface->setEnabled(true);
    ui->radioButton_triange->setEnabled(true);
    ui->horizontalSlider->setEnabled(true);

    if (workerHasData()) {
        m_sliderMin = m_interp->getMinValue();
        m_sliderMax = m_interp->getMaxValue();
        setSliderFromStatistics(m_sliderMin, m_sliderMax, m_interp->getMean());
    } else {
        // Nothing gridded yet: the slider keeps the limits that the import
        // gave it, and the colour fraction runs over the drawn values.
        m_sliderMin = vmin;
        m_sliderMax = vmax;
        QSignalBlocker block(ui->horizontalSlider);
        ui->horizontalSlider->setValue(sliderInt(finite ? sum / finite : 0.0));
    }
    return true;
}

void Dialog_3DataVisualization::setSliderFromStatistics(double min, double max, double mean)
{
    // Moving the handle here must not replace the iso value just drawn.
    QSignalBlocker block(ui->horizontalSlider);
    ui->horizontalSlider->setMaximum(sliderInt(max));
    ui->horizontalSlider->setMinimum(sliderInt(min));
    ui->horizontalSlider->setValue(sliderInt(mean));
}

void Dialog_3DataVisualization::renderScatter(const QVector<ScatterPoint> &nodes)
{
    removeDataActors();

    vtkSmartPointer<vtkPoints> points = vtkSmartPointer<vtkPoints>::New();
    double vmin = 100000.0;
    double vmax = -100000.0;
    bool seeded = false;
    for (const ScatterPoint &p : nodes) {
        points->InsertNextPoint(p.x, p.y, p.z);
        if (!std::isfinite(p.value))
            continue;
        // Values beyond the seeds must still set the range.
        if (!seeded) {
            vmin = vmax = p.value;
            seeded = true;
        }
        vmin = std::min(vmin, p.value);
        vmax = std::max(vmax, p.value);
    }

    vtkSmartPointer<vtkUnsignedCharArray> colors = vtkSmartPointer<vtkUnsignedCharArray>::New();
    colors->SetNumberOfComponents(3);
    colors->SetName("Colors");
    for (const ScatterPoint &p : nodes) {
        const QColor c = scatterColor(p.value, vmin, vmax);
        colors->InsertNextTuple3(c.red(), c.green(), c.blue());
    }

    vtkSmartPointer<vtkPolyVertex> polyVertex = vtkSmartPointer<vtkPolyVertex>::New();
    polyVertex->GetPointIds()->SetNumberOfIds(nodes.size());
    for (int i = 0; i < nodes.size(); ++i)
        polyVertex->GetPointIds()->SetId(i, i);

    vtkSmartPointer<vtkUnstructuredGrid> grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
    grid->SetPoints(points);
    if (!nodes.isEmpty())
        grid->InsertNextCell(polyVertex->GetCellType(), polyVertex->GetPointIds());
    grid->GetPointData()->SetScalars(colors);

    vtkSmartPointer<vtkLookupTable> lut = vtkSmartPointer<vtkLookupTable>::New();
    if (vmax >= vmin)
        lut->SetTableRange(vmin, vmax);
    lut->Build();
    vtkSmartPointer<vtkDataSetMapper> mapper = vtkSmartPointer<vtkDataSetMapper>::New();
    mapper->SetInputData(grid);
    mapper->SetLookupTable(lut);
    m_dataActor = vtkSmartPointer<vtkActor>::New();
    m_dataActor->SetMapper(mapper);
    m_dataActor->GetProperty()->SetPointSize(10);

    if (!nodes.isEmpty()) {
        const double *bounds = grid->GetBounds();
        double ranges[6] = {m_interp->getMinX(), m_interp->getMaxX(), m_interp->getMinY(),
                            m_interp->getMaxY(), m_interp->getMinZ(), m_interp->getMaxZ()};
        if (!workerHasData())
            std::copy(bounds, bounds + 6, ranges);
        addCubeAxes(bounds, ranges);

        vtkSmartPointer<vtkOutlineFilter> outline = vtkSmartPointer<vtkOutlineFilter>::New();
        outline->SetInputData(grid);
        vtkSmartPointer<vtkPolyDataMapper> outlineMapper =
            vtkSmartPointer<vtkPolyDataMapper>::New();
        outlineMapper->SetInputConnection(outline->GetOutputPort());
        m_outlineActor = vtkSmartPointer<vtkActor>::New();
        m_outlineActor->SetMapper(outlineMapper);
        m_outlineActor->GetProperty()->SetColor(1.0, 1.0, 0.0);
        m_renderer->AddActor(m_cubeAxes);
        m_renderer->AddActor(m_outlineActor);
    }
    m_renderer->AddActor(m_dataActor);
    refreshView();
}

void Dialog_3DataVisualization::on_horizontalSlider_valueChanged(int value)
{
    ui->label_IsoValue->setText(QString::number(value));
    if (!m_dataIsIsoSurface || !m_marchingCubes || !m_dataActor)
        return;
    const float t = static_cast<float>((value - m_sliderMin) / (m_sliderMax - m_sliderMin));
    // A range of no width has no fraction: one fixed colour.
    const QColor c = (m_sliderMax > m_sliderMin) ? colorAtValue(t) : colorAtValue(0.0f);
    m_marchingCubes->SetValue(0, value);
    m_dataActor->GetProperty()->SetColor(c.redF(), c.greenF(), c.blueF());
    refreshView();
}

void Dialog_3DataVisualization::on_pushButton_Color_clicked()
{
    QRandomGenerator *random = QRandomGenerator::global();
    const QColor start(random->bounded(256), random->bounded(256), random->bounded(256));
    const QColor color = QColorDialog::getColor(start, this, QStringLiteral("Select step color"));
    if (!color.isValid() || !m_dataActor)
        return;
    m_dataActor->GetProperty()->SetColor(color.redF(), color.greenF(), color.blueF());
    refreshView();
}

void Dialog_3DataVisualization::chooseRepresentation(QRadioButton *chosen, int representation)
{
    chosen->setChecked(true);
    for (QRadioButton *button : {ui->radioButton_scatter, ui->radioButton_surface, ui->radioButton_triange}) {
        if (button != chosen)
            button->setChecked(false);
    }
    setRepresentation(representation);
    refreshView();
}

void Dialog_3DataVisualization::on_radioButton_scatter_clicked()
{
    chooseRepresentation(ui->radioButton_scatter, Points);
}

void Dialog_3DataVisualization::on_radioButton_surface_clicked()
{
    chooseRepresentation(ui->radioButton_surface, Surface);
}

void Dialog_3DataVisualization::on_radioButton_triange_clicked()
{
    chooseRepresentation(ui->radioButton_triange, Wireframe);
}

// The representation choices and the iso slider only act on an iso-surface.
void Dialog_3DataVisualization::chooseDisplayMode(QRadioButton *chosen, QRadioButton *other, bool isoSurface)
{
    chosen->setChecked(true);
    other->setChecked(false);
    ui->radioButton_scatter->setEnabled(isoSurface);
    ui->radioButton_surface->setEnabled(isoSurface);
    ui->radioButton_triange->setEnabled(isoSurface);
    ui->horizontalSlider->setEnabled(isoSurface);
}

void Dialog_3DataVisualization::on_radioButton_ShowIsoSurface_clicked()
{
    chooseDisplayMode(ui->radioButton_ShowIsoSurface, ui->radioButton_showScatter, true);
}

void Dialog_3DataVisualization::on_radioButton_showScatter_clicked()
{
    chooseDisplayMode(ui->radioButton_showScatter, ui->radioButton_ShowIsoSurface, false);
}

bool Dialog_3DataVisualization::exportPoints(const QString &path) const
{
    // Positions and numbers read back to what the list holds (six
    // significant digits moved projected coordinates by metres); the file
    // is replaced whole or not at all.
    QString text = QStringList{"x", "y", "z", "line", "point", "value"}.join(",") + "\n";
    for (const VolumePoint &p : m_points) {
        const QStringList fields{ExportFiles::number(p.x),    ExportFiles::number(p.y),
                                 ExportFiles::number(p.z),    ExportFiles::number(p.line),
                                 ExportFiles::number(p.station), QString::number(p.value, 'g', 6)};
        text += fields.join(",") + "\n";
    }
    return ExportFiles::writeWhole(path, text.toUtf8());
}

void Dialog_3DataVisualization::on_pushButton_SaveData_clicked()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存文件"),
                                                      QDir::currentPath(),
                                                      QStringLiteral("3D数据文件 (*.dat)"));
    if (path.isEmpty())
        return;
    if (!exportPoints(path)) {
        QMessageBox::warning(nullptr, QStringLiteral("提示"),
                             QStringLiteral("保存数据失败：%1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    QMessageBox box;
    box.setText(QStringLiteral("保存数据成功"));
    box.exec();
}

bool Dialog_3DataVisualization::readValueFile(const QString &path, QList<double> *values,
                                              int *largest, QString *error)
{
    return VolumeValueFile::read(path, values, largest, error);
}

bool Dialog_3DataVisualization::importValues(const QString &path, QString *error)
{
    QList<double> values;
    int largest = -1000;
    if (!readValueFile(path, &values, &largest, error))
        return false;
    const qint64 nodes = static_cast<qint64>(m_nx) * m_ny * m_nz;
    if (values.size() != nodes) {
        *error = QStringLiteral("数据个数(%1)与网格点数(%2×%3×%4=%5)不一致")
                     .arg(values.size())
                     .arg(m_nx)
                     .arg(m_ny)
                     .arg(m_nz)
                     .arg(nodes);
        return false;
    }

    {
        QSignalBlocker block(ui->horizontalSlider);
        ui->horizontalSlider->setMaximum(largest);
        ui->horizontalSlider->setMinimum(0);
    }
    return renderIsoSurface(values, 5318.0, 1.0, 1.0, 1.0);
}

void Dialog_3DataVisualization::on_pushButton_import_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("打开文件"),
                                                      QDir::currentPath(),
                                                      QStringLiteral("数据文件 (*.txt)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!importValues(path, &error) && !error.isEmpty())
        QMessageBox::warning(this, QStringLiteral("提示"), error);
}
