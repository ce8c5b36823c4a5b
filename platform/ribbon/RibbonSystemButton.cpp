#include "platform/ribbon/RibbonSystemButton.h"

#include "platform/ribbon/RibbonBackstageView.h"

namespace Qtitan {

RibbonSystemButton::RibbonSystemButton(QWidget* parent)
    : QToolButton(parent)
{
    setObjectName(QStringLiteral("ribbonSystemButton"));
    setAutoRaise(false);
    setToolButtonStyle(Qt::ToolButtonFollowStyle);
    setIconSize(QSize(16, 16));
    setCursor(Qt::PointingHandCursor);
    connect(this, &QToolButton::clicked, this, &RibbonSystemButton::openBackstage);
}

void RibbonSystemButton::setBackstage(RibbonBackstageView* backstage)
{
    m_backstage = backstage;
}

void RibbonSystemButton::openBackstage()
{
    if (m_backstage)
        m_backstage->open();
}

} // namespace Qtitan
