#include "build/PharWriter.h"

#include "build/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>
#include <unordered_set>

#include <zlib.h>

namespace vorlune::build {
namespace {

constexpr std::string_view kMinimalStub("<?php __HALT_COMPILER(); ?>\r\n");
constexpr char apiVersion[2] = {0x11, 0x00}; // 1.1.0: no folder entries
constexpr std::uint32_t hasSignature = 0x00010000;
constexpr std::uint32_t permissions0644 = 0x1A4;
constexpr std::uint32_t sha256Type = 3;

void appendU32(std::string &out, std::uint32_t value)
{
    const char bytes[4] = {char(value & 0xFF), char((value >> 8) & 0xFF), char((value >> 16) & 0xFF),
                           char((value >> 24) & 0xFF)};
    out.append(bytes, 4);
}

std::uint32_t checkedSize(std::size_t size, const std::string &what)
{
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw PharError(what + " is too large for a phar archive");
    return std::uint32_t(size);
}

void appendString(std::string &out, const std::string &utf8)
{
    out += "s:" + std::to_string(utf8.size()) + ":\"" + utf8 + "\";";
}

std::uint32_t crc32Of(const std::string &bytes)
{
    const uLong empty = crc32_z(0L, Z_NULL, 0);
    return std::uint32_t(crc32_z(empty, reinterpret_cast<const Bytef *>(bytes.data()), bytes.size()));
}

void checkNames(const std::vector<PharEntry> &entries)
{
    if (entries.empty())
        throw PharError("A phar archive needs at least one file");
    std::unordered_set<std::string_view> seen;
    for (const PharEntry &entry : entries) {
        if (entry.name.empty())
            throw PharError("A file in a phar archive needs a name");
        if (!seen.insert(entry.name).second)
            throw PharError("The file \"" + entry.name + "\" is twice in the phar archive");
    }
}

std::string systemReason(int error) { return std::generic_category().message(error); }

} // namespace

std::string serializeMetadata(const PharMetadata &metadata)
{
    if (metadata.empty())
        return {};
    std::string out = "a:" + std::to_string(metadata.size()) + ":{";
    for (const auto &[key, value] : metadata) {
        appendString(out, key);
        appendString(out, value);
    }
    return out + '}';
}

std::string makePhar(const std::vector<PharEntry> &entries, const PharMetadata &metadata, std::uint32_t timestamp,
                     std::string_view customStub)
{
    checkNames(entries);
    // PHP finds the manifest right after the stub's closing call.
    if (!customStub.empty() && customStub.find("__HALT_COMPILER();") == std::string_view::npos)
        throw PharError("The stub of the archive does not end in __HALT_COMPILER();");
    const std::string serialized = serializeMetadata(metadata);

    std::string manifest;
    appendU32(manifest, checkedSize(entries.size(), "The file list"));
    manifest.append(apiVersion, 2);
    appendU32(manifest, hasSignature);
    appendU32(manifest, 0); // no alias
    appendU32(manifest, checkedSize(serialized.size(), "The metadata"));
    manifest += serialized;
    std::size_t contentsSize = 0;
    for (const PharEntry &entry : entries) {
        const std::uint32_t size = checkedSize(entry.bytes.size(), entry.name);
        appendU32(manifest, checkedSize(entry.name.size(), "A file name"));
        manifest += entry.name;
        appendU32(manifest, size);
        appendU32(manifest, timestamp);
        appendU32(manifest, size); // stored size: no compression
        appendU32(manifest, crc32Of(entry.bytes));
        appendU32(manifest, permissions0644);
        appendU32(manifest, 0); // no entry metadata
        contentsSize += entry.bytes.size();
    }
    // PHP pads a manifest whose length ends in a CR or LF byte; do the same
    // so archives match its own byte for byte.
    const char lowByte = char(manifest.size() & 0xFF);
    if (lowByte == '\r' || lowByte == '\n')
        manifest += '\0';

    std::string out;
    const std::string_view stub = customStub.empty() ? kMinimalStub : customStub;
    out.reserve(stub.size() + 4 + manifest.size() + contentsSize + 32 + 8);
    out += stub;
    appendU32(out, checkedSize(manifest.size(), "The manifest"));
    out += manifest;
    for (const PharEntry &entry : entries)
        out += entry.bytes;
    out += sha256(out);
    appendU32(out, sha256Type);
    out += "GBMB";
    return out;
}

void writePhar(const std::filesystem::path &path, const std::vector<PharEntry> &entries, const PharMetadata &metadata,
               std::uint32_t timestamp)
{
    const std::string bytes = makePhar(entries, metadata, timestamp);
    const std::string shown = "Cannot write \"" + path.string() + "\": ";

    // "x" creates exclusively, so a name taken by someone else is retried
    // instead of being written over.
    std::filesystem::path temporary;
    std::FILE *file = nullptr;
    const auto seed = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    for (std::uint64_t attempt = 0; !file && attempt < 100; ++attempt) {
        temporary = path;
        temporary += ".tmp" + std::to_string((seed + attempt) % 1000000);
        file = std::fopen(temporary.c_str(), "wbx");
        if (!file && errno != EEXIST)
            throw PharError(shown + systemReason(errno));
    }
    if (!file)
        throw PharError(shown + "no free temporary name");

    // In pieces: one write of tens of megabytes is many times slower.
    constexpr std::size_t piece = std::size_t(1) << 20;
    bool written = true;
    for (std::size_t at = 0; written && at < bytes.size(); at += piece) {
        const std::size_t size = std::min(piece, bytes.size() - at);
        written = std::fwrite(bytes.data() + at, 1, size, file) == size;
    }
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    const int closeError = errno;
    std::error_code ignored;
    if (!written || !closed) {
        std::filesystem::remove(temporary, ignored);
        throw PharError(shown + systemReason(!written ? writeError : closeError));
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        std::filesystem::remove(temporary, ignored);
        throw PharError(shown + renameError.message());
    }
}

} // namespace vorlune::build
