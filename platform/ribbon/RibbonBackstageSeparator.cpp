#include "platform/ribbon/RibbonBackstageSeparator.h"

namespace Qtitan {

RibbonBackstageSeparator::RibbonBackstageSeparator(QWidget* parent)
    : QFrame(parent)
{
    setFrameShadow(QFrame::Plain);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor(0xd4, 0xd4, 0xd4));
    setPalette(pal);
    setOrientation(Qt::Horizontal);
}

void RibbonBackstageSeparator::setOrientation(int orientation)
{
    m_orientation = orientation;
    setFrameShape(isVertical() ? QFrame::VLine : QFrame::HLine);
}

bool RibbonBackstageSeparator::isVertical() const
{
    return m_orientation == Qt::Vertical || m_orientation == QFrame::VLine;
}

} // namespace Qtitan
