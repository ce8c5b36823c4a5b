#pragma once

#include "platform/ribbon/OfficeStyle.h"

namespace Qtitan {

// The style the program installs with QApplication::setStyle.
class RibbonStyle : public OfficeStyle
{
    Q_OBJECT
public:
    RibbonStyle();
};

} // namespace Qtitan
