#include "views/VolumeValueFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cmath>

int VolumeValueFile::truncated(double v)
{
    if (!std::isfinite(v))
        return 0;
    return static_cast<int>(std::max(-1e9, std::min(1e9, v)));
}

bool VolumeValueFile::read(const QString &path, QList<double> *values, int *largest,
                           QString *error)
{
    values->clear();
    *largest = -1000;
    error->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;

    static const QRegularExpression separators(QStringLiteral("[,*;\\t|\\s+]"));
    QTextStream in(&file);
    int lineNumber = 0;
    bool first = true;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++lineNumber;
        const QStringList fields = line.split(separators, Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        bool ok = false;
        const double v = fields.first().toDouble(&ok);
        if (!ok) {
            *error = QStringLiteral("第%1行不是数值：%2").arg(lineNumber).arg(fields.first());
            values->clear();
            return false;
        }
        values->append(v);
        if (first) {
            first = false;
            continue;
        }
        *largest = std::max(*largest, truncated(v));
    }
    return true;
}
