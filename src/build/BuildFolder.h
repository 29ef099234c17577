#pragma once

#include "base/Descriptor.h"

#include <QString>

#include <chrono>

#include <sys/stat.h>

namespace vorlune::build {

using base::Descriptor;

// How long a build waits for the build of another process to end.
inline constexpr std::chrono::milliseconds kBuildFolderWait{60000};

// The build folder, taken for one build: builds of several processes take
// turns through a lock file beside it ("<folder>.lock"). Only a real folder of
// this user is used and emptied, never a link, a file or someone else's
// folder in its place; links inside are removed, not followed. Throws
// vorlune::Error naming the path and what is wrong, when the lock stays held
// longer than `wait`, or when anything inside cannot be removed. Emptied and
// removed again when the build ends.
class BuildFolder {
public:
    explicit BuildFolder(const QString &folder, std::chrono::milliseconds wait = kBuildFolderWait);
    ~BuildFolder();
    BuildFolder(const BuildFolder &) = delete;
    BuildFolder &operator=(const BuildFolder &) = delete;

    QString path(const QString &relative) const { return m_path + QLatin1Char('/') + relative; }
    const QString &root() const { return m_path; }

private:
    class Lock {
    public:
        Lock(const QString &path, std::chrono::milliseconds wait, const QString &folder);
        ~Lock();
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        QString m_path;
        Descriptor m_fd;
        struct ::stat m_status {};
    };

    QString m_path;
    Lock m_lock; // declared before the folder, so released after it
    Descriptor m_folder;
    struct ::stat m_status {};
};

// Whether `path` names `folder` or something inside it once the links on
// the way to each are followed; neither needs to exist. The last name of
// each is taken as it is: a link there is replaced or refused, not entered.
bool isInsideFolder(const QString &path, const QString &folder);

} // namespace vorlune::build
