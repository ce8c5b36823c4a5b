#ifndef HW_STORE_LIBHORM_H
#define HW_STORE_LIBHORM_H

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class HORM_BaseObject;
class QSqlDatabase;
class QSqlQuery;
struct QMetaObject;

// One open project file: an SQLite connection plus the registry of entity
// classes whose tables it holds. Deleting the object closes the project.
class LibHORM : public QObject
{
    Q_OBJECT

public:
    explicit LibHORM(QObject* parent = nullptr);
    ~LibHORM() override;

    // How long a statement waits for another program's lock before it
    // fails.
    static constexpr int kBusyTimeoutMs = 3000;

    // Opens (or creates) the SQLite file; false when it cannot be opened, is
    // empty or is not an SQLite database. Call once per object. A file that
    // fails SQLite's integrity check is opened read-only (see isDamaged).
    bool open(const QString& path);
    // Opens the file for reading only: no statement of this object can
    // change it (a file that is only read, such as a merge source).
    bool openReadOnly(const QString& path);
    // True when the open file failed the integrity check, or its tables
    // failed registerSchema's check: the connection is then read-only, so
    // that no statement can write over the damaged pages.
    bool isDamaged() const;
    // True when registerSchema found triggers on the tables the program
    // writes (a project file has none of its own): a write could then change
    // or delete rows it does not name, so the connection is read-only.
    bool hasTriggers() const;
    // The names of those triggers, in the file's order.
    QStringList triggers() const;
    // True when the file must not be written (damaged, or with triggers);
    // the user is told why when the file is opened.
    bool refusesWrites() const;
    bool isReadOnly() const;
    // True when opening rolled back a write that was cut off (SQLite's hot
    // journal beside the file): the open itself has written the file.
    bool rolledBackAtOpen() const;
    // Statements (the open's own included) refused so far because another
    // connection held a lock on the file.
    int busyFailures() const;
    // Writes refused so far because the connection or the file is read-only.
    int readOnlyFailures() const;
    // The open connection, or null.
    QSqlDatabase* database() const;
    // The file path once open() succeeded, else empty.
    QString path() const;
    // The Qt connection name (unique per object).
    QString connectionName() const;

    bool transaction();
    // As transaction(), but takes the file for this connection alone at once,
    // waiting for other programs at most one busy timeout: a write too large
    // for the page cache would otherwise wait for them again at every page
    // it writes out before the commit.
    bool exclusiveTransaction();
    // Commits; on failure rolls back, logs and returns false. Every entity
    // written in a transaction that is rolled back is dirty again, so that
    // the next commit writes it (see HORM_BaseObject::commit).
    bool commit();
    void rollback();
    // Replaces the busy timeout of the open connection.
    void setBusyTimeout(int milliseconds);

    // Registers an entity class and creates or extends its table; true when
    // a statement changed the schema.
    bool RegisterObject(const QMetaObject& meta);
    // Registers the classes of a whole schema, in order. A file that holds a
    // table of any of them is an existing project: when a table of the
    // schema is missing, a table lacks its key column, the key column is not
    // the table's integer primary key (so keys could repeat, and one UPDATE
    // reach several rows), a table replaces rows on conflict (a write would
    // delete the row it collides with), or a key is not a whole number of at
    // least 0, the file is damaged (see isDamaged) and nothing is created in
    // it. Triggers on these tables make it read-only (see hasTriggers). A
    // file that holds none of them gets every table. The tables of spare classes (kept for
    // others, never read or written here) take no part in the checks and
    // are created where missing, as older files may lack them. False when
    // the file is damaged or its tables could not be read.
    bool registerSchema(const QList<const QMetaObject*>& classes,
                        const QList<const QMetaObject*>& spare = QList<const QMetaObject*>());

    // Copies the open file to target as one consistent state of it, taken
    // while no other program can commit to it; target is made whole or not
    // at all. A damaged file is copied byte for byte, as it is. False when
    // the copy could not be made (see busyFailures for a file in use).
    bool backupTo(const QString& target);

    // Registry queries; false when the class is not registered.
    bool columns(const QString& className, QStringList& names, QStringList& types) const;
    bool keyInfo(const QString& className, QString& keyName, QString& keyType) const;
    bool references(const QString& className, QStringList& children) const;
    // The registered columns that the class's table lacks because they could
    // not be added (a read-only or locked file). They read as the fields'
    // defaults and are never written.
    QStringList absentColumns(const QString& className) const;
    bool isAbsent(const QString& className, const QString& column) const;
    // A select list of the class's columns: an absent column is selected as
    // NULL under its own name, which a loaded entity reads as its default.
    QStringList selectList(const QString& className, const QStringList& columns) const;

    // Statements that create a class's table and its indexes.
    static QStringList createTableStatements(const QMetaObject& meta);
    // SQL type word of a Qt meta-type id.
    static QString sqlTypeName(int metaType);

    // Runs sql on query (which must be on this connection) and appends it to
    // the statement trace when one is set.
    bool execute(QSqlQuery& query, const QString& sql);
    // Runs a statement whose placeholders take values, in order. The
    // statement is prepared once per text and kept: an entity class's
    // UPDATE has one text for all its rows. error receives the failure.
    // The trace gets literal, the text with the values written in, built
    // only while a trace is set. rowsAffected, when given, receives the
    // number of rows the statement changed.
    bool execute(const QString& sql, const QVariantList& values, QSqlError* error,
                 const std::function<QString()>& literal, int* rowsAffected = nullptr);
    // Diagnostics: every statement run through this object, and BEGIN /
    // COMMIT / ROLLBACK, is appended to sink while it is set (null stops).
    void setStatementTrace(QStringList* sink);

private:
    friend class HORM_BaseObject;
    bool openFile(const QString& path, bool readOnly);
    // Reopens the connection read-only after damage was found.
    void becomeDamaged(const QString& why);
    void reopenReadOnly();
    // Why the tables of an existing project are damaged, or empty; unread
    // is set when a check could not run because of another program's lock.
    QString schemaDamage(const QList<const QMetaObject*>& classes, const QList<const QMetaObject*>& spare,
                         const QStringList& tables, bool& unread);
    // An UPDATE of the open transaction changed rows besides its own: the
    // transaction must not be committed.
    void noteOverreach();
    bool copyBytesTo(const QString& target);
    bool onlineBackupTo(const QString& target);
    // A BEGIN of either kind succeeded.
    void transactionBegun();
    // An entity's INSERT or UPDATE ran inside the open transaction.
    void noteWritten(HORM_BaseObject* entity);
    void endTransaction(bool committed);
    bool runIntegrityCheck(QString& report);
    static bool hasJournal(const QString& path);
    // Counts a failure that another connection's lock caused; true for one.
    bool noteFailure(const QSqlError& error);
    void registerClass(const QMetaObject& meta);
    // Runs the statements in one transaction, rolled back at the first
    // failure (logged when logFailure is set).
    bool executeAll(const QStringList& statements, bool logFailure);
    // Field names of a table in table order; empty when it cannot be read.
    QStringList tableFields(const QString& table);
    void trace(const QString& text);

    QString m_path;
    QString m_connection;
    QSqlDatabase* m_database = nullptr;
    QHash<QString, QString> m_keyName;
    QHash<QString, QString> m_keyType;
    QHash<QString, QStringList> m_columnNames;
    QHash<QString, QStringList> m_columnTypes;
    QHash<QString, QStringList> m_children;
    QHash<QString, QStringList> m_absent;
    QStringList* m_trace = nullptr;
    bool m_damaged = false;
    QStringList m_triggers;
    bool m_overreach = false;
    bool m_readOnly = false;
    int m_readOnlyFailures = 0;
    bool m_rolledBack = false;
    int m_busyFailures = 0;
    bool m_inTransaction = false;
    QVector<QPointer<HORM_BaseObject>> m_written;
    // Prepared statements by text (see execute with values).
    QHash<QString, QSqlQuery*> m_prepared;
    void dropPrepared();
};

#endif // HW_STORE_LIBHORM_H
