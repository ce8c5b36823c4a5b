#ifndef HW_SHELL_MAINWINDOW_H
#define HW_SHELL_MAINWINDOW_H

#include <QList>
#include <QString>

#include "iolib/GPSCoordinate.h"
#include "model/SharedTypes.h"
#include "shell/RibbonWindow.h"

class QAction;
class QCheckBox;
class QCloseEvent;
class QDockWidget;
class QLabel;
class QLineEdit;
class QSettings;

class DataModel;
class Dialog_3DataVisualization;
class Dialog_Axis;
class Dialog_ColorMap;
class Dialog_GridSetting;
class Dialog_InvAxis;
class Dialog_TimeSetting;
class Form_1DGraph;
class Form_2DGraph;
class Form_ProjectIndex;
class LibHORM;

namespace Qtitan {
class RibbonBackstageView;
}

// The program's one top-level window: builds the controller, the ribbon, the
// project dock and the graph forms, wires them together and turns ribbon
// commands into calls and signals to the controller.
class MainWindow : public RibbonWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The organisation's caption in the first title and the status bar, and
    // its full name in the system button's tool tip.
    static QString organisationCaption();
    static QString organisationName();

    // Writes the parameter file whole, or leaves it as it was and says so.
    void saveParameterConfig(QString path);

signals:
    void signal_curInvsionParamChanged(InvParam);
    void signal_GPSFileImported(QList<GPSCoordinate>);
    void signal_ShowLineChanged(QSHOWLINE);
    void signal_SampleModeChanged(TEMSampleMODES);
    void signal_FittingMethodChanged(int);
    void signal_EditCheckBoxStateChanged(bool, bool);
    void signal_UseableCheckBoxStateChanged(bool);
    void signal_TransRelaxInversionMethodChanged(int);
    void signal_FileSaved();

public slots:
    // Project files.
    void on_actionOpen_triggered();
    void on_actionOpen_triggered(bool);
    void on_actionFileClose_triggerd();
    void on_actionFileClose_triggerd(bool);
    void on_actionFileSave_triggerd();
    void on_actionFileSave_triggerd(bool);
    void on_actionFileImport_triggerd();
    void on_actionFileImport_triggerd(bool);
    void on_actionFileExport_triggerd();
    void on_actionFileExport_triggerd(bool);
    void on_actionFileExportByLine_triggerd();
    void on_actionFileExportByLine_triggerd(bool);
    void on_actionFileMerge_triggerd();
    void on_actionFileMerge_triggerd(bool);
    void on_actionaExit_triggerd();
    void on_actionaExit_triggerd(bool);

    // Settings dialogs and views.
    void on_actionAxisSetting_triggerd();
    void on_actionAxisSetting_triggerd(bool);
    void on_actionAxis2Setting_triggerd();
    void on_actionAxis2Setting_triggerd(bool);
    void on_actionColorMap_triggerd();
    void on_actionColorMap_triggerd(bool);
    void on_actionGridSeting_triggerd();
    void on_actionGridSeting_triggerd(bool);
    void on_actionFittoWnd_triggerd();
    void on_actionFittoWnd_triggerd(bool);
    void on_actionShowLeftDock_triggerd();
    void on_actionShowLeftDock_triggerd(bool);

    // Instrument, channel scheme, display and fitting (exclusive groups).
    void on_actionMachineSeting_triggerd();
    void on_actionMachineSeting_triggerd(bool);
    void on_actionMORSA18_triggerd();
    void on_actionMORSA18_triggerd(bool);
    void on_actionPLIX18_triggerd();
    void on_actionPLIX18_triggerd(bool);
    void on_actionChannelQELVA18_triggerd();
    void on_actionChannelQELVA18_triggerd(bool);
    void on_actionChannelLOG10_triggerd();
    void on_actionChannelLOG10_triggerd(bool);
    void on_actionChannelLOG12_triggerd();
    void on_actionChannelLOG12_triggerd(bool);
    void on_actionShowLine_triggerd();
    void on_actionShowLine_triggerd(bool);
    void on_actionShowFrontLine_triggerd();
    void on_actionShowFrontLine_triggerd(bool);
    void on_actionShowBehindLine_triggerd();
    void on_actionShowBehindLine_triggerd(bool);
    void on_actionLineFit_triggerd();
    void on_actionLineFit_triggerd(bool);
    void on_actionGaussFit_triggerd();
    void on_actionGaussFit_triggerd(bool);
    void on_actionExpFit_triggerd();
    void on_actionExpFit_triggerd(bool);

    // Inversion method.
    void on_actionTransRelax_triggerd();
    void on_actionTransRelax_triggerd(bool);
    void on_actionTransRelax2D_triggerd();
    void on_actionTransRelax2D_triggerd(bool);
    void on_actionTransRelax3D_triggerd();
    void on_actionTransRelax3D_triggerd(bool);

    // Parameter line edits, edit modes and the time window.
    void on_lineEdit1EditingFinished();
    void on_lineEdit2EditingFinished();
    void on_lineEditCofEditingFinished();
    void on_lineEditSmoothEditingFinished();
    void on_lineEditResEditingFinished();
    void on_lineEditDepthEditingFinished();
    void on_pointMoveCheckStateChanged(int);
    void on_lineMoveCheckStateChanged(int);
    void on_pointUsedCheckStateChanged(int);
    void onSignalTimeSettingChanged(double start, double end);
    void hideStatusBar(int state);

    // Requests of the controller and the one-dimensional form.
    void on_signal_CentralWidgetChanged(bool oneDimensional);
    void on_signal_FiseSaveButtonEnalbe(bool enable);
    void on_signal_FileExportButtonEnable(bool enable);
    void onSignal_MenuEnable(int mode);
    void on_signal_FittingMethodActionReset();

    void on_signalSavePic();

    void showBackstage();
    void hideBackstage();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend class TestMainWindow;

    void createBackstage();
    void createQuickAccessBar();
    void createRibbon();
    void createDockWindows();
    void connectSignals();

    // Asks what becomes of an unsaved edit of the shown station before it
    // is replaced or closed: save, discard or cancel. True when the way is
    // clear (nothing unsaved, saved, or discarded); false on cancel or when
    // the save did not reach the file, the station and its edit staying.
    bool settleUnsavedEdit();

    // Reads a parameter edit into value (the double beside the record) and
    // marks the parameters changed; false when the text was refused and the
    // edit shows value again.
    bool readParameterEdit(QLineEdit* edit, const QString& label, bool positive, double& value);
    // Runs the time dialog on the window in force.
    int runTimeDialog();
    // The instrument and window start of an opened project's kind (by its
    // suffix), sent to the controller and shown on the ribbon.
    void presetForProjectKind(const QString& suffix);
    void sendParameters();
    // Checks exactly the entries of group whose flag is set.
    static void checkGroup(QAction* const group[4], bool a, bool b, bool c, bool d);
    // The folder a file dialog starts in: the last project's folder when it
    // still exists, else fallback.
    QString historyFolder(const QString& fallback) const;

    // Controller and project.
    DataModel* m_dataModel = nullptr;
    LibHORM* m_database = nullptr;
    QSettings* m_settings = nullptr;

    // Parameter record and the values last read from the edits.
    InvParam m_invParam;
    double m_startStation = -1.0;
    double m_endStation = -1.0;
    double m_constraint = 1.0;
    double m_smooth = 0.3;
    double m_depth = 100.0;
    double m_resistivity = 100.0;

    // Modes.
    int m_inversionMethod = 1;
    QSHOWLINE m_showLine = SHOWLINE_RAW;
    TEMSampleMODES m_sampleMode = SAMPLE_QV18;
    char m_pointMove = 0;
    char m_lineMove = 0;
    char m_pointUsed = 0;

    bool m_parametersChanged = false;
    // The user set the time window in this session: no open presets it.
    bool m_timeWindowSetByUser = false;
    bool m_refusingEdit = false;
    bool m_centralIs1D = true;
    int m_openCount = 0;

    // Views.
    QDockWidget* m_leftDock = nullptr;
    Form_ProjectIndex* m_projectIndex = nullptr;
    Form_1DGraph* m_form1D = nullptr;
    Form_2DGraph* m_form2D = nullptr;
    Dialog_3DataVisualization* m_dialog3D = nullptr;
    QLabel* m_statusLabel = nullptr;

    // Dialogs (no parent; released by the destructor).
    Dialog_ColorMap* m_colorMapDialog = nullptr;
    Dialog_Axis* m_axisDialog = nullptr;
    Dialog_InvAxis* m_invAxisDialog = nullptr;
    Dialog_TimeSetting* m_timeDialog = nullptr;
    Dialog_GridSetting* m_gridDialog = nullptr;

    // Backstage and quick-access bar.
    Qtitan::RibbonBackstageView* m_backstage = nullptr;
    QAction* m_qaNew = nullptr;
    QAction* m_qaOpen = nullptr;
    QAction* m_qaSave = nullptr;
    QAction* m_qaClose = nullptr;
    QAction* m_qaHelp = nullptr;

    // Page "主页".
    QAction* m_actionNew = nullptr;
    QAction* m_actionOpen = nullptr;
    QAction* m_actionSave = nullptr;
    QAction* m_actionClose = nullptr;
    QAction* m_actionImport = nullptr;
    QAction* m_actionImportGps = nullptr;
    QAction* m_actionExport = nullptr;
    QAction* m_actionExportByLine = nullptr;
    QAction* m_actionExit = nullptr;
    QAction* m_actionAxis = nullptr;
    QAction* m_actionAxis2 = nullptr;
    // 仪器选择, QELVA28, TEM, PLIX.
    QAction* m_machine[4] = {};
    // 显示选择, 原始数据, 前一点, 后一点.
    QAction* m_showLineActions[4] = {};
    // 抽道选择, QELVA28, 每级30窗, 每级20窗.
    QAction* m_channel[4] = {};
    // 数据拟合, 默认拟合, 高斯拟合, 幂数拟合.
    QAction* m_fit[4] = {};
    QAction* m_actionShowLeftDock = nullptr;
    QCheckBox* m_pointMoveBox = nullptr;
    QCheckBox* m_lineMoveBox = nullptr;

    // Page "数据反演".
    QLineEdit* m_lineEditStart = nullptr;
    QLineEdit* m_lineEditEnd = nullptr;
    QLineEdit* m_lineEditCof = nullptr;
    QLineEdit* m_lineEditSmooth = nullptr;
    QLineEdit* m_lineEditRes = nullptr;
    QLineEdit* m_lineEditDepth = nullptr;
    QAction* m_actionGridSetting = nullptr;
    // 反演方法, 瞬态弛豫反演方法, 二维瞬态弛豫反演, 三维反演.
    QAction* m_method[4] = {};
    QAction* m_actionColorMap = nullptr;
    QAction* m_actionTriangle = nullptr;
    QAction* m_actionFitToWnd = nullptr;
};

#endif // HW_SHELL_MAINWINDOW_H
