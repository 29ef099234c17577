#pragma once

#include "support/LocalWebServer.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace vorlune::test {

// Faithful copies of what today's server project publishes, to serve from
// 127.0.0.1 (see shared notes on the real servers).

inline const QString kFeedBaseVersion = QStringLiteral("5.43.2");
inline const QString kFeedPhpVersion = QStringLiteral("8.2");

// The update feed's answer for a release whose core is at `downloadUrl` and
// whose PHP builds are published in the repository at `phpRepository`
// ("https://host/owner/PHP-Binaries", no trailing "/").
QByteArray serverFeed(const QString &downloadUrl, const QString &phpRepository);

// Below `phpRepository`: where the feed's Linux PHP build lies.
QString phpBuildPath();

// A tarball with the layout of the server project's Linux PHP build. Its
// bin/php7/bin/php is a script that runs this system's PHP only when it is
// started as the server's start script starts it (PHPRC set empty) and
// "extension_dir" names the folder holding opcache.so; otherwise it fails
// as the real one does. With `runs` false it always fails.
QByteArray phpBuildTarball(bool runs = true);

// `script` (PHP) made to pass for a core: it ends in __halt_compiler(); and
// is padded past 1,000,000 bytes, which PHP never reads.
QByteArray asCore(const QByteArray &script);

// Today's server project on 127.0.0.1 over HTTPS: the update feed ("api")
// on one port; the core, behind a redirect from the feed's host, and the
// PHP builds on another. Both hosts are trusted while it lives.
class TodaysServerSite {
public:
    // `core` is the core it offers; its CAs are kept in `scratchFolder`.
    TodaysServerSite(const QByteArray &core, const QString &scratchFolder);
    ~TodaysServerSite();

    bool started() const { return feedHost.started() && fileHost.started(); }
    QString failure() const { return feedHost.failure() + fileHost.failure(); }
    QString feedUrl() const { return feedHost.url(QStringLiteral("api")); }

    LocalWebServer feedHost{{.https = true}};
    LocalWebServer fileHost{{.https = true}};

private:
    std::unique_ptr<TrustedCa> m_trust;
};

} // namespace vorlune::test
