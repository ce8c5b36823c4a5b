#ifndef HW_VIEWS_QLINEARCOLORMAP_H
#define HW_VIEWS_QLINEARCOLORMAP_H

#include <QColor>
#include <QMap>
#include <QObject>
#include <QVector>
#include <QtGui/qrgb.h>

// Value-to-colour map by linear interpolation between colour stops at
// positions 0..1 of an interval. rgb() and colorIndex() only read the stops,
// so several render threads may use one map while nobody changes it.
class QLinearColorMap : public QObject
{
    Q_OBJECT
public:
    explicit QLinearColorMap(QObject *parent = nullptr);   // white at 0, black at 1
    ~QLinearColorMap() override;

    void addColorStop(double pos, const QColor &colour);
    // Replaces all stops; a ramp ending below 1.0 is extended to 1.0 with
    // its last colour.
    void setColorStops(QMap<float, QColor> ramp);

    QRgb rgb(double max, double min, double value) const;
    int colorIndex(int numColors, double max, double min, double value) const;

    QVector<double> colorStops() const;
    QVector<QRgb> stopColors() const;
    int mode() const;

private:
    struct ColorStop {
        double pos = 0.0;
        QRgb rgba = 0;
        int r = 0, g = 0, b = 0, a = 0;
        double rStep = 0.0, gStep = 0.0, bStep = 0.0, aStep = 0.0;
        double r0 = 0.0, g0 = 0.0, b0 = 0.0, a0 = 0.0;
        double posStep = 0.0;
    };
    static void setStepsTowards(ColorStop &from, const ColorStop &to);

    QVector<ColorStop> m_stops;
    bool m_hasAlpha = false;
    int m_mode = 1;
};

#endif
