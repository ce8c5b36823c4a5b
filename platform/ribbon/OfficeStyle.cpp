#include "platform/ribbon/OfficeStyle.h"

#include <QApplication>
#include <QDebug>
#include <QStyleFactory>

namespace Qtitan {

OfficeStyle::OfficeStyle(QStyle* baseStyle)
    : QProxyStyle(baseStyle ? baseStyle : QStyleFactory::create(QStringLiteral("Fusion")))
{
}

void OfficeStyle::setTheme(int theme)
{
    if (theme < Office2007Blue || theme > Office2013Dark) {
        qDebug() << "OfficeStyle: unknown theme" << theme << "ignored";
        return;
    }
    if (theme == m_theme)
        return;
    m_theme = theme;
    emit themeChanged(theme);
}

void OfficeStyle::setAnimationEnabled(bool enabled)
{
    m_animation = enabled;
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, enabled);
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, enabled);
}

void OfficeStyle::setDPIAware(bool aware)
{
    m_dpiAware = aware;
}

void OfficeStyle::setScrollBarsIgnored(bool ignored)
{
    m_scrollBarsIgnored = ignored;
}

void OfficeStyle::setDialogsIgnored(bool ignored)
{
    m_dialogsIgnored = ignored;
}

OfficeStyle::ThemeColors OfficeStyle::themeColors(int theme)
{
    //                      bar          page         accent       bar text     group title  border
    static const char* table[][6] = {
        {"#bfdbff", "#dfe9f5", "#1e5aa8", "#15428b", "#3e6aaa", "#8db2e3"}, // 2007 Blue
        {"#535353", "#e0e0e0", "#2f2f2f", "#ffffff", "#4c4c4c", "#6e6e6e"}, // 2007 Black
        {"#d0d4dd", "#eef0f3", "#5a6e8a", "#2b2b2b", "#4c535c", "#a5acb5"}, // 2007 Silver
        {"#c3d9f0", "#e6f0fa", "#2c7bc3", "#1d4b78", "#2f5f8f", "#94b6da"}, // 2007 Aqua
        {"#dce6f4", "#f5f8fc", "#1c5aa6", "#1e395b", "#3c5a80", "#aebfd6"}, // Windows 7 Scenic
        {"#e9edf1", "#f7f8fa", "#3c6fb0", "#3b3b3b", "#5c6a7b", "#b6bcc6"}, // 2010 Silver
        {"#cfddee", "#e9f0f8", "#2a5699", "#1e395b", "#3c5a80", "#9fb6d3"}, // 2010 Blue
        {"#4b4b4b", "#d2d2d2", "#2b2b2b", "#ffffff", "#3c3c3c", "#6a6a6a"}, // 2010 Black
        {"#ffffff", "#ffffff", "#2b579a", "#444444", "#666666", "#d4d4d4"}, // 2013 White
        {"#f1f1f1", "#f8f8f8", "#2b579a", "#444444", "#666666", "#c6c6c6"}, // 2013 Light Gray
        {"#d4d4d4", "#e9e9e9", "#2b579a", "#262626", "#444444", "#ababab"}, // 2013 Dark Gray
    };
    if (theme < Office2007Blue || theme > Office2013Dark)
        theme = Office2007Blue;
    const auto& row = table[theme];
    return ThemeColors{QColor(row[0]), QColor(row[1]), QColor(row[2]),
                       QColor(row[3]), QColor(row[4]), QColor(row[5])};
}

int OfficeStyle::applicationTheme()
{
    if (auto* style = qobject_cast<OfficeStyle*>(QApplication::style()))
        return style->getTheme();
    return Office2007Blue;
}

} // namespace Qtitan
