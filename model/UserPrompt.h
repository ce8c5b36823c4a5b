#ifndef HW_MODEL_USERPROMPT_H
#define HW_MODEL_USERPROMPT_H

#include <QString>

#include <functional>

class QDialog;

// The one place where the controller asks the user something modally:
// message boxes and modal dialogs. An answerer installed here replaces the
// modal run, so that tests (and scripted runs) never block on a dialog.
class UserPrompt
{
public:
    using MessageAnswerer = std::function<void(const QString& text)>;
    using DialogAnswerer = std::function<int(QDialog* dialog)>;

    // A modal message box without parent and without title.
    static void information(const QString& text);
    // Runs dialog modally and returns its result.
    static int exec(QDialog* dialog);

    // Installs answerers; an empty function restores the modal behaviour.
    static void setMessageAnswerer(MessageAnswerer answerer);
    static void setDialogAnswerer(DialogAnswerer answerer);

private:
    static MessageAnswerer& messageAnswerer();
    static DialogAnswerer& dialogAnswerer();
};

#endif // HW_MODEL_USERPROMPT_H
