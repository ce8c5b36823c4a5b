#include "model/Data_Calc.h"

#include <QFont>
#include <QtCharts/QChart>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace {

QLogValueAxis* makeLogAxis()
{
    auto* axis = new QLogValueAxis;
    axis->setBase(10.0);
    QFont font;
    font.setPointSize(16);
    font.setWeight(75);
    axis->setLabelsFont(font);
    axis->setLineVisible(false);
    axis->setMinorTickCount(8);
    axis->setGridLineColor(Qt::black);
    return axis;
}

} // namespace

QChart* Data_Calc::makeDecayChart(QVector<double> x, QVector<double> y)
{
    auto* chart = new QChart;
    chart->legend()->hide();

    QLogValueAxis* axisX = makeLogAxis();
    QLogValueAxis* axisY = makeLogAxis();
    axisY->setLabelFormat("%.1E");
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);

    auto* series = new QScatterSeries;
    series->setColor(Qt::red);
    series->setMarkerSize(14.0);
    // A log axis cannot place zero, negative or non-finite values, and one
    // such point makes Qt Charts drop the whole series; leave them out.
    auto placeable = [](double v) { return std::isfinite(v) && v > 0.0; };
    const int n = std::min(x.size(), y.size());
    QVector<double> shownX;
    QVector<double> shownY;
    for (int i = 0; i < n; ++i) {
        if (placeable(x.at(i)) && placeable(y.at(i))) {
            series->append(x.at(i), y.at(i));
            shownX.append(x.at(i));
            shownY.append(y.at(i));
        }
    }

    chart->addSeries(series);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
    // Late gates of a resistive station lie decades below an early one: a
    // fixed range would leave them out of the picture.
    const QPair<double, double> timeRange = decadeRange(shownX, 10.0, 1e6);
    const QPair<double, double> valueRange = decadeRange(shownY, 1e-8, 0.01);
    axisX->setRange(timeRange.first, timeRange.second);
    axisY->setRange(valueRange.first, valueRange.second);
    return chart;
}
