// PHP pack extraction into a fresh program folder with a bystander folder
// beside it: whatever the archive holds, nothing is written outside the test
// server folder, the bystander stays as it was, and links made stay in bin/.
#include "FuzzCheck.h"

#include "base/Error.h"
#include "testrun/Installer.h"

#include <QString>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>

namespace fs = std::filesystem;
using namespace vorlune;

namespace {

const std::string kBystanderText = "not the installer's\n";

std::string contentOf(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void checkNothingOutside(const fs::path &root)
{
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string relative = fs::relative(it->path(), root).string();
        const bool allowed = relative == "home" || relative == "home/plugin_run" ||
                             relative.rfind("home/plugin_run/", 0) == 0 || relative == "beside" ||
                             relative == "beside/keep.txt" || relative == "pack.download";
        fuzzCheck(allowed, "nothing written outside the test server folder", QString::fromStdString(relative));
        if (it->is_symlink()) {
            const fs::path bin = fs::weakly_canonical(root / "home/plugin_run/bin");
            const std::string target = fs::weakly_canonical(it->path()).string();
            fuzzCheck(relative.rfind("home/plugin_run/bin/", 0) == 0 && target.rfind(bin.string() + "/", 0) == 0,
                      "links are made only in bin/ and lead only into it", QString::fromStdString(relative));
        }
    }
    fuzzCheck(contentOf(root / "beside/keep.txt") == kBystanderText, "the bystander is untouched");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string pattern = (fs::temp_directory_path() / "vorlune-fuzz-pack-XXXXXX").string();
    fuzzCheck(::mkdtemp(pattern.data()) != nullptr, "a temporary folder can be made");
    const fs::path root(pattern);
    fs::create_directories(root / "home");
    fs::create_directories(root / "beside");
    std::ofstream(root / "beside/keep.txt", std::ios::binary) << kBystanderText;

    const QString programFolder = QString::fromStdString((root / "home").string()) + QLatin1Char('/');
    const fs::path pack = root / "pack.download";
    std::ofstream(pack, std::ios::binary).write(reinterpret_cast<const char *>(data), std::streamsize(size));
    try {
        testrun::installPhpPack(programFolder, QString::fromStdString(pack.string()));
    } catch (const Error &) {
    }
    checkNothingOutside(root);
    fs::remove_all(root);
    return 0;
}
