#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>

#include <sys/types.h>

struct archive;

namespace vorlune::testrun {

// Limits no real PHP pack comes near; a pack beyond one is refused before
// anything is written.
inline constexpr qint64 kPackUnpackedLimit = qint64(1) << 30;
inline constexpr int kPackEntryLimit = 50000;
inline constexpr int kPackPathLimit = 512;                  // bytes of a whole name
inline constexpr int kPackNameLimit = 255;                  // bytes of one part of a name
inline constexpr int kPackDepthLimit = 32;                  // parts of a name
inline constexpr int kPackFolderLimit = 10000;              // folders the names make, each level counted
inline constexpr int kPackRatioLimit = 50;                  // unpacked bytes per packed byte...
inline constexpr qint64 kPackRatioFloor = qint64(32) << 20; // ...counted once this much is unpacked

enum class PackEntryKind { File, Folder, SymbolicLink, HardLink };

struct PackEntry {
    QByteArray name; // a plain relative path, without the trailing "/" of a folder
    PackEntryKind kind = PackEntryKind::File;
    mode_t mode = 0644;    // the permissions it is given: run bits from the archive
    QByteArray linkTarget; // as stored, for links
};

// Reads a PHP pack, a zip archive or a gzip-compressed tarball, from the
// start of the open file `fd`, one entry at a time without holding it in
// memory. Each entry's name is checked as it comes (only plain relative
// paths within the limits; devices and pipes refused) and the limits are
// held as the bytes are unpacked. Throws vorlune::Error with the reason,
// also when `cancel` is set (looked at for each entry and each block).
class PackReader {
public:
    explicit PackReader(int fd, const std::atomic_bool *cancel = nullptr);
    ~PackReader();
    PackReader(const PackReader &) = delete;
    PackReader &operator=(const PackReader &) = delete;

    // The next entry; false after the last one.
    bool next(PackEntry &entry);
    // Unpacks the current entry's bytes into `out`, or only reads them
    // (which checks them) when `out` is -1. `shown` names `out` in errors.
    void unpack(int out, const QString &shown);

private:
    void checkCancel() const;

    struct archive *m_archive = nullptr;
    const std::atomic_bool *m_cancel = nullptr;
    qint64 m_packed = 0;
    qint64 m_unpacked = 0;
    int m_count = 0;
};

// What a checked pack holds besides its bin/ folder, where each name goes
// into the test server folder itself.
struct PackOutline {
    QList<PackEntry> outsideBin;
};

// Reads the whole pack in `fd` (every byte, so every checksum) and checks
// that it fits together: a name is not both a file and a folder, the names
// make at most kPackFolderLimit folders, links stay inside bin/, a hard link
// names a file before it, "bin" is a folder holding the `required` files
// (names below bin/). Throws vorlune::Error with the reason.
PackOutline checkPack(int fd, const QList<QByteArray> &required, const std::atomic_bool *cancel = nullptr);

// "The PHP pack is damaged: <reason>" / "The PHP pack is refused: <reason>".
[[noreturn]] void packDamaged(const QString &reason);
[[noreturn]] void packRefused(const QString &reason);
// What a cancelled install throws.
[[noreturn]] void installCancelled();

} // namespace vorlune::testrun
