#ifndef HW_DIALOG_3DATAVISUALIZATION_H
#define HW_DIALOG_3DATAVISUALIZATION_H

#include "gridding/Interpolation.h"

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QList>
#include <QString>
#include <QThread>
#include <QVector>

#include <vtkSmartPointer.h>

class QRadioButton;
class QVTKOpenGLNativeWidget;
class vtkActor;
class vtkCubeAxesActor;
class vtkGenericOpenGLRenderWindow;
class vtkMarchingCubes;
class vtkRenderer;

namespace Ui {
class Dialog_3DataVisualization;
}

// Grids a set of three-dimensional points into a volume in a worker thread
// and shows it as coloured scatter nodes or as an iso-surface picked with
// the slider; exports the points as text and imports grid values from text.
class Dialog_3DataVisualization : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_3DataVisualization(QWidget *parent = nullptr);
    // Waits for a running gridding to end.
    ~Dialog_3DataVisualization() override;

    // The points to grid.
    void setPointList(const QVector<VolumePoint> &points) { m_points = points; }
    const QVector<VolumePoint> &pointList() const { return m_points; }

    // Writes the header "x,y,z,line,point,value" and one line per point,
    // replacing the file whole; false when it was not written.
    bool exportPoints(const QString &path) const;

    // Reads the first field of every line as one grid value (the first line
    // is data too; empty lines are skipped). *largest gets the largest
    // truncated value of the lines after the first (-1000 when there are
    // none). False when the file cannot be opened (*error empty) or a line
    // does not start with a number (*error says which).
    static bool readValueFile(const QString &path, QList<double> *values, int *largest,
                              QString *error);
    // Reads the file and draws its values as the current nx x ny x nz grid
    // at the iso value 5318 with unit spacing. False, drawing nothing, when
    // the file cannot be read (*error empty when it could not be opened) or
    // holds another number of values than the grid has nodes.
    bool importValues(const QString &path, QString *error);

    // The axis with the smallest step keeps factor 1, the others get their
    // step divided by it; ties leave all at 1.
    static void scaleFactors(double dx, double dy, double dz, double *fx, double *fy, double *fz);
    // The iso-surface colour at fraction t of the value range, t clamped to
    // 0 .. 1 (not a number counts as 0).
    static QColor colorAtValue(float t);
    // The scatter palette, 4 x 100 pixels, and a node's colour from it: row
    // trunc(100 (value - min) / (max - min)), at most 99; row 0 when the
    // range has no width or the value is not finite.
    static QImage scatterPalette();
    static QColor scatterColor(double value, double min, double max);

    // Inspection of the current state.
    vtkRenderer *renderer() const;
    vtkActor *dataActor() const;
    vtkActor *outlineActor() const;
    vtkCubeAxesActor *cubeAxes() const;
    vtkMarchingCubes *marchingCubes() const;
    bool showsIsoSurface() const { return m_dataIsIsoSurface; }
    double isoValue() const { return m_isoValue; }
    double fx() const { return m_fx; }
    double fy() const { return m_fy; }
    double fz() const { return m_fz; }
    int nx() const { return m_nx; }
    int ny() const { return m_ny; }
    int nz() const { return m_nz; }
    const Interpolation *worker() const { return m_interp; }
    bool isInterpolating() const { return m_running; }

    QVTKOpenGLNativeWidget *m_vtkWidget = nullptr;

public slots:
    void on_pushButton_interp_clicked();
    void on_horizontalSlider_valueChanged(int value);
    void on_pushButton_import_clicked();
    void on_radioButton_surface_clicked();
    void on_radioButton_triange_clicked();
    void on_radioButton_scatter_clicked();
    void on_ISOSurfaceValueChanged(QList<double> values);
    void on_MakeProgressChanged(int value);
    void threadFinished();
    void on_radioButton_showScatter_clicked();
    void on_radioButton_ShowIsoSurface_clicked();
    void on_pushButton_show_clicked();
    void on_pushButton_Color_clicked();
    void on_pushButton_SaveData_clicked();

private:
    bool renderIsoSurface(const QList<double> &values, double iso, double fx, double fy,
                          double fz);
    void renderScatter(const QVector<ScatterPoint> &nodes);
    void removeDataActors();
    void addCubeAxes(const double bounds[6], const double ranges[6]);
    void refreshView();
    bool workerHasData() const;
    void setSliderFromStatistics(double min, double max, double mean);
    void setRepresentation(int representation);
    void chooseRepresentation(QRadioButton *chosen, int representation);
    void chooseDisplayMode(QRadioButton *chosen, QRadioButton *other, bool isoSurface);

    Ui::Dialog_3DataVisualization *ui;
    QVector<VolumePoint> m_points;
    vtkSmartPointer<vtkRenderer> m_renderer;
    vtkSmartPointer<vtkGenericOpenGLRenderWindow> m_renderWindow;
    Interpolation *m_interp;
    vtkSmartPointer<vtkMarchingCubes> m_marchingCubes;
    vtkSmartPointer<vtkActor> m_dataActor;
    vtkSmartPointer<vtkActor> m_outlineActor;
    vtkSmartPointer<vtkCubeAxesActor> m_cubeAxes;
    double m_isoValue = 0.0;
    double m_fx = 1.0;
    double m_fy = 1.0;
    double m_fz = 1.0;
    int m_nx = 50;
    int m_ny = 50;
    int m_nz = 50;
    // Value range of the drawn grid, for the slider's colour fraction.
    double m_sliderMin = 0.0;
    double m_sliderMax = 0.0;
    bool m_dataIsIsoSurface = false;
    bool m_running = false;
    QThread m_thread;
};

#endif
