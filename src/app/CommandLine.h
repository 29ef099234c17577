#pragma once

#include <QStringList>

#include <vector>

namespace vorlune::app {

// Splits the command line between the window toolkit and the program. The
// toolkit gets the program name only: it would otherwise take its own
// options (-reverse, -style, -platform, ...) out of a project path that
// holds them. Every later argument belongs to the project path.
class CommandLine {
public:
    CommandLine(int argc, char **argv);
    CommandLine(const CommandLine &) = delete;
    CommandLine &operator=(const CommandLine &) = delete;

    // For the application object, which keeps both for its whole life.
    int &toolkitArgc() { return m_toolkitArgc; }
    char **toolkitArgv() { return m_toolkitArgv.data(); }

    const QStringList &projectArguments() const { return m_projectArguments; }

private:
    int m_toolkitArgc = 1;
    std::vector<char *> m_toolkitArgv; // the program name and the closing null
    QStringList m_projectArguments;
};

} // namespace vorlune::app
