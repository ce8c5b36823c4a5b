#pragma once

namespace Qtitan {

// Process-wide setting for how ribbon tool tips break their text.
class RibbonToolTip
{
public:
    enum WrapMode { NoWrap = 0, NativeWrap = 1 };

    static void setWrapMode(int mode);
    static int wrapMode();
};

} // namespace Qtitan
