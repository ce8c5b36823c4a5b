#ifndef HW_VIEWS_KXSPECTROGRAMMAP_H
#define HW_VIEWS_KXSPECTROGRAMMAP_H

#include "model/SharedTypes.h"
#include "views/SectionInterpolator.h"

#include <QColor>
#include <QDateTime>
#include <QFrame>
#include <QImage>
#include <QList>
#include <QMap>
#include <QVector>

class QLinearColorMap;

// A line's resistivity section as a colour map of true proportions, with
// axes and a colour bar. Rendered into one image in horizontal strips on the
// global thread pool. A paint also saves the map as "contour.png" in the
// current directory for the line reports, unless the file there is the one
// this map last wrote, unchanged, and the picture is still the same.
class KXSpectrogramMap : public QFrame
{
    Q_OBJECT
public:
    explicit KXSpectrogramMap(QWidget *parent = nullptr);
    ~KXSpectrogramMap() override;

    // Takes the section (columns in ascending x) and renders it. The colour
    // map stays owned by the caller and must outlive its use here.
    void setData(const QList<DataType_ResultData> &results, const QVector<TopoData> &topography,
                 QLinearColorMap *colours, double value);
    // New stops for the colour map; re-renders once data are there.
    void setColorMap(QMap<float, QColor> ramp);
    // Forgets the section: the map shows nothing until the next setData.
    void clear();

    double valueAt(double x, double depth) const;

    // Inversion method of the shown line (1 or 2); set by the hosting form.
    int contourMethod = 1;

    const QImage &image() const { return m_image; }
    // The map's pixel rectangle inside the image.
    QRect mapRect() const;
    bool isDataReady() const { return m_dataReady; }
    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }
    double depthMin() const { return m_depthMin; }
    double depthMax() const { return m_depthMax; }
    double valueMin() const { return m_valueMin; }
    double valueMax() const { return m_valueMax; }
    // The values differ by less than their rounding (a uniform half-space):
    // the map is one colour and the bar one value, not the whole ramp
    // spread over the rounding.
    bool uniformValues() const;
    float scale() const { return m_scale; }
    int leftMargin() const { return m_left; }
    int rightMargin() const { return m_right; }
    int topMargin() const { return m_top; }
    int bottomMargin() const { return m_bottom; }
    int mapWidth() const { return m_mapWidth; }
    int mapHeight() const { return m_mapHeight; }

    // One band of the colour bar, bottom up: the stop's colour, the value it
    // stands for and whether its label is drawn, and where (labels must not
    // overlap).
    struct LegendBand {
        QRect rect;
        QRgb colour = 0;
        QString text;
        bool labelled = false;
        QRect labelBox;
    };
    QVector<LegendBand> colorBarBands() const;

    // Number of strips to render in; 0 (default) uses one per processor
    // thread. Lets the strip split be compared against a single-strip render.
    void setStripCount(int n) { m_stripCount = n; }

    // How often this map has written "contour.png".
    int contourWrites() const { return m_contourWrites; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void prepareData(const QList<DataType_ResultData> &results, const QVector<TopoData> &topography);
    void computeLayout();
    void render();
    void renderStrip(double xMax, double xMin, double depthMax, double depthMin,
                     double valueMax, double valueMin, const QRect &strip, QImage *image) const;
    void drawAxes(QPainter &painter);
    void drawColorBar(QPainter &painter);
    void saveContour();

    float m_scale = 1.0f;
    int m_left = 0, m_right = 0, m_top = 0, m_bottom = 0;
    int m_mapWidth = 0, m_mapHeight = 0;
    QImage m_image;
    SectionInterpolator m_interp;
    double m_xMax = 0.0, m_xMin = 0.0;
    double m_depthMax = 0.0, m_depthMin = 0.0;
    double m_valueMax = 0.0, m_valueMin = 0.0;
    QLinearColorMap *m_colours = nullptr;
    double m_value = 0.0;
    int m_majorTick = 5, m_minorTick = 3, m_tickGap = 3;
    bool m_dataReady = false;
    int m_stripCount = 0;

    // The picture as last written, and the file as it was left.
    struct SavedContour {
        QString path;
        QImage image;
        quint64 render = 0;   // the render it came from
        QRect crop;
        qint64 size = -1;
        QDateTime modified;
    };
    quint64 m_renders = 0;
    SavedContour m_saved;
    int m_contourWrites = 0;
};

#endif
