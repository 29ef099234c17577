#include "testrun/PhpBuild.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "testrun/Installer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

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

// The PHP must run here before it replaces a PHP that does.
void tryPhp(const QString &aside, const QString &extensions)
{
    QProcess php;
    php.setWorkingDirectory(aside);
    php.start(aside + QStringLiteral("php/php"),
              {QStringLiteral("-d"), QStringLiteral("extension_dir=") + extensions, QStringLiteral("-d"),
               QStringLiteral("display_errors=stderr"), QStringLiteral("-r"), QStringLiteral("echo 1;")});
    const bool ended = php.waitForFinished(kTryMs);
    if (!ended)
        php.kill();
    php.waitForFinished(1000);
    const QByteArray out = php.readAllStandardOutput();
    if (ended && php.exitStatus() == QProcess::NormalExit && php.exitCode() == 0 && out == "1")
        return;
    QString why = !ended ? QStringLiteral("it did not answer within %1 s").arg(kTryMs / 1000)
                  : php.error() == QProcess::FailedToStart ? php.errorString()
                                                           : QStringLiteral("exit code %1").arg(php.exitCode());
    const QString said = firstLines(php.readAllStandardError() + out);
    if (!said.isEmpty())
        why += QStringLiteral(": ") + said;
    throw Error(
        QStringLiteral("The new PHP does not run on this system (%1). The PHP installed before is kept.").arg(why));
}

} // namespace

QByteArray withExtensionDir(const QByteArray &ini, const QString &folder)
{
    const QByteArray line = "extension_dir=\"" + QFile::encodeName(folder) + '"';
    static const QRegularExpression setting(QStringLiteral("^[ \\t;]*extension_dir[ \\t]*=.*$"),
                                            QRegularExpression::MultilineOption);
    QString text = QString::fromUtf8(ini);
    const QRegularExpressionMatch match = setting.match(text);
    if (match.hasMatch())
        return text.replace(match.capturedStart(), match.capturedLength(), QString::fromUtf8(line)).toUtf8();
    QByteArray result = ini;
    if (!result.isEmpty() && !result.endsWith('\n'))
        result += '\n';
    return result + line + '\n';
}

void installPhpBuild(const QString &programFolder, const QString &tarball, const QString &label)
{
    PackLayout layout;
    layout.required = {QFile::encodeName(kPhpBuildBinary), QFile::encodeName(kPhpBuildIni)};
    layout.label = label;
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
        tryPhp(aside, aside + extensions);
    };
    installPhpPack(programFolder, tarball, layout);
}

} // namespace vorlune::testrun
