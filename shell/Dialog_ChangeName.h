#ifndef HW_DIALOG_CHANGENAME_H
#define HW_DIALOG_CHANGENAME_H

#include <QDialog>

namespace Ui {
class Dialog_ChangeName;
}

// Asks how the station numbers of a line are renumbered: each multiplied by
// a value or increased by it. The choice leaves in changeNameRules; the
// dialog only closes, so exec() never returns Accepted.
class Dialog_ChangeName : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_ChangeName(QWidget *parent = nullptr);
    ~Dialog_ChangeName() override;

    // The rule last sent (true and 10.0 before the first).
    bool multiply() const { return m_multiply; }
    double value() const { return m_value; }

signals:
    void changeNameRules(bool multiply, double value);

private slots:
    void on_pushButton_OK_clicked();
    void on_pushButton_2_clicked();

private:
    Ui::Dialog_ChangeName *ui;
    bool m_multiply = true;
    double m_value = 10.0;
};

#endif
