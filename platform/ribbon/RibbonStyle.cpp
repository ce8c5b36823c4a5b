#include "platform/ribbon/RibbonStyle.h"

namespace Qtitan {

RibbonStyle::RibbonStyle() = default;

} // namespace Qtitan
