#pragma once

#include <QString>
#include <QStringList>

namespace vorlune::build {

// Writes a ZIP archive of the given files, each stored Deflate level 1 under
// its path relative to baseFolder with "/" separators, names in the OEM code
// page. The archive appears whole or not at all. Throws vorlune::Error with
// the reason.
void writeZip(const QString &archivePath, const QString &baseFolder, const QStringList &files);

} // namespace vorlune::build
