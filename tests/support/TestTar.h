#pragma once

#include <QByteArray>
#include <QList>

#include <archive.h>
#include <archive_entry.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace vorlune::test {

struct TarEntry {
    QByteArray name;
    QByteArray bytes = {}; // contents of a file
    mode_t mode = S_IFREG | 0644;
    QByteArray link = {}; // the target of a symbolic link (S_IFLNK) or, for a file, a hard link to it
};

// A real gzip-compressed tarball made with libarchive, entries in the given order.
inline QByteArray makeTarGz(const QList<TarEntry> &entries)
{
    QByteArray out(qsizetype(4) << 20, '\0');
    size_t used = 0;
    archive *writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    archive_write_add_filter_gzip(writer);
    if (archive_write_open_memory(writer, out.data(), size_t(out.size()), &used) != ARCHIVE_OK)
        qFatal("libarchive: %s", archive_error_string(writer));
    for (const TarEntry &entry : entries) {
        archive_entry *header = archive_entry_new();
        archive_entry_set_pathname(header, entry.name.constData());
        archive_entry_set_mode(header, entry.mode);
        if (S_ISLNK(entry.mode)) {
            archive_entry_set_symlink(header, entry.link.constData());
        } else if (!entry.link.isEmpty()) {
            archive_entry_set_hardlink(header, entry.link.constData());
        } else if (S_ISREG(entry.mode)) {
            archive_entry_set_size(header, entry.bytes.size());
        }
        if (S_ISCHR(entry.mode))
            archive_entry_set_rdev(header, makedev(1, 3));
        if (archive_write_header(writer, header) != ARCHIVE_OK)
            qFatal("libarchive refused %s: %s", entry.name.constData(), archive_error_string(writer));
        if (S_ISREG(entry.mode) && entry.link.isEmpty() && !entry.bytes.isEmpty())
            archive_write_data(writer, entry.bytes.constData(), size_t(entry.bytes.size()));
        archive_entry_free(header);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    out.truncate(qsizetype(used));
    return out;
}

} // namespace vorlune::test
