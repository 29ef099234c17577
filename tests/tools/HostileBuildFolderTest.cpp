// Builds run by the build command and the carried compiler against a build
// folder, lock or compile folder that someone else has put in the way.
#include "base/ProgramFolder.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorlune;
using vorlune::test::TestEnvironment;

namespace {

using test::kBuildCommand;
using test::kCompiler;
const QString &kHello = test::kHelloProject;

using Result = test::ProgramResult;

Result run(const QString &program, const QStringList &arguments, int timeoutMs = 30000,
           const QString &workingFolder = QString())
{
    return test::runProgram(program, arguments, {.workingFolder = workingFolder, .timeoutMs = timeoutMs});
}

Result runBuild(const QStringList &arguments, int timeoutMs = 30000)
{
    return run(kBuildCommand, arguments, timeoutMs);
}

// Runs the command with at most `files` open descriptors.
Result runWithFileLimit(int files, const QString &program, const QStringList &arguments,
                        const QString &workingFolder = QString())
{
    return test::runProgram(program, arguments,
                            {.workingFolder = workingFolder, .timeoutMs = 60000, .openFilesLimit = files});
}

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
    QByteArray bytes = test::readFile(kHello);
    bytes.replace(QByteArray("main=\"Plugin\\Main\""), "main=\"" + main + '"');
    const QString path = env.path(QStringLiteral("project.vlk"));
    test::writeFile(path, bytes);
    return path;
}

QByteArray systemText(int error) { return QByteArray(std::strerror(error)); }

bool runQuietly(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Undoes a mount or a chmod whichever way the test function ends.
class Cleanup {
public:
    explicit Cleanup(std::function<void()> undo = {}) : m_undo(std::move(undo)) {}
    ~Cleanup()
    {
        if (m_undo)
            m_undo();
    }
    void set(std::function<void()> undo) { m_undo = std::move(undo); }
    Cleanup(const Cleanup &) = delete;
    Cleanup &operator=(const Cleanup &) = delete;

private:
    std::function<void()> m_undo;
};

QByteArray pharParams()
{
    return "[Params]\r\nname=P\r\nversion=1\r\nmain=Plugin\\Main\r\napi=3.0.0\r\nauthors=me\r\nwebsite=\r\n";
}

} // namespace

class HostileBuildFolderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
        TestEnvironment env;
        const QString folder = base::buildFolder();
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        const QString bystander = env.path(QStringLiteral("bystander"));
        test::makeBystanderFolder(bystander);
        if (occupant == QLatin1String("link")) {
            QVERIFY(QFile::link(bystander, folder));
        } else if (occupant == QLatin1String("dangling")) {
            QVERIFY(QFile::link(env.path(QStringLiteral("nowhere")), folder));
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
        const QStringList outside = outsideTheBuildFolder(env);

        for (const QStringList &kind : {QStringList(), QStringList{QStringLiteral("--zip")}}) {
            const Result result = runBuild(kind + QStringList{kHello, env.path(QStringLiteral("out"))});
            QCOMPARE(result.exitCode, 1);
            QVERIFY2(result.err.contains(QStringLiteral("\"%1\" %2").arg(folder, reason)), qPrintable(result.err));
            QCOMPARE(result.out, QString());
        }
        QCOMPARE(test::snapshotTree(QFileInfo(folder).absolutePath()), before);
        QCOMPARE(outsideTheBuildFolder(env), outside);
        QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("nowhere"))));
        QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("out.phar"))));
        QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("out.zip"))));
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
        TestEnvironment env;
        const QString lock = base::buildFolder() + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(QFileInfo(lock).absolutePath()));
        const QString bystander = env.path(QStringLiteral("bystander"));
        test::makeBystanderFolder(bystander);
        if (occupant == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(lock));
            test::writeFile(lock + QStringLiteral("/inside"), "x");
        } else if (occupant == QLatin1String("link")) {
            QVERIFY(QFile::link(bystander + QStringLiteral("/keep.txt"), lock));
        } else if (occupant == QLatin1String("dangling")) {
            QVERIFY(QFile::link(env.path(QStringLiteral("nowhere")), lock));
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
        }
        const QStringList outside = outsideTheBuildFolder(env);

        const Result result = runBuild({kHello, env.path(QStringLiteral("out"))}, 20000);
        QVERIFY2(result.exitCode == 1, "the build waited for a lock that no build holds");
        QVERIFY(result.elapsedMs < 10000);
        QVERIFY2(result.err.contains(QStringLiteral("\"%1\" %2").arg(lock, reason)), qPrintable(result.err));
        QCOMPARE(outsideTheBuildFolder(env), outside);
        QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("nowhere"))));
        QVERIFY(!QFileInfo::exists(base::buildFolder()));
    }

    void heldLockIsWaitedFor()
    {
        TestEnvironment env;
        const QString lock = base::buildFolder() + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(QFileInfo(lock).absolutePath()));
        const int held = ::open(QFile::encodeName(lock).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(held >= 0);
        Cleanup release([&] { ::close(held); });
        QCOMPARE(::flock(held, LOCK_EX), 0);

        QProcess build;
        build.start(kBuildCommand, {kHello, env.path(QStringLiteral("turn"))});
        QVERIFY(build.waitForStarted());
        QVERIFY(!build.waitForFinished(1500));
        QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("turn.phar"))));
        release.set({});
        ::close(held);
        QVERIFY(build.waitForFinished(30000));
        QCOMPARE(build.exitCode(), 0);
        QVERIFY(test::readFile(env.path(QStringLiteral("turn.phar"))).contains("Hello, world"));
        QVERIFY(!QFileInfo::exists(base::buildFolder()));
    }

    void staleFileThatCannotBeDeletedStopsTheBuild()
    {
        TestEnvironment env;
        const QString stuck = base::buildFolder() + QStringLiteral("/compile/src/Old");
        const QString stale = stuck + QStringLiteral("/Leftover.php");
        QVERIFY(QDir().mkpath(stuck));
        Cleanup undo;
        int reason = EACCES;
        if (::geteuid() == 0) {
            // Permissions do not stop root: a read-only mount does.
            if (!runQuietly(QStringLiteral("mount"),
                            {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                             QStringLiteral("size=64k"), QStringLiteral("tmpfs"), stuck}))
                QSKIP("cannot mount a tmpfs here");
            undo.set([stuck] { runQuietly(QStringLiteral("umount"), {stuck}); });
            test::writeFile(stale, "<?php");
            QVERIFY(runQuietly(QStringLiteral("mount"),
                               {QStringLiteral("-o"), QStringLiteral("remount,ro,size=64k"), stuck}));
            reason = EROFS;
        } else {
            test::writeFile(stale, "<?php");
            QVERIFY(QFile::setPermissions(stuck, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            undo.set([stuck] {
                QFile::setPermissions(stuck, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            });
        }
        const QStringList outside = outsideTheBuildFolder(env);

        for (const QStringList &kind : {QStringList(), QStringList{QStringLiteral("--zip")}}) {
            const Result result = runBuild(kind + QStringList{kHello, env.path(QStringLiteral("out"))});
            QCOMPARE(result.exitCode, 1);
            QVERIFY2(result.err.contains(QStringLiteral("\"%1\"").arg(stale)), qPrintable(result.err));
            QVERIFY2(result.err.contains(QString::fromLocal8Bit(systemText(reason))), qPrintable(result.err));
            QCOMPARE(result.out, QString());
        }
        QVERIFY(QFileInfo::exists(stale));
        QCOMPARE(outsideTheBuildFolder(env), outside);
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
        TestEnvironment env;
        const QString folder = base::buildFolder();
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        QVERIFY(QFile::link(QFileInfo(folder).absolutePath(), env.path(QStringLiteral("via"))));
        QVERIFY(QFile::link(folder, env.path(QStringLiteral("ahead"))));
        if (stale)
            QVERIFY(QDir().mkpath(folder + QStringLiteral("/compile/sub")));
        target.replace(QLatin1Char('@'), folder).replace(QLatin1Char('~'), env.home());
        const QStringList outside = outsideTheBuildFolder(env);

        QStringList arguments{kHello, target};
        if (zip)
            arguments.prepend(QStringLiteral("--zip"));
        const Result result = runBuild(arguments);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(QStringLiteral("inside the build folder \"%1\"").arg(folder)),
                 qPrintable(result.err));
        QCOMPARE(result.out, QString());
        QCOMPARE(outsideTheBuildFolder(env), outside);
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
        TestEnvironment env;
        const QString project = projectWithMain(env, main);
        test::writeFile(env.path(QStringLiteral("out.phar")), "old archive");
        const Result result = runBuild({project, env.path(QStringLiteral("out"))});
        QCOMPARE(result.exitCode, 1);
        // The refusal names the main class and the character, once.
        QVERIFY2(result.err.count(QStringLiteral("\"%1\"").arg(QString::fromLatin1(main))) == 1,
                 qPrintable(result.err));
        QVERIFY2(result.err.contains(QStringLiteral("\"%1\"").arg(character)), qPrintable(result.err));
        QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("out.phar"))));
        QVERIFY(!QFileInfo::exists(base::buildFolder()));
    }

    void mainDeeperThanTheFileLimitBuilds()
    {
        TestEnvironment env;
        QByteArray main = "Plugin";
        for (int level = 0; level < 80; ++level)
            main += "\\d";
        main += "\\Main";
        const QString project = projectWithMain(env, main);
        const Result result = runWithFileLimit(64, kBuildCommand, {project, env.path(QStringLiteral("deep"))});
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        const QByteArray archive = test::readFile(env.path(QStringLiteral("deep.phar")));
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

        const Result result = run(kCompiler, {}, 30000, work);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(QStringLiteral("\"%1/compile\" is a symbolic link").arg(work)),
                 qPrintable(result.err));
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

        const Result refused = run(kCompiler, {}, 20000, dir.path());
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("cnfg.dll\" is a named pipe")), qPrintable(refused.err));

        // A pipe among the sources is left out, and nothing waits for it.
        QCOMPARE(::unlink(params.constData()), 0);
        test::writeFile(dir.filePath(QStringLiteral("cnfg.dll")), pharParams());
        const Result packed = run(kCompiler, {}, 20000, dir.path());
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

        const Result result = runWithFileLimit(32, kCompiler, {}, dir.path());
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QVERIFY(test::readFile(dir.filePath(QStringLiteral("comp.phar"))).contains(name + "Main.php"));
    }
};

VORLUNE_TEST(HostileBuildFolderTest)
#include "HostileBuildFolderTest.moc"
