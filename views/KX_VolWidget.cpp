#include "views/KX_VolWidget.h"

KX_VolWidget::KX_VolWidget(QWidget *parent)
    : QVTKOpenGLNativeWidget(parent)
{
}

void KX_VolWidget::cleanupContext()
{
    makeCurrent();
    emit contextAboutToBeLost();
    doneCurrent();
    QVTKOpenGLNativeWidget::cleanupContext();
}
