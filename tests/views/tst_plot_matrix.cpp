#include "views/PlotMatrix.h"

#include <QtTest>

#include <qwt_plot.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

// Grid of plots: row and column shares, axis alignment, plot placement.
class TestPlotMatrix : public QObject
{
    Q_OBJECT

private slots:
    void gridAndPlots();
    void rowRatioFollowsResize();
    void invalidRatioIsForgotten_data();
    void invalidRatioIsForgotten();
    void columnRatio();
    void setPlotAtReplaces();
    void samePlotDoesNothing();
    void scaleChangeRunsOnePass();
    void leftAxesAligned();
};

void TestPlotMatrix::gridAndPlots()
{
    PlotMatrix m(2, 3);
    QCOMPARE(m.numRows(), 2);
    QCOMPARE(m.numColumns(), 3);
    QVERIFY(m.plotAt(1, 2));
    QVERIFY(m.plotAt(0, 0) != m.plotAt(0, 1));
    QCOMPARE(m.plotAt(1, 2)->parent(), &m);
    QVERIFY(!m.plotAt(2, 0));
    QVERIFY(!m.plotAt(-1, 0));
    QCOMPARE(qobject_cast<QFrame *>(m.plotAt(0, 0)->canvas())->frameStyle(),
             int(QFrame::StyledPanel | QFrame::Sunken));
}

void TestPlotMatrix::rowRatioFollowsResize()
{
    QWidget host;
    PlotMatrix m(2, 1, &host);
    m.setGeometry(0, 0, 300, 600);
    host.show();
    m.setRowHeightRatio(0, 0.35f);
    QCOMPARE(m.plotAt(0, 0)->minimumHeight(), 210);
    QCOMPARE(m.plotAt(0, 0)->maximumHeight(), 210);
    m.resize(300, 800);
    QCOMPARE(m.plotAt(0, 0)->maximumHeight(), 280);
    QCoreApplication::processEvents();
    QCOMPARE(m.plotAt(0, 0)->height(), 280);
    // Too low for the share to leave room below the title and axes: the
    // row takes up to half, and never more than the row below leaves it,
    // so that it does not reach over that one.
    m.resize(300, 200);
    QVERIFY(m.plotAt(0, 0)->maximumHeight() <= 100);
    QCoreApplication::processEvents();
    QVERIFY(m.plotAt(0, 0)->geometry().bottom() < m.plotAt(1, 0)->geometry().top());
}

void TestPlotMatrix::invalidRatioIsForgotten_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<float>("ratio");
    QTest::newRow("ratio 1") << 0 << 1.0f;
    QTest::newRow("ratio 0") << 0 << 0.0f;
    QTest::newRow("negative") << 0 << -0.2f;
    QTest::newRow("row outside") << 5 << 0.5f;
}

void TestPlotMatrix::invalidRatioIsForgotten()
{
    QFETCH(int, row);
    QFETCH(float, ratio);
    QWidget host;
    PlotMatrix m(2, 1, &host);
    m.setGeometry(0, 0, 300, 600);
    host.show();
    m.setRowHeightRatio(0, 0.35f);
    m.setRowHeightRatio(row, ratio);
    m.resize(300, 900);
    // "row outside" leaves row 0's ratio in force; the others remove it and
    // the plot keeps the height it was fixed at.
    QCOMPARE(m.plotAt(0, 0)->maximumHeight(), row == 0 ? 210 : 315);
}

void TestPlotMatrix::columnRatio()
{
    QWidget host;
    PlotMatrix m(1, 2, &host);
    m.setGeometry(0, 0, 500, 300);
    host.show();
    m.setColumnWidthRatio(1, 0.25f);
    QCOMPARE(m.plotAt(0, 1)->maximumWidth(), 125);
    m.resize(800, 300);
    QCOMPARE(m.plotAt(0, 1)->maximumWidth(), 200);
    m.setColumnWidthRatio(2, 0.25f);   // outside: no plot changes
    QCOMPARE(m.plotAt(0, 0)->maximumWidth(), QWIDGETSIZE_MAX);
}

void TestPlotMatrix::setPlotAtReplaces()
{
    PlotMatrix m(2, 1);
    QPointer<QwtPlot> old = m.plotAt(1, 0);
    QwtPlot *mine = new QwtPlot();
    QSignalSpy spy(&m, SIGNAL(onResize()));
    m.setPlotAt(mine, 1, 0);
    QVERIFY(old.isNull());                 // the matrix deleted its own plot
    QCOMPARE(m.plotAt(1, 0), mine);
    QCOMPARE(mine->parent(), &m);
    QVERIFY(spy.count() >= 1);   // placing, and the layout pass of its replot
    QCOMPARE(mine->axisWidget(QwtPlot::yLeft)->margin(), 0);

    // Placing takes the plot over; replacing it later deletes it.
    QPointer<QwtPlot> first = new QwtPlot();
    m.setPlotAt(first, 0, 0);
    QCOMPARE(first->parent(), &m);
    QwtPlot *back = new QwtPlot();
    m.setPlotAt(back, 0, 0);
    QVERIFY(first.isNull());
    m.setPlotAt(back, 3, 0);               // outside the grid
    QCOMPARE(m.plotAt(0, 0), back);
}

void TestPlotMatrix::samePlotDoesNothing()
{
    PlotMatrix m(2, 1);
    QSignalSpy spy(&m, SIGNAL(onResize()));
    m.setPlotAt(m.plotAt(0, 0), 0, 0);
    QCOMPARE(spy.count(), 0);
}

void TestPlotMatrix::scaleChangeRunsOnePass()
{
    PlotMatrix m(2, 1);
    m.resize(400, 400);
    m.show();
    QCoreApplication::processEvents();
    QSignalSpy spy(&m, SIGNAL(onResize()));
    QwtPlot *p = m.plotAt(1, 0);
    p->setAxisScale(QwtPlot::yLeft, -5000, 5000);
    p->replot();
    // One pass; the right axis changes it makes do not start another.
    QCOMPARE(spy.count(), 1);
    QCOMPARE(p->axisScaleDiv(QwtPlot::yRight).lowerBound(), -5000.0);
    QCOMPARE(p->axisScaleDiv(QwtPlot::yRight).upperBound(), 5000.0);
}

void TestPlotMatrix::leftAxesAligned()
{
    PlotMatrix m(2, 1);
    m.resize(400, 400);
    m.show();
    m.plotAt(0, 0)->setAxisScale(QwtPlot::yLeft, 0, 1);
    m.plotAt(1, 0)->setAxisScale(QwtPlot::yLeft, -123456, 123456);
    m.plotAt(0, 0)->replot();
    m.plotAt(1, 0)->replot();
    const int a = m.plotAt(0, 0)->axisWidget(QwtPlot::yLeft)->scaleDraw()->minimumExtent();
    const int b = m.plotAt(1, 0)->axisWidget(QwtPlot::yLeft)->scaleDraw()->minimumExtent();
    QCOMPARE(a, b);
    QVERIFY(a > 0);
    QCoreApplication::processEvents();
    QCOMPARE(m.plotAt(0, 0)->canvas()->geometry().left() + m.plotAt(0, 0)->geometry().left(),
             m.plotAt(1, 0)->canvas()->geometry().left() + m.plotAt(1, 0)->geometry().left());
}

QTEST_MAIN(TestPlotMatrix)
#include "tst_plot_matrix.moc"
