#pragma once

#include <QString>

namespace vorlune::app {

// The download site's base URL, ending in "/". VORLUNE_SITE_URL overrides it.
QString siteBaseUrl();

} // namespace vorlune::app
