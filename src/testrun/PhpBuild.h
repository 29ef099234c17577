#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

namespace vorlune::testrun {

// Where the server project's own PHP build puts its PHP, below bin/.
inline const QString kPhpBuildBinary = QStringLiteral("php7/bin/php");
inline const QString kPhpBuildIni = QStringLiteral("php7/bin/php.ini");
inline const QString kPhpBuildExtensions = QStringLiteral("php7/lib/php/extensions/");

// Installs the server project's Linux PHP build (a tarball, in `tarball`)
// as the test server's PHP: unpacked aside; its php.ini gets the absolute
// extensions folder as "extension_dir"; "bin/php/php" runs that PHP as the
// server's own start script does and "bin/php/php.ini" is its php.ini; and
// the new PHP, in its place and reading that php.ini, must print 1 for
// `-r 'echo 1;'` (within 30 s; it and what it starts are then ended) or the
// old one goes back. Throws vorlune::Error with the reason; the old PHP then
// stays. `cancel`, set from another thread, stops it.
void installPhpBuild(const QString &programFolder, const QString &tarball, const QString &label,
                     const std::atomic_bool *cancel = nullptr);

// The text of a php.ini with "extension_dir" set to `folder`, quoted so that
// PHP reads it back exactly: the setting replaced where it stands (commented
// out or not), else added at the end. Throws vorlune::Error for a folder
// whose name holds a line break, which php.ini cannot hold.
QByteArray withExtensionDir(const QByteArray &ini, const QString &folder);

} // namespace vorlune::testrun
