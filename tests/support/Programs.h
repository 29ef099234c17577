#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace vorlune::test {

inline const QString kBuildCommand = QStringLiteral(VORLUNE_BINARY_DIR "/vorlune-build");
inline const QString kCompiler = QStringLiteral(VORLUNE_BINARY_DIR "/PHAR_compiler");
inline const QString kHelloProject = QStringLiteral(VORLUNE_SOURCE_DIR "/examples/hello.vlk");

struct RunOptions {
    QString workingFolder;
    int timeoutMs = 30000;     // a program still running then counts as hanging
    qint64 fileSizeLimit = -1; // bytes, -1 for none
    int openFilesLimit = -1;
};

struct ProgramResult {
    int exitCode = -1; // -1: still running when the wait ended, or crashed
    QString out;
    QString err;
    qint64 elapsedMs = 0;

    QString describe() const;
};

// Runs a program to its end and collects its output; an empty environment
// stands for the test's own.
ProgramResult runProgram(const QString &program, const QStringList &arguments, const RunOptions &options = {},
                         const QProcessEnvironment &environment = {});

inline ProgramResult runBuildCommand(const QStringList &arguments, const RunOptions &options = {})
{
    return runProgram(kBuildCommand, arguments, options);
}

// The text of the vorlune::Error that `action` throws; empty when it throws none.
QString errorOf(const std::function<void()> &action);

} // namespace vorlune::test
