#include "testrun/PhpBuild.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "testrun/Installer.h"
#include "testrun/PhpPack.h"
#include "testrun/ProcessGroup.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <csignal>

namespace vorlune::testrun {
namespace {

constexpr int kTryMs = 30000;

// Runs the PHP as the server's start script does: PHPRC set empty, so the
// php.ini beside the binary is read.
const QByteArray kLauncher = "#!/bin/sh\n"
                             "# Runs the server project's PHP build as its own start script does.\n"
                             "PHPRC=\"\" exec \"$(dirname \"$0\")/../php7/bin/php\" \"$@\"\n";

// "no-debug-zts-20220829/" and the like: the one that holds the extensions.
QString extensionsFolder(const QString &bin)
{
    const QDir folder(bin + kPhpBuildExtensions);
    const QStringList found = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    if (found.isEmpty())
        throw Error(QStringLiteral("The PHP build has no extensions folder (%1)").arg(kPhpBuildExtensions));
    return kPhpBuildExtensions + found.last() + QLatin1Char('/');
}

QString firstLines(const QByteArray &output)
{
    return QString::fromLocal8Bit(output).trimmed().section(QLatin1Char('\n'), 0, 4).left(1000);
}

// The installed PHP, reading its php.ini as the server will, must run here;
// else the one before goes back. It runs in a group of its own, which is
// ended with whatever it started.
void tryPhp(const QString &bin, const std::atomic_bool *cancel)
{
    QProcess php;
    php.setWorkingDirectory(bin);
    const QByteArray mark = runInOwnGroup(php);
    php.start(bin + QStringLiteral("php/php"), {QStringLiteral("-d"), QStringLiteral("display_errors=stderr"),
                                                QStringLiteral("-r"), QStringLiteral("echo 1;")});
    const qint64 group = php.processId();
    const QDeadlineTimer deadline(kTryMs);
    bool ended = false;
    while (group > 0 && !ended && !deadline.hasExpired() && !(cancel && cancel->load()))
        ended = php.waitForFinished(100) || php.state() == QProcess::NotRunning;
    // Children that left the group carry the mark and go with it.
    signalGroup(group, SIGKILL);
    endGroup(group, mark);
    php.waitForFinished(1000);
    if (cancel && cancel->load())
        installCancelled();
    const QByteArray out = php.readAllStandardOutput();
    if (ended && php.exitStatus() == QProcess::NormalExit && php.exitCode() == 0 && out == "1")
        return;
    QString why = php.error() == QProcess::FailedToStart ? php.errorString()
                  : !ended ? QStringLiteral("it did not answer within %1 s").arg(kTryMs / 1000)
                           : QStringLiteral("exit code %1").arg(php.exitCode());
    const QString said = firstLines(php.readAllStandardError() + out);
    if (!said.isEmpty())
        why += QStringLiteral(": ") + said;
    throw Error(
        QStringLiteral("The new PHP does not run on this system (%1). The PHP installed before is kept.").arg(why));
}

// `folder` as a php.ini value PHP reads back byte for byte: in single quotes
// nothing is special; in double quotes \, " and $ (for "${") are escaped.
QByteArray iniValue(const QString &folder)
{
    const QByteArray bytes = QFile::encodeName(folder);
    if (bytes.contains('\n') || bytes.contains('\r') || bytes.contains('\0'))
        throw Error(QStringLiteral("The PHP cannot be installed below the folder \"%1\": a line break in its name "
                                   "cannot be written into php.ini. Move the program to another folder.")
                        .arg(folder));
    if (!bytes.contains('\''))
        return '\'' + bytes + '\'';
    QByteArray escaped;
    for (const char c : bytes) {
        if (c == '\\' || c == '"' || c == '$')
            escaped += '\\';
        escaped += c;
    }
    return '"' + escaped + '"';
}

// Whether `line` sets extension_dir, commented out or not.
bool setsExtensionDir(QByteArrayView line)
{
    qsizetype at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == ';'))
        ++at;
    if (!line.sliced(at).startsWith("extension_dir"))
        return false;
    at += 13;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    return at < line.size() && line[at] == '=';
}

} // namespace

QByteArray withExtensionDir(const QByteArray &ini, const QString &folder)
{
    const QByteArray line = "extension_dir=" + iniValue(folder);
    for (qsizetype start = 0; start < ini.size();) {
        qsizetype end = ini.indexOf('\n', start);
        if (end < 0)
            end = ini.size();
        QByteArrayView text = QByteArrayView(ini).sliced(start, end - start);
        if (text.endsWith('\r'))
            text.chop(1);
        if (setsExtensionDir(text))
            return ini.left(start) + line + ini.mid(start + text.size());
        start = end + 1;
    }
    QByteArray result = ini;
    if (!result.isEmpty() && !result.endsWith('\n'))
        result += '\n';
    return result + line + '\n';
}

void installPhpBuild(const QString &programFolder, const QString &tarball, const QString &label,
                     const std::atomic_bool *cancel)
{
    PackLayout layout;
    layout.required = {QFile::encodeName(kPhpBuildBinary), QFile::encodeName(kPhpBuildIni)};
    layout.label = label;
    layout.cancel = cancel;
    layout.finish = [](const QString &aside, const QString &final) {
        const QString extensions = extensionsFolder(aside);
        const QString ini = aside + kPhpBuildIni;
        fileio::writeAtomically(ini, withExtensionDir(fileio::readAll(ini, fileio::kIniFileLimit), final + extensions),
                                fileio::AtLink::Replace);
        if (!QDir().mkpath(aside + QStringLiteral("php")))
            throw fileio::fileError("create the folder", aside + QStringLiteral("php"), QStringLiteral("failed"));
        fileio::writeScratch(aside + QStringLiteral("php/php"), kLauncher);
        QFile::setPermissions(aside + QStringLiteral("php/php"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                  QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        QFile::remove(aside + QStringLiteral("php/php.ini"));
        if (!QFile::link(QStringLiteral("../php7/bin/php.ini"), aside + QStringLiteral("php/php.ini")))
            throw fileio::fileError("write", aside + QStringLiteral("php/php.ini"),
                                    QStringLiteral("cannot make the link"));
    };
    layout.trial = [cancel](const QString &bin) { tryPhp(bin, cancel); };
    installPhpPack(programFolder, tarball, layout);
}

} // namespace vorlune::testrun
