#include "model/Data_Mathematical_Calc.h"
#include "model/SharedTypes.h"

#include <QApplication>
#include <QIcon>
#include <QSurfaceFormat>
#include <QVTKOpenGLNativeWidget.h>

#include "platform/ribbon/RibbonStyle.h"
#include "shell/MainWindow.h"
#include "shell/QtTranslation.h"

int main(int argc, char *argv[])
{
    // GSL's default handler would end the program on bad numerical input.
    Data_Mathematical_Calc::initNumerics();
    registerSharedTypes();

    // The VTK widget needs its OpenGL format set before any context exists.
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    QApplication app(argc, argv);
    QApplication::setStyle(new Qtitan::RibbonStyle);
    // Every message of the program is Chinese; Qt's standard buttons follow.
    QtTranslation::install(app);
    QApplication::setApplicationName(QStringLiteral("Harnwick"));
    QApplication::setOrganizationName(QStringLiteral("Tervalic"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Res/logo-02.png")));

    MainWindow window(nullptr);
    window.show();
    return app.exec();
}
