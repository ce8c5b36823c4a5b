#include "model/UserPrompt.h"

#include <QDialog>
#include <QFileDialog>
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

static bool answerTitled(const UserPrompt::TitledMessageAnswerer& titled,
                         const UserPrompt::MessageAnswerer& plain,
                         const QString& title, const QString& text)
{
    if (titled) {
        titled(title, text);
        return true;
    }
    if (plain) {
        plain(text);
        return true;
    }
    return false;
}

void UserPrompt::informationOk(const QString& title, const QString& text)
{
    if (!answerTitled(titledMessageAnswerer(), messageAnswerer(), title, text))
        QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
}

void UserPrompt::critical(const QString& title, const QString& text)
{
    if (!answerTitled(titledMessageAnswerer(), messageAnswerer(), title, text))
        QMessageBox::critical(nullptr, title, text, QMessageBox::Ok);
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

UserPrompt::FileAnswerer& UserPrompt::fileAnswerer()
{
    static FileAnswerer answerer;
    return answerer;
}

QString UserPrompt::getOpenFileName(QWidget* parent, const QString& caption,
                                    const QString& dir, const QString& filter)
{
    if (fileAnswerer())
        return fileAnswerer()(OpenFile, caption, dir, filter);
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString UserPrompt::getSaveFileName(QWidget* parent, const QString& caption,
                                    const QString& dir, const QString& filter, const QStringList& alsoKept)
{
    if (fileAnswerer())
        return fileAnswerer()(SaveFile, caption, dir, filter);
    QString selected;
    const QString name = QFileDialog::getSaveFileName(parent, caption, dir, filter, &selected);
    return withFilterSuffix(name, filter, selected, alsoKept);
}

// The suffixes of one filter's patterns: ".1d.dat" of "*.1d.dat"; patterns
// without a fixed suffix ("*") give none.
static QStringList filterSuffixes(const QString& filter)
{
    const int open = filter.lastIndexOf(QLatin1Char('('));
    const int close = filter.lastIndexOf(QLatin1Char(')'));
    const QString patterns = open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : filter;
    QStringList suffixes;
    for (const QString& pattern : patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString suffix = pattern.mid(1);
        if (pattern.startsWith(QLatin1String("*.")) && suffix.size() > 1 && !suffix.contains(QLatin1Char('*'))
            && !suffix.contains(QLatin1Char('?')))
            suffixes << suffix;
    }
    return suffixes;
}

QString UserPrompt::withFilterSuffix(const QString& name, const QString& filters, const QString& selectedFilter,
                                     const QStringList& alsoKept)
{
    if (name.isEmpty())
        return name;
    const QStringList all = filters.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    QStringList kept = alsoKept;
    for (const QString& filter : all)
        kept += filterSuffixes(filter);
    for (const QString& suffix : qAsConst(kept)) {
        if (name.endsWith(suffix))
            return name;
    }
    const QStringList chosen = filterSuffixes(selectedFilter.isEmpty() ? all.value(0) : selectedFilter);
    return chosen.isEmpty() ? name : name + chosen.first();
}

QString UserPrompt::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    if (fileAnswerer())
        return fileAnswerer()(ExistingDirectory, caption, dir, QString());
    return QFileDialog::getExistingDirectory(parent, caption, dir, QFileDialog::ShowDirsOnly);
}

void UserPrompt::setFileAnswerer(FileAnswerer answerer)
{
    fileAnswerer() = std::move(answerer);
}
