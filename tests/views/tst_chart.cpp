#include "model/UserPrompt.h"
#include "shell/Dialog_Axis.h"
#include "views/Chart.h"
#include "views/ChartView.h"

#include <QDialog>
#include <QGesture>
#include <QGestureEvent>
#include <QGraphicsScene>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTouchEvent>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include "common/TestHelpers.h"

#include <cmath>
#include <memory>

using namespace QtCharts;

namespace {

struct Answer {
    QString title;
    QString text;
};

// A decay chart as the one-dimensional form sets it up: log axes, a
// scatter series of positive values, presses routed to the pick slot.
struct Fixture {
    Chart *chart = new Chart;
    std::unique_ptr<ChartView> view;
    QScatterSeries *series = new QScatterSeries;
    QLogValueAxis *axisX = new QLogValueAxis;
    QLogValueAxis *axisY = new QLogValueAxis;
    bool exposed = false;

    explicit Fixture(const QVector<QPointF> &points, double yMin = 1e-8, double yMax = 1e-3)
    {
        view.reset(new ChartView(chart));
        chart->legend()->hide();
        series->setMarkerSize(7.0);
        series->replace(points);
        chart->addAxis(axisX, Qt::AlignBottom);
        chart->addAxis(axisY, Qt::AlignLeft);
        chart->addSeries(series);
        chart->setSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
        axisX->setRange(50.0, 1e6);
        axisY->setRange(yMin, yMax);
        QObject::connect(series, &QXYSeries::pressed, chart, &Chart::on_signal_clickPoint);
        view->resize(600, 420);
        view->show();
        exposed = QTest::qWaitForWindowExposed(view.get());
    }

    // Pixel position of a value point in the view's viewport.
    QPoint pixelOf(const QPointF &value) const
    {
        const QPointF inChart = chart->mapToPosition(value, series);
        return view->mapFromScene(chart->mapToScene(inChart));
    }

    // Pixel row at which a drag makes the given value (the inverse of the
    // chart's mapping, before truncation).
    int rowFor(double value) const
    {
        const QRectF area = chart->plotArea();
        const double ppd = area.height() / (std::log10(axisY->max()) - std::log10(axisY->min()));
        const double offset = (std::log10(axisY->max()) - std::log10(value)) * ppd;
        return view->mapFromScene(chart->mapToScene(QPointF(0, area.top() + offset))).y();
    }

    // The value a drag to pixel row y gives.
    double valueAtRow(int y) const
    {
        const QRectF area = chart->plotArea();
        const double ppd = area.height() / (std::log10(axisY->max()) - std::log10(axisY->min()));
        const int offset = static_cast<int>(y - area.top());
        return std::pow(10.0, std::log10(axisY->max()) - offset / ppd);
    }
};

QVector<QPointF> decay()
{
    return {{100, 1e-4}, {200, 3e-5}, {400, 1e-5}, {800, 2e-6}, {1600, 4e-7}};
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pickNearest_data();
    void pickNearest();
    void dragMovesOnlyTheSelectedPoint();
    void clickWithoutMoveChangesNothing();
    void dragInLineModeCarriesLaterPoints();
    void dragOutOfRangePinsThePoint_data();
    void dragOutOfRangePinsThePoint();
    void dragNeedsLogAxesAndSelection();
    void keys_data();
    void keys();
    void escapeDropsTheSelection();
    void middleDoubleClickEndsTheDrag();
    void leftDoubleClickAppliesDialogLimits_data();
    void leftDoubleClickAppliesDialogLimits();
    void onlyLeftPressesPickAndTouchSuppressesThem();
    void gestures();

private:
    QList<Answer> m_answers;
};

void TestChart::init()
{
    m_answers.clear();
    UserPrompt::setTitledMessageAnswerer([this](const QString &title, const QString &text) {
        m_answers.append({title, text});
    });
    // A dialog that slips through must not block the run.
    UserPrompt::setDialogAnswerer([](QDialog *) { return int(QDialog::Rejected); });
}

void TestChart::cleanup()
{
    UserPrompt::setTitledMessageAnswerer({});
    UserPrompt::setDialogAnswerer({});
}

void TestChart::pickNearest_data()
{
    QTest::addColumn<QVector<QPointF>>("points");
    QTest::addColumn<QPointF>("press");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QPointF>("expected");

    const QVector<QPointF> pts{{1, 1}, {5, 5}, {9, 1}};
    QTest::newRow("nearest") << pts << QPointF(6, 4) << true << QPointF(5, 5);
    QTest::newRow("equal distance keeps the first")
        << pts << QPointF(5, 1) << true << QPointF(1, 1);
    QTest::newRow("origin nearer than every point")
        << QVector<QPointF>{{10, 10}, {20, 20}} << QPointF(1, 1) << false << QPointF(0, 0);
    QTest::newRow("empty series") << QVector<QPointF>{} << QPointF(3, 3) << false
                                  << QPointF(0, 0);
    QTest::newRow("unscaled distance, x dominates")
        << QVector<QPointF>{{100, 1e-4}, {200, 1e-6}} << QPointF(190, 1e-4) << true
        << QPointF(200, 1e-6);
}

void TestChart::pickNearest()
{
    QFETCH(QVector<QPointF>, points);
    QFETCH(QPointF, press);

    Chart chart;
    QScatterSeries series;
    series.replace(points);
    chart.setSeries(&series);
    chart.on_signal_clickPoint(QPointF(1, 1)); // an earlier selection is dropped first
    chart.on_signal_clickPoint(press);
    QTEST(chart.isPointSelected(), "selected");
    QTEST(chart.selectedPoint(), "expected");
}

void TestChart::clickWithoutMoveChangesNothing()
{
    Fixture f(decay());
    QSignalSpy done(f.chart, &Chart::signal_MouseMoveComplete);
    QWidget *vp = f.view->viewport();
    const QPoint onPoint = f.pixelOf(QPointF(400, 1e-5));
    // A point between two pixel rows: the row it is drawn on holds another value.
    f.series->replace(2, QPointF(400, 1.00321e-5));
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, onPoint);
    QVERIFY(f.chart->isPointSelected());
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, onPoint);
    QCOMPARE(done.count(), 0);
    QVERIFY(!f.chart->isPointSelected());
    QCOMPARE(f.series->pointsVector().at(2), QPointF(400, 1.00321e-5));

    // Moved away and back: that is a drag, completed at the release.
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, onPoint);
    for (const QPoint &to : {onPoint + QPoint(0, 10), onPoint}) {
        QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &move);
    }
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, onPoint);
    QCOMPARE(done.count(), 1);
}

void TestChart::dragMovesOnlyTheSelectedPoint()
{
    Fixture f(decay());
    QSignalSpy done(f.chart, &Chart::signal_MouseMoveComplete);
    QWidget *vp = f.view->viewport();

    const QPoint start = f.pixelOf(QPointF(400, 1e-5));
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, start);
    QVERIFY(f.chart->isPointSelected());
    QCOMPARE(f.chart->selectedPoint(), QPointF(400, 1e-5));

    const int row = f.rowFor(1e-6);
    // The x of the mouse is ignored: the point moves vertically only.
    QTest::mouseMove(vp, QPoint(start.x() + 40, row));
    const double v = f.valueAtRow(row);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(start.x() + 40, row));

    QCOMPARE(done.count(), 1);
    QVERIFY(!f.chart->isPointSelected());
    const QVector<QPointF> pts = f.series->pointsVector();
    QVector<QPointF> expected = decay();
    expected[2] = QPointF(400, v);
    QCOMPARE(pts.size(), expected.size());
    for (int i = 0; i < pts.size(); ++i) {
        QCOMPARE(pts[i].x(), expected[i].x());
        HW_COMPARE_NEAR(pts[i].y(), expected[i].y(), 1e-12);
    }
    HW_COMPARE_NEAR(v, 1e-6, 0.1); // within a pixel of the aimed value
}

void TestChart::dragInLineModeCarriesLaterPoints()
{
    Fixture f(decay());
    f.chart->on_signal_LineMovedStatusChanged(true);
    QWidget *vp = f.view->viewport();

    const QPoint start = f.pixelOf(QPointF(200, 3e-5));
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, start);
    QVERIFY(f.chart->isPointSelected());
    // Two steps: each scales the later points by its own factor.
    const int row1 = f.rowFor(1e-5);
    const int row2 = f.rowFor(3e-6);
    QTest::mouseMove(vp, QPoint(start.x(), row1));
    QTest::mouseMove(vp, QPoint(start.x(), row2));
    const double v = f.valueAtRow(row2);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(start.x(), row2));

    const double factor = v / 3e-5;
    const QVector<QPointF> pts = f.series->pointsVector();
    const QVector<QPointF> before = decay();
    HW_COMPARE_NEAR(pts[0].y(), before[0].y(), 1e-12);
    HW_COMPARE_NEAR(pts[1].y(), v, 1e-12);
    for (int i = 2; i < pts.size(); ++i)
        HW_COMPARE_NEAR(pts[i].y(), before[i].y() * factor, 1e-9);
    QVERIFY(m_answers.isEmpty());
}

void TestChart::dragOutOfRangePinsThePoint_data()
{
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");
    QTest::addColumn<double>("aim");
    QTest::addColumn<bool>("pinned");

    QTest::newRow("above 1") << 1e-8 << 10.0 << 3.0 << true;
    QTest::newRow("below 1e-16") << 1e-18 << 1e-3 << 1e-17 << true;
    QTest::newRow("1e-15 is kept") << 1e-18 << 1e-3 << 1e-15 << false;
}

void TestChart::dragOutOfRangePinsThePoint()
{
    QFETCH(double, yMin);
    QFETCH(double, yMax);
    QFETCH(double, aim);
    QFETCH(bool, pinned);

    Fixture f(decay(), yMin, yMax);
    f.chart->on_signal_LineMovedStatusChanged(true);
    QSignalSpy done(f.chart, &Chart::signal_MouseMoveComplete);
    f.chart->on_signal_clickPoint(QPointF(400, 1e-5));
    QVERIFY(f.chart->isPointSelected());

    f.chart->dragSelectedPoint(QPoint(0, f.rowFor(aim)));
    const QVector<QPointF> pts = f.series->pointsVector();
    if (pinned) {
        QCOMPARE(m_answers.size(), 1);
        QCOMPARE(m_answers[0].title, QStringLiteral("提示"));
        QCOMPARE(m_answers[0].text, QStringLiteral("产生异常数据值"));
        QCOMPARE(pts[2], QPointF(400, 1e-8));
        QCOMPARE(f.chart->selectedPoint(), QPointF(400, 1e-8));
        QVERIFY(!f.chart->isPointSelected());
        QCOMPARE(done.count(), 1);
        // The later points stay where they were.
        QCOMPARE(pts[3], decay()[3]);
    } else {
        QVERIFY(m_answers.isEmpty());
        QVERIFY(f.chart->isPointSelected());
        QCOMPARE(done.count(), 0);
        HW_COMPARE_NEAR(pts[2].y(), aim, 0.2);
    }
}

void TestChart::dragNeedsLogAxesAndSelection()
{
    // Nothing selected: no change.
    {
        Fixture f(decay());
        f.chart->dragSelectedPoint(QPoint(0, f.rowFor(1e-6)));
        QCOMPARE(f.series->pointsVector(), decay());
    }
    // Linear vertical axis: no change.
    {
        auto *chart = new Chart;   // owned by the view's scene
        ChartView view(chart);
        auto *series = new QScatterSeries;
        series->replace(decay());
        auto *x = new QLogValueAxis;
        auto *y = new QValueAxis;
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
        chart->setSeries(series);
        view.resize(400, 300);
        chart->on_signal_clickPoint(QPointF(400, 1e-5));
        QVERIFY(chart->isPointSelected());
        chart->dragSelectedPoint(QPoint(0, 10));
        QCOMPARE(series->pointsVector(), decay());
    }
}

void TestChart::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("xMinChange"); // sign of the change of the time axis minimum
    QTest::addColumn<int>("xSpanChange"); // sign of the change of its span (decades)
    QTest::addColumn<int>("yMinChange");

    QTest::newRow("+") << int(Qt::Key_Plus) << 1 << -1 << 1;
    QTest::newRow("=") << int(Qt::Key_Equal) << 1 << -1 << 1;
    QTest::newRow("Q") << int(Qt::Key_Q) << 1 << -1 << 1;
    QTest::newRow("-") << int(Qt::Key_Minus) << -1 << 1 << -1;
    QTest::newRow("E") << int(Qt::Key_E) << -1 << 1 << -1;
    QTest::newRow("Left") << int(Qt::Key_Left) << -1 << 0 << 0;
    QTest::newRow("A") << int(Qt::Key_A) << -1 << 0 << 0;
    QTest::newRow("Right") << int(Qt::Key_Right) << 1 << 0 << 0;
    QTest::newRow("D") << int(Qt::Key_D) << 1 << 0 << 0;
    QTest::newRow("Up") << int(Qt::Key_Up) << 0 << 0 << 1;
    QTest::newRow("W") << int(Qt::Key_W) << 0 << 0 << 1;
    QTest::newRow("Down") << int(Qt::Key_Down) << 0 << 0 << -1;
    QTest::newRow("S") << int(Qt::Key_S) << 0 << 0 << -1;
    QTest::newRow("other key") << int(Qt::Key_X) << 0 << 0 << 0;
}

void TestChart::keys()
{
    QFETCH(int, key);
    QFETCH(int, xMinChange);
    QFETCH(int, xSpanChange);
    QFETCH(int, yMinChange);

    Fixture f(decay());
    const double x0 = std::log10(f.axisX->min());
    const double span0 = std::log10(f.axisX->max()) - x0;
    const double y0 = std::log10(f.axisY->min());
    QTest::keyClick(f.view.get(), Qt::Key(key));
    const double x1 = std::log10(f.axisX->min());
    const double span1 = std::log10(f.axisX->max()) - x1;
    const double y1 = std::log10(f.axisY->min());

    auto sign = [](double d) { return std::fabs(d) < 1e-9 ? 0 : (d > 0 ? 1 : -1); };
    QCOMPARE(sign(x1 - x0), xMinChange);
    QCOMPARE(sign(span1 - span0), xSpanChange);
    QCOMPARE(sign(y1 - y0), yMinChange);
}

void TestChart::escapeDropsTheSelection()
{
    Fixture f(decay());
    QSignalSpy done(f.chart, &Chart::signal_MouseMoveComplete);
    QTest::keyClick(f.view.get(), Qt::Key_Q);
    f.chart->on_signal_clickPoint(QPointF(800, 2e-6));
    QVERIFY(f.chart->isPointSelected());
    QTest::keyClick(f.view.get(), Qt::Key_Escape);
    QVERIFY(!f.chart->isPointSelected());
    QCOMPARE(done.count(), 1);
    // Zoom is reset to the axes' own range.
    HW_COMPARE_NEAR(f.axisX->min(), 50.0, 1e-6);
    HW_COMPARE_NEAR(f.axisX->max(), 1e6, 1e-6);
}

void TestChart::middleDoubleClickEndsTheDrag()
{
    Fixture f(decay());
    QSignalSpy done(f.chart, &Chart::signal_MouseMoveComplete);
    f.chart->on_signal_clickPoint(QPointF(1600, 4e-7));
    QVERIFY(f.chart->isPointSelected());
    const int row = f.rowFor(1e-7);
    QTest::mouseDClick(f.view->viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(300, row));
    QVERIFY(!f.chart->isPointSelected());
    QCOMPARE(done.count(), 1);
    HW_COMPARE_NEAR(f.series->pointsVector()[4].y(), f.valueAtRow(row), 1e-12);
}

void TestChart::leftDoubleClickAppliesDialogLimits_data()
{
    QTest::addColumn<bool>("pressOk");
    QTest::addColumn<QList<double>>("expected"); // xMin, xMax, yMin, yMax

    QTest::newRow("OK with typed limits") << true << QList<double>{100.0, 1e5, 1e-9, 1e-2};
    // Cancel before any OK: the dialog's initial limits.
    QTest::newRow("cancel") << false << QList<double>{50.0, 1e6, 1e-8, 1e-3};
}

void TestChart::leftDoubleClickAppliesDialogLimits()
{
    QFETCH(bool, pressOk);
    QFETCH(QList<double>, expected);

    Fixture f(decay());
    f.axisX->setRange(200, 3000);
    f.axisY->setRange(1e-7, 1e-4);
    int runs = 0;
    UserPrompt::setDialogAnswerer([&](QDialog *dialog) {
        ++runs;
        if (pressOk) {
            dialog->findChild<QLineEdit *>("lineEdit_xMin")->setText("100");
            dialog->findChild<QLineEdit *>("lineEdit_xMax")->setText("1e5");
            dialog->findChild<QLineEdit *>("lineEdit_yMin")->setText("1e-9");
            dialog->findChild<QLineEdit *>("lineEdit_yMax")->setText("1e-2");
            dialog->findChild<QPushButton *>("pushButton_OK")->click();
        } else {
            dialog->findChild<QLineEdit *>("lineEdit_xMin")->setText("7");
            dialog->findChild<QPushButton *>("pushButton_Cancle")->click();
        }
        return int(QDialog::Rejected); // both buttons close the dialog
    });
    QTest::mouseDClick(f.view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    QCOMPARE(runs, 1);
    QVERIFY(qobject_cast<Dialog_Axis *>(f.view->axisDialog()));
    HW_COMPARE_NEAR(f.axisX->min(), expected[0], 1e-12);
    HW_COMPARE_NEAR(f.axisX->max(), expected[1], 1e-12);
    HW_COMPARE_NEAR(f.axisY->min(), expected[2], 1e-12);
    HW_COMPARE_NEAR(f.axisY->max(), expected[3], 1e-12);
}

void TestChart::onlyLeftPressesPickAndTouchSuppressesThem()
{
    Fixture f(decay());
    f.chart->setAnimationOptions(QChart::SeriesAnimations);
    QWidget *vp = f.view->viewport();
    const QPoint onPoint = f.pixelOf(QPointF(400, 1e-5));

    // Only the left button reaches the series.
    QTest::mousePress(vp, Qt::RightButton, Qt::NoModifier, onPoint);
    QVERIFY(!f.chart->isPointSelected());
    QTest::mouseRelease(vp, Qt::RightButton, Qt::NoModifier, onPoint);

    QTouchDevice *device = QTest::createTouchDevice();
    QTouchEvent::TouchPoint tp(0);
    tp.setState(Qt::TouchPointPressed);
    tp.setPos(onPoint);
    QTouchEvent touch(QEvent::TouchBegin, device, Qt::NoModifier, Qt::TouchPointPressed, {tp});
    QCoreApplication::sendEvent(vp, &touch);
    QCOMPARE(f.chart->animationOptions(), QChart::NoAnimation);

    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, onPoint);
    QVERIFY(!f.chart->isPointSelected());
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, onPoint);

    // The release ended the touch: presses pick again.
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, onPoint);
    QVERIFY(f.chart->isPointSelected());
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, onPoint);
}

void TestChart::gestures()
{
    Fixture f(decay());
    const double x0 = f.axisX->min();
    const double y0 = f.axisY->min();

    QPanGesture pan;
    pan.setLastOffset(QPointF(0, 0));
    pan.setOffset(QPointF(30, 0)); // delta (30, 0): scroll(-30, 0)
    QGestureEvent panEvent({&pan});
    QVERIFY(f.chart->scene()->sendEvent(f.chart, &panEvent));
    QVERIFY(f.axisX->min() < x0);
    HW_COMPARE_NEAR(f.axisY->min(), y0, 1e-12);

    const double spanBefore = std::log10(f.axisX->max() / f.axisX->min());
    QPinchGesture pinch;
    pinch.setScaleFactor(2.0);
    pinch.setChangeFlags(QPinchGesture::ScaleFactorChanged);
    QGestureEvent pinchEvent({&pinch});
    QVERIFY(f.chart->scene()->sendEvent(f.chart, &pinchEvent));
    const double spanAfter = std::log10(f.axisX->max() / f.axisX->min());
    HW_COMPARE_NEAR(spanAfter, spanBefore / 2.0, 1e-6);

    // A pinch without a scale change does not zoom.
    QPinchGesture turn;
    turn.setScaleFactor(3.0);
    turn.setChangeFlags(QPinchGesture::RotationAngleChanged);
    QGestureEvent turnEvent({&turn});
    f.chart->scene()->sendEvent(f.chart, &turnEvent);
    HW_COMPARE_NEAR(std::log10(f.axisX->max() / f.axisX->min()), spanAfter, 1e-9);
}

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
