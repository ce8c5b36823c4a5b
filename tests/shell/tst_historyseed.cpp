#include "shell/MainWindow.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "model/SharedTypes.h"
#include "model/UserPrompt.h"

// scripts/run.sh seeds the program's history file on a first run so that the
// first open dialog starts in the demo project's folder.
class TestHistorySeed : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstOpenStartsInSeededFolder_data();
    void firstOpenStartsInSeededFolder();
    void existingHistoryKept();

private:
    static int seed(const QString& ini, const QString& project);
};

int TestHistorySeed::seed(const QString& ini, const QString& project)
{
    return QProcess::execute(QStringLiteral("bash"),
                             {QStringLiteral(HW_SCRIPTS_DIR "/seed-history.sh"), ini, project});
}

void TestHistorySeed::initTestCase()
{
    registerSharedTypes();
}

void TestHistorySeed::firstOpenStartsInSeededFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << QStringLiteral("demo");
    // Characters the INI format would split, quote, trim or re-encode; a hex
    // digit right after a non-ASCII character.
    QTest::newRow("awkward") << QStringLiteral(" 演示,工程; a=\"b\"#1\\ 数据e1 ");
}

void TestHistorySeed::firstOpenStartsInSeededFolder()
{
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(folder));
    const QString project = dir.path() + QLatin1Char('/') + folder + QStringLiteral("/demo.QELVA");
    QFile file(project);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("bin")));
    const QString bin = dir.filePath(QStringLiteral("bin"));
    QCOMPARE(seed(bin + QStringLiteral("/history.ini"), project), 0);
    QSettings history(bin + QStringLiteral("/history.ini"), QSettings::IniFormat);
    QCOMPARE(history.value(QStringLiteral("historypath")).toString(), project);

    // The program keeps history.ini in its working folder.
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(bin);
    QString startFolder;
    UserPrompt::setFileAnswerer([&](UserPrompt::FileDialogKind, const QString&, const QString& dir,
                                    const QString&) {
        startFolder = dir;
        return QString();
    });
    {
        MainWindow window(nullptr);
        window.on_actionOpen_triggered();
    }
    UserPrompt::setFileAnswerer(nullptr);
    QDir::setCurrent(oldCwd);
    QCOMPARE(startFolder, QFileInfo(project).path());
}

void TestHistorySeed::existingHistoryKept()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath(QStringLiteral("history.ini"));
    {
        QSettings history(ini, QSettings::IniFormat);
        history.setValue(QStringLiteral("historypath"), QStringLiteral("/data/line7.QELVA"));
    }
    QCOMPARE(seed(ini, dir.filePath(QStringLiteral("demo.QELVA"))), 0);
    QSettings history(ini, QSettings::IniFormat);
    QCOMPARE(history.value(QStringLiteral("historypath")).toString(), QStringLiteral("/data/line7.QELVA"));
}

QTEST_MAIN(TestHistorySeed)
#include "tst_historyseed.moc"
