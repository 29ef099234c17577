#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace vorlune::test {

// A small tmpfs mounted on a fresh folder for the life of the object, for
// tests of writes that meet a full or read-only disk. Mounting needs root;
// where it is not allowed, mounted() is false and the test skips.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes = 256);
    // Mounted on `folder`, which exists, instead of a fresh one.
    SmallDisk(const QString &folder, int kilobytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString path(const QString &name = {}) const; // the folder ends in "/"
    // Takes up every free block, so the next write that needs one fails
    // with "No space left on device".
    void fill();
    // Mounts it again read-only: what is on it can then be neither changed
    // nor deleted, not even by root.
    bool makeReadOnly();

private:
    void mount(const QByteArray &options);

    std::optional<QTemporaryDir> m_dir; // the fresh folder, when none was given
    QString m_folder;
    QByteArray m_options;
    bool m_mounted = false;
};

// Names in a folder (without "." and ".."), to show that no temporary file
// was left behind.
QStringList namesIn(const QString &folder);

} // namespace vorlune::test

// Skips the calling test when no small disk can be mounted here.
#define VORLUNE_REQUIRE_MOUNTED(disk)                                                                                  \
    do {                                                                                                               \
        if (!(disk).mounted())                                                                                         \
            QSKIP("mounting a small tmpfs is not allowed here (tests mount one when run as root)");                    \
    } while (false)
