#pragma once

#include <QColor>
#include <QProxyStyle>

namespace Qtitan {

// Application style that carries the ribbon's colour theme and a few switches.
// Drawing of ordinary widgets is delegated to Fusion; the ribbon widgets read
// their colours from the current theme and follow themeChanged().
class OfficeStyle : public QProxyStyle
{
    Q_OBJECT
public:
    enum Theme {
        Office2007Blue = 0,
        Office2007Black = 1,
        Office2007Silver = 2,
        Office2007Aqua = 3,
        Windows7Scenic = 4,
        Office2010Silver = 5,
        Office2010Blue = 6,
        Office2010Black = 7,
        Office2013White = 8,
        Office2013Gray = 9,
        Office2013Dark = 10
    };

    struct ThemeColors {
        QColor bar;        // tab row and ribbon frame
        QColor page;       // background of the active page
        QColor accent;     // system button, backstage menu, focus marks
        QColor barText;    // text on the tab row
        QColor groupTitle; // group captions
        QColor border;
    };

    explicit OfficeStyle(QStyle* baseStyle = nullptr);

    // Themes 0 to 10; other values are refused and leave the theme as it was.
    void setTheme(int theme);
    int getTheme() const { return m_theme; }

    void setAnimationEnabled(bool enabled);
    bool isAnimationEnabled() const { return m_animation; }
    void setDPIAware(bool aware);
    bool isDPIAware() const { return m_dpiAware; }
    // "Ignored" means the platform look is kept for these elements.
    void setScrollBarsIgnored(bool ignored);
    bool isScrollBarsIgnored() const { return m_scrollBarsIgnored; }
    void setDialogsIgnored(bool ignored);
    bool isDialogsIgnored() const { return m_dialogsIgnored; }

    static ThemeColors themeColors(int theme);
    // Theme of the application style, or 0 when it is not an OfficeStyle.
    static int applicationTheme();

signals:
    void themeChanged(int theme);

private:
    int m_theme = Office2007Blue;
    bool m_animation = true;
    bool m_dpiAware = true;
    bool m_scrollBarsIgnored = true;
    bool m_dialogsIgnored = true;
};

} // namespace Qtitan
