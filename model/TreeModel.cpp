#include "model/TreeModel.h"

#include "model/TreeItem.h"

TreeModel::TreeModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

TreeModel::~TreeModel()
{
    delete rootItem;
}

TreeItem* TreeModel::getItem(const QModelIndex& index) const
{
    if (index.isValid()) {
        auto* item = static_cast<TreeItem*>(index.internalPointer());
        if (item)
            return item;
    }
    return rootItem;
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return QModelIndex();
    TreeItem* parentItem = getItem(parent);
    if (!parentItem)
        return QModelIndex();
    TreeItem* childItem = parentItem->child(row);
    if (!childItem)
        return QModelIndex();
    return createIndex(row, column, childItem);
}

QModelIndex TreeModel::parent(const QModelIndex& index) const
{
    if (!index.isValid())
        return QModelIndex();
    TreeItem* parentItem = getItem(index)->parent();
    if (!parentItem || parentItem == rootItem)
        return QModelIndex();
    return createIndex(parentItem->childNumber(), 0, parentItem);
}

int TreeModel::rowCount(const QModelIndex& parent) const
{
    // Only column 0 has children, as index() hands them out.
    if (parent.isValid() && parent.column() != 0)
        return 0;
    TreeItem* item = getItem(parent);
    return item ? item->childCount() : 0;
}

int TreeModel::columnCount(const QModelIndex& /*parent*/) const
{
    return rootItem ? rootItem->columnCount() : 0;
}

QVariant TreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    TreeItem* item = getItem(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return item->data(index.column());
    case Qt::CheckStateRole:
        if (!item->isCheckable(index.column()))
            return QVariant();
        return static_cast<int>(item->isChecked() ? Qt::Checked : Qt::Unchecked);
    default:
        return QVariant();
    }
}

Qt::ItemFlags TreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = QAbstractItemModel::flags(index);
    const QModelIndex parentIndex = index.parent();
    const bool deep = parentIndex.isValid() && parentIndex.parent().isValid();
    if (deep)
        return f | Qt::ItemIsUserCheckable;
    f |= Qt::ItemIsEditable;
    if (getItem(index)->isCheckable(index.column()))
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool TreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    // The root holds the header; it is not a row to rename.
    if (!index.isValid())
        return false;
    TreeItem* item = getItem(index);

    if (role == Qt::EditRole) {
        const bool ok = item->setData(index.column(), value);
        if (ok) {
            emit dataChanged(index, index, {Qt::EditRole});
            itemRenamed(index);
        }
        return ok;
    }

    if (role != Qt::CheckStateRole)
        return false;
    if (!item->isCheckable(index.column()))
        return false;

    const QModelIndex parentIndex = index.parent();
    const bool checked = value.toInt() == Qt::Checked;
    if (parentIndex.isValid()) {
        if (parentIndex.parent().isValid())
            return false; // deeper levels carry no check state of their own
        item->setChecked(checked);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        itemCheckStateChanged(index);
        return true;
    }

    // A line passes its state on to every station, then reports itself.
    const int n = rowCount(index);
    item->setChecked(checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    for (int i = 0; i < n; ++i)
        setData(this->index(i, 0, index), value, Qt::CheckStateRole);
    itemCheckStateChanged(index);
    return true;
}

QVariant TreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && rootItem)
        return rootItem->data(section);
    return QVariant();
}

bool TreeModel::setHeaderData(int section, Qt::Orientation orientation,
                              const QVariant& value, int role)
{
    if (role != Qt::EditRole || orientation != Qt::Horizontal || !rootItem)
        return false;
    const bool ok = rootItem->setData(section, value);
    if (ok)
        emit headerDataChanged(Qt::Horizontal, section, section);
    return ok;
}

// The structural operations announce a change only when it will happen:
// a begin/end pair around a refused change would leave views out of step.

bool TreeModel::insertRows(int position, int rows, const QModelIndex& parent)
{
    if (parent.isValid() && parent.column() != 0)
        return false;
    TreeItem* item = getItem(parent);
    if (!item || position < 0 || position > item->childCount())
        return false;
    if (rows < 1)
        return true;
    beginInsertRows(parent, position, position + rows - 1);
    const bool ok = item->insertChildren(position, rows, rootItem->columnCount());
    endInsertRows();
    return ok;
}

bool TreeModel::removeRows(int position, int rows, const QModelIndex& parent)
{
    if (parent.isValid() && parent.column() != 0)
        return false;
    TreeItem* item = getItem(parent);
    if (!item || position < 0 || rows < 0 || position + rows > item->childCount())
        return false;
    if (rows == 0)
        return true;
    beginRemoveRows(parent, position, position + rows - 1);
    const bool ok = item->removeChildren(position, rows);
    endRemoveRows();
    return ok;
}

bool TreeModel::insertColumns(int position, int columns, const QModelIndex& parent)
{
    if (!rootItem || position < 0 || position > rootItem->columnCount())
        return false;
    if (columns < 1)
        return true;
    beginInsertColumns(parent, position, position + columns - 1);
    const bool ok = rootItem->insertColumns(position, columns);
    endInsertColumns();
    return ok;
}

bool TreeModel::removeColumns(int position, int columns, const QModelIndex& parent)
{
    if (!rootItem || position < 0 || columns < 0
        || position + columns > rootItem->columnCount())
        return false;
    if (columns == 0)
        return true;
    beginRemoveColumns(parent, position, position + columns - 1);
    const bool ok = rootItem->removeColumns(position, columns);
    endRemoveColumns();

    // Rows without any column cannot be shown; drop them all.
    if (rootItem->columnCount() == 0)
        removeRows(0, rowCount(QModelIndex()), QModelIndex());
    return ok;
}
