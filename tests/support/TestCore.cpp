#include "support/TestCore.h"

#include "support/TestEnvironment.h"

#include <QFile>

#include <csignal>

namespace vorlune::test {

QString testCorePath() { return fixture(QStringLiteral("test-core/server.php")); }

void installTestCore(const QString &serverFolder)
{
    // A link keeps the core beside the loader rules it requires.
    QFile::remove(serverFolder + QStringLiteral("PocketMine-MP.phar"));
    QFile::link(testCorePath(), serverFolder + QStringLiteral("PocketMine-MP.phar"));
}

qint64 testCoreChild(const QString &serverFolder)
{
    return readFile(serverFolder + kTestCoreChildPidFile).trimmed().toLongLong();
}

bool processRuns(qint64 pid)
{
    if (pid <= 1 || ::kill(pid_t(pid), 0) != 0)
        return false;
    // The state follows the name in parentheses, which may hold anything.
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype nameEnd = stat.lastIndexOf(')');
    return nameEnd < 0 || stat.mid(nameEnd + 2, 1) != "Z";
}

} // namespace vorlune::test
