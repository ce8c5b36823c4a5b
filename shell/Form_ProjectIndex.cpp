#include "shell/Form_ProjectIndex.h"
#include "ui_Form_ProjectIndex.h"

#include <QAction>
#include <QCursor>
#include <QDir>

#include <utility>

#include "model/DataModel.h"
#include "model/UserPrompt.h"

Form_ProjectIndex::Form_ProjectIndex(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::Form_ProjectIndex)
{
    ui->setupUi(this);
    // A double-click shows the row; it must not fold it as well.
    ui->treeView->setExpandsOnDoubleClick(false);

    ActionClear = addAction(m_stationMenu, "ActionClear", QStringLiteral("重置该点数据"));
    ExportRawData = addAction(m_stationMenu, "ExportRawData", QStringLiteral("导出采样数据"));
    ActionExportChart = addAction(m_stationMenu, "ActionExportChart", QStringLiteral("导出衰减曲线图"));
    ActionModelCal = addAction(m_lineMenu, "ActionModelCal", QStringLiteral("导入层状模型反演"));
    ActionChangeName = addAction(m_lineMenu, "ActionChangeName", QStringLiteral("批量修改点号"));
    ActionLineSmooth = addAction(m_lineMenu, "ActionLineSmooth", QStringLiteral("批量平滑数据"));
    ActionExportAllChart = addAction(m_lineMenu, "ActionExportAllChart", QStringLiteral("批量导出曲线图"));
    ActionModerler = addAction(m_lineMenu, "ActionModerler", QStringLiteral("导入模型"));
    ActionExportReport = addAction(m_lineMenu, "ActionExportReport", QStringLiteral("导出数据处理报告"));

    connect(ui->treeView, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(on_ShowContextMenu(QPoint)));
    connect(ActionClear, SIGNAL(triggered(bool)), this, SLOT(on_ClearPointsInfotriggle(bool)));
    connect(ActionChangeName, SIGNAL(triggered(bool)), this, SLOT(on_ChangeNametriggle(bool)));
    connect(ExportRawData, SIGNAL(triggered(bool)), this, SLOT(on_ExportRawDatatriggle(bool)));
    connect(ActionLineSmooth, SIGNAL(triggered(bool)), this, SLOT(on_ActionLineSmoothtriggle(bool)));
    connect(ActionModerler, SIGNAL(triggered(bool)), this, SLOT(on_ActionModerlertriggle(bool)));
    connect(ActionExportReport, &QAction::triggered, this, &Form_ProjectIndex::on_ActionExportReporttriggle);
    connect(ActionModelCal, &QAction::triggered, this, &Form_ProjectIndex::on_ActionModelCaltriggle);
    connect(ActionExportChart, &QAction::triggered, this, &Form_ProjectIndex::on_ActionExportCharttriggle);
    connect(ActionExportAllChart, &QAction::triggered, this, &Form_ProjectIndex::on_ActionExportAllCharttriggle);
}

Form_ProjectIndex::~Form_ProjectIndex()
{
    delete ui;
}

QAction* Form_ProjectIndex::addAction(QMenu& menu, const char* name, const QString& text)
{
    auto* action = new QAction(&menu);
    action->setObjectName(QString::fromLatin1(name));
    action->setText(text);
    // The model file and the report need a line that was shown.
    if (qstrcmp(name, "ActionModerler") == 0 || qstrcmp(name, "ActionExportReport") == 0)
        action->setEnabled(false);
    menu.addAction(action);
    return action;
}

void Form_ProjectIndex::setModel(DataModel* model)
{
    m_model = model;
    ui->treeView->setModel(model);
}

void Form_ProjectIndex::setShowGuard(std::function<bool()> guard)
{
    m_showGuard = std::move(guard);
}

void Form_ProjectIndex::modelChanged()
{
    ui->treeView->collapseAll();
}

void Form_ProjectIndex::rowsOf(const QModelIndex& index, int& line, int& station, int& sample)
{
    const QModelIndex parent = index.parent();
    const QModelIndex grandparent = parent.parent();
    if (!parent.isValid()) {
        line = index.row();
        station = -1;
        sample = -1;
    } else if (!grandparent.isValid()) {
        line = parent.row();
        station = index.row();
        sample = -1;
    } else {
        line = grandparent.row();
        station = parent.row();
        sample = index.row();
    }
}

void Form_ProjectIndex::on_treeView_clicked(const QModelIndex& index)
{
    rowsOf(index, m_clickedLine, m_clickedStation, m_clickedSample);
}

void Form_ProjectIndex::on_treeView_doubleClicked(const QModelIndex& index)
{
    if (m_showGuard && !m_showGuard()) {
        // What is shown stays shown, and the tree points at it again.
        if (m_shownIndex.isValid())
            ui->treeView->setCurrentIndex(m_shownIndex);
        return;
    }
    const bool isLine = !index.parent().isValid();
    const bool isStation = !isLine && !index.parent().parent().isValid();
    if (isLine) {
        ActionModerler->setEnabled(true);
        ActionExportReport->setEnabled(true);
    } else if (isStation) {
        ActionModerler->setEnabled(false);
        ActionExportReport->setEnabled(false);
    }

    int line = -1;
    int station = -1;
    int sample = -1;
    rowsOf(index, line, station, sample);

    if (line != m_lastDoubleClickedLine) {
        if (QAbstractItemModel* model = ui->treeView->model())
            ui->treeView->collapse(model->index(m_lastDoubleClickedLine, 0));
        m_lastDoubleClickedLine = line;
    }

    if (m_model)
        m_model->showTreeNode(line, station, sample);
    m_shownIndex = index;
}

void Form_ProjectIndex::on_ShowContextMenu(const QPoint& pos)
{
    m_menuLine = -1;
    m_menuStation = -1;
    const QModelIndex index = ui->treeView->indexAt(pos);
    // Nothing under the cursor: every entry needs a line.
    if (!index.isValid())
        return;
    const QModelIndex parent = index.parent();
    if (parent.isValid() && parent.parent().isValid())
        return;
    if (parent.isValid()) {
        m_menuLine = parent.row();
        m_menuStation = index.row();
        m_stationMenu.exec(QCursor::pos());
    } else {
        m_menuLine = index.row();
        m_menuLineIndex = index;
        m_lineMenu.exec(QCursor::pos());
    }
}

void Form_ProjectIndex::on_ClearPointsInfotriggle(bool)
{
    if (m_model)
        m_model->clearPointInfo(m_menuLine, m_menuStation);
}

void Form_ProjectIndex::on_ExportRawDatatriggle(bool)
{
    if (m_model)
        m_model->exportSampledData(m_menuLine, m_menuStation);
}

void Form_ProjectIndex::on_ActionExportCharttriggle(bool)
{
    const QString path = UserPrompt::getSaveFileName(this, QStringLiteral("导出图片"), QStringLiteral("/"),
                                                     QStringLiteral("图片(*.png *.jpg)"));
    if (path.isEmpty() || !m_model)
        return;
    m_model->exportChartImages(path, m_menuStation, m_menuLine, -1);
}

void Form_ProjectIndex::on_ActionModelCaltriggle(bool)
{
    const QString path = UserPrompt::getOpenFileName(nullptr, QStringLiteral("导入模型"), QString(),
                                                     QStringLiteral("模型数据 (*.txt)"));
    if (path.isEmpty() || !m_model)
        return;
    // The section replaces the station view, as a double-click on the line
    // would: an unsaved edit of the station is settled first.
    if (m_showGuard && !m_showGuard())
        return;
    m_model->computeLineSection(m_menuLine);
    m_model->computeModelSection(path);
    // The line's section replaces whatever was shown.
    followShownLine(-1);
    ActionExportReport->setEnabled(true);
}

void Form_ProjectIndex::on_ChangeNametriggle(bool)
{
    if (m_model)
        m_model->showChangeNameDialog(m_menuLine, m_menuLineIndex);
}

void Form_ProjectIndex::on_ActionLineSmoothtriggle(bool)
{
    if (m_model)
        m_model->applyFittingMethod(m_menuLine, 1);
}

void Form_ProjectIndex::on_ActionExportAllCharttriggle(bool)
{
    const QString folder = UserPrompt::getExistingDirectory(nullptr, QStringLiteral("保存文件夹"), QDir::currentPath());
    if (folder.isEmpty() || !m_model)
        return;
    m_model->exportChartImages(folder, -1, m_menuLine, 0);
}

void Form_ProjectIndex::on_ActionModerlertriggle(bool)
{
    const QString path = UserPrompt::getOpenFileName(nullptr, QStringLiteral("导入模型"), QString(),
                                                     QStringLiteral("模型数据 (*.txt)"));
    if (path.isEmpty() || !m_model)
        return;
    m_model->sendModelerInput(path);
}

void Form_ProjectIndex::on_ActionExportReporttriggle(bool)
{
    // The one question for the report's file: a name ending in ".pdf" is
    // the PDF report (the controller goes by the name's suffix), which asks
    // no other. The document is always of the 2007 format: no entry offers
    // the older one, and a name typed with ".doc" gets ".docx" added.
    const QString path = UserPrompt::getSaveFileName(nullptr, QStringLiteral("导出文档"), QString(),
                                                     QStringLiteral("Word 文档(*.docx);;PDF 文档(*.pdf)"));
    if (path.isEmpty() || !m_model)
        return;
    // The line the menu was opened on, whichever line is shown.
    const int before = m_model->reportedLineRow();
    m_model->exportReport(path, m_menuLine);
    followShownLine(before);
}

void Form_ProjectIndex::followShownLine(int shownBefore)
{
    // A menu entry that showed the line it was opened on moves the tree's
    // selection there, as a double-click on it would have.
    if (!m_model || m_model->reportedLineRow() != m_menuLine || shownBefore == m_menuLine)
        return;
    const QModelIndex index = m_model->index(m_menuLine, 0);
    if (!index.isValid())
        return;
    if (m_menuLine != m_lastDoubleClickedLine) {
        ui->treeView->collapse(m_model->index(m_lastDoubleClickedLine, 0));
        m_lastDoubleClickedLine = m_menuLine;
    }
    ui->treeView->setCurrentIndex(index);
    m_shownIndex = index;
}

void Form_ProjectIndex::on_actionDefaultTriggle(bool)
{
    if (m_model)
        m_model->applyFittingMethod(m_menuLine, 0);
}

void Form_ProjectIndex::on_actionGaussTriggle(bool)
{
    if (m_model)
        m_model->applyFittingMethod(m_menuLine, 1);
}

void Form_ProjectIndex::on_actionExponentialTriggle(bool)
{
    if (m_model)
        m_model->applyFittingMethod(m_menuLine, 2);
}

void Form_ProjectIndex::on_actionResetTriggle(bool)
{
    if (m_model)
        m_model->resetPointData(m_clickedLine);
}
