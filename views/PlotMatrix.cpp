#include "views/PlotMatrix.h"

#include <QGridLayout>
#include <QMap>
#include <QResizeEvent>
#include <QVector>

#include <qwt_plot.h>
#include <qwt_plot_layout.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <algorithm>

namespace {
// Height of plot a row with a fixed share keeps beyond its title and axes.
constexpr int kMinimumCanvas = 60;
} // namespace

class PlotMatrix::PrivateData
{
public:
    QVector<QwtPlot *> plots;
    bool inScaleSync = false;
    QMap<int, float> rowRatios;
    QMap<int, float> columnRatios;
    QGridLayout *layout = nullptr;
};

PlotMatrix::PlotMatrix(int rows, int columns, QWidget *parent)
    : QFrame(parent)
    , d_data(new PrivateData)
{
    d_data->plots.resize(std::max(0, rows) * std::max(0, columns));
    d_data->layout = new QGridLayout(this);

    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < columns; ++col) {
            QwtPlot *plot = new QwtPlot(this);
            stylePlot(plot);
            d_data->layout->addWidget(plot, row, col);
            connectAxes(plot, true);
            d_data->plots[row * columns + col] = plot;
        }
    }
    updateLayout();
}

PlotMatrix::~PlotMatrix()
{
    delete d_data;
}

void PlotMatrix::stylePlot(QwtPlot *plot)
{
    if (QFrame *canvas = qobject_cast<QFrame *>(plot->canvas()))
        canvas->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis)
        plot->axisWidget(axis)->setMargin(0);
}

void PlotMatrix::connectAxes(QwtPlot *plot, bool on)
{
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis) {
        QwtScaleWidget *w = plot->axisWidget(axis);
        if (on)
            connect(w, SIGNAL(scaleDivChanged()), this, SLOT(scaleDivChanged()));
        else
            disconnect(w, SIGNAL(scaleDivChanged()), this, SLOT(scaleDivChanged()));
    }
}

int PlotMatrix::numRows() const
{
    const QGridLayout *l = qobject_cast<const QGridLayout *>(layout());
    return l ? l->rowCount() : 0;
}

int PlotMatrix::numColumns() const
{
    const QGridLayout *l = qobject_cast<const QGridLayout *>(layout());
    return l ? l->columnCount() : 0;
}

QwtPlot *PlotMatrix::plotAt(int row, int column) const
{
    const int index = numColumns() * row + column;
    if (index >= 0 && index < d_data->plots.size())
        return d_data->plots[index];
    return nullptr;
}

void PlotMatrix::setPlotAt(QwtPlot *plot, int row, int column)
{
    if (!plot || row < 0 || row >= numRows() || column < 0 || column >= numColumns())
        return;
    const int index = numColumns() * row + column;
    if (index < 0 || index >= d_data->plots.size() || d_data->plots[index] == plot)
        return;

    if (QwtPlot *old = d_data->plots[index]) {
        d_data->layout->removeWidget(old);
        connectAxes(old, false);
        if (old->parent() == this)
            delete old;
    }

    d_data->layout->addWidget(plot, row, column);
    d_data->plots[index] = plot;
    connectAxes(plot, true);
    stylePlot(plot);
    plot->replot();
    emit onResize();
}

void PlotMatrix::setRowHeightRatio(int row, float ratio)
{
    if (ratio > 0.0f && ratio < 1.0f && row >= 0 && row < numRows()) {
        d_data->rowRatios.insert(row, ratio);
        // In a low frame the share would leave only the title and axes: the
        // row keeps room for some curves as long as that is at most half.
        int h = static_cast<int>(static_cast<float>(height()) * ratio);
        for (int col = 0; col < numColumns(); ++col) {
            if (QwtPlot *p = plotAt(row, col))
                h = std::max(h, std::min(height() / 2, p->minimumSizeHint().height() + kMinimumCanvas));
        }
        // The plot of fixed height must get a cell of its height: a shorter
        // one would have it reach over the plot below (its axis labels over
        // that one's title). The other rows take what is left, whatever
        // their plots' size hints say.
        const QMargins margins = d_data->layout->contentsMargins();
        const int spacing = std::max(0, d_data->layout->verticalSpacing());
        const int room = height() - margins.top() - margins.bottom() - spacing * std::max(0, numRows() - 1);
        h = std::max(0, std::min(h, room));
        for (int other = 0; other < numRows(); ++other) {
            if (other == row || d_data->rowRatios.contains(other))
                continue;
            for (int col = 0; col < numColumns(); ++col) {
                QwtPlot *p = plotAt(other, col);
                if (!p || p->sizePolicy().verticalPolicy() == QSizePolicy::Ignored)
                    continue;
                QSizePolicy policy = p->sizePolicy();
                policy.setVerticalPolicy(QSizePolicy::Ignored);
                p->setSizePolicy(policy);
            }
        }
        for (int col = 0; col < numColumns(); ++col) {
            if (QwtPlot *p = plotAt(row, col))
                p->setFixedHeight(h);
        }
    } else {
        d_data->rowRatios.remove(row);
    }
}

void PlotMatrix::setColumnWidthRatio(int column, float ratio)
{
    if (ratio > 0.0f && ratio < 1.0f && column >= 0 && column < numColumns()) {
        d_data->columnRatios.insert(column, ratio);
        const int w = static_cast<int>(static_cast<float>(width()) * ratio);
        for (int row = 0; row < numRows(); ++row) {
            if (QwtPlot *p = plotAt(row, column))
                p->setFixedWidth(w);
        }
    } else {
        d_data->columnRatios.remove(column);
    }
}

void PlotMatrix::alignAxes(int column, int axis)
{
    int maxExtent = 0;
    for (int row = 0; row < numRows(); ++row) {
        QwtPlot *p = plotAt(row, column);
        if (!p)
            continue;
        QwtScaleWidget *w = p->axisWidget(axis);
        QwtScaleDraw *sd = w->scaleDraw();
        sd->setMinimumExtent(0);
        const int extent = static_cast<int>(sd->extent(w->font()));
        maxExtent = std::max(maxExtent, extent);
    }
    for (int row = 0; row < numRows(); ++row) {
        if (QwtPlot *p = plotAt(row, column))
            p->axisWidget(axis)->scaleDraw()->setMinimumExtent(maxExtent);
    }
}

void PlotMatrix::updateLayout()
{
    // Copies: the setters may remove entries.
    const QMap<int, float> columns = d_data->columnRatios;
    for (auto it = columns.constBegin(); it != columns.constEnd(); ++it)
        setColumnWidthRatio(it.key(), it.value());
    const QMap<int, float> rows = d_data->rowRatios;
    for (auto it = rows.constBegin(); it != rows.constEnd(); ++it)
        setRowHeightRatio(it.key(), it.value());

    // Measure the labels of the scales as they are now, not as they were
    // at the last replot of each plot.
    for (QwtPlot *p : qAsConst(d_data->plots)) {
        if (p)
            p->updateAxes();
    }
    for (int col = 0; col < numColumns(); ++col) {
        alignAxes(col, QwtPlot::yLeft);
        alignAxes(col, QwtPlot::yRight);
    }

    for (int row = 0; row < numRows(); ++row) {
        for (int col = 0; col < numColumns(); ++col) {
            QwtPlot *p = plotAt(row, col);
            if (!p)
                continue;
            p->updateLayout();
            p->replot();
            const QwtScaleDiv &div = p->axisScaleDiv(QwtPlot::yLeft);
            p->setAxisScale(QwtPlot::yRight, div.lowerBound(), div.upperBound());
            p->replot();
        }
    }
    emit onResize();
}

void PlotMatrix::scaleDivChanged()
{
    if (d_data->inScaleSync)
        return;
    d_data->inScaleSync = true;

    bool found = false;
    for (QwtPlot *p : qAsConst(d_data->plots)) {
        if (!p)
            continue;
        for (int axis = 0; axis < QwtPlot::axisCnt && !found; ++axis)
            found = p->axisWidget(axis) == sender();
        if (found)
            break;
    }
    if (found)
        updateLayout();

    d_data->inScaleSync = false;
}

void PlotMatrix::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    updateLayout();
}
