#include "model/ExportFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

QString ExportFiles::number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString ExportFiles::failedText(const QString& path)
{
    return QStringLiteral("导出失败：%1").arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}
