#include "platform/ribbon/RibbonPage.h"

#include "platform/ribbon/RibbonGroup.h"

#include <QFrame>
#include <QHBoxLayout>

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
    const int at = m_layout->count() - 1; // before the trailing stretch
    if (!m_groups.isEmpty()) {
        auto* line = new QFrame(this);
        line->setObjectName(QStringLiteral("ribbonGroupSeparator"));
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Plain);
        m_layout->insertWidget(at, line);
        m_layout->insertWidget(at + 1, group);
    } else {
        m_layout->insertWidget(at, group);
    }
    m_groups.append(group);
    return group;
}

} // namespace Qtitan
