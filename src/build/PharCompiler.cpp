#include "build/PharCompiler.h"

#include "build/Cp1251.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <system_error>

namespace vorlune::build {
namespace fs = std::filesystem;

namespace {

const std::string pluginYml = "plugin.yml";

std::string quoted(const fs::path &path)
{
    return "\"" + path.string() + "\"";
}

std::string readFile(const fs::path &path)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw PharError("Cannot open " + quoted(path) + ": " + std::generic_category().message(errno));
    std::string bytes;
    std::array<char, 64 * 1024> buffer;
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
        bytes.append(buffer.data(), got);
    const bool failed = std::ferror(file);
    const int error = errno;
    std::fclose(file);
    if (failed)
        throw PharError("Cannot read " + quoted(path) + ": " + std::generic_category().message(error));
    return bytes;
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

void collectInto(const fs::path &folder, const std::string &prefix, std::vector<PharEntry> &entries)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with('.'))
            continue;
        // Links are not followed, so a link cannot pull outside files in.
        const fs::file_status status = it->symlink_status(error);
        if (error)
            break;
        if (fs::is_directory(status))
            collectInto(it->path(), prefix + name + '/', entries);
        else if (fs::is_regular_file(status))
            entries.push_back({prefix + name, readFile(it->path())});
    }
    if (error)
        throw PharError("Cannot read the folder " + quoted(folder) + ": " + error.message());
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
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

} // namespace

std::vector<PharEntry> collectEntries(const fs::path &folder)
{
    std::vector<PharEntry> entries;
    collectInto(folder, std::string(), entries);
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
    const std::string text = cnfgBytes.starts_with(utf8Mark) ? std::string(cnfgBytes.substr(utf8Mark.size()))
                                                             : cp1251ToUtf8(cnfgBytes);

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
    std::error_code ignored;
    const fs::path paramsFile = folder / "cnfg.dll";
    if (!fs::is_regular_file(paramsFile, ignored))
        throw PharError("The params file " + quoted(paramsFile) + " is missing");
    const std::optional<PharMetadata> metadata = parseParams(readFile(paramsFile));
    if (!metadata)
        throw PharError("The params file " + quoted(paramsFile) + " has no [Params] section");
    const fs::path compile = folder / "compile";
    if (!fs::is_directory(compile, ignored))
        throw PharError("The folder " + quoted(compile) + " is missing");
    const std::vector<PharEntry> entries = collectEntries(compile);
    if (entries.empty())
        throw PharError("The folder " + quoted(compile) + " holds no files to pack");
    writePhar(folder / "comp.phar", entries, *metadata, std::uint32_t(std::time(nullptr)));
}

} // namespace vorlune::build
