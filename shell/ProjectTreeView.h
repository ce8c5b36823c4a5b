#ifndef HW_SHELL_PROJECTTREEVIEW_H
#define HW_SHELL_PROJECTTREEVIEW_H

#include <QTreeView>

class QMouseEvent;

// The project tree's view. A click on the selected row starts renaming it
// once the double-click interval has passed without a second click; a
// double-click shows the row and must not leave it in a rename editor, even
// when it lands on the selected row.
class ProjectTreeView : public QTreeView
{
    Q_OBJECT

public:
    explicit ProjectTreeView(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    // Set by a double-click until the next press: the rename that the first
    // click of the pair put off is not started then.
    bool m_doubleClicked = false;
};

#endif // HW_SHELL_PROJECTTREEVIEW_H
