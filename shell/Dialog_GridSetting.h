#ifndef HW_DIALOG_GRIDSETTING_H
#define HW_DIALOG_GRIDSETTING_H

#include <QDialog>

#include "model/SharedTypes.h"

namespace Ui {
class Dialog_GridSetting;
}

// How the depth axis of the sections is divided: a fixed spacing or a
// progressive growth factor. Both buttons send the setting in force and
// close, so exec() never returns Accepted.
class Dialog_GridSetting : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_GridSetting(QWidget* parent = nullptr);
    ~Dialog_GridSetting() override;

    GridPattern committedPattern() const { return m_pattern; }
    double committedValue() const { return m_value; }

signals:
    void currentGridSettings(GridPattern pattern, double value);

private slots:
    void on_CanclepushButton_clicked();
    void on_OKpushButton_clicked();
    void on_radioButton_2_clicked();
    void on_radioButton_clicked();
    void on_doubleSpinBox2_valueChanged(double);
    void on_doubleSpinBox_valueChanged(double);

private:
    GridPattern m_pattern = GRID_FIXED;
    double m_value = 5.0;
    Ui::Dialog_GridSetting* ui;
    int m_selected = 0;
};

#endif
