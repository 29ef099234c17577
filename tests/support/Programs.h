#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace vorlune::test {

inline const QString kBuildCommand = QStringLiteral(VORLUNE_BINARY_DIR "/vorlune-build");
inline const QString kCompiler = QStringLiteral(VORLUNE_BINARY_DIR "/PHAR_compiler");

struct RunOptions {
    QString workingFolder{};   // empty: the test's own
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

// Why a run is not one that ended with `exitCode` and wrote `errorText` to
// its standard error: the expectation and what the program printed.
QString exitMismatch(const ProgramResult &result, int exitCode, const QString &errorText);

} // namespace vorlune::test

// Fails the calling test unless the program's run ended with exit code
// `code` and its standard error holds `text`; the failure shows what it printed.
#define VORLUNE_VERIFY_EXIT(result, code, text)                                                                        \
    do {                                                                                                               \
        const ::vorlune::test::ProgramResult &vorluneRun = (result);                                                   \
        const QString vorluneText = (text);                                                                            \
        QVERIFY2(vorluneRun.exitCode == (code) && vorluneRun.err.contains(vorluneText),                                \
                 qPrintable(::vorlune::test::exitMismatch(vorluneRun, (code), vorluneText)));                          \
    } while (false)
