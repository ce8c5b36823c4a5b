#include "shell/AboutDialog.h"

#include <QPixmap>
#include <QPointer>

#include "model/UserPrompt.h"

namespace Qtitan {

namespace {
const char* const kVendor = "Tervalic Ribbon Components";
}

AboutDialog::AboutDialog(QWidget* parent)
    : QMessageBox(parent)
{
}

void AboutDialog::showAboutBox(QWidget* parent, const QString& title, const QString& component,
                               const QString& version)
{
    const QString text = QMessageBox::tr("<h3>%1</h3><p>This program uses %2 version %3.</p>")
                             .arg(QString::fromLatin1(kVendor), component, version);
    const QString info = QMessageBox::tr(
        "<p>The ribbon components give the program its ribbon bar, pages, quick-access "
        "bar and backstage view.</p><p>www.tervalic.example</p>"
        "<p>Copyright (C) Tervalic. All rights reserved.</p>");

    auto* box = new AboutDialog(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(title.isEmpty() ? tr("About") + QLatin1Char(' ') + QString::fromLatin1(kVendor)
                                        : title);
    box->setText(text);
    box->setInformativeText(info);
    const QPixmap pixmap(QStringLiteral(":/res/qtitan.png"));
    if (!pixmap.isNull())
        box->setIconPixmap(pixmap);

    QPointer<AboutDialog> guard(box);
    UserPrompt::exec(box);
    // A real run deleted the box already; an answered one goes here.
    if (guard)
        guard->deleteLater();
}

} // namespace Qtitan
