#include "shell/Dialog_GridSetting.h"
#include "ui_Dialog_GridSetting.h"

#include <QDebug>

Dialog_GridSetting::Dialog_GridSetting(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_GridSetting)
{
    ui->setupUi(this);
    ui->doubleSpinBox2->setEnabled(false);
}

Dialog_GridSetting::~Dialog_GridSetting()
{
    delete ui;
}

void Dialog_GridSetting::on_radioButton_clicked()
{
    ui->doubleSpinBox->setEnabled(true);
    ui->doubleSpinBox2->setEnabled(false);
    m_selected = GRID_FIXED;
}

void Dialog_GridSetting::on_radioButton_2_clicked()
{
    ui->doubleSpinBox->setEnabled(false);
    ui->doubleSpinBox2->setEnabled(true);
    m_selected = GRID_PROGRESSIVE;
}

// The values are read from the boxes on OK.
void Dialog_GridSetting::on_doubleSpinBox_valueChanged(double) {}
void Dialog_GridSetting::on_doubleSpinBox2_valueChanged(double) {}

void Dialog_GridSetting::on_OKpushButton_clicked()
{
    m_pattern = m_selected == GRID_PROGRESSIVE ? GRID_PROGRESSIVE : GRID_FIXED;
    m_value = m_pattern == GRID_PROGRESSIVE ? ui->doubleSpinBox2->value() : ui->doubleSpinBox->value();
    qDebug() << "OK - CurPattern: " << m_pattern;
    qDebug() << "OK- GridLength" << m_value;
    emit currentGridSettings(m_pattern, m_value);
    close();
}

void Dialog_GridSetting::on_CanclepushButton_clicked()
{
    qDebug() << "Cancle" << m_pattern;
    qDebug() << "Cancle" << m_value;
    // Back to the setting in force, which the controller is told again.
    if (m_pattern == GRID_PROGRESSIVE) {
        ui->radioButton_2->setChecked(true);
        ui->doubleSpinBox2->setValue(m_value);
        ui->doubleSpinBox->setEnabled(false);
        ui->doubleSpinBox2->setEnabled(true);
    } else {
        ui->radioButton->setChecked(true);
        ui->doubleSpinBox->setValue(m_value);
        ui->doubleSpinBox->setEnabled(true);
        ui->doubleSpinBox2->setEnabled(false);
    }
    m_selected = m_pattern;
    emit currentGridSettings(m_pattern, m_value);
    close();
}
