#include "store/HORM_BaseObject.h"

#include <QByteArray>
#include <QDebug>
#include <QMetaClassInfo>
#include <QMetaProperty>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>
#include <limits>

namespace {

bool isIntegerType(int type)
{
    switch (type) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// The value when it is an integer exactly. Text counts only where allowed:
// a key held as text is not equal to the number in SQL, so an UPDATE by the
// number would miss the row or hit another.
bool exactInteger(const QVariant& value, bool textAllowed, qint64& out)
{
    switch (value.userType()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        out = value.toLongLong();
        return true;
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const qulonglong u = value.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            return false;
        out = qint64(u);
        return true;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        // 2^63 is the first double beyond qint64.
        if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) >= 9223372036854775808.0)
            return false;
        out = qint64(d);
        return true;
    }
    case QMetaType::QString: {
        if (!textAllowed)
            return false;
        bool ok = false;
        out = value.toString().toLongLong(&ok);
        return ok;
    }
    default:
        return false;
    }
}

bool fitsType(qint64 v, int type)
{
    switch (type) {
    case QMetaType::Int:
        return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
    case QMetaType::UInt:
        return v >= 0 && v <= qint64(std::numeric_limits<uint>::max());
    case QMetaType::Short:
        return v >= std::numeric_limits<short>::min() && v <= std::numeric_limits<short>::max();
    case QMetaType::UShort:
        return v >= 0 && v <= std::numeric_limits<ushort>::max();
    case QMetaType::Char:
    case QMetaType::SChar:
        return v >= std::numeric_limits<signed char>::min() && v <= std::numeric_limits<signed char>::max();
    case QMetaType::UChar:
        return v >= 0 && v <= std::numeric_limits<uchar>::max();
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        return v >= 0;
    default:
        return true;
    }
}

} // namespace

HORM_BaseObject::HORM_BaseObject(LibHORM* lib, QObject* parent)
    : QObject(parent)
    , m_lib(lib)
{
}

HORM_BaseObject::~HORM_BaseObject() = default;

void HORM_BaseObject::setID(qint64 id)
{
    m_id = id;
    markChanged("ID");
}

void HORM_BaseObject::loadColumn(const QString& name, const QVariant& value)
{
    if (value.isNull())
        return;
    const QByteArray property = name.toLatin1();
    const int p = metaObject()->indexOfProperty(property.constData());
    const int type = p >= 0 ? metaObject()->property(p).userType() : QMetaType::UnknownType;
    if (!isIntegerType(type)) {
        setProperty(property.constData(), value);
        return;
    }
    QString keyName = QStringLiteral("ID");
    QString keyType;
    if (m_lib)
        m_lib->keyInfo(className(), keyName, keyType);
    const bool isKey = name == keyName;
    qint64 n = 0;
    if (exactInteger(value, !isKey, n) && fitsType(n, type) && !(isKey && n < 0)) {
        setProperty(property.constData(), QVariant(n));
        return;
    }
    // Converting would round (1.6 to 2) or wrap, and writing the row back
    // would put the rounded value, or this row's edits, somewhere else.
    m_readOnly = true;
    qDebug() << "HORM_BaseObject::loadColumn" << className() << name << value << "is not a whole number of its type;"
             << "the row is read-only";
    if (!isKey)
        setProperty(property.constData(), value);
}

QString HORM_BaseObject::className() const
{
    return QString::fromLatin1(metaObject()->className());
}

void HORM_BaseObject::markChanged(const QString& name)
{
    if (m_silent || !m_lib)
        return;
    const QString cls = className();
    QString keyName;
    QString keyType;
    if (!m_lib->keyInfo(cls, keyName, keyType))
        return;
    if (name == keyName || !m_allColumns)
        return;
    m_dirty = true;
    if (!m_loadingLazy && m_lib->isAbsent(cls, name))
        m_absentChanged.insert(name);
    if (m_onDemandColumns && m_onDemandColumns->contains(name)) {
        m_lazyLive.insert(name);
        if (!m_loadingLazy)
            m_lazyModified.insert(name);
    }
}

void HORM_BaseObject::setColumnLists(const QStringList* all, const QStringList* eager, const QStringList* onDemand)
{
    m_allColumns = all;
    m_eagerColumns = eager;
    m_onDemandColumns = onDemand;
}

QStringList HORM_BaseObject::onDemandColumns(const QMetaObject* meta)
{
    QStringList result;
    for (int i = 0; i < meta->classInfoCount(); ++i) {
        const QMetaClassInfo info = meta->classInfo(i);
        if (qstrcmp(info.value(), "DB_GetOnUse") == 0)
            result << QString::fromLatin1(info.name());
    }
    return result;
}

QStringList HORM_BaseObject::liveLazyColumns() const
{
    QStringList result;
    for (const QString& c : onDemandColumns(metaObject())) {
        if (m_lazyLive.contains(c))
            result << c;
    }
    return result;
}

QString HORM_BaseObject::sqlLiteral(const QVariant& value, const QString& sqlType)
{
    if (sqlType == "INTEGER" || sqlType == "REAL") {
        if (!value.isValid() || value.isNull())
            return "NULL";
        const int t = value.userType();
        if (t == QMetaType::Double || t == QMetaType::Float) {
            const double d = value.toDouble();
            // Not-a-number has no numeric literal; infinities are written as
            // literals that SQLite reads back as infinities.
            if (std::isnan(d))
                return "NULL";
            if (std::isinf(d))
                return d > 0 ? "9e999" : "-9e999";
        }
        const QString text = value.toString();
        return text.isEmpty() ? QString("NULL") : text;
    }
    if (sqlType == "TEXT") {
        QString text = value.toString();
        text.replace('\'', "''");
        // SQLite ends a statement's text at a NUL character, so a NUL inside
        // a literal would break the statement: it is joined in by char(0).
        if (text.contains(QChar(0))) {
            const QStringList pieces = text.split(QChar(0));
            return '\'' + pieces.join(QStringLiteral("' || char(0) || '")) + '\'';
        }
        return '\'' + text + '\'';
    }
    if (sqlType == "BLOB")
        return "x'" + QString::fromLatin1(value.toByteArray().toHex()) + '\'';
    return "NULL";
}

QString HORM_BaseObject::sqlValue(const QVariant& value, const QString& sqlType, QVariantList* values)
{
    if (!values)
        return sqlLiteral(value, sqlType);
    if (sqlType == "INTEGER" || sqlType == "REAL") {
        // NULL (also for not-a-number) stays a literal; infinities bind as
        // the infinities their literals read back as.
        const QString literal = sqlLiteral(value, sqlType);
        if (literal == QLatin1String("NULL"))
            return literal;
        const int t = value.userType();
        if (t == QMetaType::Double || t == QMetaType::Float)
            values->append(value.toDouble());
        else if (t == QMetaType::Int || t == QMetaType::LongLong || t == QMetaType::UInt || t == QMetaType::Short
                 || t == QMetaType::Long || t == QMetaType::Bool)
            values->append(value.toLongLong());
        else
            return literal;
        return QStringLiteral("?");
    }
    if (sqlType == "TEXT") {
        // Text never set is a null string, which would bind as NULL; the
        // file holds '' for it, as the literal form writes.
        const QString text = value.toString();
        values->append(text.isNull() ? QString("") : text);
        return QStringLiteral("?");
    }
    if (sqlType == "BLOB") {
        // An empty array stays a literal: a bound one would be stored as NULL.
        const QByteArray bytes = value.toByteArray();
        if (bytes.isEmpty())
            return QStringLiteral("x''");
        values->append(bytes);
        return QStringLiteral("?");
    }
    return sqlLiteral(value, sqlType);
}

bool HORM_BaseObject::keyCondition(QString& condition, QVariantList* values) const
{
    if (!m_lib)
        return false;
    QString keyName;
    QString keyType;
    if (!m_lib->keyInfo(className(), keyName, keyType))
        return false;
    const QVariant key = property(keyName.toLatin1().constData());
    if (keyType == "TEXT")
        condition = keyName + " = '" + key.toString().replace('\'', "''") + '\'';
    else if (keyType == "BLOB")
        condition = keyName + " = x'" + QString::fromLatin1(key.toByteArray().toHex()) + '\'';
    else if (values) {
        condition = keyName + " = ?";
        values->append(key.toLongLong());
    } else {
        condition = keyName + " = " + key.toString();
    }
    return true;
}

QString HORM_BaseObject::getSQl_Insert(QVariantList* values) const
{
    QStringList names;
    QStringList types;
    const bool known = m_lib && m_lib->columns(className(), names, types);
    if (!known || names.size() != types.size() || names.isEmpty()) {
        qDebug() << "HORM_BaseObject::getSQl_Insert GetObject_Column" << known;
        return QString();
    }
    // Columns the table lacks are left to the defaults of the fields.
    const QString cls = className();
    QStringList stored;
    QStringList literals;
    for (int i = 0; i < names.size(); ++i) {
        if (m_lib->isAbsent(cls, names.at(i)))
            continue;
        stored << names.at(i);
        literals << sqlValue(property(names.at(i).toLatin1().constData()), types.at(i), values);
    }
    // Concatenated, never filled by QString placeholders, so that no value
    // text is taken for one.
    return "INSERT INTO " + className() + " ( " + stored.join(", ") + " ) VALUES ( " + literals.join(", ") + " )";
}

QString HORM_BaseObject::getSQL_Commit(QVariantList* values) const
{
    QStringList names;
    QStringList types;
    const bool known = m_lib && m_lib->columns(className(), names, types);
    if (!known || names.size() != types.size()) {
        qDebug() << "HORM_BaseObject::getSQL_Commit GetObject_Column" << known;
        return QString();
    }

    // Only the on-demand columns that were loaded or set are written: one
    // that was never loaded holds nothing in memory and must keep its row.
    const QStringList onDemand = m_onDemandColumns ? *m_onDemandColumns : onDemandColumns(metaObject());
    const QString cls = className();
    QStringList items;
    for (int i = 0; i < names.size(); ++i) {
        const QString& name = names.at(i);
        if (onDemand.contains(name) && !m_lazyLive.contains(name))
            continue;
        // Not in the table: only the field's default was read (commit
        // refuses a changed one).
        if (m_lib->isAbsent(cls, name))
            continue;
        items << name + " = " + sqlValue(property(name.toLatin1().constData()), types.at(i), values);
    }

    QString condition;
    if (!keyCondition(condition, values)) {
        qDebug() << "HORM_BaseObject::getSQL_Commit GetObject_ID" << className() << false;
        return QString();
    }
    return "UPDATE " + className() + " SET " + items.join(", ") + " WHERE " + condition + ' ';
}

QString HORM_BaseObject::getSQL_GetOnUse() const
{
    QString condition;
    if (!keyCondition(condition)) {
        qDebug() << "HORM_BaseObject::getSQL_GetOnUse GetObject_ID" << className() << false;
        return QString();
    }
    const QStringList onDemand = m_onDemandColumns ? *m_onDemandColumns : onDemandColumns(metaObject());
    if (onDemand.isEmpty())
        return QString();
    return "SELECT " + m_lib->selectList(className(), onDemand).join(", ") + " FROM " + className() + " WHERE "
           + condition;
}

void HORM_BaseObject::db_new()
{
    if (!m_lib || !m_lib->database()) {
        qDebug() << "HORM_BaseObject::db_new" << "no database" << false;
        return;
    }
    QVariantList values;
    const QString sql = getSQl_Insert(&values);
    if (sql.isEmpty())
        return;

    QSqlError error;
    int inserted = -1;
    if (!m_lib->execute(sql, values, &error, [this] { return getSQl_Insert(); }, &inserted)) {
        qDebug() << "HORM_BaseObject::db_new" << getSQl_Insert() << false << error.databaseText()
                 << error.driverText();
        return;
    }
    // A trigger skipped the row: last_insert_rowid() would name another
    // row, and later UPDATEs of this entity would land on it.
    if (inserted == 0) {
        qDebug() << "HORM_BaseObject::db_new" << className() << "inserted no row" << false;
        return;
    }
    QSqlQuery query(*m_lib->database());
    const bool ok = m_lib->execute(query, "select last_insert_rowid()");
    if (!ok) {
        qDebug() << "HORM_BaseObject::db_new" << sql << false << query.lastError().databaseText()
                 << query.lastError().driverText();
    }
    QString keyName;
    QString keyType;
    if (ok && m_lib->keyInfo(className(), keyName, keyType) && query.next())
        setProperty(keyName.toLatin1().constData(), query.value(0));
    noteWritten(true);
    m_dirty = false;
    m_lazyModified.clear();
}

bool HORM_BaseObject::commit()
{
    if (!m_dirty)
        return true;
    if (!m_lib || !m_lib->database()) {
        qDebug() << "HORM_BaseObject::commit" << "no database" << false;
        return false;
    }
    // A row that was never inserted or loaded has no key to match; an UPDATE
    // must never reach another row.
    if (m_id < 0) {
        qDebug() << "HORM_BaseObject::commit" << className() << "has no row" << false;
        return false;
    }
    if (m_readOnly) {
        qDebug() << "HORM_BaseObject::commit" << className() << m_id << "is read-only" << false;
        return false;
    }
    QStringList unstorable;
    for (const QString& name : qAsConst(m_absentChanged)) {
        if (m_lib->isAbsent(className(), name))
            unstorable << name;
    }
    if (!unstorable.isEmpty()) {
        unstorable.sort();
        qDebug() << "HORM_BaseObject::commit" << className() << m_id << "the table has no column" << unstorable
                 << false;
        return false;
    }
    QVariantList values;
    const QString sql = getSQL_Commit(&values);
    QSqlError error;
    int changed = -1;
    if (!sql.isEmpty() && m_lib->execute(sql, values, &error, [this] { return getSQL_Commit(); }, &changed)) {
        // The row is gone, or a trigger let the UPDATE pass without it:
        // nothing was stored. Rows that share the key took this row's values
        // over their own: the transaction must not keep them.
        if (changed != 1) {
            if (changed > 1)
                m_lib->noteOverreach();
            qDebug() << "HORM_BaseObject::commit" << className() << m_id << "changed" << changed << "rows, not one"
                     << false;
            return false;
        }
        noteWritten(false);
        m_dirty = false;
        m_lazyModified.clear();
        m_absentChanged.clear();
        return true;
    }
    qDebug() << "HORM_BaseObject::commit" << false << error.databaseText() << error.driverText();
    return false;
}

void HORM_BaseObject::noteWritten(bool inserted)
{
    if (!m_lib || !m_lib->m_inTransaction)
        return;
    m_writtenLazy.unite(m_lazyModified);
    m_insertedInTransaction = m_insertedInTransaction || inserted;
    if (!m_noted) {
        m_noted = true;
        m_lib->noteWritten(this);
    }
}

void HORM_BaseObject::transactionEnded(bool committed)
{
    if (!committed) {
        // Nothing of the transaction reached the file: what was written is
        // pending again.
        m_dirty = true;
        m_lazyModified.unite(m_writtenLazy);
        // The inserted row is gone, and SQLite may give its key to the next
        // new row: this entity must never name it.
        if (m_insertedInTransaction)
            m_id = -1;
    }
    m_noted = false;
    m_insertedInTransaction = false;
    m_writtenLazy.clear();
}

QVariant HORM_BaseObject::defaultValueOf(const QString& property) const
{
    const int p = metaObject()->indexOfProperty(property.toLatin1().constData());
    if (p < 0)
        return QVariant();
    return QVariant(metaObject()->property(p).userType(), nullptr);
}

bool HORM_BaseObject::update()
{
    if (!m_lib || !m_lib->database())
        return false;
    const QStringList onDemand = m_onDemandColumns ? *m_onDemandColumns : onDemandColumns(metaObject());
    if (onDemand.isEmpty())
        return true;
    if (m_id < 0)
        return false;
    const QString sql = getSQL_GetOnUse();
    if (sql.isEmpty())
        return false;

    QSqlQuery query(*m_lib->database());
    query.setForwardOnly(true);
    if (!m_lib->execute(query, sql)) {
        qDebug() << "HORM_BaseObject::update" << sql << false << query.lastError().databaseText()
                 << query.lastError().driverText();
        return false;
    }
    m_loadingLazy = true;
    bool found = false;
    while (query.next()) {
        found = true;
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i) {
            const QString name = record.fieldName(i);
            // A value set by the caller and not yet written wins over the row.
            if (m_lazyModified.contains(name))
                continue;
            const QVariant v = record.value(i);
            setProperty(name.toLatin1().constData(), v.isNull() ? defaultValueOf(name) : v);
        }
    }
    m_loadingLazy = false;
    for (const QString& name : onDemand)
        m_lazyLive.insert(name);
    // A row that went away, or a step that failed midway, reads as nothing.
    return found && query.lastError().type() == QSqlError::NoError;
}

void HORM_BaseObject::releaseLazyColumns()
{
    const QList<QString> live = m_lazyLive.values();
    for (const QString& name : live) {
        if (m_lazyModified.contains(name))
            continue;
        writeSilently(name.toLatin1().constData(), defaultValueOf(name));
        m_lazyLive.remove(name);
    }
}

void HORM_BaseObject::writeSilently(const char* name, const QVariant& value)
{
    m_silent = true;
    setProperty(name, value);
    m_silent = false;
}

void HORM_BaseObject::loadReferences()
{
    if (m_referencesLoaded)
        return;
    m_referencesLoaded = true;
    if (!m_lib)
        return;
    QStringList children;
    if (!m_lib->references(className(), children))
        return;
    for (const QString& child : children) {
        const int p = metaObject()->indexOfProperty(("REF_" + child).toLatin1().constData());
        if (p >= 0)
            metaObject()->property(p).reset(this);
    }
}
