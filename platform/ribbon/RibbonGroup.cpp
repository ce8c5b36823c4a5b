#include "platform/ribbon/RibbonGroup.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace Qtitan {

namespace {
const int kRows = 3;
const int kSmallHeight = 24;
}

RibbonGroup::RibbonGroup(const QString& title, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ribbonGroup"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 3, 4, 1);
    outer->setSpacing(1);

    auto* content = new QWidget(this);
    m_grid = new QGridLayout(content);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setHorizontalSpacing(2);
    m_grid->setVerticalSpacing(1);
    for (int r = 0; r < kRows; ++r)
        m_grid->setRowMinimumHeight(r, kSmallHeight);
    outer->addWidget(content, 1);

    m_title = new QLabel(title, this);
    m_title->setObjectName(QStringLiteral("ribbonGroupTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    outer->addWidget(m_title, 0);
}

QString RibbonGroup::title() const
{
    return m_title->text();
}

void RibbonGroup::setTitle(const QString& title)
{
    m_title->setText(title);
}

QAction* RibbonGroup::addAction(const QIcon& icon, const QString& text, Qt::ToolButtonStyle style,
                                QMenu* menu, QToolButton::ToolButtonPopupMode mode)
{
    auto* action = new QAction(icon, text, this);
    if (menu)
        action->setMenu(menu);
    QWidget::addAction(action); // so actions() lists the group's commands in order

    auto* button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setToolButtonStyle(style);
    // A split button only makes sense with a menu behind it; without one the
    // style would still draw the arrow.
    button->setPopupMode(menu ? mode : QToolButton::DelayedPopup);
    button->setDefaultAction(action);

    // A page shown as a popup (minimised ribbon) closes once a command runs.
    connect(action, &QAction::triggered, this, [this] {
        QWidget* top = window();
        if (top && (top->windowFlags() & Qt::Popup) == Qt::Popup)
            top->close();
    });

    if (style == Qt::ToolButtonTextUnderIcon) {
        button->setIconSize(QSize(32, 32));
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        button->setMinimumWidth(44);
        placeLarge(button);
    } else {
        button->setIconSize(QSize(16, 16));
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        button->setFixedHeight(kSmallHeight - 1);
        placeSmall(button);
    }
    return action;
}

void RibbonGroup::addWidget(QWidget* widget)
{
    if (!widget)
        return;
    widget->setParent(this);
    if (widget->sizeHint().height() > kSmallHeight + kSmallHeight / 2)
        placeLarge(widget);
    else
        placeSmall(widget);
    widget->show();
}

QToolButton* RibbonGroup::buttonForAction(QAction* action) const
{
    if (!action)
        return nullptr;
    for (auto* button : findChildren<QToolButton*>()) {
        if (button->defaultAction() == action)
            return button;
    }
    return nullptr;
}

void RibbonGroup::placeLarge(QWidget* w)
{
    ++m_column;
    m_smallRow = kRows;
    m_grid->addWidget(w, 0, m_column, kRows, 1);
}

void RibbonGroup::placeSmall(QWidget* w)
{
    if (m_smallRow >= kRows) {
        ++m_column;
        m_smallRow = 0;
    }
    m_grid->addWidget(w, m_smallRow, m_column, 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
    ++m_smallRow;
}

} // namespace Qtitan
