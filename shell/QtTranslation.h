#ifndef HW_SHELL_QTTRANSLATION_H
#define HW_SHELL_QTTRANSLATION_H

class QCoreApplication;
class QTranslator;

// Qt's own Chinese texts (standard buttons of message boxes and dialogs),
// so that they match the program's messages whatever the system language.
class QtTranslation
{
public:
    // Loads "qt_zh_CN" from Qt's translations folder into a translator owned
    // by app and installs it. False (nothing installed) when it is missing.
    static bool install(QCoreApplication& app);
};

#endif // HW_SHELL_QTTRANSLATION_H
