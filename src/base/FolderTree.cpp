#include "base/FolderTree.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vorlune::base {
namespace {

std::string quoted(const std::string &path) { return "\"" + path + "\""; }

std::string joined(const std::string &rootPath, const std::string &path)
{
    return path.empty() ? rootPath : rootPath + "/" + path;
}

[[noreturn]] void fail(const std::string &what, const std::string &path, int error)
{
    throw FolderTreeError(what + " " + quoted(path) + ": " + systemText(error));
}

bool sameFile(const struct ::stat &a, const struct ::stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Reads through a duplicate so that `folder` stays open, from the start
// whatever was read through it before.
// `path` makes the folder's name for an error.
template <typename Path>
std::vector<std::string> namesIn(int folder, const Path &path)
{
    const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        fail("Cannot read the folder", path(), errno);
    DIR *dir = ::fdopendir(copy);
    if (!dir) {
        const int error = errno;
        ::close(copy);
        fail("Cannot read the folder", path(), error);
    }
    ::rewinddir(dir);
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry)
            break;
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0)
        fail("Cannot read the folder", path(), error);
    return names;
}

struct Level {
    std::string name;
    struct ::stat status;
    std::vector<std::string> names;
    std::size_t next = 0;
};

std::string joinedPath(const std::vector<std::string> &folders, const std::string *name)
{
    std::string path;
    for (const std::string &folder : folders)
        path += (path.empty() ? "" : "/") + folder;
    if (name)
        path += (path.empty() ? "" : "/") + *name;
    return path;
}

} // namespace

std::string FolderEntry::path() const { return joinedPath(folders, &name); }

void walkFolder(int root, const std::string &rootPath, const std::function<bool(const FolderEntry &)> &enter,
                const std::function<void(const FolderEntry &)> &leave)
{
    std::vector<Level> levels(1);
    std::vector<std::string> folders; // the names of levels[1...]
    if (::fstat(root, &levels[0].status) != 0)
        fail("Cannot read the folder", rootPath, errno);
    levels[0].names = namesIn(root, [&] { return rootPath; });
    const auto shown = [&](const std::string *name) { return joined(rootPath, joinedPath(folders, name)); };

    int current = root; // owned unless it is the root
    const auto closeCurrent = [&] {
        if (current != root)
            ::close(current);
    };
    try {
        while (true) {
            Level &level = levels.back();
            if (level.next == level.names.size()) {
                if (levels.size() == 1)
                    break;
                Level done = std::move(levels.back());
                levels.pop_back();
                folders.pop_back();
                int parent = root;
                if (levels.size() > 1) {
                    parent = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                    if (parent < 0)
                        fail("Cannot go back to the folder", shown(nullptr), errno);
                    struct ::stat status {};
                    if (::fstat(parent, &status) != 0 || !sameFile(status, levels.back().status)) {
                        ::close(parent);
                        throw FolderTreeError("The folder " + quoted(shown(nullptr)) +
                                              " was moved while it was walked");
                    }
                }
                closeCurrent();
                current = parent;
                if (leave)
                    leave(FolderEntry{current, done.name, done.status, folders});
                continue;
            }

            const std::string &name = level.names[level.next++];
            struct ::stat status {};
            if (::fstatat(current, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT)
                    continue; // gone since the folder was read
                fail("Cannot read", shown(&name), errno);
            }
            if (!enter(FolderEntry{current, name, status, folders}) || !S_ISDIR(status.st_mode))
                continue;

            const int child = ::openat(current, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0)
                fail("Cannot open the folder", shown(&name), errno);
            struct ::stat opened {};
            if (::fstat(child, &opened) != 0 || !sameFile(opened, status)) {
                ::close(child);
                throw FolderTreeError("The folder " + quoted(shown(&name)) + " was replaced while it was walked");
            }
            closeCurrent();
            current = child;
            Level below;
            below.name = name;
            below.status = status;
            folders.push_back(name);
            below.names = namesIn(current, [&] { return shown(nullptr); });
            levels.push_back(std::move(below));
        }
    } catch (...) {
        closeCurrent();
        throw;
    }
}

std::string describeKind(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "a file";
}

std::string systemText(int error) { return std::strerror(error); }

namespace {

void makeWritable(int parent, const std::string &name, const struct ::stat &status)
{
    if ((status.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmodat(parent, name.c_str(), (status.st_mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW);
}

// Walks the folder open as `folder` and removes what it holds.
void removeEntries(int folder, const std::string &shownPath, dev_t device, const RemovalPolicy &policy)
{
    const auto remove = [&](const FolderEntry &entry, int flags) {
        if (::unlinkat(entry.folder, entry.name.c_str(), flags) != 0 && !policy.keepGoing)
            fail("Cannot delete", joined(shownPath, entry.path()), errno);
    };
    const auto enter = [&](const FolderEntry &entry) {
        if (!S_ISDIR(entry.status.st_mode)) {
            remove(entry, 0);
            return false;
        }
        if (policy.stayOnDevice && entry.status.st_dev != device)
            return false;
        if (policy.makeWritable)
            makeWritable(entry.folder, entry.name, entry.status);
        if (policy.keepGoing) {
            // A folder that cannot be opened would end the walk: it stays.
            const Descriptor probe(
                ::openat(entry.folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            return probe.get() >= 0;
        }
        return true;
    };
    try {
        walkFolder(folder, shownPath, enter, [&](const FolderEntry &entry) { remove(entry, AT_REMOVEDIR); });
    } catch (const FolderTreeError &) {
        if (!policy.keepGoing)
            throw;
    }
}

} // namespace

void removeTree(int parent, const std::string &name, const std::string &shownPath, const RemovalPolicy &policy)
{
    struct ::stat status {};
    if (::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT || policy.keepGoing)
            return;
        fail("Cannot delete", shownPath, errno);
    }
    const bool folder = S_ISDIR(status.st_mode);
    if (folder) {
        if (policy.makeWritable)
            makeWritable(parent, name, status);
        const Descriptor inside(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (inside.get() < 0) {
            if (policy.keepGoing)
                return;
            fail("Cannot delete", shownPath, errno);
        }
        removeEntries(inside.get(), shownPath, status.st_dev, policy);
    }
    if (::unlinkat(parent, name.c_str(), folder ? AT_REMOVEDIR : 0) != 0 && errno != ENOENT && !policy.keepGoing)
        fail("Cannot delete", shownPath, errno);
}

void emptyFolder(int folder, const std::string &shownPath, const RemovalPolicy &policy)
{
    struct ::stat status {};
    if (::fstat(folder, &status) != 0) {
        if (policy.keepGoing)
            return;
        fail("Cannot read the folder", shownPath, errno);
    }
    removeEntries(folder, shownPath, status.st_dev, policy);
}

} // namespace vorlune::base
