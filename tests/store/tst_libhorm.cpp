#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

#include <sqlite3.h>

#include "StoreFixture.h"

using namespace storetest;

class tst_LibHORM : public QObject
{
    Q_OBJECT

private slots:
    void open_newFile();
    void open_refusesNonDatabase_data();
    void open_refusesNonDatabase();
    void open_secondObjectOnSameFileIsIndependent();
    void open_failedOpenLeavesOtherConnection();
    void open_damagedFileIsNeverWritten_data();
    void open_damagedFileIsNeverWritten();
    void open_rollsBackACutOffWrite_data();
    void open_rollsBackACutOffWrite();
    void destructor_logsOnlyWhenOpen();
    void backup_isOneCommittedState();
    void backup_ofDamagedFileKeepsItsBytes();

    void sqlTypeName_data();
    void sqlTypeName();
    void createTableStatements_lineTexts();
    void register_newFileCreatesTablesAndIndexes();
    void register_newClassRunsOneTransaction();
    void register_existingCompleteTableRunsProbeOnly();
    void register_addsMissingColumnsInOneTransaction();
    void register_matchesColumnNamesCaseInsensitively();
    void register_findsColumnsByNameNotPosition();
    void register_leavesForeignAndRetypedColumns();
    void register_failingAlterRollsBack();
    void register_failingCreateLeavesNothing();
    void register_withoutConnection();
    void register_lockDuringTheKeyCheckIsNoDamage_data();
    void register_lockDuringTheKeyCheckIsNoDamage();

    void registry_queries();
    void transaction_commitPersists();
    void commit_withoutTransactionLogsAndRollsBack();
    void commit_failedKeepsEveryWrittenEntityPending();
    void commit_failedForgetsRowsItInserted();
    void commit_waitsForABusyDatabase();
};

void tst_LibHORM::open_newFile()
{
    TempProject dir;
    LibHORM lib(nullptr);
    QVERIFY(lib.database() == nullptr);
    QVERIFY(lib.open(dir.path()));
    QVERIFY(lib.database() != nullptr);
    QVERIFY(lib.database()->isOpen());
    QVERIFY(!lib.isDamaged());
    QCOMPARE(lib.path(), dir.path());
    QVERIFY(lib.connectionName().startsWith(dir.path()));
    // An object is opened once.
    QVERIFY(!lib.open(dir.path("other.QELVA")));
    QCOMPARE(lib.path(), dir.path());
}

void tst_LibHORM::open_refusesNonDatabase_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text") << QByteArray("line,station,x,y,z\n1,2,3,4,5\n");
    QTest::newRow("binary") << QByteArray(4096, '\x5a');
    QTest::newRow("truncated header") << QByteArray("SQLite format 3").append(QByteArray(200, '\xff'));
    // SQLite would take it for a new database and write tables into it.
    QTest::newRow("empty file") << QByteArray();
}

void tst_LibHORM::open_refusesNonDatabase()
{
    QFETCH(QByteArray, content);
    TempProject dir;
    const QString path = dir.path("notes.QELVA");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    {
        MessageCapture capture;
        LibHORM lib(nullptr);
        QVERIFY(!lib.open(path));
        QVERIFY(lib.database() == nullptr);
        QVERIFY(lib.path().isEmpty());
        QCOMPARE(capture.count("LibHORM::open"), 1);
    }
    QCOMPARE(fileBytes(path), content);
    // Not even a journal is left beside it.
    QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList("notes.QELVA"));
}

void tst_LibHORM::open_secondObjectOnSameFileIsIndependent()
{
    TempProject dir;
    LibHORM first(nullptr);
    QVERIFY(first.open(dir.path()));
    registerAll(first);
    {
        LibHORM second(nullptr);
        QVERIFY(second.open(dir.path()));
        QVERIFY(second.connectionName() != first.connectionName());
        registerAll(second);
    }
    // Deleting the second object must not have closed or removed the first's connection.
    QVERIFY(QSqlDatabase::contains(first.connectionName()));
    QVERIFY(first.database()->isOpen());
    HORM_Collection<Data_Line> lines(&first);
    lines.addNew().value()->setNAME(4);
    QSqlQuery q(*first.database());
    QVERIFY(q.exec("SELECT COUNT(*) FROM Data_Line"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
}

void tst_LibHORM::open_failedOpenLeavesOtherConnection()
{
    TempProject dir;
    const QString path = dir.path();
    LibHORM good(nullptr);
    QVERIFY(good.open(path));
    {
        // A directory cannot be opened as a database.
        LibHORM bad(nullptr);
        QVERIFY(!bad.open(dir.path("")));
        QVERIFY(!bad.open(QString()));
    }
    QVERIFY(QSqlDatabase::contains(good.connectionName()));
    QSqlQuery q(*good.database());
    QVERIFY(q.exec("CREATE TABLE t (a INTEGER)"));
}

void tst_LibHORM::open_damagedFileIsNeverWritten_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("header page count too small") << 0;
    QTest::newRow("scribbled table page") << 1;
    QTest::newRow("index that disagrees with its table") << 2;
}

void tst_LibHORM::open_damagedFileIsNeverWritten()
{
    QFETCH(int, damage);
    TempProject dir;
    const QString path = dir.path();
    {
        // Lines, a station and a table that is still to be created (the
        // sample table), all of which a first load would write to.
        LibHORM lib(nullptr);
        QVERIFY(lib.open(path));
        lib.RegisterObject(Data_Project::staticMetaObject);
        lib.RegisterObject(Data_Line::staticMetaObject);
        lib.RegisterObject(Data_Point::staticMetaObject);
        HORM_Collection<Data_Line> lines(&lib);
        lib.transaction();
        for (int i = 0; i < 40; ++i) {
            Data_Line* line = lines.addNew().value();
            line->setNAME(i);
            line->setNOTE(QString(200, QChar('a' + i % 26)));
            line->commit();
        }
        lines.at(0).value()->REF_Data_Point()->addNew();
        QVERIFY(lib.commit());
    }
    if (damage == 0) {
        QVERIFY(shortenPageCount(path, 2));
    } else if (damage == 1) {
        QVERIFY(scribbleOverPage(path, 3));
    } else {
        // The lines' numbers 0 to 39 are not their keys 1 to 40.
        QVERIFY(indexOtherColumn(path, "IDX_Data_Line_ID_", "ID", "NAME"));
        RawDb raw(path);
        QCOMPARE(raw.scalar("PRAGMA quick_check").toString(), QString("ok"));
    }
    const QByteArray before = fileBytes(path);

    {
        MessageCapture capture;
        LibHORM lib(nullptr);
        QVERIFY(lib.open(path));
        QVERIFY(lib.isDamaged());
        QVERIFY(capture.count("LibHORM::open") >= 1);
        registerAll(lib);
        HORM_Collection<Data_Line> lines(&lib);
        lib.transaction();
        for (int i = 0; i < lines.size(); ++i) {
            if (Data_Line* line = lines.at(i).value()) {
                line->setNOTE("edited");
                QVERIFY(!line->commit());
                QVERIFY(line->isDirty());
            }
        }
        QVERIFY(lines.addNew().value()->ID() < 0);
        lib.commit();
        QSqlQuery q(*lib.database());
        QVERIFY(!q.exec("CREATE TABLE extra (a INTEGER)"));
    }
    QCOMPARE(fileBytes(path), before);
}

void tst_LibHORM::open_rollsBackACutOffWrite_data()
{
    QTest::addColumn<QString>("journal");
    QTest::addColumn<bool>("rolledBack");
    QTest::newRow("none") << "none" << false;
    QTest::newRow("left by a write that was cut off") << "cut off" << true;
    // What a finished transaction in persistent journal mode leaves.
    QTest::newRow("zeroed header") << "zeroed" << false;
}

// A write that was cut off is rolled back by the open, which is then known
// to have written the file; other journals leave the file as it was.
void tst_LibHORM::open_rollsBackACutOffWrite()
{
    QFETCH(QString, journal);
    QFETCH(bool, rolledBack);
    TempProject dir;
    const QString sound = dir.path("sound.QELVA");
    {
        OpenProject project;
        HORM_Collection<Data_Line> lines(project.lib.get());
        Data_Line* line = lines.addNew().value();
        line->setNAME(3);
        QVERIFY(line->commit());
        project.lib.reset();
        QVERIFY(QFile::copy(project.path(), sound));
    }
    const QByteArray original = fileBytes(sound);
    const QString path = dir.path();
    if (journal == "cut off") {
        QVERIFY(cutOffWrite(sound, path));
        QVERIFY(fileBytes(path) != original);
    } else {
        QVERIFY(QFile::copy(sound, path));
        if (journal == "zeroed")
            QVERIFY(writeBytes(path + "-journal", QByteArray(512, '\0')));
    }

    {
        LibHORM lib(nullptr);
        QVERIFY(lib.open(path));
        QVERIFY(!lib.isDamaged());
        QCOMPARE(lib.rolledBackAtOpen(), rolledBack);
    }
    QCOMPARE(fileBytes(path), original);
    if (rolledBack)
        QVERIFY(!QFile::exists(path + "-journal"));
    RawDb raw(path);
    QCOMPARE(raw.column("SELECT NAME FROM Data_Line"), QVariantList({3.0}));
}

// The backup is the file as its last commit left it: while another program
// is in the middle of a write that already reached the file (a plain copy
// would hold half of it), the backup is refused as in use; a write not yet
// committed is not in it.
void tst_LibHORM::backup_isOneCommittedState()
{
    TempProject dir;
    const QString backup = dir.path("project_raw.QELVA");
    {
        LibHORM lib(nullptr);
        QVERIFY(lib.open(dir.path()));
        registerAll(lib);
        HORM_Collection<Data_Line> lines(&lib);
        for (int l = 1; l <= 3; ++l) {
            Data_Line* line = lines.addNew().value();
            line->setNAME(l);
            QVERIFY(line->commit());
        }
    }
    const QByteArray committedBytes = fileBytes(dir.path());
    const QStringList committed = RawDb(dir.path()).contents();

    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    lib.setBusyTimeout(20);
    {
        RawDb writer(dir.path());
        // A cache smaller than the write makes the writer put pages into
        // the file before its commit.
        QVERIFY(writer.exec("PRAGMA cache_size = 10") && writer.exec("BEGIN")
                && writer.exec("CREATE TABLE cut_off (a BLOB)")
                && writer.exec("INSERT INTO cut_off VALUES (zeroblob(400000))"));
        QVERIFY(fileBytes(dir.path()) != committedBytes);
        const int refused = lib.busyFailures();
        QVERIFY(!lib.backupTo(backup));
        QVERIFY(lib.busyFailures() > refused);
        QVERIFY(!QFile::exists(backup));
        writer.release();
    }
    QCOMPARE(fileBytes(dir.path()), committedBytes);
    QCOMPARE(QDir(dir.path("")).entryList(QDir::Files), QStringList{"project.QELVA"});

    RawDb writer(dir.path());
    QVERIFY(writer.exec("BEGIN IMMEDIATE") && writer.exec("INSERT INTO Data_Line (NAME) VALUES (9)"));
    QVERIFY(lib.backupTo(backup));
    QVERIFY(writer.exec("COMMIT"));
    QCOMPARE(RawDb(backup).contents(), committed);
    QCOMPARE(RawDb(backup).scalar("PRAGMA integrity_check").toString(), QString("ok"));
    // An existing backup is never replaced.
    QVERIFY(!lib.backupTo(backup));
    QCOMPARE(RawDb(backup).contents(), committed);
}

void tst_LibHORM::backup_ofDamagedFileKeepsItsBytes()
{
    OpenProject p;
    HORM_Collection<Data_Line> lines(p.lib.get());
    for (int l = 1; l <= 40; ++l) {
        Data_Line* line = lines.addNew().value();
        line->setNOTE(QString(200, QChar('a' + l % 26)));
        QVERIFY(line->commit());
    }
    p.lib.reset();
    QVERIFY(shortenPageCount(p.path(), 2));
    const QByteArray damaged = fileBytes(p.path());
    LibHORM lib(nullptr);
    QVERIFY(lib.open(p.path()));
    QVERIFY(lib.isDamaged());
    const QString backup = p.dir.path("project_raw.QELVA");
    QVERIFY(lib.backupTo(backup));
    QCOMPARE(fileBytes(backup), damaged);
    QCOMPARE(fileBytes(p.path()), damaged);
}

void tst_LibHORM::destructor_logsOnlyWhenOpen()
{
    TempProject dir;
    MessageCapture capture;
    QString connection;
    {
        LibHORM lib(nullptr);
        QVERIFY(lib.open(dir.path()));
        connection = lib.connectionName();
    }
    QCOMPARE(capture.count("LibHORM::~LibHORM"), 1);
    QVERIFY(!QSqlDatabase::contains(connection));
    capture.clear();
    {
        LibHORM never(nullptr);
    }
    QCOMPARE(capture.lines(), QStringList());
}

void tst_LibHORM::sqlTypeName_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("word");
    QTest::newRow("bool") << int(QMetaType::Bool) << "INTEGER";
    QTest::newRow("int") << int(QMetaType::Int) << "INTEGER";
    QTest::newRow("uint") << int(QMetaType::UInt) << "INTEGER";
    QTest::newRow("qlonglong") << int(QMetaType::LongLong) << "INTEGER";
    QTest::newRow("qulonglong") << int(QMetaType::ULongLong) << "INTEGER";
    QTest::newRow("long") << int(QMetaType::Long) << "INTEGER";
    QTest::newRow("short") << int(QMetaType::Short) << "INTEGER";
    QTest::newRow("char") << int(QMetaType::Char) << "INTEGER";
    QTest::newRow("ulong") << int(QMetaType::ULong) << "INTEGER";
    QTest::newRow("ushort") << int(QMetaType::UShort) << "INTEGER";
    QTest::newRow("uchar") << int(QMetaType::UChar) << "INTEGER";
    QTest::newRow("double") << int(QMetaType::Double) << "REAL";
    QTest::newRow("float") << int(QMetaType::Float) << "REAL";
    QTest::newRow("QString") << int(QMetaType::QString) << "TEXT";
    QTest::newRow("QByteArray") << int(QMetaType::QByteArray) << "BLOB";
    QTest::newRow("QBitArray") << int(QMetaType::QBitArray) << "BLOB";
    QTest::newRow("QDateTime") << int(QMetaType::QDateTime) << "NULL";
    QTest::newRow("QStringList") << int(QMetaType::QStringList) << "NULL";
}

void tst_LibHORM::sqlTypeName()
{
    QFETCH(int, type);
    QFETCH(QString, word);
    QCOMPARE(LibHORM::sqlTypeName(type), word);
}

void tst_LibHORM::createTableStatements_lineTexts()
{
    QCOMPARE(LibHORM::createTableStatements(Data_Line::staticMetaObject),
             QStringList()
                 << "CREATE TABLE Data_Line (ID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT , NAME REAL , TYPE INTEGER , "
                    "USE INTEGER , NOTE TEXT , SampleMode INTEGER );"
                 << "CREATE INDEX IDX_Data_Line_ID_ ON Data_Line ( ID );");
    const QStringList point = LibHORM::createTableStatements(Data_Point::staticMetaObject);
    QCOMPARE(point.size(), 3);
    QCOMPARE(point.at(1), QString("CREATE INDEX IDX_Data_Point_ID_ ON Data_Point ( ID );"));
    QCOMPARE(point.at(2), QString("CREATE INDEX IDX_Data_Point_Data_LineID_ ON Data_Point ( Data_LineID );"));
}

void tst_LibHORM::register_newFileCreatesTablesAndIndexes()
{
    OpenProject p;
    RawDb raw(p.path());
    QStringList expected;
    const QMetaObject* classes[] = {&Data_Project::staticMetaObject, &Data_Line::staticMetaObject,
                                    &Data_Point::staticMetaObject, &Data_Sample::staticMetaObject,
                                    &Data_WorkSet::staticMetaObject};
    for (const QMetaObject* meta : classes) {
        const QStringList statements = LibHORM::createTableStatements(*meta);
        for (const QString& s : statements) {
            const QString type = s.startsWith("CREATE TABLE") ? "table" : "index";
            const QString name = s.section(' ', 2, 2);
            // SQLite keeps the statement text without the final semicolon.
            expected << type + ' ' + name + ' ' + s.left(s.size() - 1);
        }
    }
    expected << "table sqlite_sequence CREATE TABLE sqlite_sequence(name,seq)";
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return a.section(' ', 1, 1) < b.section(' ', 1, 1);
    });
    QCOMPARE(raw.schema(), expected);
}

void tst_LibHORM::register_newClassRunsOneTransaction()
{
    TempProject dir;
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    QStringList trace;
    lib.setStatementTrace(&trace);
    QVERIFY(lib.RegisterObject(Data_Point::staticMetaObject));
    const QStringList create = LibHORM::createTableStatements(Data_Point::staticMetaObject);
    QCOMPARE(trace, QStringList() << "select * from Data_Point LIMIT 0"
                                  << "BEGIN" << create << "COMMIT");
    // Twice: the table is found, only the probe runs.
    trace.clear();
    QVERIFY(!lib.RegisterObject(Data_Point::staticMetaObject));
    QCOMPARE(trace, QStringList() << "select * from Data_Point LIMIT 0");
}

void tst_LibHORM::register_existingCompleteTableRunsProbeOnly()
{
    TempProject dir;
    {
        LibHORM lib(nullptr);
        QVERIFY(lib.open(dir.path()));
        registerAll(lib);
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    QStringList trace;
    lib.setStatementTrace(&trace);
    QVERIFY(!lib.RegisterObject(Data_Sample::staticMetaObject));
    QCOMPARE(trace, QStringList() << "select * from Data_Sample LIMIT 0");
}

void tst_LibHORM::register_addsMissingColumnsInOneTransaction()
{
    TempProject dir;
    {
        RawDb raw(dir.path());
        // An older line table: no NOTE, no SampleMode.
        QVERIFY(raw.exec("CREATE TABLE Data_Line (ID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT , NAME REAL , "
                         "TYPE INTEGER , USE INTEGER );"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME, TYPE, USE) VALUES (10, 2, 1)"));
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    QStringList trace;
    lib.setStatementTrace(&trace);
    QVERIFY(lib.RegisterObject(Data_Line::staticMetaObject));
    QCOMPARE(trace, QStringList() << "select * from Data_Line LIMIT 0"
                                  << "BEGIN"
                                  << "ALTER TABLE Data_Line ADD COLUMN NOTE TEXT"
                                  << "ALTER TABLE Data_Line ADD COLUMN SampleMode INTEGER"
                                  << "COMMIT");
    RawDb raw(dir.path());
    QCOMPARE(raw.tableColumns("Data_Line"), QStringList() << "ID" << "NAME" << "TYPE" << "USE" << "NOTE" << "SampleMode");
    QCOMPARE(raw.scalar("SELECT NAME || ',' || TYPE || ',' || USE FROM Data_Line").toString(), QString("10.0,2,1"));
    QVERIFY(raw.scalar("SELECT NOTE FROM Data_Line").isNull());
}

void tst_LibHORM::register_matchesColumnNamesCaseInsensitively()
{
    TempProject dir;
    {
        RawDb raw(dir.path());
        QVERIFY(raw.exec("CREATE TABLE Data_Line (id INTEGER PRIMARY KEY AUTOINCREMENT, name REAL, type INTEGER, "
                         "use INTEGER, Note TEXT, samplemode INTEGER)"));
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    QStringList trace;
    lib.setStatementTrace(&trace);
    QVERIFY(!lib.RegisterObject(Data_Line::staticMetaObject));
    QCOMPARE(trace.size(), 1);
    RawDb raw(dir.path());
    QCOMPARE(raw.tableColumns("Data_Line").size(), 6);
}

void tst_LibHORM::register_findsColumnsByNameNotPosition()
{
    TempProject dir;
    {
        RawDb raw(dir.path());
        // An older table whose key is not its first column.
        QVERIFY(raw.exec("CREATE TABLE Data_Line (NAME REAL, ID INTEGER PRIMARY KEY AUTOINCREMENT, TYPE INTEGER)"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME, TYPE) VALUES (12.5, 0)"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME, TYPE) VALUES (13.5, 0)"));
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    QStringList trace;
    lib.setStatementTrace(&trace);
    QVERIFY(lib.RegisterObject(Data_Line::staticMetaObject));
    QCOMPARE(trace, QStringList() << "select * from Data_Line LIMIT 0"
                                  << "BEGIN"
                                  << "ALTER TABLE Data_Line ADD COLUMN USE INTEGER"
                                  << "ALTER TABLE Data_Line ADD COLUMN NOTE TEXT"
                                  << "ALTER TABLE Data_Line ADD COLUMN SampleMode INTEGER"
                                  << "COMMIT");
    lib.setStatementTrace(nullptr);
    HORM_Collection<Data_Line> lines(&lib);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(1).value());
    QCOMPARE(lines.at(1).value()->NAME(), 13.5);
    QCOMPARE(lines.at(1).value()->ID(), 2);
}

void tst_LibHORM::register_leavesForeignAndRetypedColumns()
{
    TempProject dir;
    QStringList before;
    {
        RawDb raw(dir.path());
        QVERIFY(raw.exec("CREATE TABLE Data_Line (ID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT , NAME TEXT , "
                         "TYPE INTEGER , USE INTEGER , NOTE TEXT , SampleMode INTEGER , Surveyor TEXT )"));
        QVERIFY(raw.exec("INSERT INTO Data_Line (NAME, Surveyor) VALUES ('A-1', 'li')"));
        before = raw.schema();
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    QVERIFY(!lib.RegisterObject(Data_Line::staticMetaObject));
    RawDb raw(dir.path());
    QCOMPARE(raw.schema(), before);
    QCOMPARE(raw.scalar("SELECT Surveyor FROM Data_Line").toString(), QString("li"));
}

void tst_LibHORM::register_failingAlterRollsBack()
{
    TempProject dir;
    QStringList before;
    {
        RawDb raw(dir.path());
        // A view can be probed but not altered.
        QVERIFY(raw.exec("CREATE TABLE base (ID INTEGER PRIMARY KEY, NAME REAL)"));
        QVERIFY(raw.exec("CREATE VIEW Data_Line AS SELECT ID, NAME FROM base"));
        QVERIFY(raw.exec("INSERT INTO base (ID, NAME) VALUES (4, 12.5)"));
        before = raw.schema();
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    QStringList trace;
    lib.setStatementTrace(&trace);
    QVERIFY(!lib.RegisterObject(Data_Line::staticMetaObject));
    QCOMPARE(trace, QStringList() << "select * from Data_Line LIMIT 0"
                                  << "BEGIN"
                                  << "ALTER TABLE Data_Line ADD COLUMN TYPE INTEGER"
                                  << "ROLLBACK"
                                  << "select * from Data_Line LIMIT 0");
    RawDb raw(dir.path());
    QCOMPARE(raw.schema(), before);
    // The registry is filled all the same, and the rows read with the
    // columns that could not be added at their defaults.
    QStringList names, types;
    QVERIFY(lib.columns("Data_Line", names, types));
    QCOMPARE(lib.absentColumns("Data_Line"), QStringList() << "TYPE" << "USE" << "NOTE" << "SampleMode");
    lib.setStatementTrace(nullptr);
    HORM_Collection<Data_Line> lines(&lib);
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.at(0).value());
    QCOMPARE(lines.at(0).value()->NAME(), 12.5);
    QCOMPARE(lines.at(0).value()->USE(), 1);
}

void tst_LibHORM::register_failingCreateLeavesNothing()
{
    TempProject dir;
    {
        RawDb raw(dir.path());
        // The line table's index name is taken, so its second statement fails.
        QVERIFY(raw.exec("CREATE TABLE other (a INTEGER)"));
        QVERIFY(raw.exec("CREATE INDEX IDX_Data_Line_ID_ ON other ( a )"));
    }
    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    MessageCapture capture;
    QVERIFY(!lib.RegisterObject(Data_Line::staticMetaObject));
    QCOMPARE(capture.count("LibHORM::RegisterObject"), 1);
    QVERIFY(capture.lines().first().contains("CREATE INDEX IDX_Data_Line_ID_ ON Data_Line ( ID );"));
    RawDb raw(dir.path());
    QVERIFY(raw.column("SELECT name FROM sqlite_master WHERE tbl_name = 'Data_Line'").isEmpty());
}

void tst_LibHORM::register_withoutConnection()
{
    LibHORM lib(nullptr);
    MessageCapture capture;
    QVERIFY(!lib.RegisterObject(Data_Line::staticMetaObject));
    QVERIFY(!lib.transaction());
    lib.commit();
    QStringList names, types;
    QVERIFY(lib.columns("Data_Line", names, types));
}

namespace {

// Another program that takes the file for writing just as the connection
// starts the statement that checks one table's key: the statement's read
// then meets the lock.
struct KeyCheckLock {
    QByteArray check;   // text of that statement only
    RawDb* other = nullptr;
    bool taken = false;
};

int lockAtKeyCheck(unsigned event, void* context, void*, void* sql)
{
    KeyCheckLock* lock = static_cast<KeyCheckLock*>(context);
    if (event == SQLITE_TRACE_STMT && !lock->taken && QByteArray(static_cast<const char*>(sql)).contains(lock->check))
        lock->taken = lock->other->holdWriteLock();
    return 0;
}

sqlite3* handleOf(const LibHORM& lib)
{
    const QVariant handle = lib.database() ? lib.database()->driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

} // namespace

void tst_LibHORM::register_lockDuringTheKeyCheckIsNoDamage_data()
{
    QTest::addColumn<QString>("table");
    QTest::newRow("the first table's key") << "Data_Project";
    QTest::newRow("a key after others passed") << "Data_Sample";
}

// A lock that another program takes while a table's key is checked (the
// open's integrity check has passed) leaves the file unread, as any lock
// does: the file is not taken for damaged, and once the program is done the
// same session reads and writes it.
void tst_LibHORM::register_lockDuringTheKeyCheckIsNoDamage()
{
    QFETCH(QString, table);
    TempProject dir;
    {
        LibHORM lib(nullptr);
        QVERIFY(lib.open(dir.path()));
        registerAll(lib);
    }
    const QByteArray before = fileBytes(dir.path());
    const QList<const QMetaObject*> schema{&Data_Project::staticMetaObject, &Data_Line::staticMetaObject,
                                           &Data_Point::staticMetaObject, &Data_Sample::staticMetaObject,
                                           &Data_WorkSet::staticMetaObject};
    const QList<const QMetaObject*> spare{&Data_WorkSet::staticMetaObject};

    LibHORM lib(nullptr);
    QVERIFY(lib.open(dir.path()));
    lib.setBusyTimeout(20);
    sqlite3* db = handleOf(lib);
    QVERIFY(db);
    RawDb other(dir.path());
    KeyCheckLock lock;
    lock.check = QString("pragma_table_info('%1')").arg(table).toUtf8();
    lock.other = &other;
    QCOMPARE(sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &lockAtKeyCheck, &lock), SQLITE_OK);
    const int refused = lib.busyFailures();
    const bool registered = lib.registerSchema(schema, spare);
    // A connection reopened read-only has a handle of its own.
    if (handleOf(lib) == db)
        sqlite3_trace_v2(db, 0, nullptr, nullptr);
    other.release();

    QVERIFY(lock.taken);
    QVERIFY(!registered);
    QVERIFY(lib.busyFailures() > refused);
    QVERIFY(!lib.isDamaged());
    QVERIFY(!lib.isReadOnly());
    QCOMPARE(fileBytes(dir.path()), before);

    QVERIFY(lib.registerSchema(schema, spare));
    HORM_Collection<Data_Line> lines(&lib);
    Data_Line* line = lines.addNew().value();
    QVERIFY(line);
    line->setNAME(7);
    QVERIFY(line->commit());
    RawDb raw(dir.path());
    QCOMPARE(raw.column("SELECT NAME FROM Data_Line"), QVariantList{7.0});
}

void tst_LibHORM::registry_queries()
{
    OpenProject p;
    QStringList names, types;
    QVERIFY(p.lib->columns("Data_Line", names, types));
    QCOMPARE(names, QStringList() << "NAME" << "TYPE" << "USE" << "NOTE" << "SampleMode");
    QCOMPARE(types, QStringList() << "REAL" << "INTEGER" << "INTEGER" << "TEXT" << "INTEGER");
    QString keyName, keyType;
    QVERIFY(p.lib->keyInfo("Data_Sample", keyName, keyType));
    QCOMPARE(keyName, QString("ID"));
    QCOMPARE(keyType, QString("INTEGER"));
    QStringList children;
    QVERIFY(p.lib->references("Data_Line", children));
    QCOMPARE(children, QStringList() << "Data_Point");
    QVERIFY(p.lib->references("Data_Point", children));
    QCOMPARE(children, QStringList() << "Data_Sample");
    QVERIFY(p.lib->references("Data_Sample", children));
    QVERIFY(children.isEmpty());
    QVERIFY(!p.lib->columns("Data_Unknown", names, types));
    QVERIFY(!p.lib->keyInfo("Data_Unknown", keyName, keyType));
    QVERIFY(!p.lib->references("Data_Unknown", children));
}

void tst_LibHORM::transaction_commitPersists()
{
    OpenProject p;
    {
        HORM_Collection<Data_Line> lines(p.lib.get());
        p.lib->transaction();
        for (int i = 0; i < 3; ++i) {
            Data_Line* line = lines.addNew().value();
            line->setNAME(i);
            line->commit();
        }
        p.lib->commit();
    }
    p.lib.reset();
    RawDb raw(p.path());
    QCOMPARE(raw.scalar("SELECT COUNT(*) FROM Data_Line").toInt(), 3);
}

void tst_LibHORM::commit_withoutTransactionLogsAndRollsBack()
{
    OpenProject p;
    QStringList trace;
    p.lib->setStatementTrace(&trace);
    MessageCapture capture;
    p.lib->commit();
    QCOMPARE(trace, QStringList() << "COMMIT" << "ROLLBACK");
    QCOMPARE(capture.lines(), QStringList() << "LibHORM::commit false");
}

// A transaction whose COMMIT fails (another program reads the file) wrote
// nothing: every entity written in it must be written again by the next one.
void tst_LibHORM::commit_failedKeepsEveryWrittenEntityPending()
{
    OpenProject p;
    {
        HORM_Collection<Data_Line> lines(p.lib.get());
        Data_Line* line = lines.addNew().value();
        line->setNAME(1);
        line->commit();
        Data_Point* point = line->REF_Data_Point()->addNew().value();
        point->REF_Data_Sample()->addNew().value()->setDATA_RECV(QByteArray("old"));
    }
    HORM_Collection<Data_Line> lines(p.lib.get());
    Data_Line* line = lines.at(0).value();
    Data_Point* point = line->REF_Data_Point()->at(0).value();
    Data_Sample* sample = point->REF_Data_Sample()->at(0).value();
    const QByteArray before = fileBytes(p.path());

    RawDb reader(p.path());
    QVERIFY(reader.holdReadLock());
    p.lib->setBusyTimeout(20);
    QVERIFY(p.lib->transaction());
    line->setNOTE("edited");
    point->setXCoord(512.5);
    point->setHasZCoord(1);
    sample->setDATA_RECV(QByteArray("new"));
    QVERIFY(line->commit());
    QVERIFY(point->commit());
    QVERIFY(sample->commit());
    QVERIFY(!line->isDirty() && !point->isDirty() && !sample->isDirty());
    MessageCapture capture;
    QVERIFY(!p.lib->commit());
    QCOMPARE(capture.count("LibHORM::commit"), 1);
    QVERIFY(line->isDirty());
    QVERIFY(point->isDirty());
    QVERIFY(sample->isDirty());
    // The unwritten blob is kept when loaded blobs are dropped.
    sample->releaseLazyColumns();
    QCOMPARE(sample->DATA_RECV(), QByteArray("new"));
    reader.release();
    QCOMPARE(fileBytes(p.path()), before);

    // The next save writes all of it.
    p.lib->setBusyTimeout(LibHORM::kBusyTimeoutMs);
    QVERIFY(p.lib->transaction());
    QVERIFY(line->commit() && point->commit() && sample->commit());
    QVERIFY(p.lib->commit());
    RawDb raw(p.path());
    QCOMPARE(raw.scalar("SELECT NOTE FROM Data_Line").toString(), QString("edited"));
    QCOMPARE(raw.scalar("SELECT XCoord FROM Data_Point").toDouble(), 512.5);
    QCOMPARE(raw.scalar("SELECT HasZCoord FROM Data_Point").toInt(), 1);
    QCOMPARE(raw.scalar("SELECT DATA_RECV FROM Data_Sample").toByteArray(), QByteArray("new"));
}

void tst_LibHORM::commit_failedForgetsRowsItInserted()
{
    OpenProject p;
    HORM_Collection<Data_Line> lines(p.lib.get());
    RawDb reader(p.path());
    QVERIFY(reader.holdReadLock());
    p.lib->setBusyTimeout(20);
    QVERIFY(p.lib->transaction());
    Data_Line* lost = lines.addNew().value();
    QVERIFY(lost->hasStoredKey());
    QVERIFY(!p.lib->commit());
    reader.release();
    // SQLite hands the rolled-back key to the next new row: the entity that
    // held it must never name that row.
    QVERIFY(!lost->hasStoredKey());
    QVERIFY(lost->isDirty());
    Data_Line* next = lines.addNew().value();
    next->setNOTE("next");
    QVERIFY(next->commit());
    lost->setNOTE("lost");
    QVERIFY(!lost->commit());
    QVERIFY(lost->REF_Data_Point()->addNew().value() == nullptr);
    RawDb raw(p.path());
    QCOMPARE(raw.column("SELECT NOTE FROM Data_Line"), QVariantList{QString("next")});
    QCOMPARE(raw.scalar("SELECT COUNT(*) FROM Data_Point").toInt(), 0);
}

namespace {

// Holds a read lock on a file from another thread until told to let go.
class LockingReader : public QThread
{
public:
    explicit LockingReader(const QString& path) : m_path(path) {}
    QSemaphore locked;
    QSemaphore letGo;

protected:
    void run() override
    {
        {
            RawDb reader(m_path);
            reader.holdReadLock();
            locked.release();
            letGo.acquire();
            reader.release();
        }
    }

private:
    QString m_path;
};

} // namespace

void tst_LibHORM::commit_waitsForABusyDatabase()
{
    OpenProject p;
    HORM_Collection<Data_Line> lines(p.lib.get());
    Data_Line* line = lines.addNew().value();
    LockingReader reader(p.path());
    reader.start();
    reader.locked.acquire();
    QVERIFY(p.lib->transaction());
    line->setNOTE("after the reader");
    QVERIFY(line->commit());
    // The reader lets go while the COMMIT waits; the busy timeout (seconds)
    // is far longer than that.
    QThread* releaser = QThread::create([&reader] {
        QThread::msleep(100);
        reader.letGo.release();
    });
    releaser->start();
    QVERIFY(p.lib->commit());
    releaser->wait();
    delete releaser;
    reader.wait();
    QVERIFY(!line->isDirty());
    RawDb raw(p.path());
    QCOMPARE(raw.scalar("SELECT NOTE FROM Data_Line").toString(), QString("after the reader"));
}

QTEST_GUILESS_MAIN(tst_LibHORM)
#include "tst_libhorm.moc"
