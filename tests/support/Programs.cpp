#include "support/Programs.h"

#include "base/Error.h"

#include <QElapsedTimer>
#include <QProcess>

#include <sys/resource.h>

namespace vorlune::test {

QString ProgramResult::describe() const
{
    return QStringLiteral("exit %1, out \"%2\", err \"%3\"").arg(exitCode).arg(out, err);
}

ProgramResult runProgram(const QString &program, const QStringList &arguments, const RunOptions &options,
                         const QProcessEnvironment &environment)
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    if (!options.workingFolder.isEmpty())
        process.setWorkingDirectory(options.workingFolder);
    if (options.fileSizeLimit >= 0 || options.openFilesLimit >= 0) {
        const qint64 fileSize = options.fileSizeLimit;
        const int openFiles = options.openFilesLimit;
        process.setChildProcessModifier([fileSize, openFiles] {
            if (fileSize >= 0) {
                const rlimit limit{rlim_t(fileSize), rlim_t(fileSize)};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (openFiles >= 0) {
                const rlimit limit{rlim_t(openFiles), rlim_t(openFiles)};
                setrlimit(RLIMIT_NOFILE, &limit);
            }
        });
    }
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    ProgramResult result;
    const bool finished = process.waitForFinished(options.timeoutMs);
    result.elapsedMs = clock.elapsed();
    if (!finished) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

QString exitMismatch(const ProgramResult &result, int exitCode, const QString &errorText)
{
    return QStringLiteral("expected exit %1 with \"%2\" on stderr; got %3")
        .arg(exitCode)
        .arg(errorText, result.describe());
}

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Error &error) {
        return error.text();
    }
    return {};
}

} // namespace vorlune::test
