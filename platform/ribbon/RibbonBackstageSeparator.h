#pragma once

#include <QFrame>

namespace Qtitan {

// Thin line between backstage page sections. "orientation" accepts
// Qt::Horizontal / Qt::Vertical (1 / 2) and the frame shapes
// QFrame::HLine / QFrame::VLine (4 / 5); anything else keeps a horizontal line.
class RibbonBackstageSeparator : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(int orientation READ orientation WRITE setOrientation)
public:
    explicit RibbonBackstageSeparator(QWidget* parent = nullptr);

    int orientation() const { return m_orientation; }
    void setOrientation(int orientation);
    bool isVertical() const;

private:
    int m_orientation = Qt::Horizontal;
};

} // namespace Qtitan
