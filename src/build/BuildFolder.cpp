#include "build/BuildFolder.h"

#include "base/Error.h"
#include "base/FolderTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vorlune::build {
namespace {

using base::describeKind;
using base::systemText;

using Clock = std::chrono::steady_clock;

QByteArray encoded(const QString &path) { return QFile::encodeName(path); }

QString reason(int error) { return QString::fromLocal8Bit(systemText(error)); }

QString kindOf(mode_t mode) { return QString::fromLatin1(describeKind(mode)); }

bool sameFile(const struct ::stat &a, const struct ::stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

QString seconds(std::chrono::milliseconds wait) { return QString::number(double(wait.count()) / 1000.0, 'g', 3); }

// A lock or build folder of the wrong kind or of another user is left alone:
// whoever put it there has to say what becomes of it.
void refuseUnless(const QString &what, const QString &path, const struct ::stat &status, bool wantFolder)
{
    const bool kindFits = wantFolder ? S_ISDIR(status.st_mode) : S_ISREG(status.st_mode);
    if (!kindFits)
        throw Error(QStringLiteral("The %1 \"%2\" is %3, not %4; a build does not use or follow it. Remove it "
                                   "and build again.")
                        .arg(what, path, kindOf(status.st_mode),
                             wantFolder ? QStringLiteral("a folder") : QStringLiteral("a file")));
    if (status.st_uid != ::geteuid())
        throw Error(QStringLiteral("The %1 \"%2\" belongs to another user (uid %3; this build runs as uid %4). "
                                   "Remove it and build again.")
                        .arg(what, path)
                        .arg(status.st_uid)
                        .arg(::geteuid()));
}

// Opens the lock file, creating it, refusing whatever else has its name.
int openLockFile(const QString &path)
{
    const QByteArray name = encoded(path);
    struct ::stat status {};
    if (::lstat(name.constData(), &status) == 0)
        refuseUnless(QStringLiteral("build lock"), path, status, false);
    // O_NONBLOCK: should a pipe appear here after all, opening it must not wait.
    const int fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        if (::lstat(name.constData(), &status) == 0)
            refuseUnless(QStringLiteral("build lock"), path, status, false);
        throw Error(QStringLiteral("Cannot open the build lock \"%1\": %2").arg(path, reason(error)));
    }
    if (::fstat(fd, &status) != 0)
        status.st_mode = 0;
    try {
        refuseUnless(QStringLiteral("build lock"), path, status, false);
    } catch (...) {
        ::close(fd);
        throw;
    }
    return fd;
}

[[noreturn]] void cannotEmpty(const QString &folder, const QString &detail)
{
    throw Error(QStringLiteral("Cannot empty the build folder \"%1\": %2").arg(folder, detail));
}

void emptyFolder(int fd, const QString &folder)
{
    try {
        base::emptyFolder(fd, encoded(folder).toStdString());
    } catch (const base::FolderTreeError &error) {
        cannotEmpty(folder, QFile::decodeName(QByteArray(error.what())));
    }
}

// The path with the links on the way to its last name followed, as far as
// it exists; the rest is added as written.
QString resolvedParent(const QString &path)
{
    const QFileInfo info(path);
    QString existing = info.absolutePath();
    QStringList rest{info.fileName()};
    QString canonical = QFileInfo(existing).canonicalFilePath();
    while (canonical.isEmpty()) {
        const qsizetype slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return QDir::cleanPath(info.absoluteFilePath());
        rest.prepend(existing.mid(slash + 1));
        existing = slash == 0 ? QStringLiteral("/") : existing.left(slash);
        canonical = QFileInfo(existing).canonicalFilePath();
    }
    return QDir::cleanPath(canonical + QLatin1Char('/') + rest.join(QLatin1Char('/')));
}

// The lock lives beside the folder, so their parent must exist first.
QString lockBeside(const QString &folder)
{
    QDir().mkpath(QFileInfo(folder).absolutePath());
    return folder + QStringLiteral(".lock");
}

} // namespace

BuildFolder::Lock::Lock(const QString &path, std::chrono::milliseconds wait, const QString &folder) : m_path(path)
{
    const Clock::time_point deadline = Clock::now() + wait;
    std::chrono::milliseconds pause{10};
    for (;;) {
        m_fd.reset(openLockFile(path));
        bool waiting = false;
        if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) == 0) {
            // The build before removes the file as it lets go; a lock taken
            // on a file that is gone keeps no one out.
            struct ::stat named {};
            if (::fstat(m_fd.get(), &m_status) == 0 && ::lstat(encoded(path).constData(), &named) == 0 &&
                sameFile(named, m_status))
                return;
        } else if (errno == EWOULDBLOCK) {
            waiting = true;
        } else {
            throw Error(QStringLiteral("Cannot lock \"%1\": %2").arg(path, reason(errno)));
        }
        m_fd.reset();
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            throw Error(QStringLiteral("The build folder \"%1\" was still in use by another build after %2 "
                                       "seconds; try again when that build has ended.")
                            .arg(folder, seconds(wait)));
        if (waiting) {
            std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
            pause = std::min(pause * 2, std::chrono::milliseconds(200));
        }
    }
}

BuildFolder::Lock::~Lock()
{
    // Removed while still held, so the next build cannot lock a file that is
    // about to go; only if it is still this build's file.
    struct ::stat named {};
    const QByteArray name = encoded(m_path);
    if (::lstat(name.constData(), &named) == 0 && sameFile(named, m_status))
        ::unlink(name.constData());
}

BuildFolder::BuildFolder(const QString &folder, std::chrono::milliseconds wait)
    : m_path(folder), m_lock(lockBeside(folder), wait, folder)
{
    const QByteArray name = encoded(m_path);
    if (::lstat(name.constData(), &m_status) != 0) {
        if (errno != ENOENT)
            throw Error(QStringLiteral("Cannot read the build folder \"%1\": %2").arg(m_path, reason(errno)));
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            throw Error(QStringLiteral("Cannot create the build folder \"%1\": %2").arg(m_path, reason(errno)));
        if (::lstat(name.constData(), &m_status) != 0)
            throw Error(QStringLiteral("Cannot read the build folder \"%1\": %2").arg(m_path, reason(errno)));
    }
    refuseUnless(QStringLiteral("build folder"), m_path, m_status, true);

    m_folder.reset(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct ::stat opened {};
    if (m_folder.get() < 0 || ::fstat(m_folder.get(), &opened) != 0)
        throw Error(QStringLiteral("Cannot open the build folder \"%1\": %2").arg(m_path, reason(errno)));
    if (!sameFile(opened, m_status))
        throw Error(QStringLiteral("The build folder \"%1\" was replaced while the build opened it.").arg(m_path));
    refuseUnless(QStringLiteral("build folder"), m_path, opened, true);

    // A folder left by an earlier build must not leak stale files.
    emptyFolder(m_folder.get(), m_path);
    if (::fchmod(m_folder.get(), 0700) != 0)
        throw Error(
            QStringLiteral("Cannot set the permissions of the build folder \"%1\": %2").arg(m_path, reason(errno)));
    if (::mkdirat(m_folder.get(), "compile", 0777) != 0)
        throw Error(
            QStringLiteral("Cannot create the folder \"%1\": %2").arg(path(QStringLiteral("compile")), reason(errno)));
}

BuildFolder::~BuildFolder()
{
    try {
        emptyFolder(m_folder.get(), m_path);
    } catch (...) {
        return; // what is left is reported by the next build
    }
    // Only the folder this build used goes, never what took its place since.
    struct ::stat named {};
    const QByteArray name = encoded(m_path);
    if (::lstat(name.constData(), &named) == 0 && sameFile(named, m_status))
        ::rmdir(name.constData());
}

bool isInsideFolder(const QString &path, const QString &folder)
{
    const QString file = resolvedParent(path);
    const QString base = resolvedParent(folder);
    return file == base || file.startsWith(base + QLatin1Char('/'));
}

} // namespace vorlune::build
