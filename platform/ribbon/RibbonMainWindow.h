#pragma once

#include <QMainWindow>

namespace Qtitan {

class RibbonBar;

// A main window whose menu area is a ribbon bar.
class RibbonMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit RibbonMainWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    RibbonBar* ribbonBar() const { return m_ribbonBar; }

private:
    RibbonBar* m_ribbonBar = nullptr;
};

} // namespace Qtitan
