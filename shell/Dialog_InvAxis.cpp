#include "shell/Dialog_InvAxis.h"
#include "ui_Dialog_InvAxis.h"

#include "shell/NumberField.h"

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

void Dialog_InvAxis::setValues(double yMin, double xMax, double xMin, bool useDefaults)
{
    // Ranges taken from a model are shown as the chart labels them: what
    // the fields show is what an OK passes on.
    const auto shown = [](double v) { return QString::number(v, 'g', 6).toDouble(); };
    m_yMin = shown(yMin);
    m_xMax = shown(xMax);
    m_xMin = shown(xMin);
    ui->yminLineEdit->setText(NumberField::text(m_yMin));
    ui->xMaxlineEdit->setText(NumberField::text(m_xMax));
    ui->xMinlineEdit->setText(NumberField::text(m_xMin));
    ui->checkBox->setChecked(useDefaults);
    m_useDefaults = useDefaults;
}

void Dialog_InvAxis::on_pushButton_OK_clicked()
{
    if (!m_useDefaults) {
        // Nothing is taken unless all three can be: the chart's depth runs
        // down from the surface, and a range upside down is not drawn.
        double xMax = m_xMax;
        double xMin = m_xMin;
        double yMin = m_yMin;
        if (!NumberField::read(ui->yminLineEdit, QStringLiteral("YMin"), NumberField::Negative, yMin)
            || !NumberField::read(ui->xMaxlineEdit, QStringLiteral("xMax"), NumberField::AnyNumber, xMax)
            || !NumberField::read(ui->xMinlineEdit, QStringLiteral("xMin"), NumberField::AnyNumber, xMin))
            return;
        if (!(xMin < xMax)) {
            ui->xMaxlineEdit->setText(NumberField::text(m_xMax));
            ui->xMinlineEdit->setText(NumberField::text(m_xMin));
            NumberField::refuse(QStringLiteral("xMin（%1）须小于 xMax（%2），xMin 仍为 %3，xMax 仍为 %4。")
                                    .arg(NumberField::text(xMin), NumberField::text(xMax),
                                         NumberField::text(m_xMin), NumberField::text(m_xMax)));
            return;
        }
        m_xMax = xMax;
        m_xMin = xMin;
        m_yMin = yMin;
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
