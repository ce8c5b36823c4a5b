#include "platform/ribbon/RibbonPage.h"

#include "platform/ribbon/RibbonGroup.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>

namespace Qtitan {

RibbonPage::RibbonPage(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_title(title)
{
    setObjectName(QStringLiteral("ribbonPage"));
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(2, 2, 2, 2);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
}

RibbonGroup* RibbonPage::addGroup(const QString& title)
{
    auto* group = new RibbonGroup(title, this);
    Slot slot;
    slot.group = group;
    const int at = m_layout->count() - 1; // before the trailing stretch
    if (!m_groups.isEmpty()) {
        slot.separator = new QFrame(this);
        slot.separator->setObjectName(QStringLiteral("ribbonGroupSeparator"));
        slot.separator->setFrameShape(QFrame::VLine);
        slot.separator->setFrameShadow(QFrame::Plain);
        m_layout->insertWidget(at, slot.separator);
        m_layout->insertWidget(at + 1, group);
    } else {
        m_layout->insertWidget(at, group);
    }

    // The stand-in shown when the group does not fit; its menu holds the group.
    slot.button = new QToolButton(this);
    slot.button->setObjectName(QStringLiteral("ribbonGroupCollapsedButton"));
    slot.button->setText(title);
    slot.button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    slot.button->setIconSize(QSize(32, 32));
    slot.button->setAutoRaise(true);
    slot.button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    slot.button->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(slot.button);
    menu->setObjectName(QStringLiteral("ribbonGroupPopup"));
    slot.holder = new QWidget;
    auto* holderLayout = new QVBoxLayout(slot.holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    auto* holderAction = new QWidgetAction(menu);
    holderAction->setDefaultWidget(slot.holder); // the action owns the holder
    menu->addAction(holderAction);
    slot.button->setMenu(menu);
    slot.button->hide();
    m_layout->insertWidget(m_layout->indexOf(group) + 1, slot.button);

    m_groups.append(group);
    m_slots.append(slot);
    return group;
}

int RibbonPage::slotIndex(RibbonGroup* group) const
{
    for (int i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].group == group)
            return i;
    }
    return -1;
}

bool RibbonPage::isGroupCollapsed(RibbonGroup* group) const
{
    const int i = slotIndex(group);
    return i >= 0 && m_slots[i].collapsed;
}

QToolButton* RibbonPage::collapsedButton(RibbonGroup* group) const
{
    const int i = slotIndex(group);
    return i >= 0 ? m_slots[i].button : nullptr;
}

int RibbonPage::widthWith(const QVector<bool>& collapsed) const
{
    const QMargins m = m_layout->contentsMargins();
    int width = m.left() + m.right();
    for (int i = 0; i < m_slots.size(); ++i) {
        const Slot& s = m_slots[i];
        if (s.separator)
            width += s.separator->sizeHint().width();
        width += collapsed[i] ? s.button->sizeHint().width() : s.group->sizeHint().width();
    }
    return width;
}

QSize RibbonPage::minimumSizeHint() const
{
    // The page can shrink down to all groups collapsed.
    return QSize(widthWith(QVector<bool>(m_slots.size(), true)), QWidget::minimumSizeHint().height());
}

void RibbonPage::fitGroups()
{
    // Collapse groups from the rightmost leftwards until the rest fit; then
    // open again, left to right, those collapsed groups that still fit (a
    // group whose button is no narrower than itself gains nothing collapsed).
    const int available = width();
    QVector<bool> collapsed(m_slots.size(), false);
    for (int i = m_slots.size() - 1; i >= 0 && widthWith(collapsed) > available; --i)
        collapsed[i] = true;
    for (int i = 0; i < m_slots.size(); ++i) {
        if (!collapsed[i])
            continue;
        collapsed[i] = false;
        if (widthWith(collapsed) > available)
            collapsed[i] = true;
    }
    for (int i = 0; i < m_slots.size(); ++i)
        setCollapsed(m_slots[i], collapsed[i]);
}

void RibbonPage::setCollapsed(Slot& slot, bool collapsed)
{
    if (slot.collapsed == collapsed)
        return;
    slot.collapsed = collapsed;
    QMenu* menu = slot.button->menu();
    if (collapsed) {
        // The group's icon is that of its first command with one.
        if (slot.button->icon().isNull()) {
            for (QAction* action : slot.group->actions()) {
                if (!action->icon().isNull()) {
                    slot.button->setIcon(action->icon());
                    break;
                }
            }
        }
        m_layout->removeWidget(slot.group);
        slot.holder->layout()->addWidget(slot.group);
        slot.group->show();
        slot.button->show();
    } else {
        if (menu->isVisible())
            menu->hide();
        slot.holder->layout()->removeWidget(slot.group);
        m_layout->insertWidget(m_layout->indexOf(slot.button), slot.group);
        slot.group->show();
        slot.button->hide();
    }
    // The menu measures its items once; re-adding makes it measure the holder anew.
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        menu->removeAction(action);
        menu->addAction(action);
    }
}

void RibbonPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitGroups();
}

void RibbonPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    fitGroups();
}

} // namespace Qtitan
