#pragma once

#include <QByteArray>
#include <QString>

namespace vorlune::testrun {

// Below the program folder P: the test server folder and what lies in it.
inline const QString kTestServerFolder = QStringLiteral("plugin_run/");
inline const QString kCoreFileName = QStringLiteral("PocketMine-Soft.phar");
inline const QString kServerSettingsFileName = QStringLiteral("pocketmine.yml");
inline const QString kPackDownloadName = QStringLiteral("php.zip");
// A "*.phar" counts as a server core only when it is larger than this.
inline constexpr qint64 kSmallestCoreSize = 1000000;

// Installs a PHP binary pack (a ZIP archive) into P + "plugin_run/" in
// place of its bin/ folder. The whole archive is checked first: a damaged
// archive or an entry that would land outside the test server folder
// changes nothing. Links found in the test server folder are never
// followed. Throws vorlune::Error with the reason.
void installPhpPack(const QString &programFolder, const QByteArray &zipBytes);

// Installs a downloaded server core as P + "plugin_run/PocketMine-Soft.phar",
// replacing the old one whole, and drops the server's pocketmine.yml so
// that the new core writes its own. A body that is no core (not a phar of
// more than 1,000,000 bytes: an error page, a short answer), or a
// pocketmine.yml that cannot be dropped, is refused before anything is
// replaced. Throws vorlune::Error with the reason.
void installCore(const QString &programFolder, const QByteArray &core);

// Installs a server core the user chose. False when the file is not a core
// (not named *.phar, or 1,000,000 bytes or smaller). An installed core is
// kept: nothing is copied then. Throws vorlune::Error when the file cannot
// be read or the copy fails.
bool installCoreFromFile(const QString &programFolder, const QString &file);

} // namespace vorlune::testrun
