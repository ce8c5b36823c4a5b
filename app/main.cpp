#include "model/Data_Mathematical_Calc.h"
#include "model/SharedTypes.h"

#include <QCoreApplication>
#include <QTextStream>

// The main window is not built yet: the program reports what it is and ends.
int main(int argc, char *argv[])
{
    // GSL's default handler would end the program on bad numerical input.
    Data_Mathematical_Calc::initNumerics();
    registerSharedTypes();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Harnwick");
    QCoreApplication::setOrganizationName("Tervalic");
    QTextStream(stdout) << "Harnwick: the libraries are built; the main window is not part of this build yet.\n";
    return 0;
}
