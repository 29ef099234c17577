#include "testrun/StreamDownload.h"
#include "support/LocalWebServer.h"
#include "support/Programs.h"
#include "support/RealServerFormats.h"
#include "support/SharedInputs.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"
#include "testrun/DownloadSources.h"
#include "testrun/Installer.h"
#include "testrun/ServerFeed.h"
#include "testrun/TestZip.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

using namespace vorlune;
using namespace vorlune::testrun;
using test::kBuiltPack;
using test::LocalWebServer;
using test::makeOldServer;
using test::OldCore;
using test::OldPhp;
using test::readFile;

namespace {

const QString kNetwork = QStringLiteral("Network trouble.");

// What one worker did, seen from the thread that made it.
struct Outcome {
    QString notifier;     // the shared notifier message at the end
    int ended = -1;       // the kind workEnded named
    QList<qint64> begins; // the sizes of the bodies, in order
    qint64 lastReceived = -1;
    int notifierSignals = 0;
    int modeAfter = -1;
    QString urlAfter;
};

class Download {
public:
    Download(const QString &home, int mode, const QString &url)
    {
        m_shared.setDownloadUrl(url);
        m_shared.setDownloadMode(mode);
        m_worker =
            std::make_unique<TStreamDownload>(home, DownloadClients{m_IdHTTP1, m_IdHTTP2, m_feed}, kNetwork, m_shared);
        QObject::connect(m_worker.get(), &TStreamDownload::workBegin,
                         [this](qint64 size) { m_outcome.begins << size; });
        QObject::connect(m_worker.get(), &TStreamDownload::workPosted,
                         [this] { m_outcome.lastReceived = m_worker->takeReceived(); });
        QObject::connect(m_worker.get(), &TStreamDownload::notifierRaised, [this] { ++m_outcome.notifierSignals; });
        QObject::connect(m_worker.get(), &TStreamDownload::workEnded, [this](int kind) { m_outcome.ended = kind; });
        m_worker->start();
    }

    Outcome finish()
    {
        if (m_outcome.ended < 0)
            if (!QTest::qWaitFor([this] { return m_outcome.ended >= 0; }, 60000))
                m_worker->cancel(); // the outcome then says it never ended
        m_worker->wait();
        m_outcome.notifier = m_shared.notifierMessage();
        m_outcome.modeAfter = m_shared.downloadMode();
        m_outcome.urlAfter = m_shared.downloadUrl();
        return m_outcome;
    }

    TStreamDownload &worker() { return *m_worker; }

private:
    HttpClient m_IdHTTP1{IdHTTP1Options()};
    HttpClient m_IdHTTP2{IdHTTP2Options()};
    HttpClient m_feed{testrun::serverFeedOptions()};
    SharedDownloadState m_shared;
    Outcome m_outcome;
    std::unique_ptr<TStreamDownload> m_worker;
};

Outcome download(const QString &home, int mode, const QString &url) { return Download(home, mode, url).finish(); }

QString failure(const QString &text) { return kNetwork + QStringLiteral("\r\nCODE [") + text + QLatin1Char(']'); }

QByteArray coreBytes(int size = 1500000) { return "<?php __HALT_COMPILER(); " + LocalWebServer::pattern(size); }

QByteArray listingOf(const QStringList &links)
{
    QByteArray page = "<html><body><table>\n";
    for (const QString &link : links)
        page += "<tr><td><a href=\"" + link.toUtf8() + "\">" + link.toUtf8() + "</a></td></tr>\n";
    return page + "</table></body></html>\n";
}

} // namespace

class StreamDownloadTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void aCoreComesFromTheFirstLinkOfTheListing()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        const QString listing = QStringLiteral("job/Core/lastSuccessfulBuild/artifact/releases/");
        server.addFile(listing + QStringLiteral("index.html"),
                       listingOf({QStringLiteral("build/Core_1.phar"), QStringLiteral("Other_2.phar")}));
        server.addFile(listing + QStringLiteral("build/Core_1.phar"), coreBytes());
        server.addFile(listing + QStringLiteral("Other_2.phar"), "the second link, never taken");
        const QString serverFolder = makeOldServer(m_env->home(), OldCore);
        const auto untouched = test::snapshotTree(serverFolder + QStringLiteral("worlds"));

        const Outcome outcome = download(m_env->home(), kCoreListing, server.url(listing));
        QCOMPARE(outcome.notifier, QString());
        QCOMPARE(outcome.ended, int(kCoreListing));
        QCOMPARE(readFile(serverFolder + kCoreFileName), coreBytes());
        QVERIFY(!QFileInfo::exists(serverFolder + kServerSettingsFileName));
        QCOMPARE(readFile(serverFolder + QStringLiteral("server.properties")), test::kOldServerProperties);
        QCOMPARE(test::snapshotTree(serverFolder + QStringLiteral("worlds")), untouched);
        // The listing and then the core, each announced with its size.
        QCOMPARE(outcome.begins.size(), 2);
        QCOMPARE(outcome.begins.last(), coreBytes().size());
        QCOMPARE(outcome.lastReceived, coreBytes().size());
        QCOMPARE(outcome.modeAfter, int(kIdle));
        QCOMPARE(outcome.urlAfter, QString());
        QCOMPARE(QDir(serverFolder).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".tmp")),
                 QStringList());
    }

    // Today's server through its update feed over HTTPS: the core behind a
    // redirect to another port, the PHP build at the address the feed implies.
    void todaysServerComesThroughItsFeed()
    {
        if (!QFileInfo(QStringLiteral("/usr/bin/php")).isExecutable())
            QSKIP("php-cli is not installed, so the PHP build's stand-in cannot run");
        const QByteArray core = test::asCore("<?php echo 'core';");
        test::TodaysServerSite site(core, m_env->home());
        VORLUNE_REQUIRE_STARTED(site);
        LocalWebServer &feedHost = site.feedHost;
        feedHost.addFile(QStringLiteral("broken"), "{\"error\":\"Channel not found\"}");
        feedHost.addFile(QStringLiteral("plain"),
                         test::serverFeed(QStringLiteral("http://127.0.0.1:%1/x.phar").arg(site.fileHost.port()),
                                          site.fileHost.url(QStringLiteral("PHP-Binaries"))));

        const Outcome coreInstalled = download(m_env->home(), kCoreFeed, site.feedUrl());
        QCOMPARE(coreInstalled.notifier, QString());
        QCOMPARE(coreInstalled.ended, int(kCoreFeed));
        const QString serverFolder = m_env->home() + kTestServerFolder;
        QCOMPARE(readFile(serverFolder + kCoreFileName), core);
        QCOMPARE(installedCoreLabel(m_env->home()), QStringLiteral("PocketMine-MP 5.43.2"));

        const Outcome phpInstalled = download(m_env->home(), kPhpBuild, site.feedUrl());
        QCOMPARE(phpInstalled.notifier, QString());
        QCOMPARE(phpInstalled.ended, int(kPhpBuild));
        QCOMPARE(installedPhpLabel(m_env->home()), QStringLiteral("PHP 8.2 (PocketMine-MP 5)"));
        QVERIFY(!QFileInfo::exists(m_env->path(kPhpBuildDownloadName)));

        const auto before = test::snapshotTree(serverFolder);
        const Outcome refused = download(m_env->home(), kCoreFeed, feedHost.url(QStringLiteral("broken")));
        QVERIFY2(refused.notifier.contains(QLatin1String("Channel not found")), qPrintable(refused.notifier));
        const Outcome plain = download(m_env->home(), kCoreFeed, feedHost.url(QStringLiteral("plain")));
        QVERIFY2(plain.notifier.contains(QLatin1String("only secure (https://) addresses")),
                 qPrintable(plain.notifier));
        const Outcome redirectedToPlain =
            download(m_env->home(), kCoreFeed,
                     feedHost.url(QStringLiteral("redirect?to=http://127.0.0.1:%1/api").arg(feedHost.port())));
        QVERIFY2(redirectedToPlain.notifier.contains(QLatin1String("Protocol \"http\" not supported")),
                 qPrintable(redirectedToPlain.notifier));
        QCOMPARE(test::snapshotTree(serverFolder), before);
    }

    void aPhpPackLandsInAMissingServerFolderAndRuns_data()
    {
        QTest::addColumn<bool>("https");
        QTest::newRow("https") << true;
        QTest::newRow("bundled site") << false;
    }
    void aPhpPackLandsInAMissingServerFolderAndRuns()
    {
        QFETCH(bool, https);
        LocalWebServer server({true});
        VORLUNE_REQUIRE_STARTED(server);
        test::TrustedCa trust(server.caFile());
        server.addFile(QStringLiteral("VL-Files/BINS/linux/php7_64.zip"), readFile(kBuiltPack));
        const QString site = https ? server.url() : defaultSiteBaseUrl(QStringLiteral(VORLUNE_BINARY_DIR));
        QVERIFY(site.startsWith(https ? QLatin1String("https://") : QLatin1String("file://")));

        const Outcome outcome = download(m_env->home(), kPhpPack, phpPackUrl(site, false, true));
        QCOMPARE(outcome.notifier, QString());
        QCOMPARE(outcome.ended, int(kPhpPack));
        const QString php = m_env->home() + kTestServerFolder + QStringLiteral("bin/php/php");
        QVERIFY(QFileInfo(php).isExecutable());
        QVERIFY(!QFileInfo::exists(m_env->home() + kPackDownloadName));
        QCOMPARE(test::runProgram(php, {QStringLiteral("-r"), QStringLiteral("echo 1;")}).out, QStringLiteral("1"));
    }

    void failuresReachTheNotifierInTheirFrame()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        LocalWebServer secure({true}); // its authority is not trusted here
        VORLUNE_REQUIRE_STARTED(secure);
        server.addFile(QStringLiteral("moved/index.html"), listingOf({QStringLiteral("Core.phar")}));
        server.addFile(QStringLiteral("bare/index.html"), "<html>no cores today</html>");
        server.addFile(QStringLiteral("pack.zip"), "PK not really a zip");
        secure.addFile(QStringLiteral("pack.zip"), readFile(kBuiltPack));
        const QString redirect = server.url(QStringLiteral("redirect?to=") + server.url(QStringLiteral("moved/")));

        struct Case {
            int mode;
            QString url;
            QString error; // the whole text, or the start of it ending in "*"
        };
        const Case cases[] = {
            {kCoreListing, server.url(QStringLiteral("status?code=404")), QStringLiteral("HTTP/1.1 404 Not Found")},
            {kCoreListing, redirect, QStringLiteral("HTTP/1.1 302 Found")},
            // A server's words are cut short before a box shows them.
            {kCoreListing, server.url(QStringLiteral("status?code=500&reason=") + QString(2000, u'r')),
             QStringLiteral("HTTP/1.1 500 ") + QString(286, u'r') + QChar(0x2026)},
            {kCoreFeed, QStringLiteral("https://127.0.0.1:1/a b"),
             QStringLiteral("Refused \"https://127.0.0.1:1/a b\": the address is malformed*")},
            {kCoreListing, secure.url(),
             QStringLiteral("Refused \"%1\": this download takes only plain HTTP*").arg(secure.url())},
            {kCoreListing, server.url(QStringLiteral("bare/")),
             QStringLiteral("The page \"%1\" links no core*").arg(server.url(QStringLiteral("bare/")))},
            {kPhpPack, server.url(QStringLiteral("pack.zip")), QStringLiteral("The PHP pack is damaged: *")},
            {kPhpPack, secure.url(QStringLiteral("pack.zip")), QStringLiteral("SSL certificate problem*")},
            {kPhpPack, server.url(QStringLiteral("halfway?size=4000&sent=100")), QStringLiteral("transfer closed*")},
        };
        const QString serverFolder = makeOldServer(m_env->home(), OldCore | OldPhp);
        const auto before = test::snapshotTree(serverFolder);
        for (const Case &c : cases) {
            const Outcome outcome = download(m_env->home(), c.mode, c.url);
            QCOMPARE(outcome.ended, c.mode);
            QCOMPARE(outcome.notifierSignals, 1);
            if (c.error.endsWith(QLatin1Char('*')))
                QVERIFY2(outcome.notifier.startsWith(failure(c.error.chopped(1)).chopped(1)),
                         qPrintable(outcome.notifier));
            else
                QCOMPARE(outcome.notifier, failure(c.error));
            QVERIFY(outcome.notifier.endsWith(QLatin1Char(']')));
            QCOMPARE(outcome.modeAfter, int(kIdle));
            QCOMPARE(test::snapshotTree(serverFolder), before);
        }
    }

    void oversizedListingsAndUnsizedCores()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        // A listing of many megabytes is refused before it fills memory.
        QByteArray huge(int(kListingLimit) + 1, 'x');
        server.addFile(QStringLiteral("huge/index.html"), huge);
        Outcome outcome = download(m_env->home(), kCoreListing, server.url(QStringLiteral("huge/")));
        QVERIFY2(outcome.notifier.contains(QLatin1String("larger than the limit of 16 MB")),
                 qPrintable(outcome.notifier));
        QVERIFY(!QFileInfo::exists(m_env->home() + kTestServerFolder + kCoreFileName));

        // A core sent without a length, found through a link from the root.
        server.addFile(QStringLiteral("list/index.html"),
                       listingOf({QStringLiteral("/unsized?size=1200000&prefix=__HALT_COMPILER();&x=.phar")}));
        outcome = download(m_env->home(), kCoreListing, server.url(QStringLiteral("list/")));
        QCOMPARE(outcome.notifier, QString());
        QCOMPARE(outcome.begins.last(), -1);
        QCOMPARE(readFile(m_env->home() + kTestServerFolder + kCoreFileName),
                 "__HALT_COMPILER();" + LocalWebServer::pattern(1200000));
    }

    void aFullDiskKeepsTheInstalledCore()
    {
        test::SmallDisk disk(256);
        VORLUNE_REQUIRE_MOUNTED(disk);
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        server.addFile(QStringLiteral("l/index.html"), listingOf({QStringLiteral("C.phar")}));
        server.addFile(QStringLiteral("l/C.phar"), coreBytes());
        const QString serverFolder = makeOldServer(disk.path(), OldCore);
        const Outcome outcome = download(disk.path(), kCoreListing, server.url(QStringLiteral("l/")));
        QVERIFY2(outcome.notifier.contains(QLatin1String("No space left on device")), qPrintable(outcome.notifier));
        QCOMPARE(readFile(serverFolder + kCoreFileName), QByteArray("old core"));
        QVERIFY(QFileInfo::exists(serverFolder + kServerSettingsFileName));
        QCOMPARE(test::namesIn(serverFolder).size(), 4);
    }

    void bothKindsRunSideBySide()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        server.addFile(QStringLiteral("pack.zip"), readFile(kBuiltPack));
        server.addFile(QStringLiteral("l/index.html"), listingOf({QStringLiteral("C.phar")}));
        server.addFile(QStringLiteral("l/C.phar"), coreBytes());
        // The core trickles in, so the pack's worker starts and ends while it runs.
        const QString core = server.url(QStringLiteral("trickle?chunk=300000&pause=0.1&file=l/C.phar"));
        server.addFile(QStringLiteral("slow/index.html"), listingOf({core}));

        Download coreDownload(m_env->home(), kCoreListing, server.url(QStringLiteral("slow/")));
        Download packDownload(m_env->home(), kPhpPack, server.url(QStringLiteral("pack.zip")));
        QCOMPARE(coreDownload.worker().StartWork(), int(kCoreListing));
        QCOMPARE(packDownload.worker().StartWork(), int(kPhpPack));
        const Outcome pack = packDownload.finish();
        const Outcome coreOutcome = coreDownload.finish();
        QCOMPARE(pack.notifier, QString());
        QCOMPARE(coreOutcome.notifier, QString());
        QVERIFY(QFileInfo(m_env->home() + kTestServerFolder + QStringLiteral("bin/php/php")).isExecutable());
        QCOMPARE(readFile(m_env->home() + kTestServerFolder + kCoreFileName), coreBytes());
    }

    void endingTheWorkerCancelsAStalledDownloadQuietly()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        QElapsedTimer clock;
        clock.start();
        Outcome outcome;
        {
            Download stalled(m_env->home(), kPhpPack,
                             server.url(QStringLiteral("stall?size=5000&sent=100&seconds=30")));
            QTest::qWait(300);
            stalled.worker().cancel();
            outcome = stalled.finish();
        }
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(outcome.notifierSignals, 0);
        QCOMPARE(outcome.notifier, QString());
        QCOMPARE(outcome.ended, int(kPhpPack));
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(StreamDownloadTest)
#include "StreamDownloadTest.moc"
