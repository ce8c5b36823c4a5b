#ifndef HW_MODELERWIDGET_H
#define HW_MODELERWIDGET_H

#include "model/SharedTypes.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

class QAction;
class QPainter;

namespace Ui {
class ModelerWidget;
}

// Shows a layered model as coloured regions; on request shades every region
// with the inversion results inside it, triangulated by the outside mesh
// program "triangle".
class ModelerWidget : public QWidget
{
    Q_OBJECT

public:
    // One result sample inside a region.
    struct RegionPoint {
        double x = 0.0;
        double depth = 0.0;
        double value = 0.0;
    };
    // One element of the mesh program's output; vertices are 1-based.
    struct TriangleElement {
        int number = 0;
        double v1 = 0.0;
        double v2 = 0.0;
        double v3 = 0.0;
    };
    struct FilledTriangle {
        QColor colour;
        QPolygon triangle;
    };

    ModelerWidget(LayerModeler model, QList<DataType_ResultData> results,
                  QWidget *parent = nullptr);
    ~ModelerWidget() override;

    const QImage &image() const { return m_image; }
    const QList<QPolygon> &regionOutlines() const { return m_regionOutlines; }
    const QList<QList<FilledTriangle>> &filledTriangles() const { return m_filledTriangles; }
    QAction *triangleAction() const { return m_actionTriangle; }

    // Pixel of a model point in the image.
    QPoint toPixel(double x, double z) const;
    // Where the image is shown: scaled to the widget with its aspect kept,
    // centred.
    QRect pictureRect() const;

public slots:
    void on_ActionTriangletriggle(bool checked);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // The mesh program; tests point it elsewhere.
    virtual QString triangleProgram() const;

private:
    void createActions();
    void drawRegions(QPainter *painter);
    void drawTriangles(QPainter *painter);
    void fillRegion(QList<DataType_ResultData> results, QPolygon polygon, QString name,
                    QColor colour);
    bool runTriangle(QString name, QList<RegionPoint> points);
    QList<TriangleElement> readElementFile(QString name);
    void updatePlotRect();
    void updateShownPicture();

    Ui::ModelerWidget *ui;
    QImage m_image;
    QImage m_shown;   // the image at the size it is shown, made on resize
    QString m_name;
    double m_x0 = 0.0;
    double m_x1 = 0.0;
    double m_z0 = 0.0;
    double m_z1 = 0.0;
    double m_dx = 0.0;
    double m_dz = 0.0;
    int m_regionCount = 0;
    QVector<ModelRegion> m_regions;
    int m_margin = 6;
    int m_width = 0;
    int m_height = 0;
    QRect m_plotRect;
    QList<QPolygon> m_regionOutlines;
    QList<QList<FilledTriangle>> m_filledTriangles;
    QList<DataType_ResultData> m_results;
    QAction *m_actionTriangle = nullptr;
};

#endif
