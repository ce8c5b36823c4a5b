#include "model/UserPrompt.h"

#include <QDialog>
#include <QMessageBox>

#include <utility>

UserPrompt::MessageAnswerer& UserPrompt::messageAnswerer()
{
    static MessageAnswerer answerer;
    return answerer;
}

UserPrompt::DialogAnswerer& UserPrompt::dialogAnswerer()
{
    static DialogAnswerer answerer;
    return answerer;
}

UserPrompt::TitledMessageAnswerer& UserPrompt::titledMessageAnswerer()
{
    static TitledMessageAnswerer answerer;
    return answerer;
}

void UserPrompt::information(const QString& title, const QString& text)
{
    if (titledMessageAnswerer()) {
        titledMessageAnswerer()(title, text);
        return;
    }
    if (messageAnswerer()) {
        messageAnswerer()(text);
        return;
    }
    QMessageBox::information(nullptr, title, text, QMessageBox::Yes, QMessageBox::NoButton);
}

void UserPrompt::information(const QString& text)
{
    if (messageAnswerer()) {
        messageAnswerer()(text);
        return;
    }
    QMessageBox box;
    box.setText(text);
    box.exec();
}

int UserPrompt::exec(QDialog* dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    if (dialogAnswerer())
        return dialogAnswerer()(dialog);
    return dialog->exec();
}

void UserPrompt::setMessageAnswerer(MessageAnswerer answerer)
{
    messageAnswerer() = std::move(answerer);
}

void UserPrompt::setDialogAnswerer(DialogAnswerer answerer)
{
    dialogAnswerer() = std::move(answerer);
}

void UserPrompt::setTitledMessageAnswerer(TitledMessageAnswerer answerer)
{
    titledMessageAnswerer() = std::move(answerer);
}
