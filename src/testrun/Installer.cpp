#include "testrun/Installer.h"

#include "base/Descriptor.h"
#include "base/Error.h"
#include "base/FileIo.h"
#include "base/FolderTree.h"
#include "testrun/Launcher.h"
#include "testrun/PhpPack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlune::testrun {
namespace {

using fileio::systemText;

template <typename Reason>
Error failure(const char *verb, const QString &path, const Reason &reason)
{
    return fileio::fileError(verb, path, reason);
}

using Fd = base::Descriptor;

using fileio::randomSuffix;
using fileio::writeFully;

// A fresh name beside `name` for what `make` makes (0 when made, or -1 with
// errno set, EEXIST to try another name).
template <typename Make>
QByteArray freshName(const QByteArray &name, const QString &shown, Make make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray fresh = '.' + name.left(200) + ".tmp-" + randomSuffix();
        if (make(fresh) == 0)
            return fresh;
        if (errno != EEXIST)
            break;
    }
    throw failure("write", shown, errno);
}

// A fresh file beside `name` in `folder`; O_EXCL never opens what is there.
Fd createTemporaryAt(int folder, const QByteArray &name, QByteArray &temporary, const QString &shown)
{
    int fd = -1;
    temporary = freshName(name, shown, [&](const QByteArray &fresh) {
        fd = ::openat(folder, fresh.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        return fd >= 0 ? 0 : -1;
    });
    return Fd(fd);
}

// Creates `path` and its missing parents. Links on the way are the user's
// own set-up (a test server folder kept elsewhere) and are followed.
void makeFolders(const QString &path)
{
    const QByteArray native = QFile::encodeName(QDir::cleanPath(path));
    for (qsizetype slash = native.indexOf('/', 1);; slash = native.indexOf('/', slash + 1)) {
        const QByteArray prefix = slash < 0 ? native : native.left(slash);
        if (::mkdir(prefix.constData(), 0755) != 0 && errno != EEXIST)
            throw failure("create the folder", QFile::decodeName(prefix), errno);
        if (slash < 0)
            break;
    }
    struct stat status {};
    if (::stat(native.constData(), &status) != 0)
        throw failure("create the folder", path, errno);
    if (!S_ISDIR(status.st_mode))
        throw failure("create the folder", path, ENOTDIR);
}

Fd openFolder(const QString &path)
{
    Fd folder(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        throw failure("open the folder", path, errno);
    return folder;
}

// The folder `name` in `parent`, made when missing. A link there is refused.
Fd openFolderAt(int parent, const QByteArray &name, const QString &shown)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name.constData(), flags);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name.constData(), 0755) != 0 && errno != EEXIST)
            throw failure("create the folder", shown, errno);
        fd = ::openat(parent, name.constData(), flags);
    }
    if (fd < 0) {
        const int error = errno;
        struct stat status {};
        if (::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))
            throw failure("create the folder", shown, QStringLiteral("it is a link, which is not followed"));
        throw failure("create the folder", shown, error);
    }
    return Fd(fd);
}

// Removes `name` in `parent` with everything in it; a link is removed itself.
void removeTree(int parent, const QByteArray &name, const QString &shown)
{
    try {
        base::removeTree(parent, name.toStdString(), QFile::encodeName(shown).toStdString());
    } catch (const base::FolderTreeError &error) {
        throw Error(QString::fromLocal8Bit(error.what()));
    }
}

// ---- the pack ----

// A fresh folder in `parent` for the new bin/, named so nothing else uses it.
QByteArray makeStagingFolder(int parent, const QString &parentPath)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = ".bin-new-" + randomSuffix();
        if (::mkdirat(parent, name.constData(), 0755) == 0)
            return name;
        if (errno != EEXIST)
            throw failure("create the folder", parentPath + QFile::decodeName(name), errno);
    }
    throw failure("create the folder", parentPath + QStringLiteral(".bin-new-*"), EEXIST);
}

// The folder `parts` below `root`, made where missing; links are not followed.
Fd folderAt(int root, const QList<QByteArray> &parts, QString &shown)
{
    Fd held(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    if (held.get() < 0)
        throw failure("open the folder", shown, errno);
    for (const QByteArray &part : parts) {
        shown += QLatin1Char('/') + QFile::decodeName(part);
        held = openFolderAt(held.get(), part, shown);
    }
    return held;
}

// Puts `name` in `folder` through a temporary renamed over it: a read-only
// or linked old entry is replaced, never written into. `fill` makes the
// temporary's content.
template <typename Fill>
void replaceAt(int folder, const QByteArray &name, const QString &shown, Fill fill)
{
    QByteArray temporary;
    try {
        fill(temporary);
        if (::renameat(folder, temporary.constData(), folder, name.constData()) != 0)
            throw failure("write", shown, errno);
        // A rename onto another name of the same file does nothing and
        // leaves the temporary.
        ::unlinkat(folder, temporary.constData(), 0);
    } catch (...) {
        if (!temporary.isEmpty())
            ::unlinkat(folder, temporary.constData(), 0);
        throw;
    }
}

// The folders entries go into below `root`, made where missing. The last
// one stays open: a pack lists a folder's entries together.
class Unpacker {
public:
    Unpacker(int root, const QString &rootPath) : m_root(root), m_rootPath(QDir::cleanPath(rootPath)) {}
    int root() const { return m_root; }
    const QString &rootPath() const { return m_rootPath; }

    // The open folder `name` ("" for the root); `shown` gets its path.
    int folder(const QByteArray &name, QString &shown)
    {
        if (!m_open || name != m_name) {
            m_shown = m_rootPath;
            m_folder = folderAt(m_root, name.isEmpty() ? QList<QByteArray>() : name.split('/'), m_shown);
            m_name = name;
            m_open = true;
        }
        shown = m_shown;
        return m_folder.get();
    }

private:
    int m_root;
    QString m_rootPath;
    bool m_open = false;
    QByteArray m_name;
    Fd m_folder;
    QString m_shown;
};

// Unpacks the reader's current entry as `name` below the unpacker's root.
// Hard links name their file below it too.
void extract(PackReader &reader, const PackEntry &entry, const QByteArray &name, Unpacker &into)
{
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray last = name.mid(slash + 1);
    QString shown;
    const int folder = into.folder(slash < 0 ? QByteArray() : name.left(slash), shown);
    shown += QLatin1Char('/') + QFile::decodeName(last);

    switch (entry.kind) {
    case PackEntryKind::Folder:
        openFolderAt(folder, last, shown);
        return;
    case PackEntryKind::File:
        replaceAt(folder, last, shown, [&](QByteArray &temporary) {
            Fd file = createTemporaryAt(folder, last, temporary, shown);
            reader.unpack(file.get(), shown);
            if (::fchmod(file.get(), entry.mode) != 0 || file.close() != 0)
                throw failure("write", shown, errno);
        });
        return;
    case PackEntryKind::SymbolicLink:
        replaceAt(folder, last, shown, [&](QByteArray &temporary) {
            temporary = freshName(last, shown, [&](const QByteArray &fresh) {
                return ::symlinkat(entry.linkTarget.constData(), folder, fresh.constData());
            });
        });
        return;
    case PackEntryKind::HardLink: {
        QList<QByteArray> targetParts = entry.linkTarget.split('/');
        const QByteArray targetName = targetParts.takeLast();
        QString targetShown = into.rootPath();
        const Fd targetFolder = folderAt(into.root(), targetParts, targetShown);
        replaceAt(folder, last, shown, [&](QByteArray &temporary) {
            temporary = freshName(last, shown, [&](const QByteArray &fresh) {
                return ::linkat(targetFolder.get(), targetName.constData(), folder, fresh.constData(), 0);
            });
        });
        return;
    }
    }
}

// Entries outside bin/ go straight into the test server folder: a link or a
// file on their way there stops the pack before anything is written.
void checkWayIn(int server, const QString &serverPath, const QList<PackEntry> &entries)
{
    for (const PackEntry &entry : entries) {
        const QList<QByteArray> parts = entry.name.split('/');
        QByteArray path;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            path += (i ? "/" : "") + parts.at(i);
            const bool last = i + 1 == parts.size();
            struct stat status {};
            if (::fstatat(server, path.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT)
                    break;
                throw failure("write", serverPath + QFile::decodeName(path), errno);
            }
            const QString shown = serverPath + QFile::decodeName(path);
            const bool wantsFolder = !last || entry.kind == PackEntryKind::Folder;
            if (S_ISLNK(status.st_mode) && wantsFolder)
                throw failure("create the folder", shown, QStringLiteral("it is a link, which is not followed"));
            if (S_ISDIR(status.st_mode) != wantsFolder && !S_ISLNK(status.st_mode))
                throw failure("write", shown, wantsFolder ? ENOTDIR : EISDIR);
            if (!S_ISDIR(status.st_mode))
                break;
        }
    }
}

enum class Existing { Keep, Replace };

// Copies the open `source` to `name` in `folder` through a temporary file
// flushed to the disk. What is there (a link too) is replaced or, when
// something appeared meanwhile, kept.
void copyInto(int source, const QString &sourcePath, int folder, const QByteArray &name, const QString &shown,
              Existing existing)
{
    QByteArray temporary;
    Fd file = createTemporaryAt(folder, name, temporary, shown);
    const auto fail = [&](const Error &error) {
        ::unlinkat(folder, temporary.constData(), 0);
        return error;
    };
    for (;;) {
        char buffer[64 * 1024];
        const ssize_t got = ::read(source, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw fail(failure("read", sourcePath, errno));
        if (got == 0)
            break;
        if (const int error = writeFully(file.get(), buffer, got); error != 0)
            throw fail(failure("write", shown, error));
    }
    int error = ::fsync(file.get()) == 0 ? 0 : errno;
    const int closeError = file.close();
    if (error == 0)
        error = closeError;
    if (error != 0)
        throw fail(failure("write", shown, error));

    if (existing == Existing::Replace) {
        if (::renameat(folder, temporary.constData(), folder, name.constData()) != 0)
            throw fail(failure("write", shown, errno));
        return;
    }
    if (::renameat2(folder, temporary.constData(), folder, name.constData(), RENAME_NOREPLACE) == 0)
        return;
    error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the no-replace rename: a hard link refuses
        // an existing name as well.
        error = ::linkat(folder, temporary.constData(), folder, name.constData(), 0) == 0 ? 0 : errno;
        ::unlinkat(folder, temporary.constData(), 0);
    } else {
        ::unlinkat(folder, temporary.constData(), 0);
    }
    if (error != 0 && error != EEXIST)
        throw failure("write", shown, error);
}

// A phar's stub ends in __HALT_COMPILER(); PHP reads the name in any case.
bool holdsHaltCompiler(int fd, const QString &path)
{
    static const QByteArray halt("__halt_compiler();");
    QByteArray window;
    char buffer[256 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw failure("read", path, errno);
        if (got == 0)
            return false;
        // The tail of the last read, in case the marker spans two reads.
        window = window.right(halt.size() - 1) + QByteArray(buffer, got).toLower();
        if (window.contains(halt))
            return true;
    }
}

} // namespace

void installPhpPack(const QString &programFolder, const QString &packFile, const PackLayout &layout)
{
    const Fd pack(::open(QFile::encodeName(packFile).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (pack.get() < 0)
        throw failure("open", packFile, errno);
    const PackOutline outline = checkPack(pack.get(), layout.required, layout.cancel);

    const QString serverFolder = programFolder + kTestServerFolder;
    makeFolders(serverFolder);
    const Fd root = openFolder(serverFolder);
    checkWayIn(root.get(), serverFolder, outline.outsideBin);

    // The new bin/ is unpacked beside the old one, which stays whole until
    // the new one is complete; then the two change places in one step.
    const QByteArray staging = makeStagingFolder(root.get(), serverFolder);
    const QString stagingPath = serverFolder + QFile::decodeName(staging);
    try {
        {
            const Fd stagingFolder = openFolder(stagingPath);
            Unpacker into(stagingFolder.get(), stagingPath);
            PackReader reader(pack.get(), layout.cancel);
            PackEntry entry;
            while (reader.next(entry)) {
                if (!entry.name.startsWith("bin/"))
                    continue;
                if (entry.kind == PackEntryKind::HardLink)
                    entry.linkTarget = entry.linkTarget.mid(4);
                extract(reader, entry, entry.name.mid(4), into);
            }
        }
        if (layout.finish)
            layout.finish(stagingPath + QLatin1Char('/'), serverFolder + QStringLiteral("bin/"));
        const QString label = layout.label.isEmpty() ? QStringLiteral("?") : layout.label;
        fileio::writeScratch(stagingPath + QLatin1Char('/') + kPhpLabelFile.mid(4), label.toUtf8());
        struct stat status {};
        const bool oldBin = ::fstatat(root.get(), "bin", &status, AT_SYMLINK_NOFOLLOW) == 0;
        if (::renameat2(root.get(), staging.constData(), root.get(), "bin",
                        oldBin ? RENAME_EXCHANGE : RENAME_NOREPLACE) != 0)
            throw failure("replace", serverFolder + QStringLiteral("bin"), errno);
        try {
            if (layout.trial)
                layout.trial(serverFolder + QStringLiteral("bin/"));
            if (!outline.outsideBin.isEmpty()) {
                Unpacker into(root.get(), serverFolder);
                PackReader reader(pack.get(), layout.cancel);
                PackEntry entry;
                while (reader.next(entry)) {
                    if (!entry.name.startsWith("bin/") && entry.name != "bin")
                        extract(reader, entry, entry.name, into);
                }
            }
        } catch (...) {
            // The old bin/ goes back; the new one takes the staging name and goes.
            if (oldBin)
                ::renameat2(root.get(), staging.constData(), root.get(), "bin", RENAME_EXCHANGE);
            else
                ::renameat(root.get(), "bin", root.get(), staging.constData());
            throw;
        }
    } catch (...) {
        try {
            removeTree(root.get(), staging, stagingPath);
        } catch (const Error &) {
            // The first failure is the one to report.
        }
        throw;
    }
    // The old bin/ now has the staging folder's name.
    removeTree(root.get(), staging, stagingPath);
}

void installCore(const QString &programFolder, const QString &downloadedFile)
{
    const Fd core(
        ::open(QFile::encodeName(downloadedFile).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (core.get() < 0 || ::fstat(core.get(), &status) != 0)
        throw failure("open", downloadedFile, errno);
    if (status.st_size <= kSmallestCoreSize)
        throw Error(QStringLiteral("The download is not a server core: it is %1 bytes long, and a core is "
                                   "larger than %2 bytes.")
                        .arg(status.st_size)
                        .arg(kSmallestCoreSize));
    if (!holdsHaltCompiler(core.get(), downloadedFile))
        throw Error(QStringLiteral("The download is not a server core: it is no PHP archive (it has no "
                                   "__HALT_COMPILER();). The server may have sent a web page instead."));

    const QString serverFolder = programFolder + kTestServerFolder;
    makeFolders(serverFolder);
    const Fd folder = openFolder(serverFolder);
    // What must go with the old core is looked at before the core is replaced.
    const QByteArray settings = QFile::encodeName(kServerSettingsFileName);
    if (::fstatat(folder.get(), settings.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode))
        throw failure("delete", serverFolder + kServerSettingsFileName,
                      QStringLiteral("it is a folder; move it away, then install again"));
    if (::lseek(core.get(), 0, SEEK_SET) != 0)
        throw failure("read", downloadedFile, errno);
    copyInto(core.get(), downloadedFile, folder.get(), QFile::encodeName(kCoreFileName), serverFolder + kCoreFileName,
             Existing::Replace);
    if (::unlinkat(folder.get(), settings.constData(), 0) != 0 && errno != ENOENT)
        throw failure("delete", serverFolder + kServerSettingsFileName, errno);
}

bool installCoreFromFile(const QString &programFolder, const QString &file)
{
    const QString fileName = QFileInfo(file).fileName();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || fileName.mid(dot) != QLatin1String(".phar"))
        return false;

    // Looked at before opening: opening a pipe or a device can block or act.
    const QByteArray native = QFile::encodeName(file);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0)
        throw failure("open", file, errno);
    if (!S_ISREG(status.st_mode))
        throw failure("open", file, QStringLiteral("it is not a regular file"));
    const Fd source(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (source.get() < 0)
        throw failure("open", file, errno);
    if (::fstat(source.get(), &status) != 0)
        throw failure("read", file, errno);
    if (!S_ISREG(status.st_mode))
        throw failure("open", file, QStringLiteral("it is not a regular file"));
    if (status.st_size <= kSmallestCoreSize)
        return false;

    const QString serverFolder = programFolder + kTestServerFolder;
    makeFolders(serverFolder);
    const Fd folder = openFolder(serverFolder);
    const QByteArray coreName = QFile::encodeName(kCoreFileName);
    struct stat existing {};
    if (::fstatat(folder.get(), coreName.constData(), &existing, 0) == 0)
        return true;
    // A link that leads nowhere is no core: it is replaced, not written through.
    const bool deadLink = ::fstatat(folder.get(), coreName.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    copyInto(source.get(), file, folder.get(), coreName, serverFolder + kCoreFileName,
             deadLink ? Existing::Replace : Existing::Keep);
    return true;
}

namespace {

// What labels a core: its size and modification time, then the label.
QByteArray coreStamp(const QString &core)
{
    struct stat status {};
    if (::stat(QFile::encodeName(core).constData(), &status) != 0)
        return {};
    return QByteArray::number(qint64(status.st_size)) + ' ' + QByteArray::number(qint64(status.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qint64(status.st_mtim.tv_nsec));
}

QByteArray smallFile(const QString &path)
{
    try {
        return fileio::readAll(path, 4096);
    } catch (const Error &) {
        return {};
    }
}

} // namespace

QString installedPhpLabel(const QString &programFolder)
{
    const QString serverFolder = programFolder + kTestServerFolder;
    if (!missingPhpBinary(serverFolder).isEmpty())
        return {};
    const QString label = QString::fromUtf8(smallFile(serverFolder + kPhpLabelFile)).trimmed();
    return label.isEmpty() ? QStringLiteral("?") : label;
}

QString installedCoreLabel(const QString &programFolder)
{
    const QString serverFolder = programFolder + kTestServerFolder;
    const QString core = findCoreEntry(serverFolder);
    if (core.isEmpty())
        return {};
    const QByteArray kept = smallFile(serverFolder + kCoreLabelFile);
    const qsizetype lineEnd = kept.indexOf('\n');
    if (lineEnd > 0 && core == kCoreFileName && kept.left(lineEnd) == coreStamp(serverFolder + core))
        return QString::fromUtf8(kept.mid(lineEnd + 1)).trimmed();
    return core;
}

void labelInstalledCore(const QString &programFolder, const QString &label)
{
    const QString serverFolder = programFolder + kTestServerFolder;
    fileio::writeAtomically(serverFolder + kCoreLabelFile,
                            coreStamp(serverFolder + kCoreFileName) + '\n' + label.toUtf8(), fileio::AtLink::Replace);
}

} // namespace vorlune::testrun
