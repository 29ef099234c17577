#pragma once

// Plain C++ and POSIX without Qt: the carried PHAR compiler walks its folder
// with this too.

#include "base/Descriptor.h"

#include <functional>
#include <stdexcept>
#include <string>

#include <sys/stat.h>

namespace vorlune::build {

// A folder that cannot be walked; what() names it and gives the reason.
class FolderTreeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using base::Descriptor;

struct FolderEntry {
    int folder; // the open folder that holds the entry
    const std::string &name;
    const std::string &path; // below the root, "/" between folders
    const struct ::stat &status; // of the entry itself: a link is a link
};

// Calls `enter` for every entry below the open folder `root`, a folder before
// what it holds; a folder for which `enter` returns true is walked into, and
// `leave` is called for it after its entries, with `folder` its parent again.
// Never follows a link. However deep the tree, at most two descriptors
// besides `root` are open at once: a folder's names are read before its
// subfolders are walked, and the way back up is its "..", checked to be the
// folder the walk came from. `rootPath` only names folders in errors.
void walkFolder(int root, const std::string &rootPath, const std::function<bool(const FolderEntry &)> &enter,
                const std::function<void(const FolderEntry &)> &leave = {});

// "a folder", "a symbolic link", "a named pipe", ... for a stat mode.
std::string describeKind(mode_t mode);

// The system's text for an errno value.
std::string systemText(int error);

} // namespace vorlune::build
