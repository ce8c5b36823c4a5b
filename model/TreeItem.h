#ifndef HW_MODEL_TREEITEM_H
#define HW_MODEL_TREEITEM_H

#include <QList>
#include <QVariant>
#include <QVector>

// One node of the project tree: one value per column, a check flag for
// column 0, and the child nodes it owns.
class TreeItem
{
public:
    TreeItem(const QVector<QVariant>& data, TreeItem* parent);
    ~TreeItem();

    TreeItem(const TreeItem&) = delete;
    TreeItem& operator=(const TreeItem&) = delete;

    TreeItem* child(int row) const;
    int childCount() const;
    int childNumber() const;
    int columnCount() const;
    QVariant data(int column) const;
    bool setData(int column, const QVariant& value);
    bool isCheckable(int column) const;
    TreeItem* parent() const;

    bool isChecked() const;
    void setChecked(bool checked);

    bool insertChildren(int position, int count, int columns);
    bool removeChildren(int position, int count);
    bool insertColumns(int position, int columns);
    bool removeColumns(int position, int columns);

private:
    QList<TreeItem*> children;
    QVector<QVariant> itemData;
    TreeItem* parentItem;
    bool checked = false;
};

#endif // HW_MODEL_TREEITEM_H
