#include "build/ZipWriter.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "base/TextCodecs.h"

#include <QDir>
#include <QFile>

#include <zip.h>

namespace vorlune::build {
namespace {

// The archive is assembled in memory and written in one go: libzip's own
// temporary-file path seeds a cryptographic random generator first, which
// costs more than packing a whole plugin.
class MemoryArchive {
public:
    MemoryArchive()
    {
        zip_error_init(&m_error);
        m_source = zip_source_buffer_create(nullptr, 0, 0, &m_error);
        if (m_source)
            m_archive = zip_open_from_source(m_source, ZIP_TRUNCATE, &m_error);
        if (!m_archive) {
            const QString text = QString::fromLocal8Bit(zip_error_strerror(&m_error));
            if (m_source)
                zip_source_free(m_source);
            zip_error_fini(&m_error);
            fail(text);
        }
        zip_source_keep(m_source); // still read after the archive is closed
    }
    ~MemoryArchive()
    {
        if (m_archive)
            zip_discard(m_archive);
        if (m_source)
            zip_source_free(m_source);
        zip_error_fini(&m_error);
    }
    MemoryArchive(const MemoryArchive &) = delete;
    MemoryArchive &operator=(const MemoryArchive &) = delete;

    void add(const QByteArray &name, const QByteArray &bytes)
    {
        // Names in the OEM code page, so no UTF-8 flag is set.
        zip_source_t *entry = zip_source_buffer(m_archive, copyOf(bytes), zip_uint64_t(bytes.size()), 1);
        if (!entry)
            fail(QString::fromLocal8Bit(zip_strerror(m_archive)));
        const zip_int64_t index = zip_file_add(m_archive, name.constData(), entry, ZIP_FL_ENC_CP437 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(entry);
            fail(QString::fromLocal8Bit(zip_strerror(m_archive)));
        }
        zip_set_file_compression(m_archive, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
    }

    QByteArray close()
    {
        if (zip_close(m_archive) != 0)
            fail(QString::fromLocal8Bit(zip_strerror(m_archive)));
        m_archive = nullptr;
        QByteArray bytes;
        zip_stat_t stat;
        if (zip_source_stat(m_source, &stat) != 0 || zip_source_open(m_source) != 0)
            fail(QStringLiteral("the archive could not be read back"));
        bytes.resize(qsizetype(stat.size));
        const zip_int64_t read = zip_source_read(m_source, bytes.data(), stat.size);
        zip_source_close(m_source);
        if (read != zip_int64_t(stat.size))
            fail(QStringLiteral("the archive could not be read back"));
        return bytes;
    }

private:
    static void *copyOf(const QByteArray &bytes)
    {
        void *copy = malloc(size_t(bytes.size()) + 1);
        if (copy)
            memcpy(copy, bytes.constData(), size_t(bytes.size()));
        return copy;
    }
    [[noreturn]] static void fail(const QString &text) { throw Error(text); }

    zip_error_t m_error;
    zip_source_t *m_source = nullptr;
    zip_t *m_archive = nullptr;
};

} // namespace

void writeZip(const QString &archivePath, const QString &baseFolder, const QStringList &files)
{
    MemoryArchive archive;
    const QDir base(baseFolder);
    for (const QString &file : files)
        archive.add(codecs::encodeOem(base.relativeFilePath(file)), fileio::readAll(file));
    fileio::writeAtomically(archivePath, archive.close());
}

} // namespace vorlune::build
