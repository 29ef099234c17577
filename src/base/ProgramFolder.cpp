#include "base/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vorlune::base {
namespace {

QString withSeparator(QString folder)
{
    folder = QDir::cleanPath(folder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString xdgFolder(const char *variable, const QString &fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + fallbackBelowHome;
}

QString executableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Tools without an application object.
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

// An installed program (its data under <prefix>/share/vorlune) never keeps
// the user's files beside itself, even in a folder it may write (root's
// /usr/bin, a prefix in the user's home).
bool isInstalled(const QString &exeFolder)
{
    return QFileInfo(exeFolder + QStringLiteral("/../share/vorlune")).isDir();
}

} // namespace

QString programFolder()
{
    QString folder = qEnvironmentVariable("VORLUNE_HOME");
    if (folder.isEmpty()) {
        const QString exeFolder = executableFolder();
        if (!exeFolder.isEmpty() && QFileInfo(exeFolder).isWritable() && !isInstalled(exeFolder))
            folder = exeFolder;
    }
    if (folder.isEmpty())
        folder = xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("/vorlune");
    QDir().mkpath(folder);
    return withSeparator(QDir(folder).absolutePath());
}

QString buildFolder()
{
    return xdgFolder("XDG_CACHE_HOME", QStringLiteral(".cache")) + QStringLiteral("/vorlune/tmp_!VL");
}

} // namespace vorlune::base
