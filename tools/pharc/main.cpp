// PHAR_compiler: packs "compile/" of the working folder into "comp.phar",
// with "cnfg.dll" as the archive's metadata. Takes no arguments.
#include "build/PharCompiler.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>

int main()
{
    // Past a file size limit a write fails and is reported, like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        vorlune::build::compileFolder(std::filesystem::current_path());
        return 0;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "PHAR_compiler: %s\n", error.what());
    }
    return 1;
}
