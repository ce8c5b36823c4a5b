#ifndef HW_SHELL_DIALOG_AXIS_H
#define HW_SHELL_DIALOG_AXIS_H

#include <QDialog>

namespace Ui {
class Dialog_Axis;
}

// Limits of the decay-curve chart: time along x, response along y. The
// fields are read as typed; nothing is validated.
class Dialog_Axis : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_Axis(QWidget *parent = nullptr);
    ~Dialog_Axis() override;

    double xMax() const { return m_xMax; }
    double xMin() const { return m_xMin; }
    double yMax() const { return m_yMax; }
    double yMin() const { return m_yMin; }

signals:
    void signalChartAxisScaleChanged(double xMax, double xMin, double yMax, double yMin);

private slots:
    void on_pushButton_OK_clicked();
    void on_pushButton_Cancle_clicked();

private:
    Ui::Dialog_Axis *ui;
    double m_xMax = 1000000.0;
    double m_xMin = 50.0;
    double m_yMax = 0.001;
    double m_yMin = 1e-8;
};

#endif // HW_SHELL_DIALOG_AXIS_H
