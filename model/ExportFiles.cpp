#include "model/ExportFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLocale>
#include <QSaveFile>

QString ExportFiles::number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString ExportFiles::failedText(const QString& path)
{
    return QStringLiteral("导出失败：%1").arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

bool ExportFiles::writeWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && commitWhole(file, bytes);
}

bool ExportFiles::writePicture(const QImage& image, const QString& path, const QByteArray& format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format.isEmpty() ? QFileInfo(path).suffix().toLower().toLatin1() : format);
    writer.setQuality(quality);
    return writer.write(image) && writeWhole(path, bytes);
}

bool ExportFiles::commitWhole(QSaveFile& file, const QByteArray& bytes)
{
    // A short write and a failed flush are checked here: the commit does not
    // look at what its own final flush met (a full disk, a file size limit).
    if (file.write(bytes) == bytes.size() && file.flush() && file.commit())
        return true;
    file.cancelWriting();
    return false;
}
