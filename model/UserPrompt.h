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
    using TitledMessageAnswerer = std::function<void(const QString& title, const QString& text)>;

    // A modal message box without parent and without title.
    static void information(const QString& text);
    // An information box without parent, titled, with one Yes button and
    // no default button. Answered by the titled answerer, else by the
    // message answerer (text only).
    static void information(const QString& title, const QString& text);
    // Runs dialog modally and returns its result.
    static int exec(QDialog* dialog);

    // Installs answerers; an empty function restores the modal behaviour.
    static void setMessageAnswerer(MessageAnswerer answerer);
    static void setDialogAnswerer(DialogAnswerer answerer);
    static void setTitledMessageAnswerer(TitledMessageAnswerer answerer);

private:
    static MessageAnswerer& messageAnswerer();
    static DialogAnswerer& dialogAnswerer();
    static TitledMessageAnswerer& titledMessageAnswerer();
};

#endif // HW_MODEL_USERPROMPT_H
