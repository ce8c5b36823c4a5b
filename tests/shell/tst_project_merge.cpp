#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include <sqlite3.h>

#include "model/DataModel.h"
#include "model/UserPrompt.h"
#include "shell/Dialog_MergeData.h"
#include "store/CurveBlob.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/Data_Project.h"
#include "store/Data_Sample.h"
#include "store/Data_WorkSet.h"
#include "store/LibHORM.h"
#include "store/StoreFixture.h"
#include "tools/projectgen/ProjectGenerator.h"

using LineSpec = QList<QPair<double, int> >; // line number, station count
using Rows = QList<QVariantMap>;
Q_DECLARE_METATYPE(LineSpec)

namespace {

// Rows of a query on a file, through a connection of the test's own.
Rows query(const QString& path, const QString& sql)
{
    static int serial = 0;
    const QString name = QStringLiteral("merge-reader-%1").arg(++serial);
    Rows rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql)) {
                while (q.next()) {
                    QVariantMap row;
                    const QSqlRecord r = q.record();
                    for (int i = 0; i < r.count(); ++i)
                        row.insert(r.fieldName(i), r.value(i));
                    rows.append(row);
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

void registerAll(LibHORM& lib)
{
    lib.RegisterObject(Data_Project::staticMetaObject);
    lib.RegisterObject(Data_Line::staticMetaObject);
    lib.RegisterObject(Data_Point::staticMetaObject);
    lib.RegisterObject(Data_Sample::staticMetaObject);
    lib.RegisterObject(Data_WorkSet::staticMetaObject);
}

// A small project: the given lines, each station with one sample; station
// k of a line is numbered 10 * (k + 1) + the line's number.
bool makeProject(const QString& path, const LineSpec& spec, int isSampled = 0)
{
    LibHORM lib;
    if (!lib.open(path))
        return false;
    registerAll(lib);
    HORM_Collection<Data_Line> lines(&lib);
    lib.transaction();
    for (const auto& l : spec) {
        Data_Line* line = lines.addNew().value();
        line->setNAME(l.first);
        line->setUSE(1);
        line->setNOTE(QStringLiteral("line %1").arg(l.first));
        line->commit();
        HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
        for (int k = 0; k < l.second; ++k) {
            Data_Point* p = stations->addNew().value();
            p->setNAME(10.0 * (k + 1) + l.first);
            p->setUSE(1);
            p->setIsSampled(isSampled);
            p->setXCoord(k);
            p->setDATA_RECV_QV18(CurveBlob::toBlob({1.0, 2.0}));
            p->setDATA_TIMERECV_QV18(CurveBlob::toBlob({10.0, 20.0}));
            p->setDATA_RECV_QV18RAW(CurveBlob::toBlob({1.5, 2.5}));
            p->commit();
            Data_Sample* s = p->REF_Data_Sample()->addNew().value();
            s->setStartTime(1000 + k);
            s->setDeviceType(2);
            s->setUSE(1);
            s->setDATA_RECV(CurveBlob::toBlob({0.5, 0.25, 0.125}));
            s->setDATA_SEND(QByteArray("send"));
            s->setDATA_SOFF(QByteArray("soff"));
            s->commit();
        }
    }
    lib.commit();
    return true;
}

QString stationKey(const QVariantMap& row)
{
    return QStringLiteral("%1/%2").arg(row.value("LINE").toDouble()).arg(row.value("NAME").toDouble());
}

// A trigger that makes the file refuse the event on the table (when the
// condition holds), as a file refuses what it cannot take.
QString refusal(const QString& event, const QString& table, const QString& when = QString())
{
    return QStringLiteral("CREATE TRIGGER refuse BEFORE %1 ON %2 %3 BEGIN SELECT RAISE(ABORT, 'refused'); END")
        .arg(event, table, when.isEmpty() ? QString() : QStringLiteral("WHEN ") + when);
}

// Counts the times the connection would wait for another program's lock,
// and lets it wait not at all.
int countWait(void* waits, int)
{
    ++*static_cast<int*>(waits);
    return 0;
}

bool countWaits(LibHORM* lib, int* waits)
{
    const QVariant handle = lib && lib->database() ? lib->database()->driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* db = *static_cast<sqlite3* const*>(handle.constData());
    return db && sqlite3_busy_handler(db, &countWait, waits) == SQLITE_OK;
}

// Statements that copy a table without its primary key and give its first
// two rows one key.
QStringList sharedKeys(const QString& table)
{
    return {QStringLiteral("ALTER TABLE %1 RENAME TO old").arg(table),
            QStringLiteral("CREATE TABLE %1 AS SELECT * FROM old").arg(table), QStringLiteral("DROP TABLE old"),
            QStringLiteral("UPDATE %1 SET ID = 1 WHERE ID = 2").arg(table)};
}

const QString kNothingToMerge = QStringLiteral("合并数据库|没有可合并的数据：未读取合并文件B，文件A保持原样。");

const char* const kStationSql =
    "SELECT p.*, l.NAME AS LINE FROM Data_Point p JOIN Data_Line l ON p.Data_LineID = l.ID ORDER BY p.ID";
const char* const kSampleSql =
    "SELECT s.*, p.NAME AS STATION, l.NAME AS LINE FROM Data_Sample s JOIN Data_Point p ON s.Data_PointID = p.ID "
    "JOIN Data_Line l ON p.Data_LineID = l.ID ORDER BY s.ID";

} // namespace

// Merging project B into project A through the merge dialog.
class TestProjectMerge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mergesGeneratedProjects();
    void lineMatching_data();
    void lineMatching();
    void unsampledStationKeepsEmptyCurves();
    void mergeWithoutFileB();
    void mergeWithoutFileA();
    void fileThatIsNoDatabase();
    void targetOpenElsewhere();
    void targetInUseWhenChosen_data();
    void targetInUseWhenChosen();
    void damagedTargetRestoredFromJournal();
    void failedCommitWritesNothing();
    void targetReadThroughoutIsWaitedForOnce();
    void unwritableTarget_data();
    void unwritableTarget();
    void olderFilesWithoutWorkSetTableMerge();
    void sourceIsOnlyRead_data();
    void sourceIsOnlyRead();
    void refusedSource_data();
    void refusedSource();
    void renderDialog();

private:
    // Chooses A and B through the buttons and merges; the message shown.
    // beforeMerge runs once both files are chosen.
    QString runMerge(Dialog_MergeData& dialog, const QString& a, const QString& b,
                     const std::function<void()>& beforeMerge = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_files;
    QStringList m_messages;
};

void TestProjectMerge::initTestCase()
{
    registerSharedTypes();
}

void TestProjectMerge::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_files.clear();
    m_messages.clear();
    UserPrompt::setFileAnswerer([this](UserPrompt::FileDialogKind kind, const QString& caption, const QString& dir,
                                       const QString& filter) {
        if (kind != UserPrompt::OpenFile || caption != QStringLiteral("打开QELVA文件") || dir != QStringLiteral(" ")
            || filter != QStringLiteral("QELVA文件(*.QELVA *.MORSA)"))
            return QString();
        return m_files.isEmpty() ? QString() : m_files.takeFirst();
    });
    UserPrompt::setTitledMessageAnswerer(
        [this](const QString& title, const QString& text) { m_messages << title + "|" + text; });
}

void TestProjectMerge::cleanup()
{
    UserPrompt::setFileAnswerer(nullptr);
    UserPrompt::setTitledMessageAnswerer(nullptr);
    m_dir.reset();
}

QString TestProjectMerge::runMerge(Dialog_MergeData& dialog, const QString& a, const QString& b,
                                   const std::function<void()>& beforeMerge)
{
    m_files = QStringList{a, b};
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton_OpenA"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton_OpenB"), Qt::LeftButton);
    if (beforeMerge)
        beforeMerge();
    m_messages.clear();
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    return m_messages.join("\n");
}

void TestProjectMerge::mergesGeneratedProjects()
{
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 3;
    o.samplesPerStation = 2;
    o.sampleLength = 300;
    const QString a = m_dir->filePath("a.QELVA");
    const QString b = m_dir->filePath("b.QELVA");
    QString error;
    QVERIFY2(ProjectGenerator(o).write(a, &error), qPrintable(error));
    o.firstLine = 110.0;
    o.stationsPerLine = 2;
    o.firstStation = 5.0;
    QVERIFY2(ProjectGenerator(o).write(b, &error), qPrintable(error));

    // B is gated once, so its stations carry curves to copy.
    {
        DataModel model;
        LibHORM lib;
        QVERIFY(lib.open(b));
        model.setFileSuffix("QELVA");
        model.loadProject(&lib);
        model.closeProject();
    }
    const Rows bStations = query(b, kStationSql);
    const Rows bSamples = query(b, kSampleSql);
    QCOMPARE(bStations.size(), 4);
    QVERIFY(bStations.first().value("IsSampled").toInt() > 0);
    QVERIFY(!bStations.first().value("DATA_RECV_LOG20").toByteArray().isEmpty());

    const Rows aLinesBefore = query(a, "SELECT * FROM Data_Line ORDER BY ID");
    const Rows aStationsBefore = query(a, kStationSql);
    const Rows aSamplesBefore = query(a, "SELECT * FROM Data_Sample ORDER BY ID");

    Dialog_MergeData dialog;
    auto* ok = dialog.findChild<QPushButton*>("pushButton_OK");
    auto* merge = dialog.findChild<QPushButton*>("pushButton");
    QVERIFY(!ok->isEnabled());
    QCOMPARE(runMerge(dialog, a, b), QStringLiteral("合并数据库|合并数据库成功"));
    QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit")->text(), a);
    QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit_2")->text(), b);
    QVERIFY(ok->isEnabled());
    QVERIFY(!merge->isEnabled());
    dialog.show();
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.isFileAOpen());

    // Nothing that was in A changed.
    const Rows aLines = query(a, "SELECT * FROM Data_Line ORDER BY ID");
    const Rows aStations = query(a, kStationSql);
    const Rows aSamples = query(a, "SELECT * FROM Data_Sample ORDER BY ID");
    for (int i = 0; i < aLinesBefore.size(); ++i)
        QCOMPARE(aLines.at(i), aLinesBefore.at(i));
    for (int i = 0; i < aStationsBefore.size(); ++i)
        QCOMPARE(aStations.at(i), aStationsBefore.at(i));
    for (int i = 0; i < aSamplesBefore.size(); ++i)
        QCOMPARE(aSamples.at(i), aSamplesBefore.at(i));

    // Line 110 took B's stations, line 120 is new; 100 is as it was.
    QCOMPARE(aLines.size(), 3);
    QCOMPARE(aLines.at(2).value("NAME").toDouble(), 120.0);
    QCOMPARE(aLines.at(2).value("USE").toInt(), 1);
    QCOMPARE(query(a, "SELECT ID FROM Data_Point WHERE Data_LineID = " + aLines.at(1).value("ID").toString()).size(),
             3 + 2);
    QCOMPARE(aStations.size(), aStationsBefore.size() + bStations.size());
    QCOMPARE(aSamples.size(), aSamplesBefore.size() + bSamples.size());

    // Every B station arrived with its columns and curves.
    const QStringList copied{"NAME", "USE", "TYPE", "NOTE", "IsSampled", "XCoord", "YCoord", "ZCoord", "HasZCoord",
                             "DATA_RECV_QV18", "DATA_RECV_QV18RAW", "DATA_TIMERECV_QV18", "DATA_RECV_LOG10",
                             "DATA_RECV_LOG10RAW", "DATA_TIMERECV_LOG10", "DATA_RECV_LOG20", "DATA_RECV_LOG20RAW",
                             "DATA_TIMERECV_LOG20"};
    for (int i = 0; i < bStations.size(); ++i) {
        const QVariantMap& want = bStations.at(i);
        const QVariantMap& got = aStations.at(aStationsBefore.size() + i);
        QCOMPARE(stationKey(got), stationKey(want));
        for (const QString& column : copied)
            QVERIFY2(got.value(column) == want.value(column), qPrintable(column));
    }
    const QStringList sampleColumns{"StartTime", "DeviceType", "TYPE", "PERIOD", "SendFs", "RecvFs",
                                    "SampleSendFs", "SampleOffFs", "USE", "NOTE", "DATA_SEND", "DATA_SOFF",
                                    "DATA_RECV"};
    const Rows aSampleRows = query(a, kSampleSql);
    for (int i = 0; i < bSamples.size(); ++i) {
        const QVariantMap& want = bSamples.at(i);
        const QVariantMap& got = aSampleRows.at(aSamplesBefore.size() + i);
        QCOMPARE(got.value("LINE"), want.value("LINE"));
        QCOMPARE(got.value("STATION"), want.value("STATION"));
        for (const QString& column : sampleColumns)
            QVERIFY2(got.value(column) == want.value(column), qPrintable(column));
        QVERIFY(!got.value("DATA_SEND").toByteArray().isEmpty());
    }

    // B itself is unchanged by being read.
    QCOMPARE(query(b, kStationSql), bStations);
}

void TestProjectMerge::lineMatching_data()
{
    QTest::addColumn<LineSpec>("a");
    QTest::addColumn<LineSpec>("b");
    QTest::addColumn<LineSpec>("expected");

    QTest::newRow("whole part of A's number matches") << LineSpec{{3.7, 1}} << LineSpec{{3.0, 2}} << LineSpec{{3.7, 3}};
    QTest::newRow("fraction in B creates a line") << LineSpec{{3.7, 1}} << LineSpec{{3.5, 2}}
                                                  << LineSpec{{3.7, 1}, {3.5, 2}};
    QTest::newRow("last of equal A lines") << LineSpec{{3, 1}, {3, 1}} << LineSpec{{3, 2}}
                                           << LineSpec{{3, 1}, {3, 3}};
    QTest::newRow("empty B line, number new") << LineSpec{{1, 1}} << LineSpec{{2, 0}} << LineSpec{{1, 1}, {2, 0}};
    QTest::newRow("empty B line, number known") << LineSpec{{1, 1}} << LineSpec{{1, 0}} << LineSpec{{1, 1}};
    QTest::newRow("two B lines of one number") << LineSpec{} << LineSpec{{5, 1}, {5, 2}} << LineSpec{{5, 3}};
    QTest::newRow("same station numbers twice") << LineSpec{{7, 2}} << LineSpec{{7, 2}} << LineSpec{{7, 4}};
}

void TestProjectMerge::lineMatching()
{
    QFETCH(LineSpec, a);
    QFETCH(LineSpec, b);
    QFETCH(LineSpec, expected);
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, a));
    QVERIFY(makeProject(fileB, b));

    Dialog_MergeData dialog;
    QCOMPARE(runMerge(dialog, fileA, fileB), QStringLiteral("合并数据库|合并数据库成功"));
    const Rows lines = query(fileA, "SELECT ID, NAME FROM Data_Line ORDER BY ID");
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(lines.at(i).value("NAME").toDouble(), expected.at(i).first);
        const Rows stations =
            query(fileA, "SELECT ID FROM Data_Point WHERE Data_LineID = " + lines.at(i).value("ID").toString());
        QCOMPARE(stations.size(), expected.at(i).second);
    }
    // Every station keeps its one sample.
    QCOMPARE(query(fileA, "SELECT ID FROM Data_Sample").size(), query(fileA, "SELECT ID FROM Data_Point").size());
}

void TestProjectMerge::unsampledStationKeepsEmptyCurves()
{
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}, 1));
    QVERIFY(makeProject(fileB, LineSpec{{2, 1}}, 0));
    Dialog_MergeData dialog;
    runMerge(dialog, fileA, fileB);
    const Rows stations = query(fileA, kStationSql);
    QCOMPARE(stations.size(), 2);
    // A's sampled station keeps its curves; B's unsampled one arrives without.
    QCOMPARE(CurveBlob::fromBlob(stations.at(0).value("DATA_RECV_QV18").toByteArray()), QVector<double>({1.0, 2.0}));
    QVERIFY(stations.at(1).value("DATA_RECV_QV18").toByteArray().isEmpty());
    QCOMPARE(stations.at(1).value("IsSampled").toInt(), 0);
    const Rows samples = query(fileA, kSampleSql);
    QCOMPARE(samples.size(), 2);
    QCOMPARE(samples.at(1).value("LINE").toDouble(), 2.0);
    QCOMPARE(CurveBlob::fromBlob(samples.at(1).value("DATA_RECV").toByteArray()),
             QVector<double>({0.5, 0.25, 0.125}));
    QCOMPARE(samples.at(1).value("DATA_SOFF").toByteArray(), QByteArray("soff"));
}

void TestProjectMerge::mergeWithoutFileB()
{
    const QString fileA = m_dir->filePath("a.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 2}}));
    const QByteArray before = storetest::fileBytes(fileA);
    Dialog_MergeData dialog;
    // B's choice cancelled: nothing read, nothing to merge.
    QCOMPARE(runMerge(dialog, fileA, QString()), kNothingToMerge);
    QVERIFY(dialog.findChild<QLineEdit*>("lineEdit_2")->text().isEmpty());
    QCOMPARE(storetest::fileBytes(fileA), before);
    QVERIFY(dialog.findChild<QPushButton*>("pushButton")->isEnabled());
    QVERIFY(!dialog.findChild<QPushButton*>("pushButton_OK")->isEnabled());
}

void TestProjectMerge::mergeWithoutFileA()
{
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileB, LineSpec{{1, 2}}));
    Dialog_MergeData dialog;
    const QString message = runMerge(dialog, QString(), fileB);
    QVERIFY(!message.contains(QStringLiteral("合并数据库成功")));
    QVERIFY(!message.isEmpty());
    QVERIFY(!dialog.isFileAOpen());
    QCOMPARE(dialog.linesOfB().size(), 1);
    QCOMPARE(dialog.stationsOfB().at(0).size(), 2);
    QCOMPARE(dialog.samplesOfB().at(0).at(1).size(), 1);
    QVERIFY(dialog.findChild<QPushButton*>("pushButton")->isEnabled());
    QVERIFY(!dialog.findChild<QPushButton*>("pushButton_OK")->isEnabled());
    // "取消" only closes.
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton_No"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

void TestProjectMerge::fileThatIsNoDatabase()
{
    const QString text = m_dir->filePath("text.QELVA");
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("this is not a database, only some text that fills a page of bytes\n");
    f.close();
    Dialog_MergeData dialog;
    QVERIFY(!dialog.openFileA(text));
    QVERIFY(!dialog.isFileAOpen());
    QVERIFY(dialog.findChild<QLineEdit*>("lineEdit")->text().isEmpty());
    QVERIFY(!dialog.readFileB(text));
    QVERIFY(dialog.findChild<QLineEdit*>("lineEdit_2")->text().isEmpty());
    QFile check(text);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QVERIFY(check.readAll().startsWith("this is not a database"));

    // Choosing such a file after a good A leaves that A open, as its path
    // field still shows, and the merge goes into it.
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}));
    QVERIFY(makeProject(fileB, LineSpec{{2, 1}}));
    m_files = QStringList{fileA, text};
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton_OpenA"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton_OpenA"), Qt::LeftButton);
    QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit")->text(), fileA);
    QVERIFY(dialog.isFileAOpen());
    QVERIFY(dialog.readFileB(fileB));
    m_messages.clear();
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QCOMPARE(m_messages, QStringList{"合并数据库|合并数据库成功"});
    QCOMPARE(query(fileA, "SELECT NAME FROM Data_Line ORDER BY ID").size(), 2);
}

void TestProjectMerge::targetOpenElsewhere()
{
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}));
    QVERIFY(makeProject(fileB, LineSpec{{1, 1}, {2, 1}}));
    // The main window may hold A open on its own connection.
    LibHORM open;
    QVERIFY(open.open(fileA));
    Dialog_MergeData dialog;
    registerAll(open);
    QCOMPARE(runMerge(dialog, fileA, fileB), QStringLiteral("合并数据库|合并数据库成功"));
    HORM_Collection<Data_Line> lines(&open);
    QCOMPARE(lines.size(), 2);
    Data_Line* first = lines.at(0).value();
    QVERIFY(first);
    QCOMPARE(first->REF_Data_Point()->size(), 2);
}

void TestProjectMerge::targetInUseWhenChosen_data()
{
    // obstacle: "writer" (another program writes to A when it is chosen) or
    // "reader of an older file" (A lacks a column the dialog would add,
    // and another program reads A).
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<bool>("earlierA");
    QTest::newRow("written by another program") << "writer" << false;
    QTest::newRow("written by another program, after a sound A") << "writer" << true;
    QTest::newRow("older file read by another program") << "reader of an older file" << false;
}

// An A that another program keeps from being opened is refused with the
// reason, naming it; an A chosen before stays the one merged into. Once
// the program lets go, the same file is chosen and merged into.
void TestProjectMerge::targetInUseWhenChosen()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, earlierA);
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString sound = m_dir->filePath("sound.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}));
    QVERIFY(makeProject(sound, LineSpec{{7, 1}}));
    QVERIFY(makeProject(fileB, LineSpec{{2, 1}}));
    if (obstacle == "reader of an older file")
        QVERIFY(storetest::RawDb(fileA).exec("ALTER TABLE Data_Point DROP COLUMN HasZCoord"));
    storetest::RawDb other(fileA);
    QVERIFY(obstacle == "writer" ? other.holdWriteLock() : other.holdReadLock());
    const QByteArray before = storetest::fileBytes(fileA);

    Dialog_MergeData dialog;
    if (earlierA)
        QVERIFY(dialog.openFileA(sound));
    m_files = QStringList{fileA};
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton_OpenA"), Qt::LeftButton);
    QCOMPARE(m_messages, QStringList{QStringLiteral("合并数据库|文件A %1 正被其他程序使用，未能打开，不能用于合并。")
                                         .arg(QDir::toNativeSeparators(fileA))});
    QCOMPARE(dialog.isFileAOpen(), earlierA);
    QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit")->text(), earlierA ? sound : QString());
    other.release();
    QCOMPARE(storetest::fileBytes(fileA), before);

    m_messages.clear();
    QCOMPARE(runMerge(dialog, fileA, fileB), QStringLiteral("合并数据库|合并数据库成功"));
    QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit")->text(), fileA);
    QCOMPARE(query(fileA, "SELECT ID FROM Data_Line").size(), 2);
    if (earlierA)
        QCOMPARE(query(sound, "SELECT ID FROM Data_Line").size(), 1);
}

// A damaged A whose open rolled back a write that was cut off: the open
// has rewritten A, and the refusal says so, as opening it as the project
// does.
void TestProjectMerge::damagedTargetRestoredFromJournal()
{
    const QString original = m_dir->filePath("original.QELVA");
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(original, LineSpec{{1, 1}}));
    QVERIFY(makeProject(fileB, LineSpec{{2, 1}}));
    // Damaged as the project's tables show it: no line table.
    QVERIFY(storetest::RawDb(original).exec("DROP TABLE Data_Line"));
    QVERIFY(storetest::cutOffWrite(original, fileA));
    const QStringList contents = storetest::RawDb(original).contents();

    Dialog_MergeData dialog;
    QCOMPARE(runMerge(dialog, fileA, fileB),
             QStringLiteral("合并数据库|合并数据库失败：文件A %1 已损坏。打开时已按其日志文件撤销了上次中断的写入，"
                            "该文件因此已被改写；此后以只读方式打开，未合并任何数据。")
                 .arg(QDir::toNativeSeparators(fileA)));
    // Restored to what it held before the write.
    QCOMPARE(storetest::RawDb(fileA).contents(), contents);
}

void TestProjectMerge::failedCommitWritesNothing()
{
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}));
    QVERIFY(makeProject(fileB, LineSpec{{1, 2}, {2, 1}}));
    const Rows linesBefore = query(fileA, "SELECT * FROM Data_Line ORDER BY ID");
    const Rows stationsBefore = query(fileA, kStationSql);
    const Rows samplesBefore = query(fileA, "SELECT * FROM Data_Sample ORDER BY ID");

    Dialog_MergeData dialog;
    m_files = QStringList{fileA, fileB};
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton_OpenA"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton_OpenB"), Qt::LeftButton);
    QString message;
    {
        // A reader keeps A locked, so the merge cannot commit: as one
        // transaction, none of it may reach A.
        QSqlDatabase reader = QSqlDatabase::addDatabase("QSQLITE", "merge-lock");
        reader.setDatabaseName(fileA);
        reader.setConnectOptions("QSQLITE_BUSY_TIMEOUT=0");
        QVERIFY(reader.open());
        QVERIFY(reader.transaction());
        QSqlQuery hold(reader);
        QVERIFY(hold.exec("SELECT * FROM Data_Line"));
        QVERIFY(hold.next());
        m_messages.clear();
        QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton"), Qt::LeftButton);
        message = m_messages.join("\n");
        hold.finish();
        reader.rollback();
        reader.close();
    }
    QSqlDatabase::removeDatabase("merge-lock");
    QCOMPARE(message, QStringLiteral("合并数据库|合并数据库失败：无法写入文件A %1，本次合并已撤销，文件A保持原样。")
                          .arg(QDir::toNativeSeparators(fileA)));
    QCOMPARE(query(fileA, "SELECT * FROM Data_Line ORDER BY ID"), linesBefore);
    QCOMPARE(query(fileA, kStationSql), stationsBefore);
    QCOMPARE(query(fileA, "SELECT * FROM Data_Sample ORDER BY ID"), samplesBefore);
    // Not merged: the merge may be tried again, and then succeeds.
    QVERIFY(dialog.findChild<QPushButton*>("pushButton")->isEnabled());
    QVERIFY(!dialog.findChild<QPushButton*>("pushButton_OK")->isEnabled());
    m_messages.clear();
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QCOMPARE(m_messages, QStringList{"合并数据库|合并数据库成功"});
    QCOMPARE(query(fileA, kStationSql).size(), stationsBefore.size() + 3);
    QCOMPARE(query(fileA, "SELECT ID FROM Data_Line").size(), 2);
}

// Another program reads A for the whole of a merge too large to be held in
// the connection's page cache: the merge asks for A once, at its start, and
// is refused then, instead of waiting at every page it has to write out.
void TestProjectMerge::targetReadThroughoutIsWaitedForOnce()
{
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}));
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 4;
    o.samplesPerStation = 2;
    o.sampleLength = 2000;
    QString error;
    QVERIFY2(ProjectGenerator(o).write(fileB, &error), qPrintable(error));
    storetest::RawDb reader(fileA);
    QVERIFY(reader.holdReadLock());
    const QByteArray before = storetest::fileBytes(fileA);

    Dialog_MergeData dialog;
    int waits = 0;
    const QString message = runMerge(dialog, fileA, fileB, [&] {
        LibHORM* lib = dialog.findChild<LibHORM*>();
        QVERIFY(lib);
        // A few pages of B fill the cache.
        QSqlQuery small(*lib->database());
        QVERIFY(small.exec("PRAGMA cache_size = 10"));
        QVERIFY(countWaits(lib, &waits));
    });
    QCOMPARE(message, QStringLiteral("合并数据库|合并数据库失败：无法写入文件A %1，本次合并已撤销，文件A保持原样。")
                          .arg(QDir::toNativeSeparators(fileA)));
    QCOMPARE(waits, 1);
    reader.release();
    QCOMPARE(storetest::fileBytes(fileA), before);

    // Once the reader is gone the same merge goes through whole.
    m_messages.clear();
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QCOMPARE(m_messages, QStringList{"合并数据库|合并数据库成功"});
    QCOMPARE(query(fileA, "SELECT ID FROM Data_Sample").size(), 1 + 2 * 4 * 2);
}

void TestProjectMerge::unwritableTarget_data()
{
    // How A refuses the merge: "damaged" (also "no line table", "keys
    // repeat" and "replaces": a station table that replaces rows on
    // conflict), "writer" (another connection is writing to A), "reader"
    // (another connection keeps the commit from finishing), "trigger" (A refuses the rows the given trigger names; it
    // is made once A is open, as a file with triggers opens read-only) or
    // "trigger at open".
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("trigger");

    QTest::newRow("damaged target") << "damaged" << QString();
    QTest::newRow("target without its line table") << "no line table" << QString();
    QTest::newRow("target's station keys repeat") << "keys repeat" << QString();
    // B's station 11 of line 1 would replace A's, samples and all.
    QTest::newRow("target's stations replaced on conflict") << "replaces" << QString();
    // It would delete every sample the merge adds.
    QTest::newRow("target with a trigger")
        << "trigger at open"
        << "CREATE TRIGGER gone AFTER INSERT ON Data_Sample BEGIN DELETE FROM Data_Sample WHERE ID = NEW.ID; END";
    QTest::newRow("another program writes to the target") << "writer" << QString();
    QTest::newRow("a reader keeps the commit from finishing") << "reader" << QString();
    QTest::newRow("new line refused") << "trigger" << refusal("INSERT", "Data_Line");
    QTest::newRow("new line's fields refused") << "trigger" << refusal("UPDATE", "Data_Line");
    // A holds one station and one sample; B's second station and its last
    // sample come after rows that were already written.
    QTest::newRow("second station refused")
        << "trigger" << refusal("INSERT", "Data_Point", "(SELECT COUNT(*) FROM Data_Point) >= 2");
    QTest::newRow("station's fields refused") << "trigger" << refusal("UPDATE", "Data_Point");
    QTest::newRow("last sample refused")
        << "trigger" << refusal("INSERT", "Data_Sample", "(SELECT COUNT(*) FROM Data_Sample) >= 3");
    QTest::newRow("second sample's fields refused")
        << "trigger" << refusal("UPDATE", "Data_Sample", "NEW.StartTime = 1001");
}

// Whatever keeps A from taking a row, the merge fails as a whole, says so
// naming A, and A keeps every byte it had. Once the obstacle is gone, the
// same dialog merges B whole, and only once.
void TestProjectMerge::unwritableTarget()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, trigger);
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}));
    QVERIFY(makeProject(fileB, LineSpec{{1, 2}, {2, 1}}));
    if (obstacle == "damaged")
        QVERIFY(storetest::shortenPageCount(fileA, 2));
    if (obstacle == "no line table") {
        storetest::RawDb raw(fileA);
        QVERIFY(raw.exec("DROP TABLE Data_Line"));
    }
    if (obstacle == "keys repeat") {
        storetest::RawDb raw(fileA);
        QVERIFY(raw.exec("INSERT INTO Data_Point (ID, NAME, USE, Data_LineID) VALUES (2, 21, 1, 1)"));
        for (const QString& sql : sharedKeys("Data_Point"))
            QVERIFY(raw.exec(sql));
    }
    if (obstacle == "replaces") {
        storetest::RawDb raw(fileA);
        const QString declared = LibHORM::createTableStatements(Data_Point::staticMetaObject)
                                     .first()
                                     .replace(");", ", UNIQUE (Data_LineID, NAME) ON CONFLICT REPLACE);");
        for (const QString& sql : {QStringLiteral("ALTER TABLE Data_Point RENAME TO old"), declared,
                                   QStringLiteral("INSERT INTO Data_Point SELECT * FROM old"),
                                   QStringLiteral("DROP TABLE old")})
            QVERIFY(raw.exec(sql));
    }
    if (obstacle == "trigger at open")
        QVERIFY(storetest::RawDb(fileA).exec(trigger));
    std::unique_ptr<storetest::RawDb> other;
    if (obstacle == "writer" || obstacle == "reader") {
        other.reset(new storetest::RawDb(fileA));
        QVERIFY(obstacle == "writer" ? other->exec("BEGIN IMMEDIATE") : other->holdReadLock());
    }
    QByteArray before = storetest::fileBytes(fileA);

    const QString file = QDir::toNativeSeparators(fileA);
    const bool damaged = obstacle == "damaged" || obstacle == "no line table" || obstacle == "keys repeat"
                         || obstacle == "replaces";
    const bool readOnly = damaged || obstacle == "trigger at open";
    const QString expected = damaged
        ? QStringLiteral("合并数据库失败：文件A %1 已损坏，已以只读方式打开，未合并任何数据。").arg(file)
        : obstacle == "trigger at open"
        ? QStringLiteral("合并数据库失败：文件A %1 的数据表带有触发器 gone（不是本程序创建的），写入时触发器可能改动或删除"
                         "其中的数据，已以只读方式打开，未合并任何数据。").arg(file)
        : QStringLiteral("合并数据库失败：无法写入文件A %1，本次合并已撤销，文件A保持原样。").arg(file);
    Dialog_MergeData dialog;
    bool triggerMade = obstacle != "trigger";
    const QString message = runMerge(dialog, fileA, fileB, [&] {
        // The lock is held for the whole merge: no use waiting for it.
        if (auto* lib = dialog.findChild<LibHORM*>())
            lib->setBusyTimeout(0);
        if (obstacle == "trigger") {
            triggerMade = storetest::RawDb(fileA).exec(trigger);
            before = storetest::fileBytes(fileA);
        }
    });
    QVERIFY(triggerMade);
    QCOMPARE(message, QStringLiteral("合并数据库|") + expected);
    // Not merged: the merge may be tried again.
    QVERIFY(dialog.findChild<QPushButton*>("pushButton")->isEnabled());
    QVERIFY(!dialog.findChild<QPushButton*>("pushButton_OK")->isEnabled());
    if (other)
        other->release();
    other.reset();
    QCOMPARE(storetest::fileBytes(fileA), before);
    if (readOnly)
        return;

    if (obstacle == "trigger")
        QVERIFY(storetest::RawDb(fileA).exec("DROP TRIGGER refuse"));
    m_messages.clear();
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QCOMPARE(m_messages, QStringList{"合并数据库|合并数据库成功"});
    const Rows lines = query(fileA, "SELECT NAME FROM Data_Line ORDER BY ID");
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(1).value("NAME").toDouble(), 2.0);
    QStringList stations;
    for (const QVariantMap& row : query(fileA, kStationSql))
        stations << stationKey(row);
    QCOMPARE(stations, (QStringList{"1/11", "1/11", "1/21", "2/12"}));
    QCOMPARE(query(fileA, "SELECT ID FROM Data_Sample").size(), 4);
}

// Older projects lack the work set table, which the merge neither reads nor
// writes: neither A nor B is damaged for it.
void TestProjectMerge::olderFilesWithoutWorkSetTableMerge()
{
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}));
    QVERIFY(makeProject(fileB, LineSpec{{1, 2}, {2, 1}}));
    QVERIFY(storetest::RawDb(fileA).exec("DROP TABLE Data_WorkSet"));
    QVERIFY(storetest::RawDb(fileB).exec("DROP TABLE Data_WorkSet"));
    const QByteArray bytesOfB = storetest::fileBytes(fileB);

    Dialog_MergeData dialog;
    QCOMPARE(runMerge(dialog, fileA, fileB), QStringLiteral("合并数据库|合并数据库成功"));
    QCOMPARE(query(fileA, kStationSql).size(), 4);
    QCOMPARE(query(fileA, "SELECT name FROM pragma_table_info('Data_WorkSet')").value(0).value("name").toString(),
             QStringLiteral("ID"));
    QCOMPARE(storetest::fileBytes(fileB), bytesOfB);
}

void TestProjectMerge::sourceIsOnlyRead_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("sound file") << QString();
    // NULL is what the old rows of an added column hold: it reads as the
    // column's default.
    QTest::newRow("NULLs in a sample's fields and blob")
        << "UPDATE Data_Sample SET SendFs = NULL, NOTE = NULL, DATA_SEND = NULL WHERE ID = 1";
    QTest::newRow("text in a line column the merge does not copy") << "UPDATE Data_Line SET TYPE = 'abc'";
    QTest::newRow("text for the positions of samples that have none")
        << "UPDATE Data_Sample SET DATA_RECV_POS = 'abc'";
    QTest::newRow("older file without a station column") << "ALTER TABLE Data_Point DROP COLUMN HasZCoord";
    QTest::newRow("older file without the samples' device type")
        << "ALTER TABLE Data_Sample DROP COLUMN DeviceType";
    // B's triggers never run: nothing is written to B.
    QTest::newRow("trigger on the samples")
        << "CREATE TRIGGER gone AFTER INSERT ON Data_Sample BEGIN DELETE FROM Data_Sample WHERE ID = NEW.ID; END";
}

// Reading B for a merge writes nothing to it, whatever its rows hold; what
// the merge reads of them it can read as it stands.
void TestProjectMerge::sourceIsOnlyRead()
{
    QFETCH(QString, change);
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}));
    QVERIFY(makeProject(fileB, LineSpec{{1, 2}, {2, 1}}, 1));
    if (!change.isEmpty())
        QVERIFY(storetest::RawDb(fileB).exec(change));
    const QByteArray before = storetest::fileBytes(fileB);

    Dialog_MergeData dialog;
    QCOMPARE(runMerge(dialog, fileA, fileB), QStringLiteral("合并数据库|合并数据库成功"));
    QCOMPARE(storetest::fileBytes(fileB), before);
    QCOMPARE(query(fileA, "SELECT ID FROM Data_Point").size(), 4);
    QCOMPARE(query(fileA, "SELECT ID FROM Data_Sample").size(), 4);
}

void TestProjectMerge::refusedSource_data()
{
    // How B is refused: "damaged" (the header's page count), "no line
    // table", "renamed sample key", "not a database", "in use" (another
    // program writes to B when it is chosen) or "taken while read" (from
    // its second station on).
    // "wrong type": change gives a value the merge cannot read as its
    // column's type, and the reason names it.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("earlierB");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("change");

    QTest::newRow("damaged, no B before") << "damaged" << false << QStringLiteral("已损坏") << QString();
    QTest::newRow("damaged, after a sound B") << "damaged" << true << QStringLiteral("已损坏") << QString();
    QTest::newRow("line table missing") << "no line table" << false << QStringLiteral("已损坏") << QString();
    QTest::newRow("sample key column renamed")
        << "renamed sample key" << true << QStringLiteral("已损坏") << QString();
    QTest::newRow("station keys repeat") << "keys repeat" << false << QStringLiteral("已损坏") << QString();
    QTest::newRow("no database, after a sound B")
        << "not a database" << true << QStringLiteral("无法打开") << QString();
    QTest::newRow("in use when chosen, after a sound B")
        << "in use" << true << QStringLiteral("正被其他程序使用") << QString();
    QTest::newRow("taken by another program while read") << "taken while read" << true
                                                         << QStringLiteral("正被其他程序使用") << QString();
    // B: lines 1, 2 and 3, their stations 11, 21, 31, 12, ..., 33 with one
    // sample each, in that order.
    QTest::newRow("station coordinate is text")
        << "wrong type" << true << QStringLiteral("测线 1 测点 21 的 XCoord 值 'abc' 不是该列应有的类型")
        << "UPDATE Data_Point SET XCoord = 'abc' WHERE NAME = 21";
    QTest::newRow("line's use is text") << "wrong type" << false << QStringLiteral("测线 2 的 USE 值 'yes'")
                                        << "UPDATE Data_Line SET USE = 'yes' WHERE NAME = 2";
    QTest::newRow("station's use beyond a whole number of its type")
        << "wrong type" << false << QStringLiteral("测线 2 测点 32 的 USE 值 4294967296")
        << "UPDATE Data_Point SET USE = 4294967296 WHERE NAME = 32";
    QTest::newRow("note is a blob") << "wrong type" << false << QStringLiteral("测线 3 测点 23 的 NOTE 值 X'00FF'")
                                    << "UPDATE Data_Point SET NOTE = x'00ff' WHERE NAME = 23";
    QTest::newRow("curve of a sampled station cut short")
        << "wrong type" << false << QStringLiteral("测线 3 测点 13 的 DATA_RECV_LOG10 值 X'0102030405'")
        << "UPDATE Data_Point SET IsSampled = 1, DATA_RECV_LOG10 = x'0102030405' WHERE NAME = 13";
    QTest::newRow("sample start time with a fraction")
        << "wrong type" << true << QStringLiteral("测线 1 测点 31 的第 1 个采样的 StartTime 值 1000.5")
        << "UPDATE Data_Sample SET StartTime = 1000.5 WHERE ID = 3";
    QTest::newRow("send record is text")
        << "wrong type" << false << QStringLiteral("测线 2 测点 22 的第 1 个采样的 DATA_SEND 值 'send'")
        << "UPDATE Data_Sample SET DATA_SEND = 'send' WHERE ID = 5";
}

// A B that cannot be read whole is refused with the reason, forgets any B
// chosen before, and leaves nothing to merge: A keeps every byte.
void TestProjectMerge::refusedSource()
{
    QFETCH(QString, kind);
    QFETCH(bool, earlierB);
    QFETCH(QString, reason);
    QFETCH(QString, change);
    const QString fileA = m_dir->filePath("a.QELVA");
    const QString sound = m_dir->filePath("sound.QELVA");
    const QString fileB = m_dir->filePath("b.QELVA");
    QVERIFY(makeProject(fileA, LineSpec{{1, 1}}));
    QVERIFY(makeProject(sound, LineSpec{{7, 1}}));
    QVERIFY(makeProject(fileB, LineSpec{{1, 3}, {2, 3}, {3, 3}}));
    if (kind == "damaged")
        QVERIFY(storetest::shortenPageCount(fileB, 2));
    if (kind == "no line table")
        QVERIFY(storetest::RawDb(fileB).exec("DROP TABLE Data_Line"));
    if (kind == "renamed sample key")
        QVERIFY(storetest::RawDb(fileB).exec("ALTER TABLE Data_Sample RENAME COLUMN ID TO SampleKey"));
    if (kind == "wrong type")
        QVERIFY(storetest::RawDb(fileB).exec(change));
    if (kind == "keys repeat") {
        storetest::RawDb raw(fileB);
        for (const QString& sql : sharedKeys("Data_Point"))
            QVERIFY(raw.exec(sql));
    }
    if (kind == "not a database")
        QVERIFY(storetest::writeBytes(fileB, QByteArray("line,station\n1,11\n").repeated(40)));
    const QByteArray bytesOfA = storetest::fileBytes(fileA);
    const QByteArray bytesOfB = storetest::fileBytes(fileB);

    Dialog_MergeData dialog;
    if (earlierB) {
        QVERIFY(dialog.readFileB(sound));
        QCOMPARE(dialog.linesOfB().size(), 1);
    }
    storetest::RawDb other(fileB);
    if (kind == "in use")
        QVERIFY(other.holdWriteLock());
    int stationsRead = 0;
    if (kind == "taken while read") {
        dialog.readTestHook = [&] {
            if (++stationsRead == 2)
                QVERIFY(other.holdWriteLock());
        };
    }
    m_messages.clear();
    const QString message = runMerge(dialog, fileA, fileB, [&] {
        if (kind == "in use" || kind == "taken while read")
            other.release();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().startsWith(QStringLiteral("合并数据库|文件B ") + QDir::toNativeSeparators(fileB))
                     && m_messages.first().contains(reason),
                 qPrintable(m_messages.first()));
        QVERIFY(!m_messages.first().contains(QStringLiteral("成功")));
    });
    QCOMPARE(message, kNothingToMerge);
    QVERIFY(!dialog.isFileBRead());
    QVERIFY(dialog.linesOfB().isEmpty());
    QVERIFY(dialog.findChild<QLineEdit*>("lineEdit_2")->text().isEmpty());
    QVERIFY(dialog.findChild<QPushButton*>("pushButton")->isEnabled());
    QCOMPARE(storetest::fileBytes(fileA), bytesOfA);
    QCOMPARE(storetest::fileBytes(fileB), bytesOfB);

    // A B read whole afterwards is merged.
    QVERIFY(dialog.readFileB(sound));
    m_messages.clear();
    QTest::mouseClick(dialog.findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QCOMPARE(m_messages, QStringList{"合并数据库|合并数据库成功"});
    QCOMPARE(query(fileA, "SELECT NAME FROM Data_Line ORDER BY ID").size(), 2);
}

void TestProjectMerge::renderDialog()
{
    Dialog_MergeData dialog;
    dialog.findChild<QLineEdit*>("lineEdit")->setText("/data/survey/north.QELVA");
    dialog.show();
    QVERIFY(dialog.grab().save("/tmp/hw_mergedata.png"));
}

QTEST_MAIN(TestProjectMerge)
#include "tst_project_merge.moc"
