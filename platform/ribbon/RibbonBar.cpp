#include "platform/ribbon/RibbonBar.h"

#include "platform/ribbon/OfficeStyle.h"
#include "platform/ribbon/RibbonPage.h"
#include "platform/ribbon/RibbonQuickAccessBar.h"
#include "platform/ribbon/RibbonSystemButton.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace Qtitan {

namespace {
const int kPageHeight = 112;
}

RibbonBar::RibbonBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ribbonBar"));
    setAttribute(Qt::WA_StyledBackground, true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_topRow = new QWidget(this);
    m_topRow->setObjectName(QStringLiteral("ribbonQuickAccessRow"));
    auto* topLayout = new QHBoxLayout(m_topRow);
    topLayout->setContentsMargins(4, 1, 4, 1);
    topLayout->addStretch(1);
    m_layout->addWidget(m_topRow);

    m_tabRow = new QWidget(this);
    m_tabRow->setObjectName(QStringLiteral("ribbonTabRow"));
    m_tabRowLayout = new QHBoxLayout(m_tabRow);
    m_tabRowLayout->setContentsMargins(0, 2, 4, 0);
    m_tabRowLayout->setSpacing(2);
    m_tabs = new QTabBar(m_tabRow);
    m_tabs->setObjectName(QStringLiteral("ribbonTabs"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_tabs->setDocumentMode(true);
    m_tabRowLayout->addWidget(m_tabs, 0, Qt::AlignBottom);
    m_tabRowLayout->addStretch(1);
    m_rightLayout = new QHBoxLayout;
    m_rightLayout->setSpacing(1);
    m_tabRowLayout->addLayout(m_rightLayout);
    m_layout->addWidget(m_tabRow);

    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("ribbonPageArea"));
    m_stack->setFixedHeight(kPageHeight);
    m_layout->addWidget(m_stack);

    m_bottomRow = new QWidget(this);
    m_bottomRow->setObjectName(QStringLiteral("ribbonQuickAccessRowBelow"));
    auto* bottomLayout = new QHBoxLayout(m_bottomRow);
    bottomLayout->setContentsMargins(4, 1, 4, 1);
    bottomLayout->addStretch(1);
    m_layout->addWidget(m_bottomRow);

    m_quickAccessBar = new RibbonQuickAccessBar(this);
    placeQuickAccess();

    connect(m_tabs, &QTabBar::currentChanged, m_stack, &QStackedWidget::setCurrentIndex);
    connect(m_tabs, &QTabBar::tabBarClicked, this, &RibbonBar::tabClicked);
    connect(m_tabs, &QTabBar::tabBarDoubleClicked, this, [this](int index) {
        if (index >= 0)
            setMinimized(!m_minimized);
    });

    if (auto* style = qobject_cast<OfficeStyle*>(QApplication::style()))
        connect(style, &OfficeStyle::themeChanged, this, [this] { applyTheme(); });
    applyTheme();
}

RibbonPage* RibbonBar::addPage(const QString& text)
{
    auto* page = new RibbonPage(text, m_stack);
    m_stack->addWidget(page);
    m_pages.append(page);
    m_tabs->addTab(text);
    return page;
}

int RibbonBar::currentPageIndex() const
{
    return m_tabs->currentIndex();
}

void RibbonBar::setCurrentPageIndex(int index)
{
    if (index >= 0 && index < m_tabs->count())
        m_tabs->setCurrentIndex(index);
}

QMenu* RibbonBar::addMenu(const QString& text)
{
    auto* button = new QToolButton(m_tabRow);
    button->setObjectName(QStringLiteral("ribbonBarMenuButton"));
    button->setText(text);
    button->setAutoRaise(true);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* menu = new QMenu(text, button);
    button->setMenu(menu);
    m_rightLayout->addWidget(button);
    return menu;
}

QAction* RibbonBar::addAction(const QIcon& icon, const QString& text, Qt::ToolButtonStyle style,
                              QMenu* menu)
{
    auto* action = new QAction(icon, text, this);
    auto* button = new QToolButton(m_tabRow);
    button->setObjectName(QStringLiteral("ribbonBarButton"));
    button->setAutoRaise(true);
    button->setToolButtonStyle(style);
    button->setIconSize(QSize(16, 16));
    button->setDefaultAction(action);
    if (menu) {
        action->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    m_rightLayout->addWidget(button);
    return action;
}

QAction* RibbonBar::addSystemButton(const QIcon& icon, const QString& text)
{
    if (m_systemButton) {
        QAction* action = m_systemButton->defaultAction();
        action->setIcon(icon);
        action->setText(text);
        return action;
    }
    auto* action = new QAction(icon, text, this);
    m_systemButton = new RibbonSystemButton(m_tabRow);
    m_systemButton->setDefaultAction(action);
    m_tabRowLayout->insertWidget(0, m_systemButton, 0, Qt::AlignBottom);
    applyTheme();
    return action;
}

void RibbonBar::showQuickAccess(bool show)
{
    m_quickAccessShown = show;
    placeQuickAccess();
}

void RibbonBar::setQuickAccessBarPosition(int position)
{
    if (position != QATopPosition && position != QABottomPosition)
        return;
    m_quickAccessPosition = position;
    placeQuickAccess();
}

void RibbonBar::setFrameThemeEnabled(bool enabled)
{
    m_frameTheme = enabled;
    m_appliedTheme = -1;
    applyTheme();
}

void RibbonBar::setMinimized(bool minimized)
{
    if (minimized == m_minimized)
        return;
    if (m_popup && m_popup->isVisible())
        m_popup->hide();
    m_minimized = minimized;
    m_stack->setVisible(!minimized);
    emit minimizationChanged(minimized);
}

void RibbonBar::tabClicked(int index)
{
    if (!m_minimized || index < 0)
        return;
    m_tabs->setCurrentIndex(index);
    showPagePopup();
}

void RibbonBar::showPagePopup()
{
    if (!m_popup) {
        m_popup = new QFrame(this, Qt::Popup);
        m_popup->setObjectName(QStringLiteral("ribbonPagePopup"));
        m_popup->setFrameShape(QFrame::Box);
        auto* layout = new QVBoxLayout(m_popup);
        layout->setContentsMargins(1, 1, 1, 1);
        m_popup->installEventFilter(this);
    }
    m_popup->layout()->addWidget(m_stack);
    m_stack->show();
    const QPoint topLeft = mapToGlobal(QPoint(0, m_tabRow->geometry().bottom() + 1));
    m_popup->setGeometry(QRect(topLeft, QSize(width(), kPageHeight + 2)));
    m_popup->show();
}

void RibbonBar::restorePageArea()
{
    m_layout->insertWidget(m_layout->indexOf(m_bottomRow), m_stack);
    m_stack->setVisible(!m_minimized);
}

bool RibbonBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_popup && event->type() == QEvent::Hide)
        restorePageArea();
    return QWidget::eventFilter(watched, event);
}

void RibbonBar::showEvent(QShowEvent* event)
{
    applyTheme();
    QWidget::showEvent(event);
}

void RibbonBar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && fontRule() != m_appliedFontRule) {
        m_appliedTheme = -1;
        applyTheme();
    }
}

// A widget under a style sheet keeps the font it was polished with: a font
// set on the bar later would not reach the buttons, titles and tabs. The
// sheet carries the bar's own size to them instead.
QString RibbonBar::fontRule() const
{
    if (!testAttribute(Qt::WA_SetFont))
        return QString();
    const QFont f = font();
    if (f.pointSizeF() > 0)
        return QStringLiteral("#ribbonBar QWidget { font-size: %1pt; }").arg(f.pointSizeF());
    return QStringLiteral("#ribbonBar QWidget { font-size: %1px; }").arg(f.pixelSize());
}

void RibbonBar::placeQuickAccess()
{
    QWidget* row = (m_quickAccessPosition == QABottomPosition) ? m_bottomRow : m_topRow;
    auto* rowLayout = static_cast<QHBoxLayout*>(row->layout());
    if (m_quickAccessBar->parentWidget() != row || rowLayout->indexOf(m_quickAccessBar) < 0)
        rowLayout->insertWidget(0, m_quickAccessBar);
    m_quickAccessBar->setVisible(m_quickAccessShown);
    m_topRow->setVisible(m_quickAccessShown && m_quickAccessPosition == QATopPosition);
    m_bottomRow->setVisible(m_quickAccessShown && m_quickAccessPosition == QABottomPosition);
}

// The buttons at the right of the tab row draw their own backgrounds: the
// base style's raised panel (left on after a menu closes) is near white and
// would swallow white text on the dark bars. Icons there are dark glyphs,
// so on a dark bar they sit on a plate of the page colour.
static QString barButtonRules(const OfficeStyle::ThemeColors& c)
{
    const bool darkBar = c.bar.lightness() < 128;
    const QColor hover = darkBar ? c.bar.lighter(130) : c.bar.darker(110);
    const QColor plate = darkBar ? c.page : QColor(Qt::transparent);
    const QColor plateHover = darkBar ? c.page.darker(112) : hover;
    return QStringLiteral(
        "#ribbonBarMenuButton { color: %1; background: transparent; border: 1px solid transparent;"
        " border-radius: 2px; padding: 1px 3px; }"
        "#ribbonBarMenuButton:hover, #ribbonBarMenuButton:pressed, #ribbonBarMenuButton:open"
        " { background: %2; border-color: %3; }"
        "#ribbonBarButton { color: %1; background: %4; border: 1px solid transparent; border-radius: 2px; }"
        "#ribbonBarButton:hover, #ribbonBarButton:pressed { background: %5; border-color: %3; }")
        .arg(c.barText.name(), hover.name(), c.border.name(), plate.name(QColor::HexArgb),
             plateHover.name());
}

void RibbonBar::applyTheme()
{
    const int theme = OfficeStyle::applicationTheme();
    if (theme == m_appliedTheme)
        return;
    m_appliedTheme = theme;
    const auto c = OfficeStyle::themeColors(theme);
    const QString frame = m_frameTheme ? c.border.name() : c.page.darker(112).name();
    m_appliedFontRule = fontRule();
    setStyleSheet(m_appliedFontRule + QStringLiteral(
        "#ribbonBar { background: %1; }"
        "#ribbonQuickAccessRow, #ribbonQuickAccessRowBelow, #ribbonTabRow { background: %1; }"
        "#ribbonQuickAccessBar { background: transparent; border: none; }"
        "#ribbonPageArea, #ribbonPagePopup { background: %2; border-top: 1px solid %6;"
        " border-bottom: 1px solid %6; }"
        "#ribbonPage, #ribbonGroup { background: %2; }"
        "#ribbonGroupTitle { color: %4; }"
        "#ribbonGroupSeparator { color: %6; }"
        "#ribbonTabs::tab { background: transparent; color: %5; padding: 4px 14px;"
        " border: 1px solid transparent; border-bottom: none; margin-top: 2px; }"
        "#ribbonTabs::tab:selected { background: %2; color: %7; border-color: %6; }"
        "#ribbonTabs::tab:hover:!selected { background: %8; }"
        "#ribbonSystemButton { background: %3; color: white; border: none;"
        " padding: 4px 16px; font-weight: bold; }"
        "#ribbonSystemButton:hover { background: %9; }")
        .arg(c.bar.name(), c.page.name(), c.accent.name(), c.groupTitle.name(),
             c.barText.name(), frame, c.accent.darker(110).name(),
             c.page.lighter(103).name(), c.accent.lighter(120).name())
        + barButtonRules(c));
}

} // namespace Qtitan
