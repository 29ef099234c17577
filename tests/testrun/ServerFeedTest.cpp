#include "testrun/ServerFeed.h"
#include "base/IniImage.h"
#include "support/Programs.h"
#include "support/RealServerFormats.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "testrun/PhpBuild.h"

#include <QTest>

using namespace vorlune;
using test::errorOf;

class ServerFeedTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aReleaseFeedNamesTheCoreAndItsPhpBuild()
    {
        const QByteArray feed =
            test::serverFeed(QStringLiteral("https://github.com/pmmp/PocketMine-MP/releases/download/"
                                            "5.43.2/PocketMine-MP.phar"),
                             QStringLiteral("https://github.com/pmmp/PHP-Binaries"));
        const testrun::ServerRelease release = testrun::parseServerFeed(feed);
        QCOMPARE(release.downloadUrl,
                 QStringLiteral("https://github.com/pmmp/PocketMine-MP/releases/download/5.43.2/PocketMine-MP.phar"));
        QCOMPARE(testrun::phpBuildUrl(release),
                 QStringLiteral("https://github.com/pmmp/PHP-Binaries/releases/download/pm5-php-8.2-latest/"
                                "PHP-8.2-Linux-x86_64-PM5.tar.gz"));
        QCOMPARE(testrun::coreLabel(release), QStringLiteral("PocketMine-MP 5.43.2"));
        QCOMPARE(testrun::phpBuildLabel(release), QStringLiteral("PHP 8.2 (PocketMine-MP 5)"));
    }

    void unusableFeedsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("reason");
        QTest::newRow("an unknown channel")
            << QByteArray("{\"error\":\"Channel not found\"}") << QStringLiteral("answers \"Channel not found\"");
        QTest::newRow("no core") << QByteArray("{\"base_version\":\"5.43.2\",\"is_dev\":false}")
                                 << QStringLiteral("no \"download_url\"");
        QTest::newRow("a development build") << QByteArray("{\"download_url\":\"https://x/a.phar\",\"is_dev\":true}")
                                             << QStringLiteral("development build");
        QTest::newRow("a web page") << QByteArray("<!DOCTYPE html><html></html>") << QStringLiteral("not JSON");
        QTest::newRow("a list") << QByteArray("[1,2]") << QStringLiteral("not JSON (not an object)");
        QTest::newRow("a megabyte of error") << "{\"error\":\"Channel not found" + QByteArray(1 << 20, 'x') + "\"}"
                                             << QStringLiteral("answers \"Channel not found");
    }
    void unusableFeedsAreRefused()
    {
        QFETCH(QByteArray, feed);
        QFETCH(QString, reason);
        const QString error = errorOf([&] { testrun::parseServerFeed(feed); });
        QVERIFY2(error.startsWith(QLatin1String("The server's update feed cannot be used: ")) && error.contains(reason),
                 qPrintable(error));
        QVERIFY(error.size() < 400);
    }

    void aFeedWithoutPhpBuildsNamesNone()
    {
        const testrun::ServerRelease release = testrun::parseServerFeed(
            "{\"download_url\":\"https://x/a.phar\",\"base_version\":\"5.1.0\",\"php_version\":\"8.1\"}");
        QVERIFY(errorOf([&] { testrun::phpBuildUrl(release); }).contains(QLatin1String("php_download_url")));
    }

    void theFeedCanBeChosenInTheSettings()
    {
        QCOMPARE(testrun::coreFeedUrl(base::IniImage::fromBytes("[Run]\ndelete_logs=1\n")), testrun::kDefaultCoreFeed);
        QCOMPARE(
            testrun::coreFeedUrl(base::IniImage::fromBytes("[Run]\ncore_feed=https://update.example/api?channel=5\n")),
            QStringLiteral("https://update.example/api?channel=5"));
    }

    void buildsExistOnlyForX86_64()
    {
        QVERIFY(testrun::phpBuildExistsFor(QStringLiteral("x86_64")));
        for (const char *cpu : {"arm64", "i386", "riscv64", ""})
            QVERIFY2(!testrun::phpBuildExistsFor(QLatin1String(cpu)), cpu);
    }

    void extensionDirIsSetOnce_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray line = "extension_dir='/p/ext/'";
        QTest::newRow("absent, as shipped") << QByteArray("memory_limit=1G\nzend_extension=opcache.so")
                                            << "memory_limit=1G\nzend_extension=opcache.so\n" + line + '\n';
        QTest::newRow("commented out") << QByteArray("a=1\n; extension_dir = \"./\"\nb=2\n")
                                       << "a=1\n" + line + "\nb=2\n";
        QTest::newRow("set elsewhere") << QByteArray("extension_dir=/old\n") << line + '\n';
        QTest::newRow("empty") << QByteArray() << line + '\n';
    }
    void extensionDirIsSetOnce()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QByteArray, expected);
        QCOMPARE(testrun::withExtensionDir(ini, QStringLiteral("/p/ext/")), expected);
    }

    // What PHP would expand or end a value at in quotes is read back
    // exactly; a line break cannot be held at all.
    void phpReadsTheExtensionDirBack()
    {
        const test::TestEnvironment env;
        const QString ini = env.path(QStringLiteral("php.ini"));
        for (const QString &folder :
             {QStringLiteral("/p/\"q\" ${HOME} a\\b/"), QStringLiteral("/p/it's \"q\" ${HOME} $x a\\b\\/")}) {
            test::writeFile(ini, testrun::withExtensionDir({}, folder));
            const auto php = test::runProgram(QStringLiteral("php"),
                                              {QStringLiteral("-n"), QStringLiteral("-c"), ini, QStringLiteral("-r"),
                                               QStringLiteral("echo ini_get('extension_dir');")});
            QVERIFY2(php.exitCode == 0 && php.out == folder, qPrintable(php.describe()));
        }
        const auto lineBreak = [] { testrun::withExtensionDir({}, QStringLiteral("/p/a\nb/")); };
        QVERIFY(errorOf(lineBreak).contains(QLatin1String("line break")));
    }
};

VORLUNE_TEST(ServerFeedTest)
#include "ServerFeedTest.moc"
