#ifndef HW_STORE_HORM_BASEOBJECT_H
#define HW_STORE_HORM_BASEOBJECT_H

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "store/LibHORM.h"

// One table row held in memory as Qt properties. Subclasses declare their
// columns with Q_CLASSINFO pairs (name, "DB" / "DB_INDEX" / "DB_GetOnUse" /
// "DB_REFFENCE"); their setters call markChanged with the property name.
class HORM_BaseObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint64 ID READ ID WRITE setID)
    Q_CLASSINFO("ID", "DB")
    Q_CLASSINFO("ID", "DB_KEY")
    Q_CLASSINFO("ID", "DB_INDEX")

public:
    explicit HORM_BaseObject(LibHORM* lib, QObject* parent = nullptr);
    ~HORM_BaseObject() override;

    // The row's key (SQLite row keys are 64-bit); -1 until the row was
    // inserted or loaded.
    qint64 ID() const { return m_id; }
    void setID(qint64 id);
    // True when the entity holds the key of a stored row; only then may a
    // statement name the row or its children.
    bool hasStoredKey() const { return m_id >= 0; }
    // True for a loaded row that held a value its property cannot keep
    // exactly (a key of 1.6, text in an integer column): such a row is
    // never written, so no rounded value reaches the file.
    bool isReadOnly() const { return m_readOnly; }

    // Sets a column property from a value read from the file: NULL keeps
    // the field's default; a value the property cannot hold exactly makes
    // the row read-only (a debug line says which).
    void loadColumn(const QString& name, const QVariant& value);

    // Records that a column property changed, so that the next commit
    // writes it. Does nothing before the entity joined a collection.
    void markChanged(const QString& name);
    // Lent by the owning collection; the lists must outlive the entity.
    void setColumnLists(const QStringList* all, const QStringList* eager, const QStringList* onDemand);

    // INSERT as a new row; ID becomes the new row id.
    void db_new();
    // One UPDATE when something changed; nothing for a clean entity. False
    // when the UPDATE failed, changed no row (the row is gone, a trigger
    // skipped it), changed several (rows sharing the key: the open
    // transaction then cannot commit) or cannot be made (no stored row,
    // read-only row, a changed column the table lacks); the entity then
    // stays dirty. Inside a transaction the write is final only once
    // LibHORM::commit succeeds: a rolled-back transaction makes the entity
    // dirty again.
    bool commit();
    // Loads the on-demand columns of this row (one SELECT); false when the
    // SELECT failed or found no row.
    bool update();
    // Builds the child collections, once.
    void loadReferences();

    // Drops the values of on-demand columns that were only loaded, without
    // marking anything changed; columns set and not yet committed are kept.
    // update() loads them again.
    void releaseLazyColumns();

    // The statements with every value written in as a literal. Given
    // values, each value is a placeholder instead and appended there, in
    // order (NULL and the empty byte array stay literals): one prepared
    // text then serves every row of the class, and curves are not parsed
    // from hexadecimal text, which made writing them several times slower
    // than reading them. The file holds the same values either way.
    QString getSQl_Insert(QVariantList* values = nullptr) const;
    QString getSQL_Commit(QVariantList* values = nullptr) const;
    QString getSQL_GetOnUse() const;

    bool isDirty() const { return m_dirty; }
    // True while some on-demand column holds a value the next UPDATE writes.
    bool lazyColumnsLive() const { return !m_lazyLive.isEmpty(); }
    // The on-demand columns that were loaded or set (written by UPDATE).
    QStringList liveLazyColumns() const;
    bool referencesLoaded() const { return m_referencesLoaded; }
    bool hasColumnLists() const { return m_allColumns != nullptr; }
    // The database object, or null once it was deleted.
    LibHORM* lib() const { return m_lib.data(); }

    // Literal of a value in SQL text for the given SQL type word.
    static QString sqlLiteral(const QVariant& value, const QString& sqlType);
    // The literal, or "?" with the value appended to values (see above).
    static QString sqlValue(const QVariant& value, const QString& sqlType, QVariantList* values);
    // The on-demand ("DB_GetOnUse") columns declared by a class.
    static QStringList onDemandColumns(const QMetaObject* meta);

protected:
    // Writes a property without recording a change (used to drop values).
    void writeSilently(const char* name, const QVariant& value);

private:
    friend class LibHORM;
    // The transaction in which this entity was written ended.
    void transactionEnded(bool committed);
    void noteWritten(bool inserted);
    QString className() const;
    // Given values, an integer key is a placeholder appended there.
    bool keyCondition(QString& condition, QVariantList* values = nullptr) const;
    QVariant defaultValueOf(const QString& property) const;

    QPointer<LibHORM> m_lib;
    qint64 m_id = -1;
    bool m_dirty = false;
    bool m_readOnly = false;
    // What a rollback of the open transaction takes back.
    bool m_noted = false;
    bool m_insertedInTransaction = false;
    QSet<QString> m_writtenLazy;
    bool m_referencesLoaded = false;
    bool m_silent = false;
    bool m_loadingLazy = false;
    QSet<QString> m_lazyLive;
    QSet<QString> m_lazyModified;
    // Columns set although the table lacks them (see LibHORM::absentColumns).
    QSet<QString> m_absentChanged;
    const QStringList* m_allColumns = nullptr;
    const QStringList* m_eagerColumns = nullptr;
    const QStringList* m_onDemandColumns = nullptr;
};

#endif // HW_STORE_HORM_BASEOBJECT_H
