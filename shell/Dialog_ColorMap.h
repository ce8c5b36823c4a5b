#ifndef HW_DIALOG_COLORMAP_H
#define HW_DIALOG_COLORMAP_H

#include <QColor>
#include <QDialog>
#include <QList>
#include <QMap>
#include <QString>

class WidgetGradientEditor;

namespace Ui {
class Dialog_ColorMap;
}

// Chooses and edits the colour ramp of the sections: presets from
// "ColorScales/*.clr", stops edited in the gradient editor, and a stretch of
// the ramp to a typed value range. "确定" sends the ramp and closes; both
// buttons close, so exec() never returns Accepted.
class Dialog_ColorMap : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_ColorMap(QWidget* parent = nullptr);
    ~Dialog_ColorMap() override;

    // Reads one preset file (see ColorScaleFile). False when the file cannot
    // be opened.
    static bool readColorScale(const QString& path, QMap<float, QColor>& ramp);
    // The ramp laid over the typed range [newMinimum, newMaximum], with
    // positions still fractions of the section's range [minimum, maximum]:
    // stop k moves to (newMin - min + k (newMax - newMin)) / (max - min), so
    // the first colour lands on the typed minimum and the last on the typed
    // maximum. Positions may leave 0..1; a stop whose position is not finite
    // stays put.
    static QMap<float, QColor> remapGradient(const QMap<float, QColor>& ramp, float minimum, float maximum,
                                             float newMinimum, float newMaximum);

    // The ramp the sections are drawn in now: the dialog opens on it (the
    // preset of the same stops, if any, current in the list) until 确定
    // puts another in force. Without one it opens on the first preset.
    void setRamp(const QMap<float, QColor>& ramp);
    QMap<float, QColor> ramp() const { return m_ramp; }

    const QList<QMap<float, QColor> >& presets() const { return m_presets; }
    WidgetGradientEditor* gradientEditor() const { return m_editor; }
    float minimum() const { return m_minimum; }
    float maximum() const { return m_maximum; }

signals:
    void signal_ColorMapChanged(QMap<float, QColor>);
    void signalfocusMarkerPositionChanged(float);

public slots:
    void onStaticResistivity(float minimum, float maximum);

private slots:
    void on_pushButton_ok_clicked();
    void on_pushButton_Cancle_clicked();
    void on_comboBox_currentIndexChanged(int index);
    void on_focusMarkerChanged(float position, QColor);
    void on_pushButton_clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showRamp();
    void loadColorScales();
    bool loadColorScale(const QString& name);

    Ui::Dialog_ColorMap* ui;
    WidgetGradientEditor* m_editor = nullptr;
    QList<QMap<float, QColor> > m_presets;
    QMap<float, QColor> m_ramp;
    // The range of the current section; until the controller sends one,
    // an empty range that untouched fields match.
    float m_maximum = 0.0f;
    float m_minimum = 0.0f;
};

#endif
