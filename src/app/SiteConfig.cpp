#include "app/SiteConfig.h"

namespace vorlune::app {

QString siteBaseUrl()
{
    QString url = qEnvironmentVariable("VORLUNE_SITE_URL", QStringLiteral("https://files.vorlune.example/"));
    if (!url.endsWith(QLatin1Char('/')))
        url += QLatin1Char('/');
    return url;
}

} // namespace vorlune::app
