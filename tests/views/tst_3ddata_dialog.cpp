#include "views/Dialog_3DataVisualization.h"

#include "common/FileFailures.h"
#include "common/TestHelpers.h"

#include <QVTKOpenGLNativeWidget.h>
#include <vtkActor.h>
#include <vtkCubeAxesActor.h>
#include <vtkDataArray.h>
#include <vtkMapper.h>
#include <vtkMarchingCubes.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkProperty.h>
#include <vtkPropCollection.h>
#include <vtkRenderer.h>
#include <vtkUnsignedCharArray.h>
#include <vtkUnstructuredGrid.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {

// Answers every message box that shows up and remembers its text.
class MessageBoxCloser : public QObject
{
public:
    QStringList texts;

    MessageBoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (!box || !box->isVisible())
                    continue;
                texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
};

// Four lines of six stations over a 100 ohm-m host with a 5 ohm-m block at
// 20 .. 40 m depth under the middle stations.
QVector<VolumePoint> conductiveBlock()
{
    QVector<VolumePoint> points;
    for (int line = 0; line < 4; ++line) {
        for (int station = 0; station < 6; ++station) {
            for (int k = 0; k < 6; ++k) {
                const double z = -10.0 * k;
                const bool inside = station >= 2 && station <= 3 && line >= 1 && line <= 2
                                    && z <= -20 && z >= -40;
                VolumePoint p;
                p.line = line + 1;
                p.station = station + 1;
                p.x = 20.0 * station;
                p.y = 40.0 * line;
                p.z = z;
                p.value = inside ? 5.0 : 100.0 + station;
                points.append(p);
            }
        }
    }
    return points;
}

QString writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(content);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void setGridSize(Dialog_3DataVisualization &dlg, const QString &x, const QString &y,
                 const QString &z)
{
    dlg.findChild<QLineEdit *>("lineEdit_xdim")->setText(x);
    dlg.findChild<QLineEdit *>("lineEdit_ydim")->setText(y);
    dlg.findChild<QLineEdit *>("lineEdit_zdim")->setText(z);
}

bool runInterpolation(Dialog_3DataVisualization &dlg)
{
    dlg.findChild<QPushButton *>("pushButton_interp")->click();
    return QTest::qWaitFor([&] { return !dlg.isInterpolating(); }, 60000);
}

int colourDistance(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green())
           + std::abs(a.blue() - b.blue());
}

} // namespace

class TestDialog3DataVisualization : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void scaleFactors_data();
    void scaleFactors();
    void colorAtValue_data();
    void colorAtValue();
    void scatterColours();
    void exportFormat();
    void exportFailsOnBadPath();
    void readValueFile_data();
    void readValueFile();
    void importDrawsDefaultGrid();
    void importRejectsWrongCount();
    void interpolationRunsInThread();
    void sliderMovesIsoSurface();
    void representationButtons();
    void scatterMode();
    void badGridSizeRejected_data();
    void badGridSizeRejected();
    void emptyPointListStillRuns();
    void destroyedDuringRun();
};

void TestDialog3DataVisualization::form()
{
    Dialog_3DataVisualization dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Dialog"));
    QVERIFY(dlg.windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(dlg.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(dlg.findChild<QGroupBox *>("groupBox")->title(), QStringLiteral("等值面显示"));
    QCOMPARE(dlg.findChild<QGroupBox *>("groupBox_2")->title(), QStringLiteral("参数设置"));
    // The view sits in the first group box.
    QCOMPARE(dlg.m_vtkWidget->parentWidget(), dlg.findChild<QGroupBox *>("groupBox"));
    QVERIFY(dlg.findChild<QGroupBox *>("groupBox")->layout()->indexOf(dlg.m_vtkWidget) >= 0);

    for (const char *name : {"lineEdit_xdim", "lineEdit_ydim", "lineEdit_zdim"}) {
        auto *edit = dlg.findChild<QLineEdit *>(name);
        QCOMPARE(edit->text(), QStringLiteral("50"));
        QVERIFY(edit->alignment() & Qt::AlignRight);
    }
    const QList<QPair<const char *, QString>> texts{
        {"pushButton_interp", "插值"},          {"pushButton_show", "显示"},
        {"pushButton_Color", "颜色"},           {"pushButton_SaveData", "导出数据"},
        {"pushButton_import", "导入数据"},      {"radioButton_showScatter", "散点图"},
        {"radioButton_ShowIsoSurface", "等值面图"}, {"radioButton_surface", "显示曲面"},
        {"radioButton_triange", "显示网格"},    {"radioButton_scatter", "显示散点"}};
    for (const auto &t : texts) {
        auto *button = dlg.findChild<QAbstractButton *>(t.first);
        QVERIFY2(button, t.first);
        QCOMPARE(button->text(), t.second);
    }
    QCOMPARE(dlg.findChild<QLabel *>("label")->text(), QStringLiteral("选取等值面"));

    // Both groups hold a checked button.
    QVERIFY(dlg.findChild<QRadioButton *>("radioButton_surface")->isChecked());
    QVERIFY(dlg.findChild<QRadioButton *>("radioButton_ShowIsoSurface")->isChecked());
    QVERIFY(!dlg.findChild<QRadioButton *>("radioButton_showScatter")->isChecked());
    for (const char *name : {"radioButton_scatter", "radioButton_surface", "radioButton_triange",
                             "horizontalSlider", "pushButton_show"})
        QVERIFY2(!dlg.findChild<QWidget *>(name)->isEnabled(), name);
    QCOMPARE(dlg.findChild<QProgressBar *>("progressBar")->value(), 0);
    QCOMPARE(dlg.nx(), 50);
    QCOMPARE(dlg.ny(), 50);
    QCOMPARE(dlg.nz(), 50);
    QVERIFY(dlg.pointList().isEmpty());
}

void TestDialog3DataVisualization::scaleFactors_data()
{
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::addColumn<double>("dz");
    QTest::addColumn<QVector<double>>("factors");

    QTest::newRow("x smallest") << 1.0 << 2.0 << 4.0 << QVector<double>{1, 2, 4};
    QTest::newRow("z smallest") << 4.0 << 2.0 << 1.0 << QVector<double>{4, 2, 1};
    QTest::newRow("y smallest") << 2.0 << 1.0 << 4.0 << QVector<double>{2, 1, 4};
    QTest::newRow("x and y tie above z") << 2.0 << 2.0 << 1.0 << QVector<double>{2, 2, 1};
    QTest::newRow("smallest tie") << 1.0 << 1.0 << 3.0 << QVector<double>{1, 1, 1};
    QTest::newRow("all equal") << 5.0 << 5.0 << 5.0 << QVector<double>{1, 1, 1};
}

void TestDialog3DataVisualization::scaleFactors()
{
    QFETCH(double, dx);
    QFETCH(double, dy);
    QFETCH(double, dz);
    QFETCH(QVector<double>, factors);
    double fx = 0;
    double fy = 0;
    double fz = 0;
    Dialog_3DataVisualization::scaleFactors(dx, dy, dz, &fx, &fy, &fz);
    QCOMPARE(QVector<double>({fx, fy, fz}), factors);
}

void TestDialog3DataVisualization::colorAtValue_data()
{
    QTest::addColumn<float>("t");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("zero") << 0.0f << QColor(0, 0, 255);
    QTest::newRow("first stop") << 0.1f << QColor(0, 0, 255);
    QTest::newRow("cyan stop") << 0.2f << QColor(0, 255, 255);
    QTest::newRow("green stop") << 0.3f << QColor(0, 255, 0);
    QTest::newRow("red stop") << 0.6f << QColor(255, 0, 0);
    QTest::newRow("mid last segment") << 0.8f << QColor(197, 18, 18);
    QTest::newRow("top") << 1.0f << QColor(139, 35, 35);
    QTest::newRow("beyond the top") << 3.0f << QColor(139, 35, 35);
    QTest::newRow("below zero") << -2.0f << QColor(0, 0, 255);
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << QColor(0, 0, 255);
}

void TestDialog3DataVisualization::colorAtValue()
{
    QFETCH(float, t);
    QFETCH(QColor, colour);
    const QColor c = Dialog_3DataVisualization::colorAtValue(t);
    QVERIFY(c.isValid());
    // Blends round half up in single precision: allow one step.
    QVERIFY2(colourDistance(c, colour) <= 1, qPrintable(c.name() + " vs " + colour.name()));
    QCOMPARE(c.alpha(), 255);
}

void TestDialog3DataVisualization::scatterColours()
{
    const QColor lowest = Dialog_3DataVisualization::scatterColor(2.0, 2.0, 50.0);
    const QColor highest = Dialog_3DataVisualization::scatterColor(50.0, 2.0, 50.0);
    QVERIFY2(colourDistance(lowest, QColor(147, 112, 219)) < 40, qPrintable(lowest.name()));
    QVERIFY2(colourDistance(highest, QColor(255, 0, 255)) < 20, qPrintable(highest.name()));
    const QImage palette = Dialog_3DataVisualization::scatterPalette();
    QCOMPARE(palette.size(), QSize(4, 100));
    QCOMPARE(lowest, palette.pixelColor(2, 0));
    QCOMPARE(highest, palette.pixelColor(2, 99));
    // A quarter of the way up the range sits near the green stop.
    const QColor quarter = Dialog_3DataVisualization::scatterColor(14.5, 2.0, 52.0);
    QVERIFY2(colourDistance(quarter, QColor(0, 255, 0)) < 30, qPrintable(quarter.name()));
    // No width, or no number: one fixed colour, never a row outside.
    QCOMPARE(Dialog_3DataVisualization::scatterColor(7.0, 7.0, 7.0), palette.pixelColor(2, 0));
    QCOMPARE(Dialog_3DataVisualization::scatterColor(std::nan(""), 1.0, 2.0),
             palette.pixelColor(2, 0));
    QCOMPARE(Dialog_3DataVisualization::scatterColor(1e9, 1.0, 2.0), palette.pixelColor(2, 99));
}

void TestDialog3DataVisualization::exportFormat()
{
    QTemporaryDir dir;
    Dialog_3DataVisualization dlg;
    VolumePoint p;
    p.line = 1;
    p.station = 2;
    p.z = -5;
    p.x = 10;
    p.y = 20;
    p.value = 3.5;
    VolumePoint q;
    q.line = 1001;
    q.station = 12.25;
    q.z = -0.000125;
    q.x = 512345.678;
    q.y = 4123456.7;
    q.value = 1234567.0;
    dlg.setPointList({p});

    const QString path = dir.filePath("points.dat");
    writeFile(path, "old content that must go\nold\nold\n");
    QVERIFY(dlg.exportPoints(path));
    QCOMPARE(readFile(path), QByteArray("x,y,z,line,point,value\n10,20,-5,1,2,3.5\n"));

    dlg.setPointList({p, q});
    QVERIFY(dlg.exportPoints(path));
    QCOMPARE(readFile(path), QByteArray("x,y,z,line,point,value\n10,20,-5,1,2,3.5\n"
                                        "512345.678,4123456.7,-0.000125,1001,12.25,1.23457e+06\n"));

    dlg.setPointList({});
    QVERIFY(dlg.exportPoints(path));
    QCOMPARE(readFile(path), QByteArray("x,y,z,line,point,value\n"));
}

void TestDialog3DataVisualization::exportFailsOnBadPath()
{
    QTemporaryDir dir;
    Dialog_3DataVisualization dlg;
    dlg.setPointList(conductiveBlock());
    QVERIFY(!dlg.exportPoints(dir.filePath("missing/folder/points.dat")));
    // On a full disk the file in place is kept whole, not cut short.
    const QString path = dir.filePath("points.dat");
    writeFile(path, "kept\n");
    {
        hwtest::FileSizeLimit full(64);
        QVERIFY(!dlg.exportPoints(path));
    }
    QCOMPARE(readFile(path), QByteArray("kept\n"));
}

void TestDialog3DataVisualization::readValueFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<int>("largest");
    QTest::addColumn<bool>("ok");

    QTest::newRow("first line is data") << QByteArray("5000\n5400.7\n5300\n")
                                        << QVector<double>{5000, 5400.7, 5300} << 5400 << true;
    // Only the first field counts; any of the separators splits.
    QTest::newRow("first field only")
        << QByteArray("1.5,9,9\n2.5\t9\n3.5;9\n4.5|9\n5.5*9\n   6.5   9  \n")
        << QVector<double>{1.5, 2.5, 3.5, 4.5, 5.5, 6.5} << 6 << true;
    QTest::newRow("largest leaves the first line out")
        << QByteArray("9999\n10\n-3\n") << QVector<double>{9999, 10, -3} << 10 << true;
    QTest::newRow("one line") << QByteArray("42\n") << QVector<double>{42} << -1000 << true;
    QTest::newRow("blank lines skipped") << QByteArray("\n1\n\n  \n2\n") << QVector<double>{1, 2}
                                         << 2 << true;
    QTest::newRow("crlf and no final newline")
        << QByteArray("1\r\n2\r\n3") << QVector<double>{1, 2, 3} << 3 << true;
    QTest::newRow("old Mac line ends") << QByteArray("5000\r1\r\r2 9\r3\r") << QVector<double>{5000, 1, 2, 3}
                                       << 3 << true;
    QTest::newRow("mixed line ends") << QByteArray("1\r2\r\n3\n4") << QVector<double>{1, 2, 3, 4} << 4 << true;
    QTest::newRow("damaged line after CR") << QByteArray("1\r2\r3x\r4") << QVector<double>{} << -1000 << false;
    QTest::newRow("empty file") << QByteArray() << QVector<double>{} << -1000 << true;
    QTest::newRow("text header") << QByteArray("value\n1\n2\n") << QVector<double>{} << -1000
                                 << false;
    QTest::newRow("damaged line") << QByteArray("1\n2\n3x\n4\n") << QVector<double>{} << -1000
                                  << false;
}

void TestDialog3DataVisualization::readValueFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QVector<double>, values);
    QFETCH(int, largest);
    QFETCH(bool, ok);

    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath("values.txt"), content);
    QList<double> read{99.0};
    int top = 0;
    QString error;
    QCOMPARE(Dialog_3DataVisualization::readValueFile(path, &read, &top, &error), ok);
    QCOMPARE(read.toVector(), values);
    if (ok) {
        QCOMPARE(top, largest);
        QVERIFY(error.isEmpty());
    } else {
        // The message names the line.
        QVERIFY(!error.isEmpty());
        QVERIFY2(error.contains(content.startsWith("value") ? "1" : "3"), qPrintable(error));
    }

    QVERIFY(!Dialog_3DataVisualization::readValueFile(dir.filePath("none.txt"), &read, &top,
                                                      &error));
    QVERIFY(error.isEmpty());
    QVERIFY(read.isEmpty());
}

void TestDialog3DataVisualization::importDrawsDefaultGrid()
{
    // 50 x 50 x 50 values rising away from the grid's centre; the fixed iso
    // value 5318 cuts a closed shell around it.
    QTemporaryDir dir;
    QByteArray content;
    int largest = -1000;
    for (int k = 0; k < 50; ++k)
        for (int j = 0; j < 50; ++j)
            for (int i = 0; i < 50; ++i) {
                const double r = std::sqrt((i - 24.5) * (i - 24.5) + (j - 24.5) * (j - 24.5)
                                           + (k - 24.5) * (k - 24.5));
                const double v = 5000.0 + 20.0 * r;
                if (content.size() > 0)
                    largest = std::max(largest, int(v));
                content += QByteArray::number(v, 'g', 10) + "\n";
            }
    const QString path = writeFile(dir.filePath("grid.txt"), content);

    Dialog_3DataVisualization dlg;
    QString error;
    QVERIFY2(dlg.importValues(path, &error), qPrintable(error));
    QVERIFY(dlg.showsIsoSurface());
    QCOMPARE(dlg.marchingCubes()->GetValue(0), 5318.0);
    dlg.marchingCubes()->Update();
    QVERIFY(dlg.marchingCubes()->GetOutput()->GetNumberOfPolys() > 100);
    double b[6];
    dlg.marchingCubes()->GetOutput()->GetBounds(b);
    // r = 15.9 around the centre 24.5.
    QVERIFY(b[0] > 7.5 && b[0] < 10 && b[1] > 39 && b[1] < 41.5);

    // Labelled by node number: nothing has been gridded yet.
    double *r = dlg.cubeAxes()->GetXAxisRange();
    QCOMPARE(QVector<double>({r[0], r[1]}), QVector<double>({0, 49}));
    auto *slider = dlg.findChild<QSlider *>("horizontalSlider");
    QVERIFY(slider->isEnabled());
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->maximum(), largest);
    QVERIFY(dlg.renderer()->GetViewProps()->IsItemPresent(dlg.dataActor()));
    QVERIFY(dlg.renderer()->GetViewProps()->IsItemPresent(dlg.outlineActor()));
    QVERIFY(dlg.renderer()->GetViewProps()->IsItemPresent(dlg.cubeAxes()));
}

void TestDialog3DataVisualization::importRejectsWrongCount()
{
    QTemporaryDir dir;
    Dialog_3DataVisualization dlg;
    QByteArray content;
    for (int i = 0; i < 26; ++i)
        content += QByteArray::number(i) + "\n";
    const QString path = writeFile(dir.filePath("short.txt"), content);
    QString error;
    QVERIFY(!dlg.importValues(path, &error));
    QVERIFY2(error.contains("26") && error.contains("125000"), qPrintable(error));
    QVERIFY(!dlg.dataActor());

    // After a 3 x 3 x 3 gridding the same kind of file fits with 27 values.
    dlg.setPointList(conductiveBlock());
    setGridSize(dlg, "3", "3", "3");
    QVERIFY(runInterpolation(dlg));
    QVERIFY(!dlg.importValues(path, &error));
    content += "26\n";
    writeFile(path, content);
    QVERIFY2(dlg.importValues(path, &error), qPrintable(error));
    QCOMPARE(dlg.marchingCubes()->GetValue(0), 5318.0);
    QVERIFY(!dlg.importValues(dir.filePath("none.txt"), &error));
    QVERIFY(error.isEmpty());
}

void TestDialog3DataVisualization::interpolationRunsInThread()
{
    Dialog_3DataVisualization dlg;
    const QVector<VolumePoint> points = conductiveBlock();
    dlg.setPointList(points);
    setGridSize(dlg, "40", "40", "30");
    auto *progress = dlg.findChild<QProgressBar *>("progressBar");
    QSignalSpy progressSpy(progress, &QProgressBar::valueChanged);

    dlg.findChild<QPushButton *>("pushButton_interp")->click();
    // The click returns while the worker is still at it in its own thread.
    QVERIFY(dlg.isInterpolating());
    QVERIFY(dlg.worker()->thread() != QCoreApplication::instance()->thread());
    QVERIFY(dlg.worker()->thread()->isRunning());
    QVERIFY(!dlg.findChild<QPushButton *>("pushButton_show")->isEnabled());
    QVERIFY(!dlg.findChild<QPushButton *>("pushButton_interp")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isInterpolating(), 60000);

    // Progress arrived step by step and ended at 100.
    QVERIFY(progressSpy.count() > 5);
    QCOMPARE(progress->value(), 100);
    QVERIFY(dlg.findChild<QPushButton *>("pushButton_show")->isEnabled());
    QVERIFY(dlg.findChild<QPushButton *>("pushButton_interp")->isEnabled());
    QCOMPARE(dlg.nx(), 40);
    QCOMPARE(dlg.ny(), 40);
    QCOMPARE(dlg.nz(), 30);

    // x 0..100 over 39 steps, y 0..120 over 39, z -50..0 over 29: z is the
    // finest axis.
    const double dx = 100.0 / 39;
    const double dy = 120.0 / 39;
    const double dz = 50.0 / 29;
    HW_COMPARE_NEAR(dlg.fz(), 1.0, 1e-12);
    HW_COMPARE_NEAR(dlg.fx(), dx / dz, 1e-6);
    HW_COMPARE_NEAR(dlg.fy(), dy / dz, 1e-6);

    // The mean's iso-surface is drawn in grid units scaled by the factors,
    // labelled in real coordinates.
    const float mean = dlg.worker()->getMean();
    QVERIFY(dlg.showsIsoSurface());
    QCOMPARE(dlg.isoValue(), double(mean));
    QCOMPARE(dlg.marchingCubes()->GetValue(0), double(mean));
    QCOMPARE(dlg.findChild<QLabel *>("label_IsoValue")->text(), QString::number(mean, 'g', 6));
    dlg.marchingCubes()->Update();
    QVERIFY(dlg.marchingCubes()->GetOutput()->GetNumberOfPolys() > 0);
    double *r = dlg.cubeAxes()->GetYAxisRange();
    QCOMPARE(QVector<double>({r[0], r[1]}), QVector<double>({0, 120}));
    r = dlg.cubeAxes()->GetZAxisRange();
    QCOMPARE(QVector<double>({r[0], r[1]}), QVector<double>({-50, 0}));
    double *b = dlg.cubeAxes()->GetBounds();
    HW_COMPARE_NEAR(b[1], 39 * dlg.fx(), 1e-9);
    HW_COMPARE_NEAR(b[5], 29.0, 1e-9);
    QCOMPARE(dlg.dataActor()->GetProperty()->GetRepresentation(), VTK_SURFACE);

    auto *slider = dlg.findChild<QSlider *>("horizontalSlider");
    QVERIFY(slider->isEnabled());
    QCOMPARE(slider->minimum(), 5);
    QCOMPARE(slider->maximum(), 105);
    QCOMPARE(slider->value(), int(mean));
    for (const char *name : {"radioButton_scatter", "radioButton_surface", "radioButton_triange"})
        QVERIFY2(dlg.findChild<QWidget *>(name)->isEnabled(), name);
}

void TestDialog3DataVisualization::sliderMovesIsoSurface()
{
    Dialog_3DataVisualization dlg;
    dlg.setPointList(conductiveBlock());
    setGridSize(dlg, "12", "10", "8");
    QVERIFY(runInterpolation(dlg));

    auto *slider = dlg.findChild<QSlider *>("horizontalSlider");
    slider->setValue(30);
    QCOMPARE(dlg.marchingCubes()->GetValue(0), 30.0);
    QCOMPARE(dlg.findChild<QLabel *>("label_IsoValue")->text(), QStringLiteral("30"));
    // (30 - 5) / (105 - 5) = 0.25: halfway from cyan to green.
    const QColor expected = Dialog_3DataVisualization::colorAtValue(0.25f);
    double c[3];
    dlg.dataActor()->GetProperty()->GetColor(c);
    HW_COMPARE_NEAR(c[0], expected.redF(), 1e-9);
    HW_COMPARE_NEAR(c[1], expected.greenF(), 1e-9);
    HW_COMPARE_NEAR(c[2], expected.blueF(), 1e-9);
    QVERIFY(colourDistance(expected, QColor(0, 255, 128)) <= 1);
}

void TestDialog3DataVisualization::representationButtons()
{
    Dialog_3DataVisualization dlg;
    dlg.setPointList(conductiveBlock());
    setGridSize(dlg, "6", "6", "6");
    QVERIFY(runInterpolation(dlg));

    auto *points = dlg.findChild<QRadioButton *>("radioButton_scatter");
    auto *surface = dlg.findChild<QRadioButton *>("radioButton_surface");
    auto *wire = dlg.findChild<QRadioButton *>("radioButton_triange");
    wire->click();
    QCOMPARE(dlg.dataActor()->GetProperty()->GetRepresentation(), VTK_WIREFRAME);
    QVERIFY(wire->isChecked() && !surface->isChecked() && !points->isChecked());
    points->click();
    QCOMPARE(dlg.dataActor()->GetProperty()->GetRepresentation(), VTK_POINTS);
    QVERIFY(points->isChecked() && !surface->isChecked() && !wire->isChecked());
    // The mode stays checked beside the representation.
    QVERIFY(dlg.findChild<QRadioButton *>("radioButton_ShowIsoSurface")->isChecked());

    // A redraw keeps the chosen representation.
    dlg.findChild<QPushButton *>("pushButton_show")->click();
    QCOMPARE(dlg.dataActor()->GetProperty()->GetRepresentation(), VTK_POINTS);
    surface->click();
    QCOMPARE(dlg.dataActor()->GetProperty()->GetRepresentation(), VTK_SURFACE);
}

void TestDialog3DataVisualization::scatterMode()
{
    Dialog_3DataVisualization dlg;
    dlg.setPointList(conductiveBlock());
    setGridSize(dlg, "8", "7", "6");
    QVERIFY(runInterpolation(dlg));
    vtkActor *isoActor = dlg.dataActor();

    dlg.findChild<QRadioButton *>("radioButton_showScatter")->click();
    QVERIFY(!dlg.findChild<QRadioButton *>("radioButton_ShowIsoSurface")->isChecked());
    for (const char *name :
         {"radioButton_scatter", "radioButton_surface", "radioButton_triange", "horizontalSlider"})
        QVERIFY2(!dlg.findChild<QWidget *>(name)->isEnabled(), name);

    dlg.findChild<QPushButton *>("pushButton_show")->click();
    QVERIFY(!dlg.showsIsoSurface());
    QVERIFY(dlg.dataActor() != isoActor);
    QVERIFY(!dlg.renderer()->GetViewProps()->IsItemPresent(isoActor));
    QCOMPARE(dlg.dataActor()->GetProperty()->GetPointSize(), 10.0f);

    auto *grid = vtkUnstructuredGrid::SafeDownCast(dlg.dataActor()->GetMapper()->GetInput());
    QVERIFY(grid);
    const QVector<ScatterPoint> nodes = dlg.worker()->resultNodes();
    QCOMPARE(grid->GetNumberOfPoints(), vtkIdType(8 * 7 * 6));
    QCOMPARE(grid->GetNumberOfCells(), vtkIdType(1));
    QCOMPARE(grid->GetCell(0)->GetNumberOfPoints(), vtkIdType(8 * 7 * 6));
    auto *colours = vtkUnsignedCharArray::SafeDownCast(grid->GetPointData()->GetScalars());
    QVERIFY(colours);
    QCOMPARE(QString(colours->GetName()), QStringLiteral("Colors"));
    QCOMPARE(colours->GetNumberOfComponents(), 3);

    int lowest = 0;
    int highest = 0;
    for (int i = 0; i < nodes.size(); ++i) {
        if (nodes[i].value < nodes[lowest].value)
            lowest = i;
        if (nodes[i].value > nodes[highest].value)
            highest = i;
    }
    const QImage palette = Dialog_3DataVisualization::scatterPalette();
    auto colourOf = [&](int i) {
        double rgb[3];
        colours->GetTuple(i, rgb);
        return QColor(int(rgb[0]), int(rgb[1]), int(rgb[2]));
    };
    QCOMPARE(colourOf(lowest), palette.pixelColor(2, 0));
    QCOMPARE(colourOf(highest), palette.pixelColor(2, 99));

    // Axes and outline frame the nodes in real coordinates.
    double *b = dlg.cubeAxes()->GetBounds();
    double gb[6];
    grid->GetBounds(gb);
    HW_COMPARE_VECTORS(QVector<double>(b, b + 6), QVector<double>(gb, gb + 6), 1e-12, 1e-12);
    HW_COMPARE_VECTORS(QVector<double>(gb, gb + 6), QVector<double>({0, 100, 0, 120, -50, 0}),
                       1e-6, 1e-6);
    QCOMPARE(dlg.renderer()->GetViewProps()->GetNumberOfItems(), 3);

    // Back to the iso-surface.
    dlg.findChild<QRadioButton *>("radioButton_ShowIsoSurface")->click();
    dlg.findChild<QPushButton *>("pushButton_show")->click();
    QVERIFY(dlg.showsIsoSurface());
    QCOMPARE(dlg.renderer()->GetViewProps()->GetNumberOfItems(), 3);
}

void TestDialog3DataVisualization::badGridSizeRejected_data()
{
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<QString>("z");
    QTest::newRow("not a number") << "abc" << "5" << "5";
    QTest::newRow("empty") << "5" << "" << "5";
    QTest::newRow("one node") << "5" << "5" << "1";
    QTest::newRow("negative") << "-4" << "5" << "5";
    QTest::newRow("too many nodes") << "1000" << "1000" << "1000";
}

void TestDialog3DataVisualization::badGridSizeRejected()
{
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(QString, z);
    Dialog_3DataVisualization dlg;
    dlg.setPointList(conductiveBlock());
    setGridSize(dlg, x, y, z);
    MessageBoxCloser closer;
    dlg.findChild<QPushButton *>("pushButton_interp")->click();
    QCOMPARE(closer.texts.size(), 1);
    QVERIFY(!dlg.isInterpolating());
    // The worker never left the GUI thread.
    QCOMPARE(dlg.worker()->thread(), QCoreApplication::instance()->thread());
    QCOMPARE(dlg.nx(), 50);
}

void TestDialog3DataVisualization::emptyPointListStillRuns()
{
    Dialog_3DataVisualization dlg;
    setGridSize(dlg, "5", "5", "5");
    QVERIFY(runInterpolation(dlg));
    QVERIFY(dlg.worker()->resultValues().isEmpty());
    QVERIFY(!dlg.dataActor());
    QCOMPARE(dlg.findChild<QProgressBar *>("progressBar")->value(), 100);
    QVERIFY(dlg.findChild<QPushButton *>("pushButton_show")->isEnabled());
    dlg.findChild<QPushButton *>("pushButton_show")->click();
    QVERIFY(!dlg.dataActor());
}

void TestDialog3DataVisualization::destroyedDuringRun()
{
    auto *dlg = new Dialog_3DataVisualization;
    dlg->setPointList(conductiveBlock());
    setGridSize(*dlg, "40", "40", "40");
    dlg->findChild<QPushButton *>("pushButton_interp")->click();
    QVERIFY(dlg->isInterpolating());
    // Waits for the worker, then goes.
    delete dlg;
}

QTEST_MAIN(TestDialog3DataVisualization)
#include "tst_3ddata_dialog.moc"
