#include <QAction>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <cmath>

#include "model/SharedTypes.h"
#include "views/ModelerWidget.h"

namespace {

ModelRegion region(int number, QColor colour, const QVector<double>& x, const QVector<double>& z)
{
    ModelRegion r;
    r.number = number;
    r.colour = colour;
    r.pointCount = x.size();
    r.x = x;
    r.z = z;
    return r;
}

LayerModeler model(double x0, double x1, double z0, double z1, const QVector<ModelRegion>& regions)
{
    LayerModeler m;
    m.name = "test model";
    m.x0 = x0;
    m.x1 = x1;
    m.z0 = z0;
    m.z1 = z1;
    m.regionCount = regions.size();
    m.regions = regions;
    return m;
}

DataType_ResultData column(double x, const QVector<double>& depth, const QVector<double>& value)
{
    DataType_ResultData c;
    c.x = x;
    c.depth = depth;
    c.value = value;
    return c;
}

// Columns every `step` from x0 to x1, samples every `step` from z1 down to z0.
QList<DataType_ResultData> gridSamples(double x0, double x1, double z0, double z1, double step,
                                       double (*valueAt)(double, double))
{
    QList<DataType_ResultData> out;
    for (double x = x0; x <= x1 + 1e-9; x += step) {
        DataType_ResultData c;
        c.x = x;
        for (double z = z1; z >= z0 - 1e-9; z -= step) {
            c.depth << z;
            c.value << valueAt(x, z);
        }
        out << c;
    }
    return out;
}

QString readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(f.readAll());
}

int shade(int regionChannel, float t)
{
    return static_cast<int>(static_cast<float>(regionChannel - 255) * t + 0.5 + 255);
}

QColor expectedColour(const QColor& regionColour, double mean, double smallest, double largest)
{
    float t = largest > smallest ? static_cast<float>((mean - smallest) / (largest - smallest)) : 1.0f;
    if (t > 0.85f)
        t = 1.0f;
    if (t < 0.1f)
        t = 0.1f;
    return QColor(shade(regionColour.red(), t), shade(regionColour.green(), t),
                  shade(regionColour.blue(), t));
}

// The widget with another mesh program: one that fails, one that is not
// there, or a script standing in for it.
class ScriptedModeler : public ModelerWidget
{
public:
    ScriptedModeler(const QString& program, LayerModeler m, QList<DataType_ResultData> r)
        : ModelerWidget(m, r)
        , m_program(program)
    {
    }

protected:
    QString triangleProgram() const override { return m_program; }

private:
    QString m_program;
};

} // namespace

class TestModelerWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void imageKeepsModelAspect_data();
    void imageKeepsModelAspect();
    void outlinesMapAndDropRepeatedPixels();
    void wholeModelShownAtAnyWidgetSize_data();
    void wholeModelShownAtAnyWidgetSize();
    void nodeFileAndShadeOfOneTriangle();
    void cellsWithoutValueAreLeftOut();
    void shadeFollowsTriangleMeans();
    void equalValuesGiveFullColour();
    void concaveRegionStaysInsideOutline();
    void regionsNamedByPositionAndSkippedWhenSparse();
    void overlappingRegionsShareSamples();
    void failedMeshRunSkipsRegion_data();
    void failedMeshRunSkipsRegion();
    void elementFileIsCheckedLineByLine_data();
    void elementFileIsCheckedLineByLine();
    void rerunAppendsAndContextMenuOffersAction();
    void renderScreenshot();

private:
    QTemporaryDir m_dir;
};

void TestModelerWidget::initTestCase()
{
    registerSharedTypes();
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QVERIFY2(QFile::exists(QCoreApplication::applicationDirPath() + "/triangle"),
             "the mesh program is built beside the tests");
}

void TestModelerWidget::init()
{
    const QStringList leftovers = QDir().entryList({"polygon_*"}, QDir::Files);
    for (const QString& f : leftovers)
        QFile::remove(f);
}

void TestModelerWidget::imageKeepsModelAspect_data()
{
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dz");
    QTest::addColumn<bool>("fullWidth");
    QTest::newRow("wide model: full width") << 400.0 << 100.0 << true;
    QTest::newRow("tall model: full height") << 100.0 << 400.0 << false;
}

void TestModelerWidget::imageKeepsModelAspect()
{
    QFETCH(double, dx);
    QFETCH(double, dz);
    QFETCH(bool, fullWidth);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int w = screen.width();
    const int h = screen.height() - 280;
    ModelerWidget widget(model(0, dx, -dz, 0, {}), {});
    if (fullWidth)
        QCOMPARE(widget.image().size(), QSize(w, static_cast<int>(w * dz / dx)));
    else
        QCOMPARE(widget.image().size(), QSize(static_cast<int>(h * dx / dz), h));
    QCOMPARE(widget.image().format(), QImage::Format_RGB32);
    // The form itself starts at 400 x 300 whatever the image.
    QCOMPARE(widget.size(), QSize(400, 300));
    QCOMPARE(widget.windowTitle(), QString("Form"));
}

void TestModelerWidget::outlinesMapAndDropRepeatedPixels()
{
    // 0.01 apart on a 100 m wide model is the same pixel; so is the closing
    // repeat of the first point.
    const QVector<ModelRegion> regions{
        region(1, Qt::red, {0, 0.01, 100, 100, 0, 0}, {0, 0, 0, -50, -50, 0}),
        region(2, Qt::blue, {20, 40, 30}, {-10, -10, -30}),
    };
    ModelerWidget widget(model(0, 100, -50, 0, regions), {});
    const QImage& image = widget.image();
    QCOMPARE(widget.regionOutlines().size(), 2);
    const QPolygon& outer = widget.regionOutlines()[0];
    QCOMPARE(outer.size(), 4);
    // x0 at the left margin, z1 (top) on the top margin, x1 and z0 on the far ones.
    QCOMPARE(outer[0], QPoint(6, 6));
    QCOMPARE(outer[1], QPoint(image.width() - 7, 6));
    QCOMPARE(outer[2], QPoint(image.width() - 7, image.height() - 7));
    QCOMPARE(widget.toPixel(0, -50), QPoint(6, image.height() - 7));

    // Regions are filled with their colours, later ones over earlier ones;
    // the margin stays white.
    const QPoint inner = widget.toPixel(30, -15);
    QCOMPARE(image.pixelColor(inner), QColor(Qt::blue));
    QCOMPARE(image.pixelColor(widget.toPixel(80, -40)), QColor(Qt::red));
    QCOMPARE(image.pixelColor(2, 2), QColor(Qt::white));
}

void TestModelerWidget::wholeModelShownAtAnyWidgetSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("narrower than the image") << QSize(400, 300);
    QTest::newRow("tab at the default window") << QSize(640, 330);
    QTest::newRow("wider than tall enough") << QSize(1200, 200);
}

// A 0-400 m model, red on the left half and blue on the right: whatever the
// tab's size, both ends show, at the model's proportions.
void TestModelerWidget::wholeModelShownAtAnyWidgetSize()
{
    QFETCH(QSize, size);
    const QVector<ModelRegion> regions{region(1, Qt::red, {0, 200, 200, 0}, {0, 0, -100, -100}),
                                       region(2, Qt::blue, {200, 400, 400, 200}, {0, 0, -100, -100})};
    ModelerWidget widget(model(0, 400, -100, 0, regions), {});
    widget.resize(size);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    const QImage shot = widget.grab().toImage();

    const QRect shown = widget.pictureRect();
    const QSize expected = widget.image().size().scaled(size, Qt::KeepAspectRatio);
    QCOMPARE(shown.size(), expected);
    QVERIFY(QRect(QPoint(0, 0), size).contains(shown));
    QVERIFY(shown.width() == size.width() || shown.height() == size.height());

    const int y = shown.center().y();
    const auto at = [&](double fraction) {
        return shot.pixelColor(shown.left() + static_cast<int>(fraction * shown.width()), y);
    };
    QCOMPARE(at(0.05), QColor(Qt::red));
    QCOMPARE(at(0.45), QColor(Qt::red));
    QCOMPARE(at(0.55), QColor(Qt::blue));
    QCOMPARE(at(0.95), QColor(Qt::blue));
}

void TestModelerWidget::nodeFileAndShadeOfOneTriangle()
{
    const QVector<ModelRegion> regions{region(1, QColor(0, 0, 255), {-5, 15, 15, -5}, {25, 25, 5, 5})};
    const QList<DataType_ResultData> results{
        column(0, {10, 20}, {5, 9}),   // listed by column: (0,10,5), (0,20,9)
        column(10, {10}, {7}),
        column(40, {10}, {1}),        // outside the region
    };
    ModelerWidget widget(model(-10, 50, 0, 30, regions), results);
    widget.on_ActionTriangletriggle(false);

    QCOMPARE(readAll("polygon_1.node"), QString("3 2 1 1\n1 0 10 5 1\n2 0 20 9 1\n3 10 10 7 1\n"));
    QVERIFY(QFile::exists("polygon_1.1.ele"));
    QCOMPARE(widget.filledTriangles().size(), 1);
    QCOMPARE(widget.filledTriangles()[0].size(), 1);
    const ModelerWidget::FilledTriangle& t = widget.filledTriangles()[0][0];
    // Mean 7 on the range 5..9: halfway to the region colour.
    QCOMPARE(t.colour, QColor(128, 128, 255));
    QCOMPARE(t.triangle.size(), 3);
    for (const QPoint& p : {widget.toPixel(0, 10), widget.toPixel(0, 20), widget.toPixel(10, 10)})
        QVERIFY(t.triangle.contains(p));

    // The new picture holds the triangle and no outline.
    const QPoint centroid = (widget.toPixel(0, 10) + widget.toPixel(0, 20) + widget.toPixel(10, 10)) / 3;
    QCOMPARE(widget.image().pixelColor(centroid), QColor(128, 128, 255));
    QCOMPARE(widget.image().pixelColor(widget.toPixel(12, 24)), QColor(Qt::white));
}

void TestModelerWidget::cellsWithoutValueAreLeftOut()
{
    // The section the controller sends marks cells above the ground with
    // 1e-18; inside the region they are no samples and set no shade range.
    const QVector<ModelRegion> regions{region(1, QColor(0, 0, 255), {-5, 15, 15, -5}, {25, 25, 5, 5})};
    const QList<DataType_ResultData> results{
        column(0, {20, 10}, {9, 5}),
        column(5, {22, 15}, {1e-18, 1e-18}),
        column(10, {10}, {7}),
    };
    ModelerWidget widget(model(-10, 50, 0, 30, regions), results);
    widget.on_ActionTriangletriggle(false);

    QCOMPARE(readAll("polygon_1.node"), QString("3 2 1 1\n1 0 20 9 1\n2 0 10 5 1\n3 10 10 7 1\n"));
    QCOMPARE(widget.filledTriangles().size(), 1);
    QCOMPARE(widget.filledTriangles()[0].size(), 1);
    // Mean 7 on the range 5..9, as without the blank cells.
    QCOMPARE(widget.filledTriangles()[0][0].colour, QColor(128, 128, 255));
}

void TestModelerWidget::shadeFollowsTriangleMeans()
{
    // Values 0 in the two left columns and 100 elsewhere: triangles wholly
    // on either side take the 10 % tint and the full colour.
    const QColor colour(200, 40, 10);
    const QVector<ModelRegion> regions{region(1, colour, {-1, 41, 41, -1}, {1, 1, -41, -41})};
    auto step = [](double x, double) { return x < 15 ? 0.0 : 100.0; };
    const QList<DataType_ResultData> results = gridSamples(0, 40, -40, 0, 10, step);
    ModelerWidget widget(model(-5, 45, -45, 5, regions), results);
    widget.on_ActionTriangletriggle(false);

    QHash<quint64, double> valueAtPixel;
    for (const DataType_ResultData& c : results)
        for (int j = 0; j < c.depth.size(); ++j) {
            const QPoint p = widget.toPixel(c.x, c.depth[j]);
            valueAtPixel.insert((quint64(quint32(p.x())) << 32) | quint32(p.y()), c.value[j]);
        }
    QCOMPARE(widget.filledTriangles().size(), 1);
    const QList<ModelerWidget::FilledTriangle>& triangles = widget.filledTriangles()[0];
    QCOMPARE(triangles.size(), 32);   // a 5 x 5 grid: 2 per cell
    bool full = false, faint = false;
    for (const ModelerWidget::FilledTriangle& t : triangles) {
        double sum = 0;
        for (const QPoint& p : t.triangle) {
            const quint64 key = (quint64(quint32(p.x())) << 32) | quint32(p.y());
            QVERIFY(valueAtPixel.contains(key));
            sum += valueAtPixel.value(key);
        }
        const QColor expected = expectedColour(colour, sum / 3, 0.0, 100.0);
        QCOMPARE(t.colour, expected);
        full = full || t.colour == colour;
        faint = faint || t.colour == expectedColour(colour, 0.0, 0.0, 100.0);
    }
    QVERIFY(full);
    QVERIFY(faint);
    QCOMPARE(expectedColour(colour, 0.0, 0.0, 100.0), QColor(shade(200, 0.1f), shade(40, 0.1f), shade(10, 0.1f)));
}

void TestModelerWidget::equalValuesGiveFullColour()
{
    const QVector<ModelRegion> regions{region(1, QColor(0, 128, 0), {-1, 21, 21, -1}, {1, 1, -21, -21})};
    auto flat = [](double, double) { return 42.0; };
    ModelerWidget widget(model(-5, 25, -25, 5, regions), gridSamples(0, 20, -20, 0, 10, flat));
    widget.on_ActionTriangletriggle(false);
    QCOMPARE(widget.filledTriangles().size(), 1);
    QVERIFY(!widget.filledTriangles()[0].isEmpty());
    for (const ModelerWidget::FilledTriangle& t : widget.filledTriangles()[0])
        QCOMPARE(t.colour, QColor(0, 128, 0));
}

void TestModelerWidget::concaveRegionStaysInsideOutline()
{
    // An L: the notch at the upper right belongs to another region without
    // samples of its own there... and must stay unshaded.
    const QVector<ModelRegion> regions{
        region(1, QColor(255, 0, 0), {0, 100, 100, 40, 40, 0}, {-100, -100, -60, -60, 0, 0}),
    };
    auto ramp = [](double x, double z) { return x - z; };
    const QList<DataType_ResultData> results = gridSamples(0, 100, -100, 0, 10, ramp);
    ModelerWidget widget(model(-10, 110, -110, 10, regions), results);
    widget.on_ActionTriangletriggle(false);

    QCOMPARE(widget.filledTriangles().size(), 1);
    const QList<ModelerWidget::FilledTriangle>& triangles = widget.filledTriangles()[0];
    QVERIFY(triangles.size() > 10);
    const QPolygonF outline(widget.regionOutlines()[0]);
    for (const ModelerWidget::FilledTriangle& t : triangles) {
        const QPointF c = (QPointF(t.triangle[0]) + QPointF(t.triangle[1]) + QPointF(t.triangle[2])) / 3.0;
        QVERIFY(outline.containsPoint(c, Qt::WindingFill));
    }
    // The notch stays white; both arms of the L are shaded.
    QCOMPARE(widget.image().pixelColor(widget.toPixel(75, -25)), QColor(Qt::white));
    QVERIFY(widget.image().pixelColor(widget.toPixel(15, -25)) != QColor(Qt::white));
    QVERIFY(widget.image().pixelColor(widget.toPixel(75, -85)) != QColor(Qt::white));
}

void TestModelerWidget::regionsNamedByPositionAndSkippedWhenSparse()
{
    // Region numbers 7 and 3; the first holds two samples only.
    const QVector<ModelRegion> regions{
        region(7, Qt::red, {0, 10, 10, 0}, {0, 0, -10, -10}),
        region(3, Qt::blue, {20, 60, 60, 20}, {0, 0, -40, -40}),
    };
    const QList<DataType_ResultData> results{
        column(5, {-3, -7}, {1, 2}),
        column(30, {-10, -30}, {1, 2}),
        column(50, {-10, -30}, {3, 4}),
    };
    ModelerWidget widget(model(0, 60, -40, 0, regions), results);
    widget.on_ActionTriangletriggle(false);
    QVERIFY(!QFile::exists("polygon_1.node"));
    QVERIFY(!QFile::exists("polygon_3.node"));
    QVERIFY(QFile::exists("polygon_2.node"));
    QVERIFY(QFile::exists("polygon_2.1.ele"));
    QCOMPARE(widget.filledTriangles().size(), 1);
    QCOMPARE(widget.filledTriangles()[0].size(), 2);
}

void TestModelerWidget::overlappingRegionsShareSamples()
{
    const QVector<ModelRegion> regions{
        region(1, Qt::red, {0, 30, 30, 0}, {0, 0, -30, -30}),
        region(2, Qt::blue, {10, 40, 40, 10}, {0, 0, -30, -30}),
    };
    const QList<DataType_ResultData> results{
        column(5, {-5, -25}, {1, 2}),
        column(20, {-5, -25}, {3, 4}),   // in both
        column(35, {-5, -25}, {5, 6}),
        column(100, {-5}, {9}),          // outside the model and every region
    };
    ModelerWidget widget(model(0, 40, -30, 0, regions), results);
    widget.on_ActionTriangletriggle(false);
    const QString first = readAll("polygon_1.node");
    const QString second = readAll("polygon_2.node");
    QVERIFY(first.startsWith("4 2 1 1\n"));
    QVERIFY(second.startsWith("4 2 1 1\n"));
    QVERIFY(first.contains(" 20 -5 3 1\n"));
    QVERIFY(second.contains(" 20 -5 3 1\n"));
    QVERIFY(!first.contains(" 100 ") && !second.contains(" 100 "));
    QCOMPARE(widget.filledTriangles().size(), 2);
}

void TestModelerWidget::failedMeshRunSkipsRegion_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("exits with an error") << "/bin/false";
    QTest::newRow("not there") << "/nonexistent/triangle";
}

void TestModelerWidget::failedMeshRunSkipsRegion()
{
    QFETCH(QString, program);
    // An element file from an earlier run must not be taken for this one's.
    QFile stale("polygon_1.1.ele");
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("1 3 0\n1 1 2 3\n");
    stale.close();

    const QVector<ModelRegion> regions{region(1, Qt::red, {0, 30, 30, 0}, {0, 0, -30, -30})};
    const QList<DataType_ResultData> results{column(5, {-5, -25}, {1, 2}), column(25, {-5, -25}, {3, 4})};
    ScriptedModeler widget(program, model(0, 30, -30, 0, regions), results);
    QElapsedTimer timer;
    timer.start();
    widget.on_ActionTriangletriggle(false);
    QVERIFY(timer.elapsed() < 20000);
    QVERIFY(QFile::exists("polygon_1.node"));
    QVERIFY(widget.filledTriangles().isEmpty());
    QCOMPARE(widget.image().pixelColor(widget.toPixel(15, -15)), QColor(Qt::white));
}

void TestModelerWidget::elementFileIsCheckedLineByLine_data()
{
    QTest::addColumn<QString>("elements");
    QTest::addColumn<int>("triangles");
    QTest::newRow("vertex beyond the points and vertex 0 skipped")
        << "3 3 0\n1 1 2 99\n2 0 1 2\n3 1 2 3\n" << 1;
    QTest::newRow("comments, blank lines, extra fields and lines after the count")
        << "# mesh\n\n2 3 0\n# first\n1 1 2 3 7\n2 2 4 3\n3 1 2 4\n" << 2;
    QTest::newRow("short element line skipped") << "2 3 0\n1 1 2\n2 2 4 3\n" << 1;
    QTest::newRow("empty file") << "" << 0;
    QTest::newRow("no file written") << QString() << 0;
}

void TestModelerWidget::elementFileIsCheckedLineByLine()
{
    QFETCH(QString, elements);
    QFETCH(int, triangles);
    const QString script = m_dir.filePath("fake_triangle.sh");
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QTextStream out(&f);
    out << "#!/bin/sh\n";
    if (!elements.isNull())
        out << "printf '" << QString(elements).replace("\n", "\\n") << "' > \"$(basename \"$2\" .node).1.ele\"\n";
    out.flush();
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));

    const QVector<ModelRegion> regions{region(1, Qt::red, {0, 30, 30, 0}, {0, 0, -30, -30})};
    const QList<DataType_ResultData> results{column(5, {-5, -25}, {1, 2}), column(25, {-5, -25}, {3, 4})};
    ScriptedModeler widget(script, model(0, 30, -30, 0, regions), results);
    widget.on_ActionTriangletriggle(false);
    QCOMPARE(widget.filledTriangles().size(), 1);
    QCOMPARE(widget.filledTriangles()[0].size(), triangles);
}

void TestModelerWidget::rerunAppendsAndContextMenuOffersAction()
{
    const QVector<ModelRegion> regions{region(1, Qt::red, {0, 30, 30, 0}, {0, 0, -30, -30})};
    // Samples on one line: the mesh program succeeds with no triangle.
    const QList<DataType_ResultData> collinear{column(5, {-5, -15, -25}, {1, 2, 3})};
    ModelerWidget line(model(0, 30, -30, 0, regions), collinear);
    line.on_ActionTriangletriggle(false);
    QCOMPARE(line.filledTriangles().size(), 1);
    QVERIFY(line.filledTriangles()[0].isEmpty());

    const QList<DataType_ResultData> results{column(5, {-5, -25}, {1, 2}), column(25, {-5, -25}, {3, 4})};
    ModelerWidget widget(model(0, 30, -30, 0, regions), results);
    QCOMPARE(widget.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(widget.actions().size(), 1);
    QAction* action = widget.actions().first();
    QCOMPARE(action->objectName(), QString("ActionTriangle"));
    QCOMPARE(action->text(), QString("开始计算"));
    action->trigger();
    QCOMPARE(widget.filledTriangles().size(), 1);
    QCOMPARE(widget.filledTriangles()[0].size(), 2);
    action->trigger();
    QCOMPARE(widget.filledTriangles().size(), 2);
    QCOMPARE(widget.filledTriangles()[1].size(), 2);
}

void TestModelerWidget::renderScreenshot()
{
    // Three layers under a hill, the middle one with a concave pocket.
    const QVector<ModelRegion> regions{
        region(1, QColor(230, 120, 30), {0, 50, 100, 150, 200, 200, 0},
               {0, 8, 12, 8, 0, -30, -30}),
        region(2, QColor(30, 110, 220), {0, 200, 200, 130, 100, 70, 0},
               {-30, -30, -70, -70, -45, -70, -70}),
        region(3, QColor(40, 160, 60), {0, 70, 100, 130, 200, 200, 0},
               {-70, -70, -45, -70, -70, -100, -100}),
    };
    auto values = [](double x, double z) {
        return 100.0 + 80.0 * std::sin(x / 30.0) * std::cos(z / 20.0);
    };
    const QList<DataType_ResultData> results = gridSamples(0, 200, -100, 10, 5, values);
    ModelerWidget widget(model(0, 200, -100, 15, regions), results);
    widget.resize(widget.image().size());
    widget.show();
    QVERIFY(widget.grab().toImage().save("/tmp/hw_modeler_regions.png"));
    widget.on_ActionTriangletriggle(false);
    QCOMPARE(widget.filledTriangles().size(), 3);
    QVERIFY(widget.grab().toImage().save("/tmp/hw_modeler.png"));
    // The pocket of region 3 reaching into region 2 is shaded in green tints.
    const QColor pocket = widget.image().pixelColor(widget.toPixel(100, -55));
    QVERIFY(pocket.green() > pocket.blue());
}

QTEST_MAIN(TestModelerWidget)
#include "tst_modelerwidget.moc"
