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
    // Not in Text mode, which drops every CR: lines may end in LF, CRLF or,
    // from old Macs, CR alone.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;

    static const QRegularExpression separators(QStringLiteral("[,*;\\t|\\s+]"));
    static const QRegularExpression lineEnds(QStringLiteral("\\r\\n|\\r|\\n"));
    QTextStream in(&file);
    const QStringList lines = in.readAll().split(lineEnds);
    int lineNumber = 0;
    bool first = true;
    for (const QString& line : lines) {
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
