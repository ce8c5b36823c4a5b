// The ribbon surface of the main window: backstage, quick-access bar and the
// two pages with their groups.

#include "shell/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QVBoxLayout>

#include "platform/ribbon/RibbonBackstageView.h"
#include "platform/ribbon/RibbonBar.h"
#include "platform/ribbon/RibbonGroup.h"
#include "platform/ribbon/RibbonPage.h"
#include "platform/ribbon/RibbonQuickAccessBar.h"
#include "platform/ribbon/RibbonSystemButton.h"
#include "shell/BackstagePageAbout.h"
#include "shell/BackstagePageInfo.h"

namespace {

const Qt::ToolButtonStyle kLarge = Qt::ToolButtonTextUnderIcon;
const Qt::ToolButtonStyle kSmall = Qt::ToolButtonTextBesideIcon;

// One ribbon command: added to group, its triggered(bool) wired to slot.
QAction* addCommand(Qtitan::RibbonGroup* group, const char* icon, const QString& text,
                    Qt::ToolButtonStyle style, QObject* receiver, const char* slot,
                    bool checkable = false, bool checked = false, bool enabled = true,
                    QMenu* menu = nullptr)
{
    QAction* action = group->addAction(QIcon(QString::fromLatin1(icon)), text, style, menu,
                                       QToolButton::MenuButtonPopup);
    action->setCheckable(checkable);
    action->setChecked(checked);
    action->setEnabled(enabled);
    if (slot)
        QObject::connect(action, SIGNAL(triggered(bool)), receiver, slot);
    return action;
}

// A label-and-edit row of a parameter panel.
QLineEdit* addParameterRow(QVBoxLayout* layout, const QString& label, const QString& text)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(label));
    auto* edit = new QLineEdit(text);
    edit->setAlignment(Qt::AlignRight);
    edit->setMaximumWidth(80);
    row->addWidget(edit);
    layout->addLayout(row);
    return edit;
}

} // namespace

void MainWindow::createBackstage()
{
    QIcon icon;
    icon.addPixmap(QPixmap(QStringLiteral(":/Res/logo-02.png")), QIcon::Normal, QIcon::Off);
    QAction* systemAction = ribbonBar()->addSystemButton(icon, tr("&File"));
    if (!systemAction)
        return;
    systemAction->setToolTip(QStringLiteral("点击此处，反馈信息给") + organisationName());

    m_backstage = new Qtitan::RibbonBackstageView(ribbonBar());
    connect(m_backstage, SIGNAL(aboutToShow()), this, SLOT(showBackstage()));
    connect(m_backstage, SIGNAL(aboutToHide()), this, SLOT(hideBackstage()));

    m_backstage->addPage(new BackstagePageInfo(this));
    m_backstage->addPage(new BackstagePageAbout(this));

    m_backstage->addAction(QIcon(QStringLiteral(":/Res/help_info_32px.png")), tr("Options"));
    QAction* exitAction =
        m_backstage->addAction(QIcon(QStringLiteral(":/Res/application_exit_4_32px.png")), tr("Exit"));
    connect(exitAction, SIGNAL(triggered()), this, SLOT(close()));

    if (Qtitan::RibbonSystemButton* button = ribbonBar()->getSystemButton())
        button->setBackstage(m_backstage);
}

void MainWindow::showBackstage()
{
    if (Qtitan::RibbonQuickAccessBar* bar = ribbonBar()->quickAccessBar())
        bar->setEnabled(false);
    if (m_actionRibbonMinimize)
        m_actionRibbonMinimize->setEnabled(false);
    if (m_menuOptions)
        m_menuOptions->setEnabled(false);
}

void MainWindow::hideBackstage()
{
    if (Qtitan::RibbonQuickAccessBar* bar = ribbonBar()->quickAccessBar())
        bar->setEnabled(true);
    if (m_actionRibbonMinimize)
        m_actionRibbonMinimize->setEnabled(true);
    if (m_menuOptions)
        m_menuOptions->setEnabled(true);
}

void MainWindow::createQuickAccessBar()
{
    Qtitan::RibbonQuickAccessBar* bar = ribbonBar()->quickAccessBar();
    if (!bar)
        return;
    if (QAction* customize = bar->actionCustomizeButton())
        customize->setToolTip(tr("Customize Quick Access Bar"));

    m_qaNew = bar->addAction(QIcon(QStringLiteral(":/Res/Add_32x32.png")), QStringLiteral("新建"));
    m_qaNew->setToolTip(QStringLiteral("新建一个工程文件"));
    bar->setActionVisible(m_qaNew, false);

    m_qaOpen = bar->addAction(QIcon(QStringLiteral(":/Res/Open_32x32.png")), QStringLiteral("打开"));
    m_qaOpen->setToolTip(QStringLiteral("打开一个工程文件"));
    connect(m_qaOpen, SIGNAL(triggered(bool)), this, SLOT(on_actionOpen_triggered(bool)));

    m_qaSave = bar->addAction(QIcon(QStringLiteral(":/Res/Save_32x32.png")), QStringLiteral("保存"));
    m_qaSave->setToolTip(QStringLiteral("保存数据到工程文件"));
    connect(m_qaSave, SIGNAL(triggered(bool)), this, SLOT(on_actionFileSave_triggerd(bool)));
    // Off like the ribbon's 保存 until there is an edit to save: without a
    // project there is nothing it could write.
    m_qaSave->setEnabled(false);

    m_qaClose = bar->addAction(QIcon(QStringLiteral(":/Res/Delete_32x32.png")), QStringLiteral("关闭"));
    m_qaClose->setToolTip(QStringLiteral("关闭当前工程文件"));
    connect(m_qaClose, SIGNAL(triggered(bool)), this, SLOT(on_actionFileClose_triggerd(bool)));
    m_qaClose->setEnabled(false);

    m_qaHelp = bar->addAction(QIcon(QStringLiteral(":/Res/Help_32x32.png")), tr("&Help"));
    m_qaHelp->setToolTip(tr("Get help with Email to me"));

    ribbonBar()->showQuickAccess(true);
}

void MainWindow::createRibbon()
{
    if (Qtitan::RibbonPage* page = ribbonBar()->addPage(QStringLiteral("&主页"))) {
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("文件"))) {
            m_actionNew = addCommand(g, ":/Res/Add_32x32.png", QStringLiteral("新建"), kLarge, this,
                                     SLOT(on_actionFileMerge_triggerd(bool)));
            m_actionOpen = addCommand(g, ":/Res/Open_32x32.png", QStringLiteral("打开"), kLarge, this,
                                      SLOT(on_actionOpen_triggered(bool)));
            m_actionSave = addCommand(g, ":/Res/Save_32x32.png", QStringLiteral("保存"), kLarge, this,
                                      SLOT(on_actionFileSave_triggerd(bool)), false, false, false);
            m_actionClose = addCommand(g, ":/Res/Delete_32x32.png", QStringLiteral("关闭"), kLarge, this,
                                       SLOT(on_actionFileClose_triggerd(bool)), false, false, false);
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("外部文件"))) {
            auto* importMenu = new QMenu(this);
            m_actionImportGps = importMenu->addAction(QIcon(QStringLiteral(":/Res/Download_32x32.png")),
                                                      QStringLiteral("导入空间坐标"));
            m_actionImportGps->setEnabled(false);
            connect(m_actionImportGps, SIGNAL(triggered(bool)), this, SLOT(on_actionFileImport_triggerd(bool)));
            m_actionImport = addCommand(g, ":/Res/Download_32x32.png", QStringLiteral("导入"), kLarge, this,
                                        SLOT(on_actionFileImport_triggerd(bool)), false, false, false,
                                        importMenu);
            m_actionExport = addCommand(g, ":/Res/Forward_32x32.png", QStringLiteral("导出"), kLarge, this,
                                        SLOT(on_actionFileExport_triggerd(bool)), false, false, false);
            m_actionExportByLine = addCommand(g, ":/Res/Forward_32x32.png", QStringLiteral("所有线反演结果导出"),
                                              kLarge, this, SLOT(on_actionFileExportByLine_triggerd(bool)));
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("软件设置"))) {
            m_actionExit = addCommand(g, ":/Res/Remove_32x32.png", QStringLiteral("退出"), kLarge, this,
                                      SLOT(on_actionaExit_triggerd(bool)));
            m_actionAxis = addCommand(g, ":/Res/Settings_32x32.png", QStringLiteral("T/S设置"), kLarge, this,
                                      SLOT(on_actionAxisSetting_triggerd(bool)));
            m_actionAxis2 = addCommand(g, ":/Res/Settings_32x32.png", QStringLiteral("ρ/d设置"), kLarge, this,
                                       SLOT(on_actionAxis2Setting_triggerd(bool)));
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("设置"))) {
            m_machine[0] = addCommand(g, ":/Res/Archive_32x32.png", QStringLiteral("仪器选择"), kLarge, this,
                                      SLOT(on_actionMachineSeting_triggerd(bool)), true, true);
            m_machine[1] = addCommand(g, ":/Res/Archive_32x32.png", tr("QELVA28"), kSmall, this,
                                      SLOT(on_actionMachineSeting_triggerd(bool)), true, true);
            m_machine[2] = addCommand(g, ":/Res/Archive_32x32.png", tr("TEM"), kSmall, this,
                                      SLOT(on_actionMORSA18_triggerd(bool)), true, false, false);
            m_machine[3] = addCommand(g, ":/Res/Archive_32x32.png", tr("PLIX"), kSmall, this,
                                      SLOT(on_actionPLIX18_triggerd(bool)), true, false, false);
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("数据编辑"))) {
            m_pointMoveBox = new QCheckBox(QStringLiteral("点移动"));
            m_pointMoveBox->setToolTip(QStringLiteral("数据某一道移动"));
            m_pointMoveBox->setCheckState(Qt::Unchecked);
            m_lineMoveBox = new QCheckBox(QStringLiteral("线移动"));
            m_lineMoveBox->setToolTip(QStringLiteral("数据整支曲线移动"));
            m_lineMoveBox->setCheckState(Qt::Unchecked);
            m_pointMove = 0;
            m_lineMove = 0;
            g->addWidget(m_pointMoveBox);
            g->addWidget(m_lineMoveBox);
            connect(m_pointMoveBox, SIGNAL(stateChanged(int)), this, SLOT(on_pointMoveCheckStateChanged(int)));
            connect(m_lineMoveBox, SIGNAL(stateChanged(int)), this, SLOT(on_lineMoveCheckStateChanged(int)));
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("数据显示"))) {
            m_showLineActions[0] = addCommand(g, ":/Res/Chart_Curve_Edit_24px.png", QStringLiteral("显示选择"),
                                              kLarge, this, SLOT(on_actionShowLine_triggerd(bool)), true, true);
            m_showLineActions[1] = addCommand(g, ":/Res/Chart_Curve_24px.png", QStringLiteral("原始数据"), kSmall,
                                              this, SLOT(on_actionShowLine_triggerd(bool)), true, true);
            m_showLineActions[2] = addCommand(g, ":/Res/Chart_Curve_Add.png", QStringLiteral("前一点"), kSmall,
                                              this, SLOT(on_actionShowFrontLine_triggerd(bool)), true, false);
            m_showLineActions[3] = addCommand(g, ":/Res/Chart_Curve_24px.png", QStringLiteral("后一点"), kSmall,
                                              this, SLOT(on_actionShowBehindLine_triggerd(bool)), true, false);
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("设置"))) {
            m_channel[0] = addCommand(g, ":/Res/Compact Disk_32x32.png", QStringLiteral("抽道选择"), kLarge, this,
                                      SLOT(on_actionChannelQELVA18_triggerd(bool)), true, true);
            m_channel[1] = addCommand(g, ":/Res/Compact Disk_32x32.png", QStringLiteral("QELVA28"), kSmall, this,
                                      SLOT(on_actionChannelQELVA18_triggerd(bool)), true, true);
            m_channel[2] = addCommand(g, ":/Res/Compact Disk_32x32.png", QStringLiteral("每级30窗"), kSmall, this,
                                      SLOT(on_actionChannelLOG10_triggerd(bool)), true, false);
            m_channel[3] = addCommand(g, ":/Res/Compact Disk_32x32.png", QStringLiteral("每级20窗"), kSmall, this,
                                      SLOT(on_actionChannelLOG12_triggerd(bool)), true, false);
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("拟合方法"))) {
            m_fit[0] = addCommand(g, ":/Res/Audio Disk_32x32.png", QStringLiteral("数据拟合"), kLarge, this,
                                  SLOT(on_actionLineFit_triggerd(bool)), true, false, false);
            m_fit[1] = addCommand(g, ":/Res/Audio Disk_32x32.png", QStringLiteral("默认拟合"), kSmall, this,
                                  SLOT(on_actionLineFit_triggerd(bool)), true, false, false);
            m_fit[2] = addCommand(g, ":/Res/Audio Disk_32x32.png", QStringLiteral("高斯拟合"), kSmall, this,
                                  SLOT(on_actionGaussFit_triggerd(bool)), true, false, false);
            m_fit[3] = addCommand(g, ":/Res/Audio Disk_32x32.png", QStringLiteral("幂数拟合"), kSmall, this,
                                  SLOT(on_actionExpFit_triggerd(bool)), true, false, false);
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("停靠显示"))) {
            m_actionShowLeftDock = addCommand(g, ":/Res/genymotion_32px.png", QStringLiteral("工程索引"), kLarge,
                                              this, SLOT(on_actionShowLeftDock_triggerd(bool)), true, true);
        }
    }

    if (Qtitan::RibbonPage* page = ribbonBar()->addPage(QStringLiteral("&数据反演"))) {
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("设置"))) {
            auto* panel = new QWidget;
            auto* rows = new QVBoxLayout(panel);
            rows->setContentsMargins(2, 2, 2, 2);
            m_lineEditStart = addParameterRow(rows, QStringLiteral("起始点号"), QStringLiteral("-1.0"));
            m_lineEditEnd = addParameterRow(rows, QStringLiteral("终止点号"), QStringLiteral("-1.0"));
            g->addWidget(panel);
            connect(m_lineEditStart, SIGNAL(editingFinished()), this, SLOT(on_lineEdit1EditingFinished()));
            connect(m_lineEditEnd, SIGNAL(editingFinished()), this, SLOT(on_lineEdit2EditingFinished()));
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("参数设置"))) {
            auto* left = new QWidget;
            auto* leftRows = new QVBoxLayout(left);
            leftRows->setContentsMargins(2, 2, 2, 2);
            m_lineEditCof = addParameterRow(leftRows, QStringLiteral("约束系数"), QStringLiteral("1.0"));
            m_lineEditSmooth = addParameterRow(leftRows, QStringLiteral("反演系数"), QStringLiteral("0.3"));
            auto* right = new QWidget;
            auto* rightRows = new QVBoxLayout(right);
            rightRows->setContentsMargins(2, 2, 2, 2);
            m_lineEditRes = addParameterRow(rightRows, QStringLiteral("基准阻值"), QStringLiteral("100"));
            m_lineEditDepth = addParameterRow(rightRows, QStringLiteral("反演深度"), QStringLiteral("100"));
            g->addWidget(left);
            g->addWidget(right);
            connect(m_lineEditCof, SIGNAL(editingFinished()), this, SLOT(on_lineEditCofEditingFinished()));
            connect(m_lineEditSmooth, SIGNAL(editingFinished()), this, SLOT(on_lineEditSmoothEditingFinished()));
            connect(m_lineEditRes, SIGNAL(editingFinished()), this, SLOT(on_lineEditResEditingFinished()));
            connect(m_lineEditDepth, SIGNAL(editingFinished()), this, SLOT(on_lineEditDepthEditingFinished()));
        }
        // The record starts with the values the edits show.
        if (m_lineEditStart)
            m_invParam.startStation = m_startStation = m_lineEditStart->text().toDouble();
        if (m_lineEditEnd)
            m_invParam.endStation = m_endStation = m_lineEditEnd->text().toDouble();
        if (m_lineEditCof)
            m_invParam.constraintCoefficient = m_constraint = m_lineEditCof->text().toDouble();
        if (m_lineEditSmooth)
            m_invParam.inversionCoefficient = m_smooth = m_lineEditSmooth->text().toDouble();
        if (m_lineEditRes)
            m_invParam.referenceResistivity = m_resistivity = m_lineEditRes->text().toDouble();
        if (m_lineEditDepth)
            m_invParam.inversionDepth = m_depth = m_lineEditDepth->text().toDouble();

        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("反演设置"))) {
            m_actionGridSetting = addCommand(g, ":/Res/grid.png", QStringLiteral("网格化设置"), kLarge, this,
                                             SLOT(on_actionGridSeting_triggerd(bool)));
            m_method[0] = addCommand(g, ":/Res/layers_119.13573407202px.png", QStringLiteral("反演方法"), kLarge,
                                     this, SLOT(on_actionTransRelax_triggerd(bool)), true, true);
            m_method[1] = addCommand(g, ":/Res/layers_119.13573407202px.png", QStringLiteral("瞬态弛豫反演方法"),
                                     kSmall, this, SLOT(on_actionTransRelax_triggerd(bool)), true, true);
            m_method[2] = addCommand(g, ":/Res/layers_119.13573407202px.png", QStringLiteral("二维瞬态弛豫反演"),
                                     kSmall, this, SLOT(on_actionTransRelax2D_triggerd(bool)), true, false);
            m_method[3] = addCommand(g, ":/Res/3d_109.44405348346px", QStringLiteral("三维反演"), kSmall, this,
                                     SLOT(on_actionTransRelax3D_triggerd(bool)), true, false, false);
            m_actionColorMap = addCommand(g, ":/Res/Burn Disk_32x32.png", QStringLiteral("色谱设置"), kLarge, this,
                                          SLOT(on_actionColorMap_triggerd(bool)), false, false, false);
            // No command stands behind the triangulation entry yet.
            m_actionTriangle = addCommand(g, ":/Res/Refresh_32x32.png", QStringLiteral("三角剖分"), kLarge, this,
                                          nullptr, false, false, false);
        }
        if (Qtitan::RibbonGroup* g = page->addGroup(QStringLiteral("显示设置"))) {
            m_actionFitToWnd = addCommand(g, ":/Res/MngVersions.png", QStringLiteral("适合窗体"), kLarge, this,
                                          SLOT(on_actionFittoWnd_triggerd(bool)), false, false, false);
        }
    }

    ribbonBar()->setFrameThemeEnabled(true);
}
