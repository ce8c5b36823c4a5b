#pragma once

#include <QToolButton>

namespace Qtitan {

// Flat button of backstage pages; framed only under the mouse. With the text
// under the icon, a long text wraps onto a second line instead of being cut.
class RibbonBackstageButton : public QToolButton
{
    Q_OBJECT
public:
    explicit RibbonBackstageButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace Qtitan
