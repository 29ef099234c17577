#pragma once

#include <QList>
#include <QString>

namespace vorlune::testrun {

// The download site's base URL, ending in "/": VORLUNE_SITE_URL when set,
// else the file URL of the site that ships with the program.
QString siteBaseUrl();

// The file URL of the shipped site as seen from an executable in
// `executableFolder`: <exe>/../share/vorlune/site/ for an installed
// program, the build tree's site/ for a program run from the build tree.
QString defaultSiteBaseUrl(const QString &executableFolder);

// A server core offered for download: the listing page of the build server
// that holds its latest build.
struct CoreSource {
    QString name;
    QString listingUrl;
};

// The five cores in the order the run settings list them. VORLUNE_JENKINS_1
// to VORLUNE_JENKINS_5 replace the host (with an optional ":port") of the
// entry at that place.
QList<CoreSource> coreSources();

// Where the PHP binary pack for this system lies on the download site.
QString phpPackUrl(const QString &siteBaseUrl, bool php5, bool is64Bit);

} // namespace vorlune::testrun
