#pragma once

#include <QString>

namespace vorlune::testrun {

// Where the server project's own PHP build puts its PHP, below bin/.
inline const QString kPhpBuildBinary = QStringLiteral("php7/bin/php");
inline const QString kPhpBuildIni = QStringLiteral("php7/bin/php.ini");
inline const QString kPhpBuildExtensions = QStringLiteral("php7/lib/php/extensions/");

// Installs the server project's Linux PHP build (a tarball, in `tarball`)
// as the test server's PHP: unpacked aside; its php.ini gets the absolute
// extensions folder as "extension_dir"; "bin/php/php" runs that PHP as the
// server's own start script does and "bin/php/php.ini" is its php.ini; and
// the new PHP must print 1 for `-r 'echo 1;'` before it replaces the old
// one. Throws vorlune::Error with the reason; the old PHP then stays.
void installPhpBuild(const QString &programFolder, const QString &tarball, const QString &label);

// The text of a php.ini with "extension_dir" set to `folder`: the setting
// replaced where it stands (commented out or not), else added at the end.
QByteArray withExtensionDir(const QByteArray &ini, const QString &folder);

} // namespace vorlune::testrun
