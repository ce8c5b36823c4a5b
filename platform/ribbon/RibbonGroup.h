#pragma once

#include <QToolButton>
#include <QWidget>

class QGridLayout;
class QLabel;
class QMenu;

namespace Qtitan {

// A captioned block of a ribbon page. Large buttons (text under icon) and tall
// widgets take a full column; small buttons and short widgets stack three to
// a column.
class RibbonGroup : public QWidget
{
    Q_OBJECT
public:
    explicit RibbonGroup(const QString& title, QWidget* parent = nullptr);

    QString title() const;
    void setTitle(const QString& title);

    using QWidget::addAction;
    QAction* addAction(const QIcon& icon, const QString& text, Qt::ToolButtonStyle style,
                       QMenu* menu = nullptr,
                       QToolButton::ToolButtonPopupMode mode = QToolButton::MenuButtonPopup);
    void addWidget(QWidget* widget);

    // The tool button that shows an action added with addAction, or null.
    QToolButton* buttonForAction(QAction* action) const;

private:
    void placeLarge(QWidget* w);
    void placeSmall(QWidget* w);

    QLabel* m_title = nullptr;
    QGridLayout* m_grid = nullptr;
    int m_column = -1;
    int m_smallRow = 3; // 3: no open column of small items
};

} // namespace Qtitan
