#include "model/TreeItem.h"

TreeItem::TreeItem(const QVector<QVariant>& data, TreeItem* parent)
    : itemData(data)
    , parentItem(parent)
{
}

TreeItem::~TreeItem()
{
    qDeleteAll(children);
}

TreeItem* TreeItem::child(int row) const
{
    if (row < 0 || row >= children.size())
        return nullptr;
    return children.at(row);
}

int TreeItem::childCount() const
{
    return children.size();
}

int TreeItem::childNumber() const
{
    if (!parentItem)
        return 0;
    return parentItem->children.indexOf(const_cast<TreeItem*>(this));
}

int TreeItem::columnCount() const
{
    return itemData.size();
}

QVariant TreeItem::data(int column) const
{
    if (column < 0 || column >= itemData.size())
        return QVariant();
    return itemData.at(column);
}

bool TreeItem::setData(int column, const QVariant& value)
{
    if (column < 0 || column >= itemData.size())
        return false;
    itemData[column] = value;
    return true;
}

bool TreeItem::isCheckable(int column) const
{
    return column == 0 && !itemData.isEmpty();
}

TreeItem* TreeItem::parent() const
{
    return parentItem;
}

bool TreeItem::isChecked() const
{
    return checked;
}

void TreeItem::setChecked(bool on)
{
    checked = on;
}

bool TreeItem::insertChildren(int position, int count, int columns)
{
    if (position < 0 || position > children.size())
        return false;
    for (int row = 0; row < count; ++row) {
        QVector<QVariant> data(qMax(0, columns));
        children.insert(position + row, new TreeItem(data, this));
    }
    return true;
}

bool TreeItem::removeChildren(int position, int count)
{
    if (position < 0 || count < 0 || position + count > children.size())
        return false;
    for (int row = 0; row < count; ++row)
        delete children.takeAt(position);
    return true;
}

bool TreeItem::insertColumns(int position, int columns)
{
    if (position < 0 || position > itemData.size())
        return false;
    for (int c = 0; c < columns; ++c)
        itemData.insert(position, QVariant());
    for (TreeItem* child : qAsConst(children))
        child->insertColumns(position, columns);
    return true;
}

bool TreeItem::removeColumns(int position, int columns)
{
    if (position < 0 || columns < 0 || position + columns > itemData.size())
        return false;
    itemData.remove(position, columns);
    for (TreeItem* child : qAsConst(children))
        child->removeColumns(position, columns);
    return true;
}
