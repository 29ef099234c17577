#include "build/PharCompiler.h"

#include "base/FolderTree.h"
#include "build/Cp1251.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlune::build {
namespace fs = std::filesystem;
using base::describeKind;
using base::Descriptor;
using base::FolderEntry;
using base::FolderTreeError;
using base::systemText;
using base::walkFolder;

namespace {

const std::string pluginYml = "plugin.yml";

std::string inQuotes(const fs::path &path) { return "\"" + path.string() + "\""; }

// Only a regular file is read: a link is not followed, and a pipe is neither
// opened for long nor waited on.
std::string readRegularFile(int folder, const std::string &name, const std::string &path)
{
    const int file = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) {
        const int error = errno;
        struct ::stat status {};
        if (error == ELOOP && ::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
            throw PharError(inQuotes(path) + " is a symbolic link, which is not followed");
        throw PharError("Cannot open " + inQuotes(path) + ": " + systemText(error));
    }
    struct ::stat status {};
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        const std::string kind = describeKind(status.st_mode);
        ::close(file);
        throw PharError(inQuotes(path) + " is " + kind + ", not a regular file");
    }
    std::string bytes;
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t got = ::read(file, buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(file);
            throw PharError("Cannot read " + inQuotes(path) + ": " + systemText(error));
        }
        bytes.append(buffer.data(), std::size_t(got));
    }
    ::close(file);
    return bytes;
}

// The folder itself must not be a link either: packing a link's target
// would pull in whatever it points at.
int openFolderNoFollow(const fs::path &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
        return fd;
    const int error = errno;
    struct ::stat status {};
    if (::lstat(folder.c_str(), &status) == 0 && S_ISLNK(status.st_mode))
        throw PharError("The folder " + inQuotes(folder) + " is a symbolic link, which is not followed");
    if (error == ENOENT)
        throw PharError("The folder " + inQuotes(folder) + " is missing");
    throw PharError("Cannot open the folder " + inQuotes(folder) + ": " + systemText(error));
}

// Code-point order of UTF-16 units, which is how the names were sorted
// before: it differs from UTF-8 byte order only in putting characters beyond
// U+FFFF (lead bytes F0-F4) before U+E000-U+FFFF (lead bytes EE-EF).
unsigned char utf16Rank(char byte)
{
    const auto value = static_cast<unsigned char>(byte);
    if (value >= 0xF0)
        return value - 2;
    if (value >= 0xEE)
        return value + 5;
    return value;
}

bool utf16Less(const std::string &a, const std::string &b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return utf16Rank(x) < utf16Rank(y); });
}

// QString::trimmed() did this before; of its non-ASCII spaces only U+00A0
// can come out of windows-1251, U+0085 is kept for UTF-8 files.
std::string_view trimmed(std::string_view text)
{
    const auto spaceAt = [&](std::size_t at) -> std::size_t {
        const char c = text[at];
        if (c == ' ' || (c >= '\t' && c <= '\r'))
            return 1;
        if (c == '\xC2' && at + 1 < text.size() && (text[at + 1] == '\xA0' || text[at + 1] == '\x85'))
            return 2;
        return 0;
    };
    const auto spaceBefore = [&](std::size_t end) -> std::size_t {
        if (spaceAt(end - 1) == 1)
            return 1;
        return end >= 2 && spaceAt(end - 2) == 2 ? 2 : 0;
    };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end) {
        const std::size_t width = spaceAt(begin);
        if (width == 0)
            break;
        begin += width;
    }
    while (end > begin) {
        const std::size_t width = spaceBefore(end);
        if (width == 0)
            break;
        end -= width;
    }
    return text.substr(begin, end - begin);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

std::vector<PharEntry> collectEntries(const fs::path &folder)
{
    const Descriptor root(openFolderNoFollow(folder));
    std::vector<PharEntry> entries;
    try {
        walkFolder(root.get(), folder.string(), [&](const FolderEntry &entry) {
            if (entry.name.starts_with('.'))
                return false;
            // Links and other non-regular files are left out, so nothing outside is pulled in.
            if (S_ISREG(entry.status.st_mode))
                entries.push_back(
                    {entry.path(), readRegularFile(entry.folder, entry.name, (folder / entry.path()).string())});
            return S_ISDIR(entry.status.st_mode);
        });
    } catch (const FolderTreeError &error) {
        throw PharError(error.what());
    }
    std::sort(entries.begin(), entries.end(), [](const PharEntry &a, const PharEntry &b) {
        if ((a.name == pluginYml) != (b.name == pluginYml))
            return a.name == pluginYml;
        return utf16Less(a.name, b.name);
    });
    return entries;
}

std::optional<PharMetadata> parseParams(std::string_view cnfgBytes)
{
    const std::string_view utf8Mark = "\xEF\xBB\xBF";
    const std::string text =
        cnfgBytes.starts_with(utf8Mark) ? std::string(cnfgBytes.substr(utf8Mark.size())) : cp1251ToUtf8(cnfgBytes);

    // Only the first [Params] section counts, and in it the first entry of each key.
    bool inParams = false;
    bool seenParams = false;
    std::vector<std::pair<std::string_view, std::string_view>> entries;
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lineEnd = text.find_first_of("\r\n", lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        const std::string_view line = trimmed(std::string_view(text).substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + (text.compare(lineEnd, 2, "\r\n") == 0 ? 2 : 1);

        if (line.empty() || line.starts_with(';'))
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const bool isParams = equalsIgnoringCase(trimmed(line.substr(1, line.size() - 2)), "Params");
            inParams = isParams && !seenParams;
            seenParams = seenParams || isParams;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (inParams && equals != std::string_view::npos)
            entries.emplace_back(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
    }
    if (!seenParams)
        return std::nullopt;

    PharMetadata metadata;
    for (const char *key : {"name", "version", "main", "api", "authors", "website"}) {
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [&](const auto &entry) { return equalsIgnoringCase(entry.first, key); });
        if (found != entries.end())
            metadata.emplace_back(key, std::string(found->second));
    }
    return metadata;
}

void compileFolder(const fs::path &folder)
{
    const fs::path paramsFile = folder / "cnfg.dll";
    std::string paramsBytes;
    {
        const Descriptor work(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (work.get() < 0)
            throw PharError("Cannot open the folder " + inQuotes(folder) + ": " + systemText(errno));
        struct ::stat status {};
        if (::fstatat(work.get(), "cnfg.dll", &status, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
            throw PharError("The params file " + inQuotes(paramsFile) + " is missing");
        paramsBytes = readRegularFile(work.get(), "cnfg.dll", paramsFile.string());
    }
    const std::optional<PharMetadata> metadata = parseParams(paramsBytes);
    if (!metadata)
        throw PharError("The params file " + inQuotes(paramsFile) + " has no [Params] section");
    const fs::path compile = folder / "compile";
    const std::vector<PharEntry> entries = collectEntries(compile);
    if (entries.empty())
        throw PharError("The folder " + inQuotes(compile) + " holds no files to pack");
    writePhar(folder / "comp.phar", entries, *metadata, std::uint32_t(std::time(nullptr)));
}

} // namespace vorlune::build
