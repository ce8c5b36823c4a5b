#ifndef HW_KX_VOLWIDGET_H
#define HW_KX_VOLWIDGET_H

#include <QVTKOpenGLNativeWidget.h>

// The volume view's render widget. Qt drops a GL widget's context whenever
// the widget moves to another window (a central-widget switch does that)
// and makes a new one when it is shown again; the signal lets the scene
// free what it holds in the old context.
class KX_VolWidget : public QVTKOpenGLNativeWidget
{
    Q_OBJECT

public:
    explicit KX_VolWidget(QWidget *parent = nullptr);

signals:
    // The context is still current: release graphics resources now.
    void contextAboutToBeLost();

protected:
    void cleanupContext() override;
};

#endif
