#include "testrun/ArtifactLink.h"
#include "support/TestRegistry.h"

#include <QElapsedTimer>
#include <QTest>

using namespace vorlune;

namespace {

// A listing page as a build server writes it, with `links` as its artifacts.
QString listing(const QStringList &links)
{
    QString page = QStringLiteral("<html><head><title>Artifacts</title></head><body><table>\n");
    for (const QString &link : links)
        page += QStringLiteral("<tr><td><a href=\"%1\">%1</a></td><td class=\"size\">3 MB</td></tr>\n").arg(link);
    return page + QStringLiteral("</table></body></html>\n");
}

} // namespace

class ArtifactLinkTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theFirstCoreOnThePageIsTaken()
    {
        QCOMPARE(testrun::artifactLink(listing(
                     {QStringLiteral("notes.txt"), QStringLiteral("Core-1.phar"), QStringLiteral("Core-2.phar")})),
                 QStringLiteral("Core-1.phar"));
        QCOMPARE(testrun::artifactLink(listing({QStringLiteral("releases/1.4/Core_1.4-b12.phar")})),
                 QStringLiteral("releases/1.4/Core_1.4-b12.phar"));
        // The link ends at the first .phar that a double quote closes.
        QCOMPARE(testrun::artifactLink(QStringLiteral("<a href=\"x.phar.sha1\">x</a><a href=\"y.phar\">")),
                 QStringLiteral("y.phar"));
    }

    void aLongLinkKeepsItsLast149CharactersBeforePhar()
    {
        QString name;
        for (int i = 0; name.size() < 200; ++i)
            name += QString::number(i % 10);
        const QString link = QStringLiteral("build/") + name + QStringLiteral(".phar");
        QCOMPARE(testrun::artifactLink(listing({link})), name.right(149) + QStringLiteral(".phar"));
        // At exactly 149 characters nothing is cut.
        const QString fits = name.left(149) + QStringLiteral(".phar");
        QCOMPARE(testrun::artifactLink(QStringLiteral("<a href=\"") + fits + QStringLiteral("\">")), fits);
    }

    void aListingWithoutACoreGivesNoLink()
    {
        QVERIFY(
            testrun::artifactLink(listing({QStringLiteral("Core.zip"), QStringLiteral("Core.phar.md5")})).isEmpty());
        QVERIFY(testrun::artifactLink(QString()).isEmpty());
        // A quote straight before the marker leaves nothing in front of it.
        QCOMPARE(testrun::artifactLink(QStringLiteral("href=\".phar\"")), QStringLiteral(".phar"));
    }

    void aListingOfManyMegabytesIsReadFast()
    {
        QString page;
        page.reserve(16 << 20);
        const QString row = QStringLiteral("<tr><td><a href=\"log-0000.txt\">\"quoted\" log</a></td></tr>\n");
        while (page.size() < (16 << 20))
            page += row;
        page += QStringLiteral("<a href=\"big/Core.phar\">");
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(testrun::artifactLink(page), QStringLiteral("big/Core.phar"));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    }

    void linksResolveAgainstTheListing()
    {
        const QString listingUrl = QStringLiteral("http://ci.example:8080/job/Core/lastSuccessfulBuild/artifact/");
        QCOMPARE(testrun::resolveLink(listingUrl, QStringLiteral("releases/Core.phar")),
                 listingUrl + QStringLiteral("releases/Core.phar"));
        QCOMPARE(testrun::resolveLink(listingUrl, QStringLiteral("/files/Core.phar")),
                 QStringLiteral("http://ci.example:8080/files/Core.phar"));
        QCOMPARE(testrun::resolveLink(listingUrl, QStringLiteral("https://cdn.example/x/Core.phar")),
                 QStringLiteral("https://cdn.example/x/Core.phar"));
        // Escapes in the listing's path stay as the server wrote them.
        const QString escaped = QStringLiteral("http://h/job/'A%20B'%20-%20C/artifact/");
        QCOMPARE(testrun::resolveLink(escaped, QStringLiteral("C%20D.phar")), escaped + QStringLiteral("C%20D.phar"));
        QCOMPARE(testrun::resolveLink(QStringLiteral("https://h"), QStringLiteral("/C.phar")),
                 QStringLiteral("https://h/C.phar"));
    }
};

VORLUNE_TEST(ArtifactLinkTest)
#include "ArtifactLinkTest.moc"
