#ifndef HW_SHELL_DIALOG_INVAXIS_H
#define HW_SHELL_DIALOG_INVAXIS_H

#include <QDialog>

namespace Ui {
class Dialog_InvAxis;
}

// Ranges of the resistivity-depth chart (resistivity along x, lower end of
// the depth axis), or a request for the ranges taken from the data.
class Dialog_InvAxis : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_InvAxis(QWidget *parent = nullptr);
    ~Dialog_InvAxis() override;

    double yMin() const { return m_yMin; }
    double xMax() const { return m_xMax; }
    double xMin() const { return m_xMin; }
    bool useDefaults() const { return m_useDefaults; }
    // The ranges in force, shown and kept until an OK replaces them.
    void setValues(double yMin, double xMax, double xMin, bool useDefaults);

private slots:
    void on_pushButton_OK_clicked();
    void on_pushButton_cancel_clicked();
    void on_checkBox_stateChanged(int);

private:
    // Only meaningful after an OK with the box clear or setValues.
    double m_yMin = 0.0;
    double m_xMax = 0.0;
    double m_xMin = 0.0;
    bool m_useDefaults = false;
    Ui::Dialog_InvAxis *ui;
};

#endif // HW_SHELL_DIALOG_INVAXIS_H
