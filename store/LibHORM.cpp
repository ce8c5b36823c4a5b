#include "store/LibHORM.h"

#include <QAtomicInt>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMetaClassInfo>
#include <QMetaObject>
#include <QMetaProperty>
#include <QMetaType>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVector>

#include <algorithm>

#include <sqlite3.h>

#include "store/HORM_BaseObject.h"

namespace {

// Connection names must be unique per object: two objects on one file (the
// merge dialog may open the project that is open) must never share or remove
// each other's connection.
QAtomicInt g_connectionCounter;

const char* const ROLE_DB = "DB";
const char* const ROLE_KEY = "DB_KEY";
const char* const ROLE_INDEX = "DB_INDEX";
const char* const ROLE_REFERENCE = "DB_REFFENCE";

// True when a table's declaration holds a REPLACE conflict rule outside its
// string literals. The program declares none.
bool replacesOnConflict(QString declaration)
{
    declaration.remove(QRegularExpression(QStringLiteral("'[^']*'")));
    static const QRegularExpression rule(QStringLiteral("\\bON\\s+CONFLICT\\s+REPLACE\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    return declaration.contains(rule);
}

} // namespace

LibHORM::LibHORM(QObject* parent)
    : QObject(parent)
{
}

LibHORM::~LibHORM()
{
    dropPrepared();
    if (m_database) {
        qDebug() << "LibHORM::~LibHORM";
        m_database->close();
        delete m_database;
        m_database = nullptr;
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool LibHORM::open(const QString& path)
{
    return openFile(path, false);
}

bool LibHORM::openReadOnly(const QString& path)
{
    return openFile(path, true);
}

bool LibHORM::openFile(const QString& path, bool readOnly)
{
    if (m_database) {
        qDebug() << "LibHORM::open" << path << "already open on" << m_path << false;
        return false;
    }
    if (path.isEmpty()) {
        qDebug() << "LibHORM::open" << "empty path" << false;
        return false;
    }
    // SQLite takes an empty file for a new database and would write tables
    // into it; a file that does not exist yet is still created.
    const QFileInfo file(path);
    if (file.exists() && file.isFile() && file.size() == 0) {
        qDebug() << "LibHORM::open" << path << "empty file" << false;
        return false;
    }
    const bool journalBefore = hasJournal(path);

    const QString name = QString("%1#%2").arg(path).arg(g_connectionCounter.fetchAndAddOrdered(1) + 1);
    const QString busy = QString("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
    m_database = new QSqlDatabase(QSqlDatabase::addDatabase("QSQLITE", name));
    m_database->setDatabaseName(path);
    m_database->setHostName("");
    m_database->setPort(0);
    m_database->setConnectOptions(readOnly ? busy + ";QSQLITE_OPEN_READONLY" : busy);
    m_readOnly = readOnly;

    // SQLite opens any file lazily; reading the schema is what tells a
    // database from some other file.
    auto probe = [this](QString& error) {
        if (!m_database->open("", "")) {
            error = m_database->lastError().text();
            return false;
        }
        QSqlQuery query(*m_database);
        if (query.exec("PRAGMA schema_version"))
            return true;
        noteFailure(query.lastError());
        error = query.lastError().text();
        return false;
    };

    QString error;
    bool ok = probe(error);
    // The first read rolls back what a program that stopped mid-write left
    // in the journal: the file is no longer what it was before the open.
    // (Another program that commits in that moment looks the same.)
    m_rolledBack = ok && journalBefore && !hasJournal(path);
    if (ok) {
        QString report;
        if (!runIntegrityCheck(report)) {
            if (report.isEmpty()) {
                // The check could not run (the file is locked): nothing is
                // known about the file, so it is not opened for writing.
                ok = false;
                error = "integrity_check did not run";
            } else {
                // Any write could land on pages that belong to live rows:
                // the rest of the session reads only.
                qDebug() << "LibHORM::open" << path << "integrity_check" << report;
                m_database->close();
                m_database->setConnectOptions(busy + ";QSQLITE_OPEN_READONLY");
                ok = probe(error);
                m_damaged = ok;
                m_readOnly = ok;
            }
        }
    }

    if (!ok) {
        qDebug() << "LibHORM::open" << path << false << error;
        m_database->close();
        delete m_database;
        m_database = nullptr;
        m_damaged = false;
        m_readOnly = false;
        QSqlDatabase::removeDatabase(name);
        return false;
    }
    m_path = path;
    m_connection = name;
    return true;
}

bool LibHORM::hasJournal(const QString& path)
{
    // A journal that still starts with its header's magic number, as one
    // left by a program that stopped mid-write does (and one of a write
    // another program is making); one that SQLite deleted, truncated or
    // zeroed after a transaction does not.
    static const char magic[] = {char(0xd9), char(0xd5), char(0x05), char(0xf9),
                                 char(0x20), char(0xa1), char(0x63), char(0xd7)};
    QFile journal(path + "-journal");
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    return journal.read(sizeof magic) == QByteArray::fromRawData(magic, sizeof magic);
}

bool LibHORM::runIntegrityCheck(QString& report)
{
    report.clear();
    QSqlQuery query(*m_database);
    query.setForwardOnly(true);
    // The full check, not the quick one: it also finds an index that
    // disagrees with its table, and costs little more, as reading the
    // pages is most of either.
    if (!query.exec("PRAGMA integrity_check")) {
        const QSqlError e = query.lastError();
        // A lock of another program says nothing about the file.
        if (noteFailure(e))
            return false;
        report = e.text().isEmpty() ? QString("integrity_check failed") : e.text();
        return false;
    }
    QStringList lines;
    while (query.next())
        lines << query.value(0).toString();
    if (lines == QStringList("ok"))
        return true;
    report = lines.isEmpty() ? QString("integrity_check returned nothing") : lines.mid(0, 5).join("; ");
    return false;
}

bool LibHORM::noteFailure(const QSqlError& error)
{
    // SQLITE_BUSY and SQLITE_LOCKED, with or without their extended codes;
    // SQLITE_READONLY is counted apart.
    bool isNumber = false;
    const int code = error.nativeErrorCode().toInt(&isNumber) & 0xff;
    if (isNumber && code == 8)
        ++m_readOnlyFailures;
    if (!isNumber || (code != 5 && code != 6))
        return false;
    ++m_busyFailures;
    return true;
}

bool LibHORM::isDamaged() const
{
    return m_damaged;
}

bool LibHORM::hasTriggers() const
{
    return !m_triggers.isEmpty();
}

QStringList LibHORM::triggers() const
{
    return m_triggers;
}

bool LibHORM::refusesWrites() const
{
    return m_damaged || hasTriggers();
}

bool LibHORM::isReadOnly() const
{
    return m_readOnly;
}

int LibHORM::readOnlyFailures() const
{
    return m_readOnlyFailures;
}

bool LibHORM::rolledBackAtOpen() const
{
    return m_rolledBack;
}

int LibHORM::busyFailures() const
{
    return m_busyFailures;
}

void LibHORM::setBusyTimeout(int milliseconds)
{
    if (!m_database)
        return;
    QSqlQuery query(*m_database);
    query.exec(QString("PRAGMA busy_timeout = %1").arg(std::max(0, milliseconds)));
}

QSqlDatabase* LibHORM::database() const
{
    return m_database;
}

QString LibHORM::path() const
{
    return m_path;
}

QString LibHORM::connectionName() const
{
    return m_connection;
}

bool LibHORM::transaction()
{
    if (!m_database) {
        qDebug() << "LibHORM::transaction" << "no connection" << false;
        return false;
    }
    trace("BEGIN");
    if (!m_database->transaction())
        return false;
    transactionBegun();
    return true;
}

bool LibHORM::exclusiveTransaction()
{
    if (!m_database) {
        qDebug() << "LibHORM::exclusiveTransaction" << "no connection" << false;
        return false;
    }
    QSqlQuery query(*m_database);
    if (!execute(query, "BEGIN EXCLUSIVE"))
        return false;
    transactionBegun();
    return true;
}

void LibHORM::transactionBegun()
{
    // A BEGIN succeeds only outside a transaction: whatever was noted
    // before belongs to one that has ended.
    m_written.clear();
    m_inTransaction = true;
    m_overreach = false;
}

bool LibHORM::commit()
{
    if (!m_database) {
        qDebug() << "LibHORM::commit" << "no connection" << false;
        return false;
    }
    if (m_overreach) {
        // What the other rows held is lost once this commits.
        qDebug() << "LibHORM::commit" << m_path << "an UPDATE changed rows it did not name" << false;
        rollback();
        return false;
    }
    trace("COMMIT");
    // Run as a statement of its own: the driver's commit drops the error
    // code that tells another program's lock from other failures.
    QSqlQuery query(*m_database);
    if (!query.exec("COMMIT")) {
        noteFailure(query.lastError());
        query.finish();
        rollback();
        qDebug() << "LibHORM::commit" << false;
        return false;
    }
    endTransaction(true);
    return true;
}

void LibHORM::rollback()
{
    if (!m_database)
        return;
    trace("ROLLBACK");
    m_database->rollback();
    endTransaction(false);
}

void LibHORM::noteWritten(HORM_BaseObject* entity)
{
    if (m_inTransaction && entity)
        m_written.append(entity);
}

void LibHORM::noteOverreach()
{
    if (m_inTransaction)
        m_overreach = true;
}

void LibHORM::endTransaction(bool committed)
{
    const QVector<QPointer<HORM_BaseObject>> written = m_written;
    m_written.clear();
    m_inTransaction = false;
    m_overreach = false;
    for (const QPointer<HORM_BaseObject>& entity : written) {
        if (entity)
            entity->transactionEnded(committed);
    }
}

QString LibHORM::sqlTypeName(int metaType)
{
    switch (metaType) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return "INTEGER";
    case QMetaType::Double:
    case QMetaType::Float:
        return "REAL";
    case QMetaType::QString:
        return "TEXT";
    case QMetaType::QByteArray:
    case QMetaType::QBitArray:
        return "BLOB";
    default:
        return "NULL";
    }
}

namespace {

// One class-info line of an entity: the member it names, its role, and the
// column type when it names a property.
struct ClassInfoEntry {
    QString name;
    QString role;
    bool isProperty = false;
    QString sqlType;
};

QVector<ClassInfoEntry> classInfoEntries(const QMetaObject& meta)
{
    QVector<ClassInfoEntry> entries;
    for (int i = 0; i < meta.classInfoCount(); ++i) {
        const QMetaClassInfo info = meta.classInfo(i);
        ClassInfoEntry entry;
        entry.name = QString::fromLatin1(info.name());
        entry.role = QString::fromLatin1(info.value());
        const int p = meta.indexOfProperty(info.name());
        entry.isProperty = p >= 0;
        if (entry.isProperty)
            entry.sqlType = LibHORM::sqlTypeName(meta.property(p).userType());
        entries << entry;
    }
    return entries;
}

} // namespace

void LibHORM::registerClass(const QMetaObject& meta)
{
    const QString cls = QString::fromLatin1(meta.className());
    QStringList names;
    QStringList types;
    QStringList children;
    QString keyName;
    QString keyType;

    for (const ClassInfoEntry& entry : classInfoEntries(meta)) {
        if (entry.role == ROLE_REFERENCE)
            children << entry.name;
        if (!entry.isProperty)
            continue;
        if (entry.role == ROLE_DB) {
            names << entry.name;
            types << entry.sqlType;
        } else if (entry.role == ROLE_KEY) {
            const int at = names.indexOf(entry.name);
            if (at >= 0) {
                names.removeAt(at);
                types.removeAt(at);
            }
            keyName = entry.name;
            keyType = entry.sqlType;
        }
    }

    m_columnNames.insert(cls, names);
    m_columnTypes.insert(cls, types);
    m_children.insert(cls, children);
    if (!keyName.isEmpty()) {
        m_keyName.insert(cls, keyName);
        m_keyType.insert(cls, keyType);
    } else {
        m_keyName.remove(cls);
        m_keyType.remove(cls);
    }
}

QStringList LibHORM::createTableStatements(const QMetaObject& meta)
{
    const QString cls = QString::fromLatin1(meta.className());
    QStringList names;
    QStringList types;
    QStringList indexed;
    QString keyName;

    for (const ClassInfoEntry& entry : classInfoEntries(meta)) {
        if (entry.role == ROLE_INDEX) {
            indexed << entry.name;
            continue;
        }
        if (!entry.isProperty)
            continue;
        if (entry.role == ROLE_DB) {
            names << entry.name;
            types << entry.sqlType;
        } else if (entry.role == ROLE_KEY) {
            keyName = entry.name;
        }
    }

    QString body;
    for (int i = 0; i < names.size(); ++i) {
        body += QString("%1 %2 ").arg(names.at(i), types.at(i));
        if (names.at(i) == keyName)
            body += "NOT NULL PRIMARY KEY AUTOINCREMENT ";
        if (i + 1 < names.size())
            body += ", ";
    }

    QStringList statements;
    statements << QString("CREATE TABLE %1 (%2);").arg(cls, body);
    for (const QString& column : indexed)
        statements << QString("CREATE INDEX IDX_%1_%2_ ON %1 ( %2 );").arg(cls, column);
    return statements;
}

bool LibHORM::RegisterObject(const QMetaObject& meta)
{
    registerClass(meta);
    const QString cls = QString::fromLatin1(meta.className());
    m_absent.remove(cls);
    if (!m_database) {
        qDebug() << "LibHORM::RegisterObject" << "no connection" << false;
        return false;
    }

    const QStringList fields = tableFields(cls);
    if (fields.isEmpty()) {
        return executeAll(createTableStatements(meta), true);
    }

    // SQLite treats column names case-insensitively, so must the match. The
    // key is not among the registered columns, and an older table may hold
    // it anywhere: fields are matched by name, never by position.
    const QStringList names = m_columnNames.value(cls);
    const QStringList types = m_columnTypes.value(cls);
    auto missingFrom = [&names](const QStringList& present) {
        QVector<int> missing;
        for (int i = 0; i < names.size(); ++i) {
            bool found = false;
            for (int f = 0; f < present.size() && !found; ++f)
                found = present.at(f).compare(names.at(i), Qt::CaseInsensitive) == 0;
            if (!found)
                missing << i;
        }
        return missing;
    };
    QVector<int> missing = missingFrom(fields);
    if (missing.isEmpty())
        return false;

    QStringList statements;
    for (int i : missing)
        statements << QString("ALTER TABLE %1 ADD COLUMN %2 %3").arg(cls, names.at(i), types.at(i));
    if (executeAll(statements, false))
        return true;
    // The rows are still to be read: what the table holds now decides which
    // columns its statements may name.
    const QStringList now = tableFields(cls);
    if (!now.isEmpty())
        missing = missingFrom(now);
    QStringList absent;
    for (int i : missing)
        absent << names.at(i);
    m_absent.insert(cls, absent);
    return false;
}

bool LibHORM::registerSchema(const QList<const QMetaObject*>& classes, const QList<const QMetaObject*>& spare)
{
    if (!m_database) {
        for (const QMetaObject* meta : classes)
            registerClass(*meta);
        return false;
    }
    QStringList tables;
    // Trigger names by the table they are on.
    QList<QPair<QString, QString>> triggers;
    {
        QSqlQuery query(*m_database);
        query.setForwardOnly(true);
        if (!execute(query, "SELECT type, name, tbl_name FROM sqlite_master WHERE type IN ('table', 'view', 'trigger')")) {
            // Nothing is known of the file: no table is made in it.
            for (const QMetaObject* meta : classes)
                registerClass(*meta);
            return false;
        }
        while (query.next()) {
            if (query.value(0).toString() == QLatin1String("trigger"))
                triggers.append({query.value(1).toString(), query.value(2).toString()});
            else
                tables << query.value(1).toString();
        }
    }
    bool existing = false;
    for (const QMetaObject* meta : classes)
        existing = existing || tables.contains(QString::fromLatin1(meta->className()), Qt::CaseInsensitive);
    bool read = true;
    if (existing && !m_damaged) {
        // A table made afresh would start its keys at 1 again, and the rows
        // of the other tables would then belong to new rows.
        bool unread = false;
        const QString why = schemaDamage(classes, spare, tables, unread);
        read = !unread;
        if (!why.isEmpty())
            becomeDamaged(why);
    }
    if (existing && !m_damaged) {
        // The program makes no trigger. One that another program added runs
        // inside the program's own writes: it may delete or rewrite rows
        // that the write never named, and the write still looks whole. The
        // spare tables are never written, so theirs never run.
        QStringList written;
        for (const QMetaObject* meta : classes) {
            if (!spare.contains(meta))
                written << QString::fromLatin1(meta->className());
        }
        for (const auto& trigger : qAsConst(triggers)) {
            if (written.contains(trigger.second, Qt::CaseInsensitive))
                m_triggers << trigger.first;
        }
        if (!m_triggers.isEmpty()) {
            qDebug() << "LibHORM::registerSchema" << m_path << "triggers" << m_triggers << "on the project's tables;"
                     << "the file is read-only";
            reopenReadOnly();
        }
    }
    read = read && m_database != nullptr;
    for (const QMetaObject* meta : classes) {
        const QString cls = QString::fromLatin1(meta->className());
        if (m_damaged && !tables.contains(cls, Qt::CaseInsensitive)) {
            registerClass(*meta);
            m_absent.remove(cls);
            continue;
        }
        const int refused = m_busyFailures;
        RegisterObject(*meta);
        read = read && refused == m_busyFailures;
    }
    return read && !m_damaged;
}

QString LibHORM::schemaDamage(const QList<const QMetaObject*>& classes, const QList<const QMetaObject*>& spare,
                              const QStringList& tables, bool& unread)
{
    unread = false;
    for (const QMetaObject* meta : classes) {
        if (spare.contains(meta))
            continue;
        const QString cls = QString::fromLatin1(meta->className());
        if (!tables.contains(cls, Qt::CaseInsensitive))
            return QString("table %1 is missing").arg(cls);
        registerClass(*meta);
        const QString key = m_keyName.value(cls);
        if (key.isEmpty())
            continue;
        bool hasKey = false;
        for (const QString& field : tableFields(cls))
            hasKey = hasKey || field.compare(key, Qt::CaseInsensitive) == 0;
        if (!hasKey)
            return QString("table %1 has no column %2").arg(cls, key);
        // Only the row id is unique whatever the table holds: any other key
        // column (no primary key, a primary key of other columns, a key
        // kept in an index of its own, as INT PRIMARY KEY and WITHOUT ROWID
        // keys are) may repeat or be NULL, and a new row would not get the
        // key it is told it has.
        {
            QSqlQuery primary(*m_database);
            const int refused = m_busyFailures;
            const QString sql = QString("SELECT (SELECT COUNT(*) FROM pragma_table_info('%1') WHERE pk > 0), "
                                        "(SELECT COUNT(*) FROM pragma_table_info('%1') WHERE pk = 1 AND name = '%2' "
                                        "COLLATE NOCASE), (SELECT COUNT(*) FROM pragma_index_list('%1') "
                                        "WHERE origin = 'pk'), (SELECT sql FROM sqlite_master WHERE type = 'table' "
                                        "AND name = '%1' COLLATE NOCASE)")
                                    .arg(cls, key);
            if (!execute(primary, sql) || !primary.next()) {
                if (m_busyFailures != refused) {
                    unread = true;
                    return QString();
                }
                return QString("the key of table %1 could not be checked").arg(cls);
            }
            if (primary.value(0).toInt() != 1 || primary.value(1).toInt() != 1 || primary.value(2).toInt() != 0)
                return QString("column %2 of table %1 is not its integer primary key").arg(cls, key);
            // A write that collides with another row under such a rule
            // deletes that row: a renamed or merged station would take
            // another station's row away, and the write still changed one.
            if (replacesOnConflict(primary.value(3).toString()))
                return QString("table %1 replaces rows on conflict").arg(cls);
        }
        // Rows whose key no entity can hold (or name in a statement).
        QSqlQuery query(*m_database);
        if (execute(query, QString("SELECT COUNT(*) FROM %1 WHERE typeof(%2) <> 'integer' OR %2 < 0").arg(cls, key))
            && query.next() && query.value(0).toLongLong() > 0)
            return QString("table %1 holds %2 keys that are not whole numbers of at least 0")
                .arg(cls)
                .arg(query.value(0).toLongLong());
    }
    return QString();
}

void LibHORM::becomeDamaged(const QString& why)
{
    qDebug() << "LibHORM::registerSchema" << m_path << why << "the file is damaged";
    m_damaged = true;
    reopenReadOnly();
}

void LibHORM::reopenReadOnly()
{
    dropPrepared();
    m_readOnly = true;
    if (m_database->connectOptions().contains("QSQLITE_OPEN_READONLY"))
        return;
    m_database->close();
    m_database->setConnectOptions(m_database->connectOptions() + ";QSQLITE_OPEN_READONLY");
    if (!m_database->open("", ""))
        qDebug() << "LibHORM::registerSchema" << m_path << "read-only reopen" << false << m_database->lastError().text();
}

bool LibHORM::backupTo(const QString& target)
{
    if (!m_database || target.isEmpty() || QFileInfo::exists(target))
        return false;
    // The read transaction keeps every other program from committing while
    // the copy is made; its first read waits out their locks.
    QSqlQuery read(*m_database);
    const bool began = execute(read, "BEGIN");
    if (!began || !execute(read, "SELECT COUNT(*) FROM sqlite_master")) {
        qDebug() << "LibHORM::backupTo" << target << "could not read" << m_path << read.lastError().text();
        if (began)
            execute(read, "ROLLBACK");
        return false;
    }
    read.finish();
    // The damaged pages are kept as they are, for whoever repairs the file;
    // SQLite's backup would copy only the pages its header counts.
    const bool copied = m_damaged ? copyBytesTo(target) : onlineBackupTo(target);
    execute(read, "ROLLBACK");
    return copied;
}

bool LibHORM::copyBytesTo(const QString& target)
{
    QFile source(m_path);
    QSaveFile copy(target);
    if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly))
        return false;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty() || copy.write(chunk) != chunk.size()) {
            copy.cancelWriting();
            return false;
        }
    }
    return copy.commit();
}

bool LibHORM::onlineBackupTo(const QString& target)
{
    const QVariant handle = m_database->driver()->handle();
    sqlite3* source = handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
        ? *static_cast<sqlite3* const*>(handle.constData())
        : nullptr;
    if (!source)
        return false;
    // Made under another name and renamed once complete, so that no
    // half-made backup ever carries the backup's name.
    const QString partial = target + QStringLiteral(".partial");
    QFile::remove(partial);
    sqlite3* destination = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(partial).constData(), &destination,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(destination, "main", source, "main");
        if (backup) {
            rc = sqlite3_backup_step(backup, -1);
            const int finished = sqlite3_backup_finish(backup);
            rc = rc == SQLITE_DONE ? finished : (rc == SQLITE_OK ? SQLITE_ERROR : rc);
        } else {
            rc = sqlite3_errcode(destination);
        }
    }
    if (rc != SQLITE_OK)
        qDebug() << "LibHORM::backupTo" << target << false << (destination ? sqlite3_errmsg(destination) : "");
    const bool closed = sqlite3_close(destination) == SQLITE_OK;
    if (rc == SQLITE_OK && closed && QFile::rename(partial, target))
        return true;
    QFile::remove(partial);
    QFile::remove(partial + "-journal");
    return false;
}

QStringList LibHORM::tableFields(const QString& table)
{
    QStringList fields;
    QSqlQuery probe(*m_database);
    execute(probe, QString("select * from %1 LIMIT 0").arg(table));
    const QSqlRecord record = probe.record();
    for (int i = 0; i < record.count(); ++i)
        fields << record.fieldName(i);
    return fields;
}

bool LibHORM::executeAll(const QStringList& statements, bool logFailure)
{
    const bool began = transaction();
    QSqlQuery query(*m_database);
    for (const QString& sql : statements) {
        if (!execute(query, sql)) {
            if (logFailure)
                qDebug() << "LibHORM::RegisterObject " << sql << false << query.lastError().text();
            query.clear();
            if (began)
                rollback();
            return false;
        }
        query.clear();
    }
    if (began)
        return commit();
    return true;
}

bool LibHORM::columns(const QString& className, QStringList& names, QStringList& types) const
{
    if (!m_columnNames.contains(className))
        return false;
    names = m_columnNames.value(className);
    types = m_columnTypes.value(className);
    return true;
}

bool LibHORM::keyInfo(const QString& className, QString& keyName, QString& keyType) const
{
    if (!m_keyName.contains(className))
        return false;
    keyName = m_keyName.value(className);
    keyType = m_keyType.value(className);
    return true;
}

bool LibHORM::references(const QString& className, QStringList& children) const
{
    if (!m_children.contains(className))
        return false;
    children = m_children.value(className);
    return true;
}

QStringList LibHORM::absentColumns(const QString& className) const
{
    return m_absent.value(className);
}

bool LibHORM::isAbsent(const QString& className, const QString& column) const
{
    const auto it = m_absent.constFind(className);
    return it != m_absent.constEnd() && it->contains(column, Qt::CaseInsensitive);
}

QStringList LibHORM::selectList(const QString& className, const QStringList& columns) const
{
    const auto it = m_absent.constFind(className);
    if (it == m_absent.constEnd() || it->isEmpty())
        return columns;
    QStringList items;
    for (const QString& column : columns)
        items << (it->contains(column, Qt::CaseInsensitive) ? "NULL AS " + column : column);
    return items;
}

bool LibHORM::execute(QSqlQuery& query, const QString& sql)
{
    trace(sql);
    if (query.exec(sql))
        return true;
    noteFailure(query.lastError());
    return false;
}

bool LibHORM::execute(const QString& sql, const QVariantList& values, QSqlError* error,
                      const std::function<QString()>& literal, int* rowsAffected)
{
    if (!m_database)
        return false;
    if (m_trace)
        trace(literal());
    QSqlQuery*& query = m_prepared[sql];
    if (!query) {
        // A handful of texts per class; a cache that grows past that holds
        // texts of literal values and starts over.
        if (m_prepared.size() > 64) {
            m_prepared.remove(sql);
            dropPrepared();
            return execute(sql, values, error, literal, rowsAffected);
        }
        query = new QSqlQuery(*m_database);
        if (!query->prepare(sql)) {
            noteFailure(query->lastError());
            if (error)
                *error = query->lastError();
            delete query;
            m_prepared.remove(sql);
            return false;
        }
    }
    for (int i = 0; i < values.size(); ++i)
        query->bindValue(i, values.at(i));
    const bool ok = query->exec();
    if (!ok) {
        noteFailure(query->lastError());
        if (error)
            *error = query->lastError();
    }
    if (ok && rowsAffected)
        *rowsAffected = query->numRowsAffected();
    query->finish();
    return ok;
}

void LibHORM::dropPrepared()
{
    qDeleteAll(m_prepared);
    m_prepared.clear();
}

void LibHORM::setStatementTrace(QStringList* sink)
{
    m_trace = sink;
}

void LibHORM::trace(const QString& text)
{
    if (m_trace)
        m_trace->append(text);
}
