#include "testrun/ArtifactLink.h"

#include <QRegularExpression>

namespace vorlune::testrun {

QString artifactLink(const QString &listing)
{
    static const QLatin1String marker(".phar\"");
    const qsizetype at = listing.indexOf(marker);
    if (at < 0)
        return {};
    // 149 characters in front of the marker at most, up to the "r" of ".phar".
    const qsizetype start = std::max<qsizetype>(0, at - 149);
    const QString window = listing.mid(start, at - start + 5);
    // Everything up to the last double quote goes.
    return window.mid(window.lastIndexOf(QLatin1Char('"')) + 1);
}

QString resolveLink(const QString &listingUrl, const QString &link)
{
    static const QRegularExpression withHost(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://[^/?#]"));
    if (withHost.match(link).hasMatch())
        return link;
    if (link.startsWith(QLatin1Char('/'))) {
        // The listing's scheme and authority, taken as written so that its
        // host and port keep their exact form.
        const qsizetype authority = listingUrl.indexOf(QLatin1String("://"));
        const qsizetype pathStart = authority < 0 ? -1 : listingUrl.indexOf(QLatin1Char('/'), authority + 3);
        return (pathStart < 0 ? listingUrl : listingUrl.left(pathStart)) + link;
    }
    return listingUrl + link;
}

} // namespace vorlune::testrun
