// The decay-curve chart of report pictures, rendered offscreen.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtTest>

#include <limits>
#include <memory>

#include "model/Data_Calc.h"

using namespace QtCharts;

namespace {

QLogValueAxis* logAxis(QChart* chart, Qt::Orientation o)
{
    const auto axes = chart->axes(o);
    return axes.size() == 1 ? qobject_cast<QLogValueAxis*>(axes.first()) : nullptr;
}

int redPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80)
                ++count;
        }
    }
    return count;
}

} // namespace

class TestDecayChart : public QObject
{
    Q_OBJECT

private slots:
    void layout();
    void points_data();
    void points();
    void rendersOffscreen();

private:
    Data_Calc calc{nullptr};
};

void TestDecayChart::layout()
{
    std::unique_ptr<QChart> chart(calc.makeDecayChart({100, 1000}, {1e-3, 1e-5}));
    QVERIFY(!chart->legend()->isVisible());

    QLogValueAxis* ax = logAxis(chart.get(), Qt::Horizontal);
    QLogValueAxis* ay = logAxis(chart.get(), Qt::Vertical);
    QVERIFY(ax && ay);
    QCOMPARE(ax->alignment(), Qt::AlignBottom);
    QCOMPARE(ay->alignment(), Qt::AlignLeft);
    QCOMPARE(ax->min(), 10.0);
    QCOMPARE(ax->max(), 1e6);
    QCOMPARE(ay->min(), 1e-8);
    QCOMPARE(ay->max(), 0.01);
    QCOMPARE(ay->labelFormat(), QString("%.1E"));
    QVERIFY(ax->labelFormat() != QLatin1String("%.1E"));
    for (QLogValueAxis* a : {ax, ay}) {
        QCOMPARE(a->base(), 10.0);
        QCOMPARE(a->labelsFont().pointSize(), 16);
        QCOMPARE(a->labelsFont().weight(), 75);
        QVERIFY(!a->isLineVisible());
        QCOMPARE(a->minorTickCount(), 8);
        QCOMPARE(a->gridLineColor(), QColor(Qt::black));
    }

    QCOMPARE(chart->series().size(), 1);
    auto* series = qobject_cast<QScatterSeries*>(chart->series().first());
    QVERIFY(series);
    QCOMPARE(series->color(), QColor(Qt::red));
    QCOMPARE(series->markerSize(), 14.0);
    QCOMPARE(series->attachedAxes().size(), 2);
}

void TestDecayChart::points_data()
{
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("y");
    QTest::addColumn<QVector<QPointF>>("expected");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("equal lengths")
        << QVector<double>{10, 100, 1000} << QVector<double>{1e-3, 1e-4, 1e-5}
        << QVector<QPointF>{{10, 1e-3}, {100, 1e-4}, {1000, 1e-5}};
    QTest::newRow("fewer values") << QVector<double>{10, 100, 1000} << QVector<double>{1e-3}
        << QVector<QPointF>{{10, 1e-3}};
    QTest::newRow("fewer times") << QVector<double>{10} << QVector<double>{1e-3, 1e-4}
        << QVector<QPointF>{{10, 1e-3}};
    QTest::newRow("values a log axis cannot place")
        << QVector<double>{10, 20, 30, 40, 0, 60}
        << QVector<double>{1e-3, 0.0, -1e-4, nan, 1e-5, 1e-6}
        << QVector<QPointF>{{10, 1e-3}, {60, 1e-6}};
    QTest::newRow("empty") << QVector<double>{} << QVector<double>{} << QVector<QPointF>{};
}

void TestDecayChart::points()
{
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, y);
    QFETCH(QVector<QPointF>, expected);

    std::unique_ptr<QChart> chart(calc.makeDecayChart(x, y));
    auto* series = qobject_cast<QScatterSeries*>(chart->series().first());
    QVERIFY(series);
    QCOMPARE(series->pointsVector(), expected);
}

void TestDecayChart::rendersOffscreen()
{
    // A zero and a negative value must not blank the whole picture.
    QChart* chart = calc.makeDecayChart({20, 200, 2000, 20000, 30, 40},
                                        {1e-3, 1e-4, 1e-5, 1e-6, 0.0, -1.0});
    chart->setTitle("Point 100");
    QChartView view(chart); // takes ownership
    view.resize(800, 600);
    const QImage image = view.grab().toImage();
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(800, 600));
    QVERIFY2(redPixels(image) > 100, "no red markers drawn");

    std::unique_ptr<QChart> empty(calc.makeDecayChart({}, {}));
    empty->resize(400, 300);
    QImage blank(400, 300, QImage::Format_ARGB32);
    blank.fill(Qt::white);
    QPainter painter(&blank);
    QGraphicsScene scene;
    scene.addItem(empty.get());
    scene.render(&painter, QRectF(0, 0, 400, 300), QRectF(0, 0, 400, 300));
    painter.end();
    scene.removeItem(empty.get());
    QCOMPARE(redPixels(blank), 0);
}

QTEST_MAIN(TestDecayChart)
#include "tst_decay_chart.moc"
