#pragma once

// Plain C++ on purpose: the carried PHAR compiler is built from these files
// without Qt so that it starts in a few milliseconds.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorlune::build {

// Any failure of the PHAR writer or compiler; what() is the text for the user.
class PharError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PharEntry {
    std::string name; // UTF-8 relative path, folders separated by "/"
    std::string bytes;
};

// Stored in the archive as a PHP array of string => string, in this order;
// keys and values are UTF-8.
using PharMetadata = std::vector<std::pair<std::string, std::string>>;

// PHP serialize() text of the metadata array; empty for no pairs.
std::string serializeMetadata(const PharMetadata &metadata);

// The whole archive: stub, manifest, uncompressed contents and a SHA-256
// signature. Every entry carries the same timestamp. The stub is the minimal
// one unless customStub is given (PHP code ending in "__HALT_COMPILER(); ?>"
// and a line end), which runs when PHP runs the archive.
// Throws PharError for an empty list, an empty or repeated name.
std::string makePhar(const std::vector<PharEntry> &entries, const PharMetadata &metadata, std::uint32_t timestamp,
                     std::string_view customStub = {});

// makePhar() written over `path` through a temporary file in the same folder,
// so a failed run never leaves half an archive under the real name.
void writePhar(const std::filesystem::path &path, const std::vector<PharEntry> &entries, const PharMetadata &metadata,
               std::uint32_t timestamp);

} // namespace vorlune::build
