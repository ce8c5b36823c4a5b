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

void KX_VolWidget::initializeGL()
{
    QVTKOpenGLNativeWidget::initializeGL();
    emit contextCreated();
}
