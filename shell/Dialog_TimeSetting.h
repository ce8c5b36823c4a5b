#ifndef HW_DIALOG_TIMESETTING_H
#define HW_DIALOG_TIMESETTING_H

#include <QDialog>

namespace Ui {
class Dialog_TimeSetting;
}

// Asks for the start and end of the time window. "确定" sends the pair (after
// raising too small values to their floors) and accepts, or rejects without
// a signal when the start is not below the end.
class Dialog_TimeSetting : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_TimeSetting(QWidget* parent = nullptr);
    ~Dialog_TimeSetting() override;

    // The values last read by "确定" (150 and 4e6 before the first).
    double start() const { return m_start; }
    double end() const { return m_end; }

signals:
    void signal_TimeSettingChanged(double start, double end);

public slots:
    void onTimeSettingChanged(double start, double end, int);

private slots:
    void on_pushButton_OK_clicked();
    void on_pushButton_Cancel_clicked();

private:
    Ui::Dialog_TimeSetting* ui;
    double m_start = 150.0;
    double m_end = 4e6;
};

#endif
