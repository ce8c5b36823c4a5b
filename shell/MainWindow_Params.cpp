// Parameter entry, processing modes, settings dialogs and the parameter file
// written at exit.

#include "shell/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDockWidget>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QSaveFile>
#include <QSettings>
#include <QStatusBar>
#include <QTextStream>
#include <QValueAxis>

#include "model/DataModel.h"
#include "model/UserPrompt.h"
#include "shell/Dialog_Axis.h"
#include "shell/Dialog_ColorMap.h"
#include "shell/Dialog_GridSetting.h"
#include "shell/Dialog_InvAxis.h"
#include "shell/Dialog_TimeSetting.h"
#include "shell/NumberField.h"
#include "views/Form_1DGraph.h"
#include "views/Form_2DGraph.h"
#include "views/KX_VolScheme2.h"

void MainWindow::checkGroup(QAction* const group[4], bool a, bool b, bool c, bool d)
{
    const bool marks[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        if (group[i])
            group[i]->setChecked(marks[i]);
    }
}

void MainWindow::sendParameters()
{
    emit signal_curInvsionParamChanged(m_invParam);
}

bool MainWindow::readParameterEdit(QLineEdit* edit, const QString& label, bool positive, double& value)
{
    // The refusal's message takes the focus, which finishes the edit again.
    if (m_refusingEdit)
        return false;
    m_refusingEdit = true;
    const bool taken =
        NumberField::read(edit, label, positive ? NumberField::Positive : NumberField::AnyNumber, value);
    m_refusingEdit = false;
    if (taken)
        m_parametersChanged = true;
    return taken;
}

void MainWindow::on_lineEdit1EditingFinished()
{
    if (!readParameterEdit(m_lineEditStart, QStringLiteral("起始点号"), false, m_startStation))
        return;
    m_invParam.startStation = m_startStation;
    sendParameters();
}

void MainWindow::on_lineEdit2EditingFinished()
{
    if (!readParameterEdit(m_lineEditEnd, QStringLiteral("终止点号"), false, m_endStation))
        return;
    m_invParam.endStation = m_endStation;
    sendParameters();
}

void MainWindow::on_lineEditCofEditingFinished()
{
    if (!readParameterEdit(m_lineEditCof, QStringLiteral("约束系数"), false, m_constraint))
        return;
    m_invParam.constraintCoefficient = m_constraint;
    sendParameters();
}

void MainWindow::on_lineEditSmoothEditingFinished()
{
    if (!readParameterEdit(m_lineEditSmooth, QStringLiteral("反演系数"), false, m_smooth))
        return;
    m_invParam.inversionCoefficient = m_smooth;
    sendParameters();
}

void MainWindow::on_lineEditResEditingFinished()
{
    if (!readParameterEdit(m_lineEditRes, QStringLiteral("基准阻值"), true, m_resistivity))
        return;
    m_invParam.referenceResistivity = m_resistivity;
    sendParameters();
}

void MainWindow::on_lineEditDepthEditingFinished()
{
    if (!readParameterEdit(m_lineEditDepth, QStringLiteral("反演深度"), true, m_depth))
        return;
    m_invParam.inversionDepth = m_depth;
    sendParameters();
}

void MainWindow::onSignalTimeSettingChanged(double start, double end)
{
    m_invParam.timeWindowStart = start;
    m_invParam.timeWindowEnd = end;
    m_timeWindowSetByUser = true;
}

int MainWindow::runTimeDialog()
{
    // The fields keep what was last typed, which need not be in force.
    m_timeDialog->onTimeSettingChanged(m_invParam.timeWindowStart, m_invParam.timeWindowEnd, 0);
    return UserPrompt::exec(m_timeDialog);
}

void MainWindow::presetForProjectKind(const QString& suffix)
{
    if (suffix == QLatin1String("MORSA")) {
        m_invParam.instrumentKind = 1;
        checkGroup(m_machine, false, false, true, false);
        if (!m_timeWindowSetByUser)
            m_invParam.timeWindowStart = 80.0;
    } else if (suffix == QLatin1String("QELVA")) {
        m_invParam.instrumentKind = 3;
        checkGroup(m_machine, true, true, false, false);
        if (!m_timeWindowSetByUser)
            m_invParam.timeWindowStart = 150.0;
    } else {
        return;
    }
    // The open's own doing, not a change the user is asked to keep; the
    // controller needs it before the project's first station is shown.
    sendParameters();
}

// --- Instrument ---

void MainWindow::on_actionMachineSeting_triggerd()
{
    checkGroup(m_machine, true, true, false, false);
    m_invParam.instrumentKind = 3;
    if (runTimeDialog() == QDialog::Accepted) {
        m_parametersChanged = true;
        sendParameters();
    }
}

void MainWindow::on_actionMachineSeting_triggerd(bool)
{
    on_actionMachineSeting_triggerd();
}

void MainWindow::on_actionMORSA18_triggerd()
{
    checkGroup(m_machine, false, false, true, false);
    m_invParam.instrumentKind = 1;
    m_invParam.timeWindowStart = 299.0;
    m_invParam.timeWindowEnd = 4e6;
    // An accepted dialog has replaced the preset through its signal already.
    runTimeDialog();
    m_parametersChanged = true;
    sendParameters();
}

void MainWindow::on_actionMORSA18_triggerd(bool)
{
    on_actionMORSA18_triggerd();
}

void MainWindow::on_actionPLIX18_triggerd()
{
    checkGroup(m_machine, false, false, false, true);
    m_invParam.timeWindowStart = 149.0;
    m_invParam.timeWindowEnd = 4e6;
    m_invParam.instrumentKind = 2;
    runTimeDialog();
    m_parametersChanged = true;
    sendParameters();
}

void MainWindow::on_actionPLIX18_triggerd(bool)
{
    on_actionPLIX18_triggerd();
}

// --- Channel scheme ---

void MainWindow::on_actionChannelQELVA18_triggerd()
{
    m_sampleMode = SAMPLE_QV18;
    checkGroup(m_channel, true, true, false, false);
    emit signal_SampleModeChanged(m_sampleMode);
}

void MainWindow::on_actionChannelQELVA18_triggerd(bool)
{
    on_actionChannelQELVA18_triggerd();
}

void MainWindow::on_actionChannelLOG10_triggerd()
{
    m_sampleMode = SAMPLE_LOG10;
    checkGroup(m_channel, false, false, true, false);
    emit signal_SampleModeChanged(m_sampleMode);
}

void MainWindow::on_actionChannelLOG10_triggerd(bool)
{
    on_actionChannelLOG10_triggerd();
}

void MainWindow::on_actionChannelLOG12_triggerd()
{
    m_sampleMode = SAMPLE_LOG20;
    checkGroup(m_channel, false, false, false, true);
    emit signal_SampleModeChanged(m_sampleMode);
}

void MainWindow::on_actionChannelLOG12_triggerd(bool)
{
    on_actionChannelLOG12_triggerd();
}

// --- Reference curve ---

void MainWindow::on_actionShowLine_triggerd()
{
    m_showLine = SHOWLINE_RAW;
    checkGroup(m_showLineActions, true, true, false, false);
    emit signal_ShowLineChanged(m_showLine);
}

void MainWindow::on_actionShowLine_triggerd(bool)
{
    on_actionShowLine_triggerd();
}

void MainWindow::on_actionShowFrontLine_triggerd()
{
    m_showLine = SHOWLINE_PREVIOUS;
    checkGroup(m_showLineActions, false, false, true, false);
    emit signal_ShowLineChanged(m_showLine);
}

void MainWindow::on_actionShowFrontLine_triggerd(bool)
{
    on_actionShowFrontLine_triggerd();
}

void MainWindow::on_actionShowBehindLine_triggerd()
{
    m_showLine = SHOWLINE_NEXT;
    checkGroup(m_showLineActions, false, false, false, true);
    emit signal_ShowLineChanged(m_showLine);
}

void MainWindow::on_actionShowBehindLine_triggerd(bool)
{
    on_actionShowBehindLine_triggerd();
}

// --- Fitting method ---

void MainWindow::on_actionLineFit_triggerd()
{
    checkGroup(m_fit, true, true, false, false);
    emit signal_FittingMethodChanged(0);
}

void MainWindow::on_actionLineFit_triggerd(bool)
{
    on_actionLineFit_triggerd();
}

void MainWindow::on_actionGaussFit_triggerd()
{
    checkGroup(m_fit, false, false, true, false);
    emit signal_FittingMethodChanged(1);
}

void MainWindow::on_actionGaussFit_triggerd(bool)
{
    on_actionGaussFit_triggerd();
}

void MainWindow::on_actionExpFit_triggerd()
{
    checkGroup(m_fit, false, false, false, true);
    emit signal_FittingMethodChanged(2);
}

void MainWindow::on_actionExpFit_triggerd(bool)
{
    on_actionExpFit_triggerd();
}

// --- Inversion method ---

void MainWindow::on_actionTransRelax_triggerd()
{
    m_inversionMethod = 1;
    checkGroup(m_method, true, true, false, false);
    m_parametersChanged = true;
    emit signal_TransRelaxInversionMethodChanged(1);
}

void MainWindow::on_actionTransRelax_triggerd(bool)
{
    on_actionTransRelax_triggerd();
}

void MainWindow::on_actionTransRelax2D_triggerd()
{
    m_inversionMethod = 2;
    checkGroup(m_method, false, false, true, false);
    m_parametersChanged = true;
    emit signal_TransRelaxInversionMethodChanged(2);
}

void MainWindow::on_actionTransRelax2D_triggerd(bool)
{
    on_actionTransRelax2D_triggerd();
}

void MainWindow::on_actionTransRelax3D_triggerd()
{
    m_inversionMethod = 3;
    if (m_method[3])
        m_method[3]->setChecked(false);
    QList<double> lineNumbers;
    const QList<DataType_ThreeResultData> results = m_dataModel->calcTransRelax3D(lineNumbers);
    if (!lineNumbers.isEmpty() && m_form2D) {
        auto* volume = new KX_VolScheme2(nullptr);
        volume->setVolumeData(results, lineNumbers);
        m_form2D->addViewTab(volume);
    }
}

void MainWindow::on_actionTransRelax3D_triggerd(bool)
{
    on_actionTransRelax3D_triggerd();
}

// --- Edit modes ---

void MainWindow::on_pointMoveCheckStateChanged(int)
{
    if (m_pointMoveBox->isChecked()) {
        m_pointMove = 1;
        m_lineMove = 0;
        m_lineMoveBox->setChecked(false);
    } else {
        m_pointMove = 0;
        m_lineMove = 1;
        m_lineMoveBox->setChecked(true);
    }
    emit signal_EditCheckBoxStateChanged(m_pointMove != 0, m_lineMove != 0);
}

void MainWindow::on_lineMoveCheckStateChanged(int)
{
    if (m_lineMoveBox->isChecked()) {
        m_lineMove = 1;
        m_pointMove = 0;
        m_pointMoveBox->setChecked(false);
    } else {
        m_lineMove = 0;
        m_pointMove = 1;
        m_pointMoveBox->setChecked(true);
    }
    emit signal_EditCheckBoxStateChanged(m_pointMove != 0, m_lineMove != 0);
}

void MainWindow::on_pointUsedCheckStateChanged(int state)
{
    m_pointUsed = state == Qt::Checked ? 1 : 0;
    emit signal_UseableCheckBoxStateChanged(m_pointUsed != 0);
}

void MainWindow::hideStatusBar(int state)
{
    statusBar()->setVisible(state == Qt::Checked);
}

// --- Dialogs and views ---

void MainWindow::on_actionaExit_triggerd()
{
    close();
}

void MainWindow::on_actionaExit_triggerd(bool)
{
    on_actionaExit_triggerd();
}

void MainWindow::on_actionAxisSetting_triggerd()
{
    UserPrompt::exec(m_axisDialog);
}

void MainWindow::on_actionAxisSetting_triggerd(bool)
{
    on_actionAxisSetting_triggerd();
}

void MainWindow::on_actionAxis2Setting_triggerd()
{
    // The dialog shows what the chart shows; only a run that changes the
    // ranges leaves other values in it.
    m_invAxisDialog->setValues(m_form1D->depthAxis()->min(), m_form1D->resistivityAxis()->max(),
                               m_form1D->resistivityAxis()->min(), m_form1D->axis2UsesDefaults());
    if (UserPrompt::exec(m_invAxisDialog) == QDialog::Accepted) {
        m_form1D->setAxis2Range(m_invAxisDialog->yMin(), m_invAxisDialog->xMax(), m_invAxisDialog->xMin(),
                                m_invAxisDialog->useDefaults());
    }
}

void MainWindow::on_actionAxis2Setting_triggerd(bool)
{
    on_actionAxis2Setting_triggerd();
}

void MainWindow::on_actionColorMap_triggerd()
{
    UserPrompt::exec(m_colorMapDialog);
}

void MainWindow::on_actionColorMap_triggerd(bool)
{
    on_actionColorMap_triggerd();
}

void MainWindow::on_actionGridSeting_triggerd()
{
    if (!m_gridDialog) {
        m_gridDialog = new Dialog_GridSetting(nullptr);
        connect(m_gridDialog, SIGNAL(currentGridSettings(GridPattern,double)), m_dataModel,
                SLOT(on_signal_currentGridSettingsChanged(GridPattern,double)));
    }
    UserPrompt::exec(m_gridDialog);
}

void MainWindow::on_actionGridSeting_triggerd(bool)
{
    on_actionGridSeting_triggerd();
}

void MainWindow::on_actionFittoWnd_triggerd()
{
    if (m_form2D)
        m_form2D->fitToWindow();
}

void MainWindow::on_actionFittoWnd_triggerd(bool)
{
    on_actionFittoWnd_triggerd();
}

void MainWindow::on_actionShowLeftDock_triggerd()
{
    if (m_actionShowLeftDock->isChecked())
        m_leftDock->show();
    else
        m_leftDock->close();
}

void MainWindow::on_actionShowLeftDock_triggerd(bool)
{
    on_actionShowLeftDock_triggerd();
}

// --- Exit ---

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!settleUnsavedEdit()) {
        event->ignore();
        return;
    }
    if (m_parametersChanged) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("参数配置文件"), QStringLiteral("是否保存参数配置"),
                        QMessageBox::Yes | QMessageBox::No);
        if (UserPrompt::exec(&box) == QMessageBox::Yes) {
            // Without a project ever opened the file goes to the working folder.
            QString folder = QFileInfo(m_settings->value(QStringLiteral("historypath")).toString()).path();
            if (folder.isEmpty())
                folder = QStringLiteral(".");
            saveParameterConfig(folder + QStringLiteral("/configure.ini"));
        }
    }
    RibbonWindow::closeEvent(event);
}

void MainWindow::saveParameterConfig(QString path)
{
    // A file cut short would hold parameters that were never in force.
    const auto tellNotWritten = [&path]() {
        UserPrompt::critical(QStringLiteral("参数配置文件"),
                             QStringLiteral("无法写入参数配置文件 %1。").arg(QDir::toNativeSeparators(path)));
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        tellNotWritten();
        return;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << QStringLiteral("约束系数: ") << m_invParam.constraintCoefficient << "\n";
    out << QStringLiteral("反演系数: ") << m_invParam.inversionCoefficient << "\n";
    out << QStringLiteral("最低高程: ") << m_invParam.inversionDepth << "\n";
    if (m_inversionMethod == 1)
        out << QStringLiteral("反演方法: ") << QStringLiteral("瞬态弛豫反演") << "\n";
    else if (m_inversionMethod == 2)
        out << QStringLiteral("反演方法: ") << QStringLiteral("二维瞬态弛豫反演") << "\n";
    out << QStringLiteral("基准电阻率: ") << m_invParam.referenceResistivity << "\n";
    out << QStringLiteral("起始时间: ") << m_invParam.timeWindowStart << "\n";
    out << QStringLiteral("结束时间: ") << m_invParam.timeWindowEnd << "\n";
    out << QStringLiteral("起始里程: ") << m_invParam.startStation << "\n";
    out << QStringLiteral("结束里程: ") << m_invParam.endStation << "\n";
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit())
        tellNotWritten();
}
