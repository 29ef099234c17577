#include "testrun/Launcher.h"

#include "base/Descriptor.h"
#include "base/FileIo.h"
#include "build/Compile.h"
#include "testrun/FolderEntries.h"
#include "testrun/Installer.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace vorlune::testrun {
namespace {

using base::Descriptor;

// The cores the test server knows, the first one found wins.
const char *const kCoreNames[] = {
    "PocketMine-MP.phar", "Genisys.phar",  "PocketMine-Soft.phar",          "ImagicalMine.phar",
    "ClearSky.phar",      "BukkitPE.phar", "src/pocketmine/PocketMine.php", "src/BukkitPE/BukkitPE.php",
};

QByteArray nativePath(const QString &path) { return QFile::encodeName(path); }

// Links are followed: a core kept elsewhere and linked in is the user's own
// set-up, and PHP follows the link as well.
bool statusAt(int folder, const std::string &name, struct ::stat &status)
{
    return ::fstatat(folder, name.c_str(), &status, 0) == 0;
}

// Entries named `wanted` but for letter case, the exact spelling first.
std::vector<const NamedEntry *> sameNames(const std::vector<NamedEntry> &entries, const std::string &wanted)
{
    std::vector<const NamedEntry *> found;
    const std::string lower = lowerCase(wanted);
    for (const NamedEntry &entry : entries) {
        if (entry.name == wanted)
            found.insert(found.begin(), &entry);
        else if (lowerCase(entry.name) == lower)
            found.push_back(&entry);
    }
    return found;
}

// The file at `parts[at..]` below `folder` as spelt on disk, or empty. Where
// names differ only in letter case every spelling is tried.
std::string findFile(int folder, const std::vector<NamedEntry> &entries, const std::vector<std::string> &parts,
                     std::size_t at)
{
    for (const NamedEntry *entry : sameNames(entries, parts[at])) {
        struct ::stat status {};
        if (!statusAt(folder, entry->name, status))
            continue;
        if (at + 1 == parts.size()) {
            if (S_ISREG(status.st_mode))
                return entry->name;
            continue;
        }
        if (!S_ISDIR(status.st_mode))
            continue;
        const Descriptor inner(::openat(folder, entry->name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const auto innerEntries = entriesOf(inner.get());
        if (!innerEntries)
            continue;
        const std::string rest = findFile(inner.get(), *innerEntries, parts, at + 1);
        if (!rest.empty())
            return entry->name + '/' + rest;
    }
    return {};
}

std::vector<std::string> partsOf(const std::string &path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1)
        parts.push_back(path.substr(start, slash - start));
    parts.push_back(path.substr(start));
    return parts;
}

std::string largestListedLast(int folder, const std::vector<NamedEntry> &entries)
{
    std::string candidate;
    for (const NamedEntry &entry : entries) {
        if (!endsWith(lowerCase(entry.name), ".phar"))
            continue;
        struct ::stat status {};
        if (statusAt(folder, entry.name, status) && S_ISREG(status.st_mode) && status.st_size > kSmallestCoreSize)
            candidate = entry.name;
    }
    return candidate;
}

} // namespace

QString findCoreEntry(const QString &serverFolder)
{
    const Descriptor folder(::open(nativePath(serverFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const auto entries = entriesOf(folder.get());
    if (!entries)
        return {};
    for (const char *name : kCoreNames) {
        const std::string found = findFile(folder.get(), *entries, partsOf(name), 0);
        if (!found.empty())
            return QFile::decodeName(QByteArray::fromStdString(found));
    }
    return QFile::decodeName(QByteArray::fromStdString(largestListedLast(folder.get(), *entries)));
}

QString missingPhpBinary(const QString &serverFolder)
{
    for (const QString &binary : {kPhpBinary, kPhpIni}) {
        struct ::stat status {};
        if (::stat(nativePath(serverFolder + binary).constData(), &status) != 0 || !S_ISREG(status.st_mode))
            return binary;
    }
    return {};
}

void makePluginsFolder(const QString &serverFolder) { QDir().mkpath(serverFolder + QStringLiteral("plugins")); }

QString pluginTarget(const QString &serverFolder)
{
    makePluginsFolder(serverFolder);
    const QString target = serverFolder + kPluginFile;
    const QByteArray native = nativePath(target);
    struct ::stat status {};
    if (::lstat(native.constData(), &status) == 0 && S_ISLNK(status.st_mode) && ::unlink(native.constData()) != 0)
        throw fileio::fileError("delete", target, errno);
    return target;
}

void buildIntoServer(project::ProjectDocument &document, const QString &serverFolder)
{
    build::Compile(document, build::kPharArchive, pluginTarget(serverFolder), build::kShowErrors,
                   build::kHideCompletion);
    prepareServerProperties(serverFolder);
}

ConsoleCommand consoleCommand(const QString &programFolder, const QString &coreEntry)
{
    const QString serverFolder = programFolder + kTestServerFolder;
    return ConsoleCommand{serverFolder + kPhpBinary,
                          {serverFolder + coreEntry, QStringLiteral("--enable-ansi"), QStringLiteral("%*")},
                          serverFolder};
}

} // namespace vorlune::testrun
