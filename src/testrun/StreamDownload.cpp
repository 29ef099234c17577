#include "testrun/StreamDownload.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "testrun/ArtifactLink.h"
#include "testrun/Installer.h"
#include "testrun/PhpBuild.h"
#include "testrun/ServerFeed.h"

#include <exception>
#include <new>

namespace vorlune::testrun {

TStreamDownload::TStreamDownload(const QString &programFolder, DownloadClients clients, const QString &networkMessage,
                                 SharedDownloadState &shared, QObject *parent)
    : QThread(parent), m_programFolder(programFolder), m_clients(clients), m_networkMessage(networkMessage),
      m_shared(shared), m_startWork(shared.downloadMode()), m_url(shared.downloadUrl())
{
}

TStreamDownload::~TStreamDownload()
{
    cancel();
    wait();
}

qint64 TStreamDownload::takeReceived()
{
    m_workPosted = false;
    return m_received.load();
}

HttpProgress TStreamDownload::progress()
{
    HttpProgress progress;
    progress.begin = [this](qint64 expected) {
        m_received = 0;
        Q_EMIT workBegin(expected);
    };
    // Many chunks arrive between two repaints: one signal waits at a time.
    progress.work = [this](qint64 received) {
        m_received = received;
        if (!m_workPosted.exchange(true))
            Q_EMIT workPosted();
    };
    progress.cancel = &m_cancel;
    return progress;
}

void TStreamDownload::run()
{
    try {
        execute();
    } catch (const Error &error) {
        fail(error.text());
    } catch (const std::bad_alloc &) {
        fail(QStringLiteral("Not enough memory for the download"));
    } catch (const std::exception &error) {
        fail(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        fail(QStringLiteral("Unexpected error"));
    }
    m_shared.setDownloadMode(kIdle);
    m_shared.setDownloadUrl(QString());
    Q_EMIT workEnded(m_startWork);
}

void TStreamDownload::execute()
{
    if (m_startWork == kPhpPack) {
        // Saved to a file, never held in memory, and read from there.
        const fileio::ScratchFile Stream(m_programFolder + kPackDownloadName);
        m_clients.IdHTTP1.download(m_url, Stream.fd(), progress(), kPackDownloadLimit);
        PackLayout layout;
        layout.cancel = &m_cancel;
        installPhpPack(m_programFolder, Stream.path(), layout);
    } else if (m_startWork == kCoreListing) {
        const QString listing = QString::fromUtf8(m_clients.IdHTTP2.get(m_url, progress(), kListingLimit));
        const QString link = artifactLink(listing);
        // Fetching an empty link would fetch the listing again and install
        // the page as the core.
        if (link.isEmpty())
            throw Error(QStringLiteral("The page \"%1\" links no core: no address in it ends in \".phar\"").arg(m_url));
        m_shared.setDownloadMode(kCoreArtifact);
        const fileio::ScratchFile Stream(m_programFolder + kCoreDownloadName);
        m_clients.IdHTTP2.download(resolveLink(m_url, link), Stream.fd(), progress(), kCoreDownloadLimit);
        installCore(m_programFolder, Stream.path());
    } else if (m_startWork == kPhpBuild) {
        const ServerRelease release = parseServerFeed(m_clients.feed.get(m_url, {}, kFeedLimit));
        const fileio::ScratchFile Stream(m_programFolder + kPhpBuildDownloadName);
        m_clients.feed.download(phpBuildUrl(release), Stream.fd(), progress(), kPackDownloadLimit);
        installPhpBuild(m_programFolder, Stream.path(), phpBuildLabel(release), &m_cancel);
    } else if (m_startWork == kCoreFeed) {
        const ServerRelease release = parseServerFeed(m_clients.feed.get(m_url, progress(), kFeedLimit));
        m_shared.setDownloadMode(kCoreArtifact);
        const fileio::ScratchFile Stream(m_programFolder + kCoreDownloadName);
        m_clients.feed.download(release.downloadUrl, Stream.fd(), progress(), kCoreDownloadLimit);
        installCore(m_programFolder, Stream.path());
        labelInstalledCore(m_programFolder, coreLabel(release));
    } else {
        throw Error(QStringLiteral("Unknown download mode %1").arg(m_startWork));
    }
}

void TStreamDownload::fail(const QString &text)
{
    if (m_cancel)
        return; // the program is ending: nobody is left to read it
    m_shared.setNotifierMessage(downloadFailureMessage(m_networkMessage, text));
    Q_EMIT notifierRaised();
}

} // namespace vorlune::testrun
