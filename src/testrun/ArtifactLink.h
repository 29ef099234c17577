#pragma once

#include <QString>

namespace vorlune::testrun {

// The link of the first .phar on a build server's listing page: the text
// before the first `.phar"` back to the nearest double quote, at most 149
// characters of it, plus ".phar". Empty when the listing names no .phar.
QString artifactLink(const QString &listing);

// The absolute URL of `link` found on the page at `listingUrl`, whose path
// ends in "/". A link with a scheme and host stays as it is, a link from
// "/" keeps the listing's scheme, host and port, any other is appended.
QString resolveLink(const QString &listingUrl, const QString &link);

} // namespace vorlune::testrun
