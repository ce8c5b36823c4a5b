// The project tree model and its items.

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include "model/TreeItem.h"
#include "model/TreeModel.h"

namespace {

// Lines 1 and 2 with stations; line 1's first station holds one deeper row.
class ProjectTree : public TreeModel
{
public:
    ProjectTree()
        : TreeModel(nullptr)
    {
        rootItem = new TreeItem({QStringLiteral("工程")}, nullptr);
        addLine(1.0, true, {"10.0", "20.0", "30.0"});
        addLine(2.0, false, {"5.0"});
        TreeItem* station = rootItem->child(0)->child(0);
        station->insertChildren(0, 1, 1);
        station->child(0)->setData(0, QStringLiteral("detail"));
    }

    void itemRenamed(const QModelIndex& index) override
    {
        calls << QStringLiteral("renamed %1").arg(describe(index));
    }
    void itemCheckStateChanged(const QModelIndex& index) override
    {
        calls << QStringLiteral("checked %1=%2").arg(describe(index))
                     .arg(index.data(Qt::CheckStateRole).toInt());
    }

    static QString describe(const QModelIndex& index)
    {
        return index.data(Qt::DisplayRole).toString();
    }

    TreeItem* root() const { return rootItem; }

    QStringList calls;

private:
    void addLine(double name, bool use, const QStringList& stations)
    {
        rootItem->insertChildren(rootItem->childCount(), 1, 1);
        TreeItem* line = rootItem->child(rootItem->childCount() - 1);
        line->setData(0, name);
        line->setChecked(use);
        for (const QString& s : stations) {
            line->insertChildren(line->childCount(), 1, 1);
            TreeItem* station = line->child(line->childCount() - 1);
            station->setData(0, s);
            station->setChecked(use);
        }
    }
};

} // namespace

class TestTreeModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void passesModelTester();

    void treeItemBounds();
    void insertChildren_data();
    void insertChildren();
    void removeChildren_data();
    void removeChildren();
    void itemColumnsAreRecursive();
    void itemDestructionFreesChildren();

    void structure();
    void data_data();
    void data();
    void flags_data();
    void flags();
    void headerData();

    void renameRow();
    void renameRefused();
    void checkLine_data();
    void checkLine();
    void checkStation();
    void checkRefused_data();
    void checkRefused();

    void refusedStructureChangesAreSilent();
    void removingLastColumnRemovesRows();

private:
    std::unique_ptr<ProjectTree> model;
    QModelIndex line1() const { return model->index(0, 0); }
    QModelIndex line2() const { return model->index(1, 0); }
    QModelIndex station(int row) const { return model->index(row, 0, line1()); }
    QModelIndex deep() const { return model->index(0, 0, station(0)); }
};

void TestTreeModel::initTestCase()
{
    qRegisterMetaType<Qt::Orientation>();
}

void TestTreeModel::init()
{
    model = std::make_unique<ProjectTree>();
}

void TestTreeModel::passesModelTester()
{
    QAbstractItemModelTester tester(model.get(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);

    // Mutations are checked by the tester's signal bookkeeping as they happen.
    QVERIFY(model->setData(station(1), QStringLiteral("25.0"), Qt::EditRole));
    QVERIFY(model->setData(line1(), Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(model->insertRows(1, 2, line1()));
    QCOMPARE(model->rowCount(line1()), 5);
    QVERIFY(model->removeRows(0, 2, line1()));
    QVERIFY(model->insertRows(2, 1));
    QVERIFY(model->insertColumns(1, 2));
    QCOMPARE(model->columnCount(), 3);
    QVERIFY(model->setHeaderData(1, Qt::Horizontal, QStringLiteral("extra")));
    QVERIFY(model->removeColumns(1, 2));
    QVERIFY(!model->insertRows(10, 1));
    QVERIFY(!model->removeRows(0, 9));
    QVERIFY(model->removeRows(0, model->rowCount()));
    QCOMPARE(model->rowCount(), 0);
}

void TestTreeModel::treeItemBounds()
{
    TreeItem root({QStringLiteral("h")}, nullptr);
    QCOMPARE(root.childNumber(), 0);
    QVERIFY(!root.isChecked());
    QVERIFY(root.isCheckable(0));
    QVERIFY(!root.isCheckable(1));
    QVERIFY(!root.data(-1).isValid());
    QVERIFY(!root.data(1).isValid());
    QVERIFY(!root.setData(1, 5));
    QVERIFY(!root.setData(-1, 5));
    QVERIFY(root.setData(0, 5));
    QCOMPARE(root.data(0), QVariant(5));

    QVERIFY(root.insertChildren(0, 2, 0));
    QVERIFY(!root.child(-1));
    QVERIFY(!root.child(2));
    QCOMPARE(root.child(1)->childNumber(), 1);
    QCOMPARE(root.child(1)->parent(), &root);
    QVERIFY(!root.child(0)->isCheckable(0)); // no values

    // An item its parent does not hold reports no row.
    TreeItem stray({1}, &root);
    QCOMPARE(stray.childNumber(), -1);
}

void TestTreeModel::insertChildren_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("front") << 0 << 1 << true << QStringList{"", "a", "b"};
    QTest::newRow("middle, two") << 1 << 2 << true << QStringList{"a", "", "", "b"};
    QTest::newRow("at childCount appends") << 2 << 1 << true << QStringList{"a", "b", ""};
    QTest::newRow("beyond childCount") << 3 << 1 << false << QStringList{"a", "b"};
    QTest::newRow("negative position") << -1 << 1 << false << QStringList{"a", "b"};
    QTest::newRow("count zero") << 1 << 0 << true << QStringList{"a", "b"};
}

void TestTreeModel::insertChildren()
{
    QFETCH(int, position);
    QFETCH(int, count);
    QFETCH(bool, ok);
    QFETCH(QStringList, names);

    TreeItem root({QStringLiteral("h")}, nullptr);
    root.insertChildren(0, 2, 1);
    root.child(0)->setData(0, QStringLiteral("a"));
    root.child(1)->setData(0, QStringLiteral("b"));

    QCOMPARE(root.insertChildren(position, count, 2), ok);
    QStringList got;
    for (int i = 0; i < root.childCount(); ++i) {
        got << root.child(i)->data(0).toString();
        QCOMPARE(root.child(i)->childNumber(), i);
    }
    QCOMPARE(got, names);
    if (ok && count > 0) {
        TreeItem* fresh = root.child(position);
        QCOMPARE(fresh->columnCount(), 2);
        QVERIFY(!fresh->data(0).isValid());
        QVERIFY(!fresh->isChecked());
        QCOMPARE(fresh->parent(), &root);
    }
}

void TestTreeModel::removeChildren_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("first") << 0 << 1 << true << QStringList{"b", "c"};
    QTest::newRow("last two") << 1 << 2 << true << QStringList{"a"};
    QTest::newRow("all") << 0 << 3 << true << QStringList{};
    QTest::newRow("past the end") << 2 << 2 << false << QStringList{"a", "b", "c"};
    QTest::newRow("negative position") << -1 << 1 << false << QStringList{"a", "b", "c"};
}

void TestTreeModel::removeChildren()
{
    QFETCH(int, position);
    QFETCH(int, count);
    QFETCH(bool, ok);
    QFETCH(QStringList, names);

    TreeItem root({QStringLiteral("h")}, nullptr);
    root.insertChildren(0, 3, 1);
    const char* n[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i)
        root.child(i)->setData(0, QString::fromLatin1(n[i]));

    QCOMPARE(root.removeChildren(position, count), ok);
    QStringList got;
    for (int i = 0; i < root.childCount(); ++i)
        got << root.child(i)->data(0).toString();
    QCOMPARE(got, names);
}

void TestTreeModel::itemColumnsAreRecursive()
{
    TreeItem root({QStringLiteral("h")}, nullptr);
    root.insertChildren(0, 1, 1);
    root.child(0)->insertChildren(0, 1, 1);
    TreeItem* grandChild = root.child(0)->child(0);
    grandChild->setData(0, 42);

    QVERIFY(!root.insertColumns(2, 1));
    QVERIFY(!root.insertColumns(-1, 1));
    QVERIFY(root.insertColumns(0, 2));
    QCOMPARE(root.columnCount(), 3);
    QCOMPARE(grandChild->columnCount(), 3);
    QCOMPARE(grandChild->data(2), QVariant(42));
    QCOMPARE(root.data(2).toString(), QStringLiteral("h"));

    QVERIFY(!root.removeColumns(2, 2));
    QVERIFY(!root.removeColumns(-1, 1));
    QVERIFY(root.removeColumns(0, 2));
    QCOMPARE(grandChild->columnCount(), 1);
    QCOMPARE(grandChild->data(0), QVariant(42));
}

void TestTreeModel::itemDestructionFreesChildren()
{
    // Run under a leak checker this shows a missing delete; here it must
    // simply not crash on a deep tree.
    auto* root = new TreeItem({1}, nullptr);
    TreeItem* item = root;
    for (int depth = 0; depth < 50; ++depth) {
        item->insertChildren(0, 3, 1);
        item = item->child(1);
    }
    delete root;
}

void TestTreeModel::structure()
{
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->rowCount(line1()), 3);
    QCOMPARE(model->rowCount(station(0)), 1);
    QCOMPARE(model->columnCount(), 1);
    QCOMPARE(model->columnCount(station(0)), 1);

    QVERIFY(!model->parent(line1()).isValid());
    QCOMPARE(model->parent(station(2)), line1());
    QCOMPARE(model->parent(deep()), station(0));
    QVERIFY(!model->parent(QModelIndex()).isValid());

    QVERIFY(!model->index(3, 0, line1()).isValid());
    QVERIFY(!model->index(-1, 0).isValid());
    // Only column 0 has children.
    const QModelIndex column1 = model->index(0, 1);
    QVERIFY(column1.isValid()); // the column is not range-checked
    QVERIFY(!model->index(0, 0, column1).isValid());
}

void TestTreeModel::data_data()
{
    QTest::addColumn<int>("which"); // 0 line 1, 1 line 2, 2 station 0, 3 deep, 4 column 1
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("line display") << 0 << int(Qt::DisplayRole) << QVariant(1.0);
    QTest::newRow("line edit") << 0 << int(Qt::EditRole) << QVariant(1.0);
    QTest::newRow("line checked") << 0 << int(Qt::CheckStateRole) << QVariant(int(Qt::Checked));
    QTest::newRow("line unchecked") << 1 << int(Qt::CheckStateRole) << QVariant(int(Qt::Unchecked));
    QTest::newRow("station display") << 2 << int(Qt::DisplayRole) << QVariant(QStringLiteral("10.0"));
    QTest::newRow("deep display") << 3 << int(Qt::DisplayRole) << QVariant(QStringLiteral("detail"));
    QTest::newRow("tool tip") << 0 << int(Qt::ToolTipRole) << QVariant();
    QTest::newRow("decoration") << 2 << int(Qt::DecorationRole) << QVariant();
    QTest::newRow("column 1 display") << 4 << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("column 1 check state") << 4 << int(Qt::CheckStateRole) << QVariant();
}

void TestTreeModel::data()
{
    QFETCH(int, which);
    QFETCH(int, role);
    QFETCH(QVariant, expected);

    const QModelIndex idx[] = {line1(), line2(), station(0), deep(), model->index(0, 1)};
    QCOMPARE(model->data(idx[which], role), expected);
    QVERIFY(!model->data(QModelIndex(), Qt::DisplayRole).isValid());
}

void TestTreeModel::flags_data()
{
    QTest::addColumn<int>("which"); // 0 line, 1 station, 2 deep, 3 line column 1, 4 invalid
    QTest::addColumn<int>("expected");

    const int base = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    QTest::newRow("line") << 0 << (base | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
    QTest::newRow("station") << 1 << (base | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
    QTest::newRow("deep") << 2 << (base | Qt::ItemIsUserCheckable);
    QTest::newRow("line column 1") << 3 << (base | Qt::ItemIsEditable);
    QTest::newRow("invalid") << 4 << int(Qt::NoItemFlags);
}

void TestTreeModel::flags()
{
    QFETCH(int, which);
    QFETCH(int, expected);
    const QModelIndex idx[] = {line1(), station(1), deep(), model->index(0, 1), QModelIndex()};
    QCOMPARE(int(model->flags(idx[which])), expected);
}

void TestTreeModel::headerData()
{
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("工程"));
    QVERIFY(!model->headerData(0, Qt::Vertical).isValid());
    QVERIFY(!model->headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(!model->headerData(1, Qt::Horizontal).isValid());

    QSignalSpy spy(model.get(), &QAbstractItemModel::headerDataChanged);
    QVERIFY(!model->setHeaderData(0, Qt::Vertical, QStringLiteral("x")));
    QVERIFY(!model->setHeaderData(0, Qt::Horizontal, QStringLiteral("x"), Qt::DisplayRole));
    QVERIFY(!model->setHeaderData(1, Qt::Horizontal, QStringLiteral("x")));
    QCOMPARE(spy.count(), 0);
    QVERIFY(model->setHeaderData(0, Qt::Horizontal, QStringLiteral("Project")));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).value<Qt::Orientation>(), Qt::Horizontal);
    QCOMPARE(spy.first().at(1).toInt(), 0);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Project"));
}

void TestTreeModel::renameRow()
{
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(model->setData(station(2), QStringLiteral("35.0"), Qt::EditRole));
    QCOMPARE(station(2).data().toString(), QStringLiteral("35.0"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), station(2));
    QCOMPARE(changed.first().at(2).value<QVector<int>>(), QVector<int>{Qt::EditRole});
    QCOMPARE(model->calls, QStringList{"renamed 35.0"});

    // Any level may be renamed.
    QVERIFY(model->setData(deep(), QStringLiteral("d2"), Qt::EditRole));
    QCOMPARE(model->calls.last(), QStringLiteral("renamed d2"));
}

void TestTreeModel::renameRefused()
{
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(!model->setData(model->index(0, 1), QStringLiteral("x"), Qt::EditRole));
    QVERIFY(!model->setData(QModelIndex(), QStringLiteral("x"), Qt::EditRole));
    QVERIFY(!model->setData(station(0), QStringLiteral("x"), Qt::ToolTipRole));
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("工程"));
    QCOMPARE(changed.count(), 0);
    QVERIFY(model->calls.isEmpty());
}

void TestTreeModel::checkLine_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("state");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("uncheck line 1") << 0 << int(Qt::Unchecked) << 0
        << QStringList{"checked 10.0=0", "checked 20.0=0", "checked 30.0=0", "checked 1=0"};
    QTest::newRow("check line 2") << 1 << int(Qt::Checked) << 2
        << QStringList{"checked 5.0=2", "checked 2=2"};
    QTest::newRow("partial means unchecked") << 0 << int(Qt::PartiallyChecked) << 0
        << QStringList{"checked 10.0=0", "checked 20.0=0", "checked 30.0=0", "checked 1=0"};
}

void TestTreeModel::checkLine()
{
    QFETCH(int, line);
    QFETCH(int, value);
    QFETCH(int, state);
    QFETCH(QStringList, calls);

    const QModelIndex idx = model->index(line, 0);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(model->setData(idx, value, Qt::CheckStateRole));
    QCOMPARE(model->calls, calls);
    QCOMPARE(idx.data(Qt::CheckStateRole).toInt(), state);
    for (int r = 0; r < model->rowCount(idx); ++r)
        QCOMPARE(model->index(r, 0, idx).data(Qt::CheckStateRole).toInt(), state);
    QCOMPARE(changed.count(), model->rowCount(idx) + 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), idx);
    QCOMPARE(changed.first().at(2).value<QVector<int>>(), QVector<int>{Qt::CheckStateRole});
}

void TestTreeModel::checkStation()
{
    QVERIFY(model->setData(station(1), int(Qt::Unchecked), Qt::CheckStateRole));
    QCOMPARE(model->calls, QStringList{"checked 20.0=0"});
    QCOMPARE(station(1).data(Qt::CheckStateRole).toInt(), 0);
    // The line and the other stations keep their state.
    QCOMPARE(line1().data(Qt::CheckStateRole).toInt(), 2);
    QCOMPARE(station(0).data(Qt::CheckStateRole).toInt(), 2);
}

void TestTreeModel::checkRefused_data()
{
    QTest::addColumn<int>("which"); // 0 deep row, 1 line column 1
    QTest::newRow("deeper than a station") << 0;
    QTest::newRow("column without check box") << 1;
}

void TestTreeModel::checkRefused()
{
    QFETCH(int, which);
    const QModelIndex idx = which == 0 ? deep() : model->index(0, 1);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(!model->setData(idx, int(Qt::Checked), Qt::CheckStateRole));
    QCOMPARE(changed.count(), 0);
    QVERIFY(model->calls.isEmpty());
    if (which == 0)
        QCOMPARE(idx.data(Qt::CheckStateRole).toInt(), 0);
}

void TestTreeModel::refusedStructureChangesAreSilent()
{
    QSignalSpy aboutInsert(model.get(), &QAbstractItemModel::rowsAboutToBeInserted);
    QSignalSpy aboutRemove(model.get(), &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy aboutInsertCol(model.get(), &QAbstractItemModel::columnsAboutToBeInserted);
    QSignalSpy aboutRemoveCol(model.get(), &QAbstractItemModel::columnsAboutToBeRemoved);

    QVERIFY(!model->insertRows(4, 1, line1()));
    QVERIFY(!model->insertRows(-1, 1));
    QVERIFY(!model->removeRows(2, 2, line1()));
    QVERIFY(!model->removeRows(-1, 1));
    QVERIFY(!model->insertColumns(2, 1));
    QVERIFY(!model->removeColumns(0, 2));
    QCOMPARE(aboutInsert.count() + aboutRemove.count(), 0);
    QCOMPARE(aboutInsertCol.count() + aboutRemoveCol.count(), 0);
    QCOMPARE(model->rowCount(line1()), 3);
    QCOMPARE(model->columnCount(), 1);

    // New rows take the root's column count.
    QVERIFY(model->insertRows(3, 1, line1()));
    QCOMPARE(aboutInsert.count(), 1);
    const QModelIndex fresh = station(3);
    QVERIFY(fresh.isValid());
    QVERIFY(!fresh.data().isValid());
    QVERIFY(model->setData(fresh, QStringLiteral("40.0")));
    QCOMPARE(station(3).data().toString(), QStringLiteral("40.0"));
}

void TestTreeModel::removingLastColumnRemovesRows()
{
    QAbstractItemModelTester tester(model.get(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    QVERIFY(model->insertColumns(1, 1));
    QVERIFY(model->removeColumns(0, 1));
    QCOMPARE(model->rowCount(), 2); // one column left
    QCOMPARE(removed.count(), 0);
    QVERIFY(model->removeColumns(0, 1));
    QCOMPARE(model->columnCount(), 0);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(removed.count(), 1);
}

QTEST_GUILESS_MAIN(TestTreeModel)
#include "tst_tree_model.moc"
