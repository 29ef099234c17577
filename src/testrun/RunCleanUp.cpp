#include "testrun/RunCleanUp.h"

#include "base/Descriptor.h"
#include "base/FolderTree.h"
#include "testrun/FolderEntries.h"
#include "testrun/RunOptions.h"

#include <QFile>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlune::testrun {
namespace {

using base::Descriptor;

enum class Kind { File, Folder };

bool isCrashDumpFolder(const std::string &lower) { return lower == "crashdump" || lower == "crashdumps"; }

// "CrashDump_*.log"
bool isCrashDumpLog(const std::string &lower)
{
    static const std::string prefix = "crashdump_";
    static const std::string suffix = ".log";
    return lower.size() >= prefix.size() + suffix.size() && lower.compare(0, prefix.size(), prefix) == 0 &&
           endsWith(lower, suffix);
}

// As far as it goes: what cannot be removed stays. A folder that lacks its
// owner's rights gets them, so that its entries can go even without root's
// rights; nothing mounted inside is emptied.
constexpr base::RemovalPolicy kCleanUp{.makeWritable = true, .stayOnDevice = true, .keepGoing = true};

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
        base::removeTree(server, entry.name, entry.name, kCleanUp);
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
    const bool logs = readRunOption(settings, RunKey::DeleteLogs);
    const bool worlds = readRunOption(settings, RunKey::DeleteWorlds);
    const bool players = readRunOption(settings, RunKey::DeletePlayers);
    const bool plugins = readRunOption(settings, RunKey::DeletePlugins);
    const bool crashes = readRunOption(settings, RunKey::DeleteCrashes);

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
