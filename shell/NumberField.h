#ifndef HW_SHELL_NUMBERFIELD_H
#define HW_SHELL_NUMBERFIELD_H

#include <QString>

class QLineEdit;

// Reads a typed number that something goes on to use. Text that is no
// number (or one the use cannot take) is refused with a message naming the
// field, and the field shows again the value still in force.
class NumberField
{
public:
    enum Rule { AnyNumber, Positive, Negative };

    // True with value set to the typed number; false, value unchanged, when
    // refused.
    static bool read(QLineEdit* edit, const QString& label, Rule rule, double& value);
    // How a value in force is written back into its field.
    static QString text(double value);
    // Shows a refusal of typed values.
    static void refuse(const QString& text);
};

#endif // HW_SHELL_NUMBERFIELD_H
