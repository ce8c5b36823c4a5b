#ifndef HW_ZIPARCHIVE_H
#define HW_ZIPARCHIVE_H

// Reading zip packages back with libzip, as an outside program would: the
// archive is opened with its consistency checked, and every entry is read
// whole, which checks its CRC.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <zip.h>

namespace hwtest {

struct ZipEntry {
    QByteArray data;
    int method = -1; // ZIP_CM_STORE, ZIP_CM_DEFLATE, ...
};

struct ZipArchive {
    QStringList names; // in archive order
    QMap<QString, ZipEntry> entries;
};

// False with a reason when the file is no consistent archive or an entry
// cannot be read back intact.
inline bool readZip(const QString& path, ZipArchive* out, QString* why)
{
    int code = 0;
    zip_t* zip = zip_open(path.toUtf8().constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!zip) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        *why = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        return false;
    }
    bool ok = true;
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; ok && i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st) != 0) {
            *why = QString::fromUtf8(zip_strerror(zip));
            ok = false;
            break;
        }
        ZipEntry entry;
        entry.method = st.comp_method;
        entry.data.resize(static_cast<int>(st.size));
        zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
        if (!file) {
            *why = QString::fromUtf8(zip_strerror(zip));
            ok = false;
            break;
        }
        const zip_int64_t read = zip_fread(file, entry.data.data(), st.size);
        // One more read reaches the end, where libzip compares the CRC.
        char extra = 0;
        const zip_int64_t tail = zip_fread(file, &extra, 1);
        if (read != static_cast<zip_int64_t>(st.size) || tail != 0) {
            *why = QString("cannot read %1 intact: %2").arg(QString::fromUtf8(st.name),
                                                            QString::fromUtf8(zip_file_strerror(file)));
            ok = false;
        }
        zip_fclose(file);
        const QString name = QString::fromUtf8(st.name);
        out->names << name;
        out->entries.insert(name, entry);
    }
    zip_close(zip);
    return ok;
}

// One entry's bytes; empty when the archive or the entry cannot be read.
inline QByteArray zipEntry(const QString& path, const QString& name)
{
    ZipArchive archive;
    QString why;
    return readZip(path, &archive, &why) ? archive.entries.value(name).data : QByteArray();
}

inline QStringList zipNames(const QString& path)
{
    ZipArchive archive;
    QString why;
    return readZip(path, &archive, &why) ? archive.names : QStringList();
}

} // namespace hwtest

#endif // HW_ZIPARCHIVE_H
