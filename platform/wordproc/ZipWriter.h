#ifndef ZIPWRITER_H
#define ZIPWRITER_H

#include <QByteArray>
#include <QString>
#include <QVector>

class QIODevice;

// Writes a zip archive to a device: each entry deflated (or stored when
// that is not smaller), with CRC-32, then the central directory.
class ZipWriter
{
public:
    explicit ZipWriter(QIODevice* device);

    bool addFile(const QString& name, const QByteArray& data);
    // Writes the central directory; the archive is complete afterwards.
    bool finish();

    QString errorString() const { return m_error; }

private:
    struct Entry {
        QByteArray name;
        quint32 crc = 0;
        quint32 compressedSize = 0;
        quint32 size = 0;
        quint16 method = 0;
        quint32 offset = 0;
    };

    bool put(const QByteArray& bytes);

    QIODevice* m_device;
    QVector<Entry> m_entries;
    quint32 m_offset = 0;
    quint16 m_dosTime = 0;
    quint16 m_dosDate = 0;
    QString m_error;
};

#endif // ZIPWRITER_H
