#include "testrun/DownloadSources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace vorlune::testrun {
namespace {

QString withSlash(QString text)
{
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    return text;
}

QString executableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

bool isBelow(const QString &folder, const QString &root)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    if (canonicalFolder.isEmpty() || canonicalRoot.isEmpty())
        return false;
    return canonicalFolder == canonicalRoot || canonicalFolder.startsWith(withSlash(canonicalRoot));
}

struct CoreEntry {
    const char *name;
    const char *host;
    const char *path;
};

// The hosts stand for the projects' build servers; the paths are the ones
// those servers publish their latest builds under.
const CoreEntry kCores[] = {
    {"ClearSky(PHP5)", "ci.clearsky.example", "job/ClearSky/lastSuccessfulBuild/artifact/releases/"},
    {"Genisys(PHP7)", "ci.genisys.example", "job/Genisys-master/lastSuccessfulBuild/artifact/artifact/"},
    {"ImagicalMine(PHP7)", "ci.imagicalmine.example:8080", "job/ImagicalMine/lastSuccessfulBuild/artifact/releases/"},
    {"ImagicalMine 0.14.0(PHP7)", "ci.imagicalmine.example:8080",
     "job/ImagicalMine-PHP7-0.14/lastSuccessfulBuild/artifact/releases/"},
    {"ClearSky(PHP7)", "ci.clearsky.example",
     "job/'PLZ%20do%20not%20use%20this%20branch'%20-------------%20ClearSky-php7/lastSuccessfulBuild/artifact/"
     "releases/"},
};

} // namespace

QString defaultSiteBaseUrl(const QString &executableFolder)
{
    // An installed layout wins, so a program installed below its own build
    // tree still uses the site installed with it.
    const QString installed = QDir::cleanPath(executableFolder + QStringLiteral("/../share/vorlune/site"));
    QString folder = installed;
    const QString buildSite = QStringLiteral(VORLUNE_BUILD_SITE_DIR);
    if (!QFileInfo(installed).isDir() && isBelow(executableFolder, QStringLiteral(VORLUNE_BUILD_TREE)) &&
        QFileInfo(buildSite).isDir())
        folder = buildSite;
    return withSlash(QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded));
}

QString siteBaseUrl()
{
    const QString url = qEnvironmentVariable("VORLUNE_SITE_URL");
    if (!url.isEmpty())
        return withSlash(url);
    return defaultSiteBaseUrl(executableFolder());
}

QList<CoreSource> coreSources()
{
    QList<CoreSource> sources;
    int place = 1;
    for (const CoreEntry &entry : kCores) {
        QString host = qEnvironmentVariable(QByteArray("VORLUNE_JENKINS_" + QByteArray::number(place++)).constData());
        if (host.isEmpty())
            host = QLatin1String(entry.host);
        sources.append({QLatin1String(entry.name),
                        QStringLiteral("http://") + host + QLatin1Char('/') + QLatin1String(entry.path)});
    }
    return sources;
}

QString phpPackUrl(const QString &siteBaseUrl, bool php5, bool is64Bit)
{
    return siteBaseUrl + QStringLiteral("VL-Files/BINS/linux/") +
           (php5 ? QStringLiteral("php5_") : QStringLiteral("php7_")) +
           (is64Bit ? QStringLiteral("64") : QStringLiteral("32")) + QStringLiteral(".zip");
}

} // namespace vorlune::testrun
