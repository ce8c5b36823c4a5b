#ifndef HW_SHELL_RIBBONWINDOW_H
#define HW_SHELL_RIBBONWINDOW_H

#include <QEvent>

#include "platform/ribbon/RibbonMainWindow.h"

class QAction;
class QActionGroup;
class QMenu;

namespace Qtitan {
class RibbonStyle;
}

// Carries a theme number to the window so that the system button follows the
// theme once the event loop runs.
class SetupStyleEvent : public QEvent
{
public:
    explicit SetupStyleEvent(int theme);
    int theme() const { return m_theme; }
    static QEvent::Type eventType();

private:
    int m_theme;
};

// The frame window under the main window: what every ribbon window shares and
// what is not about survey data (Options menu, About and minimise buttons,
// quick-access customise entries).
class RibbonWindow : public Qtitan::RibbonMainWindow
{
    Q_OBJECT

public:
    explicit RibbonWindow(QWidget* parent = nullptr);
    ~RibbonWindow() override;

    bool event(QEvent* event) override;

    // Object name of a theme's style entry; "Office2007Blue" for anything
    // without an entry of its own.
    static QString themeObjectName(int theme);
    // Theme of a style entry by its object name; 0 for unknown names.
    static int themeOfObjectName(const QString& name);

protected slots:
    void about();
    virtual void options(QAction* action);
    void optionsDialog();
    void includingAnimation(bool on);
    void maximizeToggle();
    void minimizationChanged(bool minimized);
    void optionsFont(QAction* action);
    void setDPIToggled(bool on);
    void setNativeScrollBarsToggled(bool on);
    void setNativeDialogsToggled(bool on);
    void showQuickAccessCustomizeMenu(QMenu* menu);
    void switchQuickAccessBarPosition();

protected:
    void createOptions();
    void checkThemeAction();
    void applySystemButtonStyle(int theme);

    QMenu* m_menuOptions = nullptr;
    QActionGroup* m_styleActions = nullptr;
    QAction* m_actionRibbonMinimize = nullptr;
    QAction* m_actionMenuRibbonMinimize = nullptr;
    QAction* m_actionDefault = nullptr;
    QAction* m_actionNormal = nullptr;
    QAction* m_actionLarge = nullptr;
    QAction* m_actionExLarge = nullptr;
    QActionGroup* m_fontActions = nullptr;
    QAction* m_actionShowBelowRibbon = nullptr;
    QAction* m_actionShowAboveRibbon = nullptr;
    int m_defaultFont = 8;
    Qtitan::RibbonStyle* m_ribbonStyle = nullptr;
};

#endif // HW_SHELL_RIBBONWINDOW_H
