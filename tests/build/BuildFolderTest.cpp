#include "build/BuildFolder.h"
#include "base/Error.h"
#include "base/ProgramFolder.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorlune;
using vorlune::build::BuildFolder;

using vorlune::test::errorOf;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}

} // namespace

class BuildFolderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void aHeldLockIsWaitedForOnlySoLong()
    {
        const QString folder = base::buildFolder();
        const QString lock = folder + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        build::Descriptor held(::open(QFile::encodeName(lock).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600));
        QCOMPARE(::flock(held.get(), LOCK_EX), 0);

        QElapsedTimer clock;
        clock.start();
        const QString text = errorOf([&] { BuildFolder taken(folder, std::chrono::milliseconds(400)); });
        QVERIFY2(
            text.contains(QStringLiteral("\"%1\" was still in use by another build after 0.4 seconds").arg(folder)),
            qPrintable(text));
        QVERIFY(clock.elapsed() >= 400 && clock.elapsed() < 3000);
        QVERIFY(!QFileInfo::exists(folder));

        // A lock file nobody holds, such as a crashed build leaves, is taken at once.
        held.reset();
        test::writeFile(lock, "4242\nvorlune\n");
        {
            const BuildFolder taken(folder, std::chrono::milliseconds(0));
            QVERIFY(QFileInfo(folder + QStringLiteral("/compile")).isDir());
        }
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(!QFileInfo::exists(lock));
    }

    void emptyingRemovesLinksAndPipesWithoutFollowingThem()
    {
        const QString bystander = m_env->path(QStringLiteral("bystander"));
        test::makeBystanderFolder(bystander);
        const QString folder = base::buildFolder();
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/compile/src/Old")));
        QVERIFY(QFile::link(bystander, folder + QStringLiteral("/compile/src/Old/folder")));
        QVERIFY(QFile::link(bystander + QStringLiteral("/keep.txt"), folder + QStringLiteral("/cnfg.dll")));
        QVERIFY(QFile::link(m_env->path(QStringLiteral("nowhere")), folder + QStringLiteral("/compile/dangling")));
        QCOMPARE(::mkfifo(QFile::encodeName(folder + QStringLiteral("/compile/pipe")).constData(), 0600), 0);
        test::writeFile(folder + QStringLiteral("/compile/.hidden"), "stale");
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                  QFileDevice::ReadOther | QFileDevice::ExeOther));
        const QStringList before = test::snapshotTree(bystander);
        {
            const BuildFolder taken(folder);
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                     QStringList{QStringLiteral("compile")});
            QVERIFY(QDir(folder + QStringLiteral("/compile"))
                        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                        .isEmpty());
            QCOMPARE(modeOf(folder), mode_t(S_IFDIR | 0700));
            QCOMPARE(test::snapshotTree(bystander), before);
            QVERIFY(QFile::link(bystander, taken.path(QStringLiteral("compile/late"))));
        }
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(test::snapshotTree(bystander), before);
        QVERIFY(!QFileInfo::exists(m_env->path(QStringLiteral("nowhere"))));
    }

    void targetsAreComparedWhereTheLinksLead()
    {
        const QString folder = base::buildFolder();
        const QString parent = QFileInfo(folder).absolutePath();
        QVERIFY(QDir().mkpath(parent + QStringLiteral("/other")));
        QVERIFY(QFile::link(parent, m_env->path(QStringLiteral("via"))));
        using build::isInsideFolder;
        QVERIFY(isInsideFolder(folder + QStringLiteral("/x.phar"), folder));
        QVERIFY(isInsideFolder(folder + QStringLiteral("/deeper/still/x.phar"), folder));
        QVERIFY(isInsideFolder(m_env->path(QStringLiteral("via/tmp_!VL/x.phar")), folder));
        QVERIFY(isInsideFolder(parent + QStringLiteral("/other/../tmp_!VL/x.zip"), folder));
        QVERIFY(!isInsideFolder(parent + QStringLiteral("/tmp_!VL2/x.phar"), folder));
        QVERIFY(!isInsideFolder(parent + QStringLiteral("/tmp_!VL.phar"), folder));
        QVERIFY(!isInsideFolder(m_env->path(QStringLiteral("x.phar")), folder));

        // A build folder that is a link is refused, not entered: its target is not the build folder.
        QVERIFY(QFile::link(m_env->path(QStringLiteral("elsewhere")), folder));
        QVERIFY(QDir().mkpath(m_env->path(QStringLiteral("elsewhere"))));
        QVERIFY(!isInsideFolder(m_env->path(QStringLiteral("elsewhere/x.phar")), folder));
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(BuildFolderTest)
#include "BuildFolderTest.moc"
