#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

#include <zip.h>

namespace vorlune::test {

inline constexpr int kNoUnixMode = -1;

struct ZipEntry {
    QByteArray name; // a trailing "/" makes a folder entry
    QByteArray bytes;
    int mode = kNoUnixMode; // Unix type and permissions, stored in the external attributes
    bool stored = false;    // uncompressed, so the test can damage its bytes
};

// A real archive made with libzip, entries in the given order, names as given.
inline QByteArray makeZip(const QList<ZipEntry> &entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    zip_source_keep(source);
    for (const ZipEntry &entry : entries) {
        zip_int64_t index;
        if (entry.name.endsWith('/')) {
            index = zip_dir_add(archive, entry.name.chopped(1).constData(), ZIP_FL_ENC_UTF_8);
        } else {
            zip_source_t *bytes =
                zip_source_buffer(archive, entry.bytes.constData(), zip_uint64_t(entry.bytes.size()), 0);
            index = zip_file_add(archive, entry.name.constData(), bytes, ZIP_FL_ENC_UTF_8);
        }
        if (index < 0)
            qFatal("libzip refused the entry %s: %s", entry.name.constData(), zip_strerror(archive));
        if (entry.stored)
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
        if (entry.mode == kNoUnixMode)
            zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_DOS, 0);
        else
            zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(entry.mode) << 16);
    }
    if (zip_close(archive) != 0)
        qFatal("libzip could not write the archive: %s", zip_strerror(archive));
    QByteArray bytes;
    zip_stat_t stat;
    zip_source_stat(source, &stat);
    zip_source_open(source);
    bytes.resize(qsizetype(stat.size));
    zip_source_read(source, bytes.data(), stat.size);
    zip_source_close(source);
    zip_source_free(source);
    zip_error_fini(&error);
    return bytes;
}

struct ZipContent {
    QByteArray bytes;
    zip_uint8_t system = 0;
    mode_t mode = 0;
};

// Every entry of an archive by name; empty when it cannot be opened.
inline QMap<QByteArray, ZipContent> readZip(const QByteArray &zip)
{
    QMap<QByteArray, ZipContent> content;
    zip_source_t *source = zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, nullptr);
    zip_t *archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, nullptr);
    if (!archive) {
        zip_source_free(source);
        return content;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        ZipContent entry;
        zip_uint32_t attributes = 0;
        zip_file_get_external_attributes(archive, zip_uint64_t(i), 0, &entry.system, &attributes);
        entry.mode = mode_t(attributes >> 16);
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        entry.bytes.resize(qsizetype(stat.size));
        zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        zip_fread(file, entry.bytes.data(), stat.size);
        zip_fclose(file);
        content.insert(QByteArray(stat.name), entry);
    }
    zip_discard(archive);
    return content;
}

} // namespace vorlune::test
