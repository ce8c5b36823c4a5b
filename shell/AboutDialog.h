#ifndef HW_SHELL_ABOUTDIALOG_H
#define HW_SHELL_ABOUTDIALOG_H

#include <QMessageBox>

namespace Qtitan {

// The about box of the ribbon window; deletes itself when closed.
class AboutDialog : public QMessageBox
{
    Q_OBJECT

public:
    // Builds the box on parent and runs it modally. An empty title gives
    // "About" followed by the ribbon vendor's name.
    static void showAboutBox(QWidget* parent, const QString& title, const QString& component,
                             const QString& version);

private:
    explicit AboutDialog(QWidget* parent);
};

} // namespace Qtitan

#endif // HW_SHELL_ABOUTDIALOG_H
