#pragma once

#include <QMutex>
#include <QString>

#include <atomic>

namespace vorlune::testrun {

// What a download worker is doing, as the core progress bar needs to know.
enum DownloadMode : int {
    kIdle = 0,
    kPhpPack = 1,
    kCoreListing = 2,  // the artifact listing is being fetched
    kCoreArtifact = 3, // the core itself is being fetched
    kPhpBuild = 4,     // today's server's PHP build, found through its update feed
    kCoreFeed = 5,     // today's server's update feed is being read for its core
};

// The items the run settings window, the language download and the
// download workers share, held once for the whole program.
class SharedDownloadState {
public:
    QString downloadUrl() const;
    void setDownloadUrl(const QString &url);

    int downloadMode() const { return m_mode.load(); }
    void setDownloadMode(int mode) { m_mode.store(mode); }

    // Empty when there is nothing to show. A message not yet shown is
    // replaced by a later one.
    QString notifierMessage() const;
    void setNotifierMessage(const QString &message);
    // The message, leaving it empty.
    QString takeNotifierMessage();

private:
    mutable QMutex m_mutex;
    QString m_url;
    QString m_notifierMessage;
    std::atomic_int m_mode = kIdle;
};

SharedDownloadState &sharedDownloadState();

// How a failed download is reported: the network message, a line break and
// the failure's own text in "CODE [...]".
QString downloadFailureMessage(const QString &networkMessage, const QString &errorText);

} // namespace vorlune::testrun
