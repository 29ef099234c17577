#pragma once

#include "base/Error.h"

#include <QByteArray>
#include <QString>

namespace vorlune::fileio {

// Size limits of the files the program reads from outside.
inline constexpr qint64 kProjectFileLimit = qint64(64) << 20;
inline constexpr qint64 kIniFileLimit = qint64(16) << 20;
// Files the program made itself (build outputs) are only bounded by memory.
inline constexpr qint64 kNoLimit = -1;

// Reads a whole regular file of at most `limit` bytes (kNoLimit: any size).
// A folder, a pipe, a device or a larger file is refused without blocking.
// Throws vorlune::Error with the system's text.
QByteArray readAll(const QString &path, qint64 limit = kNoLimit);

// What a whole-file write does when the target is a link.
enum class AtLink {
    WriteThrough, // the file the link names is replaced, the link kept
    Replace,      // the link itself is replaced; what it named is untouched
};

// Writes a whole file through a fresh temporary file in the same folder that
// is flushed to the disk and renamed over the target: a failed write (a full
// disk, a file size limit, a missing permission) leaves the old file as it
// was and no temporary file behind. The temporary a killed writer of the
// same target left is removed first (base/TemporaryFiles.h). Throws
// vorlune::Error with the system's text.
void writeAtomically(const QString &path, const QByteArray &bytes, AtLink atLink = AtLink::WriteThrough);

// Like writeAtomically but without waiting for the disk: for files the
// program can write again (runtime files), where that wait costs more than
// the write.
void replaceFile(const QString &path, const QByteArray &bytes, AtLink atLink = AtLink::WriteThrough);

// Writes a whole file in place, for scratch files in the program's own
// folders. Never follows a link at `path`; a failed write removes the
// partial file. Throws vorlune::Error with the system's text.
void writeScratch(const QString &path, const QByteArray &bytes);

// A scratch file in the program's own folders, created empty (never through
// a link, never a pipe or device) and removed again when this goes.
class ScratchFile {
public:
    explicit ScratchFile(const QString &path); // throws vorlune::Error
    ~ScratchFile();
    ScratchFile(const ScratchFile &) = delete;
    ScratchFile &operator=(const ScratchFile &) = delete;

    int fd() const { return m_fd; }
    const QString &path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};

// The error of a file operation: "Cannot <verb> "<path>": <reason>", the
// reason being the system's text for an errno value or a text of its own.
Error fileError(const char *verb, const QString &path, int error);
Error fileError(const char *verb, const QString &path, const QString &reason);
QString systemText(int error);

// Writes all of data to fd, retrying short and interrupted writes; returns 0
// or the error of the write that failed.
int writeFully(int fd, const char *data, qint64 size);
// Eight random letters and digits, for fresh temporary names.
QByteArray randomSuffix();

// Makes writes beyond the process's file size limit fail with an error
// instead of ending the process, so they are reported like a full disk.
void reportOversizeWritesAsErrors();

} // namespace vorlune::fileio
