#include "shell/RibbonWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>

#include "platform/ribbon/OfficeStyle.h"
#include "platform/ribbon/RibbonBar.h"
#include "platform/ribbon/RibbonQuickAccessBar.h"
#include "platform/ribbon/RibbonStyle.h"
#include "platform/ribbon/RibbonSystemButton.h"
#include "platform/ribbon/RibbonToolTip.h"
#include "shell/AboutDialog.h"

namespace {

struct ThemeEntry {
    const char* name;
    int theme;
};

// Style entries by object name; ROZE Black has no theme of its own.
const ThemeEntry kThemes[] = {
    {"Office2007Blue", 0},   {"Office2007Black", 1},  {"Office2007Silver", 2},
    {"Office2007Aqua", 3},   {"Windows7Scenic", 4},   {"Office2010Blue", 6},
    {"Office2010Silver", 5}, {"Office2010Black", 7},  {"Office2013White", 8},
    {"ROZE2014Black", 0},    {"Office2013Gray", 9},   {"Office2013Dark", 10},
};

} // namespace

SetupStyleEvent::SetupStyleEvent(int theme)
    : QEvent(eventType()), m_theme(theme)
{
}

QEvent::Type SetupStyleEvent::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

RibbonWindow::RibbonWindow(QWidget* parent)
    : Qtitan::RibbonMainWindow(parent)
{
    m_defaultFont = 8;
    m_ribbonStyle = qobject_cast<Qtitan::RibbonStyle*>(QApplication::style());

    Qtitan::RibbonToolTip::setWrapMode(0);
    createOptions();

    QAction* actionAbout = ribbonBar()->addAction(QIcon(QStringLiteral(":/shared/res/about.png")),
                                                  tr("About"), Qt::ToolButtonIconOnly);
    actionAbout->setToolTip(tr("Display program<br />information, version number and copyright"));
    connect(actionAbout, SIGNAL(triggered()), this, SLOT(about()));

    m_actionRibbonMinimize = ribbonBar()->addAction(
        QIcon(QStringLiteral(":/shared/res/ribbonMinimize.png")), tr("Minimize the Ribbon"),
        Qt::ToolButtonIconOnly);
    m_actionRibbonMinimize->setStatusTip(tr("Show only the tab names on the Ribbon"));
    m_actionRibbonMinimize->setShortcut(QKeySequence(tr("Ctrl+F1")));
    connect(m_actionRibbonMinimize, SIGNAL(triggered()), this, SLOT(maximizeToggle()));
    connect(ribbonBar(), SIGNAL(minimizationChanged(bool)), this, SLOT(minimizationChanged(bool)));

    m_actionMenuRibbonMinimize = new QAction(tr("Minimize the Ribbon"), this);
    m_actionMenuRibbonMinimize->setCheckable(true);
    connect(m_actionMenuRibbonMinimize, SIGNAL(triggered()), this, SLOT(maximizeToggle()));

    if (Qtitan::RibbonQuickAccessBar* bar = ribbonBar()->quickAccessBar())
        connect(bar, SIGNAL(showCustomizeMenu(QMenu*)), this, SLOT(showQuickAccessCustomizeMenu(QMenu*)));

    m_defaultFont = ribbonBar()->font().pointSize();

    QCoreApplication::postEvent(this, new SetupStyleEvent(m_ribbonStyle ? m_ribbonStyle->getTheme() : -1));
}

RibbonWindow::~RibbonWindow() = default;

QString RibbonWindow::themeObjectName(int theme)
{
    if (theme >= 1 && theme <= 10) {
        for (const ThemeEntry& e : kThemes) {
            if (e.theme == theme)
                return QString::fromLatin1(e.name);
        }
    }
    return QStringLiteral("Office2007Blue");
}

int RibbonWindow::themeOfObjectName(const QString& name)
{
    for (const ThemeEntry& e : kThemes) {
        if (name == QLatin1String(e.name))
            return e.theme;
    }
    return 0;
}

void RibbonWindow::createOptions()
{
    m_menuOptions = ribbonBar()->addMenu(tr("Options"));
    const int theme = m_ribbonStyle ? m_ribbonStyle->getTheme() : -1;

    m_styleActions = new QActionGroup(this);
    m_styleActions->setExclusive(true);
    auto addStyle = [&](QMenu* menu, const QString& text, const char* name) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        const bool ownTheme = qstrcmp(name, "ROZE2014Black") != 0;
        a->setChecked(ownTheme && themeOfObjectName(a->objectName()) == theme);
        m_styleActions->addAction(a);
    };

    QMenu* menuStyle = m_menuOptions->addMenu(tr("Style"));
    QMenu* menu2007 = menuStyle->addMenu(tr("Office 2007"));
    addStyle(menu2007, tr("Blue"), "Office2007Blue");
    addStyle(menu2007, tr("Black"), "Office2007Black");
    addStyle(menu2007, tr("Silver"), "Office2007Silver");
    addStyle(menu2007, tr("Aqua"), "Office2007Aqua");
    menuStyle->addSeparator();
    addStyle(menuStyle, tr("Windows 7 Scenic"), "Windows7Scenic");
    menuStyle->addSeparator();
    QMenu* menu2010 = menuStyle->addMenu(tr("Office 2010"));
    addStyle(menu2010, tr("Blue"), "Office2010Blue");
    addStyle(menu2010, tr("Silver"), "Office2010Silver");
    addStyle(menu2010, tr("Black"), "Office2010Black");
    menuStyle->addSeparator();
    QMenu* menu2013 = menuStyle->addMenu(tr("Office 2013"));
    addStyle(menu2013, tr("White"), "Office2013White");
    addStyle(menu2013, tr("ROZE Black"), "ROZE2014Black");
    addStyle(menu2013, tr("Light Gray"), "Office2013Gray");
    addStyle(menu2013, tr("Dark Gray"), "Office2013Dark");
    connect(m_styleActions, SIGNAL(triggered(QAction*)), this, SLOT(options(QAction*)));
    // The mark shows the theme in use, also one set after this menu was built
    // (the main window sets its own) or by other means.
    if (m_ribbonStyle)
        connect(m_ribbonStyle, &Qtitan::OfficeStyle::themeChanged, this, &RibbonWindow::checkThemeAction);

    m_menuOptions->addSeparator();
    QAction* animation = m_menuOptions->addAction(tr("Animation"));
    animation->setCheckable(true);
    animation->setChecked(true);
    connect(animation, SIGNAL(triggered(bool)), this, SLOT(includingAnimation(bool)));

    m_menuOptions->addSeparator();
    QMenu* menuFont = m_menuOptions->addMenu(tr("Font"));
    m_fontActions = new QActionGroup(this);
    m_fontActions->setExclusive(true);
    auto addFont = [&](const char* name) {
        QAction* a = menuFont->addAction(QString::fromLatin1(name));
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        m_fontActions->addAction(a);
        return a;
    };
    m_actionDefault = addFont("System Default");
    m_actionDefault->setChecked(true);
    menuFont->addSeparator();
    m_actionNormal = addFont("Normal");
    m_actionLarge = addFont("Large");
    m_actionExLarge = addFont("Extra Large");
    connect(m_fontActions, SIGNAL(triggered(QAction*)), this, SLOT(optionsFont(QAction*)));
    menuFont->addSeparator();
    QAction* dpi = menuFont->addAction(tr("DPI Aware (new)"));
    dpi->setObjectName(QStringLiteral("DPI 100%"));
    dpi->setCheckable(true);
    dpi->setChecked(true);
    connect(dpi, SIGNAL(toggled(bool)), this, SLOT(setDPIToggled(bool)));

    m_menuOptions->addSeparator();
    QAction* scrollBars = m_menuOptions->addAction(tr("Native Scroll Bars (new)"));
    scrollBars->setCheckable(true);
    scrollBars->setChecked(m_ribbonStyle && m_ribbonStyle->isScrollBarsIgnored());
    connect(scrollBars, SIGNAL(toggled(bool)), this, SLOT(setNativeScrollBarsToggled(bool)));
    QAction* dialogs = m_menuOptions->addAction(tr("Native Dialogs"));
    dialogs->setCheckable(true);
    dialogs->setChecked(m_ribbonStyle && m_ribbonStyle->isDialogsIgnored());
    connect(dialogs, SIGNAL(toggled(bool)), this, SLOT(setNativeDialogsToggled(bool)));

    m_menuOptions->addSeparator();
    QAction* customize = m_menuOptions->addAction(tr("Cusomize..."));
    customize->setEnabled(false);

    m_actionShowBelowRibbon = new QAction(tr("Show Below the Ribbon"), this);
    connect(m_actionShowBelowRibbon, SIGNAL(triggered()), this, SLOT(switchQuickAccessBarPosition()));
    m_actionShowAboveRibbon = new QAction(tr("Show Above the Ribbon"), this);
    connect(m_actionShowAboveRibbon, SIGNAL(triggered()), this, SLOT(switchQuickAccessBarPosition()));
}

void RibbonWindow::applySystemButtonStyle(int theme)
{
    if (Qtitan::RibbonSystemButton* button = ribbonBar()->getSystemButton()) {
        button->setToolButtonStyle(theme >= 4 && theme <= 10 ? Qt::ToolButtonTextOnly
                                                              : Qt::ToolButtonFollowStyle);
    }
}

bool RibbonWindow::event(QEvent* event)
{
    if (event->type() == SetupStyleEvent::eventType())
        applySystemButtonStyle(static_cast<SetupStyleEvent*>(event)->theme());
    return QMainWindow::event(event);
}

void RibbonWindow::about()
{
    Qtitan::AboutDialog::showAboutBox(this, tr("About Qtitan Ribbon Controls Sample"), tr("QtitanRibbon"),
                                      QStringLiteral(HW_PROGRAM_VERSION));
}

void RibbonWindow::options(QAction* action)
{
    const int theme = action ? themeOfObjectName(action->objectName()) : 0;
    if (!m_ribbonStyle)
        return;
    if (Qtitan::RibbonSystemButton* button = ribbonBar()->getSystemButton())
        button->setToolButtonStyle(theme >= 4 ? Qt::ToolButtonTextOnly : Qt::ToolButtonFollowStyle);
    m_ribbonStyle->setTheme(theme);
    m_actionDefault->setChecked(true);
    checkThemeAction();
}

void RibbonWindow::checkThemeAction()
{
    const QString name = themeObjectName(m_ribbonStyle ? m_ribbonStyle->getTheme() : 0);
    for (QAction* a : m_styleActions->actions())
        a->setChecked(a->objectName() == name);
}

void RibbonWindow::optionsDialog()
{
}

void RibbonWindow::includingAnimation(bool on)
{
    if (auto* style = qobject_cast<Qtitan::OfficeStyle*>(QApplication::style()))
        style->setAnimationEnabled(on);
}

void RibbonWindow::maximizeToggle()
{
    ribbonBar()->setMinimized(!ribbonBar()->isMinimized());
}

void RibbonWindow::minimizationChanged(bool minimized)
{
    m_actionRibbonMinimize->setChecked(minimized);
    m_actionMenuRibbonMinimize->setChecked(minimized);
    m_actionRibbonMinimize->setIcon(QIcon(minimized ? QStringLiteral(":/shared/res/ribbonMaximize.png")
                                                    : QStringLiteral(":/shared/res/ribbonMinimize.png")));
}

void RibbonWindow::optionsFont(QAction* action)
{
    QFont font = ribbonBar()->font();
    const QString name = action ? action->objectName() : QString();
    if (name == QLatin1String("System Default"))
        font.setPointSize(m_defaultFont);
    else if (name == QLatin1String("Normal"))
        font.setPointSize(8);
    else if (name == QLatin1String("Large"))
        font.setPointSize(11);
    else if (name == QLatin1String("Extra Large"))
        font.setPointSize(13);
    ribbonBar()->setFont(font);
}

void RibbonWindow::setDPIToggled(bool on)
{
    m_actionDefault->setEnabled(on);
    m_actionNormal->setEnabled(on);
    m_actionLarge->setEnabled(on);
    m_actionExLarge->setEnabled(on);
    if (m_ribbonStyle)
        m_ribbonStyle->setDPIAware(on);
}

void RibbonWindow::setNativeScrollBarsToggled(bool on)
{
    if (m_ribbonStyle)
        m_ribbonStyle->setScrollBarsIgnored(on);
}

void RibbonWindow::setNativeDialogsToggled(bool on)
{
    if (m_ribbonStyle)
        m_ribbonStyle->setDialogsIgnored(on);
}

void RibbonWindow::showQuickAccessCustomizeMenu(QMenu* menu)
{
    if (!menu)
        return;
    menu->addSection(tr("Common Customization"));
    if (ribbonBar()->quickAccessBarPosition() == Qtitan::RibbonBar::QATopPosition)
        menu->addAction(m_actionShowBelowRibbon);
    else
        menu->addAction(m_actionShowAboveRibbon);
    menu->addSeparator();
    menu->addAction(m_actionMenuRibbonMinimize);
}

void RibbonWindow::switchQuickAccessBarPosition()
{
    ribbonBar()->setQuickAccessBarPosition(
        ribbonBar()->quickAccessBarPosition() == Qtitan::RibbonBar::QATopPosition
            ? Qtitan::RibbonBar::QABottomPosition
            : Qtitan::RibbonBar::QATopPosition);
}
