#include "shell/Dialog_Axis.h"
#include "ui_Dialog_Axis.h"

Dialog_Axis::Dialog_Axis(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_Axis)
{
    ui->setupUi(this);
    // The stored limits start as the fields show them.
    m_xMin = ui->lineEdit_xMin->text().toDouble();
    m_xMax = ui->lineEdit_xMax->text().toDouble();
    m_yMin = ui->lineEdit_yMin->text().toDouble();
    m_yMax = ui->lineEdit_yMax->text().toDouble();
}

Dialog_Axis::~Dialog_Axis()
{
    delete ui;
}

void Dialog_Axis::on_pushButton_OK_clicked()
{
    m_xMin = ui->lineEdit_xMin->text().toDouble();
    m_xMax = ui->lineEdit_xMax->text().toDouble();
    m_yMax = ui->lineEdit_yMax->text().toDouble();
    m_yMin = ui->lineEdit_yMin->text().toDouble();
    emit signalChartAxisScaleChanged(m_xMax, m_xMin, m_yMax, m_yMin);
    close();
}

void Dialog_Axis::on_pushButton_Cancle_clicked()
{
    close();
}
