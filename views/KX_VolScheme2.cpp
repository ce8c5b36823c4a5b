#include "views/KX_VolScheme2.h"
#include "views/CubeAxesActor.h"
#include "views/KX_VolWidget.h"

#include "model/UserPrompt.h"

#include <QVTKOpenGLNativeWidget.h>
#include <vtkActor.h>
#include <vtkAxesActor.h>
#include <vtkCamera.h>
#include <vtkColorTransferFunction.h>
#include <vtkCubeAxesActor.h>
#include <vtkDelaunay3D.h>
#include <vtkDoubleArray.h>
#include <vtkGenericOpenGLRenderWindow.h>
#include <vtkOrientationMarkerWidget.h>
#include <vtkOutlineFilter.h>
#include <vtkPiecewiseFunction.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkPropAssembly.h>
#include <vtkProperty.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkSmartPointer.h>
#include <vtkTextProperty.h>
#include <vtkTransform.h>
#include <vtkUnstructuredGrid.h>
#include <vtkUnstructuredGridVolumeRayCastMapper.h>
#include <vtkVolume.h>
#include <vtkVolumeProperty.h>

#include <algorithm>
#include <cmath>

namespace {

vtkSmartPointer<vtkUnstructuredGridVolumeRayCastMapper> volumeMapper(vtkUnstructuredGrid *grid)
{
    vtkSmartPointer<vtkUnstructuredGridVolumeRayCastMapper> mapper =
        vtkSmartPointer<vtkUnstructuredGridVolumeRayCastMapper>::New();
    mapper->SetInputData(grid);
    mapper->SetBlendModeToComposite();
    return mapper;
}

} // namespace

struct KX_VolScheme2::Scene {
    vtkSmartPointer<vtkCubeAxesActor> cubeAxes;
    vtkSmartPointer<vtkRenderer> renderer;
    vtkSmartPointer<vtkGenericOpenGLRenderWindow> renderWindow;
    vtkSmartPointer<vtkTransform> transform;
    vtkSmartPointer<vtkPropAssembly> assembly;
    vtkSmartPointer<vtkOrientationMarkerWidget> marker;

    vtkSmartPointer<vtkUnstructuredGrid> grid;
    vtkSmartPointer<vtkVolume> volume;
    vtkSmartPointer<vtkActor> outline;
    vtkSmartPointer<vtkColorTransferFunction> color;
    vtkSmartPointer<vtkPiecewiseFunction> scalarOpacity;
    vtkSmartPointer<vtkPiecewiseFunction> gradientOpacity;
};

KX_VolScheme2::KX_VolScheme2(QObject *parent)
    : QObject(parent)
    , d(new Scene)
{
    d->assembly = vtkSmartPointer<vtkPropAssembly>::New();
    d->transform = vtkSmartPointer<vtkTransform>::New();
    d->transform->PostMultiply();
    d->transform->Scale(m_scale[0], m_scale[1], m_scale[2]);

    auto *widget = new KX_VolWidget;
    m_vtkWidget = widget;
    m_widget = m_vtkWidget;
    connect(widget, &KX_VolWidget::contextAboutToBeLost, this, &KX_VolScheme2::releaseGraphics);
    d->renderWindow = vtkSmartPointer<vtkGenericOpenGLRenderWindow>::New();
    d->renderer = vtkSmartPointer<vtkRenderer>::New();

    d->renderer->SetBackground(1.0, 1.0, 1.0);
    d->renderer->SetBackground2(0.529, 0.8078, 0.92157);
    d->renderer->GradientBackgroundOn();

    d->renderWindow->AddRenderer(d->renderer);
    // The widget installs its own interactor on the window.
    m_vtkWidget->setRenderWindow(d->renderWindow);

    vtkSmartPointer<vtkAxesActor> axes = vtkSmartPointer<vtkAxesActor>::New();
    axes->SetPosition(0.0, 0.0, 0.0);
    axes->SetTotalLength(2.0, 2.0, 2.0);
    axes->SetShaftType(1);
    axes->SetCylinderRadius(0.02);
    d->assembly->AddPart(axes);

    d->marker = vtkSmartPointer<vtkOrientationMarkerWidget>::New();
    d->marker->SetOutlineColor(0.0, 0.0, 0.0);
    d->marker->SetOrientationMarker(d->assembly);
    d->marker->SetInteractor(d->renderWindow->GetInteractor());
    d->marker->SetEnabled(1);
    d->marker->EnabledOn();
}

KX_VolScheme2::~KX_VolScheme2()
{
    // The marker takes its renderer out of the window while both still live.
    if (d->marker)
        d->marker->SetEnabled(0);
    if (m_widget && !m_widget->parent())
        delete m_widget.data();
}

void KX_VolScheme2::setVolumeData(QList<DataType_ThreeResultData> results, QList<double> second)
{
    Q_UNUSED(second)

    vtkSmartPointer<vtkPoints> points = vtkSmartPointer<vtkPoints>::New();
    vtkSmartPointer<vtkDoubleArray> values = vtkSmartPointer<vtkDoubleArray>::New();
    values->SetNumberOfComponents(1);
    double vmax = -1e7;
    double vmin = 1e7;

    for (const DataType_ThreeResultData &r : qAsConst(results)) {
        if (!std::isfinite(r.x) || !std::isfinite(r.y))
            continue;
        const int n = std::min(r.z.size(), r.value.size());
        for (int j = 0; j < n; ++j) {
            const double z = r.z[j];
            const double v = r.value[j];
            // One bad point would spoil the tetrahedralisation and the range.
            if (!std::isfinite(z) || !std::isfinite(v))
                continue;
            // The seeds only stand for "nothing yet": data beyond them (values
            // above 1e7, northings above 1e6) must still set the range.
            if (points->GetNumberOfPoints() == 0)
                vmax = vmin = v;
            if (!m_hasExtent) {
                m_extent[0] = m_extent[1] = r.x;
                m_extent[2] = m_extent[3] = r.y;
                m_extent[4] = m_extent[5] = z;
                m_hasExtent = true;
            }
            points->InsertNextPoint(r.x, r.y, z);
            values->InsertNextValue(v);
            vmax = std::max(vmax, v);
            vmin = std::min(vmin, v);
            m_extent[0] = std::max(m_extent[0], r.x);
            m_extent[1] = std::min(m_extent[1], r.x);
            m_extent[2] = std::max(m_extent[2], r.y);
            m_extent[3] = std::min(m_extent[3], r.y);
            m_extent[4] = std::max(m_extent[4], z);
            m_extent[5] = std::min(m_extent[5], z);
        }
    }
    m_vmax = vmax;
    m_vmin = vmin;
    m_pointCount = static_cast<int>(points->GetNumberOfPoints());

    if (m_pointCount > 0) {
        vtkSmartPointer<vtkPolyData> cloud = vtkSmartPointer<vtkPolyData>::New();
        cloud->SetPoints(points);
        vtkSmartPointer<vtkDelaunay3D> delaunay = vtkSmartPointer<vtkDelaunay3D>::New();
        delaunay->SetInputData(cloud);
        delaunay->Update();
        d->grid = delaunay->GetOutput();
        // The tetrahedralisation keeps the input points in order.
        d->grid->GetPointData()->SetScalars(values);

        d->scalarOpacity = vtkSmartPointer<vtkPiecewiseFunction>::New();
        d->scalarOpacity->AddPoint(vmin, 0.3);
        d->scalarOpacity->AddPoint(vmax, 0.3);

        d->color = vtkSmartPointer<vtkColorTransferFunction>::New();
        d->color->AddRGBPoint(vmin, 0.0, 0.0, 1.0);
        d->color->AddRGBPoint(0.75 * vmin + 0.25 * vmax, 0.0, 1.0, 1.0);
        d->color->AddRGBPoint(0.5 * vmin + 0.5 * vmax, 0.0, 1.0, 0.0);
        d->color->AddRGBPoint(0.25 * vmin + 0.75 * vmax, 1.0, 1.0, 0.0);
        d->color->AddRGBPoint(vmax, 1.0, 0.0, 0.0);

        d->gradientOpacity = vtkSmartPointer<vtkPiecewiseFunction>::New();
        d->gradientOpacity->AddPoint(vmin, 0.3);
        d->gradientOpacity->AddPoint(vmax, 0.5);

        vtkSmartPointer<vtkVolumeProperty> property = vtkSmartPointer<vtkVolumeProperty>::New();
        property->SetColor(0, d->color);
        property->SetScalarOpacity(0, d->scalarOpacity);
        property->SetGradientOpacity(0, d->gradientOpacity);
        property->SetInterpolationTypeToLinear();
        property->ShadeOff(0);

        d->volume = vtkSmartPointer<vtkVolume>::New();
        d->volume->SetMapper(volumeMapper(d->grid));
        d->volume->SetProperty(property);
        d->renderer->AddVolume(d->volume);

        vtkSmartPointer<vtkOutlineFilter> outline = vtkSmartPointer<vtkOutlineFilter>::New();
        outline->SetInputData(d->grid);
        vtkSmartPointer<vtkPolyDataMapper> outlineMapper =
            vtkSmartPointer<vtkPolyDataMapper>::New();
        outlineMapper->SetInputConnection(outline->GetOutputPort(0));
        d->outline = vtkSmartPointer<vtkActor>::New();
        d->outline->SetMapper(outlineMapper);
        d->outline->GetProperty()->SetColor(0.0, 0.0, 0.0);
        d->outline->SetUserTransform(d->transform);
        d->renderer->AddActor(d->outline);

        d->cubeAxes = vtkSmartPointer<CubeAxesActor>::New();
        d->cubeAxes->SetBounds(d->outline->GetBounds());
        d->cubeAxes->SetCamera(d->renderer->GetActiveCamera());
        d->cubeAxes->SetXAxisRange(m_extent[1], m_extent[0]);
        d->cubeAxes->SetYAxisRange(m_extent[3], m_extent[2]);
        d->cubeAxes->SetZAxisRange(m_extent[5], m_extent[4]);
        d->cubeAxes->GetXAxesLinesProperty()->SetLineWidth(1.5);
        d->cubeAxes->GetYAxesLinesProperty()->SetLineWidth(1.5);
        d->cubeAxes->GetZAxesLinesProperty()->SetLineWidth(1.5);
        d->cubeAxes->GetXAxesLinesProperty()->SetColor(1.0, 0.0, 0.0);
        d->cubeAxes->GetYAxesLinesProperty()->SetColor(0.0, 1.0, 0.0);
        d->cubeAxes->GetZAxesLinesProperty()->SetColor(0.0, 0.0, 1.0);
        d->cubeAxes->GetXAxesGridlinesProperty()->SetColor(1.0, 0.0, 0.0);
        d->cubeAxes->GetYAxesGridlinesProperty()->SetColor(0.0, 1.0, 0.0);
        d->cubeAxes->GetZAxesGridlinesProperty()->SetColor(0.0, 0.0, 1.0);
        d->cubeAxes->DrawXGridlinesOn();
        d->cubeAxes->DrawYGridlinesOn();
        d->cubeAxes->DrawZGridlinesOn();
        d->cubeAxes->XAxisMinorTickVisibilityOff();
        d->cubeAxes->YAxisMinorTickVisibilityOff();
        d->cubeAxes->ZAxisMinorTickVisibilityOff();
        d->cubeAxes->DrawXInnerGridlinesOn();
        d->cubeAxes->DrawYInnerGridlinesOn();
        d->cubeAxes->DrawZInnerGridlinesOn();
        d->cubeAxes->SetGridLineLocation(vtkCubeAxesActor::VTK_GRID_LINES_FURTHEST);
        d->cubeAxes->SetFlyMode(vtkCubeAxesActor::VTK_FLY_OUTER_EDGES);
        // The toolkit's white text would vanish on the light background.
        for (int axis = 0; axis < 3; ++axis) {
            d->cubeAxes->GetTitleTextProperty(axis)->SetColor(0.0, 0.0, 0.0);
            d->cubeAxes->GetLabelTextProperty(axis)->SetColor(0.0, 0.0, 0.0);
        }
        d->cubeAxes->SetScreenSize(6.0);
        d->cubeAxes->SetLabelOffset(5.0);
        d->renderer->AddActor(d->cubeAxes);
    }

    // Points in one plane give no tetrahedra, and the ray caster draws
    // nothing.
    m_spansVolume = d->grid && d->grid->GetNumberOfCells() > 0;
    if (!m_spansVolume)
        UserPrompt::information(flatDataMessage());

    d->renderer->ResetCamera();
    m_vtkWidget->update();
    // A no-op until the widget has a GL context of its own.
    d->renderWindow->Render();
    // Once more: the axes lay their labels out on the first picture.
    d->renderWindow->Render();
}

QString KX_VolScheme2::flatDataMessage()
{
    return QStringLiteral("测点不构成立体，三维展示至少需要两条测线！");
}

void KX_VolScheme2::releaseGraphics()
{
    d->renderWindow->ReleaseGraphicsResources(d->renderWindow);
    // The ray caster keeps a shader of the old context that the release
    // above does not reach; a new mapper builds everything afresh in the
    // next context, at its first render.
    if (d->volume && d->grid)
        d->volume->SetMapper(volumeMapper(d->grid));
}

vtkRenderer *KX_VolScheme2::renderer() const { return d->renderer; }
vtkGenericOpenGLRenderWindow *KX_VolScheme2::renderWindow() const { return d->renderWindow; }
vtkOrientationMarkerWidget *KX_VolScheme2::orientationMarker() const { return d->marker; }
vtkPropAssembly *KX_VolScheme2::markerAssembly() const { return d->assembly; }
vtkTransform *KX_VolScheme2::scalingTransform() const { return d->transform; }
vtkUnstructuredGrid *KX_VolScheme2::grid() const { return d->grid; }
vtkVolume *KX_VolScheme2::volume() const { return d->volume; }
vtkActor *KX_VolScheme2::outlineActor() const { return d->outline; }
vtkCubeAxesActor *KX_VolScheme2::cubeAxes() const { return d->cubeAxes; }
vtkColorTransferFunction *KX_VolScheme2::colorFunction() const { return d->color; }
vtkPiecewiseFunction *KX_VolScheme2::scalarOpacity() const { return d->scalarOpacity; }
vtkPiecewiseFunction *KX_VolScheme2::gradientOpacity() const { return d->gradientOpacity; }
