#include "app/CommandLine.h"

namespace vorlune::app {
namespace {

// The toolkit needs a program name even when the caller passed none.
char kFallbackName[] = "vorlune";

} // namespace

CommandLine::CommandLine(int argc, char **argv)
{
    m_toolkitArgv = {argc > 0 && argv[0] ? argv[0] : kFallbackName, nullptr};
    for (int i = 1; i < argc; ++i)
        m_projectArguments << QString::fromLocal8Bit(argv[i]);
}

} // namespace vorlune::app
