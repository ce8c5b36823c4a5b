#ifndef HW_MODEL_USERPROMPT_H
#define HW_MODEL_USERPROMPT_H

#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QWidget;

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
    // Titled boxes without parent and with one OK button, answered like the
    // titled information box above.
    static void informationOk(const QString& title, const QString& text);
    static void critical(const QString& title, const QString& text);
    // Runs dialog modally and returns its result.
    static int exec(QDialog* dialog);

    // File dialogs; an empty result means cancelled. The file answerer gets
    // the kind, caption, start folder and filter instead of a dialog.
    enum FileDialogKind { OpenFile, SaveFile, ExistingDirectory };
    using FileAnswerer = std::function<QString(FileDialogKind kind, const QString& caption,
                                               const QString& dir, const QString& filter)>;
    static QString getOpenFileName(QWidget* parent, const QString& caption,
                                   const QString& dir, const QString& filter);
    // The dialog's answer gets the chosen filter's suffix (withFilterSuffix).
    static QString getSaveFileName(QWidget* parent, const QString& caption,
                                   const QString& dir, const QString& filter,
                                   const QStringList& alsoKept = QStringList());
    static QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir);
    static void setFileAnswerer(FileAnswerer answerer);
    // A file name as a save dialog should return it: a name that ends with
    // none of the filters' patterns (";;"-separated filters, patterns such
    // as "*.1d.dat" in parentheses) gets the first pattern's suffix of the
    // selected filter (of the first filter when none is given), which the
    // dialog itself does not add. A name that ends with one of alsoKept
    // (suffixes such as ".pdf" that the caller takes besides the filters')
    // stays as typed too. An empty name stays empty.
    static QString withFilterSuffix(const QString& name, const QString& filters, const QString& selectedFilter,
                                    const QStringList& alsoKept = QStringList());

    // Installs answerers; an empty function restores the modal behaviour.
    static void setMessageAnswerer(MessageAnswerer answerer);
    static void setDialogAnswerer(DialogAnswerer answerer);
    static void setTitledMessageAnswerer(TitledMessageAnswerer answerer);

private:
    static MessageAnswerer& messageAnswerer();
    static DialogAnswerer& dialogAnswerer();
    static TitledMessageAnswerer& titledMessageAnswerer();
    static FileAnswerer& fileAnswerer();
};

#endif // HW_MODEL_USERPROMPT_H
