#ifndef HW_STORE_HORM_COLLECTION_H
#define HW_STORE_HORM_COLLECTION_H

#include <QDebug>
#include <QList>
#include <QMetaClassInfo>
#include <QMetaObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "store/HORM_BaseObject.h"
#include "store/LibHORM.h"

// The in-memory list of the rows of T's table: all rows (root collection) or
// the rows of one parent (child collection, filtered on the parent key).
// The collection owns its entities; reloading or destroying it deletes them.
template <class T>
class HORM_Collection
{
public:
    // Cursor handed out by at(); index -1 is the end cursor.
    class iterator
    {
    public:
        iterator(int index = -1, HORM_Collection* collection = nullptr, T* element = nullptr)
            : m_index(index), m_collection(collection), m_element(element) {}
        // The entity, or null for the end cursor.
        T* value()
        {
            if (!m_collection || m_index < 0 || m_index >= m_collection->size())
                return nullptr;
            if (!m_element)
                *this = m_collection->at(m_index);
            return m_element;
        }
        int index() const { return m_index; }

    private:
        int m_index;
        HORM_Collection* m_collection;
        T* m_element;
    };

    // Root collection: every row of T's table.
    explicit HORM_Collection(LibHORM* lib)
        : m_lib(lib)
    {
        scanColumns();
        loadTable(QString(), QString());
    }

    // Child collection: the rows whose parentKeyName column equals
    // parentKeyValue. An empty value stands for a parent without a stored
    // row: such a collection stays empty and adds nothing, so that no row
    // is ever read or written under a key that names no parent. Given the
    // parent entity, the collection also stops once the parent loses its
    // row (its INSERT was rolled back). Given an order, the rows are
    // selected in it (see setOrderBy).
    HORM_Collection(LibHORM* lib, const QString& parentKeyName, const QString& parentKeyValue,
                    HORM_BaseObject* parent = nullptr, const QString& order = QString())
        : m_lib(lib)
        , m_filter(parentKeyValue.isEmpty() ? QString() : parentKeyName + " = " + parentKeyValue)
        , m_orderBy(order)
        , m_child(true)
        , m_detached(parentKeyValue.isEmpty())
        , m_parentKeyName(parentKeyName)
        , m_parentKeyValue(parentKeyValue)
        , m_parent(parent)
        , m_hasParent(parent != nullptr)
    {
        scanColumns();
        if (!m_detached)
            loadTable(m_filter, m_orderBy);
    }

    ~HORM_Collection() { clearItems(); }

    HORM_Collection(const HORM_Collection&) = delete;
    HORM_Collection& operator=(const HORM_Collection&) = delete;

    int size() const { return m_rowCount; }
    // True when the last load read every row it counted: false after a
    // count or SELECT that failed or stopped short (a lock, a damaged page,
    // a column the table lacks).
    bool isComplete() const { return m_complete; }

    iterator at(int i)
    {
        if (i >= 0 && i < m_rowCount && i < m_items.size())
            return iterator(i, this, m_items.at(i));
        return iterator(-1, this, nullptr);
    }

    // Appends a new entity, already stored as a new row (in a child
    // collection it carries the parent key).
    iterator addNew()
    {
        if (parentGone()) {
            qDebug() << "HORM_Collection::addNew" << T::staticMetaObject.className() << "parent has no row" << false;
            return iterator(-1, this, nullptr);
        }
        T* entity = new T(m_lib.data(), nullptr);
        if (m_child)
            entity->setProperty(m_parentKeyName.toLatin1().constData(), QVariant(m_parentKeyValue));
        entity->db_new();
        entity->loadReferences();
        entity->setColumnLists(&m_allColumns, &m_eagerColumns, &m_onDemandColumns);
        // Rows that a SELECT stopped short of keep their places (null), so
        // that the new entity is found at its position.
        while (m_items.size() < m_rowCount)
            m_items.append(nullptr);
        const int position = m_rowCount;
        ++m_rowCount;
        m_items.append(entity);
        return at(position);
    }

    // Deletes the loaded entities, counts the rows and selects them again.
    void loadTable(const QString& filter, const QString& order)
    {
        clearItems();
        m_complete = true;
        if (parentGone()) {
            m_rowCount = 0;
            return;
        }
        if (!m_lib || !m_lib->database()) {
            qDebug() << "HORM_Collection::loadTable" << "no database" << false;
            m_rowCount = 0;
            m_complete = false;
            return;
        }
        const QString table = QString::fromLatin1(T::staticMetaObject.className());
        QString count = QString("SELECT COUNT(*) AS TOTALROWS FROM %1").arg(table);
        if (!filter.isEmpty())
            count += " WHERE " + filter;
        {
            QSqlQuery query(*m_lib->database());
            if (!m_lib->execute(query, count)) {
                qDebug() << "loadTable" << count << false;
                m_complete = false;
            } else {
                while (query.next()) {
                    bool ok = false;
                    const int n = query.record().value("TOTALROWS").toInt(&ok);
                    if (ok)
                        m_rowCount = n;
                }
            }
        }
        if (m_rowCount == 0)
            return;
        load(m_eagerColumns, filter, QString(), order);
        if (m_items.size() != m_rowCount)
            m_complete = false;
    }

    // Reloads in the given ORDER BY order; earlier entity pointers die.
    void setOrderBy(const QString& order)
    {
        m_orderBy = order;
        clearItems();
        loadTable(m_filter, m_orderBy);
    }

    QString filter() const { return m_filter; }
    QString orderBy() const { return m_orderBy; }
    bool isChild() const { return m_child; }
    // A child collection of a parent that has no stored row.
    bool isDetached() const { return parentGone(); }
    const QStringList& allColumns() const { return m_allColumns; }
    const QStringList& eagerColumns() const { return m_eagerColumns; }
    const QStringList& onDemandColumns() const { return m_onDemandColumns; }

private:
    bool parentGone() const
    {
        if (m_detached)
            return true;
        if (!m_hasParent)
            return false;
        return !m_parent || !m_parent->hasStoredKey() || QString::number(m_parent->ID()) != m_parentKeyValue;
    }

    void clearItems()
    {
        while (!m_items.isEmpty())
            delete m_items.takeFirst();
    }

    void scanColumns()
    {
        const QMetaObject& meta = T::staticMetaObject;
        for (int i = 0; i < meta.classInfoCount(); ++i) {
            const QMetaClassInfo info = meta.classInfo(i);
            if (qstrcmp(info.value(), "DB") == 0)
                m_allColumns << QString::fromLatin1(info.name());
            else if (qstrcmp(info.value(), "DB_GetOnUse") == 0)
                m_onDemandColumns << QString::fromLatin1(info.name());
        }
        for (const QString& c : m_allColumns) {
            if (!m_onDemandColumns.contains(c))
                m_eagerColumns << c;
        }
    }

    void load(const QStringList& columns, const QString& filter, const QString& page, const QString& order)
    {
        // A column the table lacks reads as NULL, so the field keeps its
        // default and the rows still show.
        const QString table = QString::fromLatin1(T::staticMetaObject.className());
        const QString sql = QString("SELECT %1 FROM %2 %3 %4 %5")
                                .arg(m_lib->selectList(table, columns).join(", "),
                                     table,
                                     filter.isEmpty() ? QString() : QString("WHERE %1").arg(filter),
                                     page,
                                     order.isEmpty() ? QString() : QString("ORDER BY %1").arg(order));
        QSqlQuery query(*m_lib->database());
        query.setForwardOnly(true);
        if (!m_lib->execute(query, sql)) {
            qDebug() << "HORM_Collection " << "Query : " << sql << false;
            m_complete = false;
            return;
        }
        while (query.next()) {
            const QSqlRecord record = query.record();
            T* entity = new T(m_lib.data(), nullptr);
            // NULL (old rows of an added column) keeps the field's default.
            for (int f = 0; f < record.count(); ++f)
                entity->loadColumn(record.fieldName(f), record.value(f));
            entity->setColumnLists(&m_allColumns, &m_eagerColumns, &m_onDemandColumns);
            m_items.append(entity);
        }
        if (query.lastError().type() != QSqlError::NoError)
            m_complete = false;
    }

    QPointer<LibHORM> m_lib;
    int m_rowCount = 0;
    bool m_complete = true;
    QList<T*> m_items;
    QStringList m_allColumns;
    QStringList m_eagerColumns;
    QStringList m_onDemandColumns;
    QString m_filter;
    QString m_orderBy;
    bool m_child = false;
    bool m_detached = false;
    QString m_parentKeyName;
    QString m_parentKeyValue;
    QPointer<HORM_BaseObject> m_parent;
    bool m_hasParent = false;
};

#endif // HW_STORE_HORM_COLLECTION_H
