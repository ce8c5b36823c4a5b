#include "platform/ribbon/RibbonBackstagePage.h"

namespace Qtitan {

RibbonBackstagePage::RibbonBackstagePage(QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

} // namespace Qtitan
