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

// Replaces a file through a temporary file renamed over it, like
// writeAtomically but without waiting for the disk: for files the program
// can write again (runtime files), where that wait costs more than the write.
void replaceFile(const QString &path, const QByteArray &bytes);

// Writes a whole file in place, for scratch files that need no protection
// against a half-written state. Throws vorlune::Error with the system's text.
void writeScratch(const QString &path, const QByteArray &bytes);

} // namespace vorlune::fileio
