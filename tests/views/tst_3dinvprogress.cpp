#include "views/Dialog_3DInvProgress.h"

#include "common/TestHelpers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

using ValuePairs = QList<QPair<double, double>>;
Q_DECLARE_METATYPE(ValuePairs)

namespace {

// A resistivity section: x 0..90 along the line, y 0..60 in depth.
QList<GridPoint> section(double offset)
{
    QList<GridPoint> samples;
    for (int c = 0; c < 10; ++c) {
        for (int l = 0; l < 7; ++l) {
            GridPoint p;
            p.x = 10.0f * c;
            p.y = 10.0f * l;
            p.value = static_cast<float>(offset + 100.0 + 3.0 * c - 5.0 * l);
            samples.append(p);
        }
    }
    return samples;
}

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestDialog3DInvProgress : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void writesNumberedGrid();
    void sameNumberOverwrites();
    void runDoesNotBlock();
    void secondStartIgnoredWhileRunning();
    void noSamplesWritesEmptyGrid();
    void okCollectsPairs_data();
    void okCollectsPairs();
    void cancelRejects();
    void slotsReachableByName();

private:
    QTemporaryDir *m_dir = nullptr;
    QString m_oldDir;
};

void TestDialog3DInvProgress::init()
{
    // The grid goes into the working directory.
    m_dir = new QTemporaryDir;
    m_oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestDialog3DInvProgress::cleanup()
{
    QDir::setCurrent(m_oldDir);
    delete m_dir;
    m_dir = nullptr;
}

void TestDialog3DInvProgress::writesNumberedGrid()
{
    Dialog_3DInvProgress dlg;
    dlg.setNumber(3);
    QCOMPARE(dlg.outputFileName(), QStringLiteral("3_out.grd"));
    dlg.setSamples(section(0.0), 10, 7);
    dlg.startGridding();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isRunning(), 30000);

    const QStringList lines = fileLines("3_out.grd");
    QCOMPARE(lines.size(), 5 + 7);
    QCOMPARE(lines[0], QStringLiteral("DSAA"));
    QCOMPARE(lines[1], QStringLiteral("10 7"));
    QCOMPARE(lines[2], QStringLiteral("0.000 90.000"));
    QCOMPARE(lines[3], QStringLiteral("0.000 60.000"));
    // The nodes fall on the samples, so the grid keeps their range.
    QCOMPARE(lines[4], QStringLiteral("70.000 127.000"));
    QCOMPARE(lines[5], QStringLiteral("100.000 103.000 106.000 109.000 112.000 115.000 118.000 "
                                      "121.000 124.000 127.000 "));
    QCOMPARE(dlg.resultPoints().size(), 70);
    QCOMPARE(dlg.findChild<QProgressBar *>("progressBar")->value(), 100);
    QVERIFY(!QFile::exists("out.grd"));
}

void TestDialog3DInvProgress::sameNumberOverwrites()
{
    Dialog_3DInvProgress dlg;
    dlg.setNumber(3);
    dlg.setSamples(section(0.0), 10, 7);
    dlg.startGridding();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isRunning(), 30000);
    const QStringList first = fileLines("3_out.grd");

    dlg.setSamples(section(1000.0), 10, 7);
    dlg.startGridding();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isRunning(), 30000);
    const QStringList second = fileLines("3_out.grd");
    QCOMPARE(second.size(), first.size());
    QCOMPARE(second[4], QStringLiteral("1070.000 1127.000"));

    dlg.setNumber(12);
    dlg.startGridding();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isRunning(), 30000);
    QVERIFY(QFile::exists("12_out.grd"));
    QCOMPARE(fileLines("3_out.grd"), second);
}

void TestDialog3DInvProgress::runDoesNotBlock()
{
    // A grid large enough to take a while: the GUI thread keeps serving
    // events and sees the progress arrive step by step.
    QList<GridPoint> samples;
    for (int i = 0; i < 4000; ++i) {
        GridPoint p;
        p.x = static_cast<float>((i * 37) % 400);
        p.y = static_cast<float>((i * 53) % 300);
        p.value = static_cast<float>(i % 97);
        samples.append(p);
    }
    Dialog_3DInvProgress dlg;
    dlg.setNumber(5);
    dlg.setSamples(samples, 400, 300);
    QSignalSpy progress(dlg.findChild<QProgressBar *>("progressBar"),
                        &QProgressBar::valueChanged);
    int ticksWhileRunning = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] {
        if (dlg.isRunning())
            ++ticksWhileRunning;
    });
    ticker.start(1);

    dlg.startGridding();
    QVERIFY(dlg.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isRunning(), 60000);
    QVERIFY(ticksWhileRunning > 0);
    QVERIFY(progress.count() > 10);
    QCOMPARE(progress.last().first().toInt(), 100);
    QCOMPARE(fileLines("5_out.grd").size(), 5 + 300);
}

void TestDialog3DInvProgress::secondStartIgnoredWhileRunning()
{
    QList<GridPoint> samples = section(0.0);
    Dialog_3DInvProgress dlg;
    dlg.setNumber(8);
    dlg.setSamples(samples, 300, 200);
    dlg.startGridding();
    QVERIFY(dlg.isRunning());
    // Neither new samples nor a new start reach the running worker.
    dlg.setSamples(section(500.0), 4, 4);
    dlg.startGridding();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isRunning(), 60000);
    QCOMPARE(dlg.geometry().nx, 300);
    QCOMPARE(dlg.resultPoints().size(), 300 * 200);
    QCOMPARE(fileLines("8_out.grd").value(1), QStringLiteral("300 200"));
}

void TestDialog3DInvProgress::noSamplesWritesEmptyGrid()
{
    Dialog_3DInvProgress dlg;
    dlg.setNumber(0);
    dlg.setSamples({}, 10, 7);
    dlg.startGridding();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isRunning(), 30000);
    const QStringList lines = fileLines("0_out.grd");
    QCOMPARE(lines.value(0), QStringLiteral("DSAA"));
    QCOMPARE(lines.value(1), QStringLiteral("0 0"));
    QCOMPARE(lines.size(), 5);
    QVERIFY(dlg.resultPoints().isEmpty());
}

void TestDialog3DInvProgress::okCollectsPairs_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<ValuePairs>("pairs");

    QTest::newRow("none") << QStringList() << QStringList() << ValuePairs();
    QTest::newRow("two rows") << QStringList{"1.5", "20"} << QStringList{"-3", "4e2"}
                              << ValuePairs{{1.5, -3}, {20, 400}};
    QTest::newRow("unreadable is zero") << QStringList{"abc"} << QStringList{""}
                                        << ValuePairs{{0, 0}};
}

void TestDialog3DInvProgress::okCollectsPairs()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(ValuePairs, pairs);

    Dialog_3DInvProgress dlg;
    for (int i = 0; i < first.size(); ++i)
        dlg.addValueRow(first[i], second[i]);
    dlg.show();
    dlg.findChild<QPushButton *>("pushButton_OK")->click();
    QCOMPARE(dlg.valuePairs(), pairs);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());

    // A second OK starts from an empty list.
    dlg.findChild<QPushButton *>("pushButton_OK")->click();
    QCOMPARE(dlg.valuePairs(), pairs);
}

void TestDialog3DInvProgress::cancelRejects()
{
    Dialog_3DInvProgress dlg;
    dlg.addValueRow("1", "2");
    dlg.show();
    dlg.findChild<QPushButton *>("pushButton_Cancle")->click();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(!dlg.isVisible());
    QVERIFY(dlg.valuePairs().isEmpty());
}

void TestDialog3DInvProgress::slotsReachableByName()
{
    Dialog_3DInvProgress dlg;
    dlg.setNumber(4);
    dlg.setSamples(section(0.0), 10, 7);
    dlg.startGridding();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isRunning(), 30000);
    QFile::remove("4_out.grd");
    QVERIFY(QMetaObject::invokeMethod(&dlg, "handleResults"));
    QCOMPARE(fileLines("4_out.grd").size(), 12);
    QVERIFY(QMetaObject::invokeMethod(&dlg, "on_pushButton_Cancle_clicked"));
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(QMetaObject::invokeMethod(&dlg, "on_pushButton_OK_clicked"));
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestDialog3DInvProgress)
#include "tst_3dinvprogress.moc"
