#include <QPointer>
#include <QtTest>

#include <limits>

#include "StoreFixture.h"

using namespace storetest;

class tst_HORM_Collection : public QObject
{
    Q_OBJECT

private slots:
    void columnScan();
    void emptyParentSelectsNothing();
    void endCursors();
    void selectTexts();
    void loadedEntitiesAreClean();
    void addNew_childCarriesParentKey();
    void addNew_emptyRootProject();
    void setOrderBy_reordersAndInvalidates();
    void pointOrderGivenFirstSelectsOnce();
    void addNew_afterOrderStaysLast();
    void failedSelectKeepsCount();
    void failedCountSelectsNothing();
    void ownership();
    void wideKeys_data();
    void wideKeys();
    void inexactValuesMakeTheRowReadOnly_data();
    void inexactValuesMakeTheRowReadOnly();
    void parentWithoutRowHasNoChildren();
    void addNew_afterShortSelectIsFoundAtItsPosition();
    void shortLoadIsIncomplete_data();
    void shortLoadIsIncomplete();
};

void tst_HORM_Collection::columnScan()
{
    OpenProject p;
    HORM_Collection<Data_Sample> samples(p.lib.get(), "Data_PointID", "1");
    QCOMPARE(samples.eagerColumns(),
             QStringList() << "ID" << "StartTime" << "DeviceType" << "TYPE" << "PERIOD" << "SendFs" << "SampleSendFs"
                           << "SampleOffFs" << "RecvFs" << "USE" << "NOTE" << "Data_PointID" << "Data_WorkSetID");
    QCOMPARE(samples.onDemandColumns(),
             QStringList() << "DATA_RECV" << "DATA_RECV_POS" << "DATA_RECV_LEN" << "DATA_SEND" << "DATA_SOFF");
    QCOMPARE(samples.allColumns().size(), 18);
    QCOMPARE(samples.allColumns().first(), QString("ID"));
    QVERIFY(samples.isChild());
    QCOMPARE(samples.filter(), QString("Data_PointID = 1"));
}

void tst_HORM_Collection::emptyParentSelectsNothing()
{
    OpenProject p;
    QStringList trace;
    p.lib->setStatementTrace(&trace);
    HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "3");
    QCOMPARE(trace, QStringList() << "SELECT COUNT(*) AS TOTALROWS FROM Data_Point WHERE Data_LineID = 3");
    QCOMPARE(points.size(), 0);
    QVERIFY(points.at(0).value() == nullptr);
    QCOMPARE(points.at(0).index(), -1);
}

void tst_HORM_Collection::endCursors()
{
    OpenProject p;
    HORM_Collection<Data_Line> lines(p.lib.get());
    lines.addNew();
    lines.addNew();
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(1).value() != nullptr);
    QVERIFY(lines.at(lines.size()).value() == nullptr);
    QVERIFY(lines.at(-1).value() == nullptr);
    // A cursor built for a position fetches its element on demand.
    HORM_Collection<Data_Line>::iterator cursor(1, &lines, nullptr);
    QCOMPARE(cursor.value(), lines.at(1).value());
}

void tst_HORM_Collection::selectTexts()
{
    OpenProject p;
    {
        RawDb raw(p.path());
        QVERIFY(raw.exec("INSERT INTO Data_Point (ID, NAME, Data_LineID) VALUES (12, 1, 1)"));
        QVERIFY(raw.exec("INSERT INTO Data_Sample (StartTime, USE, Data_PointID) VALUES (5, 1, 12)"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME) VALUES (2)"));
    }
    QStringList trace;
    p.lib->setStatementTrace(&trace);
    HORM_Collection<Data_Sample> samples(p.lib.get(), "Data_PointID", "12");
    QCOMPARE(trace, QStringList()
                        << "SELECT COUNT(*) AS TOTALROWS FROM Data_Sample WHERE Data_PointID = 12"
                        << "SELECT ID, StartTime, DeviceType, TYPE, PERIOD, SendFs, SampleSendFs, SampleOffFs, RecvFs, "
                           "USE, NOTE, Data_PointID, Data_WorkSetID FROM Data_Sample WHERE Data_PointID = 12  ");
    QCOMPARE(samples.size(), 1);
    QCOMPARE(samples.at(0).value()->StartTime(), 5LL);

    HORM_Collection<Data_Line> lines(p.lib.get());
    trace.clear();
    lines.setOrderBy("NAME");
    QCOMPARE(lines.orderBy(), QString("NAME"));
    QCOMPARE(trace, QStringList() << "SELECT COUNT(*) AS TOTALROWS FROM Data_Line"
                                  << "SELECT ID, NAME, TYPE, USE, NOTE, SampleMode FROM Data_Line   ORDER BY NAME");
}

void tst_HORM_Collection::loadedEntitiesAreClean()
{
    OpenProject p;
    {
        RawDb raw(p.path());
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME, TYPE, USE, NOTE, SampleMode) VALUES (4, 1, 1, 'n', 2)"));
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    Data_Line* line = lines.at(0).value();
    QVERIFY(!line->isDirty());
    QVERIFY(line->hasColumnLists());
    QCOMPARE(line->NAME(), 4.0);
    QCOMPARE(line->TYPE(), 1);
    QCOMPARE(line->NOTE(), QString("n"));
    QCOMPARE(line->SampleMode(), 2);
    // References are built on first use, not with the row.
    QVERIFY(!line->referencesLoaded());
}

void tst_HORM_Collection::addNew_childCarriesParentKey()
{
    OpenProject p;
    HORM_Collection<Data_Point> points(p.lib.get(), "Data_LineID", "7");
    HORM_Collection<Data_Point> other(p.lib.get(), "Data_LineID", "8");
    other.addNew();
    HORM_Collection<Data_Point>::iterator cursor = points.addNew();
    Data_Point* point = cursor.value();
    QVERIFY(point);
    QCOMPARE(cursor.index(), 0);
    QCOMPARE(points.size(), 1);
    QCOMPARE(point->Data_LineID(), 7);
    QVERIFY(point->ID() > 0);
    QVERIFY(point->ID() != other.at(0).value()->ID());
    QVERIFY(!point->isDirty());
    QVERIFY(point->referencesLoaded());
    QCOMPARE(point->REF_Data_Sample()->size(), 0);
    RawDb raw(p.path());
    QCOMPARE(raw.scalar(QString("SELECT Data_LineID FROM Data_Point WHERE ID = %1").arg(point->ID())).toInt(), 7);
}

void tst_HORM_Collection::addNew_emptyRootProject()
{
    OpenProject p;
    HORM_Collection<Data_Project> projects(p.lib.get());
    QCOMPARE(projects.size(), 0);
    Data_Project* added = projects.addNew().value();
    QCOMPARE(projects.size(), 1);
    QCOMPARE(projects.at(0).value(), added);
    RawDb raw(p.path());
    QCOMPARE(raw.scalar("SELECT COUNT(*) FROM Data_Project").toInt(), 1);
}

void tst_HORM_Collection::setOrderBy_reordersAndInvalidates()
{
    OpenProject p;
    {
        RawDb raw(p.path());
        for (int name : {3, 1, 2})
            QVERIFY(raw.exec(QString("INSERT INTO Data_Line (NAME) VALUES (%1)").arg(name)));
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    QCOMPARE(lines.at(0).value()->NAME(), 3.0);
    QList<QPointer<Data_Line>> before;
    for (int i = 0; i < lines.size(); ++i)
        before << QPointer<Data_Line>(lines.at(i).value());
    lines.setOrderBy("NAME");
    for (const QPointer<Data_Line>& old : before)
        QVERIFY(old.isNull());
    QCOMPARE(lines.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(lines.at(i).value()->NAME(), double(i + 1));
}

// A line told its stations' order before they are loaded selects them
// once, in that order; told afterwards, it selects them again.
void tst_HORM_Collection::pointOrderGivenFirstSelectsOnce()
{
    OpenProject p;
    {
        RawDb raw(p.path());
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME) VALUES (1)"));
        for (int name : {30, 10, 20})
            QVERIFY(raw.exec(QString("INSERT INTO Data_Point (NAME, Data_LineID) VALUES (%1, 1)").arg(name)));
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    Data_Line* line = lines.at(0).value();
    QVERIFY(line);
    QStringList trace;
    p.lib->setStatementTrace(&trace);
    line->setPointOrder("NAME");
    HORM_Collection<Data_Point>* points = line->REF_Data_Point();
    QVERIFY(points);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(points->at(i).value()->NAME(), 10.0 * (i + 1));
    auto selects = [&trace] {
        int n = 0;
        for (const QString& sql : trace)
            n += sql.startsWith("SELECT ID") && sql.contains("FROM Data_Point") ? 1 : 0;
        return n;
    };
    QCOMPARE(selects(), 1);
    QVERIFY(trace.last().endsWith("ORDER BY NAME"));

    line->setPointOrder("NAME");
    QCOMPARE(selects(), 1);
    line->setPointOrder("NAME DESC");
    QCOMPARE(selects(), 2);
    QCOMPARE(line->REF_Data_Point()->at(0).value()->NAME(), 30.0);
    p.lib->setStatementTrace(nullptr);
}

void tst_HORM_Collection::addNew_afterOrderStaysLast()
{
    OpenProject p;
    {
        RawDb raw(p.path());
        for (int name : {3, 1})
            QVERIFY(raw.exec(QString("INSERT INTO Data_Line (NAME) VALUES (%1)").arg(name)));
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    lines.setOrderBy("NAME");
    Data_Line* added = lines.addNew().value();
    added->setNAME(0);
    added->commit();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(2).value(), added);
    lines.loadTable(lines.filter(), lines.orderBy());
    QCOMPARE(lines.at(0).value()->NAME(), 0.0);
}

void tst_HORM_Collection::failedSelectKeepsCount()
{
    TempProject dir;
    {
        RawDb raw(dir.path());
        // An older table, not yet migrated: the SELECT names a missing column.
        QVERIFY(raw.exec("CREATE TABLE Data_Line (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME REAL, TYPE INTEGER, USE INTEGER)"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME) VALUES (1)"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME) VALUES (2)"));
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    MessageCapture capture;
    HORM_Collection<Data_Line> lines(&lib);
    QCOMPARE(capture.count("HORM_Collection "), 1);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).value() == nullptr);
    QVERIFY(lines.at(1).value() == nullptr);
}

void tst_HORM_Collection::failedCountSelectsNothing()
{
    TempProject dir;
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    // No table registered: the count fails and nothing is selected.
    QStringList trace;
    lib.setStatementTrace(&trace);
    MessageCapture capture;
    HORM_Collection<Data_WorkSet> sets(&lib);
    QCOMPARE(trace, QStringList() << "SELECT COUNT(*) AS TOTALROWS FROM Data_WorkSet");
    QCOMPARE(capture.count("loadTable"), 1);
    QCOMPARE(sets.size(), 0);
    QVERIFY(sets.at(0).value() == nullptr);
}

void tst_HORM_Collection::ownership()
{
    OpenProject p;
    {
        HORM_Collection<Data_Line> lines(p.lib.get());
        Data_Line* line = lines.addNew().value();
        Data_Point* point = line->REF_Data_Point()->addNew().value();
        point->REF_Data_Sample()->addNew();
    }
    QPointer<Data_Line> line;
    QPointer<Data_Point> point;
    QPointer<Data_Sample> sample;
    {
        HORM_Collection<Data_Line> lines(p.lib.get());
        line = lines.at(0).value();
        point = line->REF_Data_Point()->at(0).value();
        sample = point->REF_Data_Sample()->at(0).value();
        QVERIFY(sample);
        QCOMPARE(sample->Data_PointID(), point->ID());
    }
    // The collection deleted its line, the line its stations, the station its samples.
    QVERIFY(line.isNull());
    QVERIFY(point.isNull());
    QVERIFY(sample.isNull());
}

void tst_HORM_Collection::wideKeys_data()
{
    QTest::addColumn<qint64>("key");
    QTest::newRow("2^32 + 1") << Q_INT64_C(4294967297);
    QTest::newRow("2^31") << Q_INT64_C(2147483648);
    QTest::newRow("2^53 + 1") << Q_INT64_C(9007199254740993);
    QTest::newRow("largest") << std::numeric_limits<qint64>::max() - 1;
}

// Row keys are 64-bit: a line, its stations and their samples under a wide
// key are read, edited and extended under that key, never under a narrowed one.
void tst_HORM_Collection::wideKeys()
{
    QFETCH(qint64, key);
    const QString k = QString::number(key);
    OpenProject p;
    {
        RawDb raw(p.path());
        QVERIFY(raw.exec("INSERT INTO Data_Line (ID, NAME, NOTE) VALUES (1, 1, 'one')"));
        QVERIFY(raw.exec(QString("INSERT INTO Data_Line (ID, NAME, NOTE) VALUES (%1, 2, 'big')").arg(k)));
        QVERIFY(raw.exec("INSERT INTO Data_Point (ID, NAME, Data_LineID) VALUES (1, 10, 1)"));
        QVERIFY(raw.exec(QString("INSERT INTO Data_Point (ID, NAME, Data_LineID) VALUES (%1, 20, %1)").arg(k)));
        QVERIFY(raw.exec("INSERT INTO Data_Sample (ID, StartTime, Data_PointID) VALUES (1, 100, 1)"));
        QVERIFY(raw.exec(QString("INSERT INTO Data_Sample (ID, StartTime, Data_PointID) VALUES (2, 200, %1)").arg(k)));
    }
    {
        HORM_Collection<Data_Line> lines(p.lib.get());
        lines.setOrderBy("NAME");
        Data_Line* big = lines.at(1).value();
        QVERIFY(big);
        QCOMPARE(big->ID(), key);
        big->setNOTE("edited-big");
        QVERIFY(big->commit());

        HORM_Collection<Data_Point>* points = big->REF_Data_Point();
        QCOMPARE(points->size(), 1);
        Data_Point* point = points->at(0).value();
        QCOMPARE(point->NAME(), 20.0);
        QCOMPARE(point->Data_LineID(), key);
        point->setNOTE("edited-point");
        QVERIFY(point->commit());
        HORM_Collection<Data_Sample>* samples = point->REF_Data_Sample();
        QCOMPARE(samples->size(), 1);
        QCOMPARE(samples->at(0).value()->StartTime(), qlonglong(200));
        QCOMPARE(samples->at(0).value()->Data_PointID(), key);
        Data_Sample* added = samples->addNew().value();
        QCOMPARE(added->Data_PointID(), key);
    }
    RawDb raw(p.path());
    QCOMPARE(raw.column("SELECT NOTE FROM Data_Line ORDER BY NAME"), (QVariantList{"one", "edited-big"}));
    QCOMPARE(raw.column("SELECT IFNULL(NOTE, '-') FROM Data_Point ORDER BY NAME"), (QVariantList{"-", "edited-point"}));
    QCOMPARE(raw.scalar(QString("SELECT COUNT(*) FROM Data_Sample WHERE Data_PointID = %1").arg(k)).toInt(), 2);

    // A new row after the wide key gets the next one.
    if (key < std::numeric_limits<qint64>::max() - 1) {
        HORM_Collection<Data_Line> lines(p.lib.get());
        QCOMPARE(lines.addNew().value()->ID(), key + 1);
    }
}

void tst_HORM_Collection::inexactValuesMakeTheRowReadOnly_data()
{
    // A row of an older table whose columns have no declared type, so that
    // SQLite keeps whatever was stored.
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("use");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("stored");
    QTest::newRow("whole key") << "3" << "1" << false << true;
    QTest::newRow("whole real key") << "3.0" << "1" << false << true;
    QTest::newRow("real key") << "1.6" << "1" << true << false;
    QTest::newRow("negative real key") << "-2.5" << "1" << true << false;
    QTest::newRow("text key") << "'3'" << "1" << true << false;
    QTest::newRow("blob key") << "x'03'" << "1" << true << false;
    QTest::newRow("key beyond 64 bits") << "1e19" << "1" << true << false;
    QTest::newRow("real flag") << "3" << "1.5" << true << true;
    QTest::newRow("flag beyond int") << "3" << "4294967296" << true << true;
    QTest::newRow("whole text flag") << "3" << "'1'" << false << true;
    QTest::newRow("word flag") << "3" << "'yes'" << true << true;
}

// A value the property cannot hold exactly is never rounded into another
// row's key or written back rounded: the row is read-only.
void tst_HORM_Collection::inexactValuesMakeTheRowReadOnly()
{
    QFETCH(QString, id);
    QFETCH(QString, use);
    QFETCH(bool, readOnly);
    QFETCH(bool, stored);
    TempProject dir;
    {
        RawDb raw(dir.path());
        QVERIFY(raw.exec("CREATE TABLE Data_Line (ID, NAME, TYPE, USE, NOTE, SampleMode)"));
        QVERIFY(raw.exec("INSERT INTO Data_Line VALUES (2, 20, 0, 1, 'two', 0)"));
        QVERIFY(raw.exec(QString("INSERT INTO Data_Line VALUES (%1, 30, 0, %2, 'odd', 0)").arg(id, use)));
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    registerAll(lib);
    const QByteArray before = fileBytes(dir.path());
    {
        HORM_Collection<Data_Line> lines(&lib);
        lines.setOrderBy("NAME");
        QCOMPARE(lines.size(), 2);
        Data_Line* odd = lines.at(1).value();
        QVERIFY(odd);
        QCOMPARE(odd->NAME(), 30.0);
        QCOMPARE(odd->isReadOnly(), readOnly);
        QCOMPARE(odd->hasStoredKey(), stored);
        if (!stored)
            QCOMPARE(odd->ID(), qint64(-1));
        MessageCapture capture;
        odd->setNOTE("edited");
        QCOMPARE(odd->commit(), !readOnly);
        QCOMPARE(odd->isDirty(), readOnly);
        if (!stored)
            QCOMPARE(odd->REF_Data_Point()->size(), 0);
    }
    RawDb raw(dir.path());
    QCOMPARE(raw.scalar("SELECT NOTE FROM Data_Line WHERE NAME = 20").toString(), QString("two"));
    QCOMPARE(raw.scalar("SELECT NOTE FROM Data_Line WHERE NAME = 30").toString(), QString(readOnly ? "odd" : "edited"));
    if (readOnly)
        QCOMPARE(fileBytes(dir.path()), before);
}

void tst_HORM_Collection::parentWithoutRowHasNoChildren()
{
    OpenProject p;
    {
        RawDb raw(p.path());
        // Orphans under the key an entity without a row would use.
        QVERIFY(raw.exec("INSERT INTO Data_Point (NAME, Data_LineID) VALUES (5, -1)"));
        QVERIFY(raw.exec("INSERT INTO Data_Point (NAME, Data_LineID) VALUES (6, 0)"));
        QVERIFY(raw.exec("CREATE TRIGGER no_insert BEFORE INSERT ON Data_Line BEGIN SELECT RAISE(ABORT, 'full'); END"));
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    MessageCapture capture;
    Data_Line* failed = lines.addNew().value();
    QVERIFY(failed);
    QVERIFY(!failed->hasStoredKey());
    QStringList trace;
    p.lib->setStatementTrace(&trace);
    HORM_Collection<Data_Point>* points = failed->REF_Data_Point();
    QVERIFY(points);
    QVERIFY(points->isDetached());
    QCOMPARE(points->size(), 0);
    QVERIFY(points->at(0).value() == nullptr);
    QVERIFY(points->addNew().value() == nullptr);
    points->setOrderBy("NAME");
    QCOMPARE(points->size(), 0);
    QCOMPARE(trace, QStringList());
    RawDb raw(p.path());
    QCOMPARE(raw.scalar("SELECT COUNT(*) FROM Data_Point").toInt(), 2);
}

void tst_HORM_Collection::addNew_afterShortSelectIsFoundAtItsPosition()
{
    TempProject dir;
    {
        RawDb raw(dir.path());
        QVERIFY(raw.exec("CREATE TABLE Data_Line (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME REAL, TYPE INTEGER, USE INTEGER)"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME) VALUES (1)"));
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    // Counted but not selected (a column the SELECT names is missing).
    HORM_Collection<Data_Line> lines(&lib);
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.at(0).value() == nullptr);
    lib.RegisterObject(Data_Line::staticMetaObject);
    Data_Line* added = lines.addNew().value();
    QVERIFY(added);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(1).value(), added);
    QVERIFY(lines.at(0).value() == nullptr);
}

void tst_HORM_Collection::shortLoadIsIncomplete_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("counted");
    QTest::addColumn<int>("read");
    QTest::addColumn<bool>("complete");
    QTest::newRow("sound table") << "" << 3 << 3 << true;
    QTest::newRow("SELECT refused") << "missing column" << 3 << 0 << false;
    // The count comes from the key's index, the rows from the table.
    QTest::newRow("row gone, its index entry kept") << "stale entry" << 3 << 2 << false;
    QTest::newRow("middle row unreadable") << "unreadable 2" << 3 << 1 << false;
    // The SELECT fails only after as many rows as were counted.
    QTest::newRow("uncounted row unreadable") << "unindexed unreadable 3" << 2 << 2 << false;
}

// A load that read fewer rows than it counted, or whose SELECT failed at
// any row, says so: what it holds is not the table.
void tst_HORM_Collection::shortLoadIsIncomplete()
{
    QFETCH(QString, damage);
    QFETCH(int, counted);
    QFETCH(int, read);
    QFETCH(bool, complete);
    TempProject dir;
    {
        RawDb raw(dir.path());
        QVERIFY(raw.exec(QString("CREATE TABLE Data_Line (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME REAL, "
                                 "TYPE INTEGER, USE INTEGER, %1SampleMode INTEGER)")
                             .arg(damage == "missing column" || damage.contains("unreadable") ? "" : "NOTE TEXT, ")));
        QVERIFY(raw.exec("CREATE INDEX IDX_Data_Line_ID_ ON Data_Line ( ID )"));
    }
    const QStringList rows{"INSERT INTO Data_Line (ID, NAME) VALUES (1, 10)",
                           "INSERT INTO Data_Line (ID, NAME) VALUES (2, 20)"};
    const QString last = "INSERT INTO Data_Line (ID, NAME) VALUES (3, 30)";
    {
        RawDb raw(dir.path());
        for (const QString& sql : rows)
            QVERIFY(raw.exec(sql));
        if (!damage.startsWith("unindexed"))
            QVERIFY(raw.exec(last));
    }
    if (damage.startsWith("unindexed"))
        QVERIFY(outsideIndex(dir.path(), "IDX_Data_Line_ID_", 3, {last}));
    if (damage == "stale entry")
        QVERIFY(outsideIndex(dir.path(), "IDX_Data_Line_ID_", 3, {"DELETE FROM Data_Line WHERE ID = 3"}));
    if (damage.contains("unreadable"))
        QVERIFY(unreadableAt(dir.path(), "Data_Line", "NOTE", "SampleMode INTEGER", damage.right(1).toInt()));

    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    HORM_Collection<Data_Line> lines(&lib);
    QCOMPARE(lines.size(), counted);
    int loaded = 0;
    for (int i = 0; i < lines.size(); ++i) {
        if (Data_Line* line = lines.at(i).value()) {
            QCOMPARE(line->NAME(), 10.0 * (i + 1));
            ++loaded;
        }
    }
    QCOMPARE(loaded, read);
    QCOMPARE(lines.isComplete(), complete);
}

QTEST_GUILESS_MAIN(tst_HORM_Collection)
#include "tst_hormcollection.moc"
