#include <QMetaProperty>
#include <QtTest>

#include "StoreFixture.h"

using namespace storetest;

class tst_ProjectSchema : public QObject
{
    Q_OBJECT

private slots:
    void tableLayout_data();
    void tableLayout();
    void indexes_data();
    void indexes();
    void constructorDefaults_data();
    void constructorDefaults();
    void everySetterMarksChanged_data();
    void everySetterMarksChanged();
    void resetSampleMode();
    void stationsOfLine();
    void sampleBlobsEmptyUntilUpdate();
    void olderFileIsMigrated();
    void schemaOfExistingProjectIsChecked_data();
    void schemaOfExistingProjectIsChecked();
    void triggersMakeTheFileReadOnly_data();
    void triggersMakeTheFileReadOnly();
    void damagedOlderFileShowsEveryReadableRow_data();
    void damagedOlderFileShowsEveryReadableRow();
    void nullUseMeansInUse();
};

void tst_ProjectSchema::tableLayout_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("types");
    QTest::newRow("Data_Project")
        << "Data_Project"
        << (QStringList() << "ID" << "WorkConfig" << "LineNoStart" << "LineNoSetp" << "PointNoStart" << "PointNoStep"
                          << "SendCoil_Len" << "SendCoil_Width" << "SendCoil_Turns" << "RecvCoil_Size" << "RecvCoil_Gain"
                          << "OffTime" << "PointLen_D" << "PointLen_R" << "NOTE" << "CalibrateNo")
        << (QStringList() << "INTEGER" << "INTEGER" << "REAL" << "REAL" << "REAL" << "REAL" << "REAL" << "REAL" << "REAL"
                          << "REAL" << "REAL" << "REAL" << "REAL" << "REAL" << "TEXT" << "TEXT");
    QTest::newRow("Data_Line") << "Data_Line"
                               << (QStringList() << "ID" << "NAME" << "TYPE" << "USE" << "NOTE" << "SampleMode")
                               << (QStringList() << "INTEGER" << "REAL" << "INTEGER" << "INTEGER" << "TEXT" << "INTEGER");
    QTest::newRow("Data_Point")
        << "Data_Point"
        << (QStringList() << "ID" << "NAME" << "USE" << "NOTE" << "TYPE" << "IsSampled" << "DATA_RECV_QV18"
                          << "DATA_RECV_QV18RAW" << "DATA_TIMERECV_QV18" << "DATA_RECV_LOG10" << "DATA_RECV_LOG10RAW"
                          << "DATA_TIMERECV_LOG10" << "DATA_RECV_LOG20" << "DATA_RECV_LOG20RAW" << "DATA_TIMERECV_LOG20"
                          << "XCoord" << "YCoord" << "ZCoord" << "HasZCoord" << "Data_LineID")
        << (QStringList() << "INTEGER" << "REAL" << "INTEGER" << "TEXT" << "INTEGER" << "INTEGER" << "BLOB" << "BLOB"
                          << "BLOB" << "BLOB" << "BLOB" << "BLOB" << "BLOB" << "BLOB" << "BLOB" << "REAL" << "REAL"
                          << "REAL" << "INTEGER" << "INTEGER");
    QTest::newRow("Data_Sample")
        << "Data_Sample"
        << (QStringList() << "ID" << "StartTime" << "DeviceType" << "TYPE" << "PERIOD" << "DATA_RECV" << "DATA_RECV_POS"
                          << "DATA_RECV_LEN" << "DATA_SEND" << "DATA_SOFF" << "SendFs" << "SampleSendFs" << "SampleOffFs"
                          << "RecvFs" << "USE" << "NOTE" << "Data_PointID" << "Data_WorkSetID")
        << (QStringList() << "INTEGER" << "INTEGER" << "INTEGER" << "INTEGER" << "INTEGER" << "BLOB" << "BLOB" << "BLOB"
                          << "BLOB" << "BLOB" << "REAL" << "REAL" << "REAL" << "REAL" << "INTEGER" << "TEXT"
                          << "INTEGER" << "INTEGER");
    QTest::newRow("Data_WorkSet")
        << "Data_WorkSet"
        << (QStringList() << "ID" << "WorkConfig" << "SendCoil_Len" << "SendCoil_Width" << "SendCoil_Turns"
                          << "RecvCoil_Size" << "RecvCoil_Gain" << "NOTE")
        << (QStringList() << "INTEGER" << "INTEGER" << "REAL" << "REAL" << "REAL" << "REAL" << "REAL" << "TEXT");
}

void tst_ProjectSchema::tableLayout()
{
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, types);
    OpenProject p;
    RawDb raw(p.path());
    QCOMPARE(raw.tableColumns(table), columns);
    QCOMPARE(raw.tableTypes(table), types);
    QCOMPARE(raw.scalar(QString("SELECT pk FROM pragma_table_info('%1') WHERE name = 'ID'").arg(table)).toInt(), 1);
    QVERIFY(raw.scalar(QString("SELECT sql FROM sqlite_master WHERE name = '%1'").arg(table))
                .toString()
                .contains("ID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT ,"));
}

void tst_ProjectSchema::indexes_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("indexes");
    QTest::newRow("Data_Project") << "Data_Project" << (QStringList() << "IDX_Data_Project_ID_");
    QTest::newRow("Data_Line") << "Data_Line" << (QStringList() << "IDX_Data_Line_ID_");
    QTest::newRow("Data_Point") << "Data_Point" << (QStringList() << "IDX_Data_Point_Data_LineID_" << "IDX_Data_Point_ID_");
    QTest::newRow("Data_Sample") << "Data_Sample" << (QStringList() << "IDX_Data_Sample_Data_PointID_" << "IDX_Data_Sample_ID_");
    QTest::newRow("Data_WorkSet") << "Data_WorkSet" << (QStringList() << "IDX_Data_WorkSet_ID_");
}

void tst_ProjectSchema::indexes()
{
    QFETCH(QString, table);
    QFETCH(QStringList, indexes);
    OpenProject p;
    RawDb raw(p.path());
    QStringList found;
    for (const QVariant& v : raw.column(QString("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = '%1' "
                                                "AND sql IS NOT NULL ORDER BY name").arg(table)))
        found << v.toString();
    QCOMPARE(found, indexes);
}

void tst_ProjectSchema::constructorDefaults_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QVariantMap>("defaults");
    QVariantMap project;
    for (const char* n : {"LineNoStart", "LineNoSetp", "PointNoStart", "PointNoStep", "SendCoil_Len", "SendCoil_Width",
                          "SendCoil_Turns", "RecvCoil_Size", "RecvCoil_Gain", "OffTime", "PointLen_D", "PointLen_R"})
        project[n] = 0.0;
    project["WorkConfig"] = 0;
    project["NOTE"] = QString();
    project["CalibrateNo"] = QString();
    QTest::newRow("Data_Project") << "Data_Project" << project;
    QTest::newRow("Data_Line") << "Data_Line"
                               << QVariantMap{{"NAME", 0.0}, {"TYPE", 0}, {"USE", 1}, {"NOTE", QString()}, {"SampleMode", 0}};
    QTest::newRow("Data_Point") << "Data_Point"
                                << QVariantMap{{"NAME", 0.0}, {"USE", 1}, {"TYPE", 0}, {"IsSampled", -1},
                                               {"XCoord", 0.0}, {"YCoord", 0.0}, {"ZCoord", 0.0}, {"HasZCoord", -1},
                                               {"Data_LineID", 7}, {"DATA_RECV_QV18", QByteArray()},
                                               {"DATA_TIMERECV_LOG20", QByteArray()}};
    QTest::newRow("Data_Sample") << "Data_Sample"
                                 << QVariantMap{{"StartTime", 0LL}, {"DeviceType", 0}, {"TYPE", 0}, {"PERIOD", 0},
                                                {"SendFs", 0.0}, {"SampleSendFs", 0.0}, {"SampleOffFs", 0.0},
                                                {"RecvFs", 0.0}, {"USE", 1}, {"Data_PointID", 7},
                                                {"Data_WorkSetID", -1}, {"DATA_SOFF", QByteArray()}};
    QTest::newRow("Data_WorkSet") << "Data_WorkSet" << QVariantMap{{"WorkConfig", 0}, {"SendCoil_Len", 0.0}, {"NOTE", QString()}};
}

// A new row made through addNew (a child of parent 7 where the table has a
// parent), reloaded from the file.
static HORM_BaseObject* addAndReload(LibHORM* lib, const QString& table, std::shared_ptr<void>& keep)
{
    auto make = [&](auto* tag) -> HORM_BaseObject* {
        using C = std::remove_pointer_t<decltype(tag)>;
        QString key;
        if (table == "Data_Point")
            key = "Data_LineID";
        else if (table == "Data_Sample")
            key = "Data_PointID";
        auto create = [&]() {
            return key.isEmpty() ? std::make_shared<HORM_Collection<C>>(lib)
                                 : std::make_shared<HORM_Collection<C>>(lib, key, "7");
        };
        create()->addNew();
        auto coll = create();
        keep = coll;
        return coll->at(0).value();
    };
    if (table == "Data_Project")
        return make(static_cast<Data_Project*>(nullptr));
    if (table == "Data_Line")
        return make(static_cast<Data_Line*>(nullptr));
    if (table == "Data_Point")
        return make(static_cast<Data_Point*>(nullptr));
    if (table == "Data_Sample")
        return make(static_cast<Data_Sample*>(nullptr));
    return make(static_cast<Data_WorkSet*>(nullptr));
}

void tst_ProjectSchema::constructorDefaults()
{
    QFETCH(QString, table);
    QFETCH(QVariantMap, defaults);
    OpenProject p;
    std::shared_ptr<void> keep;
    HORM_BaseObject* entity = addAndReload(p.lib.get(), table, keep);
    QVERIFY(entity);
    QVERIFY(entity->ID() > 0);
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it) {
        const QVariant actual = entity->property(it.key().toLatin1().constData());
        QVERIFY2(actual == it.value(), qPrintable(QString("%1: %2 != %3").arg(it.key(), actual.toString(), it.value().toString())));
    }
}

void tst_ProjectSchema::everySetterMarksChanged_data()
{
    QTest::addColumn<QString>("table");
    for (const char* t : {"Data_Project", "Data_Line", "Data_Point", "Data_Sample", "Data_WorkSet"})
        QTest::newRow(t) << QString(t);
}

void tst_ProjectSchema::everySetterMarksChanged()
{
    QFETCH(QString, table);
    OpenProject p;
    std::shared_ptr<void> keep;
    HORM_BaseObject* entity = addAndReload(p.lib.get(), table, keep);
    QVERIFY(entity);
    QStringList names, types;
    QVERIFY(p.lib->columns(table, names, types));
    const QMetaObject* meta = entity->metaObject();
    for (const QString& name : names) {
        const QMetaProperty prop = meta->property(meta->indexOfProperty(name.toLatin1().constData()));
        QVERIFY2(prop.isWritable(), qPrintable(name));
        QVERIFY(!entity->isDirty());
        QVERIFY(entity->setProperty(name.toLatin1().constData(), entity->property(name.toLatin1().constData())));
        QVERIFY2(entity->isDirty(), qPrintable(name));
        entity->commit();
        QVERIFY2(!entity->isDirty(), qPrintable(name));
    }
}

void tst_ProjectSchema::resetSampleMode()
{
    OpenProject p;
    {
        HORM_Collection<Data_Line> lines(p.lib.get());
        Data_Line* line = lines.addNew().value();
        line->setSampleMode(2);
        line->commit();
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    Data_Line* line = lines.at(0).value();
    QCOMPARE(line->SampleMode(), 2);
    line->resetSampleMode();
    QCOMPARE(line->SampleMode(), 0);
    QVERIFY(!line->isDirty());
}

void tst_ProjectSchema::stationsOfLine()
{
    OpenProject p;
    {
        RawDb raw(p.path());
        QVERIFY(raw.exec("INSERT INTO Data_Line (ID, NAME) VALUES (7, 1)"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (ID, NAME) VALUES (8, 2)"));
        QVERIFY(raw.exec("INSERT INTO Data_Point (NAME, Data_LineID) VALUES (100, 7)"));
        QVERIFY(raw.exec("INSERT INTO Data_Point (NAME, Data_LineID) VALUES (110, 7)"));
        QVERIFY(raw.exec("INSERT INTO Data_Point (NAME, Data_LineID) VALUES (120, 9)"));
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    lines.setOrderBy("NAME");
    HORM_Collection<Data_Point>* points = lines.at(0).value()->REF_Data_Point();
    QVERIFY(points);
    QCOMPARE(points->size(), 2);
    QCOMPARE(points->filter(), QString("Data_LineID = 7"));
    QCOMPARE(points->at(0).value()->NAME(), 100.0);
    QCOMPARE(points->at(1).value()->NAME(), 110.0);
    QCOMPARE(lines.at(1).value()->REF_Data_Point()->size(), 0);
    // The REF_ property is reachable through the meta-object as well.
    const QMetaObject* meta = lines.at(0).value()->metaObject();
    QVERIFY(meta->property(meta->indexOfProperty("REF_Data_Point")).isResettable());
    QVERIFY(!meta->property(meta->indexOfProperty("REF_Data_Point")).isWritable());
}

void tst_ProjectSchema::sampleBlobsEmptyUntilUpdate()
{
    OpenProject p;
    {
        HORM_Collection<Data_Sample> samples(p.lib.get(), "Data_PointID", "3");
        Data_Sample* s = samples.addNew().value();
        s->setDATA_RECV(QByteArray(16, '\x01'));
        s->setDATA_SEND(QByteArray(8, '\x02'));
        s->commit();
    }
    HORM_Collection<Data_Sample> samples(p.lib.get(), "Data_PointID", "3");
    Data_Sample* s = samples.at(0).value();
    QVERIFY(s->DATA_RECV().isEmpty());
    QVERIFY(s->DATA_SEND().isEmpty());
    s->update();
    QCOMPARE(s->DATA_RECV(), QByteArray(16, '\x01'));
    QCOMPARE(s->DATA_SEND(), QByteArray(8, '\x02'));
}

// A station table from before the coordinates.
static const char* const kOlderPointTable =
    "CREATE TABLE Data_Point (ID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT , NAME REAL , USE INTEGER , NOTE TEXT , "
    "TYPE INTEGER , IsSampled INTEGER , DATA_RECV_QV18 BLOB , DATA_RECV_QV18RAW BLOB , DATA_TIMERECV_QV18 BLOB , "
    "DATA_RECV_LOG10 BLOB , DATA_RECV_LOG10RAW BLOB , DATA_TIMERECV_LOG10 BLOB , DATA_RECV_LOG20 BLOB , "
    "DATA_RECV_LOG20RAW BLOB , DATA_TIMERECV_LOG20 BLOB , Data_LineID INTEGER )";

void tst_ProjectSchema::olderFileIsMigrated()
{
    TempProject dir;
    QStringList untouched;
    {
        // An older project: the station table predates the coordinates and
        // the sample table the work set key.
        RawDb raw(dir.path());
        for (const QMetaObject* meta : {&Data_Project::staticMetaObject, &Data_Line::staticMetaObject,
                                        &Data_WorkSet::staticMetaObject}) {
            for (const QString& s : LibHORM::createTableStatements(*meta))
                QVERIFY(raw.exec(s));
        }
        QVERIFY(raw.exec(kOlderPointTable));
        QVERIFY(raw.exec("CREATE INDEX IDX_Data_Point_Data_LineID_ ON Data_Point ( Data_LineID )"));
        QVERIFY(raw.exec("CREATE TABLE Data_Sample (ID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT , StartTime INTEGER , "
                         "DeviceType INTEGER , TYPE INTEGER , PERIOD INTEGER , DATA_RECV BLOB , DATA_RECV_POS BLOB , "
                         "DATA_RECV_LEN BLOB , DATA_SEND BLOB , DATA_SOFF BLOB , SendFs REAL , SampleSendFs REAL , "
                         "SampleOffFs REAL , RecvFs REAL , USE INTEGER , NOTE TEXT , Data_PointID INTEGER )"));
        QVERIFY(raw.exec("INSERT INTO Data_Project (WorkConfig, NOTE) VALUES (2, 'old')"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (ID, NAME, TYPE, USE, NOTE, SampleMode) VALUES (1, 5, 0, 1, 'l', 1)"));
        QVERIFY(raw.exec("INSERT INTO Data_Point (ID, NAME, USE, TYPE, IsSampled, DATA_RECV_QV18, Data_LineID) "
                         "VALUES (4, 100, 1, 0, 1, x'3ff0000000000000', 1)"));
        QVERIFY(raw.exec("INSERT INTO Data_Sample (ID, StartTime, USE, DATA_RECV, Data_PointID) VALUES (9, 1600000000000, 1, x'0102', 4)"));
        untouched = raw.schema();
    }

    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    QStringList trace;
    lib.setStatementTrace(&trace);
    registerAll(lib);
    QCOMPARE(trace, QStringList() << "select * from Data_Project LIMIT 0"
                                  << "select * from Data_Line LIMIT 0"
                                  << "select * from Data_Point LIMIT 0"
                                  << "BEGIN"
                                  << "ALTER TABLE Data_Point ADD COLUMN XCoord REAL"
                                  << "ALTER TABLE Data_Point ADD COLUMN YCoord REAL"
                                  << "ALTER TABLE Data_Point ADD COLUMN ZCoord REAL"
                                  << "ALTER TABLE Data_Point ADD COLUMN HasZCoord INTEGER"
                                  << "COMMIT"
                                  << "select * from Data_Sample LIMIT 0"
                                  << "BEGIN"
                                  << "ALTER TABLE Data_Sample ADD COLUMN Data_WorkSetID INTEGER"
                                  << "COMMIT"
                                  << "select * from Data_WorkSet LIMIT 0");
    lib.setStatementTrace(nullptr);

    {
        RawDb raw(dir.path());
        QStringList after = raw.schema();
        // Only the two altered table definitions differ; indexes and the other tables stay.
        QCOMPARE(after.size(), untouched.size());
        for (int i = 0; i < after.size(); ++i) {
            if (after.at(i).startsWith("table Data_Point ") || after.at(i).startsWith("table Data_Sample "))
                continue;
            QCOMPARE(after.at(i), untouched.at(i));
        }
        QCOMPARE(raw.tableColumns("Data_Point").mid(16), QStringList() << "XCoord" << "YCoord" << "ZCoord" << "HasZCoord");
        QCOMPARE(raw.scalar("SELECT hex(DATA_RECV_QV18) FROM Data_Point").toString(), QString("3FF0000000000000"));
        QCOMPARE(raw.scalar("SELECT COUNT(*) FROM Data_Point").toInt(), 1);
        QVERIFY(raw.scalar("SELECT HasZCoord FROM Data_Point").isNull());
    }

    // Old rows read the added columns as the fields' defaults.
    HORM_Collection<Data_Line> lines(&lib);
    Data_Point* point = lines.at(0).value()->REF_Data_Point()->at(0).value();
    QVERIFY(point);
    QCOMPARE(point->HasZCoord(), -1);
    QCOMPARE(point->XCoord(), 0.0);
    QCOMPARE(point->IsSampled(), 1);
    QCOMPARE(point->DATA_RECV_QV18(), QByteArray::fromHex("3ff0000000000000"));
    Data_Sample* sample = point->REF_Data_Sample()->at(0).value();
    QVERIFY(sample);
    QCOMPARE(sample->Data_WorkSetID(), -1);
    QCOMPARE(sample->StartTime(), 1600000000000LL);
    QCOMPARE(sample->DeviceType(), 0);
    sample->update();
    QCOMPARE(sample->DATA_RECV(), QByteArray("\x01\x02"));
    QVERIFY(sample->DATA_SEND().isEmpty());
}

namespace {

// Statements that rebuild a table of the whole schema, with its rows, as
// `declaration` declares it (the indexes go with the old table).
QStringList rebuilt(const QString& table, const QString& declaration)
{
    return {QString("ALTER TABLE %1 RENAME TO old").arg(table), declaration,
            QString("INSERT INTO %1 SELECT * FROM old").arg(table), "DROP TABLE old"};
}

// The table's declaration as the store makes it.
QString declared(const QMetaObject& meta)
{
    return LibHORM::createTableStatements(meta).first();
}

// The same, as a program that copies a table with CREATE TABLE ... AS
// SELECT makes it: no primary key at all.
QStringList copied(const QString& table)
{
    return {QString("ALTER TABLE %1 RENAME TO old").arg(table), QString("CREATE TABLE %1 AS SELECT * FROM old").arg(table),
            "DROP TABLE old"};
}

const char* const kKey = "INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT";

} // namespace

void tst_ProjectSchema::schemaOfExistingProjectIsChecked_data()
{
    // Statements that make the file, on a file of the whole schema unless
    // the first one is "new"; whether the file is then damaged.
    QTest::addColumn<QStringList>("make");
    QTest::addColumn<bool>("damaged");
    QTest::newRow("new file gets every table") << QStringList{"new"} << false;
    QTest::newRow("file of other tables gets every table") << QStringList{"new", "CREATE TABLE notes (a TEXT)"} << false;
    QTest::newRow("whole project") << QStringList() << false;
    // Older files lack the work set table, which nothing here reads.
    QTest::newRow("work set table missing") << QStringList{"DROP TABLE Data_WorkSet"} << false;
    QTest::newRow("work set key negative")
        << QStringList{"INSERT INTO Data_WorkSet (ID) VALUES (-2)"} << false;
    QTest::newRow("only the project table") << QStringList{"new", "CREATE TABLE Data_Project (ID INTEGER PRIMARY KEY)"}
                                            << true;
    QTest::newRow("negative sample key") << QStringList{"INSERT INTO Data_Sample (ID, USE) VALUES (-4, 1)"} << true;
    QTest::newRow("key held as text")
        << QStringList{"ALTER TABLE Data_Line RENAME TO old", "CREATE TABLE Data_Line (ID, NAME REAL, TYPE INTEGER, "
                       "USE INTEGER, NOTE TEXT, SampleMode INTEGER)", "INSERT INTO Data_Line (ID, NAME) VALUES ('x7', 3)",
                       "DROP TABLE old"}
        << true;
    QTest::newRow("line key column renamed") << QStringList{"ALTER TABLE Data_Line RENAME COLUMN ID TO LineKey"} << true;
    QTest::newRow("key 0") << QStringList{"INSERT INTO Data_Line (ID, NAME) VALUES (0, 5)",
                                          "INSERT INTO Data_Sample (ID, USE) VALUES (0, 1)"}
                           << false;
    // A key that is not the row id may repeat: one UPDATE then writes
    // several rows.
    for (const char* table : {"Data_Project", "Data_Line", "Data_Point", "Data_Sample"}) {
        QTest::newRow(qPrintable(QString("%1 keys repeat").arg(table)))
            << copied(table) + QStringList{QString("INSERT INTO %1 (ID) VALUES (1), (1)").arg(table)} << true;
    }
    QTest::newRow("station keys unique, not the primary key")
        << copied("Data_Point") + QStringList{"INSERT INTO Data_Point (ID, NAME) VALUES (1, 100), (2, 110)"} << true;
    QTest::newRow("station key INT PRIMARY KEY")
        << rebuilt("Data_Point", declared(Data_Point::staticMetaObject).replace(kKey, "INT PRIMARY KEY")) << true;
    QTest::newRow("station key part of the primary key")
        << rebuilt("Data_Point", declared(Data_Point::staticMetaObject)
                                     .replace(kKey, "INTEGER NOT NULL")
                                     .replace(");", ", PRIMARY KEY (ID, NAME));"))
        << true;
    QTest::newRow("station table without row ids")
        << rebuilt("Data_Point", declared(Data_Point::staticMetaObject)
                                     .replace(kKey, "INTEGER PRIMARY KEY")
                                     .replace(");", ") WITHOUT ROWID;"))
        << true;
    QTest::newRow("sample key a unique column")
        << rebuilt("Data_Sample", declared(Data_Sample::staticMetaObject).replace(kKey, "INTEGER UNIQUE")) << true;
    QTest::newRow("line key declared primary apart")
        << rebuilt("Data_Line", declared(Data_Line::staticMetaObject)
                                    .replace(kKey, "INTEGER")
                                    .replace(");", ", PRIMARY KEY (ID));"))
        << false;
    QTest::newRow("work set keys repeat")
        << copied("Data_WorkSet") + QStringList{"INSERT INTO Data_WorkSet (ID) VALUES (1), (1)"} << false;
    // A REPLACE conflict rule deletes the row a write collides with: a
    // renamed or merged station would take another station's row away.
    QTest::newRow("station numbers unique, replaced on conflict")
        << rebuilt("Data_Point", declared(Data_Point::staticMetaObject)
                                     .replace(");", ", UNIQUE (Data_LineID, NAME) ON CONFLICT REPLACE);"))
        << true;
    QTest::newRow("sample note replaced when NULL")
        << rebuilt("Data_Sample", declared(Data_Sample::staticMetaObject)
                                      .replace("NOTE TEXT", "NOTE TEXT NOT NULL on conflict\nreplace DEFAULT ''"))
        << true;
    QTest::newRow("station numbers unique, refused on conflict")
        << rebuilt("Data_Point", declared(Data_Point::staticMetaObject).replace(");", ", UNIQUE (Data_LineID, NAME));"))
        << false;
    QTest::newRow("rule only named in a default text")
        << rebuilt("Data_Line", declared(Data_Line::staticMetaObject)
                                    .replace("NOTE TEXT", "NOTE TEXT DEFAULT 'ON CONFLICT REPLACE'"))
        << false;
    QTest::newRow("work set replaced on conflict")
        << rebuilt("Data_WorkSet", declared(Data_WorkSet::staticMetaObject)
                                       .replace("NOTE TEXT", "NOTE TEXT UNIQUE ON CONFLICT REPLACE"))
        << false;
    QTest::newRow("station table missing, other columns old")
        << QStringList{"DROP TABLE Data_Point", "ALTER TABLE Data_Line DROP COLUMN SampleMode"} << true;
}

// Registering the schema on a file that holds any of its tables finds a
// missing table or an unreadable key and then creates nothing: the file is
// damaged and read-only. A file without them gets every table.
void tst_ProjectSchema::schemaOfExistingProjectIsChecked()
{
    QFETCH(QStringList, make);
    QFETCH(bool, damaged);
    TempProject dir;
    const bool fresh = !make.isEmpty() && make.first() == "new";
    if (fresh)
        make.removeFirst();
    if (!fresh) {
        LibHORM lib(nullptr);
        QVERIFY(lib.open(dir.path()));
        registerAll(lib);
    }
    if (!make.isEmpty()) {
        RawDb raw(dir.path());
        for (const QString& sql : make)
            QVERIFY(raw.exec(sql));
    }
    const QByteArray before = fileBytes(dir.path());

    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    const bool registered = lib.registerSchema({&Data_Project::staticMetaObject, &Data_Line::staticMetaObject,
                                                &Data_Point::staticMetaObject, &Data_Sample::staticMetaObject,
                                                &Data_WorkSet::staticMetaObject},
                                               {&Data_WorkSet::staticMetaObject});
    QCOMPARE(registered, !damaged);
    QCOMPARE(lib.isDamaged(), damaged);
    QCOMPARE(lib.isReadOnly(), damaged);
    if (damaged) {
        QCOMPARE(fileBytes(dir.path()), before);
        // Not even an entity's own row can be added.
        HORM_Collection<Data_Project> projects(&lib);
        projects.addNew();
        QCOMPARE(fileBytes(dir.path()), before);
        return;
    }
    RawDb raw(dir.path());
    for (const char* table : {"Data_Project", "Data_Line", "Data_Point", "Data_Sample", "Data_WorkSet"})
        QVERIFY2(raw.tableColumns(table).value(0) == "ID", table);
}

void tst_ProjectSchema::triggersMakeTheFileReadOnly_data()
{
    QTest::addColumn<QStringList>("make");
    // The triggers that make the file read-only, in the file's order.
    QTest::addColumn<QStringList>("triggers");
    QTest::newRow("update of a station deletes it")
        << QStringList{"CREATE TRIGGER gone AFTER UPDATE ON Data_Point BEGIN DELETE FROM Data_Point WHERE ID = NEW.ID; END"}
        << QStringList{"gone"};
    QTest::newRow("new samples skipped")
        << QStringList{"CREATE TRIGGER skip BEFORE INSERT ON Data_Sample BEGIN SELECT RAISE(IGNORE); END"}
        << QStringList{"skip"};
    QTest::newRow("table named in other case, project and lines")
        << QStringList{"CREATE TRIGGER a AFTER UPDATE ON data_project BEGIN DELETE FROM Data_Line; END",
                       "CREATE TRIGGER b AFTER INSERT ON DATA_LINE BEGIN UPDATE Data_Line SET NAME = 0; END"}
        << QStringList{"a", "b"};
    // Never written here, so never run.
    QTest::newRow("on the work set table")
        << QStringList{"CREATE TRIGGER w AFTER INSERT ON Data_WorkSet BEGIN DELETE FROM Data_Point; END"} << QStringList();
    QTest::newRow("on a table of another program")
        << QStringList{"CREATE TABLE notes (a TEXT)",
                       "CREATE TRIGGER n AFTER INSERT ON notes BEGIN DELETE FROM Data_Point; END"}
        << QStringList();
}

// A trigger on a table that the program writes runs inside the program's
// own writes and can change rows they never named: the file is read
// (every row, every column), but not written. It is not damaged.
void tst_ProjectSchema::triggersMakeTheFileReadOnly()
{
    QFETCH(QStringList, make);
    QFETCH(QStringList, triggers);
    TempProject dir;
    {
        LibHORM lib(nullptr);
        QVERIFY(lib.open(dir.path()));
        registerAll(lib);
        HORM_Collection<Data_Line> lines(&lib);
        Data_Line* line = lines.addNew().value();
        line->setNAME(100);
        QVERIFY(line->commit());
        line->REF_Data_Point()->addNew();
        RawDb raw(dir.path());
        for (const QString& sql : make)
            QVERIFY(raw.exec(sql));
        // A column that the file lacks would be added by a writable open.
        QVERIFY(raw.exec("ALTER TABLE Data_Point DROP COLUMN HasZCoord"));
    }
    const QByteArray before = fileBytes(dir.path());

    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    const bool registered = lib.registerSchema({&Data_Project::staticMetaObject, &Data_Line::staticMetaObject,
                                                &Data_Point::staticMetaObject, &Data_Sample::staticMetaObject,
                                                &Data_WorkSet::staticMetaObject},
                                               {&Data_WorkSet::staticMetaObject});
    const bool readOnly = !triggers.isEmpty();
    QVERIFY(registered);
    QVERIFY(!lib.isDamaged());
    QCOMPARE(lib.triggers(), triggers);
    QCOMPARE(lib.hasTriggers(), readOnly);
    QCOMPARE(lib.isReadOnly(), readOnly);
    QCOMPARE(lib.refusesWrites(), readOnly);
    QCOMPARE(lib.absentColumns("Data_Point"), readOnly ? QStringList("HasZCoord") : QStringList());

    HORM_Collection<Data_Line> lines(&lib);
    QVERIFY(lines.isComplete());
    Data_Line* line = lines.at(0).value();
    QVERIFY(line);
    QCOMPARE(line->NAME(), 100.0);
    Data_Point* station = line->REF_Data_Point()->at(0).value();
    QVERIFY(station);
    station->setNAME(10);
    line->setNAME(777);
    QCOMPARE(station->commit(), !readOnly);
    QCOMPARE(line->commit(), !readOnly);
    HORM_Collection<Data_Project> projects(&lib);
    projects.addNew();
    if (readOnly)
        QCOMPARE(fileBytes(dir.path()), before);
    else
        QCOMPARE(RawDb(dir.path()).scalar("SELECT NAME FROM Data_Line").toDouble(), 777.0);
}

void tst_ProjectSchema::damagedOlderFileShowsEveryReadableRow_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("header page count too small") << 0;
    QTest::newRow("scribbled last page") << 1;
}

// A damaged file is opened read-only, so an older one cannot gain the
// columns its tables lack: its rows still show, with those columns at the
// fields' defaults, and nothing is written.
void tst_ProjectSchema::damagedOlderFileShowsEveryReadableRow()
{
    QFETCH(int, damage);
    TempProject dir;
    {
        // Lines without SampleMode, stations without the coordinates,
        // samples without DeviceType, DATA_RECV_LEN and the work set key;
        // behind them a table whose pages take the damage.
        RawDb raw(dir.path());
        for (const QMetaObject* meta : {&Data_Project::staticMetaObject, &Data_WorkSet::staticMetaObject}) {
            for (const QString& s : LibHORM::createTableStatements(*meta))
                QVERIFY(raw.exec(s));
        }
        QVERIFY(raw.exec("CREATE TABLE Data_Line (ID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT , NAME REAL , "
                         "TYPE INTEGER , USE INTEGER , NOTE TEXT )"));
        QVERIFY(raw.exec(kOlderPointTable));
        QVERIFY(raw.exec("CREATE TABLE Data_Sample (ID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT , StartTime INTEGER , "
                         "TYPE INTEGER , PERIOD INTEGER , DATA_RECV BLOB , DATA_RECV_POS BLOB , DATA_SEND BLOB , "
                         "DATA_SOFF BLOB , SendFs REAL , SampleSendFs REAL , SampleOffFs REAL , RecvFs REAL , "
                         "USE INTEGER , NOTE TEXT , Data_PointID INTEGER )"));
        for (int l = 1; l <= 3; ++l) {
            QVERIFY(raw.exec(QString("INSERT INTO Data_Line (ID, NAME, TYPE, USE, NOTE) VALUES (%1, %2, 0, 1, 'l')")
                                 .arg(l)
                                 .arg(10 * l)));
            for (int s = 1; s <= 4; ++s) {
                const int id = 10 * l + s;
                QVERIFY(raw.exec(QString("INSERT INTO Data_Point (ID, NAME, USE, TYPE, IsSampled, DATA_RECV_QV18, "
                                         "Data_LineID) VALUES (%1, %2, 1, 0, 1, x'3ff0000000000000', %3)")
                                     .arg(id)
                                     .arg(100 * s)
                                     .arg(l)));
                QVERIFY(raw.exec(QString("INSERT INTO Data_Sample (ID, StartTime, USE, SampleOffFs, DATA_RECV, "
                                         "Data_PointID) VALUES (%1, 1600000000000, 1, 1000000, x'4000000000000000', %1)")
                                     .arg(id)));
            }
        }
        QVERIFY(raw.exec("CREATE TABLE filler (b BLOB)"));
        for (int i = 0; i < 8; ++i)
            QVERIFY(raw.exec("INSERT INTO filler VALUES (zeroblob(3000))"));
    }
    if (damage == 0) {
        QVERIFY(shortenPageCount(dir.path(), 2));
    } else {
        const int pages = RawDb(dir.path()).scalar("PRAGMA page_count").toInt();
        QVERIFY(scribbleOverPage(dir.path(), pages));
    }
    const QByteArray before = fileBytes(dir.path());

    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    QVERIFY(lib.isDamaged());
    registerAll(lib);
    QCOMPARE(lib.absentColumns("Data_Line"), QStringList("SampleMode"));
    QCOMPARE(lib.absentColumns("Data_Point"), QStringList() << "XCoord" << "YCoord" << "ZCoord" << "HasZCoord");
    {
        MessageCapture capture;
        HORM_Collection<Data_Line> lines(&lib);
        lines.setOrderBy("NAME");
        QCOMPARE(lines.size(), 3);
        for (int l = 0; l < 3; ++l) {
            Data_Line* line = lines.at(l).value();
            QVERIFY(line);
            QCOMPARE(line->NAME(), 10.0 * (l + 1));
            QCOMPARE(line->SampleMode(), 0);
            HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
            stations->setOrderBy("NAME");
            QCOMPARE(stations->size(), 4);
            QList<Data_Point*> all;
            for (int s = 0; s < 4; ++s) {
                Data_Point* station = stations->at(s).value();
                QVERIFY(station);
                QCOMPARE(station->NAME(), 100.0 * (s + 1));
                QCOMPARE(station->HasZCoord(), -1);
                QCOMPARE(station->XCoord(), 0.0);
                QCOMPARE(station->IsSampled(), 1);
                QCOMPARE(station->DATA_RECV_QV18(), QByteArray::fromHex("3ff0000000000000"));
                all << station;
            }
            // The samples, read in one statement for the line.
            const QVector<QList<SampleRecord>> records = Data_Point::readSampleRecords(all);
            for (const QList<SampleRecord>& r : records) {
                QCOMPARE(r.size(), 1);
                QCOMPARE(r.first().recv, QByteArray::fromHex("4000000000000000"));
                QCOMPARE(r.first().deviceType, 0);
            }
        }
        // And the samples as entities, their blobs loaded on demand.
        Data_Sample* sample = lines.at(0).value()->REF_Data_Point()->at(0).value()->REF_Data_Sample()->at(0).value();
        QVERIFY(sample);
        QCOMPARE(sample->Data_WorkSetID(), -1);
        sample->update();
        QCOMPARE(sample->DATA_RECV(), QByteArray::fromHex("4000000000000000"));
        QVERIFY(sample->DATA_RECV_LEN().isEmpty());
        for (const QString& line : capture.lines())
            QVERIFY2(!line.contains("false"), qPrintable(line));

        Data_Point* station = lines.at(0).value()->REF_Data_Point()->at(0).value();
        station->setHasZCoord(1);
        QVERIFY(!station->commit());
    }
    QCOMPARE(fileBytes(dir.path()), before);
}

// One rule for every class: a NULL use flag (an older file, or a column
// added by migration) means in use.
void tst_ProjectSchema::nullUseMeansInUse()
{
    OpenProject p;
    {
        RawDb raw(p.path());
        QVERIFY(raw.exec("INSERT INTO Data_Line (ID, NAME, USE) VALUES (1, 1, NULL)"));
        QVERIFY(raw.exec("INSERT INTO Data_Point (ID, NAME, USE, Data_LineID) VALUES (2, 100, NULL, 1)"));
        QVERIFY(raw.exec("INSERT INTO Data_Sample (ID, StartTime, USE, DATA_RECV, Data_PointID) "
                         "VALUES (3, 1, NULL, x'3ff0000000000000', 2)"));
        QVERIFY(raw.exec("INSERT INTO Data_Sample (ID, StartTime, USE, DATA_RECV, Data_PointID) "
                         "VALUES (4, 2, 0, x'4000000000000000', 2)"));
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    Data_Line* line = lines.at(0).value();
    QCOMPARE(line->USE(), 1);
    Data_Point* point = line->REF_Data_Point()->at(0).value();
    QCOMPARE(point->USE(), 1);
    HORM_Collection<Data_Sample>* samples = point->REF_Data_Sample();
    QCOMPARE(samples->at(0).value()->USE(), 1);
    QCOMPARE(samples->at(1).value()->USE(), 0);
    const QList<SampleCurve> curves = point->collectSampleCurves(false);
    QCOMPARE(curves.size(), 1);
    QCOMPARE(curves.first().values, QVector<double>{1.0});
}

QTEST_GUILESS_MAIN(tst_ProjectSchema)
#include "tst_projectschema.moc"
