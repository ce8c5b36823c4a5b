#ifndef HW_STORE_LIBHORM_H
#define HW_STORE_LIBHORM_H

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

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

    // Opens (or creates) the SQLite file; false when it cannot be opened or
    // is not an SQLite database. Call once per object.
    bool open(const QString& path);
    // The open connection, or null.
    QSqlDatabase* database() const;
    // The file path once open() succeeded, else empty.
    QString path() const;
    // The Qt connection name (unique per object).
    QString connectionName() const;

    bool transaction();
    // Commits; on failure rolls back and logs.
    void commit();
    void rollback();

    // Registers an entity class and creates or extends its table; true when
    // a statement changed the schema.
    bool RegisterObject(const QMetaObject& meta);

    // Registry queries; false when the class is not registered.
    bool columns(const QString& className, QStringList& names, QStringList& types) const;
    bool keyInfo(const QString& className, QString& keyName, QString& keyType) const;
    bool references(const QString& className, QStringList& children) const;

    // Statements that create a class's table and its indexes.
    static QStringList createTableStatements(const QMetaObject& meta);
    // SQL type word of a Qt meta-type id.
    static QString sqlTypeName(int metaType);

    // Runs sql on query (which must be on this connection) and appends it to
    // the statement trace when one is set.
    bool execute(QSqlQuery& query, const QString& sql);
    // Diagnostics: every statement run through this object, and BEGIN /
    // COMMIT / ROLLBACK, is appended to sink while it is set (null stops).
    void setStatementTrace(QStringList* sink);

private:
    void registerClass(const QMetaObject& meta);
    // Runs the statements in one transaction, rolled back at the first
    // failure (logged when logFailure is set).
    bool executeAll(const QStringList& statements, bool logFailure);
    void trace(const QString& text);

    QString m_path;
    QString m_connection;
    QSqlDatabase* m_database = nullptr;
    QHash<QString, QString> m_keyName;
    QHash<QString, QString> m_keyType;
    QHash<QString, QStringList> m_columnNames;
    QHash<QString, QStringList> m_columnTypes;
    QHash<QString, QStringList> m_children;
    QStringList* m_trace = nullptr;
};

#endif // HW_STORE_LIBHORM_H
