#include "platform/wordproc/ZipWriter.h"

#include <QDateTime>
#include <QIODevice>

#include <zlib.h>

#include <algorithm>

namespace {

void le16(QByteArray* b, quint16 v)
{
    b->append(static_cast<char>(v & 0xff));
    b->append(static_cast<char>(v >> 8));
}

void le32(QByteArray* b, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b->append(static_cast<char>((v >> (8 * i)) & 0xff));
}

// Raw deflate stream (no zlib header), as zip entries hold it.
bool deflateRaw(const QByteArray& in, QByteArray* out)
{
    z_stream s{};
    if (deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out->resize(static_cast<int>(deflateBound(&s, static_cast<uLong>(in.size()))));
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    s.avail_in = static_cast<uInt>(in.size());
    s.next_out = reinterpret_cast<Bytef*>(out->data());
    s.avail_out = static_cast<uInt>(out->size());
    const int rc = deflate(&s, Z_FINISH);
    out->resize(static_cast<int>(s.total_out));
    deflateEnd(&s);
    return rc == Z_STREAM_END;
}

} // namespace

ZipWriter::ZipWriter(QIODevice* device)
    : m_device(device)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    m_dosDate = static_cast<quint16>(((std::max(d.year(), 1980) - 1980) << 9) | (d.month() << 5) | d.day());
    m_dosTime = static_cast<quint16>((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
}

bool ZipWriter::put(const QByteArray& bytes)
{
    if (m_device->write(bytes) != bytes.size()) {
        m_error = m_device->errorString();
        return false;
    }
    m_offset += static_cast<quint32>(bytes.size());
    return true;
}

bool ZipWriter::addFile(const QString& name, const QByteArray& data)
{
    Entry e;
    e.name = name.toUtf8();
    e.size = static_cast<quint32>(data.size());
    e.crc = static_cast<quint32>(crc32(crc32(0L, Z_NULL, 0),
                                       reinterpret_cast<const Bytef*>(data.constData()),
                                       static_cast<uInt>(data.size())));
    QByteArray packed;
    if (deflateRaw(data, &packed) && packed.size() < data.size()) {
        e.method = 8;
    } else {
        packed = data;
        e.method = 0;
    }
    e.compressedSize = static_cast<quint32>(packed.size());
    e.offset = m_offset;

    QByteArray header;
    le32(&header, 0x04034b50);
    le16(&header, 20);          // version needed: deflate
    le16(&header, 0x0800);      // names are UTF-8
    le16(&header, e.method);
    le16(&header, m_dosTime);
    le16(&header, m_dosDate);
    le32(&header, e.crc);
    le32(&header, e.compressedSize);
    le32(&header, e.size);
    le16(&header, static_cast<quint16>(e.name.size()));
    le16(&header, 0);           // no extra field
    header += e.name;
    if (!put(header) || !put(packed))
        return false;
    m_entries.append(e);
    return true;
}

bool ZipWriter::finish()
{
    QByteArray dir;
    for (const Entry& e : m_entries) {
        le32(&dir, 0x02014b50);
        le16(&dir, 20);         // made by: version 2.0
        le16(&dir, 20);
        le16(&dir, 0x0800);
        le16(&dir, e.method);
        le16(&dir, m_dosTime);
        le16(&dir, m_dosDate);
        le32(&dir, e.crc);
        le32(&dir, e.compressedSize);
        le32(&dir, e.size);
        le16(&dir, static_cast<quint16>(e.name.size()));
        le16(&dir, 0);          // extra
        le16(&dir, 0);          // comment
        le16(&dir, 0);          // disk
        le16(&dir, 0);          // internal attributes
        le32(&dir, 0);          // external attributes
        le32(&dir, e.offset);
        dir += e.name;
    }
    const quint32 dirOffset = m_offset;
    QByteArray end;
    le32(&end, 0x06054b50);
    le16(&end, 0);
    le16(&end, 0);
    le16(&end, static_cast<quint16>(m_entries.size()));
    le16(&end, static_cast<quint16>(m_entries.size()));
    le32(&end, static_cast<quint32>(dir.size()));
    le32(&end, dirOffset);
    le16(&end, 0);
    return put(dir) && put(end);
}
