#include "platform/ribbon/RibbonQuickAccessBar.h"

#include <QMenu>
#include <QToolButton>

namespace Qtitan {

RibbonQuickAccessBar::RibbonQuickAccessBar(QWidget* parent)
    : QToolBar(parent)
{
    setObjectName(QStringLiteral("ribbonQuickAccessBar"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(16, 16));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContentsMargins(0, 0, 0, 0);

    m_customizeAction = new QAction(tr("Customize Quick Access Toolbar"), this);
    m_customizeButton = new QToolButton(this);
    m_customizeButton->setAutoRaise(true);
    m_customizeButton->setArrowType(Qt::DownArrow);
    m_customizeButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_customizeButton->setDefaultAction(m_customizeAction);
    m_customizeButton->setArrowType(Qt::DownArrow);
    m_customizeButton->setFixedWidth(16);
    m_customizeWidgetAction = QToolBar::addWidget(m_customizeButton);
    connect(m_customizeAction, &QAction::triggered, this, &RibbonQuickAccessBar::customizeClicked);
}

QAction* RibbonQuickAccessBar::addAction(const QIcon& icon, const QString& text)
{
    auto* action = new QAction(icon, text, this);
    insertAction(m_customizeWidgetAction, action);
    return action;
}

void RibbonQuickAccessBar::setActionVisible(QAction* action, bool visible)
{
    if (!action || action == m_customizeWidgetAction || !actions().contains(action))
        return;
    action->setVisible(visible);
}

bool RibbonQuickAccessBar::isActionVisible(QAction* action) const
{
    return action && actions().contains(action) && action->isVisible();
}

void RibbonQuickAccessBar::customizeClicked()
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("quickAccessCustomizeMenu"));
    auto* header = menu.addSection(tr("Customize Quick Access Toolbar"));
    header->setEnabled(false);
    for (QAction* a : actions()) {
        if (a == m_customizeWidgetAction || a->isSeparator())
            continue;
        QAction* entry = menu.addAction(a->icon(), a->text());
        entry->setCheckable(true);
        entry->setChecked(a->isVisible());
        connect(entry, &QAction::toggled, this, [this, a](bool on) { setActionVisible(a, on); });
    }
    emit showCustomizeMenu(&menu);
    menu.exec(m_customizeButton->mapToGlobal(QPoint(0, m_customizeButton->height())));
}

} // namespace Qtitan
