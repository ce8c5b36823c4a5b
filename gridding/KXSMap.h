#ifndef HW_KXSMAP_H
#define HW_KXSMAP_H

#include "gridding/GridData.h"
#include "gridding/KXSAxisWidget.h"

#include <QColor>
#include <QImage>
#include <QMap>
#include <QPointF>
#include <QVector>
#include <QWidget>

class QPainter;

// Renders a gridded section as a filled contour map into an image: one
// colour band per contour level, white above the outline (the topography),
// a frame with tick labels and a colour legend in the right margin.
class KXSMap : public QWidget
{
    Q_OBJECT

public:
    // Margins and plot size in pixels of the last render.
    struct MapLayout {
        int left = 0;
        int right = 0;
        int top = 0;
        int bottom = 0;
        int width = 0;
        int height = 0;
    };

    explicit KXSMap(QWidget *parent = nullptr);

    // The grid with its contour levels (rising). Sets both axes' ticks to
    // round values over the grid's ranges.
    void setGridData(const GridData &grid);
    const GridData &gridData() const { return m_grid; }
    // Points (x, y) in data units along the top of the section.
    void setOutline(const QVector<QPointF> &outline) { m_outline = outline; }
    KXSAxisWidget &xAxis() { return m_xAxis; }
    KXSAxisWidget &yAxis() { return m_yAxis; }

    // Lays out and renders bands, axes and legend into the image, then
    // schedules a repaint. A grid without extent (fewer than two rows or
    // columns, a zero span) or a widget too small for a plot gives a white
    // image.
    void renderMap();
    // Stop positions 0 .. 1 (the grid's smallest to largest value).
    void setColorMap(const QMap<float, QColor> &stops) { m_colorMap = stops; }
    // The ramp colour of a value; below the first stop the first colour,
    // past the last stop the last colour, invalid without stops.
    QColor colorAt(float value) const;

    const QImage &image() const { return m_image; }
    float layoutScale() const { return m_scale; }
    MapLayout mapLayout() const { return m_layout; }
    // The layout for a widget of w x h pixels and a grid of the given spans;
    // scale receives the layout scale.
    static MapLayout computeLayout(int w, int h, float xspan, float yspan, float *scale);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointF toPixel(double x, double y) const;
    void drawBands(QPainter &painter);
    void drawAxes(QPainter &painter);
    void drawLegend(QPainter &painter);

    QVector<QPointF> m_outline;
    GridData m_grid;
    KXSAxisWidget m_xAxis;
    KXSAxisWidget m_yAxis;
    float m_scale = 0.0f;
    MapLayout m_layout;
    QImage m_image;
    QMap<float, QColor> m_colorMap;
};

#endif
