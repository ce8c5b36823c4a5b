#include "shell/MainWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegExp>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTreeView>
#include <QValueAxis>
#include <QtCharts/QScatterSeries>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include "common/FileFailures.h"
#include "model/DataModel.h"
#include "model/UserPrompt.h"
#include "platform/gradient/WidgetGradientEditor.h"
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
#include "shell/Dialog_Axis.h"
#include "shell/Dialog_ColorMap.h"
#include "shell/Dialog_GridSetting.h"
#include "shell/Dialog_InvAxis.h"
#include "shell/Dialog_TimeSetting.h"
#include "shell/Form_ProjectIndex.h"
#include "store/StoreFixture.h"
#include "tools/projectgen/ProjectGenerator.h"
#include "views/Dialog_3DataVisualization.h"
#include "views/Form_1DGraph.h"
#include "views/Chart.h"
#include "views/ChartView.h"
#include "views/Form_2DGraph.h"
#include "views/Graph_IsoLine.h"
#include "views/KXSpectrogramMap.h"
#include "views/QLinearColorMap.h"

#include <qwt_color_map.h>
#include <qwt_interval.h>

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
    void ribbonFitsTheWindowWidth();
    void initialEnabling();
    void parameterEntry_data();
    void parameterEntry();
    void exclusiveGroups();
    void editModeBoxes();
    void openAndClose();
    void openKeepsExistingBackupAndPresets();
    void firstOpenPresetReachesController();
    void eachOpenTakesTheProjectsKind();
    void startSetByTheUserOutlivesOpens();
    void openDialogListsBothKinds();
    void unusableParameterIsRefused_data();
    void unusableParameterIsRefused();
    void parameterFileIsWrittenWhole();
    void unsavedEditIsAskedFor_data();
    void unsavedEditIsAskedFor();
    void closeClearsViewsAndEnabling();
    void chosenRampHoldsForEverySection();
    void refusedSaveCanBeRetried();
    void refusedSaveInsideTheQuestion_data();
    void refusedSaveInsideTheQuestion();
    void editOfAStationNoLongerShownIsNotAskedFor();
    void eachProjectHasItsOwnBackup();
    void cancelledAndFailedOpen();
    void refusedFileLeavesNothingBeside_data();
    void refusedFileLeavesNothingBeside();
    void projectInUseIsNotOpened_data();
    void projectInUseIsNotOpened();
    void damagedProjectOpensReadOnly_data();
    void damagedProjectOpensReadOnly();
    void projectWithBrokenTablesOpensReadOnly_data();
    void projectWithBrokenTablesOpensReadOnly();
    void projectWithTriggersOpensReadOnly();
    void exportCommand();
    void exportChoosesExporter_data();
    void exportChoosesExporter();
    void enablingRequests();
    void centralWidgetSwitch();
    void viewSwitchKeepsTheWindowSize();
    void windowFitsSmallDesktops_data();
    void windowFitsSmallDesktops();
    void wiringHasNoBrokenConnection();
    void wiringTable_data();
    void wiringTable();
    void settingsDialogsAndDock();
    void inversionAxisReachesForm();
    void inversionAxisOpensOnTheRangesInForce();
    void gpsImportAndExportByLine();
    void threeDimensionalRun();
    void closeEvent_data();
    void closeEvent();
    void ribbonWindowOptions();
    void styleMarkFollowsTheTheme();
    void backstageAndAbout();

private:
    QString writeProject(const QString& name);
    // A one-line MORSA project of four stations, written under name.
    QString writeMorsaProject(const QString& name);
    // A copy of a survey generated once per test run.
    QString copyOfMade(const QString& madeName, const ProjectGenerator::Options& options, const QString& name);
    // Opens project and shows the second station of its first line; the
    // station signal's arguments.
    QList<QVariant> openAndShowStation(const QString& project);
    // The stored response blob of a station, read beside the program.
    static QByteArray storedResponse(const QString& file, double line, double station);
    // Saves a picture of widget into HW_SCREENSHOT_DIR when that is set.
    static void screenshot(QWidget* widget, const QString& name);
    // Dialogs are recorded by class and answered with m_dialogAnswer.
    void answerDialogs();
    static QStringList texts(const QList<QAction*>& actions);
    // The ribbon's parameter field a test row names.
    static QLineEdit* parameterEdit(MainWindow* w, const QString& name);

    QTemporaryDir* m_dir = nullptr;
    QTemporaryDir m_madeDir;
    QString m_oldCwd;
    MainWindow* m_window = nullptr;
    QString m_nextFile;
    QStringList m_fileCaptions;
    QStringList m_fileFilters;
    QStringList m_messages;
    int m_dialogAnswer = QDialog::Rejected;
    QStringList m_dialogsRun;
};

void TestMainWindow::initTestCase()
{
    registerSharedTypes();
    QApplication::setStyle(new Qtitan::RibbonStyle);
    UserPrompt::setFileAnswerer([this](UserPrompt::FileDialogKind, const QString& caption, const QString&,
                                       const QString& filter) {
        m_fileCaptions << caption;
        m_fileFilters << filter;
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
    m_fileFilters.clear();
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
    return copyOfMade(QStringLiteral("made.QELVA"), options, name);
}

QString TestMainWindow::writeMorsaProject(const QString& name)
{
    ProjectGenerator::Options options;
    options.lines = 1;
    options.stationsPerLine = 4;
    options.samplesPerStation = 1;
    options.family = QStringLiteral("MORSA");
    return copyOfMade(QStringLiteral("made.MORSA"), options, name);
}

QString TestMainWindow::copyOfMade(const QString& madeName, const ProjectGenerator::Options& options,
                                   const QString& name)
{
    // Made once and copied: the synthetic survey takes seconds to compute
    // under the sanitizers, and every row of a table opens one.
    const QString made = m_madeDir.filePath(madeName);
    if (!QFile::exists(made)) {
        QString error;
        if (!ProjectGenerator(options).write(made, &error))
            qWarning("%s", qPrintable(error));
    }
    const QString path = m_dir->filePath(name);
    QFile::remove(path);
    if (!QFile::copy(made, path))
        qWarning("could not copy the project to %s", qPrintable(path));
    return path;
}

QList<QVariant> TestMainWindow::openAndShowStation(const QString& project)
{
    MainWindow* w = m_window;
    QSignalSpy station(w->m_dataModel,
                       SIGNAL(signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)));
    m_nextFile = project;
    w->m_actionOpen->trigger();
    if (!w->m_database)
        return {};
    w->m_projectIndex->on_treeView_doubleClicked(w->m_dataModel->index(1, 0, w->m_dataModel->index(0, 0)));
    return station.isEmpty() ? QList<QVariant>() : station.first();
}

QByteArray TestMainWindow::storedResponse(const QString& file, double line, double station)
{
    QByteArray blob;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("window-reader"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT p.DATA_RECV_QV18 FROM Data_Point p JOIN Data_Line l "
                                      "ON p.Data_LineID = l.ID WHERE l.NAME = %1 AND p.NAME = %2")
                           .arg(line)
                           .arg(station))
                && q.next())
                blob = q.value(0).toByteArray();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("window-reader"));
    return blob;
}

void TestMainWindow::screenshot(QWidget* widget, const QString& name)
{
    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    // As the user would see it: laid out and painted.
    QTest::qWait(50);
    widget->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

QLineEdit* TestMainWindow::parameterEdit(MainWindow* w, const QString& name)
{
    const QMap<QString, QLineEdit*> edits = {{"start", w->m_lineEditStart}, {"end", w->m_lineEditEnd},
                                             {"cof", w->m_lineEditCof},     {"smooth", w->m_lineEditSmooth},
                                             {"res", w->m_lineEditRes},     {"depth", w->m_lineEditDepth}};
    return edits.value(name);
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

void TestMainWindow::ribbonFitsTheWindowWidth()
{
    // Two thirds of a 1600-px desktop: no command label may be cut short,
    // every command stays reachable on the page or behind its group's button.
    MainWindow* w = m_window;
    w->show();
    w->resize(1066, 660);
    QTest::qWait(30);
    Qtitan::RibbonBar* bar = w->ribbonBar();
    for (int p = 0; p < bar->pages().size(); ++p) {
        bar->setCurrentPageIndex(p);
        QTest::qWait(20);
        Qtitan::RibbonPage* page = bar->pages().at(p);
        QVERIFY(page->width() <= w->width());
        for (QToolButton* button : page->findChildren<QToolButton*>()) {
            if (!button->isVisibleTo(page) || button->text().isEmpty())
                continue;
            QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
            QVERIFY2(button->mapTo(page, QPoint(button->width(), 0)).x() <= page->width(),
                     qPrintable(button->text()));
        }
        for (Qtitan::RibbonGroup* g : page->groups()) {
            if (page->isGroupCollapsed(g))
                QVERIFY(page->collapsedButton(g)->isVisible());
            else
                QVERIFY2(g->isVisible() && g->geometry().right() <= page->width(), qPrintable(g->title()));
        }
        const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QVERIFY(w->grab().save(QDir(dir).filePath(QStringLiteral("hw_main_1066_page%1.png").arg(p))));
            for (Qtitan::RibbonGroup* g : page->groups()) {
                if (!page->isGroupCollapsed(g))
                    continue;
                QMenu* popup = page->collapsedButton(g)->menu();
                QTimer::singleShot(50, [popup, dir, p] {
                    popup->grab().save(QDir(dir).filePath(QStringLiteral("hw_main_1066_popup%1.png").arg(p)));
                    popup->close();
                });
                page->collapsedButton(g)->showMenu();
                break;
            }
        }
    }
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
                                   w->m_actionTriangle, w->m_actionFitToWnd, w->m_qaClose, w->m_qaSave};
    for (QAction* a : all) {
        if (a->isEnabled() == expectedOff.contains(a))
            QFAIL(qPrintable(a->text()));
    }
    // The quick-access save is off like the ribbon's: without a project
    // there is nothing it could write.
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
    QTest::newRow("inversion coefficient") << "smooth" << "0.5" << 0.5;
    QTest::newRow("reference resistivity") << "res" << "250" << 250.0;
    QTest::newRow("inversion depth exponent") << "depth" << "1e3" << 1000.0;
    QTest::newRow("blanks around the number") << "smooth" << " 0.25 " << 0.25;
    QTest::newRow("negative station") << "start" << "-40" << -40.0;
}

void TestMainWindow::parameterEntry()
{
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(double, value);

    MainWindow* w = m_window;
    QLineEdit* line = parameterEdit(w, edit);
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
    // Without a project there is nothing to import into.
    QVERIFY(!w->m_actionImport->isEnabled() && !w->m_actionImportGps->isEnabled());
    QVERIFY(m_messages.isEmpty());

    // Save: the form is asked to store, both save entries go off.
    w->on_signal_FiseSaveButtonEnalbe(true);
    QSignalSpy saved(w, SIGNAL(signal_FileSaved()));
    w->m_actionSave->trigger();
    QCOMPARE(saved.count(), 1);
    QVERIFY(!w->m_actionSave->isEnabled() && !w->m_qaSave->isEnabled());
}

void TestMainWindow::openKeepsExistingBackupAndPresets()
{
    MainWindow* w = m_window;
    // The backup's name is all of the project's name before the suffix.
    const QString project = writeProject(QStringLiteral("a.b.QELVA"));
    const QString backup = m_dir->filePath(QStringLiteral("a.b_raw.QELVA"));
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
    // Not the first: the project's kind presets the window all the same.
    QCOMPARE(w->m_invParam.timeWindowStart, 150.0);
    QFile f(backup);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("older backup"));
}

// Two versions of a survey whose names differ after the first dot get a
// backup each, a copy of each one's own file.
void TestMainWindow::firstOpenPresetReachesController()
{
    // The first project of a run is a MORSA one: its stations show the
    // gates from 80 us at once, not once some field is next left.
    MainWindow* w = m_window;
    ProjectGenerator::Options options;
    options.lines = 1;
    options.stationsPerLine = 4;
    options.samplesPerStation = 1;
    options.family = QStringLiteral("MORSA");
    m_nextFile = m_dir->filePath(QStringLiteral("first.MORSA"));
    QString error;
    QVERIFY2(ProjectGenerator(options).write(m_nextFile, &error), qPrintable(error));
    QSignalSpy station(w->m_dataModel,
                       SIGNAL(signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)));

    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    QCOMPARE(w->m_invParam.timeWindowStart, 80.0);
    w->m_projectIndex->on_treeView_doubleClicked(w->m_dataModel->index(1, 0, w->m_dataModel->index(0, 0)));

    QCOMPARE(station.count(), 1);
    const QVector<double> times = station.at(0).at(2).value<QVector<double> >();
    QVERIFY(!times.isEmpty());
    QVERIFY2(times.first() >= 80.0 && times.first() < 150.0, qPrintable(QString::number(times.first())));
    // Sent as the open's own doing: not a change the user is asked to keep.
    QVERIFY(!w->m_parametersChanged);
}

// A QELVA project opened after a MORSA one is processed as QELVA data:
// window from 150 us, constraint scaled as for QELVA; the ribbon and the
// time dialog show what is in force at each step.
void TestMainWindow::eachOpenTakesTheProjectsKind()
{
    MainWindow* w = m_window;
    QStringList shownStarts;
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        if (auto* start = dialog->findChild<QLineEdit*>(QStringLiteral("lineEdit")))
            shownStarts << start->text();
        screenshot(dialog, QStringLiteral("time-dialog-%1").arg(shownStarts.size()));
        return int(QDialog::Rejected);
    });
    const auto marks = [w] {
        QString m;
        for (QAction* a : w->m_machine)
            m += a->isChecked() ? QLatin1Char('x') : QLatin1Char('-');
        return m;
    };

    const QList<QVariant> morsa = openAndShowStation(writeMorsaProject(QStringLiteral("first.MORSA")));
    QCOMPARE(morsa.size(), 6);
    QCOMPARE(w->m_invParam.instrumentKind, 1);
    QCOMPARE(marks(), QStringLiteral("--x-")); // TEM
    const QVector<double> morsaTimes = morsa.at(2).value<QVector<double> >();
    QVERIFY(!morsaTimes.isEmpty());
    QVERIFY2(morsaTimes.first() >= 80.0 && morsaTimes.first() < 150.0, qPrintable(QString::number(morsaTimes.first())));
    QCOMPARE(morsa.at(5).toDouble(), 0.5); // constraint 1.0 scaled for MORSA
    w->show();
    screenshot(w, QStringLiteral("morsa-first"));
    w->m_machine[0]->trigger();
    QCOMPARE(shownStarts, QStringList({"80"}));
    w->m_actionClose->trigger();

    const QList<QVariant> qelva = openAndShowStation(writeProject(QStringLiteral("second.QELVA")));
    QCOMPARE(qelva.size(), 6);
    QCOMPARE(w->m_invParam.timeWindowStart, 150.0);
    QCOMPARE(w->m_invParam.instrumentKind, 3);
    QCOMPARE(marks(), QStringLiteral("xx--"));
    const QVector<double> qelvaTimes = qelva.at(2).value<QVector<double> >();
    QVERIFY(!qelvaTimes.isEmpty());
    QVERIFY2(qelvaTimes.first() >= 150.0, qPrintable(QString::number(qelvaTimes.first())));
    QCOMPARE(qelva.at(5).toDouble(), 2.0);
    // The time dialog opens on the window in force, whatever was last typed.
    m_window->m_timeDialog->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(QStringLiteral("700"));
    w->m_machine[0]->trigger();
    QCOMPARE(shownStarts.last(), QStringLiteral("150"));
    // Opening is not a change the user is asked to keep.
    QVERIFY(!w->m_parametersChanged);
    screenshot(w, QStringLiteral("qelva-after-morsa"));
    answerDialogs();
}

// A window the user set holds for every project of the session; the kind
// still follows each project, and a choice on the ribbon wins until the
// next open.
void TestMainWindow::startSetByTheUserOutlivesOpens()
{
    MainWindow* w = m_window;
    UserPrompt::setDialogAnswerer([](QDialog* dialog) {
        if (auto* start = dialog->findChild<QLineEdit*>(QStringLiteral("lineEdit")))
            start->setText(QStringLiteral("200"));
        if (auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("pushButton_OK")))
            ok->click();
        return dialog->result();
    });
    w->m_machine[0]->trigger();
    answerDialogs();
    QCOMPARE(w->m_invParam.timeWindowStart, 200.0);

    const QList<QVariant> shown = openAndShowStation(writeMorsaProject(QStringLiteral("set.MORSA")));
    QCOMPARE(shown.size(), 6);
    QCOMPARE(w->m_invParam.timeWindowStart, 200.0);
    const QVector<double> times = shown.at(2).value<QVector<double> >();
    QVERIFY(!times.isEmpty());
    QVERIFY2(times.first() >= 200.0, qPrintable(QString::number(times.first())));
    QCOMPARE(shown.at(5).toDouble(), 0.5);
    QVERIFY(w->m_machine[2]->isChecked() && !w->m_machine[0]->isChecked());

    // The user's instrument choice is the one in force.
    QSignalSpy params(w, SIGNAL(signal_curInvsionParamChanged(InvParam)));
    QSignalSpy station(w->m_dataModel,
                       SIGNAL(signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)));
    m_dialogAnswer = QDialog::Accepted;
    w->m_machine[1]->trigger();
    QCOMPARE(params.count(), 1);
    QCOMPARE(params.first().first().value<InvParam>().instrumentKind, 3);
    QVERIFY(w->m_machine[0]->isChecked() && !w->m_machine[2]->isChecked());
    w->m_projectIndex->on_treeView_doubleClicked(w->m_dataModel->index(2, 0, w->m_dataModel->index(0, 0)));
    QCOMPARE(station.size(), 1);
    QCOMPARE(station.first().at(5).toDouble(), 2.0);
}

void TestMainWindow::openDialogListsBothKinds()
{
    MainWindow* w = m_window;
    m_nextFile.clear();
    w->m_actionOpen->trigger();
    QCOMPARE(m_fileFilters.size(), 1);
    // One filter that shows both kinds of project, as the file dialog reads
    // its patterns.
    const QString filter = m_fileFilters.first();
    QVERIFY2(!filter.contains(QLatin1String(";;")), qPrintable(filter));
    const int open = filter.indexOf(QLatin1Char('('));
    const QStringList patterns = filter.mid(open + 1, filter.lastIndexOf(QLatin1Char(')')) - open - 1)
                                     .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& name : {QStringLiteral("line.QELVA"), QStringLiteral("line.MORSA")}) {
        bool shown = false;
        for (const QString& pattern : patterns)
            shown = shown || QRegExp(pattern, Qt::CaseSensitive, QRegExp::Wildcard).exactMatch(name);
        QVERIFY2(shown, qPrintable(name + QStringLiteral(" in ") + filter));
    }
}

void TestMainWindow::unusableParameterIsRefused_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::newRow("constraint letters") << "cof" << "约束系数" << "abc";
    QTest::newRow("comma is not a decimal point") << "depth" << "反演深度" << "1,5";
    QTest::newRow("empty constraint") << "cof" << "约束系数" << "";
    QTest::newRow("blank inversion coefficient") << "smooth" << "反演系数" << "  ";
    QTest::newRow("zero depth") << "depth" << "反演深度" << "0";
    QTest::newRow("negative depth") << "depth" << "反演深度" << "-100";
    QTest::newRow("depth out of range") << "depth" << "反演深度" << "1e999";
    QTest::newRow("zero reference resistivity") << "res" << "基准阻值" << "0";
    QTest::newRow("not a number") << "res" << "基准阻值" << "nan";
    QTest::newRow("infinite start station") << "start" << "起始点号" << "inf";
    QTest::newRow("end station letters") << "end" << "终止点号" << "end";
}

// What is refused is said, the field shows the value in force again and
// nothing of it reaches the record, the controller or the parameter file.
void TestMainWindow::unusableParameterIsRefused()
{
    QFETCH(QString, edit);
    QFETCH(QString, label);
    QFETCH(QString, text);

    MainWindow* w = m_window;
    QLineEdit* line = parameterEdit(w, edit);
    QVERIFY(line);
    // A value typed and taken before is the one kept.
    line->setText(QStringLiteral("7"));
    emit line->editingFinished();
    w->m_parametersChanged = false;
    const InvParam before = w->m_invParam;
    QSignalSpy spy(w, SIGNAL(signal_curInvsionParamChanged(InvParam)));
    // The message box takes the focus, which finishes the edit once more.
    UserPrompt::setMessageAnswerer([&](const QString& message) {
        m_messages << message;
        emit line->editingFinished();
    });

    line->setText(text);
    emit line->editingFinished();
    UserPrompt::setMessageAnswerer([this](const QString& message) { m_messages << message; });

    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(label), qPrintable(m_messages.first()));
    QCOMPARE(line->text(), QStringLiteral("7"));
    QCOMPARE(spy.count(), 0);
    QVERIFY(!w->m_parametersChanged);
    QCOMPARE(w->m_invParam.constraintCoefficient, before.constraintCoefficient);
    QCOMPARE(w->m_invParam.inversionCoefficient, before.inversionCoefficient);
    QCOMPARE(w->m_invParam.inversionDepth, before.inversionDepth);
    QCOMPARE(w->m_invParam.referenceResistivity, before.referenceResistivity);
    QCOMPARE(w->m_invParam.startStation, before.startStation);
    QCOMPARE(w->m_invParam.endStation, before.endStation);

    w->saveParameterConfig(m_dir->filePath(QStringLiteral("configure.ini")));
    QFile config(m_dir->filePath(QStringLiteral("configure.ini")));
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(config.readAll());
    QVERIFY2(!written.contains(QStringLiteral(": 0\n")), qPrintable(written));
    if (edit == QLatin1String("cof"))
        QVERIFY2(written.contains(QStringLiteral("约束系数: 7\n")), qPrintable(written));
    if (edit == QLatin1String("cof") && text == QLatin1String("abc")) {
        w->show();
        w->ribbonBar()->setCurrentPageIndex(1);
        line->setText(text);
        screenshot(w, QStringLiteral("refused-constraint"));
        emit line->editingFinished();
        screenshot(w, QStringLiteral("refused-constraint-after"));
    }
}

// A parameter file that cannot be written whole keeps what it held, and the
// user is told which file it is.
void TestMainWindow::parameterFileIsWrittenWhole()
{
    MainWindow* w = m_window;
    const QString path = m_dir->filePath(QStringLiteral("configure.ini"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("kept\n");
    }
    {
        hwtest::FileSizeLimit limit(16);
        w->saveParameterConfig(path);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("kept\n"));
    file.close();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(QDir::toNativeSeparators(path)), qPrintable(m_messages.first()));
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("configure.ini*")}, QDir::Files),
             QStringList({"configure.ini"}));

    // A folder that is not there: nothing is made, and it is said.
    m_messages.clear();
    const QString missing = m_dir->filePath(QStringLiteral("gone/configure.ini"));
    w->saveParameterConfig(missing);
    QVERIFY(!QFile::exists(missing));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(QDir::toNativeSeparators(missing)), qPrintable(m_messages.first()));
}

void TestMainWindow::unsavedEditIsAskedFor_data()
{
    QTest::addColumn<QString>("step");   // what would replace or close the edited station
    QTest::addColumn<int>("answer");     // the button chosen; 0: nothing was edited
    for (const char* step : {"other station", "line", "close", "open", "exit"}) {
        QTest::newRow(QByteArray(step) + ", save") << QString::fromLatin1(step) << int(QMessageBox::Save);
        QTest::newRow(QByteArray(step) + ", discard") << QString::fromLatin1(step) << int(QMessageBox::Discard);
        QTest::newRow(QByteArray(step) + ", cancel") << QString::fromLatin1(step) << int(QMessageBox::Cancel);
    }
    QTest::newRow("no edit, other station") << QStringLiteral("other station") << 0;
    QTest::newRow("no edit, close") << QStringLiteral("close") << 0;
}

void TestMainWindow::unsavedEditIsAskedFor()
{
    QFETCH(QString, step);
    QFETCH(int, answer);
    MainWindow* w = m_window;
    const QString project = writeProject(QStringLiteral("edit.QELVA"));
    m_nextFile = project;
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    DataModel* model = w->m_dataModel;
    Form_1DGraph* form = w->m_form1D;
    const QModelIndex line100 = model->index(0, 0);
    // Station 20 of line 100 is shown; one of its gates is dragged up.
    w->m_projectIndex->on_treeView_doubleClicked(model->index(1, 0, line100));
    QVERIFY(form->stationSeries());
    const QString title = form->decayChart()->title();
    const QByteArray before = storedResponse(project, 100, 20);
    QVERIFY(!before.isEmpty());
    double dragged = 0.0;
    if (answer != 0) {
        const QPointF p = form->stationSeries()->at(3);
        dragged = p.y() * 2.0;
        form->stationSeries()->replace(3, p.x(), dragged);
        form->onSignalMouseMoveComplete_RefreshUI();
        QVERIFY(w->m_actionSave->isEnabled());
    }
    screenshot(w, QStringLiteral("hw_edit_%1_before").arg(step));

    QStringList questions;
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (box && box->standardButtons() == (QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)) {
            questions << box->windowTitle() + QLatin1Char('|') + box->text();
            box->show();
            screenshot(box, QStringLiteral("hw_edit_%1_question").arg(step));
            box->hide();
            return answer;
        }
        return int(QDialog::Rejected);
    });
    const QString other = writeProject(QStringLiteral("other.QELVA"));
    // A double-click's first click has made its row current.
    auto* tree = w->m_projectIndex->findChild<QTreeView*>(QStringLiteral("treeView"));
    QVERIFY(tree);
    if (step == QLatin1String("other station")) {
        tree->setCurrentIndex(model->index(2, 0, line100));
        w->m_projectIndex->on_treeView_doubleClicked(model->index(2, 0, line100));
    } else if (step == QLatin1String("line")) {
        tree->setCurrentIndex(model->index(1, 0));
        w->m_projectIndex->on_treeView_doubleClicked(model->index(1, 0));
    } else if (step == QLatin1String("close")) {
        w->m_actionClose->trigger();
    } else if (step == QLatin1String("open")) {
        // The open entries are off while a project is open; the command
        // itself must still not drop the edit.
        m_nextFile = other;
        w->on_actionOpen_triggered();
    } else {
        w->m_actionExit->trigger();
    }
    answerDialogs();
    screenshot(w, QStringLiteral("hw_edit_%1_after_%2").arg(step).arg(answer));

    QCOMPARE(questions, answer != 0 ? QStringList{QStringLiteral("保存曲线|当前测点的曲线已修改，尚未保存。是否保存？")}
                                    : QStringList());
    const QByteArray after = storedResponse(project, 100, 20);
    QCOMPARE(after != before, answer == QMessageBox::Save);
    QVERIFY(m_messages.isEmpty());
    if (answer == QMessageBox::Cancel) {
        // The station and its edit stay as they were, still to be saved.
        QCOMPARE(form->decayChart()->title(), title);
        QVERIFY(form->stationSeries());
        QCOMPARE(form->stationSeries()->at(3).y(), dragged);
        QVERIFY(w->m_actionSave->isEnabled());
        if (step == QLatin1String("other station") || step == QLatin1String("line"))
            QCOMPARE(tree->currentIndex(), model->index(1, 0, line100));
        QVERIFY(w->centralWidget() == form);
        QVERIFY(w->m_database);
        QCOMPARE(w->windowTitle(), QStringLiteral("QELVA28系统(260331) -- ") + project);
        QVERIFY(w->isVisible());
        return;
    }
    // Otherwise the step went ahead.
    if (step == QLatin1String("other station"))
        QCOMPARE(form->decayChart()->title(), QStringLiteral("100线 40点"));
    else if (step == QLatin1String("line"))
        QVERIFY(w->centralWidget() == w->m_form2D);
    else if (step == QLatin1String("close"))
        QVERIFY(!w->m_database);
    else if (step == QLatin1String("open"))
        QCOMPARE(w->windowTitle(), QStringLiteral("QELVA28系统(260331) -- ") + other);
    else
        QVERIFY(!w->isVisible());
}

// A save that another program's lock refused keeps 保存 on, so that the
// edit can be saved once the lock is gone.
void TestMainWindow::refusedSaveCanBeRetried()
{
    MainWindow* w = m_window;
    const QString project = writeProject(QStringLiteral("refused.QELVA"));
    m_nextFile = project;
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    DataModel* model = w->m_dataModel;
    Form_1DGraph* form = w->m_form1D;
    w->m_projectIndex->on_treeView_doubleClicked(model->index(1, 0, model->index(0, 0)));
    QVERIFY(form->stationSeries());
    const QPointF p = form->stationSeries()->at(3);
    form->stationSeries()->replace(3, p.x(), p.y() * 2.0);
    form->onSignalMouseMoveComplete_RefreshUI();
    QVERIFY(w->m_actionSave->isEnabled());
    const QByteArray before = storedResponse(project, 100, 20);
    w->m_database->setBusyTimeout(50);

    const QString reader = QStringLiteral("refused-save-reader");
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), reader);
        other.setDatabaseName(project);
        QVERIFY(other.open());
        QSqlQuery hold(other);
        QVERIFY(hold.exec(QStringLiteral("BEGIN")));
        QVERIFY(hold.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) && hold.next());
        w->m_actionSave->trigger();
        hold.finish();
        QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
    }
    QSqlDatabase::removeDatabase(reader);
    QCOMPARE(storedResponse(project, 100, 20), before);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(form->hasUnsavedEdit());
    QVERIFY(w->m_actionSave->isEnabled() && w->m_qaSave->isEnabled());

    m_messages.clear();
    w->m_actionSave->trigger();
    QVERIFY(storedResponse(project, 100, 20) != before);
    QVERIFY(!form->hasUnsavedEdit());
    QVERIFY(!w->m_actionSave->isEnabled() && !w->m_qaSave->isEnabled());
}

void TestMainWindow::refusedSaveInsideTheQuestion_data()
{
    QTest::addColumn<QString>("later");   // a later commit of the edited station
    QTest::newRow("line unchecked and checked again") << "check";
    QTest::newRow("sampled-data export") << "sampled";
    QTest::newRow("GPS import") << "gps";
}

// 保存 answered while another program reads the file: the save is refused,
// so the station stays shown with its edit. 丢弃 then lets the edit go for
// good: no later commit of the station writes it.
void TestMainWindow::refusedSaveInsideTheQuestion()
{
    QFETCH(QString, later);
    MainWindow* w = m_window;
    const QString project = writeProject(QStringLiteral("discard.QELVA"));
    m_nextFile = project;
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    DataModel* model = w->m_dataModel;
    Form_1DGraph* form = w->m_form1D;
    const QModelIndex line100 = model->index(0, 0);
    w->m_projectIndex->on_treeView_doubleClicked(model->index(1, 0, line100));
    QVERIFY(form->stationSeries());
    const QString title = form->decayChart()->title();
    const QPointF p = form->stationSeries()->at(3);
    form->stationSeries()->replace(3, p.x(), p.y() * 3.0);
    form->onSignalMouseMoveComplete_RefreshUI();
    const QByteArray before = storedResponse(project, 100, 20);
    QVERIFY(!before.isEmpty());

    int answer = QMessageBox::Save;
    int questions = 0;
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (box && box->standardButtons() == (QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)) {
            ++questions;
            return answer;
        }
        return int(QDialog::Rejected);
    });
    auto* tree = w->m_projectIndex->findChild<QTreeView*>(QStringLiteral("treeView"));
    QVERIFY(tree);
    const QModelIndex next = model->index(2, 0, line100);
    w->m_database->setBusyTimeout(50);
    {
        storetest::RawDb reader(project);
        QVERIFY(reader.holdReadLock());
        tree->setCurrentIndex(next);
        w->m_projectIndex->on_treeView_doubleClicked(next);
        reader.release();
    }
    QCOMPARE(questions, 1);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(QStringLiteral("曲线未能写入工程文件")), qPrintable(m_messages.first()));
    QCOMPARE(form->decayChart()->title(), title);
    QVERIFY(form->hasUnsavedEdit());
    QCOMPARE(storedResponse(project, 100, 20), before);

    answer = QMessageBox::Discard;
    w->m_database->setBusyTimeout(LibHORM::kBusyTimeoutMs);
    m_messages.clear();
    w->m_projectIndex->on_treeView_doubleClicked(next);
    QCOMPARE(questions, 2);
    QCOMPARE(form->decayChart()->title(), QStringLiteral("100线 40点"));

    if (later == QLatin1String("check")) {
        QVERIFY(model->setData(line100, Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(model->setData(line100, Qt::Checked, Qt::CheckStateRole));
    } else if (later == QLatin1String("sampled")) {
        model->exportSampledData(0, 1);
    } else {
        emit w->signal_GPSFileImported({GPSCoordinate{100, 0, 1, 2, 3}, GPSCoordinate{100, 1000, 4, 5, 6}});
    }
    answerDialogs();
    QCOMPARE(storedResponse(project, 100, 20), before);
}

// A station view replaced without the question (as the model calculation
// did) leaves no edit to ask for: closing asks nothing and closes.
void TestMainWindow::editOfAStationNoLongerShownIsNotAskedFor()
{
    MainWindow* w = m_window;
    m_nextFile = writeProject(QStringLiteral("replaced.QELVA"));
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    DataModel* model = w->m_dataModel;
    Form_1DGraph* form = w->m_form1D;
    w->m_projectIndex->on_treeView_doubleClicked(model->index(1, 0, model->index(0, 0)));
    QVERIFY(form->stationSeries());
    const QPointF p = form->stationSeries()->at(3);
    form->stationSeries()->replace(3, p.x(), p.y() * 2.0);
    form->onSignalMouseMoveComplete_RefreshUI();
    QVERIFY(form->hasUnsavedEdit());
    model->computeLineSection(0);
    QVERIFY(w->centralWidget() == w->m_form2D);

    int questions = 0;
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        if (qobject_cast<QMessageBox*>(dialog))
            ++questions;
        return int(QMessageBox::Save);
    });
    w->m_actionClose->trigger();
    answerDialogs();
    QCOMPARE(questions, 0);
    QVERIFY(m_messages.isEmpty());
    QVERIFY(!w->m_database);
}

void TestMainWindow::closeClearsViewsAndEnabling()
{
    MainWindow* w = m_window;
    m_nextFile = writeProject(QStringLiteral("shown.QELVA"));
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    DataModel* model = w->m_dataModel;
    // A station, then a line and a three-dimensional run are on screen.
    w->m_projectIndex->on_treeView_doubleClicked(model->index(1, 0, model->index(0, 0)));
    w->m_projectIndex->on_treeView_doubleClicked(model->index(1, 0));
    QVERIFY(w->centralWidget() == w->m_form2D);
    w->m_method[3]->trigger();
    QCOMPARE(w->m_form2D->tabWidget()->count(), 3);
    w->on_signal_FiseSaveButtonEnalbe(true);
    QVERIFY(w->m_form1D->stationSeries());
    QVERIFY(!w->m_form1D->channelPlot()->curves().isEmpty());
    QVERIFY(!w->m_form2D->channelPlot()->curves().isEmpty());
    QVERIFY(w->m_form2D->sectionMap()->isDataReady());
    QVERIFY(w->m_actionExport->isEnabled() && w->m_method[3]->isEnabled() && w->m_actionColorMap->isEnabled());

    w->m_actionClose->trigger();
    screenshot(w, QStringLiteral("hw_closed"));

    // The views are as at start: the empty station view, no line, no tab
    // beyond the two pages.
    QVERIFY(w->centralWidget() == w->m_form1D);
    QVERIFY(!w->m_form1D->stationSeries());
    QVERIFY(!w->m_form1D->modelSeries());
    QVERIFY(w->m_form1D->channelPlot()->curves().isEmpty());
    QVERIFY(!w->m_form1D->sectionPlot()->spectrogram());
    QVERIFY(w->m_form2D->channelPlot()->curves().isEmpty());
    QVERIFY(!w->m_form2D->sectionPlot()->spectrogram());
    QVERIFY(!w->m_form2D->sectionMap()->isDataReady());
    QCOMPARE(w->m_form2D->tabWidget()->count(), 2);
    // Nothing that needs a project is within reach.
    QVERIFY(!w->m_actionSave->isEnabled() && !w->m_qaSave->isEnabled());
    QVERIFY(!w->m_actionExport->isEnabled());
    QVERIFY(!w->m_actionImport->isEnabled() && !w->m_actionImportGps->isEnabled());
    for (QAction* a : w->m_fit)
        QVERIFY(!a->isEnabled() && !a->isChecked());
    QVERIFY(!w->m_method[3]->isEnabled() && !w->m_actionColorMap->isEnabled());
    QVERIFY(w->m_actionOpen->isEnabled() && w->m_qaOpen->isEnabled());
    QVERIFY(m_messages.isEmpty());
}

// A ramp applied in the colour dialog colours every section shown after it,
// line and station views alike, and the dialog opens on the ramp shown.
void TestMainWindow::chosenRampHoldsForEverySection()
{
    MainWindow* w = m_window;
    m_nextFile = writeProject(QStringLiteral("colours.QELVA"));
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    DataModel* model = w->m_dataModel;
    Dialog_ColorMap* dialog = w->m_colorMapDialog;

    // Before any choice the dialog holds the ramp the sections are drawn
    // in, as they draw it (the blank marker left out).
    QMap<float, QColor> drawn;
    {
        const QMap<float, QColor> initial = DataModel::defaultColourRamp();
        const float from = std::next(initial.begin()).key();
        for (auto it = std::next(initial.begin()); it != initial.end(); ++it)
            drawn.insert((it.key() - from) / (1.0f - from), it.value());
    }
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->gradientEditor()->getGradient(), drawn);
    dialog->close();

    w->m_projectIndex->on_treeView_doubleClicked(model->index(0, 0));
    QVERIFY(w->m_form2D->sectionColorMap());
    const QMap<float, QColor> chosen{{0.0f, QColor(0, 0, 255)}, {0.5f, QColor(0, 255, 0)}, {1.0f, QColor(255, 0, 0)}};
    dialog->gradientEditor()->setGradient(chosen);
    QPushButton* ok = dialog->findChild<QPushButton*>(QStringLiteral("pushButton_ok"));
    QVERIFY(ok);
    ok->click();
    const QRgb green = qRgb(0, 255, 0);
    QCOMPARE(w->m_form2D->sectionColorMap()->rgb(1.0, 0.0, 0.5), green);

    // Another line, then a station of the first: still the chosen ramp.
    w->m_projectIndex->on_treeView_doubleClicked(model->index(1, 0));
    QVERIFY(w->centralWidget() == w->m_form2D);
    QVERIFY(w->m_form2D->sectionMap()->isDataReady());
    QCOMPARE(w->m_form2D->sectionColorMap()->rgb(1.0, 0.0, 0.5), green);
    QCOMPARE(w->m_form2D->sectionColorMap()->colorStops(), QVector<double>({0.0, 0.5, 1.0}));
    w->m_form2D->tabWidget()->setCurrentIndex(1);
    screenshot(w, QStringLiteral("hw_chosen_ramp_next_line"));
    w->m_projectIndex->on_treeView_doubleClicked(model->index(1, 0, model->index(0, 0)));
    QVERIFY(w->centralWidget() == w->m_form1D);
    QwtLinearColorMap* stationColours = w->m_form1D->sectionPlot()->colorMap();
    QVERIFY(stationColours);
    QCOMPARE(stationColours->rgb(QwtInterval(0.0, 1.0), 0.5), green);
    screenshot(w, QStringLiteral("hw_chosen_ramp_station"));

    // Reopened after an edit left without 确定: the ramp in force.
    dialog->gradientEditor()->setGradient({{0.0f, Qt::black}, {1.0f, Qt::white}});
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->gradientEditor()->getGradient(), chosen);
    screenshot(dialog, QStringLiteral("hw_chosen_ramp_dialog"));
    dialog->close();
}

void TestMainWindow::eachProjectHasItsOwnBackup()
{
    MainWindow* w = m_window;
    const QString first = writeProject(QStringLiteral("survey.v1.QELVA"));
    const QString second = writeProject(QStringLiteral("survey.v2.QELVA"));
    {
        storetest::RawDb raw(second);
        QVERIFY(raw.exec("UPDATE Data_Line SET NOTE = 'second version'"));
    }
    for (const QString& project : {first, second}) {
        const QStringList held = storetest::RawDb(project).contents();
        m_nextFile = project;
        w->m_actionOpen->trigger();
        QVERIFY(w->m_database);
        w->m_actionClose->trigger();
        const QFileInfo info(project);
        QCOMPARE(storetest::RawDb(m_dir->filePath(info.completeBaseName() + "_raw.QELVA")).contents(), held);
    }
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("survey_raw.QELVA"))));
    QVERIFY(m_messages.isEmpty());
}

void TestMainWindow::cancelledAndFailedOpen()
{
    MainWindow* w = m_window;
    m_nextFile.clear();
    w->m_actionOpen->trigger();
    QCOMPARE(w->m_openCount, 0);
    QVERIFY(!w->m_database);
    QVERIFY(!QFile::exists(QStringLiteral("history.ini")));

    // A file that is not there is not opened, nor made.
    m_nextFile = QStringLiteral("/proc/version.MORSA");
    w->m_actionOpen->trigger();
    QCOMPARE(w->m_openCount, 1);
    QVERIFY(!w->m_database);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!QFile::exists(m_nextFile));
    QVERIFY(w->m_actionOpen->isEnabled());
    QVERIFY(!w->m_actionClose->isEnabled());
    QCOMPARE(w->windowTitle(), QStringLiteral("QELVA28数据处理软件(260331)--") + MainWindow::organisationCaption());
    // A file that is not opened presets nothing.
    QCOMPARE(w->m_invParam.timeWindowStart, 79.0);
    QCOMPARE(w->m_invParam.instrumentKind, 3);
    m_nextFile = writeProject(QStringLiteral("next.QELVA"));

    // A project whose backup cannot be written is not opened.
    const QString backup = m_dir->filePath(QStringLiteral("next_raw.QELVA"));
    {
        hwtest::FileSizeLimit limit(QFileInfo(m_nextFile).size() / 2);
        w->m_actionOpen->trigger();
    }
    QVERIFY(!w->m_database);
    QCOMPARE(m_messages.size(), 2);
    QCOMPARE(m_messages.last(), QStringLiteral("无法创建备份文件 %1，工程未打开。").arg(QDir::toNativeSeparators(backup)));
    QVERIFY(!QFile::exists(backup));
    QVERIFY(w->m_actionOpen->isEnabled());

    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    QVERIFY(QFile::exists(backup));
    QCOMPARE(w->m_invParam.timeWindowStart, 150.0);
}

void TestMainWindow::refusedFileLeavesNothingBeside_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty file") << "empty";
    QTest::newRow("text file") << "text";
    QTest::newRow("PNG picture") << "png";
    QTest::newRow("no file") << "missing";
}

// A file that is no project is refused with a message naming it, and
// nothing appears beside it: no backup, no journal, no new database.
void TestMainWindow::refusedFileLeavesNothingBeside()
{
    QFETCH(QString, kind);
    MainWindow* w = m_window;
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("in")));
    const QString folder = m_dir->filePath(QStringLiteral("in"));
    const QString file = folder + QStringLiteral("/survey.QELVA");
    QByteArray content;
    if (kind == "text") {
        content = "line,station,x,y,z\n100,0,1,2,3\n";
    } else if (kind == "png") {
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QBuffer buffer(&content);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG"));
    }
    if (kind != "missing")
        QVERIFY(storetest::writeBytes(file, content));
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);

    m_nextFile = file;
    w->m_actionOpen->trigger();
    QVERIFY(!w->m_database);
    QCOMPARE(m_messages, QStringList{QStringLiteral("无法打开工程文件 %1。").arg(QDir::toNativeSeparators(file))});
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot), before);
    if (kind != "missing")
        QCOMPARE(storetest::fileBytes(file), content);
    QVERIFY(w->m_actionOpen->isEnabled());
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("history.ini"))));
}

// A project that another program is writing is not opened, and the user is
// told it is in use; no backup is taken of it.
void TestMainWindow::projectInUseIsNotOpened_data()
{
    QTest::addColumn<bool>("readable");   // the other program lets others read meanwhile
    QTest::addColumn<bool>("hadBackup");  // an earlier open took the backup
    QTest::newRow("writer holding the file exclusively") << false << false;
    QTest::newRow("writer with an uncommitted change, reads allowed") << true << false;
    QTest::newRow("backup of an earlier open stays") << true << true;
}

// A refused open leaves no backup behind: the backup is taken at the first
// open that goes ahead, with what the other program committed by then.
void TestMainWindow::projectInUseIsNotOpened()
{
    QFETCH(bool, readable);
    QFETCH(bool, hadBackup);
    MainWindow* w = m_window;
    const QString project = writeProject(QStringLiteral("survey.QELVA"));
    const QString backup = m_dir->filePath(QStringLiteral("survey_raw.QELVA"));
    if (hadBackup)
        QVERIFY(QFile::copy(project, backup));
    const QString renamed = QStringLiteral("SELECT COUNT(*) FROM Data_Line WHERE NAME = 999");
    m_nextFile = project;
    {
        storetest::RawDb other(project);
        if (readable) {
            QVERIFY(other.exec(QStringLiteral("BEGIN IMMEDIATE")));
            QVERIFY(other.exec(QStringLiteral("UPDATE Data_Line SET NAME = 999 "
                                              "WHERE NAME = (SELECT MIN(NAME) FROM Data_Line)")));
        } else {
            QVERIFY(other.holdWriteLock());
        }
        w->m_actionOpen->trigger();
        if (readable)
            QVERIFY(other.exec(QStringLiteral("COMMIT")));
        else
            other.release();
    }
    QVERIFY(!w->m_database);
    QCOMPARE(m_messages, QStringList{DataModel::fileInUseText(project)});
    QCOMPARE(QFile::exists(backup), hadBackup);
    QVERIFY(w->m_actionOpen->isEnabled());

    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    QCOMPARE(w->m_dataModel->rowCount(QModelIndex()), 2);
    QVERIFY(QFile::exists(backup));
    storetest::RawDb copy(backup);
    QCOMPARE(copy.scalar(renamed).toInt(), readable && !hadBackup ? 1 : 0);
}

void TestMainWindow::damagedProjectOpensReadOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hadBackup");
    QTest::addColumn<QString>("sibling");   // another project beside it
    QTest::addColumn<bool>("cutOff");       // a write cut off, rolled back at open
    QTest::addColumn<bool>("advice");       // told to restore from the backup
    QTest::newRow("backup of an earlier open") << "survey.QELVA" << true << "" << false << true;
    QTest::newRow("no backup yet") << "survey.QELVA" << false << "" << false << false;
    // Backups were once named up to the first dot: survey_raw may be survey.v1's.
    QTest::newRow("backup whose name another project shared")
        << "survey.QELVA" << true << "survey.v1.QELVA" << false << false;
    QTest::newRow("project with dots and a backup of its own")
        << "survey.v2.QELVA" << true << "survey.v1.QELVA" << false << true;
    QTest::newRow("write cut off and rolled back at open") << "survey.QELVA" << false << "" << true << false;
}

// A project file that SQLite reports as damaged is opened read-only, the
// user is told so and what the backup beside it is, and no command writes
// to it.
void TestMainWindow::damagedProjectOpensReadOnly()
{
    QFETCH(QString, name);
    QFETCH(bool, hadBackup);
    QFETCH(QString, sibling);
    QFETCH(bool, cutOff);
    QFETCH(bool, advice);
    MainWindow* w = m_window;
    const QString project = m_dir->filePath(name);
    const QString backup = m_dir->filePath(QFileInfo(name).completeBaseName() + "_raw.QELVA");
    if (!sibling.isEmpty()) {
        writeProject(sibling);
        // What the earlier naming made of the sibling.
        QVERIFY(QFile::copy(m_dir->filePath(sibling), m_dir->filePath(QStringLiteral("survey_raw.QELVA"))));
    }
    QByteArray damaged;
    if (cutOff) {
        // Damage that survives the rollback: an index that disagrees with
        // its table.
        const QString source = writeProject(QStringLiteral("source.QELVA"));
        QVERIFY(storetest::indexOtherColumn(source, "IDX_Data_Point_Data_LineID_", "Data_LineID", "NAME"));
        QVERIFY(storetest::cutOffWrite(source, project));
        damaged = storetest::fileBytes(source);
    } else {
        writeProject(name);
        if (hadBackup && !QFile::exists(backup))
            QVERIFY(QFile::copy(project, backup));
        // The header's page count says two pages fewer than the file has.
        QVERIFY(storetest::shortenPageCount(project, 2));
        damaged = storetest::fileBytes(project);
    }

    m_nextFile = project;
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    QVERIFY(w->m_database->isDamaged());
    QCOMPARE(w->m_database->rolledBackAtOpen(), cutOff);
    QCOMPARE(m_messages.size(), 1);
    const QString text = m_messages.first();
    QVERIFY2(text.contains(QStringLiteral("已损坏")) && text.contains(QStringLiteral("只读"))
                 && text.contains(QDir::toNativeSeparators(project)) && text.contains(QDir::toNativeSeparators(backup)),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("请用备份文件")) == advice, qPrintable(text));
    if (!sibling.isEmpty() && !advice)
        QVERIFY2(text.contains(sibling), qPrintable(text));
    // The open itself wrote the file.
    QVERIFY2(text.contains(QStringLiteral("撤销")) == cutOff, qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("任何修改都不会写入")) == !cutOff, qPrintable(text));

    // The commands that write: GPS import, a rename, a check box.
    emit w->signal_GPSFileImported({GPSCoordinate{100, 0, 1, 2, 3}, GPSCoordinate{100, 1000, 4, 5, 6}});
    QCOMPARE(m_messages.size(), 2);
    DataModel* model = w->m_dataModel;
    const QModelIndex firstLine = model->index(0, 0);
    model->setData(firstLine, QVariant("7"), Qt::EditRole);
    model->setData(firstLine, Qt::Unchecked, Qt::CheckStateRole);
    w->m_qaClose->trigger();
    QVERIFY(!w->m_database);

    QCOMPARE(storetest::fileBytes(project), damaged);
    if (!hadBackup)
        QCOMPARE(storetest::fileBytes(backup), damaged);
}

void TestMainWindow::projectWithBrokenTablesOpensReadOnly_data()
{
    QTest::addColumn<QStringList>("damage");
    QTest::newRow("line table missing") << QStringList{"DROP TABLE Data_Line"};
    QTest::newRow("station table missing") << QStringList{"DROP TABLE Data_Point"};
    QTest::newRow("negative line keys")
        << QStringList{"UPDATE Data_Line SET ID = -ID", "UPDATE Data_Point SET Data_LineID = -Data_LineID"};
    QTest::newRow("station key column renamed") << QStringList{"ALTER TABLE Data_Point RENAME COLUMN ID TO PointKey"};
    // Copied without the primary key: one UPDATE would write both rows.
    const auto copied = [](const QString& table) {
        return QStringList{QStringLiteral("ALTER TABLE %1 RENAME TO old").arg(table),
                           QStringLiteral("CREATE TABLE %1 AS SELECT * FROM old").arg(table), QStringLiteral("DROP TABLE old")};
    };
    QTest::newRow("station keys repeat") << copied("Data_Point") + QStringList{"UPDATE Data_Point SET ID = 1 WHERE ID = 2"};
    QTest::newRow("line keys unique, no primary key") << copied("Data_Line");
    // A station renamed to the number of another would delete that one.
    QTest::newRow("stations replaced on conflict")
        << QStringList{QStringLiteral("ALTER TABLE Data_Point RENAME TO old"),
                       LibHORM::createTableStatements(Data_Point::staticMetaObject)
                           .first()
                           .replace(");", ", UNIQUE (Data_LineID, NAME) ON CONFLICT REPLACE);"),
                       QStringLiteral("INSERT INTO Data_Point SELECT * FROM old"), QStringLiteral("DROP TABLE old")};
}

// A project file that passes SQLite's check but lost a table or its keys is
// damaged: it opens read-only with the damaged-file message, and nothing is
// made in it (a table made afresh would give B's rows or new rows the keys
// that the orphaned rows still point to).
void TestMainWindow::projectWithBrokenTablesOpensReadOnly()
{
    QFETCH(QStringList, damage);
    MainWindow* w = m_window;
    const QString project = writeProject(QStringLiteral("survey.QELVA"));
    {
        storetest::RawDb raw(project);
        for (const QString& sql : damage)
            QVERIFY(raw.exec(sql));
        QCOMPARE(raw.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    }
    const QByteArray before = storetest::fileBytes(project);

    m_nextFile = project;
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    QVERIFY(w->m_database->isDamaged());
    QCOMPARE(m_messages.size(), 1);
    const QString text = m_messages.first();
    QVERIFY2(text.contains(QStringLiteral("已损坏")) && text.contains(QStringLiteral("只读"))
                 && text.contains(QDir::toNativeSeparators(project)),
             qPrintable(text));
    const QModelIndex firstLine = w->m_dataModel->index(0, 0);
    if (firstLine.isValid())
        w->m_dataModel->setData(firstLine, Qt::Unchecked, Qt::CheckStateRole);
    w->m_qaClose->trigger();
    QCOMPARE(storetest::fileBytes(project), before);
}

// The program makes no trigger. Its writes would run one that another
// program added, and it may delete or rewrite rows that they never named:
// the project opens read-only, the user is told why, and no command writes.
void TestMainWindow::projectWithTriggersOpensReadOnly()
{
    MainWindow* w = m_window;
    const QString project = writeProject(QStringLiteral("survey.QELVA"));
    QVERIFY(storetest::RawDb(project).exec(
        "CREATE TRIGGER gone AFTER UPDATE ON Data_Point BEGIN DELETE FROM Data_Point WHERE ID = NEW.ID; END"));
    const QByteArray before = storetest::fileBytes(project);

    m_nextFile = project;
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    QVERIFY(!w->m_database->isDamaged());
    QCOMPARE(m_messages,
             QStringList{QStringLiteral("工程文件 %1 的数据表带有触发器 gone（不是本程序创建的），写入时触发器可能改动或删除"
                                        "其中的数据，已以只读方式打开，任何修改都不会写入该文件。")
                             .arg(QDir::toNativeSeparators(project))});
    DataModel* model = w->m_dataModel;
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->rowCount(model->index(0, 0)), 4);
    const QModelIndex firstLine = model->index(0, 0);
    model->setData(firstLine, QVariant("7"), Qt::EditRole);
    model->setData(firstLine, Qt::Unchecked, Qt::CheckStateRole);
    w->m_qaClose->trigger();
    QCOMPARE(storetest::fileBytes(project), before);
    storetest::RawDb raw(project);
    QCOMPARE(raw.scalar("SELECT COUNT(*) FROM Data_Point").toInt(), 8);
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

void TestMainWindow::exportChoosesExporter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("notice");

    QTest::newRow("one-dimensional") << "r.1d.dat" << "保存一维反演数据成功";
    QTest::newRow("two-dimensional") << "r.2d.dat" << "保存二维反演数据成功";
    QTest::newRow("layered") << "r.layer.dat" << "保存分层反演数据成功";
    QTest::newRow("section data") << "r.raw.dat" << "剖面数据保存成功";
    // The first kind named in the suffix wins, in the order 1d, 2d, layer, raw.
    QTest::newRow("raw and 1d in the name") << "r.raw.dat.1d.dat" << "保存一维反演数据成功";
    QTest::newRow("layer and 2d in the name") << "r.layer.dat.2d.dat" << "保存二维反演数据成功";
    QTest::newRow("unknown kind") << "r.txt" << QString();
}

void TestMainWindow::exportChoosesExporter()
{
    QFETCH(QString, name);
    QFETCH(QString, notice);

    MainWindow* w = m_window;
    m_nextFile = writeProject(QStringLiteral("export.QELVA"));
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    // A shown line gives the exporters something to write.
    w->m_dataModel->showTreeNode(0, -1, -1);
    m_messages.clear();

    w->on_signal_FileExportButtonEnable(true);
    m_nextFile = m_dir->filePath(name);
    w->m_actionExport->trigger();

    QCOMPARE(m_fileCaptions.last(), QStringLiteral("导出数据"));
    QVERIFY(!w->m_actionExport->isEnabled());
    if (notice.isEmpty()) {
        QVERIFY(m_messages.isEmpty());
        QVERIFY(!QFile::exists(m_nextFile));
    } else {
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().startsWith(notice), qPrintable(m_messages.first()));
        QVERIFY(QFile::exists(m_nextFile));
    }
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

void TestMainWindow::viewSwitchKeepsTheWindowSize()
{
    MainWindow* w = m_window;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::qWait(20);
    const QSize first = w->size();
    for (int round = 0; round < 3; ++round) {
        emit w->m_dataModel->signal_CentralWidgetChanged(false);
        QTRY_VERIFY(w->m_form2D->isVisible());
        QTest::qWait(20);
        QCOMPARE(w->size(), first);
        emit w->m_dataModel->signal_CentralWidgetChanged(true);
        QTest::qWait(20);
        QCOMPARE(w->size(), first);
    }
}

void TestMainWindow::windowFitsSmallDesktops_data()
{
    QTest::addColumn<QSize>("available");
    QTest::addColumn<bool>("twoD");
    // The work area of a 1366 x 768 desktop with its task bar, and a whole
    // 1066 x 666 screen.
    QTest::newRow("1366x768 desktop, station view") << QSize(1366, 728) << false;
    QTest::newRow("1366x768 desktop, line view") << QSize(1366, 728) << true;
    QTest::newRow("1066x666 screen, station view") << QSize(1066, 666) << false;
    QTest::newRow("1066x666 screen, line view") << QSize(1066, 666) << true;
}

void TestMainWindow::windowFitsSmallDesktops()
{
    // The window opens at two thirds of the work area each way: nothing in
    // it may hold it larger, and the status bar and the whole central view
    // must lie inside it.
    QFETCH(QSize, available);
    QFETCH(bool, twoD);
    MainWindow* w = m_window;
    const QSize size(available.width() * 2 / 3, available.height() * 2 / 3);
    m_nextFile = writeProject(QStringLiteral("fit.QELVA"));
    w->m_actionOpen->trigger();
    QVERIFY(w->m_database);
    const QModelIndex line = w->m_dataModel->index(0, 0);
    w->m_projectIndex->on_treeView_doubleClicked(twoD ? line : w->m_dataModel->index(1, 0, line));
    QVERIFY(w->centralWidget() == (twoD ? static_cast<QWidget*>(w->m_form2D) : w->m_form1D));
    w->resize(size);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::qWait(20);
    QCOMPARE(w->size(), size);
    QVERIFY(w->minimumSizeHint().height() <= size.height());
    QVERIFY(w->minimumSizeHint().width() <= size.width());
    const QRect bar = w->statusBar()->geometry();
    QVERIFY2(w->rect().contains(bar), qPrintable(QStringLiteral("status bar at y %1, window %2 high")
                                                     .arg(bar.top()).arg(w->height())));
    QCOMPARE(bar.height(), w->statusBar()->sizeHint().height());
    QWidget* central = w->centralWidget();
    QVERIFY(central->isVisible());
    QVERIFY(w->rect().contains(QRect(central->mapTo(w, QPoint(0, 0)), central->size())));
    QVERIFY(central->height() > 100);
    if (!twoD) {
        // The decay chart, the one the user edits, keeps a usable share
        // beside the model chart and the line's plots.
        const int decay = w->m_form1D->decayView()->width();
        QVERIFY2(decay >= central->width() / 3,
                 qPrintable(QStringLiteral("decay chart %1 px of %2").arg(decay).arg(central->width())));
        // Its title and labels read whole.
        QtCharts::QChart* chart = w->m_form1D->decayChart();
        QStringList labels;
        for (QGraphicsItem* item : chart->scene()->items()) {
            if (auto* text = dynamic_cast<QGraphicsTextItem*>(item)) {
                if (text->isVisible() && chart->isAncestorOf(text) && !text->toPlainText().isEmpty())
                    labels << text->toPlainText();
            }
        }
        QVERIFY(labels.size() >= 5);
        for (const QString& label : labels)
            QVERIFY2(!label.contains(QStringLiteral("...")) && !label.contains(QChar(0x2026))
                         && !label.contains(QChar(0x22ee)),
                     qPrintable(QStringLiteral("decay chart %1 x %2: ").arg(decay).arg(chart->size().height())
                                + labels.join(QStringLiteral(" | "))));
    }
    if (twoD) {
        // The channel curves above the section keep a strip of their own
        // (their title and axes alone take some 70 px).
        w->m_form2D->tabWidget()->setCurrentIndex(0);
        QTest::qWait(20);
        const int channel = w->m_form2D->channelPlot()->canvas()->height();
        QVERIFY2(channel >= 25, qPrintable(QStringLiteral("channel curves %1 px high").arg(channel)));
    }
    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(w->grab().save(QDir(dir).filePath(QStringLiteral("hw_main_%1x%2_%3.png")
                                                      .arg(available.width())
                                                      .arg(available.height())
                                                      .arg(twoD ? "line" : "station"))));
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
    // The one member-pointer connection.
    QVERIFY(QObject::disconnect(w->m_projectIndex, &Form_ProjectIndex::signal_SavePic, w,
                                &MainWindow::on_signalSavePic));
}

void TestMainWindow::wiringTable_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QString>("receiver");
    QTest::addColumn<QByteArray>("slot");

    const auto row = [](const char* tag, const char* sender, const char* signal, const char* receiver,
                        const char* slot) {
        QTest::newRow(tag) << QString::fromLatin1(sender) << QByteArray(signal) << QString::fromLatin1(receiver)
                           << QByteArray(slot);
    };
    row("1", "window", SIGNAL(signal_curInvsionParamChanged(InvParam)), "model",
        SLOT(on_signal_curInvsionParamChanged(InvParam)));
    row("2", "window", SIGNAL(signal_SampleModeChanged(TEMSampleMODES)), "model",
        SLOT(on_signal_SampleModeChanged(TEMSampleMODES)));
    row("3", "window", SIGNAL(signal_ShowLineChanged(QSHOWLINE)), "model", SLOT(on_signalShowLineChanged(QSHOWLINE)));
    row("4", "window", SIGNAL(signal_TransRelaxInversionMethodChanged(int)), "model",
        SLOT(on_signal_TransRelaxInversionMethodChanged(int)));
    row("5", "window", SIGNAL(signal_UseableCheckBoxStateChanged(bool)), "model",
        SLOT(on_signal_UseableCheckBoxStateChanged(bool)));
    row("6", "model", SIGNAL(signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)),
        "form1D", SLOT(on_signalStationChanged(QString,QVector<double>,QVector<double>,double,double,double)));
    row("7", "window", SIGNAL(signal_EditCheckBoxStateChanged(bool,bool)), "model",
        SLOT(on_signalEditCheckBoxStateChanged(bool,bool)));
    row("8", "model", SIGNAL(signal_EditStateChanged(bool,bool)), "form1D",
        SLOT(on_signalEditCheckBoxStateChanged(bool,bool)));
    row("9", "model", SIGNAL(signal_DataModelShowLineChanged(QVector<double>,QVector<double>)), "form1D",
        SLOT(on_signalShowLineChanged(QVector<double>,QVector<double>)));
    row("10", "model",
        SIGNAL(signal_LineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>,double)),
        "form1D", SLOT(on_signalLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>,double)));
    row("11", "model",
        SIGNAL(signal_ISOGraphChanged(InvParam,QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,bool)),
        "form1D",
        SLOT(on_signalISOGraphChanged(InvParam,QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,bool)));
    row("12", "model", SIGNAL(signal_GridSettingsChanged(GridPattern,double)), "form1D",
        SLOT(on_signalCurrentGridSettingsChanged(GridPattern,double)));
    row("13", "window", SIGNAL(signal_FileSaved()), "form1D", SLOT(on_signalFileSaved()));
    row("14", "form1D", SIGNAL(signal_FileSavedtoDB(QVector<double>,QVector<double>)), "model",
        SLOT(on_signal_FileSavedToDB(QVector<double>,QVector<double>)));
    row("15", "window", SIGNAL(signal_FittingMethodChanged(int)), "form1D", SLOT(on_signalFittingMethodChanged(int)));
    row("16", "model", SIGNAL(signal_CentralWidgetChanged(bool)), "window", SLOT(on_signal_CentralWidgetChanged(bool)));
    row("17", "model",
        SIGNAL(signal_2DLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>)), "form2D",
        SLOT(on_signal2DLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>)));
    row("18", "model",
        SIGNAL(signal_2DISOGraphChanged(QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,int,bool)),
        "form2D",
        SLOT(on_signal2DISOGraphChanged(QList<DataType_ResultData>&,QVector<TopoData>,double,QMap<float,QColor>,int,bool)));
    row("19", "model",
        SIGNAL(signal_2DPointData(QList<DataType_ResultData>&,QVector<TopoData>,QMap<float,QColor>,double)), "form2D",
        SLOT(setData(QList<DataType_ResultData>&,QVector<TopoData>,QMap<float,QColor>,double)));
    row("20", "model", SIGNAL(signal_Mesh(QVector<double>,InvParam)), "form2D", SLOT(on_signalMesh(QVector<double>,InvParam)));
    row("21", "model", SIGNAL(signal_Modelerinput(LayerModeler,QList<DataType_ResultData>)), "form2D",
        SLOT(on_signal2DModelerInput(LayerModeler,QList<DataType_ResultData>)));
    row("22", "window", SIGNAL(signal_GPSFileImported(QList<GPSCoordinate>)), "model",
        SLOT(on_signal_GPSFileImported(QList<GPSCoordinate>)));
    row("23", "model", SIGNAL(signal_FittingMethodActionReset()), "window", SLOT(on_signal_FittingMethodActionReset()));
    row("24", "form1D", SIGNAL(signal_FiseSaveButtonEnalbe(bool)), "window", SLOT(on_signal_FiseSaveButtonEnalbe(bool)));
    row("25", "model", SIGNAL(signal_FiseSaveButtonEnalbe(bool)), "window", SLOT(on_signal_FiseSaveButtonEnalbe(bool)));
    row("26", "model", SIGNAL(signal_FileExportButtonEnable(bool)), "window",
        SLOT(on_signal_FileExportButtonEnable(bool)));
    row("27", "model", SIGNAL(signal_MenuEnable(int)), "window", SLOT(onSignal_MenuEnable(int)));
    row("28", "model", SIGNAL(signal_StaticResistivity(float,float)), "colorMap", SLOT(onStaticResistivity(float,float)));
    row("29", "colorMap", SIGNAL(signal_ColorMapChanged(QMap<float,QColor>)), "form2D",
        SLOT(on_signalColorMapChanged(QMap<float,QColor>)));
    row("30", "axis", SIGNAL(signalChartAxisScaleChanged(double,double,double,double)), "form1D",
        SLOT(on_signalChartAxisScaleChanged(double,double,double,double)));
    row("31", "model", SIGNAL(signal_ContourMethod(int)), "form1D", SLOT(on_signalContourMethod1D(int)));
    row("32", "model", SIGNAL(signal_ContourMethod(int)), "form2D", SLOT(on_signalContourMethod2D(int)));
    row("33", "model", SIGNAL(signal_LineCurrentsChanged(QVector<double>)), "form1D",
        SLOT(on_signalLineCurrentsChanged(QVector<double>)));
    row("chosen ramp to the station view", "colorMap", SIGNAL(signal_ColorMapChanged(QMap<float,QColor>)),
        "form1D", SLOT(on_signalColorMapChanged(QMap<float,QColor>)));
    row("chosen ramp to the controller", "colorMap", SIGNAL(signal_ColorMapChanged(QMap<float,QColor>)),
        "model", SLOT(setSectionRamp(QMap<float,QColor>)));
    // Made beside the table: the dock, the time dialog and the backstage.
    row("tree reload", "model", SIGNAL(modelChange()), "index", SLOT(modelChanged()));
    row("time window", "time", SIGNAL(signal_TimeSettingChanged(double,double)), "window",
        SLOT(onSignalTimeSettingChanged(double,double)));
    row("backstage shown", "backstage", SIGNAL(aboutToShow()), "window", SLOT(showBackstage()));
    row("backstage hidden", "backstage", SIGNAL(aboutToHide()), "window", SLOT(hideBackstage()));
}

void TestMainWindow::wiringTable()
{
    QFETCH(QString, sender);
    QFETCH(QByteArray, signal);
    QFETCH(QString, receiver);
    QFETCH(QByteArray, slot);

    MainWindow* w = m_window;
    const QMap<QString, QObject*> objects = {
        {"window", w},           {"model", w->m_dataModel},          {"form1D", w->m_form1D},
        {"form2D", w->m_form2D}, {"colorMap", w->m_colorMapDialog}, {"axis", w->m_axisDialog},
        {"time", w->m_timeDialog}, {"index", w->m_projectIndex},    {"backstage", w->m_backstage}};
    QObject* from = objects.value(sender);
    QObject* to = objects.value(receiver);
    QVERIFY(from && to);
    // Disconnecting succeeds exactly when this very pair was connected.
    QVERIFY(QObject::disconnect(from, signal.constData(), to, slot.constData()));
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

void TestMainWindow::inversionAxisReachesForm()
{
    MainWindow* w = m_window;
    const auto setField = [&](const char* name, const char* text) {
        auto* edit = w->m_invAxisDialog->findChild<QLineEdit*>(QLatin1String(name));
        QVERIFY(edit);
        edit->setText(QLatin1String(text));
    };
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        m_dialogsRun << QString::fromLatin1(dialog->metaObject()->className());
        dialog->findChild<QCheckBox*>(QStringLiteral("checkBox"))->setChecked(false);
        setField("yminLineEdit", "-250");
        setField("xMaxlineEdit", "900");
        setField("xMinlineEdit", "20");
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("pushButton_OK"));
        if (ok)
            ok->click();
        return dialog->result();
    });
    w->m_actionAxis2->trigger();
    answerDialogs();

    QCOMPARE(m_dialogsRun, QStringList({"Dialog_InvAxis"}));
    // Depth from the dialog's lower end to the surface, resistivity between
    // its two limits: the three values arrive in their own places.
    QCOMPARE(w->m_form1D->depthAxis()->min(), -250.0);
    QCOMPARE(w->m_form1D->depthAxis()->max(), 0.0);
    QCOMPARE(w->m_form1D->resistivityAxis()->min(), 20.0);
    QCOMPARE(w->m_form1D->resistivityAxis()->max(), 900.0);
}

// ρ/d设置 opens on what the model chart uses; a range that is no number
// is refused and the chart keeps the ranges it has.
void TestMainWindow::inversionAxisOpensOnTheRangesInForce()
{
    MainWindow* w = m_window;
    const QList<QVariant> shown = openAndShowStation(writeProject(QStringLiteral("axis.QELVA")));
    QCOMPARE(shown.size(), 6);
    Form_1DGraph* form = w->m_form1D;
    QCOMPARE(form->depthAxis()->min(), -100.0);
    const double rhoMin = form->resistivityAxis()->min();
    const double rhoMax = form->resistivityAxis()->max();

    struct Seen {
        bool ticked;
        QString yMin, xMax, xMin;
    };
    QList<Seen> seen;
    std::function<void(QDialog*)> act;
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        const auto field = [dialog](const char* name) {
            return dialog->findChild<QLineEdit*>(QLatin1String(name));
        };
        seen << Seen{dialog->findChild<QCheckBox*>(QStringLiteral("checkBox"))->isChecked(),
                     field("yminLineEdit")->text(), field("xMaxlineEdit")->text(), field("xMinlineEdit")->text()};
        screenshot(dialog, QStringLiteral("inversion-axis-%1").arg(seen.size()));
        dialog->setResult(QDialog::Rejected);
        if (act)
            act(dialog);
        return dialog->result();
    });
    const auto click = [](QDialog* dialog, const char* name) {
        dialog->findChild<QPushButton*>(QLatin1String(name))->click();
    };
    const auto type = [](QDialog* dialog, const char* name, const char* text) {
        dialog->findChild<QLineEdit*>(QLatin1String(name))->setText(QString::fromUtf8(text));
    };

    // The chart takes its ranges from the model: the box is ticked and the
    // fields hold what the chart shows.
    w->m_actionAxis2->trigger();
    QCOMPARE(seen.size(), 1);
    QVERIFY(seen[0].ticked);
    QCOMPARE(seen[0].yMin.toDouble(), -100.0);
    QCOMPARE(seen[0].xMin, QString::number(rhoMin, 'g', 6));
    QCOMPARE(seen[0].xMax, QString::number(rhoMax, 'g', 6));

    // Letters in a field, and OK on empty fields: refused, named, nothing
    // reaches the chart, the field shows its value again.
    act = [&](QDialog* dialog) {
        dialog->findChild<QCheckBox*>(QStringLiteral("checkBox"))->setChecked(false);
        type(dialog, "yminLineEdit", "abc");
        click(dialog, "pushButton_OK");
        QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("yminLineEdit"))->text().toDouble(), -100.0);
        type(dialog, "yminLineEdit", "");
        type(dialog, "xMaxlineEdit", "");
        type(dialog, "xMinlineEdit", "");
        click(dialog, "pushButton_OK");
        type(dialog, "yminLineEdit", "-50");
        type(dialog, "xMaxlineEdit", "10");
        type(dialog, "xMinlineEdit", "90");
        click(dialog, "pushButton_OK");
        if (dialog->result() != QDialog::Accepted)
            click(dialog, "pushButton_cancel");
    };
    w->m_actionAxis2->trigger();
    QCOMPARE(m_messages.size(), 3);
    QVERIFY2(m_messages[0].contains(QLatin1String("YMin")) && m_messages[0].contains(QLatin1String("abc")),
             qPrintable(m_messages[0]));
    QVERIFY2(m_messages[1].contains(QLatin1String("YMin")), qPrintable(m_messages[1]));
    QVERIFY2(m_messages[2].contains(QLatin1String("xMin")) && m_messages[2].contains(QLatin1String("xMax")),
             qPrintable(m_messages[2]));
    QVERIFY(form->axis2UsesDefaults());
    QCOMPARE(form->depthAxis()->min(), -100.0);

    // Ranges that are taken are shown at the next run; the depth of the next
    // station is the one set.
    act = [&](QDialog* dialog) {
        dialog->findChild<QCheckBox*>(QStringLiteral("checkBox"))->setChecked(false);
        type(dialog, "yminLineEdit", "-250");
        type(dialog, "xMaxlineEdit", "900");
        type(dialog, "xMinlineEdit", "20");
        click(dialog, "pushButton_OK");
    };
    w->m_actionAxis2->trigger();
    QCOMPARE(form->depthAxis()->min(), -250.0);
    act = nullptr;
    w->m_actionAxis2->trigger();
    QCOMPARE(seen.size(), 4);
    QVERIFY(!seen[3].ticked);
    QCOMPARE(seen[3].yMin, QStringLiteral("-250"));
    QCOMPARE(seen[3].xMax, QStringLiteral("900"));
    QCOMPARE(seen[3].xMin, QStringLiteral("20"));
    answerDialogs();
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

void TestMainWindow::styleMarkFollowsTheTheme()
{
    auto* style = qobject_cast<Qtitan::RibbonStyle*>(QApplication::style());
    const auto marked = [this] {
        QStringList names;
        for (QAction* a : m_window->m_styleActions->actions())
            if (a->isChecked())
                names << a->objectName();
        return names;
    };
    // Built while another theme was in use, the window marks the one it
    // applies.
    delete m_window;
    style->setTheme(0);
    m_window = new MainWindow(nullptr);
    QCOMPARE(style->getTheme(), 3);
    QCOMPARE(marked(), QStringList{QStringLiteral("Office2007Aqua")});
    // A theme set by other means moves the mark as well.
    style->setTheme(7);
    QCOMPARE(marked(), QStringList{QStringLiteral("Office2010Black")});
    style->setTheme(3);
    QCOMPARE(marked(), QStringList{QStringLiteral("Office2007Aqua")});
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
    QString text;
    QPointer<QDialog> box;
    UserPrompt::setDialogAnswerer([&](QDialog* dialog) {
        title = dialog->windowTitle();
        if (auto* message = qobject_cast<QMessageBox*>(dialog))
            text = message->text();
        box = dialog;
        return 0;
    });
    w->about();
    QCOMPARE(title, QStringLiteral("About Qtitan Ribbon Controls Sample"));
    // The version is the program's, not a placeholder's name.
    QVERIFY2(text.contains(QStringLiteral("version %1.").arg(QStringLiteral(HW_PROGRAM_VERSION))), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("QTN_")), qPrintable(text));
    Qtitan::AboutDialog::showAboutBox(w, QString(), QStringLiteral("C"), QStringLiteral("1"));
    QVERIFY(title.startsWith(QStringLiteral("About ")));
    QVERIFY(title != QStringLiteral("About "));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!box);
    answerDialogs();
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
