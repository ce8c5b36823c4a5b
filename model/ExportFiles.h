#ifndef HW_MODEL_EXPORTFILES_H
#define HW_MODEL_EXPORTFILES_H

#include <QByteArray>
#include <QString>

class QImage;
class QSaveFile;

// What the exports and reports share about the files they write: numbers in
// file names and the message when a file could not be written.
class ExportFiles
{
public:
    // A number as it appears in a file name: the shortest text that reads
    // back to the same number, so that distinct numbers never share a name
    // (1000001 and 1000002, not both 1e+06), while ordinary numbers read as
    // ever (100, 12.5, 0.3).
    static QString number(double value);

    // Replaces the file at path by bytes, whole or not at all: what was
    // there stays unless every byte was written. False when the file was
    // not replaced.
    static bool writeWhole(const QString& path, const QByteArray& bytes);
    // The same through a save file already open for writing.
    static bool commitWhole(QSaveFile& file, const QByteArray& bytes);
    // Encodes image in memory in format (empty: the one the path's suffix
    // names), then replaces the file whole. False when nothing was written.
    static bool writePicture(const QImage& image, const QString& path, const QByteArray& format = QByteArray(),
                             int quality = 100);

    // The message that the file at path could not be written: "导出失败："
    // and the file in the platform's notation.
    static QString failedText(const QString& path);
};

#endif // HW_MODEL_EXPORTFILES_H
