#include "gridding/Dialog_InvProgressBar.h"
#include "gridding/GridData.h"
#include "gridding/RectInterpolation2.h"

#include "common/TestHelpers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <limits>

namespace {

// Answers every message box that shows up and remembers what it saw.
class MessageBoxCloser : public QObject
{
public:
    QStringList titles;
    QStringList texts;
    QList<bool> gridExisted;   // whether out.grd was there while the box was shown

    MessageBoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (!box || !box->isVisible())
                    continue;
                titles << box->windowTitle();
                texts << box->text();
                gridExisted << QFile::exists(QStringLiteral("out.grd"));
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
};

QList<DataType_ResultData> section(int columns, int levels, double depthStep)
{
    QList<DataType_ResultData> results;
    for (int c = 0; c < columns; ++c) {
        DataType_ResultData col;
        col.x = 25.0 * c;
        for (int l = 0; l < levels; ++l) {
            col.depth.append(depthStep * l);
            col.value.append(100.0 + 3.0 * c * c + 7.0 * l);
        }
        results.append(col);
    }
    return results;
}

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n');
}

} // namespace

class TestDialogInvProgressBar : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void form();
    void rowCount_data();
    void rowCount();
    void searchRadius();
    void flattensResults();
    void cellsWithoutValueAreNoSamples();
    void gridsInWorkerThread();
    void secondStartIgnoredWhileRunning();
    void emptyResultsGiveEmptyGrid();
    void destroyedDuringRun();

private:
    QTemporaryDir *m_dir = nullptr;
    QString m_oldDir;
};

void TestDialogInvProgressBar::init()
{
    // The dialog writes out.grd into the working directory.
    m_dir = new QTemporaryDir;
    m_oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestDialogInvProgressBar::cleanup()
{
    QDir::setCurrent(m_oldDir);
    delete m_dir;
    m_dir = nullptr;
}

void TestDialogInvProgressBar::form()
{
    Dialog_InvProgressBar dlg;
    QCOMPARE(dlg.objectName(), QStringLiteral("Dialog_InvProgressBar"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("反演进度条"));
    auto *bar = dlg.findChild<QProgressBar *>("progressBar");
    auto *button = dlg.findChild<QPushButton *>("pushButton_Start");
    QVERIFY(bar && button);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(button->text(), QStringLiteral("开始"));
}

void TestDialogInvProgressBar::rowCount_data()
{
    QTest::addColumn<float>("range");
    QTest::addColumn<int>("rows");
    QTest::newRow("12.5") << 12.5f << 13;
    QTest::newRow("just below 20") << 19.5f << 20;
    QTest::newRow("20") << 20.0f << 5;
    QTest::newRow("57") << 57.0f << 12;
    QTest::newRow("flat") << 0.0f << 1;
    QTest::newRow("negative") << -3.0f << 0;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 0;
}

void TestDialogInvProgressBar::rowCount()
{
    QFETCH(float, range);
    QFETCH(int, rows);
    QCOMPARE(Dialog_InvProgressBar::rowCountForRange(range), rows);
}

void TestDialogInvProgressBar::searchRadius()
{
    HW_COMPARE_NEAR(Dialog_InvProgressBar::searchRadiusFor(0, 100, 0, 100, 50), 100.0, 1e-12);
    HW_COMPARE_NEAR(Dialog_InvProgressBar::searchRadiusFor(0, 100, 0, 100, 400), 50.0, 1e-12);
    QCOMPARE(Dialog_InvProgressBar::searchRadiusFor(0, 100, 0, 100, 0), 0.0);
    // One column: no area, so every node takes its nearest sample.
    QCOMPARE(Dialog_InvProgressBar::searchRadiusFor(5, 5, 0, 100, 20), 0.0);
}

void TestDialogInvProgressBar::flattensResults()
{
    QList<DataType_ResultData> results = section(3, 4, 10.0);
    results[1].value[2] = std::numeric_limits<double>::quiet_NaN();
    results[2].depth.append(99.0);   // a depth without a value
    Dialog_InvProgressBar dlg;
    dlg.setInversionResults(results);
    QCOMPARE(dlg.columnCount(), 3);
    QCOMPARE(dlg.samples().size(), 11);
    QCOMPARE(dlg.samples().first().x, 0.0f);
    QCOMPARE(dlg.samples().last().x, 50.0f);
    QCOMPARE(dlg.samples().last().y, 30.0f);
    for (const GridPoint &s : dlg.samples())
        QVERIFY(std::isfinite(s.value));
}

void TestDialogInvProgressBar::cellsWithoutValueAreNoSamples()
{
    // The controller's section marks the cells above a lower station's
    // ground with 1e-18; gridded as values they pull the nodes around them
    // towards zero.
    QList<DataType_ResultData> results = section(3, 4, 10.0);
    results[1].value[3] = 1e-18;
    results[2].value[3] = 1e-18;
    Dialog_InvProgressBar dlg;
    dlg.setInversionResults(results);
    QCOMPARE(dlg.samples().size(), 10);
    for (const GridPoint &s : dlg.samples())
        QVERIFY(s.value >= 100.0f);

    MessageBoxCloser closer;
    QTimer::singleShot(0, &dlg, [&dlg] {
        dlg.findChild<QPushButton *>("pushButton_Start")->click();
    });
    QTimer::singleShot(30000, &dlg, &QDialog::reject);   // never hang the suite
    dlg.exec();
    QCOMPARE(closer.texts, QStringList{QStringLiteral("反演完成")});

    // Every node is a mean of real values, the blank nodes included.
    const QList<GridPoint> &grid = dlg.resultPoints();
    QCOMPARE(grid.size(), 3 * 7);
    float zmin = 1e8f;
    for (const GridPoint &p : grid) {
        QVERIFY2(p.value >= 100.0f, qPrintable(QString("node (%1, %2): %3")
                                                   .arg(p.x).arg(p.y).arg(p.value)));
        zmin = std::min(zmin, p.value);
    }
    const QStringList lines = fileLines(QStringLiteral("out.grd"));
    QVERIFY(lines.size() > 4);
    QCOMPARE(lines[4].split(' ').first(), QString::number(double(zmin), 'f', 3));
}

void TestDialogInvProgressBar::gridsInWorkerThread()
{
    const QList<DataType_ResultData> results = section(5, 10, 5.0);   // depth range 45
    Dialog_InvProgressBar dlg;
    dlg.setInversionResults(results);

    std::atomic<bool> offGuiThread{true};
    std::atomic<bool> highestPriority{true};
    std::atomic<int> calls{0};
    QThread *gui = QThread::currentThread();
    connect(dlg.worker(), &RectInterpolation2::interpProcess, this,
            [&](int) {
                ++calls;
                offGuiThread = offGuiThread && QThread::currentThread() != gui;
                highestPriority = highestPriority
                                  && QThread::currentThread()->priority() == QThread::HighestPriority;
            },
            Qt::DirectConnection);
    auto *bar = dlg.findChild<QProgressBar *>("progressBar");
    QVector<int> shown;
    bool barOnGui = true;
    connect(bar, &QProgressBar::valueChanged, this, [&](int v) {
        shown.append(v);
        barOnGui = barOnGui && QThread::currentThread() == gui;
    });

    MessageBoxCloser closer;
    QTimer::singleShot(0, &dlg, [&dlg] {
        dlg.findChild<QPushButton *>("pushButton_Start")->click();
    });
    QTimer::singleShot(30000, &dlg, &QDialog::reject);   // never hang the suite
    dlg.exec();

    QCOMPARE(closer.titles, QStringList{QStringLiteral("反演进度")});
    QCOMPARE(closer.texts, QStringList{QStringLiteral("反演完成")});
    QCOMPARE(closer.gridExisted, QList<bool>{false});   // the message comes first
    QVERIFY(!dlg.isVisible());
    QVERIFY(!dlg.isRunning());

    // 5 columns, 1 + 45 / 5 rows; progress after every node, shown on the GUI thread.
    const GridGeometry &g = dlg.job().geometry;
    QCOMPARE(g.nx, 5);
    QCOMPARE(g.ny, 10);
    QCOMPARE(dlg.job().method, 1);
    QCOMPARE(dlg.job().params.power, 2.0);
    HW_COMPARE_NEAR(dlg.job().params.searchRadius, std::sqrt(45.0 * 100.0), 1e-12);
    QCOMPARE(dlg.job().params.secondRadius, dlg.job().params.searchRadius);
    QCOMPARE(calls.load(), 50);
    QVERIFY(offGuiThread);
    QVERIFY(highestPriority);
    QVERIFY(barOnGui);
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown.last(), 100);

    // The result is what the worker gives on the same job.
    GriddingSetup setup;
    auto tree = setup.createKdTree(dlg.samples());
    RectInterpolation2 direct;
    direct.setJob(&dlg.job());
    direct.setTree(tree->tree.get());
    direct.startInterp();
    const QList<GridPoint> &expected = direct.outputPoints();
    const QList<GridPoint> &result = dlg.resultPoints();
    QCOMPARE(result.size(), 50);
    float zmin = 1e8f;
    float zmax = -1e8f;
    for (int k = 0; k < 50; ++k) {
        QCOMPARE(result[k].x, expected[k].x);
        QCOMPARE(result[k].y, expected[k].y);
        QCOMPARE(result[k].value, expected[k].value);
        zmin = std::min(zmin, result[k].value);
        zmax = std::max(zmax, result[k].value);
    }

    // out.grd: header from the geometry, value range of the result.
    const QStringList lines = fileLines(QStringLiteral("out.grd"));
    QVERIFY(lines.size() >= 15);
    QCOMPARE(lines[0], QStringLiteral("DSAA"));
    QCOMPARE(lines[1], QStringLiteral("5 10"));
    QCOMPARE(lines[2], QStringLiteral("0.000 100.000"));
    QCOMPARE(lines[3], QStringLiteral("0.000 45.000"));
    QCOMPARE(lines[4], QString("%1 %2").arg(double(zmin), 0, 'f', 3).arg(double(zmax), 0, 'f', 3));
    for (int r = 0; r < 10; ++r) {
        const QStringList fields = lines[5 + r].split(' ', Qt::SkipEmptyParts);
        QCOMPARE(fields.size(), 5);
        for (int c = 0; c < 5; ++c)
            QCOMPARE(fields[c].toDouble(), std::round(double(result[r * 5 + c].value) * 1000) / 1000);
    }
}

void TestDialogInvProgressBar::secondStartIgnoredWhileRunning()
{
    Dialog_InvProgressBar dlg;
    dlg.setInversionResults(section(60, 40, 10.0));   // 60 x 79 nodes
    MessageBoxCloser closer;
    dlg.show();
    auto *button = dlg.findChild<QPushButton *>("pushButton_Start");
    button->click();
    QVERIFY(dlg.isRunning());
    QVERIFY(!button->isEnabled());
    const GriddingJob *job = &dlg.job();
    const int nodes = dlg.job().nodeCount;
    dlg.on_pushButton_Start_clicked();
    QCOMPARE(&dlg.job(), job);
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 30000);
    QCOMPARE(closer.titles.size(), 1);
    QCOMPARE(dlg.resultPoints().size(), nodes);
    QVERIFY(button->isEnabled());
}

void TestDialogInvProgressBar::emptyResultsGiveEmptyGrid()
{
    Dialog_InvProgressBar dlg;
    // Columns without a single usable sample.
    DataType_ResultData bad;
    bad.x = 3;
    bad.depth = {1, 2};
    bad.value = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    dlg.setInversionResults({bad, DataType_ResultData()});
    QVERIFY(dlg.samples().isEmpty());
    MessageBoxCloser closer;
    dlg.show();
    dlg.findChild<QPushButton *>("pushButton_Start")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 10000);
    QCOMPARE(closer.titles.size(), 1);
    QVERIFY(dlg.resultPoints().isEmpty());
    const QStringList lines = fileLines(QStringLiteral("out.grd"));
    QCOMPARE(lines.mid(0, 5), (QStringList{"DSAA", "0 0", "100000000.000 -100000000.000",
                                           "100000000.000 -100000000.000",
                                           "100000000.000 -100000000.000"}));
}

void TestDialogInvProgressBar::destroyedDuringRun()
{
    MessageBoxCloser closer;
    auto *dlg = new Dialog_InvProgressBar;
    dlg->setInversionResults(section(100, 60, 10.0));
    dlg->show();
    dlg->findChild<QPushButton *>("pushButton_Start")->click();
    delete dlg;   // waits for the worker
    QTest::qWait(100);
    QVERIFY(closer.titles.isEmpty());
    QVERIFY(!QFile::exists(QStringLiteral("out.grd")));
}

QTEST_MAIN(TestDialogInvProgressBar)
#include "tst_invprogressbar.moc"
