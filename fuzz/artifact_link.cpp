// The link taken from a build server's listing and its resolution against
// the listing's address. The input's first line is that address.
#include "FuzzCheck.h"

#include "testrun/ArtifactLink.h"

#include <QUrl>

using namespace vorlune::testrun;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    QString listingUrl = lineEnd < 0 ? QString() : text.left(lineEnd);
    if (!listingUrl.endsWith(QLatin1Char('/')))
        listingUrl += QLatin1Char('/');
    const QString listing = text.mid(lineEnd + 1);

    const QString link = artifactLink(listing);
    if (link.isEmpty()) {
        fuzzCheck(!listing.contains(QLatin1String(".phar\"")), "a listing naming a .phar gives a link");
        return 0;
    }
    fuzzCheck(link.endsWith(QLatin1String(".phar")), "the link names a .phar", link);
    fuzzCheck(link.size() <= 149 + 5, "at most 149 characters before .phar", link);
    fuzzCheck(!link.contains(QLatin1Char('"')), "the link holds no quote", link);
    fuzzCheck(listing.contains(link + QLatin1Char('"')), "the link stands in the listing", link);

    const QString resolved = resolveLink(listingUrl, link);
    fuzzCheck(resolved.endsWith(link), "the resolved address ends in the link", resolved);
    // Only a link with its own host may lead to another server.
    if (resolved != link) {
        const QUrl listingAddress(listingUrl);
        if (listingAddress.isValid() && !listingAddress.host().isEmpty())
            fuzzCheck(QUrl(resolved).host() == listingAddress.host(), "a relative link stays on the listing's host",
                      resolved);
    }
    return 0;
}
