#include "model/Data_Mathematical_Calc.h"
#include "model/SharedTypes.h"

#include <QApplication>
#include <QIcon>

#include "platform/ribbon/RibbonStyle.h"
#include "shell/MainWindow.h"

int main(int argc, char *argv[])
{
    // GSL's default handler would end the program on bad numerical input.
    Data_Mathematical_Calc::initNumerics();
    registerSharedTypes();

    QApplication app(argc, argv);
    QApplication::setStyle(new Qtitan::RibbonStyle);
    QApplication::setApplicationName(QStringLiteral("Harnwick"));
    QApplication::setOrganizationName(QStringLiteral("Tervalic"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Res/logo-02.png")));

    MainWindow window(nullptr);
    window.show();
    return app.exec();
}
