#include "views/KX_VolScheme2.h"

#include "common/ImageHelpers.h"
#include "common/TestHelpers.h"
#include "model/UserPrompt.h"
#include "views/CubeAxesActor.h"

#include <QVTKOpenGLNativeWidget.h>
#include <vtkActor.h>
#include <vtkAxesActor.h>
#include <vtkCellType.h>
#include <vtkColorTransferFunction.h>
#include <vtkCubeAxesActor.h>
#include <vtkDataArray.h>
#include <vtkGenericOpenGLRenderWindow.h>
#include <vtkMatrix4x4.h>
#include <vtkOrientationMarkerWidget.h>
#include <vtkPiecewiseFunction.h>
#include <vtkPointData.h>
#include <vtkPropAssembly.h>
#include <vtkPropCollection.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>
#include <vtkTransform.h>
#include <vtkUnstructuredGrid.h>
#include <vtkVolume.h>
#include <vtkVolumeCollection.h>
#include <vtkActorCollection.h>
#include <vtkCamera.h>
#include <vtkVolumeProperty.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTabWidget>
#include <QTest>

#include <cmath>
#include <limits>

#define NEAR_VECTORS(actual, expected) HW_COMPARE_VECTORS(actual, expected, 1e-12, 1e-12)

namespace {

DataType_ThreeResultData column(double x, double y, const QVector<double> &z,
                                const QVector<double> &value)
{
    DataType_ThreeResultData r;
    r.x = x;
    r.y = y;
    r.z = z;
    r.value = value;
    return r;
}

// A 5 x 4 array of columns over a 100 ohm-m host with a 5 ohm-m block in
// the middle, between 20 and 40 m depth.
QList<DataType_ThreeResultData> conductiveBlock()
{
    QList<DataType_ThreeResultData> results;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 4; ++j) {
            DataType_ThreeResultData r;
            r.x = 100.0 + 20.0 * i;
            r.y = 50.0 + 30.0 * j;
            for (int k = 0; k < 7; ++k) {
                const double z = -10.0 * k;
                const bool inside = i >= 1 && i <= 3 && j >= 1 && j <= 2 && z <= -20 && z >= -40;
                r.z.append(z);
                r.value.append(inside ? 5.0 : 100.0 + i + j);
            }
            results.append(r);
        }
    }
    return results;
}

QVector<double> colourNode(vtkColorTransferFunction *f, int i)
{
    double node[6];
    f->GetNodeValue(i, node);
    return {node[0], node[1], node[2], node[3]};
}

QVector<double> opacityNode(vtkPiecewiseFunction *f, int i)
{
    double node[4];
    f->GetNodeValue(i, node);
    return {node[0], node[1]};
}

bool hasActor(vtkRenderer *renderer, vtkProp *prop)
{
    return renderer->GetViewProps()->IsItemPresent(prop) != 0;
}

} // namespace

class TestVolScheme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void emptyView();
    void twoColumns();
    void conductiveBlockScene();
    void valueRange_data();
    void valueRange();
    void projectedCoordinates();
    void leavesOutBadPoints();
    void noPointsGivesEmptyScene();
    void flatDataIsReported_data();
    void flatDataIsReported();
    void widgetOwnership();
    void showsWithoutCrashing();
    void survivesBeingTakenOutAndPutBack();
    void axisLabelsStayApart_data();
    void axisLabelsStayApart();

private:
    QStringList m_messages;
};

void TestVolScheme::initTestCase()
{
    // Most scenes here are flat and would be reported in a modal box.
    UserPrompt::setMessageAnswerer([this](const QString &text) { m_messages << text; });
}

void TestVolScheme::cleanupTestCase()
{
    UserPrompt::setMessageAnswerer({});
}

void TestVolScheme::emptyView()
{
    KX_VolScheme2 view;
    QVERIFY(view.m_vtkWidget);
    QCOMPARE(view.widget(), static_cast<QWidget *>(view.m_vtkWidget));
    QVERIFY(!view.widget()->parent());
    QCOMPARE(view.m_vtkWidget->renderWindow(),
             static_cast<vtkRenderWindow *>(view.renderWindow()));
    QVERIFY(view.renderWindow()->HasRenderer(view.renderer()));

    double c[3];
    view.renderer()->GetBackground(c);
    QCOMPARE(QVector<double>({c[0], c[1], c[2]}), QVector<double>({1.0, 1.0, 1.0}));
    view.renderer()->GetBackground2(c);
    QCOMPARE(QVector<double>({c[0], c[1], c[2]}), QVector<double>({0.529, 0.8078, 0.92157}));
    QVERIFY(view.renderer()->GetGradientBackground());

    // The marker shows the axes glyph, driven by the widget's interactor.
    vtkOrientationMarkerWidget *marker = view.orientationMarker();
    QVERIFY(marker->GetEnabled());
    QVERIFY(marker->GetInteractor());
    QCOMPARE(marker->GetInteractor(), view.renderWindow()->GetInteractor());
    QCOMPARE(marker->GetOrientationMarker(), static_cast<vtkProp *>(view.markerAssembly()));
    vtkPropCollection *parts = view.markerAssembly()->GetParts();
    QCOMPARE(parts->GetNumberOfItems(), 1);
    auto *axes = vtkAxesActor::SafeDownCast(parts->GetItemAsObject(0));
    QVERIFY(axes);
    double *length = axes->GetTotalLength();
    QCOMPARE(QVector<double>({length[0], length[1], length[2]}),
             QVector<double>({2.0, 2.0, 2.0}));
    QCOMPARE(axes->GetShaftType(), 1);

    // The outline's transform is the identity scaling.
    vtkMatrix4x4 *m = view.scalingTransform()->GetMatrix();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            QCOMPARE(m->GetElement(i, j), i == j ? 1.0 : 0.0);

    const double *e = view.dataExtent();
    QCOMPARE(QVector<double>(e, e + 6), QVector<double>({-1e6, 1e6, -1e6, 1e6, -1e6, 1e6}));
    QVERIFY(!view.grid());
    QVERIFY(!view.volume());
}

void TestVolScheme::twoColumns()
{
    KX_VolScheme2 view;
    QList<DataType_ThreeResultData> results;
    results << column(0, 0, {0, -5, -10}, {1, 2, 3}) << column(10, 0, {0, -5, -10}, {4, 5, 6});
    view.setVolumeData(results, {1.0});

    QCOMPARE(view.pointCount(), 6);
    QCOMPARE(view.grid()->GetNumberOfPoints(), vtkIdType(6));
    QCOMPARE(view.valueMin(), 1.0);
    QCOMPARE(view.valueMax(), 6.0);

    vtkColorTransferFunction *colour = view.colorFunction();
    QCOMPARE(colour->GetSize(), 5);
    const QVector<QVector<double>> stops{{1, 0, 0, 1},
                                         {2.25, 0, 1, 1},
                                         {3.5, 0, 1, 0},
                                         {4.75, 1, 1, 0},
                                         {6, 1, 0, 0}};
    for (int i = 0; i < 5; ++i)
        NEAR_VECTORS(colourNode(colour, i), stops[i]);
    QCOMPARE(view.scalarOpacity()->GetSize(), 2);
    NEAR_VECTORS(opacityNode(view.scalarOpacity(), 0), QVector<double>({1, 0.3}));
    NEAR_VECTORS(opacityNode(view.scalarOpacity(), 1), QVector<double>({6, 0.3}));
    NEAR_VECTORS(opacityNode(view.gradientOpacity(), 0), QVector<double>({1, 0.3}));
    NEAR_VECTORS(opacityNode(view.gradientOpacity(), 1), QVector<double>({6, 0.5}));

    vtkCubeAxesActor *axes = view.cubeAxes();
    QVERIFY(axes);
    double *r = axes->GetXAxisRange();
    QCOMPARE(QVector<double>({r[0], r[1]}), QVector<double>({0, 10}));
    r = axes->GetYAxisRange();
    QCOMPARE(QVector<double>({r[0], r[1]}), QVector<double>({0, 0}));
    r = axes->GetZAxisRange();
    QCOMPARE(QVector<double>({r[0], r[1]}), QVector<double>({-10, 0}));
    QCOMPARE(axes->GetCamera(), view.renderer()->GetActiveCamera());

    // The axes frame the outline, which frames the points.
    double *ob = view.outlineActor()->GetBounds();
    double *ab = axes->GetBounds();
    NEAR_VECTORS(QVector<double>(ab, ab + 6), QVector<double>(ob, ob + 6));
    NEAR_VECTORS(QVector<double>(ob, ob + 6), QVector<double>({0, 10, 0, 0, -10, 0}));

    QVERIFY(hasActor(view.renderer(), view.volume()));
    QVERIFY(hasActor(view.renderer(), view.outlineActor()));
    QVERIFY(hasActor(view.renderer(), axes));
    QCOMPARE(view.outlineActor()->GetUserTransform(),
             static_cast<vtkLinearTransform *>(view.scalingTransform()));
    double oc[3];
    view.outlineActor()->GetProperty()->GetColor(oc);
    QCOMPARE(QVector<double>({oc[0], oc[1], oc[2]}), QVector<double>({0, 0, 0}));
    QCOMPARE(view.volume()->GetProperty()->GetShade(0), 0);
    QCOMPARE(view.volume()->GetProperty()->GetRGBTransferFunction(0), colour);
}

void TestVolScheme::conductiveBlockScene()
{
    const QList<DataType_ThreeResultData> results = conductiveBlock();
    KX_VolScheme2 view;
    view.setVolumeData(results, {0.5, 0.25});

    QCOMPARE(view.pointCount(), 5 * 4 * 7);
    vtkUnstructuredGrid *grid = view.grid();
    QVERIFY(grid->GetNumberOfCells() > 0);
    for (vtkIdType c = 0; c < grid->GetNumberOfCells(); ++c)
        QCOMPARE(grid->GetCellType(c), int(VTK_TETRA));

    // Every point keeps its value: the block's conductive cells stay where
    // they were put.
    vtkDataArray *scalars = grid->GetPointData()->GetScalars();
    QVERIFY(scalars);
    QCOMPARE(scalars->GetNumberOfTuples(), grid->GetNumberOfPoints());
    vtkIdType id = 0;
    for (const DataType_ThreeResultData &r : results) {
        for (int k = 0; k < r.z.size(); ++k, ++id) {
            double p[3];
            grid->GetPoint(id, p);
            QCOMPARE(QVector<double>({p[0], p[1], p[2]}), QVector<double>({r.x, r.y, r.z[k]}));
            QCOMPARE(scalars->GetTuple1(id), r.value[k]);
        }
    }
    QCOMPARE(view.valueMin(), 5.0);
    QCOMPARE(view.valueMax(), 107.0);

    const double *e = view.dataExtent();
    QCOMPARE(QVector<double>(e, e + 6), QVector<double>({180, 100, 140, 50, 0, -60}));
    double *r = view.cubeAxes()->GetZAxisRange();
    QCOMPARE(QVector<double>({r[0], r[1]}), QVector<double>({-60, 0}));
}

void TestVolScheme::valueRange_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("vmin");
    QTest::addColumn<double>("vmax");
    QTest::addColumn<int>("colourStops");

    QTest::newRow("above the seed") << QVector<double>{2e7, 3e7, 5e7, 4e7} << 2e7 << 5e7 << 5;
    QTest::newRow("below the seed") << QVector<double>{-5e7, -2e7, -3e7, -4e7} << -5e7 << -2e7
                                    << 5;
    QTest::newRow("straddling") << QVector<double>{-1e9, 1, 2, 1e9} << -1e9 << 1e9 << 5;
    // Stops on one position replace each other.
    QTest::newRow("all equal") << QVector<double>{7, 7, 7, 7} << 7.0 << 7.0 << 1;
}

void TestVolScheme::valueRange()
{
    QFETCH(QVector<double>, values);
    QFETCH(double, vmin);
    QFETCH(double, vmax);
    QFETCH(int, colourStops);

    QList<DataType_ThreeResultData> results;
    results << column(0, 0, {0, -1}, values.mid(0, 2)) << column(1, 1, {0, -1}, values.mid(2, 2));
    KX_VolScheme2 view;
    view.setVolumeData(results, {});
    QCOMPARE(view.valueMin(), vmin);
    QCOMPARE(view.valueMax(), vmax);

    double range[2];
    view.colorFunction()->GetRange(range);
    QCOMPARE(range[0], vmin);
    QCOMPARE(range[1], vmax);
    QCOMPARE(view.colorFunction()->GetSize(), colourStops);
    view.scalarOpacity()->GetRange(range);
    QCOMPARE(range[0], vmin);
    QCOMPARE(range[1], vmax);
    view.gradientOpacity()->GetRange(range);
    QCOMPARE(range[0], vmin);
    QCOMPARE(range[1], vmax);
}

void TestVolScheme::projectedCoordinates()
{
    // Northings lie above the extent's seeds; the labels must still show them.
    QList<DataType_ThreeResultData> results;
    results << column(2.5e6, 4.2e6, {1500, 1400}, {10, 20})
            << column(2.5e6 + 50, 4.2e6 + 80, {1500, 1400}, {30, 40});
    KX_VolScheme2 view;
    view.setVolumeData(results, {});
    const double *e = view.dataExtent();
    QCOMPARE(QVector<double>(e, e + 6),
             QVector<double>({2.5e6 + 50, 2.5e6, 4.2e6 + 80, 4.2e6, 1500, 1400}));
    double *r = view.cubeAxes()->GetYAxisRange();
    QCOMPARE(QVector<double>({r[0], r[1]}), QVector<double>({4.2e6, 4.2e6 + 80}));
}

void TestVolScheme::leavesOutBadPoints()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QList<DataType_ThreeResultData> results;
    results << column(0, 0, {}, {})                        // no levels
            << column(5, 0, {0, -5, -10}, {1, 2})          // fewer values than levels
            << column(10, 0, {0, -5}, {3, 4, 99})          // more values than levels
            << column(15, 5, {0, nan}, {5, 6})             // a bad level
            << column(20, 5, {0, -5}, {nan, 8})            // a bad value
            << column(nan, 5, {0, -5}, {9, 10});           // a bad position
    KX_VolScheme2 view;
    view.setVolumeData(results, {});

    QCOMPARE(view.pointCount(), 2 + 2 + 1 + 1);
    QCOMPARE(view.valueMin(), 1.0);
    QCOMPARE(view.valueMax(), 8.0);
    const double *e = view.dataExtent();
    QCOMPARE(QVector<double>(e, e + 6), QVector<double>({20, 5, 5, 0, 0, -5}));
}

void TestVolScheme::noPointsGivesEmptyScene()
{
    KX_VolScheme2 view;
    view.setVolumeData({}, {1.0});
    QCOMPARE(view.pointCount(), 0);
    QVERIFY(!view.volume());
    QVERIFY(!view.outlineActor());
    QVERIFY(!view.cubeAxes());
    QCOMPARE(view.renderer()->GetVolumes()->GetNumberOfItems(), 0);
    QCOMPARE(view.renderer()->GetActors()->GetNumberOfItems(), 0);
}

void TestVolScheme::flatDataIsReported_data()
{
    QTest::addColumn<QList<DataType_ThreeResultData>>("results");
    QTest::addColumn<bool>("spans");

    QList<DataType_ThreeResultData> oneLine;
    for (int i = 0; i < 6; ++i)
        oneLine << column(500100.0 + 20 * i, 3000150.0, {1200, 1180, 1160, 1140}, {100, 80, 20, 90});
    QList<DataType_ThreeResultData> slantedLine;
    for (int i = 0; i < 6; ++i)
        slantedLine << column(20.0 * i, 10.0 * i, {0, -10, -20}, {1, 2, 3});
    QList<DataType_ThreeResultData> oneLevel;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            oneLevel << column(10.0 * i, 10.0 * j, {-5}, {double(i + j)});

    QTest::newRow("one line of stations") << oneLine << false;
    QTest::newRow("one slanted line") << slantedLine << false;
    QTest::newRow("one level of an area") << oneLevel << false;
    QTest::newRow("one column") << QList<DataType_ThreeResultData>{column(0, 0, {0, -5, -10}, {1, 2, 3})}
                                << false;
    QTest::newRow("no points") << QList<DataType_ThreeResultData>{} << false;
    QTest::newRow("an area of columns") << conductiveBlock() << true;
}

// Points that enclose no volume give an empty frame: the user is told why.
void TestVolScheme::flatDataIsReported()
{
    QFETCH(QList<DataType_ThreeResultData>, results);
    QFETCH(bool, spans);

    m_messages.clear();
    KX_VolScheme2 view;
    view.setVolumeData(results, {1.0});
    const QStringList messages = m_messages;

    QCOMPARE(view.spansVolume(), spans);
    if (spans) {
        QVERIFY(messages.isEmpty());
        QVERIFY(view.grid()->GetNumberOfCells() > 0);
    } else {
        QCOMPARE(messages, QStringList{KX_VolScheme2::flatDataMessage()});
        QVERIFY(messages.first().contains(QStringLiteral("两条测线")));
    }
}

void TestVolScheme::widgetOwnership()
{
    // A tab that adopted the widget deletes it; the view outlives it.
    auto *view = new KX_VolScheme2;
    {
        QTabWidget tabs;
        tabs.addTab(view->widget(), QStringLiteral("三维展示"));
        view->setVolumeData(conductiveBlock(), {1.0});
    }
    QVERIFY(!view->widget());
    delete view;

    // A widget nobody adopted goes with the view.
    auto *lonely = new KX_VolScheme2;
    QPointer<QWidget> w = lonely->widget();
    delete lonely;
    QVERIFY(!w);
}

void TestVolScheme::showsWithoutCrashing()
{
    // Offscreen there is usually no GL context: showing and filling the
    // view must then draw nothing rather than fail.
    KX_VolScheme2 view;
    view.widget()->resize(400, 300);
    view.widget()->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.widget()));
    view.setVolumeData(conductiveBlock(), {1.0});
    QCoreApplication::processEvents();
    if (view.m_vtkWidget->isValid()) {
        const QImage image = view.m_vtkWidget->grabFramebuffer();
        QVERIFY(!image.isNull());
    }
    view.widget()->hide();
}

void TestVolScheme::survivesBeingTakenOutAndPutBack()
{
    // The main window switches its central widget with take/set, which
    // re-parents the form holding the view: its GL context goes and a new
    // one comes. The volume must render in the new context.
    QMainWindow window;
    auto *form = new QTabWidget;
    auto *view = new KX_VolScheme2;
    form->addTab(view->widget(), QStringLiteral("三维展示"));
    view->setParent(form);
    window.setCentralWidget(form);
    window.resize(640, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (!view->m_vtkWidget->isValid()) {
        if (qEnvironmentVariableIsSet("HW_REQUIRE_GL"))
            QFAIL("no OpenGL context on this display");
        QSKIP("needs an OpenGL context (run under xvfb)");
    }
    view->setVolumeData(conductiveBlock(), {1.0});
    QVERIFY(hwtest::countRedPixels(view->m_vtkWidget->grabFramebuffer(), 90) > 50);

    auto *other = new QLabel(QStringLiteral("一维"));
    for (int round = 0; round < 2; ++round) {
        window.takeCentralWidget();
        window.setCentralWidget(other);
        QCoreApplication::processEvents();
        window.takeCentralWidget();
        window.setCentralWidget(form);
        QCoreApplication::processEvents();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(view->m_vtkWidget->isValid());
        view->m_vtkWidget->update();
        QCoreApplication::processEvents();
        QVERIFY2(hwtest::countRedPixels(view->m_vtkWidget->grabFramebuffer(), 90) > 50,
                 "the volume is missing after the view came back");
    }
    delete other;
}

void TestVolScheme::axisLabelsStayApart_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("stations");
    QTest::addColumn<int>("crowded");       // the axis whose ticks are too close for a label each
    QTest::addColumn<QStringList>("ends");  // what that axis shows instead
    QTest::addColumn<int>("roomy");         // an axis with room for a label at every tick
    // Three lines 100 m apart beside 1.2 km of stations: the toolkit wrote
    // the northings on top of each other ("3.0000" over "3.0001").
    QTest::newRow("close lines, long line") << 3 << 60 << 1 << QStringList{"3000000", "3000200"} << 0;
    // Four stations of two lines: every easting read "500.".
    QTest::newRow("short lines") << 2 << 4 << 0 << QStringList{"500000", "500060"} << 1;
    QTest::newRow("a square") << 6 << 26 << -1 << QStringList() << 0;
}

void TestVolScheme::axisLabelsStayApart()
{
    QFETCH(int, lines);
    QFETCH(int, stations);
    QFETCH(int, crowded);
    QFETCH(QStringList, ends);
    QFETCH(int, roomy);
    QList<DataType_ThreeResultData> results;
    for (int j = 0; j < lines; ++j) {
        for (int i = 0; i < stations; ++i)
            results << column(500000.0 + 20.0 * i, 3000000.0 + 100.0 * j, {1200, 1150, 1100}, {10.0 + i, 20.0 + j, 30});
    }
    KX_VolScheme2 view;
    view.widget()->resize(900, 500);
    view.widget()->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.widget()));
    if (!view.m_vtkWidget->isValid()) {
        if (qEnvironmentVariableIsSet("HW_REQUIRE_GL"))
            QFAIL("no OpenGL context on this display");
        QSKIP("needs an OpenGL context (run under xvfb)");
    }
    view.setVolumeData(results, {1.0});
    auto *axes = CubeAxesActor::SafeDownCast(view.cubeAxes());
    QVERIFY(axes);
    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    // Seen from above, then turned as a user would.
    for (int turn = 0; turn < 2; ++turn) {
        if (turn == 1) {
            view.renderer()->GetActiveCamera()->Elevation(-60.0);
            view.renderer()->GetActiveCamera()->Azimuth(30.0);
            view.renderer()->ResetCamera();
            view.renderWindow()->Render();
            view.renderWindow()->Render();
        }
        for (int axis = 0; axis < 3; ++axis) {
            QStringList labels = axes->tickLabels(axis);
            const QString what = QString("turn %1, axis %2: %3").arg(turn).arg(axis).arg(labels.join('|'));
            // Each label tells its tick from the others, in order.
            for (int k = 1; k < labels.size(); ++k)
                QVERIFY2(labels[k].toDouble() > labels[k - 1].toDouble(), qPrintable(what));
            if (turn == 0 && axis == crowded)
                QCOMPARE(labels, ends);
            if (turn == 0 && axis == roomy)
                QVERIFY2(labels.size() >= 3, qPrintable(what));
        }
        if (!dir.isEmpty()) {
            QVERIFY(view.m_vtkWidget->grabFramebuffer().save(QDir(dir).filePath(
                QStringLiteral("hw_volume_labels_%1_%2.png")
                    .arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'))
                    .arg(turn))));
        }
    }
}

QTEST_MAIN(TestVolScheme)
#include "tst_volscheme.moc"
