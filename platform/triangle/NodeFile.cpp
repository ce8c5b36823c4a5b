#include "platform/triangle/NodeFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <cmath>

namespace {

// Splits a line into fields, dropping a '#' comment.
QStringList fieldsOf(QString line)
{
    const int hash = line.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        line.truncate(hash);
    static const QRegularExpression sep(QStringLiteral("[\\s,]+"));
    return line.split(sep, Qt::SkipEmptyParts);
}

QString real(double v)
{
    return QString::number(v, 'g', 17);
}

} // namespace

bool NodeFile::read(const QString& path, QString* error)
{
    vertices.clear();
    QFile file(path);
    if (!file.exists()) {
        *error = QStringLiteral("cannot find %1").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }

    QTextStream in(&file);
    int lineNo = 0;
    auto nextFields = [&](QStringList* out) {
        while (!in.atEnd()) {
            const QString line = in.readLine();
            ++lineNo;
            *out = fieldsOf(line);
            if (!out->isEmpty())
                return true;
        }
        return false;
    };
    auto fail = [&](const QString& why) {
        *error = QStringLiteral("%1, line %2: %3").arg(path).arg(lineNo).arg(why);
        vertices.clear();
        return false;
    };

    QStringList f;
    if (!nextFields(&f))
        return fail(QStringLiteral("no header line"));

    bool ok = false;
    const int count = f.value(0).toInt(&ok);
    if (!ok || count < 0)
        return fail(QStringLiteral("bad vertex count '%1'").arg(f.value(0)));
    const int dimension = f.size() > 1 ? f.at(1).toInt(&ok) : 2;
    if (!ok || dimension != 2)
        return fail(QStringLiteral("dimension must be 2"));
    attributeCount = f.size() > 2 ? f.at(2).toInt(&ok) : 0;
    if (!ok || attributeCount < 0)
        return fail(QStringLiteral("bad attribute count '%1'").arg(f.value(2)));
    const int markerColumns = f.size() > 3 ? f.at(3).toInt(&ok) : 0;
    if (!ok || markerColumns < 0 || markerColumns > 1)
        return fail(QStringLiteral("boundary marker count must be 0 or 1"));
    hasMarkers = markerColumns == 1;

    // 64 bits: the attribute count comes from the file and may be huge.
    const qint64 needed = 3 + qint64(attributeCount) + markerColumns;
    vertices.reserve(qMin(count, 1 << 16)); // the count may be a lie
    for (int i = 0; i < count; ++i) {
        if (!nextFields(&f))
            return fail(QStringLiteral("file ends after %1 of %2 vertices").arg(i).arg(count));
        if (f.size() < needed)
            return fail(QStringLiteral("expected %1 fields, found %2").arg(needed).arg(f.size()));
        const int index = f.at(0).toInt(&ok);
        if (!ok)
            return fail(QStringLiteral("bad vertex number '%1'").arg(f.at(0)));
        if (i == 0) {
            if (index != 0 && index != 1)
                return fail(QStringLiteral("vertex numbers must start at 0 or 1"));
            firstIndex = index;
        }
        Vertex v;
        bool okx = false, oky = false;
        v.x = f.at(1).toDouble(&okx);
        v.y = f.at(2).toDouble(&oky);
        if (!okx || !oky || !std::isfinite(v.x) || !std::isfinite(v.y))
            return fail(QStringLiteral("bad coordinates '%1 %2'").arg(f.at(1), f.at(2)));
        for (int a = 0; a < attributeCount; ++a) {
            const double value = f.at(3 + a).toDouble(&ok);
            if (!ok)
                return fail(QStringLiteral("bad attribute '%1'").arg(f.at(3 + a)));
            v.attributes.append(value);
        }
        if (hasMarkers) {
            v.marker = f.at(3 + attributeCount).toInt(&ok);
            if (!ok)
                return fail(QStringLiteral("bad boundary marker '%1'").arg(f.at(3 + attributeCount)));
        }
        vertices.append(v);
    }
    return true;
}

bool NodeFile::write(const QString& path, const QVector<int>& markers, QString* error) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QTextStream out(&file);
    out << vertices.size() << "  2  " << attributeCount << "  1\n";
    for (int i = 0; i < vertices.size(); ++i) {
        const Vertex& v = vertices.at(i);
        out << (i + firstIndex) << "  " << real(v.x) << "  " << real(v.y);
        for (double a : v.attributes)
            out << "  " << real(a);
        out << "  " << markers.value(i) << '\n';
    }
    out.flush();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
