#ifndef HW_KX_VOLSCHEME2_H
#define HW_KX_VOLSCHEME2_H

#include "model/SharedTypes.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class QVTKOpenGLNativeWidget;
class QWidget;
class vtkActor;
class vtkColorTransferFunction;
class vtkCubeAxesActor;
class vtkGenericOpenGLRenderWindow;
class vtkOrientationMarkerWidget;
class vtkPiecewiseFunction;
class vtkPropAssembly;
class vtkRenderer;
class vtkTransform;
class vtkUnstructuredGrid;
class vtkVolume;

// The three-dimensional inversion result as a volume: the columns' points
// are tetrahedralised and ray-cast, framed by an outline and cube axes
// labelled in the data's own coordinates, with an orientation marker in the
// corner. Filled once by setVolumeData, then only shown. The header needs
// no VTK, so that the forms showing the view can include it.
class KX_VolScheme2 : public QObject
{
    Q_OBJECT

public:
    explicit KX_VolScheme2(QObject *parent = nullptr);
    ~KX_VolScheme2() override;

    // Builds and renders the scene. Points whose coordinate or value is not
    // finite are left out, and a column gives at most as many points as it
    // has values. Without points the scene stays empty (no volume, outline
    // or axes). The second list is not read. When the points enclose no
    // volume (one line of stations lies in one plane) the user is told so
    // with flatDataMessage(); the frame stays empty.
    void setVolumeData(QList<DataType_ThreeResultData> results, QList<double> second);

    // Whether the points span a volume that is drawn.
    bool spansVolume() const { return m_spansVolume; }
    static QString flatDataMessage();

    // The view widget, made without a parent; the tab widget that shows it
    // owns it. Deleted with this object only if nobody adopted it.
    QVTKOpenGLNativeWidget *m_vtkWidget = nullptr;
    QWidget *widget() const { return m_widget; }

    // The scene, for whoever needs to look into it.
    vtkRenderer *renderer() const;
    vtkGenericOpenGLRenderWindow *renderWindow() const;
    vtkOrientationMarkerWidget *orientationMarker() const;
    vtkPropAssembly *markerAssembly() const;
    vtkTransform *scalingTransform() const;
    // Null until setVolumeData has built them.
    vtkUnstructuredGrid *grid() const;
    vtkVolume *volume() const;
    vtkActor *outlineActor() const;
    vtkCubeAxesActor *cubeAxes() const;
    vtkColorTransferFunction *colorFunction() const;
    vtkPiecewiseFunction *scalarOpacity() const;
    vtkPiecewiseFunction *gradientOpacity() const;

    int pointCount() const { return m_pointCount; }
    double valueMin() const { return m_vmin; }
    double valueMax() const { return m_vmax; }
    // xmax, xmin, ymax, ymin, zmax, zmin; each maximum -1e6 and each
    // minimum 1e6 until points arrive.
    const double *dataExtent() const { return m_extent; }

private:
    // The widget's GL context is going (it moves to another window): free
    // what the scene holds in it.
    void releaseGraphics();

    struct Scene;
    std::unique_ptr<Scene> d;
    QPointer<QWidget> m_widget;
    float m_scale[3] = {1.0f, 1.0f, 1.0f};
    double m_extent[6] = {-1e6, 1e6, -1e6, 1e6, -1e6, 1e6};
    double m_vmax = -1e7;
    double m_vmin = 1e7;
    int m_pointCount = 0;
    bool m_hasExtent = false;
    bool m_spansVolume = false;
};

#endif
