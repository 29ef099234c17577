#include "testrun/HttpClient.h"
#include "base/Error.h"
#include "support/LocalWebServer.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <thread>

#include <sys/stat.h>

using namespace vorlune;
using test::errorOf;
using test::LocalWebServer;
using test::statusLineOf;
using test::TrustedCa;
using testrun::HttpClient;
using testrun::HttpClientOptions;
using testrun::HttpProgress;
using testrun::IdHTTP1Options;
using testrun::IdHTTP2Options;

namespace {

struct Recorder {
    QList<qint64> begins;
    QList<qint64> works;
    HttpProgress progress()
    {
        return {[this](qint64 expected) { begins << expected; }, [this](qint64 received) { works << received; }};
    }
};

bool rises(const QList<qint64> &values)
{
    for (qsizetype i = 1; i < values.size(); ++i)
        if (values[i] <= values[i - 1])
            return false;
    return true;
}

HttpClientOptions limitedTo(qint64 bytes)
{
    HttpClientOptions options = IdHTTP1Options();
    options.maxBodyBytes = bytes;
    return options;
}

QString fileUrl(const QString &path) { return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded); }

} // namespace

class HttpClientTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bodiesArriveWholeWithTheirProgress()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        const QByteArray pack = LocalWebServer::pattern(3 * 1024 * 1024 + 17);
        server.addFile(QStringLiteral("BINS/pack.zip"), pack);
        server.addFile(QStringLiteral("empty.ini"), {});
        HttpClient client(IdHTTP1Options());

        Recorder sized;
        QCOMPARE(client.get(server.url(QStringLiteral("BINS/pack.zip")), sized.progress()), pack);
        QCOMPARE(sized.begins, QList<qint64>{pack.size()});
        QVERIFY2(sized.works.size() > 1, "progress comes as the bytes arrive, not once at the end");
        QVERIFY(rises(sized.works));
        QCOMPARE(sized.works.last(), pack.size());

        // Without Content-Length the size is unknown until the end.
        for (const QString &path : {QStringLiteral("chunked?size=100000"), QStringLiteral("unsized?size=100000")}) {
            Recorder unknown;
            QCOMPARE(client.get(server.url(path), unknown.progress()), LocalWebServer::pattern(100000));
            QCOMPARE(unknown.begins, QList<qint64>{-1});
            QCOMPARE(unknown.works.last(), 100000);
        }

        Recorder empty;
        QCOMPARE(client.get(server.url(QStringLiteral("empty.ini")), empty.progress()), QByteArray());
        QCOMPARE(empty.begins, QList<qint64>{0});
        QVERIFY(empty.works.isEmpty());
    }

    void eachKindSendsItsHeaders()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        const QString accept =
            QStringLiteral("Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
        const QString chrome = QStringLiteral("User-Agent: Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, "
                                              "like Gecko) Chrome/49.0.2623.75 Safari/537.36");
        const QString indy = QStringLiteral("User-Agent: Mozilla/3.0 (compatible; Indy Library)");
        for (const auto &[options, agent] : {std::pair{IdHTTP1Options(), chrome}, std::pair{IdHTTP2Options(), indy}}) {
            HttpClient client(options);
            const QByteArray echo = client.get(server.url(QStringLiteral("headers")));
            const QStringList sent = QString::fromLatin1(echo).split(u'\n');
            QVERIFY2(sent.contains(agent), qPrintable(sent.join(u'|')));
            QCOMPARE(sent.filter(QStringLiteral("Accept:")), QStringList{accept});
        }
    }

    void cookiesStayWithTheClientThatGotThem()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        HttpClient first(IdHTTP2Options());
        HttpClient second(IdHTTP2Options());
        first.get(server.url(QStringLiteral("set-cookie?session=abc")));
        first.get(server.url(QStringLiteral("set-cookie?lang=ru")));
        const QString firstSent = QString::fromLatin1(first.get(server.url(QStringLiteral("headers"))));
        QVERIFY2(firstSent.contains(QLatin1String("session=abc")) && firstSent.contains(QLatin1String("lang=ru")),
                 qPrintable(firstSent));
        const QString secondSent = QString::fromLatin1(second.get(server.url(QStringLiteral("headers"))));
        QVERIFY2(!secondSent.contains(QLatin1String("Cookie")), qPrintable(secondSent));
    }

    void otherAnswersFailWithTheStatusLineTheServerSent()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        server.addFile(QStringLiteral("ok.txt"), "fine");
        HttpClient client(IdHTTP1Options());
        const QString notFound = QStringLiteral("status?code=404");
        QCOMPARE(statusLineOf(server.rawAnswer(notFound)), QStringLiteral("HTTP/1.1 404 Not Found"));
        for (const QString &path : {notFound, QStringLiteral("missing.txt"), QStringLiteral("status?code=500"),
                                    QStringLiteral("status?code=503&reason=Back%20at%20six")}) {
            Recorder recorder;
            const QString sent = statusLineOf(server.rawAnswer(path));
            QVERIFY(!sent.isEmpty());
            QCOMPARE(errorOf([&] { client.get(server.url(path), recorder.progress()); }), sent);
            QVERIFY2(recorder.begins.isEmpty() && recorder.works.isEmpty(), "an error page is no download");
            // The aborted answer leaves nothing behind for the next one.
            QCOMPARE(client.get(server.url(QStringLiteral("ok.txt"))), QByteArray("fine"));
        }
        QCOMPARE(client.get(server.url(QStringLiteral("status?code=204"))), QByteArray());
    }

    void redirectsFollowedOrRefusedPerClient()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        LocalWebServer secure({.https = true});
        VORLUNE_REQUIRE_STARTED(secure);
        server.addFile(QStringLiteral("core.phar"), "core");
        secure.addFile(QStringLiteral("core.phar"), "secure core");
        const TrustedCa trust(secure.caFile());
        const QString moved = QStringLiteral("redirect?to=/core.phar");
        const QString toSecure = QStringLiteral("redirect?code=301&to=") + secure.url(QStringLiteral("core.phar"));

        HttpClient follower(IdHTTP1Options());
        QCOMPARE(follower.get(server.url(moved)), QByteArray("core"));
        QCOMPARE(follower.get(server.url(toSecure)), QByteArray("secure core"));
        // A server must not be able to send a download to the local disk.
        const QString toDisk =
            errorOf([&] { follower.get(server.url(QStringLiteral("redirect?to=file:///etc/passwd"))); });
        QVERIFY2(toDisk.contains(QLatin1String("\"file\"")), qPrintable(toDisk));
        QCOMPARE(errorOf([&] { follower.get(server.url(QStringLiteral("redirect?to="))); }),
                 QStringLiteral("HTTP/1.1 302 Found"));

        HttpClient stayer(IdHTTP2Options());
        QCOMPARE(statusLineOf(server.rawAnswer(moved)), QStringLiteral("HTTP/1.1 302 Found"));
        QCOMPARE(errorOf([&] { stayer.get(server.url(moved)); }), QStringLiteral("HTTP/1.1 302 Found"));

        HttpClientOptions plainFollower = IdHTTP2Options();
        plainFollower.followRedirects = true;
        HttpClient plain(plainFollower);
        const QString toHttps = errorOf([&] { plain.get(server.url(toSecure)); });
        QVERIFY2(toHttps.contains(QLatin1String("\"https\"")), qPrintable(toHttps));
    }

    void schemesOutsideTheClientsSetAreRefused()
    {
        QTemporaryDir folder;
        test::writeFile(folder.filePath(QStringLiteral("Language.ini")), "[Texts]\n");
        const QString local = fileUrl(folder.filePath(QStringLiteral("Language.ini")));
        HttpClient plain(IdHTTP2Options());
        for (const QString &url : {QStringLiteral("https://127.0.0.1:1/x"), local}) {
            const QString error = errorOf([&] { plain.get(url); });
            QVERIFY2(error.contains(QLatin1String("only plain HTTP")) && error.contains(url), qPrintable(error));
        }
        HttpClientOptions noFiles = IdHTTP1Options();
        noFiles.allowFileUrls = false;
        HttpClient web(noFiles);
        QVERIFY(errorOf([&] { web.get(local); }).contains(QLatin1String("file://")));
        QVERIFY(errorOf([&] { web.get(QStringLiteral("ftp://127.0.0.1:1/x")); }).contains(QLatin1String("\"ftp\"")));
    }

    void fileUrlsReadTheBundledSite()
    {
        QTemporaryDir folder;
        const QByteArray pack = LocalWebServer::pattern(200000);
        const QString path = folder.filePath(QStringLiteral("VL-Files/BINS/linux/php 7_64.zip"));
        QDir().mkpath(QFileInfo(path).path());
        test::writeFile(path, pack);
        HttpClient client(IdHTTP1Options());
        Recorder recorder;
        QCOMPARE(client.get(fileUrl(path), recorder.progress()), pack);
        QCOMPARE(recorder.begins, QList<qint64>{pack.size()});
        QCOMPARE(recorder.works.last(), pack.size());
        const QString missing = errorOf([&] { client.get(fileUrl(folder.filePath(QStringLiteral("none.zip")))); });
        QVERIFY2(missing.contains(QLatin1String("none.zip")), qPrintable(missing));

        // A named pipe or a folder in the site's place is refused at once:
        // opening a pipe would wait for a writer that never comes.
        const QString pipe = folder.filePath(QStringLiteral("pipe.zip"));
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QElapsedTimer clock;
        clock.start();
        for (const QString &path : {pipe, folder.path()}) {
            const QString error = errorOf([&] { client.get(fileUrl(path)); });
            QVERIFY2(error.contains(QLatin1String("regular file")), qPrintable(error));
        }
        QVERIFY(clock.elapsed() < 5000);
        // A cancel stops a file read as it stops a network one.
        std::atomic_bool cancel = true;
        HttpProgress cancelled;
        cancelled.cancel = &cancel;
        QVERIFY(errorOf([&] { client.get(fileUrl(path), cancelled); }).contains(QLatin1String("was cancelled")));
    }

    void httpsTrustsOnlyKnownAuthoritiesAndNames()
    {
        LocalWebServer secure({.https = true});
        VORLUNE_REQUIRE_STARTED(secure);
        secure.addFile(QStringLiteral("lang.ini"), "secure");
        const QString url = secure.url(QStringLiteral("lang.ini"));
        {
            const TrustedCa trust(secure.caFile());
            QCOMPARE(HttpClient(IdHTTP1Options()).get(url), QByteArray("secure"));
        }
        {
            const TrustedCa none({});
            const QString error = errorOf([&] { HttpClient(IdHTTP1Options()).get(url); });
            QVERIFY2(error.startsWith(QLatin1String("SSL certificate problem")), qPrintable(error));
        }
        {
            LocalWebServer elsewhere({.https = true, .certificateNames = {QStringLiteral("downloads.example")}});
            VORLUNE_REQUIRE_STARTED(elsewhere);
            const TrustedCa trust(elsewhere.caFile());
            const QString error =
                errorOf([&] { HttpClient(IdHTTP1Options()).get(elsewhere.url(QStringLiteral("x"))); });
            QVERIFY2(error.contains(QLatin1String("'127.0.0.1'")), qPrintable(error));
        }
        {
            const TrustedCa broken(QStringLiteral("/nonexistent/ca.pem"));
            const QString error = errorOf([&] { HttpClient(IdHTTP1Options()).get(url); });
            QVERIFY2(error.startsWith(QLatin1String("VORLUNE_CA_BUNDLE: Cannot open \"/nonexistent/ca.pem\"")),
                     qPrintable(error));
        }
    }

    void answersThatStopHalfWayAreErrors()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        HttpClient client(IdHTTP1Options());
        const QString sized = errorOf([&] { client.get(server.url(QStringLiteral("halfway?size=1000&sent=400"))); });
        QVERIFY2(sized.contains(QLatin1String("600 bytes remaining")), qPrintable(sized));
        const QString chunked = errorOf([&] { client.get(server.url(QStringLiteral("halfway-chunked?sent=400"))); });
        QVERIFY2(!chunked.isEmpty(), "a chunked answer without its last chunk passed as whole");
    }

    void bodiesBeyondTheLimitAreRefused()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        server.addFile(QStringLiteral("full.bin"), LocalWebServer::pattern(4096));
        server.addFile(QStringLiteral("over.bin"), LocalWebServer::pattern(4097));
        HttpClient client(limitedTo(4096));
        QCOMPARE(client.get(server.url(QStringLiteral("full.bin"))).size(), 4096);
        const QString lowered = errorOf([&] { client.get(server.url(QStringLiteral("full.bin")), {}, 4000); });
        QVERIFY2(lowered.contains(QLatin1String("limit of 4000 bytes")), qPrintable(lowered));

        QTemporaryDir folder;
        test::writeFile(folder.filePath(QStringLiteral("over.bin")), LocalWebServer::pattern(4097));
        const QString overFile = fileUrl(folder.filePath(QStringLiteral("over.bin")));
        for (const QString &url : {server.url(QStringLiteral("over.bin")), overFile}) {
            Recorder recorder;
            const QString error = errorOf([&] { client.get(url, recorder.progress()); });
            QVERIFY2(error.contains(QLatin1String("limit of 4096 bytes")), qPrintable(error));
            QVERIFY2(recorder.works.isEmpty(), "a known size above the limit is refused before reading");
        }
        for (const QString &path : {QStringLiteral("unsized?size=100000"), QStringLiteral("chunked?size=100000")}) {
            Recorder recorder;
            const QString error = errorOf([&] { client.get(server.url(path), recorder.progress()); });
            QVERIFY2(error.contains(QLatin1String("limit of 4096 bytes")), qPrintable(error));
            QVERIFY(recorder.works.isEmpty() || recorder.works.last() <= 4096);
        }

        // The real limits: a huge announced size is refused at once, though
        // the server would keep the answer open for half a minute.
        HttpClient standard(IdHTTP1Options());
        QElapsedTimer clock;
        clock.start();
        const QString huge = server.url(QStringLiteral("stall?size=300000000"));
        const QString inMemory = errorOf([&] { standard.get(huge); });
        QVERIFY2(inMemory.contains(QLatin1String("limit of 64 MB")), qPrintable(inMemory));
        QTemporaryFile file;
        QVERIFY(file.open());
        const QString toFile = errorOf([&] { standard.download(huge, int(file.handle())); });
        QVERIFY2(toFile.contains(QLatin1String("limit of 256 MB")), qPrintable(toFile));
        QVERIFY(clock.elapsed() < 10000);
    }

    void downloadsGoToTheFileAsTheyArrive()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        HttpClient client(limitedTo(100000));
        QTemporaryFile file;
        QVERIFY(file.open());
        Recorder recorder;
        client.download(server.url(QStringLiteral("chunked?size=90000")), int(file.handle()), recorder.progress());
        QCOMPARE(test::readFile(file.fileName()), LocalWebServer::pattern(90000));
        QCOMPARE(recorder.works.last(), 90000);
        // Without a length, the limit is held as the body arrives.
        QVERIFY(file.resize(0));
        QVERIFY(file.seek(0));
        const QString error =
            errorOf([&] { client.download(server.url(QStringLiteral("unsized?size=5000000")), int(file.handle())); });
        QVERIFY2(error.contains(QLatin1String("limit of 100000 bytes")), qPrintable(error));
        QVERIFY(QFileInfo(file.fileName()).size() <= 100000);
    }

    void aTricklingAnswerEndsAtTheOverallLimit()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        server.addFile(QStringLiteral("slow.bin"), LocalWebServer::pattern(200));
        HttpClientOptions options = IdHTTP1Options();
        options.totalSeconds = 2;
        HttpClient client(options);
        QElapsedTimer clock;
        clock.start();
        // Two bytes every half second: never stalled, never done.
        const QString error =
            errorOf([&] { client.get(server.url(QStringLiteral("trickle?file=slow.bin&chunk=2&pause=0.5"))); });
        QVERIFY2(error.contains(QLatin1String("took longer than the limit of 2 seconds")), qPrintable(error));
        QVERIFY(clock.elapsed() < 10000);
    }

    void aStalledAnswerIsGivenUp()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        HttpClientOptions options = IdHTTP1Options();
        options.stallSeconds = 1;
        HttpClient client(options);
        QElapsedTimer clock;
        clock.start();
        const QString url = server.url(QStringLiteral("stall?size=1000&sent=10&seconds=30"));
        const QString error = errorOf([&] { client.get(url); });
        QVERIFY2(error.contains(QLatin1String("too slow")), qPrintable(error));
        QVERIFY(clock.elapsed() < 15000);
    }

    void aThrowingProgressCancelsTheTransfer()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        server.addFile(QStringLiteral("big.bin"), LocalWebServer::pattern(2 * 1024 * 1024));
        HttpClient client(IdHTTP1Options());
        int works = 0;
        const HttpProgress cancelling{{}, [&](qint64) {
                                          ++works;
                                          throw Error(QStringLiteral("Cancelled"));
                                      }};
        QCOMPARE(errorOf([&] { client.get(server.url(QStringLiteral("big.bin")), cancelling); }),
                 QStringLiteral("Cancelled"));
        QCOMPARE(works, 1);
        QCOMPARE(client.get(server.url(QStringLiteral("big.bin"))).size(), 2 * 1024 * 1024);

        // The flag stops a transfer while the server sends nothing at all.
        std::atomic_bool cancel = false;
        HttpProgress flagged;
        flagged.cancel = &cancel;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            cancel = true;
        });
        QElapsedTimer clock;
        clock.start();
        const QString error =
            errorOf([&] { client.get(server.url(QStringLiteral("stall?size=1000&sent=10&seconds=30")), flagged); });
        canceller.join();
        QVERIFY2(error.contains(QLatin1String("was cancelled")), qPrintable(error));
        QVERIFY(clock.elapsed() < 10000);
    }

    void oneClientServesSeveralThreadsInTurn()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        constexpr int kThreads = 4;
        constexpr int kRounds = 5;
        for (int i = 0; i < kThreads; ++i)
            server.addFile(QStringLiteral("part%1.bin").arg(i), LocalWebServer::pattern(50000 + i * 7919));
        HttpClient client(IdHTTP1Options());
        QStringList faults[kThreads];
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i)
            threads.emplace_back([&, i] {
                for (int round = 0; round < kRounds; ++round) {
                    const QString error = errorOf([&] {
                        const QByteArray body = client.get(server.url(QStringLiteral("part%1.bin").arg(i)));
                        if (body != LocalWebServer::pattern(50000 + i * 7919))
                            throw Error(QStringLiteral("part %1 came back wrong").arg(i));
                    });
                    if (!error.isEmpty())
                        faults[i] << error;
                }
            });
        for (std::thread &thread : threads)
            thread.join();
        for (const QStringList &fault : faults)
            QVERIFY2(fault.isEmpty(), qPrintable(fault.join(u'\n')));
    }
};

VORLUNE_TEST(HttpClientTest)
#include "HttpClientTest.moc"
