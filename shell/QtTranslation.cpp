#include "shell/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool QtTranslation::install(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    // "qt_zh_CN" names the catalogues of the Qt modules (qtbase_zh_CN, ...).
    if (!translator->load(QStringLiteral("qt_zh_CN"), QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
