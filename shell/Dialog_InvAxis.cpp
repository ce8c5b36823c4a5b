#include "shell/Dialog_InvAxis.h"
#include "ui_Dialog_InvAxis.h"

Dialog_InvAxis::Dialog_InvAxis(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_InvAxis)
{
    ui->setupUi(this);
}

Dialog_InvAxis::~Dialog_InvAxis()
{
    delete ui;
}

void Dialog_InvAxis::on_pushButton_OK_clicked()
{
    if (!m_useDefaults) {
        m_xMax = ui->xMaxlineEdit->text().toDouble();
        m_xMin = ui->xMinlineEdit->text().toDouble();
        m_yMin = ui->yminLineEdit->text().toDouble();
    }
    accept();
}

void Dialog_InvAxis::on_pushButton_cancel_clicked()
{
    reject();
}

void Dialog_InvAxis::on_checkBox_stateChanged(int)
{
    m_useDefaults = ui->checkBox->isChecked();
}
