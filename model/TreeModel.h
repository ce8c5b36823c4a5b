#ifndef HW_MODEL_TREEMODEL_H
#define HW_MODEL_TREEMODEL_H

#include <QAbstractItemModel>
#include <QModelIndex>
#include <QVariant>

class TreeItem;

// One-column tree of lines (level 1) and their stations (level 2), each row
// with a check box. Subclasses create rootItem (it holds the header values)
// and persist renames and check changes through the two hooks.
class TreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit TreeModel(QObject* parent);
    ~TreeModel() override;

    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value,
                 int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation,
                       const QVariant& value, int role = Qt::EditRole) override;
    bool insertRows(int position, int rows,
                    const QModelIndex& parent = QModelIndex()) override;
    bool insertColumns(int position, int columns,
                       const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int position, int rows,
                    const QModelIndex& parent = QModelIndex()) override;
    bool removeColumns(int position, int columns,
                       const QModelIndex& parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Called after the text of a row was changed through the edit role.
    virtual void itemRenamed(const QModelIndex& index) = 0;
    // Called after the check state of a row was changed; for a line once per
    // station first, then for the line itself.
    virtual void itemCheckStateChanged(const QModelIndex& index) = 0;

protected:
    // The item behind index, or rootItem for an invalid index.
    TreeItem* getItem(const QModelIndex& index) const;

    TreeItem* rootItem = nullptr;
};

#endif // HW_MODEL_TREEMODEL_H
