#include "testrun/RunCleanUp.h"

#include "base/Descriptor.h"
#include "build/FolderTree.h"
#include "testrun/FolderEntries.h"
#include "testrun/RunOptions.h"

#include <QFile>

#include <functional>

#include <fcntl.h>
#include <unistd.h>

namespace vorlune::testrun {
namespace {

using base::Descriptor;

enum class Kind { File, Folder };

bool isCrashDumpFolder(const std::string &lower)
{
    return lower == "crashdump" || lower == "crashdumps";
}

// "CrashDump_*.log"
bool isCrashDumpLog(const std::string &lower)
{
    static const std::string prefix = "crashdump_";
    static const std::string suffix = ".log";
    return lower.size() >= prefix.size() + suffix.size() && lower.compare(0, prefix.size(), prefix) == 0 &&
           endsWith(lower, suffix);
}

// A folder that lacks its owner's rights gets them, so that its entries can
// go even when the program does not run with root's rights. Never through a
// link.
void makeWritable(int parent, const std::string &name, const struct ::stat &status)
{
    if ((status.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmodat(parent, name.c_str(), (status.st_mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW);
}

int openFolderAt(int parent, const std::string &name)
{
    return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes the folder `name` with all it holds, as far as it goes: what
// cannot be removed stays. Stays on its own file system, so nothing mounted
// inside is emptied.
void removeFolderTree(int parent, const std::string &name, const struct ::stat &status)
{
    makeWritable(parent, name, status);
    const Descriptor folder(openFolderAt(parent, name));
    if (folder.get() < 0)
        return;
    const auto enter = [device = status.st_dev](const build::FolderEntry &entry) {
        if (!S_ISDIR(entry.status.st_mode)) {
            ::unlinkat(entry.folder, entry.name.c_str(), 0);
            return false;
        }
        if (entry.status.st_dev != device)
            return false;
        makeWritable(entry.folder, entry.name, entry.status);
        // One that cannot be opened would end the walk.
        return Descriptor(openFolderAt(entry.folder, entry.name)).get() >= 0;
    };
    const auto leave = [](const build::FolderEntry &entry) {
        ::unlinkat(entry.folder, entry.name.c_str(), AT_REMOVEDIR);
    };
    try {
        build::walkFolder(folder.get(), name, enter, leave);
    } catch (const build::FolderTreeError &) {
        // The rest of this folder stays, as anything else that cannot go.
    }
    ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

// Deletes the entries of `server` whose lower-case names `matches` when what
// they name is of `kind`; a link is removed itself.
void removeEntries(int server, const std::vector<NamedEntry> &entries,
                   const std::function<bool(const std::string &)> &matches, Kind kind)
{
    for (const NamedEntry &entry : entries) {
        if (!matches(lowerCase(entry.name)))
            continue;
        struct ::stat named {};
        if (::fstatat(server, entry.name.c_str(), &named, 0) != 0 || S_ISDIR(named.st_mode) != (kind == Kind::Folder))
            continue;
        struct ::stat itself {};
        if (::fstatat(server, entry.name.c_str(), &itself, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(itself.st_mode))
            removeFolderTree(server, entry.name, itself);
        else
            ::unlinkat(server, entry.name.c_str(), 0);
    }
}

std::function<bool(const std::string &)> named(const char *lower)
{
    return [lower](const std::string &name) { return name == lower; };
}

} // namespace

void cleanUpBeforeRun(const QString &serverFolder, const base::IniImage &settings)
{
    // All read first: a bad value stops the run before anything is deleted.
    const bool logs = readRunOption(settings, QStringLiteral("delete_logs"));
    const bool worlds = readRunOption(settings, QStringLiteral("delete_worlds"));
    const bool players = readRunOption(settings, QStringLiteral("delete_players"));
    const bool plugins = readRunOption(settings, QStringLiteral("delete_plugins"));
    const bool crashes = readRunOption(settings, QStringLiteral("delete_crashs"));

    const Descriptor server(::open(QFile::encodeName(serverFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const auto listed = entriesOf(server.get());
    if (!listed)
        return;
    const std::vector<NamedEntry> &entries = *listed;
    if (logs)
        removeEntries(server.get(), entries, named("server.log"), Kind::File);
    if (worlds)
        removeEntries(server.get(), entries, named("worlds"), Kind::Folder);
    if (players)
        removeEntries(server.get(), entries, named("players"), Kind::Folder);
    if (plugins)
        removeEntries(server.get(), entries, named("plugins"), Kind::Folder);
    if (crashes) {
        removeEntries(server.get(), entries, isCrashDumpFolder, Kind::Folder);
        removeEntries(server.get(), entries, isCrashDumpLog, Kind::File);
    }
}

} // namespace vorlune::testrun
