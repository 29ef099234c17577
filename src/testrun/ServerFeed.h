#pragma once

#include <QByteArray>
#include <QString>

namespace vorlune::base {
class IniImage;
}

namespace vorlune::testrun {

// Today's server core, offered after the five build-server cores: its
// releases and the matching PHP builds are found through the server
// project's update feed.
inline const QString kFeedCoreName = QStringLiteral("PocketMine-MP(PHP8)");
inline const QString kDefaultCoreFeed = QStringLiteral("https://update.pmmp.io/api?channel=stable");

// What a feed tells of the newest release of its channel.
struct ServerRelease {
    QString baseVersion;    // "5.43.2"
    QString phpVersion;     // "8.2"
    QString downloadUrl;    // the core (a phar)
    QString phpDownloadUrl; // the release page of the matching PHP builds; may be empty
};

// The feed's address: the settings' "core_feed" when set, else the default.
QString coreFeedUrl(const base::IniImage &settings);

// Reads a feed's answer. Throws vorlune::Error with a plain reason for an
// answer that is no JSON object, one with "error", without "download_url",
// or a development build ("is_dev" true).
ServerRelease parseServerFeed(const QByteArray &json);

// The address of the server project's Linux x86_64 PHP build for `release`:
// its PHP release page with "/releases/tag/<tag>" turned into
// "/releases/download/<tag>/PHP-<php>-Linux-x86_64-PM<major>.tar.gz".
// Throws vorlune::Error when the feed names no such page.
QString phpBuildUrl(const ServerRelease &release);

// The label the run settings window shows for an installed release.
QString coreLabel(const ServerRelease &release);
QString phpBuildLabel(const ServerRelease &release);

// Builds exist only for x86_64: `cpu` as QSysInfo::currentCpuArchitecture() names it.
bool phpBuildExistsFor(const QString &cpu);

} // namespace vorlune::testrun
