#include "platform/ribbon/RibbonMainWindow.h"

#include "platform/ribbon/RibbonBar.h"

namespace Qtitan {

RibbonMainWindow::RibbonMainWindow(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
    m_ribbonBar = new RibbonBar(this);
    setMenuWidget(m_ribbonBar);
}

} // namespace Qtitan
