#include "testrun/Installer.h"

#include "base/Descriptor.h"
#include "base/Error.h"
#include "base/FileIo.h"
#include "build/FolderTree.h"

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

#include <zip.h>

namespace vorlune::testrun {
namespace {

// A pack is held in memory from its check to its extraction.
constexpr qint64 kUnpackedLimit = qint64(512) << 20;

using fileio::systemText;

template <typename Reason>
Error failure(const char *verb, const QString &path, const Reason &reason)
{
    return fileio::fileError(verb, path, reason);
}

using Fd = base::Descriptor;

using fileio::randomSuffix;
using fileio::writeFully;

// A fresh file beside `name` in `folder`; O_EXCL never opens what is there.
int createTemporaryAt(int folder, const QByteArray &name, QByteArray &temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = '.' + name.left(200) + ".tmp-" + randomSuffix();
        const int fd = ::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
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

// Removes `name` in `parent` with everything in it. A link is removed itself,
// never entered; however deep the tree, only a few descriptors are open.
void removeTree(int parent, const QByteArray &name, const QString &shown)
{
    struct stat status {};
    if (::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return;
        throw failure("delete", shown, errno);
    }
    const bool folder = S_ISDIR(status.st_mode);
    if (folder) {
        const Fd inside(::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (inside.get() < 0)
            throw failure("delete", shown, errno);
        const auto remove = [&](const build::FolderEntry &entry, int flags) {
            if (::unlinkat(entry.folder, entry.name.c_str(), flags) != 0)
                throw failure("delete", shown + QLatin1Char('/') + QFile::decodeName(QByteArray::fromStdString(entry.path)),
                              errno);
        };
        try {
            build::walkFolder(
                inside.get(), QFile::encodeName(shown).toStdString(),
                [&](const build::FolderEntry &entry) {
                    if (S_ISDIR(entry.status.st_mode))
                        return true;
                    remove(entry, 0);
                    return false;
                },
                [&](const build::FolderEntry &entry) { remove(entry, AT_REMOVEDIR); });
        } catch (const build::FolderTreeError &error) {
            throw failure("delete", shown, QString::fromLocal8Bit(error.what()));
        }
    }
    if (::unlinkat(parent, name.constData(), folder ? AT_REMOVEDIR : 0) != 0)
        throw failure("delete", shown, errno);
}

// Puts `bytes` under `name` in `folder` through a temporary file renamed
// over it: a read-only or linked old entry is replaced, never written into.
void writeFileAt(int folder, const QByteArray &name, const QByteArray &bytes, mode_t mode, const QString &shown)
{
    QByteArray temporary;
    Fd file(createTemporaryAt(folder, name, temporary));
    if (file.get() < 0)
        throw failure("write", shown, errno);
    int error = writeFully(file.get(), bytes.constData(), bytes.size());
    if (error == 0 && ::fchmod(file.get(), mode) != 0)
        error = errno;
    const int closeError = file.close();
    if (error == 0)
        error = closeError;
    if (error == 0 && ::renameat(folder, temporary.constData(), folder, name.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(folder, temporary.constData(), 0);
        throw failure("write", shown, error);
    }
}

class RemovedOnExit {
public:
    explicit RemovedOnExit(const QString &path) : m_path(QFile::encodeName(path)) {}
    ~RemovedOnExit() { ::unlink(m_path.constData()); }
    RemovedOnExit(const RemovedOnExit &) = delete;
    RemovedOnExit &operator=(const RemovedOnExit &) = delete;

private:
    QByteArray m_path;
};

// ---- the pack ----

struct PackEntry {
    QByteArray name; // without the trailing "/" of a folder
    bool folder = false;
    mode_t mode = 0644;
    QByteArray bytes;
};

[[noreturn]] void damaged(const QString &reason)
{
    throw Error(QStringLiteral("The PHP pack is damaged: ") + reason);
}

QString quoted(const QByteArray &name)
{
    return QLatin1Char('"') + QString::fromUtf8(name) + QLatin1Char('"');
}

// Only plain relative paths: what a reader on another system would take
// as a separator or a way up is refused as well.
void checkName(const QByteArray &name)
{
    if (name.isEmpty())
        damaged(QStringLiteral("an entry has no name"));
    if (name.startsWith('/'))
        damaged(QStringLiteral("the entry %1 has an absolute path").arg(quoted(name)));
    if (name.contains('\\'))
        damaged(QStringLiteral("the entry %1 contains a backslash").arg(quoted(name)));
    QList<QByteArray> components = name.split('/');
    if (name.endsWith('/'))
        components.removeLast();
    for (const QByteArray &component : components) {
        if (component == "..")
            damaged(QStringLiteral("the entry %1 leads outside the test server folder").arg(quoted(name)));
        if (component.isEmpty() || component == ".")
            damaged(QStringLiteral("the entry %1 is not a plain relative path").arg(quoted(name)));
    }
}

// Reads an entry to its end, which is where libzip checks its CRC.
QByteArray readEntry(zip_t *archive, zip_uint64_t index, const QByteArray &name, qint64 &unpacked)
{
    zip_file_t *file = zip_fopen_index(archive, index, 0);
    if (!file)
        damaged(QStringLiteral("the entry %1 cannot be read: %2")
                    .arg(quoted(name), QString::fromLocal8Bit(zip_strerror(archive))));
    QByteArray bytes;
    static constexpr zip_uint64_t kChunk = 64 * 1024;
    for (;;) {
        char buffer[kChunk];
        const zip_int64_t got = zip_fread(file, buffer, kChunk);
        if (got < 0) {
            const QString reason = QString::fromLocal8Bit(zip_file_strerror(file));
            zip_fclose(file);
            damaged(QStringLiteral("the entry %1 cannot be read: %2").arg(quoted(name), reason));
        }
        if (got == 0)
            break;
        unpacked += got;
        if (unpacked > kUnpackedLimit) {
            zip_fclose(file);
            damaged(QStringLiteral("it unpacks to more than %1 MB").arg(kUnpackedLimit >> 20));
        }
        bytes.append(buffer, qsizetype(got));
    }
    if (const int code = zip_fclose(file); code != 0) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const QString reason = QString::fromLocal8Bit(zip_error_strerror(&error));
        zip_error_fini(&error);
        damaged(QStringLiteral("the entry %1 cannot be read: %2").arg(quoted(name), reason));
    }
    return bytes;
}

QList<PackEntry> readPack(const QByteArray &zipBytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(zipBytes.constData(), zip_uint64_t(zipBytes.size()), 0, &error);
    zip_t *archive = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!archive) {
        const QString reason = QString::fromLocal8Bit(zip_error_strerror(&error));
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        damaged(reason);
    }
    zip_error_fini(&error);
    const std::unique_ptr<zip_t, void (*)(zip_t *)> owner(archive, zip_discard);

    // libzip takes an empty body for an empty archive.
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count <= 0)
        damaged(QStringLiteral("it holds no files"));
    QList<PackEntry> entries;
    qint64 unpacked = 0;
    for (zip_uint64_t index = 0; index < zip_uint64_t(count); ++index) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
            damaged(QString::fromLocal8Bit(zip_strerror(archive)));
        const QByteArray name(stat.name);
        checkName(name);
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
            damaged(QString::fromLocal8Bit(zip_strerror(archive)));

        PackEntry entry;
        entry.folder = name.endsWith('/');
        entry.name = entry.folder ? name.chopped(1) : name;
        const mode_t runBits = system == ZIP_OPSYS_UNIX ? mode_t(attributes >> 16) & 0111 : 0;
        entry.mode = entry.folder ? 0755 : 0644 | runBits;
        entry.bytes = readEntry(archive, index, name, unpacked);
        if ((stat.valid & ZIP_STAT_SIZE) && zip_uint64_t(entry.bytes.size()) != stat.size)
            damaged(QStringLiteral("the entry %1 is not as long as its header says").arg(quoted(name)));
        entries.append(std::move(entry));
    }
    return entries;
}

// Files the test run needs from a pack, below its bin/ folder.
const QByteArray kRequiredInBin[] = {"php/php", "php/php.ini"};

bool inBin(const PackEntry &entry)
{
    return entry.name.startsWith("bin/");
}

// The bin/ folder is unpacked aside and swapped in whole: it must be a folder
// and hold what the test run starts.
void checkBinEntries(const QList<PackEntry> &entries)
{
    for (const PackEntry &entry : entries) {
        if (entry.name == "bin" && !entry.folder)
            damaged(QStringLiteral("its \"bin\" is a file, not a folder"));
    }
    for (const QByteArray &required : kRequiredInBin) {
        const bool found = std::any_of(entries.begin(), entries.end(), [&](const PackEntry &entry) {
            return !entry.folder && entry.name == "bin/" + required;
        });
        if (!found)
            damaged(QStringLiteral("it has no %1").arg(quoted("bin/" + required)));
    }
}

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

void extract(int root, const QString &rootPath, const PackEntry &entry)
{
    const QList<QByteArray> components = entry.name.split('/');
    QString shown = QDir::cleanPath(rootPath);
    Fd held;
    int folder = root;
    for (qsizetype i = 0; i + 1 < components.size(); ++i) {
        shown += QLatin1Char('/') + QFile::decodeName(components.at(i));
        held = openFolderAt(folder, components.at(i), shown);
        folder = held.get();
    }
    shown += QLatin1Char('/') + QFile::decodeName(components.last());
    if (entry.folder)
        openFolderAt(folder, components.last(), shown);
    else
        writeFileAt(folder, components.last(), entry.bytes, entry.mode, shown);
}

// Copies the open `source` to `name` in `folder` unless something appeared
// there meanwhile, which is then kept.
void copyWithoutReplacing(int source, const QString &sourcePath, int folder, const QByteArray &name,
                          const QString &shown)
{
    QByteArray temporary;
    Fd file(createTemporaryAt(folder, name, temporary));
    if (file.get() < 0)
        throw failure("write", shown, errno);
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

} // namespace

void installPhpPack(const QString &programFolder, const QByteArray &zipBytes)
{
    const QList<PackEntry> entries = readPack(zipBytes);
    checkBinEntries(entries);

    const QString serverFolder = programFolder + kTestServerFolder;
    makeFolders(serverFolder);
    const Fd root = openFolder(serverFolder);

    // Written before the old binaries go, so a full disk leaves them in place.
    const QString download = programFolder + kPackDownloadName;
    const RemovedOnExit downloadRemoved(download);
    fileio::writeScratch(download, zipBytes);

    // The new bin/ is unpacked beside the old one, which stays whole until
    // the new one is complete; then the two change places in one step.
    const QByteArray staging = makeStagingFolder(root.get(), serverFolder);
    const QString stagingPath = serverFolder + QFile::decodeName(staging);
    try {
        const Fd stagingFolder = openFolder(stagingPath);
        // Unpacked from the checked copy in memory, not from the file on disk.
        for (const PackEntry &entry : entries) {
            if (inBin(entry))
                extract(stagingFolder.get(), stagingPath, PackEntry{entry.name.mid(4), entry.folder, entry.mode, entry.bytes});
        }
        for (const PackEntry &entry : entries) {
            if (!inBin(entry) && entry.name != "bin")
                extract(root.get(), serverFolder, entry);
        }
        struct stat status {};
        const bool oldBin = ::fstatat(root.get(), "bin", &status, AT_SYMLINK_NOFOLLOW) == 0;
        const int flags = oldBin ? RENAME_EXCHANGE : RENAME_NOREPLACE;
        if (::renameat2(root.get(), staging.constData(), root.get(), "bin", flags) != 0)
            throw failure("replace", serverFolder + QStringLiteral("bin"), errno);
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

void installCore(const QString &programFolder, const QByteArray &core)
{
    // A phar's stub ends in __HALT_COMPILER(); PHP reads the name in any case.
    static const QByteArray halt("__halt_compiler();");
    if (core.size() <= kSmallestCoreSize)
        throw Error(QStringLiteral("The download is not a server core: it is %1 bytes long, and a core is "
                                   "larger than %2 bytes.")
                        .arg(core.size())
                        .arg(kSmallestCoreSize));
    if (!core.toLower().contains(halt))
        throw Error(QStringLiteral("The download is not a server core: it is no PHP archive (it has no "
                                   "__HALT_COMPILER();). The server may have sent a web page instead."));

    const QString serverFolder = programFolder + kTestServerFolder;
    makeFolders(serverFolder);
    // What must go with the old core is looked at before the core is replaced.
    const QString settings = serverFolder + kServerSettingsFileName;
    struct stat status {};
    if (::lstat(QFile::encodeName(settings).constData(), &status) == 0 && S_ISDIR(status.st_mode))
        throw failure("delete", settings, QStringLiteral("it is a folder; move it away, then install again"));
    fileio::writeAtomically(serverFolder + kCoreFileName, core);
    if (::unlink(QFile::encodeName(settings).constData()) != 0 && errno != ENOENT)
        throw failure("delete", settings, errno);
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
    if (::fstatat(folder.get(), coreName.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return true;
    copyWithoutReplacing(source.get(), file, folder.get(), coreName, serverFolder + kCoreFileName);
    return true;
}

} // namespace vorlune::testrun
