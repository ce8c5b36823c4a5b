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
    void decadeRange_data();
    void decadeRange();
    void axesTakeInEveryPoint_data();
    void axesTakeInEveryPoint();

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
    QCOMPARE(ax->min(), 100.0);
    QCOMPARE(ax->max(), 1000.0);
    QCOMPARE(ay->min(), 1e-5);
    QCOMPARE(ay->max(), 1e-3);
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

void TestDecayChart::decadeRange_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("inside decades") << QVector<double>{3e-7, 2e-11, 4.5e-3} << 1e-11 << 1e-2;
    QTest::newRow("powers of ten are their own ends") << QVector<double>{1e-9, 1e-4} << 1e-9 << 1e-4;
    QTest::newRow("a rounding error off a power of ten")
        << QVector<double>{1e-9 * (1.0 + 1e-13), 1e-4 * (1.0 - 1e-13)} << 1e-9 << 1e-4;
    QTest::newRow("one value: its decade") << QVector<double>{2.5e-6} << 1e-6 << 1e-5;
    QTest::newRow("one power of ten: a decade from it") << QVector<double>{1e-6} << 1e-6 << 1e-5;
    QTest::newRow("what a log axis cannot place is left out")
        << QVector<double>{0.0, -5.0, nan, inf, 7e-8, 3e-5} << 1e-8 << 1e-4;
    QTest::newRow("nothing placeable: the fallback") << QVector<double>{0.0, -1e-3, nan} << 1e-8 << 1e-3;
    QTest::newRow("empty: the fallback") << QVector<double>{} << 1e-8 << 1e-3;
}

void TestDecayChart::decadeRange()
{
    QFETCH(QVector<double>, values);
    QFETCH(double, low);
    QFETCH(double, high);
    const QPair<double, double> range = Data_Calc::decadeRange(values, 1e-8, 1e-3);
    QCOMPARE(range.first, low);
    QCOMPARE(range.second, high);
}

void TestDecayChart::axesTakeInEveryPoint_data()
{
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("y");
    QTest::addColumn<QPointF>("lowest");
    QTest::addColumn<QPointF>("highest");

    // 44 gates from 8 us to 8 ms of a resistive station whose late gates
    // lie far below 1e-8 V.
    QVector<double> times, late;
    for (int i = 0; i < 44; ++i) {
        times << 8.0 * std::pow(10.0, 3.0 * i / 43.0);
        late << 2e-4 * std::pow(times.last() / 8.0, -2.5);
    }
    QTest::newRow("late gates below 1e-8") << times << late << QPointF(1.0, 1e-12) << QPointF(1e4, 1e-3);
    QTest::newRow("early gates above 1e-2")
        << QVector<double>{2e5, 3e6} << QVector<double>{0.5, 2e-2} << QPointF(1e5, 1e-2) << QPointF(1e7, 1.0);
    QTest::newRow("no point: the fixed ranges")
        << QVector<double>{0.0} << QVector<double>{1e-4} << QPointF(10.0, 1e-8) << QPointF(1e6, 1e-2);
}

void TestDecayChart::axesTakeInEveryPoint()
{
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, y);
    QFETCH(QPointF, lowest);
    QFETCH(QPointF, highest);
    std::unique_ptr<QChart> chart(calc.makeDecayChart(x, y));
    QLogValueAxis* ax = logAxis(chart.get(), Qt::Horizontal);
    QLogValueAxis* ay = logAxis(chart.get(), Qt::Vertical);
    QVERIFY(ax && ay);
    QCOMPARE(ax->min(), lowest.x());
    QCOMPARE(ax->max(), highest.x());
    QCOMPARE(ay->min(), lowest.y());
    QCOMPARE(ay->max(), highest.y());
    auto* series = qobject_cast<QScatterSeries*>(chart->series().first());
    for (const QPointF& p : series->pointsVector()) {
        QVERIFY(p.x() >= ax->min() && p.x() <= ax->max());
        QVERIFY(p.y() >= ay->min() && p.y() <= ay->max());
    }
}

QTEST_MAIN(TestDecayChart)
#include "tst_decay_chart.moc"
