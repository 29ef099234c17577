#include "base/TemporaryFiles.h"

#include "base/Descriptor.h"
#include "base/FileIo.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlune::fileio {
namespace {

constexpr int kSuffixLength = 8;

struct SplitPath {
    QByteArray folder; // with its trailing "/", or empty for the current folder
    QByteArray prefix; // ".<name>.tmp-"
};

SplitPath split(const QByteArray &target)
{
    const qsizetype slash = target.lastIndexOf('/');
    // Room for the prefix and suffix within the longest name a folder holds.
    const QByteArray name = target.mid(slash + 1).left(200);
    return {slash < 0 ? QByteArray() : target.left(slash + 1), '.' + name + ".tmp-"};
}

bool isSuffix(const char *text)
{
    int length = 0;
    for (; text[length]; ++length) {
        const char c = text[length];
        if (length == kSuffixLength || !((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return length == kSuffixLength;
}

// Removes `name` in `folder` when it is a file of ours that nobody holds.
void removeIfLeft(int folder, const char *name)
{
    const base::Descriptor file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    if (file.get() < 0 || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != ::geteuid())
        return;
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
        return; // a live writer's
    // Still the file that was opened: the name may have been renamed away.
    struct stat named {};
    if (::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino)
        ::unlinkat(folder, name, 0);
}

} // namespace

int createLockedTemporary(const QByteArray &target, QByteArray &temporary)
{
    const SplitPath parts = split(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = parts.folder + parts.prefix + randomSuffix();
        // O_EXCL never opens what is already there, a planted link included.
        base::Descriptor file(
            ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.get() < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // A sweeper of another writer may have taken the fresh file for a
        // leftover between its creation and the lock: it is removing it, or
        // has removed it, so another name is tried.
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK)
                continue;
            // A file system without locks: no sweeper can lock there either,
            // so nothing is removed from under the write.
            return file.release();
        }
        struct stat status {};
        if (::fstat(file.get(), &status) == 0 && status.st_nlink > 0)
            return file.release();
    }
    errno = EEXIST;
    return -1;
}

void removeLeftTemporaries(const QByteArray &target)
{
    const SplitPath parts = split(target);
    const base::Descriptor folder(
        ::open(parts.folder.isEmpty() ? "." : parts.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return;
    const int listed = ::dup(folder.get());
    DIR *dir = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        if (qstrncmp(entry->d_name, parts.prefix.constData(), size_t(parts.prefix.size())) == 0 &&
            isSuffix(entry->d_name + parts.prefix.size()))
            removeIfLeft(folder.get(), entry->d_name);
    }
    ::closedir(dir);
}

} // namespace vorlune::fileio
