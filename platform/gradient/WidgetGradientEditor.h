#pragma once

#include <QColor>
#include <QMap>
#include <QVector>
#include <QWidget>

// Shows a colour ramp (stop position -> colour) as a bar with one marker per
// stop under it. A click on a marker gives it the focus; dragging it, or
// onfocusMarkerPositionChanged(), moves it. Markers keep their order and stay
// inside the editor's range: [0, 1] widened to the smallest and largest stop of
// the last ramp set. A double click on a marker picks a new colour for it.
class WidgetGradientEditor : public QWidget
{
    Q_OBJECT
public:
    // Built-in ramps for slotReset():
    //   Grayscale - black to white
    //   Rainbow   - blue, cyan, green, yellow, red (the usual resistivity ramp)
    //   Hot       - black, red, yellow, white
    //   CoolWarm  - blue, white, red
    // Every int is a Preset value (fixed underlying type), so one that names
    // no ramp is well defined and simply ignored.
    enum Preset : int { Grayscale = 0, Rainbow = 1, Hot = 2, CoolWarm = 3 };

    explicit WidgetGradientEditor(QWidget* parent = nullptr);

    void setGradient(const QMap<float, QColor>& gradient);
    QMap<float, QColor> getGradient() const;

    // Ramp of a preset; empty for a value that names none.
    static QMap<float, QColor> presetGradient(Preset preset);

    // Position of the focused marker, or -1 when no marker has the focus.
    int focusedMarker() const { return m_focus; }
    float rangeMinimum() const { return m_rangeMin; }
    float rangeMaximum() const { return m_rangeMax; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // Replaces the ramp by a preset; an unknown preset leaves the ramp as it is.
    void slotReset(const WidgetGradientEditor::Preset& preset);
    // Moves the focused marker towards the position, stopping at its
    // neighbours and at the range ends; ignored without focus or for a
    // position that is not a finite number.
    void onfocusMarkerPositionChanged(float position);

signals:
    void focusMarkerChanged(float position, QColor color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Stop {
        float position;
        QColor color;
    };

    QRect barRect() const;
    int xForPosition(float position) const;
    float positionForX(int x) const;
    int markerAt(const QPoint& point) const;
    // Clamps a wanted position for marker i between its neighbours and the range.
    float allowedPosition(int i, float wanted) const;
    void moveMarker(int i, float position);

    QVector<Stop> m_stops; // ascending position
    float m_rangeMin = 0.0f;
    float m_rangeMax = 1.0f;
    int m_focus = -1;
    bool m_dragging = false;
};
