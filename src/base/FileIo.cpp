#include "base/FileIo.h"

#include "base/Descriptor.h"
#include "base/Error.h"
#include "base/TemporaryFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <csignal>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlune::fileio {
namespace {

constexpr qint64 kWritePiece = qint64(1) << 20;

Error failure(const char *verb, const QString &path, const QString &reason) { return fileError(verb, path, reason); }

Error systemFailure(const char *verb, const QString &path, int error) { return fileError(verb, path, error); }

QString kindOf(mode_t mode)
{
    return S_ISDIR(mode) ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
}

using base::Descriptor;

QString limitText(qint64 limit) { return QStringLiteral("the file is larger than %1 MB").arg(limit >> 20); }

// The file a link at `path` names, so that saving through a link keeps it.
QString resolvedTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

void syncFolderOf(const QByteArray &file)
{
    const qsizetype slash = file.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray(slash == 0 ? "/" : ".") : file.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // best effort: the rename itself has succeeded
        ::close(fd);
    }
}

void writeThroughTemporary(const QString &path, const QByteArray &bytes, bool durable, AtLink atLink)
{
    const QByteArray target = QFile::encodeName(atLink == AtLink::WriteThrough ? resolvedTarget(path) : path);
    struct stat old {};
    bool hadOld = ::lstat(target.constData(), &old) == 0;
    if (hadOld && S_ISLNK(old.st_mode))
        hadOld = false; // replaced as it is; what it names keeps its permissions
    else if (hadOld && !S_ISREG(old.st_mode))
        throw failure("write", path, kindOf(old.st_mode));

    removeLeftTemporaries(target);
    QByteArray temporary;
    Descriptor file(createLockedTemporary(target, temporary));
    if (file.get() < 0)
        throw systemFailure("write", path, errno);
    // Keeps the lock through the rename, after `file` is closed for its error.
    const Descriptor lock(::dup(file.get()));

    int error = lock.get() < 0 ? errno : writeFully(file.get(), bytes.constData(), bytes.size());
    if (error == 0 && hadOld) {
        // The new file keeps the old one's permissions and, where allowed, owner.
        const bool keptOwner = old.st_uid == ::geteuid() || ::fchown(file.get(), old.st_uid, old.st_gid) == 0;
        ::fchmod(file.get(), old.st_mode & (keptOwner ? 07777 : 0777));
    }
    if (error == 0 && durable && ::fsync(file.get()) != 0)
        error = errno;
    const int closeError = file.close();
    if (error == 0)
        error = closeError;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        throw systemFailure("write", path, error);
    }
    if (durable)
        syncFolderOf(target);
}

// An empty regular file at `path`, never through a link.
Descriptor openScratch(const QString &path, int access, mode_t mode)
{
    // O_NONBLOCK: a pipe in the way fails at once instead of waiting for a reader.
    Descriptor file(::open(QFile::encodeName(path).constData(),
                           access | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode));
    if (file.get() < 0)
        throw systemFailure("write", path, errno);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw failure("write", path, QStringLiteral("it is not a regular file"));
    return file;
}

} // namespace

QByteArray readAll(const QString &path, qint64 limit)
{
    const QByteArray native = QFile::encodeName(path);
    // Looked at before opening: opening a device or a pipe can block or act.
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        throw systemFailure("open", path, errno);
    if (!S_ISREG(info.st_mode))
        throw failure("open", path, kindOf(info.st_mode));

    Descriptor file(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        throw systemFailure("open", path, errno);
    // The name may have been replaced since it was looked at.
    if (::fstat(file.get(), &info) != 0)
        throw systemFailure("read", path, errno);
    if (!S_ISREG(info.st_mode))
        throw failure("open", path, kindOf(info.st_mode));
    if (limit >= 0 && info.st_size > limit)
        throw failure("open", path, limitText(limit));

    QByteArray bytes;
    bytes.reserve(qsizetype(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw systemFailure("read", path, errno);
        }
        if (got == 0)
            break;
        // A file that grows while it is read is held to the same limit.
        if (limit >= 0 && bytes.size() + got > limit)
            throw failure("open", path, limitText(limit));
        bytes.append(buffer, qsizetype(got));
    }
    return bytes;
}

void writeAtomically(const QString &path, const QByteArray &bytes, AtLink atLink)
{
    writeThroughTemporary(path, bytes, true, atLink);
}

void replaceFile(const QString &path, const QByteArray &bytes, AtLink atLink)
{
    writeThroughTemporary(path, bytes, false, atLink);
}

void writeScratch(const QString &path, const QByteArray &bytes)
{
    const QByteArray native = QFile::encodeName(path);
    Descriptor file = openScratch(path, O_WRONLY, 0666);
    int error = writeFully(file.get(), bytes.constData(), bytes.size());
    const int closeError = file.close();
    if (error == 0)
        error = closeError;
    if (error != 0) {
        ::unlink(native.constData());
        throw systemFailure("write", path, error);
    }
}

ScratchFile::ScratchFile(const QString &path) : m_path(path), m_fd(openScratch(path, O_RDWR, 0600).release()) {}

ScratchFile::~ScratchFile()
{
    ::close(m_fd);
    ::unlink(QFile::encodeName(m_path).constData());
}

QString systemText(int error) { return QString::fromStdString(std::generic_category().message(error)); }

Error fileError(const char *verb, const QString &path, const QString &reason)
{
    return Error(QStringLiteral("Cannot %1 \"%2\": %3").arg(QLatin1String(verb), path, reason));
}

Error fileError(const char *verb, const QString &path, int error) { return fileError(verb, path, systemText(error)); }

int writeFully(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        // One write of tens of megabytes took 25 times as long as the same
        // bytes in pieces of a megabyte (52 MB: 0.36 s against 0.014 s).
        const ssize_t written = ::write(fd, data, size_t(std::min<qint64>(size, kWritePiece)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= written;
    }
    return 0;
}

QByteArray randomSuffix()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray suffix(8, Qt::Uninitialized);
    for (char &c : suffix)
        c = alphabet[QRandomGenerator::global()->bounded(int(sizeof(alphabet) - 1))];
    return suffix;
}

void reportOversizeWritesAsErrors() { std::signal(SIGXFSZ, SIG_IGN); }

} // namespace vorlune::fileio
