#pragma once

#include <QString>

namespace vorlune::testrun {

// Below the program folder P: the test server folder and what lies in it.
inline const QString kTestServerFolder = QStringLiteral("plugin_run/");
inline const QString kCoreFileName = QStringLiteral("PocketMine-Soft.phar");
inline const QString kServerSettingsFileName = QStringLiteral("pocketmine.yml");
inline const QString kPackDownloadName = QStringLiteral("php.zip");
// Where a core is downloaded to before it is checked and installed.
inline const QString kCoreDownloadName = QStringLiteral("PocketMine-Soft.phar.part");
// Downloads larger than these are refused as they arrive.
inline constexpr qint64 kPackDownloadLimit = qint64(256) << 20;
inline constexpr qint64 kCoreDownloadLimit = qint64(128) << 20;
// A "*.phar" counts as a server core only when it is larger than this.
inline constexpr qint64 kSmallestCoreSize = 1000000;

// Installs a PHP binary pack (a zip archive or a gzip-compressed tarball,
// in the file `packFile`) into P + "plugin_run/" in place of its bin/
// folder. The whole pack is checked first (testrun/PhpPack.h); the new bin/
// is unpacked beside the old one and swapped in only when it is complete, so
// any failure leaves the old bin/ as it was. Links found in the test server
// folder are never followed: a link as bin/ is replaced, a link on the way
// of another entry stops the install. Throws vorlune::Error with the reason.
void installPhpPack(const QString &programFolder, const QString &packFile);

// Installs a downloaded server core (the file `downloadedFile`) as
// P + "plugin_run/PocketMine-Soft.phar", replacing the old one (or a link
// there) whole, and drops the server's pocketmine.yml so that the new core
// writes its own. A body that is no core (not a phar of more than
// 1,000,000 bytes: an error page, a short answer), or a pocketmine.yml that
// cannot be dropped, is refused before anything is replaced. Throws
// vorlune::Error with the reason.
void installCore(const QString &programFolder, const QString &downloadedFile);

// Installs a server core the user chose. False when the file is not a core
// (not named *.phar, or 1,000,000 bytes or smaller). An installed core is
// kept: nothing is copied then. Throws vorlune::Error when the file cannot
// be read or the copy fails. A link there to a file counts as an installed
// core; one that leads nowhere is replaced.
bool installCoreFromFile(const QString &programFolder, const QString &file);

} // namespace vorlune::testrun
