#include "platform/wordproc/WordInlineShape.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

WordInlineShape* WordInlineShape::fromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = file.readAll();

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format().toLower();
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return nullptr;

    auto* shape = new WordInlineShape;
    if (format == "png" || format == "jpeg" || format == "jpg" || format == "gif" || format == "bmp") {
        shape->m_data = bytes;
        shape->m_extension = format == "jpg" ? QStringLiteral("jpeg") : QString::fromLatin1(format);
    } else {
        // Other formats are not understood by every reader of the document.
        QBuffer png(&shape->m_data);
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        shape->m_extension = QStringLiteral("png");
    }

    // Resolutions are kept in whole dots per inch (3780 dots per metre is 96).
    const int dpiX = image.dotsPerMeterX() > 0 ? qMax(1, qRound(image.dotsPerMeterX() * 0.0254)) : 96;
    const int dpiY = image.dotsPerMeterY() > 0 ? qMax(1, qRound(image.dotsPerMeterY() * 0.0254)) : 96;
    shape->m_width = image.width() * 72.0 / dpiX;
    shape->m_height = image.height() * 72.0 / dpiY;
    return shape;
}

void WordInlineShape::setWidth(double points)
{
    if (!(points > 0))
        return;
    if (m_lockAspectRatio && m_width > 0)
        m_height *= points / m_width;
    m_width = points;
}

void WordInlineShape::setHeight(double points)
{
    if (!(points > 0))
        return;
    if (m_lockAspectRatio && m_height > 0)
        m_width *= points / m_height;
    m_height = points;
}

QString WordInlineShape::contentType() const
{
    return QStringLiteral("image/") + m_extension;
}
