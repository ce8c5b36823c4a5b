#include "shell/Dialog_ColorMap.h"
#include "ui_Dialog_ColorMap.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

#include "platform/gradient/WidgetGradientEditor.h"
#include "shell/ColorScaleFile.h"

Dialog_ColorMap::Dialog_ColorMap(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_ColorMap)
{
    ui->setupUi(this);

    m_editor = new WidgetGradientEditor(this);
    m_editor->slotReset(WidgetGradientEditor::Preset(1));
    m_editor->setMaximumHeight(35);
    ui->widget->layout()->addWidget(m_editor);

    // The first combo entry becomes current and loads its ramp into the editor.
    loadColorScales();

    connect(m_editor, SIGNAL(focusMarkerChanged(float,QColor)), this, SLOT(on_focusMarkerChanged(float,QColor)));
    connect(this, SIGNAL(signalfocusMarkerPositionChanged(float)), m_editor,
            SLOT(onfocusMarkerPositionChanged(float)));
}

Dialog_ColorMap::~Dialog_ColorMap()
{
    delete ui;
}

bool Dialog_ColorMap::readColorScale(const QString& path, QMap<float, QColor>& ramp)
{
    return ColorScaleFile::read(path, ramp);
}

QMap<float, QColor> Dialog_ColorMap::remapGradient(const QMap<float, QColor>& ramp, float minimum, float maximum,
                                                   float newMinimum, float newMaximum)
{
    // Positions stay fractions of the section's range [minimum, maximum],
    // which the views colour by; a stop that falls outside 0..1 is kept (the
    // views extend their scale to it), so every colour of the ramp shows.
    QMap<float, QColor> result;
    for (auto it = ramp.constBegin(); it != ramp.constEnd(); ++it) {
        const float k = it.key();
        float moved = (newMinimum - minimum + k * (newMaximum - newMinimum)) / (maximum - minimum);
        // An empty range (or a typed value that is no number) gives no
        // position; the stop keeps its own.
        if (!std::isfinite(moved))
            moved = k;
        result.insert(moved, it.value());
    }
    return result;
}

void Dialog_ColorMap::loadColorScales()
{
    QDir dir(QStringLiteral("ColorScales"));
    if (!dir.exists())
        return;
    const QStringList names =
        dir.entryList(QStringList() << QStringLiteral("*.clr"), QDir::Files | QDir::NoSymLinks);
    for (const QString& name : names)
        loadColorScale(name);
}

bool Dialog_ColorMap::loadColorScale(const QString& name)
{
    QMap<float, QColor> ramp;
    if (!readColorScale(QStringLiteral("ColorScales/") + name, ramp))
        return false;
    m_presets.append(ramp);

    QPixmap icon(200, 20);
    icon.fill(Qt::transparent);
    if (!ramp.isEmpty()) {
        QLinearGradient gradient(0, 0, 200, 20);
        for (auto it = ramp.constBegin(); it != ramp.constEnd(); ++it) {
            // A gradient takes stops in 0..1 only; the ramp keeps the others.
            if (it.key() >= 0.0f && it.key() <= 1.0f)
                gradient.setColorAt(it.key(), it.value());
        }
        QPainter painter(&icon);
        painter.fillRect(QRect(0, 0, 200, 20), QBrush(gradient));
    }
    ui->comboBox->addItem(QIcon(icon), name);
    ui->comboBox->setIconSize(QSize(200, 20));
    ui->comboBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return true;
}

void Dialog_ColorMap::setRamp(const QMap<float, QColor>& ramp)
{
    // The views leave out a first stop at the blank marker (it stands for
    // cells without a value) and stretch the rest down to 0: the editor
    // gets the ramp as they draw it, so a typed range moves real colours.
    QMap<float, QColor> drawn = ramp;
    constexpr float kBlankStopLimit = 1e-17f;
    if (drawn.size() > 1 && drawn.firstKey() > 0.0f && drawn.firstKey() <= kBlankStopLimit) {
        drawn.erase(drawn.begin());
        const float from = drawn.firstKey();
        if (from < 1.0f) {
            QMap<float, QColor> stretched;
            for (auto it = drawn.constBegin(); it != drawn.constEnd(); ++it)
                stretched.insert((it.key() - from) / (1.0f - from), it.value());
            drawn = stretched;
        }
    }
    m_ramp = drawn;
    showRamp();
}

void Dialog_ColorMap::showRamp()
{
    if (m_ramp.isEmpty())
        return;
    {
        const QSignalBlocker blocker(ui->comboBox);
        ui->comboBox->setCurrentIndex(m_presets.indexOf(m_ramp));
    }
    m_editor->setGradient(m_ramp);
}

void Dialog_ColorMap::showEvent(QShowEvent* event)
{
    // Whatever was left in the editor without 确定 is not in force.
    showRamp();
    QDialog::showEvent(event);
}

void Dialog_ColorMap::onStaticResistivity(float minimum, float maximum)
{
    m_maximum = maximum;
    m_minimum = minimum;
    ui->lineEdit->setText(QString::number(minimum, 'g', 6));
    ui->lineEdit_Min->setText(QString::number(minimum, 'g', 6));
    ui->lineEdit_Max->setText(QString::number(maximum, 'g', 6));
}

void Dialog_ColorMap::on_comboBox_currentIndexChanged(int index)
{
    if (index < 0 || index >= m_presets.size())
        return;
    m_editor->setGradient(m_presets.at(index));
    m_editor->update();
}

void Dialog_ColorMap::on_focusMarkerChanged(float position, QColor)
{
    const float value = m_minimum + position * (m_maximum - m_minimum);
    ui->lineEdit->setText(QString::number(value, 'g', 6));
}

void Dialog_ColorMap::on_pushButton_clicked()
{
    const float value = ui->lineEdit->text().toFloat();
    const float position = (value - m_minimum) / (m_maximum - m_minimum);
    // An empty range names no position.
    if (!std::isfinite(position))
        return;
    emit signalfocusMarkerPositionChanged(position);
}

void Dialog_ColorMap::on_pushButton_ok_clicked()
{
    const float newMinimum = ui->lineEdit_Min->text().toFloat();
    const float newMaximum = ui->lineEdit_Max->text().toFloat();
    QMap<float, QColor> ramp = m_editor->getGradient();
    // The ramp chosen, before any typed range is laid on it.
    m_ramp = ramp;
    // A bound counts as typed when it moved by a thousandth of the range:
    // a fixed step would ignore any range typed on a conductive section,
    // whose values span less than one ohm-metre. The fields' six digits
    // are no change either.
    const float tolerance = std::max(1e-3f * std::fabs(m_maximum - m_minimum),
                                     1e-5f * std::max(std::fabs(m_minimum), std::fabs(m_maximum)));
    if (!(std::fabs(newMinimum - m_minimum) <= tolerance && std::fabs(newMaximum - m_maximum) <= tolerance))
        ramp = remapGradient(ramp, m_minimum, m_maximum, newMinimum, newMaximum);
    emit signal_ColorMapChanged(ramp);
    close();
}

void Dialog_ColorMap::on_pushButton_Cancle_clicked()
{
    close();
}
