#include "support/TreeSnapshot.h"

#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlune::test {
namespace {

QString describe(const QString &root, const QString &path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return path + QStringLiteral(" missing");
    QString line = QStringLiteral("%1 mode=%2 uid=%3")
                       .arg(QDir(root).relativeFilePath(path))
                       .arg(status.st_mode, 0, 8)
                       .arg(status.st_uid);
    if (S_ISREG(status.st_mode))
        line += QLatin1Char(' ') +
                QString::fromLatin1(QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256).toHex());
    else if (S_ISLNK(status.st_mode))
        line += QStringLiteral(" -> ") + QFile::symLinkTarget(path);
    return line;
}

} // namespace

QStringList snapshotTree(const QString &root)
{
    QStringList lines{describe(root, root)};
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        lines << describe(root, it.next());
    lines.sort();
    return lines;
}

QStringList treeOf(const QString &root)
{
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << QDir(root).relativeFilePath(it.next());
    paths.sort();
    return paths;
}

void makeBystanderFolder(const QString &root)
{
    QDir().mkpath(root + QStringLiteral("/sub"));
    writeFile(root + QStringLiteral("/keep.txt"), "keep me");
    writeFile(root + QStringLiteral("/sub/deep.txt"), "deep");
    QFile::setPermissions(root + QStringLiteral("/keep.txt"), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    QFile::setPermissions(root + QStringLiteral("/sub"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                             QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                             QFileDevice::ExeOther);
}

void makeDeepTree(const QString &top, int levels)
{
    int folder = ::open(QFile::encodeName(top).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < levels && folder >= 0; ++level) {
        if (::mkdirat(folder, "d", 0755) != 0)
            qFatal("cannot make level %d below %s", level, qPrintable(top));
        const int inside = ::openat(folder, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        folder = inside;
    }
    if (folder < 0)
        qFatal("cannot make a deep tree below %s", qPrintable(top));
    ::close(folder);
}

} // namespace vorlune::test
