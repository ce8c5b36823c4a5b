#pragma once

#include <QPointer>
#include <QToolButton>
#include <QWidget>

class QFrame;
class QHBoxLayout;
class QMenu;
class QStackedWidget;
class QTabBar;
class QVBoxLayout;

namespace Qtitan {

class RibbonPage;
class RibbonQuickAccessBar;
class RibbonSystemButton;

// The ribbon: an optional quick-access row, a tab row (system button, page
// tabs, menus and buttons at the right) and the area showing the current page.
class RibbonBar : public QWidget
{
    Q_OBJECT
public:
    enum QuickAccessBarPosition { QATopPosition = 1, QABottomPosition = 2 };

    explicit RibbonBar(QWidget* parent = nullptr);

    RibbonPage* addPage(const QString& text);
    QList<RibbonPage*> pages() const { return m_pages; }
    int currentPageIndex() const;
    void setCurrentPageIndex(int index);

    // A menu button at the right of the tab row.
    QMenu* addMenu(const QString& text);
    using QWidget::addAction;
    // A button at the right of the tab row.
    QAction* addAction(const QIcon& icon, const QString& text, Qt::ToolButtonStyle style,
                       QMenu* menu = nullptr);

    // Creates the system button on first call; later calls return its action.
    QAction* addSystemButton(const QIcon& icon, const QString& text);
    RibbonSystemButton* getSystemButton() const { return m_systemButton; }

    RibbonQuickAccessBar* quickAccessBar() const { return m_quickAccessBar; }
    void showQuickAccess(bool show);
    bool isQuickAccessVisible() const { return m_quickAccessShown; }
    int quickAccessBarPosition() const { return m_quickAccessPosition; }
    void setQuickAccessBarPosition(int position);

    void setFrameThemeEnabled(bool enabled);
    bool isFrameThemeEnabled() const { return m_frameTheme; }

    bool isMinimized() const { return m_minimized; }
    void setMinimized(bool minimized);

signals:
    void minimizationChanged(bool minimized);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void tabClicked(int index);
    void showPagePopup();
    void restorePageArea();
    void placeQuickAccess();
    void applyTheme();
    QString fontRule() const;

    QVBoxLayout* m_layout = nullptr;
    QWidget* m_topRow = nullptr;
    QWidget* m_tabRow = nullptr;
    QHBoxLayout* m_tabRowLayout = nullptr;
    QHBoxLayout* m_rightLayout = nullptr;
    QTabBar* m_tabs = nullptr;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_bottomRow = nullptr;
    QFrame* m_popup = nullptr;
    RibbonSystemButton* m_systemButton = nullptr;
    RibbonQuickAccessBar* m_quickAccessBar = nullptr;
    QList<RibbonPage*> m_pages;
    int m_quickAccessPosition = QATopPosition;
    int m_appliedTheme = -1;
    QString m_appliedFontRule;
    bool m_quickAccessShown = false;
    bool m_frameTheme = false;
    bool m_minimized = false;
};

} // namespace Qtitan
