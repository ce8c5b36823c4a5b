#include "shell/Dialog_EllipseSmooth.h"

#include "ui_Dialog_EllipseSmooth.h"

#include <QPainter>

#include <cmath>

namespace {

const float kDegreesToRadians = 0.017453292f;

float radiusRatio(int radius1, int radius2)
{
    // The spin boxes keep radius 1 at 1 or more.
    return static_cast<float>(static_cast<double>(radius2) / radius1);
}

} // namespace

Dialog_EllipseSmooth::Dialog_EllipseSmooth(int radius1, int radius2, int angleDegrees,
                                           QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_EllipseSmooth)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("倾斜半径"));

    ui->spinBox_Radius1->setValue(radius1);
    ui->spinBox_Radius2->setValue(radius2);
    ui->spinBox_Angle->setValue(angleDegrees);

    // Read back, so the values are the clamped ones.
    m_radius1 = ui->spinBox_Radius1->value();
    m_radius2 = ui->spinBox_Radius2->value();
    m_ratio = radiusRatio(m_radius1, m_radius2);
    m_angle = static_cast<float>(ui->spinBox_Angle->value()) * kDegreesToRadians;
}

Dialog_EllipseSmooth::~Dialog_EllipseSmooth()
{
    delete ui;
}

void Dialog_EllipseSmooth::on_spinBox_Radius1_valueChanged(const QString &)
{
    update();
}

void Dialog_EllipseSmooth::on_spinBox_Radius2_valueChanged(const QString &)
{
    update();
}

void Dialog_EllipseSmooth::on_spinBox_Angle_valueChanged(const QString &)
{
    update();
}

void Dialog_EllipseSmooth::on_pushButton_OK_clicked()
{
    m_radius1 = ui->spinBox_Radius1->value();
    m_radius2 = ui->spinBox_Radius2->value();
    m_ratio = radiusRatio(m_radius1, m_radius2);
    m_angle = static_cast<float>(ui->spinBox_Angle->value()) * kDegreesToRadians;
    accept();
}

void Dialog_EllipseSmooth::on_pushButton_Cancle_clicked()
{
    reject();
}

void Dialog_EllipseSmooth::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);

    QPainter painter(this);
    // The centre of the preview frame, placed from the dialog's size.
    const int cx = width() - 10 - ui->frame->width() / 2;
    const int cy = height() - 15 - ui->frame->height() / 2 - ui->pushButton_OK->height();
    painter.translate(cx, cy);

    painter.setPen(QPen(Qt::yellow, 1, Qt::DashLine));
    painter.drawLine(-55, 0, 55, 0);
    painter.drawLine(0, -55, 0, 55);

    const int r1 = ui->spinBox_Radius1->value();
    const int r2 = ui->spinBox_Radius2->value();
    const int degrees = ui->spinBox_Angle->value();
    m_ratio = radiusRatio(r1, r2);

    // The longer radius is drawn 50 pixels long.
    int sx = 50;
    int sy = 50;
    if (m_ratio > 1.0f)
        sx = static_cast<int>(50 / m_ratio);
    else
        sy = static_cast<int>(m_ratio * 50);

    const double phi = -degrees;
    const double c = std::cos(phi * 0.017453292519943295);
    const double s = std::sin(phi * 0.017453292519943295);

    painter.setPen(QPen(Qt::blue, 1, Qt::SolidLine));
    const int x1 = static_cast<int>(sx * c);
    const int y1 = static_cast<int>(sx * s);
    painter.drawLine(-x1, -y1, x1, y1);
    const int x2 = static_cast<int>(-sy * s);
    const int y2 = static_cast<int>(sy * c);
    painter.drawLine(-x2, -y2, x2, y2);

    painter.rotate(phi);
    painter.drawEllipse(QPoint(0, 0), sx, sy);
}
