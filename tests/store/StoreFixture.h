#ifndef HW_TESTS_STORE_STOREFIXTURE_H
#define HW_TESTS_STORE_STOREFIXTURE_H

// Small project files for the store tests: current files are made through
// the store itself, older or damaged ones with raw SQL on a connection of
// the test's own.

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <memory>

#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/Data_Project.h"
#include "store/Data_Sample.h"
#include "store/Data_WorkSet.h"
#include "store/LibHORM.h"

namespace storetest {

// Collects debug output while alive.
class MessageCapture
{
public:
    MessageCapture()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler(&MessageCapture::handler);
    }
    ~MessageCapture() { qInstallMessageHandler(m_previous); }
    QStringList lines() const { return s_lines; }
    int count(const QString& prefix) const
    {
        int n = 0;
        for (const QString& l : s_lines)
            n += l.startsWith(prefix) ? 1 : 0;
        return n;
    }
    void clear() { s_lines.clear(); }

private:
    static void handler(QtMsgType, const QMessageLogContext&, const QString& msg) { s_lines << msg; }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

// Registers the five entity classes in the loading order.
inline void registerAll(LibHORM& lib)
{
    lib.RegisterObject(Data_Project::staticMetaObject);
    lib.RegisterObject(Data_Line::staticMetaObject);
    lib.RegisterObject(Data_Point::staticMetaObject);
    lib.RegisterObject(Data_Sample::staticMetaObject);
    lib.RegisterObject(Data_WorkSet::staticMetaObject);
}

// A raw SQLite connection of the test's own on a file, for building old or
// damaged files and for reading back what the store wrote.
class RawDb
{
public:
    explicit RawDb(const QString& path)
        : m_name(QString("raw-%1-%2").arg(path).arg(++s_counter))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDb()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_name));
        const bool ok = q.exec(sql);
        if (!ok)
            qWarning("raw exec failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return ok;
    }
    // First column of every row of a query.
    QVariantList column(const QString& sql)
    {
        QVariantList out;
        QSqlQuery q(QSqlDatabase::database(m_name));
        if (!q.exec(sql))
            return out;
        while (q.next())
            out << q.value(0);
        return out;
    }
    QVariant scalar(const QString& sql)
    {
        const QVariantList v = column(sql);
        return v.isEmpty() ? QVariant() : v.first();
    }
    // Holds a read lock on the file until release(): a writer's COMMIT then
    // waits for it and fails once its busy timeout has passed.
    bool holdReadLock()
    {
        return exec("BEGIN") && exec("SELECT COUNT(*) FROM sqlite_master");
    }
    // Holds an exclusive lock until release(), as a program writing the
    // file does: no other connection can read it meanwhile.
    bool holdWriteLock() { return exec("BEGIN EXCLUSIVE"); }
    void release() { exec("ROLLBACK"); }
    // Column names of a table in table order.
    QStringList tableColumns(const QString& table)
    {
        QStringList out;
        for (const QVariant& v : column(QString("SELECT name FROM pragma_table_info('%1') ORDER BY cid").arg(table)))
            out << v.toString();
        return out;
    }
    QStringList tableTypes(const QString& table)
    {
        QStringList out;
        for (const QVariant& v : column(QString("SELECT type FROM pragma_table_info('%1') ORDER BY cid").arg(table)))
            out << v.toString();
        return out;
    }
    // The schema and every row of every table, one text per row, in name
    // and row order: what a file holds, whatever its pages look like.
    QStringList contents()
    {
        QStringList out = schema();
        for (const QVariant& table : column("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
            QSqlQuery q(QSqlDatabase::database(m_name));
            q.exec(QString("SELECT * FROM \"%1\" ORDER BY rowid").arg(table.toString()));
            while (q.next()) {
                QStringList values{table.toString()};
                for (int i = 0; i < q.record().count(); ++i) {
                    const QVariant v = q.value(i);
                    values << (v.isNull() ? QString("NULL") : v.type() == QVariant::ByteArray
                                                               ? QString::fromLatin1(v.toByteArray().toHex())
                                                               : v.toString());
                }
                out << values.join('|');
            }
        }
        return out;
    }
    // Schema objects, "type name sql" per line, in name order.
    QStringList schema()
    {
        QStringList out;
        QSqlQuery q(QSqlDatabase::database(m_name));
        q.exec("SELECT type, name, sql FROM sqlite_master ORDER BY name");
        while (q.next())
            out << q.value(0).toString() + ' ' + q.value(1).toString() + ' ' + q.value(2).toString();
        return out;
    }

private:
    static inline int s_counter = 0;
    QString m_name;
};

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Damage of the kinds seen in the field, made on a copy of a sound file:
// the header's page count made too small by `missingPages`, or the first
// `bytes` bytes of page `page` (1-based) overwritten.
inline bool shortenPageCount(const QString& path, quint32 missingPages)
{
    QByteArray b = fileBytes(path);
    if (b.size() < 100)
        return false;
    const quint32 pages = (quint32(uchar(b[28])) << 24) | (quint32(uchar(b[29])) << 16) | (quint32(uchar(b[30])) << 8)
                          | quint32(uchar(b[31]));
    if (pages <= missingPages)
        return false;
    const quint32 n = pages - missingPages;
    b[28] = char(n >> 24);
    b[29] = char(n >> 16);
    b[30] = char(n >> 8);
    b[31] = char(n);
    return writeBytes(path, b);
}

inline bool scribbleOverPage(const QString& path, int page, int bytes = 64)
{
    QByteArray b = fileBytes(path);
    const int pageSize = b.size() >= 18 ? ((uchar(b[16]) << 8) | uchar(b[17])) : 0;
    const int at = (page - 1) * pageSize;
    if (pageSize <= 0 || at + bytes > b.size())
        return false;
    for (int i = 0; i < bytes; ++i)
        b[at + i] = char(0xA5);
    return writeBytes(path, b);
}

// Damage that SQLite's quick check does not see: the index's entries stay
// those of `column`, while the schema says it holds `otherColumn`.
inline bool indexOtherColumn(const QString& path, const QString& index, const QString& column,
                             const QString& otherColumn)
{
    RawDb raw(path);
    return raw.exec("PRAGMA writable_schema = ON")
           && raw.exec(QString("UPDATE sqlite_master SET sql = replace(sql, '( %1 )', '( %2 )') WHERE name = '%3'")
                           .arg(column, otherColumn, index))
           && raw.scalar(QString("SELECT sql FROM sqlite_master WHERE name = '%1'").arg(index)).toString()
                  .contains(otherColumn)
           && raw.exec("PRAGMA writable_schema = OFF");
}

// Damage that no read reports: while `statements` run, the index `index`
// on ID neither gains nor loses the entry of a row whose key is `key` or
// more (it is a partial index meanwhile). A count that SQLite takes from the
// index then disagrees with the rows of its table.
inline bool outsideIndex(const QString& path, const QString& index, qint64 key, const QStringList& statements)
{
    const QString partial = QString(" WHERE ID < %1").arg(key);
    const auto rewrite = [&](const QString& sql) {
        RawDb raw(path);
        return raw.exec("PRAGMA writable_schema = ON")
               && raw.exec(QString("UPDATE sqlite_master SET sql = %1 WHERE name = '%2'").arg(sql, index))
               && raw.exec("PRAGMA writable_schema = OFF");
    };
    if (!rewrite(QString("sql || '%1'").arg(partial)))
        return false;
    {
        RawDb raw(path);
        for (const QString& sql : statements) {
            if (!raw.exec(sql))
                return false;
        }
    }
    return rewrite(QString("replace(sql, '%1', '')").arg(partial));
}

// Declares in `table`, in front of the column declared as `before`, the
// column `column` computed on every read, whose value cannot be computed
// (an integer overflow) for the row whose key is `key`: a SELECT naming it
// fails at that row, while a count never computes it. No row changes.
inline bool unreadableAt(const QString& path, const QString& table, const QString& column, const QString& before,
                         qint64 key)
{
    RawDb raw(path);
    const QString declaration = QString("%1 TEXT GENERATED ALWAYS AS (CASE WHEN abs(ID - 9223372036854775807 - %2) > 0 "
                                        "THEN ''n'' END) VIRTUAL, %3")
                                    .arg(column)
                                    .arg(key + 1)
                                    .arg(before);
    return raw.exec("PRAGMA writable_schema = ON")
           && raw.exec(QString("UPDATE sqlite_master SET sql = replace(sql, '%1', '%2') WHERE name = '%3'")
                           .arg(before, declaration, table))
           && raw.exec("PRAGMA writable_schema = OFF");
}

// Leaves at `copy` what a program that stopped in the middle of a write
// leaves: the file with some pages of an unfinished transaction written and
// the journal (`copy` + "-journal") that holds their old contents. The
// original file is left as it was.
inline bool cutOffWrite(const QString& path, const QString& copy)
{
    const QByteArray before = fileBytes(path);
    RawDb writer(path);
    // A cache smaller than the write makes SQLite write pages to the file
    // before the commit.
    if (!writer.exec("PRAGMA cache_size = 10") || !writer.exec("BEGIN")
        || !writer.exec("CREATE TABLE cut_off (a BLOB)")
        || !writer.exec("INSERT INTO cut_off VALUES (zeroblob(400000))"))
        return false;
    const QByteArray during = fileBytes(path);
    const QByteArray journal = fileBytes(path + "-journal");
    const bool made = during != before && !journal.isEmpty() && writeBytes(copy, during)
                      && writeBytes(copy + "-journal", journal);
    writer.release();
    return made && fileBytes(path) == before;
}

// A fresh project file path inside a temporary directory.
class TempProject
{
public:
    TempProject() { QVERIFY2(m_dir.isValid(), "temporary directory"); }
    QString path(const QString& name = "project.QELVA") const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// An opened library on a fresh file with all classes registered.
struct OpenProject {
    TempProject dir;
    std::unique_ptr<LibHORM> lib;
    OpenProject()
    {
        lib.reset(new LibHORM(nullptr));
        if (lib->open(dir.path()))
            registerAll(*lib);
    }
    QString path() const { return dir.path(); }
};

} // namespace storetest

#endif
