#include "testrun/DownloadSources.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace vorlune;

namespace {

// Sets (or with an empty value removes) an environment variable while it lives.
class EnvironmentValue {
public:
    EnvironmentValue(const char *name, const QByteArray &value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        value.isEmpty() ? qunsetenv(name) : qputenv(name, value);
    }
    ~EnvironmentValue() { m_had ? qputenv(m_name, m_old) : qunsetenv(m_name); }

private:
    const char *m_name;
    QByteArray m_old;
    bool m_had;
};

const QStringList kNames{QStringLiteral("ClearSky(PHP5)"), QStringLiteral("Genisys(PHP7)"),
                         QStringLiteral("ImagicalMine(PHP7)"), QStringLiteral("ImagicalMine 0.14.0(PHP7)"),
                         QStringLiteral("ClearSky(PHP7)")};

QStringList pathsOf(const QList<testrun::CoreSource> &sources)
{
    QStringList paths;
    for (const auto &source : sources)
        paths << source.listingUrl.section(QLatin1Char('/'), 3);
    return paths;
}

} // namespace

class DownloadSourcesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theSiteUrlCanBeOverridden()
    {
        EnvironmentValue site("VORLUNE_SITE_URL", "http://127.0.0.1:8123/mirror");
        QCOMPARE(testrun::siteBaseUrl(), QStringLiteral("http://127.0.0.1:8123/mirror/"));
        EnvironmentValue withSlash("VORLUNE_SITE_URL", "https://files.example/site/");
        QCOMPARE(testrun::siteBaseUrl(), QStringLiteral("https://files.example/site/"));
    }

    void theBuildTreeSiteHoldsTheLinuxPacks()
    {
        EnvironmentValue site("VORLUNE_SITE_URL", {});
        const QString base = testrun::siteBaseUrl();
        QVERIFY2(base.startsWith(QLatin1String("file:///")) && base.endsWith(QLatin1Char('/')), qPrintable(base));
        QCOMPARE(QFileInfo(QUrl(base).toLocalFile()).canonicalFilePath(),
                 QFileInfo(QStringLiteral(VORLUNE_BINARY_DIR "/site")).canonicalFilePath());
        for (bool is64 : {true, false}) {
            const QString pack = QUrl(testrun::phpPackUrl(base, false, is64)).toLocalFile();
            QVERIFY2(QFileInfo(pack).isFile(), qPrintable(pack));
        }
        // The static files of the repository's site/ lie in the same folder.
        QVERIFY(QFileInfo(QUrl(base).toLocalFile() + QStringLiteral("README.md")).isFile());
    }

    void theShippedSiteIsFoundFromTheExecutable()
    {
        QTemporaryDir prefix;
        const QString root = prefix.path() + QStringLiteral("/my prefix");
        QVERIFY(QDir().mkpath(root + QStringLiteral("/bin")));
        // Without its share folder the program still names where the site belongs.
        const QString expected =
            QUrl::fromLocalFile(root + QStringLiteral("/share/vorlune/site/")).toString(QUrl::FullyEncoded);
        QCOMPARE(testrun::defaultSiteBaseUrl(root + QStringLiteral("/bin")), expected);
        QVERIFY(QDir().mkpath(root + QStringLiteral("/share/vorlune/site")));
        const QString url = testrun::defaultSiteBaseUrl(root + QStringLiteral("/bin"));
        QCOMPARE(url, expected);
        QVERIFY2(url.contains(QLatin1String("my%20prefix")), qPrintable(url));
        QCOMPARE(QUrl(url).toLocalFile(), root + QStringLiteral("/share/vorlune/site/"));

        // From the build tree the build's own site is taken.
        QCOMPARE(QUrl(testrun::defaultSiteBaseUrl(QStringLiteral(VORLUNE_BINARY_DIR "/tests"))).toLocalFile(),
                 QStringLiteral(VORLUNE_BINARY_DIR "/site/"));
    }

    void aProgramInstalledInsideTheBuildTreeUsesItsOwnSite()
    {
        QTemporaryDir inBuild(QStringLiteral(VORLUNE_BINARY_DIR "/prefix-XXXXXX"));
        if (!inBuild.isValid())
            QSKIP("the build tree is not writable here");
        QVERIFY(QDir().mkpath(inBuild.path() + QStringLiteral("/bin")));
        QVERIFY(QDir().mkpath(inBuild.path() + QStringLiteral("/share/vorlune/site")));
        QCOMPARE(QUrl(testrun::defaultSiteBaseUrl(inBuild.path() + QStringLiteral("/bin"))).toLocalFile(),
                 inBuild.path() + QStringLiteral("/share/vorlune/site/"));
    }

    void theCoresComeInOrderWithTheirListingPaths()
    {
        const auto sources = testrun::coreSources();
        QStringList names;
        for (const auto &source : sources)
            names << source.name;
        QCOMPARE(names, kNames);
        // The escapes and quotes of this path reach the server as written.
        QCOMPARE(pathsOf(sources).at(4), QStringLiteral("job/'PLZ%20do%20not%20use%20this%20branch'%20-------------%20"
                                                        "ClearSky-php7/lastSuccessfulBuild/artifact/releases/"));
        QCOMPARE(pathsOf(sources).at(1), QStringLiteral("job/Genisys-master/lastSuccessfulBuild/artifact/artifact/"));
        QCOMPARE(QUrl(sources.at(2).listingUrl).port(), 8080);
        QCOMPARE(QUrl(sources.at(3).listingUrl).port(), 8080);
    }

    void eachHostCanBeOverriddenAlone()
    {
        const QStringList defaults = pathsOf(testrun::coreSources());
        for (int place = 1; place <= 5; ++place) {
            const QByteArray variable = "VORLUNE_JENKINS_" + QByteArray::number(place);
            EnvironmentValue host(variable.constData(), "127.0.0.1:" + QByteArray::number(9000 + place));
            const auto sources = testrun::coreSources();
            for (int i = 0; i < 5; ++i) {
                const bool overridden = i == place - 1;
                QCOMPARE(sources.at(i).listingUrl.startsWith(QStringLiteral("http://127.0.0.1:%1/").arg(9000 + place)),
                         overridden);
            }
            QCOMPARE(pathsOf(sources), defaults);
        }
    }

    void thePackUrlNamesVersionAndWidth()
    {
        const QString base = QStringLiteral("http://h/s/");
        QCOMPARE(testrun::phpPackUrl(base, false, true), QStringLiteral("http://h/s/VL-Files/BINS/linux/php7_64.zip"));
        QCOMPARE(testrun::phpPackUrl(base, true, false), QStringLiteral("http://h/s/VL-Files/BINS/linux/php5_32.zip"));
    }
};

VORLUNE_TEST(DownloadSourcesTest)
#include "DownloadSourcesTest.moc"
