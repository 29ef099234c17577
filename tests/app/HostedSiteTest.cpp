#include "app/LanguageDownload.h"
#include "base/IniImage.h"
#include "support/LocalWebServer.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "testrun/DownloadSources.h"
#include "testrun/DownloadState.h"
#include "testrun/Installer.h"
#include "testrun/StreamDownload.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

using namespace vorlune;

namespace {

const QString kSiteConfig = QStringLiteral(VORLUNE_SOURCE_DIR "/packaging/site/vorlune-site.conf");
const QString kBuiltSite = QStringLiteral(VORLUNE_BINARY_DIR "/site/");

// nginx with the shipped site configuration, as its README section says to
// install it, but on two free ports of 127.0.0.1, with a certificate made
// now and the build's site as the root.
class NginxSite {
public:
    NginxSite()
    {
        const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"),
                                                             {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (nginx.isEmpty()) {
            m_failure = QStringLiteral("nginx is not installed");
            return;
        }
        const QString home = m_dir.path() + QLatin1Char('/');
        m_failure = test::makeTestCertificate(m_dir.path(), {QStringLiteral("127.0.0.1")});
        if (!m_failure.isEmpty())
            return;
        // A copy of the build's site, with links out of it planted.
        const QString root = home + QStringLiteral("site");
        test::writeFile(home + QStringLiteral("secret.txt"), "outside the site");
        test::runProgram(QStringLiteral("cp"), {QStringLiteral("-r"), kBuiltSite, root});
        if (!QFile::link(QStringLiteral("../secret.txt"), root + QStringLiteral("/secret.txt")) ||
            !QFile::link(QStringLiteral(".."), root + QStringLiteral("/up")))
            m_failure = QStringLiteral("cannot copy the site");
        m_port = test::freePort();
        m_plainPort = test::freePort();
        QString site = QString::fromUtf8(test::readFile(kSiteConfig));
        const auto replace = [&site](const QString &from, const QString &to) {
            const qsizetype found = site.count(from);
            site.replace(from, to);
            return found;
        };
        // Each line the README tells an admin to edit must be where it says.
        const bool edited =
            replace(QStringLiteral("listen 443 ssl;"), QStringLiteral("listen 127.0.0.1:%1 ssl;").arg(m_port)) == 1 &&
            replace(QStringLiteral("listen 80;"), QStringLiteral("listen 127.0.0.1:%1;").arg(m_plainPort)) == 1 &&
            replace(QStringLiteral("listen [::]:443 ssl;"), QString()) == 1 &&
            replace(QStringLiteral("listen [::]:80;"), QString()) == 1 &&
            replace(QStringLiteral("/etc/ssl/vorlune-site/fullchain.pem"), home + QStringLiteral("server.pem")) == 1 &&
            replace(QStringLiteral("/etc/ssl/vorlune-site/privkey.pem"), home + QStringLiteral("server.key")) == 1 &&
            replace(QStringLiteral("root /srv/vorlune-site;"), QStringLiteral("root %1;").arg(root)) == 1;
        if (!edited) {
            m_failure = QStringLiteral("the configuration no longer has the lines its README names");
            return;
        }
        test::writeFile(home + QStringLiteral("site.conf"), site.toUtf8());
        // As root the workers would read as "nobody", which cannot enter
        // the test's private folders.
        const QByteArray user = ::geteuid() == 0 ? "user root;\n" : "";
        test::writeFile(home + QStringLiteral("nginx.conf"),
                        user + "worker_processes 1;\npid " + home.toUtf8() + "nginx.pid;\nerror_log " + home.toUtf8() +
                            "error.log;\nevents { worker_connections 64; }\nhttp {\n    access_log off;\n" +
                            "    client_body_temp_path " + home.toUtf8() + "body;\n    include " + home.toUtf8() +
                            "site.conf;\n}\n");
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(nginx, {QStringLiteral("-p"), home, QStringLiteral("-c"), home + QStringLiteral("nginx.conf"),
                                QStringLiteral("-g"), QStringLiteral("daemon off;")});
        const QDeadlineTimer deadline(10000);
        while (!test::listensOn(m_port) && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning)
            QThread::msleep(20);
        if (!test::listensOn(m_port))
            m_failure = QStringLiteral("nginx did not come up: ") + QString::fromUtf8(m_process.readAll()) +
                        QString::fromUtf8(test::readFile(home + QStringLiteral("error.log")));
    }

    ~NginxSite()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString failure() const { return m_failure; }
    QString url(const QString &path = {}) const { return QStringLiteral("https://127.0.0.1:%1/").arg(m_port) + path; }
    QString plainUrl(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1/").arg(m_plainPort) + path;
    }
    QString caFile() const { return m_dir.path() + QStringLiteral("/ca.pem"); }

    // The status line and headers of a GET, lower-cased, as curl shows them.
    QString headers(const QString &url, const QStringList &more = {}) const
    {
        return test::runProgram(QStringLiteral("curl"),
                                QStringList{QStringLiteral("-sS"), QStringLiteral("-D"), QStringLiteral("-"),
                                            QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                            QStringLiteral("--cacert"), caFile(), url} +
                                    more)
            .out.toLower();
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_plainPort = 0;
    QString m_failure;
};

} // namespace

class HostedSiteTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NginxSite> m_site;
    std::unique_ptr<test::TrustedCa> m_trust;

private Q_SLOTS:
    void initTestCase()
    {
        m_site = std::make_unique<NginxSite>();
        if (!m_site->failure().isEmpty()) {
            if (qEnvironmentVariableIsSet("VORLUNE_REQUIRE_NGINX"))
                QFAIL(qPrintable(m_site->failure()));
            QSKIP(qPrintable(m_site->failure()));
        }
        m_trust = std::make_unique<test::TrustedCa>(m_site->caFile());
    }

    void cleanupTestCase()
    {
        m_trust.reset();
        m_site.reset();
    }

    void servesTheTreeWithItsTypesAndNothingElse()
    {
        const QString language = m_site->headers(m_site->url(QStringLiteral("VL-Files/languages/English.ini")));
        QVERIFY2(language.startsWith(QLatin1String("http/1.1 200")), qPrintable(language));
        QVERIFY2(language.contains(QLatin1String("content-type: text/plain\r\n")), qPrintable(language));
        QVERIFY2(language.contains(QLatin1String("cache-control: public, max-age=3600")), qPrintable(language));
        QVERIFY2(language.contains(QLatin1String("etag: ")), qPrintable(language));

        const QString pack = m_site->headers(m_site->url(QStringLiteral("VL-Files/BINS/linux/php7_64.zip")));
        QVERIFY2(pack.contains(QLatin1String("content-type: application/zip")), qPrintable(pack));

        // No listings, index pages, dot files or links out, and no caching of what is not there.
        for (const QString &path :
             {QStringLiteral("VL-Files/languages/"), QStringLiteral("VL-Files/languages"), QString(),
              QStringLiteral(".git/config"), QStringLiteral("secret.txt"), QStringLiteral("up/secret.txt")}) {
            const QString missing = m_site->headers(m_site->url(path));
            QVERIFY2(missing.startsWith(QLatin1String("http/1.1 404")) ||
                         missing.startsWith(QLatin1String("http/1.1 403")),
                     qPrintable(path + missing));
            QVERIFY2(!missing.contains(QLatin1String("cache-control")), qPrintable(path + missing));
        }
        // Plain HTTP goes to the site's own name, whatever Host the client sent.
        const QString plain = m_site->headers(m_site->plainUrl(QStringLiteral("VL-Files/languages/English.ini")),
                                              {QStringLiteral("-H"), QStringLiteral("Host: evil.example")});
        QVERIFY2(plain.startsWith(QLatin1String("http/1.1 301")) &&
                     plain.contains(QLatin1String("location: https://downloads.example.org/vl-files/")),
                 qPrintable(plain));
    }

    // What the program does with the site: a language file and a PHP pack,
    // each through the worker its window starts.
    void aLanguageAndAPhpPackComeThroughIt()
    {
        test::TestEnvironment env;
        const QString languageFile = env.path(QStringLiteral("Language.ini"));
        testrun::HttpClient languageClient(app::languageClientOptions());
        app::TSreamDownload language(languageClient, m_site->url(QStringLiteral("VL-Files/languages/English.ini")),
                                     languageFile);
        QSignalSpy failed(&language, &app::TSreamDownload::failed);
        language.start();
        QVERIFY(language.wait(60000));
        QVERIFY2(failed.isEmpty(), failed.isEmpty() ? "" : qPrintable(failed.first().first().toString()));
        QCOMPARE(base::IniImage::load(languageFile).readString(QStringLiteral("BUTTONS"), QStringLiteral("btn14"), {}),
                 base::IniImage::load(kBuiltSite + QStringLiteral("VL-Files/languages/English.ini"))
                     .readString(QStringLiteral("BUTTONS"), QStringLiteral("btn14"), {}));

        testrun::HttpClient IdHTTP1(testrun::IdHTTP1Options());
        testrun::HttpClient IdHTTP2(testrun::IdHTTP2Options());
        testrun::HttpClient feed(testrun::serverFeedOptions());
        testrun::SharedDownloadState shared;
        shared.setDownloadUrl(testrun::phpPackUrl(m_site->url(), false, true));
        shared.setDownloadMode(testrun::kPhpPack);
        testrun::TStreamDownload pack(env.home(), testrun::DownloadClients{IdHTTP1, IdHTTP2, feed},
                                      QStringLiteral("Network trouble."), shared);
        QSignalSpy ended(&pack, &testrun::TStreamDownload::workEnded);
        pack.start();
        QVERIFY(ended.wait(60000));
        pack.wait();
        QCOMPARE(shared.notifierMessage(), QString());
        const QString php = env.home() + testrun::kTestServerFolder + QStringLiteral("bin/php/php");
        QCOMPARE(test::runProgram(php, {QStringLiteral("-r"), QStringLiteral("echo 1;")}).out, QStringLiteral("1"));
    }
};

VORLUNE_TEST(HostedSiteTest)
#include "HostedSiteTest.moc"
