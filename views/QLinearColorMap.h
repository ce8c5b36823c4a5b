#ifndef HW_VIEWS_QLINEARCOLORMAP_H
#define HW_VIEWS_QLINEARCOLORMAP_H

#include <QColor>
#include <QMap>
#include <QObject>
#include <QVector>
#include <QtGui/qrgb.h>

// Value-to-colour map by linear interpolation between colour stops at
// positions of an interval (0 its minimum, 1 its maximum; a ramp may reach
// beyond either end). Values past the end stops take their colours. rgb() and colorIndex() only read the stops,
// so several render threads may use one map while nobody changes it.
class QLinearColorMap : public QObject
{
    Q_OBJECT
public:
    explicit QLinearColorMap(QObject *parent = nullptr);   // white at 0, black at 1
    ~QLinearColorMap() override;

    // Stops outside 0..1 are ignored.
    void addColorStop(double pos, const QColor &colour);
    // Replaces all stops with a ramp whose positions are fractions of the
    // interval. A first stop at the blank marker (above 0, at most 1e-17)
    // only stands for cells without a value, which are drawn blank anyway:
    // it is left out and the other stops are stretched from their first
    // position to 0, so the interval's minimum takes the first real colour.
    // Stops outside 0..1 (a range typed beyond the data's) are kept; a ramp
    // ending below 1.0 is extended to 1.0 with its last colour.
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
    void insertStop(double pos, const QColor &colour);

    QVector<ColorStop> m_stops;
    bool m_hasAlpha = false;
    int m_mode = 1;
};

#endif
