#include "platform/ribbon/RibbonBackstageButton.h"
#include "platform/ribbon/RibbonBackstagePage.h"
#include "platform/ribbon/RibbonBackstageSeparator.h"
#include "platform/ribbon/RibbonBackstageView.h"
#include "platform/ribbon/RibbonBar.h"
#include "platform/ribbon/RibbonGroup.h"
#include "platform/ribbon/RibbonMainWindow.h"
#include "platform/ribbon/RibbonPage.h"
#include "platform/ribbon/RibbonQuickAccessBar.h"
#include "platform/ribbon/RibbonStyle.h"
#include "platform/ribbon/RibbonSystemButton.h"
#include "platform/ribbon/RibbonToolTip.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPainter>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qtitan;

namespace {

QIcon testIcon(QStyle::StandardPixmap pixmap)
{
    return QApplication::style()->standardIcon(pixmap);
}

// Closes whatever popup menu is open once the event loop runs.
void closePopupSoon()
{
    QTimer::singleShot(50, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
}

QWidget* lineEditPanel(const QString& a, const QString& b)
{
    auto* panel = new QWidget;
    auto* v = new QVBoxLayout(panel);
    for (const QString& text : {a, b}) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(text));
        auto* edit = new QLineEdit(QStringLiteral("1.0"));
        edit->setAlignment(Qt::AlignRight);
        row->addWidget(edit);
        v->addLayout(row);
    }
    return panel;
}

// A window laid out the way the program's shell builds its ribbon.
struct ShellLikeWindow {
    RibbonMainWindow window;
    RibbonPage* home = nullptr;
    RibbonPage* inversion = nullptr;
    RibbonGroup* fileGroup = nullptr;
    RibbonGroup* settingsGroup = nullptr;
    RibbonGroup* editGroup = nullptr;
    RibbonGroup* paramGroup = nullptr;
    QAction* open = nullptr;
    QAction* save = nullptr;
    QAction* import = nullptr;
    QAction* importItem = nullptr;
    QAction* machine = nullptr;
    QAction* machineSmall = nullptr;
    QAction* tem = nullptr;
    QAction* qatNew = nullptr;
    QAction* qatOpen = nullptr;
    QAction* qatClose = nullptr;
    QAction* system = nullptr;
    QAction* exit = nullptr;
    QAction* about = nullptr;
    QMenu* options = nullptr;
    RibbonBackstageView* backstage = nullptr;
    RibbonBackstagePage* infoPage = nullptr;
    RibbonBackstagePage* aboutPage = nullptr;
    QCheckBox* pointMove = nullptr;

    ShellLikeWindow()
    {
        RibbonBar* bar = window.ribbonBar();
        options = bar->addMenu(QStringLiteral("Options"));
        options->addAction(QStringLiteral("Animation"));
        about = bar->addAction(testIcon(QStyle::SP_MessageBoxInformation), QStringLiteral("About"),
                               Qt::ToolButtonIconOnly);
        about->setShortcut(QKeySequence(QStringLiteral("Ctrl+F1")));

        system = bar->addSystemButton(testIcon(QStyle::SP_ComputerIcon), QStringLiteral("&File"));
        backstage = new RibbonBackstageView(bar);
        infoPage = new RibbonBackstagePage(&window);
        infoPage->setWindowTitle(QStringLiteral("Info"));
        auto* infoLayout = new QVBoxLayout(infoPage);
        auto* protect = new RibbonBackstageButton(infoPage);
        protect->setText(QStringLiteral("Protect Document"));
        protect->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        protect->setIcon(testIcon(QStyle::SP_DialogSaveButton));
        protect->setIconSize(QSize(32, 32));
        protect->setFixedSize(84, 81);
        infoLayout->addWidget(protect);
        infoLayout->addWidget(new RibbonBackstageSeparator(infoPage));
        infoLayout->addStretch(1);
        aboutPage = new RibbonBackstagePage(&window);
        aboutPage->setWindowTitle(QStringLiteral("About"));
        backstage->addPage(infoPage);
        backstage->addPage(aboutPage);
        backstage->addAction(testIcon(QStyle::SP_FileDialogInfoView), QStringLiteral("Options"));
        exit = backstage->addAction(testIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Exit"));
        bar->getSystemButton()->setBackstage(backstage);

        RibbonQuickAccessBar* qat = bar->quickAccessBar();
        qat->actionCustomizeButton()->setToolTip(QStringLiteral("Customize Quick Access Bar"));
        qatNew = qat->addAction(testIcon(QStyle::SP_FileIcon), QStringLiteral("新建"));
        qat->setActionVisible(qatNew, false);
        qatOpen = qat->addAction(testIcon(QStyle::SP_DialogOpenButton), QStringLiteral("打开"));
        qatClose = qat->addAction(testIcon(QStyle::SP_DialogCloseButton), QStringLiteral("关闭"));
        qatClose->setEnabled(false);
        bar->showQuickAccess(true);

        home = bar->addPage(QStringLiteral("&主页"));
        fileGroup = home->addGroup(QStringLiteral("文件"));
        open = fileGroup->addAction(testIcon(QStyle::SP_DialogOpenButton), QStringLiteral("打开"),
                                    Qt::ToolButtonTextUnderIcon, nullptr, QToolButton::MenuButtonPopup);
        save = fileGroup->addAction(testIcon(QStyle::SP_DialogSaveButton), QStringLiteral("保存"),
                                    Qt::ToolButtonTextUnderIcon, nullptr, QToolButton::MenuButtonPopup);
        save->setEnabled(false);
        auto* importMenu = new QMenu(&window);
        importItem = importMenu->addAction(testIcon(QStyle::SP_ArrowDown), QStringLiteral("导入空间坐标"));
        import = fileGroup->addAction(testIcon(QStyle::SP_ArrowDown), QStringLiteral("导入"),
                                      Qt::ToolButtonTextUnderIcon, importMenu, QToolButton::MenuButtonPopup);

        settingsGroup = home->addGroup(QStringLiteral("设置"));
        machine = settingsGroup->addAction(testIcon(QStyle::SP_DriveHDIcon), QStringLiteral("仪器选择"),
                                           Qt::ToolButtonTextUnderIcon);
        machine->setCheckable(true);
        machine->setChecked(true);
        machineSmall = settingsGroup->addAction(testIcon(QStyle::SP_DriveHDIcon), QStringLiteral("QELVA28"),
                                                Qt::ToolButtonTextBesideIcon);
        tem = settingsGroup->addAction(testIcon(QStyle::SP_DriveHDIcon), QStringLiteral("TEM"),
                                       Qt::ToolButtonTextBesideIcon);
        tem->setCheckable(true);
        tem->setEnabled(false);
        settingsGroup->addAction(testIcon(QStyle::SP_DriveHDIcon), QStringLiteral("PLIX"),
                                 Qt::ToolButtonTextBesideIcon);

        editGroup = home->addGroup(QStringLiteral("数据编辑"));
        pointMove = new QCheckBox(QStringLiteral("点移动"));
        editGroup->addWidget(pointMove);
        editGroup->addWidget(new QCheckBox(QStringLiteral("线移动")));

        inversion = bar->addPage(QStringLiteral("&数据反演"));
        paramGroup = inversion->addGroup(QStringLiteral("参数设置"));
        paramGroup->addWidget(lineEditPanel(QStringLiteral("约束系数"), QStringLiteral("反演系数")));
        paramGroup->addWidget(lineEditPanel(QStringLiteral("基准阻值"), QStringLiteral("反演深度")));
        bar->setFrameThemeEnabled(true);

        window.statusBar()->addWidget(new QLabel(QStringLiteral("Tervalic")), 0);
        window.setCentralWidget(new QLabel(QStringLiteral("central")));
        window.resize(900, 500);
    }

    bool show()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
};

} // namespace

class TestRibbon : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void structure();
    void groupPlacement();
    void triggeringAndEnabling_data();
    void triggeringAndEnabling();
    void quickAccessBar();
    void quickAccessCustomizeMenu();
    void quickAccessPosition();
    void backstageOpenAndClose();
    void backstagePages();
    void separatorOrientation_data();
    void separatorOrientation();
    void minimization();
    void themes_data();
    void themes();
    void themeRefusedAndRecoloured();
    void styleSwitches();
    void narrowPageCollapsesGroups();
    void barButtonsReadable_data();
    void barButtonsReadable();
    void barFontReachesItsWidgets_data();
    void barFontReachesItsWidgets();
    void renderToImage();
};

void TestRibbon::initTestCase()
{
    QApplication::setStyle(new RibbonStyle);
    QVERIFY(qobject_cast<OfficeStyle*>(QApplication::style()));
}

void TestRibbon::structure()
{
    ShellLikeWindow w;
    RibbonBar* bar = w.window.ribbonBar();
    QVERIFY(bar);
    QCOMPARE(w.window.menuWidget(), static_cast<QWidget*>(bar));

    QCOMPARE(bar->pages().size(), 2);
    QCOMPARE(bar->pages().at(0)->title(), QStringLiteral("&主页"));
    QCOMPARE(bar->pages().at(1)->title(), QStringLiteral("&数据反演"));
    auto* tabs = bar->findChild<QTabBar*>();
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(1), QStringLiteral("&数据反演"));

    const auto groups = w.home->groups();
    QCOMPARE(groups.size(), 3);
    QCOMPARE(groups.at(0)->title(), QStringLiteral("文件"));
    QCOMPARE(groups.at(2)->title(), QStringLiteral("数据编辑"));
    QCOMPARE(w.fileGroup->actions(), (QList<QAction*>{w.open, w.save, w.import}));

    // The action returned is the one the button shows, with the requested look.
    QToolButton* openButton = w.fileGroup->buttonForAction(w.open);
    QVERIFY(openButton);
    QCOMPARE(openButton->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    // Split arrow only where there is a menu.
    QCOMPARE(openButton->popupMode(), QToolButton::DelayedPopup);
    QCOMPARE(openButton->text(), QStringLiteral("打开"));
    QToolButton* smallButton = w.settingsGroup->buttonForAction(w.machineSmall);
    QCOMPARE(smallButton->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QVERIFY(smallButton->iconSize().height() < openButton->iconSize().height());

    // Only the button given a menu carries one.
    QVERIFY(!w.open->menu());
    QToolButton* importButton = w.fileGroup->buttonForAction(w.import);
    QVERIFY(importButton);
    QCOMPARE(importButton->defaultAction(), w.import);
    QCOMPARE(importButton->popupMode(), QToolButton::MenuButtonPopup);
    QVERIFY(w.import->menu());
    QCOMPARE(w.import->menu()->actions(), QList<QAction*>{w.importItem});

    // Widgets land in their group.
    QVERIFY(w.editGroup->isAncestorOf(w.pointMove));
    QCOMPARE(w.paramGroup->findChildren<QLineEdit*>().size(), 4);

    // Bar-level menu and button at the right of the tab row.
    QVERIFY(w.options);
    QCOMPARE(w.options->actions().size(), 1);
    QVERIFY(w.about);
    QVERIFY(bar->isFrameThemeEnabled());

    QVERIFY(w.window.statusBar());
}

void TestRibbon::groupPlacement()
{
    ShellLikeWindow w;
    QVERIFY(w.show());
    // A large button spans the group's height; small buttons stack beside it.
    QToolButton* large = w.settingsGroup->buttonForAction(w.machine);
    QToolButton* s1 = w.settingsGroup->buttonForAction(w.machineSmall);
    QToolButton* s2 = w.settingsGroup->buttonForAction(w.tem);
    QVERIFY(large && s1 && s2);
    QVERIFY(s1->geometry().left() > large->geometry().right());
    QCOMPARE(s1->geometry().left(), s2->geometry().left());
    QVERIFY(s2->geometry().top() > s1->geometry().bottom());
    QVERIFY(large->height() > s1->height() * 2);

    // Large file buttons stand side by side.
    QToolButton* open = w.fileGroup->buttonForAction(w.open);
    QToolButton* save = w.fileGroup->buttonForAction(w.save);
    QVERIFY(save->geometry().left() > open->geometry().right());
    QCOMPARE(save->geometry().top(), open->geometry().top());

    // Groups follow one another left to right.
    QVERIFY(w.settingsGroup->geometry().left() > w.fileGroup->geometry().right());
    QVERIFY(w.editGroup->geometry().left() > w.settingsGroup->geometry().right());
}

void TestRibbon::triggeringAndEnabling_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<int>("expectedTriggers");
    QTest::addColumn<bool>("expectedChecked");

    QTest::newRow("plain enabled") << "open" << true << false << 1 << false;
    QTest::newRow("plain disabled") << "save" << false << false << 0 << false;
    QTest::newRow("checkable checked toggles off") << "machine" << true << true << 1 << false;
    QTest::newRow("checkable disabled keeps mark") << "tem" << false << true << 0 << false;
    QTest::newRow("enabled later") << "tem-enabled" << true << true << 1 << true;
}

void TestRibbon::triggeringAndEnabling()
{
    QFETCH(QString, which);
    QFETCH(bool, enabled);
    QFETCH(bool, checkable);
    QFETCH(int, expectedTriggers);
    QFETCH(bool, expectedChecked);

    ShellLikeWindow w;
    QVERIFY(w.show());
    QAction* action = nullptr;
    RibbonGroup* group = w.fileGroup;
    if (which == "open") {
        action = w.open;
    } else if (which == "save") {
        action = w.save;
    } else if (which == "machine") {
        action = w.machine;
        group = w.settingsGroup;
    } else {
        action = w.tem;
        group = w.settingsGroup;
        if (which == "tem-enabled")
            action->setEnabled(true);
    }
    QToolButton* button = group->buttonForAction(action);
    QVERIFY(button);
    QCOMPARE(button->isEnabled(), enabled);
    QCOMPARE(button->isCheckable(), checkable);

    QSignalSpy spy(action, &QAction::triggered);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
    QCOMPARE(spy.count(), expectedTriggers);
    QCOMPARE(action->isChecked(), expectedChecked);
    if (expectedTriggers == 1)
        QCOMPARE(spy.at(0).at(0).toBool(), expectedChecked);

    // Disabling through the kept action reaches the button.
    action->setEnabled(false);
    QVERIFY(!button->isEnabled());
    action->setEnabled(true);
    QVERIFY(button->isEnabled());
}

void TestRibbon::quickAccessBar()
{
    ShellLikeWindow w;
    QVERIFY(w.show());
    RibbonBar* bar = w.window.ribbonBar();
    RibbonQuickAccessBar* qat = bar->quickAccessBar();
    QVERIFY(qat);
    QVERIFY(bar->isQuickAccessVisible());
    QVERIFY(qat->isVisible());

    // Commands come in the order added, ahead of the customise button.
    const QList<QAction*> all = qat->actions();
    QCOMPARE(all.indexOf(w.qatNew), 0);
    QCOMPARE(all.indexOf(w.qatOpen), 1);
    QCOMPARE(all.indexOf(w.qatClose), 2);
    QCOMPARE(all.size(), 4);
    QWidget* customize = qat->widgetForAction(all.last());
    QVERIFY(customize);
    QVERIFY(customize->geometry().left() > qat->widgetForAction(w.qatClose)->geometry().right());
    QCOMPARE(qat->actionCustomizeButton()->toolTip(), QStringLiteral("Customize Quick Access Bar"));

    QVERIFY(!qat->isActionVisible(w.qatNew));
    QVERIFY(qat->isActionVisible(w.qatOpen));
    QVERIFY(!qat->widgetForAction(w.qatClose)->isEnabled());

    QSignalSpy spy(w.qatOpen, &QAction::triggered);
    QTest::mouseClick(qat->widgetForAction(w.qatOpen), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);

    // An action that is not in the bar is left alone.
    QAction foreign(QStringLiteral("foreign"));
    qat->setActionVisible(&foreign, false);
    QVERIFY(foreign.isVisible());

    bar->showQuickAccess(false);
    QVERIFY(!qat->isVisible());
    bar->showQuickAccess(true);
    QVERIFY(qat->isVisible());
}

void TestRibbon::quickAccessCustomizeMenu()
{
    ShellLikeWindow w;
    QVERIFY(w.show());
    RibbonQuickAccessBar* qat = w.window.ribbonBar()->quickAccessBar();

    QStringList offered;
    QList<bool> marks;
    QAction* appended = nullptr;
    connect(qat, &RibbonQuickAccessBar::showCustomizeMenu, this, [&](QMenu* menu) {
        QVERIFY(menu);
        for (QAction* a : menu->actions()) {
            if (a->isCheckable()) {
                offered << a->text();
                marks << a->isChecked();
            }
        }
        menu->addSeparator();
        appended = menu->addAction(QStringLiteral("Show Below the Ribbon"));
        // Switching an entry off hides the command in the bar.
        for (QAction* a : menu->actions())
            if (a->text() == QStringLiteral("打开"))
                a->setChecked(false);
        closePopupSoon();
    });
    QSignalSpy spy(qat, &RibbonQuickAccessBar::showCustomizeMenu);
    qat->actionCustomizeButton()->trigger();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(offered, (QStringList{QStringLiteral("新建"), QStringLiteral("打开"), QStringLiteral("关闭")}));
    QCOMPARE(marks, (QList<bool>{false, true, true}));
    QVERIFY(appended);
    QVERIFY(!qat->isActionVisible(w.qatOpen));
}

void TestRibbon::quickAccessPosition()
{
    ShellLikeWindow w;
    QVERIFY(w.show());
    RibbonBar* bar = w.window.ribbonBar();
    RibbonQuickAccessBar* qat = bar->quickAccessBar();
    auto* tabs = bar->findChild<QTabBar*>();

    QCOMPARE(bar->quickAccessBarPosition(), int(RibbonBar::QATopPosition));
    auto yIn = [bar](QWidget* wdg) { return wdg->mapTo(bar, QPoint(0, 0)).y(); };
    QVERIFY(yIn(qat) < yIn(tabs));

    bar->setQuickAccessBarPosition(RibbonBar::QABottomPosition);
    QCOMPARE(bar->quickAccessBarPosition(), 2);
    QTRY_VERIFY(yIn(qat) > yIn(bar->pages().first()));
    QVERIFY(qat->isVisible());

    // Unknown positions are refused.
    bar->setQuickAccessBarPosition(7);
    QCOMPARE(bar->quickAccessBarPosition(), 2);

    bar->setQuickAccessBarPosition(RibbonBar::QATopPosition);
    QTRY_VERIFY(yIn(qat) < yIn(tabs));
}

void TestRibbon::backstageOpenAndClose()
{
    ShellLikeWindow w;
    QVERIFY(w.show());
    RibbonBar* bar = w.window.ribbonBar();

    // The system button is created once.
    QCOMPARE(bar->addSystemButton(QIcon(), QStringLiteral("&File")), w.system);
    RibbonSystemButton* sys = bar->getSystemButton();
    QVERIFY(sys);
    QCOMPARE(sys->backstage(), w.backstage);
    sys->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QCOMPARE(sys->toolButtonStyle(), Qt::ToolButtonTextOnly);

    QSignalSpy shown(w.backstage, &RibbonBackstageView::aboutToShow);
    QSignalSpy hidden(w.backstage, &RibbonBackstageView::aboutToHide);
    QVERIFY(!w.backstage->isVisible());

    QTest::mouseClick(sys, Qt::LeftButton);
    QCOMPARE(shown.count(), 1);
    QVERIFY(w.backstage->isOpen());
    QVERIFY(w.backstage->isVisible());
    QCOMPARE(w.backstage->geometry(), w.window.rect());

    // It follows the window's size while open.
    w.window.resize(1000, 600);
    QTRY_COMPARE(w.backstage->geometry(), w.window.rect());

    // Opening again does not announce twice.
    w.backstage->open();
    QCOMPARE(shown.count(), 1);

    // A command closes the view before its own handlers run.
    bool wasOpenInHandler = true;
    connect(w.exit, &QAction::triggered, this, [&] { wasOpenInHandler = w.backstage->isOpen(); });
    w.exit->trigger();
    QCOMPARE(hidden.count(), 1);
    QVERIFY(!wasOpenInHandler);
    QVERIFY(!w.backstage->isVisible());

    // Escape closes it too.
    QTest::mouseClick(sys, Qt::LeftButton);
    QCOMPARE(shown.count(), 2);
    QTest::keyClick(w.backstage, Qt::Key_Escape);
    QCOMPARE(hidden.count(), 2);
    QVERIFY(!w.backstage->isVisible());

    // Closing a closed view announces nothing.
    w.backstage->closeBackstage();
    QCOMPARE(hidden.count(), 2);
}

void TestRibbon::backstagePages()
{
    ShellLikeWindow w;
    QVERIFY(w.show());
    w.backstage->open();
    QCOMPARE(w.backstage->activePage(), static_cast<QWidget*>(w.infoPage));
    QVERIFY(w.infoPage->isVisible());

    const QList<QAbstractButton*> entries
        = w.backstage->findChildren<QAbstractButton*>(QStringLiteral("backstagePageEntry"));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0)->text(), QStringLiteral("Info"));
    QCOMPARE(entries.at(1)->text(), QStringLiteral("About"));
    QVERIFY(entries.at(0)->isChecked());

    QTest::mouseClick(entries.at(1), Qt::LeftButton);
    QCOMPARE(w.backstage->activePage(), static_cast<QWidget*>(w.aboutPage));
    QVERIFY(w.aboutPage->isVisible());
    QVERIFY(entries.at(1)->isChecked());
    QVERIFY(!entries.at(0)->isChecked());

    // Buttons of a page do nothing by themselves and keep the view open.
    auto* protect = w.infoPage->findChild<RibbonBackstageButton*>();
    QVERIFY(protect);
    w.backstage->setActivePage(w.infoPage);
    QTest::mouseClick(protect, Qt::LeftButton);
    QVERIFY(w.backstage->isOpen());

    // Command entries follow their action's state and run it when clicked.
    const QList<QAbstractButton*> commands
        = w.backstage->findChildren<QAbstractButton*>(QStringLiteral("backstageCommand"));
    QCOMPARE(commands.size(), 2);
    QCOMPARE(commands.at(1)->text(), QStringLiteral("Exit"));
    w.exit->setEnabled(false);
    QVERIFY(!commands.at(1)->isEnabled());
    w.exit->setEnabled(true);
    QSignalSpy exitSpy(w.exit, &QAction::triggered);
    QTest::mouseClick(commands.at(1), Qt::LeftButton);
    QCOMPARE(exitSpy.count(), 1);
    QVERIFY(!w.backstage->isOpen());
    w.backstage->open();

        // A widget that is not a page is ignored.
    QWidget stray;
    w.backstage->setActivePage(&stray);
    QCOMPARE(w.backstage->activePage(), static_cast<QWidget*>(w.infoPage));
}

void TestRibbon::separatorOrientation_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("vertical");
    QTest::newRow("Qt::Horizontal") << int(Qt::Horizontal) << false;
    QTest::newRow("Qt::Vertical") << int(Qt::Vertical) << true;
    QTest::newRow("HLine shape") << int(QFrame::HLine) << false;
    QTest::newRow("VLine shape (designer value 5)") << 5 << true;
    QTest::newRow("unknown") << 0 << false;
}

void TestRibbon::separatorOrientation()
{
    QFETCH(int, value);
    QFETCH(bool, vertical);
    RibbonBackstageSeparator sep;
    QVERIFY(!sep.isVertical());
    QVERIFY(sep.setProperty("orientation", value));
    QCOMPARE(sep.property("orientation").toInt(), value);
    QCOMPARE(sep.isVertical(), vertical);
    QCOMPARE(sep.frameShape(), vertical ? QFrame::VLine : QFrame::HLine);
}

void TestRibbon::minimization()
{
    ShellLikeWindow w;
    QVERIFY(w.show());
    RibbonBar* bar = w.window.ribbonBar();
    QSignalSpy spy(bar, &RibbonBar::minimizationChanged);
    const int fullHeight = bar->sizeHint().height();
    QVERIFY(!bar->isMinimized());
    QVERIFY(w.home->isVisible());

    bar->setMinimized(true);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QVERIFY(bar->isMinimized());
    QVERIFY(!w.home->isVisible());
    QTRY_VERIFY(bar->height() < fullHeight);

    bar->setMinimized(true);
    QCOMPARE(spy.count(), 1);

    // With the ribbon minimised a click on a tab shows the page in a popup,
    // and a command run from it closes the popup.
    auto* tabs = bar->findChild<QTabBar*>();
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(0).center());
    QTRY_VERIFY(w.home->isVisible());
    QVERIFY(bar->isMinimized());
    QSignalSpy openSpy(w.open, &QAction::triggered);
    w.open->trigger();
    QCOMPARE(openSpy.count(), 1);
    QTRY_VERIFY(!w.home->isVisible());

    // Double-clicking a tab restores the full ribbon.
    QTest::mouseDClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(0).center());
    QVERIFY(!bar->isMinimized());
    QCOMPARE(spy.count(), 2);
    QTRY_VERIFY(w.home->isVisible());
}

void TestRibbon::themes_data()
{
    QTest::addColumn<int>("theme");
    for (int t = 0; t <= 10; ++t)
        QTest::newRow(qPrintable(QStringLiteral("theme %1").arg(t))) << t;
}

void TestRibbon::themes()
{
    QFETCH(int, theme);
    auto* style = qobject_cast<RibbonStyle*>(QApplication::style());
    QVERIFY(style);
    style->setTheme(theme);
    QCOMPARE(style->getTheme(), theme);
    QCOMPARE(OfficeStyle::applicationTheme(), theme);
    QVERIFY(OfficeStyle::themeColors(theme).accent.isValid());
}

void TestRibbon::themeRefusedAndRecoloured()
{
    auto* style = qobject_cast<OfficeStyle*>(QApplication::style());
    style->setTheme(OfficeStyle::Office2007Aqua);
    QSignalSpy spy(style, &OfficeStyle::themeChanged);
    style->setTheme(11);
    style->setTheme(-1);
    QCOMPARE(style->getTheme(), 3);
    QCOMPARE(spy.count(), 0);

    ShellLikeWindow w;
    QVERIFY(w.show());
    RibbonSystemButton* sys = w.window.ribbonBar()->getSystemButton();
    auto centreColour = [sys] {
        const QImage img = sys->grab().toImage();
        return img.pixelColor(4, img.height() / 2);
    };
    const QColor aqua = centreColour();
    style->setTheme(OfficeStyle::Office2010Black);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 7);
    QTRY_VERIFY(centreColour() != aqua);
    style->setTheme(OfficeStyle::Office2007Aqua);
}

void TestRibbon::styleSwitches()
{
    auto* style = qobject_cast<OfficeStyle*>(QApplication::style());
    style->setAnimationEnabled(false);
    QVERIFY(!style->isAnimationEnabled());
    style->setAnimationEnabled(true);
    QVERIFY(style->isAnimationEnabled());
    style->setDPIAware(false);
    QVERIFY(!style->isDPIAware());
    style->setDPIAware(true);
    style->setScrollBarsIgnored(false);
    QVERIFY(!style->isScrollBarsIgnored());
    style->setScrollBarsIgnored(true);
    QVERIFY(style->isScrollBarsIgnored());
    style->setDialogsIgnored(false);
    QVERIFY(!style->isDialogsIgnored());
    style->setDialogsIgnored(true);

    RibbonToolTip::setWrapMode(0);
    QCOMPARE(RibbonToolTip::wrapMode(), 0);
    RibbonToolTip::setWrapMode(1);
    QCOMPARE(RibbonToolTip::wrapMode(), 1);
    RibbonToolTip::setWrapMode(42);
    QCOMPARE(RibbonToolTip::wrapMode(), 0);
}

// Every command button shown on the page gets the width its text needs.
static void verifyNoSqueezedButtons(QWidget* page)
{
    for (QToolButton* button : page->findChildren<QToolButton*>()) {
        if (!button->isVisibleTo(page) || button->text().isEmpty())
            continue;
        QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
    }
}

void TestRibbon::narrowPageCollapsesGroups()
{
    ShellLikeWindow w;
    QVERIFY(w.show());
    RibbonPage* home = w.window.ribbonBar()->pages().at(0);
    for (RibbonGroup* g : home->groups())
        QVERIFY(!home->isGroupCollapsed(g));
    verifyNoSqueezedButtons(home);

    // Too narrow for all groups: the rightmost collapse first, none is squeezed.
    const int narrow = w.fileGroup->sizeHint().width()
        + home->collapsedButton(w.settingsGroup)->sizeHint().width()
        + w.editGroup->sizeHint().width() + 24;
    QVERIFY(narrow < w.fileGroup->sizeHint().width() + w.settingsGroup->sizeHint().width());
    w.window.resize(narrow, 500);
    QTRY_VERIFY(home->isGroupCollapsed(w.settingsGroup));
    QVERIFY(!home->isGroupCollapsed(w.fileGroup));
    // The check boxes take less room than a collapsed button would.
    QVERIFY(!home->isGroupCollapsed(w.editGroup));
    QVERIFY(home->width() <= w.window.width());
    QTest::qWait(20);
    verifyNoSqueezedButtons(home);

    // The collapsed group is a drop-down button with the group's title and
    // icon; its popup holds the group, whose commands still work.
    QToolButton* collapsed = home->collapsedButton(w.settingsGroup);
    QVERIFY(collapsed && collapsed->isVisible());
    QCOMPARE(collapsed->text(), QStringLiteral("设置"));
    QVERIFY(!collapsed->icon().isNull());
    QVERIFY(collapsed->geometry().right() <= home->width());
    QVERIFY(!w.settingsGroup->isVisible());
    QSignalSpy triggered(w.machineSmall, &QAction::triggered);
    QTimer::singleShot(50, [&] {
        QToolButton* small = w.settingsGroup->buttonForAction(w.machineSmall);
        if (small && small->isVisible() && w.settingsGroup->window() == collapsed->menu())
            QTest::mouseClick(small, Qt::LeftButton);
        else
            collapsed->menu()->close();
    });
    collapsed->showMenu();
    QCOMPARE(triggered.count(), 1);
    QVERIFY(!collapsed->menu()->isVisible()); // running a command closes the popup
    w.machine->trigger();                     // and hidden commands still trigger
    QVERIFY(!w.machine->isChecked());

    // Wide again: the groups come back in their order.
    w.window.resize(900, 500);
    QTRY_VERIFY(!home->isGroupCollapsed(w.settingsGroup));
    QVERIFY(!home->isGroupCollapsed(w.editGroup));
    QVERIFY(!collapsed->isVisible());
    QCOMPARE(w.settingsGroup->parentWidget(), static_cast<QWidget*>(home));
    QTRY_VERIFY(w.settingsGroup->isVisible());
    QVERIFY(w.settingsGroup->geometry().left() > w.fileGroup->geometry().right());
    QVERIFY(w.editGroup->geometry().left() > w.settingsGroup->geometry().right());

    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        w.window.resize(w.fileGroup->sizeHint().width() + 60, 300);
        QTest::qWait(20);
        QVERIFY(w.window.grab().save(QDir(dir).filePath(QStringLiteral("hw_ribbon_narrow.png"))));
    }
}

// Pixels that stand out from the most common colour of the image by at least
// minDifference in grey level: the text or icon drawn on a button.
static int standOutPixels(const QImage& image, int minDifference)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    int standing = 0;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
        if (std::abs(qGray(it.key()) - qGray(background)) >= minDifference)
            standing += it.value();
    return standing;
}

void TestRibbon::barButtonsReadable_data()
{
    QTest::addColumn<int>("theme");
    for (int t = 0; t <= 10; ++t)
        QTest::newRow(qPrintable(QStringLiteral("theme %1").arg(t))) << t;
}

// The Options button (after its menu closed, the mouse still over it) and
// the icon buttons beside it stand out from what is behind them in every
// theme, the dark ones included.
void TestRibbon::barButtonsReadable()
{
    QFETCH(int, theme);
    auto* style = qobject_cast<OfficeStyle*>(QApplication::style());
    style->setTheme(theme);
    ShellLikeWindow w;
    QVERIFY(w.show());
    RibbonBar* bar = w.window.ribbonBar();
    QToolButton* options = nullptr;
    QToolButton* about = nullptr;
    for (QToolButton* b : bar->findChildren<QToolButton*>()) {
        if (b->menu() == w.options)
            options = b;
        if (b->defaultAction() == w.about)
            about = b;
    }
    QVERIFY(options && about);
    // As shown, with the bar behind the button.
    const auto shown = [&w](QWidget* button) {
        return w.window.grab(QRect(button->mapTo(&w.window, QPoint(0, 0)), button->size())).toImage();
    };

    closePopupSoon();
    QTest::mouseClick(options, Qt::LeftButton, Qt::NoModifier, options->rect().center());
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QTest::mouseMove(options, options->rect().center());
    const bool optionsReadable = standOutPixels(shown(options), 90) > 10;

    // A dark grey glyph like the minimise arrow.
    QPixmap chevron(16, 16);
    chevron.fill(Qt::transparent);
    {
        QPainter p(&chevron);
        p.setPen(QPen(QColor(90, 90, 90), 2));
        p.drawPolyline(QPolygon({QPoint(3, 10), QPoint(8, 5), QPoint(13, 10)}));
    }
    QAction* minimise = bar->addAction(QIcon(chevron), QStringLiteral("Minimize"), Qt::ToolButtonIconOnly);
    QToolButton* arrow = nullptr;
    for (QToolButton* b : bar->findChildren<QToolButton*>())
        if (b->defaultAction() == minimise)
            arrow = b;
    QVERIFY(arrow);
    QTRY_VERIFY(arrow->isVisible());
    QVERIFY2(standOutPixels(shown(arrow), 60) > 10, "dark icon lost in the bar");
    QVERIFY2(standOutPixels(shown(about), 60) > 10, "icon lost in the bar");
    QVERIFY2(optionsReadable, "Options text lost in its background");
    style->setTheme(OfficeStyle::Office2007Aqua);
}

void TestRibbon::barFontReachesItsWidgets_data()
{
    QTest::addColumn<int>("theme");
    QTest::newRow("Aqua") << int(OfficeStyle::Office2007Aqua);
    QTest::newRow("Black") << int(OfficeStyle::Office2007Black);
}

// A font set on the bar (the Options menu's sizes) reaches the buttons, the
// group titles, the tabs and the widgets in the groups, and shows.
void TestRibbon::barFontReachesItsWidgets()
{
    QFETCH(int, theme);
    auto* style = qobject_cast<OfficeStyle*>(QApplication::style());
    style->setTheme(theme);
    ShellLikeWindow w;
    QVERIFY(w.show());
    RibbonBar* bar = w.window.ribbonBar();
    QToolButton* open = w.fileGroup->buttonForAction(w.open);
    auto* title = w.fileGroup->findChild<QLabel*>(QStringLiteral("ribbonGroupTitle"));
    auto* tabs = bar->findChild<QTabBar*>();
    QVERIFY(open && title && tabs);
    const QRect area(w.fileGroup->mapTo(&w.window, QPoint(0, 0)), w.fileGroup->size());
    const QImage before = w.window.grab(area).toImage();

    const int base = bar->font().pointSize();
    for (int size : {base + 5, base + 2, base}) {
        QFont font = bar->font();
        font.setPointSize(size);
        bar->setFont(font);
        QCoreApplication::processEvents();
        for (QWidget* widget : QList<QWidget*>{open, title, tabs, w.pointMove, w.settingsGroup->buttonForAction(w.tem)})
            QCOMPARE(widget->font().pointSize(), size);
        for (QLineEdit* edit : w.paramGroup->findChildren<QLineEdit*>())
            QCOMPARE(edit->font().pointSize(), size);
        if (size == base + 5)
            QVERIFY(w.window.grab(area).toImage() != before);
    }
    QTRY_COMPARE(w.window.grab(area).toImage(), before);
    style->setTheme(OfficeStyle::Office2007Aqua);
}

void TestRibbon::renderToImage()
{
    qobject_cast<OfficeStyle*>(QApplication::style())->setTheme(OfficeStyle::Office2007Aqua);
    ShellLikeWindow w;
    QVERIFY(w.show());
    const QImage window = w.window.grab().toImage();
    QCOMPARE(window.size(), w.window.size());
    // The ribbon paints its own background, not the window's.
    const QColor barColour = window.pixelColor(w.window.width() - 3, 2);
    QCOMPARE(barColour, OfficeStyle::themeColors(3).bar);

    w.backstage->open();
    const QImage backstage = w.window.grab().toImage();
    QCOMPARE(backstage.pixelColor(20, w.window.height() - 20), OfficeStyle::themeColors(3).accent);
    w.backstage->closeBackstage();

    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QVERIFY(window.save(QDir(dir).filePath(QStringLiteral("hw_ribbon_window.png"))));
        QVERIFY(backstage.save(QDir(dir).filePath(QStringLiteral("hw_ribbon_backstage.png"))));
        w.window.ribbonBar()->setCurrentPageIndex(1);
        QVERIFY(w.window.grab().save(QDir(dir).filePath(QStringLiteral("hw_ribbon_page2.png"))));
        auto* style = qobject_cast<OfficeStyle*>(QApplication::style());
        style->setTheme(OfficeStyle::Office2013White);
        w.window.ribbonBar()->getSystemButton()->setToolButtonStyle(Qt::ToolButtonTextOnly);
        w.window.ribbonBar()->setCurrentPageIndex(0);
        QTest::qWait(20); // let the layout take the wider text-only button
        QVERIFY(w.window.grab().save(QDir(dir).filePath(QStringLiteral("hw_ribbon_office2013.png"))));
        style->setTheme(OfficeStyle::Office2007Aqua);
    }
}

QTEST_MAIN(TestRibbon)
#include "tst_ribbon.moc"
