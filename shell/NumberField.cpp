#include "shell/NumberField.h"

#include <QLineEdit>
#include <QLocale>

#include <cmath>

#include "model/UserPrompt.h"

QString NumberField::text(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

void NumberField::refuse(const QString& text)
{
    UserPrompt::critical(QStringLiteral("参数设置"), text);
}

bool NumberField::read(QLineEdit* edit, const QString& label, Rule rule, double& value)
{
    if (!edit)
        return false;
    const QString typed = edit->text();
    bool ok = false;
    const double number = typed.toDouble(&ok);
    QString need;
    if (rule == Positive)
        need = QStringLiteral("（须大于 0）");
    else if (rule == Negative)
        need = QStringLiteral("（须小于 0）");
    ok = ok && std::isfinite(number) && (rule != Positive || number > 0.0)
         && (rule != Negative || number < 0.0);
    if (ok) {
        value = number;
        return true;
    }
    // Back first: a focus change under the message must find the value in
    // force, not the refused text.
    edit->setText(text(value));
    refuse(QStringLiteral("%1 的值“%2”不是可用的数值%3，%1 仍为 %4。").arg(label, typed.trimmed(), need, text(value)));
    return false;
}
