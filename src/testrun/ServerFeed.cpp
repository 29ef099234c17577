#include "testrun/ServerFeed.h"

#include "base/Error.h"
#include "base/IniImage.h"
#include "base/Messages.h"
#include "testrun/RunOptions.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace vorlune::testrun {
namespace {

[[noreturn]] void refuse(const QString &reason)
{
    throw Error(QStringLiteral("The server's update feed cannot be used: ") + reason);
}

QString text(const QJsonObject &feed, const char *key)
{
    const QJsonValue value = feed.value(QLatin1String(key));
    return value.isString() ? value.toString().trimmed() : QString();
}

QString majorOf(const QString &version) { return version.section(QLatin1Char('.'), 0, 0); }

} // namespace

QString coreFeedUrl(const base::IniImage &settings)
{
    const QString url = readRunText(settings, RunKey::CoreFeed);
    return url.isEmpty() ? kDefaultCoreFeed : url;
}

ServerRelease parseServerFeed(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        refuse(
            QStringLiteral("its answer is not JSON (%1)")
                .arg(error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("not an object")));
    const QJsonObject feed = document.object();
    if (feed.contains(QLatin1String("error")))
        refuse(QStringLiteral("it answers \"%1\"")
                   .arg(Messages::shortened(feed.value(QLatin1String("error")).toVariant().toString())));
    ServerRelease release;
    release.downloadUrl = text(feed, "download_url");
    if (release.downloadUrl.isEmpty())
        refuse(QStringLiteral("it names no core to download (no \"download_url\")"));
    if (feed.value(QLatin1String("is_dev")).toBool())
        refuse(QStringLiteral("its newest core is a development build (\"is_dev\" is true); choose a channel of "
                              "releases"));
    release.baseVersion = text(feed, "base_version");
    release.phpVersion = text(feed, "php_version");
    release.phpDownloadUrl = text(feed, "php_download_url");
    return release;
}

QString phpBuildUrl(const ServerRelease &release)
{
    static const QString tagPath = QStringLiteral("/releases/tag/");
    const qsizetype at = release.phpDownloadUrl.indexOf(tagPath);
    const QString tag =
        at < 0 ? QString() : release.phpDownloadUrl.mid(at + tagPath.size()).section(QLatin1Char('/'), 0, 0);
    const QString major = majorOf(release.baseVersion);
    if (tag.isEmpty() || release.phpVersion.isEmpty() || major.isEmpty())
        refuse(QStringLiteral("it names no PHP build for its core (\"php_download_url\", \"php_version\", "
                              "\"base_version\")"));
    return release.phpDownloadUrl.left(at) + QStringLiteral("/releases/download/") + tag +
           QStringLiteral("/PHP-%1-Linux-x86_64-PM%2.tar.gz").arg(release.phpVersion, major);
}

QString coreLabel(const ServerRelease &release) { return QStringLiteral("PocketMine-MP ") + release.baseVersion; }

QString phpBuildLabel(const ServerRelease &release)
{
    return QStringLiteral("PHP %1 (PocketMine-MP %2)").arg(release.phpVersion, majorOf(release.baseVersion));
}

bool phpBuildExistsFor(const QString &cpu) { return cpu == QLatin1String("x86_64"); }

} // namespace vorlune::testrun
