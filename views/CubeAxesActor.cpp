#include "views/CubeAxesActor.h"

#include <QPointF>

#include <vtkAxisActor.h>
#include <vtkAxisFollower.h>
#include <vtkCamera.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPolyData.h>
#include <vtkStringArray.h>
#include <vtkVectorText.h>
#include <vtkViewport.h>

#include <algorithm>
#include <cmath>
#include <limits>

vtkStandardNewMacro(CubeAxesActor);

namespace {

// Pixels kept clear between neighbouring labels.
constexpr double kLabelGap = 6.0;

QPointF toDisplay(vtkViewport* viewport, const double* p)
{
    viewport->SetWorldPoint(p[0], p[1], p[2], 1.0);
    viewport->WorldToDisplay();
    const double* d = viewport->GetDisplayPoint();
    return QPointF(d[0], d[1]);
}

// Decimals that show every tick `step` apart exactly (ticks 0.25 apart get
// two, 50 apart none).
int decimalsFor(double start, double step, int count)
{
    for (int decimals = 0; decimals < 10; ++decimals) {
        const double scale = std::pow(10.0, decimals);
        bool exact = true;
        for (int k = 0; k < count && exact; ++k) {
            const double v = (start + k * step) * scale;
            exact = std::fabs(v - std::round(v)) <= 1e-6 * std::fabs(step) * scale;
        }
        if (exact)
            return decimals;
    }
    return 10;
}

} // namespace

CubeAxesActor::CubeAxesActor()
{
    // The labels carry all their digits: no power of ten moves into the
    // titles.
    SetLabelScaling(false, 0, 0, 0);
}

vtkAxisActor* CubeAxesActor::drawnAxis(int axis) const
{
    // Of the four edges along a direction, those the view does not use keep
    // their labels where they were made, off the box.
    vtkAxisActor* const* aligned = axis == 0 ? XAxes : axis == 1 ? YAxes : ZAxes;
    double box[6];
    const_cast<CubeAxesActor*>(this)->GetBounds(box);
    const double reach = 1e-3 * std::sqrt(std::pow(box[1] - box[0], 2) + std::pow(box[3] - box[2], 2)
                                          + std::pow(box[5] - box[4], 2));
    for (int i = 0; i < NUMBER_OF_ALIGNED_AXIS; ++i) {
        vtkAxisActor* candidate = aligned[i];
        if (!candidate || candidate->GetNumberOfLabelsBuilt() < 1)
            continue;
        const double* p = candidate->GetLabelActors()[0]->GetPosition();
        bool onBox = true;
        for (int c = 0; c < 3 && onBox; ++c)
            onBox = p[c] >= box[2 * c] - reach && p[c] <= box[2 * c + 1] + reach;
        if (onBox)
            return candidate;
    }
    return nullptr;
}

double CubeAxesActor::labelWidth(const QString& text, vtkAxisFollower* label, vtkViewport* viewport)
{
    // The toolkit writes labels in its vector font, scaled to keep their
    // size on screen, along the axis.
    m_font->SetText(text.toStdString().c_str());
    m_font->Update();
    const double* extent = m_font->GetOutput()->GetBounds();
    if (!(extent[0] <= extent[1]))
        return 0.0;
    double position[3];
    label->GetPosition(position);
    const double scale = vtkAxisFollower::AutoScale(viewport, GetCamera(), GetScreenSize(), position);
    // Pixels per unit across the line of sight at the label.
    double up[3];
    double sight[3];
    GetCamera()->GetViewUp(up);
    GetCamera()->GetDirectionOfProjection(sight);
    const double along = up[0] * sight[0] + up[1] * sight[1] + up[2] * sight[2];
    double across[3] = {up[0] - along * sight[0], up[1] - along * sight[1], up[2] - along * sight[2]};
    const double norm = std::sqrt(across[0] * across[0] + across[1] * across[1] + across[2] * across[2]);
    if (!(norm > 0.0) || !(scale > 0.0))
        return 0.0;
    const double shifted[3] = {position[0] + across[0] / norm * scale, position[1] + across[1] / norm * scale,
                               position[2] + across[2] / norm * scale};
    const QPointF a = toDisplay(viewport, position);
    const QPointF b = toDisplay(viewport, shifted);
    return (extent[1] - extent[0]) * std::hypot(b.x() - a.x(), b.y() - a.y());
}

bool CubeAxesActor::fitLabels(int axis, vtkViewport* viewport)
{
    vtkAxisActor* drawn = drawnAxis(axis);
    if (!drawn)
        return false;
    if (!m_haveRange[axis]) {
        const double* range = drawn->GetRange();
        m_range[axis][0] = range[0];
        m_range[axis][1] = range[1];
        m_haveRange[axis] = true;
    }
    const int count = drawn->GetNumberOfLabelsBuilt();
    const double start = drawn->GetMajorRangeStart();
    const double step = drawn->GetDeltaRangeMajor();
    const int decimals = decimalsFor(start, step, count);

    // A label at every tick when they keep clear of each other.
    QStringList texts;
    double width = 0.0;
    double spacing = std::numeric_limits<double>::infinity();
    QPointF previous;
    for (int k = 0; k < count; ++k) {
        double value = start + k * step;
        if (std::fabs(value) < 1e-9 * std::fabs(step))
            value = 0.0;
        texts.append(QString::number(value, 'f', decimals));
        vtkAxisFollower* label = drawn->GetLabelActors()[k];
        width = std::max(width, labelWidth(texts.last(), label, viewport));
        const QPointF anchor = toDisplay(viewport, label->GetPosition());
        if (k > 0)
            spacing = std::min(spacing, std::hypot(anchor.x() - previous.x(), anchor.y() - previous.y()));
        previous = anchor;
    }
    Layout layout = EveryTick;
    if (count < 1 || spacing < width + kLabelGap) {
        // Else the ends of the axis, when they keep clear; else none.
        texts = QStringList{QString::number(m_range[axis][0], 'f', decimals),
                            QString::number(m_range[axis][1], 'f', decimals)};
        const double ends = count < 1 ? 0.0
                                      : std::max(labelWidth(texts[0], drawn->GetLabelActors()[0], viewport),
                                                 labelWidth(texts[1], drawn->GetLabelActors()[0], viewport));
        const QPointF from = toDisplay(viewport, drawn->GetPoint1());
        const QPointF to = toDisplay(viewport, drawn->GetPoint2());
        layout = ends > 0.0 && std::hypot(to.x() - from.x(), to.y() - from.y()) >= ends + kLabelGap ? AxisEnds : NoLabels;
        if (layout == NoLabels)
            texts.clear();
    }
    if (layout == m_layout[axis] && texts == m_labels[axis])
        return false;

    m_layout[axis] = layout;
    m_labels[axis] = texts;
    const QByteArray format = QStringLiteral("%.%1f").arg(decimals).toLatin1();
    vtkNew<vtkStringArray> ends;
    for (const QString& text : texts)
        ends->InsertNextValue(text.toStdString());
    // Given labels are spread evenly from one end of the axis to the other.
    SetAxisLabels(axis, layout == AxisEnds ? ends.GetPointer() : nullptr);
    switch (axis) {
    case 0:
        SetXLabelFormat(format.constData());
        SetXAxisLabelVisibility(layout != NoLabels);
        break;
    case 1:
        SetYLabelFormat(format.constData());
        SetYAxisLabelVisibility(layout != NoLabels);
        break;
    default:
        SetZLabelFormat(format.constData());
        SetZAxisLabelVisibility(layout != NoLabels);
        break;
    }
    // The toolkit writes its labels anew only for a new range: one moved
    // too little to shift a tick or a digit, for this picture only.
    setRange(axis, m_range[axis][1] + 1e-9 * std::max(std::fabs(m_range[axis][1] - m_range[axis][0]), 1e-300));
    m_nudged[axis] = true;
    return true;
}

void CubeAxesActor::setRange(int axis, double end)
{
    if (axis == 0)
        SetXAxisRange(m_range[axis][0], end);
    else if (axis == 1)
        SetYAxisRange(m_range[axis][0], end);
    else
        SetZAxisRange(m_range[axis][0], end);
}

int CubeAxesActor::RenderOpaqueGeometry(vtkViewport* viewport)
{
    // Laid out for the view about to be drawn, on the ticks of the last
    // picture (the first one has the toolkit's own labels).
    if (m_drawn) {
        for (int axis = 0; axis < 3; ++axis)
            fitLabels(axis, viewport);
    }
    const int rendered = vtkCubeAxesActor::RenderOpaqueGeometry(viewport);
    m_drawn = true;
    for (int axis = 0; axis < 3; ++axis) {
        if (m_nudged[axis])
            setRange(axis, m_range[axis][1]);
        m_nudged[axis] = false;
    }
    return rendered;
}
