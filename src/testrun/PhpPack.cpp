#include "testrun/PhpPack.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "base/Messages.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <deque>
#include <string_view>
#include <unordered_map>

#include <sys/stat.h>
#include <unistd.h>

namespace vorlune::testrun {
namespace {

QString quoted(const QByteArray &name)
{
    return QLatin1Char('"') + Messages::shortened(QString::fromUtf8(name)) + QLatin1Char('"');
}

QString archiveText(struct archive *archive)
{
    const char *text = archive_error_string(archive);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
}

QString megabytes(qint64 bytes) { return QStringLiteral("%1 MB").arg(bytes >> 20); }

// Only plain relative paths within the limits: what a reader on another
// system would take as a separator or a way up is refused as well.
QByteArray checkedName(QByteArray name, bool folder)
{
    if (name.isEmpty())
        packDamaged(QStringLiteral("an entry has no name"));
    if (name.startsWith('/'))
        packDamaged(QStringLiteral("the entry %1 has an absolute path").arg(quoted(name)));
    if (name.contains('\\'))
        packDamaged(QStringLiteral("the entry %1 contains a backslash").arg(quoted(name)));
    if (name.size() > kPackPathLimit)
        packRefused(QStringLiteral("the entry %1... has a name longer than %2 bytes")
                        .arg(quoted(name.left(60)))
                        .arg(kPackPathLimit));
    if (folder && name.endsWith('/'))
        name.chop(1);
    const QList<QByteArray> parts = name.split('/');
    if (parts.size() > kPackDepthLimit)
        packRefused(
            QStringLiteral("the entry %1 lies more than %2 folders deep").arg(quoted(name)).arg(kPackDepthLimit));
    for (const QByteArray &part : parts) {
        if (part == "..")
            packDamaged(QStringLiteral("the entry %1 leads outside the test server folder").arg(quoted(name)));
        if (part.isEmpty() || part == ".")
            packDamaged(QStringLiteral("the entry %1 is not a plain relative path").arg(quoted(name)));
        if (part.size() > kPackNameLimit)
            packRefused(
                QStringLiteral("the entry %1 has a part longer than %2 bytes").arg(quoted(name)).arg(kPackNameLimit));
    }
    return name;
}

QString kindText(mode_t type)
{
    switch (type) {
    case AE_IFCHR:
    case AE_IFBLK:
        return QStringLiteral("a device");
    case AE_IFIFO:
        return QStringLiteral("a named pipe");
    case AE_IFSOCK:
        return QStringLiteral("a socket");
    default:
        return QStringLiteral("of an unknown kind");
    }
}

// A link inside bin/ stays inside it: a relative target whose leading ".."
// go no higher than bin/ and that has no ".." after a name (a link on the
// way could lead such a ".." anywhere).
void checkLinkInsideBin(const PackEntry &entry)
{
    const auto refuse = [&] {
        packRefused(QStringLiteral("the link %1 leads to %2, outside its bin/ folder")
                        .arg(quoted(entry.name), quoted(entry.linkTarget)));
    };
    if (!entry.name.startsWith("bin/"))
        packRefused(
            QStringLiteral("the entry %1 is a link; a pack holds links only inside bin/").arg(quoted(entry.name)));
    if (entry.linkTarget.isEmpty() || entry.linkTarget.startsWith('/') || entry.linkTarget.contains('\\'))
        refuse();
    const qsizetype depth = entry.name.count('/') - 1; // folders between bin/ and the link
    qsizetype up = 0;
    bool named = false;
    for (const QByteArray &part : entry.linkTarget.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (named || ++up > depth)
                refuse();
        } else {
            named = true;
        }
    }
}

} // namespace

void packDamaged(const QString &reason) { throw Error(QStringLiteral("The PHP pack is damaged: ") + reason); }

void packRefused(const QString &reason) { throw Error(QStringLiteral("The PHP pack is refused: ") + reason); }

void installCancelled() { throw Error(QStringLiteral("The install was cancelled")); }

PackReader::PackReader(int fd, const std::atomic_bool *cancel) : m_cancel(cancel)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        packDamaged(fileio::systemText(errno));
    m_packed = status.st_size;
    // libarchive would read an empty file as an archive without entries.
    if (m_packed == 0)
        packDamaged(QStringLiteral("it holds no files"));
    if (::lseek(fd, 0, SEEK_SET) != 0)
        packDamaged(fileio::systemText(errno));
    m_archive = archive_read_new();
    if (!m_archive)
        throw Error(QStringLiteral("Not enough memory to read the PHP pack"));
    // The seekable zip reader goes by the central directory, so a cut-off
    // zip is noticed.
    archive_read_support_format_zip_seekable(m_archive);
    archive_read_support_format_tar(m_archive);
    archive_read_support_filter_gzip(m_archive);
    if (archive_read_open_fd(m_archive, fd, 64 * 1024) != ARCHIVE_OK) {
        const QString reason = archiveText(m_archive);
        archive_read_free(m_archive);
        m_archive = nullptr;
        packDamaged(reason);
    }
}

PackReader::~PackReader()
{
    if (m_archive)
        archive_read_free(m_archive);
}

void PackReader::checkCancel() const
{
    if (m_cancel && m_cancel->load())
        installCancelled();
}

bool PackReader::next(PackEntry &entry)
{
    checkCancel();
    struct archive_entry *header = nullptr;
    const int result = archive_read_next_header(m_archive, &header);
    if (result == ARCHIVE_EOF)
        return false;
    // A warning is a name not in the locale's encoding: its bytes are used.
    if (result < ARCHIVE_WARN)
        packDamaged(archiveText(m_archive));
    if (++m_count > kPackEntryLimit)
        packRefused(QStringLiteral("it holds more than %1 entries").arg(kPackEntryLimit));

    const char *name = archive_entry_pathname(header);
    const mode_t type = archive_entry_filetype(header);
    const char *hardLink = archive_entry_hardlink(header);
    entry.name = checkedName(QByteArray(name ? name : ""), type == AE_IFDIR);
    entry.linkTarget.clear();
    const mode_t runBits = archive_entry_perm(header) & 0111;
    if (hardLink) {
        entry.kind = PackEntryKind::HardLink;
        entry.linkTarget = checkedName(QByteArray(hardLink), false);
    } else if (type == AE_IFDIR) {
        entry.kind = PackEntryKind::Folder;
    } else if (type == AE_IFLNK) {
        entry.kind = PackEntryKind::SymbolicLink;
        const char *target = archive_entry_symlink(header);
        entry.linkTarget = QByteArray(target ? target : "");
    } else if (type == AE_IFREG || type == 0) {
        entry.kind = PackEntryKind::File;
    } else {
        packRefused(QStringLiteral("the entry %1 is %2").arg(quoted(entry.name), kindText(type)));
    }
    entry.mode = entry.kind == PackEntryKind::Folder ? 0755 : 0644 | runBits;
    return true;
}

void PackReader::unpack(int out, const QString &shown)
{
    char buffer[64 * 1024];
    for (;;) {
        checkCancel();
        const la_ssize_t got = archive_read_data(m_archive, buffer, sizeof buffer);
        if (got < 0)
            packDamaged(archiveText(m_archive));
        if (got == 0)
            return;
        m_unpacked += got;
        if (m_unpacked > kPackUnpackedLimit)
            packRefused(QStringLiteral("it unpacks to more than %1").arg(megabytes(kPackUnpackedLimit)));
        if (m_unpacked > kPackRatioFloor && m_unpacked / kPackRatioLimit > m_packed)
            packRefused(QStringLiteral("it unpacks to more than %1 times its own size of %2 bytes, which no PHP "
                                       "build does")
                            .arg(kPackRatioLimit)
                            .arg(m_packed));
        if (out >= 0) {
            if (const int error = fileio::writeFully(out, buffer, got); error != 0)
                throw fileio::fileError("write", shown, error);
        }
    }
}

PackOutline checkPack(int fd, const QList<QByteArray> &required, const std::atomic_bool *cancel)
{
    enum class Use { File, Folder, Link };
    // Keys are views into the names kept here, so a folder on the way of a
    // name is looked up without a copy of it.
    std::deque<QByteArray> names;
    std::unordered_map<std::string_view, Use> uses;
    const auto view = [](const QByteArray &name) { return std::string_view(name.constData(), size_t(name.size())); };
    const auto useOf = [&](std::string_view name, Use otherwise) {
        const auto found = uses.find(name);
        return found == uses.end() ? otherwise : found->second;
    };
    const auto clash = [](std::string_view name) {
        packDamaged(QStringLiteral("%1 is both a file and a folder in it")
                        .arg(quoted(QByteArray(name.data(), qsizetype(name.size())))));
    };
    int folders = 0;
    const auto addFolder = [&](std::string_view folder) {
        uses.emplace(folder, Use::Folder);
        if (++folders > kPackFolderLimit)
            packRefused(QStringLiteral("its names make more than %1 folders").arg(kPackFolderLimit));
    };
    // Every folder on the way is a folder too. A known folder's own folders
    // are known, so the walk up ends at the first one found.
    const auto useFolders = [&](std::string_view name) {
        for (size_t slash = name.rfind('/'); slash != std::string_view::npos && slash > 0;
             slash = name.rfind('/', slash - 1)) {
            const std::string_view folder = name.substr(0, slash);
            const auto found = uses.find(folder);
            if (found != uses.end()) {
                if (found->second != Use::Folder)
                    clash(folder);
                return;
            }
            addFolder(folder);
        }
    };

    PackOutline outline;
    PackReader reader(fd, cancel);
    PackEntry entry;
    bool any = false;
    while (reader.next(entry)) {
        any = true;
        const std::string_view name = view(names.emplace_back(entry.name));
        useFolders(name);
        const Use use = entry.kind == PackEntryKind::Folder         ? Use::Folder
                        : entry.kind == PackEntryKind::SymbolicLink ? Use::Link
                                                                    : Use::File;
        // Looked at before the entry itself is known: a hard link to its own
        // name links to nothing.
        if (entry.kind == PackEntryKind::HardLink &&
            (useOf(view(entry.linkTarget), Use::Folder) != Use::File ||
             entry.linkTarget.startsWith("bin/") != entry.name.startsWith("bin/")))
            packDamaged(QStringLiteral("the entry %1 links to %2, which is no file before it in its part of the pack")
                            .arg(quoted(entry.name), quoted(entry.linkTarget)));
        const auto found = uses.find(name);
        if (found != uses.end() && (found->second != use || use == Use::Link)) {
            if (use == Use::Link || found->second == Use::Link)
                packDamaged(QStringLiteral("%1 appears twice in it, once as a link").arg(quoted(entry.name)));
            clash(name);
        }
        if (found == uses.end()) {
            if (use == Use::Folder)
                addFolder(name);
            else
                uses.emplace(name, use);
        } else {
            names.pop_back(); // known already: its first name stays the key
        }

        if (entry.kind == PackEntryKind::SymbolicLink)
            checkLinkInsideBin(entry);
        if (entry.name == "bin" && use != Use::Folder)
            packDamaged(QStringLiteral("its \"bin\" is a file, not a folder"));
        reader.unpack(-1, QString());
        if (!entry.name.startsWith("bin/") && entry.name != "bin")
            outline.outsideBin.append(entry);
    }
    if (!any)
        packDamaged(QStringLiteral("it holds no files"));
    for (const QByteArray &file : required) {
        if (useOf(view("bin/" + file), Use::Folder) == Use::Folder)
            packDamaged(QStringLiteral("it has no %1").arg(quoted("bin/" + file)));
    }
    return outline;
}

} // namespace vorlune::testrun
