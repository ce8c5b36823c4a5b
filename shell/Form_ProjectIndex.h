#ifndef HW_FORM_PROJECTINDEX_H
#define HW_FORM_PROJECTINDEX_H

#include <QMenu>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QWidget>

#include <functional>

class DataModel;
class QAction;

namespace Ui {
class Form_ProjectIndex;
}

// The project tree dock: shows the controller's tree of lines and stations,
// turns a double-click into DataModel::showTreeNode and offers a station menu
// and a line menu whose entries call the controller. It keeps no project
// data of its own.
class Form_ProjectIndex : public QWidget
{
    Q_OBJECT

public:
    explicit Form_ProjectIndex(QWidget* parent = nullptr);
    ~Form_ProjectIndex() override;

    // The controller, also the tree view's model; not owned.
    void setModel(DataModel* model);
    // Asked before a double-click or the model calculation replaces what
    // is shown; false leaves it.
    void setShowGuard(std::function<bool()> guard);

signals:
    void signal_FittingMethodChanged(int);
    void signal_SavePic();
    void signal_SendPdfData();

public slots:
    // Collapses the whole tree (a project was loaded).
    void modelChanged();
    void on_treeView_doubleClicked(const QModelIndex& index);
    void on_treeView_clicked(const QModelIndex& index);
    void on_ShowContextMenu(const QPoint& pos);

    void on_ClearPointsInfotriggle(bool);
    void on_ExportRawDatatriggle(bool);
    void on_ActionExportCharttriggle(bool);
    void on_ActionModelCaltriggle(bool);
    void on_ChangeNametriggle(bool);
    void on_ActionLineSmoothtriggle(bool);
    void on_ActionExportAllCharttriggle(bool);
    void on_ActionModerlertriggle(bool);
    void on_ActionExportReporttriggle(bool);

    void on_actionDefaultTriggle(bool);
    void on_actionGaussTriggle(bool);
    void on_actionExponentialTriggle(bool);
    void on_actionResetTriggle(bool);

private:
    // Line, station and sample rows of a tree index, -1 for absent levels.
    static void rowsOf(const QModelIndex& index, int& line, int& station, int& sample);
    QAction* addAction(QMenu& menu, const char* name, const QString& text);
    // After a menu entry that may show the menu's line: the tree selects
    // that line when it is now shown and was not before.
    void followShownLine(int shownBefore);

    Ui::Form_ProjectIndex* ui;
    DataModel* m_model = nullptr;
    std::function<bool()> m_showGuard;

    int m_clickedLine = -1;
    int m_clickedStation = -1;
    int m_clickedSample = -1;
    int m_lastDoubleClickedLine = -1;
    // The node last shown from the tree.
    QPersistentModelIndex m_shownIndex;

    QMenu m_stationMenu;
    QMenu m_lineMenu;

    int m_menuLine = -1;
    int m_menuStation = -1;
    QModelIndex m_menuLineIndex;

    QAction* ActionClear = nullptr;
    QAction* ExportRawData = nullptr;
    QAction* ActionExportChart = nullptr;
    QAction* ActionModelCal = nullptr;
    QAction* ActionChangeName = nullptr;
    QAction* ActionLineSmooth = nullptr;
    QAction* ActionExportAllChart = nullptr;
    QAction* ActionModerler = nullptr;
    QAction* ActionExportReport = nullptr;
};

#endif
