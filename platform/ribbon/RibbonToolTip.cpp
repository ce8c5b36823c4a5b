#include "platform/ribbon/RibbonToolTip.h"

namespace Qtitan {

namespace {
int g_wrapMode = RibbonToolTip::NoWrap;
}

void RibbonToolTip::setWrapMode(int mode)
{
    g_wrapMode = (mode == NativeWrap) ? NativeWrap : NoWrap;
}

int RibbonToolTip::wrapMode()
{
    return g_wrapMode;
}

} // namespace Qtitan
