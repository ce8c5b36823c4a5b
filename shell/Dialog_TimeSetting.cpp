#include "shell/Dialog_TimeSetting.h"
#include "ui_Dialog_TimeSetting.h"

#include <QIntValidator>

Dialog_TimeSetting::Dialog_TimeSetting(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_TimeSetting)
{
    ui->setupUi(this);
    ui->lineEdit->setValidator(new QIntValidator(60, 3000, this));
    ui->lineEdit_2->setValidator(new QIntValidator(1000, 4000000, this));
    ui->lineEdit->setText(QString::number(m_start, 'g', 6));
    ui->lineEdit_2->setText(QString::number(m_end, 'g', 6));
}

Dialog_TimeSetting::~Dialog_TimeSetting()
{
    delete ui;
}

void Dialog_TimeSetting::onTimeSettingChanged(double start, double end, int)
{
    ui->lineEdit->setText(QString::number(start, 'g', 6));
    ui->lineEdit_2->setText(QString::number(end, 'g', 6));
}

void Dialog_TimeSetting::on_pushButton_OK_clicked()
{
    // Text that is no number reads as 0 and is raised to the floor below.
    m_start = ui->lineEdit->text().toDouble();
    m_end = ui->lineEdit_2->text().toDouble();
    if (m_start < 10.0) {
        m_start = 10.0;
        ui->lineEdit->setText(QStringLiteral("10"));
    }
    if (m_end < 1000.0) {
        m_end = 1000.0;
        ui->lineEdit_2->setText(QStringLiteral("1000"));
    }
    if (m_start < m_end) {
        emit signal_TimeSettingChanged(m_start, m_end);
        accept();
    } else {
        reject();
    }
    close();
}

void Dialog_TimeSetting::on_pushButton_Cancel_clicked()
{
    reject();
    close();
}
