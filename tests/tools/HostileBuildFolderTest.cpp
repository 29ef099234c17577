// Builds run by the build command and the carried compiler against a build
// folder, lock or compile folder that someone else has put in the way.
#include "base/Descriptor.h"
#include "base/ProgramFolder.h"
#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorlune;
using vorlune::test::TestEnvironment;

namespace {

using test::kBuildCommand;
using test::kCompiler;
using test::kHelloProject;
using test::runBuildCommand;
using test::runProgram;

using Result = test::ProgramResult;

// The test's whole temporary folder except the build folder and what is in
// it: a refused build leaves all of it as it was.
QStringList outsideTheBuildFolder(const TestEnvironment &env)
{
    const QString root = QDir::cleanPath(env.home() + QStringLiteral(".."));
    const QString own = QDir(root).relativeFilePath(base::buildFolder());
    QStringList lines = test::snapshotTree(root);
    lines.removeIf([&](const QString &line) {
        return line.startsWith(own + QLatin1Char(' ')) || line.startsWith(own + QLatin1Char('/'));
    });
    return lines;
}

QString projectWithMain(const TestEnvironment &env, const QByteArray &main)
{
    QByteArray bytes = test::readFile(kHelloProject);
    bytes.replace(QByteArray("main=\"Plugin\\Main\""), "main=\"" + main + '"');
    const QString path = env.path(QStringLiteral("project.vlk"));
    test::writeFile(path, bytes);
    return path;
}

QByteArray systemText(int error) { return QByteArray(std::strerror(error)); }

QByteArray pharParams()
{
    return "[Params]\r\nname=P\r\nversion=1\r\nmain=Plugin\\Main\r\napi=3.0.0\r\nauthors=me\r\nwebsite=\r\n";
}

} // namespace

class HostileBuildFolderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void occupiedBuildFolderIsRefused_data()
    {
        QTest::addColumn<QString>("occupant");
        QTest::addColumn<QString>("reason");
        QTest::newRow("link to a folder") << QStringLiteral("link") << QStringLiteral("is a symbolic link");
        QTest::newRow("link to nothing") << QStringLiteral("dangling") << QStringLiteral("is a symbolic link");
        QTest::newRow("file") << QStringLiteral("file") << QStringLiteral("is a file, not a folder");
        QTest::newRow("folder of another user")
            << QStringLiteral("foreign") << QStringLiteral("belongs to another user");
    }

    void occupiedBuildFolderIsRefused()
    {
        QFETCH(QString, occupant);
        QFETCH(QString, reason);
        const QString folder = base::buildFolder();
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        const QString bystander = m_env->path(QStringLiteral("bystander"));
        test::makeBystanderFolder(bystander);
        if (occupant == QLatin1String("link")) {
            QVERIFY(QFile::link(bystander, folder));
        } else if (occupant == QLatin1String("dangling")) {
            QVERIFY(QFile::link(m_env->path(QStringLiteral("nowhere")), folder));
        } else if (occupant == QLatin1String("file")) {
            test::writeFile(folder, "not a folder");
        } else {
            if (::geteuid() != 0)
                QSKIP("only root can give the build folder to another user");
            QVERIFY(QDir().mkpath(folder + QStringLiteral("/compile")));
            test::writeFile(folder + QStringLiteral("/compile/theirs.php"), "theirs");
            QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        }
        const QStringList before = test::snapshotTree(QFileInfo(folder).absolutePath());
        const QStringList outside = outsideTheBuildFolder(*m_env);

        for (const QStringList &kind : {QStringList(), QStringList{QStringLiteral("--zip")}}) {
            const Result result =
                runBuildCommand(kind + QStringList{kHelloProject, m_env->path(QStringLiteral("out"))});
            VORLUNE_VERIFY_EXIT(result, 1, QStringLiteral("\"%1\" %2").arg(folder, reason));
            QCOMPARE(result.out, QString());
        }
        QCOMPARE(test::snapshotTree(QFileInfo(folder).absolutePath()), before);
        QCOMPARE(outsideTheBuildFolder(*m_env), outside);
        QVERIFY(!QFileInfo::exists(m_env->path(QStringLiteral("nowhere"))));
        QVERIFY(!QFileInfo::exists(m_env->path(QStringLiteral("out.phar"))));
        QVERIFY(!QFileInfo::exists(m_env->path(QStringLiteral("out.zip"))));
    }

    void lockThatIsNoFileEndsTheBuildAtOnce_data()
    {
        QTest::addColumn<QString>("occupant");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("is a folder");
        QTest::newRow("link to a file") << QStringLiteral("link") << QStringLiteral("is a symbolic link");
        QTest::newRow("link to nothing") << QStringLiteral("dangling") << QStringLiteral("is a symbolic link");
        QTest::newRow("named pipe") << QStringLiteral("pipe") << QStringLiteral("is a named pipe");
    }

    void lockThatIsNoFileEndsTheBuildAtOnce()
    {
        QFETCH(QString, occupant);
        QFETCH(QString, reason);
        const QString lock = base::buildFolder() + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(QFileInfo(lock).absolutePath()));
        const QString bystander = m_env->path(QStringLiteral("bystander"));
        test::makeBystanderFolder(bystander);
        if (occupant == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(lock));
            test::writeFile(lock + QStringLiteral("/inside"), "x");
        } else if (occupant == QLatin1String("link")) {
            QVERIFY(QFile::link(bystander + QStringLiteral("/keep.txt"), lock));
        } else if (occupant == QLatin1String("dangling")) {
            QVERIFY(QFile::link(m_env->path(QStringLiteral("nowhere")), lock));
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
        }
        const QStringList outside = outsideTheBuildFolder(*m_env);

        // Not ended within the time: the build waited for a lock that no build holds.
        const Result result =
            runBuildCommand({kHelloProject, m_env->path(QStringLiteral("out"))}, {.timeoutMs = 20000});
        VORLUNE_VERIFY_EXIT(result, 1, QStringLiteral("\"%1\" %2").arg(lock, reason));
        QVERIFY(result.elapsedMs < 10000);
        QCOMPARE(outsideTheBuildFolder(*m_env), outside);
        QVERIFY(!QFileInfo::exists(m_env->path(QStringLiteral("nowhere"))));
        QVERIFY(!QFileInfo::exists(base::buildFolder()));
    }

    void heldLockIsWaitedFor()
    {
        const QString lock = base::buildFolder() + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(QFileInfo(lock).absolutePath()));
        base::Descriptor held(::open(QFile::encodeName(lock).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600));
        QVERIFY(held.get() >= 0);
        QCOMPARE(::flock(held.get(), LOCK_EX), 0);

        QProcess build;
        build.start(kBuildCommand, {kHelloProject, m_env->path(QStringLiteral("turn"))});
        QVERIFY(build.waitForStarted());
        QVERIFY(!build.waitForFinished(1500));
        QVERIFY(!QFileInfo::exists(m_env->path(QStringLiteral("turn.phar"))));
        held.reset();
        QVERIFY(build.waitForFinished(30000));
        QCOMPARE(build.exitCode(), 0);
        QVERIFY(test::readFile(m_env->path(QStringLiteral("turn.phar"))).contains("Hello, world"));
        QVERIFY(!QFileInfo::exists(base::buildFolder()));
    }

    void staleFileThatCannotBeDeletedStopsTheBuild()
    {
        const QString stuck = base::buildFolder() + QStringLiteral("/compile/src/Old");
        const QString stale = stuck + QStringLiteral("/Leftover.php");
        QVERIFY(QDir().mkpath(stuck));
        std::optional<test::SmallDisk> readOnly;
        // Whichever way the test ends, the folder can be emptied again.
        const auto writable = qScopeGuard([stuck] {
            QFile::setPermissions(stuck, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });
        int reason = EACCES;
        if (::geteuid() == 0) {
            // Permissions do not stop root: a read-only mount does.
            readOnly.emplace(stuck, 64);
            VORLUNE_REQUIRE_MOUNTED(*readOnly);
            test::writeFile(stale, "<?php");
            QVERIFY(readOnly->makeReadOnly());
            reason = EROFS;
        } else {
            test::writeFile(stale, "<?php");
            QVERIFY(QFile::setPermissions(stuck, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const QStringList outside = outsideTheBuildFolder(*m_env);

        for (const QStringList &kind : {QStringList(), QStringList{QStringLiteral("--zip")}}) {
            const Result result =
                runBuildCommand(kind + QStringList{kHelloProject, m_env->path(QStringLiteral("out"))});
            VORLUNE_VERIFY_EXIT(result, 1, QStringLiteral("\"%1\"").arg(stale));
            VORLUNE_VERIFY_EXIT(result, 1, QString::fromLocal8Bit(systemText(reason)));
            QCOMPARE(result.out, QString());
        }
        QVERIFY(QFileInfo::exists(stale));
        QCOMPARE(outsideTheBuildFolder(*m_env), outside);
    }

    void outputInsideTheBuildFolderIsRefused_data()
    {
        QTest::addColumn<bool>("zip");
        QTest::addColumn<bool>("stale");
        QTest::addColumn<QString>("target"); // "@" stands for the build folder, "~" for the test's folder
        QTest::newRow("phar, no build folder yet") << false << false << QStringLiteral("@/x");
        QTest::newRow("zip, a stale build folder") << true << true << QStringLiteral("@/compile/x");
        QTest::newRow("through a link") << false << false << QStringLiteral("~via/tmp_!VL/x");
        QTest::newRow("through a link that leads there once the folder exists")
            << false << false << QStringLiteral("~ahead/x");
    }

    void outputInsideTheBuildFolderIsRefused()
    {
        QFETCH(bool, zip);
        QFETCH(bool, stale);
        QFETCH(QString, target);
        const QString folder = base::buildFolder();
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        QVERIFY(QFile::link(QFileInfo(folder).absolutePath(), m_env->path(QStringLiteral("via"))));
        QVERIFY(QFile::link(folder, m_env->path(QStringLiteral("ahead"))));
        if (stale)
            QVERIFY(QDir().mkpath(folder + QStringLiteral("/compile/sub")));
        target.replace(QLatin1Char('@'), folder).replace(QLatin1Char('~'), m_env->home());
        const QStringList outside = outsideTheBuildFolder(*m_env);

        QStringList arguments{kHelloProject, target};
        if (zip)
            arguments.prepend(QStringLiteral("--zip"));
        const Result result = runBuildCommand(arguments);
        VORLUNE_VERIFY_EXIT(result, 1, QStringLiteral("inside the build folder \"%1\"").arg(folder));
        QCOMPARE(result.out, QString());
        QCOMPARE(outsideTheBuildFolder(*m_env), outside);
        QCOMPARE(QFileInfo::exists(folder), stale);
    }

    void mainThatCannotNameAPhpClassIsRefused_data()
    {
        QTest::addColumn<QByteArray>("main");
        QTest::addColumn<QString>("character");
        QTest::newRow("star") << QByteArray("Plugin\\Ma*in") << QStringLiteral("*");
        QTest::newRow("question mark in the namespace") << QByteArray("Plu?gin\\Main") << QStringLiteral("?");
    }

    void mainThatCannotNameAPhpClassIsRefused()
    {
        QFETCH(QByteArray, main);
        QFETCH(QString, character);
        const QString project = projectWithMain(*m_env, main);
        test::writeFile(m_env->path(QStringLiteral("out.phar")), "old archive");
        const Result result = runBuildCommand({project, m_env->path(QStringLiteral("out"))});
        // The refusal names the main class and the character, once.
        VORLUNE_VERIFY_EXIT(result, 1, QStringLiteral("\"%1\"").arg(character));
        QVERIFY2(result.err.count(QStringLiteral("\"%1\"").arg(QString::fromLatin1(main))) == 1,
                 qPrintable(result.err));
        QVERIFY(!QFileInfo::exists(m_env->path(QStringLiteral("out.phar"))));
        QVERIFY(!QFileInfo::exists(base::buildFolder()));
    }

    void mainDeeperThanTheFileLimitBuilds()
    {
        QByteArray main = "Plugin";
        for (int level = 0; level < 80; ++level)
            main += "\\d";
        main += "\\Main";
        const QString project = projectWithMain(*m_env, main);
        const Result result =
            runBuildCommand({project, m_env->path(QStringLiteral("deep"))}, {.timeoutMs = 60000, .openFilesLimit = 64});
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        const QByteArray archive = test::readFile(m_env->path(QStringLiteral("deep.phar")));
        QVERIFY(archive.contains("src/Plugin/" + QByteArray("d/").repeated(80) + "Main.php"));
        QVERIFY(!QFileInfo::exists(base::buildFolder()));
    }

    void compilerDoesNotFollowALinkedCompileFolder()
    {
        QTemporaryDir dir;
        const QString bystander = dir.filePath(QStringLiteral("bystander"));
        test::makeBystanderFolder(bystander);
        test::writeFile(bystander + QStringLiteral("/plugin.yml"), "name: theirs\r\n");
        const QString work = dir.filePath(QStringLiteral("work"));
        QVERIFY(QDir().mkpath(work));
        test::writeFile(work + QStringLiteral("/cnfg.dll"), pharParams());
        QVERIFY(QFile::link(bystander, work + QStringLiteral("/compile")));
        const QStringList before = test::snapshotTree(dir.path());

        const Result result = runProgram(kCompiler, {}, {.workingFolder = work});
        VORLUNE_VERIFY_EXIT(result, 1, QStringLiteral("\"%1/compile\" is a symbolic link").arg(work));
        QCOMPARE(test::snapshotTree(dir.path()), before);
    }

    void compilerReadsOnlyRegularFiles()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("compile/src/Plugin"))));
        test::writeFile(dir.filePath(QStringLiteral("compile/plugin.yml")), "name: P\r\n");
        const QByteArray pipe = QFile::encodeName(dir.filePath(QStringLiteral("compile/src/Plugin/Pipe.php")));
        QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
        const QByteArray params = QFile::encodeName(dir.filePath(QStringLiteral("cnfg.dll")));
        QCOMPARE(::mkfifo(params.constData(), 0600), 0);

        const Result refused = runProgram(kCompiler, {}, {.workingFolder = dir.path(), .timeoutMs = 20000});
        VORLUNE_VERIFY_EXIT(refused, 1, QStringLiteral("cnfg.dll\" is a named pipe"));

        // A pipe among the sources is left out, and nothing waits for it.
        QCOMPARE(::unlink(params.constData()), 0);
        test::writeFile(dir.filePath(QStringLiteral("cnfg.dll")), pharParams());
        const Result packed = runProgram(kCompiler, {}, {.workingFolder = dir.path(), .timeoutMs = 20000});
        QVERIFY2(packed.exitCode == 0, qPrintable(packed.err));
        const QByteArray archive = test::readFile(dir.filePath(QStringLiteral("comp.phar")));
        QVERIFY(archive.contains("plugin.yml"));
        QVERIFY(!archive.contains("Pipe.php"));
    }

    void compilerWalksDeeperThanItsFileLimit()
    {
        QTemporaryDir dir;
        QString deep = dir.filePath(QStringLiteral("compile/src"));
        QByteArray name = "src/";
        for (int level = 0; level < 48; ++level) {
            deep += QStringLiteral("/d");
            name += "d/";
        }
        QVERIFY(QDir().mkpath(deep));
        test::writeFile(deep + QStringLiteral("/Main.php"), "<?php\r\n");
        test::writeFile(dir.filePath(QStringLiteral("compile/plugin.yml")), "name: P\r\n");
        test::writeFile(dir.filePath(QStringLiteral("cnfg.dll")), pharParams());

        const Result result =
            runProgram(kCompiler, {}, {.workingFolder = dir.path(), .timeoutMs = 60000, .openFilesLimit = 32});
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QVERIFY(test::readFile(dir.filePath(QStringLiteral("comp.phar"))).contains(name + "Main.php"));
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(HostileBuildFolderTest)
#include "HostileBuildFolderTest.moc"
