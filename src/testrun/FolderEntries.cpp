#include "testrun/FolderEntries.h"

#include "base/FolderTree.h"

namespace vorlune::testrun {

std::optional<std::vector<NamedEntry>> entriesOf(int folder)
{
    if (folder < 0)
        return std::nullopt;
    std::vector<NamedEntry> entries;
    try {
        base::walkFolder(folder, ".", [&](const base::FolderEntry &entry) {
            entries.push_back(NamedEntry{entry.name, entry.status});
            return false;
        });
    } catch (const base::FolderTreeError &) {
        return std::nullopt;
    }
    return entries;
}

std::string lowerCase(std::string name)
{
    for (char &c : name) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return name;
}

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace vorlune::testrun
