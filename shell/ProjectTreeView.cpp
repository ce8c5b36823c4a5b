#include "shell/ProjectTreeView.h"

#include <QMouseEvent>

ProjectTreeView::ProjectTreeView(QWidget* parent)
    : QTreeView(parent)
{
}

void ProjectTreeView::mousePressEvent(QMouseEvent* event)
{
    m_doubleClicked = false;
    QTreeView::mousePressEvent(event);
}

void ProjectTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Before the base: it shows the row, and the dialogs that may open then
    // run the event loop, in which the put-off rename would start.
    m_doubleClicked = true;
    QTreeView::mouseDoubleClickEvent(event);
}

bool ProjectTreeView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Qt starts the rename put off by a click on the selected row as a
    // forced edit, without the click that caused it.
    if (trigger == AllEditTriggers && !event && m_doubleClicked) {
        m_doubleClicked = false;
        return false;
    }
    return QTreeView::edit(index, trigger, event);
}
