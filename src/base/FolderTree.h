#pragma once

// Plain C++ and POSIX without Qt: the carried PHAR compiler walks its folder
// with this too.

#include "base/Descriptor.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace vorlune::base {

// A folder that cannot be walked; what() names it and gives the reason.
class FolderTreeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FolderEntry {
    int folder; // the open folder that holds the entry
    const std::string &name;
    const struct ::stat &status;             // of the entry itself: a link is a link
    const std::vector<std::string> &folders; // the names of the folders from the root down to `folder`

    // Below the root, "/" between folders. Made on demand: it grows with the
    // depth, and making it for every entry of a deep tree takes the square
    // of the depth.
    std::string path() const;
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

// What removeTree and emptyFolder do where a plain removal would not go on.
// A link is always removed itself and never entered.
struct RemovalPolicy {
    // Give a folder that lacks its owner's rights those rights, so that its
    // entries can go without root's rights.
    bool makeWritable = false;
    // Leave folders of other file systems (mounts inside) and what they hold.
    bool stayOnDevice = false;
    // Leave what cannot be removed and go on with the rest, instead of
    // stopping at the first failure with a FolderTreeError.
    bool keepGoing = false;
};

// Removes `name` in the open folder `parent` with all it holds, with the
// descriptors of walkFolder whatever the depth. Nothing there is no failure.
// `shownPath` names the entry in errors.
void removeTree(int parent, const std::string &name, const std::string &shownPath, const RemovalPolicy &policy = {});

// Removes everything in the open folder `folder` and keeps the folder.
void emptyFolder(int folder, const std::string &shownPath, const RemovalPolicy &policy = {});

} // namespace vorlune::base
