#pragma once

#include <QToolBar>

class QMenu;
class QToolButton;
class QWidgetAction;

namespace Qtitan {

// Small icon bar for frequent commands, with a customise button at its end
// whose menu lets the user show or hide each command.
class RibbonQuickAccessBar : public QToolBar
{
    Q_OBJECT
public:
    explicit RibbonQuickAccessBar(QWidget* parent = nullptr);

    using QToolBar::addAction;
    // Adds a command before the customise button.
    QAction* addAction(const QIcon& icon, const QString& text);

    QAction* actionCustomizeButton() const { return m_customizeAction; }
    void setActionVisible(QAction* action, bool visible);
    bool isActionVisible(QAction* action) const;

signals:
    // Emitted with the customise menu just before it is shown; receivers may
    // append entries.
    void showCustomizeMenu(QMenu* menu);

private slots:
    void customizeClicked();

private:
    QAction* m_customizeAction = nullptr;
    QToolButton* m_customizeButton = nullptr;
    QAction* m_customizeWidgetAction = nullptr;
};

} // namespace Qtitan
