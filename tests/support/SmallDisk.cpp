#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace vorlune::test {

SmallDisk::SmallDisk(int kilobytes) : m_dir(std::in_place)
{
    if (m_dir->isValid()) {
        m_folder = m_dir->path();
        mount("size=" + QByteArray::number(kilobytes) + "k,mode=0755");
    }
}

SmallDisk::SmallDisk(const QString &folder, int kilobytes) : m_folder(folder)
{
    mount("size=" + QByteArray::number(kilobytes) + "k,mode=0755");
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

void SmallDisk::mount(const QByteArray &options)
{
    m_options = options;
    m_mounted = ::geteuid() == 0 &&
                ::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs", 0, options.constData()) == 0;
}

bool SmallDisk::makeReadOnly()
{
    return m_mounted && ::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                                m_options.constData()) == 0;
}

QString SmallDisk::path(const QString &name) const { return m_folder + QLatin1Char('/') + name; }

void SmallDisk::fill()
{
    const int fd = ::open(QFile::encodeName(path(QStringLiteral("filler"))).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    // Large chunks first, then single bytes for what is left of the last block.
    static const char block[4096] = {};
    for (size_t chunk : {sizeof block, size_t(1)}) {
        while (::write(fd, block, chunk) == ssize_t(chunk)) {
        }
    }
    ::close(fd);
}

QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace vorlune::test
