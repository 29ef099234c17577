#include "build/FolderTree.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vorlune::build {
namespace {

std::string quoted(const std::string &path)
{
    return "\"" + path + "\"";
}

std::string joined(const std::string &rootPath, const std::string &path)
{
    return path.empty() ? rootPath : rootPath + "/" + path;
}

[[noreturn]] void fail(const std::string &what, const std::string &path, int error)
{
    throw FolderTreeError(what + " " + quoted(path) + ": " + systemText(error));
}

bool sameFile(const struct ::stat &a, const struct ::stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Reads through a duplicate so that `folder` stays open, from the start
// whatever was read through it before.
std::vector<std::string> namesIn(int folder, const std::string &path)
{
    const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        fail("Cannot read the folder", path, errno);
    DIR *dir = ::fdopendir(copy);
    if (!dir) {
        const int error = errno;
        ::close(copy);
        fail("Cannot read the folder", path, error);
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
        fail("Cannot read the folder", path, error);
    return names;
}

struct Level {
    std::string name;
    std::string path;
    struct ::stat status;
    std::vector<std::string> names;
    std::size_t next = 0;
};

} // namespace

void walkFolder(int root, const std::string &rootPath, const std::function<bool(const FolderEntry &)> &enter,
                const std::function<void(const FolderEntry &)> &leave)
{
    std::vector<Level> levels(1);
    if (::fstat(root, &levels[0].status) != 0)
        fail("Cannot read the folder", rootPath, errno);
    levels[0].names = namesIn(root, rootPath);

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
                int parent = root;
                if (levels.size() > 1) {
                    parent = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                    if (parent < 0)
                        fail("Cannot go back to the folder", joined(rootPath, levels.back().path), errno);
                    struct ::stat status {};
                    if (::fstat(parent, &status) != 0 || !sameFile(status, levels.back().status)) {
                        ::close(parent);
                        throw FolderTreeError("The folder " + quoted(joined(rootPath, levels.back().path)) +
                                              " was moved while it was walked");
                    }
                }
                closeCurrent();
                current = parent;
                if (leave)
                    leave(FolderEntry{current, done.name, done.path, done.status});
                continue;
            }

            const std::string name = level.names[level.next++];
            const std::string path = level.path.empty() ? name : level.path + "/" + name;
            struct ::stat status {};
            if (::fstatat(current, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT)
                    continue; // gone since the folder was read
                fail("Cannot read", joined(rootPath, path), errno);
            }
            if (!enter(FolderEntry{current, name, path, status}) || !S_ISDIR(status.st_mode))
                continue;

            const int child = ::openat(current, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0)
                fail("Cannot open the folder", joined(rootPath, path), errno);
            struct ::stat opened {};
            if (::fstat(child, &opened) != 0 || !sameFile(opened, status)) {
                ::close(child);
                throw FolderTreeError("The folder " + quoted(joined(rootPath, path)) +
                                      " was replaced while it was walked");
            }
            closeCurrent();
            current = child;
            Level below;
            below.name = name;
            below.path = path;
            below.status = status;
            below.names = namesIn(current, joined(rootPath, path));
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

std::string systemText(int error)
{
    return std::strerror(error);
}

} // namespace vorlune::build
