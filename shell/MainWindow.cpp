#include "shell/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>

#include "model/DataModel.h"
#include "model/UserPrompt.h"
#include "platform/ribbon/RibbonStyle.h"
#include "shell/Dialog_Axis.h"
#include "shell/Dialog_ColorMap.h"
#include "shell/Dialog_GridSetting.h"
#include "shell/Dialog_InvAxis.h"
#include "shell/Dialog_TimeSetting.h"
#include "shell/Form_ProjectIndex.h"
#include "views/Dialog_3DataVisualization.h"
#include "views/Form_1DGraph.h"
#include "views/Form_2DGraph.h"

MainWindow::MainWindow(QWidget* parent)
    : RibbonWindow(parent)
{
    m_invParam = InvParam();
    m_parametersChanged = false;

    if (auto* style = qobject_cast<Qtitan::RibbonStyle*>(QApplication::style()))
        style->setTheme(3);

    m_database = nullptr;
    m_gridDialog = nullptr;

    m_dataModel = new DataModel(this);

    m_colorMapDialog = new Dialog_ColorMap(nullptr);
    m_axisDialog = new Dialog_Axis(nullptr);
    m_invAxisDialog = new Dialog_InvAxis(nullptr);

    m_settings = new QSettings(QStringLiteral("history.ini"), QSettings::IniFormat);

    setWindowTitle(QStringLiteral("QELVA28数据处理软件(260331)--") + organisationCaption());

    createBackstage();
    createQuickAccessBar();
    createRibbon();
    statusBar();
    createDockWindows();
    connectSignals();

    m_statusLabel = new QLabel(organisationCaption());
    statusBar()->addWidget(m_statusLabel, 0);

    move(200, 200);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(available.width() * 2 / 3, available.height() * 2 / 3);

    m_centralIs1D = true;
    m_openCount = 0;
}

MainWindow::~MainWindow()
{
    // The one-dimensional form may be out of the window while the other form
    // is central; it goes here either way. The central widget goes with the
    // base, as a child.
    delete m_form1D;
    m_form1D = nullptr;
    if (!m_centralIs1D)
        m_form2D = nullptr;
    delete m_form2D;
    delete m_dialog3D;
    delete m_axisDialog;
    delete m_invAxisDialog;
    delete m_colorMapDialog;
    delete m_timeDialog;
    delete m_gridDialog;
    delete m_settings;
}

QString MainWindow::organisationCaption()
{
    return QStringLiteral("泰沃利克");
}

QString MainWindow::organisationName()
{
    return QStringLiteral("泰沃利克地球物理仪器有限公司");
}

void MainWindow::createDockWindows()
{
    m_leftDock = new QDockWidget(this);
    auto* contents = new QWidget;
    contents->setObjectName(QStringLiteral("dockWidgetContents"));
    auto* layout = new QVBoxLayout(contents);
    layout->setObjectName(QStringLiteral("verticalLayout"));
    layout->setSpacing(6);
    layout->setContentsMargins(11, 11, 11, 11);

    m_projectIndex = new Form_ProjectIndex(contents);
    layout->addWidget(m_projectIndex);
    m_projectIndex->setAutoFillBackground(true);
    m_projectIndex->setModel(m_dataModel);
    m_projectIndex->setShowGuard([this] { return settleUnsavedEdit(); });
    connect(m_dataModel, SIGNAL(modelChange()), m_projectIndex, SLOT(modelChanged()));

    m_leftDock->setWidget(contents);
    addDockWidget(Qt::LeftDockWidgetArea, m_leftDock);

    m_form1D = new Form_1DGraph(nullptr);
    takeCentralWidget();
    setCentralWidget(m_form1D);
    m_form2D = new Form_2DGraph(nullptr);
    m_dialog3D = new Dialog_3DataVisualization(nullptr);
    m_timeDialog = new Dialog_TimeSetting(nullptr);

    connect(m_projectIndex, &Form_ProjectIndex::signal_SavePic, this, &MainWindow::on_signalSavePic);
    connect(m_timeDialog, SIGNAL(signal_TimeSettingChanged(double,double)), this,
            SLOT(onSignalTimeSettingChanged(double,double)));
}

void MainWindow::connectSignals()
{
    connect(this, SIGNAL(signal_curInvsionParamChanged(InvParam)), m_dataModel,
            SLOT(on_signal_curInvsionParamChanged(InvParam)));
    connect(this, SIGNAL(signal_SampleModeChanged(TEMSampleMODES)), m_dataModel,
            SLOT(on_signal_SampleModeChanged(TEMSampleMODES)));
    connect(this, SIGNAL(signal_ShowLineChanged(QSHOWLINE)), m_dataModel, SLOT(on_signalShowLineChanged(QSHOWLINE)));
    connect(this, SIGNAL(signal_TransRelaxInversionMethodChanged(int)), m_dataModel,
            SLOT(on_signal_TransRelaxInversionMethodChanged(int)));
    connect(this, SIGNAL(signal_UseableCheckBoxStateChanged(bool)), m_dataModel,
            SLOT(on_signal_UseableCheckBoxStateChanged(bool)));
    connect(m_dataModel, SIGNAL(signal_SurveyChanged(double,double,double)), m_form1D,
            SLOT(on_signalSurveyChanged(double,double,double)));
    connect(m_dataModel, SIGNAL(signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)),
            m_form1D, SLOT(on_signalStationChanged(QString,QVector<double>,QVector<double>,double,double,double)));
    connect(this, SIGNAL(signal_EditCheckBoxStateChanged(bool,bool)), m_dataModel,
            SLOT(on_signalEditCheckBoxStateChanged(bool,bool)));
    connect(m_dataModel, SIGNAL(signal_EditStateChanged(bool,bool)), m_form1D,
            SLOT(on_signalEditCheckBoxStateChanged(bool,bool)));
    connect(m_dataModel, SIGNAL(signal_DataModelShowLineChanged(QVector<double>,QVector<double>)), m_form1D,
            SLOT(on_signalShowLineChanged(QVector<double>,QVector<double>)));
    connect(m_dataModel, SIGNAL(signal_LineCurrentsChanged(QVector<double>)), m_form1D,
            SLOT(on_signalLineCurrentsChanged(QVector<double>)));
    connect(m_dataModel,
            SIGNAL(signal_LineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>,double)),
            m_form1D,
            SLOT(on_signalLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>,double)));
    connect(m_dataModel,
            SIGNAL(signal_ISOGraphChanged(InvParam,QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,bool)),
            m_form1D,
            SLOT(on_signalISOGraphChanged(InvParam,QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,bool)));
    connect(m_dataModel, SIGNAL(signal_GridSettingsChanged(GridPattern,double)), m_form1D,
            SLOT(on_signalCurrentGridSettingsChanged(GridPattern,double)));
    connect(this, SIGNAL(signal_FileSaved()), m_form1D, SLOT(on_signalFileSaved()));
    connect(m_form1D, SIGNAL(signal_FileSavedtoDB(QVector<double>,QVector<double>)), m_dataModel,
            SLOT(on_signal_FileSavedToDB(QVector<double>,QVector<double>)));
    connect(m_dataModel, SIGNAL(signal_EditedCurveStored()), m_form1D, SLOT(on_signalEditedCurveStored()));
    connect(this, SIGNAL(signal_FittingMethodChanged(int)), m_form1D, SLOT(on_signalFittingMethodChanged(int)));
    connect(m_dataModel, SIGNAL(signal_CentralWidgetChanged(bool)), this, SLOT(on_signal_CentralWidgetChanged(bool)));
    connect(m_dataModel,
            SIGNAL(signal_2DLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>)),
            m_form2D,
            SLOT(on_signal2DLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>)));
    connect(m_dataModel,
            SIGNAL(signal_2DISOGraphChanged(QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,int,bool)),
            m_form2D,
            SLOT(on_signal2DISOGraphChanged(QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,int,bool)));
    connect(m_dataModel,
            SIGNAL(signal_2DPointData(QList<DataType_ResultData>&,QVector<TopoData>,QMap<float,QColor>,double)),
            m_form2D, SLOT(setData(QList<DataType_ResultData>&,QVector<TopoData>,QMap<float,QColor>,double)));
    connect(m_dataModel, SIGNAL(signal_Mesh(QVector<double>,InvParam)), m_form2D,
            SLOT(on_signalMesh(QVector<double>,InvParam)));
    connect(m_dataModel, SIGNAL(signal_SectionCleared()), m_form2D, SLOT(on_signalSectionCleared()));
    connect(m_dataModel, SIGNAL(signal_Modelerinput(LayerModeler,QList<DataType_ResultData>)), m_form2D,
            SLOT(on_signal2DModelerInput(LayerModeler,QList<DataType_ResultData>)));
    connect(this, SIGNAL(signal_GPSFileImported(QList<GPSCoordinate>)), m_dataModel,
            SLOT(on_signal_GPSFileImported(QList<GPSCoordinate>)));
    connect(m_dataModel, SIGNAL(signal_FittingMethodActionReset()), this, SLOT(on_signal_FittingMethodActionReset()));
    connect(m_form1D, SIGNAL(signal_FiseSaveButtonEnalbe(bool)), this, SLOT(on_signal_FiseSaveButtonEnalbe(bool)));
    connect(m_dataModel, SIGNAL(signal_FiseSaveButtonEnalbe(bool)), this, SLOT(on_signal_FiseSaveButtonEnalbe(bool)));
    connect(m_dataModel, SIGNAL(signal_FileExportButtonEnable(bool)), this,
            SLOT(on_signal_FileExportButtonEnable(bool)));
    connect(m_dataModel, SIGNAL(signal_MenuEnable(int)), this, SLOT(onSignal_MenuEnable(int)));
    connect(m_dataModel, SIGNAL(signal_StaticResistivity(float,float)), m_colorMapDialog,
            SLOT(onStaticResistivity(float,float)));
    connect(m_colorMapDialog, SIGNAL(signal_ColorMapChanged(QMap<float,QColor>)), m_form2D,
            SLOT(on_signalColorMapChanged(QMap<float,QColor>)));
    // The chosen ramp holds for every section shown after it too.
    m_colorMapDialog->setRamp(m_dataModel->sectionRamp());
    connect(m_colorMapDialog, SIGNAL(signal_ColorMapChanged(QMap<float,QColor>)), m_form1D,
            SLOT(on_signalColorMapChanged(QMap<float,QColor>)));
    connect(m_colorMapDialog, SIGNAL(signal_ColorMapChanged(QMap<float,QColor>)), m_dataModel,
            SLOT(setSectionRamp(QMap<float,QColor>)));
    connect(m_axisDialog, SIGNAL(signalChartAxisScaleChanged(double,double,double,double)), m_form1D,
            SLOT(on_signalChartAxisScaleChanged(double,double,double,double)));
    connect(m_dataModel, SIGNAL(signal_ContourMethod(int)), m_form1D, SLOT(on_signalContourMethod1D(int)));
    connect(m_dataModel, SIGNAL(signal_ContourMethod(int)), m_form2D, SLOT(on_signalContourMethod2D(int)));
    // The report's section picture is drawn by the section map, for print.
    QPointer<Form_2DGraph> form2D = m_form2D;
    m_dataModel->setSectionRenderer([form2D](const QList<DataType_ResultData>& grid,
                                             const QVector<TopoData>& topography, double depth, int method) {
        return form2D ? form2D->sectionPicture(grid, topography, depth, method) : QImage();
    });
}

bool MainWindow::settleUnsavedEdit()
{
    if (!m_form1D || !m_form1D->hasUnsavedEdit())
        return true;
    // An edit of a station that is no longer shown cannot be saved: asking
    // would only lead to a refusal that keeps the project from closing.
    if (!m_dataModel->showsEditableStation()) {
        m_form1D->forgetUnsavedEdit();
        return true;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("保存曲线"),
                    QStringLiteral("当前测点的曲线已修改，尚未保存。是否保存？"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    switch (UserPrompt::exec(&box)) {
    case QMessageBox::Save:
        on_actionFileSave_triggerd();
        return !m_form1D->hasUnsavedEdit();
    case QMessageBox::Discard:
        m_form1D->forgetUnsavedEdit();
        return true;
    default:
        return false;
    }
}

void MainWindow::on_signal_CentralWidgetChanged(bool oneDimensional)
{
    if (oneDimensional == m_centralIs1D)
        return;
    QWidget* next = oneDimensional ? static_cast<QWidget*>(m_form1D) : static_cast<QWidget*>(m_form2D);
    takeCentralWidget();
    setCentralWidget(next);
    m_centralIs1D = oneDimensional;
}

void MainWindow::on_signal_FiseSaveButtonEnalbe(bool enable)
{
    if (m_actionSave)
        m_actionSave->setEnabled(enable);
    if (m_qaSave)
        m_qaSave->setEnabled(enable);
}

void MainWindow::on_signal_FileExportButtonEnable(bool enable)
{
    if (m_actionExport)
        m_actionExport->setEnabled(enable);
}

void MainWindow::onSignal_MenuEnable(int mode)
{
    const bool fitting = mode == 1;
    for (QAction* a : m_fit) {
        if (a)
            a->setEnabled(fitting);
    }
    if (m_method[3])
        m_method[3]->setEnabled(!fitting);
    if (m_actionColorMap)
        m_actionColorMap->setEnabled(!fitting);
}

void MainWindow::on_signal_FittingMethodActionReset()
{
    for (QAction* a : m_fit) {
        if (a)
            a->setChecked(false);
    }
}

void MainWindow::on_signalSavePic()
{
    m_form2D->savePicture(QDir::currentPath() + QStringLiteral("/contour.png"));
}
