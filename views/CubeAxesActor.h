#ifndef HW_VIEWS_CUBEAXESACTOR_H
#define HW_VIEWS_CUBEAXESACTOR_H

#include <vtkCubeAxesActor.h>
#include <vtkNew.h>
#include <vtkVectorText.h>

#include <QStringList>

class vtkAxisFollower;
class vtkViewport;

// Cube axes whose labels never lie on top of each other. The toolkit puts
// a label at every major tick however short an axis looks on screen (lines
// 100 m apart beside 1 km of stations, an axis seen end on) and writes them
// with a fixed number of digits ("500." for every station of a short line).
// Here, for the current view, an axis labels every tick when the labels
// keep clear of each other, else only its two ends, else nothing; every
// label has the digits that tell it from the next. The first picture after
// the axes are made still has the toolkit's labels: render twice.
class CubeAxesActor : public vtkCubeAxesActor
{
public:
    static CubeAxesActor* New();
    vtkTypeMacro(CubeAxesActor, vtkCubeAxesActor)

    int RenderOpaqueGeometry(vtkViewport* viewport) override;

    // The labels of axis 0 (x), 1 (y) or 2 (z) as last laid out: one per
    // major tick, or the axis's two ends, or none; empty before the first
    // picture.
    QStringList tickLabels(int axis) const { return m_labels[axis]; }

protected:
    CubeAxesActor();
    ~CubeAxesActor() override = default;

private:
    CubeAxesActor(const CubeAxesActor&) = delete;
    void operator=(const CubeAxesActor&) = delete;

    // The axis of one direction that the view draws.
    vtkAxisActor* drawnAxis(int axis) const;
    // Length on screen (pixels) of text written as the label's.
    double labelWidth(const QString& text, vtkAxisFollower* label, vtkViewport* viewport);
    // True when the labels changed.
    bool fitLabels(int axis, vtkViewport* viewport);
    // The axis's range (as given) up to `end`.
    void setRange(int axis, double end);

    enum Layout { Unset, EveryTick, AxisEnds, NoLabels };

    vtkNew<vtkVectorText> m_font;
    bool m_drawn = false;
    Layout m_layout[3] = {Unset, Unset, Unset};
    QStringList m_labels[3];
    double m_range[3][2] = {};
    bool m_haveRange[3] = {false, false, false};
    bool m_nudged[3] = {false, false, false};
};

#endif // HW_VIEWS_CUBEAXESACTOR_H
