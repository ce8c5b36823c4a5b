#ifndef HW_TESTS_REPORTS_REPORTFILES_H
#define HW_TESTS_REPORTS_REPORTFILES_H

// Reading back what the report writers produce: the parts of a .docx
// package, the pages of a PDF, and (when poppler-utils is installed) its
// text and a rendered page.

#include <QByteArray>
#include <QList>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include "common/ZipArchive.h"

#include <algorithm>

namespace reporttest {

inline QByteArray docxPart(const QString& path, const QString& name)
{
    return hwtest::zipEntry(path, name);
}

inline QStringList docxEntries(const QString& path)
{
    return hwtest::zipNames(path);
}

// The text of every w:t element of document.xml, one paragraph a line.
inline QString docxText(const QString& path)
{
    const QString xml = QString::fromUtf8(docxPart(path, "word/document.xml"));
    QString text;
    const QRegularExpression token("<w:t(?: [^>]*)?>([^<]*)</w:t>|</w:p>");
    auto it = token.globalMatch(xml);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(0) == "</w:p>")
            text += '\n';
        else
            text += m.captured(1);
    }
    return text;
}

inline int count(const QString& haystack, const QString& needle)
{
    return haystack.count(needle);
}

// Occurrences of pattern in the whole PDF file; -1 when it cannot be read.
inline int pdfMatches(const QString& path, const QRegularExpression& pattern)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    // Binary streams hold NUL bytes; take the whole file.
    const QByteArray bytes = f.readAll();
    const QString data = QString::fromLatin1(bytes.constData(), bytes.size());
    return data.count(pattern);
}

inline int pdfPageCount(const QString& path)
{
    return pdfMatches(path, QRegularExpression("/Type\\s*/Page(?![s\\w])"));
}

// Pictures in a PDF: its image objects, masks included.
inline int pdfImageCount(const QString& path)
{
    return pdfMatches(path, QRegularExpression("/Subtype\\s*/Image\\b"));
}

// Pictures in a .docx package.
inline int docxPictureCount(const QString& path)
{
    int pictures = 0;
    for (const QString& name : docxEntries(path))
        if (name.startsWith("word/media/"))
            ++pictures;
    return pictures;
}

// The pictures of a .docx package in the order they were added
// ("image2" before "image10").
inline QList<QImage> docxPictures(const QString& path)
{
    QStringList media;
    for (const QString& name : docxEntries(path))
        if (name.startsWith("word/media/"))
            media << name;
    std::sort(media.begin(), media.end(), [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    QList<QImage> pictures;
    for (const QString& name : media)
        pictures << QImage::fromData(docxPart(path, name));
    return pictures;
}

// Stands in for a line's section picture: a gradient from one colour to
// another at 96 dpi (a pixel is three quarters of a point).
inline QImage sectionImage(const QSize& size = QSize(800, 400), const QColor& from = Qt::blue,
                           const QColor& to = Qt::red)
{
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    QPainter painter(&image);
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    painter.fillRect(image.rect(), g);
    painter.end();
    return image;
}

// A picture "contour.png" left in the working directory by an earlier
// line, run or project (green): no report may take it.
inline bool writeStaleContourImage()
{
    return sectionImage(QSize(600, 300), Qt::green, Qt::darkGreen).save(QDir::current().filePath("contour.png"));
}

// Bounding box of the strongly coloured pixels (neither grey nor near
// white); a null rectangle when there are none.
inline QRect colouredBox(const QImage& image)
{
    QRect box;
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = QColor::fromRgb(img.pixel(x, y));
            if (c.saturation() > 120 && c.value() > 60)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

inline bool havePoppler()
{
    return !QStandardPaths::findExecutable("pdftotext").isEmpty()
        && !QStandardPaths::findExecutable("pdftoppm").isEmpty();
}

// Text of the whole PDF, pages separated by form feeds.
inline QString pdfText(const QString& path)
{
    QProcess p;
    p.start("pdftotext", {"-layout", "-enc", "UTF-8", path, "-"});
    if (!p.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Base names of the fonts the PDF uses (pdffonts), subset tags removed.
inline QStringList pdfFonts(const QString& path)
{
    QProcess p;
    p.start("pdffonts", {path});
    if (!p.waitForFinished(60000))
        return QStringList();
    QStringList fonts;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    for (int i = 2; i < lines.size(); ++i) {
        QString name = lines[i].section(' ', 0, 0, QString::SectionSkipEmpty);
        name.remove(QRegularExpression("^[A-Z]{6}\\+"));
        if (!name.isEmpty())
            fonts << name;
    }
    return fonts;
}

// Page (from 1) rendered at 50 dpi; a null image when it cannot be.
inline QImage pdfPage(const QString& path, int page, const QString& outStem)
{
    QProcess p;
    p.start("pdftoppm", {"-png", "-r", "50", "-f", QString::number(page), "-l", QString::number(page),
                         "-singlefile", path, outStem});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QImage();
    return QImage(outStem + ".png");
}

// Share of pixels that are not near white.
inline double inkShare(const QImage& image)
{
    if (image.isNull())
        return 0.0;
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    qint64 ink = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 200)
                ++ink;
    return static_cast<double>(ink) / (static_cast<double>(img.width()) * img.height());
}

} // namespace reporttest

#endif // HW_TESTS_REPORTS_REPORTFILES_H
