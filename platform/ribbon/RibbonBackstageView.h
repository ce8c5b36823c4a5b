#pragma once

#include <QPointer>
#include <QWidget>

class QButtonGroup;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace Qtitan {

class RibbonBar;

// Full-window view opened from the system button: a coloured menu of pages
// and commands on the left, the chosen page on the right.
class RibbonBackstageView : public QWidget
{
    Q_OBJECT
public:
    explicit RibbonBackstageView(RibbonBar* ribbonBar);

    // Adds a page; its window title is the menu entry. The first page added
    // is the one shown when the view opens.
    void addPage(QWidget* page);
    using QWidget::addAction;
    // A command entry; the view closes before the command runs.
    QAction* addAction(const QIcon& icon, const QString& text);

    void setActivePage(QWidget* page);
    QWidget* activePage() const;
    bool isOpen() const { return m_open; }

public slots:
    void open();
    void closeBackstage();

signals:
    void aboutToShow();
    void aboutToHide();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyTheme();
    void fitToWindow();

    QPointer<RibbonBar> m_ribbonBar;
    QWidget* m_menu = nullptr;
    QVBoxLayout* m_menuLayout = nullptr;
    QStackedWidget* m_pages = nullptr;
    QButtonGroup* m_pageButtons = nullptr;
    QPointer<QWidget> m_host;
    bool m_open = false;
};

} // namespace Qtitan
