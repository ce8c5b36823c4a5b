#include "shell/ColorScaleFile.h"

#include <QFile>
#include <QRegExp>
#include <QStringList>
#include <QTextStream>

#include <cmath>

bool ColorScaleFile::read(const QString& path, QMap<float, QColor>& ramp)
{
    ramp.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    in.readLine(); // header
    const QRegExp separators(QStringLiteral("[,*;\\t|\\s+]"));
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split(separators, Qt::SkipEmptyParts);
        if (fields.size() < 4)
            break;
        float position = float(double(fields.at(0).toFloat()) / 100.0);
        // "nan" or "inf" read as numbers but place no stop; a NaN key would
        // also make the map merge every later stop into it.
        if (!std::isfinite(position))
            position = 0.0f;
        const QColor colour(fields.at(1).toInt(nullptr, 10), fields.at(2).toInt(nullptr, 10),
                            fields.at(3).toInt(nullptr, 10));
        ramp.insert(position, colour);
    }
    return true;
}
