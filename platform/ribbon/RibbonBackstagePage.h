#pragma once

#include <QWidget>

namespace Qtitan {

// Base of the pages shown in the backstage view; the entry in the backstage
// menu shows the page's window title.
class RibbonBackstagePage : public QWidget
{
    Q_OBJECT
public:
    explicit RibbonBackstagePage(QWidget* parent = nullptr);
};

} // namespace Qtitan
