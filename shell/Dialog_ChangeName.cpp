#include "shell/Dialog_ChangeName.h"

#include "ui_Dialog_ChangeName.h"

#include <cmath>

Dialog_ChangeName::Dialog_ChangeName(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_ChangeName)
{
    ui->setupUi(this);
    ui->comboBox->addItem(QStringLiteral("点号乘以"));
    ui->comboBox->addItem(QStringLiteral("点号加上"));
    ui->comboBox->setCurrentIndex(0);
}

Dialog_ChangeName::~Dialog_ChangeName()
{
    delete ui;
}

void Dialog_ChangeName::on_pushButton_OK_clicked()
{
    m_multiply = ui->comboBox->currentIndex() == 0;
    // Text that is not a number gives 0.0; the receiver decides what a
    // factor of 0 means. Qt reads an overflow as infinity and accepts
    // "nan" and "inf"; such a value would make every station number of the
    // line non-finite, so it counts as not a number too.
    bool ok = false;
    m_value = ui->lineEdit->text().toDouble(&ok);
    if (!ok || !std::isfinite(m_value))
        m_value = 0.0;
    emit changeNameRules(m_multiply, m_value);
    close();
}

void Dialog_ChangeName::on_pushButton_2_clicked()
{
    reject();
}
