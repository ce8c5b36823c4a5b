#include "gridding/KXSAxisWidget.h"

#include <cmath>
#include <initializer_list>

void KXSAxisWidget::setRange(double min, double max, int targetCount)
{
    setTicks(0.0f, 0.0f, 0);
    if (!std::isfinite(min) || !std::isfinite(max) || !(max > min) || targetCount < 1)
        return;

    const double raw = (max - min) / targetCount;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * magnitude;
        if (step >= raw)
            break;
    }
    const double first = std::ceil(min / step) * step;
    const int count = static_cast<int>(std::floor((max - first) / step + 1e-9)) + 1;
    setTicks(static_cast<float>(first), static_cast<float>(step), count > 0 ? count : 0);
}

void KXSAxisWidget::setTicks(float first, float step, int count)
{
    m_first = first;
    m_step = step;
    m_count = count;
}
