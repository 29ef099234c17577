#pragma once

#include "build/PharWriter.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace vorlune::build {

// Every regular file below `folder`, named relative to it with "/", skipping
// files and folders whose names begin with "." and not following links;
// "plugin.yml" first, the rest sorted. Throws PharError when `folder` is a
// link, or when a file or folder cannot be read.
std::vector<PharEntry> collectEntries(const std::filesystem::path &folder);

// The name, version, main, api, authors and website entries of the first
// [Params] section of a cnfg.dll image (windows-1251, or UTF-8 after a
// byte-order mark), in that order, as UTF-8; nothing when there is no
// [Params] section.
std::optional<PharMetadata> parseParams(std::string_view cnfgBytes);

// Packs "<folder>/compile/" into "<folder>/comp.phar" with the [Params]
// values of "<folder>/cnfg.dll" as metadata. Throws PharError, and writes
// nothing, when an input is missing, empty, unreadable, a link or not a
// regular file.
void compileFolder(const std::filesystem::path &folder);

} // namespace vorlune::build
