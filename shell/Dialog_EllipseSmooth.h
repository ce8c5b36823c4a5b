#ifndef HW_DIALOG_ELLIPSESMOOTH_H
#define HW_DIALOG_ELLIPSESMOOTH_H

#include <QDialog>

namespace Ui {
class Dialog_EllipseSmooth;
}

// Asks for the smoothing ellipse: two whole radii (at least 1) and a tilt in
// degrees, with a preview that follows the spin boxes. The values change
// only in the constructor and on OK; read them after an accepted run.
class Dialog_EllipseSmooth : public QDialog
{
    Q_OBJECT

public:
    Dialog_EllipseSmooth(int radius1, int radius2, int angleDegrees, QWidget *parent = nullptr);
    ~Dialog_EllipseSmooth() override;

    int radius1() const { return m_radius1; }
    int radius2() const { return m_radius2; }
    float ratio() const { return m_ratio; }   // radius 2 / radius 1
    float angle() const { return m_angle; }   // radians

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void on_spinBox_Radius1_valueChanged(const QString &text);
    void on_spinBox_Radius2_valueChanged(const QString &text);
    void on_spinBox_Angle_valueChanged(const QString &text);
    void on_pushButton_OK_clicked();
    void on_pushButton_Cancle_clicked();

private:
    int m_radius1 = 1;
    int m_radius2 = 1;
    float m_ratio = 1.0f;
    float m_angle = 0.0f;
    Ui::Dialog_EllipseSmooth *ui;
};

#endif
