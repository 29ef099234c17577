#pragma once

#include <QByteArray>
#include <QString>

namespace vorlune::fileio {

// Reads a whole file; throws vorlune::Error with the system's text.
QByteArray readAll(const QString &path);

// Writes a whole file through a temporary file in the same folder that is
// renamed over the target, so a failed write never leaves half a file.
// Throws vorlune::Error with the system's text.
void writeAtomically(const QString &path, const QByteArray &bytes);

} // namespace vorlune::fileio
