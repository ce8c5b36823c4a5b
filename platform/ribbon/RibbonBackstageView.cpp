#include "platform/ribbon/RibbonBackstageView.h"

#include "platform/ribbon/OfficeStyle.h"
#include "platform/ribbon/RibbonBar.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

namespace Qtitan {

RibbonBackstageView::RibbonBackstageView(RibbonBar* ribbonBar)
    : QWidget(ribbonBar)
    , m_ribbonBar(ribbonBar)
{
    setObjectName(QStringLiteral("ribbonBackstageView"));
    setAttribute(Qt::WA_StyledBackground, true);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus); // Escape closes the view
    hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_menu = new QWidget(this);
    m_menu->setObjectName(QStringLiteral("backstageMenu"));
    m_menu->setAttribute(Qt::WA_StyledBackground, true);
    m_menu->setFixedWidth(150);
    m_menuLayout = new QVBoxLayout(m_menu);
    m_menuLayout->setContentsMargins(0, 8, 0, 8);
    m_menuLayout->setSpacing(2);

    auto* back = new QToolButton(m_menu);
    back->setObjectName(QStringLiteral("backstageBack"));
    back->setText(QStringLiteral("\u2190"));
    back->setToolTip(tr("Back"));
    back->setAutoRaise(true);
    back->setFixedSize(36, 36);
    connect(back, &QToolButton::clicked, this, &RibbonBackstageView::closeBackstage);
    m_menuLayout->addWidget(back, 0, Qt::AlignLeft);
    m_menuLayout->addSpacing(8);
    m_menuLayout->addStretch(1);
    layout->addWidget(m_menu);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("backstagePages"));
    layout->addWidget(m_pages, 1);

    m_pageButtons = new QButtonGroup(this);
    m_pageButtons->setExclusive(true);

    if (auto* style = qobject_cast<OfficeStyle*>(QApplication::style()))
        connect(style, &OfficeStyle::themeChanged, this, [this] { applyTheme(); });
    applyTheme();
}

void RibbonBackstageView::addPage(QWidget* page)
{
    if (!page)
        return;
    m_pages->addWidget(page);
    auto* entry = new QPushButton(page->windowTitle(), m_menu);
    entry->setObjectName(QStringLiteral("backstagePageEntry"));
    entry->setCheckable(true);
    entry->setFlat(true);
    entry->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    entry->setMinimumHeight(34);
    m_pageButtons->addButton(entry);
    m_menuLayout->insertWidget(m_menuLayout->count() - 1, entry);
    QPointer<QWidget> guarded(page);
    connect(entry, &QPushButton::clicked, this, [this, guarded] {
        if (guarded)
            setActivePage(guarded);
    });
    if (m_pages->count() == 1)
        setActivePage(page);
}

QAction* RibbonBackstageView::addAction(const QIcon& icon, const QString& text)
{
    auto* action = new QAction(icon, text, this);
    QWidget::addAction(action);
    auto* entry = new QPushButton(icon, text, m_menu);
    entry->setObjectName(QStringLiteral("backstageCommand"));
    entry->setFlat(true);
    entry->setIconSize(QSize(20, 20));
    entry->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    entry->setMinimumHeight(34);
    m_menuLayout->insertWidget(m_menuLayout->count() - 1, entry);
    // The entry mirrors the action, as a tool button would for its default action.
    connect(action, &QAction::changed, entry, [entry, action] {
        entry->setText(action->text());
        entry->setIcon(action->icon());
        entry->setEnabled(action->isEnabled());
        entry->setVisible(action->isVisible());
        entry->setToolTip(action->toolTip());
    });
    connect(entry, &QPushButton::clicked, action, &QAction::trigger);
    // Connected before any caller's connection, so the view is closed first.
    connect(action, &QAction::triggered, this, &RibbonBackstageView::closeBackstage);
    return action;
}

void RibbonBackstageView::setActivePage(QWidget* page)
{
    const int index = m_pages->indexOf(page);
    if (index < 0)
        return;
    m_pages->setCurrentIndex(index);
    const auto buttons = m_pageButtons->buttons();
    // Page entries were added in page order.
    if (index < buttons.size())
        buttons.at(index)->setChecked(true);
}

QWidget* RibbonBackstageView::activePage() const
{
    return m_pages->currentWidget();
}

void RibbonBackstageView::open()
{
    if (m_open)
        return;
    QWidget* host = m_ribbonBar ? m_ribbonBar->window() : nullptr;
    if (!host)
        return;
    emit aboutToShow();
    m_open = true;
    if (parentWidget() != host)
        setParent(host);
    if (m_host != host) {
        if (m_host)
            m_host->removeEventFilter(this);
        m_host = host;
        host->installEventFilter(this);
    }
    applyTheme();
    fitToWindow();
    raise();
    show();
    setFocus(Qt::OtherFocusReason);
}

void RibbonBackstageView::closeBackstage()
{
    if (!m_open)
        return;
    emit aboutToHide();
    m_open = false;
    hide();
}

bool RibbonBackstageView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_host && event->type() == QEvent::Resize && m_open)
        fitToWindow();
    return QWidget::eventFilter(watched, event);
}

void RibbonBackstageView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        closeBackstage();
        return;
    }
    QWidget::keyPressEvent(event);
}

void RibbonBackstageView::fitToWindow()
{
    if (m_host)
        setGeometry(m_host->rect());
}

void RibbonBackstageView::applyTheme()
{
    const auto c = OfficeStyle::themeColors(OfficeStyle::applicationTheme());
    const QString accent = c.accent.name();
    const QString hover = c.accent.lighter(125).name();
    const QString checked = c.accent.darker(130).name();
    setStyleSheet(QStringLiteral(
        "#ribbonBackstageView { background: white; }"
        "#backstageMenu { background: %1; }"
        "#backstageMenu QPushButton { color: white; background: transparent; border: none;"
        " padding: 4px 8px 4px 18px; text-align: left; font-size: 10pt; }"
        "#backstageMenu QPushButton:hover { background: %2; }"
        "#backstageMenu QPushButton:checked { background: %3; }"
        "#backstageMenu QPushButton:disabled { color: #c0c0c0; }"
        "#backstageMenu #backstageBack { color: white; background: transparent; border: none;"
        " font-size: 18pt; }"
        "#backstageMenu #backstageBack:hover { background: %2; }")
        .arg(accent, hover, checked));
}

} // namespace Qtitan
