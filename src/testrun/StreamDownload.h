#pragma once

#include "testrun/DownloadState.h"
#include "testrun/HttpClient.h"

#include <QThread>

#include <atomic>

namespace vorlune::testrun {

// The clients the workers download with; they belong to the run settings window.
struct DownloadClients {
    HttpClient &IdHTTP1; // PHP binary packs
    HttpClient &IdHTTP2; // artifact listings and cores
    HttpClient &feed;    // today's server: its update feed, core and PHP builds
};

// A listing page is text to search, not a download: this much is plenty.
inline constexpr qint64 kListingLimit = qint64(16) << 20;
// An update feed is a few hundred bytes of JSON.
inline constexpr qint64 kFeedLimit = qint64(1) << 20;

// One download and install on a thread of its own: a PHP binary pack
// (mode 1), a server core from a build server's listing (mode 2), or
// today's server's PHP build (mode 4) or core (mode 5) through its update
// feed. It takes
// the shared download URL and mode when it is made, reports failures through
// the shared notifier message, and leaves every change to a window to the
// receivers of its signals, which run on the thread that owns the worker.
class TStreamDownload : public QThread {
    Q_OBJECT
public:
    TStreamDownload(const QString &programFolder, DownloadClients clients, const QString &networkMessage,
                    SharedDownloadState &shared = sharedDownloadState(), QObject *parent = nullptr);
    ~TStreamDownload() override; // cancels and waits

    int StartWork() const { return m_startWork; }
    QString url() const { return m_url; }

    // Bytes received so far of the current response; also lets the next
    // progress signal through.
    qint64 takeReceived();

    // Stops the download (at the latest about a second later) or the
    // install (at its next entry) without a message; an install stopped
    // leaves the installed files as they were.
    void cancel() { m_cancel = true; }

Q_SIGNALS:
    void workBegin(qint64 expected); // a response body starts; -1 when its size is unknown
    void workPosted();               // more bytes arrived: takeReceived() tells how many
    void notifierRaised();           // the notifier message holds a failure to show
    void workEnded(int kind);        // done, after success or failure: the controls of the kind come back

protected:
    void run() override; // Execute

private:
    void execute();
    void fail(const QString &text);
    HttpProgress progress();

    QString m_programFolder;
    DownloadClients m_clients;
    QString m_networkMessage;
    SharedDownloadState &m_shared;
    int m_startWork;
    QString m_url;
    std::atomic_bool m_cancel = false;
    std::atomic<qint64> m_received = 0;
    std::atomic_bool m_workPosted = false;
};

} // namespace vorlune::testrun
