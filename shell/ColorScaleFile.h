#ifndef HW_SHELL_COLORSCALEFILE_H
#define HW_SHELL_COLORSCALEFILE_H

#include <QColor>
#include <QMap>
#include <QString>

// A colour preset file (.clr): a header line, then "position% red green
// blue" per line, split on , * ; tab | + and white space. A line with fewer
// than four fields ends the ramp; unreadable numbers count as 0.
class ColorScaleFile
{
public:
    // Replaces ramp by the file's stops. False when the file cannot be opened.
    static bool read(const QString& path, QMap<float, QColor>& ramp);
};

#endif // HW_SHELL_COLORSCALEFILE_H
