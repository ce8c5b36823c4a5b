#include "shell/MainWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "model/DataModel.h"
#include "model/UserPrompt.h"
#include "platform/ribbon/RibbonBackstageView.h"
#include "platform/ribbon/RibbonBar.h"
#include "platform/ribbon/RibbonGroup.h"
#include "platform/ribbon/RibbonPage.h"
#include "platform/ribbon/RibbonQuickAccessBar.h"
#include "platform/ribbon/RibbonStyle.h"
#include "platform/ribbon/RibbonSystemButton.h"
#include "shell/AboutDialog.h"
#include "shell/BackstagePageAbout.h"
#include "shell/BackstagePageInfo.h"
#include "shell/Dialog_GridSetting.h"
#include "shell/Form_ProjectIndex.h"
#include "tools/projectgen/ProjectGenerator.h"
#include "views/Dialog_3DataVisualization.h"
#include "views/Form_1DGraph.h"
#include "views/Form_2DGraph.h"

Q_DECLARE_METATYPE(QLineEdit*)

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void construction();
    void ribbonSurface();
    void initialEnabling();
    void parameterEntry_data();
    void parameterEntry();
    void exclusiveGroups();
    void editModeBoxes();
    void openAndClose();
    void openKeepsExistingBackupAndPresetsOnce();
    void cancelledAndFailedOpen();
    void exportCommand();
    void enablingRequests();
    void centralWidgetSwitch();
    void wiringHasNoBrokenConnection();
    void settingsDialogsAndDock();
    void gpsImportAndExportByLine();
    void threeDimensionalRun();
    void closeEvent_data();
    void closeEvent();
    void ribbonWindowOptions();
    void backstageAndAbout();

private:
    QString writeProject(const QString& name);
    // Dialogs are recorded by class and answered with m_dialogAnswer.
    void answerDialogs();
    static QStringList texts(const QList<QAction*>& actions);

    QTemporaryDir* m_dir = nullptr;
    QString m_oldCwd;
    MainWindow* m_window = nullptr;
    QString m_nextFile;
    QStringList m_fileCaptions;
    QStringList m_messages;
    int m_dialogAnswer = QDialog::Rejected;
    QStringList m_dialogsRun;
};

void TestMainWindow::initTestCase()
{
    registerSharedTypes();
    QApplication::setStyle(new Qtitan::RibbonStyle);
    UserPrompt::setFileAnswerer([this](UserPrompt::FileDialogKind, const QString& caption, const QString&,
                                       const QString&) {
        m_fileCaptions << caption;
        return m_nextFile;
    });
    answerDialogs();
    UserPrompt::setMessageAnswerer([this](const QString& text) { m_messages << text; });
}

void TestMainWindow::answerDialogs()
{
    UserPrompt::setDialogAnswerer([this](QDialog* dialog) {
        m_dialogsRun << QString::fromLatin1(dialog->metaObject()->className());
        return m_dialogAnswer;
    });
}

void TestMainWindow::init()
{
    // Every window runs in a fresh working directory: history.ini and
    // configure.ini land there.
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    m_nextFile.clear();
    m_fileCaptions.clear();
    m_messages.clear();
    m_dialogsRun.clear();
    m_dialogAnswer = QDialog::Rejected;
    m_window = new MainWindow(nullptr);
}

void TestMainWindow::cleanup()
{
    if (m_window)
        m_window->m_parametersChanged = false;
    delete m_window;
    m_window = nullptr;
    QDir::setCurrent(m_oldCwd);
    delete m_dir;
    m_dir = nullptr;
}

QString TestMainWindow::writeProject(const QString& name)
{
    ProjectGenerator::Options options;
    options.lines = 2;
    options.stationsPerLine = 4;
    options.samplesPerStation = 1;
    ProjectGenerator generator(options);
    const QString path = m_dir->filePath(name);
    QString error;
    if (!generator.write(path, &error))
        qWarning("%s", qPrintable(error));
    return path;
}

QStringList TestMainWindow::texts(const QList<QAction*>& actions)
{
    QStringList list;
    for (QAction* a : actions)
        list << a->text();
    return list;
}

void TestMainWindow::construction()
{
    MainWindow* w = m_window;
    QCOMPARE(w->windowTitle(), QStringLiteral("QELVA28数据处理软件(260331)--") + MainWindow::organisationCaption());
    QCOMPARE(w->m_statusLabel->text(), MainWindow::organisationCaption());
    QCOMPARE(w->pos(), QPoint(200, 200));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(w->size(), QSize(available.width() * 2 / 3, available.height() * 2 / 3));

    auto* style = qobject_cast<Qtitan::RibbonStyle*>(QApplication::style());
    QVERIFY(style);
    QCOMPARE(style->getTheme(), 3);

    // The controller, the backstage pages and the dock are children, in the
    // order they are built.
    const QObjectList children = w->children();
    const int model = children.indexOf(w->m_dataModel);
    const int dock = children.indexOf(w->m_leftDock);
    QVERIFY(model >= 0 && dock > model);
    QVERIFY(w->m_backstage && w->findChild<BackstagePageInfo*>() && w->findChild<BackstagePageAbout*>());
    QVERIFY(w->m_colorMapDialog && w->m_axisDialog && w->m_invAxisDialog && w->m_timeDialog);

    QVERIFY(w->centralWidget() == w->m_form1D);
    QVERIFY(w->m_form1D);
    QVERIFY(w->m_form2D && !w->m_form2D->parent());
    QVERIFY(w->m_dialog3D && !w->m_dialog3D->isVisible());
    QCOMPARE(w->dockWidgetArea(w->m_leftDock), Qt::LeftDockWidgetArea);
    QVERIFY(w->m_projectIndex);
    QVERIFY(w->m_leftDock->widget()->isAncestorOf(w->m_projectIndex));
    QCOMPARE(w->m_leftDock->widget()->objectName(), QStringLiteral("dockWidgetContents"));
    QVERIFY(w->m_projectIndex->autoFillBackground());
    QVERIFY(w->m_projectIndex->findChild<QAbstractItemView*>()->model() == w->m_dataModel);

    QVERIFY(w->m_centralIs1D);
    QCOMPARE(w->m_openCount, 0);
    QVERIFY(!w->m_database);
    QVERIFY(!w->m_gridDialog);
    // The record starts from the edits and the shared defaults.
    QCOMPARE(w->m_invParam.constraintCoefficient, 1.0);
    QCOMPARE(w->m_invParam.inversionCoefficient, 0.3);
    QCOMPARE(w->m_invParam.referenceResistivity, 100.0);
    QCOMPARE(w->m_invParam.inversionDepth, 100.0);
    QCOMPARE(w->m_invParam.timeWindowStart, 79.0);
    QCOMPARE(w->m_invParam.timeWindowEnd, 4e6);
    QCOMPARE(w->m_invParam.startStation, -1.0);
    QCOMPARE(w->m_invParam.intField, 1);
    QVERIFY(!w->m_parametersChanged);
    QVERIFY(!QFile::exists(QStringLiteral("history.ini")));
}

void TestMainWindow::ribbonSurface()
{
    Qtitan::RibbonBar* bar = m_window->ribbonBar();
    QCOMPARE(bar->pages().size(), 2);
    QCOMPARE(bar->pages().at(0)->title(), QStringLiteral("&主页"));
    QCOMPARE(bar->pages().at(1)->title(), QStringLiteral("&数据反演"));
    QVERIFY(bar->isFrameThemeEnabled());

    QStringList groups;
    for (Qtitan::RibbonGroup* g : bar->pages().at(0)->groups())
        groups << g->title();
    QCOMPARE(groups, QStringList({"文件", "外部文件", "软件设置", "设置", "数据编辑", "数据显示", "设置", "拟合方法",
                                  "停靠显示"}));
    const QList<Qtitan::RibbonGroup*> home = bar->pages().at(0)->groups();
    QCOMPARE(texts(home.at(0)->actions()), QStringList({"新建", "打开", "保存", "关闭"}));
    QCOMPARE(texts(home.at(1)->actions()), QStringList({"导入", "导出", "所有线反演结果导出"}));
    QCOMPARE(texts(m_window->m_actionImport->menu()->actions()), QStringList({"导入空间坐标"}));
    QCOMPARE(texts(home.at(2)->actions()), QStringList({"退出", "T/S设置", "ρ/d设置"}));
    QCOMPARE(texts(home.at(3)->actions()), QStringList({"仪器选择", "QELVA28", "TEM", "PLIX"}));
    QCOMPARE(m_window->m_pointMoveBox->text(), QStringLiteral("点移动"));
    QCOMPARE(m_window->m_pointMoveBox->toolTip(), QStringLiteral("数据某一道移动"));
    QCOMPARE(m_window->m_lineMoveBox->text(), QStringLiteral("线移动"));
    QVERIFY(home.at(4)->isAncestorOf(m_window->m_pointMoveBox));
    QCOMPARE(texts(home.at(5)->actions()), QStringList({"显示选择", "原始数据", "前一点", "后一点"}));
    QCOMPARE(texts(home.at(6)->actions()), QStringList({"抽道选择", "QELVA28", "每级30窗", "每级20窗"}));
    QCOMPARE(texts(home.at(7)->actions()), QStringList({"数据拟合", "默认拟合", "高斯拟合", "幂数拟合"}));
    QCOMPARE(texts(home.at(8)->actions()), QStringList({"工程索引"}));
    QVERIFY(m_window->m_actionShowLeftDock->isChecked());
    QCOMPARE(home.at(0)->buttonForAction(m_window->m_actionOpen)->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QCOMPARE(home.at(3)->buttonForAction(m_window->m_machine[1])->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QVERIFY(!m_window->m_actionOpen->icon().isNull());

    const QList<Qtitan::RibbonGroup*> inversion = bar->pages().at(1)->groups();
    groups.clear();
    for (Qtitan::RibbonGroup* g : inversion)
        groups << g->title();
    QCOMPARE(groups, QStringList({"设置", "参数设置", "反演设置", "显示设置"}));
    QCOMPARE(texts(inversion.at(2)->actions()),
             QStringList({"网格化设置", "反演方法", "瞬态弛豫反演方法", "二维瞬态弛豫反演", "三维反演", "色谱设置",
                          "三角剖分"}));
    QCOMPARE(texts(inversion.at(3)->actions()), QStringList({"适合窗体"}));
    QCOMPARE(m_window->m_lineEditStart->text(), QStringLiteral("-1.0"));
    QCOMPARE(m_window->m_lineEditCof->text(), QStringLiteral("1.0"));
    QCOMPARE(m_window->m_lineEditSmooth->text(), QStringLiteral("0.3"));
    QCOMPARE(m_window->m_lineEditRes->text(), QStringLiteral("100"));
    QCOMPARE(m_window->m_lineEditDepth->text(), QStringLiteral("100"));
    QCOMPARE(m_window->m_lineEditDepth->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QVERIFY(inversion.at(0)->isAncestorOf(m_window->m_lineEditEnd));
    QVERIFY(inversion.at(1)->isAncestorOf(m_window->m_lineEditRes));

    Qtitan::RibbonQuickAccessBar* qa = bar->quickAccessBar();
    QVERIFY(bar->isQuickAccessVisible());
    QCOMPARE(m_window->m_qaOpen->toolTip(), QStringLiteral("打开一个工程文件"));
    QVERIFY(!qa->isActionVisible(m_window->m_qaNew));
    QVERIFY(qa->isActionVisible(m_window->m_qaOpen));
    QCOMPARE(m_window->m_qaHelp->text(), QStringLiteral("&Help"));
    QVERIFY(bar->getSystemButton());
    QVERIFY(bar->getSystemButton()->toolTip().startsWith(QStringLiteral("点击此处，反馈信息给")));
}

void TestMainWindow::initialEnabling()
{
    MainWindow* w = m_window;
    QList<QAction*> all;
    for (Qtitan::RibbonPage* page : w->ribbonBar()->pages()) {
        for (Qtitan::RibbonGroup* g : page->groups())
            all << g->actions();
    }
    // The quick-access "新建" is hidden (and so never enabled); it is left out.
    all << w->m_actionImportGps << w->m_qaOpen << w->m_qaSave << w->m_qaClose << w->m_qaHelp;
    QList<QAction*> expectedOff = {w->m_actionSave, w->m_actionClose, w->m_actionImport, w->m_actionImportGps,
                                   w->m_actionExport, w->m_machine[2], w->m_machine[3], w->m_fit[0], w->m_fit[1],
                                   w->m_fit[2], w->m_fit[3], w->m_method[3], w->m_actionColorMap,
                                   w->m_actionTriangle, w->m_actionFitToWnd, w->m_qaClose};
    for (QAction* a : all) {
        if (a->isEnabled() == expectedOff.contains(a))
            QFAIL(qPrintable(a->text()));
    }
    // Quick-access save is on while the ribbon's is off.
    QVERIFY(w->m_qaSave->isEnabled());
    // The triangulation entry runs nothing even when enabled.
    w->m_actionTriangle->setEnabled(true);
    w->m_actionTriangle->trigger();
    QVERIFY(m_dialogsRun.isEmpty());
}

void TestMainWindow::parameterEntry_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("start station") << "start" << "12.5" << 12.5;
    QTest::newRow("end station") << "end" << "-1" << -1.0;
    QTest::newRow("constraint letters") << "cof" << "abc" << 0.0;
    QTest::newRow("inversion coefficient") << "smooth" << "0.5" << 0.5;
    QTest::newRow("reference resistivity") << "res" << "250" << 250.0;
    QTest::newRow("inversion depth exponent") << "depth" << "1e3" << 1000.0;
    QTest::newRow("comma is not a decimal point") << "depth" << "1,5" << 0.0;
}

void TestMainWindow::parameterEntry()
{
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(double, value);

    MainWindow* w = m_window;
    const QMap<QString, QLineEdit*> edits = {{"start", w->m_lineEditStart}, {"end", w->m_lineEditEnd},
                                             {"cof", w->m_lineEditCof},     {"smooth", w->m_lineEditSmooth},
                                             {"res", w->m_lineEditRes},     {"depth", w->m_lineEditDepth}};
    QLineEdit* line = edits.value(edit);
    QVERIFY(line);
    // The record goes to the controller by the signal.
    QVERIFY(w->isSignalConnected(QMetaMethod::fromSignal(&MainWindow::signal_curInvsionParamChanged)));
    QSignalSpy spy(w, SIGNAL(signal_curInvsionParamChanged(InvParam)));
    const InvParam before = w->m_invParam;

    line->setText(text);
    emit line->editingFinished();

    QCOMPARE(spy.count(), 1);
    const InvParam sent = spy.at(0).at(0).value<InvParam>();
    const double got = edit == "start" ? sent.startStation
                     : edit == "end"   ? sent.endStation
                     : edit == "cof"   ? sent.constraintCoefficient
                     : edit == "smooth" ? sent.inversionCoefficient
                     : edit == "res"   ? sent.referenceResistivity
                                       : sent.inversionDepth;
    QCOMPARE(got, value);
    QVERIFY(w->m_parametersChanged);
    // The rest of the record travels unchanged.
    QCOMPARE(sent.timeWindowStart, before.timeWindowStart);
    QCOMPARE(sent.instrumentKind, before.instrumentKind);
    QCOMPARE(sent.intField, 1);
    QVERIFY(sent.topography.isEmpty());
}

void TestMainWindow::exclusiveGroups()
{
    MainWindow* w = m_window;
    QSignalSpy modes(w, SIGNAL(signal_SampleModeChanged(TEMSampleMODES)));
    w->m_channel[2]->trigger();
    w->m_channel[2]->trigger();
    QCOMPARE(modes.count(), 2);
    QCOMPARE(modes.at(1).at(0).value<TEMSampleMODES>(), SAMPLE_LOG10);
    QCOMPARE(w->m_channel[2]->isChecked(), true);
    QVERIFY(!w->m_channel[0]->isChecked() && !w->m_channel[1]->isChecked() && !w->m_channel[3]->isChecked());
    w->m_channel[0]->trigger();
    QVERIFY(w->m_channel[0]->isChecked() && w->m_channel[1]->isChecked() && !w->m_channel[2]->isChecked());
    QCOMPARE(modes.last().at(0).value<TEMSampleMODES>(), SAMPLE_QV18);

    QSignalSpy show(w, SIGNAL(signal_ShowLineChanged(QSHOWLINE)));
    w->m_showLineActions[3]->trigger();
    QCOMPARE(show.last().at(0).value<QSHOWLINE>(), SHOWLINE_NEXT);
    QVERIFY(w->m_showLineActions[3]->isChecked() && !w->m_showLineActions[0]->isChecked());
    // Scheme and display choices are not parameters: no question at exit.
    QVERIFY(!w->m_parametersChanged);

    QSignalSpy fit(w, SIGNAL(signal_FittingMethodChanged(int)));
    w->onSignal_MenuEnable(1);
    w->m_fit[2]->trigger();
    QCOMPARE(fit.last().at(0).toInt(), 1);
    QVERIFY(w->m_fit[2]->isChecked() && !w->m_fit[0]->isChecked());
    w->m_fit[0]->trigger();
    QCOMPARE(fit.last().at(0).toInt(), 0);
    QVERIFY(w->m_fit[0]->isChecked() && w->m_fit[1]->isChecked() && !w->m_fit[2]->isChecked());

    QSignalSpy method(w, SIGNAL(signal_TransRelaxInversionMethodChanged(int)));
    w->m_method[2]->trigger();
    QCOMPARE(method.last().at(0).toInt(), 2);
    QVERIFY(!w->m_method[0]->isChecked() && !w->m_method[1]->isChecked() && w->m_method[2]->isChecked());
    QVERIFY(w->m_parametersChanged);
    w->m_method[1]->trigger();
    QCOMPARE(w->m_inversionMethod, 1);
    QVERIFY(w->m_method[0]->isChecked() && w->m_method[1]->isChecked() && !w->m_method[2]->isChecked());

    // Instrument: the QELVA choice runs the time dialog and sends only on OK.
    QSignalSpy params(w, SIGNAL(signal_curInvsionParamChanged(InvParam)));
    w->m_parametersChanged = false;
    m_dialogAnswer = QDialog::Rejected;
    w->m_machine[1]->trigger();
    QCOMPARE(m_dialogsRun, QStringList({"Dialog_TimeSetting"}));
    QCOMPARE(params.count(), 0);
    QVERIFY(!w->m_parametersChanged);
    w->onSignalTimeSettingChanged(300.0, 5000.0);
    m_dialogAnswer = QDialog::Accepted;
    w->m_machine[0]->trigger();
    QCOMPARE(params.count(), 1);
    const InvParam sent = params.at(0).at(0).value<InvParam>();
    QCOMPARE(sent.timeWindowStart, 300.0);
    QCOMPARE(sent.timeWindowEnd, 5000.0);
    QCOMPARE(sent.instrumentKind, 3);
    QVERIFY(w->m_machine[0]->isChecked() && w->m_machine[1]->isChecked());
    // PLIX presets its window and sends whatever the dialog answers.
    m_dialogAnswer = QDialog::Rejected;
    w->on_actionPLIX18_triggerd(false);
    QCOMPARE(params.count(), 2);
    QCOMPARE(params.at(1).at(0).value<InvParam>().timeWindowStart, 149.0);
    QCOMPARE(params.at(1).at(0).value<InvParam>().instrumentKind, 2);
    QVERIFY(w->m_machine[3]->isChecked() && !w->m_machine[0]->isChecked());
}

void TestMainWindow::editModeBoxes()
{
    MainWindow* w = m_window;
    QSignalSpy spy(w, SIGNAL(signal_EditCheckBoxStateChanged(bool,bool)));
    w->m_pointMoveBox->setChecked(true);
    QVERIFY(!w->m_lineMoveBox->isChecked());
    QCOMPARE(spy.count(), 1); // the other box was already clear
    QCOMPARE(spy.last().at(0).toBool(), true);
    QCOMPARE(spy.last().at(1).toBool(), false);

    spy.clear();
    w->m_pointMoveBox->setChecked(false);
    // Unchecking one checks the other, which re-enters: the pair goes twice.
    QVERIFY(w->m_lineMoveBox->isChecked());
    QCOMPARE(spy.count(), 2);
    for (const QList<QVariant>& args : spy) {
        QCOMPARE(args.at(0).toBool(), false);
        QCOMPARE(args.at(1).toBool(), true);
    }
}

void TestMainWindow::openAndClose()
{
    MainWindow* w = m_window;
    const QString project = writeProject(QStringLiteral("survey.QELVA"));
    QVERIFY(QFile::exists(project));
    m_nextFile = project;

    w->m_actionOpen->trigger();

    QCOMPARE(m_fileCaptions, QStringList({"打开工程"}));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("survey_raw.QELVA"))));
    QVERIFY(w->m_database);
    QCOMPARE(w->m_dataModel->rowCount(QModelIndex()), 2);
    QCOMPARE(w->m_dataModel->rowCount(w->m_dataModel->index(0, 0, QModelIndex())), 4);
    QCOMPARE(w->windowTitle(), QStringLiteral("QELVA28系统(260331) -- ") + project);
    QCOMPARE(w->m_invParam.timeWindowStart, 150.0);
    QCOMPARE(w->m_openCount, 1);

    // The history file sits in the working directory.
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("history.ini"))));
    QSettings history(m_dir->filePath(QStringLiteral("history.ini")), QSettings::IniFormat);
    QCOMPARE(history.value(QStringLiteral("historypath")).toString(), project);

    QVERIFY(!w->m_actionOpen->isEnabled() && !w->m_qaOpen->isEnabled());
    QVERIFY(w->m_actionClose->isEnabled() && w->m_qaClose->isEnabled());
    QVERIFY(w->m_actionImport->isEnabled() && w->m_actionImportGps->isEnabled());

    // The next dialog starts in the project's folder.
    QCOMPARE(w->historyFolder(QStringLiteral("/elsewhere")), m_dir->path());

    w->m_qaClose->trigger();
    QVERIFY(!w->m_database);
    QCOMPARE(w->m_dataModel->rowCount(QModelIndex()), 0);
    QCOMPARE(w->windowTitle(), QStringLiteral("QELVA28数据处理系统(260331)"));
    QVERIFY(w->m_actionOpen->isEnabled() && w->m_qaOpen->isEnabled());
    QVERIFY(!w->m_actionClose->isEnabled() && !w->m_qaClose->isEnabled());
    QVERIFY(w->m_actionImport->isEnabled() && w->m_actionImportGps->isEnabled());
    QVERIFY(m_messages.isEmpty());

    // Save: the form is asked to store, both save entries go off.
    w->on_signal_FiseSaveButtonEnalbe(true);
    QSignalSpy saved(w, SIGNAL(signal_FileSaved()));
    w->m_actionSave->trigger();
    QCOMPARE(saved.count(), 1);
    QVERIFY(!w->m_actionSave->isEnabled() && !w->m_qaSave->isEnabled());
}

void TestMainWindow::openKeepsExistingBackupAndPresetsOnce()
{
    MainWindow* w = m_window;
    // The base name ends at the first dot.
    const QString project = writeProject(QStringLiteral("a.b.QELVA"));
    const QString backup = m_dir->filePath(QStringLiteral("a_raw.QELVA"));
    {
        QFile f(backup);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("older backup");
    }
    m_nextFile = project;
    w->m_openCount = 1; // not the first project of this run
    w->m_invParam.timeWindowStart = 79.0;
    w->on_actionOpen_triggered(false);
    QVERIFY(w->m_database);
    QCOMPARE(w->m_dataModel->rowCount(QModelIndex()), 2);
    QCOMPARE(w->m_invParam.timeWindowStart, 79.0);
    QFile f(backup);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("older backup"));
}

void TestMainWindow::cancelledAndFailedOpen()
{
    MainWindow* w = m_window;
    m_nextFile.clear();
    w->m_actionOpen->trigger();
    QCOMPARE(w->m_openCount, 0);
    QVERIFY(!w->m_database);
    QVERIFY(!QFile::exists(QStringLiteral("history.ini")));

    // A project in a folder that cannot take its backup is not opened.
    m_nextFile = QStringLiteral("/proc/version.MORSA");
    w->m_actionOpen->trigger();
    QCOMPARE(w->m_openCount, 1);
    QVERIFY(!w->m_database);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(w->m_actionOpen->isEnabled());
    QVERIFY(!w->m_actionClose->isEnabled());
    QCOMPARE(w->windowTitle(), QStringLiteral("QELVA28数据处理软件(260331)--") + MainWindow::organisationCaption());
    // The MORSA preset was taken by that first choice; the next project gets none.
    QCOMPARE(w->m_invParam.timeWindowStart, 80.0);
    m_nextFile = writeProject(QStringLiteral("next.QELVA"));
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    QCOMPARE(w->m_invParam.timeWindowStart, 80.0);
}

void TestMainWindow::exportCommand()
{
    MainWindow* w = m_window;
    w->on_signal_FileExportButtonEnable(true);
    QVERIFY(w->m_actionExport->isEnabled());
    m_nextFile.clear();
    w->m_actionExport->trigger();
    QVERIFY(w->m_actionExport->isEnabled()); // cancelled: unchanged

    m_nextFile = m_dir->filePath(QStringLiteral("r.txt"));
    w->m_actionExport->trigger();
    QVERIFY(!w->m_actionExport->isEnabled());
    QVERIFY(m_messages.isEmpty()); // no exporter ran
    QVERIFY(!QFile::exists(m_nextFile));

    // A known kind reaches its exporter, which refuses without a project.
    w->on_signal_FileExportButtonEnable(true);
    m_nextFile = m_dir->filePath(QStringLiteral("r.layer.dat"));
    w->m_actionExport->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!w->m_actionExport->isEnabled());
}

void TestMainWindow::enablingRequests()
{
    MainWindow* w = m_window;
    w->onSignal_MenuEnable(1);
    for (QAction* a : w->m_fit)
        QVERIFY(a->isEnabled());
    QVERIFY(!w->m_method[3]->isEnabled() && !w->m_actionColorMap->isEnabled());
    w->m_fit[3]->trigger();
    QVERIFY(w->m_fit[3]->isChecked());

    for (int mode : {0, 2}) {
        w->onSignal_MenuEnable(mode);
        for (QAction* a : w->m_fit)
            QVERIFY(!a->isEnabled());
        QVERIFY(w->m_method[3]->isEnabled() && w->m_actionColorMap->isEnabled());
        QVERIFY(w->m_fit[3]->isChecked()); // the mark stays
    }
    w->on_signal_FittingMethodActionReset();
    for (QAction* a : w->m_fit)
        QVERIFY(!a->isChecked());

    w->on_signal_FiseSaveButtonEnalbe(true);
    QVERIFY(w->m_actionSave->isEnabled() && w->m_qaSave->isEnabled());
    w->on_signal_FiseSaveButtonEnalbe(false);
    QVERIFY(!w->m_actionSave->isEnabled() && !w->m_qaSave->isEnabled());

    // The controller's requests reach the window through its signals.
    emit w->m_dataModel->signal_FileExportButtonEnable(true);
    QVERIFY(w->m_actionExport->isEnabled());
    emit w->m_dataModel->signal_MenuEnable(1);
    QVERIFY(w->m_fit[0]->isEnabled());
    emit w->m_dataModel->signal_FiseSaveButtonEnalbe(true);
    QVERIFY(w->m_actionSave->isEnabled());
}

void TestMainWindow::centralWidgetSwitch()
{
    MainWindow* w = m_window;
    w->show();
    QPointer<Form_1DGraph> form1D = w->m_form1D;
    emit w->m_dataModel->signal_CentralWidgetChanged(false);
    emit w->m_dataModel->signal_CentralWidgetChanged(false);
    QVERIFY(w->centralWidget() == w->m_form2D);
    QTRY_VERIFY(w->m_form2D->isVisible());
    QVERIFY(form1D && !form1D->parent());
    emit w->m_dataModel->signal_CentralWidgetChanged(true);
    QVERIFY(w->centralWidget() == form1D.data());
    QVERIFY(w->m_form2D && !w->m_form2D->parent());

    // Closing while the two-dimensional form is central frees both once.
    emit w->m_dataModel->signal_CentralWidgetChanged(false);
    QPointer<Form_2DGraph> form2D = w->m_form2D;
    delete w;
    m_window = nullptr;
    QVERIFY(!form1D);
    QVERIFY(!form2D);
}

namespace {
QStringList g_warnings;
void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        g_warnings << text;
}
} // namespace

void TestMainWindow::wiringHasNoBrokenConnection()
{
    // A string connection to a signature that does not exist only warns at
    // run time; building a window must raise no such warning.
    g_warnings.clear();
    QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    auto* other = new MainWindow(nullptr);
    qInstallMessageHandler(previous);
    delete other;
    for (const QString& w : g_warnings)
        QVERIFY2(!w.contains(QLatin1String("QObject::connect")), qPrintable(w));

    // A few links end to end: controller to forms and window, dialogs to forms.
    MainWindow* w = m_window;
    QVERIFY(w->receivers(SIGNAL(signal_FileSaved())) == 1);
    QVERIFY(w->receivers(SIGNAL(signal_FittingMethodChanged(int))) == 1);
    QVERIFY(w->receivers(SIGNAL(signal_SampleModeChanged(TEMSampleMODES))) == 1);
    QVERIFY(w->receivers(SIGNAL(signal_GPSFileImported(QList<GPSCoordinate>))) == 1);
}

void TestMainWindow::settingsDialogsAndDock()
{
    MainWindow* w = m_window;
    w->m_actionAxis->trigger();
    m_dialogAnswer = QDialog::Accepted;
    w->m_actionAxis2->trigger();
    w->onSignal_MenuEnable(0);
    w->m_actionColorMap->trigger();
    QCOMPARE(m_dialogsRun, QStringList({"Dialog_Axis", "Dialog_InvAxis", "Dialog_ColorMap"}));

    // The grid dialog is made on first use, then reused; its settings reach
    // the controller, which passes them on.
    QVERIFY(!w->m_gridDialog);
    w->m_actionGridSetting->trigger();
    QPointer<Dialog_GridSetting> grid = w->m_gridDialog;
    QVERIFY(grid);
    w->m_actionGridSetting->trigger();
    QVERIFY(w->m_gridDialog == grid.data());
    QCOMPARE(m_dialogsRun.count(QStringLiteral("Dialog_GridSetting")), 2);
    QSignalSpy gridSpy(w->m_dataModel, SIGNAL(signal_GridSettingsChanged(GridPattern,double)));
    emit grid->currentGridSettings(GRID_PROGRESSIVE, 1.2);
    QCOMPARE(gridSpy.count(), 1);
    QCOMPARE(gridSpy.at(0).at(1).toDouble(), 1.2);

    w->show();
    QVERIFY(w->m_leftDock->isVisible());
    w->m_actionShowLeftDock->trigger();
    QVERIFY(!w->m_actionShowLeftDock->isChecked());
    QVERIFY(!w->m_leftDock->isVisible());
    w->m_actionShowLeftDock->trigger();
    QVERIFY(w->m_leftDock->isVisible());
    // Closed by its own button, the dock comes back with the next trigger
    // pair while the action's mark follows the trigger.
    w->m_leftDock->close();
    QVERIFY(w->m_actionShowLeftDock->isChecked());
    w->m_actionShowLeftDock->trigger();
    w->m_actionShowLeftDock->trigger();
    QVERIFY(w->m_leftDock->isVisible());

    w->hideStatusBar(Qt::Unchecked);
    QVERIFY(!w->statusBar()->isVisible());
    w->hideStatusBar(Qt::Checked);
    QVERIFY(w->statusBar()->isVisible());
}

void TestMainWindow::gpsImportAndExportByLine()
{
    MainWindow* w = m_window;
    QList<GPSCoordinate> received;
    int sent = 0;
    connect(w, &MainWindow::signal_GPSFileImported, this, [&](QList<GPSCoordinate> list) {
        received = list;
        ++sent;
    });

    const QString gps = m_dir->filePath(QStringLiteral("gps.dat"));
    {
        QFile f(gps);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Text));
        f.write("line,point,x,y,z\n100,0,1,2,3\n110,0,4,5,6\n100,20,7,8,9\n");
    }
    m_nextFile.clear();
    w->m_actionImportGps->setEnabled(true);
    w->m_actionImportGps->trigger();
    QCOMPARE(sent, 0); // cancelled

    m_nextFile = gps;
    w->m_actionImportGps->trigger();
    QCOMPARE(sent, 1);
    QCOMPARE(m_fileCaptions.last(), QStringLiteral("导入数据"));
    // Grouped by line, groups in order of first appearance.
    QCOMPARE(received.size(), 3);
    QCOMPARE(received.at(0).lineNo, 100.0f);
    QCOMPARE(received.at(1).lineNo, 100.0f);
    QCOMPARE(received.at(1).pointNo, 20.0f);
    QCOMPARE(received.at(2).lineNo, 110.0f);

    // An unreadable file still sends its empty list.
    m_nextFile = m_dir->filePath(QStringLiteral("missing.dat"));
    w->m_actionImport->setEnabled(true);
    w->m_actionImport->trigger();
    QCOMPARE(sent, 2);
    QVERIFY(received.isEmpty());

    // Export by line: a cancelled folder dialog passes the empty folder on,
    // which writes nothing.
    m_nextFile.clear();
    w->m_actionExportByLine->trigger();
    QCOMPARE(m_fileCaptions.last(), QStringLiteral("保存文件夹"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
}

void TestMainWindow::threeDimensionalRun()
{
    MainWindow* w = m_window;
    m_nextFile = writeProject(QStringLiteral("volume.QELVA"));
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    w->onSignal_MenuEnable(0);
    QVERIFY(w->m_method[3]->isEnabled());
    auto* tabs = w->m_form2D->findChild<QTabWidget*>();
    QVERIFY(tabs);
    const int before = tabs->count();
    QSignalSpy method(w, SIGNAL(signal_TransRelaxInversionMethodChanged(int)));
    w->m_parametersChanged = false;

    w->m_method[3]->trigger();

    QCOMPARE(w->m_inversionMethod, 3);
    QVERIFY(!w->m_method[3]->isChecked());
    QVERIFY(w->m_method[0]->isChecked()); // the other marks stay
    QCOMPARE(method.count(), 0);
    QVERIFY(!w->m_parametersChanged);
    // Two lines make a volume: it is shown as a new tab of the 2-D form.
    QCOMPARE(tabs->count(), before + 1);
    QCOMPARE(tabs->tabText(tabs->count() - 1), QStringLiteral("三维展示"));
}

void TestMainWindow::closeEvent_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("withHistory");
    QTest::addColumn<QString>("expected");

    const QString oneD = QStringLiteral("约束系数: 2.5\n反演系数: 0.3\n最低高程: 100\n反演方法: 瞬态弛豫反演\n"
                                        "基准电阻率: 100\n起始时间: 79\n结束时间: 4e+06\n起始里程: -1\n结束里程: -1\n");
    QString twoD = oneD;
    twoD.replace(QStringLiteral("瞬态弛豫反演"), QStringLiteral("二维瞬态弛豫反演"));
    QString threeD = oneD;
    threeD.remove(QStringLiteral("反演方法: 瞬态弛豫反演\n"));

    QTest::newRow("unchanged: no question") << false << 1 << int(QMessageBox::Yes) << false << QString();
    QTest::newRow("yes, method 1") << true << 1 << int(QMessageBox::Yes) << false << oneD;
    QTest::newRow("yes, method 2, beside the project") << true << 2 << int(QMessageBox::Yes) << true << twoD;
    QTest::newRow("yes, after a 3-D run") << true << 3 << int(QMessageBox::Yes) << false << threeD;
    QTest::newRow("no") << true << 1 << int(QMessageBox::No) << false << QString();
}

void TestMainWindow::closeEvent()
{
    QFETCH(bool, changed);
    QFETCH(int, method);
    QFETCH(int, answer);
    QFETCH(bool, withHistory);
    QFETCH(QString, expected);

    MainWindow* w = m_window;
    QString folder = m_dir->path();
    if (withHistory) {
        QDir(m_dir->path()).mkdir(QStringLiteral("proj"));
        folder = m_dir->filePath(QStringLiteral("proj"));
        w->m_settings->setValue(QStringLiteral("historypath"), folder + QStringLiteral("/x.QELVA"));
    }
    if (changed) {
        w->m_lineEditCof->setText(QStringLiteral("2.5"));
        emit w->m_lineEditCof->editingFinished();
    }
    w->m_inversionMethod = method;
    m_dialogAnswer = answer;
    QString question;
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        m_dialogsRun << QString::fromLatin1(dialog->metaObject()->className());
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (box && box->icon() == QMessageBox::Question
            && box->standardButtons() == (QMessageBox::Yes | QMessageBox::No))
            question = box->windowTitle() + QLatin1Char('|') + box->text();
        return m_dialogAnswer;
    });
    w->show();
    // "退出" closes the window through the same question.
    w->m_actionExit->trigger();
    QVERIFY(!w->isVisible());
    QCOMPARE(m_dialogsRun, changed ? QStringList({"QMessageBox"}) : QStringList());
    QCOMPARE(question, changed ? QStringLiteral("参数配置文件|是否保存参数配置") : QString());
    answerDialogs();

    const QString path = folder + QStringLiteral("/configure.ini");
    QCOMPARE(QFile::exists(path), !expected.isEmpty());
    if (!expected.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), expected);
    }
}

void TestMainWindow::ribbonWindowOptions()
{
    MainWindow* w = m_window;
    auto* style = qobject_cast<Qtitan::RibbonStyle*>(QApplication::style());
    QAction* roze = w->findChild<QAction*>(QStringLiteral("ROZE2014Black"));
    QAction* blue = w->findChild<QAction*>(QStringLiteral("Office2007Blue"));
    QAction* dark = w->findChild<QAction*>(QStringLiteral("Office2013Dark"));
    QVERIFY(roze && blue && dark);
    QCOMPARE(w->m_styleActions->actions().size(), 12);

    dark->trigger();
    QCOMPARE(style->getTheme(), 10);
    QVERIFY(dark->isChecked());
    QCOMPARE(w->ribbonBar()->getSystemButton()->toolButtonStyle(), Qt::ToolButtonTextOnly);

    // "Large" then a style: the font stays large, "System Default" is marked.
    w->m_actionLarge->trigger();
    QCOMPARE(w->ribbonBar()->font().pointSize(), 11);
    roze->trigger();
    QCOMPARE(style->getTheme(), 0);
    QVERIFY(blue->isChecked() && !roze->isChecked());
    QCOMPARE(w->ribbonBar()->font().pointSize(), 11);
    QVERIFY(w->m_actionDefault->isChecked());
    QCOMPARE(w->ribbonBar()->getSystemButton()->toolButtonStyle(), Qt::ToolButtonFollowStyle);

    QAction* dpi = w->findChild<QAction*>(QStringLiteral("DPI 100%"));
    QVERIFY(dpi && dpi->isChecked());
    dpi->trigger();
    QVERIFY(!w->m_actionNormal->isEnabled() && !w->m_actionDefault->isEnabled());
    QVERIFY(!style->isDPIAware());
    dpi->trigger();
    QVERIFY(w->m_actionNormal->isEnabled());

    QMenu menu;
    w->showQuickAccessCustomizeMenu(&menu);
    QVERIFY(menu.actions().contains(w->m_actionShowBelowRibbon));
    w->m_actionShowBelowRibbon->trigger();
    QCOMPARE(w->ribbonBar()->quickAccessBarPosition(), int(Qtitan::RibbonBar::QABottomPosition));
    QMenu below;
    w->showQuickAccessCustomizeMenu(&below);
    QVERIFY(below.actions().contains(w->m_actionShowAboveRibbon));
    QVERIFY(!below.actions().contains(w->m_actionShowBelowRibbon));
    QVERIFY(below.actions().contains(w->m_actionMenuRibbonMinimize));

    w->m_actionRibbonMinimize->trigger();
    QVERIFY(w->ribbonBar()->isMinimized());
    QVERIFY(w->m_actionMenuRibbonMinimize->isChecked());
    w->m_actionMenuRibbonMinimize->trigger();
    QVERIFY(!w->ribbonBar()->isMinimized());
    style->setTheme(3);
}

void TestMainWindow::backstageAndAbout()
{
    MainWindow* w = m_window;
    w->show();
    w->m_backstage->open();
    QVERIFY(!w->ribbonBar()->quickAccessBar()->isEnabled());
    QVERIFY(!w->m_menuOptions->isEnabled());
    QVERIFY(!w->m_actionRibbonMinimize->isEnabled());
    // The page buttons do nothing.
    auto* info = w->findChild<BackstagePageInfo*>();
    QVERIFY(info);
    const QList<QToolButton*> buttons = info->findChildren<QToolButton*>();
    QCOMPARE(buttons.size(), 3);
    for (QToolButton* b : buttons)
        b->click();
    QVERIFY(m_dialogsRun.isEmpty());
    w->m_backstage->closeBackstage();
    QVERIFY(w->ribbonBar()->quickAccessBar()->isEnabled());
    QVERIFY(w->m_menuOptions->isEnabled());

    QString title;
    QPointer<QDialog> box;
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        title = dialog->windowTitle();
        box = dialog;
        return 0;
    });
    w->about();
    QCOMPARE(title, QStringLiteral("About Qtitan Ribbon Controls Sample"));
    Qtitan::AboutDialog::showAboutBox(w, QString(), QStringLiteral("C"), QStringLiteral("1"));
    QVERIFY(title.startsWith(QStringLiteral("About ")));
    QVERIFY(title != QStringLiteral("About "));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!box);
    answerDialogs();
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
