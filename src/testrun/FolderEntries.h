#pragma once

#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace vorlune::testrun {

// One entry of a folder: its name on disk and the status of the entry
// itself (a link is a link).
struct NamedEntry {
    std::string name;
    struct ::stat status;
};

// The entries of the open `folder` in the file system's own order; none
// when `folder` is not open or cannot be read.
std::optional<std::vector<NamedEntry>> entriesOf(int folder);

// `name` in lower case, ASCII letters only: the names the test run looks
// for are ASCII, and a Windows-style comparison of them needs no more.
std::string lowerCase(std::string name);
bool endsWith(const std::string &text, const std::string &end);

} // namespace vorlune::testrun
