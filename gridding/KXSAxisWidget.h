#ifndef HW_KXSAXISWIDGET_H
#define HW_KXSAXISWIDGET_H

// The ticks of one axis of the contour-map widget: first tick value, step
// and count, tick length and the gap between tick and label in pixels.
class KXSAxisWidget
{
public:
    KXSAxisWidget() = default;

    // Round ticks inside [min, max]: a step of 1, 2 or 5 times a power of
    // ten giving at most about targetCount ticks. No ticks for an empty or
    // non-finite range.
    void setRange(double min, double max, int targetCount = 6);
    void setTicks(float first, float step, int count);
    void setTickLength(int pixels) { m_tickLength = pixels; }
    void setLabelGap(int pixels) { m_labelGap = pixels; }

    float firstTick() const { return m_first; }
    float tickStep() const { return m_step; }
    int tickCount() const { return m_count; }
    int tickLength() const { return m_tickLength; }
    int labelGap() const { return m_labelGap; }

private:
    float m_first = 0.0f;
    float m_step = 0.0f;
    int m_count = 0;
    int m_tickLength = 5;
    int m_labelGap = 3;
};

#endif
